// Runs every registered screen test class on the offscreen platform.
#include <QApplication>

#include "tests.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int failed = 0;
    for (const auto& make : orvex::screens::test::testClasses()) failed += QTest::qExec(make().get(), argc, argv);
    return failed == 0 ? 0 : 1;
}
