#include <gtest/gtest.h>

#include "core/lua_machine.h"
#include "render/device.h"
#include "render/render_object.h"
#include "render/render_unit.h"
#include "render/ro_builders.h"
#include "render/shader.h"
#include "shared/math.h"
#include "texture_fixture.h"

#include <cstring>
#include <functional>

using namespace vesk;
using namespace vesk::platform;
using namespace vesk::test;

namespace {

const char* kMaterials = R"(
function length(t) if t == nil then return 0 end local n = 0 for _ in pairs(t) do n = n + 1 end return n end
materials = {}
materials["checker"] = { id = "1", texture_technique = 30, diffuse_color = "FFFFFF", specular_color = "0",
  ambient_color = "0", emissive_color = "0", power = 1 }
materials["hull"] = { id = "2", texture_technique = 30, diffuse_color = "FF0000", specular_color = "0",
  ambient_color = "0", emissive_color = "0", power = 12.5 }
)";

class RenderObjects : public TextureFixture {
protected:
    void SetUp() override {
        TextureFixture::SetUp();
        CreateLuaMachine();
        LuaMachine->RunString(kMaterials);
        BuffersManager = std::make_unique<BuffersManagerClass>();
        dev = scope.device();
        keep = Ref<IDirect3DDevice9>::Share(dev);
    }
    void TearDown() override {
        for (TRenderObject* ro : made) ro->Free();
        BuffersManager.reset();
        FreeLuaMachine();
        TextureFixture::TearDown();
    }
    TRenderObject* Make(uint64_t flags, uint64_t count, uint64_t apply = 0, uint64_t restore = 0) {
        auto* ro = TEngineObject::New<TRenderObject>();
        made.push_back(ro);
        ro->Create(D3DPOOL_MANAGED, apply, restore, flags, count, 0);
        return ro;
    }
    TRenderObject* Keep(TRenderObject* ro) {
        made.push_back(ro);
        return ro;
    }
    // The recorded calls of the given names, as text.
    std::vector<std::string> Calls(std::initializer_list<const char*> names) const {
        std::vector<std::string> out;
        for (const GfxCall& c : dev->Calls())
            for (const char* n : names)
                if (c.name == n) out.push_back(c.Text());
        return out;
    }
    template <class V> std::vector<V> Vertices(TRenderObject& ro) {
        void* data = nullptr;
        const uint32_t n = ro.GetVB()->GetCount();
        EXPECT_GE(ro.LockVB(&data, 0, n, D3DLOCK_READONLY), 0);
        std::vector<V> out(n);
        std::memcpy(out.data(), data, n * sizeof(V));
        ro.UnlockVB();
        return out;
    }
    NullDevice* dev = nullptr;
    Ref<IDirect3DDevice9> keep;
    std::vector<TRenderObject*> made;
};

TEST_F(RenderObjects, QuadsPrepareOneMaterialAndOneChunk) {
    TRenderObject* ro = Make(RO_QUADS, 10);
    ASSERT_EQ(ro->MaterialCount(), 1u);
    EXPECT_EQ(ro->GetMaterial(0)->GetPrimCount(), 20u);
    ASSERT_NE(ro->GetVB(), nullptr);
    EXPECT_EQ(ro->GetVB()->GetCount(), 60u);
    EXPECT_EQ(ro->GetVB()->GetStride(), 32u);
    EXPECT_EQ(ro->PrimitiveType(), D3DPT_TRIANGLELIST);
    EXPECT_EQ(ro->ByteTotal(), 60u * 32u);
    EXPECT_EQ(ro->GetMaterial(1), nullptr);
}

TEST_F(RenderObjects, EachGeometryFlagPreparesItsTable) {
    struct Case {
        uint64_t flags;
        D3DPRIMITIVETYPE type;
        uint32_t vertices, fvf, prims;
    };
    const Case cases[] = {
        {RO_QUADS | RO_POINTS, D3DPT_TRIANGLELIST, 24, FVF_PosColorTex2, 8}, // the first flag wins
        {RO_QUAD, D3DPT_TRIANGLELIST, 6, FVF_PosColorTex2, 2},
        {RO_TLQUADS, D3DPT_TRIANGLELIST, 24, FVF_TLVertex, 0},
        {RO_TLSCREENQUAD, D3DPT_TRIANGLESTRIP, 4, FVF_TLVertex, 2},
        {RO_POINTS, D3DPT_POINTLIST, 4, FVF_PosColorTex2, 4},
        {RO_TLPOINTS, D3DPT_POINTLIST, 4, FVF_TLColorTex, 4},
        {RO_LINES, D3DPT_LINELIST, 8, FVF_PosColorTex2, 4},
        {RO_TLLINES, D3DPT_LINELIST, 8, FVF_TLVertex, 4},
        {RO_TLLINESTRIP, D3DPT_LINESTRIP, 8, FVF_TLVertex, 4},
        {RO_LINESTRIP, D3DPT_LINESTRIP, 8, FVF_PosColorTex2, 4},
        {RO_TLSTRIP, D3DPT_TRIANGLESTRIP, 4, FVF_TLVertex, 4},
        {RO_TLFAN, D3DPT_TRIANGLEFAN, 4, FVF_TLVertex, 4},
        {RO_INDEXEDQUADS, D3DPT_TRIANGLELIST, 16, FVF_PosColorTex, 8},
        {RO_POINTSPRITES, D3DPT_POINTLIST, 4, FVF_PosSizeColor, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        TRenderObject* ro = Make(c.flags, 4);
        ASSERT_EQ(ro->MaterialCount(), 1u);
        EXPECT_EQ(ro->PrimitiveType(), c.type);
        ASSERT_NE(ro->GetVB(), nullptr);
        EXPECT_EQ(ro->GetVB()->GetCount(), c.vertices);
        EXPECT_EQ(ro->GetVB()->GetFVF(), c.fvf);
        EXPECT_EQ(ro->GetMaterial(0)->GetPrimCount(), c.prims);
        EXPECT_EQ(ro->GetMaterial(0)->GetIB() != nullptr, c.flags == RO_INDEXEDQUADS);
    }
}

TEST_F(RenderObjects, PointSpritesPutTheirStatesIntoTheSet) {
    TRenderObject* ro = Make(RO_POINTSPRITES, 3);
    std::vector<std::pair<uint32_t, uint32_t>> apply, restore;
    for (const auto& r : *ro->RenderStates()->ApplyList()) apply.push_back({r.state, r.value});
    for (const auto& r : *ro->RenderStates()->RestoreList()) restore.push_back({r.state, r.value});
    const std::vector<std::pair<uint32_t, uint32_t>> wantApply = {
        {156, 0xFFFFFFFFu}, {157, 0xFFFFFFFFu}, {158, 0}, {159, 0}, {160, 0x3F800000u}};
    EXPECT_EQ(apply, wantApply);
    EXPECT_EQ(restore, (std::vector<std::pair<uint32_t, uint32_t>>{{156, 0}, {157, 0}}));
}

TEST_F(RenderObjects, FlagsWithoutGeometryGiveOneEmptyMaterialAndDrawNothing) {
    TRenderObject* ro = Make(0x1, 5); // a flag of no geometry
    EXPECT_EQ(ro->MaterialCount(), 1u);
    EXPECT_EQ(ro->GetVB(), nullptr);
    dev->ClearCalls();
    ro->Render();
    EXPECT_TRUE(Calls({"DrawPrimitive", "DrawIndexedPrimitive"}).empty());

    TRenderObject* none = Make(0, 5);
    EXPECT_EQ(none->MaterialCount(), 0u);
}

TEST_F(RenderObjects, HiddenObjectTouchesNothing) {
    TRenderObject* ro = Make(RO_QUADS, 2, 0x10015);
    ro->SetFlag(RO_HIDDEN);
    dev->ClearCalls();
    ro->Render();
    EXPECT_TRUE(dev->Calls().empty());
}

TEST_F(RenderObjects, RenderDrawsEachMaterialFromTheChunk) {
    TRenderObject* first = Make(RO_QUADS, 1); // takes the start of the shared buffer
    TRenderObject* ro = Make(RO_QUADS, 10);
    (void)first;
    ro->GetMaterial(0)->SetTechnique(30);
    dev->ClearCalls();
    ro->Render();
    const uint32_t start = ro->GetVB()->GetStart();
    EXPECT_EQ(start, 6u);
    EXPECT_EQ(Calls({"DrawPrimitive"}), (std::vector<std::string>{"DrawPrimitive(4, 6, 20)"}));
    EXPECT_EQ(Calls({"SetFVF"}), (std::vector<std::string>{"SetFVF(578)"}));
    ASSERT_EQ(Calls({"SetStreamSource"}).size(), 1u);
    // The fixed-function path drops any vertex shader first.
    EXPECT_EQ(Calls({"SetVertexShader"}), (std::vector<std::string>{"SetVertexShader(null)"}));
}

// A unit that finds a blended material on its render object makes the object
// draw without writing depth; an opaque one keeps depth writes.
TEST_F(RenderObjects, BlendedObjectDrawsWithoutWritingDepth) {
    TRenderObject* glass = Make(RO_QUADS, 1);
    TRenderObject* hull = Make(RO_QUADS, 1);
    glass->GetMaterial(0)->SetTechnique(60);
    hull->GetMaterial(0)->SetTechnique(30);
    auto* unit = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    unit->SetPassFlagsFromMaterials(*glass);
    EXPECT_TRUE(unit->HasFlag(BRU_BLENDED));
    unit->SetPassFlagsFromMaterials(*hull);
    EXPECT_TRUE(unit->HasFlag(BRU_OPAQUE));
    unit->Free();
    const std::string off = "SetRenderState(" + std::to_string(D3DRS_ZWRITEENABLE) + ", 0)";
    const std::string on = "SetRenderState(" + std::to_string(D3DRS_ZWRITEENABLE) + ", 1)";
    dev->ClearCalls();
    glass->Render();
    std::vector<std::string> seen;
    for (const std::string& c : Calls({"SetRenderState", "DrawPrimitive"}))
        if (c == off || c == on || c.rfind("DrawPrimitive", 0) == 0) seen.push_back(c);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], off);
    EXPECT_EQ(seen[1].rfind("DrawPrimitive", 0), 0u);
    EXPECT_EQ(seen[2], on);
    dev->ClearCalls();
    hull->Render();
    for (const std::string& c : Calls({"SetRenderState"})) EXPECT_NE(c, off);
}

TEST_F(RenderObjects, IndexedQuadsDrawThroughTheirIndexChunk) {
    TRenderObject* ro = Make(RO_INDEXEDQUADS, 2);
    ROMaterialClass* m = ro->GetMaterial(0);
    void* data = nullptr;
    ASSERT_GE(m->LockIB(12, &data), 0);
    const uint16_t idx[12] = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
    std::memcpy(data, idx, sizeof idx);
    m->UnlockIB();
    m->GetIB()->UpdateMinMax();
    dev->ClearCalls();
    ro->Render();
    EXPECT_EQ(Calls({"DrawIndexedPrimitive"}),
              (std::vector<std::string>{"DrawIndexedPrimitive(4, 0, 0, 8, 0, 4)"}));
    EXPECT_EQ(dev->CountCalls("SetIndices"), 1u);
}

TEST_F(RenderObjects, StripsAndFansDrawTwoFewerTrianglesThanVertices) {
    TRenderObject* strip = Make(RO_TLSTRIP, 5);
    TRenderObject* fan = Make(RO_TLFAN, 1);
    dev->ClearCalls();
    strip->Render();
    fan->Render(); // one vertex: nothing to draw
    EXPECT_EQ(Calls({"DrawPrimitive"}), (std::vector<std::string>{"DrawPrimitive(5, 0, 3)"}));
}

TEST_F(RenderObjects, VertexDeclarationCopiesUpToTheEndMarker) {
    TRenderObject* ro = Make(RO_QUADS, 1);
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                          {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                                          D3DDECL_END,
                                          {0, 99, D3DDECLTYPE_FLOAT4, 0, 0, 0}};
    dev->ClearCalls();
    ro->CreateVertexDeclaration(elements);
    ro->CreateVertexDeclaration(elements); // a later call replaces the data only
    EXPECT_EQ(dev->CountCalls("CreateVertexDeclaration"), 1u);
}

TEST_F(RenderObjects, ShaderPathFaultsAreFatalWithTheirTexts) {
    TRenderObject* ro = Make(RO_QUADS, 1);
    ro->SetFlag(RO_VERTEXSHADER);
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                          D3DDECL_END};
    ro->CreateVertexDeclaration(elements);
    ro->SetVertexShaderFile("missing.vsh");
    EXPECT_THROW(ro->Render(), Halted);
    EXPECT_EQ(trap.lastFatal, NativePath(DataPath + "shaders/missing.vsh") + " not found");

    EXPECT_THROW(Make(0, 0)->CreateVertexDeclaration(nullptr), Halted);
    EXPECT_EQ(trap.lastFatal, "PVertexDeclarationData=nil");
}

// A morpher that hands out one stream record as it is.
struct Morpher : IRenderObjectMorpher {
    MorphStreamData data;
    bool GetVertexData(int, MorphStreamData*& out) override {
        out = &data;
        return true;
    }
    void SetStreams() override {}
};

TEST_F(RenderObjects, MorphStreamsNeedTheMorphersStream) {
    TRenderObject* ro = Make(RO_QUADS, 1);
    ro->SetFlag(RO_MORPHSTREAMS);
    EXPECT_THROW(ro->Render(), Halted);
    EXPECT_EQ(trap.lastFatal, "not morpher.GetVertexData(0,pVertexStreamDataBuffer)");

    auto morpher = std::make_unique<Morpher>();
    morpher->data.stream = 2;
    ro->SetMorpher(std::move(morpher));
    EXPECT_THROW(ro->Render(), Halted);
    EXPECT_EQ(trap.lastFatal, "RO: pVertexStreamDataBuffer.Stream<>-1");
}

// Drawing that sets the vertex input past the cache (a morphing object sets
// its format and stream straight on the device; a draw from memory leaves
// stream 0 unset) must not keep the next object's format and buffer from
// reaching the device: the object would draw another's vertices, or nothing.
TEST_F(RenderObjects, AnObjectDrawnAfterOtherVertexInputBindsItsOwnAgain) {
    TRenderObject* ro = Make(RO_QUADS, 1);
    ro->GetMaterial(0)->SetTechnique(30);
    Ref<IDirect3DVertexBuffer9> morphBuffer;
    ASSERT_EQ(
        Device->CreateVertexBuffer(320, 0, FVF_PosNormalTex, D3DPOOL_MANAGED, morphBuffer.Put(), nullptr),
        D3D_OK);
    auto morpher = std::make_unique<Morpher>();
    morpher->data = {-1, FVF_PosNormalTex, 32, morphBuffer.Get()};
    TRenderObject* morphing = Make(RO_QUADS, 1);
    morphing->SetFlag(RO_MORPHSTREAMS);
    morphing->SetMorpher(std::move(morpher));
    const VertexPosColorTex2 fromMemory[3] = {};
    const struct {
        const char* road;
        std::function<void()> draw;
    } roads[] = {
        {"a morphing object", [&] { morphing->Render(); }},
        {"a draw from memory",
         [&] { DeviceDrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, fromMemory, sizeof(VertexPosColorTex2)); }},
    };
    for (const auto& r : roads) {
        SCOPED_TRACE(r.road);
        ro->Render();
        r.draw();
        dev->ClearCalls();
        ro->Render();
        ASSERT_EQ(Calls({"DrawPrimitive"}).size(), 1u);
        EXPECT_EQ(dev->state().streams[0].buffer.Get(), ro->GetVB()->GetD3DBuffer());
        EXPECT_EQ(dev->state().streams[0].stride, ro->GetVB()->GetStride());
        EXPECT_EQ(dev->state().fvf, ro->GetVB()->GetFVF());
    }
}

// ---- builders ---------------------------------------------------------------------------

ROModelNode Node() {
    ROModelNode node;
    node.objectName = "hull01";
    node.vertices = {{0, 0, 0, 0, 0, 1, 0.5f, 0.25f, 0.1f, 0.2f},
                     {1, 0, 0, 0, 0, 1, 1, 0, 0.3f, 0.4f},
                     {0, 1, 0, 0, 0, 1, 0, 1, 0.5f, 0.6f}};
    node.boxCorner1 = {-1, -2, -3};
    node.boxCorner2 = {1, 2, 3};
    node.matrix = MatrixTranslation(5, 6, 7);
    std::vector<uint32_t> hundred(100);
    for (uint32_t i = 0; i < 100; ++i) hundred[i] = i % 3;
    node.materials.push_back({"hull", true, hundred});
    node.materials.push_back({"", false, {0, 1, 70000}});
    return node;
}

TEST_F(RenderObjects, GenericBuilderCopiesVerticesWithVNegated) {
    TRenderObject* ro = Keep(BuildModelRenderObject(Node(), {}));
    ASSERT_EQ(ro->GetVB()->GetFVF(), FVF_PosNormalTex);
    const auto v = Vertices<VertexPosNormalTex>(*ro);
    ASSERT_EQ(v.size(), 3u);
    const float want[8] = {0, 0, 0, 0, 0, 1, 0.5f, -0.25f};
    EXPECT_EQ(std::memcmp(&v[0], want, sizeof want), 0);
    EXPECT_EQ(v[2].v, -1.0f);
    EXPECT_EQ(ro->VertexTotal(), 3u);
    EXPECT_EQ(ro->ByteTotal(), 96u);
    EXPECT_EQ(ro->PrimitiveTotal(), 0u);
    EXPECT_EQ(ro->PrimitiveType(), D3DPT_TRIANGLELIST);
    EXPECT_EQ(ro->GetMatrix().m[3][1], 6.0f);
}

TEST_F(RenderObjects, BuilderMaterialsTakeNamesIndicesAndCounts) {
    TRenderObject* ro = Keep(BuildModelRenderObject(Node(), {}));
    ASSERT_EQ(ro->MaterialCount(), 2u);
    ROMaterialClass* hull = ro->GetMaterial(0);
    ROMaterialClass* unnamed = ro->GetMaterial(1);
    EXPECT_EQ(hull->GetPrimCount(), 33u); // 100 / 3
    EXPECT_EQ(unnamed->GetPrimCount(), 1u);
    EXPECT_EQ(hull->GetD3DMaterial().Power, 12.5f);
    EXPECT_EQ(unnamed->GetD3DMaterial().Power, 1.0f); // the checker material
    EXPECT_EQ(hull->GetIB()->GetStride(), 2u);
    EXPECT_EQ(unnamed->GetIB()->GetStride(), 4u); // an index above 65535
    EXPECT_EQ(unnamed->GetIB()->GetMaxIndex(), 70000u);
    void* data = nullptr;
    ASSERT_GE(unnamed->LockIB(3, &data), 0);
    const uint32_t want[3] = {0, 1, 70000};
    EXPECT_EQ(std::memcmp(data, want, sizeof want), 0);
    unnamed->UnlockIB();
    EXPECT_EQ(PrimitiveCountOfIndices(0), 0u);
    EXPECT_EQ(PrimitiveCountOfIndices(5), 2u);
}

TEST_F(RenderObjects, LightMapBuilderWritesBothChannels) {
    ROModelBuild build;
    build.builder = ROBuilderKind::LightMap;
    TRenderObject* ro = Keep(BuildModelRenderObject(Node(), build));
    ASSERT_EQ(ro->GetVB()->GetFVF(), FVF_PosNormalTex2);
    const auto v = Vertices<VertexPosNormalTex2>(*ro);
    const float want[10] = {0, 0, 0, 0, 0, 1, 0.5f, -0.25f, 0.1f, -0.2f};
    EXPECT_EQ(std::memcmp(&v[0], want, sizeof want), 0);
    EXPECT_EQ(ro->ByteTotal(), 120u);
}

TEST_F(RenderObjects, CubeModeDrawsTheBoundingBox) {
    ROModelBuild build;
    build.builder = ROBuilderKind::CubeMode;
    TRenderObject* ro = Keep(BuildModelRenderObject(Node(), build));
    const auto v = Vertices<VertexPosNormalTex>(*ro);
    ASSERT_EQ(v.size(), 36u);
    for (const auto& p : v) {
        EXPECT_EQ(std::abs(p.x), 1.0f);
        EXPECT_EQ(std::abs(p.y), 2.0f);
        EXPECT_EQ(std::abs(p.z), 3.0f);
        EXPECT_NEAR(p.nx * p.nx + p.ny * p.ny + p.nz * p.nz, 1.0f, 1e-5f);
        EXPECT_GT(p.nx * p.x, 0.0f); // pointing away from the centre
        EXPECT_EQ(p.u, 0.0f);
    }
    ASSERT_EQ(ro->MaterialCount(), 1u);
    ROMaterialClass* m = ro->GetMaterial(0);
    EXPECT_EQ(m->GetPrimCount(), 12u);
    EXPECT_EQ(m->GetTechnique(), 10);
    EXPECT_EQ(m->GetIB()->GetCount(), 36u);
    EXPECT_EQ(m->GetIB()->GetMaxIndex(), 35u);
    dev->ClearCalls();
    ro->Render();
    EXPECT_EQ(Calls({"DrawIndexedPrimitive"}).size(), 1u);
}

} // namespace
