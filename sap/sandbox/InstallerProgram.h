#pragma once
// The little ABAP programs that RFC_ABAP_INSTALL_AND_RUN accepts in the
// sandbox: REPORT, DATA ... LIKE TRDIR, assignments to its components,
// CALL FUNCTION 'RS_EDTR_ATTR_EDIT' (program attributes), CALL FUNCTION
// 'RS_WORKING_OBJECT_ACTIVATE' (activation of a REPS object), WRITE of
// literals, and a text pool's table filled by APPEND of a TEXTPOOL work area
// and written by INSERT TEXTPOOL ... LANGUAGE SY-LANGU, its return code
// tested by IF SY-SUBRC <> 0 (WRITE only) ... ENDIF. The program is checked
// as a whole first, like SAP's syntax check; what it would do comes back as
// a list of actions.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/Failure.h"

namespace orvex::sap::sandbox {

// One row of a program's text pool (TEXTPOOL).
struct TextPoolRow {
    std::string id, key, entry;
    int length = 0;
    bool operator==(const TextPoolRow&) const = default;
};

struct InstallerAction {
    enum class Kind { SetAttributes, Activate, Write, InsertTextPool };
    Kind kind = Kind::Write;
    std::string program;                        // SetAttributes, Activate, InsertTextPool
    std::optional<std::string> title;           // SetAttributes
    bool withTrdirEntry = false;                // SetAttributes: apply `trdir`
    std::map<std::string, std::string> trdir;   // components set on the TRDIR work area
    std::string text;                           // Write
    bool onlyOnFailure = false;                 // Write under IF SY-SUBRC <> 0 after INSERT TEXTPOOL
    std::vector<TextPoolRow> texts;             // InsertTextPool, the whole pool of the logon language
};

inline constexpr std::size_t kProgramRowWidth = 72;

// What the program does, or its syntax error (the failure's reason).
Result<std::vector<InstallerAction>> checkInstallerProgram(const std::vector<std::string>& rows);

}  // namespace orvex::sap::sandbox
