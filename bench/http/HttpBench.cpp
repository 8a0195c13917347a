// RFC_READ_TABLE answering 100,000 TADIR rows: end to end over loopback
// (client call, server, SOAP reply, parse, rows in the table), the client's
// parse of that reply alone, and a bare pugixml parse of the same document.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <chrono>

#include "HttpBackend.h"
#include "SoapEnvelope.h"
#include "SoapServer.h"
#include "TadirRead.h"

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

void EndToEndReadTadir100k(benchmark::State& state) {
    tadirReply();  // built before the clock runs
    SoapServer server([](const RfcRequest&, const std::string&) { return tadirReply(); },
                      [](const std::string&, const std::string&, const std::string&) { return true; });
    int port = server.bind("127.0.0.1", 0);
    server.start();
    Component component(httpBackendFactory(HttpOptions{}));
    component.connection().properties.ApplicationServer = "http://127.0.0.1:" + std::to_string(port);
    component.connection().properties.Client = "001";
    if (port < 0 || !component.connection().logon()) {
        state.SkipWithError("no server");
        return;
    }
    for (auto _ : state) {
        auto function = orvex::test::addTadirRead(component);
        if (!function->call() || function->tables("DATA").rowCount() != kRows) state.SkipWithError("call failed");
    }
    component.connection().logoff();
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(EndToEndReadTadir100k)->Unit(benchmark::kMillisecond)->Iterations(10);

// The parse alone is timed in both: the copy of the document before it (the
// parse works in place) and freeing the result after it are left out.
void ClientParseOfReply(benchmark::State& state) {
    const RfcRequest request = orvex::test::tadirRead();
    replyDocument();  // built before the clock runs
    for (auto _ : state) {
        std::string body = replyDocument();
        const auto start = std::chrono::steady_clock::now();
        RfcReply reply = soap::parseReply(request, body);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (reply.tables["DATA"].size() != kRows) state.SkipWithError("parse failed");
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
