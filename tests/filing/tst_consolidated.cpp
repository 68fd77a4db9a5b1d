#include "common/igmtestdata.h"
#include "common/samtestdata.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "filing/igmwriter.h"
#include "flatfile/flatlayouts.h"
#include "interchange/xmlinterchange.h"
#include "manifest/voyageremoval.h"
#include "reports/reportdata.h"
#include "sam/samcheck.h"
#include "sam/samfile.h"
#include "store/filer.h"
#include "store/schema.h"

#include <nlohmann/json.hpp>

#include <QRegularExpression>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace quarl;
using namespace quarl::igm;

namespace {

const QString Vessel = QStringLiteral("GOLD");
const QString Voyage = QStringLiteral("024E");

// The small voyage of the hand-written SAM file: a straight line, a consolidated line with
// two house B/Ls, two straight lines more.
Status keepSmallVoyage(const Database &db)
{
    if (Status s = test::keepGoldenFiler(db); !s)
        return s;
    SamImportOptions options;
    options.vessel = Vessel;
    const SamImportResult in = importSamFile(db, test::samFixture(QStringLiteral("golden_small.json")), options,
                                             [](const QString &) { return true; });
    if (!in.outcome.isOk())
        return in.outcome.failure;
    return Status::ok();
}

// The rows of a query on the small voyage, their columns joined by blanks.
QStringList rows(const Database &db, const char *sql)
{
    QStringList out;
    auto q = db.query(QLatin1String(sql), {Vessel, Voyage});
    while (q && q->next()) {
        QStringList row;
        for (int i = 0; i < q->record().count(); ++i)
            row << q->value(i).toString();
        out << row.join(QLatin1Char(' '));
    }
    return q ? out : QStringList{q.failure().numberAndText()};
}

// "B/L line sub-line" of every stored line, in key order.
QStringList storedNumbers(const Database &db)
{
    return rows(db, "select blno, lineno, sublineno from cargo where vslcode = ? and voyno = ? order by id");
}

// "house B/L master B/L" of every house linked to its master.
QStringList links(const Database &db)
{
    return rows(db, "select h.blno, m.blno from cargo h inner join cargo m on h.masterid = m.id "
                    "where h.vslcode = ? and h.voyno = ? order by h.blno");
}

const QStringList SmallVoyageLinks{"HBLSIN0001 MSCSIN0002", "HBLSIN0002 MSCSIN0002"};

// "key master-key" of every line, the master's key empty on a master line.
QStringList storedKeys(const Database &db)
{
    return rows(db, "select id, masterid from cargo where vslcode = ? and voyno = ? order by id");
}

// The fields of the flat file's record of a B/L: each layout keeps the line number two
// fields before the B/L number, the sub-line one before and the packages 18 after.
QList<QByteArray> recordOf(const QByteArray &file, const QByteArray &blNo)
{
    for (QByteArray row : file.split('\n')) {
        if (row.endsWith('\r'))
            row.chop(1);
        const QList<QByteArray> fields = row.split('\x1d');
        if (fields.contains(blNo) && fields.size() > 20)
            return fields;
    }
    return {};
}

// The text of a SAM file with what changes from one writing to the next left blank: the
// header's date, time and job number and the declaration's job number and date.
QByteArray withoutTheJob(QByteArray file)
{
    static const QRegularExpression job(QStringLiteral("(\"(?:sequenceOrControlNumber|jobNo)\": )[0-9]+"));
    static const QRegularExpression when(QStringLiteral("(\"(?:date|time|jobDt)\": )\"[^\"]*\""));
    QString text = QString::fromUtf8(file);
    text.replace(job, QStringLiteral("\\1 0")).replace(when, QStringLiteral("\\1\"\""));
    return text.toUtf8();
}

// "rule text" of the findings of the given rules.
QStringList findingsOf(const SamCheckReport &report, const QStringList &rules)
{
    QStringList out;
    for (const Finding &f : report.findings) {
        if (rules.contains(f.rule))
            out << f.rule + QLatin1Char(' ') + f.text;
    }
    out.sort();
    return out;
}

Json fileAt(const QString &path)
{
    const QByteArray data = test::readFile(path);
    return Json::parse(data.constBegin(), data.constEnd(), nullptr, false);
}

SamWriteOptions asTheHandWrittenFile()
{
    SamWriteOptions o;
    o.iceGateUser = QStringLiteral("QUARLAGT");
    o.customHouseCode = QStringLiteral("INNSA1");
    o.testOrProduction = QStringLiteral("T");
    o.written = QDateTime(QDate(2025, 3, 10), QTime(10, 30));
    o.jobNumber = 17;
    return o;
}

} // namespace

// House B/Ls stay under their master line whatever prints or files the voyage.
class TestConsolidated : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The check-list printed twice, the cargo declaration prepared and both flat files
    // written: the masters are numbered 1..n, the houses carry their master's number and
    // keep their sub-lines, the flat files carry the masters alone, and the SAM written
    // afterwards is still the hand-written file.
    void numberingKeepsHouses_data() { test::addEngineRows(); }
    void numberingKeepsHouses()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QUARL_VERIFY_OK(keepSmallVoyage(t.db()));
        // numbers as an older release may have left them: every line to be renumbered
        QUARL_VERIFY_OK(t.db().exec(QStringLiteral("update cargo set lineno = lineno * 10")));
        const QStringList keys = storedKeys(t.db());
        QCOMPARE(links(t.db()), SmallVoyageLinks);
        const QStringList filed{"MSCSHA0001 1 0", "MSCSIN0002 2 0", "HBLSIN0001 2 1", "HBLSIN0002 2 2",
                                "MSCSIN0003 3 0", "MSCSIN0004 4 0"};
        using reports::ReportKind;
        for (ReportKind kind : {ReportKind::CheckList, ReportKind::CheckList, ReportKind::CargoDeclaration}) {
            const reports::ReportRequest request{kind, Vessel, Voyage, QStringLiteral("INNSA1")};
            QVERIFY(reports::prepareReportData(t.db(), request).isOk());
            QCOMPARE(storedNumbers(t.db()), filed);
        }

        QTemporaryDir dir;
        WriteOptions w;
        w.iceGateUser = QStringLiteral("QUARLAGT");
        w.customHouseCode = QStringLiteral("INNSA1");
        w.controlNumber = QStringLiteral("7");
        for (const Layout *layout : {&olderLayout(), &ices15Layout()}) {
            const IgmWriteResult r = generateIgmFileInLayout(t.db(), *layout, dir.path(), Vessel, Voyage, w);
            QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message + r.outcome.failure.numberAndText()));
            QCOMPARE(r.lines, 4);
            const QByteArray text = test::readFile(r.path);
            // the consolidated line as a line of its own: sub-line 0, its own packages, and
            // nothing of its houses (their B/Ls, consignees, marks, a record of their box)
            const QList<QByteArray> master = recordOf(text, "MSCSIN0002");
            const qsizetype bl = master.indexOf("MSCSIN0002");
            QVERIFY2(bl >= 2, qPrintable(layout->name()));
            QCOMPARE(master.at(bl - 2), QByteArray("2"));
            QCOMPARE(master.at(bl - 1), QByteArray("0"));
            QCOMPARE(master.at(bl + 18), QByteArray("300"));
            QVERIFY(master.contains("GAMMA LOGISTICS PVT LTD"));
            for (const char *house : {"HBLSIN0001", "HBLSIN0002", "ALPHA TRADERS", "BETA RUBBER", "ALPHA/1-100", "BETA/1-200"})
                QVERIFY2(!text.contains(house), house);
            QCOMPARE(text.count("TGHU3456780"), 1);
            QCOMPARE(storedNumbers(t.db()), filed);
            QCOMPARE(storedKeys(t.db()), keys);
        }
        QCOMPARE(rows(t.db(), "select TotItems from vesinfo where vslcode = ? and voyno = ?"), QStringList{"4"});

        const SamWriteResult sam = writeSamFile(t.db(), dir.path(), Vessel, Voyage, asTheHandWrittenFile());
        QVERIFY2(sam.outcome.isOk(), qPrintable(sam.outcome.message + sam.outcome.failure.numberAndText()));
        QVERIFY(sam.check.findings.isEmpty());
        QVERIFY(fileAt(sam.path) == test::samGolden());
        QCOMPARE(storedNumbers(t.db()), filed);
        QCOMPARE(storedKeys(t.db()), keys);
        QCOMPARE(links(t.db()), SmallVoyageLinks);
    }

    // The SAM file written, read into an empty company and written again is the same file
    // but for the job number and the day and hour it was written, its house B/Ls included.
    void samAgainFromAnotherCompany_data() { test::addEngineRows(); }
    void samAgainFromAnotherCompany()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(source, engine);
        QUARL_VERIFY_OK(keepSmallVoyage(source.db()));
        // sub-lines as a clerk may have keyed them: the file carries them as stored
        QUARL_VERIFY_OK(source.db().exec(QStringLiteral("update cargo set sublineno = 4 * sublineno - 1 where masterid is not null")));
        QCOMPARE(storedNumbers(source.db()).mid(2, 2), (QStringList{"HBLSIN0001 2 3", "HBLSIN0002 2 7"}));
        QTemporaryDir first, second;
        const SamWriteResult w = writeSamFile(source.db(), first.path(), Vessel, Voyage, asTheHandWrittenFile());
        QVERIFY2(w.outcome.isOk(), qPrintable(w.outcome.message + w.outcome.failure.numberAndText()));
        QVERIFY(w.check.findings.isEmpty());
        const Json written = fileAt(w.path);
        const Json &houses = written.at("master").at("mastrCnsgmtDec").at(1).at("houseCargoDec");
        QCOMPARE(int(houses.size()), 2);
        QCOMPARE(houses.at(0).at("HCRef").at("subLineNo").get<int>(), 3);
        QCOMPARE(houses.at(1).at("HCRef").at("subLineNo").get<int>(), 7);

        QUARL_COMPANY_DB(target, engine);
        QUARL_VERIFY_OK(test::keepGoldenFiler(target.db()));
        SamImportOptions in;
        in.vessel = Vessel;
        const SamImportResult imported = importSamFile(target.db(), w.path, in, [](const QString &) { return true; });
        QVERIFY2(imported.outcome.isOk(), qPrintable(imported.outcome.message));
        QCOMPARE(links(target.db()), SmallVoyageLinks);
        QCOMPARE(storedNumbers(target.db()), storedNumbers(source.db()));
        SamWriteOptions later = asTheHandWrittenFile();
        later.written = QDateTime(QDate(2025, 3, 11), QTime(16, 5));
        later.jobNumber = 18;
        const SamWriteResult again = writeSamFile(target.db(), second.path(), Vessel, Voyage, later);
        QVERIFY2(again.outcome.isOk(), qPrintable(again.outcome.message + again.outcome.failure.numberAndText()));
        QVERIFY(again.check.findings.isEmpty());

        const QByteArray before = test::readFile(w.path), after = test::readFile(again.path);
        QVERIFY(before != after);
        QVERIFY(after.contains("\"HBLSIN0002\"") && after.contains("\"date\": \"20250311\""));
        QCOMPARE(withoutTheJob(after), withoutTheJob(before));
    }

    // The faults of house B/Ls keyed into the database are found when the voyage is filed
    // and again when its file is checked: a consolidated line without houses, a house
    // holding more than its master, a house's box that is not its master's.
    void houseFaultsFoundInVoyageAndFile_data() { test::addEngineRows(); }
    void houseFaultsFoundInVoyageAndFile()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QUARL_VERIFY_OK(keepSmallVoyage(t.db()));
        QUARL_VERIFY_OK(t.db().exec(QStringLiteral("update cargo set consind = 'C' where blno = 'MSCSHA0001'")));
        QUARL_VERIFY_OK(t.db().exec(QStringLiteral("update cargo set pkgs = 400 where blno = 'HBLSIN0002'")));
        QUARL_VERIFY_OK(t.db().exec(QStringLiteral("update contain set containno = 'MSCU4567895' where ref = "
                                                   "(select id from cargo where blno = 'HBLSIN0001')")));
        QTemporaryDir dir;
        SamWriteOptions o = asTheHandWrittenFile();
        o.evenWithErrors = true;
        const SamWriteResult w = writeSamFile(t.db(), dir.path(), Vessel, Voyage, o);
        QVERIFY2(!w.path.isEmpty(), qPrintable(w.outcome.message + w.outcome.failure.numberAndText()));
        const QStringList expected{
            "house-equipment Container MSCU4567895 of house B/L HBLSIN0001 is not among the containers of its master, line 2 (B/L MSCSIN0002)",
            "house-packages House B/L HBLSIN0002 holds 400 packages, more than its master, line 2 (B/L MSCSIN0002), holds: 300",
            "scenario Line 1 (B/L MSCSHA0001) is consolidated (C) but declares no house B/L"};
        const QStringList rules{"house-equipment", "house-packages", "scenario"};
        QCOMPARE(findingsOf(w.check, rules), expected);
        QCOMPARE(findingsOf(checkSamFile(w.path), rules), expected);
        // the faults are the house B/Ls' alone: nothing of them moved the numbers or links
        QCOMPARE(links(t.db()), SmallVoyageLinks);
    }

    // The SAM file's houses are stored linked to their master, and filed under it by the
    // link whatever numbers a house was left with; removed and imported again, the voyage
    // takes new keys from the counter and the links follow them.
    void samFilesHousesByTheLink_data() { test::addEngineRows(); }
    void samFilesHousesByTheLink()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        QUARL_VERIFY_OK(keepSmallVoyage(t.db()));
        QCOMPARE(links(t.db()), SmallVoyageLinks);
        QUARL_VERIFY_OK(t.db().exec(QStringLiteral("update cargo set lineno = null where blno like 'HBL%'")));
        QTemporaryDir first;
        const SamWriteResult w = writeSamFile(t.db(), first.path(), Vessel, Voyage, asTheHandWrittenFile());
        QVERIFY2(w.outcome.isOk(), qPrintable(w.outcome.message + w.outcome.failure.numberAndText()));
        QVERIFY(fileAt(w.path) == test::samGolden());
        QCOMPARE(storedNumbers(t.db()).mid(2, 2), (QStringList{"HBLSIN0001 2 1", "HBLSIN0002 2 2"}));

        QVERIFY(removeVoyage(t.db(), Vessel, Voyage, true, [](const QString &) { return true; }).outcome.isOk());
        QUARL_VERIFY_OK(keepSmallVoyage(t.db()));
        QCOMPARE(links(t.db()), SmallVoyageLinks); // to the new keys: the old rows are gone
        QTemporaryDir second;
        const SamWriteResult again = writeSamFile(t.db(), second.path(), Vessel, Voyage, asTheHandWrittenFile());
        QVERIFY2(again.outcome.isOk(), qPrintable(again.outcome.message + again.outcome.failure.numberAndText()));
        QVERIFY(fileAt(again.path) == test::samGolden());
    }

    // Exported and imported into another company, the houses are linked to their master's
    // new key; files of a release before the link link them by their numbers; a house whose
    // master is not in the file is refused and nothing is stored.
    void xmlKeepsHouses_data() { test::addEngineRows(); }
    void xmlKeepsHouses()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(source, engine);
        QUARL_VERIFY_OK(keepSmallVoyage(source.db()));
        QUARL_TEMP_DB(older, engine);
        Schema::CompanyOptions release230;
        release230.release230 = true;
        QUARL_VERIFY_OK(Schema::createCompanyDatabase(older.db(), release230));
        QUARL_VERIFY_OK(keepSmallVoyage(older.db()));
        QTemporaryDir now, before;
        QVERIFY(generateXmlFiles(source.db(), now.path(), Vessel, Voyage).outcome.isOk());
        QVERIFY(generateXmlFiles(older.db(), before.path(), Vessel, Voyage).outcome.isOk());
        auto cargoFile = [](const QTemporaryDir &d) { return d.filePath(QLatin1String(CargoXmlFileName)); };
        auto containerFile = [](const QTemporaryDir &d) { return d.filePath(QLatin1String(ContainerXmlFileName)); };
        QVERIFY(test::readFile(cargoFile(now)).contains("masterid="));
        QVERIFY(!test::readFile(cargoFile(before)).contains("masterid"));

        for (const QTemporaryDir *files : {&now, &before}) {
            QUARL_COMPANY_DB(target, engine);
            QUARL_VERIFY_OK(target.db().exec(QStringLiteral("insert into cargo (id, vslcode, voyno, blno) values (500, 'X', '1', 'X1')")));
            const XmlImportResult in = importXmlFiles(target.db(), cargoFile(*files), containerFile(*files), Vessel, Voyage);
            QVERIFY2(in.outcome.isOk(), qPrintable(in.outcome.message));
            QCOMPARE(in.lines, 6);
            QCOMPARE(links(target.db()), SmallVoyageLinks); // the keys of 500 on
        }

        QByteArray cargo = test::readFile(cargoFile(now));
        const qsizetype at = cargo.indexOf("blno='MSCSIN0002'");
        QVERIFY(at > 0);
        cargo.remove(cargo.lastIndexOf('\n', at) + 1, cargo.indexOf('\n', at) - cargo.lastIndexOf('\n', at));
        QVERIFY(test::writeFile(cargoFile(now), cargo));
        QUARL_COMPANY_DB(target, engine);
        const XmlImportResult refused = importXmlFiles(target.db(), cargoFile(now), containerFile(now), Vessel, Voyage);
        QVERIFY(!refused.outcome.isOk());
        QVERIFY2(refused.outcome.message.contains(QLatin1String("names line id")) && refused.outcome.message.endsWith(QLatin1String("HBLSIN0001")),
                 qPrintable(refused.outcome.message));
        QCOMPARE(test::count(target.db(), QStringLiteral("select count(*) from cargo")), 0);
    }
};

QUARL_TEST(TestConsolidated)
#include "tst_consolidated.moc"
