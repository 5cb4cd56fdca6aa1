// The game program run headless on the demo content: the effect library and the
// effect objects of the demo's scripts.
#include <gtest/gtest.h>

#include "game_folder.h"

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace vesk {
namespace {

class EffectsRunTest : public test::GameFolderTest {};

TEST_F(EffectsRunTest, TheDemosEffectLibraryLoadsAndItsTimerEnds) {
    ASSERT_EQ(Shell("./vesk -headless -frames 300 -fixeddt 16 >/dev/null 2>&1"), 0);
    const std::string log = test::ReadText(game + "/logs/log.txt");
    // Loaded from the "fx" table through engine_ReloadFx: a template of every kind, with
    // the game's own effects, the scene's fog (a template) and its sun's lens flare (an entry of sprite data
    // only), and the checks' wreck (a burst and its particle of model pieces). The demo's other parts add
    // templates of their own; every entry is a template but the lens flare's.
    std::smatch loaded;
    ASSERT_TRUE(
        std::regex_search(log, loaded, std::regex(R"(LoadFXTemplates: (\d+) templates from (\d+) entries)")))
        << log;
    EXPECT_GE(std::stoi(loaded[1]), 22);
    EXPECT_EQ(std::stoi(loaded[2]) - std::stoi(loaded[1]), 1);
    for (const char* kind :
         {"demo_spark (particle)", "demo_puff (particle_alpha)", "demo_burst (burst)", "demo_jet (nozzlejet)",
          "demo_bullet (bullet)", "demo_hum (sound)", "demo_laser (laser)", "demo_shield (shield)",
          "demo_glow (glow)", "fx_testsphere (sphere)", "demo_trail (smoke_alpha)", "demo_scorch (defect)",
          "demo_shockwave (mesh)", "demo_pointer (directed_mesh)", "demo_gate (portal)"})
        EXPECT_NE(log.find(std::string("demo: fx: template ") + kind + " hex "), std::string::npos) << kind;
    // The demo says which kinds it shows itself and that it waits for a scene object to show them at.
    EXPECT_NE(log.find("demo: fx: bursts, smoke, sounds and meshes are shown at scene objects"),
              std::string::npos);
    // At the first scene object with a unit (a ship), effect objects show a burst, a smoke
    // trail the script stops, a shockwave and a shield hit; each runs and ends.
    for (const char* line :
         {"fx: burst running as unit", "fx: burst ended by itself", "fx: smoke trail running as unit",
          "fx: smoke trail told to stop", "fx: smoke trail gone", "fx: shockwave ended by itself",
          "fx: shield hit running as unit", "fx: shield hit ended by itself"})
        EXPECT_NE(log.find(std::string("demo: ") + line), std::string::npos) << line;
    // An effect object without a carrier unit spawns nothing.
    EXPECT_NE(log.find("demo: fx: effect object without a carrier has hex 0"), std::string::npos) << log;
    // The timed effect ran its half second of game time, called its object and went.
    EXPECT_NE(log.find("demo: fx: timer called its object"), std::string::npos) << log;
    EXPECT_NE(log.find("demo: fx: timer ended"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::is_directory(platform::NativePath(game + "/Logs/ErrorLogs")));
}

// The lines of the engine's scene dump written right after the log line that holds `marker`.
std::vector<std::string> DumpAfter(const std::string& log, const std::string& marker) {
    std::vector<std::string> dump;
    std::istringstream in(log);
    std::string line;
    bool found = false;
    while (std::getline(in, line)) {
        if (!found) {
            found = line.find(marker) != std::string::npos;
            continue;
        }
        if (line.find(" flags: ") == std::string::npos || line.find(" childs: ") == std::string::npos) break;
        dump.push_back(line);
    }
    return dump;
}

// How deep a dump line sits in the scene tree (two spaces a level after the time).
size_t Depth(const std::string& line) {
    const size_t from = line.find(": ") + 2;
    return line.find('[', from) - from;
}

// Copies of the template among the lines.
int Copies(const std::vector<std::string>& lines, const std::string& id) {
    int n = 0;
    for (const std::string& l : lines)
        if (l.find("strID: \"_copy_of_" + id + "_") != std::string::npos) ++n;
    return n;
}

// Effects only weapons make: a gunship's ray gun starts a beam at each shot, its
// second gun turns a ring at its muzzle towards the target, and both bolts scorch
// the big station they strike while its shield is down. The scene dumped while they
// live holds them (the marks on the station), the one dumped after their lifetimes not.
TEST_F(EffectsRunTest, AGunshipsShotsShowABeamATurnedRingAndScorchMarksThatEnd) {
    ASSERT_EQ(Shell("./vesk -headless -frames 600 -fixeddt 16 >/dev/null 2>&1"), 0);
    const std::string log = test::ReadText(game + "/logs/log.txt");
    std::smatch armed;
    ASSERT_TRUE(
        std::regex_search(log, armed,
                          std::regex(R"(demo: fx_reach: fxReachGunner carries a ray gun .* fxReachHulk has )"
                                     R"(radius (\d+) and shield 0)")))
        << log;
    EXPECT_GT(std::stoi(armed[1]), 100);
    EXPECT_NE(log.find("demo: fx_reach: both guns fire at fxReachHulk"), std::string::npos);
    EXPECT_NE(log.find("demo: fx_reach: both bolts struck fxReachHulk, its shield down: hull 1000 -> 990"),
              std::string::npos)
        << log;

    const std::vector<std::string> living = DumpAfter(log, "demo: fx_reach: both bolts struck");
    ASSERT_FALSE(living.empty());
    EXPECT_EQ(Copies(living, "reach_beam"), 1);
    EXPECT_EQ(Copies(living, "reach_cone"), 1);
    // The scorch marks hang in the struck station's subtree.
    std::vector<std::string> station;
    for (size_t i = 0; i < living.size(); ++i) {
        if (living[i].find("[ShipClass, name: \"fxReachHulk\"") == std::string::npos) continue;
        for (size_t j = i + 1; j < living.size() && Depth(living[j]) > Depth(living[i]); ++j)
            station.push_back(living[j]);
    }
    EXPECT_EQ(Copies(station, "reach_scorch"), 2);
    EXPECT_EQ(Copies(living, "reach_scorch"), 2);

    const std::vector<std::string> after = DumpAfter(log, "demo: fx_reach: the scene 2.5 s later");
    ASSERT_FALSE(after.empty());
    for (const char* id : {"reach_beam", "reach_cone", "reach_scorch"}) EXPECT_EQ(Copies(after, id), 0) << id;
    EXPECT_FALSE(std::filesystem::is_directory(platform::NativePath(game + "/Logs/ErrorLogs")));
}

} // namespace
} // namespace vesk
