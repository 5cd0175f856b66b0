#include "app/RendererChoice.h"
#include "globals/Globals.h"
#include "render/d3d/D3DRenderer.h"

Renderer* ChosenRenderer() { return &g_D3DRenderer; }
