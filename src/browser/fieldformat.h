#pragma once

#include "core/failure.h"
#include "store/schema.h"

#include <QString>
#include <QVariant>

namespace quarl {

class Dialect;

// How a column's value shows in a text field and how typed text becomes a value again.
namespace FieldFormat {

inline constexpr char DateFormat[] = "dd/MM/yyyy";

// The text shown for a value: null as empty text, dates as dd/MM/yyyy, numbers without
// needless decimals, fixed-width text without the blanks that pad it.
QString text(const ColumnDef &column, const QVariant &value, const Dialect &dialect);

// The value to store for typed text; empty text stores null. Refuses text that is no
// number or date, and numbers too large for their column ("Overflow").
Result<QVariant> value(const ColumnDef &column, const QString &text, const Dialect &dialect);

// The most characters a field takes: the column's defined size, two more for a date
// (so that dd/MM/yyyy fits); 0 for no limit.
int maxLength(const ColumnDef &column);

// 32-bit integer and double columns take digits and "." only.
bool isDigitsOnly(const ColumnDef &column);
bool isDigitsChar(QChar c);

} // namespace FieldFormat
} // namespace quarl
