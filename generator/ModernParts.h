#pragma once
// The pieces the modern writer is made of: its layout helpers, the names as
// the modern program spells them, and the class implementation
// (ModernMethods.cpp) beside the rest of the program (ModernWriter.cpp).
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "generator/ReportPlan.h"
#include "generator/SourceText.h"

namespace orvex::modern {

// No line of the program goes past this column.
inline constexpr std::size_t kMaxLine = 120;

// The text as an ABAP literal: between apostrophes, its own doubled.
std::string quoted(std::string_view value);
std::string blanks(std::size_t n);
// "table-field" in lower case, as a TYPE or FOR refers to a dictionary field.
std::string fieldOf(std::string_view table, std::string_view field);

// Writes one statement as `words` separated by blanks, from column `indent`;
// a word that would end past column 120 starts a new line at `continuation`.
// A word longer than a line (a long literal) stands on a line of its own.
void addWords(SourceText& out, std::size_t indent, std::size_t continuation, const std::vector<std::string>& words);

// The items with a comma after every one but the last.
std::vector<std::string> commaList(std::vector<std::string> items);

// A call with named parameters, one a line, their "=" in one column:
//   head( name1 = value1
//         name2 = value2 ).
void addCall(SourceText& out, std::size_t indent, const std::string& head,
             const std::vector<std::pair<std::string, std::string>>& parameters);

// The plan's names as the modern program writes them: lower case, the
// labels "sc_..." (the screen-element prefix, as long as the classic "VS_"),
// the inputs "p_..." and "s_...", and what display( ) may raise.
struct Spelling {
    std::string name;                    // the program
    std::vector<std::string> columns;    // parallel to the plan's columns
    std::vector<std::string> labels;     // parallel to the plan's inputs
    std::vector<std::string> inputs;     // likewise
    std::string maxRowsLabel, maxRowsInput, layoutLabel, layoutInput;  // "" when the option is off
    std::vector<std::string> salvErrors;
};
Spelling spell(const ReportPlan& plan);

// The class implementation: run, select_data, display and the methods only
// some designs need.
void addImplementation(const ReportPlan& plan, const Spelling& s, SourceText& out);

}  // namespace orvex::modern
