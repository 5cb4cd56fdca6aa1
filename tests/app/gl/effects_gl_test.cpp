// Effects of the road of a hit and of the scene drawn by the real GL device
// with the generated models: a laser beam between two ships, a shield hit
// lighting up round a ship, a smoke trail behind a moving emitter and a jump
// gate's portal, each seen where the camera projects it and nowhere else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/lua_machine.h"
#include "core/paths.h"
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "platform/gl/gl_fixture.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/fx_templates.h"
#include "render/helpers.h"
#include "render/model_tree.h"
#include "render/view_camera.h"
#include "render/world_links.h"
#include "shared/math.h"
#include "support/engine_frame.h"
#include "support/error_trap.h"
#include "support/fx_environment.h"
#include "world/fx_laser.h"
#include "world/fx_library.h"
#include "world/fx_portal.h"
#include "world/fx_shield.h"
#include "world/fx_smoke.h"
#include "world/fx_spawn.h"
#include "world/ship.h"

namespace vesk::test {
namespace {

using namespace platform;
using gltest::H;
using gltest::W;

namespace fs = std::filesystem;

// The effects' materials draw their colour added to the scene (technique 51:
// the lit or vertex colour), the gate's frame its flat orange texture.
constexpr const char* kContent = R"(
local function added(id)
  return { id = id, texture_technique = 51, diffuse_color = 'FFFFFF', specular_color = '0',
           ambient_color = '0', emissive_color = '0', power = 0 }
end
materials = { checker = added('0'), fx_laser = added('1'), SpritesRenderer_fx_smoke_blend = added('2'),
              SpritesRenderer_fx_burst = added('3'), fx_shield_hit = added('4'), gate_field = added('5'),
              gate_frame = { id = '6', texture_technique = 20, diffuse_color = 'FFFFFF', specular_color = '0',
                             ambient_color = 'FFFFFF', emissive_color = '0', power = 1,
                             diffuse_map = { name = 'render_demo/hull', mipbias = 0, mipfilter = 0,
                                             magfilter = 1, minfilter = 1 } } }
mesh = { fx_shield_hit = { path = 'models/fx', name = 'shield_hit' },
         jump_gate = { path = 'models/space', name = 'jump_gate' } }
fx = { puff = { id = 'puff', type = 'particle' },
       beam = { id = 'beam', type = 'laser', color = 'FF00FF00', thickness = '6' },
       hit = { id = 'hit', type = 'shield', mesh = 'fx_shield_hit',
               intensity_keys = { { percents = 0, intensity = 1 }, { percents = 100, intensity = 1 } } },
       trail = { id = 'trail', type = 'smoke_blend', vmin = '0', vmax = '0', MaxSize = '3', MinSize = '3',
                 MaxLifeTime = '100', MinLifeTime = '100', particleID = 'puff', color = 'FFFF0000',
                 friction = '0', frequency = '20' },
       gate = { id = 'gate', type = 'portal', mesh = 'jump_gate' } }
)";

class EffectsGL : public gltest::GfxGL {
protected:
    void SetUp() override {
        GfxGL::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        home_ = fs::current_path();
        fs::current_path(std::string(VESK_BUILD_DIR) + "/game");
        DataPath = "";
        TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        Device = dev_;
        ResetDeviceStateCache();
        environment_.Start(kContent);
        CMTreeManager = std::make_unique<CMTreeManagerClass>();
        InstallCMRenderObjectBuilder();
        const EngineScene scene = MakeEngineScene();
        engine_ = scene.engine;
        env_ = scene.env;
        LoadFXTemplates();
        ASSERT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
    }
    void TearDown() override {
        if (!engine_) return;
        FreeFXTemplates();
        engine_->DiscardBRU();
        engine_->Free();
        TEODestroyManager->Flush();
        CMTreeManager.reset();
        SetCMRenderObjectBuilder(nullptr);
        SetCMRenderObjectReleaser(nullptr);
        SetModelTreeProvider(nullptr);
        environment_.Stop();
        TEODestroyManager.reset();
        GetRenderWorldLinks() = RenderWorldLinks{};
        Device = nullptr;
        fs::current_path(home_);
    }

    ShipClass* Ship(Vec3 at) {
        auto* s = TBaseRenderUnit::Create<ShipClass>(env_);
        s->SetPosition(at);
        env_->AddChild(s);
        engine_->UpdateMatrices(nullptr);
        return s;
    }
    void Tick(float ms) {
        engine_->TickTree(ms);
        engine_->UpdateMatrices(nullptr);
    }
    void DrawFrame() {
        frame_ = DrawEngineFrame(*engine_, [this] { return Frame(); });
    }
    gltest::Bgra AtWorld(Vec3 p) {
        const Vec3 s = ProjectForEngine(*engine_, p, W, H);
        return Pixel(frame_, int(s.x), int(s.y));
    }
    // The brightest red of the pixels round where the point projects (the frame is small: thin
    // shapes may fall between pixel centres).
    gltest::Bgra NearWorld(Vec3 p) {
        const Vec3 s = ProjectForEngine(*engine_, p, W, H);
        gltest::Bgra best{};
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int x = std::clamp(int(s.x) + dx, 0, int(W) - 1);
                const int y = std::clamp(int(s.y) + dy, 0, int(H) - 1);
                const gltest::Bgra c = Pixel(frame_, x, y);
                if (c.r >= best.r) best = c;
            }
        return best;
    }
    // Whether the point shows the clear colour (the frame's corner is empty in every test).
    bool Clear(Vec3 p) {
        const gltest::Bgra c = AtWorld(p), clear = Pixel(frame_, 0, 0);
        return std::abs(c.r - clear.r) + std::abs(c.g - clear.g) + std::abs(c.b - clear.b) < 24;
    }

    TEngineClass* engine_ = nullptr;
    EnvironmentStandInClass* env_ = nullptr;
    FxEnvironment environment_;
    std::vector<uint8_t> frame_;
    ErrorTrap trap_;
    fs::path home_;
};

TEST_F(EffectsGL, ALaserBeamShowsBetweenItsShipsHelpers) {
    ShipClass* from = Ship({100, 40, 30});
    ShipClass* to = Ship({100, 40, -30});
    FXDescrStruct desc{};
    desc.LaserObjFromBRU = from;
    desc.LaserObjToBRU = to;
    ASSERT_NE(TBaseRenderUnit::SpawnEffect(FXTemplates.Find("beam"), engine_, &desc), nullptr);
    DrawFrame();
    ASSERT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
    for (float z : {-20.0f, 0.0f, 20.0f}) {
        const gltest::Bgra p = AtWorld({100, 40, z});
        EXPECT_GT(p.g, 200) << z;
        EXPECT_LT(p.r + p.b, 60) << z;
    }
    // Beside the beam and past its ends, the clear colour.
    EXPECT_TRUE(Clear({100, 52, 0}));
    EXPECT_TRUE(Clear({100, 40, 45}));
}

TEST_F(EffectsGL, AShieldHitLightsUpRoundItsShip) {
    ShipClass* ship = Ship({150, -50, 0});
    FXDescrStruct desc{};
    desc.ShieldBRU = ship;
    auto* hit =
        dynamic_cast<FXShieldClass*>(TBaseRenderUnit::SpawnEffect(FXTemplates.Find("hit"), ship, &desc));
    ASSERT_NE(hit, nullptr);
    Tick(100.0f);
    ASSERT_FLOAT_EQ(hit->GetCurrentIntensity(), 1.0f);
    DrawFrame();
    ASSERT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
    // The shell (radius about 17 at this point of its swell) glows over the ship, the sky beyond it is clear.
    for (const Vec3& p : {Vec3{150, -50, 0}, Vec3{150, -50, 12}}) {
        const gltest::Bgra c = AtWorld(p);
        EXPECT_GT(c.r, 200) << p.z;
        EXPECT_GT(c.g, 200) << p.z;
        EXPECT_GT(c.b, 200) << p.z;
    }
    EXPECT_TRUE(Clear({150, -50, 30}));
    EXPECT_TRUE(Clear({150, -80, 0}));
}

TEST_F(EffectsGL, ASmokeTrailStaysBehindItsMovingEmitter) {
    TBaseRenderUnit* nozzle = TBaseRenderUnit::Create<TBaseRenderUnit>(env_);
    env_->AddChild(nozzle);
    nozzle->SetPosition({100, -12, -40});
    engine_->UpdateMatrices(nullptr);
    FXDescrStruct desc{};
    desc.SmokeTargetBRU = nozzle;
    ASSERT_NE(TBaseRenderUnit::SpawnEffect(FXTemplates.Find("trail"), engine_, &desc), nullptr);
    // The emitter crosses the view from left to right, one puff every 50 ms.
    for (int i = 0; i <= 12; ++i) {
        nozzle->SetPosition({100, -12.0f + 2.0f * float(i), -40});
        engine_->UpdateMatrices(nullptr);
        Tick(50.0f);
    }
    DrawFrame();
    ASSERT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
    for (float y : {-12.0f, -4.0f, 6.0f, 12.0f}) {
        const gltest::Bgra p = AtWorld({100, y, -40}), clear = Pixel(frame_, 0, 0);
        EXPECT_GT(p.r, 200) << y;
        EXPECT_NEAR(p.g, clear.g, 8) << y;
        EXPECT_NEAR(p.b, clear.b, 8) << y;
    }
    EXPECT_TRUE(Clear({100, 0, -30}));
    EXPECT_TRUE(Clear({100, 20, -40}));
}

TEST_F(EffectsGL, AJumpGatesPortalStandsOpenWithItsFrame) {
    FXDescrStruct desc{};
    desc.PortalPosition = {300, 0, 0};
    auto* portal =
        dynamic_cast<FXPortalClass*>(TBaseRenderUnit::SpawnEffect(FXTemplates.Find("gate"), engine_, &desc));
    ASSERT_NE(portal, nullptr);
    // Past its opening the gate stands at full size.
    for (int i = 0; i < 20; ++i) Tick(100.0f);
    ASSERT_TRUE(portal->State() & PORTAL_OPEN);
    DrawFrame();
    ASSERT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
    // The ring of radius 60 round the gate's axis in its orange, the opening clear.
    for (const Vec3& p : {Vec3{300, 0, 60}, Vec3{300, 0, -60}, Vec3{300, 60, 0}, Vec3{300, -60, 0}}) {
        const gltest::Bgra c = NearWorld(p);
        EXPECT_GT(c.r, 200) << p.y << " " << p.z;
        EXPECT_NEAR(c.g, 128, 24) << p.y << " " << p.z;
        EXPECT_LT(c.b, 40) << p.y << " " << p.z;
    }
    EXPECT_TRUE(Clear({300, 0, 0}));
    EXPECT_TRUE(Clear({300, 0, 30}));
    EXPECT_TRUE(Clear({300, 0, 100}));
}

// The scripts' road: opened through FXSpawn at a unit's helper, the gate
// stands where the helper is, at the helper's size; told to close, it plays
// its closing and goes, and the sky is clear where it stood.
TEST_F(EffectsGL, AGateOpenedAtAHelperStandsAtItsSizeAndGoesWhenClosed) {
    ShipClass* carrier = Ship({300, 0, 0});
    carrier->AddHelper("gate01", {0, 0, 0})->SetLocalMatrix(MatrixScaling(1.5f, 1.5f, 1.5f));
    engine_->UpdateMatrices(nullptr);
    auto* portal = dynamic_cast<FXPortalClass*>(
        FXSpawn({"", FXTemplates.Find("gate")->GetHex(), carrier->GetHex(), "gate01"}));
    ASSERT_NE(portal, nullptr);
    for (int i = 0; i < 20; ++i) Tick(100.0f);
    ASSERT_TRUE(portal->State() & PORTAL_OPEN);
    DrawFrame();
    ASSERT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
    // The ring at one and a half times its radius of 60; where a gate of the model's own size
    // would have its ring, the opening.
    const Vec3 ring[] = {{300, 0, 90}, {300, 0, -90}, {300, 90, 0}, {300, -90, 0}};
    for (const Vec3& p : ring) {
        const gltest::Bgra c = NearWorld(p);
        EXPECT_GT(c.r, 200) << p.y << " " << p.z;
        EXPECT_LT(c.b, 40) << p.y << " " << p.z;
    }
    EXPECT_TRUE(Clear({300, 0, 60}));
    EXPECT_TRUE(Clear({300, 60, 0}));
    portal->SetPortalStateFlag(PORTAL_CLOSE_REQUESTED);
    const int32_t id = portal->GetId();
    auto standing = [id] {
        auto* u = dynamic_cast<TBaseRenderUnit*>(FindEngineObjectById(id));
        return u && !u->HasFlag(BRU_KILLED);
    };
    for (int i = 0; i < 60 && standing(); ++i) Tick(100.0f);
    ASSERT_FALSE(standing());
    DrawFrame();
    for (const Vec3& p : ring) EXPECT_TRUE(Clear(p)) << p.y << " " << p.z;
}

} // namespace
} // namespace vesk::test
