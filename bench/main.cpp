// orvanthelix_bench: the engine's benchmarks on the demo pack (see
// docs/PERFORMANCE.md). Runs under a display; scripts/bench gives it one.
//
//   orvanthelix_bench [--pack-dir=DIR] [--frames=N] [--startup-runs=N]
//                     [--compile-runs=N] [--pictures=DIR] [Google Benchmark flags]
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Benchmarks.h"
#include "Figures.h"
#include "Session.h"

namespace {

// Takes --name=VALUE out of the arguments; false when it is not there.
bool TakeOption(int& argc, char** argv, const char* name, std::string& value) {
    const std::string prefix = std::string("--") + name + "=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) != 0) continue;
        value = argv[i] + prefix.size();
        for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
        --argc;
        return true;
    }
    return false;
}

int CountOption(int& argc, char** argv, const char* name, int fallback) {
    std::string value;
    if (!TakeOption(argc, argv, name, value)) return fallback;
    const int count = std::atoi(value.c_str());
    if (count < 1) Fail(std::string("--") + name + " needs a count of at least 1");
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--startup-run") == 0) return RunStartupChild();

    // No sound device is needed, and none is at hand under a private display.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    g_PackDirectory = ORV_PACK_DIR;
    TakeOption(argc, argv, "pack-dir", g_PackDirectory);
    g_PackDirectory = std::filesystem::absolute(g_PackDirectory).string();
    const int frames = CountOption(argc, argv, "frames", 200);
    const int startupRuns = CountOption(argc, argv, "startup-runs", 9);
    const int compileRuns = CountOption(argc, argv, "compile-runs", 3);
    std::string pictures;
    if (TakeOption(argc, argv, "pictures", pictures)) pictures = std::filesystem::absolute(pictures).string();

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    for (RendererKind kind : {RendererKind::D3d, RendererKind::Gl}) {
        RegisterFrameBenchmarks(kind, frames, pictures);
        RegisterWholeFrameBenchmarks(kind, frames);
        RegisterTextureMemoryBenchmark(kind);
    }
    RegisterStartupBenchmark(startupRuns, std::filesystem::read_symlink("/proc/self/exe").string());
    RegisterCompileBenchmark(compileRuns, ORV_MAP_PATH);
    for (RendererKind kind : {RendererKind::D3d, RendererKind::Gl}) RegisterLargeLevelBenchmarks(kind, frames);
    benchmark::RunSpecifiedBenchmarks();
    EndSession();
    PrintFigures();
    benchmark::Shutdown();
    return 0;
}
