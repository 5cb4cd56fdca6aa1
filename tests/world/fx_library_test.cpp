// The effect library, the effect base and spawning, through the real Lua host
// and the real effect classes.
#include "fx_fixture.h"
#include "fx_stand_ins.h"
#include "render/dynamic_position.h"
#include "render/fake_model_tree.h"
#include "render/helpers.h"
#include "sound/sound_engine.h"
#include "world/fx_bullet.h"
#include "world/fx_burst.h"
#include "world/fx_jet.h"
#include "world/fx_laser.h"
#include "world/fx_particle.h"
#include "world/fx_shapes.h"
#include "world/fx_spawn.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vesk::test {

namespace {

const char* kSpark = "spark = { id = 'spark', type = 'particle', StartSize = '2', EndSize = '4' }";
const char* kBurst =
    "boom = { id = 'boom', type = 'burst', numParticles = '6', vmin = '10', vmax = '20',"
    " MaxSize = '3', MinSize = '1', MaxLifeTime = '2', MinLifeTime = '1', particleID = 'spark',"
    " color = 'FF806040', friction = '0' }";

class FxLibraryTest : public FxTest {
protected:
    // The sphere model: one object "base" with its render object.
    void AddBallModel() {
        models.Add("ball.cm").AddObject("base");
        Lua("mesh = { ball = { path = '', name = 'ball' } }");
    }
    void TearDown() override {
        FreeFXTemplates();
        TEODestroyManager->Flush();
        models.Clear();
        FxTest::TearDown();
    }
    WorldGameOpsScope gameOps;
    FakeModelTrees models;
};

TEST_F(FxLibraryTest, ParticlesLoadFirstAndEveryTemplateWritesItsHex) {
    const int32_t liveBursts = FXBaseClass::LiveCountOf("FXBurstClass");
    const int32_t liveBeams = FXBaseClass::LiveCountOf("FXLaserClass");
    LoadFx(std::string(kBurst) + ", " + kSpark +
               ", smoke = { id = 'smoke', type = 'particle_alpha' }"
               ", jet = { id = 'jet', type = 'nozzlejet' }"
               ", odd = { id = 'odd', type = 'Burst' }"
               ", beam = { id = 'beam', type = 'laser' }",
           "'boom', 'spark', 'smoke', 'jet', 'odd', 'beam'");
    // The particle listed after the burst is made first.
    ASSERT_EQ(FXTemplates.Count(), 5);
    EXPECT_EQ(FXTemplates.At(0)->GetName(), "spark");
    EXPECT_EQ(FXTemplates.At(1)->GetName(), "boom");
    EXPECT_EQ(FXTemplates.At(2)->GetName(), "smoke");
    EXPECT_EQ(FXTemplates.At(3)->GetName(), "jet");
    EXPECT_EQ(FXTemplates.At(4)->GetName(), "beam");
    for (int i = 0; i < FXTemplates.Count(); ++i) {
        TBaseRenderUnit* t = FXTemplates.At(i);
        EXPECT_EQ(GetLuaString("fx." + t->GetName() + ".hex", false), t->GetHex());
    }
    // Pooled particles stay out of the owned list; the jet is a jet template too.
    ASSERT_EQ(FXOwnedTemplates.Count(), 3);
    EXPECT_EQ(FXOwnedTemplates.At(0)->GetName(), "boom");
    EXPECT_EQ(FXJetTemplates.Count(), 1);
    EXPECT_EQ(dynamic_cast<FXParticleClass*>(Template("smoke"))->GetBlendMode(), kBlendAlpha);
    EXPECT_EQ(dynamic_cast<FXParticleClass*>(Template("spark"))->GetStartSize(), 2.0f);
    // Types are compared exactly.
    EXPECT_EQ(Template("odd"), nullptr);
    EXPECT_TRUE(trapAll.reports.empty());
    // Templates are not counted among the live effects.
    EXPECT_EQ(FXBaseClass::LiveCountOf("FXBurstClass"), liveBursts);
    EXPECT_EQ(FXBaseClass::LiveCountOf("FXLaserClass"), liveBeams);
}

TEST_F(FxLibraryTest, AReloadReleasesTheOwnedTemplatesAtTheEndOfTheFrame) {
    LoadFx(std::string(kSpark) + ", " + kBurst);
    TBaseRenderUnit* old = Template("boom");
    const std::string oldHex = old->GetHex();
    LoadFXTemplates();
    EXPECT_TRUE(old->InDestroyQueue());
    TBaseRenderUnit* now = Template("boom");
    ASSERT_NE(now, nullptr);
    EXPECT_NE(now, old);
    EXPECT_EQ(GetLuaString("fx.boom.hex", false), now->GetHex());
    TEODestroyManager->Flush();
    EXPECT_EQ(FindEngineObjectById(std::stoi(oldHex)), nullptr);
    // Copies already made go on: a burst spawned from the new template still finds its particle.
    FXDescrStruct desc{};
    desc.BurstTargetBRU = Unit(env, "target");
    EXPECT_NE(Spawn<FXBurstClass>("boom", engine, &desc), nullptr);
}

TEST_F(FxLibraryTest, TwoEntriesOfOneIdMakeTwoTemplatesAndTheFirstIsFound) {
    // Both read their keys from the entry of their id.
    Lua("fx = { a = { id = 'same', type = 'particle' }, same = { id = 'same', type = 'particle' } }"
        " fxOrder = { 'a', 'same' }");
    LoadFXTemplates();
    ASSERT_EQ(FXTemplates.Count(), 2);
    EXPECT_EQ(FXTemplates.At(1)->GetName(), "same");
    EXPECT_EQ(Template("same"), FXTemplates.At(0));
}

TEST_F(FxLibraryTest, EntriesMustSitUnderTheirOwnId) {
    Lua("fx = { wrong = { id = 'right', type = 'particle' } }");
    EXPECT_THROW(LoadFXTemplates(), Halted);
    EXPECT_EQ(trapAll.lastFatal, "FXE int err: fx[\"right\"].id <> right");
}

TEST_F(FxLibraryTest, SoundsMarkedForThePlayerArePreferred) {
    auto soundsOf = [&](const std::string& b) {
        FreeFXTemplates();
        LoadFx(
            "a = { id = 'a', type = 'x' }, b = { id = 'b', type = 'x' " + b +
            " }, s = { id = 's', type = 'burst', numParticles = '0', vmin = '0', vmax = '0', MaxSize = '0',"
            " MinSize = '0', MaxLifeTime = '0', MinLifeTime = '0', color = '0', friction = '0',"
            " sounds = { { id = 'a' }, { id = 'b' } } }");
        std::string ids;
        if (auto* list = dynamic_cast<FXBaseClass*>(Template("s"))->Sounds())
            for (const FXSoundStruct& s : *list) ids += s.id;
        return ids;
    };
    EXPECT_EQ(soundsOf(", player = '1'"), "b");
    EXPECT_EQ(soundsOf(""), "ab");
    // With effects off no sound list is read.
    SetSwitch("vis.effectsoff", 2);
    EXPECT_EQ(soundsOf(""), "");
}

TEST_F(FxLibraryTest, AKineticParticleOfOneColourDarkensFullyOpaque) {
    auto* k = TEngineObject::New<KineticParticleClass>();
    k->startColour = k->colour = 0x80FF8040;
    k->endColour = 0x80FF8040;
    k->lifeTime = k->remaining = 1.0f;
    k->Tick(0.5f); // f = 1 at the first step: scaled by alpha 0x80 / 255
    EXPECT_EQ(k->colour >> 24, 0xFFu);
    EXPECT_EQ((k->colour >> 16) & 0xFF, static_cast<uint32_t>(0xFF * (128.0f / 255.0f)));
    const uint32_t once = k->colour;
    k->Tick(0.25f); // f = 0.5: scaled again
    EXPECT_LT((k->colour >> 16) & 0xFF, (once >> 16) & 0xFF);
    EXPECT_NEAR(k->remaining, 0.25f, 1e-6f);
    // Differing colours blend at 1 - f; a lifetime of 0 is over at once.
    k->endColour = 0;
    k->lifeTime = 0;
    k->Tick(0.1f);
    EXPECT_EQ(k->colour, 0u);
    KineticParticleClass* copy = k->Copy();
    EXPECT_EQ(copy->startColour, k->startColour);
    EXPECT_EQ(copy->remaining, k->remaining);
    copy->Free();
    k->Free();
}

TEST_F(FxLibraryTest, CameraDistanceFadesAnEffectAsTheCameraComesNear) {
    struct Case {
        float distance, size, factor, opacity;
    };
    for (const Case& c : std::vector<Case>{{100, 10, 2, 1}, {25, 10, 2, 0.5f}, {15, 10, 2, 0}, {0, 10, 2, 1}})
        EXPECT_FLOAT_EQ(FXCameraDistColorController::Opacity(c.distance, c.size, c.factor), c.opacity)
            << c.distance;
}

// ---- spawning --------------------------------------------------------------------------------

TEST_F(FxLibraryTest, FXSpawnFillsTheDescriptionOfTheTemplatesClass) {
    AddBallModel();
    LoadFx(
        std::string(kSpark) + ", " + kBurst +
        ", ball = { id = 'ball', type = 'sphere', mesh = 'ball' }, beam = { id = 'beam', type = 'laser' }");
    auto* ship = AddPart<ShipClass>(env, "ship");
    ship->AddHelper("muzzle", {2, 0, 0});
    RecUnit* gun = Unit(ship, "gun", BRU_OPAQUE | 0x40000);
    auto* enemy = AddPart<ShipClass>(env, "enemy", {300, 0, 0});
    enemy->AddHelper("hull", {0, 5, 0});
    engine->UpdateMatrices(nullptr);

    TBaseRenderUnit* burst = FXSpawn({"", Template("boom")->GetHex(), ship->GetHex(), ""});
    ASSERT_NE(burst, nullptr);
    EXPECT_EQ(burst->Parent(), engine);
    EXPECT_EQ(burst->GetName(), IntToHex8(burst->GetId()));

    // A laser from a gun starts at the gun's ship, between the two helpers.
    auto* laser = dynamic_cast<FXLaserClass*>(
        FXSpawn({"", Template("beam")->GetHex(), gun->GetHex(), "muzzle", enemy->GetHex(), "hull"}));
    ASSERT_NE(laser, nullptr);
    EXPECT_EQ(laser->GetFromBRU(), ship);
    EXPECT_FLOAT_EQ(laser->GetStartPoint().x, 2.0f);
    EXPECT_FLOAT_EQ(laser->GetEndPoint().y, 5.0f);

    // A sphere takes radius, colour and opacity; on a universal helper it hangs under a debug helper.
    UniHelperClass* uh = ship->AddUHelper("gate", {5, 0, 0}, 3);
    auto* sphere = dynamic_cast<FXSphereClass*>(
        FXSpawn({"", Template("ball")->GetHex(), uh->GetHex(), "12.5", "FF00FF00", "0.5"}));
    ASSERT_NE(sphere, nullptr);
    EXPECT_FLOAT_EQ(sphere->GetRadius(), 12.5f);
    EXPECT_EQ(sphere->GetColor(), 0xFF00FF00u);
    EXPECT_FLOAT_EQ(sphere->GetOpacity(), 0.5f);
    ASSERT_NE(sphere->Parent(), nullptr);
    EXPECT_EQ(dynamic_cast<HelperClass*>(sphere->Parent())->GetHelperName(), "dbg_ve");

    // Particles are not spawned here.
    EXPECT_EQ(FXSpawn({"", Template("spark")->GetHex(), ship->GetHex()}), nullptr);
}

// A gun's shot names the gun's own muzzle: its beam starts there (it used to be
// looked for on the ship, which ended the game); a helper only the ship has is the ship's.
TEST_F(FxLibraryTest, ABeamFromAGunStartsAtTheGunsMuzzleOrAtItsShipsHelper) {
    LoadFx("beam = { id = 'beam', type = 'laser' }");
    auto* ship = AddPart<ShipClass>(env, "ship");
    ship->AddHelper("hardpoint", {0, 3, 0});
    auto* gun = AddPart<CannonClass>(ship, "gun", {10, 0, 0});
    gun->AddHelper("muzzle", {2, 0, 0});
    auto* enemy = AddPart<ShipClass>(env, "enemy", {300, 0, 0});
    engine->UpdateMatrices(nullptr);
    struct Case {
        std::string helper;
        TBaseRenderUnit* from;
        Vec3 start;
    };
    for (const Case& c : std::vector<Case>{{"muzzle", gun, {12, 0, 0}}, {"hardpoint", ship, {0, 3, 0}}}) {
        auto* laser = dynamic_cast<FXLaserClass*>(
            FXSpawn({"", Template("beam")->GetHex(), gun->GetHex(), c.helper, enemy->GetHex(), ""}));
        ASSERT_NE(laser, nullptr) << c.helper;
        EXPECT_EQ(laser->GetFromBRU(), c.from) << c.helper;
        const Vec3 start = laser->GetStartPoint();
        EXPECT_FLOAT_EQ(start.x, c.start.x) << c.helper;
        EXPECT_FLOAT_EQ(start.y, c.start.y) << c.helper;
        EXPECT_FLOAT_EQ(laser->GetEndPoint().x, 300.0f) << c.helper;
    }
    EXPECT_TRUE(trapAll.reports.empty());
}

TEST_F(FxLibraryTest, FXSpawnRefusesBadParameters) {
    AddBallModel();
    LoadFx(
        std::string(kSpark) + ", " + kBurst +
        ", ball = { id = 'ball', type = 'sphere', mesh = 'ball' }, beam = { id = 'beam', type = 'laser' }");
    RecUnit* rock = Unit(env, "rock");
    const std::string boom = Template("boom")->GetHex(), ball = Template("ball")->GetHex();
    struct Case {
        std::vector<std::string> params;
        std::string text;
    };
    const std::vector<Case> cases = {
        {{"burst", boom, rock->GetHex()}, "FXSpawn: [burst][" + boom + "] script must give hex"},
        {{"", "junk"}, "Exception kws2i: _str=junk: FXSpawn: template: junk, fxtype: "},
        {{"", boom, "999999"}, "Exception kws2i: _str=999999: fxdesc.BurstTargetBRU"},
        {{"", ball, rock->GetHex(), "1", "FF"}, "FXSpawn:  sphere: 5 params, 6 expected"},
        {{"", ball, rock->GetHex(), "", "FF", "1"}, "kws2f: _str=FXSpawn:  sphere: SphereRadius"},
        {{"", Template("beam")->GetHex(), rock->GetHex(), "", rock->GetHex(), ""},
         "FXSpawn: unknown attaker obj type"},
    };
    for (const Case& c : cases) {
        EXPECT_THROW(FXSpawn(c.params), Halted) << c.text;
        EXPECT_EQ(trapAll.lastFatal.substr(0, c.text.size()), c.text);
    }
}

TEST_F(FxLibraryTest, SoundsAreSpawnedOnlyWhileTheSoundEngineIsOn) {
    LoadFx("hum = { id = 'hum', type = 'sound' }");
    RecUnit* ship = Unit(env, "ship");
    const auto saved = SoundEngine;
    SoundEngine.reset(); // no sound engine at all
    EXPECT_EQ(FXSpawn({"", Template("hum")->GetHex(), ship->GetHex()}), nullptr);
    EXPECT_TRUE(trapAll.reports.empty());
    SoundEngine = saved;
}

TEST_F(FxLibraryTest, ABulletConfigurationAimsFromATurretsBarrel) {
    RecUnit* ship = Unit(env, "ship", BRU_OPAQUE | BRU_SHIP);
    auto* turret = TBaseRenderUnit::Create<TurretClass>(ship);
    ship->AddChild(turret);
    RecUnit* barrel = Unit(turret, "burel");
    barrel->AddHelper("muzzle", {0, 0, 2});
    RecUnit* target = Unit(env, "target");
    target->SetPosition({100, 0, 0});
    engine->UpdateMatrices(nullptr);
    FXConfigBulletClass* cfg = FXConfigurator.GetBulletConfig("TGameObjectGunEffect");
    cfg->SetData(turret, "muzzle", target);
    EXPECT_EQ(cfg->Source(), barrel);
    EXPECT_EQ(cfg->GetParentBRU(), engine);
    EXPECT_THROW(cfg->GetInitiator(), Halted);
    EXPECT_EQ(trapAll.lastFatal, "FXConfigBase.GetOwner: Owner = nil: use set owner");
    RecUnit* owner = Unit(env, "owner");
    cfg->SetFX(owner);
    IDynamicTargetPosition* from = cfg->GetInitiator();
    EXPECT_FLOAT_EQ(from->GetPos().z, 2.0f);
    EXPECT_FLOAT_EQ(cfg->GetTargetPosition()->GetPos().x, 100.0f);
    cfg->Free();
    // Burst configurations refuse the forms they do not take.
    FXConfigBurstClass* burst = FXConfigurator.GetBurstConfig("x");
    EXPECT_THROW(burst->SetDataDynamicPos(), Halted);
    EXPECT_EQ(trapAll.lastFatal, "FXConfigBurstClass.SetDataDynamicPos: not supported");
    FXConfigBurstDynamicPosClass* dyn = FXConfigurator.GetBurstDynamicPosConfig("x");
    EXPECT_THROW(dyn->SetDataCollise(), Halted);
    EXPECT_EQ(trapAll.lastFatal, "FXConfigBurstDynamicPosClass.SetDataCollise: not supported");
    burst->Free();
    dyn->Free();
}

} // namespace
} // namespace vesk::test
