#pragma once
// The designs every execution test runs: each example and each design of
// tests/exec/designs, in both code styles, with the rows counted by hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "ExecHarness.h"
#include "ReportDefinition.h"
#include "TempDir.h"

namespace orvex::exec {

struct DesignCase {
    fs::path file;
    std::optional<std::size_t> rows;  // counted by hand (rows.txt beside it); else any but none
    CodeStyle style = CodeStyle::Classic;
};
inline void PrintTo(const DesignCase& c, std::ostream* os) { *os << c.file.string(); }

// A folder's designs in both styles, with rows.txt's count ("name count what")
inline std::vector<DesignCase> designsIn(const fs::path& folder) {
    std::map<std::string, std::size_t> counted;
    std::istringstream lines(orvex::testing::TempDir::read((folder / "rows.txt").string()));
    for (std::string line, name; std::getline(lines, line);) {
        std::istringstream fields(line);
        if (std::size_t rows = 0; !line.starts_with("#") && fields >> name >> rows) counted[name] = rows;
    }
    std::vector<DesignCase> cases;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".json") continue;
        const auto count = counted.find(entry.path().stem().string());
        const std::optional<std::size_t> rows = count == counted.end() ? std::nullopt : std::optional(count->second);
        for (CodeStyle style : {CodeStyle::Classic, CodeStyle::Modern}) cases.push_back({entry.path(), rows, style});
    }
    return cases;
}

inline std::string testName(const ::testing::TestParamInfo<DesignCase>& info) {
    return info.param.file.stem().string() + (info.param.style == CodeStyle::Modern ? "_modern" : "");
}

}  // namespace orvex::exec
