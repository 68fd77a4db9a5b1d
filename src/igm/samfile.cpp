#include "igm/samfile.h"

#include "igm/fileerror.h"
#include "igm/igmformat.h"
#include "igm/igmmessages.h"
#include "igm/jsonsplitreader.h"
#include "igm/manifeststore.h"
#include "igm/samlayout.h"
#include "store/database.h"
#include "store/filer.h"

#include <nlohmann/json.hpp>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quarl::igm {

namespace {

SamWriteResult failed(const Failure &f)
{
    SamWriteResult r;
    r.outcome = Outcome::failed(f);
    return r;
}

SamWriteResult refused(const QString &message)
{
    SamWriteResult r;
    r.outcome = Outcome::refused(message);
    return r;
}

// The names of the ports the manifest files, as the port master has them.
Result<QHash<QString, QString>> portNames(const Database &db, const Manifest &m)
{
    QSet<QString> codes;
    auto add = [&](const QVariant &v) {
        const QString c = v.toString().trimmed();
        if (!c.isEmpty())
            codes.insert(c);
    };
    for (const VesselRow &h : m.headers) {
        for (const V c : {V::LastPort, V::LastPort1, V::LastPort2, V::PortArrival, V::ArrivalPortCode})
            add(h[c]);
        for (const char *c : {"nextport", "nextport1", "nextport2"})
            add(h.extra.value(QLatin1String(c)));
    }
    for (const Line &l : m.lines) {
        add(l[L::PortLoad]);
        add(l[L::PortDest]);
        for (const Line &h : l.houses) {
            add(h[L::PortLoad]);
            add(h[L::PortDest]);
        }
    }
    QHash<QString, QString> names;
    auto q = db.query(QStringLiteral("select port_cd, port_nm from D_PORT_CD"));
    if (!q)
        return q.failure();
    while (q->next()) {
        const QString code = q->value(0).toString().trimmed();
        if (codes.contains(code))
            names.insert(code, q->value(1).toString().trimmed());
    }
    return names;
}

} // namespace

SamWriteResult WriteSamFile(const Database &db, const QString &folder, const QString &vessel, const QString &voyage,
                            const SamWriteOptions &options)
{
    if (Format::trimTrailing(options.iceGateUser).trimmed().isEmpty()
        || Format::trimTrailing(options.customHouseCode).trimmed().isEmpty())
        return refused(QLatin1String(Messages::SettingsMissing));
    if (vessel.trimmed().isEmpty() || voyage.trimmed().isEmpty())
        return failed(Failure(ErrorNumber::BadFileName, QStringLiteral("Give a vessel code and a voyage number.")));
    if (!QDir().mkpath(folder))
        return failed(Failure(ErrorNumber::PathFileAccess, QStringLiteral("Cannot create the folder %1.").arg(folder)));

    QSqlQuery update(db.handle()); // released after the transaction
    // One moment of the voyage; the job number belongs to this transaction until it ends.
    Transaction tx(db, TxMode::SnapshotWrite);
    if (!tx.started())
        return failed(tx.started().failure());
    auto loaded = loadVoyage(db, vessel, voyage);
    if (!loaded)
        return failed(loaded.failure());
    Manifest &m = loaded.value();
    if (m.headers.empty())
        return refused(QLatin1String(Messages::NoVoyage));
    if (m.lines.empty())
        return refused(QLatin1String(Messages::NoCargo));
    Result<Filer::Details> filer = Filer::read(db);
    if (!filer)
        return failed(filer.failure());
    qint64 job = options.jobNumber;
    if (job <= 0) {
        const Result<qint64> taken = Filer::takeJobNumber(db);
        if (!taken)
            return failed(taken.failure());
        job = taken.value();
    }
    const Result<QHash<QString, QString>> names = portNames(db, m);
    if (!names)
        return failed(names.failure());
    const Result<SamMasters> masters = loadSamMasters(db);
    if (!masters)
        return failed(masters.failure());

    QHash<qint64, std::pair<QVariant, QVariant>> stored; // key -> line and sub-line number as stored
    for (const Line &l : m.lines) {
        stored.insert(l[L::Id].toLongLong(), {l[L::LineNo], l[L::SubLineNo]});
        for (const Line &h : l.houses)
            stored.insert(h[L::Id].toLongLong(), {h[L::LineNo], h[L::SubLineNo]});
    }
    prepareSam(m);

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
    const QString name = samFileName(options.iceGateUser, job, options.written.date());
    w.fileName = name;
    const QString path = QDir(folder).absoluteFilePath(name);

    QTemporaryFile temp(QDir(folder).absoluteFilePath(QStringLiteral(".") + name + QStringLiteral(".XXXXXX")));
    errno = 0;
    if (!temp.open())
        return failed(fileFailure(temp, errno));
    {
        SamContextScope scope(cx);
        if (Status s = writeSam(m, temp, w); !s)
            return failed(s.failure());
    }
    errno = 0;
    if (!temp.flush())
        return failed(fileFailure(temp, errno));

    SamWriteResult result;
    SamCheckOptions checking;
    checking.masters = &masters.value();
    checking.fileName = name;
    result.check = CheckSamFile(temp.fileName(), checking);
    result.lines = m.lineCount();
    result.containers = m.containerCount();
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
    bool prepared = false;
    auto renumber = [&](const Line &l) {
        const auto before = stored.value(l[L::Id].toLongLong());
        if (before.first.toLongLong() == l[L::LineNo].toLongLong() && before.second.toLongLong() == l[L::SubLineNo].toLongLong())
            return true;
        if (!prepared && !update.prepare(QStringLiteral("update cargo set lineno = ?, sublineno = ? where id = ?")))
            return false;
        prepared = true;
        update.bindValue(0, l[L::LineNo].toLongLong());
        update.bindValue(1, l[L::SubLineNo].toLongLong());
        update.bindValue(2, l[L::Id].toLongLong());
        return update.exec();
    };
    for (const Line &l : m.lines) {
        bool ok = renumber(l);
        for (const Line &h : l.houses)
            ok = ok && renumber(h);
        if (!ok)
            return failed(db.failed(update.lastError()));
    }
    if (Status s = tx.commit(); !s)
        return failed(s.failure());
    temp.close();
    // rename(2) puts the whole file in place at once, replacing one of the same name
    if (std::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        const int e = errno;
        return failed(Failure(qint64(e), QStringLiteral("%1 (%2)").arg(QString::fromLocal8Bit(std::strerror(e)), path)));
    }
    temp.setAutoRemove(false);
    if (options.progress)
        options.progress(result.lines, result.lines);
    result.outcome = Outcome::done();
    result.path = path;
    result.jobNumber = job;
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
    const uchar *mapped = file.size() > 0 ? file.map(0, file.size()) : nullptr;
    const QByteArray data = mapped ? QByteArray() : file.readAll();
    const char *begin = mapped ? reinterpret_cast<const char *>(mapped) : data.constData();
    const char *end = begin + (mapped ? file.size() : data.size());
    JsonSplitReader reader({{{"master", "mastrCnsgmtDec"}, [](size_t, Json &&) { return true; }},
                            {{"master", "voyageTransportEquipment"}, [](size_t, Json &&) { return true; }}});
    Result<Json> top = reader.read(begin, end, QFileInfo(path).fileName());
    if (!top)
        return top.failure();
    const Json &master = top->value("master", Json::object());
    auto text = [](const Json &o, const char *k) {
        const auto it = o.is_object() ? o.find(k) : o.end();
        if (it == o.end())
            return QString();
        return it->is_string() ? QString::fromStdString(it->get<std::string>()).trimmed() : QString::fromStdString(it->dump());
    };
    return std::pair{text(master.value("vesselDtls", Json::object()), "trnsprtMeansId"),
                     text(master.value("voyageDtls", Json::object()), "voyageNo")};
}

SamImportResult ImportSamFile(const Database &db, const QString &path, const SamImportOptions &options,
                              const Confirm &confirm)
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
    save.cancelled = options.cancelled;
    ManifestSaver saver(db, save, confirm, problems);
    ReadContext cx(problems, false);
    cx.progress = options.progress;
    cx.cancelled = options.cancelled;
    cx.size = file.size();
    SamContext sam;
    sam.vesselFor = [vessel](const QString &) { return vessel; };
    SamContextScope scope(sam);
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
    result.containers = saver.containers();
    result.items = saver.items();
    result.outcome = Outcome::done(QLatin1String(Messages::Imported));
    result.outcome.notices = saver.notices();
    return result;
}

} // namespace quarl::igm
