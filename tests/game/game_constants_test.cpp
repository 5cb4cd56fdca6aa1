// The game constants "bal" and the start-up of the game world's roots.
#include "core/services.h"
#include "game/game_constants.h"
#include "game/game_services.h"
#include "game/params.h"
#include "game_logic_fixture.h"

namespace vesk::test {
namespace {

using Constants = GameLogicTest;

TEST_F(Constants, DefaultsKeysAndKinds) {
    ASSERT_NE(nullptr, GameConstants);
    EXPECT_EQ(GameConstants, FindVarByPath("bal"));
    const struct {
        const char* key;
        float value;
    } cases[] = {
        {"maxOverheatValue", 0},
        {"forsageAccselerationTime", 0},
        {"lastBoomRangeKoeff", 0},
        {"playerShipMaxAttackers", 1},
        {"playerShipDamagedProcent", 50},
        {"t_limit", 100},
        {"t_mode", 50},
        {"t_force", 5},
        {"t_normalize", 2},
        {"t_damage_crash", 3},
        {"t_damage_enemy", 2},
        {"t_damage_attack", 1},
        {"t_freeze", 5},
        {"t_low_speed_freeze_speed", 0.5f},
        {"t_stealth_speed", 0.5f},
        {"t_stealth_reload", 0.7f},
        {"t_berserker_reload", 1.3f},
        {"t_berserker_attack", 2},
        {"t_berserker_damage", 5},
        {"f_escapeDelay", 0},
    };
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(c.value, std::stof(Eval(std::string("engine_GetVar('bal.") + c.key + "')"))) << c.key;
    EXPECT_EQ(40, GameConstants->CountChildren());
    EXPECT_EQ("TGameObjectIntParam", FindVarByPath("bal.playerShipMaxAttackers")->ClassName());
    EXPECT_EQ("TGameObjectSubParam", FindVarByPath("bal.cockpitVelocity")->ClassName());

    // Scripts set them by path; the game logic reads them through its references.
    Run("engine_SetVar('bal.t_limit', '120.5') engine_SetVar('bal.maxOverheatValue', '300') "
        "engine_SetVar('bal.playerShipMaxAttackers', '3') engine_SetVar('bal.f_escapeDelay', '2.5')");
    EXPECT_FLOAT_EQ(120.5f, GameConstants->Get(GameConstant::t_limit));
    EXPECT_FLOAT_EQ(300.0f, GameConstants->Get(GameConstant::maxOverheatValue));
    EXPECT_FLOAT_EQ(2.5f, GameConstants->Get(GameConstant::f_escapeDelay));
    // The constants' own Get does not hide the lookup of a child by name.
    EXPECT_EQ(GameConstants->Get("t_limit"), GameConstants->Param(GameConstant::t_limit));
    EXPECT_EQ(3, GameConstants->PlayerShipMaxAttackers());
    EXPECT_TRUE(NoLuaErrors());

    EXPECT_THROW(Run("engine_SetVar('bal.playerShipMaxAttackers', 'many')"), Halted);
    EXPECT_EQ("Exception kws2i: _str=many: TGameObjectIntParam.stringUpdate error "
              "->playerShipMaxAttackers->bal->_G",
              FirstFatal());
}

TEST_F(Constants, SavedAsLuaNumbersWithTheIntegerQuoted) {
    ChunkRecorder rec;
    GameConstants->UpdateToScript("b");
    const std::string text = rec.Joined();
    EXPECT_NE(std::string::npos, text.find("b[\"t_limit\"]=100\n")) << text;
    EXPECT_NE(std::string::npos, text.find("b[\"playerShipMaxAttackers\"]=\"1\"\n")) << text;
    EXPECT_EQ("100", Eval("b.t_limit"));
}

// The game world's start-up makes "gameSystem" and "bal" after "ini".
TEST(GameWorldStartUp, RootsInOrderAndConstantsWithoutScripts) {
    ErrorTrap trap;
    LuaDebugMode = true;
    CreateLuaMachine();
    CoreServices services;
    InstallGameServices(services);
    IGameWorld& world = *services.game;
    world.CreateObjManagers();
    world.CreateRoots();
    world.CreateGameVars();
    ASSERT_NE(nullptr, GlobalObjects);
    ASSERT_NE(nullptr, Statistics);
    std::string roots;
    int32_t cursor;
    TBaseGameObject* child;
    GlobalObjects->First(cursor);
    while (GlobalObjects->Next(cursor, child)) roots += child->GetName() + " ";
    EXPECT_EQ(0u, roots.find("emptyObjects ini gameSystem bal ")) << roots;
    LuaMachine->RunString("tl = engine_GetVar('bal.t_limit') "
                          "mo = engine_GetVar('bal.maxOverheatValue')");
    lua_State* L = LuaMachine->State();
    auto global = [L](const char* name) {
        lua_getglobal(L, name);
        std::string v = lua_tostring(L, -1) ? lua_tostring(L, -1) : "";
        lua_pop(L, 1);
        return v;
    };
    EXPECT_EQ("100", global("tl"));
    EXPECT_EQ("0", global("mo"));

    world.TickStatistics(1000.0f);
    world.FinishStatistics();
    world.DeleteItems();
    world.DeleteTree();
    world.TickList("deleted", 0.0f);
    world.ReleaseManagers();
    world.DeleteStatistics();
    EXPECT_EQ(nullptr, Statistics);
    world.TickList("deleted", 0.0f);
    world.ReleaseDeleted();
    if (TEODestroyManager) TEODestroyManager->Flush();
    FreeLuaMachine();
    LuaDebugMode = false;
    EXPECT_EQ(nullptr, GlobalObjects);
    EXPECT_EQ(nullptr, GameConstants);
    EXPECT_TRUE(trap.reports.empty()) << trap.reports[0].text;
}

} // namespace
} // namespace vesk::test
