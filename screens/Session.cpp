#include "Session.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

#include "frmMain.h"
#include "frmSettings.h"

#ifndef ORVEX_VERSION_MAJOR
#define ORVEX_VERSION_MAJOR 0
#define ORVEX_VERSION_MINOR 0
#define ORVEX_VERSION_PATCH 0
#endif

namespace orvex::screens {

void MessageBoxPrompter::show(const sap::Message& message) {
    QString text = QString::fromStdString(message.text);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(message.title), text, QMessageBox::Ok,
                    session_.dialogOwner());
    if (message.style & sap::kCritical) box.setIcon(QMessageBox::Critical);
    else if (message.style & sap::kInformation) box.setIcon(QMessageBox::Information);
    // Window-modal would block only the box's parent chain, and nothing when
    // it has no parent: the user could edit on and stack a second box.
    box.setWindowModality(Qt::ApplicationModal);
    if (!message.detail.empty()) box.setDetailedText(QString::fromStdString(message.detail));
    if (message.style & sap::kRightAligned) {
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    // The arrow comes back while the user reads the message.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    QApplication::restoreOverrideCursor();
}

BusyCursor::BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
BusyCursor::~BusyCursor() { QApplication::restoreOverrideCursor(); }

Session::Session()
    : factory(sap::defaultBackendFactory()),
      settingsPath(sap::settingsFilePath()),
      prompter(&messageBoxes_),
      runModal([](QDialog& dialog) { return dialog.exec(); }),
      exitProgram([] {
          std::fflush(nullptr);
          std::_Exit(0);
      }),
      chooseDesignFile([this](bool save) {
          const QString filter = QStringLiteral("ORVEX design (*.json);;All files (*)");
          return save ? QFileDialog::getSaveFileName(dialogOwner(), QStringLiteral("Save Design"), QString(), filter)
                      : QFileDialog::getOpenFileName(dialogOwner(), QStringLiteral("Open Design"), QString(), filter);
      }),
      chooseExportFolder([this] {
          return QFileDialog::getExistingDirectory(dialogOwner(), QStringLiteral("Export for abapGit"));
      }),
      chooseSourceFile([this] {
          return QFileDialog::getSaveFileName(dialogOwner(), QStringLiteral("Save As"), QString(),
                                              QStringLiteral("ABAP source (*.abap);;All files (*)"));
      }),
      version{ORVEX_VERSION_MAJOR, ORVEX_VERSION_MINOR, ORVEX_VERSION_PATCH} {}

Session::~Session() = default;

void Session::message(const std::string& text, unsigned style, const std::string& title, const std::string& detail) {
    prompter->show(sap::Message{text, title, style, detail});
}

QWidget* Session::dialogOwner() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return mainWindow;
}

sap::MessageSink Session::messageSink() {
    return [this](const sap::Message& m) { prompter->show(m); };
}

bool Session::logOn() {
    function.reset();
    component = std::make_unique<sap::Component>(factory);
    component->connection().properties = sap::connectionProperties(logon);
    const bool open = whileBusy([this] { return component->connection().logon(); });
    if (!open) message("No connection to R/3!", sap::kOkOnly, sap::kAppTitle, component->connection().logonFailure().details());
    return open;
}

bool Session::connectionOpen() const { return component && component->connection().isOpen(); }

void Session::dropConnection() {
    function.reset();
    if (component && component->connection().isOpen()) component->connection().logoff();
    component.reset();
}

Result<std::vector<std::string>> Session::readTadir(const std::string& condition) {
    auto read = whileBusy([&] { return sap::readTadir(*component, condition); });
    if (!read) dropConnection();
    return read;
}

frmSettings& Session::settings() {
    if (!settings_) settings_ = std::make_unique<frmSettings>(*this);
    return *settings_;
}

void Session::unloadSettings() { settings_.reset(); }

}  // namespace orvex::screens
