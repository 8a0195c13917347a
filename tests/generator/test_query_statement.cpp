// The report's query as Open SQL text: the SELECT of the SQL console and the
// condition of a read of one table, with values that never leave their literal.
#include <gtest/gtest.h>

#include <random>

#include "QueryStatement.h"
#include "TestReports.h"
#include "Text.h"

namespace orvex {
namespace {

using test::padded;
using test::planned;

// The query of `design` with a value for each of its filters, in their order.
ReportQuery query(const ReportDefinition& design, const std::vector<std::string>& values) {
    ReportQuery q;
    q.plan = planned(design);
    for (std::size_t k = 0; k < q.plan.filters.size() && k < values.size(); ++k) {
        const PlanFilter& f = q.plan.filters[k];
        q.filters.push_back({f.left, f.op == "IN" ? "=" : f.op, values[k], f.input});
    }
    return q;
}

// Three tables: SCARR inner-joined to SPFLI on two fields, SFLIGHT left outer,
// sorted descending by the price, at most 50 rows.
ReportDefinition threeTables() {
    ReportDefinition r = test::everyText();
    r.fields = {{padded("SCARR"), "CARRID", "Airline"},
                {padded("SPFLI"), "CONNID", "Flight"},
                {padded("SFLIGHT"), "PRICE", "Price", 1, true}};
    r.selection = {{padded("SCARR"), "CARRID", "Airline", "S;N;"}};
    r.conditions = {{"SCARR", "CARRID", "=", "SPFLI", "CARRID"},
                    {"SPFLI", "CARRID", "=", "SCARR", "CARRID"},
                    {"SPFLI", "CONNID", "=", "SFLIGHT", "CONNID", JoinType::LeftOuter},
                    {"SCARR", "CARRID", "=", "SELSCR", "CARRID"}};
    r.maxRows = 50;
    return r;
}

TEST(QueryStatement, RendersThePlanInTheConsolesSyntax) {
    const struct {
        ReportDefinition design;
        std::vector<std::string> values;
        std::string statement;
    } cases[] = {
        {test::flightReport({"CARRID", "connid"}), {}, "SELECT A~CARRID, A~CONNID FROM SFLIGHT AS A"},
        {test::everyText(), {"20240101", "LH"},
         "SELECT A~CARRID, B~FLDATE FROM SCARR AS A INNER JOIN SFLIGHT AS B ON A~CARRID = B~CARRID "
         "WHERE B~FLDATE > '20240101' AND A~CARRID = 'LH'"},
        {threeTables(), {"O'NEIL"},
         "SELECT A~CARRID, B~CONNID, C~PRICE FROM SCARR AS A INNER JOIN SPFLI AS B ON A~CARRID = B~CARRID "
         "AND B~CARRID = A~CARRID LEFT OUTER JOIN SFLIGHT AS C ON B~CONNID = C~CONNID WHERE A~CARRID = 'O''NEIL' "
         "ORDER BY C~PRICE DESCENDING, A~CARRID, B~CONNID"},
    };
    for (const auto& c : cases) EXPECT_EQ(queryStatement(query(c.design, c.values)).value_or("refused"), c.statement);
    EXPECT_FALSE(oneTableCondition(query(threeTables(), {"LH"})));
}

// Whatever a value holds, the statement reads it back as one literal equal
// to it, followed by exactly the text that follows a harmless value; a value
// no literal can carry is refused. Names that are no dictionary names are refused.
TEST(QueryStatement, ValuesNeverLeaveTheirLiteral) {
    const ReportDefinition design = threeTables();
    const std::string tail = " ORDER BY C~PRICE DESCENDING, A~CARRID, B~CONNID";
    std::vector<std::string> hostile = {"' OR '1' = '1", "' ORDER BY A~CARRID --", std::string(300, '\'')};
    std::mt19937 random(34);
    const std::string alphabet = "' `\"\\|~,()-*%AZaz09\xC3\xA4";
    for (int n = 0; n < 500; ++n) {
        std::string v;
        for (std::size_t k = random() % 12; k > 0; --k) v += alphabet[random() % alphabet.size()];
        hostile.push_back(v);
    }
    for (const std::string& value : hostile) {
        auto statement = queryStatement(query(design, {value}));
        ASSERT_TRUE(statement) << value;
        const std::string head = "WHERE A~CARRID = ";
        std::size_t at = statement->find(head);
        ASSERT_NE(at, std::string::npos);
        at += head.size();
        EXPECT_EQ(text::readLiteral(*statement, at), value);
        EXPECT_EQ(statement->substr(at), tail) << value;
    }
    for (const std::string& bad : std::vector<std::string>{"A\nB", "\r", std::string("A\0B", 3), "\x1B[2J", "\x7F"}) {
        auto refused = queryStatement(query(design, {bad}));
        ASSERT_FALSE(refused);
        EXPECT_NE(refused.failure().reason.find("S_CARRID: a value with a line break"), std::string::npos);
    }
    for (const char* name : {"CARRID = 'X' OR 1", ""}) {
        ReportQuery q = query(design, {"LH"});
        q.plan.columns[0].source.field = name;
        EXPECT_FALSE(queryStatement(q)) << name;
        ReportQuery one = query(test::flightReport({"CARRID"}), {});
        one.plan.tables[0].name = name;
        EXPECT_FALSE(oneTableCondition(one)) << name;
    }
}

}  // namespace
}  // namespace orvex
