#include "filing/ui/generatescreen.h"

#include "core/settings.h"
#include "manifest/igmmessages.h"

#include <QDir>
#include <QPushButton>

namespace quarl {

GenerateScreen::GenerateScreen(const char *name, const QString &caption, const QString &checkTip, QWidget *parent)
    : VoyageSendScreen(name, caption, parent)
{
    auto *cmdCheck = makeButton("cmdCheck", QStringLiteral("&Check"));
    cmdCheck->setToolTip(checkTip);
    addCommand(cmdCheck);
    connect(cmdCheck, &QPushButton::clicked, this, [this] { check(); });
}

void GenerateScreen::opened()
{
    if (Settings::iceGateUser().trimmed().isEmpty() || Settings::customHouseCode().trimmed().isEmpty())
        Prompter::current().message(QLatin1String(igm::Messages::SettingsMissingAdvice));
}

bool GenerateScreen::mayHandOn(const QString &)
{
    return true;
}

void GenerateScreen::generate()
{
    const QString path = writeFile();
    if (path.isEmpty() || !mayHandOn(path))
        return;
    const QString question = QLatin1String(igm::Messages::FilePrefix) + QDir::toNativeSeparators(path)
                             + QLatin1String(igm::Messages::SavedCopyToFloppy);
    if (Prompter::current().askYesNo(question, Prompter::Icon::Question))
        copyToMedia({path});
}

void GenerateScreen::email()
{
    const QString path = writeFile();
    if (!path.isEmpty() && mayHandOn(path))
        mailFiles({path});
}

QString GenerateScreen::counted(qint64 n, const char *one)
{
    return n == 1 ? QStringLiteral("1 %1").arg(QLatin1String(one)) : QStringLiteral("%1 %2s").arg(n).arg(QLatin1String(one));
}

Prompter::Icon GenerateScreen::iconFor(int errors, int warnings)
{
    return errors > 0 ? Prompter::Icon::Critical : warnings > 0 ? Prompter::Icon::Warning : Prompter::Icon::Information;
}

} // namespace quarl
