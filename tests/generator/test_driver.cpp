// The generation lists and the SELECT statement.
#include <gtest/gtest.h>

#include <algorithm>

#include "Generator.h"
#include "TestReports.h"

namespace orvex {
namespace {

using test::flightReport;
using test::generated;
using test::padded;
using test::refusal;

PickedField pick(const std::string& table, const std::string& field) { return {padded(table), field, " " + field + " "}; }

// Screen names: eight characters, unique by a running number without regard
// to case, the option inputs named first.
TEST(Driver, screenNamesAreShortAndUnique) {
    ReportDefinition r = flightReport({"CARRID"});
    for (const char* f : {"CARRID", "CARRI2", "CARRID", "MAX"}) r.selection.push_back({padded("SFLIGHT"), f, "", "P;N;"});
    r.selection.push_back({padded("SFLIGHT"), "VARI", "", "S;N;"});
    r.maxRows = 0;
    r.layoutVariant = true;
    Generated g = generated(r);
    std::vector<std::string> labels, inputs;
    for (const ScreenNames& n : g.screenNames) {
        labels.push_back(n.label);
        inputs.push_back(n.input);
    }
    EXPECT_EQ(g.optionNames, (OptionNames{"VS_MAX", "P_MAX", "VS_VARI", "P_VARI"}));
    EXPECT_EQ(labels, (std::vector<std::string>{"VS_CARRI", "VS_CARR2", "VS_CARR3", "VS_MAX2", "VS_VARI2"}));
    EXPECT_EQ(inputs, (std::vector<std::string>{"P_CARRID", "P_CARRI2", "P_CARRI3", "P_MAX2", "s_VARI"}));
}

// The FROM and WHERE lines no golden program shows, or the refusal; each
// picked table has a field of its own.
struct SelectCase {
    const char* name;
    std::vector<std::string> tables;
    std::vector<SelectionEntry> selection;
    std::vector<Condition> conditions;
    std::string result;  // the lines after "From ", joined by "|", or a piece of the refusal
};
void PrintTo(const SelectCase& c, std::ostream* os) { *os << c.name; }

class SelectStatements : public ::testing::TestWithParam<SelectCase> {};

TEST_P(SelectStatements, joinAndFilterAsTheConditionsSay) {
    ReportDefinition r;
    for (const std::string& table : GetParam().tables) r.fields.push_back(pick(table, "F" + std::to_string(r.fields.size())));
    r.selection = GetParam().selection;
    r.conditions = GetParam().conditions;
    const GenerationResult g = GenerateProgram(r);
    if (!g) {
        EXPECT_NE(g.failure().reason.find(GetParam().result), std::string::npos) << g.failure().reason;
        return;
    }
    std::string lines;
    const auto& all = g->selectLines;
    for (auto at = std::find(all.begin(), all.end(), "into table It_Output From "); at != all.end() && ++at != all.end();)
        lines += (lines.empty() ? "" : "|") + *at;
    EXPECT_EQ(lines, GetParam().result);
}

const JoinType outer = JoinType::LeftOuter, inner = JoinType::Inner;
const std::vector<std::string> kAirlineFlights{"SCARR", "SPFLI"}, kThree{"SCARR", "SPFLI", "SFLIGHT"};

INSTANTIATE_TEST_SUITE_P(
    Conditions, SelectStatements,
    ::testing::Values(
        SelectCase{"selscrIsRecognisedExactlyOnly", {"SFLIGHT", "SCARR"}, {}, {{"SFLIGHT", "CARRID", "=", "selscr", "CARRID"}},
                   "SFLIGHT As A inner join SCARR As B on A~CARRID = B~CARRID|."},
        SelectCase{"noOutputField", {}, {}, {}, "no output field"},
        SelectCase{"unjoinedTable", kAirlineFlights, {}, {}, "table SPFLI is not in the FROM clause"},
        SelectCase{"tableJoinedWithItself", kAirlineFlights, {}, {{"SPFLI", "CARRID", "=", "SPFLI", "CARRID"}},
                   "joins table SPFLI with itself"},
        SelectCase{"neitherTableJoinedYet", {"T1", "T2", "T3", "T4"}, {},
                   {{"T1", "A", "=", "T2", "A"}, {"T3", "C", "=", "T4", "C"}}, "neither T3 nor T4 is joined"},
        SelectCase{"outerJoinExtended", kThree, {},
                   {{"SCARR", "CARRID", "=", "SPFLI", "CARRID"}, {"SPFLI", "CARRID", "=", "SFLIGHT", "CARRID", outer},
                    {"SFLIGHT", "CONNID", "=", "SPFLI", "CONNID", outer}},
                   "SCARR As A inner join SPFLI As B on A~CARRID = B~CARRID| left outer join SFLIGHT As C on B~CARRID = C~CARRID"
                   "| AND C~CONNID = B~CONNID|."},
        SelectCase{"outerJoinNotEqual", kAirlineFlights, {}, {{"SCARR", "CARRID", "<>", "SPFLI", "CARRID", outer}},
                   "condition 1 (SCARR-CARRID <> SPFLI-CARRID): a left outer join compares with = only"},
        SelectCase{"filterOnTheOuterTable", kAirlineFlights, {{padded("SCARR"), "CARRID", "", "P;N;"}},
                   {{"SCARR", "CARRID", "=", "SPFLI", "CARRID", outer}, {"SPFLI", "CARRID", "=", "SELSCR", "CARRID"}},
                   "condition 2 (SPFLI-CARRID = P_CARRID): table SPFLI is the outer table of a left outer join; a filter"},
        SelectCase{"laterJoinNamingTheOuterTable", kThree, {},
                   {{"SCARR", "CARRID", "=", "SPFLI", "CARRID", outer}, {"SPFLI", "CARRID", "=", "SFLIGHT", "CARRID", inner}},
                   "condition 2 (SPFLI-CARRID = SFLIGHT-CARRID): table SPFLI is the outer table of a left outer join; no later"},
        SelectCase{"innerLineOnAnOuterJoin", kAirlineFlights, {},
                   {{"SCARR", "CARRID", "=", "SPFLI", "CARRID", outer}, {"SCARR", "CARRID", "=", "SPFLI", "CONNID", inner}},
                   "condition 2 (SCARR-CARRID = SPFLI-CONNID): it adds to the ON condition of the join before it, a left outer join"},
        SelectCase{"outerLineOnAnInnerJoin", kAirlineFlights, {},
                   {{"SCARR", "CARRID", "=", "SPFLI", "CARRID"}, {"SCARR", "CARRID", "=", "SPFLI", "CONNID", outer}},
                   "condition 2 (SCARR-CARRID = SPFLI-CONNID): it adds to the ON condition of the join before it, an inner join"},
        SelectCase{"outerLineWithoutTheOuterTable", kThree, {},
                   {{"SCARR", "CARRID", "=", "SPFLI", "CARRID"}, {"SPFLI", "CARRID", "=", "SFLIGHT", "CARRID", outer},
                    {"SCARR", "CARRID", "=", "SPFLI", "CONNID", outer}},
                   "condition 3 (SCARR-CARRID = SPFLI-CONNID): each comparison of a left outer join names its outer table SFLIGHT"}),
    [](const ::testing::TestParamInfo<SelectCase>& info) { return std::string(info.param.name); });

TEST(Driver, atMost26Tables) {
    ReportDefinition r;
    for (int i = 0; i < 26; ++i) {
        r.fields.push_back(pick("T" + std::to_string(i), "F" + std::to_string(i)));
        if (i > 0) r.conditions.push_back({"T0", "K", "=", "T" + std::to_string(i), "K"});
    }
    Generated g = generated(r);
    EXPECT_EQ(g.aliases.back().alias, "Z");
    r.fields.push_back(pick("T26", "F26"));
    EXPECT_NE(refusal(r).find("26 at most"), std::string::npos);
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
