#pragma once
// Design files: a report definition as JSON (UTF-8), for the command line and
// the wizard's Save/Open.
#include <optional>
#include <string>

#include "ReportDefinition.h"

namespace orvex {

struct DesignLoad {
    std::optional<ReportDefinition> design;  // set on success
    std::string error;                        // one line, naming the place, e.g. "fields[2].table: expected a string"
    explicit operator bool() const { return design.has_value(); }
};

DesignLoad parseDesign(const std::string& jsonText);
DesignLoad loadDesignFile(const std::string& path);

std::string serializeDesign(const ReportDefinition& design);

struct DesignSave {
    bool ok = false;
    std::string error;
    explicit operator bool() const { return ok; }
};
// Writes atomically (see writeFileAtomically); a new file gets mode 0644.
DesignSave saveDesignFile(const std::string& path, const ReportDefinition& design);

}  // namespace orvex
