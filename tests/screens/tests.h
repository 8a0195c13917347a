#pragma once
// What every screen test file shares: the register of test classes that
// main.cpp runs, and exact texts in failure reports.
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

// A test class by its name without namespaces, and how to make one.
struct TestClass {
    std::string name;
    std::function<std::unique_ptr<QObject>()> make;
};
inline std::vector<TestClass>& testClasses() {
    static std::vector<TestClass> classes;
    return classes;
}
// A static of this type puts a test class in the register.
template <typename Test>
struct Registered {
    Registered() {
        std::string name = Test::staticMetaObject.className();
        name = name.substr(name.rfind(':') + 1);
        testClasses().push_back({name, [] { return std::make_unique<Test>(); }});
    }
};

}  // namespace orvex::screens::test
