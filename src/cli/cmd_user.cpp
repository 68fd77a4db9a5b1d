#include "cli/command.h"
#include "cli/options.h"

#include "store/passwordhash.h"

#include <QTextStream>

#include <cstdio>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace quarl::cli {

namespace {

// One line of standard input, its line end removed; with a terminal, typed unseen.
std::optional<QString> readPasswordLine(const char *prompt)
{
    const bool tty = isatty(STDIN_FILENO);
    termios saved{};
    if (tty) {
        std::fputs(prompt, stderr);
        std::fflush(stderr);
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    bool got = false;
    for (int c; (c = std::fgetc(stdin)) != EOF;) {
        got = true;
        if (c == '\n')
            break;
        line.push_back(char(c));
    }
    if (tty) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputc('\n', stderr);
    }
    if (!got)
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromUtf8(line.data(), qsizetype(line.size()));
}

int user(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sets a user's password. The password is read from standard input (one line), never from the command line."));
    parser.addPositionalArgument(QStringLiteral("passwd"), QStringLiteral("The action: passwd."));
    parser.addPositionalArgument(QStringLiteral("USERID"), QStringLiteral("The user id as stored in loguser."));
    addDatabaseOptions(parser);
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    const QStringList pos = parser.positionalArguments();
    if (pos.size() != 2 || pos.first() != QLatin1String("passwd")) {
        error(QStringLiteral("usage: quarlctl user passwd USERID --db FILE|--dsn NAME"));
        return 1;
    }
    auto db = openDatabaseOrSay(parser);
    if (!db)
        return 1;
    const std::optional<QString> password = readPasswordLine("New password: ");
    if (!password || password->isEmpty()) {
        error(QStringLiteral("No password was given on standard input; nothing changed."));
        return 1;
    }
    if (isatty(STDIN_FILENO) && readPasswordLine("Again: ") != password) {
        error(QStringLiteral("The two passwords differ; nothing changed."));
        return 1;
    }
    if (Status s = setUserPassword(*db, pos.at(1), *password); !s) {
        error(s.failure().numberAndText());
        return 1;
    }
    out(QStringLiteral("Password of %1 changed.").arg(pos.at(1)));
    return 0;
}

const Registration reg(QStringLiteral("user"),
                       QStringLiteral("user passwd USERID --db FILE|--dsn NAME  set a password read from standard input"),
                       user);

} // namespace
} // namespace quarl::cli
