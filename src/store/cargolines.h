#pragma once

#include "core/failure.h"

#include <QString>

#include <utility>
#include <vector>

namespace quarl {

class Database;

// The column of cargo that links a house B/L to its master line: the master's key, null on
// a master line. Company databases of release 2.3.0 and before lack it; they keep a house
// under the first line of its number before it, and so do their files.
inline constexpr char HouseLinkColumn[] = "masterid";

// Whether cargo has the link column; fails when the database cannot be asked.
Result<bool> keepsHouseLinks(const Database &db);

// One bill of lading of a voyage as the writers and reports take it.
struct CargoLine
{
    qint64 id = 0;
    qint64 master = 0;     // the key of its master line; 0 on a master line
    qint64 storedLine = 0; // the numbers as stored (0 for none)
    qint64 storedSub = 0;
    qint64 line = 0;       // its line number as filed: a house's is its master's
    QString nature;        // the nature of cargo, trimmed, in capitals

    bool isHouse() const { return master != 0; }
};

// The bills of lading of a voyage in the order the writers and reports take them: the
// master lines in key order, numbered 1, 2, 3 ..., each followed by its house B/Ls in key
// order. A house carries its master's line number and keeps the sub-line number it was
// given: no writer or report renumbers sub-lines, so a consolidated line stays whole
// however often the voyage is printed or filed.
struct CargoOutline
{
    std::vector<CargoLine> lines;
    qint64 masters = 0;

    // The lines whose stored line number is not the filed one: key and line number.
    std::vector<std::pair<qint64, qint64>> renumbered() const;
};

// The voyage's outline, read inside the caller's transaction when one is open. A line whose
// link names no master line of the voyage stands as a line of its own.
Result<CargoOutline> readCargoOutline(const Database &db, const QString &vessel, const QString &voyage);

// Numbers of the lines of one voyage in key order: line and sub-line (0 for none).
// Returns for each the index of its master among them, -1 for a master line: a line with a
// sub-line number goes under the first master line of its number before it, as releases
// before the link kept them.
std::vector<qsizetype> mastersByNumber(const std::vector<std::pair<qint64, qint64>> &numbers);

// Links every house B/L of the database that has no link yet to its master by their numbers
// (mastersByNumber), inside the caller's transaction; the number of houses linked.
Result<qint64> linkHousesByNumber(const Database &db);

// Stores the line numbers of the outline where they differ from those stored. Sub-line
// numbers are left as they are.
Status storeLineNumbers(const Database &db, const CargoOutline &outline);

} // namespace quarl
