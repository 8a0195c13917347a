// The generation driver: builds the generation lists and the SELECT
// statement, then runs the source writers.
#include "generator/Generator.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "generator/FlatIndex.h"
#include "generator/ModernWriter.h"
#include "generator/SourceWriters.h"
#include "common/Text.h"

namespace orvex {

namespace {

// The driver's refusal of a definition: one line for the user.
Failure refusal(std::string message) { return failure(FailureKind::Refused, std::move(message)); }

std::string aliasFor(std::size_t index) { return std::string(1, static_cast<char>('A' + index)); }

std::string clauseOf(const TableAlias& t) { return t.table + " As " + t.alias; }

// "condition 2 (SFLIGHT-CARRID = SPFLI-CARRID)", for messages; a condition on
// an input names the input as the program does ("condition 3 (SFLIGHT-FLDATE
// > P_FLDATE)").
std::string describeCondition(const Condition& c, std::size_t row, const std::string& input = {}) {
    return "condition " + std::to_string(row + 1) + " (" + c.leftTable + '-' + c.leftField + ' ' + c.op + ' ' +
           (input.empty() ? c.rightTable + '-' + c.rightField : input) + ')';
}

// " (SPFLI has no picked field: it stands for SFLIGHT, the last table)" when a
// condition names a table that resolved to another one; "" otherwise.
std::string resolutionNote(const std::string& named, const TableAlias& resolved) {
    if (named == resolved.table) return {};
    return " (" + named + " has no picked field: it stands for " + resolved.table + ", the last table)";
}

std::string notJoined(const std::string& table) {
    return "table " + table + " is not in the FROM clause: no join condition connects it to the tables before it";
}

// "P_" + rest or "S_" + rest: the name a where entry writes for an entry's input.
std::string whereName(const ScreenNames& names) {
    return (names.selectOption ? std::string("S_") : std::string("P_")) + names.input.substr(2);
}

const char* joinWords(const JoinRecord& j) {
    return j.join == JoinType::LeftOuter ? " left outer join " : " inner join ";
}

// The rules of release 7.02 for a left outer join, as the FROM clause grows:
// its ON condition compares with "=" only, each comparison links the outer
// table with a table before it, and no later join condition names an outer
// table. An AND line belongs to the ON condition of the join before it and
// takes its type.
class OuterJoinRules {
public:
    explicit OuterJoinRules(std::size_t tables) : outer_(tables, false) {}

    // The reason `j` breaks a rule ("" when none): `added` is the table it
    // brings into the FROM clause, or npos when it extends the last ON condition.
    std::string broken(const JoinRecord& j, std::size_t added, const std::vector<TableAlias>& aliases) const {
        constexpr std::size_t none = static_cast<std::size_t>(-1);
        const bool extend = added == none;
        const JoinType type = extend ? lastType_ : j.join;
        if (extend && j.join != lastType_)
            return std::string("it adds to the ON condition of the join before it, ") +
                   (lastType_ == JoinType::LeftOuter ? "a left outer join" : "an inner join") +
                   ": give both conditions the same join type";
        for (const std::size_t t : {j.leftIndex, j.rightIndex}) {
            if (!outer_[t] || (extend && t == lastTable_ && type == JoinType::LeftOuter)) continue;
            return "table " + aliases[t].table +
                   " is the outer table of a left outer join; no later join condition may name it";
        }
        if (type != JoinType::LeftOuter) return {};
        if (text::trim(j.op) != "=") return "a left outer join compares with = only";
        if (extend && j.leftIndex != lastTable_ && j.rightIndex != lastTable_)
            return "each comparison of a left outer join names its outer table " + aliases[lastTable_].table;
        return {};
    }
    void joined(const JoinRecord& j, std::size_t added) {
        if (added == static_cast<std::size_t>(-1)) return;
        lastType_ = j.join;
        lastTable_ = added;
        if (j.join == JoinType::LeftOuter) outer_[added] = true;
    }
    bool isOuter(std::size_t table) const { return outer_[table]; }

private:
    std::vector<bool> outer_;
    JoinType lastType_ = JoinType::Inner;
    std::size_t lastTable_ = 0;
};

// The FROM clause: the first table, or the tables of the join rows in
// order, each joining one new table to those before it (or extending the
// condition of tables both standing there already).
Status addFromClause(const ReportDefinition& report, Generated& g, std::vector<bool>& inFrom, OuterJoinRules& rules) {
    auto comparison = [](const JoinRecord& j) {
        return j.leftAlias + "~" + j.leftField + " " + j.op + " " + j.rightAlias + "~" + j.rightField;
    };
    constexpr std::size_t extends = static_cast<std::size_t>(-1);
    if (g.joins.empty()) {
        g.selectLines.push_back(clauseOf(g.aliases[0]));
        inFrom[0] = true;
        g.from.push_back({FromStep::FirstTable, 0, 0});
    }
    for (std::size_t k = 0; k < g.joins.size(); ++k) {
        const JoinRecord& j = g.joins[k];
        const Condition& c = report.conditions[j.row];
        std::size_t added = extends;
        if (k == 0) {
            if (j.leftIndex == j.rightIndex)
                return refusal(describeCondition(c, j.row) + " joins table " +
                               g.aliases[j.leftIndex].table + " with itself" +
                               resolutionNote(c.leftTable, g.aliases[j.leftIndex]) +
                               resolutionNote(c.rightTable, g.aliases[j.rightIndex]));
            added = j.rightIndex;
        } else if (!inFrom[j.rightIndex] && inFrom[j.leftIndex]) {
            added = j.rightIndex;
        } else if (!inFrom[j.leftIndex] && inFrom[j.rightIndex]) {
            added = j.leftIndex;
        } else if (!inFrom[j.leftIndex] || !inFrom[j.rightIndex]) {
            const std::string& lt = g.aliases[j.leftIndex].table;
            const std::string& rt = g.aliases[j.rightIndex].table;
            return refusal(describeCondition(c, j.row) + ": " +
                           (j.leftIndex == j.rightIndex ? "table " + lt + " is"
                                                        : "neither " + lt + " nor " + rt + " is") +
                           " joined to the tables before it" +
                           resolutionNote(c.leftTable, g.aliases[j.leftIndex]) +
                           resolutionNote(c.rightTable, g.aliases[j.rightIndex]));
        }
        if (const std::string reason = rules.broken(j, added, g.aliases); !reason.empty())
            return refusal(describeCondition(c, j.row) + ": " + reason);
        rules.joined(j, added);
        if (k == 0) {
            g.selectLines.push_back(j.leftClause + joinWords(j) + j.rightClause + " on " + comparison(j));
            inFrom[j.leftIndex] = inFrom[j.rightIndex] = true;
            g.from.push_back({FromStep::FirstJoin, j.rightIndex, k});
        } else if (added != extends) {
            g.selectLines.push_back(joinWords(j) + (added == j.rightIndex ? j.rightClause : j.leftClause) + " on " +
                                    comparison(j));
            inFrom[added] = true;
            g.from.push_back({FromStep::JoinTable, added, k});
        } else {
            g.selectLines.push_back(" AND " + comparison(j));
            g.from.push_back({FromStep::ExtendOn, 0, k});
        }
    }
    return {};
}

}  // namespace

std::string screenNameStem(std::string_view field) {
    if (!field.empty() && field.front() == '/')
        if (const std::size_t close = field.find('/', 1); close != std::string_view::npos) field.remove_prefix(close + 1);
    return std::string(field);
}

std::size_t lookupTable(const std::vector<TableAlias>& aliases, std::string_view trimmedTable) {
    for (std::size_t j = 0; j + 1 < aliases.size(); ++j)
        if (aliases[j].table == trimmedTable) return j;
    return aliases.empty() ? 0 : aliases.size() - 1;
}

Status buildAliasList(const ReportDefinition& report, Generated& g) {
    // The list starts as one all-empty record, which the first table replaces.
    g.aliases.assign(1, TableAlias{});
    FlatIndex known(kMaxTables + 1);
    known.insert(std::string_view(), 0);
    bool placeholder = true;
    std::string_view previous;  // fields usually come table by table
    for (const PickedField& f : report.fields) {
        std::string_view table = f.table;
        if (!placeholder && table == previous) continue;
        previous = table;
        if (known.insert(table, g.aliases.size()) != FlatIndex::npos) continue;
        if (placeholder) {
            known.erase(std::string_view());
            g.aliases[0] = TableAlias{std::string(table), aliasFor(0)};
            placeholder = false;
            continue;
        }
        if (g.aliases.size() == kMaxTables)
            return refusal("the report reads more than " + std::to_string(kMaxTables) +
                           " tables (table " + std::string(table) +
                           " would be the 27th); the aliases A to Z allow 26 at most");
        g.aliases.push_back(TableAlias{std::string(table), aliasFor(g.aliases.size())});
    }
    return {};
}

Status buildOutputFieldList(const ReportDefinition& report, Generated& g) {
    const std::size_t n = report.fields.size();
    g.outputFields.assign(1, OutputField{});
    g.outputFields.reserve(n + 1);
    bool placeholder = true;
    // Field names present in the list, in upper case: ABAP names do not
    // depend on their letter case, and the structure can hold a name once.
    std::vector<std::string> names;
    names.reserve(n + 1);
    for (const PickedField& f : report.fields) names.push_back(text::upper(f.field));
    names.emplace_back();
    FlatIndex present(n + 1);
    present.insert(std::string_view(), 0);
    // The table lookup by hashing: first record per name among all but the last.
    FlatIndex tableIndex(g.aliases.size());
    for (std::size_t j = 0; j + 1 < g.aliases.size(); ++j) tableIndex.insert(g.aliases[j].table, j);
    std::string_view previousTable;  // fields usually come table by table
    std::size_t previousIndex = 0;
    for (std::size_t i = 0; i <= n; ++i) {
        std::string_view field = i < n ? std::string_view(report.fields[i].field) : std::string_view();
        if (present.insert(names[i], i) != FlatIndex::npos) continue;
        std::string_view table = i < n ? std::string_view(report.fields[i].table) : std::string_view();
        std::string_view desc = i < n ? text::trim(report.fields[i].description) : std::string_view();
        if (i == 0 || table != previousTable) {
            previousTable = table;
            previousIndex = tableIndex.find(table);
            if (previousIndex == FlatIndex::npos) previousIndex = g.aliases.size() - 1;
        }
        const std::size_t t = previousIndex;
        OutputField& rec = placeholder ? g.outputFields[0] : g.outputFields.emplace_back();
        if (placeholder) {
            present.erase(std::string_view());
            placeholder = false;
        }
        rec.alias = g.aliases[t].alias;
        rec.field = field;
        rec.table = g.aliases[t].table;
        rec.description = desc;
        rec.tableIndex = t;
        if (i < n) {
            const PickedField& picked = report.fields[i];
            rec.sortPosition = picked.sortPosition;
            rec.sortDescending = picked.sortDescending;
            rec.subtotal = picked.subtotal;
            rec.total = picked.total;
        }
    }
    if (g.outputFields.size() < 2)
        return refusal("the report has no output field: pick at least one field of a table");
    return {};
}

void assignScreenNames(const ReportDefinition& report, Generated& g) {
    g.screenNames.clear();
    g.screenNames.reserve(report.selection.size());
    std::unordered_set<std::string> given;  // upper case
    // Per shortened name (upper case), the number to try next: smaller ones
    // are known to be taken, and names are never given back.
    std::unordered_map<std::string, std::size_t> nextNumber;
    auto unique = [&given, &nextNumber](const std::string& wanted) {
        std::string name(text::prefix(wanted, kMaxScreenNameLength));
        std::string key = text::upper(name);
        if (given.count(key)) {
            std::size_t& n = nextNumber.try_emplace(key, 2).first->second;
            for (;; ++n) {
                std::string number = std::to_string(n);
                std::string candidate =
                    std::string(text::prefix(name, kMaxScreenNameLength - number.size())) + number;
                std::string candidateKey = text::upper(candidate);
                if (given.insert(candidateKey).second) {
                    ++n;
                    return candidate;
                }
            }
        }
        given.insert(std::move(key));
        return name;
    };
    g.optionNames = OptionNames{};
    if (report.maxRows) {
        g.optionNames.maxRowsLabel = unique("VS_MAX");
        g.optionNames.maxRowsInput = unique("P_MAX");
    }
    if (report.layoutVariant) {
        g.optionNames.layoutLabel = unique("VS_VARI");
        g.optionNames.layoutInput = unique("P_VARI");
    }
    g.sortColumns.clear();
    for (std::size_t i = 0; i + 1 < g.outputFields.size(); ++i)
        if (g.outputFields[i].sortPosition > 0) g.sortColumns.push_back(i);
    std::stable_sort(g.sortColumns.begin(), g.sortColumns.end(), [&g](std::size_t a, std::size_t b) {
        return g.outputFields[a].sortPosition < g.outputFields[b].sortPosition;
    });
    for (const SelectionEntry& e : report.selection) {
        const std::string field = screenNameStem(e.field);
        ScreenNames names;
        names.selectOption = isSelectOption(e.settings);
        names.label = unique("VS_" + field);
        names.input = unique((names.selectOption ? "s_" : "P_") + field);
        g.screenNames.push_back(std::move(names));
    }
}

Status buildConditionLists(const ReportDefinition& report, Generated& g) {
    g.joins.clear();
    g.wheres.clear();
    // First entry per trimmed selection-screen field name.
    FlatIndex entryOf(report.selection.size());
    for (std::size_t m = 0; m < report.selection.size(); ++m) entryOf.insert(report.selection[m].field, m);

    for (std::size_t row = 0; row < report.conditions.size(); ++row) {
        const Condition& c = report.conditions[row];
        const std::size_t left = lookupTable(g.aliases, c.leftTable);
        const TableAlias& l = g.aliases[left];
        if (c.rightTable != kSelectionScreenMarker) {
            const std::size_t right = lookupTable(g.aliases, c.rightTable);
            const TableAlias& r = g.aliases[right];
            g.joins.push_back(JoinRecord{l.alias, clauseOf(l), c.leftField, c.op, clauseOf(r), r.alias, c.rightField,
                                         left, right, row, c.join});
            continue;
        }
        WhereRecord w;
        w.leftAlias = l.alias;
        w.leftField = c.leftField;
        w.screenField = c.rightField;
        w.leftIndex = left;
        w.row = row;
        w.entry = entryOf.find(w.screenField);
        if (w.entry == FlatIndex::npos)
            return refusal(describeCondition(c, row) + ": " + w.screenField +
                           " is not a field of the selection screen");
        const ScreenNames& names = g.screenNames[w.entry];
        if (names.selectOption) {
            w.op = " IN ";
            w.prefix = "S_";
        } else {
            w.op = c.op;
            w.prefix = "P_";
        }
        w.screenName = whereName(names);
        g.wheres.push_back(std::move(w));
    }
    return {};
}

Status buildSelectLines(const ReportDefinition& report, Generated& g) {
    auto& lines = g.selectLines;
    lines.clear();
    lines.reserve(g.outputFields.size() + g.joins.size() + 2 * g.wheres.size() + 4);
    lines.emplace_back("Select ");
    for (std::size_t i = 0; i + 1 < g.outputFields.size(); ++i) {
        const OutputField& f = g.outputFields[i];
        std::string s;
        s.reserve(f.alias.size() + f.field.size() + 2);
        s += f.alias;
        s += '~';
        s += f.field;
        s += ' ';
        lines.push_back(std::move(s));
    }
    lines.emplace_back("into table It_Output From ");
    g.from.clear();

    // The tables standing in the FROM clause so far, by alias-list index.
    std::vector<bool> inFrom(g.aliases.size(), false);
    OuterJoinRules rules(g.aliases.size());
    if (Status from = addFromClause(report, g, inFrom, rules); !from) return from;
    if (!g.optionNames.maxRowsInput.empty()) lines.push_back(" UP TO " + g.optionNames.maxRowsInput + " ROWS");

    for (std::size_t i = 0; i + 1 < g.outputFields.size(); ++i) {
        const OutputField& f = g.outputFields[i];
        if (!inFrom[f.tableIndex])
            return refusal("output field " + f.table + "-" + f.field + ": " + notJoined(f.table));
    }

    if (!g.wheres.empty()) {
        lines.emplace_back(" Where ");
        for (std::size_t k = 0; k < g.wheres.size(); ++k) {
            const WhereRecord& w = g.wheres[k];
            if (!inFrom[w.leftIndex])
                return refusal(describeCondition(report.conditions[w.row], w.row, w.screenName) + ": " +
                               notJoined(g.aliases[w.leftIndex].table));
            if (rules.isOuter(w.leftIndex))
                return refusal(describeCondition(report.conditions[w.row], w.row, w.screenName) + ": table " +
                               g.aliases[w.leftIndex].table +
                               " is the outer table of a left outer join; a filter on its fields is not allowed");
            if (k > 0) lines.emplace_back(" AND ");
            lines.push_back(w.leftAlias + "~" + w.leftField + " " + w.op + " " + w.screenName);
        }
    }
    if (const std::vector<std::size_t> order = limitedOrder(g); !order.empty()) {
        lines.emplace_back(" ORDER BY ");
        for (const std::size_t i : order) {
            const OutputField& f = g.outputFields[i];
            lines.push_back(f.alias + "~" + f.field + (f.sortDescending ? " DESCENDING " : " "));
        }
    }
    lines.emplace_back(".");
    return {};
}

std::vector<std::size_t> limitedOrder(const Generated& g) {
    if (g.optionNames.maxRowsInput.empty() || g.sortColumns.empty()) return {};
    std::vector<std::size_t> order = g.sortColumns;
    for (std::size_t i = 0; i + 1 < g.outputFields.size(); ++i)
        if (g.outputFields[i].sortPosition <= 0) order.push_back(i);
    return order;
}

std::string programText(const std::vector<std::string>& source) {
    std::size_t size = 0;
    for (const std::string& line : source) size += line.size() + 1;
    std::string text;
    text.reserve(size);
    for (const std::string& line : source) {
        text += line;
        text += '\n';
    }
    return text;
}

GenerationResult GenerateProgram(const ReportDefinition& design, SourceForm form) {
    if (Status s = checkDesign(design); !s) return s.failure();
    const ReportDefinition report = withTrimmedNames(design);
    Generated g;
    if (Status s = buildAliasList(report, g); !s) return s.failure();
    if (Status s = buildOutputFieldList(report, g); !s) return s.failure();
    assignScreenNames(report, g);
    if (Status s = buildConditionLists(report, g); !s) return s.failure();
    if (Status s = buildSelectLines(report, g); !s) return s.failure();
    if (report.style == CodeStyle::Modern) {
        GenModern(report, g);
    } else {
        GenHeader(report, g);
        GenDeclarations(report, g);
        GenForms(report, g);
    }
    if (g.text.size() > kMaxSourceLines)
        return refusal("the program would have " + std::to_string(g.text.size()) +
                       " lines; at most " + std::to_string(kMaxSourceLines) + " are possible");
    // The design check keeps every text within its line; SAP refuses a longer
    // line, so a program holding one is never handed on.
    for (std::size_t i = 0; i < g.text.size(); ++i)
        if (const std::size_t length = text::length(g.text[i]); length > kMaxLineLength)
            return refusal("line " + std::to_string(i + 1) + " of the program would have " + std::to_string(length) +
                           " characters; ABAP allows " + std::to_string(kMaxLineLength));
    if (form == SourceForm::LinesAndText) g.source = g.text.lines();
    return g;
}

}  // namespace orvex
