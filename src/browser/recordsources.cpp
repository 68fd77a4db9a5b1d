#include "browser/recordsources.h"

#include "core/rights.h"

namespace quarl::RecordSources {

RecordSource vesselCodes()
{
    return {QStringLiteral("D_VESSEL_CD"), QString(), {}, QStringLiteral("VESSEL_CD")};
}

bool administersUsers(const QString &menuRights)
{
    return Rights::isSuperUser(menuRights);
}

RecordSource users(const QString &menuRights, const QString &userId)
{
    RecordSource source{QStringLiteral("loguser"), QString(), {}, QStringLiteral("uid")};
    if (!administersUsers(menuRights)) {
        source.where = QStringLiteral("uid = ?");
        source.binds = {userId};
    }
    // the table has no key: a user is found again by the user id
    source.identity = QStringList{QStringLiteral("uid")};
    return source;
}

RecordSource companyRegister()
{
    return {QStringLiteral("DRCOMP"), QString(), {}, QString()};
}

} // namespace quarl::RecordSources
