#pragma once

#include "core/failure.h"
#include "store/columndef.h"
#include "store/dialect.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace quarl {

class Database;

struct IndexDef
{
    const char *name;
    const char *columns; // comma-separated
    bool unique = false;
};

struct TableDef
{
    const char *name;
    QList<ColumnDef> columns;
    QList<IndexDef> indexes;

    int columnIndex(const QString &column) const; // -1 when absent, without regard to case
    const ColumnDef *column(const QString &column) const;
    QStringList columnNames() const;
};

// The tables of both databases with their columns in order, types and defined sizes:
// the one source of column metadata for screens and exports (SQLite reports no sizes).
namespace Schema {

const QList<TableDef> &companyTables();
const QList<TableDef> &systemTables();
const TableDef *table(const QString &name);                      // without regard to case
const ColumnDef *column(const QString &table, const QString &column);
// The four cargo columns of the inland depot (TP) trade, added by release 2.0.0 and last
// of the cargo table before the filing columns.
const QStringList &icdCargoColumns();

// The user table of a company database, created by the logon when it is missing.
inline constexpr char CreateUserTable[] =
    "create table loguser(uid char(50), pwd char(50), urights char(50), mrights char(150))";
inline constexpr char DefaultUserId[] = "QUARL";
inline constexpr char DefaultPassword[] = "TOVEK";
// The default user QUARL / TOVEK with both rights strings " SU"; its password hashed,
// or as typed for a database of older releases.
Status insertDefaultUser(const Database &db, bool plainPassword = false);

// With widthChecks (the default) SQLite text columns refuse values longer than their size.
QString createTableSql(const TableDef &table, const Dialect &dialect, bool widthChecks = true);

// The port master of new company databases and the shorter one of older releases.
inline constexpr char PortMaster[] = ":/data/ports_unlocode.tsv";
inline constexpr char LegacyPortMaster[] = ":/data/ports.tsv";

// Columns the flat file of today's layout needs (table, column), appended to their
// tables: the vessel's IMO number, the terminal operator code and the port of arrival as
// filed (the older columns terminalop and portarrival hold placeholders). The upgrade
// also widens cargo.destcode from 6 to 10 characters for the CFS code.
QList<std::pair<const char *, const char *>> icesColumns();

struct CompanyOptions
{
    // The schema of older releases: cargo without its last four columns, a unique
    // constraint BLNO on blno alone, port names without "-" + code, text columns that
    // take any length on SQLite.
    bool legacy = false;
    // The schema of release 2.1.0: without the filing columns and tables of 2.2.0
    // (store/filingfields.h). Implied by legacy.
    bool release210 = false;
    // The schema of release 2.3.0: without the link of house B/Ls to their master line
    // (store/cargolines.h). Implied by release210.
    bool release230 = false;
    // The schema of release 2.4.0: without the register of filings and the numbers customs
    // gives the lines (store/filings.h). Implied by release230.
    bool release240 = false;
};

// The index of the link of house B/Ls to their master line.
inline constexpr char HouseLinkIndex[] = "cargo_master";

// A table of companyTables() with its indexes, text widths held on both engines.
Status createTable(const Database &db, const TableDef &table);
// The one row of the company's filing details, with the job numbers starting at 1.
Status insertCompanyRow(const Database &db);

// Tables, indexes, code masters and the default user, in one transaction.
Status createCompanyDatabase(const Database &db, CompanyOptions options = {});
Status createSystemDatabase(const Database &db);

// The code-master rows shipped with the program: (table, rows of column values).
struct CodeMaster
{
    QString table;
    QString resource;
};
// The code masters of the lists release 2.2.0 added, among codeMasters().
bool isFilingMaster(const QString &table);
QList<CodeMaster> codeMasters();
Result<QList<QStringList>> readCodeMaster(const QString &resource);
// Inserts the shipped rows of a code master into its (empty) table.
Status fillCodeMaster(const Database &db, const CodeMaster &master);

} // namespace Schema
} // namespace quarl
