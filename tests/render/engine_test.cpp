#include "platform/files.h"
#include "render/key_animation.h"
#include "render/lights.h"
#include "render/morphed_obj.h"
#include "render_fixture.h"
#include "shared/errors.h"
#include "stand_in_units.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include <cstring>
#include <stdexcept>

namespace vesk::test {
namespace {

using Strings = std::vector<std::string>;

class EngineTest : public RenderTest {};

TEST_F(EngineTest, InitLogsThePoolLinesAndBuildsTheRoot) {
    TempDir dir;
    const bool wasOn = LogEnabled;
    const std::string folder = LogFolder();
    LogEnabled = true;
    SetLogFolder(dir.path());
    TEngineClass* e = TBaseRenderUnit::Create<TEngineClass>(nullptr);
    std::string log;
    ASSERT_TRUE(platform::ReadFile(dir / "log.txt", log));
    EXPECT_NE(log.find("<<<-TEngineClass.Init: ObjManagerClass.Init(3DEngine)[3000]"), std::string::npos);
    EXPECT_NE(log.find(">>>-TEngineClass.Init: ObjManagerClass.Init(3DEngine)[3000]"), std::string::npos);
    EXPECT_LT(log.find("<<<-TEngineClass"), log.find(">>>-TEngineClass"));
    EXPECT_EQ(e->GetName(), "3DEngine");
    EXPECT_TRUE(e->HasFlag(BRU_ROOT));
    EXPECT_EQ(e->RenderListPool()->GetName(), "RL for TEngine");
    EXPECT_EQ(e->RenderListPool()->GetCapacity(), 3000);
    CursorClass* cursor = nullptr;
    EXPECT_EQ(e->GetCursor(cursor), 0);
    EXPECT_EQ(cursor->Parent(), e);
    e->CreateDrawObjects();
    ASSERT_TRUE(platform::ReadFile(dir / "log.txt", log));
    for (const char* line : {"RENDER ENGINE: CreateDrawObjects: ", "Device capables: ", "Texture size: ",
                             "Max lights: ", "Pixel shader version 2.0: ", "Point sprites is "})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    e->DiscardBRU();
    e->Free();
    LogEnabled = wasOn;
    SetLogFolder(folder);
}

TEST_F(EngineTest, FrameRunsItsDeviceStepsInOrder) {
    Unit(env, "a");
    Dev().ClearCalls();
    Frame();
    Strings calls;
    for (const auto& c : Dev().Calls())
        if (c.name == "BeginScene" || c.name == "EndScene" || c.name == "Clear" || c.name == "SetViewport" ||
            c.name == "Present")
            calls.push_back(c.name);
    EXPECT_EQ(calls,
              (Strings{"BeginScene", "SetViewport", "Clear", "Clear", "SetViewport", "EndScene", "Present"}));
    EXPECT_EQ(drawn, (Strings{"a:draw", "a:end"}));
    // The clear colour (0.05, 0.1, 0.15, 0) and the depth 1.0.
    const auto clears = Dev().Find("Clear");
    ASSERT_EQ(clears.size(), 2u);
    EXPECT_NE(clears[0].find(std::to_string(0x000D1A26)), std::string::npos) << clears[0];
}

TEST_F(EngineTest, ScenesAreNeverNested) {
    Dev().ClearCalls();
    engine->RE_EndScene(); // no scene: nothing
    engine->RE_BeginScene();
    engine->RE_BeginScene();
    EXPECT_TRUE(engine->HasEngineFlags(TEngineClass::kInScene));
    engine->RE_EndScene();
    engine->RE_EndScene();
    EXPECT_EQ(Dev().CountCalls("BeginScene"), 1u);
    EXPECT_EQ(Dev().CountCalls("EndScene"), 1u);
    for (int i = 0; i < 3; ++i) Frame();
    EXPECT_EQ(Dev().CountCalls("BeginScene"), 4u);
    EXPECT_EQ(Dev().CountCalls("EndScene"), 4u);
}

TEST_F(EngineTest, UnknownListKindDoesNothingAndEnvironmentBeginsFirst) {
    RecUnit* a = Unit(env, "a");
    RenderListUnitClass entry;
    entry.Init(a, 5);
    entry.Execute();
    EXPECT_TRUE(drawn.empty());
    // The environment's begin entry sets the ambient colour before its children draw.
    EnvironmentSet set;
    set.ambient = 0xFF102030;
    GetRenderWorldLinks().environmentSet = [&set]() -> const EnvironmentSet* { return &set; };
    Dev().ClearCalls();
    Frame();
    bool ambientSeen = false;
    for (const auto& c : Dev().Calls())
        if (c.name == "SetRenderState" && c.args.find("139") != std::string::npos) ambientSeen = true;
    EXPECT_TRUE(ambientSeen);
}

TEST_F(EngineTest, DeviceAndCleanUpFailuresAreFatal) {
    const auto fatalStarts = [](const ErrorTrap& t, const std::string& text) {
        return t.lastFatal.rfind(text, 0) == 0 && t.lastFatal.find("D3DERR_INVALIDCALL") != std::string::npos;
    };
    {
        ErrorTrap trap;
        Device->BeginScene(); // the device refuses a second one
        EXPECT_THROW(engine->RE_BeginScene(), Halted);
        EXPECT_TRUE(fatalStarts(trap, "Failed RE_BeginScene ")) << trap.lastFatal;
        Device->EndScene();
    }
    {
        ErrorTrap trap;
        engine->RE_BeginScene();
        Device->EndScene();
        EXPECT_THROW(engine->RE_EndScene(), Halted);
        EXPECT_TRUE(fatalStarts(trap, "Failed d3dd.EndScene() ")) << trap.lastFatal;
    }
    {
        // A unit whose tear-down throws: the clean-up names the parent and the child.
        class Faulty : public RecUnit {
        public:
            bool DiscardBRU() override { throw std::runtime_error("fault"); }
        };
        ErrorTrap trap;
        Faulty* f = TBaseRenderUnit::Create<Faulty>(env);
        f->SetName("faulty");
        env->AddChild(f);
        f->Kill();
        EXPECT_THROW(engine->CleanChildsBRU(), Halted);
        EXPECT_TRUE(trap.HasReport("TBaseRenderUnit.CleanAndRemoveZeroElementsFromChildsBRUList AV: " +
                                   env->GetInfoStr() + " try release child: " + f->GetInfoStr()));
        EXPECT_EQ(trap.lastFatal, "CleanAndRemoveZeroElementsFromChildsBRUList() - AV");
        f->ClearFlag(BRU_KILLED);
        env->ReleaseChild(f);
        f->TBaseRenderUnit::DiscardBRU();
        f->Free();
    }
}

TEST_F(EngineTest, PresentSavesARequestedScreenshotOnce) {
    class Capture : public IEngineCapture {
    public:
        int* shots;
        explicit Capture(int* s) : shots(s) {}
        void Start() override {}
        void Stop() override {}
        void CopyFrame() override {}
        bool Screenshot() override { return ++*shots, true; }
    };
    int shots = 0;
    engine->SetCaptureObject(std::make_unique<Capture>(&shots));
    engine->RequestScreenshot();
    Frame();
    Frame();
    EXPECT_EQ(shots, 1);
    EXPECT_FALSE(engine->ScreenshotRequested());
}

TEST_F(EngineTest, PresentedFramesReachTheCaptureTexture) {
    GetRenderWorldLinks().iniText = [](const std::string& key) -> std::string {
        return key == "capture_fps" || key == "capture_num_devices" ? "0" : "";
    };
    engine->EnableCopyRenderDataToTexture(true);
    ASSERT_NE(engine->CaptureTexture(), nullptr);
    Frame();
    platform::D3DLOCKED_RECT lr;
    ASSERT_EQ(engine->CaptureTexture()->LockRect(0, &lr, nullptr, platform::D3DLOCK_READONLY),
              platform::D3D_OK);
    uint32_t first;
    std::memcpy(&first, lr.pBits, 4);
    engine->CaptureTexture()->UnlockRect(0);
    EXPECT_EQ(first & 0xFFFFFF, 0x0D1A26u); // the frame's clear colour
    engine->EnableCopyRenderDataToTexture(false);
    EXPECT_FALSE(engine->Capturing());
}

TEST_F(EngineTest, RenderToTextureDrawsTheTextureOverTheScreen) {
    engine->EnableRenderToTexture();
    ASSERT_TRUE(engine->RenderToTexture());
    Dev().ClearCalls();
    Frame();
    const auto targets = Dev().Find("SetRenderTarget");
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(Dev().CountCalls("DrawPrimitiveUP"), 1u);
    // Render to texture replaces the target clear; the depth is still cleared.
    EXPECT_EQ(Dev().CountCalls("Clear"), 1u);
}

TEST_F(EngineTest, TheScreenQuadReplacesThePictureWhateverTheSceneLeftSet) {
    using namespace platform;
    engine->EnableRenderToTexture();
    // What the scene's last units may leave on: blending, alpha test, fog.
    const D3DRENDERSTATETYPE left[] = {D3DRS_ALPHABLENDENABLE, D3DRS_ALPHATESTENABLE, D3DRS_FOGENABLE};
    for (D3DRENDERSTATETYPE s : left) Device->SetRenderState(s, 1);
    Dev().ClearCalls();
    Frame();
    // At the quad's draw each of them is off (and the depth test with them) ...
    std::map<uint32_t, std::string> atDraw;
    for (const GfxCall& c : Dev().Calls()) {
        if (c.name == "DrawPrimitiveUP") break;
        if (c.name == "SetRenderState") atDraw[uint32_t(std::stoul(c.args))] = c.Text();
    }
    for (D3DRENDERSTATETYPE s :
         {D3DRS_ZENABLE, D3DRS_ALPHABLENDENABLE, D3DRS_ALPHATESTENABLE, D3DRS_FOGENABLE})
        EXPECT_EQ(atDraw[s], "SetRenderState(" + std::to_string(s) + ", 0)");
    // ... and the scene's values are back after it.
    for (D3DRENDERSTATETYPE s : left) {
        uint32_t v = 0;
        Device->GetRenderState(s, &v);
        EXPECT_EQ(v, 1u) << s;
    }
}

// Each client goes to the list of its own class: a scene of any kind to the
// scenes' list, the morphs, the key animations and the bullets (known here by
// their registered name) to theirs, a class derived from one of those to the
// general list. The lists then run in their fixed order.
TEST_F(EngineTest, UpdaterManagerRoutesByClassAndRunsItsListsInOrder) {
    class Bullet : public TBaseRenderUnit, public IUpdatableInterface {
    public:
        void UpdateTick(float) override {}
        void UpdateEndTick() override {}
    };
    class Morph : public TMorphedAnimatedObjClass {};
    class General : public TEngineObject {};
    class DrawnScene : public SceneClass {};
    RegisterStandIn("FXBulletClass", [] { return RegisterRenderUnitClass<Bullet>("FXBulletClass"); });
    struct Case {
        TEngineObject* client;
        int list;
    };
    const Case cases[] = {
        {TEngineObject::New<General>(), 0},    {TEngineObject::New<Bullet>(), 1},
        {TEngineObject::New<DrawnScene>(), 2}, {TEngineObject::New<TMorphedAnimatedObjClass>(), 3},
        {TEngineObject::New<Morph>(), 0},      {TEngineObject::New<SimpleKeyAnimationClass>(), 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.client->ClassName());
        EXPECT_EQ(UpdaterManagerClass::ListFor(c.client), c.list);
    }
    for (const Case& c : cases) c.client->Free();

    static Strings* order = nullptr;
    Strings ran;
    order = &ran;
    class Recorder : public TEngineObject, public IUpdatableInterface {
    public:
        void UpdateTick(float) override { order->push_back(list); }
        void UpdateEndTick() override {}
        std::string list;
    };
    UpdaterManagerClass* m = TEngineObject::New<UpdaterManagerClass>();
    std::vector<TEngineObject*> clients;
    for (int i = 0; i < UpdaterManagerClass::kLists; ++i) {
        auto* r = TEngineObject::New<Recorder>();
        r->list = "list " + std::to_string(i);
        m->List(i).AddClient(r);
        clients.push_back(r);
    }
    EXPECT_TRUE(m->IsClient(clients[2]));
    EXPECT_EQ(m->Update(20.0f), 5);
    EXPECT_EQ(ran, (Strings{"list 0", "list 1", "list 3", "list 2", "list 4"}));
    m->RemoveClient(clients[2]);
    EXPECT_FALSE(m->IsClient(clients[2]));
    for (TEngineObject* c : clients) c->Free();
    m->Free();
    order = nullptr;
}

TEST_F(EngineTest, SceneTicksOnlyAfterItWasDrawnInThePreviousFrame) {
    SceneClass* scene = TBaseRenderUnit::Create<SceneClass>(engine);
    engine->AddChild(scene);
    RecUnit* u = Unit(scene, "u");
    u->SetLifeTime(0.001f); // any tick kills it
    RenderFrameCounter.NextFrame();
    scene->UpdateTick(20.0f);
    EXPECT_FALSE(u->HasFlag(BRU_KILLED)); // never updated
    engine->UpdateMatrices(nullptr);      // drawn in this frame
    RenderFrameCounter.NextFrame();
    bool paused = true;
    GetRenderWorldLinks().desktopPaused = [&paused] { return paused; };
    scene->UpdateTick(20.0f);
    EXPECT_FALSE(u->HasFlag(BRU_KILLED)); // the desktop is paused
    paused = false;
    scene->UpdateTick(20.0f);
    EXPECT_TRUE(u->HasFlag(BRU_KILLED));
    EXPECT_TRUE(scene->HasFlag(BRU_ROOT));
    EXPECT_EQ(u->GetRoot(), scene);
    EXPECT_FALSE(scene->DiscardBRU());
}

TEST_F(EngineTest, LasersAreFoundByTheirSource) {
    class Laser : public RecUnit, public ILaserUnit {
    public:
        TBaseRenderUnit* from = nullptr;
        TBaseRenderUnit* GetFromBRU() const override { return from; }
    };
    RecUnit* ship = Unit(engine, "ship");
    Laser* laser = TBaseRenderUnit::Create<Laser>(engine);
    laser->SetFlag(BRU_LASER);
    laser->from = ship;
    engine->AddChild(laser);
    TBaseRenderUnit* out = nullptr;
    EXPECT_TRUE(engine->GetLaserByFromBRU(ship, out));
    EXPECT_EQ(out, laser);
    EXPECT_FALSE(engine->GetLaserByFromBRU(laser, out));
    EXPECT_EQ(engine->FindOrAddGlobalHelper("WayPoint"), engine->FindOrAddGlobalHelper("waypoint"));
}

// ---- lights ---------------------------------------------------------------------------------

TEST(LightManager, NinthLightIsRefusedAndChangesNothing) {
    TLightManager lm;
    for (int i = 0; i < 8; ++i) ASSERT_NE(lm.AddPointLight(1, {}, {1, 1, 1, 1}, 1, 0), nullptr);
    EXPECT_EQ(lm.AddDirectionalLight(1, {0, 0, 1}, {1, 1, 1, 1}), nullptr);
    EXPECT_EQ(lm.Count(), 8);
}

TEST(LightManager, RemovalByTagAndSlotReuse) {
    TLightManager lm;
    lm.AddPointLight(1, {}, {}, 1, 0);
    lm.AddPointLight(2, {}, {}, 1, 0);
    lm.AddPointLight(3, {}, {}, 1, 0);
    lm.AddPointLight(4, {}, {}, 1, 0);
    lm.RemoveLightsByTag(0x0003);
    EXPECT_EQ(lm.Count(), 1);
    EXPECT_EQ(lm.GetSlot(3).tag, 4);
    lm.AddPointLight(1, {}, {}, 1, 0);
    lm.AddPointLight(1, {}, {}, 1, 0);
    lm.AddPointLight(1, {}, {}, 1, 0);
    lm.RemoveLight(2);
    const platform::D3DLIGHT9* l = lm.AddDirectionalLight(8, {0, 1, 0}, {0.5f, 0.5f, 0.5f, 1});
    EXPECT_EQ(l, &lm.GetSlot(2).light);
    EXPECT_EQ(l->Type, platform::D3DLIGHT_DIRECTIONAL);
    EXPECT_FLOAT_EQ(l->Range, 9999.0f);
    EXPECT_FLOAT_EQ(l->Attenuation1, 0.05f);
    EXPECT_FLOAT_EQ(l->Specular.r, 0.4f);
    EXPECT_FLOAT_EQ(l->Position.x, 0.0f);
}

TEST_F(EngineTest, UnitLightsReachTheDeviceAndNineDoNotOverrun) {
    RecUnit* ship = Unit(env, "ship");
    for (int i = 0; i < 9; ++i)
        ship->GetLights()->Lights().push_back({{float(i), 0, 0}, {1, 0.5f, 0.25f, 1}});
    Dev().ClearCalls();
    ship->AddLights(0);
    TLightManager& lm = engine->Viewports().GetLightManager();
    EXPECT_EQ(lm.Count(), 8);
    EXPECT_EQ(Dev().CountCalls("SetLight"), 8u);
    EXPECT_EQ(Dev().CountCalls("LightEnable"), 8u);
    EXPECT_EQ(lm.GetSlot(0).tag, kLocalLightTag);
    EXPECT_FLOAT_EQ(lm.GetSlot(0).light.Diffuse.g, 0.5f);
    EXPECT_FLOAT_EQ(lm.GetSlot(0).light.Range, 1.0e9f);
    EXPECT_FLOAT_EQ(lm.GetSlot(0).light.Attenuation0, 1.0f);
    ship->ClearLocalLights();
    EXPECT_EQ(lm.Count(), 0);
    EXPECT_EQ(Dev().CountCalls("LightEnable"), 16u);
    // A unit that keeps its lights.
    ship->SetFlag(BRU_KEEPLOCALLIGHTS);
    ship->AddLights(0);
    ship->ClearLocalLights();
    EXPECT_EQ(lm.Count(), 8);
    lm.RemoveLightsByTag(0xFFFF);
}

TEST_F(EngineTest, SunsAndLampsGiveLights) {
    class Lamp : public RecUnit, public ILampLight {
    public:
        float LampRange() const override { return range; }
        ColorValue LampColour() const override { return {1, 1, 1, 1}; }
        float LampIntensity() const override { return 0.5f; }
        float range = 4.0f;
    };
    RecUnit* sun = Unit(env, "sun");
    sun->SetPosition({100, 0, 0});
    RecUnit* ship = Unit(env, "ship");
    Lamp* lamp = TBaseRenderUnit::Create<Lamp>(ship);
    lamp->SetFlag(BRU_LAMP);
    ship->AddChild(lamp);
    Lamp* dark = TBaseRenderUnit::Create<Lamp>(ship);
    dark->SetFlag(BRU_LAMP);
    dark->range = 0;
    ship->AddChild(dark);
    engine->UpdateMatrices(nullptr);
    EnvironmentSet set;
    set.suns.push_back({sun, 0xFF8000FF});
    GetRenderWorldLinks().environmentSet = [&set]() -> const EnvironmentSet* { return &set; };
    ship->AddLights(kLightsSuns | kLightsLamps);
    TLightManager& lm = engine->Viewports().GetLightManager();
    ASSERT_EQ(lm.Count(), 2);
    EXPECT_FLOAT_EQ(lm.GetSlot(0).light.Position.x, 100.0f);
    EXPECT_FLOAT_EQ(lm.GetSlot(0).light.Diffuse.r, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(lm.GetSlot(1).light.Diffuse.g, 0.5f);
    EXPECT_FLOAT_EQ(lm.GetSlot(1).light.Attenuation0, 0.25f);
    ship->ClearLocalLights();
}

TEST(DebugOps, CountersInTheirOrder) {
    DebugOpsClass ops;
    EXPECT_EQ(ops.BulletsPC().Name(), "BulletsPC");
    EXPECT_EQ(ops.Smokes().Name(), "Smokes");
    EXPECT_EQ(ops.User11PC().Name(), "User11PC");
    int64_t start;
    PerfomanceCounterClass::Start(start);
    ops.LampsPC().Add(start);
    EXPECT_EQ(ops.LampsPC().Count(), 1);
    ops.LampsPC().Reset();
    EXPECT_EQ(ops.LampsPC().Count(), 0);
    EXPECT_EQ(ops.Find("nope"), nullptr);
}

} // namespace
} // namespace vesk::test
