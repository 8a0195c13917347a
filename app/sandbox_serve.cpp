#include <CLI/CLI.hpp>

#include "Commands.h"

namespace orvex::app {

void addServeCommand(CLI::App& /*app*/, int& /*exitCode*/) {}

}  // namespace orvex::app
