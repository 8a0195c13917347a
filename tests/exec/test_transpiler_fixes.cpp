// The adaptations of a program before it is transpiled (see TranspilerFixes.h).
#include <gtest/gtest.h>

#include <stdexcept>

#include "TranspilerFixes.h"

namespace orvex::exec {
namespace {

std::string adapted(const std::string& source) { return adaptForTranspiler(source, "ZPROG", Dictionary::flightModel()); }

// The position of `line` (a whole line) in `text`, npos when absent.
std::size_t lineAt(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n");
}

TEST(TranspilerFixes, eventBlocksRunInSapsOrderAfterStartOfSelection) {
    const std::string out = adapted(
        "REPORT zprog.\nPARAMETERS p_a(4) TYPE n DEFAULT '1'.\n"
        "AT SELECTION-SCREEN.\n  WRITE 'pai'.\n"
        "AT SELECTION-SCREEN OUTPUT.\n  WRITE 'pbo'.\n\n"
        "INITIALIZATION.\n  WRITE 'init'.\n"
        "START-OF-SELECTION.\n  WRITE 'start'.\n"
        "FORM f.\n  WRITE 'form'.\nENDFORM.\n");
    for (const char* gone : {"INITIALIZATION.", "AT SELECTION-SCREEN.", "AT SELECTION-SCREEN OUTPUT."})
        EXPECT_EQ(lineAt(out, gone), std::string::npos) << gone << "\n" << out;
    std::size_t before = 0;
    for (const char* line :
         {"START-OF-SELECTION.", "  WRITE 'init'.", "  WRITE 'pbo'.", "  WRITE 'pai'.", "  WRITE 'start'.", "FORM f."}) {
        const std::size_t at = lineAt(out, line);
        EXPECT_NE(at, std::string::npos) << line << "\n" << out;
        EXPECT_GE(at, before) << line << " comes too early\n" << out;
        before = at;
    }
}

TEST(TranspilerFixes, valueRequestsBecomeFormsNobodyCalls) {
    const std::string out = adapted(
        "REPORT zprog.\nPARAMETERS p_a(4) TYPE n.\nPARAMETERS p_b(4) TYPE n.\n"
        "AT SELECTION-SCREEN ON VALUE-REQUEST FOR p_a.\n  p_a = '1'.\n"
        "AT SELECTION-SCREEN ON HELP-REQUEST FOR p_b.\n  p_b = '2'.\n"
        "START-OF-SELECTION.\n  WRITE p_a.\n");
    EXPECT_EQ(out.find("\nAT SELECTION-SCREEN"), std::string::npos) << out;
    EXPECT_NE(out.find("FORM value_request_1.\n* AT SELECTION-SCREEN ON VALUE-REQUEST FOR P_A.\n  p_a = '1'.\nENDFORM.\n"
                       "FORM value_request_2.\n* AT SELECTION-SCREEN ON HELP-REQUEST FOR P_B.\n  p_b = '2'.\nENDFORM.\n"),
              std::string::npos)
        << out;
    EXPECT_LT(lineAt(out, "  WRITE p_a."), lineAt(out, "FORM value_request_1.")) << out;
}

struct Rewrite {
    const char* name;
    const char* line;  // inside START-OF-SELECTION, or a declaration
    const char* becomes;
};
void PrintTo(const Rewrite& r, std::ostream* os) { *os << r.line; }

class TranspilerRewrites : public ::testing::TestWithParam<Rewrite> {};

TEST_P(TranspilerRewrites, touchCodeOnly) {
    const std::string out = adapted(std::string("REPORT zprog.\nSTART-OF-SELECTION.\n") + GetParam().line + "\n");
    EXPECT_NE(lineAt(out, GetParam().becomes), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TranspilerRewrites,
    ::testing::Values(Rewrite{"repidInCode", "gs-report = sy-repid.", "gs-report = 'ZPROG'."},
                      Rewrite{"repidUpperCase", "gs-report = SY-REPID.", "gs-report = 'ZPROG'."},
                      Rewrite{"repidInLiteralStays", "WRITE 'sy-repid'.", "WRITE 'sy-repid'."},
                      Rewrite{"repidInCommentStays", "x = 1. \" not sy-repid", "x = 1. \" not sy-repid"},
                      Rewrite{"repidInCommentLineStays", "* sy-repid", "* sy-repid"},
                      Rewrite{"repidLikeNameStays", "x = sy-repidx.", "x = sy-repidx."},
                      Rewrite{"parameterTypeCLength", "PARAMETERS p_vari TYPE c LENGTH 12.", "PARAMETERS p_vari(12) TYPE c."},
                      Rewrite{"parameterColonForm", "PARAMETER: p_x type C length 3 DEFAULT 'A'.",
                              "PARAMETER: p_x(3) TYPE c DEFAULT 'A'."},
                      Rewrite{"dataTypeCLengthStays", "DATA gv TYPE c LENGTH 12.", "DATA gv TYPE c LENGTH 12."}),
    [](const ::testing::TestParamInfo<Rewrite>& info) { return std::string(info.param.name); });

// The lines a generated selection screen gets for the screen as accepted.
struct Accepted {
    const char* name;
    const char* declaration;  // as the generator writes it, DEFAULT line included
    const char* added;        // "" when nothing is added
};
void PrintTo(const Accepted& a, std::ostream* os) { *os << a.declaration; }

class AcceptedScreen : public ::testing::TestWithParam<Accepted> {};

TEST_P(AcceptedScreen, setsInitialInputsAsSapDoes) {
    const std::string out =
        adapted(std::string("REPORT zprog.\n") + GetParam().declaration + "\nSTART-OF-SELECTION.\nPERFORM get_data.\n");
    const std::size_t start = lineAt(out, "START-OF-SELECTION."), body = lineAt(out, "PERFORM get_data.");
    const std::string between = out.substr(start, body - start);
    if (*GetParam().added == '\0') {
        EXPECT_EQ(between.find("[]"), std::string::npos) << out;
        EXPECT_EQ(between.find("CLEAR"), std::string::npos) << out;
    } else {
        EXPECT_NE(between.find(std::string("\n") + GetParam().added + "\n"), std::string::npos) << out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, AcceptedScreen,
    ::testing::Values(
        Accepted{"emptySelectOption", " SELECT-OPTIONS: s_CARRID FOR SFLIGHT-CARRID\n\n  DEFAULT ''.", "CLEAR s_CARRID[]."},
        Accepted{"requiredSelectOptionWithValue", " SELECT-OPTIONS: s_CARRID FOR SFLIGHT-CARRID\n\n  OBLIGATORY\n  DEFAULT 'LH'.", ""},
        Accepted{"zeroNumericSelectOption", " SELECT-OPTIONS: s_CONNID FOR SFLIGHT-CONNID\n\n  DEFAULT '0'.", "CLEAR s_CONNID[]."},
        Accepted{"emptyDateParameter", " PARAMETER: P_FLDATE LIKE SFLIGHT-FLDATE\n\n  DEFAULT ''.", "CLEAR P_FLDATE."},
        Accepted{"emptyTextParameter", " PARAMETER: P_CARRNA LIKE SCARR-CARRNAME\n\n  DEFAULT ''.", "CLEAR P_CARRNA."},
        Accepted{"dateParameterWithValue", " PARAMETER: P_FLDATE LIKE SFLIGHT-FLDATE\n\n  DEFAULT '20240115'.", ""},
        Accepted{"apostropheDefault", " PARAMETER: P_CARRNA LIKE SCARR-CARRNAME\n\n  DEFAULT 'O''Hare'.", ""},
        Accepted{"notFromTheDictionary", "PARAMETERS p_max(4) TYPE n DEFAULT '0'.", ""},
        // The modern program types its parameters with TYPE and leaves out an empty default.
        Accepted{"typedDateParameterWithoutDefault", "PARAMETERS p_fldate TYPE sflight-fldate.", "CLEAR p_fldate."},
        Accepted{"typedParameterWithValue", "PARAMETERS p_carrid TYPE sflight-carrid OBLIGATORY DEFAULT 'LH'.", ""},
        Accepted{"selectOptionWithoutDefault", "SELECT-OPTIONS s_fldate FOR sflight-fldate.", "CLEAR s_fldate[]."}),
    [](const ::testing::TestParamInfo<Accepted>& info) { return std::string(info.param.name); });

TEST(TranspilerFixes, readsTheInputsAsDeclared) {
    const std::vector<ScreenInput> inputs = screenInputs(
        " PARAMETER: P_CARRNA LIKE SCARR-CARRNAME\n\n  OBLIGATORY\n  DEFAULT 'Lufthansa''s'.\n"
        " SELECT-OPTIONS: s_SEATS2 FOR SFLIGHT-SEATSOCC_F \" a comment\n\n  DEFAULT '10'.\n"
        "PARAMETERS p_max(4) TYPE n.\n");
    EXPECT_EQ(inputs, (std::vector<ScreenInput>{{"P_CARRNA", false, "SCARR", "CARRNAME", "Lufthansa's"},
                                                 {"s_SEATS2", true, "SFLIGHT", "SEATSOCC_F", "10"},
                                                 {"p_max", false, "", "", std::nullopt}}));
}

TEST(TranspilerFixes, refusesAProgramWithoutStartOfSelection) {
    EXPECT_THROW(adapted("REPORT zprog.\nWRITE 'x'.\n"), std::runtime_error);
}

}  // namespace
}  // namespace orvex::exec
