#pragma once
// A scripted backend for tests: records every logon and request, answers
// through a handler (or with an empty success), and fails the logon or a
// chosen call on request.
//
//   auto script = std::make_shared<orvex::testing::Script>();
//   script->handler = [](const sap::RfcRequest& r) { ... };
//   script->failCall = 2;                          // the 2nd call fails
//   orvex::sap::Component component(orvex::testing::scriptedFactory(script));
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Rfc.h"

namespace orvex::testing {

struct Script {
    // Switches.
    bool failLogon = false;
    Failure logonRefusal = failure(FailureKind::Logon, "wrong user name or password", "scripted");
    int failCall = 0;  // number (from 1, over all calls of all connections) of the call that fails with SYSTEM_FAILURE
    // When set, answers every call not failed by a switch; otherwise each call succeeds with nothing.
    std::function<sap::RfcResult(const sap::RfcRequest&)> handler;

    // Record.
    std::vector<sap::ConnectionProperties> logons;  // every logon attempt
    int logoffs = 0;
    int backendsCreated = 0;
    std::vector<sap::RfcRequest> requests;  // every call, failed ones too

    std::vector<std::string> calledFunctions() const {
        std::vector<std::string> names;
        for (const auto& r : requests) names.push_back(r.function);
        return names;
    }
};

inline Failure failedReply(const std::string& exception) {
    return sap::callFailure(exception, FailureKind::Function, "the function raised " + exception, exception);
}

// A successful answer with one table of one column, a row per cell.
inline sap::RfcReply tableReply(const std::string& table, const std::string& column,
                                const std::vector<std::string>& cells) {
    sap::RfcReply reply;
    auto& rows = reply.tables[table];  // there even when empty
    for (const auto& cell : cells) rows.emplace_back().set(column, cell);
    return reply;
}

class ScriptedBackend : public sap::RfcBackend {
public:
    explicit ScriptedBackend(std::shared_ptr<Script> script) : script_(std::move(script)) {}

    Status logon(const sap::ConnectionProperties& props) override {
        script_->logons.push_back(props);
        return script_->failLogon ? Status(script_->logonRefusal) : Status();
    }
    void logoff() override { ++script_->logoffs; }

    sap::RfcResult call(const sap::RfcRequest& request) override {
        Script& s = *script_;
        s.requests.push_back(request);
        if (s.failCall == static_cast<int>(s.requests.size())) return failedReply("SYSTEM_FAILURE");
        if (s.handler) return s.handler(request);
        return sap::RfcReply{};
    }

private:
    std::shared_ptr<Script> script_;
};

inline sap::BackendFactory scriptedFactory(std::shared_ptr<Script> script) {
    return [script](const sap::ConnectionProperties&) -> std::unique_ptr<sap::RfcBackend> {
        ++script->backendsCreated;
        return std::make_unique<ScriptedBackend>(script);
    };
}

}  // namespace orvex::testing
