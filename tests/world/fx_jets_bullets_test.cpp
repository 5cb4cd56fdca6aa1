// The life of jets and bullets in fixed steps: trails, emission, flight, hits,
// fading, death and the return of their records and units.
#include "fx_fixture.h"
#include "physics/bsphere.h"
#include "physics/bsphere_sections.h"
#include "render/collision_event.h"
#include "render/helpers.h"
#include "render/sprite_renderer.h"
#include "support/image_files.h"
#include "world/fx_bullet.h"
#include "world/fx_burst.h"
#include "world/fx_jet.h"
#include "world/fx_particle.h"
#include "world/fx_spawn.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vesk::test {
namespace {

// A game event that counts its firings and keeps its data.
class CountingEvent : public TEngineObject, public IGameCollisionEvent {
public:
    void Fire() override { ++fired; }
    void SetEventData(TEngineObject* v) override { data = v; }
    TEngineObject* GetEventObj() const override { return owner; }
    int fired = 0;
    TEngineObject* data = nullptr;
    TEngineObject* owner = nullptr;
};

const char* kJet =
    "jet = { id = 'jet', type = 'nozzlejet', lifetime = '1', color = '80FF8000', thickness = '4' }";
const char* kSpark = "spark = { id = 'spark', type = 'particle' }";
const char* kBurst =
    "boom = { id = 'boom', type = 'burst', numParticles = '2', vmin = '1', vmax = '2', MaxSize = '1',"
    " MinSize = '1', MaxLifeTime = '1', MinLifeTime = '1', particleID = 'spark', color = 'FFFFFFFF',"
    " friction = '0' }";

std::string BulletEntry(const std::string& extra) {
    return "shot = { id = 'shot', type = 'bullet', velocity = '100', lifetime = '2', len = '20' " + extra +
           " }";
}

class FxJetsBulletsTest : public FxTest {
protected:
    void TearDown() override {
        for (auto& b : bodies) b->unit->SetBPU(nullptr);
        FxTest::TearDown();
    }
    // A nozzle unit moving at the given velocity.
    RecUnit* Nozzle(Vec3 at, Vec3 velocity) {
        RecUnit* u = Unit(env, "nozzle");
        u->SetPosition(at);
        bodies.push_back(std::make_unique<MovingBody>(u));
        bodies.back()->velocity = velocity;
        u->SetBPU(bodies.back().get());
        engine->UpdateMatrices(nullptr);
        return u;
    }
    FXJetClass* Jet(TBaseRenderUnit* nozzle, const std::string& name = "jet") {
        FXDescrStruct desc{};
        desc.JetTargetBRU = nozzle;
        return Spawn<FXJetClass>(name, engine, &desc);
    }
    // A bullet fired from `from` towards `to`.
    FXBulletClass* Fire(TBaseRenderUnit* from, TBaseRenderUnit* to) {
        FXConfigBulletClass* cfg = FXConfigurator.GetBulletConfig("test");
        cfg->SetData(from, "", to);
        auto* b = dynamic_cast<FXBulletClass*>(Template("shot")->SpawnEffect2(cfg));
        TEODestroyManager->Flush(); // the configuration goes
        return b;
    }
    // One round of the updater (the bullets' tick), then the frame.
    void BulletStep(float ms) {
        UpdaterManager->Update(ms);
        Frame();
    }
    std::vector<std::unique_ptr<MovingBody>> bodies;
};

TEST_F(FxJetsBulletsTest, AMovingNozzleLeavesATrailThatFades) {
    LoadFx(kJet);
    RecUnit* nozzle = Nozzle({50, 0, 0}, {0, 100, 0});
    FXJetClass* jet = Jet(nozzle);
    ASSERT_NE(jet, nullptr);
    EXPECT_EQ(jet->GetName(), "jet");
    jet->Tick(100.0f);
    ASSERT_EQ(jet->PointCount(), 1);
    // The first point of an empty trail is fully transparent.
    EXPECT_EQ(jet->Point(0).colour, 0x00FF8000u);
    EXPECT_FLOAT_EQ(jet->Point(0).remaining, 1.0f);
    for (int i = 0; i < 4; ++i) {
        nozzle->SetPosition({50, 10.0f * (i + 1), 0});
        engine->UpdateMatrices(nullptr);
        jet->Tick(100.0f);
    }
    ASSERT_EQ(jet->PointCount(), 5);
    // Older points fade: the one added second was aged at 0.8 of its life.
    EXPECT_EQ(jet->Point(1).colour >> 24, static_cast<uint32_t>(0x80 * 0.8f));
    // The band is drawn through the points.
    Frame();
    EXPECT_EQ(jet->BandSegments(), 4);
    // A point dies when its life is over: after a second the first ones are gone.
    for (int i = 0; i < 8; ++i) jet->Tick(100.0f);
    EXPECT_LT(jet->Point(0).remaining, 1.0f);
    EXPECT_EQ(jet->PointsAdded(), 13);
    EXPECT_EQ(jet->PointCount(), 10);
}

TEST_F(FxJetsBulletsTest, ATrailHoldsFiftyPointsAtMost) {
    LoadFx("jet = { id = 'jet', type = 'nozzlejet', lifetime = '100' }");
    FXJetClass* jet = Jet(Nozzle({50, 0, 0}, {100, 0, 0}));
    for (int i = 0; i < 60; ++i) jet->Tick(16.0f);
    EXPECT_EQ(jet->PointCount(), FXJetClass::kMaxPoints);
    EXPECT_EQ(jet->PointsAdded(), FXJetClass::kMaxPoints);
}

TEST_F(FxJetsBulletsTest, AStandingNozzleLeavesNoLastingTrail) {
    LoadFx(kJet);
    FXJetClass* jet = Jet(Nozzle({50, 0, 0}, {0, 0, 0}));
    for (int i = 0; i < 5; ++i) {
        jet->Tick(16.0f);
        EXPECT_EQ(jet->PointCount(), 1) << i; // each new point dies at the next ageing
    }
}

TEST_F(FxJetsBulletsTest, JetsStandStillWhileTheJetsSwitchIsOff) {
    LoadFx(kJet);
    FXJetClass* jet = Jet(Nozzle({50, 0, 0}, {0, 100, 0}));
    SetSwitch("vis.jets", 0);
    jet->Tick(16.0f);
    EXPECT_EQ(jet->PointCount(), 0);
    SetSwitch("vis.jets", 1);
    jet->Tick(16.0f);
    EXPECT_EQ(jet->PointCount(), 1);
}

TEST_F(FxJetsBulletsTest, ADiscardedJetGivesItsPointsBackToTheirPool) {
    LoadFx(kJet);
    const int32_t records = JetPoints().UsedCount();
    const int32_t jets = BRUMan->Jets()->GetPool()->GetUsedCount();
    FXJetClass* jet = Jet(Nozzle({50, 0, 0}, {0, 100, 0}));
    for (int i = 0; i < 3; ++i) jet->Tick(16.0f);
    EXPECT_EQ(JetPoints().UsedCount(), records + 3);
    EXPECT_EQ(BRUMan->Jets()->GetPool()->GetUsedCount(), jets + 1);
    jet->Kill();
    Frame();
    EXPECT_EQ(JetPoints().UsedCount(), records);
    EXPECT_EQ(BRUMan->Jets()->GetPool()->GetUsedCount(), jets);
}

TEST_F(FxJetsBulletsTest, AParticleJetEmitsAlongItsPath) {
    LoadFx(std::string(kSpark) + ", jet = { id = 'jet', type = 'nozzlejet', lifetime = '1', thickness = '4',"
                                 " particles = { 'spark' } }");
    RecUnit* nozzle = Nozzle({50, 0, 0}, {0, 100, 0});
    FXJetClass* jet = Jet(nozzle);
    jet->SetInterpolate(true);
    nozzle->SetPosition({50, 10, 0});
    engine->UpdateMatrices(nullptr);
    jet->Tick(100.0f);
    // Every half thickness (2 units) along the 10 units moved, each as old as the nozzle took to leave it.
    ASSERT_EQ(jet->ChildCount(), 5);
    TBaseRenderUnit* first = nullptr;
    jet->GetChildBRU(0, first);
    auto* p = dynamic_cast<FXParticleClass*>(first);
    ASSERT_NE(p, nullptr);
    EXPECT_NEAR(p->GetRemaining(), 1.0f - 0.08f, 1e-5f);
    EXPECT_FLOAT_EQ(p->GetCurrentSize(), 2.0f);
    // A jet names one particle template at most.
    FreeFXTemplates();
    Lua("fx.jet.particles = { 'spark', 'spark' }");
    EXPECT_THROW(LoadFXTemplates(), Halted);
    EXPECT_EQ(trapAll.lastFatal, "FXJetClass.CreateFromLua: jet: particle can be one only");
}

// ---- bullets ---------------------------------------------------------------------------------

TEST_F(FxJetsBulletsTest, BulletKeysAreRequiredWithTheirContexts) {
    struct Case {
        const char* missing;
        std::string text;
    };
    for (const Case& c : std::vector<Case>{
             {"velocity", "kws2f: _str=FXKineticClass.CreateFromLua: QueueParticleStartVelocity:  for shot"},
             {"lifetime", "kws2f: _str=FXKineticClass.CreateFromLua: lifetime:  for shot"},
             {"len", "kws2f: _str=FXKineticClass.CreateFromLua: len:  for shot"}}) {
        FreeFXTemplates();
        Lua("fx = {" + BulletEntry("") + "} fx.shot." + c.missing + " = nil fxOrder = nil");
        EXPECT_THROW(LoadFXTemplates(), Halted) << c.missing;
        EXPECT_EQ(trapAll.lastFatal, c.text);
    }
}

TEST_F(FxJetsBulletsTest, EachShotDrawsItsLengthFromTheRandomRange) {
    LoadFx(BulletEntry(", rnd_length_from = '0.5', rnd_length_to = '1.5'"));
    RecUnit* gun = Unit(env, "gun");
    RecUnit* target = Unit(env, "target");
    target->SetPosition({1000, 0, 0});
    engine->UpdateMatrices(nullptr);
    float low = 1e9f, high = 0;
    for (int i = 0; i < 50; ++i) {
        FXBulletClass* b = Fire(gun, target);
        low = std::min(low, b->Length());
        high = std::max(high, b->Length());
        b->Kill();
    }
    EXPECT_GE(low, 10.0f);
    EXPECT_LE(high, 30.0f);
    EXPECT_LT(low, 15.0f);
    EXPECT_GT(high, 25.0f);
}

TEST_F(FxJetsBulletsTest, AShotFliesAtItsShipsSpeedPlusItsOwnAndDiesAtTheEndOfItsLife) {
    LoadFx(BulletEntry(""));
    RecUnit* ship = Nozzle({50, 0, 0}, {30, 40, 0}); // 50 units a second
    RecUnit* target = Unit(env, "target");
    target->SetPosition({50, 0, 1000});
    engine->UpdateMatrices(nullptr);
    FXBulletClass* b = Fire(ship, target);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Parent(), engine);
    EXPECT_FLOAT_EQ(b->Kinetic()->velocity.z, 150.0f);
    const int32_t id = b->GetId();
    BulletStep(500.0f);
    EXPECT_FLOAT_EQ(b->Kinetic()->position.z, 75.0f);
    // Drawn as a streak through the shared renderer.
    EXPECT_EQ(FXStreakRendererClass::Bullets()->BatchesDrawn(), 1);
    for (int i = 0; i < 3; ++i) BulletStep(500.0f);
    EXPECT_EQ(FindEngineObjectById(id), nullptr);
}

TEST_F(FxJetsBulletsTest, AHitSpawnsTheBurstsAtTheContactAndTellsTheGameOnce) {
    LoadFx(std::string(kSpark) + ", " + kBurst + ", " +
           BulletEntry(", bursts = { { id = 'boom', size = 3 } }"));
    RecUnit* gun = Unit(env, "gun");
    RecUnit* ship = Unit(env, "ship", BRU_OPAQUE | BRU_SHIP);
    ship->SetPosition({0, 0, 100});
    ship->SetBox({-10, -10, -10}, {10, 10, 10});
    engine->UpdateMatrices(nullptr);
    Frame();
    auto* own = TEngineObject::New<CountingEvent>();
    auto* other = TEngineObject::New<CountingEvent>();
    other->owner = other;
    ship->SetCollisionEvent(other);
    FXBulletClass* b = Fire(gun, ship);
    b->SetCollisionEvent(own);
    for (int i = 0; i < 10; ++i) BulletStep(100.0f);
    ASSERT_TRUE(b->HasHit());
    EXPECT_EQ(b->LastContact().unit, ship);
    EXPECT_NEAR(b->LastContact().point.z, 100.0f - std::sqrt(300.0f), 1e-3f);
    EXPECT_EQ(own->fired, 1);
    EXPECT_EQ(own->data, other);
    EXPECT_EQ(b->Kinetic()->colour, 0u);
    // The burst sits at a helper of its own at the contact point.
    HelperClass* coll = nullptr;
    ASSERT_TRUE(ship->FindHelper("coll", coll));
    int bursts = 0;
    for (TBaseRenderUnit* c : *engine->ChildsBRU())
        if (auto* fx = dynamic_cast<FXBurstClass*>(c)) {
            ++bursts;
            EXPECT_EQ(fx->AnchorHelper(), coll);
        }
    EXPECT_EQ(bursts, 1);
    b->SetCollisionEvent(nullptr);
    ship->SetCollisionEvent(nullptr);
    own->Free();
    other->Free();
}

TEST_F(FxJetsBulletsTest, APathHitsTheShipWhoseSphereItMeetsWhereverTheShipsStand) {
    // Ships apart along every axis, two far out, one at a place that is no
    // number; each met on the sphere of its box.
    const float nan = std::nanf("");
    const Vec3 places[] = {{0, 0, 100},      {300, 0, 100},         {0, 400, 100},
                           {300, 400, -50},  {nan, 0, 0},           {-700, -20, 0},
                           {100000, 200, 0}, {100150, -250000, 30}, {-3.5f, 1200, 7}};
    struct Target {
        RecUnit* unit;
        Vec3 centre;
        float radius;
    };
    std::vector<Target> ships;
    for (size_t i = 0; i < std::size(places); ++i) {
        RecUnit* u = Unit(env, "ship" + std::to_string(i), BRU_OPAQUE | BRU_SHIP);
        u->SetPosition(places[i]);
        const float h = 5.0f + 3.0f * static_cast<float>(i);
        u->SetBox({-h, -h, -h}, {h, h, h});
        u->UpdateMatrices(&engine->GetWorldMatrix());
        BSphereRecord* own = nullptr;
        u->GetOwnBSphere(own);
        ASSERT_NE(own, nullptr);
        u->TransformBSphere(*own, u->GetWorldMatrix());
        if (std::isfinite(own->worldCentre.x)) ships.push_back({u, own->worldCentre, own->worldRadius});
    }
    Frame();
    auto hit = [](const Vec3& from, const Vec3& to, TBaseRenderUnit* ignore = nullptr) {
        BulletContact c;
        return FindSegmentContact(from, to, ignore, c) ? c : BulletContact{};
    };
    const Vec3 directions[] = {
        {1, 0, 0}, {0, 1, 0}, {0, 0, -1}, Vec3Normalize({1, 1, 0}), Vec3Normalize({1, -2, 3})};
    for (const Target& ship : ships)
        for (const Vec3& d : directions) {
            SCOPED_TRACE(ship.unit->GetName() + " along " + std::to_string(d.x) + " " + std::to_string(d.y) +
                         " " + std::to_string(d.z));
            const Vec3 across =
                Vec3Normalize(Vec3Cross(d, std::fabs(d.z) < 0.9f ? Vec3{0, 0, 1} : Vec3{1, 0, 0}));
            const float r = ship.radius, length = 2.0f * r;
            auto path = [&](float off, float along) {
                const Vec3 from = Vec3Add(ship.centre, Vec3Add(Vec3Scale(across, off), Vec3Scale(d, along)));
                return std::pair{from, Vec3Add(from, Vec3Scale(d, length))};
            };
            // Grazing the sphere just inside it hits it on its surface; just outside misses.
            auto [in, inEnd] = path(0.99f * r, -r);
            const BulletContact graze = hit(in, inEnd);
            EXPECT_EQ(graze.unit, ship.unit);
            EXPECT_NEAR(Vec3Length(Vec3Sub(graze.point, ship.centre)), r, 1e-3f * r + 0.05f);
            auto [out, outEnd] = path(1.01f * r, -r);
            EXPECT_EQ(hit(out, outEnd).unit, nullptr);
            // Ending just short of the sphere misses; just inside, it meets its near side.
            auto [shortFrom, shortTo] = path(0.0f, -1.01f * r - length);
            EXPECT_EQ(hit(shortFrom, shortTo).unit, nullptr);
            auto [reachFrom, reachTo] = path(0.0f, -0.99f * r - length);
            const BulletContact reach = hit(reachFrom, reachTo);
            EXPECT_EQ(reach.unit, ship.unit);
            EXPECT_NEAR(Vec3Length(Vec3Sub(reach.point, ship.centre)), r, 1e-3f * r + 0.05f);
            // A path that starts inside meets the ship where it starts, unless it is the shooter's.
            auto [inside, insideEnd] = path(0.5f * r, 0.0f);
            EXPECT_EQ(hit(inside, insideEnd).unit, ship.unit);
            EXPECT_EQ(hit(inside, insideEnd).point.x, inside.x);
            EXPECT_EQ(hit(inside, insideEnd, ship.unit).unit, nullptr);
            EXPECT_EQ(hit(inside, inside).unit, ship.unit);
        }
    // Through two ships the first on the way is hit; with it the shooter, the next.
    EXPECT_EQ(hit({-100, 0, 100}, {400, 0, 100}).unit, ships[0].unit);
    EXPECT_EQ(hit({400, 0, 100}, {-100, 0, 100}).unit, ships[1].unit);
    EXPECT_EQ(hit({-100, 0, 100}, {400, 0, 100}, ships[0].unit).unit, ships[1].unit);
    // A path whose end is no number meets nothing.
    EXPECT_EQ(hit({-100, 0, 100}, {nan, 0, 100}).unit, nullptr);
}

// The ships a path may meet are gathered once a frame: a ship killed after
// the first ask of a frame is passed over by the later asks of that frame,
// and a ship that moved, or one added, is met where it stands in the next
// frame, never where it stood.
TEST_F(FxJetsBulletsTest, TheShipsOfAFrameAreThoseThatStandAndLiveWhenAsked) {
    auto place = [this](RecUnit* u, const Vec3& at) {
        u->SetPosition(at);
        u->UpdateMatrices(&engine->GetWorldMatrix());
    };
    auto hit = [](float x) {
        BulletContact c;
        return FindSegmentContact({x, -100, 0}, {x, 100, 0}, nullptr, c) ? c.unit : nullptr;
    };
    RecUnit* a = Unit(env, "shipA", BRU_OPAQUE | BRU_SHIP);
    RecUnit* b = Unit(env, "shipB", BRU_OPAQUE | BRU_SHIP);
    for (RecUnit* u : {a, b}) u->SetBox({-10, -10, -10}, {10, 10, 10});
    place(a, {0, 0, 0});
    place(b, {500, 0, 0});
    Frame();
    EXPECT_EQ(hit(0), a);
    EXPECT_EQ(hit(500), b);
    a->Kill();
    EXPECT_EQ(hit(0), nullptr); // killed since the frame's first ask
    EXPECT_EQ(hit(500), b);
    place(b, {2000, 300, 0});
    Frame();
    EXPECT_EQ(hit(500), nullptr);
    BulletContact moved;
    ASSERT_TRUE(FindSegmentContact({2000, 200, 0}, {2000, 400, 0}, nullptr, moved));
    EXPECT_EQ(moved.unit, b);
    RecUnit* c = Unit(env, "shipC", BRU_OPAQUE | BRU_SHIP);
    c->SetBox({-10, -10, -10}, {10, 10, 10});
    place(c, {-800, 0, 0});
    Frame();
    EXPECT_EQ(hit(-800), c);
}

// A shot meets a large ship (bounding radius 100 or more) where its path
// meets the hull: the triangles of the section of the sphere it enters. A
// small ship it meets on its spheres. The ship stands at (200, 0, 0) with a
// sphere of radius 60 at world x = 100 whose section is a wall 100 square
// across world x = 60, facing the shot unless turned; the shot flies along x.
TEST_F(FxJetsBulletsTest, AShotMeetsALargeShipOnItsHullAndASmallOneOnItsSpheres) {
    struct Case {
        const char* what;
        float half;      // half the box edge: 100 gives radius 173, 57.68 gives 99.9
        bool facingAway; // the wall seen from behind
        float offset;    // how far beside the axis the shot flies
        bool hits;
        float x; // where
    } cases[] = {
        {"large: the wall", 100, false, 0, true, 60},
        {"large: beside the wall, through the sphere", 100, false, 55, false, 0},
        {"large: the wall from behind", 100, true, 0, false, 0},
        {"small: the sphere", 57.68f, true, 0, true, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecUnit* ship = Unit(env, "station", BRU_OPAQUE | BRU_SHIP);
        ship->SetPosition({200, 0, 0});
        ship->SetBox({-c.half, -c.half, -c.half}, {c.half, c.half, c.half});
        auto* tree = TBaseRenderUnit::Create<BSpheresContainerClass>(ship);
        ship->AddChild(tree);
        BSphereClass* sphere = tree->AddSphere({-100, 0, 0}, 60, false);
        auto wall = std::make_shared<BSSectionMesh>();
        wall->positions = {{-40, -50, -50}, {-40, 50, -50}, {-40, 50, 50}, {-40, -50, 50}};
        wall->indices =
            c.facingAway ? std::vector<uint32_t>{0, 1, 2, 0, 2, 3} : std::vector<uint32_t>{0, 2, 1, 0, 3, 2};
        sphere->SetMeshGeometry(wall);
        engine->UpdateMatrices(nullptr);
        Frame();
        BulletContact contact;
        const bool hit = FindSegmentContact({-50, c.offset, 0}, {250, c.offset, 0}, nullptr, contact);
        EXPECT_EQ(hit, c.hits);
        if (hit) {
            EXPECT_EQ(contact.unit, ship);
            EXPECT_NEAR(contact.point.x, c.x, 1e-3f);
            EXPECT_NEAR(contact.normal.x, -1.0f, 1e-3f); // facing back along the shot
        }
        ship->Kill();
        Frame();
    }
}

TEST_F(FxJetsBulletsTest, EffectsOffReadsNoBulletBursts) {
    SetSwitch("vis.effectsoff", 1);
    LoadFx(BulletEntry(", bursts = { { id = 'boom', size = 3 } }"));
    EXPECT_TRUE(dynamic_cast<FXBulletClass*>(Template("shot"))->Bursts().empty());
}

TEST_F(FxJetsBulletsTest, NumberedFramesPlayOverTheShotsLife) {
    for (int i = 0; i < 8; ++i) Put("TEXTURES/SHOT000" + std::to_string(i) + ".BMP", FlatBmp(2, 2, 0xFFFFFF));
    LoadFx(BulletEntry(", textures = 'shot0000.bmp', color = 'FF804020'"));
    RecUnit* gun = Unit(env, "gun");
    RecUnit* target = Unit(env, "target");
    target->SetPosition({1000, 0, 0});
    engine->UpdateMatrices(nullptr);
    FXBulletClass* b = Fire(gun, target);
    EXPECT_EQ(b->FrameCount(), 8);
    BulletStep(1.0f);
    EXPECT_EQ(b->CurrentFrame(), 0);
    EXPECT_EQ(b->Kinetic()->colour, 0xFF000000u); // black at birth
    BulletStep(1990.0f);
    BulletStep(1.0f); // a step takes the life as it was at the step's start
    EXPECT_EQ(b->CurrentFrame(), 7);
    EXPECT_GE((b->Kinetic()->colour >> 16) & 0xFF, 0x7Eu);
}

TEST_F(FxJetsBulletsTest, AStreakSeenEndOnKeepsItsMinimumWidth) {
    LoadFx(BulletEntry(""));
    RecUnit* gun = Unit(env, "gun");
    RecUnit* target = Unit(env, "target");
    target->SetPosition({1000, 0, 0});
    engine->UpdateMatrices(nullptr);
    FXBulletClass* b = Fire(gun, target);
    // The default camera looks along x: the shot flies straight away from it.
    const Matrix view = engine->GetCamera()->GetViewMatrix();
    Vec3 corners[4];
    b->StreakCorners(view, corners);
    EXPECT_NEAR(Vec3Length(Vec3Sub(corners[1], corners[0])), 10.0f, 1e-4f);
    // Seen from the side it is as wide as its size and as long as its length.
    b->Kinetic()->direction = {0, 1, 0};
    b->Kinetic()->size = 40.0f;
    b->StreakCorners(view, corners);
    EXPECT_NEAR(Vec3Length(Vec3Sub(corners[1], corners[0])), 40.0f, 1e-3f);
    EXPECT_NEAR(Vec3Length(Vec3Sub(corners[2], corners[1])), 20.0f, 1e-3f);
}

// A configuration that answers only what a test gives it.
class PartialConfig : public TEngineObject,
                      public IFXConfigBase,
                      public IFXInitiator,
                      public IFXTargetPosition {
public:
    TBaseRenderUnit* GetParentBRU() override { return parent; }
    void SetFX(TBaseRenderUnit*) override {}
    IDynamicTargetPosition* GetInitiator() override { return from; }
    IDynamicTargetPosition* GetTargetPosition() override { return to; }
    TBaseRenderUnit* parent = nullptr;
    IDynamicTargetPosition* from = nullptr;
    IDynamicTargetPosition* to = nullptr;
};

// A point in space that names no unit.
class FixedPoint : public IDynamicTargetPosition {
public:
    Vec3 GetPos() override { return {100, 0, 0}; }
    Vec3 GetVelocity() override { return {}; }
};

TEST_F(FxJetsBulletsTest, ConfigurationsThatCannotPlaceAnEffectAreFatal) {
    LoadFx(std::string(kSpark) + ", " + kBurst + ", " + BulletEntry(""));
    FixedPoint point;
    struct Case {
        const char* templ;
        bool from, to;
        std::string text;
    };
    for (const Case& c :
         std::vector<Case>{{"shot", false, false, "1"},
                           {"shot", true, false, "2"},
                           {"shot", true, true,
                            "FXBulletClass.SetFromDescStruct: not FInitiator.GetObject(TObject(bru))"}}) {
        auto* cfg = TEngineObject::New<PartialConfig>();
        cfg->parent = engine;
        cfg->from = c.from ? &point : nullptr;
        cfg->to = c.to ? &point : nullptr;
        EXPECT_THROW(Template(c.templ)->SpawnEffect2(cfg), Halted) << c.text;
        EXPECT_TRUE(trapAll.HasReport(c.text)) << c.text;
        cfg->Free();
    }
    FXDescrStruct desc{};
    desc.BurstInitiator = &point; // a point that names no unit, for a burst that moves with it
    EXPECT_THROW(Spawn<FXBurstClass>("boom", engine, &desc), Halted);
    EXPECT_EQ(trapAll.lastFatal, "FXBurstClass.SetFromDescStruct: not FInitiator.GetObject(bru)");
}

TEST_F(FxJetsBulletsTest, BurstConfigurationsPlaceTheBurstOnTheUnitOrWhereItWas) {
    LoadFx(
        std::string(kSpark) + ", " + kBurst + ", " +
        "still = { id = 'still', type = 'burst', numParticles = '1', vmin = '1', vmax = '1', MaxSize = '1',"
        " MinSize = '1', MaxLifeTime = '1', MinLifeTime = '1', particleID = 'spark', color = 'FF',"
        " friction = '0', notattached = '1' }");
    RecUnit* ship = Unit(env, "ship");
    ship->SetPosition({100, 0, 0});
    engine->UpdateMatrices(nullptr);
    FixedPoint hit; // (100, 0, 0): the ship's own place
    for (const char* name : {"boom", "still"}) {
        FXConfigBurstClass* cfg = FXConfigurator.GetBurstConfig("test");
        cfg->SetData(&hit, ship);
        auto* burst = dynamic_cast<FXBurstClass*>(Template(name)->SpawnEffect2(cfg));
        ASSERT_NE(burst, nullptr) << name;
        ASSERT_NE(burst->AnchorHelper(), nullptr) << name;
        // Attached: a helper of the ship at the hit's place in its own frame; else one of the scene's.
        const bool attached = std::string(name) == "boom";
        EXPECT_EQ(burst->AnchorHelper()->GetHelperName(), attached ? "attached" : "!attached");
        EXPECT_EQ(burst->AnchorHelper()->FindUpWithFlags(BRU_ROOT) == engine, true);
        EXPECT_FLOAT_EQ(burst->GetWorldMatrix().m[3][0], 100.0f);
    }
    HelperClass* h = nullptr;
    EXPECT_TRUE(ship->FindHelper("attached", h));
    TEODestroyManager->Flush();
}

TEST_F(FxJetsBulletsTest, EventConditionsRunTheirActionOnTheItemsThatPass) {
    EventConditionManagerClass events;
    std::vector<TEngineObject*> items{env, engine};
    std::vector<std::string> acted;
    size_t at = 0;
    const int handle =
        events.Add({[&] { at = 0; },
                    [&](TEngineObject*& item) {
                        if (at >= items.size()) return false;
                        item = items[at++];
                        return true;
                    },
                    [](TEngineObject* item, int32_t p) { return item == Engine ? p == 7 : true; },
                    [&](TEngineObject* item, int32_t) { acted.push_back(item->ClassName()); }, 7});
    events.Process();
    EXPECT_EQ(acted, (std::vector<std::string>{"EnvironmentStandInClass", "TEngineClass"}));
    events.Remove(handle);
    events.Process();
    EXPECT_EQ(acted.size(), 2u);
    EXPECT_EQ(events.Count(), 0);
}

// Streaks of several textures listed in a mixed order are drawn a batch per
// texture, the batches by the textures' addresses and each batch in the order
// its streaks were listed.
TEST_F(FxJetsBulletsTest, StreaksAreBatchedByTextureInTheOrderTheyWereListed) {
    struct Streak final : IStreakClient {
        IKWTexture* texture = nullptr;
        int id = 0;
        std::vector<std::pair<IKWTexture*, int>>* drawn = nullptr;
        bool StreakCorners(const Matrix&, Vec3 (&corners)[4]) const override {
            drawn->push_back({texture, id});
            for (Vec3& c : corners) c = {0, 0, 10};
            return true;
        }
        uint32_t StreakColour() const override { return 0xFFFFFFFF; }
        IKWTexture* CurrentTexture() const override { return texture; }
    };
    const TextureRef textures[] = {TextureManager->GetTexture("streak_a", platform::D3DFMT_UNKNOWN, false),
                                   TextureManager->GetTexture("streak_b", platform::D3DFMT_UNKNOWN, false),
                                   TextureManager->GetTexture("streak_c", platform::D3DFMT_UNKNOWN, false)};
    FXStreakRendererClass* r = FXStreakRendererClass::Get("fx_streak_order");
    ASSERT_NE(r, nullptr);
    std::vector<std::pair<IKWTexture*, int>> drawn;
    std::vector<Streak> streaks(12);
    for (int i = 0; i < 12; ++i) {
        // Textures in turn c, a, b, a, c, b, ...: never already grouped.
        streaks[i].texture = textures[(i * 7 + 2) % 3].Get();
        streaks[i].id = i;
        streaks[i].drawn = &drawn;
        r->AddClient(&streaks[i]);
    }
    const int before = r->BatchesDrawn();
    r->DoRender();
    r->EndRender();
    EXPECT_EQ(r->BatchesDrawn(), before + 3);
    std::vector<std::pair<IKWTexture*, int>> expected;
    for (const Streak& s : streaks) expected.push_back({s.texture, s.id});
    std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        return std::less<const IKWTexture*>()(a.first, b.first);
    });
    EXPECT_EQ(drawn, expected);
}

} // namespace
} // namespace vesk::test
