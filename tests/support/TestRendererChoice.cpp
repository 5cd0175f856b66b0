// The test programs' renderer choice: whatever renderer a test puts here.
#include "app/RendererChoice.h"
#include "support/TestRendererChoice.h"

Renderer* g_TestRenderer = nullptr;

Renderer* ChosenRenderer() { return g_TestRenderer; }
