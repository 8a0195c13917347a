#include <CLI/CLI.hpp>

#include "Commands.h"

namespace orvex::app {

void addSapCommands(CLI::App& /*app*/, int& /*exitCode*/) {}

}  // namespace orvex::app
