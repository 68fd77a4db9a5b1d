#include "common/samtestdata.h"
#include "common/testdb.h"
#include "common/testmain.h"

#include "filing/igmwriter.h"
#include "flatfile/flatlayouts.h"
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
        QFile written(sam.path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray data = written.readAll();
        QVERIFY(Json::parse(data.constBegin(), data.constEnd(), nullptr, false) == test::samGolden());
        QCOMPARE(storedNumbers(t.db()), filed);
    }
};

QUARL_TEST(TestConsolidated)
#include "tst_consolidated.moc"
