#include "cli/command.h"
#include "cli/options.h"

#include "store/passwordhash.h"

#include <unistd.h>

namespace quarl::cli {

namespace {

int user(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sets a user's password. A super-user of the company sets any user's, every other user only the own, "
        "with the old one. Passwords are read from standard input, one a line, never from the command line: "
        "first the password of the user named by --as, then the new one. At a terminal they are asked for, "
        "unseen, and the user id too when --as is not given."));
    parser.addPositionalArgument(QStringLiteral("passwd"), QStringLiteral("The action: passwd."));
    parser.addPositionalArgument(QStringLiteral("USERID"), QStringLiteral("The user id as stored in loguser."));
    parser.addOption({QStringLiteral("as"),
                      QStringLiteral("The user who sets the password: a super-user of the company, or USERID itself."),
                      QStringLiteral("USERID")});
    addDatabaseOptions(parser);
    int status = 0;
    if (!parse(parser, args, &status))
        return status;
    const QStringList pos = parser.positionalArguments();
    if (pos.size() != 2 || pos.first() != QLatin1String("passwd")) {
        error(QStringLiteral("usage: quarlctl user passwd USERID --db FILE|--dsn NAME [--as USERID]"));
        return 1;
    }
    const QString target = pos.at(1);
    const bool tty = isatty(STDIN_FILENO);
    QString acting = parser.value(QStringLiteral("as"));
    if (acting.isEmpty() && !tty) {
        error(QStringLiteral("Say who sets the password: --as USERID (a super-user, or %1 itself), with that user's "
                             "password as the first line of standard input; nothing changed.")
                  .arg(target));
        return 1;
    }
    auto db = openDatabaseOrSay(parser);
    if (!db)
        return 1;
    if (acting.isEmpty()) {
        const QString ask = QStringLiteral("Your user id (a super-user, or %1 for the own password): ").arg(target);
        acting = readLine(ask.toLocal8Bit().constData(), false).value_or(QString()).trimmed();
        if (acting.isEmpty()) {
            error(QStringLiteral("No user id was given; nothing changed."));
            return 1;
        }
    }
    const QString ask = QStringLiteral("Password of %1: ").arg(acting);
    const QString actingPassword = readLine(ask.toLocal8Bit().constData()).value_or(QString());
    if (Status s = mayChangePassword(*db, acting, actingPassword, target); !s) {
        error(s.failure().numberAndText());
        return 1;
    }
    const std::optional<QString> password = readLine("New password: ");
    if (!password || password->isEmpty()) {
        error(QStringLiteral("No new password was given on standard input; nothing changed."));
        return 1;
    }
    if (tty && readLine("Again: ") != password) {
        error(QStringLiteral("The two passwords differ; nothing changed."));
        return 1;
    }
    if (Status s = setUserPassword(*db, target, *password); !s) {
        error(s.failure().numberAndText());
        return 1;
    }
    out(QStringLiteral("Password of %1 changed.").arg(target));
    return 0;
}

const Registration reg(QStringLiteral("user"),
                       QStringLiteral("user passwd USERID --db FILE|--dsn NAME [--as USERID]  set a password read from standard input"),
                       user);

} // namespace
} // namespace quarl::cli
