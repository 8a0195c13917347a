#include "session/SessionModel.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "common/platform/AtomicFile.h"
#include "generator/DesignFile.h"

namespace orvex::session {

SessionModel::SessionModel()
    : factory_(sap::defaultBackendFactory()),
      makeOperations_([this](const sap::LogonValues& values) {
          const sap::ConnectionProperties props = sap::connectionProperties(values);
          if (props.ApplicationServer != roadServer_) {
              roadServer_ = props.ApplicationServer;
              road_ = sap::chooseRoad(props).road;
          }
          return sap::makeOperations(values, road_, factory_);
      }),
      settingsPath_(sap::settingsFilePath()) {}

SessionModel::~SessionModel() = default;

const sap::LogonValues& SessionModel::logonValues() const {
    if (!logonRead_) {
        logon_ = sap::readLogonValues(settingsPath_);
        logonRead_ = true;
    }
    return logon_;
}

void SessionModel::setLogonValues(sap::LogonValues values) {
    // Another system has a dictionary of its own.
    if (values.applicationServer != logon_.applicationServer || values.systemNumber != logon_.systemNumber ||
        values.system != logon_.system) {
        fieldTypes_.clear();
        designTypes_.clear();
        typesUnread_.reset();
        previewNotOffered_.reset();
    }
    logon_ = std::move(values);
    logonRead_ = true;
}

ReportDefinition SessionModel::programDesign() const {
    ReportDefinition d = report_.definition;
    d.author = logonValues().user;
    return d;
}

bool SessionModel::connectionOpen() const {
    if (!operations_) return false;
    sap::Component* rfc = component();  // on the ADT road, logged-on operations are the connection
    return !rfc || rfc->connection().isOpen();
}

void SessionModel::dropConnection() {
    if (sap::Component* rfc = component(); rfc && rfc->connection().isOpen()) rfc->connection().logoff();
    operations_.reset();
}

void SessionModel::leaveChain() {
    dropConnection();
    if (events_.chainLeft) events_.chainLeft();
}

std::string SessionModel::lastDesignPath() { return sap::userStateFolder() + "/last-design.json"; }

namespace {
// How much of a design there is to lose: its tables, fields, inputs and conditions.
std::size_t itemsOf(const ReportDefinition& d) {
    return std::max(d.tables.size(), tablesOf(d).size()) + d.fields.size() + d.selection.size() +
           d.conditions.size();
}
}  // namespace

void SessionModel::keepDesign() {
    const ReportDefinition now = report_.design();
    if (now == ReportDefinition{}) return;  // nothing entered
    if (kept_ && now == *kept_) return;
    const std::string path = lastDesignPath();
    // The copy an earlier run left is not replaced by a design that holds
    // less, until this run has kept one of its own: the user never asked
    // for it to go.
    if (!kept_) {
        if (const auto held = loadDesignFile(path); held && itemsOf(*held) > itemsOf(now)) return;
    }
    Status written = sap::makePrivateFolder(sap::userStateFolder());
    if (written) written = writeFileAtomically(path, serializeDesign(now), 0600);
    if (!written) {
        const std::string text = "The design could not be kept: " + written.failure().text();
        std::fprintf(stderr, "orvex: %s\n", text.c_str());
        if (events_.notice) events_.notice(text);
        return;
    }
    kept_ = now;
}

Failure SessionModel::cancelledCall() { return failure(FailureKind::Cancelled, "Cancelled"); }

Failure SessionModel::callAlreadyRunning() {
    return failure(FailureKind::Refused, "Another call to the SAP system is still running");
}

Status SessionModel::logOn() {
    if (callRunning()) return callAlreadyRunning();  // its call holds the shared operations
    std::unique_ptr<sap::Operations> fresh;
    Status outcome;
    const bool cancelled =
        withNewOperations(logonValues(), fresh, [&outcome](sap::Operations& o) { outcome = o.logon(); });
    operations_ = std::move(fresh);
    const Status opened = cancelled ? Status(cancelledCall()) : outcome;
    if (!opened) {
        dropConnection();  // a logon that succeeded after Cancel is ended too
        if (opened.failure().kind != FailureKind::Cancelled)
            show(sap::Message{"No connection to R/3!", sap::kAppTitle, sap::kOkOnly, opened.failure().details()});
    }
    return opened;
}

Result<sap::NameCheck> SessionModel::checkName(const std::string& name) {
    return readOver([&](sap::Operations& o) { return o.checkName(name); });
}

Result<sap::TableSearch> SessionModel::searchTables(const std::string& pattern) {
    return readOver([&](sap::Operations& o) { return o.searchTables(pattern); });
}

Result<std::vector<sap::TableField>> SessionModel::readFields(const std::string& table) {
    auto read = readOver([&](sap::Operations& o) { return o.readFields(table); });
    if (read) fieldTypes_.keep(table, *read);
    return read;
}

Result<sap::TransportCheck> SessionModel::checkTransport(const std::string& name, const std::string& package) {
    return readOver([&](sap::Operations& o) { return o.checkTransport(name, package); });
}

Result<sap::TableDictionary> SessionModel::readDictionary(const std::string& table) {
    if (!operations()) return failure(FailureKind::Refused, "not connected to the SAP system");
    sap::Operations& shared = *operations();
    auto read = overConnection([&] { return shared.readDictionary(table); });
    if (!read && (read.failure().kind == FailureKind::Cancelled || !connectionOpen())) dropConnection();
    return read;
}

void SessionModel::readDesignFieldTypes() {
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

FieldTypeOf SessionModel::designFieldTypes() const {
    return [this](const std::string& table, const std::string& field) -> std::optional<FieldType> {
        if (auto known = fieldTypes().typeOf(table, field)) return known;
        return designTypes_.typeOf(table, field);
    };
}

sap::InstallResult SessionModel::install(const sap::InstallRequest& request) {
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

bool SessionModel::withNewOperations(const sap::LogonValues& values, std::unique_ptr<sap::Operations>& made,
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

void SessionModel::show(const sap::Message& message) {
    std::fprintf(stderr, "orvex: %s\n", message.text.c_str());
}

sap::MessageSink SessionModel::messageSink() {
    return [this](const sap::Message& m) { show(m); };
}

}  // namespace orvex::session
