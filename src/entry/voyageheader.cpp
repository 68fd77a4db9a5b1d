#include "entry/voyageheader.h"

namespace quarl::VoyageHeader {

RecordSource recordSource()
{
    return {QStringLiteral("vesinfo"), QString(), {}, QStringLiteral("vslcode")};
}

Result<std::optional<QString>> countryName(const Database &db, const QString &code)
{
    auto q = db.query(QStringLiteral("select cntry_nm from d_cntry_cd where cntry_cd = ?"), {code});
    if (!q)
        return q.failure();
    if (!q->next())
        return std::optional<QString>();
    return std::optional<QString>(q->value(0).toString().trimmed());
}

Result<std::optional<VesselMaster>> vesselMaster(const Database &db, const QString &code)
{
    auto q = db.query(QStringLiteral("select vessel_nm, vessel_nation, grt, nrt from d_vessel_cd where vessel_cd = ?"),
                      {code});
    if (!q)
        return q.failure();
    if (!q->next())
        return std::optional<VesselMaster>();
    return std::optional<VesselMaster>(VesselMaster{q->value(0), q->value(1), q->value(2), q->value(3)});
}

Result<QList<Port>> ports(const Database &db)
{
    auto q = db.query(QStringLiteral("select port_cd, port_nm from D_PORT_CD order by PORT_NM"));
    if (!q)
        return q.failure();
    QList<Port> out;
    while (q->next())
        out.append({q->value(0).toString().trimmed(), q->value(1).toString().trimmed()});
    return out;
}

} // namespace quarl::VoyageHeader
