#include "app/shellfixture.h"
#include "common/testmain.h"

#include "browser/companyregister.h"
#include "browser/ui/recordbrowser.h"
#include "core/installation.h"
#include "core/ui/screenregistry.h"
#include "store/passwordhash.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

using namespace quarl;

namespace {

frmMenu *logOn(test::ShellFixture &fx)
{
    fx.startLogon();
    test::ShellFixture::logOn(fx.openLogon(), QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
    return frmMenu::instance();
}

// Every Alt key a screen or a menu shows, with what shows it: no key may reach two of them.
class Mnemonics
{
public:
    void take(const QString &text, const QString &who)
    {
        const QKeySequence key = QKeySequence::mnemonic(text);
        if (key.isEmpty())
            return;
        if (m_seen.contains(key))
            clashes << m_seen.value(key) + QLatin1String(" / ") + who;
        m_seen.insert(key, who);
    }
    QStringList clashes;

private:
    QHash<QKeySequence, QString> m_seen;
};

QStringList mnemonicClashes(QWidget *screen)
{
    Mnemonics keys;
    for (QAbstractButton *b : screen->findChildren<QAbstractButton *>()) {
        if (b->isVisibleTo(screen))
            keys.take(b->text(), b->objectName());
    }
    for (QLabel *l : screen->findChildren<QLabel *>()) {
        if (l->isVisibleTo(screen) && l->buddy())
            keys.take(l->text(), l->objectName());
    }
    return keys.clashes;
}

QStringList mnemonicClashes(const QList<QAction *> &actions)
{
    Mnemonics keys;
    for (QAction *a : actions) {
        if (a->isVisible() && !a->isSeparator())
            keys.take(a->text(), a->text());
    }
    return keys.clashes;
}

} // namespace

class TestDesktopConventions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Keying a vessel code with Alt keys alone never opens a menu; the status line says
    // which rule held the cursor; Cancel leaves the focus on Add.
    void altKeysStayInTheScreen()
    {
        QUARL_SHELL(fx);
        frmMenu *menu = logOn(fx);
        QVERIFY(menu);
        QVERIFY(QTest::qWaitForWindowActive(menu));
        QVERIFY(QApplication::focusWidget()); // keys go somewhere after the logon
        auto *screen = qobject_cast<RecordBrowser *>(menu->openScreen(QStringLiteral("frmVslCode")));
        QVERIFY(screen);
        QCOMPARE(QApplication::focusWidget(), screen->findChild<QWidget *>(QStringLiteral("cmdAdd")));

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::AltModifier);
        QCOMPARE(screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(QApplication::focusWidget(), screen->txtFields(6));
        QTest::keyClick(screen->txtFields(6), Qt::Key_R, Qt::AltModifier); // the Reports menu's key
        QVERIFY(!QApplication::activePopupWidget());
        QTest::keyClicks(screen->txtFields(6), QStringLiteral("MV1"));
        QCOMPARE(screen->txtFields(6)->text(), QStringLiteral("MV1"));
        // Alt alone does not hand the next letter to the menu bar, on a field or a button
        for (const char *name : {"txtFields(6)", "cmdUpdate"}) {
            QWidget *w = screen->findChild<QWidget *>(QLatin1String(name));
            w->setFocus();
            QTest::keyPress(w, Qt::Key_Alt);
            QTest::keyRelease(w, Qt::Key_Alt, Qt::AltModifier);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F);
            QVERIFY2(!QApplication::activePopupWidget(), name);
        }
        QCOMPARE(screen->txtFields(6)->text(), QStringLiteral("MV1F")); // a vessel code, in capitals
        screen->txtFields(6)->setFocus();
        QTest::keyClick(screen->txtFields(6), Qt::Key_Backspace);
        QTest::keyClick(screen->txtFields(6), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // "Name" left empty
        QCOMPARE(QApplication::focusWidget(), screen->txtFields(1));
        QCOMPARE(screen->statusText(), QStringLiteral("Name is required"));
        QTest::keyClick(screen->txtFields(1), Qt::Key_U, Qt::AltModifier);
        QCOMPARE(screen->mode(), RecordBrowser::Mode::Add);
        QTest::keyClick(screen->txtFields(1), Qt::Key_C, Qt::AltModifier);
        QCOMPARE(screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(QApplication::focusWidget(), screen->findChild<QWidget *>(QStringLiteral("cmdAdd")));
        // in browse mode Alt+R is the screen's Refresh, not the Reports menu
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::AltModifier);
        QVERIFY(!QApplication::activePopupWidget());
        // labels of mandatory fields stand out
        QVERIFY(screen->findChild<QLabel *>(QStringLiteral("lblLabels(6)"))->font().bold());
    }

    // On a screen that is not a record browser too: its own letters answer before the
    // menus', and in a field a letter it does not answer neither opens a menu nor types
    // itself; Alt pressed alone leaves the next letter to the field.
    void altKeysOnAFormScreen()
    {
        QUARL_SHELL(fx);
        frmMenu *menu = logOn(fx);
        QVERIFY(QTest::qWaitForWindowActive(menu));
        QPointer<QWidget> screen = menu->openScreen(QStringLiteral("frmSyspara"));
        QVERIFY(screen);
        auto *host = screen->findChild<QLineEdit *>(QStringLiteral("txtMailHost"));
        host->setFocus();
        QTest::keyClicks(host, QStringLiteral("smtp"));
        for (Qt::Key key : {Qt::Key_H, Qt::Key_F, Qt::Key_P, Qt::Key_Q}) {
            QTest::keyClick(host, key, Qt::AltModifier);
            QVERIFY(!QApplication::activePopupWidget());
        }
        QTest::keyPress(host, Qt::Key_Alt);
        QTest::keyRelease(host, Qt::Key_Alt, Qt::AltModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F);
        QVERIFY(!QApplication::activePopupWidget());
        QCOMPARE(QApplication::focusWidget(), host);
        QCOMPARE(host->text(), QStringLiteral("smtpf"));
        QTest::keyClick(host, Qt::Key_C, Qt::AltModifier); // the screen's Close, not a menu
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!screen);
        QCOMPARE(Settings::mailHost(), QStringLiteral("smtpf"));
    }

    // Logout leaves the keys on the logon screen's first empty field, a new logon on the
    // main window.
    void focusAfterLogout()
    {
        QUARL_SHELL(fx);
        frmMenu *menu = logOn(fx);
        QVERIFY(QTest::qWaitForWindowActive(menu));
        menu->openScreen(QStringLiteral("frmVslCode"));
        menu->logout();
        frmLogon *logon = fx.openLogon();
        QVERIFY(logon);
        QTRY_COMPARE(QApplication::focusWidget(), logon->findChild<QWidget *>(QStringLiteral("txtUID")));
        test::ShellFixture::logOn(logon, QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        QVERIFY(QTest::qWaitForWindowActive(menu));
        QVERIFY(QApplication::focusWidget());
        QVERIFY(menu->isAncestorOf(QApplication::focusWidget()));
    }

    // No Alt key reaches two actions on any screen, in browse mode and while adding, nor in
    // any menu.
    void mnemonicsAreUniqueOnEveryScreen()
    {
        QUARL_SHELL(fx);
        WriteSetting(QStringLiteral("Options"), QStringLiteral("WithIGMImport"), QString::number(Settings::WithIgmImportEnabled));
        frmMenu *menu = logOn(fx);
        QStringList unopened;
        for (const QString &name : screenNames()) {
            QWidget *screen = menu->openScreen(name);
            if (!screen) {
                unopened << name;
                continue;
            }
            QVERIFY2(mnemonicClashes(screen).isEmpty(), qPrintable(name + QLatin1String(": ") + mnemonicClashes(screen).join(", ")));
            if (auto *browser = qobject_cast<RecordBrowser *>(screen); browser && browser->adoPrimaryRS().isOpen()) {
                browser->addRecord();
                QVERIFY2(mnemonicClashes(screen).isEmpty(), qPrintable(name + QLatin1String(" adding: ") + mnemonicClashes(screen).join(", ")));
                browser->cancelRecord();
            }
        }
        // every screen was looked at but those only another screen opens
        QCOMPARE(unopened, QStringList());
        // the menu bar and every menu, with the open screens listed in the Window menu
        QVERIFY(Settings::igmImportEnabled());
        QStringList clashes = mnemonicClashes(menu->menuBar()->actions());
        for (QAction *top : menu->menuBar()->actions()) {
            QMetaObject::invokeMethod(top->menu(), "aboutToShow");
            clashes << mnemonicClashes(top->menu()->actions());
        }
        QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(", ")));
        fx.prompter.answerNo(20);
        QVERIFY(menu->closeAllScreens());
    }

    // Ctrl+Tab, Ctrl+F4, the Window menu's list; tiling keeps every screen at its minimum.
    void screensInTheWorkArea()
    {
        QUARL_SHELL(fx);
        frmMenu *menu = logOn(fx);
        menu->showNormal();
        menu->resize(640, 480);
        QVERIFY(QTest::qWaitForWindowActive(menu));
        QWidget *users = menu->openScreen(QStringLiteral("frmUser"));
        QWidget *vessels = menu->openScreen(QStringLiteral("frmVslCode"));
        QVERIFY(users && vessels);
        QMdiArea *mdi = menu->mdiArea();
        QCOMPARE(mdi->activeSubWindow()->widget(), vessels);

        for (bool vertical : {true, false}) {
            vertical ? menu->tileVertical() : menu->tileHorizontal();
            for (QMdiSubWindow *sub : mdi->subWindowList()) {
                QVERIFY2(sub->width() >= sub->minimumSizeHint().width(), qPrintable(sub->widget()->objectName()));
                QVERIFY2(sub->height() >= sub->minimumSizeHint().height(), qPrintable(sub->widget()->objectName()));
                for (QAbstractButton *b : sub->widget()->findChildren<QAbstractButton *>()) {
                    if (b->isVisibleTo(sub) && !b->text().isEmpty())
                        QVERIFY2(b->width() >= b->sizeHint().width() - 1, qPrintable(b->objectName()));
                }
            }
        }

        QMenu *window = menu->findChild<QMenu *>(QStringLiteral("frmWindTop"));
        QVERIFY(window);
        QMetaObject::invokeMethod(window, "aboutToShow");
        QAction *listed = window->findChild<QAction *>(QStringLiteral("actScreen_frmUser"));
        QVERIFY(listed);
        QVERIFY(window->findChild<QAction *>(QStringLiteral("actScreen_frmVslCode"))->isChecked());

        QVERIFY(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(mdi->activeSubWindow()->widget(), users);
        QVERIFY(users->isAncestorOf(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, Qt::ControlModifier);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(mdi->subWindowList().size(), 1);
        QCOMPARE(mdi->subWindowList().first()->widget(), vessels);
    }

    // A new installation holds an empty company to start from; a typed name without an
    // extension gets ".qdb" for the file and the data source alike.
    void companyTemplate()
    {
        QUARL_SHELL(fx);
        const QString empty = Installation::filePath(QLatin1String(Installer::TemplateDataFile));
        {
            auto db = Database::openSqlite(empty);
            QVERIFY(db);
            QCOMPARE(db->scalar(QStringLiteral("select count(*) from vesinfo")).value().toInt(), 0);
            QCOMPARE(db->scalar(QStringLiteral("select count(*) from cargo")).value().toInt(), 0);
            QCOMPARE(db->scalar(QStringLiteral("select count(*) from D_VESSEL_CD")).value().toInt(), 0);
            QVERIFY(db->scalar(QStringLiteral("select count(*) from nature")).value().toInt() > 0);
            QVERIFY(PasswordHash::matches(QStringLiteral("TOVEK"),
                                          db->scalar(QStringLiteral("select pwd from loguser where uid = 'QUARL'")).value().toString()));
        }
        auto made = CompanyRegister::createDataSource(QStringLiteral("NEWCO"), empty, {}, nullptr);
        QVERIFY2(made, made ? "" : qPrintable(made.failure().description));
        QCOMPARE(made.value(), QStringLiteral("DSN=NEWCO.qdb"));
        QVERIFY(QFileInfo::exists(Installation::filePath(QStringLiteral("NEWCO.qdb"))));
        QVERIFY(!CompanyRegister::createDataSource(QStringLiteral("Template"), empty, {}, nullptr)); // not over the template
    }
};

QUARL_TEST(TestDesktopConventions)
#include "tst_desktopconventions.moc"
