// RFC_READ_TABLE answering 100,000 TADIR rows: end to end over loopback
// (client call, server, SOAP reply, parse, rows in the table), with today's
// HTTP client and, when built, the earlier one (BaselineClient.h) in the same
// run; the client's parse of that reply alone, and a bare pugixml parse of
// the same document.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <chrono>

#include "sap/http/HttpBackend.h"
#include "sap/http/SoapEnvelope.h"
#include "sap/http/SoapServer.h"
#include "tests/http/TadirRead.h"
#ifdef ORVEX_BASELINE_CLIENT
#include "bench/baseline/BaselineClient.h"
#endif

using namespace orvex::sap;

namespace {

constexpr int kRows = 100'000;

const RfcReply& tadirReply() {
    static const RfcReply reply = orvex::test::tadirReply(kRows);
    return reply;
}

const std::string& replyDocument() {
    static const std::string xml = soap::buildResponse(orvex::test::tadirRead(), tadirReply());
    return xml;
}

// The server of the end-to-end reads, on a loopback port of its own.
struct TadirServer {
    SoapServer server{[](const RfcRequest&, const std::string&) { return tadirReply(); },
                      [](const std::string&, const std::string&, const std::string&) { return true; }};
    int port = server.bind("127.0.0.1", 0).value_or(-1);
    TadirServer() {
        tadirReply();  // built before the clock runs
        server.start();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port); }
};

void EndToEndReadTadir100k(benchmark::State& state) {
    TadirServer served;
    Component component(httpBackendFactory(HttpOptions{}));
    component.connection().properties.ApplicationServer = served.url();
    component.connection().properties.Client = "001";
    component.connection().properties.User = "DEVELOPER";
    component.connection().properties.Password = "sandbox";
    const orvex::Status loggedOn =
        served.port < 0 ? orvex::Status(orvex::failure(orvex::FailureKind::Unreachable, "not bound"))
                        : component.connection().logon();
    if (!loggedOn) {
        state.SkipWithError(("no server: " + loggedOn.failure().text()).c_str());
        return;
    }
    for (auto _ : state) {
        auto function = orvex::test::addTadirRead(component);
        if (!function->call() || function->tables("DATA").rowCount() != kRows) state.SkipWithError("call failed");
    }
    component.connection().logoff();
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(EndToEndReadTadir100k)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3);

#ifdef ORVEX_BASELINE_CLIENT
// The same with the earlier client (cpp-httplib).
void EndToEndReadTadir100kBaseline(benchmark::State& state) {
    TadirServer served;
    bench_baseline::SoapReads reads(served.url());
    if (served.port < 0 || !reads.loggedOn()) {
        state.SkipWithError("no server");
        return;
    }
    for (auto _ : state)
        if (!reads.read(kRows)) state.SkipWithError("call failed");
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(EndToEndReadTadir100kBaseline)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3);
#endif

// The parse alone is timed in both: the copy of the document before it (the
// parse works in place) and freeing the result after it are left out.
void ClientParseOfReply(benchmark::State& state) {
    const RfcRequest request = orvex::test::tadirRead();
    replyDocument();  // built before the clock runs
    for (auto _ : state) {
        std::string body = replyDocument();
        const auto start = std::chrono::steady_clock::now();
        RfcResult reply = soap::parseReply(request, body);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!reply || reply->tables["DATA"].size() != kRows) state.SkipWithError("parse failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(replyDocument().size()));
}
BENCHMARK(ClientParseOfReply)->Unit(benchmark::kMillisecond)->Iterations(20)->UseManualTime();

void BarePugixmlParse(benchmark::State& state) {
    replyDocument();
    for (auto _ : state) {
        std::string body = replyDocument();
        pugi::xml_document doc;
        const auto start = std::chrono::steady_clock::now();
        const bool ok = doc.load_buffer_inplace(body.data(), body.size());
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!ok) state.SkipWithError("parse failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(replyDocument().size()));
}
BENCHMARK(BarePugixmlParse)->Unit(benchmark::kMillisecond)->Iterations(20)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
