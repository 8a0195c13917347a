#include "Session.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

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
                    QApplication::activeWindow());
    if (message.style & sap::kCritical) box.setIcon(QMessageBox::Critical);
    else if (message.style & sap::kInformation) box.setIcon(QMessageBox::Information);
    box.setWindowModality((message.style & sap::kSystemModal) ? Qt::ApplicationModal : Qt::WindowModal);
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
      chooseDesignFile([](bool save) {
          const QString filter = QStringLiteral("ORVEX design (*.json);;All files (*)");
          return save ? QFileDialog::getSaveFileName(QApplication::activeWindow(), QStringLiteral("Save Design"),
                                                     QString(), filter)
                      : QFileDialog::getOpenFileName(QApplication::activeWindow(), QStringLiteral("Open Design"),
                                                     QString(), filter);
      }),
      version{ORVEX_VERSION_MAJOR, ORVEX_VERSION_MINOR, ORVEX_VERSION_PATCH} {}

Session::~Session() = default;

void Session::message(const std::string& text, unsigned style, const std::string& title) {
    prompter->show(sap::Message{text, title, style});
}

sap::MessageSink Session::messageSink() {
    return [this](const sap::Message& m) { prompter->show(m); };
}

bool Session::logOn() {
    function.reset();
    component = std::make_unique<sap::Component>(factory);
    component->connection().properties = sap::connectionProperties(logon);
    const bool open = whileBusy([this] { return component->connection().logon(); });
    if (!open) message("No connection to R/3!");
    return open;
}

bool Session::connectionOpen() const { return component && component->connection().isOpen(); }

void Session::dropConnection() {
    function.reset();
    if (component && component->connection().isOpen()) component->connection().logoff();
    component.reset();
}

std::optional<std::vector<std::string>> Session::readTadir(const std::string& condition) {
    sap::TadirRead read = whileBusy([&] { return sap::readTadir(*component, condition); });
    if (read.ok) return std::move(read.rows);
    dropConnection();
    return std::nullopt;
}

frmSettings& Session::settings() {
    if (!settings_) settings_ = std::make_unique<frmSettings>(*this);
    return *settings_;
}

void Session::unloadSettings() { settings_.reset(); }

}  // namespace orvex::screens
