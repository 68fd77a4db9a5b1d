#include "filing/igmwriter.h"

#include "core/safefile.h"
#include "flatfile/flatlayouts.h"
#include "manifest/fileerror.h"
#include "manifest/igmformat.h"
#include "manifest/igmmessages.h"
#include "manifest/manifeststore.h"
#include "store/database.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <cerrno>

namespace quarl::igm {

namespace {

constexpr auto failed = &failedResult<IgmWriteResult>;
constexpr auto refused = &refusedResult<IgmWriteResult>;

} // namespace

IgmWriteResult writeIgmFileInLayout(const Database &db, const Layout &layout, const QString &path,
                                    const QString &vessel, const QString &voyage, const WriteOptions &given)
{
    if (Format::trimTrailing(given.iceGateUser).trimmed().isEmpty()
        || Format::trimTrailing(given.customHouseCode).trimmed().isEmpty())
        return refused(QLatin1String(Messages::SettingsMissing));
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
    auto extent = voyageExtent(db, vessel, voyage);
    if (!extent)
        return failed(extent.failure());
    if (extent->first == 0)
        return refused(QLatin1String(Messages::NoVoyage));
    if (extent->second == 0)
        return refused(QLatin1String(Messages::NoCargo));

    SafeFileDevice file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.failure());
    QStringList notices;
    const std::unique_ptr<ManifestWriter> writer = layout.writer(file, options, &notices);
    auto streamed = streamVoyage(db, vessel, voyage, *writer, Numbering::AsFiled,
                                 {layout.lineColumns(), layout.containerColumns(), true});
    if (!streamed || !writer->status()) {
        file.cancelWriting();
        return failed(streamed ? writer->status().failure() : streamed.failure());
    }
    const VoyageStream &info = streamed.value();

    // Line numbers first: should the commit fail, no file names lines that were not stored.
    if (!info.renumbered.empty()) {
        if (!update.prepare(QStringLiteral("update cargo set lineno = ? where id = ?"))) {
            file.cancelWriting();
            return failed(db.failed(update.lastError()));
        }
        for (const auto &[id, lineNo] : info.renumbered) {
            update.bindValue(0, lineNo);
            update.bindValue(1, id);
            if (!update.exec()) {
                file.cancelWriting();
                return failed(db.failed(update.lastError()));
            }
        }
    }
    // the header's line total, as the file carries it
    if (info.totalsDiffer) {
        if (Status s = db.exec(QStringLiteral("update vesinfo set TotItems = ? where vslcode = ? and voyno = ?"),
                               {info.lines, vessel, voyage});
            !s) {
            file.cancelWriting();
            return failed(s.failure());
        }
    }
    if (Status s = tx.commit(); !s) {
        file.cancelWriting();
        return failed(s.failure());
    }
    if (!file.commit())
        return failed(file.failure());
    if (options.progress)
        options.progress(info.lines, info.lines);

    IgmWriteResult result;
    result.outcome = Outcome::done();
    result.outcome.notices = notices;
    result.path = path;
    result.lines = info.lines;
    result.containers = info.containers;
    return result;
}

IgmWriteResult WriteIgmFile(const Database &db, const QString &path, const QString &vessel, const QString &voyage,
                            const WriteOptions &options)
{
    return writeIgmFileInLayout(db, olderLayout(), path, vessel, voyage, options);
}

IgmWriteResult generateIgmFileInLayout(const Database &db, const Layout &layout, const QString &folder,
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
    return writeIgmFileInLayout(db, layout, path, vessel, voyage, options);
}

IgmWriteResult generateIgmFile(const Database &db, const QString &folder, const QString &vessel,
                               const QString &voyage, const WriteOptions &options)
{
    return generateIgmFileInLayout(db, olderLayout(), folder, vessel, voyage, options);
}

} // namespace quarl::igm
