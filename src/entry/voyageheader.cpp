#include "entry/voyageheader.h"

#include <QSqlRecord>

namespace quarl::VoyageHeader {

namespace {

QString realCode(const QString &code, const char *placeholder)
{
    const QString t = code.trimmed();
    return t == QLatin1String(placeholder) ? QString() : t;
}

} // namespace

QString portOfArrival(const QString &keyed, const QString &held, const QString &customHousePort)
{
    if (!keyed.trimmed().isEmpty())
        return keyed.trimmed();
    const QString own = realCode(held, Placeholder::Port);
    return own.isEmpty() ? customHousePort.trimmed() : own;
}

QString terminalOperator(const QString &keyed, const QString &held)
{
    if (!keyed.trimmed().isEmpty())
        return keyed.trimmed();
    const QString own = realCode(held, Placeholder::Terminal);
    return own.isEmpty() ? QLatin1String(Placeholder::Terminal) : own;
}

Result<QString> voyagePortOfArrival(const Database &db, const QString &vessel, const QString &voyage,
                                    const QString &customHousePort)
{
    // select *: a database not yet upgraded has no column for the keyed port
    auto q = db.query(QStringLiteral("select * from vesinfo where vslcode = ? and voyno = ? order by Id"), {vessel, voyage});
    if (!q)
        return q.failure();
    if (!q->next())
        return customHousePort.trimmed();
    const int keyed = q->record().indexOf(QStringLiteral("arrportcd"));
    return portOfArrival(keyed >= 0 ? q->value(keyed).toString() : QString(),
                         q->value(q->record().indexOf(QStringLiteral("portarrival"))).toString(), customHousePort);
}

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
