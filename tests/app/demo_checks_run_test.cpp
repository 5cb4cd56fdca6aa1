// The game program run headless on the demo content: the checks of the last
// demo part, and a terminal left clean of script errors.
#include <gtest/gtest.h>

#include "game_folder.h"

#include <regex>
#include <string>

namespace vesk {
namespace {

class DemoChecksRunTest : public test::GameFolderTest {};

TEST_F(DemoChecksRunTest, TheDemoReachesItsChecksAndWritesNothingOnTheTerminal) {
    ASSERT_EQ(Shell("./vesk -headless -frames 300 -fixeddt 16 >/dev/null 2>terminal.txt"), 0);
    // Script errors (an interface object the engine calls before the scripts
    // made it, a content function no script defines) would show here.
    EXPECT_EQ(test::ReadText(game + "/terminal.txt"), "");
    const std::string log = test::ReadText(game + "/logs/log.txt");
    const char* const lines[] = {
        R"(demo: checks: checksBeacon stands in the scene as unit \d+, speed 0, spheres shown while it was )"
        R"(built, now 0)",
        R"(demo: checks: a wreck burst throws pieces of the raider at checksBeacon as unit \d+)",
        R"(demo: checks: the wreck burst ended when its pieces were gone)",
        R"(demo: checks: obj.raider1 flies at [1-9]\d*, its attack on obj.pship is actual: 1, on its own )"
        R"(base: 0)",
        R"(demo: checks: obj.raider1 is \d+ from the outpost's place in the system; its physics in [1-9]\d* )"
        R"(lines, ph_\w+=)",
        R"(demo: checks: phHawk's collision showed its sparks as obj.phHawk.collisionFx.sparks.fx_\d+)",
        R"(demo: checks: the afterburner of the player's ship obj.\w+ shakes the view, blur power 1.25)",
    };
    for (const char* line : lines) EXPECT_TRUE(std::regex_search(log, std::regex(line))) << line;
}

} // namespace
} // namespace vesk
