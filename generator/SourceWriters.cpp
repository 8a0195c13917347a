// The source writers GenHeader, GenDeclarations and GenForms: the text of the
// generated ABAP program, line by line.
#include <string>
#include <string_view>
#include <unordered_set>

#include "generator/SourceWriters.h"
#include "common/Text.h"

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

// Lines per output field and per entry, for reserving the buffer.
std::size_t estimateLines(const ReportDefinition& report, const Generated& g) {
    return 140 + 8 * g.outputFields.size() + 8 * report.selection.size() + g.selectLines.size();
}

// The inputs of the report's options in a block of their own: the row limit
// (0 reads every row) and the ALV layout.
void addOptionsBlock(const ReportDefinition& report, const OptionNames& names, SourceText& out) {
    if (!report.maxRows && !report.layoutVariant) return;
    out.add("SELECTION-SCREEN: BEGIN OF BLOCK b2 WITH FRAME .");
    if (report.maxRows) {
        out.add(" SELECTION-SCREEN: BEGIN OF LINE.");
        out.add({" SELECTION-SCREEN: COMMENT 1(", std::to_string(kOptionLabelWidth), ") ", names.maxRowsLabel, "."});
        out.add({" PARAMETER: ", names.maxRowsInput, " TYPE I DEFAULT ", std::to_string(*report.maxRows), "."});
        out.add(" SELECTION-SCREEN: END OF LINE.");
    }
    if (report.layoutVariant) {
        out.add(" SELECTION-SCREEN: BEGIN OF LINE.");
        out.add({" SELECTION-SCREEN: COMMENT 1(", std::to_string(kOptionLabelWidth), ") ", names.layoutLabel, "."});
        out.add({" PARAMETER: ", names.layoutInput, " LIKE DISVARIANT-VARIANT."});
        out.add(" SELECTION-SCREEN: END OF LINE.");
    }
    out.add("SELECTION-SCREEN: END OF BLOCK b2.");
}

// The option inputs' labels (ending the AT SELECTION-SCREEN OUTPUT block),
// then their own events: a negative row limit is refused on the screen; the
// user's default layout is proposed at the start and the saved layouts are
// offered as value help.
void addOptionEvents(const OptionNames& names, SourceText& out) {
    if (!names.maxRowsLabel.empty()) out.add({names.maxRowsLabel, " = '", kMaxRowsText, "'."});
    if (!names.layoutLabel.empty()) out.add({names.layoutLabel, " = '", kLayoutText, "'."});
    if (!names.maxRowsInput.empty()) {
        out.add("");
        out.add({"AT SELECTION-SCREEN ON ", names.maxRowsInput, "."});
        out.add({"IF ", names.maxRowsInput, " < 0."});
        out.add({"  MESSAGE '", kMaxRowsRefused, "' TYPE 'E'."});
        out.add("ENDIF.");
    }
    if (names.layoutInput.empty()) return;
    out.add("");
    out.add("INITIALIZATION.");
    out.add("G_VARIANT-REPORT = SY-REPID.");
    out.add("CALL FUNCTION 'REUSE_ALV_VARIANT_DEFAULT_GET'");
    out.add("  exporting");
    out.add("    i_save     = 'A'");
    out.add("  changing");
    out.add("    cs_variant = G_VARIANT");
    out.add("  exceptions");
    out.add("    not_found  = 2.");
    out.add("IF SY-SUBRC = 0.");
    out.add({"  ", names.layoutInput, " = G_VARIANT-VARIANT."});
    out.add("ENDIF.");
    out.add("");
    out.add({"AT SELECTION-SCREEN ON VALUE-REQUEST FOR ", names.layoutInput, "."});
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
    out.add({"  ", names.layoutInput, " = G_VARIANT-VARIANT."});
    out.add("ENDIF.");
}

}  // namespace

void GenHeader(const ReportDefinition& report, Generated& g) {
    SourceText& out = g.text;
    out.clear();
    const std::size_t lines = estimateLines(report, g);
    out.reserve(lines, lines * 40);
    out.add(kStars67);
    out.add({"*", kBlanks.substr(0, kBoxWidth - 2), "*"});
    addBoxLine(out, "* Program Name : ", report.name);
    addBoxLine(out, "* Program Description : ", report.description);
    addBoxLine(out, "* Program Author : ", report.author.value_or(std::string()));
    addBoxLine(out, "* Company Name : ", report.company);
    out.add(kStars67);
    out.add({"Report ", report.name, "."});
    out.add("TYPE-POOLS : slis.");
    out.add("");
}

namespace {

// The output structure, the ALV tables, the program's data and the work areas
// the select-options refer to (one per distinct table).
void addDeclarations(const ReportDefinition& report, const Generated& g, SourceText& out) {
    addSectionBox(out, "*Type Declaration       *");
    out.add("");
    out.add("types : Begin OF t_Output,");
    for (std::size_t i = 0; i + 1 < g.outputFields.size(); ++i) {
        const OutputField& f = g.outputFields[i];
        out.add({"  ", f.field, " like ", f.table, "-", f.field, ","});
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
    if (report.layoutVariant) out.add("DATA: G_VARIANT TYPE DISVARIANT.");
    addSectionBox(out, "*Table Decl for O/P     *");
    out.add("DATA: IT_OUTPUT type STANDARD TABLE OF T_OUTPUT WITH HEADER LINE.");

    // One TABLES line per table, whatever the letter case its entries give it.
    std::unordered_set<std::string> declared;
    for (const SelectionEntry& e : report.selection) {
        if (!isSelectOption(e.settings)) continue;
        std::string_view table = e.table;
        if (declared.insert(text::upper(table)).second) out.add({"TABLES: ", table, "."});
    }
}

// Whether the report has a selection screen: inputs of its own or of its options.
bool hasSelectionScreen(const ReportDefinition& report) {
    return !report.selection.empty() || report.maxRows || report.layoutVariant;
}

// The selection screen: a line per entry, then the options' block. A report
// without inputs has none, and runs without asking anything.
void addSelectionScreen(const ReportDefinition& report, const Generated& g, SourceText& out) {
    if (!hasSelectionScreen(report)) return;
    std::string quoted;
    out.add(kStars25);
    out.add("*Selection Screen*");
    out.add(kStars25);
    if (report.selection.empty()) {
        addOptionsBlock(report, g.optionNames, out);
        return;
    }
    out.add("SELECTION-SCREEN: BEGIN OF BLOCK b1 WITH FRAME .");
    for (std::size_t i = 0; i < report.selection.size(); ++i) {
        const SelectionEntry& e = report.selection[i];
        const ScreenNames& names = g.screenNames[i];
        const std::string& field = e.field;
        const std::string& table = e.table;
        out.add(" SELECTION-SCREEN: BEGIN OF LINE.");
        out.add({" SELECTION-SCREEN: COMMENT 1(20) ", names.label, "."});
        if (names.selectOption)
            out.add({" SELECT-OPTIONS: ", names.input, " FOR ", table, "-", field});
        else
            out.add({" PARAMETER: ", names.input, " LIKE ", table, "-", field});
        out.add("");
        if (isRequired(e.settings)) out.add("  OBLIGATORY");
        out.add({"  DEFAULT '", text::abapQuoted(defaultValue(e.settings), quoted), "'."});
        out.add(" SELECTION-SCREEN: END OF LINE.");
    }
    out.add(" SELECTION-Screen: Skip 1.");
    out.add("SELECTION-SCREEN: END OF BLOCK b1..");
    addOptionsBlock(report, g.optionNames, out);
}

// The FORMs that read the rows and build the field catalog.
void addDataForms(const Generated& g, SourceText& out) {
    std::string quoted;
    out.add("");
    out.add("FORM GET_DATA.");
    addSectionBox(out, "*GET DATA FROM TABLES   *");
    out.add("");
    for (const std::string& line : g.selectLines) out.add(line);
    out.add("ENDFORM.");

    out.add("FORM BUILD_FIELD_CAT.");
    addSectionBox(out, "*Build ALV List Layout  *");
    out.add("");
    for (std::size_t i = 0; i + 1 < g.outputFields.size(); ++i) {
        const OutputField& f = g.outputFields[i];
        out.add({"  wa_fieldcat-fieldname = '", text::abapQuoted(f.field, quoted), "'."});
        out.add({"  wa_fieldcat-ref_tabname = '", text::abapQuoted(f.table, quoted), "'."});
        out.add("  wa_fieldcat-tabname = 'IT_OUTPUT'.");
        out.add({"  wa_fieldcat-seltext_m = '", text::abapQuoted(f.description, quoted), "'."});
        if (f.total) out.add("  wa_fieldcat-do_sum = 'X'.");
        out.add("  APPEND wa_fieldcat TO it_fieldcat.");
        out.add("  CLEAR wa_fieldcat.");
    }
    out.add("ENDFORM.");
}

// The sort order's FORM, written only when the report sorts.
void addSortForm(const Generated& g, SourceText& out) {
    if (g.sortColumns.empty()) return;
    std::string quoted;
    out.add("FORM BUILD_SORT.");
    addSectionBox(out, "*Build ALV Sort Order   *");
    out.add("");
    for (std::size_t k = 0; k < g.sortColumns.size(); ++k) {
        const OutputField& f = g.outputFields[g.sortColumns[k]];
        out.add({"  wa_sort-spos = ", std::to_string(k + 1), "."});
        out.add({"  wa_sort-fieldname = '", text::abapQuoted(f.field, quoted), "'."});
        out.add("  wa_sort-tabname = 'IT_OUTPUT'.");
        out.add(f.sortDescending ? "  wa_sort-down = 'X'." : "  wa_sort-up = 'X'.");
        if (f.subtotal) out.add("  wa_sort-subtot = 'X'.");
        out.add("  APPEND wa_sort TO it_sort.");
        out.add("  CLEAR wa_sort.");
    }
    out.add("ENDFORM.");
}

// The FORM that shows the list or grid.
void addDisplayForm(const ReportDefinition& report, const Generated& g, SourceText& out) {
    std::string quoted;
    out.add("FORM ALV_DISPLAY.");
    addSectionBox(out, "*DISPLAY REPORT IN ALV  *");
    out.add("perform alv_Eventtab_build.");
    if (report.layoutVariant) {
        out.add("G_VARIANT-REPORT = SY-REPID.");
        out.add({"G_VARIANT-VARIANT = ", g.optionNames.layoutInput, "."});
    }
    out.add(report.grid ? "CALL FUNCTION  'REUSE_ALV_GRID_DISPLAY'" : "CALL FUNCTION  'REUSE_ALV_LIST_DISPLAY'");
    out.add("  EXPORTING");
    out.add({"     i_callback_program             = '", text::abapQuoted(report.name, quoted), "'"});
    out.add("    it_fieldcat = it_fieldcat");
    if (!g.sortColumns.empty()) out.add("    it_sort = it_sort");
    if (report.layoutVariant) {
        out.add("    i_save = 'A'");
        out.add("    is_variant = G_VARIANT");
    }
    out.add(report.printHeading ? "    it_events = it_events" : "*     it_events = it_events");
    out.add("  TABLES");
    out.add("    t_outtab                       = IT_OUTPUT.");
    out.add("ENDFORM.");
}

// The event table's FORM and the heading written at the top of each page.
void addEventForms(const ReportDefinition& report, SourceText& out) {
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
    std::string_view heading = text::abapQuoted(report.heading, quoted);
    if (report.grid) {
        out.add("WA_LINE-typ = 'H'.");
        out.add({" WA_LINE-info = '", heading, "'."});
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
        out.add({"WRITE: AT 1 '", heading, "'."});
        out.add("  NEW-LINE.");
        out.add(" WRITE: AT 50 'Date:'(T03), sy-datum.");
    }
    out.add(" endform. ");
}

}  // namespace

void GenDeclarations(const ReportDefinition& report, Generated& g) {
    SourceText& out = g.text;
    std::string quoted;
    addDeclarations(report, g, out);
    addSelectionScreen(report, g, out);

    if (hasSelectionScreen(report)) {
        addSectionBox(out, "*AT Selection Screen O/P*");
        out.add("AT SELECTION-SCREEN OUTPUT.");
        for (std::size_t i = 0; i < report.selection.size(); ++i)
            out.add({g.screenNames[i].label, " = '", text::abapQuoted(report.selection[i].description, quoted),
                     "'."});
        addOptionEvents(g.optionNames, out);
    }
    out.add("");
    out.add("START-OF-SELECTION.");
    out.add("PERFORM GET_DATA.");
    out.add("PERFORM BUILD_FIELD_CAT.");
    if (!g.sortColumns.empty()) out.add("PERFORM BUILD_SORT.");
    out.add("PERFORM ALV_DISPLAY.");
}

void GenForms(const ReportDefinition& report, Generated& g) {
    addDataForms(g, g.text);
    addSortForm(g, g.text);
    addDisplayForm(report, g, g.text);
    addEventForms(report, g.text);
}

}  // namespace orvex
