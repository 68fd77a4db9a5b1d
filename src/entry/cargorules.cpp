#include "entry/cargorules.h"

#include <QLocale>

namespace quarl::CargoRules {

namespace {

double numberOf(const QString &text)
{
    bool ok = false;
    const double d = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok ? d : 0.0;
}

// Empty, or a number of no sign: letters in a count or a weight are a slip, never a value.
bool numberOrEmpty(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return true;
    bool ok = false;
    const double d = QLocale::c().toDouble(t, &ok);
    return ok && d >= 0;
}

bool wholeNumberOrEmpty(const QString &text)
{
    return numberOrEmpty(text) && numberOf(text) == qRound64(numberOf(text));
}

Result<bool> exists(const Database &db, const QString &sql, const QString &value)
{
    auto found = db.scalar(sql, {value});
    if (!found)
        return found.failure();
    return found->isValid();
}

} // namespace

bool numericKey(QChar c)
{
    return c.unicode() >= 46 && c.unicode() <= 57;
}

bool blNoKey(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

bool isTranshipment(const QString &cargoMove)
{
    return cargoMove == QLatin1String("TI");
}

bool isContainerised(const QString &natureCargo)
{
    return natureCargo == QLatin1String("C") || natureCargo == QLatin1String("CP");
}

bool packagesAcceptable(const QString &text)
{
    return numberOf(text) != 0.0;
}

bool blDateAcceptable(const QString &text, const QDate &today)
{
    return blDateRule(text, today).isEmpty();
}

QString blDateRule(const QString &text, const QDate &today)
{
    const QString t = text.trimmed();
    QDate d = QDate::fromString(t, QStringLiteral("dd/MM/yyyy"));
    if (!d.isValid())
        d = QDate::fromString(t, QStringLiteral("d/M/yyyy"));
    if (!d.isValid())
        return QStringLiteral("B/L Date is a date dd/mm/yyyy");
    return d <= today ? QString() : QStringLiteral("B/L Date may not be after today");
}

bool transportModeAcceptable(const QString &text)
{
    return text.isEmpty() || text == QLatin1String("T") || text == QLatin1String("R") || text == QLatin1String("S");
}

Result<bool> unoCodeAcceptable(const Database &db, const QString &text)
{
    if (text == QLatin1String(NoUnoCode))
        return true;
    return exists(db, QStringLiteral("select uno_code from D_UNOIMCO where uno_code = ?"), text);
}

Result<bool> portCodeAcceptable(const Database &db, const QString &text)
{
    return exists(db, QStringLiteral("select port_cd from D_PORT_CD where port_cd = ?"), text.trimmed());
}

Result<bool> imoCodeAcceptable(const Database &db, const QString &text)
{
    if (text == QLatin1String(NoImoCode))
        return true;
    return exists(db, QStringLiteral("select imco_code from D_UNOIMCO where imco_code = ?"), text);
}

Result<bool> cellAcceptable(const Database &db, int column, const QString &text)
{
    switch (column) {
    case ColContainerNo: {
        const int n = int(text.trimmed().size());
        return n >= 10 && n <= 11;
    }
    case ColSealNo:
        return text.size() <= 15;
    case ColAgentCode:
        return text.size() <= 10;
    case ColStatus:
        return exists(db, QStringLiteral("select cs_cd from constatus where cs_cd = ?"), text);
    case ColPkgs:
        return wholeNumberOrEmpty(text);
    case ColWeight:
        return numberOrEmpty(text) && numberOf(text) <= 99;
    case ColSocFlag:
        return text == QLatin1String("Y") || text == QLatin1String("N");
    case ColSealType:
        if (text.isEmpty())
            return true;
        return exists(db, QStringLiteral("select seal_cd from sealtype where seal_cd = ?"), text);
    case ColEqType:
        if (text.isEmpty())
            return true;
        return exists(db, QStringLiteral("select eq_cd from eqtype where eq_cd = ?"), text);
    default:
        return true;
    }
}

QString cellRule(int column)
{
    switch (column) {
    case ColContainerNo: return QStringLiteral("Container No. needs 10 or 11 characters");
    case ColSealNo: return QStringLiteral("Seal No. takes at most 15 characters");
    case ColAgentCode: return QStringLiteral("Agent Code takes at most 10 characters");
    case ColStatus: return QStringLiteral("Status must be a code of the container status list");
    case ColPkgs: return QStringLiteral("Packages must be a whole number");
    case ColWeight: return QStringLiteral("Weight is a number of tonnes, at most 99");
    case ColSocFlag: return QStringLiteral("SOCFlag must be Y or N");
    case ColSealType: return QStringLiteral("Seal Type must be a code of the seal type list (BTSL, ESEAL) or empty");
    case ColEqType: return QStringLiteral("Equip. Type must be a code of the equipment type list (CN ...) or empty");
    default: return QString();
    }
}

int copyTargetColumn(int column)
{
    switch (column) {
    case ColSealNo:
    case ColAgentCode:
    case ColWeight:
    case ColIsoCode:
        return column + 1;
    // the seal type of the boxes of a bill of lading is mostly one: it follows the SOCFlag
    case ColSocFlag:
        return ColSealType;
    case ColSealType:
        return ColEqType;
    default:
        return -1;
    }
}

} // namespace quarl::CargoRules
