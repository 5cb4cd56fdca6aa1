// The space dust: its particle set, the shell it draws, the streaks the
// camera's motion makes, the look it takes from the sky's mesh table, and its
// end with the object it watches.
#include "render/vertex_buffers.h"
#include "render/view_camera.h"
#include "space_fixture.h"

#include <cmath>
#include <cstring>

namespace vesk::test {
namespace {

class DustTest : public SpaceTest {
protected:
    void SetUp() override {
        SpaceTest::SetUp();
        camera = std::make_shared<BasicViewCamera>();
        engine->Viewports().SetViewportCamera(engine->EngineViewportId(), camera);
        dust = TBaseRenderUnit::Create<DustClass>(engine);
        engine->AddChild(dust);
    }
    // The camera at a place, looking along +x.
    void CameraAt(const Vec3& eye) { camera->SetPose(eye, {1, 0, 0}); }
    // Distance of a drawn line's middle from the eye.
    static float MiddleDistance(const VertexPosColorTex2& a, const VertexPosColorTex2& b, const Vec3& eye) {
        const Vec3 mid{(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
        return Vec3Length(Vec3Sub(mid, eye));
    }
    static float Length(const VertexPosColorTex2& a, const VertexPosColorTex2& b) {
        return Vec3Length({a.x - b.x, a.y - b.y, a.z - b.z});
    }

    std::shared_ptr<BasicViewCamera> camera;
    DustClass* dust = nullptr;
};

TEST_F(DustTest, StartsWithItsParticleSetOverEightCells) {
    EXPECT_EQ(dust->GetName(), "dust");
    EXPECT_TRUE(dust->HasFlag(0x810000));
    EXPECT_EQ(dust->ParticleCount(), 5000);
    EXPECT_EQ(dust->ParticlesPerCell(), 625);
    EXPECT_FLOAT_EQ(dust->OuterRadius(), 250.0f);
    EXPECT_FLOAT_EQ(dust->InnerRadius(), 25.0f);
    EXPECT_FLOAT_EQ(dust->FadeZone(), 112.5f);
    EXPECT_FLOAT_EQ(dust->CellSpan(), 500.0f);
    EXPECT_EQ(dust->BaseColor(), 0xFF302020u);
    EXPECT_FLOAT_EQ(dust->DustLen(), 15.0f);
    EXPECT_FLOAT_EQ(dust->DecayConstant(), 4000.0f);
    EXPECT_FLOAT_EQ(dust->LenghDecayConstant(), 1500.0f);
    for (const DustClass::Cell& cell : dust->Cells()) {
        EXPECT_GE(cell.randomValue, 0.0f);
        EXPECT_LT(cell.randomValue, 625.0f * 60.0f);
        ASSERT_EQ(cell.offsets.size(), 625u);
        for (const Vec3& o : cell.offsets)
            for (float v : {o.x, o.y, o.z}) {
                EXPECT_GE(v, 0.0f);
                EXPECT_LT(v, 500.0f);
                EXPECT_EQ(v, std::floor(v));
            }
        EXPECT_EQ(cell.marker[0], DustClass::kUnsetMarker);
    }
}

TEST_F(DustTest, FadesInFromTheInnerRadiusAndOutTowardsTheOuterOne) {
    struct Case {
        float d, s, fade;
    } cases[] = {
        {25.0f, 0.0f, 0.0f},          // at the inner radius: nothing
        {25.0f + 112.5f, 0.0f, 1.0f}, // the middle of the shell: full alpha
        {81.25f, 0.0f, 0.5f},         // half way in
        {250.0f, 0.0f, 0.0f},         // at the outer radius: nothing again
        {137.5f, 750.0f, 0.25f},      // a streak half the decay length long: (1 - 0.5)^2
        {137.5f, 1500.0f, 0.0f},      // a streak the decay length long vanishes
    };
    for (const Case& c : cases) EXPECT_NEAR(dust->Fade(c.d, c.s), c.fade, 1e-5f) << c.d << " " << c.s;
}

TEST_F(DustTest, DrawsOnlyTheShellAroundTheEye) {
    CameraAt({1234, -777, 40});
    dust->Tick(16.0f);
    ASSERT_FALSE(dust->Vertices().empty());
    ASSERT_EQ(dust->Vertices().size() % 2, 0u);
    const auto& v = dust->Vertices();
    for (size_t i = 0; i < v.size(); i += 2) {
        const float d = MiddleDistance(v[i], v[i + 1], {1234, -777, 40});
        EXPECT_GE(d, 25.0f - 0.01f);
        EXPECT_LE(d, 250.0f + 0.01f);
    }
    // Every particle of the shell is drawn: the cells cover the whole of it.
    int inShell = 0;
    for (int c = 0; c < DustClass::kCells; ++c)
        for (int i = 0; i < dust->ParticlesPerCell(); ++i) {
            const float d = Vec3Length(Vec3Sub(dust->ParticlePosition(c, i), {1234, -777, 40}));
            if (d >= 25.0f && d <= 250.0f) ++inShell;
        }
    EXPECT_EQ(static_cast<size_t>(2 * inShell), v.size());
}

// The lines built are the ones the dust draws: its vertex buffer holds them,
// in their order, and the draw takes every one of them and no more.
TEST_F(DustTest, DrawsTheLinesItBuiltFromItsVertexBuffer) {
    CameraAt({1234, -777, 40});
    dust->Tick(16.0f);
    CameraAt({1250, -770, 44});
    dust->Tick(16.0f);
    const std::vector<VertexPosColorTex2> lines = dust->Vertices();
    ASSERT_FALSE(lines.empty());
    Dev().ClearCalls();
    dust->DoRender();
    std::string draw;
    for (const platform::GfxCall& c : Dev().Calls())
        if (c.name == "DrawPrimitive") draw = c.args;
    EXPECT_EQ(draw.substr(draw.rfind(", ") + 2), std::to_string(lines.size() / 2)) << draw;
    platform::IDirect3DVertexBuffer9* vb = nullptr;
    uint32_t offset = 0, stride = 0;
    ASSERT_EQ(Dev().GetStreamSource(0, &vb, &offset, &stride), platform::D3D_OK);
    ASSERT_NE(vb, nullptr);
    ASSERT_EQ(stride, sizeof(VertexPosColorTex2));
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), platform::D3D_OK);
    EXPECT_EQ(std::memcmp(static_cast<const char*>(data) + offset, lines.data(),
                          lines.size() * sizeof(VertexPosColorTex2)),
              0);
    vb->Unlock();
    vb->Release();
}

// Without a device (a headless run) the lines would never be drawn: the dust
// follows the camera and measures its streak, but builds none.
TEST_F(DustTest, BuildsNoLinesWithoutADevice) {
    const Ref<platform::IDirect3DDevice9> device = Device;
    Device = nullptr;
    CameraAt({0, 0, 0});
    dust->Tick(16.0f);
    CameraAt({16, 0, 0});
    dust->Tick(16.0f);
    EXPECT_TRUE(dust->Vertices().empty());
    EXPECT_FLOAT_EQ(dust->StreakLength(), 15.0f);
    Device = device;
    dust->Tick(16.0f);
    EXPECT_FALSE(dust->Vertices().empty());
}

TEST_F(DustTest, EveryParticleOfTheShellIsDrawnInItsOrderWhereverTheEyeIs) {
    // Eyes in cells, on the corners and edges between them, far out where
    // positions round coarsely, and a walk across several cells.
    std::vector<Vec3> eyes = {{0, 0, 0},
                              {250, 250, 250},
                              {-249.5f, 125, 0},
                              {499.75f, -0.25f, 1000},
                              {12345.6f, 0.1f, -999},
                              {100003, -200000, 7.25f},
                              {-3e6f, 2.5e6f, 1e6f}};
    for (int i = 0; i < 48; ++i)
        eyes.push_back({-700.0f + 37.3f * static_cast<float>(i), 300.0f - 21.7f * static_cast<float>(i),
                        13.1f * static_cast<float>(i)});
    for (const Vec3& eye : eyes) {
        SCOPED_TRACE(std::to_string(eye.x) + " " + std::to_string(eye.y) + " " + std::to_string(eye.z));
        // A long frame: no streak, each line is its particle's place twice.
        CameraAt(eye);
        dust->Tick(150.0f);
        std::vector<Vec3> shell;
        for (int c = 0; c < DustClass::kCells; ++c)
            for (int i = 0; i < dust->ParticlesPerCell(); ++i) {
                const Vec3 p = dust->ParticlePosition(c, i);
                const float d = Vec3Length(Vec3Sub(p, eye));
                if (d >= dust->InnerRadius() && d <= dust->OuterRadius()) shell.push_back(p);
            }
        const auto& v = dust->Vertices();
        ASSERT_EQ(v.size(), 2 * shell.size());
        EXPECT_FALSE(shell.empty());
        for (size_t i = 0; i < shell.size(); ++i) {
            EXPECT_EQ(v[2 * i].x, shell[i].x);
            EXPECT_EQ(v[2 * i].y, shell[i].y);
            EXPECT_EQ(v[2 * i + 1].z, shell[i].z);
        }
    }
}

TEST_F(DustTest, AParticleRightOnEitherRadiusIsDrawn) {
    // One particle a cell: the particle is all there is of its block. A wide
    // inner radius lets the eye stay in its cell at that distance.
    dust->BuildParticles(DustClass::kCells, 250.0f, 200.0f);
    CameraAt({0, 0, 0});
    dust->Tick(150.0f);
    int tried[2] = {0, 0};
    for (int c = 0; c < DustClass::kCells; ++c)
        for (int r = 0; r < 2; ++r)
            for (int axis = 0; axis < 3; ++axis) {
                const float radius = r == 0 ? dust->OuterRadius() : dust->InnerRadius();
                // The eye that far from the particle along the axis, towards the
                // middle of its cell: it stays in that cell, so the particle stays put.
                const Vec3 p = dust->ParticlePosition(c, 0);
                float eye[3] = {p.x, p.y, p.z};
                eye[axis] += eye[axis] >= 0.0f ? -radius : radius;
                if (std::max({std::fabs(eye[0]), std::fabs(eye[1]), std::fabs(eye[2])}) >= 249.0f) continue;
                SCOPED_TRACE(std::to_string(c) + " at " + std::to_string(radius) + " along " +
                             std::to_string(axis));
                CameraAt({eye[0], eye[1], eye[2]});
                dust->Tick(150.0f);
                ASSERT_EQ(dust->ParticlePosition(c, 0).x, p.x);
                const auto& v = dust->Vertices();
                bool drawn = false;
                for (size_t i = 0; i < v.size(); i += 2)
                    drawn |= v[i].x == p.x && v[i].y == p.y && v[i].z == p.z;
                EXPECT_TRUE(drawn);
                ++tried[r];
            }
    EXPECT_GT(tried[0], 0);
    EXPECT_GT(tried[1], 0);
}

TEST_F(DustTest, StreaksFollowTheCameraMotionAndVanishAtRestOrAfterALongFrame) {
    CameraAt({0, 0, 0});
    dust->Tick(16.0f);
    CameraAt({0, 0, 0});
    dust->Tick(16.0f);
    // At rest: every line has no length.
    EXPECT_FLOAT_EQ(dust->StreakLength(), 0.0f);
    for (size_t i = 0; i < dust->Vertices().size(); i += 2)
        EXPECT_FLOAT_EQ(Length(dust->Vertices()[i], dust->Vertices()[i + 1]), 0.0f);

    // 8 units in 16 ms: the streak is 8 / 16 x DustLen long either way of each speck.
    CameraAt({8, 0, 0});
    dust->Tick(16.0f);
    EXPECT_FLOAT_EQ(dust->StreakLength(), 8.0f / 16.0f * 15.0f);
    ASSERT_FALSE(dust->Vertices().empty());
    const auto& v = dust->Vertices();
    EXPECT_NEAR(Length(v[0], v[1]), 2 * 7.5f, 1e-3f);
    EXPECT_NEAR(std::fabs(v[0].x - v[1].x), 15.0f, 1e-3f); // along the motion

    // A frame of 150 ms takes the camera twice: no streak for it.
    CameraAt({300, 0, 0});
    dust->Tick(150.0f);
    EXPECT_EQ(dust->PreviousCameraPosition().x, dust->CameraPosition().x);
    EXPECT_FLOAT_EQ(dust->StreakLength(), 0.0f);
}

TEST_F(DustTest, TakesItsLookFromTheSkyMeshAndReportsAMissingOne) {
    Lua("mesh.space01 = { DustParticles = { DustLen = 30, BaseColor = 'FF102030', DecayConstant = 10,"
        " LenghDecayConstant = 600 } }");
    dust->DustLoadFromLua("space01");
    EXPECT_FLOAT_EQ(dust->DustLen(), 30.0f);
    EXPECT_EQ(dust->BaseColor(), 0xFF102030u);
    EXPECT_FLOAT_EQ(dust->DecayConstant(), 10.0f);
    EXPECT_FLOAT_EQ(dust->LenghDecayConstant(), 600.0f);
    // A table with some keys keeps the defaults of the others.
    Lua("mesh.half = { DustParticles = { DustLen = 5 } }");
    DustClass* other = TBaseRenderUnit::Create<DustClass>(engine);
    engine->AddChild(other);
    other->DustLoadFromLua("half");
    EXPECT_FLOAT_EQ(other->DustLen(), 5.0f);
    EXPECT_EQ(other->BaseColor(), 0xFF302020u);

    Lua("mesh.bare = { }");
    EXPECT_THROW(dust->DustLoadFromLua("bare"), Halted);
    EXPECT_TRUE(trapAll.HasReport(
        "DustClass.DustLoadFromLua: mesh[\"bare\"].DustParticles, DustParticles must be declared"));
    EXPECT_THROW(dust->DustLoadFromLua("nothing"), Halted);
    Lua("mesh.bad = { DustParticles = { DustLen = 'fast' } }");
    EXPECT_THROW(dust->DustLoadFromLua("bad"), Halted);
    EXPECT_NE(trapAll.lastFatal.find("DustClass.DustLoadFromLua: dust, DustLen"), std::string::npos)
        << trapAll.lastFatal;
}

TEST_F(DustTest, EndsWithTheWatchedObjectAndStaysStillWhileUpdatesAreFrozen) {
    CameraAt({0, 0, 0});
    dust->Tick(16.0f);
    const size_t drawn = dust->Vertices().size();
    const Vec3 first{dust->Vertices()[0].x, dust->Vertices()[0].y, dust->Vertices()[0].z};
    SetSwitch("vis.frozen", 1);
    ASSERT_TRUE(GameUpdatesFrozen());
    CameraAt({200, 0, 0});
    dust->Tick(16.0f);
    // The camera is followed, the specks are not rebuilt.
    EXPECT_FLOAT_EQ(dust->CameraPosition().x, 200.0f);
    ASSERT_EQ(dust->Vertices().size(), drawn);
    EXPECT_EQ(dust->Vertices()[0].x, first.x);
    SetSwitch("vis.frozen", 0);

    auto* watched = TBaseRenderUnit::Create<TBaseRenderUnit>(engine);
    engine->AddChild(watched);
    dust->Watch(watched);
    dust->SetMode(0);
    EXPECT_FALSE(dust->HasFlag(BRU_VISIBLE));
    dust->SetMode(1);
    EXPECT_TRUE(dust->HasFlag(BRU_VISIBLE));
    EXPECT_FALSE(dust->HasFlag(BRU_KILLED));
    watched->Kill();
    Step(16.0f);
    EXPECT_TRUE(dust->HasFlag(BRU_KILLED));
}

} // namespace
} // namespace vesk::test
