#pragma once
// Small text helpers shared by the program installation, the table reads
// and the sandbox system: ABAP literals, UTF-8 character counts, blanks.
#include <cctype>
#include <cstddef>
#include <optional>
#include <string>

namespace orvex::sap {

// Doubles every apostrophe, so the text stays inside its ABAP literal.
inline std::string doubledApostrophes(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

// Length in characters, not bytes (UTF-8).
inline std::size_t characters(const std::string& text) {
    std::size_t n = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

inline std::string rightTrimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

inline std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Reads the literal whose opening apostrophe is at `i`; '' stands for one
// apostrophe. Moves `i` past the closing apostrophe. Nothing when the literal
// is not closed.
inline std::optional<std::string> readLiteral(const std::string& text, std::size_t& i) {
    std::string value;
    ++i;
    for (;;) {
        if (i >= text.size()) return std::nullopt;
        if (text[i] == '\'') {
            if (i + 1 < text.size() && text[i + 1] == '\'') {
                value += '\'';
                i += 2;
                continue;
            }
            ++i;
            return value;
        }
        value += text[i++];
    }
}

}  // namespace orvex::sap
