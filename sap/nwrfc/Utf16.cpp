#include "Utf16.h"

namespace orvex::nwrfc {

bool appendUtf16(std::string_view utf8, std::u16string& out) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        std::size_t extra;
        char32_t cp, least;
        if ((c & 0xE0) == 0xC0) extra = 1, cp = c & 0x1F, least = 0x80;
        else if ((c & 0xF0) == 0xE0) extra = 2, cp = c & 0x0F, least = 0x800;
        else if ((c & 0xF8) == 0xF0) extra = 3, cp = c & 0x07, least = 0x10000;
        else return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            if (i + k >= n || (s[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += extra + 1;
    }
    return true;
}

bool appendUtf8(std::u16string_view utf16, std::string& out) {
    const std::size_t n = utf16.size();
    for (std::size_t i = 0; i < n; ++i) {
        char32_t cp = utf16[i];
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= n || utf16[i + 1] < 0xDC00 || utf16[i + 1] > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
        }
        if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        }
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    return true;
}

std::u16string toUtf16(std::string_view utf8, bool* ok) {
    std::u16string out;
    out.reserve(utf8.size());
    const bool valid = appendUtf16(utf8, out);
    if (ok) *ok = valid;
    return out;
}

std::string toUtf8(std::u16string_view utf16, bool* ok) {
    std::string out;
    out.reserve(utf16.size());
    const bool valid = appendUtf8(utf16, out);
    if (ok) *ok = valid;
    return out;
}

}  // namespace orvex::nwrfc
