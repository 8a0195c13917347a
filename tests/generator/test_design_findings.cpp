// The findings before Preview and Generate, with place and severity.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "DesignFindings.h"
#include "TestReports.h"

namespace orvex {
namespace {

using test::padded;

// A flight model dictionary as a system would report it.
std::optional<FieldType> flightTypes(const std::string& table, const std::string& field) {
    static const std::map<std::string, FieldType> types{
        {"SCARR-CARRID", {"CHAR", 3}},    {"SCARR-CARRNAME", {"CHAR", 20}}, {"SFLIGHT-CARRID", {"CHAR", 3}},
        {"SFLIGHT-CONNID", {"NUMC", 4}},  {"SFLIGHT-PRICE", {"CURR", 15}},  {"SFLIGHT-SEATSOCC", {"INT4", 10}},
        {"SFLIGHT-FLDATE", {"DATS", 8}},  {"SPFLI-CONNID", {"NUMC", 4}},    {"SPFLI-CARRID", {"CHAR", 3}}};
    const auto it = types.find(table + "-" + field);
    return it == types.end() ? std::nullopt : std::optional<FieldType>(it->second);
}

// Airlines and their flights, one filter on the airline.
ReportDefinition flights() {
    ReportDefinition r;
    r.name = "ZF";
    r.fields = {{padded("SCARR"), "CARRID", ""}, {padded("SFLIGHT"), "PRICE", ""}, {padded("SFLIGHT"), "SEATSOCC", ""}};
    r.selection = {{padded("SCARR"), "CARRID", "", "S;N;"}};
    r.conditions = {{"SCARR", "CARRID", "=", "SFLIGHT", "CARRID"}, {"SCARR", "CARRID", "=", "SELSCR", "CARRID"}};
    return r;
}

TEST(DesignFindings, eachFindingHasItsPlaceAndWeight) {
    struct Case {
        const char* what;
        std::function<void(ReportDefinition&)> change;
        std::vector<std::string> findings;  // Finding::text()
    };
    const Case cases[] = {
        {"a sound design", [](ReportDefinition&) {}, {}},
        {"inputs no condition uses, the second of a field the first filters by", [](ReportDefinition& r) {
             r.selection.push_back({padded("SFLIGHT"), "FLDATE", "", "P;R;"});
             r.selection.push_back({padded("SFLIGHT"), "CARRID", "", "S;N;"});
         }, {"warning: input P_FLDATE (SFLIGHT-FLDATE): no condition uses it: it filters nothing, yet the user must fill it",
             "warning: input S_CARRI2 (SFLIGHT-CARRID): no condition uses it: it filters nothing"}},
        {"a join of different types", [](ReportDefinition& r) { r.conditions[0].rightField = "CONNID"; },
         {"warning: condition 1 (SCARR-CARRID = SFLIGHT-CONNID): CHAR 3 and NUMC 4 differ in type or length: the join "
          "may match no rows"}},
        {"a join of unknown types", [](ReportDefinition& r) { r.conditions[0].rightField = "MANDT"; }, {}},
        {"a field picked twice", [](ReportDefinition& r) { r.fields.push_back(r.fields[1]); },
         {"warning: SFLIGHT-PRICE: picked twice: the report shows it once"}},
        {"a field name from a second table",
         [](ReportDefinition& r) { r.fields.push_back({padded("SFLIGHT"), "CARRID", ""}); },
         {"warning: SFLIGHT-CARRID: left out: the column CARRID comes from SCARR"}},
        {"totals of numbers", [](ReportDefinition& r) { r.fields[1].total = r.fields[2].total = true; }, {}},
        {"a total of a text", [](ReportDefinition& r) { r.fields[0].total = true; },
         {"error: SCARR-CARRID total: CHAR is not a number: only numbers have a total"}},
        {"a subtotal without totals", [](ReportDefinition& r) {
             r.fields[0].sortPosition = 1;
             r.fields[0].subtotal = true;
         }, {"warning: SCARR-CARRID subtotal: no column is totalled: the subtotal has nothing to add up"}},
        {"a filter on the outer table, errors first", [](ReportDefinition& r) {
             r.conditions[0].join = JoinType::LeftOuter;
             r.conditions[1] = {"SFLIGHT", "CARRID", "=", "SELSCR", "CARRID"};
             r.fields.push_back(r.fields[2]);
         }, {"error: condition 2 (SFLIGHT-CARRID = S_CARRID): table SFLIGHT is the outer table of a left outer "
             "join; a filter on its fields is not allowed",
             "warning: SFLIGHT-SEATSOCC: picked twice: the report shows it once"}},
        {"a table only a cross product reaches", [](ReportDefinition& r) { r.conditions.erase(r.conditions.begin()); },
         {"error: output field SFLIGHT-PRICE: table SFLIGHT is not in the FROM clause: no join condition connects it to the "
          "tables before it"}},
        {"a condition on a table no field comes from",
         [](ReportDefinition& r) { r.conditions.push_back({"SPFLI", "CARRID", "=", "SELSCR", "CARRID"}); },
         {"warning: condition 3 (SPFLI-CARRID = S_CARRID): no picked field comes from SPFLI: the condition is applied to "
          "SFLIGHT, the last table"}},
        {"an amount without its currency, shown with references",
         [](ReportDefinition& r) {
             r.references = true;
             r.fields[1].reference = ValueReference{ValueReference::Currency, "SFLIGHT", "CURRENCY"};
         },
         {"warning: SFLIGHT-PRICE: PRICE is an amount in SFLIGHT-CURRENCY: add CURRENCY, or its total mixes currencies"}},
        {"a quantity without its unit, totalled, in the modern style",
         [](ReportDefinition& r) {
             r.style = CodeStyle::Modern;
             r.fields[2].reference = ValueReference{ValueReference::Unit, "SFLIGHT", "WUNIT"};
             r.fields[2].total = true;
         },
         {"error: SFLIGHT-SEATSOCC total: SEATSOCC is a quantity in SFLIGHT-WUNIT: add WUNIT, or its total mixes units"}},
        {"an amount with its currency, or without references",
         [](ReportDefinition& r) {
             r.fields[1].reference = ValueReference{ValueReference::Currency, "SFLIGHT", "CURRENCY"};
             r.fields[1].total = true;
             r.references = true;
             r.fields.push_back({padded("SFLIGHT"), "currency", ""});
         },
         {}},
        {"an amount without its currency, classic without references",
         [](ReportDefinition& r) { r.fields[1].reference = ValueReference{ValueReference::Currency, "SFLIGHT", "CURRENCY"}; },
         {}},
        {"what the check refuses", [](ReportDefinition& r) { r.fields[1].sortPosition = -2; },
         {"error: SFLIGHT-PRICE sort position: -2 is not a sort position (1, 2, ...; 0 or none: not sorted)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReportDefinition r = flights();
        c.change(r);
        std::vector<std::string> texts;
        const std::vector<Finding> findings = reviewDesign(r, flightTypes);
        for (const Finding& f : findings) texts.push_back(f.text());
        EXPECT_EQ(texts, c.findings);
        EXPECT_EQ(hasError(findings), !c.findings.empty() && c.findings[0].starts_with("error"));
    }
}

// Without a dictionary the type findings stay silent.
TEST(DesignFindings, unknownTypesAreNotGuessed) {
    ReportDefinition r = flights();
    r.fields[0].total = true;
    r.conditions[0].rightField = "CONNID";
    EXPECT_TRUE(reviewDesign(r).empty());
}

}  // namespace
}  // namespace orvex
