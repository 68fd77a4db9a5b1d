#include "filing/mediacopy.h"

#include "core/safefile.h"
#include "core/settings.h"
#include "manifest/fileerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace quarl::igm {

bool isUsableFolder(const QString &folder)
{
    const QFileInfo info(folder);
    return !folder.isEmpty() && info.isDir() && info.isWritable();
}

Result<QString> copyToFolder(const QString &file, const QString &folder)
{
    QFile in(file);
    errno = 0;
    if (!in.open(QIODevice::ReadOnly))
        return fileFailure(in, errno);
    const QString target = QDir(folder).filePath(QFileInfo(file).fileName());
    SafeFileDevice out(target);
    if (!out.open(QIODevice::WriteOnly))
        return out.failure();
    QByteArray chunk;
    for (;;) {
        errno = 0;
        chunk = in.read(1 << 20);
        if (chunk.isEmpty()) {
            if (in.error() != QFileDevice::NoError)
                return fileFailure(in, errno);
            break;
        }
        if (out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            return out.failure();
        }
    }
    if (!out.commit())
        return out.failure();
    return target;
}

MediaCopy copyToRemovableMedia(const QString &file, const ChooseFolder &choose)
{
    MediaCopy result;
    QString folder = Settings::removableMediaFolder();
    if (!isUsableFolder(folder)) {
        QString why;
        if (!folder.isEmpty()) {
            why = QFileInfo(folder).isDir()
                      ? QStringLiteral("The removable-media folder %1 cannot be written to.").arg(folder)
                      : QStringLiteral("The removable-media folder %1 is not there: is the disk inserted?").arg(folder);
        }
        folder = choose ? choose(why) : QString();
        if (folder.isEmpty()) {
            result.kind = MediaCopy::Kind::Cancelled;
            return result;
        }
        Settings::setRemovableMediaFolder(folder);
    }
    Result<QString> copied = copyToFolder(file, folder);
    if (!copied) {
        result.kind = MediaCopy::Kind::Failed;
        result.failure = copied.failure();
        return result;
    }
    result.path = copied.value();
    return result;
}

} // namespace quarl::igm
