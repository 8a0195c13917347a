#pragma once
// Turns a report definition into the generation lists and the ABAP source.
//
// GenerateProgram runs the steps below in order; each step is a function of
// its own that reads the definition and the lists of the earlier steps and
// fills its own list in Generated, so a test can run and inspect any prefix of
// the pipeline. A step that refuses the definition returns its failure (kind
// Refused, one line for the user) and the driver stops there: nothing is
// produced.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "generator/DesignCheck.h"
#include "common/Failure.h"
#include "generator/ReportDefinition.h"
#include "generator/SourceText.h"

namespace orvex {

// One record of the table alias list: a distinct table and its alias.
struct TableAlias {
    std::string table;   // trimmed
    std::string alias;   // "A", "B", ... (character 65 + index)
    bool operator==(const TableAlias&) const = default;
};

// One record of the output-field list (the last record terminates the list:
// its field name is empty and nobody reads it).
struct OutputField {
    std::string alias;
    std::string field;        // trimmed
    std::string table;        // the resolved table's name
    std::string description;  // trimmed
    std::size_t tableIndex = 0;  // index of the resolved table in the alias list
    // The column's ALV options, from the picked field that made the record.
    int sortPosition = 0;        // 0: not sorted
    bool sortDescending = false;
    bool subtotal = false;
    bool total = false;
    bool operator==(const OutputField&) const = default;
};

// One condition row whose right side is a table.
struct JoinRecord {
    std::string leftAlias;
    std::string leftClause;   // "SFLIGHT As A"
    std::string leftField;
    std::string op;
    std::string rightClause;
    std::string rightAlias;
    std::string rightField;
    std::size_t leftIndex = 0;   // alias-list index of the left table
    std::size_t rightIndex = 0;  // alias-list index of the right table
    std::size_t row = 0;         // index of the condition row
    JoinType join = JoinType::Inner;
    bool operator==(const JoinRecord&) const = default;
};

// One condition row whose right side is a selection-screen input.
struct WhereRecord {
    std::string leftAlias;
    std::string leftField;
    std::string op;           // the row's operator (parameter), or " IN " (select-option)
    std::string prefix;       // "P_" or "S_"
    std::string screenField;  // the row's right field, trimmed
    std::string screenName;   // what the statement writes: "P_" or "S_" + the entry's name rest
    std::size_t leftIndex = 0;
    std::size_t entry = 0;    // index of the selection-screen entry it resolves to
    std::size_t row = 0;
    bool operator==(const WhereRecord&) const = default;
};

// One piece of the FROM clause, in the order the statement writes them:
// without join conditions the first table alone; otherwise the first join
// condition joins its two tables, and each later one joins the table not yet
// in the clause or, when both are there, extends the last ON condition.
struct FromStep {
    enum Kind { FirstTable, FirstJoin, JoinTable, ExtendOn };
    Kind kind = FirstTable;
    std::size_t table = 0;  // FirstTable, JoinTable: alias-list index of the table it brings in
    std::size_t join = 0;   // all but FirstTable: index of the join record
    bool operator==(const FromStep&) const = default;
};

// The whole program as written to a file: every line followed by LF.
std::string programText(const std::vector<std::string>& source);

// What GenerateProgram hands back of the program: the line list and the text
// (for the screens and the installation), or the text alone (for writing a
// file), which spares one allocation per line.
enum class SourceForm { LinesAndText, TextOnly };

// The ABAP names of one selection-screen entry: at most 8 characters and
// unique (case-insensitively) across all entries.
struct ScreenNames {
    bool selectOption = false;  // character 1 of the settings text is "S"
    std::string label;          // "VS_" + field, shortened / numbered when needed
    std::string input;          // "P_" + field (parameter) or "s_" + field (select-option), likewise
    bool operator==(const ScreenNames&) const = default;
};

// The names of the inputs the report's options add to the selection screen
// (empty when the option is off). They are given before the entries' names,
// so that an entry named alike gets a running number instead.
struct OptionNames {
    std::string maxRowsLabel;  // "VS_MAX"
    std::string maxRowsInput;  // "P_MAX"
    std::string layoutLabel;   // "VS_VARI"
    std::string layoutInput;   // "P_VARI"
    bool operator==(const OptionNames&) const = default;
};

// Everything one generation run builds; each step's list stays visible.
struct Generated {
    std::vector<TableAlias> aliases;
    std::vector<OutputField> outputFields;   // ends with the terminating record
    std::vector<ScreenNames> screenNames;    // parallel to the selection-screen entries
    OptionNames optionNames;
    std::vector<std::size_t> sortColumns;    // output-field indexes in sort order
    std::vector<JoinRecord> joins;           // one per join row, empty when there is none
    std::vector<WhereRecord> wheres;         // one per where row, empty when there is none
    std::vector<FromStep> from;              // the FROM clause, piece by piece
    std::vector<std::string> selectLines;
    std::vector<std::string> source;         // the program, one line per entry, without terminators
    SourceText text;                         // the same program as one text, every line followed by LF
};

using GenerationResult = Result<Generated>;

inline constexpr std::size_t kMaxSourceLines = 32768;
inline constexpr std::size_t kMaxTables = 26;
inline constexpr std::size_t kMaxScreenNameLength = 8;

// The texts of the option inputs on the selection screen, in both code styles.
inline constexpr std::size_t kOptionLabelWidth = 24;
inline constexpr const char* kMaxRowsText = "Maximum number of hits";
inline constexpr const char* kLayoutText = "Layout";
inline constexpr const char* kMaxRowsRefused = "Enter 0 (every row) or a positive number of hits";

// Builds the lists and the program; the header names report.author (empty
// when absent: callers resolve it from the settings beforehand).
GenerationResult GenerateProgram(const ReportDefinition& report, SourceForm form = SourceForm::LinesAndText);

// --- the steps, in the order GenerateProgram runs them, on the design with
// its names trimmed (withTrimmedNames) ---

// Step 0: checkDesign (DesignCheck.h) refuses what the program must not hold.

// Step 1: one record per distinct table of the picked fields, in order
// of first use. Refuses more than 26 tables.
Status buildAliasList(const ReportDefinition& report, Generated& g);

// The table lookup: the first record among all but the last whose table name
// equals the name; otherwise the last record.
std::size_t lookupTable(const std::vector<TableAlias>& aliases, std::string_view trimmedTable);

// Step 2: one record per distinct field name (whatever its letter case) plus
// the terminating record.
// Refuses a report without output fields.
Status buildOutputFieldList(const ReportDefinition& report, Generated& g);

// The part of a field name its input's names are made of: the name without
// its namespace prefix ("/BIC/ZAMOUNT" gives "ZAMOUNT"), since a "/" cannot
// stand inside a selection-screen name.
std::string screenNameStem(std::string_view field);

// Step 3: the ABAP names of the option inputs and of the selection-screen
// entries ("VS_", "P_" or "s_" and the field's stem, at most 8 characters,
// numbered where two would be alike), and the sort order of the output fields.
void assignScreenNames(const ReportDefinition& report, Generated& g);

// Step 4: the join list and the where list, in row order. Refuses a where row
// whose screen field is no selection-screen entry (checkDesign does so first).
Status buildConditionLists(const ReportDefinition& report, Generated& g);

// Step 5: the SELECT statement, one piece per future source line. Refuses a
// statement that would read a table missing from its FROM clause, and a left
// outer join that Open SQL of release 7.02 does not allow: an ON condition
// comparing with other than "=", one that does not link the outer table with
// the tables before it or names the outer table of an earlier outer join, and
// a filter condition on a field of an outer table.
Status buildSelectLines(const ReportDefinition& report, Generated& g);

// The order of the SELECT of a report with a row limit and sorted columns,
// so that the limit keeps the first rows of the report's own order:
// output-field indexes, the sorted ones first in sort order (each in its
// direction), then the others in output order, ascending. Empty when the
// report has no row limit or no sorted column: the SELECT then orders as it
// always has.
std::vector<std::size_t> limitedOrder(const Generated& g);

// Step 6 writes g.text with the source writers (generator/SourceWriters.h or,
// for CodeStyle::Modern, generator/ModernWriter.h); GenerateProgram then
// copies it into g.source line by line.

}  // namespace orvex
