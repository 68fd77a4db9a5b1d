#pragma once

#include "common/testdb.h"

#include "app/ui/frmlogon.h"
#include "app/ui/frmmenu.h"
#include "app/ui/programend.h"
#include "core/scriptedprompter.h"
#include "core/settings.h"
#include "store/database.h"
#include "store/installer.h"
#include "store/session.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace quarl::test {

// A demo installation in a temporary folder, a scripted prompter and a recorder in place
// of the program's end. Leaves no window, session or connection behind.
class ShellFixture
{
public:
    ShellFixture()
    {
        setProgramEndHandler([this](int) { ++ends; });
        const Status made = installDemoHome();
        ok = made.isOk();
        if (!ok)
            why = made.failure().numberAndText();
    }
    ~ShellFixture()
    {
        QList<QPointer<QWidget>> logons;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("frmLogon"))
                logons << w;
        }
        delete frmMenu::instance();
        for (const QPointer<QWidget> &w : logons)
            delete w.data();
        // windows closed during the test go with their deferred deletion
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Session::current() = Session();
        setProgramEndHandler({});
    }

    QString sysPath() const { return Settings::sysPath(); }
    Database system() const { return Database::openSqlite(sysPath()).value(); }

    // The logon screen of the start, shown.
    frmLogon *startLogon()
    {
        return frmMenu::openLogon();
    }
    static frmLogon *openLogon()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("frmLogon") && w->isVisible())
                return static_cast<frmLogon *>(w);
        }
        return nullptr;
    }

    template<typename T>
    static T *child(QWidget *screen, const char *name)
    {
        return screen->findChild<T *>(QLatin1String(name));
    }

    // Types id and password on the logon screen and presses OK.
    static void logOn(frmLogon *logon, const QString &uid, const QString &pwd)
    {
        child<QLineEdit>(logon, "txtUID")->setText(uid);
        child<QLineEdit>(logon, "txtPWD")->setText(pwd);
        QTest::mouseClick(child<QPushButton>(logon, "cmdOK"), Qt::LeftButton);
    }

    TempHome home;
    ScriptedPrompter prompter;
    int ends = 0;
    bool ok = false;
    QString why;
};

} // namespace quarl::test

#define QUARL_SHELL(var)                                                                     \
    quarl::test::ShellFixture var;                                                           \
    QVERIFY2(var.ok, qPrintable(var.why))
