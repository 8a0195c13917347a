// Arbitrary requests on the request path of `orvex-sandbox serve`: the
// Authorization header, a line break, the client, a line break and the body.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sap/http/SoapService.h"
#include "fuzz/FuzzSandbox.h"
#include "sap/sandbox/SandboxSystem.h"

using namespace orvex::sap;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t first = input.find('\n');
    const std::size_t second = first == std::string::npos ? std::string::npos : input.find('\n', first + 1);
    if (second == std::string::npos) return 0;
    SandboxSystem& system = orvex::fuzz::fuzzSandbox("orvex-fuzz");
    const SoapAnswer answer = answerSoapRequest(
        [&system](const RfcRequest& request, const std::string& user) { return system.call(request, user); },
        [&system](const std::string& user, const std::string& password, const std::string& client) {
            return system.checkLogon(user, password, client);
        },
        input.substr(0, first), input.substr(first + 1, second - first - 1), input.substr(second + 1));
    // Every answer is one the protocol knows, with a body saying what happened.
    if ((answer.status != 200 && answer.status != 401 && answer.status != 500) || answer.body.empty()) __builtin_trap();
    return 0;
}
