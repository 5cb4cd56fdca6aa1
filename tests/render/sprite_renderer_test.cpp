// The shared sprite renderers, the render operations that own them, the
// quad batch, and the physics operations of a unit, on the recording device.
#include "core/lua_machine.h"
#include "platform/gfx/null_device.h"
#include "render/component.h"
#include "render/dynamic_position.h"
#include "render/helpers.h"
#include "render/lamp.h"
#include "render/material.h"
#include "render/mesh_geometry.h"
#include "render/render_object.h"
#include "render/sprite_renderer.h"
#include "render/vertex_buffers.h"
#include "render_fixture.h"
#include "shared/math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace vesk::test {
namespace {

// A sprite client with fixed answers.
class Client : public ISpriteClient {
public:
    Client(IKWTexture* t, int32_t kind, Vec3 at) : texture(t), kind(kind), at(at) {
        matrix = MatrixTranslation(at.x, at.y, at.z);
    }
    float GetSize() const override { return 1.0f; }
    IKWTexture* GetTexture() const override { return texture; }
    Vec3 GetPosition() const override { return at; }
    uint32_t GetColour() const override { return 0xFFFFFFFF; }
    const Matrix* GetMatrix() const override { return &matrix; }
    void SetDistance(float d) override { distance = d; }
    float GetDistance() const override { return distance; }
    int32_t GetKind() const override { return kind; }
    IKWTexture* texture;
    int32_t kind;
    Vec3 at;
    Matrix matrix;
    float distance = 0;
};

// A texture that is only a key: the renderers compare and count it, and hand its device texture on.
class KeyTexture final : public IKWTexture {
public:
    uint32_t AddRef() override { return ++refs; }
    uint32_t ReleaseRef() override { return --refs; }
    std::string GetFileName() override { return {}; }
    std::string GetFullName() override { return {}; }
    std::string GetName() override { return {}; }
    uint32_t GetMipLevels() override { return 1; }
    platform::D3DSURFACE_DESC GetImageInfo() override { return {}; }
    platform::IDirect3DTexture9* GetTexture() override { return nullptr; }
    void SetTexture(platform::IDirect3DTexture9*) override {}
    void CreateFromFile(const std::string&, platform::D3DFORMAT, bool, const std::string&) override {}
    void Reload() override {}
    int Reserved() override { return 0; }
    void MarkForReload() override {}
    void SetUsage(int) override {}
    uint32_t refs = 1;
};
KeyTexture textureA, textureB;
IKWTexture* TexA() {
    return &textureA;
}
IKWTexture* TexB() {
    return &textureB;
}

class SpriteRendererTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        BuffersManager = std::make_unique<BuffersManagerClass>();
        CreateLuaMachine();
        LuaMachine->RunString(
            "materials = { checker = { id = '0', texture_technique = 60, diffuse_color = 'FFFFFF',"
            " specular_color = '0', ambient_color = '0', emissive_color = '0', power = 0 } }");
    }
    void TearDown() override {
        if (engine) {
            engine->DiscardBRU();
            engine->Free();
            engine = nullptr;
        }
        TEODestroyManager->Flush();
        FreeLuaMachine();
        BuffersManager.reset();
        RenderTest::TearDown();
    }
    RenderOpsClass* Ops() { return engine->GetRenderOps(); }
};

TEST_F(SpriteRendererTest, RenderOpsMakeTheRenderersOnceUnderTheEngine) {
    IRendererOps* dr = Ops()->GetRenderer();
    ASSERT_NE(dr, nullptr);
    EXPECT_EQ(Ops()->GetRenderer(), dr);
    EXPECT_EQ(Ops()->BurstRenderer()->GetName(), "SpritesRenderer_fx_burst");
    EXPECT_EQ(Ops()->SmokeBlendRenderer()->GetName(), "SpritesRenderer_fx_smoke_blend");
    EXPECT_EQ(Ops()->LampRenderer()->GetName(), "SpritesRenderer_fx_lamp");
    EXPECT_EQ(Ops()->SmokeAlphaRenderer()->GetName(), "SpritesRenderer_fx_smoke_alpha");
    EXPECT_EQ(Ops()->DistanceRenderer()->GetName(), "SpritesRendererDR");
    int renderers = 0;
    for (TBaseRenderUnit* c : *engine->ChildsBRU())
        if (dynamic_cast<ClientRendererBase*>(c)) ++renderers;
    EXPECT_EQ(renderers, 5);
    // They draw after the ordinary units; the smoke-alpha one after the others of its kind.
    EXPECT_GE(Ops()->BurstRenderer()->GetSortValue(), 3.01f);
    EXPECT_LT(Ops()->BurstRenderer()->GetSortValue(), 3.11f);
    EXPECT_GE(Ops()->SmokeAlphaRenderer()->GetSortValue(), 3.1f);
    EXPECT_EQ(engine->ChildsBRU()->Get(engine->ChildCount() - 1)->GetSortValue() >= 3.01f, true);
    // Their own batch, with the material of their name (the checker stands in).
    EXPECT_TRUE(Ops()->BurstRenderer()->Quads()->HasBuffers());
    EXPECT_EQ(Ops()->BurstRenderer()->Quads()->CurrentRO()->GetMaterial(0)->Material()->Name(),
              "SpritesRenderer_fx_burst");
}

TEST_F(SpriteRendererTest, AFullClientListKeepsReplacingItsLastEntry) {
    Ops()->GetRenderer();
    SpritesRendererClass* r = Ops()->BurstRenderer();
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 2005; ++i) {
        clients.push_back(std::make_unique<Client>(TexA(), 1, Vec3{10, 0, 0}));
        r->AddClient(clients.back().get());
    }
    EXPECT_EQ(r->ClientCount(), 2001);
    EXPECT_EQ(r->Client(2000), clients.back().get());
    EXPECT_EQ(r->Client(1999), clients[1999].get());
    r->ClearClients();
    EXPECT_EQ(r->ClientCount(), 0);
    EXPECT_EQ(r->Client(0), nullptr);
}

TEST_F(SpriteRendererTest, ClientsAreBatchedByTexture) {
    Ops()->GetRenderer();
    SpritesRendererClass* r = Ops()->BurstRenderer();
    Client a1(TexA(), 1, {10, 0, 0}), b1(TexB(), 1, {10, 1, 0}), a2(TexA(), 1, {10, 2, 0}),
        b2(TexB(), 1, {10, 3, 0});
    for (Client* c : {&a1, &b1, &a2, &b2}) r->AddClient(c);
    Dev().ClearCalls();
    r->ClearBatchLog();
    r->Render();
    EXPECT_EQ(r->BatchesDrawn(), 2);
    EXPECT_EQ(Dev().CountCalls("DrawIndexedPrimitive"), 2u);
    // Each run drew its two quads (four triangles) and one texture change in between.
    for (const std::string& call : Dev().Find("DrawIndexedPrimitive"))
        EXPECT_NE(call.find(", 4)"), std::string::npos) << call;
}

TEST_F(SpriteRendererTest, QuadsAreCameraSizedSquaresThroughTheClientMatrix) {
    QuadsRendererClass* q = QuadsRendererClass::Create(Device.Get(), "checker", 4);
    q->CreateBuffers(Device.Get());
    q->NextBatch();
    q->AddQuad(0xFF00FF00, MatrixTranslation(5, 6, 7), 2.0f);
    ASSERT_EQ(q->QuadCount(), 1u);
    const QuadVertex* v = q->BatchVertices();
    EXPECT_FLOAT_EQ(v[0].x, 4.0f);
    EXPECT_FLOAT_EQ(v[0].y, 7.0f);
    EXPECT_FLOAT_EQ(v[2].x, 6.0f);
    EXPECT_FLOAT_EQ(v[2].y, 5.0f);
    EXPECT_FLOAT_EQ(v[1].z, 7.0f);
    EXPECT_EQ(v[3].colour, 0xFF00FF00u);
    EXPECT_FLOAT_EQ(v[2].u, 1.0f);
    // A full batch drops further quads.
    for (int i = 0; i < 6; ++i) q->AddQuad(0, Matrix{}, 1.0f);
    EXPECT_EQ(q->QuadCount(), 4u);
    q->Free();
}

// A run of quads of given corners written straight into the vertices comes
// out as the same quads staged one by one and then drawn: the same vertices,
// quads without corners passed over, the run cut where the batch is full,
// and a run that gives no quad drawn not at all.
TEST_F(SpriteRendererTest, CornerRunsGoInAsStagedQuadsDo) {
    struct Quad {
        Vec3 corners[4];
        uint32_t colour;
        bool drawn;
    };
    std::vector<Quad> quads;
    for (int i = 0; i < 6; ++i) {
        const float f = static_cast<float>(i);
        quads.push_back(
            {{{f, 1, 2}, {f + 1, 1, 2}, {f + 1, -1, 3}, {f, -1, 3}}, 0xFF000000u + uint32_t(i), i != 2});
    }
    const QuadsRendererClass::CornerQuad take = [](const void* run, uint32_t i, Vec3(&corners)[4],
                                                   uint32_t& colour) {
        const Quad& q = static_cast<const Quad*>(run)[i];
        if (!q.drawn) return false;
        std::copy(std::begin(q.corners), std::end(q.corners), corners);
        colour = q.colour;
        return true;
    };
    const auto vertices = [](QuadsRendererClass* q) {
        std::vector<QuadVertex> out(4 * q->QuadCount());
        void* data = nullptr;
        IVertexBuffer* vb = q->CurrentRO()->GetVB();
        EXPECT_TRUE(platform::Succeeded(vb->Lock(&data, 0, 4 * q->QuadCount(), 0)) && data);
        if (data) std::memcpy(out.data(), data, sizeof(QuadVertex) * out.size());
        vb->Unlock();
        return out;
    };
    QuadsRendererClass* staged = QuadsRendererClass::Create(Device.Get(), "checker", 4);
    QuadsRendererClass* direct = QuadsRendererClass::Create(Device.Get(), "checker", 4);
    staged->CreateBuffers(Device.Get());
    direct->CreateBuffers(Device.Get());
    staged->NextBatch();
    uint32_t i = 0;
    for (; i < quads.size() && !staged->BatchFull(); ++i)
        if (quads[i].drawn) staged->AddQuadCorners(quads[i].colour, quads[i].corners);
    Dev().ClearCalls();
    staged->Render();
    ASSERT_EQ(Dev().CountCalls("DrawIndexedPrimitive"), 1u);
    const std::string stagedDraw = Dev().Find("DrawIndexedPrimitive")[0];
    direct->NextBatch();
    Dev().ClearCalls();
    EXPECT_EQ(direct->RenderCorners(uint32_t(quads.size()), take, quads.data()), i);
    EXPECT_EQ(i, 5u);
    // One draw of as many triangles from as many vertices (its place in the shared buffers aside).
    ASSERT_EQ(Dev().CountCalls("DrawIndexedPrimitive"), 1u);
    const std::string directDraw = Dev().Find("DrawIndexedPrimitive")[0];
    EXPECT_EQ(directDraw.substr(0, directDraw.find(", 16, ") + 6),
              stagedDraw.substr(0, stagedDraw.find(", 16, ") + 6));
    EXPECT_EQ(directDraw.substr(directDraw.rfind(", ")), stagedDraw.substr(stagedDraw.rfind(", ")));
    ASSERT_EQ(direct->QuadCount(), 4u);
    const std::vector<QuadVertex> a = vertices(staged), b = vertices(direct);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(std::memcmp(a.data(), b.data(), sizeof(QuadVertex) * a.size()), 0);
    EXPECT_FLOAT_EQ(b[4].x, 1.0f);
    EXPECT_EQ(b[8].colour, 0xFF000003u);
    EXPECT_FLOAT_EQ(b[6].u, 1.0f);
    // Nothing to draw: no lock, no draw.
    direct->NextBatch();
    Dev().ClearCalls();
    EXPECT_EQ(direct->RenderCorners(1, take, &quads[2]), 1u);
    EXPECT_EQ(Dev().CountCalls("DrawIndexedPrimitive"), 0u);
    EXPECT_EQ(direct->QuadCount(), 0u);
    staged->Free();
    direct->Free();
}

// A client of its own size, colour and matrix.
class ShapedClient : public Client {
public:
    ShapedClient(float size, uint32_t colour, const Matrix& m)
        : Client(TexA(), 1, {}), size(size), colour(colour) {
        matrix = m;
    }
    float GetSize() const override { return size; }
    uint32_t GetColour() const override { return colour; }
    float size;
    uint32_t colour;
};

TEST_F(SpriteRendererTest, BatchedSpritesReachTheVertexBufferAsTransformedUnitQuads) {
    Ops()->GetRenderer();
    SpritesRendererClass* r = Ops()->BurstRenderer();
    // One texture, more clients than a batch holds; turned, scaled, mirrored
    // and plain matrices, and zero terms whose signs must survive.
    std::vector<std::unique_ptr<ShapedClient>> clients;
    for (int i = 0; i < SpritesRendererClass::kMaxClients; ++i) {
        Matrix m = MatrixProduct(MatrixRotationYawPitchRoll(0.37f * float(i), 0.11f * float(i % 7), 1.3f),
                                 MatrixScaling(1.0f + float(i % 5), i % 3 == 0 ? -1.0f : 0.5f, 2.0f));
        if (i % 4 == 1) m = Matrix{};
        if (i % 4 == 2) m.m[0][0] = m.m[1][0] = m.m[2][0] = 0.0f, m.m[3][0] = -0.0f;
        m.m[3][1] = float(i) * 3.5f - 40.0f;
        clients.push_back(std::make_unique<ShapedClient>(0.25f + float(i % 9), 0xFF000000u + uint32_t(i), m));
        r->AddClient(clients.back().get());
    }
    Dev().ClearCalls();
    r->Render();
    QuadsRendererClass* quads = r->Quads();
    const uint32_t drawn = quads->QuadCount();
    ASSERT_EQ(drawn, quads->MaxQuads()); // the client past the batch is dropped
    const std::vector<std::string> draws = Dev().Find("DrawIndexedPrimitive");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_NE(draws[0].find(", " + std::to_string(2 * drawn) + ")"), std::string::npos) << draws[0];
    IVertexBuffer* vb = quads->CurrentRO()->GetVB();
    const std::vector<uint8_t>& bytes = platform::NullDevice::BufferBytes(vb->GetD3DBuffer());
    ASSERT_GE(bytes.size(), (size_t(vb->GetStart()) + 4 * drawn) * sizeof(QuadVertex));
    const auto* v = reinterpret_cast<const QuadVertex*>(bytes.data()) + vb->GetStart();
    const float corner[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (uint32_t q = 0; q < drawn; ++q) {
        const ShapedClient& c = *clients[q];
        const float h = c.size * 2.0f * 0.5f;
        for (int k = 0; k < 4; ++k) {
            const Vec3 want = Vec3TransformPoint({corner[k][0] * h, corner[k][1] * h, 0}, c.matrix);
            const QuadVertex& got = v[4 * q + uint32_t(k)];
            const QuadVertex expect{want.x, want.y, want.z, c.colour, uv[k][0], uv[k][1]};
            ASSERT_EQ(std::memcmp(&got, &expect, sizeof got), 0) << "quad " << q << " corner " << k;
        }
    }
}

TEST_F(SpriteRendererTest, DistanceRendererDrawsRunsFarToNearThroughEachKindsRenderer) {
    auto* dr = static_cast<SpritesRendererDRClass*>(Ops()->GetRenderer());
    // The camera stands at the origin: distance is the length of the position.
    Client nearBurst(TexA(), 1, {10, 0, 0}), midSmoke(TexA(), 3, {20, 0, 0}), farBurst(TexA(), 1, {30, 0, 0});
    for (Client* c : {&nearBurst, &midSmoke, &farBurst}) dr->AddClient(c);
    EXPECT_FLOAT_EQ(farBurst.GetDistance(), 30.0f);
    dr->Render();
    const std::vector<SpritesRendererClass*> expect{Ops()->BurstRenderer(), Ops()->SmokeBlendRenderer(),
                                                    Ops()->BurstRenderer()};
    EXPECT_EQ(dr->LastRuns(), expect);
    // Kinds other than 3, 4 and 5 go to the burst renderer.
    for (int32_t kind : {2, 7, 0, -1}) EXPECT_EQ(dr->RendererFor(kind), Ops()->BurstRenderer()) << kind;
    EXPECT_EQ(dr->RendererFor(4), Ops()->SmokeAlphaRenderer());
    EXPECT_EQ(dr->RendererFor(5), Ops()->LampRenderer());
}

TEST_F(SpriteRendererTest, AFramesManySpritesAreOrderedFarToNearAndTiesKeepTheirArrival) {
    auto* dr = static_cast<SpritesRendererDRClass*>(Ops()->GetRenderer());
    // Distances from under one unit to far out, with every tenth pair at one
    // distance: enough clients for the bulk ordering, spread over all its digits.
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 500; ++i) {
        const float d =
            (i % 10 == 1) ? float((i - 1) * 37 % 500) * 0.73f + 0.25f : float(i * 37 % 500) * 0.73f + 0.25f;
        clients.push_back(std::make_unique<Client>(TexA(), i % 3 == 0 ? 3 : 1, Vec3{d * d * 0.4f, 0, 0}));
        dr->AddClient(clients.back().get());
    }
    dr->Render();
    ASSERT_EQ(dr->ClientCount(), 500);
    std::vector<ISpriteClient*> expect;
    for (auto& c : clients) expect.push_back(c.get());
    std::stable_sort(expect.begin(), expect.end(),
                     [](ISpriteClient* a, ISpriteClient* b) { return a->GetDistance() > b->GetDistance(); });
    for (int i = 0; i < 500; ++i) ASSERT_EQ(dr->Client(i), expect[size_t(i)]) << i;
}

TEST_F(SpriteRendererTest, FarToNearOrderHoldsForCrowdsTiesAndSpreads) {
    auto* dr = static_cast<SpritesRendererDRClass*>(Ops()->GetRenderer());
    // Distances of the i-th of n clients: crowds packed into a sliver of the
    // frame's span, one distance for all, and a wide spread with ties.
    struct Case {
        const char* name;
        int n;
        float (*distance)(int i);
    };
    const Case cases[] = {
        {"crowd near one far sprite", 300,
         [](int i) { return i == 7 ? 5000.0f : 400.0f + float(i * 53 % 300) * 0.001f; }},
        {"two crowds and ties", 400,
         [](int i) { return (i % 2 ? 30.0f : 900.0f) + float(i * 7 % 50) * 0.01f; }},
        {"one distance", 100, [](int) { return 12.5f; }},
        {"spread with zeros", 2000, [](int i) { return i % 11 == 0 ? 0.0f : float(i * 389 % 2000) * 1.7f; }},
        // Within one power of two the distances differ only in their low bits:
        // a handful of them (one digit's worth) and a few thousand (two digits).
        {"a few steps in one octave", 300, [](int i) { return 1000.0f + float(i * 7 % 13) * 0.0078125f; }},
        {"a sliver of one octave", 1500, [](int i) { return 700.0f + float(i * 389 % 1500) * 0.011f; }},
    };
    for (const Case& c : cases) {
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < c.n; ++i) {
            clients.push_back(std::make_unique<Client>(TexA(), 1, Vec3{c.distance(i), 0, 0}));
            dr->AddClient(clients.back().get());
        }
        dr->Render();
        std::vector<ISpriteClient*> expect;
        for (auto& client : clients) expect.push_back(client.get());
        std::stable_sort(expect.begin(), expect.end(), [](ISpriteClient* a, ISpriteClient* b) {
            return a->GetDistance() > b->GetDistance();
        });
        for (int i = 0; i < c.n; ++i) ASSERT_EQ(dr->Client(i), expect[size_t(i)]) << c.name << " at " << i;
        dr->ClearClients();
    }
}

TEST_F(SpriteRendererTest, TextureGroupsKeepTheirClientsInOrder) {
    Ops()->GetRenderer();
    SpritesRendererClass* r = Ops()->BurstRenderer();
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 9; ++i) {
        clients.push_back(std::make_unique<Client>(i % 3 ? TexA() : TexB(), 1, Vec3{10, float(i), 0}));
        r->AddClient(clients.back().get());
    }
    r->ClearBatchLog();
    r->Render();
    EXPECT_EQ(r->BatchesDrawn(), 2);
    // Each texture's clients side by side, in the order they came (far to near).
    std::vector<float> ys;
    for (int i = 0; i < 9; ++i) ys.push_back(r->Client(i)->GetPosition().y);
    const bool aFirst = std::less<const IKWTexture*>()(TexA(), TexB());
    const std::vector<float> a{1, 2, 4, 5, 7, 8}, b{0, 3, 6};
    std::vector<float> expect = aFirst ? a : b;
    expect.insert(expect.end(), (aFirst ? b : a).begin(), (aFirst ? b : a).end());
    EXPECT_EQ(ys, expect);
}

TEST_F(SpriteRendererTest, MisuseIsFatalWithTheRenderersTexts) {
    RecUnit* other = Unit(env, "other");
    Ops()->GetRenderer();
    QuadsRendererClass* quads = QuadsRendererClass::Create(nullptr, "q", 1);
    struct Case {
        std::function<void()> call;
        std::string text;
    };
    const std::vector<Case> cases = {
        {[&] { SpritesRendererClass::Create(other, "x"); },
         "SpritesRendererClass.Init: _PParent.ClassType<>TEngineClass"},
        {[&] { SpritesRendererDRClass::Create(other, {}); },
         "SpritesRendererDRClass.Init: _PParent.ClassType<>TEngineClass"},
        {[&] { Ops()->BurstRenderer()->Init(engine); }, "SpritesRendererClass.Init: use other constructor"},
        {[&] { Ops()->DistanceRenderer()->Init(engine); },
         "SpritesRendererDRClass.Init: use other constructor"},
        {[&] { Ops()->BurstRenderer()->CreateCopy(engine); }, "SpritesRendererClass.CreateCopy: forbidden"},
        {[&] { Ops()->DistanceRenderer()->CreateCopy(engine); },
         "SpritesRendererDRClass.CreateCopy: forbidden"},
        {[&] { Ops()->BurstRenderer()->AddClient(nullptr); },
         "SpritesRendererClass.AddClient: _client = nil"},
        {[&] { Ops()->GetRenderer()->AddClient(nullptr); },
         "SpritesRendererDRClass.AddClient: _client = nil"},
        {[&] { quads->CreateBuffers(nullptr); }, "QuadsRendererClass.CreateBuffers: d3dd = nil"},
        {[&] { quads->AddQuad(0, Matrix{}, 1); }, "QuadsRendererClass.CheckRO: ro = nil, CreateBufferFirst"},
    };
    for (const Case& c : cases) {
        EXPECT_THROW(c.call(), Halted) << c.text;
        EXPECT_EQ(trapAll.lastFatal, c.text);
    }
    quads->Free();
}

TEST_F(SpriteRendererTest, RenderOpsClearEveryRendererAfterTheFrame) {
    auto* dr = static_cast<SpritesRendererDRClass*>(Ops()->GetRenderer());
    Client c(TexA(), 1, {10, 0, 0});
    dr->AddClient(&c);
    Ops()->BurstRenderer()->AddClient(&c);
    Frame();
    EXPECT_EQ(dr->ClientCount(), 0);
    EXPECT_EQ(Ops()->BurstRenderer()->ClientCount(), 0);
    // A copy of the component has no renderers of its own.
    RecUnit* u = Unit(env, "u");
    RenderOpsClass* copy = Ops()->CreateCopy(u);
    EXPECT_EQ(copy->DistanceRenderer(), nullptr);
    copy->Free();
}

// ---- position links ----------------------------------------------------------------------------

TEST_F(SpriteRendererTest, APositionLinkKeepsTheLastPoseOfAVanishedHelper) {
    RecUnit* ship = Unit(env, "ship");
    ship->SetPosition({100, 0, 0});
    ship->AddHelper("nozzle", {0, 5, 0});
    engine->UpdateMatrices(nullptr);
    RecUnit* carrier = Unit(env, "carrier");
    DynamicPositionClass* link = DynamicPositionClass::Init(carrier, "nozzle", ship);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->GetObject(), ship);
    Vec3 p = link->GetPos();
    EXPECT_FLOAT_EQ(p.x, 100.0f);
    EXPECT_FLOAT_EQ(p.y, 5.0f);
    EXPECT_FLOAT_EQ(link->GetVelocity().x, 0.0f);
    EXPECT_FLOAT_EQ(link->GetDirection().x, 1.0f);
    // The ship goes (killed, cleaned up, freed): the link answers its last pose and no unit.
    ship->Kill();
    Frame();
    p = link->GetPos();
    EXPECT_FLOAT_EQ(p.x, 100.0f);
    EXPECT_FLOAT_EQ(p.y, 5.0f);
    EXPECT_EQ(link->GetObject(), nullptr);
    // The carrier goes: the link goes with it (at the next flush).
    const int32_t id = link->GetId();
    carrier->Free();
    TEODestroyManager->Flush();
    EXPECT_EQ(FindEngineObjectById(id), nullptr);
}

TEST_F(SpriteRendererTest, PositionLinkMisuseIsFatal) {
    RecUnit* ship = Unit(env, "ship");
    EXPECT_THROW(DynamicPositionClass::Init(ship, "nozzle", nullptr), Halted);
    EXPECT_EQ(trapAll.lastFatal, "DynamicPositionClass.Init: bru=nil)");
    EXPECT_THROW(DynamicPositionClass::Init(ship, "nozzle", ship), Halted);
    EXPECT_EQ(trapAll.lastFatal, "DynamicPositionClass.Init: not [ship].GetHelper(\"nozzle\",pHelper)");
}

// ---- cylinders -------------------------------------------------------------------------------

TEST_F(SpriteRendererTest, ACylinderDrawsTheLevelItsDistanceCallsFor) {
    RegisterLampClasses();
    auto* ring = TBaseRenderUnit::Create<TCylinder>(env);
    env->AddChild(ring);
    EXPECT_EQ(ring->GetName(), "Cylinder");
    auto level = [](const char* name) {
        auto* ro = TEngineObject::New<TRenderObject>();
        ro->SetName(name);
        ro->Create(platform::D3DPOOL_MANAGED, 0, 0, RO_QUADS, 1, 0);
        return ro;
    };
    TRenderObject* fine = level("fine");
    TRenderObject* coarse = level("coarse");
    // The value asked is radius / (distance + 1) x 100: large near the camera.
    ring->Levels()->AddLevel("coarse", coarse, 10.0f);
    ring->Levels()->AddLevel("fine", fine, 1.0e9f);
    ring->SetFlag(BRU_OPAQUE);
    auto drawnFrom = [&](Vec3 at) {
        ring->SetPosition(at);
        Dev().ClearCalls();
        Frame();
        const auto draws = Dev().Find("DrawPrimitive");
        return draws.size() == 1 ? draws[0] : std::string("draws: ") + std::to_string(draws.size());
    };
    const std::string nearDraw = drawnFrom({3, 0, 0});
    const std::string farDraw = drawnFrom({5000, 0, 0});
    EXPECT_EQ(nearDraw.rfind("DrawPrimitive", 0), 0u) << nearDraw;
    EXPECT_EQ(farDraw.rfind("DrawPrimitive", 0), 0u) << farDraw;
    EXPECT_NE(nearDraw, farDraw); // each level has its own vertices
    ring->Kill();
    Frame();
    fine->Free();
    coarse->Free();
}

// ---- physics operations ------------------------------------------------------------------------

TEST_F(SpriteRendererTest, PhysicOperationsAnswerForTheirUnit) {
    RecUnit* ship = Unit(env, "ship");
    ship->SetBox({-1, -2, -3}, {1, 2, 3});
    Matrix m = MatrixScaling(2, 2, 2);
    MatrixSetTranslation(m, {50, 0, 0});
    ship->SetLocalMatrix(m);
    engine->UpdateMatrices(nullptr);
    Frame();
    PhysicOpsClass* ops = ship->GetPhysicOps();
    EXPECT_EQ(ops->GetBRU(), ship);
    EXPECT_EQ(ops->GetMeshGeometry()->GetName(), ship->GetInfoStr());
    Matrix box;
    Vec3 size;
    EXPECT_TRUE(ops->GetBBInfo(box, size));
    EXPECT_FLOAT_EQ(box.m[0][0], 1.0f); // the scale is taken out
    EXPECT_FLOAT_EQ(box.m[3][0], 50.0f);
    EXPECT_FLOAT_EQ(size.y, 4.0f);
    Vec3 pos;
    ops->GetPosition(pos);
    EXPECT_FLOAT_EQ(pos.x, 50.0f);
    // The collision mesh comes out in the world.
    const Vec3 tri[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    ops->GetMeshGeometry()->SetVertexData(tri, tri, 3, tri, tri);
    ops->GetMeshGeometry()->SetIndices({0, 1, 2});
    const std::vector<Vec3>* positions = nullptr;
    const std::vector<uint32_t>* indices = nullptr;
    uint32_t count = 0;
    ASSERT_TRUE(ops->GetMeshTriangles(positions, indices, count));
    EXPECT_EQ(count, 3u);
    EXPECT_FLOAT_EQ((*positions)[1].x, 52.0f);
    // The other units of the scene: none without ship operations; a nil list is fatal.
    std::vector<TBaseRenderUnit*> list{ship};
    EXPECT_EQ(ops->GetBRUList(&list), 0);
    EXPECT_THROW(ops->GetBRUList(nullptr), Halted);
    EXPECT_EQ(trapAll.lastFatal, "PhysicOpsClass.GetBRUList: _BRUList");
    EXPECT_THROW(ops->GetBRUListWithSpecFlag(), Halted);
    EXPECT_EQ(trapAll.lastFatal, "PhysicOpsClass.GetBRUListWithSpecFlag: XEP");
}

} // namespace
} // namespace vesk::test
