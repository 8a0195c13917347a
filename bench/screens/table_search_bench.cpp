// A table search that returns 100,000 names, from the click on "Search" to
// the painted list, with and without chosen tables to leave out.
#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <benchmark/benchmark.h>

#include "screens/ListBox.h"
#include "tests/support/ScriptedBackend.h"
#include "screens/Session.h"
#include "screens/frmMain.h"
#include "screens/frmTables.h"

namespace {

using namespace orvex;

sap::RfcReply manyTables(int count) {
    sap::RfcReply reply;
    auto& rows = reply.tables["DATA"];
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::string name = "ZT" + std::to_string(1000000 + i);
        name.resize(40, ' ');
        sap::RfcRow row;
        row.set("WA", "R3TR|TABL|" + name + "|DEVC|");
        rows.push_back(std::move(row));
    }
    return reply;
}

void BM_SearchShowsNames(benchmark::State& state) {
    const int names = static_cast<int>(state.range(0));
    const int chosen = static_cast<int>(state.range(1));
    auto script = std::make_shared<testing::Script>();
    const sap::RfcReply big = manyTables(names);
    script->handler = [&big](const sap::RfcRequest& r) -> sap::RfcResult {
        if (r.function == "RFC_READ_TABLE") return big;
        return sap::callFailure("", FailureKind::Other);
    };
    screens::Session session;
    session.setFactory(testing::scriptedFactory(script));
    session.setLogonValues({"U", "P", "00", "SBX", "bench", "001"});
    session.setRunModal([](QDialog&) { return 0; });
    if (!session.logOn()) state.SkipWithError("no logon to the scripted system");
    screens::frmMain main(session);
    screens::frmTables tables(session, &main);
    for (int i = 0; i < chosen; ++i) session.report().tables.push_back(big.tables.at("DATA")[static_cast<std::size_t>(i * 7)].get("WA").substr(10, 40));
    tables.Text1->setText(QStringLiteral("ZT*"));
    tables.show();
    if (!QTest::qWaitForWindowExposed(&tables)) state.SkipWithError("window not exposed");
    for (auto _ : state) {
        tables.cmdSearch_Click();
        tables.repaint();
    }
    if (tables.lstTables->count() != names - chosen) state.SkipWithError("wrong number of names shown");
    state.counters["names"] = tables.lstTables->count();
}
BENCHMARK(BM_SearchShowsNames)->Args({100000, 0})->Args({100000, 5000})->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
