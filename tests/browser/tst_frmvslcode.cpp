#include "browsertest.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "browser/ui/frmvslcode.h"
#include "core/scriptedprompter.h"
#include "core/ui/screenregistry.h"
#include "store/schema.h"

#include <QApplication>
#include <QTest>

#include <memory>

using namespace quarl;
using test::button;
using test::field;
using test::statusLine;

namespace {

// The vessel code screen over a company database with the given vessel codes.
struct Fixture
{
    std::unique_ptr<test::SessionScope> session;
    std::unique_ptr<frmVslCode> screen;

    bool open(const Database &db, const QString &rights = QStringLiteral(" SU"))
    {
        session = std::make_unique<test::SessionScope>(db, rights);
        screen = std::make_unique<frmVslCode>();
        return test::showActive(screen.get());
    }
    QLineEdit *f(int index) const { return field(screen.get(), index); }
    QString status() const { return statusLine(screen.get()); }
};

// The vessel codes with the name and nationality as optional fields (indexes 100 and up).
class OptionalNameBrowser : public RecordBrowser
{
public:
    OptionalNameBrowser()
    {
        addFieldRow(QStringLiteral("Vessel Code"), 6, QStringLiteral("VESSEL_CD"));
        addFieldRow(QStringLiteral("Name"), 101, QStringLiteral("VESSEL_NM"));
        addFieldRow(QStringLiteral("Nationality"), 105, QStringLiteral("VESSEL_NATION"));
    }

protected:
    RecordSource recordSource() const override
    {
        return {QStringLiteral("D_VESSEL_CD"), QString(), {}, QStringLiteral("VESSEL_CD")};
    }
};

} // namespace

class TestVesselCodeScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void registeredByName()
    {
        QVERIFY(hasScreen(QStringLiteral("frmVslCode")));
        std::unique_ptr<QWidget> w(createScreen(QStringLiteral("frmVslCode")));
        QVERIFY(qobject_cast<frmVslCode *>(w.get()));
        QCOMPARE(w->windowTitle(), QStringLiteral("Vessel Code"));
    }

    void opensOnLastRowOrEmpty_data() { test::addEngineRows(); }
    void opensOnLastRowOrEmpty()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        {
            Fixture x;
            QVERIFY(x.open(t.db()));
            for (int i : {6, 1, 5, 11, 12})
                QVERIFY2(x.f(i) && x.f(i)->text().isEmpty(), qPrintable(QString::number(i)));
            QCOMPARE(x.status(), QString());
            QCOMPARE(x.screen->focusWidget(), button(x.screen.get(), "cmdAdd"));
            QVERIFY(x.f(6)->isReadOnly());
            QVERIFY(!button(x.screen.get(), "cmdUpdate")->isVisible());
        }
        QVERIFY(test::insertVessel(t.db(), QStringLiteral("MRNSTR"), QStringLiteral("MARINE STAR"), "MH", 35881.5, 17042.0));
        QVERIFY(test::insertVessel(t.db(), QStringLiteral("ARBBRZ")));
        QVERIFY(test::insertVessel(t.db(), QStringLiteral("SEAPRL")));
        Fixture x;
        QVERIFY(x.open(t.db()));
        QCOMPARE(x.f(6)->text(), QStringLiteral("SEAPRL"));
        QCOMPARE(x.status(), QStringLiteral("Record: 3"));
        QCOMPARE(x.f(6)->maxLength(), 32767); // the limit is the validator's, so longer stored text shows whole
        QTest::keyClick(x.f(6), Qt::Key_Up);
        QTest::keyClick(x.f(6), Qt::Key_Up);
        QCOMPARE(x.f(6)->text(), QStringLiteral("ARBBRZ"));
        QTest::keyClick(x.f(6), Qt::Key_Down);
        QCOMPARE(x.f(6)->text(), QStringLiteral("MRNSTR"));
        QCOMPARE(x.f(1)->text(), QStringLiteral("MARINE STAR"));
        QCOMPARE(x.f(5)->text(), QStringLiteral("MH"));
        QCOMPARE(x.f(11)->text(), QStringLiteral("35881.5"));
        QCOMPARE(x.f(12)->text(), QStringLiteral("17042"));
        QCOMPARE(x.status(), QStringLiteral("Record: 2"));
        QCOMPARE(prompter.messages(), QStringList());
    }

    void addThenCancel_data() { test::addEngineRows(); }
    void addThenCancel()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        {
            // on an empty table Cancel leaves it empty
            Fixture x;
            QVERIFY(x.open(t.db()));
            QTest::keyClick(x.screen.get(), Qt::Key_A, Qt::ControlModifier);
            QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
            QCOMPARE(x.status(), QStringLiteral("Add record"));
            QTest::keyClicks(x.f(6), QStringLiteral("NEWONE"));
            QTest::keyClick(x.f(6), Qt::Key_Escape);
            QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
            QCOMPARE(x.f(6)->text(), QString());
            QVERIFY(test::vesselCodes(t.db()).isEmpty());
            QVERIFY(x.screen->adoPrimaryRS().isEmpty());
        }
        for (const char *code : {"AAA", "BBB", "CCC"})
            QVERIFY(test::insertVessel(t.db(), QLatin1String(code)));
        Fixture x;
        QVERIFY(x.open(t.db()));
        x.screen->moveFirst();
        x.screen->moveNext();
        QCOMPARE(x.f(6)->text(), QStringLiteral("BBB"));
        button(x.screen.get(), "cmdAdd")->click();
        QCOMPARE(x.f(6)->text(), QString());
        QCOMPARE(x.screen->focusWidget(), x.f(6));
        QTest::keyClicks(x.f(6), QStringLiteral("DDD"));
        button(x.screen.get(), "cmdCancel")->click();
        QCOMPARE(x.f(6)->text(), QStringLiteral("BBB"));
        QCOMPARE(x.status(), QStringLiteral("Record: 2"));
        QCOMPARE(test::vesselCodes(t.db()), (QStringList{"AAA", "BBB", "CCC"}));
        QCOMPARE(x.screen->adoPrimaryRS().count(), 3);
    }

    void addTypeUpdate_data() { test::addEngineRows(); }
    void addTypeUpdate()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        QVERIFY(test::insertVessel(t.db(), QStringLiteral("MMM")));
        QVERIFY(test::insertVessel(t.db(), QStringLiteral("ZZZ")));
        Fixture x;
        QVERIFY(x.open(t.db()));
        // keyboard only: Ctrl+A, the fields with Enter between them, Ctrl+S
        QTest::keyClick(x.screen->focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(x.screen->focusWidget(), x.f(6));
        const QList<std::pair<int, QString>> typed = {{6, "AAA"}, {1, "ALPHA STAR"}, {5, "IN"}, {11, "1234.5"}, {12, "600"}};
        for (const auto &[index, text] : typed) {
            QCOMPARE(x.screen->focusWidget(), x.f(index));
            QTest::keyClicks(x.f(index), text);
            QTest::keyClick(x.f(index), Qt::Key_Return);
        }
        QTest::keyClick(x.screen->focusWidget(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.messages(), QStringList());
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(x.screen->focusWidget(), button(x.screen.get(), "cmdAdd"));
        // the new row is the current, last row until the next refresh
        QCOMPARE(x.f(6)->text(), QStringLiteral("AAA"));
        QCOMPARE(x.status(), QStringLiteral("Record: 3"));
        QVERIFY(x.f(6)->isReadOnly());
        auto q = t.db().query(QStringLiteral("select VESSEL_NM, VESSEL_NATION, grt, nrt from D_VESSEL_CD where VESSEL_CD = ?"), {"AAA"});
        QVERIFY(q.isOk() && q->next());
        QCOMPARE(q->value(0).toString(), QStringLiteral("ALPHA STAR"));
        QCOMPARE(q->value(1).toString(), QStringLiteral("IN"));
        QCOMPARE(q->value(2).toDouble(), 1234.5);
        QCOMPARE(q->value(3).toDouble(), 600.0);
        x.screen->refreshRecords();
        QCOMPARE(x.f(6)->text(), QStringLiteral("AAA"));
        QCOMPARE(x.status(), QStringLiteral("Record: 1"));
    }

    void updateFailureKeepsTypedValues_data() { test::addEngineRows(); }
    void updateFailureKeepsTypedValues()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        QVERIFY(test::insertVessel(t.db(), QStringLiteral("DUP")));
        Fixture x;
        QVERIFY(x.open(t.db()));
        x.screen->addRecord();
        for (const auto &[index, text] : QList<std::pair<int, QString>>{{6, "DUP"}, {1, "SECOND"}, {5, "IN"}, {11, "1"}, {12, "1"}})
            x.f(index)->setText(text);
        x.screen->updateRecord();
        QCOMPARE(prompter.messages().size(), 1); // the database's own description of the duplicate key
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(x.f(1)->text(), QStringLiteral("SECOND"));
        QVERIFY(button(x.screen.get(), "cmdUpdate")->isVisible());
        // corrected, the same pending row is written
        x.f(6)->setText(QStringLiteral("DUP2"));
        x.screen->updateRecord();
        QCOMPARE(prompter.messages().size(), 1);
        QCOMPARE(test::vesselCodes(t.db()), (QStringList{"DUP", "DUP2"}));
        QCOMPARE(x.f(1)->text(), QStringLiteral("SECOND"));
    }

    void editChangeEscape_data() { test::addEngineRows(); }
    void editChangeEscape()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        QVERIFY(test::insertVessel(t.db(), QStringLiteral("KNK"), QStringLiteral("KONKAN TRADER"), "IN", 9981.0, 5321.0));
        Fixture x;
        QVERIFY(x.open(t.db()));
        button(x.screen.get(), "cmdEdit")->click();
        QCOMPARE(x.status(), QStringLiteral("Edit record"));
        QCOMPARE(x.screen->focusWidget(), x.f(6));
        x.f(1)->selectAll();
        QTest::keyClicks(x.f(1), QStringLiteral("CHANGED"));
        QTest::keyClick(x.f(1), Qt::Key_Escape);
        QCOMPARE(x.f(1)->text(), QStringLiteral("KONKAN TRADER"));
        QCOMPARE(x.status(), QStringLiteral("Record: 1"));
        QCOMPARE(t.db().scalar(QStringLiteral("select VESSEL_NM from D_VESSEL_CD")).value().toString(), QStringLiteral("KONKAN TRADER"));
        // an edit writes the changed column and leaves the others alone
        x.screen->editRecord();
        x.f(12)->setText(QStringLiteral("5400"));
        x.screen->updateRecord();
        QCOMPARE(prompter.messages(), QStringList());
        auto q = t.db().query(QStringLiteral("select VESSEL_CD, VESSEL_NM, grt, nrt from D_VESSEL_CD"));
        QVERIFY(q.isOk() && q->next());
        QCOMPARE(q->value(0).toString(), QStringLiteral("KNK"));
        QCOMPARE(q->value(1).toString(), QStringLiteral("KONKAN TRADER"));
        QCOMPARE(q->value(2).toDouble(), 9981.0);
        QCOMPARE(q->value(3).toDouble(), 5400.0);
        QVERIFY(!q->next());
        // the key itself may be changed too
        x.screen->editRecord();
        x.f(6)->setText(QStringLiteral("KNK2"));
        x.screen->updateRecord();
        QCOMPARE(test::vesselCodes(t.db()), QStringList{"KNK2"});
    }

    void mandatoryRule_data() { test::addEngineRows(); }
    void mandatoryRule()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        QVERIFY(test::insertVessel(t.db(), QStringLiteral("AAA")));
        Fixture x;
        QVERIFY(x.open(t.db()));
        // browse mode: Tab leaves the field
        x.f(6)->setFocus();
        QTest::keyClick(x.f(6), Qt::Key_Tab);
        QCOMPARE(x.screen->focusWidget(), x.f(1));
        x.screen->addRecord();
        QCOMPARE(x.screen->focusWidget(), x.f(6));
        QTest::keyClick(x.f(6), Qt::Key_Tab);
        QCOMPARE(x.screen->focusWidget(), x.f(6));
        QTest::keyClick(x.f(6), Qt::Key_Return);
        QCOMPARE(x.screen->focusWidget(), x.f(6));
        QTest::keyClicks(x.f(6), QStringLiteral("   "));
        QTest::keyClick(x.f(6), Qt::Key_Tab);
        QCOMPARE(x.screen->focusWidget(), x.f(6));
        x.f(6)->clear();
        QTest::keyClicks(x.f(6), QStringLiteral("BBB"));
        QTest::keyClick(x.f(6), Qt::Key_Tab);
        QCOMPARE(x.screen->focusWidget(), x.f(1));
        QCOMPARE(prompter.messages(), QStringList()); // never a message
        // Ctrl+S does not write a row whose mandatory fields were never visited
        QTest::keyClick(x.f(1), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(x.screen->focusWidget(), x.f(1));
        QCOMPARE(prompter.beeps(), 1);
        QCOMPARE(test::vesselCodes(t.db()), QStringList{"AAA"});
    }

    void fieldsFrom100AreOptional()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        ScriptedPrompter prompter;
        test::SessionScope session(t.db());
        OptionalNameBrowser screen;
        QVERIFY(test::showActive(&screen));
        screen.addRecord();
        QCOMPARE(screen.focusWidget(), field(&screen, 6));
        QTest::keyClicks(field(&screen, 6), QStringLiteral("OPT"));
        QTest::keyClick(field(&screen, 6), Qt::Key_Tab);
        QCOMPARE(screen.focusWidget(), field(&screen, 101));
        QTest::keyClick(field(&screen, 101), Qt::Key_Tab);
        QCOMPARE(screen.focusWidget(), field(&screen, 105));
        QTest::keyClick(field(&screen, 105), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.texts(), QStringList());
        QCOMPARE(screen.mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(test::vesselCodes(t.db()), QStringList{"OPT"});
        QVERIFY(t.db().scalar(QStringLiteral("select VESSEL_NM from D_VESSEL_CD")).value().isNull());
    }

    void digitsFilterAndMaxLength_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("grt letters dropped") << 11 << "a1b2.5c" << "12.5";
        QTest::newRow("nrt sign dropped") << 12 << "-7,5" << "75";
        QTest::newRow("grt at most 8") << 11 << "1234567890" << "12345678";
        QTest::newRow("code takes letters") << 6 << "AB-12" << "AB-12";
        QTest::newRow("code at most 10") << 6 << "ABCDEFGHIJKL" << "ABCDEFGHIJ";
        QTest::newRow("nation at most 2") << 5 << "IND" << "IN";
    }
    void digitsFilterAndMaxLength()
    {
        QFETCH(int, index);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        ScriptedPrompter prompter;
        Fixture x;
        QVERIFY(x.open(t.db()));
        x.screen->addRecord();
        QTest::keyClicks(x.f(index), typed);
        QCOMPARE(x.f(index)->text(), expected);
    }

    void longStoredValueShownWhole()
    {
        // a value longer than the field's limit (written by another program) is neither
        // cut on display nor on an edit of another field
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        ScriptedPrompter prompter;
        QVERIFY(test::insertVessel(t.db(), QStringLiteral("LONG"), QStringLiteral("N"), "IN", 123456789.25, 1.0));
        Fixture x;
        QVERIFY(x.open(t.db()));
        QCOMPARE(x.f(11)->text(), QStringLiteral("123456789.25"));
        x.screen->editRecord();
        x.f(1)->setText(QStringLiteral("NEW NAME"));
        QTest::keyClick(x.f(11), Qt::Key_End);
        QTest::keyClick(x.f(11), Qt::Key_5);
        QCOMPARE(x.f(11)->text(), QStringLiteral("123456789.25")); // may not grow
        QTest::keyClick(x.f(11), Qt::Key_Backspace);
        QCOMPARE(x.f(11)->text(), QStringLiteral("123456789.2")); // may shrink
        x.screen->cancelRecord();
        x.screen->editRecord();
        x.f(1)->setText(QStringLiteral("NEW NAME"));
        x.screen->updateRecord();
        QCOMPARE(t.db().scalar(QStringLiteral("select grt from D_VESSEL_CD")).value().toDouble(), 123456789.25);
    }

    void beepsAtBothEnds_data() { test::addEngineRows(); }
    void beepsAtBothEnds()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        for (const char *code : {"A1", "A2", "A3"})
            QVERIFY(test::insertVessel(t.db(), QLatin1String(code)));
        Fixture x;
        QVERIFY(x.open(t.db()));
        QTest::keyClick(x.f(6), Qt::Key_PageDown);
        QCOMPARE(prompter.beeps(), 1);
        QCOMPARE(x.f(6)->text(), QStringLiteral("A3"));
        button(x.screen.get(), "cmdNext")->click();
        QCOMPARE(prompter.beeps(), 2);
        QTest::keyClick(x.f(6), Qt::Key_Home);
        QCOMPARE(x.f(6)->text(), QStringLiteral("A1"));
        QCOMPARE(prompter.beeps(), 2);
        QTest::keyClick(x.f(6), Qt::Key_Up);
        QCOMPARE(prompter.beeps(), 3);
        QCOMPARE(x.f(6)->text(), QStringLiteral("A1"));
        QCOMPARE(x.status(), QStringLiteral("Record: 1"));
        // Ctrl with the arrows jumps to the ends; other modifiers run the plain command
        QTest::keyClick(x.f(6), Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(x.f(6)->text(), QStringLiteral("A3"));
        QTest::keyClick(x.f(6), Qt::Key_Up, Qt::ShiftModifier);
        QCOMPARE(x.f(6)->text(), QStringLiteral("A2"));
        QTest::keyClick(x.f(6), Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(x.f(6)->text(), QStringLiteral("A1"));
        QTest::keyClick(x.f(6), Qt::Key_End);
        QCOMPARE(x.f(6)->text(), QStringLiteral("A3"));
        QCOMPARE(prompter.beeps(), 3);
        // the navigation buttons are off while a row is pending
        x.screen->addRecord();
        QVERIFY(!button(x.screen.get(), "cmdNext")->isEnabled());
        QVERIFY(!button(x.screen.get(), "cmdExit")->isEnabled());
    }

    void deleteRows_data() { test::addEngineRows(); }
    void deleteRows()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        for (const char *code : {"A1", "A2", "A3"})
            QVERIFY(test::insertVessel(t.db(), QLatin1String(code)));
        Fixture x;
        QVERIFY(x.open(t.db()));
        prompter.answerNo();
        button(x.screen.get(), "cmdDelete")->click();
        QCOMPARE(prompter.events().last().text, QStringLiteral("Confirm Deletion ?"));
        QCOMPARE(prompter.events().last().title, QStringLiteral("Delete"));
        QCOMPARE(prompter.events().last().icon, Prompter::Icon::None);
        QCOMPARE(test::vesselCodes(t.db()).size(), 3);
        QCOMPARE(x.f(6)->text(), QStringLiteral("A3"));
        // the last row: the new last row becomes current
        prompter.answerYes();
        x.screen->deleteRecord();
        QCOMPARE(test::vesselCodes(t.db()), (QStringList{"A1", "A2"}));
        QCOMPARE(x.f(6)->text(), QStringLiteral("A2"));
        QCOMPARE(x.status(), QStringLiteral("Record: 2"));
        // a middle row: the next one becomes current
        x.screen->moveFirst();
        prompter.answerYes();
        x.screen->deleteRecord();
        QCOMPARE(x.f(6)->text(), QStringLiteral("A2"));
        QCOMPARE(x.status(), QStringLiteral("Record: 1"));
        prompter.answerYes();
        x.screen->deleteRecord();
        QVERIFY(test::vesselCodes(t.db()).isEmpty());
        QCOMPARE(x.f(6)->text(), QString());
        QCOMPARE(x.status(), QString());
        QCOMPARE(prompter.messages(), QStringList());
        QVERIFY(prompter.scriptUsedUp());
    }

    void searchLoop_data() { test::addEngineRows(); }
    void searchLoop()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        for (const char *code : {"ABC", "ABD", "ABE", "XYZ"})
            QVERIFY(test::insertVessel(t.db(), QLatin1String(code)));
        Fixture x;
        QVERIFY(x.open(t.db()));
        x.screen->moveFirst(); // ABC
        x.screen->moveNext();  // ABD
        // first match in key order; Yes walks on; Yes after the last match says so and stays on it
        prompter.answerInput(QStringLiteral("ab"));
        prompter.answerYes(3);
        button(x.screen.get(), "cmdSearch")->click();
        QCOMPARE(prompter.texts(), (QStringList{"Vessel Code to search ?", "Search Next ?", "Search Next ?",
                                                "Search Next ?", "Could not find Vessel Code"}));
        QCOMPARE(x.f(6)->text(), QStringLiteral("ABE"));
        QCOMPARE(x.status(), QStringLiteral("Record: 3"));
        // No stays on the match
        prompter.clear();
        prompter.answerInput(QStringLiteral("aB"));
        prompter.answerNo();
        x.screen->searchRecords();
        QCOMPARE(x.f(6)->text(), QStringLiteral("ABC"));
        // nothing found: back where the search began
        x.screen->moveLast();
        prompter.clear();
        prompter.answerInput(QStringLiteral("Q"));
        x.screen->searchRecords();
        QCOMPARE(prompter.texts(), (QStringList{"Vessel Code to search ?", "Could not find Vessel Code"}));
        QCOMPARE(x.f(6)->text(), QStringLiteral("XYZ"));
        // cancelled or empty input does nothing
        prompter.clear();
        prompter.answerInput(std::nullopt);
        x.screen->searchRecords();
        prompter.answerInput(QString());
        x.screen->searchRecords();
        QCOMPARE(prompter.texts().size(), 2);
        QVERIFY(prompter.scriptUsedUp());
    }

    void searchTextIsLiteral_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("found"); // empty: not found
        for (const char *engine : {"sqlite", "postgres"}) {
            auto row = [&](const char *name, const char *text, const char *found) {
                QTest::addRow("%s %s", engine, name) << QString::fromLatin1(engine) << QString::fromUtf8(text)
                                                     << QString::fromUtf8(found);
            };
            row("quote", "O'", "O'NEIL");
            row("percent", "100%", "100%X");
            row("percent alone", "%", "");
            row("underscore", "A_", "A_B");
            row("star", "A*", "A*B");
            row("star alone", "*", "");
            row("bang", "!", "");
            row("plain", "AX", "AXB");
        }
    }
    void searchTextIsLiteral()
    {
        QFETCH(QString, engine);
        QFETCH(QString, text);
        QFETCH(QString, found);
        QUARL_COMPANY_DB(t, engine);
        ScriptedPrompter prompter;
        for (const char *code : {"1000", "A_B", "A*B", "AXB", "O'NEIL", "100%X", "ZZZ"})
            QVERIFY(test::insertVessel(t.db(), QLatin1String(code)));
        Fixture x;
        QVERIFY(x.open(t.db()));
        prompter.answerInput(text);
        x.screen->searchRecords();
        if (found.isEmpty()) {
            QCOMPARE(prompter.messages(), QStringList{"Could not find Vessel Code"});
            QCOMPARE(x.f(6)->text(), QStringLiteral("ZZZ"));
        } else {
            QCOMPARE(prompter.messages(), QStringList());
            QCOMPARE(x.f(6)->text(), found);
        }
    }

    void buttonRights_data()
    {
        QTest::addColumn<QString>("rights");
        QTest::addColumn<QList<bool>>("enabled"); // add, edit, delete, refresh, search
        QTest::newRow("add and delete") << " 01 03" << QList<bool>{true, false, true, false, false};
        QTest::newRow("all but delete") << " 01 02 04 05" << QList<bool>{true, true, false, true, true};
        QTest::newRow("codes without blank") << "0102030405" << QList<bool>{false, false, false, false, false};
        QTest::newRow("super-user") << "x SU" << QList<bool>{true, true, true, true, true};
        QTest::newRow("lower-case su") << " su" << QList<bool>{false, false, false, false, false};
        QTest::newRow("empty") << "" << QList<bool>{false, false, false, false, false};
    }
    void buttonRights()
    {
        QFETCH(QString, rights);
        QFETCH(QList<bool>, enabled);
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        ScriptedPrompter prompter;
        QVERIFY(test::insertVessel(t.db(), QStringLiteral("AAA")));
        Fixture x;
        QVERIFY(x.open(t.db(), rights));
        const char *names[] = {"cmdAdd", "cmdEdit", "cmdDelete", "cmdRefresh", "cmdSearch"};
        auto check = [&](const char *when) {
            for (int i = 0; i < 5; ++i)
                QVERIFY2(button(x.screen.get(), names[i])->isEnabled() == enabled.at(i),
                         qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(names[i]), QLatin1String(when))));
        };
        check("at load");
        // the keyboard command adds whatever the button says
        QTest::keyClick(x.f(6), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Add);
        QVERIFY(button(x.screen.get(), "cmdUpdate")->isEnabled());
        QVERIFY(!button(x.screen.get(), "cmdDelete")->isVisible());
        x.f(6)->setText(QStringLiteral("BBB"));
        x.f(1)->setText(QStringLiteral("B"));
        x.f(5)->setText(QStringLiteral("IN"));
        x.f(11)->setText(QStringLiteral("1"));
        x.f(12)->setText(QStringLiteral("1"));
        x.screen->updateRecord();
        QCOMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        check("after Add and Update");
        x.screen->addRecord();
        x.screen->cancelRecord();
        check("after Add and Cancel");
        x.screen->editRecord();
        x.screen->cancelRecord();
        check("after Edit and Cancel");
        QCOMPARE(test::vesselCodes(t.db()), (QStringList{"AAA", "BBB"}));
    }

    void keyboardAlone()
    {
        // edit, find and delete through the buttons' access keys, as a user without a mouse does
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        ScriptedPrompter prompter;
        for (const char *code : {"AAA", "BBB"})
            QVERIFY(test::insertVessel(t.db(), QLatin1String(code)));
        Fixture x;
        QVERIFY(x.open(t.db()));
        QWidget *focus = x.screen->focusWidget();
        // an access key clicks its button a moment later, as the button shows itself pressed
        QTest::keyClick(focus, Qt::Key_E, Qt::AltModifier);
        QTRY_COMPARE(x.screen->mode(), RecordBrowser::Mode::Edit);
        QTest::keyClick(x.f(6), Qt::Key_Return);
        x.f(1)->selectAll();
        QTest::keyClicks(x.f(1), QStringLiteral("BRAVO"));
        QTest::keyClick(x.f(1), Qt::Key_U, Qt::AltModifier);
        QTRY_COMPARE(x.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(t.db().scalar(QStringLiteral("select VESSEL_NM from D_VESSEL_CD where VESSEL_CD = 'BBB'")).value().toString(),
                 QStringLiteral("BRAVO"));
        prompter.answerInput(QStringLiteral("a"));
        prompter.answerNo();
        QTest::keyClick(x.screen->focusWidget(), Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(x.f(6)->text(), QStringLiteral("AAA"));
        prompter.answerYes();
        QTest::keyClick(x.screen->focusWidget(), Qt::Key_D, Qt::AltModifier);
        QTRY_COMPARE(test::vesselCodes(t.db()), QStringList{"BBB"});
        QVERIFY(prompter.scriptUsedUp());
    }

    void escapeClosesAndCloseBoxAsks()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        ScriptedPrompter prompter;
        {
            Fixture x;
            QVERIFY(x.open(t.db()));
            QTest::keyClick(button(x.screen.get(), "cmdAdd"), Qt::Key_Escape);
            QVERIFY(!x.screen->isVisible());
        }
        Fixture x;
        QVERIFY(x.open(t.db()));
        x.screen->addRecord();
        x.f(6)->setText(QStringLiteral("KEPT"));
        x.f(1)->setText(QStringLiteral("K"));
        x.f(5)->setText(QStringLiteral("IN"));
        x.f(11)->setText(QStringLiteral("1"));
        x.f(12)->setText(QStringLiteral("2"));
        prompter.answerYes();
        QVERIFY(x.screen->close());
        QCOMPARE(test::vesselCodes(t.db()), QStringList{"KEPT"});
    }
};

QUARL_TEST(TestVesselCodeScreen)
#include "tst_frmvslcode.moc"
