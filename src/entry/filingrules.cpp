#include "entry/filingrules.h"

#include <QRegularExpression>

namespace quarl::FilingRules {

namespace {

bool matches(const QString &text, const char *pattern)
{
    const QRegularExpression re(QRegularExpression::anchoredPattern(QLatin1String(pattern)));
    return re.match(text).hasMatch();
}

bool isIndia(const QString &country)
{
    const QString c = country.trimmed();
    return c.isEmpty() || c.compare(QLatin1String("IN"), Qt::CaseInsensitive) == 0;
}

} // namespace

QString pan(const QString &text)
{
    if (text.isEmpty() || matches(text, "[A-Z]{5}[0-9]{4}[A-Z]"))
        return {};
    return QStringLiteral("a PAN is five letters, four digits and a letter (AAAAA9999A)");
}

QString partyCode(const QString &code, const QString &type, const QString &fallbackType)
{
    if (code.isEmpty())
        return {};
    const QString t = type.isEmpty() ? fallbackType : type;
    if (t == QLatin1String("PAN"))
        return pan(code);
    if (t == QLatin1String("IEC"))
        return matches(code, "[A-Z0-9]{10}") ? QString() : QStringLiteral("an IEC is 10 letters or digits");
    if (t == QLatin1String("GSN") || t == QLatin1String("GSD") || t == QLatin1String("GSG"))
        return matches(code, "[A-Z0-9]{15}") ? QString() : QStringLiteral("a GSTIN is 15 letters or digits");
    return {};
}

QString postalCode(const QString &text, const QString &country)
{
    if (text.isEmpty())
        return {};
    if (isIndia(country))
        return matches(text, "[0-9]{6}") ? QString() : QStringLiteral("a PIN is 6 digits");
    return matches(text, "[A-Z0-9 -]{1,9}") ? QString() : QStringLiteral("a postal code is at most 9 letters or digits");
}

QString hsCode(const QString &text)
{
    if (text.isEmpty() || matches(text, "[0-9]{6}") || matches(text, "[0-9]{8}"))
        return {};
    return QStringLiteral("an HS code is 6 or 8 digits");
}

QString wholeNumber(const QString &text)
{
    if (text.trimmed().isEmpty() || matches(text.trimmed(), "[0-9]{1,8}"))
        return {};
    return QStringLiteral("packages are a whole number");
}

Result<QString> listed(const Database &db, const QString &table, const QString &column, const QString &code,
                       const QString &what)
{
    if (code.isEmpty())
        return QString();
    auto found = db.scalar(QStringLiteral("select %1 from %2 where %1 = ?").arg(column, table), {code});
    if (!found)
        return found.failure();
    return found->isValid() ? QString() : QStringLiteral("%1 is not in the %2 list").arg(code, what);
}

Result<QString> country(const Database &db, const QString &code)
{
    return listed(db, QStringLiteral("D_CNTRY_CD"), QStringLiteral("cntry_cd"), code, QStringLiteral("country"));
}

Result<QString> port(const Database &db, const QString &code)
{
    return listed(db, QStringLiteral("D_PORT_CD"), QStringLiteral("port_cd"), code, QStringLiteral("port"));
}

Result<QString> state(const Database &db, const QString &code, const QString &country, QString *name)
{
    if (code.isEmpty() || !isIndia(country))
        return QString();
    auto found = db.query(QStringLiteral("select state_nm from D_STATE_CD where state_cd = ?"), {code});
    if (!found)
        return found.failure();
    if (!found->next())
        return QStringLiteral("%1 is not an Indian state code (01 to 38)").arg(code);
    if (name)
        *name = found->value(0).toString().trimmed();
    return QString();
}

} // namespace quarl::FilingRules
