#pragma once
// Design files: a report definition as JSON (UTF-8), for the command line and
// the wizard's Save/Open.
#include <string>

#include "common/Failure.h"
#include "generator/ReportDefinition.h"

namespace orvex {

// The design, or why not: one line naming the place, e.g. "fields[2].table:
// expected a string" or "description: line break" (kind Refused: malformed,
// or refused by checkDesign), or the file that cannot be read (kind File); a
// file's path leads its reason. Table names are read padded (as older
// files hold them) or trimmed, and come back trimmed (withTrimmedNames).
Result<ReportDefinition> parseDesign(const std::string& jsonText);
Result<ReportDefinition> loadDesignFile(const std::string& path);

std::string serializeDesign(const ReportDefinition& design);

// Writes atomically (see writeFileAtomically); a new file gets mode 0644.
Status saveDesignFile(const std::string& path, const ReportDefinition& design);

}  // namespace orvex
