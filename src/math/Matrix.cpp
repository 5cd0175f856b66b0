#include "math/Matrix.h"

#include <cmath>

Matrix MakeIdentity() {
    Matrix result = MakeZero();
    result.m[0] = result.m[5] = result.m[10] = result.m[15] = 1.0f;
    return result;
}

Matrix MakeZero() { return Matrix{}; }

Matrix Multiply(Matrix a, Matrix b) {
    Matrix result = MakeZero();
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += b.m[4 * i + k] * a.m[4 * k + j];
            }
            result.m[4 * i + j] = sum;
        }
    }
    return result;
}

Matrix MakeTranslation(float x, float y, float z) {
    Matrix result = MakeIdentity();
    result.m[12] = x;
    result.m[13] = y;
    result.m[14] = z;
    return result;
}

namespace {

// The rotation in the plane of axes i and j: (i,i) = (j,j) = c, (i,j) = -s,
// (j,i) = s. The three axis rotations differ only in their pair of axes.
Matrix MakePlaneRotation(float angle, int i, int j) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    Matrix result = MakeIdentity();
    result.m[4 * i + i] = c;
    result.m[4 * i + j] = -s;
    result.m[4 * j + i] = s;
    result.m[4 * j + j] = c;
    return result;
}

}  // namespace

Matrix MakeRotationX(float angle) { return MakePlaneRotation(angle, 1, 2); }

Matrix MakeRotationY(float angle) { return MakePlaneRotation(angle, 2, 0); }

Matrix MakeRotationZ(float angle) { return MakePlaneRotation(angle, 0, 1); }

Matrix MakePerspective(float near, float far, float fov) {
    const float half = fov * 0.5f;
    const float c = std::cos(half);
    const float s = std::sin(half);
    // The usual perspective matrix scaled throughout by sin(half), which
    // avoids a division by the tangent and leaves w = z * sin(half).
    const float q = s / (1.0f - near / far);
    Matrix result = MakeZero();
    result.m[0] = c;
    result.m[5] = c;
    result.m[10] = q;
    result.m[11] = s;
    result.m[14] = -q * near;
    return result;
}
