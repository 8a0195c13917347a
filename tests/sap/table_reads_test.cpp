#include <gtest/gtest.h>

#include "ScriptedBackend.h"
#include "TableReads.h"

using namespace orvex::sap;
using namespace orvex::testing;

TEST(TableReads, ConditionTexts) {
    EXPECT_EQ(programNameCondition("ZREPORT"), "Object = 'PROG' and obj_name = 'ZREPORT' ");
    EXPECT_EQ(programNameCondition("zlower"), "Object = 'PROG' and obj_name = 'zlower' ");
    EXPECT_EQ(tableSearchCondition("S%"), "Object = 'TABL' and obj_name like 'S%' ");
    EXPECT_EQ(tableSearchCondition(""), "Object = 'TABL' and obj_name like '' ");
    EXPECT_EQ(firstTableListCondition(), "Object = 'TABL' and obj_name like 'A%' ");
    // An apostrophe cannot end the literal early.
    EXPECT_EQ(programNameCondition("Z' or '1' = '1"), "Object = 'PROG' and obj_name = 'Z'' or ''1'' = ''1' ");
    EXPECT_EQ(tableSearchCondition("A'%"), "Object = 'TABL' and obj_name like 'A''%' ");
}

TEST(TableReads, PatternFromSearchBox) {
    EXPECT_EQ(tablePatternFromInput("A*"), "A%");
    EXPECT_EQ(tablePatternFromInput("s*fl*"), "S%FL%");
    EXPECT_EQ(tablePatternFromInput("mara"), "MARA");
    EXPECT_EQ(tablePatternFromInput("a_b?"), "A_B?");
    EXPECT_EQ(tablePatternFromInput(""), "");
}

TEST(TableReads, LongConditionsAreSplitNeverCut) {
    const std::string shortOne = tableSearchCondition("A%");
    EXPECT_EQ(conditionRows(shortOne), std::vector<std::string>{shortOne});

    for (std::size_t len : {37u, 38u, 60u, 69u, 70u, 150u}) {
        std::string pattern(len, 'X');
        pattern[len / 2] = '\'';
        const std::string condition = tableSearchCondition(pattern);
        auto rows = conditionRows(condition);
        ASSERT_GT(rows.size(), 1u) << len;
        std::string joined;
        for (const auto& row : rows) {
            EXPECT_LE(row.size(), 72u) << len;
            joined += row;
        }
        // Nothing is lost; the rows break only at blanks outside literals
        // unless a literal is wider than a row.
        std::string withoutBlanks, joinedWithoutBlanks;
        for (char c : condition)
            if (c != ' ') withoutBlanks += c;
        for (char c : joined)
            if (c != ' ') joinedWithoutBlanks += c;
        EXPECT_EQ(joinedWithoutBlanks, withoutBlanks) << len;
        if (len + 4 <= 72) {
            EXPECT_EQ(rows.back().front(), '\'') << "literal kept whole in one row, " << len;
        }
    }
}

TEST(TableReads, ObjectNameIsTheFortyCharactersAfterTabl) {
    const std::string name = "SFLIGHT" + std::string(33, ' ');
    const std::string row = "R3TR|TABL|" + name + "|          |SAP       |";
    EXPECT_EQ(objectName(row), name);
    EXPECT_EQ(objectName("R3TR|PROG|ZX"), "");
    // A row shortened by the transport still gives the full width.
    EXPECT_EQ(objectName("R3TR|TABL|MARA"), "MARA" + std::string(36, ' '));
}

TEST(TableReads, ReadSendsOneCallAndReturnsRowsInOrder) {
    auto script = std::make_shared<Script>();
    script->replyTo("RFC_READ_TABLE", tableReply("DATA", "WA", {"R3TR|TABL|A1", "R3TR|TABL|A2"}));
    Component component(scriptedFactory(script));
    ASSERT_TRUE(component.connection().logon());
    auto read = readTadir(component, firstTableListCondition());
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.rows, (std::vector<std::string>{"R3TR|TABL|A1", "R3TR|TABL|A2"}));
    ASSERT_EQ(script->requests.size(), 1u);
    const auto& request = script->requests[0];
    EXPECT_EQ(request.function, "RFC_READ_TABLE");
    EXPECT_EQ(request.exports.at("QUERY_TABLE"), "TADIR");
    EXPECT_EQ(request.exports.at("DELIMITER"), "|");
    EXPECT_EQ(request.exports.size(), 2u);  // no row limit, no column list
    ASSERT_EQ(request.tables.at("OPTIONS").size(), 1u);
    EXPECT_EQ(request.tables.at("OPTIONS")[0].get("TEXT"), "Object = 'TABL' and obj_name like 'A%' ");
    EXPECT_TRUE(request.tables.at("DATA").empty());
    EXPECT_TRUE(component.connection().isOpen());
    EXPECT_EQ(script->logoffs, 0);
}

TEST(TableReads, FailedReadLogsOffAndReturnsNothing) {
    auto script = std::make_shared<Script>();
    script->failCall = 1;
    Component component(scriptedFactory(script));
    ASSERT_TRUE(component.connection().logon());
    auto read = readTadir(component, programNameCondition("ZX"));
    EXPECT_FALSE(read.ok);
    EXPECT_TRUE(read.rows.empty());
    EXPECT_FALSE(component.connection().isOpen());
    EXPECT_EQ(script->logoffs, 1);
}

TEST(TableReads, ColumnNamesAreNotCaseSensitive) {
    RfcRow row;
    row.set("FIELDNAME", "CARRID");
    EXPECT_EQ(row.get("Fieldname"), "CARRID");
    EXPECT_EQ(row.get("SCRTEXT_L"), "");
}
