#pragma once

#include "core/failure.h"

#include <QString>

#include <utility>
#include <vector>

namespace quarl {

class Database;

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

// The voyage's outline, read inside the caller's transaction when one is open.
Result<CargoOutline> readCargoOutline(const Database &db, const QString &vessel, const QString &voyage);

// Stores the line numbers of the outline where they differ from those stored. Sub-line
// numbers are left as they are.
Status storeLineNumbers(const Database &db, const CargoOutline &outline);

} // namespace quarl
