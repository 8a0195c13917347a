#pragma once
// Reports for the generator tests, and the generation run expecting success or a refusal.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Generator.h"
#include "ReportDefinition.h"
#include "ReportPlan.h"

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

// Every text in its place: two tables joined, a parameter and a select-option.
inline ReportDefinition everyText(CodeStyle style = CodeStyle::Classic) {
    ReportDefinition r;
    r.name = "ZLIMITS";
    r.description = "Flights";
    r.company = "Company";
    r.author = "AUTHOR";
    r.style = style;
    r.printHeading = true;
    r.fields = {{padded("SCARR"), "CARRID", "Airline"}, {padded("SFLIGHT"), "FLDATE", "Date"}};
    r.selection = {{padded("SFLIGHT"), "FLDATE", "Date", "P;R;20240101"}, {padded("SCARR"), "CARRID", "Airline", "S;N;LH"}};
    r.conditions = {{"SCARR", "CARRID", "=", "SFLIGHT", "CARRID"},
                    {"SFLIGHT", "FLDATE", ">", "SELSCR", "FLDATE"},
                    {"SCARR", "CARRID", "=", "SELSCR", "CARRID"}};
    return r;
}

// A whole line of the source, or a piece of one.
inline bool has(const std::vector<std::string>& src, const std::string& line) {
    return std::find(src.begin(), src.end(), line) != src.end();
}
inline bool mentions(const std::vector<std::string>& src, const std::string& piece) {
    return std::any_of(src.begin(), src.end(), [&](const std::string& l) { return l.find(piece) != std::string::npos; });
}

// Runs the generation and expects success.
inline Generated generated(const ReportDefinition& r) {
    GenerationResult result = GenerateProgram(r);
    if (!result) ADD_FAILURE() << "refused: " << result.failure().reason;
    return result ? std::move(*result) : Generated{};
}

// Plans the report and expects success.
inline ReportPlan planned(const ReportDefinition& r) {
    Result<ReportPlan> result = planReport(r);
    if (!result) ADD_FAILURE() << "refused: " << result.failure().reason;
    return result ? std::move(*result) : ReportPlan{};
}

// Runs the generation and returns its error message ("" when it succeeded).
inline std::string refusal(const ReportDefinition& r) {
    GenerationResult result = GenerateProgram(r);
    return result ? std::string() : result.failure().reason;
}

}  // namespace orvex::test
