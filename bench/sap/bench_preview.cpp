// The data preview on the sandbox: the first 100 rows of airlines joined to
// their connections and flights, with 1,000,000 flights, through the
// operations a session uses, next to the same SELECT run straight on SQLite,
// prepared once and prepared on a database opened for each run. The preview
// should take at most 1.2 times as long as the first (the ratios are printed).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "generator/ReportPlan.h"
#include "generator/ReportQuery.h"
#include "sap/BackendFactory.h"
#include "sap/Operations.h"
#include "sap/sandbox/SandboxSystem.h"

using namespace orvex;
using namespace orvex::sap;

namespace {

constexpr long long kFlights = 1'000'000;
constexpr std::size_t kRows = 100;

void run(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql.c_str(), message ? message : "?");
        std::abort();
    }
}

// One database for the whole run, its flights grown to a million by copies of
// a flight on later dates of every connection; removed at exit.
struct Fixture {
    std::filesystem::path dir;
    std::string database;
    std::unique_ptr<Operations> operations;
    ReportQuery query;
    long long flights = 0;

    Fixture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvex-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        dir = pattern;
        database = (dir / "sbx.db").string();
        if (!SandboxSystem::shared(database)) std::abort();  // creates and seeds it
        growFlights();
        operations = makeRfcOperations({"DEVELOPER", "sandbox", "00", "SBX", "sandbox", "001"}, backendFactory(database));
        if (!operations->logon()) std::abort();

        ReportDefinition design;
        design.name = "ZBENCH";
        design.fields = {{"SCARR", "CARRID", ""}, {"SCARR", "CARRNAME", ""}, {"SPFLI", "CITYFROM", ""},
                         {"SPFLI", "CITYTO", ""},  {"SFLIGHT", "FLDATE", ""}, {"SFLIGHT", "PRICE", ""}};
        design.conditions = {{"SCARR", "CARRID", "=", "SPFLI", "CARRID"},
                             {"SPFLI", "CARRID", "=", "SFLIGHT", "CARRID"},
                             {"SPFLI", "CONNID", "=", "SFLIGHT", "CONNID"}};
        Result<ReportPlan> plan = planReport(design);
        if (!plan) std::abort();
        query = *bindQuery(*plan, {});
    }
    ~Fixture() {
        operations.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    void growFlights() {
        sqlite3* db = nullptr;
        sqlite3_open(database.c_str(), &db);
        std::string columns, copied;
        sqlite3_stmt* info = nullptr;
        sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info('app_sflight')", -1, &info, nullptr);
        while (sqlite3_step(info) == SQLITE_ROW) {
            const std::string c = reinterpret_cast<const char*>(sqlite3_column_text(info, 0));
            columns += (columns.empty() ? "\"" : ", \"") + c + "\"";
            const std::string from = c == "CARRID" || c == "CONNID" ? "c.\"" + c + "\""
                                     : c == "FLDATE" ? "strftime('%Y%m%d', '2030-01-01', '+' || n.i || ' days')"
                                                     : "f.\"" + c + "\"";
            copied += (copied.empty() ? "" : ", ") + from;
        }
        sqlite3_finalize(info);
        run(db, "BEGIN");
        // Days enough that every connection's copies reach the million.
        run(db, "INSERT OR IGNORE INTO app_sflight(" + columns + ") SELECT " + copied +
                    " FROM (SELECT * FROM app_sflight LIMIT 1) AS f, app_spfli AS c,"
                    " (WITH RECURSIVE d(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM d"
                    "   WHERE i < " + std::to_string(kFlights) + " / (SELECT count(*) FROM app_spfli)) SELECT i FROM d) AS n");
        run(db, "COMMIT");
        sqlite3_stmt* count = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*) FROM app_sflight", -1, &count, nullptr);
        if (sqlite3_step(count) == SQLITE_ROW) flights = sqlite3_column_int64(count, 0);
        sqlite3_finalize(count);
        sqlite3_close(db);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

double previewSeconds = 0, bareSeconds = 0, openEachSeconds = 0;

void BM_Preview_First100_ThreeTables(benchmark::State& state) {
    Fixture& f = fixture();
    std::size_t rows = 0;
    for (auto _ : state) {
        Result<DataPreview> preview = f.operations->previewData(f.query, {kRows, false});
        if (!preview) {
            state.SkipWithError(preview.failure().reason.c_str());
            return;
        }
        rows = preview->rows.size();
        benchmark::DoNotOptimize(preview);
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["flights"] = static_cast<double>(f.flights);
}

const char* const kSelect =
    "SELECT \"A\".\"CARRID\", \"A\".\"CARRNAME\", \"B\".\"CITYFROM\", \"B\".\"CITYTO\","
    " \"C\".\"FLDATE\", \"C\".\"PRICE\" FROM \"app_scarr\" AS \"A\""
    " INNER JOIN \"app_spfli\" AS \"B\" ON \"A\".\"CARRID\" = \"B\".\"CARRID\""
    " INNER JOIN \"app_sflight\" AS \"C\" ON \"B\".\"CARRID\" = \"C\".\"CARRID\""
    " AND \"B\".\"CONNID\" = \"C\".\"CONNID\""
    " WHERE \"A\".\"MANDT\" = ? AND \"B\".\"MANDT\" = ? AND \"C\".\"MANDT\" = ? LIMIT 100";

// The rows of the prepared SELECT, every value read as text.
std::size_t readRows(sqlite3_stmt* stmt) {
    for (int i = 1; i <= 3; ++i) sqlite3_bind_text(stmt, i, "001", 3, SQLITE_STATIC);
    std::size_t rows = 0, bytes = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < 6; ++c) {
            benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
            bytes += static_cast<std::size_t>(sqlite3_column_bytes(stmt, c));
        }
    }
    sqlite3_reset(stmt);
    benchmark::DoNotOptimize(bytes);
    return rows;
}

// The SELECT the preview runs, on a read-only connection the benchmark keeps
// open, prepared once.
void BM_BareSqlite_First100_ThreeTables(benchmark::State& state) {
    Fixture& f = fixture();
    sqlite3* db = nullptr;
    sqlite3_open_v2(f.database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, kSelect, -1, &stmt, nullptr);
    std::size_t rows = 0;
    for (auto _ : state) rows = readRows(stmt);
    state.counters["rows"] = static_cast<double>(rows);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

// The same with the database opened and the SELECT prepared for each run, as
// the preview does (the sandbox keeps no connection between calls).
void BM_BareSqlite_OpenEach_First100_ThreeTables(benchmark::State& state) {
    Fixture& f = fixture();
    std::size_t rows = 0;
    for (auto _ : state) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(f.database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, kSelect, -1, &stmt, nullptr);
        rows = readRows(stmt);
        sqlite3_finalize(stmt);
        sqlite3_close(db);
    }
    state.counters["rows"] = static_cast<double>(rows);
}

// The ratios, once the benchmarks ran.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            // With repetitions, the median of each benchmark stands for it.
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
            const double seconds = r.GetAdjustedRealTime();
            if (r.benchmark_name().starts_with("BM_Preview_")) previewSeconds = seconds;
            if (r.benchmark_name().starts_with("BM_BareSqlite_First")) bareSeconds = seconds;
            if (r.benchmark_name().starts_with("BM_BareSqlite_OpenEach")) openEachSeconds = seconds;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        if (previewSeconds > 0 && bareSeconds > 0)
            std::printf("preview / bare SQLite: %.2f (goal at most 1.2)\n", previewSeconds / bareSeconds);
        if (previewSeconds > 0 && openEachSeconds > 0)
            std::printf("preview / bare SQLite opened for each run: %.2f\n", previewSeconds / openEachSeconds);
    }
};

}  // namespace

BENCHMARK(BM_Preview_First100_ThreeTables)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareSqlite_First100_ThreeTables)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareSqlite_OpenEach_First100_ThreeTables)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
