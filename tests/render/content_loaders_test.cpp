// What render units take from model files and Lua tables: attach points,
// spheres, sub-objects, lamps and the ship scene of an interface viewport.
#include "core/lua_adapter.h"
#include "core/lua_machine.h"
#include "fake_model_tree.h"
#include "render/helpers.h"
#include "render/lamp_setup.h"
#include "render/mesh.h"
#include "render/multirole.h"
#include "render/texture.h"
#include "render/view_camera.h"
#include "render/viewport_scene.h"
#include "render_fixture.h"
#include "stand_in_units.h"
#include <cstdio>

using namespace vesk;
using namespace vesk::platform;
using namespace vesk::test;

namespace {

class Loaders : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        BuffersManager = std::make_unique<BuffersManagerClass>();
        CreateLuaMachine();
        LuaMachine->RunString(
            "function length(t) if t == nil then return 0 end local n = 0 for _ in pairs(t) do n = n + 1 end "
            "return n end ini = {} mesh = { beacon = { kwsubobjects = { 'antenna', 'mast' } } }");
        model = &trees.Add("models/beacon.cm");
        model->helpers = {{"gun", {5, 0, 0}, {}, 0}, {"nozzle", {-5, 0, 0}, {}, 0}};
        model->uhelpers = {{"dock", {0, 9, 0}, MatrixTranslation(0, 9, 0), 12.5f}};
        model->spheres = {{"body", {0, 0, 1}, {}, 8.5f}};
        model->lights = {{"lamp01", {0, 0, 9}, {1, 0.25f, 0, 1}, 0xFFFF4000u}};
        model->AddObject("base");
        model->AddObject("antenna", MatrixTranslation(0, 0, 7));
        model->AddTrack("gun", 3, 60);
        model->AddTrack("antenna", 3, 60);
        model->AddTrack("lamp01", 3, 60);
    }
    void TearDown() override {
        RenderTest::TearDown();
        trees.Clear();
        FreeLuaMachine();
        BuffersManager.reset();
    }
    template <class T = TBaseRenderUnit> T* Child(TBaseRenderUnit* u, const std::string& name) {
        return dynamic_cast<T*>(u->FindBRUByName(name));
    }
    FakeModelTrees trees;
    FakeModelTree* model = nullptr;
};

TEST_F(Loaders, MeshTakesNameSpheresAndAttachPointsWithTheirAnimation) {
    auto* mesh = TBaseRenderUnit::Create<MeshClass>(env);
    env->AddChild(mesh);
    ASSERT_TRUE(mesh->LoadFromCM("models/beacon.cm", "beacon", "ship1"));
    EXPECT_EQ(mesh->GetName(), "beacon");
    EXPECT_EQ(mesh->GetStrID(), "ship1");
    ASSERT_NE(mesh->GetBSphereList(), nullptr);
    ASSERT_EQ(mesh->GetBSphereList()->size(), 1u);
    EXPECT_EQ(mesh->GetBSphereList()->front().radius, 8.5f);
    EXPECT_EQ(mesh->GetBSphereList()->front().centre.z, 1.0f);
    HelperClass* gun = nullptr;
    ASSERT_TRUE(mesh->FindHelper("GUN", gun));
    EXPECT_EQ(gun->GetLocalMatrix().m[3][0], 5.0f);
    EXPECT_NE(gun->KeyAnimationLink(), nullptr);
    HelperClass* nozzle = nullptr;
    ASSERT_TRUE(mesh->FindHelper("nozzle", nozzle));
    EXPECT_EQ(nozzle->KeyAnimationLink(), nullptr); // no track of that name

    mesh->AddUHelpersFromCM(*model);
    UniHelperClass* dock = nullptr;
    ASSERT_TRUE(mesh->FindUHelper("dock", dock));
    EXPECT_EQ(dock->GetRadius(), 12.5f);
    EXPECT_EQ(dock->GetLocalMatrix().m[3][1], 9.0f);
}

TEST_F(Loaders, SubObjectsAreDrawingMultiroleChildren) {
    auto* unit = TBaseRenderUnit::Create<MeshClass>(env);
    env->AddChild(unit);
    unit->GetSubObjects(*model, "beacon");
    // "mast" is listed but missing from the model: logged, not fatal.
    EXPECT_TRUE(trapAll.reports.empty());
    auto* antenna = Child<MultiroleBRUClass>(unit, "antenna");
    ASSERT_NE(antenna, nullptr);
    EXPECT_EQ(unit->ChildCount(), 1);
    EXPECT_EQ(model->built, (std::vector<std::string>{"antenna/194"}));
    EXPECT_TRUE(antenna->HasFlag(MR_DRAW_ROS | BRU_VISIBLE));
    EXPECT_TRUE(antenna->HasFlag(BRU_OPAQUE)); // from its material
    EXPECT_EQ(antenna->GetBaseMatrix().m[3][2], 7.0f);
    ASSERT_NE(antenna->GetROList(), nullptr);
    EXPECT_EQ(antenna->GetROList()->size(), 1u);
    EXPECT_NE(antenna->KeyAnimationLink(), nullptr);

    MultiroleBRUClass* flagged = unit->AddSubObject(*model, "base", BRU_KEEPLOCALLIGHTS | 4);
    EXPECT_TRUE(flagged->HasFlag(BRU_KEEPLOCALLIGHTS | 4));
    EXPECT_THROW(unit->AddSubObject(*model, "mast", 0), Halted);
    EXPECT_EQ(trapAll.lastFatal, "CM.CreateRO: Object not found: mast");
}

TEST_F(Loaders, LampsFromModelLightsAndTheirPoorEffectsSwitch) {
    if (!kFakeLamp) GTEST_SKIP() << "the real lamp class is registered";
    auto* unit = TBaseRenderUnit::Create<MeshClass>(env);
    env->AddChild(unit);
    unit->AddLampsFromCM(*model);
    auto* lamp = Child<RecLamp>(unit, "lamp01");
    ASSERT_NE(lamp, nullptr);
    EXPECT_EQ(lamp->calls,
              (std::vector<std::string>{"size 10", "size 0.01", "static", "colour 00FF4000", "intensity 1"}));
    EXPECT_EQ(lamp->GetLocalMatrix().m[3][2], 9.0f);
    EXPECT_NE(lamp->KeyAnimationLink(), nullptr);
    EXPECT_FALSE(lamp->HasFlag(BRU_KILLED));

    LuaMachine->RunString("ini.poorfx = '1'");
    TBaseRenderUnit* poor = unit->AddLamp("poor", {0, 0, 0}, 3);
    EXPECT_TRUE(poor->HasFlag(BRU_KILLED));

    // Helpers shown as lamps: one per helper, at its origin.
    unit->AddHelpersFromCM(*model);
    LuaMachine->RunString("ini.poorfx = '0'");
    unit->ShowHelpersAsLamps(0x00FF00);
    HelperClass* gun = nullptr;
    ASSERT_TRUE(unit->FindHelper("gun", gun));
    auto* hl = Child<RecLamp>(gun, "hl0");
    ASSERT_NE(hl, nullptr);
    EXPECT_EQ(hl->colour, 0x00FF00u);
    HelperClass* nozzle = nullptr;
    ASSERT_TRUE(unit->FindHelper("nozzle", nozzle));
    EXPECT_NE(Child<RecLamp>(nozzle, "hl1"), nullptr);
}

class MeshFlares : public Loaders {
protected:
    void SetUp() override {
        Loaders::SetUp();
        GetRenderWorldLinks().meshFlares = [this](const std::string& object,
                                                  std::vector<MeshFlareRecord>& out) {
            if (object != "mesh.beacon") return false;
            out = flares;
            return true;
        };
        GetRenderWorldLinks().setFlareTexture = [this](const std::string&, size_t i, const std::string& v) {
            flares[i].textureInterface = v;
        };
    }
    std::vector<MeshFlareRecord> flares;
};

TEST_F(MeshFlares, FlaresBecomeLampsAtTheModelsLights) {
    if (!kFakeLamp) GTEST_SKIP() << "the real lamp class is registered";
    RE_CreateTextureManager(); // the flare file is missing: the checker stands in
    flares = {{"lamp01", "fx/flare", "", "BLINK", 0.5f, 40, 2, 3}, {"lamp01", "", "", "SINUS", 0, 0, 1, 1}};
    auto* unit = TBaseRenderUnit::Create<MeshClass>(env);
    env->AddChild(unit);
    unit->LoadLamps(model, "mesh.beacon");
    auto* first = Child<RecLamp>(unit, "lamp01");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->calls, (std::vector<std::string>{"size 10", "phase 0.5", "speed 2", "range 40", "glow 3",
                                                      "colour 00FF4000", "blink", "texture fx/flare"}));
    EXPECT_EQ(first->GetLocalMatrix().m[3][2], 9.0f);
    // The texture's id went back into the flare: the next description user gets the same texture.
    ASSERT_FALSE(flares[0].textureInterface.empty());
    IKWTexture* loaded = first->texture;
    auto* again = TBaseRenderUnit::Create<MeshClass>(env);
    env->AddChild(again);
    again->LoadLamps(model, "mesh.beacon");
    EXPECT_EQ(Child<RecLamp>(again, "lamp01")->texture, loaded);

    flares = {{"lamp01", "", "", "Blink", 0, 0, 0, 0}};
    EXPECT_THROW(unit->LoadLamps(model, "mesh.beacon"), Halted);
    EXPECT_EQ(trapAll.lastFatal, "Unknown lamp mode: Blink");
    // No description: logged.
    unit->LoadLamps(model, "mesh.none");
    RE_FreeTextureManager();
}

TEST_F(Loaders, ViewportSceneTurnsAShipUnderItsLights) {
    if (!kFakeShip) GTEST_SKIP() << "the real ship class is registered";
    engine->CreateDrawObjects();
    const int vp = engine->Viewports().AddViewport(nullptr, nullptr);
    auto* root = TBaseRenderUnit::Create<MultiroleBRUClass>(nullptr);
    root->Setup(vp, 0);
    auto* ship = dynamic_cast<RecShip*>(root->AddViewportScene("scout", vp));
    ASSERT_NE(ship, nullptr);
    EXPECT_EQ(root->GetName(), "vpch_scout");
    EXPECT_TRUE(root->HasFlag2(MR2_NO_CLEAR));
    EXPECT_EQ(ship->built, "scout|scout|1");
    TBaseRenderUnit* scene = ship->Parent();
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->GetName(), "scene");
    EXPECT_TRUE(scene->IsClass<SceneClass>());
    EXPECT_EQ(scene->LightsLink()->GetCount(), 2);
    EXPECT_TRUE(ship->HasFlag2(BRU2_PARENT_LIGHTS));
    EXPECT_EQ(ship->RotatorLink()->GetMode(), kRotateZ);
    EXPECT_EQ(ship->GetViewportID(), vp);
    EXPECT_EQ(ship->GetRenderStage(), kViewportStage);
    // The camera looks at the origin from (r, r, r) x 0.866.
    IViewCamera* camera = engine->Viewports().GetViewportCamera(vp);
    const float r = ship->GetBSphereRadius();
    EXPECT_NEAR(camera->GetPosition().x, r * 0.866f, 1e-4f);
    EXPECT_NEAR(camera->GetDirection().z, -r * 0.866f, 1e-4f);
    // A second ship reuses the scene.
    root->AddViewportScene("scout2", vp);
    EXPECT_EQ(root->ChildCount(), 1);
    root->DiscardBRU();
    root->Free();
}

TEST_F(Loaders, TheViewportShipTurnsFrameByFrameAndItsSceneGoesWithTheView) {
    if (!kFakeShip) GTEST_SKIP() << "the real ship class is registered";
    const bool ownUpdater = !UpdaterManager;
    if (ownUpdater) UpdaterManager = TEngineObject::New<UpdaterManagerClass>();
    const int clientsBefore = UpdaterManager->Update(0.0f);
    engine->CreateDrawObjects();
    const int discardedBefore = RecShip::discarded;
    {
        ViewportSceneClass view(engine->Viewports().AddViewport(nullptr, nullptr));
        view.Show("scout", true);
        ASSERT_NE(view.Root(), nullptr);
        RecShip* ship = nullptr;
        view.Root()->ForEachInTree(
            [&ship](TBaseRenderUnit* u, void*) {
                if (auto* s = dynamic_cast<RecShip*>(u)) ship = s;
                return ship == nullptr;
            },
            nullptr);
        ASSERT_NE(ship, nullptr);
        // Frame after frame: the application's updaters tick, then the view is drawn.
        std::vector<float> headings;
        for (int frame = 0; frame < 4; ++frame) {
            UpdaterManager->Update(100.0f);
            view.Render(0, 0, 200, 150);
            const Matrix& m = ship->GetWorldMatrix();
            headings.push_back(std::atan2(m.m[0][1], m.m[0][0]));
            RenderFrameCounter.NextFrame();
        }
        for (size_t i = 1; i < headings.size(); ++i)
            EXPECT_GT(std::fabs(headings[i] - headings[i - 1]), 1e-4f) << "frame " << i;
        EXPECT_EQ(UpdaterManager->Update(0.0f), clientsBefore + 1);
        // Another ship: the first scene and its ship go at once.
        view.Show("scout2", true);
        EXPECT_EQ(RecShip::discarded, discardedBefore + 1);
        EXPECT_EQ(UpdaterManager->Update(0.0f), clientsBefore + 1);
    }
    EXPECT_EQ(UpdaterManager->Update(0.0f), clientsBefore);
    EXPECT_EQ(RecShip::discarded, discardedBefore + 2);
    if (ownUpdater) UpdaterManager->Free();
}

TEST_F(Loaders, AttachKeyAnimationNeedsATrack) {
    auto* unit = TBaseRenderUnit::Create<MeshClass>(env);
    env->AddChild(unit);
    EXPECT_FALSE(unit->AttachKeyAnimation(*model, "nozzle"));
    EXPECT_EQ(unit->KeyAnimationLink(), nullptr);
    ASSERT_TRUE(unit->AttachKeyAnimation(*model, "gun"));
    // A second animation replaces the first.
    ASSERT_TRUE(unit->AttachKeyAnimation(*model, "antenna"));
    EXPECT_EQ(dynamic_cast<SimpleKeyAnimationClass*>(unit->KeyAnimationLink())->Name(), "antenna");
}

} // namespace
