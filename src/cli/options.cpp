#include "cli/options.h"

#include "cli/command.h"
#include "store/datasourceregistry.h"

#include <QTextStream>

namespace quarl::cli {

void addDatabaseOptions(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("db"), QStringLiteral("Company data file (SQLite)."), QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("dsn"), QStringLiteral("Registered data source instead of --db."), QStringLiteral("NAME")});
}

Result<Database> openDatabase(const QCommandLineParser &parser)
{
    if (parser.isSet(QStringLiteral("db")) == parser.isSet(QStringLiteral("dsn")))
        return Failure(ErrorNumber::InvalidArgument, QStringLiteral("Give either --db FILE or --dsn NAME."));
    if (parser.isSet(QStringLiteral("db")))
        return Database::openSqlite(parser.value(QStringLiteral("db")));
    return DataSourceRegistry().open(DataSourceRegistry::connectionText(parser.value(QStringLiteral("dsn"))));
}

std::optional<Database> openDatabaseOrSay(const QCommandLineParser &parser)
{
    auto db = openDatabase(parser);
    if (!db) {
        error(db.failure().numberAndText());
        return std::nullopt;
    }
    return db.value();
}

bool parse(QCommandLineParser &parser, const QStringList &args, int *exitStatus)
{
    parser.addHelpOption();
    if (!parser.parse(args)) {
        error(parser.errorText());
        *exitStatus = 1;
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << parser.helpText();
        *exitStatus = 0;
        return false;
    }
    return true;
}

} // namespace quarl::cli
