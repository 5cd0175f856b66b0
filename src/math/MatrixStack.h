// Fixed-depth stack on which the 3D renderer saves and restores its world matrix.
#pragma once

#include <cstdint>

#include "math/Matrix.h"

class MatrixStack {
public:
    MatrixStack();

    // Copies m onto the stack. On a full stack (128 matrices) the push is
    // dropped and the stack is left unchanged: top cannot index further, and
    // incrementing it would wrap to -128 and write outside the entries.
    void Push(Matrix m);

    // The matrix that was on top, or nullptr when the stack is empty. The
    // entry is not erased: the pointer reads it until the next Push overwrites
    // it, so callers copy it out at once.
    const Matrix* Pop();

    // Index of the topmost entry, -1 when empty. Being 8 bits, it reaches only
    // entries 0 to 127 of the storage.
    std::int8_t top;
    Matrix entries[256];
};
