#pragma once

#include "core/failure.h"
#include "store/database.h"

#include "manifest/outcome.h"

#include <QCommandLineParser>

#include <optional>

namespace quarl::cli {

// --db FILE and --dsn NAME, shared by every command that works on a company database.
void addDatabaseOptions(QCommandLineParser &parser);
Result<Database> openDatabase(const QCommandLineParser &parser);
// openDatabase() that says on stderr why it failed; nullopt then.
std::optional<Database> openDatabaseOrSay(const QCommandLineParser &parser);

// --vessel V and --voyage N: the voyage a command works on.
void addVoyageOptions(QCommandLineParser &parser);
// Both values as typed; says on stderr what is missing and returns false when one is.
bool voyageKey(const QCommandLineParser &parser, QString *vessel, QString *voyage);

// The voyage key and the database it is in; says on stderr what is missing or failed
// (nullopt then).
std::optional<Database> voyageDatabase(const QCommandLineParser &parser, QString *vessel, QString *voyage);

// One positional FILE; says "COMMAND needs one FILE." when there is not.
bool oneFile(const QCommandLineParser &parser, const char *command);

// --out DIR: where a command writes its files; the installation folder when not given.
extern const QCommandLineOption OutOption;
QString outFolder(const QCommandLineParser &parser);
// --icegate-user ID and --custom-house CODE, given instead of the settings.
extern const QCommandLineOption IceGateUserOption;
extern const QCommandLineOption CustomHouseOption;

// --pg "host=... port=... dbname=... user=...", --password-file FILE, --sslmode MODE and
// --ssl-ca FILE. The password comes from that file (its first line), else from
// QUARL_PG_PASSWORD or PGPASSWORD, else stays empty so that the PostgreSQL client library
// looks in ~/.pgpass. A data source registered with a password keeps it in the password
// store (PgPasswords), never in DataSources.ini.
void addPostgresOptions(QCommandLineParser &parser);
Result<PgParams> postgresParams(const QCommandLineParser &parser);

// Parses args; on a parse error or --help prints and returns false with the exit status.
bool parse(QCommandLineParser &parser, const QStringList &args, int *exitStatus);

// A line of standard input without its line end; at a terminal the prompt goes first, and
// a secret is typed unseen. nullopt at the end of the input.
std::optional<QString> readLine(const char *prompt, bool secret = true);

// --as USERID and --password-file FILE: the Quarl user a command that changes company data
// acts as. The password comes from the file's first line, else from standard input (asked
// for unseen at a terminal); without --as, QUARL_USER and QUARL_PASSWORD name the user, for
// scripts. Never from the command line.
void addActingUserOptions(QCommandLineParser &parser);
// What the user must be granted: the menu entry of the screen that does the same work
// (a menu code of Rights::MenuCode; -1 for an entry the rights never touch), or super-user.
struct Needs
{
    QString screen;        // its caption, for the message
    QList<int> menuCodes;  // each must be granted
    bool superUser = false;
};
// Checks the user and the right in the company database and makes the user the session's,
// so what the command records names it; says on stderr why not (nullopt then).
std::optional<QString> actingUserOrSay(const QCommandLineParser &parser, const Database &db, const Needs &needs);

// --yes: the answer to a command's question.
extern const QCommandLineOption YesOption;
// A confirmation that prints the question with the given answer.
igm::Confirm answer(bool yes);
// Prints the notices and the message of a command; 0 when it was done.
int report(const igm::Outcome &outcome);

} // namespace quarl::cli
