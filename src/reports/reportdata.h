#pragma once

#include "core/failure.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace quarl {
class Database;
}

namespace quarl::reports {

enum class ReportKind { CheckList, CargoDeclaration };

struct ReportContainer
{
    QString containNo, sealNo, agentCode, conStatus, isoCode, socFlag;
    qint64 conPkgs = 0;
    double conWt = 0;
};

struct ReportLine
{
    qint64 id = 0;
    qint64 lineNo = 0;    // a house B/L's is its master line's
    qint64 subLineNo = 0; // a house B/L's sub-line as stored; 0 on a line of its own
    qint64 masterId = 0;  // a house B/L: the key of its master line; 0 on a line of its own
    QString masterBlNo;   // a house B/L: its master line's B/L number
    qint64 houses = 0;    // a master line: the house B/Ls printed under it
    QString blNo, hblNo;
    QDate blDt, hblDt;
    QString portLoad, portDest, destCode;
    QString impName, impAdd[3], notName, notAdd[3];
    QString natureCargo, itemType, cargoMove;
    qint64 pkgs = 0;
    QString pkgType, pkgDesc; // pkgDesc: the package master's text, cargo declaration only
    double grossWt = 0;
    QString unitWt;
    double volume = 0;
    QString unitVol;
    QString marks, gDesc, unoCode, imoCode;
    QString tpRegNo, cacCode, trMode, mlo;
    // kept for today's arrival manifest: the shipper as one text, the goods items as
    // "HS code description" (check-list only)
    QString shipper;
    QStringList hsCodes;
    std::vector<ReportContainer> containers;

    bool isHouse() const { return masterId != 0; }
};

// "2" for line 2, "2/1" for the house B/L of sub-line 1 under it.
QString lineLabel(const ReportLine &line);
// A house B/L's own number and date: the house B/L columns, else the B/L columns.
QString houseBlNo(const ReportLine &line);
QDate houseBlDate(const ReportLine &line);
// The head of a house B/L in the check-list: "Line 2/1     House B/L No. H     Date d     of
// B/L M".
QString houseHead(const ReportLine &line);
// What a master line's head says of its house B/Ls: "Consolidated: 2 house B/Ls"; empty for
// a line without house B/Ls.
QString consolidatedNote(const ReportLine &line);

// The vessel code master's row of the voyage's vessel.
struct VesselMaster
{
    QString code, name, nation;
    double grt = 0, nrt = 0;
};

// The voyage header (vesinfo) as the cargo declaration prints it.
struct VoyageHeader
{
    QString vslName, vslCode, voyNo, sLineCode, sAgentCode, masterName, vslNation;
    QString portArrival, lastPort, lastPort1, lastPort2, vslType, cargoDesc, arrTime, terminalOp;
    QString igmNo, msgType, msgName;
    QString sameBottom, shipStoreDecl, crewDecl, pessList, crewEffDecl, mariDecl;
    double grt = 0, nrt = 0, lhDues = 0;
    qint64 totItems = 0;
    QDate arrDt, igmDt;
};

struct WeightTotal
{
    QString unit;
    double weight = 0;
};

struct StatusCount
{
    QString status;
    qint64 count = 0;
};

// Totals of a voyage, in the order in which their units and statuses first occur.
struct ReportTotals
{
    qint64 lines = 0;  // the lines as filed: house B/Ls are counted apart
    qint64 houses = 0;
    qint64 packages = 0;
    qint64 containers = 0;
    QList<WeightTotal> grossWeight;
    QList<StatusCount> containersByStatus;
};

// The rows of one prepared report, grouped by line, lines in line-number order, each house
// B/L right after its master line (in key order), and the containers of a line in the
// database's order.
struct ReportData
{
    ReportKind kind = ReportKind::CheckList;
    QString vessel, voyage;   // as typed
    QString cHouseCode;       // cargo declaration: the custom house code, trailing blanks removed
    bool hasVessel = false;   // the vessel code master holds the vessel
    bool hasHeader = false;   // cargo declaration: the voyage header exists
    VesselMaster vesselMaster;
    VoyageHeader header;
    qint64 voyageLines = 0;   // lines of the voyage, also those the report leaves out
    std::vector<ReportLine> lines;

    qint64 rowCount() const; // rows of the report's query: one per line and container
    qint64 masterLines() const; // the lines as filed, house B/Ls not counted
    ReportTotals totals() const;
};

struct ReportRequest
{
    ReportKind kind = ReportKind::CheckList;
    QString vessel, voyage;
    QString customHouse; // cargo declaration only
};

// What preparing gave: the data (empty when reading failed) and the failure of each step
// that failed. The check-list stops at the first failure; the declaration shows each one
// and prints what could be read.
struct Preparation
{
    std::shared_ptr<const ReportData> data;
    QList<Failure> failures;
    bool isOk() const { return failures.isEmpty(); }
};

// Numbers the voyage's lines 1..n (stored: the IGM file and every later report show the
// same numbers) and reads the report's rows, both in one transaction so that two outputs
// never see half a renumbering. Vessel code and voyage number are used as typed.
Preparation prepareReportData(const Database &db, const ReportRequest &request);

// Numbers the voyage's master lines 1..n in the order of their keys, each house B/L with
// its master's number (its sub-line as it is); the number of lines, houses included.
Result<qint64> renumberLines(const Database &db, const QString &vessel, const QString &voyage);

// How dates, quantities and their units read on paper, in every report format.
inline QString dateText(const QDate &d)
{
    return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

inline QString number(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

// A container's weight in tonnes: three decimals, more where the value holds more (a
// weight of 9.0005 t is not rounded to 9.001 t).
inline QString tonnes(double v)
{
    for (int decimals = 3; decimals < 9; ++decimals) {
        const QString t = QString::number(v, 'f', decimals);
        if (t.toDouble() == v)
            return t;
    }
    return QString::number(v, 'f', 9);
}

inline QString withUnit(const QString &value, const QString &unit)
{
    return unit.isEmpty() ? value : value + QLatin1Char(' ') + unit;
}

} // namespace quarl::reports
