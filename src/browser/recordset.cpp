#include "browser/recordset.h"

#include <QSqlError>
#include <QSqlRecord>

#include <algorithm>

namespace quarl {

namespace {
const ColumnDef UnknownColumn{"", ColumnType::Text, 0};
} // namespace

Status RecordSet::open(const Database &db, const RecordSource &source)
{
    close();
    if (!db.isValid())
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("No database connection is open."));
    m_db = db;
    m_source = source;
    if (Status s = readRows(); !s) {
        close();
        return s;
    }
    m_open = true;
    return Status::ok();
}

Status RecordSet::requery()
{
    if (!m_db.isValid())
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("The record set is not open."));
    cancelUpdate();
    return readRows();
}

void RecordSet::close()
{
    m_open = false;
    m_columns.clear();
    m_keyColumns.clear();
    m_rows.reset(0);
    m_position = -1;
    m_mode = EditMode::None;
    m_pending.clear();
    m_modified.clear();
    m_db = Database();
}

Status RecordSet::reconnect()
{
    if (!m_db.isValid())
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("No database connection is open."));
    QSqlDatabase handle = m_db.handle();
    handle.close();
    if (!handle.open())
        return Database::failureOf(handle.lastError());
    return Status::ok();
}

QString RecordSet::selectSql() const
{
    const Dialect &d = m_db.dialect();
    QString sql = QStringLiteral("select %1, * from %2").arg(d.rowLocator(), m_source.table);
    if (!m_source.where.isEmpty())
        sql += QStringLiteral(" where ") + m_source.where;
    sql += QStringLiteral(" order by ") + (m_source.orderBy.isEmpty() ? d.rowLocator() : m_source.orderBy);
    return sql;
}

Status RecordSet::readRows()
{
    auto q = m_db.query(selectSql(), m_source.binds);
    if (!q)
        return q.failure();
    const QSqlRecord rec = q->record();
    const TableDef *table = Schema::table(m_source.table);
    QList<Column> columns;
    QList<int> keys;
    for (int i = 1; i < rec.count(); ++i) {
        const QString name = rec.fieldName(i);
        const ColumnDef *def = table ? table->column(name) : nullptr;
        columns.append({name, def ? *def : UnknownColumn});
        if (def && def->primaryKey)
            keys.append(i - 1);
    }
    RowStore rows(int(rec.count()));
    while (q->next())
        rows.appendFrom(*q);
    if (q->lastError().isValid())
        return Database::failureOf(q->lastError());
    m_columns = columns;
    m_keyColumns = keys;
    m_rows = std::move(rows);
    m_position = m_rows.isEmpty() ? -1 : 0;
    m_mode = EditMode::None;
    m_pending.clear();
    m_modified.clear();
    return Status::ok();
}

QString RecordSet::columnName(int column) const
{
    return column >= 0 && column < m_columns.size() ? m_columns.at(column).name : QString();
}

int RecordSet::columnIndex(const QString &name) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const ColumnDef &RecordSet::columnDef(int column) const
{
    return column >= 0 && column < m_columns.size() ? m_columns.at(column).def : UnknownColumn;
}

void RecordSet::moveTo(int row)
{
    if (isPending())
        return;
    m_position = m_rows.isEmpty() ? -1 : std::clamp(row, 0, count() - 1);
}

QVariant RecordSet::value(int column) const
{
    if (column < 0 || column >= columnCount())
        return QVariant();
    if (isPending())
        return m_pending.value(column + 1);
    return hasCurrent() ? m_rows.value(m_position, column + 1) : QVariant();
}

QVariant RecordSet::value(const QString &column) const
{
    return value(columnIndex(column));
}

QVariant RecordSet::storedValue(int row, int column) const
{
    if (row < 0 || row >= count() || column < 0 || column >= columnCount())
        return QVariant();
    return m_rows.value(row, column + 1);
}

Failure RecordSet::noCurrentRecord() const
{
    return Failure(ErrorNumber::DatabaseError, QStringLiteral("No current record."));
}

void RecordSet::addNew()
{
    m_mode = EditMode::Add;
    m_pending = QVariantList(columnCount() + 1);
    m_modified.clear();
}

Status RecordSet::edit()
{
    if (!hasCurrent())
        return noCurrentRecord();
    m_mode = EditMode::Edit;
    m_pending = m_rows.row(m_position);
    m_modified.clear();
    return Status::ok();
}

void RecordSet::setValue(int column, const QVariant &value)
{
    if (!isPending() || column < 0 || column >= columnCount())
        return;
    m_pending[column + 1] = value;
    m_modified.insert(column);
}

void RecordSet::cancelUpdate()
{
    m_mode = EditMode::None;
    m_pending.clear();
    m_modified.clear();
}

QString RecordSet::guard(QVariantList *binds, int row) const
{
    const Dialect &d = m_db.dialect();
    QString where = d.rowLocatorMatch();
    binds->append(m_rows.value(row, 0));
    // A key that no longer matches means the locator points at another row now.
    for (int k : m_keyColumns) {
        where += QStringLiteral(" and ") + d.nullSafeEquals(m_columns.at(k).name);
        binds->append(m_rows.value(row, k + 1));
    }
    return where;
}

Status RecordSet::update()
{
    if (!isPending())
        return Status::ok();
    QList<int> changed(m_modified.begin(), m_modified.end());
    std::sort(changed.begin(), changed.end());
    QStringList names;
    QVariantList binds;
    for (int c : changed) {
        if (m_columns.at(c).def.type == ColumnType::AutoId)
            continue;
        names << m_columns.at(c).name;
        binds << m_pending.at(c + 1);
    }
    const Dialect &d = m_db.dialect();
    const QString returning = QStringLiteral(" returning %1, *").arg(d.rowLocator());
    QString sql;
    if (m_mode == EditMode::Add) {
        if (names.isEmpty()) {
            sql = QStringLiteral("insert into %1 default values").arg(m_source.table);
        } else {
            const QStringList marks(names.size(), QStringLiteral("?"));
            sql = QStringLiteral("insert into %1 (%2) values (%3)")
                      .arg(m_source.table, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
        }
    } else {
        if (!hasCurrent())
            return noCurrentRecord();
        if (names.isEmpty()) {
            cancelUpdate();
            return Status::ok();
        }
        QStringList sets;
        for (const QString &n : names)
            sets << n + QStringLiteral(" = ?");
        sql = QStringLiteral("update %1 set %2 where ").arg(m_source.table, sets.join(QStringLiteral(", ")));
        sql += guard(&binds, m_position);
    }
    sql += returning;

    // One statement: it is written whole or not at all, and gives back the row as stored.
    QVariantList written;
    {
        auto q = m_db.query(sql, binds);
        if (!q)
            return q.failure();
        if (!q->next())
            return Failure(ErrorNumber::DatabaseError,
                           QStringLiteral("The record has been changed or deleted by another user. "
                                          "Refresh shows the records as they are now."));
        const int n = q->record().count();
        written.reserve(n);
        for (int i = 0; i < n; ++i)
            written << q->value(i);
    }
    if (m_mode == EditMode::Add) {
        m_rows.append(written);
        m_position = count() - 1;
    } else {
        m_rows.replace(m_position, written);
    }
    cancelUpdate();
    return Status::ok();
}

Status RecordSet::deleteCurrent()
{
    if (isPending() || !hasCurrent())
        return noCurrentRecord();
    QVariantList binds;
    const QString sql = QStringLiteral("delete from %1 where ").arg(m_source.table) + guard(&binds, m_position);
    auto q = m_db.query(sql, binds);
    if (!q)
        return q.failure();
    if (q->numRowsAffected() == 0)
        return Failure(ErrorNumber::DatabaseError,
                       QStringLiteral("The record has been changed or deleted by another user. "
                                      "Refresh shows the records as they are now."));
    m_rows.remove(m_position);
    if (m_position >= count())
        m_position = count() - 1;
    return Status::ok();
}

int RecordSet::findPrefix(int column, const QString &text, int from) const
{
    if (column < 0 || column >= columnCount())
        return -1;
    for (int r = std::max(from, 0); r < count(); ++r) {
        if (m_rows.value(r, column + 1).toString().startsWith(text, Qt::CaseInsensitive))
            return r;
    }
    return -1;
}

} // namespace quarl
