#include "DesignFile.h"

namespace orvex {

DesignLoad parseDesign(const std::string&) { return {std::nullopt, "design files are not supported yet"}; }
DesignLoad loadDesignFile(const std::string&) { return {std::nullopt, "design files are not supported yet"}; }
std::string serializeDesign(const ReportDefinition&) { return "{}"; }
DesignSave saveDesignFile(const std::string&, const ReportDefinition&) { return {false, "design files are not supported yet"}; }

}  // namespace orvex
