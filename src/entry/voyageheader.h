#pragma once

#include "core/failure.h"
#include "browser/recordset.h"
#include "core/placeholders.h"
#include "store/database.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

// The voyage header (vesinfo) and the code masters its screen reads.
namespace quarl::VoyageHeader {

// Written into every saved voyage header.
inline constexpr const char *PortOfArrival = Placeholder::Port;
inline constexpr const char *TerminalOperator = Placeholder::Terminal;

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
