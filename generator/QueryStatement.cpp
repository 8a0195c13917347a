#include "generator/QueryStatement.h"

#include <cctype>
#include <vector>

#include "common/Text.h"

namespace orvex {

namespace {

// Letters, digits, "_" and the "/" of a namespace: what a table or field
// name of the dictionary is made of. Anything else would change the
// statement around it.
bool dictionaryName(std::string_view name) {
    if (name.empty()) return false;
    for (const unsigned char c : name)
        if (!(std::isalnum(c) && c < 0x80) && c != '_' && c != '/') return false;
    return true;
}

Failure refused(std::string message) { return failure(FailureKind::Refused, std::move(message)); }

Status checkNames(const ReportPlan& plan) {
    for (const PlanTable& t : plan.tables)
        if (!dictionaryName(t.name) || !dictionaryName(t.alias))
            return refused("table \"" + text::escapedControls(t.name) + "\" is no dictionary name");
    auto field = [&](const PlanField& f) -> Status {
        if (f.table < plan.tables.size() && dictionaryName(f.field)) return {};
        return refused("field \"" + text::escapedControls(f.field) + "\" is no dictionary name");
    };
    std::vector<const PlanField*> fields;
    for (const PlanColumn& c : plan.columns) fields.push_back(&c.source);
    for (const PlanJoin& j : plan.joins) fields.insert(fields.end(), {&j.left, &j.right});
    for (const PlanField* f : fields)
        if (Status s = field(*f); !s) return s;
    return {};
}

bool comparison(const std::string& op) { return op == "=" || op == "<>" || op == "<" || op == ">"; }

// "A~CARRID = 'LH'" (or without alias), each filter in the query's order.
Result<std::vector<std::string>> filterTexts(const ReportQuery& query, bool aliased) {
    std::vector<std::string> texts;
    for (const BoundFilter& f : query.filters) {
        const std::string input =
            f.input < query.plan.inputs.size() ? inputName(query.plan.inputs[f.input]) : "a filter";
        if (f.left.table >= query.plan.tables.size() || !dictionaryName(f.left.field))
            return refused(input + ": field \"" + text::escapedControls(f.left.field) + "\" is no dictionary name");
        if (!comparison(f.op)) return refused(input + ": \"" + text::escapedControls(f.op) + "\" is no comparison");
        for (const unsigned char c : f.value)
            if (c < 0x20 || c == 0x7F)
                return refused(input + ": a value with a line break or another control character cannot be "
                                       "compared in a query (\"" +
                               text::escapedControls(f.value) + "\")");
        const std::string field = text::upper(f.left.field);
        texts.push_back((aliased ? text::upper(query.plan.aliasOf(f.left)) + "~" + field : field) + " " + f.op +
                        " " + openSqlLiteral(f.value));
    }
    return texts;
}

std::string joined(const std::vector<std::string>& parts, const std::string& between) {
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : between) + p;
    return out;
}

}  // namespace

std::string openSqlLiteral(std::string_view value) { return "'" + text::doubledApostrophes(value) + "'"; }

Result<std::string> queryStatement(const ReportQuery& query) {
    const ReportPlan& plan = query.plan;
    if (Status named = checkNames(plan); !named) return named.failure();
    if (plan.columns.empty() || plan.from.empty()) return refused("the report reads no field");
    auto field = [&](const PlanField& f) { return text::upper(plan.aliasOf(f)) + "~" + text::upper(f.field); };
    auto table = [&](std::size_t t) {
        return text::upper(plan.tables[t].name) + " AS " + text::upper(plan.tables[t].alias);
    };
    auto on = [&](const PlanJoin& j) { return field(j.left) + " " + j.op + " " + field(j.right); };

    std::vector<std::string> columns;
    for (const PlanColumn& c : plan.columns) columns.push_back(field(c.source));
    std::string sql = "SELECT " + joined(columns, ", ") + " FROM ";
    for (const FromStep& step : plan.from) {
        const bool joins = step.kind != FromStep::FirstTable;
        if (joins && (step.join >= plan.joins.size() || !comparison(plan.joins[step.join].op)))
            return refused("a join condition of the report is no comparison");
        switch (step.kind) {
            case FromStep::FirstTable: sql += table(step.table); break;
            case FromStep::FirstJoin:
            case FromStep::JoinTable: {
                const PlanJoin& j = plan.joins[step.join];
                if (step.kind == FromStep::FirstJoin) sql += table(j.left.table);
                sql += std::string(j.type == JoinType::LeftOuter ? " LEFT OUTER JOIN " : " INNER JOIN ") +
                       table(step.table) + " ON " + on(j);
                break;
            }
            case FromStep::ExtendOn: sql += " AND " + on(plan.joins[step.join]); break;
        }
    }
    auto filters = filterTexts(query, true);
    if (!filters) return filters.failure();
    if (!filters->empty()) sql += " WHERE " + joined(*filters, " AND ");

    std::vector<std::size_t> order = plan.options.selectOrder;
    if (order.empty()) order = plan.options.sortColumns;
    std::vector<std::string> keys;
    for (const std::size_t i : order)
        if (i < plan.columns.size())
            keys.push_back(field(plan.columns[i].source) + (plan.columns[i].sortDescending ? " DESCENDING" : ""));
    if (!keys.empty()) sql += " ORDER BY " + joined(keys, ", ");
    return sql;
}

Result<std::string> oneTableCondition(const ReportQuery& query) {
    if (!query.plan.joins.empty() || query.plan.tables.size() != 1)
        return refused("the report reads more than one table");
    if (Status named = checkNames(query.plan); !named) return named.failure();
    auto filters = filterTexts(query, false);
    if (!filters) return filters.failure();
    return joined(*filters, " AND ");
}

}  // namespace orvex
