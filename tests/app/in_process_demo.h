#pragma once
// The demo game composed in the test's own process on a game folder of the
// test's own, headless or drawing on the GL device into an offscreen window,
// with a clock that moves 16 ms a frame.
#include "game_folder.h"

#include "composition.h"
#include "core/application.h"
#include "core/lua_machine.h"
#include "platform/system.h"
#include "render/render_unit.h"
#include "shared/engine_object.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace vesk::test {

class InProcessDemo : public GameFolderTest {
protected:
    explicit InProcessDemo(bool headless = true) : headless_(headless) {}
    void SetUp() override {
        GameFolderTest::SetUp();
        EnterGameFolder();
        core = ComposeGame(headless_ ? std::vector<std::string>{"-headless"} : std::vector<std::string>{});
        core->Halt = [](int) {};
        ASSERT_TRUE(StartGame(core));
    }
    void TearDown() override {
        if (core) {
            core->Shutdown(true);
            core->Free();
            ReleaseGame();
        }
        LeaveGameFolder();
    }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            clock_.AdvanceMs(16);
            core->Frame();
        }
    }
    // What a chunk of script returns, as text ("" for nil or a fault).
    std::string Lua(const std::string& chunk) {
        lua_State* L = LuaMachine->State();
        std::string out;
        if (luaL_loadstring(L, chunk.c_str()) == 0 && lua_pcall(L, 0, 1, 0) == 0)
            if (const char* s = lua_tostring(L, -1)) out = s;
        lua_settop(L, 0);
        return out;
    }
    // The render unit of a game object of the scripts (obj.<name>); nullptr when it has none.
    TBaseRenderUnit* Unit(const std::string& object) {
        const std::string hex = Lua("return engine_GetVar('obj." + object + ".hex')");
        return FindEngineObjectAs<TBaseRenderUnit>(std::atoi(hex.c_str()));
    }
    // The start-up's checks, then the menu's new game until the ship flies.
    bool StartMission() {
        Frames(50);
        LuaMachine->RunString("engine_Desktop('MenuNewGame::ONMOUSECLICK')");
        for (int i = 0; i < 600 && Lua("return mission.state") != "flying"; ++i) Frames(1);
        return Lua("return mission.state") == "flying";
    }

    ErrorTrap trap;
    TCore* core = nullptr;

private:
    bool headless_;
    platform::ManualClock clock_;
    platform::ScopedClock scopedClock_{clock_};
};

} // namespace vesk::test
