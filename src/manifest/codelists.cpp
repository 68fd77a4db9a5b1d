#include "manifest/codelists.h"

#include "store/database.h"

namespace quarl::igm {

Result<CodeLists> loadCodeLists(const Database &db)
{
    CodeLists c;
    const std::pair<const char *, QSet<QString> *> lists[] = {
        {"select port_cd from D_PORT_CD", &c.ports},     {"select pkg_cd from package", &c.packages},
        {"select uqc from d_uqc", &c.units},             {"select nat_cd from nature", &c.natures},
        {"select ITM_cd from itmtype", &c.itemTypes},    {"select cm_cd from cargomove", &c.movements},
        {"select cs_cd from constatus", &c.statuses},    {"select iso_code from D_ISO_CD", &c.isoCodes},
    };
    for (const auto &[sql, set] : lists) {
        auto q = db.query(QLatin1String(sql));
        if (!q)
            return q.failure();
        while (q->next())
            set->insert(q->value(0).toString().trimmed().toUpper());
    }
    auto q = db.query(QStringLiteral("select uno_code, imco_code from D_UNOIMCO"));
    if (!q)
        return q.failure();
    while (q->next())
        c.unoClasses.insert(q->value(0).toString().trimmed(), q->value(1).toString().trimmed());
    return c;
}

} // namespace quarl::igm
