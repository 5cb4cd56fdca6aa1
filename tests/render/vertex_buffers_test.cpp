#include <gtest/gtest.h>

#include "null_device_scope.h"
#include "platform/files.h"
#include "render/vertex_buffers.h"
#include "shared/errors.h"
#include "support/error_trap.h"

#include <cstring>

using namespace vesk;
using namespace vesk::platform;
using vesk::test::ErrorTrap;
using vesk::test::Halted;
using vesk::test::NullDeviceScope;

namespace {

struct ChunkView {
    bool free;
    uint32_t start, count;
    bool operator==(const ChunkView&) const = default;
};

template <class Manager> std::vector<ChunkView> Chunks(const Manager& m) {
    std::vector<ChunkView> out;
    for (const auto* c : m.Chunks()) out.push_back({c->IsFree(), c->Start(), c->Count()});
    return out;
}

class Buffers : public ::testing::Test {
protected:
    void SetUp() override {
        scope.Init();
        ASSERT_TRUE(Device);
        dev = scope.device();
        keep = Ref<IDirect3DDevice9>::Share(dev);
        dev->ClearCalls();
    }
    ErrorTrap trap;
    NullDeviceScope scope;
    NullDevice* dev = nullptr;
    Ref<IDirect3DDevice9> keep; // a fatal report releases the device; the record stays readable
    BuffersManagerClass bm;
};

} // namespace

TEST(VertexFormats, SizesOfTheProgramsFormats) {
    const std::pair<uint32_t, uint32_t> cases[] = {
        {FVF_PosColorTex2, 32},
        {FVF_TLVertex, 32},
        {FVF_TLColorTex, 28},
        {FVF_PosColorTex, 24},
        {FVF_PosNormal, 24},
        {FVF_PosNormalTex, 32},
        {FVF_PosNormalTex2, 40},
        {FVF_PosSizeColor, 20},
        {D3DFVF_XYZB1, 16},
        {D3DFVF_XYZB3, 24},
        {D3DFVF_XYZB5 | D3DFVF_NORMAL, 44},
        {D3DFVF_XYZW, 16},
        {D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0), 24},
        {D3DFVF_XYZ | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE1(1), 24},
    };
    for (auto [fvf, size] : cases) EXPECT_EQ(GetFVFVertexSize(fvf), size) << std::hex << fvf;
}

TEST(VertexFormats, FillRoutinesLeaveTheOtherFields) {
    VertexTL tl{};
    tl.specular = 0x12345678;
    FillTLVertex(tl, 1, 2, 3, 0.5f, 0xFF00FF00, 0.25f, 0.75f);
    EXPECT_EQ(tl.specular, 0x12345678u);
    EXPECT_EQ(tl.rhw, 0.5f);
    EXPECT_EQ(tl.v, 0.75f);
    VertexPosColorTex2 v{};
    v.u1 = 9;
    FillVertexPosColor(v, {1, 2, 3}, 0xAABBCCDD);
    EXPECT_EQ(v.color, 0xAABBCCDDu);
    EXPECT_EQ(v.u1, 9.0f);
    FillVertexPosColorTex2(v, {4, 5, 6}, 1, 2, 3, 4, 5);
    EXPECT_EQ(v.x, 4.0f);
    EXPECT_EQ(v.v1, 5.0f);
}

TEST(BufferParams, UnsetParametersAndUnknownFormatAreReported) {
    struct Case {
        std::function<void(BMParamClass&)> call;
        std::string text;
    };
    const Case cases[] = {
        {[](BMParamClass& p) { p.GetFormat(); }, "BMParamClass.GetFormat: not _Is(BM_USEFORMAT)"},
        {[](BMParamClass& p) { p.GetFVF(); }, "BMParamClass.GetFVF: not _Is(BM_USEFVF)"},
        {[](BMParamClass& p) { p.GetPool(); }, "BMParamClass.GetPool: not _Is(BM_USEPOOL)"},
        {[](BMParamClass& p) { p.GetUsage(); }, "BMParamClass.GetUsage: not _Is(BM_USEUSAGE)"},
        {[](BMParamClass& p) { p.GetStride(); },
         "BMParamClass.GetStride: not _Is(BM_USEFVF): you must set fvf first"},
        {[](BMParamClass& p) { p.SetFormat(77); }, "BMParamClass.SetFormat: UNKNOWN FORMAT"},
    };
    for (const Case& c : cases) {
        ErrorTrap trap;
        BMParamClass p;
        EXPECT_THROW(c.call(p), Halted) << c.text;
        EXPECT_EQ(trap.lastFatal, c.text);
    }
    ErrorTrap trap;
    BMParamClass p;
    p.SetFormat(D3DFMT_INDEX32);
    EXPECT_EQ(p.GetStride(), 4u);
    p.SetFVF(FVF_PosNormalTex2);
    EXPECT_EQ(p.GetStride(), 40u);
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(Buffers, FirstRequestCutsAGrowthSizedBuffer) {
    IVertexBuffer* a = bm.GetVB(100, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    ASSERT_TRUE(a);
    ASSERT_EQ(bm.VertexManagers().size(), 1u);
    const auto& m = *bm.VertexManagers()[0];
    EXPECT_EQ(dev->Find("CreateVertexBuffer"),
              (std::vector<std::string>{"CreateVertexBuffer(48000, 0, 322, 1)"}));
    EXPECT_EQ(Chunks(m), (std::vector<ChunkView>{{false, 0, 100}, {true, 100, 1900}}));
    EXPECT_EQ(a->GetStride(), 24u);
    EXPECT_EQ(a->GetFVF(), FVF_PosColorTex);
    // The rest is taken whole and leaves a free chunk of count 0.
    IVertexBuffer* b = bm.GetVB(1900, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    EXPECT_EQ(b->GetStart(), 100u);
    EXPECT_EQ(Chunks(m), (std::vector<ChunkView>{{false, 0, 100}, {false, 100, 1900}, {true, 2000, 0}}));
    // Nothing left: another format, pool or usage, or one more vertex, makes a new buffer.
    bm.GetVB(1, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    bm.GetVB(1, FVF_PosColorTex, D3DPOOL_DEFAULT, 0);
    bm.GetVB(1, FVF_PosColorTex, D3DPOOL_MANAGED, D3DUSAGE_WRITEONLY);
    EXPECT_EQ(bm.VertexManagers().size(), 4u);
    // A request larger than the growth gets a buffer of its own size.
    bm.GetVB(5000, FVF_PosNormal, D3DPOOL_MANAGED, 0);
    EXPECT_EQ(bm.VertexManagers().back()->Capacity(), 5000u);
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(Buffers, ParamsReplaceTheArgumentsTheySet) {
    BMParamClass params;
    params.SetFVF(FVF_PosNormal);
    params.SetPool(D3DPOOL_DEFAULT);
    IVertexBuffer* a = bm.GetVB(10, FVF_PosColorTex, D3DPOOL_MANAGED, D3DUSAGE_WRITEONLY, &params);
    EXPECT_EQ(a->GetFVF(), FVF_PosNormal);
    EXPECT_EQ(bm.VertexManagers()[0]->GetPool(), uint32_t(D3DPOOL_DEFAULT));
    EXPECT_EQ(bm.VertexManagers()[0]->GetUsage(), D3DUSAGE_WRITEONLY);
}

TEST_F(Buffers, GivenBackChunksJoinTheirFreeNeighbours) {
    IVertexBuffer* a = bm.GetVB(10, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    IVertexBuffer* b = bm.GetVB(20, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    IVertexBuffer* c = bm.GetVB(30, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    const auto& m = *bm.VertexManagers()[0];
    a->Release();
    c->Release(); // joins the free rest
    EXPECT_EQ(Chunks(m), (std::vector<ChunkView>{{true, 0, 10}, {false, 10, 20}, {true, 30, 1970}}));
    b->Release(); // between two free ones: one chunk over all three
    EXPECT_EQ(Chunks(m), (std::vector<ChunkView>{{true, 0, 2000}}));
    // First fit from the start again.
    IVertexBuffer* d = bm.GetVB(5, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    EXPECT_EQ(d->GetStart(), 0u);
    // Engine-object destruction never takes a chunk out of its list: it is given back.
    auto* object = dynamic_cast<TEngineObject*>(d);
    ASSERT_TRUE(object);
    object->Free();
    EXPECT_EQ(Chunks(m), (std::vector<ChunkView>{{true, 0, 2000}}));
    EXPECT_EQ(m.Chunks().front(), d);
    EXPECT_TRUE(trap.reports.empty());
}

// Render objects of cached models are freed after the buffer managers at
// shut-down: the chunks they still hold outlive their managers and free
// themselves when given back (the sanitizer build sees any stale access).
TEST(BuffersShutDown, ChunksHeldPastTheManagerAreFreedWhenGivenBack) {
    ErrorTrap trap;
    NullDeviceScope scope;
    scope.Init();
    auto bm = std::make_unique<BuffersManagerClass>();
    IVertexBuffer* vb = bm->GetVB(10, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    IIndexBuffer* ib = bm->GetIB(30, D3DFMT_INDEX16, D3DPOOL_MANAGED);
    IVertexBuffer* given = bm->GetVB(5, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    ASSERT_TRUE(vb && ib && given);
    given->Release();
    bm.reset();
    vb->Release();
    ib->Release();
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(Buffers, DynamicBuffersAreNeverShared) {
    IVertexBuffer* a = bm.GetVB(300, FVF_TLVertex, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC);
    IVertexBuffer* b = bm.GetVB(200, FVF_TLVertex, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC);
    ASSERT_EQ(bm.VertexManagers().size(), 2u);
    EXPECT_EQ(bm.VertexManagers()[0]->Capacity(), 300u);
    EXPECT_EQ(bm.VertexManagers()[1]->Capacity(), 200u);
    EXPECT_NE(a->GetD3DBuffer(), b->GetD3DBuffer());
    a->Release();
    IVertexBuffer* c = bm.GetVB(250, FVF_TLVertex, D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC);
    EXPECT_EQ(c->GetD3DBuffer(), bm.VertexManagers()[0]->GetD3DBuffer());
    EXPECT_EQ(bm.VertexManagers().size(), 2u);
}

TEST_F(Buffers, LocksReachOnlyTheChunksRange) {
    IVertexBuffer* a = bm.GetVB(4, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    IVertexBuffer* b = bm.GetVB(4, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    void* data = nullptr;
    ASSERT_EQ(b->Lock(&data, 1, 2, 0), D3D_OK);
    std::memset(data, 0xAB, 2 * 24);
    b->Unlock();
    const auto& bytes = NullDevice::BufferBytes(b->GetD3DBuffer());
    // Chunk b starts at vertex 4; vertices 5 and 6 of the shared buffer were written.
    for (size_t i = 0; i < 10 * 24; ++i) EXPECT_EQ(bytes[i], (i >= 5 * 24 && i < 7 * 24) ? 0xAB : 0) << i;
    (void)a;

    // The copy is a new chunk with the same vertices.
    ASSERT_EQ(b->Lock(&data, 0, 4, 0), D3D_OK);
    for (uint32_t i = 0; i < 4 * 24; ++i) static_cast<uint8_t*>(data)[i] = uint8_t(i);
    b->Unlock();
    IVertexBuffer* copy = b->Copy();
    ASSERT_TRUE(copy);
    EXPECT_NE(copy, b);
    EXPECT_EQ(copy->GetStart(), 8u);
    EXPECT_EQ(copy->GetCount(), 4u);
    EXPECT_TRUE(std::equal(bytes.begin() + 4 * 24, bytes.begin() + 8 * 24, bytes.begin() + 8 * 24));
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(Buffers, LockPastTheEndOfTheBufferIsReported) {
    IVertexBuffer* a = bm.GetVB(2000, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    void* data = nullptr;
    EXPECT_THROW(a->Lock(&data, 1990, 20, 0), Halted);
    EXPECT_EQ(
        trap.lastFatal,
        "VertexBufferClass.Lock crash: desc.Size(48000)<=(size * (StartIndex+_vertFrom+_vertCount))(48240)");
    // Far out of range: no wrap-around lets it through.
    EXPECT_THROW(a->Lock(&data, 0xFFFFFFF0u, 0x20, 0), Halted);
    EXPECT_EQ(dev->CountCalls("Lock"), 0u);
}

TEST_F(Buffers, UnlockFailureIsReported) {
    IVertexBuffer* a = bm.GetVB(4, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    EXPECT_THROW(a->Unlock(), Halted); // not locked
    EXPECT_EQ(trap.lastFatal, "VertexBufferClass.Unlock");
}

TEST_F(Buffers, IndexFormatFromTheCount) {
    IIndexBuffer* small = bm.GetIB(65534, 0, D3DPOOL_MANAGED);
    IIndexBuffer* large = bm.GetIB(65535, 0, D3DPOOL_MANAGED);
    EXPECT_EQ(small->GetStride(), 2u);
    EXPECT_EQ(large->GetStride(), 4u);
    EXPECT_EQ(dev->Find("CreateIndexBuffer"),
              (std::vector<std::string>{"CreateIndexBuffer(131068, 0, D3DFMT_INDEX16, 1)",
                                        "CreateIndexBuffer(262140, 0, D3DFMT_INDEX32, 1)"}));
}

TEST_F(Buffers, IndexChunksAreReusedButNeverJoined) {
    IIndexBuffer* a = bm.GetIB(100, D3DFMT_INDEX16, D3DPOOL_MANAGED);
    IIndexBuffer* b = bm.GetIB(100, D3DFMT_INDEX16, D3DPOOL_MANAGED);
    const auto& m = *bm.IndexManagers()[0];
    EXPECT_EQ(m.Capacity(), 1000u);
    a->Release();
    b->Release();
    EXPECT_EQ(Chunks(m), (std::vector<ChunkView>{{true, 0, 100}, {true, 100, 100}, {true, 200, 800}}));
    // An equal or smaller request takes the first that fits; a larger one skips both.
    EXPECT_EQ(bm.GetIB(80, D3DFMT_INDEX16, D3DPOOL_MANAGED)->GetStart(), 0u);
    EXPECT_EQ(bm.GetIB(150, D3DFMT_INDEX16, D3DPOOL_MANAGED)->GetStart(), 200u);
    // The pool is not compared; system memory always gets a buffer of its own size.
    EXPECT_EQ(bm.GetIB(10, D3DFMT_INDEX16, D3DPOOL_DEFAULT)->GetD3DBuffer(), m.GetD3DBuffer());
    IIndexBuffer* sys = bm.GetIB(10, D3DFMT_INDEX16, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(bm.IndexManagers().back()->Capacity(), 10u);
    EXPECT_NE(sys->GetD3DBuffer(), m.GetD3DBuffer());
}

TEST_F(Buffers, IndicesWrittenScannedAndCopied) {
    IIndexBuffer* ib = bm.GetIB(4, D3DFMT_INDEX16, D3DPOOL_MANAGED);
    void* data = nullptr;
    ASSERT_EQ(ib->Lock(&data, 0, 4, 0), D3D_OK);
    const uint32_t values[] = {7, 3, 9, 5};
    for (uint32_t i = 0; i < 4; ++i) ib->SetIndex(data, i, values[i]);
    EXPECT_EQ(ib->GetIndex(data, 2), 9u);
    ib->Unlock();
    ib->UpdateMinMax();
    EXPECT_EQ(ib->GetMinIndex(), 3u);
    EXPECT_EQ(ib->GetMaxIndex(), 9u);
    IIndexBuffer* copy = ib->Copy();
    EXPECT_EQ(copy->GetMinIndex(), 3u);
    EXPECT_EQ(copy->GetMaxIndex(), 9u);
    const auto& bytes = NullDevice::BufferBytes(ib->GetD3DBuffer());
    EXPECT_EQ(std::memcmp(bytes.data(), bytes.data() + 8, 8), 0);

    // A value too large for 16 bits is stored truncated, then reported.
    ASSERT_EQ(ib->Lock(&data, 0, 4, 0), D3D_OK);
    EXPECT_THROW(ib->SetIndex(data, 0, 0x10005), Halted);
    EXPECT_EQ(trap.lastFatal, "IndexBufferClass.SetIndex: _value > $FFFF (GetFORMAT = D3DFMT_INDEX16)");
    EXPECT_EQ(static_cast<uint16_t*>(data)[0], 5u);
}

TEST_F(Buffers, SetIndicesSkipsTheCurrentChunk) {
    IIndexBuffer* a = bm.GetIB(10, 0, D3DPOOL_MANAGED);
    IIndexBuffer* b = bm.GetIB(10, 0, D3DPOOL_MANAGED);
    bm.SetIndices(a);
    bm.SetIndices(a);
    bm.SetIndices(b);
    bm.SetIndices(nullptr);
    bm.SetIndices(nullptr);
    const std::string buf = "#" + std::to_string(a->GetD3DBuffer()->GetId());
    EXPECT_EQ(
        dev->Find("SetIndices"),
        (std::vector<std::string>{"SetIndices(" + buf + ")", "SetIndices(" + buf + ")", "SetIndices(null)"}));
}

TEST_F(Buffers, SplitRulesAreEnforced) {
    // Both managers first: the first fatal report releases the device.
    bm.GetVB(10, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    bm.GetIB(10, 0, D3DPOOL_MANAGED);
    auto& m = *bm.VertexManagers()[0];
    auto* used = m.Chunks().front();
    auto* rest = m.Chunks().back();
    EXPECT_THROW(m.SplitChunk(used, 1), Halted);
    EXPECT_EQ(trap.lastFatal, "BufferChunkManagerClass.SplitChunk: not chunk.IsFree");
    EXPECT_THROW(m.SplitChunk(rest, 5000), Halted);
    EXPECT_EQ(trap.lastFatal, "BufferChunkManagerClass.SplitChunk: not enought vertCount");
    auto& im = *bm.IndexManagers()[0];
    EXPECT_THROW(im.SplitChunk(im.Chunks().front(), 1), Halted);
    EXPECT_EQ(trap.lastFatal, "IndexBufferChunkManagerClass.SplitChunk: not chunk.IsFree");
}

TEST_F(Buffers, DumpListsEveryChunk) {
    IVertexBuffer* a = bm.GetVB(10, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    (void)a;
    EXPECT_EQ(bm.VertexManagers()[0]->DumpText(), "[BCM begin dump] pool: D3DPOOL_MANAGED"
                                                  "\rchunk: index: 0, fvf: D3DFVF_XYZ | D3DFVF_DIFFUSE | "
                                                  "D3DFVF_TEX1 | TEXCOORDSIZE(2) | used, start: 0, "
                                                  "count: 10"
                                                  "\rchunk: index: 1, fvf: D3DFVF_XYZ | D3DFVF_DIFFUSE | "
                                                  "D3DFVF_TEX1 | TEXCOORDSIZE(2) | , free, start: "
                                                  "10, count: 1990"
                                                  "\r[BCM end dump]");
    bm.GetIB(10, D3DFMT_INDEX32, D3DPOOL_MANAGED);
    EXPECT_EQ(bm.IndexManagers()[0]->DumpText(), "[BCM IB begin dump], fmt32"
                                                 "\rchunk: index: 0, start: 0, count: 10, status: used"
                                                 "\rchunk: index: 1, start: 10, count: 990, status: free"
                                                 "\r[BCM IB end dump]");
}

TEST_F(Buffers, OutOfVideoMemoryDumpsTheBuffersFirst) {
    vesk::test::TempDir dir;
    SetLogFolder(dir.path());
    LogEnabled = true;
    bm.GetVB(10, FVF_PosColorTex, D3DPOOL_MANAGED, 0);
    dev->SetVideoMemoryLimit(dev->videoMemoryUsed() + 100);
    EXPECT_THROW(bm.GetVB(10, FVF_PosNormal, D3DPOOL_MANAGED, 0), Halted);
    EXPECT_EQ(trap.lastFatal, "BufferChunkManagerClass.Init: d3dd.CreateVertexBuffer()");
    LogEnabled = false;
    std::string log;
    ASSERT_TRUE(ReadFile(dir / "log.txt", log));
    EXPECT_NE(log.find("[BMC VB DUMP BEGIN]"), std::string::npos);
    EXPECT_NE(log.find("[BCM begin dump] pool: D3DPOOL_MANAGED"), std::string::npos);
    EXPECT_NE(log.find("[BMC IB DUMP END]"), std::string::npos);
    SetLogFolder("logs/def");
}

TEST(BuffersWithoutDevice, ChunkManagerNeedsTheDevice) {
    ErrorTrap trap;
    BuffersManagerClass bm;
    EXPECT_THROW(bm.GetVB(10, FVF_PosColorTex, D3DPOOL_MANAGED, 0), Halted);
    EXPECT_EQ(trap.lastFatal, "BufferChunkManagerClass.Init: d3dd = nil");
    EXPECT_THROW(bm.GetIB(10, 0, D3DPOOL_MANAGED), Halted);
    EXPECT_EQ(trap.lastFatal, "IndexBufferChunkManagerClass.Init: d3dd = nil");
}
