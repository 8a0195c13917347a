// The sandbox served by `orvex-sandbox serve` in its own process stands a
// load of concurrent clients.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "HttpBackend.h"
#include "ServedSandbox.h"
#include "TadirRead.h"
#include "TempDir.h"
#include "sandbox/SandboxSystem.h"

using namespace orvex::sap;
using namespace orvex::test;
using namespace std::chrono_literals;

namespace {

// AddressSanitizer holds freed memory back on purpose (its quarantine), so
// under it the server's memory says nothing about the server.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

std::vector<std::string> waRows(const RfcReply& reply) {
    std::vector<std::string> rows;
    if (auto it = reply.tables.find("DATA"); it != reply.tables.end())
        for (const RfcRow& row : it->second) rows.push_back(row.get("WA"));
    return rows;
}

}  // namespace

TEST(ServedSandbox, EightClientsOfTwoHundredCallsEachAllAnsweredWithBoundedMemory) {
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

    constexpr int kClients = 8, kCalls = 200;
    std::atomic<int> right{0}, wrong{0};
    std::atomic<long> warmKiB{0};
    std::atomic<bool> overtime{false};
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            ConnectionProperties props;
            props.ApplicationServer = server.url(), props.User = "DEVELOPER", props.Password = "sandbox";
            props.Client = "001";
            auto backend = makeHttpBackend(props, HttpOptions{});
            if (!backend->logon(props)) return void(wrong += kCalls);
            for (int i = 0; i < kCalls; ++i) {
                if (std::chrono::steady_clock::now() > deadline) return void(overtime = true);
                const std::size_t which = static_cast<std::size_t>(c + i) % patterns.size();
                RfcReply reply = backend->call(tadirRead(patterns[which]));
                (reply.ok && waRows(reply) == expected[which] ? right : wrong)++;
                if (c == 0 && i == kCalls / 4) warmKiB = server.memoryKiB();
            }
        });
    }
    for (auto& t : clients) t.join();
    ASSERT_FALSE(overtime) << "the load did not finish in time";
    EXPECT_EQ(right, kClients * kCalls);
    EXPECT_EQ(wrong, 0);

    // Memory stays flat once warm, and the peak is modest.
    const long endKiB = server.memoryKiB(), peakKiB = server.memoryKiB("VmHWM");
    RecordProperty("server_rss_warm_kib", std::to_string(warmKiB));
    RecordProperty("server_rss_end_kib", std::to_string(endKiB));
    RecordProperty("server_rss_peak_kib", std::to_string(peakKiB));
    if (!kAddressSanitizer) {
        ASSERT_GT(warmKiB, 0);
        EXPECT_LT(endKiB - warmKiB, 16 * 1024) << "warm " << warmKiB << " KiB, end " << endKiB << " KiB";
        EXPECT_LT(peakKiB, 256 * 1024) << peakKiB << " KiB";
    }
    EXPECT_EQ(server.stop(), 0) << server.log();  // a clean stop, and no sanitizer report under the sanitizers
}
