#pragma once

#include "core/failure.h"

#include <QList>
#include <QString>

namespace quarl {

class Database;

// The hand-run upgrades of older company databases and the port-code patches. Each
// checks whether its change is there already, then applies it or says so. Each runs in
// one transaction: a failure leaves the database as it was, so the command can be run
// again once the cause is mended.
enum class PatchId {
    UpdatePortCodes,  // port names become name + "-" + code
    UpdateCargoTable, // bill-of-lading number unique per voyage instead of overall
    CargoColumns,     // 2.0.0: the four cargo columns of the inland depot trade
    PortList201,      // 2.0.1: 166 inland depots, land customs stations, SEZs
    PortList203,      // 2.0.3: 6 inland depots
    PortMaster210,    // 2.1.0: the sea ports and Indian depots of UN/LOCODE that are missing
    IcesColumns210,   // 2.1.0: IMO number, terminal operator, port of arrival as filed
    FilingColumns220, // 2.2.0: what today's arrival manifest asks for (store/filingfields.h)
    ColumnWidths,     // text columns refuse values longer than their sizes (SQLite took any)
    CargoKeys230,     // 2.3.0: keys of bills of lading from a counter that never goes back
    HouseLinks240,    // 2.4.0: each house B/L linked to its master line
    FilingRegister250, // 2.5.0: the register of SAM filings, the numbers customs gives the lines
};

struct PatchResult
{
    enum class Outcome { Applied, AlreadyApplied, Failed };

    Outcome outcome = Outcome::Failed;
    // What the screen shows (OK button, the application's title); empty when the command
    // shows nothing. A failure's text is "number  description".
    QString message;
    Failure failure; // set when Failed

    bool isOk() const { return outcome != Outcome::Failed; }
};

struct PatchInfo
{
    PatchId id;
    QString name;    // the quarlctl name
    QString caption; // the menu entry's caption
    QString menu;    // the menu entry: "menHK" or "menPatch"; empty: quarlctl only
    int index;       // its index in that menu
    QString rightsCode; // menu rights code that enables it; empty: always enabled
};

namespace Patches {

inline constexpr char PortCodesAlreadyUpdated[] = "Port Codes Already been Updated...";
inline constexpr char UpdateSuccessful[] = "Update Successful ";
inline constexpr char SoftwarePatched[] = "Software Patched Successfully ...";
inline constexpr char AlreadyPatched[] = "Software already patched ...";

// Guards: more hyphenated port names than this mean the names were corrected already;
// more port codes than a list's threshold mean that list is in already.
inline constexpr int CorrectedNamesThreshold = 1000;
inline constexpr int PortList201Threshold = 29500;
inline constexpr int PortList203Threshold = 29646;
// Older cargo tables have fewer columns than this.
inline constexpr int PatchedCargoColumns = 34;

inline constexpr char NamesNotCorrected[] =
    "The port names are not yet in the form name-code: run House Keeping, Update Port Codes first.";

// The commands in menu order, then those of quarlctl alone.
const QList<PatchInfo> &all();
const PatchInfo *info(PatchId id);
const PatchInfo *find(const QString &name); // by quarlctl name; nullptr when unknown

PatchResult run(PatchId id, const Database &db);

PatchResult updatePortCodes(const Database &db);
PatchResult updateCargoTable(const Database &db);
PatchResult addCargoColumns(const Database &db);
// Text columns of every company table refuse values longer than their sizes. Rows that
// hold such values already are kept and listed in the message, for the user to shorten.
PatchResult enforceColumnWidths(const Database &db);
inline constexpr char WidthsEnforced[] = "Column widths are now enforced.";
inline constexpr char WidthsAlreadyEnforced[] = "Column widths were already enforced.";
// One port list (resource of rows code, name) unless more than threshold codes are there.
PatchResult insertPortList(const Database &db, const QString &resource, int threshold);
// Adds the rows of the port master of new databases whose codes are missing; rows that
// are there stay as they are.
PatchResult completePortMaster(const Database &db);
// Adds the columns of icesColumns() that are missing, the natures of cargo LB and DB when
// missing, and names item type GC "Government Cargo" where it was called General Cargo.
PatchResult addIcesColumns(const Database &db);
// Adds the columns and tables of release 2.2.0 that are missing, the code masters with
// their shipped rows and the company's row of filing details. Columns are appended, so
// the upgrades of 2.0.0 and 2.1.0 must be in first (the imports match columns by position).
PatchResult addFilingColumns(const Database &db);
inline constexpr char EarlierUpgradesFirst[] =
    "Run Patches, Modify Cargo Table for ICD (TP) (2.0.0) and Modify Tables for ICES 1.5 (2.1.0) first.";
// The key counter of the bills of lading, started from the largest key.
PatchResult addCargoKeyCounter(const Database &db);
// The column that links each house B/L to its master line, with its index; the houses
// kept so far (a sub-line under the line of the same number) are linked. The column is
// appended, so the upgrade of 2.2.0 must be in first.
PatchResult addHouseLinks(const Database &db);
inline constexpr char FilingUpgradeFirst[] = "Run Patches, Modify Tables for SCMTR Filing (2.2.0) first.";
// The register of filings (store/filings.h) and the columns of cargo for the numbers
// customs gives the lines. The columns are appended after the link of 2.4.0, which must be
// in first.
PatchResult addFilingRegister(const Database &db);
inline constexpr char HouseLinksFirst[] = "Run Patches, Link House B/Ls to Their Master Lines (2.4.0) first.";

} // namespace Patches
} // namespace quarl
