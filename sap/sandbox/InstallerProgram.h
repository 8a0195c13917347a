#pragma once
// The little ABAP programs that RFC_ABAP_INSTALL_AND_RUN accepts in the
// sandbox: REPORT, DATA ... LIKE TRDIR, assignments to its components,
// CALL FUNCTION 'RS_EDTR_ATTR_EDIT' (program attributes), CALL FUNCTION
// 'RS_WORKING_OBJECT_ACTIVATE' (activation of a REPS object) and WRITE of
// literals. The program is checked as a whole first, like SAP's syntax check;
// what it would do comes back as a list of actions.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/Failure.h"

namespace orvex::sap::sandbox {

struct InstallerAction {
    enum class Kind { SetAttributes, Activate, Write };
    Kind kind = Kind::Write;
    std::string program;                        // SetAttributes, Activate
    std::optional<std::string> title;           // SetAttributes
    bool withTrdirEntry = false;                // SetAttributes: apply `trdir`
    std::map<std::string, std::string> trdir;   // components set on the TRDIR work area
    std::string text;                           // Write
};

inline constexpr std::size_t kProgramRowWidth = 72;

// What the program does, or its syntax error (the failure's reason).
Result<std::vector<InstallerAction>> checkInstallerProgram(const std::vector<std::string>& rows);

}  // namespace orvex::sap::sandbox
