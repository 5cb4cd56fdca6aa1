// Animated objects: the clock, the frame, pause, loop and kill, fading, and
// loading through the model links.
#include "core/lua_machine.h"
#include "render/animated_obj.h"
#include "render_fixture.h"
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

class AnimatedObjModel : public AnimatedObj {
protected:
    void SetUp() override {
        AnimatedObj::SetUp();
        BuffersManager = std::make_unique<BuffersManagerClass>();
        CreateLuaMachine();
        LuaMachine->RunString("mesh = { [7] = { name = 'shield', path = 'fx/shields' } }");
        ro = TEngineObject::New<TRenderObject>();
        ro->Create(D3DPOOL_MANAGED, 0, 0, RO_QUADS, 1, 0);
        D3DMATERIAL9 m{};
        m.Diffuse = {0.5f, 0.25f, 1, 1};
        m.Power = 3;
        ro->GetMaterial(0)->SetD3DMaterial(m);
        ro->SetMatrix(MatrixTranslation(1, 2, 3));
        GetMeshModelLinks().loadAnimated = [this](const std::string& base, const std::string& object,
                                                  uint64_t options, AnimatedModel& out) {
            asked = base + "|" + object + "|" + std::to_string(options);
            out = model;
            out.ro = ro;
            return true;
        };
    }
    void TearDown() override {
        GetMeshModelLinks() = MeshModelLinks{};
        RenderTest::TearDown();
        ro->Free();
        FreeLuaMachine();
        BuffersManager.reset();
    }
    TRenderObject* ro = nullptr;
    AnimatedModel model;
    std::string asked;
};

TEST_F(AnimatedObjModel, LoadMeshTakesTheObjectTrackAndMaterial) {
    model = {nullptr, true, true, 31, 0, 60};
    obj->LoadMesh("7", "bubble", 0x80, 0x2);
    EXPECT_EQ(asked, "fx/shields/shield|bubble|130");
    EXPECT_FLOAT_EQ(obj->GetLength(), 2.0f);
    EXPECT_EQ(obj->GetLocalMatrix().m[3][2], 3.0f);
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
    model = {nullptr, true, false, 31, 0, 60};
    EXPECT_THROW(obj->LoadMesh("7", "bubble", 0, 0), Halted);
    EXPECT_EQ(trapAll.lastFatal, "CMAData.PAnimationRoot=nil");

    AnimatedObjClass* bare = TBaseRenderUnit::Create<AnimatedObjClass>(env);
    env->AddChild(bare);
    D3DMATERIAL9 *base = nullptr, *working = nullptr;
    EXPECT_THROW(bare->GetROMaterialPointer(base, working), Halted);
    EXPECT_EQ(trapAll.lastFatal, "AnimatedObjClass.GetROMaterialPointer: ROList=nil");
    TRenderObject* out = nullptr;
    bare->GetROPointer(out); // no list: untouched
    EXPECT_EQ(out, nullptr);
}

TEST_F(AnimatedObjModel, CopyKeepsTheAnimationState) {
    model = {nullptr, true, true, 31, 0, 60};
    obj->LoadMesh("7", "bubble", 0, 0);
    obj->SetAnimFlags(AO_LOOP);
    obj->PlayFrom(0.5f);
    obj->Tick(0);
    AnimatedObjClass* copy = obj->CreateCopy(env);
    env->AddChild(copy);
    EXPECT_TRUE(copy->HasAnimFlags(AO_LOOP | AO_PLAYING));
    EXPECT_EQ(copy->GetClock(), 0.5f);
    EXPECT_FLOAT_EQ(copy->GetAnimPos(), 0.25f);
    EXPECT_EQ(copy->GetLength(), 2.0f);
    EXPECT_EQ(copy->GetROList(), obj->GetROList());
}

} // namespace
