// The renderer WinMain starts in the test programs.
#pragma once

class Renderer;

extern Renderer* g_TestRenderer;
