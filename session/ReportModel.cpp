#include "session/ReportModel.h"

#include <algorithm>

#include "sap/TableReads.h"

namespace orvex::session {

namespace {
constexpr std::size_t kTableNameWidth = sap::kObjectNameWidth;

template <typename Item, typename Refers>
void eraseIf(std::vector<Item>& items, Refers refers) {
    items.erase(std::remove_if(items.begin(), items.end(), refers), items.end());
}

bool joinsTable(const Condition& c, const std::string& table) {
    return c.rightTable != kSelectionScreenMarker && c.rightTable == table;
}

template <typename Item>
void eraseAt(std::vector<Item>& items, std::size_t row) {
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(row));
}
}  // namespace

int ReportModel::listen(Listener listener) {
    listeners_.emplace(nextHandle_, std::move(listener));
    return nextHandle_++;
}

void ReportModel::stopListening(int handle) { listeners_.erase(handle); }

void ReportModel::changed(Change what) {
    // A listener may take itself or another off while it hears the change.
    const auto listeners = listeners_;
    for (const auto& [handle, listener] : listeners)
        if (listeners_.count(handle)) listener(what);
}

void ReportModel::setAttributes(const ReportDefinition& a) {
    ReportDefinition d = a;
    d.author.reset();
    d.fields = definition.fields;
    d.selection = definition.selection;
    d.conditions = definition.conditions;
    d.tables = definition.tables;
    d.transport = definition.transport;
    if (d == definition) return;
    definition = std::move(d);
    changed(Change::Attributes);
}

void ReportModel::setTransport(const std::string& request) {
    if (definition.transport == request) return;
    definition.transport = request;
    changed(Change::Attributes);
}

bool ReportModel::addTable(const std::string& table) {
    if (table.empty() || std::find(tables.begin(), tables.end(), table) != tables.end()) return false;
    tables.push_back(table);
    changed(Change::Tables);
    return true;
}

bool ReportModel::isPicked(const std::string& table, const std::string& field) const {
    return std::any_of(definition.fields.begin(), definition.fields.end(),
                       [&](const PickedField& p) { return p.table == table && p.field == field; });
}

bool ReportModel::addField(const PickedField& field) {
    if (field.field.empty() || isPicked(field.table, field.field)) return false;
    definition.fields.push_back(field);
    // A field's table is among the chosen ones.
    if (std::find(tables.begin(), tables.end(), field.table) == tables.end()) tables.push_back(field.table);
    changed(Change::Fields);
    return true;
}

bool ReportModel::isEntry(const std::string& table, const std::string& field) const {
    return std::any_of(definition.selection.begin(), definition.selection.end(),
                       [&](const SelectionEntry& e) { return e.table == table && e.field == field; });
}

bool ReportModel::addEntry(const SelectionEntry& entry) {
    if (!isPicked(entry.table, entry.field) || isEntry(entry.table, entry.field)) return false;
    definition.selection.push_back(entry);
    changed(Change::Selection);
    return true;
}

bool ReportModel::addCondition(const Condition& condition) {
    auto& all = definition.conditions;
    if (std::find(all.begin(), all.end(), condition) != all.end()) return false;
    all.push_back(condition);
    changed(Change::Conditions);
    return true;
}

void ReportModel::setFieldOptions(const std::vector<PickedField>& fields) {
    auto& own = definition.fields;
    bool any = false;
    for (std::size_t i = 0; i < own.size() && i < fields.size(); ++i) {
        if (own[i].table != fields[i].table || own[i].field != fields[i].field) continue;
        PickedField updated = own[i];
        updated.sortPosition = fields[i].sortPosition;
        updated.sortDescending = fields[i].sortDescending;
        updated.subtotal = fields[i].subtotal;
        updated.total = fields[i].total;
        if (updated == own[i]) continue;
        own[i] = updated;
        any = true;
    }
    if (any) changed(Change::Fields);
}

void ReportModel::switchJoinType(std::size_t row) {
    auto& all = definition.conditions;
    if (row >= all.size() || all[row].rightTable == kSelectionScreenMarker) return;
    all[row].join = all[row].join == JoinType::LeftOuter ? JoinType::Inner : JoinType::LeftOuter;
    changed(Change::Conditions);
}

void ReportModel::removeFieldAt(std::size_t row) {
    auto& fields = definition.fields;
    const std::string table = fields[row].table, field = fields[row].field;
    eraseAt(fields, row);
    // A twin (an older design may hold one) keeps what uses the field.
    if (isPicked(table, field)) return;
    eraseIf(definition.conditions, [&](const Condition& c) {
        return (c.leftTable == table && c.leftField == field) || (joinsTable(c, table) && c.rightField == field);
    });
    for (std::size_t i = definition.selection.size(); i-- > 0;)
        if (definition.selection[i].table == table && definition.selection[i].field == field) removeEntryAt(i);
}

void ReportModel::removeEntryAt(std::size_t row) {
    auto& entries = definition.selection;
    const std::string field = entries[row].field;
    eraseAt(entries, row);
    // Conditions name an input by its field alone: they stay while another input has that name.
    if (std::any_of(entries.begin(), entries.end(), [&](const SelectionEntry& e) { return e.field == field; })) return;
    eraseIf(definition.conditions, [&](const Condition& c) {
        return c.rightTable == kSelectionScreenMarker && c.rightField == field;
    });
}

void ReportModel::removeTable(std::size_t row) {
    if (row >= tables.size()) return;
    const std::string table = tables[row];
    eraseAt(tables, row);
    for (std::size_t i = definition.fields.size(); i-- > 0;)
        if (definition.fields[i].table == table) removeFieldAt(i);
    for (std::size_t i = definition.selection.size(); i-- > 0;)
        if (definition.selection[i].table == table) removeEntryAt(i);
    eraseIf(definition.conditions,
            [&](const Condition& c) { return c.leftTable == table || joinsTable(c, table); });
    changed(Change::Tables);
}

void ReportModel::removeField(std::size_t row) {
    if (row >= definition.fields.size()) return;
    removeFieldAt(row);
    changed(Change::Fields);
}

void ReportModel::removeEntry(std::size_t row) {
    if (row >= definition.selection.size()) return;
    removeEntryAt(row);
    changed(Change::Selection);
}

void ReportModel::removeCondition(std::size_t row) {
    if (row >= definition.conditions.size()) return;
    eraseAt(definition.conditions, row);
    changed(Change::Conditions);
}

namespace {
// What a removal on a copy of the model took along, besides the item itself.
template <typename Remove>
Dependents takenAlong(const ReportModel& model, Remove remove, Dependents itself) {
    ReportModel copy;
    copy.definition = model.definition;
    copy.tables = model.tables;
    remove(copy);
    const auto& before = model.definition;
    const auto& after = copy.definition;
    return {before.fields.size() - after.fields.size() - itself.fields,
            before.selection.size() - after.selection.size() - itself.entries,
            before.conditions.size() - after.conditions.size() - itself.conditions};
}
}  // namespace

Dependents ReportModel::dependentsOfTable(std::size_t row) const {
    if (row >= tables.size()) return {};
    return takenAlong(*this, [row](ReportModel& m) { m.removeTable(row); }, {});
}

Dependents ReportModel::dependentsOfField(std::size_t row) const {
    if (row >= definition.fields.size()) return {};
    return takenAlong(*this, [row](ReportModel& m) { m.removeField(row); }, {1, 0, 0});
}

Dependents ReportModel::dependentsOfEntry(std::size_t row) const {
    if (row >= definition.selection.size()) return {};
    return takenAlong(*this, [row](ReportModel& m) { m.removeEntry(row); }, {0, 1, 0});
}

void ReportModel::open(const ReportDefinition& design) {
    definition = withTrimmedNames(design);
    definition.author.reset();
    tables = tablesOf(definition);
    if (!definition.tables.empty()) {
        // The chosen tables in their order; a picked field's table is among them.
        std::vector<std::string> ofFields = std::move(tables);
        tables.clear();
        for (const std::string& t : definition.tables)
            if (std::find(tables.begin(), tables.end(), t) == tables.end()) tables.push_back(t);
        for (const std::string& t : ofFields)
            if (std::find(tables.begin(), tables.end(), t) == tables.end()) tables.push_back(t);
        definition.tables.clear();
    }
    file_.clear();
    saved_ = ReportDefinition{};
    changed(Change::Whole);
}

void ReportModel::clear() { open(ReportDefinition{}); }

ReportDefinition ReportModel::design() const {
    ReportDefinition d = definition;
    d.author.reset();
    d.tables.clear();
    if (tables != tablesOf(definition)) d.tables = tables;
    return d;
}

bool ReportModel::empty() const { return design() == ReportDefinition{}; }

void ReportModel::savedAs(const std::string& file) {
    file_ = file;
    saved_ = design();
    changed(Change::Attributes);
}

bool ReportModel::modified() const { return design() != saved_; }

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

std::string fieldName(const std::string& table, const std::string& field) { return table + "-" + field; }

}  // namespace orvex::session
