#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace quarl::cli {

// A quarlctl command: gets its own arguments (the command name first, as argv[0] would
// be) and returns the exit status: 0 done, 1 refused or failed.
using CommandFn = std::function<int(const QStringList &args)>;

struct Command
{
    QString name;
    QString summary;
    CommandFn run;
};

// Each command file registers its commands with a static Registration.
class Registration
{
public:
    Registration(const QString &name, const QString &summary, CommandFn run);
};

const QList<Command> &commands();

// Messages go to stderr, results to stdout.
void error(const QString &text);
void info(const QString &text);
void out(const QString &text);

} // namespace quarl::cli
