// The life of particles, bursts and lamps in fixed steps: spawn, tick, fade,
// death and the return to the particle pool.
#include "fx_fixture.h"
#include "render/helpers.h"
#include "render/lamp.h"
#include "render/sprite_renderer.h"
#include "support/image_files.h"
#include "world/fx_burst.h"
#include "world/fx_particle.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vesk::test {
namespace {

const char* kSpark = "spark = { id = 'spark', type = 'particle' }";
const char* kGlow = "fx_simple_lamp = { id = 'fx_simple_lamp', type = 'particle' }";

std::string BurstEntry(const std::string& extra, const std::string& name = "boom") {
    return name + " = { id = '" + name +
           "', type = 'burst', numParticles = '6', vmin = '10', vmax = '20', MaxSize = '3',"
           " MinSize = '1', MaxLifeTime = '2', MinLifeTime = '1', particleID = 'spark', color = 'FF806040',"
           " friction = '0' " +
           extra + " }";
}

class FxParticlesTest : public FxTest {
protected:
    FXParticleClass* Particle(const std::string& name = "spark") {
        auto* p = Spawn<FXParticleClass>(name, env, nullptr);
        p->SetPosition({50, 0, 0});
        return p;
    }
    std::vector<FXParticleClass*> ParticlesOf(TBaseRenderUnit* u) {
        std::vector<FXParticleClass*> out;
        if (u->ChildsBRU())
            for (TBaseRenderUnit* c : *u->ChildsBRU())
                if (auto* p = dynamic_cast<FXParticleClass*>(c)) out.push_back(p);
        return out;
    }
    SpritesRendererDRClass* Distance() { return engine->GetRenderOps()->DistanceRenderer(); }
};

TEST_F(FxParticlesTest, AParticleOfOneColourFadesOutAndGoesBackToItsPool) {
    LoadFx(kSpark);
    const int32_t pooled = PooledParticles();
    FXParticleClass* p = Particle();
    EXPECT_EQ(PooledParticles(), pooled + 1);
    p->SetColor(0x80FF2010);
    p->SetEndColor(0x80FF2010);
    p->SetLifeTime(1.0f);
    for (float alpha : {96.0f, 64.0f, 32.0f}) {
        Step(250.0f);
        EXPECT_EQ(p->GetColour() >> 24, static_cast<uint32_t>(alpha));
        EXPECT_EQ(p->GetColour() & 0xFFFFFF, 0xFF2010u); // the colour keeps its RGB
    }
    Step(250.0f); // the life is over: killed, cleaned up, back in the pool
    EXPECT_EQ(PooledParticles(), pooled);
}

TEST_F(FxParticlesTest, ParticlesStandStillWhileGameUpdatesAreFrozen) {
    LoadFx(kSpark);
    FXParticleClass* p = Particle();
    p->SetLifeTime(1.0f);
    p->SetVelocity({10, 0, 0});
    SetSwitch("vis.frozen", 1);
    Step(500.0f);
    EXPECT_FLOAT_EQ(p->GetRemaining(), 1.0f);
    EXPECT_FLOAT_EQ(p->GetParticlePosition().x, 50.0f);
    SetSwitch("vis.frozen", 0);
    Step(500.0f);
    EXPECT_FLOAT_EQ(p->GetRemaining(), 0.5f);
}

TEST_F(FxParticlesTest, ParticlesMoveWithFrictionAndBlendTowardsTheirEndColour) {
    LoadFx(kSpark);
    FXParticleClass* p = Particle();
    p->SetLifeTime(10.0f);
    p->SetColor(0xFFFFFFFF);
    p->SetEndColor(0x00000000);
    p->SetVelocity({100, 0, 0});
    p->SetFriction(50);
    Step(100.0f);
    EXPECT_FLOAT_EQ(p->GetVelocity().x, 95.0f); // 5 % less a tick
    EXPECT_FLOAT_EQ(p->GetParticlePosition().x, 59.5f);
    EXPECT_EQ(p->GetColour(), BlendColour(0xFFFFFFFF, 0, 0.01f));
}

TEST_F(FxParticlesTest, SizesFollowTheirLawBetweenStartAndEnd) {
    LoadFx("spark = { id = 'spark', type = 'particle', StartSize = '2', EndSize = '6' }");
    FXParticleClass* p = Particle();
    p->SetLifeTime(1.0f);
    p->SetSize(10.0f); // the size factor
    Step(500.0f);
    EXPECT_FLOAT_EQ(p->GetCurrentSize(), 40.0f);
}

TEST_F(FxParticlesTest, AnAnimatedParticlePlaysItsFramesOnceOverItsLife) {
    for (int i = 0; i < 10; ++i)
        Put("TEXTURES/FX/ANIM000" + std::to_string(i) + ".BMP", FlatBmp(2, 2, 0xFFFFFF));
    LoadFx("anim = { id = 'anim', type = 'particle', textures = 'fx/anim0000.bmp' }");
    FXParticleClass* p = Particle("anim");
    EXPECT_EQ(p->FrameCount(), 10);
    p->SetColor(0xFF00FF00);
    p->SetLifeTime(1.0f);
    Step(1.0f);
    EXPECT_EQ(p->CurrentFrame(), 0);
    EXPECT_LE(p->GetColour() >> 24, 1u);
    Step(990.0f);
    EXPECT_EQ(p->CurrentFrame(), 9);
    EXPECT_GE(p->GetColour() >> 24, 250u);
    EXPECT_EQ(p->GetColour() & 0xFFFFFF, 0x00FF00u);
}

TEST_F(FxParticlesTest, FrameNamesNeedAThreeLetterExtension) {
    Lua("fx = { anim = { id = 'anim', type = 'particle', textures = 'fx/anim0000' } }");
    EXPECT_THROW(LoadFXTemplates(), Halted);
    EXPECT_EQ(trapAll.lastFatal, "length(str)-3]<>\".\": fx/anim0000");
}

TEST_F(FxParticlesTest, OnlyVisibleParticlesReachTheirRenderer) {
    LoadFx(std::string(kSpark) + ", alpha = { id = 'alpha', type = 'particle_alpha' }");
    // Black but opaque shows in the alpha mode; black does not show when blended by adding.
    FXParticleClass* a = Particle("alpha");
    a->SetColor(0xFF000000);
    FXParticleClass* b = Particle();
    b->SetColor(0xFF000000);
    Frame();
    const std::vector<SpritesRendererClass*> runs{engine->GetRenderOps()->SmokeAlphaRenderer()};
    EXPECT_EQ(Distance()->LastRuns(), runs);
    // Out of the camera's view nothing is listed.
    a->SetPosition({-50, 0, 0});
    Frame();
    EXPECT_TRUE(Distance()->LastRuns().empty());
    // Nor in a scene of its own (an interface viewport's), which has no sprite renderers.
    auto* scene = TBaseRenderUnit::Create<SceneClass>(engine);
    engine->AddChild(scene);
    scene->SetFlag(BRU_BLENDED);
    FXParticleClass* own =
        dynamic_cast<FXParticleClass*>(TBaseRenderUnit::SpawnEffect(Template("alpha"), scene, nullptr));
    own->SetPosition({50, 0, 0});
    own->SetColor(0xFFFFFFFF);
    Frame();
    EXPECT_TRUE(Distance()->LastRuns().empty());
    EXPECT_TRUE(trapAll.reports.empty());
}

TEST_F(FxParticlesTest, EachSpriteFacesTheCameraOfItsViewportAsThatCameraIsInTheFrame) {
    LoadFx(kSpark);
    auto turned = std::make_shared<BasicViewCamera>();
    turned->SetPose({0, 0, 0}, {-1, 0, 0});
    const int second = engine->Viewports().AddViewport(nullptr, turned);
    // Listed in turn from the engine's viewport, the second one and the engine's again.
    FXParticleClass* ahead = Particle();
    FXParticleClass* behind = Particle();
    behind->SetPosition({-50, 0, 0});
    behind->SetViewportID(second);
    FXParticleClass* ahead2 = Particle();
    ahead2->SetPosition({60, 0, 0});
    Frame();
    auto listed = [&] {
        for (FXParticleClass* p : {ahead, behind, ahead2}) p->FillRenderList(0, kPassBlended);
        std::vector<ISpriteClient*> out;
        for (int i = 0; i < Distance()->ClientCount(); ++i) out.push_back(Distance()->Client(i));
        Distance()->ClearClients();
        return out;
    };
    EXPECT_EQ(listed(), (std::vector<ISpriteClient*>{ahead, behind, ahead2}));
    // Each sprite turns to its own camera: the third row is the camera's look.
    EXPECT_EQ(ahead->GetMatrix()->m[2][0], 1.0f);
    EXPECT_EQ(behind->GetMatrix()->m[2][0], -1.0f);
    EXPECT_EQ(ahead2->GetMatrix()->m[2][0], 1.0f);
    EXPECT_EQ(behind->GetMatrix()->m[3][0], -50.0f);
    // Turned round for the next frame, the camera no longer sees its sprite.
    turned->SetPose({0, 0, 0}, {1, 0, 0});
    RenderFrameCounter.NextFrame();
    EXPECT_EQ(listed(), (std::vector<ISpriteClient*>{ahead, ahead2}));
    // A renderer gone since the last frame is made anew for the next.
    Distance()->Kill();
    Frame();
    ASSERT_EQ(Distance(), nullptr);
    EXPECT_EQ(listed(), (std::vector<ISpriteClient*>{ahead, ahead2}));
    EXPECT_TRUE(trapAll.reports.empty());
}

TEST_F(FxParticlesTest, ASpritesFactsAreItsCurrentAnswersAndItsDistanceIsFromTheCamera) {
    LoadFx(kSpark);
    FXParticleClass* p = Particle();
    p->SetPosition({50, 3, -4});
    p->SetBlendMode(kBlendSmoke);
    auto listed = [&] {
        p->FillRenderList(0, kPassBlended);
        EXPECT_EQ(Distance()->ClientCount(), 1);
        Distance()->ClearClients();
    };
    Frame();
    // Set between two frames, the new values are what the renderers read next.
    for (uint32_t colour : {0xFF102030u, 0x80FFFFFFu}) {
        p->SetColor(colour);
        p->SetSize(2.5f);
        p->SetPosition({40, -6, 1});
        p->UpdateMatrices(nullptr);
        listed();
        SpriteFacts f;
        p->ReadFacts(f);
        EXPECT_EQ(f.colour, colour);
        EXPECT_EQ(f.size, p->GetSize());
        EXPECT_EQ(f.texture, p->GetTexture());
        EXPECT_EQ(f.matrix, p->GetMatrix());
        EXPECT_EQ(f.kind, static_cast<int32_t>(SpriteKind::SmokeBlend));
        const Vec3 eye = Distance()->GetCamera()->GetPosition();
        EXPECT_EQ(f.distance, Vec3Length(Vec3Sub(p->GetPosition(), eye)));
        EXPECT_EQ(f.distance, p->GetDistance());
        EXPECT_EQ(p->GetMatrix()->m[3][1], -6.0f);
    }
}

TEST(FxColours, BlendsMoveEachChannelInStepsOf1In256RoundedDown) {
    struct Case {
        uint32_t a, b;
        float t;
        uint32_t blend;
    };
    const Case cases[] = {
        {0x00000000, 0xFFFFFFFF, 0.5f, 0x7F7F7F7F},
        {0xFFFFFFFF, 0x00000000, 0.5f, 0x7F7F7F7F},
        {0xFF102030, 0x00F0E0D0, 0.25f, 0xBF485058},
        {0x80FF00FF, 0xFF00FF00, 0.75f, 0xDF3FBF3F},
        {0x00000000, 0xFFFFFFFF, 0.999f, 0xFEFEFEFE},
        {0xFFFFFFFF, 0x01010101, 0.01f, 0xFDFDFDFD},
        {0x12345678, 0x9ABCDEF0, -1.0f, 0x12345678},
        {0x12345678, 0x9ABCDEF0, 2.0f, 0x9ABCDEF0},
        // A weight that is not a number leaves the first colour.
        {0x12345678, 0x9ABCDEF0, std::nanf(""), 0x12345678},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BlendColour(c.a, c.b, c.t), c.blend) << std::hex << c.a << " " << c.b << " " << c.t;
}

// ---- bursts ----------------------------------------------------------------------------------

TEST_F(FxParticlesTest, ABurstThrowsItsParticlesAndDiesWhenTheyAreGone) {
    LoadFx(std::string(kSpark) + ", " + BurstEntry(""));
    const int32_t pooled = PooledParticles();
    RecUnit* ship = Unit(env, "ship");
    ship->SetPosition({100, 0, 0});
    engine->UpdateMatrices(nullptr);
    FXDescrStruct desc{};
    desc.BurstTargetBRU = ship;
    auto* burst = Spawn<FXBurstClass>("boom", engine, &desc);
    ASSERT_NE(burst, nullptr);
    const auto particles = ParticlesOf(burst);
    ASSERT_EQ(particles.size(), 6u);
    for (FXParticleClass* p : particles) {
        // Without "color2" start and end colour are the same.
        EXPECT_EQ(p->GetStartColor(), 0xFF806040u);
        EXPECT_EQ(p->GetEndColor(), 0xFF806040u);
        const float speed = Vec3Length(p->GetVelocity());
        EXPECT_GE(speed, 10.0f);
        EXPECT_LE(speed, 20.0f);
        EXPECT_GE(p->GetLifeTimeSeconds(), 1.0f);
        EXPECT_LE(p->GetLifeTimeSeconds(), 2.0f);
        EXPECT_GE(p->GetCurrentSize(), 1.0f);
        EXPECT_LE(p->GetCurrentSize(), 3.0f);
    }
    EXPECT_FLOAT_EQ(burst->GetWorldMatrix().m[3][0], 100.0f);
    const int32_t id = burst->GetId();
    for (int i = 0; i < 25 && FindEngineObjectById(id); ++i) Step(100.0f);
    EXPECT_EQ(FindEngineObjectById(id), nullptr);
    EXPECT_EQ(PooledParticles(), pooled);
}

TEST_F(FxParticlesTest, AnEmptyBurstDiesOnItsFirstTick) {
    LoadFx(std::string(kSpark) + ", " +
           "boom = { id = 'boom', type = 'burst', numParticles = '0', vmin = '1', vmax = '1', MaxSize = '1',"
           " MinSize = '1', MaxLifeTime = '1', MinLifeTime = '1', particleID = 'spark', color = 'FF', "
           "friction = '0' }");
    FXDescrStruct desc{};
    desc.BurstTargetBRU = Unit(env, "ship");
    auto* burst = Spawn<FXBurstClass>("boom", engine, &desc);
    engine->TickTree(16.0f);
    EXPECT_TRUE(burst->HasFlag(BRU_KILLED));
}

TEST_F(FxParticlesTest, ABurstInEffectsOffModeAddsNoParticles) {
    LoadFx(std::string(kSpark) + ", " + BurstEntry(""));
    SetSwitch("vis.effectsoff", 1);
    FXDescrStruct desc{};
    desc.BurstTargetBRU = Unit(env, "ship");
    auto* burst = Spawn<FXBurstClass>("boom", engine, &desc);
    EXPECT_TRUE(ParticlesOf(burst).empty());
    engine->TickTree(16.0f);
    EXPECT_TRUE(burst->HasFlag(BRU_KILLED));
}

TEST_F(FxParticlesTest, AnAttachedBurstMovesWithItsHelperAndAFreeOneStays) {
    LoadFx(std::string(kSpark) + ", " + BurstEntry("") + ", " + BurstEntry(", notattached = '1'", "free"));
    RecUnit* ship = Unit(env, "ship");
    ship->SetPosition({100, 0, 0});
    ship->AddHelper("nozzle", {0, 10, 0});
    engine->UpdateMatrices(nullptr);
    FXDescrStruct desc{};
    desc.BurstTargetBRU = ship;
    desc.BurstHelper = "nozzle";
    auto* attached = Spawn<FXBurstClass>("boom", engine, &desc);
    auto* free = Spawn<FXBurstClass>("free", engine, &desc);
    ASSERT_TRUE(free->NotAttached());
    ASSERT_NE(free->AnchorHelper(), nullptr);
    EXPECT_EQ(free->AnchorHelper()->GetHelperName(), "!attached");
    ship->SetPosition({300, 0, 0});
    engine->UpdateMatrices(nullptr);
    engine->TickTree(16.0f);
    EXPECT_FLOAT_EQ(attached->GetWorldMatrix().m[3][0], 300.0f);
    EXPECT_FLOAT_EQ(attached->GetWorldMatrix().m[3][1], 10.0f);
    EXPECT_FLOAT_EQ(free->GetWorldMatrix().m[3][0], 100.0f);
    // The free burst's helper goes with it.
    HelperClass* anchor = free->AnchorHelper();
    free->Kill();
    EXPECT_TRUE(anchor->HasFlag(BRU_KILLED));
}

TEST_F(FxParticlesTest, BurstKeysAreRequired) {
    const std::string entry = BurstEntry("");
    Lua("fx = {" + std::string(kSpark) + ", " + entry + "} fx.boom.vmax = nil");
    EXPECT_THROW(LoadFXTemplates(), Halted);
    EXPECT_EQ(trapAll.lastFatal, "kws2f: _str=FXBurstClass.CreateFromLua: boom: vmax");
    FreeFXTemplates();
    Lua("fx.boom.vmax = '5' fx.boom.particleID = 'none'");
    LoadFXTemplates();
    FXDescrStruct desc{};
    desc.BurstTargetBRU = Unit(env, "ship");
    EXPECT_THROW(Spawn<FXBurstClass>("boom", engine, &desc), Halted);
    EXPECT_EQ(trapAll.lastFatal, "TBaseRenderUnit.FindFXTemplate: someone try spawn unregistered fx: "
                                 "\"none\" (see \"data\\fx\\*.lua\")");
}

TEST_F(FxParticlesTest, ABurstNeedsAPlaceToAppear) {
    LoadFx(std::string(kSpark) + ", " + BurstEntry("") + ", " + BurstEntry(", notattached = '1'", "free"));
    const FXDescrStruct none{};
    EXPECT_THROW(Spawn<FXBurstClass>("boom", engine, &none), Halted);
    EXPECT_EQ(trapAll.lastFatal, "FXBurstClass.SetFromDescStruct: FInitiator=nil: invalid params 1");
    EXPECT_THROW(Spawn<FXBurstClass>("free", engine, &none), Halted);
    EXPECT_EQ(trapAll.lastFatal, "FXBurstClass.SetFromDescStruct: FInitiator=nil: invalid params 2");
}

// ---- lamps -----------------------------------------------------------------------------------

class FxLampTest : public FxParticlesTest {
protected:
    TLampClass* Lamp() {
        LoadFx(kGlow);
        TLampClass* lamp = TLampClass::Make(env, "lamp", {50, 0, 0}, 4.0f);
        lamp->SetColor(0xFF8000);
        return lamp;
    }
    IParticleControl* GlowOf(TLampClass* lamp) { return dynamic_cast<IParticleControl*>(lamp->GetGlow()); }
    FXParticleClass* Glow(TLampClass* lamp) { return dynamic_cast<FXParticleClass*>(lamp->GetGlow()); }
};

TEST_F(FxLampTest, ALampShowsItsGlowScaledByItsIntensity) {
    TLampClass* lamp = Lamp();
    FXParticleClass* glow = Glow(lamp);
    ASSERT_NE(glow, nullptr);
    EXPECT_EQ(glow->Parent(), lamp);
    EXPECT_TRUE(glow->HasFlag(BRU_NO_PARTICLE_UPDATE));
    EXPECT_FLOAT_EQ(glow->GetCurrentSize(), 4.0f);
    EXPECT_EQ(glow->GetKind(), static_cast<int32_t>(SpriteKind::Lamp));
    lamp->SetIntensity(0.5f);
    EXPECT_EQ(glow->GetColour(), 0xFF7F4000u);
    lamp->SetMaxIntensity(1.0f);
    lamp->ScaleIntensity(0.25f);
    EXPECT_FLOAT_EQ(lamp->GetIntensity(), 0.25f);
    lamp->ScaleSize(2.0f);
    EXPECT_FLOAT_EQ(glow->GetCurrentSize(), 8.0f);
    // Listed in the blended pass only, and then its glow is drawn by the lamp renderer.
    lamp->SetModeStatic();
    lamp->SetIntensity(1.0f);
    Frame();
    const std::vector<SpritesRendererClass*> runs{engine->GetRenderOps()->LampRenderer()};
    EXPECT_EQ(Distance()->LastRuns(), runs);
    lamp->SetIntensity(0.001f);
    Frame();
    EXPECT_TRUE(Distance()->LastRuns().empty());
}

TEST_F(FxLampTest, WaveformsDriveTheIntensity) {
    TLampClass* lamp = Lamp();
    lamp->SetSpeed(0.25f); // a quarter turn per second
    lamp->SetModeBlink();
    lamp->Tick(1000.0f);
    EXPECT_NEAR(lamp->GetPhase(), kPi / 2, 1e-5f);
    EXPECT_FLOAT_EQ(lamp->GetIntensity(), 0.0f);
    lamp->SetSpeed(0.0f);
    lamp->SetPhase(kPi); // dark up to pi itself
    lamp->Tick(10.0f);
    EXPECT_FLOAT_EQ(lamp->GetIntensity(), 0.0f);
    lamp->SetPhase(kPi + 0.01f);
    lamp->Tick(10.0f);
    EXPECT_FLOAT_EQ(lamp->GetIntensity(), 1.0f);
    lamp->SetModeSinus();
    EXPECT_FALSE(lamp->HasFlag(LAMP_BLINK));
    lamp->SetPhase(0.0f);
    lamp->Tick(0.0f);
    EXPECT_FLOAT_EQ(lamp->GetIntensity(), 1.0f);
    // Running backwards wraps from just below 0 to just below 2 pi.
    lamp->SetPhase(0.05f);
    lamp->SetSpeed(-0.1f);
    lamp->Tick(100.0f);
    EXPECT_NEAR(lamp->GetPhase(), 0.05f - 0.02f * kPi + kTwoPi, 1e-4f);
    // Flicker scales the glow around its base size once a turn.
    lamp->SetModeFlicker(0.5f);
    lamp->SetSpeed(1.0f);
    lamp->SetPhase(kTwoPi - 0.01f);
    lamp->Tick(10.0f);
    const float size = Glow(lamp)->GetCurrentSize();
    EXPECT_GE(size, 2.0f);
    EXPECT_LE(size, 6.0f);
}

TEST_F(FxLampTest, ALampCopyKeepsItsLightAndGlow) {
    TLampClass* lamp = Lamp();
    lamp->SetLightRange(30.0f);
    lamp->SetSpeed(2.0f);
    lamp->SetSize(7.0f);
    auto* copy = dynamic_cast<TLampClass*>(lamp->CreateCopy(env));
    ASSERT_NE(copy, nullptr);
    env->AddChild(copy);
    EXPECT_EQ(copy->GetColor(), 0xFF8000u);
    EXPECT_FLOAT_EQ(copy->GetLightRange(), 30.0f);
    EXPECT_FLOAT_EQ(copy->GetSpeed(), 2.0f);
    EXPECT_FLOAT_EQ(copy->GetBaseSize(), 7.0f);
    ASSERT_NE(copy->GetGlow(), nullptr);
    EXPECT_NE(copy->GetGlow(), lamp->GetGlow());
    EXPECT_EQ(copy->GetGlow()->Parent(), copy);
    EXPECT_EQ(copy->ChildCount(), 1);
}

TEST_F(FxLampTest, ALampFollowsItsDynamicPosition) {
    TLampClass* lamp = Lamp();
    RecUnit* ship = Unit(env, "ship");
    ship->SetPosition({80, 5, 0});
    engine->UpdateMatrices(nullptr);
    lamp->SetDynamicPosition(ship);
    Frame();
    EXPECT_FLOAT_EQ(lamp->GetWorldMatrix().m[3][0], 80.0f);
    EXPECT_FLOAT_EQ(Glow(lamp)->GetPosition().y, 5.0f);
}

} // namespace
} // namespace vesk::test
