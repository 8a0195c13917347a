#pragma once
// UTF-8 <-> UTF-16 for the RFC library, which takes and gives texts as
// UTF-16 code units. Both directions refuse malformed input instead of
// guessing: a value that cannot be converted faithfully is a failure.
#include <string>
#include <string_view>

#include "common/Failure.h"

namespace orvex::nwrfc {

// Appends `utf8` as UTF-16; a failure (and `out` as it was) when it is
// not valid UTF-8 (stray or missing continuation bytes, overlong forms,
// surrogates, code points above U+10FFFF).
Status appendUtf16(std::string_view utf8, std::u16string& out);
// Appends `utf16` as UTF-8; a failure (and `out` as it was) on an unpaired surrogate.
Status appendUtf8(std::u16string_view utf16, std::string& out);

// Convenience forms.
Result<std::u16string> toUtf16(std::string_view utf8);
Result<std::string> toUtf8(std::u16string_view utf16);

}  // namespace orvex::nwrfc
