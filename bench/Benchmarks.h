// The benchmarks, registered in the order they run: frames with the
// Direct3D-style renderer, its whole frames, its texture memory, then the same for the OpenGL
// renderer, then start-up, the level compiler and the large level with each renderer.
#pragma once

#include <string>

#include "Session.h"

// With a picture directory, each viewpoint's engine and ideal pictures are written there.
void RegisterFrameBenchmarks(RendererKind kind, int frames, const std::string& pictureDirectory);
void RegisterWholeFrameBenchmarks(RendererKind kind, int frames);
void RegisterTextureMemoryBenchmark(RendererKind kind);
void RegisterLargeLevelBenchmarks(RendererKind kind, int frames);
void RegisterStartupBenchmark(int runs, const std::string& program);
void RegisterCompileBenchmark(int runs, const std::string& map);

// The start-up run of a child process: the program's start-up with the pack
// in the current directory until its first flip; prints its times.
int RunStartupChild();
