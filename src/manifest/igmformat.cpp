#include "manifest/igmformat.h"

#include "core/failure.h"

#include <QStringDecoder>

#include <charconv>
#include <cmath>

namespace quarl::igm::Format {

QString trimTrailing(const QString &text)
{
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1) == QLatin1Char(' '))
        --n;
    return text.left(n);
}

QString igmFileName(const QString &vessel, const QString &voyage)
{
    return trimTrailing(vessel) + trimTrailing(voyage) + QLatin1String(FileSuffix);
}

bool usableInFileName(const QString &text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
}

QByteArray headerLine(const QString &iceGateUser, const QString &customHouseCode)
{
    QByteArray line("HREC**,ZZ,");
    appendText(line, iceGateUser);
    line += ",ZZ,";
    appendText(line, customHouseCode);
    line += ",5,UN,D,SACHI01,,,01A";
    return line;
}

namespace {

// Letters and signs that have no ASCII decomposition but a customary spelling.
const char *spelledOut(char32_t c)
{
    switch (c) {
    case 0x00DF: return "ss";
    case 0x1E9E: return "SS";
    case 0x00C6: return "AE";
    case 0x00E6: return "ae";
    case 0x0152: return "OE";
    case 0x0153: return "oe";
    case 0x00D8: return "O";
    case 0x00F8: return "o";
    case 0x0110: case 0x00D0: return "D";
    case 0x0111: case 0x00F0: return "d";
    case 0x0126: return "H";
    case 0x0127: return "h";
    case 0x0131: return "i";
    case 0x0141: return "L";
    case 0x0142: return "l";
    case 0x00DE: return "TH";
    case 0x00FE: return "th";
    case 0x00A0: case 0x2007: case 0x202F: return " ";
    case 0x00AD: return "-";
    case 0x2010: case 0x2011: case 0x2012: case 0x2013: case 0x2014: case 0x2015: case 0x2212: return "-";
    case 0x2018: case 0x2019: case 0x201A: case 0x201B: case 0x2032: case 0x2039: case 0x203A: return "'";
    case 0x201C: case 0x201D: case 0x201E: case 0x201F: case 0x2033: case 0x00AB: case 0x00BB: return "\"";
    case 0x2044: case 0x2215: return "/";
    case 0x00D7: return "x";
    case 0x2022: case 0x00B7: return "*";
    case 0x200B: case 0x200C: case 0x200D: case 0x2060: case 0xFEFF: return "";
    default: return nullptr;
    }
}

bool isMark(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

void appendNonAscii(QByteArray &out, char32_t c)
{
    if (const char *s = spelledOut(c)) {
        out += s;
        return;
    }
    if (isMark(c))
        return; // an accent stored apart from its letter
    const QString decomposed = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_KD);
    QByteArray spelled;
    for (const char32_t d : decomposed.toUcs4()) {
        if (d >= 0x20 && d < 0x7f) {
            spelled += char(d);
        } else if (isMark(d)) {
            continue;
        } else if (const char *s = spelledOut(d)) {
            spelled += s;
        } else {
            out += '?';
            return;
        }
    }
    out += spelled.isEmpty() ? QByteArray("?") : spelled;
}

} // namespace

void appendText(QByteArray &out, QStringView text)
{
    const qsizetype n = text.size();
    const char16_t *src = text.utf16();
    // ASCII straight into place; the rest, rare, a character at a time
    const qsizetype start = out.size();
    out.resize(start + n);
    char *dst = out.data() + start;
    qsizetype i = 0;
    for (; i < n; ++i) {
        const char16_t u = src[i];
        if (u >= 0x80)
            break;
        dst[i] = (u < 0x20 || u == 0x7f) ? ' ' : char(u);
    }
    if (i == n)
        return;
    out.resize(start + i);
    for (; i < n; ++i) {
        const char16_t u = src[i];
        if (u >= 0x20 && u < 0x7f) {
            out += char(u);
        } else if (u < 0x20 || u == 0x7f) {
            out += ' ';
        } else if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(src[i + 1])) {
            appendNonAscii(out, QChar::surrogateToUcs4(u, src[i + 1]));
            ++i;
        } else if (QChar::isSurrogate(u)) {
            out += '?';
        } else {
            appendNonAscii(out, u);
        }
    }
}

bool appendText(QByteArray &out, QStringView text, qsizetype width)
{
    const qsizetype start = out.size();
    appendText(out, text);
    if (width <= 0 || out.size() - start <= width)
        return false;
    out.truncate(start);
    QByteArray one;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = QChar::isHighSurrogate(text[i].unicode()) && i + 1 < text.size() ? 2 : 1;
        one.clear();
        appendText(one, text.mid(i, n));
        out += one.left(1);
        i += n - 1;
    }
    return true;
}

bool appendUtf8(QByteArray &out, const QByteArray &bytes, qsizetype width, bool trim)
{
    qsizetype n = bytes.size();
    if (trim) {
        while (n > 0 && bytes.at(n - 1) == ' ')
            --n;
    }
    const char *src = bytes.constData();
    qsizetype i = 0;
    while (i < n && uchar(src[i]) < 0x80)
        ++i;
    if (i < n) // letters beyond ASCII: as any text
        return appendText(out, QString::fromUtf8(src, n), width);
    const qsizetype start = out.size();
    out.resize(start + n);
    char *dst = out.data() + start;
    for (qsizetype k = 0; k < n; ++k) {
        const char c = src[k];
        dst[k] = (uchar(c) < 0x20 || c == 0x7f) ? ' ' : c;
    }
    return false;
}

QByteArray toSingleByte(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    appendText(out, text);
    return out;
}

void appendInteger(QByteArray &out, qint64 value)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(value));
    out.append(buf, r.ptr - buf);
}

void appendNumber(QByteArray &out, double value)
{
    if (!std::isfinite(value) || value == 0) {
        out += '0';
        return;
    }
    char buf[48];
    if (std::fabs(value) <= 9007199254740992.0 && std::trunc(value) == value) {
        const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(value));
        out.append(buf, r.ptr - buf);
        return;
    }
    // d.dddddddddddddde[+-]x: 15 significant digits, then laid out in fixed notation
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    const char *p = buf;
    const char *end = r.ptr;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    char digits[16];
    int count = 0;
    for (; p < end && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            digits[count++] = *p;
    }
    int exponent = 0;
    if (p < end)
        std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exponent);
    while (count > 1 && digits[count - 1] == '0')
        --count;
    if (negative)
        out += '-';
    if (exponent >= 0) {
        for (int i = 0; i <= exponent; ++i)
            out += i < count ? digits[i] : '0';
        if (count > exponent + 1) {
            out += '.';
            out.append(digits + exponent + 1, count - exponent - 1);
        }
    } else {
        out += "0.";
        for (int i = 0; i < -exponent - 1; ++i)
            out += '0';
        out.append(digits, count);
    }
}

QString formatNumber(double value)
{
    QByteArray out;
    appendNumber(out, value);
    return QString::fromLatin1(out);
}

void appendDate(QByteArray &out, const QDate &date)
{
    char buf[9];
    const int y = date.year();
    buf[0] = char('0' + date.day() / 10);
    buf[1] = char('0' + date.day() % 10);
    buf[2] = char('0' + date.month() / 10);
    buf[3] = char('0' + date.month() % 10);
    buf[4] = char('0' + (y / 1000) % 10);
    buf[5] = char('0' + (y / 100) % 10);
    buf[6] = char('0' + (y / 10) % 10);
    buf[7] = char('0' + y % 10);
    out.append(buf, 8);
}

bool appendValue(QByteArray &out, const QVariant &value, qsizetype width)
{
    if (value.isNull())
        return false;
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return appendText(out, *static_cast<const QString *>(value.constData()), width);
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        appendInteger(out, value.toLongLong());
        return false;
    case QMetaType::ULongLong:
        out += QByteArray::number(value.toULongLong());
        return false;
    case QMetaType::Double:
    case QMetaType::Float:
        appendNumber(out, value.toDouble());
        return false;
    case QMetaType::QDate:
        appendDate(out, value.toDate());
        return false;
    case QMetaType::QByteArray:
        return appendUtf8(out, *static_cast<const QByteArray *>(value.constData()), width);
    default:
        return appendText(out, value.toString(), width);
    }
}

QByteArray fixed(double value, int decimals)
{
    if (!std::isfinite(value))
        value = 0;
    return QByteArray::number(value, 'f', decimals);
}

namespace {

// The text of a number as the older programs and the engines take it: exponents allowed.
bool anyNumber(QStringView text, double *value)
{
    const QStringView t = text.trimmed();
    if (t.isEmpty() || t.size() > 64)
        return false;
    char buf[66];
    qsizetype n = 0;
    qsizetype i = 0;
    if (t[0] == QLatin1Char('+')) {
        ++i; // from_chars takes no plus sign
        if (t.size() == 1 || t[1] == QLatin1Char('-') || t[1] == QLatin1Char('+'))
            return false;
    }
    for (; i < t.size(); ++i) {
        const char16_t u = t[i].unicode();
        const bool ok = (u >= '0' && u <= '9') || u == '.' || u == '-' || u == '+' || u == 'e' || u == 'E';
        if (!ok)
            return false;
        buf[n++] = char(u);
    }
    double v = 0;
    const auto r = std::from_chars(buf, buf + n, v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != buf + n || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

} // namespace

bool parseStoredNumber(QStringView text, double *value)
{
    return anyNumber(text, value);
}

bool parseNumber(QStringView text, double *value)
{
    const QStringView t = text.trimmed();
    if (t.isEmpty() || t.size() > 64)
        return false;
    qsizetype i = 0;
    if (t[0] == QLatin1Char('+') || t[0] == QLatin1Char('-'))
        ++i;
    int digits = 0;
    int points = 0;
    for (qsizetype k = i; k < t.size(); ++k) {
        const char16_t u = t[k].unicode();
        if (u >= '0' && u <= '9')
            ++digits;
        else if (u == '.')
            ++points;
        else
            return false;
    }
    if (digits == 0 || points > 1)
        return false;
    return anyNumber(t, value);
}

namespace {

bool hasSign(QStringView t)
{
    return t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'));
}

Refusal numberRefusal(QStringView t)
{
    double v = 0;
    if (anyNumber(t, &v))
        return Refusal::Exponent;
    QString comma = t.toString();
    comma.replace(QLatin1Char(','), QLatin1Char('.'));
    if (t.contains(QLatin1Char(',')) && parseNumber(comma, &v))
        return Refusal::DecimalComma;
    return Refusal::NotNumber;
}

} // namespace

Refusal convert(const QString &text, Kind kind, qsizetype width, QVariant *value, QString *why)
{
    const QStringView t = kind == Kind::Text ? QStringView() : QStringView(text).trimmed();
    auto refuse = [&](Refusal r, const QString &text) {
        *why = text;
        return r;
    };
    switch (kind) {
    case Kind::Text:
        if (width > 0 && text.size() > width)
            return refuse(Refusal::TooLong, QStringLiteral("%1 characters where the column takes at most %2.")
                                                .arg(text.size())
                                                .arg(width));
        *value = text;
        return Refusal::None;
    case Kind::Total:
        if (t.isEmpty()) {
            *value = QVariant();
            return Refusal::None;
        }
        Q_FALLTHROUGH();
    case Kind::Number:
    case Kind::Weight:
    case Kind::Count: {
        double v = 0;
        if (!t.isEmpty() && !parseNumber(t, &v)) {
            switch (numberRefusal(t)) {
            case Refusal::Exponent:
                return refuse(Refusal::Exponent,
                              QStringLiteral("\"%1\" is written with an exponent, not as a plain decimal number.").arg(text));
            case Refusal::DecimalComma:
                return refuse(Refusal::DecimalComma,
                              QStringLiteral("\"%1\" has a decimal comma; the file writes numbers with a point.").arg(text));
            default:
                return refuse(Refusal::NotNumber, QStringLiteral("\"%1\" is not a number.").arg(text));
            }
        }
        const bool whole = kind == Kind::Count || kind == Kind::Total;
        if (whole && (std::trunc(v) != v || std::fabs(v) > 2147483647.0))
            return refuse(Refusal::NotWhole, QStringLiteral("\"%1\" is not a whole number.").arg(text));
        if (kind != Kind::Number && hasSign(t))
            return refuse(Refusal::Signed, v < 0 ? QStringLiteral("\"%1\" is below 0.").arg(text)
                                                 : QStringLiteral("\"%1\" carries a sign; the number is written without one.")
                                                       .arg(text));
        if (whole)
            *value = qint64(v);
        else
            *value = v + 0.0; // no negative zero
        return Refusal::None;
    }
    case Kind::OptionalDate:
        if (t.isEmpty()) {
            *value = QVariant();
            return Refusal::None;
        }
        Q_FALLTHROUGH();
    case Kind::Date: {
        const QDate d = parseDate(text);
        if (!d.isValid())
            return refuse(Refusal::NotDate, QStringLiteral("\"%1\" is not a date DDMMYYYY.").arg(text));
        *value = d;
        return Refusal::None;
    }
    }
    return Refusal::NotNumber;
}

QString refusalCode(Refusal r)
{
    return r == Refusal::TooLong ? QStringLiteral("22001") : QString::number(ErrorNumber::TypeMismatch);
}

QString code(const QVariant &value)
{
    return value.toString().trimmed().toUpper();
}

QString voyageKey(const QString &text)
{
    return text.trimmed();
}

double numericValue(const QVariant &value)
{
    if (value.isNull())
        return 0;
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort: {
        const double v = value.toDouble();
        return std::isfinite(v) ? v : 0;
    }
    default: {
        double v = 0;
        return anyNumber(value.toString(), &v) ? v : 0;
    }
    }
}

namespace {
// Windows-1252 0x80..0x9F; the five unassigned bytes keep their C1 code.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
} // namespace

QString decodeLine(const QByteArray &line)
{
    bool ascii = true;
    for (const char c : line) {
        if (uchar(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString::fromLatin1(line);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(line);
    if (!utf8.hasError())
        return text;
    text.resize(line.size());
    QChar *out = text.data();
    for (qsizetype i = 0; i < line.size(); ++i) {
        const uchar b = uchar(line.at(i));
        out[i] = (b >= 0x80 && b < 0xA0) ? QChar(Cp1252High[b - 0x80]) : QChar(b);
    }
    return text;
}

bool splitFields(const QString &line, QStringList *fields)
{
    fields->clear();
    fields->reserve(48);
    qsizetype start = 0;
    const QChar sep = QLatin1Char(FieldSeparator);
    for (;;) {
        const qsizetype at = line.indexOf(sep, start);
        if (at < 0)
            break;
        if (fields->size() == MaxFields)
            return false;
        fields->append(line.mid(start, at - start));
        start = at + 1;
    }
    if (start < line.size()) {
        if (fields->size() == MaxFields)
            return false;
        fields->append(line.mid(start));
    }
    return true;
}

QDate parseDate(QStringView text)
{
    if (text.size() != 8)
        return {};
    int v[8];
    for (int i = 0; i < 8; ++i) {
        const char16_t u = text[i].unicode();
        if (u < '0' || u > '9')
            return {};
        v[i] = u - '0';
    }
    const int day = v[0] * 10 + v[1];
    const int month = v[2] * 10 + v[3];
    const int year = v[4] * 1000 + v[5] * 100 + v[6] * 10 + v[7];
    return QDate(year, month, day); // invalid for 31022009 and the like
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

} // namespace quarl::igm::Format
