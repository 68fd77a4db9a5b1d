#include "core/installation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quarl::Installation {

namespace {
QString &overrideFolder()
{
    static QString folder;
    return folder;
}
} // namespace

void setOverride(const QString &folder)
{
    overrideFolder() = folder.isEmpty() ? QString() : QDir(folder).absolutePath();
}

QString folder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    const QString env = qEnvironmentVariable("QUARL_HOME");
    if (!env.isEmpty())
        return QDir(env).absolutePath();
    if (QCoreApplication::instance()) {
        const QString exeDir = QCoreApplication::applicationDirPath();
        if (QFileInfo::exists(exeDir + QLatin1Char('/') + QLatin1String(SettingsFileName)))
            return exeDir;
    }
    return QDir::homePath() + QStringLiteral("/.local/share/Quarl");
}

QString filePath(const QString &fileName)
{
    return folder() + QLatin1Char('/') + fileName;
}

} // namespace quarl::Installation
