#include "app/ui/frmmenu.h"
#include "app/ui/qtprompter.h"
#include "core/prompter.h"
#include "core/settings.h"
#include "store/installer.h"
#include "store/session.h"

#include <QApplication>
#include <QIcon>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarl"));
    QApplication::setApplicationVersion(QStringLiteral(QUARL_VERSION_STRING));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vessel.png")));

    quarl::QtPrompter prompter;
    quarl::Prompter::install(&prompter);
    quarl::Settings::applyFileSharing();

    // The first start of a user (an installed package) makes the installation folder with
    // the company template and the demo company, so that there is something to log on to.
    if (quarl::Settings::sysPath().isEmpty()) {
        if (auto made = quarl::Installer::firstStart(); !made)
            quarl::Prompter::current().message(made.failure().numberAndText(), quarl::Prompter::Icon::Critical);
    }

    // The program starts at the logon screen; the logon shows the main window.
    quarl::frmMenu::openLogon();
    const int status = app.exec();

    delete quarl::frmMenu::instance();
    quarl::Session::current().connection.close();
    quarl::Prompter::install(nullptr);
    return status;
}
