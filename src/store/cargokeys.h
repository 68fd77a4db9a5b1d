#pragma once

#include "core/failure.h"
#include "store/database.h"

namespace quarl {

// The next free key of table cargo. Keys come from a counter that never goes back (a
// sequence on PostgreSQL, a counter row on SQLite): a key stays used after its bill of
// lading is deleted, so a stale screen can never mistake a new bill of lading for the one
// it showed. A database without the counter (not yet upgraded, see installCargoKeyCounter)
// takes the largest id plus 1 as before.
// Call it inside the writer's open transaction: it takes a lock that lasts until that
// transaction ends, so a second workstation asking at the same moment waits for the first
// to commit instead of getting the same key. A writer that needs several keys takes the
// first here and counts on from it: every key written moves the counter past it.
Result<qint64> nextCargoId(const Database &db);

// Whether the database keeps the key counter.
Result<bool> hasCargoKeyCounter(const Database &db);

// Makes the key counter, started from the largest key of the table, and the trigger that
// moves it past every key written to cargo by other means (imports counting on, older
// releases). Runs in the caller's transaction.
Status installCargoKeyCounter(const Database &db);

} // namespace quarl
