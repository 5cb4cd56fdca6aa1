// The physics functions as the scripts call them: through the Lua host, on
// real ships with their AI units, the game objects stood in for by ids.
#include "physics/ph_script.h"

#include "core/lua_functions.h"
#include "core/lua_machine.h"
#include "physic_fixture.h"
#include "physics/ai_unit.h"
#include "physics/cm_tree.h"
#include "physics/cm_writer.h"
#include "physics/ph_scene.h"
#include "render/helpers.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace vesk {
namespace {

struct ScriptShip {
    TBaseRenderUnit* unit = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    BaseAIUnitClass* ai;
    ScriptShip(const std::string& name, Vec3 at, int32_t cls = SC_BARGA) {
        unit->SetName(name);
        ai = BaseAIUnitClass::Init(unit, test::MakeRecord(cls));
        Matrix m;
        MatrixSetTranslation(m, at);
        ai->SetPoseMatrix(m);
        unit->UpdateMatrices(nullptr);
    }
    ~ScriptShip() {
        unit->SetBPU(nullptr);
        ai->Free();
        unit->Free();
    }
    TNPCPhysicComponent* npc() { return ai->GetNPCController(); }
};

class PhysicsScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallPhysicsScriptFunctions();
        CreateLuaMachine();
        L = LuaMachine->State();
        CreatePhysicsScene();
        GetPhysicsScriptLinks().objectAI = [this](const std::string& id) -> BaseAIUnitClass* {
            auto it = objects.find(id);
            return it == objects.end() ? nullptr : it->second->ai;
        };
    }
    void TearDown() override {
        GetPhysicsScriptLinks() = {};
        ships.clear();
        FreePhysicsScene();
        FreeLuaMachine();
    }
    ScriptShip& Ship(const std::string& id, Vec3 at, int32_t cls = SC_BARGA) {
        ships.push_back(std::make_unique<ScriptShip>(id, at, cls));
        objects[id] = ships.back().get();
        PhysicsScene->AddShip(ships.back()->unit);
        return *ships.back();
    }
    void Run(const std::string& chunk) { LuaMachine->RunString(chunk); }
    std::string Eval(const std::string& expr) {
        Run("r_ = " + expr);
        lua_getglobal(L, "r_");
        std::string v = lua_isstring(L, -1) ? lua_tostring(L, -1) : "nil";
        lua_pop(L, 1);
        return v;
    }
    std::string Hex(ScriptShip& s) { return s.unit->GetHex(); }
    // Runs a chunk that ends the program; the first fatal report (what it ended on).
    std::string FatalOf(const std::string& chunk) {
        trap.reports.clear();
        try {
            Run(chunk);
        } catch (const test::Halted&) {
        }
        for (const auto& r : trap.reports)
            if (r.flags.find('h') != std::string::npos) return r.text;
        return {};
    }

    test::ErrorTrap trap;
    lua_State* L = nullptr;
    std::vector<std::unique_ptr<ScriptShip>> ships;
    std::map<std::string, ScriptShip*> objects;
};

TEST_F(PhysicsScriptTest, EveryFunctionIsInstalled) {
    for (const char* name :
         {"engine_PhRange", "engine_PhDotRangeHex", "engine_PhDotRange", "engine_PhCommand",
          "engine_PhSetObjParam", "engine_PhGunGetting", "engine_GetStringPhParams"})
        EXPECT_NE(GetEngineFunction(name), nullptr) << name;
}

TEST_F(PhysicsScriptTest, CommandsGiveOrdersThatMoveTheShip) {
    ScriptShip& s = Ship("obj.s1", {0, 0, 0});
    // Written in capitals it is the same command.
    Run("engine_PhCommand('obj.s1', 'GOTOPOINT', 'n', 500, 0, 0)");
    EXPECT_TRUE(s.npc()->TestState(DOMOVETOPOINT));
    EXPECT_FLOAT_EQ(s.npc()->GetMovePoint()->GetPosition().x, 500.0f);
    for (int i = 0; i < 30; ++i) PhysicsScene->TickPhys(30.0f);
    EXPECT_GT(s.ai->GetPositionD().x, 20.0); // flies toward it...
    Vec3 p;
    s.unit->GetPosition(p);
    EXPECT_NEAR(p.x, s.ai->GetPositionD().x, 1e-3); // ...and the unit follows its body
    EXPECT_TRUE(trap.reports.empty());

    // "stop" without a speed stops the unit: its limit comes down to 0.
    Run("engine_PhCommand('obj.s1', 'stop')");
    for (int i = 0; i < 100; ++i) PhysicsScene->TickPhys(30.0f);
    EXPECT_NEAR(s.ai->GetSpeed(), 0.0f, 1e-3f);

    // A helper's position and a unit's pose.
    TBaseRenderUnit* beacon = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    beacon->SetWorldPosition({0, 700, 0});
    Run("engine_PhCommand('obj.s1', 'goToHelperHex', 'n', '" + beacon->GetHex() + "')");
    EXPECT_FLOAT_EQ(s.npc()->GetMovePoint()->GetPosition().y, 700.0f);
    Run("engine_PhCommand('obj.s1', 'teleport', 'n', '" + beacon->GetHex() + "')");
    EXPECT_DOUBLE_EQ(s.ai->GetPositionD().y, 700.0);
    EXPECT_EQ(s.npc()->GetState(), 0u);
    beacon->Free();
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(PhysicsScriptTest, FollowingAndApproaching) {
    ScriptShip& leader = Ship("obj.lead", {0, 0, 0});
    ScriptShip& a = Ship("obj.a", {100, 0, 0});
    ScriptShip& b = Ship("obj.b", {200, 0, 0});
    // The sub-command is compared exactly: "Follow" does nothing.
    Run("engine_PhCommand('obj.a', 'maneur', 'n', 'Follow', 'obj.lead')");
    EXPECT_EQ(a.npc()->GetState(), 0u);
    Run("engine_PhCommand('obj.a', 'maneur', 'n', 'follow', 'obj.lead')"); // 300 when no distance
    EXPECT_TRUE(a.npc()->TestState(DOFOLLOWTOOBJECT));
    EXPECT_FALSE(a.npc()->TestState(FOLLOWUSERUNDOWN));
    Run("engine_PhCommand('obj.b', 'followToObj', 'n', 'obj.lead', 100, '', '1')");
    EXPECT_TRUE(b.npc()->TestState(FOLLOWUSERUNDOWN));
    EXPECT_EQ(leader.npc()->FollowerCount(), 2);
    EXPECT_EQ(leader.npc()->FormationCount(), 1); // only followToObj flies in formation
    Run("engine_PhCommand('obj.a', 'approachToObj', 'n', 'obj.b')");
    EXPECT_TRUE(a.npc()->TestState(DOMOVETOPOINT));
    EXPECT_EQ(a.npc()->GetMovePoint()->GetTargetObject(), b.unit);
    Run("engine_PhCommand('obj.a', 'noSuchCommand', 'n')");
    EXPECT_TRUE(a.npc()->TestState(DOMOVETOPOINT));
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(PhysicsScriptTest, CommandFaults) {
    Ship("obj.s1", {0, 0, 0});
    const struct {
        const char* chunk;
        const char* report;
    } cases[] = {
        {"engine_PhCommand('', 'stop')", "engine_PhCommand: id=\"\""},
        {"engine_PhCommand('obj.none', 'stop')", "PhCommand: bpu=nil, id=obj.none"},
        {"engine_PhCommand('obj.s1', 'followToObj', 'n', 'x')", "phCommand: \"followToObj\" sa[1]=\"\""},
        {"engine_PhSetObjParam('obj.s1', 'ph_MaxVelocity')", "engine_PhSetObjParam: n < 3"},
        {"engine_PhSetObjParam('', 'p1', 1)", "engine_PhSetObjParam: id=\"\""},
        {"engine_PhSetObjParam('obj.none', 'p1', 1)", "engine_PhSetObjParam: KWAIU=nil, id=obj.none"},
        {"engine_PhSetObjParam('obj.s1', '', 1)", "engine_PhSetObjParam: p2=', id=obj.s1"},
        {"engine_PhRange('1')", "engine_PhRange: N < 2"},
        {"engine_PhRange('', '1')",
         "function engine_PhRange(L: lua_State): Integer; cdecl; id1=\"\" or id2=\"1\""},
        {"engine_PhDotRangeHex('1')", "engine_PhDotRangeHex: n <> 2"},
        {"engine_PhDotRange('h', '')", "engine_PhDotRange: KWAIU=nil, obj= , helper= h"},
        {"engine_PhDotRange('h', 'obj.none')", "engine_PhDotRange: KWAIU=nil, obj= obj.none"},
        {"engine_PhDotRange('h', 'obj.s1')", "CMTreeClass.GetUniversalHelper(): unknown helper [h]!!!"},
        {"engine_PhGunGetting(1, 2, 3, 4, 5)", "engine_PhGunGetting: n < 6"},
        {"engine_GetStringPhParams('1')", "engine_GetStringPhParams: Env.GetPlanetSystem(psys)=false"},
    };
    for (const auto& c : cases) EXPECT_EQ(FatalOf(c.chunk), c.report) << c.chunk;
    // With fewer arguments than they need three functions answer -1.
    GetErrorHooks().halt = [] {}; // as if the report let the script go on
    EXPECT_EQ(Eval("engine_PhRange('1')"), "-1");
    EXPECT_EQ(Eval("engine_PhSetObjParam('a', 'b')"), "-1");
    EXPECT_EQ(Eval("engine_PhGunGetting('a')"), "-1");
}

TEST_F(PhysicsScriptTest, RangesBetweenObjectsAndHelpers) {
    ScriptShip& a = Ship("obj.a", {0, 0, 0});
    ScriptShip& b = Ship("obj.b", {3, 4, 0});
    ScriptShip& c = Ship("obj.c", {10.6f, 0, 0});
    EXPECT_EQ(Eval("engine_PhRange('" + Hex(a) + "', '" + Hex(a) + "')"), "0");
    EXPECT_EQ(Eval("engine_PhRange('" + Hex(a) + "', '" + Hex(b) + "')"), "5");
    EXPECT_EQ(Eval("engine_PhDotRangeHex('" + Hex(a) + "', '" + Hex(c) + "')"), "11"); // rounded
    // A helper of the scene's model: a geometry object placed at (30, 40, 0).
    CMSceneClass scene("scene");
    CMGeomObjClass* g = scene.NewGeomObj();
    g->SetNames("beacon", "", "");
    g->vectors[3] = {30, 40, 0};
    CMTreeClass tree;
    tree.LoadFromMemory(scene.ToBytes(), "scene.cm");
    GetPhysicsScriptLinks().sceneModel = [&tree] { return &tree; };
    EXPECT_EQ(Eval("engine_PhDotRange('beacon', 'obj.a')"), "50");
    EXPECT_EQ(Eval("engine_PhDotRange('BEACON', 'obj.b')"), Eval("math.sqrt(27*27 + 36*36)"));
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(PhysicsScriptTest, ParametersByKeyAndAlias) {
    ScriptShip& s = Ship("obj.s1", {0, 0, 0});
    TShipPhysicParams& r = *s.ai->GetPhysicParams();
    const struct {
        const char* key;
        float value;
        float TShipPhysicParams::*field;
        float expected;
    } cases[] = {
        {"ph_MaxVelocity", 300, &TShipPhysicParams::maxVelocity, 300},
        {"P1", 310, &TShipPhysicParams::maxVelocity, 310},
        {"p2", 4, &TShipPhysicParams::accelerateTime, 4},
        {"PH_MAXPITCHANGLE", 57.3f, &TShipPhysicParams::maxPitchAngle, 1.0f},
        {"ph_StartMoveAngle", 0, &TShipPhysicParams::startMoveCos, 1.0f},
        {"p3", 7, &TShipPhysicParams::rotateForceMultiply, 7},
        {"ph_RotateFading", 0.5f, &TShipPhysicParams::rotateFading, 0.5f},
        {"p5", 114.6f, &TShipPhysicParams::maxRotateVelocity, 2.0f},
        {"p6", 3, &TShipPhysicParams::rollForceMultiply, 3},
        {"ph_RollFading", 2, &TShipPhysicParams::rollFading, 2},
        {"p8", 28.65f, &TShipPhysicParams::maxRollAngle, 0.5f},
    };
    for (const auto& c : cases) {
        Run(std::string("engine_PhSetObjParam('obj.s1', '") + c.key + "', '" + FloatToStrRaw(c.value) + "')");
        EXPECT_NEAR(r.*c.field, c.expected, 1e-5f) << c.key;
    }
    // The player's jets take the new rotate velocity.
    EXPECT_NEAR(s.ai->PlayerComponent()->VelocityJet().Traction().Force().GetMaxValue(), 2.0f, 1e-5f);
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(PhysicsScriptTest, GunPointsAtTheTargetWithinTheAngle) {
    ScriptShip& gun = Ship("obj.gun", {0, 0, 0});
    ScriptShip& target = Ship("obj.t", {10, 1, 0}); // 5.7 degrees off the barrel
    gun.unit->AddHelper("breech", {0, 0, 0});
    gun.unit->AddHelper("muzzle", {1, 0, 0});
    target.unit->AddHelper("engine", {0, 0, 0});
    gun.unit->UpdateMatrices(nullptr);
    target.unit->UpdateMatrices(nullptr);
    const std::string g = Hex(gun), t = Hex(target);
    EXPECT_EQ(Eval("engine_PhGunGetting('" + g + "', 'breech', 'muzzle', 10, '" + t + "', 'engine')"), "1");
    EXPECT_EQ(PhGunGettingHit, 1);
    EXPECT_EQ(Eval("engine_PhGunGetting('" + g + "', 'breech', 'muzzle', 5, '" + t + "', 'engine')"), "0");
    // Breech and muzzle at one place: no barrel, no hit.
    EXPECT_EQ(Eval("engine_PhGunGetting('" + g + "', 'breech', 'breech', 90, '" + t + "', 'engine')"), "0");
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(PhysicsScriptTest, ParametersAsTextIsAQuery) {
    ScriptShip& s = Ship("obj.s1", {0, 0, 0});
    TBaseRenderUnit* psys = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    GetPhysicsScriptLinks().planetSystem = [psys] { return psys; };
    const std::string text = Eval("engine_GetStringPhParams('" + Hex(s) + "')");
    EXPECT_NE(text.find("ph_MaxVelocity=100\n"), std::string::npos) << text;
    EXPECT_TRUE(trap.reports.empty()); // and the program goes on
    // Not a ship of the scene.
    EXPECT_EQ(FatalOf("engine_GetStringPhParams('" + psys->GetHex() + "')"),
              "engine_GetStringPhParams: not TEngine.FindShipBRU(bru)");
    psys->Free();
}

} // namespace
} // namespace vesk
