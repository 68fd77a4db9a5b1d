#include "browser/recordset.h"

#include <QSqlError>
#include <QSqlRecord>

#include <algorithm>

namespace quarl {

namespace {
const ColumnDef UnknownColumn{"", ColumnType::Text, 0};

// Rows read around the one asked for, and the most rows kept before the kept ones are
// dropped and read again as needed.
constexpr int PageRows = 64;
constexpr int MaxKeptRows = 4096;

QString keyText(const QVariant &v)
{
    return v.toString();
}

bool isWholeNumber(const QVariant &v)
{
    return Database::isWholeNumber(v);
}
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

Status RecordSet::requery(bool keepCurrent)
{
    if (!m_db.isValid())
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("The record set is not open."));
    const int was = m_position;
    QVariantList shown;
    if (keepCurrent && hasCurrent()) {
        if (const int at = slot(was); at >= 0)
            shown = m_rows.row(at);
    }
    cancelUpdate();
    if (Status s = readRows(); !s)
        return s;
    if (shown.isEmpty() || isEmpty())
        return Status::ok();
    int found = -1;
    if (m_lazy) {
        found = positionOfKey(keyOf(shown));
    } else {
        const bool byLocator = !m_db.dialect().isPostgres() || (m_keyColumns.isEmpty() && m_source.identity.isEmpty());
        for (int r = 0; r < count() && found < 0; ++r) {
            const QVariantList row = m_rows.row(m_slots.at(r));
            if (byLocator ? Database::sameValue(row.value(0), shown.value(0)) && sameIdentity(row, shown)
                          : sameIdentity(row, shown))
                found = r;
        }
    }
    m_position = found >= 0 ? found : std::clamp(was, 0, count() - 1);
    return Status::ok();
}

void RecordSet::close()
{
    m_open = false;
    m_columns.clear();
    m_keyColumns.clear();
    m_lazy = false;
    m_keyColumn = -1;
    m_rows.reset(0);
    m_slots.clear();
    m_keys.clear();
    m_numberPos.clear();
    m_textPos.clear();
    m_keyPosValid = false;
    m_found = Found();
    ++m_generation;
    m_position = -1;
    m_mode = EditMode::None;
    m_pending.clear();
    m_original.clear();
    m_modified.clear();
    m_db = Database();
}

Status RecordSet::reconnect()
{
    if (!m_db.isValid())
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("No database connection is open."));
    return m_db.reconnect();
}

QString RecordSet::whereSql(const QString &extra) const
{
    QStringList parts;
    if (!m_source.where.isEmpty())
        parts << QLatin1Char('(') + m_source.where + QLatin1Char(')');
    if (!extra.isEmpty())
        parts << extra;
    return parts.isEmpty() ? QString() : QStringLiteral(" where ") + parts.join(QStringLiteral(" and "));
}

QString RecordSet::selectSql() const
{
    const Dialect &d = m_db.dialect();
    QString sql = QStringLiteral("select %1, * from %2").arg(d.rowLocator(), m_source.table);
    sql += whereSql(QString());
    sql += QStringLiteral(" order by ") + (m_source.orderBy.isEmpty() ? d.rowLocator() : m_source.orderBy);
    return sql;
}

QString RecordSet::keySql() const
{
    return m_keyColumn < 0 ? m_db.dialect().rowLocator() : m_columns.at(m_keyColumn).name;
}

Status RecordSet::readColumns()
{
    auto q = m_db.query(QStringLiteral("select %1, * from %2 where 1 = 0").arg(m_db.dialect().rowLocator(), m_source.table));
    if (!q)
        return q.failure();
    const QSqlRecord rec = q->record();
    const TableDef *table = Schema::table(m_source.table);
    m_columns.clear();
    m_keyColumns.clear();
    for (int i = 1; i < rec.count(); ++i) {
        const QString name = rec.fieldName(i);
        const ColumnDef *def = table ? table->column(name) : nullptr;
        m_columns.append({name, def ? *def : UnknownColumn});
        if (def && def->primaryKey)
            m_keyColumns.append(i - 1);
    }
    // SQLite's row locator is unique and stays with the row; PostgreSQL's moves with every
    // update, so there the row is found again by its primary key.
    m_keyColumn = -1;
    m_lazy = !m_db.dialect().isPostgres() && !m_source.readWhole;
    if (!m_lazy && !m_source.readWhole && m_keyColumns.size() == 1) {
        m_keyColumn = m_keyColumns.first();
        m_lazy = true;
    }
    return Status::ok();
}

Status RecordSet::readKeys()
{
    const QString key = keySql();
    QString sql = QStringLiteral("select %1 from %2").arg(key, m_source.table) + whereSql(QString());
    // ties of the order keep one order from one reading to the next
    sql += QStringLiteral(" order by ")
           + (m_source.orderBy.isEmpty() ? m_db.dialect().rowLocator() : m_source.orderBy + QStringLiteral(", ") + key);
    auto q = m_db.query(sql, m_source.binds);
    if (!q)
        return q.failure();
    QVariantList keys;
    while (q->next())
        keys.append(q->value(0));
    if (q->lastError().isValid())
        return Database::failureOf(q->lastError());
    m_keys = std::move(keys);
    m_slots = QList<int>(m_keys.size(), -1);
    m_rows.reset(columnCount() + 1);
    m_keyPosValid = false;
    if (m_keyColumn >= 0) {
        // a key that is missing or not unique cannot find its row again: read the table whole
        positionOfKey(QVariant());
        if (m_numberPos.size() + m_textPos.size() != m_keys.size()
            || std::any_of(m_keys.cbegin(), m_keys.cend(), [](const QVariant &v) { return v.isNull(); })) {
            m_lazy = false;
            m_keys.clear();
        }
        m_keyPosValid = false;
    }
    return Status::ok();
}

Status RecordSet::readRows()
{
    if (Status s = readColumns(); !s)
        return s;
    if (m_lazy) {
        if (Status s = readKeys(); !s)
            return s;
    }
    if (!m_lazy) {
        auto q = m_db.query(selectSql(), m_source.binds);
        if (!q)
            return q.failure();
        RowStore rows(columnCount() + 1);
        QList<int> slots;
        while (q->next()) {
            slots.append(rows.size());
            rows.appendFrom(*q);
        }
        if (q->lastError().isValid())
            return Database::failureOf(q->lastError());
        m_rows = std::move(rows);
        m_slots = std::move(slots);
        m_keys.clear();
    }
    changed();
    m_position = m_slots.isEmpty() ? -1 : 0;
    m_mode = EditMode::None;
    m_pending.clear();
    m_modified.clear();
    return Status::ok();
}

void RecordSet::changed()
{
    ++m_generation;
    m_keyPosValid = false;
}

int RecordSet::positionOfKey(const QVariant &key) const
{
    if (!m_keyPosValid) {
        m_numberPos.clear();
        m_textPos.clear();
        for (int i = 0; i < m_keys.size(); ++i) {
            const QVariant &k = m_keys.at(i);
            if (isWholeNumber(k))
                m_numberPos.insert(k.toLongLong(), i);
            else
                m_textPos.insert(keyText(k), i);
        }
        m_keyPosValid = true;
    }
    if (key.isNull())
        return -1;
    return isWholeNumber(key) ? m_numberPos.value(key.toLongLong(), -1) : m_textPos.value(keyText(key), -1);
}

QVariant RecordSet::keyOf(const QVariantList &stored) const
{
    return stored.value(m_keyColumn < 0 ? 0 : m_keyColumn + 1);
}

void RecordSet::readPage(int row) const
{
    if (m_rows.size() + PageRows > MaxKeptRows) {
        m_rows.clear();
        std::fill(m_slots.begin(), m_slots.end(), -1);
    }
    // the rows around the one asked for, most of them in the direction of travel
    const int first = std::max(0, row - PageRows / 2);
    const int last = std::min(count() - 1, first + PageRows - 1);
    QHash<QString, int> wanted;
    QVariantList binds;
    for (int r = first; r <= last; ++r) {
        if (m_slots.at(r) < 0) {
            wanted.insert(keyText(m_keys.at(r)), r);
            binds << m_keys.at(r);
        }
    }
    const Dialect &d = m_db.dialect();
    const QString mark = d.isPostgres() && m_keyColumn < 0 ? QStringLiteral("cast(? as tid)") : QStringLiteral("?");
    const QStringList marks(binds.size(), mark);
    const QString sql = QStringLiteral("select %1, * from %2 where %3 in (%4)")
                            .arg(d.rowLocator(), m_source.table, keySql(), marks.join(QStringLiteral(", ")));
    auto q = m_db.query(sql, binds);
    if (!q)
        return; // shown empty; the next move reads it again
    const int keyAt = m_keyColumn < 0 ? 0 : m_keyColumn + 1;
    while (q->next()) {
        const auto it = wanted.constFind(keyText(q->value(keyAt)));
        if (it == wanted.constEnd() || m_slots.at(*it) >= 0)
            continue;
        m_slots[*it] = m_rows.size();
        m_rows.appendFrom(*q);
    }
    // A row deleted by another user since the keys were read: it shows empty, and a write
    // to it fails as a row changed by another user does.
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        if (m_slots.at(*it) < 0) {
            QVariantList gone(columnCount() + 1);
            if (m_keyColumn >= 0)
                gone[keyAt] = m_keys.at(*it);
            m_slots[*it] = m_rows.size();
            m_rows.append(gone);
        }
    }
}

int RecordSet::slot(int row) const
{
    if (row < 0 || row >= count())
        return -1;
    if (m_slots.at(row) < 0 && m_lazy)
        readPage(row);
    return m_slots.at(row);
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
    m_position = m_slots.isEmpty() ? -1 : std::clamp(row, 0, count() - 1);
}

QVariant RecordSet::value(int column) const
{
    if (column < 0 || column >= columnCount())
        return QVariant();
    if (isPending())
        return m_pending.value(column + 1);
    return storedValue(m_position, column);
}

QVariant RecordSet::value(const QString &column) const
{
    return value(columnIndex(column));
}

QVariant RecordSet::storedValue(int row, int column) const
{
    if (row < 0 || row >= count() || column < 0 || column >= columnCount())
        return QVariant();
    const int at = slot(row);
    return at < 0 ? QVariant() : m_rows.value(at, column + 1);
}

Failure RecordSet::noCurrentRecord() const
{
    return Failure(ErrorNumber::DatabaseError, QStringLiteral("No current record."));
}

namespace {
Failure rowChanged()
{
    return Failure(ErrorNumber::RowChanged,
                   QStringLiteral("Another workstation changed this record after it was read here."));
}

Failure rowGone()
{
    return Failure(ErrorNumber::RowGone, QStringLiteral("Another workstation deleted this record."));
}
} // namespace

bool RecordSet::sameIdentity(const QVariantList &a, const QVariantList &b) const
{
    for (int k : m_keyColumns) {
        if (!Database::sameValue(a.value(k + 1), b.value(k + 1)))
            return false;
    }
    for (const QString &name : m_source.identity) {
        const int c = columnIndex(name);
        if (c >= 0 && !Database::sameValue(a.value(c + 1), b.value(c + 1)))
            return false;
    }
    return true;
}

bool RecordSet::sameContent(const QVariantList &a, const QVariantList &b) const
{
    if (m_source.compared.isEmpty()) {
        for (int c = 1; c <= columnCount(); ++c) {
            if (!Database::sameValue(a.value(c), b.value(c)))
                return false;
        }
        return true;
    }
    for (const QString &name : m_source.compared) {
        const int c = columnIndex(name);
        if (c >= 0 && !Database::sameValue(a.value(c + 1), b.value(c + 1)))
            return false;
    }
    return true;
}

Result<std::optional<QVariantList>> RecordSet::readStored(int row, bool lock) const
{
    const int at = slot(row);
    if (at < 0)
        return noCurrentRecord();
    const QVariantList known = m_rows.row(at);
    const Dialect &d = m_db.dialect();
    const QString locked = lock && d.isPostgres() ? QStringLiteral(" for update") : QString();
    auto fetch = [&](const QString &where, const QVariantList &binds) -> Result<QList<QVariantList>> {
        auto q = m_db.query(QStringLiteral("select %1, * from %2 where %3").arg(d.rowLocator(), m_source.table, where)
                                + locked,
                            binds);
        if (!q)
            return q.failure();
        QList<QVariantList> rows;
        while (q->next()) {
            QVariantList r;
            for (int c = 0; c <= columnCount(); ++c)
                r << q->value(c);
            rows << r;
        }
        return rows;
    };
    auto found = m_keyColumn >= 0
                     ? fetch(m_columns.at(m_keyColumn).name + QStringLiteral(" = ?"), {known.value(m_keyColumn + 1)})
                     : fetch(d.rowLocatorMatch(), {known.value(0)});
    if (!found)
        return found.failure();
    for (const QVariantList &r : found.value()) {
        if (sameIdentity(r, known))
            return std::optional<QVariantList>(r);
    }
    // PostgreSQL moves a row's locator with every update: a table without a key finds the
    // row again by the columns that name it.
    if (d.isPostgres() && m_keyColumn < 0 && !m_source.identity.isEmpty()) {
        QStringList where;
        QVariantList binds;
        for (const QString &name : m_source.identity) {
            const int c = columnIndex(name);
            if (c < 0)
                continue;
            where << d.nullSafeEquals(m_columns.at(c).name);
            binds << known.value(c + 1);
        }
        auto named = fetch(where.join(QStringLiteral(" and ")), binds);
        if (!named)
            return named.failure();
        if (named->size() == 1)
            return std::optional<QVariantList>(named->first());
    }
    return std::optional<QVariantList>();
}

void RecordSet::replaceRow(int row, const QVariantList &stored)
{
    const int at = slot(row);
    if (at < 0)
        return;
    m_rows.replace(at, stored);
    if (m_lazy)
        m_keys[row] = keyOf(stored);
}

void RecordSet::dropRow(int row)
{
    m_slots.removeAt(row);
    if (m_lazy)
        m_keys.removeAt(row);
    changed();
    if (m_position >= count())
        m_position = count() - 1;
}

QVariant RecordSet::originalValue(int column) const
{
    return column >= 0 && column < columnCount() ? m_original.value(column + 1) : QVariant();
}

Status RecordSet::refreshCurrent(bool *gone)
{
    if (gone)
        *gone = false;
    if (!hasCurrent())
        return Status::ok();
    auto stored = readStored(m_position, false);
    if (!stored)
        return stored.failure();
    if (!stored->has_value()) {
        dropRow(m_position);
        if (gone)
            *gone = true;
        return Status::ok();
    }
    replaceRow(m_position, **stored);
    return Status::ok();
}

Status RecordSet::reloadPending()
{
    if (m_mode != EditMode::Edit)
        return Status::ok();
    bool gone = false;
    if (Status s = refreshCurrent(&gone); !s)
        return s;
    if (gone) {
        cancelUpdate();
        return rowGone();
    }
    m_pending = m_rows.row(slot(m_position));
    m_original = m_pending;
    m_modified.clear();
    return Status::ok();
}

Status RecordSet::adoptRow(const QString &keyColumn, const QVariant &key, bool added)
{
    cancelUpdate();
    auto q = m_db.query(QStringLiteral("select %1, * from %2 where %3 = ?").arg(m_db.dialect().rowLocator(), m_source.table, keyColumn),
                        {key});
    if (!q)
        return q.failure();
    if (!q->next())
        return rowGone();
    QVariantList row;
    for (int c = 0; c <= columnCount(); ++c)
        row << q->value(c);
    if (added || !hasCurrent()) {
        m_slots.append(m_rows.size());
        m_rows.append(row);
        if (m_lazy)
            m_keys.append(keyOf(row));
        m_position = count() - 1;
    } else {
        replaceRow(m_position, row);
    }
    changed();
    return Status::ok();
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
    if (slot(m_position) < 0)
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("The record cannot be read."));
    // What another workstation saved since the row was read here is what the edit starts from.
    auto stored = readStored(m_position, false);
    if (!stored)
        return stored.failure();
    if (!stored->has_value())
        return rowGone();
    replaceRow(m_position, **stored);
    m_mode = EditMode::Edit;
    m_pending = **stored;
    m_original = m_pending;
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
    m_original.clear();
    m_modified.clear();
}

QString RecordSet::guard(QVariantList *binds, const QVariantList &stored) const
{
    const Dialect &d = m_db.dialect();
    QString where = d.rowLocatorMatch();
    binds->append(stored.value(0));
    // A key that no longer matches means the locator points at another row now.
    for (int k : m_keyColumns) {
        where += QStringLiteral(" and ") + d.nullSafeEquals(m_columns.at(k).name);
        binds->append(stored.value(k + 1));
    }
    return where;
}

Status RecordSet::update()
{
    if (!isPending())
        return Status::ok();
    QList<int> changedColumns(m_modified.begin(), m_modified.end());
    std::sort(changedColumns.begin(), changedColumns.end());
    QStringList names;
    QVariantList binds;
    for (int c : changedColumns) {
        if (m_columns.at(c).def.type == ColumnType::AutoId)
            continue;
        names << m_columns.at(c).name;
        binds << m_pending.at(c + 1);
    }
    const Dialect &d = m_db.dialect();
    const QString returning = QStringLiteral(" returning %1, *").arg(d.rowLocator());
    QString sql;
    std::optional<Transaction> tx;
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
        // Written only over the row this edit began from: a save of another workstation
        // in between is never overwritten unseen.
        tx.emplace(m_db);
        if (!tx->started())
            return tx->started();
        auto stored = readStored(m_position, true);
        if (!stored)
            return stored.failure();
        if (!stored->has_value())
            return rowGone();
        if (!sameContent(**stored, m_original))
            return rowChanged();
        QStringList sets;
        for (const QString &n : names)
            sets << n + QStringLiteral(" = ?");
        sql = QStringLiteral("update %1 set %2 where ").arg(m_source.table, sets.join(QStringLiteral(", ")));
        sql += guard(&binds, **stored);
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
    if (tx) {
        if (Status s = tx->commit(); !s)
            return s;
    }
    if (m_mode == EditMode::Add) {
        m_slots.append(m_rows.size());
        m_rows.append(written);
        if (m_lazy)
            m_keys.append(keyOf(written));
        m_position = count() - 1;
    } else {
        replaceRow(m_position, written); // a changed key or a moved locator
    }
    changed();
    cancelUpdate();
    return Status::ok();
}

Status RecordSet::deleteCurrent(const std::function<Status()> &before)
{
    if (isPending() || !hasCurrent())
        return noCurrentRecord();
    const int at = slot(m_position);
    if (at < 0)
        return noCurrentRecord();
    const QVariantList shown = m_rows.row(at);
    {
        Transaction tx(m_db);
        if (!tx.started())
            return tx.started();
        auto stored = readStored(m_position, true);
        if (!stored)
            return stored.failure();
        if (!stored->has_value()) {
            dropRow(m_position);
            return rowGone();
        }
        if (!sameContent(**stored, shown)) {
            replaceRow(m_position, **stored);
            return rowChanged();
        }
        if (before) {
            if (Status s = before(); !s)
                return s;
        }
        QVariantList binds;
        const QString sql = QStringLiteral("delete from %1 where ").arg(m_source.table) + guard(&binds, **stored);
        auto q = m_db.query(sql, binds);
        if (!q)
            return q.failure();
        if (q->numRowsAffected() == 0)
            return rowGone();
        q->finish();
        if (Status s = tx.commit(); !s)
            return s;
    }
    dropRow(m_position);
    return Status::ok();
}

int RecordSet::findPrefix(int column, const QString &text, int from) const
{
    if (column < 0 || column >= columnCount())
        return -1;
    from = std::max(from, 0);
    if (!m_lazy) {
        for (int r = from; r < count(); ++r) {
            if (storedValue(r, column).toString().startsWith(text, Qt::CaseInsensitive))
                return r;
        }
        return -1;
    }
    // The database finds the matching rows once; "Search Next" walks through them.
    if (m_found.generation != m_generation || m_found.column != column || m_found.text != text) {
        const Dialect &d = m_db.dialect();
        const QString sql = QStringLiteral("select %1 from %2").arg(keySql(), m_source.table)
                            + whereSql(d.prefixMatch(m_columns.at(column).name));
        QVariantList binds = m_source.binds;
        binds << Dialect::likePrefixPattern(text);
        auto q = m_db.query(sql, binds);
        if (!q)
            return -1;
        QList<int> rows;
        while (q->next()) {
            if (const int at = positionOfKey(q->value(0)); at >= 0)
                rows.append(at);
        }
        std::sort(rows.begin(), rows.end());
        m_found = Found{column, text, m_generation, rows};
    }
    const auto it = std::lower_bound(m_found.rows.cbegin(), m_found.rows.cend(), from);
    return it == m_found.rows.cend() ? -1 : *it;
}

} // namespace quarl
