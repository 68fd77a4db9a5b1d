#include "common/testdb.h"
#include "common/testmain.h"

#include "store/database.h"
#include "store/rowcursor.h"

#include <QSqlQuery>
#include <QTest>

using namespace quarl;

// The large readings take their rows past the SQL driver on SQLite: each value must come
// as the driver gives it, and reusing a row's storage must never change a value someone
// else still holds.
class TestRowCursor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void valuesComeAsTheDriverGivesThem_data() { test::addEngineRows(); }
    void valuesComeAsTheDriverGivesThem()
    {
        QFETCH(QString, engine);
        QUARL_TEMP_DB(t, engine);
        const Database &db = t.db();
        const QString blob = db.engine() == Engine::SQLite ? QStringLiteral("blob") : QStringLiteral("bytea");
        QUARL_VERIFY_OK(db.exec(QStringLiteral("create table probe (k integer, t varchar(20), r double precision, b %1)").arg(blob)));
        QUARL_VERIFY_OK(db.exec(QStringLiteral("insert into probe values (?, ?, ?, ?)"),
                                {1, QStringLiteral("Stra\u00dfe \"7\""), 2.5, QByteArray("\x01\xff", 2)}));
        QUARL_VERIFY_OK(db.exec(QStringLiteral("insert into probe values (?, ?, ?, ?)"),
                                {2, QString(""), QVariant(), QByteArray("")}));
        QUARL_VERIFY_OK(db.exec(QStringLiteral("insert into probe (k) values (3)")));

        const QString sql = QStringLiteral("select k, t, r, b from probe where k >= ? order by k");
        // the driver's reading first: one connection runs one reading at a time
        std::vector<QVariantList> expected;
        {
            auto q = db.query(sql, {1});
            QUARL_VERIFY_OK(q);
            while (q->next())
                expected.push_back({q->value(0), q->value(1), q->value(2), q->value(3)});
        }
        QCOMPARE(expected.size(), size_t(3));
        auto rows = RowCursor::open(db, sql, {1});
        QUARL_VERIFY_OK(rows);
        QCOMPARE(rows->count(), 4);
        QCOMPARE(rows->name(1).toLower(), QStringLiteral("t"));
        for (size_t n = 0; n < expected.size(); ++n) {
            QVERIFY(rows->next());
            for (int i = 0; i < 4; ++i) {
                const QVariant &want = expected[n].at(i);
                const QVariant got = rows->value(i);
                const QByteArray where = QStringLiteral("row %1 column %2").arg(n).arg(i).toUtf8();
                QVERIFY2(got.isNull() == want.isNull(), where.constData());
                QVERIFY2(got.metaType() == want.metaType(),
                         (where + ": " + got.metaType().name() + " for " + want.metaType().name()).constData());
                if (!want.isNull()) // byte for byte: a text compared as text would hide a wrong byte
                    QCOMPARE(got.toByteArray(), want.toByteArray());
            }
        }
        QVERIFY(!rows->next());
        QUARL_VERIFY_OK(rows->status());
    }

    void reusedStorageLeavesSharedValuesAlone()
    {
        QUARL_TEMP_DB(t, QStringLiteral("sqlite"));
        const Database &db = t.db();
        QUARL_VERIFY_OK(db.exec(QStringLiteral("create table probe (k integer, t varchar(20))")));
        QUARL_VERIFY_OK(db.exec(QStringLiteral("insert into probe values (1, 'FIRST'), (2, 'SECOND'), (3, NULL), (4, 'x')")));
        auto rows = RowCursor::open(db, QStringLiteral("select cast(t as blob) from probe order by k"), {});
        QUARL_VERIFY_OK(rows);
        QVariant slot;
        QVERIFY(rows->next());
        rows->valueInto(0, slot);
        const QVariant kept = slot; // a copy the caller keeps, as a finished record does
        QVERIFY(rows->next());
        rows->valueInto(0, slot);
        QCOMPARE(kept.toByteArray(), QByteArray("FIRST"));
        QCOMPARE(slot.toByteArray(), QByteArray("SECOND"));
        QVERIFY(rows->next());
        rows->valueInto(0, slot);
        QVERIFY(slot.isNull());
        QVERIFY(rows->next());
        rows->valueInto(0, slot);
        QCOMPARE(slot.toByteArray(), QByteArray("x"));
        QVERIFY(!rows->next());
    }

    void aFailingStatementIsReported_data() { test::addEngineRows(); }
    void aFailingStatementIsReported()
    {
        QFETCH(QString, engine);
        QUARL_TEMP_DB(t, engine);
        auto rows = RowCursor::open(t.db(), QStringLiteral("select nothing from nowhere"), {});
        QVERIFY(!rows.isOk());
        QVERIFY(!rows.failure().numberAndText().isEmpty());
    }
};

QUARL_TEST(TestRowCursor)
#include "tst_rowcursor.moc"
