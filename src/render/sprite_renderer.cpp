#include "render/sprite_renderer.h"

#include "render/device.h"
#include "render/engine.h"
#include "render/managers.h"
#include "render/material.h"
#include "render/render_object.h"
#include "render/vertex_buffers.h"
#include "render/view_camera.h"
#include "shared/class_manager.h"
#include "shared/errors.h"
#include "shared/math.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vesk {

using namespace platform;

namespace {

// The unit quad: corners and texture coordinates.
constexpr QuadVertex kTemplateQuad[4] = {{-1, 1, 0, 0x80808080u, 0, 0},
                                         {1, 1, 0, 0x80808080u, 1, 0},
                                         {1, -1, 0, 0x80808080u, 1, 1},
                                         {-1, -1, 0, 0x80808080u, 0, 1}};
constexpr uint16_t kTemplateIndices[6] = {0, 1, 2, 2, 3, 0};

// Z test on, lighting off, no depth writes, clipping on.
constexpr uint64_t kQuadApplyStates = 65577;
// D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY
constexpr uint32_t kQuadUsage = 520;

// Sprite renderers draw after the ordinary units, in a random but fixed order among themselves.
float RendererSortValue(float base) {
    return UniformRandom() * 0.099f + base;
}

bool IsEngineRoot(TBaseRenderUnit* parent) {
    return IsClassType<TEngineClass>(parent);
}

} // namespace

TRenderObject* CreateIndexedQuadStore(uint32_t quads, uint64_t applyFlags, const std::string& name) {
    auto* ro = TEngineObject::New<TRenderObject>();
    ro->SetName(name);
    ro->Create(D3DPOOL_SYSTEMMEM, applyFlags, 0, RO_INDEXEDQUADS, quads, kQuadUsage);
    ROMaterialClass* m = ro->GetMaterial(0);
    if (IVertexBuffer* vb = ro->GetVB()) {
        void* data = nullptr;
        if (Succeeded(vb->Lock(&data, 0, 4 * quads, 0)) && data) {
            auto* v = static_cast<QuadVertex*>(data);
            for (uint32_t q = 0; q < quads; ++q) std::memcpy(v + 4 * q, kTemplateQuad, sizeof kTemplateQuad);
            vb->Unlock();
        }
    }
    if (IIndexBuffer* ib = m ? m->GetIB() : nullptr) {
        void* data = nullptr;
        if (Succeeded(ib->Lock(&data, 0, 6 * quads, 0)) && data) {
            // Sixteen-bit indices that all fit are written straight; anything
            // else goes through the chunk, which reports values too large.
            if (ib->GetStride() == 2 && uint64_t(quads) * 4 <= 0x10000u) {
                auto* index = static_cast<uint16_t*>(data);
                for (uint32_t q = 0; q < quads; ++q)
                    for (uint32_t k = 0; k < 6; ++k)
                        *index++ = static_cast<uint16_t>(4 * q + kTemplateIndices[k]);
            } else {
                for (uint32_t q = 0; q < quads; ++q)
                    for (uint32_t k = 0; k < 6; ++k)
                        ib->SetIndex(data, 6 * q + k, 4 * q + kTemplateIndices[k]);
            }
            ib->Unlock();
            ib->UpdateMinMax();
        }
    }
    if (m) m->SetPrimCount(0);
    return ro;
}

void ISpriteClient::SetDistanceFrom(const Vec3& eye) {
    SetDistance(Vec3Length(Vec3Sub(GetPosition(), eye)));
}

// ---- the quad batch --------------------------------------------------------------------------

QuadsRendererClass* QuadsRendererClass::Create(IDirect3DDevice9* device, const std::string& name,
                                               uint32_t maxQuads) {
    auto* q = New<QuadsRendererClass>();
    q->name_ = name;
    q->maxQuads_ = maxQuads;
    q->staging_.resize(size_t(maxQuads) * 4);
    for (uint32_t i = 0; i < maxQuads; ++i)
        std::memcpy(&q->staging_[size_t(i) * 4], kTemplateQuad, sizeof kTemplateQuad);
    q->device_ = device;
    return q;
}

void QuadsRendererClass::FreeBuffers() {
    current_ = nullptr;
    if (swap_) {
        swap_->FreeObjects();
        swap_.reset();
    }
}

void QuadsRendererClass::CreateBuffers(IDirect3DDevice9* device) {
    if (!device) {
        ErrorReport("QuadsRendererClass.CreateBuffers: d3dd = nil", "mhl");
        return;
    }
    device_ = device;
    FreeBuffers();
    swap_ = std::make_unique<SwapManagerClass>("quads");
    // The four materials are read from Lua once.
    MaterialLuaMemo memo;
    for (int i = 0; i < 4; ++i) {
        TRenderObject* ro = CreateIndexedQuadStore(maxQuads_, kQuadApplyStates, name_);
        if (ROMaterialClass* m = ro->GetMaterial(0)) {
            m->SetTwoSided(true);
            m->SetMaterialFromLua(name_, "checker", &memo);
            m->SetPrimCount(0);
        }
        swap_->Add(ro);
    }
    NextBatch();
}

bool QuadsRendererClass::CheckRO() {
    if (current_) return true;
    ErrorReport("QuadsRendererClass.CheckRO: ro = nil, CreateBufferFirst", "mhl");
    return false;
}

void QuadsRendererClass::NextBatch() {
    quadCount_ = 0;
    if (!swap_) return;
    current_ = static_cast<TRenderObject*>(swap_->GetNextObj());
    if (current_)
        if (ROMaterialClass* m = current_->GetMaterial(0)) m->SetPrimCount(0);
}

namespace {

// The unit quad scaled to half-width h through a matrix, its corners as
// Vec3TransformPoint gives them: the products are formed once and summed in
// its order, so every corner comes out bit for bit the same. The three
// coordinates are worked out side by side in the lanes of one vector (the
// fourth lane is scratch, its bytes overwritten by the colour).
[[gnu::always_inline]] inline void WriteSpriteQuad(QuadVertex* v, uint32_t colour, const Matrix& matrix,
                                                   float h) {
    using Lanes = float __attribute__((vector_size(16)));
    Lanes r0, r1, r2, t;
    std::memcpy(&r0, matrix.m[0], sizeof r0);
    std::memcpy(&r1, matrix.m[1], sizeof r1);
    std::memcpy(&r2, matrix.m[2], sizeof r2);
    std::memcpy(&t, matrix.m[3], sizeof t);
    const Lanes a = h * r0, b = h * r1, z = 0.0f * r2;
    const Lanes c0 = -a + b + z + t, c1 = a + b + z + t, c2 = a + -b + z + t, c3 = -a + -b + z + t;
    const auto put = [v, colour](int k, const Lanes& at, float u, float w) {
        std::memcpy(&v[k], &at, sizeof at);
        v[k].colour = colour;
        v[k].u = u;
        v[k].v = w;
    };
    put(0, c0, 0, 0);
    put(1, c1, 1, 0);
    put(2, c2, 1, 1);
    put(3, c3, 0, 1);
}

} // namespace

void QuadsRendererClass::AddQuad(uint32_t colour, const Matrix& matrix, float size) {
    if (!CheckRO()) return;
    if (quadCount_ >= maxQuads_ || quadCount_ >= current_->ElementCount()) return;
    WriteSpriteQuad(&staging_[size_t(quadCount_) * 4], colour, matrix, size * 0.5f);
    ++quadCount_;
}

void QuadsRendererClass::AddQuadCorners(uint32_t colour, const Vec3 (&corners)[4]) {
    if (!CheckRO()) return;
    if (quadCount_ >= maxQuads_ || quadCount_ >= current_->ElementCount()) return;
    QuadVertex* v = &staging_[size_t(quadCount_) * 4];
    for (int k = 0; k < 4; ++k) {
        v[k].x = corners[k].x;
        v[k].y = corners[k].y;
        v[k].z = corners[k].z;
        v[k].colour = colour;
    }
    ++quadCount_;
}

void QuadsRendererClass::Render() {
    if (!current_ || quadCount_ == 0) return;
    ROMaterialClass* m = current_->GetMaterial(0);
    if (!m) return;
    // The batch goes into the render object in one lock of the quads in use.
    if (IVertexBuffer* vb = current_->GetVB()) {
        void* data = nullptr;
        if (Failed(vb->Lock(&data, 0, 4 * quadCount_, 0)) || !data) return;
        std::memcpy(data, staging_.data(), sizeof(QuadVertex) * 4 * quadCount_);
        vb->Unlock();
    }
    Draw(m);
}

namespace {

// A quad of given corners with the unit quad's texture coordinates.
[[gnu::always_inline]] inline void WriteCornerQuad(QuadVertex* v, const Vec3 (&corners)[4], uint32_t colour) {
    const auto put = [v, colour, &corners](int k) {
        std::memcpy(&v[k], &corners[k], sizeof corners[k]);
        v[k].colour = colour;
        v[k].u = kTemplateQuad[k].u;
        v[k].v = kTemplateQuad[k].v;
    };
    put(0);
    put(1);
    put(2);
    put(3);
}

} // namespace

uint32_t QuadsRendererClass::RenderCorners(uint32_t count, CornerQuad quad, const void* run) {
    Vec3 corners[4];
    uint32_t colour = 0;
    uint32_t i = 0;
    if (!current_) {
        // Each quad is refused as AddQuadCorners refuses it; the batch never fills.
        for (; i < count; ++i)
            if (quad(run, i, corners, colour)) CheckRO();
        return i;
    }
    const uint32_t room = std::min(maxQuads_, current_->ElementCount());
    ROMaterialClass* m = current_->GetMaterial(0);
    IVertexBuffer* vb = m ? current_->GetVB() : nullptr;
    QuadVertex* v = nullptr;
    bool failed = false;
    for (; i < count && quadCount_ < maxQuads_; ++i) {
        if (!quad(run, i, corners, colour) || quadCount_ >= room) continue;
        if (!v && vb && !failed) {
            // Locked at the first quad, from the batch's start, for as many
            // as the rest of the run can add.
            const uint32_t quads = quadCount_ + std::min(count - i, room - quadCount_);
            void* data = nullptr;
            if (Failed(vb->Lock(&data, 0, 4 * quads, 0)) || !data) {
                failed = true;
            } else {
                v = static_cast<QuadVertex*>(data);
                // Quads added to the batch before the run go in with it.
                std::memcpy(v, staging_.data(), sizeof(QuadVertex) * 4 * quadCount_);
            }
        }
        if (v) WriteCornerQuad(v + size_t(quadCount_) * 4, corners, colour);
        ++quadCount_;
    }
    if (v) {
        vb->Unlock();
        Draw(m);
    } else if (!failed) {
        Render(); // no quad of the run went in: those staged before it, if any
    }
    return i;
}

namespace {

// A sprite's quad from its facts read before.
[[gnu::always_inline]] inline void WriteSpriteQuad(QuadVertex* v, const SpriteFacts& f) {
    WriteSpriteQuad(v, f.colour, *f.matrix, f.size * 2.0f * 0.5f);
}
[[gnu::always_inline]] inline void WriteSpriteQuad(QuadVertex* v, const SpriteFacts* f) {
    WriteSpriteQuad(v, *f);
}

} // namespace

void QuadsRendererClass::RenderSprites(const SpriteFacts* const* sprites, int count) {
    WriteAndRender(sprites, count);
}

void QuadsRendererClass::RenderSprites(const SpriteFacts* sprites, int count) {
    WriteAndRender(sprites, count);
}

template <class Sprite> void QuadsRendererClass::WriteAndRender(const Sprite* sprites, int count) {
    if (!current_) {
        // Each quad is refused as AddQuad refuses it.
        for (int i = 0; i < count; ++i) CheckRO();
        return;
    }
    // As AddQuad then Render, but the quads are written into the locked
    // vertices themselves: nothing is staged and copied.
    const uint32_t room = std::min(maxQuads_, current_->ElementCount());
    quadCount_ = std::min(room, uint32_t(std::max(count, 0)));
    if (quadCount_ == 0) return;
    ROMaterialClass* m = current_->GetMaterial(0);
    if (!m) return;
    if (IVertexBuffer* vb = current_->GetVB()) {
        void* data = nullptr;
        if (Failed(vb->Lock(&data, 0, 4 * quadCount_, 0)) || !data) return;
        auto* v = static_cast<QuadVertex*>(data);
        for (uint32_t i = 0; i < quadCount_; ++i, v += 4) WriteSpriteQuad(v, sprites[i]);
        vb->Unlock();
    }
    Draw(m);
}

void QuadsRendererClass::Draw(ROMaterialClass* m) {
    m->SetPrimCount(2 * quadCount_);
    m->SetTexture(0, TextureRef(texture_));
    if (Device) {
        static const Matrix identity;
        Device->SetTransform(D3DTS_WORLD, &identity);
    }
    current_->Render();
    if (Engine) Engine->IncFrameObjCount();
}

void QuadsRendererClass::Free() {
    FreeBuffers();
    TEngineObject::Free();
}

// ---- what both renderers share ----------------------------------------------------------------

template <class T> T* ClientRendererBase::Make(TBaseRenderUnit* parent, int capacity) {
    if (!IsEngineRoot(parent)) {
        ErrorReport(std::string(T::kReportName) + ".Init: _PParent.ClassType<>TEngineClass", "mhl");
        return nullptr;
    }
    auto* r = New<T>();
    r->constructing_ = true;
    r->Init(parent);
    r->constructing_ = false;
    parent->AddChild(r);
    r->SetSortValue(RendererSortValue(3.01f));
    parent->SortChildsBRU();
    r->SetFlag(0x80800000ull);
    r->clients_.assign(static_cast<size_t>(capacity), nullptr);
    r->count_ = 0;
    return r;
}

void ClientRendererBase::Init(TBaseRenderUnit* parent) {
    if (!constructing_) {
        ErrorReport(std::string(ReportName()) + ".Init: use other constructor", "mhl");
        return;
    }
    TBaseRenderUnit::Init(parent);
}

TBaseRenderUnit* ClientRendererBase::CreateCopy(TBaseRenderUnit*) {
    ErrorReport(std::string(ReportName()) + ".CreateCopy: forbidden", "mhl");
    return nullptr;
}

bool ClientRendererBase::RefuseNilClient() {
    ErrorReport(std::string(ReportName()) + ".AddClient: _client = nil", "mhl");
    return false;
}

void ClientRendererBase::ClearClients() {
    std::fill(clients_.begin(), clients_.begin() + count_, nullptr);
    count_ = 0;
}

// ---- the sprite renderer ---------------------------------------------------------------------

SpritesRendererClass* SpritesRendererClass::Create(TBaseRenderUnit* parent, const std::string& name) {
    auto* r = Make<SpritesRendererClass>(parent, kMaxClients);
    if (!r) return nullptr;
    r->SetName("SpritesRenderer_" + name);
    r->quads_ = QuadsRendererClass::Create(Device.Get(), r->GetName(), 2000);
    // Without a device (a headless run) there is nothing to draw into: the
    // renderer keeps its clients and draws nothing.
    if (Device) {
        r->quads_->CreateBuffers(Device.Get());
        D3DCAPS9 caps;
        Device->GetDeviceCaps(&caps);
        if (caps.FVFCaps & D3DFVFCAPS_PSIZE) r->maxPointSize_ = caps.MaxPointSize;
    }
    return r;
}

bool SpritesRendererClass::RenderBatch(const SpriteFacts* sprites, int count) {
    if (count < 1 || !quads_) return false;
    // A run of one texture, the usual case, is drawn as it stands.
    IKWTexture* first = sprites[0].texture;
    int same = 1;
    while (same < count && sprites[same].texture == first) ++same;
    if (same == count) {
        quads_->SetTexture(first);
        quads_->NextBatch();
        quads_->RenderSprites(sprites, count);
        ++batchesDrawn_;
        return false;
    }
    grouped_.resize(size_t(count));
    for (int k = 0; k < count; ++k) grouped_[size_t(k)] = &sprites[k];
    grouping_.Group(grouped_, [](const SpriteFacts* f) { return f->texture; });
    int i = 0;
    while (i < count) {
        IKWTexture* texture = grouped_[size_t(i)]->texture;
        int j = i + 1;
        while (j < count && grouped_[size_t(j)]->texture == texture) ++j;
        quads_->SetTexture(texture);
        quads_->NextBatch();
        quads_->RenderSprites(grouped_.data() + i, j - i);
        ++batchesDrawn_;
        i = j;
    }
    return true;
}

void SpritesRendererClass::DoRender() {
    if (!quads_ || !quads_->HasBuffers() || count_ < 1) return;
    facts_.resize(size_t(count_));
    for (int i = 0; i < count_; ++i) {
        SpriteFacts& f = facts_[size_t(i)];
        clients_[size_t(i)]->ReadFacts(f);
        f.client = clients_[size_t(i)];
    }
    // The list is left in the order drawn.
    if (RenderBatch(facts_.data(), count_))
        for (int i = 0; i < count_; ++i) clients_[size_t(i)] = grouped_[size_t(i)]->client;
}

void SpritesRendererClass::DrawRun(const SpriteFacts* run, int count) {
    ClearClients();
    if (!quads_ || !quads_->HasBuffers() || count < 1) return;
    const int room = static_cast<int>(clients_.size());
    if (count > room) {
        if (room < 1) return;
        facts_.assign(run, run + room);
        facts_.back() = run[count - 1];
        RenderBatch(facts_.data(), room);
        return;
    }
    RenderBatch(run, count);
}

void SpritesRendererClass::Free() {
    if (QuadsRendererClass* q = std::exchange(quads_, nullptr)) q->Free();
    TBaseRenderUnit::Free();
}

// ---- the distance-reaction renderer ----------------------------------------------------------

SpritesRendererDRClass* SpritesRendererDRClass::Create(TBaseRenderUnit* parent, const Renderers& renderers) {
    auto* r = Make<SpritesRendererDRClass>(parent, kMaxClients);
    if (!r) return nullptr;
    r->SetName("SpritesRendererDR");
    r->renderers_ = renderers;
    return r;
}

void SpritesRendererDRClass::AddClient(ISpriteClient* client) {
    if (client && Engine && Engine->DefersClients()) return Engine->DeferClient(this, client);
    if (!client) {
        StoreClient(client);
        return;
    }
    // The camera stands still while a frame's clients come in.
    if (count_ == 0) {
        eye_ = {};
        if (IViewCamera* cam = GetCamera()) eye_ = cam->GetPosition();
    }
    client->SetDistanceFrom(eye_);
    StoreClient(client);
}

SpritesRendererClass* SpritesRendererDRClass::RendererFor(int32_t kind) const {
    switch (kind) {
    case static_cast<int32_t>(SpriteKind::SmokeBlend):
        return renderers_.smokeBlend;
    case static_cast<int32_t>(SpriteKind::SmokeAlpha):
        return renderers_.smokeAlpha;
    case static_cast<int32_t>(SpriteKind::Lamp):
        return renderers_.lamp;
    default:
        return renderers_.burst;
    }
}

namespace {

// A key whose unsigned order is the float's order (any sign), then flipped so
// that ascending keys run from the largest distance down.
uint64_t FarToNearKey(float distance, uint32_t index) {
    uint32_t bits;
    std::memcpy(&bits, &distance, sizeof bits);
    bits = (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
    return (static_cast<uint64_t>(~bits) << 32) | index;
}

// Orders the keys by their upper half with a stable radix sort of at most
// three passes: a frame's thousands of sprites sort in linear time, and equal
// distances keep their indices in order. The upper bits that all keys share
// (a frame's distances span few powers of two) cannot change the order: only
// the bits below them are sorted, in digits as narrow as the passes allow, so
// that the counters to clear and sum stay few.
// `differing` has the upper-half bits in which some keys differ from the first.
void SortFarToNear(std::vector<uint64_t>& keys, std::vector<uint64_t>& scratch, uint32_t differing) {
    constexpr int kMaxBits = 11;
    if (keys.size() < 64) {
        std::sort(keys.begin(), keys.end());
        return;
    }
    const int bits = 32 - std::countl_zero(differing);
    if (bits == 0) return; // one distance: the indices are in order already
    const int passes = (bits + kMaxBits - 1) / kMaxBits;
    const int width = (bits + passes - 1) / passes;
    const uint32_t buckets = 1u << width, mask = buckets - 1;
    uint32_t counts[3][1u << kMaxBits];
    for (auto& column : counts) std::fill_n(column, buckets, 0u);
    // All three digits are counted in one go (those of unused passes too:
    // counting is cheaper than choosing).
    for (uint64_t k : keys) {
        const uint32_t hi = static_cast<uint32_t>(k >> 32);
        ++counts[0][hi & mask];
        ++counts[1][(hi >> width) & mask];
        ++counts[2][(hi >> (2 * width)) & mask];
    }
    scratch.resize(keys.size());
    std::vector<uint64_t>* from = &keys;
    std::vector<uint64_t>* to = &scratch;
    for (int p = 0; p < passes; ++p) {
        uint32_t sum = 0;
        for (uint32_t b = 0; b < buckets; ++b) sum += std::exchange(counts[p][b], sum);
        const int shift = 32 + p * width;
        uint64_t* out = to->data();
        for (uint64_t k : *from) out[counts[p][(k >> shift) & mask]++] = k;
        std::swap(from, to);
    }
    if (from != &keys) keys.swap(*from);
}

} // namespace

void SpritesRendererDRClass::DoRender() {
    runs_.clear();
    if (count_ < 1) return;
    // Each client is asked once for all the sort and the drawing read.
    facts_.resize(size_t(count_));
    order_.resize(size_t(count_));
    uint32_t differing = 0;
    for (int i = 0; i < count_; ++i) {
        SpriteFacts& f = facts_[size_t(i)];
        ISpriteClient* c = clients_[size_t(i)];
        c->ReadFacts(f);
        f.client = c;
        const uint64_t key = FarToNearKey(f.distance, static_cast<uint32_t>(i));
        order_[size_t(i)] = key;
        differing |= static_cast<uint32_t>(key >> 32) ^ static_cast<uint32_t>(order_[0] >> 32);
    }
    SortFarToNear(order_, scratch_, differing);
    sorted_.resize(size_t(count_));
    for (int i = 0; i < count_; ++i) {
        const SpriteFacts& f = facts_[size_t(order_[size_t(i)] & 0xFFFFFFFFu)];
        sorted_[size_t(i)] = f;
        clients_[size_t(i)] = f.client;
    }
    // Each run of one renderer is drawn by it, and the next run starts.
    int start = 0;
    while (start < count_) {
        SpritesRendererClass* r = RendererFor(sorted_[size_t(start)].kind);
        int end = start + 1;
        while (end < count_ && RendererFor(sorted_[size_t(end)].kind) == r) ++end;
        if (r) {
            r->DrawRun(sorted_.data() + start, end - start);
            runs_.push_back(r);
        }
        start = end;
    }
}

void SpritesRendererDRClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) DropRenderer(sender->GetInstance());
    TBaseRenderUnit::Message(sender, msg, param);
}

void SpritesRendererDRClass::DropRenderer(TEngineObject* gone) {
    for (SpritesRendererClass** r :
         {&renderers_.burst, &renderers_.smokeBlend, &renderers_.lamp, &renderers_.smokeAlpha})
        if (*r && static_cast<TEngineObject*>(*r) == gone) *r = nullptr;
}

// ---- render operations of the engine root ------------------------------------------------------

RenderOpsClass* RenderOpsClass::CreateCopy(IEngineObject* carrier) const {
    return ClamClass::Init<RenderOpsClass>(carrier);
}

IRendererOps* RenderOpsClass::GetRenderer() {
    if (dr_) return dr_;
    auto* carrier = Carrier() ? dynamic_cast<TBaseRenderUnit*>(Carrier()->GetInstance()) : nullptr;
    auto make = [&](SpritesRendererClass*& field, const char* name) {
        field = SpritesRendererClass::Create(carrier, name);
        if (field) AddMutualSubscriber(field);
    };
    make(burst_, "fx_burst");
    make(smokeBlend_, "fx_smoke_blend");
    make(lamp_, "fx_lamp");
    make(smokeAlpha_, "fx_smoke_alpha");
    if (smokeAlpha_) smokeAlpha_->SetSortValue(RendererSortValue(3.1f));
    dr_ = SpritesRendererDRClass::Create(carrier, {burst_, smokeBlend_, lamp_, smokeAlpha_});
    if (!dr_) return nullptr;
    AddMutualSubscriber(dr_);
    for (SpritesRendererClass* r : {burst_, smokeBlend_, lamp_, smokeAlpha_})
        if (r) r->AddSubscriber(dr_);
    return dr_;
}

void RenderOpsClass::ClearClients() {
    for (IRendererOps* r : std::initializer_list<IRendererOps*>{burst_, smokeAlpha_, smokeBlend_, lamp_, dr_})
        if (r) r->ClearClients();
}

void RenderOpsClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* gone = sender->GetInstance();
        for (SpritesRendererClass** r : {&burst_, &smokeAlpha_, &smokeBlend_, &lamp_})
            if (*r && static_cast<TEngineObject*>(*r) == gone) *r = nullptr;
        if (dr_ && static_cast<TEngineObject*>(dr_) == gone) dr_ = nullptr;
    }
    ClamClass::Message(sender, msg, param);
}

} // namespace vesk
