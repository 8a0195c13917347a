#include <gtest/gtest.h>

#include "tests/support/ScriptedBackend.h"
#include "sap/TableReads.h"

using namespace orvex::sap;
using namespace orvex::testing;

TEST(TableReads, ConditionsQuoteTheirLiteralsAndInputBecomesAPattern) {
    const std::pair<std::string, std::string> cases[] = {
        // The repository keys program names in upper case.
        {programNameCondition("zlower_1"), "Object = 'PROG' and obj_name = 'ZLOWER_1' "},
        // An apostrophe cannot end the literal early.
        {programNameCondition("Z' or '1' = '1"), "Object = 'PROG' and obj_name = 'Z'' OR ''1'' = ''1' "},
        {tableSearchCondition("A'%"), "Object = 'TABL' and obj_name like 'A''%' "},
        // A wildcard ("*" as "%") makes the text a pattern used as typed...
        {tablePatternFromInput("s*fl*"), "S%FL%"},
        {tablePatternFromInput("*"), "%"},
        // ...without one it is the start of the names; "_" and "?" are no wildcards here.
        {tablePatternFromInput(" scar\t"), "SCAR%"},
        {tablePatternFromInput("a_b?"), "A_B?%"},
        {tablePatternFromInput(""), "%"},
    };
    for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

// Long conditions are split into rows of at most 72 characters, never cut; a
// search pattern is refused exactly when its literal would not reach the
// server whole.
TEST(TableReads, LongConditionsAreSplitAndPatternsRefusedWhenTheirLiteralWouldBe) {
    const std::string shortOne = tableSearchCondition("A%");
    EXPECT_EQ(conditionRows(shortOne), std::vector<std::string>{shortOne});
    auto withoutBlanks = [](std::string s) {
        std::erase(s, ' ');
        return s;
    };
    for (std::size_t len = 37; len <= 80; ++len) {
        for (std::size_t apostrophes : {0u, 1u, 5u}) {
            std::string pattern(len, 'X');
            for (std::size_t i = 0; i < apostrophes; ++i) pattern[i * 7 + 1] = '\'';
            std::string literal = "'";
            for (char c : pattern) literal += c == '\'' ? "''" : std::string(1, c);
            literal += "'";
            const std::string condition = tableSearchCondition(pattern);
            bool whole = false;
            std::string joined;
            for (const auto& row : conditionRows(condition)) {
                EXPECT_LE(row.size(), 72u) << len;
                whole = whole || row.find(literal) != std::string::npos;
                joined += row;
            }
            EXPECT_EQ(withoutBlanks(joined), withoutBlanks(condition)) << len;
            EXPECT_EQ(checkSearchPattern(pattern).ok(), whole) << len << " " << apostrophes;
        }
    }
    const orvex::Status tooLong = checkSearchPattern(std::string(71, 'X'));
    ASSERT_FALSE(tooLong);
    EXPECT_EQ(tooLong.failure().kind, orvex::FailureKind::Refused);
    EXPECT_NE(tooLong.failure().reason.find("too long"), std::string::npos);
}

// DATATYPE and LENG as a system writes them, blanks and zeros included;
// what is not a usable type stays unknown instead of being guessed.
TEST(TableReads, FieldTypesAsTheSystemGivesThem) {
    struct Row {
        const char *field, *type, *leng;
        std::optional<orvex::FieldType> known;
    };
    const Row rows[] = {
        {"MANDT", "CLNT", "000003", orvex::FieldType{"CLNT", 3}},
        {".INCLUDE", "STRU", "000000", std::nullopt},
        {"CARRID", " CHAR ", " 3", orvex::FieldType{"CHAR", 3}},
        {"connid", "numc", "4", orvex::FieldType{"NUMC", 4}},
        {"NOTYPE", "", "000010", std::nullopt},
        {"ZEROLENG", "CHAR", "000000", std::nullopt},
        {"LETTERS", "CHAR", "12A", std::nullopt},
        {"HUGE", "CHAR", "99999999999999999999", std::nullopt},
    };
    auto script = std::make_shared<Script>();
    script->handler = [&rows](const RfcRequest&) -> RfcResult {
        RfcReply reply;
        for (const Row& r : rows) {
            RfcRow& row = reply.tables["DD03P_TAB_A"].emplace_back();
            row.set("FIELDNAME", r.field);
            row.set("DATATYPE", r.type);
            row.set("LENG", r.leng);
        }
        return reply;
    };
    Component component(scriptedFactory(script));
    ASSERT_TRUE(component.connection().logon());
    auto read = readFields(component, "SFLIGHT" + std::string(33, ' '));
    ASSERT_TRUE(read.ok());
    ASSERT_EQ(read->size(), std::size(rows) - 1);  // the include row left out
    FieldTypes types;
    types.keep("SFLIGHT" + std::string(33, ' '), *read);
    EXPECT_TRUE(types.knows("sflight"));
    const orvex::FieldTypeOf typeOf = types.lookup();
    for (const Row& r : rows) {
        const std::string field = r.field;
        EXPECT_EQ(typeOf("SFLIGHT", field), r.known) << field;
        EXPECT_EQ(types.typeOf(" sflight ", " " + field + " "), r.known) << field;  // names as a design may hold them
    }
    EXPECT_EQ(typeOf("SCARR", "CARRID"), std::nullopt);  // a table never read
    EXPECT_EQ(typeOf("SFLIGHT", "PRICE"), std::nullopt);  // a field it does not have

    // Currency and unit fields as systems write them: blanks around, REFTABLE
    // left blank for the field's own table, REFTABLE without REFFIELD.
    const struct { const char *refTable, *refField, *expected; } refs[] = {
        {" sflight ", "CURRENCY  ", "SFLIGHT-CURRENCY"}, {"", " WUNIT", "SFLIGHT-WUNIT"},
        {"SFLIGHT", "", "-"}, {"   ", "   ", "-"}};
    for (const auto& r : refs) {
        TableField field;
        setReference(field, "SFLIGHT" + std::string(23, ' '), r.refTable, r.refField);
        EXPECT_EQ(field.refTable + "-" + field.refField, r.expected) << r.refTable << "/" << r.refField;
    }

    types.keep("SFLIGHT", {});  // read again: what it had is gone
    EXPECT_EQ(typeOf("SFLIGHT", "CARRID"), std::nullopt);
}
