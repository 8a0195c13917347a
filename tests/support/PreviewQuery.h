#pragma once
// A report's query for the preview tests: fields of one table (or of several,
// joined as given), each filter a parameter compared with a value.
#include <string>
#include <vector>

#include "generator/ReportPlan.h"
#include "generator/ReportQuery.h"

namespace orvex::testing {

struct QueryFilter {
    std::string field, op, value;  // on the first field's table
};

inline ReportQuery previewQuery(const std::vector<PickedField>& fields, const std::vector<QueryFilter>& filters,
                                const std::vector<Condition>& joins = {}) {
    ReportDefinition design;
    design.name = "ZPREVIEW";
    design.fields = fields;
    design.conditions = joins;
    for (const QueryFilter& f : filters) {
        design.selection.push_back({fields.front().table, f.field, f.field, "P;N;"});
        design.conditions.push_back({fields.front().table, f.field, f.op, kSelectionScreenMarker, f.field});
    }
    ReportQuery query;
    Result<ReportPlan> plan = planReport(design);
    if (!plan) return query;
    query.plan = *plan;
    for (std::size_t k = 0; k < plan->filters.size(); ++k)
        query.filters.push_back({plan->filters[k].left, plan->filters[k].op, filters[k].value, plan->filters[k].input});
    return query;
}

}  // namespace orvex::testing
