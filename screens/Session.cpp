#include "screens/Session.h"

#include <QApplication>
#include <QDialog>
#include <QStatusBar>
#include <QThread>

#include <cstdio>
#include <cstdlib>

#include "screens/ListBox.h"
#include "screens/frmMain.h"

#ifndef ORVEX_VERSION_MAJOR
#define ORVEX_VERSION_MAJOR 0
#define ORVEX_VERSION_MINOR 0
#define ORVEX_VERSION_PATCH 0
#endif

namespace orvex::screens {

Session::Session()
    : runModal_([](QDialog& dialog) { return dialog.exec(); }),
      exitProgram_([] {
          std::fflush(nullptr);
          std::_Exit(0);
      }),
      version_{ORVEX_VERSION_MAJOR, ORVEX_VERSION_MINOR, ORVEX_VERSION_PATCH},
      document_(*this, current_, current_, &Session::attributeProblem,
                [this](const std::string& text) { notice(text); }) {
    setCallRunner(&callWait_);
}

Session::~Session() = default;

void Session::message(const std::string& text, unsigned style, const std::string& title, const std::string& detail) {
    show(sap::Message{text, title, style, detail});
}

bool Session::ask(const std::string& text, const std::string& accept) {
    return prompter_->ask(sap::Message{text, sap::kAppTitle, sap::kOkOnly, {}}, accept);
}

void Session::show(const sap::Message& message) {
    callWait_.pause();
    prompter_->show(message);
    callWait_.resume();
}

QWidget* Session::dialogOwner() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return mainWindow_;
}

sap::MessageSink Session::messageSink() {
    return [this](const sap::Message& m) {
        QObject* ui = QCoreApplication::instance();
        if (QThread::currentThread() == ui->thread()) return show(m);
        QMetaObject::invokeMethod(ui, [this, &m] { show(m); }, Qt::BlockingQueuedConnection);
    };
}

std::string Session::attributeProblem(const ReportDefinition& d) {
    const QString name = toQ(d.name);
    if (name.size() > 30 || filterProgramName(name) != name)
        return "The report name may hold at most 30 letters, digits and \"_\".";
    if (toQ(d.description).size() > 70) return "The report description may hold at most 70 characters.";
    if (toQ(d.company).size() > 70) return "The company name may hold at most 70 characters.";
    if (toQ(d.heading).size() > 60) return "The report heading may hold at most 60 characters.";
    if (toQ(d.package).size() > 30) return "The package name may hold at most 30 characters.";
    return {};
}

void Session::notice(const std::string& text) {
    // The status line of the screen in front, else the main window's.
    for (QWidget* window : {QApplication::activeWindow(), dialogOwner(), mainWindow_}) {
        if (!window) continue;
        if (auto* line = window->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly)) {
            line->showMessage(toQ(text));
            return;
        }
    }
}

bool Session::exit() {
    if (!document_.close()) return false;
    exitProgram();
    return true;
}

}  // namespace orvex::screens
