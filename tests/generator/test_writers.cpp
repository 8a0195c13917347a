// The source writers, line by line.
#include <gtest/gtest.h>

#include <algorithm>

#include "ExpectLines.h"
#include "Generator.h"

namespace orvex {
namespace {

using test::flightReport;
using test::generated;
using test::padded;

const std::string kStars = std::string(67, '*');

// The lines from the first one equal to `from` up to (not including) the first later one equal to `to`.
std::vector<std::string> section(const std::vector<std::string>& lines, const std::string& from, const std::string& to) {
    auto b = std::find(lines.begin(), lines.end(), from);
    auto e = std::find(b, lines.end(), to);
    return std::vector<std::string>(b, e);
}

TEST(Header, boxOfTheReportsAttributes) {
    ReportDefinition r = flightReport({"CARRID"});
    r.name = "zlow";
    r.description = "It's a test";
    r.author = "JSMITH";
    r.company = "Müller & Co";  // characters, not bytes, fill the box
    std::vector<std::string> src = generated(r).source;
    std::vector<std::string> lines(src.begin(), src.begin() + 10);
    EXPECT_LINES(lines, (std::vector<std::string>{
                            kStars, "*" + std::string(65, ' ') + "*",
                            "* Program Name : zlow" + std::string(45, ' ') + "*",
                            "* Program Description : It's a test" + std::string(31, ' ') + "*",
                            "* Program Author : JSMITH" + std::string(41, ' ') + "*",
                            "* Company Name : Müller & Co" + std::string(38, ' ') + "*", kStars, "Report zlow.",
                            "TYPE-POOLS : slis.", ""}));
}

TEST(Header, valuesAtAndBeyondTheBoxWidth) {
    struct Case {
        std::string name, description;
        std::string nameLine, descriptionLine;
    } cases[] = {
        {"", "", "* Program Name : " + std::string(49, ' ') + "*", "* Program Description : " + std::string(42, ' ') + "*"},
        {std::string(49, 'N'), std::string(42, 'D'), "* Program Name : " + std::string(49, 'N') + "*",
         "* Program Description : " + std::string(42, 'D') + "*"},
        {std::string(50, 'N'), std::string(70, 'D'), "* Program Name : " + std::string(50, 'N') + "*",
         "* Program Description : " + std::string(70, 'D') + "*"},
    };
    for (const Case& c : cases) {
        ReportDefinition r = flightReport({"CARRID"});
        r.name = c.name;
        r.description = c.description;
        Generated g = generated(r);
        EXPECT_EQ(g.source[2], c.nameLine);
        EXPECT_EQ(g.source[3], c.descriptionLine);
        EXPECT_EQ(g.source[4], "* Program Author : " + std::string(47, ' ') + "*");  // no author
        EXPECT_EQ(g.source[7], "Report " + c.name + ".");
    }
}

TEST(Declarations, outputStructureAndSelectOptionWorkAreas) {
    ReportDefinition r = flightReport({"CARRID", "CONNID"});
    r.selection = {{padded("SFLIGHT"), "CARRID", "", "S;N;"},
                   {"SCARR", "CARRNAME", "", "P;N;"},
                   {" SFLIGHT", "CONNID", "", "S;N;"},
                   {"SPFLI", "CITYFROM", "", "S;N;"}};
    std::vector<std::string> src = generated(r).source;
    EXPECT_EQ(src[13], "");
    EXPECT_LINES(section(src, "types : Begin OF t_Output,", "*************************"),
                 (std::vector<std::string>{"types : Begin OF t_Output,", "  CARRID like SFLIGHT-CARRID,",
                                           "  CONNID like SFLIGHT-CONNID,", "", "end of t_Output."}));
    EXPECT_LINES(section(src, "DATA: IT_OUTPUT type STANDARD TABLE OF T_OUTPUT WITH HEADER LINE.", "*Selection Screen*"),
                 (std::vector<std::string>{"DATA: IT_OUTPUT type STANDARD TABLE OF T_OUTPUT WITH HEADER LINE.",
                                           "TABLES: SFLIGHT.", "TABLES: SPFLI.", "*************************"}));
}

TEST(SelectionScreen, entryLinesOfEachKind) {
    ReportDefinition r = flightReport({"CARRID"});
    r.selection = {{padded("SFLIGHT"), "CARRID", "Airline", "P;N;"},
                   {padded("SFLIGHT"), " FLDATE ", "Flight date  ", "S;R;2024;01"},
                   {"SCARR", "CARRNAME", "Name's", "s;R;O'Neil"}};
    std::vector<std::string> src = generated(r).source;
    EXPECT_LINES(section(src, "SELECTION-SCREEN: BEGIN OF BLOCK b1 WITH FRAME .", "START-OF-SELECTION."),
                 (std::vector<std::string>{
                     "SELECTION-SCREEN: BEGIN OF BLOCK b1 WITH FRAME .",
                     " SELECTION-SCREEN: BEGIN OF LINE.", " SELECTION-SCREEN: COMMENT 1(20) VS_CARRI.",
                     " PARAMETER: P_CARRID LIKE SFLIGHT-CARRID", "", "  DEFAULT ''.",
                     " SELECTION-SCREEN: END OF LINE.",
                     " SELECTION-SCREEN: BEGIN OF LINE.", " SELECTION-SCREEN: COMMENT 1(20) VS_FLDAT.",
                     " SELECT-OPTIONS: s_FLDATE FOR SFLIGHT-FLDATE", "", "  OBLIGATORY", "  DEFAULT '2024;01'.",
                     " SELECTION-SCREEN: END OF LINE.",
                     " SELECTION-SCREEN: BEGIN OF LINE.", " SELECTION-SCREEN: COMMENT 1(20) VS_CARRN.",
                     " PARAMETER: P_CARRNA LIKE SCARR-CARRNAME", "", "  OBLIGATORY", "  DEFAULT 'O''Neil'.",
                     " SELECTION-SCREEN: END OF LINE.",
                     " SELECTION-Screen: Skip 1.", "SELECTION-SCREEN: END OF BLOCK b1..",
                     "*************************", "*AT Selection Screen O/P*", "*************************",
                     "AT SELECTION-SCREEN OUTPUT.", "VS_CARRI = 'Airline'.", "VS_FLDAT = 'Flight date  '.",
                     "VS_CARRN = 'Name''s'.", ""}));
}

TEST(SelectionScreen, withoutEntries) {
    std::vector<std::string> src = generated(flightReport({"CARRID"})).source;
    auto block = std::find(src.begin(), src.end(), "SELECTION-SCREEN: BEGIN OF BLOCK b1 WITH FRAME .");
    ASSERT_NE(block, src.end());
    EXPECT_EQ(*(block + 1), " SELECTION-Screen: Skip 1.");
    auto output = std::find(src.begin(), src.end(), "AT SELECTION-SCREEN OUTPUT.");
    EXPECT_LINES(std::vector<std::string>(output + 1, output + 7),
                 (std::vector<std::string>{"", "START-OF-SELECTION.", "PERFORM GET_DATA.", "PERFORM BUILD_FIELD_CAT.",
                                           "PERFORM ALV_DISPLAY.", ""}));
}

TEST(Forms, catalogueDisplayCallAndHeadingOfEachVariant) {
    ReportDefinition r = flightReport({"CARRID"});
    r.name = "z'q";
    r.fields[0].description = "Carrier's code";
    r.heading = "Rock 'n' roll";
    r.grid = false;
    r.printHeading = true;
    std::vector<std::string> list = generated(r).source;
    EXPECT_LINES(section(list, "  wa_fieldcat-fieldname = 'CARRID'.", "FORM ALV_DISPLAY."),
                 (std::vector<std::string>{"  wa_fieldcat-fieldname = 'CARRID'.",
                                           "  wa_fieldcat-ref_tabname = 'SFLIGHT'.",
                                           "  wa_fieldcat-tabname = 'IT_OUTPUT'.",
                                           "  wa_fieldcat-seltext_m = 'Carrier''s code'.",
                                           "  APPEND wa_fieldcat TO it_fieldcat.", "  CLEAR wa_fieldcat.", "ENDFORM."}));
    EXPECT_LINES(section(list, "CALL FUNCTION  'REUSE_ALV_LIST_DISPLAY'", "ENDFORM."),
                 (std::vector<std::string>{"CALL FUNCTION  'REUSE_ALV_LIST_DISPLAY'", "  EXPORTING",
                                           "     i_callback_program             = 'z''q'",
                                           "    it_fieldcat = it_fieldcat", "    it_events = it_events", "  TABLES",
                                           "    t_outtab                       = IT_OUTPUT."}));
    EXPECT_LINES(section(list, "form top_of_page.", ""),
                 (std::vector<std::string>{"form top_of_page.", "WRITE: AT 1 'Rock ''n'' roll'.", "  NEW-LINE.",
                                           " WRITE: AT 50 'Date:'(T03), sy-datum.", " endform. "}));

    r.grid = true;
    r.printHeading = false;
    std::vector<std::string> grid = generated(r).source;
    EXPECT_NE(std::find(grid.begin(), grid.end(), "CALL FUNCTION  'REUSE_ALV_GRID_DISPLAY'"), grid.end());
    EXPECT_NE(std::find(grid.begin(), grid.end(), "*     it_events = it_events"), grid.end());
    std::vector<std::string> top(std::find(grid.begin(), grid.end(), "form top_of_page."), grid.end());
    EXPECT_LINES(top, (std::vector<std::string>{
                          "form top_of_page.", "WA_LINE-typ = 'H'.", " WA_LINE-info = 'Rock ''n'' roll'.",
                          " append WA_LINE TO IT_LINE.", "WA_LINE-typ = 'S'.", " WRITE SY-DATUM TO G_DATE.",
                          " CONCATENATE 'DATE:' G_DATE INTO WA_LINE-INFO.", " append WA_LINE TO IT_LINE.",
                          "call function 'REUSE_ALV_COMMENTARY_WRITE'", " exporting",
                          " it_list_commentary = IT_LINE.", "", " endform. "}));
}

}  // namespace
}  // namespace orvex
