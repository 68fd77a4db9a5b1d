// The older flat-file layout of message SACHI01: header "HREC**,ZZ,...", the line
// "IGMID/" + file name, "<manifest>2.0", vessel records of 29 fields, cargo records of 39
// (35 from installations older than the transit fields), container records of 15; every
// field, the last included, followed by GS; trailer "TREC**".
#include "flatfile/flatfile.h"
#include "flatfile/flatlayouts.h"
#include "manifest/fileerror.h"
#include "manifest/igmmessages.h"

#include <QHash>
#include <QIODevice>


namespace quarl::igm {

namespace {

using namespace Format;
using Flat::Field;
using Kind = Format::Kind;

constexpr int VesselFieldCount = 29;
constexpr int CargoFieldCount = 39;
constexpr int OlderCargoFieldCount = 35; // before tpregno .. mlo
constexpr int ContainerFieldCount = 15;

// The fields that fill a column; the others are constants or empty.
const Field<VoyageColumn> VesselTable[] = {
    {4, VoyageColumn::Name},        {5, VoyageColumn::Code},        {6, VoyageColumn::Voyage},       {7, VoyageColumn::LineCode},    {8, VoyageColumn::AgentCode},
    {9, VoyageColumn::Master},      {10, VoyageColumn::Nation},     {11, VoyageColumn::PortArrival}, {12, VoyageColumn::LastPort},   {13, VoyageColumn::LastPort1},
    {14, VoyageColumn::LastPort2},  {15, VoyageColumn::Grt, Kind::Number}, {16, VoyageColumn::Nrt, Kind::Number}, {17, VoyageColumn::Type},
    {18, VoyageColumn::TotalItems, Kind::Total},         {19, VoyageColumn::CargoDescription}, {22, VoyageColumn::LightDues, Kind::Number},
    {23, VoyageColumn::SameBottom}, {24, VoyageColumn::ShipStores}, {25, VoyageColumn::CrewList},    {26, VoyageColumn::PassengerList},
    {27, VoyageColumn::CrewEffects}, {28, VoyageColumn::MaritimeDeclaration}, {29, VoyageColumn::TerminalOp},
};

const Field<BillColumn> CargoTable[] = {
    {2, BillColumn::Vessel},       {3, BillColumn::Voyage},       {6, BillColumn::LineNo, Kind::Count}, {8, BillColumn::BlNo},
    {9, BillColumn::BlDate, Kind::Date}, {10, BillColumn::PortLoad}, {11, BillColumn::PortDest}, {14, BillColumn::ImpName},
    {15, BillColumn::ImpAdd1},     {16, BillColumn::ImpAdd2},     {17, BillColumn::ImpAdd3},    {18, BillColumn::NotName},      {19, BillColumn::NotAdd1},
    {20, BillColumn::NotAdd2},     {21, BillColumn::NotAdd3},     {22, BillColumn::Nature},     {23, BillColumn::ItemType},     {24, BillColumn::Movement},
    {25, BillColumn::DestCode},    {26, BillColumn::Pkgs, Kind::Count}, {27, BillColumn::PkgType}, {28, BillColumn::GrossWt, Kind::Weight},
    {29, BillColumn::UnitWt},      {30, BillColumn::Volume, Kind::Number}, {31, BillColumn::UnitVol}, {32, BillColumn::Marks},     {33, BillColumn::Description},
    {34, BillColumn::UnoCode},     {35, BillColumn::ImoCode},     {36, BillColumn::BondNo, Kind::Number}, {37, BillColumn::CarrierCode},
    {38, BillColumn::Mode},        {39, BillColumn::Mlo},
};

const Field<ContainerColumn> ContainerTable[] = {
    {6, ContainerColumn::LineNo, Kind::Count}, {7, ContainerColumn::SubLineNo, Kind::Count}, {8, ContainerColumn::Number}, {9, ContainerColumn::Seal}, {10, ContainerColumn::Agent},
    {11, ContainerColumn::Status},      {12, ContainerColumn::Pkgs, Kind::Count}, {13, ContainerColumn::Weight, Kind::Weight}, {14, ContainerColumn::Iso}, {15, ContainerColumn::Soc},
};

const char *const Markers[] = {VesselStart, VesselEnd, CargoStart, CargoEnd, ContainerStart, ContainerEnd,
                               ManifestEnd, Trailer};

bool isMarker(const QByteArray &line)
{
    for (const char *m : Markers) {
        if (line == m)
            return true;
    }
    return false;
}

// A comma-delimited item without the double quotes around it.
QByteArray unquoted(const QByteArray &item)
{
    if (item.size() >= 2 && item.startsWith('"') && item.endsWith('"'))
        return item.mid(1, item.size() - 2);
    return item;
}

class OlderLayout : public Flat::TableLayout
{
public:
    OlderLayout() : TableLayout(VesselTable, CargoTable, ContainerTable) {}
    QString name() const override { return QStringLiteral("older"); }
    QString caption() const override { return QStringLiteral("Older layout (HREC**)"); }
    Recognition recognise(const QByteArray &firstLine, QString *) const override
    {
        return firstLine.startsWith("HREC**") ? Recognition::Yes : Recognition::No;
    }
    bool readsHeaderlessFiles() const override { return true; }
    int keyGap() const override { return 1; }
    bool limitsAreErrors() const override { return false; }
    bool read(QIODevice &in, ManifestSink &sink, ReadContext &cx) const override;
    std::unique_ptr<ManifestWriter> writer(QIODevice &out, const WriteOptions &o, QStringList *notices) const override;
};

// --- reading ---------------------------------------------------------------------------

class Reader : private Flat::RecordReader
{
public:
    Reader(QIODevice &in, ManifestSink &sink, ReadContext &cx) : RecordReader(in, sink, cx) {}
    bool run();

private:
    enum class State { Preamble, Vessels, BeforeCargo, Cargo, BeforeContainers, Containers, BeforeEnd, AfterEnd };

    bool misplaced(const QByteArray &line, const char *expected)
    {
        return lineError(QStringLiteral("holds \"%1\" where the line %2 belongs.").arg(Flat::shown(line), QLatin1String(expected)),
                         QStringLiteral("%1 where %2 belongs.").arg(Flat::shown(line), QLatin1String(expected)));
    }
    bool preamble(const QByteArray &line);
    // A marker met where another belongs: raised; when checking, the reading goes on from it.
    bool marker(const QByteArray &line, const char *expected);
    bool enter(const QByteArray &marker);
    bool fields(const QByteArray &raw, int count, Section section, QStringList *f);
    bool vessel(const QByteArray &raw);
    bool deliverHeaders();
    bool cargo(const QByteArray &raw);
    bool container(const QByteArray &raw);
    bool sameVoyage(const QStringList &f, Section section, QVariant *vessel, QVariant *voyage);
    const char *expected() const;

    State m_state = State::Preamble;
    bool m_first = true;
    int m_preambleTag = 0; // "IGMID/", "<manifest>2.0" seen in order, for the check
    bool m_trailer = false;
    bool m_headersDelivered = false;
    std::vector<VoyageHeader> m_headers;
    VesselMaster m_master;
    QString m_vessel; // of the first vessel record: every record must name these
    QString m_voyage;
};

const char *Reader::expected() const
{
    switch (m_state) {
    case State::Preamble: return VesselStart;
    case State::Vessels: return VesselEnd;
    case State::BeforeCargo: return CargoStart;
    case State::Cargo: return CargoEnd;
    case State::BeforeContainers: return ContainerStart;
    case State::Containers: return ContainerEnd;
    case State::BeforeEnd: return ManifestEnd;
    case State::AfterEnd: return Trailer;
    }
    return "";
}

bool Reader::preamble(const QByteArray &line)
{
    // The lines before the vessel section are not read, but no part of the manifest may
    // stand there; the check holds them to the layout.
    const bool first = m_first;
    m_first = false;
    if (first) {
        if (!line.startsWith("HREC**"))
            m_cx.note(Flat::layoutProblem(n(), QString(), QStringLiteral("The file does not begin with a header line HREC."),
                                          QStringLiteral("header")));
        else if (!line.contains("SACHI01"))
            m_cx.note(Flat::layoutProblem(n(), QString(), QStringLiteral("The header does not name the message SACHI01."),
                                          QStringLiteral("header")));
    }
    if (unquoted(line) == VesselStart) {
        if (m_preambleTag < 2)
            m_cx.note(Flat::layoutProblem(n(), QString(),
                                          QStringLiteral("%1 where %2 belongs.")
                                              .arg(QLatin1String(VesselStart),
                                                   QLatin1String(m_preambleTag == 0 ? IgmIdPrefix : ManifestStart))));
        m_state = State::Vessels;
        return true;
    }
    if (isMarker(line) || line.contains(FieldSeparator)) {
        if (!lineError(QStringLiteral("holds \"%1\" before the line %2.").arg(Flat::shown(line), QLatin1String(VesselStart)),
                       QStringLiteral("\"%1\" before %2.").arg(Flat::shown(line), QLatin1String(VesselStart))))
            return false;
        return isMarker(line) ? enter(line) : true;
    }
    if (first && line.startsWith("HREC**"))
        return true;
    if (m_preambleTag == 0 && line.startsWith(IgmIdPrefix)) {
        m_preambleTag = 1;
    } else if (m_preambleTag <= 1 && line.trimmed().compare(ManifestStart, Qt::CaseInsensitive) == 0) {
        if (m_preambleTag == 0)
            m_cx.note(Flat::layoutProblem(n(), QString(), QStringLiteral("%1 where %2 belongs.")
                                                              .arg(Flat::shown(line), QLatin1String(IgmIdPrefix))));
        m_preambleTag = 2;
    } else if (!first) {
        m_cx.note(Flat::layoutProblem(n(), QString(), QStringLiteral("A line outside the sections (%1 belongs here).")
                                                          .arg(QLatin1String(m_preambleTag == 0 ? IgmIdPrefix
                                                                             : m_preambleTag == 1 ? ManifestStart
                                                                                                  : VesselStart))));
    }
    return true;
}

bool Reader::enter(const QByteArray &marker)
{
    // when checking, the reading goes on from a misplaced marker as if it stood right
    if (m_state == State::Vessels || m_state == State::Preamble) {
        if (!deliverHeaders())
            return false;
    }
    if (marker == VesselStart)
        m_state = State::Vessels;
    else if (marker == VesselEnd || marker == CargoStart)
        m_state = marker == VesselEnd ? State::BeforeCargo : State::Cargo;
    else if (marker == CargoEnd)
        m_state = State::BeforeContainers;
    else if (marker == ContainerStart)
        m_state = State::Containers;
    else if (marker == ContainerEnd)
        m_state = State::BeforeEnd;
    else if (marker == ManifestEnd)
        m_state = State::AfterEnd;
    else if (marker == Trailer) {
        m_state = State::AfterEnd;
        m_trailer = true;
    }
    return true;
}

bool Reader::marker(const QByteArray &line, const char *expectedMarker)
{
    if (!misplaced(line, expectedMarker))
        return false;
    return enter(line);
}

bool Reader::fields(const QByteArray &raw, int count, Section section, QStringList *f)
{
    Flat::characters(raw, section, n(), m_cx);
    const char *what = section == Section::Vessel ? "vessel" : section == Section::Cargo ? "cargo" : "container";
    if (!splitFields(decodeLine(raw), f)) {
        lineError(QStringLiteral("holds more than %1 fields.").arg(MaxFields),
                  QStringLiteral("More than %1 fields.").arg(MaxFields));
        return false;
    }
    if (m_cx.checking() && !raw.endsWith(FieldSeparator)) {
        Problem p = Flat::layoutProblem(n(), QString(),
                                        QStringLiteral("The older layout ends every field with the separator; this line "
                                                       "does not."));
        p.severity = Problem::Severity::Warning;
        m_cx.note(p);
    }
    // Older files end a record with one empty field more.
    if (f->size() == count + 1 && f->last().isEmpty())
        f->removeLast();
    const qsizetype got = f->size();
    if (got != count && !(section == Section::Cargo && got == OlderCargoFieldCount)) {
        lineError(QStringLiteral("holds %1 fields where its section's records have %2: a line break or a separator is "
                                 "missing or too many.")
                      .arg(got)
                      .arg(count),
                  QStringLiteral("%1 fields; a %2 record has %3.").arg(got).arg(QLatin1String(what)).arg(count));
        return false;
    }
    if (f->at(0) != QLatin1String("V")) {
        lineError(QStringLiteral("does not begin with the field V: it is not a record of its section."),
                  QStringLiteral("\"%1\" where the message type V belongs: the line is not a record of its section.")
                      .arg(f->at(0)),
                  Flat::fieldLabel(section, 1, QStringLiteral("message type")));
        return false;
    }
    while (f->size() < count)
        f->append(QString());
    return true;
}

bool Reader::vessel(const QByteArray &raw)
{
    QStringList f;
    if (!fields(unquoted(raw), VesselFieldCount, Section::Vessel, &f))
        return m_cx.checking();
    if (m_headers.empty()) {
        m_vessel = f.at(4);
        m_voyage = f.at(5);
        if (m_vessel.trimmed().isEmpty() || m_voyage.trimmed().isEmpty()) {
            if (!lineError(QStringLiteral("is a vessel record without a vessel code or a voyage number."),
                           QStringLiteral("No vessel code or no voyage number."),
                           Flat::fieldLabel(Section::Vessel, m_vessel.trimmed().isEmpty() ? 5 : 6,
                                            m_vessel.trimmed().isEmpty() ? QStringLiteral("vessel code")
                                                                         : QStringLiteral("voyage number"))))
                return false;
        }
    } else if (f.at(4) != m_vessel || f.at(5) != m_voyage) {
        if (!lineError(QStringLiteral("is a vessel record of %1 / %2, another voyage than %3 / %4.")
                           .arg(f.at(4), f.at(5), m_vessel, m_voyage),
                       QStringLiteral("A vessel record of %1 / %2, another voyage than %3 / %4.")
                           .arg(f.at(4), f.at(5), m_vessel, m_voyage)))
            return false;
    }
    VoyageHeader v;
    v.fileLine = n();
    if (!Flat::takeAll<VoyageColumn>(VesselTable, f, v, n(), m_cx))
        return false;
    if (m_headers.empty()) {
        m_master.code = f.at(4);
        m_master.name = v[VoyageColumn::Name];
        m_master.nation = v[VoyageColumn::Nation];
        m_master.grt = v[VoyageColumn::Grt];
        m_master.nrt = v[VoyageColumn::Nrt];
    }
    m_headers.push_back(std::move(v));
    return true;
}

bool Reader::deliverHeaders()
{
    if (m_headersDelivered)
        return true;
    m_headersDelivered = true;
    if (m_headers.empty()) {
        Problem p;
        p.failure = Failure(ErrorNumber::BadFileFormat, QStringLiteral("The file holds no vessel record."));
        if (!m_cx.raise(p))
            return false;
    }
    return m_sink.headers(std::move(m_headers), std::move(m_master));
}

bool Reader::sameVoyage(const QStringList &f, Section section, QVariant *vessel, QVariant *voyage)
{
    *vessel = f.at(1);
    *voyage = f.at(2);
    if (f.at(1) == m_vessel && f.at(2) == m_voyage)
        return true;
    Problem p;
    p.failure = Failure(ErrorNumber::BadFileFormat,
                        QStringLiteral("Line %1 of the file belongs to %2 / %3, not to the vessel record's %4 / %5.")
                            .arg(QString::number(n()), f.at(1), f.at(2), m_vessel, m_voyage));
    p.section = section;
    p.column = Flat::schemaName(section == Section::Cargo ? Table::Cargo : Table::Container, "vslcode");
    p.fileLine = n();
    p.field = Flat::fieldLabel(section, f.at(1) != m_vessel ? 2 : 3,
                               f.at(1) != m_vessel ? QStringLiteral("vessel code") : QStringLiteral("voyage number"));
    p.text = QStringLiteral("The record belongs to %1 / %2, not to the vessel record's %3 / %4.")
                 .arg(f.at(1), f.at(2), m_vessel, m_voyage);
    if (section == Section::Cargo)
        p.blNo = f.value(7);
    return m_cx.raise(p);
}

bool Reader::cargo(const QByteArray &raw)
{
    QStringList f;
    if (!fields(raw, CargoFieldCount, Section::Cargo, &f))
        return m_cx.checking();
    Bill &line = newBill();
    if (!sameVoyage(f, Section::Cargo, &line.fileVessel, &line.fileVoyage))
        return false;
    return deliverBill(CargoTable, f, 7, f.at(7));
}

bool Reader::container(const QByteArray &raw)
{
    QStringList f;
    if (!fields(raw, ContainerFieldCount, Section::Container, &f))
        return m_cx.checking();
    Container &c = newContainer();
    if (!sameVoyage(f, Section::Container, &c.fileVessel, &c.fileVoyage))
        return false;
    return deliverContainer(ContainerTable, f);
}

bool Reader::run()
{
    QByteArray line;
    for (;;) {
        switch (m_lines.next(&line)) {
        case Flat::Lines::Next::Stop:
            return false;
        case Flat::Lines::Next::End:
            if (m_state == State::AfterEnd) {
                if (!m_trailer)
                    m_cx.note(Flat::layoutProblem(0, QString(), QStringLiteral("The file has no trailer."),
                                                  QStringLiteral("trailer")));
                return m_sink.end();
            }
            if (m_state == State::Preamble || m_state == State::Vessels) {
                if (!m_lines.endsBefore(expected()))
                    return false;
                if (!deliverHeaders())
                    return false;
                return m_sink.end();
            }
            if (!m_lines.endsBefore(expected()))
                return false;
            return m_sink.end();
        case Flat::Lines::Next::Line:
            break;
        }
        if (line.contains('\0')) {
            if (!binaryLine())
                return false;
            continue;
        }
        if (Flat::isBlank(line)) {
            if (m_cx.checking() && m_state != State::AfterEnd) {
                Problem p;
                p.severity = Problem::Severity::Warning;
                p.fileLine = n();
                p.text = QStringLiteral("Empty line.");
                m_cx.note(p);
            }
            continue;
        }
        bool ok = true;
        switch (m_state) {
        case State::Preamble:
            ok = preamble(line);
            break;
        case State::Vessels:
            if (line == VesselEnd)
                ok = enter(line);
            else if (isMarker(line))
                ok = marker(line, VesselEnd);
            else
                ok = vessel(line);
            break;
        case State::BeforeCargo:
        case State::BeforeContainers:
        case State::BeforeEnd: {
            const char *want = expected();
            if (line == want)
                ok = enter(line);
            else if (isMarker(line))
                ok = marker(line, want);
            else
                ok = misplaced(line, want); // a record outside the sections
            break;
        }
        case State::Cargo:
            if (line == CargoEnd)
                ok = enter(line);
            else if (isMarker(line))
                ok = marker(line, CargoEnd);
            else
                ok = cargo(line);
            break;
        case State::Containers:
            if (line == ContainerEnd)
                ok = enter(line);
            else if (isMarker(line))
                ok = marker(line, ContainerEnd);
            else
                ok = container(line);
            break;
        case State::AfterEnd:
            if (line == Trailer && !m_trailer) {
                m_trailer = true;
            } else {
                ok = lineError(QStringLiteral("holds \"%1\" after the end of the manifest: the file holds more than one "
                                              "manifest or is damaged.")
                                   .arg(Flat::shown(line)),
                               QStringLiteral("\"%1\" after the end of the manifest.").arg(Flat::shown(line)));
            }
            break;
        }
        if (!ok)
            return false;
    }
}

bool OlderLayout::read(QIODevice &in, ManifestSink &sink, ReadContext &cx) const
{
    return Reader(in, sink, cx).run();
}

// --- writing ---------------------------------------------------------------------------

// The record a field belongs to, named only when a notice needs it: "B/L MSCU1234".
struct Whose
{
    const char *kind = nullptr; // none: the voyage header
    const QVariant *name = nullptr;
};

class Writer
{
public:
    Writer(QByteArray &buf, QStringList *notices) : m_buf(buf), m_notices(notices) {}

    void field(const char *constant)
    {
        m_buf += constant;
        m_buf += FieldSeparator;
    }
    void empty() { m_buf += FieldSeparator; }
    // whose, what: the record and the field, named in the notice when a text is shortened
    void value(const QVariant &v, qsizetype width, const Whose &whose = {}, const char *what = nullptr)
    {
        if (appendValue(m_buf, v, width))
            shortened(whose, what);
        m_buf += FieldSeparator;
    }
    void trimmed(const QVariant &v, qsizetype width, const Whose &whose, const char *what)
    {
        const bool shorter = v.metaType().id() == QMetaType::QByteArray
                                 ? appendUtf8(m_buf, *static_cast<const QByteArray *>(v.constData()), width, true)
                                 : !v.isNull() && appendText(m_buf, trimTrailing(v.toString()), width);
        if (shorter)
            shortened(whose, what);
        m_buf += FieldSeparator;
    }
    void number(qint64 n)
    {
        appendInteger(m_buf, n);
        m_buf += FieldSeparator;
    }
    void date(const QDate &d)
    {
        appendDate(m_buf, d);
        m_buf += FieldSeparator;
    }
    void endRecord() { m_buf += LineEnd; }
    void report() const
    {
        if (!m_shortened.isEmpty())
            m_notices->append(QStringLiteral("Letters spelled out in two (such as \u00df as ss) did not fit their "
                                             "columns and were written one letter each: %1.")
                                  .arg(m_shortened.join(QStringLiteral(", "))));
    }

private:
    void shortened(const Whose &whose, const char *what)
    {
        m_shortened << (whose.kind ? QStringLiteral("%1 %2 %3").arg(QLatin1String(whose.kind), whose.name->toString(),
                                                                     QLatin1String(what))
                                   : QStringLiteral("voyage header %1").arg(QLatin1String(what)));
    }
    QByteArray &m_buf;
    QStringList *m_notices;
    QStringList m_shortened;
};

class OlderWriter : public Flat::RecordWriter
{
public:
    OlderWriter(QIODevice &out, const WriteOptions &o, QStringList *notices)
        : RecordWriter(out, o, notices), m_w(m_buf, notices)
    {
    }

    bool headers(std::vector<VoyageHeader> &&headers, VesselMaster &&) override
    {
        QByteArray &b = m_buf;
        b += headerLine(trimTrailing(m_o.iceGateUser), trimTrailing(m_o.customHouseCode));
        b += LineEnd;
        b += IgmIdPrefix;
        appendText(b, m_o.fileName);
        b += LineEnd;
        tagLine(ManifestStart);
        tagLine(VesselStart);
        for (const VoyageHeader &v : headers) {
            m_total = v[VoyageColumn::TotalItems].toLongLong();
            m_w.field("V");
            m_w.empty();
            m_w.empty();
            for (const Field<VoyageColumn> &f : VesselTable) {
                if (f.number > 19)
                    break;
                m_w.value(v[f.column], Flat::width(f.column), {}, captionText(f.column));
            }
            m_w.empty(); // arrival date and time are not written
            m_w.empty();
            for (const Field<VoyageColumn> &f : VesselTable) {
                if (f.number > 21)
                    m_w.value(v[f.column], Flat::width(f.column), {}, captionText(f.column));
            }
            m_w.endRecord();
        }
        tagLine(VesselEnd);
        tagLine(CargoStart);
        return true;
    }

    bool bill(Bill &&l) override
    {
        if (!startBill(l))
            return false;
        if (m_lines == 1) {
            // the head of the container records: every line of the voyage has the same
            QByteArray &b = m_buf;
            const qsizetype start = b.size();
            m_w.field("V");
            m_w.value(l[BillColumn::Vessel], Flat::width(BillColumn::Vessel));
            m_w.value(l[BillColumn::Voyage], Flat::width(BillColumn::Voyage));
            m_w.empty();
            m_w.empty();
            m_head = b.mid(start);
            b.truncate(start);
        }
        m_w.field("V");
        m_w.value(l[BillColumn::Vessel], Flat::width(BillColumn::Vessel));
        m_w.value(l[BillColumn::Voyage], Flat::width(BillColumn::Voyage));
        m_w.empty();
        m_w.empty();
        m_w.number(l[BillColumn::LineNo].toLongLong());
        m_w.field("0");
        const Whose whose{"B/L", &l[BillColumn::BlNo]};
        m_w.value(l[BillColumn::BlNo], Flat::width(BillColumn::BlNo), whose, "B/L number");
        m_w.date(l.date(BillColumn::BlDate));
        m_w.value(l[BillColumn::PortLoad], Flat::width(BillColumn::PortLoad));
        m_w.value(l[BillColumn::PortDest], Flat::width(BillColumn::PortDest));
        m_w.empty();
        m_w.empty();
        const bool noVolume = numericValue(l[BillColumn::Volume]) == 0;
        for (const Field<BillColumn> &f : CargoTable) {
            if (f.number < 14)
                continue;
            const char *what = captionText(f.column);
            switch (f.column) {
            case BillColumn::Volume:
            case BillColumn::UnitVol:
                if (noVolume)
                    m_w.empty();
                else
                    m_w.value(l[f.column], Flat::width(f.column), whose, what);
                break;
            case BillColumn::BondNo:
                if (numericValue(l[f.column]) == 0)
                    m_w.empty();
                else
                    m_w.value(l[f.column], 0);
                break;
            case BillColumn::CarrierCode:
            case BillColumn::Mode:
            case BillColumn::Mlo:
                m_w.trimmed(l[f.column], Flat::width(f.column), whose, what);
                break;
            default:
                m_w.value(l[f.column], Flat::width(f.column), whose, what);
                break;
            }
        }
        m_w.endRecord();
        return billWritten();
    }

    bool container(Container &&c) override
    {
        endLines();
        m_buf += m_head;
        m_w.number(c[ContainerColumn::LineNo].toLongLong());
        m_w.field("0");
        const Whose whose{"container", &c[ContainerColumn::Number]};
        for (const Field<ContainerColumn> &f : ContainerTable) {
            if (f.number < 8)
                continue;
            if ((f.column == ContainerColumn::Pkgs || f.column == ContainerColumn::Weight) && numericValue(c[f.column]) == 0)
                m_w.empty();
            else
                m_w.value(c[f.column], Flat::width(f.column), whose, captionText(f.column));
        }
        m_w.endRecord();
        ++m_containers;
        return flush(false);
    }

    bool end() override
    {
        endLines();
        if (m_containers == 0)
            m_notices->append(QLatin1String(Messages::NoContainers));
        tagLine(ContainerEnd);
        tagLine(ManifestEnd);
        tagLine(Trailer);
        m_w.report();
        return flush(true);
    }

private:
    Writer m_w;
    QByteArray m_head;
};

std::unique_ptr<ManifestWriter> OlderLayout::writer(QIODevice &out, const WriteOptions &o, QStringList *notices) const
{
    return std::make_unique<OlderWriter>(out, o, notices);
}

} // namespace

const Layout &olderLayout()
{
    static const OlderLayout layout;
    return layout;
}

} // namespace quarl::igm
