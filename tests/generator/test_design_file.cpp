// Design files: reading, writing and the golden programs of the test designs.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "DesignFile.h"
#include "Generator.h"
#include "TempDir.h"
#include "TestReports.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// Everything a design holds comes back through the text and a file; start
// values are not written, so that older files stay as they were.
TEST(DesignFile, savingAndLoadingRoundTrips) {
    ReportDefinition r;
    r.name = "ZRT";
    r.fields = {{"SCARR", "CARRID", "Airline"}, {"SFLIGHT", "PRICE", ""}};
    r.conditions = {{"SCARR", "CARRID", "=", "SFLIGHT", "CARRID"}, {"SCARR", "CARRID", "=", "SELSCR", "CARRID"}};
    r.authorityCheck.reset();  // as a file from before the key holds it: the style decides
    const std::string plain = serializeDesign(r);
    for (const char* key : {"tables", "style", "join", "sort_position", "sort_descending", "subtotal", "total",
                            "layout_variant", "max_rows", "authority_check"})
        EXPECT_EQ(plain.find(key), std::string::npos) << key;

    r.description = "Line \"one\" 'two'";
    r.company = "Ünïcødé";
    r.author = "";
    r.grid = false;
    r.printHeading = true;
    r.heading = "";
    r.unicodeCheck = true;
    r.style = CodeStyle::Modern;
    r.tables = {"SCARR", "/ABC/TAB_1"};
    r.selection = {{"SCARR", "CARRID", "Airline ", "S;R;a;b"}};
    r.package = "ZREPORTS";
    r.transport = "DEVK900123";
    r.fields[0].sortPosition = 1;
    r.fields[0].sortDescending = r.fields[0].subtotal = r.fields[1].total = true;
    r.conditions[0].join = JoinType::LeftOuter;
    r.layoutVariant = true;
    r.maxRows = 0;
    r.authorityCheck = false;
    Result<ReportDefinition> back = parseDesign(serializeDesign(r));
    ASSERT_TRUE(back) << back.failure().reason;
    EXPECT_EQ(*back, r);

    TempDir dir;
    // Saving writes through no fixed temporary name a link could be planted at.
    TempDir::write(dir.file("victim"), "victim");
    fs::create_symlink(dir.file("victim"), dir.file("d.json.tmp"));
    ASSERT_TRUE(saveDesignFile(dir.file("d.json"), r));
    EXPECT_EQ(TempDir::read(dir.file("victim")), "victim");
    Result<ReportDefinition> loaded = loadDesignFile(dir.file("d.json"));
    ASSERT_TRUE(loaded) << loaded.failure().reason;
    EXPECT_EQ(*loaded, r);
    EXPECT_FALSE(saveDesignFile(dir.file("missing/d.json"), r));
    EXPECT_FALSE(fs::exists(dir.file("missing")));
    Result<ReportDefinition> missing = loadDesignFile("/nonexistent/design.json");
    EXPECT_EQ(missing.failure().reason.rfind("/nonexistent/design.json: cannot open", 0), 0u) << missing.failure().reason;
}

// Table names padded to 40 characters (older files) or trimmed read alike.
TEST(DesignFile, tableNamesReadPaddedOrTrimmed) {
    const auto design = [](const std::string& table, const std::string& field) {
        return R"({"name": "ZPAD", "description": "Flights", "tables": ["SFLIGHT"],
                   "fields": [{"table": ")" + table + R"(", "field": ")" + field + R"(", "description": "Airline"}],
                   "selection_screen": [{"table": ")" + table + R"(", "field": ")" + field + R"(", "settings": "S;N;"}],
                   "conditions": [{"left_table": ")" + table + R"(", "left_field": ")" + field +
               R"(", "operator": " = ", "right_table": "SELSCR", "right_field": ")" + field + R"("}]})";
    };
    const Result<ReportDefinition> trimmed = parseDesign(design("SFLIGHT", "CARRID"));
    const Result<ReportDefinition> padded = parseDesign(design(test::padded(" SFLIGHT"), " CARRID "));
    ASSERT_TRUE(trimmed && padded);
    EXPECT_EQ(trimmed->fields.at(0).table, "SFLIGHT");
    EXPECT_EQ(*padded, *trimmed);
}

// A file that is no design is refused in one line naming the place
// (refused_designs.txt: a file's text on one line, its refusal's start next).
struct Refused {
    std::string json;
    std::string reason;  // how the refusal starts
};
void PrintTo(const Refused& c, std::ostream* os) { *os << c.json; }

class DesignFileRefusals : public ::testing::TestWithParam<Refused> {};

TEST_P(DesignFileRefusals, nameThePlace) {
    Result<ReportDefinition> load = parseDesign(GetParam().json);
    ASSERT_FALSE(load);
    EXPECT_EQ(load.failure().reason.rfind(GetParam().reason, 0), 0u) << load.failure().reason;
    EXPECT_EQ(load.failure().reason.find('\n'), std::string::npos);
}

std::vector<Refused> refusedDesigns() {
    std::istringstream in(TempDir::read(std::string(ORVEX_GENERATOR_TEST_DATA) + "/refused_designs.txt"));
    std::vector<Refused> cases;
    for (std::string json, reason; std::getline(in, json);)
        if (!json.empty() && !json.starts_with("#") && std::getline(in, reason)) cases.push_back({json, reason});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Files, DesignFileRefusals, ::testing::ValuesIn(refusedDesigns()));

// Whole programs: each display and heading variant and two execution designs
// in each style, each example's modern program, the classic program that
// checks the tables' authorisations, the one that names the currency and unit
// columns, and the program that takes its texts from the dictionary.
struct Golden {
    fs::path design;
    CodeStyle style;
};
void PrintTo(const Golden& g, std::ostream* os) { *os << g.design.string(); }

class GoldenPrograms : public ::testing::TestWithParam<Golden> {};

TEST_P(GoldenPrograms, matchTheirFileWhole) {
    Result<ReportDefinition> load = loadDesignFile(GetParam().design.string());
    ASSERT_TRUE(load) << load.failure().reason;
    load->style = GetParam().style;
    GenerationResult result = GenerateProgram(*load);
    ASSERT_TRUE(result) << result.failure().reason;
    const bool modern = GetParam().style == CodeStyle::Modern;
    const fs::path golden = fs::path(ORVEX_GENERATOR_TEST_DATA) / (modern ? "golden/modern" : "golden") /
                            GetParam().design.filename().replace_extension(".abap");
    EXPECT_EQ(programText(result->source), TempDir::read(golden.string()));
}

std::vector<Golden> goldenPrograms() {
    const fs::path designs = fs::path(ORVEX_GENERATOR_TEST_DATA) / "designs", examples = fs::path(ORVEX_SOURCE_DIR) / "examples";
    const fs::path execDesigns = fs::path(ORVEX_SOURCE_DIR) / "tests/exec/designs";
    std::vector<Golden> all;
    for (const fs::path& design : {designs / "grid_heading.json", designs / "grid_plain.json", designs / "list_heading.json",
                                   designs / "list_plain.json", execDesigns / "every_option.json",
                                   execDesigns / "every_flight_column.json"})
        for (CodeStyle style : {CodeStyle::Classic, CodeStyle::Modern}) all.push_back({design, style});
    all.push_back({designs / "authority_check.json", CodeStyle::Classic});
    for (CodeStyle style : {CodeStyle::Classic, CodeStyle::Modern}) all.push_back({designs / "dictionary_texts.json", style});
    all.push_back({designs / "references.json", CodeStyle::Classic});
    for (const char* name : {"connections_from_city", "flights_by_carrier", "seat_occupancy"})
        all.push_back({examples / (std::string(name) + ".json"), CodeStyle::Modern});
    return all;
}

INSTANTIATE_TEST_SUITE_P(Designs, GoldenPrograms, ::testing::ValuesIn(goldenPrograms()),
                         [](const ::testing::TestParamInfo<Golden>& info) {
                             return info.param.design.stem().string() +
                                    (info.param.style == CodeStyle::Modern ? "_modern" : "_classic");
                         });

}  // namespace
}  // namespace orvex
