#pragma once
// The report's query as Open SQL text, for the roads that hand it to the
// system: the whole SELECT in the strict syntax of release 7.40 for the SQL
// console, and the filters alone as the condition of a read of one table.
// Both render the plan's tables, joins and columns and the query's bound
// values; neither works out a join or a filter again. Values become text
// literals that read back as the value itself, whatever it holds.
#include <string>
#include <string_view>

#include "common/Failure.h"
#include "generator/ReportQuery.h"

namespace orvex {

// `value` between apostrophes, each apostrophe inside doubled: the text
// literal that Open SQL reads as `value`.
std::string openSqlLiteral(std::string_view value);

// "SELECT A~CARRID, B~CONNID FROM SCARR AS A INNER JOIN SPFLI AS B ON
// A~CARRID = B~CARRID WHERE A~CARRID = 'LH' ORDER BY A~CARRID" on one line:
// the FROM clause in the plan's order, the columns in theirs, the filters
// with their values as literals, and the report's order where it has one
// (the order its row limit keeps the first rows of, else its sorted
// columns). No INTO and no UP TO: the SQL console adds both. Refused (one
// line for the user) for a name that is no dictionary name, an operator the
// report cannot hold, or a value with a line break or other control
// character, which no literal can carry.
Result<std::string> queryStatement(const ReportQuery& query);

// The filters as one condition on the report's only table, its fields
// without alias ("CARRID = 'LH' AND FLDATE > '20240101'"); "" without
// filters. Refused as queryStatement, and for a query with joins.
Result<std::string> oneTableCondition(const ReportQuery& query);

}  // namespace orvex
