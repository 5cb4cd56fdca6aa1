#pragma once
// A fresh Lua machine per test, with the debug switch restored afterwards.
#include <gtest/gtest.h>

#include "core/lua_machine.h"
#include "platform/files.h"
#include "platform/system.h"
#include "shared/errors.h"
#include "support/error_trap.h"

#include <string>

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

// Slow work as a chunk's timer sees it: the Lua function "slow" moves the
// clock it is given by the milliseconds it is given.
struct SlowWork {
    static inline platform::ManualClock* clock = nullptr;
    static inline double ms = 1500;
    static int Call(lua_State*) {
        clock->AdvanceMs(ms);
        return 0;
    }
    SlowWork(platform::ManualClock& c, double milliseconds) {
        clock = &c;
        ms = milliseconds;
        LuaMachine->RegisterFunction("slow", Call);
    }
};

// The fast logs on, in a folder of the test's own, while this lives.
class LoggingInto {
public:
    explicit LoggingInto(std::string folder) : folder_(std::move(folder)), old_(LogFolder()) {
        SetLogFolder(folder_);
        LogEnabled = true;
    }
    ~LoggingInto() {
        LogEnabled = false;
        SetLogFolder(old_);
    }
    LoggingInto(const LoggingInto&) = delete;
    LoggingInto& operator=(const LoggingInto&) = delete;
    // What a log file holds now.
    std::string Text(const std::string& file) {
        FastLogFlush();
        std::string text;
        platform::ReadFile(folder_ + "/" + file, text);
        return text;
    }

private:
    std::string folder_, old_;
};

} // namespace vesk::test
