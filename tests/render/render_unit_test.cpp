#include "render/managers.h"
#include "render/render_object.h"
#include "render/render_unit.h"
#include "render/shader.h"
#include "render/view_camera.h"
#include "render_fixture.h"
#include "shared/helpers.h"
#include "shared/math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vesk::test {
namespace {

using Strings = std::vector<std::string>;

class RenderUnitTest : public RenderTest {};

// The entries of one Draw, as the list holds them before it runs.
Strings ListOrder(TEngineClass* engine, std::vector<std::string>& drawn) {
    drawn.clear();
    engine->Draw();
    return drawn;
}

TEST_F(RenderUnitTest, RenderListRunsStagesAndPassesWithEntriesAroundChildren) {
    RecUnit* a = Unit(env, "a", BRU_OPAQUE, 0);
    Unit(a, "a1", BRU_BLENDED, 0);
    Unit(a, "a2", BRU_OPAQUE, 0);
    RecUnit* s = Unit(env, "s", BRU_BLENDED, 1);
    Unit(s, "s1", BRU_OPAQUE, 1);
    engine->UpdateMatrices(nullptr);
    // Stage 1 before stage 0; in each stage opaque (pass 2) before blended (pass 1);
    // a unit's end entry follows its descendants' entries.
    EXPECT_EQ(ListOrder(engine, drawn), (Strings{"s1:draw", "s1:end", "s:draw", "s:end", "a:draw", "a2:draw",
                                                 "a2:end", "a:end", "a1:draw", "a1:end"}));
    EXPECT_EQ(engine->RenderListSize(), 0u);
    EXPECT_EQ(engine->RenderListPool()->GetUsedCount(), 0);
}

// Lists itself only in the blended pass, whatever its flags say, and leaves its
// children out.
class OwnListingUnit : public RecUnit {
public:
    void FillRenderList(int stage, int pass) override {
        if (pass == kPassBlended && stage == renderStage_)
            Engine->AddRenderListEntry(this, RenderListUnitClass::kDraw);
    }
    void FillRenderLists() override { FillRenderListsByPass(); }
};
// Drawn in both passes.
class BothPassesUnit : public RecUnit {
public:
    bool SkipInPass(int) const override { return false; }
};

TEST_F(RenderUnitTest, UnitsThatListThemselvesTheirOwnWayAreAskedAmongOrdinaryOnes) {
    RecUnit* a = Unit(env, "a", BRU_OPAQUE);
    auto* own = TBaseRenderUnit::Create<OwnListingUnit>(a);
    own->SetName("own");
    own->SetFlag(BRU_OPAQUE);
    a->AddChild(own);
    Unit(own, "hidden", BRU_OPAQUE); // its parent does not list its children
    auto* both = TBaseRenderUnit::Create<BothPassesUnit>(a);
    both->SetName("both");
    a->AddChild(both);
    Unit(both, "b1", BRU_BLENDED);
    engine->UpdateMatrices(nullptr);
    const Strings expected{"a:draw",    "both:draw", "both:end", "a:end",   "own:draw",
                           "both:draw", "b1:draw",   "b1:end",   "both:end"};
    EXPECT_EQ(ListOrder(engine, drawn), expected);
    // The next frame lists the same.
    EXPECT_EQ(ListOrder(engine, drawn), expected);
}

// Hands itself to a renderer of clients while it is listed, as sprites and
// shots do; the renderer notes the order its clients reach it in.
struct ClientOrder {
    std::vector<std::string> names;
    void AddClient(std::string* name) {
        if (Engine->DefersClients()) return Engine->DeferClient(this, name);
        names.push_back(*name);
    }
};
class ClientUnit : public RecUnit {
public:
    static inline ClientOrder* renderer = nullptr;
    void FillRenderList(int stage, int pass) override {
        if (stage == renderStage_ && !SkipInPass(pass)) renderer->AddClient(&tag);
    }
    void FillRenderLists() override { FillRenderListsByPass(); }
    std::string tag;
};

TEST_F(RenderUnitTest, ClientsGivenWhileTheTreeIsListedReachTheirRendererListingByListing) {
    ClientOrder order;
    ClientUnit::renderer = &order;
    // In the tree's order: the last listing's client first, the first listing's last.
    const std::pair<const char*, std::pair<uint64_t, uint16_t>> units[] = {
        {"stage0-blended", {BRU_BLENDED, 0}},
        {"stage0-opaque", {BRU_OPAQUE, 0}},
        {"stage1-blended", {BRU_BLENDED, 1}},
        {"stage1-opaque", {BRU_OPAQUE, 1}},
        {"stage1-opaque-2", {BRU_OPAQUE, 1}}};
    for (const auto& [name, how] : units) {
        auto* u = TBaseRenderUnit::Create<ClientUnit>(env);
        u->tag = name;
        u->SetFlag(how.first);
        u->SetRenderStage(how.second);
        env->AddChild(u);
    }
    engine->UpdateMatrices(nullptr);
    std::vector<std::string> drawn;
    ListOrder(engine, drawn);
    EXPECT_EQ(order.names, (Strings{"stage1-opaque", "stage1-opaque-2", "stage1-blended", "stage0-opaque",
                                    "stage0-blended"}));
    // Outside the frame's walk a client is taken at once.
    order.names.clear();
    std::string late = "late";
    order.AddClient(&late);
    EXPECT_EQ(order.names, Strings{"late"});
    ClientUnit::renderer = nullptr;
}

TEST_F(RenderUnitTest, ATreeThatChangesBetweenFramesIsListedAsItIsNow) {
    // Wide and deep enough that every walk reaches units the previous one did not.
    std::vector<RecUnit*> branches;
    for (int i = 0; i < 40; ++i) {
        RecUnit* b = Unit(env, "b" + std::to_string(i), i % 2 ? BRU_BLENDED : BRU_OPAQUE);
        for (int j = 0; j < 3; ++j) Unit(b, "b" + std::to_string(i) + "." + std::to_string(j));
        branches.push_back(b);
    }
    engine->UpdateMatrices(nullptr);
    Frame();
    EXPECT_EQ(drawn.size(), 40u * 4 * 2);

    // Half the branches go (freed with their children), others gain units.
    for (int i = 0; i < 40; i += 2) branches[static_cast<size_t>(i)]->Kill();
    Frame();
    for (int i = 1; i < 40; i += 4)
        Unit(branches[static_cast<size_t>(i)], "new" + std::to_string(i), BRU_BLENDED);
    engine->UpdateMatrices(nullptr);
    // Blended branches are listed in pass 1 (after every opaque child); a new
    // unit follows its branch's other children.
    Strings expected;
    for (int i = 1; i < 40; i += 2)
        for (int j = 0; j < 3; ++j)
            for (const char* k : {":draw", ":end"})
                expected.push_back("b" + std::to_string(i) + "." + std::to_string(j) + k);
    for (int i = 1; i < 40; i += 2) {
        expected.push_back("b" + std::to_string(i) + ":draw");
        if (i % 4 == 1)
            for (const char* k : {":draw", ":end"}) expected.push_back("new" + std::to_string(i) + k);
        expected.push_back("b" + std::to_string(i) + ":end");
    }
    EXPECT_EQ(ListOrder(engine, drawn), expected);
    EXPECT_EQ(engine->RenderListPool()->GetUsedCount(), 0);
}

TEST_F(RenderUnitTest, SkippedParentsStillListTheirChildren) {
    RecUnit* none = Unit(env, "none", 0);  // neither pass flag: never drawn
    RecUnit* killed = Unit(env, "killed"); // marked: skipped at once
    Unit(none, "c1");
    Unit(killed, "c2", BRU_BLENDED);
    killed->Kill();
    engine->UpdateMatrices(nullptr);
    EXPECT_EQ(ListOrder(engine, drawn), (Strings{"c1:draw", "c1:end", "c2:draw", "c2:end"}));
}

TEST_F(RenderUnitTest, WithoutEnvironmentNothingOfTheTreeIsListed) {
    Unit(env, "a");
    envOn = false;
    EXPECT_TRUE(ListOrder(engine, drawn).empty());
    EXPECT_FALSE(engine->GetDrawPassFlag());
}

TEST_F(RenderUnitTest, KilledUnitIsDiscardedAtTheEndOfTheFrame) {
    RecUnit* a = Unit(env, "a");
    a->SetStrID("ida");
    RecUnit* b = Unit(env, "b");
    Unit(a, "a1");
    a->Kill();
    a->Kill(); // once is enough
    EXPECT_TRUE(a->HasFlag(BRU_KILLED));
    const int count = env->ChildCount();
    Frame();
    EXPECT_EQ(drawn, (Strings{"a1:draw", "a1:end", "b:draw", "b:end"}));
    EXPECT_EQ(env->ChildCount(), count - 1);
    EXPECT_EQ(env->FindBRUByName("a"), nullptr);
    EXPECT_EQ(env->FindBRUByName("B"), b);
}

TEST_F(RenderUnitTest, DiscardRenamesAndFlagsTheUnit) {
    RecUnit* a = Unit(engine, "ship");
    a->SetStrID("s1");
    RecUnit* child = Unit(a, "child");
    ASSERT_TRUE(a->DiscardBRU());
    EXPECT_EQ(a->GetName(), "_deleted_ship");
    EXPECT_EQ(a->GetStrID(), "_deleted_s1");
    // One that never had a strID has an empty one renamed all the same.
    EXPECT_EQ(child->GetStrID(), "_deleted_");
    EXPECT_EQ(child->GetInfoStr(), "[RecUnit, name: \"_deleted_child\", strID: \"_deleted_\"]");
    EXPECT_EQ(a->Flags(), BRU_DISCARDED);
    EXPECT_EQ(a->Flags2(), 1u);
    EXPECT_EQ(a->ChildCount(), 0);
    EXPECT_EQ(engine->FindBRUByName("_deleted_ship"), nullptr); // searches skip discarded units
    EXPECT_EQ(TEODestroyManager->QueueCount(), 1);              // the child went to the destroy queue
}

TEST_F(RenderUnitTest, RemoveChildKeepsTheCountUntilTheCleanUp) {
    RecUnit* a = Unit(env, "a");
    RecUnit* b = Unit(env, "b");
    const int count = env->ChildCount();
    env->RemoveChild(a);
    EXPECT_EQ(env->ChildCount(), count);
    TBaseRenderUnit* slot = nullptr;
    ASSERT_TRUE(env->GetChildBRU(0, slot));
    EXPECT_EQ(slot->GetName(), "null");
    EXPECT_TRUE(slot->HasFlag(BRU_KILLED));
    EXPECT_FALSE(env->GetChildBRU(count, slot));
    EXPECT_TRUE(env->ReleaseChild(b));
    EXPECT_FALSE(env->ReleaseChild(b));
    engine->CleanChildsBRU();
    EXPECT_EQ(env->ChildCount(), count - 2);
    TEODestroyManager->Flush();
    a->DiscardBRU();
    a->Free();
    b->DiscardBRU();
    b->Free();
}

TEST_F(RenderUnitTest, AttachDetachAndFindsIgnoreCase) {
    RecUnit* helper = Unit(engine, "Helper");
    RecUnit* gun = TBaseRenderUnit::Create<RecUnit>(nullptr);
    gun->SetName("Gun");
    gun->SetStrID("GUN_01");
    helper->Attach(gun);
    EXPECT_EQ(gun->GetAttachCount(), 1);
    EXPECT_EQ(gun->Parent(), helper);
    EXPECT_EQ(engine->FindBRUByName("gun"), gun);
    EXPECT_EQ(engine->FindBRUByStrID("gun_01"), gun);
    EXPECT_EQ(gun->GetRoot(), engine);
    EXPECT_EQ(gun->FindUpWithFlags(BRU_ROOT), engine);
    EXPECT_TRUE(engine->IsInTree(gun));
    gun->Detach();
    EXPECT_EQ(gun->Parent(), nullptr);
    EXPECT_FALSE(engine->IsInTree(gun));
    gun->DiscardBRU();
    gun->Free();
}

TEST_F(RenderUnitTest, LifetimeExpiresAfterItsSeconds) {
    RecUnit* forever = Unit(env, "forever");
    RecUnit* once = Unit(env, "once");
    once->SetLifeTime(1.0f);
    for (int i = 0; i < 4; ++i) env->TickTree(250.0f);
    EXPECT_FALSE(once->HasFlag(BRU_KILLED)); // exactly 1000 ms is not past it
    env->TickTree(1.0f);
    EXPECT_TRUE(once->HasFlag(BRU_KILLED));
    EXPECT_FALSE(forever->HasFlag(BRU_KILLED));
}

// A render object whose box reads are counted.
class CountingRO : public IUnitRenderObject {
public:
    mutable int reads = 0;
    void GetBox(Vec3& min, Vec3& max) const override {
        ++reads;
        min = {-2, -2, -2};
        max = {2, 2, 2};
    }
};

TEST_F(RenderUnitTest, BoundingSphereIsComputedOncePerFrame) {
    RecUnit* a = Unit(env, "a");
    auto ro = std::make_shared<CountingRO>();
    a->AddRO(ro);
    a->SetPosition({10, 0, 0});
    Frame();
    const int before = ro->reads;
    float r = a->GetBSphereRadius();
    Vec3 c = a->GetCenter();
    a->GetBSphereList();
    EXPECT_EQ(ro->reads, before + 1);
    EXPECT_FLOAT_EQ(r, std::sqrt(12.0f));
    EXPECT_FLOAT_EQ(c.x, 10.0f); // the drawn matrix's position
    RenderFrameCounter.NextFrame();
    a->GetBSphereRadius();
    EXPECT_EQ(ro->reads, before + 2);
}

// A unit that makes a child at its first tick, down to the given generations.
class SpawningUnit : public RecUnit {
public:
    void Tick(float dtMs) override {
        ++ticks;
        if (ticks == 1 && generations > 0) {
            auto* child = TBaseRenderUnit::Create<SpawningUnit>(this);
            child->SetName(GetName() + ".child");
            child->generations = generations - 1;
            AddChild(child);
        }
        RecUnit::Tick(dtMs);
    }
    int ticks = 0;
    int generations = 2;
};

TEST_F(RenderUnitTest, TicksReachChildrenMadeByTheTickBeforeThem) {
    auto* a = TBaseRenderUnit::Create<SpawningUnit>(env);
    a->SetName("a");
    env->AddChild(a);
    engine->TickTree(10.0f);
    // a's first tick made its child, which is ticked in the same walk, and
    // which made a child of its own there.
    TBaseRenderUnit* child = nullptr;
    ASSERT_TRUE(a->GetChildBRU(0, child));
    auto* grandchild = static_cast<SpawningUnit*>(child)->ChildsBRU()->Get(0);
    EXPECT_EQ(static_cast<SpawningUnit*>(child)->ticks, 1);
    EXPECT_EQ(static_cast<SpawningUnit*>(grandchild)->ticks, 1);
    engine->TickTree(10.0f);
    EXPECT_EQ(a->ticks, 2);
    EXPECT_EQ(static_cast<SpawningUnit*>(grandchild)->ticks, 2);
}

TEST_F(RenderUnitTest, UnitsWithFlagsComeParentFirstSkippingHolesAndDiscarded) {
    RecUnit* a = Unit(env, "a", BRU_SHIP);
    RecUnit* a1 = Unit(a, "a1", BRU_SHIP);
    Unit(a, "a2", BRU_OPAQUE);
    RecUnit* a3 = Unit(a, "a3", BRU_SHIP);
    RecUnit* a31 = Unit(a3, "a31", BRU_SHIP | BRU_OPAQUE);
    RecUnit* b = Unit(env, "b", BRU_OPAQUE);
    RecUnit* b1 = Unit(b, "b1", BRU_SHIP);
    RecUnit* gone = Unit(b, "gone", BRU_SHIP);
    ASSERT_TRUE(gone->DiscardBRU()); // discarded but still listed
    gone->SetFlag(BRU_SHIP);
    a->AddChild(nullptr); // a hole
    const std::vector<TBaseRenderUnit*> ships{a, a1, a3, a31, b1};
    EXPECT_EQ(env->GetUnitsWithFlags(BRU_SHIP), ships);
    EXPECT_EQ(engine->GetUnitsWithFlags(BRU_SHIP | BRU_BLENDED), ships);
    EXPECT_EQ(a3->GetUnitsWithFlags(BRU_OPAQUE), (std::vector<TBaseRenderUnit*>{a31}));
    EXPECT_TRUE(b1->GetUnitsWithFlags(BRU_OPAQUE).empty());
}

TEST_F(RenderUnitTest, MatricesChainAndChildrenMayTakeTheIdentity) {
    RecUnit* a = Unit(engine, "a");
    RecUnit* b = Unit(a, "b");
    a->SetPosition({1, 2, 3});
    b->SetPosition({10, 0, 0});
    engine->UpdateMatrices(nullptr);
    Vec3 p;
    b->GetPosition(p);
    EXPECT_FLOAT_EQ(p.x, 11.0f);
    EXPECT_FLOAT_EQ(p.z, 3.0f);
    // A child's offset turns with its parent: a quarter turn about z carries +x to +y.
    Matrix turned = MatrixRotationZ(kPi / 2);
    MatrixSetTranslation(turned, {1, 2, 3});
    a->SetLocalMatrix(turned);
    engine->UpdateMatrices(nullptr);
    b->GetPosition(p);
    EXPECT_NEAR(p.x, 1.0f, 1e-5f);
    EXPECT_NEAR(p.y, 12.0f, 1e-5f);
    EXPECT_NEAR(p.z, 3.0f, 1e-5f);
    a->SetFlag2(BRU2_CHILDREN_IDENTITY);
    engine->UpdateMatrices(nullptr);
    b->GetPosition(p);
    EXPECT_FLOAT_EQ(p.x, 10.0f);
}

// A billboard's matrix, put in front of its own (turned, scaled) world matrix,
// gives the camera's basis: the unit faces the camera whatever its carrier does.
TEST_F(RenderUnitTest, ABillboardFacesTheCameraWhateverItsCarrierTurns) {
    auto camera = std::make_shared<BasicViewCamera>();
    camera->SetPose({0, 0, 0}, {0, 1, 0}, {0, 0, 1}); // looking along y: a basis that is no turn about z
    SetDefaultViewCamera(camera);
    RecUnit* carrier = Unit(engine, "carrier");
    RecUnit* sign = Unit(carrier, "sign");
    sign->SetFlag(BRU_BILLBOARD);
    Matrix turned = MatrixProduct(MatrixScaling(2, 2, 2), MatrixRotationZ(kPi / 2));
    MatrixSetTranslation(turned, {5, 6, 7});
    carrier->SetLocalMatrix(turned);
    engine->UpdateMatrices(nullptr);
    Matrix rotation = sign->GetWorldMatrix();
    MatrixClearTranslation(rotation);
    MatrixNormalizeColumns(rotation);
    const Matrix facing = MatrixProduct(sign->GetBillboardMatrixField(), rotation);
    const Matrix basis = camera->GetBasisMatrix();
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(facing.m[r][c], basis.m[r][c], 1e-5f) << r << "," << c;
    SetDefaultViewCamera(nullptr);
}

TEST_F(RenderUnitTest, PassFlagsFollowTheMaterialTechnique) {
    class TechniqueRO : public CountingRO {
    public:
        explicit TechniqueRO(int t) : t_(t) {}
        int FirstMaterialTechnique() const override { return t_; }
        void SetZWriteOffWhileDrawing(bool on) override { zOff = on; }
        bool zOff = false;

    private:
        int t_;
    };
    RecUnit* u = Unit(env, "u", 0);
    for (int t : {50, 51, 60, 61, 62, 70, 80, 81, 82, 90, 100, 101, 102, 110, 111, 112}) {
        TechniqueRO ro(t);
        u->SetPassFlagsFromMaterials(ro);
        EXPECT_TRUE(u->HasFlag(BRU_BLENDED) && !u->HasFlag(BRU_OPAQUE)) << t;
        EXPECT_TRUE(ro.zOff) << t;
    }
    for (int t : {0, 1, 52, 113}) {
        TechniqueRO ro(t);
        u->SetPassFlagsFromMaterials(ro);
        EXPECT_TRUE(u->HasFlag(BRU_OPAQUE) && !u->HasFlag(BRU_BLENDED)) << t;
        EXPECT_FALSE(ro.zOff) << t;
    }
}

TEST_F(RenderUnitTest, InfoTextAndDump) {
    RecUnit* u = Unit(env, "ship");
    u->SetStrID("id7");
    EXPECT_EQ(u->GetInfoStr(), "[RecUnit, name: \"ship\", strID: \"id7\"]");
}

TEST_F(RenderUnitTest, AnglesInFrameAndView) {
    RecUnit* u = Unit(engine, "u");
    u->SetPosition({0, 0, 100});
    engine->UpdateMatrices(nullptr);
    float fwd, side, es, dist, az;
    ASSERT_TRUE(u->GetAnglesInFrame(Matrix{}, fwd, side, es, dist, &az, nullptr));
    EXPECT_FLOAT_EQ(dist, 100.0f);
    EXPECT_FLOAT_EQ(fwd, 1.0f);
    EXPECT_FLOAT_EQ(side, 0.0f);
    u->SetPosition({0, 100, 0}); // straight up: no horizontal direction
    engine->UpdateMatrices(nullptr);
    EXPECT_FALSE(u->GetAnglesInFrame(Matrix{}, fwd, side, es, dist, nullptr, nullptr));
    u->SetPosition({0, 0, 0}); // at the eye
    engine->UpdateMatrices(nullptr);
    EXPECT_FALSE(u->GetAnglesInFrame(Matrix{}, fwd, side, es, dist, nullptr, nullptr));
    EXPECT_EQ(TBaseRenderUnit::GetProjectedSize({1, 1, 1}, {1, 1, 1}, 5, 2), 0.0f);
    EXPECT_FLOAT_EQ(TBaseRenderUnit::GetProjectedSize({0, 0, 0}, {0, 3, 0}, 5, -2), 10.0f);

    // The default camera looks along +x: ahead is in view, behind is not.
    u->SetPosition({100, 0, 0});
    engine->UpdateMatrices(nullptr);
    EXPECT_TRUE(u->IsInView());
    u->SetPosition({-100, 0, 0});
    engine->UpdateMatrices(nullptr);
    EXPECT_FALSE(u->IsInView());
    u->SetPosition({-1, 0, 0}); // its sphere holds the camera
    engine->UpdateMatrices(nullptr);
    EXPECT_TRUE(u->IsInView());
    // Straight above the eye it has no direction to test, and its sphere still holds the camera.
    int straightAbove = 0;
    for (const Vec3& at : {Vec3{0, 0, 1}, Vec3{0, 1, 0}}) {
        u->SetPosition(at);
        engine->UpdateMatrices(nullptr);
        if (u->GetAnglesInFrame(u->GetViewMatrix(), fwd, side, es, dist, nullptr, nullptr)) continue;
        ++straightAbove;
        EXPECT_TRUE(u->IsInView());
        u->SetPosition(Vec3Scale(at, 1000.0f)); // far above: out of view
        engine->UpdateMatrices(nullptr);
        EXPECT_FALSE(u->IsInView());
    }
    EXPECT_EQ(straightAbove, 1);
}

TEST_F(RenderUnitTest, ComponentHearsOfItsCarrierOnce) {
    class Watch : public ClamClass {
    public:
        int lost = 0;
        void CarrierLost() override { ++lost; }
    };
    RecUnit* carrier = TBaseRenderUnit::Create<RecUnit>(nullptr);
    RecUnit* other = TBaseRenderUnit::Create<RecUnit>(nullptr);
    Watch* w = ClamClass::Init<Watch>(carrier);
    w->Message(other, EM_SENDER_IS_NO_LONGER_EXISTS, 0); // another sender's end changes nothing
    EXPECT_EQ(w->Carrier(), carrier);
    carrier->Free();
    EXPECT_EQ(w->lost, 1);
    EXPECT_EQ(w->Carrier(), nullptr);
    Watch* unbound = ClamClass::Init<Watch>(nullptr);
    EXPECT_EQ(unbound->Carrier(), nullptr);
    unbound->Free();
    w->Free();
    other->Free();
}

TEST_F(RenderUnitTest, FreedUnitLeavesAHoleNotADanglingEntry) {
    RecUnit* a = Unit(env, "a");
    Unit(a, "a1");
    const int count = env->ChildCount();
    TBaseRenderUnit* a1 = a->FindBRUByName("a1");
    a->Free(); // freed directly, still listed
    EXPECT_EQ(env->ChildCount(), count);
    EXPECT_EQ(a1->Parent(), nullptr);
    Frame();
    EXPECT_EQ(env->ChildCount(), count - 1);
    a1->DiscardBRU();
    a1->Free();
}

// The end of a frame cleans and packs in one walk: every list that lost a
// child, however deep and however it lost it, is packed; the others keep
// their order.
TEST_F(RenderUnitTest, TheCleanUpPacksEveryListWithHolesAtAnyDepth) {
    RecUnit* a = Unit(env, "a");
    RecUnit* b = Unit(a, "b");
    Unit(b, "killed")->Kill();
    Unit(b, "kept");
    RecUnit* c = Unit(a, "c");
    RecUnit* freed = Unit(c, "freed");
    Unit(c, "c2");
    RecUnit* d = Unit(a, "d");
    Unit(d, "d1");
    Unit(d, "d2");
    freed->Free(); // a hole with nothing killed beside it
    const auto names = [](TBaseRenderUnit* u) {
        Strings out;
        for (int i = 0; i < u->ChildCount(); ++i) {
            TBaseRenderUnit* child = nullptr;
            u->GetChildBRU(i, child);
            out.push_back(child ? child->GetName() : "<hole>");
        }
        return out;
    };
    EXPECT_EQ(names(b), (Strings{"killed", "kept"}));
    EXPECT_EQ(names(c), (Strings{"<hole>", "c2"}));
    engine->CleanChildsBRU();
    EXPECT_EQ(names(a), (Strings{"b", "c", "d"}));
    EXPECT_EQ(names(b), (Strings{"kept"}));
    EXPECT_EQ(names(c), (Strings{"c2"}));
    EXPECT_EQ(names(d), (Strings{"d1", "d2"}));
}

TEST_F(RenderUnitTest, LiveUnitsAreRegistered) {
    const size_t before = LiveObjects->Count();
    RecUnit* u = TBaseRenderUnit::Create<RecUnit>(nullptr);
    EXPECT_EQ(LiveObjects->Count(), before + 1);
    EXPECT_TRUE(LiveObjects->Contains(u));
    u->Free();
    EXPECT_EQ(LiveObjects->Count(), before);
}

struct FatalCase {
    const char* name;
    std::function<void(TEngineClass*, TBaseRenderUnit*)> act;
    std::string text; // with "@" for the unit's info text
};

TEST_F(RenderUnitTest, MisuseIsFatalWithItsText) {
    const std::vector<FatalCase> cases = {
        {"attach nil", [](TEngineClass*, TBaseRenderUnit* u) { u->Attach(nullptr); },
         "TBaseRenderUnit.Attach: tbru = nil: @"},
        {"attach twice",
         [](TEngineClass* e, TBaseRenderUnit* u) {
             TBaseRenderUnit* c = TBaseRenderUnit::Create(nullptr);
             c->SetName("c");
             u->Attach(c);
             try {
                 e->Attach(c);
             } catch (...) {
                 c->Detach();
                 c->Free();
                 throw;
             }
         },
         "TBaseRenderUnit[[TEngineClass, name: \"3DEngine\", strID: \"\"]].Attach: [TBaseRenderUnit, name: "
         "\"c\", strID: \"\"] already Attached"},
        {"double detach", [](TEngineClass*, TBaseRenderUnit* u) { u->Detach(); },
         "TBaseRenderUnit[@].Detach: already Detached"},
        {"remove from a unit without children",
         [](TEngineClass* e, TBaseRenderUnit* u) { u->RemoveChild(e); },
         "TBaseRenderUnit.RemoveChild: ChildsBRU<>nil, @"},
        {"remove a stranger",
         [](TEngineClass*, TBaseRenderUnit* u) {
             TBaseRenderUnit* c = TBaseRenderUnit::Create(u);
             u->AddChild(c);
             u->RemoveChild(u);
         },
         "TBaseRenderUnit.RemoveChild: ChildsBRU.IndexOf(tbru) = -1, @"},
        {"second killer",
         [](TEngineClass* e, TBaseRenderUnit* u) {
             u->AttachKiller(e);
             u->AttachKiller(e);
         },
         "TBaseRenderUnit.AttachKiller: killer already attached, @, [TEngineClass, name: \"3DEngine\", "
         "strID: "
         "\"\"]"},
        {"helpers", [](TEngineClass*, TBaseRenderUnit* u) { u->RemoveHelper("x"); },
         "TBaseRenderUnit.RemoveHelper: u have no helpers"},
        {"universal helpers", [](TEngineClass*, TBaseRenderUnit* u) { u->RemoveUHelper("x"); },
         "TBaseRenderUnit.RemoveUHelper: u have no helpers"},
        {"screen conversion", [](TEngineClass*, TBaseRenderUnit* u) { u->ConvertWToSC(); },
         "TBaseRenderUnit.ConvertWToSC: not supported"},
        {"laser source",
         [](TEngineClass* e, TBaseRenderUnit*) {
             TBaseRenderUnit* out;
             e->GetLaserByFromBRU(nullptr, out);
         },
         "TEngineClass.GetLaserByFromBRU: _bruFrom=nil"},
        {"scene copy",
         [](TEngineClass*, TBaseRenderUnit*) {
             SceneClass* s = TBaseRenderUnit::Create<SceneClass>(nullptr);
             try {
                 s->CreateCopy(nullptr);
             } catch (...) {
                 s->Free();
                 throw;
             }
         },
         "SceneClass.CreateCopy: not supported"},
        {"component constructor", [](TEngineClass*, TBaseRenderUnit*) { ClamClass::Create(); },
         "ClamClass.Create: use Init(_carrier) instead"},
        {"empty swap list", [](TEngineClass*, TBaseRenderUnit*) { SwapManagerClass("jet").GetNextObj(); },
         "SwapManagerClass.GetNextObj: list.Count=0: jet"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ErrorTrap trap;
        TBaseRenderUnit* u = TBaseRenderUnit::Create(nullptr);
        u->SetName("u");
        std::string text = c.text;
        if (auto at = text.find('@'); at != std::string::npos) text.replace(at, 1, u->GetInfoStr());
        EXPECT_THROW(c.act(engine, u), Halted);
        EXPECT_EQ(trap.lastFatal, text);
        ASSERT_FALSE(trap.reports.empty());
        EXPECT_EQ(trap.reports.front().flags, "mhl");
        u->DiscardBRU();
        u->Free();
        TEODestroyManager->Flush();
    }
}

TEST_F(RenderUnitTest, BrokenParentChainsAreFatal) {
    ErrorTrap trap;
    TBaseRenderUnit* self = TBaseRenderUnit::Create(nullptr);
    TBaseRenderUnit* loose = TBaseRenderUnit::Create(nullptr);
    TBaseRenderUnit* child = TBaseRenderUnit::Create(loose);
    child->SetName("c");
    // A unit without parent is its own root.
    EXPECT_EQ(loose->GetRoot(), loose);
    EXPECT_THROW(child->GetRoot(), Halted);
    EXPECT_TRUE(trap.HasReport("TBaseRenderUnit.GetRoot: par=nil; \xC1\xDB\xD2\xDC \xD2\xC0\xCA\xCE\xC3\xCE "
                               "\xCD\xC5 \xCC\xCE\xC6\xC5\xD2!!!, " +
                               child->GetInfoStr()));
    self->SetStrID("x");
    self->Init(self); // its own parent
    EXPECT_THROW(self->GetRoot(), Halted);
    EXPECT_TRUE(trap.HasReport("TBaseRenderUnit.GetRoot: PParent = self, against conception"));
    self->Init(nullptr);
    TBaseRenderUnit* selfParent = TBaseRenderUnit::Create(nullptr);
    selfParent->MoveToParent(selfParent); // refused: a unit is never its own parent
    EXPECT_EQ(selfParent->Parent(), nullptr);
    // Nor under its own descendant: the tree stays a tree and walks end.
    selfParent->MoveToParent(loose);
    loose->MoveToParent(selfParent);
    EXPECT_EQ(loose->Parent(), nullptr);
    EXPECT_EQ(selfParent->Parent(), loose);
    for (TBaseRenderUnit* u : {child, selfParent, loose, self}) u->Free();
}

TEST_F(RenderUnitTest, RenderStatesAndFogApplyAroundTheDrawAndGoWithTheUnit) {
    for (bool pooledDiscard : {false, true}) {
        RecUnit* u = TBaseRenderUnit::Create<RecUnit>(nullptr);
        RenderStateManagerClass* states = u->GetRenderStates();
        FogClass* fog = u->GetFog();
        ASSERT_NE(states, nullptr);
        ASSERT_NE(fog, nullptr);
        EXPECT_EQ(u->GetRenderStates(), states); // made once
        EXPECT_EQ(fog->RenderStates(), states);
        states->AddState(platform::D3DRS_ZWRITEENABLE, 0, "u");
        states->AddRestoreState(platform::D3DRS_ZWRITEENABLE, 1, "u");
        u->BeginRender();
        uint32_t value = 7;
        Device->GetRenderState(platform::D3DRS_ZWRITEENABLE, &value);
        EXPECT_EQ(value, 0u);
        u->EndRender();
        Device->GetRenderState(platform::D3DRS_ZWRITEENABLE, &value);
        EXPECT_EQ(value, 1u);

        const int32_t statesId = states->GetId(), fogId = fog->GetId();
        if (pooledDiscard) {
            u->DiscardBRU(); // a unit going back to a pool lets its components go
            EXPECT_EQ(FindEngineObjectById(statesId), nullptr);
            EXPECT_EQ(FindEngineObjectById(fogId), nullptr);
        }
        u->Free();
        EXPECT_EQ(FindEngineObjectById(statesId), nullptr);
        EXPECT_EQ(FindEngineObjectById(fogId), nullptr);
    }
}

TEST_F(RenderUnitTest, PooledUnitsGoBackToTheirPool) {
    class FXParticleClass : public TBaseRenderUnit {};
    RegisterRenderUnitClass<FXParticleClass>("FXParticleClass");
    BRUManClass man;
    TBaseRenderUnit* p = man.CreateInstance("FXParticleClass", env);
    ASSERT_NE(p, nullptr);
    ASSERT_NE(man.Particles(), nullptr);
    EXPECT_EQ(man.Particles()->GetPool()->GetUsedCount(), 1);
    EXPECT_EQ(man.Particles()->GetPool()->GetCapacity(), BRUManClass::kParticles);
    env->AddChild(p);
    p->SetName("spark");
    // What a spent particle carried beyond its name: none of it may reach the next one.
    Matrix scaled;
    scaled.m[0][0] = 3.0f;
    p->SetBaseMatrix(scaled);
    p->SetLifeTime(0.5f);
    p->SetTemplate(env);
    p->SetHomeParentUnit(env);
    p->SetBox({-5, -5, -5}, {5, 5, 5});
    p->UpdateScreenPos();
    p->SetSkipCountTree(3);
    p->SetFlag(BRU_OPAQUE);
    p->Kill();
    Frame();
    // Back in its slot, not in the destroy queue: the next one handed out is the same unit.
    EXPECT_EQ(man.Particles()->GetPool()->GetUsedCount(), 0);
    TBaseRenderUnit* again = man.CreateInstance("FXParticleClass", env);
    EXPECT_EQ(again, p);
    EXPECT_EQ(again->GetName(), "");
    EXPECT_TRUE(again->HasFlag(BRU_VISIBLE));
    EXPECT_FALSE(again->HasFlag(BRU_DISCARDED));
    EXPECT_EQ(again->GetLifeTime(), 0.0f);
    EXPECT_EQ(again->GetLifeTimer(), 0.0f);
    EXPECT_EQ(again->GetBaseMatrix().m[0][0], 1.0f);
    EXPECT_EQ(again->GetTemplate(), nullptr);
    EXPECT_EQ(again->GetAttachCount(), 0);
    EXPECT_EQ(again->GetScreenSize(), 1.0f);
    EXPECT_TRUE(again->ConsumeSkipCount());
    Vec3 lo, hi;
    again->GetBox(lo, hi);
    EXPECT_EQ(lo.x, -1.0f);
    EXPECT_EQ(hi.x, 1.0f);
    // A lifetime of 0 never runs out, however long the unit ticks.
    again->Tick(5000.0f);
    EXPECT_FALSE(again->HasFlag(BRU_KILLED));
    // The strID is kept, as a pooled unit always kept it.
    EXPECT_EQ(again->GetStrID().rfind("_deleted_", 0), 0u);
    again->DiscardBRU();
    man.Destroy();
    TEODestroyManager->Flush();
}

TEST_F(RenderUnitTest, SwapManagerCyclesAndTickManagerWritesZero) {
    SwapManagerClass swap("jet");
    TBaseRenderUnit* a = TBaseRenderUnit::Create(nullptr);
    TBaseRenderUnit* b = TBaseRenderUnit::Create(nullptr);
    swap.Add(a);
    swap.Add(b);
    std::vector<TEngineObject*> got;
    for (int i = 0; i < 5; ++i) got.push_back(swap.GetNextObj());
    EXPECT_EQ(got, (std::vector<TEngineObject*>{a, b, a, b, a}));
    swap.FreeObjects();
    EXPECT_EQ(swap.Count(), 0);

    BRUTickManClass* ticks = TEngineObject::New<BRUTickManClass>();
    EXPECT_EQ(ticks->GetPool()->GetCapacity(), BRUTickManClass::kCapacity);
    EXPECT_EQ(ticks->GetPool()->GetName(), "BRUTickMan");
    int32_t handle = 77;
    ticks->AddTickedObj(nullptr, handle);
    EXPECT_EQ(handle, 0);
    ticks->Free();
}

TEST_F(RenderUnitTest, OwnRenderObjectsCarryTheirStatesSortAndHideAndGoWithTheUnit) {
    RecUnit* u = Unit(env, "u");
    // Depth test, lighting and depth writes off while it draws; the depth test back after.
    TRenderObject* first = u->CreateRO(0x2A, 0x1);
    const auto* apply = first->RenderStates()->ApplyList();
    const auto* restore = first->RenderStates()->RestoreList();
    ASSERT_TRUE(apply && restore);
    EXPECT_EQ(*apply, (std::vector<RenderStateRecord>{{platform::D3DRS_ZENABLE, 0, ""},
                                                      {platform::D3DRS_LIGHTING, 0, ""},
                                                      {platform::D3DRS_ZWRITEENABLE, 0, ""}}));
    EXPECT_EQ(*restore, (std::vector<RenderStateRecord>{{platform::D3DRS_ZENABLE, 1, ""}}));
    TRenderObject* second = u->CreateRO(0, 0);
    TRenderObject* third = u->CreateRO(0, 0);
    first->SetSortValue(3.0f);
    second->SetSortValue(1.0f);
    third->SetSortValue(2.0f);
    u->SortROs();
    std::vector<IUnitRenderObject*> order;
    for (const auto& ro : *u->GetROList()) order.push_back(ro.get());
    EXPECT_EQ(order, (std::vector<IUnitRenderObject*>{second, third, first}));

    // Flagging hides every one: drawing them issues nothing.
    u->FlagAllROs();
    const size_t calls = Dev().Calls().size();
    for (TRenderObject* ro : {first, second, third}) {
        EXPECT_TRUE(ro->Flags() & RO_HIDDEN);
        ro->Render();
    }
    EXPECT_EQ(Dev().Calls().size(), calls);

    // The unit's own objects go when it is discarded.
    const int32_t id = first->GetId();
    u->Kill();
    Frame();
    EXPECT_EQ(FindEngineObjectById(id), nullptr);
}

TEST_F(RenderUnitTest, TheSphereContainerIsOneChildReplacedKilledAndCopied) {
    RecUnit* u = Unit(env, "ship");
    EXPECT_EQ(u->BSpheresContainer(), nullptr);
    RecUnit* first = TBaseRenderUnit::Create<RecUnit>(u);
    u->SetBSpheres(first);
    EXPECT_EQ(u->GetBoundingSphere<RecUnit>(), first);
    EXPECT_EQ(u->ChildCount(), 1);
    // A new container replaces the old one, which is killed and leaves with the clean-up.
    RecUnit* second = TBaseRenderUnit::Create<RecUnit>(u);
    u->SetBSpheres(second);
    EXPECT_TRUE(first->HasFlag(BRU_KILLED));
    EXPECT_EQ(u->BSpheresContainer(), second);
    Frame();
    EXPECT_EQ(u->ChildCount(), 1);

    // A copy of the unit has the copy of its container as its own.
    TBaseRenderUnit* copy = u->CreateCopy(env);
    env->AddChild(copy);
    ASSERT_NE(copy->BSpheresContainer(), nullptr);
    EXPECT_NE(copy->BSpheresContainer(), second);
    TBaseRenderUnit* child = nullptr;
    ASSERT_TRUE(copy->GetChildBRU(0, child));
    EXPECT_EQ(child, copy->BSpheresContainer());

    // A killed container is no container; once freed the link is gone too.
    second->Kill();
    EXPECT_EQ(u->BSpheresContainer(), nullptr);
    Frame();
    TEODestroyManager->Flush();
    EXPECT_EQ(u->BSpheresContainer(), nullptr);
    u->SetBSpheres(nullptr);
    EXPECT_EQ(u->ChildCount(), 0);
}

} // namespace
} // namespace vesk::test
