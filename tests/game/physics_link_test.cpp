// The game objects as the physics reaches them: a script orders the ship held
// by an object's "ph" link, a collision fires the own event with the other's
// object, and the setup's sphere display switch reaches the spheres.
#include "game/game_services.h"
#include "game/params.h"
#include "game/physics_link.h"
#include "game/scene_object.h"
#include "game_logic_fixture.h"
#include "physics/ai_unit.h"
#include "physics/bsphere.h"
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "physics/cm_writer.h"
#include "physics/ph_scene.h"
#include "physics/ph_script.h"
#include "physics/player_physic.h"
#include "platform/files.h"
#include "render/null_device_scope.h"
#include "ships_fixture.h"

namespace vesk::test {
namespace {

class PhysicsLink : public GameLogicTest {
protected:
    void SetUp() override {
        GameLogicTest::SetUp();
        InstallPhysicsLink();
        InstallPhysicsScriptFunctions();
        unit->SetBox({-1, -1, -1}, {1, 1, 1});
        TShipPhysicParams record;
        record.sizeClass = SC_BARGA;
        record.maxVelocity = record.speedLimit = 100;
        record.accelerateTime = 1;
        ai = BaseAIUnitClass::Init(unit, record);
    }
    void TearDown() override {
        GetPhysicsScriptLinks() = {};
        SetCollisionEventFirer({});
        GameLogicTest::TearDown();
        unit->SetBPU(nullptr);
        ai->Free();
        unit->Free();
    }
    TBaseRenderUnit* unit = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    BaseAIUnitClass* ai = nullptr;
};

TEST_F(PhysicsLink, ScriptsOrderTheShipHeldByAnObject) {
    Run("engine_AddVar('', 'ship', 'TBaseGameSceneObject')");
    Run("engine_SetVar('ship.ph', '" + ai->GetHex() + "')");
    Run("engine_PhCommand('ship', 'goToPoint', '', 100, 20, 0)");
    EXPECT_TRUE(ai->GetNPCController()->TestState(DOMOVETOPOINT));
    EXPECT_FLOAT_EQ(ai->GetNPCController()->GetMovePoint()->GetPosition().y, 20.0f);
    Run("engine_PhSetObjParam('ship', 'ph_MaxVelocity', 250)");
    EXPECT_FLOAT_EQ(ai->GetPhysicParams()->maxVelocity, 250.0f);
    EXPECT_TRUE(NoLuaErrors());
    EXPECT_EQ(FirstFatal(), "");
    // An object without a physics unit.
    Run("engine_AddVar('', 'rock', 'TBaseGameSceneObject')");
    try {
        Run("engine_PhCommand('rock', 'stop')");
    } catch (const Halted&) {
    }
    EXPECT_EQ(FirstFatal(), "PhCommand: bpu=nil, id=rock");
}

TEST_F(PhysicsLink, CollisionFiresTheOwnEventWithTheOthersObject) {
    Run("engine_AddVar('', 'a', 'TBaseGameSceneObject') engine_AddVar('', 'b', 'TBaseGameSceneObject')");
    auto* a = dynamic_cast<TBaseGameSceneObject*>(FindVarByPath("a"));
    auto* b = dynamic_cast<TBaseGameSceneObject*>(FindVarByPath("b"));
    Run("engine_SetVar('a.events.onCollision', 'hitBy = tmp[2]')");
    FireCollisionEvents(a->OnCollision(), b->OnCollision());
    EXPECT_EQ(Global("hitBy"), b->TEngineObject::GetHex()); // b's event object is b itself
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(PhysicsLink, SetupSwitchShowsTheSpheresSections) {
    CoreServices services;
    InstallGameServices(services);
    services.game->ApplySetupFlags(false, true, false);
    EXPECT_TRUE(BSphereShowLowPoly);
    services.game->ApplySetupFlags(false, false, false);
    EXPECT_FALSE(BSphereShowLowPoly);
}

// Until the space scene exists, game objects with a model get their ship
// from the scene's physics.
class PhysicsWorld : public ShipsTest {
protected:
    void SetUp() override {
        ShipsTest::SetUp();
        scope.Init();
        GetErrorHooks().releaseDisplay = nullptr;
        BuffersManager = std::make_unique<BuffersManagerClass>();
        InstallCMRenderObjectBuilder();
        CMTreeManager = std::make_unique<CMTreeManagerClass>();
        CreatePhysicsScene();
        SetGameWorldLink(nullptr);
        InstallPhysicsLink();
        InstallPhysicsScriptFunctions();
        // A model of one triangle named "base" with an attach point's worth of box.
        CMSceneClass scene("fighter");
        CMGeomObjClass* g = scene.NewGeomObj();
        g->SetNames("base", "", "");
        g->SetVertices(3);
        g->SetVertex(0, {0, 0, 0}, {0, 0, 1}, 0, 0);
        g->SetVertex(1, {4, 0, 0}, {0, 0, 1}, 0, 0);
        g->SetVertex(2, {0, 4, 0}, {0, 0, 1}, 0, 0);
        g->SetIndices(3);
        for (uint32_t i = 0; i < 3; ++i) g->SetIndex(i, i);
        g->vectors[1] = {-4, -4, -4};
        g->vectors[2] = {4, 4, 4};
        ASSERT_TRUE(scene.SaveToFile(dir / "fighter.cm"));
        Run("materials = { checker = { id = '0' } }");
        Run("engine_AddVar('mesh', 'fighter', 'TGameMesh') engine_SetVar('mesh.fighter.path', '" +
            dir / "fighter.cm" + "') engine_SetVar('mesh.fighter.physic_params.ph_Type', 'small')");
    }
    void TearDown() override {
        SetGameWorldLink(nullptr);
        ShipsTest::TearDown();
        // The ships were built without an engine root to take them: they go here.
        const std::vector<TBaseRenderUnit*> ships = PhysicsScene->Ships();
        for (TBaseRenderUnit* u : ships) {
            u->DiscardBRU();
            u->Free();
        }
        FreePhysicsScene();
        CMTreeManager.reset();
        SetCMRenderObjectBuilder(nullptr);
        SetCMRenderObjectReleaser(nullptr);
        BuffersManager.reset();
    }
    NullDeviceScope scope;
};

TEST_F(PhysicsWorld, ObjectsWithAModelGetTheirShipAtTheirPosition) {
    TGameObject* a = Ship("a", "fighter");
    TGameObject* b = Ship("b", "fighter");
    Run("engine_SetVar('obj.a.position', '100, 20 ,-5') engine_SetVar('obj.b.position', 'far away')");
    Frame(); // "onCreated" fires: the world builds the units
    auto* unitA = dynamic_cast<TBaseRenderUnit*>(a->GetHex());
    auto* unitB = dynamic_cast<TBaseRenderUnit*>(b->GetHex());
    ASSERT_NE(unitA, nullptr);
    ASSERT_NE(unitB, nullptr);
    EXPECT_NE(unitA->GetName(), unitB->GetName());
    EXPECT_TRUE(PhysicsScene->FindShipBRU(unitA));
    auto* ai = dynamic_cast<BaseAIUnitClass*>(a->Ph()->GetValue());
    ASSERT_NE(ai, nullptr);
    EXPECT_EQ(ai->GetRenderUnit(), unitA);
    EXPECT_EQ(ai->GetPhysicParams()->sizeClass, SC_SMALL);
    EXPECT_DOUBLE_EQ(ai->GetPositionD().x, 100.0);
    EXPECT_DOUBLE_EQ(ai->GetPositionD().z, -5.0);
    // A position that is not three numbers leaves the ship where it was made.
    auto* aiB = dynamic_cast<BaseAIUnitClass*>(b->Ph()->GetValue());
    ASSERT_NE(aiB, nullptr);
    EXPECT_DOUBLE_EQ(aiB->GetPositionD().x, 0.0);
    // The scripts reach it by the object's path.
    Run("engine_PhCommand('obj.a', 'goToPoint', '', 500, 20, -5)");
    EXPECT_TRUE(ai->GetNPCController()->TestState(DOMOVETOPOINT));
    EXPECT_EQ(FirstFatal(), "");
}

// The player's ship takes its versatility as the share between the minimum
// and maximum turning and roll values of its mesh description.
TEST_F(PhysicsWorld, VersatilityMovesThePlayersHandlingBetweenItsLimits) {
    InstallParamPhysicsLink();
    TGameObject* a = Ship("a", "fighter");
    Frame();
    auto* ai = dynamic_cast<BaseAIUnitClass*>(a->Ph()->GetValue());
    ASSERT_NE(ai, nullptr);
    Run("engine_SetVar('mesh.fighter.minmax_ph_param.rollFading.min', '2') "
        "engine_SetVar('mesh.fighter.minmax_ph_param.rollFading.max', '6') "
        "engine_SetVar('mesh.fighter.minmax_ph_param.rotateVelocity.max', '114.6')");
    TBaseGameObject* player = GlobalObjects->FindChild("player");
    if (!player) player = NewGameObject<TBaseGameObjectList>("player", GlobalObjects);
    NewGameObject<TGameObjectFreeLink>("ship", player)->setValue(a);
    SetValue("obj.a.param.versatility", 100.0f, 25.0f);
    Frame();
    EXPECT_FLOAT_EQ(ai->GetPhysicParams()->rollFading, 3.0f);
    EXPECT_NEAR(ai->GetPhysicParams()->maxRotateVelocity, 0.5f, 1e-5f); // a quarter of 2 rad/s
    EXPECT_EQ(FirstFatal(), "");
    SetParamPhysicsLink(nullptr);
}

} // namespace
} // namespace vesk::test
