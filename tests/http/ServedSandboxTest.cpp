// The sandbox served by `orvex-sandbox serve` in its own process: concurrent
// clients, and the command line's SAP jobs over HTTP give what they give
// against the embedded sandbox.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "HttpBackend.h"
#include "ServedSandbox.h"
#include "TadirRead.h"
#include "TempDir.h"
#include "sandbox/SandboxSystem.h"

using namespace orvex::sap;
using namespace orvex::test;

namespace {

std::vector<std::string> waRows(const RfcReply& reply) {
    std::vector<std::string> rows;
    if (auto it = reply.tables.find("DATA"); it != reply.tables.end())
        for (const RfcRow& row : it->second) rows.push_back(row.get("WA"));
    return rows;
}

// A copy of orvex-cli in its own folder, since it reads Quaylin.ini (and the
// embedded sandbox its database) beside itself.
struct CliFolder {
    orvex::testing::TempDir dir;
    std::string cli = dir.file("orvex-cli");
    std::string database = dir.file("orvex-sandbox.db");
    CliFolder() { std::filesystem::copy_file(ORVEX_CLI_BIN, cli); }

    void settings(const std::string& appServer, const std::string& password = "sandbox") const {
        std::ofstream(dir.file("Quaylin.ini")) << "[SAPLogOn]\nSAPUid=DEVELOPER\nSAPPwd=" << password
                                               << "\nClient=001\n\n[Connect]\nSysNum=00\nSystID=SBX\nAppSer="
                                               << appServer << "\n";
    }
    // The exit code (-1 when it took too long) and the output.
    std::pair<int, std::string> cliRun(std::vector<std::string> args) const {
        args.insert(args.begin(), cli);
        int exitCode = waitFor(spawn(args, dir.file("cli.log")), std::chrono::seconds(60));
        return {exitCode, readFile(dir.file("cli.log"))};
    }
};

}  // namespace

// Concurrent clients each get their own answers (the load and the server's
// memory are measured in bench/).
TEST(ServedSandbox, ConcurrentClientsGetTheEmbeddedSandboxsAnswers) {
    orvex::testing::TempDir dir;
    const std::string database = dir.file("sandbox.db");
    const std::vector<std::string> patterns = {"A%", "S%", "SFLIGHT", "Z%"};
    std::vector<std::vector<std::string>> expected;
    {
        SandboxSystem reference(database);  // what the sandbox itself answers, without HTTP
        for (const std::string& p : patterns) expected.push_back(waRows(reference.call(tadirRead(p))));
    }
    ASSERT_FALSE(expected[0].empty());
    ServedSandbox server(ORVEX_SANDBOX_BIN, database, dir.file("server.log"));
    ASSERT_NE(server.port(), 0) << server.log();

    constexpr int kClients = 3, kCalls = 8;
    std::atomic<int> right{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            ConnectionProperties props;
            props.ApplicationServer = server.url(), props.User = "DEVELOPER", props.Password = "sandbox";
            props.Client = "001";
            auto backend = makeHttpBackend(props, HttpOptions{});
            if (!backend->logon(props)) return;
            for (int i = 0; i < kCalls; ++i) {
                const std::size_t which = static_cast<std::size_t>(c + i) % patterns.size();
                RfcReply reply = backend->call(tadirRead(patterns[which]));
                right += reply.ok && waRows(reply) == expected[which];
            }
        });
    }
    for (auto& t : clients) t.join();
    EXPECT_EQ(right, kClients * kCalls);
    EXPECT_EQ(server.stop(), 0) << server.log();  // a clean stop, and no sanitizer report under the sanitizers
}

TEST(ServedSandbox, CommandLineJobsOverHttpMatchTheEmbeddedSandbox) {
    CliFolder folder;
    folder.settings("sandbox");
    ASSERT_EQ(folder.cliRun({"check-name", "ZNOTHING"}).first, 0);  // creates the database
    ServedSandbox server(ORVEX_SANDBOX_BIN, folder.database, folder.dir.file("server.log"));
    ASSERT_NE(server.port(), 0) << server.log();

    const std::vector<std::vector<std::string>> jobs = {
        {"tables", "S*"}, {"tables", "A*"}, {"tables", "NOSUCH*"}, {"fields", "SFLIGHT"},
        {"fields", "SCARR"}, {"check-name", "RSPARAM"}, {"check-name", "ZFREE_NAME"}};
    for (const auto& job : jobs) {
        folder.settings("sandbox");
        auto embedded = folder.cliRun(job);
        folder.settings(server.url());
        auto http = folder.cliRun(job);
        EXPECT_NE(http.first, 2) << job[0] << " " << job[1] << ": " << http.second;
        EXPECT_EQ(http.first, embedded.first) << job[0] << " " << job[1];
        EXPECT_EQ(http.second, embedded.second) << job[0] << " " << job[1];
    }

    // A program created over HTTP is there afterwards.
    folder.settings(server.url());
    const std::string design = std::string(ORVEX_SOURCE_DIR) + "/examples/flights_by_carrier.json";
    EXPECT_EQ(folder.cliRun({"check-name", "ZFLIGHTS_BY_CARRIER"}).first, 0);
    auto installed = folder.cliRun({"install", design});
    EXPECT_EQ(installed.first, 0) << installed.second;
    EXPECT_NE(installed.second.find("Program Created successfully in SAP"), std::string::npos) << installed.second;
    EXPECT_EQ(folder.cliRun({"check-name", "ZFLIGHTS_BY_CARRIER"}).first, 1);

    // Wrong password: the logon fails as any failed logon does.
    folder.settings(server.url(), "wrong");
    auto refused = folder.cliRun({"tables", "S*"});
    EXPECT_EQ(refused.first, 2);
    EXPECT_NE(refused.second.find("No connection to R/3!"), std::string::npos) << refused.second;

    // One log line per request: every logon's ping, every call, the refused logon.
    const std::string log = server.log();
    EXPECT_NE(log.find("user=DEVELOPER client=001 BC_PR_INSERT 200"), std::string::npos) << log;
    EXPECT_NE(log.find("user=DEVELOPER client=001 RFC_ABAP_INSTALL_AND_RUN 200"), std::string::npos) << log;
    EXPECT_NE(log.find(" 401 "), std::string::npos) << log;
    EXPECT_EQ(server.stop(), 0) << server.log();
}
