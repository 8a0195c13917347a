// The classic program's source writers, called in this order by
// GenerateProgram; each writes g.text.
#pragma once

#include "generator/Generator.h"

namespace orvex {

// GenHeader starts the program afresh with the ten header lines.
void GenHeader(const ReportDefinition& report, Generated& g);
// GenDeclarations appends the declarations, selection screen and events.
void GenDeclarations(const ReportDefinition& report, Generated& g);
// GenForms appends the five FORM routines.
void GenForms(const ReportDefinition& report, Generated& g);

}  // namespace orvex
