#pragma once
// How the session layer asks the user for a file or a folder. The screens
// pass in Qt's file dialogs; tests pass in the answers. "" when cancelled.
#include <string>

namespace orvex::session {

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // A design file to open, or (save) to save to.
    virtual std::string designFile(bool save) = 0;
    // The folder an abapGit export goes to.
    virtual std::string exportFolder() = 0;
    // The .abap file the source preview saves to.
    virtual std::string sourceFile() = 0;
};

}  // namespace orvex::session
