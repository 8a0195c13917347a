// The source writers GenHeader, GenDeclarations and GenForms: the text of the
// generated ABAP program, line by line.
#include <string>
#include <string_view>

#include "generator/SourceWriters.h"
#include "common/Text.h"
#include "generator/Generator.h"

namespace orvex {

namespace {


constexpr std::string_view kStars67 =
    "*******************************************************************";
constexpr std::string_view kStars25 = "*************************";
constexpr std::size_t kBoxWidth = 67;
constexpr std::string_view kBlanks =
    "                                                                                ";

// A line of the comment box: prefix, value, blanks up to column 66, "*".
// A value too long for the box gets no blanks.
void addBoxLine(SourceText& out, std::string_view prefix, std::string_view value) {
    std::size_t used = prefix.size() + text::length(value);
    std::size_t fill = used < kBoxWidth - 1 ? kBoxWidth - 1 - used : 0;
    out.add({prefix, value, kBlanks.substr(0, fill), "*"});
}

void addSectionBox(SourceText& out, std::string_view title) {
    out.add(kStars25);
    out.add(title);
    out.add(kStars25);
}

// Lines per column, input, join and filter, for reserving the buffer.
std::size_t estimateLines(const ReportPlan& plan) {
    return 146 + 9 * plan.columns.size() + 8 * plan.inputs.size() + plan.joins.size() + 2 * plan.filters.size() +
           (plan.options.authorityTables.empty() ? 0 : 24 + plan.options.authorityTables.size());
}

// The labels of the inputs that take them from the dictionary: the typed
// description first, then the dictionary's label in the logon language
// where the dictionary has one (FORM DICTIONARY_LABEL).
void addDictionaryLabelReads(const ReportPlan& plan, SourceText& out) {
    std::string quoted;
    for (const PlanInput& in : plan.inputs) {
        if (!in.dictionaryText) continue;
        const std::string label = classicLabel(in.name);
        out.add({label, " = '", text::abapQuoted(in.description, quoted), "'", symbolSuffix(in.textSymbol), "."});
        out.add({"PERFORM DICTIONARY_LABEL USING '", text::upper(in.table), "' '", text::upper(in.field), "'"});
        out.add({"  CHANGING ", label, "."});
    }
}

// The FORM that reads a field's label from the dictionary in the user's
// logon language; the label stays as it is where the dictionary has none.
void addDictionaryLabelForm(SourceText& out) {
    out.add("FORM DICTIONARY_LABEL USING u_table TYPE DDOBJNAME");
    out.add("                            u_field TYPE DFIES-LFIELDNAME");
    out.add("                      CHANGING c_label TYPE C.");
    addSectionBox(out, "*LABEL FROM DICTIONARY  *");
    out.add("  DATA: l_field TYPE DFIES.");
    out.add("");
    out.add("  CALL FUNCTION 'DDIF_FIELDINFO_GET'");
    out.add("    EXPORTING");
    out.add("      tabname        = u_table");
    out.add("      lfieldname     = u_field");
    out.add("      langu          = SY-LANGU");
    out.add("    IMPORTING");
    out.add("      dfies_wa       = l_field");
    out.add("    EXCEPTIONS");
    out.add("      not_found      = 1");
    out.add("      internal_error = 2");
    out.add("      OTHERS         = 3.");
    out.add("  IF SY-SUBRC = 0 AND NOT l_field-SCRTEXT_M IS INITIAL.");
    out.add("    c_label = l_field-SCRTEXT_M.");
    out.add("  ENDIF.");
    out.add("ENDFORM.");
}

// The inputs of the report's options in a block of their own: the row limit
// (0 reads every row) and the ALV layout.
void addOptionsBlock(const PlanOptions& options, SourceText& out) {
    if (!options.rowLimit && !options.layout) return;
    out.add("SELECTION-SCREEN: BEGIN OF BLOCK b2 WITH FRAME .");
    if (const auto& limit = options.rowLimit) {
        out.add(" SELECTION-SCREEN: BEGIN OF LINE.");
        out.add({" SELECTION-SCREEN: COMMENT 1(", std::to_string(kOptionLabelWidth), ") ", classicLabel(limit->name), "."});
        out.add({" PARAMETER: ", classicParameter(limit->name), " TYPE I DEFAULT ", std::to_string(limit->rows), "."});
        out.add(" SELECTION-SCREEN: END OF LINE.");
    }
    if (const auto& layout = options.layout) {
        out.add(" SELECTION-SCREEN: BEGIN OF LINE.");
        out.add({" SELECTION-SCREEN: COMMENT 1(", std::to_string(kOptionLabelWidth), ") ", classicLabel(*layout), "."});
        out.add({" PARAMETER: ", classicParameter(*layout), " LIKE DISVARIANT-VARIANT."});
        out.add(" SELECTION-SCREEN: END OF LINE.");
    }
    out.add("SELECTION-SCREEN: END OF BLOCK b2.");
}

// The option inputs' labels (ending the AT SELECTION-SCREEN OUTPUT block),
// then their own events: a negative row limit is refused on the screen; the
// user's default layout is proposed at the start and the saved layouts are
// offered as value help. The labels read from the dictionary are read at the
// start too.
void addOptionEvents(const ReportPlan& plan, SourceText& out) {
    const PlanOptions& options = plan.options;
    const PlanSymbols& symbols = options.symbols;
    if (options.rowLimit)
        out.add({classicLabel(options.rowLimit->name), " = '", kMaxRowsText, "'", symbolSuffix(symbols.maxRowsText), "."});
    if (options.layout)
        out.add({classicLabel(*options.layout), " = '", kLayoutText, "'", symbolSuffix(symbols.layoutText), "."});
    if (options.rowLimit) {
        const std::string input = classicParameter(options.rowLimit->name);
        out.add("");
        out.add({"AT SELECTION-SCREEN ON ", input, "."});
        out.add({"IF ", input, " < 0."});
        out.add({"  MESSAGE '", kMaxRowsRefused, "'", symbolSuffix(symbols.maxRowsRefused), " TYPE 'E'."});
        out.add("ENDIF.");
    }
    if (!options.layout && !options.dictionaryLabels) return;
    out.add("");
    out.add("INITIALIZATION.");
    addDictionaryLabelReads(plan, out);
    if (!options.layout) return;
    const std::string layoutInput = classicParameter(*options.layout);
    out.add("G_VARIANT-REPORT = SY-REPID.");
    out.add("CALL FUNCTION 'REUSE_ALV_VARIANT_DEFAULT_GET'");
    out.add("  exporting");
    out.add("    i_save     = 'A'");
    out.add("  changing");
    out.add("    cs_variant = G_VARIANT");
    out.add("  exceptions");
    out.add("    not_found  = 2.");
    out.add("IF SY-SUBRC = 0.");
    out.add({"  ", layoutInput, " = G_VARIANT-VARIANT."});
    out.add("ENDIF.");
    out.add("");
    out.add({"AT SELECTION-SCREEN ON VALUE-REQUEST FOR ", layoutInput, "."});
    out.add("G_VARIANT-REPORT = SY-REPID.");
    out.add("CALL FUNCTION 'REUSE_ALV_VARIANT_F4'");
    out.add("  exporting");
    out.add("    is_variant = G_VARIANT");
    out.add("    i_save     = 'A'");
    out.add("  importing");
    out.add("    es_variant = G_VARIANT");
    out.add("  exceptions");
    out.add("    not_found  = 2.");
    out.add("IF SY-SUBRC = 0.");
    out.add({"  ", layoutInput, " = G_VARIANT-VARIANT."});
    out.add("ENDIF.");
}

}  // namespace

void GenHeader(const ReportPlan& plan, SourceText& out) {
    out.clear();
    const std::size_t lines = estimateLines(plan);
    out.reserve(lines, lines * 40);
    out.add(kStars67);
    out.add({"*", kBlanks.substr(0, kBoxWidth - 2), "*"});
    addBoxLine(out, "* Program Name : ", plan.name);
    addBoxLine(out, "* Program Description : ", plan.description);
    addBoxLine(out, "* Program Author : ", plan.author);
    addBoxLine(out, "* Company Name : ", plan.company);
    out.add(kStars67);
    out.add({"Report ", plan.name, "."});
    out.add("TYPE-POOLS : slis.");
    out.add("");
}

namespace {

// The output structure, the ALV tables, the program's data and the work areas
// the select-options refer to (one per distinct table).
void addDeclarations(const ReportPlan& plan, SourceText& out) {
    addSectionBox(out, "*Type Declaration       *");
    out.add("");
    out.add("types : Begin OF t_Output,");
    for (const PlanColumn& c : plan.columns) {
        const std::string& field = c.source.field;
        out.add({"  ", field, " like ", plan.tables[c.source.table].name, "-", field, ","});
    }
    out.add("");
    out.add("end of t_Output.");
    addSectionBox(out, "*Internal Tables for ALV*");
    out.add("DATA: wa_fieldcat TYPE slis_fieldcat_alv.");
    out.add("DATA: it_fieldcat TYPE slis_t_fieldcat_alv.");
    out.add("DATA: wa_event TYPE slis_alv_event.");
    out.add("DATA: it_events TYPE slis_t_event.");
    out.add("DATA: wa_line TYPE  slis_listheader.");
    out.add("DATA: it_line TYPE slis_t_listheader.");
    out.add("DATA: wa_sort TYPE slis_sortinfo_alv.");
    out.add("DATA: it_sort TYPE slis_t_sortinfo_alv.");
    addSectionBox(out, "*DATA DECLARATION       *");
    out.add("DATA: G_DATE(10) TYPE C.");
    if (plan.options.layout) out.add("DATA: G_VARIANT TYPE DISVARIANT.");
    addSectionBox(out, "*Table Decl for O/P     *");
    out.add("DATA: IT_OUTPUT type STANDARD TABLE OF T_OUTPUT WITH HEADER LINE.");

    for (const std::string& table : plan.inputTables) out.add({"TABLES: ", table, "."});
}

// Whether the report has a selection screen: inputs of its own or of its options.
bool hasSelectionScreen(const ReportPlan& plan) {
    return !plan.inputs.empty() || plan.options.rowLimit || plan.options.layout;
}

// The selection screen: a line per entry, then the options' block. A report
// without inputs has none, and runs without asking anything.
void addSelectionScreen(const ReportPlan& plan, SourceText& out) {
    if (!hasSelectionScreen(plan)) return;
    std::string quoted;
    out.add(kStars25);
    out.add("*Selection Screen*");
    out.add(kStars25);
    if (plan.inputs.empty()) {
        addOptionsBlock(plan.options, out);
        return;
    }
    out.add("SELECTION-SCREEN: BEGIN OF BLOCK b1 WITH FRAME .");
    for (const PlanInput& in : plan.inputs) {
        out.add(" SELECTION-SCREEN: BEGIN OF LINE.");
        out.add({" SELECTION-SCREEN: COMMENT 1(20) ", classicLabel(in.name), "."});
        if (in.kind == InputKind::SelectOption)
            out.add({" SELECT-OPTIONS: ", classicInput(in), " FOR ", in.table, "-", in.field});
        else
            out.add({" PARAMETER: ", classicInput(in), " LIKE ", in.table, "-", in.field});
        out.add("");
        if (in.required) out.add("  OBLIGATORY");
        out.add({"  DEFAULT '", text::abapQuoted(in.defaultValue, quoted), "'."});
        out.add(" SELECTION-SCREEN: END OF LINE.");
    }
    out.add(" SELECTION-Screen: Skip 1.");
    out.add("SELECTION-SCREEN: END OF BLOCK b1..");
    addOptionsBlock(plan.options, out);
}

}  // namespace

void addViewAuthorityCall(SourceText& out, std::string_view indent, std::string_view table) {
    out.add({indent, "CALL FUNCTION 'VIEW_AUTHORITY_CHECK'"});
    out.add({indent, "  EXPORTING"});
    out.add({indent, "    view_action                    = 'S'"});
    out.add({indent, "    view_name                      = ", table});
    out.add({indent, "  EXCEPTIONS"});
    out.add({indent, "    invalid_action                 = 1"});
    out.add({indent, "    no_authority                   = 2"});
    out.add({indent, "    no_clientindependent_authority = 3"});
    out.add({indent, "    table_not_found                = 4"});
    out.add({indent, "    no_linedependent_authority     = 5."});
    out.add({indent, "IF sy-subrc = 2 OR sy-subrc = 3 OR sy-subrc = 5."});
}

namespace {

// The FORM that checks, as the standard table display does, that the user
// may display a table: VIEW_AUTHORITY_CHECK tries the table's authorisation
// group (S_TABU_DIS) and then its name (S_TABU_NAM). A refusal shows one
// message and ends the report before any row is read; an exception that is
// no refusal (an unknown action or table) lets it go on.
void addAuthorityForm(const PlanSymbols& symbols, SourceText& out) {
    out.add("FORM CHECK_AUTHORITY USING u_table TYPE DD25V-VIEWNAME.");
    addSectionBox(out, "*CHECK DISPLAY AUTHORITY*");
    out.add("  DATA: l_message TYPE STRING.");
    out.add("");
    addViewAuthorityCall(out, "  ", "u_table");
    out.add({"    CONCATENATE '", kAuthorityRefused, "'", symbolSuffix(symbols.authorityRefused), " u_table"});
    out.add("      INTO l_message SEPARATED BY SPACE.");
    out.add("    MESSAGE l_message TYPE 'S' DISPLAY LIKE 'E'.");
    out.add("    LEAVE LIST-PROCESSING.");
    out.add("  ENDIF.");
    out.add("ENDFORM.");
}

// The catalogue entry's currency or unit column, named as the catalogue names
// that column: the list shows the amount with its currency's decimals and
// totals it per currency (per unit for a quantity).
void addReferenceColumn(const ReportPlan& plan, const PlanColumn& c, SourceText& out) {
    if (!c.referenceColumn) return;
    std::string quoted;
    const char* name = c.referenceKind == ValueReference::Currency ? "cfieldname" : "qfieldname";
    out.add({"  wa_fieldcat-", name, " = '", text::abapQuoted(plan.columns[*c.referenceColumn].source.field, quoted),
             "'."});
}

// The FORMs that read the rows and build the field catalog.
void addDataForms(const ReportPlan& plan, SourceText& out) {
    std::string quoted;
    out.add("");
    out.add("FORM GET_DATA.");
    addSectionBox(out, "*GET DATA FROM TABLES   *");
    out.add("");
    // Every table is checked before the SELECT reads any of them.
    for (const std::string& table : plan.options.authorityTables)
        out.add({"PERFORM CHECK_AUTHORITY USING '", table, "'."});
    addClassicSelect(plan, out);
    out.add("ENDFORM.");
    if (!plan.options.authorityTables.empty()) addAuthorityForm(plan.options.symbols, out);
    if (plan.options.dictionaryLabels) addDictionaryLabelForm(out);

    out.add("FORM BUILD_FIELD_CAT.");
    addSectionBox(out, "*Build ALV List Layout  *");
    out.add("");
    for (const PlanColumn& c : plan.columns) {
        out.add({"  wa_fieldcat-fieldname = '", text::abapQuoted(c.source.field, quoted), "'."});
        // The dictionary's labels are found by the table's name as the dictionary spells it.
        const std::string& table = plan.tables[c.source.table].name;
        out.add({"  wa_fieldcat-ref_tabname = '",
                 text::abapQuoted(plan.options.texts == TextSource::Dictionary ? text::upper(table) : table, quoted), "'."});
        out.add("  wa_fieldcat-tabname = 'IT_OUTPUT'.");
        // A heading from the dictionary is the ALV's own, by the reference field.
        if (!c.dictionaryText)
            out.add({"  wa_fieldcat-seltext_m = '", text::abapQuoted(c.description, quoted), "'",
                     symbolSuffix(c.textSymbol), "."});
        if (c.total) out.add("  wa_fieldcat-do_sum = 'X'.");
        addReferenceColumn(plan, c, out);
        out.add("  APPEND wa_fieldcat TO it_fieldcat.");
        out.add("  CLEAR wa_fieldcat.");
    }
    out.add("ENDFORM.");
}

// The sort order's FORM, written only when the report sorts.
void addSortForm(const ReportPlan& plan, SourceText& out) {
    const std::vector<std::size_t>& sorted = plan.options.sortColumns;
    if (sorted.empty()) return;
    std::string quoted;
    out.add("FORM BUILD_SORT.");
    addSectionBox(out, "*Build ALV Sort Order   *");
    out.add("");
    for (std::size_t k = 0; k < sorted.size(); ++k) {
        const PlanColumn& f = plan.columns[sorted[k]];
        out.add({"  wa_sort-spos = ", std::to_string(k + 1), "."});
        out.add({"  wa_sort-fieldname = '", text::abapQuoted(f.source.field, quoted), "'."});
        out.add("  wa_sort-tabname = 'IT_OUTPUT'.");
        out.add(f.sortDescending ? "  wa_sort-down = 'X'." : "  wa_sort-up = 'X'.");
        if (f.subtotal) out.add("  wa_sort-subtot = 'X'.");
        out.add("  APPEND wa_sort TO it_sort.");
        out.add("  CLEAR wa_sort.");
    }
    out.add("ENDFORM.");
}

// The FORM that shows the list or grid.
void addDisplayForm(const ReportPlan& plan, SourceText& out) {
    std::string quoted;
    out.add("FORM ALV_DISPLAY.");
    addSectionBox(out, "*DISPLAY REPORT IN ALV  *");
    out.add("perform alv_Eventtab_build.");
    if (plan.options.layout) {
        out.add("G_VARIANT-REPORT = SY-REPID.");
        out.add({"G_VARIANT-VARIANT = ", classicParameter(*plan.options.layout), "."});
    }
    out.add(plan.grid ? "CALL FUNCTION  'REUSE_ALV_GRID_DISPLAY'" : "CALL FUNCTION  'REUSE_ALV_LIST_DISPLAY'");
    out.add("  EXPORTING");
    out.add({"     i_callback_program             = '", text::abapQuoted(plan.name, quoted), "'"});
    out.add("    it_fieldcat = it_fieldcat");
    if (!plan.options.sortColumns.empty()) out.add("    it_sort = it_sort");
    if (plan.options.layout) {
        out.add("    i_save = 'A'");
        out.add("    is_variant = G_VARIANT");
    }
    out.add(plan.printHeading ? "    it_events = it_events" : "*     it_events = it_events");
    out.add("  TABLES");
    out.add("    t_outtab                       = IT_OUTPUT.");
    out.add("ENDFORM.");
}

// The event table's FORM and the heading written at the top of each page.
void addEventForms(const ReportPlan& plan, SourceText& out) {
    std::string quoted;
    addSectionBox(out, "*Build ALV Events       *");
    out.add("form alv_Eventtab_build.");
    out.add("call function 'REUSE_ALV_EVENTS_GET'");
    out.add("     exporting");
    out.add("i_list_type = 0");
    out.add("     importing");
    out.add("et_events   = it_events.");
    out.add("read table it_events");
    out.add("     with key name = slis_ev_top_of_page");
    out.add("into wa_event.");
    out.add("if sy-subrc = 0.");
    out.add("   move 'TOP_OF_PAGE' to wa_event-form.");
    out.add("   modify it_events from wa_event index sy-tabix.");
    out.add("   endif.");
    out.add("ENDFORM.");

    addSectionBox(out, "*ALV TOP OF PAGE        *");
    out.add("form top_of_page.");
    const std::string heading = std::string(text::abapQuoted(plan.heading, quoted)) + "'" +
                                symbolSuffix(plan.options.symbols.heading);
    if (plan.grid) {
        out.add("WA_LINE-typ = 'H'.");
        out.add({" WA_LINE-info = '", heading, "."});
        out.add(" append WA_LINE TO IT_LINE.");
        out.add("WA_LINE-typ = 'S'.");
        out.add(" WRITE SY-DATUM TO G_DATE.");
        out.add(" CONCATENATE 'DATE:' G_DATE INTO WA_LINE-INFO.");
        out.add(" append WA_LINE TO IT_LINE.");
        out.add("call function 'REUSE_ALV_COMMENTARY_WRITE'");
        out.add(" exporting");
        out.add(" it_list_commentary = IT_LINE.");
        out.add("");
    } else {
        out.add({"WRITE: AT 1 '", heading, "."});
        out.add("  NEW-LINE.");
        out.add(" WRITE: AT 50 'Date:'(T03), sy-datum.");
    }
    out.add(" endform. ");
}

}  // namespace

void GenDeclarations(const ReportPlan& plan, SourceText& out) {
    std::string quoted;
    addDeclarations(plan, out);
    addSelectionScreen(plan, out);

    if (hasSelectionScreen(plan)) {
        // Labels read from the dictionary are set once, at the start.
        bool literalLabels = plan.options.rowLimit || plan.options.layout;
        for (const PlanInput& in : plan.inputs) literalLabels = literalLabels || !in.dictionaryText;
        if (literalLabels) {
            addSectionBox(out, "*AT Selection Screen O/P*");
            out.add("AT SELECTION-SCREEN OUTPUT.");
        }
        for (const PlanInput& in : plan.inputs)
            if (!in.dictionaryText)
                out.add({classicLabel(in.name), " = '", text::abapQuoted(in.description, quoted), "'",
                         symbolSuffix(in.textSymbol), "."});
        addOptionEvents(plan, out);
    }
    out.add("");
    out.add("START-OF-SELECTION.");
    out.add("PERFORM GET_DATA.");
    out.add("PERFORM BUILD_FIELD_CAT.");
    if (!plan.options.sortColumns.empty()) out.add("PERFORM BUILD_SORT.");
    out.add("PERFORM ALV_DISPLAY.");
}

void GenForms(const ReportPlan& plan, SourceText& out) {
    addDataForms(plan, out);
    addSortForm(plan, out);
    addDisplayForm(plan, out);
    addEventForms(plan, out);
}

}  // namespace orvex
