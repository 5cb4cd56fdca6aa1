// The ship physics record built from parameters, and the path-finder obstacle lists.
#include "physics/pf_objects.h"
#include "physics/ph_config.h"
#include "render/render_unit.h"
#include "shared/helpers.h"
#include "support/error_trap.h"

#include "physic_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace vesk {
namespace {

using test::ErrorTrap;
using test::Halted;

using test::MapSource;

TEST(PhConfig, SizeClassFromNameAndRadius) {
    const struct {
        const char* type;
        float radius;
        int32_t cls;
    } cases[] = {
        {"", 5, SC_MISSILE},
        {"", 10, SC_SMALL},
        {"", 100, SC_NONE},
        {"", 150, SC_BARGA},
        {"", 700, SC_NONE},
        {"", 1000, SC_BIG},
        {"", 2000, SC_NONE},
        {"", 2500, SC_BIG},
        {"", 0, SC_NONE},
        {"BIG", 5, SC_BIG},
        {"Field_NSC", 5, SC_FIELD_NSC},
        {"player", 0, SC_PLAYER},
        {"container", 0, SC_CONTAINER},
        {"frigate", 5, SC_NONE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " " + std::to_string(c.radius));
        MapSource src;
        if (*c.type) src.values["ph_Type"] = c.type;
        PhConfigObjClass cfg(src, c.radius);
        EXPECT_EQ(cfg.GetSizeClass(), c.cls);
    }
}

TEST(PhConfig, RecordFromParameters) {
    MapSource src;
    src.values = {{"ph_StaticRotate90Time", "2"},
                  {"ph_StartMoveAngle", "0"},
                  {"ph_MaxPitchAngle", "57.3"},
                  {"ph_MaxVelocity", "300"},
                  {"ph_AccelerateTime", "4"},
                  {"ph_RotateDistance", "9"},
                  {"ph_RotateForceMultiply", "3"},
                  {"ph_RotateFading", "0.5"},
                  {"ph_MaxRotateVelocity", "114.6"},
                  {"ph_RollForceMultiply", "6"},
                  {"ph_RollFading", "0.25"},
                  {"ph_MaxRollAngle", "28.65"},
                  {"ph_Type", "small"},
                  {"ph_UseInFindWay", "true"}};
    PhConfigObjClass cfg(src, 50);
    const TShipPhysicParams& r = cfg.Record();
    EXPECT_FLOAT_EQ(r.staticRotate90Time, 2);
    EXPECT_FLOAT_EQ(r.startMoveCos, 1);
    EXPECT_FLOAT_EQ(r.maxPitchAngle, 1);
    EXPECT_FLOAT_EQ(r.speedLimit, 300);
    EXPECT_FLOAT_EQ(r.maxVelocity, 300);
    EXPECT_FLOAT_EQ(r.accelerateTime, 4);
    EXPECT_EQ(r.sizeClass, SC_SMALL);
    EXPECT_FLOAT_EQ(r.collDist, 2.7f); // 75 / 50 + 1.2
    EXPECT_FLOAT_EQ(r.pathFinderDist, 10);
    EXPECT_EQ(r.useInFindWay, 1);
    EXPECT_FLOAT_EQ(r.rotateForceMultiply, 3);
    EXPECT_FLOAT_EQ(r.maxRotateVelocity, 2);
    EXPECT_FLOAT_EQ(r.maxRollAngle, 0.5f);
    EXPECT_FLOAT_EQ(r.reserved1 + r.reserved3 + r.rotationInertiaTime, 0);

    src.values["ph_collDist"] = "12.5";
    src.values["ph_PathFinderDist"] = "3";
    PhConfigObjClass given(src, 50);
    EXPECT_FLOAT_EQ(given.GetCollDist(), 12.5f);
    EXPECT_FLOAT_EQ(given.GetPathFinderDist(), 3.0f);
}

TEST(PhConfig, GetDataReportsAWrongSize) {
    ErrorTrap trap;
    MapSource src;
    src.values["ph_MaxVelocity"] = "7";
    PhConfigObjClass cfg(src, 50);
    TShipPhysicParams out;
    cfg.GetData(&out, sizeof out);
    EXPECT_FLOAT_EQ(out.maxVelocity, 7.0f);
    EXPECT_TRUE(trap.reports.empty());

    unsigned char big[80];
    std::fill(std::begin(big), std::end(big), 0xAB);
    EXPECT_THROW(cfg.GetData(big, sizeof big), Halted);
    EXPECT_EQ(trap.lastFatal, "PhConfigObjClass.GetData: _size <> sizeof(TShipPhysicParams)");
    EXPECT_EQ(big[76], 0xAB); // 76 bytes copied, no more
    float v;
    std::memcpy(&v, big + 16, 4);
    EXPECT_FLOAT_EQ(v, 7.0f);
}

TEST(PathFinder, DynamicObstaclesAreKeptOnceAndLeaveWhenFreed) {
    TShipPhysicParams r = test::MakeRecord(SC_SMALL);
    TPFObjectsManager* pf = TPFObjectsManager::Create(nullptr, &r, 2.0f);
    EXPECT_FLOAT_EQ(pf->RefreshDistance(), 200.0f);
    TBaseRenderUnit* u = TBaseRenderUnit::Create(nullptr);
    pf->AddDynamicObj(u);
    pf->AddDynamicObj(u);
    EXPECT_EQ(pf->DynamicCount(), 1);
    BSphereRecord* s = nullptr;
    EXPECT_TRUE(pf->GetDynamicSphere(0, s));
    EXPECT_FALSE(pf->GetDynamicSphere(1, s));
    u->Free();
    EXPECT_EQ(pf->DynamicCount(), 0);
    pf->Free();
}

TEST(PathFinder, StaticListFollowsTheOwnerAndTheMask) {
    // Three scene ships: a big one near, a big one far, a small one near.
    test::FakeOwner me, bigNear, bigFar, smallNear;
    TShipPhysicParams myRec = test::MakeRecord(SC_SMALL), bigRec = test::MakeRecord(SC_BIG),
                      smallRec = test::MakeRecord(SC_SMALL);
    bigRec.useInFindWay = smallRec.useInFindWay = 1;
    bigNear.params = bigFar.params = &bigRec;
    smallNear.params = &smallRec;
    std::vector<TBaseRenderUnit*> ships;
    for (auto [o, x] : {std::pair{&me, 0.0f}, {&bigNear, 5.0f}, {&bigFar, 5000.0f}, {&smallNear, 3.0f}}) {
        o->unit = TBaseRenderUnit::Create<test::PlacedUnit>(nullptr);
        o->unit->SetBPU(o);
        o->unit->SetWorldPosition({x, 0, 0});
        ships.push_back(o->unit);
    }
    int asked = 0;
    SetSceneShipsProvider([&](std::vector<TBaseRenderUnit*>& out) {
        ++asked;
        out = ships;
    });
    myRec.maxVelocity = 0; // refresh distance 0: every move refreshes
    TPFObjectsManager* pf = TPFObjectsManager::Create(&me, &myRec, 2.0f);
    pf->SetPosition({0, 0, 0});
    pf->SetPosition({0, 0, 0});
    EXPECT_EQ(asked, 2);
    ASSERT_EQ(pf->StaticCount(), 1);
    TBaseRenderUnit* got = nullptr;
    EXPECT_TRUE(pf->GetStatic(0, got));
    EXPECT_EQ(got, bigNear.unit);
    bigNear.unit->SetBPU(nullptr);
    bigNear.unit->Free();
    bigNear.unit = nullptr;
    EXPECT_EQ(pf->StaticCount(), 0);
    pf->Free();
    SetSceneShipsProvider({});
    for (auto* o : {&me, &bigFar, &smallNear}) {
        o->unit->SetBPU(nullptr);
        o->unit->Free();
    }
}

} // namespace
} // namespace vesk
