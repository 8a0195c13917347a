#include "sap/sandbox/FunctionModules.h"

#include <map>

namespace orvex::sap::sandbox {

namespace {

RfcResult ping(ModuleCall&) { return RfcReply{}; }

}  // namespace

FunctionModule functionModule(const std::string& name) {
    static const std::map<std::string, FunctionModule> modules = {
        {"RFC_READ_TABLE", readTable},
        {"DD_TABL_GET", tableGet},
        {"BC_PR_INSERT", programInsert},
        {"RFC_ABAP_INSTALL_AND_RUN", installAndRun},
        {"RFC_PING", ping},
    };
    const auto found = modules.find(name);
    return found == modules.end() ? nullptr : found->second;
}

std::string exportOf(const RfcRequest& request, const char* name) {
    auto it = request.exports.find(name);
    return it == request.exports.end() ? std::string() : it->second;
}

Failure exceptionReply(const std::string& exception, std::string reason) {
    const FailureKind kind = reason.empty() ? FailureKind::Other : FailureKind::Function;
    return callFailure(exception, kind, std::move(reason));
}

}  // namespace orvex::sap::sandbox
