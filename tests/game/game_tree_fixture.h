#pragma once
// A game-object tree with its global lists and pools, driven through a fresh
// Lua host per test.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "core/lua_machine.h"
#include "game/events.h"
#include "game/game_ini_table.h"
#include "game/game_lua.h"
#include "game/game_object.h"
#include "game/lua_text.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "game/tree_functions.h"
#include "platform/files.h"
#include "shared/helpers.h"
#include "support/error_trap.h"

namespace vesk::test {

class GameTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The test's folder is the game folder: saves and profiles may not lead out of it.
        platform::SetExeFolderOverride(dir.path());
        LuaDebugMode = true;
        CreateLuaMachine();
        L = LuaMachine->State();
        RegisterGameTreeClasses();
        RegisterGameTreeFunctions();
        ObjManagersManager = std::make_unique<TObjManagersManager>();
        CreateGameRoot();
        CreateGameGlobalLists();
        Run(std::string("dofile(") + LuaQuote(std::string(VESK_TEST_DATA_DIR) + "/game/tree_io.lua") + ")");
    }

    void TearDown() override {
        SetGameLuaObserver(nullptr);
        SetParamPhysicsLink(nullptr);
        if (GlobalObjects) GlobalObjects->Delete();
        if (DeletedObjects) {
            DeletedObjects->Tick(0.0f);
            DeletedObjects->Free();
        }
        if (TEODestroyManager) TEODestroyManager->Flush();
        ObjManagersManager.reset();
        FreeLuaMachine();
        LuaDebugMode = false;
        platform::SetExeFolderOverride("");
        EXPECT_EQ(nullptr, GlobalObjects);
    }

    void Run(const std::string& chunk) { LuaMachine->RunString(chunk); }
    std::string Global(const char* name) {
        lua_getglobal(L, name);
        std::string v = lua_isstring(L, -1) ? lua_tostring(L, -1) : "";
        lua_pop(L, 1);
        return v;
    }
    // The value of a Lua expression as text.
    std::string Eval(const std::string& expr) {
        Run("r_=" + expr);
        return Global("r_");
    }
    // A frame's list ticks in the order the application runs them.
    void Frame(float dt = 30.0f) {
        if (CreatedObjects) CreatedObjects->Tick(dt);
        if (Created2Objects) Created2Objects->Tick(dt);
        if (TickedObjects) TickedObjects->Tick(dt);
        if (PackedObjects) PackedObjects->Tick(dt);
        if (DeletedObjects) DeletedObjects->Tick(dt);
    }
    bool NoLuaErrors() const {
        for (const auto& r : trap.reports)
            if (r.text.rfind("LUAError", 0) == 0) {
                std::cerr << r.text << "\n";
                return false;
            }
        return true;
    }
    // The first fatal report (what the program would have ended on).
    std::string FirstFatal() const {
        for (const auto& r : trap.reports)
            if (r.flags.find('h') != std::string::npos) return r.text;
        return {};
    }

    ErrorTrap trap;
    TempDir dir;
    lua_State* L = nullptr;
};

// Records the chunks the tree runs.
struct ChunkRecorder {
    ChunkRecorder() {
        SetGameLuaObserver([this](const std::string& c) { chunks.push_back(c); });
    }
    ~ChunkRecorder() { SetGameLuaObserver(nullptr); }
    std::string Joined() const {
        std::string all;
        for (const auto& c : chunks) all += c + "\n";
        return all;
    }
    std::vector<std::string> chunks;
};

} // namespace vesk::test
