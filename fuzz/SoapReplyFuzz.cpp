// Arbitrary SOAP envelopes, the first byte choosing the parser (a TADIR read's
// reply, a reply without tables, a request); what parses is written and parsed again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sap/http/SoapEnvelope.h"
#include "tests/http/TadirRead.h"

using namespace orvex::sap;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const RfcRequest read = orvex::test::tadirRead();
    static const RfcRequest ping = [] {
        RfcRequest r;
        r.function = "RFC_PING";
        return r;
    }();
    std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
        case 0:
        case 1: {
            const RfcRequest& request = data[0] % 3 == 0 ? read : ping;
            RfcResult reply = soap::parseReply(request, body);
            if (reply) {
                std::string again = soap::buildResponse(request, *reply);
                if (!soap::parseReply(request, again)) __builtin_trap();
            } else if (reply.failure().code.empty()) {
                __builtin_trap();  // a failure must always say what failed
            }
            break;
        }
        default: {
            orvex::Result<RfcRequest> parsed = soap::parseRequest(body);
            if (parsed)
                if (auto xml = soap::buildRequest(*parsed); xml && !soap::parseRequest(*xml)) __builtin_trap();
        }
    }
    return 0;
}
