#include "app/Globals.h"
#include "app/RendererChoice.h"
#include "render/gl/OpenGLRenderer.h"

Renderer* ChosenRenderer() { return &g_OpenGLRenderer; }
