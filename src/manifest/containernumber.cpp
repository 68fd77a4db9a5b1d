#include "manifest/containernumber.h"

namespace quarl::igm {

namespace {

// A=10, B=12 ... Z=38: the values run on from 10 and skip every multiple of 11.
int letterValue(char16_t c)
{
    int v = 10;
    for (char16_t l = u'A'; l < c; ++l) {
        ++v;
        if (v % 11 == 0)
            ++v;
    }
    return v;
}

bool isUpperLetter(QChar c)
{
    return c >= QLatin1Char('A') && c <= QLatin1Char('Z');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

int iso6346CheckDigit(QStringView ownerSerial)
{
    if (ownerSerial.size() < 10)
        return -1;
    int sum = 0;
    for (int i = 0; i < 10; ++i) {
        const QChar c = ownerSerial.at(i);
        int v;
        if (isDigit(c))
            v = c.unicode() - u'0';
        else if (isUpperLetter(c))
            v = letterValue(c.unicode());
        else
            return -1;
        sum += v << i;
    }
    return (sum % 11) % 10;
}

bool hasValidCheckDigit(QStringView n)
{
    if (n.size() != 11)
        return false;
    for (int i = 0; i < 4; ++i) {
        if (!isUpperLetter(n.at(i)))
            return false;
    }
    for (int i = 4; i < 11; ++i) {
        if (!isDigit(n.at(i)))
            return false;
    }
    return iso6346CheckDigit(n) == n.at(10).unicode() - u'0';
}

QString containerNumberFinding(QStringView n)
{
    if (n.isEmpty())
        return QStringLiteral("No container number.");
    bool shape = n.size() == 11;
    for (int i = 0; shape && i < 11; ++i)
        shape = i < 4 ? isUpperLetter(n.at(i)) : isDigit(n.at(i));
    if (!shape)
        return QStringLiteral("Container number %1 is not four capital letters and seven digits.").arg(n);
    const int expected = iso6346CheckDigit(n);
    if (expected != n.at(10).unicode() - u'0')
        return QStringLiteral("Container number %1: check digit should be %2, not %3.")
            .arg(n)
            .arg(expected)
            .arg(n.at(10));
    return {};
}

} // namespace quarl::igm
