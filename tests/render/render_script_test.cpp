// The render engine's script functions called from Lua: the game camera,
// helper queries, a ship's afterburner, turret limits, effects and caches,
// and every fatal text.
#include "core/lua_functions.h"
#include "core/lua_machine.h"
#include "render/component.h"
#include "render/helpers.h"
#include "render/render_script.h"
#include "render/script_links.h"
#include "render_fixture.h"
#include "shared/helpers.h"
#include "stand_in_units.h"

#include <cstdio>

using namespace vesk;
using namespace vesk::test;

namespace {

class RecCamera : public IScriptCamera {
public:
    std::vector<std::string> calls;
    Vec3 position{};
    static std::string F(float f) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", f);
        return buf;
    }
    static std::string V(const Vec3& v) { return F(v.x) + " " + F(v.y) + " " + F(v.z); }
    void StartAlignToObjOri(const Vec3& v) override { calls.push_back("align " + V(v)); }
    void SetZoom(float f) override { calls.push_back("zoom " + F(f)); }
    void StartFreeCamera() override { calls.push_back("free on"); }
    void StopFreeCamera() override { calls.push_back("free off"); }
    void SetFreeCameraVelocity(const Vec3& v) override { calls.push_back("velocity " + V(v)); }
    void SetFreeCameraRollSpeed(float s) override { calls.push_back("roll " + F(s)); }
    void SetPosition(const Vec3& p) override {
        position = p;
        calls.push_back("pos " + V(p));
    }
    Vec3 GetPosition() override { return position; }
    void SetFOV(float d) override { calls.push_back("fov " + F(d)); }
    void SetCamFromHelper(const std::string& n) override { calls.push_back("helper " + n); }
};

class RecAI : public IRenderUnitAI {
public:
    float forsage = -1;
    void ClearOwner() override {}
    void FreeAI() override {}
    Matrix BodyMatrix() const override { return {}; }
    TBaseRenderUnit* RenderUnit() override { return nullptr; }
    void ForsageOn(float v) override { forsage = v; }
    void ForsageOff() override { forsage = 0; }
};

class Turret : public TBaseRenderUnit, public ITurretLimits {
public:
    float limits[6] = {1, 2, 3, 4, 5, 6};
    float GetAngleLimit(int i) const override { return limits[i]; }
    void SetAngleLimit(int i, float r) override { limits[i] = r; }
};

class Portal : public TBaseRenderUnit, public IPortalEffect {
public:
    uint32_t state = 0;
    void SetPortalStateFlag(uint32_t f) override { state |= f; }
    std::string ClassName() const override { return "FXPortalClass"; }
};

class Laser : public TBaseRenderUnit, public ILaserEffect {
public:
    Vec3 GetStartPoint() override { return {}; }
    Vec3 GetEndPoint() override { return {}; }
    IDynamicTargetPosition* GetStartLink() override { return nullptr; }
    IDynamicTargetPosition* GetEndLink() override { return nullptr; }
    std::string ClassName() const override { return "FXLaserClass"; }
};

// The scene's ships: the units listed here.
class Ships : public IShipsOps {
public:
    std::vector<TBaseRenderUnit*> units;
    void DropShipListCache() override {}
    TBaseRenderUnit* CreateShipBRU(const std::string&, const std::string&) override { return nullptr; }
    bool FindShipByName(const std::string&, TBaseRenderUnit*&) override { return false; }
    bool FindShipBRU(TBaseRenderUnit* u) override {
        return std::find(units.begin(), units.end(), u) != units.end();
    }
};

class RenderScript : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        InstallRenderScriptFunctions();
        CreateLuaMachine();
        SetScriptCamera(&camera);
        GetRenderWorldLinks().shipsOps = [this] { return &ships; };
        BRUCacheMan = std::make_unique<BRUCacheManClass>();
    }
    void TearDown() override {
        BRUCacheMan.reset();
        SetScriptCamera(nullptr);
        FreeLuaMachine();
        RenderTest::TearDown();
    }
    // Runs the chunk; the text of the fatal report it ended on ("" when none).
    std::string Run(const std::string& chunk) {
        const size_t before = trapAll.reports.size();
        try {
            LuaMachine->RunString(chunk);
        } catch (const std::exception&) {
            // The halt ended the chunk; the Lua machine reports the chunk after it.
        }
        for (size_t i = before; i < trapAll.reports.size(); ++i)
            if (trapAll.reports[i].flags.find('h') != std::string::npos) return trapAll.reports[i].text;
        return {};
    }
    double Number(const char* global) {
        lua_getglobal(LuaMachine->State(), global);
        const double v = lua_tonumber(LuaMachine->State(), -1);
        lua_pop(LuaMachine->State(), 1);
        return v;
    }
    RecCamera camera;
    Ships ships;
};

TEST_F(RenderScript, EveryFunctionOfTheRenderEngineHasItsHandler) {
    for (const char* name : {"engine_ModifyVEffect",
                             "engine_PreCacheCM",
                             "engine_IsHelper",
                             "engine_onObjForsage",
                             "engine_offObjForsage",
                             "engine_SetTurretParams",
                             "engine_SetCameraAlign",
                             "engine_SetCameraZoom",
                             "engine_CameraSetFreeLookMode",
                             "engine_CameraResetFreeLookMode",
                             "engine_CameraSetFreeLookModeVelocity",
                             "engine_CameraSetFreeLookModeRotVelocity",
                             "engine_CameraSetPos",
                             "engine_CameraGetPos",
                             "engine_CameraSetOri",
                             "engine_CameraGetOri",
                             "engine_CameraSetFOV",
                             "engine_CameraSetHelperFromName",
                             "engine_clearCache",
                             "engine_AddMeshToCache"})
        EXPECT_NE(GetEngineFunction(name), nullptr) << name;
}

TEST_F(RenderScript, TheCameraFunctionsSteerTheGameCamera) {
    EXPECT_EQ(Run("engine_SetCameraAlign(1, '2', 3) engine_SetCameraZoom('') engine_SetCameraZoom(2.5) "
                  "engine_CameraSetFreeLookMode() engine_CameraSetFreeLookModeVelocity(1, '', 3) "
                  "engine_CameraSetFreeLookModeRotVelocity(57.3) engine_CameraResetFreeLookMode() "
                  "engine_CameraSetFOV(60) engine_CameraSetHelperFromName('cam_from2') "
                  "engine_CameraSetPos(10.4, -2.6, '') engine_CameraSetOri(1, 2, 3) "
                  "x, y, z = engine_CameraGetOri()"),
              "");
    EXPECT_EQ(camera.calls, (std::vector<std::string>{"align 1 2 3", "zoom 0", "zoom 2.5", "free on",
                                                      "velocity 1 0 3", "roll 1", "free off", "fov 60",
                                                      "helper cam_from2", "pos 10.4 -2.6 0", "pos 1 2 3"}));
    camera.position = {10.4f, -2.6f, 0.5f};
    Run("x, y, z = engine_CameraGetPos()");
    // Whole numbers (halves to even).
    EXPECT_EQ(Number("x"), 10);
    EXPECT_EQ(Number("y"), -3);
    EXPECT_EQ(Number("z"), 0);
}

TEST_F(RenderScript, MisusesEndTheGameWithTheirTexts) {
    const struct {
        const char* chunk;
        const char* fatal;
    } cases[] = {
        {"engine_SetCameraZoom(1, 2)", "engine_SetCameraZOOM: NumElements<>1"},
        {"engine_CameraSetFreeLookModeVelocity(1, 2)",
         "engine_CameraSetFreeLookModeVelocity: NumElements<>3"},
        {"engine_CameraSetFreeLookModeRotVelocity()",
         "engine_CameraSetFreeLookModeRotVelocity: NumElements<>1"},
        {"engine_CameraSetPos(1)", "engine_CameraSetPos: NumElements<>3"},
        {"engine_CameraSetFOV(1, 2)", "engine_CameraSetFOV: NumElements<>1"},
        {"engine_CameraSetFOV('')", "engine_CameraSetFOV: _fov = 0"},
        {"engine_CameraSetHelperFromName()", "engine_CameraSetHelperFromName: NumElements<>1"},
        {"engine_CameraSetHelperFromName('')", "engine_CameraSetHelperFromName: helpername = '"},
        {"engine_onObjForsage(1)",
         "engine_onObjForsage() : \xED\xE5 \xE2\xE5\xF0\xED\xEE\xE5 \xF7\xE8\xF1\xEB\xEE "
         "\xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xEE\xE2"},
        {"engine_offObjForsage()",
         "engine_offObjForsage() : \xED\xE5 \xE2\xE5\xF0\xED\xEE\xE5 \xF7\xE8\xF1\xEB\xEE "
         "\xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xEE\xE2"},
        {"engine_SetTurretParams(1, 2)", "engine_SetTurretParams: NumElements<>7"},
        {"engine_AddMeshToCache('scout')", "engine_AddMeshToCache(): scout, object class is missing"},
        {"engine_AddMeshToCache('scout', 'shipclass')",
         "engine_AddMeshToCache(): scout, unknown class name: shipclass"},
        {"engine_IsHelper('dock')", "engine_IsHelper: not env.GetPlanetSystem(psys), psys: dock"},
    };
    for (const auto& c : cases) EXPECT_EQ(Run(c.chunk), c.fatal) << c.chunk;
    EXPECT_TRUE(camera.calls.empty());
}

TEST_F(RenderScript, IsHelperAsksThePlanetSystemOrOneOfItsLocations) {
    RecUnit* psys = Unit(env, "psys");
    RecUnit* location = Unit(psys, "location");
    psys->AddUHelper("dock", {1, 2, 3}, 5);
    location->AddUHelper("gate", {0, 0, 0}, 5);
    GetRenderWorldLinks().planetSystem = [psys]() -> TBaseRenderUnit* { return psys; };
    GetRenderWorldLinks().location = [location](TBaseRenderUnit*, int32_t id) -> TBaseRenderUnit* {
        return id == 7 ? location : nullptr;
    };
    EXPECT_EQ(Run("a = engine_IsHelper('DOCK') b = engine_IsHelper('gate') c = engine_IsHelper('gate', '7')"),
              "");
    EXPECT_EQ(Number("a"), 1);
    EXPECT_EQ(Number("b"), 0);
    EXPECT_EQ(Number("c"), 1);
    EXPECT_EQ(Run("engine_IsHelper('gate', '8')"), "engine_IsHelper: not psys.FindInChildsOnly(loc), loc: 8");
    // With no question, or too many, the one promised result is a plain 0.
    EXPECT_EQ(Run("d = engine_IsHelper() e = engine_IsHelper('a', 'b', 'c')"), "");
    EXPECT_EQ(Number("d"), 0);
    EXPECT_EQ(Number("e"), 0);
}

TEST_F(RenderScript, ForsageAndTurretLimitsReachTheShipsOfTheScene) {
    RecUnit* ship = Unit(env, "ship");
    RecAI ai;
    ship->SetBPU(&ai);
    auto* turret = TBaseRenderUnit::Create<Turret>(ship);
    ship->AddChild(turret);
    const std::string shipId = std::to_string(ship->GetId()), turretId = std::to_string(turret->GetId());

    EXPECT_EQ(Run("engine_onObjForsage('" + shipId + "', '1.5')"),
              "engine_onObjForsage: TEngine.FindShipBRU( bru)");
    EXPECT_EQ(Run("engine_SetTurretParams('" + turretId + "', 1, 2, 3, 4, 5, 6)"),
              "engine_SetTurretParams : not TEngine.FindShipBRU( TBaseRenderUnit(turret))");
    ships.units = {ship, turret};
    EXPECT_EQ(Run("engine_onObjForsage('" + shipId + "', '1.5')"), "");
    EXPECT_EQ(ai.forsage, 1.5f);
    EXPECT_EQ(Run("engine_offObjForsage('" + shipId + "')"), "");
    EXPECT_EQ(ai.forsage, 0.0f);
    // An empty fourth limit keeps its value; degrees become radians by 57.3.
    EXPECT_EQ(Run("engine_SetTurretParams('" + turretId + "', '573', '-573', '0', '', '90', '180')"), "");
    EXPECT_FLOAT_EQ(turret->limits[0], 10.0f);
    EXPECT_FLOAT_EQ(turret->limits[1], -10.0f);
    EXPECT_EQ(turret->limits[2], 0.0f);
    EXPECT_EQ(turret->limits[3], 4.0f);
    EXPECT_FLOAT_EQ(turret->limits[5], 180.0f / 57.3f);

    ship->SetBPU(nullptr);
    EXPECT_EQ(Run("engine_offObjForsage('" + shipId + "')"),
              "engine_offObjForsage: bru.GetBPU( pointer(bpu)");
}

TEST_F(RenderScript, ModifyVEffectKillsClosesAndMovesByClass) {
    RecUnit* effect = Unit(env, "effect");
    auto* portal = TBaseRenderUnit::Create<Portal>(env);
    env->AddChild(portal);
    auto* laser = TBaseRenderUnit::Create<Laser>(env);
    env->AddChild(laser);
    RecUnit* ship = Unit(env, "ship");
    ship->SetStrID("ship7");
    RecAI ai;
    auto hex = [](TBaseRenderUnit* u) { return IntToHex8(u->GetId()); };

    // The effect id is read as hexadecimal.
    EXPECT_EQ(Run("engine_ModifyVEffect('" + hex(effect) + "', 'KillEffect')"), "");
    EXPECT_TRUE(effect->HasFlag(BRU_KILLED));
    EXPECT_EQ(Run("engine_ModifyVEffect('" + hex(ship) + "', 'Fade')"),
              "engine_ModifyVEffect: undefined bru.ClassType: " + ship->ClassName());

    // Portals: "close" in any case; other commands, KillEffect among them, do nothing.
    EXPECT_EQ(Run("engine_ModifyVEffect('" + hex(portal) + "', 'KillEffect')"), "");
    EXPECT_FALSE(portal->HasFlag(BRU_KILLED));
    EXPECT_EQ(Run("engine_ModifyVEffect('" + hex(portal) + "', 'CLOSE')"), "");
    EXPECT_EQ(portal->state, 16u);
    EXPECT_EQ(Run("engine_ModifyVEffect('" + hex(portal) + "', 'addchild', 'ship8')"),
              "engine_ModifyVEffect: ship8 not found");
    EXPECT_EQ(Run("engine_ModifyVEffect('" + hex(portal) + "', 'addchild', 'ship7')"),
              "engine_ModifyVEffect: not bru2.GetBPU(BaseAIUnit)");
    ship->SetBPU(&ai);
    EXPECT_EQ(Run("engine_ModifyVEffect('" + hex(portal) + "', 'addchild', 'ship7')"), "");
    EXPECT_EQ(ship->Parent(), portal);
    ship->RestoreParents();
    EXPECT_EQ(ship->Parent(), engine);
    ship->SetBPU(nullptr);

    // Lasers take a burst template as the third argument.
    EXPECT_EQ(Run("engine_ModifyVEffect('" + hex(laser) + "', 'AddStartPointFX', '" +
                  std::to_string(effect->GetId()) + "')"),
              "engine_ModifyVEffect: st[2]<>\"burst\"");
    EXPECT_EQ(Run("engine_ModifyVEffect('" + hex(laser) + "', 'KillEffect', '" +
                  std::to_string(effect->GetId()) + "')"),
              "engine_ModifyVEffect: st[2]<>\"burst\"");
    EXPECT_FALSE(laser->HasFlag(BRU_KILLED));
}

TEST_F(RenderScript, CachesWarmAShipAndLetGoOfTheirUnits) {
    if (kFakeShip) {
        RecShip::builds.clear();
        const int32_t before = BRUInstanceCount;
        EXPECT_EQ(Run("engine_AddMeshToCache('scout', 'ShipClass')"), "");
        EXPECT_EQ(RecShip::builds, (std::vector<std::string>{"scout|scout|0"}));
        // The ship is not kept and not hung into the tree.
        EXPECT_EQ(BRUInstanceCount, before);
        EXPECT_EQ(engine->FindBRUByName("scout"), nullptr);
    }
    RecUnit* kept = Unit(env, "kept");
    env->ReleaseChild(kept);
    BRUCacheMan->Add(kept);
    EXPECT_EQ(Run("engine_clearCache()"), "");
    EXPECT_EQ(BRUCacheMan->Count(), 0u);
}

} // namespace
