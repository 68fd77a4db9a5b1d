// Today's flat-file layout, version ICES1_5 of message SACHI01: header HREC with 12 fields,
// "<manifest>", one vessel record of 26 fields, cargo records of 41, container records of
// 17, each starting with the message type, custom house code and IMO number; fields
// separated by GS with none after the last; trailer TREC + the header's control number;
// a signed file's signature lines after it.
#include "core/placeholders.h"
#include "flatfile/flatfile.h"
#include "flatfile/flatlayouts.h"
#include "manifest/fileerror.h"
#include "manifest/igmmessages.h"

#include <QIODevice>
#include <QTime>


namespace quarl::igm {

namespace {

using namespace Format;
using Flat::Field;
using Kind = Format::Kind;

constexpr char Version[] = "ICES1_5";
constexpr char MessageId[] = "SACHI01";
constexpr char Start[] = "<manifest>";
constexpr char Header[] = "HREC";
constexpr char TrailerTag[] = "TREC";
constexpr char EmptyStatus[] = "EMP"; // the gateway's code for an empty container; ours is MTY
constexpr char OurEmptyStatus[] = "MTY";

constexpr int HeaderFieldCount = 12;
constexpr int VesselFieldCount = 26;
constexpr int CargoFieldCount = 41;
constexpr int ContainerFieldCount = 17;

// Fields 11 and 26 fill two columns each: the older column and the one "as filed".
const Field<VoyageColumn> VesselTable[] = {
    {3, VoyageColumn::IgmNo},        {4, VoyageColumn::IgmDate, Kind::OptionalDate}, {6, VoyageColumn::Code},       {7, VoyageColumn::Voyage},
    {8, VoyageColumn::LineCode},     {9, VoyageColumn::AgentCode},  {10, VoyageColumn::Master},     {11, VoyageColumn::PortArrival}, {11, VoyageColumn::ArrivalPortCode},
    {12, VoyageColumn::LastPort},    {13, VoyageColumn::LastPort1}, {14, VoyageColumn::LastPort2},  {15, VoyageColumn::Type},        {16, VoyageColumn::TotalItems, Kind::Total},
    {17, VoyageColumn::CargoDescription}, {19, VoyageColumn::LightDues, Kind::Number}, {20, VoyageColumn::SameBottom}, {21, VoyageColumn::ShipStores},
    {22, VoyageColumn::CrewList},    {23, VoyageColumn::PassengerList}, {24, VoyageColumn::CrewEffects}, {25, VoyageColumn::MaritimeDeclaration},
    {26, VoyageColumn::TerminalOp},  {26, VoyageColumn::TerminalCode},
};
constexpr int ImoField = 5;
constexpr int ArrivalField = 18;

const Field<BillColumn> CargoTable[] = {
    {4, BillColumn::Vessel},       {5, BillColumn::Voyage},       {8, BillColumn::LineNo, Kind::Count}, {10, BillColumn::BlNo},
    {11, BillColumn::BlDate, Kind::Date}, {12, BillColumn::PortLoad}, {13, BillColumn::PortDest}, {14, BillColumn::HblNo},
    {15, BillColumn::HblDate, Kind::OptionalDate}, {16, BillColumn::ImpName}, {17, BillColumn::ImpAdd1}, {18, BillColumn::ImpAdd2}, {19, BillColumn::ImpAdd3},
    {20, BillColumn::NotName},     {21, BillColumn::NotAdd1},     {22, BillColumn::NotAdd2},    {23, BillColumn::NotAdd3},     {24, BillColumn::Nature},
    {25, BillColumn::ItemType},    {26, BillColumn::Movement},    {27, BillColumn::DestCode},   {28, BillColumn::Pkgs, Kind::Count}, {29, BillColumn::PkgType},
    {30, BillColumn::GrossWt, Kind::Weight}, {31, BillColumn::UnitWt}, {32, BillColumn::Volume, Kind::Number}, {33, BillColumn::UnitVol},
    {34, BillColumn::Marks},       {35, BillColumn::Description}, {36, BillColumn::UnoCode},    {37, BillColumn::ImoCode},     {38, BillColumn::BondNo, Kind::Number},
    {39, BillColumn::CarrierCode}, {40, BillColumn::Mode},        {41, BillColumn::Mlo},
};

const Field<ContainerColumn> ContainerTable[] = {
    {8, ContainerColumn::LineNo, Kind::Count}, {9, ContainerColumn::SubLineNo, Kind::Count}, {10, ContainerColumn::Number}, {11, ContainerColumn::Seal}, {12, ContainerColumn::Agent},
    {13, ContainerColumn::Status},      {14, ContainerColumn::Pkgs, Kind::Count}, {15, ContainerColumn::Weight, Kind::Weight}, {16, ContainerColumn::Iso}, {17, ContainerColumn::Soc},
};

// The message types a record may start with.
bool knownType(const QString &type, Section section)
{
    if (type == QLatin1String("F") || type == QLatin1String("A") || type == QLatin1String("C"))
        return true;
    return section == Section::Container && type == QLatin1String("V");
}

// "DDMMYYYY HH:MM"; a missing time as 00:00.
QByteArray arrival(const QDate &date, const QString &time)
{
    QByteArray out;
    appendDate(out, date);
    out += ' ';
    const QString t = clockTime(time);
    out += t.isEmpty() ? QByteArray("00:00") : t.toLatin1();
    return out;
}

bool parseArrival(QStringView text, QDate *date, QString *time)
{
    if (text.size() != 14 || text.at(8) != QLatin1Char(' ') || text.at(11) != QLatin1Char(':'))
        return false;
    const QDate d = parseDate(text.left(8));
    const QString t = clockTime(text.mid(9).toString());
    if (!d.isValid() || t.isEmpty())
        return false;
    *date = d;
    *time = t;
    return true;
}

class Ices15Layout : public Flat::TableLayout
{
public:
    Ices15Layout() : TableLayout(VesselTable, CargoTable, ContainerTable) {}
    QString name() const override { return QStringLiteral("ices15"); }
    QStringList otherNames() const override { return {QStringLiteral("ices1_5"), QStringLiteral("ices 1.5")}; }
    QString caption() const override { return QStringLiteral("ICES 1.5"); }
    Recognition recognise(const QByteArray &line, QString *version) const override
    {
        if (!line.startsWith(Header) || line.startsWith("HREC**"))
            return Recognition::No;
        const QList<QByteArray> fields = line.split(FieldSeparator);
        const QByteArray named = fields.value(5).trimmed();
        if (version)
            *version = QString::fromLatin1(named);
        return fields.size() > 1 && named == Version ? Recognition::Yes : Recognition::OtherVersion;
    }
    bool needsControlNumber() const override { return true; }
    bool needsTestIndicator() const override { return true; }
    bool read(QIODevice &in, ManifestSink &sink, ReadContext &cx) const override;
    std::unique_ptr<ManifestWriter> writer(QIODevice &out, const WriteOptions &o, QStringList *notices) const override;
    QList<BillColumn> lineColumns() const override
    {
        return QList<BillColumn>{BillColumn::HblNo, BillColumn::HblDate} + TableLayout::lineColumns();
    }
    using TableLayout::label;
    QString label(VoyageColumn c) const override
    {
        if (c == VoyageColumn::ArrivalDate || c == VoyageColumn::ArrivalTime)
            return Flat::fieldLabel(Section::Vessel, ArrivalField, QStringLiteral("expected arrival"));
        return TableLayout::label(c);
    }
    void checkHeader(const VoyageHeader &v, const VesselMaster &master, Problems &problems) const override;
};

Problem headerProblem(const VoyageHeader &v, int field, const char *name, const QString &text)
{
    Problem p;
    p.fileLine = v.fileLine;
    p.field = Flat::fieldLabel(Section::Vessel, field, QLatin1String(name));
    p.text = text;
    p.failure = Failure(ErrorNumber::BadFileFormat, text);
    return p;
}

void Ices15Layout::checkHeader(const VoyageHeader &v, const VesselMaster &master, Problems &problems) const
{
    const QString imo = master.imo.toString().trimmed();
    if (imo.size() != 7 || !std::all_of(imo.begin(), imo.end(), [](QChar c) { return c.isDigit(); }))
        problems.raise(headerProblem(v, ImoField, "IMO number",
                                     imo.isEmpty() ? QStringLiteral("No IMO number.")
                                                   : QStringLiteral("\"%1\" is not a 7-digit IMO number.").arg(imo)));
    const QString port = portOfArrival(v);
    if (port.isEmpty())
        problems.raise(headerProblem(v, 11, "port of arrival", QStringLiteral("No port of arrival.")));
    else if (port.size() > 6)
        problems.raise(headerProblem(v, 11, "port of arrival",
                                     QStringLiteral("%1 characters, at most 6 allowed.").arg(port.size())));
    if (v.isNull(VoyageColumn::TotalItems))
        problems.raise(headerProblem(v, 16, "total number of lines", QStringLiteral("No total number of lines.")));
    if (!v.date(VoyageColumn::ArrivalDate).isValid())
        problems.raise(headerProblem(v, ArrivalField, "expected arrival",
                                     QStringLiteral("No expected date and time of arrival.")));
    const QString terminal = terminalOperator(v);
    if (terminal.isEmpty())
        problems.raise(headerProblem(v, 26, "terminal operator", QStringLiteral("No terminal operator code.")));
    else if (terminal.size() > 10)
        problems.raise(headerProblem(v, 26, "terminal operator",
                                     QStringLiteral("%1 characters, at most 10 allowed.").arg(terminal.size())));
    for (const VoyageColumn flag : {VoyageColumn::SameBottom, VoyageColumn::ShipStores, VoyageColumn::CrewList, VoyageColumn::PassengerList, VoyageColumn::CrewEffects,
                         VoyageColumn::MaritimeDeclaration}) {
        const QString f = v.text(flag).trimmed();
        if (!f.isEmpty() && f != QLatin1String("Y") && f != QLatin1String("N"))
            problems.raise(headerProblem(v, Flat::numberOf<VoyageColumn>(VesselTable, flag), "declaration",
                                         QStringLiteral("\"%1\" where Y or N belongs.").arg(f)));
    }
}

// --- reading ---------------------------------------------------------------------------

class Reader : private Flat::RecordReader
{
public:
    Reader(QIODevice &in, ManifestSink &sink, ReadContext &cx) : RecordReader(in, sink, cx) {}
    bool run();

private:
    // The next line that is not blank; at the end of the file the reading stops (raised).
    bool next(QByteArray *line, const char *expecting);
    bool isTag(const QByteArray &line, const char *tag) const
    {
        return line.trimmed().compare(tag, Qt::CaseInsensitive) == 0;
    }
    // The next line must be tag; a misplaced one is raised (and, when checking, read again
    // by what comes next).
    bool expect(const char *tag);
    bool header(const QByteArray &line);
    bool split(const QByteArray &raw, int count, Section section, QStringList *f);
    bool key(const QStringList &f, Section section, QVariant *vessel, QVariant *voyage, const QString &bill);
    bool vessel(const QByteArray &raw);
    bool cargo(const QByteArray &raw);
    bool container(const QByteArray &raw);
    bool trailer(const QByteArray &line);
    bool afterTrailer();

    QStringList m_header;
    QString m_control;
    QStringList m_key; // custom house, IMO, vessel code, voyage of the vessel record
    bool m_lfOnly = false;
    QByteArray m_pending;
    bool m_hasPending = false;
};

bool Reader::next(QByteArray *line, const char *expecting)
{
    if (m_hasPending) {
        m_hasPending = false;
        *line = m_pending;
        return true;
    }
    for (;;) {
        switch (m_lines.next(line)) {
        case Flat::Lines::Next::Stop:
            return false;
        case Flat::Lines::Next::End:
            m_lines.endsBefore(expecting);
            return false;
        case Flat::Lines::Next::Line:
            break;
        }
        if (line->contains('\0')) {
            if (!m_cx.raise(Flat::layoutProblem(n(), QStringLiteral("Line %1 holds binary data: this is not an IGM file.").arg(n()),
                                                QStringLiteral("The line holds binary data (character code 0)."))))
                return false;
            continue;
        }
        if (!m_lfOnly && m_lines.lastEnd() == TextLineReader::End::Lf) {
            m_lfOnly = true;
            Problem p = Flat::layoutProblem(n(), QString(), QStringLiteral("The line ends with LF alone; the file's lines end with CR LF."));
            p.severity = Problem::Severity::Warning;
            m_cx.note(p);
        }
        if (line->trimmed().isEmpty()) {
            Problem p = Flat::layoutProblem(n(), QString(), QStringLiteral("Empty line."));
            p.severity = Problem::Severity::Warning;
            m_cx.note(p);
            continue;
        }
        return true;
    }
}

bool Reader::expect(const char *tag)
{
    QByteArray line;
    if (!next(&line, tag))
        return false;
    if (isTag(line, tag))
        return true;
    if (!lineError(QStringLiteral("holds \"%1\" where the line %2 belongs.").arg(Flat::shown(line), QLatin1String(tag)),
                   QStringLiteral("%1 where %2 belongs.").arg(Flat::shown(line), QLatin1String(tag))))
        return false;
    m_pending = line; // when checking, read on as if the tag stood there
    m_hasPending = true;
    return true;
}

bool Reader::header(const QByteArray &line)
{
    m_header = QString::fromLatin1(line).split(QLatin1Char(FieldSeparator));
    const QString headerField = QStringLiteral("header");
    if (m_header.size() != HeaderFieldCount) {
        if (!m_cx.raise(Flat::layoutProblem(n(),
                                            QStringLiteral("The header (line %1 of the file) holds %2 fields; the header "
                                                           "of the ICES 1.5 layout has %3.")
                                                .arg(n())
                                                .arg(m_header.size())
                                                .arg(HeaderFieldCount),
                                            QStringLiteral("%1 fields; the header has %2.").arg(m_header.size()).arg(HeaderFieldCount),
                                            headerField)))
            return false;
    }
    while (m_header.size() < HeaderFieldCount)
        m_header << QString();
    m_control = m_header.at(9);
    if (!m_cx.checking())
        return true;
    auto field = [](int k, const char *name) { return Flat::fieldLabel(Section::General, k, QLatin1String(name)); };
    auto note = [&](int k, const char *name, const QString &text) {
        m_cx.note(Flat::layoutProblem(n(), QString(), text, field(k, name)));
    };
    const QStringList &f = m_header;
    if (f[1] != QLatin1String("ZZ"))
        note(2, "sender qualifier", QStringLiteral("\"%1\" where ZZ belongs.").arg(f[1]));
    if (f[2].trimmed().isEmpty())
        note(3, "sender", QStringLiteral("No sender (gateway user id)."));
    if (f[3] != QLatin1String("ZZ"))
        note(4, "receiver qualifier", QStringLiteral("\"%1\" where ZZ belongs.").arg(f[3]));
    if (f[4].size() != 6)
        note(5, "custom house", QStringLiteral("\"%1\" is not a 6-character custom house code.").arg(f[4]));
    if (f[6] != QLatin1String("T") && f[6] != QLatin1String("P"))
        note(7, "test or production", QStringLiteral("\"%1\" where T or P belongs.").arg(f[6]));
    if (!f[7].isEmpty())
        note(8, "empty", QStringLiteral("This field is always empty."));
    if (f[8] != QLatin1String(MessageId))
        note(9, "message", QStringLiteral("\"%1\" where SACHI01 belongs.").arg(f[8]));
    if (f[9].trimmed().isEmpty())
        note(10, "control number", QStringLiteral("No control number."));
    if (!QDate::fromString(f[10], QStringLiteral("yyyyMMdd")).isValid())
        note(11, "date", QStringLiteral("\"%1\" is not a date YYYYMMDD.").arg(f[10]));
    if (!QTime::fromString(f[11], QStringLiteral("HHmm")).isValid())
        note(12, "time", QStringLiteral("\"%1\" is not a time HHMM.").arg(f[11]));
    return true;
}

bool Reader::split(const QByteArray &raw, int count, Section section, QStringList *f)
{
    Flat::characters(raw, section, n(), m_cx);
    const char *what = section == Section::Vessel ? "vessel record" : section == Section::Cargo ? "cargo record"
                                                                                               : "container record";
    *f = decodeLine(raw).split(QLatin1Char(FieldSeparator));
    if (f->size() != count) {
        lineError(QStringLiteral("holds %1 fields; a %2 of the ICES 1.5 layout has %3.")
                      .arg(f->size())
                      .arg(QLatin1String(what))
                      .arg(count),
                  QStringLiteral("%1 fields; a %2 has %3.").arg(f->size()).arg(QLatin1String(what)).arg(count));
        return false;
    }
    if (!knownType(f->at(0), section)) {
        lineError(QStringLiteral("begins with \"%1\", not with a message type (F): it is not a %2.")
                      .arg(f->at(0), QLatin1String(what)),
                  QStringLiteral("\"%1\" where the message type F belongs.").arg(f->at(0)),
                  Flat::fieldLabel(section, 1, QStringLiteral("message type")));
        return false;
    }
    if (m_cx.checking() && f->at(0) != QLatin1String("F") && !(section == Section::Container && f->at(0) == QLatin1String("V"))) {
        Problem p = Flat::layoutProblem(n(), QString(), QStringLiteral("Message type \"%1\": a new manifest is filed with F.").arg(f->at(0)),
                                        Flat::fieldLabel(section, 1, QStringLiteral("message type")));
        p.severity = Problem::Severity::Warning;
        m_cx.note(p);
    }
    return true;
}

bool Reader::key(const QStringList &f, Section section, QVariant *vessel, QVariant *voyage, const QString &bill)
{
    *vessel = f.at(3);
    *voyage = f.at(4);
    const char *record = section == Section::Cargo ? "cargo" : "container";
    if (m_cx.checking() && !m_key.isEmpty()) {
        // the custom house and IMO number of every record are the vessel record's
        for (int k = 2; k <= 3; ++k) {
            if (f.at(k - 1).trimmed() != m_key.value(k - 2)) {
                Problem p = Flat::layoutProblem(n(), QString(),
                                                QStringLiteral("\"%1\" differs from the vessel record's \"%2\".")
                                                    .arg(f.at(k - 1), m_key.value(k - 2)),
                                                QStringLiteral("%1 field %2").arg(QLatin1String(record)).arg(k));
                p.blNo = bill;
                m_cx.note(p);
            }
        }
    }
    if (m_key.isEmpty() || (f.at(3) == m_key.value(2) && f.at(4) == m_key.value(3)))
        return true;
    Problem p;
    p.failure = Failure(ErrorNumber::BadFileFormat,
                        QStringLiteral("Line %1 of the file belongs to %2 / %3, not to the vessel record's %4 / %5.")
                            .arg(QString::number(n()), f.at(3), f.at(4), m_key.value(2), m_key.value(3)));
    p.section = section;
    p.column = QStringLiteral("vslcode");
    p.fileLine = n();
    const bool vesselDiffers = f.at(3) != m_key.value(2);
    p.field = QStringLiteral("%1 field %2").arg(QLatin1String(record)).arg(vesselDiffers ? 4 : 5);
    p.text = QStringLiteral("\"%1\" differs from the vessel record's \"%2\".")
                 .arg(vesselDiffers ? f.at(3) : f.at(4), m_key.value(vesselDiffers ? 2 : 3));
    p.blNo = bill;
    return m_cx.raise(p);
}

bool Reader::vessel(const QByteArray &raw)
{
    QStringList f;
    if (!split(raw, VesselFieldCount, Section::Vessel, &f))
        return m_cx.checking();
    m_key = {f.at(1).trimmed(), f.at(4).trimmed(), f.at(5), f.at(6)};
    if (f.at(5).trimmed().isEmpty() || f.at(6).trimmed().isEmpty()) {
        if (!lineError(QStringLiteral("is a vessel record without a vessel code or a voyage number."),
                       QStringLiteral("No vessel code or no voyage number."),
                       Flat::fieldLabel(Section::Vessel, f.at(5).trimmed().isEmpty() ? 6 : 7,
                                        f.at(5).trimmed().isEmpty() ? QStringLiteral("vessel code")
                                                                    : QStringLiteral("voyage number"))))
            return false;
    }
    if (m_cx.checking() && f.at(1).trimmed() != m_header.value(4))
        m_cx.note(Flat::layoutProblem(n(), QString(),
                                      QStringLiteral("\"%1\" differs from the header's custom house \"%2\".")
                                          .arg(f.at(1).trimmed(), m_header.value(4)),
                                      Flat::fieldLabel(Section::Vessel, 2, QStringLiteral("custom house"))));
    VoyageHeader v;
    v.fileLine = n();
    if (!Flat::takeAll<VoyageColumn>(VesselTable, f, v, n(), m_cx))
        return false;
    const QString eta = f.at(ArrivalField - 1);
    QDate date;
    QString time;
    if (!eta.trimmed().isEmpty() && !parseArrival(eta, &date, &time)) {
        Problem p;
        p.failure = Failure(ErrorNumber::TypeMismatch,
                            QStringLiteral("Type mismatch in line %1 of the file: \"%2\" is not an arrival DDMMYYYY HH:MM.")
                                .arg(n())
                                .arg(eta));
        p.section = Section::Vessel;
        p.column = QStringLiteral("arrdt");
        p.fileLine = n();
        p.field = Flat::fieldLabel(Section::Vessel, ArrivalField, QStringLiteral("expected arrival"));
        p.text = QStringLiteral("\"%1\" is not a date and time DDMMYYYY HH:MM.").arg(eta);
        if (!m_cx.raise(p))
            return false;
    }
    if (date.isValid()) {
        v[VoyageColumn::ArrivalDate] = date;
        v[VoyageColumn::ArrivalTime] = time;
    }
    VesselMaster master;
    master.code = f.at(5);
    const QString imo = f.at(ImoField - 1).trimmed();
    if (imo.size() > 7) {
        Problem p;
        p.failure = Failure(QStringLiteral("22001"),
                            QStringLiteral("Value too long in line %1 of the file: %2 characters where the column takes "
                                           "at most 7.")
                                .arg(n())
                                .arg(imo.size()));
        p.section = Section::Vessel;
        p.column = QStringLiteral("IMO_NO");
        p.fileLine = n();
        p.field = Flat::fieldLabel(Section::Vessel, ImoField, QStringLiteral("IMO number"));
        p.text = QStringLiteral("%1 characters where the column takes at most 7.").arg(imo.size());
        if (!m_cx.raise(p))
            return false;
    } else if (!imo.isEmpty()) {
        master.imo = imo;
    }
    std::vector<VoyageHeader> headers;
    headers.push_back(std::move(v));
    return m_sink.headers(std::move(headers), std::move(master));
}

bool Reader::cargo(const QByteArray &raw)
{
    QStringList f;
    if (!split(raw, CargoFieldCount, Section::Cargo, &f))
        return m_cx.checking();
    Bill &line = newBill();
    const QString bill = f.at(9);
    if (!key(f, Section::Cargo, &line.fileVessel, &line.fileVoyage, bill))
        return false;
    return deliverBill(CargoTable, f, 9, bill);
}

bool Reader::container(const QByteArray &raw)
{
    QStringList f;
    if (!split(raw, ContainerFieldCount, Section::Container, &f))
        return m_cx.checking();
    Container &c = newContainer();
    if (!key(f, Section::Container, &c.fileVessel, &c.fileVoyage, QString()))
        return false;
    const QString status = f.at(12).trimmed();
    if (status == QLatin1String(EmptyStatus))
        f[12] = QLatin1String(OurEmptyStatus);
    else if (m_cx.checking() && status.compare(QLatin1String(OurEmptyStatus), Qt::CaseInsensitive) == 0)
        m_cx.note(Flat::layoutProblem(n(), QString(),
                                      QStringLiteral("container status \"%1\" is not the gateway's: an empty container "
                                                     "is EMP.")
                                          .arg(status),
                                      Flat::fieldLabel(Section::Container, 13, QStringLiteral("container status"))));
    return deliverContainer(ContainerTable, f);
}

bool Reader::trailer(const QByteArray &line)
{
    const QStringList f = QString::fromLatin1(line).split(QLatin1Char(FieldSeparator));
    if (f.size() != 2 || f.at(0) != QLatin1String(TrailerTag))
        return lineError(QStringLiteral("holds \"%1\" where the trailer TREC with the control number belongs.").arg(Flat::shown(line)),
                         QStringLiteral("The trailer is TREC, the separator and the control number."),
                         QStringLiteral("trailer"));
    if (f.at(1) != m_control)
        return lineError(QStringLiteral("is a trailer with the control number \"%1\"; the header's is \"%2\": the file is "
                                        "not whole.")
                             .arg(f.at(1), m_control),
                         QStringLiteral("\"%1\" differs from the header's control number \"%2\".").arg(f.at(1), m_control),
                         QStringLiteral("trailer field 2 (control number)"));
    return true;
}

bool Reader::afterTrailer()
{
    // the signature the gateway's signing utility adds; nothing else
    QByteArray line;
    for (;;) {
        switch (m_lines.next(&line)) {
        case Flat::Lines::Next::Stop:
            return false;
        case Flat::Lines::Next::End:
            return true;
        case Flat::Lines::Next::Line:
            break;
        }
        if (line.contains('\0')) {
            if (!binaryLine())
                return false;
            continue;
        }
        if (line.trimmed().isEmpty() || line.startsWith("<START-SIGNATURE>") || line.startsWith("<START-CERTIFICATE>")
            || line.startsWith("<SIGNER-VERSION>"))
            continue;
        if (!lineError(QStringLiteral("holds \"%1\" after the trailer: the file holds more than one manifest or is "
                                      "damaged.")
                           .arg(Flat::shown(line)),
                       QStringLiteral("\"%1\" after the trailer.").arg(Flat::shown(line))))
            return false;
    }
}

bool Reader::run()
{
    QByteArray line;
    if (!next(&line, Header))
        return false;
    if (!header(line))
        return false;
    if (!expect(Start) || !expect(VesselStart))
        return false;
    // one vessel record
    if (!next(&line, VesselEnd))
        return false;
    if (isTag(line, VesselEnd)) {
        Problem p;
        p.failure = Failure(ErrorNumber::BadFileFormat, QStringLiteral("The file holds no vessel record."));
        p.fileLine = n();
        if (!m_cx.raise(p))
            return false;
        if (!m_sink.headers({}, {}))
            return false;
    } else {
        if (!vessel(line))
            return false;
        if (!expect(VesselEnd))
            return false;
    }
    if (!expect(CargoStart))
        return false;
    for (const auto &[end, record] : {std::pair{CargoEnd, &Reader::cargo}, std::pair{ContainerEnd, &Reader::container}}) {
        if (record == &Reader::container && !expect(ContainerStart))
            return false;
        for (;;) {
            if (!next(&line, end))
                return false;
            if (line.startsWith('<')) {
                if (!isTag(line, end)
                    && !lineError(QStringLiteral("holds \"%1\" where the line %2 belongs.").arg(Flat::shown(line), QLatin1String(end)),
                                  QStringLiteral("%1 where %2 belongs.").arg(Flat::shown(line), QLatin1String(end))))
                    return false;
                break;
            }
            if (!(this->*record)(line))
                return false;
        }
    }
    if (!expect(ManifestEnd))
        return false;
    if (!next(&line, TrailerTag) || !trailer(line))
        return false;
    if (!afterTrailer())
        return false;
    return m_sink.end();
}

bool Ices15Layout::read(QIODevice &in, ManifestSink &sink, ReadContext &cx) const
{
    return Reader(in, sink, cx).run();
}

// --- writing ---------------------------------------------------------------------------

// One record: fields separated by GS, none after the last, CR LF. A text shortened to
// its column is noted as whose and what.
class Record
{
public:
    Record(QByteArray &out, QStringList *shortened, const QString &whose = QString())
        : m_out(out), m_shortened(shortened), m_whose(whose)
    {
    }
    Record &raw(const QByteArray &bytes)
    {
        sep();
        m_out += bytes;
        return *this;
    }
    // text within a column's width, trailing blanks dropped
    Record &text(const QString &t, qsizetype width = 0, const char *what = nullptr)
    {
        sep();
        if (appendText(m_out, trimTrailing(t), width) && m_shortened)
            *m_shortened << m_whose + QLatin1Char(' ') + QLatin1String(what ? what : "");
        return *this;
    }
    Record &value(const QVariant &v, qsizetype width = 0, const char *what = nullptr)
    {
        if (v.isNull())
            return raw({});
        if (v.metaType().id() == QMetaType::QByteArray) {
            sep();
            if (appendUtf8(m_out, *static_cast<const QByteArray *>(v.constData()), width, true) && m_shortened)
                *m_shortened << m_whose + QLatin1Char(' ') + QLatin1String(what ? what : "");
            return *this;
        }
        return text(v.toString(), width, what);
    }
    Record &date(const QDate &d)
    {
        sep();
        if (d.isValid())
            appendDate(m_out, d);
        return *this;
    }
    Record &whole(const QVariant &v) // a number in plain decimal; nothing when null
    {
        sep();
        if (!v.isNull())
            appendNumber(m_out, numericValue(v));
        return *this;
    }
    void end() { m_out += LineEnd; }

private:
    void sep()
    {
        if (m_started)
            m_out += FieldSeparator;
        m_started = true;
    }
    QByteArray &m_out;
    QStringList *m_shortened;
    const QString &m_whose;
    bool m_started = false;
};

class IcesWriter : public Flat::RecordWriter
{
public:
    IcesWriter(QIODevice &out, const WriteOptions &o, QStringList *notices) : RecordWriter(out, o, notices) {}

    bool headers(std::vector<VoyageHeader> &&headers, VesselMaster &&master) override
    {
        const QString user = trimTrailing(m_o.iceGateUser).trimmed();
        m_customs = trimTrailing(m_o.customHouseCode).trimmed();
        m_control = m_o.controlNumber.trimmed();
        if (m_control.isEmpty())
            return fail(Failure(ErrorNumber::InvalidArgument, QStringLiteral("No control number for the file's header.")));
        const VoyageHeader &v = headers.front();
        m_total = v[VoyageColumn::TotalItems].toLongLong();
        m_vesselCode = v.text(VoyageColumn::Code);
        m_voyageNo = v.text(VoyageColumn::Voyage);
        m_igmNo = trimTrailing(v.text(VoyageColumn::IgmNo));
        m_igmDate = v.date(VoyageColumn::IgmDate);
        m_imo = master.imo.toString().trimmed();
        if (m_imo.isEmpty())
            m_missing << QStringLiteral("the vessel's IMO number (Vessel Code Setup, IMO No.)");
        const QString port = portOfArrival(v);
        if (port.isEmpty())
            m_missing << QStringLiteral("the port of arrival as filed");
        const QString terminal = terminalOperator(v);
        if (terminal.isEmpty())
            m_missing << QStringLiteral("the terminal operator code");
        const QDate arrDate = v.date(VoyageColumn::ArrivalDate);
        if (!arrDate.isValid())
            m_missing << QStringLiteral("the expected arrival date and time");
        else if (clockTime(v.text(VoyageColumn::ArrivalTime)).isEmpty())
            m_missing << QStringLiteral("the expected arrival time (00:00 written)");
        {
            Record h(m_buf, nullptr);
            h.raw(Header).text(QStringLiteral("ZZ")).text(user).text(QStringLiteral("ZZ")).text(m_customs);
            h.text(QLatin1String(Version))
                .text(m_o.testOrProduction.trimmed().toUpper() == QLatin1String("T") ? QStringLiteral("T") : QStringLiteral("P"));
            h.text(QString()).text(QLatin1String(MessageId)).text(m_control);
            h.text(m_o.written.toString(QStringLiteral("yyyyMMdd"))).text(m_o.written.toString(QStringLiteral("HHmm")));
            h.end();
        }
        tagLine(Start);
        tagLine(VesselStart);
        auto w = [](VoyageColumn c) { return Flat::width(c); };
        auto where = [](VoyageColumn c) { return captionText(c); };
        const QString whose = QStringLiteral("voyage header");
        Record r(m_buf, &m_shortened, whose);
        r.raw("F").text(m_customs).text(m_igmNo).date(m_igmDate).text(m_imo).text(m_vesselCode).text(m_voyageNo);
        r.value(v[VoyageColumn::LineCode], w(VoyageColumn::LineCode), where(VoyageColumn::LineCode));
        r.value(v[VoyageColumn::AgentCode], w(VoyageColumn::AgentCode), where(VoyageColumn::AgentCode));
        r.value(v[VoyageColumn::Master], w(VoyageColumn::Master), where(VoyageColumn::Master));
        r.text(port, w(VoyageColumn::ArrivalPortCode), where(VoyageColumn::ArrivalPortCode));
        r.value(v[VoyageColumn::LastPort], w(VoyageColumn::LastPort)).value(v[VoyageColumn::LastPort1], w(VoyageColumn::LastPort1)).value(v[VoyageColumn::LastPort2], w(VoyageColumn::LastPort2));
        r.value(v[VoyageColumn::Type], w(VoyageColumn::Type), where(VoyageColumn::Type));
        r.raw(QByteArray::number(m_total));
        r.value(v[VoyageColumn::CargoDescription], w(VoyageColumn::CargoDescription), where(VoyageColumn::CargoDescription));
        r.raw(arrDate.isValid() ? arrival(arrDate, v.text(VoyageColumn::ArrivalTime)) : QByteArray());
        const double dues = numericValue(v[VoyageColumn::LightDues]);
        r.raw(dues == 0 ? QByteArray() : fixed(dues, 2));
        for (const VoyageColumn flag : {VoyageColumn::SameBottom, VoyageColumn::ShipStores, VoyageColumn::CrewList, VoyageColumn::PassengerList, VoyageColumn::CrewEffects,
                             VoyageColumn::MaritimeDeclaration})
            r.value(v[flag], w(flag));
        r.text(terminal, w(VoyageColumn::TerminalCode), where(VoyageColumn::TerminalCode));
        r.end();
        tagLine(VesselEnd);
        tagLine(CargoStart);
        return true;
    }

    bool bill(Bill &&l) override
    {
        if (!startBill(l))
            return false;
        if (l.text(BillColumn::PortDest).trimmed() == QLatin1String(Placeholder::Port))
            ++m_placeholderDestinations;
        const QString whose = QStringLiteral("B/L ") + l.bill();
        auto where = [](BillColumn c) { return captionText(c); };
        Record r(m_buf, &m_shortened, whose);
        head(r);
        r.raw(QByteArray::number(l[BillColumn::LineNo].toLongLong())).raw("0");
        r.value(l[BillColumn::BlNo], Flat::width(BillColumn::BlNo), where(BillColumn::BlNo)).date(l.date(BillColumn::BlDate));
        r.value(l[BillColumn::PortLoad], Flat::width(BillColumn::PortLoad)).value(l[BillColumn::PortDest], Flat::width(BillColumn::PortDest));
        r.value(l[BillColumn::HblNo], Flat::width(BillColumn::HblNo), where(BillColumn::HblNo)).date(l.date(BillColumn::HblDate));
        for (const BillColumn c : {BillColumn::ImpName, BillColumn::ImpAdd1, BillColumn::ImpAdd2, BillColumn::ImpAdd3, BillColumn::NotName, BillColumn::NotAdd1, BillColumn::NotAdd2,
                          BillColumn::NotAdd3, BillColumn::Nature, BillColumn::ItemType, BillColumn::Movement, BillColumn::DestCode})
            r.value(l[c], Flat::width(c), where(c));
        r.whole(l[BillColumn::Pkgs]).value(l[BillColumn::PkgType], Flat::width(BillColumn::PkgType));
        r.raw(fixed(numericValue(l[BillColumn::GrossWt]), 3)).value(l[BillColumn::UnitWt], Flat::width(BillColumn::UnitWt));
        const double volume = numericValue(l[BillColumn::Volume]);
        if (volume == 0)
            r.raw({}).raw({});
        else
            r.raw(fixed(volume, 3)).value(l[BillColumn::UnitVol], Flat::width(BillColumn::UnitVol));
        for (const BillColumn c : {BillColumn::Marks, BillColumn::Description, BillColumn::UnoCode, BillColumn::ImoCode})
            r.value(l[c], Flat::width(c), where(c));
        const double bond = numericValue(l[BillColumn::BondNo]);
        if (bond == 0)
            r.raw({});
        else
            r.whole(bond);
        for (const BillColumn c : {BillColumn::CarrierCode, BillColumn::Mode, BillColumn::Mlo})
            r.value(l[c], Flat::width(c), where(c));
        r.end();
        return billWritten();
    }

    bool container(Container &&c) override
    {
        endLines();
        const QString whose = QStringLiteral("container ") + c.text(ContainerColumn::Number);
        auto where = [](ContainerColumn k) { return captionText(k); };
        Record r(m_buf, &m_shortened, whose);
        head(r);
        r.raw(QByteArray::number(c[ContainerColumn::LineNo].toLongLong())).raw("0");
        r.value(c[ContainerColumn::Number], Flat::width(ContainerColumn::Number), where(ContainerColumn::Number));
        r.value(c[ContainerColumn::Seal], Flat::width(ContainerColumn::Seal), where(ContainerColumn::Seal));
        r.value(c[ContainerColumn::Agent], Flat::width(ContainerColumn::Agent), where(ContainerColumn::Agent));
        const QString status = trimTrailing(c.text(ContainerColumn::Status)).trimmed();
        r.text(status.compare(QLatin1String(OurEmptyStatus), Qt::CaseInsensitive) == 0 ? QLatin1String(EmptyStatus)
                                                                                        : status);
        r.raw(QByteArray::number(qint64(numericValue(c[ContainerColumn::Pkgs]))));
        r.raw(fixed(numericValue(c[ContainerColumn::Weight]), 2));
        r.value(c[ContainerColumn::Iso], Flat::width(ContainerColumn::Iso)).value(c[ContainerColumn::Soc], Flat::width(ContainerColumn::Soc));
        r.end();
        ++m_containers;
        return flush(false);
    }

    bool end() override
    {
        endLines();
        if (m_placeholderDestinations > 0)
            m_notices->append(QStringLiteral("%1 line(s) have the port of destination %2, which is also what is stored "
                                             "when none was keyed: check them.")
                                  .arg(m_placeholderDestinations)
                                  .arg(QLatin1String(Placeholder::Port)));
        if (m_containers == 0)
            m_notices->append(QLatin1String(Messages::NoContainers));
        tagLine(ContainerEnd);
        tagLine(ManifestEnd);
        {
            Record t(m_buf, nullptr);
            t.raw(TrailerTag).text(m_control);
            t.end();
        }
        for (const QString &what : m_missing)
            m_notices->append(QStringLiteral("Missing for the ICES 1.5 file, written empty: %1.").arg(what));
        if (!m_shortened.isEmpty())
            m_notices->append(QStringLiteral("Letters spelled out in two (such as \u00df as ss) did not fit their columns "
                                             "and were written one letter each: %1.")
                                  .arg(m_shortened.join(QStringLiteral(", "))));
        return flush(true);
    }

private:
    // fields 1-7 of cargo and container records
    void head(Record &r) const
    {
        r.raw("F").text(m_customs).text(m_imo).text(m_vesselCode).text(m_voyageNo).text(m_igmNo).date(m_igmDate);
    }
    QString m_customs, m_control, m_imo, m_vesselCode, m_voyageNo, m_igmNo;
    QDate m_igmDate;
    QStringList m_missing;
    QStringList m_shortened;
    int m_placeholderDestinations = 0;
};

std::unique_ptr<ManifestWriter> Ices15Layout::writer(QIODevice &out, const WriteOptions &o, QStringList *notices) const
{
    return std::make_unique<IcesWriter>(out, o, notices);
}

} // namespace

const Layout &ices15Layout()
{
    static const Ices15Layout layout;
    return layout;
}

} // namespace quarl::igm
