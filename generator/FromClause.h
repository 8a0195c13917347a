#pragma once
// The FROM clause of a plan and the refusals that go with it; used by
// planReport once the tables, columns, joins and filters stand.
#include <cstddef>
#include <string>

#include "common/Failure.h"
#include "generator/ReportDefinition.h"
#include "generator/ReportPlan.h"

namespace orvex {

// A refusal of the design: one line for the user.
Failure planRefusal(std::string message);

// "condition 2 (SFLIGHT-CARRID = SPFLI-CARRID)", for messages; a condition on
// an input names the input as the program does ("condition 3 (SFLIGHT-FLDATE
// > P_FLDATE)").
std::string describeCondition(const Condition& c, std::size_t row, const std::string& input = {});

// Fills plan.from from plan.joins in order, each join bringing one new table
// into the clause (or extending the last ON condition when both its tables
// stand there), and refuses what the clause cannot hold: a first join of a
// table with itself, a join of tables neither of which is in the clause yet,
// the left outer joins release 7.02 does not allow, and output fields and
// filters on tables the clause does not reach or (filters) on an outer table.
// `report` is the design the plan was made of, for the messages.
Status planFrom(const ReportDefinition& report, ReportPlan& plan);

}  // namespace orvex
