#pragma once
// The report being designed: one value that lives from New or Open to Exit.
// The screens are views of it: going from screen to screen changes nothing,
// a screen shows the model as it stands when it is entered, and only the
// user's edits change it, each through one of the calls below, which tell
// the listeners what changed. No Qt here: the model is tested on its own.
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "generator/ReportDefinition.h"

namespace orvex::session {

// What an edit changed. Whole: another design took the model's place (New,
// Open, Restore).
enum class Change { Attributes, Tables, Fields, Selection, Conditions, Whole };

// What removing an item takes along: the items that use it.
struct Dependents {
    std::size_t fields = 0, entries = 0, conditions = 0;
    bool any() const { return fields + entries + conditions > 0; }
    bool operator==(const Dependents&) const = default;
};

class ReportModel {
public:
    // Attributes (main window) and the picked fields, selection-screen
    // entries and conditions, names trimmed. Read freely; edited through the
    // calls below, so that every view hears of it.
    ReportDefinition definition;
    // The chosen tables (lstSELTABS), trimmed, in the order chosen.
    std::vector<std::string> tables;

    // Listeners hear every change; the handle takes the listener off again.
    using Listener = std::function<void(Change)>;
    int listen(Listener listener);
    void stopListening(int handle);

    // The attributes of `attributes` (everything but tables, fields,
    // inputs, conditions and author) become the model's.
    void setAttributes(const ReportDefinition& attributes);
    void setTransport(const std::string& request);

    // A table is chosen once; false when it is chosen already.
    bool addTable(const std::string& table);
    // A field is picked once (table and field); false when it is picked already.
    bool addField(const PickedField& field);
    bool isPicked(const std::string& table, const std::string& field) const;
    // A picked field becomes an input once; false when it is one already or
    // is not picked.
    bool addEntry(const SelectionEntry& entry);
    bool isEntry(const std::string& table, const std::string& field) const;
    // A condition is recorded once; false when the same condition stands already.
    bool addCondition(const Condition& condition);
    // The sort, subtotal and total settings of the picked fields, in their order.
    void setFieldOptions(const std::vector<PickedField>& fields);
    void switchJoinType(std::size_t row);

    // What removing the item at `row` takes along; asked before a removal
    // that would leave inputs or conditions pointing at nothing.
    Dependents dependentsOfTable(std::size_t row) const;
    Dependents dependentsOfField(std::size_t row) const;
    Dependents dependentsOfEntry(std::size_t row) const;
    // The removals, each with what uses the item: a table with its fields
    // (and theirs), a field with its inputs and the conditions on it, an
    // input with the conditions that compare with it.
    void removeTable(std::size_t row);
    void removeField(std::size_t row);
    void removeEntry(std::size_t row);
    void removeCondition(std::size_t row);

    // Another design takes the model's place: an opened one, or a new empty one.
    void open(const ReportDefinition& design);
    void clear();
    // The design as it stands, as a design file holds it: no author, the
    // chosen tables where the fields do not name them all in order.
    ReportDefinition design() const;
    // Nothing entered yet: the design a new model starts with.
    bool empty() const;

    // The file the design was opened from or saved to ("" for none), and
    // the design as that file holds it (a new design: the empty design).
    const std::string& file() const { return file_; }
    void savedAs(const std::string& file);
    // The model differs from its file, or, never saved, holds anything at all.
    bool modified() const;

private:
    void changed(Change what);
    void removeFieldAt(std::size_t row);
    void removeEntryAt(std::size_t row);

    std::map<int, Listener> listeners_;
    int nextHandle_ = 0;
    std::string file_;
    ReportDefinition saved_;
};

// A table name padded with blanks to the 40 characters of the repository's
// object-name column, as the table search delivers it and the lists show it.
std::string padTableName(const std::string& name);
// The distinct tables of the picked fields, in order.
std::vector<std::string> tablesOf(const ReportDefinition& design);
// How the user reads a picked field: TABLE-FIELD.
std::string fieldName(const std::string& table, const std::string& field);

}  // namespace orvex::session
