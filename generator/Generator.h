#pragma once
// Turns a report definition into the generation lists and the ABAP source.
#include <string>
#include <variant>
#include <vector>

#include "ReportDefinition.h"

namespace orvex {

struct TableAlias {
    std::string table;   // trimmed
    std::string alias;   // "A", "B", ...
};

struct OutputField {
    std::string alias;
    std::string field;
    std::string table;
    std::string description;
};

struct JoinRecord {
    std::string leftAlias;
    std::string leftClause;   // "SFLIGHT As A"
    std::string leftField;
    std::string op;
    std::string rightClause;
    std::string rightAlias;
    std::string rightField;
};

struct WhereRecord {
    std::string leftAlias;
    std::string leftField;
    std::string op;           // the row's operator, or " IN "
    std::string prefix;       // "P_" or "S_" (plus the screen name's rest)
    std::string screenField;
};

// Everything one generation run builds; each step's list stays visible.
struct Generated {
    std::vector<TableAlias> aliases;
    std::vector<OutputField> outputFields;   // ends with the terminating record
    std::vector<JoinRecord> joins;
    std::vector<WhereRecord> wheres;
    std::vector<std::string> selectLines;
    std::vector<std::string> source;         // the program, one line per entry
};

struct GenerationError {
    std::string message;
};

using GenerationResult = std::variant<Generated, GenerationError>;

inline constexpr std::size_t kMaxSourceLines = 32768;

// Builds the lists and the program; the header names report.author (empty
// when absent: callers resolve it from the settings beforehand).
GenerationResult GenerateProgram(const ReportDefinition& report);

}  // namespace orvex
