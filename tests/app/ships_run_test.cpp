// The game program run headless on the demo content: the ships of the demo's
// scripts built by the world, with their parts in their slots, and the
// scripts' ship functions acting on them.
#include <gtest/gtest.h>

#include "game_folder.h"

#include <filesystem>
#include <string>

namespace vesk {
namespace {

class ShipsRunTest : public test::GameFolderTest {};

TEST_F(ShipsRunTest, TheDemosShipsAreBuiltWithTheirPartsAndTakeTheScriptsOrders) {
    ASSERT_EQ(Shell("./vesk -headless -frames 40 -fixeddt 16 >/dev/null 2>&1"), 0);
    const std::string log = test::ReadText(game + "/logs/log.txt");
    for (const char* line : {
             "demo: ships: model ships_hawk known: 1",
             "demo: ships: slot gun at gun01 bound=true holds shipsGun unit=true",
             "demo: ships: slot turret at rocket01 bound=true holds shipsTurret unit=true",
             "demo: ships: slot wingL at wing_l bound=true holds shipsWingL unit=true",
             "demo: ships: slot wingR at wing_r bound=true holds shipsWingR unit=true",
             "demo: ships: turret limits set",
             "demo: ships: shipsHawk afterburner on",
             "demo: ships: shipsHawk afterburner off",
             "demo: ships: shipsRaider rebuilt as ships_hawk, same unit true",
             // The items demo's gun gets its cannon from the world too.
             "demo: ships: gun item shipsGun unit true, demo gun of the items demo unit true",
         })
        EXPECT_NE(log.find(line), std::string::npos) << line;
    // Every ship was built through the builder, with its memory use written down.
    const std::string memlog = test::ReadText(game + "/logs/memlog.xls");
    for (const char* step : {"LoadShip_shipsHawk", "CreateShipMesh_shipsOutpost", "LoadShip_demoShip"})
        EXPECT_NE(memlog.find(step), std::string::npos) << step;
    EXPECT_FALSE(std::filesystem::is_directory(platform::NativePath(game + "/Logs/ErrorLogs")));
}

} // namespace
} // namespace vesk
