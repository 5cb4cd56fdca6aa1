// Key animation against hand values, and static meshes drawn from model trees.
#include "fake_model_tree.h"
#include "render/key_animation.h"
#include "render/mesh.h"
#include "render/shader.h"
#include "render_fixture.h"
#include "shared/math.h"

#include <cmath>

using namespace vesk;
using namespace vesk::platform;
using namespace vesk::test;

namespace {

// A key record as model files hold it.
struct Key {
    uint8_t head[32] = {};
    Matrix matrix;
    float colour[4] = {1, 1, 1, 1};
    float factor = 1;
};
static_assert(sizeof(Key) == 116);

struct Track {
    std::vector<Key> keys;
    ROKeyTrack view;
    // n keys over the frames; key k moves by (k, 0, 0) and has colour (k, 0, 0, 1), factor k + 0.5.
    Track(int n, float start, float end) : keys(static_cast<size_t>(n)) {
        for (int k = 0; k < n; ++k) {
            keys[k].matrix = MatrixTranslation(static_cast<float>(k), 0, 0);
            keys[k].colour[0] = static_cast<float>(k);
            keys[k].factor = k + 0.5f;
        }
        view = {start, end, static_cast<uint32_t>(n), keys.data(), sizeof(Key)};
    }
};

struct ColourLog : IKeyColourTarget {
    ColorValue colour;
    float factor = 0;
    void SetKeyColour(const ColorValue& c) override { colour = c; }
    void SetKeyFactor(float f) override { factor = f; }
};

class KeyAnimation : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        carrier = Unit(engine, "carrier");
    }
    void TearDown() override {
        for (auto* k : anims) k->Free();
        RenderTest::TearDown();
    }
    SimpleKeyAnimationClass* Anim(const ROKeyTrack* track) {
        auto* k = SimpleKeyAnimationClass::Create(carrier, "turret");
        anims.push_back(k);
        k->SetTrack(track);
        return k;
    }
    float CarrierX() const { return carrier->GetLocalMatrix().m[3][0]; }
    RecUnit* carrier = nullptr;
    std::vector<SimpleKeyAnimationClass*> anims;
};

TEST_F(KeyAnimation, NearestKeyOfThePhaseWithHalvesToEven) {
    struct Case {
        int keys;
        float dtMs;
        int32_t key;
    };
    // A 30-frame track lasts one second.
    const Case cases[] = {{4, 500, 2}, {6, 500, 2}, {4, 250, 1}, {5, 999, 4}, {4, 1000, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys * 10000 + c.dtMs);
        Track t(c.keys, 10, 40);
        SimpleKeyAnimationClass* k = Anim(&t.view);
        EXPECT_EQ(k->GetFrameCount(), 30);
        EXPECT_FLOAT_EQ(k->Length(), 1.0f);
        k->Update(c.dtMs);
        EXPECT_EQ(k->GetCurrentKey(), c.key);
        EXPECT_FLOAT_EQ(CarrierX(), static_cast<float>(c.key));
    }
}

TEST_F(KeyAnimation, ClockWrapsBeforeThePhaseIsTaken) {
    Track t(4, 0, 30);
    SimpleKeyAnimationClass* k = Anim(&t.view);
    k->Update(500);
    EXPECT_EQ(k->GetCurrentKey(), 2);
    k->Update(500); // exactly the length
    EXPECT_EQ(k->GetCurrentKey(), 0);
    EXPECT_EQ(k->Clock(), 0.0f);
    EXPECT_EQ(k->Phase(), 0.0f);
}

TEST_F(KeyAnimation, ColourTargetAndFallbacks) {
    Track t(4, 0, 30);
    SimpleKeyAnimationClass* k = Anim(&t.view);
    ColourLog log;
    k->SetColourTarget(&log);
    k->Update(700); // phase 0.7 -> key round(2.1) = 2
    EXPECT_EQ(log.colour.r, 2.0f);
    EXPECT_EQ(log.colour.a, 1.0f);
    EXPECT_EQ(log.factor, 2.5f);

    // No track: the neutral colour and factor, and the matrix stays as it was.
    SimpleKeyAnimationClass* none = Anim(nullptr);
    EXPECT_EQ(none->KeyColour().g, 1.0f);
    EXPECT_EQ(none->KeyFactor(), 1.0f);
    Matrix m = MatrixTranslation(9, 9, 9);
    none->GetKeyMatrix(m);
    EXPECT_EQ(m.m[3][0], 9.0f);
}

TEST_F(KeyAnimation, EmptyAndZeroLengthTracksShowWhatTheyCan) {
    Track empty(0, 0, 30);
    SimpleKeyAnimationClass* k = Anim(&empty.view);
    carrier->SetLocalMatrix(MatrixTranslation(7, 0, 0));
    k->Update(300);
    EXPECT_EQ(CarrierX(), 7.0f); // no key to read

    Track still(3, 5, 5);
    SimpleKeyAnimationClass* z = Anim(&still.view);
    z->Update(16);
    EXPECT_EQ(z->GetCurrentKey(), 0);
    EXPECT_FALSE(std::isnan(z->Phase()));
    EXPECT_EQ(CarrierX(), 0.0f);
}

// Frames that are no numbers or more than a clock counts make a track of no
// length, and a step that is no number moves nothing: the first key shows.
TEST_F(KeyAnimation, FramesAndStepsThatAreNoNumbersShowTheFirstKey) {
    const float nan = std::nanf(""), inf = INFINITY;
    const struct {
        float start, end, dt;
        int32_t frames;
    } cases[] = {
        {0, nan, 16, 0},  {0, inf, 16, 0},  {-inf, inf, 16, 0}, {-3.6e16f, 0, 16, 0},
        {0, 30, nan, 30}, {0, 30, inf, 30}, {0, 30, -inf, 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + " " + std::to_string(c.end) + " " + std::to_string(c.dt));
        Track t(4, c.start, c.end);
        SimpleKeyAnimationClass* k = Anim(&t.view);
        EXPECT_EQ(k->GetFrameCount(), c.frames);
        for (int i = 0; i < 3; ++i) k->Update(c.dt);
        EXPECT_FALSE(std::isnan(k->Clock()));
        EXPECT_EQ(k->GetCurrentKey(), 0);
        EXPECT_EQ(CarrierX(), 0.0f);
    }
}

TEST_F(KeyAnimation, FlagsChooseTheMatrixWritten) {
    Track t(2, 0, 30);
    t.keys[1].matrix = MatrixScaling(2, 2, 2);
    t.keys[1].matrix.m[3][0] = 4;
    SimpleKeyAnimationClass* k = Anim(&t.view);
    carrier->SetLocalMatrix(MatrixTranslation(1, 2, 3));
    k->SetFlags(KA_INVERSE);
    k->Update(900); // key 1
    const Matrix& m = carrier->GetLocalMatrix();
    EXPECT_FLOAT_EQ(m.m[0][0], 0.5f);
    EXPECT_EQ(m.m[3][0], 1.0f); // the carrier's translation is kept
    EXPECT_EQ(m.m[3][2], 3.0f);

    carrier->SetLocalMatrix(MatrixTranslation(6, 0, 0));
    k->SetFlags(KA_NOMATRIX);
    k->Update(10);
    EXPECT_EQ(CarrierX(), 6.0f);
}

TEST_F(KeyAnimation, PausedGameStopsTheClock) {
    Track t(4, 0, 30);
    SimpleKeyAnimationClass* k = Anim(&t.view);
    bool paused = true;
    GetRenderWorldLinks().desktopPaused = [&] { return paused; };
    k->Update(500);
    EXPECT_EQ(k->Clock(), 0.0f);
    paused = false;
    k->Update(500);
    EXPECT_FLOAT_EQ(k->Clock(), 0.5f);
}

TEST_F(KeyAnimation, CopyPlaysTheSameTrackAndTheUpdaterDrivesIt) {
    Track t(4, 0, 30);
    SimpleKeyAnimationClass* k = Anim(&t.view);
    k->SetFlags(KA_INVERSE);
    RecUnit* other = Unit(engine, "other");
    SimpleKeyAnimationClass* copy = k->CreateCopy(other);
    anims.push_back(copy);
    EXPECT_EQ(copy->Name(), "turret");
    EXPECT_EQ(copy->Flags(), KA_INVERSE);
    EXPECT_EQ(copy->GetFrameCount(), 30);
    EXPECT_EQ(copy->Carrier(), static_cast<IEngineObject*>(other));
    EXPECT_EQ(UpdaterManagerClass::ListFor(copy), 4);

    // With an updater manager the animation registers and is driven by it.
    UpdaterManager = TEngineObject::New<UpdaterManagerClass>();
    SimpleKeyAnimationClass* driven = Anim(&t.view);
    EXPECT_TRUE(UpdaterManager->IsClient(driven));
    UpdaterManager->Update(500);
    EXPECT_EQ(driven->GetCurrentKey(), 2);
    driven->Free();
    anims.pop_back();
    UpdaterManager->Free();
}

// ---- meshes --------------------------------------------------------------------------------

class Meshes : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        BuffersManager = std::make_unique<BuffersManagerClass>();
        model = &trees.Add("ships/a");
        ro = model->AddObject("hull", MatrixTranslation(100, 0, 0));
    }
    void TearDown() override {
        RenderTest::TearDown();
        trees.Clear();
        BuffersManager.reset();
    }
    FakeModelTrees trees;
    FakeModelTree* model = nullptr;
    TRenderObject* ro = nullptr;
};

TEST_F(Meshes, AddROFromCMTakesTheObjectsMatrixAndStates) {
    auto* mesh = TBaseRenderUnit::Create<MeshClass>(engine);
    engine->AddChild(mesh);
    EXPECT_TRUE(mesh->HasFlag(BRU_OPAQUE));
    EXPECT_TRUE(mesh->HasFlag2(BRU2_RETRANSFORM_BSPHERES));
    ASSERT_TRUE(mesh->AddROFromCM("ships/a", "hull"));
    EXPECT_EQ(model->built, (std::vector<std::string>{"hull/194"}));
    EXPECT_EQ(mesh->GetBaseMatrix().m[3][0], 100.0f);
    const auto& apply = *ro->RenderStates()->ApplyList();
    const auto& restore = *ro->RenderStates()->RestoreList();
    EXPECT_EQ(apply.back().state, D3DRS_SPECULARMATERIALSOURCE);
    EXPECT_EQ(apply.back().value, 0u);
    EXPECT_EQ(restore.back().value, 2u);

    mesh->SetVisible(true);
    engine->UpdateMatrices(nullptr);
    Dev().ClearCalls();
    mesh->DoRender();
    EXPECT_EQ(Dev().CountCalls("SetTransform"), 1u);
    EXPECT_EQ(Dev().CountCalls("DrawPrimitive"), 1u);

    EXPECT_THROW(mesh->AddROFromCM("ships/b", "gun"), Halted);
    EXPECT_EQ(trapAll.lastFatal, "MeshClass.AddROFromCM: ro not found. ships/b, gun");
}

TEST_F(Meshes, OutOfViewMeshDrawsNothing) {
    auto* mesh = TBaseRenderUnit::Create<MeshClass>(engine);
    engine->AddChild(mesh);
    mesh->AddROFromCM("ships/a", "hull");
    mesh->SetPosition({-100, 0, 0});
    engine->UpdateMatrices(nullptr);
    Dev().ClearCalls();
    mesh->DoRender();
    EXPECT_EQ(Dev().CountCalls("DrawPrimitive"), 0u);
}

} // namespace
