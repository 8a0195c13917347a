// The classic program's source writers, called in this order by
// GenerateProgram; each writes the plan into `out`.
#pragma once

#include <string>

#include "generator/ReportPlan.h"
#include "generator/SourceText.h"

namespace orvex {

// GenHeader starts the program afresh with the ten header lines.
void GenHeader(const ReportPlan& plan, SourceText& out);
// GenDeclarations appends the declarations, selection screen and events.
void GenDeclarations(const ReportPlan& plan, SourceText& out);
// GenForms appends the FORM routines.
void GenForms(const ReportPlan& plan, SourceText& out);

// The SELECT statement of GET_DATA, one piece per line, as GenForms writes it.
void addClassicSelect(const ReportPlan& plan, SourceText& out);

// The call that asks, as the standard table display does, whether the user
// may display the table named by `table` (a variable), and the IF that opens
// on a refusal; each line starts with `indent`. Both styles' checks use it.
void addViewAuthorityCall(SourceText& out, std::string_view indent, std::string_view table);

// The classic spelling of the selection screen's names: a label "VS_CARRI",
// a parameter "P_CARRID", a select-option "s_CARRID".
inline std::string classicLabel(const ScreenName& n) { return "VS_" + n.label; }
inline std::string classicParameter(const ScreenName& n) { return "P_" + n.input; }
inline std::string classicInput(const PlanInput& in) {
    return (in.kind == InputKind::SelectOption ? "s_" : "P_") + in.name.input;
}

}  // namespace orvex
