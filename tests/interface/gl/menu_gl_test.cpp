// The game's main menu and the start-up checks' widgets, built by their own
// scripts through the tool functions, drawn by the interface service on the GL
// device (llvmpipe, headless) at half the virtual screen's size, and read
// back: the menu's column with its title and buttons and nothing else on the
// screen; the checks' label, bar and video in their own layer, drawn only when
// that layer is shown.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "core/paths.h"
#include "core/services.h"
#include "interface/desktop.h"
#include "interface/device_drawer.h"
#include "interface/interface_services.h"
#include "interface/interface_tools.h"
#include "interface/video_node.h"
#include "interface_screen.h"
#include "platform/files.h"
#include "platform/gfx/gl_device.h"
#include "platform/gl/gl_fixture.h"
#include "render/device.h"
#include "render/texture.h"
#include "support/error_trap.h"

namespace vesk::test {
namespace {

using namespace platform;
namespace fs = std::filesystem;

class MenuGL : public ::testing::Test {
protected:
    void SetUp() override {
        if (!GLHeadlessAvailable()) GTEST_SKIP() << "no GL context can be made";
        // The generated pictures and clip of a game folder, and the demo's script.
        if (!screen_.Open(dir.path())) return;
        TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        CreateLuaMachine();
        InstallInterfaceServices(services_);
        services_.desktop->InitCore();
        services_.desktop->Create();
    }
    void TearDown() override {
        if (services_.desktop) {
            services_.desktop->Release();
            services_.desktop->FreeCore();
        }
        if (TEODestroyManager) TEODestroyManager->Flush();
        TEODestroyManager.reset();
        FreeLuaMachine();
        screen_.Close();
    }

    // The menu and the checks' scripts as the game runs them, the checks'
    // script ticks driven by hand.
    void BuildMenu() {
        // The HUD part builds the controls the desktop binds; its flight needs a game world.
        LuaMachine->RunString(
            "demo = { ticks = {} } function demo.OnInit(n, f) if n ~= 'hud world' then f() end end "
            "function demo.OnTick(n, f) demo.ticks[n] = f end function demo.trace(t) lastTrace = t end "
            "iRootMenu = { BuildVersion = '' } mesh = {}");
        const fs::path scripts = fs::path(VESK_TEST_DATA_DIR).parent_path().parent_path() / "content/Scripts";
        for (const char* part : {"demo/_desktop.lua", "game/hud.lua", "demo/menu.lua",
                                 "demo/text_at_signs.lua", "game/menu.lua"})
            LuaMachine->RunString("dofile(" + LuaQuote((scripts / part).string()) + ")");
        services_.desktop->SetScriptsLoaded();
        services_.desktop->Upload();
        services_.desktop->EndStartup();
        for (int tick = 1; tick <= 20; ++tick) {
            LuaMachine->RunString("demo.ticks.menu(112, " + std::to_string(tick) + ")");
            services_.desktop->FrameTick(16);
        }
    }

    void DrawFrame() { screen_.Draw(*services_.desktop, "VESK_MENU_DUMP"); }
    Rgb At(int vx, int vy) const { return screen_.At(vx, vy); }
    template <class Pred> int Count(int left, int top, int right, int bottom, Pred pred) const {
        return screen_.Count(left, top, right, bottom, pred);
    }
    TSimpleNode* Node(const std::string& name) {
        int status = 0;
        return CurrentDesktop()->ChildByName(name, status, true, false);
    }

    ErrorTrap trap;
    TempDir dir;
    CoreServices services_;
    InterfaceScreen screen_;
};

TEST_F(MenuGL, TheMainMenuAloneReachesTheScreen) {
    BuildMenu();
    ASSERT_TRUE(trap.reports.empty()) << trap.reports[0].text;
    EXPECT_FLOAT_EQ(InterfaceScaleX, 0.5f); // the back buffer over the virtual screen
    DrawFrame();

    // The column's frame along its top edge, its dark panel inside.
    const Rgb frame = At(224, 150);
    EXPECT_NEAR(frame.r, 0x5A, 8);
    EXPECT_NEAR(frame.g, 0xA0, 8);
    EXPECT_NEAR(frame.b, 0xDC, 8);
    const Rgb inside = At(80, 240);
    EXPECT_LT(inside.r + inside.g + inside.b, 120);
    EXPECT_GT(inside.b, inside.r);

    // The title in yellow letters, centred over its orange bar.
    auto yellow = [](Rgb c) { return c.r > 200 && c.g > 170 && c.b < 140; };
    const int title = Count(64, 170, 384, 206, yellow);
    EXPECT_GT(title, 40);
    EXPECT_NEAR(Count(64, 170, 224, 206, yellow), title - Count(64, 170, 224, 206, yellow), title / 3);
    EXPECT_GT(Count(104, 212, 344, 220, [](Rgb c) { return c.r > 170 && c.g > 80 && c.b < 100; }), 30);

    // Each button's label inside it, light on the dark plate; the first place
    // holds "New game" while no flight runs ("Continue" is hidden).
    for (int top : {246, 306, 366, 426}) {
        SCOPED_TRACE(top);
        EXPECT_GT(Count(104, top, 344, top + 46, [](Rgb c) { return c.r > 150 && c.b > 180; }), 15);
    }
    auto* shown = dynamic_cast<TSensNode*>(Node("MenuNewGame"));
    auto* hidden = dynamic_cast<TSensNode*>(Node("MenuContinue"));
    ASSERT_TRUE(shown && hidden);
    EXPECT_TRUE(shown->Visible());
    EXPECT_FALSE(hidden->Visible());

    // Beside the column nothing is drawn but the cursor: the sky and the scene
    // stay in view, and no widget of the checks shows.
    auto drawn = [](Rgb c) { return c.r + c.g + c.b > 0; };
    EXPECT_EQ(Count(392, 0, 1024, 768, drawn) - Count(504, 376, 532, 404, drawn), 0);
    EXPECT_EQ(Count(0, 510, 392, 768, drawn), 0);

    // The pictures the image nodes show: the menu's title bar and the checks'
    // noise (three), the cursor's one shared by both looks; the hidden flight
    // HUD's four (marker frame, radar, blip, gauge) and the noise it shares
    // with the checks: three marker patterns, four blip patterns, two gauges.
    InterfaceTools->UpdateTextureMemory();
    EXPECT_EQ(InterfaceTools->DistinctTextures(), 5 + 4);
    EXPECT_EQ(InterfaceTools->SharedTextures(), 1 + 3 + 2 + 3 + 1);
    EXPECT_EQ(InterfaceTools->TextureMemory(),
              (128 * 32 + 3 * 32 * 32 + 32 * 32 + 64 * 64 + 128 * 128 + 16 * 16 + 128 * 16) * 4);
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(MenuGL, TheChecksWidgetsDrawOnlyWhenTheirLayerIsShown) {
    BuildMenu();
    LuaMachine->RunString("setfast_visible('MainMenu', false) setfast_visible('CursorLayer', false)");
    DrawFrame();
    auto drawn = [](Rgb c) { return c.r + c.g + c.b > 0; };
    EXPECT_EQ(Count(0, 0, 1024, 768, drawn), 0);

    LuaMachine->RunString("setfast_visible('DemoChecks', true)");
    DrawFrame();
    // The wrapped note: its rows do not overlap, the last one ends at the box's bottom.
    auto* note = dynamic_cast<TLabelNode*>(Node("MenuNote"));
    ASSERT_NE(note, nullptr);
    ASSERT_GE(note->Runs().back().row, 1);
    EXPECT_EQ(note->Runs().back().boxY, 76 - 24); // one row of 12-pixel glyphs is 24 virtual pixels here
    auto light = [](Rgb c) { return c.r > 110 && c.b > 150 && c.g > 130; };
    EXPECT_GT(Count(352, 400 + 28, 672, 400 + 52, light), 10);
    // The bar is full after its second of ticks: its first part in the full colour.
    const Rgb bar = At(520, 490);
    EXPECT_NEAR(bar.r, 0x40, 10);
    EXPECT_NEAR(bar.g, 0xE0, 10);
    EXPECT_NEAR(bar.b, 0x70, 10);
    // The video panel shows the clip's first frame: a bright bar down its left edge over a dark field.
    auto* video = dynamic_cast<TVideoNode*>(Node("MenuVideo"));
    ASSERT_NE(video, nullptr);
    ASSERT_NE(video->Video(), nullptr);
    ASSERT_NE(video->Video()->GetTexture(), nullptr);
    const Rgb barInClip = At(434, 580);
    EXPECT_GT(barInClip.r, 180);
    EXPECT_GT(barInClip.g, 150);
    const Rgb field = At(560, 580);
    EXPECT_LT(field.r, 90);
    // Shown or not, the layer takes no key: the contact's edit field keeps its text.
    auto* edit = dynamic_cast<TEditNode*>(Node("ContactEdit"));
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(edit->Editing());
    for (int key : {44, 45, 37, 36}) EXPECT_EQ(DispatchKey(CurrentDesktop(), key, 0), nullptr) << key;
    EXPECT_EQ(edit->Text(), "wing@|");
    EXPECT_TRUE(trap.reports.empty());
}

} // namespace
} // namespace vesk::test
