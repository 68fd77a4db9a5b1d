#include "reports/reportdata.h"

#include "store/cargolines.h"
#include "store/database.h"
#include "store/schema.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <optional>
#include <unordered_map>

namespace quarl::reports {

namespace {

// Older company databases lack the four transshipment columns; they print empty there.
QString cargoColumn(const QStringList &present, const char *name)
{
    const QString n = QLatin1String(name);
    return present.contains(n, Qt::CaseInsensitive) ? QStringLiteral("c.") + n : QStringLiteral("null");
}

QString rowsSql(const Database &db, ReportKind kind)
{
    const QStringList present = db.columnNames(QStringLiteral("cargo"));
    QString sql = QStringLiteral(
        "select c.id, c.lineno, c.blno, c.bldt, c.hblno, c.hbldt, c.portload, c.portdest, c.destcode, "
        "c.impname, c.impadd1, c.impadd2, c.impadd3, c.notname, c.notadd1, c.notadd2, c.notadd3, "
        "c.naturecargo, c.itemtype, c.cargomove, c.pkgs, c.pkgtype, c.grosswt, c.unitwt, c.volume, c.unitvol, "
        "c.marks, c.gdesc, c.unocode, c.imocode, ");
    QStringList optional;
    for (const QString &c : Schema::icdCargoColumns())
        optional << cargoColumn(present, qPrintable(c));
    optional << cargoColumn(present, "shpname") << cargoColumn(present, "shpaddr") << cargoColumn(present, "shpcity")
             << cargoColumn(present, "shpcntry");
    sql += optional.join(QStringLiteral(", "));
    sql += QStringLiteral(", k.autoid, k.containno, k.sealno, k.agentcode, k.constatus, k.conpkgs, k.conwt, "
                          "k.isocode, k.socflag");
    if (kind == ReportKind::CargoDeclaration) {
        sql += QStringLiteral(", p.pkg_desc from ((cargo c left join contain k on c.id = k.ref) "
                              "inner join D_VESSEL_CD v on c.vslcode = v.VESSEL_CD) "
                              "left join package p on p.pkg_cd = c.pkgtype ");
    } else {
        sql += QStringLiteral(" from (cargo c left join contain k on c.id = k.ref) "
                              "inner join D_VESSEL_CD v on c.vslcode = v.VESSEL_CD ");
    }
    // Within a line the containers come in the order in which they were stored.
    sql += QStringLiteral("where c.vslcode = ? and c.voyno = ? order by c.lineno, c.id, k.autoid");
    return sql;
}

enum Col {
    cId, cLineNo, cBlNo, cBlDt, cHBlNo, cHBlDt, cPortLoad, cPortDest, cDestCode, cImpName, cImpAdd1, cImpAdd2,
    cImpAdd3, cNotName, cNotAdd1, cNotAdd2, cNotAdd3, cNature, cItemType, cCargoMove, cPkgs, cPkgType, cGrossWt,
    cUnitWt, cVolume, cUnitVol, cMarks, cGDesc, cUno, cImo, cTpRegNo, cCacCode, cTrMode, cMlo, cShpName, cShpAddr,
    cShpCity, cShpCntry, kAutoId, kContainNo,
    kSealNo, kAgentCode, kConStatus, kConPkgs, kConWt, kIsoCode, kSocFlag, pPkgDesc
};

QString text(const QSqlQuery &q, int col)
{
    // Fixed-width columns come blank-padded from some engines.
    QString s = q.value(col).toString();
    while (!s.isEmpty() && s.back() == QLatin1Char(' '))
        s.chop(1);
    return s;
}

QString wholeNumberText(const QVariant &v)
{
    const double d = v.toDouble();
    if (v.isNull() || d == 0)
        return {};
    return d == qint64(d) ? QString::number(qint64(d)) : QString::number(d, 'f', 2);
}

Status readVesselMaster(const Database &db, ReportData &data)
{
    auto q = db.query(QStringLiteral("select VESSEL_CD, VESSEL_NM, VESSEL_NATION, grt, nrt from D_VESSEL_CD "
                                     "where VESSEL_CD = ?"),
                      {data.vessel});
    if (!q)
        return q.failure();
    if (q->next()) {
        data.hasVessel = true;
        data.vesselMaster = {text(*q, 0), text(*q, 1), text(*q, 2), q->value(3).toDouble(), q->value(4).toDouble()};
    }
    return Status::ok();
}

Status readHeader(const Database &db, ReportData &data)
{
    // A voyage keyed twice prints its first header, never its lines twice.
    auto q = db.query(QStringLiteral(
                          "select vslname, vslcode, voyno, slinecode, sagentcode, mastername, vslnation, portarrival, "
                          "lastport, lastport1, lastport2, vsltype, cargodesc, arrtime, terminalop, igmno, msgtype, "
                          "msgname, samebottom, shipstoredecl, crewdecl, pesslist, creweffdecl, maridecl, grt, nrt, "
                          "lhdues, totitems, arrdt, igmdt from vesinfo where vslcode = ? and voyno = ? order by Id"),
                      {data.vessel, data.voyage});
    if (!q)
        return q.failure();
    if (!q->next())
        return Status::ok();
    const Dialect &dialect = db.dialect();
    VoyageHeader &h = data.header;
    QString *texts[] = {&h.vslName, &h.vslCode, &h.voyNo, &h.sLineCode, &h.sAgentCode, &h.masterName,
                        &h.vslNation, &h.portArrival, &h.lastPort, &h.lastPort1, &h.lastPort2, &h.vslType,
                        &h.cargoDesc, &h.arrTime, &h.terminalOp, &h.igmNo, &h.msgType, &h.msgName,
                        &h.sameBottom, &h.shipStoreDecl, &h.crewDecl, &h.pessList, &h.crewEffDecl, &h.mariDecl};
    int col = 0;
    for (QString *t : texts)
        *t = text(*q, col++);
    h.grt = q->value(col++).toDouble();
    h.nrt = q->value(col++).toDouble();
    h.lhDues = q->value(col++).toDouble();
    h.totItems = q->value(col++).toLongLong();
    h.arrDt = dialect.dateFromDb(q->value(col++));
    h.igmDt = dialect.dateFromDb(q->value(col++));
    data.hasHeader = true;
    return Status::ok();
}

// The goods items of the voyage's lines, where the database keeps them.
Status readHsCodes(const Database &db, ReportData &data)
{
    if (data.lines.empty() || !db.hasTable(QStringLiteral("cargoitem")))
        return Status::ok();
    auto q = db.query(QStringLiteral("select i.ref, i.hscode, i.itemdesc from cargoitem i inner join cargo c on i.ref = c.id "
                                     "where c.vslcode = ? and c.voyno = ? order by i.ref, i.itemseq, i.autoid"),
                      {data.vessel, data.voyage});
    if (!q)
        return q.failure();
    std::unordered_map<qint64, ReportLine *> byId;
    for (ReportLine &l : data.lines)
        byId.emplace(l.id, &l);
    while (q->next()) {
        const auto it = byId.find(q->value(0).toLongLong());
        const QString hs = text(*q, 1);
        if (it == byId.end() || hs.isEmpty())
            continue;
        const QString desc = text(*q, 2);
        it->second->hsCodes << (desc.isEmpty() ? hs : hs + QLatin1Char(' ') + desc);
    }
    if (q->lastError().isValid())
        return Database::failureOf(q->lastError());
    return Status::ok();
}

// Puts each house B/L of the outline under its master line, right after it, and marks it
// with its master and sub-line. A voyage without house B/Ls keeps the order it was read in,
// which is the outline's.
void placeHouses(ReportData &data, const CargoOutline &outline)
{
    std::unordered_map<qint64, size_t> place;
    std::unordered_map<qint64, const CargoLine *> byId;
    bool anyHouse = false;
    for (size_t i = 0; i < outline.lines.size(); ++i) {
        const CargoLine &l = outline.lines[i];
        place.emplace(l.id, i);
        byId.emplace(l.id, &l);
        anyHouse = anyHouse || l.isHouse();
    }
    if (!anyHouse)
        return;
    std::unordered_map<qint64, ReportLine *> masters;
    for (ReportLine &l : data.lines) {
        const auto it = byId.find(l.id);
        if (it == byId.end() || !it->second->isHouse())
            continue;
        l.masterId = it->second->master;
        l.subLineNo = it->second->storedSub;
    }
    for (ReportLine &l : data.lines)
        masters.emplace(l.id, &l);
    for (ReportLine &l : data.lines) {
        if (!l.isHouse())
            continue;
        if (const auto m = masters.find(l.masterId); m != masters.end()) {
            l.masterBlNo = m->second->blNo;
            ++m->second->houses;
        }
    }
    // A line the outline does not know (none: both read the same rows) goes last.
    auto at = [&](const ReportLine &l) {
        const auto it = place.find(l.id);
        return it == place.end() ? outline.lines.size() : it->second;
    };
    std::stable_sort(data.lines.begin(), data.lines.end(),
                     [&](const ReportLine &a, const ReportLine &b) { return at(a) < at(b); });
}

Status readRows(const Database &db, ReportData &data, const CargoOutline *outline)
{
    if (Status s = readVesselMaster(db, data); !s)
        return s;
    if (data.kind == ReportKind::CargoDeclaration) {
        if (Status s = readHeader(db, data); !s)
            return s;
    }
    QSqlQuery q(db.handle());
    q.setForwardOnly(true);
    if (!q.prepare(rowsSql(db, data.kind)))
        return Database::failureOf(q.lastError());
    q.addBindValue(data.vessel);
    q.addBindValue(data.voyage);
    if (!q.exec())
        return Database::failureOf(q.lastError());
    const Dialect &dialect = db.dialect();
    const bool withPackage = data.kind == ReportKind::CargoDeclaration;
    ReportLine *line = nullptr;
    while (q.next()) {
        const qint64 id = q.value(cId).toLongLong();
        if (!line || line->id != id) {
            ReportLine &l = data.lines.emplace_back();
            line = &l;
            l.id = id;
            l.lineNo = q.value(cLineNo).toLongLong();
            l.blNo = text(q, cBlNo);
            l.blDt = dialect.dateFromDb(q.value(cBlDt));
            l.hblNo = text(q, cHBlNo);
            l.hblDt = dialect.dateFromDb(q.value(cHBlDt));
            l.portLoad = text(q, cPortLoad);
            l.portDest = text(q, cPortDest);
            l.destCode = text(q, cDestCode);
            l.impName = text(q, cImpName);
            l.notName = text(q, cNotName);
            for (int i = 0; i < 3; ++i) {
                l.impAdd[i] = text(q, cImpAdd1 + i);
                l.notAdd[i] = text(q, cNotAdd1 + i);
            }
            l.natureCargo = text(q, cNature);
            l.itemType = text(q, cItemType);
            l.cargoMove = text(q, cCargoMove);
            l.pkgs = q.value(cPkgs).toLongLong();
            l.pkgType = text(q, cPkgType);
            l.grossWt = q.value(cGrossWt).toDouble();
            l.unitWt = text(q, cUnitWt);
            l.volume = q.value(cVolume).toDouble();
            l.unitVol = text(q, cUnitVol);
            l.marks = text(q, cMarks);
            l.gDesc = text(q, cGDesc);
            l.unoCode = text(q, cUno);
            l.imoCode = text(q, cImo);
            l.tpRegNo = wholeNumberText(q.value(cTpRegNo));
            l.cacCode = text(q, cCacCode);
            l.trMode = text(q, cTrMode);
            l.mlo = text(q, cMlo);
            QStringList shipper;
            for (int c : {cShpName, cShpAddr, cShpCity, cShpCntry}) {
                if (const QString t = text(q, c); !t.isEmpty())
                    shipper << t;
            }
            l.shipper = shipper.join(QStringLiteral(", "));
            if (withPackage)
                l.pkgDesc = text(q, pPkgDesc);
        }
        if (q.value(kAutoId).isNull())
            continue;
        ReportContainer &k = line->containers.emplace_back();
        k.containNo = text(q, kContainNo);
        k.sealNo = text(q, kSealNo);
        k.agentCode = text(q, kAgentCode);
        k.conStatus = text(q, kConStatus);
        k.conPkgs = q.value(kConPkgs).toLongLong();
        k.conWt = q.value(kConWt).toDouble();
        k.isoCode = text(q, kIsoCode);
        k.socFlag = text(q, kSocFlag);
    }
    if (q.lastError().isValid())
        return Database::failureOf(q.lastError());
    if (outline)
        placeHouses(data, *outline);
    if (data.kind == ReportKind::CheckList)
        return readHsCodes(db, data);
    return Status::ok();
}

} // namespace

QString lineLabel(const ReportLine &line)
{
    return line.isHouse() ? QStringLiteral("%1/%2").arg(line.lineNo).arg(line.subLineNo) : QString::number(line.lineNo);
}

QString houseHead(const ReportLine &line)
{
    QString head = QStringLiteral("Line %1     House B/L No. %2     Date %3")
                       .arg(lineLabel(line), houseBlNo(line), dateText(houseBlDate(line)));
    if (!line.masterBlNo.isEmpty())
        head += QStringLiteral("     of B/L ") + line.masterBlNo;
    return head;
}

QString consolidatedNote(const ReportLine &line)
{
    if (line.houses == 0)
        return QString();
    return line.houses == 1 ? QStringLiteral("Consolidated: 1 house B/L")
                            : QStringLiteral("Consolidated: %1 house B/Ls").arg(line.houses);
}

// As the SAM files them.
QString houseBlNo(const ReportLine &line)
{
    return line.hblNo.isEmpty() ? line.blNo : line.hblNo;
}

QDate houseBlDate(const ReportLine &line)
{
    return line.hblDt.isValid() ? line.hblDt : line.blDt;
}

qint64 ReportData::rowCount() const
{
    qint64 n = 0;
    for (const ReportLine &l : lines)
        n += l.containers.empty() ? 1 : qint64(l.containers.size());
    return n;
}

qint64 ReportData::masterLines() const
{
    return qint64(std::count_if(lines.begin(), lines.end(), [](const ReportLine &l) { return !l.isHouse(); }));
}

ReportTotals ReportData::totals() const
{
    // Each package is counted once. A consolidated line's packages, weight and containers
    // are those of the whole consignment: its house B/Ls' packages and weight are parts of
    // them, and their containers are the master's own boxes. So a house B/L counts among the
    // bills of lading (apart, as a house) but adds nothing to the sums.
    ReportTotals t;
    for (const ReportLine &l : lines) {
        if (l.isHouse()) {
            ++t.houses;
            continue;
        }
        ++t.lines;
        t.packages += l.pkgs;
        auto w = std::find_if(t.grossWeight.begin(), t.grossWeight.end(),
                              [&](const WeightTotal &x) { return x.unit == l.unitWt; });
        if (w == t.grossWeight.end())
            t.grossWeight.append({l.unitWt, l.grossWt});
        else
            w->weight += l.grossWt;
        for (const ReportContainer &k : l.containers) {
            ++t.containers;
            auto s = std::find_if(t.containersByStatus.begin(), t.containersByStatus.end(),
                                  [&](const StatusCount &x) { return x.status == k.conStatus; });
            if (s == t.containersByStatus.end())
                t.containersByStatus.append({k.conStatus, 1});
            else
                ++s->count;
        }
    }
    return t;
}

Result<qint64> renumberLines(const Database &db, const QString &vessel, const QString &voyage)
{
    // Numbered as the IGM file numbers them, so that the check-list and the filed manifest
    // agree line for line; a house B/L keeps its master's number and its own sub-line.
    auto outline = readCargoOutline(db, vessel, voyage);
    if (!outline)
        return outline.failure();
    if (Status s = storeLineNumbers(db, outline.value()); !s)
        return s.failure();
    return qint64(outline->lines.size());
}

namespace {
Preparation prepareOnce(const Database &db, const ReportRequest &request);
} // namespace

Preparation prepareReportData(const Database &db, const ReportRequest &request)
{
    constexpr int Attempts = 5;
    Preparation result;
    for (int attempt = 1; attempt <= Attempts; ++attempt) {
        result = prepareOnce(db, request);
        // Two workstations renumbering the same voyage at once: the later one's snapshot is
        // out of date and the engine refuses its writes; run again, it sees the other's work.
        const bool again = std::any_of(result.failures.cbegin(), result.failures.cend(), Database::isConflict);
        if (!again || attempt == Attempts)
            break;
    }
    return result;
}

namespace {
Preparation prepareOnce(const Database &db, const ReportRequest &request)
{
    Preparation result;
    auto data = std::make_shared<ReportData>();
    data->kind = request.kind;
    data->vessel = request.vessel;
    data->voyage = request.voyage;
    if (request.kind == ReportKind::CargoDeclaration) {
        QString c = request.customHouse;
        while (!c.isEmpty() && c.back().isSpace())
            c.chop(1);
        data->cHouseCode = c;
    }
    const bool goOn = request.kind == ReportKind::CargoDeclaration;

    // One moment of the voyage for the numbers and every row read: a bill of lading saved
    // meanwhile on another workstation is either numbered and printed, or neither.
    std::optional<Transaction> tx;
    tx.emplace(db, TxMode::SnapshotWrite);
    if (!tx->started()) {
        result.failures << tx->started().failure();
        return result;
    }
    // Numbered as the IGM file numbers them (renumberLines); the outline also says which
    // lines are house B/Ls and under which master they print.
    auto outline = readCargoOutline(db, request.vessel, request.voyage);
    const Status numbered = outline ? storeLineNumbers(db, outline.value()) : Status(outline.failure());
    const bool renumbered = outline && numbered;
    if (renumbered) {
        data->voyageLines = qint64(outline->lines.size());
    } else {
        result.failures << numbered.failure();
        if (!goOn)
            return result;
        // A failed statement spoils the transaction on some engines: read in a new one.
        tx.reset();
        tx.emplace(db, TxMode::Read);
        if (!tx->started()) {
            result.failures << tx->started().failure();
            return result;
        }
        // the houses still print under their masters when only the numbering failed
        if (!outline)
            outline = readCargoOutline(db, request.vessel, request.voyage);
    }
    if (Status s = readRows(db, *data, outline ? &outline.value() : nullptr); !s) {
        result.failures << s.failure();
        if (!goOn)
            return result;
        data->lines.clear();
    }
    if (Status s = tx->commit(); !s) {
        result.failures << s.failure();
        if (!goOn)
            return result;
    }
    if (!renumbered)
        data->voyageLines = qint64(data->lines.size());
    result.data = std::move(data);
    return result;
}

} // namespace

} // namespace quarl::reports
