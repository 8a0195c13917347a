#include "../Backends.h"
#include "SandboxSystem.h"

namespace orvex::sap {

namespace {

// One connection to the sandbox system shared by every connection to the
// same database in this process.
class SandboxBackend : public RfcBackend {
public:
    explicit SandboxBackend(std::shared_ptr<SandboxSystem> system) : system_(std::move(system)) {}

    bool logon(const ConnectionProperties& props) override {
        if (!system_->checkLogon(props)) return false;
        user_ = props.User;
        return true;
    }
    void logoff() override { user_.clear(); }
    RfcReply call(const RfcRequest& request) override { return system_->call(request, user_); }

private:
    std::shared_ptr<SandboxSystem> system_;
    std::string user_;
};

}  // namespace

std::unique_ptr<RfcBackend> makeSandboxBackend(const ConnectionProperties&) {
    try {
        return std::make_unique<SandboxBackend>(SandboxSystem::shared(SandboxSystem::defaultDatabasePath()));
    } catch (const std::exception&) {
        return nullptr;  // the logon fails; orvex-sandbox names the cause
    }
}

}  // namespace orvex::sap
