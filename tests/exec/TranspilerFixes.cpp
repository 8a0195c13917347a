#include "TranspilerFixes.h"

#include <cctype>
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
    std::vector<Piece> out;
    if (!line.empty() && line[0] == '*') return {{Piece::Comment, std::string(line)}};
    std::string code;
    for (std::size_t i = 0; i < line.size();) {
        const char c = line[i];
        if (c == '"') {
            if (!code.empty()) out.push_back({Piece::Code, code});
            out.push_back({Piece::Comment, std::string(line.substr(i))});
            return out;
        }
        if (c == '\'' || c == '`' || c == '|') {
            if (!code.empty()) out.push_back({Piece::Code, code});
            code.clear();
            std::size_t end = i + 1;
            while (end < line.size()) {
                if (line[end] == c && end + 1 < line.size() && line[end + 1] == c && c != '|') {
                    end += 2;  // a doubled quote inside the literal
                } else if (line[end] == c) {
                    break;
                } else {
                    ++end;
                }
            }
            end = std::min(end + 1, line.size());
            out.push_back({Piece::Literal, std::string(line.substr(i, end - i))});
            i = end;
            continue;
        }
        code += c;
        ++i;
    }
    if (!code.empty()) out.push_back({Piece::Code, code});
    return out;
}

std::string joined(const std::vector<Piece>& parts, bool withComment = true) {
    std::string line;
    for (const Piece& p : parts)
        if (withComment || p.kind != Piece::Comment) line += p.text;
    return line;
}

// The line with `rewrite` applied to its code only.
template <typename Rewrite>
std::string rewriteCode(std::string_view line, Rewrite rewrite) {
    std::vector<Piece> parts = pieces(line);
    for (Piece& p : parts)
        if (p.kind == Piece::Code) p.text = rewrite(p.text);
    return joined(parts);
}

bool nameCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '/'; }

// Every sy-repid of the code (any letter case) as `literal`.
std::string withProgramName(const std::string& code, const std::string& literal) {
    const std::string name = "SY-REPID", upperCode = text::upper(code);
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = upperCode.find(name); at != std::string::npos; at = upperCode.find(name, at + 1)) {
        const std::size_t end = at + name.size();
        if ((at > 0 && nameCharacter(code[at - 1])) || (end < code.size() && nameCharacter(code[end]))) continue;
        out += code.substr(from, at - from) + literal;
        from = end;
    }
    return out + code.substr(from);
}

// "p TYPE c LENGTH n" as "p(n) TYPE c"; other words keep their spacing.
std::string withLengthInName(const std::string& code) {
    std::vector<std::pair<std::size_t, std::size_t>> words;  // begin, end
    for (std::size_t i = 0; i < code.size();) {
        if (text::isBlank(code[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < code.size() && !text::isBlank(code[end])) ++end;
        words.emplace_back(i, end);
        i = end;
    }
    auto word = [&](std::size_t k) { return text::upper(code.substr(words[k].first, words[k].second - words[k].first)); };
    for (std::size_t k = 0; k + 4 < words.size(); ++k) {
        const std::string length = code.substr(words[k + 4].first, words[k + 4].second - words[k + 4].first);
        const std::size_t digits = length.find_first_not_of("0123456789");
        if (word(k + 1) != "TYPE" || word(k + 2) != "C" || word(k + 3) != "LENGTH" || digits == 0) continue;
        return code.substr(0, words[k].second) + "(" + length.substr(0, digits) + ") TYPE c" +
               (digits == std::string::npos ? "" : length.substr(digits)) + code.substr(words[k + 4].second);
    }
    return code;
}

// The code and literals of a line, without its comment, trimmed.
std::string statementText(std::string_view line) { return std::string(text::trim(joined(pieces(line), false))); }

std::vector<std::string> lines(std::string_view source) {
    std::vector<std::string> out;
    std::size_t begin = 0;
    while (begin < source.size()) {
        const std::size_t end = source.find('\n', begin);
        if (end == std::string_view::npos) {
            out.emplace_back(source.substr(begin));
            break;
        }
        out.emplace_back(source.substr(begin, end - begin));
        begin = end + 1;
    }
    return out;
}

// Words of a statement; a literal is one word, and the period, comma and
// colon that end a word are cut off.
std::vector<std::string> words(std::string_view statement) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < statement.size();) {
        if (text::isBlank(statement[i])) {
            ++i;
            continue;
        }
        if (statement[i] == '\'') {
            const std::size_t start = i;
            if (!text::readLiteral(statement, i)) throw std::runtime_error("an open literal in: " + std::string(statement));
            out.emplace_back(statement.substr(start, i - start));
            continue;
        }
        std::size_t end = i;
        while (end < statement.size() && !text::isBlank(statement[end]) && statement[end] != '\'') ++end;
        std::string word(statement.substr(i, end - i));
        while (!word.empty() && (word.back() == '.' || word.back() == ',' || word.back() == ':')) word.pop_back();
        if (!word.empty()) out.push_back(word);
        i = end;
    }
    return out;
}

bool startsWithWord(const std::string& upperStatement, std::string_view keyword) {
    return upperStatement.starts_with(keyword) &&
           (upperStatement.size() == keyword.size() || !std::isalnum(static_cast<unsigned char>(upperStatement[keyword.size()])) ||
            upperStatement[keyword.size()] == ':');
}

bool declaresInput(const std::string& upperStatement) {
    return startsWithWord(upperStatement, "PARAMETER") || startsWithWord(upperStatement, "PARAMETERS") ||
           startsWithWord(upperStatement, "SELECT-OPTIONS");
}

// The kinds of block that start at a line.
enum class Block { None, Initialization, ScreenOutput, ScreenInput, ValueRequest, Start, Other };

Block blockAt(const std::string& line) {
    const std::string s = text::upper(statementText(line));
    if (s == "INITIALIZATION.") return Block::Initialization;
    if (s.starts_with("AT SELECTION-SCREEN OUTPUT")) return Block::ScreenOutput;
    if (s.starts_with("AT SELECTION-SCREEN ON VALUE-REQUEST") || s.starts_with("AT SELECTION-SCREEN ON HELP-REQUEST"))
        return Block::ValueRequest;
    if (s.starts_with("AT SELECTION-SCREEN")) return Block::ScreenInput;
    if (s == "START-OF-SELECTION.") return Block::Start;
    for (const char* other : {"END-OF-SELECTION", "TOP-OF-PAGE", "END-OF-PAGE", "AT LINE-SELECTION", "AT USER-COMMAND",
                              "AT PF", "LOAD-OF-PROGRAM", "GET ", "FORM ", "CLASS ", "MODULE "})
        if (s.starts_with(other)) return Block::Other;
    return Block::None;
}

// The lines the tests add where SAP would have the user accept the screen.
std::vector<std::string> acceptedScreen(const std::vector<ScreenInput>& inputs, const Dictionary& dictionary) {
    std::vector<std::string> out;
    for (const ScreenInput& input : inputs) {
        if (input.table.empty()) continue;  // not typed by a dictionary field
        // A structure of SAP's own (the layout parameter's DISVARIANT): with
        // no DEFAULT the input starts initial here as on SAP.
        if (!dictionary.find(input.table) && !input.defaultValue) continue;
        const DictField& field = dictionary.table(input.table).field(input.field);
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

std::vector<ScreenInput> screenInputs(std::string_view source) {
    std::vector<ScreenInput> inputs;
    const std::vector<std::string> all = lines(source);
    for (std::size_t i = 0; i < all.size(); ++i) {
        std::string statement = statementText(all[i]);
        if (!declaresInput(text::upper(statement))) continue;
        // The statement runs on to the line whose code ends with a period.
        while (!statement.ends_with(".") && i + 1 < all.size()) statement += " " + statementText(all[++i]);
        const std::vector<std::string> w = words(statement);
        ScreenInput input;
        input.selectOption = text::upper(w.at(0)).starts_with("SELECT-OPTIONS");
        input.name = w.at(1).substr(0, w.at(1).find('('));
        for (std::size_t k = 2; k + 1 < w.size(); ++k) {
            const std::string word = text::upper(w[k]);
            if ((word == "LIKE" || word == "FOR" || word == "TYPE") && w[k + 1].find('-') != std::string::npos) {
                input.table = text::upper(w[k + 1].substr(0, w[k + 1].find('-')));
                input.field = text::upper(w[k + 1].substr(w[k + 1].find('-') + 1));
            } else if (word == "DEFAULT" && w[k + 1].starts_with("'")) {
                std::size_t at = 0;
                input.defaultValue = text::readLiteral(w[k + 1], at);
            }
        }
        inputs.push_back(input);
    }
    return inputs;
}

std::string adaptForTranspiler(std::string_view source, const std::string& programName, const Dictionary& dictionary) {
    const std::string programLiteral = "'" + text::doubledApostrophes(programName) + "'";

    std::vector<std::string> kept, initialization, screenOutput, screenInput, valueRequests;
    std::vector<std::string>* target = &kept;
    bool inParameters = false;
    int valueRequestCount = 0;
    for (std::string line : lines(source)) {
        line = rewriteCode(line, [&](const std::string& code) { return withProgramName(code, programLiteral); });
        const std::string statement = text::upper(statementText(line));
        if (declaresInput(statement)) inParameters = statement.starts_with("PARAMETER");
        if (inParameters) line = rewriteCode(line, withLengthInName);
        if (inParameters && statement.ends_with(".")) inParameters = false;

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
        const std::vector<std::string> accepted = acceptedScreen(screenInputs(source), dictionary);
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
