#pragma once

#include "app/failure.h"
#include "store/dialect.h"

#include <QSharedPointer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>

namespace quarl {

struct PgParams
{
    QString host = QStringLiteral("localhost");
    int port = 5432;
    QString database;
    QString user;
    QString password;
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

    Result<QSqlQuery> query(const QString &sql, const QVariantList &binds = {}) const;
    Status exec(const QString &sql, const QVariantList &binds = {}) const;
    // First column of the first row; an invalid QVariant when there is no row.
    Result<QVariant> scalar(const QString &sql, const QVariantList &binds = {}) const;

    Status begin() const;
    Status commit() const;
    Status rollback() const;

    QStringList tables() const;
    bool hasTable(const QString &name) const;            // without regard to case
    QStringList columnNames(const QString &table) const; // in table order

    void close();

    static Failure failureOf(const QSqlError &error);

private:
    struct Private;
    QSharedPointer<Private> m_d;
};

// Rolls back unless committed.
class Transaction
{
public:
    explicit Transaction(const Database &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    const Status &started() const { return m_started; }
    Status commit();

private:
    Database m_db;
    Status m_started;
    bool m_open = false;
};

} // namespace quarl
