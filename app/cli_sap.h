#pragma once
// orvex-cli's commands that talk to the SAP system.
#include <optional>
#include <string>

#include "generator/ReportDefinition.h"
#include "sap/TableReads.h"

namespace CLI {
class App;
}

namespace orvex::app {

// Logs on with the settings file and reads the field types of every table
// the design names; on failure says why on standard error as `command` does
// and sets `code`.
std::optional<sap::FieldTypes> designFieldTypes(const std::string& command, const ReportDefinition& design, int& code);

// orvex-cli check-name / tables / fields / joins / install / ping
void addSapCommands(CLI::App& app, int& exitCode);

}  // namespace orvex::app
