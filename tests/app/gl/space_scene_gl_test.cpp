// The demo's space scene drawn by the real GL device: the Vesk system and the
// Kessa belt built from the generated models by the world's engine functions
// and the demo's tables, the sky around the eye, the sun where the camera
// sees it, the belt's fog and the dust.
#include "space_scene_gl.h"

#include "world/locations.h"
#include "world/space_dust.h"

#include <cmath>

namespace vesk::test {
namespace {

using namespace platform;
using gltest::H;
using gltest::W;

TEST_F(SpaceSceneGL, TheSkyFillsTheViewAndTheSunShowsWhereTheCameraSeesIt) {
    ASSERT_NE(Environment(), nullptr);
    // From the outpost towards the sun, which stands at infinity in its direction.
    const Vec3 eye{-300, 0, 0};
    const Vec3 toSun = Vec3Normalize({80000, -40000, 30000});
    camera_->SetPose(eye, toSun);
    DrawFrame();
    const Vec3 sun = Project(Vec3Add(eye, Vec3Scale(toSun, 94000.0f)));
    ASSERT_NEAR(sun.x, W / 2.0f, 1.0f);
    ASSERT_NEAR(sun.y, H / 2.0f, 1.0f);
    // The sun's glow: bright and warm (at the pixel nearest its projection).
    const Rgb centre = At(int(std::lround(sun.x)), int(std::lround(sun.y)));
    EXPECT_GT(centre.r, 200);
    EXPECT_GE(centre.r, centre.b);
    // Everywhere the sky is drawn: no pixel keeps the clear colour.
    int clear = 0;
    for (int y = 0; y < int(H); y += 4)
        for (int x = 0; x < int(W); x += 4)
            if (IsClearColour(At(x, y))) ++clear;
    EXPECT_EQ(clear, 0);
    // Turned away from the sun, the middle of the view is sky and no sun.
    camera_->SetPose(eye, Vec3Scale(toSun, -1.0f));
    DrawFrame();
    const Rgb away = At(W / 2, H / 2);
    EXPECT_FALSE(IsClearColour(away));
    EXPECT_LT(away.r, 150);
    EXPECT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
}

TEST_F(SpaceSceneGL, TheBeltsFogShowsInFrontOfTheSkyAndTheDustStreaksWithTheCamera) {
    // The first fog volume of the belt: 2400 wide at (15800, 5400, 200), seen from 3000 away.
    const Vec3 fog{15800, 5400, 200};
    camera_->SetPose(Vec3Add(fog, {-3000, 0, 0}), {1, 0, 0});
    DrawFrame();
    DrawFrame();
    const Rgb withFog = At(W / 2, H / 2);
    auto* belt = dynamic_cast<WELocationClass*>(Env->PlanetSystem()->FindBRUByName("kessa_belt"));
    ASSERT_NE(belt, nullptr);
    ASSERT_EQ(belt->FogObjects().size(), 3u);
    for (TBaseRenderUnit* f : belt->FogObjects()) f->Kill();
    DrawFrame();
    const Rgb without = At(W / 2, H / 2);
    // The white haze lightens what is behind it.
    EXPECT_GT(withFog.r + withFog.g + withFog.b, without.r + without.g + without.b + 30);

    // The dust: moving, the specks around the eye become streaks along the motion.
    DustClass* dust = Environment()->Dust();
    ASSERT_NE(dust, nullptr);
    camera_->SetPose(Vec3Add(fog, {-2990, 0, 0}), {1, 0, 0});
    DrawFrame();
    ASSERT_FALSE(dust->Vertices().empty());
    EXPECT_GT(dust->StreakLength(), 0.0f);
    EXPECT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
}

} // namespace
} // namespace vesk::test
