#include "common/testdb.h"
#include "common/screenfixture.h"
#include "common/testmain.h"

#include "core/scriptedprompter.h"
#include "core/settings.h"
#include "core/ui/screenregistry.h"
#include "entry/ui/codecombo.h"
#include "entry/ui/frmvslmast.h"
#include "entry/voyageheader.h"
#include "store/schema.h"
#include "store/session.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include <memory>

using namespace quarl;
namespace {

using test::SessionScope;

QString statusLine(QWidget *screen)
{
    return screen->findChild<QLabel *>(QStringLiteral("lblStatus"))->text();
}

bool insertVessel(const Database &db, const QString &code, const QString &name, const QString &nation, double grt,
                  double nrt)
{
    return db.exec(QStringLiteral("insert into D_VESSEL_CD (VESSEL_CD, VESSEL_NM, VESSEL_NATION, grt, nrt) values (?, ?, ?, ?, ?)"),
                   {code, name, nation, grt, nrt})
        .isOk();
}

struct Fixture
{
    std::unique_ptr<SessionScope> session;
    std::unique_ptr<frmVslMast> screen;

    bool open(const Database &db)
    {
        session = std::make_unique<SessionScope>(db);
        screen = std::make_unique<frmVslMast>();
        screen->show();
        QApplication::setActiveWindow(screen.get());
        return QTest::qWaitForWindowActive(screen.get());
    }
    QLineEdit *f(int index) const { return screen->txtFields(index); }
    QWidget *focus() const { return screen->focusWidget(); }
    void type(int index, const QString &text) const
    {
        f(index)->selectAll();
        QTest::keyClicks(f(index), text);
    }
    void enter() const { QTest::keyClick(focus(), Qt::Key_Return); }
};

bool insertVoyage(const Database &db, const QString &code, const QString &voyage, const QString &nation,
                  const QString &lastPort, const QString &portArrival = QString())
{
    return db.exec(QStringLiteral("insert into vesinfo (vslcode, voyno, vslname, vslnation, lastport, portarrival, "
                                  "slinecode, sagentcode, mastername, grt, nrt, vsltype, lhdues, cargodesc) "
                                  "values (?, ?, 'NAME', ?, ?, ?, 'SL', 'AG', 'MASTER', 1, 1, 'CELL', 1, 'GEN')"),
                   {code, voyage, nation, lastPort, portArrival.isEmpty() ? QVariant() : QVariant(portArrival)})
        .isOk();
}

} // namespace

class TestVoyageScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Opening shows the highest vessel code; the country name and the port follow every
    // row while browsing, an unknown nationality shows no name and no message.
    void browsingShowsLookups_data() { test::addEngineRows(); }
    void browsingShowsLookups()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        {
            Fixture x;
            QVERIFY(x.open(t.db()));
            QVERIFY(x.f(6)->text().isEmpty());
            QVERIFY(x.screen->nationName()->text().isEmpty());
            QCOMPARE(x.screen->portCombo()->currentIndex(), -1);
        }
        QVERIFY(insertVoyage(t.db(), "SEAPRL", "12", "IN", "SGSIN"));
        QVERIFY(insertVoyage(t.db(), "ARBBRZ", "3", "QQ", "INNSA1"));
        QVERIFY(insertVoyage(t.db(), "MRNSTR", "7", "MH", "XXXXX"));
        Fixture x;
        QVERIFY(x.open(t.db()));
        QVERIFY(hasScreen(QStringLiteral("frmVslMast")));
        QCOMPARE(x.screen->windowTitle(), QStringLiteral("Vessel Master"));
        QCOMPARE(x.f(6)->text(), QStringLiteral("SEAPRL"));
        QCOMPARE(statusLine(x.screen.get()), QStringLiteral("Record: 3"));
        QCOMPARE(x.screen->nationName()->text(), QStringLiteral("India"));
        QCOMPARE(x.screen->portCombo()->currentText(), QStringLiteral("Singapore-SGSIN"));
        QCOMPARE(x.f(8)->text(), QStringLiteral("SGSIN"));
        if (const QString dir = qEnvironmentVariable("QUARL_SCREENSHOT_DIR"); !dir.isEmpty() && engine == "sqlite")
            QVERIFY(x.screen->grab().save(dir + QStringLiteral("/voyage-information.png")));
        QTest::keyClick(x.f(6), Qt::Key_Up);
        QCOMPARE(x.screen->nationName()->text(), QStringLiteral("Marshall Islands"));
        QCOMPARE(x.screen->portCombo()->currentIndex(), -1); // a code the port list lacks
        QTest::keyClick(x.f(6), Qt::Key_Up);
        QCOMPARE(x.f(6)->text(), QStringLiteral("ARBBRZ"));
        QVERIFY(x.screen->nationName()->text().isEmpty());
        QCOMPARE(x.screen->portCombo()->currentText(), QStringLiteral("Nhava Sheva (JNPT)-INNSA1"));
        // a locked combo keeps its port
        QTest::keyClicks(x.screen->portCombo(), QStringLiteral("Sing"));
        QCOMPARE(x.f(8)->text(), QStringLiteral("INNSA1"));
        // search by the vessel code
        prompter.answerInput(QStringLiteral("mr"));
        prompter.answerYes();
        x.screen->searchRecords();
        QCOMPARE(x.f(6)->text(), QStringLiteral("MRNSTR"));
        QCOMPARE(prompter.texts(), (QStringList{"Vessel Code to search ?", "Search Next ?", "Could not find Vessel Code"}));
    }

    // A voyage header keyed in from the keyboard alone: the vessel code fills the vessel's
    // particulars, the leave rules hold the focus with their messages, Shift+Tab goes back
    // from an empty Last Port 1, and the save stores the custom house's port of arrival and
    // the placeholder terminal where none was keyed.
    void keyedInFromKeyboard_data() { test::addEngineRows(); }
    void keyedInFromKeyboard()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        test::TempHome home;
        Settings::setCustomHouseCode(QStringLiteral("INNSA1"));
        ScriptedPrompter prompter;
        QVERIFY(insertVessel(t.db(), QStringLiteral("MRNSTR"), QStringLiteral("MARINE STAR"), "MH", 35881.5, 17042.0));
        Fixture x;
        QVERIFY(x.open(t.db()));
        QTest::keyClick(x.focus(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(x.focus(), x.f(6));
        x.enter(); // empty: looked up like any other code
        QCOMPARE(x.focus(), x.f(6));
        x.type(6, QStringLiteral("NOSUCH"));
        x.enter();
        QCOMPARE(x.focus(), x.f(6));
        QCOMPARE(prompter.messages(), (QStringList{"Cannot find Vessel Name in Master ..", "Cannot find Vessel Name in Master .."}));
        x.type(6, QStringLiteral("mrnstr")); // taken as capitals
        x.enter();
        QCOMPARE(x.f(6)->text(), QStringLiteral("MRNSTR"));
        QCOMPARE(x.focus(), x.f(1));
        QCOMPARE(x.f(1)->text(), QStringLiteral("MARINE STAR"));
        QCOMPARE(x.f(5)->text(), QStringLiteral("MH"));
        QCOMPARE(x.f(11)->text(), QStringLiteral("35881.5"));
        QCOMPARE(x.f(12)->text(), QStringLiteral("17042"));
        QCOMPARE(x.screen->nationName()->text(), QStringLiteral("Marshall Islands"));
        x.enter();
        for (const auto &[index, text] : QList<std::pair<int, QString>>{{2, "V01"}, {3, "MSC"}, {25, "AGT01"}, {4, "J. SMITH"}}) {
            QCOMPARE(x.focus(), x.f(index));
            x.type(index, text);
            x.enter();
        }
        QCOMPARE(x.focus(), x.f(5));
        prompter.clear();
        x.type(5, QStringLiteral("QQ"));
        QVERIFY(x.screen->nationName()->text().isEmpty());
        x.enter();
        QCOMPARE(x.focus(), x.f(5));
        QCOMPARE(prompter.messages(), QStringList{"Cannot find Nationality in Master .."});
        x.type(5, QStringLiteral("IN"));
        QCOMPARE(x.screen->nationName()->text(), QStringLiteral("India"));
        x.enter();
        // Last Port 1 may not be left empty; a port typed by its name stores its code
        QComboBox *combo = x.screen->portCombo();
        QCOMPARE(x.focus(), combo);
        x.enter();
        QCOMPARE(x.focus(), combo);
        QCOMPARE(x.screen->statusText(), QStringLiteral("Last Port 1 is required"));
        QTest::keyClick(combo, Qt::Key_Backtab, Qt::ShiftModifier); // going back is always allowed
        QCOMPARE(x.focus(), x.f(5));
        x.enter();
        QCOMPARE(x.focus(), combo);
        QTest::keyClicks(combo, QStringLiteral("Singapore-SGSIN"));
        QCOMPARE(x.f(8)->text(), QStringLiteral("SGSIN"));
        x.enter();
        QCOMPARE(x.focus(), x.f(110)); // Last Port 2 and 3 are optional
        x.enter();
        x.enter();
        QCOMPARE(x.focus(), x.f(11));
        x.enter();
        x.enter();
        x.type(13, QStringLiteral("CELL"));
        x.enter();
        x.enter(); // Light H. Dues is mandatory
        QCOMPARE(x.focus(), x.f(26));
        QTest::keyClicks(x.f(26), QStringLiteral("12a.5")); // digits and "." only
        QCOMPARE(x.f(26)->text(), QStringLiteral("12.5"));
        x.enter();
        x.type(23, QStringLiteral("CONTAINERS"));
        // the fields below follow in reading order: arrival, its time, port, terminal
        for (int index : {101, 102, 100, 103}) {
            x.enter();
            QCOMPARE(x.focus(), x.f(index));
        }
        // and stand in that order down the right half, under Cargo Desc.
        const int order[] = {23, 101, 100, 103};
        for (int k = 1; k < 4; ++k) {
            const QPoint above = x.f(order[k - 1])->mapTo(x.screen.get(), QPoint(0, 0));
            const QPoint below = x.f(order[k])->mapTo(x.screen.get(), QPoint(0, 0));
            QCOMPARE(below.x(), above.x());
            QVERIFY(below.y() > above.y());
        }
        QTest::keyClick(x.focus(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(prompter.messages(), QStringList{"Cannot find Nationality in Master .."});
        auto q = t.db().query(QStringLiteral("select vslname, vslnation, lastport, portarrival, terminalop, grt, lhdues, "
                                             "lastport1 from vesinfo where vslcode = 'MRNSTR'"));
        QVERIFY(q.isOk() && q->next());
        QCOMPARE(q->value(0).toString(), QStringLiteral("MARINE STAR"));
        QCOMPARE(q->value(1).toString(), QStringLiteral("IN"));
        QCOMPARE(q->value(2).toString(), QStringLiteral("SGSIN"));
        QCOMPARE(q->value(3).toString(), QStringLiteral("INNSA1"));
        QCOMPARE(q->value(4).toString(), QStringLiteral("PORT"));
        QCOMPARE(q->value(5).toDouble(), 35881.5);
        QCOMPARE(q->value(6).toDouble(), 12.5);
        QVERIFY(q->value(7).isNull());
    }

    // Edit: an emptied mandatory field holds the focus; the save stores the port of arrival
    // and terminal keyed, the optional arrival fields, and keeps the hidden columns the
    // screen does not write.
    void editForcesConstants_data() { test::addEngineRows(); }
    void editForcesConstants()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        QVERIFY(insertVoyage(t.db(), "SEAPRL", "12", "IN", "SGSIN", "INMAA1"));
        QVERIFY(t.db().exec(QStringLiteral("update vesinfo set crewdecl = 'Y', arrtime = '9:30'")).isOk());
        Fixture x;
        QVERIFY(x.open(t.db()));
        x.screen->editRecord();
        x.f(25)->setFocus();
        x.f(25)->clear();
        x.enter();
        QCOMPARE(x.focus(), x.f(25));
        QTest::keyClicks(x.f(25), QStringLiteral("AG2"));
        // the optional arrival as filed: a time that is no time holds the focus
        QCOMPARE(x.f(102)->text(), QStringLiteral("9:30"));
        x.f(101)->setFocus();
        x.type(101, QStringLiteral("16102022")); // no date: held where it is left, with why
        x.enter();
        QCOMPARE(x.focus(), x.f(101));
        QCOMPARE(x.screen->statusText(), QStringLiteral("Exp. Arrival: \"16102022\" is not a date (dd/mm/yyyy)."));
        x.type(101, QStringLiteral("16/10/2022"));
        x.enter();
        QCOMPARE(x.focus(), x.f(102));
        x.type(102, QStringLiteral("24:00"));
        x.enter();
        QCOMPARE(x.focus(), x.f(102));
        QCOMPARE(prompter.messages(), QStringList{"\"24:00\" is not a time (H:mm, 0:00 to 23:59)."});
        prompter.clear();
        x.type(102, QStringLiteral("18:00"));
        x.enter();
        QCOMPARE(x.focus(), x.f(100));
        x.type(100, QStringLiteral("INCCU1"));
        x.enter();
        QCOMPARE(x.focus(), x.f(103));
        x.type(103, QStringLiteral("INCCU1KKP1"));
        QTest::keyClick(x.focus(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        auto arrival = t.db().query(QStringLiteral("select arrdt, arrportcd, tocode from vesinfo"));
        QVERIFY(arrival.isOk() && arrival->next());
        QCOMPARE(t.db().dialect().dateFromDb(arrival->value(0)), QDate(2022, 10, 16));
        QCOMPARE(arrival->value(1).toString(), QStringLiteral("INCCU1"));
        QCOMPARE(arrival->value(2).toString(), QStringLiteral("INCCU1KKP1"));
        auto q = t.db().query(QStringLiteral("select sagentcode, portarrival, terminalop, crewdecl, arrtime from vesinfo"));
        QVERIFY(q.isOk() && q->next());
        QCOMPARE(q->value(0).toString(), QStringLiteral("AG2"));
        QCOMPARE(q->value(1).toString(), QStringLiteral("INCCU1"));
        QCOMPARE(q->value(2).toString(), QStringLiteral("INCCU1KKP1"));
        QCOMPARE(q->value(3).toString(), QStringLiteral("Y"));
        QCOMPARE(q->value(4).toString(), QStringLiteral("18:00"));
        QCOMPARE(prompter.messages(), QStringList());
    }

    // The fields kept for today's arrival manifest follow those of the flat file: the
    // voyage call number and the next ports keyed in, an unknown port held with its
    // reason as it is left and again at save, a code chosen from its list.
    void filingFields_data() { test::addEngineRows(); }
    void filingFields()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        QVERIFY(insertVoyage(t.db(), "SEAPRL", "12", "IN", "SGSIN", "INMAA1"));
        Fixture x;
        QVERIFY(x.open(t.db()));
        x.screen->editRecord();
        x.f(103)->setFocus(); // Terminal Op., the last field of the flat file
        x.enter();
        QCOMPARE(x.focus(), x.f(120));
        x.type(120, QStringLiteral("INNSA120250123"));
        x.enter();
        QCOMPARE(x.focus(), static_cast<QWidget *>(x.screen->purposeCombo()));
        QTest::keyClick(x.focus(), Qt::Key_Down);
        QCOMPARE(x.screen->purposeCombo()->code(), QStringLiteral("1"));
        x.enter();
        QCOMPARE(x.focus(), x.f(125));
        x.type(125, QStringLiteral("2x1"));
        QCOMPARE(x.f(125)->text(), QStringLiteral("21")); // a count: digits only
        x.f(127)->setFocus();
        x.type(127, QStringLiteral("zz999"));
        x.enter();
        QCOMPARE(x.focus(), x.f(127));
        QCOMPARE(x.screen->statusText(), QStringLiteral("Next Port 1: ZZ999 is not in the port list"));
        x.type(127, QStringLiteral("lkcmb"));
        x.enter();
        QCOMPARE(x.focus(), x.f(128));
        QCOMPARE(x.f(127)->text(), QStringLiteral("LKCMB"));
        x.f(129)->setText(QStringLiteral("QQQQQ")); // never visited: held at save
        x.f(122)->setText(QStringLiteral("7"));
        QTest::keyClick(x.focus(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Edit);
        QCOMPARE(x.focus(), x.f(122));
        QCOMPARE(x.screen->statusText(), QStringLiteral("Departure time: a time is H:mm, 0:00 to 23:59"));
        x.type(122, QStringLiteral("18:30"));
        QTest::keyClick(x.focus(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(x.focus(), x.f(129));
        QCOMPARE(x.screen->statusText(), QStringLiteral("Next Port 3: QQQQQ is not in the port list"));
        x.f(129)->clear();
        QTest::keyClick(x.focus(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(prompter.messages(), QStringList());
        auto q = t.db().query(QStringLiteral("select vcn, purpcall, crewcount, nextport, nextport2, deptime, lastport, "
                                             "portarrival from vesinfo"));
        QVERIFY(q.isOk() && q->next());
        QCOMPARE(q->value(0).toString(), QStringLiteral("INNSA120250123"));
        QCOMPARE(q->value(1).toString(), QStringLiteral("1"));
        QCOMPARE(q->value(2).toInt(), 21);
        QCOMPARE(q->value(3).toString(), QStringLiteral("LKCMB"));
        QVERIFY(q->value(4).isNull() || q->value(4).toString().isEmpty());
        QCOMPARE(q->value(5).toString(), QStringLiteral("18:30"));
        QCOMPARE(q->value(6).toString(), QStringLiteral("SGSIN"));
        QCOMPARE(q->value(7).toString(), QStringLiteral("INMAA1")); // the row's own port of arrival, kept
    }

    // What a save stores as port of arrival and terminal operator: keyed, else the row's own
    // code, else the custom house's; a placeholder the row holds is no code of its own.
    void portOfArrivalAndTerminal_data()
    {
        QTest::addColumn<QString>("keyed");
        QTest::addColumn<QString>("held");
        QTest::addColumn<QString>("customHouse");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("terminalKeyed");
        QTest::addColumn<QString>("terminalHeld");
        QTest::addColumn<QString>("terminal");
        QTest::newRow("keyed") << " INCCU1 " << "INMAA1" << "INNSA1" << "INCCU1" << "KKP1" << "PORT" << "KKP1";
        QTest::newRow("imported") << "" << "INMAA1" << "INNSA1" << "INMAA1" << "" << "CCTL" << "CCTL";
        QTest::newRow("placeholders") << "" << "INIXY1" << "INNSA1" << "INNSA1" << "" << "PORT" << "PORT";
        QTest::newRow("nothing") << "" << "" << "INNSA1" << "INNSA1" << " " << "" << "PORT";
        QTest::newRow("office at INIXY1") << "" << "" << "INIXY1" << "INIXY1" << "" << "" << "PORT";
    }
    void portOfArrivalAndTerminal()
    {
        QFETCH(QString, keyed);
        QFETCH(QString, held);
        QFETCH(QString, customHouse);
        QFETCH(QString, port);
        QFETCH(QString, terminalKeyed);
        QFETCH(QString, terminalHeld);
        QFETCH(QString, terminal);
        QCOMPARE(VoyageHeader::portOfArrival(keyed, held, customHouse), port);
        QCOMPARE(VoyageHeader::terminalOperator(terminalKeyed, terminalHeld), terminal);
    }

    // Last Port 1 left empty holds a click elsewhere as it holds Tab.
    void emptyPortHoldsTheMouse()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db()));
        QTest::keyClick(x.focus(), Qt::Key_A, Qt::ControlModifier);
        QComboBox *combo = x.screen->portCombo();
        combo->setFocus(Qt::TabFocusReason);
        QTest::mouseClick(x.f(23), Qt::LeftButton);
        QTRY_COMPARE(x.focus(), static_cast<QWidget *>(combo));
        QCOMPARE(x.screen->statusText(), QStringLiteral("Last Port 1 is required"));
    }

    // Opened from another screen of the work area, it stands beside that screen.
    void placedBesideAnotherWindow()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        ScriptedPrompter prompter;
        SessionScope session(t.db());
        QMdiArea area;
        area.resize(1800, 900);
        auto *other = new QWidget;
        QMdiSubWindow *otherSub = area.addSubWindow(other);
        otherSub->setGeometry(0, 0, 700, 500);
        area.show();
        QWidget *screen = createScreen(QStringLiteral("frmVslMast"));
        QVERIFY(screen);
        QMdiSubWindow *sub = area.addSubWindow(screen);
        QVERIFY(QMetaObject::invokeMethod(screen, "placeBeside", Q_ARG(QWidget *, other)));
        sub->show();
        QCOMPARE(sub->pos(), QPoint(700, 0));
    }
};

QUARL_TEST(TestVoyageScreen)
#include "tst_frmvslmast.moc"
