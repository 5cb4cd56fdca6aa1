// The demo's flight HUD, built by its own script, over the real game (the
// player, its ship and two enemies on render units before a camera at the
// origin), drawn by the interface service on the GL device (llvmpipe,
// headless) at half the virtual screen's size and read back: the marker
// frames round the enemies, the selected one's name over its frame, the
// panels' frames, the radar with its blips and the target panel's label, and
// the arrows at the border that point at ships out of view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

#include "../../game/ai_fixture.h"
#include "core/paths.h"
#include "core/services.h"
#include "interface/desktop.h"
#include "interface/hud_markers.h"
#include "interface/interface_services.h"
#include "interface/interface_tools.h"
#include "interface_screen.h"
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

// The content's scripts.
const fs::path kScripts = fs::path(VESK_TEST_DATA_DIR).parent_path().parent_path() / "content/Scripts";

class HudGL : public AiTest {
protected:
    void SetUp() override {
        if (!GLHeadlessAvailable()) GTEST_SKIP() << "no GL context can be made";
        AiTest::SetUp();
        // The generated pictures of a game folder, and the demo's scripts.
        if (!screen_.Open(dir.path())) return;
        camera_ = std::make_shared<BasicViewCamera>();
        camera_->SetPose({0, 0, 0}, {1, 0, 0});
        SetDefaultViewCamera(camera_);

        InstallInterfaceServices(services_);
        services_.desktop->InitCore();
        services_.desktop->Create();
        desk_ = CurrentDesktop();
        Run("demo = { ticks = {} } function demo.OnInit(n, f) if n == 'flight hud' then f() end end "
            "function demo.OnTick(n, f) end function demo.trace(t) end "
            "function play_ex(e) end i_sound = {} function SetPPParam() end");
        for (const char* part : {"demo/_desktop.lua", "game/hud.lua"})
            Run("dofile(" + LuaQuote((kScripts / part).string()) + ")");
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
        screen_.Close();
        AiTest::TearDown();
    }

    // Pixels of a virtual-screen rectangle that pass a test.
    template <class Pred> int Count(const TIRect& r, Pred pred) const {
        return screen_.Count(r.left, r.top, r.right, r.bottom, pred);
    }
    TSimpleNode* Node(const std::string& name) {
        int status = 0;
        return desk_->ChildByName(name, status, true, false);
    }
    TIRect Screen(TSimpleNode* n) { return n->AsRect()->GetScreenRect(); }

    InterfaceScreen screen_;
    CoreServices services_;
    std::shared_ptr<BasicViewCamera> camera_;
    TDeskTop* desk_ = nullptr;
};

TEST_F(HudGL, TheFlightHudReachesTheScreen) {
    screen_.Draw(*services_.desktop, "VESK_HUD_DUMP");
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

TEST_F(HudGL, PointersOffTheScreenAimAtTheirShip) {
    // Ships out of view, to the right of the camera and straight above it:
    // their markers stand at the screen border with arrows that point at them.
    struct Case {
        const char* name;
        Vec3 at;
        bool pointsRight; // else up
    };
    const Case cases[] = {{"rightward", {1000, -3000, 0}, true}, {"overhead", {1000, 0, 3000}, false}};
    for (const Case& c : cases) {
        TGameObject* o = Place(c.name, c.at);
        UnitOf(o)->SetBox({-15, -15, -15}, {15, 15, 15});
        GiveAI(o);
        Run("engine_Serv('HELPER', 'ADD', 'ENEMY', '" + std::to_string(o->GetId()) + "')");
    }
    for (int i = 0; i < 5; ++i) services_.desktop->FrameTick(16);
    screen_.Draw(*services_.desktop, "VESK_HUD_POINTERS_DUMP");
    auto red = [](Rgb c) { return c.r > 180 && c.g < 110 && c.b < 110; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* m = dynamic_cast<TAHSelector*>(Node(c.name));
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(m->State(), TAHSelector::kPointer);
        const TIRect box = Screen(m->HelperPointer());
        if (c.pointsRight)
            EXPECT_GE(box.right, 1016);
        else
            EXPECT_LE(box.top, 8);
        // The red pixels about the pointer, in the rows and columns at the
        // edges of what they cover.
        std::vector<std::pair<int, int>> drawn;
        for (int y = std::max(0, box.top - 4); y < std::min(768, box.bottom + 4); y += 2)
            for (int x = std::max(0, box.left - 4); x < std::min(1024, box.right + 4); x += 2)
                if (red(screen_.At(x, y))) drawn.emplace_back(x, y);
        ASSERT_GT(drawn.size(), 8u);
        int minX = 1024, maxX = 0, minY = 768, maxY = 0;
        for (const auto& [x, y] : drawn) {
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
        auto column = [&](int x) {
            return std::count_if(drawn.begin(), drawn.end(), [&](auto p) { return p.first == x; });
        };
        auto row = [&](int y) {
            return std::count_if(drawn.begin(), drawn.end(), [&](auto p) { return p.second == y; });
        };
        // The arrow's broad end lies opposite its point; across it, it is even.
        if (c.pointsRight) {
            EXPECT_GT(column(minX), 2 * column(maxX)) << column(minX) << " " << column(maxX);
            EXPECT_EQ(row(minY), row(maxY));
        } else {
            EXPECT_GT(row(maxY), 2 * row(minY)) << row(maxY) << " " << row(minY);
            EXPECT_EQ(column(minX), column(maxX));
        }
    }
    EXPECT_TRUE(trap.reports.empty()) << trap.reports[0].text;
}

// ---- the layout: no text over another, each readable ------------------------------------------

// A colour's relative luminance (sRGB, 0 .. 1).
double Luminance(double r, double g, double b) {
    auto lin = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * lin(r) + 0.7152 * lin(g) + 0.0722 * lin(b);
}

struct Colour {
    double r = 0, g = 0, b = 0; // 0 .. 1
    // This colour with an ARGB colour drawn over it at an opacity.
    Colour Under(uint32_t argb, float opacity) const {
        const double a = double(argb >> 24) / 255.0 * opacity;
        auto mix = [a](double below, uint32_t c) { return below * (1 - a) + double(c & 0xFF) / 255.0 * a; };
        return {mix(r, argb >> 16), mix(g, argb >> 8), mix(b, argb)};
    }
    double Lum() const { return Luminance(r, g, b); }
};

double ContrastOf(const Colour& a, const Colour& b) {
    const double hi = std::max(a.Lum(), b.Lum()), lo = std::min(a.Lum(), b.Lum());
    return (hi + 0.05) / (lo + 0.05);
}

bool Meet(const TIRect& a, const TIRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// What the HUD draws, in the order it is drawn; the markers follow the ships
// and the cursor goes over everything, so neither takes part.
void ShownInOrder(TSimpleNode* n, std::vector<TOpacityNode*>& out) {
    for (int i = 0; i < n->ChildCount(); ++i) {
        auto* c = dynamic_cast<TOpacityNode*>(n->GetChild(i));
        if (!c || !c->Visible() || c->Name() == "spaceAH" || c->Name() == "CursorLayer") continue;
        out.push_back(c);
        ShownInOrder(c, out);
    }
}

// Every text shown: laid out inside its box, clear of every other text, and
// readable against what is drawn below it over a black and over a bright sky
// (WCAG's 4.5 : 1). Text with an outline reads against its outline; text over
// a picture cannot be judged and is a fault.
std::vector<std::string> LayoutFaults(TSimpleNode* desktop, std::set<std::string>& checked) {
    std::vector<TOpacityNode*> shown;
    ShownInOrder(desktop, shown);
    std::vector<std::string> faults;
    std::vector<std::pair<TLabelNode*, TIRect>> texts;
    for (size_t i = 0; i < shown.size(); ++i) {
        auto* label = dynamic_cast<TLabelNode*>(shown[i]);
        if (!label || label->Text().empty()) continue;
        const std::string name = label->Name();
        checked.insert(name);
        const TIRect box = label->TextRect();
        for (const auto& [other, otherBox] : texts)
            if (Meet(box, otherBox)) faults.push_back(name + " lies over " + other->Name());
        texts.emplace_back(label, box);
        for (const TScreenLine& run : label->Runs()) {
            if (run.text == u" ") continue;
            if (!run.visible || run.boxX < 0 || run.boxX + run.width > box.Width() + 1 ||
                run.boxY + label->FontSize() > box.Height())
                faults.push_back(name + " does not fit its box");
        }
        for (const Colour sky : {Colour{0, 0, 0}, Colour{0.7, 0.7, 0.7}}) {
            Colour below = sky;
            for (size_t j = 0; j <= i; ++j) {
                auto* under = dynamic_cast<TImageNode*>(shown[j]);
                if (!under || !Meet(under->GetScreenRect(), box)) continue;
                if (!under->Image().empty() && label->Style() != TTextStyle::Outline)
                    faults.push_back(name + " is written over the picture of " + under->Name());
                below = below.Under(under->Color(), under->GetOpacity());
            }
            if (label->Style() == TTextStyle::Outline) below = below.Under(label->ShadowColor(), 1.0f);
            for (const TScreenLine& run : label->Runs()) {
                const double c = ContrastOf(below.Under(run.color, 1.0f), below);
                if (run.text != u" " && c < 4.5) {
                    faults.push_back(name + " reads " + std::to_string(c) + " : 1 against what is behind it");
                    break;
                }
            }
        }
    }
    return faults;
}

class HudLayoutGL : public HudGL {
protected:
    void SetUp() override {
        HudGL::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // The game's own windows over the HUD, and the ship's values.
        Run("function engine_PlaySound() end "
            "dofile(" +
            LuaQuote((kScripts / "game/interface.lua").string()) +
            ") gameUi.Build() "
            "engine_Desktop('GamePanel::VISIBLE', '1') engine_Desktop('GameMissionTitle::TEXT', 'Kessa "
            "Outpost')");
        SetValue("obj.pship.param.shield", 200, 151);
        SetValue("obj.pship.param.armor", 120, 120);
        SetValue("obj.pship.param.durability", 150, 150);
        SetValue("obj.pship.param.power", 200, 150);
        // As the game's default screen lays them out.
        scaleX_ = InterfaceScaleX, scaleY_ = InterfaceScaleY;
        InterfaceScaleX = InterfaceScaleY = 1.0f;
    }
    void TearDown() override {
        if (scaleY_ > 0) InterfaceScaleX = scaleX_, InterfaceScaleY = scaleY_;
        HudGL::TearDown();
    }
    // Frames of the flight, what the flight shows then, and one frame drawn:
    // the labels lay their texts out.
    void Fly(int frames, const std::string& shown) {
        for (int i = 0; i < frames; ++i) services_.desktop->FrameTick(16);
        Run(shown);
        screen_.Draw(*services_.desktop, "VESK_HUD_LAYOUT_DUMP");
    }
    float scaleX_ = 0, scaleY_ = 0;
};

TEST_F(HudLayoutGL, NoTextOfTheFlightLiesOverAnotherAndEachReads) {
    // The states of a flight that show the most at once: a target with the
    // clocks running, every lamp lit, a message and the weapon panel full; no
    // target with the dialog open; the summary at the end.
    struct State {
        const char* what;
        const char* script;
        const char* shown;              // after the frames
        std::vector<std::string> texts; // among those checked
    };
    const State states[] = {
        {"a target, the clocks, every lamp, a message",
         "engine_Serv('TIMER', 'SET', '754') engine_Serv('MISSIONTIMER', 'SET', '95') "
         "gameUi.Message('Raider down: 1 of 3') engine_SetVar('obj.pship.overheat', '1')",
         // Every lamp lit, and the weapon panel full as the gun controller
         // fills it for a ship with five of each.
         "engine_Desktop('IndicatorArray::TURNONALL') for i = 0, 4 do engine_Desktop('Gun_' .. i .. "
         "'::VISIBLE', '1') "
         "engine_Desktop('Gun_' .. i .. '::TEXT', '[250] Hawk laser') "
         "engine_Desktop('Rocket_' .. i .. '::VISIBLE', '1') "
         "engine_Desktop('Rocket_' .. i .. '::TEXT', '[12] Hornet rockets') end "
         "for n = 1, 4 do engine_Desktop('LItems_' .. n .. '::VISIBLE', '1') "
         "engine_Desktop('LItems_' .. n .. '_count::TEXT', '[12]') end",
         {"ShipName",       "RangeValue",   "SpeedValue",   "GameTimer",
          "CountdownTimer", "GameMessage",  "Gun_4",        "Rocket_4",
          "LItems_4_count", "itOnAim",      "itDefendMode", "itCriticalDamageValue",
          "sp_label",       "P_SpeedValue", "MaxSpeed",     "cur_MaxSpeed",
          "MinSpeed",       "P_PowerValue", "MaxEnergy",    "Overheat"}},
        {"no target, the dialog",
         "engine_Desktop('IndicatorArray::TURNOFFALL') engine_Serv('TARGET', 'SETID', '') "
         "gameUi.ShowDialog({ NPCName = 'Mira Osk', NPCDuty = 'Kessa traffic control', "
         "NPCCue = 'Kessa control, listening. Good flying out there.', "
         "display = { 'The raiders are down. All three of them.', 'Requesting docking clearance.', "
         "'Nothing more. Kessa, out.', 'End of the conversation.' } })",
         "",
         {"TargetNone", "GameDialogName", "GameDialogCue", "GameDialogAnswer4"}},
        {"the summary",
         "gameUi.HideDialog() setfast_visible('GameMessage', false) gameUi.ShowSummary('Mission complete', { "
         "'Objectives met: 3 of 3 (waypoint, raiders, report)', 'Raiders destroyed: 3, kills counted 3', "
         "'Shots fired: 167, hits 19', 'Flight time: 53.8 s in 1632 frames' })",
         "",
         {"GameSummaryTitle", "GameSummaryText", "GameSummaryNote"}},
    };
    for (const State& state : states) {
        SCOPED_TRACE(state.what);
        Run(state.script);
        Fly(4, state.shown);
        std::set<std::string> checked;
        for (const std::string& fault : LayoutFaults(desk_, checked)) ADD_FAILURE() << fault;
        for (const std::string& text : state.texts) EXPECT_TRUE(checked.count(text)) << text;
    }
    EXPECT_TRUE(trap.reports.empty()) << trap.reports[0].text;
}

} // namespace
} // namespace vesk::test
