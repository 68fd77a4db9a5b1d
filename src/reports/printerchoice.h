#pragma once

#include "reports/reportdata.h"

#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include <optional>

namespace quarl::reports {

// The printer choice kept in the settings (section Printer for the check-list,
// PrinterLand for the cargo declaration): the printer's name, the paper as a Windows
// paper number (9 = A4, 1 = Letter ...) and the orientation (1 upright, 2 across), so
// that settings files carried over from older installations keep their meaning.
// The choice beside the printers that writes the report to a PDF file instead.
inline constexpr char SaveAsPdf[] = "Save as PDF...";

struct PrinterChoice
{
    QString printer;            // empty: the system's default printer
    std::optional<int> paper;   // unset when the setting is empty
    std::optional<int> orient;
};

PrinterChoice storedPrinterChoice(ReportKind kind);
// The report's page with the stored choice applied; an empty or unknown paper number, or
// an empty orientation, leaves the page as it was.
QPageLayout applyPrinterChoice(QPageLayout page, const PrinterChoice &choice);
// Writes the three keys of the report's own section only. A key that cannot be written
// is skipped; false when any was.
bool storePrinterChoice(ReportKind kind, const QString &printer, const QPageLayout &page);

std::optional<QPageSize> pageSizeOfWindowsPaper(int number);
// 256 (a user-defined size) for a size without a Windows number.
int windowsPaperNumber(const QPageSize &size);

} // namespace quarl::reports
