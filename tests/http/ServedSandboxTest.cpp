// The sandbox served by `orvex-sandbox serve` in its own process.
#include <gtest/gtest.h>
#include <httplib.h>

#include "HttpBackend.h"
#include "ProgramFolder.h"
#include "ServedSandbox.h"
#include "SoapEnvelope.h"
#include "TempDir.h"

using namespace orvex::sap;
using namespace orvex::test;

TEST(ServedSandbox, ServesWhatTheEmbeddedSandboxAnswers) {
    orvex::testing::ProgramFolder folder({ORVEX_CLI_BIN});
    ASSERT_EQ(folder.run("orvex-cli", "check-name ZNOTHING").code, 0);  // creates the database
    ServedSandbox server(ORVEX_SANDBOX_BIN, folder.dir.file("orvex-sandbox.db"), folder.dir.file("server.log"));
    ASSERT_NE(server.port(), 0) << server.log();

    for (const char* job : {"tables 'S*'", "fields SFLIGHT", "check-name RSPARAM", "joins SCARR SPFLI SFLIGHT"}) {
        folder.settings("sandbox");
        auto embedded = folder.run("orvex-cli", job);
        folder.settings(server.url());
        auto http = folder.run("orvex-cli", job);
        EXPECT_NE(http.code, 2) << job << ": " << http.err;
        EXPECT_EQ(std::tie(http.code, http.out, http.err), std::tie(embedded.code, embedded.out, embedded.err)) << job;
    }
    const std::string design = std::string(ORVEX_SOURCE_DIR) + "/examples/flights_by_carrier.json";
    auto installed = folder.run("orvex-cli", "install '" + design + "'");
    EXPECT_EQ(installed.code, 0) << installed.err;
    EXPECT_EQ(installed.out, "Program Created successfully in SAP\n");
    EXPECT_EQ(folder.run("orvex-cli", "check-name ZFLIGHTS_BY_CARRIER").code, 1);

    // A client that does not exist is named to the user.
    ConnectionProperties props;
    props.ApplicationServer = server.url(), props.User = "DEVELOPER", props.Password = "sandbox", props.Client = "123";
    orvex::Status status = makeHttpBackend(props, HttpOptions{})->logon(props);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.failure().kind, orvex::FailureKind::Logon);
    EXPECT_NE(status.failure().text().find("client 123 does not exist"), std::string::npos) << status.failure().text();

    EXPECT_NE(server.log().find("user=DEVELOPER client=001 BC_PR_INSERT 200"), std::string::npos) << server.log();
    EXPECT_EQ(server.stop(), 0) << server.log();  // a clean stop, no sanitizer report
}

// A server whose output (its log) nobody reads, the pipe full before the first
// request, keeps answering; what it logged comes out once the output is read.
TEST(ServedSandbox, KeepsAnsweringWhenNobodyReadsItsOutput) {
    orvex::testing::TempDir dir;
    ServedSandbox server(ORVEX_SANDBOX_BIN, dir.file("sandbox.db"), dir.file("server.log"), true);
    ASSERT_NE(server.port(), 0) << server.log();
    const std::string ping = *orvex::sap::soap::buildRequest({"RFC_PING", {}, {}});
    constexpr int kCalls = 20;
    for (int i = 0; i < kCalls; ++i) {
        httplib::Client client("127.0.0.1", server.port());
        client.set_read_timeout(std::chrono::seconds(20));
        client.set_basic_auth("DEVELOPER", "sandbox");
        auto result = client.Post("/sap/bc/soap/rfc?sap-client=001", ping, "text/xml");
        ASSERT_TRUE(result) << i << ": " << httplib::to_string(result.error());
        EXPECT_EQ(result->status, 200);
    }
    EXPECT_EQ(server.stop(), 0);
    const std::string log = server.log();
    std::size_t pings = 0;
    for (std::size_t at = 0; (at = log.find(" RFC_PING 200 ", at)) != std::string::npos; ++at) ++pings;
    EXPECT_EQ(pings, static_cast<std::size_t>(kCalls)) << log.substr(log.rfind(std::string(64, '.')) + 64);
    EXPECT_NE(log.find("orvex-sandbox: stopped\n"), std::string::npos);
}
