#pragma once
// A fresh Lua machine per test, with the debug switch restored afterwards.
#include <gtest/gtest.h>

#include "core/lua_machine.h"
#include "support/error_trap.h"

namespace vesk::test {

class LuaMachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        LuaDebugMode = false;
        CreateLuaMachine();
        L = LuaMachine->State();
    }
    void TearDown() override {
        FreeLuaMachine();
        LuaDebugMode = false;
    }
    // Runs a chunk and returns the global `name` as text ("" when not a string or number).
    std::string Global(const char* name) {
        lua_getglobal(L, name);
        std::string v = lua_isstring(L, -1) ? lua_tostring(L, -1) : "";
        lua_pop(L, 1);
        return v;
    }

    ErrorTrap trap;
    lua_State* L = nullptr;
};

} // namespace vesk::test
