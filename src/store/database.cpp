#include "store/database.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

namespace quarl {

struct Database::Private
{
    QString connectionName;
    Dialect dialect{Engine::SQLite};
    QString description;

    ~Private()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(connectionName, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(connectionName);
    }
};

namespace {
QString newConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("quarl-%1").arg(counter.fetchAndAddRelaxed(1));
}
} // namespace

Failure Database::failureOf(const QSqlError &error)
{
    QString code = error.nativeErrorCode();
    if (code.isEmpty())
        code = QString::number(ErrorNumber::DatabaseError);
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    if (!error.driverText().isEmpty() && !text.contains(error.driverText()) && error.databaseText().isEmpty())
        text = error.driverText();
    // PostgreSQL's text reads "ERROR:  what happened\n(SQLSTATE)": the code is shown
    // in front already.
    static const QRegularExpression severity(QStringLiteral("^(ERROR|FATAL|PANIC):\\s+"));
    text.remove(severity);
    const QString tail = QStringLiteral("(") + code + QStringLiteral(")");
    if (text.endsWith(tail))
        text.chop(tail.size());
    return Failure(code, text.trimmed());
}

Result<Database> Database::openSqlite(const QString &path, bool create)
{
    if (!create && !QFileInfo(path).isFile())
        return Failure(ErrorNumber::FileNotFound, QStringLiteral("Could not find file '%1'.").arg(path));
    Database db;
    db.m_d.reset(new Private);
    db.m_d->connectionName = newConnectionName();
    db.m_d->dialect = Dialect(Engine::SQLite);
    db.m_d->description = path;
    QSqlDatabase handle = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), db.m_d->connectionName);
    handle.setDatabaseName(path);
    handle.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!handle.open())
        return failureOf(handle.lastError());
    // LIKE with ESCAPE and case-insensitive ASCII matching is SQLite's default; keep it so.
    QSqlQuery pragma(handle);
    pragma.exec(QStringLiteral("pragma foreign_keys = off"));
    return db;
}

Result<Database> Database::openPostgres(const PgParams &params)
{
    Database db;
    db.m_d.reset(new Private);
    db.m_d->connectionName = newConnectionName();
    db.m_d->dialect = Dialect(Engine::PostgreSQL);
    db.m_d->description = QStringLiteral("%1:%2/%3").arg(params.host).arg(params.port).arg(params.database);
    QSqlDatabase handle = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), db.m_d->connectionName);
    handle.setHostName(params.host);
    handle.setPort(params.port);
    handle.setDatabaseName(params.database);
    handle.setUserName(params.user);
    handle.setPassword(params.password);
    handle.setConnectOptions(QStringLiteral("connect_timeout=10"));
    if (!handle.open())
        return failureOf(handle.lastError());
    QSqlQuery q(handle);
    q.exec(QStringLiteral("set client_min_messages = warning"));
    q.exec(QStringLiteral("set datestyle = 'ISO, YMD'"));
    return db;
}

Engine Database::engine() const
{
    return m_d->dialect.engine();
}

const Dialect &Database::dialect() const
{
    return m_d->dialect;
}

QSqlDatabase Database::handle() const
{
    return QSqlDatabase::database(m_d->connectionName, false);
}

QString Database::description() const
{
    return m_d ? m_d->description : QString();
}

Result<QSqlQuery> Database::query(const QString &sql, const QVariantList &binds) const
{
    if (!m_d)
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("No database connection is open."));
    QSqlQuery q(handle());
    q.setForwardOnly(true);
    // PostgreSQL cannot prepare data definition; a statement without values needs no
    // preparing anyway.
    if (binds.isEmpty()) {
        if (!q.exec(sql))
            return failureOf(q.lastError());
        return q;
    }
    if (!q.prepare(sql))
        return failureOf(q.lastError());
    for (const QVariant &v : binds)
        q.addBindValue(v);
    if (!q.exec())
        return failureOf(q.lastError());
    return q;
}

Status Database::exec(const QString &sql, const QVariantList &binds) const
{
    auto q = query(sql, binds);
    return q.status();
}

Result<QVariant> Database::scalar(const QString &sql, const QVariantList &binds) const
{
    auto q = query(sql, binds);
    if (!q)
        return q.failure();
    if (!q->next())
        return QVariant();
    return q->value(0);
}

Status Database::begin() const
{
    QSqlDatabase h = handle();
    if (!h.transaction())
        return failureOf(h.lastError());
    return Status::ok();
}

Status Database::commit() const
{
    QSqlDatabase h = handle();
    if (!h.commit())
        return failureOf(h.lastError());
    return Status::ok();
}

Status Database::rollback() const
{
    QSqlDatabase h = handle();
    if (!h.rollback())
        return failureOf(h.lastError());
    return Status::ok();
}

QStringList Database::tables() const
{
    QStringList out;
    auto q = query(dialect().listTablesSql());
    if (q) {
        while (q->next())
            out << q->value(0).toString();
    }
    return out;
}

bool Database::hasTable(const QString &name) const
{
    return tables().contains(name, Qt::CaseInsensitive);
}

QStringList Database::columnNames(const QString &table) const
{
    QStringList out;
    const QSqlRecord rec = handle().record(engine() == Engine::PostgreSQL ? table.toLower() : table);
    for (int i = 0; i < rec.count(); ++i)
        out << rec.fieldName(i);
    return out;
}

void Database::close()
{
    m_d.reset();
}

Transaction::Transaction(const Database &db) : m_db(db)
{
    m_started = m_db.begin();
    m_open = m_started.isOk();
}

Transaction::~Transaction()
{
    if (m_open)
        m_db.rollback();
}

Status Transaction::commit()
{
    if (!m_open)
        return m_started.isOk() ? Status(Failure(ErrorNumber::DatabaseError, QStringLiteral("No transaction is open."))) : m_started;
    m_open = false;
    Status s = m_db.commit();
    if (!s)
        m_db.rollback();
    return s;
}

} // namespace quarl
