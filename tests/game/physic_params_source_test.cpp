// The ship physics record read from a game object's physics parameters.
#include "game/physic_params_source.h"

#include "game_tree_fixture.h"

namespace vesk::test {
namespace {

using PhysicParams = GameTreeTest;

TEST_F(PhysicParams, RecordFromTheParameterList) {
    Run("engine_AddVar('', 'ph', 'TBaseGameObjectList')");
    for (const char* n :
         {"ph_StaticRotate90Time", "ph_MaxVelocity", "ph_AccelerateTime", "ph_MaxRotateVelocity"})
        Run(std::string("engine_AddVar('ph', '") + n + "', 'TGameObjectSubParam')");
    Run("engine_AddVar('ph', 'ph_Type', 'TGameObjectStringParam')");
    Run("engine_AddVar('ph', 'ph_UseInFindWay', 'TGameObjectStringParam')");
    Run("engine_AddVar('ph', 'ph_collDist', 'TGameObjectStringParam')");
    Run("engine_SetVar('ph.ph_MaxVelocity', '250') engine_SetVar('ph.ph_AccelerateTime', '5')");
    Run("engine_SetVar('ph.ph_MaxRotateVelocity', '57.3') engine_SetVar('ph.ph_Type', 'Barga')");
    Run("engine_SetVar('ph.ph_UseInFindWay', 'true') engine_SetVar('ph.ph_collDist', '4.5')");

    GamePhysicParamsSource src(FindVarByPath("ph"));
    PhConfigObjClass cfg(src, 20);
    EXPECT_FLOAT_EQ(cfg.GetMaxVelocity(), 250);
    EXPECT_FLOAT_EQ(cfg.GetSpeedLimit(), 250);
    EXPECT_FLOAT_EQ(cfg.GetAccelerateTime(), 5);
    EXPECT_FLOAT_EQ(cfg.GetMaxRotateVelocity(), 1);
    EXPECT_EQ(cfg.GetSizeClass(), SC_BARGA);
    EXPECT_TRUE(cfg.GetUseInFindWay());
    EXPECT_FLOAT_EQ(cfg.GetCollDist(), 4.5f);
    EXPECT_FLOAT_EQ(cfg.GetPathFinderDist(), 10); // absent: the default
    EXPECT_FLOAT_EQ(cfg.GetStaticRotate90Time(), 0);

    GamePhysicParamsSource none(nullptr);
    PhConfigObjClass empty(none, 50);
    EXPECT_EQ(empty.GetSizeClass(), SC_SMALL); // from the radius
    EXPECT_FLOAT_EQ(empty.GetCollDist(), 2.7f);
}

} // namespace
} // namespace vesk::test
