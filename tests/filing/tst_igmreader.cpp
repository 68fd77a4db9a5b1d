#include "common/testdb.h"
#include "common/testmain.h"
#include "common/damagedfiles.h"
#include "common/igmtestdata.h"
#include "common/strictreading.h"

#include "filing/igmcheck.h"
#include "filing/igmreader.h"
#include "filing/igmwriter.h"
#include "manifest/igmformat.h"
#include "manifest/igmmessages.h"
#include "manifest/syntheticvoyage.h"
#include "store/schema.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace quarl;
using namespace quarl::igm;

namespace {

IgmWriteOptions writeOptions()
{
    IgmWriteOptions o;
    o.iceGateUser = QLatin1String(test::GatewayUser);
    o.customHouseCode = QLatin1String(test::CustomHouse);
    return o;
}

// Answers Yes and remembers the question.
struct Answer
{
    bool yes = true;
    QStringList asked;
    Confirm confirm()
    {
        return [this](const QString &q) {
            asked << q;
            return yes;
        };
    }
};

QString golden()
{
    return test::fixturePath(QStringLiteral("ABCD123E.igm"));
}

// Lines of the golden file, for building variants of it.
QList<QByteArray> goldenLines()
{
    QList<QByteArray> lines = test::readFixture(QStringLiteral("ABCD123E.igm")).split('\n');
    lines.removeLast(); // after the last line end
    for (QByteArray &l : lines)
        l.chop(1); // CR
    return lines;
}

QByteArray joined(const QList<QByteArray> &lines)
{
    QByteArray out;
    for (const QByteArray &l : lines)
        out += l + "\r\n";
    return out;
}

// Replaces field k (from 0) of the line that starts with prefix.
QByteArray withField(QList<QByteArray> lines, const QByteArray &prefix, int k, const QByteArray &value)
{
    for (QByteArray &l : lines) {
        if (l.startsWith(prefix)) {
            QList<QByteArray> f = l.split('\x1d');
            f[k] = value;
            l = f.join('\x1d');
            break;
        }
    }
    return joined(lines);
}

} // namespace

class TestIgmReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Golden file in, written again: the same bytes.
    void roundTrip_data() { test::addEngineRows(); }
    void roundTrip()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(t.db().exec(QStringLiteral("insert into cargo (id, vslcode, voyno, blno) values (40, 'X', '1', 'X1')")).isOk());
        Answer answer;
        IgmImportOptions options;
        options.withVessel = true;
        const IgmImportResult r = importIgmFile(t.db(), golden(), options, answer.confirm());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(r.outcome.message, QLatin1String(Messages::Imported));
        QCOMPARE(answer.asked, QStringList{QStringLiteral("Import Data For ABCD / 123E ?")});
        QCOMPARE(r.vessels, 1);
        QCOMPARE(r.lines, 3);
        QCOMPARE(r.containers, 3);

        // keys: the old largest id plus 2, then one more each
        QList<qint64> ids;
        auto q = t.db().query(QStringLiteral("select id, lineno, bldt from cargo where vslcode = 'ABCD' order by id"));
        QVERIFY(q.isOk());
        QList<qint64> lineNos;
        QList<QDate> dates;
        while (q->next()) {
            ids << q->value(0).toLongLong();
            lineNos << q->value(1).toLongLong();
            dates << t.db().dialect().dateFromDb(q->value(2));
        }
        QCOMPARE(ids, (QList<qint64>{42, 43, 44}));
        QCOMPARE(lineNos, (QList<qint64>{1, 2, 3}));
        QCOMPARE(dates, (QList<QDate>{QDate(2009, 3, 5), QDate(2010, 12, 25), QDate(2009, 11, 30)}));
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from cargo where sublineno <> 0")), 0);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from contain where ref = 42")), 2);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from contain where ref = 44")), 1);
        QCOMPARE(test::count(t.db(), QStringLiteral("select TotItems from vesinfo")), 3);
        QCOMPARE(t.db().scalar(QStringLiteral("select volume from cargo where id = 42")).value().toDouble(), 0.0);

        QTemporaryDir dir;
        const IgmWriteResult w = generateIgmFile(t.db(), dir.path(), QStringLiteral("ABCD"), QStringLiteral("123E"), writeOptions());
        QVERIFY2(w.outcome.isOk(), qPrintable(w.outcome.message));
        QCOMPARE(test::readFile(w.path), test::readFixture(QStringLiteral("ABCD123E.igm")));
    }

    // A made-up voyage written, imported elsewhere and written again: the same bytes.
    void roundTripSynthetic_data() { test::addEngineRows(); }
    void roundTripSynthetic()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(a, engine);
        QUARL_COMPANY_DB(b, engine);
        SyntheticVoyage v;
        v.vessel = QStringLiteral("SYN");
        v.voyage = QStringLiteral("042W");
        v.lines = 60;
        v.containers = 150;
        QVERIFY(addSyntheticVoyage(a.db(), v).isOk());
        QTemporaryDir first;
        QTemporaryDir second;
        const IgmWriteResult w1 = generateIgmFile(a.db(), first.path(), v.vessel, v.voyage, writeOptions());
        QVERIFY2(w1.outcome.isOk(), qPrintable(w1.outcome.message));
        Answer answer;
        IgmImportOptions options;
        options.withVessel = true;
        const IgmImportResult r = importIgmFile(b.db(), w1.path, options, answer.confirm());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(r.containers, 150);
        const IgmWriteResult w2 = generateIgmFile(b.db(), second.path(), v.vessel, v.voyage, writeOptions());
        QVERIFY2(w2.outcome.isOk(), qPrintable(w2.outcome.message));
        QCOMPARE(test::readFile(w2.path), test::readFile(w1.path));
    }

    // Voyages whose texts hold commas, quotes, separators, line breaks and accents: written,
    // imported elsewhere and written again, the same bytes; every text arrives as written.
    void roundTripAwkwardTexts_data() { test::addEngineRows(); }
    void roundTripAwkwardTexts()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(a, engine);
        QUARL_COMPANY_DB(b, engine);
        const QStringList pieces = {QStringLiteral(","), QStringLiteral("\""), QStringLiteral("'"), QStringLiteral("\x1d"),
                                    QStringLiteral("\r\n"), QStringLiteral("\u00e9"), QStringLiteral("M\u00fcller"),
                                    QStringLiteral("\u00df"), QStringLiteral("\u201cQ\u201d"), QStringLiteral("\u2013"),
                                    QStringLiteral(" "), QStringLiteral("AB"), QStringLiteral("7"), QStringLiteral("<cargo>"),
                                    QStringLiteral("\t"), QStringLiteral("\u00d8"), QStringLiteral("\u20ac")};
        QRandomGenerator rng(42);
        auto text = [&](int width) {
            QString t = QStringLiteral("x"); // never null: an empty field comes back as empty text
            while (t.size() < width && rng.bounded(6) != 0)
                t += pieces.at(rng.bounded(int(pieces.size())));
            return t.left(width);
        };
        for (int n = 1; n <= 4; ++n) {
            SyntheticVoyage v;
            v.vessel = QStringLiteral("RT%1").arg(n);
            v.voyage = QStringLiteral("0%1E").arg(n);
            v.lines = 6;
            v.containers = 9;
            v.seed = quint32(n);
            QVERIFY(addSyntheticVoyage(a.db(), v).isOk());
            QVERIFY(a.db().exec(QStringLiteral("update vesinfo set vslname = ?, mastername = ?, cargodesc = ? where vslcode = ?"),
                                {text(35), text(30), text(30), v.vessel}).isOk());
            QList<qint64> ids;
            for (auto q = a.db().query(QStringLiteral("select id from cargo where vslcode = ?"), {v.vessel}); q->next();)
                ids << q->value(0).toLongLong();
            for (const qint64 id : ids)
                QVERIFY(a.db().exec(QStringLiteral("update cargo set impname = ?, impadd1 = ?, notname = ?, marks = ?, gdesc = ? "
                                                   "where id = ?"),
                                    {text(35), text(35), text(35), text(512), text(250), id}).isOk());
            QVERIFY(a.db().exec(QStringLiteral("update contain set sealno = ? where ref in (select id from cargo where vslcode = ?)"),
                                {text(20), v.vessel}).isOk());
            QTemporaryDir first;
            QTemporaryDir second;
            const IgmWriteResult w1 = generateIgmFile(a.db(), first.path(), v.vessel, v.voyage, writeOptions());
            QVERIFY2(w1.outcome.isOk(), qPrintable(w1.outcome.message));
            Answer answer;
            IgmImportOptions options;
            options.withVessel = true;
            const IgmImportResult r = importIgmFile(b.db(), w1.path, options, answer.confirm());
            QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
            const IgmWriteResult w2 = generateIgmFile(b.db(), second.path(), v.vessel, v.voyage, writeOptions());
            QVERIFY2(w2.outcome.isOk(), qPrintable(w2.outcome.message));
            QCOMPARE(test::readFile(w2.path), test::readFile(w1.path));
            const QString texts = QStringLiteral("select vslname || mastername || cargodesc from vesinfo where vslcode = ?");
            QCOMPARE(b.db().scalar(texts, {v.vessel}).value().toString(),
                     QString::fromLatin1(Format::toSingleByte(a.db().scalar(texts, {v.vessel}).value().toString())));
            const QString lines = QStringLiteral("select impname || impadd1 || notname || marks || gdesc from cargo "
                                                 "where vslcode = ? order by lineno");
            for (auto qa = a.db().query(lines, {v.vessel}), qb = b.db().query(lines, {v.vessel}); qa->next();) {
                QVERIFY(qb->next());
                QCOMPARE(qb->value(0).toString(), QString::fromLatin1(Format::toSingleByte(qa->value(0).toString())));
            }
        }
    }

    void answeredNo()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        Answer answer;
        answer.yes = false;
        IgmImportOptions options;
        options.withVessel = true;
        const IgmImportResult r = importIgmFile(t.db(), golden(), options, answer.confirm());
        QCOMPARE(r.outcome.kind, Outcome::Kind::Declined);
        QCOMPARE(answer.asked.size(), 1);
        QCOMPARE(test::voyageRows(t.db()), 0);
    }

    // An empty agent, master or last port is stored as the file holds it, so that the file
    // written again is the file read.
    void vesselAsTheFileHoldsIt_data() { test::addEngineRows(); }
    void vesselAsTheFileHoldsIt()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QList<QByteArray> lines = goldenLines();
        QList<QByteArray> f = lines[4].split('\x1d');
        f[7] = "";  // agent code
        f[8] = "";  // master's name
        f[11] = ""; // last port
        f[14] = "";  // grt empty: 0
        lines[4] = f.join('\x1d');
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("in.igm"));
        QVERIFY(test::writeFile(path, joined(lines)));
        Answer answer;
        IgmImportOptions options;
        options.withVessel = true;
        const IgmImportResult r = importIgmFile(t.db(), path, options, answer.confirm());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        auto q = t.db().query(QStringLiteral("select sagentcode, mastername, lastport, grt, nrt, vslname, terminalop, "
                                             "arrdt, lhdues from vesinfo"));
        QVERIFY(q->next());
        QCOMPARE(q->value(0).toString(), QString());
        QCOMPARE(q->value(1).toString(), QString());
        QCOMPARE(q->value(2).toString(), QString());
        QCOMPARE(q->value(3).toDouble(), 0.0);
        QCOMPARE(q->value(4).toDouble(), 24360.0);
        QCOMPARE(q->value(5).toString(), QStringLiteral("MV GOLDEN ARROW"));
        QCOMPARE(q->value(6).toString(), QStringLiteral("PORT"));
        QVERIFY(q->value(7).isNull());
        QCOMPARE(q->value(8).toDouble(), 0.5);
        f[14] = "0"; // an empty number is read as 0
        lines[4] = f.join('\x1d');
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("out"))));
        const IgmWriteResult again = generateIgmFile(t.db(), dir.filePath(QStringLiteral("out")), QStringLiteral("ABCD"),
                                                     QStringLiteral("123E"), writeOptions());
        QVERIFY2(again.outcome.isOk(), qPrintable(again.outcome.message));
        QCOMPARE(test::readFile(again.path), joined(lines));
    }

    // A comma is part of a vessel field as of any other; striping removes every comma.
    void commaInVesselRecord_data()
    {
        QTest::addColumn<bool>("strip");
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("nation");
        QTest::addColumn<QString>("importer");
        QTest::newRow("as it is") << false << "O'HARA, JOHN" << "PA" << "BHARAT TRADING CO, UNIT 4";
        QTest::newRow("with striping") << true << "O'HARA JOHN" << "PA" << "BHARAT TRADING CO UNIT 4";
    }
    void commaInVesselRecord()
    {
        QFETCH(bool, strip);
        QFETCH(QString, master);
        QFETCH(QString, nation);
        QFETCH(QString, importer);
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("in.igm"));
        QVERIFY(test::writeFile(path, withField(goldenLines(), "V\x1d\x1d\x1d", 8, "O'HARA, JOHN")));
        Answer answer;
        IgmImportOptions options;
        options.withVessel = true;
        options.strip = strip;
        const IgmImportResult r = importIgmFile(t.db(), path, options, answer.confirm());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(t.db().scalar(QStringLiteral("select mastername from vesinfo")).value().toString(), master);
        QCOMPARE(t.db().scalar(QStringLiteral("select vslnation from vesinfo")).value().toString(), nation);
        QCOMPARE(t.db().scalar(QStringLiteral("select impname from cargo where blno = 'BL-0007'")).value().toString(), importer);
        // the working copy was this import's own, and is gone
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("in.igm")});
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from contain")), 3);
    }

    // Quotes around items go, line feeds become CR LF, commas go; the working copy is
    // private to the import and removed with it, so that nothing of it is left in the
    // installation folder for another import to take.
    void striping()
    {
        QUARL_COMPANY_DB(expected, QStringLiteral("sqlite"));
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        test::TempHome home;
        QList<QByteArray> lines = goldenLines();
        QByteArray lfOnly;
        for (const QByteArray &l : lines)
            lfOnly += l + "\n";
        lfOnly.replace("MV GOLDEN ARROW", "MV GOLDEN, ARROW").replace("<vesinfo>", "\"<vesinfo>\"").replace("<cargo>", "\"<cargo>\"");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("in.igm"));
        QVERIFY(test::writeFile(path, lfOnly));
        Answer answer;
        IgmImportOptions options;
        options.withVessel = true;
        QVERIFY(importIgmFile(expected.db(), golden(), options, answer.confirm()).outcome.isOk());
        options.strip = true;
        const IgmImportResult r = importIgmFile(t.db(), path, options, answer.confirm());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QStringList stored = test::storedVoyage(expected.db());
        stored.replaceInStrings(QStringLiteral("BHARAT TRADING CO, UNIT 4"), QStringLiteral("BHARAT TRADING CO UNIT 4"));
        QCOMPARE(test::storedVoyage(t.db()), stored);
        QCOMPARE(QDir(home.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("in.igm")});
    }

    void importTwiceFailsWhole_data() { test::addEngineRows(); }
    void importTwiceFailsWhole()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        Answer answer;
        const IgmImportResult first = importIgmFile(t.db(), golden(), {}, answer.confirm());
        QVERIFY2(first.outcome.isOk(), qPrintable(first.outcome.message));
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from vesinfo")), 0);
        const qint64 before = test::voyageRows(t.db());
        const IgmImportResult second = importIgmFile(t.db(), golden(), {}, answer.confirm());
        QCOMPARE(second.outcome.kind, Outcome::Kind::Failed);
        // named in words before the unique index would refuse it in the engine's
        QVERIFY2(second.outcome.message.contains(QStringLiteral("B/L No. BL-0007 is already line 1 of ABCD / 123E (line 8 of the file).")),
                 qPrintable(second.outcome.message));
        QCOMPARE(test::voyageRows(t.db()), before);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from cargo where sublineno <> 0")), 0);
    }

    // The import touches only its own rows: a house B/L of another voyage keeps its
    // sub-line number, and no stale sub-line number catches the file's containers.
    void otherVoyagesKeepTheirSubLines_data() { test::addEngineRows(); }
    void otherVoyagesKeepTheirSubLines()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QVERIFY(t.db().exec(QStringLiteral("insert into cargo (id, vslcode, voyno, lineno, blno, sublineno) values "
                                           "(1, 'X', '1', 1, 'X1', 0), (2, 'X', '1', 1, 'X1-H1', 1)")).isOk());
        Answer answer;
        const IgmImportResult r = importIgmFile(t.db(), golden(), {}, answer.confirm());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(test::count(t.db(), QStringLiteral("select sublineno from cargo where id = 2")), 1);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from cargo where vslcode = 'ABCD' and sublineno <> 0")), 0);
        QCOMPARE(test::count(t.db(), QStringLiteral("select count(*) from contain where ref in (1, 2)")), 0);
    }

    void badInput_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        const QList<QByteArray> g = goldenLines();
        const QByteArray whole = joined(g);
        const QString general = QStringLiteral("---General Error ");
        QList<QByteArray> noEndCargo = g;
        noEndCargo.erase(noEndCargo.begin() + 11, noEndCargo.end());
        QList<QByteArray> noEndContain = g;
        noEndContain.erase(noEndContain.begin() + 15, noEndContain.end());
        QList<QByteArray> twice = g;
        twice[9] = twice[8];
        QByteArray binary;
        QRandomGenerator rng(7);
        for (int i = 0; i < 5000; ++i)
            binary += char(rng.bounded(256));
        for (const char *engine : {"sqlite", "postgres"}) {
            const QString e = QLatin1String(engine);
            QTest::addRow("%s: empty file", engine) << e << QByteArray() << "62  " << general;
            QTest::addRow("%s: not an IGM file", engine) << e << QByteArray("Dear Sir,\r\nplease find\r\n") << "62  " << general;
            QTest::addRow("%s: binary", engine) << e << binary << "321  " << general;
            QTest::addRow("%s: vesinfo then nothing", engine) << e << QByteArray("<vesinfo>\r\n") << "62  " << general;
            QTest::addRow("%s: no vessel record", engine) << e << QByteArray("<vesinfo>\r\n<END-vesinfo>\r\n") << "321  " << general;
            QTest::addRow("%s: cut inside the cargo", engine) << e << joined(noEndCargo) << "62  " << general;
            QTest::addRow("%s: cut inside the containers", engine) << e << joined(noEndContain) << "62  " << general;
            QTest::addRow("%s: cut in the middle of a line", engine) << e << whole.left(whole.indexOf("LKCMB") + 3) << "321  " << general;
            QTest::addRow("%s: 10 MB line", engine) << e << whole.left(whole.indexOf("<cargo>")) + QByteArray(10 << 20, 'A') + "\r\n"
                                                   << "321  " << general;
            QTest::addRow("%s: NUL in a record", engine) << e << QByteArray(whole).replace("MAKER", QByteArray("MA\0ER", 5)) << "321  " << general;
            QTest::addRow("%s: impossible date", engine) << e << withField(g, "V\x1d" "ABCD\x1d" "123E\x1d\x1d\x1d" "2", 8, "31022009")
                                                       << "13  " << "---Error Field : Cargo Information / bldt";
            QTest::addRow("%s: empty date", engine) << e << withField(g, "V\x1d" "ABCD\x1d" "123E\x1d\x1d\x1d" "2", 8, "")
                                                    << "13  " << "---Error Field : Cargo Information / bldt";
            QTest::addRow("%s: packages not a number", engine) << e << withField(g, "V\x1d" "ABCD\x1d" "123E\x1d\x1d\x1d" "3", 25, "1O")
                                                               << "13  " << "---Error Field : Cargo Information / pkgs";
            QTest::addRow("%s: container weight not a number", engine) << e << withField(g, "V\x1d" "ABCD\x1d" "123E\x1d\x1d\x1d" "3\x1d" "0\x1dXYZ", 12, "ten")
                                                                       << "13  " << "---Error Field : Container Information / conwt";
            QTest::addRow("%s: container of no line", engine) << e << withField(g, "V\x1d" "ABCD\x1d" "123E\x1d\x1d\x1d" "3\x1d" "0\x1dXYZ", 5, "9")
                                                              << "321  " << "---Error Field : Container Information / ref";
            QTest::addRow("%s: line number twice", engine) << e << joined(twice) << "321  " << "---Error Field : Cargo Information / lineno";
            QTest::addRow("%s: too many fields", engine) << e << withField(g, "V\x1d" "ABCD\x1d" "123E\x1d\x1d\x1d" "2", 38, QByteArray(80, '\x1d'))
                                                         << "321  " << general;
            QTest::addRow("%s: value too long for the vessel table", engine)
                << e << withField(g, "V\x1d\x1d\x1d", 9, QByteArray(300, 'N')) << "22001  "
                << "---Error Field : Vessel Information / vslnation";
            // Each a file that once imported as something else than it means.
            const QByteArray cargo2 = "V\x1d" "ABCD\x1d" "123E\x1d\x1d\x1d" "2";
            const QByteArray box3 = "V\x1d" "ABCD\x1d" "123E\x1d\x1d\x1d" "3\x1d" "0\x1dXYZ";
            QTest::addRow("%s: two lines joined", engine) << e << QByteArray(whole).replace("\r\n" + cargo2, cargo2) << "321  " << general;
            QTest::addRow("%s: two containers joined", engine) << e << QByteArray(whole).replace("\r\n" + box3, box3) << "321  " << general;
            QTest::addRow("%s: a second cargo section", engine)
                << e << QByteArray(whole).replace("<END-manifest>", whole.mid(whole.indexOf("<cargo>"), whole.indexOf("<END-contain>") - whole.indexOf("<cargo>")) + "<END-manifest>")
                << "321  " << general;
            QTest::addRow("%s: cut after the containers", engine) << e << whole.left(whole.indexOf("<END-manifest>")) << "62  " << general;
            QTest::addRow("%s: line of another voyage", engine) << e << withField(g, cargo2, 2, "124E") << "321  "
                                                              << "---Error Field : Cargo Information / vslcode";
            QTest::addRow("%s: container of another voyage", engine) << e << withField(g, box3, 1, "ABCE") << "321  "
                                                                   << "---Error Field : Container Information / vslcode";
            QTest::addRow("%s: no vessel code", engine) << e << withField(g, "V\x1d\x1d\x1d", 4, "") << "321  " << general;
            QTest::addRow("%s: junk vessel record, empty sections", engine)
                << e << QByteArray("<vesinfo>\r\nV\x1d\x1dX\x1d\r\n<END-vesinfo>\r\n<cargo>\r\n<END-cargo>\r\n<contain>\r\n<END-contain>\r\n<END-manifest>\r\n")
                << "321  " << general;
            QTest::addRow("%s: a line lost", engine) << e << withField(g, "V\x1d\x1d\x1d", 17, "4") << "321  " << general;
            for (const char *weight : {"heavy", "nan", "1e999", "0x10", "+-1", "-1"})
                QTest::addRow("%s: gross weight %s", engine, weight) << e << withField(g, cargo2, 27, weight) << "13  "
                                                                     << "---Error Field : Cargo Information / grosswt";
            QTest::addRow("%s: tonnage not a number", engine) << e << withField(g, "V\x1d\x1d\x1d", 14, "big") << "13  "
                                                            << "---Error Field : Vessel Information / grt";
            QTest::addRow("%s: negative packages", engine) << e << withField(g, cargo2, 25, "-3") << "13  "
                                                         << "---Error Field : Cargo Information / pkgs";
            QTest::addRow("%s: negative container weight", engine) << e << withField(g, box3, 12, "-0.5") << "13  "
                                                                 << "---Error Field : Container Information / conwt";
        }
    }
    void badInput()
    {
        QFETCH(QString, engine);
        QFETCH(QByteArray, data);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QUARL_COMPANY_DB(t, engine);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("in.igm"));
        QVERIFY(test::writeFile(path, data));
        Answer answer;
        IgmImportOptions options;
        options.withVessel = true;
        const IgmImportResult r = importIgmFile(t.db(), path, options, answer.confirm());
        QCOMPARE(r.outcome.kind, Outcome::Kind::Failed);
        QVERIFY2(r.outcome.message.startsWith(start), qPrintable(r.outcome.message));
        QVERIFY2(r.outcome.message.endsWith(end), qPrintable(r.outcome.message));
        QCOMPARE(test::voyageRows(t.db()), 0);
    }

    // Line ends, blank lines and the endings of older files that still mean the same voyage.
    void toleratedVariants_data()
    {
        QTest::addColumn<QByteArray>("data");
        const QByteArray whole = joined(goldenLines());
        QByteArray extraField;
        for (const QByteArray &l : goldenLines())
            extraField += l + (l.endsWith('\x1d') ? "\x1d\r\n" : "\r\n");
        QTest::newRow("CR CR LF") << QByteArray(whole).replace("\r\n", "\r\r\n");
        QTest::newRow("blank lines") << QByteArray(whole)
                                            .replace("<vesinfo>\r\n", "<vesinfo>\r\n\r\n  \r\n")
                                            .replace("<END-cargo>\r\n", "<END-cargo>\r\n\t\r\n");
        QTest::newRow("one empty field more") << extraField;
        QTest::newRow("no trailer") << whole.left(whole.indexOf("TREC**"));
    }
    void toleratedVariants()
    {
        QFETCH(QByteArray, data);
        QUARL_COMPANY_DB(expected, QStringLiteral("sqlite"));
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("in.igm"));
        QVERIFY(test::writeFile(path, data));
        Answer answer;
        IgmImportOptions options;
        options.withVessel = true;
        QVERIFY(importIgmFile(expected.db(), golden(), options, answer.confirm()).outcome.isOk());
        const IgmImportResult r = importIgmFile(t.db(), path, options, answer.confirm());
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE(test::storedVoyage(t.db()), test::storedVoyage(expected.db()));
        QCOMPARE(test::storedVoyage(t.db()), test::strictReading(data, true, false).value_or(QStringList()));
    }

    void missingFile()
    {
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        Answer answer;
        const IgmImportResult r = importIgmFile(t.db(), QStringLiteral("/nonexistent/x.igm"), {}, answer.confirm());
        QCOMPARE(r.outcome.kind, Outcome::Kind::Failed);
        QVERIFY2(r.outcome.message.startsWith(QStringLiteral("2  ")), qPrintable(r.outcome.message));
        QVERIFY(answer.asked.isEmpty());
    }

    // Randomly damaged files: the reader never crashes, and an import either stores exactly
    // what a strict reading of the file gives or nothing at all.
    void mutatedFiles_data() { test::addMutationRows(); }
    void mutatedFiles()
    {
        QFETCH(QString, engine);
        QFETCH(int, files);
        QUARL_TEMP_DB(t, engine);
        QUARL_VERIFY_OK(test::createImportTables(t.db()));
        test::DamagedImports d;
        d.good = test::readFixture(QStringLiteral("ABCD123E.igm"));
        d.files = files;
        d.seed = 20240601;
        d.strictReading = test::strictReading;
        d.stored = test::storedVoyage;
        d.alsoStored = [](const Database &db, qint64 lines, qint64 containers) {
            if (test::count(db, QStringLiteral("select count(*) from cargo")) != lines
                || test::count(db, QStringLiteral("select count(*) from contain")) != containers)
                return QStringLiteral("the counts said differ from the rows stored");
            if (test::count(db, QStringLiteral("select count(*) from cargo where sublineno <> 0")) != 0)
                return QStringLiteral("a house line was stored");
            if (test::count(db, QStringLiteral("select count(*) from contain where ref not in (select id from cargo)")) != 0)
                return QStringLiteral("a container without its line was stored");
            return QString();
        };
        const test::MutationTally tally = test::importDamagedFiles(t.db(), d);
        qInfo("%d of %d damaged files stored, %d refused", tally.stored, files, tally.refused);
        QCOMPARE(tally.broken, -1);
        QVERIFY(tally.stored > 0);
        QVERIFY(tally.refused > files / 4);
    }
};

QUARL_TEST(TestIgmReader)
#include "tst_igmreader.moc"
