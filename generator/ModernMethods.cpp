// The modern program's class implementation: run, the SELECT of
// select_data, the SALV list of display and the methods only some designs
// need (column texts, the heading, the layout helpers).
#include <string>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "generator/Generator.h"
#include "generator/ModernParts.h"
#include "generator/SourceWriters.h"

namespace orvex::modern {

namespace {

using text::lower;

// The method that checks, as the standard table display does, that the user
// may display a table: VIEW_AUTHORITY_CHECK tries the table's authorisation
// group (S_TABU_DIS) and then its name (S_TABU_NAM). A refusal shows one
// message and ends the report before any row is read; an exception that is
// no refusal (an unknown action or table) lets it go on.
void addAuthorityMethod(const PlanSymbols& symbols, SourceText& out) {
    out.add("");
    out.add("  METHOD check_authority.");
    addViewAuthorityCall(out, "    ", "iv_table");
    if (symbols.authorityRefused.empty())
        out.add({"      MESSAGE |", kAuthorityRefused, " { iv_table }| TYPE 'S' DISPLAY LIKE 'E'."});
    else
        out.add({"      MESSAGE |{ ", quoted(kAuthorityRefused), symbolSuffix(symbols.authorityRefused),
                 " } { iv_table }| TYPE 'S' DISPLAY LIKE 'E'."});
    out.add("      LEAVE LIST-PROCESSING.");
    out.add("    ENDIF.");
    out.add("  ENDMETHOD.");
}

void addSelect(const ReportPlan& plan, const Spelling& s, SourceText& out) {
    // Every table is checked before the SELECT reads any of them.
    for (const std::string& table : plan.options.authorityTables) out.add({"    check_authority( '", table, "' )."});
    auto column = [&](std::size_t i) { return lower(plan.aliasOf(plan.columns[i].source)) + "~" + s.columns[i]; };
    auto tableClause = [&](std::size_t t) { return lower(plan.tables[t].name) + " AS " + lower(plan.tables[t].alias); };
    auto fieldOfTable = [&](const PlanField& f) { return lower(plan.aliasOf(f)) + "~" + lower(f.field); };
    auto comparison = [&](const PlanJoin& j) { return fieldOfTable(j.left) + " " + j.op + " " + fieldOfTable(j.right); };
    std::vector<std::string> fields;
    for (std::size_t i = 0; i < s.columns.size(); ++i) fields.push_back(column(i));

    std::vector<std::string> words = commaList(fields);
    words.insert(words.begin(), "SELECT");
    addWords(out, 4, 11, words);

    std::size_t onColumn = 0;  // where the last ON condition starts, for its AND lines
    for (const FromStep& step : plan.from) {
        switch (step.kind) {
            case FromStep::FirstTable: out.add({"      FROM ", tableClause(step.table)}); break;
            case FromStep::FirstJoin:
            case FromStep::JoinTable: {
                const PlanJoin& j = plan.joins[step.join];
                if (step.kind == FromStep::FirstJoin) out.add({"      FROM ", tableClause(j.left.table)});
                const std::string head = std::string(j.type == JoinType::LeftOuter ? "      LEFT OUTER JOIN "
                                                                                   : "      INNER JOIN ") +
                                         tableClause(step.table) + " ON ";
                onColumn = head.size();
                out.add({head, comparison(j)});
                break;
            }
            case FromStep::ExtendOn:
                out.add({blanks(onColumn - 4), "AND ", comparison(plan.joins[step.join])});
                break;
        }
    }
    out.add("      INTO TABLE @mt_output");
    if (!s.maxRowsInput.empty()) out.add({"      UP TO @", s.maxRowsInput, " ROWS"});
    for (std::size_t k = 0; k < plan.filters.size(); ++k) {
        const PlanFilter& f = plan.filters[k];
        out.add({k == 0 ? "      WHERE " : "        AND ", fieldOfTable(f.left), " ", f.op, " @", s.inputs[f.input]});
    }
    // The database returns the rows in no set order: sorted by the columns,
    // the list reads the same on every database. With a row limit the
    // report's sort order comes first, so the limit keeps its first rows.
    if (!plan.options.selectOrder.empty()) {
        fields.clear();
        for (const std::size_t i : plan.options.selectOrder)
            fields.push_back(column(i) + (plan.columns[i].sortDescending ? " DESCENDING" : ""));
    }
    words = commaList(fields);
    words.insert(words.begin(), {"ORDER", "BY"});
    words.back() += " ##SUBRC_OK.";  // no row found shows an empty list, as the classic program does
    addWords(out, 6, 15, words);
}

// The method that reads a field's label from the dictionary in the user's
// logon language, the typed label staying where the dictionary has none.
void addDictionaryLabelMethod(SourceText& out) {
    out.add("");
    out.add("  METHOD dictionary_label.");
    out.add("    DATA ls_field TYPE dfies.");
    out.add("    rv_label = iv_typed.");
    out.add("    CALL FUNCTION 'DDIF_FIELDINFO_GET'");
    out.add("      EXPORTING");
    out.add("        tabname        = iv_table");
    out.add("        lfieldname     = iv_field");
    out.add("        langu          = sy-langu");
    out.add("      IMPORTING");
    out.add("        dfies_wa       = ls_field");
    out.add("      EXCEPTIONS");
    out.add("        not_found      = 1");
    out.add("        internal_error = 2");
    out.add("        OTHERS         = 3.");
    out.add("    IF sy-subrc = 0 AND ls_field-scrtext_m IS NOT INITIAL.");
    out.add("      rv_label = ls_field-scrtext_m.");
    out.add("    ENDIF.");
    out.add("  ENDMETHOD.");
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

// Each amount's currency column and each quantity's unit column: the list
// shows the value with its currency's decimals and totals it per currency
// (per unit for a quantity).
void addReferenceColumns(const ReportPlan& plan, const Spelling& s, SourceText& out) {
    bool any = false;
    for (std::size_t i = 0; i < s.columns.size(); ++i) {
        const PlanColumn& c = plan.columns[i];
        if (!c.referenceColumn) continue;
        const char* method = c.referenceKind == ValueReference::Currency ? "set_currency_column" : "set_quantity_column";
        addWords(out, 4, 6,
                 {"mo_alv->get_columns( )->get_column(", quoted(text::upper(s.columns[i])), ")->" + std::string(method) + "(",
                  quoted(text::upper(s.columns[*c.referenceColumn])), ")."});
        any = true;
    }
    if (any) out.add("");
}

// The columns of the list: optimised widths, the texts the user gave, the
// sort order and the totals.
void addColumnSettings(const ReportPlan& plan, const Spelling& s, SourceText& out) {
    if (plan.options.columnTexts) {
        out.add("    DATA(lo_columns) = mo_alv->get_columns( ).");
        out.add("    lo_columns->set_optimize( abap_true ).");
        for (std::size_t i = 0; i < s.columns.size(); ++i) {
            const PlanColumn& c = plan.columns[i];
            // A heading from the dictionary is the one SALV gives the column itself.
            if (text::blank(c.description) || c.dictionaryText) continue;
            addCall(out, 4, "set_column_text",
                    {{"io_columns", "lo_columns"},
                     {"iv_column", quoted(text::upper(s.columns[i]))},
                     {"iv_text", quoted(c.description) + symbolSuffix(c.textSymbol)}});
        }
    } else {
        out.add("    mo_alv->get_columns( )->set_optimize( abap_true ).");
    }
    out.add("");
    addReferenceColumns(plan, s, out);
    if (const std::vector<std::size_t>& sorted = plan.options.sortColumns; !sorted.empty()) {
        out.add("    DATA(lo_sorts) = mo_alv->get_sorts( ).");
        for (std::size_t k = 0; k < sorted.size(); ++k) {
            const PlanColumn& f = plan.columns[sorted[k]];
            std::vector<std::pair<std::string, std::string>> parameters{
                {"columnname", quoted(text::upper(f.source.field))},
                {"position", std::to_string(k + 1)},
                {"sequence", f.sortDescending ? "if_salv_c_sort=>sort_down" : "if_salv_c_sort=>sort_up"}};
            if (f.subtotal) parameters.emplace_back("subtotal", "abap_true");
            addCall(out, 4, "lo_sorts->add_sort", parameters);
        }
        out.add("");
    }
    if (plan.options.totals) {
        out.add("    DATA(lo_aggregations) = mo_alv->get_aggregations( ).");
        for (const PlanColumn& c : plan.columns) {
            if (!c.total) continue;
            addCall(out, 4, "lo_aggregations->add_aggregation",
                    {{"columnname", quoted(text::upper(c.source.field))},
                     {"aggregation", "if_salv_c_aggregation=>total"}});
        }
        out.add("");
    }
}

// The method that builds the SALV list from the rows read and shows it.
void addDisplayMethod(const ReportPlan& plan, const Spelling& s, SourceText& out) {
    out.add("  METHOD display.");
    if (plan.grid) {
        out.add("    cl_salv_table=>factory( IMPORTING r_salv_table = mo_alv");
        out.add("                            CHANGING  t_table      = mt_output ).");
    } else {
        out.add("    cl_salv_table=>factory( EXPORTING list_display = abap_true");
        out.add("                            IMPORTING r_salv_table = mo_alv");
        out.add("                            CHANGING  t_table      = mt_output ).");
    }
    out.add("    mo_alv->get_functions( )->set_all( abap_true ).");
    out.add("");
    addColumnSettings(plan, s, out);
    out.add("    DATA(lo_layout) = mo_alv->get_layout( ).");
    out.add("    lo_layout->set_key( VALUE salv_s_layout_key( report = sy-repid ) ).");
    out.add("    lo_layout->set_save_restriction( if_salv_c_layout=>restrict_none ).");
    if (!s.layoutInput.empty()) {
        out.add("    lo_layout->set_default( abap_true ).");
        out.add({"    lo_layout->set_initial_layout( ", s.layoutInput, " )."});
    }
    out.add("");
    if (plan.printHeading) {
        if (plan.grid) {
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
void addOptionalMethods(const ReportPlan& plan, const Spelling& s, SourceText& out) {
    if (plan.options.columnTexts) {
        out.add("");
        out.add("  METHOD set_column_text.");
        out.add("    DATA(lo_column) = io_columns->get_column( iv_column ).");
        out.add("    lo_column->set_long_text( CONV #( iv_text ) ).");
        out.add("    lo_column->set_medium_text( CONV #( iv_text ) ).");
        out.add("    lo_column->set_short_text( CONV #( iv_text ) ).");
        out.add("  ENDMETHOD.");
    }
    if (plan.printHeading) {
        out.add("");
        out.add("  METHOD heading.");
        out.add("    ro_heading = NEW #( ).");
        addCall(out, 4, "ro_heading->create_header_information",
                {{"row", "1"}, {"column", "1"}, {"text", quoted(plan.heading) + symbolSuffix(plan.options.symbols.heading)}});
        const std::string& date = plan.options.symbols.date;
        addCall(out, 4, "ro_heading->create_text",
                {{"row", "2"},
                 {"column", "1"},
                 {"text", date.empty() ? "|Date: { sy-datum DATE = USER }|"
                                       : "|{ 'Date:'(" + date + ") } { sy-datum DATE = USER }|"}});
        out.add("  ENDMETHOD.");
        if (!plan.grid) {
            out.add("");
            out.add("  METHOD on_top_of_page.");
            out.add("    r_top_of_page->set_content( heading( ) ).");
            out.add("  ENDMETHOD.");
        }
    }
    if (!s.layoutInput.empty()) addLayoutMethods(out);
    if (plan.options.dictionaryLabels) addDictionaryLabelMethod(out);
}

}  // namespace

void addImplementation(const ReportPlan& plan, const Spelling& s, SourceText& out) {
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
    addSelect(plan, s, out);
    out.add("  ENDMETHOD.");
    if (!plan.options.authorityTables.empty()) addAuthorityMethod(plan.options.symbols, out);
    out.add("");
    addDisplayMethod(plan, s, out);
    addOptionalMethods(plan, s, out);
    out.add("ENDCLASS.");
}

}  // namespace orvex::modern
