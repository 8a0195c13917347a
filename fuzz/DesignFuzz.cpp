// Feeds arbitrary text to the way a design file takes into a program: read
// and checked as a design, then generated. A design taken must give a program
// with the outline (lines, statement keywords) of the same design with plain
// texts and names: nothing in a design's texts may add a line or a statement.
#include <cstddef>
#include <cstdint>
#include <string>

#include "generator/DesignFile.h"
#include "generator/Generator.h"
#include "tests/support/ProgramOutline.h"

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Result<ReportDefinition> design = parseDesign(text);
    if (!design) {
        if (design.failure().reason.empty()) __builtin_trap();  // a refusal says why
        return 0;
    }
    // A design taken is written back as it was read, options included.
    const Result<ReportDefinition> again = parseDesign(serializeDesign(*design));
    if (!again || !(*again == *design)) __builtin_trap();
    const GenerationResult program = GenerateProgram(*design, SourceForm::TextOnly);
    if (!program) {
        if (program.failure().reason.empty()) __builtin_trap();
        return 0;
    }
    const GenerationResult plain = GenerateProgram(testing::withPlaceholders(*design), SourceForm::TextOnly);
    if (!plain) __builtin_trap();  // the same design with plain texts is refused
    if (!testing::sameOutline(*design, testing::outlineOf(program->text.text()), testing::outlineOf(plain->text.text())))
        __builtin_trap();
    return 0;
}
