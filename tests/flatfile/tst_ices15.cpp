#include "common/testdb.h"
#include "common/testmain.h"
#include "common/damagedfiles.h"
#include "common/igmtestdata.h"
#include "common/strictreading.h"

#include "filing/igmcheck.h"
#include "filing/igmreader.h"
#include "filing/igmwriter.h"
#include "flatfile/flatlayouts.h"
#include "manifest/containernumber.h"
#include "manifest/layout.h"
#include "store/installer.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QFile>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace quarl;
using namespace quarl::igm;

namespace {

const QString Vessel = QStringLiteral("9V3523");
const QString Voyage = QStringLiteral("22021W");

WriteOptions options(const QString &control = QStringLiteral("1667"))
{
    WriteOptions o;
    o.iceGateUser = QLatin1String(test::GatewayUser);
    o.customHouseCode = QStringLiteral("INCCU1");
    o.testOrProduction = QStringLiteral("P");
    o.controlNumber = control;
    o.written = QDateTime(QDate(2022, 10, 14), QTime(14, 0));
    return o;
}

// The lines of a file (CR LF), and a file from lines.
QList<QByteArray> linesOf(const QByteArray &file)
{
    QList<QByteArray> lines = file.split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &l : lines)
        l.chop(l.endsWith('\r') ? 1 : 0);
    return lines;
}

QByteArray fileOf(const QList<QByteArray> &lines)
{
    QByteArray out;
    for (const QByteArray &l : lines)
        out += l + "\r\n";
    return out;
}

// Field k (1-based) of line n (1-based) replaced.
QByteArray withField(const QByteArray &file, int n, int k, const QByteArray &value)
{
    QList<QByteArray> lines = linesOf(file);
    QList<QByteArray> f = lines[n - 1].split('\x1d');
    f[k - 1] = value;
    lines[n - 1] = f.join('\x1d');
    return fileOf(lines);
}

QStringList texts(const CheckReport &r)
{
    QStringList out;
    for (const Finding &f : r.findings)
        out << flatFileFindingText(f);
    return out;
}

struct Answer
{
    QStringList asked;
    Confirm confirm()
    {
        return [this](const QString &q) {
            asked << q;
            return true;
        };
    }
};

} // namespace

class TestIces15 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The voyage written field by field as the layout has it; the older layout unchanged.
    void goldenFile_data() { test::addEngineRows(); }
    void goldenFile()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(test::addIces15Voyage(t.db()).isOk());
        QTemporaryDir dir;
        const IgmWriteResult r = generateIgmFileInLayout(t.db(), ices15Layout(), dir.path(), Vessel, Voyage, options());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(r.outcome.notices, QStringList());
        QCOMPARE(r.path, dir.filePath(QStringLiteral("9V352322021W.igm")));
        QCOMPARE(r.lines, 3);
        QCOMPARE(r.containers, 4);
        QCOMPARE(test::readFile(r.path), test::readFixture(QStringLiteral("9V352322021W_ices15.igm")));
        QCOMPARE(test::lineNumbers(t.db(), {3, 7, 9}), (QList<qint64>{1, 2, 3}));

        // the check finds nothing in it, codes compared with the company's masters
        auto codes = loadCodeLists(t.db());
        QVERIFY(codes.isOk());
        const CheckReport clean = checkIgmFile(r.path, &codes.value());
        QCOMPARE(texts(clean), QStringList());
        QVERIFY(clean.recognised);
        QCOMPARE(clean.layout, &ices15Layout());

        // the older layout keeps writing the stored placeholders
        const IgmWriteResult older = generateIgmFileInLayout(t.db(), olderLayout(), dir.path(), Vessel, Voyage, options());
        QVERIFY2(older.outcome.isOk(), qPrintable(older.outcome.message));
        const QByteArray old = test::readFile(older.path);
        QVERIFY(old.startsWith("HREC**,ZZ,AGENT01,ZZ,INCCU1,5,UN,D,SACHI01,,,01A\r\n"));
        QVERIFY(old.contains("\x1dJOHN O'HARA\x1dSG\x1dINIXY1\x1d"));
        QVERIFY(old.contains("\x1dPORT\x1d\r\n<END-vesinfo>"));
        QCOMPARE(checkIgmFile(older.path, &codes.value()).errors(), 0);
    }

    // Values the layout needs and the voyage lacks are named, written empty, and found again by the check.
    void missingValues()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QVERIFY(test::addIces15Voyage(t.db()).isOk());
        QVERIFY(t.db().exec(QStringLiteral("update D_VESSEL_CD set IMO_NO = null")).isOk());
        QVERIFY(t.db().exec(QStringLiteral("update vesinfo set tocode = null, arrportcd = null, arrdt = null")).isOk());
        QTemporaryDir dir;
        const IgmWriteResult r = writeIgmFileInLayout(t.db(), ices15Layout(), dir.filePath(QStringLiteral("x.igm")), Vessel, Voyage, options());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(r.outcome.notices.size(), 4);
        for (const char *what : {"IMO number", "port of arrival", "terminal operator", "expected arrival"})
            QVERIFY2(r.outcome.notices.join(QLatin1Char('|')).contains(QLatin1String(what)), what);
        const QByteArray vessel = linesOf(test::readFile(r.path)).at(3);
        QCOMPARE(vessel, QByteArray("F\x1dINCCU1\x1d\x1d\x1d\x1d" "9V3523\x1d" "22021W\x1dXCL\x1d" "AAACX1234F\x1dJOHN O'HARA\x1d"
                                    "\x1dLKCMB\x1dSGSIN\x1d\x1d" "C\x1d" "3\x1dGENERAL CARGO\x1d\x1d\x1dN\x1dY\x1dY\x1dN\x1dY\x1dY\x1d"));
        const CheckReport check = checkIgmFile(r.path);
        QCOMPARE(check.errors(), 4);
        for (const Finding &f : check.findings)
            QCOMPARE(f.fileLine, 4);
    }

    // write -> import -> write gives the same file apart from the header's control number,
    // date and time; a file of another agent, signed or not, imports and writes back the same.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("source"); // empty: written from the stored voyage
        QTest::addColumn<QString>("expected");
        for (const char *e : {"sqlite", "postgres"}) {
            const QString engine = QLatin1String(e);
            QTest::addRow("%s: own file", e) << engine << QString() << QStringLiteral("9V352322021W_ices15.igm");
            QTest::addRow("%s: other agent", e) << engine << QStringLiteral("9M2379MSMP0004_other.igm")
                                                << QStringLiteral("9M2379MSMP0004_other.igm");
            QTest::addRow("%s: signed", e) << engine << QStringLiteral("9M2379MSMP0004_signed.igm")
                                           << QStringLiteral("9M2379MSMP0004_other.igm");
        }
    }
    void roundTrip()
    {
        QFETCH(QString, engine);
        QFETCH(QString, source);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QString input = test::fixturePath(source);
        if (source.isEmpty()) {
            QUARL_COMPANY_DB(from, engine);
            QVERIFY(test::addIces15Voyage(from.db()).isOk());
            input = dir.filePath(QStringLiteral("first.igm"));
            QVERIFY(writeIgmFileInLayout(from.db(), ices15Layout(), input, Vessel, Voyage, options()).outcome.isOk());
        }
        QUARL_COMPANY_DB(t, engine);
        Answer answer;
        IgmImportOptions o;
        o.withVessel = true;
        const IgmImportResult imported = importIgmFile(t.db(), input, o, answer.confirm());
        QVERIFY2(imported.outcome.isOk(), qPrintable(imported.outcome.message));
        QCOMPARE(answer.asked.size(), 1);
        const QList<QByteArray> want = linesOf(test::readFixture(expected));
        const QString vessel = QString::fromLatin1(want.at(3).split('\x1d').at(5));
        const QString voyage = QString::fromLatin1(want.at(3).split('\x1d').at(6));
        QCOMPARE(answer.asked.first(), QStringLiteral("Import Data For %1 / %2 ?").arg(vessel, voyage));
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from cargo where sublineno <> 0")), 0);

        WriteOptions again = options(QStringLiteral("42"));
        again.written = QDateTime(QDate(2026, 12, 8), QTime(9, 5));
        const IgmWriteResult r = writeIgmFileInLayout(t.db(), ices15Layout(), dir.filePath(QStringLiteral("again.igm")), vessel, voyage, again);
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        const QList<QByteArray> got = linesOf(test::readFile(r.path));
        QCOMPARE(got.size(), want.size());
        const QList<QByteArray> head = got.first().split('\x1d');
        QCOMPARE(head.mid(9), (QList<QByteArray>{"42", "20261208", "0905"}));
        QCOMPARE(head.mid(3, 6), want.first().split('\x1d').mid(3, 6));
        QCOMPARE(got.last(), QByteArray("TREC\x1d" "42"));
        QCOMPARE(got.mid(1, got.size() - 2), want.mid(1, want.size() - 2));
    }

    // Refusals name the line; nothing is stored.
    void refusals_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("message");
        const QByteArray good = test::readFixture(QStringLiteral("9M2379MSMP0004_other.igm"));
        QByteArray shortLine = good;
        shortLine.replace("\x1dR\x1d" "AAACM1111A\r\n", "\x1dR\r\n");
        for (const char *e : {"sqlite", "postgres"}) {
            const QString engine = QLatin1String(e);
            QTest::addRow("%s: neither layout", e)
                << engine << QByteArray(good).replace("ICES1_5", "ICES1_4") << QStringLiteral("names the version \"ICES1_4\"");
            QTest::addRow("%s: field count", e) << engine << shortLine
                                                << QStringLiteral("Line 7 of the file holds 40 fields; a cargo record");
            QTest::addRow("%s: container of no line", e)
                << engine << withField(good, 11, 8, "7") << QStringLiteral("line 11 of the file) belongs to line number 7");
            QTest::addRow("%s: bad date", e) << engine << withField(good, 8, 11, "31022023")
                                             << QStringLiteral("line 8 of the file: \"31022023\" is not a date");
            QTest::addRow("%s: duplicate B/L", e) << engine << withField(good, 8, 10, "MBKSEN230001")
                                                  << QStringLiteral("(line 8 of the file)");
            QTest::addRow("%s: cut short", e) << engine << good.left(good.indexOf("<END-cargo>"))
                                              << QStringLiteral("ends before the line <END-cargo>");
            // each stored something wrong, or dropped a part, before
            QTest::addRow("%s: line of another voyage", e)
                << engine << withField(good, 8, 5, "MSMP0005") << QStringLiteral("Line 8 of the file belongs to 9M2379 / MSMP0005");
            QTest::addRow("%s: container of another vessel", e)
                << engine << withField(good, 12, 4, "9M2380") << QStringLiteral("Line 12 of the file belongs to 9M2380 / MSMP0004");
            QList<QByteArray> after = linesOf(good);
            after.insert(13, after.at(11));
            QTest::addRow("%s: record after the containers", e)
                << engine << fileOf(after) << QStringLiteral("Line 14 of the file holds \"F");
            QList<QByteArray> noEnd = linesOf(good);
            noEnd.removeAt(13);
            QTest::addRow("%s: no end of the manifest", e)
                << engine << fileOf(noEnd) << QStringLiteral("where the line <END-manifest> belongs");
            QTest::addRow("%s: no trailer", e) << engine << good.left(good.indexOf("TREC"))
                                               << QStringLiteral("ends before the line TREC");
            QTest::addRow("%s: another control number", e)
                << engine << withField(good, 15, 2, "22022W") << QStringLiteral("control number \"22022W\"; the header's is \"22021W\"");
            QTest::addRow("%s: a line lost", e)
                << engine << withField(good, 4, 16, "3") << QStringLiteral("counts 3 lines, the cargo section holds 2");
            QTest::addRow("%s: negative packages", e) << engine << withField(good, 7, 28, "-24") << QStringLiteral("\"-24\" is below 0");
            QTest::addRow("%s: negative weight", e) << engine << withField(good, 7, 30, "-1.5") << QStringLiteral("\"-1.5\" is below 0");
            QTest::addRow("%s: negative container weight", e)
                << engine << withField(good, 11, 15, "-19.09") << QStringLiteral("\"-19.09\" is below 0");
            QTest::addRow("%s: exponent", e) << engine << withField(good, 7, 30, "1.9e4") << QStringLiteral("with an exponent");
            QTest::addRow("%s: huge exponent", e) << engine << withField(good, 8, 28, "1.8e51") << QStringLiteral("with an exponent");
            QTest::addRow("%s: decimal comma", e) << engine << withField(good, 7, 30, "19087,360") << QStringLiteral("decimal comma");
            QTest::addRow("%s: no message type", e) << engine << withField(good, 7, 1, "X") << QStringLiteral("not with a message type");
            QTest::addRow("%s: text after the trailer", e) << engine << good + "TREC\x1d" "22021W\r\n" << QStringLiteral("after the trailer");
        }
    }
    void refusals()
    {
        QFETCH(QString, engine);
        QFETCH(QByteArray, data);
        QFETCH(QString, message);
        QUARL_COMPANY_DB(t, engine);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("in.igm"));
        QVERIFY(test::writeFile(path, data));
        Answer answer;
        IgmImportOptions o;
        o.withVessel = true;
        const IgmImportResult r = importIgmFile(t.db(), path, o, answer.confirm());
        QVERIFY(!r.outcome.isOk());
        QVERIFY2(r.outcome.message.contains(message), qPrintable(r.outcome.message));
        QCOMPARE(test::voyageRows(t.db()), 0);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from D_VESSEL_CD")), 0);
    }

    // A letter spelled in two (ß as ss) never takes a field past its column: the file reads
    // back, and the notice names the fields written one letter each.
    void widthAfterSpelling_data() { test::addEngineRows(); }
    void widthAfterSpelling()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(test::addIces15Voyage(t.db()).isOk());
        const QString sharpS(20, QChar(0x00df));
        const QString marks = QString(240, QChar(0x00df)) + QString(240, QLatin1Char('M'));
        QVERIFY(t.db().exec(QStringLiteral("update cargo set impname = ?, marks = ? where id = 3"), {sharpS, marks}).isOk());
        QTemporaryDir dir;
        const IgmWriteResult r = writeIgmFileInLayout(t.db(), ices15Layout(), dir.filePath(QStringLiteral("w.igm")), Vessel, Voyage, options());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        const QList<QByteArray> line = linesOf(test::readFile(r.path)).at(6).split('\x1d');
        QCOMPARE(line.at(15), QByteArray(20, 's'));
        QCOMPARE(line.at(33), QByteArray(240, 's') + QByteArray(240, 'M'));
        const QString notices = r.outcome.notices.join(QLatin1Char('\n'));
        QVERIFY2(notices.contains(QStringLiteral("B/L HLCUHAM220901 importer name")), qPrintable(notices));
        QVERIFY2(notices.contains(QStringLiteral("B/L HLCUHAM220901 marks and numbers")), qPrintable(notices));
        QUARL_COMPANY_DB(other, engine);
        Answer answer;
        IgmImportOptions o;
        o.withVessel = true;
        const IgmImportResult back = importIgmFile(other.db(), r.path, o, answer.confirm());
        QVERIFY2(back.outcome.isOk(), qPrintable(back.outcome.message));
        QCOMPARE(other.db().scalar(QStringLiteral("select impname from cargo where blno = 'HLCUHAM220901'")).value().toString(),
                 QString(20, QLatin1Char('s')));
    }

    // Randomly damaged files of today's layout: an import either stores exactly what a strict
    // reading of the file gives or nothing at all, and what it refuses the check finds.
    void mutatedFiles_data() { test::addMutationRows(); }
    void mutatedFiles()
    {
        QFETCH(QString, engine);
        QFETCH(int, files);
        QUARL_TEMP_DB(t, engine);
        QUARL_VERIFY_OK(test::createImportTables(t.db()));
        test::DamagedImports d;
        d.good = test::readFixture(QStringLiteral("9V352322021W_ices15.igm"));
        d.files = files;
        d.seed = 20260601;
        d.strictReading = test::strictIcesReading;
        d.stored = test::storedIcesVoyage;
        const test::MutationTally tally = test::importDamagedFiles(t.db(), d);
        qInfo("%d of %d damaged files stored, %d refused", tally.stored, files, tally.refused);
        QCOMPARE(tally.broken, -1);
        QVERIFY(tally.stored > 0);
        QVERIFY(tally.refused > files / 4);
    }

    // Every check caught on a file made to break it, at its line.
    void checks_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("finding");
        const QByteArray g = test::readFixture(QStringLiteral("9V352322021W_ices15.igm"));
        QList<QByteArray> noEndCargo = linesOf(g);
        noEndCargo.removeAt(9);
        QTest::newRow("control numbers") << withField(g, 18, 2, "1668") << 18 << "Error, line 18, trailer field 2 (control number): \"1668\" differs";
        QTest::newRow("header field count") << withField(g, 1, 12, "1400\x1dX") << 1 << "Error, line 1, header: 13 fields";
        QTest::newRow("section order") << fileOf(noEndCargo) << 10 << "Error, line 10: <contain> where <END-cargo> belongs.";
        QTest::newRow("field count") << withField(g, 7, 41, "AAACM5678K\x1dX") << 7 << "Error, line 7: 42 fields; a cargo record has 41.";
        QTest::newRow("line total") << withField(g, 4, 16, "4") << 4 << "vessel field 16 (total number of lines): 4 lines declared, 3 cargo records";
        QTest::newRow("line gap") << withField(withField(g, 9, 8, "4"), 15, 8, "4") << 9 << "Line number 4 where 3 belongs";
        QTest::newRow("container's line") << withField(g, 15, 8, "5") << 15 << "container field 8 (line number): Line 5 is not in the cargo section.";
        QTest::newRow("package sum") << withField(g, 12, 14, "23") << 7 << "Error, line 7 (B/L HLCUHAM220901), cargo field 28 (number of packages): 24 packages on the line, 23 in its containers.";
        QTest::newRow("package sum LCL") << withField(withField(g, 12, 14, "23"), 12, 13, "LCL") << 7 << "Warning, line 7 (B/L HLCUHAM220901), cargo field 28";
        QTest::newRow("check digit") << withField(g, 12, 10, "CSQU3054384") << 12 << "check digit should be 3, not 4";
        QTest::newRow("duplicate container") << withField(g, 14, 10, "TGHU9876542") << 14 << "Container TGHU9876542 appears twice under line 2.";
        QTest::newRow("port code") << withField(g, 7, 12, "DEHAX") << 7 << "cargo field 12 (port of loading): port \"DEHAX\" is not in the port master.";
        QTest::newRow("package code") << withField(g, 7, 29, "XYZ") << 7 << "package \"XYZ\" is not in the package master";
        QTest::newRow("unit") << withField(g, 7, 31, "LBS") << 7 << "unit \"LBS\" is not in the unit master";
        QTest::newRow("nature") << withField(g, 7, 24, "Q") << 7 << "nature of cargo \"Q\" is not in";
        QTest::newRow("item type") << withField(g, 7, 25, "XX") << 7 << "item type \"XX\" is not in";
        QTest::newRow("movement") << withField(g, 7, 26, "DT") << 7 << "cargo movement \"DT\" is not in";
        QTest::newRow("status") << withField(g, 12, 13, "MTY") << 12 << "container status \"MTY\" is not the gateway's";
        QTest::newRow("ISO code") << withField(g, 12, 16, "9999") << 12 << "ISO size/type \"9999\" is not in";
        QTest::newRow("UNO and IMO") << withField(g, 7, 36, "1866") << 7 << "UNO code 1866 and IMO class ZZZ disagree";
        QTest::newRow("UN class") << withField(g, 8, 37, "8") << 8 << "UN 1866 is of IMO class 3, not 8.";
        QTest::newRow("B/L date") << withField(g, 7, 11, "17102022") << 7 << "B/L date 17.10.2022 is after the vessel's arrival 16.10.2022.";
        QTest::newRow("length") << withField(g, 7, 16, QByteArray(36, 'A')) << 7 << "cargo field 16 (importer name): 36 characters where the column takes at most 35.";
        QTest::newRow("bond") << withField(g, 8, 38, "") << 8 << "cargo field 38 (transit bond number): A TI line needs its transit bond number.";
        QTest::newRow("destination") << withField(g, 8, 13, "INCCU1") << 8 << "its destination cannot be INCCU1";
        QTest::newRow("characters") << withField(g, 7, 35, "MACHINERY \xe9") << 7 << "cargo field 35: Character code 233";
        QTest::newRow("IMO number") << withField(g, 4, 5, "939911") << 4 << "\"939911\" is not a 7-digit IMO number.";
        QTest::newRow("vessel key") << withField(g, 13, 4, "9V3524") << 13 << "container field 4: \"9V3524\" differs";
    }
    void checks()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, line);
        QFETCH(QString, finding);
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        auto codes = loadCodeLists(t.db());
        QVERIFY(codes.isOk());
        const CheckReport r = checkIgmData(data, &codes.value());
        bool found = false;
        for (const Finding &f : r.findings)
            found = found || (f.fileLine == line && flatFileFindingText(f).contains(finding));
        QVERIFY2(found, qPrintable(texts(r).join(QLatin1Char('\n'))));
    }

    // The demo voyage as the installation makes it, written in both layouts by quarlctl and
    // passed by check-igm; a file with three faults reported with all three.
    void quarlctlScenario()
    {
        test::TempHome home;
        const QString db = home.file(QStringLiteral("demo.qdb"));
        QVERIFY(Installer::createDataFile(db).isOk());
        {
            auto d = Database::openSqlite(db);
            QVERIFY(d.isOk());
            QVERIFY(Installer::addDemoData(d.value()).isOk());
        }
        auto quarlctl = [&](const QStringList &args, QString *out = nullptr) {
            QProcess p;
            p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../quarlctl"),
                    QStringList{QStringLiteral("--home"), home.path()} + args);
            if (!p.waitForFinished(120000))
                return -1;
            if (out)
                *out = QString::fromUtf8(p.readAllStandardOutput());
            return p.exitCode();
        };
        QString out;
        const QStringList write{QStringLiteral("write-igm"), QStringLiteral("--db"), db, QStringLiteral("--vessel"),
                                QStringLiteral("SEAPRL"), QStringLiteral("--voyage"), QStringLiteral("024E"),
                                QStringLiteral("--out"), home.path(), QStringLiteral("--layout"), QStringLiteral("ices15"),
                                QStringLiteral("--icegate-user"), QStringLiteral("DEMOAGENT"),
                                QStringLiteral("--custom-house"), QStringLiteral("INNSA1")};
        QCOMPARE(quarlctl(write, &out), 0);
        const QString file = home.file(QStringLiteral("SEAPRL024E.igm"));
        QCOMPARE(out.trimmed(), file);
        QCOMPARE(quarlctl({QStringLiteral("check-igm"), file, QStringLiteral("--db"), db}, &out), 0);
        QCOMPARE(out, QString());
        const QByteArray ices = test::readFile(file);
        QVERIFY(!ices.contains("INIXY1") && !ices.contains("\x1dPORT\x1d"));
        QStringList older = write;
        older[older.indexOf(QStringLiteral("ices15"))] = QStringLiteral("older");
        QCOMPARE(quarlctl(older), 0);
        QCOMPARE(quarlctl({QStringLiteral("check-igm"), file, QStringLiteral("--db"), db}, &out), 0);
        QCOMPARE(out, QString());
        QVERIFY(!test::readFile(file).contains("INIXY1"));
        QVERIFY(test::writeFile(file, ices));
        // control numbers: one more on every file, the same in header and trailer
        QByteArray first = test::readFile(file);
        QCOMPARE(linesOf(first).first().split('\x1d').at(9), QByteArray("1"));
        QCOMPARE(quarlctl(write), 0);
        const QList<QByteArray> second = linesOf(test::readFile(file));
        QCOMPARE(second.first().split('\x1d').at(9), QByteArray("2"));
        QCOMPARE(second.last(), QByteArray("TREC\x1d" "2"));

        // wrong check digit (line 13), wrong line total (line 4), no bond on a TI line (line 7)
        const QByteArray number = linesOf(first).at(12).split('\x1d').at(9);
        const QByteArray wrong = number.left(10) + QByteArray::number((number.right(1).toInt() + 1) % 10);
        QByteArray broken = withField(withField(first, 4, 16, "4"), 13, 10, wrong);
        broken = withField(withField(withField(withField(broken, 7, 26, "TI"), 7, 39, "AABCC1234D"), 7, 40, "R"), 7, 41,
                           "AAACM5678K");
        broken = withField(broken, 7, 13, "INMAA1"); // a transhipment goes on from the port of arrival
        const QString brokenFile = home.file(QStringLiteral("broken.igm"));
        QVERIFY(test::writeFile(brokenFile, broken));
        QCOMPARE(quarlctl({QStringLiteral("check-igm"), brokenFile, QStringLiteral("--db"), db}, &out), 1);
        const QStringList found = out.trimmed().split(QLatin1Char('\n'));
        QVERIFY2(found.size() == 3, qPrintable(out));
        QVERIFY2(found.filter(QStringLiteral("Error, line 4, vessel field 16")).size() == 1, qPrintable(out));
        QVERIFY2(found.filter(QStringLiteral("Error, line 7 (B/L SPLSIN240101), cargo field 38 (transit bond number)")).size() == 1, qPrintable(out));
        QVERIFY2(found.filter(QRegularExpression(QStringLiteral("^Error, line 13 \\(B/L \\w+\\), container field 10 .*check digit"))).size() == 1,
                 qPrintable(out));
    }

    void checkDigit()
    {
        QCOMPARE(iso6346CheckDigit(u"CSQU305438"), 3);
        QCOMPARE(iso6346CheckDigit(u"TCLU765432"), 0); // a sum of 10 mod 11 gives 0
        QCOMPARE(iso6346CheckDigit(u"csqu305438"), -1);
        QVERIFY(hasValidCheckDigit(u"CSQU3054383"));
        QVERIFY(!hasValidCheckDigit(u"CSQU3054384"));
        QCOMPARE(containerNumberFinding(u"CSQU3054383"), QString());
        QCOMPARE(containerNumberFinding(u"CSQU305438"),
                 QStringLiteral("Container number CSQU305438 is not four capital letters and seven digits."));
    }
};

QUARL_TEST(TestIces15)
#include "tst_ices15.moc"
