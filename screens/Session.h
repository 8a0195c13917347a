#pragma once
// The session as the Qt screens use it: the Qt-free SessionModel (logon
// values, design, operations) plus the seams through which the screens show
// messages, run modal steps and remote calls, choose files and end the
// program. Tests replace the seams so nothing blocks.
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "generator/DesignFindings.h"
#include "sap/DesignFieldTypes.h"
#include "sap/InstallProgram.h"
#include "sap/Messages.h"
#include "session/FileChooser.h"
#include "session/InstallFlow.h"
#include "session/Prompter.h"
#include "session/SessionModel.h"
#include "sap/TableReads.h"

class QDialog;
class QWidget;

namespace orvex::screens {

// The screens work on the session layer's model by its plain names.
using namespace orvex::session;

class CallWait;
class Session;

// Shows messages in QMessageBox, with the nearest Qt styles: critical and
// information icons, right-aligned text. Every box is application-modal
// and belongs to the session's topmost window, whatever window is active.
// Qt's save dialog: a name without a suffix gets `suffix`, and an existing
// file is replaced only when the user agrees. "" when cancelled.
// The dialog starts at `start` (a folder, or a file name to propose).
QString saveFileDialog(QWidget* owner, const QString& title, const QString& filter, const QString& suffix,
                       const QString& start = QString());

// What a message box shows of a message's detail: its first line as the
// reason under the text, the rest behind "Show Details...".
std::pair<QString, QString> splitDetail(const std::string& detail);

class MessageBoxPrompter : public Prompter {
public:
    explicit MessageBoxPrompter(const Session& session) : session_(session) {}
    void show(const sap::Message& message) override;
    bool ask(const sap::Message& question, const std::string& accept) override;
    SaveChoice askSave(const sap::Message& question) override;

private:
    const Session& session_;
};

struct Version {
    int major = 0, minor = 0, patch = 0;
};

class Session : public SessionModel, public InstallSteps {
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
    void setFileChooser(FileChooser* files) { files_ = files ? files : fileDialogs_.get(); }
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
    QString fileToSave(QString chosen, const QString& suffix);
    // The window a box or file dialog belongs to: the modal screen on top,
    // else the main window. Not the active window, which is none at all
    // after the chain has folded back until the window system activates one.
    QWidget* dialogOwner() const;
    // Shows each message on the user interface thread, from whatever thread
    // it is called; a caller on another thread waits until the box is closed.
    sap::MessageSink messageSink();

    // Runs `work` on a worker thread while the user interface waits for it:
    // the windows keep painting, user input waits until the call has ended,
    // and after 300 ms a busy indicator offers Cancel, which calls `cancel`
    // (on the user interface thread, while `work` runs). True when the user
    // cancelled.
    bool waitForCall(const std::function<void()>& work, const std::function<void()>& cancel);
    // One call at a time: the waiting is modal, and whatever reaches the
    // session past it while a call runs is refused with this failure.
    bool callRunning() const { return wait_ != nullptr; }
    static Failure callAlreadyRunning();

    // A remote call over the shared operations, run by waitForCall; Cancel
    // ends the operations' call. A cancelled call gives the failure
    // "Cancelled", whatever the call itself gave back.
    template <typename Work>
    auto overConnection(Work work) -> decltype(work()) {
        if (callRunning()) return callAlreadyRunning();
        sap::Operations& shared = *operations();
        std::optional<decltype(work())> outcome;
        if (waitForCall([&] { outcome.emplace(work()); }, [&shared] { shared.cancel(); })) return cancelledCall();
        return std::move(*outcome);
    }
    static Failure cancelledCall();

    // Logs on with new operations that replace the shared ones; on failure
    // shows "No connection to R/3!" (not when the user cancelled) and drops
    // them.
    Status logOn();
    // The operations' name check, table search, field read and transport
    // check over the open connection; a failed call logs off and gives the
    // failure. The fields read are kept in fieldTypes().
    Result<sap::NameCheck> checkName(const std::string& name) override;
    Result<sap::TableSearch> searchTables(const std::string& pattern);
    Result<std::vector<sap::TableField>> readFields(const std::string& table);
    Result<sap::TransportCheck> checkTransport(const std::string& name, const std::string& package) override;
    // A table's dictionary entry for join proposals; a cancelled call or a
    // lost connection drops the operations.
    Result<sap::TableDictionary> readDictionary(const std::string& table);
    // The field types of every table the design names, for the design
    // check, as the command line reads them: those of the tables whose
    // fields were listed, the others read once over the open connection.
    // What could not be read is said once, by the notice of typesUnread().
    void readDesignFieldTypes();
    // Types known for a table and field, from either source.
    FieldTypeOf designFieldTypes() const;
    // The design check's notice of skipped type comparisons, if any.
    const std::optional<Finding>& typesUnread() const { return typesUnread_; }
    // Creates the program with operations of its own, as waitForCall runs a
    // call; the installation's messages are shown as they come.
    sap::InstallResult install(const sap::InstallRequest& request) override;
    // The open connection, else a logon.
    bool ensureConnection() override { return connectionOpen() || logOn(); }

    // The design commands of every screen's Report menu. Each asks before
    // changes would be left behind ("Save changes to ...?"), and says on
    // the status line of the screen in front what it did.
    void newDesign();
    // Opens a design file chosen by the user; false when nothing was opened.
    bool openDesign();
    // Save: to the design's own file when it has one; Save As (or a design
    // never saved): to a file the user names. False when nothing was saved.
    bool saveDesign(bool asNew);
    void restoreLastDesign();
    void exportForAbapGit();
    // With unsaved changes: "Save changes to ...?" (Save, Discard, Cancel).
    // True when the user may go on: saved, or discarded.
    bool changesSettled();
    // Where a file dialog for a design starts: the folder of the design's
    // file, else of the last design opened or saved, with the design's file
    // name, or one made from the report's name.
    QString proposedDesignPath() const;
    // Puts a line on the status line of the screen in front.
    void notice(const std::string& text);
    // A design that the boxes of the main window cannot hold; "" when it fits.
    static std::string attributeProblem(const ReportDefinition& design);

    // Asks about unsaved changes, keeps the design, then ends the program
    // ("Exit", the title bar). False when the user chose to stay.
    bool exit();

private:
    void show(const sap::Message& message);
    // Makes operations for these logon values and runs `work` on them, both
    // as waitForCall runs a call; Cancel reaches them once made. True when
    // the user cancelled.
    bool withNewOperations(const sap::LogonValues& values, std::unique_ptr<sap::Operations>& made,
                           const std::function<void(sap::Operations&)>& work);
    // A read over the open operations; a failure drops them.
    template <typename Read>
    auto readOver(Read read) -> decltype(read(std::declval<sap::Operations&>())) {
        if (!operations()) return failure(FailureKind::Refused, "not connected to the SAP system");
        auto result = overConnection([&] { return read(*operations()); });
        if (!result) dropConnection();
        return result;
    }

    // Puts a design read from a file in the model; false, after saying why,
    // when the main window cannot hold it.
    bool takeDesign(const ReportDefinition& design);

    MessageBoxPrompter messageBoxes_{*this};
    Prompter* prompter_ = &messageBoxes_;
    std::function<int(QDialog&)> runModal_;
    std::function<void()> exitProgram_;
    std::unique_ptr<FileChooser> fileDialogs_;
    FileChooser* files_;
    Version version_;
    QWidget* mainWindow_ = nullptr;
    CallWait* wait_ = nullptr;  // the call being waited for
    QString lastDesignFolder_;  // of the design last opened or saved
};

}  // namespace orvex::screens
