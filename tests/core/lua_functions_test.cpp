#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/lua_functions.h"
#include "lua_test_support.h"

namespace vesk::test {
namespace {

int Desktop(lua_State* L) {
    lua_pushstring(L, "desktop");
    return 1;
}
int SetPos(lua_State* L) {
    lua_pushnumber(L, lua_gettop(L));
    return 1;
}

using EngineFunctions = LuaMachineTest;

TEST_F(EngineFunctions, TableHoldsEveryNameOnceInOrder) {
    auto table = EngineFunctionTable();
    ASSERT_EQ(table.size(), 122u);
    std::set<std::string> names;
    for (const auto& e : table) names.insert(e.name);
    EXPECT_EQ(names.size(), 122u);
    EXPECT_STREQ(table[0].name, "engine_Include");
    EXPECT_STREQ(table[78].name, "engine_ParseRefFile");
    EXPECT_STREQ(table[79].name, "engine_ParseRefFiles");
    EXPECT_STREQ(table[120].name, "Lua_SetJoyAction");
    EXPECT_STREQ(table[121].name, "engine_SetPostEffectMode");
}

TEST_F(EngineFunctions, EveryNameIsAGlobalFunctionAndAliasesAreTheSameFunction) {
    for (const auto& e : EngineFunctionTable()) {
        lua_getglobal(L, e.name);
        EXPECT_TRUE(lua_iscfunction(L, -1)) << e.name;
        lua_pop(L, 1);
    }
    const std::pair<const char*, const char*> aliases[] = {{"engine_CameraSetOri", "engine_CameraSetPos"},
                                                           {"engine_CameraGetOri", "engine_CameraGetPos"},
                                                           {"set", "engine_Desktop"},
                                                           {"run", "engine_Desktop"}};
    for (auto [alias, name] : aliases) {
        lua_getglobal(L, alias);
        lua_getglobal(L, name);
        EXPECT_TRUE(lua_rawequal(L, -1, -2)) << alias;
        lua_pop(L, 2);
    }
    // Names of their own are distinct functions.
    lua_getglobal(L, "engine_CameraSetPos");
    lua_getglobal(L, "engine_CameraGetPos");
    EXPECT_FALSE(lua_rawequal(L, -1, -2));
    lua_pop(L, 2);
}

TEST_F(EngineFunctions, HandlersInstalledBeforeOrAfterStartServeTheirAliases) {
    ASSERT_TRUE(SetEngineFunction("run", Desktop)); // through an alias
    FreeLuaMachine();
    CreateLuaMachine();
    L = LuaMachine->State();
    ASSERT_TRUE(SetEngineFunction("engine_CameraSetPos", SetPos)); // after start
    LuaMachine->RunString("a = engine_Desktop() b = set() c = run() d = engine_CameraSetOri(1, 2, 3)");
    EXPECT_EQ(Global("a"), "desktop");
    EXPECT_EQ(Global("b"), "desktop");
    EXPECT_EQ(Global("c"), "desktop");
    EXPECT_EQ(Global("d"), "3");
    EXPECT_EQ(GetEngineFunction("set"), Desktop);
    EXPECT_FALSE(SetEngineFunction("engine_NoSuchThing", Desktop));
    EXPECT_EQ(GetEngineFunction("engine_NoSuchThing"), nullptr);
    SetEngineFunction("engine_Desktop", nullptr);
    SetEngineFunction("engine_CameraSetPos", nullptr);
}

TEST_F(EngineFunctions, NameWithoutHandlerRaisesAScriptErrorNamingIt) {
    LuaDebugMode = true;
    LuaMachine->RunString("engine_KW1()");
    ASSERT_EQ(trap.reports.size(), 1u);
    EXPECT_EQ(trap.reports[0].text,
              "LUAError (0): [string \"DoString\"]:1: engine_KW1: not available Task: <engine_KW1()>");
    trap.reports.clear();
    LuaMachine->RunString("set()");
    ASSERT_EQ(trap.reports.size(), 1u);
    EXPECT_EQ(trap.reports[0].text,
              "LUAError (0): [string \"DoString\"]:1: engine_Desktop: not available Task: <set()>");
}

} // namespace
} // namespace vesk::test
