// The classic program's SELECT statement: each piece on a line of its own,
// never joined, wrapped or cut, the keywords written as the program always
// has ("Select ", " inner join ", " As ", " Where ", " AND ").
#include "generator/SourceWriters.h"

namespace orvex {

namespace {

std::string clauseOf(const PlanTable& t) { return t.name + " As " + t.alias; }

std::string columnOf(const ReportPlan& plan, const PlanField& f) { return plan.aliasOf(f) + "~" + f.field; }

std::string comparison(const ReportPlan& plan, const PlanJoin& j) {
    return columnOf(plan, j.left) + " " + j.op + " " + columnOf(plan, j.right);
}

const char* joinWords(const PlanJoin& j) { return j.type == JoinType::LeftOuter ? " left outer join " : " inner join "; }

void addFrom(const ReportPlan& plan, SourceText& out) {
    for (const FromStep& step : plan.from) {
        if (step.kind == FromStep::FirstTable) {
            out.add(clauseOf(plan.tables[step.table]));
            continue;
        }
        const PlanJoin& j = plan.joins[step.join];
        switch (step.kind) {
            case FromStep::FirstJoin:
                out.add({clauseOf(plan.tables[j.left.table]), joinWords(j), clauseOf(plan.tables[j.right.table]), " on ",
                         comparison(plan, j)});
                break;
            case FromStep::JoinTable:
                out.add({joinWords(j), clauseOf(plan.tables[step.table]), " on ", comparison(plan, j)});
                break;
            default: out.add({" AND ", comparison(plan, j)}); break;
        }
    }
}

}  // namespace

void addClassicSelect(const ReportPlan& plan, SourceText& out) {
    out.add("Select ");
    for (const PlanColumn& c : plan.columns) out.add({plan.aliasOf(c.source), "~", c.source.field, " "});
    out.add("into table It_Output From ");
    addFrom(plan, out);
    if (plan.options.rowLimit) out.add({" UP TO ", classicParameter(plan.options.rowLimit->name), " ROWS"});
    if (!plan.filters.empty()) {
        out.add(" Where ");
        for (std::size_t k = 0; k < plan.filters.size(); ++k) {
            const PlanFilter& f = plan.filters[k];
            const PlanInput& in = plan.inputs[f.input];
            if (k > 0) out.add(" AND ");
            out.add({columnOf(plan, f.left), " ", in.kind == InputKind::SelectOption ? " IN " : f.op, " ",
                     inputName(in)});
        }
    }
    if (!plan.options.selectOrder.empty()) {
        out.add(" ORDER BY ");
        for (const std::size_t i : plan.options.selectOrder) {
            const PlanColumn& c = plan.columns[i];
            out.add({columnOf(plan, c.source), c.sortDescending ? " DESCENDING " : " "});
        }
    }
    out.add(".");
}

}  // namespace orvex
