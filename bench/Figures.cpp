#include "Figures.h"

#include <cstdio>
#include <string>

Figures g_Figures;

namespace {

double Megabytes(double bytes) { return bytes / (1024.0 * 1024.0); }

}  // namespace

void PrintFigures() {
    std::printf("\n== Figures ==\n");
    if (!g_Figures.frames.empty()) {
        std::printf("\nFrame cost: medians of alternating engine and ideal frames (target d3d engine/ideal <= 1.30)\n");
        std::printf("%-4s %-19s %6s %6s %6s %10s %9s %8s %11s\n", "", "viewpoint", "tris", "calls", "ideal",
                    "engine ms", "ideal ms", "ratio", "Mtris/s");
        for (const FrameFigure& f : g_Figures.frames)
            std::printf("%-4s %-19s %6d %6d %6d %10.2f %9.2f %8.2f %11.2f\n", f.renderer.c_str(), f.viewpoint.c_str(),
                        f.triangles, f.engineDrawCalls, f.idealDrawCalls, f.engineMs, f.idealMs, f.engineMs / f.idealMs,
                        f.triangles / (f.engineMs * 1000.0));
    }
    if (!g_Figures.wholeFrames.empty()) {
        std::printf(
            "\nWhole frame, unpaced: frames back to back; medians of a frame and its steps, and of the ideal"
            " present (target 1920x1080 >= 90 frames/s, 2560x1440 >= 60)\n");
        std::printf("%-4s %-10s %8s %7s %9s %9s %8s %8s %9s %9s\n", "", "window", "frames/s", "cpu ms", "frame ms",
                    "picture", "compose", "swap", "ideal ms", "ideal f/s");
        for (const WholeFrameFigure& f : g_Figures.wholeFrames) {
            const std::string window = std::to_string(f.width) + "x" + std::to_string(f.height);
            std::printf("%-4s %-10s %8.1f %7.2f %9.2f %9.2f %8.2f %8.2f %9.2f %9.1f\n", f.renderer.c_str(),
                        window.c_str(), f.framesPerSecond, f.processorMs, f.wholeMs, f.wholeMs - f.composeMs - f.swapMs,
                        f.composeMs, f.swapMs, f.idealMs, 1000.0 / f.idealMs);
        }
    }
    for (const StartupFigure& s : g_Figures.startup)
        std::printf(
            "\nStart-up, pack opened to first flip (target <= 250 ms): median %.1f ms of %d runs (lowest %.1f, "
            "highest %.1f); processor time %.1f ms; from the entry routine's start %.1f ms\n",
            s.packToFlipMs, s.runs, s.lowestMs, s.highestMs, s.processorMs, s.wholeMs);
    if (!g_Figures.textures.empty()) {
        std::printf("\nTexture memory on the GPU side for the demo level (target held/distinct <= 1.50)\n");
        std::printf("%-4s %8s %9s %9s %11s %13s %12s %15s\n", "", "records", "textures", "distinct", "held MiB",
                    "unshared MiB", "distinct MiB", "held/distinct");
        for (const TextureFigure& t : g_Figures.textures)
            std::printf("%-4s %8d %9d %9d %11.2f %13.2f %12.2f %15.2f\n", t.renderer.c_str(), t.records, t.textures,
                        t.distinctImages, Megabytes(t.sharedBytes), Megabytes(t.unsharedBytes),
                        Megabytes(t.distinctBytes), t.sharedBytes / t.distinctBytes);
    }
    if (!g_Figures.compileSteps.empty()) {
        std::printf("\nLevel compiler on content/test.map: median of %d runs per step (target <= 10 s in all)\n",
                    g_Figures.compileRuns);
        double total = 0.0;
        for (const CompileStep& step : g_Figures.compileSteps) {
            std::printf("  %8.3f s  %s\n", step.seconds, step.name.c_str());
            total += step.seconds;
        }
        std::printf("  %8.3f s  in all\n", total);
    }
}
