#include "TranspilerFixes.h"

#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "AbapValues.h"
#include "Text.h"

namespace orvex::exec {

namespace {

// A source line cut into code, literals ('...', `...`, |...|) and the
// comment, so that rewrites touch code only.
struct Piece {
    enum Kind { Code, Literal, Comment } kind;
    std::string text;
};

std::vector<Piece> pieces(std::string_view line) {
    if (!line.empty() && line[0] == '*') return {{Piece::Comment, std::string(line)}};
    // A literal doubles its own delimiter inside (a template does not) and
    // may be left open to the end of the line; '"' comments out the rest.
    static const std::regex quoted(R"('(?:[^']|'')*'?|`(?:[^`]|``)*`?|\|[^|]*\|?|".*)");
    std::vector<Piece> out;
    const std::string text(line);
    std::size_t done = 0;
    for (auto m = std::sregex_iterator(text.begin(), text.end(), quoted); m != std::sregex_iterator(); ++m) {
        if (static_cast<std::size_t>(m->position()) > done) out.push_back({Piece::Code, text.substr(done, m->position() - done)});
        out.push_back({m->str()[0] == '"' ? Piece::Comment : Piece::Literal, m->str()});
        done = m->position() + m->length();
    }
    if (done < text.size()) out.push_back({Piece::Code, text.substr(done)});
    return out;
}

std::string joined(const std::vector<Piece>& parts, bool withComment = true) {
    std::string line;
    for (const Piece& p : parts)
        if (withComment || p.kind != Piece::Comment) line += p.text;
    return line;
}

const auto kIgnoreCase = std::regex::ECMAScript | std::regex::icase;

// Every sy-repid of the code (any letter case) as `literal`; a longer name
// that starts so stays.
std::string withProgramName(const std::string& code, const std::string& literal) {
    static const std::regex repid(R"((^|[^\w/-])sy-repid(?![\w/-]))", kIgnoreCase);
    std::string format = "$1";
    for (char c : literal) format += c == '$' ? std::string("$$") : std::string(1, c);
    return std::regex_replace(code, repid, format);
}

// The code and literals of a line, without its comment, trimmed.
std::string statementText(std::string_view line) { return std::string(text::trim(joined(pieces(line), false))); }

std::vector<std::string> lines(std::string_view source) {
    std::vector<std::string> out;
    std::istringstream in{std::string(source)};
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

bool declaresInput(const std::string& upperStatement) {
    static const std::regex declaration("^(PARAMETERS?|SELECT-OPTIONS)(?![A-Z0-9])");
    return std::regex_search(upperStatement, declaration);
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

// One input of the selection screen as the program declares it.
struct ScreenInput {
    std::string name;           // as declared: "P_CITYFR", "s_FLDATE"
    bool selectOption = false;
    std::string table, field;   // of LIKE, TYPE or FOR table-field; empty when typed otherwise
    std::optional<std::string> defaultValue;  // the DEFAULT literal's value
};

// The selection-screen inputs of the program, in order.
std::vector<ScreenInput> screenInputs(std::string_view source) {
    std::vector<ScreenInput> inputs;
    const std::vector<std::string> all = lines(source);
    for (std::size_t i = 0; i < all.size(); ++i) {
        std::string statement = statementText(all[i]);
        if (!declaresInput(text::upper(statement))) continue;
        // The statement runs on to the line whose code ends with a period.
        while (!statement.ends_with(".") && i + 1 < all.size()) statement += " " + statementText(all[++i]);
        // The name and the table field it refers to come before any literal.
        static const std::regex name(R"(^\S+?:?\s+([^\s(.,:]+))"), typed(R"(\b(?:LIKE|FOR|TYPE)\s+([\w/]+)-([\w/]+))", kIgnoreCase),
            defaultLiteral(R"(\bDEFAULT\s+('(?:[^']|'')*'))", kIgnoreCase);
        const std::string code = statement.substr(0, statement.find('\''));
        std::smatch m;
        ScreenInput input;
        input.selectOption = text::upper(statement).starts_with("SELECT-OPTIONS");
        if (std::regex_search(code, m, name)) input.name = m[1];
        if (std::regex_search(code, m, typed)) {
            input.table = text::upper(m.str(1));
            input.field = text::upper(m.str(2));
        }
        if (std::regex_search(statement, m, defaultLiteral)) {
            std::size_t at = 0;
            input.defaultValue = text::readLiteral(m.str(1), at);
        }
        inputs.push_back(input);
    }
    return inputs;
}

// The lines the tests add where SAP would have the user accept the screen.
std::vector<std::string> acceptedScreen(const std::vector<ScreenInput>& inputs) {
    std::vector<std::string> out;
    for (const ScreenInput& input : inputs) {
        if (input.table.empty()) continue;  // not typed by a dictionary field
        // A structure of SAP's own (the layout parameter's DISVARIANT): with
        // no DEFAULT the input starts initial here as on SAP.
        if (!findTable(input.table) && !input.defaultValue) continue;
        const DictField& field = dictField(input.table, input.field);
        const bool initial = screenValue(field, input.defaultValue.value_or("")) == initialValue(field);
        if (!initial) continue;
        if (input.selectOption) {
            // CLEAR s[] rather than REFRESH s: the transpiled REFRESH of a
            // table with header line clears the header line, not the rows.
            out.push_back("* An empty select-option puts no row into its selection table.");
            out.push_back("CLEAR " + input.name + "[].");
        } else {
            out.push_back("* An empty parameter holds the initial value of its type.");
            out.push_back("CLEAR " + input.name + ".");
        }
    }
    return out;
}

}  // namespace

std::string adaptForTranspiler(std::string_view source, const std::string& programName) {
    const std::string programLiteral = "'" + text::doubledApostrophes(programName) + "'";

    std::vector<std::string> kept, initialization, screenOutput, screenInput, valueRequests;
    std::vector<std::string>* target = &kept;
    int valueRequestCount = 0;
    for (std::string line : lines(source)) {
        std::vector<Piece> parts = pieces(line);
        for (Piece& p : parts)
            if (p.kind == Piece::Code) p.text = withProgramName(p.text, programLiteral);
        line = joined(parts);

        switch (blockAt(line)) {
            case Block::Initialization: target = &initialization; continue;
            case Block::ScreenOutput: target = &screenOutput; continue;
            case Block::ScreenInput: target = &screenInput; continue;
            case Block::ValueRequest:
                target = &valueRequests;
                target->push_back("ENDFORM.");  // closes the previous one; the first is dropped below
                target->push_back("FORM value_request_" + std::to_string(++valueRequestCount) + ".");
                target->push_back("* " + text::upper(statementText(line)));
                continue;
            case Block::Start:
            case Block::Other: target = &kept; break;
            case Block::None: break;
        }
        target->push_back(line);
    }
    if (!valueRequests.empty()) {
        valueRequests.erase(valueRequests.begin());
        valueRequests.push_back("ENDFORM.");
    }

    std::vector<std::string> out;
    bool started = false;
    for (const std::string& line : kept) {
        out.push_back(line);
        if (started || blockAt(line) != Block::Start) continue;
        started = true;
        out.push_back("* The execution tests run the selection screen's events here, in SAP's order.");
        out.insert(out.end(), initialization.begin(), initialization.end());
        out.insert(out.end(), screenOutput.begin(), screenOutput.end());
        const std::vector<std::string> accepted = acceptedScreen(screenInputs(source));
        out.insert(out.end(), accepted.begin(), accepted.end());
        out.insert(out.end(), screenInput.begin(), screenInput.end());
    }
    if (!started) throw std::runtime_error("the program has no START-OF-SELECTION");
    out.insert(out.end(), valueRequests.begin(), valueRequests.end());

    std::string text;
    for (const std::string& line : out) text += line + "\n";
    return text;
}

}  // namespace orvex::exec
