#pragma once
// UTF-8 <-> UTF-16 for the RFC library, which takes and gives texts as
// UTF-16 code units. Both directions refuse malformed input instead of
// guessing: a value that cannot be converted faithfully is a failure.
#include <string>
#include <string_view>

namespace orvex::nwrfc {

// Appends `utf8` as UTF-16; false (and `out` as it was) when it is
// not valid UTF-8 (stray or missing continuation bytes, overlong forms,
// surrogates, code points above U+10FFFF).
bool appendUtf16(std::string_view utf8, std::u16string& out);
// Appends `utf16` as UTF-8; false (and `out` as it was) on an unpaired surrogate.
bool appendUtf8(std::u16string_view utf16, std::string& out);

// Convenience forms; `ok` tells whether the input was valid.
std::u16string toUtf16(std::string_view utf8, bool* ok = nullptr);
std::string toUtf8(std::u16string_view utf16, bool* ok = nullptr);

}  // namespace orvex::nwrfc
