// The command line's SAP jobs over HTTP, against `orvex-sandbox serve` in its
// own process, give what they give against the embedded sandbox.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CannedServer.h"
#include "ServedSandbox.h"
#include "SoapEnvelope.h"
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
    RunResult cliRun(std::vector<std::string> args) const {
        args.insert(args.begin(), cli);
        return run(args, dir.file("cli.log"));
    }
};

}  // namespace

TEST(ServedSandbox, CommandLineJobsOverHttpMatchTheEmbeddedSandbox) {
    CliFolder folder;
    folder.settings("sandbox");
    ASSERT_EQ(folder.cliRun({"check-name", "ZNOTHING"}).exitCode, 0);  // creates the database
    ServedSandbox server(ORVEX_SANDBOX_BIN, folder.database, folder.dir.file("server.log"));
    ASSERT_NE(server.port(), 0) << server.log();

    const std::vector<std::vector<std::string>> jobs = {
        {"tables", "S*"}, {"tables", "A*"}, {"tables", "NOSUCH*"}, {"fields", "SFLIGHT"},
        {"fields", "SCARR"}, {"check-name", "RSPARAM"}, {"check-name", "ZFREE_NAME"}};
    for (const auto& job : jobs) {
        folder.settings("sandbox");
        RunResult embedded = folder.cliRun(job);
        folder.settings(server.url());
        RunResult http = folder.cliRun(job);
        EXPECT_NE(http.exitCode, 2) << job[0] << " " << job[1] << ": " << http.output;
        EXPECT_EQ(http.exitCode, embedded.exitCode) << job[0] << " " << job[1];
        EXPECT_EQ(http.output, embedded.output) << job[0] << " " << job[1];
    }

    // A program created over HTTP is there afterwards.
    folder.settings(server.url());
    const std::string design = std::string(ORVEX_SOURCE_DIR) + "/examples/flights_by_carrier.json";
    EXPECT_EQ(folder.cliRun({"check-name", "ZFLIGHTS_BY_CARRIER"}).exitCode, 0);
    RunResult installed = folder.cliRun({"install", design});
    EXPECT_EQ(installed.exitCode, 0) << installed.output;
    EXPECT_NE(installed.output.find("Program Created successfully in SAP"), std::string::npos) << installed.output;
    EXPECT_EQ(folder.cliRun({"check-name", "ZFLIGHTS_BY_CARRIER"}).exitCode, 1);

    // Wrong password: the logon fails as any failed logon does.
    folder.settings(server.url(), "wrong");
    RunResult refused = folder.cliRun({"tables", "S*"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.output.find("No connection to R/3!"), std::string::npos) << refused.output;
    // The server is gone: the same.
    folder.settings("http://127.0.0.1:1");
    EXPECT_EQ(folder.cliRun({"tables", "S*"}).exitCode, 2);

    // One log line per request: every logon's ping, every call, the refused logon.
    const std::string log = server.log();
    EXPECT_NE(log.find("user=DEVELOPER client=001 BC_PR_INSERT 200"), std::string::npos) << log;
    EXPECT_NE(log.find("user=DEVELOPER client=001 RFC_ABAP_INSTALL_AND_RUN 200"), std::string::npos) << log;
    EXPECT_NE(log.find(" 401 "), std::string::npos) << log;
    EXPECT_EQ(server.stop(), 0) << server.log();
}

TEST(ServedSandbox, FailedCallsOverHttpReachTheCommandLineAsFailures) {
    CliFolder folder;
    orvex::sap::RfcRequest ping;
    ping.function = "RFC_PING";
    orvex::sap::RfcReply ok;
    ok.ok = true;
    const std::string pinged = CannedServer::http(200, "text/xml", orvex::sap::soap::buildResponse(ping, ok));
    const std::string notFound = CannedServer::http(404, "text/html", "<html><body>Not found</body></html>");
    const std::string fault =
        CannedServer::http(500, "text/xml", orvex::sap::soap::buildFault("DD_TABL_GET", "ACCESS_FAILURE", "no access"));

    CannedServer missingService({pinged, notFound});
    folder.settings(missingService.url());
    RunResult search = folder.cliRun({"tables", "S*"});
    EXPECT_EQ(search.exitCode, 2);
    EXPECT_NE(search.output.find("reading TADIR failed"), std::string::npos) << search.output;

    CannedServer refusing({pinged, fault});
    folder.settings(refusing.url());
    RunResult fields = folder.cliRun({"fields", "SCARR"});
    EXPECT_EQ(fields.exitCode, 2);
    EXPECT_NE(fields.output.find("ACCESS_FAILURE"), std::string::npos) << fields.output;
}
