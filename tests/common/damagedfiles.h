#pragma once

#include "common/igmtestdata.h"

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <optional>

namespace quarl {
class Database;
}

namespace quarl::test {

// The bare tables an IGM import fills (vesinfo, cargo, contain, D_VESSEL_CD) with their
// indexes, for many imports into one database.
Status createImportTables(const Database &db);

// Damaged copies of a good IGM file imported one by one into tables of createImportTables:
// an import stores exactly what a strict reading of the file gives, or nothing at all, and
// what it refuses (without stripping) the check finds.
struct DamagedImports
{
    QByteArray good;
    int files = 0;
    quint32 seed = 0;
    std::function<std::optional<QStringList>(const QByteArray &file, bool withVessel, bool strip)> strictReading;
    std::function<QStringList(const Database &db)> stored;
    // further conditions on a stored import's rows and counts; a failing one says why
    std::function<QString(const Database &db, qint64 lines, qint64 containers)> alsoStored;
};
MutationTally importDamagedFiles(const Database &db, const DamagedImports &d);
// The columns "engine" and "files": 3,000 damaged files on SQLite, 300 on PostgreSQL.
void addMutationRows();

} // namespace quarl::test
