#include "common/testdb.h"
#include "common/testmain.h"
#include "common/igmtestdata.h"

#include "filing/igmwriter.h"
#include "manifest/igmmessages.h"
#include "manifest/syntheticvoyage.h"
#include "store/schema.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace quarl;
using namespace quarl::igm;

class TestIgmWriter : public QObject
{
    Q_OBJECT

    static IgmWriteOptions options()
    {
        IgmWriteOptions o;
        o.iceGateUser = QLatin1String(test::GatewayUser);
        o.customHouseCode = QLatin1String(test::CustomHouse);
        return o;
    }

private Q_SLOTS:
    void goldenFile_data() { test::addEngineRows(); }
    void goldenFile()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        QTemporaryDir dir;
        const IgmWriteResult r = generateIgmFile(t.db(), dir.path(), QStringLiteral("ABCD"), QStringLiteral("123E"), options());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(r.path, dir.filePath(QStringLiteral("ABCD123E.igm")));
        QCOMPARE(r.outcome.notices, QStringList());
        QCOMPARE(r.lines, 3);
        QCOMPARE(r.containers, 3);
        QCOMPARE(test::readFile(r.path), test::readFixture(QStringLiteral("ABCD123E.igm")));
        // positions stored; the other voyage keeps its number
        QCOMPARE(test::lineNumbers(t.db(), {7, 12, 20, 15}), (QList<qint64>{1, 2, 3, 1}));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("ABCD123E.igm")});
    }

    void voyageWithoutContainers_data() { test::addEngineRows(); }
    void voyageWithoutContainers()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(test::addSecondVoyage(t.db()).isOk());
        QTemporaryDir dir;
        const IgmWriteResult r = generateIgmFile(t.db(), dir.path(), QStringLiteral("V2"), QStringLiteral("7"), options());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(r.outcome.notices, QStringList{QLatin1String(Messages::NoContainers)});
        QCOMPARE(test::readFile(r.path), test::readFixture(QStringLiteral("V27.igm")));
        QCOMPARE(test::lineNumbers(t.db(), {100}), QList<qint64>{1});
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("customs");
        QTest::addColumn<QString>("vessel");
        QTest::addColumn<QString>("voyage");
        QTest::addColumn<QString>("message");
        for (const char *engine : {"sqlite", "postgres"}) {
            const QString e = QLatin1String(engine);
            QTest::addRow("%s: no gateway user", engine) << e << "" << "INNSA1" << "ABCD" << "123E" << Messages::SettingsMissing;
            QTest::addRow("%s: blank custom house", engine) << e << "AGENT01" << "   " << "ABCD" << "123E" << Messages::SettingsMissing;
            QTest::addRow("%s: unknown voyage", engine) << e << "AGENT01" << "INNSA1" << "ABCD" << "999" << Messages::NoVoyage;
            QTest::addRow("%s: lines but no header", engine) << e << "AGENT01" << "INNSA1" << "ABCD" << "123F" << Messages::NoVoyage;
            QTest::addRow("%s: header but no lines", engine) << e << "AGENT01" << "INNSA1" << "HDR" << "1" << Messages::NoCargo;
        }
    }
    void refusals()
    {
        QFETCH(QString, engine);
        QFETCH(QString, user);
        QFETCH(QString, customs);
        QFETCH(QString, vessel);
        QFETCH(QString, voyage);
        QFETCH(QString, message);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        QVERIFY(t.db().exec(QStringLiteral("insert into vesinfo (vslcode, voyno) values ('HDR', '1')")).isOk());
        QTemporaryDir dir;
        IgmWriteOptions o;
        o.iceGateUser = user;
        o.customHouseCode = customs;
        const IgmWriteResult r = generateIgmFile(t.db(), dir.path(), vessel, voyage, o);
        QCOMPARE(r.outcome.kind, Outcome::Kind::Refused);
        QCOMPARE(r.outcome.message, message);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
        QCOMPARE(test::lineNumbers(t.db(), {7, 12, 20}), (QList<qint64>{1, 2, 5}));
    }

    // A line without a B/L date cannot be filed: nothing is written and nothing renumbered,
    // and the file of an earlier run is gone rather than left looking current.
    void failureLeavesNoFileAndNoNumbers_data() { test::addEngineRows(); }
    void failureLeavesNoFileAndNoNumbers()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        QVERIFY(t.db().exec(QStringLiteral("update cargo set bldt = null where id = 20")).isOk());
        QTemporaryDir dir;
        QVERIFY(test::writeFile(dir.filePath(QStringLiteral("ABCD123E.igm")), "an earlier manifest"));
        const IgmWriteResult r = generateIgmFile(t.db(), dir.path(), QStringLiteral("ABCD"), QStringLiteral("123E"), options());
        QCOMPARE(r.outcome.kind, Outcome::Kind::Failed);
        QVERIFY2(r.outcome.message.startsWith(QStringLiteral("94  ")), qPrintable(r.outcome.message));
        QVERIFY(r.outcome.message.contains(QStringLiteral("BL-0020")));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QCOMPARE(test::lineNumbers(t.db(), {7, 12, 20}), (QList<qint64>{1, 2, 5}));
    }

    // A voyage keyed twice on the voyage screen has two header rows: each gives a vessel
    // record, both with the voyage's line count.
    void twoHeaderRows_data() { test::addEngineRows(); }
    void twoHeaderRows()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        QVERIFY(t.db().exec(QStringLiteral("insert into vesinfo (vslcode, voyno, vslname, TotItems) "
                                           "values ('ABCD', '123E', 'SECOND ROW', 1)")).isOk());
        QTemporaryDir dir;
        const IgmWriteResult r = generateIgmFile(t.db(), dir.path(), QStringLiteral("ABCD"), QStringLiteral("123E"), options());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QByteArray expected = test::readFixture(QStringLiteral("ABCD123E.igm"));
        const QByteArray second = "V\x1d\x1d\x1dSECOND ROW\x1d" "ABCD\x1d" "123E\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d"
                                  "3\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\r\n";
        QCOMPARE(second.count('\x1d'), 29);
        expected.replace("<END-vesinfo>\r\n", second + "<END-vesinfo>\r\n");
        QCOMPARE(test::readFile(r.path), expected);
    }

    void replacesEarlierFile()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ABCD123E.igm"));
        QVERIFY(test::writeFile(path, QByteArray(5000, 'x')));
        IgmWriteResult r = WriteIgmFile(t.db(), path, QStringLiteral("ABCD"), QStringLiteral("123E"), options());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(test::readFile(path), test::readFixture(QStringLiteral("ABCD123E.igm")));
        // and again: renumbering is stable, the file the same
        r = generateIgmFile(t.db(), dir.path(), QStringLiteral("ABCD"), QStringLiteral("123E"), options());
        QVERIFY(r.outcome.isOk());
        QCOMPARE(test::readFile(path), test::readFixture(QStringLiteral("ABCD123E.igm")));
    }

    // The file name drops trailing blanks; the selection uses the texts as typed.
    void fileNameAndSelection_data() { test::addEngineRows(); }
    void fileNameAndSelection()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(t.db().exec(QStringLiteral("insert into vesinfo (vslcode, voyno, vslname) values ('ABC ', '12', 'SPACED')")).isOk());
        QVERIFY(t.db().exec(QStringLiteral("insert into vesinfo (vslcode, voyno, vslname) values ('ABC', '12', 'PLAIN')")).isOk());
        QVERIFY(t.db().exec(QStringLiteral("insert into cargo (id, vslcode, voyno, blno, bldt) values (1, 'ABC ', '12', 'B1', ?)"),
                            {t.db().dialect().dateToDb(QDate(2020, 2, 29))}).isOk());
        QTemporaryDir dir;
        const IgmWriteResult r = generateIgmFile(t.db(), dir.path(), QStringLiteral("ABC "), QStringLiteral("12"), options());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(QFileInfo(r.path).fileName(), QStringLiteral("ABC12.igm"));
        const QList<QByteArray> lines = test::readFile(r.path).split('\n');
        QCOMPARE(lines.at(1), QByteArray("IGMID/ABC12.igm\r"));
        QVERIFY(lines.at(4).startsWith("V\x1d\x1d\x1dSPACED\x1d" "ABC \x1d" "12\x1d"));
        QVERIFY(lines.at(7).startsWith("V\x1d" "ABC \x1d" "12\x1d\x1d\x1d" "1\x1d" "0\x1d" "B1\x1d" "29022020\x1d"));
        // "ABC" alone has a header but no lines
        const IgmWriteResult plain = generateIgmFile(t.db(), dir.path(), QStringLiteral("ABC"), QStringLiteral("12"), options());
        QCOMPARE(plain.outcome.message, QLatin1String(Messages::NoCargo));
    }

    void badTarget_data()
    {
        QTest::addColumn<QString>("vessel");
        QTest::addColumn<bool>("missingFolder");
        QTest::addColumn<QString>("codePrefix");
        QTest::newRow("slash in vessel code") << "AB/CD" << false << "52  ";
        QTest::newRow("backslash") << "AB\\CD" << false << "52  ";
        QTest::newRow("folder missing") << "ABCD" << true << "2  ";
    }
    void badTarget()
    {
        QFETCH(QString, vessel);
        QFETCH(bool, missingFolder);
        QFETCH(QString, codePrefix);
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(test::addGoldenVoyage(t.db()).isOk());
        QVERIFY(t.db().exec(QStringLiteral("update cargo set vslcode = ? where vslcode = 'ABCD'"), {vessel}).isOk());
        QVERIFY(t.db().exec(QStringLiteral("update vesinfo set vslcode = ?"), {vessel}).isOk());
        QTemporaryDir dir;
        const QString folder = missingFolder ? dir.filePath(QStringLiteral("gone")) : dir.path();
        const IgmWriteResult r = generateIgmFile(t.db(), folder, vessel, QStringLiteral("123E"), options());
        QCOMPARE(r.outcome.kind, Outcome::Kind::Failed);
        QVERIFY2(r.outcome.message.startsWith(codePrefix), qPrintable(r.outcome.message));
        if (missingFolder) // the message says where
            QVERIFY2(r.outcome.message.contains(QDir::toNativeSeparators(folder)), qPrintable(r.outcome.message));
        QCOMPARE(test::lineNumbers(t.db(), {7, 12, 20}), (QList<qint64>{1, 2, 5}));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::AllDirs | QDir::NoDotAndDotDot), QStringList());
    }

    // Line numbers run on past the 16-bit range.
    void moreLinesThanSixteenBits()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        SyntheticVoyage v;
        v.vessel = QStringLiteral("BIG");
        v.voyage = QStringLiteral("1");
        v.lines = 32800;
        v.containers = 3;
        QVERIFY(addSyntheticVoyage(t.db(), v).isOk());
        QVERIFY(t.db().exec(QStringLiteral("update cargo set lineno = 0")).isOk());
        QTemporaryDir dir;
        const IgmWriteResult r = generateIgmFile(t.db(), dir.path(), v.vessel, v.voyage, options());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(r.lines, 32800);
        QCOMPARE(test::count(t.db(), QStringLiteral("select max(lineno) from cargo")), 32800);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(distinct lineno) from cargo")), 32800);
        const QByteArray data = test::readFile(r.path);
        QVERIFY(data.contains("\r\nV\x1d" "BIG\x1d" "1\x1d\x1d\x1d" "32768\x1d" "0\x1d"));
        QVERIFY(data.contains("\x1d" "32800\x1d")); // the vessel record's line count
    }
};

QUARL_TEST(TestIgmWriter)
#include "tst_igmwriter.moc"
