// The interface cursor: bounds, the centred look, look changes and its
// fatal texts; the cursor sequencer's elements.
#include "interface/cursor.h"

#include <cmath>

#include "render/engine.h"
#include "render/view_camera.h"

#include "interface_fixture.h"

namespace vesk::test {
namespace {

class CursorTest : public InterfaceTest {
protected:
    void SetUp() override {
        InterfaceTest::SetUp();
        Lua("iCursor = {SetPos = function(x, y) cx = x; cy = y end}");
    }
    TMegaButton* Layer(std::initializer_list<const char*> looks) {
        TMegaButton* layer = Add(root, "CursorLayer");
        for (const char* l : looks) Button(layer, l, 0, 0, 4, 4);
        return layer;
    }
    TICursor cursor;
};

TEST_F(CursorTest, MovesWithinTheScreen) {
    Layer({"arrow", "aim"});
    cursor.Init(root);
    cursor.SetX(20);
    cursor.Move(-50, 0);
    EXPECT_EQ(cursor.X(), 0);
    cursor.Move(5000, 5000);
    EXPECT_EQ(cursor.Position(), (TIPoint{1023, 767}));
    EXPECT_EQ(Global("cx"), "1023");
    EXPECT_EQ(Global("cy"), "767");
    auto* look = cursor.CurrentLook()->AsRect();
    EXPECT_EQ(look->Left(), 1023);
    EXPECT_EQ(cursor.DistanceFromCentre(), 640);
}

TEST_F(CursorTest, CentredLookAndSelection) {
    TMegaButton* layer = Layer({"arrow", "aim", "hand"});
    cursor.Init(root);
    EXPECT_EQ(cursor.CurrentIndex(), 0);
    cursor.Move(-100, -100);
    cursor.Change("aim");
    EXPECT_EQ(cursor.Position(), (TIPoint{511, 383}));
    EXPECT_EQ(cursor.CurrentLook()->AsRect()->Left(), 511);
    for (int i = 0; i < 3; ++i) {
        auto* s = layer->ChildAt(i)->AsSens();
        EXPECT_EQ(s->Visible(), i == 1);
        EXPECT_EQ(s->Ticked(), i == 1);
    }
    // The same name again does not re-select, so a look hidden meanwhile stays hidden.
    layer->ChildAt(1)->AsSens()->SetVisible(false);
    cursor.Change("aim");
    EXPECT_FALSE(layer->ChildAt(1)->AsSens()->Visible());
    cursor.Change("hand");
    EXPECT_EQ(cursor.Position(), (TIPoint{411, 283}));
    cursor.Hide();
    EXPECT_FALSE(layer->Visible());
    cursor.Show();
    EXPECT_TRUE(layer->Visible());
    // A look chosen by its index (the flight's centred look) leaves no stale
    // name behind: the look named before can be changed back to.
    cursor.Change("arrow");
    cursor.Select(TICursor::kCentredLook);
    cursor.Change("arrow");
    EXPECT_EQ(cursor.CurrentIndex(), 0);
    EXPECT_TRUE(layer->ChildAt(0)->AsSens()->Visible());
    EXPECT_EQ(cursor.Position(), (TIPoint{411, 283}));
}

TEST_F(CursorTest, FatalTexts) {
    Layer({});
    EXPECT_THROW(cursor.Init(root), Halted);
    EXPECT_EQ(trap.lastFatal, "TICursor.Init fault: no cursor to load");
    EXPECT_EQ(trap.reports.back().flags, "mhl");

    Button(root->ChildAt(0), "arrow", 0, 0, 1, 1);
    TICursor second;
    second.Init(root);
    EXPECT_THROW(second.Change("nothing"), Halted);
    EXPECT_EQ(trap.lastFatal, "TICursor.Change fault: wrong cursor name - nothing");
    EXPECT_EQ(trap.reports.back().flags, "mh");
}

TEST_F(CursorTest, SequencerFindsItsElements) {
    TMegaButton* layer = Add(root, "SequencerLayer");
    for (int i = 1; i <= 7; ++i) Add(layer, "Sequencer_" + std::to_string(i));
    TCursorSequencer seq;
    seq.Init(root);
    EXPECT_EQ(seq.Element(6)->Name(), "Sequencer_7");
    seq.Hide();
    EXPECT_FALSE(layer->Visible() || layer->Ticked());
    seq.Show();
    EXPECT_TRUE(layer->Visible() && layer->Ticked());

    layer->DeleteChild("Sequencer_4");
    TCursorSequencer broken;
    EXPECT_THROW(broken.Init(root), Halted);
    EXPECT_EQ(trap.lastFatal, "TCursorSequencer.Init fault: sequencer element not found");
}

} // namespace
} // namespace vesk::test

namespace vesk::test {
namespace {

// The 3D cursor sits on the pick ray through the middle of the screen.
TEST(CursorUnit, FollowsThePickRayThroughTheScreenCentre) {
    ErrorTrap trap;
    if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
    auto camera = std::make_shared<BasicViewCamera>();
    camera->SetPose({10, 0, 0}, {0, 1, 0});
    SetDefaultViewCamera(camera);
    CursorClass* cursor = TBaseRenderUnit::Create<CursorClass>(nullptr);
    EXPECT_EQ(cursor->GetName(), "cursor");
    cursor->UpdateMatrices(nullptr);
    Vec3 p;
    cursor->GetPosition(p);
    EXPECT_NEAR(p.x, 10.0f, 1e-2f);
    EXPECT_NEAR(p.y, CursorClass::kRayDistance, 1e-1f);
    EXPECT_NEAR(p.z, 0.0f, 1e-2f);

    // A ray through the left edge leaves at half the horizontal field of view.
    Vec3 origin, centre, edge;
    CursorClass::PickRay(*camera, 512, 384, origin, centre);
    CursorClass::PickRay(*camera, 0, 384, origin, edge);
    const float cosine = centre.x * edge.x + centre.y * edge.y + centre.z * edge.z;
    const double halfFov = std::atan(std::tan(35.0 * M_PI / 180.0) * 1024.0 / 768.0);
    EXPECT_NEAR(std::acos(cosine), halfFov, 1e-3);
    EXPECT_NEAR(edge.z, 0.0f, 1e-4f); // still level

    cursor->DiscardBRU();
    cursor->Free();
    SetDefaultViewCamera(nullptr);
    TEODestroyManager->Flush();
}

} // namespace
} // namespace vesk::test
