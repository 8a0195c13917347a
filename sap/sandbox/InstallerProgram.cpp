#include "sap/sandbox/InstallerProgram.h"

#include "common/Text.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <stdexcept>

namespace orvex::sap::sandbox {

namespace {

struct SyntaxError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct SourceToken {
    bool literal = false;
    std::string text;  // words upper-cased
    std::size_t row = 0;
};

using SourceStatement = std::vector<SourceToken>;

const std::set<std::string>& trdirComponents() {
    static const std::set<std::string> names = {"NAME",  "EDTX",  "SUBC",  "SECU",  "CNAM",    "CDAT",
                                                "UNAM",  "UDAT",  "VERN",  "LEVL",  "RSTAT",   "RMAND",
                                                "RLOAD", "FIXPT", "SSET",  "SDATE", "STIME",   "IDATE",
                                                "ITIME", "LDBNAME", "UCCHECK"};
    return names;
}

std::vector<SourceStatement> statements(const std::vector<std::string>& rows) {
    std::vector<SourceStatement> out;
    SourceStatement current;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::string& row = rows[r];
        const std::size_t rowNo = r + 1;
        if (text::length(row) > kProgramRowWidth)
            throw SyntaxError("Line " + std::to_string(rowNo) + " is longer than 72 characters");
        if (!row.empty() && row[0] == '*') continue;  // comment line
        std::size_t i = 0;
        while (i < row.size()) {
            const char c = row[i];
            if (c == ' ' || c == '\t') {
                ++i;
            } else if (c == '"') {
                break;  // comment to the end of the row
            } else if (c == '\'') {
                auto value = text::readLiteral(row, i);
                if (!value) throw SyntaxError("Literal not closed in line " + std::to_string(rowNo));
                current.push_back({true, *value, rowNo});
            } else if (c == '.') {
                if (!current.empty()) out.push_back(std::move(current));
                current.clear();
                ++i;
            } else if (c == ',') {
                ++i;
            } else if (c == ':') {
                throw SyntaxError("Chained statements are not supported (line " + std::to_string(rowNo) + ")");
            } else {
                std::size_t start = i;
                while (i < row.size() && row[i] != ' ' && row[i] != '\t' && row[i] != '.' && row[i] != ',' &&
                       row[i] != '\'' && row[i] != '"' && row[i] != ':')
                    ++i;
                current.push_back({false, text::upper(row.substr(start, i - start)), rowNo});
            }
        }
    }
    if (!current.empty()) throw SyntaxError("The last statement is not closed by a period");
    // Literals joined by the literal operator & are one literal.
    for (SourceStatement& s : out) {
        SourceStatement joined;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (!s[i].literal && s[i].text == "&" && !joined.empty() && joined.back().literal && i + 1 < s.size() &&
                s[i + 1].literal) {
                joined.back().text += s[i + 1].text;
                ++i;
                continue;
            }
            joined.push_back(s[i]);
        }
        s = std::move(joined);
    }
    return out;
}

class Checker {
public:
    Result<std::vector<InstallerAction>> run(const std::vector<std::string>& rows) {
        try {
            for (const SourceStatement& s : statements(rows)) statement(s);
            if (underIf_) throw SyntaxError("IF is not closed by ENDIF");
            return std::move(actions_);
        } catch (const SyntaxError& e) {
            return failure(FailureKind::Refused, e.what());
        }
    }

private:
    [[noreturn]] static void fail(const SourceToken& at, const std::string& what) {
        throw SyntaxError(what + " (line " + std::to_string(at.row) + ")");
    }

    void statement(const SourceStatement& s) {
        const SourceToken& first = s[0];
        if (first.literal) fail(first, "Statement begins with a literal");
        const std::string& word = first.text;
        if (word == "IF" || word == "ENDIF") return condition(s);
        if (underIf_ && word != "WRITE") fail(first, "Only WRITE is supported under IF");
        if (word == "REPORT" || word == "PROGRAM") {
            if (s.size() < 2 || s[1].literal) fail(first, word + " needs a program name");
            return;
        }
        if (word == "DATA") return declaration(s);
        if (word == "CALL") return call(s);
        if (word == "WRITE") return write(s);
        if (word == "APPEND") return append(s);
        if (word == "INSERT") return insertTextPool(s);
        if (s.size() >= 3 && !s[1].literal && s[1].text == "=") return assignment(s);
        fail(first, "Statement " + word + " is not supported");
    }

    // DATA name LIKE TRDIR, DATA name LIKE TEXTPOOL, DATA name TYPE TABLE OF TEXTPOOL.
    void declaration(const SourceStatement& s) {
        for (const SourceToken& t : s)
            if (t.literal) fail(t, "Use DATA name LIKE TRDIR");
        if (s.size() == 6 && s[2].text == "TYPE" && s[3].text == "TABLE" && s[4].text == "OF") {
            if (s[5].text != "TEXTPOOL") fail(s[5], "Tables of " + s[5].text + " are not supported");
            tables_[s[1].text].clear();
            return;
        }
        if (s.size() != 4 || (s[2].text != "LIKE" && s[2].text != "TYPE")) fail(s[0], "Use DATA name LIKE TRDIR");
        if (s[3].text != "TRDIR" && s[3].text != "TEXTPOOL") fail(s[3], "Type " + s[3].text + " is not supported");
        variables_[s[1].text].clear();
        types_[s[1].text] = s[3].text;
    }

    void assignment(const SourceStatement& s) {
        if (s.size() != 3) fail(s[0], "Incorrect assignment");
        const std::string& target = s[0].text;
        const auto dash = target.find('-');
        if (dash == std::string::npos) fail(s[0], "Field " + target + " is unknown");
        auto var = variables_.find(target.substr(0, dash));
        if (var == variables_.end()) fail(s[0], "Field " + target.substr(0, dash) + " is unknown");
        const std::string component = target.substr(dash + 1);
        const std::string& type = types_[var->first];
        if (type == "TEXTPOOL") {
            static const std::set<std::string> textpool = {"ID", "KEY", "ENTRY", "LENGTH"};
            if (!textpool.count(component)) fail(s[0], "TEXTPOOL has no component " + component);
        } else if (!trdirComponents().count(component)) {
            fail(s[0], "TRDIR has no component " + component);
        }
        var->second[component] = value(s[2]);
        // Stricter than ABAP, which would cut them: an ID of one character, a key of up to eight.
        const std::size_t width = component == "ID" ? 1 : component == "KEY" ? 8 : 0;
        if (type == "TEXTPOOL" && width && text::length(var->second[component]) > width)
            fail(s[0], component + " " + var->second[component] + " is too long");
    }

    std::string value(const SourceToken& t) {
        if (t.literal) return std::string(text::trimEnd(t.text));
        if (!t.text.empty() && std::all_of(t.text.begin(), t.text.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return t.text;  // a number
        const auto dash = t.text.find('-');
        auto var = variables_.find(t.text.substr(0, dash));
        if (var == variables_.end() || dash == std::string::npos) fail(t, "Field " + t.text + " is unknown");
        auto it = var->second.find(t.text.substr(dash + 1));
        return it == var->second.end() ? std::string() : it->second;
    }

    // APPEND work-area TO table, for a TEXTPOOL work area.
    void append(const SourceStatement& s) {
        if (s.size() != 4 || s[1].literal || s[2].literal || s[2].text != "TO" || s[3].literal)
            fail(s[0], "Use APPEND work-area TO table");
        auto area = variables_.find(s[1].text);
        if (area == variables_.end() || types_[s[1].text] != "TEXTPOOL") fail(s[1], "Field " + s[1].text + " is unknown");
        auto table = tables_.find(s[3].text);
        if (table == tables_.end()) fail(s[3], "Table " + s[3].text + " is unknown");
        auto component = [&](const char* name) {
            auto it = area->second.find(name);
            return it == area->second.end() ? std::string() : it->second;
        };
        const std::string length = component("LENGTH");
        table->second.push_back({component("ID"), component("KEY"), component("ENTRY"),
                                 length.empty() ? 0 : std::stoi(length.substr(0, 9))});
    }

    // INSERT TEXTPOOL program FROM table LANGUAGE SY-LANGU.
    void insertTextPool(const SourceStatement& s) {
        if (s.size() != 7 || s[1].literal || s[1].text != "TEXTPOOL" || s[3].literal || s[3].text != "FROM" ||
            s[4].literal || s[5].literal || s[5].text != "LANGUAGE")
            fail(s[0], "Use INSERT TEXTPOOL program FROM table LANGUAGE SY-LANGU");
        if (s[6].literal || s[6].text != "SY-LANGU") fail(s[6], "Only the logon language SY-LANGU is supported");
        auto table = tables_.find(s[4].text);
        if (table == tables_.end()) fail(s[4], "Table " + s[4].text + " is unknown");
        InstallerAction a;
        a.kind = InstallerAction::Kind::InsertTextPool;
        a.program = value(s[2]);
        if (a.program.empty()) fail(s[2], "The program name is missing");
        for (const TextPoolRow& row : table->second)
            if (row.id.empty() || row.key.empty()) fail(s[0], "A text pool row lacks its ID or KEY");
        a.texts = table->second;
        actions_.push_back(std::move(a));
    }

    // IF SY-SUBRC <> 0. ... ENDIF. right after INSERT TEXTPOOL, the only
    // statement whose return code the sandbox keeps.
    void condition(const SourceStatement& s) {
        if (s[0].text == "ENDIF") {
            if (s.size() != 1 || !underIf_) fail(s[0], "ENDIF without IF");
            underIf_ = false;
            return;
        }
        if (underIf_) fail(s[0], "IF cannot be nested");
        if (s.size() != 4 || s[1].literal || s[1].text != "SY-SUBRC" || s[2].literal || s[2].text != "<>" ||
            s[3].literal || s[3].text != "0")
            fail(s[0], "Use IF SY-SUBRC <> 0");
        if (actions_.empty() || actions_.back().kind != InstallerAction::Kind::InsertTextPool)
            fail(s[0], "IF SY-SUBRC <> 0 must follow INSERT TEXTPOOL");
        underIf_ = true;
    }

    void write(const SourceStatement& s) {
        std::size_t i = 1;
        if (i < s.size() && !s[i].literal && s[i].text == "/") ++i;
        if (i + 1 != s.size() || !s[i].literal) fail(s[0], "WRITE takes one literal");
        InstallerAction a;
        a.kind = InstallerAction::Kind::Write;
        a.text = s[i].text;
        a.onlyOnFailure = underIf_;
        actions_.push_back(std::move(a));
    }

    // CALL FUNCTION's EXPORTING and CHANGING parameters by name; nothing else is taken.
    struct Parameters {
        std::map<std::string, SourceToken> exporting, changing;
    };
    Parameters parameters(const SourceStatement& s, const std::string& function) {
        Parameters p;
        std::map<std::string, SourceToken>* section = nullptr;
        for (std::size_t i = 3; i < s.size();) {
            const SourceToken& t = s[i];
            if (!t.literal && (t.text == "EXPORTING" || t.text == "CHANGING")) {
                section = t.text == "EXPORTING" ? &p.exporting : &p.changing;
                ++i;
                continue;
            }
            if (!t.literal && (t.text == "IMPORTING" || t.text == "TABLES" || t.text == "EXCEPTIONS"))
                fail(t, t.text + " is not supported here");
            if (!section || t.literal || i + 2 >= s.size() || s[i + 1].literal || s[i + 1].text != "=")
                fail(t, "Incorrect parameter list of " + function);
            (*section)[t.text] = s[i + 2];
            i += 3;
        }
        return p;
    }

    void call(const SourceStatement& s) {
        if (s.size() < 3 || s[1].literal || s[1].text != "FUNCTION" || !s[2].literal)
            fail(s[0], "Use CALL FUNCTION 'NAME'");
        const std::string function = text::upper(text::trimEnd(s[2].text));
        auto [exporting, changing] = parameters(s, function);

        auto take = [&](std::map<std::string, SourceToken>& from, const char* name) -> std::optional<std::string> {
            auto it = from.find(name);
            if (it == from.end()) return std::nullopt;
            std::string v = value(it->second);
            from.erase(it);
            return v;
        };
        auto noOthers = [&](const std::map<std::string, SourceToken>& left) {
            if (!left.empty()) fail(left.begin()->second, "Unknown parameter " + left.begin()->first + " of " + function);
        };

        if (function == "RS_EDTR_ATTR_EDIT") {
            InstallerAction a;
            a.kind = InstallerAction::Kind::SetAttributes;
            auto name = take(exporting, "PROGRAM_NAME");
            if (!name || name->empty()) fail(s[2], "PROGRAM_NAME is missing");
            a.program = *name;
            a.title = take(exporting, "PROGRAM_TITLE");
            a.withTrdirEntry = take(exporting, "WITH_TRDIR_ENTRY").value_or("") == "X";
            take(exporting, "SUPPRESS_DIALOG");
            auto trdir = changing.find("PROGRAM_TRDIR");
            if (trdir != changing.end()) {
                if (trdir->second.literal || types_[trdir->second.text] != "TRDIR")
                    fail(trdir->second, "PROGRAM_TRDIR needs a TRDIR work area");
                a.trdir = variables_[trdir->second.text];
                changing.erase(trdir);
            }
            noOthers(exporting);
            noOthers(changing);
            actions_.push_back(std::move(a));
            return;
        }
        if (function == "RS_WORKING_OBJECT_ACTIVATE") {
            InstallerAction a;
            a.kind = InstallerAction::Kind::Activate;
            auto object = take(exporting, "OBJECT");
            auto name = take(exporting, "OBJ_NAME");
            take(exporting, "OBJECT_SAVED");
            noOthers(exporting);
            noOthers(changing);
            if (!object || *object != "REPS") fail(s[2], "Only REPS objects can be activated");
            if (!name || name->empty()) fail(s[2], "OBJ_NAME is missing");
            a.program = *name;
            actions_.push_back(std::move(a));
            return;
        }
        fail(s[2], "Function " + function + " is not available");
    }

    std::map<std::string, std::map<std::string, std::string>> variables_;
    std::map<std::string, std::string> types_;  // work area -> TRDIR or TEXTPOOL
    std::map<std::string, std::vector<TextPoolRow>> tables_;
    std::vector<InstallerAction> actions_;
    bool underIf_ = false;
};

}  // namespace

Result<std::vector<InstallerAction>> checkInstallerProgram(const std::vector<std::string>& rows) { return Checker().run(rows); }

}  // namespace orvex::sap::sandbox
