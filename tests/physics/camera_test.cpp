#include "physics/camera.h"
#include "render/render_unit.h"

#include "shared/math.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace vesk {
namespace {

struct Fixture {
    bool paused = false;
    int followSlices = 0;
    std::vector<std::string> lua;
    CameraHooks Hooks() {
        CameraHooks h;
        h.paused = [this] { return paused; };
        h.runLua = [this](const std::string& s) { lua.push_back(s); };
        h.random = [] { return 0.0f; };
        h.objectPosition = [](TBaseRenderUnit*) { return Vec3{0, 0, 0}; };
        // Called once per object-following slice (and once by SetObject).
        h.objectRadius = [this](TBaseRenderUnit*) {
            ++followSlices;
            return 100.0f;
        };
        return h;
    }
};

// A plain render unit that lives for one test.
struct Unit {
    TBaseRenderUnit* unit = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    ~Unit() { unit->Free(); }
    operator TBaseRenderUnit*() const { return unit; }
};

void ExpectMatrixNear(const Matrix& a, const Matrix& b) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], 1e-5f) << r << "," << c;
}

TEST(Camera, DefaultsModeAndPose) {
    CameraClass cam;
    EXPECT_EQ(cam.Mode(), std::uint64_t{kCamUserControl | kCamSway});
    EXPECT_FLOAT_EQ(cam.GetFOV(), 75.0f);
    EXPECT_FLOAT_EQ(cam.GetLADist(), 650.0f);
    EXPECT_EQ(cam.GetUpVector().z, 1.0f);
    EXPECT_EQ(cam.GetDirection().x, 1.0f);
    cam.SetControlEnabled(false);
    EXPECT_FALSE(cam.IsMode(kCamUserControl));
    cam.SetMode(kCamQuake | kCamFree);
    EXPECT_TRUE(cam.IsMode(kCamFree | kCamCockpit));
    cam.ClearMode(kCamFree);
    EXPECT_FALSE(cam.IsMode(kCamFree));
}

TEST(Camera, ViewProjMatricesMatchMathLibraryWithMirroredAspect) {
    test::ErrorTrap trap;
    CameraClass cam;
    cam.SetScreenSize(1024, 768);
    Matrix view, proj, basis;
    const Vec3 eye{10, 20, 30}, off{5, -2, 1};
    cam.CalcViewProjMatrices(view, proj, basis, &eye, off);
    ExpectMatrixNear(view, MatrixLookAtLH(eye, Vec3Add(eye, off), {0, 0, 1}));
    Matrix expected;
    SetProjectionMatrix(75.0f * std::numbers::pi_v<float> / 180.0f, -(768.0f / 1024.0f), 3.0f, 150000.0f,
                        expected);
    ExpectMatrixNear(proj, expected);
    EXPECT_THROW(cam.CalcViewProjMatrices(view, proj, basis, nullptr, off), test::Halted);
    EXPECT_EQ(trap.lastFatal, "CameraClass.CalcViewProjMatrices: ");
}

TEST(Camera, OrbitPlacementByHand) {
    CameraClass cam;
    Vec3 eye, dir;
    // elevation pi/2, azimuth 0: the eye lies on +x of the target.
    cam.CalcPosByLAParams({1, 2, 3}, &eye, 100, 0, std::numbers::pi_v<float> / 2, dir);
    EXPECT_NEAR(eye.x, 101, 1e-3);
    EXPECT_NEAR(eye.y, 2, 1e-3);
    EXPECT_NEAR(eye.z, 3, 1e-3);
    EXPECT_NEAR(dir.x, -100, 1e-3);
    // elevation 0: straight above.
    cam.CalcPosByLAParams({0, 0, 0}, &eye, 50, 1.0f, 0, dir);
    EXPECT_NEAR(eye.z, 50, 1e-4);
    EXPECT_NEAR(eye.x, 0, 1e-4);
}

TEST(Camera, OrbitPlacementReportsANotANumber) {
    test::ErrorTrap trap;
    CameraClass cam;
    Vec3 eye, dir;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_THROW(cam.CalcPosByLAParams({0, 0, 0}, &eye, nan, 0, 1, dir), test::Halted);
    EXPECT_EQ(trap.lastFatal, "CameraClass.CalcPosByLAParams: IsNAN(_pvPos^)");
    EXPECT_THROW(cam.CalcPosByLAParams({nan, 0, 0}, nullptr, 10, 0, 1, dir), test::Halted);
    EXPECT_EQ(trap.lastFatal, "CameraClass.CalcPosByLAParams: IsNAN(_pvDir^)");
}

TEST(Camera, SlicingOfTheFollowAndAlignLoops) {
    struct Case {
        float dt;
        bool objView;
        std::vector<float> align;
        std::vector<float> follow;
    };
    const std::vector<Case> cases = {
        {20, false, {}, {20}},      {30, false, {}, {30}},     {45, false, {}, {30}},
        {65, false, {}, {30, 30}},  {70, false, {}, {30, 30}}, {20, true, {20}, {20}},
        {70, true, {30, 30}, {10}}, {45, true, {30}, {15}},    {65, true, {30, 30}, {5}},
    };
    for (const Case& c : cases) {
        Fixture fx;
        CameraClass cam("generic", fx.Hooks());
        Unit unit;
        cam.SetObject(unit);
        fx.followSlices = 0;
        std::vector<float> align;
        cam.alignStep = [&](float s) { align.push_back(std::round(s * 1000.0f)); };
        cam.SetMode(kCamAlign);
        if (c.objView)
            cam.SetMode(kCamObjView);
        else
            cam.SetLookFlag(false, true);
        cam.Update(c.dt);
        EXPECT_EQ(align, c.align) << c.dt;
        EXPECT_EQ(fx.followSlices, static_cast<int>(c.follow.size())) << c.dt;
    }
}

TEST(Camera, PauseHoldsMoversButNotOrbit) {
    Fixture fx;
    fx.paused = true;
    CameraClass cam("generic", fx.Hooks());
    Unit unit;
    cam.SetObject(unit);
    fx.followSlices = 0;
    int cockpit = 0, align = 0;
    cam.cockpitStep = [&](float) { ++cockpit; };
    cam.alignStep = [&](float) { ++align; };
    cam.SetMode(kCamAlign | kCamObjView);
    cam.Update(70); // the orbit alone gets 30 + 30; the rest is not stepped
    EXPECT_EQ(align, 0);
    EXPECT_EQ(fx.followSlices, 2);
    cam.SetMode(kCamCockpit);
    cam.Update(50);
    EXPECT_EQ(cockpit, 0);
    fx.paused = false;
    cam.Update(65);
    EXPECT_EQ(cockpit, 2);
    // The free camera wins over the cockpit.
    cam.SetMode(kCamFree);
    cam.SetFreeCameraVelocity({0, 0, 100});
    const Vec3 before = cam.GetPosition();
    cam.Update(100);
    EXPECT_EQ(cockpit, 2);
    EXPECT_NEAR(Vec3Length(Vec3Sub(cam.GetPosition(), before)), 10.0f, 1e-3);
}

TEST(Camera, LookFlagsZoomAndLimits) {
    CameraClass cam;
    CameraShared().wheel = 5;
    cam.SetLookFlag(false, true);
    EXPECT_EQ(CameraShared().wheel, 0);
    cam.SetDistLimits(500, 200); // radius 10: min 50, max raised to 50
    EXPECT_FLOAT_EQ(cam.GetMinDist(), 50);
    EXPECT_FLOAT_EQ(cam.GetMaxDist(), 50);
    cam.SetZoom(0); // FOV 75 differs from 70: factor 0 counts as 1
    EXPECT_FLOAT_EQ(cam.ZoomedFOV(), 70);
    cam.SetZoom(2);
    EXPECT_FLOAT_EQ(cam.ZoomedFOV(), 35);
}

TEST(Camera, QuakeTextsAndEnd) {
    test::ErrorTrap trap;
    Fixture fx;
    CameraClass cam("generic", fx.Hooks());
    EXPECT_EQ(CameraNumberText(0.5), " 5.00000000000000E-0001");
    EXPECT_EQ(CameraNumberText(-12.0), "-1.20000000000000E+0001");
    EXPECT_THROW(cam.StartQuake(false, 0, 0.75f, 6), test::Halted);
    EXPECT_EQ(trap.lastFatal, "CameraClass.StartQuake: _fTime = 0");
    cam.StartQuake(true, 0.1f, 0.75f, 6);
    ASSERT_FALSE(fx.lua.empty());
    EXPECT_EQ(fx.lua.back(), "SetPPParam(\"blur\",\"blur_power\", 5.00000000000000E-0001)");
    // Following no object: the quake does not advance.
    cam.Update(60);
    EXPECT_TRUE(cam.IsMode(kCamQuake));
    EXPECT_EQ(cam.QuakeElapsed(), 0.0f);
    Unit unit;
    cam.SetObject(unit);
    cam.Update(50);
    EXPECT_NEAR(cam.QuakeAmplitude(), 0.375f, 1e-5);
    cam.Update(60);
    EXPECT_FALSE(cam.IsMode(kCamQuake));
    EXPECT_EQ(fx.lua.back(), "SetPPParam(\"blur\",\"blur_power\",\"0.25\")");
}

} // namespace
} // namespace vesk
