#include "generator/ReportDefinition.h"

#include "common/Text.h"

namespace orvex {

ReportDefinition withTrimmedNames(ReportDefinition design) {
    const auto drop = [](std::string& name) {  // the blanks around name
        const std::string_view kept = text::trim(name);
        if (kept.size() != name.size()) name = std::string(kept);
    };
    for (std::string& table : design.tables) drop(table);
    for (PickedField& f : design.fields) {
        drop(f.table);
        drop(f.field);
        if (f.reference) {
            drop(f.reference->table);
            drop(f.reference->field);
        }
    }
    for (SelectionEntry& e : design.selection) {
        drop(e.table);
        drop(e.field);
    }
    for (Condition& c : design.conditions) {
        for (std::string* name : {&c.leftTable, &c.leftField, &c.op, &c.rightField}) drop(*name);
        // Only "SELSCR" exactly names the selection screen; " SELSCR" is a
        // table's name and keeps its blanks, so it cannot turn into the marker.
        if (text::trim(c.rightTable) != kSelectionScreenMarker) drop(c.rightTable);
    }
    return design;
}

}  // namespace orvex
