// Runs every screen test class on the offscreen platform.
#include <QApplication>

#include "tests.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    using namespace orvex::screens::test;
    TestMainWindow mainWindow;
    TestSettings settings;
    TestSplash splash;
    TestTables tables;
    TestFields fields;
    TestSelectionScreen selection;
    TestConditions conditions;
    TestWizard wizard;
    int failed = 0;
    for (QObject* t : std::initializer_list<QObject*>{&mainWindow, &settings, &splash, &tables, &fields, &selection,
                                                      &conditions, &wizard})
        failed += QTest::qExec(t, argc, argv);
    return failed == 0 ? 0 : 1;
}
