// Load test: several workstations (processes) on one company database.
//
//   bench_concurrency [--short] [--lines N] [--engine sqlite|postgres|both] [--no-restart]
//
// Eight processes each save N bills of lading with five containers through the cargo
// screen's save routine (saveBillOfLading) and, between two of them, work on a pool of
// bills of lading all eight share: edit one (as the screen does: loaded when the edit
// begins, saved over that), delete one, add one. A ninth imports an IGM file again and
// again (removing the voyage between two imports), a tenth writes the IGM files of the
// voyages being keyed in and checks each. Afterwards the controller checks the database
// and what every workstation says it did: no save lost, no key taken twice, every
// container on its own bill of lading, no save over a row changed since its edit began
// (silent overwrite), no removed container stored again, every refused save refused
// because another workstation changed or deleted the bill of lading. Then, unless
// --no-restart, the same on a PostgreSQL server of its own that it restarts in the middle:
// every workstation reconnects and finishes. PostgreSQL comes from QUARL_TEST_PG (as the
// test command sets it), its programs from QUARL_TEST_PGBIN. Exits 1 on any fault; a lock
// wait that ran out is counted and the save tried again, as a clerk would press Save again.
#include "loadsave.h"

#include "entry/billoflading.h"
#include "filing/igmreader.h"
#include "filing/igmwriter.h"
#include "manifest/igmformat.h"
#include "manifest/syntheticvoyage.h"
#include "manifest/voyageremoval.h"
#include "store/database.h"
#include "store/installer.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QFileDevice>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <functional>
#include <memory>
#include <tuple>
#include <utility>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace quarl;

namespace {

constexpr int Savers = 8;
constexpr int ContainersPerBill = 5;
// The bills of lading every workstation edits, deletes and adds to.
constexpr int SharedBills = 24;
constexpr int SharedContainers = 3;
constexpr qint64 SharedPackages = 100;
const QString SharedVessel = QStringLiteral("SHARED");
const QString SharedVoyage = QStringLiteral("001E");
// The importer and the IGM writer pause between two runs, as a person at a workstation
// does; without it they would load the server far beyond an office's day.
constexpr int ImportPauseMs = 250;
constexpr int WritePauseMs = 100;
const QString ImportVessel = QStringLiteral("IMPVSL");
const QString ImportVoyage = QStringLiteral("0001I");

QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

QString saverVessel(int i)
{
    return QStringLiteral("LOAD%1").arg(i);
}

const QString SaverVoyage = QStringLiteral("001E");

bool isBoundedWait(const QString &text)
{
    return text.contains(QLatin1String("stayed locked by another workstation"))
           || text.contains(QLatin1String("changed the same rows at the same time"));
}

// The server went away (restarted): the next statement makes the connection again.
bool isLost(const QString &text)
{
    return text.contains(QLatin1String("The connection to the company database was lost"));
}

bool isStaleRefusal(const Failure &f)
{
    return (f.is(ErrorNumber::RowChanged) && f.description == QLatin1String(ChangedElsewhere))
           || (f.is(ErrorNumber::RowGone) && f.description == QLatin1String(DeletedElsewhere));
}

// Runs work until the database answers; a lock wait or a lost connection is waited out,
// for at most two minutes.
struct Tally;
template<typename Work>
auto whenAnswered(Work work, Tally &t) -> decltype(work());

Container sharedContainer(const QString &number)
{
    return Container{0, number, QStringLiteral("SL") + number.right(7), QStringLiteral("SHAGT"), QStringLiteral("FCL"),
                     QStringLiteral("5"), QStringLiteral("2.5"), QStringLiteral("22G1"), QStringLiteral("N")};
}

// Container numbers of the shared pool: SHPU for the pool, SH + workstation letter + U for
// those a workstation adds; each number is used once.
QString containerNumber(QChar owner, int n)
{
    return QStringLiteral("SH%1U%2").arg(owner).arg(n, 7, 10, QLatin1Char('0'));
}

BillOfLading sharedBill(const QString &blno, const QStringList &containers)
{
    BillOfLading bol;
    bol.set(QStringLiteral("vslcode"), SharedVessel);
    bol.set(QStringLiteral("voyno"), SharedVoyage);
    bol.set(QStringLiteral("blno"), blno);
    bol.set(QStringLiteral("bldt"), QDate(2026, 11, 20));
    bol.set(QStringLiteral("impname"), QStringLiteral("SHARED IMPORTER"));
    bol.set(QStringLiteral("naturecargo"), QStringLiteral("C"));
    bol.set(QStringLiteral("pkgs"), SharedPackages);
    bol.set(QStringLiteral("marks"), QStringLiteral("START"));
    for (const QString &c : containers)
        bol.containers << sharedContainer(c);
    return bol;
}

// --- connection -----------------------------------------------------------------------

struct Target
{
    Engine engine = Engine::SQLite;
    QString file;
    PgParams pg;
    // A server of the load test's own, restarted in the middle of the run.
    std::function<bool()> restart;
};

PgParams testCluster(bool *ok)
{
    PgParams p;
    p.database = QStringLiteral("postgres");
    const QString conninfo = qEnvironmentVariable("QUARL_TEST_PG");
    *ok = !conninfo.isEmpty();
    for (const QString &pair : conninfo.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString k = pair.section(QLatin1Char('='), 0, 0);
        const QString v = pair.section(QLatin1Char('='), 1);
        if (k == QLatin1String("host"))
            p.host = v;
        else if (k == QLatin1String("port"))
            p.port = v.toInt();
        else if (k == QLatin1String("user"))
            p.user = v;
        else if (k == QLatin1String("password"))
            p.password = v;
        else if (k == QLatin1String("dbname"))
            p.database = v;
    }
    return p;
}

Result<Database> openTarget(const Target &t)
{
    return t.engine == Engine::SQLite ? Database::openSqlite(t.file) : Database::openPostgres(t.pg);
}

QStringList targetArgs(const Target &t)
{
    if (t.engine == Engine::SQLite)
        return {QStringLiteral("--sqlite"), t.file};
    return {QStringLiteral("--pg"), QStringLiteral("%1:%2:%3:%4").arg(t.pg.host).arg(t.pg.port).arg(t.pg.user, t.pg.database)};
}

// --- workers --------------------------------------------------------------------------

struct Tally
{
    qint64 done = 0;
    qint64 waits = 0; // lock waits that ran out, tried again
    qint64 lost = 0;  // tries again after the connection was lost
    qint64 worstMs = 0;
    qint64 errors = 0;
    qint64 reconnects = 0;
    // the shared bills of lading
    qint64 edits = 0;
    qint64 refused = 0;      // stale saves and deletes refused
    qint64 wrongRefusal = 0; // refused with another message
};

template<typename Work>
auto whenAnswered(Work work, Tally &t) -> decltype(work())
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        auto r = work();
        const QString text = r ? QString() : r.failure().description;
        if (r || !(isBoundedWait(text) || isLost(text)) || clock.elapsed() > 120000)
            return r;
        if (isLost(text)) {
            ++t.lost;
            QThread::msleep(200);
        } else {
            ++t.waits;
        }
    }
}

// Tries again after a lock wait that ran out (counted).
template<typename Work>
auto afterWaits(Work work, Tally &t) -> decltype(work())
{
    for (;;) {
        auto r = work();
        if (r || !isBoundedWait(r.failure().description))
            return r;
        ++t.waits;
    }
}

void printTally(const Tally &t)
{
    QTextStream(stdout) << "RESULT " << t.done << ' ' << t.waits << ' ' << t.worstMs << ' ' << t.errors << ' '
                        << t.reconnects << ' ' << t.edits << ' ' << t.refused << ' ' << t.wrongRefusal << ' ' << t.lost
                        << Qt::endl;
}

// What a workstation did to the shared bills of lading, for the controller to check:
//   LOG KEY id                          a key taken for a new bill of lading
//   LOG ADD id container,...            a shared bill of lading added
//   LOG EDIT id from to stamp removed... | added...   packages from -> to, marks = stamp
//   LOG DEL id                          a shared bill of lading deleted
// Written to a file of its own per workstation: a pipe read only at the end would fill
// up and stop the workstation.
QFile *logFile = nullptr;

QTextStream &out()
{
    static QTextStream s;
    if (!s.device())
        s.setDevice(logFile);
    return s;
}

QList<qint64> sharedIds(const Database &db, Tally &t)
{
    QList<qint64> ids;
    auto q = whenAnswered([&] {
        return db.query(QStringLiteral("select id from cargo where vslcode = ? and voyno = ? order by id"),
                        {SharedVessel, SharedVoyage});
    }, t);
    while (q && q->next())
        ids << q->value(0).toLongLong();
    return ids;
}

// One turn at the shared bills of lading: mostly an edit, now and then a delete or an add.
void sharedTurn(const Database &db, int saver, int round, QRandomGenerator &rng, int *nextContainer, Tally &t)
{
    const QChar owner(QLatin1Char('A').unicode() + saver);
    const int action = int(rng.bounded(10));
    if (action >= 8) {
        const QString blno = QStringLiteral("SH%1A%2").arg(owner).arg(round);
        const QStringList boxes{containerNumber(owner, (*nextContainer)++), containerNumber(owner, (*nextContainer)++)};
        auto saved = whenAnswered([&] { return saveBillOfLading(db, sharedBill(blno, boxes)); }, t);
        if (!saved && isLost(saved.failure().description))
            return;
        if (!saved) {
            // stored before the connection went, so the second try met the unique index?
            auto there = db.scalar(QStringLiteral("select id from cargo where vslcode = ? and voyno = ? and blno = ?"),
                                   {SharedVessel, SharedVoyage, blno});
            if (!there || !there->isValid()) {
                err() << "saver " << saver << " add " << blno << ": " << saved.failure().numberAndText() << Qt::endl;
                ++t.errors;
                return;
            }
            saved = there->toLongLong();
        }
        out() << "LOG KEY " << saved.value() << "\nLOG ADD " << saved.value() << ' ' << boxes.join(QLatin1Char(',')) << Qt::endl;
        return;
    }
    const QList<qint64> ids = sharedIds(db, t);
    if (ids.isEmpty())
        return;
    const qint64 id = ids.at(int(rng.bounded(qint64(ids.size()))));
    auto loaded = whenAnswered([&] { return loadBillOfLading(db, id); }, t);
    if (!loaded || !loaded->has_value())
        return; // deleted meanwhile: nothing to edit
    const BillOfLading shown = **loaded;
    QThread::msleep(rng.bounded(20)); // the clerk at work
    auto refusedOrFailed = [&](const Failure &f) {
        if (f.is(ErrorNumber::RowChanged) || f.is(ErrorNumber::RowGone)) {
            ++t.refused;
            if (!isStaleRefusal(f)) {
                err() << "saver " << saver << ": refused with " << f.numberAndText() << Qt::endl;
                ++t.wrongRefusal;
            }
        } else if (!isLost(f.description)) {
            err() << "saver " << saver << " bill " << id << ": " << f.numberAndText() << Qt::endl;
            ++t.errors;
        }
    };
    if (action == 7) {
        const Status s = afterWaits([&] { return deleteBillOfLading(db, id, &shown); }, t);
        bool gone = s.isOk();
        if (!s && isLost(s.failure().description)) {
            auto left = whenAnswered([&] { return db.scalar(QStringLiteral("select count(*) from cargo where id = ?"), {id}); },
                                     t);
            gone = left && left->toLongLong() == 0;
        }
        if (gone)
            out() << "LOG DEL " << id << Qt::endl;
        else
            refusedOrFailed(s.failure());
        return;
    }
    BillOfLading edited = shown;
    const qint64 from = shown.value(QStringLiteral("pkgs")).toLongLong();
    const QString stamp = QStringLiteral("W%1R%2").arg(saver).arg(round);
    edited.set(QStringLiteral("pkgs"), from + 1);
    edited.set(QStringLiteral("marks"), stamp);
    QList<qint64> removed;
    QStringList removedBoxes, addedBoxes;
    const int change = int(rng.bounded(3));
    if (change == 0 && edited.containers.size() > 1) {
        const int k = int(rng.bounded(qint64(edited.containers.size())));
        removed << edited.containers.at(k).autoid;
        removedBoxes << edited.containers.at(k).containno;
        edited.containers.removeAt(k);
    } else if (change == 1) {
        addedBoxes << containerNumber(owner, (*nextContainer)++);
        edited.containers << sharedContainer(addedBoxes.last());
    }
    // Not tried again after a lost connection: a save stored before the connection went
    // would then be refused as stale. The marks tell whether it was.
    auto saved = afterWaits([&] { return saveBillOfLading(db, edited, removed, &shown); }, t);
    bool stored = saved.isOk();
    if (!saved && isLost(saved.failure().description)) {
        // the connection went at the commit: whether it was stored, the marks tell
        auto marks = whenAnswered([&] { return db.scalar(QStringLiteral("select marks from cargo where id = ?"), {id}); },
                                  t);
        stored = marks && marks->toString() == stamp;
    }
    if (!stored) {
        refusedOrFailed(saved.failure());
        return;
    }
    ++t.edits;
    out() << "LOG EDIT " << id << ' ' << from << ' ' << from + 1 << ' ' << stamp << ' ' << removedBoxes.join(QLatin1Char(','))
          << " | " << addedBoxes.join(QLatin1Char(',')) << Qt::endl;
}

int runSaver(const Database &db, int index, int lines)
{
    Tally t;
    QRandomGenerator rng(quint32(index * 7919 + 17));
    int nextContainer = 1;
    bench::VoyageHeader header{saverVessel(index), SaverVoyage};
    for (;;) {
        const Status s = bench::addVoyageHeader(db, header);
        if (s)
            break;
        if (!isBoundedWait(s.failure().description)) {
            err() << "saver " << index << ": " << s.failure().numberAndText() << Qt::endl;
            ++t.errors;
            printTally(t);
            return 1;
        }
        ++t.waits;
    }
    for (int seq = 1; seq <= lines; ++seq) {
        const bench::Bill bill = bench::makeBill(header.vessel, header.voyage, index, seq, ContainersPerBill);
        QElapsedTimer patience;
        patience.start();
        for (;;) {
            QElapsedTimer timer;
            timer.start();
            auto s = bench::saveBill(db, bill);
            t.worstMs = qMax(t.worstMs, timer.elapsed());
            if (!s && isLost(s.failure().description) && patience.elapsed() < 120000) {
                // stored before the connection went? then it is there; otherwise again
                QThread::msleep(200);
                ++t.lost;
                auto there = db.scalar(QStringLiteral("select id from cargo where vslcode = ? and voyno = ? and blno = ?"),
                                       {bill.vessel, bill.voyage, bill.blno});
                if (!there || !there->isValid())
                    continue;
                s = there->toLongLong();
            }
            if (s) {
                ++t.done;
                out() << "LOG KEY " << s.value() << Qt::endl;
                break;
            }
            if (!isBoundedWait(s.failure().description)) {
                err() << "saver " << index << " bill " << seq << ": " << s.failure().numberAndText() << Qt::endl;
                ++t.errors;
                break;
            }
            ++t.waits;
        }
        sharedTurn(db, index, seq, rng, &nextContainer, t);
    }
    t.reconnects = db.reconnects();
    printTally(t);
    return t.errors ? 1 : 0;
}

// The importer repeats until the file "stop" appears in the work folder, at least once.
int runImporter(const Database &db, const QString &igmFile, const QString &stopFile, qint64 lines, qint64 containers)
{
    Tally t;
    auto yes = [](const QString &) { return true; };
    bool imported = false; // the voyage holds the file's lines now
    for (int round = 0; !imported || !QFile::exists(stopFile); ++round) {
        if (round > 0) {
            const igm::RemovalResult r = igm::removeVoyage(db, ImportVessel, ImportVoyage, true, yes);
            // refused when there is nothing to remove: the last import went with a lost connection
            if (!r.outcome.isOk() && r.outcome.kind != igm::Outcome::Kind::Refused) {
                if (isBoundedWait(r.outcome.message) || isLost(r.outcome.message)) {
                    ++(isLost(r.outcome.message) ? t.lost : t.waits);
                    QThread::msleep(100);
                    continue;
                }
                err() << "remove-voyage: " << r.outcome.message << Qt::endl;
                ++t.errors;
                break;
            }
        }
        QElapsedTimer timer;
        timer.start();
        igm::IgmImportOptions options;
        options.withVessel = true;
        imported = false;
        const igm::IgmImportResult r = igm::importIgmFile(db, igmFile, options, yes);
        t.worstMs = qMax(t.worstMs, timer.elapsed());
        if (!r.outcome.isOk()) {
            if (isBoundedWait(r.outcome.message) || isLost(r.outcome.message)) {
                ++(isLost(r.outcome.message) ? t.lost : t.waits);
                QThread::msleep(100);
                continue;
            }
            err() << "import-igm: " << r.outcome.message << Qt::endl;
            ++t.errors;
            break;
        }
        if (r.lines != lines || r.containers != containers) {
            err() << "import-igm: " << r.lines << " lines, " << r.containers << " containers instead of " << lines
                  << ", " << containers << Qt::endl;
            ++t.errors;
        }
        ++t.done;
        imported = true;
        // the keys the import counted on from its first one
        auto keys = db.query(QStringLiteral("select id from cargo where vslcode = ? and voyno = ?"), {ImportVessel, ImportVoyage});
        while (keys && keys->next())
            out() << "LOG KEY " << keys->value(0).toLongLong() << '\n';
        out().flush();
        QThread::msleep(ImportPauseMs);
    }
    t.reconnects = db.reconnects();
    printTally(t);
    return t.errors ? 1 : 0;
}

// Checks one IGM file of a saver's voyage: its bills are the first k of the saver (saves
// are sequential, so any one moment holds a prefix), each with exactly its own
// containers. Returns k, or -1 with the fault on err().
qint64 checkIgmFile(const QString &path, int saver)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        err() << "cannot read " << path << Qt::endl;
        return -1;
    }
    enum { None, Cargo, Contain } part = None;
    QHash<QString, QString> billOfLine; // line number -> bill number
    QHash<QString, int> boxes;          // line number -> containers
    QSet<qint64> seqs;
    while (!f.atEnd()) {
        const QString text = QString::fromLatin1(f.readLine()).trimmed();
        if (text == QLatin1String(igm::Format::CargoStart)) {
            part = Cargo;
            continue;
        }
        if (text == QLatin1String(igm::Format::ContainerStart)) {
            part = Contain;
            continue;
        }
        if (text.startsWith(QLatin1String("<END"))) {
            part = None;
            continue;
        }
        if (part == None)
            continue;
        const QStringList fields = text.split(QLatin1Char(igm::Format::FieldSeparator));
        if (fields.size() < 8) {
            err() << path << ": short record " << text << Qt::endl;
            return -1;
        }
        const QString line = fields.at(5);
        if (part == Cargo) {
            const qint64 seq = bench::billSeq(fields.at(7), saver);
            if (seq <= 0 || billOfLine.contains(line)) {
                err() << path << ": unexpected line " << line << " " << fields.at(7) << Qt::endl;
                return -1;
            }
            billOfLine.insert(line, fields.at(7));
            seqs.insert(seq);
        } else {
            const auto bill = billOfLine.constFind(line);
            if (bill == billOfLine.constEnd()) {
                err() << path << ": container " << fields.at(7) << " of no line" << Qt::endl;
                return -1;
            }
            if (bench::containerSeq(fields.at(7)) != bench::billSeq(*bill, saver)) {
                err() << path << ": container " << fields.at(7) << " on the bill " << *bill << Qt::endl;
                return -1;
            }
            ++boxes[line];
        }
    }
    const qint64 k = seqs.size();
    for (qint64 s = 1; s <= k; ++s) {
        if (!seqs.contains(s)) {
            err() << path << ": bills 1.." << k << " lack " << s << ": not one moment" << Qt::endl;
            return -1;
        }
    }
    for (auto it = billOfLine.constBegin(); it != billOfLine.constEnd(); ++it) {
        if (boxes.value(it.key()) != ContainersPerBill) {
            err() << path << ": bill " << *it << " with " << boxes.value(it.key()) << " containers" << Qt::endl;
            return -1;
        }
    }
    return k;
}

int runWriter(const Database &db, const QString &folder, const QString &stopFile)
{
    Tally t;
    igm::IgmWriteOptions options;
    options.iceGateUser = QStringLiteral("LOADTEST");
    options.customHouseCode = QStringLiteral("INNSA1");
    QHash<int, qint64> seen; // saver -> bills in its last file
    for (int round = 0; !QFile::exists(stopFile) || round < Savers; ++round) {
        const int saver = round % Savers;
        QElapsedTimer timer;
        timer.start();
        const igm::IgmWriteResult r = igm::generateIgmFile(db, folder, saverVessel(saver), SaverVoyage, options);
        t.worstMs = qMax(t.worstMs, timer.elapsed());
        if (r.outcome.kind == igm::Outcome::Kind::Refused)
            continue; // the voyage has no header or no line yet
        if (!r.outcome.isOk()) {
            if (isBoundedWait(r.outcome.message) || isLost(r.outcome.message)) {
                ++(isLost(r.outcome.message) ? t.lost : t.waits);
                QThread::msleep(100);
                continue;
            }
            err() << "write-igm: " << r.outcome.message << Qt::endl;
            ++t.errors;
            break;
        }
        const qint64 k = checkIgmFile(r.path, saver);
        if (k < 0 || k < seen.value(saver)) {
            if (k >= 0)
                err() << r.path << ": " << k << " bills after " << seen.value(saver) << Qt::endl;
            ++t.errors;
            break;
        }
        seen[saver] = k;
        ++t.done;
        QThread::msleep(WritePauseMs);
    }
    t.reconnects = db.reconnects();
    printTally(t);
    return t.errors ? 1 : 0;
}

// --- controller -----------------------------------------------------------------------

struct Child
{
    QString role;
    QProcess *process = nullptr;
};

Tally readTally(const QString &output, QStringList *log, bool *ok)
{
    Tally t;
    *ok = false;
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("LOG ")))
            *log << line.mid(4);
        if (!line.startsWith(QLatin1String("RESULT ")))
            continue;
        const QStringList f = line.split(QLatin1Char(' '));
        t.done = f.value(1).toLongLong();
        t.waits = f.value(2).toLongLong();
        t.worstMs = f.value(3).toLongLong();
        t.errors = f.value(4).toLongLong();
        t.reconnects = f.value(5).toLongLong();
        t.edits = f.value(6).toLongLong();
        t.refused = f.value(7).toLongLong();
        t.wrongRefusal = f.value(8).toLongLong();
        t.lost = f.value(9).toLongLong();
        *ok = true;
    }
    return t;
}

bool check(bool condition, const QString &what, int *faults)
{
    if (!condition) {
        err() << "FAULT: " << what << Qt::endl;
        ++*faults;
    }
    return condition;
}

qint64 count(const Database &db, const QString &sql, const QVariantList &binds = {})
{
    auto v = db.scalar(sql, binds);
    return v ? v->toLongLong() : -1;
}

int verify(const Database &db, int lines, qint64 importLines, qint64 importContainers)
{
    int faults = 0;
    check(count(db, QStringLiteral("select count(*) - count(distinct id) from cargo")) == 0,
          QStringLiteral("duplicate cargo keys"), &faults);
    check(count(db, QStringLiteral("select count(*) from contain where ref not in (select id from cargo)")) == 0,
          QStringLiteral("containers without a bill of lading"), &faults);
    for (int i = 0; i < Savers; ++i) {
        const QVariantList key{saverVessel(i), SaverVoyage};
        check(count(db, QStringLiteral("select count(distinct blno) from cargo where vslcode = ? and voyno = ?"), key)
                  == lines,
              QStringLiteral("saver %1: not %2 bills of lading").arg(i).arg(lines), &faults);
        check(count(db, QStringLiteral("select count(*) from cargo where vslcode = ? and voyno = ?"), key) == lines,
              QStringLiteral("saver %1: not %2 cargo rows").arg(i).arg(lines), &faults);
        check(count(db, QStringLiteral("select count(*) from contain c inner join cargo b on c.ref = b.id "
                                       "where b.vslcode = ? and b.voyno = ?"),
                    key)
                  == qint64(lines) * ContainersPerBill,
              QStringLiteral("saver %1: not %2 containers").arg(i).arg(lines * ContainersPerBill), &faults);
        // every container on its own bill: the bill number and the container number carry the same sequence
        auto q = db.query(QStringLiteral("select b.blno, c.containno from contain c inner join cargo b on c.ref = b.id "
                                         "where b.vslcode = ? and b.voyno = ?"),
                          key);
        int wrong = 0;
        while (q && q->next()) {
            if (bench::billSeq(q->value(0).toString(), i) != bench::containerSeq(q->value(1).toString()))
                ++wrong;
        }
        check(q.isOk() && wrong == 0, QStringLiteral("saver %1: %2 containers on another bill").arg(i).arg(wrong),
              &faults);
    }
    const QVariantList imp{ImportVessel, ImportVoyage};
    check(count(db, QStringLiteral("select count(*) from cargo where vslcode = ? and voyno = ?"), imp) == importLines,
          QStringLiteral("imported voyage: not %1 lines").arg(importLines), &faults);
    check(count(db, QStringLiteral("select count(*) from contain c inner join cargo b on c.ref = b.id "
                                   "where b.vslcode = ? and b.voyno = ?"),
                imp)
              == importContainers,
          QStringLiteral("imported voyage: not %1 containers").arg(importContainers), &faults);
    check(count(db, QStringLiteral("select count(*) from vesinfo where vslcode = ? and voyno = ?"), imp) == 1,
          QStringLiteral("imported voyage: not one header"), &faults);
    return faults;
}

// Writes the IGM file the importer reads, from a made-up voyage in a scratch file.
bool makeImportFile(const QString &folder, int lines, QString *path, qint64 *containers)
{
    const QString scratch = folder + QStringLiteral("/scratch.qdb");
    if (!Installer::createDataFile(scratch)) {
        err() << "cannot create " << scratch << Qt::endl;
        return false;
    }
    auto db = Database::openSqlite(scratch);
    igm::SyntheticVoyage v;
    v.vessel = ImportVessel;
    v.voyage = ImportVoyage;
    v.lines = lines;
    v.containers = lines * 2;
    if (!db || !igm::addSyntheticVoyage(*db, v)) {
        err() << "cannot make the voyage to import" << Qt::endl;
        return false;
    }
    igm::IgmWriteOptions options;
    options.iceGateUser = QStringLiteral("LOADTEST");
    options.customHouseCode = QStringLiteral("INNSA1");
    const igm::IgmWriteResult r = igm::generateIgmFile(*db, folder, v.vessel, v.voyage, options);
    if (!r.outcome.isOk()) {
        err() << "cannot write the file to import: " << r.outcome.message << Qt::endl;
        return false;
    }
    *path = r.path;
    *containers = count(*db, QStringLiteral("select count(*) from contain"));
    return true;
}

// The shared bills of lading the workstations start from; their keys.
QList<qint64> seedShared(const Database &db)
{
    QList<qint64> keys;
    for (int i = 0; i < SharedBills; ++i) {
        QStringList boxes;
        for (int k = 0; k < SharedContainers; ++k)
            boxes << containerNumber(QLatin1Char('P'), i * 10 + k);
        auto id = saveBillOfLading(db, sharedBill(QStringLiteral("SHP%1").arg(i, 3, 10, QLatin1Char('0')), boxes));
        if (!id) {
            err() << "cannot seed the shared bills of lading: " << id.failure().numberAndText() << Qt::endl;
            return {};
        }
        keys << id.value();
    }
    return keys;
}

struct SharedFindings
{
    qint64 edits = 0;
    qint64 deletes = 0;
    qint64 adds = 0;
    qint64 overwrites = 0;  // saves over a bill of lading changed since their edit began
    qint64 resurrected = 0; // removed containers stored again
    qint64 reusedKeys = 0;
    qint64 lost = 0;        // saves reported and not in the database
};

// Holds what the workstations say they did against what the database holds.
SharedFindings checkShared(const Database &db, const QStringList &log, const QList<qint64> &seeded)
{
    SharedFindings f;
    QList<qint64> keys = seeded;
    // id -> the packages each edit began from, with its stamp
    QHash<qint64, QList<std::pair<qint64, QString>>> froms;
    using Packages = std::pair<qint64, QString>; // packages and marks
    const Packages start{SharedPackages, QStringLiteral("START")};
    QHash<qint64, Packages> last; // id -> its latest edit
    QSet<qint64> deleted;
    QList<qint64> bills = seeded;
    QSet<QString> removedBoxes;
    QHash<QString, qint64> addedBoxes; // container -> its bill of lading
    for (const QString &line : log) {
        const QString left = line.section(QStringLiteral(" | "), 0, 0);
        const QStringList w = left.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const qint64 id = w.value(1).toLongLong();
        if (w.value(0) == QLatin1String("KEY")) {
            keys << id;
        } else if (w.value(0) == QLatin1String("ADD")) {
            ++f.adds;
            bills << id;
            for (const QString &box : w.value(2).split(QLatin1Char(','), Qt::SkipEmptyParts))
                addedBoxes.insert(box, id);
        } else if (w.value(0) == QLatin1String("DEL")) {
            ++f.deletes;
            deleted << id;
        } else if (w.value(0) == QLatin1String("EDIT")) {
            ++f.edits;
            const qint64 to = w.value(3).toLongLong();
            froms[id] << std::pair{w.value(2).toLongLong(), w.value(4)};
            if (to > last.value(id, start).first)
                last.insert(id, {to, w.value(4)});
            for (const QString &box : w.value(5).split(QLatin1Char(','), Qt::SkipEmptyParts))
                removedBoxes << box;
            for (const QString &box : line.section(QStringLiteral(" | "), 1).split(QLatin1Char(','), Qt::SkipEmptyParts))
                addedBoxes.insert(box, id);
        }
    }
    f.reusedKeys = keys.size() - QSet<qint64>(keys.cbegin(), keys.cend()).size();
    // Every edit adds one package to what it loaded, and a save goes through only over the
    // row as loaded: so each edit begins from what the seed or one earlier edit left, and no
    // two edits begin from the same. Anything else was saved over a row it did not show.
    for (auto it = froms.cbegin(); it != froms.cend(); ++it) {
        QSet<qint64> left{SharedPackages};
        for (const auto &[from, stamp] : it.value())
            left << from + 1;
        QSet<qint64> begun;
        for (const auto &[from, stamp] : it.value()) {
            if (!left.contains(from) || begun.contains(from)) {
                err() << "shared bill " << it.key() << ": edit " << stamp << " saved over " << from << " packages, "
                      << (begun.contains(from) ? "which another edit saved over too" : "which no save left there")
                      << Qt::endl;
                ++f.overwrites;
            }
            begun << from;
        }
    }
    for (qint64 id : std::as_const(bills)) {
        if (deleted.contains(id))
            continue;
        const Packages expected = last.value(id, start);
        // After a restart the first read finds the connection gone; it is made again.
        Tally reading;
        auto q = whenAnswered([&] { return db.query(QStringLiteral("select pkgs, marks from cargo where id = ?"), {id}); },
                              reading);
        if (!q || !q->next() || q->value(0).toLongLong() != expected.first || q->value(1).toString() != expected.second) {
            err() << "shared bill " << id << ": not as its last save left it (" << expected.first << ' ' << expected.second
                  << "; " << (!q ? q.failure().numberAndText()
                              : q->isValid() ? QStringLiteral("stored: %1 %2").arg(q->value(0).toString(), q->value(1).toString())
                                             : QStringLiteral("not stored"))
                  << ')' << Qt::endl;
            ++f.lost;
        }
    }
    auto present = [&](const QString &box) {
        auto n = db.scalar(QStringLiteral("select count(*) from contain where containno = ?"), {box});
        return n ? n->toLongLong() : -1;
    };
    for (const QString &box : std::as_const(removedBoxes)) {
        if (present(box) != 0) {
            err() << "container " << box << " removed and stored again" << Qt::endl;
            ++f.resurrected;
        }
    }
    for (auto it = addedBoxes.cbegin(); it != addedBoxes.cend(); ++it) {
        if (!deleted.contains(it.value()) && !removedBoxes.contains(it.key()) && present(it.key()) != 1) {
            err() << "container " << it.key() << " added and not there" << Qt::endl;
            ++f.lost;
        }
    }
    return f;
}

int runEngine(const Target &target, const QString &work, int lines, int importLines)
{
    QString name = target.engine == Engine::SQLite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL");
    if (target.restart)
        name += QStringLiteral(", restarted");
    QList<qint64> seeded;
    {
        auto db = openTarget(target);
        if (db)
            seeded = seedShared(*db);
        if (seeded.isEmpty())
            return 1;
    }
    QString igmFile;
    qint64 importContainers = 0;
    if (!makeImportFile(work, importLines, &igmFile, &importContainers))
        return 1;
    const QString stopFile = work + QStringLiteral("/stop");
    QFile::remove(stopFile);
    const QString outFolder = work + QStringLiteral("/igm");
    QDir().mkpath(outFolder);

    const QString exe = QCoreApplication::applicationFilePath();
    QList<Child> children;
    QStringList logs;
    auto start = [&](const QString &role, const QStringList &args) {
        auto *p = new QProcess;
        p->setProcessChannelMode(QProcess::SeparateChannels);
        p->setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        logs << work + QStringLiteral("/log-%1.txt").arg(children.size());
        p->start(exe, QStringList{QStringLiteral("--worker"), role, logs.last()} + targetArgs(target) + args);
        children.append({role, p});
    };
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < Savers; ++i)
        start(QStringLiteral("saver"), {QString::number(i), QString::number(lines)});
    start(QStringLiteral("importer"), {igmFile, stopFile, QString::number(importLines), QString::number(importContainers)});
    start(QStringLiteral("writer"), {outFolder, stopFile});

    int faults = 0;
    if (target.restart) {
        // once a third of the bills of lading are in, the server goes down and comes back
        auto watcher = openTarget(target);
        QElapsedTimer waited;
        waited.start();
        while (watcher && waited.elapsed() < 300000) {
            auto n = watcher->scalar(QStringLiteral("select count(*) from cargo where vslcode like 'LOAD%'"));
            if (!n || n->toLongLong() >= qint64(Savers) * lines / 3)
                break;
            QThread::msleep(200);
        }
        if (watcher)
            watcher->close();
        check(target.restart(), QStringLiteral("the server could not be restarted"), &faults);
    }
    Tally saves, imports, files;
    QStringList log;
    qint64 fewestReconnects = -1;
    for (int i = 0; i < children.size(); ++i) {
        Child &c = children[i];
        if (i == Savers) { // the savers are through: the others finish their round
            QFile stop(stopFile);
            stop.open(QIODevice::WriteOnly);
        }
        if (!c.process->waitForFinished(-1) || c.process->exitStatus() != QProcess::NormalExit) {
            check(false, QStringLiteral("%1 process crashed").arg(c.role), &faults);
            continue;
        }
        // The driver's word on statements it could not free on a connection the server had
        // cut is expected once the server restarts; everything else is shown.
        QStringList errors = QString::fromUtf8(c.process->readAllStandardError()).split(QLatin1Char('\n'));
        errors.removeIf([](const QString &l) {
            // a workstation's own report quotes the driver too: it stays
            for (const char *own : {"saver ", "import-igm: ", "remove-voyage: ", "write-igm: "}) {
                if (l.startsWith(QLatin1String(own)))
                    return false;
            }
            for (const char *expected : {"Unable to free statement", "terminating connection due to administrator command",
                                         "server closed the connection unexpectedly", "This probably means the server",
                                         "before or while processing the request", "database not open"}) {
                if (l.contains(QLatin1String(expected)))
                    return true;
            }
            return l.trimmed().isEmpty();
        });
        if (!errors.isEmpty())
            err() << errors.join(QLatin1Char('\n')) << Qt::endl;
        bool ok = false;
        QFile logFile(logs.at(i));
        logFile.open(QIODevice::ReadOnly);
        const Tally t = readTally(QString::fromUtf8(c.process->readAllStandardOutput() + logFile.readAll()), &log, &ok);
        check(ok && c.process->exitCode() == 0 && t.errors == 0, QStringLiteral("%1 failed").arg(c.role), &faults);
        Tally &sum = c.role == QLatin1String("saver") ? saves : c.role == QLatin1String("importer") ? imports : files;
        sum.done += t.done;
        sum.waits += t.waits;
        sum.errors += t.errors;
        sum.worstMs = qMax(sum.worstMs, t.worstMs);
        sum.reconnects += t.reconnects;
        sum.edits += t.edits;
        sum.refused += t.refused;
        sum.wrongRefusal += t.wrongRefusal;
        sum.lost += t.lost;
        fewestReconnects = fewestReconnects < 0 ? t.reconnects : qMin(fewestReconnects, t.reconnects);
        if (i == Savers - 1) {
            const double seconds = clock.elapsed() / 1000.0;
            QTextStream(stdout) << name << ": " << saves.done << " bills of lading saved in " << QString::number(seconds, 'f', 1)
                                << " s, " << QString::number(saves.done / seconds, 'f', 1) << " saves/s, worst save "
                                << saves.worstMs << " ms, " << saves.waits << " lock waits ran out" << Qt::endl;
        }
        delete c.process;
    }
    QTextStream(stdout) << name << ": " << imports.done << " IGM imports (worst " << imports.worstMs << " ms), "
                        << files.done << " IGM files written and checked (worst " << files.worstMs << " ms), "
                        << imports.waits + files.waits << " lock waits ran out" << Qt::endl;
    check(saves.done == qint64(lines) * Savers, QStringLiteral("%1 saves reported instead of %2").arg(saves.done).arg(lines * Savers),
          &faults);
    check(imports.done >= 1, QStringLiteral("no IGM import"), &faults);
    check(files.done >= 1, QStringLiteral("no IGM file written"), &faults);

    auto db = openTarget(target);
    if (!check(db.isOk(), QStringLiteral("cannot open the database to check it"), &faults))
        return 1;
    faults += verify(*db, lines, importLines, importContainers);
    const SharedFindings shared = checkShared(*db, log, seeded);
    QTextStream(stdout) << name << ": shared bills of lading: " << shared.edits << " edits saved, " << saves.refused
                        << " stale saves and deletes refused (" << saves.wrongRefusal << " with another message), "
                        << shared.deletes << " deleted, " << shared.adds << " added; silent overwrites "
                        << shared.overwrites << ", resurrected containers " << shared.resurrected << ", reused keys "
                        << shared.reusedKeys << ", lost saves " << shared.lost << Qt::endl;
    check(shared.edits == saves.edits, QStringLiteral("%1 edits reported, %2 in the logs").arg(saves.edits).arg(shared.edits),
          &faults);
    check(shared.edits > 0 && saves.refused > 0, QStringLiteral("the workstations never met on a bill of lading"), &faults);
    check(saves.wrongRefusal == 0, QStringLiteral("refused with another message"), &faults);
    check(shared.overwrites == 0, QStringLiteral("silent overwrites"), &faults);
    check(shared.resurrected == 0, QStringLiteral("resurrected containers"), &faults);
    check(shared.reusedKeys == 0, QStringLiteral("reused keys"), &faults);
    check(shared.lost == 0, QStringLiteral("lost saves"), &faults);
    if (target.restart) {
        QTextStream(stdout) << name << ": every workstation reconnected (" << saves.reconnects + imports.reconnects + files.reconnects
                            << " reconnections, fewest " << fewestReconnects << " per workstation), "
                            << saves.lost + imports.lost + files.lost << " tries again after the connection was lost"
                            << Qt::endl;
        check(fewestReconnects >= 1, QStringLiteral("a workstation never reconnected"), &faults);
    }
    QTextStream(stdout) << name << ": " << (faults ? "FAILED" : "passed") << Qt::endl;
    return faults ? 1 : 0;
}

// A PostgreSQL server of the load test's own, which it may restart without disturbing the
// tests that run beside it on the test command's server.
class PrivateServer
{
public:
    ~PrivateServer() { stop(); }

    bool start(const QString &folder)
    {
        m_bin = qEnvironmentVariable("QUARL_TEST_PGBIN", QStringLiteral("/usr/lib/postgresql/15/bin"));
        m_data = folder + QStringLiteral("/data");
        m_port = freePort();
        if (m_port <= 0)
            return false;
        QDir().mkpath(m_data);
        if (geteuid() == 0 && QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres:postgres"), m_data}) != 0)
            return false;
        if (!run(QStringLiteral("initdb"), {QStringLiteral("-D"), m_data, QStringLiteral("-A"), QStringLiteral("trust"),
                                            QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-E"),
                                            QStringLiteral("UTF8"), QStringLiteral("--no-locale")}))
            return false;
        m_running = up();
        return m_running;
    }
    // Stopped fast, as an administrator restarting it does: every connection is cut.
    bool restart()
    {
        if (!run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_data, QStringLiteral("-m"), QStringLiteral("fast"),
                                            QStringLiteral("-w"), QStringLiteral("stop")}))
            return false;
        QThread::msleep(2000);
        return up();
    }
    PgParams params() const
    {
        PgParams p;
        p.host = QStringLiteral("127.0.0.1");
        p.port = m_port;
        p.user = QStringLiteral("postgres");
        p.database = QStringLiteral("postgres");
        return p;
    }

private:
    static int freePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return -1;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        int port = -1;
        if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
            && ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size) == 0)
            port = ntohs(a.sin_port);
        ::close(fd);
        return port;
    }
    bool up()
    {
        return run(QStringLiteral("pg_ctl"),
                   {QStringLiteral("-D"), m_data, QStringLiteral("-l"), m_data + QStringLiteral("/server.log"),
                    QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-o"),
                    QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off "
                                   "-c full_page_writes=off -c max_connections=100")
                        .arg(m_port)
                        .arg(m_data),
                    QStringLiteral("start")});
    }
    void stop()
    {
        if (m_running)
            run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_data, QStringLiteral("-m"), QStringLiteral("immediate"),
                                           QStringLiteral("stop")});
        m_running = false;
    }
    bool run(const QString &program, const QStringList &args) const
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        if (geteuid() == 0)
            p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                                                           m_bin + QLatin1Char('/') + program} + args);
        else
            p.start(m_bin + QLatin1Char('/') + program, args);
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            err() << program << ": " << QString::fromLocal8Bit(p.readAll()).trimmed() << Qt::endl;
            return false;
        }
        return true;
    }

    QString m_bin;
    QString m_data;
    int m_port = 0;
    bool m_running = false;
};

// A new company database on a PostgreSQL server; its name in *name.
bool makePostgresCompany(const PgParams &server, PgParams *company)
{
    const QString name = QStringLiteral("quarl_load_%1_%2").arg(QCoreApplication::applicationPid()).arg(server.port);
    {
        auto maint = Database::openPostgres(server);
        if (!maint || !maint->exec(QStringLiteral("create database %1 template template0 encoding 'UTF8'").arg(name))) {
            err() << "cannot create the PostgreSQL database " << name << ": "
                  << (maint ? QString() : maint.failure().numberAndText()) << Qt::endl;
            return false;
        }
    }
    *company = server;
    company->database = name;
    auto db = Database::openPostgres(*company);
    if (!db || !Schema::createCompanyDatabase(*db)) {
        err() << "cannot create the company schema in " << name << Qt::endl;
        return false;
    }
    return true;
}

void dropPostgresCompany(const PgParams &server, const QString &name)
{
    if (auto maint = Database::openPostgres(server))
        std::ignore = maint->exec(QStringLiteral("drop database if exists %1").arg(name));
}

int worker(const QStringList &args)
{
    // --worker ROLE LOGFILE --sqlite FILE|--pg HOST:PORT:USER:NAME args...
    const QString role = args.value(0);
    QFile log(args.value(1));
    if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        err() << role << ": cannot write " << args.value(1) << Qt::endl;
        return 1;
    }
    logFile = &log;
    Target t;
    if (args.value(2) == QLatin1String("--sqlite")) {
        t.engine = Engine::SQLite;
        t.file = args.value(3);
    } else {
        bool ok = false;
        t.engine = Engine::PostgreSQL;
        t.pg = testCluster(&ok);
        const QStringList where = args.value(3).split(QLatin1Char(':'));
        t.pg.host = where.value(0);
        t.pg.port = where.value(1).toInt();
        t.pg.user = where.value(2);
        t.pg.database = where.value(3);
    }
    auto db = openTarget(t);
    if (!db) {
        err() << role << ": " << db.failure().numberAndText() << Qt::endl;
        return 1;
    }
    const QStringList rest = args.mid(4);
    int status = 1;
    if (role == QLatin1String("saver"))
        status = runSaver(*db, rest.value(0).toInt(), rest.value(1).toInt());
    else if (role == QLatin1String("importer"))
        status = runImporter(*db, rest.value(0), rest.value(1), rest.value(2).toLongLong(), rest.value(3).toLongLong());
    else if (role == QLatin1String("writer"))
        status = runWriter(*db, rest.value(0), rest.value(1));
    else
        err() << "unknown role " << role << Qt::endl;
    out().flush();
    out().setDevice(nullptr);
    logFile = nullptr;
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("--worker"))
        return worker(args.mid(1));

    int lines = 1000;
    QString engines = QStringLiteral("both");
    bool restart = true;
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--short"))
            lines = 30;
        else if (args.at(i) == QLatin1String("--lines"))
            lines = args.value(++i).toInt();
        else if (args.at(i) == QLatin1String("--engine"))
            engines = args.value(++i);
        else if (args.at(i) == QLatin1String("--no-restart"))
            restart = false;
    }
    if (lines < 1) {
        err() << "usage: bench_concurrency [--short] [--lines N] [--engine sqlite|postgres|both] [--no-restart]" << Qt::endl;
        return 2;
    }
    const int importLines = qMax(20, lines / 5);
    QTemporaryDir work;
    // the server of its own runs as postgres when this runs as root: let it in
    QFile::setPermissions(work.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                           | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                           | QFileDevice::ExeOther);
    int status = 0;
    if (engines != QLatin1String("postgres")) {
        const QString dir = work.filePath(QStringLiteral("sqlite"));
        QDir().mkpath(dir);
        Target t;
        t.file = dir + QStringLiteral("/LOAD.qdb");
        if (!Installer::createDataFile(t.file)) {
            err() << "cannot create " << t.file << Qt::endl;
            return 1;
        }
        status |= runEngine(t, dir, lines, importLines);
    }
    if (engines != QLatin1String("sqlite")) {
        bool ok = false;
        const PgParams cluster = testCluster(&ok);
        if (!ok) {
            err() << "QUARL_TEST_PG is not set: run under scripts/test.sh or set it to the PostgreSQL to load" << Qt::endl;
            return 1;
        }
        Target t;
        t.engine = Engine::PostgreSQL;
        if (!makePostgresCompany(cluster, &t.pg))
            return 1;
        const QString dir = work.filePath(QStringLiteral("postgres"));
        QDir().mkpath(dir);
        status |= runEngine(t, dir, lines, importLines);
        dropPostgresCompany(cluster, t.pg.database);
    }
    if (engines != QLatin1String("sqlite") && restart) {
        const QString dir = work.filePath(QStringLiteral("restart"));
        QDir().mkpath(dir);
        PrivateServer server;
        Target t;
        t.engine = Engine::PostgreSQL;
        if (!server.start(dir) || !makePostgresCompany(server.params(), &t.pg)) {
            err() << "cannot start a PostgreSQL server of the load test's own in " << dir << Qt::endl;
            return 1;
        }
        t.restart = [&server] { return server.restart(); };
        status |= runEngine(t, dir, lines, importLines);
    }
    return status;
}
