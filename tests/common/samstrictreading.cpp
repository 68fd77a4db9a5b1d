#include "common/samstrictreading.h"

#include "store/database.h"
#include "store/schema.h"

#include <QDate>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>

#include <cmath>

namespace quarl::test {

namespace {

// The columns of each kind of row, in the order of its text: "table.column" where the
// column is another table's (the line a container or goods item belongs to).
const QStringList VoyageColumns = {
    QStringLiteral("vslcode"), QStringLiteral("voyno"), QStringLiteral("IgmNo"), QStringLiteral("IgmDt"),
    QStringLiteral("slinecode"), QStringLiteral("mastername"), QStringLiteral("tocode"), QStringLiteral("asccode"),
    QStringLiteral("linebond"), QStringLiteral("purpcall"), QStringLiteral("shiptype"), QStringLiteral("vcn"),
    QStringLiteral("cargodesc"), QStringLiteral("crewcount"), QStringLiteral("paxcount"), QStringLiteral("arrdt"),
    QStringLiteral("arrtime"), QStringLiteral("depdt"), QStringLiteral("deptime"), QStringLiteral("lastport2"),
    QStringLiteral("lastport1"), QStringLiteral("lastport"), QStringLiteral("arrportcd"), QStringLiteral("portarrival"),
    QStringLiteral("nextport"), QStringLiteral("nextport1"), QStringLiteral("nextport2")};
const QStringList VesselColumns = {QStringLiteral("VESSEL_CD"), QStringLiteral("IMO_NO")};
const QStringList LineColumns = {
    QStringLiteral("vslcode"), QStringLiteral("voyno"), QStringLiteral("lineno"), QStringLiteral("sublineno"),
    QStringLiteral("blno"), QStringLiteral("bldt"), QStringLiteral("HBlNo"), QStringLiteral("HBlDt"),
    QStringLiteral("consind"), QStringLiteral("prevdec"), QStringLiteral("destcode"), QStringLiteral("nextunload"),
    QStringLiteral("cargotype"), QStringLiteral("itemtype"), QStringLiteral("cargomove"), QStringLiteral("naturecargo"),
    QStringLiteral("caccode"), QStringLiteral("tpregno"), QStringLiteral("portload"), QStringLiteral("portdest"),
    QStringLiteral("shpname"), QStringLiteral("shpaddr"), QStringLiteral("shpcity"), QStringLiteral("shpcntry"),
    QStringLiteral("impname"), QStringLiteral("cnsaddr"), QStringLiteral("cnscity"), QStringLiteral("cnscntry"),
    QStringLiteral("cnscode"), QStringLiteral("cnscodetype"), QStringLiteral("cnsstatenm"), QStringLiteral("cnsstate"),
    QStringLiteral("cnspin"), QStringLiteral("notname"), QStringLiteral("notpan"), QStringLiteral("notcodetype"),
    QStringLiteral("notcity"), QStringLiteral("notcntry"), QStringLiteral("notpin"), QStringLiteral("gdesc"),
    QStringLiteral("impadd1"), QStringLiteral("notadd1"), QStringLiteral("notadd2"), QStringLiteral("notadd3"),
    QStringLiteral("pkgs"), QStringLiteral("pkgtype"), QStringLiteral("marks"), QStringLiteral("grosswt"),
    QStringLiteral("unitwt"), QStringLiteral("volume"), QStringLiteral("unitvol"), QStringLiteral("trmode"),
    QStringLiteral("unocode"), QStringLiteral("imocode")};
const QStringList ContainerColumns = {
    QStringLiteral("cargo.lineno"), QStringLiteral("cargo.sublineno"), QStringLiteral("lineno"), QStringLiteral("sublineno"),
    QStringLiteral("containno"), QStringLiteral("eqtype"), QStringLiteral("isocode"), QStringLiteral("constatus"),
    QStringLiteral("sealtype"), QStringLiteral("sealno"), QStringLiteral("socflag"), QStringLiteral("agentcode"),
    QStringLiteral("conwt"), QStringLiteral("conpkgs")};
const QStringList ItemColumns = {
    QStringLiteral("cargo.lineno"), QStringLiteral("cargo.sublineno"), QStringLiteral("itemseq"), QStringLiteral("hscode"),
    QStringLiteral("itemdesc"), QStringLiteral("unocode"), QStringLiteral("imocode"), QStringLiteral("pkgs"),
    QStringLiteral("pkgtype")};

// A file the strict reading does not take.
struct Refused
{
    QString why;
    bool columnsOnly = false;
};

[[noreturn]] void refuse(const QString &why)
{
    throw Refused{why};
}

[[noreturn]] void refuse(const char *key, const char *why)
{
    throw Refused{QLatin1String(key) + QLatin1Char(' ') + QLatin1String(why)};
}

// One row, its values in their stored form ("" for none) by column.
using Row = QHash<QString, QString>;

QString rowText(const char *tag, const Row &row, const QStringList &columns)
{
    QStringList out{QLatin1String(tag)};
    for (const QString &c : columns)
        out << row.value(c);
    return out.join(QLatin1Char('|'));
}

QString wholeText(qint64 v)
{
    return QString::number(v);
}

QString realText(double v)
{
    return QString::number(v + 0.0, 'g', 17);
}

qsizetype width(const char *table, const char *column)
{
    const ColumnDef *c = Schema::column(QLatin1String(table), QLatin1String(column));
    if (!c)
        qFatal("no column %s.%s", table, column);
    return c->size;
}

bool absent(const QJsonValue &v)
{
    return v.isUndefined() || v.isNull();
}

// A member that is a group of fields (none: an empty one).
QJsonObject group(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (absent(v))
        return {};
    if (!v.isObject())
        refuse(key, "is not a group of fields");
    return v.toObject();
}

QJsonArray list(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (absent(v))
        return {};
    if (!v.isArray())
        refuse(key, "is not a list");
    return v.toArray();
}

QJsonObject element(const QJsonValue &v, const char *list)
{
    if (!v.isObject())
        refuse(list, "holds an element that is not a group of fields");
    return v.toObject();
}

// Text the schema has as text, without its surrounding blanks, no wider than its column.
QString text(const QJsonObject &o, const char *key, const char *table = nullptr, const char *column = nullptr)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (absent(v))
        return {};
    if (!v.isString())
        refuse(key, "is not text");
    const QString t = v.toString().trimmed();
    if (table && t.size() > width(table, column))
        throw Refused{QLatin1String(key) + QStringLiteral(" is wider than its column"), true};
    return t;
}

// A number of the schema's range; a whole one where whole.
std::optional<double> number(const QJsonObject &o, const char *key, double least, double most, bool whole)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (absent(v))
        return std::nullopt;
    if (!v.isDouble())
        refuse(key, "is not a number");
    const double d = v.toDouble();
    if (!std::isfinite(d) || d < least || d > most || (whole && std::floor(d) != d))
        refuse(key, "is out of range");
    return d;
}

QString whole(const QJsonObject &o, const char *key, double least, double most)
{
    const auto d = number(o, key, least, most, true);
    return d ? wholeText(qint64(*d)) : QString();
}

QString real(const QJsonObject &o, const char *key, double least, double most, double per = 1)
{
    const auto d = number(o, key, least, most, false);
    return d ? realText(*d / per) : QString();
}

// YYYYMMDD, a day of the calendar; its ISO form.
QString dateOf(const QString &t)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{4})([0-9]{2})([0-9]{2})$"));
    const QRegularExpressionMatch m = form.match(t);
    if (!m.hasMatch())
        refuse(QStringLiteral("not a date: ") + t);
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!d.isValid())
        refuse(QStringLiteral("no day of the calendar: ") + t);
    return d.toString(Qt::ISODate);
}

QString date(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (absent(v))
        return {};
    if (!v.isString())
        refuse(key, "is not text");
    const QString t = v.toString().trimmed();
    return t.isEmpty() ? QString() : dateOf(t);
}

// YYYYMMDDTHH:MM: the day's ISO form and HH:MM.
std::pair<QString, QString> dateTime(const QJsonObject &o, const char *key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (absent(v))
        return {};
    if (!v.isString())
        refuse(key, "is not text");
    const QString t = v.toString().trimmed();
    if (t.isEmpty())
        return {};
    static const QRegularExpression form(QStringLiteral("^([0-9]{8})T([0-9]{2}):([0-9]{2})$"));
    const QRegularExpressionMatch m = form.match(t);
    if (!m.hasMatch() || m.captured(2).toInt() > 23 || m.captured(3).toInt() > 59)
        refuse(QStringLiteral("not a date and time: ") + t);
    return {dateOf(m.captured(1)), m.captured(2) + QLatin1Char(':') + m.captured(3)};
}

// A transhipper's bond: text holding a plain decimal number.
QString bond(const QJsonObject &o, const char *key)
{
    const QString t = text(o, key);
    if (t.isEmpty())
        return {};
    static const QRegularExpression plain(QStringLiteral("^\\+?([0-9]+\\.?[0-9]*|\\.[0-9]+)$"));
    // the message takes any text, the store's column a number
    if (t.size() > 64 || !plain.match(t).hasMatch())
        throw Refused{QLatin1String(key) + QStringLiteral(" holds no number"), true};
    return realText(t.toDouble());
}

// A street in lines of the width given, broken at blanks where it can be.
QStringList addressLines(const QString &street, qsizetype lineWidth, int most)
{
    QStringList lines;
    QString rest = street;
    while (!rest.isEmpty()) {
        if (lines.size() == most)
            refuse(QStringLiteral("the notify party's street is too long for its address lines"));
        if (rest.size() <= lineWidth) {
            lines << rest;
            break;
        }
        qsizetype cut = rest.lastIndexOf(QLatin1Char(' '), lineWidth);
        if (cut <= 0)
            cut = lineWidth;
        lines << rest.left(cut).trimmed();
        rest = rest.mid(cut).trimmed();
    }
    return lines;
}

struct Manifest
{
    QString vessel;
    QString voyage;
    QStringList lines, containers, items;
};

// A master line (house false) or house B/L into m; the containers and goods items after.
void readLine(Manifest &m, const QJsonObject &o, bool house, const QString &masterNo, QString *lineNo, QString *subLineNo)
{
    Row r;
    r[QStringLiteral("vslcode")] = m.vessel;
    r[QStringLiteral("voyno")] = m.voyage;
    const QJsonObject ref = group(o, house ? "HCRef" : "MCRef");
    if (house) {
        r[QStringLiteral("lineno")] = masterNo;
        r[QStringLiteral("sublineno")] = whole(ref, "subLineNo", 1, 9999);
        r[QStringLiteral("blno")] = text(ref, "blNo", "cargo", "blno");
        r[QStringLiteral("HBlNo")] = text(ref, "blNo", "cargo", "HBlNo");
        r[QStringLiteral("bldt")] = r[QStringLiteral("HBlDt")] = date(ref, "blDt");
    } else {
        r[QStringLiteral("lineno")] = whole(ref, "lineNo", 1, 99999);
        r[QStringLiteral("sublineno")] = QStringLiteral("0");
        r[QStringLiteral("blno")] = text(ref, "mstrBlNo", "cargo", "blno");
        r[QStringLiteral("bldt")] = date(ref, "mstrBlDt");
    }
    *lineNo = r.value(QStringLiteral("lineno"));
    *subLineNo = r.value(QStringLiteral("sublineno"));
    auto take = [&](const QJsonObject &from, const char *key, const char *column) {
        r[QLatin1String(column)] = text(from, key, "cargo", column);
    };
    take(ref, "consolidatedIndctr", "consind");
    take(ref, "prevDec", "prevdec");

    const QJsonObject loc = group(o, "locCstm");
    for (const auto &[key, column] : {std::pair{"destPrt", "destcode"}, {"nxtPrtOfUnlading", "nextunload"}, {"typOfCrgo", "cargotype"},
                                      {"itemTyp", "itemtype"}, {"crgoMvmt", "cargomove"}, {"natrOfCrgo", "naturecargo"}})
        take(loc, key, column);
    const QJsonObject tr = group(o, "trnshpr");
    take(tr, "trnshprCd", "caccode");
    r[QStringLiteral("tpregno")] = bond(tr, "trnshprBond");

    const QJsonObject doc = group(o, "trnsprtDoc");
    for (const auto &[key, column] :
         {std::pair{"prtOfAcptCdd", "portload"}, {"prtOfReceiptCdd", "portdest"}, {"cnsgnrsName", "shpname"},
          {"cnsgnrStreetAddress", "shpaddr"}, {"cnsgnrCity", "shpcity"}, {"cnsgnrCntryCd", "shpcntry"}, {"cnsgnesName", "impname"},
          {"cnsgneStreetAddress", "cnsaddr"}, {"cnsgneCity", "cnscity"}, {"cnsgneCntryCd", "cnscntry"}, {"cnsgnesCd", "cnscode"},
          {"typOfCd", "cnscodetype"}, {"cnsgneCntrySubDivName", "cnsstatenm"}, {"cnsgneCntrySubDiv", "cnsstate"},
          {"cnsgnePstcd", "cnspin"}, {"nameOfAnyOtherNotfdParty", "notname"}, {"panOfNotfdParty", "notpan"},
          {"typOfNotfdPartyCd", "notcodetype"}, {"notfdPartyCity", "notcity"}, {"notfdPartyCntryCd", "notcntry"},
          {"notfdPartyPstcd", "notpin"}, {"goodsDescAsPerBl", "gdesc"}})
        take(doc, key, column);
    // the consignee's street is the first address line too where it fits
    const QString street = r.value(QStringLiteral("cnsaddr"));
    if (street.size() <= width("cargo", "impadd1"))
        r[QStringLiteral("impadd1")] = street;
    const QStringList notify = addressLines(text(doc, "notfdPartyStreetAddress"), width("cargo", "notadd1"), 3);
    for (qsizetype k = 0; k < notify.size(); ++k)
        r[QStringLiteral("notadd%1").arg(k + 1)] = notify.at(k);

    const QJsonObject msr = group(o, "trnsprtDocMsr");
    r[QStringLiteral("pkgs")] = whole(msr, "nmbrOfPkgs", 1, 99999999);
    take(msr, "typsOfPkgs", "pkgtype");
    take(msr, "marksNoOnPkgs", "marks");
    r[QStringLiteral("grosswt")] = real(msr, "grossWeight", 0, 999999999999);
    take(msr, "unitOfWeight", "unitwt");
    r[QStringLiteral("volume")] = real(msr, "grossVolume", 0, 999999999999);
    if (r.value(QStringLiteral("volume")).isEmpty())
        r[QStringLiteral("volume")] = QStringLiteral("0");
    take(msr, "unitOfVolume", "unitvol");

    // cargo going on inland goes by the mode of the route's legs after the first
    const QJsonArray legs = list(o, "itnry");
    const QString movement = r.value(QStringLiteral("cargomove"));
    for (qsizetype k = 0; k < legs.size(); ++k) {
        const QJsonObject leg = element(legs.at(k), "itnry");
        const QString mode = k > 0 ? text(leg, "modeOfTrnsprt") : QString();
        static const QHash<QString, QString> letters = {{QStringLiteral("1"), QStringLiteral("S")}, {QStringLiteral("2"), QStringLiteral("R")},
                                                        {QStringLiteral("3"), QStringLiteral("T")}};
        if (k > 0 && letters.contains(mode) && (movement == QLatin1String("TI") || movement == QLatin1String("DT")))
            r[QStringLiteral("trmode")] = letters.value(mode);
    }

    // what a stored line cannot be without
    for (const char *column : {"lineno", "sublineno", "blno", "bldt", "naturecargo", "itemtype", "cargomove"}) {
        if (r.value(QLatin1String(column)).isEmpty())
            refuse(column, "is missing");
    }
    if (r.value(QStringLiteral("prevdec")) != QLatin1String("Y")
        && (r.value(QStringLiteral("portload")).isEmpty() || r.value(QStringLiteral("pkgs")).isEmpty()))
        refuse(QStringLiteral("the port of loading or the packages are missing"));

    const QJsonArray items = list(o, "itemDtls");
    for (qsizetype k = 0; k < items.size(); ++k) {
        const QJsonObject it = element(items.at(k), "itemDtls");
        Row i;
        i[QStringLiteral("cargo.lineno")] = *lineNo;
        i[QStringLiteral("cargo.sublineno")] = *subLineNo;
        i[QStringLiteral("itemseq")] = whole(it, "crgoItemSeqNmbr", 1, 99999);
        if (i.value(QStringLiteral("itemseq")).isEmpty())
            i[QStringLiteral("itemseq")] = wholeText(k + 1);
        for (const auto &[key, column] : {std::pair{"hsCd", "hscode"}, {"crgoItemDesc", "itemdesc"}, {"unoCd", "unocode"},
                                          {"imdgCd", "imocode"}, {"typOfPkgs", "pkgtype"}})
            i[QLatin1String(column)] = text(it, key, "cargoitem", column);
        i[QStringLiteral("pkgs")] = whole(it, "nmbrOfPkgs", 0, 99999999);
        if (k == 0) {
            // the line's one UNO code and IMO class: its first item's
            r[QStringLiteral("unocode")] = i.value(QStringLiteral("unocode"));
            r[QStringLiteral("imocode")] = i.value(QStringLiteral("imocode"));
        }
        m.items << rowText("I", i, ItemColumns);
    }

    const QJsonArray boxes = list(o, "trnsprtEqmt");
    for (const QJsonValue &value : boxes) {
        const QJsonObject b = element(value, "trnsprtEqmt");
        Row c;
        c[QStringLiteral("cargo.lineno")] = c[QStringLiteral("lineno")] = *lineNo;
        c[QStringLiteral("cargo.sublineno")] = c[QStringLiteral("sublineno")] = *subLineNo;
        for (const auto &[key, column] : {std::pair{"eqmtId", "containno"}, {"eqmtTyp", "eqtype"}, {"eqmtSize", "isocode"},
                                          {"eqmtLoadStatus", "constatus"}, {"eqmtSealTyp", "sealtype"}, {"eqmtSealNmbr", "sealno"},
                                          {"socFlag", "socflag"}, {"cntrAgntCd", "agentcode"}})
            c[QLatin1String(column)] = text(b, key, "contain", column);
        c[QStringLiteral("conwt")] = real(b, "cntrWeight", 0, 99999999999999, 1000); // kg in the file, tonnes stored
        c[QStringLiteral("conpkgs")] = whole(b, "totalNmbrOfPkgs", 1, 99999999);
        if (c.value(QStringLiteral("containno")).isEmpty() || c.value(QStringLiteral("constatus")).isEmpty())
            refuse(QStringLiteral("a container without its number or status"));
        if (c.value(QStringLiteral("constatus")) == QLatin1String("EMP"))
            c[QStringLiteral("constatus")] = QStringLiteral("MTY");
        m.containers << rowText("K", c, ContainerColumns);
    }
    m.lines << rowText("C", r, LineColumns);
}

QStringList read(const QByteArray &file, const QString &vesselCode)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file, &error);
    if (error.error != QJsonParseError::NoError)
        refuse(QStringLiteral("not JSON: ") + error.errorString());
    const QJsonValue masterValue = document.object().value(QStringLiteral("master"));
    if (!document.isObject() || !masterValue.isObject())
        refuse(QStringLiteral("no master"));
    const QJsonObject master = masterValue.toObject();
    const QJsonObject decRef = group(master, "decRef");
    const QJsonObject auth = group(master, "authPrsn");
    const QJsonObject vessel = group(master, "vesselDtls");
    const QJsonObject voy = group(master, "voyageDtls");

    Manifest m;
    m.vessel = vesselCode;
    m.voyage = text(voy, "voyageNo", "vesinfo", "voyno");
    if (m.voyage.isEmpty())
        refuse(QStringLiteral("no voyage number"));
    Row v;
    v[QStringLiteral("vslcode")] = m.vessel;
    v[QStringLiteral("voyno")] = m.voyage;
    v[QStringLiteral("IgmNo")] = whole(decRef, "mnfstNoRotnNo", 1, 9999999);
    v[QStringLiteral("IgmDt")] = date(decRef, "mnfstDtRotnDt");
    for (const auto &[key, column] : {std::pair{"shpngLineCd", "slinecode"}, {"masterName", "mastername"}, {"trmnlOprtrCd", "tocode"},
                                      {"authSeaCarrierCd", "asccode"}, {"shpngLineBondNmbr", "linebond"}})
        v[QLatin1String(column)] = text(auth, key, "vesinfo", column);
    v[QStringLiteral("purpcall")] = text(vessel, "purposeOfCall", "vesinfo", "purpcall");
    v[QStringLiteral("shiptype")] = text(vessel, "shipTyp", "vesinfo", "shiptype");
    v[QStringLiteral("vcn")] = text(voy, "cnvnceRefNmbr", "vesinfo", "vcn");
    v[QStringLiteral("cargodesc")] = text(voy, "briefCrgoDesc", "vesinfo", "cargodesc");
    v[QStringLiteral("crewcount")] = whole(voy, "nmbrOfCrewMnfsted", 0, 9999);
    v[QStringLiteral("paxcount")] = whole(voy, "nmbrOfPsngrsMnfsted", 0, 9999);
    std::tie(v[QStringLiteral("arrdt")], v[QStringLiteral("arrtime")]) = dateTime(voy, "exptdDtAndTimeOfArvl");
    std::tie(v[QStringLiteral("depdt")], v[QStringLiteral("deptime")]) = dateTime(voy, "exptdDtAndTimeOfDptr");
    const QString total = whole(voy, "totalNmbrOfLines", 1, 99999);
    // three ports either side of the port of arrival, by their place in the call
    static const QHash<QString, const char *> calls = {
        {QStringLiteral("-3"), "lastport2"}, {QStringLiteral("-2"), "lastport1"}, {QStringLiteral("-1"), "lastport"},
        {QStringLiteral("0"), "arrportcd"},  {QStringLiteral("1"), "nextport"},   {QStringLiteral("2"), "nextport1"},
        {QStringLiteral("3"), "nextport2"}};
    for (const QJsonValue &value : list(voy, "shipItnry")) {
        const QJsonObject call = element(value, "shipItnry");
        const char *column = calls.value(text(call, "shipItnrySeq"));
        const QString code = column ? text(call, "prtOfCallCdd", "vesinfo", column) : text(call, "prtOfCallCdd");
        if (column && !code.isEmpty())
            v[QLatin1String(column)] = code;
    }
    v[QStringLiteral("portarrival")] = v.value(QStringLiteral("arrportcd"));
    const QString imo = text(vessel, "trnsprtMeansId", "D_VESSEL_CD", "IMO_NO");

    const QJsonArray lines = list(master, "mastrCnsgmtDec");
    if (lines.isEmpty() || (!total.isEmpty() && total != wholeText(lines.size())))
        refuse(QStringLiteral("no lines, or not as many as the voyage counts"));
    QSet<QString> masterNumbers;
    for (const QJsonValue &value : lines) {
        const QJsonObject line = element(value, "mastrCnsgmtDec");
        QString no, sub;
        readLine(m, line, false, QString(), &no, &sub);
        if (masterNumbers.contains(no))
            refuse(QStringLiteral("line number %1 twice").arg(no));
        masterNumbers << no;
        QSet<QString> houseNumbers;
        for (const QJsonValue &houseValue : list(line, "houseCargoDec")) {
            QString houseNo, houseSub;
            readLine(m, element(houseValue, "houseCargoDec"), true, no, &houseNo, &houseSub);
            if (houseNumbers.contains(houseSub))
                refuse(QStringLiteral("sub-line number %1/%2 twice").arg(no, houseSub));
            houseNumbers << houseSub;
        }
    }
    Row vm;
    vm[QStringLiteral("VESSEL_CD")] = m.vessel;
    vm[QStringLiteral("IMO_NO")] = imo;
    return QStringList{rowText("V", v, VoyageColumns), rowText("M", vm, VesselColumns)} + m.lines + m.containers + m.items;
}

bool isSuccess(const QString &code, const QString &message)
{
    static const QRegularExpression zero(QStringLiteral("^[+-]?0+$"));
    return zero.match(code.trimmed()).hasMatch() || (code.isEmpty() && message.startsWith(QLatin1String("Success"), Qt::CaseInsensitive));
}

QString replyText(const QJsonValue &v)
{
    return v.isString() ? v.toString() : v.isDouble() ? QString::number(v.toDouble()) : QString();
}

// Whether a list holds error codes: groups of fields, each with its code as text.
bool isErrorList(const QJsonValue &v)
{
    if (!v.isArray() || v.toArray().isEmpty())
        return false;
    for (const QJsonValue &e : v.toArray()) {
        if (!e.isObject() || !e.toObject().value(QStringLiteral("errorCode")).isString())
            return false;
    }
    return true;
}

// The error lists of an acknowledgement and the errors they hold; the numbers the gateway
// gives lines (mcResponse, hcResponse) hold none.
void countErrors(const QJsonValue &v, qint64 *lists, qint64 *errors)
{
    if (v.isArray()) {
        for (const QJsonValue &e : v.toArray())
            countErrors(e, lists, errors);
        return;
    }
    if (!v.isObject())
        return;
    const QJsonObject o = v.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (it.key() == QLatin1String("mcResponse") || it.key() == QLatin1String("hcResponse"))
            continue;
        if (!isErrorList(it.value())) {
            countErrors(it.value(), lists, errors);
            continue;
        }
        ++*lists;
        for (const QJsonValue &e : it.value().toArray()) {
            const QJsonObject error = e.toObject();
            if (!isSuccess(error.value(QStringLiteral("errorCode")).toString(), replyText(error.value(QStringLiteral("errorMessage")))))
                ++*errors;
        }
    }
}

} // namespace

std::optional<QStringList> strictSamReading(const QByteArray &file, const QString &vessel, StrictRefusal *refusal)
{
    try {
        return read(file, vessel);
    } catch (const Refused &r) {
        if (refusal)
            *refusal = StrictRefusal{r.why, r.columnsOnly};
        return std::nullopt;
    }
}

QStringList storedSamVoyage(const Database &db)
{
    QStringList out;
    auto dump = [&](const char *tag, const char *table, const QStringList &columns, const QString &from) {
        QStringList selected;
        QList<const ColumnDef *> defs;
        for (const QString &c : columns) {
            const bool other = c.contains(QLatin1Char('.'));
            selected << (other ? c : QLatin1String(table) + QLatin1Char('.') + c);
            defs << Schema::column(other ? c.section(QLatin1Char('.'), 0, 0) : QLatin1String(table), c.section(QLatin1Char('.'), -1));
        }
        auto q = db.query(QStringLiteral("select %1 from %2").arg(selected.join(QLatin1Char(',')), from));
        while (q && q->next()) {
            QStringList r{QLatin1String(tag)};
            for (int i = 0; i < columns.size(); ++i) {
                const ColumnDef *c = defs.at(i);
                const QVariant v = q->value(i);
                if (v.isNull())
                    r << QString();
                else if (c->type == ColumnType::Date)
                    r << db.dialect().dateFromDb(v).toString(Qt::ISODate);
                else if (c->isNumeric())
                    r << (c->type == ColumnType::Double ? realText(v.toDouble()) : wholeText(v.toLongLong()));
                else if (c->type == ColumnType::Char)
                    r << v.toString().remove(QRegularExpression(QStringLiteral(" +$")));
                else
                    r << v.toString();
            }
            out << r.join(QLatin1Char('|'));
        }
        if (!q)
            out << q.failure().numberAndText();
    };
    dump("V", "vesinfo", VoyageColumns, QStringLiteral("vesinfo order by Id"));
    dump("M", "D_VESSEL_CD", VesselColumns, QStringLiteral("D_VESSEL_CD order by VESSEL_CD"));
    dump("C", "cargo", LineColumns, QStringLiteral("cargo order by id"));
    dump("K", "contain", ContainerColumns, QStringLiteral("contain inner join cargo on cargo.id = contain.ref order by contain.autoid"));
    dump("I", "cargoitem", ItemColumns, QStringLiteral("cargoitem inner join cargo on cargo.id = cargoitem.ref order by cargoitem.autoid"));
    return out;
}

std::optional<StrictReply> strictReplyReading(const QByteArray &file)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject top = document.object();
    if (top.contains(QStringLiteral("errorDetails"))) {
        // a structure failure: its messages, else its code alone
        const QJsonObject details = top.value(QStringLiteral("errorDetails")).toObject();
        const QJsonValue messages = details.value(QStringLiteral("errorMessage"));
        const qint64 listed = messages.isArray() ? messages.toArray().size() : 0;
        return StrictReply{QStringLiteral("SFL"), listed > 0 ? listed : replyText(details.value(QStringLiteral("errorCode"))).isEmpty() ? 0 : 1};
    }
    if (!top.contains(QStringLiteral("master")))
        return std::nullopt;
    qint64 lists = 0, errors = 0;
    countErrors(top, &lists, &errors);
    if (lists == 0)
        return std::nullopt;
    return StrictReply{QStringLiteral("ACK"), errors};
}

} // namespace quarl::test
