#pragma once
// Comparisons shared by the math tests.
#include "platform/math_types.h"

#include <gtest/gtest.h>

namespace vesk::test {

inline constexpr float kMathEps = 1e-5f;

inline void ExpectVec(const Vec3& got, const Vec3& want, float eps = kMathEps) {
    EXPECT_NEAR(got.x, want.x, eps);
    EXPECT_NEAR(got.y, want.y, eps);
    EXPECT_NEAR(got.z, want.z, eps);
}

inline void ExpectMatrix(const Matrix& got, const Matrix& want, float eps = kMathEps) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(got.m[r][c], want.m[r][c], eps) << "m" << r + 1 << c + 1;
}

} // namespace vesk::test
