#pragma once

#include "core/failure.h"
#include "store/database.h"

#include <QString>
#include <QVariant>

#include <functional>

// The company register DRCOMP of the system database and the creation of a company's
// data source: a copy of an existing company data file in the installation folder,
// registered under the typed name.
namespace quarl::CompanyRegister {

// The system database named by the settings file.
Result<Database> openSystemDatabase();

// The code of a new company: the last row's code + 1, 1 for an empty register
// (a null code counts as 0). Past 32767 the code overflows: "Overflow".
Result<int> nextCode(bool registerEmpty, const QVariant &lastCode);

// The typed data source name F: the data file keeps it as typed, trailing blanks and all;
// the data source is registered as N, F without trailing blanks. A name without an
// extension takes ".qdb" for both.
QString dataSourceName(const QString &typedName);
QString targetPath(const QString &typedName);

enum class CreateStep { Copy, Register };

struct CreateFailure
{
    CreateStep step = CreateStep::Copy;
    Failure failure;
};

struct CreateOptions
{
    bool replaceExistingFile = false; // a file of that name in the installation folder
};

// Checks the name and the chosen file before anything is written: the target must not
// be a file the installation lives on (settings, system database, registry, a registered
// company's data file) and N must not name a data source of another file.
Status checkCreate(const QString &typedName, const QString &sourceFile);

// Copies sourceFile to targetPath(F) (through a temporary file in the same folder, so a
// failed copy leaves nothing under the real name), checks that the copy is a company data
// file, and registers N for it. Returns the connection text "DSN=" + N.
Result<QString> createDataSource(const QString &typedName, const QString &sourceFile, CreateOptions options,
                                 CreateFailure *failed);

// Registers N for a company database on a PostgreSQL server, one that several
// workstations share. A database without the company tables gets them (and the code
// masters) when createSchema, asked with the database's description, says yes.
// Returns "DSN=" + N.
using CreateSchema = std::function<bool(const QString &database)>;
// What the PostgreSQL form offers for a data source name: the database named like it, in
// lower case and without the data-file extension.
PgParams suggestedPostgres(const QString &typedName);
Result<QString> registerPostgres(const QString &typedName, const PgParams &params, const CreateSchema &createSchema);

} // namespace quarl::CompanyRegister
