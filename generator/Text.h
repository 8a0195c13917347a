#pragma once
// Small text helpers shared by the driver and the source writers.
#include <cstddef>
#include <string>
#include <string_view>

namespace orvex::text {

// Removes leading and trailing blanks (the space character only, as the
// screens' trimming does); tabs and other characters stay.
std::string_view trim(std::string_view s);

// Number of characters of a UTF-8 text (code points; a stray byte counts as one).
std::size_t length(std::string_view s);

// The first n characters of a UTF-8 text (the whole text when shorter).
std::string_view prefix(std::string_view s, std::size_t n);

// The text with every apostrophe doubled, for use inside an ABAP literal '...'.
// Returns s itself (no copy) when it holds no apostrophe; otherwise fills buffer.
std::string_view abapQuoted(std::string_view s, std::string& buffer);

// ASCII upper case (ABAP names compare case-insensitively).
std::string upper(std::string_view s);

}  // namespace orvex::text
