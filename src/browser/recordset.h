#pragma once

#include "browser/rowstore.h"
#include "core/failure.h"
#include "store/database.h"
#include "store/schema.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariantList>

#include <functional>
#include <optional>

namespace quarl {

// What a record browser shows: the rows of one table, optionally filtered, in a given
// order. Every column of the table is read.
struct RecordSource
{
    QString table;
    QString where;      // a condition with ? placeholders, or empty
    QVariantList binds; // values for the placeholders of where
    QString orderBy;    // column list; empty for the table's stored order
    bool readWhole = false; // every row read at open, as for a table without a key
    // Columns that name a row of a table without a primary key, to find it again on
    // PostgreSQL, where the row locator moves with every update (loguser: uid).
    QStringList identity = {};
    // The columns whose change by another workstation refuses a stale write or delete;
    // empty for every column. Columns other programs keep up to date (line numbers) and a
    // screen never shows are better left out.
    QStringList compared = {};
};

// The primary record set of a record browser screen: the rows of its record source in
// their order, a current row, and one pending row (a new one or the current one being
// edited) that update() writes.
// Opening reads only the key of every row, in order; the rows themselves are read a page
// at a time when they are first shown, and a bounded number of them is kept. So a screen
// over every bill of lading ever entered opens at once and holds little. The key is the
// row locator on SQLite and the table's one-column primary key on PostgreSQL; a table
// without one is read whole as before.
// Rows are written back through a hidden row locator, so tables without a key work too.
class RecordSet
{
public:
    enum class EditMode { None, Add, Edit };

    Status open(const Database &db, const RecordSource &source);
    // Reads the record source again; the first row becomes current, or with keepCurrent the
    // row that was current, found by its key (the row after it when it is gone). A pending
    // row is dropped.
    Status requery(bool keepCurrent = false);
    void close();
    bool isOpen() const { return m_open; }
    // Opens the connection again after the server dropped it; the rows held stay.
    Status reconnect();
    const Database &database() const { return m_db; }
    const RecordSource &source() const { return m_source; }

    int columnCount() const { return int(m_columns.size()); }
    QString columnName(int column) const;
    int columnIndex(const QString &name) const; // without regard to case; -1 when absent
    // Type and defined size from the schema; a text column without size when unknown.
    const ColumnDef &columnDef(int column) const;

    int count() const { return int(m_slots.size()); }
    bool isEmpty() const { return m_slots.isEmpty(); }
    int position() const { return m_position; } // 0-based; -1 when there is no row
    bool hasCurrent() const { return m_position >= 0; }
    // Moves within the rows; out-of-range positions are clamped. No move while a row is pending.
    void moveTo(int row);
    void moveFirst() { moveTo(0); }
    void moveLast() { moveTo(count() - 1); }

    // The current row's value, the pending value while a row is added or edited.
    QVariant value(int column) const;
    QVariant value(const QString &column) const;
    QVariant storedValue(int row, int column) const;

    EditMode editMode() const { return m_mode; }
    bool isPending() const { return m_mode != EditMode::None; }
    // Starts a new, empty row; it is written by update() and then becomes the last row.
    void addNew();
    // Starts editing the current row from the row as the database holds it now, read
    // again; fails with ErrorNumber::RowGone when another workstation deleted it.
    Status edit();
    // The current row's value as edit() read it.
    QVariant originalValue(int column) const;
    void setValue(int column, const QVariant &value);
    bool isModified(int column) const { return m_modified.contains(column); }
    // Drops the pending row; the current row stays as it was.
    void cancelUpdate();
    // Writes the pending row in one transaction: only the columns that were set. An edited
    // row is written only while it is still as edit() read it; otherwise the write fails
    // with ErrorNumber::RowChanged, or RowGone when it was deleted. On failure the pending
    // row and its values stay, so that they can be corrected.
    Status update();
    // After RowChanged: the pending row starts again from the row as it is stored now.
    Status reloadPending();
    // Reads the current row again as it is stored now. A row another workstation deleted
    // leaves the set and the row after it (or the new last one) becomes current; gone says so.
    Status refreshCurrent(bool *gone = nullptr);
    // Deletes the current row from the database and from the set; the row after it, or
    // the new last row, becomes current. Only a row still as it was read is deleted:
    // otherwise RowChanged, and the current row then holds what is stored now, or RowGone,
    // and the row has left the set. before runs in the delete's transaction once the row is
    // locked (the rows that belong to it go first); its failure stops the delete.
    Status deleteCurrent(const std::function<Status()> &before = {});
    // A row written by other means, found by the value of a key column: an added row
    // becomes the last row and current, otherwise it replaces the current row. A pending
    // row is dropped.
    Status adoptRow(const QString &keyColumn, const QVariant &key, bool added);

    // The first row from `from` on whose column starts with text, compared without
    // regard to case and literally (quotes, %, _ and * are ordinary characters); -1 if none.
    // Rows read by key are matched by the database, as they are stored now.
    int findPrefix(int column, const QString &text, int from = 0) const;

    // The rows read and kept so far (all of them for a table read whole).
    const RowStore &rows() const { return m_rows; }
    // Whether rows are read by key as they are needed.
    bool readsByKey() const { return m_lazy; }

private:
    struct Column
    {
        QString name;
        ColumnDef def;
    };

    QString selectSql() const;
    QString whereSql(const QString &extra) const;
    QString keySql() const;
    QString guard(QVariantList *binds, const QVariantList &stored) const;
    // The row at a position as the database holds it now, locked for the transaction with
    // lock; no value when it is gone.
    Result<std::optional<QVariantList>> readStored(int row, bool lock) const;
    bool sameIdentity(const QVariantList &a, const QVariantList &b) const;
    bool sameContent(const QVariantList &a, const QVariantList &b) const;
    void replaceRow(int row, const QVariantList &stored);
    void dropRow(int row);
    Status readRows();
    Status readColumns();
    Status readKeys();
    // The row at a position in the kept rows, read with its page first when needed; -1
    // when it cannot be read.
    int slot(int row) const;
    void readPage(int row) const;
    QVariant keyOf(const QVariantList &stored) const;
    // The position of a key, -1 when no row of the set has it.
    int positionOfKey(const QVariant &key) const;
    void changed();
    Failure noCurrentRecord() const;

    Database m_db;
    RecordSource m_source;
    bool m_open = false;
    QList<Column> m_columns; // without the locator, which is column 0 of m_rows
    QList<int> m_keyColumns; // primary-key columns, checked on writes as well
    bool m_lazy = false;
    int m_keyColumn = -1;           // the column read as key on PostgreSQL; -1: the locator
    mutable RowStore m_rows;        // the rows kept, locator first
    mutable QList<int> m_slots;     // per position: the row in m_rows, -1 until read
    QVariantList m_keys;            // per position, when rows are read by key
    mutable QHash<qint64, int> m_numberPos; // key -> position, built for searches
    mutable QHash<QString, int> m_textPos;  // the same for keys that are no whole numbers
    mutable bool m_keyPosValid = false;
    struct Found
    {
        int column = -1;
        QString text;
        quint64 generation = 0;
        QList<int> rows;
    };
    mutable Found m_found; // the matches of the last search, for "Search Next"
    quint64 m_generation = 1;
    int m_position = -1;
    EditMode m_mode = EditMode::None;
    QVariantList m_pending; // the pending row, locator first
    QVariantList m_original; // the edited row as edit() read it
    QSet<int> m_modified;
};

} // namespace quarl
