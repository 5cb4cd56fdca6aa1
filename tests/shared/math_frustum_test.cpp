#include "shared/math_frustum.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace vesk;

TEST(MathPlane, PointNormalAndFrontSide) {
    PlaneClass plane;
    plane.SetFromPointNormal({0, 0, 5}, {0, 0, 2});
    EXPECT_FLOAT_EQ(plane.Normal().z, 1.0f);
    EXPECT_FLOAT_EQ(plane.D(), -5.0f);
    EXPECT_TRUE(plane.IsInFront({0, 0, 5})); // on the plane counts as in front
    EXPECT_TRUE(plane.IsInFront({3, -3, 6}));
    EXPECT_FALSE(plane.IsInFront({0, 0, 4.9f}));
}

TEST(MathFrustum, SidePlanesOfAView) {
    // 90 degrees up and down (45 each way), 4/3 of that sideways (60 each way).
    struct Case {
        const char* name;
        float side, up; // degrees off the view direction
        bool visible;
    };
    const Case cases[] = {
        {"ahead", 0, 0, true},      {"up 40", 0, 40, true},      {"up 50", 0, 50, false},
        {"down 40", 0, -40, true},  {"down 50", 0, -50, false},  {"right 55", 55, 0, true},
        {"right 65", 65, 0, false}, {"left 55", -55, 0, true},   {"left 65", -65, 0, false},
        {"behind", 180, 0, false},  {"corner in", 40, 30, true}, {"corner out", 40, 40, false},
    };
    // The engine camera: up z; view along +y from a moved eye.
    const Vec3 eye{100, 200, 300}, dir{0, 5, 0}, up{0, 0, 1};
    const Vec3 right = Vec3Normalize(Vec3Cross(up, dir)); // left-handed: up x forward
    FrustumClass frustum;
    frustum.Build(eye, dir, 90.0f, up);
    for (const Case& c : cases) {
        const float s = c.side * kPi / 180, u = c.up * kPi / 180;
        // Sideways turn in the view's horizontal plane, then the vertical tilt of that plane's ray.
        const Vec3 flat = Vec3Add(Vec3Scale({0, 1, 0}, std::cos(s)), Vec3Scale(right, std::sin(s)));
        const Vec3 onPlane = Vec3Add(Vec3Scale(flat, std::cos(u)), Vec3Scale(up, std::sin(u)));
        const Vec3 p = Vec3Add(eye, Vec3Scale(onPlane, 1000.0f));
        EXPECT_EQ(frustum.ContainsPoint(p), c.visible) << c.name;
        EXPECT_EQ(frustum.IsPointVisible(p), c.visible) << c.name;
    }
    EXPECT_TRUE(frustum.ContainsPoint(eye));
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(Vec3Length(frustum.Plane(i).Normal()), 1.0f, 1e-5f);
}
