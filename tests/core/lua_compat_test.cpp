#include <gtest/gtest.h>

#include "core/lua_compat.h"
#include "lua_test_support.h"

namespace vesk::test {
namespace {

TEST(LuaCompat, StatusNumbersFollowLua50) {
    const std::pair<int, int> cases[] = {
        {0, 0}, {LUA_ERRRUN, 1}, {LUA_ERRFILE, 2}, {LUA_ERRSYNTAX, 3}, {LUA_ERRMEM, 4}, {LUA_ERRERR, 5}};
    for (auto [status, expected] : cases) EXPECT_EQ(LuaStatusTo50(status), expected) << status;
}

using LuaCompatScript = LuaMachineTest;

// A script in the style the game's content is written in.
TEST_F(LuaCompatScript, Lua50ScriptRuns) {
    LuaDebugMode = true;
    LuaMachine->RunString(R"lua(
function count(...) return arg.n end
r_arg = count(1, nil, 3, nil)
t = {1, 2, 3}
r_getn = table.getn(t)
r_getn_n = table.getn({n = 5, 1})
table.setn(t, 10)
r_setn = table.getn(t)
u = {n = 2, 7, 8, 9}
table.setn(u, 3)
r_setn_n = u.n
words = ""
for w in string.gfind("one two three", "%a+") do words = words .. w .. ";" end
r_mod = math.mod(-7, 3)
collectgarbage(0)
r_loadlib = type(loadlib)
r_os = type(os.time())
r_io = type(io.write)
r_order = type(string.format) .. type(debug.getinfo) .. type(table.insert) .. type(math.floor)
)lua");
    EXPECT_TRUE(trap.reports.empty()) << (trap.reports.empty() ? "" : trap.reports[0].text);
    EXPECT_EQ(Global("r_arg"), "4");
    EXPECT_EQ(Global("r_getn"), "3");
    EXPECT_EQ(Global("r_getn_n"), "5");
    EXPECT_EQ(Global("r_setn"), "10");
    EXPECT_EQ(Global("r_setn_n"), "3");
    EXPECT_EQ(Global("words"), "one;two;three;");
    EXPECT_EQ(Global("r_mod"), "-1");
    EXPECT_EQ(Global("r_loadlib"), "function");
    EXPECT_EQ(Global("r_os"), "number");
    EXPECT_EQ(Global("r_io"), "function");
    EXPECT_EQ(Global("r_order"), "functionfunctionfunctionfunction");
}

} // namespace
} // namespace vesk::test
