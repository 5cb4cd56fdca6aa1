// The NPC physics component: orders, followers, formation and its tick.
#include "physics/npc_physic.h"
#include "support/error_trap.h"

#include "physic_fixture.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

using test::ErrorTrap;
using test::FakeOwner;
using test::Halted;

struct Ship {
    TShipPhysicParams record;
    FakeOwner owner;
    TNPCPhysicComponent* npc;
    explicit Ship(int32_t cls, Vec3 at = {}) : record(test::MakeRecord(cls)) {
        owner.params = &record;
        owner.unit = TBaseRenderUnit::Create<test::PlacedUnit>(nullptr);
        owner.unit->SetBPU(&owner);
        owner.unit->SetWorldPosition(at);
        owner.pos = {at.x, at.y, at.z};
        npc = TNPCPhysicComponent::Create(&owner, &record, nullptr);
        owner.bpu = npc;
    }
    ~Ship() {
        if (npc) npc->Free();
        owner.unit->SetBPU(nullptr);
        owner.unit->Free();
    }
};

struct Done : IPhysicTaskCallback {
    int n = 0;
    void TaskDone() override { ++n; }
};

TEST(NPCPhysic, FollowOrderListsTheFollowerAndFormationSidesAlternate) {
    Ship leader(SC_BARGA), a(SC_BARGA, {-300, 0, 0}), b(SC_BARGA, {-300, 50, 0});
    std::vector<TBaseRenderUnit*> ships{leader.owner.unit, a.owner.unit, b.owner.unit};
    SetSceneShipsProvider([&](std::vector<TBaseRenderUnit*>& out) { out = ships; });
    a.npc->DoFollowToObject(leader.owner.unit, false, 0, 2, nullptr);
    b.npc->DoFollowToObject(leader.owner.unit, false, 0, 2, nullptr);
    EXPECT_TRUE(a.npc->TestState(DOFOLLOWTOOBJECT));
    EXPECT_EQ(leader.npc->FollowerCount(), 2);
    EXPECT_EQ(leader.npc->FormationCount(), 2);

    Vec3 pa{}, pb{};
    leader.npc->GetFormationPoint(a.npc, pa);
    leader.npc->GetFormationPoint(b.npc, pb);
    EXPECT_FLOAT_EQ(pa.x, pb.x); // same offset along the heading
    EXPECT_FLOAT_EQ(pa.x, 125.0f);
    EXPECT_FLOAT_EQ(pa.y, -pb.y); // opposite sides
    EXPECT_FLOAT_EQ(pb.y, 2.0f + 100.0f);

    // A new order leaves the leader's lists.
    a.npc->DoStop();
    EXPECT_EQ(leader.npc->FollowerCount(), 1);
    EXPECT_TRUE(a.npc->TestState(D0STOP));
    // A freed follower leaves them too.
    b.npc->Free();
    b.npc = nullptr;
    EXPECT_EQ(leader.npc->FollowerCount(), 0);
    SetSceneShipsProvider({});
}

TEST(NPCPhysic, FollowerAddedTwiceIsReportedAndListedTwice) {
    ErrorTrap trap;
    Ship leader(SC_BARGA), a(SC_BARGA);
    leader.npc->AddFollower(a.npc, 1);
    EXPECT_THROW(leader.npc->AddFollower(a.npc, 1), Halted);
    EXPECT_EQ(trap.lastFatal,
              "TNPCPhysicComponent.AddFollower - \xF3\xE6\xE5 \xF1\xF3\xF9\xE5\xF1\xF2\xE2\xF3\xE5\xF2");
    EXPECT_EQ(leader.npc->FollowerCount(), 2);
    EXPECT_EQ(leader.npc->FormationCount(), 0);
}

TEST(NPCPhysic, SpeedOrdersAndLongSteps) {
    Ship s(SC_BARGA);
    Done done;
    s.owner.vel->SetVector({60, 0, 0});
    s.npc->SetSpeed(&done, -5); // as 0: slows along the ramp
    EXPECT_FLOAT_EQ(s.record.speedLimit, 60.0f);
    s.npc->Tick(100); // 100 / 2 per second
    EXPECT_FLOAT_EQ(s.record.speedLimit, 55.0f);
    s.npc->SetSpeed(nullptr, 80); // faster: at once
    EXPECT_FLOAT_EQ(s.record.speedLimit, 80.0f);
    s.npc->Tick(100);
    EXPECT_FLOAT_EQ(s.record.speedLimit, 80.0f);

    const double x = s.owner.pos.x;
    s.npc->Tick(1001); // skipped whole
    EXPECT_EQ(s.owner.pos.x, x);
    s.npc->Tick(1000);
    EXPECT_GT(s.owner.pos.x, x);
}

TEST(NPCPhysic, MoveOrderEndsWithTheCallback) {
    Ship s(SC_SMALL);
    s.owner.radius = 10;
    Done done;
    s.npc->DoMoveToPoint({100, 0, 0}, nullptr, &done);
    for (int i = 0; i < 400 && done.n == 0; ++i) s.npc->Tick(30);
    EXPECT_EQ(done.n, 1);
    EXPECT_EQ(s.npc->GetState(), 0u);
    EXPECT_GT(s.owner.pos.x, 70.0);
}

TEST(NPCPhysic, ObstacleClassesAndDrift) {
    Ship big(SC_BIG), small(SC_SMALL), barga(SC_BARGA), box(SC_CONTAINER);
    EXPECT_EQ(big.npc->GetObstacleClasses(), 0u);
    EXPECT_EQ(small.npc->GetObstacleClasses(), 22u);
    EXPECT_EQ(barga.npc->GetObstacleClasses(), 4u);
    EXPECT_EQ(box.npc->GetObstacleClasses(), 86u);
    small.npc->AddObstacle(barga.owner.unit);
    small.npc->AddObstacle(box.owner.unit); // not a class it avoids
    EXPECT_EQ(small.npc->GetPathFinder()->DynamicCount(), 1);

    box.npc->SetRandomSource([] { return 1.0f; });
    box.npc->StartDrift();
    EXPECT_TRUE(box.npc->TestState(CONTAINERMOVE));
    EXPECT_FLOAT_EQ(box.npc->GetSpeed(), 100.0f);
    for (int i = 0; i < 400; ++i) box.npc->Tick(30); // speed falls as e^(-t/2)
    EXPECT_FALSE(box.npc->TestState(CONTAINERMOVE)); // slowed to a stop
    EXPECT_FLOAT_EQ(box.npc->GetSpeed(), 0.0f);
}

TEST(NPCPhysic, TickWithoutARenderUnitIsReported) {
    ErrorTrap trap;
    Ship s(SC_BARGA);
    s.owner.unit->SetBPU(nullptr);
    TBaseRenderUnit* keep = s.owner.unit;
    s.owner.unit = nullptr;
    EXPECT_THROW(s.npc->Tick(30), Halted);
    EXPECT_TRUE(trap.HasReport("TNPCPhysicComponent.Tick: OwnerBRU=nil - tick was called after obj release"));
    s.owner.unit = keep;
}

} // namespace
} // namespace vesk
