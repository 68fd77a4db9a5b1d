#pragma once

#include <QString>

namespace quarl {

// The number a text starts with, the way settings and typed fields have always been
// read: leading blanks skipped, an optional sign, digits with an optional fraction;
// reading stops at the first other character. "12abc" gives 12, "abc" or "" give 0.
double numericValue(const QString &text);

// The same, cut to a whole number (toward zero).
int wholeNumberValue(const QString &text);

} // namespace quarl
