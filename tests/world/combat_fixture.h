#pragma once
// Combat over the world's real classes: game objects get their ships built
// from small models with their steering units in the physics scene, items
// hang real cannons on the ships' attach points, the effect library holds a
// bullet, a muzzle flash and an explosion, and a frame runs the game lists,
// the physics slices, the bullets' updater and the engine's tree the way the
// program's tick does.
#include "game/bullets.h"
#include "game/fx_objects.h"
#include "game/game_functions.h"
#include "game/game_ini_table.h"
#include "game/game_lua.h"
#include "game/game_objects.h"
#include "game/game_parts.h"
#include "game/gun_effects.h"
#include "game/items.h"
#include "game/mesh_tables.h"
#include "game/mines.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "game/physics_link.h"
#include "game/player.h"
#include "game/profiles.h"
#include "game/projectiles.h"
#include "game/scene_link.h"
#include "game/ships_link.h"
#include "game/statistics.h"
#include "game/tree_functions.h"
#include "game/turret_ai.h"
#include "game/world_link.h"
#include "physics/ph_scene.h"
#include "physics/ph_script.h"
#include "physics/ph_services.h"
#include "render/render_script.h"
#include "shared/updater.h"
#include "ship_fixture.h"
#include "support/game_world_stack.h"
#include "world/fx_bullet.h"
#include "world/fx_burst.h"
#include "world/fx_particle.h"
#include "world/ship_script.h"

#include <string>

namespace vesk::test {

// The bullet, the flash at the muzzle, the explosion with its sparks and a lasting hit mark.
inline constexpr const char* kCombatFx =
    "spark = { id = 'spark', type = 'particle' },"
    "shot = { id = 'shot', type = 'bullet', velocity = '1000', lifetime = '2', len = '10' },"
    "flash = { id = 'flash', type = 'burst', numParticles = '2', vmin = '1', vmax = '2', MaxSize = '1',"
    " MinSize = '1', MaxLifeTime = '0.1', MinLifeTime = '0.1', particleID = 'spark', color = 'FFFFFFFF',"
    " friction = '0' },"
    "boom = { id = 'boom', type = 'burst', numParticles = '4', vmin = '1', vmax = '2', MaxSize = '1',"
    " MinSize = '1', MaxLifeTime = '0.3', MinLifeTime = '0.3', particleID = 'spark', color = 'FFFF8000',"
    " friction = '0' },"
    "mark = { id = 'mark', type = 'burst', numParticles = '1', vmin = '0', vmax = '0', MaxSize = '1',"
    " MinSize = '1', MaxLifeTime = '10', MinLifeTime = '10', particleID = 'spark', color = 'FF404040',"
    " friction = '0' }";

class CombatTest : public ShipWorldTest {
protected:
    void SetUp() override {
        ShipWorldTest::SetUp();
        Lua("function setHook() end function emptyHook() end function saveData() end"
            " function updateMeshToEngine() end function updatePlayerShip() end player = {}");
        // The collision sweeps look as far ahead as a frame of the test goes.
        GameWorldStack::Start(30.0f);
        LoadFx(kCombatFx);
        DescribeGuns();
        WriteModel("hull", HullModel());
        WriteModel("missile", MissileModel());
        GameMesh("hull", "hull", "small");
        for (const auto& [key, value] :
             {std::pair{"ph_MaxVelocity", "100"}, std::pair{"ph_AccelerateTime", "0.5"},
              std::pair{"ph_MaxRotateVelocity", "90"}, std::pair{"ph_RotateForceMultiply", "4"},
              std::pair{"ph_RotateFading", "1"}, std::pair{"ph_StaticRotate90Time", "1"}})
            Set(std::string("mesh.hull.physic_params.") + key, value);
        GameMesh("general_missile", "missile", "missile");
        Lua("engine_SetVar('mesh.general_missile.physic_params.ph_MaxVelocity', '400')"
            " engine_SetVar('mesh.general_missile.physic_params.ph_AccelerateTime', '0.2')"
            " engine_SetVar('mesh.general_missile.physic_params.ph_StaticRotate90Time', '0.2')");
        // Ships overheat at 150 (the constant's start value 0 would keep every ship overheated).
        Set("bal.maxOverheatValue", "150");
        Lua("engine_AddVar('fractions', 'pirates') engine_AddVar('fractions', 'player')"
            " engine_SetVar('fractions.pirates.attitudes.player', '10')"
            " engine_SetVar('fractions.player.attitudes.pirates', '10')");
    }
    void TearDown() override {
        GameWorldStack::Stop();
        ShipWorldTest::TearDown();
    }

    // A hull of radius 7 (its main sphere is half its diagonal) with a gun
    // mount on the nose, a rocket mount below it and a turret mount on top.
    static ModelFile HullModel() {
        ModelFile m("hull");
        m.AddObject("base", Box({-6, -3, -2}, {6, 3, 2}, "hull"));
        m.AddObject("lowpoly", Box({-6, -3, -2}, {6, 3, 2}, "hull"));
        m.AddHelper("gun01", {6, 0, 0});
        m.AddHelper("rocket01", {6, 0, -2});
        m.AddHelper("turret01", {0, 0, 2});
        m.AddSphere("bs_body", {0, 0, 0}, 7);
        return m;
    }
    // A rocket of radius 1.5 (a box 2 x 1 x 2).
    static ModelFile MissileModel() {
        ModelFile m("missile");
        m.AddObject("base", Box({-1, -0.5f, -1}, {1, 0.5f, 1}, "hull"));
        m.AddObject("lowpoly", Box({-1, -0.5f, -1}, {1, 0.5f, 1}, "hull"));
        m.AddSphere("bs_rocket", {0, 0, 0}, 1.5f);
        return m;
    }
    // A description in the game's "mesh" table of a model of the test's folder.
    void GameMesh(const std::string& name, const std::string& model, const std::string& physics) {
        const std::string p = "mesh." + name;
        Lua("engine_AddVar('mesh', '" + name + "', 'TGameMesh') engine_SetVar('" + p + ".path', " +
            LuaQuote(dir.path() + "/models") + ") engine_SetVar('" + p + ".name', '" + model +
            "') engine_SetVar('" + p + ".physic_params.ph_Type', '" + physics + "')");
    }

    // One frame of the program's tick in a fixed step.
    void GameFrame(float dt = 30.0f) {
        GameWorldStack::Tick(dt);
        engine->UpdateMatrices(nullptr);
        UpdaterManager->Update(dt);
        engine->TickTree(dt);
        Frame();
    }
    void Frames(int n, float dt = 30.0f) {
        for (int i = 0; i < n; ++i) GameFrame(dt);
    }
    // Frames until the condition holds (at most `limit`); the frames it took, -1 when it never did.
    template <class Condition> int FramesUntil(Condition done, int limit = 200, float dt = 30.0f) {
        for (int i = 1; i <= limit; ++i) {
            GameFrame(dt);
            if (done()) return i;
        }
        return -1;
    }

    // A ship of the hull model under "obj" with every value at 100 and no heat.
    TGameObject* Ship(const std::string& name, const std::string& position,
                      const std::string& fraction = "") {
        Lua("engine_AddVar('obj', '" + name + "', 'TGameObject')");
        const std::string p = "obj." + name;
        Set(p + ".SOClass", "2");
        Set(p + ".position", position);
        Set(p + ".spacemodel", "hull");
        if (!fraction.empty()) Set(p + ".fraction", fraction);
        for (const char* v :
             {"shield", "armor", "durability", "power", "p_engine", "defencefactor", "damagefactor"})
            Value(p + ".param." + v, 100, 100);
        Value(p + ".param.temperature", 200, 0);
        Value(p + ".param.capacity", 100, 0);
        return dynamic_cast<TGameObject*>(FindVarByPath(p));
    }
    // A gun item in a new slot of the ship at its nose, with one shot of the
    // class and one damage template of the kind (its amounts as Lua table
    // text); `setup` (Lua) runs before the item goes into the slot.
    TGameItem* Gun(const std::string& ship, const std::string& name, const std::string& bulletType,
                   const std::string& kind, const std::string& amounts, const std::string& helper = "gun01",
                   const std::string& setup = "", const std::string& effectClass = "TGameObjectGunEffect") {
        const bool turret = effectClass == "TGameObjectTurretEffect";
        const std::string slot = "obj." + ship + ".slots." + name;
        Lua("engine_AddVar('obj." + ship + ".slots', '" + name + "')");
        Set(slot + ".helper", helper);
        Set(slot + ".class", turret ? "turret" : "gun");
        Set(slot + ".itemType", "1");
        Lua("engine_AddVar('items', '" + name + "', 'TGameItem')");
        const std::string i = "items." + name;
        Set(i + ".mesh", turret ? "test_turret" : "test_gun");
        Set(i + ".class", "1");
        Value(i + ".charge", 100, 100);
        Value(i + ".reloading", 1, 1);
        Set(i + ".reloading.speed", "10"); // a tenth of a second
        Lua("engine_AddVar('" + i + ".effects', 'gun', '" + effectClass + "')");
        Lua("engine_AddVar('" + i + ".effects.gun.shots', 'shot', 'TGameObjectShotEffect')");
        const std::string s = i + ".effects.gun.shots.shot";
        Set(s + ".bulletType", bulletType);
        Set(s + ".mainFx", "shot");
        Set(s + ".startFx", "flash");
        Set(s + ".endFx", "boom");
        Set(s + ".helperId", "weapon");
        Set(s + ".lifetime", "3");
        if (!kind.empty()) {
            Lua("engine_AddVar('" + s + ".effects', 'hit', '" + kind + "')");
            Lua("for k, v in pairs(" + amounts + ") do engine_SetVar('" + s +
                ".effects.hit.' .. k, tostring(v)) end");
        }
        if (!setup.empty()) Lua(setup);
        Set(slot + ".item", name);
        return dynamic_cast<TGameItem*>(FindVarByPath(i));
    }
    // A launcher item in a new slot of the ship with one launch description of
    // the class, one damage template of the kind and the extra values (Lua
    // text setting `l`, the description's path).
    TGameItem* Launcher(const std::string& ship, const std::string& name, const std::string& objectClass,
                        const std::string& kind, const std::string& amounts, const std::string& extra = "") {
        const std::string slot = "obj." + ship + ".slots." + name;
        Lua("engine_AddVar('obj." + ship + ".slots', '" + name + "')");
        Set(slot + ".helper", "gun01");
        Set(slot + ".class", "gun");
        Set(slot + ".itemType", "1");
        Lua("engine_AddVar('items', '" + name + "', 'TGameItem')");
        const std::string i = "items." + name;
        Set(i + ".mesh", "test_gun");
        Set(i + ".class", "1");
        Value(i + ".charge", 10, 10);
        Value(i + ".reloading", 1, 1);
        Lua("engine_AddVar('" + i +
            ".effects', 'launcher', 'TGameObjectLauncherEffect')"
            " engine_AddVar('" +
            i + ".effects.launcher.shots', 'drop', 'TGameObjectLaunchEffect')");
        const std::string l = i + ".effects.launcher.shots.drop";
        Lua("engine_AddVar('" + l + "', 'bulletType', 'TGameObjectStringParam')");
        Set(l + ".bulletType", objectClass);
        Set(l + ".startFx", "flash");
        Set(l + ".endFx", "boom");
        Set(l + ".helperId", "weapon");
        Set(l + ".lifetime", "60");
        Lua("engine_AddVar('" + l + ".effects', 'hit', '" + kind + "')");
        Lua("for k, v in pairs(" + amounts + ") do engine_SetVar('" + l +
            ".effects.hit.' .. k, tostring(v)) end");
        if (!extra.empty()) Lua("local l = '" + l + "' " + extra);
        Set(slot + ".item", name);
        return dynamic_cast<TGameItem*>(FindVarByPath(i));
    }

    // The ship starts shooting at the target (every weapon in its slots).
    void Shoot(const std::string& ship, const std::string& target) {
        Lua("engine_Execute('obj." + ship + ".events.onShipBeginShot', engine_GetHex('obj." + ship +
            "'), engine_GetHex('obj." + target + "'))");
    }
    void Cease(const std::string& ship) {
        Lua("engine_Execute('obj." + ship + ".events.onShipEndShot', engine_GetHex('obj." + ship + "'))");
    }

    void Set(const std::string& path, const std::string& value) {
        Lua("engine_SetVar(" + LuaQuote(path) + ", " + LuaQuote(value) + ")");
    }
    void Value(const std::string& path, float max, float cur) {
        Set(path + ".max", FloatToStrRaw(max));
        Set(path, FloatToStrRaw(cur));
    }
    static float Cur(TGameObject* o, const char* param) {
        TGameObjectParam* p = o->Param(param);
        return p && p->Cur() ? p->Cur()->GetValue() : -1.0f;
    }
    static int32_t Stat(const std::string& counter) {
        auto* s = dynamic_cast<TGameStatistics*>(FindVarByPath("player.statistics"));
        return s ? s->Value(counter) : -1;
    }
    // The live projectiles of a class (pooled ones in use, and any made fresh).
    static int LiveBullets() { return Statistics ? Statistics->Bullet()->Value() : -1; }
    static int LiveRockets() { return Statistics ? Statistics->Rocket()->Value() : -1; }
};

} // namespace vesk::test
