#include "sam/samfields.h"

#include <QHash>

namespace quarl::igm {

namespace {

struct Label
{
    const char *key; // "parent.key" where the key means different things in different places
    const char *label;
};

// Screen labels first, as the voyage and cargo screens show them; the gateway's own words
// where we have no field.
const Label Labels[] = {
    // the file's header and the declaration reference
    {"senderID", "IceGate User ID"}, {"receiverID", "Custom House Code"}, {"versionNo", "SAM version"},
    {"indicator", "Test or production"}, {"messageID", "Message name"}, {"sequenceOrControlNumber", "Control number"},
    {"headerField.date", "Date of the file"}, {"headerField.time", "Time of the file"},
    {"reportingEvent", "Reporting event"}, {"rptngEvent", "Reporting event"}, {"msgTyp", "Message type"},
    {"prtofRptng", "Custom House Code"}, {"jobNo", "Job No."}, {"jobDt", "Job date"}, {"mnfstNoRotnNo", "IGM No."},
    {"mnfstDtRotnDt", "IGM Date"}, {"vesselTypMvmt", "Vessel movement"},
    // submitter and vessel
    {"sbmtrTyp", "Submitter type"}, {"sbmtrCd", "Submitter code"}, {"authReprsntvCd", "PAN of the signer"},
    {"shpngLineCd", "Ship Line Code"}, {"authSeaCarrierCd", "Carrier Code"}, {"masterName", "Master Name"},
    {"shpngLineBondNmbr", "Line Bond No."}, {"trmnlOprtrCd", "Terminal Op."},
    {"vesselDtls.modeOfTrnsprt", "Mode of transport"}, {"typOfTrnsprtMeans", "Vessel id type"},
    {"trnsprtMeansId", "IMO No."}, {"purposeOfCall", "Purpose of Call"}, {"shipTyp", "Ship Type"},
    // voyage
    {"voyageNo", "Voy. No."}, {"cnvnceRefNmbr", "VCN"}, {"totalNoOfTrnsprtEqmtMnfsted", "Total containers"},
    {"totalNmbrOfLines", "Total lines"}, {"crgoDescCdd", "Cargo description code"}, {"briefCrgoDesc", "Cargo Desc."},
    {"exptdDtAndTimeOfArvl", "Exp. Arrival"}, {"exptdDtAndTimeOfDptr", "Exp. Departure"},
    {"nmbrOfPsngrsMnfsted", "Passengers"}, {"nmbrOfCrewMnfsted", "Crew"}, {"shipItnry", "Ports of call"},
    {"shipItnrySeq", "Call sequence"}, {"shipItnry.prtOfCallCdd", "Port of call"}, {"shipItnry.prtOfCallName", "Port name"},
    // a B/L line and its house B/Ls
    {"lineNo", "Line No."}, {"mstrBlNo", "B/L No."}, {"mstrBlDt", "B/L Date"},
    {"consolidatedIndctr", "Consolidated"}, {"prevDec", "Prev. Declaration"}, {"consolidatorPan", "Consolidator PAN"},
    {"subLineNo", "Sub-line No."}, {"blNo", "House B/L No."}, {"blDt", "House B/L Date"},
    {"firstPrtOfEntry", "First port of entry"}, {"destPrt", "CFS / destination code"},
    {"nxtPrtOfUnlading", "Next Unlading Port"}, {"typOfCrgo", "Type of Cargo"}, {"itemTyp", "Item Type"},
    {"crgoMvmt", "Cargo Move"}, {"natrOfCrgo", "Nture Cargo"},
    {"trnshprCd", "Carrier Ag Code"}, {"trnshprBond", "TP Bond No."},
    {"prtOfAcptCdd", "Load Port"}, {"prtOfAcptName", "Load Port name"}, {"prtOfReceiptCdd", "Dest. Port"},
    {"prtOfReceiptName", "Dest. Port name"},
    {"cnsgnrsName", "Shipper Name"}, {"cnsgnrStreetAddress", "Shipper Street"}, {"cnsgnrCity", "Shipper City"},
    {"cnsgnrCntryCd", "Shipper Country"}, {"cnsgnrsCd", "Shipper Code"}, {"cnsgnrCdTyp", "Shipper Code Type"},
    {"cnsgnrCntrySubDivName", "Shipper State name"}, {"cnsgnrCntrySubDivCd", "Shipper State"},
    {"cnsgnrPstcd", "Shipper PIN"},
    {"cnsgnesName", "Importer"}, {"cnsgneStreetAddress", "Consignee Street"}, {"cnsgneCity", "Consignee City"},
    {"cnsgneCntryCd", "Consignee Country"}, {"cnsgnesCd", "Consignee Code"}, {"typOfCd", "Consignee Code Type"},
    {"cnsgneCntrySubDivName", "Consignee State name"}, {"cnsgneCntrySubDiv", "Consignee State"},
    {"cnsgnePstcd", "Consignee PIN"},
    {"nameOfAnyOtherNotfdParty", "Notify"}, {"notfdPartyStreetAddress", "Notify Address"},
    {"notfdPartyCity", "Notify City"}, {"panOfNotfdParty", "Notify PAN / Code"}, {"typOfNotfdPartyCd", "Notify Code Type"},
    {"notfdPartyCntrySubDivName", "Notify State name"}, {"notfdPartyCntrySubDiv", "Notify State"},
    {"notfdPartyCntryCd", "Notify Country"}, {"notfdPartyPstcd", "Notify PIN"},
    {"goodsDescAsPerBl", "Description"},
    {"trnsprtDocMsr.nmbrOfPkgs", "Pkgs."}, {"typsOfPkgs", "Pkgs. (type)"}, {"marksNoOnPkgs", "Marks"},
    {"grossWeight", "Gross Wt."}, {"netWeight", "Net weight"}, {"unitOfWeight", "Gross Wt. (unit)"}, {"grossVolume", "Vol."},
    {"unitOfVolume", "Unit"},
    {"crgoItemSeqNmbr", "Item No."}, {"hsCd", "HS Code"}, {"crgoItemDesc", "Description"}, {"unoCd", "UNO"},
    {"imdgCd", "IMO"}, {"itemDtls.nmbrOfPkgs", "Pkgs"}, {"typOfPkgs", "Pkg Type"},
    // containers, on a line and in the voyage's list
    {"eqmtSeqNo", "Container sequence"}, {"equipmentSequenceNo", "Container sequence"},
    {"eqmtId", "Container No."}, {"equipmentId", "Container No."}, {"eqmtTyp", "Equip. Type"},
    {"equipmentType", "Equip. Type"}, {"eqmtSize", "ISO Code"}, {"equipmentSize", "ISO Code"},
    {"eqmtLoadStatus", "Status"}, {"equipmentLoadStatus", "Status"}, {"eqmtSealTyp", "Seal Type"},
    {"equipmentSealType", "Seal Type"}, {"eqmtSealNmbr", "Seal No."}, {"equipmentSealNumber", "Seal No."},
    {"socFlag", "SOCFlag"}, {"cntrAgntCd", "Agent Code"}, {"containerAgentCode", "Agent Code"},
    {"cntrWeight", "Weight"}, {"containerWeight", "Weight"}, {"totalNmbrOfPkgs", "Pkgs"},
    {"totalNumberOfPackages", "Pkgs"},
    // the route of a line's cargo
    {"prtOfCallSeqNmbr", "Route leg"}, {"itnry.prtOfCallCdd", "From port"}, {"itnry.prtOfCallName", "From port name"},
    {"nxtPrtOfCallCdd", "To port"}, {"nxtPrtOfCallName", "To port name"}, {"itnry.modeOfTrnsprt", "Transport Mode"},
    // the parts of the message
    {"headerField", "Header"}, {"master", "Manifest"}, {"digSign", "Signature"}, {"decRef", "Declaration reference"},
    {"authPrsn", "Submitter"}, {"vesselDtls", "Vessel"}, {"voyageDtls", "Voyage"}, {"mastrCnsgmtDec", "Lines"},
    {"voyageTransportEquipment", "Voyage container list"}, {"MCRef", "B/L reference"},
    {"HCRef", "House B/L reference"}, {"prevRef", "Previous declaration reference"}, {"locCstm", "Ports and movement"},
    {"trnshpr", "Transhipment details"}, {"trnsprtDoc", "Parties and goods"}, {"trnsprtDocMsr", "Packages and weight"},
    {"itemDtls", "Items"}, {"trnsprtEqmt", "Containers"}, {"itnry", "Route"}, {"houseCargoDec", "House B/Ls"},
    {"startSignature", "Signature"}, {"startCertificate", "Certificate"}, {"signerVersion", "Signer version"},
};

const QHash<QString, QString> &labels()
{
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> t;
        for (const Label &l : Labels)
            t.insert(QLatin1String(l.key), QLatin1String(l.label));
        return t;
    }();
    return table;
}

} // namespace

QString samFieldLabel(const QString &parent, const QString &key)
{
    const QHash<QString, QString> &t = labels();
    // A house B/L's parts are named as a line's are.
    const QString context = parent == QLatin1String("houseCargoDec") ? QStringLiteral("mastrCnsgmtDec") : parent;
    if (const auto it = t.constFind(context + QLatin1Char('.') + key); it != t.constEnd())
        return it.value();
    if (const auto it = t.constFind(key); it != t.constEnd())
        return it.value();
    return key;
}

} // namespace quarl::igm
