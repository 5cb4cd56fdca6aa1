// The game program run headless on the demo content: the player's ship
// destroys a pirate raider with its laser and a rocket, each hit falling as
// the damage kinds compute and counted in the player's statistics; a mine
// arms and goes off, a crate's magnet brings down the next mine, a range watch
// fires, and the base's turret fires on the raider.
#include <gtest/gtest.h>

#include "game_folder.h"

#include <filesystem>
#include <string>

namespace vesk {
namespace {

class CombatRunTest : public test::GameFolderTest {};

TEST_F(CombatRunTest, ThePlayerDestroysTheRaiderAndTheStatisticsCountIt) {
    ASSERT_EQ(Shell("./vesk -headless -frames 300 -fixeddt 16 >/dev/null 2>&1"), 0);
    const std::string log = test::ReadText(game + "/logs/log.txt");
    for (const char* line : {
             "demo: combat: pship carries combatLaser and combatRockets; combatRaider shield=30 armor=20 "
             "hull=40",
             "demo: combat: laser hit 1: shield=15 armor=20 hull=40, as computed: true",
             "demo: combat: laser hit 2: shield=0 armor=20 hull=40, as computed: true",
             "demo: combat: rocket hit 3: shield=0 armor=0 hull=25, as computed: true",
             "demo: combat: laser hit 4: shield=0 armor=0 hull=10, as computed: true",
             "demo: combat: laser hit 5: shield=0 armor=0 hull=0, as computed: true",
             "demo: combat: combatRaider destroyed: its explosion obj.combatRaider.effects.dFx_",
             " shows combat_wreck on unit ",
             "demo: combat: statistics: shots 4 + 1, hits 4 + 1 (on enemies 4 + 1), damage to enemies 5, "
             "destroyed 1 (combatRaider 1)",
             "demo: combat: the statistics count what was fired and hit: true",
             "demo: combat: combatLayer dropped a mine: its faction pirates, armed false",
             "demo: combat: the mine is armed at its post and chases obj.combatScout (mines on it: 1)",
             "demo: combat: the mine went off on combatScout: shield=75 armor=100 hull=100, mines on it: 0",
             "demo: combat: the crate's magnet brought down the second mine: destroyed=1",
             "demo: combat: the scout's watch: combatLayer within reach of combatScout",
             "demo: combat: the base's turret aims at obj.raider1",
             "demo: combat: the base's turret hit the raider: armor 95",
             "demo: ai: the raider was hit",
         })
        EXPECT_NE(log.find(line), std::string::npos) << line;
    // The player's game was saved and loaded after the fight as before it.
    EXPECT_NE(log.find("demo: player: loaded save_0: 0 differences from the save"), std::string::npos);
    EXPECT_EQ(log.find("LUAError"), std::string::npos);
    EXPECT_FALSE(std::filesystem::is_directory(platform::NativePath(game + "/Logs/ErrorLogs")));
}

} // namespace
} // namespace vesk
