// The whole frame as the user sees it: the renderer's frame, composing the
// window image and the swap (presents unpaced), in windows of the sizes a
// desktop has, against the ideal present of a ready 640x480 picture.
#include <benchmark/benchmark.h>

#include <string>

#include "Benchmarks.h"
#include "Figures.h"
#include "Session.h"
#include "platform/display/Gl.h"
#include "platform/display/VirtualDisplay.h"

namespace {

constexpr int kWarmUpFrames = 10;

struct WindowSize {
    int width;
    int height;
};
constexpr WindowSize kWindowSizes[] = {{1280, 720}, {1920, 1080}, {2560, 1440}};

// The cheapest way this GL has to show a ready picture: nearest-pixel scaling
// straight into the window's back buffer (the bars were cleared once, in the
// warm-up, and a swap leaves them as they were), then the swap.
double TimedIdealPresent(const GlEntryPoints& gl, const SDL_Rect& picture) {
    GLint engineFramebuffer = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &engineFramebuffer);
    const double start = Now();
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    gl.BlitFramebuffer(0, 0, kDisplayWidth, kDisplayHeight, picture.x, picture.y, picture.x + picture.w,
                       picture.y + picture.h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    SwapWindow();
    glFinish();
    const double seconds = Now() - start;
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(engineFramebuffer));
    return seconds;
}

double Timed(void (*step)()) {
    const double start = Now();
    step();
    glFinish();
    return Now() - start;
}

void WholeFrame(benchmark::State& state, RendererKind kind, WindowSize size) {
    UseRenderer(kind);
    ResizeWindow(size.width, size.height);
    PlaceCamera(kViewpoints[0]);
    GlEntryPoints gl{};
    if (!LoadGlEntryPoints(gl)) Fail("no GL entry points");
    const SDL_Rect picture = PictureRectInWindow(size.width, size.height);
    for (int i = 0; i < kWarmUpFrames; ++i) TimedEngineFrame();

    // Frames back to back, as the main loop runs them.
    std::vector<double> whole;
    const double start = Now(), startProcessor = ProcessorSeconds();
    for (auto _ : state) {
        whole.push_back(TimedEngineFrame());
        state.SetIterationTime(whole.back());
        DrainMessages();
    }
    const double frames = static_cast<double>(whole.size());
    const double seconds = Now() - start, processorSeconds = ProcessorSeconds() - startProcessor;

    // The last picture again, step by step: composing, showing, the ideal present.
    std::vector<double> compose, swap, ideal;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        compose.push_back(Timed(ComposeWindowImage));
        swap.push_back(Timed(ShowWindowImage));
        ideal.push_back(TimedIdealPresent(gl, picture));
        DrainMessages();
    }
    const WholeFrameFigure figure{NameOf(kind),
                                  size.width,
                                  size.height,
                                  frames / seconds,
                                  processorSeconds / frames * 1e3,
                                  Median(whole) * 1e3,
                                  Median(compose) * 1e3,
                                  Median(swap) * 1e3,
                                  Median(ideal) * 1e3};
    state.counters["composed_on_processor"] = WindowImageMadeOnProcessor();
    state.counters["fps"] = figure.framesPerSecond;
    state.counters["ideal_fps"] = 1000.0 / figure.idealMs;
    g_Figures.wholeFrames.push_back(figure);
}

}  // namespace

void RegisterWholeFrameBenchmarks(RendererKind kind, int frames) {
    for (WindowSize size : kWindowSizes)
        benchmark::RegisterBenchmark((std::string("WholeFrame/") + NameOf(kind) + "/" + std::to_string(size.width) +
                                      "x" + std::to_string(size.height))
                                         .c_str(),
                                     [kind, size](benchmark::State& state) { WholeFrame(state, kind, size); })
            ->Iterations(frames)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
}
