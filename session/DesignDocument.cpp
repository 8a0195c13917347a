#include "session/DesignDocument.h"

#include <filesystem>
#include <system_error>

#include "generator/AbapGitExport.h"
#include "generator/DesignFile.h"
#include "generator/Generator.h"

namespace orvex::session {

namespace fs = std::filesystem;

namespace {
// The name of the file a path ends in; "" when it ends in a separator.
std::string fileName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// A file name's suffix is what follows its last dot, so ".bashrc" has one
// and "design." has none.
bool hasSuffix(const std::string& path) {
    const std::string name = fileName(path);
    const auto dot = name.rfind('.');
    return dot != std::string::npos && dot + 1 < name.size();
}

bool exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}
}  // namespace

std::string shownPath(const std::string& path) {
    std::error_code ignored;
    std::string shown = fs::absolute(path, ignored).lexically_normal().string();
    if (shown.size() > 1 && shown.back() == '/') shown.pop_back();
    return shown;
}

void DesignDocument::fail(const std::string& text, unsigned style) {
    prompter_.show(sap::Message{text, sap::kAppTitle, style, {}});
}

bool DesignDocument::changesSettled() {
    const ReportModel& report = session_.report();
    if (!report.modified()) return true;
    const std::string name = !report.file().empty()            ? fileName(report.file())
                             : report.definition.name.empty() ? std::string("the new design")
                                                              : report.definition.name;
    switch (prompter_.askSave(sap::Message{"Save changes to " + name + "?", sap::kAppTitle, sap::kOkOnly, {}})) {
    case Prompter::SaveChoice::Save: return save(false);
    case Prompter::SaveChoice::Discard: return true;
    case Prompter::SaveChoice::Cancel: break;
    }
    return false;
}

std::string DesignDocument::proposedPath() const {
    const std::string& file = session_.report().file();
    if (!file.empty()) return file;
    std::string name = session_.report().definition.name;  // letters, digits and "_" only
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (name.empty()) name = "design";
    std::error_code ignored;
    const fs::path folder = lastFolder_.empty() ? fs::current_path(ignored) : fs::path(lastFolder_);
    return (folder / (name + ".json")).string();
}

std::string DesignDocument::fileToSave(std::string chosen, const std::string& suffix) {
    if (chosen.empty() || hasSuffix(chosen)) return chosen;
    // A chooser that gave the name bare: the suffix is added here, and a file
    // of that name is replaced only when the user says so.
    chosen += "." + suffix;
    if (exists(chosen) &&
        !prompter_.ask(sap::Message{fileName(chosen) + " already exists.\r\nDo you want to replace it?",
                                    sap::kAppTitle, sap::kOkOnly, {}},
                       "Replace"))
        return {};
    return chosen;
}

void DesignDocument::belongsTo(const std::string& path) {
    lastFolder_ = fs::path(shownPath(path)).parent_path().string();
    session_.report().savedAs(path);
}

bool DesignDocument::save(bool asNew) {
    const std::string& own = session_.report().file();
    const std::string path = asNew || own.empty() ? fileToSave(files_.designFile(true), "json") : own;
    if (path.empty()) return false;
    if (const Status saved = saveDesignFile(path, session_.report().design()); !saved) {
        fail("The design could not be saved.\r\n" + saved.failure().text(), sap::kCritical);
        return false;
    }
    belongsTo(path);
    notice_("Design saved to " + shownPath(path));
    return true;
}

bool DesignDocument::take(const ReportDefinition& design) {
    if (const std::string problem = fits_(design); !problem.empty()) {
        fail("The design could not be opened.\r\n" + problem, sap::kCritical);
        return false;
    }
    session_.keepDesign();  // what the opened design replaces stays restorable
    session_.report().open(design);
    return true;
}

bool DesignDocument::open() {
    if (!changesSettled()) return false;
    const std::string path = files_.designFile(false);
    if (path.empty()) return false;
    const Result<ReportDefinition> loaded = loadDesignFile(path);
    if (!loaded) {
        fail("The design could not be opened.\r\n" + loaded.failure().text(), sap::kCritical);
        return false;
    }
    if (!take(*loaded)) return false;
    belongsTo(path);
    notice_("Design opened: " + shownPath(path));
    return true;
}

void DesignDocument::newDesign() {
    if (!changesSettled()) return;
    session_.keepDesign();
    session_.report().clear();
    notice_("New design");
}

void DesignDocument::restoreLast() {
    const std::string path = SessionModel::lastDesignPath();
    if (!exists(path)) {
        fail("No design has been kept yet.\r\nORVEX keeps the design whenever the wizard goes back, "
             "ends or creates a program.",
             sap::kInformation);
        return;
    }
    const Result<ReportDefinition> loaded = loadDesignFile(path);
    if (!loaded) {
        fail("The last design could not be opened.\r\n" + loaded.failure().text(), sap::kCritical);
        return;
    }
    if (!changesSettled()) return;
    // The design on the screen becomes the last design in its place.
    if (!take(*loaded)) return;
    notice_("Last design restored: " + loaded->name);
}

void DesignDocument::exportForAbapGit() {
    const std::string folder = files_.exportFolder();
    if (folder.empty()) return;
    // The program as "Generate Program" would send it, author included.
    const ReportDefinition design = session_.programDesign();
    const GenerationResult result = GenerateProgram(design, SourceForm::TextOnly);
    const Status exported = result ? orvex::exportForAbapGit(design, result->text.text(), folder, result->textPool) : result.status();
    if (!exported) {
        fail("The program could not be exported.\r\n" + exported.failure().text(), sap::kCritical);
        return;
    }
    notice_("Program exported for abapGit to " + shownPath(folder));
}

bool DesignDocument::close() {
    if (!changesSettled()) return false;
    session_.keepDesign();
    return true;
}

}  // namespace orvex::session
