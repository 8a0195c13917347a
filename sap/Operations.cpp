#include "Operations.h"

#include <utility>

namespace orvex::sap {

namespace {

// The function-module road: TADIR through RFC_READ_TABLE, fields through
// DD_TABL_GET, the installation through BC_PR_INSERT and the installer.
class RfcOperations final : public Operations {
public:
    RfcOperations(LogonValues logon, BackendFactory factory)
        : logon_(std::move(logon)), factory_(std::move(factory)), component_(factory_) {
        component_.connection().properties = connectionProperties(logon_);
    }

    Status logon() override {
        Connection& connection = component_.connection();
        if (connection.isOpen() || connection.logon()) return {};
        return connection.logonFailure();
    }

    Result<NameCheck> checkName(const std::string& name) override {
        auto rows = tadir(programNameCondition(name));
        if (!rows) return rows.failure();
        return NameCheck{!rows->empty(), {}};
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
            InstallResult result;
            result.failure = refused.failure();
            result.outcome = InstallOutcome::InsertFailed;
            return result;
        }
        InstallRequest withLogon = request;
        withLogon.logon = logon_;
        return InstallProgram(withLogon, factory_, messages);
    }

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
        auto rows = readTadir(component_, condition);
        if (rows) return rows;
        Failure failed = rows.failure();
        failed.reason = "reading the object directory TADIR failed" +
                        (failed.reason.empty() ? std::string() : ": " + failed.reason);
        return failed;
    }

    LogonValues logon_;
    BackendFactory factory_;
    Component component_;
};

}  // namespace

std::unique_ptr<Operations> makeRfcOperations(const LogonValues& logon, BackendFactory factory) {
    return std::make_unique<RfcOperations>(logon, std::move(factory));
}

std::string messageLine(const SapMessage& message) {
    return std::to_string(message.line) + ":" + std::to_string(message.column) + ": " + message.type + ": " +
           message.text;
}

bool isError(const SapMessage& message) { return message.type == "E" || message.type == "A" || message.type == "X"; }

}  // namespace orvex::sap
