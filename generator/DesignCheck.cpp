// The one check of a design's contents, before any line is written.
#include "generator/DesignCheck.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <unordered_map>

#include "common/Text.h"
#include "generator/ReportPlan.h"

namespace orvex {

namespace {

using text::trim;

constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

bool isWordCharacter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool allWordCharacters(std::string_view s) {
    for (const unsigned char c : s)
        if (!isWordCharacter(c)) return false;
    return true;
}

// Letters, digits and "_" after an optional "/NAMESPACE/", at most `limit` bytes.
bool isNamespacedName(std::string_view name, std::size_t limit) {
    if (name.empty() || name.size() > limit) return false;
    if (name.front() == '/') {
        const std::size_t close = name.find('/', 1);
        if (close == std::string_view::npos || close == 1 || !allWordCharacters(name.substr(1, close - 1)))
            return false;
        name.remove_prefix(close + 1);
    }
    return !name.empty() && allWordCharacters(name);
}

std::string quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// The code point of the UTF-8 sequence at s[i] and its length in bytes, or a
// length of 0 when the bytes there are no well-formed sequence (a stray
// continuation byte, a sequence cut short, an overlong form, a surrogate, a
// value past U+10FFFF).
std::pair<char32_t, std::size_t> decode(std::string_view s, std::size_t i) {
    const unsigned char lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x80) return {lead, 1};
    std::size_t length = 0;
    char32_t value = 0, least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, least = 0x10000;
    } else {
        return {0, 0};
    }
    if (i + length > s.size()) return {0, 0};
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return {0, 0};
        value = (value << 6) | (c & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return {0, 0};
    return {value, length};
}

// The length of a text in the program: characters, in a literal with every
// apostrophe doubled.
std::size_t programLength(std::string_view text, bool literal) {
    return text::length(text) + (literal ? static_cast<std::size_t>(std::count(text.begin(), text.end(), '\'')) : 0);
}

// The texts that share a line of the program with fixed words, and how many
// characters of each fit in the 255 of a line, per code style. Counted from
// the writers' lines: "* Program Description : " + text + "*" in the classic
// header, "*& " + text in the modern one, "  DEFAULT '" + text + "'." and so on.
enum class TextKind { Name, Description, Company, Author, Heading, FieldDescription, InputDescription, DefaultValue };

std::size_t roomFor(TextKind kind, const ReportDefinition& d) {
    const bool modern = d.style == CodeStyle::Modern;
    switch (kind) {
        // "     i_callback_program             = '" + name + "'" in the classic program.
        case TextKind::Name: return modern ? 245 : 215;
        case TextKind::Description: return modern ? 252 : 230;
        case TextKind::Company: return modern ? 243 : 237;
        case TextKind::Author: return modern ? 243 : 235;
        // The modern program writes the heading only when it is printed.
        case TextKind::Heading: return modern ? (d.printHeading ? 198 : kNoLimit) : (d.grid ? 236 : 240);
        case TextKind::FieldDescription: return modern ? 216 : 226;
        // The classic label's name has at most 8 characters.
        case TextKind::InputDescription: return modern ? 248 : 241;
        case TextKind::DefaultValue: return modern ? 250 : 242;
    }
    return kNoLimit;
}

// One finding per call; the first fault found ends the check.
class Checker {
public:
    explicit Checker(const ReportDefinition& design) : design_(design) {}

    // Where the next texts are: an attribute ("" list) or an item of a list.
    Checker& at(const char* list, std::size_t index = 0) {
        list_ = list;
        index_ = index;
        return *this;
    }

    // A text that reaches the program stays on its line and is text that
    // every file of the program can hold: UTF-8, no control character.
    bool oneLine(const char* key, std::string_view text) {
        for (std::size_t i = 0; i < text.size();) {
            const auto [c, length] = decode(text, i);
            if (length == 0) return refuse(key, "not UTF-8 text (byte " + std::to_string(i + 1) + ")");
            i += length;
            if (c == 0xFFFE || c == 0xFFFF) return refuse(key, std::string("U+") + (c == 0xFFFE ? "FFFE" : "FFFF") +
                                                                   ", which is no character (XML cannot hold it)");
            if (c >= 0x20 && c != 0x7F) continue;
            if (c == '\n' || c == '\r') return refuse(key, "line break");
            if (c == '\t') return refuse(key, "tab");
            char code[8];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
            return refuse(key, std::string("control character ") + code);
        }
        return true;
    }
    // oneLine, and no longer than its room on the line of the program.
    bool fits(const char* key, std::string_view text, TextKind kind, bool literal) {
        if (!oneLine(key, text)) return false;
        const std::size_t room = roomFor(kind, design_);
        const std::size_t length = programLength(text, literal);
        if (room == kNoLimit || length <= room) return true;
        return refuse(key, std::to_string(length) + " characters" + (literal ? " with its apostrophes doubled" : "") +
                               "; at most " + std::to_string(room) + " fit on its line of the program (" +
                               std::to_string(kMaxLineLength) + " characters a line)");
    }
    bool tableName(const char* key, std::string_view table) {
        if (!oneLine(key, table)) return false;
        table = trim(table);
        if (isDictionaryName(table)) return true;
        return refuse(key, quoted(table) +
                               " is no dictionary table name (letters, digits and \"_\" after an optional "
                               "/NAMESPACE/ prefix, at most 30 characters)");
    }
    bool fieldName(const char* key, std::string_view field) {
        if (!oneLine(key, field)) return false;
        field = trim(field);
        if (isDictionaryName(field)) return true;
        return refuse(key, quoted(field) +
                               " is not an ABAP field name (letters, digits and \"_\" after an optional "
                               "/NAMESPACE/ prefix, at most 30 characters)");
    }
    bool refuse(const char* key, const std::string& reason) {
        found_ = DesignFault{list_, index_, key, reason};
        return false;
    }
    const std::optional<DesignFault>& result() const { return found_; }

private:
    const ReportDefinition& design_;
    std::string list_;
    std::size_t index_ = 0;
    std::optional<DesignFault> found_;
};

bool checkSizes(const ReportDefinition& d, Checker& check) {
    const std::pair<const char*, std::size_t> lists[] = {
        {"fields", d.fields.size()}, {"selection_screen", d.selection.size()}, {"conditions", d.conditions.size()}};
    for (const auto& [list, count] : lists)
        if (const Status s = checkListSize(list, count); !s) {
            // The reason without the list's name, which the fault's place gives.
            const std::string& reason = s.failure().reason;
            return check.at("").refuse(list, reason.substr(reason.find(": ") + 2));
        }
    return true;
}

bool checkAttributes(const ReportDefinition& d, Checker& check) {
    check.at("");
    if (!check.oneLine("name", d.name)) return false;
    if (!d.name.empty() && !isProgramName(d.name))
        return check.refuse("name", quoted(d.name) +
                                        " is no ABAP program name (letters, digits and \"_\" after an optional "
                                        "/NAMESPACE/ prefix)");
    return check.fits("name", d.name, TextKind::Name, false) && check.fits("description", d.description, TextKind::Description, false) &&
           check.fits("company", d.company, TextKind::Company, false) &&
           (!d.author || check.fits("author", *d.author, TextKind::Author, false)) &&
           check.fits("heading", d.heading, TextKind::Heading, true);
}

bool checkFields(const ReportDefinition& d, Checker& check) {
    for (std::size_t i = 0; i < d.fields.size(); ++i) {
        const PickedField& f = d.fields[i];
        check.at("fields", i);
        if (!check.tableName("table", f.table) || !check.fieldName("field", f.field) ||
            !check.oneLine("description", f.description) ||
            // The program shows the description without its blanks around.
            !check.fits("description", trim(f.description), TextKind::FieldDescription, true) ||
            !check.oneLine("dictionary_label", f.dictionaryLabel))
            return false;
        if (f.reference) {
            const char* key = f.reference->kind == ValueReference::Currency ? "currency" : "unit";
            if (!check.tableName(key, f.reference->table) || !check.fieldName(key, f.reference->field)) return false;
        }
    }
    return true;
}

// Sort positions are unique; a direction or subtotal belongs to a sorted column.
bool checkFieldOptions(const ReportDefinition& d, Checker& check) {
    std::unordered_map<int, std::size_t> sortedAt;  // sort position -> first field holding it
    for (std::size_t i = 0; i < d.fields.size(); ++i) {
        const PickedField& f = d.fields[i];
        check.at("fields", i);
        if (f.sortPosition < 0)
            return check.refuse("sort_position", std::to_string(f.sortPosition) +
                                                     " is not a sort position (1, 2, ...; 0 or none: not sorted)");
        if (f.sortPosition > 0) {
            const auto [at, added] = sortedAt.try_emplace(f.sortPosition, i);
            if (!added)
                return check.refuse("sort_position", std::to_string(f.sortPosition) + " is the sort position of " +
                                                         std::string(trim(d.fields[at->second].table)) + "-" +
                                                         std::string(trim(d.fields[at->second].field)) + " already");
            continue;
        }
        if (f.sortDescending) return check.refuse("sort_descending", "the field has no sort position");
        if (f.subtotal) return check.refuse("subtotal", "a subtotal needs a sort position");
    }
    if (d.maxRows && (*d.maxRows < 0 || *d.maxRows > kMaxRowLimit))
        return check.at("").refuse("max_rows", std::to_string(*d.maxRows) +
                                                   " is not a row limit (0: every row, at most " +
                                                   std::to_string(kMaxRowLimit) + ")");
    return true;
}

bool checkSelection(const ReportDefinition& d, Checker& check) {
    for (std::size_t i = 0; i < d.selection.size(); ++i) {
        const SelectionEntry& e = d.selection[i];
        check.at("selection_screen", i);
        if (!check.tableName("table", e.table) || !check.fieldName("field", e.field) ||
            !check.fits("description", e.description, TextKind::InputDescription, true) ||
            !check.oneLine("settings", e.settings) || !check.oneLine("dictionary_label", e.dictionaryLabel))
            return false;
        // Kind and flag are tested case-sensitively by the writers: anything
        // but these four letters would make the two readers disagree.
        const std::string_view kind = settingsCharacter(e.settings, 1), flag = settingsCharacter(e.settings, 3);
        if (kind != "P" && kind != "S")
            return check.refuse("settings", quoted(e.settings) + " does not start with P (parameter) or S (select-option)");
        if (flag != "R" && flag != "N")
            return check.refuse("settings", quoted(e.settings) +
                                                " has no R (required) or N (not required) as its third character");
        if (!check.fits("settings", defaultValue(e.settings), TextKind::DefaultValue, true)) {
            check.refuse("settings", "the default value has " + check.result()->reason);
            return false;
        }
    }
    return true;
}

bool checkConditions(const ReportDefinition& d, Checker& check) {
    const InputLookup inputs(d.selection);
    for (std::size_t i = 0; i < d.conditions.size(); ++i) {
        const Condition& c = d.conditions[i];
        check.at("conditions", i);
        const bool screen = c.rightTable == kSelectionScreenMarker;
        if (!check.tableName("left_table", c.leftTable) || !check.fieldName("left_field", c.leftField) ||
            !check.oneLine("operator", c.op))
            return false;
        const std::string_view o = trim(c.op);
        if (o != "=" && o != "<>" && o != "<" && o != ">")
            return check.refuse("operator", quoted(o) + " is not one of =, <>, <, >");
        if (!screen && !check.tableName("right_table", c.rightTable)) return false;
        if (screen && c.join != JoinType::Inner)
            return check.refuse("join", "a condition on a selection-screen input joins no table");
        if (!check.fieldName("right_field", c.rightField)) return false;
        if (const std::string_view input = trim(c.rightField); screen && !inputs.field(input))
            return check.refuse("right_field", quoted(input) + " is not a field of the selection screen");
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

bool isDictionaryName(std::string_view name) { return isNamespacedName(name, 30); }

bool isProgramName(std::string_view name) { return isNamespacedName(name, kNoLimit); }

Status checkListSize(std::string_view list, std::size_t count) {
    const std::size_t limit = list == "fields"             ? kMaxDesignFields
                              : list == "selection_screen" ? kMaxDesignInputs
                                                           : kMaxDesignConditions;
    if (count <= limit) return {};
    return failure(FailureKind::Refused, std::string(list) + ": " + std::to_string(count) +
                                             " entries; a design holds at most " + std::to_string(limit));
}

std::string DesignFault::place() const {
    if (list.empty()) return key;
    return list + "[" + std::to_string(index) + "]." + key;
}

std::optional<DesignFault> findDesignFault(const ReportDefinition& design) {
    Checker check(design);
    if (checkSizes(design, check) && checkAttributes(design, check) && checkFields(design, check) &&
        checkFieldOptions(design, check) && checkSelection(design, check))
        checkConditions(design, check);
    return check.result();
}

Status checkDesign(const ReportDefinition& design) {
    const std::optional<DesignFault> fault = findDesignFault(design);
    if (!fault) return {};
    return failure(FailureKind::Refused, fault->place() + ": " + fault->reason);
}

}  // namespace orvex
