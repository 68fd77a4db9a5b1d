#include "reports/printerchoice.h"

#include "core/settings.h"

#include <QSizeF>

#include <array>

namespace quarl::reports {

namespace {

struct Paper
{
    int number;
    QPageSize::PageSizeId id;
};

// The Windows paper numbers an office printer is set to in practice.
constexpr std::array<Paper, 12> Papers = {{{1, QPageSize::Letter},
                                           {3, QPageSize::Tabloid},
                                           {4, QPageSize::Ledger},
                                           {5, QPageSize::Legal},
                                           {7, QPageSize::Executive},
                                           {8, QPageSize::A3},
                                           {9, QPageSize::A4},
                                           {11, QPageSize::A5},
                                           {12, QPageSize::B4},
                                           {13, QPageSize::B5},
                                           {14, QPageSize::Folio},
                                           {20, QPageSize::Envelope10}}};

constexpr int UserDefinedPaper = 256;

Settings::ReportPrinter section(ReportKind kind)
{
    return kind == ReportKind::CheckList ? Settings::ReportPrinter::CheckList : Settings::ReportPrinter::CargoDeclaration;
}

std::optional<int> integerSetting(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const int v = text.toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

} // namespace

std::optional<QPageSize> pageSizeOfWindowsPaper(int number)
{
    for (const Paper &p : Papers) {
        if (p.number == number)
            return QPageSize(p.id);
    }
    // The continuous stationery of dot-matrix printers: 14 7/8 x 11 in, 8 1/2 x 12 in.
    if (number == 39)
        return QPageSize(QSizeF(14.875, 11), QPageSize::Inch, QStringLiteral("US Std Fanfold"));
    if (number == 40)
        return QPageSize(QSizeF(8.5, 12), QPageSize::Inch, QStringLiteral("German Std Fanfold"));
    return std::nullopt;
}

int windowsPaperNumber(const QPageSize &size)
{
    for (const Paper &p : Papers) {
        if (p.id == size.id())
            return p.number;
    }
    for (int n : {39, 40}) {
        if (pageSizeOfWindowsPaper(n)->isEquivalentTo(size))
            return n;
    }
    return UserDefinedPaper;
}

PrinterChoice storedPrinterChoice(ReportKind kind)
{
    const Settings::ReportPrinter s = section(kind);
    return {Settings::printerName(s), integerSetting(Settings::printerPaper(s)), integerSetting(Settings::printerOrient(s))};
}

QPageLayout applyPrinterChoice(QPageLayout page, const PrinterChoice &choice)
{
    if (choice.paper) {
        if (const auto size = pageSizeOfWindowsPaper(*choice.paper))
            page.setPageSize(*size);
    }
    if (choice.orient == 1)
        page.setOrientation(QPageLayout::Portrait);
    else if (choice.orient == 2)
        page.setOrientation(QPageLayout::Landscape);
    return page;
}

bool storePrinterChoice(ReportKind kind, const QString &printer, const QPageLayout &page)
{
    const Settings::ReportPrinter s = section(kind);
    bool all = Settings::setPrinterName(s, printer);
    all = Settings::setPrinterPaper(s, QString::number(windowsPaperNumber(page.pageSize()))) && all;
    all = Settings::setPrinterOrient(s, page.orientation() == QPageLayout::Landscape ? QStringLiteral("2")
                                                                                    : QStringLiteral("1"))
          && all;
    return all;
}

} // namespace quarl::reports
