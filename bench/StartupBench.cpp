// Start-up: the program's own start-up sequence, run in a fresh process each
// time (this program started again with --startup-run, from the directory of
// the pack), timed from the pack's opening to the first flip.
//
// The child runs WinMain with a renderer of its own: the Direct3D-style
// renderer, which notes the time when its Setup ends and when its first
// RenderFrame (which ends with the flip) returns, then asks the main loop to
// quit. Between the end of Setup and the opening of the pack only the mouse
// start runs, so the figure is the start-up from the pack on, that start
// included. The engine has no hook for this.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "Benchmarks.h"
#include "Figures.h"
#include "app/RendererChoice.h"
#include "app/WinMain.h"

namespace {

class StartupProbe : public D3DRenderer {
public:
    double setupDone = 0.0;
    double firstFlip = 0.0;
    double setupDoneProcessor = 0.0;
    double firstFlipProcessor = 0.0;

    bool Setup() override {
        const bool done = D3DRenderer::Setup();
        setupDone = Now();
        setupDoneProcessor = ProcessorSeconds();
        return done;
    }
    bool RenderFrame() override {
        const bool done = D3DRenderer::RenderFrame();
        if (firstFlip == 0.0) {
            firstFlip = Now();
            firstFlipProcessor = ProcessorSeconds();
            PostQuitMessage(0);
        }
        return done;
    }
};

StartupProbe probe;

struct StartupTimes {
    double packToFlip;  // milliseconds
    double whole;
    double processor;
};

// One child run; false when it did not reach its first flip.
bool RunChild(const std::string& program, StartupTimes& times) {
    int out[2];
    if (pipe(out) != 0) return false;
    const pid_t child = fork();
    if (child == 0) {
        // Only what is safe between fork and exec.
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        if (chdir(g_PackDirectory.c_str()) != 0) _exit(127);
        execl(program.c_str(), program.c_str(), "--startup-run", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char block[256];
    for (ssize_t got; (got = read(out[0], block, sizeof block)) > 0;) text.append(block, static_cast<std::size_t>(got));
    close(out[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    return std::sscanf(text.c_str(), "%lf %lf %lf", &times.packToFlip, &times.whole, &times.processor) == 3;
}

void Startup(benchmark::State& state, const std::string& program) {
    std::vector<double> packToFlip, whole, processor;
    for (auto _ : state) {
        StartupTimes times{};
        if (!RunChild(program, times)) {
            state.SkipWithError("a start-up run did not reach its first flip");
            return;
        }
        packToFlip.push_back(times.packToFlip);
        whole.push_back(times.whole);
        processor.push_back(times.processor);
        state.SetIterationTime(times.packToFlip / 1000.0);
    }
    StartupFigure figure{static_cast<int>(packToFlip.size()),
                         Median(packToFlip),
                         Median(whole),
                         Median(processor),
                         *std::min_element(packToFlip.begin(), packToFlip.end()),
                         *std::max_element(packToFlip.begin(), packToFlip.end())};
    state.counters["pack_to_flip_ms"] = figure.packToFlipMs;
    g_Figures.startup.push_back(figure);
}

}  // namespace

Renderer* ChosenRenderer() { return &probe; }

int RunStartupChild() {
    const double start = Now();
    WinMain(nullptr, nullptr, nullptr, 0);  // nothing looks at the instance handle
    if (probe.firstFlip == 0.0) return 1;
    std::printf("%.3f %.3f %.3f\n", (probe.firstFlip - probe.setupDone) * 1000.0, (probe.firstFlip - start) * 1000.0,
                (probe.firstFlipProcessor - probe.setupDoneProcessor) * 1000.0);
    return 0;
}

void RegisterStartupBenchmark(int runs, const std::string& program) {
    benchmark::RegisterBenchmark("Startup/pack_to_first_flip",
                                 [program](benchmark::State& state) { Startup(state, program); })
        ->Iterations(runs)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}
