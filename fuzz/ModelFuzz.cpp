// The model reader, and the drawing of whatever model it accepted, placed by
// an entity and on its own, with a renderer that draws nothing.
#include "FuzzInput.h"
#include "globals/Globals.h"
#include "model/Entity.h"
#include "model/Model.h"
#include "support/stand-ins/RecordingRenderer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Model model;
    if (!model.Load(fuzz::WriteInput(data, size))) return 0;
    RecordingRenderer renderer;
    g_pRenderer = &renderer;
    Entity placed;
    placed.position = {0.0f, 2.5f, 0.0f};
    placed.yaw = 0.7f;
    model.Draw(&placed);
    model.Draw(nullptr);
    g_pRenderer = nullptr;
    // The engine keeps its model for the whole run and never frees it; here
    // it goes, so that the leak check reports only real leaks.
    for (std::int32_t i = 0; i < model.partCount; ++i) {
        delete[] model.parts[i]->polygons;
        delete model.parts[i];
    }
    delete[] model.parts;
    return 0;
}
