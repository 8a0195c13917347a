#include "screens/ReportModel.h"

#include <algorithm>

#include "sap/TableReads.h"

namespace orvex::screens {

namespace {
constexpr std::size_t kTableNameWidth = sap::kObjectNameWidth;

void clearStage(ReportModel& model, Stage stage) {
    switch (stage) {
    case Stage::Tables: model.tables.clear(); break;
    case Stage::Fields: model.definition.fields.clear(); break;
    case Stage::Selection: model.definition.selection.clear(); break;
    case Stage::Conditions: model.definition.conditions.clear(); break;
    }
}
}  // namespace

bool ReportModel::load(Stage stage) {
    const int first = static_cast<int>(stage);
    if (pending_[first]) {
        pending_[first] = false;
        return true;
    }
    for (int s = first; s < 4; ++s) {
        clearStage(*this, static_cast<Stage>(s));
        pending_[s] = false;
    }
    return false;
}

void ReportModel::discard(Stage stage) {
    for (int s = static_cast<int>(stage); s < 4; ++s) clearStage(*this, static_cast<Stage>(s));
    std::fill(std::begin(pending_), std::end(pending_), false);
}

namespace {
template <typename Item, typename Refers>
void eraseIf(std::vector<Item>& items, Refers refers) {
    items.erase(std::remove_if(items.begin(), items.end(), refers), items.end());
}

bool joinsTable(const Condition& c, const std::string& table) {
    return c.rightTable != kSelectionScreenMarker && c.rightTable == table;
}
}  // namespace

void ReportModel::removeTable(std::size_t row) {
    if (row >= tables.size()) return;
    const std::string table = tables[row];
    tables.erase(tables.begin() + static_cast<std::ptrdiff_t>(row));
    if (pending(Stage::Conditions))
        eraseIf(definition.conditions,
                [&](const Condition& c) { return c.leftTable == table || joinsTable(c, table); });
    if (!pending(Stage::Fields)) return;
    for (std::size_t i = definition.fields.size(); i-- > 0;)
        if (definition.fields[i].table == table) removeField(i);
}

void ReportModel::removeField(std::size_t row) {
    auto& fields = definition.fields;
    if (row >= fields.size()) return;
    const std::string table = fields[row].table, field = fields[row].field;
    fields.erase(fields.begin() + static_cast<std::ptrdiff_t>(row));
    const auto same = [&](const std::string& t, const std::string& f) { return t == table && f == field; };
    if (std::any_of(fields.begin(), fields.end(), [&](const PickedField& p) { return same(p.table, p.field); }))
        return;
    if (pending(Stage::Conditions))
        eraseIf(definition.conditions, [&](const Condition& c) {
            return same(c.leftTable, c.leftField) || (joinsTable(c, table) && c.rightField == field);
        });
    if (!pending(Stage::Selection)) return;
    for (std::size_t i = definition.selection.size(); i-- > 0;)
        if (same(definition.selection[i].table, definition.selection[i].field)) removeEntry(i);
}

void ReportModel::removeEntry(std::size_t row) {
    auto& entries = definition.selection;
    if (row >= entries.size()) return;
    const std::string field = entries[row].field;
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(row));
    // Conditions name an input by its field alone.
    const auto named = [&](const SelectionEntry& e) { return e.field == field; };
    if (!pending(Stage::Conditions) || std::any_of(entries.begin(), entries.end(), named)) return;
    eraseIf(definition.conditions, [&](const Condition& c) {
        return c.rightTable == kSelectionScreenMarker && c.rightField == field;
    });
}

void ReportModel::open(const ReportDefinition& design) {
    definition = withTrimmedNames(design);
    definition.author.reset();
    tables = tablesOf(definition);
    if (!definition.tables.empty()) {
        // The chosen tables in their order; a picked field's table is among them.
        std::vector<std::string> ofFields = std::move(tables);
        tables.clear();
        for (const std::string& t : definition.tables) tables.push_back(t);
        for (const std::string& t : ofFields)
            if (std::find(tables.begin(), tables.end(), t) == tables.end()) tables.push_back(t);
        definition.tables.clear();
    }
    std::fill(std::begin(pending_), std::end(pending_), true);
}

ReportDefinition ReportModel::design() const {
    ReportDefinition d = definition;
    d.author.reset();
    d.tables.clear();
    if (tables != tablesOf(definition)) d.tables = tables;
    return d;
}

bool ReportModel::pending(Stage stage) const { return pending_[static_cast<int>(stage)]; }

namespace {
// The chosen tables of a design as design() gives it.
std::vector<std::string> chosenTables(const ReportDefinition& d) {
    return d.tables.empty() ? tablesOf(d) : d.tables;
}
}  // namespace

bool isLeftPartOf(const ReportDefinition& part, const ReportDefinition& whole) {
    ReportDefinition a = part, b = whole;
    for (ReportDefinition* d : {&a, &b}) {
        d->fields.clear();
        d->selection.clear();
        d->conditions.clear();
        d->tables.clear();
    }
    if (!(a == b)) return false;
    const bool same[] = {chosenTables(part) == chosenTables(whole), part.fields == whole.fields,
                         part.selection == whole.selection, part.conditions == whole.conditions};
    const bool empty[] = {chosenTables(part).empty(), part.fields.empty(), part.selection.empty(),
                          part.conditions.empty()};
    std::size_t stage = 0;
    while (stage < 4 && same[stage]) ++stage;
    for (; stage < 4; ++stage)
        if (!empty[stage]) return false;
    return true;
}

std::string padTableName(const std::string& name) {
    if (name.size() >= kTableNameWidth) return name;
    return name + std::string(kTableNameWidth - name.size(), ' ');
}

std::vector<std::string> tablesOf(const ReportDefinition& design) {
    std::vector<std::string> out;
    for (const auto& f : design.fields)
        if (std::find(out.begin(), out.end(), f.table) == out.end()) out.push_back(f.table);
    return out;
}

}  // namespace orvex::screens
