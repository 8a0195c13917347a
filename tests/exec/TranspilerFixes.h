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
//    and never runs AT SELECTION-SCREEN). A value request (F4) runs only
//    when the user asks; its block becomes a FORM nobody calls.
//  - The screen as accepted: an empty select-option puts no row into its
//    selection table, and a parameter whose default is empty holds its
//    initial value (the transpiled program puts a row with an empty value in
//    the first, and blanks into a date or time parameter).
//  - What the screen's labels show is recorded once the screen is built
//    (the transpiler draws no screen).
//  - sy-repid is the program's name (empty in the transpiled program).
//  - An ORDER BY whose columns stand one a line, separated by blanks as
//    release 7.02 writes them, gets commas between its columns (the
//    transpiler hands the blank-separated list to SQLite unchanged).
//  - LEAVE LIST-PROCESSING, in START-OF-SELECTION or a routine it calls,
//    ends the event on SAP: nothing after it runs, and the user is back on
//    the selection screen (a report without one ends). The transpiler throws
//    at it; it becomes a call that ends the run there (the run's setup).
// Two more differences are met at run time by the run's setup script
// (standins/setup.mjs): UP TO with leading zeros or 0, and parameter names
// a function module does not have.
#include <string>
#include <string_view>

#include "ExecHarness.h"

namespace orvex::exec {

// The program as the execution tests transpile it.
std::string adaptForTranspiler(std::string_view source, const std::string& programName);

}  // namespace orvex::exec
