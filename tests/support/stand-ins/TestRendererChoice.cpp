// The test programs' renderer choice: whatever renderer a test puts here.
#include "support/stand-ins/TestRendererChoice.h"
#include "app/RendererChoice.h"

Renderer* g_TestRenderer = nullptr;

Renderer* ChosenRenderer() { return g_TestRenderer; }
