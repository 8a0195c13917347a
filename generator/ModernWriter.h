// The modern program's writer, used instead of the classic writers for
// CodeStyle::Modern.
#pragma once

#include "generator/ReportPlan.h"
#include "generator/SourceText.h"

namespace orvex {

// The whole program in ABAP 7.40 syntax into `out`: a local class reading with
// one SELECT and showing the rows through CL_SALV_TABLE.
void GenModern(const ReportPlan& plan, SourceText& out);

}  // namespace orvex
