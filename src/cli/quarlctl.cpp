#include "cli/command.h"

#include "core/installation.h"
#include "core/settings.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace quarl::cli {

namespace {
QList<Command> &registry()
{
    static QList<Command> list;
    return list;
}
} // namespace

Registration::Registration(const QString &name, const QString &summary, CommandFn run)
{
    registry().append({name, summary, std::move(run)});
}

const QList<Command> &commands()
{
    return registry();
}

void error(const QString &text)
{
    std::fflush(stdout); // what was printed before stands before it
    QTextStream(stderr) << text << Qt::endl;
}

void info(const QString &text)
{
    std::fflush(stdout);
    QTextStream(stderr) << text << Qt::endl;
}

void out(const QString &text)
{
    // Through the C library's buffer: a check lists a hundred thousand findings at once.
    const QByteArray line = text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
}

} // namespace quarl::cli

namespace {
// Asked for, the usage is the answer and goes to standard output; after a mistake it
// goes to standard error.
void usage(FILE *stream)
{
    QTextStream text(stream);
    text << "usage: quarlctl [--home DIR] COMMAND [ARGS]\n\ncommands:\n";
    QList<quarl::cli::Command> list = quarl::cli::commands();
    std::sort(list.begin(), list.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
    for (const auto &c : list)
        text << "  " << c.summary << "\n";
    text << "\nRun 'quarlctl COMMAND --help' for the options of a command.\n";
}
} // namespace

int main(int argc, char *argv[])
{
    // The reports lay out text and need fonts, which only a GUI application has; it runs
    // without a display.
    bool drawsPages = false;
    for (int i = 1; i < argc; ++i)
        drawsPages = drawsPages || qstrcmp(argv[i], "report") == 0;
    if (drawsPages && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> application(drawsPages ? new QGuiApplication(argc, argv)
                                                              : new QCoreApplication(argc, argv));
    QCoreApplication &app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("quarlctl"));
    QStringList args = app.arguments().mid(1);
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--home"))) {
        const QString a = args.takeFirst();
        if (a.startsWith(QLatin1String("--home="))) {
            quarl::Installation::setOverride(a.mid(7));
        } else if (!args.isEmpty()) {
            quarl::Installation::setOverride(args.takeFirst());
        } else {
            quarl::cli::error(QStringLiteral("--home needs a folder"));
            return 1;
        }
    }
    quarl::Settings::applyFileSharing();
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        usage(args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 1 : 0;
    }
    for (const auto &c : quarl::cli::commands()) {
        if (c.name == args.first())
            return c.run(args);
    }
    quarl::cli::error(QStringLiteral("Unknown command \"%1\".").arg(args.first()));
    usage(stderr);
    return 1;
}
