#pragma once
// Reports for the generator tests, and the generation run expecting success or a refusal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Generator.h"
#include "ReportDefinition.h"

namespace orvex::test {

inline std::string padded(const std::string& table) { return table + std::string(40 - table.size(), ' '); }

// A one-table report with the given fields of SFLIGHT.
inline ReportDefinition flightReport(const std::vector<std::string>& fields) {
    ReportDefinition r;
    r.name = "ZTEST";
    r.description = "Test report";
    for (const std::string& f : fields) r.fields.push_back({padded("SFLIGHT"), f, f + " text"});
    return r;
}

// Runs the generation and expects success.
inline Generated generated(const ReportDefinition& r) {
    GenerationResult result = GenerateProgram(r);
    if (!result) ADD_FAILURE() << "refused: " << result.failure().reason;
    return result ? std::move(*result) : Generated{};
}

// Runs the generation and returns its error message ("" when it succeeded).
inline std::string refusal(const ReportDefinition& r) {
    GenerationResult result = GenerateProgram(r);
    return result ? std::string() : result.failure().reason;
}

}  // namespace orvex::test
