// Every example and every design of designs/ generated in both code styles,
// transpiled and run: the rows the report hands the ALV are the rows its
// design asks for, and the ALV call (the function modules of the classic
// program, CL_SALV_TABLE of the modern one) carries the columns, texts,
// layout and heading of the design.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>

#include "DesignFile.h"
#include "ExecHarness.h"
#include "ExpectedRows.h"
#include "TempDir.h"
#include "Text.h"

namespace orvex::exec {
namespace {

using nlohmann::json;

struct DesignCase {
    fs::path file;
    std::optional<std::size_t> rows;  // counted by hand from flight_data.json; examples: any but none
    std::string label;                // the test's name
    CodeStyle style = CodeStyle::Classic;
};
void PrintTo(const DesignCase& c, std::ostream* os) { *os << c.file.string(); }

std::string trimmedEnd(std::string_view s) { return std::string(text::trimEnd(s)); }

// What a character field of `length` shows of `value`.
std::string inField(std::string_view value, std::size_t length) { return trimmedEnd(text::prefix(value, length)); }

// The picked field that makes the column (the first one of its name).
const json& pickedField(const json& designJson, const std::string& column) {
    const auto& fields = designJson["fields"];
    return *std::find_if(fields.begin(), fields.end(),
                         [&](const json& f) { return text::trim(f["field"].get<std::string>()) == column; });
}

// The sorted columns of the design, in sort order.
std::vector<std::string> sortedColumns(const json& designJson, const Expected& expected) {
    std::vector<std::pair<int, std::string>> sorted;
    for (const std::string& column : expected.columns)
        if (const int position = pickedField(designJson, column).value("sort_position", 0); position > 0)
            sorted.emplace_back(position, column);
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::string> out;
    for (const auto& [position, column] : sorted) out.push_back(column);
    return out;
}

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
        const json& picked = pickedField(designJson, names[i]);
        EXPECT_EQ(entry["SELTEXT_M"], inField(text::trim(picked.value("description", "")), 20));
        EXPECT_EQ(entry["DO_SUM"], picked.value("total", false) ? "X" : "");
        for (const char* flag : {"KEY", "NO_OUT", "NO_SUM", "HOTSPOT"}) EXPECT_EQ(entry[flag], "") << flag;
    }
    // The sort table: one entry per sorted column, positions from 1 on.
    json sorts = json::array();
    const std::vector<std::string> sorted = sortedColumns(designJson, expected);
    for (std::size_t k = 0; k < sorted.size(); ++k) {
        const json& picked = pickedField(designJson, sorted[k]);
        const bool down = picked.value("sort_descending", false);
        sorts.push_back({{"SPOS", (k < 9 ? "0" : "") + std::to_string(k + 1)}, {"FIELDNAME", sorted[k]},
                         {"TABNAME", "IT_OUTPUT"}, {"UP", down ? "" : "X"}, {"DOWN", down ? "X" : ""},
                         {"SUBTOT", picked.value("subtotal", false) ? "X" : ""}});
    }
    json shownSorts = json::array();
    for (const json& entry : display["IT_SORT"])
        shownSorts.push_back({{"SPOS", entry["SPOS"]}, {"FIELDNAME", entry["FIELDNAME"]}, {"TABNAME", entry["TABNAME"]},
                              {"UP", entry["UP"]}, {"DOWN", entry["DOWN"]}, {"SUBTOT", entry["SUBTOT"]}});
    EXPECT_EQ(shownSorts, sorts);
    // A layout parameter lets every user save layouts of the report and
    // starts with the default layout: the stand-in's first saved one, /ORVEX.
    const bool layout = designJson.value("layout_variant", false);
    EXPECT_EQ(display["I_SAVE"], layout ? "A" : "");
    EXPECT_EQ(display["IS_VARIANT"]["VARIANT"], layout ? "/ORVEX" : "");
    EXPECT_EQ(display["IS_VARIANT"]["REPORT"], layout ? designJson.at("name") : json(""));
    EXPECT_EQ(run.callsOf("REUSE_ALV_VARIANT_DEFAULT_GET").size(), layout ? 1u : 0u);
    EXPECT_TRUE(run.callsOf("REUSE_ALV_VARIANT_F4").empty()) << "the value help runs only when asked for";

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

// What the modern program hands CL_SALV_TABLE: the list or grid, every
// function, one text per column with a description (cut to the lengths of
// SAP's short, medium and long column texts), its own layouts savable by
// everyone, no sort or aggregation, and the heading with the date above the
// grid or at the top of the list's page.
void expectSalvCall(const json& designJson, const Expected& expected, const ReportRun& run) {
    const bool grid = designJson.value("grid", true), heading = designJson.value("print_heading", false);
    EXPECT_TRUE(run.callsOf("REUSE_ALV_GRID_DISPLAY").empty() && run.callsOf("REUSE_ALV_LIST_DISPLAY").empty());
    const std::vector<json> factory = run.callsOf("CL_SALV_TABLE=>FACTORY");
    ASSERT_EQ(factory.size(), 1u) << run.describe();
    EXPECT_EQ(factory[0]["LIST_DISPLAY"], grid ? "" : "X");
    const json display = run.salvDisplay();
    ASSERT_FALSE(display.is_null()) << "one CL_SALV_TABLE->DISPLAY expected\n" << run.describe();
    EXPECT_EQ(display["FUNCTIONS"]["ALL"], "X");
    EXPECT_EQ(display["COLUMNS"]["OPTIMIZE"], "X");

    json texts = json::array();
    for (const std::string& column : expected.columns) {
        const std::string description(text::trim(pickedField(designJson, column).value("description", "")));
        if (description.empty()) continue;
        texts.push_back({{"COLUMNNAME", column},
                         {"SHORT_TEXT", inField(description, 10)},
                         {"MEDIUM_TEXT", inField(description, 20)},
                         {"LONG_TEXT", inField(description, 40)}});
    }
    EXPECT_EQ(display["COLUMNS"]["COLUMNS"], texts);
    EXPECT_EQ(display["LAYOUT"]["REPORT"], designJson.at("name"));
    EXPECT_EQ(display["LAYOUT"]["SAVE_RESTRICTION"], "NONE");
    // The layout parameter starts at the default layout (the stand-in's
    // first saved one, /ORVEX), which the ALV takes as its initial layout.
    const bool layout = designJson.value("layout_variant", false);
    EXPECT_EQ(display["LAYOUT"]["INITIAL_LAYOUT"], layout ? "/ORVEX" : "");
    EXPECT_EQ(display["LAYOUT"]["DEFAULT"], layout ? "X" : "");
    EXPECT_EQ(run.callsOf("REUSE_ALV_VARIANT_DEFAULT_GET").size(), layout ? 1u : 0u);

    json sorts = json::array(), aggregations = json::array();
    const std::vector<std::string> sorted = sortedColumns(designJson, expected);
    for (std::size_t k = 0; k < sorted.size(); ++k) {
        const json& picked = pickedField(designJson, sorted[k]);
        sorts.push_back({{"COLUMNNAME", sorted[k]}, {"POSITION", std::to_string(k + 1)},
                         {"SEQUENCE", picked.value("sort_descending", false) ? "DOWN" : "UP"},
                         {"SUBTOTAL", picked.value("subtotal", false) ? "X" : ""}, {"GROUP", "0"}});
    }
    for (const std::string& column : expected.columns)
        if (pickedField(designJson, column).value("total", false))
            aggregations.push_back({{"COLUMNNAME", column}, {"AGGREGATION", "TOTAL"}});
    EXPECT_EQ(display["SORTS"], sorts);
    EXPECT_EQ(display["AGGREGATIONS"], aggregations);

    const std::vector<json> topOfPage = run.callsOf("TOP_OF_PAGE");
    json headingCells = nullptr;
    if (heading) {
        const std::string headingText = trimmedEnd(designJson.value("heading", "<Report Heading>"));
        headingCells = {{{"ROW", "1"}, {"COLUMN", "1"}, {"KIND", "HEADER_INFORMATION"}, {"TEXT", headingText}},
                        {{"ROW", "2"}, {"COLUMN", "1"}, {"KIND", "TEXT"}, {"TEXT", "Date: 03/01/2024"}}};
    }
    if (grid) {
        EXPECT_EQ(display["TOP_OF_LIST"], headingCells);
        EXPECT_TRUE(topOfPage.empty());
    } else {
        EXPECT_EQ(display["TOP_OF_LIST"], nullptr);
        ASSERT_EQ(topOfPage.size(), 1u) << run.describe();
        EXPECT_EQ(topOfPage[0]["CONTENT"], headingCells);
    }
}

// The SALV stand-in's rows keyed by the expected columns; a row with more or
// fewer cells than columns is a fault of its own.
std::vector<json> salvRows(const ReportRun& run, const Expected& expected) {
    std::vector<json> rows;
    for (const json& cells : run.cells()) {
        EXPECT_EQ(cells.size(), expected.columns.size()) << cells;
        json row = json::object();
        for (std::size_t i = 0; i < cells.size() && i < expected.columns.size(); ++i) row[expected.columns[i]] = cells[i];
        rows.push_back(std::move(row));
    }
    return rows;
}

class ReportRuns : public ::testing::TestWithParam<DesignCase> {};

TEST_P(ReportRuns, showsTheRowsItsDesignAsksFor) {
    const std::string missing = toolsMissing();
    ASSERT_TRUE(missing.empty()) << missing;
    const DesignCase& c = GetParam();
    const std::string text = orvex::testing::TempDir::read(c.file.string());
    const json designJson = json::parse(text);
    Result<ReportDefinition> design = parseDesign(text);
    ASSERT_TRUE(design) << design.failure().reason;
    if (!design->author) design->author = "TESTER";
    design->style = c.style;

    const Expected expected = expectedRows(designJson);
    if (c.rows) {
        EXPECT_EQ(expected.rows.size(), *c.rows) << expected.sql;
    } else {
        EXPECT_FALSE(expected.rows.empty()) << "the example shows nothing with the data set: " << expected.sql;
    }

    const ReportRun run = runReport(*design);
    ASSERT_TRUE(run.ok()) << run.describe();
    EXPECT_EQ(run.errors(), std::vector<std::string>());
    const bool modern = c.style == CodeStyle::Modern;
    const std::vector<Row> shown = shownRows(modern ? salvRows(run, expected) : run.rows(), expected);
    const long long limit = designJson.value("max_rows", 0LL);
    if (limit > 0 && static_cast<std::size_t>(limit) < expected.rows.size()) {
        // Which rows a limit lets through is the database's choice: as many
        // as the limit, each one a row of the report.
        EXPECT_EQ(shown.size(), static_cast<std::size_t>(limit)) << run.describe();
        std::vector<Row> extra;
        std::set_difference(shown.begin(), shown.end(), expected.rows.begin(), expected.rows.end(), std::back_inserter(extra));
        EXPECT_TRUE(extra.empty()) << rowDifference(expected.rows, shown);
    } else {
        EXPECT_EQ(shown, expected.rows) << "rows that differ from " << expected.sql << "\n"
                                        << rowDifference(expected.rows, shown);
    }
    if (modern) {
        expectSalvCall(designJson, expected, run);
    } else {
        expectAlvCall(designJson, expected, run);
    }
}

std::string testName(const ::testing::TestParamInfo<DesignCase>& info) { return info.param.label; }

std::vector<DesignCase> examples() {
    std::vector<DesignCase> cases;
    for (const auto& entry : fs::directory_iterator(sourceDir() / "examples"))
        if (entry.path().extension() == ".json") cases.push_back({entry.path(), std::nullopt, entry.path().stem().string()});
    std::sort(cases.begin(), cases.end(), [](const DesignCase& a, const DesignCase& b) { return a.label < b.label; });
    return cases;
}

// The same designs as the modern program.
std::vector<DesignCase> modern(std::vector<DesignCase> cases) {
    for (DesignCase& c : cases) c.style = CodeStyle::Modern;
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Examples, ReportRuns, ::testing::ValuesIn(examples()), testName);
INSTANTIATE_TEST_SUITE_P(ModernExamples, ReportRuns, ::testing::ValuesIn(modern(examples())), testName);

DesignCase design(const char* name, std::size_t rows) { return {sourceDir() / "tests/exec/designs" / (std::string(name) + ".json"), rows, name}; }

// Each operator against a parameter, blanks, dates, amounts, numeric text;
// select-options with and without a value; two and three tables joined by
// =, <> and <. The counts follow from flight_data.json.
const std::vector<DesignCase> kDesigns{
    design("param_equal", 4),               // LH's four flights
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
    design("one_table_all_rows", 8),        // the connection without destination too
    design("every_flight_column", 9),       // every flight; columns without a text, texts past 10, 20, 40
    design("outer_carriers_flights", 12),   // nine flights, and SQ, JL and ZZ once with an initial flight
    design("outer_after_inner", 4),         // LH's connections: 0400 twice, 0402 and 2402 once
    design("sort_subtotal_total", 9),       // sorted by three columns, two of them down, two totals
    design("row_limit", 9),                 // three of the nine flights
    design("row_limit_zero_layout", 8),     // 0 reads every connection; the layout parameter
    design("every_option", 12),             // outer join, select-option, sort, totals, layout, limit above the rows
};
INSTANTIATE_TEST_SUITE_P(Designs, ReportRuns, ::testing::ValuesIn(kDesigns), testName);
INSTANTIATE_TEST_SUITE_P(ModernDesigns, ReportRuns, ::testing::ValuesIn(modern(kDesigns)), testName);

}  // namespace
}  // namespace orvex::exec
