#include "cli/command.h"
#include "cli/options.h"

#include "store/datasourceregistry.h"
#include "store/pgpasswords.h"

#include <QFileInfo>

namespace quarl::cli {

namespace {

int list(DataSourceRegistry &registry)
{
    for (const QString &name : registry.names()) {
        const auto ds = registry.find(name);
        if (!ds)
            continue;
        if (ds->engine == Engine::PostgreSQL)
            out(QStringLiteral("%1\tPostgreSQL\t%2").arg(ds->name, DataSourceRegistry::describePostgres(ds->pg)));
        else
            out(QStringLiteral("%1\tSQLite\t%2").arg(ds->name, ds->file));
    }
    return 0;
}

int add(DataSourceRegistry &registry, const QCommandLineParser &parser, const QString &name)
{
    const bool postgres = parser.isSet(QStringLiteral("pg"));
    if (postgres == parser.isSet(QStringLiteral("file"))) {
        error(QStringLiteral("dsn add NAME needs either --file FILE or --pg CONNINFO."));
        return 1;
    }
    Result<Database> db = Failure(ErrorNumber::DatabaseError, QString());
    PgParams params;
    QString file;
    if (postgres) {
        auto p = postgresParams(parser);
        if (!p) {
            error(p.failure().numberAndText());
            return 1;
        }
        params = p.value();
        db = Database::openPostgres(params);
    } else {
        file = QFileInfo(parser.value(QStringLiteral("file"))).absoluteFilePath();
        db = Database::openSqlite(file);
    }
    // A data source that does not lead to a company database helps nobody at logon.
    if (!parser.isSet(QStringLiteral("no-check"))) {
        if (!db) {
            error(db.failure().numberAndText());
            return 1;
        }
        if (!db->hasTable(QStringLiteral("cargo")) || !db->hasTable(QStringLiteral("loguser"))) {
            error(QStringLiteral("%1 holds no company database (create one with quarlctl init-db).").arg(db->description()));
            return 1;
        }
    }
    const Status s = postgres ? registry.registerPostgres(name, params) : registry.registerFile(name, file);
    if (!s) {
        error(s.failure().numberAndText());
        return 1;
    }
    if (postgres && !params.password.isEmpty())
        info(QStringLiteral("The password is kept in %1, not in DataSources.ini.").arg(PgPasswords::storeName()));
    out(DataSourceRegistry::connectionText(name.trimmed()));
    return 0;
}

int dsn(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lists, adds and removes the data sources of this installation."));
    parser.addPositionalArgument(QStringLiteral("ACTION"), QStringLiteral("list, add or remove."));
    parser.addPositionalArgument(QStringLiteral("NAME"), QStringLiteral("The data source name (add, remove)."));
    parser.addOption({QStringLiteral("file"), QStringLiteral("Company data file (SQLite) to register."), QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("no-check"), QStringLiteral("Register without opening the database first.")});
    addPostgresOptions(parser);
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    const QStringList pos = parser.positionalArguments();
    const QString action = pos.value(0);
    DataSourceRegistry registry;
    if (action == QLatin1String("list") && pos.size() == 1)
        return list(registry);
    if (action == QLatin1String("add") && pos.size() == 2)
        return add(registry, parser, pos.at(1));
    if (action == QLatin1String("remove") && pos.size() == 2) {
        if (Status s = registry.remove(pos.at(1)); !s) {
            error(s.failure().numberAndText());
            return 1;
        }
        return 0;
    }
    error(QStringLiteral("Use: dsn list | dsn add NAME --file FILE | dsn add NAME --pg CONNINFO [--sslmode MODE] [--ssl-ca FILE] | dsn remove NAME."));
    return 1;
}

const Registration reg(QStringLiteral("dsn"),
                       QStringLiteral("dsn list | add NAME --file FILE | add NAME --pg CONNINFO [--sslmode MODE --ssl-ca FILE] | remove NAME  data sources"),
                       dsn);

} // namespace
} // namespace quarl::cli
