// The order in which the statement brings the tables in, and the rules of
// release 7.02 that the joins must keep.
#include "generator/FromClause.h"

#include <vector>

namespace orvex {

namespace {

// " (SPFLI has no picked field: it stands for SFLIGHT, the last table)" when a
// condition names a table that resolved to another one; "" otherwise.
std::string resolutionNote(const std::string& named, const PlanTable& resolved) {
    if (named == resolved.name) return {};
    return " (" + named + " has no picked field: it stands for " + resolved.name + ", the last table)";
}

std::string notJoined(const std::string& table) {
    return "table " + table + " is not in the FROM clause: no join condition connects it to the tables before it";
}

constexpr std::size_t kExtends = static_cast<std::size_t>(-1);

// The rules of release 7.02 for a left outer join, as the FROM clause grows:
// its ON condition compares with "=" only, each comparison links the outer
// table with a table before it, and no later join condition names an outer
// table. An AND line belongs to the ON condition of the join before it and
// takes its type.
class OuterJoinRules {
public:
    explicit OuterJoinRules(std::size_t tables) : outer_(tables, false) {}

    // The reason `j` breaks a rule ("" when none): `added` is the table it
    // brings into the FROM clause, or kExtends when it extends the last ON condition.
    std::string broken(const PlanJoin& j, std::size_t added, const std::vector<PlanTable>& tables) const {
        const bool extend = added == kExtends;
        const JoinType type = extend ? lastType_ : j.type;
        if (extend && j.type != lastType_)
            return std::string("it adds to the ON condition of the join before it, ") +
                   (lastType_ == JoinType::LeftOuter ? "a left outer join" : "an inner join") +
                   ": give both conditions the same join type";
        for (const std::size_t t : {j.left.table, j.right.table}) {
            if (!outer_[t] || (extend && t == lastTable_ && type == JoinType::LeftOuter)) continue;
            return "table " + tables[t].name +
                   " is the outer table of a left outer join; no later join condition may name it";
        }
        if (type != JoinType::LeftOuter) return {};
        if (j.op != "=") return "a left outer join compares with = only";
        if (extend && j.left.table != lastTable_ && j.right.table != lastTable_)
            return "each comparison of a left outer join names its outer table " + tables[lastTable_].name;
        return {};
    }
    void joined(const PlanJoin& j, std::size_t added) {
        if (added == kExtends) return;
        lastType_ = j.type;
        lastTable_ = added;
        if (j.type == JoinType::LeftOuter) outer_[added] = true;
    }
    bool isOuter(std::size_t table) const { return outer_[table]; }

private:
    std::vector<bool> outer_;
    JoinType lastType_ = JoinType::Inner;
    std::size_t lastTable_ = 0;
};

// The table join `k` brings into the clause, kExtends when both of its tables
// stand there already, or the refusal of a join the clause cannot take.
Result<std::size_t> addedBy(const ReportDefinition& report, const ReportPlan& plan, std::size_t k,
                            const std::vector<bool>& inFrom) {
    const PlanJoin& j = plan.joins[k];
    const Condition& c = report.conditions[j.row];
    const std::size_t l = j.left.table, r = j.right.table;
    const auto notes = [&] {
        return resolutionNote(c.leftTable, plan.tables[l]) + resolutionNote(c.rightTable, plan.tables[r]);
    };
    if (k == 0) {
        if (l == r)
            return planRefusal(describeCondition(c, j.row) + " joins table " + plan.tables[l].name + " with itself" +
                               notes());
        return r;
    }
    if (!inFrom[r] && inFrom[l]) return r;
    if (!inFrom[l] && inFrom[r]) return l;
    if (inFrom[l] && inFrom[r]) return kExtends;
    const std::string& lt = plan.tables[l].name;
    const std::string& rt = plan.tables[r].name;
    return planRefusal(describeCondition(c, j.row) + ": " +
                       (l == r ? "table " + lt + " is" : "neither " + lt + " nor " + rt + " is") +
                       " joined to the tables before it" + notes());
}

}  // namespace

Failure planRefusal(std::string message) { return failure(FailureKind::Refused, std::move(message)); }

std::string describeCondition(const Condition& c, std::size_t row, const std::string& input) {
    return "condition " + std::to_string(row + 1) + " (" + c.leftTable + '-' + c.leftField + ' ' + c.op + ' ' +
           (input.empty() ? c.rightTable + '-' + c.rightField : input) + ')';
}

Status planFrom(const ReportDefinition& report, ReportPlan& plan) {
    plan.from.clear();
    // The tables standing in the FROM clause so far.
    std::vector<bool> inFrom(plan.tables.size(), false);
    OuterJoinRules rules(plan.tables.size());
    if (plan.joins.empty()) {
        inFrom[0] = true;
        plan.from.push_back({FromStep::FirstTable, 0, 0});
    }
    for (std::size_t k = 0; k < plan.joins.size(); ++k) {
        const PlanJoin& j = plan.joins[k];
        const Result<std::size_t> added = addedBy(report, plan, k, inFrom);
        if (!added) return added.failure();
        if (const std::string reason = rules.broken(j, *added, plan.tables); !reason.empty())
            return planRefusal(describeCondition(report.conditions[j.row], j.row) + ": " + reason);
        rules.joined(j, *added);
        if (k == 0) {
            inFrom[j.left.table] = inFrom[j.right.table] = true;
            plan.from.push_back({FromStep::FirstJoin, j.right.table, k});
        } else if (*added != kExtends) {
            inFrom[*added] = true;
            plan.from.push_back({FromStep::JoinTable, *added, k});
        } else {
            plan.from.push_back({FromStep::ExtendOn, 0, k});
        }
    }
    for (const PlanColumn& c : plan.columns) {
        const std::string& table = plan.tables[c.source.table].name;
        if (!inFrom[c.source.table])
            return planRefusal("output field " + table + "-" + c.source.field + ": " + notJoined(table));
    }
    for (const PlanFilter& f : plan.filters) {
        const std::string described =
            describeCondition(report.conditions[f.row], f.row, inputName(plan.inputs[f.input]));
        const std::string& table = plan.tables[f.left.table].name;
        if (!inFrom[f.left.table]) return planRefusal(described + ": " + notJoined(table));
        if (rules.isOuter(f.left.table))
            return planRefusal(described + ": table " + table +
                               " is the outer table of a left outer join; a filter on its fields is not allowed");
    }
    return {};
}

}  // namespace orvex
