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

TEST(Driver, unknownConditionTableResolvesToTheLastTable) {
    std::vector<TableAlias> aliases{{"T1", "A"}, {"T2", "B"}, {"T3", "C"}};
    EXPECT_EQ(lookupTable(aliases, "T1"), 0u);
    EXPECT_EQ(lookupTable(aliases, "T3"), 2u);
    EXPECT_EQ(lookupTable(aliases, "NOPE"), 2u);
    EXPECT_EQ(lookupTable(aliases, "t1"), 2u);  // exact comparison
}

// The example of an orders report: one join row and two where rows.
TEST(Driver, selectStatementOfJoinAndWhereRows) {
    ReportDefinition r;
    r.fields = {pick("ORDERS", "ORDNO"), pick("ORDERS", "CUSTNO"), pick("CUSTOMERS", "NAME")};
    r.selection = {{padded("ORDERS"), "ORDNO", "Order", "P;N;"}, {padded("ORDERS"), "CUSTNO", "Customer", "S;N;"}};
    r.conditions = {{"ORDERS", "ORDNO", "=", "SELSCR", "ORDNO"},
                    {"ORDERS", "CUSTNO", "=", "CUSTOMERS", "CUSTNO"},
                    {"ORDERS", "CUSTNO", "<>", "SELSCR", "CUSTNO"}};
    // The last row's "<>" gives way to IN: its entry is a select-option.
    EXPECT_EQ(generated(r).selectLines,
              (std::vector<std::string>{"Select ", "A~ORDNO ", "A~CUSTNO ", "B~NAME ", "into table It_Output From ",
                                        "ORDERS As A inner join CUSTOMERS As B on A~CUSTNO = B~CUSTNO", " Where ",
                                        "A~ORDNO = P_ORDNO", " AND ", "A~CUSTNO  IN  S_CUSTNO", "."}));
}

TEST(Driver, laterJoinRowsJoinTheNewTableOrExtendTheCondition) {
    ReportDefinition r;
    r.fields = {pick("SFLIGHT", "FLDATE"), pick("SPFLI", "CITYFROM"), pick("SCARR", "CARRNAME"), pick("SBOOK", "BOOKID")};
    r.conditions = {{"SFLIGHT", "CARRID", "=", "SPFLI", "CARRID"},
                    {"SPFLI", "CONNID", "=", "SFLIGHT", "CONNID"},   // both joined: AND
                    {"SFLIGHT", "CARRID", "=", "SCARR", "CARRID"},   // right table new
                    {"SBOOK", "CARRID", "=", "SFLIGHT", "CARRID"}};  // left table new
    Generated g = generated(r);
    std::vector<std::string> from(g.selectLines.begin() + 6, g.selectLines.end());
    EXPECT_EQ(from, (std::vector<std::string>{"SFLIGHT As A inner join SPFLI As B on A~CARRID = B~CARRID",
                                                 " AND B~CONNID = A~CONNID",
                                                 " inner join SCARR As C on A~CARRID = C~CARRID",
                                                 " inner join SBOOK As D on D~CARRID = A~CARRID", "."}));
}

TEST(Driver, whereRowKindFollowsTheFirstSettingsCharacter) {
    ReportDefinition r = flightReport({"CARRID", "CONNID", "FLDATE"});
    r.selection = {{padded("SFLIGHT"), " CARRID ", "", "P;N;"},
                   {padded("SFLIGHT"), "CONNID", "", "P;R;"},
                   {padded("SFLIGHT"), "FLDATE", "", "S;N;"}};
    r.conditions = {{"SFLIGHT", "CARRID", "<>", "SELSCR", "CARRID"},
                    {"SFLIGHT", "CONNID", ">", "SELSCR", "CONNID"},
                    {"SFLIGHT", "FLDATE", "=", "SELSCR", "FLDATE"}};
    Generated g = generated(r);
    std::vector<std::string> where(g.selectLines.end() - 6, g.selectLines.end());
    EXPECT_EQ(where, (std::vector<std::string>{"A~CARRID <> P_CARRID", " AND ", "A~CONNID > P_CONNID", " AND ",
                                                  "A~FLDATE  IN  S_FLDATE", "."}));
}

TEST(Driver, selscrIsRecognisedExactlyOnly) {
    ReportDefinition r;
    r.fields = {pick("SFLIGHT", "CARRID"), pick("SCARR", "CARRNAME")};
    r.conditions = {{"SFLIGHT", "CARRID", "=", "selscr", "CARRID"}};  // a join row to the last table
    Generated g = generated(r);
    ASSERT_EQ(g.joins.size(), 1u);
    EXPECT_EQ(g.joins[0].rightClause, "SCARR As B");
    EXPECT_TRUE(g.wheres.empty());
}

TEST(Driver, screenNamesAreShortAndUnique) {
    ReportDefinition r = flightReport({"CARRID"});
    for (const char* f : {"CARRID", "SEATSOCC_B", "SEATSOCC_F", "CARRI2", "CARRID"})
        r.selection.push_back({padded("SFLIGHT"), f, "", "P;N;"});
    r.selection[1].settings = r.selection[2].settings = "S;N;";
    Generated g = generated(r);
    std::vector<std::string> labels, inputs;
    for (const ScreenNames& n : g.screenNames) {
        labels.push_back(n.label);
        inputs.push_back(n.input);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"VS_CARRI", "VS_SEATS", "VS_SEAT2", "VS_CARR2", "VS_CARR3"}));
    EXPECT_EQ(inputs, (std::vector<std::string>{"P_CARRID", "s_SEATSO", "s_SEATS2", "P_CARRI2", "P_CARRI3"}));
}

TEST(Driver, refusals) {
    ReportDefinition none = flightReport({});
    EXPECT_NE(refusal(none).find("no output field"), std::string::npos);

    ReportDefinition unjoined;
    unjoined.fields = {pick("SFLIGHT", "FLDATE"), pick("SPFLI", "CITYFROM")};
    EXPECT_NE(refusal(unjoined).find("table SPFLI is not in the FROM clause"), std::string::npos);

    ReportDefinition self = unjoined;
    self.conditions = {{"SPFLI", "CARRID", "=", "SPFLI", "CARRID"}};
    EXPECT_NE(refusal(self).find("joins table SPFLI with itself"), std::string::npos);

    ReportDefinition neither;
    neither.fields = {pick("T1", "A"), pick("T2", "B"), pick("T3", "C"), pick("T4", "D")};
    neither.conditions = {{"T1", "A", "=", "T2", "A"}, {"T3", "C", "=", "T4", "C"}};
    EXPECT_NE(refusal(neither).find("neither T3 nor T4 is joined"), std::string::npos);

}

// Left outer joins as release 7.02 takes them, and what it refuses, each
// with the condition and the reason.
TEST(Driver, leftOuterJoinsFollowTheRulesOf702) {
    const JoinType outer = JoinType::LeftOuter, inner = JoinType::Inner;
    struct Case {
        const char* what;
        std::vector<Condition> conditions;
        std::string result;  // the FROM and WHERE lines, or the refusal's start
    };
    const Case cases[] = {
        {"one outer join", {{"SCARR", "CARRID", "=", "SPFLI", "CARRID", outer}},
         "SCARR As A left outer join SPFLI As B on A~CARRID = B~CARRID|."},
        {"an outer join extended", {{"SCARR", "CARRID", "=", "SPFLI", "CARRID"}, {"SPFLI", "CARRID", "=", "SFLIGHT", "CARRID", outer},
                                    {"SFLIGHT", "CONNID", "=", "SPFLI", "CONNID", outer}},
         "SCARR As A inner join SPFLI As B on A~CARRID = B~CARRID| left outer join SFLIGHT As C on B~CARRID = C~CARRID"
         "| AND C~CONNID = B~CONNID|."},
        {"the new table on the left", {{"SCARR", "CARRID", "=", "SPFLI", "CARRID"}, {"SFLIGHT", "CARRID", "=", "SPFLI", "CARRID", outer}},
         "SCARR As A inner join SPFLI As B on A~CARRID = B~CARRID| left outer join SFLIGHT As C on C~CARRID = B~CARRID|."},
        {"a filter on the inner side", {{"SCARR", "CARRID", "=", "SPFLI", "CARRID", outer}, {"SCARR", "CARRID", "=", "SELSCR", "CARRID"}},
         "SCARR As A left outer join SPFLI As B on A~CARRID = B~CARRID| Where |A~CARRID = P_CARRID|."},
        {"not =", {{"SCARR", "CARRID", "<>", "SPFLI", "CARRID", outer}},
         "condition 1 (SCARR.CARRID <> SPFLI.CARRID): a left outer join compares with = only"},
        {"a filter on the outer table", {{"SCARR", "CARRID", "=", "SPFLI", "CARRID", outer}, {"SPFLI", "CARRID", "=", "SELSCR", "CARRID"}},
         "condition 2 (SPFLI.CARRID = SELSCR.CARRID): table SPFLI is the outer table of a left outer join; a filter"},
        {"a later join naming the outer table", {{"SCARR", "CARRID", "=", "SPFLI", "CARRID", outer}, {"SPFLI", "CARRID", "=", "SFLIGHT", "CARRID", inner}},
         "condition 2 (SPFLI.CARRID = SFLIGHT.CARRID): table SPFLI is the outer table of a left outer join; no later"},
        {"an inner line on an outer join", {{"SCARR", "CARRID", "=", "SPFLI", "CARRID", outer}, {"SCARR", "CARRID", "=", "SPFLI", "CONNID", inner}},
         "condition 2 (SCARR.CARRID = SPFLI.CONNID): it adds to the ON condition of the join before it, a left outer join"},
        {"an outer line on an inner join", {{"SCARR", "CARRID", "=", "SPFLI", "CARRID"}, {"SCARR", "CARRID", "=", "SPFLI", "CONNID", outer}},
         "condition 2 (SCARR.CARRID = SPFLI.CONNID): it adds to the ON condition of the join before it, an inner join"},
        {"an outer line without the outer table",
         {{"SCARR", "CARRID", "=", "SPFLI", "CARRID"}, {"SPFLI", "CARRID", "=", "SFLIGHT", "CARRID", outer}, {"SCARR", "CARRID", "=", "SPFLI", "CONNID", outer}},
         "condition 3 (SCARR.CARRID = SPFLI.CONNID): each comparison of a left outer join names its outer table SFLIGHT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReportDefinition r;
        r.fields = {pick("SCARR", "CARRID"), pick("SPFLI", "CONNID"), pick("SFLIGHT", "FLDATE")};
        r.selection = {{padded("SCARR"), "CARRID", "", "P;N;"}};
        r.conditions = c.conditions;
        bool three = false;
        for (const Condition& k : c.conditions) three = three || k.leftTable == "SFLIGHT" || k.rightTable == "SFLIGHT";
        if (!three) r.fields.pop_back();
        const GenerationResult g = GenerateProgram(r);
        if (!g) {
            EXPECT_EQ(g.failure().reason.rfind(c.result, 0), 0u) << g.failure().reason;
            continue;
        }
        std::string lines;
        const auto& all = g->selectLines;
        for (std::size_t i = std::find(all.begin(), all.end(), "into table It_Output From ") - all.begin() + 1; i < all.size(); ++i)
            lines += (lines.empty() ? "" : "|") + all[i];
        EXPECT_EQ(lines, c.result);
    }
}

// The option inputs take their names first: an entry of the same field
// gets a running number, and the row limit reaches the SELECT.
TEST(Driver, optionInputsKeepTheirNames) {
    ReportDefinition r = flightReport({"CARRID"});
    r.selection = {{padded("SFLIGHT"), "MAX", "", "P;N;"}, {padded("SFLIGHT"), "VARI", "", "S;N;"}};
    r.maxRows = 0;
    r.layoutVariant = true;
    Generated g = generated(r);
    EXPECT_EQ(g.optionNames, (OptionNames{"VS_MAX", "P_MAX", "VS_VARI", "P_VARI"}));
    EXPECT_EQ(g.screenNames[0].input, "P_MAX2");
    EXPECT_EQ(g.screenNames[0].label, "VS_MAX2");
    EXPECT_EQ(g.screenNames[1].input, "s_VARI");  // the case-insensitive names differ: S_VARI is not P_VARI
    EXPECT_NE(std::find(g.selectLines.begin(), g.selectLines.end(), " UP TO P_MAX ROWS"), g.selectLines.end());
}

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
    // Each further output field adds eight lines: a component, a select piece and six catalogue lines.
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
