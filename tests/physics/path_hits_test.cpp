// What a path meets: the sphere rule of cutting and of sweeps, and the index
// that hands a path the spheres near it.
#include "physics/path_hits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <string>

namespace vesk {
namespace {

TEST(PathHits, CuttingAndSweepsShareTheSphereRuleButForThePointBeyondTheEnds) {
    // Radius 1 at the origin. The cutting rule gives the point where the line
    // enters the sphere even when the segment stops short of that point; a
    // sweep must reach it.
    struct Case {
        const char* what;
        Vec3 a, b;
        bool cutting, sweep;
        Vec3 point; // of the hits
    } cases[] = {
        {"too short", {0, 0, 0}, {1e-7f, 0, 0}, false, false, {}},
        {"a inside", {0.2f, 0, 0}, {5, 0, 0}, true, true, {0.2f, 0, 0}},
        {"b inside", {5, 0, 0}, {0.5f, 0, 0}, true, true, {0.5f, 0, 0}},
        {"through", {-3, 0.6f, 0}, {3, 0.6f, 0}, true, true, {-0.8f, 0.6f, 0}},
        {"the line misses", {-3, 2, 0}, {3, 2, 0}, false, false, {}},
        {"both ends far on one side", {2, 0.5f, 0}, {5, 0.5f, 0}, false, false, {}},
        {"stops short, a within sqrt2 r", {1.2f, 0.5f, 0}, {5, 0.5f, 0}, true, false, {-0.8660254f, 0.5f, 0}},
        {"starts beyond, b within sqrt2 r",
         {5, 0.5f, 0},
         {1.2f, 0.5f, 0},
         true,
         false,
         {0.8660254f, 0.5f, 0}},
    };
    for (const Case& c : cases)
        for (SphereRule rule : {SphereRule::kCutting, SphereRule::kSweep}) {
            const bool cutting = rule == SphereRule::kCutting;
            SCOPED_TRACE(std::string(c.what) + (cutting ? ", cutting" : ", sweep"));
            Vec3 p{99, 99, 99};
            const bool hit = SegmentMeetsSphere(c.a, c.b, {0, 0, 0}, 1.0f, rule, p);
            EXPECT_EQ(hit, cutting ? c.cutting : c.sweep);
            if (hit) {
                EXPECT_NEAR(p.x, c.point.x, 1e-5f);
                EXPECT_NEAR(p.y, c.point.y, 1e-5f);
                EXPECT_NEAR(p.z, c.point.z, 1e-5f);
            }
        }
}

// Spheres of the sizes a scene holds (fighters, a few large ships, a station
// far larger, points), spread over a wide field, and paths of every length.
class SphereIndexTest : public ::testing::Test {
protected:
    struct Sphere {
        Vec3 centre;
        float radius;
    };
    void Fill(int count, std::mt19937& rng) {
        std::uniform_real_distribution<float> place(-20000.0f, 20000.0f), unit(0.0f, 1.0f);
        for (int i = 0; i < count; ++i) {
            const float kind = unit(rng);
            const float radius = kind < 0.8f    ? 5.0f + 20.0f * unit(rng)    // fighters
                                 : kind < 0.95f ? 100.0f + 400.0f * unit(rng) // large ships
                                 : kind < 0.98f ? 3000.0f                     // a station
                                                : 0.0f;                       // a point
            spheres.push_back({{place(rng), place(rng), 0.1f * place(rng)}, radius});
        }
    }
    void Build() {
        index.Clear();
        for (const Sphere& s : spheres) index.Add(s.centre, s.radius);
        index.Build();
    }
    // Every sphere the path meets by either exact test is among those the
    // index gives, and the index gives each once, in order.
    void ExpectComplete(const Vec3& from, const Vec3& to) {
        const std::vector<uint32_t>& got = index.Meeting(from, to);
        ASSERT_TRUE(std::is_sorted(got.begin(), got.end()));
        ASSERT_TRUE(std::adjacent_find(got.begin(), got.end()) == got.end());
        const std::set<uint32_t> given(got.begin(), got.end());
        for (uint32_t i = 0; i < spheres.size(); ++i) {
            Vec3 p;
            float t = 0;
            const bool meets =
                SegmentMeetsSphere(from, to, spheres[i].centre, spheres[i].radius, SphereRule::kSweep, p) ||
                SegmentEntersSphere(from, to, spheres[i].centre, spheres[i].radius, t);
            if (meets) {
                EXPECT_TRUE(given.count(i)) << "sphere " << i << " left out";
            }
        }
    }
    std::vector<Sphere> spheres;
    SphereIndex index;
};

TEST_F(SphereIndexTest, APathIsGivenEverySphereItMeetsAndFewElse) {
    std::mt19937 rng(7);
    Fill(2000, rng);
    Build();
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    size_t given = 0, shortPaths = 0;
    for (int k = 0; k < 3000; ++k) {
        // From the middle of a sphere, from its surface or from anywhere; a
        // shot's step, a sweep, a beam across the field.
        const Sphere& s = spheres[rng() % spheres.size()];
        const Vec3 dir = Vec3Normalize({unit(rng) - 0.5f, unit(rng) - 0.5f, unit(rng) - 0.5f});
        const float lengths[] = {0.0f, 1.0f, 50.0f, 600.0f, 30000.0f};
        const float length = lengths[k % 5];
        const Vec3 from = k % 3 == 0 ? s.centre
                          : k % 3 == 1
                              ? Vec3Add(s.centre, Vec3Scale(dir, s.radius * 1.02f))
                              : Vec3{40000.0f * unit(rng) - 20000.0f, 40000.0f * unit(rng) - 20000.0f, 0};
        const Vec3 to = Vec3Add(from, Vec3Scale(dir, -length));
        ExpectComplete(from, to);
        if (length <= 50.0f) given += index.Meeting(from, to).size(), ++shortPaths;
    }
    // A short path is handed the few spheres near it, not the field.
    EXPECT_LT(static_cast<double>(given) / static_cast<double>(shortPaths), 10.0);
}

TEST_F(SphereIndexTest, ABuildingForgetsWhereTheSpheresOfTheLastOneWere) {
    // Built again each frame as the ships move: asks see the spheres of the
    // last building only, wherever the earlier ones were.
    spheres = {{{0, 0, 0}, 10}, {{30, 0, 0}, 10}, {{-5000, 0, 0}, 400}};
    Build();
    ASSERT_EQ(index.Meeting({-20, 0, 0}, {20, 0, 0}), (std::vector<uint32_t>{0, 1}));
    spheres = {{{9000, 9000, 0}, 10}, {{9000, 9030, 0}, 12}, {{4000, 0, 0}, 400}, {{0, 0, 0}, 10}};
    Build();
    EXPECT_EQ(index.Meeting({9000, 8980, 0}, {9000, 9050, 0}), (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(index.Meeting({4000, -500, 0}, {4000, 500, 0}), (std::vector<uint32_t>{2}));
    EXPECT_EQ(index.Meeting({-5000, 0, 0}, {-4990, 0, 0}), std::vector<uint32_t>{});
    EXPECT_EQ(index.Meeting({-1, 0, 0}, {1, 0, 0}), (std::vector<uint32_t>{3}));
}

TEST_F(SphereIndexTest, FarPlacesAndUnnumberedOnesAreHandledSafely) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
    spheres = {{{0, 0, 0}, 10},  {{1e30f, 0, 0}, 5}, {{-3e38f, 3e38f, 0}, 1e38f}, {{nan, 0, 0}, 5},
               {{0, 0, 0}, inf}, {{50, 0, 0}, -20},  {{1e-30f, 0, 0}, 1e-30f},    {{100, 0, 0}, 10}};
    Build();
    // Far out and at the limits of the numbers: complete, each once.
    for (const auto& [from, to] : std::vector<std::pair<Vec3, Vec3>>{{{-100, 0, 0}, {200, 0, 0}},
                                                                     {{1e30f, 0, 0}, {1e30f, 1, 0}},
                                                                     {{-3e38f, 3e38f, 0}, {0, 0, 0}},
                                                                     {{0, 0, 0}, {inf, 0, 0}},
                                                                     {{-inf, 0, 0}, {inf, 0, 0}},
                                                                     {{40, 0, 0}, {40, 0, 0}}})
        ExpectComplete(from, to);
    // A sphere whose box is no finite box is given to every path; a radius
    // below zero counts as its size.
    const std::vector<uint32_t>& near = index.Meeting({45, 0, 0}, {46, 0, 0});
    EXPECT_TRUE(std::count(near.begin(), near.end(), 3u));
    EXPECT_TRUE(std::count(near.begin(), near.end(), 4u));
    EXPECT_TRUE(std::count(near.begin(), near.end(), 5u));
    EXPECT_FALSE(std::count(near.begin(), near.end(), 1u));
    // A path that is no number is given them all.
    EXPECT_EQ(index.Meeting({nan, 0, 0}, {0, 0, 0}).size(), spheres.size());
    // Cleared, it gives nothing.
    index.Clear();
    index.Build();
    EXPECT_TRUE(index.Meeting({0, 0, 0}, {1, 0, 0}).empty());
}

} // namespace
} // namespace vesk
