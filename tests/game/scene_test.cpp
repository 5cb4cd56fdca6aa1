// Scenes, subsystems and locations: the load runs its Lua texts in order and
// makes the objects the helpers name, a location loads and unloads with its
// objects, and an unloaded location leaves nothing behind.
#include "game/camera_tracks.h"
#include "render/helpers.h"
#include "scene_fixture.h"

namespace vesk::test {
namespace {

TEST_F(GameSceneTest, ASubsystemLoadsItsSystemAndTheLocationsMarkedLoaded) {
    Subsystem({{"near", 1}, {"far", 0}});
    Lua("engine_Execute('scene.sys.load')");
    EXPECT_EQ(Calls(),
              (std::vector<std::string>{"updateLocSpheres sys", "updateGlobalHelpers sys", "addTrigger Scene",
                                        "loadLocationFiles near", "updateLocalHelpers sys",
                                        "CreateObj wreck1", "CreateObj wreck2", "addTrigger neargate",
                                        "addTrigger neardock", "addPlayerShip "}));
    ASSERT_NE(Psys(), nullptr);
    EXPECT_EQ(Eval("player.subsystem"), "sys");
    EXPECT_EQ(Eval("engine_GetVar('player.subsystem')"), "sys");
    EXPECT_EQ(Location("near")->IntValue("loaded"), 1);
    EXPECT_EQ(Location("far")->IntValue("loaded"), 0);
    EXPECT_EQ(Location("near")->Text("helper"), "location:near");
    EXPECT_EQ(scene_player::LoadedLocations(), std::vector<std::string>{"near"});
    // The location's unit stands on its helper in the system.
    auto* unit =
        dynamic_cast<WELocationClass*>(FindEngineObjectById(std::stoi(Location("near")->Text("hex"))));
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->Parent(), Psys());
    // The system's helpers were sorted into its lists: "mesh:rock" is a plain entry.
    EXPECT_EQ(Eval("engine_GetVar('scene.sys.helpers.mesh.rock')"), "mesh:rock");
    // The location's onLoad fires on the next frame and hands on to the subsystem's.
    auto* subsystemLoad = dynamic_cast<TGameEvent*>(FindVarByPath("scene.sys.onLoad"));
    ASSERT_NE(subsystemLoad, nullptr);
    GameFrame();
    EXPECT_TRUE(Location("near")->OnLoad()->IsFired());
    GameFrame();
    EXPECT_TRUE(subsystemLoad->IsFired());
}

TEST_F(GameSceneTest, APlayerWithLoadedLocationsGetsExactlyThoseBack) {
    Subsystem({{"near", 1}, {"far", 0}});
    scene_player::AddLoadedLocation("far");
    Lua("engine_Execute('scene.sys.load')");
    // The one marked loaded that the player has not is not loaded, and says so.
    EXPECT_EQ(Location("near")->IntValue("loaded"), 0);
    EXPECT_EQ(Location("far")->IntValue("loaded"), 1);
    EXPECT_EQ(Location("near")->Text("hex"), "");
    EXPECT_EQ(scene_player::LoadedLocations(), std::vector<std::string>{"far"});
    // Unloading the system later finds nothing to unload there.
    Lua("engine_Execute('scene.sys.unload')");
    EXPECT_TRUE(scene_player::LoadedLocations().empty());
}

TEST_F(GameSceneTest, AHelperGroupMakesOneObjectPerEntryWithTheGroupsModel) {
    Subsystem({{"near", 1}});
    Lua("engine_Execute('scene.sys.load')");
    GameFrame();
    for (const char* id : {"wreck1", "wreck2"}) {
        const std::string path = std::string("obj.") + id;
        EXPECT_EQ(Eval("engine_GetVar('" + path + ".spacemodel')"), "wreck") << id;
        EXPECT_EQ(Eval("engine_GetVar('" + path + ".location')"), "near") << id;
        // Made in the world at the helper that names it.
        const std::string hex = Eval("engine_GetVar('" + path + ".hex')");
        const std::string helper = Eval(std::string("getHelperHex('mesh:") + id + "', 'near')");
        ASSERT_NE(hex, "0") << id;
        EXPECT_EQ(Eval("engine_GetHelperRange('" + hex + "', '" + helper + "')"), "0") << id;
    }
}

TEST_F(GameSceneTest, LoadingTwiceAndUnloadingTwiceAreLogged) {
    Subsystem({{"near", 1}});
    Lua("engine_Execute('scene.sys.load')");
    Location("near")->LoadFunc();
    EXPECT_NE(ReadLog().find(Ru("TGameLocation.LoadFunc error: попытка повторной загрузки локации ") +
                             "scene.sys.locations.near"),
              std::string::npos);
    Location("near")->UnloadFunc();
    Location("near")->UnloadFunc();
    EXPECT_NE(ReadLog().find(Ru("TGameLocation.UnloadFunc error: попытка выгрузки незагруженной локации ") +
                             "scene.sys.locations.near"),
              std::string::npos);
    // The player's list says what is loaded: a name it does not hold is a fatal report.
    EXPECT_THROW(scene_player::RemoveLoadedLocation("near"), Halted);
    EXPECT_TRUE(trapAll.HasReport(
        Ru("TPlayer.removeLoadedLocation error: попытка очистки незагруженной локации ") + "near"));
}

TEST_F(GameSceneTest, UnloadingALocationKeepsThePlayersShipAndLeavesNothingElse) {
    Subsystem({{"near", 0}, {"far", 1}});
    Lua("engine_Execute('scene.sys.load')");
    // The player's ship, in the location to go.
    Lua("engine_AddVar('player', 'ship', 'TGameObjectLink')");
    Lua("engine_AddVar('obj', 'ship1', 'TGameObject')");
    Lua("engine_SetVar('obj.ship1.location', 'near') engine_SetVar('obj.ship1.spacemodel', 'rock')");
    dynamic_cast<TGameObjectLinkParam*>(FindVarByPath("player.ship"))->setValue(FindVarByPath("obj.ship1"));
    ASSERT_EQ(scene_player::Ship(), FindVarByPath("obj.ship1"));
    for (int i = 0; i < 3; ++i) GameFrame();
    const std::vector<std::string> objects = WorldObjects();
    const int32_t units = BRUInstanceCount;
    const size_t ships = PhysicsScene->Ships().size();
    const int32_t helpers = HelperCount;

    Lua("realLoadLocation('near')");
    for (int i = 0; i < 3; ++i) GameFrame();
    EXPECT_GT(BRUInstanceCount, units);
    EXPECT_GT(WorldObjects().size(), objects.size());
    Lua("engine_Execute('scene.sys.locations.near.unload')");
    for (int i = 0; i < 3; ++i) GameFrame();
    EXPECT_EQ(WorldObjects(), objects);
    EXPECT_EQ(BRUInstanceCount, units);
    EXPECT_EQ(HelperCount, helpers);
    EXPECT_EQ(PhysicsScene->Ships().size(), ships);
    EXPECT_EQ(Location("near")->IntValue("loaded"), 0);
    EXPECT_EQ(Location("near")->Text("hex"), "");
    EXPECT_EQ(scene_player::LoadedLocations(), std::vector<std::string>{"far"});
    EXPECT_EQ(Eval("engine_GetLocationsBSphereList()"), "far#400#");
}

// Tracks recorded in a location go with it: the camera player has none left
// and no longer loops.
TEST_F(GameSceneTest, UnloadingALocationResetsTheCameraTracks) {
    RegisterCameraTrackClasses();
    RegisterCameraTrackFunctions();
    TCameraPlayer* tracks = CreateCameraPlayer(GlobalObjects);
    ASSERT_NE(tracks, nullptr);
    Subsystem({{"near", 1}});
    Lua("engine_Execute('scene.sys.load')");
    Lua("engine_Execute('cameraPlayer', 'newTrack', 'flyby') engine_SetVar('cameraPlayer.loop', '1')");
    ASSERT_EQ(tracks->TrackList().size(), 1u);
    Lua("engine_Execute('scene.sys.locations.near.unload')");
    EXPECT_TRUE(tracks->TrackList().empty());
    EXPECT_EQ(Eval("engine_GetVar('cameraPlayer.loop')"), "0");
}

TEST_F(GameSceneTest, UnloadingTheSubsystemUnloadsEveryLoadedLocation) {
    Subsystem({{"near", 1}, {"far", 1}});
    Lua("engine_Execute('scene.sys.load')");
    EXPECT_EQ(scene_player::LoadedLocations(), (std::vector<std::string>{"near", "far"}));
    Lua("engine_Execute('scene.sys.unload')");
    EXPECT_EQ(Location("near")->IntValue("loaded"), 0);
    EXPECT_EQ(Location("far")->IntValue("loaded"), 0);
    EXPECT_TRUE(scene_player::LoadedLocations().empty());
    for (int i = 0; i < 2; ++i) GameFrame();
    EXPECT_EQ(Eval("engine_GetLocationsBSphereList()"), "");
}

TEST_F(GameSceneTest, WithoutAPlayerTheSceneStillLoads) {
    Subsystem({{"near", 1}}, false);
    Lua("engine_Execute('scene.sys.load')");
    EXPECT_EQ(Location("near")->IntValue("loaded"), 1);
    Lua("engine_Execute('scene.sys.locations.near.unload')");
    EXPECT_EQ(Location("near")->IntValue("loaded"), 0);
}

} // namespace
} // namespace vesk::test
