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
#include <filesystem>
#include <string>
#include <vector>

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::ReadText;

// The window the test plays in: half the interface's 1024 x 768.
constexpr int kW = 512, kH = 384;

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

class DemoPicturesGL : public test::GameFolderTest {};

TEST_F(DemoPicturesGL, TheSelfPlayingRunSavesPicturesOfTheGame) {
    ASSERT_EQ(Shell("./setup --defaults --width 512 --height 384 --memlog >/dev/null"), 0);
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

    // The main menu: the title on its orange plate over the menu's panel ...
    const Rgb plate = menu.Mean(356, 112, 668, 168);
    EXPECT_GT(plate.r, 150);
    EXPECT_LT(plate.b, 110);
    // ... over the scene: beside the panel the sky fills the screen, with its stars.
    EXPECT_EQ(menu.Count(0, 20, 300, 680, clear), 0);
    EXPECT_GT(menu.Count(0, 20, 300, 680, [](const Rgb& p) { return p.r + p.g + p.b > 300; }), 10);

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

    // From the cockpit: its instrument panel (blue-grey) across the bottom of
    // the view, where the flight's picture shows space.
    auto panel = [](const Rgb& p) {
        const int lo = std::min({p.r, p.g, p.b}), hi = std::max({p.r, p.g, p.b});
        return p.b >= p.r && hi - lo < 40 && lo > 50 && hi < 170;
    };
    EXPECT_GT(cockpit.Count(340, 580, 700, 612, panel), 1500);
    EXPECT_LT(flight.Count(340, 580, 700, 612, panel), 100);
    // A raider's explosion: its fire fills the middle of the view.
    auto fire = [](const Rgb& p) { return p.r > 200 && p.g > 100 && p.b < 120; };
    EXPECT_GT(explosion.Count(352, 256, 672, 512, fire), 500);
    // The fight: the sun in the upper half of the view, white-hot in the middle of its glow.
    EXPECT_GT(fight.Count(0, 0, 1024, 384, [](const Rgb& p) { return p.r > 235 && p.g > 235 && p.b > 235; }),
              10);

    // The dialog: the dispatcher's portrait (a face, warmer than the blue window) in its frame.
    EXPECT_GT(dialog.Count(280, 78, 364, 162, [](const Rgb& p) { return p.r > p.b + 15 && p.r > 80; }), 10);
    EXPECT_GT(dialog.Count(262, 60, 762, 290, [](const Rgb& p) { return p.b > p.r + 8; }), 400);

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
