// The plan of a report as a value, its rules and refusals, and the limits of
// the generated program.
#include <gtest/gtest.h>

#include "Generator.h"
#include "ReportPlan.h"
#include "TestReports.h"

namespace orvex {
namespace {

using test::flightReport;
using test::generated;
using test::padded;
using test::planned;
using test::refusal;

PickedField pick(const std::string& table, const std::string& field) { return {padded(table), field, " " + field + " "}; }

// Every piece of a plan: two tables joined, a column left out for its name, a
// parameter and a select-option filtering, a sort with a row limit, a total,
// the layout and the tables' authorisation checks.
TEST(ReportPlan, holdsTheReportDecidedOnce) {
    ReportDefinition r;
    r.name = "ZPLAN";
    r.author = "AUTHOR";
    r.fields = {{padded("SCARR"), "CARRID", "Airline"}, {padded("SFLIGHT"), " FLDATE", " Date "},
                {padded("SFLIGHT"), "carrid", ""}, {padded("SFLIGHT"), "PRICE", ""}};
    r.fields[1].sortPosition = 1;
    r.fields[1].sortDescending = true;
    r.fields[3].total = true;
    r.selection = {{padded("SFLIGHT"), "FLDATE", "Date ", "P;R;20240101"}, {padded("SCARR"), "CARRID", "", "S;N;LH"},
                   {padded("scarr"), "CARRNAME", "", "S;N;"}};
    r.conditions = {{"SCARR", "CARRID", "=", "SFLIGHT", "CARRID"},
                    {"SFLIGHT", "FLDATE", ">", "SELSCR", " FLDATE "},
                    {"SCARR", "CARRID", "<>", "SELSCR", "CARRID"}};
    r.maxRows = 100;
    r.layoutVariant = true;

    ReportPlan expected;
    expected.name = "ZPLAN";
    expected.author = "AUTHOR";
    expected.heading = kInitialHeading;
    expected.tables = {{"SCARR", "A"}, {"SFLIGHT", "B"}};
    expected.from = {{FromStep::FirstJoin, 1, 0}};
    expected.joins = {{{0, "CARRID"}, "=", {1, "CARRID"}, JoinType::Inner, 0}};
    expected.filters = {{{1, "FLDATE"}, ">", 0, 1}, {{0, "CARRID"}, "IN", 1, 2}};
    expected.columns = {{{0, "CARRID"}, "Airline"}, {{1, "FLDATE"}, "Date", 1, true}, {{1, "PRICE"}, "", 0, false, false, true}};
    expected.inputs = {{InputKind::Parameter, true, "20240101", "SFLIGHT", "FLDATE", "Date ", {"FLDATE", "FLDAT"}},
                       {InputKind::SelectOption, false, "LH", "SCARR", "CARRID", "", {"CARRID", "CARRI"}},
                       {InputKind::SelectOption, false, "", "scarr", "CARRNAME", "", {"CARRNA", "CARRN"}}};
    expected.inputTables = {"SCARR"};
    expected.options = {{1}, {1, 0, 2}, true, true, RowLimit{100, {"MAX", "MAX"}}, ScreenName{"VARI", "VARI"},
                        {"SCARR", "SFLIGHT"}};
    EXPECT_EQ(planned(r), expected);
    EXPECT_EQ(inputName(expected.inputs[0]), "P_FLDATE");
    EXPECT_EQ(inputName(expected.inputs[1]), "S_CARRID");
}

// Input names: eight characters with their prefix, unique by a running number
// without regard to case within their kind, the option inputs named first.
TEST(ReportPlan, inputNamesAreShortAndUnique) {
    ReportDefinition r = flightReport({"CARRID"});
    for (const char* f : {"CARRID", "CARRI2", "CARRID", "MAX"}) r.selection.push_back({padded("SFLIGHT"), f, "", "P;N;"});
    r.selection.push_back({padded("SFLIGHT"), "VARI", "", "S;N;"});
    r.selection.push_back({padded("SFLIGHT"), "/BIC/ZAMOUNT", "", "S;N;"});
    r.maxRows = 0;
    r.layoutVariant = true;
    const ReportPlan plan = planned(r);
    std::vector<ScreenName> names;
    for (const PlanInput& in : plan.inputs) names.push_back(in.name);
    EXPECT_EQ(plan.options.rowLimit->name, (ScreenName{"MAX", "MAX"}));
    EXPECT_EQ(plan.options.layout, (ScreenName{"VARI", "VARI"}));
    EXPECT_EQ(names, (std::vector<ScreenName>{{"CARRID", "CARRI"}, {"CARRI2", "CARR2"}, {"CARRI3", "CARR3"},
                                              {"MAX2", "MAX2"}, {"VARI", "VARI2"}, {"ZAMOUN", "ZAMOU"}}));
    EXPECT_EQ(planInputs(r), plan.inputs);
}

// The FROM clause piece by piece, or the refusal; each picked table has a
// field of its own.
struct FromCase {
    const char* name;
    std::vector<std::string> tables;
    std::vector<SelectionEntry> selection;
    std::vector<Condition> conditions;
    std::vector<FromStep> from;
    std::string refused;  // a piece of the refusal, "" when the plan is made
};
void PrintTo(const FromCase& c, std::ostream* os) { *os << c.name; }

class FromClauses : public ::testing::TestWithParam<FromCase> {};

TEST_P(FromClauses, joinAndFilterAsTheConditionsSay) {
    const FromCase& c = GetParam();
    ReportDefinition r;
    for (const std::string& table : c.tables) r.fields.push_back(pick(table, "F" + std::to_string(r.fields.size())));
    r.selection = c.selection;
    r.conditions = c.conditions;
    const Result<ReportPlan> plan = planReport(r);
    if (!c.refused.empty()) {
        ASSERT_FALSE(plan);
        EXPECT_NE(plan.failure().reason.find(c.refused), std::string::npos) << plan.failure().reason;
        EXPECT_EQ(refusal(r), plan.failure().reason);
        return;
    }
    ASSERT_TRUE(plan) << plan.failure().reason;
    EXPECT_EQ(plan->from, c.from);
}

const JoinType outer = JoinType::LeftOuter, inner = JoinType::Inner;
const std::vector<std::string> kAirlineFlights{"SCARR", "SPFLI"}, kThree{"SCARR", "SPFLI", "SFLIGHT"};
constexpr FromStep::Kind kFirstTable = FromStep::FirstTable, kFirstJoin = FromStep::FirstJoin,
                         kJoinTable = FromStep::JoinTable, kExtendOn = FromStep::ExtendOn;

INSTANTIATE_TEST_SUITE_P(
    Conditions, FromClauses,
    ::testing::Values(
        FromCase{"oneTable", {"SFLIGHT"}, {}, {}, {{kFirstTable, 0, 0}}, ""},
        FromCase{"selscrIsRecognisedExactlyOnly", {"SFLIGHT", "SCARR"}, {}, {{"SFLIGHT", "CARRID", "=", "selscr", "CARRID"}},
                 {{kFirstJoin, 1, 0}}, ""},
        FromCase{"aConditionOnAnotherTableStandsForTheLast", kAirlineFlights, {}, {{"SCARR", "CARRID", "=", "SBOOK", "CARRID"}},
                 {{kFirstJoin, 1, 0}}, ""},
        FromCase{"leftTableJoinedLater", {"T1", "T2", "T3"}, {}, {{"T1", "A", "=", "T2", "A"}, {"T3", "C", "=", "T2", "C"}},
                 {{kFirstJoin, 1, 0}, {kJoinTable, 2, 1}}, ""},
        FromCase{"noOutputField", {}, {}, {}, {}, "no output field"},
        FromCase{"unknownInput", {"SFLIGHT"}, {}, {{"SFLIGHT", "F0", "=", "SELSCR", "CARRID"}}, {}, "is not a field of the selection screen"},
        FromCase{"unjoinedTable", kAirlineFlights, {}, {}, {}, "table SPFLI is not in the FROM clause"},
        FromCase{"tableJoinedWithItself", kAirlineFlights, {}, {{"SPFLI", "CARRID", "=", "SPFLI", "CARRID"}}, {},
                 "joins table SPFLI with itself"},
        FromCase{"neitherTableJoinedYet", {"T1", "T2", "T3", "T4"}, {},
                 {{"T1", "A", "=", "T2", "A"}, {"T3", "C", "=", "T4", "C"}}, {}, "neither T3 nor T4 is joined"},
        FromCase{"outerJoinExtended", kThree, {},
                 {{"SCARR", "CARRID", "=", "SPFLI", "CARRID"}, {"SPFLI", "CARRID", "=", "SFLIGHT", "CARRID", outer},
                  {"SFLIGHT", "CONNID", "=", "SPFLI", "CONNID", outer}},
                 {{kFirstJoin, 1, 0}, {kJoinTable, 2, 1}, {kExtendOn, 0, 2}}, ""},
        FromCase{"outerJoinNotEqual", kAirlineFlights, {}, {{"SCARR", "CARRID", "<>", "SPFLI", "CARRID", outer}}, {},
                 "condition 1 (SCARR-CARRID <> SPFLI-CARRID): a left outer join compares with = only"},
        FromCase{"filterOnTheOuterTable", kAirlineFlights, {{padded("SCARR"), "CARRID", "", "P;N;"}},
                 {{"SCARR", "CARRID", "=", "SPFLI", "CARRID", outer}, {"SPFLI", "CARRID", "=", "SELSCR", "CARRID"}}, {},
                 "condition 2 (SPFLI-CARRID = P_CARRID): table SPFLI is the outer table of a left outer join; a filter"},
        FromCase{"laterJoinNamingTheOuterTable", kThree, {},
                 {{"SCARR", "CARRID", "=", "SPFLI", "CARRID", outer}, {"SPFLI", "CARRID", "=", "SFLIGHT", "CARRID", inner}}, {},
                 "condition 2 (SPFLI-CARRID = SFLIGHT-CARRID): table SPFLI is the outer table of a left outer join; no later"},
        FromCase{"innerLineOnAnOuterJoin", kAirlineFlights, {},
                 {{"SCARR", "CARRID", "=", "SPFLI", "CARRID", outer}, {"SCARR", "CARRID", "=", "SPFLI", "CONNID", inner}}, {},
                 "condition 2 (SCARR-CARRID = SPFLI-CONNID): it adds to the ON condition of the join before it, a left outer join"},
        FromCase{"outerLineOnAnInnerJoin", kAirlineFlights, {},
                 {{"SCARR", "CARRID", "=", "SPFLI", "CARRID"}, {"SCARR", "CARRID", "=", "SPFLI", "CONNID", outer}}, {},
                 "condition 2 (SCARR-CARRID = SPFLI-CONNID): it adds to the ON condition of the join before it, an inner join"},
        FromCase{"outerLineWithoutTheOuterTable", kThree, {},
                 {{"SCARR", "CARRID", "=", "SPFLI", "CARRID"}, {"SPFLI", "CARRID", "=", "SFLIGHT", "CARRID", outer},
                  {"SCARR", "CARRID", "=", "SPFLI", "CONNID", outer}}, {},
                 "condition 3 (SCARR-CARRID = SPFLI-CONNID): each comparison of a left outer join names its outer table SFLIGHT"}),
    [](const ::testing::TestParamInfo<FromCase>& info) { return std::string(info.param.name); });

TEST(Driver, atMost26Tables) {
    ReportDefinition r;
    for (int i = 0; i < 26; ++i) {
        r.fields.push_back(pick("T" + std::to_string(i), "F" + std::to_string(i)));
        if (i > 0) r.conditions.push_back({"T0", "K", "=", "T" + std::to_string(i), "K"});
    }
    EXPECT_EQ(planned(r).tables.back().alias, "Z");
    r.fields.push_back(pick("T26", "F26"));
    EXPECT_NE(refusal(r).find("(table T26 would be the 27th); the aliases A to Z allow 26 at most"), std::string::npos);
}

TEST(Driver, atMost32768SourceLines) {
    // Eight lines a field: a component, a select piece and six catalogue lines.
    const std::size_t base = generated(flightReport({"F"})).source.size() - 8;
    const std::size_t fits = (kMaxSourceLines - base) / 8;
    std::vector<std::string> fields;
    for (std::size_t i = 0; i < fits; ++i) fields.push_back("F" + std::to_string(i));
    EXPECT_LE(generated(flightReport(fields)).source.size(), kMaxSourceLines);
    fields.push_back("LAST");
    EXPECT_NE(refusal(flightReport(fields)).find("at most 32768"), std::string::npos);
}

}  // namespace
}  // namespace orvex
