#include "common/igmtestdata.h"
#include "common/samtestdata.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "filing/igmwriter.h"
#include "flatfile/flatlayouts.h"
#include "interchange/xmlinterchange.h"
#include "manifest/voyageremoval.h"
#include "reports/reportdata.h"
#include "sam/samfile.h"
#include "store/filer.h"
#include "store/schema.h"

#include <nlohmann/json.hpp>

#include <QFile>
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
    Filer::Details d;
    d.submitterType = QStringLiteral("ASA");
    d.submitterCode = QStringLiteral("AAACQ1234R");
    d.signerPan = QStringLiteral("ABCPQ5678K");
    if (Status s = Filer::write(db, d); !s)
        return s;
    SamImportOptions options;
    options.vessel = Vessel;
    const SamImportResult in = importSamFile(db, test::samFixture(QStringLiteral("golden_small.json")), options,
                                             [](const QString &) { return true; });
    if (!in.outcome.isOk())
        return in.outcome.failure;
    return Status::ok();
}

// "B/L line/sub-line" of every stored line, in key order.
QStringList storedNumbers(const Database &db)
{
    QStringList out;
    auto q = db.query(QStringLiteral("select blno, lineno, sublineno from cargo where vslcode = ? and voyno = ? order by id"),
                      {Vessel, Voyage});
    if (!q)
        return {q.failure().numberAndText()};
    while (q->next())
        out << QStringLiteral("%1 %2/%3").arg(q->value(0).toString(), q->value(1).toString(), q->value(2).toString());
    return out;
}

// "house B/L master B/L" of every house linked to its master.
QStringList links(const Database &db)
{
    QStringList out;
    auto q = db.query(QStringLiteral("select h.blno, m.blno from cargo h inner join cargo m on h.masterid = m.id "
                                     "where h.vslcode = ? and h.voyno = ? order by h.blno"),
                      {Vessel, Voyage});
    if (!q)
        return {q.failure().numberAndText()};
    while (q->next())
        out << q->value(0).toString() + QLatin1Char(' ') + q->value(1).toString();
    return out;
}

const QStringList SmallVoyageLinks{"HBLSIN0001 MSCSIN0002", "HBLSIN0002 MSCSIN0002"};

Json fileAt(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Json();
    const QByteArray data = f.readAll();
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
        const QStringList filed{"MSCSHA0001 1/0", "MSCSIN0002 2/0", "HBLSIN0001 2/1", "HBLSIN0002 2/2",
                                "MSCSIN0003 3/0", "MSCSIN0004 4/0"};

        for (int round = 1; round <= 2; ++round) {
            reports::ReportRequest checkList;
            checkList.vessel = Vessel;
            checkList.voyage = Voyage;
            const reports::Preparation p = reports::prepareReportData(t.db(), checkList);
            QVERIFY(p.failures.isEmpty());
            QCOMPARE(storedNumbers(t.db()), filed);
        }
        reports::ReportRequest declaration;
        declaration.kind = reports::ReportKind::CargoDeclaration;
        declaration.vessel = Vessel;
        declaration.voyage = Voyage;
        declaration.customHouse = QStringLiteral("INNSA1");
        QVERIFY(reports::prepareReportData(t.db(), declaration).failures.isEmpty());
        QCOMPARE(storedNumbers(t.db()), filed);

        QTemporaryDir dir;
        WriteOptions w;
        w.iceGateUser = QStringLiteral("QUARLAGT");
        w.customHouseCode = QStringLiteral("INNSA1");
        w.controlNumber = QStringLiteral("7");
        for (const Layout *layout : {&olderLayout(), &ices15Layout()}) {
            const IgmWriteResult r = generateIgmFileInLayout(t.db(), *layout, dir.path(), Vessel, Voyage, w);
            QVERIFY2(r.outcome.isOk(), qPrintable(r.outcome.message + r.outcome.failure.numberAndText()));
            QCOMPARE(r.lines, 4);
            QFile f(r.path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray text = f.readAll();
            QVERIFY(text.contains("MSCSIN0002"));
            QVERIFY(!text.contains("HBLSIN0001"));
            QCOMPARE(storedNumbers(t.db()), filed);
        }
        auto total = t.db().scalar(QStringLiteral("select TotItems from vesinfo where vslcode = ? and voyno = ?"), {Vessel, Voyage});
        QVERIFY(total.isOk());
        QCOMPARE(total->toLongLong(), 4);

        const SamWriteResult sam = writeSamFile(t.db(), dir.path(), Vessel, Voyage, asTheHandWrittenFile());
        QVERIFY2(sam.outcome.isOk(), qPrintable(sam.outcome.message + sam.outcome.failure.numberAndText()));
        QVERIFY(sam.check.findings.isEmpty());
        QVERIFY(fileAt(sam.path) == test::samGolden());
        QCOMPARE(storedNumbers(t.db()), filed);
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
        QCOMPARE(storedNumbers(t.db()).mid(2, 2), (QStringList{"HBLSIN0001 2/1", "HBLSIN0002 2/2"}));

        const qint64 before = t.db().scalar(QStringLiteral("select max(id) from cargo"))->toLongLong();
        const RemovalResult removed = removeVoyage(t.db(), Vessel, Voyage, true, [](const QString &) { return true; });
        QVERIFY(removed.outcome.isOk());
        QCOMPARE(removed.lines, 6);
        QUARL_VERIFY_OK(keepSmallVoyage(t.db()));
        QCOMPARE(links(t.db()), SmallVoyageLinks);
        QVERIFY(t.db().scalar(QStringLiteral("select min(id) from cargo"))->toLongLong() > before);
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
            QCOMPARE(links(target.db()), SmallVoyageLinks);
            QVERIFY(target.db().scalar(QStringLiteral("select min(masterid) from cargo"))->toLongLong() > 500);
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
