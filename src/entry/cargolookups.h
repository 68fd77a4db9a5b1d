#pragma once

#include "core/failure.h"
#include "store/database.h"

#include <QList>
#include <QString>

// The look-up lists of the cargo screen: what each lists and what it stores.
namespace quarl::CargoLookups {

enum class List {
    LoadPort,    // port names, storing the port code
    CargoMove,   // cargo movements by description
    Nature,      // natures of cargo by description
    ItemType,    // item types by description
    PackageType, // package codes
    WeightUnit,  // units of weight
};

struct Item
{
    QString text; // what the list shows
    QString code; // what the bill of lading stores
};

// The rows of a list in the order it shows them, blanks trimmed.
Result<QList<Item>> items(const Database &db, List list);

} // namespace quarl::CargoLookups
