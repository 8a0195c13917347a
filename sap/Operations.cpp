#include "sap/Operations.h"

#include "sap/PreviewReadTable.h"

#include <mutex>
#include <utility>
#include <vector>

namespace orvex::sap {

namespace {

Failure cancelledCall() { return callFailure("CANCELLED", FailureKind::Cancelled, "Cancelled"); }

// Carries a Cancel to every backend the operations made, the installation's
// own included, and keeps it: a Cancel that comes while no call runs (before
// the logon, between two calls) stops the next logon or call before it
// starts, so that it is never lost between the calls of one operation.
struct CancelRelay {
    std::mutex mutex;
    std::vector<RfcBackend*> live;
    bool cancelled = false;
    void cancel() {
        std::lock_guard lock(mutex);
        cancelled = true;
        for (RfcBackend* backend : live) backend->cancel();
    }
    bool isCancelled() {
        std::lock_guard lock(mutex);
        return cancelled;
    }
};

class RelayedBackend final : public ForwardingBackend {
public:
    RelayedBackend(std::unique_ptr<RfcBackend> inner, std::shared_ptr<CancelRelay> relay)
        : ForwardingBackend(std::move(inner)), relay_(std::move(relay)) {
        std::lock_guard lock(relay_->mutex);
        relay_->live.push_back(this->inner());
    }
    ~RelayedBackend() override {
        std::lock_guard lock(relay_->mutex);
        std::erase(relay_->live, inner());
    }
    Status logon(const ConnectionProperties& props) override {
        if (relay_->isCancelled()) return cancelledCall();
        return ForwardingBackend::logon(props);
    }
    RfcResult call(const RfcRequest& request) override {
        if (relay_->isCancelled()) return cancelledCall();
        return ForwardingBackend::call(request);
    }
    Result<DataPreview> previewQuery(const ReportQuery& query, const PreviewOptions& options) override {
        if (relay_->isCancelled()) return cancelledCall();
        return ForwardingBackend::previewQuery(query, options);
    }

private:
    std::shared_ptr<CancelRelay> relay_;
};

BackendFactory relayedFactory(BackendFactory inner, std::shared_ptr<CancelRelay> relay) {
    return [inner = std::move(inner), relay = std::move(relay)](
               const ConnectionProperties& props) -> std::unique_ptr<RfcBackend> {
        std::unique_ptr<RfcBackend> backend = inner ? inner(props) : nullptr;
        if (!backend) return nullptr;
        return std::make_unique<RelayedBackend>(std::move(backend), relay);
    };
}

// The function-module road: TADIR through RFC_READ_TABLE, fields through
// DD_TABL_GET, the installation through BC_PR_INSERT and the installer.
class RfcOperations final : public Operations {
public:
    RfcOperations(LogonValues logon, BackendFactory factory)
        : logon_(std::move(logon)), factory_(relayedFactory(std::move(factory), relay_)), component_(factory_) {
        component_.connection().properties = connectionProperties(logon_);
    }

    Status logon() override {
        Connection& connection = component_.connection();
        if (connection.isOpen()) return {};
        return connection.logon();
    }

    Result<NameCheck> checkName(const std::string& name) override {
        auto rows = tadir(programNameCondition(name));
        if (!rows) return rows.failure();
        return NameCheck{!rows->empty(), {}, {}, {}};
    }

    Result<TableSearch> searchTables(const std::string& pattern) override {
        if (Status checked = checkSearchPattern(pattern); !checked) return checked.failure();
        auto rows = tadir(tableSearchCondition(pattern));
        if (!rows) return rows.failure();
        TableSearch search;
        search.names.reserve(rows->size());
        for (const std::string& row : *rows) search.names.push_back(objectName(row));
        return search;
    }

    Result<std::vector<TableField>> readFields(const std::string& table) override {
        if (Status status = logon(); !status) return status.failure();
        return sap::readFields(component_, table);
    }

    Result<TransportCheck> checkTransport(const std::string&, const std::string& package) override {
        if (Status refused = packageRefused(package, {}); !refused) return refused.failure();
        return TransportCheck{};
    }

    InstallResult installProgram(const InstallRequest& request, const MessageSink& messages) override {
        if (Status refused = packageRefused(request.package, request.transport); !refused) {
            if (messages) messages(Message{refused.failure().text(), kAppTitle, kCritical, {}});
            InstallResult result;
            result.created = refused;
            return result;
        }
        InstallRequest withLogon = request;
        withLogon.logon = logon_;
        return InstallProgram(withLogon, factory_, messages);
    }

    void cancel() override { relay_->cancel(); }

    Status readsDictionary() const override { return {}; }

    Result<TableDictionary> readDictionary(const std::string& table) override {
        if (Status status = logon(); !status) return status.failure();
        return sap::readDictionary(component_, table);
    }

    // The backend's own query where it has one (the sandbox), otherwise one
    // table through RFC_READ_TABLE.
    Result<DataPreview> previewData(const ReportQuery& query, const PreviewOptions& options) override {
        if (Status status = logon(); !status) return status.failure();
        Result<DataPreview> own = component_.connection().previewQuery(query, options);
        if (own || !notOffered(own.failure())) return own;
        return previewByReadTable(component_, query, options);
    }

    Component* component() override { return &component_; }

private:
    // BC_PR_INSERT creates a program in no package and on no request.
    static Status packageRefused(const std::string& package, const std::string& transport) {
        if ((package.empty() || package == "$TMP") && transport.empty()) return {};
        return failure(FailureKind::Refused,
                       "a package or transport request needs the ADT road: the RFC roads create the program "
                       "as a local object",
                       "package " + package + (transport.empty() ? "" : ", request " + transport));
    }

    Result<std::vector<std::string>> tadir(const std::string& condition) {
        if (Status status = logon(); !status) return status.failure();
        // The function's own reason, as the wizard's status lines have always shown it.
        return readTadir(component_, condition);
    }

    std::shared_ptr<CancelRelay> relay_ = std::make_shared<CancelRelay>();
    LogonValues logon_;
    BackendFactory factory_;  // relayed
    Component component_;
};

}  // namespace

Status Operations::readsDictionary() const { return failure(FailureKind::Refused, kJoinsNeedAnRfcRoad); }

Result<TableDictionary> Operations::readDictionary(const std::string&) {
    return failure(FailureKind::Refused, kJoinsNeedAnRfcRoad);
}

Result<DataPreview> Operations::previewData(const ReportQuery&, const PreviewOptions&) {
    return previewNotOffered("this road reads no rows");
}

std::unique_ptr<Operations> makeRfcOperations(const LogonValues& logon, BackendFactory factory) {
    return std::make_unique<RfcOperations>(logon, std::move(factory));
}

std::string messageLine(const SapMessage& message) {
    return std::to_string(message.line) + ":" + std::to_string(message.column) + ": " + message.type + ": " +
           message.text;
}

bool isError(const SapMessage& message) { return message.type == "E" || message.type == "A" || message.type == "X"; }

}  // namespace orvex::sap
