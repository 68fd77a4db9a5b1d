#include "core/rights.h"

namespace quarl::Rights {

bool isSuperUser(const QString &rights)
{
    return rights.contains(QLatin1String(SuperUser), Qt::CaseSensitive);
}

bool grants(const QString &rights, const QString &code)
{
    return isSuperUser(rights) || rights.contains(code, Qt::CaseSensitive);
}

QString menuCode(int number)
{
    return number < 10 ? QStringLiteral("0") + QString::number(number) : QString::number(number);
}

bool grantsMenu(const QString &menuRights, int number)
{
    return grants(menuRights, menuCode(number));
}

} // namespace quarl::Rights
