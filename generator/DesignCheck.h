#pragma once
// What a design may hold before any line of its program is written. Designs
// travel as files, so every way in (opening a design, generating, installing,
// exporting) passes this one check: a text of the design can fill a comment or
// a literal of the program, never add a line or a statement to it.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/Failure.h"
#include "generator/ReportDefinition.h"

namespace orvex {

// True for a name ABAP accepts as a field or program name: not empty, only
// letters, digits, "_" and "/" (the namespace delimiter).
bool isAbapName(std::string_view name);

// True for a dictionary table name: letters, digits and "_", after an optional
// namespace prefix "/NAMESPACE/"; at most 30 characters. Field names of the
// dictionary follow the same rule.
bool isDictionaryName(std::string_view name);

// True for a program name: letters, digits and "_" after an optional
// namespace prefix (how long a name SAP takes is the installation's business).
bool isProgramName(std::string_view name);

// The largest design taken, so that no way in spends time on a design that
// could never become a program (32,768 lines hold some 4,000 output fields):
// the bytes of a design file, the output fields, the selection-screen
// entries and the conditions.
inline constexpr std::size_t kMaxDesignBytes = 4 * 1024 * 1024;
inline constexpr std::size_t kMaxDesignFields = 4096;
inline constexpr std::size_t kMaxDesignInputs = 1024;
inline constexpr std::size_t kMaxDesignConditions = 4096;
// ABAP takes source lines of at most 255 characters.
inline constexpr std::size_t kMaxLineLength = 255;

// The refusal of a list longer than the design may hold ("fields",
// "selection_screen", "conditions"), or nothing; the design file's reader
// asks before it reads the list's items.
Status checkListSize(std::string_view list, std::size_t count);

// Where a fault lies: the list and index of the item ("" for the report's
// attributes) and the key within it, and the place as the design file
// names it ("fields[2].table", "description").
struct DesignFault {
    std::string list;   // "fields", "selection_screen", "conditions" or ""
    std::size_t index = 0;
    std::string key;    // "table", "settings", ..., or the attribute's key
    std::string reason;
    std::string place() const;
};

// The design's first fault (see checkDesign), or nothing.
std::optional<DesignFault> findDesignFault(const ReportDefinition& design);

// The design's first fault, kind Refused, as "PLACE: REASON" with PLACE in the
// design file's own terms ("description", "conditions[2].operator",
// "selection_screen[0].settings"; indexes from 0):
// - more fields, inputs or conditions than the limits above;
// - text that is not UTF-8, a control character (U+0000 to U+001F, U+007F; a
//   tab too) or U+FFFE / U+FFFF (which XML cannot hold) in any text that
//   reaches the program: name, description, company, author, heading, table
//   and field names, descriptions and dictionary labels of fields and inputs,
//   settings texts;
// - a text that would make a line of the program longer than 255 characters
//   (the place a text has on its line depends on the code style);
// - a program name that is not a program name (an empty one passes);
// - a table name (trimmed) that is not a dictionary name; a condition's right
//   table exactly "SELSCR" marks a selection-screen input instead;
// - a field name (trimmed) that is not a dictionary name; the same for the
//   table and field of a currency or unit reference;
// - an operator (trimmed) other than "=", "<>", "<", ">";
// - a "SELSCR" condition whose right field is no input's field;
// - a negative sort position, one that two fields hold, a descending sort or
//   a subtotal on a field without a sort position;
// - a row limit below 0 or beyond kMaxRowLimit;
// - a join type on a condition whose right side is a selection-screen input;
// - a settings text whose kind (character 1) is not "P" or "S" or whose
//   required flag (character 3) is not "R" or "N".
// Lengths are counted in characters, a text in a literal with its
// apostrophes doubled.
// The package and the transport request never reach the program and are not
// looked at.
Status checkDesign(const ReportDefinition& design);

}  // namespace orvex
