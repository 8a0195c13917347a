// The tests' own reckoning of a report's rows: values as SAP holds them, and
// the rows of small designs over the data set.
#include <gtest/gtest.h>

#include <stdexcept>

#include "AbapValues.h"
#include "ExpectedRows.h"

namespace orvex::exec {
namespace {

using nlohmann::json;

const DictField& field(const char* table, const char* name) { return Dictionary::flightModel().table(table).field(name); }

struct ScreenCase {
    const char* table;
    const char* field;
    const char* typed;
    const char* holds;
};
void PrintTo(const ScreenCase& c, std::ostream* os) { *os << c.table << "-" << c.field << " '" << c.typed << "'"; }

class ScreenValues : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(ScreenValues, areWhatSapMakesOfTheDefault) {
    EXPECT_EQ(screenValue(field(GetParam().table, GetParam().field), GetParam().typed), GetParam().holds);
}

INSTANTIATE_TEST_SUITE_P(
    Types, ScreenValues,
    ::testing::Values(ScreenCase{"SCARR", "CARRID", "lh", "LH"},                       // upper case
                      ScreenCase{"SCARR", "CARRID", "LHX1", "LHX"},                    // cut to CHAR 3
                      ScreenCase{"SCARR", "CARRID", "", ""},
                      ScreenCase{"SPFLI", "CONNID", "17", "0017"},                     // NUMC right-aligned
                      ScreenCase{"SPFLI", "CONNID", "123456", "3456"},                 // its last digits
                      ScreenCase{"SPFLI", "CONNID", "", "0000"},
                      ScreenCase{"SFLIGHT", "FLDATE", "", "00000000"},                 // the initial date
                      ScreenCase{"SFLIGHT", "FLDATE", "20240115", "20240115"},
                      ScreenCase{"SPFLI", "DEPTIME", "", "000000"},
                      ScreenCase{"SFLIGHT", "SEATSOCC", "", "0"},
                      ScreenCase{"SFLIGHT", "SEATSOCC", " 300", "300"},
                      ScreenCase{"SFLIGHT", "PRICE", "12.5", "12.50"},                 // CURR 15,2
                      ScreenCase{"SFLIGHT", "PRICE", "", "0.00"},
                      ScreenCase{"SPFLI", "DISTANCE", "6162.5", "6162.5000"}));        // QUAN 9,4

TEST(CanonicalValues, readNumbersAsAbapWritesThem) {
    EXPECT_EQ(canonicalValue(field("SFLIGHT", "PRICE"), "1.50-"), "-1.50");
    EXPECT_EQ(canonicalValue(field("SFLIGHT", "PRICE"), json(666)), "666.00");
    EXPECT_EQ(canonicalValue(field("SFLIGHT", "SEATSOCC"), "50 "), "50");
    EXPECT_EQ(canonicalValue(field("SCARR", "CARRNAME"), "Lufthansa   "), "Lufthansa");
    EXPECT_EQ(canonicalValue(field("SFLIGHT", "FLDATE"), nullptr), "00000000");  // an outer join's missing value
    EXPECT_THROW(canonicalValue(field("SFLIGHT", "PRICE"), "12,50"), std::runtime_error);
}

json design(json fields, json inputs, json conditions) {
    return {{"name", "ZT"}, {"fields", fields}, {"selection_screen", inputs}, {"conditions", conditions}};
}
json picked(const char* table, const char* name) { return {{"table", table}, {"field", name}}; }
json input(const char* table, const char* name, const char* settings) {
    return {{"table", table}, {"field", name}, {"settings", settings}};
}
json condition(const char* lt, const char* lf, const char* op, const char* rt, const char* rf) {
    return {{"left_table", lt}, {"left_field", lf}, {"operator", op}, {"right_table", rt}, {"right_field", rf}};
}

TEST(ExpectedRows, takeInputsAsTheAcceptedScreenHoldsThem) {
    const json carriers = json::array({picked("SCARR   ", "CARRID"), picked("SCARR", "CARRNAME")});
    // No condition: every airline, blank name included.
    EXPECT_EQ(expectedRows(design(carriers, json::array(), json::array())).rows.size(), 6u);
    // An empty parameter compares with blanks.
    const Expected blank = expectedRows(design(carriers, json::array({input("SCARR", "CARRNAME", "P;N;")}),
                                               json::array({condition("SCARR", "CARRNAME", "=", "SELSCR", "CARRNAME")})));
    EXPECT_EQ(blank.rows, (std::vector<Row>{{"ZZ", ""}}));
    // An empty select-option filters nothing, its operator is not used.
    EXPECT_EQ(expectedRows(design(carriers, json::array({input("SCARR", "CARRID", "S;N;")}),
                                  json::array({condition("SCARR", "CARRID", "<>", "SELSCR", "CARRID")})))
                  .rows.size(),
              6u);
    // A parameter with a value compares with it, upper case as the screen makes it.
    const Expected value = expectedRows(design(carriers, json::array({input("SCARR", "CARRID", "P;R;lh")}),
                                               json::array({condition("SCARR", "CARRID", ">", "SELSCR", "CARRID")})));
    EXPECT_EQ(value.rows, (std::vector<Row>{{"SQ", "Singapore Airlines"}, {"UA", "United Airlines"}, {"ZZ", ""}}));
}

TEST(ExpectedRows, keepOneColumnPerFieldNameAndJoinEveryTable) {
    const Expected e = expectedRows(design(json::array({picked("SFLIGHT", "CARRID"), picked("SCARR", "CARRID"),
                                                        picked("SCARR", "CARRNAME")}),
                                           json::array(), json::array({condition("SCARR", "CARRID", "=", "SFLIGHT", "CARRID")})));
    EXPECT_EQ(e.columns, (std::vector<std::string>{"CARRID", "CARRNAME"}));
    EXPECT_EQ(e.tables, (std::vector<std::string>{"SFLIGHT", "SCARR"}));
    EXPECT_EQ(e.rows.size(), 9u);  // every flight once; airlines without flights drop out
}

}  // namespace
}  // namespace orvex::exec
