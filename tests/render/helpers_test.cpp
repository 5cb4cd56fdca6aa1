#include "render/fx_descr.h"
#include "render/fx_templates.h"
#include "render/helpers.h"
#include "render/render_object.h"
#include "render_fixture.h"
#include "shared/helpers.h"
#include "shared/math.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

const bool kRecRegistered = RegisterRenderUnitClass<RecUnit>("RecUnit");

class HelpersTest : public RenderTest {};

struct BoxRO : IUnitRenderObject {
    void GetBox(Vec3& min, Vec3& max) const override { min = max = {}; }
};

void ExpectNear(const Vec3& a, const Vec3& b) {
    EXPECT_NEAR(a.x, b.x, 1e-4f);
    EXPECT_NEAR(a.y, b.y, 1e-4f);
    EXPECT_NEAR(a.z, b.z, 1e-4f);
}

TEST_F(HelpersTest, LookupIgnoresCaseFindsFirstAndPlacesAtUnscaledOffsets) {
    RecUnit* ship = Unit(env, "ship");
    // Scale 2 and a translation (10, 0, 0): the helper offset stays unscaled.
    Matrix m = MatrixTranslation(10, 0, 0);
    m.m[0][0] = m.m[1][1] = m.m[2][2] = 2;
    ship->SetBaseMatrix(m);
    ship->UpdateMatrices(nullptr);
    HelperClass* gun1 = ship->AddHelper("Gun", {1, 2, 3});
    HelperClass* gun2 = ship->AddHelper("gun", {5, 5, 5});
    ASSERT_NE(gun1, gun2);
    EXPECT_EQ(gun1->GetName(), "Gun_" + IntToHex8(gun1->GetId()));
    EXPECT_EQ(ship->HelpersContainer()->GetName(), "ship.HC_" + IntToHex8(ship->HelpersContainer()->GetId()));
    EXPECT_TRUE(ship->HelpersContainer()->HasFlag(BRU_DONTCREATECOPY));
    HelperClass* found = nullptr;
    EXPECT_TRUE(ship->FindHelper("GUN", found));
    EXPECT_EQ(found, gun1);
    Vec3 p;
    ship->GetWHelper("gUn", p);
    ExpectNear(p, {11, 2, 3});
    EXPECT_FALSE(ship->FindHelper("none", found));
    EXPECT_EQ(found, nullptr);
}

// The container keeps the carrier's unit-length matrix while the carrier
// stays where it was: a carrier that moves, turns or scales again, even only
// between two updates of one frame, takes its attach points along.
TEST_F(HelpersTest, AttachPointsFollowEveryMoveOfTheirScaledCarrier) {
    RecUnit* ship = Unit(env, "ship");
    HelperClass* gun = ship->AddHelper("gun", {1, 0, 0});
    struct Case {
        const char* what;
        Matrix carrier;
        Vec3 gun;
    };
    Matrix scaledAway = MatrixScaling(4, 4, 4);
    MatrixSetTranslation(scaledAway, {100, 0, 0});
    const Case cases[] = {
        {"moved", MatrixTranslation(10, 0, 0), {11, 0, 0}},
        {"the same again", MatrixTranslation(10, 0, 0), {11, 0, 0}},
        {"turned a quarter about z", MatrixRotationZ(kPi / 2), {0, 1, 0}},
        {"scaled and moved", scaledAway, {101, 0, 0}},
        {"back", MatrixTranslation(10, 0, 0), {11, 0, 0}},
    };
    for (const Case& c : cases) {
        ship->SetLocalMatrix(c.carrier);
        engine->UpdateMatrices(nullptr);
        Vec3 p;
        gun->GetPosition(p);
        EXPECT_NEAR(p.x, c.gun.x, 1e-4f) << c.what;
        EXPECT_NEAR(p.y, c.gun.y, 1e-4f) << c.what;
        EXPECT_NEAR(p.z, c.gun.z, 1e-4f) << c.what;
    }
}

TEST_F(HelpersTest, RemovedHelperIsRenamedAndNoLongerFound) {
    RecUnit* u = Unit(env, "u");
    u->AddHelper("a", {});
    HelperClass* h = nullptr;
    u->RemoveHelper("A");
    EXPECT_FALSE(u->FindHelper("a", h));
    EXPECT_TRUE(u->FindHelper("_deleteda", h));
    EXPECT_TRUE(h->HasFlag(BRU_KILLED));
}

TEST_F(HelpersTest, MissingHelpersAreFatalWithTheirTexts) {
    RecUnit* u = Unit(env, "u");
    EXPECT_THROW(u->RemoveHelper("x"), Halted);
    EXPECT_EQ(trapAll.lastFatal, "TBaseRenderUnit.RemoveHelper: u have no helpers");
    EXPECT_THROW(u->RemoveUHelper("x"), Halted);
    EXPECT_EQ(trapAll.lastFatal, "TBaseRenderUnit.RemoveUHelper: u have no helpers");
    u->AddHelper("a", {});
    Vec3 p;
    EXPECT_THROW(u->GetWHelper("b", p), Halted);
    EXPECT_EQ(trapAll.lastFatal, "HelpersContainerClass.GetWHelper: helper not found in container: \"" +
                                     u->HelpersContainer()->GetName() + "\", helpername: \"b\"");
    EXPECT_THROW(u->RemoveHelper("b"), Halted);
    EXPECT_EQ(trapAll.lastFatal, "HelpersContainerClass.RemoveHelper: not GetHelper(_func,helper): b");
    u->AddUHelper("p", {}, 1);
    EXPECT_THROW(u->GetWUHelper("q", p), Halted);
    EXPECT_EQ(trapAll.lastFatal, "UHelpersContainerClass.GetWUHelper: helper not found in container: \"" +
                                     u->UHelpersContainer()->GetName() + "\", helpername: \"q\"");
    EXPECT_THROW(u->RemoveUHelper("q"), Halted);
    EXPECT_EQ(trapAll.lastFatal, "UHelpersContainerClass.RemoveUHelper: not GetUHelper(_func,uhelper): q");
}

TEST_F(HelpersTest, UniversalHelpersCarryRadiusLocationAndIndex) {
    RecUnit* u = Unit(env, "u");
    u->SetBaseMatrix(MatrixTranslation(0, 5, 0));
    u->UpdateMatrices(nullptr);
    UniHelperClass* a = u->AddUHelper("pointA", {1, 0, 0}, 50);
    u->AddUHelper("pointB", {2, 0, 0}, 60);
    EXPECT_EQ(a->GetName(), "pointA");
    EXPECT_EQ(u->UHelpersContainer()->GetName(),
              "u.uhelpers_container_" + IntToHex8(u->UHelpersContainer()->GetId()));
    EXPECT_EQ(a->GetRadius(), 50);
    EXPECT_EQ(a->GetLocation(), 0);
    a->SetLocation(7);
    UniHelperClass* h = nullptr;
    ASSERT_TRUE(u->GetUHelperByIndex(1, h));
    EXPECT_EQ(h->GetHelperName(), "pointB");
    EXPECT_FALSE(u->GetUHelperByIndex(2, h));
    EXPECT_TRUE(u->UHelpersContainer()->IsUHelper(a));
    Vec3 p;
    u->GetWUHelper("POINTA", p);
    ExpectNear(p, {1, 5, 0});
}

TEST_F(HelpersTest, LodPicksFirstLevelBeyondDistanceAndCountsPrimitivesUpToIt) {
    TBRULOD* lod = TBRULOD::Create();
    TRenderObject* ro[3];
    for (int i = 0; i < 3; ++i) {
        ro[i] = TEngineObject::New<TRenderObject>();
        ro[i]->SetTotals(static_cast<uint32_t>(100 * (i + 1)), 0, 0);
    }
    // Added out of order: the list sorts by distance.
    lod->AddLevel("far", ro[2], 1000);
    lod->AddLevel("near", ro[0], 100);
    lod->AddLevel("mid", ro[1], 500);
    struct Case {
        float d;
        TRenderObject* ro;
        uint32_t total;
    } cases[] = {
        {0, ro[0], 100}, {100, ro[1], 300}, {499, ro[1], 300}, {600, ro[2], 600}, {5000, ro[2], 600}};
    for (const Case& c : cases) {
        uint32_t total = 0;
        TRenderObject* got = nullptr;
        EXPECT_TRUE(lod->GetROByDistance(c.d, total, got));
        EXPECT_EQ(got, c.ro) << c.d;
        EXPECT_EQ(total, c.total) << c.d;
    }
    TRenderObject* got = nullptr;
    EXPECT_TRUE(lod->GetRO(0, got));
    EXPECT_EQ(got, ro[0]);
    EXPECT_FALSE(lod->GetRO(3, got));
    lod->Free();
    for (TRenderObject* r : ro) r->Free();
}

TEST_F(HelpersTest, CopyIsDeepSkipsNoCopyChildrenAndSharesRenderObjects) {
    RecUnit* t = Unit(env, "tmpl");
    t->AddRO(std::make_shared<BoxRO>());
    t->AddHelper("nozzle", {0, 0, 1});
    Unit(t, "child");
    t->SetViewportID(3);
    TBaseRenderUnit* copy = t->CreateCopy(env);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->IsClass<RecUnit>());
    EXPECT_EQ(copy->GetName(), "_copy_of_tmpl_" + IntToHex8(copy->GetId()));
    EXPECT_EQ(copy->GetStrID(), copy->GetName());
    EXPECT_EQ(copy->GetROList(), t->GetROList());
    EXPECT_TRUE(copy->HasFlag2(BRU2_SHARED_ROS));
    EXPECT_EQ(copy->GetViewportID(), 3);
    // The helper container stays behind; the plain child is copied.
    ASSERT_EQ(copy->ChildCount(), 1);
    TBaseRenderUnit* c = nullptr;
    ASSERT_TRUE(copy->GetChildBRU(0, c));
    EXPECT_EQ(c->GetName(), "_copy_of_child_" + IntToHex8(c->GetId()));
    EXPECT_EQ(c->Parent(), copy);
    HelperClass* h = nullptr;
    EXPECT_FALSE(copy->FindHelper("nozzle", h));
    copy->AddHelper("nozzle", {});
    EXPECT_TRUE(copy->FindHelper("nozzle", h));
    env->AddChild(copy);
    EXPECT_THROW(t->HelpersContainer()->CreateCopy(env), Halted);
    EXPECT_EQ(trapAll.lastFatal,
              "TBaseRenderUnit.CreateCopy: _Is(BRU_DONTCREATECOPY): HelpersContainerClass, " +
                  t->HelpersContainer()->GetName());
}

// A stand-in effect: records its spawn argument and description.
class StandInFX : public TBaseRenderUnit {
public:
    std::string spawnedHelper;
    const void* desc = nullptr;
    void OnSpawn(const FXDescrStruct& d) override { spawnedHelper = d.BurstHelper; }
    int SetFromDescStruct(IEngineObject* d) override {
        desc = d;
        return 0;
    }
};
const bool kFxRegistered = RegisterRenderUnitClass<StandInFX>("StandInFX");

class StandInConfig : public TEngineObject, public IFXConfigBase {
public:
    TBaseRenderUnit* parent = nullptr;
    TBaseRenderUnit* fx = nullptr;
    TBaseRenderUnit* GetParentBRU() override { return parent; }
    void SetFX(TBaseRenderUnit* e) override { fx = e; }
};

TEST_F(HelpersTest, SpawningHangsCopiesUnderTheParent) {
    auto* t = TBaseRenderUnit::Create<StandInFX>(nullptr);
    t->SetName("fx_burst");
    FXTemplateList list;
    list.Add(t);
    EXPECT_EQ(TBaseRenderUnit::FindFXTemplate("fx_burst", &list), t);
    RecUnit* ship = Unit(env, "ship");
    FXDescrStruct arg;
    arg.BurstHelper = "nozzle";
    auto* a = dynamic_cast<StandInFX*>(TBaseRenderUnit::SpawnEffect(t, ship, &arg));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->spawnedHelper, "nozzle");
    EXPECT_EQ(a->GetTemplate(), t);
    EXPECT_EQ(a->Parent(), ship);
    EXPECT_EQ(ship->ChildCount(), 1);

    auto* cfg = TEngineObject::New<StandInConfig>();
    cfg->parent = ship;
    auto* b = dynamic_cast<StandInFX*>(t->SpawnEffect2(cfg));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(cfg->fx, b);
    EXPECT_EQ(b->desc, static_cast<const void*>(static_cast<IEngineObject*>(cfg)));
    EXPECT_EQ(ship->ChildCount(), 2);
    EXPECT_TRUE(cfg->InDestroyQueue());

    // A configuration that is no IFXConfigBase.
    auto* plain = TEngineObject::New<TEngineObject>();
    EXPECT_THROW(t->SpawnEffect2(plain), Halted);
    EXPECT_EQ(trapAll.lastFatal,
              "TBaseRenderUnit.SpawnEffect2: _fConfig.QueryInterface(IID_IFXConfigBase, fCB)<>S_OK: " +
                  t->GetInfoStr());
    plain->Free();
    // Names compare exactly.
    EXPECT_THROW(TBaseRenderUnit::FindFXTemplate("FX_BURST", &list), Halted);
    EXPECT_EQ(trapAll.lastFatal, "TBaseRenderUnit.FindFXTemplate: someone try spawn unregistered fx: "
                                 "\"FX_BURST\" (see \"data\\fx\\*.lua\")");
    list.FreeAll();
    EXPECT_EQ(list.Count(), 0);
}

} // namespace
} // namespace vesk::test
