#include "sam/samfile.h"

#include "core/safefile.h"
#include "json/jsonsplitreader.h"
#include "json/jsontext.h"
#include "json/jsonvalues.h"
#include "manifest/fileerror.h"
#include "manifest/igmformat.h"
#include "manifest/igmmessages.h"
#include "manifest/manifeststore.h"
#include "sam/samcheck.h"
#include "sam/samheader.h"
#include "sam/samlayout.h"
#include "store/database.h"
#include "store/filer.h"
#include "store/filings.h"

#include <nlohmann/json.hpp>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace quarl::igm {

namespace {

constexpr auto failed = &failedResult<SamWriteResult>;
constexpr auto refused = &refusedResult<SamWriteResult>;

// The names of the ports, as the port master has them.
Result<QHash<QString, QString>> portNames(const Database &db)
{
    QHash<QString, QString> names;
    auto q = db.query(QStringLiteral("select port_cd, port_nm from D_PORT_CD"));
    if (!q)
        return q.failure();
    while (q->next())
        names.insert(q->value(0).toString().trimmed(), q->value(1).toString().trimmed());
    return names;
}

// Writes to the file and hands what is written to the check, which reads it as it comes.
class CheckedWrite : public QIODevice
{
public:
    CheckedWrite(QIODevice &file, SamCheckStream &check) : m_file(file), m_check(check) { open(QIODevice::WriteOnly); }
    // The system's error number of a write that failed, 0 when none did.
    int writeErrno() const { return m_errno; }
    // The SHA-256 of the bytes written, in hex.
    QString sha256() const { return QString::fromLatin1(m_hash.result().toHex()); }

protected:
    qint64 writeData(const char *data, qint64 size) override
    {
        errno = 0;
        const qint64 written = m_file.write(data, size);
        if (written > 0) {
            m_check.add(data, written);
            m_hash.addData(QByteArrayView(data, written));
        }
        if (written < size) {
            m_errno = errno;
            setErrorString(m_file.errorString());
        }
        return written;
    }
    qint64 readData(char *, qint64) override { return -1; }

private:
    QIODevice &m_file;
    SamCheckStream &m_check;
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
    int m_errno = 0;
};

// The voyage read for the writer a slice at a time. Of the voyage's list of containers it
// keeps each container's number, the key of its first row and the sums over master lines.
class VoyageSource : public SamSource
{
public:
    explicit VoyageSource(const NestedVoyage &voyage) : m_voyage(voyage) {}

    Status countBoxes()
    {
        return m_voyage.containers({ContainerColumn::AutoId, ContainerColumn::Number, ContainerColumn::Weight, ContainerColumn::Pkgs}, [&](Container &&c, bool onMaster) {
            const QString id = c.text(ContainerColumn::Number).trimmed();
            auto it = m_slot.find(id);
            if (it == m_slot.end()) {
                it = m_slot.insert(id, m_boxes.size());
                m_boxes.push_back({c[ContainerColumn::AutoId].toLongLong(), 0, 0});
            }
            if (onMaster) {
                Box &b = m_boxes[it.value()];
                b.weight += Format::numericValue(c[ContainerColumn::Weight]);
                b.packages += qint64(Format::numericValue(c[ContainerColumn::Pkgs]));
            }
            ++m_rows;
            return true;
        });
    }
    qint64 containerRows() const { return m_rows; }

    const VoyageHeader &header() const override { return m_voyage.headers().front(); }
    QString imo() const override { return m_voyage.master().imo.toString().trimmed(); }
    qint64 masterCount() const override { return m_voyage.masterCount(); }
    const QSet<QString> &masterNatures() const override { return m_voyage.masterNatures(); }
    qint64 voyageBoxCount() const override { return qint64(m_boxes.size()); }
    Status readBills(const std::function<bool(const Bill &)> &take) const override
    {
        return m_voyage.readBills([&](Bill &&l) { return take(l); });
    }
    bool firstOf(const Container &c, double *weight, qint64 *packages) const override
    {
        const auto it = m_slot.constFind(c.text(ContainerColumn::Number).trimmed());
        if (it == m_slot.constEnd() || m_boxes[it.value()].first != c[ContainerColumn::AutoId].toLongLong())
            return false;
        *weight = m_boxes[it.value()].weight;
        *packages = m_boxes[it.value()].packages;
        return true;
    }

private:
    struct Box
    {
        qint64 first = 0; // key of its first row
        double weight = 0;
        qint64 packages = 0;
    };
    const NestedVoyage &m_voyage;
    QHash<QString, size_t> m_slot;
    std::vector<Box> m_boxes;
    qint64 m_rows = 0;
};

} // namespace

namespace {

constexpr char NoRegister[] = "This company database keeps no register of filings yet: run Patches, Keep a Register "
                               "of SAM Filings (2.5.0) first.";

QString neverReplaced(const QString &name, const QString &folder)
{
    return QStringLiteral("%1 is there already in %2: a declaration once written is never replaced. Give another "
                          "job number, or none to take the company's next one.")
        .arg(name, QDir::toNativeSeparators(folder));
}

// The job numbers passed over because a file of their name lies in the folder already.
QString passedOver(const QList<qint64> &jobs, const QString &firstName, qint64 taken)
{
    const QString numbers = jobs.size() == 1 ? QStringLiteral("Job number %1 names").arg(jobs.first())
                                             : QStringLiteral("Job numbers %1 to %2 name").arg(jobs.first()).arg(jobs.last());
    return QStringLiteral("%1 a file of this day in the folder already (%2%3): a declaration once written is never "
                          "replaced, so this one takes job number %4.")
        .arg(numbers, firstName, jobs.size() > 1 ? QStringLiteral(", ...") : QString())
        .arg(taken);
}

// How many numbers of the counter are passed over at most before giving up: a folder that
// holds that many declarations of one day is not kept by hand.
constexpr int MostPassedOver = 1000;

// One try at writing the file. taken is set when another program took the file's name
// while it was written: the job number is given back, and the next try passes over it.
SamWriteResult writeOnce(const Database &db, const QString &folder, const QString &vessel, const QString &voyage,
                         const SamWriteOptions &options, bool *taken)
{
    QSqlQuery update(db.handle()); // released after the transaction
    // One moment of the voyage; the job number belongs to this transaction until it ends.
    Transaction tx(db, TxMode::SnapshotWrite);
    if (!tx.started())
        return failed(tx.started().failure());
    const bool fromCounter = options.jobNumber <= 0 && !options.checkOnly;
    if (fromCounter) {
        if (Status s = Filer::holdCounter(db); !s)
            return failed(s.failure());
    }
    if (!options.checkOnly) {
        // No file without its row in the register, and no second original of a voyage filed.
        const Result<bool> kept = Filings::kept(db);
        if (!kept)
            return failed(kept.failure());
        if (!kept.value())
            return refused(QLatin1String(NoRegister));
        if (options.testOrProduction.trimmed() != QLatin1String("T") && samMessageType() == QLatin1String("F")
            && !options.freshAnyway) {
            Result<std::optional<Filings::Filing>> accepted = Filings::acceptedOriginal(db, vessel, voyage);
            if (!accepted)
                return failed(accepted.failure());
            if (accepted->has_value())
                return refused(Filings::alreadyFiled(**accepted));
        }
    }
    auto opened = NestedVoyage::open(db, vessel, voyage);
    if (!opened)
        return failed(opened.failure());
    const NestedVoyage &nested = opened.value();
    if (nested.headers().empty())
        return refused(QLatin1String(Messages::NoVoyage));
    if (nested.billCount() == 0)
        return refused(QLatin1String(Messages::NoCargo));
    Result<Filer::Details> filer = Filer::read(db);
    if (!filer)
        return failed(filer.failure());
    const QDate day = options.written.date();
    qint64 job = options.jobNumber;
    QString name;
    QStringList notices;
    if (!fromCounter) {
        // A check alone takes no number: it names the file after the one the counter gives next.
        if (job <= 0)
            job = qBound(qint64(1), filer->nextJobNumber, Filer::LastJobNumber);
        name = samFileName(options.iceGateUser, job, day);
        if (!options.checkOnly && SafeFile::exists(QDir(folder).absoluteFilePath(name)))
            return refused(neverReplaced(name, folder));
    } else {
        QList<qint64> passed;
        QString firstPassed;
        for (;;) {
            const Result<qint64> next = Filer::takeJobNumber(db);
            if (!next)
                return failed(next.failure());
            job = next.value();
            name = samFileName(options.iceGateUser, job, day);
            if (!SafeFile::exists(QDir(folder).absoluteFilePath(name)))
                break;
            if (passed.isEmpty())
                firstPassed = name;
            passed << job;
            if (passed.size() >= MostPassedOver)
                return refused(QStringLiteral("Job numbers %1 to %2 all name files of this day in %3 already: a "
                                              "declaration once written is never replaced.")
                                   .arg(passed.first())
                                   .arg(passed.last())
                                   .arg(QDir::toNativeSeparators(folder)));
        }
        if (!passed.isEmpty())
            notices << passedOver(passed, firstPassed, job);
    }
    const Result<QHash<QString, QString>> names = portNames(db);
    if (!names)
        return failed(names.failure());
    const Result<SamMasters> masters = loadSamMasters(db);
    if (!masters)
        return failed(masters.failure());
    VoyageSource source(nested);
    if (Status s = source.countBoxes(); !s)
        return failed(s.failure());

    SamContext cx;
    cx.submitterType = filer->submitterType;
    cx.submitterCode = filer->submitterCode;
    cx.signerPan = filer->signerPan;
    cx.jobNumber = job;
    cx.portNames = names.value();
    WriteOptions w;
    w.iceGateUser = options.iceGateUser;
    w.customHouseCode = options.customHouseCode;
    w.testOrProduction = options.testOrProduction;
    w.written = options.written;
    w.progress = options.progress;
    w.fileName = name;
    const QString path = QDir(folder).absoluteFilePath(name);

    // Made under a temporary name beside the real one, which it takes only if nothing has
    // taken it meanwhile.
    SafeFileDevice file(path, options.checkOnly ? SafeFile::Existing::Replace : SafeFile::Existing::Refuse);
    if (!file.open(QIODevice::WriteOnly)) {
        if (file.systemError() != EEXIST || options.checkOnly)
            return failed(file.failure());
        *taken = fromCounter;
        return refused(neverReplaced(name, folder));
    }
    SamCheckOptions checking;
    checking.masters = &masters.value();
    checking.fileName = name;
    // The file is checked as it is written, byte for byte as it goes to the disk.
    SamCheckStream check(checking);
    SamWriteResult result;
    {
        CheckedWrite checked(file, check);
        if (Status s = writeSam(source, cx, checked, w); !s)
            return failed(checked.writeErrno() != 0 ? file.failure() : s.failure());
        result.sha256 = checked.sha256();
    }
    result.check = check.finish();
    result.lines = nested.billCount();
    result.containers = source.containerRows();
    if (options.checkOnly) {
        result.outcome = Outcome::done();
        return result; // the transaction ends unwritten: the job number is given back
    }
    if (result.check.errors() > 0 && !options.evenWithErrors) {
        result.outcome = Outcome::refused(
            QStringLiteral("The SAM file of %1 / %2 was not written: the check finds %3 error(s) to mend first.")
                .arg(vessel.trimmed(), voyage.trimmed())
                .arg(result.check.errors()));
        return result; // the transaction ends unwritten: the job number is given back
    }

    // the numbers the file carries, stored as the flat file's writer stores them
    const auto renumbered = nested.renumbered();
    if (!renumbered.empty() && !update.prepare(QStringLiteral("update cargo set lineno = ?, sublineno = ? where id = ?")))
        return failed(db.failed(update.lastError()));
    for (const auto &[id, line, sub] : renumbered) {
        update.bindValue(0, line);
        update.bindValue(1, sub);
        update.bindValue(2, id);
        if (!update.exec())
            return failed(db.failed(update.lastError()));
    }
    Filings::Filing entry;
    entry.vessel = vessel;
    entry.voyage = voyage;
    entry.sender = Format::trimTrailing(options.iceGateUser).trimmed();
    entry.jobNumber = job;
    entry.jobDate = day;
    entry.messageType = samMessageType();
    entry.indicator = options.testOrProduction.trimmed();
    entry.path = path;
    entry.sha256 = result.sha256;
    entry.lines = result.check.lines;
    entry.houses = result.check.houses;
    entry.containers = result.check.containers;
    entry.user = options.user.trimmed();
    entry.workstation = options.workstation.trimmed().isEmpty() ? QSysInfo::machineHostName() : options.workstation.trimmed();
    entry.written = options.written;
    if (Status s = Filings::record(db, entry); !s)
        return failed(s.failure());
    // The file takes its name before the job number is stored: should the name have been
    // taken meanwhile, the number is given back; should the commit fail, the file goes.
    if (!file.commit()) {
        if (file.systemError() != EEXIST)
            return failed(file.failure());
        *taken = fromCounter;
        return refused(neverReplaced(name, folder));
    }
    if (Status s = tx.commit(); !s) {
        ::unlink(QFile::encodeName(path).constData());
        return failed(s.failure());
    }
    if (options.progress)
        options.progress(result.lines, result.lines);
    result.outcome = Outcome::done();
    result.outcome.notices = notices;
    result.path = path;
    result.jobNumber = job;
    return result;
}

} // namespace

SamWriteResult writeSamFile(const Database &db, const QString &folder, const QString &vessel, const QString &voyage,
                            const SamWriteOptions &options)
{
    if (Format::trimTrailing(options.iceGateUser).trimmed().isEmpty()
        || Format::trimTrailing(options.customHouseCode).trimmed().isEmpty())
        return refused(QLatin1String(Messages::SettingsMissing));
    if (vessel.trimmed().isEmpty() || voyage.trimmed().isEmpty())
        return failed(Failure(ErrorNumber::BadFileName, QStringLiteral("Give a vessel code and a voyage number.")));
    if (Status s = FileRights::makeFolder(folder); !s)
        return failed(s.failure());
    // Tried again: a name another program took while the file was written (the next try
    // passes over it), and work that met another workstation's (a clerk saving a line of
    // the voyage meanwhile, say), after a short pause.
    constexpr int Tries = 10;
    SamWriteResult result;
    for (int attempt = 1;; ++attempt) {
        bool taken = false;
        result = writeOnce(db, folder, vessel, voyage, options, &taken);
        const bool conflict = result.outcome.kind == Outcome::Kind::Failed && Database::isConflict(result.outcome.failure);
        if ((!taken && !conflict) || attempt == Tries)
            break;
        if (conflict)
            Database::pauseAfterConflict(attempt);
    }
    return result;
}

Result<QString> vesselOfImo(const Database &db, const QString &imo)
{
    if (imo.trimmed().isEmpty())
        return QString();
    auto q = db.query(QStringLiteral("select VESSEL_CD from D_VESSEL_CD where IMO_NO = ? order by VESSEL_CD"), {imo.trimmed()});
    if (!q)
        return q.failure();
    return q->next() ? q->value(0).toString().trimmed() : QString();
}

Result<std::pair<QString, QString>> samVoyageOf(const QString &path)
{
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        return fileFailure(file, errno);
    const JsonText json(file);
    Result<Json> top = readSamHeader(json.begin(), json.end(), QFileInfo(path).fileName(), json.mapped());
    if (!top)
        return top.failure();
    const Json &master = JsonValues::child(top.value(), "master");
    return std::pair{JsonValues::trimmedText(JsonValues::child(master, "vesselDtls"), "trnsprtMeansId"),
                     JsonValues::trimmedText(JsonValues::child(master, "voyageDtls"), "voyageNo")};
}

namespace {

SamImportResult importSam(const Database &db, const QString &path, const SamImportOptions &options, const Confirm &confirm)
{
    SamImportResult result;
    const Result<std::pair<QString, QString>> named = samVoyageOf(path);
    if (!named) {
        result.outcome = Outcome::failed(named.failure());
        return result;
    }
    const auto &[imo, voyage] = named.value();
    QString vessel = options.vessel.trimmed();
    if (vessel.isEmpty()) {
        const Result<QString> found = vesselOfImo(db, imo);
        if (!found) {
            result.outcome = Outcome::failed(found.failure());
            return result;
        }
        vessel = found.value();
    }
    if (vessel.isEmpty()) {
        result.outcome = Outcome::refused(
            QStringLiteral("No vessel code of the vessel code master has the file's IMO number %1: give the vessel code "
                           "to import the voyage under.")
                .arg(imo.isEmpty() ? QStringLiteral("(none)") : imo));
        return result;
    }
    Result<QVariant> there = db.scalar(QStringLiteral("select count(*) from vesinfo where vslcode = ? and voyno = ?"),
                                             {vessel, voyage});
    if (!there) {
        result.outcome = Outcome::failed(there.failure());
        return result;
    }
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        result.outcome = Outcome::failed(fileFailure(file, errno));
        return result;
    }
    FirstError problems;
    SaveOptions save;
    save.withVessel = there->toLongLong() == 0; // a voyage already kept keeps its header
    save.partsFollowTheirLine = true;
    save.cancelled = options.cancelled;
    ManifestSaver saver(db, save, confirm, problems);
    ReadContext cx(problems, false);
    cx.progress = options.progress;
    cx.cancelled = options.cancelled;
    cx.size = file.size();
    cx.vesselFor = [vessel](const QString &) { return vessel; };
    const bool read = samLayout().read(file, saver, cx);
    result.vessel = saver.vessel();
    result.voyage = saver.voyage();
    if (saver.declined()) {
        result.outcome = Outcome::declined();
        return result;
    }
    if (!read) {
        const Problem p = problems.problem();
        result.outcome = Outcome::failed(p.failure, p.importMessage());
        return result;
    }
    result.header = saver.headersStored() > 0;
    result.lines = saver.lines();
    result.houses = saver.houses();
    result.containers = saver.containers();
    result.items = saver.items();
    // the message the clerk knows, then what it brought
    result.outcome = Outcome::done(QStringLiteral("%1\n\n%2 B/L(s) and %3 house B/L(s); %4 container(s); %5 goods item(s)%6.")
                                       .arg(QLatin1String(Messages::Imported))
                                       .arg(result.lines - result.houses)
                                       .arg(result.houses)
                                       .arg(result.containers)
                                       .arg(result.items)
                                       .arg(result.header ? QStringLiteral("; the voyage header") : QString()));
    result.outcome.notices = saver.notices();
    return result;
}

} // namespace

SamImportResult importSamFile(const Database &db, const QString &path, const SamImportOptions &options,
                              const Confirm &confirm)
{
    // Whatever the libraries throw ends this import, not the program; what was stored of it
    // goes with the transaction that is not committed.
    try {
        return importSam(db, path, options, confirm);
    } catch (const std::exception &e) {
        SamImportResult failed;
        failed.outcome = Outcome::failed(
            Failure(ErrorNumber::BadFileFormat, QStringLiteral("The SAM file %1 could not be read: %2").arg(path, QString::fromUtf8(e.what()))));
        return failed;
    }
}

} // namespace quarl::igm
