// What the benchmarks share: the demo pack unpacked as the program unpacks
// it, a borderless window like the program's (of a size each benchmark
// chooses), one renderer at a time started on it with the demo level and model loaded, presents unpaced.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "Capture.h"
#include "math/Vector.h"

[[noreturn]] void Fail(const std::string& message);

// The pack the benchmarks read; set by main before anything starts.
extern std::string g_PackDirectory;

enum class RendererKind { D3d, Gl };
const char* NameOf(RendererKind kind);

struct Viewpoint {
    const char* name;
    Vector position;
    float yaw;
    float pitch;
};

// Start; the widest room (the start hall, 64 by 80, seen across from its
// south-west corner); the longest sight line (from the east gallery through
// both doorways and the hall into the west hall, about 160 units).
extern const std::array<Viewpoint, 3> kViewpoints;

// The renderer of this kind, started with the level loaded; another renderer
// running is shut down first.
Renderer& UseRenderer(RendererKind kind);
// Shuts down the running renderer and deletes the unpacked files.
void EndSession();

// Puts the camera at the viewpoint.
void PlaceCamera(const Viewpoint& viewpoint);

// One RenderFrame of the running renderer, finished on the GL side; seconds.
double TimedEngineFrame();
// One frame with every triangle DrawPolygon passes on noted.
std::vector<CapturedTriangle> CaptureFrame();
// The GL matrices the running renderer draws the level with (after a frame).
void LevelMatrices(GLfloat projection[16], GLfloat view[16]);

// Handles the window's waiting messages, as the main loop would.
void DrainMessages();

// The window the frame cost is measured in: the tests' screen size.
constexpr int kFrameCostWidth = 1280, kFrameCostHeight = 720;
// The benchmarks' window starts that size; drawing follows a new size.
void ResizeWindow(int width, int height);
// Swaps the window's buffers directly, as a present does after composing.
void SwapWindow();

double Now();
// The process's processor time, all threads (the rasteriser's included).
double ProcessorSeconds();
double Median(std::vector<double> values);
