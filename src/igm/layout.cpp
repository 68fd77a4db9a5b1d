#include "igm/layout.h"

#include "core/installation.h"
#include "core/settings.h"
#include "igm/igmformat.h"
#include "igm/igmmessages.h"
#include "igm/linereader.h"
#include "igm/samlayout.h"

#include <QFile>

#include <algorithm>

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
static_assert(std::size(VesselCaptions) == size_t(V::Count));

constexpr const char *LineCaptions[] = {
    "key", "vessel code", "voyage number", "line number", "sub-line number", "B/L number", "B/L date",
    "house B/L number", "house B/L date", "port of loading", "port of destination", "importer name",
    "importer address", "importer address", "importer address", "notify party", "notify address",
    "notify address", "notify address", "nature of cargo", "item type", "cargo movement", "CFS / discharge code",
    "number of packages", "type of packages", "gross weight", "unit of weight", "gross volume", "unit of volume",
    "marks and numbers", "description of goods", "UNO code", "IMO class", "transit bond number", "carrier code",
    "mode of transport", "MLO code"};
static_assert(std::size(LineCaptions) == size_t(L::Count));

constexpr const char *ContainerCaptions[] = {"key", "line", "line number", "sub-line number", "container number",
                                             "seal number", "container agent code", "container status", "packages",
                                             "container weight", "ISO size/type", "SOC flag"};
static_assert(std::size(ContainerCaptions) == size_t(K::Count));

std::vector<const Layout *> &registered()
{
    static std::vector<const Layout *> list;
    return list;
}

} // namespace

const char *captionText(V c)
{
    return VesselCaptions[size_t(c)];
}
const char *captionText(L c)
{
    return LineCaptions[size_t(c)];
}
const char *captionText(K c)
{
    return ContainerCaptions[size_t(c)];
}

QString caption(V c)
{
    return QLatin1String(VesselCaptions[size_t(c)]);
}
QString caption(L c)
{
    return QLatin1String(LineCaptions[size_t(c)]);
}
QString caption(K c)
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
    // a layout without house lines files each as a line of its own
    std::vector<Line> flat;
    bool houses = false;
    for (const Line &l : m.lines)
        houses = houses || !l.houses.empty();
    if (houses) {
        flat.reserve(size_t(m.lineCount()));
        for (Line &l : m.lines) {
            std::vector<Line> under = std::move(l.houses);
            l.houses.clear();
            flat.push_back(std::move(l));
            for (Line &h : under)
                flat.push_back(std::move(h));
        }
        m.lines = std::move(flat);
    }
    const qint64 n = numberLines(m);
    for (VesselRow &h : m.headers)
        h[V::TotalItems] = n;
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

QString Layout::label(V c) const
{
    return igm::caption(c);
}
QString Layout::label(L c) const
{
    return igm::caption(c);
}
QString Layout::label(K c) const
{
    return igm::caption(c);
}

void Layout::checkHeader(const VesselRow &, const VesselMaster &, Problems &) const {}

Layout::Registration::Registration(const Layout &layout) : m_layout(&layout)
{
    registered().push_back(m_layout);
}

Layout::Registration::~Registration()
{
    auto &list = registered();
    list.erase(std::remove(list.begin(), list.end(), m_layout), list.end());
}

QList<const Layout *> layouts()
{
    // A new layout: its file, and one line here.
    QList<const Layout *> out{&olderLayout(), &ices15Layout(), &samLayout()};
    for (const Layout *l : registered())
        out << l;
    return out;
}

const Layout *layoutNamed(const QString &name)
{
    const QString n = name.trimmed();
    if (n.isEmpty())
        return &olderLayout();
    for (const Layout *l : layouts()) {
        if (l->name().compare(n, Qt::CaseInsensitive) == 0)
            return l;
        for (const QString &other : l->otherNames()) {
            if (other.compare(n, Qt::CaseInsensitive) == 0)
                return l;
        }
    }
    return nullptr;
}

QString layoutNames()
{
    QStringList names;
    for (const Layout *l : layouts())
        names << l->name();
    return names.join(QStringLiteral(", "));
}

Recognised recogniseLine(const QByteArray &firstLine)
{
    QByteArray line = firstLine;
    if (line.startsWith("\xEF\xBB\xBF"))
        line.remove(0, 3);
    Recognised r;
    const Layout *fallback = nullptr;
    for (const Layout *l : layouts()) {
        QString version;
        switch (l->recognise(line, &version)) {
        case Layout::Recognition::Yes:
            r.layout = l;
            r.header = false;
            return r;
        case Layout::Recognition::OtherVersion:
            r.header = true;
            r.version = version;
            break;
        case Layout::Recognition::No:
            break;
        }
        if (!fallback && l->readsHeaderlessFiles())
            fallback = l;
    }
    if (!r.header)
        r.layout = fallback;
    return r;
}

Recognised recogniseFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return recogniseLine({}); // the reader then says why it cannot open it
    LineReader reader(&file, 64 * 1024);
    QByteArray line;
    while (reader.next(&line) == LineReader::Result::Line) {
        if (!line.trimmed().isEmpty())
            return recogniseLine(line);
    }
    return recogniseLine({});
}

QString unknownLayoutMessage(const QString &path, const Recognised &r)
{
    if (r.header)
        return QStringLiteral("%1 is not an IGM file this program reads: its header names the version \"%2\", which "
                              "no layout of this program (%3) has.")
            .arg(path, r.version, layoutNames());
    return QStringLiteral("%1 is not a manifest file of a layout this program reads (%2).").arg(path, layoutNames());
}

Result<const Layout *> settingsLayout()
{
    const QString name = Settings::igmLayout();
    const Layout *l = layoutNamed(name);
    if (!l)
        return Failure(ErrorNumber::InvalidArgument,
                       QStringLiteral("The IGM layout \"%1\" of the settings is not known: choose one in System "
                                      "Parameters.")
                           .arg(name));
    return l;
}

Result<WriteOptions> settingsWriteOptions(const Layout &layout)
{
    WriteOptions o;
    o.iceGateUser = Settings::iceGateUser();
    o.customHouseCode = Settings::customHouseCode();
    if (layout.needsTestIndicator())
        o.testOrProduction = Settings::igmTestIndicator();
    if (layout.needsControlNumber()) {
        o.controlNumber = Settings::takeIgmControlNumber();
        if (o.controlNumber.isEmpty())
            return Failure(ErrorNumber::PathFileAccess,
                           QStringLiteral("Cannot keep the next control number in the settings file %1.")
                               .arg(Installation::filePath(QLatin1String(Installation::SettingsFileName))));
    }
    return o;
}

} // namespace quarl::igm
