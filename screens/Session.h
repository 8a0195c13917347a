#pragma once
// The session as the Qt screens use it: the session layer's model and design
// document with their Qt adapters (message boxes and file dialogs for the
// prompter and the file chooser, a busy indicator for remote calls, the
// status line), the remote calls the screens make over the shared
// operations, and the seams through which the screens run modal steps and
// end the program. Tests replace the seams so nothing blocks.
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
#include "screens/CallWait.h"
#include "screens/QtPrompter.h"
#include "session/CallRunner.h"
#include "session/DesignDocument.h"
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
    sap::MessageSink messageSink();

    // Runs `work` on a worker thread while the user interface waits for it,
    // a busy indicator offering Cancel after 300 ms (QtCallRunner). True
    // when the user cancelled.
    bool waitForCall(const std::function<void()>& work, const std::function<void()>& cancel) {
        return calls_.run(work, cancel);
    }
    // One call at a time: the waiting is modal, and whatever reaches the
    // session past it while a call runs is refused with this failure.
    bool callRunning() const { return calls_.running(); }
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
    QtCallRunner calls_{[this] { return dialogOwner(); }};
    Current current_{*this};
    DesignDocument document_;
};

}  // namespace orvex::screens
