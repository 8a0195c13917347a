// The modern program: what choices no golden program makes add or leave out,
// and no line past column 120.
#include <gtest/gtest.h>

#include <functional>

#include "Generator.h"
#include "TestReports.h"
#include "Text.h"

namespace orvex {
namespace {

using test::flightReport;
using test::generated;
using test::has;
using test::mentions;
using test::padded;

struct Variant {
    const char* name;
    std::function<void(ReportDefinition&)> change;
    std::vector<std::string> present;  // whole lines
    std::vector<std::string> absent;   // pieces no line may hold
};
void PrintTo(const Variant& v, std::ostream* os) { *os << v.name; }

class ModernVariants : public ::testing::TestWithParam<Variant> {};

TEST_P(ModernVariants, addOrLeaveOutTheirParts) {
    ReportDefinition r = flightReport({"CARRID", "CONNID"});
    r.style = CodeStyle::Modern;
    GetParam().change(r);
    const std::vector<std::string> src = generated(r).source;
    for (const std::string& line : GetParam().present) EXPECT_TRUE(has(src, line)) << line;
    for (const std::string& piece : GetParam().absent) EXPECT_FALSE(mentions(src, piece)) << piece;
    // Only a literal longer than a line stands past column 120, on a line of its own.
    for (const std::string& line : src)
        EXPECT_TRUE(text::length(line) <= 120u || (line.starts_with("  '") && line.ends_with("'."))) << line;
    EXPECT_FALSE(mentions(src, "FORM ")) << "no FORM routines";
}

INSTANTIATE_TEST_SUITE_P(
    Designs, ModernVariants,
    ::testing::Values(
        Variant{"noDescriptionsNoColumnTexts",
                [](ReportDefinition& r) { for (PickedField& f : r.fields) f.description = "  "; },
                {"    mo_alv->get_columns( )->set_optimize( abap_true ).", "      CATCH cx_salv_msg INTO DATA(lx_error)."},
                {"set_column_text", "cx_salv_not_found"}},
        Variant{"inputsAsDeclaredWithoutEmptyDefaults",
                [](ReportDefinition& r) {
                    r.selection = {{padded("SFLIGHT"), "CARRID", "Carrier's", "P;R;O'Neil"},
                                   {" SFLIGHT", "FLDATE", "", "S;N;"},
                                   {"SCARR", "CARRNAME", "Name", "S;N;"}};
                    r.texts = TextSource::Literal;
                },
                {"TABLES sflight.", "TABLES scarr.", "PARAMETERS p_carrid TYPE sflight-carrid OBLIGATORY DEFAULT 'O''Neil'.",
                 "SELECT-OPTIONS s_fldate FOR sflight-fldate.", "SELECTION-SCREEN COMMENT 1(20) sc_carri.",
                 "  sc_carri = 'Carrier''s'.", "  sc_carrn = 'Name'."},
                {"DEFAULT ''", "sc_fldat ="}},
        Variant{"namespacedNamesInLowerCase",
                [](ReportDefinition& r) {
                    r.name = "/ORVX/ZREP";
                    r.fields = {{padded("/BIC/AZT00"), "/BIC/ZF1", "Key figure"}};
                },
                {"REPORT /orvx/zrep.", "        /bic/zf1 TYPE /bic/azt00-/bic/zf1,",
                 "                     iv_column  = '/BIC/ZF1'"},
                {}},
        Variant{"withoutAuthorityCheck", [](ReportDefinition& r) { r.authorityCheck = false; }, {},
                {"check_authority", "VIEW_AUTHORITY_CHECK"}},
        Variant{"aLiteralLongerThanALineStaysWhole",
                [](ReportDefinition& r) { r.selection = {{"SFLIGHT", "CARRID", "", "P;N;" + std::string(130, 'x')}}; },
                {"  '" + std::string(130, 'x') + "'."},
                {}}),
    [](const ::testing::TestParamInfo<Variant>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvex
