// The level compiler on the demo map, in-process, timed per step by the
// compiler's own stopwatch; the median of each step over the runs.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <map>

#include "Benchmarks.h"
#include "Figures.h"
#include "compiler/Compile.h"

namespace {

void CompileLevel(benchmark::State& state, const std::string& mapPath) {
    std::ifstream in(mapPath, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    orvcompile::Map map;
    orvcompile::Reporter reporter(mapPath);
    if (!orvcompile::ParseMap(text, map, reporter)) {
        state.SkipWithError(reporter.Error().c_str());
        return;
    }
    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> steps;
    orvcompile::CompileOptions options;  // two threads, as the build compiles the demo level
    options.stepDone = [&](const std::string& step, double seconds) {
        if (!steps.count(step)) order.push_back(step);
        steps[step].push_back(seconds);
    };
    for (auto _ : state) {
        orvcompile::CompiledLevel level;
        if (!orvcompile::Compile(map, options, level, reporter)) {
            state.SkipWithError(reporter.Error().c_str());
            return;
        }
    }
    g_Figures.compileRuns = static_cast<int>(state.iterations());
    double total = 0.0;
    for (const std::string& step : order) {
        g_Figures.compileSteps.push_back({step, Median(steps[step])});
        total += g_Figures.compileSteps.back().seconds;
    }
    state.counters["median_total_s"] = total;
}

}  // namespace

void RegisterCompileBenchmark(int runs, const std::string& map) {
    benchmark::RegisterBenchmark("Compile/test.map", [map](benchmark::State& state) { CompileLevel(state, map); })
        ->Iterations(runs)
        ->Unit(benchmark::kSecond);
}
