#include "browser/fieldformat.h"

#include "store/dialect.h"

#include <QDate>
#include <QLocale>

#include <cmath>
#include <limits>

namespace quarl::FieldFormat {

namespace {

QString numberText(double d)
{
    if (!std::isfinite(d))
        return QString::number(d);
    QString s = QString::number(d, 'f', 10);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    if (s == QLatin1String("-0"))
        s = QStringLiteral("0");
    return s;
}

QString chopPadding(QString s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    s.truncate(n);
    return s;
}

Failure notANumber(const QString &text)
{
    return Failure(ErrorNumber::InvalidArgument, QStringLiteral("\"%1\" is not a number.").arg(text));
}

Failure overflow()
{
    return Failure(ErrorNumber::Overflow, QStringLiteral("Overflow"));
}

QVariant nullOf(QMetaType type)
{
    return QVariant(type);
}

} // namespace

QString text(const ColumnDef &column, const QVariant &value, const Dialect &dialect)
{
    if (value.isNull() || !value.isValid())
        return QString();
    switch (column.type) {
    case ColumnType::Double:
        if (value.typeId() == QMetaType::QString) {
            bool ok = false;
            const double d = value.toString().trimmed().toDouble(&ok);
            return ok ? numberText(d) : value.toString();
        }
        return numberText(value.toDouble());
    case ColumnType::AutoId:
    case ColumnType::SmallInt:
    case ColumnType::Integer:
        if (value.typeId() == QMetaType::QString)
            return value.toString().trimmed();
        if (value.typeId() == QMetaType::Double)
            return numberText(value.toDouble());
        return QString::number(value.toLongLong());
    case ColumnType::Date: {
        const QDate d = dialect.dateFromDb(value);
        return d.isValid() ? d.toString(QLatin1String(DateFormat)) : value.toString();
    }
    case ColumnType::Char:
        return chopPadding(value.toString());
    case ColumnType::Text:
        break;
    }
    return value.toString();
}

Result<QVariant> value(const ColumnDef &column, const QString &text, const Dialect &dialect)
{
    const QString t = text.trimmed();
    switch (column.type) {
    case ColumnType::Double: {
        if (t.isEmpty())
            return nullOf(QMetaType::fromType<double>());
        bool ok = false;
        const double d = QLocale::c().toDouble(t, &ok);
        if (!ok)
            return notANumber(text);
        if (!std::isfinite(d))
            return overflow();
        return QVariant(d);
    }
    case ColumnType::AutoId:
    case ColumnType::SmallInt:
    case ColumnType::Integer: {
        if (t.isEmpty())
            return nullOf(QMetaType::fromType<int>());
        bool ok = false;
        double d = QLocale::c().toDouble(t, &ok);
        if (!ok)
            return notANumber(text);
        if (d != std::floor(d))
            return Failure(ErrorNumber::InvalidArgument, QStringLiteral("\"%1\" is not a whole number.").arg(text));
        const double low = column.type == ColumnType::SmallInt ? -32768.0 : double(std::numeric_limits<qint32>::min());
        const double high = column.type == ColumnType::SmallInt ? 32767.0 : double(std::numeric_limits<qint32>::max());
        if (d < low || d > high)
            return overflow();
        return QVariant(int(d));
    }
    case ColumnType::Date: {
        if (t.isEmpty())
            return dialect.dateToDb(QDate());
        QDate d = QDate::fromString(t, QLatin1String(DateFormat));
        if (!d.isValid())
            d = QDate::fromString(t, QStringLiteral("d/M/yyyy"));
        if (!d.isValid())
            return Failure(ErrorNumber::InvalidArgument, QStringLiteral("\"%1\" is not a date (dd/mm/yyyy).").arg(text));
        return dialect.dateToDb(d);
    }
    case ColumnType::Text:
    case ColumnType::Char:
        break;
    }
    if (text.isEmpty())
        return nullOf(QMetaType::fromType<QString>());
    return QVariant(text);
}

int maxLength(const ColumnDef &column)
{
    if (column.size <= 0)
        return 0;
    return column.type == ColumnType::Date ? column.size + 2 : column.size;
}

bool isDigitsOnly(const ColumnDef &column)
{
    return column.type == ColumnType::Integer || column.type == ColumnType::Double;
}

bool isDigitsChar(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') || c == QChar(8);
}

} // namespace quarl::FieldFormat
