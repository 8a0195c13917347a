#pragma once
// The report decided once: the tables it reads, their aliases and the order
// in which the FROM clause takes them, the joins and the filters, the columns,
// the inputs of the selection screen and the options, or the refusal of the
// design. The writers of both code styles render a plan and nothing else; the
// design findings, the field-type reading and the condition dialog ask the
// same questions of the functions below.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Failure.h"
#include "generator/FlatIndex.h"
#include "generator/ReportDefinition.h"

namespace orvex {

inline constexpr std::size_t kMaxTables = 26;
inline constexpr std::size_t kMaxScreenNameLength = 8;

// A table the report reads and its alias: "A" for the table of the first
// picked field, "B" for the next table picked, and so on.
struct PlanTable {
    std::string name;   // trimmed
    std::string alias;
    bool operator==(const PlanTable&) const = default;
};

// A field of a table the report reads.
struct PlanField {
    std::size_t table = 0;  // index in ReportPlan::tables
    std::string field;
    bool operator==(const PlanField&) const = default;
};

// One column of the list: one per distinct field name, whatever its letter
// case, from the table of its first pick.
struct PlanColumn {
    PlanField source;
    std::string description;  // trimmed
    int sortPosition = 0;     // 0: not sorted
    bool sortDescending = false;
    bool subtotal = false;
    bool total = false;
    // The heading comes from the dictionary in the logon language (the
    // description is the dictionary's own label); no text is forced on it.
    bool dictionaryText = false;
    // The key of the text symbol that holds a typed heading ("" when the
    // program writes it as a plain literal).
    std::string textSymbol{};
    // The column holding this amount's currency or this quantity's unit:
    // set only when the list shows references and the field the dictionary
    // names (its table and name) is one of the list's columns.
    std::optional<std::size_t> referenceColumn{};
    ValueReference::Kind referenceKind = ValueReference::Currency;
    bool operator==(const PlanColumn&) const = default;
};

// The names of an input and of its label, without the prefix each writer
// spells before them (the classic program's "P_", "s_" and "VS_", the modern
// one's "p_", "s_" and "sc_"): short enough for eight characters with their
// prefix, and unique, whatever their letter case, among the names of their
// kind (labels, parameters, select-options).
struct ScreenName {
    std::string input;  // "CARRID"
    std::string label;  // "CARRI"
    bool operator==(const ScreenName&) const = default;
};

enum class InputKind { Parameter, SelectOption };

// One input of the selection screen, from its entry.
struct PlanInput {
    InputKind kind = InputKind::Parameter;
    bool required = false;
    std::string defaultValue;  // as typed, possibly empty
    std::string table;         // trimmed: the input is typed like table-field
    std::string field;         // trimmed
    std::string description;   // as stored: the label's text
    ScreenName name;
    // The label is read from the dictionary in the logon language when the
    // program starts, the description staying where that fails; the key of
    // the text symbol holding the description ("" for a plain literal).
    bool dictionaryText = false;
    std::string textSymbol{};
    bool operator==(const PlanInput&) const = default;
};

// The input as messages name it and the WHERE clause compares with it:
// "P_FLDATE" or "S_CARRID".
std::string inputName(const PlanInput& input);

// A condition whose right side is a table field: it joins two tables.
struct PlanJoin {
    PlanField left;
    std::string op;  // "=", "<>", "<", ">"
    PlanField right;
    JoinType type = JoinType::Inner;
    std::size_t row = 0;  // index of the condition in the design
    bool operator==(const PlanJoin&) const = default;
};

// A condition whose right side is an input of the selection screen: it
// filters the rows read. (The design file marks such a condition with a
// right table of "SELSCR".)
struct PlanFilter {
    PlanField left;
    std::string op;  // the condition's operator; "IN" against a select-option
    std::size_t input = 0;  // index in ReportPlan::inputs
    std::size_t row = 0;
    bool operator==(const PlanFilter&) const = default;
};

// One piece of the FROM clause, in the order the statement writes them:
// without joins the first table alone; otherwise the first join joins its two
// tables, and each later one joins the table not yet in the clause or, when
// both are there, extends the last ON condition.
struct FromStep {
    enum Kind { FirstTable, FirstJoin, JoinTable, ExtendOn };
    Kind kind = FirstTable;
    std::size_t table = 0;  // FirstTable, FirstJoin, JoinTable: the table it brings in
    std::size_t join = 0;   // all but FirstTable: index in ReportPlan::joins
    bool operator==(const FromStep&) const = default;
};

// The row limit's input: at most this many rows are read (0: every row).
struct RowLimit {
    long long rows = 0;  // the input's default
    ScreenName name;     // "MAX"
    bool operator==(const RowLimit&) const = default;
};

// The keys of the text symbols of the texts the program adds itself ("" where
// it writes a plain literal).
struct PlanSymbols {
    std::string maxRowsText, layoutText, maxRowsRefused, authorityRefused, heading, date;
    bool operator==(const PlanSymbols&) const = default;
};

// A text symbol of the program: key, text and the room its places give it.
struct PlanSymbol {
    std::string key;
    std::string text;
    std::size_t room = 0;
    bool operator==(const PlanSymbol&) const = default;
};

// The longest text a text symbol holds.
inline constexpr std::size_t kMaxSymbolLength = 132;

// A literal's text symbol as written after it: "(001)", or nothing.
inline std::string symbolSuffix(const std::string& key) { return key.empty() ? std::string() : "(" + key + ")"; }

struct PlanOptions {
    std::vector<std::size_t> sortColumns;  // column indexes in sort order
    // The order of a SELECT with a row limit and sorted columns, so that the
    // limit keeps the first rows of the report's own order: the sorted
    // columns in sort order (each in its direction), then the others in
    // column order, ascending. Empty without a row limit or a sorted column.
    std::vector<std::size_t> selectOrder;
    bool totals = false;       // some column is totalled
    bool columnTexts = false;  // some column has a description
    std::optional<RowLimit> rowLimit;
    std::optional<ScreenName> layout;  // the ALV layout's input ("VARI"), when the user picks layouts
    // The tables whose display authorisation the program checks before it
    // reads: every table of the query, in upper case as the dictionary names
    // it, each once; none when the design does not check.
    std::vector<std::string> authorityTables;
    // Where the texts come from: with the dictionary, the inputs and columns
    // marked so read their labels from it and every other text is a symbol.
    TextSource texts = TextSource::Literal;
    PlanSymbols symbols{};
    // Whether some input reads its label from the dictionary.
    bool dictionaryLabels = false;
    bool operator==(const PlanOptions&) const = default;
};

struct ReportPlan {
    CodeStyle style = CodeStyle::Classic;
    std::string name;
    std::string description;
    std::string company;
    std::string author;  // "" when the design names none
    bool grid = true;
    bool printHeading = false;
    std::string heading;

    std::vector<PlanTable> tables;
    std::vector<FromStep> from;
    std::vector<PlanJoin> joins;
    std::vector<PlanFilter> filters;
    std::vector<PlanColumn> columns;
    std::vector<PlanInput> inputs;
    // The tables the select-options refer to, each once whatever its letter
    // case, as first written: the program declares a work area for each.
    std::vector<std::string> inputTables;
    PlanOptions options;
    // The text symbols the program uses, in order of first use; empty when
    // its texts are literals.
    std::vector<PlanSymbol> textSymbols;

    // The column's table's alias.
    const std::string& aliasOf(const PlanField& f) const { return tables[f.table].alias; }
    bool operator==(const ReportPlan&) const = default;
};

// The plan of the design, or its first refusal (kind Refused, one line for
// the user): what checkDesign refuses; more than 26 tables; no output field;
// a filter on a field that is no input; a join of a table with itself or of
// tables not yet in the FROM clause; a left outer join that Open SQL of
// release 7.02 does not allow (an ON condition comparing with other than "=",
// one that does not link the outer table with the tables before it or names
// the outer table of an earlier outer join, a filter on a field of an outer
// table); an output field or filter on a table missing from the FROM clause.
Result<ReportPlan> planReport(const ReportDefinition& design);

// The tables the report reads: those of the picked fields (trimmed), each
// once, in the order their first field was picked. A condition naming
// another table stands for the last of them.
std::vector<std::string> reportTables(const ReportDefinition& design);

// The inputs of the selection screen with their names, the names of the
// options' inputs given first so that an entry named alike is numbered.
std::vector<PlanInput> planInputs(const ReportDefinition& design);

// The part of a field name its input's names are made of: the name without
// its namespace prefix ("/BIC/ZAMOUNT" gives "ZAMOUNT"), since a "/" cannot
// stand inside a selection-screen name.
std::string screenNameStem(std::string_view field);

// Which input a condition compares with: the first input whose field name
// equals the condition's right field, both trimmed. The entries must outlive
// the lookup.
class InputLookup {
public:
    explicit InputLookup(const std::vector<SelectionEntry>& selection);
    // The input of this field name, or none.
    std::optional<std::size_t> field(std::string_view name) const;
    // The input of a condition on the selection screen; none for a join
    // condition or a field that is no input.
    std::optional<std::size_t> of(const Condition& c) const;

private:
    FlatIndex first_;
};

}  // namespace orvex
