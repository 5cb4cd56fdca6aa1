#include "shared/math_geometry.h"

#include "support/error_trap.h"

#include "math_expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace vesk;

namespace {

constexpr float kEps = test::kMathEps;
using test::ExpectVec;

struct FakeUnit : IPlacedUnit {
    FakeUnit(Vec3 p, float r = 0) : pos(p), radius(r) {}
    Vec3 pos;
    float radius;
    Vec3 UnitPosition() const override { return pos; }
    float UnitBoundingRadius() const override { return radius; }
};

struct FakeHost : IHelperHost {
    std::vector<std::pair<std::string, Vec3>> added;
    FakeUnit helper{{}};
    IPlacedUnit* AddHelper(const std::string& name, const Vec3& position) override {
        added.emplace_back(name, position);
        helper.pos = position;
        return &helper;
    }
};

} // namespace

TEST(MathSegments, SegmentAgainstSphere) {
    struct Case {
        const char* name;
        Vec3 p0, p1;
        bool hits, inside;
        Vec3 entry, closest;
        float fraction;
    };
    // Unit sphere at the origin.
    const Case cases[] = {
        {"through", {-3, 0, 0}, {3, 0, 0}, true, false, {-1, 0, 0}, {0, 0, 0}, 1 / 3.f},
        {"tangent", {-3, 1, 0}, {3, 1, 0}, true, false, {0, 1, 0}, {0, 1, 0}, 0.5f},
        {"starts inside", {0, 0.5f, 0}, {5, 0.5f, 0}, true, true, {0, 0.5f, 0}, {0, 0.5f, 0}, 0},
        {"passes by", {-3, 2, 0}, {3, 2, 0}, false, false, {}, {0, 2, 0}, 0},
        {"stops short", {-3, 0, 0}, {-2, 0, 0}, false, false, {}, {-2, 0, 0}, 0},
        {"sphere behind", {3, 0, 0}, {5, 0, 0}, false, false, {}, {3, 0, 0}, 0},
    };
    for (const Case& c : cases) {
        SegmentSphereHit hit;
        EXPECT_EQ(SegmentSphereIntersect(c.p0, c.p1, {0, 0, 0}, 1.0f, &hit), c.hits) << c.name;
        EXPECT_EQ(hit.startInside, c.inside) << c.name;
        ExpectVec(hit.closest, c.closest);
        if (c.hits) {
            ExpectVec(hit.entry, c.entry);
            EXPECT_NEAR(hit.fraction, c.fraction, kEps) << c.name;
        }
    }
    // Shorter than 1e-6: no hit even from inside.
    EXPECT_FALSE(SegmentSphereIntersect({0, 0, 0}, {0, 0, 5e-7f}, {0, 0, 0}, 1.0f));
    EXPECT_TRUE(SegmentSphereIntersect({10, 0, 0}, {10, 0, 1e-5f}, {10, 0, 0}, 1.0f));

    struct HitsCase {
        const char* name;
        Vec3 p0, p1;
        bool hits;
    };
    const HitsCase hitsCases[] = {
        {"crosses", {-3, 0.5f, 0}, {3, 0.5f, 0}, true},
        {"misses", {-3, 2, 0}, {3, 2, 0}, false},
        {"nearest point past p1", {-3, 0.5f, 0}, {-2, 0.5f, 0}, false},
        {"nearest point before p0", {0.5f, 0, 0}, {3, 0, 0}, false},
        {"a point inside", {0.5f, 0, 0}, {0.5f, 0, 0}, true},
    };
    for (const HitsCase& c : hitsCases)
        EXPECT_EQ(SegmentHitsSphere(c.p0, c.p1, {0, 0, 0}, 1.0f), c.hits) << c.name;
}

TEST(MathSegments, SegmentAgainstTriangleBounds) {
    struct Case {
        const char* name;
        Vec3 p0, p1;
        bool hits;
    };
    const float x = 0.2f, y = 0.3f;
    const Case cases[] = {
        {"middle", {x, y, 1}, {x, y, -1}, true},
        {"just past p1", {x, y, 1.000005f}, {x, y, 0.000005f}, true},
        {"too far past p1", {x, y, 1.0001f}, {x, y, 0.0001f}, false},
        {"just before p0", {x, y, -1e-7f}, {x, y, -1}, true},
        {"too far before p0", {x, y, -1e-5f}, {x, y, -1}, false},
        {"outside the edge", {0.8f, 0.8f, 1}, {0.8f, 0.8f, -1}, false},
        {"outside a corner", {-0.1f, -0.1f, 1}, {-0.1f, -0.1f, -1}, false},
        {"parallel", {x, y, 1}, {0.5f, y, 1}, false},
    };
    for (const Case& c : cases) {
        Vec3 hit{9, 9, 9};
        EXPECT_EQ(SegmentTriangleIntersect(c.p0, c.p1, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, &hit), c.hits)
            << c.name;
        if (c.hits) ExpectVec(hit, {x, y, 0});
    }
    // A flat triangle is never hit.
    EXPECT_FALSE(SegmentTriangleIntersect({x, y, 1}, {x, y, -1}, {0, 0, 0}, {0, 0, 0}, {0, 1, 0}));
}

TEST(MathSegments, ClosestPointsAndTriangleSphere) {
    struct Case {
        Vec3 p, a, b;
        float t;
        Vec3 point;
    };
    const Case cases[] = {
        {{1, 1, 0}, {0, 0, 0}, {2, 0, 0}, 0.5f, {1, 0, 0}},
        {{4, 1, 0}, {0, 0, 0}, {2, 0, 0}, 2.0f, {4, 0, 0}}, // not clamped
        {{-1, 5, 5}, {0, 0, 0}, {0, 0, 4}, 1.25f, {0, 0, 5}},
        {{7, 7, 7}, {1, 2, 3}, {1, 2, 3}, 0.5f, {1, 2, 3}}, // zero-length line
    };
    for (const Case& c : cases) {
        Vec3 out;
        EXPECT_NEAR(ClosestPointOnLineP(&c.p, &c.a, &c.b, &out), c.t, kEps);
        ExpectVec(out, c.point);
    }
    Vec3 centre;
    EXPECT_NEAR(TriangleBoundingSphere({0, 0, 0}, {3, 0, 0}, {0, 3, 0}, centre), std::sqrt(5.0f), kEps);
    ExpectVec(centre, {1, 1, 0});
}

TEST(MathBoxes, CornersAndOutwardTriangles) {
    const Vec3 a{0, 0, 0}, b{1, 2, 3};
    const auto corners = BoxCorners(a, b);
    ExpectVec(corners[0], b);
    ExpectVec(corners[1], a);
    ExpectVec(corners[3], {0, 2, 0});
    ExpectVec(corners[6], {1, 0, 3});
    for (size_t i = 0; i < 8; ++i)
        for (size_t j = i + 1; j < 8; ++j) EXPECT_GT(Vec3Length(Vec3Sub(corners[i], corners[j])), 0.5f);

    const auto v = BoxToTriangleVertices(a, b);
    const Vec3 middle{0.5f, 1, 1.5f};
    float surface = 0;
    for (int i = 0; i < 36; i += 3) {
        const Vec3 n = Vec3Cross(Vec3Sub(v[i + 1], v[i]), Vec3Sub(v[i + 2], v[i]));
        const Vec3 centroid = Vec3Scale(Vec3Add(Vec3Add(v[i], v[i + 1]), v[i + 2]), 1 / 3.f);
        EXPECT_GT(Vec3Dot(n, Vec3Sub(centroid, middle)), 0.0f) << "triangle " << i / 3 << " faces inward";
        surface += 0.5f * Vec3Length(n);
    }
    EXPECT_NEAR(surface, 22.0f, 1e-4f); // 2 (1*2 + 2*3 + 1*3)
}

TEST(MathScreen, VirtualScreenProjectionAndBoxArea) {
    ExpectVec(ProjectToVirtualScreen({0, 0, 0.5f}, kIdentityMatrix), {512, 384, 0.5f});
    ExpectVec(ProjectToVirtualScreen({1, 1, 0}, kIdentityMatrix), {1024, 0, 0});
    ExpectVec(ProjectToVirtualScreen({-1, -1, 0}, kIdentityMatrix), {0, 768, 0});
    Matrix flat = kIdentityMatrix;
    flat.m[3][3] = 0; // w = 0 at the origin
    ExpectVec(ProjectToVirtualScreen({0, 0, 0}, flat), {512, 384, 0});
    // The transformed depth is not divided by w.
    Matrix deep = MatrixScaling(1, 1, 3);
    deep.m[3][3] = 2;
    EXPECT_NEAR(ProjectToVirtualScreen({0, 0, 1}, deep).z, 3, kEps);

    // Flat projection: the front face of a unit box covers half the screen each way.
    EXPECT_NEAR(CalcBoxScreenArea({-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}, kIdentityMatrix), 512.f * 384.f,
                0.5f);
    // Perspective from z = -5 with a 90 degree view: only the front face at
    // distance 4.5 shows, (1 / 4.5)^2 of the screen.
    const Matrix viewProj = MatrixProduct(MatrixLookAtLH({0, 0, -5}, {0, 0, 0}, {0, 1, 0}),
                                          MatrixPerspectiveFovLH(kPi / 2, 1, 1, 100));
    EXPECT_NEAR(CalcBoxScreenArea({-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}, viewProj),
                1024.f * 768.f / (4.5f * 4.5f) / 4, 0.5f);
    // Seen across an edge: the two faces each way add up to the silhouette.
    const Matrix edge = MatrixProduct(MatrixLookAtLH({-5, 0, -5}, {0, 0, 0}, {0, 1, 0}),
                                      MatrixPerspectiveFovLH(kPi / 2, 1, 1, 100));
    const float area = CalcBoxScreenArea({-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}, edge);
    EXPECT_GT(area, 0.0f);
    EXPECT_NEAR(area, CalcBoxScreenArea({0.5f, 0.5f, 0.5f}, {-0.5f, -0.5f, -0.5f}, edge), 0.5f);
}

TEST(MathScreen, PickRayProjectsBackOntoTheScreenPoint) {
    const Vec3 eye{10, 0, 0}, dir{1, 0, 0}, up{0, 0, 1};
    const Matrix view = MatrixLookAtLH(eye, Vec3Add(eye, dir), up);
    Matrix mirrored;
    SetProjectionMatrix(kPi / 3, -768.f / 1024.f, 3, 150000, mirrored);
    for (const Matrix& proj : {MatrixPerspectiveFovLH(kPi / 2, 1, 1, 1000), mirrored}) {
        for (const Vec3 screen : {Vec3{512, 384, 0}, Vec3{0, 0, 0}, Vec3{1000, 100, 0}, Vec3{200, 700, 0}}) {
            Vec3 ray, far;
            ScreenPosToWorldRay(screen.x, screen.y, proj, eye, dir, up, ray, far);
            EXPECT_NEAR(Vec3Length(ray), 1.0f, kEps);
            ExpectVec(far, Vec3Add(eye, Vec3Scale(ray, 9999999.0f)), 2.0f);
            const Vec3 back =
                ProjectToVirtualScreen(Vec3Add(eye, Vec3Scale(ray, 50)), MatrixProduct(view, proj));
            EXPECT_NEAR(back.x, screen.x, 0.01f);
            EXPECT_NEAR(back.y, screen.y, 0.01f);
        }
    }
    Vec3 ray, far;
    ScreenPosToWorldRay(0, 0, MatrixPerspectiveFovLH(kPi / 2, 1, 1, 1000), eye, dir, up, ray, far);
    ExpectVec(ray, Vec3Normalize({1, -1, 1})); // top left: up and to the left of +x
}

TEST(MathAngles, SphericAnglesAgainstABasis) {
    struct Case {
        const char* name;
        float azimuth, elevation; // degrees; v = (cos az cos el, sin az cos el, sin el)
    };
    const Case cases[] = {
        {"ahead", 0, 0},   {"left", 90, 10},          {"behind", 180, -20}, {"past a half turn", 200, 0},
        {"below", 270, 5}, {"nearly round", 350, 30}, {"steep", 120, 80},
    };
    for (const Case& c : cases) {
        const float az = c.azimuth * kPi / 180, el = c.elevation * kPi / 180;
        const Vec3 v =
            Vec3Scale({std::cos(az) * std::cos(el), std::sin(az) * std::cos(el), std::sin(el)}, 7.0f);
        float a1 = -1, a2 = -1;
        CalcSphericAngles(v, nullptr, nullptr, nullptr, &a1, &a2);
        EXPECT_NEAR(a1, az, 1e-4f) << c.name;
        EXPECT_NEAR(a2, kPi / 2 - el, 1e-4f) << c.name;
    }
    // A given basis is normalised first.
    const Vec3 I{0, 2, 0}, J{0, 0, 3}, K{4, 0, 0};
    float a1 = -1, a2 = -1;
    CalcSphericAngles({1, -1, 0}, &I, &J, &K, &a1, &a2);
    EXPECT_NEAR(a1, kPi, 1e-5f);
    EXPECT_NEAR(a2, kPi / 4, 1e-5f);
    CalcSphericAngles({0, 0, 0.0002f}, nullptr, nullptr, nullptr, nullptr, &a2);
    EXPECT_NEAR(a2, 0, 1e-5f);

    struct Fault {
        Vec3 v;
        const Vec3 *i, *j, *k;
        const char* text;
    };
    const Vec3 zero{};
    const Fault faults[] = {
        {{0, 0, 0.00009f}, nullptr, nullptr, nullptr, "CalcSphericAngles : v = 0"},
        {{1, 0, 0}, &zero, nullptr, nullptr, "CalcSphericAngles : vI = 0"},
        {{1, 0, 0}, nullptr, &zero, nullptr, "CalcSphericAngles : vJ = 0"},
        {{1, 0, 0}, &I, &J, &zero, "CalcSphericAngles : vK = 0"},
    };
    for (const Fault& f : faults) {
        test::ErrorTrap trap;
        EXPECT_THROW(CalcSphericAngles(f.v, f.i, f.j, f.k, &a1, &a2), test::Halted) << f.text;
        ASSERT_EQ(trap.reports.size(), 1u);
        EXPECT_EQ(trap.reports[0].text, f.text);
        EXPECT_EQ(trap.reports[0].flags, "mhl");
    }
}

TEST(MathUnits, DistancesCentreAndNearest) {
    const FakeUnit a({0, 0, 0}, 1), b({3, 4, 0}, 2), c({3.4f, 0, 0}, 0), d({3.6f, 0, 0}, 3), e({1, 0, 0}, 2);
    EXPECT_EQ(BRUDistance(a, b), 5);
    EXPECT_EQ(BRUDistance(a, c), 3);
    EXPECT_EQ(BRUDistance(a, d), 4);
    EXPECT_EQ(BRUSurfaceDistance(a, b), 2);
    EXPECT_EQ(BRUSurfaceDistance(a, e), -2); // overlapping spheres

    const FakeUnit p1({10, 0, 0}), p2({0, 20, 0}), p3({-4, -2, 6});
    const IPlacedUnit* group[] = {&p1, &p2, &p3};
    ExpectVec(CalcBRUGroupCenter(group), {2, 6, 2});

    struct Case {
        const char* name;
        std::vector<float> distances; // along x from the point
        int nearest;
        float largest;
    };
    const Case cases[] = {
        {"falls then rises", {5, 1, 3, 2}, 1, 5},
        {"nearest first", {2, 4, 3}, 0, 4},
        {"one unit", {7}, 0, 7},
        {"nearest last", {9, 8, 7, 0.5f}, 3, 9},
    };
    for (const Case& cs : cases) {
        std::vector<FakeUnit> units;
        for (float dist : cs.distances) units.emplace_back(Vec3{100 + dist, 50, 0});
        std::vector<const IPlacedUnit*> list;
        for (const FakeUnit& u : units) list.push_back(&u);
        float largest = -1;
        EXPECT_EQ(CalcNearestBRU(list, {100, 50, 0}, &largest), cs.nearest) << cs.name;
        EXPECT_NEAR(largest, cs.largest, 1e-4f) << cs.name;
        EXPECT_EQ(CalcNearestBRU(list, {100, 50, 0}), cs.nearest) << cs.name;
    }

    test::ErrorTrap trap;
    EXPECT_THROW(CalcNearestBRU({}, {0, 0, 0}), test::Halted);
    EXPECT_THROW(CalcBRUGroupCenter({}), test::Halted);
    ASSERT_EQ(trap.reports.size(), 2u);
    EXPECT_EQ(trap.reports[0].text, "CalcNearestBRU: _BRUList.Count = 0");
    EXPECT_EQ(trap.reports[1].text, "CalcBRUGroupCenter: _BRUList.Count = 0");
    EXPECT_EQ(trap.reports[1].flags, "mhl");
}

TEST(MathUnits, AsmHelperIsPlacedOffTheApproachLine) {
    const Vec3 from{0, 0, 0}, toward{1000, 500, -200};
    for (float r : {0.0f, 0.3f, 0.99f}) {
        FakeHost root;
        IPlacedUnit* helper = PlaceAsmHelper(root, from, toward, 900000.0f, 0.5f, [r] { return r; });
        ASSERT_EQ(root.added.size(), 1u);
        EXPECT_EQ(root.added[0].first, "asmhelper");
        EXPECT_EQ(helper, &root.helper);
        const Vec3 offset = Vec3Sub(root.added[0].second, toward);
        EXPECT_NEAR(Vec3Length(offset), 900000.0f, 1.0f);
        EXPECT_NEAR(Vec3AngleBetween(offset, Vec3Sub(toward, from)), 0.5f, 1e-4f);
    }
    // Standing on the target: the helper goes to the target itself.
    FakeHost root;
    PlaceAsmHelper(root, toward, toward, 100.0f, 0.5f);
    ExpectVec(root.added.at(0).second, toward);
}
