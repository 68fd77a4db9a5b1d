#pragma once

#include "core/failure.h"
#include "store/columndef.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace quarl {

enum class Engine { SQLite, PostgreSQL };



// Every difference between the two engines lives here.
class Dialect
{
public:
    explicit Dialect(Engine engine) : m_engine(engine) {}
    Engine engine() const { return m_engine; }
    bool isPostgres() const { return m_engine == Engine::PostgreSQL; }

    // With widthChecks a text column refuses a value longer than its defined size, on
    // SQLite as PostgreSQL does by itself.
    QString columnDdl(const ColumnDef &column, bool widthChecks = true) const;
    QString widthCheck(const ColumnDef &column) const; // "check (length(name) <= size)"
    QString doubleType() const { return QStringLiteral("double precision"); }

    // Both engines keep index and table names in one namespace, so an index cannot be
    // called like its table: the index known as "cargo" is created as "cargo_ix".
    QString indexName(const QString &name) const;

    QVariant dateToDb(const QDate &date) const;
    QDate dateFromDb(const QVariant &value) const;

    // A text column read as the bytes the engine keeps (UTF-8) where the engine's driver
    // would otherwise convert every value twice: "cast(column as blob) as column" on
    // SQLite, the column itself on PostgreSQL. Its value is then a QByteArray or a QString.
    QString textAsBytes(const QString &column, const QString &as) const;

    // "column LIKE ? ESCAPE '!'" matching rows whose column starts with the bound text,
    // without regard to case on both engines; bind likePrefixPattern(text).
    QString prefixMatch(const QString &column) const;
    static QString likePrefixPattern(const QString &text);

    // A hidden column that identifies a row of any table, also one without a key, for as
    // long as the row is not rewritten: SQLite's rowid, PostgreSQL's ctid (which moves on
    // every update, so writes read it back with "returning").
    QString rowLocator() const;
    // "locator = ?" with the locator value as read.
    QString rowLocatorMatch() const;
    // "column = ?" that also matches a null bound value.
    QString nullSafeEquals(const QString &column) const;
    // Failures worth a retry: the database busy or locked, the connection lost.
    bool isTransientFailure(const QString &code, const QString &description = {}) const;
    // The connection to the server is gone; it must be opened again before a retry.
    bool isConnectionLost(const QString &code, const QString &description) const;

    // The SQL that lists the tables of the current database (one column: the name).
    QString listTablesSql() const;

    // The character code of the first character of a text expression (Unicode code point).
    QString firstCharCode(const QString &expr) const;
    // 1-based position of needle in haystack, 0 when absent.
    QString position(const QString &needle, const QString &haystack) const;

    // Statements that append the columns to a table, in the given order; PostgreSQL takes
    // them in one statement, SQLite one column at a time. Run them in one transaction.
    QStringList addColumnsSql(const QString &table, const QList<ColumnDef> &columns) const;

private:
    Engine m_engine;
};

} // namespace quarl
