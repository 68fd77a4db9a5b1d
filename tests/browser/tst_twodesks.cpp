#include "browsertest.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "browser/ui/frmvslcode.h"
#include "core/scriptedprompter.h"
#include "store/schema.h"

#include <QApplication>
#include <QTest>

#include <memory>

using namespace quarl;
using test::field;
using test::statusLine;

namespace {

// A vessel code screen of one workstation: its own connection to the shared database.
using Desk = test::Desk<frmVslCode>;

QString storedName(const Database &db, const QString &code)
{
    return db.scalar(QStringLiteral("select VESSEL_NM from D_VESSEL_CD where VESSEL_CD = ?"), {code})->toString();
}

} // namespace

class TestTwoDesks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Two workstations edit the same vessel code: the later save is refused and says so,
    // keeps what was typed, and loads the row as stored when asked; Refresh and Cancel
    // follow what the other workstation did.
    void staleScreenNeverOverwrites_data() { test::addEngineRows(); }
    void staleScreenNeverOverwrites()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        for (const char *code : {"A1", "B2", "C3"})
            QVERIFY(test::insertVessel(t.db(), QLatin1String(code)));
        auto second = t.reopen();
        QVERIFY(second.isOk());
        ScriptedPrompter prompter;
        Desk one, two;
        QVERIFY(two.open(second.value()));
        QVERIFY(one.open(t.db()));

        // both on C3; desk 2 begins, desk 1 renames and saves
        two.screen->editRecord();
        one.screen->editRecord();
        one.retype(1, QStringLiteral("RENAMED"));
        one.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(one.screen->mode(), RecordBrowser::Mode::Browse);
        // desk 2 changes the tonnage: refused, typed values kept, the other's name stays
        two.retype(11, QStringLiteral("2500"));
        prompter.answerNo();
        two.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.events().size(), 1);
        QVERIFY2(prompter.events().last().text.startsWith(QLatin1String("Another workstation changed this record after "
                                                                        "you began to edit it, so your changes were not "
                                                                        "saved.")),
                 qPrintable(prompter.events().last().text));
        QCOMPARE(two.screen->mode(), RecordBrowser::Mode::Edit);
        QCOMPARE(two.f(11)->text(), QStringLiteral("2500"));
        QCOMPARE(two.f(1)->text(), QStringLiteral("VESSEL C3"));
        QCOMPARE(storedName(t.db(), QStringLiteral("C3")), QStringLiteral("RENAMED"));
        QCOMPARE(t.db().scalar(QStringLiteral("select grt from D_VESSEL_CD where VESSEL_CD = 'C3'"))->toDouble(), 1000.0);
        // asked again, Yes loads the row as stored; the change typed again is saved over it
        prompter.answerYes();
        two.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(two.f(1)->text(), QStringLiteral("RENAMED"));
        QCOMPARE(two.f(11)->text(), QStringLiteral("1000"));
        QCOMPARE(two.screen->mode(), RecordBrowser::Mode::Edit);
        two.retype(11, QStringLiteral("2500"));
        two.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(two.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(storedName(t.db(), QStringLiteral("C3")), QStringLiteral("RENAMED"));
        QCOMPARE(t.db().scalar(QStringLiteral("select grt from D_VESSEL_CD where VESSEL_CD = 'C3'"))->toDouble(), 2500.0);
        // desk 1 still shows 1000: its next edit starts from 2500, so changing the name keeps it
        QCOMPARE(one.f(11)->text(), QStringLiteral("1000"));
        one.screen->editRecord();
        QCOMPARE(one.f(11)->text(), QStringLiteral("2500"));
        one.key(Qt::Key_Escape);

        // desk 1 deletes B2 while desk 2 edits it: the save says so and keeps what was
        // typed; Cancel then moves to the neighbour
        two.screen->movePrevious();
        QCOMPARE(two.f(6)->text(), QStringLiteral("B2"));
        two.screen->editRecord();
        two.retype(1, QStringLiteral("TYPED"));
        one.screen->movePrevious();
        prompter.answerYes();
        one.screen->deleteRecord();
        prompter.clear();
        two.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.messages().size(), 1);
        QVERIFY(prompter.messages().first().startsWith(QLatin1String("Another workstation deleted this record")));
        QCOMPARE(two.f(1)->text(), QStringLiteral("TYPED"));
        two.key(Qt::Key_Escape);
        QCOMPARE(two.f(6)->text(), QStringLiteral("C3"));
        QCOMPARE(statusLine(two.screen.get()), QStringLiteral("Record: 2"));
        QCOMPARE(test::vesselCodes(t.db()), (QStringList{"A1", "C3"}));

        // Refresh keeps the record shown when desk 1 adds one that comes before it
        QVERIFY(test::insertVessel(t.db(), QStringLiteral("A0")));
        two.screen->refreshRecords();
        QCOMPARE(two.f(6)->text(), QStringLiteral("C3"));
        QCOMPARE(statusLine(two.screen.get()), QStringLiteral("Record: 3"));
    }
};

QUARL_TEST(TestTwoDesks)
#include "tst_twodesks.moc"
