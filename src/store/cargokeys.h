#pragma once

#include "core/failure.h"
#include "store/database.h"

namespace quarl {

// The next free key of table cargo: the largest id plus 1 (1 in an empty table).
// Call it inside the writer's open transaction: it takes a lock that lasts until
// that transaction ends, so a second workstation asking at the same moment waits
// for the first to commit instead of getting the same key. A writer that needs
// several keys takes the first here and counts on from it.
Result<qint64> nextCargoId(const Database &db);

} // namespace quarl
