// One frame of effects: 2,000 live particles, 20 jets with full trails and 500
// bullets ticked and drawn on the recording device (the aim is well under
// 0.5 ms of CPU a frame); the effects of a battle's hits (laser beams, smoke
// trails, hit marks and shield hits) ticked and drawn; and 2,000 sprites with
// 200 lamp glows drawn a frame on the recording device and on the headless GL
// device.
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
#include "world/fx_defect.h"
#include "world/fx_jet.h"
#include "world/fx_laser.h"
#include "world/fx_library.h"
#include "world/fx_particle.h"
#include "world/fx_shield.h"
#include "world/fx_smoke.h"
#include "world/fx_spawn.h"

// The effects' surroundings as the effect tests set them up, and a model tree of the test's own.
#include "../tests/render/fake_model_tree.h"
#include "../tests/support/engine_frame.h"
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
       shot = { id = 'shot', type = 'bullet', velocity = '1', lifetime = '100000', len = '20' },
       beam = { id = 'beam', type = 'laser', lifetime = '1000000', color = 'FFFF4040', thickness = '3' },
       trail = { id = 'trail', type = 'smoke_blend', vmin = '1', vmax = '3', MaxSize = '3', MinSize = '2',
                 MaxLifeTime = '1.2', MinLifeTime = '0.8', particleID = 'spark', color = 'C0808080',
                 friction = '10', frequency = '20' },
       mark = { id = 'mark', type = 'defect', LifeTime = '1000000', size = '4', color = 'FF402010' },
       hit = { id = 'hit', type = 'shield', mesh = 'shell', loopanimation = '1',
               intensity_keys = { { percents = 0, intensity = 0 }, { percents = 50, intensity = 1 },
                                  { percents = 100, intensity = 0 } } } }
mesh = { shell = { path = '', name = 'shell' } }
)";

// Beams and shield hits tell ships by their class name.
class ShipClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override {
        TBaseRenderUnit::Init(parent);
        SetFlag(BRU_SHIP);
    }
};

// The engine with its managers and the effect library on one device.
class EffectsScene {
public:
    explicit EffectsScene(bool gl) {
        GetErrorHooks().halt = [] {};
        // The shield model: one shell whose animation loops over a second.
        test::FakeModelTree& shell = models_.Add("shell.cm");
        shell.AddObject("shell");
        shell.AddTrack("shell", 11, 30);
        TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        if (gl) {
            platform::GLGfxConfig cfg;
            cfg.headlessWidth = 256;
            cfg.headlessHeight = 192;
            d3d_ = platform::CreateGLDirect3D(cfg);
        } else {
            d3d_ = platform::CreateNullDirect3D();
        }
        Device = test::MakeSceneDevice(*d3d_);
        ResetDeviceStateCache();
        environment_.Start(kContent);
        const test::EngineScene scene = test::MakeEngineScene();
        engine = scene.engine;
        env = scene.env;
        LoadFXTemplates();
    }
    ~EffectsScene() {
        FreeFXTemplates();
        for (auto& b : bodies) b->unit->SetBPU(nullptr);
        engine->DiscardBRU();
        engine->Free();
        TEODestroyManager->Flush();
        models_.Clear();
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
    // Ships in a row along y, `count` beams between neighbours, a hit mark on each ship
    // and shield hits on the first ones.
    void AddHitEffects(int ships, int beams, int marks, int shields) {
        std::vector<TBaseRenderUnit*> row;
        for (int i = 0; i < ships; ++i) {
            auto* ship = TBaseRenderUnit::Create<ShipClass>(env);
            ship->SetPosition({150.0f, float(i) * 4.0f - 40.0f, 0});
            env->AddChild(ship);
            row.push_back(ship);
        }
        engine->UpdateMatrices(nullptr);
        for (int i = 0; i < beams; ++i) {
            FXDescrStruct desc{};
            desc.LaserObjFromBRU = row[size_t(i) % row.size()];
            desc.LaserObjToBRU = row[size_t(i + 1) % row.size()];
            TBaseRenderUnit::SpawnEffect(FXTemplates.Find("beam"), engine, &desc);
        }
        for (int i = 0; i < marks; ++i) {
            TBaseRenderUnit* ship = row[size_t(i) % row.size()];
            FXConfigDefectClass* cfg = FXConfigurator.GetDefectConfig("bench");
            const FXHitInfo hit{ship,
                                Vec3Add(MatrixGetTranslation(ship->GetWorldMatrix()), {-1, 0, float(i % 7)}),
                                {-1, 0, 0}};
            cfg->SetData(ship, &hit, 1.0f);
            FXTemplates.Find("mark")->SpawnEffect2(cfg);
        }
        for (int i = 0; i < shields; ++i) {
            FXDescrStruct desc{};
            desc.ShieldBRU = row[size_t(i) % row.size()];
            TBaseRenderUnit::SpawnEffect(FXTemplates.Find("hit"), desc.ShieldBRU, &desc);
        }
    }
    // Smoke trails behind the climbing nozzles, each at its steady count of particles.
    void AddSmokes(int count) {
        for (int i = 0; i < count; ++i) {
            TBaseRenderUnit* nozzle = TBaseRenderUnit::Create<TBaseRenderUnit>(env);
            env->AddChild(nozzle);
            nozzle->SetPosition({130.0f, float(i) * 2.0f - 20.0f, -20.0f});
            nozzles.push_back(nozzle);
            FXDescrStruct desc{};
            desc.SmokeTargetBRU = nozzle;
            TBaseRenderUnit::SpawnEffect(FXTemplates.Find("trail"), engine, &desc);
        }
        for (int k = 0; k < 90; ++k) {
            MoveNozzles(16.0f);
            engine->TickTree(16.0f);
            EndFrame();
        }
    }
    // What ends a frame: the units that ended are let go.
    void EndFrame() {
        engine->CleanChildsBRU();
        RenderFrameCounter.NextFrame();
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
    test::FakeModelTrees models_;
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

// Ticked and drawn: the effects of the hits of a battle, 50 beams, 20 smoke trails (about 20
// particles each), 200 hit marks and 10 shield hits a frame (recording device).
void BM_HitEffectsTickAndDraw(benchmark::State& state) {
    EffectsScene scene(false);
    scene.AddHitEffects(20, 50, 200, 10);
    scene.AddSmokes(20);
    for (auto _ : state) {
        scene.MoveNozzles(16.0f);
        scene.engine->TickTree(16.0f);
        scene.engine->UpdateMatrices(nullptr);
        scene.engine->Draw();
        scene.EndFrame();
        scene.ClearCalls();
    }
    state.counters["frame_us"] = benchmark::Counter(
        static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HitEffectsTickAndDraw)->Unit(benchmark::kMicrosecond);

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
