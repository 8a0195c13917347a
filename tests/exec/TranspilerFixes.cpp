#include "TranspilerFixes.h"

#include <functional>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "AbapValues.h"
#include "Text.h"

namespace orvex::exec {

namespace {

const auto kIgnoreCase = std::regex::ECMAScript | std::regex::icase;

// What LEAVE LIST-PROCESSING becomes: the run's setup ends the run when it is called.
constexpr const char* kLeaveListProcessing = "ZEXEC_LEAVE_LIST_PROCESSING";

// A line with `code` applied to its code only, not to literals or the comment.
std::string rewritten(const std::string& line, const std::function<std::string(const std::string&)>& code, bool withComment) {
    if (!line.empty() && line[0] == '*') return withComment ? line : "";
    // A literal doubles its delimiter inside and may be left open; '"' starts a comment.
    static const std::regex quoted(R"('(?:[^']|'')*'?|`(?:[^`]|``)*`?|\|[^|]*\|?|".*)");
    std::string out;
    std::size_t done = 0;
    for (auto m = std::sregex_iterator(line.begin(), line.end(), quoted); m != std::sregex_iterator(); ++m) {
        out += code(line.substr(done, m->position() - done));
        if (withComment || m->str()[0] != '"') out += m->str();
        done = m->position() + m->length();
    }
    return out + code(line.substr(done));
}

// The code and literals of a line, without its comment, trimmed.
std::string statementText(const std::string& line) {
    return std::string(text::trim(rewritten(line, [](const std::string& code) { return code; }, false)));
}

std::vector<std::string> lines(std::string_view source) {
    std::vector<std::string> out;
    std::istringstream in{std::string(source)};
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The kinds of block that start at a line.
enum class Block { None, Initialization, ScreenOutput, ScreenInput, ValueRequest, Start, Other };

Block blockAt(const std::string& line) {
    const std::string s = text::upper(statementText(line));
    if (s == "INITIALIZATION.") return Block::Initialization;
    if (s.starts_with("AT SELECTION-SCREEN OUTPUT")) return Block::ScreenOutput;
    if (s.starts_with("AT SELECTION-SCREEN ON VALUE-REQUEST")) return Block::ValueRequest;
    if (s.starts_with("AT SELECTION-SCREEN")) return Block::ScreenInput;
    if (s == "START-OF-SELECTION.") return Block::Start;
    for (const char* other : {"END-OF-SELECTION", "TOP-OF-PAGE", "END-OF-PAGE", "AT LINE-SELECTION", "AT USER-COMMAND",
                              "AT PF", "LOAD-OF-PROGRAM", "GET ", "FORM ", "CLASS ", "MODULE "})
        if (s.starts_with(other)) return Block::Other;
    return Block::None;
}

// Where SAP's user accepts the screen: each input typed by a table field with an initial DEFAULT, cleared.
std::string acceptedScreen(std::string_view source) {
    static const std::regex declaration("^(PARAMETERS?|SELECT-OPTIONS)(?![A-Z0-9])", kIgnoreCase),
        name(R"(^\S+?:?\s+([^\s(.,:]+))"), typed(R"(\b(?:LIKE|FOR|TYPE)\s+([\w/]+)-([\w/]+))", kIgnoreCase),
        defaultLiteral(R"(\bDEFAULT\s+('(?:[^']|'')*'))", kIgnoreCase);
    std::string out;
    const std::vector<std::string> all = lines(source);
    for (std::size_t i = 0; i < all.size(); ++i) {
        std::string statement = statementText(all[i]);
        if (!std::regex_search(statement, declaration)) continue;
        // The statement runs on to the line whose code ends with a period.
        while (!statement.ends_with(".") && i + 1 < all.size()) statement += " " + statementText(all[++i]);
        // The name and the table field it refers to come before any literal.
        const std::string code = statement.substr(0, statement.find('\''));
        std::smatch input, type, literal;
        std::regex_search(code, input, name);
        if (!std::regex_search(code, type, typed)) continue;  // not typed by a table field
        std::optional<std::string> given;  // the DEFAULT literal's value
        std::size_t at = 0;
        if (std::regex_search(statement, literal, defaultLiteral)) given = text::readLiteral(literal.str(1), at);
        // A structure of SAP's own (DISVARIANT) without DEFAULT starts initial as on SAP.
        if (!findTable(text::upper(type.str(1))) && !given) continue;
        const DictField& field = dictField(text::upper(type.str(1)), text::upper(type.str(2)));
        if (screenValue(field, given.value_or("")) != initialValue(field)) continue;
        // CLEAR s[]: the transpiled REFRESH clears a header line, not the rows.
        if (text::upper(statement).starts_with("SELECT-OPTIONS"))
            out += "* An empty select-option puts no row into its selection table.\nCLEAR " + input.str(1) + "[].\n";
        else
            out += "* An empty parameter holds the initial value of its type.\nCLEAR " + input.str(1) + ".\n";
    }
    return out;
}

// The labels as the user sees the screen: each comment's text recorded
// (Z_SCREEN_LABEL, the stand-ins' own function).
std::string shownLabels(std::string_view source) {
    static const std::regex comment(R"(^SELECTION-SCREEN:?\s+COMMENT\s+\S+\s+([\w/]+)\.$)", kIgnoreCase);
    std::string out;
    for (const std::string& line : lines(source)) {
        const std::string statement = statementText(line);
        std::smatch m;
        if (std::regex_search(statement, m, comment))
            out += "CALL FUNCTION 'Z_SCREEN_LABEL' EXPORTING name = '" + text::upper(m.str(1)) + "' text = " + m.str(1) + ".\n";
    }
    return out;
}

}  // namespace

std::string adaptForTranspiler(std::string_view source, const std::string& programName) {
    // Every sy-repid of the code as the program's name; a longer name stays.
    static const std::regex repid(R"((^|[^\w/-])sy-repid(?![\w/-]))", kIgnoreCase);
    std::string format = "$1'";
    for (char c : text::doubledApostrophes(programName)) format += c == '$' ? std::string("$$") : std::string(1, c);
    format += "'";
    const auto withProgramName = [&](const std::string& code) { return std::regex_replace(code, repid, format); };

    std::string kept, initialization, screenOutput, screenInput, valueRequests;
    std::string* target = &kept;
    std::size_t start = std::string::npos;  // where the lines after START-OF-SELECTION begin in `kept`
    int valueRequestCount = 0;
    enum { NoOrder, OrderBy, OrderColumns } order = NoOrder;  // where the lines are in an ORDER BY
    for (const std::string& original : lines(source)) {
        std::string line = rewritten(original, withProgramName, true);
        const std::string code = text::upper(statementText(line));
        if (code == "LEAVE LIST-PROCESSING.") {
            line = line.substr(0, line.find_first_not_of(' ')) + "CALL FUNCTION '" + kLeaveListProcessing + "'.";
        }
        if (code == "ORDER BY") {
            order = OrderBy;
        } else if (order != NoOrder && (code.empty() || code.starts_with("."))) {
            order = code.empty() ? order : NoOrder;
        } else if (order == OrderColumns) {
            line = ", " + line;
        } else if (order == OrderBy) {
            order = OrderColumns;
        }
        switch (blockAt(line)) {
            case Block::Initialization: target = &initialization; continue;
            case Block::ScreenOutput: target = &screenOutput; continue;
            case Block::ScreenInput: target = &screenInput; continue;
            case Block::ValueRequest:
                // A FORM nobody calls, closed where the next one starts or at the end.
                target = &valueRequests;
                if (valueRequestCount++ > 0) valueRequests += "ENDFORM.\n";
                valueRequests += "FORM value_request_" + std::to_string(valueRequestCount) + ".\n* " + text::upper(statementText(line)) + "\n";
                continue;
            case Block::Start:
                if (start == std::string::npos) start = kept.size() + line.size() + 1;
                target = &kept;
                break;
            case Block::Other: target = &kept; break;
            case Block::None: break;
        }
        *target += line + "\n";
    }
    if (start == std::string::npos) throw std::runtime_error("the program has no START-OF-SELECTION");
    if (valueRequestCount > 0) valueRequests += "ENDFORM.\n";
    return kept.substr(0, start) + "* The execution tests run the selection screen's events here, in SAP's order.\n" +
           initialization + screenOutput + shownLabels(source) + acceptedScreen(source) + screenInput + kept.substr(start) + valueRequests;
}

}  // namespace orvex::exec
