#include "common/testdb.h"
#include "common/testmain.h"

#include "store/filer.h"
#include "store/schema.h"

#include <QTest>

using namespace quarl;

// The company's job numbers: each message sent to the gateway takes its own.
class TestFiler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void jobNumbers_data() { test::addEngineRows(); }
    void jobNumbers()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const Database &db = t.db();
        QCOMPARE(Filer::takeJobNumber(db).value(), 1);
        QCOMPARE(Filer::takeJobNumber(db).value(), 2);
        {
            // taken inside a writer's transaction that is then rolled back: given back
            Transaction tx(db);
            QVERIFY(tx.started().isOk());
            QCOMPARE(Filer::takeJobNumber(db).value(), 3);
        }
        QCOMPARE(Filer::takeJobNumber(db).value(), 3);
        // a second workstation takes the next one, never the same
        auto other = t.reopen();
        QVERIFY(other.isOk());
        QCOMPARE(Filer::takeJobNumber(other.value()).value(), 4);
        QCOMPARE(Filer::takeJobNumber(db).value(), 5);

        // the message takes seven digits: after the last comes 1 again; a counter spoilt by
        // hand starts at 1
        QVERIFY(db.exec(QStringLiteral("update compinfo set nextjobno = 9999999")).isOk());
        QCOMPARE(Filer::takeJobNumber(db).value(), 9999999);
        QCOMPARE(Filer::takeJobNumber(db).value(), 1);
        QVERIFY(db.exec(QStringLiteral("update compinfo set nextjobno = null")).isOk());
        QCOMPARE(Filer::takeJobNumber(db).value(), 1);
        QCOMPARE(Filer::takeJobNumber(db).value(), 2);

        Filer::Details d = Filer::read(db).value();
        QCOMPARE(d.submitterType, QStringLiteral("ASA"));
        QCOMPARE(d.nextJobNumber, 3);
        d.submitterCode = QStringLiteral("AAACE1234Q");
        d.signerPan = QStringLiteral("ABCPE1234K");
        d.nextJobNumber = 77; // not written: the counter is taken, never set
        QVERIFY(Filer::write(db, d).isOk());
        const Filer::Details back = Filer::read(db).value();
        QCOMPARE(back.submitterCode, QStringLiteral("AAACE1234Q"));
        QCOMPARE(back.signerPan, QStringLiteral("ABCPE1234K"));
        QCOMPARE(back.nextJobNumber, 3);

        // without the company's row the number is refused, not made up
        QVERIFY(db.exec(QStringLiteral("delete from compinfo")).isOk());
        const auto none = Filer::takeJobNumber(db);
        QVERIFY(!none.isOk());
        QVERIFY(none.failure().description.contains(QStringLiteral("2.2.0")));
    }
};

QUARL_TEST(TestFiler)
#include "tst_filer.moc"
