#include "igm/samfields.h"

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
    {"shpngLineCd", "Ship Line Code"}, {"authSeaCarrierCd", "Sea carrier code"}, {"masterName", "Master Name"},
    {"shpngLineBondNmbr", "Line's bond No."}, {"trmnlOprtrCd", "Terminal Op."},
    {"vesselDtls.modeOfTrnsprt", "Mode of transport"}, {"typOfTrnsprtMeans", "Vessel id type"},
    {"trnsprtMeansId", "IMO No."}, {"purposeOfCall", "Purpose of call"}, {"shipTyp", "Ship type"},
    // voyage
    {"voyageNo", "Voy. No."}, {"cnvnceRefNmbr", "VCN"}, {"totalNoOfTrnsprtEqmtMnfsted", "Total containers"},
    {"totalNmbrOfLines", "Total lines"}, {"crgoDescCdd", "Cargo description code"}, {"briefCrgoDesc", "Cargo Desc."},
    {"exptdDtAndTimeOfArvl", "Exp. Arrival"}, {"exptdDtAndTimeOfDptr", "Exp. Departure"},
    {"nmbrOfPsngrsMnfsted", "Passengers"}, {"nmbrOfCrewMnfsted", "Crew"}, {"shipItnry", "Ports of call"},
    {"shipItnrySeq", "Call sequence"}, {"shipItnry.prtOfCallCdd", "Port of call"}, {"shipItnry.prtOfCallName", "Port name"},
    // a B/L line and its house B/Ls
    {"lineNo", "Line No."}, {"mstrBlNo", "B/L No."}, {"mstrBlDt", "B/L Date"},
    {"consolidatedIndctr", "Consolidated"}, {"prevDec", "Previous declaration"}, {"consolidatorPan", "Consolidator PAN"},
    {"subLineNo", "Sub-line No."}, {"blNo", "House B/L No."}, {"blDt", "House B/L Date"},
    {"firstPrtOfEntry", "First port of entry"}, {"destPrt", "CFS / destination code"},
    {"nxtPrtOfUnlading", "Next port of unlading"}, {"typOfCrgo", "Cargo type"}, {"itemTyp", "Item Type"},
    {"crgoMvmt", "Cargo Move"}, {"natrOfCrgo", "Nture Cargo"},
    {"trnshprCd", "Carrier Ag Code"}, {"trnshprBond", "TP Bond No."},
    {"prtOfAcptCdd", "Load Port"}, {"prtOfAcptName", "Load Port name"}, {"prtOfReceiptCdd", "Dest. Port"},
    {"prtOfReceiptName", "Dest. Port name"},
    {"cnsgnrsName", "Shipper"}, {"cnsgnrStreetAddress", "Shipper's address"}, {"cnsgnrCity", "Shipper's city"},
    {"cnsgnrCntryCd", "Shipper's country"}, {"cnsgnrsCd", "Shipper's code"}, {"cnsgnrCdTyp", "Shipper's code type"},
    {"cnsgnrCntrySubDivName", "Shipper's state"}, {"cnsgnrCntrySubDivCd", "Shipper's state code"},
    {"cnsgnrPstcd", "Shipper's postcode"},
    {"cnsgnesName", "Importer"}, {"cnsgneStreetAddress", "Importer's street"}, {"cnsgneCity", "Importer's city"},
    {"cnsgneCntryCd", "Importer's country"}, {"cnsgnesCd", "Importer's code"}, {"typOfCd", "Importer's code type"},
    {"cnsgneCntrySubDivName", "Importer's state"}, {"cnsgneCntrySubDiv", "Importer's state code"},
    {"cnsgnePstcd", "Importer's PIN"},
    {"nameOfAnyOtherNotfdParty", "Notify"}, {"notfdPartyStreetAddress", "Notify's address"},
    {"notfdPartyCity", "Notify's city"}, {"panOfNotfdParty", "Notify's PAN"}, {"typOfNotfdPartyCd", "Notify's code type"},
    {"notfdPartyCntrySubDivName", "Notify's state"}, {"notfdPartyCntrySubDiv", "Notify's state code"},
    {"notfdPartyCntryCd", "Notify's country"}, {"notfdPartyPstcd", "Notify's PIN"},
    {"goodsDescAsPerBl", "Description"},
    {"trnsprtDocMsr.nmbrOfPkgs", "Pkgs."}, {"typsOfPkgs", "Package type"}, {"marksNoOnPkgs", "Marks"},
    {"grossWeight", "Gross Wt."}, {"netWeight", "Net weight"}, {"unitOfWeight", "Unit"}, {"grossVolume", "Vol."},
    {"unitOfVolume", "Unit of volume"},
    {"crgoItemSeqNmbr", "Item No."}, {"hsCd", "HS Code"}, {"crgoItemDesc", "Item description"}, {"unoCd", "UNO"},
    {"imdgCd", "IMO"}, {"itemDtls.nmbrOfPkgs", "Item Pkgs."}, {"typOfPkgs", "Item package type"},
    // containers, on a line and in the voyage's list
    {"eqmtSeqNo", "Container sequence"}, {"equipmentSequenceNo", "Container sequence"},
    {"eqmtId", "Container No."}, {"equipmentId", "Container No."}, {"eqmtTyp", "Equipment type"},
    {"equipmentType", "Equipment type"}, {"eqmtSize", "ISO Code"}, {"equipmentSize", "ISO Code"},
    {"eqmtLoadStatus", "Status"}, {"equipmentLoadStatus", "Status"}, {"eqmtSealTyp", "Seal type"},
    {"equipmentSealType", "Seal type"}, {"eqmtSealNmbr", "Seal No."}, {"equipmentSealNumber", "Seal No."},
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
