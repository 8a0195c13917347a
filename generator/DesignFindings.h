#pragma once
// What a user should hear about a design before it becomes a program: the
// faults that stop generation (errors) and the choices that are allowed but
// rarely meant (warnings), each naming its place in the design file's terms.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "generator/ReportDefinition.h"

namespace orvex {

// A field's dictionary type as the system reports it: DATATYPE and LENG.
struct FieldType {
    std::string dataType;  // "CHAR", "NUMC", "CURR", "INT4", ...
    int length = 0;
    bool operator==(const FieldType&) const = default;
};

// The dictionary type of table-field (both trimmed), or none when unknown.
using FieldTypeOf = std::function<std::optional<FieldType>(const std::string& table, const std::string& field)>;

struct Finding {
    enum Severity { Warning, Error };
    Severity severity = Warning;
    std::string place;    // in the design file: "selection_screen[1]", "conditions[0]", ... ("" for the whole design)
    std::string message;
    // What it is about, as the user knows it: "SCARR-CARRID", "input S_CARRID
    // (SCARR-CARRID)", "condition 1 (SCARR-CARRID = SFLIGHT-CARRID)", "heading"
    // ("" for the whole design).
    std::string subject;
    // "error: SCARR-CARRID total: ..." / "warning: input P_FLDATE (SFLIGHT-FLDATE): ..."
    std::string text() const;
    bool operator==(const Finding&) const = default;
};

// True for the dictionary types the ALV can total: amounts, quantities,
// integers, packed and floating-point numbers.
bool isNumericType(const std::string& dataType);

// The design's findings, errors first:
// - errors: what the design check or the generator refuses (one, the first);
//   a total on a field whose known type is not numeric;
// - warnings: an input that no condition uses (it filters nothing, and a
//   required one must still be filled); a join comparing fields whose known
//   types or lengths differ; a condition naming a table no output field
//   comes from (the program applies it to the last table); an output field
//   picked twice, or a field name picked from a second table, in any letter
//   case (the column shows the first); a subtotal with no totalled column to
//   add up; where the list shows references, an amount or quantity whose
//   currency or unit field is not an output field (an error when it is
//   totalled: the total would mix currencies or units).
// Linear in the size of the design.
// Types are looked at only where typeOf knows them.
std::vector<Finding> reviewDesign(const ReportDefinition& design, const FieldTypeOf& typeOf = {});

// Whether any finding is an error.
bool hasError(const std::vector<Finding>& findings);

}  // namespace orvex
