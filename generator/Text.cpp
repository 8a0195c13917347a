#include "Text.h"

#include <cstring>

namespace orvex::text {

std::string_view trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    // Table names come padded to 40 characters: skip trailing blanks eight at a time.
    static constexpr char kEightBlanks[] = "        ";
    while (e - b >= 8 && std::memcmp(s.data() + e - 8, kEightBlanks, 8) == 0) e -= 8;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}

namespace {
// True for a byte that continues a UTF-8 sequence.
bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }
}  // namespace

std::size_t length(std::string_view s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if (!isContinuation(c)) ++n;
    return n;
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

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

}  // namespace orvex::text
