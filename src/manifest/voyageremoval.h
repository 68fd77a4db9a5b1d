#pragma once

#include "manifest/outcome.h"

#include <QString>

namespace quarl {
class Database;
}

namespace quarl::igm {

struct RemovalResult
{
    Outcome outcome;
    qint64 lines = 0;
    qint64 containers = 0;
    qint64 items = 0; // goods items of the lines
    qint64 headers = 0;
};

// Deletes the voyage's lines with their containers and goods items, and with withVessel its header too,
// in one transaction, after confirm has answered "The Data will paramanently be DELETED ? ".
// A voyage without lines is refused and keeps its header.
RemovalResult removeVoyage(const Database &db, const QString &vessel, const QString &voyage, bool withVessel,
                           const Confirm &confirm);

} // namespace quarl::igm
