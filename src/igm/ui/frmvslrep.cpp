#include "igm/ui/frmvslrep.h"

#include "app/installation.h"
#include "app/prompter.h"
#include "app/settings.h"
#include "app/ui/screenregistry.h"
#include "igm/igmmessages.h"
#include "igm/igmwriter.h"
#include "igm/mediacopy.h"

#include <QDir>
#include <QGuiApplication>

namespace quarl {

frmVslRep::frmVslRep(QWidget *parent) : VoyageSendScreen("frmVslRep", QStringLiteral("Generate Flat-File"), parent) {}

void frmVslRep::opened()
{
    if (Settings::iceGateUser().trimmed().isEmpty() || Settings::customHouseCode().trimmed().isEmpty())
        Prompter::current().message(QLatin1String(igm::Messages::SettingsMissingAdvice));
}

QString frmVslRep::writeFile()
{
    if (!QDir().mkpath(Installation::folder())) {
        Prompter::current().message(QStringLiteral("%1  Cannot create the program folder %2")
                                        .arg(ErrorNumber::PathFileAccess)
                                        .arg(Installation::folder()),
                                    Prompter::Icon::Critical);
        return {};
    }
    igm::IgmWriteOptions options;
    options.iceGateUser = Settings::iceGateUser();
    options.customHouseCode = Settings::customHouseCode();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const igm::IgmWriteResult r = igm::GenerateIgmFile(database(), Installation::folder(), vessel(), voyage(), options);
    QGuiApplication::restoreOverrideCursor();
    // The writer's success carries no text of its own; its notices still show.
    if (!showOutcome(r.outcome))
        return {};
    return r.path;
}

void frmVslRep::generate()
{
    const QString path = writeFile();
    if (path.isEmpty())
        return;
    const QString question = QLatin1String(igm::Messages::FilePrefix) + QDir::toNativeSeparators(path)
                             + QLatin1String(igm::Messages::SavedCopyToFloppy);
    if (Prompter::current().askYesNo(question, Prompter::Icon::Question))
        copyToMedia(path);
}

void frmVslRep::copyToMedia(const QString &path)
{
    const igm::MediaCopy copy = igm::copyToRemovableMedia(path, [](const QString &why) {
        if (!why.isEmpty())
            Prompter::current().message(why, Prompter::Icon::Warning);
        const QString start = Settings::removableMediaFolder();
        return Prompter::current().folderName(QStringLiteral("Select Removable Media Folder"),
                                              start.isEmpty() ? QStringLiteral("/media") : start);
    });
    switch (copy.kind) {
    case igm::MediaCopy::Kind::Copied:
        Prompter::current().message(QStringLiteral("The file is copied to %1.").arg(QDir::toNativeSeparators(copy.path)),
                                    Prompter::Icon::Information);
        break;
    case igm::MediaCopy::Kind::Failed:
        Prompter::current().message(copy.failure.numberAndText(), Prompter::Icon::Critical);
        break;
    case igm::MediaCopy::Kind::Cancelled:
        break;
    }
}

void frmVslRep::email()
{
    const QString path = writeFile();
    if (!path.isEmpty())
        mailFiles({path});
}

QUARL_REGISTER_SCREEN(frmVslRep)

} // namespace quarl
