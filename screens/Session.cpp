#include "screens/Session.h"

#include <QApplication>
#include <QDialog>
#include <QStatusBar>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <mutex>

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
                [this](const std::string& text) { notice(text); }) {}

Session::~Session() = default;

void Session::message(const std::string& text, unsigned style, const std::string& title, const std::string& detail) {
    show(sap::Message{text, title, style, detail});
}

bool Session::ask(const std::string& text, const std::string& accept) {
    return prompter_->ask(sap::Message{text, sap::kAppTitle, sap::kOkOnly, {}}, accept);
}

void Session::show(const sap::Message& message) {
    calls_.pause();
    prompter_->show(message);
    calls_.resume();
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

Failure Session::cancelledCall() { return failure(FailureKind::Cancelled, "Cancelled"); }

Failure Session::callAlreadyRunning() {
    return failure(FailureKind::Refused, "Another call to the SAP system is still running");
}

Status Session::logOn() {
    if (callRunning()) return callAlreadyRunning();  // its call holds the shared operations
    std::unique_ptr<sap::Operations> fresh;
    Status outcome;
    const bool cancelled =
        withNewOperations(logonValues(), fresh, [&outcome](sap::Operations& o) { outcome = o.logon(); });
    loggedOn(std::move(fresh));
    const Status opened = cancelled ? Status(cancelledCall()) : outcome;
    if (!opened) {
        dropConnection();  // a logon that succeeded after Cancel is ended too
        if (opened.failure().kind != FailureKind::Cancelled)
            message("No connection to R/3!", sap::kOkOnly, sap::kAppTitle, opened.failure().details());
    }
    return opened;
}

Result<sap::NameCheck> Session::checkName(const std::string& name) {
    return readOver([&](sap::Operations& o) { return o.checkName(name); });
}

Result<sap::TableSearch> Session::searchTables(const std::string& pattern) {
    return readOver([&](sap::Operations& o) { return o.searchTables(pattern); });
}

Result<std::vector<sap::TableField>> Session::readFields(const std::string& table) {
    auto read = readOver([&](sap::Operations& o) { return o.readFields(table); });
    if (read) fieldsRead(table, *read);
    return read;
}

Result<sap::TransportCheck> Session::checkTransport(const std::string& name, const std::string& package) {
    return readOver([&](sap::Operations& o) { return o.checkTransport(name, package); });
}

Result<sap::TableDictionary> Session::readDictionary(const std::string& table) {
    if (!operations()) return failure(FailureKind::Refused, "not connected to the SAP system");
    sap::Operations& shared = *operations();
    auto read = overConnection([&] { return shared.readDictionary(table); });
    if (!read && (read.failure().kind == FailureKind::Cancelled || !connectionOpen())) dropConnection();
    return read;
}

void Session::readDesignFieldTypes() {
    // Only the tables nothing is known of yet: one field of each names it.
    ReportDefinition missing;
    for (const std::string& table : sap::designTables(programDesign()))
        if (!fieldTypes().knows(table) && !designTypes_.knows(table)) missing.fields.push_back({table, "", ""});
    if (missing.fields.empty()) return;
    sap::DesignFieldTypes read;
    if (!operations()) {
        read = sap::designFieldTypesUnread(missing, failure(FailureKind::Refused, "not connected to the SAP system"));
    } else {
        sap::Operations& shared = *operations();
        auto outcome = overConnection([&]() -> Result<sap::DesignFieldTypes> {
            return sap::readDesignFieldTypes(shared, missing);
        });
        read = outcome ? std::move(*outcome) : sap::designFieldTypesUnread(missing, outcome.failure());
    }
    designTypes_ = std::move(read.types);
    typesUnread_ = read.notice();
}

FieldTypeOf Session::designFieldTypes() const {
    return [this](const std::string& table, const std::string& field) -> std::optional<FieldType> {
        if (auto known = fieldTypes().typeOf(table, field)) return known;
        return designTypes_.typeOf(table, field);
    };
}

sap::InstallResult Session::install(const sap::InstallRequest& request) {
    if (callRunning()) {
        sap::InstallResult refused;
        refused.created = callAlreadyRunning();
        return refused;
    }
    // Operations of its own: the installation logs on by itself.
    std::unique_ptr<sap::Operations> installer;
    // From "created" on, the messages wait for the end of the installation,
    // so that the first can say what was created and whether it was activated.
    const sap::MessageSink show = messageSink();
    std::vector<sap::Message> held;
    const sap::MessageSink messages = [&](const sap::Message& m) {
        if (held.empty() && m.text != kCreatedMessage) return show(m);
        held.push_back(m);
    };
    sap::InstallResult result;
    withNewOperations(request.logon, installer,
                      [&](sap::Operations& o) { result = o.installProgram(request, messages); });
    if (!held.empty()) held.front().detail = createdSummary(request, result);
    for (const sap::Message& m : held) show(m);
    return result;
}

bool Session::withNewOperations(const sap::LogonValues& values, std::unique_ptr<sap::Operations>& made,
                                const std::function<void(sap::Operations&)>& work) {
    // Made on the worker: choosing the road may ask a bare URL whether it serves ADT.
    struct Cancel {
        std::mutex mutex;
        sap::Operations* target = nullptr;
        bool asked = false;
    } cancel;
    return waitForCall(
        [&] {
            std::unique_ptr<sap::Operations> fresh = makeOperations(values);
            {
                std::lock_guard lock(cancel.mutex);
                cancel.target = fresh.get();
                if (cancel.asked) fresh->cancel();
            }
            made = std::move(fresh);
            work(*cancel.target);
        },
        [&cancel] {
            std::lock_guard lock(cancel.mutex);
            cancel.asked = true;
            if (cancel.target) cancel.target->cancel();
        });
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
