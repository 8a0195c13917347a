#include "ReportModel.h"

#include <algorithm>

#include "TableReads.h"
#include "Text.h"

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
    return c.rightTable != kSelectionScreenMarker && trimmed(c.rightTable) == table;
}
}  // namespace

void ReportModel::removeTable(std::size_t row) {
    if (row >= tables.size()) return;
    const std::string table = trimmed(tables[row]);
    tables.erase(tables.begin() + static_cast<std::ptrdiff_t>(row));
    if (pending(Stage::Conditions))
        eraseIf(definition.conditions,
                [&](const Condition& c) { return trimmed(c.leftTable) == table || joinsTable(c, table); });
    if (!pending(Stage::Fields)) return;
    for (std::size_t i = definition.fields.size(); i-- > 0;)
        if (trimmed(definition.fields[i].table) == table) removeField(i);
}

void ReportModel::removeField(std::size_t row) {
    auto& fields = definition.fields;
    if (row >= fields.size()) return;
    const std::string table = trimmed(fields[row].table), field = fields[row].field;
    fields.erase(fields.begin() + static_cast<std::ptrdiff_t>(row));
    const auto same = [&](const std::string& t, const std::string& f) { return trimmed(t) == table && f == field; };
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
    const std::string field = trimmed(entries[row].field);
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(row));
    // Conditions name an input by its field alone.
    const auto named = [&](const SelectionEntry& e) { return trimmed(e.field) == field; };
    if (!pending(Stage::Conditions) || std::any_of(entries.begin(), entries.end(), named)) return;
    eraseIf(definition.conditions, [&](const Condition& c) {
        return c.rightTable == kSelectionScreenMarker && trimmed(c.rightField) == field;
    });
}

void ReportModel::open(const ReportDefinition& design) {
    definition = design;
    definition.author.reset();
    for (auto& f : definition.fields) f.table = padTableName(f.table);
    for (auto& e : definition.selection) e.table = padTableName(e.table);
    tables = tablesOf(definition);
    std::fill(std::begin(pending_), std::end(pending_), true);
}

bool ReportModel::pending(Stage stage) const { return pending_[static_cast<int>(stage)]; }

std::string padTableName(const std::string& name) {
    if (name.size() >= kTableNameWidth) return name;
    return name + std::string(kTableNameWidth - name.size(), ' ');
}

std::string trimmed(const std::string& s) { return std::string(text::trim(s)); }

std::vector<std::string> tablesOf(const ReportDefinition& design) {
    std::vector<std::string> out;
    for (const auto& f : design.fields) {
        const std::string padded = padTableName(f.table);
        if (std::find(out.begin(), out.end(), padded) == out.end()) out.push_back(padded);
    }
    return out;
}

}  // namespace orvex::screens
