#include "common/testmain.h"

#include <QApplication>
#include <QList>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace quarl::test {

namespace {
struct Entry
{
    const char *name;
    Factory factory;
};
QList<Entry> &entries()
{
    static QList<Entry> list;
    return list;
}
} // namespace

int registerTest(const char *name, Factory factory)
{
    entries().append({name, std::move(factory)});
    return int(entries().size());
}

} // namespace quarl::test

// Runs every registered test class; "-class NAME" picks one, other arguments go to QtTest.
int main(int argc, char *argv[])
{
    // No test reads or writes the installation of the person running them: until a test
    // names its own, the installation folder is an empty one of this run (inherited by the
    // quarlctl processes the tests start).
    QTemporaryDir home;
    if (!home.isValid()) {
        std::fprintf(stderr, "no temporary folder for the installation: %s\n", qPrintable(home.errorString()));
        return 2;
    }
    qputenv("QUARL_HOME", home.path().toLocal8Bit());
    // quarlctl's commands that change company data act as the default user of a new
    // company, as a script would name it; the tests of that rule set their own.
    qputenv("QUARL_USER", "QUARL");
    qputenv("QUARL_PASSWORD", "TOVEK");
    // Nor the keyring or the PostgreSQL password file of that person: a test that needs
    // a keyring puts one of its own in place.
    qputenv("QUARL_SECRET_SERVICE", "0");
    qputenv("PGPASSFILE", (home.path() + QStringLiteral("/pgpass")).toLocal8Bit());
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    QString only;
    const int at = int(args.indexOf(QStringLiteral("-class")));
    if (at >= 0 && at + 1 < args.size()) {
        only = args.at(at + 1);
        args.remove(at, 2);
    }
    int failed = 0;
    int ran = 0;
    for (const auto &e : quarl::test::entries()) {
        if (!only.isEmpty() && only != QLatin1String(e.name))
            continue;
        std::unique_ptr<QObject> obj = e.factory();
        failed += QTest::qExec(obj.get(), args) != 0 ? 1 : 0;
        ++ran;
    }
    std::printf("%d test classes run, %d failed\n", ran, failed);
    return (failed == 0 && ran > 0) ? 0 : 1;
}
