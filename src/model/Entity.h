// The one placed object that shows the loaded model.
#pragma once

#include "math/Vector.h"
#include "model/Model.h"

class Entity {
public:
    Vector position = {0.0f, 0.0f, 0.0f};
    float yaw = 0.0f;  // radians about the Y axis
    Model model;       // empty until SetModel

    // Takes over the given Model's parts (the array is shared, not copied).
    void SetModel(Model model);

    // Draws the model placed by this entity; returns the model's result.
    bool Draw();
};
