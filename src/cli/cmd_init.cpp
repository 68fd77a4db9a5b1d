#include "cli/command.h"
#include "cli/options.h"

#include "store/installer.h"

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

int initDb(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The new company data file."));
    parser.addOption({QStringLiteral("legacy"), QStringLiteral("Create the schema of older releases (for upgrade trials).")});
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    if (parser.positionalArguments().size() != 1) {
        error(QStringLiteral("init-db needs one FILE."));
        return 1;
    }
    Schema::CompanyOptions options;
    options.legacy = parser.isSet(QStringLiteral("legacy"));
    Status s = Installer::createDataFile(parser.positionalArguments().first(), options);
    if (!s) {
        error(s.failure().numberAndText());
        return 1;
    }
    return 0;
}

const Registration home(QStringLiteral("init-home"), QStringLiteral("init-home [--demo]        create the installation folder"), initHome);
const Registration db(QStringLiteral("init-db"), QStringLiteral("init-db [--legacy] FILE   create a company data file"), initDb);

} // namespace
} // namespace quarl::cli
