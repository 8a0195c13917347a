// Installation of a generated program of 32,768 lines (the most the wizard
// makes) over loopback, end to end, on both HTTP roads in the same run: ADT
// (validate, create, lock, check run, source, unlock, activation) against the
// ADT double, and the SOAP service (BC_PR_INSERT and the installer) against
// the SOAP server; both serve a sandbox database of their own. On ADT also
// today's client against the earlier one (BaselineClient.h), both on a double
// that answers in the shapes the earlier client understood.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/adt/AdtDouble.h"
#include "sap/adt/AdtOperations.h"
#include "sap/http/HttpBackend.h"
#include "sap/http/SoapServer.h"
#include "tests/support/TempDir.h"
#ifdef ORVEX_BASELINE_CLIENT
#include "bench/baseline/BaselineClient.h"
#endif

using namespace orvex;
using namespace orvex::sap;

namespace {

constexpr int kLines = 32'768;

struct Fixture {
    testing::TempDir dir;
    testing::AdtDouble adt{dir.file("adt.db")};
    testing::AdtDouble earlier{dir.file("earlier.db")};
    std::unique_ptr<SandboxSystem> soapSystemOwned = std::move(*SandboxSystem::open(dir.file("soap.db")));
    SandboxSystem& soapSystem = *soapSystemOwned;
    SoapServer soap{[this](const RfcRequest& r, const std::string& user) { return soapSystem.call(r, user); },
                    [this](const std::string& u, const std::string& p, const std::string& c) {
                        return soapSystem.checkLogon(u, p, c);
                    }};
    int soapPort = -1;
    std::vector<std::string> source;

    Fixture() {
        earlier.earlierShapes = true;
        soapPort = soap.bind("127.0.0.1", 0).value_or(-1);
        soap.start();
        source.reserve(kLines);
        source.push_back("REPORT zbench.");
        while (source.size() < kLines)
            source.push_back("WRITE / 'Line " + std::to_string(source.size()) + " of the benchmark program'.");
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

LogonValues logonAt(const std::string& url) { return {"DEVELOPER", "sandbox", "00", "SBX", url, "001"}; }

// A new name for every installation, across repetitions too.
std::string nextName(const std::string& prefix) {
    static int made = 0;
    return prefix + std::to_string(++made);
}

void install(benchmark::State& state, Operations& operations, const std::string& prefix) {
    for (auto _ : state) {
        InstallRequest request;
        request.source = &fixture().source;
        request.name = nextName(prefix);
        request.title = "Benchmark";
        request.unicodeCheck = true;
        InstallResult result = operations.installProgram(request, {});
        if (!result.activated()) {
            const Status& failed = result.created ? result.activation : result.created;
            state.SkipWithError(("installation failed: " + (failed ? std::string() : failed.failure().text())).c_str());
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

void AdtInstall32kLines(benchmark::State& state) {
    auto operations = adt::makeAdtOperations(logonAt(fixture().adt.url()));
    install(state, *operations, "ZBENCH_ADT");
}
BENCHMARK(AdtInstall32kLines)->Unit(benchmark::kMillisecond)->Iterations(5);

// Today's client and the earlier one, on the double in the earlier shapes.
void AdtInstall32kLinesEarlierShapes(benchmark::State& state) {
    auto operations = adt::makeAdtOperations(logonAt(fixture().earlier.url()));
    install(state, *operations, "ZBENCH_NEW");
}
BENCHMARK(AdtInstall32kLinesEarlierShapes)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3);

#ifdef ORVEX_BASELINE_CLIENT
void AdtInstall32kLinesBaseline(benchmark::State& state) {
    bench_baseline::AdtInstalls installs(fixture().earlier.url());
    for (auto _ : state) {
        const std::string why = installs.install(nextName("ZBENCH_OLD"), fixture().source);
        if (!why.empty()) {
            state.SkipWithError(("installation failed: " + why).c_str());
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(AdtInstall32kLinesBaseline)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3);
#endif

void SoapInstall32kLines(benchmark::State& state) {
    if (fixture().soapPort < 0) {
        state.SkipWithError("no SOAP server");
        return;
    }
    auto operations = makeRfcOperations(logonAt("http://127.0.0.1:" + std::to_string(fixture().soapPort)),
                                        httpBackendFactory(HttpOptions{}));
    install(state, *operations, "ZBENCH_SOAP");
}
BENCHMARK(SoapInstall32kLines)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
