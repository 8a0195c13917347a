// The plan of a report: every rule that turns a design into what the
// program reads, filters, shows and asks, in one place.
#include "generator/ReportPlan.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "common/Text.h"
#include "generator/DesignCheck.h"
#include "generator/FromClause.h"
#include "generator/Generator.h"

namespace orvex {

namespace {

std::string aliasFor(std::size_t index) { return std::string(1, static_cast<char>('A' + index)); }

// Gives the names of the selection screen: each at most eight characters with
// its prefix, unique whatever its letter case, and numbered where the
// shortened name is taken ("CARRI", "CARR2", ...). The prefix of the kind
// ("VS_" for labels, "P_" for parameters, "S_" for select-options) keeps the
// kinds apart and sets how much of a name fits.
class ScreenNamer {
public:
    std::string give(std::string_view prefix, std::string_view stem) {
        const std::string wanted = std::string(prefix) + std::string(stem);
        std::string name(text::prefix(wanted, kMaxScreenNameLength));
        std::string key = text::upper(name);
        if (given_.count(key)) {
            // The number to try next: smaller ones are known to be taken, and
            // names are never given back.
            std::size_t& n = nextNumber_.try_emplace(key, 2).first->second;
            for (;; ++n) {
                const std::string number = std::to_string(n);
                std::string candidate = std::string(text::prefix(name, kMaxScreenNameLength - number.size())) + number;
                if (given_.insert(text::upper(candidate)).second) {
                    ++n;
                    name = std::move(candidate);
                    break;
                }
            }
        } else {
            given_.insert(std::move(key));
        }
        return name.substr(prefix.size());
    }
    // The label's name first, then the input's.
    ScreenName inputAndLabel(std::string_view inputPrefix, std::string_view stem) {
        ScreenName n;
        n.label = give("VS_", stem);
        n.input = give(inputPrefix, stem);
        return n;
    }

private:
    std::unordered_set<std::string> given_;  // upper case, with the prefix
    std::unordered_map<std::string, std::size_t> nextNumber_;
};

// The inputs of the entries, and the options' inputs, named first.
std::vector<PlanInput> nameInputs(const ReportDefinition& report, PlanOptions* options) {
    ScreenNamer namer;
    std::optional<ScreenName> rowLimit, layout;
    if (report.maxRows) rowLimit = namer.inputAndLabel("P_", "MAX");
    if (report.layoutVariant) layout = namer.inputAndLabel("P_", "VARI");
    if (options) {
        if (rowLimit) options->rowLimit = RowLimit{*report.maxRows, *rowLimit};
        options->layout = layout;
    }
    std::vector<PlanInput> inputs;
    inputs.reserve(report.selection.size());
    for (const SelectionEntry& e : report.selection) {
        PlanInput in;
        in.kind = isSelectOption(e.settings) ? InputKind::SelectOption : InputKind::Parameter;
        in.required = isRequired(e.settings);
        in.defaultValue = std::string(defaultValue(e.settings));
        in.table = std::string(text::trim(e.table));
        in.field = std::string(text::trim(e.field));
        in.description = e.description;
        in.name = namer.inputAndLabel(in.kind == InputKind::SelectOption ? "S_" : "P_", screenNameStem(in.field));
        inputs.push_back(std::move(in));
    }
    return inputs;
}

// One column per distinct field name, in upper case: ABAP names do not depend
// on their letter case, and the structure can hold a name once.
void planColumns(const ReportDefinition& report, const FlatIndex& tableIndex, ReportPlan& plan) {
    const std::size_t n = report.fields.size();
    std::vector<std::string> names;
    names.reserve(n);
    for (const PickedField& f : report.fields) names.push_back(text::upper(f.field));
    FlatIndex present(n);
    plan.columns.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (present.insert(names[i], i) != FlatIndex::npos) continue;
        const PickedField& f = report.fields[i];
        PlanColumn c;
        c.source = PlanField{tableIndex.find(f.table), f.field};
        c.description = std::string(text::trim(f.description));
        c.sortPosition = f.sortPosition;
        c.sortDescending = f.sortDescending;
        c.subtotal = f.subtotal;
        c.total = f.total;
        plan.columns.push_back(std::move(c));
    }
}

// Links each amount or quantity column to the column of its currency or unit
// field, when the list has that field's own column: the column of that name
// must come from the table the reference names.
void planReferences(const ReportDefinition& report, ReportPlan& plan) {
    std::vector<std::string> names;
    names.reserve(plan.columns.size());
    for (const PlanColumn& c : plan.columns) names.push_back(text::upper(text::trim(c.source.field)));
    FlatIndex column(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) column.insert(names[i], i);
    for (const PickedField& f : report.fields) {
        if (!f.reference) continue;
        const std::size_t own = column.find(text::upper(text::trim(f.field)));
        if (own == FlatIndex::npos) continue;
        PlanColumn& c = plan.columns[own];
        // A field name picked twice keeps its first pick's column and reference.
        auto sameTable = [&](const PlanColumn& column, std::string_view table) {
            return text::upper(text::trim(plan.tables[column.source.table].name)) == text::upper(text::trim(table));
        };
        if (!sameTable(c, f.table) || c.referenceColumn) continue;
        const std::string refName = text::upper(text::trim(f.reference->field));
        const std::size_t ref = column.find(refName);
        if (ref == FlatIndex::npos || ref == own) continue;
        if (!sameTable(plan.columns[ref], f.reference->table)) continue;
        c.referenceColumn = ref;
        c.referenceKind = f.reference->kind;
    }
}

void planOptions(ReportPlan& plan) {
    PlanOptions& o = plan.options;
    const std::vector<PlanColumn>& columns = plan.columns;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].sortPosition > 0) o.sortColumns.push_back(i);
        o.totals = o.totals || columns[i].total;
        o.columnTexts = o.columnTexts || (!text::blank(columns[i].description) && !columns[i].dictionaryText);
    }
    std::stable_sort(o.sortColumns.begin(), o.sortColumns.end(), [&columns](std::size_t a, std::size_t b) {
        return columns[a].sortPosition < columns[b].sortPosition;
    });
    if (!o.rowLimit || o.sortColumns.empty()) return;
    o.selectOrder = o.sortColumns;
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].sortPosition <= 0) o.selectOrder.push_back(i);
}

// Whether a description is the dictionary's own label of its field.
bool isDictionaryLabel(std::string_view description, std::string_view label) {
    return !text::blank(description) && text::trim(description) == text::trim(label);
}

// Gives the texts that stay as typed their text symbols, numbered from 001 in
// order of first use, one symbol per text. A text longer than a symbol holds,
// or one past the 999th, stays a plain literal.
class SymbolNumbers {
public:
    explicit SymbolNumbers(std::vector<PlanSymbol>& symbols) : symbols_(symbols) {}
    std::string give(std::string_view typed, std::size_t room) {
        const std::string text(text::trimEnd(typed));
        const std::size_t length = text::length(text);
        if (text.empty() || length > kMaxSymbolLength) return {};
        room = std::min(std::max(room, length), kMaxSymbolLength);
        for (PlanSymbol& s : symbols_)
            if (s.text == text) {
                s.room = std::max(s.room, room);
                return s.key;
            }
        if (next_ > 999) return {};
        std::string key = std::to_string(next_++);
        key.insert(0, 3 - key.size(), '0');
        symbols_.push_back(PlanSymbol{key, text, room});
        return key;
    }

private:
    std::vector<PlanSymbol>& symbols_;
    int next_ = 1;
};

// With texts from the dictionary: which inputs and columns read their labels
// from it, and the text symbols of every other text, in the order each code
// style first writes them. The room of a text is the width of its place: an
// input's label 20, an option's label 24, a column heading 20 in the field
// catalogue's medium text (40 in a SALV long text), a heading line 60.
void planTexts(const ReportDefinition& report, ReportPlan& plan) {
    PlanOptions& o = plan.options;
    o.texts = textSource(report);
    if (o.texts != TextSource::Dictionary) return;
    const bool modern = plan.style == CodeStyle::Modern;
    for (std::size_t i = 0; i < plan.inputs.size(); ++i)
        plan.inputs[i].dictionaryText = isDictionaryLabel(report.selection[i].description,
                                                          report.selection[i].dictionaryLabel);
    // A column comes from the first pick of its field name, found through an
    // index so that a large design is planned in linear time.
    std::vector<std::string> picked;
    picked.reserve(report.fields.size());
    for (const PickedField& f : report.fields) picked.push_back(text::upper(f.field));
    FlatIndex firstPick(picked.size());
    for (std::size_t i = 0; i < picked.size(); ++i) firstPick.insert(picked[i], i);
    for (PlanColumn& c : plan.columns)
        if (const std::size_t i = firstPick.find(text::upper(c.source.field)); i != FlatIndex::npos)
            c.dictionaryText = isDictionaryLabel(report.fields[i].description, report.fields[i].dictionaryLabel);
    SymbolNumbers numbers(plan.textSymbols);
    PlanSymbols& s = o.symbols;
    const auto inputTexts = [&] {
        for (PlanInput& in : plan.inputs) {
            o.dictionaryLabels = o.dictionaryLabels || in.dictionaryText;
            in.textSymbol = numbers.give(in.description, 20);
        }
        if (o.rowLimit) s.maxRowsText = numbers.give(kMaxRowsText, kOptionLabelWidth);
        if (o.layout) s.layoutText = numbers.give(kLayoutText, kOptionLabelWidth);
        if (o.rowLimit) s.maxRowsRefused = numbers.give(kMaxRowsRefused, 70);
    };
    const auto listTexts = [&] {
        if (checksAuthority(report)) s.authorityRefused = numbers.give(kAuthorityRefused, 70);
        for (PlanColumn& c : plan.columns)
            if (!c.dictionaryText) c.textSymbol = numbers.give(c.description, modern ? 40 : 20);
        if (modern && !plan.printHeading) return;
        s.heading = numbers.give(plan.heading, 60);
        // The classic list has always written its date's label as symbol T03.
        if (modern) s.date = numbers.give("Date:", 10);
        else if (!plan.grid) plan.textSymbols.push_back(PlanSymbol{"T03", "Date:", 5});
    };
    if (modern) {
        listTexts();
        inputTexts();
    } else {
        inputTexts();
        listTexts();
    }
}

// The tables the query reads, each once whatever its letter case.
void planAuthorityTables(ReportPlan& plan) {
    std::unordered_set<std::string> checked;
    for (const PlanTable& t : plan.tables)
        if (std::string name = text::upper(t.name); checked.insert(name).second)
            plan.options.authorityTables.push_back(std::move(name));
}

// The tables of the select-options' work areas, each once.
void planInputTables(ReportPlan& plan) {
    std::unordered_set<std::string> declared;
    for (const PlanInput& in : plan.inputs)
        if (in.kind == InputKind::SelectOption && declared.insert(text::upper(in.table)).second)
            plan.inputTables.push_back(in.table);
}

// The conditions in row order: a join per condition on a table, a filter per
// condition on an input. A name that is no table of the report stands for the
// last table.
Status planConditions(const ReportDefinition& report, const FlatIndex& tableIndex, ReportPlan& plan) {
    const auto table = [&](const std::string& name) {
        const std::size_t t = tableIndex.find(name);
        return t == FlatIndex::npos ? plan.tables.size() - 1 : t;
    };
    const InputLookup inputs(report.selection);
    for (std::size_t row = 0; row < report.conditions.size(); ++row) {
        const Condition& c = report.conditions[row];
        const PlanField left{table(c.leftTable), c.leftField};
        if (c.rightTable != kSelectionScreenMarker) {
            plan.joins.push_back(PlanJoin{left, c.op, PlanField{table(c.rightTable), c.rightField}, c.join, row});
            continue;
        }
        const std::optional<std::size_t> input = inputs.of(c);
        if (!input)
            return planRefusal(describeCondition(c, row) + ": " + c.rightField +
                               " is not a field of the selection screen");
        const bool range = plan.inputs[*input].kind == InputKind::SelectOption;
        plan.filters.push_back(PlanFilter{left, range ? "IN" : c.op, *input, row});
    }
    return {};
}

}  // namespace

std::string inputName(const PlanInput& input) {
    return (input.kind == InputKind::SelectOption ? "S_" : "P_") + input.name.input;
}

std::string screenNameStem(std::string_view field) {
    if (!field.empty() && field.front() == '/')
        if (const std::size_t close = field.find('/', 1); close != std::string_view::npos) field.remove_prefix(close + 1);
    return std::string(field);
}

std::vector<std::string> reportTables(const ReportDefinition& design) {
    std::vector<std::string> tables;
    FlatIndex known(kMaxTables + 1);
    std::string_view previous;  // fields usually come table by table
    for (const PickedField& f : design.fields) {
        const std::string_view table = text::trim(f.table);
        if (!tables.empty() && table == previous) continue;
        previous = table;
        if (known.insert(table, tables.size()) == FlatIndex::npos) tables.emplace_back(table);
    }
    return tables;
}

std::vector<PlanInput> planInputs(const ReportDefinition& design) { return nameInputs(design, nullptr); }

InputLookup::InputLookup(const std::vector<SelectionEntry>& selection) : first_(selection.size()) {
    for (std::size_t i = 0; i < selection.size(); ++i) first_.insert(text::trim(selection[i].field), i);
}

std::optional<std::size_t> InputLookup::field(std::string_view name) const {
    const std::size_t i = first_.find(text::trim(name));
    return i == FlatIndex::npos ? std::nullopt : std::optional<std::size_t>(i);
}

std::optional<std::size_t> InputLookup::of(const Condition& c) const {
    if (c.rightTable != kSelectionScreenMarker) return std::nullopt;
    return field(c.rightField);
}

Result<ReportPlan> planReport(const ReportDefinition& design) {
    if (Status s = checkDesign(design); !s) return s.failure();
    const ReportDefinition report = withTrimmedNames(design);
    ReportPlan plan;
    plan.style = report.style;
    plan.name = report.name;
    plan.description = report.description;
    plan.company = report.company;
    plan.author = report.author.value_or(std::string());
    plan.grid = report.grid;
    plan.printHeading = report.printHeading;
    plan.heading = report.heading;

    const std::vector<std::string> tables = reportTables(report);
    if (tables.size() > kMaxTables)
        return planRefusal("the report reads more than " + std::to_string(kMaxTables) + " tables (table " +
                           tables[kMaxTables] + " would be the 27th); the aliases A to Z allow 26 at most");
    if (tables.empty()) return planRefusal("the report has no output field: pick at least one field of a table");
    FlatIndex tableIndex(tables.size());
    for (std::size_t t = 0; t < tables.size(); ++t) {
        plan.tables.push_back(PlanTable{tables[t], aliasFor(t)});
        tableIndex.insert(tables[t], t);
    }
    planColumns(report, tableIndex, plan);
    if (showsReferences(report)) planReferences(report, plan);
    plan.inputs = nameInputs(report, &plan.options);
    planTexts(report, plan);
    planOptions(plan);
    if (checksAuthority(report)) planAuthorityTables(plan);
    planInputTables(plan);
    if (Status s = planConditions(report, tableIndex, plan); !s) return s.failure();
    if (Status s = planFrom(report, plan); !s) return s.failure();
    return plan;
}

}  // namespace orvex
