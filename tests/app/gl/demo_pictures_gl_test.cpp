// The self-playing demo drawn by the real program on the GL device without a
// display: its pictures, saved through the game's own screenshot key, show
// the menu over the scene, the sky, the player's ship where the camera puts
// it, the HUD where the layout puts it, the view from the cockpit, the sun in
// the fight, a raider's explosion, the outpost's gate, the dialog and the
// summary. The pictures stay in build/pictures for a person to look at.
#include <gtest/gtest.h>

#include "../game_folder.h"
#include "../screen_picture.h"

#include "platform/files.h"
#include "platform/image_codecs.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::ReadText;

// The window the test plays in: the game's default, the interface's 1024 x 768
// (text keeps its pixel size on any screen, so the HUD is laid out for this one).
constexpr int kW = 1024, kH = 768;

using test::Rgb;

// A picture of the game in the test's window.
class Picture : public test::ScreenPicture {
public:
    using ScreenPicture::ScreenPicture;
    bool Valid() const { return ScreenPicture::Valid() && Width() == kW && Height() == kH; }
};

bool Near(const Rgb& p, int r, int g, int b) {
    return std::abs(p.r - r) <= 4 && std::abs(p.g - g) <= 4 && std::abs(p.b - b) <= 4;
}

// How well light text reads on its background in a box of the screen: the
// contrast (WCAG) between the mean of its bright pixels and the mean of its
// dark ones; 0 when the box holds no text over a dark ground.
double TextContrast(const Picture& p, int l, int t, int r, int b) {
    double lit[3] = {0, 0, 0}, dark[3] = {0, 0, 0};
    int nLit = 0, nDark = 0;
    for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x) {
            const Rgb c = p.At(x, y);
            const int sum = c.r + c.g + c.b;
            double* into = sum > 450 ? lit : sum < 150 ? dark : nullptr;
            if (!into) continue;
            into[0] += c.r, into[1] += c.g, into[2] += c.b;
            ++(sum > 450 ? nLit : nDark);
        }
    if (nLit < 6 || nDark < nLit) return 0;
    auto lum = [](const double* sum, int n) {
        auto lin = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
        return 0.2126 * lin(sum[0] / n / 255) + 0.7152 * lin(sum[1] / n / 255) +
               0.0722 * lin(sum[2] / n / 255);
    };
    return (lum(lit, nLit) + 0.05) / (lum(dark, nDark) + 0.05);
}

// Where the start-up checks' widgets stood when they were drawn on the
// player's screen: none of them may show in a picture of the game.
void ExpectNoCheckWidgets(const Picture& p) {
    // The two viewports on the right: the talker's brown and the head's blue ground.
    auto viewport = [](const Rgb& c) { return Near(c, 112, 80, 32) || Near(c, 16, 32, 96); };
    EXPECT_LT(p.Count(824, 350, 1024, 760, viewport), 10);
    // The video panel's frame, its top and left edges in the middle.
    auto frame = [](const Rgb& c) { return Near(c, 0x5A, 0xA0, 0xDC); };
    EXPECT_LT(p.Count(430, 512, 596, 520, frame) + p.Count(428, 512, 438, 640, frame), 5);
    // The loading bar's green and the condition bar's red.
    EXPECT_LT(p.Count(352, 484, 672, 496, [](const Rgb& c) { return Near(c, 0x40, 0xE0, 0x70); }), 5);
    EXPECT_LT(p.Count(8, 726, 208, 740, [](const Rgb& c) { return c.r > 180 && c.g < 90 && c.b < 90; }), 5);
    // The contact's label and its edit field, light letters bottom left.
    EXPECT_LT(p.Count(20, 728, 220, 760, [](const Rgb& c) { return c.r + c.g + c.b > 450; }), 5);
}

class DemoPicturesGL : public test::GameFolderTest {};

TEST_F(DemoPicturesGL, TheSelfPlayingRunSavesPicturesOfTheGame) {
    ASSERT_EQ(Shell("./setup --defaults --memlog >/dev/null"), 0);
    fs::create_directories(game + "/mods/autoplay/Plugins");
    fs::copy_file(test::kBuildDir + "/game/mods/autoplay/Plugins/autoplay_keys.so",
                  game + "/mods/autoplay/Plugins/autoplay_keys.so");
    ASSERT_EQ(
        Shell("SDL_VIDEODRIVER=offscreen ALSOFT_DRIVERS=null ./vesk -mod autoplay -fixeddt 33 -frames 10000 "
              ">/dev/null 2>&1"),
        0);
    const std::string log = ReadText(game + "/logs/log.txt");
    ASSERT_NE(log.find("demo: mission: complete"), std::string::npos) << log;
    // The pilot's F5 on the keyboard reached the game's quick-save key.
    EXPECT_NE(log.find("demo: mission: saved quick in profile pilot"), std::string::npos) << log;

    // The pictures in the order they were taken; a copy of each is kept.
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(game + "/screenshots")) files.push_back(e.path());
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return fs::last_write_time(a) < fs::last_write_time(b);
    });
    ASSERT_EQ(files.size(), 8u);
    const fs::path kept = fs::path(test::kBuildDir) / "pictures";
    fs::create_directories(kept);
    const char* names[] = {"1_menu.bmp",      "2_flight.bmp", "3_cockpit.bmp", "4_fight.bmp",
                           "5_explosion.bmp", "6_gate.bmp",   "7_dialog.bmp",  "8_summary.bmp"};
    std::vector<Picture> shots;
    for (size_t i = 0; i < files.size(); ++i) {
        fs::copy_file(files[i], kept / names[i], fs::copy_options::overwrite_existing);
        shots.emplace_back(files[i].string());
        ASSERT_TRUE(shots.back().Valid()) << files[i];
    }
    const Picture& menu = shots[0];
    const Picture& flight = shots[1];
    const Picture& cockpit = shots[2];
    const Picture& fight = shots[3];
    const Picture& explosion = shots[4];
    const Picture& dialog = shots[6];
    const Picture& summary = shots[7];
    auto clear = [](const Rgb& p) { return Near(p, 13, 26, 38); };

    // The main menu: its title in yellow over the orange bar, and its four
    // buttons, each a framed plate with its word; beside it the sky, and
    // nothing of the start-up checks.
    EXPECT_GT(menu.Count(64, 170, 384, 206, [](const Rgb& p) { return p.r > 200 && p.g > 170 && p.b < 140; }),
              40);
    EXPECT_GT(menu.Count(104, 212, 344, 220, [](const Rgb& p) { return p.r > 170 && p.g > 80 && p.b < 100; }),
              30);
    for (int top : {246, 306, 366, 426}) {
        SCOPED_TRACE(top);
        EXPECT_GT(
            menu.Count(104, top + 1, 344, top + 45, [](const Rgb& p) { return p.r > 180 && p.b > 200; }), 15);
        EXPECT_GT(menu.Count(104, top, 344, top + 2, [](const Rgb& p) { return Near(p, 0x5A, 0xA0, 0xDC); }),
                  40);
    }
    ExpectNoCheckWidgets(menu);
    // Beside the column the sky fills the screen, with its stars.
    EXPECT_EQ(menu.Count(420, 20, 1000, 680, clear), 0);
    EXPECT_GT(menu.Count(420, 20, 1000, 680, [](const Rgb& p) { return p.r + p.g + p.b > 300; }), 10);

    // The flight: the sky is drawn everywhere above the horizon (no pixel
    // keeps the clear colour) ...
    EXPECT_EQ(flight.Count(340, 20, 680, 120, clear), 0);
    // ... the ship where the chase camera puts it, behind and above it: in the
    // middle of the screen, below its centre, lighter than the space around ...
    auto light = [](const Rgb& p) { return p.r + p.g + p.b > 180; };
    EXPECT_GT(flight.Count(470, 530, 554, 610, light), 20);
    EXPECT_LT(flight.Count(470, 440, 554, 510, light), 10);
    // ... the HUD's markers on the raiders ahead (red frames) ...
    EXPECT_GT(
        flight.Count(400, 320, 800, 400, [](const Rgb& p) { return p.r > 150 && p.g < 80 && p.b < 80; }), 20);
    // ... and the HUD's status panel where its layout puts it: the shield
    // lamp (blue, dimmed by the shield's state), the armour and hull lamps.
    const Rgb shield = flight.At(32, 618);
    EXPECT_TRUE(shield.b > 180 && shield.g > 110 && shield.r < 90)
        << shield.r << " " << shield.g << " " << shield.b;
    EXPECT_TRUE(Near(flight.At(32, 646), 0xE0, 0xC0, 0x40));
    EXPECT_TRUE(Near(flight.At(32, 674), 0x40, 0xE0, 0x70));

    // The HUD shows the player's things only, and the ship's speed reads
    // light on the dark of its gauge's panel, as does the top speed over it.
    ExpectNoCheckWidgets(flight);
    EXPECT_GE(TextContrast(flight, 236, 666, 282, 688), 4.5);
    EXPECT_GE(TextContrast(flight, 236, 624, 282, 640), 4.5);

    // From the cockpit: its instrument panel (blue-grey) across the view just
    // above the HUD's panels, where the flight's picture shows space.
    auto panel = [](const Rgb& p) {
        const int lo = std::min({p.r, p.g, p.b}), hi = std::max({p.r, p.g, p.b});
        return p.b >= p.r && hi - lo < 45 && lo > 35 && hi < 170;
    };
    EXPECT_GT(cockpit.Count(200, 578, 720, 602, panel), 1500);
    EXPECT_LT(flight.Count(200, 578, 720, 602, panel), 300);
    // A raider's explosion: its fire fills the middle of the view.
    auto fire = [](const Rgb& p) { return p.r > 200 && p.g > 100 && p.b < 120; };
    EXPECT_GT(explosion.Count(352, 256, 672, 512, fire), 500);
    // The fight: the sun in the upper half of the view, white-hot in the middle of its glow.
    EXPECT_GT(fight.Count(0, 0, 1024, 384, [](const Rgb& p) { return p.r > 235 && p.g > 235 && p.b > 235; }),
              10);
    // The destroyed raider is no longer shown as a living target: the target
    // panel shows either another raider with its hull (the hull bar green) or
    // the wreck marked "DESTROYED" in red; and the HUD marks exactly the
    // raiders still flying.
    const int hullBar =
        explosion.Count(828, 144, 1012, 148, [](const Rgb& p) { return Near(p, 0x40, 0xE0, 0x70); });
    const int destroyed =
        explosion.Count(870, 182, 970, 196, [](const Rgb& p) { return p.r > 180 && p.g < 90 && p.b < 90; });
    EXPECT_TRUE(hullBar > 20 || destroyed > 10) << hullBar << " " << destroyed;
    std::smatch marks;
    ASSERT_TRUE(std::regex_search(log, marks,
                                  std::regex(R"(a raider's explosion; flying ([\w,]*), marked ([\w,]*))")))
        << log;
    EXPECT_EQ(marks[1], marks[2]);

    // The dialog: the dispatcher's portrait (a face, warmer than the blue window) in its frame.
    EXPECT_GT(dialog.Count(354, 78, 438, 162, [](const Rgb& p) { return p.r > p.b + 15 && p.r > 80; }), 10);
    EXPECT_GT(dialog.Count(336, 60, 816, 290, [](const Rgb& p) { return p.b > p.r + 8; }), 400);

    // The summary: its title in yellow letters in the middle of the screen.
    EXPECT_GT(
        summary.Count(312, 212, 712, 250, [](const Rgb& p) { return p.r > 200 && p.g > 180 && p.b < 130; }),
        20);
}

// A fatal report in the game drawn in a window ends it the way the report
// says (its error report written, status 1) although the window, and with it
// the GL context, goes before the device's last resources are freed.
TEST_F(DemoPicturesGL, AFatalReportInTheWindowedGameEndsItWithItsReport) {
    fs::create_directories(game + "/mods/fault/Scripts/mod");
    platform::WriteFile(
        game + "/mods/fault/Scripts/mod/fault.lua",
        "demo.OnTick('fault', function(ms, tick) if tick == 5 then engine_Error('test fault') end end)");
    EXPECT_EQ(Shell("SDL_VIDEODRIVER=offscreen ALSOFT_DRIVERS=null ./vesk -mod fault -fixeddt 16 -frames 300 "
                    ">/dev/null 2>&1"),
              1);
    EXPECT_NE(ReadText(game + "/logs/errlog.txt").find("Script ERROR: test fault"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(game + "/logs/ErrorLogs") && !fs::is_empty(game + "/logs/ErrorLogs"));
}

} // namespace
} // namespace vesk
