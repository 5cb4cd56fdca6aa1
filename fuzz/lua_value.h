#pragma once
// Lua values of every kind taken from a fuzz input, for the harnesses that
// fill the game's script tables.
#include "core/lua_machine.h"
#include "fuzz_support.h"

#include <cstddef>
#include <string>

namespace fuzz {

// One value on top of the stack, as the input says: a text of the input (up
// to textMax bytes), one of `words`, a number, a boolean or, while depth > 0,
// a list of such values. Nothing pushed: false.
template <std::size_t N>
bool PushLuaValue(lua_State* L, Bytes& in, int depth, const char* const (&words)[N], std::size_t textMax) {
    switch (in.U8() % (depth > 0 ? 6 : 5)) {
    case 0:
        return false;
    case 1: {
        const std::string t = in.Text(textMax);
        lua_pushlstring(L, t.data(), t.size());
        return true;
    }
    case 2:
        lua_pushstring(L, words[in.U8() % N]);
        return true;
    case 3:
        lua_pushnumber(L, in.F32());
        return true;
    case 4:
        lua_pushboolean(L, in.U8() & 1);
        return true;
    default: {
        lua_newtable(L);
        const int n = in.U8() % 5;
        for (int i = 1; i <= n; ++i)
            if (PushLuaValue(L, in, depth - 1, words, textMax)) lua_rawseti(L, -2, i);
        return true;
    }
    }
}

} // namespace fuzz
