#include "app/shellfixture.h"
#include "common/screenfixture.h"
#include "common/testmain.h"

#include "appearance/skin.h"
#include "appearance/ui/appearance.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTemporaryDir>

using namespace quarl;

// Renders the screens of this part of the program from the demo installation, into
// $QUARL_SCREENSHOT_DIR when set (for the README), else into a temporary folder.
class TestScreenshots : public QObject
{
    Q_OBJECT

    QTemporaryDir m_temp;
    QString m_out;

    // Saves the picture of w, which must show all of w.
    void save(QWidget *w, const QString &name)
    {
        QCoreApplication::processEvents();
        const QImage img = w->grab().toImage();
        const QString fault = test::pictureFault(w, img);
        QVERIFY2(fault.isEmpty(), qPrintable(name + QStringLiteral(": ") + fault));
        QVERIFY(img.save(QDir(m_out).filePath(name + QStringLiteral(".png"))));
    }

    frmMenu *mainWindow(test::ShellFixture &fx, const QString &rights)
    {
        frmLogon *logon = fx.startLogon();
        logon->findChild<QCheckBox *>(QStringLiteral("Check1"))->setChecked(true);
        test::ShellFixture::logOn(logon, QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        frmMenu *menu = frmMenu::instance();
        if (menu) {
            Session::current().menuRights = rights;
            menu->activate();
            menu->showNormal(); // the pictures keep one size, whatever the screen
            menu->resize(1000, 640);
        }
        return menu;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_out = qEnvironmentVariable("QUARL_SCREENSHOT_DIR");
        if (m_out.isEmpty())
            m_out = m_temp.path();
        QVERIFY(QDir().mkpath(m_out));
    }
    void cleanup() { QUARL_VERIFY_OK(loadSkin(QString())); }

    void logon()
    {
        QUARL_SHELL(fx);
        Settings::setSavedUserId(QStringLiteral("QUARL"));
        frmLogon *logon = fx.startLogon();
        save(logon, QStringLiteral("logon"));
        // the picture shows the saved user id, and the password hidden, empty and to be typed
        auto *uid = logon->findChild<QLineEdit *>(QStringLiteral("txtUID"));
        auto *pwd = logon->findChild<QLineEdit *>(QStringLiteral("txtPWD"));
        QVERIFY(uid && pwd);
        QCOMPARE(uid->text(), QStringLiteral("QUARL"));
        QVERIFY(pwd->text().isEmpty());
        QCOMPARE(pwd->echoMode(), QLineEdit::Password);
        QCOMPARE(QApplication::focusWidget(), pwd);
    }

    void mainWindow_data()
    {
        QTest::addColumn<QString>("skin");
        QTest::addColumn<QString>("name");
        QTest::newRow("default look") << "" << "main-window";
        QTest::newRow("classic blue") << "Classic Blue" << "main-window-classic-blue";
        QTest::newRow("dark") << "Dark" << "main-window-dark";
        QTest::newRow("light") << "Light" << "main-window-light";
    }
    void mainWindow()
    {
        QFETCH(QString, skin);
        QFETCH(QString, name);
        QUARL_SHELL(fx);
        if (!skin.isEmpty()) {
            QUARL_VERIFY_OK(Skins::installShipped(Skins::folder()));
            Settings::setSkinPath(QDir(Skins::folder()).filePath(skin + QStringLiteral(".skn")));
        }
        frmMenu *menu = mainWindow(fx, QStringLiteral(" 03 05 06 10 12"));
        QVERIFY(menu);
        menu->openScreen(QStringLiteral("frmSyspara"));
        if (skin.isEmpty()) { // the colour screen would show the temporary skin folder
            menu->openScreen(QStringLiteral("frmColor"));
            menu->mdiArea()->subWindowList().last()->move(470, 40);
        }
        save(menu, name);
    }

    void menus()
    {
        QUARL_SHELL(fx);
        frmMenu *menu = mainWindow(fx, QStringLiteral(" 03 05 06"));
        QVERIFY(menu);
        for (const char *top : {"menFileTop", "menHKTop", "menRepTop", "frmWindTop", "menPatchTop"}) {
            auto *m = menu->findChild<QMenu *>(QLatin1String(top));
            m->popup(QPoint(0, 0));
            save(m, QStringLiteral("menu-") + QLatin1String(top));
            // every entry the clerk may see stands whole in the picture, with its caption
            int shown = 0;
            for (QAction *a : m->actions()) {
                if (!a->isVisible() || a->isSeparator())
                    continue;
                ++shown;
                QVERIFY2(!a->text().isEmpty(), top);
                QVERIFY2(m->rect().contains(m->actionGeometry(a)), qPrintable(a->text()));
            }
            QVERIFY2(shown > 0, top);
            m->hide();
        }
    }

    void ownScreens_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::newRow("system parameters") << "frmSyspara";
        QTest::newRow("colour options") << "frmColor";
        QTest::newRow("vessel codes") << "frmVslCode";
    }
    void ownScreens()
    {
        QFETCH(QString, screen);
        QUARL_SHELL(fx);
        frmMenu *menu = mainWindow(fx, QStringLiteral(" SU"));
        QVERIFY(menu);
        QWidget *w = menu->openScreen(screen);
        QVERIFY(w);
        save(menu->mdiArea()->activeSubWindow(), screen);
    }
};

QUARL_TEST(TestScreenshots)
#include "tst_screenshots.moc"
