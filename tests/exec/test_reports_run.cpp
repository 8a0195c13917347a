// Every example and design of designs/ generated in both styles, transpiled
// and run: the ALV gets the rows the design asks for, in the display it names,
// and the preview on the embedded sandbox shows the rows the program shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>

#include "AbapValues.h"
#include "DesignCases.h"
#include "DesignFile.h"
#include "ExecHarness.h"
#include "ExpectedRows.h"
#include "ReportPlan.h"
#include "ReportQuery.h"
#include "TempDir.h"
#include "Text.h"
#include "sap/BackendFactory.h"
#include "sap/Operations.h"

namespace orvex::exec {
namespace {

using nlohmann::json;

// The display the design names called once, one catalogue entry per column.
void expectDisplay(const json& designJson, const Expected& expected, const ReportRun& run, bool modern) {
    const bool grid = designJson.value("grid", true);
    const std::vector<json> display = run.callsOf(grid ? "REUSE_ALV_GRID_DISPLAY" : "REUSE_ALV_LIST_DISPLAY");
    const std::vector<json> factory = run.callsOf("CL_SALV_TABLE=>FACTORY");
    EXPECT_TRUE(run.callsOf(grid ? "REUSE_ALV_LIST_DISPLAY" : "REUSE_ALV_GRID_DISPLAY").empty()) << run.describe();
    EXPECT_EQ(run.callsOf("CL_SALV_TABLE->DISPLAY").size(), modern ? 1u : 0u) << run.describe();
    ASSERT_EQ(display.size(), modern ? 0u : 1u) << run.describe();
    ASSERT_EQ(factory.size(), modern ? 1u : 0u) << run.describe();
    if (modern) {
        EXPECT_EQ(factory[0]["LIST_DISPLAY"], grid ? "" : "X");
        return;
    }
    EXPECT_EQ(display[0]["I_CALLBACK_PROGRAM"], designJson.at("name"));
    std::vector<std::string> names, tables;
    for (const json& entry : display[0]["IT_FIELDCAT"]) {
        names.push_back(entry["FIELDNAME"]);
        tables.push_back(entry["REF_TABNAME"]);
    }
    EXPECT_EQ(names, expected.columns);
    EXPECT_EQ(tables, expected.tables);
}

// One sandbox for every case, created on first use.
sap::Operations& sandbox() {
    static orvex::testing::TempDir dir;
    static const std::unique_ptr<sap::Operations> operations = sap::makeRfcOperations(
        {"DEVELOPER", "sandbox", "00", "SBX", "sandbox", "001"}, sap::backendFactory(dir.file("orvex-sandbox.db")));
    return *operations;
}

// The field types as the selection screen knows them.
std::optional<FieldType> typeOf(const std::string& table, const std::string& field) {
    const DictTable* t = findTable(table);
    if (!t) return std::nullopt;
    for (const DictField& f : t->fields)
        if (f.name == field) return FieldType{f.type, f.length};
    return std::nullopt;
}

// The preview of the design on the sandbox (whose demo rows the runs get
// too), with the inputs' defaults, shows the rows the program showed.
void expectPreviewShows(const ReportDefinition& design, const Expected& expected, const std::vector<Row>& shown) {
    Result<ReportPlan> plan = planReport(design);
    ASSERT_TRUE(plan) << plan.failure().reason;
    Result<ReportQuery> query = bindQuery(*plan, {}, typeOf);
    ASSERT_TRUE(query) << query.failure().reason;
    Result<sap::DataPreview> preview = sandbox().previewData(*query, {1000000, true});
    ASSERT_TRUE(preview) << preview.failure().reason;
    std::vector<std::string> names;
    for (const sap::PreviewColumn& column : preview->columns) names.push_back(column.name);
    ASSERT_EQ(names, expected.columns);
    std::vector<Row> previewed;
    for (const std::vector<std::string>& values : preview->rows) {
        Row& row = previewed.emplace_back();
        for (std::size_t i = 0; i < values.size(); ++i) row.push_back(canonicalValue(*expected.fields[i], values[i]));
    }
    std::sort(previewed.begin(), previewed.end());
    EXPECT_EQ(preview->totalRows, shown.size());
    if (query->rowLimit && *query->rowLimit < expected.rows.size()) {
        // As many rows as the program shows, each one of the query's, the same
        // first ones of the report's order where it sorts.
        EXPECT_EQ(previewed.size(), shown.size());
        EXPECT_TRUE(std::includes(expected.rows.begin(), expected.rows.end(), previewed.begin(), previewed.end()))
            << rowDifference(expected.rows, previewed);
        EXPECT_EQ(sortKeys(previewed, expected), sortKeys(shown, expected));
    } else {
        EXPECT_TRUE(previewed == shown) << "rows the preview shows (not expected) and the program (missing):\n"
                                    << rowDifference(shown, previewed);
    }
}

class ReportRuns : public ::testing::TestWithParam<DesignCase> {};

TEST_P(ReportRuns, showsTheRowsItsDesignAsksForAsItsPreviewDoes) {
    ASSERT_EQ(toolsMissing(), "");
    const DesignCase& c = GetParam();
    const std::string text = orvex::testing::TempDir::read(c.file.string());
    const json designJson = json::parse(text);
    Result<ReportDefinition> design = parseDesign(text);
    ASSERT_TRUE(design) << design.failure().reason;
    if (!design->author) design->author = "TESTER";
    design->style = c.style;

    const Expected expected = expectedRows(designJson);
    EXPECT_FALSE(expected.rows.empty()) << "the design shows nothing with the data set: " << expected.sql;
    EXPECT_EQ(expected.rows.size(), c.rows.value_or(expected.rows.size())) << "rows counted by hand: " << expected.sql;

    const ReportRun run = runReport(*design);
    ASSERT_TRUE(run.ok()) << run.describe();
    EXPECT_EQ(run.valuesOf("error"), std::vector<json>());
    const bool modern = c.style == CodeStyle::Modern;
    const std::vector<Row> shown = shownRows(run.valuesOf(modern ? "cells" : "row"), expected);
    const long long limit = designJson.value("max_rows", 0LL);
    if (limit > 0 && static_cast<std::size_t>(limit) < expected.rows.size()) {
        EXPECT_EQ(shown.size(), static_cast<std::size_t>(limit)) << run.describe();
        EXPECT_TRUE(std::includes(expected.rows.begin(), expected.rows.end(), shown.begin(), shown.end()))
            << rowDifference(expected.rows, shown);
        // A sorted report keeps the first rows of its order (compared by sort columns).
        if (!expected.ordered.empty()) {
            const std::vector<Row> kept =
                sortKeys(std::vector<Row>(expected.ordered.begin(), expected.ordered.begin() + limit), expected);
            const std::vector<Row> shownKeys = sortKeys(shown, expected);
            EXPECT_EQ(shownKeys, kept) << "sort columns of the rows kept, against the first " << limit << " by "
                                       << expected.sql << "\n" << rowDifference(kept, shownKeys);
        }
    } else {
        EXPECT_EQ(shown, expected.rows) << "rows that differ from " << expected.sql << "\n"
                                        << rowDifference(expected.rows, shown);
    }
    expectDisplay(designJson, expected, run, modern);
    // A program that checks (the modern style's default) asks for each table it reads, to display it.
    std::vector<json> checks;
    if (checksAuthority(*design))
        for (const std::string& table : reportTables(*design))
            checks.push_back({{"call", "VIEW_AUTHORITY_CHECK"}, {"VIEW_ACTION", "S"}, {"VIEW_NAME", text::upper(table)}});
    EXPECT_EQ(run.callsOf("VIEW_AUTHORITY_CHECK"), checks) << run.describe();
    expectPreviewShows(*design, expected, shown);
}

// A table the user may not display ends the report with one message naming
// it, before the ALV gets anything; the tables before it were checked too.
// Allowed, the classic program that checks shows its rows.
TEST(TableAuthorisations, aRefusedTableEndsTheReportBeforeItsRowsAreShown) {
    ASSERT_EQ(toolsMissing(), "");
    Result<ReportDefinition> design = loadDesignFile((sourceDir() / "examples/connections_from_city.json").string());
    ASSERT_TRUE(design) << design.failure().reason;
    design->author = "TESTER";
    design->authorityCheck = true;
    const std::vector<std::string> tables = reportTables(*design);
    ASSERT_EQ(tables.size(), 3u);
    const struct {
        CodeStyle style;
        bool refused;
    } cases[] = {{CodeStyle::Classic, false}, {CodeStyle::Classic, true}, {CodeStyle::Modern, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.style == CodeStyle::Modern ? "modern" : "classic") + (c.refused ? ", refused" : ""));
        design->style = c.style;
        const ReportRun run = runReport(*design, c.refused ? std::vector<std::string>{tables.back()} : std::vector<std::string>{});
        ASSERT_TRUE(run.ok()) << run.describe();
        EXPECT_EQ(run.callsOf("VIEW_AUTHORITY_CHECK").size(), tables.size()) << run.describe();
        if (!c.refused) {
            EXPECT_FALSE(run.valuesOf("row").empty()) << run.describe();
            continue;
        }
        EXPECT_EQ(run.listOutput, "No authorisation to display table " + tables.back() + "\n");
        // After the selection screen (its labels), nothing but the checks.
        for (const json& call : run.calls) {
            if (call.value("call", "") == "SCREEN_LABEL") continue;
            EXPECT_EQ(call.value("call", ""), "VIEW_AUTHORITY_CHECK") << run.describe();
        }
    }
}

// Labels from the dictionary arrive in the logon language: on the selection
// screen, in the classic field catalogue (the ALV's own texts, by the
// reference field) and as SALV's own column texts (the report sets none);
// typed descriptions stay as typed, and without the key every text is typed.
TEST(DictionaryTexts, labelsComeInTheLogonLanguageAndTypedTextsStay) {
    ASSERT_EQ(toolsMissing(), "");
    Result<ReportDefinition> design =
        loadDesignFile((sourceDir() / "tests/generator/designs/dictionary_texts.json").string());
    ASSERT_TRUE(design) << design.failure().reason;
    design->author = "TESTER";
    const struct {
        CodeStyle style;
        std::optional<TextSource> texts;
        const char* language;
        std::vector<std::string> labels;   // the inputs' labels as shown, the options' after them
        std::vector<std::string> headings;  // CARRNAME, FLDATE, PRICE: the catalogue's texts, SALV's long texts
    } cases[] = {
        {CodeStyle::Classic, TextSource::Dictionary, "D", {"Fluggesellschaft", "Flown on"},
         {"Name der Fluggesellschaft", "Flugdatum", "Price per seat"}},
        {CodeStyle::Classic, TextSource::Dictionary, "E", {"Airline", "Flown on"}, {"Airline name", "Date", "Price per seat"}},
        {CodeStyle::Classic, std::nullopt, "D", {"Airline", "Flown on"}, {"Airline name", "Date", "Price per seat"}},
        {CodeStyle::Modern, std::nullopt, "D", {"Fluggesellschaft", "Flown on"},
         {"Name der Fluggesellschaft", "Flugdatum", "Price per seat"}},
    };
    for (const auto& c : cases) {
        const bool modern = c.style == CodeStyle::Modern;
        SCOPED_TRACE(std::string(modern ? "modern" : "classic") + (c.texts ? ", dictionary, " : ", no key, ") + c.language);
        design->style = c.style;
        design->texts = c.texts;
        const ReportRun run = runReport(*design, {}, c.language);
        ASSERT_TRUE(run.ok()) << run.describe();
        std::vector<std::string> labels;
        for (const json& label : run.callsOf("SCREEN_LABEL")) labels.push_back(label["TEXT"]);
        std::vector<std::string> expected = c.labels;
        expected.insert(expected.end(), {"Maximum number of hits", "Layout"});
        EXPECT_EQ(labels, expected) << run.describe();
        std::vector<std::string> headings;
        if (modern) {
            const json columns = run.callsOf("CL_SALV_TABLE->DISPLAY").at(0)["COLUMNS"]["COLUMNS"];
            for (const char* name : {"CARRNAME", "FLDATE", "PRICE"}) {
                std::string text;
                for (const json& column : columns)
                    if (column["COLUMNNAME"] == name) text = column["LONG_TEXT"];
                headings.push_back(text);
            }
        } else {
            const json catalogue = run.callsOf("REUSE_ALV_LIST_DISPLAY").at(0)["IT_FIELDCAT"];
            for (const json& entry : catalogue)
                headings.push_back(entry["SELTEXT_L"] == "" ? entry["SELTEXT_M"] : entry["SELTEXT_L"]);
        }
        EXPECT_EQ(headings, c.headings) << run.describe();
    }
}

// Each amount's currency column and each quantity's unit column as the ALV
// gets them (classic: the catalogue's CFIELDNAME / QFIELDNAME; modern: the
// SALV column's currency or quantity column), "" for the other columns.
std::map<std::string, std::string> recordedReferences(const ReportRun& run, bool modern) {
    std::map<std::string, std::string> got;
    if (modern) {
        for (const json& call : run.callsOf("CL_SALV_TABLE->DISPLAY"))
            for (const json& c : call["COLUMNS"]["COLUMNS"])
                got[c["COLUMNNAME"]] = c["CURRENCY_COLUMN"].get<std::string>() + c["QUANTITY_COLUMN"].get<std::string>();
        return got;
    }
    for (const std::string display : {"REUSE_ALV_GRID_DISPLAY", "REUSE_ALV_LIST_DISPLAY"})
        for (const json& call : run.callsOf(display))
            for (const json& e : call["IT_FIELDCAT"])
                got[e["FIELDNAME"]] = e["CFIELDNAME"].get<std::string>() + e["QFIELDNAME"].get<std::string>();
    return got;
}

// The list names the currency or unit column the dictionary gives each amount
// and quantity whose reference field is one of its columns, in both styles,
// where the list shows references (the modern default, the classic key), and
// none where it does not.
TEST(ValueReferences, theListNamesTheDictionarysCurrencyAndUnitColumns) {
    ASSERT_EQ(toolsMissing(), "");
    const struct {
        const char* design;
        CodeStyle style;
        std::optional<bool> references;
        long linked;  // amounts and quantities shown with their reference
    } cases[] = {{"tests/exec/designs/every_flight_column.json", CodeStyle::Classic, true, 2},
                 {"tests/exec/designs/every_flight_column.json", CodeStyle::Modern, std::nullopt, 2},
                 {"tests/exec/designs/join_flight_first.json", CodeStyle::Modern, false, 0},
                 {"tests/exec/designs/join_flight_first.json", CodeStyle::Classic, std::nullopt, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.design) + (c.style == CodeStyle::Modern ? ", modern" : ", classic"));
        Result<ReportDefinition> design = loadDesignFile((sourceDir() / c.design).string());
        ASSERT_TRUE(design) << design.failure().reason;
        design->author = "TESTER";
        design->style = c.style;
        design->references = c.references;
        // What the dictionary links, among the columns of the list.
        std::map<std::string, std::string> want;
        for (const PickedField& f : design->fields) want.emplace(text::upper(f.field), "");
        if (showsReferences(*design)) {
            for (const std::string& table : reportTables(*design)) {
                auto fields = sandbox().readFields(table);
                ASSERT_TRUE(fields) << fields.failure().text();
                for (const sap::TableField& f : *fields) {
                    const bool column = std::any_of(design->fields.begin(), design->fields.end(), [&](const PickedField& p) {
                        return text::upper(text::trim(p.table)) == f.refTable && text::upper(p.field) == f.refField;
                    });
                    if (!f.refField.empty() && column && want.count(f.name)) want[f.name] = f.refField;
                }
            }
        }
        const ReportRun run = runReport(*design);
        ASSERT_TRUE(run.ok()) << run.describe();
        std::map<std::string, std::string> got = recordedReferences(run, c.style == CodeStyle::Modern);
        if (c.style == CodeStyle::Modern)  // SALV records the columns a program asked for only
            for (auto& [name, ref] : want)
                if (ref.empty() && !got.count(name)) got[name] = "";
        EXPECT_EQ(got, want) << run.describe();
        EXPECT_EQ(std::count_if(want.begin(), want.end(), [](const auto& w) { return !w.second.empty(); }),
                  c.linked);
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, ReportRuns, ::testing::ValuesIn(designsIn(sourceDir() / "examples")), testName);
INSTANTIATE_TEST_SUITE_P(Designs, ReportRuns, ::testing::ValuesIn(designsIn(sourceDir() / "tests/exec/designs")), testName);

}  // namespace
}  // namespace orvex::exec
