// The current planet system, its locations and its environment built from
// model files: helpers, spheres, fog volumes, the sky, suns, flares, planets
// and dust, the settings handed to the render engine, and what is left after
// a planet system or a location goes.
#include "game/scene_link.h"
#include "render/helpers.h"
#include "render/multirole.h"
#include "render/render_script.h"
#include "shared/helpers.h"
#include "space_fixture.h"
#include "world/fx_particle.h"
#include "world/world_functions.h"

#include <algorithm>

namespace vesk::test {
namespace {

class SceneTest : public SpaceTest {
protected:
    // A planet system made as the scripts make it, with its environment.
    WEPlanetSystemClass* System(const std::string& model) {
        Lua("engine_CreatePlanetSystem('" + model + "')");
        return Psys();
    }
    // Units of the engine's tree that are not discarded, by class name.
    int Count(const std::string& className) {
        int n = 0;
        engine->ForEachInTree(
            [&](TBaseRenderUnit* u, void*) {
                if (u->ClassName() == className && !u->HasFlag(BRU_DISCARDED)) ++n;
                return true;
            },
            nullptr);
        return n;
    }
};

TEST_F(SceneTest, APlanetSystemHasItsHelpersSpheresAndEnvironment) {
    WEPlanetSystemClass* psys = System(DefaultSystem());
    ASSERT_NE(psys, nullptr);
    EXPECT_EQ(psys->GetName(), "sys");
    EXPECT_EQ(psys->Parent(), engine);
    UniHelperClass* h = nullptr;
    ASSERT_TRUE(psys->FindUHelper("location:far", h));
    Vec3 p;
    h->GetPosition(p);
    EXPECT_FLOAT_EQ(p.x, 5000.0f);

    TEnvironmentClass* env = Environment();
    ASSERT_NE(env, nullptr);
    EXPECT_EQ(env->GetName(), "Environment");
    EXPECT_EQ(env->SkyName(), "sky:space01");
    EXPECT_EQ(env->SkyLuaName(), "space01");
    ASSERT_NE(env->Stars(), nullptr);
    EXPECT_TRUE(env->Stars()->FollowsCamera());
    ASSERT_EQ(env->Suns().size(), 1u);
    EXPECT_EQ(env->Suns()[0]->GetName(), "SUNLIGHT_01");
    ASSERT_NE(env->Suns()[0]->Disc(), nullptr);
    ASSERT_NE(env->Dust(), nullptr);
    EXPECT_EQ(env->Dust()->Parent(), engine);
    // What the render engine takes from it: the system's ambient, the sun and its light.
    const EnvironmentSet* set = nullptr;
    ASSERT_TRUE(RE_GetEnvironmentSet(set));
    EXPECT_EQ(set->ambient, 0xFF102030u);
    ASSERT_EQ(set->suns.size(), 1u);
    EXPECT_EQ(set->suns[0].unit, env->Suns()[0]);
    EXPECT_NEAR(set->lightDirection.x, -1.0f, 1e-5f);
    TBaseRenderUnit* drawnEnv = nullptr;
    ASSERT_TRUE(RE_GetEnvironment(drawnEnv));
    EXPECT_EQ(drawnEnv, env);
    // No flare without fx["SUNLIGHT_01"].id.
    EXPECT_EQ(Count("LensflareClass"), 0);
    // The game's dust mode reaches the environment's dust.
    StandInGameSceneLink link;
    link.SetDustMode(0);
    EXPECT_FALSE(env->Dust()->HasFlag(BRU_VISIBLE));
    link.SetDustMode(1);
    EXPECT_TRUE(env->Dust()->HasFlag(BRU_VISIBLE));
}

TEST_F(SceneTest, EnvironmentFindsItsTexturesSkyAndFlareAndReportsAMissingSky) {
    Lua("fx.SUNLIGHT_01 = { id = 'SUNLIGHT_01', size = 50 }");
    const std::string model = EnvironmentModel("skyless_env_ok");
    auto* env = TBaseRenderUnit::Create<TEnvironmentClass>(engine);
    engine->AddChild(env);
    // The folder of the sky pictures ends at the last slash of either kind.
    std::string path = model;
    std::replace(path.begin(), path.end(), '/', '\\');
    env->LoadEnvironment(path);
    const std::string folder = path.substr(0, path.rfind('\\') + 1);
    EXPECT_EQ(env->SkyTextures(),
              (std::vector<std::string>{folder + "environment/sky.bmp", folder + "environment/cap1.bmp",
                                        folder + "environment/cap2.bmp"}));
    EXPECT_EQ(env->SkyLuaName(), "space01");
    EXPECT_EQ(Count("LensflareClass"), 1);

    auto* bare = TBaseRenderUnit::Create<TEnvironmentClass>(engine);
    engine->AddChild(bare);
    const std::string noSky = EnvironmentModel("nosky", "");
    EXPECT_THROW(bare->LoadEnvironment(noSky), Halted);
    EXPECT_TRUE(trapAll.HasReport("TEnvironmentClass.LoadEnvironment: (" + noSky +
                                  ") pgeomobj=nil - sky sphere must have name \"sky:*\""));
}

TEST_F(SceneTest, PlanetsComeFromTheEnvironmentModelWithTheirClouds) {
    System(DefaultSystem());
    Lua("obj = { rock = {} } spacemodel.rock = { spin = 90 }");
    const std::string hex = Eval("engine_AddEnvObj('rock')");
    auto* planet = dynamic_cast<PlanetClass*>(FindEngineObjectById(std::stoi(hex)));
    ASSERT_NE(planet, nullptr);
    EXPECT_EQ(Eval("obj.rock.hex"), hex);
    EXPECT_EQ(planet->Parent(), Environment());
    ASSERT_NE(planet->Atmosphere(), nullptr);
    EXPECT_EQ(planet->Atmosphere()->GetName(), "rock_clouds");
    Vec3 p;
    planet->GetPosition(p);
    EXPECT_FLOAT_EQ(p.y, 500.0f);
    // A second of turning at 90 degrees a second: a quarter turn, in place.
    planet->Tick(999.0f);
    EXPECT_NEAR(planet->Angle(), 3.14159265f / 2, 1e-3f);
    planet->UpdateMatrices(&Environment()->GetWorldMatrix());
    planet->GetPosition(p);
    EXPECT_NEAR(p.y, 500.0f, 1e-2f);

    EXPECT_THROW(Lua("engine_AddEnvObj('nothing')"), Halted);
    EXPECT_TRUE(trapAll.HasReport("TEnvironmentClass.AddPlanet: except: planet.Build(EnvCm,_LUAName)"));
}

TEST_F(SceneTest, TheRebuildKeepsThePlanetsAndSettingTheEnvironmentTwiceLeavesOne) {
    WEPlanetSystemClass* psys = System(DefaultSystem());
    Lua("obj = { rock = {} } engine_AddEnvObj('rock')");
    PlanetClass* planet = Environment()->Planets().at(0);
    DustClass* oldDust = Environment()->Dust();
    // The model changed on its disk since it was loaded: the rebuild reads it
    // again, the planet as well.
    EnvironmentModel("env", "sky:space01", {0, 700, 0});
    Lua("engine_ReloadEnvironment()");
    Step(16.0f);
    // The planet made for the first environment lives on under the new one.
    ASSERT_EQ(Environment()->Planets().size(), 1u);
    EXPECT_EQ(Environment()->Planets()[0], planet);
    EXPECT_EQ(planet->Parent(), Environment());
    EXPECT_NE(Environment()->Dust(), oldDust);
    ASSERT_NE(planet->Atmosphere(), nullptr);
    planet->UpdateMatrices(&Environment()->GetWorldMatrix());
    Vec3 p;
    planet->GetPosition(p);
    EXPECT_NEAR(p.y, 700.0f, 1e-2f);
    planet->Atmosphere()->UpdateMatrices(&planet->GetWorldMatrix());
    planet->Atmosphere()->GetPosition(p);
    EXPECT_NEAR(p.y, 700.0f, 1e-2f);

    psys->SetEnvironment(psys->EnvironmentSettings());
    psys->SetEnvironment(psys->EnvironmentSettings());
    Step(16.0f);
    int environments = 0;
    for (TBaseRenderUnit* c : *psys->ChildsBRU())
        if (c && c->GetName().rfind("Environment", 0) == 0) {
            EXPECT_EQ(c->GetName(), "Environment");
            ++environments;
        }
    EXPECT_EQ(environments, 1);
    // Planets and dust go with the environment they belong to.
    EXPECT_EQ(Count("DustClass"), 1);
    EXPECT_EQ(Count("PlanetClass"), 0);
}

TEST_F(SceneTest, LocationsLoadFromTheirModelAndFindOnlyTheirOwnChildren) {
    LoadNebula();
    WEPlanetSystemClass* psys = System(DefaultSystem());
    const std::string hex = Eval("engine_LoadLocation('" + LocationModel() + "')");
    auto* loc = dynamic_cast<WELocationClass*>(FindEngineObjectById(std::stoi(hex)));
    ASSERT_NE(loc, nullptr);
    EXPECT_EQ(loc->GetName(), "loc");
    EXPECT_EQ(loc->Parent(), psys);
    // Its sphere: the model's sphere, following the unit.
    EXPECT_FLOAT_EQ(loc->GetBSphereRadius(), 300.0f);
    EXPECT_EQ(Eval("engine_GetLocationsBSphereList()"), "loc#300#");

    TBaseRenderUnit* found = loc;
    EXPECT_TRUE(psys->FindInChildsOnly(found));
    found = psys;
    EXPECT_TRUE(psys->FindInChildsOnly(found));
    auto* stranger = TBaseRenderUnit::Create<WEPlanetSystemClass>(engine);
    engine->AddChild(stranger);
    auto* theirs = TBaseRenderUnit::Create<WELocationClass>(stranger);
    stranger->AddChild(theirs);
    found = theirs;
    EXPECT_FALSE(psys->FindInChildsOnly(found));
    EXPECT_EQ(found, nullptr);
    found = nullptr;
    EXPECT_THROW(psys->FindInChildsOnly(found), Halted);
    EXPECT_TRUE(trapAll.HasReport("WELocationClass.FindInChilds: _OutLocation=nil"));
    // A helper of a location outside the system is no helper of it, without a report.
    EXPECT_EQ(Eval("engine_GetUniversalHelperHex('mission:start', '" + theirs->GetHex() + "')"), "0");
}

TEST_F(SceneTest, PlacingALocationOnAHelperMovesItAndMakesItsFog) {
    LoadNebula();
    WEPlanetSystemClass* psys = System(DefaultSystem());
    const std::string hex = Eval("engine_LoadLocation('" + LocationModel() + "')");
    auto* loc = dynamic_cast<WELocationClass*>(FindEngineObjectById(std::stoi(hex)));
    Lua("engine_AssignLocationToUHelper('" + hex + "', 'location:far')");
    Vec3 p;
    loc->GetPosition(p);
    EXPECT_FLOAT_EQ(p.x, 5000.0f);
    // "FOG:nebula01": the prefix in capitals, the effect without its last two characters.
    const std::vector<TBaseRenderUnit*> fogs = loc->FogObjects();
    ASSERT_EQ(fogs.size(), 1u);
    EXPECT_EQ(fogs[0]->GetName(), "fog_FOG:nebula01");
    EXPECT_EQ(fogs[0]->GetTemplate(), Template("nebula"));
    auto* particle = dynamic_cast<FXParticleClass*>(fogs[0]);
    ASSERT_NE(particle, nullptr);
    EXPECT_FLOAT_EQ(particle->GetCurrentSize(), 50.0f);
    fogs[0]->GetPosition(p);
    EXPECT_FLOAT_EQ(p.x, 5000.0f);
    EXPECT_FLOAT_EQ(p.y, 200.0f);
    // Placed again, it keeps one set of fog volumes.
    Lua("engine_AssignLocationToUHelper('" + hex + "', 'location:near')");
    Step(16.0f);
    EXPECT_EQ(loc->FogObjects().size(), 1u);
    EXPECT_EQ(Count("FXParticleClass"), 1);
    (void)psys;
}

TEST_F(SceneTest, AFogEffectWithoutASizeIsReported) {
    // A template whose copies have no size to set.
    auto* plain = TBaseRenderUnit::Create<MultiroleBRUClass>(nullptr);
    plain->SetName("plain");
    FXTemplates.Add(plain);
    FXOwnedTemplates.Add(plain);
    System(DefaultSystem());
    const std::string hex = Eval("engine_LoadLocation('" + LocationModel("loc2", "fog:plain01") + "')");
    EXPECT_THROW(Lua("engine_AssignLocationToUHelper('" + hex + "', 'location:near')"), Halted);
    EXPECT_TRUE(trapAll.HasReport("WELocationClass.CreateFog: par.QueryInterface(IID_ISize, fSR) <> S_OK"));
}

TEST_F(SceneTest, DestroyingThePlanetSystemLeavesNothingBehind) {
    LoadNebula();
    const int32_t before = BRUInstanceCount;
    const int32_t pooledBefore = PooledParticles();
    // Nothing to destroy: nothing in the log.
    const std::string log = ReadLog();
    Env->DestroyPlanetSystem();
    EXPECT_EQ(ReadLog(), log);

    System(DefaultSystem());
    const std::string hex = Eval("engine_LoadLocation('" + LocationModel() + "')");
    Lua("engine_AssignLocationToUHelper('" + hex + "', 'location:far')");
    Lua("obj = { rock = {} } engine_AddEnvObj('rock')");
    const std::string id = Psys()->GetHex();
    EXPECT_GT(BRUInstanceCount, before);
    Env->DestroyPlanetSystem();
    EXPECT_NE(ReadLog().find("DBG DestroyPlanetSystem: " + id), std::string::npos);
    EXPECT_EQ(Psys(), nullptr);
    const EnvironmentSet* gone = nullptr;
    EXPECT_FALSE(RE_GetEnvironmentSet(gone));
    Step(16.0f);
    Step(16.0f);
    // The waypoint stays with the engine root; everything else is gone, the
    // fog's particle back in its pool.
    EXPECT_EQ(BRUInstanceCount, before + 1);
    EXPECT_EQ(PooledParticles(), pooledBefore);
    EXPECT_EQ(Count("DustClass"), 0);
    EXPECT_NE(engine->FindBRUByName("WayPoint"), nullptr);
}

TEST_F(SceneTest, ObjectsEnteringTheWorldGetNumberedUnits) {
    System(DefaultSystem());
    BaseAIUnitClass* ai = nullptr;
    int32_t first = -1, second = -1;
    TBaseRenderUnit* a = AddDrone(ai, first);
    TBaseRenderUnit* b = AddDrone(ai, second);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(a->GetName(), "drone" + std::to_string(first));
    EXPECT_EQ(b->GetName(), "drone" + std::to_string(second));
    EXPECT_NE(ai, nullptr);
    EXPECT_TRUE(PhysicsScene->FindShipBRU(b));
}

} // namespace
} // namespace vesk::test
