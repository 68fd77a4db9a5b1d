#include "common/testdb.h"
#include "common/testmain.h"
#include "common/igmtestdata.h"

#include "manifest/igmmessages.h"
#include "manifest/voyageremoval.h"
#include "store/schema.h"

#include <QTest>

using namespace quarl;
using namespace quarl::igm;

namespace {
Confirm answer(bool yes, QStringList *asked)
{
    return [yes, asked](const QString &q) {
        asked->append(q);
        return yes;
    };
}
} // namespace

class TestVoyageRemoval : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answeredNo()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        const qint64 before = test::voyageRows(t.db());
        QStringList asked;
        const RemovalResult r = removeVoyage(t.db(), QStringLiteral("ABCD"), QStringLiteral("123E"), true, answer(false, &asked));
        QCOMPARE(r.outcome.kind, Outcome::Kind::Declined);
        QCOMPARE(asked, QStringList{QLatin1String(Messages::RemovalQuestion)});
        QCOMPARE(test::voyageRows(t.db()), before);
    }

    // Three lines, two with containers: all go; the containers of the other voyage, which
    // carry the same line numbers, stay; the header only with the option.
    void removesLinesAndContainers_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<bool>("withVessel");
        for (const char *engine : {"sqlite", "postgres"}) {
            QTest::addRow("%s: lines only", engine) << QString::fromLatin1(engine) << false;
            QTest::addRow("%s: with the header", engine) << QString::fromLatin1(engine) << true;
        }
    }
    void removesLinesAndContainers()
    {
        QFETCH(QString, engine);
        QFETCH(bool, withVessel);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        QVERIFY(t.db().exec(QStringLiteral("insert into vesinfo (vslcode, voyno) values ('ABCD', '123F')")).isOk());
        QStringList asked;
        const RemovalResult r = removeVoyage(t.db(), QStringLiteral("ABCD"), QStringLiteral("123E"), withVessel, answer(true, &asked));
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(r.outcome.message, QLatin1String(Messages::Removed));
        QCOMPARE(r.lines, 3);
        QCOMPARE(r.containers, 3);
        QCOMPARE(r.headers, withVessel ? 1 : 0);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from cargo where voyno = '123E'")), 0);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from contain where ref in (7, 12, 20)")), 0);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from cargo where voyno = '123F'")), 1);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from contain where ref = 15 and lineno = 1")), 1);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from vesinfo where voyno = '123E'")), withVessel ? 0 : 1);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from vesinfo where voyno = '123F'")), 1);

        // the same voyage again finds nothing
        const RemovalResult again = removeVoyage(t.db(), QStringLiteral("ABCD"), QStringLiteral("123E"), withVessel, answer(true, &asked));
        QCOMPARE(again.outcome.kind, Outcome::Kind::Refused);
        QCOMPARE(again.outcome.message, QLatin1String(Messages::NothingToRemove));
    }

    void headerWithoutLinesStays_data() { test::addEngineRows(); }
    void headerWithoutLinesStays()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(t.db().exec(QStringLiteral("insert into vesinfo (vslcode, voyno) values ('HDR', '1')")).isOk());
        QStringList asked;
        const RemovalResult r = removeVoyage(t.db(), QStringLiteral("HDR"), QStringLiteral("1"), true, answer(true, &asked));
        QCOMPARE(r.outcome.kind, Outcome::Kind::Refused);
        QCOMPARE(r.outcome.message, QLatin1String(Messages::NothingToRemove));
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from vesinfo")), 1);
    }

    void textsAsTyped()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(t.db().exec(QStringLiteral("insert into cargo (id, vslcode, voyno, blno) values (1, 'O''NEIL', '1 ', 'B')")).isOk());
        QStringList asked;
        QCOMPARE(removeVoyage(t.db(), QStringLiteral("O'NEIL"), QStringLiteral("1"), false, answer(true, &asked)).outcome.kind,
                 Outcome::Kind::Refused);
        QVERIFY(removeVoyage(t.db(), QStringLiteral("O'NEIL"), QStringLiteral("1 "), false, answer(true, &asked)).outcome.isOk());
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from cargo")), 0);
    }

    // The engine refuses to delete the lines: the containers deleted before are back.
    void errorRollsBack_data() { test::addEngineRows(); }
    void errorRollsBack()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        if (engine == QLatin1String("sqlite")) {
            QVERIFY(t.db().exec(QStringLiteral("create trigger keep before delete on cargo "
                                               "begin select raise(abort, 'lines are kept'); end")).isOk());
        } else {
            QVERIFY(t.db().exec(QStringLiteral("create function keep() returns trigger language plpgsql as "
                                               "$$ begin raise exception 'lines are kept'; end $$")).isOk());
            QVERIFY(t.db().exec(QStringLiteral("create trigger keep before delete on cargo for each row execute function keep()")).isOk());
        }
        const qint64 before = test::voyageRows(t.db());
        QStringList asked;
        const RemovalResult r = removeVoyage(t.db(), QStringLiteral("ABCD"), QStringLiteral("123E"), true, answer(true, &asked));
        QCOMPARE(r.outcome.kind, Outcome::Kind::Failed);
        QVERIFY2(r.outcome.message.contains(QStringLiteral("  ")) && r.outcome.message.contains(QStringLiteral("lines are kept")),
                 qPrintable(r.outcome.message));
        QCOMPARE(test::voyageRows(t.db()), before);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from contain where ref = 7")), 2);
    }
};

QUARL_TEST(TestVoyageRemoval)
#include "tst_voyageremoval.moc"
