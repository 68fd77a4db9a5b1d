#include "igm/igmcheck.h"

#include "igm/containernumber.h"
#include "igm/igmformat.h"
#include "store/database.h"

#include <QFile>
#include <QHash>
#include <QSqlQuery>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <map>

namespace quarl::igm {

QString CheckFinding::toString() const
{
    QString out = severity == Severity::Error ? QStringLiteral("Error") : QStringLiteral("Warning");
    if (line > 0)
        out += QStringLiteral(", line %1").arg(line);
    if (!field.isEmpty())
        out += QStringLiteral(", ") + field;
    return out + QStringLiteral(": ") + text;
}

int CheckReport::errors() const
{
    return int(std::count_if(findings.begin(), findings.end(), [](const CheckFinding &f) { return f.isError(); }));
}

int CheckReport::warnings() const
{
    return int(findings.size()) - errors();
}

Result<CodeLists> loadCodeLists(const Database &db)
{
    CodeLists c;
    const std::pair<const char *, QSet<QString> *> lists[] = {
        {"select port_cd from D_PORT_CD", &c.ports},     {"select pkg_cd from package", &c.packages},
        {"select uqc from d_uqc", &c.units},             {"select nat_cd from nature", &c.natures},
        {"select ITM_cd from itmtype", &c.itemTypes},    {"select cm_cd from cargomove", &c.movements},
        {"select cs_cd from constatus", &c.statuses},    {"select iso_code from D_ISO_CD", &c.isoCodes},
    };
    for (const auto &[sql, set] : lists) {
        auto q = db.query(QLatin1String(sql));
        if (!q)
            return q.failure();
        while (q->next())
            set->insert(q->value(0).toString().trimmed().toUpper());
    }
    auto q = db.query(QStringLiteral("select uno_code, imco_code from D_UNOIMCO"));
    if (!q)
        return q.failure();
    while (q->next())
        c.unoClasses.insert(q->value(0).toString().trimmed(), q->value(1).toString().trimmed());
    return c;
}

namespace {

using Severity = CheckFinding::Severity;
constexpr char GS = Format::FieldSeparator;

enum class Section { None, Vessel, Cargo, Container };

// Field numbers of the vessel record in each layout (1-based; 0: not in the layout).
struct VesselFields
{
    int count, customs, imo, vessel, voyage, portArrival, lastPort, lastPort1, lastPort2, totalLines, eta, terminal;
};
constexpr VesselFields OlderVessel{29, 0, 0, 5, 6, 11, 12, 13, 14, 18, 0, 29};
constexpr VesselFields IcesVessel{26, 2, 5, 6, 7, 11, 12, 13, 14, 16, 18, 26};

// Cargo and container fields by their number in the older layout; today's layout has two
// more fields (custom house code, IMO number) after the first.
enum CargoField {
    cVessel = 2, cVoyage = 3, cLine = 6, cSubLine = 7, cBlNo = 8, cBlDate = 9, cPortLoad = 10, cPortDest = 11,
    cHblNo = 12, cHblDate = 13, cImpName = 14, cNotAdd3 = 21, cNature = 22, cItemType = 23, cMovement = 24,
    cDestCode = 25, cPkgs = 26, cPkgType = 27, cGrossWt = 28, cUnitWt = 29, cVolume = 30, cUnitVol = 31,
    cMarks = 32, cDesc = 33, cUno = 34, cImo = 35, cBond = 36, cCarrier = 37, cMode = 38, cMlo = 39
};
enum ContainerField {
    kLine = 6, kSubLine = 7, kNumber = 8, kSeal = 9, kAgent = 10, kStatus = 11, kPkgs = 12, kWeight = 13,
    kIso = 14, kSoc = 15
};

const char *cargoName(int f)
{
    switch (f) {
    case cVessel: return "vessel code";
    case cVoyage: return "voyage number";
    case cLine: return "line number";
    case cSubLine: return "sub-line number";
    case cBlNo: return "B/L number";
    case cBlDate: return "B/L date";
    case cPortLoad: return "port of loading";
    case cPortDest: return "port of destination";
    case cHblNo: return "house B/L number";
    case cHblDate: return "house B/L date";
    case cImpName: return "importer name";
    case 15: case 16: case 17: return "importer address";
    case 18: return "notify party";
    case 19: case 20: case 21: return "notify address";
    case cNature: return "nature of cargo";
    case cItemType: return "item type";
    case cMovement: return "cargo movement";
    case cDestCode: return "CFS / discharge code";
    case cPkgs: return "number of packages";
    case cPkgType: return "type of packages";
    case cGrossWt: return "gross weight";
    case cUnitWt: return "unit of weight";
    case cVolume: return "gross volume";
    case cUnitVol: return "unit of volume";
    case cMarks: return "marks and numbers";
    case cDesc: return "description of goods";
    case cUno: return "UNO code";
    case cImo: return "IMO class";
    case cBond: return "transit bond number";
    case cCarrier: return "carrier code";
    case cMode: return "mode of transport";
    case cMlo: return "MLO code";
    default: return "";
    }
}

const char *containerName(int f)
{
    switch (f) {
    case kLine: return "line number";
    case kSubLine: return "sub-line number";
    case kNumber: return "container number";
    case kSeal: return "seal number";
    case kAgent: return "container agent code";
    case kStatus: return "container status";
    case kPkgs: return "packages";
    case kWeight: return "container weight";
    case kIso: return "ISO size/type";
    case kSoc: return "SOC flag";
    default: return "";
    }
}

struct CargoLine
{
    qint64 fileLine;
    qint64 lineNo;
    qint64 pkgs;
    bool pkgsKnown;
    QString nature;
};

struct Box
{
    qint64 fileLine;
    qint64 lineNo;
    QString number;
    QString status;
    qint64 pkgs;
};

bool isDigits(const QString &s)
{
    if (s.isEmpty())
        return false;
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

bool wholeNumber(const QString &s, qint64 *v)
{
    double d = 0;
    if (!Format::parseNumber(s, &d) || std::trunc(d) != d || d < 0 || d > 1e15)
        return false;
    *v = qint64(d);
    return true;
}

class Checker
{
public:
    Checker(const CodeLists *codes) : m_codes(codes) {}
    CheckReport run(const QByteArray &data);

private:
    void add(Severity s, qint64 line, const QString &field, const QString &text)
    {
        m_report.findings.append({s, line, field, text});
    }
    void error(qint64 line, const QString &field, const QString &text) { add(Severity::Error, line, field, text); }
    void warning(qint64 line, const QString &field, const QString &text) { add(Severity::Warning, line, field, text); }
    // a fault that the layout's limits make an error in today's layout and a warning in the older one
    void limit(qint64 line, const QString &field, const QString &text)
    {
        add(m_ices ? Severity::Error : Severity::Warning, line, field, text);
    }

    QString vesselField(int n, const char *name) const { return QStringLiteral("vessel field %1 (%2)").arg(n).arg(QLatin1String(name)); }
    int at(int older) const { return older >= 2 && m_ices ? older + 2 : older; }
    QString cargoField(int older) const
    {
        return QStringLiteral("cargo field %1 (%2)").arg(at(older)).arg(QLatin1String(cargoName(older)));
    }
    QString containerField(int older) const
    {
        return QStringLiteral("container field %1 (%2)").arg(at(older)).arg(QLatin1String(containerName(older)));
    }

    void header(const QByteArray &line);
    void trailer(qint64 n, const QByteArray &line);
    bool split(qint64 n, const QByteArray &line, int count, const char *what, QStringList *f);
    void characters(qint64 n, const QByteArray &line, Section section);
    void vessel(qint64 n, const QStringList &f);
    void cargo(qint64 n, const QStringList &f);
    void container(qint64 n, const QStringList &f);
    void code(qint64 n, const QString &field, const QString &value, const QSet<QString> *known,
              const QStringList &fixed, const char *what);
    void length(qint64 n, const QString &field, const QString &value, int max);
    void finish();

    const CodeLists *m_codes;
    CheckReport m_report;
    bool m_ices = false;
    QString m_control;
    QString m_customHouse;
    int m_vessels = 0;
    qint64 m_vesselLine = 0;
    qint64 m_declaredLines = -1;
    QDate m_eta;
    QString m_portArrival;
    QStringList m_key; // custom house, IMO, vessel, voyage of the vessel record
    std::vector<CargoLine> m_cargo;
    std::vector<Box> m_boxes;
};

void Checker::code(qint64 n, const QString &field, const QString &value, const QSet<QString> *known,
                   const QStringList &fixed, const char *what)
{
    const QString v = value.trimmed().toUpper();
    if (v.isEmpty())
        return;
    if (m_codes && known) {
        if (!known->contains(v))
            error(n, field, QStringLiteral("%1 \"%2\" is not in the %3 master.").arg(QLatin1String(what), value, QLatin1String(what)));
    } else if (!fixed.isEmpty() && !fixed.contains(v)) {
        error(n, field, QStringLiteral("%1 \"%2\" is not one of %3.").arg(QLatin1String(what), value, fixed.join(QLatin1Char(' '))));
    }
}

void Checker::length(qint64 n, const QString &field, const QString &value, int max)
{
    if (value.size() > max)
        limit(n, field, QStringLiteral("%1 characters, at most %2 allowed.").arg(value.size()).arg(max));
}

void Checker::header(const QByteArray &line)
{
    QString version;
    switch (layoutOfHeader(line, &version)) {
    case HeaderLayout::Older:
        m_report.recognised = true;
        m_report.layout = IgmLayout::Older;
        if (!line.contains("SACHI01"))
            error(1, QStringLiteral("header"), QStringLiteral("The header does not name the message SACHI01."));
        return;
    case HeaderLayout::Ices15:
        break;
    case HeaderLayout::Unknown:
        error(1, QStringLiteral("header"),
              QStringLiteral("The header names the version \"%1\", neither the older layout (HREC**) nor ICES1_5.").arg(version));
        return;
    case HeaderLayout::NoHeader:
        error(1, QStringLiteral("header"), QStringLiteral("The file does not begin with a header line HREC."));
        return;
    }
    m_report.recognised = true;
    m_report.layout = IgmLayout::Ices15;
    m_ices = true;
    const QStringList f = QString::fromLatin1(line).split(QLatin1Char(GS));
    if (f.size() != Ices::HeaderFields) {
        error(1, QStringLiteral("header"),
              QStringLiteral("%1 fields; the header has %2.").arg(f.size()).arg(Ices::HeaderFields));
        return;
    }
    auto field = [](int k, const char *name) { return QStringLiteral("header field %1 (%2)").arg(k).arg(QLatin1String(name)); };
    if (f[1] != QLatin1String("ZZ"))
        error(1, field(2, "sender qualifier"), QStringLiteral("\"%1\" where ZZ belongs.").arg(f[1]));
    if (f[2].trimmed().isEmpty())
        error(1, field(3, "sender"), QStringLiteral("No sender (gateway user id)."));
    if (f[3] != QLatin1String("ZZ"))
        error(1, field(4, "receiver qualifier"), QStringLiteral("\"%1\" where ZZ belongs.").arg(f[3]));
    m_customHouse = f[4];
    if (f[4].size() != 6)
        error(1, field(5, "custom house"), QStringLiteral("\"%1\" is not a 6-character custom house code.").arg(f[4]));
    if (f[6] != QLatin1String("T") && f[6] != QLatin1String("P"))
        error(1, field(7, "test or production"), QStringLiteral("\"%1\" where T or P belongs.").arg(f[6]));
    if (!f[7].isEmpty())
        error(1, field(8, "empty"), QStringLiteral("This field is always empty."));
    if (f[8] != QLatin1String(Ices::MessageId))
        error(1, field(9, "message"), QStringLiteral("\"%1\" where SACHI01 belongs.").arg(f[8]));
    m_control = f[9];
    if (f[9].trimmed().isEmpty())
        error(1, field(10, "control number"), QStringLiteral("No control number."));
    if (!QDate::fromString(f[10], QStringLiteral("yyyyMMdd")).isValid())
        error(1, field(11, "date"), QStringLiteral("\"%1\" is not a date YYYYMMDD.").arg(f[10]));
    if (!QTime::fromString(f[11], QStringLiteral("HHmm")).isValid())
        error(1, field(12, "time"), QStringLiteral("\"%1\" is not a time HHMM.").arg(f[11]));
}

void Checker::trailer(qint64 n, const QByteArray &line)
{
    if (!m_ices) {
        if (line != "TREC**")
            error(n, QStringLiteral("trailer"), QStringLiteral("The trailer of the older layout is TREC**."));
        return;
    }
    const QStringList f = QString::fromLatin1(line).split(QLatin1Char(GS));
    if (f.size() != 2 || f[0] != QLatin1String(Ices::TrailerTag)) {
        error(n, QStringLiteral("trailer"), QStringLiteral("The trailer is TREC, the separator and the control number."));
        return;
    }
    if (f[1] != m_control)
        error(n, QStringLiteral("trailer field 2 (control number)"),
              QStringLiteral("\"%1\" differs from the header's control number \"%2\".").arg(f[1], m_control));
}

bool Checker::split(qint64 n, const QByteArray &line, int count, const char *what, QStringList *f)
{
    *f = Format::decodeLine(line).split(QLatin1Char(GS));
    if (!m_ices) {
        if (f->size() > 1 && f->last().isEmpty())
            f->removeLast();
        else
            warning(n, QString(), QStringLiteral("The older layout ends every field with the separator; this line does not."));
    }
    if (f->size() != count) {
        error(n, QString(), QStringLiteral("%1 fields; a %2 record has %3.").arg(f->size()).arg(QLatin1String(what)).arg(count));
        return false;
    }
    return true;
}

void Checker::characters(qint64 n, const QByteArray &line, Section section)
{
    int field = 1;
    for (const char ch : line) {
        const uchar c = uchar(ch);
        if (c == uchar(GS)) {
            ++field;
            continue;
        }
        if (c < 0x20 || c > 0x7e) {
            QString where;
            if (section == Section::Vessel)
                where = QStringLiteral("vessel field %1").arg(field);
            else if (section == Section::Cargo)
                where = QStringLiteral("cargo field %1").arg(field);
            else if (section == Section::Container)
                where = QStringLiteral("container field %1").arg(field);
            error(n, where, QStringLiteral("Character code %1 is outside the file's character set (ASCII 32-126).").arg(c));
            return; // one finding per line
        }
    }
}

void Checker::vessel(qint64 n, const QStringList &f)
{
    const VesselFields &v = m_ices ? IcesVessel : OlderVessel;
    ++m_vessels;
    m_vesselLine = n;
    auto at = [&](int k) { return k > 0 ? f.value(k - 1).trimmed() : QString(); };
    if (at(v.vessel).isEmpty())
        error(n, vesselField(v.vessel, "vessel code"), QStringLiteral("No vessel code."));
    if (at(v.voyage).isEmpty())
        error(n, vesselField(v.voyage, "voyage number"), QStringLiteral("No voyage number."));
    m_portArrival = at(v.portArrival);
    if (m_ices) {
        m_key = {at(v.customs), at(v.imo), at(v.vessel), at(v.voyage)};
        if (at(v.customs) != m_customHouse)
            error(n, vesselField(v.customs, "custom house"),
                  QStringLiteral("\"%1\" differs from the header's custom house \"%2\".").arg(at(v.customs), m_customHouse));
        if (at(v.imo).size() != 7 || !isDigits(at(v.imo)))
            error(n, vesselField(v.imo, "IMO number"),
                  at(v.imo).isEmpty() ? QStringLiteral("No IMO number.")
                                      : QStringLiteral("\"%1\" is not a 7-digit IMO number.").arg(at(v.imo)));
        if (m_portArrival.isEmpty())
            error(n, vesselField(v.portArrival, "port of arrival"), QStringLiteral("No port of arrival."));
        if (at(v.eta).isEmpty()) {
            error(n, vesselField(v.eta, "expected arrival"), QStringLiteral("No expected date and time of arrival."));
        } else {
            QString time;
            if (!Ices::parseArrival(at(v.eta), &m_eta, &time))
                error(n, vesselField(v.eta, "expected arrival"),
                      QStringLiteral("\"%1\" is not a date and time DDMMYYYY HH:MM.").arg(at(v.eta)));
        }
        if (at(v.terminal).isEmpty())
            error(n, vesselField(v.terminal, "terminal operator"), QStringLiteral("No terminal operator code."));
        length(n, vesselField(v.terminal, "terminal operator"), at(v.terminal), 10);
        for (int k = 20; k <= 25; ++k) {
            if (!at(k).isEmpty() && at(k) != QLatin1String("Y") && at(k) != QLatin1String("N"))
                error(n, vesselField(k, "declaration"), QStringLiteral("\"%1\" where Y or N belongs.").arg(at(k)));
        }
    }
    code(n, vesselField(v.portArrival, "port of arrival"), m_portArrival, m_codes ? &m_codes->ports : nullptr, {}, "port");
    if (m_ices)
        length(n, vesselField(v.portArrival, "port of arrival"), m_portArrival, 6);
    const std::pair<int, const char *> ports[] = {{v.lastPort, "last port"}, {v.lastPort1, "port before last"},
                                                  {v.lastPort2, "port before that"}};
    for (const auto &[k, name] : ports)
        code(n, vesselField(k, name), at(k), m_codes ? &m_codes->ports : nullptr, {}, "port");
    qint64 total = 0;
    if (!wholeNumber(at(v.totalLines), &total))
        error(n, vesselField(v.totalLines, "total number of lines"), QStringLiteral("\"%1\" is not a whole number.").arg(at(v.totalLines)));
    else
        m_declaredLines = total;
}

void Checker::cargo(qint64 n, const QStringList &f)
{
    auto v = [&](int older) { return f.value(at(older) - 1).trimmed(); };
    auto name = [&](int older) { return cargoField(older); };
    CargoLine l{n, -1, 0, false, v(cNature).toUpper()};
    if (m_ices && !m_key.isEmpty()) {
        for (int k = 2; k <= 5; ++k) {
            if (f.value(k - 1).trimmed() != m_key.value(k - 2))
                error(n, QStringLiteral("cargo field %1").arg(k),
                      QStringLiteral("\"%1\" differs from the vessel record's \"%2\".").arg(f.value(k - 1), m_key.value(k - 2)));
        }
    }
    if (!wholeNumber(v(cLine), &l.lineNo))
        error(n, name(cLine), QStringLiteral("\"%1\" is not a line number.").arg(v(cLine)));
    if (v(cSubLine) != QLatin1String("0"))
        warning(n, name(cSubLine), QStringLiteral("\"%1\" where 0 is usual.").arg(v(cSubLine)));
    if (v(cBlNo).isEmpty())
        error(n, name(cBlNo), QStringLiteral("No B/L number."));
    length(n, name(cBlNo), v(cBlNo), 20);
    const QDate bl = Format::parseDate(v(cBlDate));
    if (!bl.isValid())
        error(n, name(cBlDate), QStringLiteral("\"%1\" is not a date DDMMYYYY.").arg(v(cBlDate)));
    else if (m_eta.isValid() && bl > m_eta)
        error(n, name(cBlDate),
              QStringLiteral("B/L date %1 is after the vessel's arrival %2.")
                  .arg(bl.toString(QStringLiteral("dd.MM.yyyy")), m_eta.toString(QStringLiteral("dd.MM.yyyy"))));
    if (!v(cHblNo).isEmpty() && !Format::parseDate(v(cHblDate)).isValid())
        error(n, name(cHblDate), QStringLiteral("A house B/L number needs its date DDMMYYYY."));
    const QSet<QString> *ports = m_codes ? &m_codes->ports : nullptr;
    for (int k : {cPortLoad, cPortDest}) {
        if (v(k).isEmpty())
            error(n, name(k), QStringLiteral("No %1.").arg(QLatin1String(cargoName(k))));
        code(n, name(k), v(k), ports, {}, "port");
        length(n, name(k), v(k), 6);
    }
    if (v(cImpName).isEmpty())
        error(n, name(cImpName), QStringLiteral("No importer name."));
    for (int k = cImpName; k <= cNotAdd3; ++k)
        length(n, name(k), f.value(at(k) - 1), 35);
    code(n, name(cNature), v(cNature), m_codes ? &m_codes->natures : nullptr,
         {QStringLiteral("C"), QStringLiteral("CP"), QStringLiteral("P"), QStringLiteral("LB"), QStringLiteral("DB")}, "nature of cargo");
    code(n, name(cItemType), v(cItemType), m_codes ? &m_codes->itemTypes : nullptr,
         {QStringLiteral("OT"), QStringLiteral("GC"), QStringLiteral("UB")}, "item type");
    code(n, name(cMovement), v(cMovement), m_codes ? &m_codes->movements : nullptr,
         {QStringLiteral("LC"), QStringLiteral("TI"), QStringLiteral("TC")}, "cargo movement");
    for (int k : {cNature, cItemType, cMovement, cPkgType, cUnitWt, cDesc, cUno, cImo}) {
        if (v(k).isEmpty())
            error(n, name(k), QStringLiteral("No %1.").arg(QLatin1String(cargoName(k))));
    }
    length(n, name(cDestCode), v(cDestCode), 10);
    if (!wholeNumber(v(cPkgs), &l.pkgs))
        error(n, name(cPkgs), QStringLiteral("\"%1\" is not a number of packages.").arg(v(cPkgs)));
    else
        l.pkgsKnown = true;
    length(n, name(cPkgs), v(cPkgs), 8);
    code(n, name(cPkgType), v(cPkgType), m_codes ? &m_codes->packages : nullptr, {}, "package");
    length(n, name(cPkgType), v(cPkgType), 3);
    double d = 0;
    if (!Format::parseNumber(v(cGrossWt), &d) || d < 0)
        error(n, name(cGrossWt), QStringLiteral("\"%1\" is not a weight.").arg(v(cGrossWt)));
    code(n, name(cUnitWt), v(cUnitWt), m_codes ? &m_codes->units : nullptr, {QStringLiteral("KGS"), QStringLiteral("MTS")}, "unit");
    if (!v(cVolume).isEmpty() && (!Format::parseNumber(v(cVolume), &d) || d < 0))
        error(n, name(cVolume), QStringLiteral("\"%1\" is not a volume.").arg(v(cVolume)));
    length(n, name(cMarks), f.value(at(cMarks) - 1), 250);
    length(n, name(cDesc), f.value(at(cDesc) - 1), 250);

    const QString uno = v(cUno);
    const QString imo = v(cImo);
    const bool harmlessUno = uno == QLatin1String("ZZZZZ");
    const bool harmlessImo = imo == QLatin1String("ZZZ");
    if (harmlessUno != harmlessImo && !uno.isEmpty() && !imo.isEmpty())
        error(n, name(harmlessUno ? cImo : cUno),
              QStringLiteral("UNO code %1 and IMO class %2 disagree: ZZZZZ goes with ZZZ only.").arg(uno, imo));
    else if (!harmlessUno && m_codes && !uno.isEmpty()) {
        const auto known = m_codes->unoClasses.constFind(uno);
        if (known == m_codes->unoClasses.constEnd())
            warning(n, name(cUno), QStringLiteral("UNO code %1 is not in the UN number master.").arg(uno));
        else if (known.value() != imo)
            error(n, name(cImo), QStringLiteral("UN %1 is of IMO class %2, not %3.").arg(uno, known.value(), imo));
    }
    length(n, name(cUno), uno, 5);
    length(n, name(cImo), imo, 3);

    const QString move = v(cMovement).toUpper();
    if (move == QLatin1String("TI") || move == QLatin1String("TC")) {
        for (int k : {cBond, cCarrier, cMode, cMlo}) {
            if (v(k).isEmpty())
                error(n, name(k), QStringLiteral("A %1 line needs its %2.").arg(move, QLatin1String(cargoName(k))));
        }
        if (!m_portArrival.isEmpty() && v(cPortDest) == m_portArrival)
            error(n, name(cPortDest),
                  QStringLiteral("A %1 line goes on from the port of arrival: its destination cannot be %2.").arg(move, m_portArrival));
    }
    if (!v(cBond).isEmpty() && !isDigits(v(cBond)))
        warning(n, name(cBond), QStringLiteral("\"%1\" is not a bond registration number of digits.").arg(v(cBond)));
    length(n, name(cBond), v(cBond), 10);
    length(n, name(cCarrier), v(cCarrier), 10);
    length(n, name(cMode), v(cMode), 1);
    length(n, name(cMlo), v(cMlo), 10);
    m_cargo.push_back(l);
}

void Checker::container(qint64 n, const QStringList &f)
{
    auto v = [&](int older) { return f.value(at(older) - 1).trimmed(); };
    auto name = [&](int older) { return containerField(older); };
    Box b{n, -1, v(kNumber), v(kStatus).toUpper(), 0};
    if (m_ices && !m_key.isEmpty()) {
        for (int k = 2; k <= 5; ++k) {
            if (f.value(k - 1).trimmed() != m_key.value(k - 2))
                error(n, QStringLiteral("container field %1").arg(k),
                      QStringLiteral("\"%1\" differs from the vessel record's \"%2\".").arg(f.value(k - 1), m_key.value(k - 2)));
        }
    }
    if (!wholeNumber(v(kLine), &b.lineNo))
        error(n, name(kLine), QStringLiteral("\"%1\" is not a line number.").arg(v(kLine)));
    if (const QString finding = containerNumberFinding(b.number); !finding.isEmpty())
        error(n, name(kNumber), finding);
    length(n, name(kSeal), v(kSeal), 15);
    length(n, name(kAgent), v(kAgent), 10);
    const QString empty = QLatin1String(m_ices ? Ices::EmptyStatus : Ices::OurEmptyStatus);
    QSet<QString> statuses;
    if (m_codes) {
        statuses = m_codes->statuses;
        if (m_ices && statuses.remove(QLatin1String(Ices::OurEmptyStatus)))
            statuses.insert(QLatin1String(Ices::EmptyStatus));
    }
    if (b.status.isEmpty())
        error(n, name(kStatus), QStringLiteral("No container status."));
    code(n, name(kStatus), b.status, m_codes ? &statuses : nullptr, {QStringLiteral("FCL"), QStringLiteral("LCL"), empty},
         "container status");
    if (!v(kPkgs).isEmpty() && !wholeNumber(v(kPkgs), &b.pkgs))
        error(n, name(kPkgs), QStringLiteral("\"%1\" is not a number of packages.").arg(v(kPkgs)));
    double w = 0;
    if (!v(kWeight).isEmpty() && (!Format::parseNumber(v(kWeight), &w) || w < 0))
        error(n, name(kWeight), QStringLiteral("\"%1\" is not a weight.").arg(v(kWeight)));
    else if (w > 99)
        warning(n, name(kWeight), QStringLiteral("%1 tonnes in one container.").arg(v(kWeight)));
    if (b.status == empty && (b.pkgs > 1 || w > 0))
        warning(n, name(kPkgs), QStringLiteral("An empty container with packages or weight."));
    if (v(kIso).isEmpty())
        error(n, name(kIso), QStringLiteral("No ISO size/type code."));
    code(n, name(kIso), v(kIso), m_codes ? &m_codes->isoCodes : nullptr, {}, "ISO size/type");
    length(n, name(kIso), v(kIso), 4);
    if (v(kSoc) != QLatin1String("Y") && v(kSoc) != QLatin1String("N"))
        limit(n, name(kSoc), QStringLiteral("\"%1\" where Y or N belongs.").arg(v(kSoc)));
    m_boxes.push_back(b);
}

void Checker::finish()
{
    if (m_vessels == 0)
        error(0, QString(), QStringLiteral("The file holds no vessel record."));
    else if (m_vessels > 1)
        add(m_ices ? Severity::Error : Severity::Warning, m_vesselLine, QString(),
            QStringLiteral("%1 vessel records; a manifest has one.").arg(m_vessels));
    const qint64 lines = qint64(m_cargo.size());
    m_report.cargoLines = lines;
    m_report.containers = qint64(m_boxes.size());
    if (m_declaredLines >= 0 && m_declaredLines != lines) {
        const VesselFields &v = m_ices ? IcesVessel : OlderVessel;
        error(m_vesselLine, vesselField(v.totalLines, "total number of lines"),
              QStringLiteral("%1 lines declared, %2 cargo records in the file.").arg(m_declaredLines).arg(lines));
    }
    QHash<qint64, qsizetype> byNumber;
    for (qsizetype i = 0; i < qsizetype(m_cargo.size()); ++i) {
        const CargoLine &l = m_cargo[i];
        if (l.lineNo < 0)
            continue;
        if (byNumber.contains(l.lineNo))
            error(l.fileLine, cargoField(cLine), QStringLiteral("Line number %1 occurs twice.").arg(l.lineNo));
        else
            byNumber.insert(l.lineNo, i);
        if (l.lineNo != i + 1)
            error(l.fileLine, cargoField(cLine),
                  QStringLiteral("Line number %1 where %2 belongs: lines run 1..N without gaps.").arg(l.lineNo).arg(i + 1));
    }
    std::map<qsizetype, std::vector<const Box *>> perLine;
    for (const Box &b : m_boxes) {
        if (b.lineNo < 0)
            continue;
        const auto found = byNumber.constFind(b.lineNo);
        if (found == byNumber.constEnd()) {
            error(b.fileLine, containerField(kLine), QStringLiteral("Line %1 is not in the cargo section.").arg(b.lineNo));
            continue;
        }
        perLine[found.value()].push_back(&b);
    }
    for (qsizetype i = 0; i < qsizetype(m_cargo.size()); ++i) {
        const CargoLine &l = m_cargo[i];
        const auto it = perLine.find(i);
        if (it == perLine.end()) {
            if (l.nature == QLatin1String("C") || l.nature == QLatin1String("CP"))
                error(l.fileLine, cargoField(cNature), QStringLiteral("Containerised line %1 has no container.").arg(l.lineNo));
            continue;
        }
        qint64 sum = 0;
        bool lcl = false;
        QSet<QString> seen;
        for (const Box *b : it->second) {
            sum += b->pkgs;
            lcl = lcl || b->status == QLatin1String("LCL");
            if (!b->number.isEmpty() && seen.contains(b->number))
                error(b->fileLine, containerField(kNumber),
                      QStringLiteral("Container %1 appears twice under line %2.").arg(b->number).arg(l.lineNo));
            seen.insert(b->number);
        }
        if (l.pkgsKnown && sum != l.pkgs)
            add(lcl ? Severity::Warning : Severity::Error, l.fileLine, cargoField(cPkgs),
                QStringLiteral("%1 packages on the line, %2 in its containers%3.")
                    .arg(l.pkgs)
                    .arg(sum)
                    .arg(lcl ? QStringLiteral(" (LCL)") : QString()));
    }
    std::stable_sort(m_report.findings.begin(), m_report.findings.end(),
                     [](const CheckFinding &a, const CheckFinding &b) { return a.line < b.line; });
}

CheckReport Checker::run(const QByteArray &data)
{
    QList<QByteArray> lines = data.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.isEmpty()) {
        error(0, QString(), QStringLiteral("The file is empty."));
        return m_report;
    }
    auto body = [](QByteArray l) {
        if (l.endsWith('\r'))
            l.chop(1);
        return l;
    };
    header(body(lines.first()));
    if (!m_report.recognised)
        return m_report;

    QList<QByteArray> tags;
    if (!m_ices)
        tags << Format::IgmIdPrefix << Format::ManifestStart;
    else
        tags << Ices::ManifestStart;
    tags << Format::VesselStart << Format::VesselEnd << Format::CargoStart << Format::CargoEnd << Format::ContainerStart
         << Format::ContainerEnd << Format::ManifestEnd;
    const int manifestEnd = int(tags.size()) - 1;
    int next = 0;
    Section section = Section::None;
    bool trailerSeen = false;
    bool bareLf = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qint64 n = i + 1;
        const QByteArray raw = lines.at(i);
        const QByteArray line = body(raw);
        if (trailerSeen) {
            if (m_ices && (line.startsWith("<START-") || line.startsWith("<SIGNER-")))
                continue; // the signature added by the gateway's signing utility
            if (!line.trimmed().isEmpty())
                warning(n, QString(), QStringLiteral("Text after the trailer."));
            continue;
        }
        if (m_ices && !raw.endsWith('\r') && !bareLf) {
            bareLf = true;
            warning(n, QString(), QStringLiteral("The line ends with LF alone; the file's lines end with CR LF."));
        }
        if (line.trimmed().isEmpty()) {
            warning(n, QString(), QStringLiteral("Empty line."));
            continue;
        }
        if (line.startsWith(m_ices ? QByteArray("TREC") : QByteArray("TREC**"))) {
            if (next <= manifestEnd)
                error(n, QString(), QStringLiteral("The trailer comes before %1.").arg(QString::fromLatin1(tags.at(next))));
            trailer(n, line);
            trailerSeen = true;
            continue;
        }
        int tag = -1;
        for (int t = 0; t < tags.size(); ++t) {
            const bool match = t == 0 && !m_ices ? line.startsWith(tags.at(t))
                                                 : line.trimmed().compare(tags.at(t), Qt::CaseInsensitive) == 0;
            if (match) {
                tag = t;
                break;
            }
        }
        if (tag >= 0) {
            if (tag != next)
                error(n, QString(),
                      next < tags.size() ? QStringLiteral("%1 where %2 belongs.").arg(QString::fromLatin1(line), QString::fromLatin1(tags.at(next)))
                                         : QStringLiteral("%1 after the end of the manifest.").arg(QString::fromLatin1(line)));
            next = tag + 1;
            const QByteArray &t = tags.at(tag);
            section = t == Format::VesselStart ? Section::Vessel
                      : t == Format::CargoStart ? Section::Cargo
                      : t == Format::ContainerStart ? Section::Container
                                                    : Section::None;
            continue;
        }
        characters(n, line, section);
        QStringList f;
        switch (section) {
        case Section::None:
            error(n, QString(),
                  QStringLiteral("A record outside the sections%1.")
                      .arg(next < tags.size() ? QStringLiteral(" (%1 belongs here)").arg(QString::fromLatin1(tags.at(next))) : QString()));
            break;
        case Section::Vessel:
            if (split(n, line, m_ices ? Ices::VesselFields : 29, "vessel", &f))
                vessel(n, f);
            else
                ++m_vessels;
            break;
        case Section::Cargo:
            if (split(n, line, m_ices ? Ices::CargoFields : 39, "cargo", &f))
                cargo(n, f);
            break;
        case Section::Container:
            if (split(n, line, m_ices ? Ices::ContainerFields : 15, "container", &f))
                container(n, f);
            break;
        }
    }
    if (next <= manifestEnd)
        error(0, QString(), QStringLiteral("The file ends before %1.").arg(QString::fromLatin1(tags.at(next))));
    if (!trailerSeen)
        error(0, QStringLiteral("trailer"), QStringLiteral("The file has no trailer."));
    finish();
    return m_report;
}

} // namespace

CheckReport CheckIgmData(const QByteArray &data, const CodeLists *codes)
{
    return Checker(codes).run(data);
}

CheckReport CheckIgmFile(const QString &path, const CodeLists *codes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        CheckReport r;
        r.findings.append({CheckFinding::Severity::Error, 0, QString(),
                           QStringLiteral("Cannot read %1: %2").arg(path, file.errorString())});
        return r;
    }
    return CheckIgmData(file.readAll(), codes);
}

} // namespace quarl::igm
