#include "app/shellfixture.h"
#include "common/testmain.h"

#include "app/mainmenu.h"
#include "core/keyboardlocks.h"
#include "core/ui/screenregistry.h"
#include "manifest/igmmessages.h"
#include "store/datasourceregistry.h"

#include <QFile>
#include <QTemporaryDir>

#include <QAction>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSqlDatabase>

using namespace quarl;

namespace {

// A screen standing in for the work screens: records its closing and may refuse it.
class StandIn : public QWidget
{
public:
    static inline int made = 0;
    static inline int closedWithConnection = 0;
    static inline bool refuseClose = false;
    StandIn()
    {
        ++made;
        resize(300, 200);
    }

protected:
    void closeEvent(QCloseEvent *e) override
    {
        if (refuseClose) {
            e->ignore();
            return;
        }
        if (Session::current().connection.isValid())
            ++closedWithConnection;
        e->accept();
    }
};

void resetStandIns()
{
    StandIn::made = 0;
    StandIn::closedWithConnection = 0;
    StandIn::refuseClose = false;
}

frmMenu *logOn(test::ShellFixture &fx, const QString &uid = QStringLiteral("QUARL"), const QString &pwd = QStringLiteral("TOVEK"))
{
    frmLogon *logon = fx.startLogon();
    test::ShellFixture::logOn(logon, uid, pwd);
    return frmMenu::instance();
}

QStringList enabledControlledEntries(frmMenu *menu)
{
    QStringList out;
    for (const MainMenu::Entry &e : MainMenu::entries()) {
        QAction *a = menu->menuAction(MainMenu::arrayName(e.array), e.index);
        if (MainMenu::rightsControlled(e.array, e.index) && a->isVisible() && a->isEnabled())
            out << MainMenu::arrayName(e.array) + QLatin1Char('/') + QString::number(e.index);
    }
    return out;
}

QStringList visibleSubWindows(frmMenu *menu)
{
    QStringList out;
    for (QMdiSubWindow *sub : menu->mdiArea()->subWindowList()) {
        if (sub->isVisible() && sub->widget())
            out << sub->widget()->objectName();
    }
    return out;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { resetStandIns(); }

    void captionAndEntries()
    {
        QUARL_SHELL(fx);
        frmMenu *menu = logOn(fx);
        QVERIFY(menu);
        QCOMPARE(menu->windowTitle(), QStringLiteral("Quarl (Ver 2.0.6)"));

        QStringList tops;
        for (QAction *a : menu->menuBar()->actions())
            tops << a->menu()->objectName() + QLatin1Char('=') + a->text();
        QCOMPARE(tops, (QStringList{"menFileTop=&File", "menHKTop=&House Keeping", "menRepTop=&Reports",
                                    "frmWindTop=&Window", "menPatchTop=&Patches"}));

        // array, index, caption, code ("" where the rights never reach)
        const QList<std::tuple<QString, int, QString, QString>> table = {
            {"menFile", 0, "&Company Master", "00"}, {"menFile", 1, "&Port Code Setup", "01"},
            {"menFile", 2, "&Country Code Setup", "02"}, {"menFile", 3, "Ve&ssel Code Setup", "03"},
            {"menFile", 4, "-", ""}, {"menFile", 5, "&Vessel Information", "05"},
            {"menFile", 6, "Cargo &Information", "06"}, {"menFile", 7, "-", ""},
            {"menFile", 8, "E&xit", ""}, {"menFile", 9, "&Logout", ""},
            {"menHK", 0, "&Change Colour", "10"}, {"menHK", 1, "&User Master", "11"},
            {"menHK", 2, "&System Parameter", "12"}, {"menHK", 3, "&Import XML Files", "13"},
            {"menHK", 4, "Update &Port Codes", "14"}, {"menHK", 5, "Update Cargo &Table", "15"},
            {"menHK", 6, "-", ""}, {"menHK", 7, "&Remove Data", "17"},
            {"menRep", 0, "&Check-List Printing", "18"}, {"menRep", 1, "Generate &Flat-File", "19"},
            {"menRep", 2, "Generate &XML File for Agent", "20"}, {"menRep", 3, "Cargo &Declaration", "21"},
            {"menRep", 4, "Generate &SAM (SCMTR)", "22"},
            {"menWin", 0, "&Casacade", ""}, {"menWin", 1, "&Tile Horizontal", ""},
            {"menWin", 2, "Tile &Vertical", ""}, {"menWin", 3, "&Information Window", ""},
            {"menWin", 4, "Import I&GM File", ""}, {"menWin", 5, "Import &SAM File", ""},
            {"menPatch", 0, "&Modify Cargo Table for ICD (TP) (2.0.0)", ""},
            {"menPatch", 1, "&Insert New Location codes for ICD (2.0.1)", ""},
            {"menPatch", 2, "Insert &New Location codes for ICD (2.0.3)", ""},
            {"menPatch", 3, "Insert &Sea Ports and Inland Depots of UN/LOCODE (2.1.0)", ""},
            {"menPatch", 4, "Modify &Tables for ICES 1.5 (2.1.0)", ""},
            {"menPatch", 5, "Modify Tables for SCMTR &Filing (2.2.0)", ""},
            {"menPatch", 6, "&Keys of Bills of Lading Never Used Twice (2.3.0)", ""},
            {"menPatch", 7, "Link &House B/Ls to Their Master Lines (2.4.0)", ""},
            {"menPatch", 8, "Keep a &Register of SAM Filings (2.5.0)", ""},
        };
        int count = 0;
        for (const auto &[array, index, caption, code] : table) {
            QAction *a = menu->menuAction(array, index);
            QVERIFY2(a, qPrintable(array + QString::number(index)));
            if (caption == QLatin1String("-"))
                QVERIFY(a->isSeparator());
            else
                QCOMPARE(a->text(), caption);
            const MainMenu::Entry *e = MainMenu::entry(array, index);
            QVERIFY(e);
            QCOMPARE(MainMenu::codeText(e->array, e->index), code);
            ++count;
        }
        QCOMPARE(count, int(MainMenu::entries().size()));
        QVERIFY(!menu->menuAction(QStringLiteral("menFile"), 10));
        QVERIFY(!menu->menuAction(QStringLiteral("menFile"), 1)->isVisible());
        QVERIFY(!menu->menuAction(QStringLiteral("menFile"), 2)->isVisible());
        // the hidden entries follow the rule all the same
        QVERIFY(MainMenu::enabledFor(QStringLiteral("0105"), MainMenu::Array::File, 1));
        QVERIFY(!MainMenu::enabledFor(QStringLiteral("0105"), MainMenu::Array::File, 0));
    }

    void menuRights_data()
    {
        QTest::addColumn<QString>("rights");
        QTest::addColumn<QStringList>("enabled");
        QStringList all;
        for (const MainMenu::Entry &e : MainMenu::entries()) {
            if (MainMenu::rightsControlled(e.array, e.index) && !e.hidden)
                all << MainMenu::arrayName(e.array) + QLatin1Char('/') + QString::number(e.index);
        }
        QTest::newRow("super user") << " SU" << all;
        QTest::newRow("super user among codes") << " 03 SU 05" << all;
        QTest::newRow("file entries") << " 03 05 06" << QStringList{"menFile/3", "menFile/5", "menFile/6"};
        // "0105" holds 01, 10 and 05; 01 is the hidden "&Port Code Setup"
        QTest::newRow("codes run together") << "0105" << QStringList{"menFile/5", "menHK/0"};
        QTest::newRow("remove data") << " 17" << QStringList{"menHK/7"};
        QTest::newRow("user master") << " 11" << QStringList{"menHK/1"};
        QTest::newRow("reports") << " 18 19 20 21 22"
                                 << QStringList{"menRep/0", "menRep/1", "menRep/4", "menRep/2", "menRep/3"}; // in menu order
        QTest::newRow("lower case su") << " su" << QStringList{};
        QTest::newRow("SU without blank") << "SU" << QStringList{};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("single digits") << " 3 5 6" << QStringList{};
    }
    void menuRights()
    {
        QFETCH(QString, rights);
        QFETCH(QStringList, enabled);
        QUARL_SHELL(fx);
        frmMenu *menu = logOn(fx);
        QVERIFY(menu);
        Session::current().menuRights = rights;
        menu->activate();
        QCOMPARE(enabledControlledEntries(menu), enabled);
        // the rights never reach these
        for (const auto &[array, index] : {std::pair{"menFile", 8}, {"menFile", 9}, {"menWin", 0}, {"menWin", 1},
                                           {"menWin", 2}, {"menWin", 3}, {"menPatch", 0}, {"menPatch", 1}, {"menPatch", 2},
                                           {"menPatch", 3}, {"menPatch", 4}, {"menPatch", 6}})
            QVERIFY(menu->menuAction(QLatin1String(array), index)->isEnabled());
    }

    void importIgmEntry_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("shown");
        QTest::newRow("missing") << QString() << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("zero") << "0" << false;
        QTest::newRow("enabling value") << "1" << true;
        QTest::newRow("enabling value, blank before") << " 1" << true;
        QTest::newRow("other number") << "2" << false;
        QTest::newRow("text") << "yes" << false;
    }
    void importIgmEntry()
    {
        QFETCH(QString, setting);
        QFETCH(bool, shown);
        QUARL_SHELL(fx);
        if (!setting.isNull())
            WriteSetting(QStringLiteral("Options"), QStringLiteral("WithIGMImport"), setting);
        frmMenu *menu = logOn(fx);
        QVERIFY(menu);
        QCOMPARE(menu->menuAction(QStringLiteral("menWin"), MainMenu::ImportIgmIndex)->isVisible(), shown);
        // picked up again on the next activation; Import SAM File is there whatever the setting
        WriteSetting(QStringLiteral("Options"), QStringLiteral("WithIGMImport"), shown ? QStringLiteral("0") : QStringLiteral("1"));
        menu->activate();
        QCOMPARE(menu->menuAction(QStringLiteral("menWin"), MainMenu::ImportIgmIndex)->isVisible(), !shown);
        QVERIFY(menu->menuAction(QStringLiteral("menWin"), MainMenu::ImportSamIndex)->isVisible());
    }

    // Import SAM File from the Window menu into an empty company: a file the import refuses
    // stores nothing and says where; the good one, with the vessel code typed in, stores the
    // voyage after the import's question.
    void importSamFromTheMenu()
    {
        QUARL_SHELL(fx); // without the setting of Import IGM File
        frmMenu *menu = logOn(fx);
        QVERIFY(menu);
        QUARL_COMPANY_DB(empty, QStringLiteral("sqlite"));
        Session::current().connection = empty.db();
        auto rows = [&] {
            QStringList n;
            for (const char *table : {"vesinfo", "cargo", "contain", "cargoitem", "D_VESSEL_CD"})
                n << empty.db().scalar(QStringLiteral("select count(*) from %1").arg(QLatin1String(table)))->toString();
            return n.join(QLatin1Char(' '));
        };
        QFile golden(QStringLiteral(QUARL_FIXTURES "/sam/golden_small.json"));
        QVERIFY(golden.open(QIODevice::ReadOnly));
        const QByteArray good = golden.readAll();
        QByteArray broken = good;
        const qsizetype weight = broken.indexOf("\"cntrWeight\": ");
        QVERIFY(weight > 0);
        broken.insert(weight + 14, "\"heavy\", \"was\": ");
        QTemporaryDir dir;
        const QString goodFile = dir.filePath(QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_DEC.json"));
        const QString brokenFile = dir.filePath(QStringLiteral("broken.json"));
        for (const auto &[path, data] : {std::pair{goodFile, good}, std::pair{brokenFile, broken}}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
        }

        QAction *entry = menu->menuAction(QStringLiteral("menWin"), MainMenu::ImportSamIndex);
        QVERIFY(entry->isVisible());
        entry->trigger();
        QWidget *screen = menu->mdiArea()->activeSubWindow()->widget();
        QCOMPARE(screen->objectName(), QStringLiteral("frmImportSAM"));
        QCOMPARE(screen->windowTitle(), QStringLiteral("Import SAM File"));
        auto *file = test::ShellFixture::child<QLineEdit>(screen, "Text1");
        auto *vessel = test::ShellFixture::child<QLineEdit>(screen, "txtVessel");
        auto *import = test::ShellFixture::child<QPushButton>(screen, "cmdImport");

        fx.prompter.clear();
        fx.prompter.answerFile(brokenFile);
        QTest::mouseClick(test::ShellFixture::child<QPushButton>(screen, "Command1"), Qt::LeftButton);
        QCOMPARE(file->text(), QDir::toNativeSeparators(brokenFile));
        vessel->setFocus();
        QTest::keyClicks(vessel, QStringLiteral("gold"));
        QCOMPARE(vessel->text(), QStringLiteral("GOLD"));
        fx.prompter.answerYes();
        QTest::mouseClick(import, Qt::LeftButton);
        QCOMPARE(fx.prompter.texts().mid(1, 1), QStringList{QStringLiteral("Import Data For GOLD / 024E ?")});
        const QStringList refused = fx.prompter.messages();
        QCOMPARE(refused.size(), 1);
        QVERIFY2(refused.first().contains(QLatin1String("/master/mastrCnsgmtDec/0/trnsprtEqmt/0/cntrWeight")), qPrintable(refused.first()));
        QCOMPARE(rows(), QStringLiteral("0 0 0 0 0"));

        fx.prompter.clear();
        file->setText(goodFile);
        fx.prompter.answerYes();
        QTest::mouseClick(import, Qt::LeftButton);
        QCOMPARE(fx.prompter.texts().first(), QStringLiteral("Import Data For GOLD / 024E ?"));
        QCOMPARE(fx.prompter.messages().last(),
                 QLatin1String(igm::Messages::Imported)
                     + QStringLiteral("\n\n4 B/L(s) and 2 house B/L(s); 7 container(s); 6 goods item(s); the voyage header."));
        QCOMPARE(rows(), QStringLiteral("1 6 7 6 1"));

        // the same file again: the question says what the company holds of the voyage, and
        // a B/L number it has already is named in words; nothing more is stored
        fx.prompter.clear();
        fx.prompter.answerYes();
        QTest::mouseClick(import, Qt::LeftButton);
        QCOMPARE(fx.prompter.texts().first(),
                 QStringLiteral("GOLD / 024E is in this company already: its voyage header, 6 B/L(s) and 7 container(s). "
                                "What the file holds is added to it.\n\nImport Data For GOLD / 024E ?"));
        QVERIFY2(fx.prompter.messages().last().contains(QLatin1String("B/L No. MSCSHA0001 is already line 1 of GOLD / 024E (line 22 of the file).")),
                 qPrintable(fx.prompter.messages().last()));
        QCOMPARE(rows(), QStringLiteral("1 6 7 6 1"));
        QCOMPARE(empty.db().scalar(QStringLiteral("select IMO_NO from D_VESSEL_CD where VESSEL_CD = 'GOLD'"))->toString(),
                 QStringLiteral("9074729"));
        Session::current() = Session();
    }

    void toolbarRunsWhateverTheMenu_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<QString>("screen");
        QTest::newRow("1") << 1 << "Cargo Information" << "frmCargo";
        QTest::newRow("2") << 2 << "Vessel Information" << "frmVslMast";
        QTest::newRow("3") << 3 << "Vessel Code Setup" << "frmVslCode";
        QTest::newRow("4") << 4 << "Check-List Printing" << "frmCheckList";
        QTest::newRow("5") << 5 << "Generate XML File" << "frmCargoRep";
        QTest::newRow("6") << 6 << "Generate Flat File (IGM)" << "frmVslRep";
    }
    void toolbarRunsWhateverTheMenu()
    {
        QFETCH(int, button);
        QFETCH(QString, tooltip);
        QFETCH(QString, screen);
        QUARL_SHELL(fx);
        ScopedScreenFactory standIn(screen, [] { return new StandIn; });
        frmMenu *menu = logOn(fx);
        QVERIFY(menu);
        Session::current().menuRights = QString();
        menu->activate();
        QVERIFY(enabledControlledEntries(menu).isEmpty());

        QAction *b = menu->toolbarButton(button);
        QVERIFY(b);
        QCOMPARE(b->toolTip(), tooltip);
        QVERIFY(!b->icon().isNull());
        QVERIFY(!b->icon().pixmap(32, 32).isNull());
        QVERIFY(b->isEnabled());
        b->trigger();
        QCOMPARE(visibleSubWindows(menu), QStringList{screen});
        QVERIFY(fx.prompter.messages().isEmpty());
    }

    void openingAScreen()
    {
        QUARL_SHELL(fx);
        ScopedScreenFactory a(QStringLiteral("frmVslCode"), [] { return new StandIn; });
        ScopedScreenFactory b(QStringLiteral("frmCargo"), [] { return new StandIn; });
        frmMenu *menu = logOn(fx);
        QVERIFY(menu);
        menu->menuAction(QStringLiteral("menFile"), 3)->trigger();
        menu->menuAction(QStringLiteral("menFile"), 6)->trigger();
        QCOMPARE(menu->mdiArea()->activeSubWindow()->widget()->objectName(), QStringLiteral("frmCargo"));
        // the Window menu shows the keys as pressed; Shift+Tab arrives as Backtab
        const QAction *previous = menu->findChild<QAction *>(QStringLiteral("actPreviousScreen"));
        QCOMPARE(previous->shortcut().toString(QKeySequence::NativeText), QStringLiteral("Ctrl+Shift+Tab"));
        QApplication::setActiveWindow(menu);
        QVERIFY(QTest::qWaitForWindowActive(menu));
        QWidget *typing = QApplication::focusWidget() ? QApplication::focusWidget() : menu;
        QTest::keyClick(typing, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(menu->mdiArea()->activeSubWindow()->widget()->objectName(), QStringLiteral("frmVslCode"));
        // open already: brought to the front as it stands, not loaded again
        QWidget *first = menu->mdiArea()->subWindowList().first()->widget();
        first->setProperty("typed", 42);
        menu->mdiArea()->subWindowList().first()->showMinimized();
        menu->menuAction(QStringLiteral("menFile"), 3)->trigger();
        QCOMPARE(StandIn::made, 2);
        QCOMPARE(menu->mdiArea()->activeSubWindow()->widget(), first);
        QVERIFY(!menu->mdiArea()->activeSubWindow()->isMinimized());
        QCOMPARE(first->property("typed").toInt(), 42);
        // a screen that closes itself takes its frame along and loads afresh next time
        first->close();
        for (int i = 0; i < 2; ++i) // the screen, then its frame
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(visibleSubWindows(menu), QStringList{"frmCargo"});
        QCOMPARE(menu->mdiArea()->subWindowList().size(), 1);
        menu->menuAction(QStringLiteral("menFile"), 3)->trigger();
        QCOMPARE(StandIn::made, 3);
        QCOMPARE(menu->mdiArea()->subWindowList().size(), 2);
        // a screen this program does not hold
        QVERIFY(!menu->openScreen(QStringLiteral("frmNoSuchScreen")));
        QCOMPARE(fx.prompter.messages(), QStringList{"This screen is not available in this version."});
    }

    void ownScreensOpen()
    {
        QUARL_SHELL(fx);
        frmMenu *menu = logOn(fx);
        QVERIFY(menu);
        menu->menuAction(QStringLiteral("menHK"), 2)->trigger();
        menu->menuAction(QStringLiteral("menHK"), 0)->trigger();
        QCOMPARE(visibleSubWindows(menu), (QStringList{"frmSyspara", "frmColor"}));
        QCOMPARE(menu->mdiArea()->subWindowList().first()->windowTitle(), QStringLiteral("System Parameters"));
        QCOMPARE(menu->mdiArea()->subWindowList().first()->pos(), QPoint(0, 0));
        QVERIFY(fx.prompter.messages().isEmpty());
    }

    // The upgrade and patch entries run on the session's company database and show what
    // the command says; one that has nothing to say shows nothing.
    void upgradeAndPatchEntries()
    {
        QUARL_SHELL(fx);
        frmMenu *menu = logOn(fx);
        QVERIFY(menu);
        const Database &db = Session::current().connection;
        const QString count = QStringLiteral("select count(*) from D_PORT_CD where PORT_CD = 'INMWA6'");
        QVERIFY(db.exec(QStringLiteral("delete from D_PORT_CD where PORT_CD = 'INMWA6'")).isOk());

        menu->menuAction(QStringLiteral("menPatch"), 0)->trigger();
        menu->menuAction(QStringLiteral("menPatch"), 3)->trigger(); // the missing port comes back
        QCOMPARE(fx.prompter.messages(), (QStringList{"Software already patched ...", "Software Patched Successfully ..."}));
        QCOMPARE(db.scalar(count).value().toInt(), 1);

        fx.prompter.clear();
        QVERIFY(db.exec(QStringLiteral("drop table cargo")).isOk());
        menu->menuAction(QStringLiteral("menPatch"), 0)->trigger();
        QCOMPARE(fx.prompter.messages().size(), 1);
        QVERIFY2(fx.prompter.messages().first().contains(QLatin1String("cargo"), Qt::CaseInsensitive), qPrintable(fx.prompter.messages().first()));
        QVERIFY(menu->isVisible()); // a failed command leaves the program running
    }

    void tiling_data()
    {
        QTest::addColumn<bool>("horizontal");
        QTest::newRow("horizontal") << true;
        QTest::newRow("vertical") << false;
    }
    void tiling()
    {
        QFETCH(bool, horizontal);
        QUARL_SHELL(fx);
        ScopedScreenFactory a(QStringLiteral("frmVslCode"), [] { return new StandIn; });
        ScopedScreenFactory b(QStringLiteral("frmCargo"), [] { return new StandIn; });
        ScopedScreenFactory c(QStringLiteral("frmVslMast"), [] { return new StandIn; });
        frmMenu *menu = logOn(fx);
        QVERIFY(menu);
        for (int i : {3, 5, 6})
            menu->menuAction(QStringLiteral("menFile"), i)->trigger();
        menu->menuAction(QStringLiteral("menWin"), horizontal ? 1 : 2)->trigger();
        const QRect area = menu->mdiArea()->viewport()->rect();
        int covered = 0;
        int last = -1;
        for (QMdiSubWindow *sub : menu->mdiArea()->subWindowList(QMdiArea::CreationOrder)) {
            const QRect g = sub->geometry();
            if (horizontal) {
                QCOMPARE(g.width(), area.width());
                QVERIFY(g.top() > last);
                last = g.top();
                covered += g.height();
            } else {
                QCOMPARE(g.height(), area.height());
                QVERIFY(g.left() > last);
                last = g.left();
                covered += g.width();
            }
        }
        QCOMPARE(covered, horizontal ? area.height() : area.width());
        menu->menuAction(QStringLiteral("menWin"), 0)->trigger(); // cascade
        const auto subs = menu->mdiArea()->subWindowList(QMdiArea::CreationOrder);
        QVERIFY(subs.at(1)->pos().x() > subs.at(0)->pos().x());
    }

    void statusPanels()
    {
        QUARL_SHELL(fx);
        frmMenu *menu = logOn(fx);
        QVERIFY(menu);
        QVERIFY(!menu->statusPanel(1)->text().isEmpty());
        QCOMPARE(menu->statusPanel(2)->text(), QStringLiteral("CAPS"));
        QCOMPARE(menu->statusPanel(3)->text(), QStringLiteral("NUM"));
        QCOMPARE(menu->statusPanel(4)->text(), QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
        QCOMPARE(menu->statusPanel(5)->text(), QLatin1String(Installer::DemoCompanyName));
        QCOMPARE(menu->statusPanel(6)->text(), QStringLiteral("User : QUARL"));
    }

    void logoutAndLogOnAsAnotherUser()
    {
        QUARL_SHELL(fx);
        ScopedScreenFactory a(QStringLiteral("frmVslCode"), [] { return new StandIn; });
        frmMenu *menu = logOn(fx);
        QVERIFY(menu);
        QVERIFY(Session::current().connection.exec(
            QStringLiteral("insert into loguser (uid, pwd, urights, mrights) values (?, ?, ?, ?)"),
            {"  CLERK ", "pw", " 01", " 03 05 06"}).isOk());
        menu->menuAction(QStringLiteral("menFile"), 3)->trigger();
        const QString oldConnection = Session::current().connection.handle().connectionName();

        menu->menuAction(QStringLiteral("menFile"), 9)->trigger();
        frmLogon *logon = fx.openLogon();
        QVERIFY(logon);
        QVERIFY(logon->isModal());
        QCOMPARE(fx.child<QLineEdit>(logon, "txtUID")->text(), QString()); // not saved at the first logon
        test::ShellFixture::logOn(logon, QStringLiteral("  CLERK "), QStringLiteral("pw"));
        QVERIFY(fx.prompter.messages().isEmpty());
        QCOMPARE(frmMenu::instance(), menu); // the same window, not a new one
        QCOMPARE(fx.ends, 0);
        QCOMPARE(Session::current().userId, QStringLiteral("CLERK"));
        QVERIFY(Session::current().connection.handle().connectionName() != oldConnection);
        QCOMPARE(menu->statusPanel(6)->text(), QStringLiteral("User : CLERK"));
        QCOMPARE(enabledControlledEntries(menu), (QStringList{"menFile/3", "menFile/5", "menFile/6"}));
        QCOMPARE(visibleSubWindows(menu), QStringList()); // the last user's screens closed at Logout

        // logging out again and cancelling ends the program
        menu->menuAction(QStringLiteral("menFile"), 9)->trigger();
        QVERIFY(fx.openLogon());
        QTest::mouseClick(fx.child<QPushButton>(fx.openLogon(), "cmdCancel"), Qt::LeftButton);
        QCOMPARE(fx.ends, 1);
    }

    void closingTheWindow()
    {
        QUARL_SHELL(fx);
        ScopedScreenFactory a(QStringLiteral("frmVslCode"), [] { return new StandIn; });
        frmMenu *menu = logOn(fx);
        QVERIFY(menu);
        menu->menuAction(QStringLiteral("menFile"), 3)->trigger();
        menu->preparedReportData().open({QSqlRecord()});
        QCOMPARE(PreparedReportData::current(), &menu->preparedReportData());

        // a screen that will not close keeps everything as it is
        StandIn::refuseClose = true;
        QVERIFY(!menu->close());
        QVERIFY(menu->isVisible());
        QCOMPARE(fx.ends, 0);
        QVERIFY(Session::current().connection.isValid());
        QVERIFY(menu->preparedReportData().isOpen());

        StandIn::refuseClose = false;
        const QString connection = Session::current().connection.handle().connectionName();
        QVERIFY(menu->close());
        QCOMPARE(StandIn::closedWithConnection, 1); // the screens close before the connection
        QVERIFY(!menu->preparedReportData().isOpen());
        QVERIFY(!PreparedReportData::current());
        QVERIFY(!Session::current().connection.isValid());
        QVERIFY(!QSqlDatabase::contains(connection));
        QCOMPARE(fx.ends, 1);
    }

    // Maximised the first time, then as the user left it; a saved place partly beyond the
    // screen moves into it, one that no screen shows, larger than the screen or unreadable
    // gives way to the maximised window.
    void windowPlacement()
    {
        QUARL_SHELL(fx);
        frmMenu *menu = logOn(fx);
        QVERIFY(menu->isMaximized());
        menu->showNormal();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect left(screen.topLeft() + QPoint(20, 30), QSize(500, 400));
        menu->setGeometry(left);
        QVERIFY(menu->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!frmMenu::instance());

        const auto reopened = [&fx] {
            frmMenu *m = logOn(fx);
            const QRect place = m->isMaximized() ? QRect() : m->geometry();
            delete m;
            return place;
        };
        QCOMPARE(reopened(), left);
        const auto text = [](const QRect &r) { return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()); };
        Settings::setWindowGeometry(text(left.translated(-300, 0)));
        const QRect moved = reopened();
        QCOMPARE(moved.size(), left.size());
        QVERIFY2(screen.contains(moved), qPrintable(text(moved)));
        for (const QString &saved : {text(left.translated(screen.width() * 3, 0)), text(QRect(screen.topLeft(), screen.size() * 2)),
                                     QStringLiteral("20,30,wide,400")}) {
            Settings::setWindowGeometry(saved);
            QVERIFY2(reopened().isNull(), qPrintable(saved));
        }
        Settings::setWindowGeometry(text(left));
        Settings::setWindowMaximized(QStringLiteral("1"));
        QVERIFY(reopened().isNull());
    }

    void exitEndsAtOnce()
    {
        QUARL_SHELL(fx);
        frmMenu *menu = logOn(fx);
        QVERIFY(menu);
        menu->menuAction(QStringLiteral("menFile"), 8)->trigger();
        QCOMPARE(fx.ends, 1);
        QVERIFY(fx.prompter.events().isEmpty());
    }

    void keyboardLocks_data()
    {
        QTest::addColumn<QStringList>("leds"); // "name=brightness"
        QTest::addColumn<int>("caps");        // -1 unknown, 0 off, 1 on
        QTest::addColumn<int>("num");
        QTest::newRow("no keyboard") << QStringList{} << -1 << -1;
        QTest::newRow("caps on") << QStringList{"input3::capslock=1", "input3::numlock=0"} << 1 << 0;
        QTest::newRow("two keyboards") << QStringList{"input3::numlock=0", "input7::numlock=1"} << -1 << 1;
        QTest::newRow("other leds") << QStringList{"phy0-led=1", "input3::scrolllock=1"} << -1 << -1;
    }
    void keyboardLocks()
    {
        QFETCH(QStringList, leds);
        QFETCH(int, caps);
        QFETCH(int, num);
        QTemporaryDir dir;
        for (const QString &led : leds) {
            const QString name = led.section(QLatin1Char('='), 0, 0);
            QVERIFY(QDir(dir.path()).mkpath(name));
            QFile f(dir.filePath(name + QStringLiteral("/brightness")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(led.section(QLatin1Char('='), 1).toUtf8() + "\n");
        }
        const KeyboardLocks locks = readKeyboardLocks(dir.path());
        QCOMPARE(locks.caps ? int(*locks.caps) : -1, caps);
        QCOMPARE(locks.num ? int(*locks.num) : -1, num);
    }
};

QUARL_TEST(TestMainWindow)
#include "tst_mainwindow.moc"
