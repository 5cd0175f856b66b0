#include "math/Matrix.h"

#include <cmath>

Matrix MakeIdentity()
{
    Matrix result = MakeZero();
    result.m[0] = result.m[5] = result.m[10] = result.m[15] = 1.0f;
    return result;
}

Matrix MakeZero()
{
    return Matrix{};
}

Matrix Multiply(Matrix a, Matrix b)
{
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

Matrix MakeTranslation(float x, float y, float z)
{
    Matrix result = MakeIdentity();
    result.m[12] = x;
    result.m[13] = y;
    result.m[14] = z;
    return result;
}

Matrix MakeRotationX(float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    Matrix result = MakeIdentity();
    result.m[5] = c;
    result.m[6] = -s;
    result.m[9] = s;
    result.m[10] = c;
    return result;
}

Matrix MakeRotationY(float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    Matrix result = MakeIdentity();
    result.m[0] = c;
    result.m[2] = s;
    result.m[8] = -s;
    result.m[10] = c;
    return result;
}

Matrix MakeRotationZ(float angle)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    Matrix result = MakeIdentity();
    result.m[0] = c;
    result.m[1] = -s;
    result.m[4] = s;
    result.m[5] = c;
    return result;
}

Matrix MakePerspective(float near, float far, float fov)
{
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
