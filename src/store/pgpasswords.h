#pragma once

#include "core/failure.h"
#include "store/database.h"

#include <QString>

#include <optional>

namespace quarl {

// Where a workstation keeps the password of a PostgreSQL database: the Secret Service where
// one runs, else the password file the PostgreSQL client library reads itself (~/.pgpass,
// or $PGPASSFILE). The program's own files never hold it.
namespace PgPasswords {

// $PGPASSFILE when set, else ~/.pgpass.
QString passFilePath();
// One field of a password-file line: ':' and '\' escaped with '\', as libpq reads them.
QString escaped(const QString &field);
// "host:port:database:user:password", each field escaped.
QString passFileLine(const PgParams &params);

// Puts params.password in the password file: a line for the same host, port, database and
// user is replaced, every other line kept. Written to a temporary file and renamed into
// place, readable by its owner only (libpq ignores a file others may read).
Status writePassFile(const PgParams &params, const QString &path = passFilePath());

// Keeps params.password (when not empty) in the Secret Service, else in the password file.
// *where (when given) names the store for messages.
Status keep(const PgParams &params, QString *where = nullptr);
// The store keep() uses now: "the Secret Service" or the password file's path.
QString storeName();
// The password the Secret Service keeps for this database and user; nullopt without a
// service or a password there (libpq then looks in the password file itself).
std::optional<QString> lookup(const PgParams &params);

} // namespace PgPasswords

} // namespace quarl
