// The sandbox under load: RFC_READ_TABLE on a TADIR of 1,000,000 rows next to
// the bare SQLite query for the same rows and to the same read over the RFC
// road (SAP's RFC library's interface, here the test double answering from
// this sandbox), and BC_PR_INSERT of a program of 32,768 lines.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "sap/BackendFactory.h"
#include "sap/InstallProgram.h"
#include "sap/sandbox/SandboxSystem.h"
#include "sap/TableReads.h"

using namespace orvex::sap;

namespace {

constexpr std::size_t kTadirRows = 1'000'000;

// One database for the whole run, removed at exit.
struct Fixture {
    std::filesystem::path dir;
    std::string database;
    std::shared_ptr<SandboxSystem> system;
    BackendFactory factory;  // every road, the sandbox's on this database

    Fixture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvex-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        dir = pattern;
        database = (dir / "sbx.db").string();
        system = *SandboxSystem::shared(database);
        factory = backendFactory(database);
        if (!system->addSyntheticTables(kTadirRows - system->tadirRowCount().value_or(0))) std::abort();
        // The RFC road: the test double of the RFC library, on this database.
        setenv("SAPNWRFC_HOME", ORVEX_NWRFC_DOUBLE_HOME, 1);
        setenv("ORVEX_NWRFC_DOUBLE_DB", database.c_str(), 1);
    }
    ~Fixture() {
        system.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

LogonValues demoLogon() { return {"DEVELOPER", "sandbox", "00", "SBX", "sandbox", "001"}; }

// The client's whole road: component, function object, call, rows.
void readThroughComponent(benchmark::State& state, const std::string& pattern, const std::string& server = "sandbox") {
    Component component{fixture().factory};
    LogonValues logon = demoLogon();
    logon.applicationServer = server;
    component.connection().properties = connectionProperties(logon);
    if (!component.connection().logon()) {
        state.SkipWithError("logon failed");
        return;
    }
    std::size_t rows = 0;
    for (auto _ : state) {
        auto read = readTadir(component, tableSearchCondition(pattern));
        rows = read ? read->size() : 0;
        benchmark::DoNotOptimize(read);
    }
    state.counters["rows"] = static_cast<double>(rows);
}

// The same rows straight from SQLite: a range on the clustered key, every
// column read as text.
void bareQuery(benchmark::State& state, const std::string& low, const std::string& high, const std::string& glob) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(fixture().database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    // The page cache the sandbox's own connection has.
    sqlite3_exec(db, "PRAGMA cache_size=-65536", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT * FROM tadir WHERE \"OBJECT\" = 'TABL' AND \"OBJ_NAME\" >= ?1 AND \"OBJ_NAME\" < ?2"
                       " AND \"OBJ_NAME\" GLOB ?3 ORDER BY \"OBJECT\", \"OBJ_NAME\", \"PGMID\"",
                       -1, &stmt, nullptr);
    std::size_t rows = 0;
    for (auto _ : state) {
        sqlite3_bind_text(stmt, 1, low.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 2, high.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 3, glob.c_str(), -1, SQLITE_STATIC);
        rows = 0;
        std::size_t bytes = 0;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < 22; ++c) {
                benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
                bytes += static_cast<std::size_t>(sqlite3_column_bytes(stmt, c));
            }
        }
        sqlite3_reset(stmt);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["rows"] = static_cast<double>(rows);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

void BM_ReadTable_A(benchmark::State& state) { readThroughComponent(state, "A%"); }
// The same read over the RFC road; it may take at most 30% longer.
void BM_ReadTable_A_Rfc(benchmark::State& state) { readThroughComponent(state, "A%", "sapdev"); }
void BM_BareSqlite_A(benchmark::State& state) {
    fixture();
    bareQuery(state, "A", "B", "A*");
}
void BM_ReadTable_Selective(benchmark::State& state) { readThroughComponent(state, "SFL%"); }
void BM_BareSqlite_Selective(benchmark::State& state) {
    fixture();
    bareQuery(state, "SFL", "SFM", "SFL*");
}

void BM_ProgramInsert_32768Lines(benchmark::State& state) {
    fixture();
    std::vector<std::string> source;
    source.reserve(32768);
    for (int i = 0; i < 32768; ++i)
        source.push_back("  WRITE: / 'Line " + std::to_string(i) + " of a long generated report program'.");
    InstallRequest request;
    request.source = &source;
    request.name = "ZBENCH_LARGE";
    request.title = "Benchmark";
    request.logon = demoLogon();
    request.replace = true;  // the same program, over and over
    for (auto _ : state) {
        auto result = InstallProgram(request, fixture().factory, [](const Message&) {});
        if (!result.created) state.SkipWithError("insertion failed");
    }
}

}  // namespace

BENCHMARK(BM_ReadTable_A)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadTable_A_Rfc)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareSqlite_A)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadTable_Selective)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareSqlite_Selective)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProgramInsert_32768Lines)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
