#include "common/testdb.h"
#include "common/testmain.h"

#include "store/cargokeys.h"
#include "store/patches.h"
#include "store/schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace quarl;

namespace {

Status insertLine(const Database &db, qint64 id)
{
    return db.exec(QStringLiteral("insert into cargo (id, vslcode, voyno, lineno, sublineno, blno) values (?, 'K', '1', 0, 0, ?)"),
                   {id, QStringLiteral("B%1").arg(id)});
}

Result<qint64> addLine(const Database &db)
{
    Transaction tx(db);
    if (!tx.started())
        return tx.started();
    auto key = nextCargoId(db);
    if (!key)
        return key;
    if (Status s = insertLine(db, key.value()); !s)
        return s;
    if (Status s = tx.commit(); !s)
        return s;
    return key;
}

} // namespace

class TestConnection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The server drops the company connection: a read runs again on a new connection, a
    // transaction begins on one; work cut off midway is rolled back and said so in plain
    // words; while the server refuses connections each try says so, and the first one
    // after it answers again goes through.
    void droppedConnectionIsMadeAgain()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("postgres"));
        PgParams server = t.pgParams();
        server.database = QStringLiteral("postgres"); // a database may not shut itself out
        auto admin = Database::openPostgres(server);
        QVERIFY(admin.isOk());
        const Database &db = t.db();

        QVERIFY(test::dropConnection(admin.value(), db));
        auto users = db.scalar(QStringLiteral("select count(*) from loguser"));
        QVERIFY2(users.isOk(), qPrintable(users.failure().numberAndText()));
        QCOMPARE(users->toInt(), 1);
        QCOMPARE(db.reconnects(), 1);

        QVERIFY(test::dropConnection(admin.value(), db));
        auto first = addLine(db);
        QVERIFY2(first.isOk(), qPrintable(first.failure().numberAndText()));
        QCOMPARE(db.reconnects(), 2);

        {
            Transaction tx(db);
            QVERIFY(tx.started().isOk());
            QVERIFY(insertLine(db, 500).isOk());
            QVERIFY(test::dropConnection(admin.value(), db));
            const Status cut = insertLine(db, 501);
            QVERIFY(!cut.isOk());
            QVERIFY2(cut.failure().description.startsWith(QLatin1String("The connection to the company database was lost")),
                     qPrintable(cut.failure().numberAndText()));
            QVERIFY(cut.failure().description.contains(QLatin1String("nothing was changed")));
            QVERIFY(!tx.commit().isOk());
        }
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from cargo where id >= 500"))->toInt(), 0);

        const QString name = t.pgParams().database;
        QVERIFY(admin->exec(QStringLiteral("alter database %1 allow_connections false").arg(name)).isOk());
        QVERIFY(test::dropConnection(admin.value(), db));
        auto refused = addLine(db);
        QVERIFY(!refused.isOk());
        QVERIFY2(refused.failure().description.contains(QLatin1String("could not be made again")),
                 qPrintable(refused.failure().numberAndText()));
        QVERIFY(!refused.failure().code.isEmpty());
        auto again = db.scalar(QStringLiteral("select count(*) from cargo"));
        QVERIFY(!again.isOk());
        QVERIFY(admin->exec(QStringLiteral("alter database %1 allow_connections true").arg(name)).isOk());
        auto back = addLine(db);
        QVERIFY2(back.isOk(), qPrintable(back.failure().numberAndText()));
        QVERIFY(back.value() > first.value());
    }

    // What the database holds (tables, a table's columns) is read on a new connection
    // after a drop, never taken for "none there". Inside a transaction the loss ends it, and
    // every statement after it says the connection was lost, also after a caller that took
    // the failed read for "no such table".
    void schemaReadsAfterADrop()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("postgres"));
        PgParams server = t.pgParams();
        server.database = QStringLiteral("postgres");
        auto admin = Database::openPostgres(server);
        QVERIFY(admin.isOk());
        const Database &db = t.db();
        const QStringList columns = db.columnNames(QStringLiteral("cargo"));
        QVERIFY(columns.contains(QStringLiteral("pkgs")));

        QVERIFY(test::dropConnection(admin.value(), db));
        QCOMPARE(db.columnNames(QStringLiteral("cargo")), columns);
        QVERIFY(test::dropConnection(admin.value(), db));
        auto listed = db.columnList(QStringLiteral("cargo"));
        QVERIFY2(listed.isOk(), qPrintable(listed.failure().numberAndText()));
        QCOMPARE(listed.value(), columns);
        QVERIFY(test::dropConnection(admin.value(), db));
        QVERIFY(db.hasTable(QStringLiteral("contain")));

        {
            Transaction tx(db);
            QVERIFY(tx.started().isOk());
            QVERIFY(insertLine(db, 600).isOk());
            QVERIFY(test::dropConnection(admin.value(), db));
            auto inside = db.columnList(QStringLiteral("contain"));
            QVERIFY(!inside.isOk());
            QVERIFY2(inside.failure().description.startsWith(QLatin1String("The connection to the company database was lost")),
                     qPrintable(inside.failure().numberAndText()));
            QVERIFY(!db.hasTable(QStringLiteral("contain"))); // the loss, taken for "not there"
            QSqlQuery straight(db.handle()); // as the file importers run theirs
            QVERIFY(!straight.exec(QStringLiteral("insert into cargo (id, vslcode, voyno, lineno, sublineno, blno) "
                                                  "values (602, 'K', '1', 0, 0, 'B602')")));
            const Failure told = db.failed(straight.lastError());
            QVERIFY2(told.description.startsWith(QLatin1String("The connection to the company database was lost")),
                     qPrintable(told.numberAndText()));
            const Status after = insertLine(db, 601);
            QVERIFY(!after.isOk());
            QVERIFY2(after.failure().description.startsWith(QLatin1String("The connection to the company database was lost")),
                     qPrintable(after.failure().numberAndText()));
            QVERIFY(after.failure().description.contains(QLatin1String("nothing was changed")));
            const Status committed = tx.commit();
            QVERIFY(!committed.isOk());
            QVERIFY2(committed.failure().description.startsWith(QLatin1String("The connection to the company database was lost")),
                     qPrintable(committed.failure().numberAndText()));
        }
        QCOMPARE(db.scalar(QStringLiteral("select count(*) from cargo where id >= 600"))->toInt(), 0);
        QCOMPARE(db.columnNames(QStringLiteral("contain")).isEmpty(), false);
    }

    // Keys never go back: not after the last bill of lading is deleted, not after a writer
    // counted on from its first key. An older database gets the counter from upgrade 2.3.0,
    // started from its largest key; a new one has it from the start.
    void keysAreNeverTakenTwice_data() { test::addEngineRows(); }
    void keysAreNeverTakenTwice()
    {
        QFETCH(QString, engine);
        QUARL_TEMP_DB(t, engine);
        const Database &db = t.db();
        QVERIFY(Schema::createCompanyDatabase(db, {true}).isOk());
        QVERIFY(!hasCargoKeyCounter(db).value());
        QVERIFY(insertLine(db, 14).isOk());
        QVERIFY(insertLine(db, 15).isOk());
        QCOMPARE(Patches::run(PatchId::CargoKeys230, db).outcome, PatchResult::Outcome::Applied);
        QCOMPARE(Patches::run(PatchId::CargoKeys230, db).outcome, PatchResult::Outcome::AlreadyApplied);

        QVERIFY(db.exec(QStringLiteral("delete from cargo where id = 15")).isOk());
        QCOMPARE(addLine(db).value(), qint64(16));
        QVERIFY(db.exec(QStringLiteral("delete from cargo where id = 16")).isOk());
        QCOMPARE(addLine(db).value(), qint64(17));
        {
            Transaction tx(db);
            QVERIFY(tx.started().isOk());
            const qint64 from = nextCargoId(db).value();
            QCOMPARE(from, qint64(18));
            for (qint64 id = from; id < from + 3; ++id)
                QVERIFY(insertLine(db, id).isOk());
            QVERIFY(tx.commit().isOk());
        }
        QVERIFY(db.exec(QStringLiteral("delete from cargo where id >= 17")).isOk());
        QCOMPARE(addLine(db).value(), qint64(21));

        QUARL_COMPANY_DB(fresh, engine);
        QVERIFY(hasCargoKeyCounter(fresh.db()).value());
        QCOMPARE(addLine(fresh.db()).value(), qint64(1));
    }
};

QUARL_TEST(TestConnection)
#include "tst_connection.moc"
