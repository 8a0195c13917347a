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
    r.fields = {{test::padded("SFLIGHT"), "CARRID", ""}};
    r.selection = {{test::padded("SFLIGHT"), "CARRID", "Airline ", "S;R;a;b"}};
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

}  // namespace
}  // namespace orvex
