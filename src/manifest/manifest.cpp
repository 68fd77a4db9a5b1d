#include "manifest/manifest.h"

#include "core/placeholders.h"
#include "manifest/igmmessages.h"
#include "store/cargolines.h"

namespace quarl::igm {

namespace {

constexpr const char *VesselColumns[] = {
    "MsgName", "MsgType", "IgmNo", "IgmDt", "vslname", "vslcode", "voyno", "slinecode", "sagentcode",
    "mastername", "vslnation", "portarrival", "lastport", "lastport1", "lastport2", "grt", "nrt", "vsltype",
    "TotItems", "cargodesc", "arrdt", "arrtime", "lhdues", "samebottom", "shipstoredecl", "crewdecl", "pesslist",
    "creweffdecl", "maridecl", "terminalop", "tocode", "arrportcd"};
static_assert(std::size(VesselColumns) == size_t(VoyageColumn::Count));

constexpr const char *LineColumns[] = {
    "id", "vslcode", "voyno", "lineno", "sublineno", "blno", "bldt", "HBlNo", "HBlDt", "portload", "portdest",
    "impname", "impadd1", "impadd2", "impadd3", "notname", "notadd1", "notadd2", "notadd3", "naturecargo",
    "itemtype", "cargomove", "destcode", "pkgs", "pkgtype", "grosswt", "unitwt", "volume", "unitvol", "marks",
    "gdesc", "unocode", "imocode", "tpregno", "caccode", "trmode", "mlo"};
static_assert(std::size(LineColumns) == size_t(BillColumn::Count));

constexpr const char *ContainerColumns[] = {"autoid", "ref", "lineno", "sublineno", "containno", "sealno",
                                            "agentcode", "constatus", "conpkgs", "conwt", "isocode", "socflag"};
static_assert(std::size(ContainerColumns) == size_t(ContainerColumn::Count));

qint64 number(const QVariant &v)
{
    return v.isNull() ? 0 : v.toLongLong();
}

} // namespace

const char *columnName(VoyageColumn c)
{
    return VesselColumns[size_t(c)];
}
const char *columnName(BillColumn c)
{
    return LineColumns[size_t(c)];
}
const char *columnName(ContainerColumn c)
{
    return ContainerColumns[size_t(c)];
}

qint64 Manifest::containerCount() const
{
    qint64 n = 0;
    for (const Bill &l : bills) {
        n += qint64(l.containers.size());
        for (const Bill &h : l.houses)
            n += qint64(h.containers.size());
    }
    return n;
}

qint64 Manifest::billCount() const
{
    qint64 n = 0;
    for (const Bill &l : bills)
        n += 1 + qint64(l.houses.size());
    return n;
}

QString portOfArrival(const VoyageHeader &v)
{
    QString port = v.text(VoyageColumn::ArrivalPortCode).trimmed();
    if (port.isEmpty() && v.text(VoyageColumn::PortArrival).trimmed() != QLatin1String(Placeholder::Port))
        port = v.text(VoyageColumn::PortArrival).trimmed();
    return port;
}

QString terminalOperator(const VoyageHeader &v)
{
    QString terminal = v.text(VoyageColumn::TerminalCode).trimmed();
    if (terminal.isEmpty() && v.text(VoyageColumn::TerminalOp).trimmed() != QLatin1String(Placeholder::Terminal))
        terminal = v.text(VoyageColumn::TerminalOp).trimmed();
    return terminal;
}

qint64 numberLines(Manifest &m)
{
    qint64 n = 0;
    for (Bill &l : m.bills) {
        l[BillColumn::LineNo] = ++n;
        l[BillColumn::SubLineNo] = qint64(0);
        for (Bill &h : l.houses)
            h[BillColumn::LineNo] = n;
    }
    return n;
}

QString Problem::importMessage() const
{
    if (cancelled)
        return failure.description;
    QString context;
    switch (section) {
    case Section::Vessel: context = QLatin1String(Messages::VesselContext) + column; break;
    case Section::Cargo: context = QLatin1String(Messages::CargoContext) + column; break;
    case Section::Container: context = QLatin1String(Messages::ContainerContext) + column; break;
    case Section::Item: context = QLatin1String(Messages::ItemContext) + column; break;
    case Section::General: context = QLatin1String(Messages::GeneralContext); break;
    }
    return failure.numberAndText() + QLatin1String(Messages::ContextSeparator) + context;
}

namespace {
// The line's own columns, without what hangs under it.
Bill bare(const Bill &l)
{
    Bill out;
    static_cast<Row<BillColumn> &>(out) = l;
    return out;
}

bool replayLine(const Bill &l, ManifestSink &sink)
{
    if (!sink.bill(bare(l)))
        return false;
    for (const Bill &h : l.houses) {
        if (!sink.bill(bare(h)))
            return false;
    }
    return true;
}

bool replayContents(const Bill &l, ManifestSink &sink)
{
    for (const Container &c : l.containers) {
        Container k = c;
        k[ContainerColumn::LineNo] = l[BillColumn::LineNo];
        k[ContainerColumn::SubLineNo] = l.isNull(BillColumn::SubLineNo) ? QVariant(qint64(0)) : l[BillColumn::SubLineNo];
        if (!sink.container(std::move(k)))
            return false;
    }
    for (const Item &i : l.items) {
        if (!sink.item(number(l[BillColumn::LineNo]), number(l[BillColumn::SubLineNo]), Item(i)))
            return false;
    }
    return true;
}
} // namespace

bool replay(const Manifest &m, ManifestSink &sink)
{
    if (!sink.headers(std::vector<VoyageHeader>(m.headers), VesselMaster(m.master)))
        return false;
    for (const Bill &l : m.bills) {
        if (!replayLine(l, sink))
            return false;
    }
    for (const Bill &l : m.bills) {
        if (!replayContents(l, sink))
            return false;
        for (const Bill &h : l.houses) {
            if (!replayContents(h, sink))
                return false;
        }
    }
    return sink.end();
}

bool ManifestBuilder::headers(std::vector<VoyageHeader> &&headers, VesselMaster &&master)
{
    m_manifest.headers = std::move(headers);
    m_manifest.master = std::move(master);
    if (!m_manifest.headers.empty()) {
        m_manifest.vessel = m_manifest.headers.front().text(VoyageColumn::Code);
        m_manifest.voyage = m_manifest.headers.front().text(VoyageColumn::Voyage);
    }
    return true;
}

Bill *ManifestBuilder::find(qint64 lineNo, qint64 subLineNo)
{
    const auto at = m_byNumber.constFind(lineNo);
    if (at == m_byNumber.constEnd())
        return nullptr;
    Bill &master = m_manifest.bills[size_t(at.value())];
    if (subLineNo > 0) {
        for (Bill &h : master.houses) {
            if (number(h[BillColumn::SubLineNo]) == subLineNo)
                return &h;
        }
    }
    return &master;
}

Bill *ManifestBuilder::byKey(const QVariant &id)
{
    if (id.isNull())
        return nullptr;
    const auto at = m_byKey.constFind(id.toLongLong());
    if (at == m_byKey.constEnd())
        return nullptr;
    Bill &master = m_manifest.bills[size_t(at->first)];
    return at->second < 0 ? &master : &master.houses[size_t(at->second)];
}

bool ManifestBuilder::bill(Bill &&line)
{
    const qint64 lineNo = number(line[BillColumn::LineNo]);
    const qint64 sub = number(line[BillColumn::SubLineNo]);
    const bool keyed = !line.isNull(BillColumn::Id);
    const qint64 id = number(line[BillColumn::Id]);
    // A database that links each house to its master says which lines are houses; lines of a
    // file or of an older database go by their numbers.
    if (const auto link = line.extra.constFind(QLatin1String(HouseLinkColumn)); link != line.extra.constEnd()) {
        const auto master = link->isNull() ? m_byKey.constEnd() : m_byKey.constFind(link->toLongLong());
        if (master != m_byKey.constEnd() && master->second < 0) {
            std::vector<Bill> &houses = m_manifest.bills[size_t(master->first)].houses;
            if (keyed)
                m_byKey.insert(id, {master->first, qsizetype(houses.size())});
            houses.push_back(std::move(line));
            return true;
        }
    } else if (sub > 0) {
        const auto master = m_byNumber.constFind(lineNo);
        if (master != m_byNumber.constEnd()) {
            std::vector<Bill> &houses = m_manifest.bills[size_t(master.value())].houses;
            if (keyed)
                m_byKey.insert(id, {master.value(), qsizetype(houses.size())});
            houses.push_back(std::move(line));
            return true;
        }
    }
    if (!m_byNumber.contains(lineNo))
        m_byNumber.insert(lineNo, qsizetype(m_manifest.bills.size()));
    if (keyed)
        m_byKey.insert(id, {qsizetype(m_manifest.bills.size()), -1});
    m_manifest.bills.push_back(std::move(line));
    return true;
}

bool ManifestBuilder::container(Container &&container)
{
    Bill *l = byKey(container[ContainerColumn::Ref]);
    if (!l)
        l = find(number(container[ContainerColumn::LineNo]), number(container[ContainerColumn::SubLineNo]));
    if (!l) {
        Problem p;
        p.failure = Failure(ErrorNumber::BadFileFormat,
                            QStringLiteral("Container %1 (line %2 of the file) belongs to line number %3, which is not "
                                           "in the cargo section.")
                                .arg(container.text(ContainerColumn::Number))
                                .arg(container.fileLine)
                                .arg(container.text(ContainerColumn::LineNo)));
        p.section = Section::Container;
        p.column = QLatin1String(columnName(ContainerColumn::Ref));
        p.fileLine = container.fileLine;
        return m_problems.raise(p);
    }
    l->containers.push_back(std::move(container));
    return true;
}

bool ManifestBuilder::item(qint64 lineNo, qint64 subLineNo, Item &&item)
{
    Bill *l = byKey(item.columns.value(QStringLiteral("ref")));
    if (!l)
        l = find(lineNo, subLineNo);
    if (!l) {
        Problem p;
        p.failure = Failure(ErrorNumber::BadFileFormat,
                            QStringLiteral("A goods item (line %1 of the file) belongs to line number %2, which the "
                                           "manifest does not hold.")
                                .arg(item.fileLine)
                                .arg(lineNo));
        p.section = Section::Item;
        p.fileLine = item.fileLine;
        return m_problems.raise(p);
    }
    l->items.push_back(std::move(item));
    return true;
}

} // namespace quarl::igm
