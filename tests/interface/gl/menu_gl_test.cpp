// The demo's main menu, built by its own script through the tool functions,
// drawn by the interface service on the GL device (llvmpipe, headless) at half
// the virtual screen's size, and read back: the panel's picture and frame, the
// title plate with its text, the buttons' labels, the full bar and the video.
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

constexpr uint32_t kW = 512, kH = 384;

struct Rgb {
    int r, g, b;
};

class MenuGL : public ::testing::Test {
protected:
    void SetUp() override {
        if (!GLHeadlessAvailable()) GTEST_SKIP() << "no GL context can be made";
        oldFolder_ = CurrentFolder();
        // The generated pictures and clip of a game folder, and the demo's script.
        ASSERT_EQ(
            std::system(
                ("'" + std::string(VESK_BUILD_DIR) + "/contentgen' '" + dir.path() + "' >/dev/null").c_str()),
            0);
        SetCurrentFolder(dir.path());
        DataPath.clear();

        const D3DPRESENT_PARAMETERS pp = gltest::MakeHeadlessDevice(kW, kH, d3d_, dev_);
        ASSERT_TRUE(dev_);
        Device = dev_;
        PresentParameters = pp;
        ResetDeviceStateCache();
        RE_CreateTextureManager();

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
        RE_FreeTextureManager();
        ClearCachedTextures();
        Device = nullptr;
        PresentParameters = {};
        if (!oldFolder_.empty()) SetCurrentFolder(oldFolder_);
    }

    // The menu script as the game runs it, its script ticks driven by hand.
    void BuildMenu() {
        LuaMachine->RunString(
            "demo = { ticks = {} } function demo.OnInit(n, f) f() end "
            "function demo.OnTick(n, f) demo.ticks[n] = f end function demo.trace(t) lastTrace = t end "
            "iRootMenu = { BuildVersion = '' }");
        const std::string script =
            (fs::path(VESK_TEST_DATA_DIR).parent_path().parent_path() / "content/Scripts/demo/menu.lua")
                .string();
        LuaMachine->RunString("dofile(" + LuaQuote(script) + ")");
        services_.desktop->SetScriptsLoaded();
        services_.desktop->Upload();
        services_.desktop->EndStartup();
        for (int tick = 1; tick <= 20; ++tick) {
            LuaMachine->RunString("demo.ticks.menu(112, " + std::to_string(tick) + ")");
            services_.desktop->FrameTick(16);
        }
    }

    void DrawFrame() {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        dev_->BeginScene();
        services_.desktop->Update();
        services_.desktop->Render();
        dev_->EndScene();
        frame_ = ReadBack();
        if (const char* dump = std::getenv("VESK_MENU_DUMP")) {
            std::string ppm = "P6\n" + std::to_string(kW) + " " + std::to_string(kH) + "\n255\n";
            for (size_t i = 0; i < frame_.size(); i += 4) {
                ppm += static_cast<char>(frame_[i + 2]);
                ppm += static_cast<char>(frame_[i + 1]);
                ppm += static_cast<char>(frame_[i]);
            }
            WriteFile(dump, ppm);
        }
    }

    std::vector<uint8_t> ReadBack() {
        Ref<IDirect3DSurface9> rt, sys;
        dev_->GetRenderTarget(0, rt.Put());
        EXPECT_EQ(
            dev_->CreateOffscreenPlainSurface(kW, kH, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, sys.Put(), nullptr),
            D3D_OK);
        EXPECT_EQ(dev_->GetRenderTargetData(rt.Get(), sys.Get()), D3D_OK);
        D3DLOCKED_RECT lr;
        EXPECT_EQ(sys->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        std::vector<uint8_t> out(size_t(kW) * kH * 4);
        for (uint32_t y = 0; y < kH; ++y)
            std::memcpy(out.data() + size_t(y) * kW * 4,
                        static_cast<uint8_t*>(lr.pBits) + size_t(y) * lr.Pitch, kW * 4);
        sys->UnlockRect();
        return out;
    }
    // A pixel at a virtual-screen point (half size on this screen).
    Rgb At(int vx, int vy) const {
        const uint8_t* p = frame_.data() + (size_t(vy / 2) * kW + size_t(vx / 2)) * 4;
        return {p[2], p[1], p[0]};
    }
    // Pixels of a virtual rectangle that pass a test.
    template <class Pred> int Count(int left, int top, int right, int bottom, Pred pred) const {
        int n = 0;
        for (int y = top / 2; y < bottom / 2; ++y)
            for (int x = left / 2; x < right / 2; ++x) {
                const uint8_t* p = frame_.data() + (size_t(y) * kW + size_t(x)) * 4;
                n += pred(Rgb{p[2], p[1], p[0]}) ? 1 : 0;
            }
        return n;
    }
    TSimpleNode* Node(const std::string& name) {
        int status = 0;
        return CurrentDesktop()->ChildByName(name, status, true, false);
    }

    ErrorTrap trap;
    TempDir dir;
    CoreServices services_;
    Ref<IDirect3D9> d3d_;
    Ref<IDirect3DDevice9> dev_;
    std::vector<uint8_t> frame_;
    std::string oldFolder_;
};

TEST_F(MenuGL, TheDemoMenuReachesTheScreen) {
    BuildMenu();
    ASSERT_TRUE(trap.reports.empty()) << trap.reports[0].text;
    EXPECT_FLOAT_EQ(InterfaceScaleX, 0.5f); // the back buffer over the virtual screen
    DrawFrame();

    // The panel's picture: its blue gradient where no child covers it.
    const Rgb panel = At(330, 300);
    EXPECT_GT(panel.b, panel.r + 40);
    EXPECT_GT(panel.b, 60);
    // Its frame along the top edge.
    const Rgb frame = At(500, 84);
    EXPECT_NEAR(frame.r, 0x5A, 8);
    EXPECT_NEAR(frame.g, 0xA0, 8);
    EXPECT_NEAR(frame.b, 0xDC, 8);

    // The title plate is orange; white pixels on it are the title's text.
    const Rgb plate = At(356, 112);
    EXPECT_GT(plate.r, 170);
    EXPECT_LT(plate.b, 60);
    auto white = [](Rgb c) { return c.r > 200 && c.g > 200 && c.b > 200; };
    const int titleText = Count(352, 108, 672, 172, white);
    EXPECT_GT(titleText, 40);
    // Centred: as much text left of the plate's middle as right of it.
    const int leftHalf = Count(352, 108, 512, 172, white);
    EXPECT_NEAR(leftHalf, titleText - leftHalf, titleText / 3);

    // The wrapped note: its rows do not overlap, the last one ends at the box's bottom.
    auto* note = dynamic_cast<TLabelNode*>(Node("MenuNote"));
    ASSERT_NE(note, nullptr);
    ASSERT_GE(note->Runs().back().row, 1);
    EXPECT_EQ(note->Runs().back().boxY, 76 - 24); // one row of 12-pixel glyphs is 24 virtual pixels here
    auto light = [](Rgb c) { return c.r > 110 && c.b > 150 && c.g > 130; };
    EXPECT_GT(Count(352, 400 + 28, 672, 400 + 52, light), 10);

    // Each button's label is drawn inside it, light on the dark plate.
    for (int top : {120, 184, 248}) {
        SCOPED_TRACE(top);
        EXPECT_GT(Count(372, 84 + top, 652, 84 + top + 48, [](Rgb c) { return c.r > 150 && c.b > 180; }), 15);
    }
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

    // The pictures the image nodes show: six, the cursor's one shared by both looks.
    InterfaceTools->UpdateTextureMemory();
    EXPECT_EQ(InterfaceTools->DistinctTextures(), 6);
    EXPECT_EQ(InterfaceTools->SharedTextures(), 1);
    EXPECT_EQ(InterfaceTools->TextureMemory(), (64 * 64 + 128 * 32 + 3 * 32 * 32 + 32 * 32) * 4);
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(MenuGL, AHiddenMenuLeavesTheClearColour) {
    BuildMenu();
    LuaMachine->RunString("setfast_visible('MainMenu', false) setfast_visible('CursorLayer', false)");
    DrawFrame();
    EXPECT_EQ(Count(312, 84, 712, 684, [](Rgb c) { return c.r + c.g + c.b > 0; }), 0);
}

} // namespace
} // namespace vesk::test
