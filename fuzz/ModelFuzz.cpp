// The model reader.
#include "FuzzInput.h"
#include "model/Model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Model model;
    if (!model.Load(fuzz::WriteInput(data, size))) return 0;
    // The engine keeps its model for the whole run and never frees it; here
    // it goes, so that the leak check reports only real leaks.
    for (std::int32_t i = 0; i < model.partCount; ++i) {
        delete[] model.parts[i]->polygons;
        delete model.parts[i];
    }
    delete[] model.parts;
    return 0;
}
