#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/lua_readers.h"
#include "core/paths.h"
#include "lua_test_support.h"
#include "platform/files.h"

namespace vesk::test {
namespace {

using LuaReaders = LuaMachineTest;

TEST_F(LuaReaders, GameTableKeysEndAtEachCaret) {
    LuaDebugMode = true;
    LuaMachine->RunString("tables = {fx = 'a^b^c', full = 'a^b^c^', none = '', one = 'x^', blanks = '^^'} "
                          "function GetGameTable(n) return tables[n] end");
    const struct {
        const char* table;
        std::vector<std::string> keys;
    } cases[] = {
        {"fx", {"a", "b"}}, // text after the last "^" is dropped
        {"full", {"a", "b", "c"}}, {"none", {}}, {"one", {"x"}}, {"blanks", {"", ""}},
    };
    for (const auto& c : cases) EXPECT_EQ(c.keys, CallGetGameTable(c.table)) << c.table;
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(LuaReaders, GuardedReadsOfMissingLevelsGiveEmptyText) {
    LuaDebugMode = true; // any script fault would be reported
    LuaMachine->RunString("ship = {name = 'Hawk', params = {durability = 250.5}, list = {'a', {x = 'deep'}}} "
                          "mesh = {['a.b'] = {kwsubobjects = {'s1'}}}");
    const struct {
        const char* expr;
        const char* value;
    } cases[] = {
        {"ship.name", "Hawk"},
        {"ship.params.durability", "250.5"},
        {"ship.list[2].x", "deep"},
        {"mesh[\"a.b\"].kwsubobjects[1]", "s1"},
        {"ship.none.durability", ""},
        {"nothing.params.durability", ""},
        {"ship.list[5].x", ""},
        {"mesh[\"c.d\"].kwsubobjects[1]", ""},
        {"ship.params", ""}, // a table reads as empty text
        {"1.5", "1.5"},
    };
    for (const auto& c : cases) EXPECT_EQ(GetLuaString(c.expr, true), c.value) << c.expr;
    EXPECT_TRUE(trap.reports.empty()) << trap.reports[0].text;

    // Without the guard a missing level is a script fault, and `a` stays empty.
    EXPECT_EQ(GetLuaString("ship.none.durability", false), "");
    ASSERT_EQ(trap.reports.size(), 1u);
    EXPECT_EQ(trap.reports[0].text.rfind("LUAError (0): ", 0), 0u);

    // The guard tests the levels outermost first, each in its own "if"; a call is no level.
    EXPECT_EQ(GetLuaString("ship.list[2].x.y()", true), "");
    ASSERT_EQ(trap.reports.size(), 2u);
    const std::string task =
        " Task: <if ship ~= nil then if ship.list ~= nil then if ship.list[2] ~= nil then "
        "if ship.list[2].x ~= nil then a=ship.list[2].x.y() end end end end>";
    const std::string& fault = trap.reports[1].text;
    EXPECT_EQ(fault.substr(fault.size() - std::min(fault.size(), task.size())), task);
}

TEST_F(LuaReaders, ReadWithDefault) {
    LuaMachine->RunString("m = {maps = {1, 2, 3}}");
    EXPECT_EQ(GetLuaStringDef("m", "table.getn(m.maps)", ""), "3");
    EXPECT_EQ(GetLuaStringDef("other", "table.getn(other.maps)", "0"), "0");
    EXPECT_EQ(GetLuaStringDef("other", "x", "say \"hi\" \\ ]]"), "say \"hi\" \\ ]]");
}

TEST_F(LuaReaders, EntryPointsAndSlashes) {
    LuaMachine->RunString("ticks = 0 function obj_Tick(ms) ticks = ticks + ms end");
    CallObjTick(100);
    CallObjTick(-5);
    EXPECT_EQ(Global("ticks"), "95");

    TempDir dir;
    ASSERT_TRUE(platform::CreateFolders(dir / "data/Scripts"));
    ASSERT_TRUE(platform::WriteFile(dir / "data/Scripts/main.lua", "started = true\n"));
    const std::string data = dir / "data/";
    DataPath = data;
    RunMainScript();
    DataPath.clear();
    LuaMachine->RunString("s = tostring(started)");
    EXPECT_EQ(Global("s"), "true");

    EXPECT_EQ(BackslashesToSlashes("Textures\\general\\checker.bmp"), "Textures/general/checker.bmp");
    EXPECT_EQ(BackslashesToSlashes(""), "");
}

TEST(LuaReadersWithoutMachine, GiveEmptyTextAndDoNothing) {
    ASSERT_FALSE(LuaMachine);
    EXPECT_EQ(GetLuaString("x.y", true), "");
    EXPECT_EQ(GetLuaStringDef("x", "x.y", "d"), "d");
    CallObjTick(1);
    RunMainScript();
}

} // namespace
} // namespace vesk::test
