// The game program run headless on the demo content: the effect library and the
// effect objects of the demo's scripts.
#include <gtest/gtest.h>

#include "game_folder.h"

#include <filesystem>
#include <regex>
#include <string>

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

} // namespace
} // namespace vesk
