#include "store/rowcursor.h"

#include "store/database.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

#include <sqlite3.h>

#include <cstring>
#include <optional>

namespace quarl {

struct RowCursor::Private
{
    const Database *db = nullptr;
    // SQLite: the statement of our own
    sqlite3 *handle = nullptr;
    sqlite3_stmt *stmt = nullptr;
    bool engine = false; // read through the engine's own statement
    QStringList names;
    // PostgreSQL: the driver's query
    std::optional<QSqlQuery> query;
    Status status = Status::ok();

    ~Private()
    {
        if (stmt)
            sqlite3_finalize(stmt);
    }

    Failure failed(int code) const
    {
        return db->failed(QSqlError(QStringLiteral("Unable to fetch row"), QString::fromUtf8(sqlite3_errmsg(handle)),
                                    QSqlError::StatementError, QString::number(code)));
    }
};

namespace {

// The engine's own handle of an open SQLite connection; null for any other engine.
sqlite3 *sqliteHandle(const Database &db)
{
    if (db.engine() != Engine::SQLite)
        return nullptr;
    const QSqlDatabase h = db.handle();
    if (!h.isOpen() || !h.driver())
        return nullptr;
    const QVariant v = h.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(v.data());
}

int bind(sqlite3_stmt *stmt, int i, const QVariant &v)
{
    if (v.isNull())
        return sqlite3_bind_null(stmt, i);
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Bool:
        return sqlite3_bind_int64(stmt, i, v.toLongLong());
    case QMetaType::Double:
        return sqlite3_bind_double(stmt, i, v.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        return sqlite3_bind_blob(stmt, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    }
    default: {
        const QByteArray t = v.toString().toUtf8();
        return sqlite3_bind_text(stmt, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
    }
    }
}

} // namespace

RowCursor::RowCursor(std::unique_ptr<Private> p) : d(std::move(p)) {}
RowCursor::RowCursor(RowCursor &&) noexcept = default;
RowCursor &RowCursor::operator=(RowCursor &&) noexcept = default;
RowCursor::~RowCursor() = default;

Result<RowCursor> RowCursor::open(const Database &db, const QString &sql, const QVariantList &binds)
{
    auto d = std::make_unique<Private>();
    d->db = &db;
    d->handle = sqliteHandle(db);
    if (!d->handle) {
        auto q = db.query(sql, binds);
        if (!q)
            return q.failure();
        const QSqlRecord record = q->record();
        for (int i = 0; i < record.count(); ++i)
            d->names << record.fieldName(i);
        d->query.emplace(std::move(*q));
        return RowCursor(std::move(d));
    }
    const QByteArray text = sql.toUtf8();
    int rc = sqlite3_prepare_v2(d->handle, text.constData(), int(text.size()), &d->stmt, nullptr);
    if (rc != SQLITE_OK)
        return db.failed(QSqlError(QStringLiteral("Unable to execute statement"),
                                   QString::fromUtf8(sqlite3_errmsg(d->handle)), QSqlError::StatementError,
                                   QString::number(rc)));
    for (int i = 0; i < binds.size(); ++i) {
        if ((rc = bind(d->stmt, i + 1, binds.at(i))) != SQLITE_OK)
            return d->failed(rc);
    }
    d->engine = true;
    for (int i = 0, n = sqlite3_column_count(d->stmt); i < n; ++i)
        d->names << QString::fromUtf8(sqlite3_column_name(d->stmt, i));
    return RowCursor(std::move(d));
}

int RowCursor::count() const
{
    return int(d->names.size());
}

QString RowCursor::name(int column) const
{
    return d->names.value(column);
}

bool RowCursor::next()
{
    if (!d->status)
        return false;
    if (!d->engine) {
        if (d->query && d->query->next())
            return true;
        if (d->query->lastError().isValid())
            d->status = d->db->failed(d->query->lastError());
        return false;
    }
    const int rc = sqlite3_step(d->stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        d->status = d->failed(rc);
    sqlite3_finalize(d->stmt); // the statement's hold on the file ends with the rows
    d->stmt = nullptr;
    return false;
}

QVariant RowCursor::value(int column) const
{
    if (!d->engine)
        return d->query ? d->query->value(column) : QVariant();
    sqlite3_stmt *s = d->stmt;
    if (!s)
        return QVariant();
    switch (sqlite3_column_type(s, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(s, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(s, column));
    case SQLITE_BLOB: {
        const char *p = static_cast<const char *>(sqlite3_column_blob(s, column));
        return QVariant(QByteArray(p, sqlite3_column_bytes(s, column)));
    }
    case SQLITE_TEXT: {
        const char *p = reinterpret_cast<const char *>(sqlite3_column_text(s, column));
        return QVariant(QString::fromUtf8(p, sqlite3_column_bytes(s, column)));
    }
    default:
        return QVariant(QMetaType::fromType<QString>());
    }
}

namespace {

// into's own storage of type T, when it holds one that is not shared
template<typename T>
T *ownStorage(QVariant &into)
{
    if (into.metaType() != QMetaType::fromType<T>() || into.isNull())
        return nullptr;
    if (!into.isDetached())
        return nullptr;
    T *t = static_cast<T *>(into.data());
    return t->isDetached() ? t : nullptr;
}

} // namespace

void RowCursor::valueInto(int column, QVariant &into) const
{
    sqlite3_stmt *s = d->engine ? d->stmt : nullptr;
    if (s) {
        switch (sqlite3_column_type(s, column)) {
        case SQLITE_BLOB:
            if (QByteArray *b = ownStorage<QByteArray>(into)) {
                const char *p = static_cast<const char *>(sqlite3_column_blob(s, column));
                const int n = sqlite3_column_bytes(s, column);
                if (n > 0) { // an empty one comes as value() gives it
                    b->resize(n);
                    memcpy(b->data(), p, size_t(n));
                    return;
                }
            }
            break;
        case SQLITE_TEXT:
            if (QString *t = ownStorage<QString>(into)) {
                const char *p = reinterpret_cast<const char *>(sqlite3_column_text(s, column));
                *t = QString::fromUtf8(p, sqlite3_column_bytes(s, column));
                return;
            }
            break;
        default:
            break;
        }
    }
    into = value(column);
}

Status RowCursor::status() const
{
    return d->status;
}

} // namespace quarl
