// Design files: reading, writing and the golden programs of the test designs.
#include <gtest/gtest.h>

#include <filesystem>

#include "DesignFile.h"
#include "Generator.h"
#include "TempDir.h"
#include "TestReports.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

TEST(DesignFile, missingKeysTakeTheWizardsStartValues) {
    Result<ReportDefinition> load = parseDesign(R"({"name": "ZX"})");
    ASSERT_TRUE(load) << load.failure().reason;
    ReportDefinition expected;
    expected.name = "ZX";
    EXPECT_EQ(*load, expected);
}

// Tables chosen before their fields were picked are kept; a file naming
// anything but a table name there is refused at the place.
TEST(DesignFile, chosenTablesAreKeptAndChecked) {
    ReportDefinition r;
    r.name = "ZT";
    r.tables = {"SCARR", "/ABC/TAB_1"};
    Result<ReportDefinition> back = parseDesign(serializeDesign(r));
    ASSERT_TRUE(back) << back.failure().reason;
    EXPECT_EQ(back->tables, r.tables);
    EXPECT_EQ(serializeDesign(ReportDefinition{}).find("tables"), std::string::npos);  // files stay as they were

    const std::pair<const char*, const char*> refused[] = {
        {R"({"tables": "SCARR"})", "tables: expected an array, found a string"},
        {R"({"tables": [1]})", "tables[0]: expected a string, found a number"},
        {R"({"tables": ["SCARR", ""]})", "tables[1]: a table name has 1 to 30"},
        {R"({"tables": ["SCARR' OR 'X"]})", "tables[0]: a table name has 1 to 30"},
        {R"({"tables": ["ABCDEFGHIJABCDEFGHIJABCDEFGHIJK"]})", "tables[0]: a table name has 1 to 30"},
    };
    for (const auto& [text, reason] : refused) {
        Result<ReportDefinition> load = parseDesign(text);
        ASSERT_FALSE(load) << text;
        EXPECT_EQ(load.failure().reason.rfind(reason, 0), 0u) << load.failure().reason;
    }
}

// The report's options travel in the file and come back as they were; a
// design without them is written as before they existed, and a key of the
// wrong kind is refused at its place.
TEST(DesignFile, optionsAreKeptOnlyWhenSet) {
    ReportDefinition r;
    r.name = "ZOPT";
    r.fields = {{"SCARR", "CARRID", "Airline"}, {"SFLIGHT", "PRICE", "Price"}};
    r.conditions = {{"SCARR", "CARRID", "=", "SFLIGHT", "CARRID"}};
    const std::string plain = serializeDesign(r);
    for (const char* key : {"join", "sort_position", "sort_descending", "subtotal", "total", "layout_variant", "max_rows"})
        EXPECT_EQ(plain.find(key), std::string::npos) << key;

    r.fields[0].sortPosition = 1;
    r.fields[0].sortDescending = r.fields[0].subtotal = r.fields[1].total = true;
    r.conditions[0].join = JoinType::LeftOuter;
    r.layoutVariant = true;
    r.maxRows = 0;
    Result<ReportDefinition> back = parseDesign(serializeDesign(r));
    ASSERT_TRUE(back) << back.failure().reason;
    EXPECT_EQ(*back, r);
    EXPECT_NE(serializeDesign(r).find(R"("join": "left_outer")"), std::string::npos);

    const std::pair<const char*, const char*> refused[] = {
        {R"({"max_rows": "500"})", "max_rows: expected a whole number, found a string"},
        {R"({"max_rows": 1.5})", "max_rows: expected a whole number, found a number"},
        {R"({"max_rows": 18446744073709551615})", "max_rows: 18446744073709551615 is too large"},
        {R"({"max_rows": -2})", "max_rows: -2 is not a row limit"},
        {R"({"layout_variant": "yes"})", "layout_variant: expected true or false, found a string"},
        {R"({"fields": [{"table": "SCARR", "field": "CARRID", "sort_position": "1"}]})",
         "fields[0].sort_position: expected a whole number, found a string"},
        {R"({"fields": [{"table": "SCARR", "field": "CARRID", "sort_position": 4294967297}]})",
         "fields[0].sort_position: 4294967297 is out of range"},
        {R"({"fields": [{"table": "SCARR", "field": "CARRID", "total": 1}]})",
         "fields[0].total: expected true or false, found a number"},
        {R"({"fields": [{"table": "SCARR", "field": "CARRID", "subtotal": true}]})",
         "fields[0].subtotal: a subtotal needs a sort position"},
        {R"({"conditions": [{"left_table": "A", "left_field": "F", "operator": "=", "right_table": "B",
             "right_field": "F", "join": "LEFT OUTER"}]})",
         R"(conditions[0].join: expected "inner" or "left_outer", found "LEFT OUTER")"},
        {R"({"conditions": [{"left_table": "A", "left_field": "F", "operator": "=", "right_table": "B",
             "right_field": "F", "join": false}]})",
         R"(conditions[0].join: expected "inner" or "left_outer", found true or false)"},
    };
    for (const auto& [text, reason] : refused) {
        Result<ReportDefinition> load = parseDesign(text);
        ASSERT_FALSE(load) << text;
        EXPECT_EQ(load.failure().reason.rfind(reason, 0), 0u) << load.failure().reason;
    }
}

// The modern program only on request: a file without "style" (every file
// saved before there was a choice) keeps the classic program, and a classic
// design is saved as before.
TEST(DesignFile, codeStyleIsClassicUnlessModernIsAskedFor) {
    const std::pair<const char*, CodeStyle> taken[] = {{R"({})", CodeStyle::Classic},
                                                       {R"({"style": "classic"})", CodeStyle::Classic},
                                                       {R"({"style": "modern"})", CodeStyle::Modern}};
    for (const auto& [text, style] : taken) {
        Result<ReportDefinition> load = parseDesign(text);
        ASSERT_TRUE(load) << text << ": " << load.failure().reason;
        EXPECT_EQ(load->style, style) << text;
        Result<ReportDefinition> back = parseDesign(serializeDesign(*load));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->style, style) << text;
    }
    EXPECT_EQ(serializeDesign(ReportDefinition{}).find("style"), std::string::npos);

    const std::pair<const char*, const char*> refused[] = {
        {R"({"style": "Modern"})", R"(style: expected "classic" or "modern", found "Modern")"},
        {R"({"style": ""})", R"(style: expected "classic" or "modern", found "")"},
        {R"({"style": "7.40"})", R"(style: expected "classic" or "modern", found "7.40")"},
        {R"({"style": true})", R"(style: expected "classic" or "modern", found true or false)"},
        {R"({"style": null})", R"(style: expected "classic" or "modern", found null)"},
    };
    for (const auto& [text, reason] : refused) {
        Result<ReportDefinition> load = parseDesign(text);
        ASSERT_FALSE(load) << text;
        EXPECT_EQ(load.failure().reason, reason);
    }
}

TEST(DesignFile, savingAndLoadingRoundTrips) {
    ReportDefinition r;
    r.name = "ZRT";
    r.description = "Line \"one\" 'two'";
    r.company = "Ünïcødé";
    r.author = "";
    r.grid = false;
    r.printHeading = true;
    r.heading = "";
    r.unicodeCheck = true;
    r.fields = {{"SFLIGHT", "CARRID", ""}};
    r.selection = {{"SFLIGHT", "CARRID", "Airline ", "S;R;a;b"}};
    r.conditions = {{"SFLIGHT", "CARRID", "=", "SELSCR", "CARRID"}};
    r.package = "ZREPORTS";
    r.transport = "DEVK900123";
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
}

// Older files hold table names padded to 40 characters, newer ones trimmed;
// either reads to the same design with trimmed names, and to the same program.
TEST(DesignFile, tableNamesReadPaddedOrTrimmed) {
    const auto design = [](const std::string& table, const std::string& field) {
        return R"({"name": "ZPAD", "description": "Flights", "tables": ["SFLIGHT"],
                   "fields": [{"table": ")" + table + R"(", "field": ")" + field + R"(", "description": "Airline"}],
                   "selection_screen": [{"table": ")" + table + R"(", "field": ")" + field + R"(", "settings": "S;N;"}],
                   "conditions": [{"left_table": ")" + table + R"(", "left_field": ")" + field +
               R"(", "operator": " = ", "right_table": "SELSCR", "right_field": ")" + field + R"("}]})";
    };
    const Result<ReportDefinition> trimmed = parseDesign(design("SFLIGHT", "CARRID"));
    ASSERT_TRUE(trimmed) << trimmed.failure().reason;
    EXPECT_EQ(trimmed->fields.at(0).table, "SFLIGHT");
    const GenerationResult program = GenerateProgram(*trimmed);
    ASSERT_TRUE(program) << program.failure().reason;
    const std::pair<std::string, std::string> written[] = {
        {test::padded("SFLIGHT"), "CARRID"},
        {" SFLIGHT ", " CARRID"},
        {"SFLIGHT  ", "CARRID   "},
    };
    for (const auto& [table, field] : written) {
        SCOPED_TRACE("[" + table + "] [" + field + "]");
        const Result<ReportDefinition> read = parseDesign(design(table, field));
        ASSERT_TRUE(read) << read.failure().reason;
        EXPECT_EQ(*read, *trimmed);
        const GenerationResult again = GenerateProgram(*read);
        ASSERT_TRUE(again) << again.failure().reason;
        EXPECT_EQ(again->source, program->source);
    }
}

TEST(DesignFile, malformedFilesNameThePlace) {
    struct Case {
        const char* json;
        const char* error;
    } cases[] = {
        {R"({"name": "ZX",})", "not valid JSON: line 1, column 15:"},
        {R"([])", "design: expected an object, found an array"},
        {R"({"name": 7})", "name: expected a string, found a number"},
        {R"({"grid": "yes"})", "grid: expected true or false, found a string"},
        {R"({"fields": {}})", "fields: expected an array, found an object"},
        {R"({"fields": [{"table": "T", "field": "F"}, {"table": "T", "field": "G"}, {"table": 1}]})",
         "fields[2].table: expected a string, found a number"},
        {R"({"fields": [{"table": "T"}]})", "fields[0].field: missing"},
        {R"({"selection_screen": [{"table": "T", "field": "F"}]})", "selection_screen[0].settings: missing"},
        {R"({"conditions": [3]})", "conditions[0]: expected an object, found a number"},
        {"{\"name\": \"\xff\"}", "not valid JSON:"},
    };
    for (const Case& c : cases) {
        Result<ReportDefinition> load = parseDesign(c.json);
        EXPECT_FALSE(load) << c.json;
        EXPECT_EQ(load.failure().reason.rfind(c.error, 0), 0u) << "[" << load.failure().reason << "] for " << c.json;
        EXPECT_EQ(load.failure().reason.find('\n'), std::string::npos);
    }
    Result<ReportDefinition> missing = loadDesignFile("/nonexistent/design.json");
    EXPECT_EQ(missing.failure().reason.rfind("/nonexistent/design.json: cannot open", 0), 0u) << missing.failure().reason;
}

// One program per variant (grid or list, heading on or off), compared whole.
TEST(GoldenPrograms, everyVariant) {
    const fs::path dir = ORVEX_GENERATOR_TEST_DATA;
    for (const char* name : {"grid_heading", "grid_plain", "list_heading", "list_plain"}) {
        SCOPED_TRACE(name);
        Result<ReportDefinition> load = loadDesignFile((dir / "designs" / (std::string(name) + ".json")).string());
        ASSERT_TRUE(load) << load.failure().reason;
        GenerationResult result = GenerateProgram(*load);
        ASSERT_TRUE(result) << result.failure().reason;
        const std::string golden = TempDir::read((dir / "golden" / (std::string(name) + ".abap")).string());
        EXPECT_EQ(programText(result->source), golden);
    }
}

// The modern program of each variant and of each example, compared whole.
TEST(GoldenPrograms, modernStyle) {
    const fs::path dir = ORVEX_GENERATOR_TEST_DATA, examples = fs::path(ORVEX_SOURCE_DIR) / "examples";
    for (const fs::path& design : {dir / "designs/grid_heading.json", dir / "designs/grid_plain.json",
                                   dir / "designs/list_heading.json", dir / "designs/list_plain.json",
                                   examples / "connections_from_city.json", examples / "flights_by_carrier.json",
                                   examples / "seat_occupancy.json"}) {
        SCOPED_TRACE(design.string());
        Result<ReportDefinition> load = loadDesignFile(design.string());
        ASSERT_TRUE(load) << load.failure().reason;
        load->style = CodeStyle::Modern;
        GenerationResult result = GenerateProgram(*load);
        ASSERT_TRUE(result) << result.failure().reason;
        const fs::path golden = dir / "golden/modern" / design.filename().replace_extension(".abap");
        EXPECT_EQ(programText(result->source), TempDir::read(golden.string()));
    }
}

}  // namespace
}  // namespace orvex
