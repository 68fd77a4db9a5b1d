#include "common/testmain.h"

#include <QApplication>
#include <QList>
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
