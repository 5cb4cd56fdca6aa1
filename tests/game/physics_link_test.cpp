// The game objects as the physics reaches them: a script orders the ship held
// by an object's "ph" link, a collision fires the own event with the other's
// object, and the setup's sphere display switch reaches the spheres.
#include "game/game_services.h"
#include "game/physics_link.h"
#include "game/scene_object.h"
#include "game_logic_fixture.h"
#include "physics/ai_unit.h"
#include "physics/bsphere.h"
#include "physics/ph_script.h"
#include "physics/player_physic.h"

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

} // namespace
} // namespace vesk::test
