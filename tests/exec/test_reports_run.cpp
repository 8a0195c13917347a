// Every example and every design of designs/ generated, transpiled and run:
// the rows the report hands the ALV are the rows its design asks for, and
// the ALV call carries the field catalogue, events and heading of the design.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>

#include "DesignFile.h"
#include "ExecHarness.h"
#include "ExpectedRows.h"
#include "Text.h"

namespace orvex::exec {
namespace {

using nlohmann::json;

struct DesignCase {
    fs::path file;
    std::optional<std::size_t> rows;  // counted by hand from flight_data.json; examples: any but none
    std::string label;                // the test's name
};
void PrintTo(const DesignCase& c, std::ostream* os) { *os << c.file.string(); }

std::string trimmedEnd(std::string_view s) { return std::string(text::trimEnd(s)); }

// What a character field of `length` shows of `value`.
std::string inField(std::string_view value, std::size_t length) { return trimmedEnd(text::prefix(value, length)); }

void expectAlvCall(const json& designJson, const Expected& expected, const ReportRun& run) {
    const bool grid = designJson.value("grid", true), heading = designJson.value("print_heading", false);
    const json display = run.display();
    ASSERT_FALSE(display.is_null()) << "one call of the ALV display expected\n" << run.describe();
    EXPECT_EQ(display["call"], grid ? "REUSE_ALV_GRID_DISPLAY" : "REUSE_ALV_LIST_DISPLAY");
    EXPECT_EQ(display["I_CALLBACK_PROGRAM"], designJson.at("name"));

    // One catalogue entry per column, in the output table's order.
    std::vector<std::string> names;
    for (const json& entry : display["IT_FIELDCAT"]) names.push_back(entry["FIELDNAME"]);
    ASSERT_EQ(names, expected.columns);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const json& entry = display["IT_FIELDCAT"][i];
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(entry["REF_TABNAME"], expected.tables[i]);
        EXPECT_EQ(entry["TABNAME"], "IT_OUTPUT");
        const auto picked = std::find_if(designJson["fields"].begin(), designJson["fields"].end(),
                                         [&](const json& f) { return text::trim(f["field"].get<std::string>()) == names[i]; });
        EXPECT_EQ(entry["SELTEXT_M"], inField(text::trim(picked->value("description", "")), 20));
        for (const char* flag : {"KEY", "NO_OUT", "DO_SUM", "NO_SUM", "HOTSPOT"}) EXPECT_EQ(entry[flag], "") << flag;
    }
    // No sort, no layout to keep: the ALV shows the rows as read.
    EXPECT_EQ(display["IT_SORT"], json::array());
    EXPECT_EQ(display["I_SAVE"], "");
    EXPECT_EQ(display["IS_VARIANT"]["VARIANT"], "");
    EXPECT_EQ(display["IS_VARIANT"]["REPORT"], "");

    // The event table is always built; it reaches the ALV with the heading only.
    const std::vector<json> eventsGet = run.callsOf("REUSE_ALV_EVENTS_GET");
    ASSERT_EQ(eventsGet.size(), 1u);
    EXPECT_EQ(eventsGet[0]["I_LIST_TYPE"], "0");
    const json topOfPage = json::array({{{"NAME", "TOP_OF_PAGE"}, {"FORM", "TOP_OF_PAGE"}}});
    EXPECT_EQ(display["IT_EVENTS"], heading ? topOfPage : json::array());

    const std::string headingText = inField(designJson.value("heading", "<Report Heading>"), 60);
    const std::vector<json> commentary = run.callsOf("REUSE_ALV_COMMENTARY_WRITE");
    if (heading && grid) {
        ASSERT_EQ(commentary.size(), 1u) << run.describe();
        const json& lines = commentary[0]["IT_LIST_COMMENTARY"];
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0]["TYP"], "H");
        EXPECT_EQ(lines[0]["INFO"], headingText);
        EXPECT_EQ(lines[1]["TYP"], "S");
        EXPECT_TRUE(lines[1]["INFO"].get<std::string>().starts_with("DATE:")) << lines[1];
    } else {
        EXPECT_TRUE(commentary.empty());
    }
    if (!grid) {
        EXPECT_EQ(run.listOutput.find(headingText) != std::string::npos, heading) << run.listOutput;
    }
}

class ReportRuns : public ::testing::TestWithParam<DesignCase> {};

TEST_P(ReportRuns, showsTheRowsItsDesignAsksFor) {
    const std::string missing = toolsMissing();
    ASSERT_TRUE(missing.empty()) << missing;
    const DesignCase& c = GetParam();
    std::ifstream in(c.file);
    std::stringstream text;
    text << in.rdbuf();
    const json designJson = json::parse(text.str());
    Result<ReportDefinition> design = parseDesign(text.str());
    ASSERT_TRUE(design) << design.failure().reason;
    if (!design->author) design->author = "TESTER";

    const Expected expected = expectedRows(designJson);
    if (c.rows) {
        EXPECT_EQ(expected.rows.size(), *c.rows) << expected.sql;
    } else {
        EXPECT_FALSE(expected.rows.empty()) << "the example shows nothing with the data set: " << expected.sql;
    }

    const ReportRun run = runReport(*design);
    ASSERT_TRUE(run.ok()) << run.describe();
    EXPECT_EQ(run.errors(), std::vector<std::string>());
    const std::vector<Row> shown = shownRows(run.rows(), expected);
    EXPECT_EQ(shown, expected.rows) << "rows that differ from " << expected.sql << "\n"
                                    << rowDifference(expected.rows, shown);
    expectAlvCall(designJson, expected, run);
}

std::string testName(const ::testing::TestParamInfo<DesignCase>& info) { return info.param.label; }

std::vector<DesignCase> examples() {
    std::vector<DesignCase> cases;
    for (const auto& entry : fs::directory_iterator(sourceDir() / "examples"))
        if (entry.path().extension() == ".json") cases.push_back({entry.path(), std::nullopt, entry.path().stem().string()});
    std::sort(cases.begin(), cases.end(), [](const DesignCase& a, const DesignCase& b) { return a.label < b.label; });
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Examples, ReportRuns, ::testing::ValuesIn(examples()), testName);

DesignCase design(const char* name, std::size_t rows) { return {sourceDir() / "tests/exec/designs" / (std::string(name) + ".json"), rows, name}; }

// Each operator against a parameter, blanks, dates, amounts, numeric text;
// select-options with and without a value; two and three tables joined by
// =, <> and <. The counts follow from flight_data.json.
INSTANTIATE_TEST_SUITE_P(Designs, ReportRuns,
                         ::testing::Values(design("param_equal", 4),               // LH's four flights
                                           design("param_not_equal", 5),           // the other five
                                           design("param_less_amount", 2),         // the two at 0.00, not the three at 422.94
                                           design("param_greater_date", 3),        // after 15 January 2024
                                           design("param_greater_integer", 3),     // more than 300 seats taken
                                           design("param_blank_text", 1),          // ZZ, the airline without a name
                                           design("param_blank_date", 1),          // the flight without a date
                                           design("param_numeric_text", 1),        // "17" is connection 0017
                                           design("selopt_value", 3),              // "aa" is AA
                                           design("selopt_blank_and_date", 4),     // an empty select-option filters nothing
                                           design("selopt_operator_ignored", 2),   // "<>" against a select-option is IN
                                           design("shortened_inputs", 1),          // s_SEATSO, s_SEATS2, P_SEATSO
                                           design("join_two_tables", 9),           // SQ, JL and ZZ have no flights
                                           design("join_three_tables", 6),         // flights from Frankfurt
                                           design("join_flight_first", 4),         // LH's flights, times and distances
                                           design("join_not_equal", 2),            // UA's flights in EUR and in none
                                           design("join_less", 15),                // each connection with the airlines before its own
                                           design("same_field_two_tables", 9),     // one CARRID column, from SFLIGHT
                                           design("one_table_all_rows", 8)),       // the connection without destination too
                         testName);

}  // namespace
}  // namespace orvex::exec
