#include "entry/cargolookups.h"

namespace quarl::CargoLookups {

namespace {
QString listSql(List list)
{
    switch (list) {
    case List::LoadPort:
        return QStringLiteral("select port_nm, port_cd from D_PORT_CD order by port_nm");
    case List::CargoMove:
        return QStringLiteral("select cm_desc, cm_cd from cargomove order by cm_desc");
    case List::Nature:
        return QStringLiteral("select nat_desc, nat_cd from nature order by nat_desc");
    case List::ItemType:
        return QStringLiteral("select itm_desc, ITM_cd from itmtype order by itm_desc");
    case List::PackageType:
        return QStringLiteral("select pkg_cd, pkg_cd from package order by pkg_cd");
    case List::WeightUnit:
        return QStringLiteral("select uqc, uqc from d_uqc order by uqc");
    }
    return {};
}
} // namespace

Result<QList<Item>> items(const Database &db, List list)
{
    auto q = db.query(listSql(list));
    if (!q)
        return q.failure();
    QList<Item> out;
    while (q->next())
        out.append({q->value(0).toString().trimmed(), q->value(1).toString().trimmed()});
    return out;
}

} // namespace quarl::CargoLookups
