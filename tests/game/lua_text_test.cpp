// Lua string forms of generated text: ordinary text keeps the classic form,
// anything else still reads back unchanged.
#include <gtest/gtest.h>

#include <lua.hpp>
#include <string>

#include "game/lua_text.h"

namespace vesk::test {
namespace {

// What Lua reads from `return <literal>`.
std::string ReadBack(const std::string& literal) {
    lua_State* L = luaL_newstate();
    std::string out = "<error>";
    const std::string chunk = "return " + literal;
    if (luaL_loadbuffer(L, chunk.data(), chunk.size(), "t") == 0 && lua_pcall(L, 0, 1, 0) == 0 &&
        lua_isstring(L, -1)) {
        size_t len = 0;
        const char* s = lua_tolstring(L, -1, &len);
        out.assign(s, len);
    }
    lua_close(L);
    return out;
}

TEST(LuaText, OrdinaryTextKeepsTheClassicForms) {
    EXPECT_EQ("[[plain text]]", LuaLongString("plain text"));
    EXPECT_EQ("[[]]", LuaLongString(""));
    EXPECT_EQ("[[a [b] c]]", LuaLongString("a [b] c"));
    EXPECT_EQ("[\"name\"]", LuaSubscript("name"));
}

TEST(LuaText, AwkwardTextReadsBackUnchanged) {
    const std::string cases[] = {"a]]b",
                                 "[[",
                                 "x[[y]]z",
                                 "ends]",
                                 "]",
                                 "]=]",
                                 "a]=",
                                 "]==]]=]]",
                                 "\nlead",
                                 "cr\r\nlf",
                                 "tab\tq\"\\",
                                 std::string("nul\0in", 6),
                                 std::string("en\0"
                                             "0\0",
                                             5),
                                 "\xC0\xFF"};
    for (const std::string& s : cases) {
        EXPECT_EQ(s, ReadBack(LuaLongString(s))) << LuaLongString(s);
        EXPECT_EQ(s, ReadBack(LuaQuote(s))) << LuaQuote(s);
    }
    EXPECT_EQ("[=[a]]b]=]", LuaLongString("a]]b"));
}

} // namespace
} // namespace vesk::test
