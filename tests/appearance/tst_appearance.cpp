#include "app/shellfixture.h"
#include "common/testmain.h"

#include "app/ui/qtprompter.h"
#include "appearance/skin.h"
#include "appearance/ui/appearance.h"
#include "core/ui/screenregistry.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>

#include <memory>
#include <tuple>

using namespace quarl;

namespace {

QString installedSkin(const QString &name)
{
    std::ignore = Skins::installShipped(Skins::folder()); // a skin missing then fails to load
    return QDir(Skins::folder()).filePath(name + QLatin1String(Skins::FileSuffix));
}

// A screen of every kind of control, three plain labels among them.
std::unique_ptr<QWidget> sampleScreen()
{
    auto w = std::make_unique<QWidget>();
    auto *left = new QLabel(QStringLiteral("Vessel Code"), w.get());
    auto *right = new QLabel(QStringLiteral("Voy No."), w.get());
    right->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    new QLineEdit(w.get());
    new QCheckBox(QStringLiteral("Same bottom"), w.get());
    new QComboBox(w.get());
    new QPushButton(QStringLiteral("&Update"), w.get());
    auto *frame = new QGroupBox(QStringLiteral("Ports"), w.get());
    new QLabel(QStringLiteral("Last port"), frame);
    left->setObjectName(QStringLiteral("lblLeft"));
    right->setObjectName(QStringLiteral("lblRight"));
    return w;
}

bool takesSkin(QWidget *w, const Skin &skin)
{
    const QPalette p = w->palette();
    return p.color(QPalette::Active, QPalette::WindowText) == skin.textColor
           && p.color(QPalette::Active, QPalette::Text) == skin.textColor
           && p.color(QPalette::Active, QPalette::ButtonText) == skin.textColor
           && p.color(QPalette::Active, QPalette::Window) == skin.backgroundColor
           && p.color(QPalette::Active, QPalette::Base) == skin.backgroundColor
           && p.color(QPalette::Active, QPalette::Button) == skin.backgroundColor
           && p.color(QPalette::Disabled, QPalette::WindowText) != skin.textColor;
}

} // namespace

class TestAppearancePass : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QUARL_VERIFY_OK(loadSkin(QString())); }

    // A skin whose style sheet leaves the colours to the pass.
    void everyControlTakesTheSkin()
    {
        test::TempHome home;
        const QString path = home.file(QStringLiteral("Sea Green.skn"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("/* text-color: #102030\n background-color: #c0ffee */\nQPushButton { padding: 3px 9px; }\n");
        f.close();
        QVERIFY(loadSkin(path).isOk());
        QCOMPARE(currentSkin()->name, QStringLiteral("Sea Green"));
        auto w = sampleScreen();
        applyAppearance(w.get());
        w->show(); // polished with the style sheet
        QCOMPARE(w->styleSheet(), currentSkin()->styleSheet);
        QVERIFY(takesSkin(w.get(), *currentSkin()));
        QCOMPARE(w->findChildren<QLabel *>().size(), 3); // labels take the colours themselves: nothing laid over them
        for (QWidget *c : w->findChildren<QWidget *>())
            QVERIFY2(takesSkin(c, *currentSkin()), c->metaObject()->className());
        QCOMPARE(w->findChild<QLabel *>(QStringLiteral("lblRight"))->alignment(), Qt::AlignRight | Qt::AlignVCenter);
    }

    void withoutSkinTheDefaultLookStays_data()
    {
        QTest::addColumn<QString>("path"); // "@" a file that is no skin
        QTest::addColumn<bool>("loads");
        QTest::newRow("none chosen") << "" << true;
        QTest::newRow("file missing") << "/nonexistent/Gone.skn" << false;
        QTest::newRow("file unreadable") << "@" << false;
    }
    void withoutSkinTheDefaultLookStays()
    {
        QFETCH(QString, path);
        QFETCH(bool, loads);
        test::TempHome home;
        if (path == QLatin1String("@")) {
            path = home.file(QStringLiteral("broken.skn"));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("\x89PNG\r\n\x1a\n\0\0", 10);
        }
        QVERIFY(loadSkin(installedSkin(QStringLiteral("Dark"))).isOk());
        QCOMPARE(loadSkin(path).isOk(), loads);
        QVERIFY(!currentSkin());
        auto w = sampleScreen();
        const QPalette plain = w->findChild<QLineEdit *>()->palette();
        applyAppearance(w.get());
        QCOMPARE(w->styleSheet(), QString());
        QCOMPARE(w->findChild<QLineEdit *>()->palette(), plain);
        QVERIFY(QFileInfo::exists(path) || path.isEmpty() || !loads); // the file is left alone
    }

    // A new choice reaches every window that ran the pass, and no skin undoes it all.
    void newSkinReachesOpenWindows()
    {
        test::TempHome home;
        QVERIFY(loadSkin(installedSkin(QStringLiteral("Classic Blue"))).isOk());
        auto passed = sampleScreen();
        applyAppearance(passed.get());
        auto skinnedOnly = std::make_unique<QWidget>();
        applySkin(skinnedOnly.get());
        auto untouched = sampleScreen();
        const QPalette plain = untouched->palette();

        QVERIFY(loadSkin(installedSkin(QStringLiteral("Dark"))).isOk());
        reapplyAppearance();
        for (QWidget *c : passed->findChildren<QWidget *>())
            QVERIFY(takesSkin(c, *currentSkin()));
        QCOMPARE(skinnedOnly->styleSheet(), currentSkin()->styleSheet);
        QCOMPARE(untouched->palette(), plain);
        QCOMPARE(untouched->styleSheet(), QString());

        QVERIFY(loadSkin(QString()).isOk());
        reapplyAppearance();
        QCOMPARE(passed->styleSheet(), QString());
        QCOMPARE(skinnedOnly->styleSheet(), QString());
        for (QWidget *c : passed->findChildren<QWidget *>())
            QCOMPARE(c->palette(), plain);
    }

    void mainWindowTakesTheSkinAtLoad()
    {
        QUARL_SHELL(fx);
        Settings::setSkinPath(installedSkin(QStringLiteral("Classic Blue")));
        frmLogon *logon = fx.startLogon();
        test::ShellFixture::logOn(logon, QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        frmMenu *menu = frmMenu::instance();
        QVERIFY(menu);
        QVERIFY(fx.prompter.messages().isEmpty());
        QCOMPARE(menu->styleSheet(), currentSkin()->styleSheet);
        QVERIFY(takesSkin(menu->menuBar(), *currentSkin()));
        QVERIFY(takesSkin(menu->statusPanel(6), *currentSkin()));
        // a screen opened later takes it too, and its own pass colours its controls
        QWidget *syspara = menu->openScreen(QStringLiteral("frmSyspara"));
        QVERIFY(syspara);
        QCOMPARE(syspara->styleSheet(), currentSkin()->styleSheet);
        for (QLabel *c : syspara->findChildren<QLabel *>())
            QVERIFY(takesSkin(c, *currentSkin()));
    }

    void mainWindowLoadsOnWithAMissingSkin()
    {
        QUARL_SHELL(fx);
        const QString gone = fx.home.file(QStringLiteral("Gone.skn"));
        Settings::setSkinPath(gone);
        frmLogon *logon = fx.startLogon();
        test::ShellFixture::logOn(logon, QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        QVERIFY(frmMenu::instance());
        QCOMPARE(fx.prompter.messages().size(), 1);
        QVERIFY(fx.prompter.messages().first().startsWith(QLatin1String("53  ")));
        QVERIFY(fx.prompter.messages().first().contains(gone));
        QCOMPARE(frmMenu::instance()->styleSheet(), QString());
        QCOMPARE(Settings::skinPath(), gone); // the choice is kept for when the file is back
    }
};

class TestColourScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QUARL_VERIFY_OK(loadSkin(QString())); }

    void chooseSkinFile()
    {
        QUARL_SHELL(fx);
        Settings::setSkinPath(QStringLiteral("/old/Skin.skn"));
        std::unique_ptr<QWidget> w(createScreen(QStringLiteral("frmColor")));
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Colour Options"));
        QVERIFY(w->findChild<QLabel *>(QStringLiteral("lblHeading"))->text() == QLatin1String("Colour Setup"));
        auto *text1 = w->findChild<QLineEdit *>(QStringLiteral("Text1"));
        QCOMPARE(text1->text(), QStringLiteral("/old/Skin.skn"));
        QCOMPARE(w->findChild<QPushButton *>(QStringLiteral("Command1"))->text(), QStringLiteral("Load Skin"));
        // the shipped skins stand ready for the chooser
        QCOMPARE(QDir(Skins::folder()).entryList({QStringLiteral("*.skn")}).size(), 3);

        fx.prompter.answerFile(QString()); // cancelled
        QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(text1->text(), QStringLiteral("/old/Skin.skn"));
        const QString dark = installedSkin(QStringLiteral("Dark"));
        fx.prompter.answerFile(dark);
        QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(text1->text(), dark);
        QCOMPARE(fx.prompter.events().size(), 2);
        QCOMPARE(fx.prompter.events().at(0).title, QStringLiteral("Select Skin File Name"));
        QVERIFY(fx.prompter.messages().isEmpty());
        QVERIFY(w->findChild<QLabel *>(QStringLiteral("lblPreview"))->text().startsWith(QLatin1String("Dark")));

        QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
        QVERIFY(!w->isVisible());
        QCOMPARE(Settings::skinPath(), QStringLiteral("/old/Skin.skn"));
    }

    void saveReachesMainWindowAndScreens()
    {
        QUARL_SHELL(fx);
        frmLogon *logon = fx.startLogon();
        test::ShellFixture::logOn(logon, QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        frmMenu *menu = frmMenu::instance();
        QVERIFY(menu);
        QWidget *syspara = menu->openScreen(QStringLiteral("frmSyspara"));
        menu->menuAction(QStringLiteral("menHK"), 0)->trigger();
        auto *color = menu->findChild<QWidget *>(QStringLiteral("frmColor"));
        QVERIFY(color);
        const QString blue = installedSkin(QStringLiteral("Classic Blue"));
        color->findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(blue);
        QTest::mouseClick(color->findChild<QPushButton *>(QStringLiteral("cmdSave")), Qt::LeftButton);
        QVERIFY(fx.prompter.messages().isEmpty());
        QCOMPARE(Settings::skinPath(), blue);
        QVERIFY(currentSkin());
        QCOMPARE(currentSkin()->name, QStringLiteral("Classic Blue"));
        QCOMPARE(menu->styleSheet(), currentSkin()->styleSheet);
        QVERIFY(takesSkin(menu->statusPanel(5), *currentSkin()));
        for (QLabel *c : syspara->findChildren<QLabel *>())
            QVERIFY(takesSkin(c, *currentSkin()));
        for (int i = 0; i < 2; ++i)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!menu->findChild<QWidget *>(QStringLiteral("frmColor"))); // closed

        // saving no skin brings the program's own look back
        menu->menuAction(QStringLiteral("menHK"), 0)->trigger();
        color = menu->findChild<QWidget *>(QStringLiteral("frmColor"));
        color->findChild<QLineEdit *>(QStringLiteral("Text1"))->clear();
        QTest::mouseClick(color->findChild<QPushButton *>(QStringLiteral("cmdSave")), Qt::LeftButton);
        QCOMPARE(Settings::skinPath(), QString());
        QVERIFY(!currentSkin());
        QCOMPARE(menu->styleSheet(), QString());
    }

    void unreadableSkinIsNotSaved()
    {
        QUARL_SHELL(fx);
        const QString blue = installedSkin(QStringLiteral("Classic Blue"));
        Settings::setSkinPath(blue);
        QVERIFY(loadSkin(blue).isOk());
        const QString broken = fx.home.file(QStringLiteral("Broken.skn"));
        QFile f(broken);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("QLabel { color: red; }");
        f.close();

        std::unique_ptr<QWidget> w(createScreen(QStringLiteral("frmColor")));
        w->show();
        w->findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(broken);
        QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdSave")), Qt::LeftButton);
        QCOMPARE(fx.prompter.messages().size(), 1);
        QVERIFY(fx.prompter.messages().first().startsWith(QLatin1String("321  Not a skin file")));
        QVERIFY(w->isVisible());
        QCOMPARE(Settings::skinPath(), blue);
        QCOMPARE(currentSkin()->name, QStringLiteral("Classic Blue"));
    }
};

// Dialogs over a skinned main window: the logon of "&Logout" and every box of the prompter
// inherit the skin's style sheet, so they must take its colours as well.
class TestSkinnedDialogs : public QObject
{
    Q_OBJECT

    static frmMenu *darkMainWindow(test::ShellFixture &fx)
    {
        Settings::setSkinPath(installedSkin(QStringLiteral("Dark")));
        frmLogon *logon = fx.startLogon();
        test::ShellFixture::logOn(logon, QStringLiteral("QUARL"), QStringLiteral("TOVEK"));
        return frmMenu::instance();
    }

    // The window, its fields and its buttons take the skin's colours.
    static bool readable(QWidget *w)
    {
        if (!takesSkin(w, *currentSkin()))
            return false;
        for (QWidget *c : w->findChildren<QWidget *>()) {
            if ((qobject_cast<QLineEdit *>(c) || qobject_cast<QAbstractButton *>(c) || qobject_cast<QLabel *>(c))
                && !takesSkin(c, *currentSkin()))
                return false;
        }
        return true;
    }

private Q_SLOTS:
    void cleanup() { QUARL_VERIFY_OK(loadSkin(QString())); }

    void logonAfterLogout()
    {
        QUARL_SHELL(fx);
        frmMenu *menu = darkMainWindow(fx);
        QVERIFY(menu);
        QVERIFY(currentSkin());
        menu->menuAction(QStringLiteral("menFile"), 9)->trigger();
        frmLogon *logon = fx.openLogon();
        QVERIFY(logon);
        QVERIFY(readable(logon));
    }

    void prompterBoxes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("message") << 0;
        QTest::newRow("question") << 1;
        QTest::newRow("input") << 2;
        QTest::newRow("open file") << 3;
        QTest::newRow("save file") << 4;
        QTest::newRow("folder") << 5;
    }
    void prompterBoxes()
    {
        QFETCH(int, kind);
        QUARL_SHELL(fx);
        frmMenu *menu = darkMainWindow(fx);
        QVERIFY(menu);
        menu->activateWindow();
        QApplication::setActiveWindow(menu);

        QtPrompter qt;
        int seen = 0;
        bool skinned = false;
        QTimer::singleShot(0, this, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *d = qobject_cast<QDialog *>(w);
                if (!d || !d->isVisible() || d->objectName() == QLatin1String("frmLogon"))
                    continue;
                ++seen;
                skinned = readable(d);
                d->done(QDialog::Rejected);
            }
        });
        const QString dir = fx.home.file(QString());
        switch (kind) {
        case 0: qt.message(QStringLiteral("Access denied Username/Password do not match"), Prompter::Icon::None, {}); break;
        case 1: qt.askYesNo(QStringLiteral("Confirm Deletion ?"), Prompter::Icon::Question, QStringLiteral("Delete")); break;
        case 2: qt.input(QStringLiteral("Bill of lading number"), {}, {}); break;
        case 3: qt.openFileName(QStringLiteral("Select Data File Name"), QStringLiteral("Data files (*.qdb)"), dir); break;
        case 4: qt.saveFileName(QStringLiteral("Save"), QStringLiteral("Text (*.txt)"), dir); break;
        case 5: qt.folderName(QStringLiteral("Select Removable Media Folder"), dir); break;
        }
        QCOMPARE(seen, 1);
        QVERIFY(skinned);
    }
};

QUARL_TEST(TestAppearancePass)
QUARL_TEST(TestColourScreen)
QUARL_TEST(TestSkinnedDialogs)
#include "tst_appearance.moc"
