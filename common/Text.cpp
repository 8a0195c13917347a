#include "common/Text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace orvex::text {

bool blank(std::string_view s) { return trimEnd(s).empty(); }

std::string_view trimEnd(std::string_view s) {
    std::size_t e = s.size();
    // Table names come padded to 40 characters: skip trailing spaces eight at a time.
    static constexpr char kEightSpaces[] = "        ";
    while (e >= 8 && std::memcmp(s.data() + e - 8, kEightSpaces, 8) == 0) e -= 8;
    while (e > 0 && isBlank(s[e - 1])) --e;
    return s.substr(0, e);
}

std::string_view trimSpacesEnd(std::string_view s) {
    std::size_t e = s.size();
    while (e > 0 && s[e - 1] == ' ') --e;
    return s.substr(0, e);
}

std::string_view trim(std::string_view s) {
    s = trimEnd(s);
    std::size_t b = 0;
    while (b < s.size() && isBlank(s[b])) ++b;
    return s.substr(b);
}

namespace {
// True for a byte that continues a UTF-8 sequence.
bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }
}  // namespace

// Bytes less continuation bytes (10xxxxxx), counted eight bytes at a time
// since every row of a large table read passes here.
std::size_t length(std::string_view s) {
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    std::size_t continuation = 0, i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        // One bit per continuation byte, moved to the byte's low bit and summed by a multiply.
        const std::uint64_t marks = (w & kHigh & ~(w << 1)) >> 7;
        continuation += static_cast<std::size_t>((marks * 0x0101010101010101ull) >> 56);
    }
    for (; i < s.size(); ++i) continuation += isContinuation(static_cast<unsigned char>(s[i]));
    return s.size() - continuation;
}

std::string_view prefix(std::string_view s, std::size_t n) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (!isContinuation(static_cast<unsigned char>(s[i]))) {
            if (count == n) return s.substr(0, i);
            ++count;
        }
    }
    return s;
}

std::string_view abapQuoted(std::string_view s, std::string& buffer) {
    if (s.find('\'') == std::string_view::npos) return s;
    buffer.clear();
    buffer.reserve(s.size() + 4);
    for (char c : s) {
        buffer.push_back(c);
        if (c == '\'') buffer.push_back('\'');
    }
    return buffer;
}

std::string doubledApostrophes(std::string_view s) {
    std::string buffer;
    return std::string(abapQuoted(s, buffer));
}

std::optional<std::string> readLiteral(std::string_view text, std::size_t& i) {
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

namespace {
char upperLetter(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = upperLetter(c);
    return out;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool sameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return upperLetter(x) == upperLetter(y); });
}

namespace {
// The length of the well-formed UTF-8 sequence at the start of `s`, 0 when
// there is none (a stray byte, an overlong form, a surrogate, past U+10FFFF).
std::size_t utf8Sequence(std::string_view s) {
    const auto byte = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    std::size_t size = 0;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) size = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else
        return 0;
    if (s.size() < size || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < size; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return size;
}
}  // namespace

std::string escapedControls(std::string_view s) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 0xF];
            ++i;
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const std::size_t size = utf8Sequence(s.substr(i));
        if (size == 0) {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 0xF];
            ++i;
        } else if (size == 2 && c == 0xC2 && static_cast<unsigned char>(s[i + 1]) < 0xA0) {
            const unsigned char code = static_cast<unsigned char>(s[i + 1]);  // U+0080 to U+009F
            out += "\\u00";
            out += digits[code >> 4];
            out += digits[code & 0xF];
            i += 2;
        } else {
            out.append(s.substr(i, size));
            i += size;
        }
    }
    return out;
}

}  // namespace orvex::text
