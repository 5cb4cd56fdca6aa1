// The render demo's generated models through the real model cache on the
// recording device: what the render engine reads of a tree, the characters'
// morph objects, heads and item scenes in an interface viewport, cinematics,
// animated objects and sub-objects from the demo script's tables.
#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "core/paths.h"
#include "core/services.h"
#include "interface/desktop.h"
#include "interface/interface_services.h"
#include "interface/video_node.h"
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "platform/files.h"
#include "platform/video.h"
#include "render/animated_obj.h"
#include "render/morphed_obj.h"
#include "render/multirole.h"
#include "render/render_fixture.h"
#include "render/texture.h"
#include "render/video_renderer.h"
#include "render/viewport_scene.h"
#include "shared/math.h"
#include "support/fx_environment.h"

#include <cstring>
#include <filesystem>

using namespace vesk;
using namespace vesk::platform;
using namespace vesk::test;

namespace {

namespace fs = std::filesystem;

class RenderModels : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        home_ = fs::current_path();
        // The generated game folder: the demo's models, textures and scripts.
        fs::current_path(std::string(VESK_BUILD_DIR) + "/game");
        DataPath = "";
        BuffersManager = std::make_unique<BuffersManagerClass>();
        RE_CreateTextureManager();
        CMTreeManager = std::make_unique<CMTreeManagerClass>();
        InstallCMRenderObjectBuilder();
        UpdaterManager = TEngineObject::New<UpdaterManagerClass>();
        CreateLuaMachine();
        LuaMachine->RunString("ini = {} materials = {} mesh = {} fx = {} demo = { OnInit = function() end, "
                              "OnTick = function() end, trace = function() end }");
        LuaMachine->LuaDoFile("Scripts/demo/render.lua");
        // The lights of the demo's models are lamps whose glow is an effect of
        // the demo's library, as in the game. The class registry outlives the
        // test, so the lamps are there whatever ran before: their glow must be too.
        RegisterEffectUnitClasses();
        LuaMachine->RunString(kFxContentHelpers);
        LuaMachine->LuaDoFile("Scripts/demo/fx.lua");
        LuaMachine->RunString("fxOrder = { 'fx_simple_lamp' }"); // the glow alone: no scene for the rest
        LoadFXTemplates();
        engine->CreateDrawObjects();
        viewport = engine->Viewports().AddViewport(nullptr, nullptr);
        root = TBaseRenderUnit::Create<MultiroleBRUClass>(nullptr);
        root->Setup(viewport, BRU2_VIEWPORT_CHARACTER);
    }
    void TearDown() override {
        root->DiscardBRU();
        root->Free();
        FreeFXTemplates();
        RenderTest::TearDown();
        FreeLuaMachine();
        CMTreeManager.reset();
        SetCMRenderObjectBuilder(nullptr);
        SetCMRenderObjectReleaser(nullptr);
        SetModelTreeProvider(nullptr);
        UpdaterManager->Free();
        UpdaterManager = nullptr;
        RE_FreeTextureManager();
        BuffersManager.reset();
        fs::current_path(home_);
    }
    CMTreeClass* Tree(const std::string& file) {
        return CMTreeManager->GetCMTree("models/render_demo/" + file);
    }
    // The result stream's floats of one vertex.
    std::vector<float> ResultVertex(TRenderObject* ro, uint32_t index) {
        MorphStreamData* data = nullptr;
        EXPECT_TRUE(ro->GetMorpher()->GetVertexData(0, data));
        void* p = nullptr;
        EXPECT_EQ(data->buffer->Lock(0, 0, &p, 0), D3D_OK);
        std::vector<float> v(data->stride / 4);
        std::memcpy(v.data(), static_cast<uint8_t*>(p) + size_t(index) * data->stride, data->stride);
        data->buffer->Unlock();
        return v;
    }

    int viewport = 0;
    MultiroleBRUClass* root = nullptr;

private:
    fs::path home_;
};

TEST_F(RenderModels, TheModelTreeViewOfTheGeneratedFiles) {
    CMTreeClass* beacon = Tree("render_demo.cm");
    IModelTree& model = *beacon;
    ASSERT_EQ(model.ModelLights().size(), 1u);
    EXPECT_EQ(model.ModelLights()[0].argb, 0xFFFF4000u);
    EXPECT_EQ(model.ModelLightColour("lamp01"), 0xFFFF4000u);
    EXPECT_EQ(model.ModelHelpers().size(), 2u);
    EXPECT_EQ(model.ModelBoundingSpheres()[0].radius, 8.7f);
    // Universal helpers: the helpers, the sphere and the geometry objects.
    EXPECT_EQ(model.ModelUniversalHelpers().size(), 5u);
    // The ".cm" holds the antenna without a track; its ".cma" holds the track.
    EXPECT_EQ(model.FindRecordTrack("antenna"), nullptr);
    IModelTree& animation = *Tree("render_demo.cma");
    const ROKeyTrack* sway = animation.FindRecordTrack("ANTENNA");
    ASSERT_NE(sway, nullptr);
    EXPECT_EQ(sway->keyCount, 3u);
    EXPECT_EQ(animation.FirstTrack(), sway);
    EXPECT_TRUE(animation.HasAnimationRoot());
    // Morph weights are the keys' times as stored (file time x 0.01).
    const MorphRecord* mouth = Tree("demo_head.cma")->FindMorphRecord("mouth");
    ASSERT_NE(mouth, nullptr);
    ASSERT_EQ(mouth->KeyCount(), 4u);
    EXPECT_NEAR(mouth->weights[1], 1.0f / 3.0f, 1e-5f);
    EXPECT_NEAR(mouth->weights[3], 1.0f, 1e-5f);
    EXPECT_EQ(Tree("demo_head.cma")->FindMorphRecord("eye1"), nullptr);
}

TEST_F(RenderModels, MorphObjectsHoldOneStreamPerShapeOfTheSameVertexCount) {
    CMTreeClass* head = Tree("demo_head.cm");
    TRenderObject* ro = head->CreateMorphRO("base", RO_MORPHSTREAMS);
    ASSERT_NE(ro, nullptr);
    EXPECT_TRUE(ro->Flags() & RO_MORPHSTREAMS);
    EXPECT_EQ(ro->ByteTotal(), 0xABCDEF00u);
    EXPECT_EQ(ro->GetMatrix().m[3][0], 20.0f);
    auto* morpher = dynamic_cast<MorpherClass*>(ro->GetMorpher());
    ASSERT_NE(morpher, nullptr);
    // Result, base, the two boxes of 24 vertices (mouth, background), texture coordinates.
    ASSERT_EQ(morpher->GetCount(), 5u);
    std::vector<std::string> names;
    for (size_t i = 0; i < morpher->GetCount(); ++i) {
        VertexStreamDataClass* s = nullptr;
        morpher->GetVertexData(i, s);
        names.push_back(s->name + "/" + std::to_string(s->stream) + "/" + std::to_string(s->stride));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Result/-1/36", "base/0/28", "mouth/1/28", "background/2/28",
                                               "base/3/8"}));
    // Positions less the object's translation, weight 1, the normal, then (tu, -tv).
    const std::vector<float> v = ResultVertex(ro, 0);
    EXPECT_EQ(v[0], 1.0f); // the first face is the box's x = 21 side, less 20
    EXPECT_EQ(v[3], 1.0f);
    EXPECT_EQ(v[4], 1.0f); // its normal (1, 0, 0)
    ro->Free();
    EXPECT_THROW(head->CreateMorphRO("nose", RO_MORPHSTREAMS), Halted);
    EXPECT_EQ(trapAll.lastFatal, "CM.CreateRO: Object not found: nose");
}

TEST_F(RenderModels, AHeadLoadsItsPartsAndBlendsItsMouthByTheFrame) {
    TMorphedAnimatedObjClass* head = root->AddHead("demo_head", "", true, 0);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->GetName(), "base");
    EXPECT_EQ(head->Parent(), root);
    EXPECT_TRUE(head->HasFlag(BRU_KEEPLOCALLIGHTS));
    EXPECT_EQ(head->GetViewportID(), viewport);
    EXPECT_EQ(head->GetLinkedObject(), nullptr); // no "base2" in the model
    EXPECT_FLOAT_EQ(head->GetLength(), 1.0f);
    EXPECT_NE(head->KeyAnimationLink(), nullptr);
    // The parts hang beside the head: the eye without a morph record of its own gets flag 4.
    auto* eye = dynamic_cast<MultiroleBRUClass*>(root->FindBRUByName("eye1"));
    ASSERT_NE(eye, nullptr);
    EXPECT_TRUE(eye->HasFlag(4 | 8 | BRU_KEEPLOCALLIGHTS | BRU_VISIBLE));
    auto* background = dynamic_cast<MultiroleBRUClass*>(root->FindBRUByName("background"));
    ASSERT_NE(background, nullptr);
    EXPECT_TRUE(background->HasFlag(8 | BRU_KEEPLOCALLIGHTS | BRU_VISIBLE));
    EXPECT_EQ(root->GetAmbient(), 0xFF404040u);

    TRenderObject* ro = dynamic_cast<TRenderObject*>(head->GetROList()->front().get());
    head->PlayFrom(0);
    head->Tick(500); // frame round(3 x 0.5) = 2: the mouth at weight 2/3
    EXPECT_EQ(head->GetCurrentFrame(), 2u);
    engine->UpdateMatrices(nullptr);
    Dev().ClearCalls();
    head->DoRender();
    EXPECT_EQ(Dev().CountCalls("DrawIndexedPrimitive"), 1u);
    // Vertex 0 of the box's first face is its (21, -3, -4) corner; the mouth's is (21, -3, -6).
    std::vector<float> v = ResultVertex(ro, 0);
    EXPECT_NEAR(v[2], -4.0f - 2.0f * 2.0f / 3.0f, 1e-4f);
    // Without loop it stops on its last frame.
    head->Tick(600);
    EXPECT_FALSE(head->HasAnimFlags(MORPH_ANIM_PLAYING));
    EXPECT_EQ(head->GetCurrentFrame(), 3u);
    // Paused while hidden: no blending.
    head->SetAnimFlags(MORPH_ANIM_PAUSED);
    head->DoRender();
    v = ResultVertex(ro, 0);
    EXPECT_NEAR(v[2], -4.0f - 2.0f * 2.0f / 3.0f, 1e-4f);
}

TEST_F(RenderModels, ItemScenesSpinAndCopiesKeepTheirClock) {
    TMorphedAnimatedObjClass* items = root->AddItemScene(viewport);
    ASSERT_NE(items, nullptr);
    EXPECT_EQ(items->GetName(), "items_scene");
    EXPECT_EQ(items->RotatorLink()->GetMode(), kRotateZ);
    EXPECT_TRUE(items->HasFlag(BRU_KEEPLOCALLIGHTS));
    // Without parts: no background, no eye.
    EXPECT_EQ(root->FindBRUByName("background"), nullptr);
    items->SetLoop(true);
    items->PlayFrom(0.25f);
    TBaseRenderUnit* base = items;
    auto* copy = dynamic_cast<TMorphedAnimatedObjClass*>(base->CreateCopy(root));
    ASSERT_NE(copy, nullptr);
    root->AddChild(copy);
    EXPECT_TRUE(copy->HasAnimFlags(MORPH_ANIM_LOOP | MORPH_ANIM_PLAYING));
    EXPECT_EQ(copy->GetLength(), 1.0f);
    EXPECT_EQ(copy->GetClock(), 0.0f); // the clock is not copied
    // In a viewport's private scene the updater ticks it (no tree does).
    UpdaterManager->Update(500);
    EXPECT_FLOAT_EQ(items->GetClock(), 0.75f);
}

TEST_F(RenderModels, LoadingFaultsReportTheirTexts) {
    auto* bare = TBaseRenderUnit::Create<MultiroleBRUClass>(nullptr);
    auto* head = TBaseRenderUnit::Create<TMorphedAnimatedObjClass>(bare);
    EXPECT_THROW(head->Load("demo_head", "head", "", "base", false, 0), Halted);
    EXPECT_EQ(trapAll.lastFatal, "TMorphedAnimatedObjClass.Load: VPCH not found");
    bare->DiscardBRU();
    bare->Free();

    auto* plain = TBaseRenderUnit::Create<TMorphedAnimatedObjClass>(root);
    root->AddChild(plain);
    plain->AddRO(UnitViewOf(Tree("render_demo.cm")->CreateRO("base", false, 0)));
    EXPECT_THROW(plain->DoRender(), Halted);
    EXPECT_EQ(trapAll.lastFatal, "Unknown type of RO... 3D Engine crash");
}

TEST_F(RenderModels, ACinematicPlaysItsVideoInsteadOfTheModel) {
    test::TempDir data;
    DataPath = data.path() + "/";
    fs::create_directories(data / "cinematics");
    ASSERT_TRUE(platform::WriteFile(data / "cinematics/demo_head.wmv", "not decoded by the null backend"));
    platform::SetVideoDecoderFactory([] { return platform::CreateNullVideoDecoder({}); });
    auto* film = TBaseRenderUnit::Create<TMorphedAnimatedObjClass>(root);
    film->Load("demo_head", "film", "", "base", true, 0);
    ASSERT_NE(film->GetVideoInterface(), nullptr);
    EXPECT_EQ(film->GetVideoInterface()->FileName(), data / "cinematics/demo_head.wmv");
    EXPECT_FALSE(film->GetVideoInterface()->Playing());
    EXPECT_EQ(film->GetVideoInterface()->GetPosition(), 0.0);
    EXPECT_EQ(film->GetROList(), nullptr);
    EXPECT_EQ(root->FindBRUByName("background"), nullptr);
    // Shown, it plays; loading again only names it.
    film->SetVisible(true);
    EXPECT_TRUE(film->GetVideoInterface()->Playing());
    film->Load("demo_head", "again", "", "base", true, 0);
    EXPECT_EQ(film->GetName(), "again");
    EXPECT_EQ(film->GetROList(), nullptr);
    // ... and it stays one child of its parent.
    EXPECT_EQ(root->ChildCount(), 1);
    platform::SetVideoDecoderFactory(nullptr);
}

TEST_F(RenderModels, TheDemoBeaconAnimatesItsAntennaAndHangsItsSubObjects) {
    auto* antenna = TBaseRenderUnit::Create<AnimatedObjClass>(env);
    env->AddChild(antenna);
    antenna->LoadMesh("render_demo", "antenna", 0, 0);
    EXPECT_EQ(antenna->GetModelTree(), Tree("render_demo.cma"));
    EXPECT_FLOAT_EQ(antenna->GetLength(), 2.0f);
    auto* keys = dynamic_cast<SimpleKeyAnimationClass*>(antenna->KeyAnimationLink());
    ASSERT_NE(keys, nullptr);
    UpdaterManager->Update(1000); // phase 0.5: key 1, the antenna at y 0
    EXPECT_EQ(keys->GetCurrentKey(), 1);
    EXPECT_EQ(antenna->GetLocalMatrix().m[3][1], 0.0f);

    auto* beacon = TBaseRenderUnit::Create<MeshClass>(env);
    env->AddChild(beacon);
    beacon->LoadFromCM("models/render_demo/render_demo.cm", "beacon", "beacon1");
    beacon->AddROFromCM("models/render_demo/render_demo.cm", "base");
    beacon->GetSubObjects(*Tree("render_demo.cm"), "render_demo");
    auto* sub = dynamic_cast<MultiroleBRUClass*>(beacon->FindBRUByName("antenna"));
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->GetBaseMatrix().m[3][2], 7.0f);
    HelperClass* gun = nullptr;
    EXPECT_TRUE(beacon->FindHelper("gun", gun));
    EXPECT_EQ(beacon->GetBSphereList()->size(), 1u);
    EXPECT_TRUE(trapAll.reports.empty());
}

TEST_F(RenderModels, AScriptsViewportNodeShowsAHeadInItsOwnScene) {
    CoreServices services;
    InstallInterfaceServices(services);
    services.desktop->InitCore();
    services.desktop->Create();
    // The demo script's viewport node, built through the interface's tool function.
    LuaMachine->RunString("engine_Desktop('insert', 'Face', 'desktop', '', 'TViewportNode') "
                          "engine_Desktop('update', 'Face', 'LEFT', '10', 'TOP', '20', 'WIDTH', '100', "
                          "'HEIGHT', '80', 'VIEWPORT', 'demo_head') "
                          "engine_Desktop('insert', 'Clip', 'desktop', '', 'TVideoNode')");
    int status = 0;
    auto* face = dynamic_cast<TViewportNode*>(CurrentDesktop()->ChildByName("Face", status, true, false));
    ASSERT_NE(face, nullptr);
    ASSERT_NE(face->Scene(), nullptr);
    MultiroleBRUClass* scene = face->Scene()->Root();
    ASSERT_NE(scene, nullptr);
    auto* head = dynamic_cast<TMorphedAnimatedObjClass*>(scene->FindBRUByName("base"));
    ASSERT_NE(head, nullptr);
    EXPECT_NE(head->GetROList(), nullptr);
    EXPECT_NE(scene->FindBRUByName("background"), nullptr);
    // Drawn with the desktop: into the node's rectangle, the engine's viewport made current again.
    Dev().ClearCalls();
    face->Draw();
    EXPECT_EQ(Dev().CountCalls("DrawIndexedPrimitive"), 3u); // head, eye, background
    D3DVIEWPORT9 rect;
    ASSERT_TRUE(engine->Viewports().GetViewport(face->Scene()->ViewportId(), rect));
    EXPECT_EQ(rect.Width, 100u);
    EXPECT_EQ(engine->Viewports().CurrentIndex(), engine->EngineViewportId());
    // Another content replaces the scene; a video node shows clips, never a model.
    LuaMachine->RunString("engine_Desktop('update', 'Face', 'VIEWPORT', 'items_scene')");
    EXPECT_NE(face->Scene()->Root()->FindBRUByName("items_scene"), nullptr);
    EXPECT_EQ(face->Scene()->Root()->FindBRUByName("background"), nullptr);
    platform::SetVideoDecoderFactory([] {
        platform::NullVideoConfig c;
        c.openAnyName = true;
        return platform::CreateNullVideoDecoder(c);
    });
    test::TempDir clips;
    ASSERT_TRUE(platform::WriteFile(clips / "demo_head", "a clip"));
    LuaMachine->RunString("engine_Desktop('update', 'Clip', 'VIEWPORT', " + LuaQuote(clips / "demo_head") +
                          ")");
    auto* clip = dynamic_cast<TVideoNode*>(CurrentDesktop()->ChildByName("Clip", status, true, false));
    ASSERT_NE(clip, nullptr);
    ASSERT_NE(clip->Video(), nullptr);
    EXPECT_EQ(clip->Video()->FileName(), clips / "demo_head");
    EXPECT_EQ(clip->Scene(), nullptr);
    platform::SetVideoDecoderFactory(nullptr);
    services.desktop->Release();
    services.desktop->FreeCore();
    TEODestroyManager->Flush();
    EXPECT_TRUE(trapAll.reports.empty());
}

} // namespace
