#pragma once
// The plain math records shared by the engine and the device layer, laid out
// as the content and the device expect: 32-bit floats, row-major matrices
// (m[row][col], m[0][0] is m11), row vectors, translation in the fourth row.
#include <cstdint>

namespace vesk {

struct Vec2 {
    float x = 0, y = 0;
};

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

struct Vec3d {
    double x = 0, y = 0, z = 0;
};

struct Vec4 {
    float x = 0, y = 0, z = 0, w = 0;
};

struct Quat {
    float x = 0, y = 0, z = 0, w = 1;
};

struct Matrix {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

// A colour as four floats (r, g, b, a), 1.0 full intensity.
struct ColorValue {
    float r = 0, g = 0, b = 0, a = 0;
};

static_assert(sizeof(Vec3) == 12 && sizeof(Matrix) == 64 && sizeof(Quat) == 16);

} // namespace vesk
