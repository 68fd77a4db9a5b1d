#include "common/testdb.h"
#include "common/testmain.h"

#include "manifest/syntheticvoyage.h"
#include "store/cargokeys.h"
#include "store/schema.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

#include <functional>

using namespace quarl;

namespace {

// Runs work on a connection of its own in another thread, as a second workstation would.
class Workstation : public QThread
{
public:
    Workstation(const test::TempDatabase &t, std::function<Status(const Database &)> work)
        : m_t(t), m_work(std::move(work))
    {
    }
    Status result;
    qint64 elapsedMs = 0;

protected:
    void run() override
    {
        QElapsedTimer timer;
        timer.start();
        auto db = m_t.reopen();
        result = db ? m_work(db.value()) : Status(db.failure());
        elapsedMs = timer.elapsed();
    }

private:
    const test::TempDatabase &m_t;
    std::function<Status(const Database &)> m_work;
};

Status insertLine(const Database &db, qint64 id, const QString &bill)
{
    return db.exec(QStringLiteral("insert into cargo (id, vslcode, voyno, lineno, sublineno, blno) values (?, 'KEYS', '1', 0, 0, ?)"),
                   {id, bill});
}

// Collects warnings such as "Unable to free statement".
QStringList *warnings = nullptr;
void collect(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (warnings && type != QtDebugMsg && type != QtInfoMsg)
        warnings->append(text);
}

} // namespace

class TestCargoKeys : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Database::setLockWait(60000); }

    void twoWorkstationsTakeKeysAtOnce_data() { test::addEngineRows(); }
    void twoWorkstationsTakeKeysAtOnce()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(insertLine(t.db(), 41, QStringLiteral("OLD")).isOk());

        // The first workstation holds a new key in an open transaction.
        Transaction first(t.db());
        QVERIFY(first.started().isOk());
        auto key = nextCargoId(t.db());
        QVERIFY2(key.isOk(), qPrintable(key.failure().numberAndText()));
        QCOMPARE(key.value(), qint64(42));
        QVERIFY(insertLine(t.db(), key.value(), QStringLiteral("FIRST")).isOk());

        // The second asks meanwhile: it waits for the first to commit, then gets the next key.
        qint64 secondKey = 0;
        Workstation second(t, [&](const Database &db) {
            Transaction tx(db);
            if (!tx.started())
                return tx.started();
            auto k = nextCargoId(db);
            if (!k)
                return k.status();
            secondKey = k.value();
            if (Status s = insertLine(db, secondKey, QStringLiteral("SECOND")); !s)
                return s;
            return tx.commit();
        });
        second.start();
        QVERIFY(!second.wait(700)); // still waiting for the lock
        QVERIFY(first.commit().isOk());
        QVERIFY(second.wait(15000));
        QVERIFY2(second.result.isOk(), qPrintable(second.result.failure().numberAndText()));
        QCOMPARE(secondKey, qint64(43));
        QCOMPARE(t.db().scalar(QStringLiteral("select count(distinct id) from cargo")).value().toInt(), 3);

        // Outside a transaction the lock would not hold: refused.
        QVERIFY(!nextCargoId(t.db()).isOk());
    }

    void lockHeldPastTheWaitGivesAClearMessage_data() { test::addEngineRows(); }
    void lockHeldPastTheWaitGivesAClearMessage()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        Transaction holder(t.db());
        QVERIFY(holder.started().isOk());
        QVERIFY(nextCargoId(t.db()).isOk());

        // A real writer on a second workstation, with a one-second wait.
        Database::setLockWait(1000);
        Workstation writer(t, [](const Database &db) {
            igm::SyntheticVoyage v;
            v.vessel = QStringLiteral("WAITER");
            v.voyage = QStringLiteral("1");
            v.lines = 3;
            v.containers = 3;
            return igm::addSyntheticVoyage(db, v);
        });
        writer.start();
        QVERIFY(writer.wait(30000));
        QVERIFY(!writer.result.isOk());
        const Failure f = writer.result.failure();
        QVERIFY2(f.description.startsWith(QLatin1String("The company database stayed locked by another workstation for "
                                                        "more than 1 seconds; nothing was changed.")),
                 qPrintable(f.numberAndText()));
        QVERIFY2(f.code == QLatin1String(engine == QLatin1String("postgres") ? "55P03" : "5"), qPrintable(f.code));
        QVERIFY2(writer.elapsedMs >= 900 && writer.elapsedMs < 10000, qPrintable(QString::number(writer.elapsedMs)));
        QVERIFY(t.db().dialect().isTransientFailure(f.code, f.description));

        // Once the holder is done, the same writer goes through and nothing of the first try is left.
        QVERIFY(holder.commit().isOk());
        Workstation again(t, [](const Database &db) {
            igm::SyntheticVoyage v;
            v.vessel = QStringLiteral("WAITER");
            v.voyage = QStringLiteral("1");
            v.lines = 3;
            v.containers = 3;
            return igm::addSyntheticVoyage(db, v);
        });
        again.start();
        QVERIFY(again.wait(30000));
        QVERIFY2(again.result.isOk(), qPrintable(again.result.failure().numberAndText()));
        QCOMPARE(t.db().scalar(QStringLiteral("select count(*) from cargo where vslcode = 'WAITER'")).value().toInt(), 3);
    }

    void abortedTransactionLeavesNoStatement_data() { test::addEngineRows(); }
    void abortedTransactionLeavesNoStatement()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        const Database &db = t.db();
        QVERIFY(insertLine(db, 1, QStringLiteral("ONE")).isOk());
        QStringList seen;
        warnings = &seen;
        const QtMessageHandler previous = qInstallMessageHandler(collect);
        {
            Transaction tx(db);
            QVERIFY(tx.started().isOk());
            QVERIFY(insertLine(db, 2, QStringLiteral("TWO")).isOk());
            // a prepared statement of the caller's own, failing after the guard was made
            QSqlQuery own(db.handle());
            QVERIFY(own.prepare(QStringLiteral("insert into cargo (id, vslcode, voyno, blno) values (?, 'KEYS', '1', ?)")));
            own.addBindValue(1);
            own.addBindValue(QStringLiteral("DUPLICATE"));
            QVERIFY(!own.exec());
            const Failure f = db.failed(own.lastError());
            QVERIFY(!f.code.isEmpty());
            // a failing statement through the connection
            QVERIFY(!insertLine(db, 1, QStringLiteral("AGAIN")).isOk());
            if (db.engine() == Engine::PostgreSQL) {
                // the server has given up the transaction: later statements are refused, not
                // committed one by one, and the work is never reported as saved
                QVERIFY(!insertLine(db, 3, QStringLiteral("THREE")).isOk());
                QVERIFY(!tx.commit().isOk());
            }
        }
        qInstallMessageHandler(previous);
        warnings = nullptr;
        QVERIFY2(seen.isEmpty(), qPrintable(seen.join(QLatin1Char('\n'))));
        QVERIFY(!db.inTransaction());
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from cargo")).value().toInt(), 1);
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from cargo where id = 3")).value().toInt(), 0);
        if (db.engine() == Engine::PostgreSQL)
            QCOMPARE(db.scalar(QStringLiteral("select count(*) from pg_prepared_statements")).value().toInt(), 0);
        // the connection goes on working
        Transaction next(db);
        QVERIFY(next.started().isOk());
        QVERIFY(insertLine(db, 2, QStringLiteral("TWO")).isOk());
        QVERIFY(next.commit().isOk());
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from cargo")).value().toInt(), 2);
    }
};

QUARL_TEST(TestCargoKeys)
#include "tst_cargokeys.moc"
