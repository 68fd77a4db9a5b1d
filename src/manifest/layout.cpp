#include "manifest/layout.h"

#include "manifest/igmformat.h"
#include "manifest/igmmessages.h"

namespace quarl::igm {

namespace {

constexpr char CancelledText[] = "The import was cancelled; nothing of the file was stored.";

constexpr const char *VesselCaptions[] = {
    "message name", "message type", "IGM number", "IGM date", "vessel name", "vessel code", "voyage number",
    "shipping line code", "shipping agent code", "master's name", "nationality", "port of arrival", "last port",
    "port before last", "port before that", "gross tonnage", "net tonnage", "vessel type", "total number of lines",
    "brief cargo description", "expected arrival date", "expected arrival time", "light house dues",
    "same bottom cargo", "ship stores declaration", "crew list declaration", "passenger list",
    "crew effects declaration", "maritime declaration", "terminal operator", "terminal operator code",
    "port of arrival as filed"};
static_assert(std::size(VesselCaptions) == size_t(VoyageColumn::Count));

constexpr const char *LineCaptions[] = {
    "key", "vessel code", "voyage number", "line number", "sub-line number", "B/L number", "B/L date",
    "house B/L number", "house B/L date", "port of loading", "port of destination", "importer name",
    "importer address", "importer address", "importer address", "notify party", "notify address",
    "notify address", "notify address", "nature of cargo", "item type", "cargo movement", "CFS / discharge code",
    "number of packages", "type of packages", "gross weight", "unit of weight", "gross volume", "unit of volume",
    "marks and numbers", "description of goods", "UNO code", "IMO class", "transit bond number", "carrier code",
    "mode of transport", "MLO code"};
static_assert(std::size(LineCaptions) == size_t(BillColumn::Count));

constexpr const char *ContainerCaptions[] = {"key", "line", "line number", "sub-line number", "container number",
                                             "seal number", "container agent code", "container status", "packages",
                                             "container weight", "ISO size/type", "SOC flag"};
static_assert(std::size(ContainerCaptions) == size_t(ContainerColumn::Count));

} // namespace

const char *captionText(VoyageColumn c)
{
    return VesselCaptions[size_t(c)];
}
const char *captionText(BillColumn c)
{
    return LineCaptions[size_t(c)];
}
const char *captionText(ContainerColumn c)
{
    return ContainerCaptions[size_t(c)];
}

QString caption(VoyageColumn c)
{
    return QLatin1String(VesselCaptions[size_t(c)]);
}
QString caption(BillColumn c)
{
    return QLatin1String(LineCaptions[size_t(c)]);
}
QString caption(ContainerColumn c)
{
    return QLatin1String(ContainerCaptions[size_t(c)]);
}

bool ReadContext::tick(qint64 fileLine, qint64 bytesRead)
{
    if (fileLine % 200 != 0)
        return true;
    if (progress)
        progress(bytesRead, size);
    if (cancelled && cancelled()) {
        Problem p;
        p.failure = Failure(ErrorNumber::Cancelled, QLatin1String(CancelledText));
        p.cancelled = true;
        m_problems.raise(p);
        return false;
    }
    return true;
}

QString Layout::fileName(const QString &vessel, const QString &voyage) const
{
    return Format::igmFileName(vessel, voyage);
}

void Layout::prepare(Manifest &m) const
{
    for (Bill &l : m.bills)
        l.houses.clear();
    const qint64 n = numberLines(m);
    for (VoyageHeader &h : m.headers)
        h[VoyageColumn::TotalItems] = n;
}

Status writeManifest(const Layout &layout, const Manifest &m, QIODevice &out, const WriteOptions &options,
                     QStringList *notices)
{
    Manifest filed = m;
    layout.prepare(filed);
    auto w = layout.writer(out, options, notices);
    if (!replay(filed, *w) && w->status())
        return Failure(ErrorNumber::InvalidArgument, QStringLiteral("The manifest could not be written."));
    return w->status();
}

QString Layout::label(VoyageColumn c) const
{
    return igm::caption(c);
}
QString Layout::label(BillColumn c) const
{
    return igm::caption(c);
}
QString Layout::label(ContainerColumn c) const
{
    return igm::caption(c);
}

void Layout::checkHeader(const VoyageHeader &, const VesselMaster &, Problems &) const {}

} // namespace quarl::igm
