#pragma once

#include "core/failure.h"
#include "reports/reportdata.h"

#include <QDateTime>
#include <QFont>
#include <QPageLayout>
#include <QRectF>
#include <QSizeF>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QFontMetricsF;
class QPagedPaintDevice;
class QPainter;

namespace quarl::reports {

// The texts put into a report before output: the heading (company name, in the heading
// font of the settings when one is set) and the title.
struct ReportTexts
{
    QString heading;
    QString headingFamily;     // empty: the report's own heading font
    double headingPointSize = 0;
    QString title;
    QDateTime printedAt = QDateTime::currentDateTime();
};

// The title of a voyage's report: "Check-List for V Voy N" or "Cargo Declaration for V Voy N".
QString reportTitle(ReportKind kind, const QString &vessel, const QString &voyage);
// The page a report is designed for when the settings choose none: A4, the check-list
// upright, the cargo declaration across.
QPageLayout defaultPageLayout(ReportKind kind);

// Called with pages done and pages in all; false stops the output.
using PageProgress = std::function<bool(int done, int total)>;

// A report laid out on pages. Built once from the prepared data; any page is then drawn
// on demand, so a preview shows its first page without drawing the others. Layout units
// are tenths of a point; texts wrap inside their column and are never cut.
class ReportDocument
{
public:
    ReportDocument(std::shared_ptr<const ReportData> data, ReportTexts texts, const QPageLayout &page);
    ~ReportDocument();
    ReportDocument(const ReportDocument &) = delete;
    ReportDocument &operator=(const ReportDocument &) = delete;

    const ReportData &data() const { return *m_data; }
    const ReportTexts &texts() const { return m_texts; }
    QPageLayout pageLayout() const { return m_page; }
    int pageCount() const { return int(m_pages.size()); }
    // The full sheet in layout units (tenths of a point).
    QSizeF sheetSize() const { return m_sheet; }

    // Draws page index (0-based) with the painter's origin at the sheet's corner, one
    // painter unit per layout unit.
    void paintPage(QPainter &painter, int index) const;
    // Draws every page (or from..to, 0-based inclusive) on a paged device whose page
    // layout the caller has set; the device's own margins are set to nothing.
    Status print(QPagedPaintDevice &device, int from = 0, int to = -1, const PageProgress &progress = {}) const;

private:
    enum class Kind : quint8 {
        GroupHead, GroupHeadContinued, PartiesHead, PartiesRow, FactsA, FactsB, MarksRow, DescRow, ShipperRow, HsRow,
        ContainerHead, ContainerRow, NoContainers, Gap, Note, TotalsHead, TotalsRow, Signature,
        DeclRow, DeclContinued
    };
    struct Band
    {
        Kind kind;
        bool keepWithNext;
        bool last; // the last row of its line (cargo declaration)
        int line;  // index into the data's lines, -1 for none
        int item;  // row or container index
        float height;
    };
    struct Metrics;
    struct LineCache;

    void buildCheckList();
    void buildDeclaration();
    void buildTotals();
    void paginate();
    float bodyTop(int pageIndex) const;
    float bodyBottom() const;
    void continuation(const Band &b, std::vector<Band> &out) const;

    void drawPageFrame(QPainter &p, int index) const;
    void drawBand(QPainter &p, const Band &b, float y, LineCache &cache) const;
    void drawGroupHead(QPainter &p, const Band &b, float y, const ReportLine &line) const;
    void drawTextRow(QPainter &p, const Band &b, float y, const ReportLine &line, LineCache &cache) const;
    void drawContainerHead(QPainter &p, const Band &b, float y) const;
    void drawContainerRow(QPainter &p, const Band &b, float y, const ReportLine &line) const;
    void drawNote(QPainter &p, float y) const;
    void drawFacts(QPainter &p, const Band &b, float y, const ReportLine &line) const;
    void drawSignature(QPainter &p, float y) const;
    void drawDeclarationRow(QPainter &p, const Band &b, float y, const ReportLine &line, LineCache &cache) const;
    void drawDeclarationHeader(QPainter &p, float &y, bool full) const;
    void drawDeclarationColumns(QPainter &p, float y) const;

    QStringList wrap(const QString &text, const QFontMetricsF &fm, double width) const;
    QList<QStringList> declarationCells(const ReportLine &line) const;
    QList<QStringList> wrappedDeclarationCells(const ReportLine &line) const;
    QList<QStringList> checkListParties(const ReportLine &line) const;
    QList<QStringList> checkListFacts(const ReportLine &line, bool second) const;
    // The text of a labelled row of the check-list (marks, description, shipper, HS codes).
    static QString labelledText(const ReportLine &line, Kind kind);
    QStringList containerCells(const ReportContainer &k, int number) const;
    const std::vector<double> &checkListContainerColumns() const;
    QStringList totalsRows() const;
    std::vector<double> declarationColumns() const;

    std::shared_ptr<const ReportData> m_data;
    ReportTexts m_texts;
    QPageLayout m_page;
    QSizeF m_sheet;
    float m_margin = 400;
    float m_width = 0; // between the margins
    std::unique_ptr<Metrics> m_m;
    float m_declHeaderHeight = 0;
    std::vector<Band> m_bands;              // while building
    std::vector<std::vector<Band>> m_pages; // the bands of each page
};

// Writes the report as a PDF file: under a temporary name, renamed into place when whole.
Status writePdf(const ReportDocument &document, const QString &path, const PageProgress &progress = {});

} // namespace quarl::reports
