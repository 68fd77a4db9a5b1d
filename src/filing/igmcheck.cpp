#include "filing/igmcheck.h"

#include "core/textlinereader.h"
#include "filing/layouts.h"
#include "flatfile/flatlayouts.h"
#include "manifest/containernumber.h"
#include "manifest/igmformat.h"
#include "manifest/igmmessages.h"
#include "manifest/manifeststore.h"
#include "store/database.h"

#include <QBuffer>
#include <QFile>
#include <QSqlQuery>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace quarl::igm {

namespace {

using Severity = Finding::Severity;

Finding fileFinding(Severity s, qint64 fileLine, const QString &field, const QString &text, const QString &bill = {})
{
    Finding f;
    f.severity = s;
    f.fileLine = fileLine;
    f.blNo = bill;
    f.field = field;
    f.text = text;
    return f;
}

// Answers "perhaps seen before" in about two bytes a key, growing in stages as keys come:
// the check learns which keys may repeat without keeping every key.
class MaybeSeen
{
public:
    bool insert(QStringView key)
    {
        const quint64 a = qHash(key, 0x9e3779b97f4a7c15ULL);
        const quint64 b = qHash(key, 0xc2b2ae3d27d4eb4fULL) | 1;
        bool seen = false;
        for (const Stage &s : m_stages)
            seen = seen || s.has(a, b);
        if (m_stages.empty() || m_stages.back().count >= m_stages.back().capacity)
            m_stages.emplace_back(m_stages.empty() ? 4096 : m_stages.back().capacity * 2);
        m_stages.back().add(a, b);
        return seen;
    }

private:
    struct Stage
    {
        explicit Stage(qint64 capacity) : capacity(capacity), bits(size_t(capacity) * 16 / 64 + 1) {}
        static constexpr int Probes = 11;
        qint64 capacity;
        qint64 count = 0;
        std::vector<quint64> bits;
        quint64 slot(quint64 a, quint64 b, int i) const { return (a + quint64(i) * b) % (quint64(bits.size()) * 64); }
        bool has(quint64 a, quint64 b) const
        {
            for (int i = 0; i < Probes; ++i) {
                const quint64 s = slot(a, b, i);
                if (!(bits[size_t(s / 64)] & (quint64(1) << (s % 64))))
                    return false;
            }
            return true;
        }
        void add(quint64 a, quint64 b)
        {
            for (int i = 0; i < Probes; ++i) {
                const quint64 s = slot(a, b, i);
                bits[size_t(s / 64)] |= quint64(1) << (s % 64);
            }
            ++count;
        }
    };
    std::vector<Stage> m_stages;
};

// The findings of a report, the first MaxFindings of them listed, all counted.
class Findings : public Problems
{
public:
    explicit Findings(CheckReport &report) : m_report(report) {}
    bool raise(Problem p) override
    {
        add(p.severity == Problem::Severity::Error ? Severity::Error : Severity::Warning, p.fileLine, p.field,
            p.findingText(), p.blNo);
        return true;
    }
    // The finding's index in the list, -1 when it is beyond it.
    qsizetype add(Severity s, qint64 line, const QString &field, const QString &text, const QString &bill = {})
    {
        (s == Severity::Error ? m_report.errorCount : m_report.warningCount)++;
        if (m_report.findings.size() >= MaxFindings)
            return -1;
        m_report.findings.append(fileFinding(s, line, field, text, bill));
        return m_report.findings.size() - 1;
    }
    // How many findings are listed so far.
    qsizetype listed() const { return m_report.findings.size(); }
    void setBill(qsizetype finding, const QString &bill)
    {
        if (finding >= 0)
            m_report.findings[finding].blNo = bill;
    }

private:
    CheckReport &m_report;
};

class Quiet : public Problems
{
public:
    bool raise(Problem) override { return true; }
};

bool isDigits(const QString &s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

QString trimmed(const QVariant &v)
{
    return v.toString().trimmed();
}

// A number of the model as text: empty for null.
QString numberText(const QVariant &v)
{
    return v.isNull() ? QString() : Format::formatNumber(Format::numericValue(v));
}

// What the findings call each column: its field in the file's layout, or its caption for
// a voyage of the database. Worked out once, as every record names them.
class Labels
{
public:
    Labels(const Layout &layout, bool fileLabels)
    {
        for (int c = 0; c < int(VoyageColumn::Count); ++c)
            m_v[size_t(c)] = fileLabels ? layout.label(VoyageColumn(c)) : caption(VoyageColumn(c));
        for (int c = 0; c < int(BillColumn::Count); ++c)
            m_l[size_t(c)] = fileLabels ? layout.label(BillColumn(c)) : caption(BillColumn(c));
        for (int c = 0; c < int(ContainerColumn::Count); ++c)
            m_k[size_t(c)] = fileLabels ? layout.label(ContainerColumn(c)) : caption(ContainerColumn(c));
    }
    const QString &of(VoyageColumn c) const { return m_v[size_t(c)]; }
    const QString &of(BillColumn c) const { return m_l[size_t(c)]; }
    const QString &of(ContainerColumn c) const { return m_k[size_t(c)]; }

private:
    std::array<QString, size_t(VoyageColumn::Count)> m_v;
    std::array<QString, size_t(BillColumn::Count)> m_l;
    std::array<QString, size_t(ContainerColumn::Count)> m_k;
};

// The rules on the manifest, fed record by record. What can only be judged when every
// record is known (totals, packages adding up, lines without their containers) waits for
// finish(); the keys that may repeat are settled by a second reading.
class Rules : public ManifestSink
{
public:
    Rules(const Layout &layout, bool fileLabels, const CodeLists *codes, Findings &findings)
        : m_layout(layout), m_labels(layout, fileLabels), m_codes(codes), m_findings(findings)
    {
    }

    bool headers(std::vector<VoyageHeader> &&headers, VesselMaster &&master) override;
    bool bill(Bill &&line) override;
    bool container(Container &&container) override;
    bool item(qint64, qint64, Item &&) override { return true; }
    bool end() override { return true; }
    void finish();

    qint64 lines() const { return qint64(m_pkgs.size()); }
    qint64 containers() const { return m_containers; }
    bool needsSecondReading() const
    {
        return !m_billCandidates.isEmpty() || !m_boxCandidates.isEmpty() || !m_needBill.isEmpty();
    }

    // for the second reading
    QSet<QString> m_billCandidates;
    QSet<QString> m_boxCandidates;
    QHash<qint64, QList<qsizetype>> m_needBill; // line index to the findings that want its B/L

private:
    enum Flag : quint8 { Containerised = 1, HasContainer = 2, Lcl = 4, Regular = 8 };
    static constexpr quint32 Unknown = 0xffffffffu;

    // the rules of a line, n its line of the file
    quint8 lineNumber(const Bill &l, qsizetype index, qint64 n, const QString &bill);
    void partiesAndCodes(const Bill &l, qint64 n, const QString &bill);
    quint32 packagesAndWeight(const Bill &l, qint64 n, const QString &bill);
    void hazard(const Bill &l, qint64 n, const QString &bill);
    void transit(const Bill &l, qint64 n, const QString &bill);

    template<typename C>
    const QString &label(C c) const
    {
        return m_labels.of(c);
    }
    void error(qint64 line, const QString &field, const QString &text, const QString &bill = {})
    {
        m_findings.add(Severity::Error, line, field, text, bill);
    }
    void warning(qint64 line, const QString &field, const QString &text, const QString &bill = {})
    {
        m_findings.add(Severity::Warning, line, field, text, bill);
    }
    // a length the gateway limits: an error in the layouts it takes, a warning in older ones
    void limit(qint64 line, const QString &field, const QString &value, int max, const QString &bill = {})
    {
        if (value.size() > max)
            m_findings.add(m_layout.limitsAreErrors() ? Severity::Error : Severity::Warning, line, field,
                           QStringLiteral("%1 characters, at most %2 allowed.").arg(value.size()).arg(max), bill);
    }
    void code(qint64 line, const QString &field, const QVariant &value, const QSet<QString> *known,
              const QStringList &fixed, const char *what, const QString &bill = {})
    {
        const QString v = Format::code(value);
        if (v.isEmpty())
            return;
        if (m_codes && known) {
            if (!known->contains(v))
                error(line, field, QStringLiteral("%1 \"%2\" is not in the %3 master.")
                                       .arg(QLatin1String(what), value.toString().trimmed(), QLatin1String(what)),
                      bill);
        } else if (!fixed.isEmpty() && !fixed.contains(v)) {
            error(line, field, QStringLiteral("%1 \"%2\" is not one of %3.")
                                   .arg(QLatin1String(what), value.toString().trimmed(), fixed.join(QLatin1Char(' '))),
                  bill);
        }
    }
    qint64 fileLineOf(qsizetype index) const
    {
        auto it = std::upper_bound(m_offsets.begin(), m_offsets.end(), index,
                                   [](qsizetype i, const std::pair<qsizetype, qint64> &o) { return i < o.first; });
        return it == m_offsets.begin() ? 0 : index + std::prev(it)->second;
    }
    qint64 lineNumberOf(qsizetype index) const
    {
        return (m_flags[size_t(index)] & Regular) ? index + 1 : m_irregularByIndex.value(index, -1);
    }
    qsizetype indexOf(qint64 lineNo) const
    {
        if (lineNo >= 1 && lineNo <= qint64(m_flags.size()) && (m_flags[size_t(lineNo - 1)] & Regular))
            return qsizetype(lineNo - 1);
        return m_irregular.value(lineNo, -1);
    }
    void deferred(qsizetype index, Severity s, const QString &field, const QString &text)
    {
        const qsizetype f = m_findings.add(s, fileLineOf(index), field, text);
        if (f >= 0)
            m_needBill[index] << f;
    }

    const Layout &m_layout;
    const Labels m_labels;
    const CodeLists *m_codes;
    Findings &m_findings;

    QDate m_eta;
    QString m_port;
    qint64 m_declared = -1;
    qint64 m_headerLine = 0;
    // one entry per line, as small as the largest manifests need
    std::vector<quint32> m_pkgs;
    std::vector<quint32> m_boxPkgs;
    std::vector<quint8> m_flags;
    std::vector<std::pair<qsizetype, qint64>> m_offsets; // from this line index on: file line = index + offset
    QHash<qint64, qsizetype> m_irregular;                // line numbers out of their place, to their line
    QHash<qsizetype, qint64> m_irregularByIndex;
    MaybeSeen m_bills;
    MaybeSeen m_boxes;
    qint64 m_containers = 0;
};

bool Rules::headers(std::vector<VoyageHeader> &&headers, VesselMaster &&master)
{
    if (headers.empty())
        return true;
    const VoyageHeader &v = headers.front();
    const qint64 n = v.fileLine;
    m_headerLine = n;
    if (headers.size() > 1)
        m_findings.add(m_layout.limitsAreErrors() ? Severity::Error : Severity::Warning, headers.back().fileLine,
                       QString(), QStringLiteral("%1 vessel records; a manifest has one.").arg(headers.size()));
    m_port = portOfArrival(v);
    m_eta = v.date(VoyageColumn::ArrivalDate);
    if (!v.isNull(VoyageColumn::TotalItems))
        m_declared = v[VoyageColumn::TotalItems].toLongLong();
    const QSet<QString> *ports = m_codes ? &m_codes->ports : nullptr;
    code(n, label(VoyageColumn::PortArrival), m_port, ports, {}, "port");
    for (const VoyageColumn c : {VoyageColumn::LastPort, VoyageColumn::LastPort1, VoyageColumn::LastPort2})
        code(n, label(c), v[c], ports, {}, "port");
    m_layout.checkHeader(v, master, m_findings);
    return true;
}

// The line's number against its place: 1..N without gaps, each once.
quint8 Rules::lineNumber(const Bill &l, qsizetype index, qint64 n, const QString &bill)
{
    quint8 flags = 0;
    if (!l.isNull(BillColumn::LineNo)) {
        const qint64 no = l[BillColumn::LineNo].toLongLong();
        bool twice = false;
        if (no == index + 1) {
            flags |= Regular;
            twice = m_irregular.contains(no);
        } else {
            twice = m_irregular.contains(no) || (no >= 1 && no <= index && (m_flags[size_t(no - 1)] & Regular));
            if (!m_irregular.contains(no))
                m_irregular.insert(no, index);
            m_irregularByIndex.insert(index, no);
        }
        if (twice)
            error(n, label(BillColumn::LineNo), QStringLiteral("Line number %1 occurs twice.").arg(no), bill);
        if (no != index + 1)
            error(n, label(BillColumn::LineNo),
                  QStringLiteral("Line number %1 where %2 belongs: lines run 1..N without gaps.").arg(no).arg(index + 1), bill);
    }

    return flags;
}

// The B/L, its dates, ports, parties and codes.
void Rules::partiesAndCodes(const Bill &l, qint64 n, const QString &bill)
{
    if (bill.isEmpty() && !l.wasRefused(BillColumn::BlNo))
        error(n, label(BillColumn::BlNo), QStringLiteral("No B/L number."), bill);
    else if (m_bills.insert(bill))
        m_billCandidates.insert(bill);
    limit(n, label(BillColumn::BlNo), bill, 20, bill);
    const QDate bl = l.date(BillColumn::BlDate);
    if (l.isNull(BillColumn::BlDate) && n == 0)
        error(n, label(BillColumn::BlDate), QStringLiteral("No B/L date."), bill);
    else if (bl.isValid() && m_eta.isValid() && bl > m_eta)
        error(n, label(BillColumn::BlDate),
              QStringLiteral("B/L date %1 is after the vessel's arrival %2.")
                  .arg(bl.toString(QStringLiteral("dd.MM.yyyy")), m_eta.toString(QStringLiteral("dd.MM.yyyy"))),
              bill);
    if (!trimmed(l[BillColumn::HblNo]).isEmpty() && !l.date(BillColumn::HblDate).isValid())
        error(n, label(BillColumn::HblDate), QStringLiteral("A house B/L number needs its date DDMMYYYY."), bill);
    const QSet<QString> *ports = m_codes ? &m_codes->ports : nullptr;
    for (const BillColumn c : {BillColumn::PortLoad, BillColumn::PortDest}) {
        if (trimmed(l[c]).isEmpty() && !l.wasRefused(c))
            error(n, label(c), QStringLiteral("No %1.").arg(caption(c)), bill);
        code(n, label(c), l[c], ports, {}, "port", bill);
        limit(n, label(c), trimmed(l[c]), 6, bill);
    }
    if (trimmed(l[BillColumn::ImpName]).isEmpty() && !l.wasRefused(BillColumn::ImpName))
        error(n, label(BillColumn::ImpName), QStringLiteral("No importer name."), bill);
    for (const BillColumn c : {BillColumn::ImpName, BillColumn::ImpAdd1, BillColumn::ImpAdd2, BillColumn::ImpAdd3, BillColumn::NotName, BillColumn::NotAdd1, BillColumn::NotAdd2, BillColumn::NotAdd3})
        limit(n, label(c), l.text(c), 35, bill);
    code(n, label(BillColumn::Nature), l[BillColumn::Nature], m_codes ? &m_codes->natures : nullptr,
         {QStringLiteral("C"), QStringLiteral("CP"), QStringLiteral("P"), QStringLiteral("LB"), QStringLiteral("DB")},
         "nature of cargo", bill);
    code(n, label(BillColumn::ItemType), l[BillColumn::ItemType], m_codes ? &m_codes->itemTypes : nullptr,
         {QStringLiteral("OT"), QStringLiteral("GC"), QStringLiteral("UB")}, "item type", bill);
    code(n, label(BillColumn::Movement), l[BillColumn::Movement], m_codes ? &m_codes->movements : nullptr,
         {QStringLiteral("LC"), QStringLiteral("TI"), QStringLiteral("TC")}, "cargo movement", bill);
    for (const BillColumn c : {BillColumn::Nature, BillColumn::ItemType, BillColumn::Movement, BillColumn::PkgType, BillColumn::UnitWt, BillColumn::Description, BillColumn::UnoCode, BillColumn::ImoCode}) {
        if (trimmed(l[c]).isEmpty() && !l.wasRefused(c))
            error(n, label(c), QStringLiteral("No %1.").arg(caption(c)), bill);
    }
    limit(n, label(BillColumn::DestCode), trimmed(l[BillColumn::DestCode]), 10, bill);
}

// The packages (Unknown when they are not a number), weight and volume.
quint32 Rules::packagesAndWeight(const Bill &l, qint64 n, const QString &bill)
{
    quint32 pkgs = Unknown;
    if (l.isNull(BillColumn::Pkgs)) {
        if (n == 0)
            error(n, label(BillColumn::Pkgs), QStringLiteral("No number of packages."), bill);
    } else {
        const double p = Format::numericValue(l[BillColumn::Pkgs]);
        if (p < 0 || std::trunc(p) != p)
            error(n, label(BillColumn::Pkgs), QStringLiteral("\"%1\" is not a number of packages.").arg(trimmed(l[BillColumn::Pkgs])), bill);
        else
            pkgs = quint32(std::min(p, double(Unknown - 1)));
        limit(n, label(BillColumn::Pkgs), numberText(l[BillColumn::Pkgs]), 8, bill);
    }
    code(n, label(BillColumn::PkgType), l[BillColumn::PkgType], m_codes ? &m_codes->packages : nullptr, {}, "package", bill);
    limit(n, label(BillColumn::PkgType), trimmed(l[BillColumn::PkgType]), 3, bill);
    if ((l.isNull(BillColumn::GrossWt) && n == 0) || Format::numericValue(l[BillColumn::GrossWt]) < 0)
        error(n, label(BillColumn::GrossWt), QStringLiteral("\"%1\" is not a weight.").arg(trimmed(l[BillColumn::GrossWt])), bill);
    code(n, label(BillColumn::UnitWt), l[BillColumn::UnitWt], m_codes ? &m_codes->units : nullptr,
         {QStringLiteral("KGS"), QStringLiteral("MTS")}, "unit", bill);
    if (Format::numericValue(l[BillColumn::Volume]) < 0)
        error(n, label(BillColumn::Volume), QStringLiteral("\"%1\" is not a volume.").arg(trimmed(l[BillColumn::Volume])), bill);
    limit(n, label(BillColumn::Marks), l.text(BillColumn::Marks), 250, bill);
    limit(n, label(BillColumn::Description), l.text(BillColumn::Description), 250, bill);

    return pkgs;
}

// The UNO code and IMO class, which go together.
void Rules::hazard(const Bill &l, qint64 n, const QString &bill)
{
    const QString uno = trimmed(l[BillColumn::UnoCode]);
    const QString imo = trimmed(l[BillColumn::ImoCode]);
    const bool harmlessUno = uno == QLatin1String("ZZZZZ");
    const bool harmlessImo = imo == QLatin1String("ZZZ");
    if (harmlessUno != harmlessImo && !uno.isEmpty() && !imo.isEmpty())
        error(n, label(harmlessUno ? BillColumn::ImoCode : BillColumn::UnoCode),
              QStringLiteral("UNO code %1 and IMO class %2 disagree: ZZZZZ goes with ZZZ only.").arg(uno, imo), bill);
    else if (!harmlessUno && m_codes && !uno.isEmpty()) {
        const auto known = m_codes->unoClasses.constFind(uno);
        if (known == m_codes->unoClasses.constEnd())
            warning(n, label(BillColumn::UnoCode), QStringLiteral("UNO code %1 is not in the UN number master.").arg(uno), bill);
        else if (known.value() != imo)
            error(n, label(BillColumn::ImoCode), QStringLiteral("UN %1 is of IMO class %2, not %3.").arg(uno, known.value(), imo), bill);
    }
    limit(n, label(BillColumn::UnoCode), uno, 5, bill);
    limit(n, label(BillColumn::ImoCode), imo, 3, bill);
}

// What a line going on from the port of arrival (TI, TC) needs, and its bond.
void Rules::transit(const Bill &l, qint64 n, const QString &bill)
{
    const QString bond = Format::numericValue(l[BillColumn::BondNo]) == 0 ? QString() : numberText(l[BillColumn::BondNo]);
    const QString move = Format::code(l[BillColumn::Movement]);
    if (move == QLatin1String("TI") || move == QLatin1String("TC")) {
        const std::pair<BillColumn, QString> needed[] = {{BillColumn::BondNo, bond},
                                                {BillColumn::CarrierCode, trimmed(l[BillColumn::CarrierCode])},
                                                {BillColumn::Mode, trimmed(l[BillColumn::Mode])},
                                                {BillColumn::Mlo, trimmed(l[BillColumn::Mlo])}};
        for (const auto &[c, value] : needed) {
            if (value.isEmpty())
                error(n, label(c), QStringLiteral("A %1 line needs its %2.").arg(move, caption(c)), bill);
        }
        if (!m_port.isEmpty() && trimmed(l[BillColumn::PortDest]) == m_port)
            error(n, label(BillColumn::PortDest),
                  QStringLiteral("A %1 line goes on from the port of arrival: its destination cannot be %2.").arg(move, m_port),
                  bill);
    }
    if (!bond.isEmpty() && !isDigits(bond))
        warning(n, label(BillColumn::BondNo), QStringLiteral("\"%1\" is not a bond registration number of digits.").arg(bond), bill);
    limit(n, label(BillColumn::BondNo), bond, 10, bill);
    limit(n, label(BillColumn::CarrierCode), trimmed(l[BillColumn::CarrierCode]), 10, bill);
    limit(n, label(BillColumn::Mode), trimmed(l[BillColumn::Mode]), 1, bill);
    limit(n, label(BillColumn::Mlo), trimmed(l[BillColumn::Mlo]), 10, bill);
}

bool Rules::bill(Bill &&l)
{
    const qsizetype index = qsizetype(m_pkgs.size());
    const qint64 n = l.fileLine;
    const QString bill = l.bill().trimmed();
    if (n > 0 && (m_offsets.empty() || index + m_offsets.back().second != n))
        m_offsets.emplace_back(index, n - index);

    quint8 flags = lineNumber(l, index, n, bill);
    partiesAndCodes(l, n, bill);

    const quint32 pkgs = packagesAndWeight(l, n, bill);
    hazard(l, n, bill);
    transit(l, n, bill);
    const QString nature = Format::code(l[BillColumn::Nature]);
    if (nature == QLatin1String("C") || nature == QLatin1String("CP"))
        flags |= Containerised;
    m_pkgs.push_back(pkgs);
    m_boxPkgs.push_back(0);
    m_flags.push_back(flags);
    return true;
}

bool Rules::container(Container &&c)
{
    const qint64 n = c.fileLine;
    ++m_containers;
    const qsizetype listedBefore = m_findings.listed();
    qsizetype index = -1;
    qint64 lineNo = -1;
    if (!c.isNull(ContainerColumn::LineNo)) {
        lineNo = c[ContainerColumn::LineNo].toLongLong();
        index = indexOf(lineNo);
        if (index < 0)
            error(n, label(ContainerColumn::LineNo), QStringLiteral("Line %1 is not in the cargo section.").arg(lineNo));
    }
    const QString number = trimmed(c[ContainerColumn::Number]);
    if (const QString finding = containerNumberFinding(number); !finding.isEmpty())
        error(n, label(ContainerColumn::Number), finding);
    limit(n, label(ContainerColumn::Seal), trimmed(c[ContainerColumn::Seal]), 15);
    limit(n, label(ContainerColumn::Agent), trimmed(c[ContainerColumn::Agent]), 10);
    const QString status = Format::code(c[ContainerColumn::Status]);
    if (status.isEmpty() && !c.wasRefused(ContainerColumn::Status))
        error(n, label(ContainerColumn::Status), QStringLiteral("No container status."));
    code(n, label(ContainerColumn::Status), c[ContainerColumn::Status], m_codes ? &m_codes->statuses : nullptr,
         {QStringLiteral("FCL"), QStringLiteral("LCL"), QStringLiteral("MTY")}, "container status");
    const double pkgs = Format::numericValue(c[ContainerColumn::Pkgs]);
    if (pkgs < 0 || std::trunc(pkgs) != pkgs)
        error(n, label(ContainerColumn::Pkgs), QStringLiteral("\"%1\" is not a number of packages.").arg(trimmed(c[ContainerColumn::Pkgs])));
    const double weight = Format::numericValue(c[ContainerColumn::Weight]);
    if (weight < 0)
        error(n, label(ContainerColumn::Weight), QStringLiteral("\"%1\" is not a weight.").arg(trimmed(c[ContainerColumn::Weight])));
    else if (weight > 99)
        warning(n, label(ContainerColumn::Weight), QStringLiteral("%1 tonnes in one container.").arg(numberText(c[ContainerColumn::Weight])));
    if (status == QLatin1String("MTY") && (pkgs > 1 || weight > 0))
        warning(n, label(ContainerColumn::Pkgs), QStringLiteral("An empty container with packages or weight."));
    const QString iso = trimmed(c[ContainerColumn::Iso]);
    if (iso.isEmpty() && !c.wasRefused(ContainerColumn::Iso))
        error(n, label(ContainerColumn::Iso), QStringLiteral("No ISO size/type code."));
    code(n, label(ContainerColumn::Iso), iso, m_codes ? &m_codes->isoCodes : nullptr, {}, "ISO size/type");
    limit(n, label(ContainerColumn::Iso), iso, 4);
    const QString soc = trimmed(c[ContainerColumn::Soc]);
    if (soc != QLatin1String("Y") && soc != QLatin1String("N"))
        m_findings.add(m_layout.limitsAreErrors() ? Severity::Error : Severity::Warning, n, label(ContainerColumn::Soc),
                       QStringLiteral("\"%1\" where Y or N belongs.").arg(soc));
    if (index < 0)
        return true;
    // the container's findings name the B/L of its line, as the clerk knows it
    for (qsizetype f = listedBefore; f < m_findings.listed(); ++f)
        m_needBill[index] << f;
    if (!number.isEmpty()) {
        const QString key = QString::number(lineNo) + QLatin1Char('|') + number;
        if (m_boxes.insert(key))
            m_boxCandidates.insert(key);
    }
    quint32 &sum = m_boxPkgs[size_t(index)];
    if (pkgs > 0)
        sum = quint32(std::min(double(sum) + pkgs, double(Unknown - 1)));
    m_flags[size_t(index)] |= HasContainer | (status == QLatin1String("LCL") ? Lcl : 0);
    return true;
}

void Rules::finish()
{
    const qint64 count = lines();
    if (m_declared >= 0 && m_declared != count)
        error(m_headerLine, label(VoyageColumn::TotalItems),
              QStringLiteral("%1 lines declared, %2 cargo records in the file.").arg(m_declared).arg(count));
    for (qsizetype i = 0; i < qsizetype(count); ++i) {
        const quint8 f = m_flags[size_t(i)];
        if (!(f & HasContainer)) {
            if (f & Containerised)
                deferred(i, Severity::Error, label(BillColumn::Nature),
                         QStringLiteral("Containerised line %1 has no container.").arg(lineNumberOf(i)));
            continue;
        }
        if (m_pkgs[size_t(i)] != Unknown && m_pkgs[size_t(i)] != m_boxPkgs[size_t(i)]) {
            const bool lcl = f & Lcl;
            deferred(i, lcl ? Severity::Warning : Severity::Error, label(BillColumn::Pkgs),
                     QStringLiteral("%1 packages on the line, %2 in its containers%3.")
                         .arg(m_pkgs[size_t(i)])
                         .arg(m_boxPkgs[size_t(i)])
                         .arg(lcl ? QStringLiteral(" (LCL)") : QString()));
        }
    }
}

// The second reading: which of the keys that may repeat do, and the B/L numbers the
// findings of finish() name.
class Recheck : public ManifestSink
{
public:
    Recheck(const Rules &rules, const Layout &layout, bool fileLabels, Findings &findings)
        : m_rules(rules), m_labels(layout, fileLabels), m_findings(findings)
    {
    }
    bool headers(std::vector<VoyageHeader> &&, VesselMaster &&) override { return true; }
    bool bill(Bill &&l) override
    {
        const qsizetype index = m_index++;
        const QString bill = l.bill().trimmed();
        if (const auto want = m_rules.m_needBill.constFind(index); want != m_rules.m_needBill.constEnd()) {
            for (const qsizetype f : *want)
                m_findings.setBill(f, bill);
        }
        if (m_rules.m_billCandidates.contains(bill)) {
            const auto first = m_bills.constFind(bill);
            if (first == m_bills.constEnd())
                m_bills.insert(bill, l.fileLine);
            else
                m_findings.add(Severity::Error, l.fileLine, label(BillColumn::BlNo),
                               first.value() > 0
                                   ? QStringLiteral("B/L number %1 occurs twice in the voyage (first in line %2 of the file).")
                                         .arg(bill)
                                         .arg(first.value())
                                   : QStringLiteral("B/L number %1 occurs twice in the voyage.").arg(bill),
                               bill);
        }
        return true;
    }
    bool container(Container &&c) override
    {
        if (c.isNull(ContainerColumn::LineNo))
            return true;
        const QString number = trimmed(c[ContainerColumn::Number]);
        const QString key = QString::number(c[ContainerColumn::LineNo].toLongLong()) + QLatin1Char('|') + number;
        if (!m_rules.m_boxCandidates.contains(key))
            return true;
        if (m_boxes.contains(key))
            m_findings.add(Severity::Error, c.fileLine, label(ContainerColumn::Number),
                           QStringLiteral("Container %1 appears twice under line %2.").arg(number).arg(c[ContainerColumn::LineNo].toLongLong()));
        m_boxes.insert(key);
        return true;
    }
    bool item(qint64, qint64, Item &&) override { return true; }
    bool end() override { return true; }

private:
    template<typename C>
    const QString &label(C c) const
    {
        return m_labels.of(c);
    }
    const Rules &m_rules;
    const Labels m_labels;
    Findings &m_findings;
    qsizetype m_index = 0;
    QHash<QString, qint64> m_bills;
    QSet<QString> m_boxes;
};

// One reading of the source into a sink; its faults go to problems.
using Reading = std::function<void(ManifestSink &sink, Problems &problems)>;

void check(CheckReport &report, const Layout &layout, bool fileLabels, const CodeLists *codes, const Reading &read)
{
    Findings findings(report);
    Rules rules(layout, fileLabels, codes, findings);
    read(rules, findings);
    rules.finish();
    if (rules.needsSecondReading()) {
        Recheck again(rules, layout, fileLabels, findings);
        Quiet quiet;
        read(again, quiet);
    }
    report.cargoLines = rules.lines();
    report.containers = rules.containers();
    std::stable_sort(report.findings.begin(), report.findings.end(),
                     [](const Finding &a, const Finding &b) { return a.fileLine < b.fileLine; });
}

CheckReport checkDevice(const std::function<std::unique_ptr<QIODevice>()> &open, const QString &name,
                        const CodeLists *codes)
{
    CheckReport report;
    std::unique_ptr<QIODevice> first = open();
    if (!first) {
        report.errorCount = 1;
        report.findings.append(fileFinding(Severity::Error, 0, QString(), QStringLiteral("Cannot read %1.").arg(name)));
        return report;
    }
    TextLineReader peek(first.get(), 64 * 1024);
    QByteArray line;
    Recognised r;
    bool empty = true;
    for (;;) {
        const TextLineReader::Result got = peek.next(&line);
        if (got == TextLineReader::Result::TooLong) {
            empty = false;
            if (!peek.skipLine())
                break;
            continue;
        }
        if (got != TextLineReader::Result::Line)
            break;
        if (!line.trimmed().isEmpty()) {
            empty = false;
            r = recogniseLine(line);
            break;
        }
    }
    if (empty) {
        report.errorCount = 1;
        report.findings.append(fileFinding(Severity::Error, 0, QString(), QStringLiteral("The file is empty.")));
        return report;
    }
    if (!r.layout) {
        if (r.header) {
            report.errorCount = 1;
            report.findings.append(fileFinding(Severity::Error, 1, QStringLiteral("header"),
                                    QStringLiteral("The header names the version \"%1\", which no layout of this program "
                                                   "(%2) has.")
                                        .arg(r.version, layoutNames())));
            return report;
        }
        r.layout = &olderLayout();
    }
    report.recognised = true;
    report.layout = r.layout;
    first.reset();
    check(report, *r.layout, true, codes, [&](ManifestSink &sink, Problems &problems) {
        std::unique_ptr<QIODevice> in = open();
        if (!in)
            return;
        ReadContext cx(problems, true);
        r.layout->read(*in, sink, cx);
    });
    return report;
}

} // namespace

CheckReport checkIgmFile(const QString &path, const CodeLists *codes)
{
    QString why;
    CheckReport report = checkDevice(
        [&]() -> std::unique_ptr<QIODevice> {
            auto file = std::make_unique<QFile>(path);
            if (!file->open(QIODevice::ReadOnly)) {
                why = file->errorString();
                return nullptr;
            }
            return file;
        },
        path, codes);
    if (!why.isEmpty() && !report.recognised && report.findings.size() == 1)
        report.findings.first().text = QStringLiteral("Cannot read %1: %2").arg(path, why);
    return report;
}

CheckReport checkIgmData(const QByteArray &data, const CodeLists *codes)
{
    return checkDevice(
        [&]() -> std::unique_ptr<QIODevice> {
            auto buffer = std::make_unique<QBuffer>();
            buffer->setData(data);
            buffer->open(QIODevice::ReadOnly);
            return buffer;
        },
        QStringLiteral("the data"), codes);
}

CheckReport checkManifest(const Manifest &m, const Layout &layout, const CodeLists *codes)
{
    Manifest filed = m;
    layout.prepare(filed);
    CheckReport report;
    report.recognised = true;
    report.layout = &layout;
    check(report, layout, false, codes, [&](ManifestSink &sink, Problems &) { replay(filed, sink); });
    return report;
}

CheckReport checkVoyage(const Database &db, const QString &vessel, const QString &voyage, const Layout &layout,
                        const CodeLists *codes, Failure *failure)
{
    CheckReport report;
    report.recognised = true;
    report.layout = &layout;
    // both readings see the same moment of the voyage
    Transaction tx(db, TxMode::Read);
    if (!tx.started()) {
        if (failure)
            *failure = tx.started().failure();
        return report;
    }
    auto extent = voyageExtent(db, vessel, voyage);
    if (!extent) {
        if (failure)
            *failure = extent.failure();
        return report;
    }
    if (extent->first == 0) {
        report.errorCount = 1;
        report.findings.append(fileFinding(Severity::Error, 0, QString(), QLatin1String(Messages::NoVoyage)));
        return report;
    }
    check(report, layout, false, codes, [&](ManifestSink &sink, Problems &) {
        auto streamed = streamVoyage(db, vessel, voyage, sink, Numbering::AsFiled);
        if (!streamed && failure)
            *failure = streamed.failure();
    });
    return report;
}

} // namespace quarl::igm
