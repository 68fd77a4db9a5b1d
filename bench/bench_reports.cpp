// Timings of the check-list and the cargo declaration of a large voyage on SQLite: the
// first page of a preview (prepare the data, lay out every page, draw page 1 at 100 %),
// the whole report as PDF and as RTF, and the peak memory of the process.
//   bench_reports [LINES [CONTAINERS]]      (default 10000 50000)
#include "processmeasure.h"

#include "manifest/syntheticvoyage.h"
#include "reports/reportexport.h"
#include "store/database.h"
#include "store/installer.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>

using namespace quarl;
using namespace quarl::bench;

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int lines = args.size() > 1 ? args.at(1).toInt() : 10000;
    const int containers = args.size() > 2 ? args.at(2).toInt() : 50000;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.qdb"));
    if (Status s = Installer::createDataFile(path); !s)
        die(s.failure().numberAndText());
    auto opened = Database::openSqlite(path);
    if (!opened)
        die(opened.failure().numberAndText());
    Database db = opened.value();
    const QString vessel = QStringLiteral("BENCH"), voyage = QStringLiteral("001");
    if (Status s = igm::addSyntheticVoyage(db, {vessel, voyage, lines, containers, 1}); !s)
        die(s.failure().numberAndText());
    std::printf("voyage of %d lines and %d containers\n\n", lines, containers);
    std::printf("%-18s %12s %12s %12s %8s %10s   (wall clock)\n", "report", "preview ms", "PDF ms", "RTF ms", "pages",
                "PDF MB");

    for (reports::ReportKind kind : {reports::ReportKind::CheckList, reports::ReportKind::CargoDeclaration}) {
        reports::ReportRequest request{kind, vessel, voyage, QStringLiteral("INIXY1")};
        const reports::ReportTexts texts = reports::reportTexts(kind, vessel, voyage, QStringLiteral("Bench Shipping"));

        // What Print Preview does before the first page shows.
        QElapsedTimer t;
        t.start();
        double cpu = cpuMs();
        reports::Preparation prepared = reports::prepareReportData(db, request);
        if (!prepared.isOk())
            die(prepared.failures.first().numberAndText());
        const double prepareMs = t.nsecsElapsed() / 1e6;
        auto doc = std::make_unique<reports::ReportDocument>(prepared.data, texts, reports::defaultPageLayout(kind));
        const double layoutMs = t.nsecsElapsed() / 1e6 - prepareMs;
        const QSizeF sheet = doc->sheetSize() * (96.0 / 720);
        QImage page(sheet.toSize(), QImage::Format_ARGB32_Premultiplied);
        {
            QPainter p(&page);
            p.scale(96.0 / 720, 96.0 / 720);
            doc->paintPage(p, 0);
        }
        const double previewMs = t.nsecsElapsed() / 1e6;
        const double previewCpu = cpuMs() - cpu;

        // Every output prepares afresh.
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        t.restart();
        cpu = cpuMs();
        prepared = reports::prepareReportData(db, request);
        doc = std::make_unique<reports::ReportDocument>(prepared.data, texts, reports::defaultPageLayout(kind));
        if (Status s = reports::writePdf(*doc, pdf); !s)
            die(s.failure().numberAndText());
        const double pdfMs = t.nsecsElapsed() / 1e6;
        const double pdfCpu = cpuMs() - cpu;

        const QString rtf = dir.filePath(QStringLiteral("report.rtf"));
        t.restart();
        cpu = cpuMs();
        prepared = reports::prepareReportData(db, request);
        if (Status s = reports::writeRtf(*prepared.data, texts, reports::defaultPageLayout(kind), rtf); !s)
            die(s.failure().numberAndText());
        const double rtfMs = t.nsecsElapsed() / 1e6;
        const double rtfCpu = cpuMs() - cpu;

        std::printf("  (preview: %.0f ms reading the data, %.0f ms laying out the pages; processor time: preview %.0f ms, "
                    "PDF %.0f ms, RTF %.0f ms)\n",
                    prepareMs, layoutMs, previewCpu, pdfCpu, rtfCpu);
        std::printf("%-18s %12.0f %12.0f %12.0f %8d %10.1f\n",
                    kind == reports::ReportKind::CheckList ? "check-list" : "cargo declaration", previewMs, pdfMs,
                    rtfMs, doc->pageCount(), QFileInfo(pdf).size() / 1048576.0);
    }
    std::printf("\npeak memory of the process: %.1f MB\n", peakKb() / 1024.0);
    return 0;
}
