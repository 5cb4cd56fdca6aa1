// The scene's part of the tactic map: a subsystem's load clears the map's
// markers and hands it the subsystem's minimap.
#include "game/scene.h"
#include "interface/hud_nodes.h"
#include "interface/scene_map_link.h"
#include "interface_fixture.h"

namespace vesk::test {
namespace {

TEST_F(InterfaceTest, TheSceneClearsTheTacticMapAndGivesItTheMinimap) {
    auto* map = Add<TMap>(root, "Map", "TMap");
    TImageNode* picture = Add<TImageNode>(root, "TacticMap", "TImageNode");
    Add(root, "markPattern");
    map->AddMarker("base", "markPattern", "", 40, 50);
    map->AddMarker("gate", "markPattern", "", 60, 10);
    InstallSceneMapLink([this] { return static_cast<TSimpleNode*>(root); });
    const SceneInterfaceLinks& links = GetSceneInterfaceLinks();
    links.resetTacticMap();
    EXPECT_EQ(map->ChildCount(), 0);
    links.setMinimap("maps\\vesk", 10, 20, 90, 100);
    EXPECT_EQ(picture->Image(), "maps\\vesk");
    EXPECT_EQ(map->MapPoint(290, 480), (TIPoint{5, -3}));
    GetSceneInterfaceLinks() = SceneInterfaceLinks{};
    EXPECT_TRUE(trap.reports.empty());
}

} // namespace
} // namespace vesk::test
