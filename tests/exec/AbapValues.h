#pragma once
// Values of dictionary fields as SAP holds them, written in one canonical
// text per value so that rows from SQLite, from the data set and from the
// ALV stand-ins compare as texts:
//   character-like (CHAR, CUKY, UNIT, CLNT, LANG): without trailing blanks
//   NUMC, DATS, TIMS: all their digits ("0017", "20240115", "000000")
//   integers: decimal digits with a leading "-" when negative
//   packed (CURR, QUAN, DEC): fixed decimals, "-" leading ("422.94", "0.00")
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "ExecHarness.h"

namespace orvex::exec {

enum class ValueKind { Character, Digits, Integer, Packed };
ValueKind valueKind(const DictField& field);  // throws for a type the tests do not know

// The initial value of the field.
std::string initialValue(const DictField& field);

// What a selection-screen input of the field holds after the user accepted
// the screen with `text` in it (the report's DEFAULT): upper case for
// character fields (the flight model's domains are upper case only), cut to
// the field's length; digits right-aligned and zero-filled for NUMC; an
// empty date or time is the initial one; numbers are read as numbers.
std::string screenValue(const DictField& field, std::string_view text);

// A value from the data set or from the stand-ins' JSON (texts and numbers;
// the stand-ins write numbers as ABAP does, sign last: "1.50-"). Null is the
// initial value, as an outer join fills missing fields.
std::string canonicalValue(const DictField& field, const nlohmann::json& value);

}  // namespace orvex::exec
