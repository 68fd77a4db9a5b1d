#pragma once

#include "core/failure.h"
#include "reports/reportdocument.h"

#include <QPageLayout>

namespace quarl::reports {

enum class ExportFormat { Rtf, Pdf };

// The format reports are mailed in: rich text when Database/Eformat is 0 or empty,
// PDF for any other value.
ExportFormat mailExportFormat(const QString &eformat);
// "Ledger.rtf" or "Ledger.pdf": the file carries the extension of what it holds, so
// that the receiver's mail program opens it with the right reader.
QString mailExportFileName(ExportFormat format);

// Writes the report as rich text in the page layout, into the file as it goes: under a
// temporary name, renamed into place when whole; a failed write is reported and leaves
// no file.
Status writeRtf(const ReportData &data, const ReportTexts &texts, const QPageLayout &page, const QString &path);

// PDF or RTF, by format.
Status writeReport(const ReportDocument &document, ExportFormat format, const QString &path,
                   const PageProgress &progress = {});

} // namespace quarl::reports

namespace quarl::reports {

// The texts of a report about to be output: the company's name in the heading font of
// the settings, and the voyage's title.
ReportTexts reportTexts(ReportKind kind, const QString &vessel, const QString &voyage, const QString &company);

} // namespace quarl::reports
