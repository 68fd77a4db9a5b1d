#pragma once

#include "store/dialect.h"

#include <QList>
#include <QString>

// What today's sea arrival manifest (the gateway's SAM message, SACHM23) asks for that the
// flat file never did, and where Quarl keeps it: one row per message key. The keys, widths
// and defaults come from public material of uneven weight; each row says how well its
// facts are backed, so that the gateway's own guide, once at hand, corrects them here:
//   [O]  the gateway's official guide, schema or sample (of the sister message SACHM22)
//   [P2] two independent filing programs agree
//   [P1] one filing program only
//   [I]  our own inference
// The schema takes the columns it adds (Origin::Added) from here, with these widths.
namespace quarl::Filing {

enum class Origin {
    Added,    // a column of release 2.2.0
    Existing, // a column older releases keep; the row records a choice made about it
    Fixed,    // no column: the message always carries the fixed value
};

struct Field
{
    const char *key;    // the message's key, as object.key
    const char *table;  // our table (nullptr for a fixed value)
    const char *column; // our column (nullptr for a fixed value)
    Origin origin;
    ColumnType type;    // of the column
    int width;          // characters of a text, digits of a number; 0: no limit of its own
    // Filed when the column is empty: a value, "=table.column" for the value of another
    // column, or nullptr for none (the key is left out). For a fixed row, the value itself.
    const char *fallback;
    const char *tag;    // [O], [P2], [P1] or [I], for key, width and fallback
};

const QList<Field> &fields();
// The row of a message key; nullptr when there is none.
const Field *byKey(const QString &key);
// The row of one of our columns (without regard to case); nullptr when there is none.
const Field *byColumn(const QString &table, const QString &column);
// The columns release 2.2.0 adds to a table, in table order.
QList<const Field *> addedColumns(const QString &table);

// Tables release 2.2.0 adds: the goods items of a line, the company's filing details and
// the code masters of the new lists.
inline constexpr char ItemTable[] = "cargoitem";
inline constexpr char CompanyTable[] = "compinfo";
QStringList addedTables();

} // namespace quarl::Filing
