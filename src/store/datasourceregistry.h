#pragma once

#include "core/failure.h"
#include "core/inifile.h"
#include "store/database.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace quarl {

struct DataSource
{
    QString name;
    Engine engine = Engine::SQLite;
    QString file;   // SQLite data file
    PgParams pg;    // PostgreSQL database
};

// Named data sources of the installation: a name maps to a company data file or to a
// PostgreSQL database (with its TLS settings). Kept in DataSources.ini of the installation
// folder; names match without regard to case. The file never holds a password: see
// PgPasswords. DRCOMP.dirname holds "DSN=" + name.
class DataSourceRegistry
{
public:
    DataSourceRegistry(); // the installation's registry
    explicit DataSourceRegistry(QString path);

    Status registerFile(const QString &name, const QString &file);
    Status registerPostgres(const QString &name, const PgParams &params);
    Status remove(const QString &name);

    std::optional<DataSource> find(const QString &name) const;
    QStringList names() const;

    // Opens "DSN=name" (or a plain name). An unregistered name fails with
    // ErrorNumber::DataSourceNotFound.
    Result<Database> open(const QString &connectionText) const;

    static QString nameFromConnectionText(const QString &connectionText);

    // "host=... port=... dbname=... user=... [sslmode=... sslrootcert=...]" (libpq's key=value form; a value may be
    // single-quoted). A password in it is refused: it belongs in the environment or in a
    // file, never on a command line that every user of the machine can list.
    static Result<PgParams> parsePostgres(const QString &text);
    // The same form back, without the password.
    static QString describePostgres(const PgParams &params);
    static QString connectionText(const QString &name) { return QStringLiteral("DSN=") + name; }

private:
    // The file; a password an older release left in it is moved to the password store first.
    IniFile read() const;
    static PgParams paramsOf(const IniFile &ini, const QString &section);
    Status checkName(const QString &name) const;
    QString m_path;
};

} // namespace quarl
