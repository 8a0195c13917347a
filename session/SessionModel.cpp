#include "session/SessionModel.h"

#include <algorithm>
#include <cstdio>

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

}  // namespace orvex::session
