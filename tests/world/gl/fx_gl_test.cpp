// Effects drawn through the engine's real frame on the GL device: particles
// through the shared sprite renderers, a jet's band and a lamp's glow appear
// where the camera projects them, in their colours, over the clear colour.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core/lua_machine.h"
#include "core/var_list.h"
#include "platform/gl/gl_fixture.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/fx_templates.h"
#include "render/lamp.h"
#include "render/managers.h"
#include "render/texture.h"
#include "render/vertex_buffers.h"
#include "render/view_camera.h"
#include "render/world_links.h"
#include "shared/math.h"
#include "support/engine_frame.h"
#include "support/error_trap.h"
#include "support/fx_environment.h"
#include "world/fx_base.h"
#include "world/fx_jet.h"
#include "world/fx_library.h"
#include "world/fx_particle.h"

namespace vesk::test {
namespace {

using namespace platform;
using gltest::H;
using gltest::W;

// Every sprite kind and the jet draw untextured: the vertex colour, added to the scene.
constexpr const char* kContent = R"(
local function added(id)
  return { id = id, texture_technique = 51, diffuse_color = 'FFFFFF', specular_color = '0',
           ambient_color = '0', emissive_color = '0', power = 0 }
end
materials = { checker = added('0'), fx_jet = added('1'), SpritesRenderer_fx_burst = added('2'),
              SpritesRenderer_fx_lamp = added('3') }
fx = { spark = { id = 'spark', type = 'particle' },
       fx_simple_lamp = { id = 'fx_simple_lamp', type = 'particle' },
       jet = { id = 'jet', type = 'nozzlejet', lifetime = '10', color = 'FF00FF00', thickness = '8' } }
)";

class FxGL : public gltest::GfxGL {
protected:
    void SetUp() override {
        GfxGL::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        Device = dev_;
        ResetDeviceStateCache();
        environment_.Start(kContent);
        const EngineScene scene = MakeEngineScene();
        engine_ = scene.engine;
        env_ = scene.env;
        LoadFXTemplates();
    }
    void TearDown() override {
        if (!engine_) return;
        FreeFXTemplates();
        if (body_) body_->unit->SetBPU(nullptr);
        engine_->DiscardBRU();
        engine_->Free();
        TEODestroyManager->Flush();
        environment_.Stop();
        TEODestroyManager.reset();
        GetRenderWorldLinks() = RenderWorldLinks{};
        Device = nullptr;
    }

    void DrawFrame() {
        frame_ = DrawEngineFrame(*engine_, [this] { return Frame(); });
    }
    gltest::Bgra AtWorld(Vec3 p) {
        const Vec3 s = ProjectForEngine(*engine_, p, W, H);
        return Pixel(frame_, int(s.x), int(s.y));
    }

    TEngineClass* engine_ = nullptr;
    EnvironmentStandInClass* env_ = nullptr;
    std::unique_ptr<MovingBody> body_;
    FxEnvironment environment_;
    std::vector<uint8_t> frame_;
    ErrorTrap trap_;
};

TEST_F(FxGL, ParticlesAJetAndALampGlowShowWhereTheCameraSeesThem) {
    // A red particle above the view's centre.
    auto* p = dynamic_cast<FXParticleClass*>(
        TBaseRenderUnit::SpawnEffect(FXTemplates.Find("spark"), env_, nullptr));
    ASSERT_NE(p, nullptr);
    p->SetPosition({50, 0, 12});
    p->SetColor(0xFFFF0000);
    p->SetEndColor(0xFFFF0000);
    p->SetSize(4.0f);
    p->SetLifeTime(100.0f);

    // A blue lamp below it.
    TLampClass* lamp = TLampClass::Make(env_, "lamp", {50, 0, -12}, 4.0f);
    lamp->SetColor(0x0000FF);
    lamp->SetModeStatic();
    lamp->SetIntensity(1.0f);

    // A green jet behind a nozzle that climbs through the left of the view.
    TBaseRenderUnit* nozzle = TBaseRenderUnit::Create<TBaseRenderUnit>(env_);
    env_->AddChild(nozzle);
    body_ = std::make_unique<MovingBody>(nozzle, Vec3{0, 0, 100});
    nozzle->SetBPU(body_.get());
    FXDescrStruct desc{};
    desc.JetTargetBRU = nozzle;
    nozzle->SetPosition({50, 18, -10});
    engine_->UpdateMatrices(nullptr);
    auto* jet =
        dynamic_cast<FXJetClass*>(TBaseRenderUnit::SpawnEffect(FXTemplates.Find("jet"), engine_, &desc));
    ASSERT_NE(jet, nullptr);
    for (int i = 0; i <= 4; ++i) {
        nozzle->SetPosition({50, 18, -10.0f + 5.0f * float(i)});
        engine_->UpdateMatrices(nullptr);
        jet->Tick(50.0f);
    }
    ASSERT_EQ(jet->PointCount(), 5);

    DrawFrame();
    ASSERT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
    const gltest::Bgra particle = AtWorld({50, 0, 12}), glow = AtWorld({50, 0, -12}),
                       band = AtWorld({50, 18, 0});
    const gltest::Bgra empty = AtWorld({50, -18, 0});
    EXPECT_GT(particle.r, 200);
    EXPECT_LT(particle.g, 60);
    EXPECT_GT(glow.b, 200);
    EXPECT_LT(glow.r, 60);
    EXPECT_GT(band.g, 200);
    EXPECT_LT(band.r, 60);
    // Elsewhere the clear colour stays.
    EXPECT_LT(empty.r + empty.g, 80);

    // A lamp whose intensity is gone is not drawn; the particle fades out with its life.
    lamp->SetIntensity(0.0005f);
    p->SetLifeTime(0.0f);
    p->Tick(16.0f);
    DrawFrame();
    EXPECT_LT(AtWorld({50, 0, -12}).b, 60);
    EXPECT_LT(AtWorld({50, 0, 12}).r, 60);
}

} // namespace
} // namespace vesk::test
