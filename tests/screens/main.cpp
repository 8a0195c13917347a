// Runs the registered screen test classes on the offscreen platform: all of
// them, or only the class named first (CTest runs one entry per class):
//   screens_tests [CLASS] [Qt Test options]
//   screens_tests --expect-classes A,B,C   fails unless exactly these are registered
#include <QApplication>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "tests.h"

using orvex::screens::test::testClasses;

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--expect-classes") {
        std::set<std::string> registered, listed;
        for (const auto& c : testClasses()) registered.insert(c.name);
        std::istringstream names(argv[2]);
        for (std::string name; std::getline(names, name, ',');) listed.insert(name);
        for (const auto& name : registered)
            if (!listed.count(name)) std::fprintf(stderr, "test class %s is missing from the CMake list\n", name.c_str());
        for (const auto& name : listed)
            if (!registered.count(name)) std::fprintf(stderr, "no test class named %s\n", name.c_str());
        return registered == listed ? 0 : 1;
    }
    std::string only;
    if (argc > 1 && argv[1][0] != '-') {
        only = argv[1];
        argv[1] = argv[0];
        ++argv, --argc;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int ran = 0, failed = 0;
    for (const auto& c : testClasses()) {
        if (!only.empty() && c.name != only) continue;
        ++ran;
        failed += QTest::qExec(c.make().get(), argc, argv) != 0;
    }
    if (ran == 0) std::fprintf(stderr, "no screen test class named %s\n", only.c_str());
    return ran > 0 && failed == 0 ? 0 : 1;
}
