#include "math/MatrixStack.h"

#include <limits>

// The entries are deliberately left uninitialised; only pushed ones are read.
MatrixStack::MatrixStack() : top(-1) {}

void MatrixStack::Push(Matrix m) {
    if (top == std::numeric_limits<std::int8_t>::max()) {
        return;
    }
    ++top;
    entries[top] = m;
}

const Matrix* MatrixStack::Pop() {
    if (top < 0) {
        return nullptr;
    }
    --top;
    return &entries[top + 1];
}
