// The preview shows the rows the program shows: every example and design of
// designs/, in both styles, previewed on the embedded sandbox (whose demo rows
// the runs get too) with the inputs' defaults, against the rows the generated
// program hands to the ALV when it runs.
#include <gtest/gtest.h>

#include <algorithm>

#include "AbapValues.h"
#include "DesignCases.h"
#include "DesignFile.h"
#include "ExecHarness.h"
#include "ExpectedRows.h"
#include "ReportQuery.h"
#include "TempDir.h"
#include "sap/BackendFactory.h"
#include "sap/Operations.h"

namespace orvex::exec {
namespace {

using nlohmann::json;

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

class PreviewRows : public ::testing::TestWithParam<DesignCase> {};

TEST_P(PreviewRows, areTheRowsTheProgramShows) {
    ASSERT_EQ(toolsMissing(), "");
    const DesignCase& c = GetParam();
    const std::string text = orvex::testing::TempDir::read(c.file.string());
    Result<ReportDefinition> design = parseDesign(text);
    ASSERT_TRUE(design) << design.failure().reason;
    if (!design->author) design->author = "TESTER";
    design->style = c.style;
    const Expected expected = expectedRows(json::parse(text));

    Result<ReportPlan> plan = planReport(*design);
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

    const ReportRun run = runReport(*design);
    ASSERT_TRUE(run.ok()) << run.describe();
    const std::vector<Row> shown = shownRows(run.valuesOf(c.style == CodeStyle::Modern ? "cells" : "row"), expected);
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

INSTANTIATE_TEST_SUITE_P(Examples, PreviewRows, ::testing::ValuesIn(designsIn(sourceDir() / "examples")), testName);
INSTANTIATE_TEST_SUITE_P(Designs, PreviewRows, ::testing::ValuesIn(designsIn(sourceDir() / "tests/exec/designs")),
                         testName);

}  // namespace
}  // namespace orvex::exec
