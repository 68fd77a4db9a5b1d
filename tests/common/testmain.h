#pragma once

#include <QObject>
#include <QString>
#include <QTest>

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

// Fails the test with the failure's number and text when a Status or Result is not ok:
// QUARL_VERIFY_OK(saveBillOfLading(db, bl));
#define QUARL_VERIFY_OK(expr)                                                                         \
    do {                                                                                              \
        const auto &quarlVerified_ = (expr);                                                          \
        if (!quarlVerified_.isOk()) {                                                                 \
            QTest::qFail(qPrintable(QStringLiteral(#expr " is not ok: ")                              \
                                    + quarlVerified_.failure().numberAndText()),                      \
                         __FILE__, __LINE__);                                                         \
            return;                                                                                   \
        }                                                                                             \
    } while (false)
