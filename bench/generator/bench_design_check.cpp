// The design check on large designs: a design file of 40,000 fields (2.4 MB)
// from its text to the verdict, the same design already read, and a design
// at the largest size the check takes, every field name given twice so that
// the search for fields picked twice has the most to find.
#include <benchmark/benchmark.h>

#include <string>

#include "generator/DesignFile.h"
#include "generator/DesignFindings.h"

namespace {

using namespace orvex;

// A design file of `fields` output fields over three tables, each field name
// given by two of them when `twice` (every second one a repeat).
std::string designText(int fields, bool twice) {
    static const char* const kTables[] = {"SCARR", "SPFLI", "SFLIGHT"};
    std::string text = R"({"name": "ZBENCH_CHECK", "description": "Large design", "fields": [)";
    for (int i = 0; i < fields; ++i) {
        const int number = twice ? i / 2 : i;
        if (i) text += ",\n";
        text += R"({"table": ")" + std::string(kTables[i % 3]) + R"(", "field": "FIELD)" + std::to_string(number) +
                R"(", "description": "Field )" + std::to_string(number) + R"("})";
    }
    text += R"(], "selection_screen": [], "conditions": []})";
    return text;
}

// The design as the screens hand it over, with no file in between.
ReportDefinition designOf(int fields, bool twice) {
    ReportDefinition r;
    r.name = "ZBENCH_CHECK";
    static const char* const kTables[] = {"SCARR", "SPFLI", "SFLIGHT"};
    for (int i = 0; i < fields; ++i) {
        const int number = twice ? i / 2 : i;
        r.fields.push_back({kTables[i % 3], "FIELD" + std::to_string(number), "Field " + std::to_string(number)});
    }
    return r;
}

// From the file's text to the findings (or the refusal).
void BM_CheckFile_40000Fields(benchmark::State& state) {
    const std::string text = designText(40000, false);
    state.counters["bytes"] = static_cast<double>(text.size());
    for (auto _ : state) {
        const Result<ReportDefinition> design = parseDesign(text);
        if (design) benchmark::DoNotOptimize(reviewDesign(*design).size());
        benchmark::DoNotOptimize(static_cast<bool>(design));
    }
}

void BM_Review_40000Fields(benchmark::State& state) {
    const ReportDefinition design = designOf(40000, false);
    for (auto _ : state) benchmark::DoNotOptimize(reviewDesign(design).size());
}

// The largest design the check takes, half its fields repeats.
void BM_Review_4096FieldsTwice(benchmark::State& state) {
    const ReportDefinition design = designOf(4096, true);
    for (auto _ : state) benchmark::DoNotOptimize(reviewDesign(design).size());
}

BENCHMARK(BM_CheckFile_40000Fields)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Review_40000Fields)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Review_4096FieldsTwice)->Unit(benchmark::kMillisecond);

}  // namespace
