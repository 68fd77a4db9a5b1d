#include "sam/samcheck.h"

#include "core/installation.h"
#include "json/jsonsplitreader.h"
#include "json/jsontext.h"
#include "json/jsonvalues.h"
#include "manifest/containernumber.h"
#include "sam/samfields.h"
#include "sam/samheader.h"
#include "sam/samscenarios.h"
#include "store/database.h"

#include <nlohmann/json.hpp>

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>

namespace quarl::igm {

namespace {

using namespace JsonValues;

using Severity = Finding::Severity;

const QList<SamRule> Rules = {
    {"json", "the file is JSON, with no key twice in one object"},
    {"schema", "every key, type, width, form and code list of the SAM schema"},
    {"file-name", "the file name F_SACHM23_SAM_<user id>_<job no>_<date>_DEC.json agrees with the header"},
    {"header", "the header's receiver and event agree with the declaration reference"},
    {"line-total", "the voyage's total of lines is the number of lines in the file"},
    {"equipment-total", "the voyage's total of containers is the number in its list of containers"},
    {"voyage-equipment", "every container of a line is in the voyage's list and every one there is on a line"},
    {"house-equipment", "a house B/L's container is among its master line's"},
    {"duplicate-equipment", "no container twice in the voyage's list or on one line"},
    {"equipment-sequence", "container sequence numbers are not repeated"},
    {"empty-equipment", "an empty container has weight 0 and 1 package"},
    {"equipment-kind", "a container (CN) has its ISO code and agent code, a loaded one its weight; a full container ship carries containers only"},
    {"container-number", "ISO 6346 check digit of the container number (warning)"},
    {"line-packages", "the containers' packages add up to the line's (warning for LCL)"},
    {"item-packages", "the items' packages add up to the line's, in the line's package type"},
    {"house-packages", "the house B/Ls' packages add up to their master line's, and no house holds more than its master"},
    {"duplicate-hs", "no HS code twice among a line's items"},
    {"scenario", "the parts each line needs, and may not have, for its cargo type, B/L kind, earlier declaration and movement"},
    {"pan", "PAN numbers in the form AAAAA9999A"},
    {"party-code", "the consignee's, shipper's and notify party's codes: a known type, and IEC, PAN or GSTIN in its form"},
    {"parties", "an Indian consignee's state code and PIN (warnings)"},
    {"line-number", "line numbers and B/L numbers not repeated, sub-line numbers not repeated under a line"},
    {"bl-date", "no B/L date after the vessel's arrival"},
    {"itinerary", "the port of reporting at call sequence 0, sequences not repeated, a next port of call"},
    {"movement", "the port before the port of reporting is foreign for FI and Indian for II (warning)"},
    {"imo-number", "the IMO number's check digit"},
    {"first-port", "the first port of entry is the port of reporting"},
    {"receipt-port", "LC lines are received at the port of reporting, TI lines elsewhere"},
    {"route", "each route leg goes from one port to another, its sequence not repeated, and the route reaches the port of reporting"},
    {"dangerous-goods", "UNO ZZZZZ with IMO class ZZZ, a known UN number with its class"},
    {"units", "the unit of volume LTR or USG (warning)"},
    {"consolidator", "a master line's consolidator PAN is the submitter's (warning)"},
    {"ports", "every port code in the company's port master"},
    {"codes", "package types, UN numbers and countries in the company's masters"},
};

bool isRule(const char *id)
{
    return std::any_of(Rules.begin(), Rules.end(), [id](const SamRule &r) { return qstrcmp(r.id, id) == 0; });
}

QString shown(const QString &value)
{
    return value.size() > 40 ? value.left(37) + QStringLiteral("...") : value;
}

const QRegularExpression PanForm(QStringLiteral("^[A-Z]{5}[0-9]{4}[A-Z]$"));
const QRegularExpression IecForm(QStringLiteral("^[A-Z0-9]{10}$"));
const QRegularExpression GstinForm(QStringLiteral("^[0-9]{2}[A-Z]{5}[0-9]{4}[A-Z][1-9A-Z]Z[0-9A-Z]$"));
const QRegularExpression PinForm(QStringLiteral("^[1-9][0-9]{5}$"));
const QRegularExpression FileNameForm(
    QStringLiteral("^F_SACHM23_SAM_(.+)_([0-9]+)_([0-9]{8})_DEC\\.json$"), QRegularExpression::CaseInsensitiveOption);

// "line 2 (B/L MSCSIN0002)": a master line as the findings about its house B/Ls name it.
QString lineNamed(qint64 lineNo, const QString &blNo)
{
    return blNo.isEmpty() ? QStringLiteral("line %1").arg(lineNo) : QStringLiteral("line %1 (B/L %2)").arg(lineNo).arg(blNo);
}

QString capitalised(QString s)
{
    if (!s.isEmpty())
        s[0] = s[0].toUpper();
    return s;
}

// "house B/L HBL1": a house as the findings name it.
QString houseNamed(const QString &blNo)
{
    return blNo.isEmpty() ? QStringLiteral("the house B/L") : QStringLiteral("house B/L ") + blNo;
}

bool isPan(const QString &s)
{
    return PanForm.match(s).hasMatch();
}

bool isIndian(const QString &port)
{
    return port.startsWith(QLatin1String("IN"));
}

// The port a code names: custodian and terminal codes are the port's code and four more.
QString portOf(const QString &code)
{
    return code.size() == 10 && isIndian(code) ? code.left(6) : code;
}

// A count read as a number, kept within what sums of counts can hold.
qint64 whole(double d)
{
    constexpr double Most = 1e15;
    return std::isfinite(d) ? qint64(std::clamp(d, -Most, Most)) : 0;
}

// The date of the first eight digits of a text; an invalid date when they are not digits
// or no day of the calendar.
QDate dateOf(const QString &yyyymmdd)
{
    if (yyyymmdd.size() < 8)
        return {};
    int n[8];
    for (int i = 0; i < 8; ++i) {
        const char16_t c = yyyymmdd.at(i).unicode();
        if (c < u'0' || c > u'9')
            return {};
        n[i] = c - u'0';
    }
    return QDate(n[0] * 1000 + n[1] * 100 + n[2] * 10 + n[3], n[4] * 10 + n[5], n[6] * 10 + n[7]);
}

bool validImo(const QString &imo)
{
    if (imo.size() != 7 || !std::all_of(imo.begin(), imo.end(), [](QChar c) { return c.isDigit(); }))
        return false;
    int sum = 0;
    for (int i = 0; i < 6; ++i)
        sum += imo.at(i).digitValue() * (7 - i);
    return sum % 10 == imo.at(6).digitValue();
}

// Where a finding is: the line and, under it, the house B/L.
struct Place
{
    qint64 lineNo = 0;
    qint64 subLineNo = 0;
    QString blNo;
    bool voyageList = false;
};

// What a line or house B/L is held to against the voyage's header.
struct LineNote
{
    Place place;
    QString path;
    QString blDate;
    QString movement;
    QString cargoType;
    QString firstPort;
    QString receiptPort;
    QString destination;
    QString consolidatorPan;
    QStringList routePorts; // the ports the route legs go from and to
    bool master = true;
};

// What the lines are held to from the voyage's header, known before the first line.
struct VoyageFacts
{
    QString reporting;
    QDate arrival;
    QString submitter;
};

VoyageFacts factsOf(const Json &top)
{
    const Json &master = child(top, "master");
    VoyageFacts f;
    f.reporting = text(child(master, "decRef"), "prtofRptng");
    f.arrival = dateOf(text(child(master, "voyageDtls"), "exptdDtAndTimeOfArvl"));
    f.submitter = text(child(master, "authPrsn"), "sbmtrCd");
    return f;
}

// Where a container stands on a master line.
struct BoxOnLine
{
    qint64 lineNo;
    QString blNo;
    quint32 line; // the line's place in the file
    quint32 box;
};

// What the check keeps of the lines to compare them with one another and with the voyage's
// list: as much as the gateway takes (99,999 lines, 99,999 containers) and a little more;
// a file beyond is in error for its totals, and its further lines are checked each alone.
constexpr qsizetype MostTracked = 100000;
constexpr qsizetype MostBoxesOnLines = 5 * MostTracked;
constexpr qsizetype LongestTrackedKey = 64; // a B/L or container number longer is in error itself

class Checker
{
public:
    using Facts = std::function<VoyageFacts()>;
    Checker(const JsonSchema &schema, const SamCheckOptions &options, Facts facts)
        : m_schema(schema), m_options(options), m_facts(std::move(facts))
    {
        m_lineSchema = schema.at(schema.root(), {QStringLiteral("master"), QStringLiteral("mastrCnsgmtDec"), QStringLiteral("[]")});
        m_boxSchema = schema.at(schema.root(), {QStringLiteral("master"), QStringLiteral("voyageTransportEquipment"), QStringLiteral("[]")});
    }

    bool line(size_t index, Json &&element);
    bool voyageBox(size_t index, Json &&element);
    void document(const Json &top);
    // A finding about the file itself, before the document's.
    void fileFinding(const QString &path, const QString &field, qint64 fileLine, const QString &what)
    {
        m_phase = 0;
        add(Severity::Error, "json", Place(), path, field, what, fileLine);
    }
    void countMore(qint64 errors) { report.errorCount += errors; }
    // The report, its findings listed in order.
    SamCheckReport finish();

    SamCheckReport report;

private:
    // The order findings are listed in: the voyage, then line by line, then the voyage's
    // list; on a line what is found reading it, then what its containers lack in the
    // voyage's list, then what its header finds; else as they were found.
    struct Key
    {
        int group;
        qint64 lineNo;
        qint64 subLineNo;
        int phase;
        qint64 seq;
        bool operator<(const Key &o) const
        {
            return std::tie(group, lineNo, subLineNo, phase, seq) < std::tie(o.group, o.lineNo, o.subLineNo, o.phase, o.seq);
        }
    };
    struct Kept
    {
        Key key;
        Finding finding;
        bool operator<(const Kept &o) const { return key < o.key; }
    };
    Key keyOf(const Place &place) const
    {
        return {place.voyageList ? 2 : (place.lineNo > 0 ? 1 : 0), place.lineNo, place.subLineNo, m_phase, m_seq};
    }
    // Whether a finding at this place would be listed: the list keeps the first of them in
    // order, and counts the rest.
    bool listable(const Place &place) const
    {
        return qsizetype(m_kept.size()) < SamCheckReport::MostListed || keyOf(place) < m_kept.front().key;
    }
    void count(Severity severity) { ++(severity == Severity::Error ? report.errorCount : report.warningCount); }

    void add(Severity severity, const char *rule, const Place &place, const QString &path, const QString &field,
             const QString &what, qint64 fileLine = 0)
    {
        Q_ASSERT(isRule(rule));
        count(severity);
        if (!listable(place)) {
            ++m_seq;
            return;
        }
        Kept k;
        k.key = keyOf(place);
        ++m_seq;
        Finding &f = k.finding;
        f.severity = severity;
        f.rule = QLatin1String(rule);
        f.fileLine = fileLine;
        f.lineNo = place.lineNo;
        f.subLineNo = place.subLineNo;
        f.blNo = place.blNo;
        f.voyageList = place.voyageList;
        f.field = field;
        f.path = path;
        f.text = what;
        m_kept.push_back(std::move(k));
        std::push_heap(m_kept.begin(), m_kept.end());
        if (qsizetype(m_kept.size()) > SamCheckReport::MostListed) {
            std::pop_heap(m_kept.begin(), m_kept.end());
            m_kept.pop_back();
        }
    }
    void error(const char *rule, const Place &place, const QString &path, const QString &field, const QString &what)
    {
        add(Severity::Error, rule, place, path, field, what);
    }
    void warning(const char *rule, const Place &place, const QString &path, const QString &field, const QString &what)
    {
        add(Severity::Warning, rule, place, path, field, what);
    }

    // The schema's failures of a value at rootPath, as they are found: of a line, of a
    // container of the voyage's list (named by its number) or of the document.
    void schemaFindings(const Json &value, const SchemaNode *node, const QString &rootPath, const Place &place,
                        bool voyageBox = false);
    Place placeOf(const Json &root, const QString &rootPath, const QString &pointer, const Place &linePlace) const;

    void masterLine(const Json &l, const QString &path, const Place &place, LineNote &note, quint32 index);
    void house(const Json &h, const QString &path, const Place &place, const Place &masterPlace, const Json &master,
               const QSet<QString> &masterBoxes);
    void scenario(const Json &part, const QString &path, const Place &place, bool isHouse, const Json *masterLocations);
    void parties(const Json &doc, const QString &path, const Place &place);
    void partyCode(const Json &doc, const QString &path, const Place &place, const char *codeKey, const char *typeKey,
                   const QString &label);
    // The containers of a line (path the line's), or one of the voyage's list (path its own).
    QSet<QString> equipment(const Json *boxes, size_t count, const QString &path, const Place &place, qint64 *fullPackages,
                            bool *anyLcl, bool voyageLevel);
    void items(const Json &part, const QString &path, const Place &place);
    void route(const Json &part, const QString &path, const Place &place, LineNote *note);
    // What a line or house B/L is held to against the voyage's header.
    void againstTheVoyage(const LineNote &n);
    // A code looked up in a master: the path and label are made only for a finding.
    void port(const Place &place, const QString &base, const char *parent, const char *key, const QString &code);
    void codeIn(const QSet<QString> *master, const Place &place, const QString &base, const char *parent, const char *key,
                const QString &code, const char *what, const char *rule = "codes");

    const CodeLists *codes() const { return m_options.masters ? &m_options.masters->codes : nullptr; }
    // A list of the masters, when the database keeps it.
    const QSet<QString> *masterList(QSet<QString> SamMasters::*which) const
    {
        return m_options.masters && !(m_options.masters->*which).isEmpty() ? &(m_options.masters->*which) : nullptr;
    }
    static bool trackable(const QString &key) { return key.size() <= LongestTrackedKey; }

    const JsonSchema &m_schema;
    const SamCheckOptions &m_options;
    Facts m_facts;
    std::optional<VoyageFacts> m_voyage; // read at the first line
    const SchemaNode *m_lineSchema = nullptr;
    const SchemaNode *m_boxSchema = nullptr;

    std::vector<Kept> m_kept; // the findings listed: a heap, the last in order on top
    qint64 m_seq = 0;
    int m_phase = 0;

    QHash<QString, QList<BoxOnLine>> m_lineBoxes; // container -> where it stands on master lines
    qsizetype m_boxesOnLines = 0;
    QHash<QString, size_t> m_voyageBoxes;         // container -> its place in the voyage's list
    QHash<qint64, quint32> m_lineNumbers;         // line number -> place of its first line
    QHash<QString, quint32> m_blNumbers;          // B/L number -> place of its line
    QSet<qint64> m_voyageSequences;
    bool m_untrackedLines = false; // lines beyond what is kept, compared with no other
    bool m_untrackedBoxes = false;
    bool m_nonContainer = false;
    QString m_nonContainerPath;
};

QString fieldLabel(const QString &pointer, const QString &property = {})
{
    // The last two keys, places in lists left out: the property, then the pointer's from its end.
    QStringView keys[2];
    int found = 0;
    if (!property.isEmpty())
        keys[found++] = property;
    qsizetype end = pointer.size();
    while (found < 2 && end > 0) {
        const qsizetype slash = pointer.lastIndexOf(QLatin1Char('/'), end - 1);
        const QStringView token = QStringView(pointer).mid(slash + 1, end - slash - 1);
        end = std::max<qsizetype>(slash, 0);
        bool numeric = false;
        (void)token.toLongLong(&numeric);
        if (!token.isEmpty() && !numeric)
            keys[found++] = token;
    }
    if (found == 0)
        return QStringLiteral("the file");
    return samFieldLabel(found > 1 ? keys[1].toString() : QString(), keys[0].toString());
}

QString typeWords(const QString &types)
{
    QStringList words;
    for (const QString &t : types.split(QStringLiteral(" or "))) {
        if (t == QLatin1String("string"))
            words << QStringLiteral("text");
        else if (t == QLatin1String("integer"))
            words << QStringLiteral("a whole number");
        else if (t == QLatin1String("number"))
            words << QStringLiteral("a number");
        else if (t == QLatin1String("object"))
            words << QStringLiteral("a group of fields");
        else if (t == QLatin1String("array"))
            words << QStringLiteral("a list");
        else
            words << t;
    }
    return words.join(QStringLiteral(" or "));
}

// " on item 2", " on container MSCU1234566", ...: the element of a list the pointer is in.
QString elementWords(const Json &root, const QString &rootPath, const QString &pointer)
{
    const QStringList tokens = pointer.mid(rootPath.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString words;
    const Json *at = &root;
    for (int i = 0; i + 1 < tokens.size() && at; ++i) {
        const QString &key = tokens.at(i);
        const Json *next = member(*at, key.toUtf8().constData());
        if (!next || !next->is_array())
            { at = next; continue; }
        bool numeric = false;
        const qint64 k = tokens.at(i + 1).toLongLong(&numeric);
        if (!numeric || k < 0 || size_t(k) >= next->size())
            break;
        const Json &e = (*next)[size_t(k)];
        if (key == QLatin1String("itemDtls"))
            words = QStringLiteral(" on item %1").arg(k + 1);
        else if (key == QLatin1String("trnsprtEqmt") || key == QLatin1String("voyageTransportEquipment")) {
            const QString id = text(e, key == QLatin1String("trnsprtEqmt") ? "eqmtId" : "equipmentId");
            words = id.isEmpty() ? QStringLiteral(" on container %1").arg(k + 1) : QStringLiteral(" on container %1").arg(id);
        } else if (key == QLatin1String("itnry"))
            words = QStringLiteral(" on route leg %1").arg(k + 1);
        else if (key == QLatin1String("shipItnry")) {
            const QString port = text(e, "prtOfCallCdd");
            words = port.isEmpty() ? QStringLiteral(" on port of call %1").arg(k + 1)
                                   : QStringLiteral(" on port of call %1").arg(port);
        }
        at = &e;
        ++i;
    }
    return words;
}

QString failureWords(const SchemaFailure &f, const QString &label)
{
    if (f.keyword == QLatin1String("required"))
        return QStringLiteral("%1 missing").arg(label);
    if (f.keyword == QLatin1String("type"))
        return QStringLiteral("%1 should be %2, not %3").arg(label, typeWords(f.expected), shown(f.found));
    if (f.keyword == QLatin1String("minLength"))
        return f.length == 0 ? QStringLiteral("%1 missing").arg(label)
                             : QStringLiteral("%1 \"%2\" is shorter than %3 characters").arg(label, shown(f.found), f.expected);
    if (f.keyword == QLatin1String("maxLength"))
        return QStringLiteral("%1 is longer than %2 characters (it has %3)").arg(label, f.expected).arg(f.length);
    if (f.keyword == QLatin1String("pattern"))
        return f.found.isEmpty() ? QStringLiteral("%1 missing").arg(label)
                                 : QStringLiteral("%1 \"%2\" is not %3").arg(label, shown(f.found), f.expected);
    if (f.keyword == QLatin1String("minimum"))
        return QStringLiteral("%1 %2 is less than %3").arg(label, f.found, f.expected);
    if (f.keyword == QLatin1String("maximum"))
        return QStringLiteral("%1 %2 is more than %3").arg(label, f.found, f.expected);
    if (f.keyword == QLatin1String("enum"))
        return f.found.isEmpty() ? QStringLiteral("%1 missing").arg(label)
                                 : QStringLiteral("%1 \"%2\" is not one of %3").arg(label, shown(f.found), f.expected);
    return QStringLiteral("%1: %2").arg(label, f.keyword);
}

Place Checker::placeOf(const Json &root, const QString &rootPath, const QString &pointer, const Place &linePlace) const
{
    Place p = linePlace;
    static const QString houses = QStringLiteral("/houseCargoDec/");
    const qsizetype at = pointer.indexOf(houses, rootPath.size());
    if (at < 0)
        return p;
    bool numeric = false;
    const qint64 k = pointer.mid(at + houses.size()).section(QLatin1Char('/'), 0, 0).toLongLong(&numeric);
    const Json &hs = list(root, "houseCargoDec");
    if (!numeric || k < 0 || size_t(k) >= hs.size())
        return p;
    const Json *ref = object(hs[size_t(k)], "HCRef");
    p.subLineNo = ref ? text(*ref, "subLineNo").toLongLong() : 0;
    if (p.subLineNo <= 0)
        p.subLineNo = k + 1;
    p.blNo = ref ? text(*ref, "blNo") : QString();
    return p;
}

void Checker::schemaFindings(const Json &value, const SchemaNode *node, const QString &rootPath, const Place &place,
                             bool voyageBox)
{
    m_schema.validate(value, node, rootPath.toStdString(), [&](SchemaFailure &&f) {
        const QString path = f.keyword == QLatin1String("required") ? f.pointer + QLatin1Char('/') + pointerToken(f.property)
                                                                     : f.pointer;
        const Place at = voyageBox ? place : placeOf(value, rootPath, path, place);
        if (!listable(at)) {
            // counted only: its words are never read
            count(Severity::Error);
            ++m_seq;
            return;
        }
        const QString label = fieldLabel(f.pointer, f.property);
        QString words = failureWords(f, label);
        if (voyageBox) {
            const QString id = text(value, "equipmentId");
            if (!id.isEmpty())
                words += QStringLiteral(" on container %1").arg(id);
        } else {
            words += elementWords(value, rootPath, path);
        }
        error("schema", at, path, label, words);
    });
}

void Checker::codeIn(const QSet<QString> *master, const Place &place, const QString &base, const char *parent,
                     const char *key, const QString &code, const char *what, const char *rule)
{
    if (!master || code.isEmpty() || master->contains(code.toUpper()))
        return;
    const QString field = samFieldLabel(QLatin1String(parent), QLatin1String(key));
    error(rule, place, base + QLatin1Char('/') + QLatin1String(key), field,
          QStringLiteral("%1 \"%2\" is not in the %3 master").arg(field, code, QLatin1String(what)));
}

void Checker::port(const Place &place, const QString &base, const char *parent, const char *key, const QString &code)
{
    if (codes())
        codeIn(&codes()->ports, place, base, parent, key, portOf(code), "port", "ports");
}

bool Checker::line(size_t index, Json &&l)
{
    if (!m_voyage)
        m_voyage = m_facts ? m_facts() : VoyageFacts();
    ++report.lines;
    const QString path = QStringLiteral("/master/mastrCnsgmtDec/%1").arg(index);
    Place place;
    const Json *ref = object(l, "MCRef");
    place.lineNo = ref ? text(*ref, "lineNo").toLongLong() : 0;
    place.blNo = ref ? text(*ref, "mstrBlNo") : QString();
    if (place.lineNo <= 0)
        place.lineNo = qint64(index) + 1;
    m_phase = 0;
    schemaFindings(l, m_lineSchema, path, place);
    if (!l.is_object())
        return true;
    LineNote note;
    note.place = place;
    note.path = path;
    masterLine(l, path, place, note, quint32(std::min<size_t>(index, std::numeric_limits<quint32>::max())));
    return true;
}

void Checker::masterLine(const Json &l, const QString &path, const Place &place, LineNote &lineNote, quint32 index)
{
    LineNote *note = &lineNote;
    auto linePath = [](quint32 at) { return QStringLiteral("/master/mastrCnsgmtDec/%1").arg(at); };
    if (const Json *ref = object(l, "MCRef")) {
        const QString lineNo = text(*ref, "lineNo");
        if (!lineNo.isEmpty()) {
            const auto seen = m_lineNumbers.constFind(place.lineNo);
            if (seen != m_lineNumbers.constEnd())
                error("line-number", place, path + QStringLiteral("/MCRef/lineNo"), samFieldLabel(QStringLiteral("MCRef"), QStringLiteral("lineNo")),
                      QStringLiteral("Line number %1 is given to two lines (also at %2)").arg(place.lineNo).arg(linePath(seen.value())));
            else if (m_lineNumbers.size() < MostTracked)
                m_lineNumbers.insert(place.lineNo, index);
            else
                m_untrackedLines = true;
        }
        if (!place.blNo.isEmpty() && trackable(place.blNo)) {
            const auto seen = m_blNumbers.constFind(place.blNo);
            if (seen != m_blNumbers.constEnd())
                error("line-number", place, path + QStringLiteral("/MCRef/mstrBlNo"), samFieldLabel(QStringLiteral("MCRef"), QStringLiteral("mstrBlNo")),
                      QStringLiteral("B/L No. %1 stands on two lines (also at %2)").arg(place.blNo, linePath(seen.value())));
            else if (m_blNumbers.size() < MostTracked)
                m_blNumbers.insert(place.blNo, index);
            else
                m_untrackedLines = true;
        }
        note->blDate = text(*ref, "mstrBlDt");
        note->consolidatorPan = text(*ref, "consolidatorPan");
        QString pan = note->consolidatorPan;
        if (pan.startsWith(QLatin1String("PAN:")))
            pan = pan.mid(4);
        if (!pan.isEmpty() && !isPan(pan))
            error("pan", place, path + QStringLiteral("/MCRef/consolidatorPan"), samFieldLabel(QStringLiteral("MCRef"), QStringLiteral("consolidatorPan")),
                  QStringLiteral("Consolidator PAN \"%1\" is not a PAN of the form AAAAA9999A").arg(shown(note->consolidatorPan)));
    }
    const Json *loc = object(l, "locCstm");
    if (loc) {
        note->movement = text(*loc, "crgoMvmt");
        note->cargoType = text(*loc, "typOfCrgo");
        note->firstPort = text(*loc, "firstPrtOfEntry");
        note->destination = text(*loc, "destPrt");
        if (codes()) {
            for (const char *k : {"firstPrtOfEntry", "destPrt", "nxtPrtOfUnlading"})
                port(place, path + QStringLiteral("/locCstm"), "locCstm", k, text(*loc, k));
        }
    }
    if (const Json *doc = object(l, "trnsprtDoc")) {
        note->receiptPort = text(*doc, "prtOfReceiptCdd");
        parties(*doc, path + QStringLiteral("/trnsprtDoc"), place);
    }
    scenario(l, path, place, false, loc);
    qint64 fullPackages = 0;
    bool anyLcl = false;
    const Json &eq = list(l, "trnsprtEqmt");
    const QSet<QString> boxes = equipment(eq.empty() ? nullptr : &eq[0], eq.size(), path, place, &fullPackages, &anyLcl, false);
    for (size_t k = 0; k < eq.size(); ++k) {
        const QString id = text(eq[k], "eqmtId");
        if (id.isEmpty() || !trackable(id))
            continue;
        auto it = m_lineBoxes.find(id);
        if (m_boxesOnLines >= MostBoxesOnLines || (it == m_lineBoxes.end() && m_lineBoxes.size() >= MostTracked)) {
            m_untrackedBoxes = true;
            continue;
        }
        if (it == m_lineBoxes.end())
            it = m_lineBoxes.insert(id, {});
        it->append({place.lineNo, place.blNo, index, quint32(std::min<size_t>(k, std::numeric_limits<quint32>::max()))});
        ++m_boxesOnLines;
    }
    items(l, path, place);
    route(l, path, place, note);

    const Json *msr = object(l, "trnsprtDocMsr");
    const std::optional<double> pkgsGiven = msr ? number(*msr, "nmbrOfPkgs") : std::nullopt;
    const bool hasPkgs = pkgsGiven.has_value();
    const qint64 pkgs = whole(pkgsGiven.value_or(0));
    const bool containerised = !boxes.isEmpty();
    if (hasPkgs && containerised && fullPackages > 0 && pkgs != fullPackages) {
        const QString what = QStringLiteral("The containers hold %1 packages, the line %2").arg(fullPackages).arg(pkgs);
        add(anyLcl ? Severity::Warning : Severity::Error, "line-packages", place, path + QStringLiteral("/trnsprtDocMsr/nmbrOfPkgs"),
            samFieldLabel(QStringLiteral("trnsprtDocMsr"), QStringLiteral("nmbrOfPkgs")), what);
    }

    const Json &houses = list(l, "houseCargoDec");
    qint64 housePackages = 0;
    bool allHouseCounts = true;
    bool houseOverMaster = false;
    QHash<qint64, int> subLines;
    std::vector<LineNote> houseNotes;
    for (size_t k = 0; k < houses.size(); ++k) {
        ++report.houses;
        const QString hpath = path + QStringLiteral("/houseCargoDec/%1").arg(k);
        const Place hplace = placeOf(l, path, hpath, place);
        const Json &h = houses[k];
        if (const Json *ref = object(h, "HCRef"); ref && number(*ref, "subLineNo")) {
            const qint64 sub = whole(*number(*ref, "subLineNo"));
            if (subLines.contains(sub))
                error("line-number", hplace, hpath + QStringLiteral("/HCRef/subLineNo"), samFieldLabel(QStringLiteral("HCRef"), QStringLiteral("subLineNo")),
                      QStringLiteral("Sub-line number %1 is given twice under line %2").arg(sub).arg(place.lineNo));
            subLines[sub]++;
            LineNote hn;
            hn.place = hplace;
            hn.path = hpath;
            hn.master = false;
            hn.blDate = text(*ref, "blDt");
            houseNotes.push_back(std::move(hn));
        }
        const Json *hmsr = object(h, "trnsprtDocMsr");
        const std::optional<double> hp = hmsr ? number(*hmsr, "nmbrOfPkgs") : std::nullopt;
        if (hp)
            housePackages += whole(*hp);
        else
            allHouseCounts = false;
        // A house's packages are a part of its master's: one house holding more is wrong
        // whatever the other houses hold, and is named, even where a house without its count
        // leaves the sum unknown.
        if (hp && hasPkgs && whole(*hp) > pkgs) {
            error("house-packages", hplace, hpath + QStringLiteral("/trnsprtDocMsr/nmbrOfPkgs"),
                  samFieldLabel(QStringLiteral("trnsprtDocMsr"), QStringLiteral("nmbrOfPkgs")),
                  QStringLiteral("%1 holds %2 packages, more than its master, %3, holds: %4")
                      .arg(capitalised(houseNamed(hplace.blNo)), QString::number(whole(*hp)), lineNamed(place.lineNo, place.blNo),
                           QString::number(pkgs)));
            houseOverMaster = true;
        }
        house(h, hpath, hplace, place, l, boxes);
    }
    // The gateway wants the houses' packages to add up to their master's exactly (its error
    // 225): the master's packages are the consignment's, each package once. Fewer leave
    // packages declared by no house, more declare some twice. Where one house alone holds
    // more than the master, that finding says it and this one would only repeat it.
    if (!houses.empty() && allHouseCounts && hasPkgs && housePackages != pkgs && !houseOverMaster)
        error("house-packages", place, path + QStringLiteral("/trnsprtDocMsr/nmbrOfPkgs"), samFieldLabel(QStringLiteral("trnsprtDocMsr"), QStringLiteral("nmbrOfPkgs")),
              QStringLiteral("The house B/Ls of %1 hold %2 packages, the line %3")
                  .arg(lineNamed(place.lineNo, place.blNo), QString::number(housePackages), QString::number(pkgs)));
    m_phase = 2;
    againstTheVoyage(*note);
    for (const LineNote &hn : houseNotes)
        againstTheVoyage(hn);
    m_phase = 0;
}

void Checker::house(const Json &h, const QString &path, const Place &place, const Place &masterPlace, const Json &master,
                    const QSet<QString> &masterBoxes)
{
    if (!h.is_object())
        return;
    const Json *loc = object(h, "locCstm");
    if (loc) {
        if (codes()) {
            for (const char *k : {"firstPrtOfEntry", "destPrt", "nxtPrtOfUnlading"})
                port(place, path + QStringLiteral("/locCstm"), "locCstm", k, text(*loc, k));
        }
    }
    if (const Json *doc = object(h, "trnsprtDoc"))
        parties(*doc, path + QStringLiteral("/trnsprtDoc"), place);
    if (const Json *ref = object(h, "HCRef")) {
        QString pan = text(*ref, "consolidatorPan");
        if (pan.startsWith(QLatin1String("PAN:")))
            pan = pan.mid(4);
        if (!pan.isEmpty() && !isPan(pan))
            error("pan", place, path + QStringLiteral("/HCRef/consolidatorPan"), samFieldLabel(QStringLiteral("HCRef"), QStringLiteral("consolidatorPan")),
                  QStringLiteral("Consolidator PAN \"%1\" is not a PAN of the form AAAAA9999A").arg(shown(text(*ref, "consolidatorPan"))));
    }
    scenario(h, path, place, true, loc ? loc : object(master, "locCstm"));
    qint64 fullPackages = 0;
    bool anyLcl = false;
    const Json &eq = list(h, "trnsprtEqmt");
    equipment(eq.empty() ? nullptr : &eq[0], eq.size(), path, place, &fullPackages, &anyLcl, false);
    for (size_t k = 0; k < eq.size(); ++k) {
        const QString id = text(eq[k], "eqmtId");
        if (!id.isEmpty() && !masterBoxes.contains(id))
            error("house-equipment", place, path + QStringLiteral("/trnsprtEqmt/%1/eqmtId").arg(k), samFieldLabel(QStringLiteral("trnsprtEqmt"), QStringLiteral("eqmtId")),
                  QStringLiteral("Container %1 of %2 is not among the containers of its master, %3")
                      .arg(id, houseNamed(place.blNo), lineNamed(masterPlace.lineNo, masterPlace.blNo)));
    }
    items(h, path, place);
    LineNote ignored;
    route(h, path, place, &ignored);
}

void Checker::scenario(const Json &part, const QString &path, const Place &place, bool isHouse, const Json *locations)
{
    const Json *ref = object(part, isHouse ? "HCRef" : "MCRef");
    if (!ref)
        return; // the schema has said what is missing
    const char *kindOfPart = isHouse ? "house B/L" : "line";
    if (!locations) {
        // every scenario asks for them: their cargo type and movement say which it is
        const QString label = samFieldLabel(QStringLiteral("mastrCnsgmtDec"), QStringLiteral("locCstm"));
        error("scenario", place, path + QStringLiteral("/locCstm"), label,
              QStringLiteral("%1 missing: every %2 needs them, for its cargo type and movement").arg(label, QLatin1String(kindOfPart)));
        return;
    }
    const QString kind = text(*ref, "consolidatedIndctr");
    const QString previous = text(*ref, "prevDec");
    const QString type = text(*locations, "typOfCrgo");
    const QString movement = text(*locations, "crgoMvmt");
    if (kind.isEmpty() || previous.isEmpty() || type.isEmpty() || movement.isEmpty())
        return;
    const QString key = QStringList{type, kind, previous, movement}.join(QLatin1Char(' '));
    const ScenarioNeeds *s = findScenario(isHouse, key);
    auto described = [&] {
        return QStringLiteral("cargo type %1, B/L kind %2, earlier declaration %3, movement %4").arg(type, kind, previous, movement);
    };
    if (!s || !s->possible) {
        error("scenario", place, path + (isHouse ? QStringLiteral("/HCRef/consolidatedIndctr") : QStringLiteral("/MCRef/consolidatedIndctr")),
              samFieldLabel(isHouse ? QStringLiteral("HCRef") : QStringLiteral("MCRef"), QStringLiteral("consolidatedIndctr")),
              QStringLiteral("The gateway takes no %1 with %2").arg(QLatin1String(kindOfPart), described()));
        return;
    }
    for (const ScenarioObject &o : ScenarioObjects) {
        if (!o.key)
            continue;
        const bool needs = s->objects.contains(isHouse ? o.house : o.master);
        const Json *m = member(part, o.key);
        const bool present = m && !(m->is_array() && m->empty()) && !(m->is_object() && m->empty());
        if (needs == present && (needs || !m))
            continue;
        const QString label = samFieldLabel(isHouse ? QStringLiteral("houseCargoDec") : QStringLiteral("mastrCnsgmtDec"), QLatin1String(o.key));
        const QString objectPath = path + QLatin1Char('/') + QLatin1String(o.key);
        if (needs)
            error("scenario", place, objectPath, label,
                  QStringLiteral("%1 missing: a %2 with %3 needs them").arg(label, QLatin1String(kindOfPart), described()));
        else
            error("scenario", place, objectPath, label,
                  QStringLiteral("%1 should not be there: a %2 with %3 does not carry them").arg(label, QLatin1String(kindOfPart), described()));
    }
    if (!isHouse) {
        const bool hasHouses = !list(part, "houseCargoDec").empty();
        if (kind == QLatin1String("C") && !hasHouses)
            error("scenario", place, path + QStringLiteral("/houseCargoDec"), samFieldLabel(QStringLiteral("mastrCnsgmtDec"), QStringLiteral("houseCargoDec")),
                  QStringLiteral("%1 is consolidated (C) but declares no house B/L").arg(capitalised(lineNamed(place.lineNo, place.blNo))));
        else if (kind != QLatin1String("C") && hasHouses)
            error("scenario", place, path + QStringLiteral("/houseCargoDec"), samFieldLabel(QStringLiteral("mastrCnsgmtDec"), QStringLiteral("houseCargoDec")),
                  QStringLiteral("Only a consolidated line (C) has house B/Ls; this one is %1").arg(kind));
    }
}

void Checker::partyCode(const Json &doc, const QString &path, const Place &place, const char *codeKey, const char *typeKey,
                        const QString &who)
{
    const QString code = text(doc, codeKey);
    QString type = text(doc, typeKey);
    const QString codePath = path + QLatin1Char('/') + QLatin1String(codeKey);
    const QString codeLabel = samFieldLabel(QStringLiteral("trnsprtDoc"), QLatin1String(codeKey));
    if (code.isEmpty() && type.isEmpty())
        return;
    if (code.isEmpty()) {
        error("party-code", place, codePath, codeLabel, QStringLiteral("%1 missing: the %2's code type %3 is given").arg(codeLabel, who, type));
        return;
    }
    if (type.isEmpty() && qstrcmp(codeKey, "panOfNotfdParty") == 0)
        type = QStringLiteral("PAN");
    const QString typePath = path + QLatin1Char('/') + QLatin1String(typeKey);
    const QString typeLabel = samFieldLabel(QStringLiteral("trnsprtDoc"), QLatin1String(typeKey));
    if (type.isEmpty()) {
        error("party-code", place, typePath, typeLabel, QStringLiteral("%1 missing: say whether %2 is an IEC, PAN or GSTIN").arg(typeLabel, code));
        return;
    }
    bool good = true;
    QString form;
    const char *rule = "party-code";
    if (type == QLatin1String("PAN")) {
        good = isPan(code);
        form = QStringLiteral("a PAN of the form AAAAA9999A");
        rule = "pan";
    } else if (type == QLatin1String("IEC")) {
        good = IecForm.match(code).hasMatch();
        form = QStringLiteral("an IEC of 10 letters and digits");
    } else if (type == QLatin1String("GSN")) {
        good = GstinForm.match(code).hasMatch();
        form = QStringLiteral("a GSTIN of 15 characters (state code, PAN, entity, Z, check character)");
    } else if (type == QLatin1String("GSD") || type == QLatin1String("GSG")) {
        good = code.size() == 15;
        form = QStringLiteral("a GSTIN of 15 characters");
    } else {
        const QSet<QString> *types = masterList(&SamMasters::codeTypes);
        if (!types || !types->contains(type))
            warning("party-code", place, typePath, typeLabel,
                    QStringLiteral("%1 \"%2\" is not a code type Quarl knows (IEC, PAN, GSN, GSD, GSG)").arg(typeLabel, type));
        return;
    }
    if (!good)
        error(rule, place, codePath, codeLabel, QStringLiteral("%1 \"%2\" is not %3").arg(codeLabel, shown(code), form));
}

void Checker::parties(const Json &doc, const QString &path, const Place &place)
{
    partyCode(doc, path, place, "cnsgnesCd", "typOfCd", QStringLiteral("importer"));
    partyCode(doc, path, place, "cnsgnrsCd", "cnsgnrCdTyp", QStringLiteral("shipper"));
    partyCode(doc, path, place, "panOfNotfdParty", "typOfNotfdPartyCd", QStringLiteral("notify party"));
    if (codes()) {
        for (const char *k : {"prtOfAcptCdd", "prtOfReceiptCdd"})
            port(place, path, "trnsprtDoc", k, text(doc, k));
    }
    if (const QSet<QString> *countries = masterList(&SamMasters::countries)) {
        for (const char *k : {"cnsgnrCntryCd", "cnsgneCntryCd", "notfdPartyCntryCd"})
            codeIn(countries, place, path, "trnsprtDoc", k, text(doc, k), "country");
    }
    if (text(doc, "cnsgneCntryCd") == QLatin1String("IN")) {
        const QString state = text(doc, "cnsgneCntrySubDiv");
        const int stateNo = state.toInt();
        const QString stateLabel = samFieldLabel(QStringLiteral("trnsprtDoc"), QStringLiteral("cnsgneCntrySubDiv"));
        if (state.isEmpty())
            warning("parties", place, path + QStringLiteral("/cnsgneCntrySubDiv"), stateLabel,
                    QStringLiteral("%1 missing for an importer in India").arg(stateLabel));
        else if (const QSet<QString> *states = masterList(&SamMasters::states); states ? !states->contains(state)
                                                                                    : state.size() != 2 || stateNo < 1 || stateNo > 38)
            error("parties", place, path + QStringLiteral("/cnsgneCntrySubDiv"), stateLabel,
                  QStringLiteral("%1 \"%2\" is not an Indian state code").arg(stateLabel, state));
        const QString pin = text(doc, "cnsgnePstcd");
        const QString pinLabel = samFieldLabel(QStringLiteral("trnsprtDoc"), QStringLiteral("cnsgnePstcd"));
        if (pin.isEmpty())
            warning("parties", place, path + QStringLiteral("/cnsgnePstcd"), pinLabel, QStringLiteral("%1 missing for an importer in India").arg(pinLabel));
        else if (!PinForm.match(pin).hasMatch())
            error("parties", place, path + QStringLiteral("/cnsgnePstcd"), pinLabel, QStringLiteral("%1 \"%2\" is not a PIN of 6 digits").arg(pinLabel, pin));
    }
}

QSet<QString> Checker::equipment(const Json *boxes, size_t count, const QString &path, const Place &place,
                                 qint64 *fullPackages, bool *anyLcl, bool voyageLevel)
{
    QSet<QString> ids;
    QSet<qint64> sequences;
    const char *listKey = voyageLevel ? "voyageTransportEquipment" : "trnsprtEqmt";
    const char *idKey = voyageLevel ? "equipmentId" : "eqmtId";
    const char *typeKey = voyageLevel ? "equipmentType" : "eqmtTyp";
    const char *statusKey = voyageLevel ? "equipmentLoadStatus" : "eqmtLoadStatus";
    const char *sizeKey = voyageLevel ? "equipmentSize" : "eqmtSize";
    const char *agentKey = voyageLevel ? "containerAgentCode" : "cntrAgntCd";
    const char *weightKey = voyageLevel ? "containerWeight" : "cntrWeight";
    const char *packagesKey = voyageLevel ? "totalNumberOfPackages" : "totalNmbrOfPkgs";
    for (size_t k = 0; k < count; ++k) {
        const Json &b = boxes[k];
        // Paths and labels are made only for a finding: a long voyage has no time to spare.
        auto at = [&](const char *key) {
            return (voyageLevel ? path : path + QStringLiteral("/trnsprtEqmt/%1").arg(k)) + QLatin1Char('/') + QLatin1String(key);
        };
        auto label = [&](const char *key) { return samFieldLabel(QLatin1String(listKey), QLatin1String(key)); };
        const QString id = text(b, idKey);
        auto on = [&] { return id.isEmpty() ? QString() : QStringLiteral(" on container %1").arg(id); };
        if (!voyageLevel) {
            if (!id.isEmpty() && ids.contains(id))
                error("duplicate-equipment", place, at(idKey), label(idKey),
                      QStringLiteral("Container %1 stands twice on this B/L").arg(id));
            if (const auto seq = number(b, "eqmtSeqNo")) {
                if (sequences.contains(whole(*seq)))
                    error("equipment-sequence", place, at("eqmtSeqNo"), label("eqmtSeqNo"),
                          QStringLiteral("Container sequence number %1 is given twice on this B/L").arg(whole(*seq)));
                sequences.insert(whole(*seq));
            }
        }
        if (!id.isEmpty()) {
            ids.insert(id);
            if (!hasValidCheckDigit(id)) {
                if (const QString finding = containerNumberFinding(id); !finding.isEmpty())
                    warning("container-number", place, at(idKey), label(idKey), QStringLiteral("Container No. %1: %2").arg(id, finding));
            }
        }
        const bool empty = is(b, statusKey, "EMP");
        const std::optional<double> weight = number(b, weightKey);
        const std::optional<double> packages = number(b, packagesKey);
        if (empty) {
            if (weight && *weight != 0)
                error("empty-equipment", place, at(weightKey), label(weightKey),
                      QStringLiteral("An empty container weighs 0 for the gateway, not %1%2").arg(text(b, weightKey), on()));
            if (packages && *packages != 1)
                error("empty-equipment", place, at(packagesKey), label(packagesKey),
                      QStringLiteral("An empty container has 1 package for the gateway, not %1%2").arg(text(b, packagesKey), on()));
        } else if (packages) {
            *fullPackages += whole(*packages);
        }
        if (is(b, statusKey, "LCL"))
            *anyLcl = true;
        const char *sealKey = voyageLevel ? "equipmentSealType" : "eqmtSealTyp";
        if (const QSet<QString> *seals = masterList(&SamMasters::sealTypes); seals && has(b, sealKey))
            codeIn(seals, place, voyageLevel ? path : path + QStringLiteral("/trnsprtEqmt/%1").arg(k), listKey, sealKey,
                   text(b, sealKey), "seal type");
        if (is(b, typeKey, "CN")) {
            if (!has(b, sizeKey))
                error("equipment-kind", place, at(sizeKey), label(sizeKey), QStringLiteral("%1 missing%2").arg(label(sizeKey), on()));
            if (!has(b, agentKey))
                error("equipment-kind", place, at(agentKey), label(agentKey), QStringLiteral("%1 missing%2").arg(label(agentKey), on()));
            if (!empty && has(b, statusKey) && (!weight || *weight <= 0))
                error("equipment-kind", place, at(weightKey), label(weightKey),
                      QStringLiteral("%1 missing: a loaded container needs its weight in kilograms%2").arg(label(weightKey), on()));
            if (codes() && has(b, sizeKey))
                codeIn(&codes()->isoCodes, place, voyageLevel ? path : path + QStringLiteral("/trnsprtEqmt/%1").arg(k),
                       listKey, sizeKey, text(b, sizeKey), "ISO size and type");
        } else if (has(b, typeKey) && !m_nonContainer) {
            m_nonContainer = true;
            m_nonContainerPath = at(typeKey);
        }
    }
    return ids;
}

void Checker::items(const Json &part, const QString &path, const Place &place)
{
    const Json &items = list(part, "itemDtls");
    if (items.empty())
        return;
    const Json *msr = object(part, "trnsprtDocMsr");
    const std::optional<double> linePackagesGiven = msr ? number(*msr, "nmbrOfPkgs") : std::nullopt;
    const bool hasLinePackages = linePackagesGiven.has_value();
    const qint64 linePackages = whole(linePackagesGiven.value_or(0));
    const QString lineType = msr ? text(*msr, "typsOfPkgs") : QString();
    qint64 total = 0;
    bool allCounted = true;
    QHash<QString, size_t> hsCodes;
    for (size_t k = 0; k < items.size(); ++k) {
        const Json &it = items[k];
        const QString ipath = path + QStringLiteral("/itemDtls/%1").arg(k);
        auto label = [](const char *key) { return samFieldLabel(QStringLiteral("itemDtls"), QLatin1String(key)); };
        if (const auto p = number(it, "nmbrOfPkgs"))
            total += whole(*p);
        else
            allCounted = false;
        const QString type = text(it, "typOfPkgs");
        if (!type.isEmpty() && !lineType.isEmpty() && type != lineType)
            error("item-packages", place, ipath + QStringLiteral("/typOfPkgs"), label("typOfPkgs"),
                  QStringLiteral("%1 %2 on item %3 differs from the line's %4").arg(label("typOfPkgs"), type).arg(k + 1).arg(lineType));
        const QString hs = text(it, "hsCd");
        if (!hs.isEmpty()) {
            if (hsCodes.contains(hs))
                error("duplicate-hs", place, ipath + QStringLiteral("/hsCd"), label("hsCd"),
                      QStringLiteral("HS code %1 stands on items %2 and %3: one item per HS code").arg(hs).arg(hsCodes.value(hs) + 1).arg(k + 1));
            else
                hsCodes.insert(hs, k);
        }
        const QString uno = text(it, "unoCd");
        const QString imo = text(it, "imdgCd");
        const bool harmlessUno = uno == QLatin1String("ZZZZZ");
        const bool harmlessImo = imo == QLatin1String("ZZZ");
        if (!uno.isEmpty() && !imo.isEmpty() && harmlessUno != harmlessImo) {
            error("dangerous-goods", place, ipath + (harmlessUno ? QStringLiteral("/imdgCd") : QStringLiteral("/unoCd")),
                  label(harmlessUno ? "imdgCd" : "unoCd"),
                  QStringLiteral("UNO %1 and IMO class %2 disagree on item %3: ZZZZZ goes with ZZZ only").arg(uno, imo).arg(k + 1));
        } else if (!harmlessUno && !uno.isEmpty() && codes()) {
            const auto known = codes()->unoClasses.constFind(uno);
            if (known == codes()->unoClasses.constEnd())
                error("codes", place, ipath + QStringLiteral("/unoCd"), label("unoCd"),
                      QStringLiteral("UNO %1 on item %2 is not in the UN number master").arg(uno).arg(k + 1));
            else if (known.value() != imo)
                error("dangerous-goods", place, ipath + QStringLiteral("/imdgCd"), label("imdgCd"),
                      QStringLiteral("UN %1 is of IMO class %2, not %3 (item %4)").arg(uno, known.value(), imo).arg(k + 1));
        }
        if (codes())
            codeIn(&codes()->packages, place, ipath, "itemDtls", "typOfPkgs", type, "package");
    }
    if (allCounted && hasLinePackages && total != linePackages)
        error("item-packages", place, path + QStringLiteral("/itemDtls"), samFieldLabel(QStringLiteral("mastrCnsgmtDec"), QStringLiteral("itemDtls")),
              QStringLiteral("The items hold %1 packages, the line %2").arg(total).arg(linePackages));
    if (msr && codes())
        codeIn(&codes()->packages, place, path + QStringLiteral("/trnsprtDocMsr"), "trnsprtDocMsr", "typsOfPkgs", lineType,
               "package");
    if (msr) {
        const QString unit = text(*msr, "unitOfVolume");
        if (!unit.isEmpty() && unit != QLatin1String("LTR") && unit != QLatin1String("USG"))
            warning("units", place, path + QStringLiteral("/trnsprtDocMsr/unitOfVolume"),
                    samFieldLabel(QStringLiteral("trnsprtDocMsr"), QStringLiteral("unitOfVolume")),
                    QStringLiteral("Unit of volume %1: the gateway's list has LTR and USG only").arg(unit));
    }
}

void Checker::route(const Json &part, const QString &path, const Place &place, LineNote *note)
{
    const Json &legs = list(part, "itnry");
    QSet<qint64> sequences;
    for (size_t k = 0; k < legs.size(); ++k) {
        const Json &leg = legs[k];
        const QString lpath = path + QStringLiteral("/itnry/%1").arg(k);
        auto label = [](const char *key) { return samFieldLabel(QStringLiteral("itnry"), QLatin1String(key)); };
        const QString from = text(leg, "prtOfCallCdd");
        const QString to = text(leg, "nxtPrtOfCallCdd");
        if (!from.isEmpty() && from == to)
            error("route", place, lpath + QStringLiteral("/nxtPrtOfCallCdd"), label("nxtPrtOfCallCdd"),
                  QStringLiteral("Route leg %1 goes from %2 to %2").arg(k + 1).arg(from));
        if (const auto seq = number(leg, "prtOfCallSeqNmbr")) {
            if (sequences.contains(whole(*seq)))
                error("route", place, lpath + QStringLiteral("/prtOfCallSeqNmbr"), label("prtOfCallSeqNmbr"),
                      QStringLiteral("Route leg number %1 is given twice").arg(whole(*seq)));
            sequences.insert(whole(*seq));
        }
        port(place, lpath, "itnry", "prtOfCallCdd", from);
        port(place, lpath, "itnry", "nxtPrtOfCallCdd", to);
        note->routePorts << from << to;
    }
}

bool Checker::voyageBox(size_t index, Json &&b)
{
    ++report.containers;
    const QString path = QStringLiteral("/master/voyageTransportEquipment/%1").arg(index);
    Place place;
    place.voyageList = true;
    m_phase = 0;
    schemaFindings(b, m_boxSchema, path, place, true);
    const QString id = text(b, "equipmentId");
    if (!id.isEmpty() && trackable(id)) {
        const auto seen = m_voyageBoxes.constFind(id);
        if (seen != m_voyageBoxes.constEnd())
            error("duplicate-equipment", place, path + QStringLiteral("/equipmentId"),
                  samFieldLabel(QStringLiteral("voyageTransportEquipment"), QStringLiteral("equipmentId")),
                  QStringLiteral("Container %1 stands twice in the voyage's list of containers").arg(id));
        else if (m_voyageBoxes.size() < MostTracked)
            m_voyageBoxes.insert(id, index);
        else
            m_untrackedBoxes = true;
    }
    if (const auto seq = number(b, "equipmentSequenceNo")) {
        const qint64 n = whole(*seq);
        if (m_voyageSequences.contains(n))
            error("equipment-sequence", place, path + QStringLiteral("/equipmentSequenceNo"),
                  samFieldLabel(QStringLiteral("voyageTransportEquipment"), QStringLiteral("equipmentSequenceNo")),
                  QStringLiteral("Container sequence number %1 is given twice in the voyage's list").arg(n));
        else if (m_voyageSequences.size() < MostTracked)
            m_voyageSequences.insert(n);
    }
    qint64 unusedPackages = 0;
    bool unusedLcl = false;
    equipment(&b, 1, path, place, &unusedPackages, &unusedLcl, true);
    return true;
}

void Checker::againstTheVoyage(const LineNote &n)
{
    auto label = [](const char *parent, const char *key) { return samFieldLabel(QLatin1String(parent), QLatin1String(key)); };
    const VoyageFacts &v = *m_voyage;
    const QString &reporting = v.reporting;
    const QDate bl = dateOf(n.blDate);
    const QString datePath = n.path + (n.master ? QStringLiteral("/MCRef/mstrBlDt") : QStringLiteral("/HCRef/blDt"));
    if (v.arrival.isValid() && bl.isValid() && bl > v.arrival)
        error("bl-date", n.place, datePath, n.master ? label("MCRef", "mstrBlDt") : label("HCRef", "blDt"),
              QStringLiteral("B/L date %1 is after the vessel's arrival %2")
                  .arg(bl.toString(QStringLiteral("dd.MM.yyyy")), v.arrival.toString(QStringLiteral("dd.MM.yyyy"))));
    // eight digits of a month and day the schema's form allows, which the calendar has not
    static const QRegularExpression DateForm(QStringLiteral("^[0-9]{4}(0[1-9]|1[0-2])(0[1-9]|[12][0-9]|3[01])$"));
    if (!bl.isValid() && DateForm.match(n.blDate).hasMatch())
        error("bl-date", n.place, datePath, n.master ? label("MCRef", "mstrBlDt") : label("HCRef", "blDt"),
              QStringLiteral("B/L date %1 is not a day of the calendar").arg(n.blDate));
    if (!n.master || reporting.isEmpty())
        return;
    if (!n.firstPort.isEmpty() && n.firstPort != reporting)
        error("first-port", n.place, n.path + QStringLiteral("/locCstm/firstPrtOfEntry"), label("locCstm", "firstPrtOfEntry"),
              QStringLiteral("First port of entry %1 is not the port of reporting %2").arg(n.firstPort, reporting));
    const QString receipt = portOf(n.receiptPort);
    if (n.movement == QLatin1String("LC") && !receipt.isEmpty() && receipt != reporting)
        error("receipt-port", n.place, n.path + QStringLiteral("/trnsprtDoc/prtOfReceiptCdd"), label("trnsprtDoc", "prtOfReceiptCdd"),
              QStringLiteral("A local clearance (LC) line is received at the port of reporting %1, not %2").arg(reporting, n.receiptPort));
    if (n.movement == QLatin1String("TI") && receipt == reporting)
        error("receipt-port", n.place, n.path + QStringLiteral("/trnsprtDoc/prtOfReceiptCdd"), label("trnsprtDoc", "prtOfReceiptCdd"),
              QStringLiteral("A transhipment (TI) line goes on from %1: it is received elsewhere").arg(reporting));
    if (n.movement == QLatin1String("TI") && portOf(n.destination) == reporting)
        error("route", n.place, n.path + QStringLiteral("/locCstm/destPrt"), label("locCstm", "destPrt"),
              QStringLiteral("A transhipment (TI) line goes on from the port of reporting: its destination cannot be %1").arg(n.destination));
    if (!n.routePorts.isEmpty() && n.cargoType != QLatin1String("TR")
        && std::none_of(n.routePorts.begin(), n.routePorts.end(), [&](const QString &p) { return portOf(p) == reporting; }))
        error("route", n.place, n.path + QStringLiteral("/itnry"), label("mastrCnsgmtDec", "itnry"),
              QStringLiteral("The route never reaches the port of reporting %1").arg(reporting));
    QString pan = n.consolidatorPan;
    if (pan.startsWith(QLatin1String("PAN:")))
        pan = pan.mid(4);
    if (isPan(pan) && isPan(v.submitter) && pan != v.submitter)
        warning("consolidator", n.place, n.path + QStringLiteral("/MCRef/consolidatorPan"), label("MCRef", "consolidatorPan"),
                QStringLiteral("Consolidator PAN %1 is not the submitter's %2").arg(pan, v.submitter));
}

SamCheckReport Checker::finish()
{
    std::sort(m_kept.begin(), m_kept.end());
    report.findings.clear();
    report.findings.reserve(qsizetype(m_kept.size()));
    for (Kept &k : m_kept)
        report.findings.append(std::move(k.finding));
    m_kept.clear();
    return std::move(report);
}

void Checker::document(const Json &top)
{
    const Place voyage;
    m_phase = 0;
    schemaFindings(top, m_schema.root(), QString(), voyage);

    const Json none = Json::object();
    const Json *header = object(top, "headerField");
    const Json *master = object(top, "master");
    const Json &h = header ? *header : none;
    const Json &m = master ? *master : none;
    const Json *decRefP = object(m, "decRef");
    const Json *authP = object(m, "authPrsn");
    const Json *vesselP = object(m, "vesselDtls");
    const Json *voyageP = object(m, "voyageDtls");
    const Json &decRef = decRefP ? *decRefP : none;
    const Json &auth = authP ? *authP : none;
    const Json &vessel = vesselP ? *vesselP : none;
    const Json &voy = voyageP ? *voyageP : none;
    auto label = [](const char *parent, const char *key) { return samFieldLabel(QLatin1String(parent), QLatin1String(key)); };

    const QString reporting = text(decRef, "prtofRptng");
    if (const QString receiver = text(h, "receiverID"); !receiver.isEmpty() && !reporting.isEmpty() && receiver != reporting)
        error("header", voyage, QStringLiteral("/headerField/receiverID"), label("headerField", "receiverID"),
              QStringLiteral("The header is addressed to %1, the declaration reports at %2").arg(receiver, reporting));
    if (const QString event = text(h, "reportingEvent"), own = text(decRef, "rptngEvent");
        !event.isEmpty() && !own.isEmpty() && event != own)
        error("header", voyage, QStringLiteral("/master/decRef/rptngEvent"), label("decRef", "rptngEvent"),
              QStringLiteral("The header's reporting event %1 differs from the declaration's %2").arg(event, own));

    if (!m_options.fileName.isEmpty()) {
        const QRegularExpressionMatch match = FileNameForm.match(m_options.fileName);
        if (!match.hasMatch())
            warning("file-name", voyage, QString(), QStringLiteral("File name"),
                    QStringLiteral("The file name %1 is not of the form F_SACHM23_SAM_<IceGate user id>_<job no>_<YYYYMMDD>_DEC.json")
                        .arg(m_options.fileName));
        else {
            const std::pair<QString, QString> parts[] = {
                {match.captured(1), text(h, "senderID")}, {match.captured(2), text(decRef, "jobNo")}, {match.captured(3), text(decRef, "jobDt")}};
            const char *names[] = {"IceGate user id", "job number", "job date"};
            for (int i = 0; i < 3; ++i) {
                if (!parts[i].second.isEmpty() && parts[i].first != parts[i].second)
                    warning("file-name", voyage, QString(), QStringLiteral("File name"),
                            QStringLiteral("The file name has %1 %2, the file %3").arg(QLatin1String(names[i]), parts[i].first, parts[i].second));
            }
        }
    }

    if (const auto total = number(voy, "totalNmbrOfLines"); total && whole(*total) != report.lines)
        error("line-total", voyage, QStringLiteral("/master/voyageDtls/totalNmbrOfLines"), label("voyageDtls", "totalNmbrOfLines"),
              QStringLiteral("Total lines says %1, the file has %2 lines").arg(whole(*total)).arg(report.lines));
    if (const auto total = number(voy, "totalNoOfTrnsprtEqmtMnfsted"); total && whole(*total) != report.containers)
        error("equipment-total", voyage, QStringLiteral("/master/voyageDtls/totalNoOfTrnsprtEqmtMnfsted"),
              label("voyageDtls", "totalNoOfTrnsprtEqmtMnfsted"),
              QStringLiteral("Total containers says %1, the voyage's list has %2").arg(whole(*total)).arg(report.containers));

    m_phase = 1;
    for (auto it = m_lineBoxes.constBegin(); it != m_lineBoxes.constEnd(); ++it) {
        if (m_voyageBoxes.contains(it.key()))
            continue;
        for (const BoxOnLine &b : it.value()) {
            Place at;
            at.lineNo = b.lineNo;
            at.blNo = b.blNo;
            error("voyage-equipment", at, QStringLiteral("/master/mastrCnsgmtDec/%1/trnsprtEqmt/%2/eqmtId").arg(b.line).arg(b.box),
                  label("trnsprtEqmt", "eqmtId"), QStringLiteral("Container %1 is not in the voyage's list of containers").arg(it.key()));
        }
    }
    if (!m_untrackedBoxes) {
        for (auto it = m_voyageBoxes.constBegin(); it != m_voyageBoxes.constEnd(); ++it) {
            if (!m_lineBoxes.contains(it.key())) {
                Place list;
                list.voyageList = true;
                error("voyage-equipment", list, QStringLiteral("/master/voyageTransportEquipment/%1/equipmentId").arg(it.value()),
                      label("voyageTransportEquipment", "equipmentId"), QStringLiteral("Container %1 is on no line").arg(it.key()));
            }
        }
    }
    m_phase = 0;
    if (m_untrackedLines)
        error("line-total", voyage, QStringLiteral("/master/mastrCnsgmtDec"), label("master", "mastrCnsgmtDec"),
              QStringLiteral("The file holds more lines than the gateway takes: beyond %1 they are not compared with one another")
                  .arg(MostTracked));
    if (m_untrackedBoxes)
        error("equipment-total", voyage, QStringLiteral("/master/voyageTransportEquipment"), label("master", "voyageTransportEquipment"),
              QStringLiteral("The file holds more containers than the gateway takes: beyond %1 they are not compared with the "
                             "voyage's list").arg(MostTracked));

    // The ship's ports of call: the port of reporting at 0, the ports before it below.
    const Json &calls = list(voy, "shipItnry");
    QHash<qint64, QString> bySequence;
    int atZero = 0;
    for (size_t k = 0; k < calls.size(); ++k) {
        const QString path = QStringLiteral("/master/voyageDtls/shipItnry/%1").arg(k);
        const QString seqText = text(calls[k], "shipItnrySeq");
        bool numeric = false;
        const qint64 seq = seqText.toLongLong(&numeric);
        const QString portCode = text(calls[k], "prtOfCallCdd");
        port(voyage, path, "shipItnry", "prtOfCallCdd", portCode);
        if (!numeric)
            continue;
        if (bySequence.contains(seq))
            error("itinerary", voyage, path + QStringLiteral("/shipItnrySeq"), label("shipItnry", "shipItnrySeq"),
                  QStringLiteral("Call sequence %1 is given to two ports of call").arg(seq));
        else
            bySequence.insert(seq, portCode);
        if (seq == 0) {
            ++atZero;
            if (!reporting.isEmpty() && !portCode.isEmpty() && portCode != reporting)
                error("itinerary", voyage, path + QStringLiteral("/prtOfCallCdd"), label("shipItnry", "prtOfCallCdd"),
                      QStringLiteral("The port of call at sequence 0 must be the port of reporting %1, not %2").arg(reporting, portCode));
        }
    }
    if (voyageP && atZero == 0 && member(voy, "shipItnry"))
        error("itinerary", voyage, QStringLiteral("/master/voyageDtls/shipItnry"), label("voyageDtls", "shipItnry"),
              QStringLiteral("No port of call at sequence 0: the port of reporting%1 must stand there")
                  .arg(reporting.isEmpty() ? QString() : QLatin1Char(' ') + reporting));
    if (atZero == 1) {
        qint64 low = 0, high = 0;
        for (auto it = bySequence.constBegin(); it != bySequence.constEnd(); ++it) {
            low = std::min(low, it.key());
            high = std::max(high, it.key());
        }
        if (high - low + 1 != bySequence.size())
            warning("itinerary", voyage, QStringLiteral("/master/voyageDtls/shipItnry"), label("voyageDtls", "shipItnry"),
                    QStringLiteral("The call sequences run from %1 to %2 with gaps").arg(low).arg(high));
        if (high < 1)
            warning("itinerary", voyage, QStringLiteral("/master/voyageDtls/shipItnry"), label("voyageDtls", "shipItnry"),
                    QStringLiteral("No next port of call (sequence 1) after the port of reporting"));
        const QString before = bySequence.value(-1);
        const QString movementType = text(decRef, "vesselTypMvmt");
        if (!before.isEmpty() && movementType == QLatin1String("FI") && isIndian(before))
            warning("movement", voyage, QStringLiteral("/master/decRef/vesselTypMvmt"), label("decRef", "vesselTypMvmt"),
                    QStringLiteral("Vessel movement FI (foreign to Indian port), but the port before is %1").arg(before));
        if (!before.isEmpty() && movementType == QLatin1String("II") && !isIndian(before))
            warning("movement", voyage, QStringLiteral("/master/decRef/vesselTypMvmt"), label("decRef", "vesselTypMvmt"),
                    QStringLiteral("Vessel movement II (Indian to Indian port), but the port before is %1").arg(before));
    }
    port(voyage, QStringLiteral("/master/decRef"), "decRef", "prtofRptng", reporting);

    if (text(vessel, "typOfTrnsprtMeans") == QLatin1String("10")) {
        const QString imo = text(vessel, "trnsprtMeansId");
        if (!imo.isEmpty() && !validImo(imo))
            error("imo-number", voyage, QStringLiteral("/master/vesselDtls/trnsprtMeansId"), label("vesselDtls", "trnsprtMeansId"),
                  QStringLiteral("IMO No. %1 is not seven digits with the right check digit").arg(imo));
    }
    if (const QString signer = text(auth, "authReprsntvCd"); !signer.isEmpty() && !isPan(signer))
        error("pan", voyage, QStringLiteral("/master/authPrsn/authReprsntvCd"), label("authPrsn", "authReprsntvCd"),
              QStringLiteral("%1 \"%2\" is not a PAN of the form AAAAA9999A").arg(label("authPrsn", "authReprsntvCd"), signer));
    const QString submitter = text(auth, "sbmtrCd");
    if (!submitter.isEmpty() && !isPan(submitter))
        warning("pan", voyage, QStringLiteral("/master/authPrsn/sbmtrCd"), label("authPrsn", "sbmtrCd"),
                QStringLiteral("%1 \"%2\" is not a PAN; the gateway knows agents by their PAN").arg(label("authPrsn", "sbmtrCd"), submitter));
    if (const QSet<QString> *types = masterList(&SamMasters::shipTypes))
        codeIn(types, voyage, QStringLiteral("/master/vesselDtls"), "vesselDtls", "shipTyp", text(vessel, "shipTyp"), "ship type");
    if (const QSet<QString> *purposes = masterList(&SamMasters::purposes))
        codeIn(purposes, voyage, QStringLiteral("/master/vesselDtls"), "vesselDtls", "purposeOfCall", text(vessel, "purposeOfCall"),
               "purpose of call");
    if (m_nonContainer && text(vessel, "shipTyp") == QLatin1String("511"))
        error("equipment-kind", voyage, m_nonContainerPath, label("trnsprtEqmt", "eqmtTyp"),
              QStringLiteral("A full container ship (ship type 511) carries containers (CN) only"));

}

} // namespace

const QList<SamRule> &samRules()
{
    return Rules;
}


Result<SamMasters> loadSamMasters(const Database &db)
{
    Result<CodeLists> codes = loadCodeLists(db);
    if (!codes)
        return codes.failure();
    SamMasters m;
    m.codes = codes.value();
    const std::pair<const char *, QSet<QString> *> lists[] = {
        {"select cntry_cd from D_CNTRY_CD", &m.countries}, {"select state_cd from D_STATE_CD", &m.states},
        {"select idt_cd from idcodetype", &m.codeTypes},   {"select seal_cd from sealtype", &m.sealTypes},
        {"select st_cd from shiptype", &m.shipTypes},      {"select pc_cd from purpcall", &m.purposes},
    };
    for (const auto &[sql, set] : lists) {
        const QString table = QString::fromLatin1(sql).section(QLatin1Char(' '), -1);
        if (!db.hasTable(table))
            continue; // a database from before today's filing lists
        auto q = db.query(QLatin1String(sql));
        if (!q)
            return q.failure();
        while (q->next())
            set->insert(q->value(0).toString().trimmed().toUpper());
    }
    return m;
}

Result<JsonSchema> samSchema(QString *source)
{
    const QString local = Installation::filePath(QLatin1String(SamSchemaFileName));
    if (QFileInfo::exists(local)) {
        if (source)
            *source = local;
        return JsonSchema::fromFile(local);
    }
    static const Result<JsonSchema> shipped = JsonSchema::fromFile(QStringLiteral(":/sam/%1").arg(QLatin1String(SamSchemaFileName)));
    if (source)
        *source = QStringLiteral("the schema shipped with Quarl");
    return shipped;
}

namespace {

// The check of a text read by read(), which gives the document without its lines and
// containers and hands those to the reader's callbacks. The voyage's header, which the lines
// are held to, is what stands before the first line, or what lookAhead reads of the whole
// text when it stands after (none: a text that comes a piece at a time).
SamCheckReport checkWithin(const SamCheckOptions &options, const std::function<Result<Json>(JsonSplitReader &)> &read,
                           const std::function<Result<Json>()> &lookAhead)
{
    SamCheckReport failed;
    auto refuse = [&](const char *rule, const QString &what) {
        Finding f;
        f.rule = QLatin1String(rule);
        f.field = QStringLiteral("the file");
        f.text = what;
        failed.findings.append(f);
        failed.errorCount = 1;
        return failed;
    };
    std::optional<Result<JsonSchema>> loaded;
    const JsonSchema *schema = options.schema;
    if (!schema) {
        loaded = samSchema();
        if (!*loaded)
            return refuse("schema", loaded->failure().description);
        schema = &loaded->value();
    }
    JsonSplitReader *self = nullptr;
    Checker checker(*schema, options, [&] {
        const Json &partial = self->partial();
        if (hasSamHeader(partial) || !lookAhead)
            return factsOf(partial);
        const Result<Json> whole = lookAhead();
        return factsOf(whole ? whole.value() : partial);
    });
    JsonSplitReader reader({
        {{"master", "mastrCnsgmtDec"}, [&](size_t i, Json &&e) { return checker.line(i, std::move(e)); }},
        {{"master", "voyageTransportEquipment"}, [&](size_t i, Json &&e) { return checker.voyageBox(i, std::move(e)); }},
    });
    self = &reader;
    Result<Json> top = read(reader);
    if (!top)
        return refuse("json", top.failure().description);
    checker.report.readable = true;
    for (const JsonSplitReader::DuplicateKey &key : reader.duplicateKeys())
        checker.fileFinding(key.pointer, fieldLabel(key.pointer), key.line,
                            QStringLiteral("The key %1 is given twice in one place (line %2, column %3 of the file); the "
                                           "gateway may read either")
                                .arg(key.pointer.section(QLatin1Char('/'), -1))
                                .arg(key.line)
                                .arg(key.column));
    checker.countMore(reader.duplicateKeyCount() - reader.duplicateKeys().size());
    if (reader.byteOrderMark())
        checker.fileFinding(QString(), QStringLiteral("the file"), 0,
                            QStringLiteral("The file begins with a byte-order mark; the gateway takes UTF-8 without one"));
    checker.document(top.value());
    return checker.finish();
}

// The same, with whatever the libraries throw said as the one finding: no text at all,
// however damaged, ends the program.
SamCheckReport checkText(const SamCheckOptions &options, const std::function<Result<Json>(JsonSplitReader &)> &read,
                         const std::function<Result<Json>()> &lookAhead)
{
    try {
        return checkWithin(options, read, lookAhead);
    } catch (const std::exception &e) {
        SamCheckReport failed;
        Finding f;
        f.rule = QStringLiteral("json");
        f.field = QStringLiteral("the file");
        f.text = QStringLiteral("The file could not be checked: %1").arg(QString::fromUtf8(e.what()));
        failed.findings.append(f);
        failed.errorCount = 1;
        return failed;
    }
}

QString shownName(const SamCheckOptions &options)
{
    return options.fileName.isEmpty() ? QStringLiteral("The file") : options.fileName;
}

SamCheckReport checkData(const char *begin, const char *end, const SamCheckOptions &options, bool fileMapped)
{
    return checkText(
        options,
        [&](JsonSplitReader &reader) {
            reader.setFileMapped(fileMapped);
            return reader.read(begin, end, shownName(options));
        },
        [&] { return readSamWithoutLines(begin, end, shownName(options), fileMapped, false); });
}

} // namespace

SamCheckReport checkSamData(const char *begin, const char *end, const SamCheckOptions &options)
{
    return checkData(begin, end, options, false);
}

struct SamCheckStream::Data
{
    static constexpr size_t MostWaiting = 16;

    SamCheckOptions options;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QByteArray> waiting;
    QByteArray reading;    // the piece the check reads in, its own
    bool closed = false;   // no more pieces come
    bool finished = false; // the check has ended: what comes is not read
    SamCheckReport report;
    std::thread thread;

    void run()
    {
        report = checkText(
            options,
            [this](JsonSplitReader &reader) {
                return reader.read(
                    [this](const char **begin, const char **end) {
                        std::unique_lock lock(mutex);
                        changed.wait(lock, [this] { return !waiting.empty() || closed; });
                        if (waiting.empty())
                            return false;
                        reading = std::move(waiting.front());
                        waiting.pop_front();
                        lock.unlock();
                        changed.notify_all();
                        *begin = reading.constData();
                        *end = reading.constData() + reading.size();
                        return true;
                    },
                    shownName(options));
            },
            {});
        std::lock_guard lock(mutex);
        finished = true;
        waiting.clear();
        changed.notify_all();
    }
};

SamCheckStream::SamCheckStream(const SamCheckOptions &options) : d(std::make_unique<Data>())
{
    d->options = options;
    d->thread = std::thread([this] { d->run(); });
}

SamCheckStream::~SamCheckStream()
{
    finish();
}

void SamCheckStream::add(const char *data, qint64 size)
{
    if (size <= 0)
        return;
    QByteArray piece(data, size);
    std::unique_lock lock(d->mutex);
    d->changed.wait(lock, [this] { return d->waiting.size() < Data::MostWaiting || d->finished || d->closed; });
    if (d->finished || d->closed)
        return;
    d->waiting.push_back(std::move(piece));
    lock.unlock();
    d->changed.notify_all();
}

SamCheckReport SamCheckStream::finish()
{
    if (d->thread.joinable()) {
        {
            std::lock_guard lock(d->mutex);
            d->closed = true;
        }
        d->changed.notify_all();
        d->thread.join();
    }
    return d->report;
}

SamCheckReport checkSamData(const QByteArray &data, const SamCheckOptions &options)
{
    return checkSamData(data.constData(), data.constData() + data.size(), options);
}

SamCheckReport checkSamFile(const QString &path, const SamCheckOptions &options)
{
    SamCheckOptions named = options;
    if (named.fileName.isEmpty())
        named.fileName = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        SamCheckReport r;
        Finding f;
        f.rule = QStringLiteral("json");
        f.field = QStringLiteral("the file");
        f.text = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        r.findings.append(f);
        r.errorCount = 1;
        return r;
    }
    const JsonText json(file);
    return checkData(json.begin(), json.end(), named, json.mapped());
}

} // namespace quarl::igm
