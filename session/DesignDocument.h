#pragma once
// The design as a document: New, Open, Save, Save As, Restore Last Design
// and the export for abapGit, the file it belongs to, and the question
// before unsaved changes would be left behind. The messages and questions
// go through the prompter, the files come from the file chooser, both
// passed in by the front end.
#include <functional>
#include <string>

#include "generator/ReportDefinition.h"
#include "session/FileChooser.h"
#include "session/Prompter.h"
#include "session/SessionModel.h"

namespace orvex::session {

class DesignDocument {
public:
    // Why the front end cannot hold a design read from a file; "" when it fits.
    using Fits = std::function<std::string(const ReportDefinition&)>;
    // Puts a line where the user sees what a command did.
    using Notice = std::function<void(const std::string&)>;
    DesignDocument(SessionModel& session, Prompter& prompter, FileChooser& files, Fits fits, Notice notice)
        : session_(session), prompter_(prompter), files_(files), fits_(std::move(fits)), notice_(std::move(notice)) {}

    // Each command asks before changes would be left behind ("Save changes
    // to ...?") and tells through the notice what it did.
    void newDesign();
    // Opens a design file chosen by the user; false when nothing was opened.
    bool open();
    // Save: to the design's own file when it has one; Save As (or a design
    // never saved): to a file the user names. False when nothing was saved.
    bool save(bool asNew);
    // The copy of the last design (SessionModel::lastDesignPath()) takes the
    // model's place, and the design it replaces becomes the copy.
    void restoreLast();
    // The program as "Generate Program" would send it, in a folder the user names.
    void exportForAbapGit();
    // With unsaved changes: "Save changes to ...?" (Save, Discard, Cancel).
    // True when the user may go on: saved, or discarded.
    bool changesSettled();
    // The program is about to end: the changes settled, the design is kept.
    // False when the user chose to stay.
    bool close();

    // Where a file dialog for a design starts: the design's file, else the
    // folder of the last design opened or saved (or the current folder) with
    // a name made from the report's name.
    std::string proposedPath() const;
    // The file a save goes to: `chosen` with ".suffix" when its name has no
    // suffix (asking before an existing file of that name is replaced); ""
    // when cancelled.
    std::string fileToSave(std::string chosen, const std::string& suffix);

private:
    void fail(const std::string& text, unsigned style);
    // Puts a design read from a file in the model; false, after saying why,
    // when the front end cannot hold it.
    bool take(const ReportDefinition& design);
    // A design file was opened or saved: it is the design's own.
    void belongsTo(const std::string& path);

    SessionModel& session_;
    Prompter& prompter_;
    FileChooser& files_;
    Fits fits_;
    Notice notice_;
    std::string lastFolder_;  // of the design last opened or saved
};

// A path as the user is shown it: absolute, without "." and ".." steps and
// without a separator at the end.
std::string shownPath(const std::string& path);

}  // namespace orvex::session
