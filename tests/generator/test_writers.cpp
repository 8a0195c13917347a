// The source writers, line by line.
#include <gtest/gtest.h>

#include <algorithm>

#include "Generator.h"
#include "TestReports.h"

namespace orvex {
namespace {

using test::flightReport;
using test::generated;
using test::padded;

// Values that fill the box exactly, or leave it empty (no author); values
// beyond it are in the golden programs.
TEST(Header, valuesAtTheBoxWidth) {
    ReportDefinition r = flightReport({"CARRID"});
    r.name = std::string(49, 'N');
    r.description = std::string(42, 'D');
    r.company = "Müller & Co";  // characters, not bytes, fill the box
    const Generated g = generated(r);
    EXPECT_EQ(g.source[2], "* Program Name : " + r.name + "*");
    EXPECT_EQ(g.source[3], "* Program Description : " + r.description + "*");
    EXPECT_EQ(g.source[4], "* Program Author : " + std::string(47, ' ') + "*");
    EXPECT_EQ(g.source[5], "* Company Name : Müller & Co" + std::string(38, ' ') + "*");
}

// Tables of select-options are declared once each, however their names are padded.
TEST(Declarations, selectOptionTablesOnce) {
    ReportDefinition r = flightReport({"CARRID", "CONNID"});
    r.selection = {{padded("SFLIGHT"), "CARRID", "", "S;N;"},
                   {"SCARR", "CARRNAME", "", "P;N;"},
                   {" SFLIGHT", "CONNID", "", "S;N;"},
                   {"SPFLI", "CITYFROM", "", "S;N;"}};
    std::vector<std::string> declared;
    for (const std::string& line : generated(r).source)
        if (line.starts_with("TABLES: ")) declared.push_back(line);
    EXPECT_EQ(declared, (std::vector<std::string>{"TABLES: SFLIGHT.", "TABLES: SPFLI."}));
}

// The order of an entry's lines and the doubled apostrophes of its texts are
// the golden programs' matter; here a name with blanks around and a default
// holding the settings' separator.
TEST(SelectionScreen, settingsTextsMakeTheEntry) {
    ReportDefinition r = flightReport({"CARRID"});
    r.selection = {{padded("SFLIGHT"), " FLDATE ", "Flight date  ", "S;R;2024;01"}};
    const std::vector<std::string> src = generated(r).source;
    for (const char* line : {" SELECT-OPTIONS: s_FLDATE FOR SFLIGHT-FLDATE", "  DEFAULT '2024;01'.", "VS_FLDAT = 'Flight date  '."})
        EXPECT_NE(std::find(src.begin(), src.end(), line), src.end()) << line;
}

}  // namespace
}  // namespace orvex
