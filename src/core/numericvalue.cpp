#include "core/numericvalue.h"

#include <cmath>
#include <limits>

namespace quarl {

double numericValue(const QString &text)
{
    int i = 0;
    const int n = int(text.size());
    while (i < n && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    double value = 0;
    bool seenDigit = false;
    while (i < n && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9')) {
        value = value * 10 + (text.at(i).unicode() - '0');
        seenDigit = true;
        ++i;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        double scale = 0.1;
        while (i < n && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9')) {
            value += (text.at(i).unicode() - '0') * scale;
            scale /= 10;
            seenDigit = true;
            ++i;
        }
    }
    if (!seenDigit)
        return 0;
    return negative ? -value : value;
}

int wholeNumberValue(const QString &text)
{
    const double v = std::trunc(numericValue(text));
    if (v >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(v);
}

} // namespace quarl
