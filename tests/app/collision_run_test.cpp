// The demo game in the test's own process: ships flown at the Kessa outpost
// stop at its hull instead of passing through it, the player's crash costs
// its shield, the flight starts at the speed the engines give, and the mouse
// looks around while the ship holds its course.
#include <gtest/gtest.h>

#include "in_process_demo.h"

#include "interface/desktop.h"
#include "interface/interface_services.h"
#include "physics/ai_unit.h"
#include "physics/camera_game.h"
#include "physics/player_physic.h"
#include "render/render_unit.h"
#include "shared/engine_object.h"
#include "shared/math.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace vesk {
namespace {

class CollisionRunTest : public test::InProcessDemo {
protected:
    TBaseRenderUnit* Unit(const std::string& object) {
        const std::string hex = Lua("return engine_GetVar('obj." + object + ".hex')");
        return FindEngineObjectAs<TBaseRenderUnit>(std::atoi(hex.c_str()));
    }
    BaseAIUnitClass* AI(const std::string& object) {
        TBaseRenderUnit* unit = Unit(object);
        IRenderUnitAI* ai = nullptr;
        if (!unit || !unit->GetBPU(ai)) return nullptr;
        return dynamic_cast<BaseAIUnitClass*>(ai);
    }
    static Vec3 At(BaseAIUnitClass* ai) { return ai->GetPosition(); }
    // Where a station object stands and the steering unit of a ship object;
    // false when either is missing.
    bool StationAndShip(const std::string& station, const std::string& ship, Vec3& centre,
                        BaseAIUnitClass*& ai) {
        TBaseRenderUnit* unit = Unit(station);
        ai = AI(ship);
        if (!unit || !ai) return false;
        unit->GetPosition(centre);
        return true;
    }
    // The ship put at a place, its nose and its flight along dir.
    static void Aim(BaseAIUnitClass* ai, const Vec3& at, const Vec3& dir, float speed) {
        Matrix m;
        ASSERT_TRUE(KWMatrixGetBasisForDirVect(dir, {1, 0, 0}, m));
        MatrixSetTranslation(m, at);
        ai->SetPoseMatrix(m);
        ai->SetVelocity(Vec3Scale(dir, speed));
    }
    // How far a point is from the station's long axis (it runs along x
    // through its centre). Between x - 60 and x + 40 of the centre its hull
    // is a drum, in the collision model a six-sided prism whose faces lie
    // 40 * cos(30 degrees) from the axis.
    static float FromAxis(const Vec3& p, const Vec3& centre) {
        return std::hypot(p.y - centre.y, p.z - centre.z);
    }
    static bool AtDrum(const Vec3& p, const Vec3& centre) {
        return p.x > centre.x - 60 && p.x < centre.x + 40;
    }
    static constexpr float kDrumFace = 34.64f;
    float Value(const std::string& path) {
        return std::strtof(Lua("return engine_GetVar('" + path + "')").c_str(), nullptr);
    }
};

// Engine power is a share of the top speed: at the full 100 the player's
// ship flies at its top speed, not at a speed of 1, and where its nose
// points (the start-up's ships that went as the mission began, at the same
// place, are in its way no more).
TEST_F(CollisionRunTest, TheFlightStartsAtTheSpeedTheEnginesGiveAlongTheNose) {
    ASSERT_TRUE(StartMission());
    Frames(30);
    BaseAIUnitClass* hawk = AI("hawk");
    ASSERT_NE(hawk, nullptr);
    ASSERT_TRUE(hawk->IsPlayerControlled());
    EXPECT_EQ(Value("obj.hawk.param.p_engine"), 100.0f);
    EXPECT_FLOAT_EQ(hawk->GetMaxVelocity(), hawk->GetPhysicParams()->maxVelocity);
    EXPECT_GT(hawk->GetSpeed(), 100.0f);
    Vec3 nose, side, up;
    hawk->GetBasis(nose, side, up);
    EXPECT_GT(Vec3Dot(Vec3Normalize(nose), hawk->GetVelocityVector()->GetDirection()), 0.99f);
}

// The player's ship at full speed straight down at the station's drum: its
// box meets the hull, it turns along it and slows, and it never gets inside;
// the crash costs its shield at the moment it strikes.
TEST_F(CollisionRunTest, ThePlayersShipStopsAtTheOutpostsHullAndPaysForTheCrash) {
    ASSERT_TRUE(StartMission());
    Frames(5);
    Vec3 centre;
    BaseAIUnitClass* hawk = nullptr;
    ASSERT_TRUE(StationAndShip("outpost_kessa", "hawk", centre, hawk));
    LuaMachine->RunString("engine_SetVar('obj.hawk.events.onCollision', 'hawkHits = (hawkHits or 0) + 1')");
    LuaMachine->RunString("engine_Serv('SHIP', 'SPEED', 'MAX')");
    Aim(hawk, Vec3Add(centre, {-10, 0, 500}), {0, 0, -1}, hawk->GetPhysicParams()->maxVelocity);
    IPhPlayerControl* controls = nullptr;
    ASSERT_TRUE(hawk->GetPlayerPhysicComponent(controls));
    auto* flight = dynamic_cast<TPlayerCollisionPhysicComponent*>(controls);
    ASSERT_NE(flight, nullptr);
    bool boxTouched = false;
    float closest = 1e9f, shieldDrop = 0.0f;
    for (int i = 0; i < 300; ++i) {
        const bool hitBefore = Lua("return hawkHits") != "";
        const float shield = Value("obj.hawk.param.shield");
        Frames(1);
        const Vec3 p = At(hawk);
        closest = std::min(closest, FromAxis(p, centre));
        Vec3 contact;
        boxTouched = boxTouched || flight->GetCollisionVector(contact);
        if (AtDrum(p, centre)) ASSERT_GT(FromAxis(p, centre), kDrumFace) << "frame " << i;
        if (!hitBefore && Lua("return hawkHits") != "") shieldDrop = shield - Value("obj.hawk.param.shield");
    }
    EXPECT_LT(closest, 120.0f) << "the ship never came near the hull";
    // The box of the player's ship met the hull (the game's rules switch its collision on).
    EXPECT_TRUE(boxTouched);
    EXPECT_NE(Lua("return hawkHits"), "");
    // A fifth of a closing speed of some hundreds a second.
    EXPECT_GT(shieldDrop, 40.0f);
}

// A computer's ship sent straight at the station's drum, to a point below
// it, stops on the hull and never gets inside nor through. Before the
// mission, the start-up's physics demo has a fighter and an outpost of its
// own in the scene.
TEST_F(CollisionRunTest, AComputerShipSentThroughTheOutpostStopsAtItsHull) {
    Frames(60);
    Vec3 centre;
    BaseAIUnitClass* fighter = nullptr;
    ASSERT_TRUE(StationAndShip("phOutpost", "phHawk", centre, fighter));
    const Vec3 from = Vec3Add(centre, {-10, 0, 500}), to = Vec3Add(centre, {-10, 0, -500});
    Aim(fighter, from, {0, 0, -1}, 300);
    LuaMachine->RunString("engine_PhCommand('obj.phHawk', 'goToPoint', '', " + std::to_string(to.x) + ", " +
                          std::to_string(to.y) + ", " + std::to_string(to.z) + ")");
    fighter->SetSpeed(300); // the start-up's demo stopped it
    float closest = 1e9f;
    for (int i = 0; i < 300; ++i) {
        Frames(1);
        const Vec3 p = At(fighter);
        closest = std::min(closest, FromAxis(p, centre));
        ASSERT_GT(p.z, centre.z) << "through the station at frame " << i;
        if (AtDrum(p, centre)) ASSERT_GT(FromAxis(p, centre), kDrumFace) << "frame " << i;
    }
    EXPECT_LT(closest, 60.0f) << "the fighter never came near the hull";
}

// Looking around: while the middle button is held the mouse turns the view
// round the ship and the ship keeps its heading; let go, the view follows
// the ship from behind again.
TEST_F(CollisionRunTest, HoldingTheMiddleButtonTheMouseTurnsTheViewAndNotTheShip) {
    ASSERT_TRUE(StartMission());
    Frames(30);
    TDeskTop* desk = CurrentDesktop();
    TGameCamera* camera = GameCamera();
    BaseAIUnitClass* hawk = AI("hawk");
    ASSERT_TRUE(desk && camera && hawk);
    const auto bearing = [&] {
        const Vec3 eye = Vec3Sub(camera->GetPosition(), At(hawk));
        return std::atan2(eye.y, eye.x);
    };
    Vec3 heading, side, up;
    hawk->GetBasis(heading, side, up);
    desk->MouseButtonEvent(2, true);
    desk->MouseMoveEvent(30, 0); // past the travel that starts the look
    Frames(2);
    const float start = bearing();
    for (int i = 0; i < 40; ++i) {
        desk->MouseMoveEvent(20, 0);
        Frames(1);
    }
    float turned = std::fabs(bearing() - start);
    if (turned > 3.14159265f) turned = 2 * 3.14159265f - turned;
    EXPECT_GT(turned, 0.3f) << "the view did not turn";
    Vec3 after, s2, u2;
    hawk->GetBasis(after, s2, u2);
    EXPECT_GT(Vec3Dot(Vec3Normalize(after), Vec3Normalize(heading)), 0.99f)
        << "the ship turned with the view";
    desk->MouseButtonEvent(2, false);
    Frames(60);
    // Behind the ship again.
    const Vec3 eye = Vec3Sub(camera->GetPosition(), At(hawk));
    hawk->GetBasis(heading, side, up);
    EXPECT_LT(Vec3Dot(eye, heading), 0.0f);
}

} // namespace
} // namespace vesk
