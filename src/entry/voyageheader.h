#pragma once

#include "browser/recordset.h"
#include "core/failure.h"
#include "core/placeholders.h"
#include "store/database.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

// The voyage header (vesinfo) and the code masters its screen reads.
namespace quarl::VoyageHeader {

// What a saved voyage header stores as its port of arrival and terminal operator: the code
// keyed on the screen, else a code of its own the row already holds (an imported voyage's),
// else the default: the custom house's port, and the placeholder terminal. A placeholder
// the row holds counts as none, so no real value is ever replaced by one.
QString portOfArrival(const QString &keyed, const QString &held, const QString &customHousePort);
QString terminalOperator(const QString &keyed, const QString &held);
// The port of arrival of a stored voyage as filed: its keyed port, else its stored one
// unless a placeholder, else customHousePort (also when the voyage has no header yet).
Result<QString> voyagePortOfArrival(const Database &db, const QString &vessel, const QString &voyage,
                                    const QString &customHousePort);

// vesinfo in vessel-code order.
RecordSource recordSource();

struct VesselMaster
{
    QVariant name;
    QVariant nation;
    QVariant grt;
    QVariant nrt;
};

struct Port
{
    QString code;
    QString name;
};

// The country name of a nationality code; no value when the code is not in the country
// table (a null name is an empty text).
Result<std::optional<QString>> countryName(const Database &db, const QString &code);
// Name, nationality and tonnage of a vessel code; no value when the code is not in the master.
Result<std::optional<VesselMaster>> vesselMaster(const Database &db, const QString &code);
// The port list in name order.
Result<QList<Port>> ports(const Database &db);

} // namespace quarl::VoyageHeader
