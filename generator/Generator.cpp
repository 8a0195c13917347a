// The generation driver: plans the report, runs the writers of its code
// style and refuses a program SAP would not take.
#include "generator/Generator.h"

#include "common/Text.h"
#include "generator/ModernWriter.h"
#include "generator/SourceWriters.h"

namespace orvex {

std::string programText(const std::vector<std::string>& source) {
    std::size_t size = 0;
    for (const std::string& line : source) size += line.size() + 1;
    std::string text;
    text.reserve(size);
    for (const std::string& line : source) {
        text += line;
        text += '\n';
    }
    return text;
}

GenerationResult GenerateProgram(const ReportDefinition& design, SourceForm form) {
    const Result<ReportPlan> plan = planReport(design);
    if (!plan) return plan.failure();
    Generated g;
    if (plan->style == CodeStyle::Modern) {
        GenModern(*plan, g.text);
    } else {
        GenHeader(*plan, g.text);
        GenDeclarations(*plan, g.text);
        GenForms(*plan, g.text);
    }
    const auto refusal = [](std::string message) { return failure(FailureKind::Refused, std::move(message)); };
    if (g.text.size() > kMaxSourceLines)
        return refusal("the program would have " + std::to_string(g.text.size()) + " lines; at most " +
                       std::to_string(kMaxSourceLines) + " are possible");
    // The design check keeps every text within its line; SAP refuses a longer
    // line, so a program holding one is never handed on.
    for (std::size_t i = 0; i < g.text.size(); ++i)
        if (const std::size_t length = text::length(g.text[i]); length > kMaxLineLength)
            return refusal("line " + std::to_string(i + 1) + " of the program would have " + std::to_string(length) +
                           " characters; ABAP allows " + std::to_string(kMaxLineLength));
    for (const PlanSymbol& s : plan->textSymbols) g.textPool.push_back(TextSymbol{s.key, s.text, s.room});
    if (form == SourceForm::LinesAndText) g.source = g.text.lines();
    return g;
}

}  // namespace orvex
