// The multirole unit: drawing its render objects with clip planes and fog
// saved and restored, the placeholder of removed children, copies, and the
// private scene of an interface viewport.
#include "render/multirole.h"
#include "render/render_object.h"
#include "render_fixture.h"
#include "shared/math.h"

using namespace vesk;
using namespace vesk::platform;
using namespace vesk::test;

namespace {

// A video child: takes the name it is told.
class VideoChild : public TBaseRenderUnit, public IVideoUnit {
public:
    std::string video;
    void SetVideoName(const std::string& name) override { video = name; }
};

class Multirole : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        BuffersManager = std::make_unique<BuffersManagerClass>();
        ro = TEngineObject::New<TRenderObject>();
        ro->Create(D3DPOOL_MANAGED, 0, 0, RO_QUADS, 1, 0);
        unit = TBaseRenderUnit::Create<MultiroleBRUClass>(env);
        env->AddChild(unit);
    }
    void TearDown() override {
        RenderTest::TearDown();
        ro->Free();
        BuffersManager.reset();
    }
    // The calls on the given render states in order, as "name(state, value)".
    std::vector<std::string> States(std::initializer_list<int> wanted) {
        std::vector<std::string> out;
        for (const GfxCall& c : Dev().Calls()) {
            if (c.name != "SetRenderState" && c.name != "GetRenderState") continue;
            const int state = std::stoi(c.args);
            for (int w : wanted)
                if (state == w) out.push_back(c.Text());
        }
        return out;
    }
    TRenderObject* ro = nullptr;
    MultiroleBRUClass* unit = nullptr;
};

TEST_F(Multirole, InitAndTheRemovedChildsPlaceholder) {
    EXPECT_EQ(unit->GetName(), "Multirole BRU");
    EXPECT_TRUE(unit->HasFlag(MR_MULTIROLE));
    EXPECT_EQ(unit->GetAmbient(), 0u);
    // A removed child's slot holds a killed multirole unit named "null" until the clean-up.
    RecUnit* child = Unit(env, "child");
    const int count = env->ChildCount();
    env->RemoveChild(child);
    TBaseRenderUnit* slot = nullptr;
    ASSERT_TRUE(env->GetChildBRU(count - 1, slot));
    EXPECT_TRUE(slot->IsClass<MultiroleBRUClass>());
    EXPECT_EQ(slot->GetName(), "null");
    EXPECT_TRUE(slot->HasFlag(BRU_KILLED));
    child->Free();
}

TEST_F(Multirole, DrawingSavesAndRestoresClipPlanesAndFog) {
    unit->SetupDrawing();
    unit->SetVisible(true);
    unit->AddRO(UnitViewOf(ro));
    unit->SetFlag2(MR2_NO_CLIP_PLANES);
    unit->SetFogEnabled(false);
    Device->SetRenderState(D3DRS_CLIPPLANEENABLE, 3);
    Device->SetRenderState(D3DRS_FOGENABLE, 1);
    Dev().ClearCalls();
    unit->DoRender();
    const std::vector<std::string> states = States({152, 28});
    const auto at = [&](const std::string& s) {
        return std::find(states.begin(), states.end(), s) - states.begin();
    };
    // Read, off while drawing, back to what it was.
    EXPECT_LT(at("GetRenderState(152)"), at("SetRenderState(152, 0)"));
    EXPECT_LT(at("GetRenderState(28)"), at("SetRenderState(28, 0)"));
    EXPECT_LT(at("SetRenderState(28, 0)"), at("SetRenderState(28, 1)"));
    EXPECT_LT(at("SetRenderState(28, 1)"), at("SetRenderState(152, 3)"));
    EXPECT_EQ(at("SetRenderState(152, 3)") + 1, long(states.size()));
    EXPECT_EQ(Dev().CountCalls("DrawPrimitive"), 1u);

    // Invisible: the same state changes, no render object drawn.
    unit->SetVisible(false);
    Dev().ClearCalls();
    unit->DoRender();
    EXPECT_EQ(States({152, 28}), states);
    EXPECT_EQ(Dev().CountCalls("DrawPrimitive"), 0u);
}

TEST_F(Multirole, ViewportRootDrawsItsChildrenButNotItsOwnObjects) {
    engine->CreateDrawObjects(); // the screen size from the device
    const int vp = engine->Viewports().AddViewport(nullptr, nullptr);
    engine->Viewports().SetViewportRect(vp, 0.5f, 0.5f, 0.25f, 0.25f);
    unit->AddRO(UnitViewOf(ro));
    unit->Setup(vp, MR2_REAPPLY_LOCAL);
    EXPECT_FALSE(unit->HasFlag(MR_DRAW_ROS));
    EXPECT_TRUE(unit->HasFlag(MR_AMBIENT_RESET | MR_MULTIROLE));
    EXPECT_EQ(unit->GetViewportID(), vp);
    unit->SetAmbient(0xFF102030);
    RecUnit* blended = Unit(unit, "blended", BRU_BLENDED, 2);
    RecUnit* opaque = Unit(unit, "opaque", BRU_OPAQUE, 2);
    RecUnit* otherStage = Unit(unit, "stage0", BRU_OPAQUE, 0);
    (void)blended;
    (void)opaque;
    (void)otherStage;
    for (int pass = 0; pass < 2; ++pass) {
        drawn.clear();
        Dev().ClearCalls();
        unit->RenderViewport();
        // Every unit of the tree is put into stage 2; opaque ones draw first.
        EXPECT_EQ(drawn, (std::vector<std::string>{"opaque:draw", "opaque:end", "stage0:draw", "stage0:end",
                                                   "blended:draw", "blended:end"}));
        EXPECT_EQ(engine->RenderListSize(), 0u);
        EXPECT_EQ(Dev().CountCalls("DrawPrimitive"), 0u);
        EXPECT_EQ(Dev().CountCalls("Clear"), 2u);
        const std::vector<std::string> states = States({139});
        EXPECT_NE(std::find(states.begin(), states.end(), "SetRenderState(139, 4279246896)"), states.end());
        EXPECT_EQ(states.back(), "SetRenderState(139, 0)");
        EXPECT_EQ(engine->Viewports().CurrentIndex(), engine->EngineViewportId());
    }
    // With the kept target nothing is cleared.
    unit->SetFlag2(MR2_NO_CLEAR);
    Dev().ClearCalls();
    unit->RenderViewport();
    EXPECT_EQ(Dev().CountCalls("Clear"), 0u);
}

TEST_F(Multirole, CopiesKeepAmbientAndFogAndVideosFindTheirChild) {
    unit->SetAmbient(0xFF00FF00);
    unit->SetFogEnabled(false);
    auto* copy = dynamic_cast<MultiroleBRUClass*>(unit->CreateCopy(env));
    ASSERT_NE(copy, nullptr);
    env->AddChild(copy);
    EXPECT_EQ(copy->GetAmbient(), 0xFF00FF00u);
    EXPECT_FALSE(copy->FogEnabled());
    unit->SetFlag(MR_AMBIENT_RESET);
    Dev().ClearCalls();
    unit->EndRender();
    EXPECT_EQ(States({139}), (std::vector<std::string>{"SetRenderState(139, 0)"}));

    auto* plain = TBaseRenderUnit::Create<VideoChild>(unit);
    unit->AddChild(plain);
    auto* video = TBaseRenderUnit::Create<VideoChild>(plain);
    video->SetFlag(MR_VIDEO_CHILD);
    plain->AddChild(video);
    unit->SetVideo("intro");
    EXPECT_EQ(video->video, "intro");
    EXPECT_EQ(plain->video, "");
}

} // namespace
