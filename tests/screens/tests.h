#pragma once
// What every screen test file shares: the register of test classes that
// main.cpp runs one after another, and exact texts in failure reports.
#include <QObject>
#include <QString>
#include <QTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace QTest {
// Shows the exact text, trailing blanks included, when a comparison fails.
inline char* toString(const std::string& s) {
    return QTest::toString(QString::fromStdString("[" + s + "]"));
}
}  // namespace QTest

namespace orvex::screens::test {

inline std::vector<std::function<std::unique_ptr<QObject>()>>& testClasses() {
    static std::vector<std::function<std::unique_ptr<QObject>()>> classes;
    return classes;
}
// A static of this type puts a test class in the register.
template <typename Test>
struct Registered {
    Registered() {
        testClasses().push_back([] { return std::make_unique<Test>(); });
    }
};

}  // namespace orvex::screens::test
