// Load test: several workstations (processes) on one company database.
//
//   bench_concurrency [--short] [--lines N] [--engine sqlite|postgres|both]
//
// Eight processes each save N bills of lading with five containers through the cargo
// screen's save routine (saveBillOfLading), a ninth imports an IGM file again and again
// (removing the voyage between two imports), a tenth writes the IGM files of the voyages
// being keyed in and checks each. Afterwards the controller checks the database: no save
// lost, no duplicate key, every container on its own bill of lading. PostgreSQL comes from QUARL_TEST_PG (as the test
// command sets it). Exits 1 on any fault; a lock wait that ran out is counted and the
// save tried again, as a clerk would press Save again.
#include "loadsave.h"

#include "igm/igmformat.h"
#include "igm/igmreader.h"
#include "igm/igmwriter.h"
#include "igm/syntheticvoyage.h"
#include "igm/voyageremoval.h"
#include "store/database.h"
#include "store/installer.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <tuple>

using namespace quarl;

namespace {

constexpr int Savers = 8;
constexpr int ContainersPerBill = 5;
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

// --- connection -----------------------------------------------------------------------

struct Target
{
    Engine engine = Engine::SQLite;
    QString file;
    PgParams pg;
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
    return {QStringLiteral("--pgdb"), t.pg.database};
}

// --- workers --------------------------------------------------------------------------

struct Tally
{
    qint64 done = 0;
    qint64 waits = 0; // lock waits that ran out and were tried again
    qint64 worstMs = 0;
    qint64 errors = 0;
};

void printTally(const Tally &t, const QString &extra = {})
{
    QTextStream(stdout) << "RESULT " << t.done << ' ' << t.waits << ' ' << t.worstMs << ' ' << t.errors << ' ' << extra
                        << Qt::endl;
}

int runSaver(const Database &db, int index, int lines)
{
    Tally t;
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
        for (;;) {
            QElapsedTimer timer;
            timer.start();
            const Status s = bench::saveBill(db, bill);
            t.worstMs = qMax(t.worstMs, timer.elapsed());
            if (s) {
                ++t.done;
                break;
            }
            if (!isBoundedWait(s.failure().description)) {
                err() << "saver " << index << " bill " << seq << ": " << s.failure().numberAndText() << Qt::endl;
                ++t.errors;
                break;
            }
            ++t.waits;
        }
    }
    printTally(t);
    return t.errors ? 1 : 0;
}

// The importer repeats until the file "stop" appears in the work folder, at least once.
int runImporter(const Database &db, const QString &igmFile, const QString &stopFile, qint64 lines, qint64 containers)
{
    Tally t;
    auto yes = [](const QString &) { return true; };
    for (int round = 0; round == 0 || !QFile::exists(stopFile); ++round) {
        if (round > 0) {
            const igm::RemovalResult r = igm::RemoveVoyage(db, ImportVessel, ImportVoyage, true, yes);
            if (!r.outcome.isOk()) {
                if (isBoundedWait(r.outcome.message)) {
                    ++t.waits;
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
        const igm::IgmImportResult r = igm::ImportIgmFile(db, igmFile, options, yes);
        t.worstMs = qMax(t.worstMs, timer.elapsed());
        if (!r.outcome.isOk()) {
            if (isBoundedWait(r.outcome.message)) {
                ++t.waits;
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
        QThread::msleep(ImportPauseMs);
    }
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
        const igm::IgmWriteResult r = igm::GenerateIgmFile(db, folder, saverVessel(saver), SaverVoyage, options);
        t.worstMs = qMax(t.worstMs, timer.elapsed());
        if (r.outcome.kind == igm::Outcome::Kind::Refused)
            continue; // the voyage has no header or no line yet
        if (!r.outcome.isOk()) {
            if (isBoundedWait(r.outcome.message)) {
                ++t.waits;
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
    printTally(t);
    return t.errors ? 1 : 0;
}

// --- controller -----------------------------------------------------------------------

struct Child
{
    QString role;
    QProcess *process = nullptr;
};

Tally readTally(QProcess *p, bool *ok)
{
    Tally t;
    *ok = false;
    const QString output = QString::fromUtf8(p->readAllStandardOutput());
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1String("RESULT ")))
            continue;
        const QStringList f = line.split(QLatin1Char(' '));
        t.done = f.value(1).toLongLong();
        t.waits = f.value(2).toLongLong();
        t.worstMs = f.value(3).toLongLong();
        t.errors = f.value(4).toLongLong();
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
    const igm::IgmWriteResult r = igm::GenerateIgmFile(*db, folder, v.vessel, v.voyage, options);
    if (!r.outcome.isOk()) {
        err() << "cannot write the file to import: " << r.outcome.message << Qt::endl;
        return false;
    }
    *path = r.path;
    *containers = count(*db, QStringLiteral("select count(*) from contain"));
    return true;
}

int runEngine(const Target &target, const QString &work, int lines, int importLines)
{
    const QString name = target.engine == Engine::SQLite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL");
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
    auto start = [&](const QString &role, const QStringList &args) {
        auto *p = new QProcess;
        p->setProcessChannelMode(QProcess::SeparateChannels);
        p->setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        p->start(exe, QStringList{QStringLiteral("--worker"), role} + targetArgs(target) + args);
        children.append({role, p});
    };
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < Savers; ++i)
        start(QStringLiteral("saver"), {QString::number(i), QString::number(lines)});
    start(QStringLiteral("importer"), {igmFile, stopFile, QString::number(importLines), QString::number(importContainers)});
    start(QStringLiteral("writer"), {outFolder, stopFile});

    int faults = 0;
    Tally saves, imports, files;
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
        const QString errors = QString::fromUtf8(c.process->readAllStandardError()).trimmed();
        if (!errors.isEmpty())
            err() << errors << Qt::endl;
        bool ok = false;
        const Tally t = readTally(c.process, &ok);
        check(ok && c.process->exitCode() == 0 && t.errors == 0, QStringLiteral("%1 failed").arg(c.role), &faults);
        Tally &sum = c.role == QLatin1String("saver") ? saves : c.role == QLatin1String("importer") ? imports : files;
        sum.done += t.done;
        sum.waits += t.waits;
        sum.errors += t.errors;
        sum.worstMs = qMax(sum.worstMs, t.worstMs);
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
    QTextStream(stdout) << name << ": " << (faults ? "FAILED" : "passed") << Qt::endl;
    return faults ? 1 : 0;
}

int worker(const QStringList &args)
{
    // --worker ROLE --sqlite FILE|--pgdb NAME args...
    const QString role = args.value(0);
    Target t;
    if (args.value(1) == QLatin1String("--sqlite")) {
        t.engine = Engine::SQLite;
        t.file = args.value(2);
    } else {
        bool ok = false;
        t.engine = Engine::PostgreSQL;
        t.pg = testCluster(&ok);
        t.pg.database = args.value(2);
    }
    auto db = openTarget(t);
    if (!db) {
        err() << role << ": " << db.failure().numberAndText() << Qt::endl;
        return 1;
    }
    const QStringList rest = args.mid(3);
    if (role == QLatin1String("saver"))
        return runSaver(*db, rest.value(0).toInt(), rest.value(1).toInt());
    if (role == QLatin1String("importer"))
        return runImporter(*db, rest.value(0), rest.value(1), rest.value(2).toLongLong(), rest.value(3).toLongLong());
    if (role == QLatin1String("writer"))
        return runWriter(*db, rest.value(0), rest.value(1));
    err() << "unknown role " << role << Qt::endl;
    return 1;
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
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--short"))
            lines = 30;
        else if (args.at(i) == QLatin1String("--lines"))
            lines = args.value(++i).toInt();
        else if (args.at(i) == QLatin1String("--engine"))
            engines = args.value(++i);
    }
    if (lines < 1) {
        err() << "usage: bench_concurrency [--short] [--lines N] [--engine sqlite|postgres|both]" << Qt::endl;
        return 2;
    }
    const int importLines = qMax(20, lines / 5);
    QTemporaryDir work;
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
        Target t;
        t.engine = Engine::PostgreSQL;
        t.pg = testCluster(&ok);
        if (!ok) {
            err() << "QUARL_TEST_PG is not set: run under scripts/test.sh or set it to the PostgreSQL to load" << Qt::endl;
            return 1;
        }
        const QString name = QStringLiteral("quarl_load_%1").arg(QCoreApplication::applicationPid());
        {
            auto maint = Database::openPostgres(t.pg);
            if (!maint || !maint->exec(QStringLiteral("create database %1 template template0 encoding 'UTF8'").arg(name))) {
                err() << "cannot create the PostgreSQL database " << name << ": "
                      << (maint ? QString() : maint.failure().numberAndText()) << Qt::endl;
                return 1;
            }
        }
        const QString maintenanceDb = t.pg.database;
        t.pg.database = name;
        {
            auto db = Database::openPostgres(t.pg);
            if (!db || !Schema::createCompanyDatabase(*db)) {
                err() << "cannot create the company schema in " << name << Qt::endl;
                return 1;
            }
        }
        const QString dir = work.filePath(QStringLiteral("postgres"));
        QDir().mkpath(dir);
        status |= runEngine(t, dir, lines, importLines);
        PgParams m = t.pg;
        m.database = maintenanceDb;
        if (auto maint = Database::openPostgres(m))
            std::ignore = maint->exec(QStringLiteral("drop database if exists %1").arg(name));
    }
    return status;
}
