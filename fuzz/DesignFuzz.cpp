// Arbitrary text read as a design and generated: a design taken is within the
// limits, and its program has the outline of the same design with plain texts,
// every line UTF-8 of at most 255 characters; the preview's SELECT with the
// inputs' defaults as values holds each value as one literal that reads back
// as it, in the filters' order, and nothing else in apostrophes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Text.h"
#include "generator/DesignCheck.h"
#include "generator/DesignFile.h"
#include "generator/Generator.h"
#include "generator/QueryStatement.h"
#include "tests/support/ProgramOutline.h"

using namespace orvex;

namespace {

// Well-formed UTF-8: no stray byte, overlong form, surrogate or past U+10FFFF.
bool isUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        char32_t v = 0, least = 0;
        if (c < 0x80) n = 1, v = c;
        else if ((c & 0xE0) == 0xC0) n = 2, v = c & 0x1F, least = 0x80;
        else if ((c & 0xF0) == 0xE0) n = 3, v = c & 0x0F, least = 0x800;
        else if ((c & 0xF8) == 0xF0) n = 4, v = c & 0x07, least = 0x10000;
        else return false;
        if (i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k) {
            const unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            v = (v << 6) | (d & 0x3F);
        }
        if (v < least || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return false;
        i += n;
    }
    return true;
}

// Every line of the program UTF-8 and at most 255 characters long.
bool linesFit(std::string_view program) {
    while (!program.empty()) {
        const std::size_t end = program.find('\n');
        const std::string_view line = program.substr(0, end);
        if (!isUtf8(line) || text::length(line) > kMaxLineLength) return false;
        if (end == std::string_view::npos) break;
        program.remove_prefix(end + 1);
    }
    return true;
}

// The literals of the statement, in order; none when one is not closed.
std::optional<std::vector<std::string>> literals(const std::string& statement) {
    std::vector<std::string> found;
    for (std::size_t i = 0; i < statement.size();) {
        if (statement[i] != '\'') {
            ++i;
            continue;
        }
        auto literal = text::readLiteral(statement, i);
        if (!literal) return std::nullopt;
        found.push_back(*literal);
    }
    return found;
}

// The query with each filter's input default as its value.
void checkStatement(const ReportDefinition& design) {
    const Result<ReportPlan> plan = planReport(design);
    if (!plan) return;
    ReportQuery query;
    query.plan = *plan;
    std::vector<std::string> values;
    for (const PlanFilter& f : plan->filters) {
        values.push_back(plan->inputs[f.input].defaultValue);
        query.filters.push_back({f.left, f.op == "IN" ? "=" : f.op, values.back(), f.input});
    }
    const Result<std::string> statement = queryStatement(query);
    if (!statement) return;
    if (literals(*statement) != values) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Result<ReportDefinition> design = parseDesign(text);
    if (!design) {
        if (design.failure().reason.empty()) __builtin_trap();  // a refusal says why
        return 0;
    }
    // Nothing larger than the limits is taken.
    if (text.size() > kMaxDesignBytes || design->fields.size() > kMaxDesignFields ||
        design->selection.size() > kMaxDesignInputs || design->conditions.size() > kMaxDesignConditions)
        __builtin_trap();
    // A design taken is written back as it was read, options included.
    const Result<ReportDefinition> again = parseDesign(serializeDesign(*design));
    if (!again || !(*again == *design)) __builtin_trap();
    const GenerationResult program = GenerateProgram(*design, SourceForm::TextOnly);
    if (!program) {
        if (program.failure().reason.empty()) __builtin_trap();
        return 0;
    }
    if (!linesFit(program->text.text())) __builtin_trap();  // SAP would refuse the program
    checkStatement(*design);
    const GenerationResult plain = GenerateProgram(testing::withPlaceholders(*design), SourceForm::TextOnly);
    if (!plain) __builtin_trap();  // the same design with plain texts is refused
    if (!testing::sameOutline(*design, testing::outlineOf(program->text.text()), testing::outlineOf(plain->text.text())))
        __builtin_trap();
    return 0;
}
