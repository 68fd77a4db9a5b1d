#pragma once

#include "core/failure.h"

#include <QHash>
#include <QSet>
#include <QString>

namespace quarl {
class Database;
}

namespace quarl::igm {

// The codes of the company's masters the check compares against.
struct CodeLists
{
    QSet<QString> ports, packages, units, natures, itemTypes, movements, statuses, isoCodes;
    QHash<QString, QString> unoClasses; // UN number -> IMO class
};
Result<CodeLists> loadCodeLists(const Database &db);

} // namespace quarl::igm
