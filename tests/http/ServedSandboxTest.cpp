// The sandbox served by `orvex-sandbox serve` in its own process: the command
// line's SAP jobs over HTTP give what they give against the embedded sandbox,
// concurrent clients each get their own answers (the load and the server's
// memory are measured in bench/), and an unknown client is named.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "HttpBackend.h"
#include "ProgramFolder.h"
#include "ServedSandbox.h"
#include "TadirRead.h"
#include "SoapService.h"
#include "sandbox/SandboxSystem.h"

using namespace orvex::sap;
using namespace orvex::test;

namespace {

std::vector<std::string> waRows(const RfcResult& reply) {
    std::vector<std::string> rows;
    if (!reply) return rows;
    if (auto it = reply->tables.find("DATA"); it != reply->tables.end())
        for (const RfcRow& row : it->second) rows.push_back(row.get("WA"));
    return rows;
}

}  // namespace

TEST(ServedSandbox, ServesWhatTheEmbeddedSandboxAnswersToEveryClient) {
    orvex::testing::ProgramFolder folder({ORVEX_CLI_BIN});
    ASSERT_EQ(folder.run("orvex-cli", "check-name ZNOTHING").code, 0);  // creates the database
    const std::string database = folder.dir.file("orvex-sandbox.db");
    ServedSandbox server(ORVEX_SANDBOX_BIN, database, folder.dir.file("server.log"));
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

    const std::vector<std::string> patterns = {"A%", "S%", "SFLIGHT", "Z%"};
    std::vector<std::vector<std::string>> expected;
    for (const std::string& p : patterns) expected.push_back(waRows((*SandboxSystem::open(database))->call(tadirRead(p))));
    ASSERT_FALSE(expected[0].empty());
    constexpr int kClients = 3, kCalls = 8;
    std::atomic<int> right{0};
    std::vector<std::thread> clients;
    ConnectionProperties props;
    props.ApplicationServer = server.url(), props.User = "DEVELOPER", props.Password = "sandbox", props.Client = "001";
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            auto backend = makeHttpBackend(props, HttpOptions{});
            if (!backend->logon(props)) return;
            for (int i = 0; i < kCalls; ++i) {
                const std::size_t which = static_cast<std::size_t>(c + i) % patterns.size();
                RfcResult reply = backend->call(tadirRead(patterns[which]));
                right += reply && waRows(reply) == expected[which];
            }
        });
    }
    for (auto& t : clients) t.join();
    EXPECT_EQ(right, kClients * kCalls);
    // A client that does not exist is named on the logon page, and the user sees it.
    props.Client = "123";
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
