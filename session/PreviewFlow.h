#pragma once
// The data preview of a design, as the wizard's dialog and the command line
// both make it: the design check first (a design with errors is not
// previewed), then the query bound to the inputs' values, then the road's
// rows, shown under the output fields' descriptions with a line that says
// how many rows there are.
#include <cstddef>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "generator/DesignFindings.h"
#include "generator/ReportDefinition.h"
#include "generator/ReportQuery.h"
#include "sap/DataPreview.h"

namespace orvex::session {

// The plan a preview of `design` runs (its inputs, bound with bindQuery);
// refused (kind Refused) with the design check's first error ("error: ...")
// or the plan's refusal.
Result<ReportPlan> previewPlan(const ReportDefinition& design, const FieldTypeOf& typeOf = {});

enum class ColumnKind { Text, Number, Date };

// A column as the preview shows it.
struct ShownColumn {
    std::string header;  // the output field's description, else the system's label, else the field's name
    ColumnKind kind = ColumnKind::Text;
    bool operator==(const ShownColumn&) const = default;
};

// How each column of `preview` is shown: the output field of the same name
// gives the header; the system's type letter, else the field's dictionary
// type, tells numbers and dates.
std::vector<ShownColumn> shownColumns(const ReportQuery& query, const sap::DataPreview& preview,
                                      const FieldTypeOf& typeOf = {});

// "100 of 2,345 rows" when the number of all rows is known and larger,
// "12 rows" (or "1 row", "no rows") when these are all, and "first 100 rows"
// when more may follow. `asked` is the number of rows the preview asked for.
std::string countLine(const sap::DataPreview& preview, std::size_t asked);

}  // namespace orvex::session
