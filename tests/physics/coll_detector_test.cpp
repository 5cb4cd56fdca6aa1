#include "physics/coll_detector.h"

#include "physics/bsphere.h"
#include "physics/bsphere_sections.h"

#include <gtest/gtest.h>

#include <vector>

namespace vesk {
namespace {

struct Sphere : IBoundingSphere2 {
    Vec3 pos;
    float radius = 1;
    bool mesh = true;
    std::vector<IBoundingSphere2*> children;
    float GetRadius() const override { return radius; }
    Vec3 GetPositionV() const override { return pos; }
    Vec3 GetCenter() const override { return pos; }
    float GetLocalRadius() const override { return radius; }
    void ResetChildIterator(int& i) const override { i = 0; }
    bool NextChildSphere(int& i, IBoundingSphere2*& out) override {
        if (i >= static_cast<int>(children.size())) return false;
        out = children[i++];
        return true;
    }
    bool GetMeshGeometry(std::shared_ptr<BSSectionMesh>& out) const override {
        out = mesh ? std::make_shared<BSSectionMesh>() : nullptr;
        return mesh;
    }
    void SetMeshGeometry(std::shared_ptr<BSSectionMesh>) override {}
    void ReleaseMeshGeometry() override {}
    void KillSphere() override {}
};

void ExpectVec(Vec3 v, Vec3 e) {
    EXPECT_NEAR(v.x, e.x, 1e-4f);
    EXPECT_NEAR(v.y, e.y, 1e-4f);
    EXPECT_NEAR(v.z, e.z, 1e-4f);
}

TEST(CollDetector, SegmentAgainstSphere) {
    Vec3 p;
    EXPECT_FALSE(CollSegmentHitsSphere({0, 0, 0}, {0, 0, 0}, {0, 0, 0}, 5, p)); // zero length
    ASSERT_TRUE(CollSegmentHitsSphere({1, 0, 0}, {20, 0, 0}, {0, 0, 0}, 5, p)); // starts inside
    ExpectVec(p, {1, 0, 0});
    // Passing through: the point lies back towards the start from the nearest point.
    ASSERT_TRUE(CollSegmentHitsSphere({-10, 3, 0}, {10, 3, 0}, {0, 0, 0}, 5, p));
    ExpectVec(p, {-4, 3, 0});
    // Both ends beyond sqrt(2) r on the same side of the centre: no hit.
    EXPECT_FALSE(CollSegmentHitsSphere({-20, 3, 0}, {-7.1f, 3, 0}, {0, 0, 0}, 5, p));
    // (A - C).(B - C) exactly 0: the condition does not apply.
    EXPECT_TRUE(CollSegmentHitsSphere({-10, 0, 0}, {0, 10, 0}, {0, 0, 0}, 8, p));
    EXPECT_FALSE(CollSegmentHitsSphere({-10, 6, 0}, {10, 6, 0}, {0, 0, 0}, 5, p)); // passes by
}

TEST(CollDetector, TreeDescentPicksTheNearestChildFirstInOrderOnTies) {
    Sphere root, a, b, far, inner;
    root.radius = 100;
    a.pos = {0, 10, 0}, b.pos = {0, -10, 0}, far.pos = {50, 0, 0};
    a.radius = b.radius = far.radius = 20;
    root.children = {&far, &a, &b};
    inner.pos = {0, 5, 0};
    inner.radius = 10;
    a.children = {&inner};
    SphereTreeHit hit;
    ASSERT_TRUE(IsRayIntersectObject(&root, {-200, 0, 0}, {200, 0, 0}, hit));
    EXPECT_EQ(hit.sphere, &inner); // a and b at the same distance: the first wins
    a.mesh = false;                // a winner without geometry ends the descent at itself
    ASSERT_TRUE(IsRayIntersectObject(&root, {-200, 0, 0}, {200, 0, 0}, hit));
    EXPECT_EQ(hit.sphere, &a);
    EXPECT_FALSE(IsRayIntersectObject(&root, {-200, 500, 0}, {200, 500, 0}, hit));
    ExpectVec(hit.normal, {1, 0, 0});
}

TEST(CollDetector, RaysAgainstTriangles) {
    const std::vector<Vec3> pos{{0, -5, -5}, {0, 5, -5}, {0, 0, 5}, {5, -5, -5}, {5, 5, -5}, {5, 0, 5}};
    const std::vector<uint32_t> idx{0, 1, 2, 3, 4, 5, 0, 1, 9};
    ColliseDetectorTriangles tris(pos, idx, 0, 1);
    Vec3 p, n;
    // Facing the ray (normal -x): the nearer of the two triangles.
    const bool fromPlus = tris.HitTriangle({10, 0, 0}, {-20, 0, 0}, 3, p, &n);
    const bool fromMinus = tris.HitTriangle({-10, 0, 0}, {20, 0, 0}, 3, p, &n);
    EXPECT_NE(fromPlus, fromMinus);                                    // seen from behind it is not hit
    EXPECT_FALSE(tris.HitTriangle({0, 0, 20}, {0, 0, -40}, 0, p, &n)); // parallel to the plane
    EXPECT_FALSE(tris.HitTriangle({-10, 0, 0}, {20, 0, 0}, 6, p, &n)); // index beyond the vertices
    ColliseDetectorTriangles near(pos, std::span<const uint32_t>(idx).first(6), 0, 1);
    const Vec3 o = fromPlus ? Vec3{10, 0, 0} : Vec3{-10, 0, 0};
    const Vec3 d = fromPlus ? Vec3{-20, 0, 0} : Vec3{20, 0, 0};
    ASSERT_TRUE(near.FindNearestHit(o, d, p, n));
    ExpectVec(p, fromPlus ? Vec3{5, 0, 0} : Vec3{0, 0, 0});
    EXPECT_FALSE(near.FindNearestHit(o, Vec3Scale(d, 0.1f), p, n)); // t beyond t-max
}

} // namespace
} // namespace vesk
