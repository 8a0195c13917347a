// The sandbox served by `orvex-sandbox serve` in its own process: the command
// line's SAP jobs over HTTP give what they give against the embedded sandbox,
// and an unknown client is named. Concurrent clients, each answer compared
// with the embedded sandbox's, are the load benchmark's (bench/http).
#include <gtest/gtest.h>

#include "HttpBackend.h"
#include "ProgramFolder.h"
#include "ServedSandbox.h"

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
    // A program created over HTTP is there afterwards.
    const std::string design = std::string(ORVEX_SOURCE_DIR) + "/examples/flights_by_carrier.json";
    auto installed = folder.run("orvex-cli", "install '" + design + "'");
    EXPECT_EQ(installed.code, 0) << installed.err;
    EXPECT_EQ(installed.out, "Program Created successfully in SAP\n");
    EXPECT_EQ(folder.run("orvex-cli", "check-name ZFLIGHTS_BY_CARRIER").code, 1);

    // A client that does not exist is named on the logon page, and the user sees it.
    ConnectionProperties props;
    props.ApplicationServer = server.url(), props.User = "DEVELOPER", props.Password = "sandbox", props.Client = "123";
    orvex::Status status = makeHttpBackend(props, HttpOptions{})->logon(props);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.failure().kind, orvex::FailureKind::Logon);
    EXPECT_NE(status.failure().text().find("client 123 does not exist"), std::string::npos) << status.failure().text();

    // One log line per request: every logon's ping, every call.
    const std::string log = server.log();
    EXPECT_NE(log.find("user=DEVELOPER client=001 BC_PR_INSERT 200"), std::string::npos) << log;
    EXPECT_NE(log.find("user=DEVELOPER client=001 RFC_ABAP_INSTALL_AND_RUN 200"), std::string::npos) << log;
    EXPECT_EQ(server.stop(), 0) << server.log();  // a clean stop, and no sanitizer report under the sanitizers
}
