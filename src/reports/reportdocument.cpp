#include "reports/reportdocument.h"

#include "core/safefile.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>

#include <algorithm>

namespace quarl::reports {

namespace {

constexpr float Pad = 30;       // inside a cell
constexpr float GroupGap = 140; // between two lines of the check-list
constexpr float LabelGutter = 1000; // left of a labelled text, for its label
const QColor Shade(232, 236, 241);
const QColor HeadShade(214, 221, 230);
const QColor LabelColour(85, 85, 85);
const QColor RuleColour(120, 120, 120);

QFont reportFont(const QString &family, double points, bool bold = false)
{
    QFont f(family);
    f.setPixelSize(qMax(1, qRound(points * 10))); // layout units are tenths of a point
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false); // widths then add up, which lets texts be measured from a table
    f.setStyleStrategy(QFont::ForceOutline);
    return f;
}

// The head of a line that goes on from the page before.
QString continuedHead(const ReportLine &l)
{
    return l.isHouse() ? QStringLiteral("Line %1     House B/L No. %2     (continued)").arg(lineLabel(l), houseBlNo(l))
                       : QStringLiteral("Line %1     B/L No. %2     (continued)").arg(l.lineNo).arg(l.blNo);
}

QString joined(const QStringList &parts, const QString &sep = QStringLiteral("  "))
{
    QStringList kept;
    for (const QString &p : parts) {
        if (!p.trimmed().isEmpty())
            kept << p;
    }
    return kept.join(sep);
}

} // namespace

struct ReportDocument::Metrics
{
    QFont heading, title, body, bold, label, labelBold;
    QFontMetricsF mHeading, mTitle, mBody, mBold, mLabel, mLabelBold;
    float lh, lhLabel, lhHeading, lhTitle;

    Metrics(const ReportTexts &t)
        : heading(reportFont(QStringLiteral("DejaVu Sans"), 14, true)),
          title(reportFont(QStringLiteral("DejaVu Sans"), 11, true)),
          body(reportFont(QStringLiteral("DejaVu Sans Condensed"), 8)),
          bold(reportFont(QStringLiteral("DejaVu Sans Condensed"), 8, true)),
          label(reportFont(QStringLiteral("DejaVu Sans Condensed"), 6.5)),
          labelBold(reportFont(QStringLiteral("DejaVu Sans Condensed"), 6.5, true)),
          mHeading(applyHeading(heading, t)), mTitle(title), mBody(body), mBold(bold), mLabel(label),
          mLabelBold(labelBold)
    {
        for (const QFontMetricsF *fm : {&mBody, &mBold, &mLabel, &mLabelBold}) {
            Table &t = tables.emplace_back();
            t.fm = fm;
            for (int c = 32; c < 127; ++c)
                t.ascii[c - 32] = fm->horizontalAdvance(QChar(c));
        }
        lh = float(mBody.lineSpacing());
        lhLabel = float(mLabel.lineSpacing());
        lhHeading = float(mHeading.lineSpacing());
        lhTitle = float(mTitle.lineSpacing());
    }

    // The width of a text: from a table of the printable ASCII characters, which is what
    // nearly every text of a manifest is made of; through the font otherwise.
    double width(const QFontMetricsF &fm, const QString &s) const
    {
        for (const Table &t : tables) {
            if (t.fm != &fm)
                continue;
            double w = 0;
            for (const QChar ch : s) {
                const ushort u = ch.unicode();
                if (u < 32 || u >= 127)
                    return fm.horizontalAdvance(s);
                w += t.ascii[u - 32];
            }
            return w;
        }
        return fm.horizontalAdvance(s);
    }

    struct Table
    {
        const QFontMetricsF *fm;
        double ascii[95];
    };
    std::vector<Table> tables;

    static QFont &applyHeading(QFont &f, const ReportTexts &t)
    {
        if (!t.headingFamily.isEmpty() && t.headingPointSize > 0)
            f = reportFont(t.headingFamily, t.headingPointSize, f.bold());
        return f;
    }
};

// The wrapped texts of the line being drawn, so that each row of a line does not wrap
// the line's texts again.
struct ReportDocument::LineCache
{
    int line = -1;
    QList<QStringList> parties, declaration;
    QStringList marks, desc, shipper, hs;
};

QString reportTitle(ReportKind kind, const QString &vessel, const QString &voyage)
{
    return (kind == ReportKind::CheckList ? QStringLiteral("Check-List for ") : QStringLiteral("Cargo Declaration for "))
           + vessel + QStringLiteral(" Voy ") + voyage;
}

QPageLayout defaultPageLayout(ReportKind kind)
{
    return QPageLayout(QPageSize(QPageSize::A4),
                       kind == ReportKind::CheckList ? QPageLayout::Portrait : QPageLayout::Landscape,
                       QMarginsF(0, 0, 0, 0));
}

ReportDocument::ReportDocument(std::shared_ptr<const ReportData> data, ReportTexts texts, const QPageLayout &page)
    : m_data(std::move(data)), m_texts(std::move(texts)), m_page(page)
{
    m_page.setMargins(QMarginsF(0, 0, 0, 0));
    const QRectF full = m_page.fullRectPoints();
    m_sheet = QSizeF(full.width() * 10, full.height() * 10);
    m_margin = m_sheet.width() < 5000 ? 300 : 400;
    m_width = float(m_sheet.width()) - 2 * m_margin;
    m_m = std::make_unique<Metrics>(m_texts);
    if (m_data->kind == ReportKind::CheckList)
        buildCheckList();
    else
        buildDeclaration();
    buildTotals();
    paginate();
}

ReportDocument::~ReportDocument() = default;

QStringList ReportDocument::wrap(const QString &text, const QFontMetricsF &fm, double width) const
{
    QStringList rows;
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        const QString p = text.trimmed();
        if (m_m->width(fm, p) <= width)
            return {p};
    }
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QStringList paragraphs = text.split(lineBreak);
    for (const QString &para : paragraphs) {
        const QString p = para.trimmed();
        if (p.isEmpty()) {
            if (paragraphs.size() == 1)
                rows << QString();
            continue;
        }
        if (m_m->width(fm, p) <= width) {
            rows << p;
            continue;
        }
        QString row;
        const QStringList words = p.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (QString word : words) {
            const QString candidate = row.isEmpty() ? word : row + QLatin1Char(' ') + word;
            if (m_m->width(fm, candidate) <= width) {
                row = candidate;
                continue;
            }
            if (!row.isEmpty())
                rows << row;
            row.clear();
            // A word wider than the column is broken where it reaches the edge.
            while (m_m->width(fm, word) > width) {
                int n = 1;
                while (n < word.size() && m_m->width(fm, word.left(n + 1)) <= width)
                    ++n;
                rows << word.left(n);
                word = word.mid(n);
            }
            row = word;
        }
        if (!row.isEmpty())
            rows << row;
    }
    if (rows.isEmpty())
        rows << QString();
    return rows;
}

// ---- the check-list ----------------------------------------------------------------------

QList<QStringList> ReportDocument::checkListParties(const ReportLine &l) const
{
    const double w = m_width / 2 - 2 * Pad;
    QList<QStringList> cols(2);
    for (const QString &s : {l.impName, l.impAdd[0], l.impAdd[1], l.impAdd[2]}) {
        if (!s.isEmpty())
            cols[0] += wrap(s, m_m->mBody, w);
    }
    for (const QString &s : {l.notName, l.notAdd[0], l.notAdd[1], l.notAdd[2]}) {
        if (!s.isEmpty())
            cols[1] += wrap(s, m_m->mBody, w);
    }
    return cols;
}

QList<QStringList> ReportDocument::checkListFacts(const ReportLine &l, bool second) const
{
    if (!second) {
        return {{QStringLiteral("Nature of cargo"), l.natureCargo},
                {QStringLiteral("Item type"), l.itemType},
                {QStringLiteral("Cargo movement"), l.cargoMove},
                {QStringLiteral("Packages"), withUnit(QString::number(l.pkgs), l.pkgType)},
                {QStringLiteral("Gross weight"), withUnit(number(l.grossWt, 3), l.unitWt)},
                {QStringLiteral("Volume"), l.volume == 0 ? QString() : withUnit(number(l.volume, 3), l.unitVol)}};
    }
    return {{QStringLiteral("UNO code"), l.unoCode},
            {QStringLiteral("IMO code"), l.imoCode},
            {QStringLiteral("Transshipment reg. no."), l.tpRegNo},
            {QStringLiteral("Carrier agent code"), l.cacCode},
            {QStringLiteral("Transport mode"), l.trMode},
            {QStringLiteral("MLO code"), l.mlo}};
}

QString ReportDocument::labelledText(const ReportLine &l, Kind kind)
{
    switch (kind) {
    case Kind::MarksRow: return l.marks;
    case Kind::DescRow: return l.gDesc;
    case Kind::ShipperRow: return l.shipper;
    case Kind::HsRow: return l.hsCodes.join(QStringLiteral("; "));
    default: return QString();
    }
}

const std::vector<double> &ReportDocument::checkListContainerColumns() const
{
    static const std::vector<double> fractions = {0.05, 0.17, 0.17, 0.13, 0.08, 0.09, 0.13, 0.09, 0.09};
    return fractions;
}

QStringList ReportDocument::containerCells(const ReportContainer &k, int n) const
{
    return {QString::number(n), k.containNo, k.sealNo, k.agentCode, k.conStatus, QString::number(k.conPkgs),
            tonnes(k.conWt), k.isoCode, k.socFlag};
}

void ReportDocument::buildCheckList()
{
    const Metrics &m = *m_m;
    const std::vector<double> &cols = checkListContainerColumns();
    for (int i = 0; i < int(m_data->lines.size()); ++i) {
        const ReportLine &l = m_data->lines[size_t(i)];
        m_bands.push_back({Kind::GroupHead, true, false, i, 0, 2 * m.lh + 2 * Pad});
        const QList<QStringList> parties = checkListParties(l);
        const int partyRows = int(qMax(parties[0].size(), parties[1].size()));
        m_bands.push_back({Kind::PartiesHead, partyRows > 0, false, i, 0, m.lhLabel + Pad});
        for (int r = 0; r < partyRows; ++r)
            m_bands.push_back({Kind::PartiesRow, r + 1 < partyRows, false, i, r, m.lh});
        for (bool second : {false, true}) {
            int rows = 1;
            for (const QStringList &cell : checkListFacts(l, second))
                rows = qMax(rows, int(wrap(cell[1], m.mBody, m_width / 6 - 2 * Pad).size()));
            m_bands.push_back({second ? Kind::FactsB : Kind::FactsA, !second, false, i, 0, m.lhLabel + rows * m.lh + Pad});
        }
        for (Kind kind : {Kind::ShipperRow, Kind::MarksRow, Kind::DescRow, Kind::HsRow}) {
            const QString t = labelledText(l, kind);
            // shipper and HS codes only where they are kept
            if (t.isEmpty() && (kind == Kind::ShipperRow || kind == Kind::HsRow))
                continue;
            const int rows = int(wrap(t, m.mBody, m_width - LabelGutter).size());
            for (int r = 0; r < rows; ++r)
                m_bands.push_back({kind, false, false, i, r, m.lh});
        }
        if (l.containers.empty()) {
            m_bands.push_back({Kind::NoContainers, false, false, i, 0, m.lh + Pad});
        } else {
            m_bands.push_back({Kind::ContainerHead, true, false, i, 0, m.lhLabel + 2 * Pad});
            for (int k = 0; k < int(l.containers.size()); ++k) {
                const QStringList cells = containerCells(l.containers[size_t(k)], k + 1);
                int rows = 1;
                for (int c = 0; c < cells.size(); ++c)
                    rows = qMax(rows, int(wrap(cells[c], m.mBody, cols[size_t(c)] * m_width - 2 * Pad).size()));
                m_bands.push_back({Kind::ContainerRow, false, false, i, k, rows * m.lh + 10});
            }
        }
        m_bands.push_back({Kind::Gap, false, false, i, 0, GroupGap});
    }
}

// ---- the cargo declaration -----------------------------------------------------------------

std::vector<double> ReportDocument::declarationColumns() const
{
    // No. | B/L | ports | consignee | marks | packages | description | weight | containers
    static const std::vector<double> f = {0.04, 0.11, 0.08, 0.15, 0.12, 0.10, 0.15, 0.09, 0.16};
    std::vector<double> w;
    for (double x : f)
        w.push_back(x * m_width);
    return w;
}

QList<QStringList> ReportDocument::declarationCells(const ReportLine &l) const
{
    QStringList consignee = {l.impName};
    for (const QString &a : l.impAdd) {
        if (!a.isEmpty())
            consignee << a;
    }
    QStringList packages = {withUnit(QString::number(l.pkgs), l.pkgType)};
    if (!l.pkgDesc.isEmpty())
        packages << l.pkgDesc;
    QStringList goods = {l.gDesc};
    // ZZZZZ and ZZZ stand for goods that are not dangerous.
    const bool un = !l.unoCode.isEmpty() && l.unoCode != QLatin1String("ZZZZZ");
    const bool imo = !l.imoCode.isEmpty() && l.imoCode != QLatin1String("ZZZ");
    if (un || imo)
        goods << joined({un ? QStringLiteral("UN ") + l.unoCode : QString(), imo ? QStringLiteral("IMO ") + l.imoCode : QString()});
    QStringList weight = {withUnit(number(l.grossWt, 3), l.unitWt)};
    if (l.volume != 0)
        weight << withUnit(number(l.volume, 3), l.unitVol);
    QStringList containers;
    for (const ReportContainer &k : l.containers)
        containers << joined({k.containNo, k.conStatus, k.sealNo});
    QStringList bl;
    if (l.isHouse()) {
        bl = {QStringLiteral("House B/L ") + houseBlNo(l), dateText(houseBlDate(l))};
        if (!l.masterBlNo.isEmpty())
            bl << QStringLiteral("of B/L ") + l.masterBlNo;
    } else {
        bl = {l.blNo, dateText(l.blDt)};
        if (!l.hblNo.isEmpty())
            bl << QStringLiteral("H: ") + l.hblNo << dateText(l.hblDt);
        if (l.houses > 0)
            bl << consolidatedNote(l);
    }
    QStringList ports = {l.portLoad, l.portDest};
    if (!l.destCode.isEmpty() && l.destCode != l.portDest)
        ports << l.destCode;
    return {{lineLabel(l)}, bl, ports, consignee, {l.marks}, packages, goods, weight, containers};
}

QList<QStringList> ReportDocument::wrappedDeclarationCells(const ReportLine &l) const
{
    const std::vector<double> w = declarationColumns();
    QList<QStringList> cells = declarationCells(l);
    QList<QStringList> out;
    for (int c = 0; c < cells.size(); ++c) {
        QStringList rows;
        for (const QString &s : cells[c]) {
            if (!s.isEmpty())
                rows += wrap(s, m_m->mBody, w[size_t(c)] - 2 * Pad);
        }
        out << rows;
    }
    return out;
}

void ReportDocument::buildDeclaration()
{
    const Metrics &m = *m_m;
    // The voyage header box of the first page: four rows of label and value.
    m_declHeaderHeight = 4 * (m.lhLabel + 2 * m.lh + Pad) + 2 * Pad;
    for (int i = 0; i < int(m_data->lines.size()); ++i) {
        const QList<QStringList> cells = wrappedDeclarationCells(m_data->lines[size_t(i)]);
        int rows = 1;
        for (const QStringList &c : cells)
            rows = qMax(rows, int(c.size()));
        for (int r = 0; r < rows; ++r)
            m_bands.push_back({Kind::DeclRow, false, r == rows - 1, i, r, m.lh + (r == 0 ? Pad : 0) + (r == rows - 1 ? Pad : 0)});
    }
}

// ---- totals and pages --------------------------------------------------------------------

QStringList ReportDocument::totalsRows() const
{
    const ReportTotals t = m_data->totals();
    QStringList rows;
    rows << QStringLiteral("Bills of lading\t%1").arg(t.lines);
    if (t.houses > 0)
        rows << QStringLiteral("House B/Ls\t%1 (counted in their master lines)").arg(t.houses);
    rows << QStringLiteral("Packages\t%1").arg(t.packages);
    for (const WeightTotal &w : t.grossWeight)
        rows << QStringLiteral("Gross weight\t%1").arg(withUnit(number(w.weight, 3), w.unit));
    QStringList byStatus;
    for (const StatusCount &s : t.containersByStatus)
        byStatus << QStringLiteral("%1 %2").arg(s.status.isEmpty() ? QStringLiteral("(no status)") : s.status).arg(s.count);
    rows << QStringLiteral("Containers\t%1%2").arg(t.containers).arg(
        byStatus.isEmpty() ? QString() : QStringLiteral("  (") + byStatus.join(QStringLiteral(", ")) + QLatin1Char(')'));
    return rows;
}

void ReportDocument::buildTotals()
{
    const Metrics &m = *m_m;
    if (m_data->lines.empty()) {
        m_bands.push_back({Kind::Note, false, false, -1, 0, 3 * m.lh});
    }
    m_bands.push_back({Kind::TotalsHead, true, false, -1, 0, m.lh + 2 * Pad + (m_data->lines.empty() ? 0 : 60.f)});
    const int n = int(totalsRows().size());
    for (int r = 0; r < n; ++r) {
        const bool last = r == n - 1 && m_data->kind == ReportKind::CheckList;
        m_bands.push_back({Kind::TotalsRow, !last, false, -1, r, m.lh + 10});
    }
    if (m_data->kind == ReportKind::CargoDeclaration)
        m_bands.push_back({Kind::Signature, false, false, -1, 0, 6 * m.lh});
}

float ReportDocument::bodyTop(int pageIndex) const
{
    const Metrics &m = *m_m;
    float y = m_margin + m.lhHeading + m.lhTitle + 60;
    if (m_data->kind == ReportKind::CheckList)
        return y + m.lh + 2 * Pad + 80;
    y += pageIndex == 0 ? m_declHeaderHeight : m.lh + 2 * Pad;
    return y + 60 + 2 * m.lhLabel + 2 * Pad; // the column heads
}

float ReportDocument::bodyBottom() const
{
    return float(m_sheet.height()) - m_margin - m_m->lh - 60;
}

// The bands that go first on a page where a line goes on from the page before.
void ReportDocument::continuation(const Band &b, std::vector<Band> &out) const
{
    const Metrics &m = *m_m;
    if (m_data->kind == ReportKind::CargoDeclaration) {
        out.push_back({Kind::DeclContinued, false, false, b.line, 0, m.lh + Pad});
        return;
    }
    out.push_back({Kind::GroupHeadContinued, false, false, b.line, 0, m.lh + 2 * Pad});
    if (b.kind == Kind::PartiesRow)
        out.push_back({Kind::PartiesHead, false, false, b.line, 0, m.lhLabel + Pad});
    if (b.kind == Kind::ContainerRow)
        out.push_back({Kind::ContainerHead, false, false, b.line, 0, m.lhLabel + 2 * Pad});
}

void ReportDocument::paginate()
{
    std::vector<Band> page;
    float y = bodyTop(0);
    float bottom = bodyBottom();
    int lastLine = -1;
    auto newPage = [&] {
        m_pages.push_back(std::move(page));
        page = {};
        y = bodyTop(int(m_pages.size()));
    };
    const size_t n = m_bands.size();
    for (size_t i = 0; i < n; ++i) {
        const Band &b = m_bands[i];
        // A heading goes to the next page together with what it heads.
        float need = b.height;
        for (size_t j = i; j + 1 < n && m_bands[j].keepWithNext; ++j) {
            need += m_bands[j + 1].height;
            if (need > bottom - bodyTop(1))
                break;
        }
        if (!page.empty() && y + need > bottom) {
            newPage();
            if (b.kind == Kind::Gap)
                continue;
            const bool goesOn = b.line >= 0 && b.line == lastLine && b.kind != Kind::GroupHead;
            if (goesOn) {
                std::vector<Band> cont;
                continuation(b, cont);
                for (const Band &c : cont) {
                    page.push_back(c);
                    y += c.height;
                }
            }
        }
        page.push_back(b);
        y += b.height;
        lastLine = b.line;
    }
    m_pages.push_back(std::move(page));
    m_bands.clear();
    m_bands.shrink_to_fit();
}

// ---- drawing --------------------------------------------------------------------------

void ReportDocument::paintPage(QPainter &p, int index) const
{
    if (index < 0 || index >= pageCount())
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.fillRect(QRectF(QPointF(0, 0), m_sheet), Qt::white);
    drawPageFrame(p, index);
    float y = bodyTop(index);
    LineCache cache;
    for (const Band &b : m_pages[size_t(index)]) {
        drawBand(p, b, y, cache);
        y += b.height;
    }
    p.restore();
}

namespace {

void text(QPainter &p, const QFont &f, float x, float top, const QFontMetricsF &fm, const QString &s,
          const QColor &colour = Qt::black)
{
    if (s.isEmpty()) // many cells are; a text item costs even when it draws nothing
        return;
    p.setFont(f);
    p.setPen(colour);
    p.drawText(QPointF(x, top + fm.ascent()), s);
}

void textRight(QPainter &p, const QFont &f, float right, float top, const QFontMetricsF &fm, const QString &s)
{
    text(p, f, float(right - fm.horizontalAdvance(s)), top, fm, s);
}

void textCentre(QPainter &p, const QFont &f, float centre, float top, const QFontMetricsF &fm, const QString &s)
{
    text(p, f, float(centre - fm.horizontalAdvance(s) / 2), top, fm, s);
}

void rule(QPainter &p, float x1, float x2, float y, float width = 5)
{
    p.setPen(QPen(RuleColour, width));
    p.drawLine(QPointF(x1, y), QPointF(x2, y));
}

} // namespace

void ReportDocument::drawPageFrame(QPainter &p, int index) const
{
    const Metrics &m = *m_m;
    const float left = m_margin, right = m_margin + m_width, centre = left + m_width / 2;
    float y = m_margin;
    textCentre(p, m.heading, centre, y, m.mHeading, m_texts.heading);
    y += m.lhHeading;
    textCentre(p, m.title, centre, y, m.mTitle, m_texts.title);
    y += m.lhTitle + 30;
    rule(p, left, right, y, 10);
    y += 30;
    const ReportData &d = *m_data;
    if (d.kind == ReportKind::CheckList) {
        // The vessel's master data on every page, so that any page of the proof says whose it is.
        p.fillRect(QRectF(left, y, m_width, m.lh + 2 * Pad), Shade);
        QString line;
        if (d.hasVessel) {
            const VesselMaster &v = d.vesselMaster;
            line = joined({QStringLiteral("Vessel: ") + v.code + QStringLiteral(" ") + v.name,
                           QStringLiteral("Voyage: ") + d.voyage, QStringLiteral("Nationality: ") + v.nation,
                           QStringLiteral("G.R.T.: ") + number(v.grt, 2), QStringLiteral("N.R.T.: ") + number(v.nrt, 2)},
                          QStringLiteral("     "));
        } else {
            line = QStringLiteral("Vessel: ") + d.vessel + QStringLiteral("     Voyage: ") + d.voyage
                   + QStringLiteral("     (not in the vessel master)");
        }
        for (const QString &row : wrap(line, m.mBold, m_width - 2 * Pad).mid(0, 1))
            text(p, m.bold, left + Pad, y + Pad, m.mBold, row);
    } else {
        drawDeclarationHeader(p, y, index == 0);
        drawDeclarationColumns(p, y + 60);
    }
    // The foot of the page.
    const float foot = float(m_sheet.height()) - m_margin - m.lh;
    rule(p, left, right, foot - 30);
    text(p, m.label, left, foot + 10, m.mLabel,
         QStringLiteral("Printed ") + m_texts.printedAt.toString(QStringLiteral("dd/MM/yyyy hh:mm")), LabelColour);
    textCentre(p, m.body, centre, foot, m.mBody, QStringLiteral("Page %1 of %2").arg(index + 1).arg(pageCount()));
    p.setFont(m.label);
    p.setPen(LabelColour);
    const QString ref = d.vessel + QStringLiteral(" Voy ") + d.voyage;
    p.drawText(QPointF(right - m.mLabel.horizontalAdvance(ref), foot + 10 + m.mLabel.ascent()), ref);
}

void ReportDocument::drawDeclarationHeader(QPainter &p, float &y, bool full) const
{
    const Metrics &m = *m_m;
    const ReportData &d = *m_data;
    const VoyageHeader &h = d.header;
    const float left = m_margin;
    if (!full) {
        p.fillRect(QRectF(left, y, m_width, m.lh + 2 * Pad), Shade);
        const QString line = joined({QStringLiteral("Vessel: ") + (d.hasHeader ? h.vslName : d.vesselMaster.name)
                                         + QStringLiteral(" (") + d.vessel + QLatin1Char(')'),
                                     QStringLiteral("Voyage: ") + d.voyage,
                                     QStringLiteral("Custom house: ") + d.cHouseCode,
                                     d.hasHeader ? QStringLiteral("Port of arrival: ") + h.portArrival : QString()},
                                    QStringLiteral("     "));
        text(p, m.bold, left + Pad, y + Pad, m.mBold, line);
        y += m.lh + 2 * Pad;
        return;
    }
    auto yn = [](const QString &s) { return s.isEmpty() ? QStringLiteral("-") : s; };
    QList<QList<QStringList>> rows;
    if (d.hasHeader) {
        rows = {{{QStringLiteral("Name of vessel"), h.vslName}, {QStringLiteral("Vessel code"), h.vslCode},
                 {QStringLiteral("Voyage no."), h.voyNo}, {QStringLiteral("Nationality"), h.vslNation},
                 {QStringLiteral("Name of master"), h.masterName}, {QStringLiteral("Vessel type"), h.vslType}},
                {{QStringLiteral("Shipping line"), h.sLineCode}, {QStringLiteral("Shipping agent"), h.sAgentCode},
                 {QStringLiteral("Port of arrival"), h.portArrival}, {QStringLiteral("Last port of call"), h.lastPort},
                 {QStringLiteral("Ports before"), joined({h.lastPort1, h.lastPort2}, QStringLiteral(", "))},
                 {QStringLiteral("Terminal operator"), h.terminalOp}},
                {{QStringLiteral("Gross tonnage"), number(h.grt, 2)}, {QStringLiteral("Net tonnage"), number(h.nrt, 2)},
                 {QStringLiteral("Date of arrival"), dateText(h.arrDt)}, {QStringLiteral("Time of arrival"), h.arrTime},
                 {QStringLiteral("IGM no. and date"), joined({h.igmNo, dateText(h.igmDt)})},
                 {QStringLiteral("Custom house"), d.cHouseCode}},
                {{QStringLiteral("Total items"), QString::number(d.masterLines())},
                 {QStringLiteral("Cargo description"), h.cargoDesc},
                 {QStringLiteral("Light dues"), number(h.lhDues, 2)},
                 {QStringLiteral("Same bottom cargo"), yn(h.sameBottom)},
                 {QStringLiteral("Declarations: stores / crew / passengers"),
                  yn(h.shipStoreDecl) + QStringLiteral(" / ") + yn(h.crewDecl) + QStringLiteral(" / ") + yn(h.pessList)},
                 {QStringLiteral("Crew effects / maritime"), yn(h.crewEffDecl) + QStringLiteral(" / ") + yn(h.mariDecl)}}};
    } else {
        const VesselMaster &v = d.vesselMaster;
        rows = {{{QStringLiteral("Name of vessel"), v.name}, {QStringLiteral("Vessel code"), d.vessel},
                 {QStringLiteral("Voyage no."), d.voyage}, {QStringLiteral("Nationality"), v.nation},
                 {QStringLiteral("Gross tonnage"), number(v.grt, 2)}, {QStringLiteral("Net tonnage"), number(v.nrt, 2)}},
                {{QStringLiteral("Custom house"), d.cHouseCode},
                 {QStringLiteral("Voyage header"),
                  QStringLiteral("None is stored for this voyage: master, ports and arrival are not known.")}}};
    }
    const float cellW = m_width / 6;
    const float rowH = m.lhLabel + 2 * m.lh + Pad;
    const float top = y;
    p.setPen(QPen(RuleColour, 5));
    for (int r = 0; r < rows.size(); ++r) {
        const QList<QStringList> &cells = rows[r];
        for (int c = 0; c < cells.size(); ++c) {
            const bool wide = c == cells.size() - 1 && cells.size() < 6;
            const float x = left + c * cellW;
            const float w = wide ? m_width - c * cellW : cellW;
            p.setPen(QPen(RuleColour, 5));
            p.drawRect(QRectF(x, y, w, rowH));
            text(p, m.label, x + Pad, y + Pad / 2, m.mLabel, cells[c][0], LabelColour);
            const QStringList v = wrap(cells[c][1], m.mBold, w - 2 * Pad);
            for (int k = 0; k < qMin(2, int(v.size())); ++k)
                text(p, m.bold, x + Pad, y + Pad / 2 + m.lhLabel + k * m.lh, m.mBold, v[k]);
        }
        y += rowH;
    }
    y = top + m_declHeaderHeight - 2 * Pad;
}

void ReportDocument::drawDeclarationColumns(QPainter &p, float y) const
{
    const Metrics &m = *m_m;
    static const QStringList heads = {
        QStringLiteral("Line\nno."), QStringLiteral("B/L no.\nand date"), QStringLiteral("Port of loading\nand destination"),
        QStringLiteral("Consignee\nand address"), QStringLiteral("Marks and\nnumbers"),
        QStringLiteral("No. and kind\nof packages"), QStringLiteral("Description\nof goods"),
        QStringLiteral("Gross weight\nand volume"), QStringLiteral("Containers\n(no., status, seal)")};
    const std::vector<double> w = declarationColumns();
    const float h = 2 * m.lhLabel + 2 * Pad;
    p.fillRect(QRectF(m_margin, y, m_width, h), HeadShade);
    float x = m_margin;
    for (int c = 0; c < heads.size(); ++c) {
        const QStringList two = heads[c].split(QLatin1Char('\n'));
        for (int k = 0; k < two.size(); ++k)
            text(p, m.labelBold, x + Pad, y + Pad + k * m.lhLabel, m.mLabelBold, two[k]);
        x += float(w[size_t(c)]);
    }
    p.setPen(QPen(RuleColour, 5));
    p.drawRect(QRectF(m_margin, y, m_width, h));
}

// The shaded head of a line: its number, B/L, house B/L and ports.
void ReportDocument::drawGroupHead(QPainter &p, const Band &b, float y, const ReportLine &line) const
{
    const Metrics &m = *m_m;
    const float left = m_margin, right = m_margin + m_width;
    p.fillRect(QRectF(left, y, m_width, b.height), Shade);
    rule(p, left, right, y, 8);
    const QString first = line.isHouse()
                              ? houseHead(line)
                              : joined({QStringLiteral("Line %1").arg(line.lineNo), QStringLiteral("B/L No. ") + line.blNo,
                                        QStringLiteral("Date ") + dateText(line.blDt),
                                        line.hblNo.isEmpty() ? QString()
                                                           : QStringLiteral("House B/L ") + line.hblNo + QLatin1Char(' ')
                                                                 + dateText(line.hblDt),
                                        consolidatedNote(line)},
                                       QStringLiteral("     "));
    text(p, m.bold, left + Pad, y + Pad, m.mBold, wrap(first, m.mBold, m_width - 2 * Pad).value(0));
    const QString second = joined({QStringLiteral("Port of loading ") + line.portLoad,
                                   QStringLiteral("Port of destination ") + line.portDest,
                                   line.destCode.isEmpty() ? QString() : QStringLiteral("Final destination ") + line.destCode},
                                  QStringLiteral("     "));
    text(p, m.body, left + Pad, y + Pad + m.lh, m.mBody, second);
}

// One row of a line's wrapped marks, description, shipper or HS codes, labelled on its first.
void ReportDocument::drawTextRow(QPainter &p, const Band &b, float y, const ReportLine &line, LineCache &cache) const
{
    const Metrics &m = *m_m;
    const float left = m_margin;
    QStringList &rows = b.kind == Kind::MarksRow ? cache.marks
                        : b.kind == Kind::DescRow ? cache.desc
                        : b.kind == Kind::ShipperRow ? cache.shipper
                                                      : cache.hs;
    if (rows.isEmpty())
        rows = wrap(labelledText(line, b.kind), m.mBody, m_width - LabelGutter);
    if (b.item == 0)
        text(p, m.label, left + Pad, y + 10, m.mLabel,
             b.kind == Kind::MarksRow   ? QStringLiteral("Marks & Nos.")
             : b.kind == Kind::DescRow  ? QStringLiteral("Description")
             : b.kind == Kind::ShipperRow ? QStringLiteral("Shipper")
                                          : QStringLiteral("HS codes"),
             LabelColour);
    text(p, m.body, left + LabelGutter, y, m.mBody, rows.value(b.item));
}

// The heads of the container table.
void ReportDocument::drawContainerHead(QPainter &p, const Band &b, float y) const
{
    const Metrics &m = *m_m;
    const float left = m_margin;
    static const QStringList heads = {QStringLiteral("#"),      QStringLiteral("Container No."),
                                      QStringLiteral("Seal No."), QStringLiteral("Agent"),
                                      QStringLiteral("Status"), QStringLiteral("Packages"),
                                      QStringLiteral("Weight (t)"), QStringLiteral("ISO code"),
                                      QStringLiteral("SOC")};
    p.fillRect(QRectF(left + 300, y + Pad / 2, m_width - 300, b.height - Pad), HeadShade);
    const std::vector<double> &cols = checkListContainerColumns();
    float x = left;
    for (int c = 0; c < heads.size(); ++c) {
        const float w = float(cols[size_t(c)] * m_width);
        if (c > 0)
            text(p, m.labelBold, x + Pad, y + Pad, m.mLabelBold, heads[c]);
        x += w;
    }
}

// One container of a line.
void ReportDocument::drawContainerRow(QPainter &p, const Band &b, float y, const ReportLine &line) const
{
    const Metrics &m = *m_m;
    const float left = m_margin, right = m_margin + m_width;
    const QStringList cells = containerCells(line.containers[size_t(b.item)], b.item + 1);
    const std::vector<double> &cols = checkListContainerColumns();
    float x = left;
    for (int c = 0; c < cells.size(); ++c) {
        const float w = float(cols[size_t(c)] * m_width);
        const QStringList rows = wrap(cells[c], m.mBody, w - 2 * Pad);
        for (int k = 0; k < rows.size(); ++k) {
            if (c == 0 || c == 5 || c == 6)
                textRight(p, c == 0 ? m.label : m.body, x + w - Pad, y + k * m.lh, m.mBody, rows[k]);
            else
                text(p, m.body, x + Pad, y + k * m.lh, m.mBody, rows[k]);
        }
        x += w;
    }
    p.setPen(QPen(QColor(210, 210, 210), 3));
    p.drawLine(QPointF(left + 300, y + b.height), QPointF(right, y + b.height));
}

// Why the report shows no bill of lading.
void ReportDocument::drawNote(QPainter &p, float y) const
{
    const Metrics &m = *m_m;
    const float left = m_margin;
    const ReportData &d = *m_data;
    QString note;
    if (d.voyageLines == 0)
        note = QStringLiteral("No bill of lading is stored for vessel %1 voyage %2.").arg(d.vessel, d.voyage);
    else if (!d.hasVessel)
        note = QStringLiteral("Vessel code %1 is not in the vessel master: the %2 bills of lading of this voyage "
                              "are left out until it is added.")
                   .arg(d.vessel)
                   .arg(d.voyageLines);
    else
        note = QStringLiteral("No bill of lading to show.");
    const QStringList rows = wrap(note, m.mBold, m_width - 2 * Pad);
    for (int k = 0; k < qMin(3, int(rows.size())); ++k)
        text(p, m.bold, left + Pad, y + k * m.lh, m.mBold, rows[k]);
}

// One printed row of a line in the cargo declaration, with its column rules.
void ReportDocument::drawDeclarationRow(QPainter &p, const Band &b, float y, const ReportLine &line, LineCache &cache) const
{
    const Metrics &m = *m_m;
    const float left = m_margin, right = m_margin + m_width;
    if (cache.declaration.isEmpty())
        cache.declaration = wrappedDeclarationCells(line);
    const std::vector<double> w = declarationColumns();
    const float top = b.item == 0 ? y + Pad : y;
    float x = left;
    for (int c = 0; c < cache.declaration.size(); ++c) {
        const QString s = cache.declaration[c].value(b.item);
        if (c == 0 || c == 7)
            textRight(p, c == 0 ? m.bold : m.body, float(x + w[size_t(c)] - Pad), top, m.mBody, s);
        else
            text(p, c == 1 && b.item == 0 ? m.bold : m.body, x + Pad, top, m.mBody, s);
        x += float(w[size_t(c)]);
    }
    p.setPen(QPen(RuleColour, 5));
    x = left;
    for (size_t c = 0; c <= w.size(); ++c) {
        p.drawLine(QPointF(x, y), QPointF(x, y + b.height));
        if (c < w.size())
            x += float(w[c]);
    }
    if (b.item == 0)
        p.drawLine(QPointF(left, y), QPointF(right, y));
    if (b.last)
        p.drawLine(QPointF(left, y + b.height), QPointF(right, y + b.height));
}

// A row of six labelled facts of a line (packages, weights, ...).
void ReportDocument::drawFacts(QPainter &p, const Band &b, float y, const ReportLine &line) const
{
    const Metrics &m = *m_m;
    const QList<QStringList> cells = checkListFacts(line, b.kind == Kind::FactsB);
    const float w = m_width / 6;
    for (int c = 0; c < cells.size(); ++c) {
        const float x = m_margin + c * w;
        text(p, m.label, x + Pad, y + Pad / 2, m.mLabel, cells[c][0], LabelColour);
        const QStringList v = wrap(cells[c][1], m.mBody, w - 2 * Pad);
        for (int k = 0; k < v.size(); ++k)
            text(p, m.body, x + Pad, y + Pad / 2 + m.lhLabel + k * m.lh, m.mBody, v[k]);
    }
}

// The declaration and the lines to sign and date on.
void ReportDocument::drawSignature(QPainter &p, float y) const
{
    const Metrics &m = *m_m;
    const float left = m_margin, right = m_margin + m_width;
    const float top = y + 2 * m.lh;
    text(p, m.body, left + Pad, top, m.mBody, QStringLiteral("We declare that the particulars above are true and complete."));
    rule(p, right - 2600, right, top + 2.5f * m.lh, 5);
    text(p, m.label, right - 2600, top + 2.6f * m.lh, m.mLabel, QStringLiteral("Signature of master or agent"),
         LabelColour);
    rule(p, left + Pad, left + 1800, top + 2.5f * m.lh, 5);
    text(p, m.label, left + Pad, top + 2.6f * m.lh, m.mLabel, QStringLiteral("Place and date"), LabelColour);
}

void ReportDocument::drawBand(QPainter &p, const Band &b, float y, LineCache &cache) const
{
    const Metrics &m = *m_m;
    const float left = m_margin, right = m_margin + m_width;
    const ReportLine *l = b.line >= 0 ? &m_data->lines[size_t(b.line)] : nullptr;
    if (l && cache.line != b.line) {
        cache = LineCache();
        cache.line = b.line;
    }
    switch (b.kind) {
    case Kind::GroupHead:
        drawGroupHead(p, b, y, *l);
        break;
    case Kind::GroupHeadContinued:
        p.fillRect(QRectF(left, y, m_width, b.height), Shade);
        text(p, m.bold, left + Pad, y + Pad, m.mBold,
             continuedHead(*l));
        break;
    case Kind::PartiesHead:
        text(p, m.label, left + Pad, y + Pad / 2, m.mLabel, QStringLiteral("Importer"), LabelColour);
        text(p, m.label, left + m_width / 2 + Pad, y + Pad / 2, m.mLabel, QStringLiteral("Notify party"), LabelColour);
        break;
    case Kind::PartiesRow:
        if (cache.parties.isEmpty())
            cache.parties = checkListParties(*l);
        text(p, b.item == 0 ? m.bold : m.body, left + Pad, y, m.mBody, cache.parties[0].value(b.item));
        text(p, b.item == 0 ? m.bold : m.body, left + m_width / 2 + Pad, y, m.mBody, cache.parties[1].value(b.item));
        break;
    case Kind::FactsA:
    case Kind::FactsB:
        drawFacts(p, b, y, *l);
        break;
    case Kind::MarksRow:
    case Kind::DescRow:
    case Kind::ShipperRow:
    case Kind::HsRow:
        drawTextRow(p, b, y, *l, cache);
        break;
    case Kind::ContainerHead:
        drawContainerHead(p, b, y);
        break;
    case Kind::ContainerRow:
        drawContainerRow(p, b, y, *l);
        break;
    case Kind::NoContainers:
        text(p, m.label, left + Pad, y + Pad / 2, m.mLabel, QStringLiteral("Containers"), LabelColour);
        text(p, m.body, left + LabelGutter, y + Pad / 2, m.mBody, QStringLiteral("None (cargo not in containers)"));
        break;
    case Kind::Gap:
        break;
    case Kind::Note:
        drawNote(p, y);
        break;
    case Kind::TotalsHead: {
        const float top = y + b.height - m.lh - 2 * Pad;
        p.fillRect(QRectF(left, top, m_width, m.lh + 2 * Pad), HeadShade);
        rule(p, left, right, top, 10);
        text(p, m.bold, left + Pad, top + Pad, m.mBold,
             QStringLiteral("Totals for ") + m_data->vessel + QStringLiteral(" Voy ") + m_data->voyage);
        break;
    }
    case Kind::TotalsRow: {
        const QStringList parts = totalsRows().value(b.item).split(QLatin1Char('\t'));
        text(p, m.body, left + Pad, y + 5, m.mBody, parts.value(0));
        text(p, m.bold, left + 1600, y + 5, m.mBold, parts.value(1));
        break;
    }
    case Kind::Signature:
        drawSignature(p, y);
        break;
    case Kind::DeclRow:
        drawDeclarationRow(p, b, y, *l, cache);
        break;
    case Kind::DeclContinued:
        p.fillRect(QRectF(left, y, m_width, b.height), Shade);
        p.setPen(QPen(RuleColour, 5));
        p.drawRect(QRectF(left, y, m_width, b.height));
        text(p, m.bold, left + Pad, y + Pad / 2, m.mBold,
             continuedHead(*l));
        break;
    }
}

Status ReportDocument::print(QPagedPaintDevice &device, int from, int to, const PageProgress &progress) const
{
    if (to < 0 || to >= pageCount())
        to = pageCount() - 1;
    from = qMax(0, from);
    device.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter p;
    if (!p.begin(&device))
        return Failure(ErrorNumber::PathFileAccess, QStringLiteral("The printer or file cannot be written."));
    const double sx = device.logicalDpiX() / 720.0, sy = device.logicalDpiY() / 720.0;
    for (int i = from; i <= to; ++i) {
        if (i > from && !device.newPage()) {
            p.end();
            return Failure(ErrorNumber::PathFileAccess, QStringLiteral("The printer refused page %1.").arg(i + 1));
        }
        p.resetTransform();
        p.scale(sx, sy);
        paintPage(p, i);
        if (progress && !progress(i - from + 1, to - from + 1)) {
            p.end();
            return Failure(ErrorNumber::Cancelled, QStringLiteral("Cancelled."));
        }
    }
    if (!p.end())
        return Failure(ErrorNumber::PathFileAccess, QStringLiteral("The printer or file cannot be written."));
    return Status::ok();
}

Status writePdf(const ReportDocument &document, const QString &path, const PageProgress &progress)
{
    SafeFileDevice file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.failure();
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(document.pageLayout());
        writer.setResolution(720);
        writer.setTitle(document.texts().title);
        writer.setCreator(QStringLiteral("Quarl"));
        if (Status s = document.print(writer, 0, -1, progress); !s) {
            file.cancelWriting();
            return s;
        }
    }
    if (!file.commit())
        return file.failure();
    return Status::ok();
}

} // namespace quarl::reports
