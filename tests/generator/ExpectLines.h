#pragma once
// Compares generated lines with the expected ones and reports the first
// difference with both lines in brackets, so that blanks show.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Generator.h"
#include "ReportDefinition.h"

namespace orvex::test {

inline ::testing::AssertionResult sameLines(const std::vector<std::string>& actual,
                                            const std::vector<std::string>& expected) {
    for (std::size_t i = 0; i < actual.size() && i < expected.size(); ++i)
        if (actual[i] != expected[i])
            return ::testing::AssertionFailure() << "line " << i << " differs:\n  actual   [" << actual[i]
                                                 << "]\n  expected [" << expected[i] << "]";
    if (actual.size() != expected.size()) {
        std::size_t i = std::min(actual.size(), expected.size());
        return ::testing::AssertionFailure()
               << actual.size() << " lines instead of " << expected.size() << "; first extra line " << i << ": ["
               << (i < actual.size() ? actual[i] : expected[i]) << "]";
    }
    return ::testing::AssertionSuccess();
}

#define EXPECT_LINES(actual, expected) EXPECT_TRUE(::orvex::test::sameLines((actual), (expected)))

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
    if (auto* e = std::get_if<GenerationError>(&result)) ADD_FAILURE() << "refused: " << e->message;
    return std::holds_alternative<Generated>(result) ? std::get<Generated>(std::move(result)) : Generated{};
}

// Runs the generation and returns its error message ("" when it succeeded).
inline std::string refusal(const ReportDefinition& r) {
    GenerationResult result = GenerateProgram(r);
    auto* e = std::get_if<GenerationError>(&result);
    return e ? e->message : std::string();
}

}  // namespace orvex::test
