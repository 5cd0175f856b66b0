// Frame cost: each renderer's RenderFrame from each viewpoint, against the
// ideal draw of the same triangles, the two drawn alternately in one run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <memory>

#include "Benchmarks.h"
#include "Figures.h"
#include "IdealDraw.h"
#include "Session.h"
#include "platform/display/VirtualDisplay.h"

namespace {

constexpr int kWarmUpFrames = 5;

std::string pictureDirectory;  // empty: no pictures written

void WritePicture(const std::string& name, const std::vector<std::uint8_t>& rgb) {
    std::ofstream out(pictureDirectory + "/" + name + ".ppm", std::ios::binary);
    out << "P6\n" << kDisplayWidth << " " << kDisplayHeight << "\n255\n";
    out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
}

// The mean difference per channel between the engine's picture and the
// ideal's: near 0 when the ideal draws the same scene (the overlay, the
// crosshair and where covering differs at equal depth make up the rest).
double PictureDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 255.0;
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += std::abs(a[i] - b[i]);
    return sum / static_cast<double>(a.size());
}

// Draw calls in the order the engine draws: the device draws consecutive
// triangles of one texture pair in one call; the OpenGL renderer draws each
// triangle on its own.
int EngineDrawCalls(RendererKind kind, const std::vector<CapturedTriangle>& triangles) {
    if (kind == RendererKind::Gl) return static_cast<int>(triangles.size());
    int calls = 0;
    GLuint last[2] = {~0u, ~0u};
    for (const CapturedTriangle& triangle : triangles) {
        const GLuint pair[2] = {GlTextureOf(triangle.lightmap), GlTextureOf(triangle.texture)};
        if (pair[0] != last[0] || pair[1] != last[1]) ++calls;
        last[0] = pair[0];
        last[1] = pair[1];
    }
    return calls;
}

void FrameCost(benchmark::State& state, RendererKind kind, const Viewpoint& viewpoint) {
    UseRenderer(kind);
    ResizeWindow(kFrameCostWidth, kFrameCostHeight);
    PlaceCamera(viewpoint);
    for (int i = 0; i < kWarmUpFrames; ++i) TimedEngineFrame();
    const std::vector<CapturedTriangle> triangles = CaptureFrame();
    GLfloat projection[16], view[16];
    LevelMatrices(projection, view);

    IdealDraw ideal(triangles, kind == RendererKind::D3d ? 2 : 1, projection, view);
    auto timedIdealFrame = [&ideal] {
        ideal.SaveEngineState();
        const double start = Now();
        ideal.Draw();
        glFinish();
        const double seconds = Now() - start;
        ideal.RestoreEngineState();
        return seconds;
    };
    for (int i = 0; i < kWarmUpFrames; ++i) timedIdealFrame();

    std::vector<double> engine, idealTimes;
    bool engineFirst = true;
    for (auto _ : state) {
        // Alternating which goes first keeps either from always following the other.
        double engineSeconds, idealSeconds;
        if (engineFirst) {
            engineSeconds = TimedEngineFrame();
            idealSeconds = timedIdealFrame();
        } else {
            idealSeconds = timedIdealFrame();
            engineSeconds = TimedEngineFrame();
        }
        engineFirst = !engineFirst;
        engine.push_back(engineSeconds);
        idealTimes.push_back(idealSeconds);
        state.SetIterationTime(engineSeconds);
        DrainMessages();
    }

    // The pictures are read only after the timed frames: a read-back slows
    // the engine's following frames under Mesa, and not the ideal's alike.
    timedIdealFrame();
    const std::vector<std::uint8_t> idealPicture = ReadDisplayPixels();
    TimedEngineFrame();
    const std::vector<std::uint8_t> enginePicture = ReadDisplayPixels();
    if (!pictureDirectory.empty()) {
        const std::string name = std::string(NameOf(kind)) + "-" + viewpoint.name;
        WritePicture(name + "-engine", enginePicture);
        WritePicture(name + "-ideal", idealPicture);
    }

    FrameFigure figure{NameOf(kind),
                       viewpoint.name,
                       static_cast<int>(triangles.size()),
                       EngineDrawCalls(kind, triangles),
                       ideal.DrawCalls(),
                       static_cast<int>(engine.size()),
                       Median(engine) * 1000.0,
                       Median(idealTimes) * 1000.0};
    state.counters["tris"] = figure.triangles;
    state.counters["picture_diff"] = PictureDifference(enginePicture, idealPicture);
    state.counters["engine_ms"] = figure.engineMs;
    state.counters["ideal_ms"] = figure.idealMs;
    state.counters["ratio"] = figure.engineMs / figure.idealMs;
    state.counters["tris_per_s"] = benchmark::Counter(figure.triangles / (figure.engineMs / 1000.0));
    g_Figures.frames.push_back(figure);
}

}  // namespace

void RegisterFrameBenchmarks(RendererKind kind, int frames, const std::string& directory) {
    pictureDirectory = directory;
    for (const Viewpoint& viewpoint : kViewpoints)
        benchmark::RegisterBenchmark((std::string("Frame/") + NameOf(kind) + "/" + viewpoint.name).c_str(),
                                     [kind, &viewpoint](benchmark::State& state) { FrameCost(state, kind, viewpoint); })
            ->Iterations(frames)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
}
