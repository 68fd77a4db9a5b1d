#include "igm/icesformat.h"

#include "igm/igmformat.h"

#include <QStringList>

#include <cmath>

namespace quarl::igm::Ices {

namespace {
void field(QByteArray &out, const QString &text)
{
    out += Format::FieldSeparator;
    Format::appendText(out, text);
}
} // namespace

QByteArray headerLine(const HeaderValues &h)
{
    QByteArray out(HeaderTag);
    field(out, QStringLiteral("ZZ"));
    field(out, h.sender);
    field(out, QStringLiteral("ZZ"));
    field(out, h.customHouse);
    field(out, QLatin1String(Version));
    field(out, h.testOrProduction);
    field(out, QString());
    field(out, QLatin1String(MessageId));
    field(out, h.controlNumber);
    field(out, h.written.toString(QStringLiteral("yyyyMMdd")));
    field(out, h.written.toString(QStringLiteral("HHmm")));
    return out;
}

QByteArray trailerLine(const QString &controlNumber)
{
    QByteArray out(TrailerTag);
    field(out, controlNumber);
    return out;
}

QString clockTime(const QString &stored)
{
    const QString t = stored.trimmed();
    int h = -1;
    int m = -1;
    bool okH = false;
    bool okM = false;
    const qsizetype colon = t.indexOf(QLatin1Char(':'));
    if (colon > 0) {
        h = t.left(colon).toInt(&okH);
        m = t.mid(colon + 1, 2).toInt(&okM);
        okM = okM && t.mid(colon + 1, 2).size() == 2;
    } else if (t.size() == 4) {
        h = t.left(2).toInt(&okH);
        m = t.mid(2).toInt(&okM);
    }
    if (!okH || !okM || h < 0 || h > 23 || m < 0 || m > 59)
        return {};
    return QStringLiteral("%1:%2").arg(h, 2, 10, QLatin1Char('0')).arg(m, 2, 10, QLatin1Char('0'));
}

QByteArray arrival(const QDate &date, const QString &time)
{
    QByteArray out;
    Format::appendDate(out, date);
    out += ' ';
    const QString t = clockTime(time);
    out += t.isEmpty() ? QByteArray("00:00") : t.toLatin1();
    return out;
}

bool parseArrival(QStringView text, QDate *date, QString *time)
{
    if (text.size() != 14 || text.at(8) != QLatin1Char(' ') || text.at(11) != QLatin1Char(':'))
        return false;
    const QDate d = Format::parseDate(text.left(8));
    const QString t = clockTime(text.mid(9).toString());
    if (!d.isValid() || t.isEmpty())
        return false;
    *date = d;
    *time = t;
    return true;
}

QByteArray fixed(double value, int decimals)
{
    if (!std::isfinite(value))
        value = 0;
    return QByteArray::number(value, 'f', decimals);
}

} // namespace quarl::igm::Ices

namespace quarl::igm {

HeaderLayout layoutOfHeader(const QByteArray &firstLine, QString *version)
{
    QByteArray line = firstLine;
    if (line.startsWith("\xEF\xBB\xBF"))
        line.remove(0, 3);
    if (line.startsWith("HREC**"))
        return HeaderLayout::Older;
    if (!line.startsWith(Ices::HeaderTag))
        return HeaderLayout::NoHeader;
    const QList<QByteArray> fields = line.split(Format::FieldSeparator);
    const QByteArray named = fields.value(5).trimmed();
    if (version)
        *version = QString::fromLatin1(named);
    if (fields.size() > 1 && named == Ices::Version)
        return HeaderLayout::Ices15;
    return HeaderLayout::Unknown;
}

QString layoutName(IgmLayout layout)
{
    return layout == IgmLayout::Ices15 ? QStringLiteral("ices15") : QStringLiteral("older");
}

bool parseLayoutName(const QString &name, IgmLayout *layout)
{
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("ices15") || n == QLatin1String("ices1_5") || n == QLatin1String("ices 1.5")) {
        *layout = IgmLayout::Ices15;
        return true;
    }
    if (n.isEmpty() || n == QLatin1String("older")) {
        *layout = IgmLayout::Older;
        return true;
    }
    return false;
}

} // namespace quarl::igm
