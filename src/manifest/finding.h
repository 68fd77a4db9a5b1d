#pragma once

#include <QString>
#include <QtGlobal>

namespace quarl::igm {

// A finding of any check of a manifest (the flat file's, the SAM's, the reading of a file)
// or an error of the gateway's reply: where it lies and what it says. Each check fills what
// it knows of the place.
struct Finding
{
    enum class Severity { Error, Warning };
    Severity severity = Severity::Error;
    QString rule;            // the check's rule ("schema", "voyage-equipment", ...); a reply's error code
    qint64 fileLine = 0;     // line of the file, 1-based; 0 for the file as a whole or a voyage of the database
    qint64 lineNo = 0;       // the B/L's line number; 0 for the voyage as a whole
    qint64 subLineNo = 0;
    QString blNo;            // the B/L concerned; on a sub-line the house B/L
    bool voyageList = false; // in the voyage's list of containers
    QString field;           // "cargo field 38 (transit bond number)", "HS Code"; empty for a whole record
    QString path;            // the JSON path in a SAM file
    QString text;

    bool isError() const { return severity == Severity::Error; }
    // "Line 4 B/L QSLSIN2612004", "Line 2 sub-line 1 house B/L HB1", "Voyage", "Voyage container list"
    QString where() const;
};

// "Error, line 12 (B/L MSCU1), cargo field 38 (transit bond number): ...", as the flat-file
// check lists it.
QString flatFileFindingText(const Finding &f);
// "Error  Line 4 B/L QSLSIN2612004: HS Code missing on item 1  (/master/mastrCnsgmtDec/3/itemDtls/0/hsCd)",
// as the SAM check lists it.
QString samFindingText(const Finding &f);
// "Line 2 B/L MSCSIN0002: 060 Invalid Destination Port Code (/master/mastrCnsgmtDec/locCstm)",
// as an error of the gateway's reply is listed.
QString replyFindingText(const Finding &f);

} // namespace quarl::igm

// Its texts move with it: a long list of findings grows without copying them.
Q_DECLARE_TYPEINFO(quarl::igm::Finding, Q_RELOCATABLE_TYPE);
