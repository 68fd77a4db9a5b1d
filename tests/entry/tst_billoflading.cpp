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

    // Keys from 1, the default destination port, edits that keep autoid, a refused commit
    // (duplicate B/L) and a refused removal that leave everything as it was, delete.
    void saveEditAndDelete_data() { test::addEngineRows(); }
    void saveEditAndDelete()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const Database &db = t.db();
        BillOfLading first = sampleBill(QStringLiteral("BL1"));
        first.containers = {sampleContainer(1), sampleContainer(2)};
        auto id1 = saveBillOfLading(db, first);
        QVERIFY2(id1, qPrintable(id1.failure().numberAndText()));
        QCOMPARE(id1.value(), qint64(1));
        QCOMPARE(db.scalar(QStringLiteral("select portdest from cargo where id = 1"))->toString(), QStringLiteral("INIXY1"));
        auto id2 = saveBillOfLading(db, sampleBill(QStringLiteral("BL2")));
        QCOMPARE(id2.value(), qint64(2));

        // the same vessel, voyage and B/L number: refused by the unique index, nothing kept
        BillOfLading dup = sampleBill(QStringLiteral("BL1"));
        dup.containers = {sampleContainer(7)};
        auto refused = saveBillOfLading(db, dup);
        QVERIFY(!refused);
        QVERIFY(!refused.failure().is(ErrorNumber::ContainerRule));
        QCOMPARE(countRows(db, QStringLiteral("cargo")), 2);
        QCOMPARE(countRows(db, QStringLiteral("contain")), 2);

        // edit: the first container changes in place, the second is removed, one is added
        auto stored = loadContainers(db, 1);
        QVERIFY(stored);
        QCOMPARE(stored->size(), 2);
        BillOfLading edit = first;
        edit.id = 1;
        edit.set(QStringLiteral("impname"), QStringLiteral("O'Brien & Co"));
        edit.containers = {stored->at(0), sampleContainer(5)};
        edit.containers[0].sealno = QStringLiteral("NEWSEAL");
        const qint64 removed = stored->at(1).autoid;

        // a removal whose save is refused is not done either
        BillOfLading bad = edit;
        bad.containers[1].socflag = QStringLiteral("X");
        QVERIFY(!saveBillOfLading(db, bad, {removed}));
        QCOMPARE(loadContainers(db, 1)->size(), 2);

        QVERIFY(saveBillOfLading(db, edit, {removed}));
        auto after = loadContainers(db, 1);
        QCOMPARE(after->size(), 2);
        QCOMPARE(after->at(0).autoid, stored->at(0).autoid);
        QCOMPARE(after->at(0).sealno, QStringLiteral("NEWSEAL"));
        QVERIFY(after->at(1).autoid != removed);
        QCOMPARE(db.scalar(QStringLiteral("select impname from cargo where id = 1"))->toString(), QStringLiteral("O'Brien & Co"));
        QCOMPARE(db.scalar(QStringLiteral("select blno from cargo where id = 1"))->toString(), QStringLiteral("BL1"));

        QVERIFY(deleteBillOfLading(db, 1));
        QCOMPARE(countRows(db, QStringLiteral("cargo")), 1);
        QCOMPARE(countRows(db, QStringLiteral("contain")), 0);

        // an edit of a row deleted meanwhile says so and stores nothing
        auto gone = saveBillOfLading(db, edit);
        QVERIFY(gone.failure().is(ErrorNumber::RowGone));
        QCOMPARE(countRows(db, QStringLiteral("contain")), 0);
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
