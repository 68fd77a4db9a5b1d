#pragma once

#include <QObject>

#include <functional>
#include <memory>

namespace quarl::test {

using Factory = std::function<std::unique_ptr<QObject>()>;
int registerTest(const char *name, Factory factory);

} // namespace quarl::test

// Put QUARL_TEST(ClassName) after a QtTest class; the subsystem's test executable runs it.
#define QUARL_TEST(Class)                                                                             \
    static const int quarlTestRegistration_##Class =                                                  \
        quarl::test::registerTest(#Class, [] { return std::unique_ptr<QObject>(new Class); });
