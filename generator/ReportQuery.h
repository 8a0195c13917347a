#pragma once
// The report's query for one run with given input values: the plan's tables,
// joins and columns, and its filters with the values the program compares
// them with when it runs with these inputs. Every road that previews the rows
// of a design reads this one value; none works out joins or filters again.
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "generator/DesignFindings.h"
#include "generator/ReportPlan.h"

namespace orvex {

// The values of the selection screen's inputs for one run, by the input's
// name as messages name it ("S_CARRID", "P_FLDATE", upper case), each as the
// user types it on the selection screen. An input not named keeps its default.
using InputValues = std::map<std::string, std::string>;

// One filter with its value in the field's internal form (upper case, a
// numeric text right-aligned with zeros to its length, a date as YYYYMMDD, a
// number without its grouping), as the selection screen hands it over.
struct BoundFilter {
    PlanField left;
    std::string op;     // "=", "<>", "<", ">" (a select-option with a value compares "=")
    std::string value;  // internal form
    std::size_t input = 0;  // index in ReportPlan::inputs
    bool operator==(const BoundFilter&) const = default;
};

struct ReportQuery {
    ReportPlan plan;
    // The plan's filters in their order, without those on a select-option
    // whose value is blank: such a range selects every row.
    std::vector<BoundFilter> filters;
    // The values each input has in this run (its default unless given),
    // in the order of plan.inputs, as typed.
    std::vector<std::string> inputValues;
    // The report's own row limit with this run's value (none: every row).
    std::optional<std::size_t> rowLimit;
    bool operator==(const ReportQuery&) const = default;
};

// The query of `plan` run with `values` over the inputs' defaults; the
// field's dictionary type (from `typeOf`, when known) decides its internal
// form. Refused (one line for the user) for a value naming no input, or one
// the field's type cannot hold ("P_FLDATE: 32.13.2024 is no date").
Result<ReportQuery> bindQuery(const ReportPlan& plan, const InputValues& values, const FieldTypeOf& typeOf = {});

}  // namespace orvex
