// The modern program: the report of the classic writers in ABAP 7.40 SP08
// syntax. The selection screen is the classic one; a local class lcl_report
// reads the rows with one SELECT (comma-separated fields, escaped host
// variables) and shows them through CL_SALV_TABLE. Keywords upper case,
// names lower case, two blanks per level, no line past column 120: the
// program comes out the way abaplint's pretty printer leaves it.
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "generator/ModernWriter.h"
#include "common/Text.h"

namespace orvex {

namespace {

using text::lower;
using text::trim;

constexpr std::size_t kMaxLine = 120;
constexpr std::string_view kRule = "*&---------------------------------------------------------------------*";

std::string quoted(std::string_view value) { return "'" + text::doubledApostrophes(value) + "'"; }

std::string blanks(std::size_t n) { return std::string(n, ' '); }

// "table-field" in lower case, as a TYPE or FOR refers to a dictionary field.
std::string fieldOf(std::string_view table, std::string_view field) {
    return lower(table) + "-" + lower(field);
}

// Writes one statement as `words` separated by blanks, from column `indent`;
// a word that would end past column 120 starts a new line at `continuation`.
// A word longer than a line (a long literal) stands on a line of its own.
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

// The items with a comma after every one but the last.
std::vector<std::string> commaList(std::vector<std::string> items) {
    for (std::size_t i = 0; i + 1 < items.size(); ++i) items[i] += ',';
    return items;
}

// A call with named parameters, one a line, their "=" in one column:
//   head( name1 = value1
//         name2 = value2 ).
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

// What the program needs beyond the fixed parts, worked out once.
struct Shape {
    std::string name;                   // the program name, lower case
    std::vector<std::string> columns;   // output field names, lower case
    std::vector<std::string> labels;    // selection-screen comments ("sc_..."), parallel to the entries
    std::vector<std::string> inputs;    // "p_..." / "s_...", parallel to the entries
    bool columnTexts = false;           // some output field has a description
    bool heading = false;               // the heading is printed
    std::vector<std::string> salvErrors;  // what display( ) may raise
    // The option inputs ("" when off): their comments and parameters.
    std::string maxRowsLabel, maxRowsInput, layoutLabel, layoutInput;
    bool sorted = false;                // some column is sorted
    bool totals = false;                // some column is totalled
};

Shape shapeOf(const ReportDefinition& report, const Generated& g) {
    Shape s;
    s.name = lower(report.name);
    for (std::size_t i = 0; i + 1 < g.outputFields.size(); ++i) {
        s.columns.push_back(lower(g.outputFields[i].field));
        if (!text::blank(g.outputFields[i].description)) s.columnTexts = true;
    }
    for (const ScreenNames& names : g.screenNames) {
        // The classic program names its comments VS_...; the screen-element
        // prefix SC_ of the same length keeps them unique.
        s.labels.push_back("sc_" + lower(names.label.substr(3)));
        s.inputs.push_back(lower(names.input));
    }
    s.heading = report.printHeading;
    const OptionNames& o = g.optionNames;
    if (!o.maxRowsInput.empty()) {
        s.maxRowsLabel = "sc_" + lower(o.maxRowsLabel.substr(3));
        s.maxRowsInput = lower(o.maxRowsInput);
    }
    if (!o.layoutInput.empty()) {
        s.layoutLabel = "sc_" + lower(o.layoutLabel.substr(3));
        s.layoutInput = lower(o.layoutInput);
    }
    s.sorted = !g.sortColumns.empty();
    for (std::size_t i = 0; i + 1 < g.outputFields.size(); ++i) s.totals = s.totals || g.outputFields[i].total;
    s.salvErrors.push_back("cx_salv_msg");
    if (s.columnTexts || s.sorted || s.totals) s.salvErrors.push_back("cx_salv_not_found");
    // A column sorted or totalled twice, or a total of a column that holds no number.
    if (s.sorted || s.totals) s.salvErrors.insert(s.salvErrors.end(), {"cx_salv_existing", "cx_salv_data_error"});
    return s;
}

void addHeader(const ReportDefinition& report, SourceText& out) {
    out.add(kRule);
    out.add({"*& Report ", report.name});
    if (!text::blank(report.description)) out.add({"*& ", report.description});
    const std::string author = report.author.value_or(std::string());
    if (!text::blank(author) || !text::blank(report.company)) {
        out.add(kRule);
        if (!text::blank(author)) out.add({"*& Author:  ", author});
        if (!text::blank(report.company)) out.add({"*& Company: ", report.company});
    }
    out.add(kRule);
}

// The option inputs in a block of their own: the row limit (0 reads every
// row) and the ALV layout.
void addOptionsBlock(const ReportDefinition& report, const Shape& s, SourceText& out) {
    if (!report.maxRows && !report.layoutVariant) return;
    const std::string comment = "SELECTION-SCREEN COMMENT 1(" + std::to_string(kOptionLabelWidth) + ") ";
    out.add("SELECTION-SCREEN BEGIN OF BLOCK b2 WITH FRAME.");
    if (report.maxRows) {
        out.add("SELECTION-SCREEN BEGIN OF LINE.");
        out.add({comment, s.maxRowsLabel, "."});
        out.add({"PARAMETERS ", s.maxRowsInput, " TYPE i DEFAULT ", std::to_string(*report.maxRows), "."});
        out.add("SELECTION-SCREEN END OF LINE.");
    }
    if (report.layoutVariant) {
        out.add("SELECTION-SCREEN BEGIN OF LINE.");
        out.add({comment, s.layoutLabel, "."});
        out.add({"PARAMETERS ", s.layoutInput, " TYPE disvariant-variant."});
        out.add("SELECTION-SCREEN END OF LINE.");
    }
    out.add("SELECTION-SCREEN END OF BLOCK b2.");
    out.add("");
}

// TABLES for the work areas the select-options refer to, and the screen.
void addSelectionScreen(const ReportDefinition& report, const Shape& s, SourceText& out) {
    std::set<std::string> declared;
    for (const SelectionEntry& e : report.selection) {
        if (!isSelectOption(e.settings)) continue;
        const std::string table = lower(e.table);
        if (declared.insert(table).second) out.add({"TABLES ", table, "."});
    }
    if (!declared.empty()) out.add("");
    if (report.selection.empty()) {
        addOptionsBlock(report, s, out);
        return;
    }

    out.add("SELECTION-SCREEN BEGIN OF BLOCK b1 WITH FRAME.");
    for (std::size_t i = 0; i < report.selection.size(); ++i) {
        const SelectionEntry& e = report.selection[i];
        out.add("SELECTION-SCREEN BEGIN OF LINE.");
        out.add({"SELECTION-SCREEN COMMENT 1(20) ", s.labels[i], "."});
        std::vector<std::string> words;
        if (isSelectOption(e.settings)) {
            words = {"SELECT-OPTIONS", s.inputs[i], "FOR", fieldOf(e.table, e.field)};
        } else {
            words = {"PARAMETERS", s.inputs[i], "TYPE", fieldOf(e.table, e.field)};
        }
        if (isRequired(e.settings)) words.emplace_back("OBLIGATORY");
        // An empty default is the input's initial value: no DEFAULT at all.
        if (const std::string_view value = defaultValue(e.settings); !value.empty()) {
            words.emplace_back("DEFAULT");
            words.push_back(quoted(value));
        }
        words.back() += '.';
        addWords(out, 0, 2, words);
        out.add("SELECTION-SCREEN END OF LINE.");
    }
    out.add("SELECTION-SCREEN SKIP 1.");
    out.add("SELECTION-SCREEN END OF BLOCK b1.");
    out.add("");
    addOptionsBlock(report, s, out);
}

void addDefinition(const ReportDefinition& report, const Generated& g, const Shape& s, SourceText& out) {
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
    out.add("");
    out.add("  PRIVATE SECTION.");
    out.add("    TYPES:");
    out.add("      BEGIN OF ty_output,");
    std::size_t width = 0;
    for (const std::string& c : s.columns) width = std::max(width, c.size());
    for (std::size_t i = 0; i < s.columns.size(); ++i) {
        const OutputField& f = g.outputFields[i];
        out.add({"        ", s.columns[i], blanks(width - s.columns[i].size()), " TYPE ", fieldOf(f.table, f.field), ","});
    }
    out.add("      END OF ty_output,");
    out.add("      ty_output_tab TYPE STANDARD TABLE OF ty_output WITH EMPTY KEY.");
    out.add("");
    out.add("    DATA mt_output TYPE ty_output_tab.");
    out.add("    DATA mo_alv TYPE REF TO cl_salv_table.");
    out.add("");
    out.add("    METHODS select_data.");
    out.add("    METHODS display");
    out.add("      RAISING");
    for (std::size_t i = 0; i < s.salvErrors.size(); ++i)
        out.add({"        ", s.salvErrors[i], i + 1 == s.salvErrors.size() ? "." : ""});
    if (s.columnTexts) {
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
    if (s.heading) {
        // The grid shows its heading above the rows; the list prints it at
        // the top of every page, as the classic list does.
        out.add("    METHODS heading");
        out.add("      RETURNING");
        out.add("        VALUE(ro_heading) TYPE REF TO cl_salv_form_layout_grid.");
        if (!report.grid) {
            out.add("    METHODS on_top_of_page");
            out.add("      FOR EVENT top_of_page OF cl_salv_events_table");
            out.add("      IMPORTING");
            out.add("        r_top_of_page.");
        }
    }
    out.add("ENDCLASS.");
}

void addSelect(const Generated& g, const Shape& s, SourceText& out) {
    auto column = [&](std::size_t i) { return lower(g.outputFields[i].alias) + "~" + s.columns[i]; };
    auto tableClause = [&](std::size_t t) { return lower(g.aliases[t].table) + " AS " + lower(g.aliases[t].alias); };
    auto comparison = [](const JoinRecord& j) {
        return lower(j.leftAlias) + "~" + lower(j.leftField) + " " + j.op + " " + lower(j.rightAlias) + "~" +
               lower(j.rightField);
    };
    std::vector<std::string> fields;
    for (std::size_t i = 0; i < s.columns.size(); ++i) fields.push_back(column(i));

    std::vector<std::string> words = commaList(fields);
    words.insert(words.begin(), "SELECT");
    addWords(out, 4, 11, words);

    std::size_t onColumn = 0;  // where the last ON condition starts, for its AND lines
    for (const FromStep& step : g.from) {
        switch (step.kind) {
            case FromStep::FirstTable: out.add({"      FROM ", tableClause(step.table)}); break;
            case FromStep::FirstJoin:
            case FromStep::JoinTable: {
                const JoinRecord& j = g.joins[step.join];
                if (step.kind == FromStep::FirstJoin) out.add({"      FROM ", tableClause(j.leftIndex)});
                const std::string head = std::string(j.join == JoinType::LeftOuter ? "      LEFT OUTER JOIN "
                                                                                   : "      INNER JOIN ") +
                                         tableClause(step.table) + " ON ";
                onColumn = head.size();
                out.add({head, comparison(j)});
                break;
            }
            case FromStep::ExtendOn:
                out.add({blanks(onColumn - 4), "AND ", comparison(g.joins[step.join])});
                break;
        }
    }
    out.add("      INTO TABLE @mt_output");
    if (!s.maxRowsInput.empty()) out.add({"      UP TO @", s.maxRowsInput, " ROWS"});
    for (std::size_t k = 0; k < g.wheres.size(); ++k) {
        const WhereRecord& w = g.wheres[k];
        const std::string op(trim(w.op));
        out.add({k == 0 ? "      WHERE " : "        AND ", lower(w.leftAlias), "~", lower(w.leftField), " ", op, " @",
                 lower(w.screenName)});
    }
    // The database returns the rows in no set order: sorted by the columns,
    // the list reads the same on every database. With a row limit the
    // report's sort order comes first, so the limit keeps its first rows.
    if (const std::vector<std::size_t> order = limitedOrder(g); !order.empty()) {
        fields.clear();
        for (const std::size_t i : order)
            fields.push_back(column(i) + (g.outputFields[i].sortDescending ? " DESCENDING" : ""));
    }
    words = commaList(fields);
    words.insert(words.begin(), {"ORDER", "BY"});
    words.back() += " ##SUBRC_OK.";  // no row found shows an empty list, as the classic program does
    addWords(out, 6, 15, words);
}

void addLayoutMethods(SourceText& out) {
    out.add("");
    out.add("  METHOD default_layout.");
    out.add("    DATA(ls_variant) = VALUE disvariant( report = sy-repid ).");
    out.add("    CALL FUNCTION 'REUSE_ALV_VARIANT_DEFAULT_GET'");
    out.add("      EXPORTING");
    out.add("        i_save     = 'A'");
    out.add("      CHANGING");
    out.add("        cs_variant = ls_variant");
    out.add("      EXCEPTIONS");
    out.add("        not_found  = 2.");
    out.add("    IF sy-subrc = 0.");
    out.add("      rv_layout = ls_variant-variant.");
    out.add("    ENDIF.");
    out.add("  ENDMETHOD.");
    out.add("");
    out.add("  METHOD layout_value_help.");
    out.add("    DATA(ls_variant) = VALUE disvariant( report = sy-repid ).");
    out.add("    CALL FUNCTION 'REUSE_ALV_VARIANT_F4'");
    out.add("      EXPORTING");
    out.add("        is_variant = ls_variant");
    out.add("        i_save     = 'A'");
    out.add("      IMPORTING");
    out.add("        es_variant = ls_variant");
    out.add("      EXCEPTIONS");
    out.add("        not_found  = 2.");
    out.add("    IF sy-subrc = 0.");
    out.add("      cv_layout = ls_variant-variant.");
    out.add("    ENDIF.");
    out.add("  ENDMETHOD.");
}

// The columns of the list: optimised widths, the texts the user gave, the
// sort order and the totals.
void addColumnSettings(const Generated& g, const Shape& s, SourceText& out) {
    if (s.columnTexts) {
        out.add("    DATA(lo_columns) = mo_alv->get_columns( ).");
        out.add("    lo_columns->set_optimize( abap_true ).");
        for (std::size_t i = 0; i < s.columns.size(); ++i) {
            const std::string_view description = g.outputFields[i].description;
            if (text::blank(description)) continue;
            addCall(out, 4, "set_column_text",
                    {{"io_columns", "lo_columns"},
                     {"iv_column", quoted(text::upper(s.columns[i]))},
                     {"iv_text", quoted(description)}});
        }
    } else {
        out.add("    mo_alv->get_columns( )->set_optimize( abap_true ).");
    }
    out.add("");
    if (s.sorted) {
        out.add("    DATA(lo_sorts) = mo_alv->get_sorts( ).");
        for (std::size_t k = 0; k < g.sortColumns.size(); ++k) {
            const OutputField& f = g.outputFields[g.sortColumns[k]];
            std::vector<std::pair<std::string, std::string>> parameters{
                {"columnname", quoted(text::upper(f.field))},
                {"position", std::to_string(k + 1)},
                {"sequence", f.sortDescending ? "if_salv_c_sort=>sort_down" : "if_salv_c_sort=>sort_up"}};
            if (f.subtotal) parameters.emplace_back("subtotal", "abap_true");
            addCall(out, 4, "lo_sorts->add_sort", parameters);
        }
        out.add("");
    }
    if (s.totals) {
        out.add("    DATA(lo_aggregations) = mo_alv->get_aggregations( ).");
        for (std::size_t i = 0; i + 1 < g.outputFields.size(); ++i) {
            if (!g.outputFields[i].total) continue;
            addCall(out, 4, "lo_aggregations->add_aggregation",
                    {{"columnname", quoted(text::upper(g.outputFields[i].field))},
                     {"aggregation", "if_salv_c_aggregation=>total"}});
        }
        out.add("");
    }
}

// The method that builds the SALV list from the rows read and shows it.
void addDisplayMethod(const ReportDefinition& report, const Generated& g, const Shape& s, SourceText& out) {
    out.add("  METHOD display.");
    if (report.grid) {
        out.add("    cl_salv_table=>factory( IMPORTING r_salv_table = mo_alv");
        out.add("                            CHANGING  t_table      = mt_output ).");
    } else {
        out.add("    cl_salv_table=>factory( EXPORTING list_display = abap_true");
        out.add("                            IMPORTING r_salv_table = mo_alv");
        out.add("                            CHANGING  t_table      = mt_output ).");
    }
    out.add("    mo_alv->get_functions( )->set_all( abap_true ).");
    out.add("");
    addColumnSettings(g, s, out);
    out.add("    DATA(lo_layout) = mo_alv->get_layout( ).");
    out.add("    lo_layout->set_key( VALUE salv_s_layout_key( report = sy-repid ) ).");
    out.add("    lo_layout->set_save_restriction( if_salv_c_layout=>restrict_none ).");
    if (!s.layoutInput.empty()) {
        out.add("    lo_layout->set_default( abap_true ).");
        out.add({"    lo_layout->set_initial_layout( ", s.layoutInput, " )."});
    }
    out.add("");
    if (s.heading) {
        if (report.grid) {
            out.add("    mo_alv->set_top_of_list( heading( ) ).");
        } else {
            out.add("    SET HANDLER on_top_of_page FOR mo_alv->get_event( ).");
        }
    }
    out.add("    mo_alv->display( ).");
    out.add("  ENDMETHOD.");
}

// The methods the display needs only for some designs: column texts, the
// heading (and its event handler in a list) and the layout helpers.
void addOptionalMethods(const ReportDefinition& report, const Shape& s, SourceText& out) {
    if (s.columnTexts) {
        out.add("");
        out.add("  METHOD set_column_text.");
        out.add("    DATA(lo_column) = io_columns->get_column( iv_column ).");
        out.add("    lo_column->set_long_text( CONV #( iv_text ) ).");
        out.add("    lo_column->set_medium_text( CONV #( iv_text ) ).");
        out.add("    lo_column->set_short_text( CONV #( iv_text ) ).");
        out.add("  ENDMETHOD.");
    }
    if (s.heading) {
        out.add("");
        out.add("  METHOD heading.");
        out.add("    ro_heading = NEW #( ).");
        addCall(out, 4, "ro_heading->create_header_information",
                {{"row", "1"}, {"column", "1"}, {"text", quoted(report.heading)}});
        addCall(out, 4, "ro_heading->create_text",
                {{"row", "2"}, {"column", "1"}, {"text", "|Date: { sy-datum DATE = USER }|"}});
        out.add("  ENDMETHOD.");
        if (!report.grid) {
            out.add("");
            out.add("  METHOD on_top_of_page.");
            out.add("    r_top_of_page->set_content( heading( ) ).");
            out.add("  ENDMETHOD.");
        }
    }
    if (!s.layoutInput.empty()) addLayoutMethods(out);
}

void addImplementation(const ReportDefinition& report, const Generated& g, const Shape& s, SourceText& out) {
    out.add("CLASS lcl_report IMPLEMENTATION.");
    out.add("  METHOD run.");
    out.add("    select_data( ).");
    out.add("    TRY.");
    out.add("        display( ).");
    std::vector<std::string> catchWords{"CATCH"};
    for (const std::string& e : s.salvErrors) catchWords.push_back(e);
    catchWords.insert(catchWords.end(), {"INTO", "DATA(lx_error)."});
    addWords(out, 6, 10, catchWords);
    out.add("        MESSAGE lx_error TYPE 'I' DISPLAY LIKE 'E'.");
    out.add("    ENDTRY.");
    out.add("  ENDMETHOD.");
    out.add("");

    out.add("  METHOD select_data.");
    addSelect(g, s, out);
    out.add("  ENDMETHOD.");
    out.add("");
    addDisplayMethod(report, g, s, out);
    addOptionalMethods(report, s, out);
    out.add("ENDCLASS.");
}

void addEvents(const ReportDefinition& report, const Shape& s, SourceText& out) {
    bool any = false;
    for (std::size_t i = 0; i < report.selection.size(); ++i) {
        const std::string& description = report.selection[i].description;
        if (text::blank(description)) continue;
        if (!any) out.add("INITIALIZATION.");
        any = true;
        addWords(out, 2, 4, {s.labels[i], "=", quoted(text::trimEnd(description)) + "."});
    }
    if (!s.maxRowsLabel.empty() || !s.layoutLabel.empty()) {
        if (!any) out.add("INITIALIZATION.");
        any = true;
        if (!s.maxRowsLabel.empty()) out.add({"  ", s.maxRowsLabel, " = ", quoted(kMaxRowsText), "."});
        if (!s.layoutLabel.empty()) {
            out.add({"  ", s.layoutLabel, " = ", quoted(kLayoutText), "."});
            out.add({"  ", s.layoutInput, " = lcl_report=>default_layout( )."});
        }
    }
    if (any) out.add("");
    if (!s.maxRowsInput.empty()) {
        out.add({"AT SELECTION-SCREEN ON ", s.maxRowsInput, "."});
        out.add({"  IF ", s.maxRowsInput, " < 0."});
        out.add({"    MESSAGE ", quoted(kMaxRowsRefused), " TYPE 'E'."});
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

void GenModern(const ReportDefinition& report, Generated& g) {
    SourceText& out = g.text;
    out.clear();
    const std::size_t estimate = 120 + 4 * g.outputFields.size() + 6 * report.selection.size() + g.joins.size();
    out.reserve(estimate, estimate * 48);
    const Shape s = shapeOf(report, g);

    addHeader(report, out);
    out.add({"REPORT ", s.name, "."});
    out.add("");
    addSelectionScreen(report, s, out);
    addDefinition(report, g, s, out);
    out.add("");
    addImplementation(report, g, s, out);
    out.add("");
    addEvents(report, s, out);
}

}  // namespace orvex
