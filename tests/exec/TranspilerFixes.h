#pragma once
// The ABAP transpiler runs a report differently from SAP in a few places.
// The execution tests adapt each program before they transpile it, so that
// it runs as SAP runs it when the user starts it from its selection screen
// without changing an input; the generator is left as it is.
//
//  - The event blocks run in SAP's order, ahead of START-OF-SELECTION:
//    INITIALIZATION, AT SELECTION-SCREEN OUTPUT, the screen as accepted,
//    AT SELECTION-SCREEN (the transpiler throws at INITIALIZATION, drops the
//    statements after an AT SELECTION-SCREEN block up to START-OF-SELECTION
//    and never runs AT SELECTION-SCREEN). Value and help requests (F4, F1)
//    run only when the user asks; their blocks become FORMs nobody calls.
//  - The screen as accepted: an empty select-option puts no row into its
//    selection table, and a parameter whose default is empty holds its
//    initial value (the transpiled program puts a row with an empty value in
//    the first, and blanks into a date or time parameter).
//  - sy-repid is the program's name (empty in the transpiled program).
//  - PARAMETERS p TYPE c LENGTH n is written p(n) TYPE c (the transpiler
//    refuses the first form).
// Two more differences are met at run time by the run's setup script
// (standins/setup.mjs): UP TO with leading zeros or 0, and parameter names
// a function module does not have.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ExecHarness.h"

namespace orvex::exec {

// One input of the selection screen as the program declares it.
struct ScreenInput {
    std::string name;           // as declared: "P_CITYFR", "s_FLDATE"
    bool selectOption = false;
    std::string table, field;   // of LIKE, TYPE or FOR table-field; empty when typed otherwise
    std::optional<std::string> defaultValue;  // the DEFAULT literal's value
    bool operator==(const ScreenInput&) const = default;
};

// The selection-screen inputs of the program, in order.
std::vector<ScreenInput> screenInputs(std::string_view source);

// The program as the execution tests transpile it.
std::string adaptForTranspiler(std::string_view source, const std::string& programName, const Dictionary& dictionary);

}  // namespace orvex::exec
