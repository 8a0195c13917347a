// The sandbox served by `orvex-sandbox serve` in its own process: the command
// line's SAP jobs over HTTP give what they give against the embedded sandbox,
// and an unknown client is named. Concurrent clients, each answer compared
// with the embedded sandbox's, are the load benchmark's (bench/http).
#include <fcntl.h>
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

// The log goes to standard output; a server whose output nobody reads keeps
// answering, and what it logged meanwhile comes out once the output is read.
// The pipe is filled to the brim before the first request, so that the
// first log line would block a server that writes it in place.
TEST(ServedSandbox, KeepsAnsweringWhenNobodyReadsItsOutput) {
    orvex::testing::TempDir dir;
    int output[2];
    ASSERT_EQ(::pipe2(output, O_CLOEXEC), 0);
    const pid_t pid = spawnTo({ORVEX_SANDBOX_BIN, "serve", "--listen", "127.0.0.1:0", "--db", dir.file("sandbox.db")},
                              output[1]);
    ASSERT_GT(pid, 0);
    struct Reaped {  // on a failure too
        pid_t pid;
        int code = -1;
        int stop() {
            if (pid > 0) ::kill(pid, SIGTERM), code = waitFor(pid, std::chrono::seconds(15)), pid = -1;
            return code;
        }
        ~Reaped() { stop(); }
    } server{pid};

    // The line saying where it serves, read byte by byte so that nothing after it is taken.
    std::string said;
    const std::string marker = "serving http://127.0.0.1:";
    for (char c; said.find(marker) == std::string::npos || said.back() != '\n';) {
        pollfd readable{output[0], POLLIN, 0};
        ASSERT_EQ(::poll(&readable, 1, 30'000), 1) << said;
        ASSERT_EQ(::read(output[0], &c, 1), 1) << said;
        said += c;
    }
    const int port = std::stoi(said.substr(said.find(marker) + marker.size()));

    // Full: written through a description of its own, so that the server's stays blocking.
    const int filler = ::open(("/proc/self/fd/" + std::to_string(output[1])).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(filler, 0);
    const std::string block(4096, '.');
    while (::write(filler, block.data(), block.size()) > 0) {
    }
    ::close(filler);
    ::close(output[1]);

    const std::string ping = *orvex::sap::soap::buildRequest({"RFC_PING", {}, {}});
    constexpr int kCalls = 20;
    for (int i = 0; i < kCalls; ++i) {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(std::chrono::seconds(20));
        client.set_basic_auth("DEVELOPER", "sandbox");
        auto result = client.Post("/sap/bc/soap/rfc?sap-client=001", ping, "text/xml");
        ASSERT_TRUE(result) << i << ": " << httplib::to_string(result.error());
        EXPECT_EQ(result->status, 200);
    }

    // Read at last: every line logged meanwhile comes out.
    std::string log;
    std::thread reader([&log, in = output[0]] {
        char buffer[65536];
        for (ssize_t n; (n = ::read(in, buffer, sizeof buffer)) > 0;) log.append(buffer, static_cast<std::size_t>(n));
    });
    EXPECT_EQ(server.stop(), 0);
    reader.join();
    ::close(output[0]);
    std::size_t pings = 0;
    for (std::size_t at = 0; (at = log.find(" RFC_PING 200 ", at)) != std::string::npos; ++at) ++pings;
    EXPECT_EQ(pings, static_cast<std::size_t>(kCalls)) << log.substr(log.find_first_not_of('.'));
    EXPECT_NE(log.find("orvex-sandbox: stopped\n"), std::string::npos);
}
