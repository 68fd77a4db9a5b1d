#include "store/filingfields.h"

namespace quarl::Filing {

namespace {

using T = ColumnType;
constexpr Origin Add = Origin::Added;
constexpr Origin Old = Origin::Existing;
constexpr Origin Fix = Origin::Fixed;

QList<Field> build()
{
    return {
        // --- voyage header
        {"voyageDtls.cnvnceRefNmbr", "vesinfo", "vcn", Add, T::Text, 35, nullptr, "[O]"},
        {"voyageDtls.exptdDtAndTimeOfDptr", "vesinfo", "depdt", Add, T::Date, 0, nullptr, "[O] optional since 2025"},
        // date and time kept apart as for the arrival (arrdt, arrtime)
        {"voyageDtls.exptdDtAndTimeOfDptr(time)", "vesinfo", "deptime", Add, T::Text, 5, nullptr, "[I]"},
        {"vesselDtls.purposeOfCall", "vesinfo", "purpcall", Add, T::Text, 3, "1", "[P2] width; fallback [I]"},
        {"vesselDtls.shipTyp", "vesinfo", "shiptype", Add, T::Text, 3, nullptr, "[P2]"},
        {"voyageDtls.nmbrOfCrewMnfsted", "vesinfo", "crewcount", Add, T::Integer, 4, nullptr, "[P2]"},
        {"voyageDtls.nmbrOfPsngrsMnfsted", "vesinfo", "paxcount", Add, T::Integer, 4, "0", "[P2]; fallback [I]"},
        // the itinerary: last ports -1..-3, the port of reporting 0, next ports 1..3
        {"voyageDtls.shipItnry[1].prtOfCallCdd", "vesinfo", "nextport", Add, T::Text, 10, nullptr, "[P1] sequence; [P2] width"},
        {"voyageDtls.shipItnry[2].prtOfCallCdd", "vesinfo", "nextport1", Add, T::Text, 10, nullptr, "[P1] sequence; [P2] width"},
        {"voyageDtls.shipItnry[3].prtOfCallCdd", "vesinfo", "nextport2", Add, T::Text, 10, nullptr, "[P1] sequence; [P2] width"},
        {"voyageDtls.shipItnry[0].prtOfCallCdd", "vesinfo", "arrportcd", Old, T::Text, 10, "=vesinfo.portarrival", "[O] seq 0"},
        {"voyageDtls.shipItnry[-1].prtOfCallCdd", "vesinfo", "lastport", Old, T::Text, 10, nullptr, "[P1] sequence"},
        {"voyageDtls.shipItnry[-2].prtOfCallCdd", "vesinfo", "lastport1", Old, T::Text, 10, nullptr, "[P1] sequence"},
        {"voyageDtls.shipItnry[-3].prtOfCallCdd", "vesinfo", "lastport2", Old, T::Text, 10, nullptr, "[P1] sequence"},
        {"authPrsn.authSeaCarrierCd", "vesinfo", "asccode", Add, T::Text, 10, nullptr, "[P2]"},
        {"authPrsn.shpngLineBondNmbr", "vesinfo", "linebond", Add, T::Text, 10, nullptr, "[P2]"},
        {"authPrsn.trmnlOprtrCd", "vesinfo", "tocode", Old, T::Text, 10, nullptr, "[P2]"},

        // --- line (bill of lading)
        {"locCstm.typOfCrgo", "cargo", "cargotype", Add, T::Text, 2, "IM", "[O]; fallback [I]"},
        {"MCRef.consolidatedIndctr", "cargo", "consind", Add, T::Text, 4, "S", "[O]; fallback [I] (C for a line with sub-lines)"},
        {"MCRef.prevDec", "cargo", "prevdec", Add, T::Text, 4, "N", "[O]; fallback [I]"},
        {"locCstm.nxtPrtOfUnlading", "cargo", "nextunload", Add, T::Text, 10, "=vesinfo.arrportcd", "[O]; fallback [I]"},
        {"trnsprtDoc.cnsgnrsName", "cargo", "shpname", Add, T::Text, 70, nullptr, "[O]"},
        {"trnsprtDoc.cnsgnrStreetAddress", "cargo", "shpaddr", Add, T::Text, 70, nullptr, "[O]"},
        {"trnsprtDoc.cnsgnrCity", "cargo", "shpcity", Add, T::Text, 70, nullptr, "[O]"},
        {"trnsprtDoc.cnsgnrCntryCd", "cargo", "shpcntry", Add, T::Text, 2, nullptr, "[O]"},
        {"trnsprtDoc.cnsgnesName", "cargo", "impname", Old, T::Text, 70, nullptr, "[O] (ours 35)"},
        {"trnsprtDoc.cnsgneStreetAddress", "cargo", "cnsaddr", Add, T::Text, 70, "=cargo.impadd1", "[O]; fallback [I]"},
        {"trnsprtDoc.cnsgneCity", "cargo", "cnscity", Add, T::Text, 70, nullptr, "[O]"},
        {"trnsprtDoc.cnsgneCntrySubDiv", "cargo", "cnsstate", Add, T::Text, 9, nullptr, "[O]"},
        {"trnsprtDoc.cnsgneCntrySubDivName", "cargo", "cnsstatenm", Add, T::Text, 35, nullptr, "[O]"},
        {"trnsprtDoc.cnsgnePstcd", "cargo", "cnspin", Add, T::Text, 9, nullptr, "[O]"},
        {"trnsprtDoc.cnsgneCntryCd", "cargo", "cnscntry", Add, T::Text, 2, "IN", "[O]; fallback [I]"},
        {"trnsprtDoc.cnsgnesCd", "cargo", "cnscode", Add, T::Text, 17, nullptr, "[O]"},
        {"trnsprtDoc.typOfCd", "cargo", "cnscodetype", Add, T::Text, 3, "IEC", "[O]; fallback [O] (the consignor's)"},
        {"trnsprtDoc.nameOfAnyOtherNotfdParty", "cargo", "notname", Old, T::Text, 70, "=cargo.impname", "[O]"},
        {"trnsprtDoc.panOfNotfdParty", "cargo", "notpan", Add, T::Text, 17, nullptr, "[O]"},
        {"trnsprtDoc.typOfNotfdPartyCd", "cargo", "notcodetype", Add, T::Text, 3, "PAN", "[O]; fallback [I]"},
        {"trnsprtDoc.notfdPartyCity", "cargo", "notcity", Add, T::Text, 70, nullptr, "[O]"},
        {"trnsprtDoc.notfdPartyCntryCd", "cargo", "notcntry", Add, T::Text, 2, nullptr, "[O]"},
        {"trnsprtDoc.notfdPartyPstcd", "cargo", "notpin", Add, T::Text, 9, nullptr, "[O]"},

        // --- goods items of a line; a line without items files one made from the line
        {"itemDtls.crgoItemSeqNmbr", "cargoitem", "itemseq", Add, T::Integer, 5, nullptr, "[O]"},
        {"itemDtls.hsCd", "cargoitem", "hscode", Add, T::Text, 8, nullptr, "[O] width; 6 or 8 digits [I]"},
        {"itemDtls.crgoItemDesc", "cargoitem", "itemdesc", Add, T::Text, 256, "=cargo.gdesc", "[O]; fallback [I]"},
        {"itemDtls.unoCd", "cargoitem", "unocode", Add, T::Text, 5, "=cargo.unocode", "[O]; ZZZZZ when not hazardous [O]"},
        {"itemDtls.imdgCd", "cargoitem", "imocode", Add, T::Text, 3, "=cargo.imocode", "[O]; ZZZ when not hazardous [O]"},
        {"itemDtls.nmbrOfPkgs", "cargoitem", "pkgs", Add, T::Integer, 8, "=cargo.pkgs", "[O]; fallback [I]"},
        {"itemDtls.typOfPkgs", "cargoitem", "pkgtype", Add, T::Text, 3, "=cargo.pkgtype", "[O]; fallback [I]"},

        // --- containers
        {"trnsprtEqmt.eqmtSealTyp", "contain", "sealtype", Add, T::Text, 5, nullptr, "[O]"},
        {"trnsprtEqmt.eqmtTyp", "contain", "eqtype", Add, T::Text, 3, "CN", "[O]; fallback [I]"},
        {"trnsprtEqmt.cntrWeight(kg per tonne)", nullptr, nullptr, Fix, T::Integer, 0, "1000", "[O] kg; ours tonnes"},

        // --- the company that files
        {"authPrsn.sbmtrTyp", "compinfo", "sbmtrtype", Add, T::Text, 4, "ASA", "[O]"},
        {"authPrsn.sbmtrCd", "compinfo", "sbmtrcode", Add, T::Text, 15, "=vesinfo.sagentcode", "[O]; fallback [I]"},
        {"authPrsn.authReprsntvCd", "compinfo", "signerpan", Add, T::Text, 10, nullptr, "[O]"},
        {"decRef.jobNo", "compinfo", "nextjobno", Add, T::Integer, 7, "1", "[O] 1 to 9999999"},

        // --- fixed values of the message
        {"headerField.messageID", nullptr, nullptr, Fix, T::Text, 7, "SACHM23", "[O]"},
        {"headerField.versionNo", nullptr, nullptr, Fix, T::Text, 7, "SAM1102", "[P1]"},
        {"headerField.reportingEvent", nullptr, nullptr, Fix, T::Text, 4, "SAM", "[O]"},
        {"decRef.msgTyp", nullptr, nullptr, Fix, T::Text, 1, "F", "[O]"},
        {"decRef.vesselTypMvmt", nullptr, nullptr, Fix, T::Text, 2, "FI", "[P1]"},
        {"vesselDtls.modeOfTrnsprt", nullptr, nullptr, Fix, T::Text, 4, "1", "[O]"},
        {"vesselDtls.typOfTrnsprtMeans", nullptr, nullptr, Fix, T::Text, 25, "10", "[O]"},
        {"MCRef.consolidatorPan(prefix)", nullptr, nullptr, Fix, T::Text, 35, "PAN:", "[O] sample only"},
    };
}

} // namespace

const QList<Field> &fields()
{
    static const QList<Field> table = build();
    return table;
}

const Field *byKey(const QString &key)
{
    for (const Field &f : fields()) {
        if (key == QLatin1String(f.key))
            return &f;
    }
    return nullptr;
}

const Field *byColumn(const QString &table, const QString &column)
{
    for (const Field &f : fields()) {
        if (f.table && table.compare(QLatin1String(f.table), Qt::CaseInsensitive) == 0
            && column.compare(QLatin1String(f.column), Qt::CaseInsensitive) == 0)
            return &f;
    }
    return nullptr;
}

QList<const Field *> addedColumns(const QString &table)
{
    QList<const Field *> out;
    for (const Field &f : fields()) {
        if (f.origin == Origin::Added && table.compare(QLatin1String(f.table), Qt::CaseInsensitive) == 0)
            out << &f;
    }
    return out;
}

QStringList addedTables()
{
    return {QLatin1String(ItemTable), QLatin1String(CompanyTable), QStringLiteral("cargotype"),
            QStringLiteral("consind"),  QStringLiteral("prevdec"),       QStringLiteral("purpcall"),
            QStringLiteral("shiptype"), QStringLiteral("idcodetype"),    QStringLiteral("sealtype"),
            QStringLiteral("eqtype"),   QStringLiteral("D_STATE_CD")};
}

} // namespace quarl::Filing
