#pragma once
// The session as the Qt screens use it: the session layer's model (logon
// values, design, remote calls) and design document with their Qt adapters:
// message boxes and file dialogs for the prompter and the file chooser, a
// busy indicator for the calls, the status line, the limits of the main
// window's boxes, and the seams through which the screens run modal steps
// and end the program. Tests replace the seams so nothing blocks.
#include <QString>

#include <functional>
#include <string>
#include <utility>

#include "sap/Messages.h"
#include "screens/CallWait.h"
#include "screens/QtPrompter.h"
#include "session/DesignDocument.h"
#include "session/FileChooser.h"
#include "session/Prompter.h"
#include "session/SessionModel.h"

class QDialog;
class QWidget;

namespace orvex::screens {

// The screens work on the session layer's model by its plain names.
using namespace orvex::session;

struct Version {
    int major = 0, minor = 0, patch = 0;
};

class Session : public SessionModel {
public:
    Session();
    ~Session() override;

    // Seams, with the program's defaults: message boxes; exec(); ending the
    // process at once; Qt's file dialogs; the build's version.
    Prompter& prompter() const { return *prompter_; }
    void setPrompter(Prompter* prompter) { prompter_ = prompter ? prompter : &messageBoxes_; }
    int runModal(QDialog& dialog) { return runModal_(dialog); }
    void setRunModal(std::function<int(QDialog&)> run) { runModal_ = std::move(run); }
    void exitProgram() { exitProgram_(); }
    void setExitProgram(std::function<void()> exit) { exitProgram_ = std::move(exit); }
    void setFileChooser(FileChooser* files) { files_ = files ? files : &fileDialogs_; }
    QString chooseSourceFile() { return QString::fromStdString(files_->sourceFile()); }
    const Version& version() const { return version_; }
    void setVersion(Version version) { version_ = version; }

    // The window boxes belong to when no modal screen is up.
    QWidget* mainWindow() const { return mainWindow_; }
    void setMainWindow(QWidget* window) { mainWindow_ = window; }

    void message(const std::string& text, unsigned style = sap::kOkOnly, const std::string& title = sap::kAppTitle,
                 const std::string& detail = {});
    // A question with the buttons `accept` and "Cancel" (the default); true for `accept`.
    bool ask(const std::string& text, const std::string& accept);
    // The file a save goes to: `chosen` with ".suffix" when it has none
    // (asking before an existing file of that name is replaced); "" when
    // cancelled.
    QString fileToSave(const QString& chosen, const QString& suffix) {
        return QString::fromStdString(document_.fileToSave(chosen.toStdString(), suffix.toStdString()));
    }
    // The window a box or file dialog belongs to: the modal screen on top,
    // else the main window. Not the active window, which is none at all
    // after the chain has folded back until the window system activates one.
    QWidget* dialogOwner() const;
    // Shows each message on the user interface thread, from whatever thread
    // it is called; a caller on another thread waits until the box is closed.
    sap::MessageSink messageSink() override;

    // The design commands of every screen's Report menu, as the design
    // document carries them out; it tells on the status line of the screen
    // in front what it did.
    void newDesign() { document_.newDesign(); }
    bool openDesign() { return document_.open(); }
    bool saveDesign(bool asNew) { return document_.save(asNew); }
    void restoreLastDesign() { document_.restoreLast(); }
    void exportForAbapGit() { document_.exportForAbapGit(); }
    bool changesSettled() { return document_.changesSettled(); }
    QString proposedDesignPath() const { return QString::fromStdString(document_.proposedPath()); }
    // Puts a line on the status line of the screen in front.
    void notice(const std::string& text);
    // A design that the boxes of the main window cannot hold (their limits
    // count UTF-16 units, as Qt's boxes do); "" when it fits.
    static std::string attributeProblem(const ReportDefinition& design);

    // Asks about unsaved changes, keeps the design, then ends the program
    // ("Exit", the title bar). False when the user chose to stay.
    bool exit();

private:
    // Through the prompter, the busy indicator hidden while the box is open.
    void show(const sap::Message& message) override;

    // What the design document talks to the user through: the prompter and
    // the file chooser set now, the messages hiding the busy indicator.
    class Current final : public Prompter, public FileChooser {
    public:
        explicit Current(Session& session) : session_(session) {}
        void show(const sap::Message& message) override { session_.show(message); }
        bool ask(const sap::Message& question, const std::string& accept) override {
            return session_.prompter_->ask(question, accept);
        }
        SaveChoice askSave(const sap::Message& question) override { return session_.prompter_->askSave(question); }
        std::string designFile(bool save) override { return session_.files_->designFile(save); }
        std::string exportFolder() override { return session_.files_->exportFolder(); }
        std::string sourceFile() override { return session_.files_->sourceFile(); }

    private:
        Session& session_;
    };

    MessageBoxPrompter messageBoxes_{*this};
    Prompter* prompter_ = &messageBoxes_;
    std::function<int(QDialog&)> runModal_;
    std::function<void()> exitProgram_;
    FileDialogs fileDialogs_{*this};
    FileChooser* files_ = &fileDialogs_;
    Version version_;
    QWidget* mainWindow_ = nullptr;
    QtCallRunner callWait_{[this] { return dialogOwner(); }};
    Current current_{*this};
    DesignDocument document_;
};

}  // namespace orvex::screens
