#pragma once
// The session layer's prompter and file chooser on Qt: message boxes and
// file dialogs, each belonging to the session's topmost window.
#include <QString>

#include <string>
#include <utility>

#include "session/FileChooser.h"
#include "session/Prompter.h"

class QWidget;

namespace orvex::screens {

class Session;

// Qt's save dialog: a name without a suffix gets `suffix`, and an existing
// file is replaced only when the user agrees. "" when cancelled.
// The dialog starts at `start` (a folder, or a file name to propose).
QString saveFileDialog(QWidget* owner, const QString& title, const QString& filter, const QString& suffix,
                       const QString& start = QString());

// What a message box shows of a message's detail: its first line as the
// reason under the text, the rest behind "Show Details...".
std::pair<QString, QString> splitDetail(const std::string& detail);

// Shows messages in QMessageBox, with the nearest Qt styles: critical and
// information icons, right-aligned text. Every box is application-modal
// and belongs to the session's topmost window, whatever window is active.
class MessageBoxPrompter : public session::Prompter {
public:
    explicit MessageBoxPrompter(const Session& session) : session_(session) {}
    void show(const sap::Message& message) override;
    bool ask(const sap::Message& question, const std::string& accept) override;
    SaveChoice askSave(const sap::Message& question) override;

private:
    const Session& session_;
};

// Qt's file dialogs; a design's start where the session proposes.
class FileDialogs final : public session::FileChooser {
public:
    explicit FileDialogs(const Session& session) : session_(session) {}
    std::string designFile(bool save) override;
    std::string exportFolder() override;
    std::string sourceFile() override;

private:
    const Session& session_;
};

}  // namespace orvex::screens
