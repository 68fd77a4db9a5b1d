#include "core/rights.h"

#include <QStringList>

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

QString codesShown(const QString &rights)
{
    QString codes = rights;
    codes.remove(QLatin1String(SuperUser), Qt::CaseSensitive);
    return codes.simplified();
}

QString composed(const QString &typedCodes, bool superUser)
{
    const QString mark = QLatin1String(SuperUser).mid(1);
    QString out;
    for (const QString &code : typedCodes.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (code == mark)
            superUser = true;
        else
            out += QLatin1Char(' ') + code;
    }
    return superUser ? out + QLatin1String(SuperUser) : out;
}

} // namespace quarl::Rights
