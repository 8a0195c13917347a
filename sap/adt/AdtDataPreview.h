#pragma once
// The data preview over ADT: one SELECT through the system's SQL console
// (POST /sap/bc/adt/datapreview/freestyle), which runs it with the row limit
// and answers column by column. It only reads: no lock, no write, no
// activation, and a stateless request like every read.
#include <pugixml.hpp>

#include <cstddef>
#include <optional>
#include <string>

#include "common/Failure.h"
#include "sap/DataPreview.h"
#include "sap/adt/AdtSession.h"

namespace orvex::sap::adt {

// What one answer may hold; SAP's transparent tables have fewer than 1000
// fields, and the caller's row limit bounds the rows.
inline constexpr std::size_t kPreviewMaxColumns = 4096;
inline constexpr std::size_t kPreviewMaxRows = 100'000;
inline constexpr std::size_t kPreviewMaxCells = 5'000'000;

struct PreviewRequest {
    // One SELECT in the strict syntax of release 7.40 (comma lists, "~"),
    // without INTO and UP TO: the console adds both itself.
    std::string statement;
    std::size_t rows = 100;  // the row limit, 1 to kPreviewMaxRows
    bool count = false;      // also count all rows, with a second SELECT COUNT(*)
};

// Runs the preview on `session` (logging on when needed). A system whose
// discovery document lists no data preview, or that answers 404, gives the
// failure previewNotOffered; SAP refusing the statement (a syntax error, no
// authorisation for a table) gives a Function failure with SAP's own text.
// Cancel with session.cancel().
Result<DataPreview> previewData(AdtSession& session, const PreviewRequest& request);

// The console's answer read into rows: row i is the i-th value of every
// column. A Reply failure when it is no table of data, when its columns
// differ in length, or when it holds more than `maxRows` rows or than the
// bounds above.
Result<DataPreview> previewRows(const pugi::xml_document& doc, std::size_t maxRows);

// "SELECT COUNT(*) FROM ..." for the rows `statement` selects: its FROM
// clause and everything after it, an ORDER BY left off. None when a count of
// that is not the number of rows `statement` gives (DISTINCT, GROUP BY,
// HAVING, UNION) or when it has no FROM.
std::optional<std::string> countStatement(const std::string& statement);

}  // namespace orvex::sap::adt
