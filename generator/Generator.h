#pragma once
// Turns a report definition into the ABAP source: the plan of the report
// (generator/ReportPlan.h), rendered by the writers of its code style. A
// design the plan refuses, or a program too long for SAP, gives a failure
// (kind Refused, one line for the user) and nothing is produced.
#include <cstddef>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "generator/DesignCheck.h"
#include "generator/ReportDefinition.h"
#include "generator/ReportPlan.h"
#include "generator/SourceText.h"

namespace orvex {

// The whole program as written to a file: every line followed by LF.
std::string programText(const std::vector<std::string>& source);

// What GenerateProgram hands back of the program: the line list and the text
// (for the screens and the installation), or the text alone (for writing a
// file), which spares one allocation per line.
enum class SourceForm { LinesAndText, TextOnly };

// A text symbol of the program's text pool: the program writes it as
// 'text'(key), so that it shows the text typed where the pool lacks it.
struct TextSymbol {
    std::string key;        // three characters: "001"
    std::string text;       // as typed
    std::size_t maxLength;  // the room the program gives it, at least the text's length
    bool operator==(const TextSymbol&) const = default;
};

// The program of one generation run.
struct Generated {
    std::vector<std::string> source;  // one line per entry, without terminators (LinesAndText only)
    SourceText text;                  // the same program as one text, every line followed by LF
    // The text symbols the program uses, by key; empty when its texts are literals.
    std::vector<TextSymbol> textPool;
};

using GenerationResult = Result<Generated>;

inline constexpr std::size_t kMaxSourceLines = 32768;

// The texts of the option inputs on the selection screen, in both code styles.
inline constexpr std::size_t kOptionLabelWidth = 24;
inline constexpr const char* kMaxRowsText = "Maximum number of hits";
inline constexpr const char* kLayoutText = "Layout";
inline constexpr const char* kMaxRowsRefused = "Enter 0 (every row) or a positive number of hits";
// The message of a refused table authorisation, the table's name after it.
inline constexpr const char* kAuthorityRefused = "No authorisation to display table";

// Plans the report and writes its program; the header names report.author
// (empty when absent: callers resolve it from the settings beforehand).
// Refuses what planReport refuses, a program of more than kMaxSourceLines
// lines and one with a line longer than ABAP takes.
GenerationResult GenerateProgram(const ReportDefinition& report, SourceForm form = SourceForm::LinesAndText);

}  // namespace orvex
