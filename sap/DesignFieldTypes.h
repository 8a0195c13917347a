#pragma once
// The dictionary types of the tables a design names, read for the design
// check. Neither generating nor creating the program needs them, so a read
// that fails (a release without a field list, no authorisation, a timeout)
// never fails the job: the types that could be read are kept, and the check
// says once that it skipped the type comparisons and why.
#include <optional>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "generator/DesignFindings.h"
#include "generator/ReportDefinition.h"
#include "sap/Operations.h"
#include "sap/TableReads.h"

namespace orvex::sap {

struct DesignFieldTypes {
    FieldTypes types;                 // the tables that were read
    std::vector<std::string> unread;  // the tables whose types stay unknown, upper case, by name
    std::optional<Failure> why;       // the first read that failed; none when every table was read
    // The design check's one notice of the skipped type comparisons (a
    // warning on the whole design), or none when nothing was skipped.
    std::optional<Finding> notice() const;
};

// The tables whose fields the design check compares: those the report reads
// (reportTables) and those both sides of the conditions name (no
// selection-screen marker), trimmed and upper case, each once, by name.
std::vector<std::string> designTables(const ReportDefinition& design);

// Reads the fields of every table of designTables(design) on `operations`
// (which log on by themselves). A failure that concerns one table (kind
// Function: the system refused that table) leaves that table unread and the
// reads go on; any other (no field list on this road, logon, timeout,
// connection, cancel) ends the reads, so a slow or refusing system is asked
// once.
DesignFieldTypes readDesignFieldTypes(Operations& operations, const ReportDefinition& design);

// Nothing read, for `why` (a logon that failed before any read).
DesignFieldTypes designFieldTypesUnread(const ReportDefinition& design, Failure why);

}  // namespace orvex::sap
