// The SOAP RFC service in this process: the credentials it takes, and
// starting and stopping it at any moment.
#include <gtest/gtest.h>
#include <httplib.h>

#include <thread>

#include "SoapEnvelope.h"
#include "SoapServer.h"

using namespace orvex::sap;

namespace {

RfcReply answerEveryCall(const RfcRequest&, const std::string&) {
    RfcReply reply;
    reply.ok = true;
    return reply;
}

bool developerOnly(const std::string& user, const std::string& password, const std::string& client) {
    return user == "DEVELOPER" && password == "se:cret" && client == "001";
}

std::string pingEnvelope() {
    RfcRequest ping;
    ping.function = "RFC_PING";
    return *soap::buildRequest(ping);
}

}  // namespace

TEST(SoapServer, OnlyWellFormedBasicCredentialsLogOn) {
    const std::pair<const char*, int> cases[] = {
        {"Basic REVWRUxPUEVSOnNlOmNyZXQ=", 200},  // DEVELOPER:se:cret, a colon in the password
        {"basic REVWRUxPUEVSOnNlOmNyZXQ=", 200},
        {"Basic REVWRUxPUEVSOnNlOmNyZXQ", 401},   // padding missing
        {"Basic REVWRUxPUEVS=OnNlOmNyZXQ=", 401},  // padding inside
        {"Basic REVWRUxPUEVS", 401},              // no colon
        {"Basic !!!!", 401},
        {"Bearer REVWRUxPUEVSOnNlOmNyZXQ=", 401},
        {"", 401},
    };
    for (const auto& [authorization, status] : cases) {
        SoapAnswer answer = answerSoapRequest(answerEveryCall, developerOnly, authorization, "001", pingEnvelope());
        EXPECT_EQ(answer.status, status) << authorization;
        EXPECT_EQ(answer.function, status == 200 ? "RFC_PING" : "") << authorization;
    }
    EXPECT_EQ(answerSoapRequest(answerEveryCall, developerOnly, cases[0].first, "002", pingEnvelope()).status, 401);
}

// A stop is never lost, whenever it comes; a started server answers at once.
TEST(SoapServer, StartsServingAtOnceAndStopsAtAnyMoment) {
    for (int round = 0; round < 40; ++round) {
        SoapServer server(answerEveryCall, developerOnly);
        const int port = server.bind("127.0.0.1", 0);
        ASSERT_GT(port, 0);
        switch (round % 4) {
            case 0:  // before it runs
                server.stop();
                EXPECT_TRUE(server.run());
                break;
            case 1:  // while it begins to run
            {
                std::thread stopper([&server] { server.stop(); });
                EXPECT_TRUE(server.run());
                stopper.join();
                break;
            }
            case 2:  // while its thread starts; destruction joins it
                server.start();
                server.stop();
                break;
            default: {
                server.start();
                httplib::Client client("127.0.0.1", port);
                client.set_basic_auth("DEVELOPER", "se:cret");
                auto result = client.Post("/sap/bc/soap/rfc?sap-client=001", pingEnvelope(), "text/xml");
                ASSERT_TRUE(result);
                EXPECT_EQ(result->status, 200);
            }
        }
    }
}
