// 4x4 transforms in the row-vector convention: a point (x, y, z) is extended
// to (x, y, z, 1) and transformed as p' = p * M. Elements are stored row by
// row, element (r, c) at m[4 * r + c], so the translation is in m[12..14].
// This is the 3D device's own layout; matrices are handed to it unconverted.
#pragma once

struct Matrix {
    float m[16];
};

Matrix MakeIdentity();
Matrix MakeZero();

// The matrix that applies b first, then a: p * Multiply(a, b) == (p * b) * a.
Matrix Multiply(Matrix a, Matrix b);

Matrix MakeTranslation(float x, float y, float z);

// Rotations by `angle` radians. The signs of the sine terms are the ones the
// view and model transforms are written against; do not flip them.
Matrix MakeRotationX(float angle);
Matrix MakeRotationY(float angle);
Matrix MakeRotationZ(float angle);

// Projection that maps view depth `near` to 0 and `far` to 1 after the divide
// by w. `fov` is in radians. There is no aspect term; callers overwrite
// elements 0 and 5 when they want their own horizontal and vertical scale.
Matrix MakePerspective(float near, float far, float fov);
