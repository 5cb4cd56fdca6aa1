// The demo's flight HUD, built by its own script, over the real game (the
// player, its ship and two enemies on render units before a camera at the
// origin), drawn by the interface service on the GL device (llvmpipe,
// headless) at half the virtual screen's size and read back: the marker
// frames round the enemies, the selected one's name over its frame, the
// panels' frames, the radar with its blips and the target panel's label.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "../../game/ai_fixture.h"
#include "core/paths.h"
#include "core/services.h"
#include "interface/desktop.h"
#include "interface/hud_markers.h"
#include "interface/interface_services.h"
#include "interface/interface_tools.h"
#include "platform/files.h"
#include "platform/gfx/gl_device.h"
#include "platform/gl/gl_fixture.h"
#include "render/device.h"
#include "render/texture.h"
#include "render/view_camera.h"

namespace vesk::test {
namespace {

using namespace platform;
namespace fs = std::filesystem;

constexpr uint32_t kW = 512, kH = 384;

struct Rgb {
    int r, g, b;
};

class HudGL : public AiTest {
protected:
    void SetUp() override {
        if (!GLHeadlessAvailable()) GTEST_SKIP() << "no GL context can be made";
        AiTest::SetUp();
        oldFolder_ = CurrentFolder();
        // The generated pictures of a game folder, and the demo's scripts.
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
        camera_ = std::make_shared<BasicViewCamera>();
        camera_->SetPose({0, 0, 0}, {1, 0, 0});
        SetDefaultViewCamera(camera_);

        InstallInterfaceServices(services_);
        services_.desktop->InitCore();
        services_.desktop->Create();
        desk_ = CurrentDesktop();
        Run("demo = { ticks = {} } function demo.OnInit(n, f) if n == 'hud' then f() end end "
            "function demo.OnTick(n, f) end function demo.trace(t) end "
            "function play_ex(e) end i_sound = {} function SetPPParam() end");
        const fs::path demo =
            fs::path(VESK_TEST_DATA_DIR).parent_path().parent_path() / "content/Scripts/demo";
        for (const char* part : {"_desktop.lua", "hud.lua"})
            Run("dofile(" + LuaQuote((demo / part).string()) + ")");
        services_.desktop->SetScriptsLoaded();
        services_.desktop->Upload();
        services_.desktop->EndStartup();
        ASSERT_TRUE(trap.reports.empty()) << trap.reports[0].text;

        // The player's ship at the camera, two raiders ahead.
        TGameObject* own = Place("pship", {0, 0, 0});
        GiveAI(own);
        SetPlayerShip("pship");
        for (const auto& [name, at] :
             {std::pair{"raider1", Vec3{1000, -150, 60}}, std::pair{"raider2", Vec3{1000, 200, -80}}}) {
            TGameObject* o = Place(name, at);
            UnitOf(o)->SetBox({-15, -15, -15}, {15, 15, 15});
            GiveAI(o);
            Run(std::string("engine_SetVar('obj.") + name + ".name', '" + name + "')");
            Run("engine_Serv('HELPER', 'ADD', 'ENEMY', '" + std::to_string(o->GetId()) + "')");
        }
        Run("engine_Desktop('FlightHud::VISIBLE', '1') engine_Serv('DESKTOP', 'MODE', 'IMGAME') "
            "engine_SetVar('player.selected', 'raider2')");
        for (int i = 0; i < 20; ++i) services_.desktop->FrameTick(16);
    }
    void TearDown() override {
        if (services_.desktop) {
            services_.desktop->Release();
            services_.desktop->FreeCore();
        }
        SetDefaultViewCamera(nullptr);
        RE_FreeTextureManager();
        ClearCachedTextures();
        Device = nullptr;
        PresentParameters = {};
        AiTest::TearDown();
        if (!oldFolder_.empty()) SetCurrentFolder(oldFolder_);
    }

    void DrawFrame() {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        dev_->BeginScene();
        services_.desktop->Update();
        services_.desktop->Render();
        dev_->EndScene();
        Ref<IDirect3DSurface9> rt, sys;
        dev_->GetRenderTarget(0, rt.Put());
        ASSERT_EQ(
            dev_->CreateOffscreenPlainSurface(kW, kH, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, sys.Put(), nullptr),
            D3D_OK);
        ASSERT_EQ(dev_->GetRenderTargetData(rt.Get(), sys.Get()), D3D_OK);
        D3DLOCKED_RECT lr;
        ASSERT_EQ(sys->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        frame_.assign(size_t(kW) * kH * 4, 0);
        for (uint32_t y = 0; y < kH; ++y)
            std::memcpy(frame_.data() + size_t(y) * kW * 4,
                        static_cast<uint8_t*>(lr.pBits) + size_t(y) * lr.Pitch, kW * 4);
        sys->UnlockRect();
    }
    // Pixels of a virtual-screen rectangle (half size on this screen) that pass a test.
    template <class Pred> int Count(const TIRect& r, Pred pred) const {
        int n = 0;
        for (int y = std::max(0, r.top / 2); y < std::min<int>(kH, r.bottom / 2); ++y)
            for (int x = std::max(0, r.left / 2); x < std::min<int>(kW, r.right / 2); ++x) {
                const uint8_t* p = frame_.data() + (size_t(y) * kW + size_t(x)) * 4;
                n += pred(Rgb{p[2], p[1], p[0]}) ? 1 : 0;
            }
        return n;
    }
    TSimpleNode* Node(const std::string& name) {
        int status = 0;
        return desk_->ChildByName(name, status, true, false);
    }
    TIRect Screen(TSimpleNode* n) { return n->AsRect()->GetScreenRect(); }

    CoreServices services_;
    Ref<IDirect3D9> d3d_;
    Ref<IDirect3DDevice9> dev_;
    std::shared_ptr<BasicViewCamera> camera_;
    TDeskTop* desk_ = nullptr;
    std::vector<uint8_t> frame_;
    std::string oldFolder_;
};

TEST_F(HudGL, TheFlightHudReachesTheScreen) {
    DrawFrame();
    if (const char* dump = std::getenv("VESK_HUD_DUMP")) {
        std::string ppm = "P6\n" + std::to_string(kW) + " " + std::to_string(kH) + "\n255\n";
        for (size_t i = 0; i < frame_.size(); i += 4) {
            ppm += static_cast<char>(frame_[i + 2]);
            ppm += static_cast<char>(frame_[i + 1]);
            ppm += static_cast<char>(frame_[i]);
        }
        WriteFile(dump, ppm);
    }
    auto red = [](Rgb c) { return c.r > 180 && c.g < 110 && c.b < 110; };
    auto yellow = [](Rgb c) { return c.r > 180 && c.g > 160 && c.b < 140; };

    // The first raider's marker: a red frame round the point where the raider is.
    auto* m1 = dynamic_cast<TAHSelector*>(Node("raider1"));
    ASSERT_NE(m1, nullptr);
    EXPECT_EQ(m1->State(), TAHSelector::kFrame);
    float x = 0, y = 0, depth = 0;
    ASSERT_TRUE(HudScreenPoint(FindVarByPath("obj.raider1"), x, y, depth));
    EXPECT_NEAR(m1->Left(), x, 1);
    const TIRect frame = Screen(m1->HelperFrame());
    EXPECT_TRUE(frame.Contains(static_cast<int>(x), static_cast<int>(y)));
    const int frameHeight = frame.bottom - frame.top;
    EXPECT_GT(Count({frame.left - 1, frame.top, frame.left + 3, frame.bottom}, red), frameHeight / 4);
    EXPECT_GT(Count({frame.right - 3, frame.top, frame.right + 1, frame.bottom}, red), frameHeight / 4);

    // The selected raider: the active frame in yellow, its name over it.
    auto* m2 = dynamic_cast<TAHSelector*>(Node("raider2"));
    ASSERT_NE(m2, nullptr);
    EXPECT_EQ(m2->State(), TAHSelector::kActiveFrame);
    const TIRect active = Screen(m2->ActiveFrame());
    EXPECT_GT(Count({active.left - 1, active.top, active.left + 3, active.bottom}, yellow), 5);
    EXPECT_GT(Count({active.left, active.top - 16, active.right + 40, active.top}, yellow), 10); // "raider2"
    EXPECT_EQ(Count(Screen(m2->HelperFrame()), red), 0);

    // The panels' frames.
    auto rim = [](Rgb c) { return std::abs(c.r - 0x5A) < 30 && std::abs(c.g - 0xA0) < 30 && c.b > 180; };
    for (const char* panel : {"ParametersPanel", "TargetPanel"}) {
        SCOPED_TRACE(panel);
        const TIRect r = Screen(Node(panel));
        EXPECT_GT(Count({r.left, r.top - 1, r.right, r.top + 2}, rim), (r.right - r.left) / 4);
    }

    // The target panel names the selected raider in its label, light red on the dark panel.
    const TIRect name = Screen(Node("ShipName"));
    EXPECT_GT(Count(name, [](Rgb c) { return c.r > 150 && c.g > 50 && c.g < 140; }), 10);

    // The radar face and a red blip for each raider ahead, near the middle.
    const TIRect face = Screen(Node("Radar"));
    EXPECT_GT(Count(face, [](Rgb c) { return c.r + c.g + c.b > 60; }), 200);
    const TIRect middle{face.left + 50, face.top + 30, face.right - 50, face.bottom - 30};
    EXPECT_GT(Count(middle, red), 4);
    EXPECT_TRUE(trap.reports.empty()) << trap.reports[0].text;
}

} // namespace
} // namespace vesk::test
