// Runs the registered screen test classes on the offscreen platform: all of
// them, or only the class named first (CTest runs one entry per class):
//   screens_tests [CLASS] [Qt Test options]
//   screens_tests --expect-classes A,B,C   fails unless exactly these are registered
#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tests.h"

using orvex::screens::test::testClasses;

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--expect-classes") {
        std::string registered;
        auto names = testClasses();
        std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
        for (const auto& c : names) registered += (registered.empty() ? "" : ",") + c.name;
        std::string listed = argv[2];
        std::vector<std::string> parts;
        for (std::size_t at = 0; at <= listed.size();) {
            const std::size_t end = std::min(listed.find(',', at), listed.size());
            parts.push_back(listed.substr(at, end - at));
            at = end + 1;
        }
        std::sort(parts.begin(), parts.end());
        listed.clear();
        for (const auto& p : parts) listed += (listed.empty() ? "" : ",") + p;
        if (listed == registered) return 0;
        std::fprintf(stderr, "test classes registered: %s\nlisted in CMake:         %s\n", registered.c_str(),
                     listed.c_str());
        return 1;
    }
    std::string only;
    if (argc > 1 && argv[1][0] != '-') {
        only = argv[1];
        argv[1] = argv[0];
        ++argv, --argc;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int failed = 0, ran = 0;
    for (const auto& c : testClasses()) {
        if (!only.empty() && c.name != only) continue;
        ++ran;
        failed += QTest::qExec(c.make().get(), argc, argv) != 0;
    }
    if (ran == 0) {
        std::fprintf(stderr, "no screen test class named %s\n", only.c_str());
        return 1;
    }
    return failed == 0 ? 0 : 1;
}
