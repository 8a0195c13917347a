#pragma once
// orvex-cli preview: the rows of a design's query on the SAP system, before
// any program exists.
namespace CLI {
class App;
}

namespace orvex::app {

void addPreviewCommand(CLI::App& app, int& exitCode);

}  // namespace orvex::app
