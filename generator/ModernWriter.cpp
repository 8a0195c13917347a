// The modern program: the report of the classic writers in ABAP 7.40 SP08
// syntax. The selection screen is the classic one; a local class lcl_report
// reads the rows with one SELECT (comma-separated fields, escaped host
// variables) and shows them through CL_SALV_TABLE. Keywords upper case,
// names lower case, two blanks per level, no line past column 120: the
// program comes out the way abaplint's pretty printer leaves it. This file
// writes the program around the class implementation (ModernMethods.cpp).
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "common/Text.h"
#include "generator/Generator.h"
#include "generator/ModernParts.h"
#include "generator/ModernWriter.h"

namespace orvex {

namespace modern {

using text::lower;

namespace {
constexpr std::string_view kRule = "*&---------------------------------------------------------------------*";
}  // namespace

std::string quoted(std::string_view value) { return "'" + text::doubledApostrophes(value) + "'"; }

std::string blanks(std::size_t n) { return std::string(n, ' '); }

std::string fieldOf(std::string_view table, std::string_view field) {
    return lower(table) + "-" + lower(field);
}

void addWords(SourceText& out, std::size_t indent, std::size_t continuation, const std::vector<std::string>& words) {
    std::string line = blanks(indent);
    bool first = true;
    for (const std::string& word : words) {
        const std::size_t width = text::length(line) + (first ? 0 : 1) + text::length(word);
        if (!first && width > kMaxLine) {
            out.add(line);
            line = blanks(continuation);
            first = true;
        }
        if (!first) line += ' ';
        line += word;
        first = false;
    }
    out.add(line);
}

std::vector<std::string> commaList(std::vector<std::string> items) {
    for (std::size_t i = 0; i + 1 < items.size(); ++i) items[i] += ',';
    return items;
}

void addCall(SourceText& out, std::size_t indent, const std::string& head,
             const std::vector<std::pair<std::string, std::string>>& parameters) {
    std::size_t width = 0;
    for (const auto& p : parameters) width = std::max(width, p.first.size());
    const std::string lead = blanks(indent) + head + "( ";
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const auto& [name, value] = parameters[i];
        out.add({i == 0 ? std::string_view(lead) : std::string_view(blanks(text::length(lead))), name,
                 blanks(width - name.size()), " = ", value, i + 1 == parameters.size() ? " )." : ""});
    }
}

Spelling spell(const ReportPlan& plan) {
    Spelling s;
    s.name = lower(plan.name);
    for (const PlanColumn& c : plan.columns) s.columns.push_back(lower(c.source.field));
    for (const PlanInput& in : plan.inputs) {
        s.labels.push_back("sc_" + lower(in.name.label));
        s.inputs.push_back((in.kind == InputKind::SelectOption ? "s_" : "p_") + lower(in.name.input));
    }
    if (const auto& limit = plan.options.rowLimit) {
        s.maxRowsLabel = "sc_" + lower(limit->name.label);
        s.maxRowsInput = "p_" + lower(limit->name.input);
    }
    if (const auto& layout = plan.options.layout) {
        s.layoutLabel = "sc_" + lower(layout->label);
        s.layoutInput = "p_" + lower(layout->input);
    }
    const bool sorted = !plan.options.sortColumns.empty(), totals = plan.options.totals;
    s.salvErrors.push_back("cx_salv_msg");
    // A currency or unit column that is missing or holds no currency or unit.
    const bool references = std::any_of(plan.columns.begin(), plan.columns.end(),
                                        [](const PlanColumn& c) { return c.referenceColumn.has_value(); });
    if (plan.options.columnTexts || sorted || totals || references) s.salvErrors.push_back("cx_salv_not_found");
    // A column sorted or totalled twice, or a total of a column that holds no number.
    if (sorted || totals) s.salvErrors.insert(s.salvErrors.end(), {"cx_salv_existing", "cx_salv_data_error"});
    else if (references) s.salvErrors.push_back("cx_salv_data_error");
    return s;
}

}  // namespace modern

namespace {

using namespace modern;
using text::lower;

void addHeader(const ReportPlan& plan, SourceText& out) {
    out.add(kRule);
    out.add({"*& Report ", plan.name});
    if (!text::blank(plan.description)) out.add({"*& ", plan.description});
    const std::string& author = plan.author;
    if (!text::blank(author) || !text::blank(plan.company)) {
        out.add(kRule);
        if (!text::blank(author)) out.add({"*& Author:  ", author});
        if (!text::blank(plan.company)) out.add({"*& Company: ", plan.company});
    }
    out.add(kRule);
}

// The option inputs in a block of their own: the row limit (0 reads every
// row) and the ALV layout.
void addOptionsBlock(const PlanOptions& options, const Spelling& s, SourceText& out) {
    if (!options.rowLimit && !options.layout) return;
    const std::string comment = "SELECTION-SCREEN COMMENT 1(" + std::to_string(kOptionLabelWidth) + ") ";
    out.add("SELECTION-SCREEN BEGIN OF BLOCK b2 WITH FRAME.");
    if (options.rowLimit) {
        out.add("SELECTION-SCREEN BEGIN OF LINE.");
        out.add({comment, s.maxRowsLabel, "."});
        out.add({"PARAMETERS ", s.maxRowsInput, " TYPE i DEFAULT ", std::to_string(options.rowLimit->rows), "."});
        out.add("SELECTION-SCREEN END OF LINE.");
    }
    if (options.layout) {
        out.add("SELECTION-SCREEN BEGIN OF LINE.");
        out.add({comment, s.layoutLabel, "."});
        out.add({"PARAMETERS ", s.layoutInput, " TYPE disvariant-variant."});
        out.add("SELECTION-SCREEN END OF LINE.");
    }
    out.add("SELECTION-SCREEN END OF BLOCK b2.");
    out.add("");
}

// TABLES for the work areas the select-options refer to, and the screen.
void addSelectionScreen(const ReportPlan& plan, const Spelling& s, SourceText& out) {
    for (const std::string& table : plan.inputTables) out.add({"TABLES ", lower(table), "."});
    if (!plan.inputTables.empty()) out.add("");
    if (plan.inputs.empty()) {
        addOptionsBlock(plan.options, s, out);
        return;
    }

    out.add("SELECTION-SCREEN BEGIN OF BLOCK b1 WITH FRAME.");
    for (std::size_t i = 0; i < plan.inputs.size(); ++i) {
        const PlanInput& in = plan.inputs[i];
        out.add("SELECTION-SCREEN BEGIN OF LINE.");
        out.add({"SELECTION-SCREEN COMMENT 1(20) ", s.labels[i], "."});
        std::vector<std::string> words;
        if (in.kind == InputKind::SelectOption) {
            words = {"SELECT-OPTIONS", s.inputs[i], "FOR", fieldOf(in.table, in.field)};
        } else {
            words = {"PARAMETERS", s.inputs[i], "TYPE", fieldOf(in.table, in.field)};
        }
        if (in.required) words.emplace_back("OBLIGATORY");
        // An empty default is the input's initial value: no DEFAULT at all.
        if (!in.defaultValue.empty()) {
            words.emplace_back("DEFAULT");
            words.push_back(quoted(in.defaultValue));
        }
        words.back() += '.';
        addWords(out, 0, 2, words);
        out.add("SELECTION-SCREEN END OF LINE.");
    }
    out.add("SELECTION-SCREEN SKIP 1.");
    out.add("SELECTION-SCREEN END OF BLOCK b1.");
    out.add("");
    addOptionsBlock(plan.options, s, out);
}

void addDefinition(const ReportPlan& plan, const Spelling& s, SourceText& out) {
    out.add("CLASS lcl_report DEFINITION FINAL.");
    out.add("  PUBLIC SECTION.");
    out.add("    METHODS run.");
    if (!s.layoutInput.empty()) {
        // The layout parameter's start value and value help: the user's
        // default layout of the report, and the layouts saved for it.
        out.add("    CLASS-METHODS default_layout");
        out.add("      RETURNING");
        out.add("        VALUE(rv_layout) TYPE disvariant-variant.");
        out.add("    CLASS-METHODS layout_value_help");
        out.add("      CHANGING");
        out.add("        cv_layout TYPE disvariant-variant.");
    }
    if (plan.options.dictionaryLabels) {
        // An input's label in the logon language, the typed one where the
        // dictionary has none.
        out.add("    CLASS-METHODS dictionary_label");
        out.add("      IMPORTING");
        out.add("        iv_table        TYPE ddobjname");
        out.add("        iv_field        TYPE dfies-lfieldname");
        out.add("        iv_typed        TYPE csequence");
        out.add("      RETURNING");
        out.add("        VALUE(rv_label) TYPE string.");
    }
    out.add("");
    out.add("  PRIVATE SECTION.");
    out.add("    TYPES:");
    out.add("      BEGIN OF ty_output,");
    std::size_t width = 0;
    for (const std::string& c : s.columns) width = std::max(width, c.size());
    for (std::size_t i = 0; i < s.columns.size(); ++i) {
        const PlanField& f = plan.columns[i].source;
        out.add({"        ", s.columns[i], blanks(width - s.columns[i].size()), " TYPE ",
                 fieldOf(plan.tables[f.table].name, f.field), ","});
    }
    out.add("      END OF ty_output,");
    out.add("      ty_output_tab TYPE STANDARD TABLE OF ty_output WITH EMPTY KEY.");
    out.add("");
    out.add("    DATA mt_output TYPE ty_output_tab.");
    out.add("    DATA mo_alv TYPE REF TO cl_salv_table.");
    out.add("");
    out.add("    METHODS select_data.");
    if (!plan.options.authorityTables.empty()) {
        out.add("    METHODS check_authority");
        out.add("      IMPORTING");
        out.add("        iv_table TYPE dd25v-viewname.");
    }
    out.add("    METHODS display");
    out.add("      RAISING");
    for (std::size_t i = 0; i < s.salvErrors.size(); ++i)
        out.add({"        ", s.salvErrors[i], i + 1 == s.salvErrors.size() ? "." : ""});
    if (plan.options.columnTexts) {
        // The description as the user gave it; the conversions cut it to
        // SAP's short, medium and long column texts (10, 20, 40 characters).
        out.add("    METHODS set_column_text");
        out.add("      IMPORTING");
        out.add("        io_columns TYPE REF TO cl_salv_columns_table");
        out.add("        iv_column  TYPE lvc_fname");
        out.add("        iv_text    TYPE csequence");
        out.add("      RAISING");
        out.add("        cx_salv_not_found.");
    }
    if (plan.printHeading) {
        // The grid shows its heading above the rows; the list prints it at
        // the top of every page, as the classic list does.
        out.add("    METHODS heading");
        out.add("      RETURNING");
        out.add("        VALUE(ro_heading) TYPE REF TO cl_salv_form_layout_grid.");
        if (!plan.grid) {
            out.add("    METHODS on_top_of_page");
            out.add("      FOR EVENT top_of_page OF cl_salv_events_table");
            out.add("      IMPORTING");
            out.add("        r_top_of_page.");
        }
    }
    out.add("ENDCLASS.");
}

void addEvents(const ReportPlan& plan, const Spelling& s, SourceText& out) {
    bool any = false;
    for (std::size_t i = 0; i < plan.inputs.size(); ++i) {
        const PlanInput& in = plan.inputs[i];
        if (text::blank(in.description)) continue;
        if (!any) out.add("INITIALIZATION.");
        any = true;
        const std::string typed = quoted(text::trimEnd(in.description)) + symbolSuffix(in.textSymbol);
        if (in.dictionaryText)
            addCall(out, 2, s.labels[i] + " = lcl_report=>dictionary_label",
                    {{"iv_table", quoted(text::upper(in.table))},
                     {"iv_field", quoted(text::upper(in.field))},
                     {"iv_typed", typed}});
        else
            addWords(out, 2, 4, {s.labels[i], "=", typed + "."});
    }
    if (!s.maxRowsLabel.empty() || !s.layoutLabel.empty()) {
        if (!any) out.add("INITIALIZATION.");
        any = true;
        const PlanSymbols& symbols = plan.options.symbols;
        if (!s.maxRowsLabel.empty())
            out.add({"  ", s.maxRowsLabel, " = ", quoted(kMaxRowsText), symbolSuffix(symbols.maxRowsText), "."});
        if (!s.layoutLabel.empty()) {
            out.add({"  ", s.layoutLabel, " = ", quoted(kLayoutText), symbolSuffix(symbols.layoutText), "."});
            out.add({"  ", s.layoutInput, " = lcl_report=>default_layout( )."});
        }
    }
    if (any) out.add("");
    if (!s.maxRowsInput.empty()) {
        out.add({"AT SELECTION-SCREEN ON ", s.maxRowsInput, "."});
        out.add({"  IF ", s.maxRowsInput, " < 0."});
        out.add({"    MESSAGE ", quoted(kMaxRowsRefused), symbolSuffix(plan.options.symbols.maxRowsRefused), " TYPE 'E'."});
        out.add("  ENDIF.");
        out.add("");
    }
    if (!s.layoutInput.empty()) {
        out.add({"AT SELECTION-SCREEN ON VALUE-REQUEST FOR ", s.layoutInput, "."});
        out.add({"  lcl_report=>layout_value_help( CHANGING cv_layout = ", s.layoutInput, " )."});
        out.add("");
    }
    out.add("START-OF-SELECTION.");
    out.add("  NEW lcl_report( )->run( ).");
}

}  // namespace

void GenModern(const ReportPlan& plan, SourceText& out) {
    out.clear();
    const std::size_t estimate = 124 + 4 * plan.columns.size() + 6 * plan.inputs.size() + plan.joins.size() +
                                 (plan.options.authorityTables.empty() ? 0 : 21 + plan.options.authorityTables.size());
    out.reserve(estimate, estimate * 48);
    const Spelling s = spell(plan);

    addHeader(plan, out);
    out.add({"REPORT ", s.name, "."});
    out.add("");
    addSelectionScreen(plan, s, out);
    addDefinition(plan, s, out);
    out.add("");
    addImplementation(plan, s, out);
    out.add("");
    addEvents(plan, s, out);
}

}  // namespace orvex
