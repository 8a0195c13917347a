#pragma once
// What the screens share: the component references, the logon values, the
// two wizard flags, the report model, and the seams through which they show
// messages, run modal steps, choose files and end the program. Tests replace
// the seams so nothing blocks.
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Messages.h"
#include "ReportModel.h"
#include "Rfc.h"
#include "Settings.h"
#include "TableReads.h"

class QDialog;
class QWidget;

namespace orvex::screens {

class frmSettings;
class frmMain;
class Session;

// Shows one message to the user. The only place message boxes come from.
class Prompter {
public:
    virtual ~Prompter() = default;
    virtual void show(const sap::Message& message) = 0;
};

// Shows messages in QMessageBox, with the nearest Qt styles: critical and
// information icons, right-aligned text. Every box is application-modal
// and belongs to the session's topmost window, whatever window is active.
class MessageBoxPrompter : public Prompter {
public:
    explicit MessageBoxPrompter(const Session& session) : session_(session) {}
    void show(const sap::Message& message) override;

private:
    const Session& session_;
};

struct Version {
    int major = 0, minor = 0, patch = 0;
};

// Shows the wait cursor while a remote call runs.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    Q_DISABLE_COPY(BusyCursor)
};

// Runs a remote call with the wait cursor showing; returns what it returns.
template <typename Call>
auto whileBusy(Call call) {
    BusyCursor busy;
    return call();
}

class Session {
public:
    Session();
    ~Session();
    Q_DISABLE_COPY(Session)

    // Seams, with the program's defaults.
    sap::BackendFactory factory;                      // default: sandbox or HTTP by address
    std::string settingsPath;                         // default: sap::settingsFilePath()
    Prompter* prompter;                               // default: message boxes
    std::function<int(QDialog&)> runModal;            // default: exec()
    std::function<void()> exitProgram;                // default: ends the process at once
    std::function<QString(bool save)> chooseDesignFile;  // default: file dialogs; "" = cancelled
    std::function<QString()> chooseExportFolder;      // default: folder dialog; "" = cancelled
    std::function<QString()> chooseSourceFile;        // default: save dialog for .abap; "" = cancelled
    Version version;                                  // default: the build's version

    // The shared component references: instance and current function.
    std::unique_ptr<sap::Component> component;
    std::unique_ptr<sap::Function> function;
    // The six logon values every logon uses.
    sap::LogonValues logon;

    bool generated = false;   // a program was created; the chain folds back
    bool aboutMode = false;   // the splash screen serves as About box
    ReportModel report;
    frmMain* mainWindow = nullptr;

    void message(const std::string& text, unsigned style = sap::kOkOnly, const std::string& title = sap::kAppTitle,
                 const std::string& detail = {});
    // The window a box or file dialog belongs to: the modal screen on top,
    // else the main window. Not the active window, which is none at all
    // after the chain has folded back until the window system activates one.
    QWidget* dialogOwner() const;
    sap::MessageSink messageSink();

    // Logs on with a new component instance that replaces the shared
    // references; on failure shows "No connection to R/3!".
    bool logOn();
    bool connectionOpen() const;
    // Logs off an open connection and drops the shared references.
    void dropConnection();
    // Reads the object directory over the open connection; a failed read
    // logs off and gives the failure.
    Result<std::vector<std::string>> readTadir(const std::string& condition);

    // The settings dialog, loaded hidden (from the file) when not loaded.
    frmSettings& settings();
    bool settingsLoaded() const { return settings_ != nullptr; }
    void unloadSettings();

private:
    std::unique_ptr<frmSettings> settings_;
    MessageBoxPrompter messageBoxes_{*this};
};

}  // namespace orvex::screens
