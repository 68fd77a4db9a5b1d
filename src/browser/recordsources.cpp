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
    if (administersUsers(menuRights))
        return {QStringLiteral("loguser"), QString(), {}, QStringLiteral("uid")};
    return {QStringLiteral("loguser"), QStringLiteral("uid = ?"), {userId}, QStringLiteral("uid")};
}

RecordSource companyRegister()
{
    return {QStringLiteral("DRCOMP"), QString(), {}, QString()};
}

} // namespace quarl::RecordSources
