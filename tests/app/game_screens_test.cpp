// What the player sees of the demo on the GL device, in the game composed in
// the test's own process: the loading screen while the mission's system
// loads, the target panel's ship turning, "DESTROYED" on it when the selected
// raider is shot down, and the world in grey behind the summary once the
// player's ship is lost. Pictures are taken with the game's own screenshots.
#include <gtest/gtest.h>

#include "in_process_demo.h"
#include "screen_picture.h"

#include "core/lua_machine.h"
#include "interface/desktop.h"
#include "interface/interface_services.h"
#include "interface/video_node.h"
#include "platform/files.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/multirole.h"
#include "render/viewport_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace vesk {
namespace {

namespace fs = std::filesystem;

using test::Rgb;
using Shot = test::ScreenPicture;

class GameScreens : public test::InProcessDemo {
protected:
    GameScreens() : InProcessDemo(false) {}
    // The screenshots taken so far, oldest first.
    std::vector<std::string> Shots() {
        std::vector<fs::path> files;
        if (fs::is_directory(game + "/screenshots"))
            for (const auto& e : fs::directory_iterator(game + "/screenshots")) files.push_back(e.path());
        std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
            return fs::last_write_time(a) < fs::last_write_time(b);
        });
        std::vector<std::string> out;
        for (const auto& f : files) out.push_back(f.string());
        return out;
    }
    // A picture of the next frame the game presents.
    Shot NextPicture() {
        const size_t before = Shots().size();
        Engine->RequestScreenshot();
        Frames(1);
        const std::vector<std::string> shots = Shots();
        EXPECT_EQ(shots.size(), before + 1);
        return Shot(shots.empty() ? std::string() : shots.back());
    }
};

TEST_F(GameScreens, TheLoadingScreenIsPresentedWhileTheMissionsSystemLoads) {
    ASSERT_TRUE(Device);
    Frames(50);
    // The next picture presented is taken: the game must present one during the load.
    Engine->RequestScreenshot();
    LuaMachine->RunString("engine_Desktop('MenuNewGame::ONMOUSECLICK')");
    const std::vector<std::string> shots = Shots();
    ASSERT_EQ(shots.size(), 1u) << "nothing was presented while the system loaded";
    const Shot loading(shots[0]);
    ASSERT_TRUE(loading.Valid());
    auto green = [](const Rgb& p) { return p.g > 180 && p.r < 110 && p.b < 160; };
    auto dark = [](const Rgb& p) {
        return std::abs(p.r - 8) <= 4 && std::abs(p.g - 16) <= 4 && std::abs(p.b - 24) <= 4;
    };
    // The loading screen's dark plate over the whole screen, the bar begun at
    // its left end and not yet full.
    EXPECT_GT(loading.Count(20, 20, 300, 300, dark), 1000);
    EXPECT_GT(loading.Count(316, 404, 330, 418, green), 10);
    EXPECT_EQ(loading.Count(600, 404, 700, 418, green), 0);
    // The title above it, in yellow letters.
    EXPECT_GT(
        loading.Count(312, 330, 712, 370, [](const Rgb& p) { return p.r > 200 && p.g > 180 && p.b < 130; }),
        5);
    for (int i = 0; i < 600 && Lua("return mission.state") != "flying"; ++i) Frames(1);
    EXPECT_EQ(Lua("return mission.state"), "flying");
    EXPECT_EQ(Lua("return tostring(getfast_visible('GameLoading'))"), "false");
}

TEST_F(GameScreens, TheTargetPanelTurnsItsShipSaysDestroyedAndALostShipTurnsTheWorldGrey) {
    ASSERT_TRUE(StartMission());
    Frames(30);
    LuaMachine->RunString("engine_Serv('TARGET', 'NEARESTENEMY')");
    Frames(5);
    const std::string raider = Lua("return player.selected");
    ASSERT_FALSE(raider.empty());

    // The raider's model turns in the target panel from frame to frame.
    TDeskTop* desk = CurrentDesktop();
    ASSERT_NE(desk, nullptr);
    int status = 0;
    auto* view = dynamic_cast<TViewportNode*>(desk->GetChildNode("TargetViewport", status, false));
    ASSERT_NE(view, nullptr);
    ASSERT_NE(view->Scene(), nullptr);
    TBaseRenderUnit* ship = nullptr;
    view->Scene()->Root()->ForEachInTree(
        [&ship](TBaseRenderUnit* u, void*) {
            if (u->ClassName() == "ShipClass") ship = u;
            return ship == nullptr;
        },
        nullptr);
    ASSERT_NE(ship, nullptr);
    auto heading = [ship] {
        return std::atan2(ship->GetWorldMatrix().m[0][1], ship->GetWorldMatrix().m[0][0]);
    };
    const float first = heading();
    Frames(10);
    EXPECT_GT(std::fabs(heading() - first), 1e-3f);

    // Shot down by the player's ship while selected: "DESTROYED" on its panel.
    // The ship's autopilot flies the attack, as the self-playing pilot has it do.
    EXPECT_EQ(Lua("return tostring(get_visible('KillMessage'))"), "false");
    LuaMachine->RunString("ai.autopilot = { engineType = 'TGameObjectShipAIModel', maxAttackRange = 1400, "
                          "minAttackRange = 250 } "
                          "local s = 'obj.' .. game.ShipId() "
                          "engine_SetVar('" +
                          raider +
                          ".param.shield', '0') "
                          "engine_SetVar('" +
                          raider +
                          ".param.armor', '0') "
                          "engine_SetVar('" +
                          raider +
                          ".param.durability', '1') "
                          "engine_SetVar('player.selfShipControl', '0') "
                          "engine_SetVar(s .. '.ai_model', 'autopilot') "
                          "engine_Execute(s .. '.ai.onInit') "
                          "engine_SetVar(s .. '.ai.curEnemy', '0') "
                          "engine_SetVar(s .. '.ai.attackEnemy', engine_GetHex('" +
                          raider +
                          "')) "
                          "engine_Execute(s .. '.ai.onScan')");
    for (int i = 0; i < 3000 && Lua("return engine_GetVar('" + raider + ".isDestroyed')") != "1"; ++i)
        Frames(1);
    ASSERT_EQ(Lua("return engine_GetVar('" + raider + ".isDestroyed')"), "1");
    EXPECT_EQ(Lua("return tostring(get_visible('KillMessage'))"), "true");
    EXPECT_EQ(Lua("return player.selected"), raider);
    EXPECT_GT(Lua("return engine_GetVar('player.statistics.destroyedEnemyCounter')"), "0");

    // The world in colour while flying; grey behind the summary once the ship is lost.
    auto grey = [](const Rgb& p) { return std::abs(p.r - p.g) <= 3 && std::abs(p.g - p.b) <= 3; };
    const Shot flying = NextPicture();
    ASSERT_TRUE(flying.Valid());
    const int area = flying.Count(340, 20, 680, 120, [](const Rgb&) { return true; });
    EXPECT_LT(flying.Count(340, 20, 680, 120, grey), area * 9 / 10);
    LuaMachine->RunString("engine_SetVar('obj.' .. game.ShipId() .. '.isDestroyed', '1')");
    // The mission's script tick runs once per 100 ms of game time.
    for (int i = 0; i < 20 && Lua("return mission.state") != "over"; ++i) Frames(1);
    ASSERT_EQ(Lua("return mission.state"), "over");
    const Shot lost = NextPicture();
    ASSERT_TRUE(lost.Valid());
    EXPECT_GT(lost.Count(340, 20, 680, 120, grey), area * 95 / 100);
}

} // namespace
} // namespace vesk
