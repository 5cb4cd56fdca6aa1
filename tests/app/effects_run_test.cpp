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
    ASSERT_EQ(Shell("./vesk -headless -frames 60 -fixeddt 16 >/dev/null 2>&1"), 0);
    const std::string log = test::ReadText(game + "/logs/log.txt");
    // Loaded from the "fx" table through engine_ReloadFx: every entry of a kind
    // this build has (all but the test sphere).
    std::smatch loaded;
    ASSERT_TRUE(
        std::regex_search(log, loaded, std::regex(R"(LoadFXTemplates: (\d+) templates from (\d+) entries)")))
        << log;
    EXPECT_GE(std::stoi(loaded[1]), 7);
    EXPECT_EQ(std::stoi(loaded[2]) - std::stoi(loaded[1]), 1);
    for (const char* kind : {"demo_spark (particle)", "demo_puff (particle_alpha)", "demo_burst (burst)",
                             "demo_jet (nozzlejet)", "demo_bullet (bullet)"})
        EXPECT_NE(log.find(std::string("demo: fx: template ") + kind + " hex "), std::string::npos) << kind;
    // An effect object without a carrier unit spawns nothing.
    EXPECT_NE(log.find("demo: fx: effect object without a carrier has hex 0"), std::string::npos) << log;
    // The timed effect ran its half second of game time, called its object and went.
    EXPECT_NE(log.find("demo: fx: timer called its object"), std::string::npos) << log;
    EXPECT_NE(log.find("demo: fx: timer ended"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::is_directory(platform::NativePath(game + "/Logs/ErrorLogs")));
}

} // namespace
} // namespace vesk
