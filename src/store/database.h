#pragma once

#include "core/failure.h"
#include "store/dialect.h"

#include <QSharedPointer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>

#include <optional>

namespace quarl {

struct PgParams
{
    QString host = QStringLiteral("localhost");
    int port = 5432;
    QString database;
    QString user;
    QString password;
    // TLS: libpq's sslmode (disable, allow, prefer, require, verify-ca, verify-full; empty:
    // libpq's default, prefer) and the file of the CA that signs the server's certificate.
    QString sslMode;
    QString sslRootCert;

    // Whether mode is one libpq knows (empty counts as the default).
    static bool isSslMode(const QString &mode);
};

// How a transaction begins.
enum class TxMode {
    // Writes: on SQLite the file's write lock is taken at once, so a second writer
    // waits for it (busy time-out) instead of failing halfway.
    Write,
    // Reads that must see one moment of the data: SQLite's deferred transaction, on
    // PostgreSQL a repeatable-read, read-only one.
    Read,
    // Reads of one moment followed by a few writes (the IGM writer's line numbers).
    SnapshotWrite,
};

// One connection to a company data database or the system database.
// Copies share the connection; it closes when the last copy goes.
// Every statement is prepared and takes its values bound, never spliced in.
class Database
{
public:
    Database() = default;

    // An existing SQLite file; with create, a missing file is made.
    static Result<Database> openSqlite(const QString &path, bool create = false);
    static Result<Database> openPostgres(const PgParams &params);

    bool isValid() const { return m_d != nullptr; }
    Engine engine() const;
    const Dialect &dialect() const;
    QSqlDatabase handle() const;
    QString description() const; // file path or host/database, for messages

    // A read outside a transaction whose connection the server dropped is run once more on
    // a new connection; anything else fails with the lost connection in plain words.
    Result<QSqlQuery> query(const QString &sql, const QVariantList &binds = {}) const;
    Status exec(const QString &sql, const QVariantList &binds = {}) const;
    // First column of the first row; an invalid QVariant when there is no row.
    Result<QVariant> scalar(const QString &sql, const QVariantList &binds = {}) const;

    // A connection the server dropped (restarted, stopped, killed) is opened again with the
    // same credentials before the transaction begins, so the next save after a restart works.
    Status begin(TxMode mode = TxMode::Write) const;
    Status commit() const;
    Status rollback() const;
    bool inTransaction() const;
    // Counts the transactions begun on this connection; tells a guard whether the
    // transaction it began is still the one open.
    quint64 transactionSerial() const;
    // Lets statements run again after failed() ended a transaction (its guard is done).
    void endRolledBack() const;
    // The answer to a statement refused after failed() ended the transaction: the lost
    // connection when that ended it, else that the work was rolled back after an error.
    Failure rolledBackReason() const;

    // The failure of a statement of this connection. On PostgreSQL an error inside a
    // transaction has aborted it on the server: it is rolled back here at once, so that
    // statements released afterwards can still be freed (the server refuses every
    // statement of an aborted transaction, DEALLOCATE included, and the prepared
    // statement would stay behind for the life of the connection).
    Failure failed(const QSqlError &error) const;

    // SQLite: the journal mode the file runs in ("wal", or "delete" on a network share);
    // empty on PostgreSQL.
    QString journalMode() const;

    // The tables, and a table's columns in table order. These fail when the database cannot
    // be asked (the connection lost and not made again): read where an empty answer would
    // be taken for "none there", such as a record loaded for editing.
    Result<QStringList> tableList() const;
    Result<bool> findTable(const QString &name) const; // without regard to case
    Result<QStringList> columnList(const QString &table) const;
    // The same, empty (or false) also when the database could not be asked.
    QStringList tables() const;
    bool hasTable(const QString &name) const;            // without regard to case
    QStringList columnNames(const QString &table) const; // in table order

    void close();

    // Opens the connection again with the credentials it was made with; every copy shares it.
    Status reconnect() const;
    // Whether a failure of this connection means that the server is no longer reached.
    bool isConnectionLost(const Failure &failure) const;

    // How often the connection was made again, for tests and the load test.
    int reconnects() const;

    static Failure failureOf(const QSqlError &error);
    // A connection the client library refused over TLS (no encryption where it is required,
    // a certificate not signed by the office's CA, a server name the certificate does not
    // name, a CA file missing) in words that say so; nullopt for other failures.
    static std::optional<Failure> tlsFailure(const PgParams &params, const Failure &failure);
    // Whether a failure is the engine's refusal of work that met another workstation's at
    // the same moment (PostgreSQL's serialization failure or deadlock): tried again, the
    // work sees the other's.
    static bool isConflict(const Failure &failure);
    // A short pause of random length before such work is tried again, longer after each
    // try, so that workstations that met once do not meet again.
    static void pauseAfterConflict(int attempt);
    // Two values read from the database: equal as the database holds them (numbers of any
    // width compare as numbers, a null only equals a null).
    static bool sameValue(const QVariant &a, const QVariant &b);
    static bool isWholeNumber(const QVariant &v); // of any integer type

    // How long a statement waits for a lock held by another connection (SQLite busy
    // time-out, PostgreSQL lock_timeout) before it fails with LockWaitMessage. Applies to
    // connections opened afterwards.
    static void setLockWait(int milliseconds);
    static int lockWait();
    // True for a file system on which SQLite cannot share the write-ahead log's index
    // between workstations (NFS, SMB/CIFS, FUSE mounts).
    static bool isNetworkFileSystem(const QByteArray &type);

private:
    Result<QSqlQuery> run(const QString &sql, const QVariantList &binds) const;

    struct Private;
    QSharedPointer<Private> m_d;
};

// Rolls back unless committed.
class Transaction
{
public:
    explicit Transaction(const Database &db, TxMode mode = TxMode::Write);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    const Status &started() const { return m_started; }
    Status commit();

private:
    Database m_db;
    Status m_started;
    bool m_open = false;
    quint64 m_serial = 0;
};

} // namespace quarl
