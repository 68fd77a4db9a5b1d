#include "cli/command.h"
#include "cli/options.h"

#include "core/settings.h"
#include "reports/printerchoice.h"
#include "reports/reportexport.h"

namespace quarl::cli {

namespace {

int reportCommand(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("REPORT"), QStringLiteral("checklist or cargodec."));
    addDatabaseOptions(parser);
    addVoyageOptions(parser);
    const QCommandLineOption pdfOption(QStringLiteral("pdf"), QStringLiteral("Write the report as PDF."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption rtfOption(QStringLiteral("rtf"), QStringLiteral("Write the report as rich text."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption customOption(QStringLiteral("custom-house"),
                                          QStringLiteral("Custom house code of the cargo declaration (default: the one of the settings)."),
                                          QStringLiteral("C"));
    const QCommandLineOption companyOption(QStringLiteral("company"),
                                           QStringLiteral("Company name for the heading."), QStringLiteral("NAME"));
    parser.addOptions({pdfOption, rtfOption, customOption, companyOption});
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    const QStringList pos = parser.positionalArguments();
    if (pos.size() != 1 || (pos[0] != QLatin1String("checklist") && pos[0] != QLatin1String("cargodec"))) {
        error(QStringLiteral("Give the report: checklist or cargodec."));
        return 1;
    }
    reports::ReportRequest request;
    if (!voyageKey(parser, &request.vessel, &request.voyage))
        return 1;
    if (parser.isSet(pdfOption) == parser.isSet(rtfOption)) {
        error(QStringLiteral("Give one of --pdf FILE and --rtf FILE."));
        return 1;
    }
    auto db = openDatabaseOrSay(parser);
    if (!db)
        return 1;
    request.kind = pos[0] == QLatin1String("checklist") ? reports::ReportKind::CheckList
                                                        : reports::ReportKind::CargoDeclaration;
    request.customHouse = parser.isSet(customOption) ? parser.value(customOption) : Settings::customHousePort();
    const reports::Preparation prepared = reports::prepareReportData(*db, request);
    for (const Failure &f : prepared.failures)
        error(f.numberAndText());
    if (!prepared.data)
        return 1;
    const QPageLayout page = reports::applyPrinterChoice(reports::defaultPageLayout(request.kind),
                                                         reports::storedPrinterChoice(request.kind));
    const reports::ReportDocument document(prepared.data,
                                           reports::reportTexts(request.kind, request.vessel, request.voyage,
                                                                parser.value(companyOption)),
                                           page);
    const bool pdf = parser.isSet(pdfOption);
    const QString path = pdf ? parser.value(pdfOption) : parser.value(rtfOption);
    if (Status s = reports::writeReport(document, pdf ? reports::ExportFormat::Pdf : reports::ExportFormat::Rtf, path);
        !s) {
        error(s.failure().numberAndText());
        return 1;
    }
    info(QStringLiteral("%1 line(s), %2 row(s), %3 page(s).")
             .arg(prepared.data->lines.size())
             .arg(prepared.data->rowCount())
             .arg(document.pageCount()));
    out(path);
    return prepared.isOk() ? 0 : 1;
}

const Registration reportRegistration(
    QStringLiteral("report"),
    QStringLiteral("report checklist|cargodec --db FILE|--dsn NAME --vessel V --voyage N (--pdf FILE | --rtf FILE) "
                   "[--custom-house C]"),
    reportCommand);

} // namespace

} // namespace quarl::cli
