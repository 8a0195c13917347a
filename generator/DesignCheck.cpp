// The one check of a design's contents, before any line is written.
#include "generator/DesignCheck.h"

#include <cstdio>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "common/Text.h"

namespace orvex {

namespace {

using text::trim;

bool isWordCharacter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool allWordCharacters(std::string_view s) {
    for (const unsigned char c : s)
        if (!isWordCharacter(c)) return false;
    return true;
}

// "fields[2]" + ".table"
std::string item(const char* list, std::size_t index, const char* key) {
    return std::string(list) + "[" + std::to_string(index) + "]." + key;
}

std::string quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// One finding per call; the first fault found ends the check.
class Checker {
public:
    // A text that reaches the program stays on its line: no control character.
    bool oneLine(const std::string& place, std::string_view text) {
        for (const unsigned char c : text) {
            if (c >= 0x20 && c != 0x7F) continue;
            if (c == '\n' || c == '\r') return refuse(place, "line break");
            if (c == '\t') return refuse(place, "tab");
            char code[8];
            std::snprintf(code, sizeof code, "U+%04X", c);
            return refuse(place, std::string("control character ") + code);
        }
        return true;
    }
    bool tableName(const std::string& place, std::string_view table) {
        if (!oneLine(place, table)) return false;
        table = trim(table);
        if (isDictionaryName(table)) return true;
        return refuse(place, quoted(table) +
                                 " is no dictionary table name (letters, digits and \"_\" after an optional "
                                 "/NAMESPACE/ prefix, at most 30 characters)");
    }
    bool fieldName(const std::string& place, std::string_view field) {
        if (!oneLine(place, field)) return false;
        field = trim(field);
        if (isAbapName(field)) return true;
        return refuse(place, quoted(field) + " is not an ABAP field name (letters, digits, \"_\" and \"/\" only)");
    }
    bool refuse(const std::string& place, const std::string& reason) {
        found_ = failure(FailureKind::Refused, place + ": " + reason);
        return false;
    }
    Status result() const { return found_ ? Status(*found_) : Status(); }

private:
    std::optional<Failure> found_;
};

bool checkAttributes(const ReportDefinition& d, Checker& check) {
    if (!check.oneLine("name", d.name)) return false;
    if (!d.name.empty() && !isAbapName(d.name))
        return check.refuse("name", quoted(d.name) + " is no ABAP program name (letters, digits, \"_\" and \"/\" only)");
    return check.oneLine("description", d.description) && check.oneLine("company", d.company) &&
           (!d.author || check.oneLine("author", *d.author)) && check.oneLine("heading", d.heading);
}

bool checkFields(const ReportDefinition& d, Checker& check) {
    for (std::size_t i = 0; i < d.fields.size(); ++i) {
        const PickedField& f = d.fields[i];
        if (!check.tableName(item("fields", i, "table"), f.table) ||
            !check.fieldName(item("fields", i, "field"), f.field) ||
            !check.oneLine(item("fields", i, "description"), f.description))
            return false;
    }
    return true;
}

// Sort positions are unique; a direction or subtotal belongs to a sorted column.
bool checkFieldOptions(const ReportDefinition& d, Checker& check) {
    std::unordered_map<int, std::size_t> sortedAt;  // sort position -> first field holding it
    for (std::size_t i = 0; i < d.fields.size(); ++i) {
        const PickedField& f = d.fields[i];
        if (f.sortPosition < 0)
            return check.refuse(item("fields", i, "sort_position"),
                                std::to_string(f.sortPosition) + " is not a sort position (1, 2, ...; 0 or none: not sorted)");
        if (f.sortPosition > 0) {
            const auto [at, added] = sortedAt.try_emplace(f.sortPosition, i);
            if (!added)
                return check.refuse(item("fields", i, "sort_position"),
                                    std::to_string(f.sortPosition) + " is the sort position of fields[" +
                                        std::to_string(at->second) + "] already");
            continue;
        }
        if (f.sortDescending)
            return check.refuse(item("fields", i, "sort_descending"), "the field has no sort position");
        if (f.subtotal) return check.refuse(item("fields", i, "subtotal"), "a subtotal needs a sort position");
    }
    if (d.maxRows && (*d.maxRows < 0 || *d.maxRows > kMaxRowLimit))
        return check.refuse("max_rows", std::to_string(*d.maxRows) + " is not a row limit (0: every row, at most " +
                                            std::to_string(kMaxRowLimit) + ")");
    return true;
}

bool checkSelection(const ReportDefinition& d, Checker& check) {
    for (std::size_t i = 0; i < d.selection.size(); ++i) {
        const SelectionEntry& e = d.selection[i];
        const std::string settings = item("selection_screen", i, "settings");
        if (!check.tableName(item("selection_screen", i, "table"), e.table) ||
            !check.fieldName(item("selection_screen", i, "field"), e.field) ||
            !check.oneLine(item("selection_screen", i, "description"), e.description) ||
            !check.oneLine(settings, e.settings))
            return false;
        // Kind and flag are tested case-sensitively by the writers: anything
        // but these four letters would make the two readers disagree.
        if (e.settings.empty() || (e.settings[0] != 'P' && e.settings[0] != 'S'))
            return check.refuse(settings, quoted(e.settings) + " does not start with P (parameter) or S (select-option)");
        if (e.settings.size() < 3 || (e.settings[2] != 'R' && e.settings[2] != 'N'))
            return check.refuse(settings, quoted(e.settings) +
                                              " has no R (required) or N (not required) as its third character");
    }
    return true;
}

bool checkConditions(const ReportDefinition& d, Checker& check) {
    std::unordered_set<std::string_view> inputs;
    for (const SelectionEntry& e : d.selection) inputs.insert(trim(e.field));
    for (std::size_t i = 0; i < d.conditions.size(); ++i) {
        const Condition& c = d.conditions[i];
        const bool screen = c.rightTable == kSelectionScreenMarker;
        const std::string op = item("conditions", i, "operator");
        if (!check.tableName(item("conditions", i, "left_table"), c.leftTable) ||
            !check.fieldName(item("conditions", i, "left_field"), c.leftField) || !check.oneLine(op, c.op))
            return false;
        const std::string_view o = trim(c.op);
        if (o != "=" && o != "<>" && o != "<" && o != ">")
            return check.refuse(op, quoted(o) + " is not one of =, <>, <, >");
        if (!screen && !check.tableName(item("conditions", i, "right_table"), c.rightTable)) return false;
        if (screen && c.join != JoinType::Inner)
            return check.refuse(item("conditions", i, "join"), "a condition on a selection-screen input joins no table");
        const std::string right = item("conditions", i, "right_field");
        if (!check.fieldName(right, c.rightField)) return false;
        if (const std::string_view input = trim(c.rightField); screen && !inputs.count(input))
            return check.refuse(right, quoted(input) + " is not a field of the selection screen");
    }
    return true;
}

}  // namespace

bool isAbapName(std::string_view name) {
    if (name.empty()) return false;
    for (const unsigned char c : name)
        if (!isWordCharacter(c) && c != '/') return false;
    return true;
}

bool isDictionaryName(std::string_view name) {
    constexpr std::size_t kMaxLength = 30;
    if (name.empty() || name.size() > kMaxLength) return false;
    if (name.front() == '/') {
        const std::size_t close = name.find('/', 1);
        if (close == std::string_view::npos || close == 1 || !allWordCharacters(name.substr(1, close - 1)))
            return false;
        name.remove_prefix(close + 1);
    }
    return !name.empty() && allWordCharacters(name);
}

Status checkDesign(const ReportDefinition& design) {
    Checker check;
    if (checkAttributes(design, check) && checkFields(design, check) && checkFieldOptions(design, check) &&
        checkSelection(design, check))
        checkConditions(design, check);
    return check.result();
}

}  // namespace orvex
