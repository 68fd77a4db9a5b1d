#include "common/testmain.h"
#include "common/samtestdata.h"

#include "filing/igmcheck.h"
#include "sam/samcheck.h"
#include "sam/samreply.h"

#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace quarl;
using namespace quarl::igm;

namespace {

const QString DeclarationName = QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_DEC.json");

// The hand-written file with a container missing from the voyage's list, a line total off by
// one, a PAN in the wrong form and an HS code missing.
const QString BrokenEdits = QStringLiteral("del /master/voyageTransportEquipment/3\n"
                                           "set /master/voyageDtls/totalNoOfTrnsprtEqmtMnfsted 4\n"
                                           "set /master/voyageDtls/totalNmbrOfLines 5\n"
                                           "set /master/mastrCnsgmtDec/0/trnsprtDoc/panOfNotfdParty \"AABC9876L\"\n"
                                           "del /master/mastrCnsgmtDec/3/itemDtls/0/hsCd");

// "E rule path" / "W rule path" of each finding, sorted.
QStringList summary(const SamCheckReport &r)
{
    QStringList out;
    for (const Finding &f : r.findings)
        out << QStringLiteral("%1 %2 %3").arg(f.isError() ? QLatin1Char('E') : QLatin1Char('W')).arg(f.rule, f.path).trimmed();
    out.sort();
    return out;
}

QString line(int index, const char *rest)
{
    return QStringLiteral("/master/mastrCnsgmtDec/%1").arg(index) + QLatin1String(rest);
}

QString house(int index, const char *rest)
{
    return QStringLiteral("/master/mastrCnsgmtDec/1/houseCargoDec/%1").arg(index) + QLatin1String(rest);
}

SamCheckReport check(const QByteArray &data, const SamCheckOptions &given = {})
{
    SamCheckOptions options = given;
    if (options.fileName.isEmpty())
        options.fileName = DeclarationName;
    return checkSamData(data, options);
}

// The same check of the text handed over in pieces of the given size, as the writer does.
SamCheckReport checkInPieces(const QByteArray &data, qsizetype piece)
{
    SamCheckOptions options;
    options.fileName = DeclarationName;
    SamCheckStream stream(options);
    for (qsizetype at = 0; at < data.size(); at += piece)
        stream.add(data.constData() + at, std::min(piece, data.size() - at));
    return stream.finish();
}

QStringList said(const SamCheckReport &r)
{
    QStringList out;
    for (const Finding &f : r.findings)
        out << samFindingText(f);
    return out;
}

QString write(const QString &folder, const QString &name, const QByteArray &data)
{
    QFile f(folder + QLatin1Char('/') + name);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(data);
    return f.fileName();
}

QByteArray fixture(const QString &name)
{
    QFile f(test::samFixture(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// The pre-filing check of a SAM file, each rule caught on a file made to break it; the
// gateway's replies read back to the B/L to mend; the table of the gateway's error codes.
class TestSamCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eachRuleCatchesItsFault_data()
    {
        QTest::addColumn<QString>("edits");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QStringList>("expected");
        const QString voyageBox6 = QStringLiteral(
            "{\"equipmentSequenceNo\": 6, \"equipmentId\": \"TCLU1234568\", \"equipmentType\": \"CN\", \"equipmentSize\": \"22G1\", "
            "\"equipmentLoadStatus\": \"FCL\", \"socFlag\": \"N\", \"containerAgentCode\": \"AAACM4321F\", "
            "\"containerWeight\": 10, \"totalNumberOfPackages\": 1}");
        const QString copyOfBox1 = QStringLiteral(
            "{\"equipmentSequenceNo\": 6, \"equipmentId\": \"MSCU1234566\", \"equipmentType\": \"CN\", \"equipmentSize\": \"22G1\", "
            "\"equipmentLoadStatus\": \"FCL\", \"socFlag\": \"N\", \"containerAgentCode\": \"AAACM4321F\", "
            "\"containerWeight\": 10, \"totalNumberOfPackages\": 600}");
        const QString lineBox3 = QStringLiteral(
            "{\"eqmtSeqNo\": 3, \"eqmtId\": \"MSCU1234566\", \"eqmtTyp\": \"CN\", \"eqmtSize\": \"22G1\", \"eqmtLoadStatus\": \"FCL\", "
            "\"socFlag\": \"N\", \"cntrAgntCd\": \"AAACM4321F\", \"cntrWeight\": 10, \"totalNmbrOfPkgs\": 600}");
        struct Row
        {
            const char *name;
            QString edits;
            QStringList expected;
            QString fileName = DeclarationName;
        };
        auto set = [](const QString &pointer, const char *json) { return QStringLiteral("set %1 %2\n").arg(pointer, QLatin1String(json)); };
        auto del = [](const QString &pointer) { return QStringLiteral("del %1\n").arg(pointer); };
        auto E = [](const char *rule, const QString &path) { return QStringLiteral("E %1 %2").arg(QLatin1String(rule), path); };
        auto W = [](const char *rule, const QString &path) { return QStringLiteral("W %1 %2").arg(QLatin1String(rule), path); };
        const QString totals = QStringLiteral("/master/voyageDtls/totalNoOfTrnsprtEqmtMnfsted");
        const Row rows[] = {
            {"a clean file", {}, {}},
            {"HS code missing", del(line(3, "/itemDtls/0/hsCd")), {E("schema", line(3, "/itemDtls/0/hsCd"))}},
            {"line total off by one", set(QStringLiteral("/master/voyageDtls/totalNmbrOfLines"), "5"),
             {E("line-total", QStringLiteral("/master/voyageDtls/totalNmbrOfLines"))}},
            {"container total off by one", set(totals, "6"), {E("equipment-total", totals)}},
            {"a container missing from the voyage list", del(QStringLiteral("/master/voyageTransportEquipment/3")) + set(totals, "4"),
             {E("voyage-equipment", line(2, "/trnsprtEqmt/0/eqmtId"))}},
            {"a container on no line", QStringLiteral("add /master/voyageTransportEquipment %1\n").arg(voyageBox6) + set(totals, "6"),
             {E("voyage-equipment", QStringLiteral("/master/voyageTransportEquipment/5/equipmentId"))}},
            {"a house's container not on its master", set(house(0, "/trnsprtEqmt/0/eqmtId"), "\"MSCU1234566\""),
             {E("house-equipment", house(0, "/trnsprtEqmt/0/eqmtId"))}},
            {"a container twice in the voyage list", QStringLiteral("add /master/voyageTransportEquipment %1\n").arg(copyOfBox1) + set(totals, "6"),
             {E("duplicate-equipment", QStringLiteral("/master/voyageTransportEquipment/5/equipmentId"))}},
            {"a container twice on a line", QStringLiteral("add %1 %2\n").arg(line(0, "/trnsprtEqmt"), lineBox3),
             {E("duplicate-equipment", line(0, "/trnsprtEqmt/2/eqmtId")), E("line-packages", line(0, "/trnsprtDocMsr/nmbrOfPkgs"))}},
            {"a container sequence twice", set(line(0, "/trnsprtEqmt/1/eqmtSeqNo"), "1"),
             {E("equipment-sequence", line(0, "/trnsprtEqmt/1/eqmtSeqNo"))}},
            {"an empty container with weight", set(line(3, "/trnsprtEqmt/0/cntrWeight"), "2200"),
             {E("empty-equipment", line(3, "/trnsprtEqmt/0/cntrWeight"))}},
            {"an empty container of 2 packages", set(line(3, "/trnsprtEqmt/0/totalNmbrOfPkgs"), "2"),
             {E("empty-equipment", line(3, "/trnsprtEqmt/0/totalNmbrOfPkgs"))}},
            {"a container without its agent", del(line(0, "/trnsprtEqmt/0/cntrAgntCd")),
             {E("equipment-kind", line(0, "/trnsprtEqmt/0/cntrAgntCd"))}},
            {"a loaded container weighing 0", set(line(0, "/trnsprtEqmt/0/cntrWeight"), "0"),
             {E("equipment-kind", line(0, "/trnsprtEqmt/0/cntrWeight"))}},
            {"break bulk on a full container ship", set(line(0, "/trnsprtEqmt/1/eqmtTyp"), "\"BB\""),
             {E("equipment-kind", line(0, "/trnsprtEqmt/1/eqmtTyp"))}},
            {"a wrong check digit", set(line(0, "/trnsprtEqmt/0/eqmtId"), "\"MSCU1234567\"")
                                        + set(QStringLiteral("/master/voyageTransportEquipment/0/equipmentId"), "\"MSCU1234567\""),
             {W("container-number", line(0, "/trnsprtEqmt/0/eqmtId")),
              W("container-number", QStringLiteral("/master/voyageTransportEquipment/0/equipmentId"))}},
            {"FCL containers off the line's packages", set(line(2, "/trnsprtEqmt/0/totalNmbrOfPkgs"), "700"),
             {E("line-packages", line(2, "/trnsprtDocMsr/nmbrOfPkgs"))}},
            {"LCL containers off: a warning", set(line(1, "/trnsprtEqmt/0/totalNmbrOfPkgs"), "250"),
             {W("line-packages", line(1, "/trnsprtDocMsr/nmbrOfPkgs"))}},
            {"items off the line's packages", set(line(0, "/itemDtls/1/nmbrOfPkgs"), "300"), {E("item-packages", line(0, "/itemDtls"))}},
            {"an item in another package type", set(line(0, "/itemDtls/1/typOfPkgs"), "\"BGS\""),
             {E("item-packages", line(0, "/itemDtls/1/typOfPkgs"))}},
            {"houses off the master's packages", set(house(1, "/trnsprtDocMsr/nmbrOfPkgs"), "150") + set(house(1, "/itemDtls/0/nmbrOfPkgs"), "150"),
             {E("house-packages", line(1, "/trnsprtDocMsr/nmbrOfPkgs"))}},
            {"a house holding more than its master", set(house(1, "/trnsprtDocMsr/nmbrOfPkgs"), "400") + set(house(1, "/itemDtls/0/nmbrOfPkgs"), "400"),
             {E("house-packages", house(1, "/trnsprtDocMsr/nmbrOfPkgs"))}},
            {"an HS code twice", set(line(0, "/itemDtls/1/hsCd"), "\"848180\""), {E("duplicate-hs", line(0, "/itemDtls/1/hsCd"))}},
            {"a straight line without its route", del(line(0, "/itnry")), {E("scenario", line(0, "/itnry"))}},
            {"items on a consolidated line",
             set(line(1, "/itemDtls"), "[{\"crgoItemSeqNmbr\": 1, \"hsCd\": \"390210\", \"unoCd\": \"ZZZZZ\", \"imdgCd\": \"ZZZ\", \"nmbrOfPkgs\": 300, \"typOfPkgs\": \"PKG\"}]"),
             {E("scenario", line(1, "/itemDtls"))}},
            {"a consolidated line without houses", del(line(1, "/houseCargoDec")), {E("scenario", line(1, "/houseCargoDec"))}},
            {"houses under a straight line", set(line(1, "/MCRef/consolidatedIndctr"), "\"S\""),
             {E("scenario", line(1, "/houseCargoDec")), E("scenario", line(1, "/itemDtls"))}},
            {"a transhipment without its transhipper", del(line(2, "/trnshpr")), {E("scenario", line(2, "/trnshpr"))}},
            {"export cargo not declared before", set(line(0, "/locCstm/typOfCrgo"), "\"EX\""),
             {E("scenario", line(0, "/MCRef/consolidatedIndctr"))}},
            {"a house with a transhipper it has no use for", set(house(0, "/trnshpr"), "{\"trnshprCd\": \"X\", \"trnshprBond\": \"1\"}"),
             {E("scenario", house(0, "/trnshpr"))}},
            {"a consolidator PAN of 9", set(line(0, "/MCRef/consolidatorPan"), "\"PAN:AAACQ1234\""),
             {E("pan", line(0, "/MCRef/consolidatorPan"))}},
            {"the signer's PAN", set(QStringLiteral("/master/authPrsn/authReprsntvCd"), "\"ABCPQ5678\""),
             {E("pan", QStringLiteral("/master/authPrsn/authReprsntvCd"))}},
            {"the notify party's PAN", set(line(0, "/trnsprtDoc/panOfNotfdParty"), "\"AABC9876L\""),
             {E("pan", line(0, "/trnsprtDoc/panOfNotfdParty"))}},
            {"an IEC of 9", set(line(0, "/trnsprtDoc/cnsgnesCd"), "\"012345678\""), {E("party-code", line(0, "/trnsprtDoc/cnsgnesCd"))}},
            {"an IEC given as GSTIN", set(line(0, "/trnsprtDoc/typOfCd"), "\"GSN\""), {E("party-code", line(0, "/trnsprtDoc/cnsgnesCd"))}},
            {"a code without its type", del(line(0, "/trnsprtDoc/typOfCd")), {E("party-code", line(0, "/trnsprtDoc/typOfCd"))}},
            {"a code type unknown", set(line(0, "/trnsprtDoc/typOfCd"), "\"XYZ\""), {W("party-code", line(0, "/trnsprtDoc/typOfCd"))}},
            {"an Indian importer without PIN", del(line(0, "/trnsprtDoc/cnsgnePstcd")), {W("parties", line(0, "/trnsprtDoc/cnsgnePstcd"))}},
            {"state code 99", set(line(0, "/trnsprtDoc/cnsgneCntrySubDiv"), "\"99\""), {E("parties", line(0, "/trnsprtDoc/cnsgneCntrySubDiv"))}},
            {"a line number twice", set(line(1, "/MCRef/lineNo"), "1"), {E("line-number", line(1, "/MCRef/lineNo"))}},
            {"a B/L number twice", set(line(3, "/MCRef/mstrBlNo"), "\"MSCSIN0003\""), {E("line-number", line(3, "/MCRef/mstrBlNo"))}},
            {"a sub-line twice", set(house(1, "/HCRef/subLineNo"), "1"), {E("line-number", house(1, "/HCRef/subLineNo"))}},
            {"a B/L dated after the arrival", set(line(0, "/MCRef/mstrBlDt"), "\"20250313\""), {E("bl-date", line(0, "/MCRef/mstrBlDt"))}},
            {"a house B/L dated after the arrival", set(house(1, "/HCRef/blDt"), "\"20250401\""), {E("bl-date", house(1, "/HCRef/blDt"))}},
            {"sequence 0 at another port", set(QStringLiteral("/master/voyageDtls/shipItnry/3/prtOfCallCdd"), "\"INMUN1\""),
             {E("itinerary", QStringLiteral("/master/voyageDtls/shipItnry/3/prtOfCallCdd"))}},
            {"no port at sequence 0", set(QStringLiteral("/master/voyageDtls/shipItnry/3/shipItnrySeq"), "\"5\""),
             {E("itinerary", QStringLiteral("/master/voyageDtls/shipItnry"))}},
            {"a call sequence twice", set(QStringLiteral("/master/voyageDtls/shipItnry/4/shipItnrySeq"), "\"-1\""),
             {E("itinerary", QStringLiteral("/master/voyageDtls/shipItnry/4/shipItnrySeq")),
              W("itinerary", QStringLiteral("/master/voyageDtls/shipItnry"))}},
            {"no next port of call", del(QStringLiteral("/master/voyageDtls/shipItnry/4")),
             {W("itinerary", QStringLiteral("/master/voyageDtls/shipItnry"))}},
            {"a gap in the call sequences", set(QStringLiteral("/master/voyageDtls/shipItnry/0/shipItnrySeq"), "\"-5\""),
             {W("itinerary", QStringLiteral("/master/voyageDtls/shipItnry"))}},
            {"Indian to Indian from Colombo", set(QStringLiteral("/master/decRef/vesselTypMvmt"), "\"II\""),
             {W("movement", QStringLiteral("/master/decRef/vesselTypMvmt"))}},
            {"an IMO number's check digit", set(QStringLiteral("/master/vesselDtls/trnsprtMeansId"), "\"9074728\""),
             {E("imo-number", QStringLiteral("/master/vesselDtls/trnsprtMeansId"))}},
            {"first port of entry elsewhere", set(line(0, "/locCstm/firstPrtOfEntry"), "\"INMUN1\""),
             {E("first-port", line(0, "/locCstm/firstPrtOfEntry"))}},
            {"LC received at an ICD", set(line(0, "/trnsprtDoc/prtOfReceiptCdd"), "\"INTKD6\""),
             {E("receipt-port", line(0, "/trnsprtDoc/prtOfReceiptCdd"))}},
            {"TI received at the port", set(line(2, "/trnsprtDoc/prtOfReceiptCdd"), "\"INNSA1\""),
             {E("receipt-port", line(2, "/trnsprtDoc/prtOfReceiptCdd"))}},
            {"TI ending at the port", set(line(2, "/locCstm/destPrt"), "\"INNSA1\""), {E("route", line(2, "/locCstm/destPrt"))}},
            {"a leg from a port to itself", set(line(0, "/itnry/0/nxtPrtOfCallCdd"), "\"CNSHA\""),
             {E("route", line(0, "/itnry/0/nxtPrtOfCallCdd")), E("route", line(0, "/itnry"))}},
            {"a leg number twice", set(line(2, "/itnry/1/prtOfCallSeqNmbr"), "1"), {E("route", line(2, "/itnry/1/prtOfCallSeqNmbr"))}},
            {"a UN number with ZZZ", set(line(0, "/itemDtls/0/unoCd"), "\"1203\""), {E("dangerous-goods", line(0, "/itemDtls/0/unoCd"))}},
            {"volume in cubic metres", set(line(0, "/trnsprtDocMsr/grossVolume"), "12.5") + set(line(0, "/trnsprtDocMsr/unitOfVolume"), "\"CBM\""),
             {W("units", line(0, "/trnsprtDocMsr/unitOfVolume"))}},
            {"a consolidator other than the submitter", set(line(0, "/MCRef/consolidatorPan"), "\"PAN:AABCX1234Y\""),
             {W("consolidator", line(0, "/MCRef/consolidatorPan"))}},
            {"a header to another port", set(QStringLiteral("/headerField/receiverID"), "\"INMUN1\""),
             {E("header", QStringLiteral("/headerField/receiverID"))}},
            {"a file named for another job", {}, {QStringLiteral("W file-name")}, QStringLiteral("F_SACHM23_SAM_QUARLAGT_18_20250310_DEC.json")},
        };
        for (const Row &r : rows)
            QTest::newRow(r.name) << r.edits << r.fileName << r.expected;
    }

    void eachRuleCatchesItsFault()
    {
        QFETCH(QString, edits);
        QFETCH(QString, fileName);
        QFETCH(QStringList, expected);
        Json doc = test::samGolden();
        QString why;
        QVERIFY2(test::editJson(doc, edits, &why), qPrintable(why));
        SamCheckOptions options;
        options.fileName = fileName;
        const SamCheckReport r = check(QByteArray::fromStdString(doc.dump(1)), options);
        QVERIFY(r.readable);
        expected.sort();
        QCOMPARE(summary(r), expected);
        QCOMPARE(r.lines, qint64(4));
    }

    // What the check finds about house B/Ls names the master line by number and B/L, and
    // the house B/L by its own number.
    void houseFindingsNameLineAndHouse_data()
    {
        QTest::addColumn<QString>("edits");
        QTest::addColumn<QString>("expected");
        QTest::newRow("consolidated without houses") << QStringLiteral("del /master/mastrCnsgmtDec/1/houseCargoDec")
                                                     << QStringLiteral("Line 2 (B/L MSCSIN0002) is consolidated (C) but declares no house B/L");
        QTest::newRow("a house over its master") << QStringLiteral("set %1 400\nset %2 400")
                                                        .arg(house(1, "/trnsprtDocMsr/nmbrOfPkgs"), house(1, "/itemDtls/0/nmbrOfPkgs"))
                                                 << QStringLiteral("House B/L HBLSIN0002 holds 400 packages, more than its master, "
                                                                   "line 2 (B/L MSCSIN0002), holds: 300");
        QTest::newRow("houses short of their master") << QStringLiteral("set %1 150\nset %2 150")
                                                             .arg(house(1, "/trnsprtDocMsr/nmbrOfPkgs"), house(1, "/itemDtls/0/nmbrOfPkgs"))
                                                      << QStringLiteral("The house B/Ls of line 2 (B/L MSCSIN0002) hold 250 packages, the line 300");
        QTest::newRow("a house's box not its master's") << QStringLiteral("set %1 \"MSCU1234566\"").arg(house(0, "/trnsprtEqmt/0/eqmtId"))
                                                        << QStringLiteral("Container MSCU1234566 of house B/L HBLSIN0001 is not among the "
                                                                          "containers of its master, line 2 (B/L MSCSIN0002)");
    }
    void houseFindingsNameLineAndHouse()
    {
        QFETCH(QString, edits);
        QFETCH(QString, expected);
        Json doc = test::samGolden();
        QString why;
        QVERIFY2(test::editJson(doc, edits, &why), qPrintable(why));
        const SamCheckReport r = check(QByteArray::fromStdString(doc.dump(1)));
        QCOMPARE(r.findings.size(), 1);
        QCOMPARE(r.findings[0].text, expected);
        QCOMPARE(r.findings[0].lineNo, 2);
    }

    // The file of the example: a container missing from the voyage's list, a line
    // total off by one and a PAN in the wrong form, each said where the clerk mends it.
    void findingsNameTheirLineAndField()
    {
        Json doc = test::samGolden();
        QString why;
        QVERIFY(test::editJson(doc, BrokenEdits, &why));
        QTemporaryDir dir;
        const QString path = write(dir.path(), DeclarationName, QByteArray::fromStdString(doc.dump()));
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../quarlctl"), {QStringLiteral("check-sam"), path});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        const QStringList out = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(out, (QStringList{
            QStringLiteral("Error  Voyage: Total lines says 5, the file has 4 lines  (/master/voyageDtls/totalNmbrOfLines)"),
            QStringLiteral("Error  Line 1 B/L MSCSHA0001: Notify PAN / Code \"AABC9876L\" is not a PAN of the form AAAAA9999A  "
                           "(/master/mastrCnsgmtDec/0/trnsprtDoc/panOfNotfdParty)"),
            QStringLiteral("Error  Line 3 B/L MSCSIN0003: Container MSCU4567895 is not in the voyage's list of containers  "
                           "(/master/mastrCnsgmtDec/2/trnsprtEqmt/0/eqmtId)"),
            QStringLiteral("Error  Line 4 B/L MSCSIN0004: HS Code missing on item 1  (/master/mastrCnsgmtDec/3/itemDtls/0/hsCd)"),
        }));
        QVERIFY(p.readAllStandardError().contains("4 errors, 0 warnings"));

        write(dir.path(), DeclarationName, test::samGoldenData());
        p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../quarlctl"), {QStringLiteral("check-sam"), path});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput(), QByteArray());
        QVERIFY(p.readAllStandardError().contains("4 lines, 2 house B/Ls, 5 containers; 0 errors, 0 warnings"));
    }

    void theFileItself_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QStringList>("expected");
        const QByteArray golden = test::samGoldenData();
        QTest::newRow("a byte-order mark") << QByteArray("\xEF\xBB\xBF") + golden << true << QStringList{QStringLiteral("E json")};
        QByteArray twice = golden;
        twice.replace("\"lineNo\": 1,", "\"lineNo\": 1, \"lineNo\": 1,");
        QTest::newRow("a key twice") << twice << true << QStringList{QStringLiteral("E json /master/mastrCnsgmtDec/0/MCRef/lineNo")};
        QTest::newRow("cut short") << golden.left(golden.size() / 2) << false << QStringList{QStringLiteral("E json")};
        QTest::newRow("empty") << QByteArray() << false << QStringList{QStringLiteral("E json")};
    }

    void theFileItself()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, readable);
        QFETCH(QStringList, expected);
        const SamCheckReport r = check(data);
        QCOMPARE(r.readable, readable);
        QCOMPARE(summary(r), expected);
        // the same when the file is checked as it is written, a few bytes at a time
        const SamCheckReport pieces = checkInPieces(data, 5);
        QCOMPARE(pieces.readable, readable);
        QCOMPARE(summary(pieces), expected);
    }

    // Checked as it is written, in pieces of any size, a file gets the findings of the whole
    // file in the same order; pieces split keys, texts and numbers.
    void checkedAsWrittenAsWhole()
    {
        Json doc = test::samGolden();
        QString why;
        QVERIFY(test::editJson(doc, BrokenEdits + QStringLiteral("\nset /master/mastrCnsgmtDec/1/MCRef/mstrBlNo \"M\u00dcNCHEN\\\"1\""), &why));
        const QByteArray data = QByteArray::fromStdString(doc.dump(1));
        const QStringList whole = said(check(data));
        QVERIFY(whole.size() >= 5);
        for (const qsizetype piece : {1, 7, 4096, 1 << 20})
            QCOMPARE(said(checkInPieces(data, piece)), whole);

        // a writer that stops early leaves a file the check refuses, and does not wait on it
        const SamCheckReport cut = checkInPieces(data.left(data.size() / 3), 64);
        QVERIFY(!cut.readable);
        QVERIFY2(said(cut).join(QString()).contains(QLatin1String("is not a JSON file as it stands: line")), qPrintable(said(cut).join(QString())));
        SamCheckStream nothing{SamCheckOptions()};
        QVERIFY(!nothing.finish().readable);
    }

    // With the company's masters: codes not in them are named where they stand.
    void companyMasters()
    {
        SamMasters masters;
        masters.codes.ports = {QStringLiteral("INNSA1"), QStringLiteral("CNSHA"), QStringLiteral("SGSIN"), QStringLiteral("LKCMB"),
                               QStringLiteral("INMUN1")};
        masters.codes.packages = {QStringLiteral("PKG")};
        masters.codes.isoCodes = {QStringLiteral("22G1"), QStringLiteral("42G1"), QStringLiteral("45G1")};
        masters.countries = {QStringLiteral("IN"), QStringLiteral("CN"), QStringLiteral("SG")};
        masters.states = {QStringLiteral("27")};
        masters.sealTypes = {QStringLiteral("BTSL")};
        masters.shipTypes = {QStringLiteral("511")};
        SamCheckOptions options;
        options.masters = &masters;
        QStringList expected{QStringLiteral("E codes ") + line(2, "/itemDtls/0/typOfPkgs"),
                              QStringLiteral("E codes ") + line(2, "/trnsprtDocMsr/typsOfPkgs"),
                              QStringLiteral("E ports ") + line(2, "/itnry/1/nxtPrtOfCallCdd"),
                              QStringLiteral("E ports ") + line(2, "/locCstm/destPrt"),
                              QStringLiteral("E ports ") + line(2, "/trnsprtDoc/prtOfReceiptCdd"),
                              QStringLiteral("E parties ") + line(2, "/trnsprtDoc/cnsgneCntrySubDiv")};
        expected.sort();
        QCOMPARE(summary(check(test::samGoldenData(), options)), expected);
    }

    void replyNamesTheBL_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::newRow("errors beside the objects") << QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_ACK.json");
        QTest::newRow("errors inside the objects") << QStringLiteral("ack_objects_shape.json");
    }

    // An _ACK with two business errors on line 2 names that line's B/L, from the declaration
    // beside it, whichever of the two shapes of the official samples it takes.
    void replyNamesTheBL()
    {
        QFETCH(QString, reply);
        QTemporaryDir dir;
        const QString ack = write(dir.path(), QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_ACK.json"), fixture(reply));
        write(dir.path(), DeclarationName, test::samGoldenData());
        QString used;
        Result<GatewayReply> r = readGatewayReply(ack, QString(), &used);
        QVERIFY2(r.isOk(), qPrintable(r.failure().description));
        QCOMPARE(used, dir.filePath(DeclarationName));
        QCOMPARE(r->kind, GatewayReply::Kind::Acknowledgement);
        QCOMPARE(r->errors.size(), 3);
        QCOMPARE((std::tuple{r->errors.at(0).rule, r->errors.at(0).lineNo, r->errors.at(0).field}),
                 (std::tuple{QStringLiteral("020"), qint64(0), QStringLiteral("Voyage")}));
        for (int i : {1, 2}) {
            QCOMPARE(r->errors.at(i).lineNo, qint64(2));
            QCOMPARE(r->errors.at(i).blNo, QStringLiteral("MSCSIN0002"));
        }
        QCOMPARE(r->errors.at(1).rule, QStringLiteral("060"));
        QCOMPARE(replyFindingText(r->errors.at(2)),
                 QStringLiteral("Line 2 B/L MSCSIN0002: 137 Consignee PostCode is Null [Parties and goods] (/master/mastrCnsgmtDec/trnsprtDoc)"));
        QCOMPARE(r->summary(), QStringLiteral("Acknowledgement (_ACK): 3 errors"));
    }

    void structureFailureNamesTheHouseBL()
    {
        QTemporaryDir dir;
        const QString path = write(dir.path(), QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_SFL.json"),
                                   fixture(QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_SFL.json")));
        write(dir.path(), DeclarationName, test::samGoldenData());
        Result<GatewayReply> r = readGatewayReply(path);
        QVERIFY(r.isOk());
        QCOMPARE(r->kind, GatewayReply::Kind::StructureFailure);
        QCOMPARE(r->errors.size(), 2);
        const Finding &e = r->errors.at(0);
        QCOMPARE(e.rule, QStringLiteral("ERR100"));
        QCOMPARE((std::tuple{e.lineNo, e.subLineNo, e.blNo, e.field}),
                 (std::tuple{qint64(2), qint64(2), QStringLiteral("HBLSIN0002"), QStringLiteral("House B/L No.")}));
        QCOMPARE(r->errors.at(1).field, QStringLiteral("VCN"));
        QCOMPARE(r->errors.at(1).lineNo, qint64(0));
    }

    void replyWithoutItsDeclaration()
    {
        Result<GatewayReply> r = readGatewayReply(test::samFixture(QStringLiteral("F_SACHM23_SAM_QUARLAGT_17_20250310_ACK.json")));
        QVERIFY(r.isOk());
        QCOMPARE(r->errors.at(1).lineNo, qint64(2));
        QCOMPARE(r->errors.at(1).blNo, QString());
        QCOMPARE(r->identifiers.size(), 1);
        QCOMPARE(r->identifiers.at(0).number, QStringLiteral("25PC100310172764500"));
    }

    void notAReply_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("words");
        QTest::newRow("the declaration itself") << test::samGoldenData() << QStringLiteral("a declaration, not the gateway's reply");
        QTest::newRow("some other JSON") << QByteArray("{\"a\": 1}") << QStringLiteral("neither errorDetails");
        QTest::newRow("not JSON") << QByteArray("ACK") << QStringLiteral("not a JSON file");
    }

    void notAReply()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, words);
        const Result<GatewayReply> r = readGatewayReply(data, SamLineIndex());
        QVERIFY(!r.isOk());
        QVERIFY2(r.failure().description.contains(words), qPrintable(r.failure().description));
    }

    // Every gateway code has a rule of the check or a reason why none can catch it, and the
    // rules it names are rules the check has.
    void errorCodeTable()
    {
        QFile f(QStringLiteral(":/sam/gateway-errors.tsv"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QSet<QString> rules;
        for (const SamRule &r : samRules())
            rules.insert(QLatin1String(r.id));
        QSet<QString> codes;
        int covered = 0;
        for (const QByteArray &raw : f.readAll().split('\n')) {
            if (raw.isEmpty() || raw.startsWith('#'))
                continue;
            const QStringList cols = QString::fromUtf8(raw).split(QLatin1Char('\t'));
            QCOMPARE(cols.size(), 4);
            QVERIFY2(!codes.contains(cols.at(0)), qPrintable(cols.at(0)));
            codes.insert(cols.at(0));
            if (cols.at(2).isEmpty())
                QVERIFY2(!cols.at(3).isEmpty(), qPrintable(cols.at(0) + QLatin1String(" has neither rule nor reason")));
            else
                QVERIFY2(rules.contains(cols.at(2)), qPrintable(cols.at(2) + QLatin1String(" is no rule of the check")));
            covered += !cols.at(2).isEmpty();
        }
        QVERIFY(codes.contains(QStringLiteral("89")) && codes.contains(QStringLiteral("358")));
        QVERIFY(covered > 200);
    }
};

QUARL_TEST(TestSamCheck)
#include "tst_samcheck.moc"
