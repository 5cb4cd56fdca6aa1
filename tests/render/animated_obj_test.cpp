// Animated objects: the clock, the frame, pause, loop and kill, fading, and
// loading through the model links.
#include "core/lua_machine.h"
#include "fake_model_tree.h"
#include "render/animated_obj.h"
#include "render_fixture.h"
#include "stand_in_units.h"
#include "shared/math.h"

using namespace vesk;
using namespace vesk::platform;
using namespace vesk::test;

namespace {

class AnimatedObj : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        obj = TBaseRenderUnit::Create<AnimatedObjClass>(env);
        env->AddChild(obj);
    }
    AnimatedObjClass* obj = nullptr;
};

TEST_F(AnimatedObj, InitNamesItAndClearsTheAnimation) {
    EXPECT_EQ(obj->GetName(), "AnimatedObj");
    EXPECT_TRUE(obj->HasFlag(32768));
    EXPECT_FALSE(obj->HasAnimFlags(~0ull));
}

TEST_F(AnimatedObj, WithoutLoopItStopsAtOneSecond) {
    obj->SetTrackInfo(true, 11, 2.0f);
    obj->PlayFrom(0);
    obj->Tick(1000);
    EXPECT_FLOAT_EQ(obj->GetAnimPos(), 0.5f);
    EXPECT_EQ(obj->GetCurrentFrame(), 5);
    obj->Tick(1000); // reaches the length
    EXPECT_FALSE(obj->HasAnimFlags(AO_PLAYING));
    EXPECT_EQ(obj->GetClock(), 1.0f);
    EXPECT_FLOAT_EQ(obj->GetAnimPos(), 0.5f);
    obj->Tick(1000);
    EXPECT_FLOAT_EQ(obj->GetAnimPos(), 0.5f); // 1.0 s / 2.0 s, no longer advancing
    EXPECT_FALSE(obj->HasFlag(BRU_KILLED));
}

TEST_F(AnimatedObj, LoopWrapsAndKillFlagKills) {
    obj->SetTrackInfo(true, 4, 1.0f);
    obj->SetAnimFlags(AO_LOOP);
    obj->PlayFrom(0.5f);
    obj->Tick(500);
    EXPECT_EQ(obj->GetClock(), 0.0f);
    EXPECT_TRUE(obj->HasAnimFlags(AO_PLAYING));

    AnimatedObjClass* doomed = TBaseRenderUnit::Create<AnimatedObjClass>(env);
    env->AddChild(doomed);
    doomed->SetTrackInfo(true, 4, 1.0f);
    doomed->SetAnimFlags(AO_KILLATEND);
    doomed->PlayFrom(0.9f);
    doomed->Tick(200);
    EXPECT_TRUE(doomed->HasFlag(BRU_KILLED));
}

TEST_F(AnimatedObj, PauseFollowsTheGameEveryTick) {
    bool paused = true;
    GetRenderWorldLinks().desktopPaused = [&] { return paused; };
    obj->SetTrackInfo(true, 4, 1.0f);
    obj->Tick(10); // not playing: the flag follows all the same
    EXPECT_TRUE(obj->HasAnimFlags(AO_PAUSED));
    obj->PlayFrom(0.25f);
    obj->Tick(500);
    EXPECT_EQ(obj->GetClock(), 0.25f);
    paused = false;
    obj->Tick(500);
    EXPECT_FALSE(obj->HasAnimFlags(AO_PAUSED));
    EXPECT_FLOAT_EQ(obj->GetClock(), 0.75f);
}

TEST_F(AnimatedObj, ZeroLengthStandsAtItsEnd) {
    obj->SetTrackInfo(true, 5, 0.0f);
    obj->PlayFrom(0);
    obj->Tick(16);
    EXPECT_EQ(obj->GetAnimPos(), 1.0f);
    EXPECT_EQ(obj->GetCurrentFrame(), 4);
    EXPECT_FALSE(obj->HasAnimFlags(AO_PLAYING));
}

TEST_F(AnimatedObj, LightsAreTheParentsTheEnvironmentsAndEveryLampChild) {
    EnvironmentSet set;
    set.lightDirection = {0, -1, 0};
    set.lightColour = 0xFF804020;
    GetRenderWorldLinks().environmentSet = [&set]() -> const EnvironmentSet* { return &set; };
    TBaseRenderUnit* lamp = obj->AddLamp("lamp", {0, 0, 2}, 10);
    if (!kFakeLamp || !lamp) GTEST_SKIP() << "the real lamp class is registered";
    dynamic_cast<ILampSetup*>(lamp)->SetColor(0xFF0000);
    obj->UpdateMatrices(nullptr);
    TLightManager& lights = engine->Viewports().GetLightManager();
    obj->AddLights(kLightsSuns | kLightsLamps);
    ASSERT_EQ(lights.Count(), 2);
    const TLightManager::Slot& sun = lights.GetSlot(0);
    EXPECT_EQ(sun.tag, kEnvironmentLightTag);
    EXPECT_EQ(sun.light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(sun.light.Direction.y, -1.0f);
    EXPECT_NEAR(sun.light.Diffuse.r, 128 / 255.0f, 1e-6f);
    const TLightManager::Slot& glow = lights.GetSlot(1);
    EXPECT_EQ(glow.tag, kLocalLightTag);
    EXPECT_EQ(glow.light.Position.z, 2.0f);
    EXPECT_EQ(glow.light.Diffuse.r, 1.0f);
    EXPECT_EQ(glow.light.Attenuation0, 1.0f);
    // The lamp's glow shrinks while it lights the object.
    EXPECT_EQ(dynamic_cast<RecLamp*>(lamp)->calls.back(), "glow 0.01");
    // Both go with the local lights.
    obj->ClearLocalLights();
    EXPECT_EQ(lights.Count(), 0);
}

class AnimatedObjModel : public AnimatedObj {
protected:
    void SetUp() override {
        AnimatedObj::SetUp();
        BuffersManager = std::make_unique<BuffersManagerClass>();
        CreateLuaMachine();
        LuaMachine->RunString("mesh = { [7] = { name = 'shield', path = 'fx/shields' } }");
        model = &trees.Add("fx/shields/shield.cm");
        ro = model->AddObject("bubble", MatrixTranslation(1, 2, 3));
        D3DMATERIAL9 m{};
        m.Diffuse = {0.5f, 0.25f, 1, 1};
        m.Power = 3;
        ro->GetMaterial(0)->SetD3DMaterial(m);
        model->AddTrack("bubble", 31, 60);
    }
    void TearDown() override {
        RenderTest::TearDown();
        trees.Clear();
        FreeLuaMachine();
        BuffersManager.reset();
    }
    FakeModelTrees trees;
    FakeModelTree* model = nullptr;
    TRenderObject* ro = nullptr;
};

TEST_F(AnimatedObjModel, LoadMeshTakesTheObjectTrackMaterialAndKeyAnimation) {
    obj->LoadMesh("7", "bubble", 0x80, 0x2);
    // Without a ".cma" file the model's own tracks animate it.
    EXPECT_EQ(trees.asked, (std::vector<std::string>{"fx/shields/shield.cm"}));
    EXPECT_EQ(model->built, (std::vector<std::string>{"bubble/130"}));
    EXPECT_EQ(obj->GetModelTree(), model);
    EXPECT_FLOAT_EQ(obj->GetLength(), 2.0f);
    EXPECT_EQ(obj->GetLocalMatrix().m[3][2], 3.0f);
    auto* keys = dynamic_cast<SimpleKeyAnimationClass*>(obj->KeyAnimationLink());
    ASSERT_NE(keys, nullptr);
    EXPECT_EQ(keys->Name(), "bubble");
    EXPECT_EQ(keys->GetFrameCount(), 60);
    D3DMATERIAL9 *base = nullptr, *working = nullptr;
    obj->GetROMaterialPointer(base, working);
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(working->Diffuse.g, 0.25f);
    EXPECT_EQ(base->Power, 3.0f);

    obj->SetMaterialFade(0.5f);
    EXPECT_EQ(base->Diffuse.g, 1.0f);
    EXPECT_EQ(working->Diffuse.g, 0.5f);
    EXPECT_EQ(working->Emissive.a, 0.5f);
    EXPECT_EQ(working->Power, 3.0f);
    // The working material is what draws.
    obj->UpdateMatrices(nullptr);
    obj->DoRender();
    EXPECT_EQ(ro->GetMaterial(0)->GetD3DMaterial().Ambient.r, 0.5f);
    TRenderObject* out = nullptr;
    obj->GetROPointer(out);
    EXPECT_EQ(out, ro);
}

TEST_F(AnimatedObjModel, FaultsReportTheirTexts) {
    model->animationRoot = false;
    EXPECT_THROW(obj->LoadMesh("7", "bubble", 0, 0), Halted);
    EXPECT_EQ(trapAll.lastFatal, "CMAData.PAnimationRoot=nil");
    EXPECT_THROW(obj->LoadMesh("7", "wing", 0, 0), Halted);
    EXPECT_EQ(trapAll.lastFatal, "not cmtree.GetGeomobject(_GOName,pgeomobj): wing");

    AnimatedObjClass* bare = TBaseRenderUnit::Create<AnimatedObjClass>(env);
    env->AddChild(bare);
    D3DMATERIAL9 *base = nullptr, *working = nullptr;
    EXPECT_THROW(bare->GetROMaterialPointer(base, working), Halted);
    EXPECT_EQ(trapAll.lastFatal, "AnimatedObjClass.GetROMaterialPointer: ROList=nil");
    TRenderObject* out = nullptr;
    bare->GetROPointer(out); // no list: untouched
    EXPECT_EQ(out, nullptr);
}

TEST_F(AnimatedObjModel, CopyThroughTheBaseKeepsTheAnimation) {
    obj->LoadMesh("7", "bubble", 0, 0);
    obj->SetAnimFlags(AO_LOOP);
    obj->PlayFrom(0.5f);
    obj->Tick(0);
    TBaseRenderUnit* base = obj;
    auto* copy = dynamic_cast<AnimatedObjClass*>(base->CreateCopy(env));
    ASSERT_NE(copy, nullptr);
    env->AddChild(copy);
    EXPECT_TRUE(copy->HasAnimFlags(AO_LOOP | AO_PLAYING));
    EXPECT_EQ(copy->GetClock(), 0.5f);
    EXPECT_FLOAT_EQ(copy->GetAnimPos(), 0.25f);
    EXPECT_EQ(copy->GetLength(), 2.0f);
    EXPECT_EQ(copy->GetROList(), obj->GetROList());
    EXPECT_EQ(copy->GetName().rfind("_copy_of_AnimatedObj_", 0), 0u);
    // The copy's key animation plays on the copy, and its clock runs on from the copy's state.
    auto* keys = dynamic_cast<SimpleKeyAnimationClass*>(copy->KeyAnimationLink());
    ASSERT_NE(keys, nullptr);
    EXPECT_EQ(keys->Carrier()->GetInstance(), copy);
    copy->Tick(500);
    EXPECT_FLOAT_EQ(copy->GetAnimPos(), 0.5f);
    EXPECT_EQ(copy->GetCurrentFrame(), 15);
}

} // namespace
