#include "Generator.h"

namespace orvex {

GenerationResult GenerateProgram(const ReportDefinition& /*report*/) {
    return GenerationError{"not built yet"};
}

}  // namespace orvex
