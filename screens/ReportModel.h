#pragma once
// The report being designed, as one object the screens edit and the
// generator reads. Each screen owns one stage of it; loading a screen
// afresh or going back from it discards its stage and every later one.
#include <string>
#include <vector>

#include "generator/ReportDefinition.h"

namespace orvex::screens {

enum class Stage { Tables = 0, Fields, Selection, Conditions };

class ReportModel {
public:
    // Attributes (main window) and the picked fields, selection-screen
    // entries and conditions, names trimmed.
    ReportDefinition definition;
    // The chosen tables (lstSELTABS), trimmed, in the order chosen.
    std::vector<std::string> tables;

    // Called when a screen loads: keeps the stage when it comes from an
    // opened design not yet shown, otherwise empties it and every later one.
    // Returns true when the stage was kept.
    bool load(Stage stage);
    // Called when the user goes back from a screen: its work and every later
    // stage are discarded, and so is what is left of an opened design.
    void discard(Stage stage);

    // Edits on the screens that take an item away. What the later stages of
    // an opened design still hold in waiting and refers to the item goes with
    // it: the fields of a removed table, the selection-screen inputs of a
    // removed field, the conditions on either. An item that stands twice
    // takes nothing along while its twin stays.
    void removeTable(std::size_t row);
    void removeField(std::size_t row);
    void removeEntry(std::size_t row);

    // Puts an opened design in place; each screen shows its part when it
    // loads next, as if the user had entered it.
    void open(const ReportDefinition& design);
    // The design as it stands, as a design file holds it: no author, the
    // chosen tables where the fields do not name them all in order.
    ReportDefinition design() const;
    bool pending(Stage stage) const;

private:
    bool pending_[4] = {false, false, false, false};
};

// Whether `part` is `whole` with its later stages left off: the same
// attributes, and stage by stage (tables, fields, selection-screen entries,
// conditions) equal until the first that differs, empty from there on.
bool isLeftPartOf(const ReportDefinition& part, const ReportDefinition& whole);

// A table name padded with blanks to the 40 characters of the repository's
// object-name column, as the table search delivers it and the lists show it.
std::string padTableName(const std::string& name);
// The distinct tables of the picked fields, in order.
std::vector<std::string> tablesOf(const ReportDefinition& design);

}  // namespace orvex::screens
