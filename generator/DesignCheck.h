#pragma once
// What a design may hold before any line of its program is written. Designs
// travel as files, so every way in (opening a design, generating, installing,
// exporting) passes this one check: a text of the design can fill a comment or
// a literal of the program, never add a line or a statement to it.
#include <string_view>

#include "common/Failure.h"
#include "generator/ReportDefinition.h"

namespace orvex {

// True for a name ABAP accepts as a field or program name: not empty, only
// letters, digits, "_" and "/" (the namespace delimiter).
bool isAbapName(std::string_view name);

// True for a dictionary table name: letters, digits and "_", after an optional
// namespace prefix "/NAMESPACE/"; at most 30 characters.
bool isDictionaryName(std::string_view name);

// The design's first fault, kind Refused, as "PLACE: REASON" with PLACE in the
// design file's own terms ("description", "conditions[2].operator",
// "selection_screen[0].settings"; indexes from 0):
// - a control character (U+0000 to U+001F, U+007F; a tab too) in any text that
//   reaches the program: name, description, company, author, heading, table
//   and field names, descriptions of fields and inputs, settings texts;
// - a program name that is not an ABAP name (an empty one passes);
// - a table name (trimmed) that is not a dictionary name; a condition's right
//   table exactly "SELSCR" marks a selection-screen input instead;
// - a field name (trimmed) that is not an ABAP name;
// - an operator (trimmed) other than "=", "<>", "<", ">";
// - a "SELSCR" condition whose right field is no input's field;
// - a negative sort position, one that two fields hold, a descending sort or
//   a subtotal on a field without a sort position;
// - a row limit below 0 or beyond kMaxRowLimit;
// - a join type on a condition whose right side is a selection-screen input;
// - a settings text whose kind (character 1) is not "P" or "S" or whose
//   required flag (character 3) is not "R" or "N".
// The package and the transport request never reach the program and are not
// looked at.
Status checkDesign(const ReportDefinition& design);

}  // namespace orvex
