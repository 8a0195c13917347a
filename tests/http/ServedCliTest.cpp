// The command line's SAP jobs over HTTP, against `orvex-sandbox serve` in its
// own process, give what they give against the embedded sandbox.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ServedSandbox.h"
#include "TempDir.h"

using namespace orvex::test;

namespace {

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
    // The server is gone: the same.
    folder.settings("http://127.0.0.1:1");
    EXPECT_EQ(folder.cliRun({"tables", "S*"}).first, 2);

    // One log line per request: every logon's ping, every call, the refused logon.
    const std::string log = server.log();
    EXPECT_NE(log.find("user=DEVELOPER client=001 BC_PR_INSERT 200"), std::string::npos) << log;
    EXPECT_NE(log.find("user=DEVELOPER client=001 RFC_ABAP_INSTALL_AND_RUN 200"), std::string::npos) << log;
    EXPECT_NE(log.find(" 401 "), std::string::npos) << log;
    EXPECT_EQ(server.stop(), 0) << server.log();
}
