// The ALV stand-ins (function modules and SALV classes) and the run's setup,
// driven by small programs: what a report hands the ALV is recorded whole
// (sort table, catalogue flags, layout, variant), the event blocks run in
// SAP's order, UP TO counts as on SAP, and a call that names a parameter the
// function does not have fails as it fails on SAP.
#include <gtest/gtest.h>

#include "ExecHarness.h"
#include "TempDir.h"
#include "TranspilerFixes.h"

namespace orvex::exec {
namespace {

using nlohmann::json;

ReportDefinition program(const std::string& name) {
    ReportDefinition p;
    p.name = name;
    p.description = "Execution test program";
    return p;
}

ReportRun run(const std::string& name, const std::string& source) {
    return transpileAndRun(program(name), adaptForTranspiler(source, name, Dictionary::flightModel()));
}

std::string file(const fs::path& path) { return orvex::testing::TempDir::read(path.string()); }

TEST(AlvStandIns, recordWhatAReportWithLayoutsSortAndTotalsHandsThem) {
    ASSERT_EQ(toolsMissing(), "");
    const ReportRun r = run("ZEXEC_ALV_STANDINS", file(sourceDir() / "tests/exec/programs/zexec_alv_standins.abap"));
    ASSERT_TRUE(r.ok()) << r.describe();

    // INITIALIZATION, then AT SELECTION-SCREEN, then START-OF-SELECTION
    // (the missing layout, the value help, the display).
    std::vector<std::string> order;
    for (const json& call : r.calls)
        if (call.contains("call")) order.push_back(call["call"]);
    EXPECT_EQ(order, (std::vector<std::string>{"REUSE_ALV_VARIANT_DEFAULT_GET", "REUSE_ALV_VARIANT_EXISTENCE",
                                               "REUSE_ALV_VARIANT_EXISTENCE", "REUSE_ALV_VARIANT_F4",
                                               "REUSE_ALV_GRID_DISPLAY"}));
    const json defaultGet = r.callsOf("REUSE_ALV_VARIANT_DEFAULT_GET").at(0);
    EXPECT_EQ(defaultGet["CS_VARIANT"]["REPORT"], "ZEXEC_ALV_STANDINS") << "sy-repid is the program's name";
    EXPECT_EQ(defaultGet["I_SAVE"], "A");
    EXPECT_EQ(r.callsOf("REUSE_ALV_VARIANT_EXISTENCE").at(0)["CS_VARIANT"]["VARIANT"], "/ORVEX")
        << "the default layout reached the parameter and AT SELECTION-SCREEN checked it";
    EXPECT_NE(r.listOutput.find("MISSING LAYOUT: 2"), std::string::npos) << r.listOutput;

    const json display = r.display();
    EXPECT_EQ(display["I_CALLBACK_PROGRAM"], "ZEXEC_ALV_STANDINS");
    EXPECT_EQ(display["I_SAVE"], "A");
    EXPECT_EQ(display["IS_VARIANT"]["VARIANT"], "/WIDE") << "picked in the value help";
    EXPECT_EQ(display["IS_VARIANT"]["TEXT"], "All columns");
    EXPECT_EQ(display["IS_LAYOUT"]["ZEBRA"], "X");
    ASSERT_EQ(display["IT_SORT"].size(), 1u);
    EXPECT_EQ(display["IT_SORT"][0]["SPOS"], "01");
    EXPECT_EQ(display["IT_SORT"][0]["FIELDNAME"], "CARRID");
    EXPECT_EQ(display["IT_SORT"][0]["UP"], "");
    EXPECT_EQ(display["IT_SORT"][0]["DOWN"], "X");
    EXPECT_EQ(display["IT_SORT"][0]["SUBTOT"], "X");
    ASSERT_EQ(display["IT_FIELDCAT"].size(), 2u);
    EXPECT_EQ(display["IT_FIELDCAT"][0]["KEY"], "X");
    EXPECT_EQ(display["IT_FIELDCAT"][1]["DO_SUM"], "X");

    // UP TO 0002 ROWS reads two rows, UP TO 0 ROWS all nine.
    EXPECT_EQ(r.rows().size(), 2u);
    EXPECT_NE(r.listOutput.find("ALL ROWS: 9"), std::string::npos) << r.listOutput;
}

// The SALV stand-ins record the whole table a report sets up (sorts,
// aggregations, layout, display settings, column texts, the page heading its
// handler fills) and raise SAP's exceptions for the calls SAP refuses.
TEST(SalvStandIns, recordTheTableAndRaiseWhatSapRaises) {
    ASSERT_EQ(toolsMissing(), "");
    const ReportRun r = run("ZEXEC_SALV_STANDINS", file(sourceDir() / "tests/exec/programs/zexec_salv_standins.abap"));
    ASSERT_TRUE(r.ok()) << r.describe();

    EXPECT_EQ(r.listOutput.find("UNEXPECTED"), std::string::npos) << r.listOutput;
    for (const char* refused : {"NOT FOUND: Column carrid does not exist",    // column names are upper case
                                "NOT FOUND: Column FLDATE does not exist",    // not a column of the table
                                "EXISTING: Column CARRID is sorted already",
                                "DATA ERROR: Column CONNID holds no numbers",
                                "Column SEATSMAX does not exist"})           // shown with MESSAGE
        EXPECT_NE(r.listOutput.find(refused), std::string::npos) << refused << "\n" << r.listOutput;

    const json display = r.salvDisplay();
    ASSERT_FALSE(display.is_null()) << r.describe();
    EXPECT_EQ(display["LIST_DISPLAY"], "X");
    EXPECT_EQ(display["SORTS"], json::parse(R"([
        {"COLUMNNAME": "CARRID", "POSITION": "1", "SEQUENCE": "DOWN", "SUBTOTAL": "X", "GROUP": "0"},
        {"COLUMNNAME": "CONNID", "POSITION": "2", "SEQUENCE": "UP", "SUBTOTAL": "", "GROUP": "0"}])"));
    EXPECT_EQ(display["AGGREGATIONS"], json::parse(R"([{"COLUMNNAME": "PRICE", "AGGREGATION": "TOTAL"}])"));
    EXPECT_EQ(display["LAYOUT"], json::parse(R"({"REPORT": "ZEXEC_SALV_STANDINS", "HANDLE": "", "LOGICAL_GROUP": "",
        "SAVE_RESTRICTION": "USER_DEPENDANT", "INITIAL_LAYOUT": "/WIDE", "DEFAULT": "X"})"));
    EXPECT_EQ(display["DISPLAY_SETTINGS"]["LIST_HEADER"], "Flights");
    EXPECT_EQ(display["COLUMNS"]["COLUMNS"], json::parse(R"([{"COLUMNNAME": "PRICE", "SHORT_TEXT": "",
        "MEDIUM_TEXT": "Airfare", "LONG_TEXT": ""}])"));
    const std::vector<json> page = r.callsOf("TOP_OF_PAGE");
    ASSERT_EQ(page.size(), 1u);
    EXPECT_EQ(page[0]["CONTENT"], json::parse(R"([{"ROW": "1", "COLUMN": "1", "KIND": "LABEL", "TEXT": "Page 1"}])"));
    // The rows as the table holds them, cells in the order of its components.
    EXPECT_EQ(r.cells(), (std::vector<json>{json::parse(R"(["AA", "0017", "422.94"])"),
                                             json::parse(R"(["AA", "0017", "422.94"])"),
                                             json::parse(R"(["AA", "0064", "422.94"])")}));
}

struct StrictCall {
    const char* name;
    const char* call;      // the statement under test
    const char* refusal;   // what the failed run says
};
void PrintTo(const StrictCall& c, std::ostream* os) { *os << c.call; }

class AlvStandInCalls : public ::testing::TestWithParam<StrictCall> {};

TEST_P(AlvStandInCalls, endTheRunAsOnSap) {
    ASSERT_EQ(toolsMissing(), "");
    const std::string source = std::string("REPORT zexec_strict.\nTYPE-POOLS slis.\n"
                                           "DATA gt_fieldcat TYPE slis_t_fieldcat_alv.\n"
                                           "DATA gt_lines TYPE slis_t_listheader.\n"
                                           "DATA gt_rows TYPE STANDARD TABLE OF sflight WITH DEFAULT KEY.\n"
                                           "START-OF-SELECTION.\n") +
                               GetParam().call + "\n";
    const ReportRun r = run("ZEXEC_STRICT", source);
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.output.find(GetParam().refusal), std::string::npos) << r.describe();
    EXPECT_TRUE(r.calls.empty()) << "the stand-in ran: " << r.describe();
}

INSTANTIATE_TEST_SUITE_P(
    Refused, AlvStandInCalls,
    ::testing::Values(
        StrictCall{"unknownName",
                   "CALL FUNCTION 'REUSE_ALV_GRID_DISPLAY' EXPORTING i_callback_programm = 'ZEXEC_STRICT' "
                   "TABLES t_outtab = gt_rows.",
                   "CALL_FUNCTION_PARM_UNKNOWN: REUSE_ALV_GRID_DISPLAY has no importing parameter I_CALLBACK_PROGRAMM"},
        StrictCall{"wrongDirection",
                   "CALL FUNCTION 'REUSE_ALV_LIST_DISPLAY' IMPORTING it_fieldcat = gt_fieldcat TABLES t_outtab = gt_rows.",
                   "CALL_FUNCTION_PARM_UNKNOWN: REUSE_ALV_LIST_DISPLAY has no exporting parameter IT_FIELDCAT"},
        StrictCall{"missingMandatory", "CALL FUNCTION 'REUSE_ALV_COMMENTARY_WRITE' EXPORTING i_logo = 'LOGO'.",
                   "CALL_FUNCTION_PARM_MISSING: REUSE_ALV_COMMENTARY_WRITE needs its importing parameter IT_LIST_COMMENTARY"}),
    [](const ::testing::TestParamInfo<StrictCall>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvex::exec
