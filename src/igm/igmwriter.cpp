#include "igm/igmwriter.h"

#include "igm/fileerror.h"
#include "igm/igmformat.h"
#include "igm/igmmessages.h"
#include "igm/manifeststore.h"
#include "store/database.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>

#include <cerrno>

namespace quarl::igm {

namespace {

IgmWriteResult failed(const Failure &f)
{
    IgmWriteResult r;
    r.outcome = Outcome::failed(f);
    return r;
}

IgmWriteResult refused(const char *message)
{
    IgmWriteResult r;
    r.outcome = Outcome::refused(QLatin1String(message));
    return r;
}

} // namespace

IgmWriteResult WriteIgmFileInLayout(const Database &db, const Layout &layout, const QString &path,
                                    const QString &vessel, const QString &voyage, const WriteOptions &given)
{
    if (Format::trimTrailing(given.iceGateUser).trimmed().isEmpty()
        || Format::trimTrailing(given.customHouseCode).trimmed().isEmpty())
        return refused(Messages::SettingsMissing);
    if (layout.needsControlNumber() && given.controlNumber.trimmed().isEmpty())
        return failed(Failure(ErrorNumber::InvalidArgument, QStringLiteral("No control number for the file's header.")));
    WriteOptions options = given;
    options.fileName = QFileInfo(path).fileName();

    // Released after the transaction has ended.
    QSqlQuery update(db.handle());
    // One moment of the voyage, read and renumbered: lines and containers saved meanwhile
    // by another workstation come in whole or not at all, and the line numbers stored are
    // those of the file.
    Transaction tx(db, TxMode::SnapshotWrite);
    if (!tx.started())
        return failed(tx.started().failure());
    auto loaded = loadVoyage(db, vessel, voyage);
    if (!loaded)
        return failed(loaded.failure());
    Manifest &m = loaded.value();
    if (m.headers.empty())
        return refused(Messages::NoVoyage);
    if (m.lines.empty())
        return refused(Messages::NoCargo);

    // what is stored now, to write only what changes
    QHash<qint64, QVariant> storedNumbers;
    for (const Line &l : m.lines) {
        storedNumbers.insert(l[L::Id].toLongLong(), l[L::LineNo]);
        for (const Line &h : l.houses)
            storedNumbers.insert(h[L::Id].toLongLong(), h[L::LineNo]);
    }
    std::vector<qint64> storedTotals;
    for (const VesselRow &h : m.headers)
        storedTotals.push_back(h.isNull(V::TotalItems) ? -1 : h[V::TotalItems].toLongLong());
    layout.prepare(m);
    const qint64 lines = m.lineCount();

    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return failed(fileFailure(file, errno));
    QStringList notices;
    if (Status s = layout.write(m, file, options, &notices); !s) {
        file.cancelWriting();
        return failed(s.failure());
    }

    // Line numbers first: should the commit fail, no file names lines that were not stored.
    bool prepared = false;
    auto renumber = [&](const Line &l) {
        const QVariant before = storedNumbers.value(l[L::Id].toLongLong());
        if (!before.isNull() && before.toLongLong() == l[L::LineNo].toLongLong())
            return true;
        if (!prepared && !update.prepare(QStringLiteral("update cargo set lineno = ? where id = ?")))
            return false;
        prepared = true;
        update.bindValue(0, l[L::LineNo].toLongLong());
        update.bindValue(1, l[L::Id].toLongLong());
        return update.exec();
    };
    for (const Line &l : m.lines) {
        bool ok = renumber(l);
        for (const Line &h : l.houses)
            ok = ok && renumber(h);
        if (!ok) {
            file.cancelWriting();
            return failed(db.failed(update.lastError()));
        }
    }
    // the header's line total, as the file carries it
    bool totalsChange = false;
    for (const VesselRow &h : m.headers)
        totalsChange = totalsChange || storedTotals.at(&h - m.headers.data()) != lines;
    if (totalsChange) {
        if (Status s = db.exec(QStringLiteral("update vesinfo set TotItems = ? where vslcode = ? and voyno = ?"),
                               {lines, vessel, voyage});
            !s) {
            file.cancelWriting();
            return failed(s.failure());
        }
    }
    if (Status s = tx.commit(); !s) {
        file.cancelWriting();
        return failed(s.failure());
    }
    errno = 0;
    if (!file.commit())
        return failed(fileFailure(file, errno));
    if (options.progress)
        options.progress(lines, lines);

    IgmWriteResult result;
    result.outcome = Outcome::done();
    result.outcome.notices = notices;
    result.path = path;
    result.lines = lines;
    result.containers = m.containerCount();
    return result;
}

IgmWriteResult WriteIgmFile(const Database &db, const QString &path, const QString &vessel, const QString &voyage,
                            const WriteOptions &options)
{
    return WriteIgmFileInLayout(db, olderLayout(), path, vessel, voyage, options);
}

IgmWriteResult GenerateIgmFileInLayout(const Database &db, const Layout &layout, const QString &folder,
                                       const QString &vessel, const QString &voyage, const WriteOptions &options)
{
    if (vessel.trimmed().isEmpty() || voyage.trimmed().isEmpty()) // the file would be named ".igm"
        return failed(Failure(ErrorNumber::BadFileName,
                              QStringLiteral("Bad file name: give a vessel code and a voyage number.")));
    const QString name = layout.fileName(vessel, voyage);
    if (!Format::usableInFileName(name))
        return failed(Failure(ErrorNumber::BadFileName,
                              QStringLiteral("Bad file name: vessel code and voyage number must not hold / or \\ or "
                                             "control characters (\"%1\").")
                                  .arg(name)));
    const QString path = QDir(folder).absoluteFilePath(name);
    if (QFileInfo::exists(path) && !QFile::remove(path))
        return failed(Failure(ErrorNumber::PathFileAccess, QStringLiteral("Cannot replace the earlier file %1.").arg(path)));
    return WriteIgmFileInLayout(db, layout, path, vessel, voyage, options);
}

IgmWriteResult GenerateIgmFile(const Database &db, const QString &folder, const QString &vessel,
                               const QString &voyage, const WriteOptions &options)
{
    return GenerateIgmFileInLayout(db, olderLayout(), folder, vessel, voyage, options);
}

} // namespace quarl::igm
