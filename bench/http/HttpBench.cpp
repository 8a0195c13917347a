// RFC_READ_TABLE answering 100,000 TADIR rows: end to end over loopback
// (client call, server, SOAP reply, parse, rows in the table), the client's
// parse of that reply alone, and a bare pugixml parse of the same document.
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <chrono>
#include <vector>

#include "HttpBackend.h"
#include "SoapEnvelope.h"
#include "SoapServer.h"

using namespace orvex::sap;

namespace {

constexpr int kRows = 100'000;
const std::vector<std::size_t> kTadir = {4, 4, 40, 10, 10, 12, 1, 30, 1, 1, 8, 1, 20, 1, 1, 30, 10, 1, 1, 8, 8, 1};

RfcRequest tadirRequest() {
    RfcRequest request;
    request.function = "RFC_READ_TABLE";
    request.exports = {{"QUERY_TABLE", "TADIR"}, {"DELIMITER", "|"}};
    request.tables["OPTIONS"].emplace_back().set("TEXT", "Object = 'TABL' and obj_name like 'A%' ");
    request.tables["FIELDS"];
    request.tables["DATA"];
    return request;
}

// Full-width TADIR rows and the FIELDS that describe them.
const RfcReply& tadirReply() {
    static const RfcReply reply = [] {
        RfcReply r;
        r.ok = true;
        RfcRows& data = r.tables["DATA"];
        data.reserve(kRows);
        for (int i = 0; i < kRows; ++i) {
            std::string row;
            for (std::size_t c = 0; c < kTadir.size(); ++c) {
                std::string cell = c == 0 ? "R3TR" : c == 1 ? "TABL" : c == 2 ? "A" + std::to_string(i) : c == 4 ? "SAP" : "";
                cell.resize(kTadir[c], ' ');
                row += (c ? "|" : "") + cell;
            }
            data.emplace_back().set("WA", std::move(row));
        }
        std::size_t offset = 0;
        for (std::size_t width : kTadir) {
            RfcRow& field = r.tables["FIELDS"].emplace_back();
            field.set("OFFSET", std::to_string(offset));
            field.set("LENGTH", std::to_string(width));
            offset += width + 1;
        }
        return r;
    }();
    return reply;
}

const std::string& replyDocument() {
    static const std::string xml = soap::buildResponse(tadirRequest(), tadirReply());
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
        auto function = component.add("RFC_READ_TABLE");
        Table& options = function->tables("OPTIONS");
        options.setCell(options.addRow(), "TEXT", "Object = 'TABL' and obj_name like 'A%' ");
        function->tables("FIELDS");
        function->tables("DATA");
        function->setExport("QUERY_TABLE", "TADIR");
        function->setExport("DELIMITER", "|");
        if (!function->call() || function->tables("DATA").rowCount() != kRows) state.SkipWithError("call failed");
    }
    component.connection().logoff();
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(EndToEndReadTadir100k)->Unit(benchmark::kMillisecond)->Iterations(10);

// The parse alone is timed in both: the copy of the document before it (the
// parse works in place) and freeing the result after it are left out.
void ClientParseOfReply(benchmark::State& state) {
    const RfcRequest request = tadirRequest();
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
