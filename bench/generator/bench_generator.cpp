// GenerateProgram on three designs: an example, a large design and one that
// comes close to the line limit. Besides the time per run it reports the time
// per generated line and compares the run with a plain memcpy of the same
// output bytes, measured in the same process.
#include <benchmark/benchmark.h>

#include <ctime>
#include <map>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "generator/DesignFile.h"
#include "generator/Generator.h"

namespace {

using namespace orvex;

std::string padded(const std::string& table) { return table + std::string(40 - table.size(), ' '); }

std::string tableName(int i) { return "ZTABLE" + std::to_string(i); }

// 26 tables joined in a star; `fields` output fields spread over them;
// `entries` selection-screen entries (parameters and select-options in
// turn) each filtered by one where row; join rows and where rows together
// make `conditions` rows.
ReportDefinition syntheticDesign(int fields, int entries, int conditions) {
    ReportDefinition r;
    r.name = "ZBENCH_REPORT";
    r.description = "Generated for the benchmark";
    r.company = "Northwind Air Services";
    r.author = "BENCH";
    r.printHeading = true;
    r.heading = "Benchmark";
    for (int i = 0; i < fields; ++i)
        r.fields.push_back({padded(tableName(i % 26)), "FIELD" + std::to_string(i), "Description of field " + std::to_string(i)});
    for (int i = 0; i < entries; ++i)
        r.selection.push_back({padded(tableName(i % 26)), "FIELD" + std::to_string(i), "Input " + std::to_string(i),
                               i % 2 ? "S;N;" : "P;R;DEFAULT"});
    for (int i = 1; i < 26; ++i) r.conditions.push_back({tableName(0), "KEY", "=", tableName(i), "KEY"});
    for (int i = 0; i < entries && static_cast<int>(r.conditions.size()) < conditions; ++i)
        r.conditions.push_back({tableName(i % 26), "FIELD" + std::to_string(i), "=", "SELSCR", "FIELD" + std::to_string(i)});
    for (int i = 0; static_cast<int>(r.conditions.size()) < conditions; ++i)
        r.conditions.push_back({tableName(i % 26), "KEY" + std::to_string(i), "=", tableName((i + 1) % 26), "KEY" + std::to_string(i)});
    return r;
}

ReportDefinition exampleDesign() {
    Result<ReportDefinition> load = loadDesignFile(ORVEX_EXAMPLE_DESIGN);
    if (!load) throw std::runtime_error(load.failure().text());
    return *load;
}

// CPU time of this thread, so that other processes on a shared machine do not
// count against either side of the comparison.
double threadCpuNanoseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// Nanoseconds of one memcpy of `bytes` bytes into a buffer already in use,
// the best of several batches.
double memcpyNanoseconds(const std::string& bytes) {
    std::vector<char> to(bytes.size() + 1, 1);
    double best = 1e300;
    for (int batch = 0; batch < 20; ++batch) {
        const int copies = 50;
        const double t0 = threadCpuNanoseconds();
        for (int i = 0; i < copies; ++i) {
            std::memcpy(to.data(), bytes.data(), bytes.size());
            benchmark::ClobberMemory();
        }
        double ns = (threadCpuNanoseconds() - t0) / copies;
        best = std::min(best, ns);
    }
    return best;
}

// The memcpy figures for a text, measured once per run of the program.
double copyNanoseconds(const std::string& text) {
    static std::map<std::size_t, double> measured;
    auto it = measured.find(text.size());
    if (it == measured.end()) it = measured.emplace(text.size(), memcpyNanoseconds(text)).first;
    return it->second;
}

void runGeneration(benchmark::State& state, const ReportDefinition& design) {
    const SourceForm form = state.range(0) ? SourceForm::LinesAndText : SourceForm::TextOnly;
    state.SetLabel(state.range(0) ? "lines and text" : "text only");
    std::size_t lines = 0;
    const double cpu0 = threadCpuNanoseconds();
    for (auto _ : state) {
        GenerationResult result = GenerateProgram(design, form);
        if (!result) {
            state.SkipWithError(result.failure().reason.c_str());
            return;
        }
        lines = result->text.size();
        benchmark::DoNotOptimize(result->text.text().data());
    }
    const double runNs = (threadCpuNanoseconds() - cpu0) / static_cast<double>(state.iterations());
    GenerationResult once = GenerateProgram(design, SourceForm::TextOnly);
    const std::string text(once->text.text());
    const double copyNs = copyNanoseconds(text);
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["bytes"] = static_cast<double>(text.size());
    state.counters["ns_per_line"] = runNs / static_cast<double>(lines);
    state.counters["memcpy_us"] = copyNs / 1000.0;
    state.counters["x_memcpy"] = runNs / copyNs;
}

void BM_Generate_Example(benchmark::State& state) { runGeneration(state, exampleDesign()); }
void BM_Generate_Large(benchmark::State& state) { runGeneration(state, syntheticDesign(400, 100, 200)); }
void BM_Generate_NearLineLimit(benchmark::State& state) { runGeneration(state, syntheticDesign(3900, 40, 65)); }

// Argument 0: the text alone (as orvex-cli generate writes it); 1: also the
// line list (as the wizard uses it).
void forms(benchmark::internal::Benchmark* b) { b->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond); }
BENCHMARK(BM_Generate_Example)->Apply(forms);
BENCHMARK(BM_Generate_Large)->Apply(forms);
BENCHMARK(BM_Generate_NearLineLimit)->Apply(forms);

}  // namespace

BENCHMARK_MAIN();
