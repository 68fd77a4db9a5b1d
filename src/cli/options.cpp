#include "cli/options.h"

#include "cli/command.h"
#include "core/installation.h"
#include "core/rights.h"
#include "store/datasourceregistry.h"
#include "store/passwordhash.h"
#include "store/session.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <string>
#include <termios.h>
#include <unistd.h>

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

std::optional<QString> readLine(const char *prompt, bool secret)
{
    const bool tty = isatty(STDIN_FILENO);
    termios saved{};
    if (tty) {
        std::fputs(prompt, stderr);
        std::fflush(stderr);
        if (secret) {
            tcgetattr(STDIN_FILENO, &saved);
            termios quiet = saved;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
    }
    std::string line;
    bool got = false;
    for (int c; (c = std::fgetc(stdin)) != EOF;) {
        got = true;
        if (c == '\n')
            break;
        line.push_back(char(c));
        if (line.size() > 4096)
            break; // no password is this long; the rest is not read into memory
    }
    if (tty && secret) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputc('\n', stderr);
    }
    if (!got)
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromUtf8(line.data(), qsizetype(line.size()));
}

void addActingUserOptions(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("as"), QStringLiteral("The Quarl user this runs as (the password from --password-file, "
                                                           "else standard input; QUARL_USER and QUARL_PASSWORD without --as)."),
                      QStringLiteral("USERID")});
    parser.addOption({QStringLiteral("password-file"), QStringLiteral("A file whose first line is the password of the --as user."),
                      QStringLiteral("FILE")});
}

std::optional<QString> actingUserOrSay(const QCommandLineParser &parser, const Database &db, const Needs &needs)
{
    QString userId = parser.value(QStringLiteral("as")).trimmed();
    std::optional<QString> password;
    if (parser.isSet(QStringLiteral("password-file"))) {
        QFile f(parser.value(QStringLiteral("password-file")));
        if (!f.open(QIODevice::ReadOnly)) {
            error(QStringLiteral("The password file %1 cannot be read: %2; nothing changed.").arg(f.fileName(), f.errorString()));
            return std::nullopt;
        }
        QString first = QString::fromUtf8(f.readLine(4096));
        while (first.endsWith(QLatin1Char('\n')) || first.endsWith(QLatin1Char('\r')))
            first.chop(1);
        password = first;
    }
    if (userId.isEmpty() && !parser.isSet(QStringLiteral("as"))) {
        userId = qEnvironmentVariable("QUARL_USER").trimmed();
        if (!userId.isEmpty() && !password && qEnvironmentVariableIsSet("QUARL_PASSWORD"))
            password = qEnvironmentVariable("QUARL_PASSWORD");
    }
    if (userId.isEmpty()) {
        error(QStringLiteral("Say which Quarl user does this: --as USERID, with the password from --password-file or "
                             "standard input (or QUARL_USER and QUARL_PASSWORD); nothing changed."));
        return std::nullopt;
    }
    if (!password) {
        const QString ask = QStringLiteral("Password of %1: ").arg(userId);
        password = readLine(ask.toLocal8Bit().constData());
        if (!password) {
            error(QStringLiteral("No password of %1 was given; nothing changed.").arg(userId));
            return std::nullopt;
        }
    }
    auto user = authenticateUser(db, userId, *password);
    if (!user) {
        error(user.failure().numberAndText());
        return std::nullopt;
    }
    const bool super = Rights::isSuperUser(user->menuRights);
    bool granted = super || !needs.superUser;
    for (int code : needs.menuCodes)
        granted = granted && (code < 0 || Rights::grantsMenu(user->menuRights, code));
    if (!granted) {
        error(needs.superUser
                  ? QStringLiteral("%1 is not a super-user of this company: %2 needs one; nothing changed.").arg(user->userId, needs.screen)
                  : QStringLiteral("%1 has no right to %2 in this company; nothing changed.").arg(user->userId, needs.screen));
        return std::nullopt;
    }
    Session &session = Session::current();
    session.userId = user->userId;
    session.userRights = user->userRights;
    session.menuRights = user->menuRights;
    return user->userId;
}

void addVoyageOptions(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("vessel"), QStringLiteral("Vessel code, as typed."), QStringLiteral("V")});
    parser.addOption({QStringLiteral("voyage"), QStringLiteral("Voyage number, as typed."), QStringLiteral("N")});
}

bool voyageKey(const QCommandLineParser &parser, QString *vessel, QString *voyage)
{
    if (!parser.isSet(QStringLiteral("vessel")) || !parser.isSet(QStringLiteral("voyage"))) {
        error(QStringLiteral("Give --vessel V and --voyage N."));
        return false;
    }
    *vessel = parser.value(QStringLiteral("vessel"));
    *voyage = parser.value(QStringLiteral("voyage"));
    return true;
}

std::optional<Database> voyageDatabase(const QCommandLineParser &parser, QString *vessel, QString *voyage)
{
    if (!voyageKey(parser, vessel, voyage))
        return std::nullopt;
    return openDatabaseOrSay(parser);
}

bool oneFile(const QCommandLineParser &parser, const char *command)
{
    if (parser.positionalArguments().size() == 1)
        return true;
    error(QStringLiteral("%1 needs one FILE.").arg(QLatin1String(command)));
    return false;
}

const QCommandLineOption OutOption(QStringLiteral("out"),
                                   QStringLiteral("Folder to write into (default: the installation folder)."),
                                   QStringLiteral("DIR"));

QString outFolder(const QCommandLineParser &parser)
{
    return parser.isSet(OutOption) ? parser.value(OutOption) : Installation::folder();
}

const QCommandLineOption IceGateUserOption(QStringLiteral("icegate-user"),
                                           QStringLiteral("Gateway user id instead of the setting Options/IceGateUser."),
                                           QStringLiteral("ID"));
const QCommandLineOption CustomHouseOption(QStringLiteral("custom-house"),
                                           QStringLiteral("Custom house code instead of the setting Options/CustomCode."),
                                           QStringLiteral("CODE"));

void addPostgresOptions(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("pg"), QStringLiteral("PostgreSQL database: \"host=H port=P dbname=D user=U\"."),
                      QStringLiteral("CONNINFO")});
    parser.addOption({QStringLiteral("password-file"),
                      QStringLiteral("File whose first line is the PostgreSQL password (else QUARL_PG_PASSWORD, "
                                     "PGPASSWORD or ~/.pgpass)."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("sslmode"),
                      QStringLiteral("TLS: disable, require, verify-ca or verify-full (verify-full when --ssl-ca is given)."),
                      QStringLiteral("MODE")});
    parser.addOption({QStringLiteral("ssl-ca"), QStringLiteral("The office's CA certificate, which signs the server's."),
                      QStringLiteral("FILE")});
}

Result<PgParams> postgresParams(const QCommandLineParser &parser)
{
    auto params = DataSourceRegistry::parsePostgres(parser.value(QStringLiteral("pg")));
    if (!params)
        return params;
    if (parser.isSet(QStringLiteral("ssl-ca"))) {
        const QFileInfo ca(parser.value(QStringLiteral("ssl-ca")));
        if (!ca.isFile())
            return Failure(ErrorNumber::FileNotFound,
                           QStringLiteral("The CA certificate file %1 does not exist.").arg(ca.filePath()));
        params->sslRootCert = ca.absoluteFilePath();
        if (params->sslMode.isEmpty())
            params->sslMode = QStringLiteral("verify-full");
    }
    if (parser.isSet(QStringLiteral("sslmode"))) {
        const QString mode = parser.value(QStringLiteral("sslmode")).trimmed().toLower();
        if (!PgParams::isSslMode(mode) || mode.isEmpty())
            return Failure(ErrorNumber::InvalidArgument,
                           QStringLiteral("--sslmode \"%1\" is no TLS mode: use disable, require, verify-ca or verify-full.")
                               .arg(parser.value(QStringLiteral("sslmode"))));
        params->sslMode = mode;
    }
    if (parser.isSet(QStringLiteral("password-file"))) {
        const QString path = parser.value(QStringLiteral("password-file"));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return Failure(ErrorNumber::FileNotFound, QStringLiteral("Cannot read the password file %1: %2.")
                                                          .arg(path, file.errorString()));
        QString line = QString::fromUtf8(file.readLine());
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        params->password = line;
    } else if (qEnvironmentVariableIsSet("QUARL_PG_PASSWORD")) {
        params->password = qEnvironmentVariable("QUARL_PG_PASSWORD");
    } else if (qEnvironmentVariableIsSet("PGPASSWORD")) {
        params->password = qEnvironmentVariable("PGPASSWORD");
    }
    return params;
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

const QCommandLineOption YesOption(QStringLiteral("yes"), QStringLiteral("Answer the command's question with Yes."));

// Prints the notices and the message of a command; 0 when it was done.
int report(const igm::Outcome &outcome)
{
    for (const QString &n : outcome.notices)
        info(n);
    switch (outcome.kind) {
    case igm::Outcome::Kind::Done:
        if (!outcome.message.isEmpty())
            info(outcome.message);
        return 0;
    case igm::Outcome::Kind::Declined:
        error(QStringLiteral("Nothing was changed: give --yes to answer the question with Yes."));
        return 1;
    case igm::Outcome::Kind::Refused:
    case igm::Outcome::Kind::Failed:
        error(outcome.message);
        return 1;
    }
    return 1;
}

igm::Confirm answer(bool yes)
{
    return [yes](const QString &question) {
        info(question + (yes ? QStringLiteral(" Yes") : QStringLiteral(" No")));
        return yes;
    };
}

} // namespace quarl::cli
