#include "common/testdb.h"
#include "common/testmain.h"

#include "entry/billoflading.h"
#include "manifest/syntheticvoyage.h"
#include "reports/reportdata.h"
#include "store/schema.h"

#include <QAtomicInt>
#include <QDate>
#include <QTest>

#include <thread>

using namespace quarl;
using namespace quarl::reports;

class TestReportSnapshot : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Check-lists prepared while another workstation saves bills of lading of the same
    // voyage: every report numbers and prints the lines of one moment, 1..n, never a line 0.
    void linesOfOneMoment_data() { test::addEngineRows(); }
    void linesOfOneMoment()
    {
        QFETCH(QString, engine);
        QUARL_COMPANY_DB(t, engine);
        igm::SyntheticVoyage voyage;
        voyage.vessel = QStringLiteral("SNAP");
        voyage.voyage = QStringLiteral("001");
        voyage.lines = 300;
        voyage.containers = 300;
        QVERIFY(igm::addSyntheticVoyage(t.db(), voyage).isOk());

        QAtomicInt stop(0);
        QAtomicInt saved(0);
        QString writerFailure;
        std::thread writer([&] {
            auto db = t.reopen();
            if (!db) {
                writerFailure = db.failure().numberAndText();
                return;
            }
            for (int n = 1; !stop.loadRelaxed(); ++n) {
                BillOfLading bol;
                bol.set(QStringLiteral("vslcode"), voyage.vessel);
                bol.set(QStringLiteral("voyno"), voyage.voyage);
                bol.set(QStringLiteral("blno"), QStringLiteral("LATE%1").arg(n));
                bol.set(QStringLiteral("bldt"), QDate(2026, 11, 3));
                if (auto r = saveBillOfLading(db.value(), bol); !r) {
                    writerFailure = r.failure().numberAndText();
                    return;
                }
                saved.fetchAndAddRelaxed(1);
            }
            db->close();
        });
        QStringList faults;
        for (int round = 0; round < 11; ++round) {
            const Preparation p = prepareReportData(t.db(), {ReportKind::CheckList, voyage.vessel, voyage.voyage, {}});
            if (!p.isOk()) {
                faults << p.failures.first().numberAndText();
                break;
            }
            qint64 expected = 1;
            for (const ReportLine &line : p.data->lines) {
                if (line.lineNo != expected++) {
                    faults << QStringLiteral("round %1: line %2 printed as %3").arg(round).arg(expected - 1).arg(line.lineNo);
                    break;
                }
            }
            if (qint64(p.data->lines.size()) < voyage.lines)
                faults << QStringLiteral("round %1: %2 lines printed of the voyage's %3 at least")
                              .arg(round).arg(p.data->lines.size()).arg(voyage.lines);
            if (qint64(p.data->lines.size()) != p.data->voyageLines)
                faults << QStringLiteral("round %1: %2 lines printed of %3 numbered")
                              .arg(round).arg(p.data->lines.size()).arg(p.data->voyageLines);
        }
        stop.storeRelaxed(1);
        writer.join();
        QVERIFY2(writerFailure.isEmpty(), qPrintable(writerFailure));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        QVERIFY(saved.loadRelaxed() > 0);
    }
};

QUARL_TEST(TestReportSnapshot)
#include "tst_reportsnapshot.moc"
