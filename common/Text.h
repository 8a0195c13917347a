#pragma once
// Text helpers every part of ORVEX shares: what counts as blank, characters
// of UTF-8 text, ABAP literals and ABAP's upper case.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orvex::text {

// A blank is ASCII white space: space, tab, line feed, vertical tab, form
// feed, carriage return. A settings value, a program name or a table name
// made only of these is empty, everywhere in ORVEX.
constexpr bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
// True when `s` holds nothing but blanks (or nothing at all).
bool blank(std::string_view s);
// `s` without leading and trailing blanks.
std::string_view trim(std::string_view s);
// `s` without trailing blanks.
std::string_view trimEnd(std::string_view s);
// `s` without trailing spaces only (a CHAR field's padding; a trailing tab
// or line feed is part of the value).
std::string_view trimSpacesEnd(std::string_view s);

// Number of characters of a UTF-8 text (code points; a stray byte counts as one).
std::size_t length(std::string_view s);
// The first n characters of a UTF-8 text (the whole text when shorter).
std::string_view prefix(std::string_view s, std::size_t n);

// The text with every apostrophe doubled, for use inside an ABAP literal '...'.
// Returns s itself (no copy) when it holds no apostrophe; otherwise fills buffer.
std::string_view abapQuoted(std::string_view s, std::string& buffer);
std::string doubledApostrophes(std::string_view s);
// Reads the literal whose opening apostrophe is at `i`; '' stands for one
// apostrophe. Moves `i` past the closing apostrophe. Nothing when the literal
// is not closed.
std::optional<std::string> readLiteral(std::string_view text, std::size_t& i);

// ASCII upper case (ABAP names compare case-insensitively); other bytes stay.
std::string upper(std::string_view s);
// ASCII lower case (ABAP's pretty printer writes names so; also header names,
// host names, content types); other bytes stay.
std::string lower(std::string_view s);
// True when a and b are the same but for the letter case of a to z.
bool sameLetters(std::string_view a, std::string_view b);

// The text as a terminal may show it: control characters (C0, DEL and the
// C1 range U+0080 to U+009F) are written as escapes ("\x1b", "\u009b") and
// bytes that are no UTF-8 as "\xNN", so that a value from a file or a
// server cannot move the cursor, retitle the window or hide text. Printable
// UTF-8 stays as it is.
std::string escapedControls(std::string_view s);

}  // namespace orvex::text
