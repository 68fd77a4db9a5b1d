#pragma once

#include "core/failure.h"
#include "store/columndef.h"

#include <QList>
#include <QString>

// Changes to the tables of a database that the two engines make differently: SQLite
// rebuilds a table where PostgreSQL alters it.
namespace quarl {

class Database;

// Drops a named table constraint. SQLite cannot, so it rebuilds the table without the
// constraint under a savepoint, keeping every row, the column order, the other indexes
// and triggers. A constraint that is not there fails with the engine's error.
Status dropConstraint(const Database &db, const QString &table, const QString &constraint);
// Whether the table has a named table constraint (names match without regard to case).
Result<bool> hasConstraint(const Database &db, const QString &table, const QString &constraint);
// Whether the table has a unique index of that name over exactly these columns, in order.
Result<bool> hasUniqueIndex(const Database &db, const QString &table, const QString &index, const QStringList &columns);
// The declared size of a text column (varchar(n), char(n)); 0 when none is declared.
Result<int> declaredTextSize(const Database &db, const QString &table, const QString &column);
// Gives a column the type of column (a wider text, say); SQLite rebuilds the table.
Status changeColumnType(const Database &db, const QString &table, const ColumnDef &column);

// Makes the table's text columns refuse values longer than their sizes where they do not
// yet: SQLite rebuilds the table with checks (rows already too long are kept as they
// are), PostgreSQL adds a check that leaves existing rows alone to a column declared
// without a width or wider. changed tells whether anything was added.
Status enforceWidths(const Database &db, const QString &table, const QList<ColumnDef> &columns,
                     bool *changed);

} // namespace quarl
