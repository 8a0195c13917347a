#pragma once
// orvex-cli's commands that write a program from a design file.
#include <optional>
#include <string>

#include "common/Failure.h"
#include "generator/DesignFindings.h"

namespace CLI {
class App;
}

namespace orvex::app {

// The design's warnings on standard error, one line each as `command`
// writes them, `notice` (the skipped type comparisons) among them; the first
// error, if there is one, as the failure.
Status tellFindings(const char* command, const std::string& path, const ReportDefinition& design,
                    const FieldTypeOf& typeOf = {}, const std::optional<Finding>& notice = std::nullopt);

// orvex-cli generate / export
void addGenerateCommand(CLI::App& app, int& exitCode);

}  // namespace orvex::app
