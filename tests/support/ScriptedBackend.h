#pragma once
// A scripted backend for tests: records every logon and request, answers
// with scripted replies, and fails the logon or a chosen call on request.
//
//   auto script = std::make_shared<orvex::testing::Script>();
//   script->replyTo("RFC_READ_TABLE", reply);      // next reply for that function
//   script->failCall = 2;                          // the 2nd call fails
//   orvex::sap::Component component(orvex::testing::scriptedFactory(script));
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Rfc.h"

namespace orvex::testing {

struct Script {
    // Switches.
    bool failLogon = false;
    int failCall = 0;  // number (from 1, over all calls of all connections) of the call that fails
    std::string failException = "SYSTEM_FAILURE";

    // Replies: per function first, then the handler's, then the default.
    std::map<std::string, std::deque<sap::RfcReply>> repliesByFunction;
    sap::RfcReply defaultReply = [] {
        sap::RfcReply r;
        r.ok = true;
        return r;
    }();
    // When set, answers every call not failed by a switch.
    std::function<sap::RfcReply(const sap::RfcRequest&)> handler;

    // Record.
    std::vector<sap::ConnectionProperties> logons;  // every logon attempt
    int logoffs = 0;
    int backendsCreated = 0;
    std::vector<sap::RfcRequest> requests;  // every call, failed ones too

    void replyTo(const std::string& function, sap::RfcReply reply) {
        repliesByFunction[function].push_back(std::move(reply));
    }
    std::vector<std::string> calledFunctions() const {
        std::vector<std::string> names;
        for (const auto& r : requests) names.push_back(r.function);
        return names;
    }
};

// A successful reply with one table of one-column rows.
inline sap::RfcReply tableReply(const std::string& table, const std::string& column,
                                const std::vector<std::string>& cells) {
    sap::RfcReply reply;
    reply.ok = true;
    auto& rows = reply.tables[table];
    for (const auto& cell : cells) {
        sap::RfcRow row;
        row.set(column, cell);
        rows.push_back(row);
    }
    return reply;
}

inline sap::RfcReply failedReply(const std::string& exception) {
    sap::RfcReply reply;
    reply.exception = exception;
    return reply;
}

class ScriptedBackend : public sap::RfcBackend {
public:
    explicit ScriptedBackend(std::shared_ptr<Script> script) : script_(std::move(script)) {}

    bool logon(const sap::ConnectionProperties& props) override {
        script_->logons.push_back(props);
        return !script_->failLogon;
    }
    void logoff() override { ++script_->logoffs; }

    sap::RfcReply call(const sap::RfcRequest& request) override {
        Script& s = *script_;
        s.requests.push_back(request);
        if (s.failCall == static_cast<int>(s.requests.size())) return failedReply(s.failException);
        auto byFunction = s.repliesByFunction.find(request.function);
        if (byFunction != s.repliesByFunction.end() && !byFunction->second.empty()) {
            auto reply = std::move(byFunction->second.front());
            byFunction->second.pop_front();
            return reply;
        }
        if (s.handler) return s.handler(request);
        return s.defaultReply;
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
