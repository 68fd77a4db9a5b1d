#include "store/database.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QStorageInfo>
#include <QThread>

#include <algorithm>
#include <optional>
#include <tuple>

namespace quarl {

struct Database::Private
{
    QString connectionName;
    Dialect dialect{Engine::SQLite};
    QString description;
    QString journalMode;
    bool inTransaction = false;
    // A failed statement ended the transaction on the server; the statements that follow
    // until its guard ends are refused, so that none of them is committed on its own.
    bool rolledBack = false;
    // Why it ended, when the connection went: the refusals say so too, also after a caller
    // that took the failed statement's answer for "none" (no such table, say).
    std::optional<Failure> lostBy;
    quint64 serial = 0;
    int reconnects = 0;

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
int lockWaitMs = 60000;

Failure rolledBackFailure()
{
    return Failure(ErrorNumber::DatabaseError, QStringLiteral("The work was rolled back after an error; nothing was changed."));
}

QString newConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("quarl-%1").arg(counter.fetchAndAddRelaxed(1));
}

void applyServerSettings(const QSqlDatabase &handle)
{
    QSqlQuery q(handle);
    q.exec(QStringLiteral("set client_min_messages = warning"));
    q.exec(QStringLiteral("set datestyle = 'ISO, YMD'"));
    // A wait for a lock another workstation holds ends after this time (0 would wait
    // for ever).
    q.exec(QStringLiteral("set lock_timeout = %1").arg(qMax(1, lockWaitMs)));
}

bool isRead(const QString &sql)
{
    const QString start = sql.trimmed().left(7).toLower();
    return start.startsWith(QLatin1String("select")) || start.startsWith(QLatin1String("with "));
}

// A statement on a PostgreSQL connection the server has dropped fails without a word.
const char NoReasonText[] = "The database driver gave no reason; the connection to the database may be closed.";

const char LostText[] = "The connection to the company database was lost (the database server was stopped, "
                        "restarted or is out of reach)";

// The code of the failure that told of the loss; a connection refused carries none.
QString lostCode(const Failure &cause)
{
    return cause.code.isEmpty() ? QString::number(ErrorNumber::DatabaseError) : cause.code;
}

QString reason(const Failure &f)
{
    QString text = f.description.simplified();
    return text.isEmpty() ? QString() : QStringLiteral(" (") + text + QLatin1Char(')');
}

Failure lostInTransaction(const Failure &cause)
{
    if (cause.description.startsWith(QLatin1String(LostText)))
        return cause; // said so already
    return Failure(lostCode(cause), QLatin1String(LostText)
                                        + QStringLiteral("; the work was rolled back and nothing was changed. Try again: "
                                                         "the connection is made again.")
                                        + reason(cause));
}

Failure lostAtCommit(const Failure &cause)
{
    return Failure(lostCode(cause), QLatin1String(LostText)
                                        + QStringLiteral(" while the work was being stored; whether it was stored "
                                                         "is not known. Look at the record again before you repeat it.")
                                        + reason(cause));
}

Failure notReconnected(const Failure &cause, const Failure &reopen)
{
    return Failure(lostCode(cause), QLatin1String(LostText)
                                        + QStringLiteral(" and could not be made again; nothing was changed. Try again "
                                                         "when the server answers.")
                                        + reason(reopen.description.isEmpty() ? cause : reopen));
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
    if (text.trimmed().isEmpty())
        text = QLatin1String(NoReasonText);
    // PostgreSQL's text reads "ERROR:  what happened\n(SQLSTATE)": the code is shown
    // in front already.
    static const QRegularExpression severity(QStringLiteral("^(ERROR|FATAL|PANIC):\\s+"));
    text.remove(severity);
    const QString tail = QStringLiteral("(") + code + QStringLiteral(")");
    if (text.endsWith(tail))
        text.chop(tail.size());
    // A bounded wait that ran out: say so in words a clerk can act on; the code stays
    // the engine's, so retry logic still knows it.
    const int seconds = (lockWaitMs + 999) / 1000;
    if (code == QLatin1String("55P03") || code == QLatin1String("5") || code == QLatin1String("6"))
        return Failure(code, QStringLiteral("The company database stayed locked by another workstation for more than "
                                            "%1 seconds; nothing was changed. Please try again in a moment.")
                                 .arg(seconds));
    if (code == QLatin1String("40001") || code == QLatin1String("40P01"))
        return Failure(code, QStringLiteral("Another workstation changed the same rows at the same time; nothing was "
                                            "changed. Please try again."));
    return Failure(code, text.trimmed());
}

bool PgParams::isSslMode(const QString &mode)
{
    static const QStringList modes{QStringLiteral("disable"), QStringLiteral("allow"), QStringLiteral("prefer"),
                                   QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
    return mode.isEmpty() || modes.contains(mode);
}

std::optional<Failure> Database::tlsFailure(const PgParams &params, const Failure &failure)
{
    const QString said = failure.description.simplified();
    const QString server = QStringLiteral("%1:%2").arg(params.host).arg(params.port);
    const QString ca = params.sslRootCert.isEmpty() ? QStringLiteral("~/.postgresql/root.crt") : params.sslRootCert;
    auto words = [&](const QString &text) { return Failure(failure.code, text + QStringLiteral(" (") + said + QLatin1Char(')')); };
    if (said.contains(QLatin1String("server does not support SSL")))
        return words(QStringLiteral("The server %1 offers no encrypted connection, and this data source requires one "
                                    "(sslmode %2): the connection was refused. Turn on ssl in the server's "
                                    "postgresql.conf, or ask the office's administrator.")
                         .arg(server, params.sslMode));
    if (said.contains(QLatin1String("certificate verify failed")))
        return words(QStringLiteral("The server's certificate is not signed by the office's CA (%1): the connection to "
                                    "%2 was refused. Check that the CA file is the office's and that %3 is the office's "
                                    "server.")
                         .arg(ca, server, params.host));
    static const QRegularExpression mismatch(QStringLiteral("server certificate for \"([^\"]*)\".* does not match host name"));
    if (const auto m = mismatch.match(said); m.hasMatch())
        return words(QStringLiteral("The server's certificate is made out to \"%1\", not to \"%2\", the server this data "
                                    "source names: the connection was refused. Name the server as its certificate does, "
                                    "or give the server a certificate with \"%2\" in its subjectAltName.")
                         .arg(m.captured(1), params.host));
    if (said.contains(QLatin1String("root certificate file")) && said.contains(QLatin1String("does not exist")))
        return words(QStringLiteral("The office's CA certificate file %1 does not exist: without it the server's "
                                    "certificate cannot be checked, and the connection to %2 was not made.")
                         .arg(ca, server));
    if (said.contains(QLatin1String("could not read root certificate file")))
        return words(QStringLiteral("The office's CA certificate file %1 holds no certificate that can be read: the "
                                    "connection to %2 was not made.")
                         .arg(ca, server));
    if (said.contains(QLatin1String("no encryption"))
        && (said.contains(QLatin1String("no pg_hba.conf entry")) || said.contains(QLatin1String("rejects connection"))))
        return words(QStringLiteral("The server %1 lets %2 in over an encrypted connection only: set this data source "
                                    "to require one (sslmode verify-full with the office's CA file).")
                         .arg(server, params.user));
    if (said.contains(QLatin1String("SSL error")) || said.contains(QLatin1String("SSL SYSCALL")))
        return words(QStringLiteral("The encrypted connection to %1 could not be made.").arg(server));
    return std::nullopt;
}

bool Database::isConflict(const Failure &failure)
{
    return failure.code == QLatin1String("40001") || failure.code == QLatin1String("40P01");
}

void Database::pauseAfterConflict(int attempt)
{
    const int ceiling = 20 << std::clamp(attempt, 1, 5); // 40 ms after the first try, at most 640 ms
    QThread::msleep(ulong(QRandomGenerator::global()->bounded(ceiling / 4, ceiling)));
}

Failure Database::failed(const QSqlError &error) const
{
    // A statement run straight on the handle after an earlier failure ended the transaction
    // (whose answer the caller took for "none there"): that failure is the one to tell.
    if (m_d && m_d->rolledBack)
        return rolledBackReason();
    Failure f = failureOf(error);
    if (m_d && m_d->inTransaction && engine() == Engine::PostgreSQL) {
        QSqlDatabase h = handle();
        if (h.isOpen())
            h.rollback();
        m_d->inTransaction = false;
        m_d->rolledBack = true;
        m_d->lostBy.reset();
        // A connection lost while rows were being read says so, as a lost statement does.
        if (isConnectionLost(f)) {
            f = lostInTransaction(f);
            m_d->lostBy = f;
        }
    }
    return f;
}

Failure Database::rolledBackReason() const
{
    return m_d && m_d->lostBy ? *m_d->lostBy : rolledBackFailure();
}

bool Database::isConnectionLost(const Failure &failure) const
{
    if (!m_d || engine() != Engine::PostgreSQL)
        return false;
    // The driver closes a connection the server dropped; its later failures say nothing.
    return !handle().isOpen() || failure.description == QLatin1String(NoReasonText)
           || dialect().isConnectionLost(failure.code, failure.description);
}

Status Database::reconnect() const
{
    if (!m_d)
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("No database connection is open."));
    if (engine() != Engine::PostgreSQL)
        return Status::ok(); // a file does not go away under an open connection
    QSqlDatabase h = handle();
    h.close();
    m_d->inTransaction = false;
    if (!h.open())
        return failureOf(h.lastError());
    applyServerSettings(h);
    ++m_d->reconnects;
    return Status::ok();
}

int Database::reconnects() const
{
    return m_d ? m_d->reconnects : 0;
}

bool Database::isWholeNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

bool Database::sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    auto whole = [](const QVariant &v) { return isWholeNumber(v) || v.typeId() == QMetaType::Bool; };
    auto real = [](const QVariant &v) { return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float; };
    if ((whole(a) || real(a)) && (whole(b) || real(b)))
        return whole(a) && whole(b) ? a.toLongLong() == b.toLongLong() : a.toDouble() == b.toDouble();
    if (a.typeId() == QMetaType::QDate || b.typeId() == QMetaType::QDate)
        return a.toDate() == b.toDate();
    return a.toString() == b.toString();
}

void Database::setLockWait(int milliseconds)
{
    lockWaitMs = qMax(0, milliseconds);
}

int Database::lockWait()
{
    return lockWaitMs;
}

bool Database::isNetworkFileSystem(const QByteArray &type)
{
    const QByteArray t = type.toLower();
    return t.startsWith("nfs") || t.startsWith("cifs") || t.startsWith("smb") || t.startsWith("fuse")
           || t.startsWith("9p") || t.startsWith("afs") || t.startsWith("ceph") || t.startsWith("glusterfs")
           || t.startsWith("davfs") || t == "ncpfs";
}

QString Database::journalMode() const
{
    return m_d ? m_d->journalMode : QString();
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
    handle.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(lockWaitMs));
    if (!handle.open())
        return failureOf(handle.lastError());
    // LIKE with ESCAPE and case-insensitive ASCII matching is SQLite's default; keep it so.
    QSqlQuery pragma(handle);
    pragma.exec(QStringLiteral("pragma foreign_keys = off"));
    // The write-ahead log lets readers go on while a writer works. Its index lives in
    // shared memory beside the file, which workstations on a network share cannot share:
    // there the file keeps (or gets back) the rollback journal.
    const QByteArray fs = QStorageInfo(QFileInfo(path).absolutePath()).fileSystemType();
    const bool network = isNetworkFileSystem(fs);
    if (pragma.exec(network ? QStringLiteral("pragma journal_mode = delete") : QStringLiteral("pragma journal_mode = wal"))
        && pragma.next())
        db.m_d->journalMode = pragma.value(0).toString().toLower();
    pragma.finish();
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
    if (!PgParams::isSslMode(params.sslMode))
        return Failure(ErrorNumber::InvalidArgument,
                       QStringLiteral("\"%1\" is no TLS mode: use disable, require, verify-ca or verify-full.").arg(params.sslMode));
    // The driver hands these to the client library with each ';' made a blank; a value in
    // quotes may hold blanks, but not a ';'.
    QStringList options{QStringLiteral("connect_timeout=10")};
    if (!params.sslMode.isEmpty())
        options << QStringLiteral("sslmode=") + params.sslMode;
    if (!params.sslRootCert.isEmpty()) {
        if (params.sslRootCert.contains(QLatin1Char(';')))
            return Failure(ErrorNumber::BadFileName,
                           QStringLiteral("The CA file name %1 may not hold a ';'.").arg(params.sslRootCert));
        QString quoted = params.sslRootCert;
        quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
        options << QStringLiteral("sslrootcert='%1'").arg(quoted);
    }
    handle.setConnectOptions(options.join(QLatin1Char(';')));
    if (!handle.open()) {
        const Failure f = failureOf(handle.lastError());
        return tlsFailure(params, f).value_or(f);
    }
    applyServerSettings(handle);
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
    if (m_d->rolledBack)
        return rolledBackReason();
    const bool inTransaction = m_d->inTransaction;
    if (!inTransaction && engine() == Engine::PostgreSQL && !handle().isOpen()) {
        // lost earlier: the next statement makes it again
        if (Status s = reconnect(); !s)
            return notReconnected(Failure(), s.failure());
    }
    auto result = run(sql, binds);
    if (result || !isConnectionLost(result.failure()))
        return result;
    if (inTransaction)
        return lostInTransaction(result.failure());
    if (isRead(sql)) {
        if (Status s = reconnect(); !s)
            return notReconnected(result.failure(), s.failure());
        auto again = run(sql, binds);
        if (again || !isConnectionLost(again.failure()))
            return again;
        return notReconnected(again.failure(), Failure());
    }
    // A write may or may not have reached the server: it is not repeated unasked.
    return Failure(lostCode(result.failure()), QLatin1String(LostText)
                                                   + QStringLiteral("; the change may not have been stored. Look at "
                                                                    "the record again before you repeat it.")
                                                   + reason(result.failure()));
}

Result<QSqlQuery> Database::run(const QString &sql, const QVariantList &binds) const
{
    QSqlQuery q(handle());
    q.setForwardOnly(true);
    // PostgreSQL cannot prepare data definition; a statement without values needs no
    // preparing anyway.
    if (binds.isEmpty()) {
        if (!q.exec(sql))
            return failed(q.lastError());
        return q;
    }
    if (!q.prepare(sql))
        return failed(q.lastError());
    for (const QVariant &v : binds)
        q.addBindValue(v);
    if (!q.exec())
        return failed(q.lastError());
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

Status Database::begin(TxMode mode) const
{
    if (!m_d)
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("No database connection is open."));
    QString sql;
    if (engine() == Engine::SQLite) {
        // A deferred transaction that reads first cannot wait for the write lock later
        // (SQLite answers "database is locked" at once); a writer takes it at the start.
        sql = mode == TxMode::Read ? QStringLiteral("begin") : QStringLiteral("begin immediate");
    } else {
        sql = mode == TxMode::Write ? QStringLiteral("begin")
              : mode == TxMode::Read ? QStringLiteral("begin isolation level repeatable read read only")
                                     : QStringLiteral("begin isolation level repeatable read");
    }
    auto exec = [&]() -> Status {
        QSqlQuery q(handle());
        if (!q.exec(sql))
            return failureOf(q.lastError());
        return Status::ok();
    };
    if (engine() == Engine::PostgreSQL && !handle().isOpen()) {
        if (Status s = reconnect(); !s)
            return notReconnected(Failure(), s.failure());
    }
    Status begun = exec();
    if (!begun && isConnectionLost(begun.failure())) {
        // dropped since the last statement: nothing was begun, so begin on a new connection
        if (Status s = reconnect(); !s)
            return notReconnected(begun.failure(), s.failure());
        begun = exec();
    }
    if (!begun)
        return begun;
    m_d->inTransaction = true;
    m_d->rolledBack = false;
    ++m_d->serial;
    return Status::ok();
}

Status Database::commit() const
{
    QSqlDatabase h = handle();
    const bool ok = h.commit();
    m_d->inTransaction = false;
    if (!ok) {
        const Failure f = failureOf(h.lastError());
        return isConnectionLost(f) ? lostAtCommit(f) : f;
    }
    return Status::ok();
}

Status Database::rollback() const
{
    QSqlDatabase h = handle();
    if (!h.isOpen()) {
        m_d->inTransaction = false; // gone with the connection
        return Status::ok();
    }
    const bool ok = h.rollback();
    m_d->inTransaction = false;
    if (!ok)
        return failureOf(h.lastError());
    return Status::ok();
}

void Database::endRolledBack() const
{
    if (m_d)
        m_d->rolledBack = false;
}

bool Database::inTransaction() const
{
    return m_d && m_d->inTransaction;
}

quint64 Database::transactionSerial() const
{
    return m_d ? m_d->serial : 0;
}

Result<QStringList> Database::tableList() const
{
    if (!isValid())
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("No company database is open."));
    auto q = query(dialect().listTablesSql());
    if (!q)
        return q.failure();
    QStringList out;
    while (q->next())
        out << q->value(0).toString();
    return out;
}

QStringList Database::tables() const
{
    auto names = tableList();
    return names ? names.value() : QStringList();
}

Result<bool> Database::findTable(const QString &name) const
{
    auto names = tableList();
    if (!names)
        return names.failure();
    return names->contains(name, Qt::CaseInsensitive);
}

bool Database::hasTable(const QString &name) const
{
    auto found = findTable(name);
    return found && found.value();
}

Result<QStringList> Database::columnList(const QString &table) const
{
    if (!m_d)
        return Failure(ErrorNumber::DatabaseError, QStringLiteral("No database connection is open."));
    QStringList out;
    if (engine() == Engine::PostgreSQL) {
        // Asked as any other read, so that a connection the server dropped is made again,
        // or the loss is told, rather than passing for a table without columns (the
        // driver's record() answers an empty record then).
        auto q = query(QStringLiteral("select a.attname from pg_catalog.pg_attribute a "
                                      "inner join pg_catalog.pg_class c on c.oid = a.attrelid "
                                      "where c.relname = ? and pg_catalog.pg_table_is_visible(c.oid) "
                                      "and a.attnum > 0 and not a.attisdropped order by a.attnum"),
                       {table.toLower()});
        if (!q)
            return q.failure();
        while (q->next())
            out << q->value(0).toString();
        return out;
    }
    const QSqlRecord rec = handle().record(table);
    for (int i = 0; i < rec.count(); ++i)
        out << rec.fieldName(i);
    return out;
}

QStringList Database::columnNames(const QString &table) const
{
    auto columns = columnList(table);
    return columns ? columns.value() : QStringList();
}

void Database::close()
{
    m_d.reset();
}

Transaction::Transaction(const Database &db, TxMode mode) : m_db(db)
{
    m_started = m_db.begin(mode);
    m_open = m_started.isOk();
    m_serial = m_db.transactionSerial();
}

Transaction::~Transaction()
{
    if (m_started && m_db.transactionSerial() == m_serial)
        m_db.endRolledBack();
    // Not when a failed statement has rolled it back already (and another may be open).
    if (m_open && m_db.inTransaction() && m_db.transactionSerial() == m_serial)
        std::ignore = m_db.rollback(); // a destructor has no one to tell
}

Status Transaction::commit()
{
    if (!m_open)
        return m_started.isOk() ? Status(Failure(ErrorNumber::DatabaseError, QStringLiteral("No transaction is open."))) : m_started;
    m_open = false;
    if (!m_db.inTransaction() || m_db.transactionSerial() != m_serial) {
        Failure why = rolledBackFailure();
        if (m_db.transactionSerial() == m_serial) {
            why = m_db.rolledBackReason();
            m_db.endRolledBack();
        }
        return why;
    }
    Status s = m_db.commit();
    if (!s && m_db.engine() == Engine::SQLite)
        std::ignore = m_db.rollback(); // a refused COMMIT leaves SQLite's transaction open; the COMMIT's failure is the one to report
    return s;
}

} // namespace quarl
