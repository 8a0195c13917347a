// The tests' own reckoning of values as SAP holds them, and the comparison
// that fails a report run on a wrong row. The rows worked out for a design
// are checked against the counts of the designs in test_reports_run.cpp,
// made by hand from the data set.
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

// The rows a report showed equal the expected ones as a multiset, values
// compared as SAP holds them; one wrong, missing or extra value tells.
TEST(ShownRows, differFromTheExpectedOnesByOneValue) {
    Expected e;
    e.columns = {"CARRID", "PRICE"};
    e.fields = {&field("SCARR", "CARRID"), &field("SFLIGHT", "PRICE")};
    e.rows = {{"AA", "422.94"}, {"LH", "0.00"}};
    const json aa = {{"CARRID", "AA"}, {"PRICE", "422.94"}}, lh = {{"CARRID", "LH "}, {"PRICE", 0}};
    EXPECT_EQ(shownRows({lh, aa}, e), e.rows);
    EXPECT_EQ(rowDifference(e.rows, shownRows({lh, aa}, e)), "");
    const std::pair<std::vector<json>, const char*> wrong[] = {
        {{lh, {{"CARRID", "AA"}, {"PRICE", "422.95"}}}, "  missing: AA | 422.94\n  not expected: AA | 422.95\n"},
        {{lh, {{"CARRID", "AA"}}}, "  missing: AA | 422.94\n  not expected: AA | <missing>\n"},
        {{lh, aa, aa}, "  not expected: AA | 422.94\n"},
        {{aa}, "  missing: LH | 0.00\n"},
    };
    for (const auto& [shown, difference] : wrong) {
        EXPECT_NE(shownRows(shown, e), e.rows) << difference;
        EXPECT_EQ(rowDifference(e.rows, shownRows(shown, e)), difference);
    }
}

}  // namespace
}  // namespace orvex::exec
