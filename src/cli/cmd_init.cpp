#include "cli/command.h"
#include "cli/options.h"

#include "store/datasourceregistry.h"
#include "store/installer.h"

#include <QFile>

namespace quarl::cli {

namespace {

int initHome(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("demo"), QStringLiteral("Also create the demo company with a sample voyage.")});
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    auto report = Installer::initHome(parser.isSet(QStringLiteral("demo")));
    if (!report) {
        error(report.failure().numberAndText());
        return 1;
    }
    if (report->alreadyThere) {
        info(QStringLiteral("An installation already exists in %1; nothing was changed.").arg(report->folder));
        return 0;
    }
    out(report->folder);
    return 0;
}

// The company schema and code masters in an existing, empty PostgreSQL database.
Status createPostgresCompany(const PgParams &params)
{
    auto db = Database::openPostgres(params);
    if (!db)
        return db.failure();
    if (db->hasTable(QStringLiteral("cargo")) || db->hasTable(QStringLiteral("loguser")))
        return Failure(ErrorNumber::InvalidArgument,
                       QStringLiteral("The database %1 already holds a company; nothing was changed.").arg(db->description()));
    return Schema::createCompanyDatabase(db.value());
}

int initDb(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The new company data file (not with --pg)."));
    parser.addOption({QStringLiteral("legacy"), QStringLiteral("Create the schema of older releases (for upgrade trials).")});
    parser.addOption({QStringLiteral("dsn"), QStringLiteral("Also register the new company database under this data source name."),
                      QStringLiteral("NAME")});
    addPostgresOptions(parser);
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    const bool postgres = parser.isSet(QStringLiteral("pg"));
    const QString name = parser.value(QStringLiteral("dsn"));
    if (postgres && (!parser.positionalArguments().isEmpty() || name.trimmed().isEmpty())) {
        error(QStringLiteral("init-db --pg needs --dsn NAME and no FILE."));
        return 1;
    }
    if (!postgres && parser.positionalArguments().size() != 1) {
        error(QStringLiteral("init-db needs one FILE, or --dsn NAME --pg CONNINFO."));
        return 1;
    }
    DataSourceRegistry registry;
    if (!name.isEmpty() && registry.find(name)) {
        error(QStringLiteral("The data source \"%1\" is registered already; remove it first (quarlctl dsn remove).").arg(name));
        return 1;
    }
    Status s;
    if (postgres) {
        if (parser.isSet(QStringLiteral("legacy"))) {
            error(QStringLiteral("--legacy makes trial files only; it does not go with --pg."));
            return 1;
        }
        auto params = postgresParams(parser);
        if (!params) {
            error(params.failure().numberAndText());
            return 1;
        }
        s = createPostgresCompany(params.value());
        if (s)
            s = registry.registerPostgres(name, params.value());
    } else {
        Schema::CompanyOptions options;
        options.legacy = parser.isSet(QStringLiteral("legacy"));
        const QString file = parser.positionalArguments().first();
        s = Installer::createDataFile(file, options);
        if (s && !name.isEmpty()) {
            s = registry.registerFile(name, file);
            if (!s)
                QFile::remove(file);
        }
    }
    if (!s) {
        error(s.failure().numberAndText());
        return 1;
    }
    if (!name.isEmpty())
        out(DataSourceRegistry::connectionText(name.trimmed()));
    return 0;
}

const Registration home(QStringLiteral("init-home"), QStringLiteral("init-home [--demo]        create the installation folder"), initHome);
const Registration db(QStringLiteral("init-db"), QStringLiteral("init-db [--legacy] FILE [--dsn NAME] | --dsn NAME --pg CONNINFO [--sslmode MODE --ssl-ca FILE]  create a company database"), initDb);

} // namespace
} // namespace quarl::cli
