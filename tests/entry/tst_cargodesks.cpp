#include "cargotest.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "core/scriptedprompter.h"
#include "entry/ui/frmcargo.h"
#include "store/schema.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>

#include <memory>

using namespace quarl;

namespace {

// The cargo screen of one workstation, on its own connection to the shared database.
struct Desk : test::Desk<frmCargo>
{
    QString cell(int row, int column) const
    {
        const QTableWidgetItem *i = screen->grid()->item(row, column);
        return i ? i->text() : QString();
    }
    void goTo(const QString &blno)
    {
        screen->moveFirst();
        while (f(15)->text() != blno && screen->adoPrimaryRS().position() < screen->adoPrimaryRS().count() - 1)
            screen->moveNext();
    }
};

QVariant stored(const Database &db, const QString &column, const QString &blno)
{
    return db.scalar(QStringLiteral("select %1 from cargo where blno = ?").arg(column), {blno}).value();
}

void seed(const Database &db, const QString &blno, const QStringList &containers)
{
    BillOfLading bol = cargotest::sampleBill(blno);
    bol.set(QStringLiteral("pkgs"), 20);
    for (int i = 0; i < containers.size(); ++i) {
        Container c = cargotest::sampleContainer(i + 1);
        c.containno = containers.at(i);
        bol.containers << c;
    }
    QVERIFY(saveBillOfLading(db, bol));
}

} // namespace

class TestCargoDesks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Two workstations on one company, by keyboard: each stale save is refused with a
    // message and every save that went through stays; containers another desk removed
    // stay removed; a deleted key is never given to a new bill of lading.
    void twoDesksLoseNothing_data() { test::addEngineRows(); }
    void twoDesksLoseNothing()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        seed(t.db(), QStringLiteral("HLL0101"), {QStringLiteral("AAAU1000059"), QStringLiteral("AAAU1000060")});
        seed(t.db(), QStringLiteral("HLL1008"), {QStringLiteral("BBBU1000062")});
        auto second = t.reopen();
        QVERIFY(second.isOk());
        ScriptedPrompter prompter;
        Desk one, two;
        QVERIFY(two.open(second.value()));
        QVERIFY(one.open(t.db()));
        one.goTo(QStringLiteral("HLL0101"));
        two.goTo(QStringLiteral("HLL0101"));

        // desk 2 begins; desk 1 changes the importer and saves; desk 2's packages are refused
        two.key(Qt::Key_E, Qt::ControlModifier);
        one.key(Qt::Key_E, Qt::ControlModifier);
        one.retype(6, QStringLiteral("DESK ONE IMPORTER"));
        one.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(one.screen->mode(), RecordBrowser::Mode::Browse);
        two.retype(22, QStringLiteral("25"));
        prompter.answerNo();
        two.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.events().size(), 1);
        QVERIFY2(prompter.events().first().text.startsWith(
                     QLatin1String("Another workstation changed this bill of lading after you began to edit it")),
                 qPrintable(prompter.events().first().text));
        QCOMPARE(two.screen->mode(), RecordBrowser::Mode::Edit);
        QCOMPARE(two.f(22)->text(), QStringLiteral("25"));
        QCOMPARE(stored(t.db(), QStringLiteral("impname"), QStringLiteral("HLL0101")).toString(),
                 QStringLiteral("DESK ONE IMPORTER"));
        QCOMPARE(stored(t.db(), QStringLiteral("pkgs"), QStringLiteral("HLL0101")).toInt(), 20);
        // Yes loads the bill of lading as stored; 25 typed again goes through
        prompter.answerYes();
        two.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(two.f(6)->text(), QStringLiteral("DESK ONE IMPORTER"));
        QCOMPARE(two.f(22)->text(), QStringLiteral("20"));
        two.retype(22, QStringLiteral("25"));
        two.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(two.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(stored(t.db(), QStringLiteral("pkgs"), QStringLiteral("HLL0101")).toInt(), 25);
        // desk 1 still shows 20 packages: its edit starts from 25, so a new weight keeps them
        QCOMPARE(one.f(22)->text(), QStringLiteral("20"));
        one.key(Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(one.f(22)->text(), QStringLiteral("25"));
        one.retype(24, QStringLiteral("777"));
        one.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(stored(t.db(), QStringLiteral("pkgs"), QStringLiteral("HLL0101")).toInt(), 25);
        QCOMPARE(stored(t.db(), QStringLiteral("grosswt"), QStringLiteral("HLL0101")).toDouble(), 777.0);
        QCOMPARE(stored(t.db(), QStringLiteral("impname"), QStringLiteral("HLL0101")).toString(),
                 QStringLiteral("DESK ONE IMPORTER"));

        // the containers are part of the bill of lading: desk 1 removes one while desk 2
        // edits the marks; desk 2's save does not store it again
        two.key(Qt::Key_E, Qt::ControlModifier);
        one.key(Qt::Key_E, Qt::ControlModifier);
        one.screen->grid()->setFocus();
        one.screen->grid()->setCurrentCell(0, 1);
        QCOMPARE(one.cell(0, 1), QStringLiteral("AAAU1000059"));
        prompter.answerYes();
        one.key(Qt::Key_D, Qt::AltModifier);
        one.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from contain where containno = 'AAAU1000059'"))->toInt(), 0);
        auto *marks = two.screen->findChild<QPlainTextEdit *>(QStringLiteral("txtMarks"));
        marks->setFocus();
        QTest::keyClicks(marks, QStringLiteral(" MORE"));
        prompter.clear();
        prompter.answerNo();
        two.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.events().size(), 1);
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from contain where containno = 'AAAU1000059'"))->toInt(), 0);
        QCOMPARE(stored(t.db(), QStringLiteral("marks"), QStringLiteral("HLL0101")).toString(), QStringLiteral("NM"));
        two.key(Qt::Key_Escape);
        QCOMPARE(two.cell(0, 1), QStringLiteral("AAAU1000060"));

        // desk 1 deletes the last bill of lading and carries a new one: a new key; desk 2's
        // edit of the deleted one is refused and leaves the new one alone
        two.goTo(QStringLiteral("HLL1008"));
        two.key(Qt::Key_E, Qt::ControlModifier);
        two.retype(6, QStringLiteral("STALE"));
        const int deleted = stored(t.db(), QStringLiteral("id"), QStringLiteral("HLL1008")).toInt();
        one.goTo(QStringLiteral("HLL1008"));
        prompter.answerYes();
        one.screen->deleteRecord();
        one.screen->carryRecord();
        one.f(15)->setText(QStringLiteral("HLL2000"));
        one.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(one.screen->mode(), RecordBrowser::Mode::Browse);
        QVERIFY(stored(t.db(), QStringLiteral("id"), QStringLiteral("HLL2000")).toInt() > deleted);
        prompter.clear();
        two.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.messages().size(), 1);
        QVERIFY(prompter.messages().first().startsWith(QLatin1String("Another workstation deleted this bill of lading")));
        QCOMPARE(stored(t.db(), QStringLiteral("impname"), QStringLiteral("HLL2000")).toString(),
                 QStringLiteral("DESK ONE IMPORTER"));
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from cargo"))->toInt(), 2);
        // Cancel leaves the deleted one for its neighbour; Refresh then finds desk 1's new one
        two.key(Qt::Key_Escape);
        QCOMPARE(two.f(15)->text(), QStringLiteral("HLL0101"));
        two.screen->refreshRecords();
        QCOMPARE(two.f(15)->text(), QStringLiteral("HLL0101"));
        two.screen->moveLast();
        QCOMPARE(two.f(15)->text(), QStringLiteral("HLL2000"));
    }

    // House B/Ls on two desks: a save from the screen keeps a house under its master; a
    // stale save of a house another desk moved to another master is refused as for any bill
    // of lading; a master deleted takes its houses with it.
    void housesOnTwoDesks_data() { test::addEngineRows(); }
    void housesOnTwoDesks()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        for (const char *bl : {"MBL0001", "HBL0001", "HBL0002", "MBL0002"})
            seed(t.db(), QLatin1String(bl), {});
        auto id = [&](const char *bl) { return stored(t.db(), QStringLiteral("id"), QLatin1String(bl)).toLongLong(); };
        const qint64 master = id("MBL0001");
        QUARL_VERIFY_OK(t.db().exec(QStringLiteral("update cargo set lineno = 1, sublineno = 0 where id = ?"), {master}));
        for (const auto &[bl, sub] : {std::pair{"HBL0001", 1}, std::pair{"HBL0002", 2}})
            QUARL_VERIFY_OK(t.db().exec(QStringLiteral("update cargo set lineno = 1, sublineno = ?, masterid = ? where id = ?"),
                                        {sub, master, id(bl)}));
        auto second = t.reopen();
        QVERIFY(second.isOk());
        ScriptedPrompter prompter;
        Desk one, two;
        QVERIFY(one.open(t.db()));
        QVERIFY(two.open(second.value()));

        // a save from the screen keeps the house where it is
        one.goTo(QStringLiteral("HBL0001"));
        one.key(Qt::Key_E, Qt::ControlModifier);
        one.retype(6, QStringLiteral("HOUSE CONSIGNEE"));
        one.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(one.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(stored(t.db(), QStringLiteral("masterid"), QStringLiteral("HBL0001")).toLongLong(), master);
        QCOMPARE(stored(t.db(), QStringLiteral("sublineno"), QStringLiteral("HBL0001")).toInt(), 1);

        // another workstation moves house 2 under the other master while desk 2 edits it
        two.goTo(QStringLiteral("HBL0002"));
        two.key(Qt::Key_E, Qt::ControlModifier);
        auto house = loadBillOfLading(t.db(), id("HBL0002"));
        QVERIFY(house.isOk() && house->has_value());
        BillOfLading moved = **house;
        moved.set(QStringLiteral("masterid"), id("MBL0002"));
        QUARL_VERIFY_OK(saveBillOfLading(t.db(), moved, {}, &**house));
        two.retype(22, QStringLiteral("5"));
        prompter.answerNo();
        two.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.events().size(), 1);
        QVERIFY(prompter.events().first().text.startsWith(QLatin1String("Another workstation changed this bill of lading")));
        QCOMPARE(stored(t.db(), QStringLiteral("masterid"), QStringLiteral("HBL0002")).toLongLong(), id("MBL0002"));
        QCOMPARE(stored(t.db(), QStringLiteral("pkgs"), QStringLiteral("HBL0002")).toInt(), 20);
        two.key(Qt::Key_Escape);

        // desk 1 deletes the first master: its house goes with it, the other master's stays
        one.goTo(QStringLiteral("MBL0001"));
        prompter.answerYes();
        one.screen->deleteRecord();
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from cargo"))->toInt(), 2);
        QVERIFY(!stored(t.db(), QStringLiteral("id"), QStringLiteral("HBL0001")).isValid());
        QCOMPARE(stored(t.db(), QStringLiteral("masterid"), QStringLiteral("HBL0002")).toLongLong(), id("MBL0002"));
        QCOMPARE(one.screen->adoPrimaryRS().count(), 2);
    }

    // Goods items belong to the bill of lading as its containers do: a desk that began
    // before another desk changed them stores nothing over them.
    void goodsItemsChangedElsewhere_data() { test::addEngineRows(); }
    void goodsItemsChangedElsewhere()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        seed(t.db(), QStringLiteral("HLL0300"), {QStringLiteral("AAAU1000059")});
        const qint64 id = stored(t.db(), QStringLiteral("id"), QStringLiteral("HLL0300")).toLongLong();
        ScriptedPrompter prompter;
        Desk two;
        QVERIFY(two.open(t.db()));
        two.goTo(QStringLiteral("HLL0300"));
        two.key(Qt::Key_E, Qt::ControlModifier);

        auto other = loadBillOfLading(t.db(), id);
        QVERIFY(other.isOk() && other->has_value());
        BillOfLading changed = **other;
        changed.items = QList<GoodsItem>{{QStringLiteral("851712"), QStringLiteral("PHONES"), {}, {}, QStringLiteral("20"),
                                          QStringLiteral("CTN")}};
        QUARL_VERIFY_OK(saveBillOfLading(t.db(), changed, {}, &**other));

        two.retype(6, QStringLiteral("STALE IMPORTER"));
        prompter.answerNo();
        two.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.events().size(), 1);
        QVERIFY2(prompter.events().first().text.startsWith(QLatin1String("Another workstation changed this bill of lading")),
                 qPrintable(prompter.events().first().text));
        auto items = GoodsItems::load(t.db(), id);
        QVERIFY(items.isOk());
        QCOMPARE(items->size(), 1);
        QCOMPARE(items->first().hscode, QStringLiteral("851712"));
        QVERIFY(stored(t.db(), QStringLiteral("impname"), QStringLiteral("HLL0300")).toString() != QStringLiteral("STALE IMPORTER"));
    }

    // A desk whose connection the server dropped reads the bill of lading whole on a new
    // connection when its edit begins; when another desk saves first, its save is refused
    // and stores nothing over the other's.
    void editBegunAfterADropIsNoStaleSave()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("postgres"));
        seed(t.db(), QStringLiteral("HLL0400"), {QStringLiteral("AAAU1000059"), QStringLiteral("AAAU1000060")});
        const qint64 id = stored(t.db(), QStringLiteral("id"), QStringLiteral("HLL0400")).toLongLong();
        PgParams server = t.pgParams();
        server.database = QStringLiteral("postgres");
        auto admin = Database::openPostgres(server);
        QVERIFY(admin.isOk());
        auto second = t.reopen();
        QVERIFY(second.isOk());
        QVERIFY(second->scalar(QStringLiteral("select 1")).isOk());

        QVERIFY(test::dropConnection(admin.value(), second.value()));
        auto shown = loadBillOfLading(second.value(), id);
        QVERIFY2(shown.isOk(), qPrintable(shown.failure().numberAndText()));
        QVERIFY(shown->has_value());
        const BillOfLading asShown = **shown;
        QCOMPARE(asShown.value(QStringLiteral("pkgs")).toInt(), 20);
        QCOMPARE(asShown.value(QStringLiteral("blno")).toString(), QStringLiteral("HLL0400"));
        QCOMPARE(asShown.containers.size(), 2);
        QCOMPARE(second->reconnects(), 1);

        auto first = loadBillOfLading(t.db(), id);
        QVERIFY(first.isOk() && first->has_value());
        BillOfLading theirs = **first;
        theirs.set(QStringLiteral("pkgs"), 21);
        QUARL_VERIFY_OK(saveBillOfLading(t.db(), theirs, {}, &**first));

        BillOfLading mine = asShown;
        mine.set(QStringLiteral("pkgs"), 25);
        mine.set(QStringLiteral("marks"), QStringLiteral("STALE"));
        const auto refused = saveBillOfLading(second.value(), mine, {}, &asShown);
        QVERIFY(!refused.isOk());
        QVERIFY2(refused.failure().is(ErrorNumber::RowChanged), qPrintable(refused.failure().numberAndText()));
        QCOMPARE(stored(t.db(), QStringLiteral("pkgs"), QStringLiteral("HLL0400")).toInt(), 21);
        QCOMPARE(stored(t.db(), QStringLiteral("marks"), QStringLiteral("HLL0400")).toString(), QStringLiteral("NM"));
    }

    // The server goes away while a bill of lading is keyed in: the save says so with the
    // number and the text and keeps everything typed; once the server answers, the same
    // Ctrl+S stores it without leaving the screen.
    void serverRestartKeepsTheTypedBill()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("postgres"));
        seed(t.db(), QStringLiteral("HLL0101"), {QStringLiteral("AAAU1000059")});
        PgParams server = t.pgParams();
        server.database = QStringLiteral("postgres"); // a database may not shut itself out
        auto admin = Database::openPostgres(server);
        QVERIFY(admin.isOk());
        ScriptedPrompter prompter;
        Desk one;
        QVERIFY(one.open(t.db()));
        one.screen->carryRecord();
        one.f(15)->setText(QStringLiteral("HLL0102"));

        const QString name = t.pgParams().database;
        QVERIFY(admin->exec(QStringLiteral("alter database %1 allow_connections false").arg(name)).isOk());
        const QVariant pid = t.db().scalar(QStringLiteral("select pg_backend_pid()")).value();
        QVERIFY(admin->exec(QStringLiteral("select pg_terminate_backend(?)"), {pid}).isOk());
        QTRY_COMPARE(admin->scalar(QStringLiteral("select count(*) from pg_stat_activity where pid = ?"), {pid})->toInt(), 0);
        one.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.messages().size(), 1);
        const QString shown = prompter.messages().first();
        QVERIFY2(shown.contains(QRegularExpression(QStringLiteral("^\\w+  The connection to the company database was lost"))),
                 qPrintable(shown));
        QCOMPARE(one.screen->mode(), RecordBrowser::Mode::Add);
        QCOMPARE(one.f(15)->text(), QStringLiteral("HLL0102"));
        QCOMPARE(one.f(6)->text(), QStringLiteral("Importer"));

        QVERIFY(admin->exec(QStringLiteral("alter database %1 allow_connections true").arg(name)).isOk());
        one.key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(prompter.messages().size(), 1);
        QCOMPARE(one.screen->mode(), RecordBrowser::Mode::Browse);
        QCOMPARE(one.f(15)->text(), QStringLiteral("HLL0102"));
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from cargo where blno = 'HLL0102'"))->toInt(), 1);
    }
};

QUARL_TEST(TestCargoDesks)
#include "tst_cargodesks.moc"
