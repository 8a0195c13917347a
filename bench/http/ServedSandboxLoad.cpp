// `orvex-sandbox serve` under load: eight clients of two hundred TADIR reads
// each over loopback, every answer compared with the embedded sandbox's. The
// counters give the server's resident memory once warm, at the end and at
// its peak (KiB); under AddressSanitizer they say little, as it holds freed
// memory back on purpose.
#include <benchmark/benchmark.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "sap/http/HttpBackend.h"
#include "tests/http/ServedSandbox.h"
#include "tests/http/TadirRead.h"
#include "tests/support/TempDir.h"
#include "sap/sandbox/SandboxSystem.h"

using namespace orvex::sap;
using namespace orvex::test;

namespace {

long memoryKiB(pid_t pid, const std::string& key) {
    std::istringstream status(readFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
    return -1;
}

std::vector<std::string> waRows(const RfcResult& reply) {
    std::vector<std::string> rows;
    if (!reply) return rows;
    if (auto it = reply->tables.find("DATA"); it != reply->tables.end())
        for (const RfcRow& row : it->second) rows.push_back(row.get("WA"));
    return rows;
}

void ServedSandboxEightClients(benchmark::State& state) {
    orvex::testing::TempDir dir;
    const std::string database = dir.file("sandbox.db");
    const std::vector<std::string> patterns = {"A%", "S%", "SFLIGHT", "Z%"};
    std::vector<std::vector<std::string>> expected;
    {
        const auto referenceOwned = std::move(*SandboxSystem::open(database));
        SandboxSystem& reference = *referenceOwned;
        for (const std::string& p : patterns) expected.push_back(waRows(reference.call(tadirRead(p))));
    }
    ServedSandbox server(ORVEX_SANDBOX_BIN, database, dir.file("server.log"));
    if (server.port() == 0) return state.SkipWithError("the server did not start");

    constexpr int kClients = 8, kCalls = 200;
    std::atomic<int> wrong{0};
    std::atomic<long> warmKiB{0};
    for (auto _ : state) {
        std::vector<std::thread> clients;
        for (int c = 0; c < kClients; ++c)
            clients.emplace_back([&, c] {
                ConnectionProperties props;
                props.ApplicationServer = server.url(), props.User = "DEVELOPER", props.Password = "sandbox";
                props.Client = "001";
                auto backend = makeHttpBackend(props, HttpOptions{});
                if (!backend->logon(props)) return void(wrong += kCalls);
                for (int i = 0; i < kCalls; ++i) {
                    const std::size_t which = static_cast<std::size_t>(c + i) % patterns.size();
                    RfcResult reply = backend->call(tadirRead(patterns[which]));
                    if (!reply || waRows(reply) != expected[which]) ++wrong;
                    if (c == 0 && i == kCalls / 4) warmKiB = memoryKiB(server.pid(), "VmRSS");
                }
            });
        for (auto& t : clients) t.join();
    }
    if (wrong > 0) state.SkipWithError((std::to_string(wrong.load()) + " wrong answers").c_str());
    state.counters["warm_KiB"] = static_cast<double>(warmKiB.load());
    state.counters["end_KiB"] = static_cast<double>(memoryKiB(server.pid(), "VmRSS"));
    state.counters["peak_KiB"] = static_cast<double>(memoryKiB(server.pid(), "VmHWM"));
    state.SetItemsProcessed(state.iterations() * kClients * kCalls);
    if (server.stop() != 0) state.SkipWithError("the server did not stop cleanly");
}
BENCHMARK(ServedSandboxEightClients)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
