#pragma once
// orvex-cli's commands that talk to the SAP system.
#include <memory>
#include <string>

#include "common/Failure.h"
#include "generator/ReportDefinition.h"
#include "sap/DesignFieldTypes.h"

namespace CLI {
class App;
}

namespace orvex::app {

// Logs on with the settings file and reads the field types of every table
// the design names. A failed logon or read leaves types unknown and says why
// in the result's notice ("No connection to R/3!: ...", "the fields of table
// X could not be read: ..."); it never stops the command.
sap::DesignFieldTypes designFieldTypes(const ReportDefinition& design);

// The operations on the road the settings file chooses, logged on; a
// failure's reason is the whole line to tell ("No connection to R/3!: ...").
Result<std::unique_ptr<sap::Operations>> openOperations();

// orvex-cli check-name / tables / fields / joins / install / ping
void addSapCommands(CLI::App& app, int& exitCode);

}  // namespace orvex::app
