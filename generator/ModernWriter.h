// The modern program's writer, used instead of the classic writers for
// CodeStyle::Modern.
#pragma once

#include "generator/Generator.h"

namespace orvex {

// The whole program in ABAP 7.40 syntax into g.text: a local class reading with
// one SELECT and showing the rows through CL_SALV_TABLE.
void GenModern(const ReportDefinition& report, Generated& g);

}  // namespace orvex
