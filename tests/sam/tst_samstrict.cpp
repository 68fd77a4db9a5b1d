#include "common/samtestdata.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "manifest/outcome.h"
#include "sam/samcheck.h"
#include "sam/samfile.h"
#include "sam/samreply.h"
#include "store/schema.h"

#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace quarl;
using namespace quarl::igm;

namespace {

const QString Vessel = QStringLiteral("GOLD");
const char *const Tables[] = {"vesinfo", "cargo", "contain", "cargoitem", "D_VESSEL_CD"};

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &data)
{
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        return {};
    return f.fileName();
}

QByteArray edited(const QString &edits)
{
    Json doc = test::samGolden();
    QString why;
    if (!test::editJson(doc, edits, &why))
        qFatal("%s", qPrintable(why));
    return QByteArray::fromStdString(doc.dump(1));
}

SamImportResult import(const Database &db, const QString &path)
{
    SamImportOptions options;
    options.vessel = Vessel;
    return importSamFile(db, path, options, [](const QString &) { return true; });
}

// Every row of the tables an import fills, in key order, every column.
QStringList stored(const Database &db)
{
    QStringList out;
    for (const char *table : Tables) {
        auto q = db.query(QStringLiteral("select * from %1 order by 1").arg(QLatin1String(table)));
        while (q && q->next()) {
            QStringList row{QLatin1String(table)};
            for (int i = 0; i < q->record().count(); ++i)
                row << q->value(i).toString();
            out << row.join(QLatin1Char('|'));
        }
    }
    return out;
}

// The line and column (1-based) of a place in a text.
std::pair<qint64, qint64> placeIn(const QByteArray &text, qsizetype at)
{
    const qsizetype lineStart = text.lastIndexOf('\n', at - 1) + 1;
    return {text.left(at).count('\n') + 1, at - lineStart + 1};
}

// quarlctl's exit and what it said, both streams.
struct Run
{
    bool crashed = true;
    int exit = -1;
    QString said;
};

Run quarlctl(const QStringList &args)
{
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../quarlctl"), args);
    Run r;
    if (!p.waitForFinished(300000))
        return r;
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.exit = p.exitCode();
    r.said = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return r;
}

QByteArray nested(const QByteArray &open, const QByteArray &close, int depth)
{
    return open.repeated(depth) + close.repeated(depth);
}

// What the check lists, one text a finding.
QStringList checked(const QString &path)
{
    QStringList out;
    for (const Finding &f : checkSamFile(path).findings)
        out << samFindingText(f);
    return out;
}

} // namespace

// A SAM file read strictly: the members of an object in any order, no key twice, numbers,
// dates and required values as the schema and the screens ask, and any text at all, however
// damaged, refused with a message that says what and where, storing nothing.
class TestSamStrictReading : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The members of an object are read whatever their order: the voyage's header after its
    // lines stores what the usual order stores, row for row.
    void keyOrderMeansNothing_data()
    {
        QTest::addColumn<QString>("edits");
        QTest::newRow("the master and vessel after the lines") << "last /master/authPrsn\nlast /master/vesselDtls";
        QTest::newRow("the voyage after the lines") << "last /master/voyageDtls";
        QTest::newRow("the declaration reference last") << "last /master/decRef";
        QTest::newRow("the whole header after the containers")
            << "last /master/voyageTransportEquipment\nlast /master/decRef\nlast /master/authPrsn\nlast /master/vesselDtls\n"
               "last /master/voyageDtls";
        QTest::newRow("the header field and the master swapped") << "last /headerField\nlast /digSign";
        QTest::newRow("a line's reference last")
            << "last /master/mastrCnsgmtDec/0/MCRef\nlast /master/mastrCnsgmtDec/1/houseCargoDec/0/HCRef";
        QTest::newRow("the line number last in its reference") << "last /master/mastrCnsgmtDec/2/MCRef/lineNo";
    }
    void keyOrderMeansNothing()
    {
        QFETCH(QString, edits);
        QTemporaryDir dir;
        QUARL_COMPANY_DB(usual, QStringLiteral("sqlite"));
        const SamImportResult first = import(usual.db(), test::samFixture(QStringLiteral("golden_small.json")));
        QVERIFY2(first.outcome.isOk(), qPrintable(first.outcome.message));
        const QStringList expected = stored(usual.db());
        QVERIFY(expected.size() > 20);

        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        const SamImportResult r = import(t.db(), write(dir, QStringLiteral("reordered.json"), edited(edits)));
        QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message));
        QCOMPARE((std::tuple{r.lines, r.containers, r.items, r.header}), (std::tuple{first.lines, first.containers, first.items, true}));
        QCOMPARE(stored(t.db()), expected);
    }

    // A key given twice is refused by the import and named by the check, with its line and
    // column: a second master or list of lines would have been taken for the first.
    void keyGivenTwice_data()
    {
        QTest::addColumn<QByteArray>("after");  // the text the key given twice follows
        QTest::addColumn<QByteArray>("second"); // the key given twice and its value
        QTest::addColumn<QString>("pointer");
        QTest::newRow("a second master") << QByteArray("\"digSign\": {\"startSignature\": \"\", \"startCertificate\": \"\", \"signerVersion\": \"\"}")
                                         << QByteArray(",\n \"master\": {\"voyageDtls\": {\"voyageNo\": \"X1\"}, \"mastrCnsgmtDec\": []}")
                                         << "/master";
        QTest::newRow("a second list of lines") << QByteArray("\"voyageTransportEquipment\": [")
                                                << QByteArray("], \"mastrCnsgmtDec\": [")
                                                << "/master/mastrCnsgmtDec";
        QTest::newRow("a line number twice") << QByteArray("{\"MCRef\": {\"lineNo\": 2, ")
                                             << QByteArray("\"lineNo\": 2, ") << "/master/mastrCnsgmtDec/1/MCRef/lineNo";
        QTest::newRow("the voyage number twice") << QByteArray("\"voyageNo\": \"024E\", ")
                                                 << QByteArray("\"voyageNo\": \"024F\", ") << "/master/voyageDtls/voyageNo";
        QTest::newRow("twice in the voyage's list of containers")
            << QByteArray("{\"equipmentSequenceNo\": 3, ") << QByteArray("\"equipmentSequenceNo\": 3, ")
            << "/master/voyageTransportEquipment/2/equipmentSequenceNo";
    }
    void keyGivenTwice()
    {
        QFETCH(QByteArray, after);
        QFETCH(QByteArray, second);
        QFETCH(QString, pointer);
        QByteArray text = test::samGoldenData();
        const qsizetype at = text.indexOf(after);
        QVERIFY(at >= 0);
        text.insert(at + after.size(), second);
        // where the second key's name begins
        const auto [line, column] = placeIn(text, text.indexOf('"', at + after.size()));
        const QString key = pointer.section(QLatin1Char('/'), -1);
        QTemporaryDir dir;
        const QString path = write(dir, QStringLiteral("twice.json"), text);

        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        const SamImportResult r = import(t.db(), path);
        QCOMPARE(r.outcome.kind, Outcome::Kind::Failed);
        const QString said = QStringLiteral("gives the key \"%1\" twice in one object: line %2, column %3 (%4)").arg(key).arg(line).arg(column).arg(pointer);
        QVERIFY2(r.outcome.message.contains(said), qPrintable(r.outcome.message + QStringLiteral(" | ") + said));
        QCOMPARE(test::samRowsIn(t.db()), qint64(0));

        const QStringList findings = checked(path);
        const QString listed = QStringLiteral("Error  Voyage: The key %1 is given twice in one place (line %2, column %3 of the file); "
                                              "the gateway may read either  (%4)").arg(key).arg(line).arg(column).arg(pointer);
        QVERIFY2(findings.contains(listed), qPrintable(findings.join(QLatin1Char('\n'))));
    }

    // Numbers, dates and the values a row needs, as the schema and the cargo screen have
    // them, before anything is stored; the check finds each fault where the import names it.
    void valuesAsTheSchemaSays_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("path");
        auto row = [](const char *name, const QString &edits, const QString &what, const QString &path) {
            QTest::newRow(name) << edited(edits) << what << path;
        };
        auto set = [](const QString &pointer, const char *json) { return QStringLiteral("set %1 %2").arg(pointer, QLatin1String(json)); };
        auto del = [](const QString &pointer) { return QStringLiteral("del %1").arg(pointer); };
        const QString line0 = QStringLiteral("/master/mastrCnsgmtDec/0");
        const QString pkgs = line0 + QStringLiteral("/trnsprtDocMsr/nmbrOfPkgs");
        const QString lineNo = line0 + QStringLiteral("/MCRef/lineNo");
        const QString blDate = line0 + QStringLiteral("/MCRef/mstrBlDt");
        const QString box = line0 + QStringLiteral("/trnsprtEqmt/0");
        const QString house = QStringLiteral("/master/mastrCnsgmtDec/1/houseCargoDec/0");
        const QString voyage = QStringLiteral("/master/voyageDtls");

        // numbers
        row("packages beyond any count", set(pkgs, "1e19"), "Out of range: nmbrOfPkgs holds 1e+19, more than 99999999", pkgs);
        row("packages as a long text", set(pkgs, "\"99999999999999999999999\""),
            "Type mismatch: nmbrOfPkgs holds \"99999999999999999999999\", not a whole number", pkgs);
        row("packages 0", set(pkgs, "0"), "Out of range: nmbrOfPkgs holds 0, less than 1", pkgs);
        row("a container's packages beyond any count", set(box + QStringLiteral("/totalNmbrOfPkgs"), "1e19"),
            "Out of range: totalNmbrOfPkgs holds 1e+19, more than 99999999", box + QStringLiteral("/totalNmbrOfPkgs"));
        row("an item's packages beyond any count", set(line0 + QStringLiteral("/itemDtls/0/nmbrOfPkgs"), "99999999999999999999999"),
            "Out of range: nmbrOfPkgs holds 9.999999999999999e+22, more than 99999999", line0 + QStringLiteral("/itemDtls/0/nmbrOfPkgs"));
        row("a line number beyond any count", set(lineNo, "1e19"), "Out of range: lineNo holds 1e+19, more than 99999", lineNo);
        row("line number 0", set(lineNo, "0"), "Out of range: lineNo holds 0, less than 1", lineNo);
        row("a line number with a fraction", set(lineNo, "1.5"), "Type mismatch: lineNo holds 1.5, not a whole number", lineNo);
        row("a line number as text", set(lineNo, "\"1\""), "Type mismatch: lineNo holds \"1\", not a whole number", lineNo);
        row("a crew beyond any count", set(voyage + QStringLiteral("/nmbrOfCrewMnfsted"), "1e19"),
            "Out of range: nmbrOfCrewMnfsted holds 1e+19, more than 9999", voyage + QStringLiteral("/nmbrOfCrewMnfsted"));
        row("passengers below none", set(voyage + QStringLiteral("/nmbrOfPsngrsMnfsted"), "-1"),
            "Out of range: nmbrOfPsngrsMnfsted holds -1, less than 0", voyage + QStringLiteral("/nmbrOfPsngrsMnfsted"));
        row("a weight as text", set(box + QStringLiteral("/cntrWeight"), "\"heavy\""),
            "Type mismatch: cntrWeight holds \"heavy\", not a number", box + QStringLiteral("/cntrWeight"));
        // dates and times
        for (const char *value : {"false", "true", "[]", "{}", "20250225"}) {
            const QByteArray name = QByteArray("a B/L date of ") + value;
            row(name.constData(), set(blDate, value), QStringLiteral("Type mismatch: mstrBlDt holds %1, not a date YYYYMMDD").arg(QLatin1String(value)), blDate);
        }
        row("a house B/L date with dashes", set(house + QStringLiteral("/HCRef/blDt"), "\"2025-02-28\""),
            "Type mismatch: blDt holds \"2025-02-28\", not a date YYYYMMDD", house + QStringLiteral("/HCRef/blDt"));
        row("a B/L date of 30 February", set(blDate, "\"20250230\""), "Type mismatch: mstrBlDt holds \"20250230\", not a date YYYYMMDD", blDate);
        row("an arrival at 99:99", set(voyage + QStringLiteral("/exptdDtAndTimeOfArvl"), "\"20250312T99:99\""),
            "Type mismatch: exptdDtAndTimeOfArvl holds \"20250312T99:99\", not a date and time YYYYMMDDTHH:MM",
            voyage + QStringLiteral("/exptdDtAndTimeOfArvl"));
        row("an arrival without its time", set(voyage + QStringLiteral("/exptdDtAndTimeOfArvl"), "\"20250312\""),
            "Type mismatch: exptdDtAndTimeOfArvl holds \"20250312\", not a date and time YYYYMMDDTHH:MM",
            voyage + QStringLiteral("/exptdDtAndTimeOfArvl"));
        row("a departure as a number", set(voyage + QStringLiteral("/exptdDtAndTimeOfDptr"), "202503140600"),
            "Type mismatch: exptdDtAndTimeOfDptr holds 202503140600, not a date and time YYYYMMDDTHH:MM",
            voyage + QStringLiteral("/exptdDtAndTimeOfDptr"));
        // what a stored row needs
        QTest::newRow("an empty line")
            << QByteArray("{\"master\":{\"voyageDtls\":{\"voyageNo\":\"X1\"},\"mastrCnsgmtDec\":[{}]}}")
            << "The line has no Line No. (lineNo), which it cannot be stored without" << lineNo;
        row("no B/L number", del(line0 + QStringLiteral("/MCRef/mstrBlNo")), "The line has no B/L No. (mstrBlNo)",
            line0 + QStringLiteral("/MCRef/mstrBlNo"));
        row("no B/L date", del(blDate), "The line has no B/L Date (mstrBlDt)", blDate);
        row("no nature of cargo", del(line0 + QStringLiteral("/locCstm/natrOfCrgo")), "The line has no", line0 + QStringLiteral("/locCstm/natrOfCrgo"));
        row("no packages", del(pkgs), "The line has no", pkgs);
        row("no port of loading", del(line0 + QStringLiteral("/trnsprtDoc/prtOfAcptCdd")), "The line has no",
            line0 + QStringLiteral("/trnsprtDoc/prtOfAcptCdd"));
        row("a house B/L without its date", del(house + QStringLiteral("/HCRef/blDt")), "The house B/L has no House B/L Date (blDt)",
            house + QStringLiteral("/HCRef/blDt"));
        row("a house B/L that is text", set(house, "\"HBL\""), "A house B/L is not a group of fields", house);
        row("a container without its number", del(box + QStringLiteral("/eqmtId")), "The container has no", box + QStringLiteral("/eqmtId"));
        row("a goods item that is a number", set(line0 + QStringLiteral("/itemDtls/0"), "5"), "A goods item is not a group of fields",
            line0 + QStringLiteral("/itemDtls/0"));
        row("no voyage number", del(voyage + QStringLiteral("/voyageNo")), "The voyage has no Voy. No. (voyageNo)", voyage + QStringLiteral("/voyageNo"));
        row("no lines", set(QStringLiteral("/master/mastrCnsgmtDec"), "[]") + QLatin1Char('\n') + del(voyage + QStringLiteral("/totalNmbrOfLines")),
            "The file holds no lines", QStringLiteral("/master/mastrCnsgmtDec"));
    }
    void valuesAsTheSchemaSays()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, what);
        QFETCH(QString, path);
        QTemporaryDir dir;
        const QString name = write(dir, QStringLiteral("damaged.json"), file);
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        const SamImportResult r = import(t.db(), name);
        QCOMPARE(r.outcome.kind, Outcome::Kind::Failed);
        QVERIFY2(r.outcome.message.contains(what) && r.outcome.message.contains(QStringLiteral("(%1").arg(path)),
                 qPrintable(r.outcome.message));
        QCOMPARE(test::samRowsIn(t.db()), qint64(0));
        // the check finds it too, in the same place or the place that lacks it
        bool found = false;
        for (const Finding &f : checkSamFile(name).findings)
            found = found || (f.isError() && (f.path == path || path.startsWith(f.path + QLatin1Char('/')) || f.path.startsWith(path)));
        QVERIFY2(found || what == QLatin1String("The file holds no lines"), qPrintable(checked(name).join(QLatin1Char('\n'))));
    }

    // No text at all ends the program: the import, the check and the reading of a reply
    // refuse it, say what is wrong and where, and the import stores nothing.
    void noTextEndsTheProgram_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("import");
        QTest::addColumn<QString>("check");
        QTest::addColumn<QString>("reply");
        const QString notAGroup = QStringLiteral("The file is not a SAM message: its text is not a group of fields (/)");
        const QString notAReply = QStringLiteral("it has neither errorDetails (_SFL) nor master (_ACK)");
        const QString tooDeep = QStringLiteral("nests its arrays and objects more than 64 deep, which no real file does: line ");
        QTest::newRow("a list") << QByteArray("[]") << notAGroup << "the file should be a group of fields, not []" << notAReply;
        QTest::newRow("a number") << QByteArray("1") << notAGroup << "the file should be a group of fields, not 1" << notAReply;
        QTest::newRow("a text") << QByteArray("\"SAM\"") << notAGroup << "the file should be a group of fields, not SAM" << notAReply;
        QTest::newRow("a master that is a number")
            << QByteArray("{\"master\": 1}") << "it has no master group of fields (the voyage and its lines) (/master)"
            << "Manifest should be a group of fields, not 1  (/master)" << "This is a declaration, not the gateway's reply";
        QTest::newRow("nothing") << QByteArray() << "is not a JSON file as it stands: line 1" << "is not a JSON file as it stands: line 1"
                                 << "is not a JSON file as it stands: line 1";
        QTest::newRow("a number beyond a double")
            << QByteArray("{\"master\":{\"x\":1e309}}") << "is not a JSON file as it stands: line 1, column 20: number overflow parsing '1e309'"
            << "is not a JSON file as it stands: line 1, column 20: number overflow parsing '1e309'"
            << "is not a JSON file as it stands: line 1, column 20: number overflow parsing '1e309'";
        const QByteArray header = "{\"master\":{\"voyageDtls\":{\"x\":" + nested("[", "]", 50000) + "}}}";
        QTest::newRow("50,000 brackets in the voyage's header") << header << tooDeep + "1, column 91 (/master/voyageDtls/x/0/0/0"
                                                                << tooDeep + "1, column 91" << tooDeep + "1, column 91";
        QByteArray inALine = test::samGoldenData();
        inALine.replace("\"goodsDescAsPerBl\": \"", "\"goodsDescAsPerBl\": " + nested("{\"a\":", "}", 100000) + ", \"x\": \"");
        QTest::newRow("100,000 objects in a text of a line") << inALine << tooDeep << tooDeep << tooDeep;
        QByteArray inAReply;
        {
            QFile ack(test::samFixture(QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_ACK.json")));
            QVERIFY(ack.open(QIODevice::ReadOnly));
            inAReply = ack.readAll().replace("\"errorMessage\" : \"Invalid Voyage Call Number-VCN\"",
                                             "\"errorMessage\" : " + nested("[", "]", 20000));
        }
        QTest::newRow("20,000 brackets in a reply") << inAReply << tooDeep << tooDeep << tooDeep + "39, column 84 (/master/voyageDtlsErrorCode/0/errorMessage/0/0";
        const QByteArray longText = "{\"master\": {\"voyageDtls\": {\"voyageNo\": \"" + QByteArray(9 << 20, 'X') + "\"}}}";
        const QString stretch = QStringLiteral("has more than 8 MB in one stretch that no text or number ends, which is more than this "
                                               "program reads: line 1, column 8388646");
        QTest::newRow("a text of 9 MB") << longText << stretch << stretch << stretch;
        const QByteArray blanks = "{\"master\":" + QByteArray(9 << 20, ' ') + "{}}";
        QTest::newRow("9 MB of blanks") << blanks << "in one stretch that no text or number ends" << "in one stretch that no text or number ends"
                                        << "in one stretch that no text or number ends";
        QByteArray items = "{\"master\": {\"voyageDtls\": {\"voyageNo\": \"X1\"}, \"mastrCnsgmtDec\": [{\"MCRef\": {\"lineNo\": 1}, \"itemDtls\": [";
        items += QByteArray("{},").repeated(800000) + "{}]}]}}";
        const QString element = QStringLiteral("holds more than 48 MB in one element, /master/mastrCnsgmtDec/0, which is more than this program reads");
        QTest::newRow("a line of 800,000 goods items") << items << element << element << element;
        QByteArray calls = "{\"master\": {\"voyageDtls\": {\"voyageNo\": \"X1\", \"shipItnry\": [";
        calls += QByteArray("0,").repeated(300000) + "0]}, \"mastrCnsgmtDec\": []}}";
        const QString rest = QStringLiteral("holds more than 16 MB besides its lists of lines, which is more than this program reads: line 1, column");
        QTest::newRow("300,000 ports of call") << calls << rest << rest << rest;
        QByteArray hugeInALine = test::samGoldenData();
        hugeInALine.replace("\"grossWeight\": 36500.5", "\"grossWeight\": 1e400");
        QTest::newRow("a weight beyond a double") << hugeInALine << "number overflow parsing '1e400'"
                                                  << "number overflow parsing '1e400'" << "number overflow parsing '1e400'";
    }
    void noTextEndsTheProgram()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, import);
        QFETCH(QString, check);
        QFETCH(QString, reply);
        QTemporaryDir dir;
        const QString path = write(dir, QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_ACK.json"), file);
        QVERIFY(!path.isEmpty() || file.isEmpty());
        QUARL_COMPANY_DB(t, QStringLiteral("sqlite"));
        const QStringList home{QStringLiteral("--home"), dir.path()};
        const Run imported = quarlctl(home + QStringList{QStringLiteral("import-sam"), dir.filePath(QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_ACK.json")),
                                                         QStringLiteral("--db"), t.sqlitePath(), QStringLiteral("--vessel"), Vessel, QStringLiteral("--yes")});
        QVERIFY2(!imported.crashed && imported.exit == 1, qPrintable(imported.said));
        QVERIFY2(imported.said.contains(import), qPrintable(imported.said));
        QCOMPARE(test::samRowsIn(t.db()), qint64(0));
        const Run checkedFile = quarlctl(home + QStringList{QStringLiteral("check-sam"), dir.filePath(QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_ACK.json"))});
        QVERIFY2(!checkedFile.crashed && checkedFile.exit == 1, qPrintable(checkedFile.said));
        QVERIFY2(checkedFile.said.contains(check), qPrintable(checkedFile.said));
        const Run read = quarlctl(home + QStringList{QStringLiteral("read-reply"), dir.filePath(QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_ACK.json"))});
        QVERIFY2(!read.crashed && read.exit == 1, qPrintable(read.said));
        QVERIFY2(read.said.contains(reply), qPrintable(read.said));
    }

    // The check lists the first thousand findings in their order and counts the rest, as
    // the file is checked whole or as it is written; what it compares lines by stops at
    // what the gateway takes, and says so.
    void findingsBeyondTheList()
    {
        Json doc = test::samGolden();
        for (int i = 0; i < 2000; ++i)
            doc["master"]["mastrCnsgmtDec"].push_back(Json::object());
        const QByteArray data = QByteArray::fromStdString(doc.dump(1));
        SamCheckOptions options;
        options.fileName = QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_DEC.json");
        const SamCheckReport whole = checkSamData(data, options);
        // the line total, then three parts missing on each empty line: lines 5 to 337 listed
        QCOMPARE((std::tuple{whole.errors(), whole.warnings(), whole.findings.size(), whole.unlisted()}),
                 (std::tuple{qint64(6001), qint64(0), qsizetype(SamCheckReport::MostListed), qint64(5001)}));
        QCOMPARE(whole.findings.first().rule, QStringLiteral("line-total"));
        QCOMPARE((std::pair{whole.findings.at(1).lineNo, whole.findings.last().lineNo}), (std::pair{qint64(5), qint64(337)}));
        SamCheckStream stream(options);
        for (qsizetype at = 0; at < data.size(); at += 4096)
            stream.add(data.constData() + at, std::min<qsizetype>(4096, data.size() - at));
        const SamCheckReport pieces = stream.finish();
        QCOMPARE(pieces.errors(), whole.errors());
        QStringList a, b;
        for (const Finding &f : whole.findings)
            a << samFindingText(f);
        for (const Finding &f : pieces.findings)
            b << samFindingText(f);
        QCOMPARE(b, a);

        QTemporaryDir dir;
        const Run said = quarlctl({QStringLiteral("--home"), dir.path(), QStringLiteral("check-sam"),
                                   write(dir, options.fileName, data)});
        QVERIFY2(!said.crashed && said.exit == 1, qPrintable(said.said));
        QVERIFY(said.said.contains(QStringLiteral("... and 5001 more finding(s) not listed.")));
        QVERIFY(said.said.contains(QStringLiteral("2004 lines, 2 house B/Ls, 5 containers; 6001 errors, 0 warnings.")));

        // more lines than the gateway takes: the later ones are not compared with the others
        QByteArray many = "{\"master\": {\"mastrCnsgmtDec\": [";
        for (int i = 1; i <= 100002; ++i)
            many += QStringLiteral("{\"MCRef\": {\"lineNo\": %1, \"mstrBlNo\": \"B%2\"}},").arg(i).arg(i == 100002 ? 1 : i).toLatin1();
        many.chop(1);
        many += "]}}";
        const SamCheckReport beyond = checkSamData(many, options);
        QStringList untracked;
        for (const Finding &f : beyond.findings) {
            if (f.rule == QLatin1String("line-number") || f.rule == QLatin1String("line-total"))
                untracked << f.text;
        }
        QCOMPARE(untracked, QStringList{QStringLiteral("The file holds more lines than the gateway takes: beyond 100000 they are not "
                                                       "compared with one another")});
        QCOMPARE(beyond.lines, qint64(100002));
    }

    // A reply lists its first thousand errors in its order and counts the rest: before the
    // lines, on them, and after them.
    void replyBeyondTheList()
    {
        QByteArray sfl = "{\"errorDetails\": {\"errorMessage\": [";
        for (int i = 0; i < 1500; ++i)
            sfl += QStringLiteral("%1{\"keyword\": \"required\", \"message\": \"m%2\", \"instance\": {\"pointer\": \"/master\"}}")
                       .arg(i ? QStringLiteral(",") : QString())
                       .arg(i)
                       .toLatin1();
        sfl += "], \"errorCode\": \"ERR100\", \"status\": \"Schema validation failure\"}}";
        Result<GatewayReply> failure = readGatewayReply(sfl, SamLineIndex());
        QVERIFY2(failure.isOk(), qPrintable(failure.failure().description));
        QCOMPARE((std::tuple{failure->errors.size(), failure->unlisted, failure->errors.last().text, failure->errors.last().rule}),
                 (std::tuple{qsizetype(1000), qint64(500), QStringLiteral("m999"), QStringLiteral("ERR100")}));
        QCOMPARE(failure->summary(), QStringLiteral("Structure failure (_SFL): 1500 errors"));

        auto errorList = [](const char *code) {
            return QStringLiteral("[{\"pathName\": \"/x\", \"errorCode\": \"%1\", \"errorMessage\": \"Bad\"}]").arg(QLatin1String(code)).toLatin1();
        };
        QByteArray ack = "{\"master\": {\"decRefErrorCode\": " + errorList("001") + ", \"mastrCnsgmtDec\": [";
        for (int i = 1; i <= 1200; ++i)
            ack += (i > 1 ? "," : "") + QStringLiteral("{\"MCRef\": {\"lineNo\": %1}, \"locCstmErrorCode\": ").arg(i).toLatin1() + errorList("060") + "}";
        ack += "], \"voyageDtlsErrorCode\": " + errorList("020") + "}}";
        Result<GatewayReply> ackReply = readGatewayReply(ack, SamLineIndex());
        QVERIFY2(ackReply.isOk(), qPrintable(ackReply.failure().description));
        QCOMPARE((std::tuple{ackReply->errors.size(), ackReply->unlisted}), (std::tuple{qsizetype(1000), qint64(202)}));
        QCOMPARE((std::tuple{ackReply->errors.first().rule, ackReply->errors.at(1).lineNo, ackReply->errors.last().lineNo}),
                 (std::tuple{QStringLiteral("001"), qint64(1), qint64(999)}));
        QVERIFY(!ackReply->accepted());
        QCOMPARE(ackReply->summary(), QStringLiteral("Acknowledgement (_ACK): 1202 errors"));
    }
};

QUARL_TEST(TestSamStrictReading)
#include "tst_samstrict.moc"
