// The one check of the harness itself: the comparison that fails a report
// run tells a wrong, missing or extra row. The rest of the harness is proven
// by the report runs that use it.
#include <gtest/gtest.h>

#include "ExpectedRows.h"

namespace orvex::exec {
namespace {

using nlohmann::json;

const DictField& field(const char* table, const char* name) { return Dictionary::flightModel().table(table).field(name); }

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
