// The report's query with its inputs' values: what each input holds when the
// program runs with it, and which filters that leaves.
#include <gtest/gtest.h>

#include <map>

#include "ReportQuery.h"
#include "TestReports.h"

namespace orvex {
namespace {

using test::padded;

std::optional<FieldType> flightTypes(const std::string& table, const std::string& field) {
    static const std::map<std::string, FieldType> types{
        {"SCARR-CARRID", {"CHAR", 3}},     {"SFLIGHT-CONNID", {"NUMC", 4}}, {"SFLIGHT-FLDATE", {"DATS", 8}},
        {"SFLIGHT-PRICE", {"CURR", 15}},   {"SFLIGHT-SEATSOCC", {"INT4", 10}}};
    const auto it = types.find(table + "-" + field);
    return it == types.end() ? std::nullopt : std::optional<FieldType>(it->second);
}

// Airlines and their flights: a select-option on the airline, a parameter on
// each of the flight's connection, date, price and seats, and a row limit.
ReportDefinition flights() {
    ReportDefinition r;
    r.name = "ZF";
    r.fields = {{padded("SCARR"), "CARRID", ""}, {padded("SFLIGHT"), "FLDATE", ""}};
    r.selection = {{padded("SCARR"), "CARRID", "", "S;N;"},       {padded("SFLIGHT"), "CONNID", "", "P;N;"},
                   {padded("SFLIGHT"), "FLDATE", "", "P;N;20240115"}, {padded("SFLIGHT"), "PRICE", "", "P;N;"},
                   {padded("SFLIGHT"), "SEATSOCC", "", "P;N;"}};
    r.conditions = {{"SCARR", "CARRID", "=", "SFLIGHT", "CARRID"},   {"SCARR", "CARRID", "=", "SELSCR", "CARRID"},
                    {"SFLIGHT", "CONNID", "<>", "SELSCR", "CONNID"}, {"SFLIGHT", "FLDATE", ">", "SELSCR", "FLDATE"},
                    {"SFLIGHT", "PRICE", "<", "SELSCR", "PRICE"},    {"SFLIGHT", "SEATSOCC", ">", "SELSCR", "SEATSOCC"}};
    r.maxRows = 50;
    return r;
}

TEST(ReportQuery, inputsHoldWhatTheScreenHandsTheProgram) {
    struct Case {
        InputValues values;
        // Each filter as "FIELD op value"; or the refusal.
        std::vector<std::string> filters;
        std::optional<std::size_t> rowLimit = 50;
        std::string refusal = "";
    };
    const Case cases[] = {
        {{}, {"CONNID <> 0000", "FLDATE > 20240115", "PRICE < 0", "SEATSOCC > 0"}},
        {{{"S_CARRID", "lh"}, {"p_connid", "17"}, {"P_FLDATE", "2024-02-29"}, {"P_PRICE", "1,234.50"},
          {"P_SEATSO", "1 000"}, {"P_MAX", "0"}},
         {"CARRID = LH", "CONNID <> 0017", "FLDATE > 20240229", "PRICE < 1234.5", "SEATSOCC > 1000"}, std::nullopt},
        {{{"P_FLDATE", "01.03.2024"}, {"P_PRICE", "12,5-"}, {"P_MAX", "7"}, {"S_CARRID", " "}},
         {"CONNID <> 0000", "FLDATE > 20240301", "PRICE < -12.5", "SEATSOCC > 0"}, 7},
        {{{"P_FLDATE", "32.13.2024"}}, {}, {}, "P_FLDATE: 32.13.2024 is no date"},
        {{{"P_FLDATE", "20230229"}}, {}, {}, "P_FLDATE: 20230229 is no date"},
        {{{"P_CONNID", "12345"}}, {}, {}, "P_CONNID: 12345 is no number of its length"},
        {{{"P_CONNID", "4A"}}, {}, {}, "P_CONNID: 4A is no number"},
        {{{"P_SEATSO", "2.5"}}, {}, {}, "P_SEATSO: 2.5 is no whole number"},
        {{{"P_MAX", "-1"}}, {}, {}, "P_MAX: -1 is no number of rows (0 reads every row)"},
        {{{"S_CITY", "X"}}, {}, {},
         "the report has no input S_CITY (its inputs: S_CARRID, P_CONNID, P_FLDATE, P_PRICE, P_SEATSO, P_MAX)"},
    };
    const ReportPlan plan = test::planned(flights());
    for (const Case& c : cases) {
        Result<ReportQuery> query = bindQuery(plan, c.values, flightTypes);
        const std::string what = c.values.empty() ? "defaults" : c.values.begin()->first;
        if (!c.refusal.empty()) {
            ASSERT_FALSE(query) << what;
            EXPECT_EQ(query.failure().reason, c.refusal);
            continue;
        }
        ASSERT_TRUE(query) << what << ": " << query.failure().reason;
        std::vector<std::string> filters;
        for (const BoundFilter& f : query->filters) filters.push_back(f.left.field + " " + f.op + " " + f.value);
        EXPECT_EQ(filters, c.filters) << what;
        EXPECT_EQ(query->rowLimit, c.rowLimit) << what;
    }
}

}  // namespace
}  // namespace orvex
