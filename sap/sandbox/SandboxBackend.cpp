#include "sap/sandbox/SandboxBackend.h"
#include "sap/sandbox/SandboxPreview.h"
#include "sap/sandbox/SandboxSystem.h"

namespace orvex::sap {

namespace {

// The sandbox whose database cannot be opened: every logon says why.
class UnusableSandbox : public RfcBackend {
public:
    explicit UnusableSandbox(Failure why) : why_(std::move(why)) {}
    Status logon(const ConnectionProperties&) override { return why_; }
    void logoff() override {}
    RfcResult call(const RfcRequest&) override {
        Failure failed = why_;
        failed.code = "NOT_CONNECTED";
        return failed;
    }

private:
    Failure why_;
};

// One connection to the sandbox system shared by every connection to the
// same database in this process.
class SandboxBackend : public RfcBackend {
public:
    explicit SandboxBackend(std::shared_ptr<SandboxSystem> system) : system_(std::move(system)) {}

    Status logon(const ConnectionProperties& props) override {
        Status status = system_->checkLogon(props);
        if (status) {
            user_ = props.User;
            client_ = props.Client;
        }
        return status;
    }
    void logoff() override { user_.clear(); }
    RfcResult call(const RfcRequest& request) override { return system_->call(request, user_); }
    void cancel() override { interrupt_.cancel(); }

    // The query on a read-only connection of its own, beside the system's
    // calls: a preview neither waits for them nor holds them up.
    Result<DataPreview> previewQuery(const ReportQuery& query, const PreviewOptions& options) override {
        if (user_.empty()) return callFailure("NOT_CONNECTED", FailureKind::Other, "not logged on", "NOT_CONNECTED");
        return sandbox::previewQuery(system_->databasePath(), client_, query, options, interrupt_);
    }

private:
    std::shared_ptr<SandboxSystem> system_;
    std::string user_, client_;
    sandbox::PreviewInterrupt interrupt_;
};

}  // namespace

std::unique_ptr<RfcBackend> makeSandboxBackend(const std::string& databasePath) {
    auto system = SandboxSystem::shared(databasePath.empty() ? SandboxSystem::defaultDatabasePath() : databasePath);
    if (!system) return std::make_unique<UnusableSandbox>(system.failure());
    return std::make_unique<SandboxBackend>(std::move(*system));
}

}  // namespace orvex::sap
