#include "cargotest.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "entry/billoflading.h"
#include "store/schema.h"

#include <QSet>
#include <QTest>

#include <thread>

using namespace quarl;
using cargotest::countRows;
using cargotest::sampleBill;
using cargotest::sampleContainer;

class TestBillOfLading : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every rule in its order: the first faulty row's message, and nothing written.
    void containerRulesWriteNothing_data() { test::addEngineRows(); }
    void containerRulesWriteNothing()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        struct Case
        {
            std::function<void(Container &)> spoil;
            const char *message;
        };
        const QList<Case> cases = {
            {[](Container &c) { c.containno = QStringLiteral("ABCD12345678"); }, "Check Container No. Value"},
            {[](Container &c) { c.containno = QStringLiteral("ABCD12345"); }, "Check Container No. Value"},
            {[](Container &c) { c.sealno = QString(16, QLatin1Char('S')); }, "Seal No. should be less then 15 Characters"},
            {[](Container &c) { c.agentcode = QStringLiteral("AGENT12345X"); }, "Agent Code should be less then 10 Characters"},
            {[](Container &c) { c.constatus = QStringLiteral("FC"); }, "Status should be 3 Characters"},
            {[](Container &c) { c.constatus = QStringLiteral("fcl"); }, "Container Status should be FCL/LCL/MTY"},
            {[](Container &c) { c.pkgs = QStringLiteral("4O0"); }, "Container Packages should be a whole number"},
            {[](Container &c) { c.weight = QStringLiteral("22G1"); }, "Container Weight should be a number of tonnes"},
            {[](Container &c) { c.weight = QStringLiteral("-5"); }, "Container Weight should be a number of tonnes"},
            {[](Container &c) { c.weight = QStringLiteral("99.01"); }, "Container Weight should not be more then 99 MT"},
            {[](Container &c) { c.isocode = QStringLiteral("22G"); }, "ISO Code should 4 Characters"},
            {[](Container &c) { c.isocode = QStringLiteral("99X9"); }, "Invalid ISO Code..."},
            {[](Container &c) { c.socflag = QStringLiteral("y"); }, "SOC Flag should be Y / N"},
        };
        for (const Case &c : cases) {
            BillOfLading bol = sampleBill(QStringLiteral("BL1"));
            bol.containers = {sampleContainer(1), sampleContainer(2), sampleContainer(3)};
            c.spoil(bol.containers[2]);
            auto saved = saveBillOfLading(t.db(), bol);
            QVERIFY(!saved);
            QCOMPARE(saved.failure().description, QString::fromLatin1(c.message));
            QVERIFY(saved.failure().is(ErrorNumber::ContainerRule));
            QCOMPARE(countRows(t.db(), QStringLiteral("cargo")), 0);
            QCOMPARE(countRows(t.db(), QStringLiteral("contain")), 0);
        }
        // the edges that pass: weight 99, an 11-character number, an empty row in between
        BillOfLading bol = sampleBill(QStringLiteral("BL1"));
        bol.containers = {sampleContainer(1), Container{}, sampleContainer(3)};
        bol.containers[0].weight = QStringLiteral("99");
        bol.containers[2].containno = QStringLiteral("ABCD1234567");
        QVERIFY(saveBillOfLading(t.db(), bol));
        QCOMPARE(countRows(t.db(), QStringLiteral("contain")), 2);
    }

    // What the screen tests do not reach: the default destination port, a quote kept as
    // typed, and an edit of a row deleted meanwhile, which stores nothing.
    void defaultPortAndVanishedRow_data() { test::addEngineRows(); }
    void defaultPortAndVanishedRow()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const Database &db = t.db();
        BillOfLading bol = sampleBill(QStringLiteral("BL1"));
        bol.set(QStringLiteral("impname"), QStringLiteral("O'Brien & Co"));
        auto id = saveBillOfLading(db, bol);
        QVERIFY2(id, qPrintable(id.failure().numberAndText()));
        QCOMPARE(id.value(), qint64(1));
        QCOMPARE(db.scalar(QStringLiteral("select portdest from cargo where id = 1"))->toString(), QStringLiteral("INIXY1"));
        QCOMPARE(db.scalar(QStringLiteral("select impname from cargo where id = 1"))->toString(), QStringLiteral("O'Brien & Co"));
        QVERIFY(deleteBillOfLading(db, 1));
        bol.id = 1;
        bol.containers = {sampleContainer(1)};
        auto gone = saveBillOfLading(db, bol);
        QVERIFY(gone.failure().is(ErrorNumber::RowGone));
        QCOMPARE(countRows(db, QStringLiteral("contain")), 0);
    }

    // A container the database refuses after every rule passed (packages beyond the
    // column's range on PostgreSQL, a refusing trigger on SQLite) undoes the whole save: a
    // new bill of lading leaves no row, an edited one keeps what was stored.
    void refusedContainerWriteStoresNothing_data() { test::addEngineRows(); }
    void refusedContainerWriteStoresNothing()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const Database &db = t.db();
        Container refused = sampleContainer(9);
        if (t.engine() == Engine::PostgreSQL) {
            refused.pkgs = QStringLiteral("3000000000");
        } else {
            QVERIFY(db.exec(QStringLiteral("create trigger refuse_container before insert on contain "
                                           "when new.containno = 'MSCU0000009' begin select raise(abort, 'disk I/O error'); end")));
        }
        BillOfLading bol = sampleBill(QStringLiteral("BL1"));
        bol.containers = {sampleContainer(1), refused};
        auto saved = saveBillOfLading(db, bol);
        QVERIFY(!saved);
        QVERIFY2(!saved.failure().is(ErrorNumber::ContainerRule), qPrintable(saved.failure().numberAndText()));
        QCOMPARE(countRows(db, QStringLiteral("cargo")), 0);
        QCOMPARE(countRows(db, QStringLiteral("contain")), 0);

        bol.containers = {sampleContainer(1)};
        auto id = saveBillOfLading(db, bol);
        QVERIFY2(id, qPrintable(id.failure().numberAndText()));
        BillOfLading edit = sampleBill(QStringLiteral("BL1"));
        edit.id = id.value();
        edit.set(QStringLiteral("impname"), QStringLiteral("Changed"));
        Container kept = sampleContainer(1);
        kept.autoid = db.scalar(QStringLiteral("select autoid from contain")).value().toLongLong();
        kept.sealno = QStringLiteral("CHANGED");
        edit.containers = {kept, refused};
        QVERIFY(!saveBillOfLading(db, edit));
        QCOMPARE(db.scalar(QStringLiteral("select impname from cargo"))->toString(), QStringLiteral("Importer"));
        QCOMPARE(db.scalar(QStringLiteral("select sealno from contain"))->toString(), QStringLiteral("SEAL1"));
        QCOMPARE(countRows(db, QStringLiteral("contain")), 1);
    }

    // Two workstations saving new bills of lading at the same moment: distinct keys, no failures.
    void concurrentSavesGetDistinctKeys_data() { test::addEngineRows(); }
    void concurrentSavesGetDistinctKeys()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        constexpr int PerWriter = 15;
        QStringList errors[2];
        auto writer = [&](int w) {
            auto db = t.reopen();
            if (!db) {
                errors[w] << db.failure().description;
                return;
            }
            for (int i = 0; i < PerWriter; ++i) {
                BillOfLading bol = sampleBill(QStringLiteral("W%1N%2").arg(w).arg(i));
                bol.containers = {sampleContainer(i)};
                if (auto r = saveBillOfLading(db.value(), bol); !r)
                    errors[w] << r.failure().numberAndText();
            }
            db->close();
        };
        std::thread a(writer, 0), b(writer, 1);
        a.join();
        b.join();
        QVERIFY2(errors[0].isEmpty() && errors[1].isEmpty(), qPrintable((errors[0] + errors[1]).join(QLatin1Char('\n'))));
        QCOMPARE(countRows(t.db(), QStringLiteral("cargo")), 2 * PerWriter);
        QCOMPARE(t.db().scalar(QStringLiteral("select max(id) from cargo"))->toInt(), 2 * PerWriter);
        QCOMPARE(t.db().scalar(QStringLiteral("select count(distinct ref) from contain"))->toInt(), 2 * PerWriter);
    }
};

QUARL_TEST(TestBillOfLading)
#include "tst_billoflading.moc"
