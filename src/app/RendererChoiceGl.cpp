#include "app/RendererChoice.h"
#include "globals/Globals.h"
#include "render/gl/OpenGLRenderer.h"

Renderer* ChosenRenderer() { return &g_OpenGLRenderer; }
