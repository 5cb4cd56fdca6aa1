// One frame of effects: 2,000 live particles, 20 jets with full trails and 500
// bullets ticked and drawn on the recording device (the aim is well under
// 0.5 ms of CPU a frame); and 2,000 sprites with 200 lamp glows drawn a frame
// on the recording device and on the headless GL device.
#include "core/lua_machine.h"
#include "core/var_list.h"
#include "platform/gfx/device_base.h"
#include "platform/gfx/gl_device.h"
#include "platform/gfx/null_device.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/fx_templates.h"
#include "render/lamp.h"
#include "render/managers.h"
#include "render/texture.h"
#include "render/vertex_buffers.h"
#include "render/world_links.h"
#include "shared/errors.h"
#include "shared/math.h"
#include "world/fx_bullet.h"
#include "world/fx_jet.h"
#include "world/fx_library.h"
#include "world/fx_particle.h"
#include "world/fx_spawn.h"

// The effects' surroundings as the effect tests set them up.
#include "../tests/support/fx_environment.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace vesk;

constexpr const char* kContent = R"(
local function added(id)
  return { id = id, texture_technique = 51, diffuse_color = 'FFFFFF', specular_color = '0',
           ambient_color = '0', emissive_color = '0', power = 0 }
end
materials = { checker = added('0'), fx_jet = added('1'), fx_bullet = added('2'), SpritesRenderer_fx_burst = added('3'),
              SpritesRenderer_fx_lamp = added('4'), SpritesRenderer_fx_smoke_blend = added('5'),
              SpritesRenderer_fx_smoke_alpha = added('6') }
fx = { spark = { id = 'spark', type = 'particle' },
       fx_simple_lamp = { id = 'fx_simple_lamp', type = 'particle' },
       jet = { id = 'jet', type = 'nozzlejet', lifetime = '100', color = 'FF00FF00', thickness = '8' },
       shot = { id = 'shot', type = 'bullet', velocity = '1', lifetime = '100000', len = '20' } }
)";

// The engine with its managers and the effect library on one device.
class EffectsScene {
public:
    explicit EffectsScene(bool gl) {
        GetErrorHooks().halt = [] {};
        TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        if (gl) {
            platform::GLGfxConfig cfg;
            cfg.headlessWidth = 256;
            cfg.headlessHeight = 192;
            d3d_ = platform::CreateGLDirect3D(cfg);
        } else {
            d3d_ = platform::CreateNullDirect3D();
        }
        platform::D3DPRESENT_PARAMETERS pp;
        pp.Windowed = 1;
        pp.EnableAutoDepthStencil = 1;
        pp.AutoDepthStencilFormat = platform::D3DFMT_D24S8;
        platform::Ref<platform::IDirect3DDevice9> dev;
        d3d_->CreateDevice(0, platform::D3DDEVTYPE_HAL, nullptr,
                           platform::D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, dev.Put());
        Device = dev;
        ResetDeviceStateCache();
        environment_.Start(kContent);
        engine = TBaseRenderUnit::Create<TEngineClass>(nullptr);
        Device->GetRenderTarget(0, engine->GetD3DRoutine()->DeviceRenderTargetSurface.Put());
        engine->CreateDrawObjects();
        env = TBaseRenderUnit::Create<EnvironmentStandInClass>(engine);
        engine->AddChild(env);
        GetRenderWorldLinks().environment = [this]() -> TBaseRenderUnit* { return env; };
        LoadFXTemplates();
    }
    ~EffectsScene() {
        FreeFXTemplates();
        for (auto& b : bodies) b->unit->SetBPU(nullptr);
        engine->DiscardBRU();
        engine->Free();
        TEODestroyManager->Flush();
        environment_.Stop();
        TEODestroyManager.reset();
        GetRenderWorldLinks() = RenderWorldLinks{};
        Device = nullptr;
        GetErrorHooks() = ErrorHooks{};
    }

    // Live particles spread over the view, far from their end.
    void AddParticles(int count) {
        TBaseRenderUnit* t = FXTemplates.Find("spark");
        for (int i = 0; i < count; ++i) {
            auto* p = dynamic_cast<FXParticleClass*>(TBaseRenderUnit::SpawnEffect(t, env, nullptr));
            p->SetPosition({100.0f + float(i % 10), float(i % 40) - 20.0f, float(i / 40 % 30) - 15.0f});
            p->SetVelocity({0, 0, 0.01f});
            p->SetColor(0xFFFF8040);
            p->SetEndColor(0x00000000);
            p->SetSize(0.5f);
            p->SetLifeTime(1.0e6f);
        }
    }
    void AddLamps(int count) {
        for (int i = 0; i < count; ++i) {
            TLampClass* lamp =
                TLampClass::Make(env, "lamp", {120.0f, float(i % 20) - 10.0f, float(i / 20) - 5.0f}, 0.5f);
            lamp->SetColor(0x4080FF);
        }
    }
    // Jets behind climbing nozzles, their trails full.
    void AddJets(int count) {
        for (int i = 0; i < count; ++i) {
            TBaseRenderUnit* nozzle = TBaseRenderUnit::Create<TBaseRenderUnit>(env);
            env->AddChild(nozzle);
            nozzle->SetPosition({150.0f, float(i) * 2.0f - 20.0f, -20.0f});
            bodies.push_back(std::make_unique<test::MovingBody>(nozzle, Vec3{0, 0, 100}));
            nozzle->SetBPU(bodies.back().get());
            nozzles.push_back(nozzle);
            FXDescrStruct desc{};
            desc.JetTargetBRU = nozzle;
            TBaseRenderUnit::SpawnEffect(FXTemplates.Find("jet"), engine, &desc);
        }
        for (int k = 0; k < 60; ++k) MoveNozzles(16.0f), engine->TickTree(16.0f);
    }
    void MoveNozzles(float ms) {
        for (TBaseRenderUnit* n : nozzles) {
            Vec3 p;
            n->GetPosition(p);
            p.z += 0.1f * ms;
            if (p.z > 20.0f) p.z = -20.0f;
            n->SetPosition(p);
        }
        engine->UpdateMatrices(nullptr);
    }
    void AddBullets(int count) {
        TBaseRenderUnit* gun = TBaseRenderUnit::Create<TBaseRenderUnit>(env);
        env->AddChild(gun);
        gun->SetPosition({80, 0, 0});
        TBaseRenderUnit* target = TBaseRenderUnit::Create<TBaseRenderUnit>(env);
        env->AddChild(target);
        target->SetPosition({2000, 0, 0});
        engine->UpdateMatrices(nullptr);
        for (int i = 0; i < count; ++i) {
            FXConfigBulletClass* cfg = FXConfigurator.GetBulletConfig("bench");
            cfg->SetData(gun, "", target);
            FXTemplates.Find("shot")->SpawnEffect2(cfg);
        }
        TEODestroyManager->Flush();
    }
    void ClearCalls() {
        if (auto* d = dynamic_cast<platform::DeviceBase*>(Device.Get())) d->ClearCalls();
    }

    platform::Ref<platform::IDirect3D9> d3d_;
    TEngineClass* engine = nullptr;
    EnvironmentStandInClass* env = nullptr;
    std::vector<std::unique_ptr<test::MovingBody>> bodies;
    test::FxEnvironment environment_;
    std::vector<TBaseRenderUnit*> nozzles;
};

// Ticked and drawn: 2,000 particles, 20 jets and 500 bullets a frame (recording device).
void BM_EffectsTickAndDraw(benchmark::State& state) {
    EffectsScene scene(false);
    scene.AddParticles(2000);
    scene.AddJets(20);
    scene.AddBullets(500);
    for (auto _ : state) {
        scene.MoveNozzles(16.0f);
        scene.engine->TickTree(16.0f);
        UpdaterManager->Update(16.0f);
        scene.engine->UpdateMatrices(nullptr);
        scene.engine->Draw();
        RenderFrameCounter.NextFrame();
        scene.ClearCalls();
    }
    state.counters["frame_us"] = benchmark::Counter(
        static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EffectsTickAndDraw)->Unit(benchmark::kMicrosecond);

// Drawn only: 2,000 sprites and 200 lamp glows a frame, on either device.
void DrawSpritesAndLamps(benchmark::State& state, bool gl) {
    if (gl && !platform::GLHeadlessAvailable()) {
        state.SkipWithError("no GL");
        return;
    }
    EffectsScene scene(gl);
    scene.AddParticles(2000);
    scene.AddLamps(200);
    scene.engine->UpdateMatrices(nullptr);
    for (auto _ : state) {
        scene.engine->Draw();
        if (gl) Device->Present(nullptr, nullptr, nullptr, nullptr);
        RenderFrameCounter.NextFrame();
        scene.ClearCalls();
    }
}
void BM_SpritesAndLampsRecording(benchmark::State& state) {
    DrawSpritesAndLamps(state, false);
}
void BM_SpritesAndLampsGL(benchmark::State& state) {
    DrawSpritesAndLamps(state, true);
}
BENCHMARK(BM_SpritesAndLampsRecording)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpritesAndLampsGL)->Unit(benchmark::kMicrosecond);

} // namespace
