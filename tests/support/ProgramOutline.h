#pragma once
// What a design's texts must never change in its program: the number of
// lines and the keyword each ABAP statement starts with. Shared by the
// property test over random designs and the design fuzz target.
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ReportDefinition.h"
#include "Text.h"

namespace orvex::testing {

struct ProgramOutline {
    std::size_t lines = 0;
    // Per statement (a chained statement counts once per part), its keyword
    // in upper case: the first word, "=" for an assignment (whose first word
    // is a name), "" for an empty statement (a lone period).
    std::vector<std::string> keywords;
    // A literal or string template left open at the end of its line.
    bool unclosedLiteral = false;
    bool operator==(const ProgramOutline&) const = default;
};

// Whether a program has the outline of its design with plain texts: the same
// statements, and for the classic program the same number of lines too (the
// modern one wraps a statement that passes column 120, so its line count
// follows the lengths of names and texts).
inline bool sameOutline(const ReportDefinition& design, const ProgramOutline& program, const ProgramOutline& plain) {
    if (program.unclosedLiteral || program.keywords != plain.keywords) return false;
    return design.style == CodeStyle::Modern || program.lines == plain.lines;
}

// For test failures: "12 lines: REPORT TYPE-POOLS ...".
inline std::string describe(const ProgramOutline& o) {
    std::string s = std::to_string(o.lines) + " lines" + (o.unclosedLiteral ? ", a literal left open" : "") + ":";
    for (const std::string& k : o.keywords) s += " " + (k.empty() ? std::string("(.)") : k);
    return s;
}

// Reads the program as ABAP's tokenizer does: "*" in column 1 comments a line
// out, '"' the rest of it; '...' and `...` are literals with the delimiter
// doubled inside, |...| a string template with "\" escaping; "." ends a
// statement, and after ":" every "," starts another part of the chain.
inline ProgramOutline outlineOf(std::string_view program) {
    ProgramOutline out;
    std::vector<std::string> words;  // of the statement (its chain part) so far; a literal is "'"
    std::size_t chainHead = 0;       // words before the chain's ":", which every part repeats
    bool chained = false;
    bool inWord = false;
    auto word = [&](char c) {
        if (!inWord) words.emplace_back();
        words.back() += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        inWord = true;
    };
    auto endStatement = [&](bool partOfChain) {
        if (words.empty()) out.keywords.emplace_back();
        else if (words.size() > 1 && words[1] == "=") out.keywords.emplace_back("=");
        else out.keywords.push_back(words[0]);
        words.resize(partOfChain ? chainHead : 0);
        if (!partOfChain) chained = false;
        inWord = false;
    };
    std::size_t start = 0;
    while (start < program.size()) {
        std::size_t end = program.find('\n', start);
        if (end == std::string_view::npos) end = program.size();
        const std::string_view line = program.substr(start, end - start);
        ++out.lines;
        start = end + 1;
        if (!line.empty() && line[0] == '*') continue;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '"') break;
            if (c == '\'' || c == '`' || c == '|') {
                words.emplace_back("'");
                inWord = false;
                std::size_t j = i + 1;
                for (; j < line.size(); ++j) {
                    const bool delimiter = line[j] == c;
                    const bool doubled = delimiter && c != '|' && j + 1 < line.size() && line[j + 1] == c;
                    if (delimiter && !doubled) break;
                    if (doubled || (c == '|' && line[j] == '\\')) ++j;  // one character more: "''", "\|"
                }
                out.unclosedLiteral = out.unclosedLiteral || j >= line.size();
                i = j;
                continue;
            }
            if (c == '.') {
                endStatement(false);
            } else if (c == ':') {
                chained = true;
                chainHead = words.size();
                inWord = false;
            } else if (c == ',' && chained) {
                endStatement(true);
            } else if (c == ' ' || c == '\t' || c == '\r') {
                inWord = false;
            } else {
                word(c);
            }
        }
        inWord = false;
    }
    if (!words.empty()) endStatement(false);
    return out;
}

// The same design with every free text replaced by a fixed one and every
// table and field name by a plain one (equal names stay equal, after
// trimming): whatever the design's texts held, its program must have the
// outline of this design's program.
inline ReportDefinition withPlaceholders(const ReportDefinition& d) {
    auto trimmed = [](std::string_view s) { return std::string(text::trim(s)); };
    // Names alike but for their letter case stay alike so: ABAP names do not
    // depend on it, and the generator declares such names once. Each name of
    // a class gets the class's placeholder in a letter case of its own.
    struct Names {
        std::map<std::string, std::pair<std::size_t, std::map<std::string, std::string>>> classes;
        std::string operator()(const std::string& base, const std::string& name) {
            auto& [number, variants] = classes.try_emplace(text::upper(name), classes.size() + 1, std::map<std::string, std::string>{}).first->second;
            const auto found = variants.find(name);
            if (found != variants.end()) return found->second;
            std::string placeholder = base;
            for (std::size_t k = 0; k < placeholder.size(); ++k)
                if ((variants.size() >> k) & 1u) placeholder[k] = static_cast<char>(placeholder[k] - 'A' + 'a');
            return variants.emplace(name, placeholder + std::to_string(number)).first->second;
        }
    } tables, fields;
    auto table = [&](const std::string& name) { return tables("TABLEX", trimmed(name)); };
    auto field = [&](const std::string& name) { return fields("FIELDX", trimmed(name)); };
    // A blank text stays blank: the modern program leaves out what a blank
    // text would fill (a header line, a column text, a label).
    auto text = [&](const std::string& s, const char* placeholder) {
        return trimmed(s).empty() ? std::string() : std::string(placeholder);
    };
    ReportDefinition p = d;
    if (!p.name.empty()) p.name = "ZNAME";
    p.description = text(p.description, "Description");
    p.company = text(p.company, "Company");
    if (p.author) p.author = text(*p.author, "AUTHOR");
    p.heading = "Heading";
    for (PickedField& f : p.fields) {  // sort, subtotal and total stay as they are
        f.table = table(f.table);
        f.field = field(f.field);
        f.description = text(f.description, "Label");
        if (f.reference) f.reference = ValueReference{f.reference->kind, table(f.reference->table), field(f.reference->field)};
    }
    for (SelectionEntry& e : p.selection) {
        // Kind, flag and their separators: the first four characters.
        const std::string head(text::prefix(e.settings, 4));
        e = {table(e.table), field(e.field), text(e.description, "Label"), head + (e.settings.size() > head.size() ? "Value" : "")};
    }
    for (Condition& c : p.conditions) {
        c.leftTable = table(c.leftTable);
        c.leftField = field(c.leftField);
        c.op = trimmed(c.op);
        if (c.rightTable != kSelectionScreenMarker) c.rightTable = table(c.rightTable);
        c.rightField = field(c.rightField);
    }
    return p;
}

}  // namespace orvex::testing
