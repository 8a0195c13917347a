#include "sap/nwrfc/Utf16.h"

namespace orvex::nwrfc {

namespace {

// Both directions write into space made once, not unit by unit: a
// million-row table read converts every cell.

bool widen(std::string_view utf8, std::u16string& out) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    const std::size_t start = out.size();
    unsigned char all = 0;  // plain ASCII, the usual case, is widened in one go
    for (std::size_t i = 0; i < n; ++i) all |= s[i];
    out.resize(start + n);  // a UTF-8 byte never gives more than one UTF-16 unit
    char16_t* d = out.data() + start;
    if (all < 0x80) {
        for (std::size_t i = 0; i < n; ++i) d[i] = s[i];
        return true;
    }
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            *d++ = c;
            ++i;
            continue;
        }
        std::size_t extra;
        char32_t cp, least;
        if ((c & 0xE0) == 0xC0) extra = 1, cp = c & 0x1F, least = 0x80;
        else if ((c & 0xF0) == 0xE0) extra = 2, cp = c & 0x0F, least = 0x800;
        else if ((c & 0xF8) == 0xF0) extra = 3, cp = c & 0x07, least = 0x10000;
        else return out.resize(start), false;
        for (std::size_t k = 1; k <= extra; ++k) {
            if (i + k >= n || (s[i + k] & 0xC0) != 0x80) return out.resize(start), false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return out.resize(start), false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            *d++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *d++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *d++ = static_cast<char16_t>(cp);
        }
        i += extra + 1;
    }
    out.resize(static_cast<std::size_t>(d - out.data()));
    return true;
}

bool narrow(std::u16string_view utf16, std::string& out) {
    // Measured first, so that the result is allocated once at its exact size.
    const std::size_t n = utf16.size();
    char16_t all = 0;  // plain ASCII, the usual case, is narrowed in one go
    for (std::size_t i = 0; i < n; ++i) all |= utf16[i];
    if (all < 0x80) {
        const std::size_t start = out.size();
        out.resize(start + n);
        char* d = out.data() + start;
        for (std::size_t i = 0; i < n; ++i) d[i] = static_cast<char>(utf16[i]);
        return true;
    }
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t u = utf16[i];
        if (u < 0x80) {
            ++bytes;
        } else if (u < 0x800) {
            bytes += 2;
        } else if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 >= n || utf16[i + 1] < 0xDC00 || utf16[i + 1] > 0xDFFF) return false;
            bytes += 4;
            ++i;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return false;
        } else {
            bytes += 3;
        }
    }
    const std::size_t start = out.size();
    out.resize(start + bytes);
    char* d = out.data() + start;
    for (std::size_t i = 0; i < n; ++i) {
        char32_t cp = utf16[i];
        if (cp < 0x80) {
            *d++ = static_cast<char>(cp);
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF) cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        if (cp < 0x800) {
            *d++ = static_cast<char>(0xC0 | (cp >> 6));
        } else if (cp < 0x10000) {
            *d++ = static_cast<char>(0xE0 | (cp >> 12));
            *d++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        } else {
            *d++ = static_cast<char>(0xF0 | (cp >> 18));
            *d++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *d++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        }
        *d++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return true;
}

}  // namespace

Status appendUtf16(std::string_view utf8, std::u16string& out) {
    if (widen(utf8, out)) return {};
    return failure(FailureKind::Refused, "not valid UTF-8");
}

Status appendUtf8(std::u16string_view utf16, std::string& out) {
    if (narrow(utf16, out)) return {};
    return failure(FailureKind::Reply, "not valid UTF-16");
}

Result<std::u16string> toUtf16(std::string_view utf8) {
    std::u16string out;
    if (Status status = appendUtf16(utf8, out); !status) return status.failure();
    return out;
}

Result<std::string> toUtf8(std::u16string_view utf16) {
    std::string out;
    if (Status status = appendUtf8(utf16, out); !status) return status.failure();
    return out;
}

}  // namespace orvex::nwrfc
