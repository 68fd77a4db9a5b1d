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

Result<PartyAddress> addressFromLines(const Database &db, const QStringList &typed)
{
    QStringList lines;
    for (const QString &l : typed) {
        if (!l.trimmed().isEmpty())
            lines << l.simplified();
    }
    PartyAddress a;
    if (lines.isEmpty())
        return a;
    // "400 001" is written with a blank as often as without; a longer run of digits is
    // a telephone number, no PIN
    static const QRegularExpression pinRx(QStringLiteral("(?<![0-9])([1-9][0-9]{2}) ?([0-9]{3})(?![0-9])"));
    int pinLine = -1;
    QRegularExpressionMatch pinAt;
    for (int i = 0; i < lines.size(); ++i) {
        auto it = pinRx.globalMatch(lines.at(i));
        while (it.hasNext()) {
            pinAt = it.next();
            pinLine = i;
        }
    }
    if (pinLine >= 0) {
        a.pin = pinAt.captured(1) + pinAt.captured(2);
        lines[pinLine].remove(pinAt.capturedStart(0), pinAt.capturedLength(0));
    }
    auto states = db.query(QStringLiteral("select state_cd, state_nm from D_STATE_CD"));
    if (!states)
        return states.failure();
    int stateLine = -1;
    qsizetype stateAt = -1;
    while (states->next()) {
        const QString name = states->value(1).toString().simplified();
        if (name.size() <= a.stateName.size())
            continue;
        const QRegularExpression word(QStringLiteral("(?<![A-Za-z])%1(?![A-Za-z])").arg(QRegularExpression::escape(name)),
                                      QRegularExpression::CaseInsensitiveOption);
        for (int i = int(lines.size()) - 1; i >= 0; --i) {
            const auto m = word.match(lines.at(i));
            if (m.hasMatch()) {
                a.state = states->value(0).toString().trimmed();
                a.stateName = name;
                stateLine = i;
                stateAt = m.capturedStart(0);
                break;
            }
        }
    }
    if (stateLine >= 0)
        lines[stateLine].remove(stateAt, a.stateName.size());
    // what the PIN and state leave of a line: its words without the dashes and commas between
    static const QRegularExpression ends(QStringLiteral("^[\\s,.;:-]+|[\\s,.;:-]+$"));
    for (QString &l : lines) {
        l = l.simplified();
        l.remove(ends);
    }
    lines.removeAll(QString());
    if (lines.isEmpty())
        return a;
    if (lines.size() == 1) {
        a.street = lines.first(); // one line is a street more often than a city
        return a;
    }
    a.city = lines.takeLast();
    a.street = lines.join(QStringLiteral(", "));
    return a;
}

} // namespace quarl::FilingRules
