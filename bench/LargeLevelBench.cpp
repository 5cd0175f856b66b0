// The large level: the tests' room grid (66,432 triangles in 144 rooms), its
// frames back to back with presents unpaced, from several places, with the
// level's culling on and off. Its figures are in docs/PERFORMANCE.md.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "Benchmarks.h"
#include "Session.h"
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "support/files/LevelFiles.h"

namespace {

constexpr int kWarmUpFrames = 10;
constexpr int kViews[] = {0, 2, 5, 9};  // of kGridViews: inside rooms, outside the grid looking in, along a row

struct WindowSize {
    int width;
    int height;
};
constexpr WindowSize kWindowSizes[] = {{1920, 1080}, {3840, 2160}};

// Loads the room grid in place of the demo level (the demo's blank texture
// beside it); the demo level again when the benchmark ends.
class GridLevel {
public:
    GridLevel() {
        std::filesystem::copy_file("lmblank.bmp", std::filesystem::path(dir.Path()) / "lmblank.bmp");
        WriteRoomGrid(dir);
        ScopedCurrentDir inDir(dir.Path());
        g_Bsp.FreeTree(&g_Bsp.root);
        if (!g_Bsp.Load("Test.bsp")) Fail("the room grid does not load");
    }
    ~GridLevel() {
        g_Bsp.FreeTree(&g_Bsp.root);
        g_Bsp.cullUnseen = true;
        if (!g_Bsp.Load("Test.bsp")) Fail("the demo level does not load again");
    }

private:
    TempDir dir;
};

void LargeLevel(benchmark::State& state, RendererKind kind, WindowSize size, int view, bool cull) {
    UseRenderer(kind);
    ResizeWindow(size.width, size.height);
    GridLevel level;
    g_Bsp.cullUnseen = cull;
    const GridView& place = kGridViews[view];
    PlaceCamera({"grid", place.position, place.yaw, place.pitch});
    for (int i = 0; i < kWarmUpFrames; ++i) TimedEngineFrame();

    std::vector<double> frames;
    const double start = Now(), startProcessor = ProcessorSeconds();
    for (auto _ : state) {
        frames.push_back(TimedEngineFrame());
        state.SetIterationTime(frames.back());
        DrainMessages();
    }
    const double count = static_cast<double>(frames.size());
    state.counters["fps"] = count / (Now() - start);
    state.counters["processor_ms"] = (ProcessorSeconds() - startProcessor) / count * 1e3;
}

}  // namespace

void RegisterLargeLevelBenchmarks(RendererKind kind, int frames) {
    for (WindowSize size : kWindowSizes)
        for (int view : kViews)
            for (bool cull : {false, true})
                benchmark::RegisterBenchmark(
                    (std::string("LargeLevel/") + NameOf(kind) + "/" + std::to_string(size.width) + "x" +
                     std::to_string(size.height) + "/view" + std::to_string(view) + (cull ? "/cull" : "/all"))
                        .c_str(),
                    [=](benchmark::State& state) { LargeLevel(state, kind, size, view, cull); })
                    ->Iterations(frames)
                    ->UseManualTime()
                    ->Unit(benchmark::kMillisecond);
}
