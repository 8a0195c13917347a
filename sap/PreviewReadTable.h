#pragma once
// The data preview of the RFC roads without a query of their own (SAP's RFC
// library, the SOAP service): standard RFC has no free SELECT, so a report
// reading one table is previewed through RFC_READ_TABLE (its filters as the
// OPTIONS rows, the row limit as ROWCOUNT); a report with joins is refused
// with the reason and the roads that can preview it.
#include "common/Failure.h"
#include "generator/ReportQuery.h"
#include "sap/DataPreview.h"
#include "sap/Rfc.h"

namespace orvex::sap {

// Reads on the component's open connection; only reads.
Result<DataPreview> previewByReadTable(Component& component, const ReportQuery& query, const PreviewOptions& options);

}  // namespace orvex::sap
