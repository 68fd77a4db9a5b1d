#include "sam/samlayout.h"

#include "core/placeholders.h"
#include "json/jsonsplitreader.h"
#include "json/jsontext.h"
#include "json/jsonvalues.h"
#include "json/jsonwriter.h"
#include "manifest/igmformat.h"
#include "manifest/igmmessages.h"
#include "sam/samcheck.h"
#include "sam/samfields.h"
#include "sam/samheader.h"
#include "sam/samscenarios.h"
#include "store/filingfields.h"
#include "store/schema.h"

#include <nlohmann/json.hpp>

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace quarl::igm {

namespace {

using namespace JsonValues;

constexpr char SamFileName[] = "The SAM file";

using Layout_ = JsonStreamWriter::Layout;

// The value the filing table gives a key when its column is empty, or fixes for it.
QString fallback(const char *key)
{
    const Filing::Field *f = Filing::byKey(QLatin1String(key));
    return f && f->fallback && f->fallback[0] != '=' ? QLatin1String(f->fallback) : QString();
}

template<typename C>
QString text(const Row<C> &row, C c)
{
    return row.text(c).trimmed();
}

template<typename C>
QString extra(const Row<C> &row, const char *column)
{
    return row.extra.value(QLatin1String(column)).toString().trimmed();
}

QString either(const QString &value, const QString &otherwise)
{
    return value.isEmpty() ? otherwise : value;
}

QString dateText(const QDate &d)
{
    return d.isValid() ? d.toString(QStringLiteral("yyyyMMdd")) : QString();
}

QString dateTimeText(const QDate &d, const QString &time)
{
    const QString clock = Format::clockTime(time);
    return d.isValid() && !clock.isEmpty() ? dateText(d) + QLatin1Char('T') + clock : QString();
}

// A name from the port master ("Shanghai-CNSHA") without its code.
QString portName(const SamContext &cx, const QString &code)
{
    QString name = cx.portNames.value(code);
    const QString suffix = QLatin1Char('-') + code;
    if (name.endsWith(suffix))
        name.chop(suffix.size());
    return name.trimmed();
}

// The flat file's mode of transport, as the message codes it: sea 1, rail 2, road 3.
QString modeCode(const QString &mode)
{
    if (mode == QLatin1String("R"))
        return QStringLiteral("2");
    if (mode == QLatin1String("T"))
        return QStringLiteral("3");
    if (mode == QLatin1String("S"))
        return QStringLiteral("1");
    return {};
}

QString modeLetter(const QString &code)
{
    if (code == QLatin1String("2"))
        return QStringLiteral("R");
    if (code == QLatin1String("3"))
        return QStringLiteral("T");
    if (code == QLatin1String("1"))
        return QStringLiteral("S");
    return {};
}

// Movements whose cargo goes on from the port of reporting over land.
bool goesInland(const QString &movement)
{
    return movement == QLatin1String("TI") || movement == QLatin1String("DT");
}

// A notify party's street as the flat file keeps it: up to three address lines.
QString joinedAddress(const Bill &l)
{
    QStringList parts;
    for (const BillColumn c : {BillColumn::NotAdd1, BillColumn::NotAdd2, BillColumn::NotAdd3}) {
        if (!text(l, c).isEmpty())
            parts << text(l, c);
    }
    return parts.join(QLatin1Char(' '));
}

QStringList splitAddress(const QString &street, qsizetype width, int lines)
{
    QStringList out;
    QString rest = street.trimmed();
    while (!rest.isEmpty() && out.size() < lines) {
        if (rest.size() <= width) {
            out << rest;
            rest.clear();
            break;
        }
        qsizetype cut = rest.lastIndexOf(QLatin1Char(' '), width);
        if (cut <= 0)
            cut = width;
        out << rest.left(cut).trimmed();
        rest = rest.mid(cut).trimmed();
    }
    if (!rest.isEmpty())
        out.clear(); // too long for the address lines: the caller refuses it
    return out;
}

// --- writing -----------------------------------------------------------------------------

class Writer
{
public:
    Writer(const SamSource &source, const SamContext &cx, const WriteOptions &o, QIODevice &out)
        : m_source(source), m_cx(cx), m_o(o), m_w(&out), m_v(source.header())
    {
        m_reporting = o.customHouseCode.trimmed();
        m_arrival = either(portOfArrival(m_v), m_reporting);
        m_consolidator = m_cx.submitterCode.isEmpty() ? QString() : fallback("MCRef.consolidatorPan(prefix)") + m_cx.submitterCode;
    }

    Status write();

private:
    void header();
    void voyage();
    void line(const Bill &l, bool house);
    void customs(const Bill &l);
    void document(const Bill &l);
    void measures(const Bill &l);
    void items(const Bill &l);
    void equipment(const Bill &l);
    void route(const Bill &l);
    void containerFields(JsonStreamWriter &w, const Container &c, bool voyageLevel, double weight, qint64 packages);
    void port(const char *codeKey, const char *nameKey, const QString &code);

    const SamSource &m_source;
    const SamContext &m_cx;
    const WriteOptions &m_o;
    JsonStreamWriter m_w;
    const VoyageHeader &m_v;
    QString m_reporting;
    QString m_arrival;
    QString m_consolidator;
    QTemporaryFile m_sideFile; // the voyage's list of containers, as it grows
    std::unique_ptr<JsonStreamWriter> m_side;
    qint64 m_listed = 0;
};

Status Writer::write()
{
    m_w.beginObject();
    header();
    m_w.beginObject("master");
    voyage();
    // The voyage's list of containers is written beside, as the lines bring its containers,
    // and follows the lines.
    m_sideFile.setFileTemplate(QDir::temp().filePath(QStringLiteral("quarl-sam-XXXXXX")));
    if (!m_sideFile.open())
        return Failure(ErrorNumber::PathFileAccess,
                       QStringLiteral("No room for the list of containers: %1").arg(m_sideFile.errorString()));
    m_side = std::make_unique<JsonStreamWriter>(&m_sideFile);
    m_side->beginObject();
    m_side->beginObject("master");
    m_side->beginArray("voyageTransportEquipment");
    m_side->flush();
    const qint64 listStart = m_sideFile.size();
    m_w.beginArray("mastrCnsgmtDec");
    qint64 done = 0;
    const qint64 total = m_source.masterCount();
    Status read = m_source.readBills([&](const Bill &l) {
        line(l, false);
        if (m_o.progress && ++done % 1000 == 0)
            m_o.progress(done, total);
        return !m_w.failed();
    });
    if (!read)
        return read;
    m_w.endArray();
    if (!m_side->flush() || !m_sideFile.seek(listStart))
        return Failure(ErrorNumber::PathFileAccess,
                       QStringLiteral("The list of containers could not be kept: %1").arg(m_sideFile.errorString()));
    m_w.beginArray("voyageTransportEquipment");
    m_w.elementsFrom(m_sideFile);
    m_w.endArray();
    m_w.endObject();
    // The gateway's signing utility fills these.
    m_w.beginObject("digSign", Layout_::Inline);
    m_w.string("startSignature", QString());
    m_w.string("startCertificate", QString());
    m_w.string("signerVersion", QString());
    m_w.endObject();
    m_w.endObject();
    if (!m_w.flush())
        return Failure(ErrorNumber::PathFileAccess, QStringLiteral("The SAM file could not be written to the end."));
    return Status::ok();
}

void Writer::header()
{
    m_w.beginObject("headerField", Layout_::Inline);
    m_w.optionalString("senderID", Format::trimTrailing(m_o.iceGateUser).trimmed());
    m_w.optionalString("receiverID", m_reporting);
    m_w.string("versionNo", fallback("headerField.versionNo"));
    m_w.string("indicator", m_o.testOrProduction.trimmed());
    m_w.string("messageID", fallback("headerField.messageID"));
    m_w.integer("sequenceOrControlNumber", m_cx.jobNumber);
    m_w.string("date", m_o.written.date().toString(QStringLiteral("yyyyMMdd")));
    m_w.string("time", m_o.written.time().toString(QStringLiteral("'T'HH:mm")));
    m_w.string("reportingEvent", fallback("headerField.reportingEvent"));
    m_w.endObject();
}

void Writer::voyage()
{
    const VoyageHeader &v = m_v;
    m_w.beginObject("decRef", Layout_::Inline);
    m_w.string("msgTyp", fallback("decRef.msgTyp"));
    m_w.optionalString("prtofRptng", m_reporting);
    m_w.integer("jobNo", m_cx.jobNumber);
    m_w.string("jobDt", m_o.written.date().toString(QStringLiteral("yyyyMMdd")));
    m_w.string("rptngEvent", fallback("headerField.reportingEvent"));
    double igm = 0;
    if (Format::parseNumber(text(v, VoyageColumn::IgmNo), &igm) && igm >= 1 && std::trunc(igm) == igm)
        m_w.integer("mnfstNoRotnNo", qint64(igm));
    m_w.optionalString("mnfstDtRotnDt", dateText(v.date(VoyageColumn::IgmDate)));
    m_w.string("vesselTypMvmt", fallback("decRef.vesselTypMvmt"));
    m_w.endObject();

    m_w.beginObject("authPrsn", Layout_::Inline);
    m_w.optionalString("sbmtrTyp", either(m_cx.submitterType, fallback("authPrsn.sbmtrTyp")));
    m_w.optionalString("sbmtrCd", either(m_cx.submitterCode, text(v, VoyageColumn::AgentCode)));
    m_w.optionalString("authReprsntvCd", m_cx.signerPan);
    m_w.optionalString("shpngLineCd", text(v, VoyageColumn::LineCode));
    m_w.optionalString("authSeaCarrierCd", extra(v, "asccode"));
    m_w.optionalString("masterName", text(v, VoyageColumn::Master));
    m_w.optionalString("shpngLineBondNmbr", extra(v, "linebond"));
    m_w.optionalString("trmnlOprtrCd", terminalOperator(v));
    m_w.endObject();

    m_w.beginObject("vesselDtls", Layout_::Inline);
    m_w.string("modeOfTrnsprt", fallback("vesselDtls.modeOfTrnsprt"));
    m_w.string("typOfTrnsprtMeans", fallback("vesselDtls.typOfTrnsprtMeans"));
    m_w.optionalString("trnsprtMeansId", m_source.imo());
    m_w.optionalString("purposeOfCall", either(extra(v, "purpcall"), fallback("vesselDtls.purposeOfCall")));
    m_w.optionalString("shipTyp", extra(v, "shiptype"));
    m_w.endObject();

    m_w.beginObject("voyageDtls");
    m_w.optionalString("voyageNo", text(v, VoyageColumn::Voyage));
    m_w.optionalString("cnvnceRefNmbr", extra(v, "vcn"));
    m_w.integer("totalNoOfTrnsprtEqmtMnfsted", m_source.voyageBoxCount());
    m_w.integer("totalNmbrOfLines", m_source.masterCount());
    // The kind of cargo units [I]: large freight containers when the voyage has any.
    QString cargoCode = QStringLiteral("9");
    if (m_source.voyageBoxCount() > 0) {
        cargoCode = QStringLiteral("2");
    } else if (m_source.masterCount() > 0) {
        const QSet<QString> &natures = m_source.masterNatures();
        const bool liquid = natures.size() == 1 && natures.contains(QStringLiteral("LB"));
        const bool solid = natures.size() == 1 && natures.contains(QStringLiteral("DB"));
        cargoCode = liquid ? QStringLiteral("0") : solid ? QStringLiteral("1") : cargoCode;
    }
    m_w.string("crgoDescCdd", cargoCode);
    m_w.optionalString("briefCrgoDesc", text(v, VoyageColumn::CargoDescription));
    m_w.optionalString("exptdDtAndTimeOfArvl", dateTimeText(v.date(VoyageColumn::ArrivalDate), v.text(VoyageColumn::ArrivalTime)));
    m_w.optionalString("exptdDtAndTimeOfDptr",
                       dateTimeText(v.extra.value(QStringLiteral("depdt")).toDate(), extra(v, "deptime")));
    const QString pax = either(extra(v, "paxcount"), fallback("voyageDtls.nmbrOfPsngrsMnfsted"));
    if (!pax.isEmpty())
        m_w.integer("nmbrOfPsngrsMnfsted", qint64(Format::numericValue(pax)));
    if (!extra(v, "crewcount").isEmpty())
        m_w.integer("nmbrOfCrewMnfsted", qint64(Format::numericValue(extra(v, "crewcount"))));
    m_w.beginArray("shipItnry");
    const std::pair<int, QString> calls[] = {
        {-3, text(v, VoyageColumn::LastPort2)}, {-2, text(v, VoyageColumn::LastPort1)}, {-1, text(v, VoyageColumn::LastPort)}, {0, m_arrival},
        {1, extra(v, "nextport")},    {2, extra(v, "nextport1")},  {3, extra(v, "nextport2")}};
    for (const auto &[sequence, code] : calls) {
        if (code.isEmpty() || code == QLatin1String(Placeholder::Port))
            continue;
        m_w.beginObject(Layout_::Inline);
        m_w.string("shipItnrySeq", QString::number(sequence));
        port("prtOfCallCdd", "prtOfCallName", code);
        m_w.endObject();
    }
    m_w.endArray();
    m_w.endObject();
}

void Writer::port(const char *codeKey, const char *nameKey, const QString &code)
{
    m_w.optionalString(codeKey, code);
    if (!code.isEmpty())
        m_w.optionalString(nameKey, portName(m_cx, code));
}

void Writer::line(const Bill &l, bool house)
{
    // The voyage's list takes each container where it first stands, whatever the line files.
    for (const Container &c : l.containers) {
        double weight = 0;
        qint64 packages = 0;
        if (!m_source.firstOf(c, &weight, &packages))
            continue;
        m_side->beginObject(Layout_::Inline);
        m_side->integer("equipmentSequenceNo", ++m_listed);
        containerFields(*m_side, c, true, weight, packages);
        m_side->endObject();
    }
    const QString movement = Format::code(l[BillColumn::Movement]);
    const QString cargoType = either(extra(l, "cargotype"), fallback("locCstm.typOfCrgo"));
    const QString kind = either(extra(l, "consind"), house ? QStringLiteral("H") : l.houses.empty() ? fallback("MCRef.consolidatedIndctr")
                                                                                                       : QStringLiteral("C"));
    const QString previous = either(extra(l, "prevdec"), fallback("MCRef.prevDec"));
    // The parts of the line: those its scenario asks for, else the usual ones (the check
    // then says what is wrong with the scenario).
    QSet<int> parts = samScenarioObjects(house, cargoType, kind, previous, movement)
                          .value_or(QSet<int>{25, 27, 28, 29, 30, 32, 43, 45, 46, 47, 49, 51});
    auto has = [&](int master, int houseNumber) { return parts.contains(house ? houseNumber : master); };

    m_w.beginObject();
    m_w.beginObject(house ? "HCRef" : "MCRef", Layout_::Inline);
    if (house) {
        m_w.integer("subLineNo", qint64(Format::numericValue(l[BillColumn::SubLineNo])));
        m_w.optionalString("blNo", either(text(l, BillColumn::HblNo), text(l, BillColumn::BlNo)));
        m_w.optionalString("blDt", dateText(l.date(BillColumn::HblDate).isValid() ? l.date(BillColumn::HblDate) : l.date(BillColumn::BlDate)));
        m_w.string("consolidatedIndctr", kind);
        m_w.optionalString("consolidatorPan", m_consolidator);
        m_w.string("prevDec", previous);
    } else {
        m_w.integer("lineNo", qint64(Format::numericValue(l[BillColumn::LineNo])));
        m_w.optionalString("mstrBlNo", text(l, BillColumn::BlNo));
        m_w.optionalString("mstrBlDt", dateText(l.date(BillColumn::BlDate)));
        m_w.string("consolidatedIndctr", kind);
        m_w.string("prevDec", previous);
        m_w.optionalString("consolidatorPan", m_consolidator);
    }
    m_w.endObject();
    if (has(25, 46))
        customs(l);
    if (has(26, 44)) {
        m_w.beginObject("trnshpr", Layout_::Inline);
        m_w.optionalString("trnshprCd", text(l, BillColumn::CarrierCode));
        const double bond = Format::numericValue(l[BillColumn::BondNo]);
        m_w.optionalString("trnshprBond", bond > 0 ? Format::formatNumber(bond) : QString());
        m_w.endObject();
    }
    if (has(27, 43))
        document(l);
    if (has(32, 51))
        measures(l);
    if (has(28, 45))
        items(l);
    if (has(29, 47))
        equipment(l);
    if (has(30, 49))
        route(l);
    if (!house && !l.houses.empty()) {
        m_w.beginArray("houseCargoDec");
        for (const Bill &h : l.houses)
            line(h, true);
        m_w.endArray();
    }
    m_w.endObject();
}

void Writer::customs(const Bill &l)
{
    m_w.beginObject("locCstm", Layout_::Inline);
    m_w.optionalString("firstPrtOfEntry", m_reporting);
    m_w.optionalString("destPrt", either(text(l, BillColumn::DestCode), text(l, BillColumn::PortDest)));
    m_w.optionalString("nxtPrtOfUnlading", either(extra(l, "nextunload"), m_arrival));
    m_w.optionalString("typOfCrgo", either(extra(l, "cargotype"), fallback("locCstm.typOfCrgo")));
    m_w.optionalString("itemTyp", Format::code(l[BillColumn::ItemType]));
    m_w.optionalString("crgoMvmt", Format::code(l[BillColumn::Movement]));
    m_w.optionalString("natrOfCrgo", Format::code(l[BillColumn::Nature]));
    m_w.endObject();
}

void Writer::document(const Bill &l)
{
    m_w.beginObject("trnsprtDoc");
    port("prtOfAcptCdd", "prtOfAcptName", text(l, BillColumn::PortLoad));
    port("prtOfReceiptCdd", "prtOfReceiptName", text(l, BillColumn::PortDest));
    m_w.optionalString("cnsgnrsName", extra(l, "shpname"));
    m_w.optionalString("cnsgnrStreetAddress", extra(l, "shpaddr"));
    m_w.optionalString("cnsgnrCity", extra(l, "shpcity"));
    m_w.optionalString("cnsgnrCntryCd", extra(l, "shpcntry"));
    const QString importer = text(l, BillColumn::ImpName);
    const QString street = either(extra(l, "cnsaddr"), text(l, BillColumn::ImpAdd1));
    const QString city = extra(l, "cnscity");
    const QString country = either(extra(l, "cnscntry"), fallback("trnsprtDoc.cnsgneCntryCd"));
    m_w.optionalString("cnsgnesName", importer);
    m_w.optionalString("cnsgneStreetAddress", street);
    m_w.optionalString("cnsgneCity", city);
    m_w.optionalString("cnsgneCntryCd", country);
    const QString code = extra(l, "cnscode");
    if (!code.isEmpty()) {
        m_w.string("cnsgnesCd", code);
        m_w.string("typOfCd", either(extra(l, "cnscodetype"), fallback("trnsprtDoc.typOfCd")));
    }
    m_w.optionalString("cnsgneCntrySubDivName", extra(l, "cnsstatenm"));
    m_w.optionalString("cnsgneCntrySubDiv", extra(l, "cnsstate"));
    m_w.optionalString("cnsgnePstcd", extra(l, "cnspin"));
    // The notify party is the importer when none is given [O].
    const QString notify = text(l, BillColumn::NotName);
    const bool importerNotified = notify.isEmpty() || notify == importer;
    m_w.optionalString("nameOfAnyOtherNotfdParty", either(notify, importer));
    m_w.optionalString("notfdPartyStreetAddress", either(joinedAddress(l), importerNotified ? street : QString()));
    m_w.optionalString("notfdPartyCity", either(extra(l, "notcity"), importerNotified ? city : QString()));
    const QString notifyCode = extra(l, "notpan");
    if (!notifyCode.isEmpty()) {
        m_w.string("panOfNotfdParty", notifyCode);
        m_w.string("typOfNotfdPartyCd", either(extra(l, "notcodetype"), fallback("trnsprtDoc.typOfNotfdPartyCd")));
    }
    m_w.optionalString("notfdPartyCntryCd", extra(l, "notcntry"));
    m_w.optionalString("notfdPartyPstcd", extra(l, "notpin"));
    m_w.optionalString("goodsDescAsPerBl", text(l, BillColumn::Description));
    m_w.endObject();
}

void Writer::measures(const Bill &l)
{
    m_w.beginObject("trnsprtDocMsr", Layout_::Inline);
    if (!l.isNull(BillColumn::Pkgs))
        m_w.integer("nmbrOfPkgs", qint64(Format::numericValue(l[BillColumn::Pkgs])));
    m_w.optionalString("typsOfPkgs", Format::code(l[BillColumn::PkgType]));
    m_w.optionalString("marksNoOnPkgs", text(l, BillColumn::Marks));
    if (!l.isNull(BillColumn::GrossWt))
        m_w.decimal("grossWeight", Format::numericValue(l[BillColumn::GrossWt]), 3);
    m_w.optionalString("unitOfWeight", Format::code(l[BillColumn::UnitWt]));
    const double volume = Format::numericValue(l[BillColumn::Volume]);
    if (volume != 0) {
        m_w.decimal("grossVolume", volume, 3);
        m_w.optionalString("unitOfVolume", Format::code(l[BillColumn::UnitVol]));
    }
    m_w.endObject();
}

void Writer::items(const Bill &l)
{
    m_w.beginArray("itemDtls");
    auto item = [&](qint64 sequence, const QHash<QString, QVariant> &columns) {
        auto value = [&](const char *column, BillColumn lineColumn) {
            const QString own = columns.value(QLatin1String(column)).toString().trimmed();
            return own.isEmpty() && lineColumn != BillColumn::Count ? text(l, lineColumn) : own;
        };
        m_w.beginObject(Layout_::Inline);
        m_w.integer("crgoItemSeqNmbr", sequence);
        m_w.optionalString("hsCd", value("hscode", BillColumn::Count));
        m_w.optionalString("crgoItemDesc", value("itemdesc", BillColumn::Description));
        m_w.optionalString("unoCd", value("unocode", BillColumn::UnoCode));
        m_w.optionalString("imdgCd", value("imocode", BillColumn::ImoCode));
        const QString pkgs = value("pkgs", BillColumn::Pkgs);
        if (!pkgs.isEmpty())
            m_w.integer("nmbrOfPkgs", qint64(Format::numericValue(pkgs)));
        m_w.optionalString("typOfPkgs", value("pkgtype", BillColumn::PkgType).toUpper());
        m_w.endObject();
    };
    if (l.items.empty()) {
        item(1, {}); // a line without items files one made from itself
    } else {
        qint64 sequence = 0;
        for (const Item &i : l.items)
            item(++sequence, i.columns);
    }
    m_w.endArray();
}

void Writer::containerFields(JsonStreamWriter &w, const Container &c, bool voyageLevel, double weight, qint64 packages)
{
    const bool v = voyageLevel;
    QString status = Format::code(c[ContainerColumn::Status]);
    if (status == QLatin1String("MTY"))
        status = QStringLiteral("EMP");
    w.optionalString(v ? "equipmentId" : "eqmtId", text(c, ContainerColumn::Number));
    w.optionalString(v ? "equipmentType" : "eqmtTyp", either(extra(c, "eqtype"), fallback("trnsprtEqmt.eqmtTyp")));
    w.optionalString(v ? "equipmentSize" : "eqmtSize", text(c, ContainerColumn::Iso));
    w.optionalString(v ? "equipmentLoadStatus" : "eqmtLoadStatus", status);
    w.optionalString(v ? "equipmentSealType" : "eqmtSealTyp", extra(c, "sealtype"));
    w.optionalString(v ? "equipmentSealNumber" : "eqmtSealNmbr", text(c, ContainerColumn::Seal));
    w.optionalString("socFlag", Format::code(c[ContainerColumn::Soc]));
    w.optionalString(v ? "containerAgentCode" : "cntrAgntCd", text(c, ContainerColumn::Agent));
    // Kilograms in the message, tonnes with us.
    w.decimal(v ? "containerWeight" : "cntrWeight", weight * 1000, 2);
    // The gateway counts an empty container as one package.
    w.integer(v ? "totalNumberOfPackages" : "totalNmbrOfPkgs",
                status == QLatin1String("EMP") && packages == 0 ? 1 : packages);
}

void Writer::equipment(const Bill &l)
{
    m_w.beginArray("trnsprtEqmt");
    qint64 sequence = 0;
    for (const Container &c : l.containers) {
        m_w.beginObject(Layout_::Inline);
        m_w.integer("eqmtSeqNo", ++sequence);
        containerFields(m_w, c, false, Format::numericValue(c[ContainerColumn::Weight]), qint64(Format::numericValue(c[ContainerColumn::Pkgs])));
        m_w.endObject();
    }
    m_w.endArray();
}

void Writer::route(const Bill &l)
{
    const QString from = text(l, BillColumn::PortLoad);
    const QString to = text(l, BillColumn::PortDest);
    const QString movement = Format::code(l[BillColumn::Movement]);
    m_w.beginArray("itnry");
    qint64 sequence = 0;
    auto leg = [&](const QString &a, const QString &b, const QString &mode) {
        m_w.beginObject(Layout_::Inline);
        m_w.integer("prtOfCallSeqNmbr", ++sequence);
        port("prtOfCallCdd", "prtOfCallName", a);
        port("nxtPrtOfCallCdd", "nxtPrtOfCallName", b);
        m_w.optionalString("modeOfTrnsprt", mode);
        m_w.endObject();
    };
    leg(from, m_arrival, QStringLiteral("1"));
    if (!to.isEmpty() && to != m_arrival && to != QLatin1String(Placeholder::Port))
        leg(m_arrival, to, goesInland(movement) ? modeCode(Format::code(l[BillColumn::Mode])) : QStringLiteral("1"));
    m_w.endArray();
}

// --- reading -----------------------------------------------------------------------------

class Reader
{
public:
    Reader(ManifestSink &sink, ReadContext &cx) : m_sink(sink), m_cx(cx) {}

    bool read(const char *begin, const char *end, bool fileMapped = false);

private:
    bool headers(const Json &top);
    // The header when the first line comes: what stands before it, or read ahead.
    bool headersFirst(const char *begin, const char *end, bool fileMapped);
    bool line(size_t index, const Json &l);
    bool fill(Bill &out, const Json &l, const QString &path, bool house, qint64 lineNo);
    // the containers and goods items read since the last time
    bool deliverParts();

    // A refusal naming the line and the key; false when the reading stops.
    bool refuse(Section section, const QString &column, const QString &path, const QString &what, const QString &number);
    bool text(const Json &o, const char *key, const QString &path, Row<BillColumn> &row, BillColumn column, qsizetype width = -1);
    bool textTo(const Json &o, const char *key, const QString &path, QVariant *slot, const char *table, const char *column,
                Section section);
    bool numberTo(const Json &o, const char *key, const QString &path, QVariant *slot, Section section,
                  const QString &column, bool whole, double factor = 1);
    bool dateTo(const Json &o, const char *key, const QString &path, QVariant *slot, Section section, const QString &column);
    // A date and time YYYYMMDDTHH:MM: the date in *date, the time HH:MM in *clock.
    bool dateTimeTo(const Json &o, const char *key, const QString &path, QVariant *date, QString *clock, Section section,
                    const QString &column);
    // A value a stored row cannot be without; what names the row ("The line").
    bool required(bool present, const QString &path, const char *parent, const char *key, Section section,
                  const QString &column, const char *what);
    // A member of a list that must be a group of fields.
    bool group(const Json &element, const QString &path, Section section, const char *what);
    // A part that must be a group of fields (list: a list): none, or null, reads as an empty
    // one; a value of another kind is refused, so that nothing of a damaged part is lost
    // without a word.
    bool part(const Json &o, const char *key, const QString &path, Section section, bool list, const Json **out);
    // Text (or a number, where the schema has one) of a key, trimmed; empty when none.
    bool textOf(const Json &o, const char *key, const QString &path, Section section, QString *out);
    // A column of the store, looked up once: its table and name are names the program keeps.
    const ColumnDef *columnDef(const char *table, const char *column)
    {
        const auto key = std::pair{static_cast<const void *>(table), static_cast<const void *>(column)};
        auto it = m_columns.find(key);
        if (it == m_columns.end())
            it = m_columns.emplace(key, Schema::column(QLatin1String(table), QLatin1String(column))).first;
        return it->second;
    }
    // The schema's node of a key, found from its path in the file.
    const SchemaNode *schemaNode(const QString &path);
    // A number held to the type and range the schema gives its key (here: its path).
    bool asTheSchemaSays(const Json &value, const char *key, const QString &here, Section section, const QString &column);
    // Whether a value is of a type the schema allows its key.
    bool typeAsTheSchemaSays(const Json &value, const QString &here)
    {
        const SchemaNode *node = schemaNode(here);
        return !node || m_schema->value().acceptsType(value, node);
    }

    ManifestSink &m_sink;
    ReadContext &m_cx;
    JsonSplitReader *m_reader = nullptr;
    bool m_headersSent = false;
    QString m_vessel;
    QString m_voyage;
    QString m_bill;
    qint64 m_line = 0; // of the text, for messages
    std::vector<Container> m_containers;
    std::vector<std::tuple<qint64, qint64, Item>> m_items;
    QVariant m_total;     // the voyage's count of master lines
    qint64 m_masters = 0; // master lines read
    std::optional<Result<JsonSchema>> m_schema; // what numbers and dates are read against
    QHash<quint64, const SchemaNode *> m_nodes;  // by a hash of the path without places in lists
    std::map<std::pair<const void *, const void *>, const ColumnDef *> m_columns;
};

bool Reader::refuse(Section section, const QString &column, const QString &path, const QString &what, const QString &number)
{
    Problem p;
    const QString where = m_bill.isEmpty() ? QString() : QStringLiteral("B/L %1: ").arg(m_bill);
    p.failure = Failure(number, m_line > 0 ? QStringLiteral("%1%2 (%3, line %4 of the file)").arg(where, what, path).arg(m_line)
                                           : QStringLiteral("%1%2 (%3)").arg(where, what, path));
    p.section = section;
    p.column = column;
    p.fileLine = m_line;
    p.blNo = m_bill;
    p.text = QStringLiteral("%1 (%2)").arg(what, path);
    return m_cx.raise(p);
}

bool Reader::textTo(const Json &o, const char *key, const QString &path, QVariant *slot, const char *table,
                    const char *column, Section section)
{
    const auto it = o.is_object() ? o.find(key) : o.end();
    if (it == o.end() || it->is_null())
        return true;
    const QString here = path + QLatin1Char('/') + QLatin1String(key);
    if (!it->is_string() && !it->is_number())
        return refuse(section, QLatin1String(column), here, QStringLiteral("%1 is not text").arg(QLatin1String(key)),
                      QString::number(ErrorNumber::TypeMismatch));
    // a number kept as text (the IGM number) is a number all the same, and text where the
    // schema has a number is refused as a number of another type is
    if ((it->is_number() || !typeAsTheSchemaSays(*it, here)) && !asTheSchemaSays(*it, key, here, section, QLatin1String(column)))
        return false;
    // a whole number is kept as its digits, however the file writes it (1.0, 1e2)
    const double number = it->is_number_float() ? it->get<double>() : 0;
    const bool whole = it->is_number_float() && std::isfinite(number) && std::trunc(number) == number && std::fabs(number) < 1e15;
    const QString value = whole ? QString::number(qint64(number)) : trimmedText(o, key);
    const ColumnDef *def = table ? columnDef(table, column) : nullptr;
    if (def && def->isText() && value.size() > def->size)
        return refuse(section, QLatin1String(column), here,
                      QStringLiteral("Value too long: %1 holds %2 characters, the column %3 takes at most %4")
                          .arg(QLatin1String(key))
                          .arg(value.size())
                          .arg(QLatin1String(column))
                          .arg(def->size),
                      QStringLiteral("22001"));
    if (!value.isEmpty())
        *slot = value;
    return true;
}

bool Reader::text(const Json &o, const char *key, const QString &path, Row<BillColumn> &row, BillColumn column, qsizetype)
{
    return textTo(o, key, path, &row[column], Table::Cargo, columnName(column), Section::Cargo);
}

const SchemaNode *Reader::schemaNode(const QString &path)
{
    if (!m_schema || !*m_schema)
        return nullptr;
    // Known by a hash of the path with its places in lists left out, made without a copy:
    // a long file asks for the same few nodes a million times.
    quint64 hash = 14695981039346656037ull;
    auto mix = [&hash](char16_t c) { hash = (hash ^ c) * 1099511628211ull; };
    const QChar *p = path.constData();
    const QChar *end = p + path.size();
    while (p < end) {
        const QChar *segment = ++p; // past the slash
        while (p < end && *p != QLatin1Char('/'))
            ++p;
        mix(u'/');
        if (p > segment && std::all_of(segment, p, [](QChar c) { return c.isDigit(); })) {
            mix(u'#');
        } else {
            for (const QChar *c = segment; c < p; ++c)
                mix(c->unicode());
        }
    }
    const auto known = m_nodes.constFind(hash);
    if (known != m_nodes.constEnd())
        return known.value();
    QStringList steps;
    for (const QString &token : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        bool numeric = false;
        (void)token.toLongLong(&numeric);
        steps << (numeric ? QStringLiteral("[]") : token);
    }
    const JsonSchema &schema = m_schema->value();
    const SchemaNode *node = schema.at(schema.root(), steps);
    m_nodes.insert(hash, node);
    return node;
}

bool Reader::asTheSchemaSays(const Json &value, const char *key, const QString &here, Section section, const QString &column)
{
    const SchemaNode *node = schemaNode(here);
    if (!node || m_schema->value().accepts(value, node))
        return true;
    QList<SchemaFailure> failures;
    m_schema->value().validate(value, node, std::string(), &failures);
    const QString found = QString::fromStdString(value.dump());
    for (const SchemaFailure &f : failures) {
        if (f.keyword == QLatin1String("type")) {
            const QString expected = f.expected.contains(QLatin1String("integer")) ? QStringLiteral("a whole number")
                                   : f.expected.contains(QLatin1String("number"))  ? QStringLiteral("a number")
                                   : f.expected.contains(QLatin1String("string"))  ? QStringLiteral("text")
                                                                                   : f.expected;
            return refuse(section, column, here, QStringLiteral("Type mismatch: %1 holds %2, not %3").arg(QLatin1String(key), found, expected),
                          QString::number(ErrorNumber::TypeMismatch));
        }
        if (f.keyword == QLatin1String("minimum") || f.keyword == QLatin1String("maximum"))
            return refuse(section, column, here,
                          QStringLiteral("Out of range: %1 holds %2, %3 %4")
                              .arg(QLatin1String(key), found,
                                   f.keyword == QLatin1String("minimum") ? QStringLiteral("less than") : QStringLiteral("more than"),
                                   f.expected),
                          QString::number(ErrorNumber::Overflow));
    }
    return true;
}

bool Reader::numberTo(const Json &o, const char *key, const QString &path, QVariant *slot, Section section,
                      const QString &column, bool whole, double factor)
{
    const auto it = o.is_object() ? o.find(key) : o.end();
    if (it == o.end() || it->is_null())
        return true;
    const QString here = path + QLatin1Char('/') + QLatin1String(key);
    auto found = [&] { return QString::fromStdString(it->dump()); };
    auto mismatch = [&] {
        return refuse(section, column, here,
                      QStringLiteral("Type mismatch: %1 holds %2, not %3")
                          .arg(QLatin1String(key), found(), whole ? QStringLiteral("a whole number") : QStringLiteral("a number")),
                      QString::number(ErrorNumber::TypeMismatch));
    };
    auto outOfRange = [&](const QString &bound) {
        return refuse(section, column, here, QStringLiteral("Out of range: %1 holds %2, %3").arg(QLatin1String(key), found(), bound),
                      QString::number(ErrorNumber::Overflow));
    };
    // The type and range the schema gives a number; a code kept as a number (a bond) is text
    // there, and read as the number it holds.
    if (!asTheSchemaSays(*it, key, here, section, column))
        return false;
    double v = 0;
    bool ok = it->is_number();
    if (ok)
        v = it->get<double>();
    else if (it->is_string())
        ok = Format::parseNumber(QString::fromStdString(it->get<std::string>()), &v);
    if (!ok || !std::isfinite(v) || v < 0 || (whole && std::trunc(v) != v))
        return mismatch();
    // what a column of whole numbers holds
    constexpr double MostWhole = 2147483647;
    if (whole && v > MostWhole)
        return outOfRange(QStringLiteral("more than %1").arg(qint64(MostWhole)));
    if (whole)
        *slot = qint64(v);
    else
        *slot = v / factor;
    return true;
}

bool Reader::dateTo(const Json &o, const char *key, const QString &path, QVariant *slot, Section section,
                    const QString &column)
{
    const auto it = o.is_object() ? o.find(key) : o.end();
    if (it == o.end() || it->is_null())
        return true;
    const QString here = path + QLatin1Char('/') + QLatin1String(key);
    if (!it->is_string())
        return refuse(section, column, here,
                      QStringLiteral("Type mismatch: %1 holds %2, not a date YYYYMMDD").arg(QLatin1String(key), QString::fromStdString(it->dump())),
                      QString::number(ErrorNumber::TypeMismatch));
    const QString t = QString::fromStdString(it->get<std::string>()).trimmed();
    if (t.isEmpty())
        return true;
    const QDate d = QDate::fromString(t, QStringLiteral("yyyyMMdd"));
    if (t.size() != 8 || !std::all_of(t.begin(), t.end(), [](QChar c) { return c.isDigit(); }) || !d.isValid())
        return refuse(section, column, here,
                      QStringLiteral("Type mismatch: %1 holds \"%2\", not a date YYYYMMDD").arg(QLatin1String(key), t),
                      QString::number(ErrorNumber::TypeMismatch));
    *slot = d;
    return true;
}

bool Reader::dateTimeTo(const Json &o, const char *key, const QString &path, QVariant *date, QString *clock,
                        Section section, const QString &column)
{
    const auto it = o.is_object() ? o.find(key) : o.end();
    if (it == o.end() || it->is_null())
        return true;
    const QString here = path + QLatin1Char('/') + QLatin1String(key);
    const QString t = it->is_string() ? QString::fromStdString(it->get<std::string>()).trimmed() : QString();
    if (it->is_string() && t.isEmpty())
        return true;
    const QDate d = QDate::fromString(t.left(8), QStringLiteral("yyyyMMdd"));
    const QTime time = QTime::fromString(t.mid(9), QStringLiteral("HH:mm"));
    if (!it->is_string() || t.size() != 14 || t.at(8) != QLatin1Char('T')
        || !std::all_of(t.begin(), t.begin() + 8, [](QChar c) { return c.isDigit(); }) || !d.isValid() || !time.isValid())
        return refuse(section, column, here,
                      QStringLiteral("Type mismatch: %1 holds %2, not a date and time YYYYMMDDTHH:MM")
                          .arg(QLatin1String(key), it->is_string() ? QLatin1Char('"') + t + QLatin1Char('"') : QString::fromStdString(it->dump())),
                      QString::number(ErrorNumber::TypeMismatch));
    *date = d;
    *clock = t.mid(9);
    return true;
}

bool Reader::required(bool present, const QString &path, const char *parent, const char *key, Section section,
                      const QString &column, const char *what)
{
    if (present)
        return true;
    return refuse(section, column, path + QLatin1Char('/') + QLatin1String(key),
                  QStringLiteral("%1 has no %2 (%3), which it cannot be stored without")
                      .arg(QLatin1String(what), samFieldLabel(QLatin1String(parent), QLatin1String(key)), QLatin1String(key)),
                  QString::number(ErrorNumber::InvalidUseOfNull));
}

bool Reader::group(const Json &element, const QString &path, Section section, const char *what)
{
    if (element.is_object())
        return true;
    return refuse(section, QString(), path, QStringLiteral("%1 is not a group of fields").arg(QLatin1String(what)),
                  QString::number(ErrorNumber::BadFileFormat));
}

bool Reader::part(const Json &o, const char *key, const QString &path, Section section, bool list, const Json **out)
{
    static const Json none;
    *out = &none;
    const auto it = o.is_object() ? o.find(key) : o.end();
    if (it == o.end() || it->is_null())
        return true;
    if (list ? it->is_array() : it->is_object()) {
        *out = &*it;
        return true;
    }
    return refuse(section, QString(), path + QLatin1Char('/') + QLatin1String(key),
                  QStringLiteral("%1 is not %2").arg(QLatin1String(key), list ? QStringLiteral("a list") : QStringLiteral("a group of fields")),
                  QString::number(ErrorNumber::BadFileFormat));
}

bool Reader::textOf(const Json &o, const char *key, const QString &path, Section section, QString *out)
{
    QVariant value;
    if (!textTo(o, key, path, &value, nullptr, nullptr, section))
        return false;
    *out = value.toString();
    return true;
}

bool Reader::headers(const Json &top)
{
    m_line = 0;
    m_bill.clear();
    if (!top.is_object())
        return refuse(Section::Vessel, QString(), QStringLiteral("/"),
                      QStringLiteral("The file is not a SAM message: its text is not a group of fields"),
                      QString::number(ErrorNumber::BadFileFormat));
    if (!object(top, "master"))
        return refuse(Section::Vessel, QString(), QStringLiteral("/master"),
                      QStringLiteral("The file is not a SAM message: it has no master group of fields (the voyage and its lines)"),
                      QString::number(ErrorNumber::BadFileFormat));
    const Json &master = child(top, "master");
    const QString masterPath = QStringLiteral("/master");
    const Json *decRefPart, *authPart, *vesselPart, *voyPart;
    if (!part(master, "decRef", masterPath, Section::Vessel, false, &decRefPart)
        || !part(master, "authPrsn", masterPath, Section::Vessel, false, &authPart)
        || !part(master, "vesselDtls", masterPath, Section::Vessel, false, &vesselPart)
        || !part(master, "voyageDtls", masterPath, Section::Vessel, false, &voyPart))
        return false;
    const Json &decRef = *decRefPart;
    const Json &auth = *authPart;
    const Json &vessel = *vesselPart;
    const Json &voy = *voyPart;
    const QString path = QStringLiteral("/master/voyageDtls");
    VoyageHeader v;
    VesselMaster vm;
    QVariant imoValue, voyageValue;
    if (!textTo(vessel, "trnsprtMeansId", QStringLiteral("/master/vesselDtls"), &imoValue, "D_VESSEL_CD", "IMO_NO", Section::Vessel)
        || !textTo(voy, "voyageNo", path, &voyageValue, Table::Vessel, columnName(VoyageColumn::Voyage), Section::Vessel))
        return false;
    const QString imo = imoValue.toString();
    m_vessel = m_cx.vesselFor ? m_cx.vesselFor(imo) : QString();
    m_voyage = voyageValue.toString();
    if (m_vessel.isEmpty()) {
        Problem p;
        p.failure = Failure(ErrorNumber::BadFileFormat,
                            QStringLiteral("The SAM file names its vessel by IMO number %1 alone: no vessel code of the "
                                           "vessel code master has it. Give the vessel code to import it with.")
                                .arg(imo.isEmpty() ? QStringLiteral("(none)") : imo));
        p.section = Section::Vessel;
        p.column = QStringLiteral("vslcode");
        if (!m_cx.raise(p))
            return false;
    }
    if (!required(!m_voyage.isEmpty(), path, "voyageDtls", "voyageNo", Section::Vessel, QStringLiteral("voyno"), "The voyage"))
        return false;
    v[VoyageColumn::Code] = m_vessel;
    v[VoyageColumn::Voyage] = m_voyage;
    vm.code = m_vessel;
    if (!imo.isEmpty())
        vm.imo = imo;
    v.fileLine = 1;
    v.fileVessel = m_vessel;
    v.fileVoyage = m_voyage;
    auto vtext = [&](const Json &o, const char *key, const QString &p, VoyageColumn c) {
        return textTo(o, key, p, &v[c], Table::Vessel, columnName(c), Section::Vessel);
    };
    auto vextra = [&](const Json &o, const char *key, const QString &p, const char *column) {
        QVariant value;
        if (!textTo(o, key, p, &value, Table::Vessel, column, Section::Vessel))
            return false;
        if (!value.isNull())
            v.extra.insert(QLatin1String(column), value);
        return true;
    };
    bool ok = vtext(decRef, "mnfstNoRotnNo", QStringLiteral("/master/decRef"), VoyageColumn::IgmNo)
           && dateTo(decRef, "mnfstDtRotnDt", QStringLiteral("/master/decRef"), &v[VoyageColumn::IgmDate], Section::Vessel, QStringLiteral("IgmDt"))
           && vtext(auth, "shpngLineCd", QStringLiteral("/master/authPrsn"), VoyageColumn::LineCode)
           && vtext(auth, "masterName", QStringLiteral("/master/authPrsn"), VoyageColumn::Master)
           && vtext(auth, "trmnlOprtrCd", QStringLiteral("/master/authPrsn"), VoyageColumn::TerminalCode)
           && vextra(auth, "authSeaCarrierCd", QStringLiteral("/master/authPrsn"), "asccode")
           && vextra(auth, "shpngLineBondNmbr", QStringLiteral("/master/authPrsn"), "linebond")
           && vextra(vessel, "purposeOfCall", QStringLiteral("/master/vesselDtls"), "purpcall")
           && vextra(vessel, "shipTyp", QStringLiteral("/master/vesselDtls"), "shiptype")
           && vextra(voy, "cnvnceRefNmbr", path, "vcn")
           && vtext(voy, "briefCrgoDesc", path, VoyageColumn::CargoDescription);
    if (!ok)
        return false;
    QVariant total;
    if (!numberTo(voy, "totalNmbrOfLines", path, &total, Section::Vessel, QStringLiteral("TotItems"), true))
        return false;
    // The message counts master lines; the store counts every record, house B/Ls too, so
    // the reader compares the count itself at the end.
    m_total = total;
    for (const auto &[key, column] : {std::pair{"nmbrOfCrewMnfsted", "crewcount"}, {"nmbrOfPsngrsMnfsted", "paxcount"}}) {
        QVariant n;
        if (!numberTo(voy, key, path, &n, Section::Vessel, QLatin1String(column), true))
            return false;
        if (!n.isNull())
            v.extra.insert(QLatin1String(column), n);
    }
    auto when = [&](const char *key, VoyageColumn dateColumn, VoyageColumn timeColumn, const char *dateExtra, const char *timeExtra) {
        QVariant d;
        QString clock;
        if (!dateTimeTo(voy, key, path, &d, &clock, Section::Vessel, QLatin1String(dateExtra ? dateExtra : columnName(dateColumn))))
            return false;
        if (d.isNull())
            return true;
        if (dateExtra) {
            v.extra.insert(QLatin1String(dateExtra), d);
            v.extra.insert(QLatin1String(timeExtra), clock);
        } else {
            v[dateColumn] = d;
            v[timeColumn] = clock;
        }
        return true;
    };
    if (!when("exptdDtAndTimeOfArvl", VoyageColumn::ArrivalDate, VoyageColumn::ArrivalTime, nullptr, nullptr)
        || !when("exptdDtAndTimeOfDptr", VoyageColumn::ArrivalDate, VoyageColumn::ArrivalTime, "depdt", "deptime"))
        return false;
    const Json *callsPart;
    if (!part(voy, "shipItnry", path, Section::Vessel, true, &callsPart))
        return false;
    const Json &calls = *callsPart;
    for (size_t k = 0; k < calls.size(); ++k) {
        const QString here = path + QStringLiteral("/shipItnry/%1").arg(k);
        QString seq;
        if (!group(calls[k], here, Section::Vessel, "A port of call") || !textOf(calls[k], "shipItnrySeq", here, Section::Vessel, &seq))
            return false;
        static const QHash<QString, std::pair<VoyageColumn, const char *>> places = {
            {QStringLiteral("-3"), {VoyageColumn::LastPort2, nullptr}}, {QStringLiteral("-2"), {VoyageColumn::LastPort1, nullptr}},
            {QStringLiteral("-1"), {VoyageColumn::LastPort, nullptr}},  {QStringLiteral("0"), {VoyageColumn::ArrivalPortCode, nullptr}},
            {QStringLiteral("1"), {VoyageColumn::Count, "nextport"}},   {QStringLiteral("2"), {VoyageColumn::Count, "nextport1"}},
            {QStringLiteral("3"), {VoyageColumn::Count, "nextport2"}}};
        const auto place = places.constFind(seq);
        if (place == places.constEnd())
            continue; // the model keeps three ports either side
        if (place->second) {
            if (!vextra(calls[k], "prtOfCallCdd", here, place->second))
                return false;
        } else if (!vtext(calls[k], "prtOfCallCdd", here, place->first)) {
            return false;
        }
    }
    if (!v.isNull(VoyageColumn::ArrivalPortCode) && v.text(VoyageColumn::ArrivalPortCode).size() <= 6)
        v[VoyageColumn::PortArrival] = v[VoyageColumn::ArrivalPortCode];
    std::vector<VoyageHeader> rows;
    rows.push_back(std::move(v));
    m_headersSent = true;
    return m_sink.headers(std::move(rows), std::move(vm));
}

bool Reader::fill(Bill &out, const Json &l, const QString &path, bool house, qint64 lineNo)
{
    const Json *refPart, *locPart, *trPart, *docPart, *msrPart;
    if (!part(l, house ? "HCRef" : "MCRef", path, Section::Cargo, false, &refPart) || !part(l, "locCstm", path, Section::Cargo, false, &locPart)
        || !part(l, "trnshpr", path, Section::Cargo, false, &trPart) || !part(l, "trnsprtDoc", path, Section::Cargo, false, &docPart)
        || !part(l, "trnsprtDocMsr", path, Section::Cargo, false, &msrPart))
        return false;
    const Json &ref = *refPart;
    const QString refPath = path + (house ? QStringLiteral("/HCRef") : QStringLiteral("/MCRef"));
    out[BillColumn::Vessel] = m_vessel;
    out[BillColumn::Voyage] = m_voyage;
    out.fileLine = m_line;
    out.fileVessel = m_vessel;
    out.fileVoyage = m_voyage;
    auto setExtra = [&](const Json &o, const char *key, const QString &p, const char *column) {
        QVariant value;
        if (!textTo(o, key, p, &value, Table::Cargo, column, Section::Cargo))
            return false;
        if (!value.isNull())
            out.extra.insert(QLatin1String(column), value);
        return true;
    };
    if (house) {
        QVariant sub;
        if (!numberTo(ref, "subLineNo", refPath, &sub, Section::Cargo, QStringLiteral("sublineno"), true))
            return false;
        out[BillColumn::LineNo] = lineNo;
        out[BillColumn::SubLineNo] = sub;
        if (!text(ref, "blNo", refPath, out, BillColumn::BlNo) || !text(ref, "blNo", refPath, out, BillColumn::HblNo)
            || !dateTo(ref, "blDt", refPath, &out[BillColumn::BlDate], Section::Cargo, QStringLiteral("bldt")))
            return false;
        out[BillColumn::HblDate] = out[BillColumn::BlDate];
    } else {
        QVariant no;
        if (!numberTo(ref, "lineNo", refPath, &no, Section::Cargo, QStringLiteral("lineno"), true))
            return false;
        out[BillColumn::LineNo] = no;
        out[BillColumn::SubLineNo] = qint64(0);
        if (!text(ref, "mstrBlNo", refPath, out, BillColumn::BlNo)
            || !dateTo(ref, "mstrBlDt", refPath, &out[BillColumn::BlDate], Section::Cargo, QStringLiteral("bldt")))
            return false;
    }
    m_bill = out.bill();
    if (!setExtra(ref, "consolidatedIndctr", refPath, "consind") || !setExtra(ref, "prevDec", refPath, "prevdec"))
        return false;

    const Json &loc = *locPart;
    const QString locPath = path + QStringLiteral("/locCstm");
    if (!text(loc, "destPrt", locPath, out, BillColumn::DestCode) || !setExtra(loc, "nxtPrtOfUnlading", locPath, "nextunload")
        || !setExtra(loc, "typOfCrgo", locPath, "cargotype") || !text(loc, "itemTyp", locPath, out, BillColumn::ItemType)
        || !text(loc, "crgoMvmt", locPath, out, BillColumn::Movement) || !text(loc, "natrOfCrgo", locPath, out, BillColumn::Nature))
        return false;
    const Json &tr = *trPart;
    const QString trPath = path + QStringLiteral("/trnshpr");
    if (!text(tr, "trnshprCd", trPath, out, BillColumn::CarrierCode)
        || !numberTo(tr, "trnshprBond", trPath, &out[BillColumn::BondNo], Section::Cargo, QStringLiteral("tpregno"), false))
        return false;

    const Json &doc = *docPart;
    const QString docPath = path + QStringLiteral("/trnsprtDoc");
    if (!text(doc, "prtOfAcptCdd", docPath, out, BillColumn::PortLoad) || !text(doc, "prtOfReceiptCdd", docPath, out, BillColumn::PortDest)
        || !setExtra(doc, "cnsgnrsName", docPath, "shpname") || !setExtra(doc, "cnsgnrStreetAddress", docPath, "shpaddr")
        || !setExtra(doc, "cnsgnrCity", docPath, "shpcity") || !setExtra(doc, "cnsgnrCntryCd", docPath, "shpcntry")
        || !text(doc, "cnsgnesName", docPath, out, BillColumn::ImpName) || !setExtra(doc, "cnsgneStreetAddress", docPath, "cnsaddr")
        || !setExtra(doc, "cnsgneCity", docPath, "cnscity") || !setExtra(doc, "cnsgneCntryCd", docPath, "cnscntry")
        || !setExtra(doc, "cnsgnesCd", docPath, "cnscode") || !setExtra(doc, "typOfCd", docPath, "cnscodetype")
        || !setExtra(doc, "cnsgneCntrySubDivName", docPath, "cnsstatenm") || !setExtra(doc, "cnsgneCntrySubDiv", docPath, "cnsstate")
        || !setExtra(doc, "cnsgnePstcd", docPath, "cnspin") || !text(doc, "nameOfAnyOtherNotfdParty", docPath, out, BillColumn::NotName)
        || !setExtra(doc, "panOfNotfdParty", docPath, "notpan") || !setExtra(doc, "typOfNotfdPartyCd", docPath, "notcodetype")
        || !setExtra(doc, "notfdPartyCity", docPath, "notcity") || !setExtra(doc, "notfdPartyCntryCd", docPath, "notcntry")
        || !setExtra(doc, "notfdPartyPstcd", docPath, "notpin") || !text(doc, "goodsDescAsPerBl", docPath, out, BillColumn::Description))
        return false;
    // The importer's street stands in the first address line too where it fits.
    const QString street = out.extra.value(QStringLiteral("cnsaddr")).toString();
    if (!street.isEmpty() && street.size() <= Schema::column(QLatin1String(Table::Cargo), QStringLiteral("impadd1"))->size)
        out[BillColumn::ImpAdd1] = street;
    QString notifyStreet;
    if (!textOf(doc, "notfdPartyStreetAddress", docPath, Section::Cargo, &notifyStreet))
        return false;
    if (!notifyStreet.isEmpty()) {
        const QStringList lines = splitAddress(notifyStreet, Schema::column(QLatin1String(Table::Cargo), QStringLiteral("notadd1"))->size, 3);
        if (lines.isEmpty())
            return refuse(Section::Cargo, QStringLiteral("notadd1"), docPath + QStringLiteral("/notfdPartyStreetAddress"),
                          QStringLiteral("Value too long: the notify party's street does not fit the three address lines"),
                          QStringLiteral("22001"));
        const BillColumn columns[] = {BillColumn::NotAdd1, BillColumn::NotAdd2, BillColumn::NotAdd3};
        for (qsizetype i = 0; i < lines.size(); ++i)
            out[columns[i]] = lines.at(i);
    }

    const Json &msr = *msrPart;
    const QString msrPath = path + QStringLiteral("/trnsprtDocMsr");
    if (!numberTo(msr, "nmbrOfPkgs", msrPath, &out[BillColumn::Pkgs], Section::Cargo, QStringLiteral("pkgs"), true)
        || !text(msr, "typsOfPkgs", msrPath, out, BillColumn::PkgType) || !text(msr, "marksNoOnPkgs", msrPath, out, BillColumn::Marks)
        || !numberTo(msr, "grossWeight", msrPath, &out[BillColumn::GrossWt], Section::Cargo, QStringLiteral("grosswt"), false)
        || !text(msr, "unitOfWeight", msrPath, out, BillColumn::UnitWt)
        || !numberTo(msr, "grossVolume", msrPath, &out[BillColumn::Volume], Section::Cargo, QStringLiteral("volume"), false)
        || !text(msr, "unitOfVolume", msrPath, out, BillColumn::UnitVol))
        return false;
    if (out.isNull(BillColumn::Volume))
        out[BillColumn::Volume] = 0.0;

    // The route's leg on from the port of reporting gives the mode of transport.
    const Json *legsPart;
    if (!part(l, "itnry", path, Section::Cargo, true, &legsPart))
        return false;
    const Json &legs = *legsPart;
    for (size_t k = 0; k < legs.size(); ++k) {
        const QString legPath = path + QStringLiteral("/itnry/%1").arg(k);
        if (!group(legs[k], legPath, Section::Cargo, "A leg of the route"))
            return false;
        if (k == 0)
            continue;
        QString legMode;
        if (!textOf(legs[k], "modeOfTrnsprt", legPath, Section::Cargo, &legMode))
            return false;
        const QString mode = modeLetter(legMode);
        if (!mode.isEmpty() && goesInland(out.text(BillColumn::Movement)))
            out[BillColumn::Mode] = mode;
    }

    // What the cargo screen asks of a line before it keeps it; a line declared before quotes
    // that declaration in place of its transport document and measures.
    const char *what = house ? "The house B/L" : "The line";
    const char *refName = house ? "HCRef" : "MCRef";
    // (text is kept trimmed and only when not empty, dates only when they are dates)
    auto need = [&](BillColumn c, const QString &p, const char *parent, const char *key) {
        return required(!out.isNull(c), p, parent, key, Section::Cargo, QLatin1String(columnName(c)), what);
    };
    if (!need(house ? BillColumn::SubLineNo : BillColumn::LineNo, refPath, refName, house ? "subLineNo" : "lineNo")
        || !need(BillColumn::BlNo, refPath, refName, house ? "blNo" : "mstrBlNo")
        || !need(BillColumn::BlDate, refPath, refName, house ? "blDt" : "mstrBlDt")
        || !need(BillColumn::Nature, locPath, "locCstm", "natrOfCrgo") || !need(BillColumn::ItemType, locPath, "locCstm", "itemTyp")
        || !need(BillColumn::Movement, locPath, "locCstm", "crgoMvmt"))
        return false;
    if (!is(ref, "prevDec", "Y")
        && (!need(BillColumn::PortLoad, docPath, "trnsprtDoc", "prtOfAcptCdd") || !need(BillColumn::Pkgs, msrPath, "trnsprtDocMsr", "nmbrOfPkgs")))
        return false;

    const qint64 no = out[BillColumn::LineNo].toLongLong();
    const qint64 sub = house ? out[BillColumn::SubLineNo].toLongLong() : 0;
    const Json *itemsPart;
    if (!part(l, "itemDtls", path, Section::Item, true, &itemsPart))
        return false;
    const Json &items = *itemsPart;
    for (size_t k = 0; k < items.size(); ++k) {
        const Json &it = items[k];
        const QString itPath = path + QStringLiteral("/itemDtls/%1").arg(k);
        if (!group(it, itPath, Section::Item, "A goods item"))
            return false;
        Item item;
        item.fileLine = m_line;
        QVariant seq;
        if (!numberTo(it, "crgoItemSeqNmbr", itPath, &seq, Section::Item, QStringLiteral("itemseq"), true))
            return false;
        item.columns.insert(QStringLiteral("itemseq"), seq.isNull() ? QVariant(qint64(k) + 1) : seq);
        for (const auto &[key, column] : {std::pair{"hsCd", "hscode"}, {"crgoItemDesc", "itemdesc"}, {"unoCd", "unocode"},
                                          {"imdgCd", "imocode"}, {"typOfPkgs", "pkgtype"}}) {
            QVariant value;
            if (!textTo(it, key, itPath, &value, Filing::ItemTable, column, Section::Item))
                return false;
            if (!value.isNull())
                item.columns.insert(QLatin1String(column), value);
        }
        QVariant pkgs;
        if (!numberTo(it, "nmbrOfPkgs", itPath, &pkgs, Section::Item, QStringLiteral("pkgs"), true))
            return false;
        if (!pkgs.isNull())
            item.columns.insert(QStringLiteral("pkgs"), pkgs);
        // The flat file's one UNO code and IMO class of a line: its first item's.
        if (k == 0) {
            out[BillColumn::UnoCode] = item.columns.value(QStringLiteral("unocode"));
            out[BillColumn::ImoCode] = item.columns.value(QStringLiteral("imocode"));
        }
        m_items.emplace_back(no, sub, std::move(item));
    }

    const Json *boxesPart;
    if (!part(l, "trnsprtEqmt", path, Section::Container, true, &boxesPart))
        return false;
    const Json &boxes = *boxesPart;
    for (size_t k = 0; k < boxes.size(); ++k) {
        const Json &b = boxes[k];
        const QString bPath = path + QStringLiteral("/trnsprtEqmt/%1").arg(k);
        if (!group(b, bPath, Section::Container, "A container"))
            return false;
        Container c;
        c.fileLine = m_line;
        c.fileVessel = m_vessel;
        c.fileVoyage = m_voyage;
        c[ContainerColumn::LineNo] = no;
        c[ContainerColumn::SubLineNo] = sub;
        auto ktext = [&](const char *key, ContainerColumn column) {
            return textTo(b, key, bPath, &c[column], Table::Container, columnName(column), Section::Container);
        };
        auto kextra = [&](const char *key, const char *column) {
            QVariant value;
            if (!textTo(b, key, bPath, &value, Table::Container, column, Section::Container))
                return false;
            if (!value.isNull())
                c.extra.insert(QLatin1String(column), value);
            return true;
        };
        if (!ktext("eqmtId", ContainerColumn::Number) || !kextra("eqmtTyp", "eqtype") || !ktext("eqmtSize", ContainerColumn::Iso)
            || !ktext("eqmtLoadStatus", ContainerColumn::Status) || !kextra("eqmtSealTyp", "sealtype") || !ktext("eqmtSealNmbr", ContainerColumn::Seal)
            || !ktext("socFlag", ContainerColumn::Soc) || !ktext("cntrAgntCd", ContainerColumn::Agent)
            || !numberTo(b, "cntrWeight", bPath, &c[ContainerColumn::Weight], Section::Container, QStringLiteral("conwt"), false, 1000)
            || !numberTo(b, "totalNmbrOfPkgs", bPath, &c[ContainerColumn::Pkgs], Section::Container, QStringLiteral("conpkgs"), true))
            return false;
        for (const auto &[column, key] : {std::pair{ContainerColumn::Number, "eqmtId"}, {ContainerColumn::Status, "eqmtLoadStatus"}}) {
            if (!required(!c.isNull(column), bPath, "trnsprtEqmt", key, Section::Container,
                          QLatin1String(columnName(column)), "The container"))
                return false;
        }
        if (c.text(ContainerColumn::Status) == QLatin1String("EMP"))
            c[ContainerColumn::Status] = QStringLiteral("MTY"); // the gateway's empty is our MTY
        m_containers.push_back(std::move(c));
    }
    return true;
}

bool Reader::line(size_t index, const Json &l)
{
    m_line = m_reader ? m_reader->elementLine() : 0;
    m_bill.clear();
    const QString path = QStringLiteral("/master/mastrCnsgmtDec/%1").arg(index);
    if (!l.is_object())
        return refuse(Section::Cargo, QString(), path, QStringLiteral("A line is not a group of fields"),
                      QString::number(ErrorNumber::BadFileFormat));
    Bill master;
    if (!fill(master, l, path, false, 0))
        return false;
    const qint64 no = master[BillColumn::LineNo].toLongLong();
    ++m_masters;
    if (!m_sink.bill(std::move(master)))
        return false;
    const Json *housesPart;
    if (!part(l, "houseCargoDec", path, Section::Cargo, true, &housesPart))
        return false;
    const Json &houses = *housesPart;
    for (size_t k = 0; k < houses.size(); ++k) {
        Bill house;
        const QString housePath = path + QStringLiteral("/houseCargoDec/%1").arg(k);
        if (!group(houses[k], housePath, Section::Cargo, "A house B/L") || !fill(house, houses[k], housePath, true, no)
            || !m_sink.bill(std::move(house)))
            return false;
    }
    // The line's containers and goods items follow it, so that a long file is not held whole.
    if (!deliverParts())
        return false;
    return m_cx.tick(m_line, 0);
}

bool Reader::read(const char *begin, const char *end, bool fileMapped)
{
    // Numbers and dates are read as the schema the check uses has them.
    m_schema = samSchema();
    if (!*m_schema) {
        Problem p;
        p.failure = m_schema->failure();
        return m_cx.raise(p) && false;
    }
    // The voyage's list of containers repeats what the lines hold: it is read and let go.
    JsonSplitReader reader({{{"master", "mastrCnsgmtDec"}, [&](size_t index, Json &&l) {
                                 if (!m_headersSent && !headersFirst(begin, end, fileMapped)) {
                                     return false;
                                 }
                                 return line(index, l);
                             }},
                            {{"master", "voyageTransportEquipment"}, [](size_t, Json &&) { return true; }}});
    m_reader = &reader;
    reader.setFileMapped(fileMapped);
    reader.setRefuseDuplicateKeys(true);
    Result<Json> top = reader.read(begin, end, QLatin1String(SamFileName));
    m_reader = nullptr;
    if (reader.stopped())
        return false;
    if (!top) {
        Problem p;
        p.failure = top.failure();
        return m_cx.raise(p) && false;
    }
    if (!m_headersSent && !headers(top.value()))
        return false;
    if (!m_total.isNull() && m_total.toLongLong() != m_masters) {
        m_bill.clear();
        if (!refuse(Section::Vessel, QStringLiteral("TotItems"), QStringLiteral("/master/voyageDtls/totalNmbrOfLines"),
                      QStringLiteral("The voyage counts %1 lines, the file holds %2: the file is incomplete or damaged")
                          .arg(m_total.toLongLong())
                          .arg(m_masters),
                      QString::number(ErrorNumber::BadFileFormat)))
            return false;
    }
    if (m_masters == 0) {
        m_bill.clear();
        if (!refuse(Section::Cargo, QString(), QStringLiteral("/master/mastrCnsgmtDec"), QStringLiteral("The file holds no lines"),
                    QString::number(ErrorNumber::BadFileFormat)))
            return false;
    }
    return deliverParts() && m_sink.end();
}

bool Reader::headersFirst(const char *begin, const char *end, bool fileMapped)
{
    const Json &top = m_reader->partial();
    if (hasSamHeader(top))
        return headers(top);
    // The header stands after the lines, in part or whole: it is read first, the lines
    // passed over, so that no line waits for it.
    const Result<Json> whole = readSamWithoutLines(begin, end, QLatin1String(SamFileName), fileMapped);
    if (!whole) {
        Problem p;
        p.failure = whole.failure();
        return m_cx.raise(p) && false;
    }
    return headers(whole.value());
}

bool Reader::deliverParts()
{
    for (Container &c : m_containers) {
        if (!m_sink.container(std::move(c)))
            return false;
    }
    m_containers.clear();
    for (auto &[no, sub, item] : m_items) {
        if (!m_sink.item(no, sub, std::move(item)))
            return false;
    }
    m_items.clear();
    return true;
}

class Refusing : public ManifestWriter
{
public:
    bool headers(std::vector<VoyageHeader> &&, VesselMaster &&) override { return refuse(); }
    bool bill(Bill &&) override { return refuse(); }
    bool container(Container &&) override { return refuse(); }
    bool end() override { return refuse(); }

private:
    bool refuse()
    {
        return fail(Failure(ErrorNumber::InvalidArgument,
                            QStringLiteral("A SAM file is written by Generate SAM (SCMTR) or quarlctl write-sam, which "
                                           "give it its job number.")));
    }
};

class SamLayout : public Layout
{
public:
    QString name() const override { return QStringLiteral("sam"); }
    QStringList otherNames() const override { return {QStringLiteral("scmtr"), QStringLiteral("sachm23")}; }
    QString caption() const override { return QStringLiteral("SCMTR arrival manifest (SAM, JSON)"); }
    Recognition recognise(const QByteArray &firstLine, QString *) const override
    {
        return firstLine.trimmed().startsWith('{') ? Recognition::Yes : Recognition::No;
    }
    QString fileName(const QString &vessel, const QString &voyage) const override
    {
        return Format::voyageKey(vessel) + Format::voyageKey(voyage) + QStringLiteral(".json");
    }
    bool needsTestIndicator() const override { return true; }
    bool limitsAreErrors() const override { return false; } // the schema holds the message's own widths

    // The message keeps house B/Ls under their masters, which the record-by-record
    // writers of the flat files do not: a SAM file is written whole by writeSam().
    std::unique_ptr<ManifestWriter> writer(QIODevice &, const WriteOptions &, QStringList *) const override
    {
        return std::make_unique<Refusing>();
    }

    bool read(QIODevice &in, ManifestSink &sink, ReadContext &context) const override
    {
        Reader reader(sink, context);
        const JsonText json(in);
        return reader.read(json.begin(), json.end(), json.mapped());
    }
};

} // namespace

const Layout &samLayout()
{
    static const SamLayout layout;
    return layout;
}

Status writeSam(const SamSource &voyage, const SamContext &cx, QIODevice &out, const WriteOptions &options)
{
    if (cx.jobNumber <= 0)
        return Failure(ErrorNumber::InvalidArgument,
                       QStringLiteral("A SAM file is written by Generate SAM (SCMTR) or quarlctl write-sam, which "
                                      "give it its job number."));
    return Writer(voyage, cx, options, out).write();
}

QString samFileName(const QString &iceGateUser, qint64 jobNumber, const QDate &date)
{
    return QStringLiteral("F_SACHM23_SAM_%1_%2_%3_DEC.json")
        .arg(Format::trimTrailing(iceGateUser).trimmed())
        .arg(jobNumber)
        .arg(date.toString(QStringLiteral("yyyyMMdd")));
}

QString samMessageType()
{
    return fallback("decRef.msgTyp");
}

} // namespace quarl::igm
