#pragma once

#include "core/failure.h"
#include "store/database.h"

#include <optional>

namespace quarl {


// A stored line that holds a B/L number.
struct BlNumberInUse
{
    qint64 id = 0;
    QString vessel;
    QString voyage;
    qint64 line = 0; // its line number: the place of its key among the voyage's lines
};

// The line of vessel / voyage other than exceptId whose B/L number is blno; with
// anyVoyage, a line of any voyage (that voyage's first), as the older schema keeps B/L
// numbers unique over all voyages. None when the number is free.
Result<std::optional<BlNumberInUse>> blNumberInUse(const Database &db, const QString &vessel, const QString &voyage,
                                                   const QString &blno, qint64 exceptId = 0, bool anyVoyage = false);

// "B/L No. MSCU112001 is already line 1 of MSCAUR / 112W" (failure ErrorNumber::BlNumberTaken).
Failure blNumberTaken(const QString &blno, const BlNumberInUse &use);

} // namespace quarl
