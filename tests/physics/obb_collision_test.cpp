#include "physics/obb_collision.h"

#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vesk {
namespace {

Matrix AxesMatrix(Vec3 x, Vec3 y, Vec3 z, Vec3 t = {}) {
    Matrix m;
    m.m[0][0] = x.x, m.m[0][1] = x.y, m.m[0][2] = x.z;
    m.m[1][0] = y.x, m.m[1][1] = y.y, m.m[1][2] = y.z;
    m.m[2][0] = z.x, m.m[2][1] = z.y, m.m[2][2] = z.z;
    m.m[3][0] = t.x, m.m[3][1] = t.y, m.m[3][2] = t.z;
    return m;
}

struct Owner : IOwnerBRU, IOwnerBBInfo {
    Matrix matrix;
    Vec3 size{1, 1, 1};
    bool hasInfo = true;
    void GetBBInfo(Matrix& m, Vec3& s) override { m = matrix, s = size; }
    IOwnerBBInfo* GetBBInterface() override { return hasInfo ? this : nullptr; }
    const void* GetBRU() override { return this; }
};

struct Ship : ICollisionBRU {
    Vec3 centre;
    float radius = 1;
    std::vector<std::pair<Vec3, float>> spheres;
    std::vector<Vec3> positions;
    std::vector<uint32_t> indices;
    void GetBSphere(Vec3& c, float& r) override { c = centre, r = radius; }
    bool GetBSphereList(std::vector<std::pair<Vec3, float>>& out) override {
        out = spheres;
        return !spheres.empty();
    }
    void GetMeshTriangles(std::span<const Vec3>& p, std::span<const uint32_t>& i) override {
        p = positions, i = indices;
    }
};

OBBStruct BoxOf(Vec3 size, Matrix axes = {}) {
    Owner o;
    o.matrix = axes;
    o.size = size;
    TOBBClass box(&o);
    box.Update();
    return box.GetData();
}

void ExpectVec(Vec3 v, Vec3 e) {
    EXPECT_NEAR(v.x, e.x, 1e-5f);
    EXPECT_NEAR(v.y, e.y, 1e-5f);
    EXPECT_NEAR(v.z, e.z, 1e-5f);
}

TEST(ObbCollision, BoxIsRebuiltFromTheOwnerMatrixAndSize) {
    Owner o;
    o.matrix = AxesMatrix({0, 1, 0}, {0, 0, 1}, {1, 0, 0}, {5, 6, 7});
    o.size = {3, 4, 12};
    TOBBClass box(&o);
    box.Update();
    const OBBStruct& d = box.GetData();
    ExpectVec(d.centre, {5, 6, 7});
    EXPECT_FLOAT_EQ(d.radius, 13.0f);
    EXPECT_EQ(d.matrix.m[3][0], 0.0f);
    // corner 6 is (-X', -Y', -Z'): x from Z (12), y from X (3), z from Y (4)
    ExpectVec(d.corners[6], {5 - 12, 6 - 3, 7 - 4});
    ExpectVec(d.corners[0], {5 + 12, 6 + 3, 7 + 4});
}

TEST(ObbCollision, SpheresAgainstTheBox) {
    Owner o;
    o.size = {3, 4, 12};
    TOBBClass box(&o);
    box.Update();
    EXPECT_FALSE(box.IntersectSphere({6, 8, 24}, 13)); // corner touch fails the strict pre-test
    EXPECT_TRUE(box.IntersectSphere({4, 0, 0}, 1));    // touching the face counts
    EXPECT_FALSE(box.IntersectSphere({4.01f, 0, 0}, 1));

    o.matrix = AxesMatrix({0, 1, 0}, {0, 0, 1}, {1, 0, 0});
    box.Update();
    EXPECT_TRUE(box.IntersectSphere({10, 0, 0}, 1));
    EXPECT_FALSE(box.IntersectSphere({0, 0, 6}, 1));
}

TEST(ObbCollision, TrianglesAgainstTheBox) {
    const OBBStruct box = BoxOf({1, 1, 1});
    struct Case {
        Vec3 a, b, c;
        bool overlap;
    } cases[] = {
        {{1, -5, -5}, {1, 5, -5}, {1, 0, 5}, true},               // in the face plane
        {{2, -5, -5}, {2, 5, -5}, {2, 0, 5}, false},              // plane test separates
        {{0, -5, -5}, {0, 5, -5}, {0, 0, 5}, true},               // through the middle
        {{3, 3, 3}, {4, 3, 3}, {3, 4, 3}, false},                 // beyond a corner
        {{0.5f, 0, 0}, {0.5f, 0, 0}, {5, 5, 5}, true},            // two equal vertices, inside
        {{2, 2, 0}, {2, 2, 0}, {5, 5, 0}, false},                 // degenerate, outside
        {{2.5f, 0, -5}, {0, 2.5f, -5}, {1.25f, 1.25f, 5}, false}, // diagonal plane past the edge
    };
    for (const Case& c : cases)
        EXPECT_EQ(TriangleIntersectOBB(box, c.a, c.b, c.c), c.overlap)
            << c.a.x << "," << c.a.y << "," << c.a.z;
}

TEST(ObbCollision, CollisionTriangleKeepsTheRawNormal) {
    const CollisionTriangleStruct t = CreateCollisionTriangle({0, 0, 0}, {2, 0, 0}, {0, 3, 0}, {1, 1, 0});
    ExpectVec(t.normal, {0, 0, 6});
    ExpectVec(t.point, {1, 1, 0});
}

class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetShipCollisionListHook([this] {
            std::vector<ShipCollisionEntry> list{{&owner, nullptr}};
            for (Ship& s : ships) list.push_back({&s, &s});
            return list;
        });
    }
    void TearDown() override { SetShipCollisionListHook(nullptr); }
    Ship& AddShip(Vec3 at, std::vector<Vec3> tri = {}) {
        Ship& s = ships.emplace_back();
        s.centre = at;
        s.radius = 2;
        s.spheres = {{at, 2}};
        s.positions = std::move(tri);
        for (uint32_t i = 0; i < s.positions.size(); ++i) s.indices.push_back(i);
        return s;
    }
    Owner owner;
    std::vector<Ship> ships;
};

TEST_F(ComponentTest, FindsTheFirstOverlappingTriangleAndItsContactPoint) {
    ships.reserve(4);
    AddShip({5, 0, 0}); // far away
    Ship& hit = AddShip({0, 0, 0}, {{9, 9, 9},
                                    {9, 9, 9},
                                    {9, 8, 9}, // misses
                                    {0, -5, -5},
                                    {0, 5, -5},
                                    {0, 0, 5}, // first overlap
                                    {0.5f, -5, -5},
                                    {0.5f, 5, -5},
                                    {0.5f, 0, 5}}); // second ends the pass
    TCollisionComponet c(&owner);
    Vec3 p{7, 7, 7};
    EXPECT_FALSE(c.GetContactPoint(p));
    ExpectVec(p, {7, 7, 7});
    c.Update();
    ASSERT_EQ(c.Candidates().size(), 1u);
    ASSERT_TRUE(c.HasContact());
    ExpectVec(c.Contact().a, {0, -5, -5});
    ASSERT_TRUE(c.GetContactPoint(p));
    ExpectVec(p, {0, 1, 1}); // on edge (0, 1) from (1, 1, 1) to (-1, 1, 1)
    ICollisionBRU* first = nullptr;
    EXPECT_TRUE(c.GetFirstCandidate(first));
    EXPECT_EQ(first, &hit);
    c.ClearCandidates();
    EXPECT_TRUE(c.GetFirstCandidate(first));
    EXPECT_EQ(first, nullptr);

    hit.centre = {50, 0, 0};
    c.Update();
    EXPECT_FALSE(c.HasContact());
    Vec3 n{1, 1, 1};
    c.GetContactNormal(n);
    ExpectVec(n, {});
    EXPECT_FALSE(c.GetFirstCandidate(first));
}

TEST_F(ComponentTest, AtMostTenCandidatesAndBadContentIsPassedOver) {
    ships.reserve(12);
    for (int i = 0; i < 12; ++i) AddShip({0, 0, 0});
    ships[0].spheres.clear();           // no sphere list: not a candidate
    ships[1].positions = {{0, -5, -5}}; // indices beyond the vertices
    ships[1].indices = {0, 1, 2};
    ships[2].positions = {{0, -5, -5}, {0, 5, -5}, {0, 0, 5}};
    ships[2].indices = {0, 1, 2};
    TCollisionComponet c(&owner);
    c.Update();
    ASSERT_EQ(c.Candidates().size(), 10u);
    EXPECT_EQ(c.Candidates().front(), &ships[1]);
    EXPECT_TRUE(c.HasContact());
    ExpectVec(c.Contact().b, {0, 5, -5});
    c.AddCandidate(&ships[0]);
    EXPECT_EQ(c.Candidates().size(), 10u);
}

TEST_F(ComponentTest, ContactPointOfATriangleInsideTheBoxIsItsMiddle) {
    AddShip({0, 0, 0}, {{0, 0, 0}, {0.3f, 0, 0}, {0, 0.3f, 0}});
    TCollisionComponet c(&owner);
    c.Update();
    Vec3 p;
    ASSERT_TRUE(c.GetContactPoint(p));
    ExpectVec(p, {0.1f, 0.1f, 0});
}

TEST_F(ComponentTest, ExactTextsOfTheFatalReports) {
    test::ErrorTrap trap;
    owner.hasInfo = false;
    try {
        TCollisionComponet c(&owner);
        FAIL();
    } catch (const test::Halted&) {
    }
    owner.hasInfo = true;
    AddShip({0, 0, 0});
    SetShipCollisionListHook([this] {
        return std::vector<ShipCollisionEntry>{{&owner, &ships[0]}, {&ships, nullptr}};
    });
    TCollisionComponet c(&owner);
    EXPECT_THROW(c.Update(), test::Halted);
    EXPECT_TRUE(trap.HasReport("TSphereCollision.Init : c_OwnerBRU.GetBBInterface( OwnerBBInfo) <> S_OK"));
    EXPECT_TRUE(trap.HasReport(
        "TSphereCollision.CalcIntersection: bru.QueryInterface(IID_IPhysicOps, fPhOps)<>S_OK"));
}

} // namespace
} // namespace vesk
