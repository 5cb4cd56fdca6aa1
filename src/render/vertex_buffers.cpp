#include "render/vertex_buffers.h"

#include "render/device.h"
#include "shared/errors.h"

#include <algorithm>
#include <cstring>

namespace vesk {

using namespace platform;

std::unique_ptr<BuffersManagerClass> BuffersManager;

// ---- parameters ------------------------------------------------------------------------
void BMParamClass::SetFVF(uint32_t fvf) {
    AddFlags(BM_USEFVF);
    FVF = fvf;
    Stride = GetFVFVertexSize(fvf);
}

void BMParamClass::SetFormat(uint32_t format) {
    AddFlags(BM_USEFORMAT);
    Format = format;
    if (format == D3DFMT_INDEX16)
        Stride = 2;
    else if (format == D3DFMT_INDEX32)
        Stride = 4;
    else
        ErrorReport("BMParamClass.SetFormat: UNKNOWN FORMAT", "mhl");
}

void BMParamClass::SetPool(uint32_t pool) {
    AddFlags(BM_USEPOOL);
    Pool = pool;
}

void BMParamClass::SetUsage(uint32_t usage) {
    AddFlags(BM_USEUSAGE);
    Usage = usage;
}

uint32_t BMParamClass::GetFormat() const {
    if (!HasFlags(BM_USEFORMAT)) ErrorReport("BMParamClass.GetFormat: not _Is(BM_USEFORMAT)", "mhl");
    return Format;
}

uint32_t BMParamClass::GetFVF() const {
    if (!HasFlags(BM_USEFVF)) ErrorReport("BMParamClass.GetFVF: not _Is(BM_USEFVF)", "mhl");
    return FVF;
}

uint32_t BMParamClass::GetPool() const {
    if (!HasFlags(BM_USEPOOL)) ErrorReport("BMParamClass.GetPool: not _Is(BM_USEPOOL)", "mhl");
    return Pool;
}

uint32_t BMParamClass::GetUsage() const {
    if (!HasFlags(BM_USEUSAGE)) ErrorReport("BMParamClass.GetUsage: not _Is(BM_USEUSAGE)", "mhl");
    return Usage;
}

uint32_t BMParamClass::GetStride() const {
    if (!HasFlags(BM_USEFVF | BM_USEFORMAT))
        ErrorReport("BMParamClass.GetStride: not _Is(BM_USEFVF): you must set fvf first", "mhl");
    return Stride;
}

uint32_t GetFVFVertexSize(uint32_t fvf) {
    return FvfVertexSize(fvf);
}

// ---- chunk lists -----------------------------------------------------------------------
template <class Chunk> ChunkList<Chunk>::~ChunkList() {
    for (Chunk* c : chunks_) {
        if (c->free_) {
            c->TEngineObject::Free();
        } else {
            c->orphaned_ = true;
            c->manager_ = nullptr;
        }
    }
}

template <class Chunk> typename std::list<Chunk*>::iterator ChunkList<Chunk>::Find(Chunk* chunk) {
    return std::find(chunks_.begin(), chunks_.end(), chunk);
}

template <class Chunk> Chunk* ChunkList<Chunk>::AllocChunk(uint32_t count) {
    for (Chunk* c : chunks_) {
        if (!c->free_ || c->count_ < count) continue;
        if (!SplitChunk(c, count)) return nullptr;
        c->free_ = false;
        return c;
    }
    return nullptr;
}

template <class Chunk> bool ChunkList<Chunk>::SplitChunk(Chunk* chunk, uint32_t n) {
    const std::string where = std::string(className_) + ".SplitChunk: ";
    auto it = Find(chunk);
    if (it == chunks_.end()) {
        ErrorReport(where + "no such chunk in list", "mhl");
        return false;
    }
    if (!chunk->free_) {
        ErrorReport(where + "not chunk.IsFree", "mhl");
        return false;
    }
    if (n > chunk->count_) {
        ErrorReport(where + "not enought vertCount", "mhl");
        return false;
    }
    Chunk* rest = TEngineObject::New<Chunk>(chunk->Manager(), chunk->start_ + n, chunk->count_ - n);
    chunks_.insert(std::next(it), rest);
    chunk->count_ = n;
    return true;
}

template class ChunkList<VertexBufferClass>;
template class ChunkList<IndexBufferClass>;

// ---- vertex chunk manager -------------------------------------------------------------
bool BufferChunkManagerClass::Init(uint32_t capacity, uint32_t fvf, uint32_t usage, uint32_t pool) {
    SetFVF(fvf);
    SetUsage(usage);
    SetPool(pool);
    capacity_ = capacity;
    if (!Device) {
        ErrorReport("BufferChunkManagerClass.Init: d3dd = nil", "mhl");
        return false;
    }
    const uint64_t bytes = uint64_t(capacity) * Stride;
    Result r = bytes > 0xFFFFFFFFu ? E_OUTOFMEMORY
                                   : Device->CreateVertexBuffer(uint32_t(bytes), usage, fvf, D3DPOOL(pool),
                                                                buffer_.Put(), nullptr);
    if (Failed(r) || !buffer_) {
        if (r == D3DERR_OUTOFVIDEOMEMORY && owner_) owner_->DumpBuffers();
        ErrorReport("BufferChunkManagerClass.Init: d3dd.CreateVertexBuffer()", "mhl");
        return false;
    }
    chunks_.push_back(TEngineObject::New<VertexBufferClass>(this, 0, capacity));
    return true;
}

void BufferChunkManagerClass::ReleaseChunk(VertexBufferClass* chunk) {
    auto it = Find(chunk);
    if (it == chunks_.end()) {
        ErrorReport("BufferChunkManagerClass.ReleaseChunk: no such chunk in list", "mhl");
        return;
    }
    chunk->free_ = true;
    if (it != chunks_.begin()) {
        auto prev = std::prev(it);
        if ((*prev)->free_) {
            chunk->start_ = (*prev)->start_;
            chunk->count_ += (*prev)->count_;
            VertexBufferClass* gone = *prev;
            chunks_.erase(prev);
            gone->TEngineObject::Free();
        }
    }
    auto next = std::next(it);
    if (next != chunks_.end() && (*next)->free_) {
        chunk->count_ += (*next)->count_;
        VertexBufferClass* gone = *next;
        chunks_.erase(next);
        gone->TEngineObject::Free();
    }
}

namespace {

const char* PoolName(uint32_t pool) {
    switch (pool) {
    case D3DPOOL_DEFAULT:
        return "D3DPOOL_DEFAULT";
    case D3DPOOL_MANAGED:
        return "D3DPOOL_MANAGED";
    case D3DPOOL_SYSTEMMEM:
        return "D3DPOOL_SYSTEMMEM";
    case D3DPOOL_SCRATCH:
        return "D3DPOOL_SCRATCH";
    default:
        return "UNKNOWN";
    }
}

std::string FvfFlagNames(uint32_t fvf) {
    std::string s;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
        s += "D3DFVF_XYZ | ";
        break;
    case D3DFVF_XYZRHW:
        s += "D3DFVF_XYZRHW | ";
        break;
    case D3DFVF_XYZW:
        s += "D3DFVF_XYZW | ";
        break;
    case D3DFVF_XYZB1:
        s += "D3DFVF_XYZB1 | ";
        break;
    case D3DFVF_XYZB2:
        s += "D3DFVF_XYZB2 | ";
        break;
    case D3DFVF_XYZB3:
        s += "D3DFVF_XYZB3 | ";
        break;
    case D3DFVF_XYZB4:
        s += "D3DFVF_XYZB4 | ";
        break;
    case D3DFVF_XYZB5:
        s += "D3DFVF_XYZB5 | ";
        break;
    default:
        break;
    }
    if (fvf & D3DFVF_NORMAL) s += "D3DFVF_NORMAL | ";
    if (fvf & D3DFVF_PSIZE) s += "D3DFVF_PSIZE | ";
    if (fvf & D3DFVF_DIFFUSE) s += "D3DFVF_DIFFUSE | ";
    if (fvf & D3DFVF_SPECULAR) s += "D3DFVF_SPECULAR | ";
    const uint32_t sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (sets > 0) {
        s += "D3DFVF_TEX" + std::to_string(sets) + " | ";
        for (uint32_t i = 0; i < sets && i < 8; ++i)
            s += "TEXCOORDSIZE(" + std::to_string(FvfTexCoordSize(fvf, i)) + ") | ";
    }
    return s;
}

} // namespace

std::string BufferChunkManagerClass::DumpText() const {
    std::string s = std::string("[BCM begin dump] pool: ") + PoolName(Pool);
    int i = 0;
    for (const VertexBufferClass* c : chunks_) {
        s += "\rchunk: index: " + std::to_string(i++) + ", fvf: " + FvfFlagNames(FVF) +
             (c->IsFree() ? ", free" : "used") + ", start: " + std::to_string(c->Start()) +
             ", count: " + std::to_string(c->Count());
    }
    return s + "\r[BCM end dump]";
}

// ---- index chunk manager --------------------------------------------------------------
bool IndexBufferChunkManagerClass::Init(uint32_t capacity, uint32_t format, uint32_t pool) {
    SetFormat(format);
    SetPool(pool);
    capacity_ = capacity;
    if (!Device) {
        ErrorReport("IndexBufferChunkManagerClass.Init: d3dd = nil", "mhl");
        return false;
    }
    const uint64_t bytes = uint64_t(capacity) * Stride;
    Result r = bytes > 0xFFFFFFFFu ? E_OUTOFMEMORY
                                   : Device->CreateIndexBuffer(uint32_t(bytes), 0, D3DFORMAT(format),
                                                               D3DPOOL(pool), buffer_.Put(), nullptr);
    if (Failed(r) || !buffer_) {
        ErrorReport("IndexBufferChunkManagerClass.Init: d3dd.CreateIndexBuffer()", "mhl");
        return false;
    }
    chunks_.push_back(TEngineObject::New<IndexBufferClass>(this, 0, capacity));
    return true;
}

std::string IndexBufferChunkManagerClass::DumpText() const {
    std::string s = std::string("[BCM IB begin dump]") + (Format == D3DFMT_INDEX16 ? ", fmt16" : ", fmt32");
    int i = 0;
    for (const IndexBufferClass* c : chunks_) {
        s += "\rchunk: index: " + std::to_string(i++) + ", start: " + std::to_string(c->Start()) +
             ", count: " + std::to_string(c->Count()) + (c->IsFree() ? ", status: free" : ", status: used");
    }
    return s + "\r[BCM IB end dump]";
}

// ---- locking ------------------------------------------------------------------------------
namespace {

// Locks [first, first + count) elements of stride bytes of a device buffer
// after checking the range against the buffer's size.
template <class Buffer, class Desc>
Result LockRange(Buffer* buffer, const char* what, uint32_t chunkStart, uint32_t from, uint32_t count,
                 uint32_t stride, uint32_t flags, void** data) {
    *data = nullptr;
    Desc desc;
    buffer->GetDesc(&desc);
    const uint64_t needed = (uint64_t(chunkStart) + from + count) * stride;
    if (needed > desc.Size) {
        ErrorReport(std::string(what) + " crash: desc.Size(" + std::to_string(desc.Size) + ")<=(size * " +
                        (std::string(what) == "VertexBufferClass.Lock" ? "(StartIndex+_vertFrom+_vertCount))("
                                                                       : "(StartIndex+_From+_Count))(") +
                        std::to_string(needed) + ")",
                    "mhl");
        return D3DERR_INVALIDCALL;
    }
    return buffer->Lock(uint32_t((uint64_t(chunkStart) + from) * stride), count * stride, data, flags);
}

// The first count elements of one chunk into another, both locked from 0.
template <class From, class To> void CopyElements(From* from, To* to, uint32_t count, uint32_t stride) {
    void* src = nullptr;
    void* dst = nullptr;
    if (Failed(from->Lock(&src, 0, count, 0))) return;
    if (Succeeded(to->Lock(&dst, 0, count, 0))) {
        std::memcpy(dst, src, size_t(count) * stride);
        to->Unlock();
    }
    from->Unlock();
}

} // namespace

IDirect3DVertexBuffer9* VertexBufferClass::GetD3DBuffer() {
    return manager_->GetD3DBuffer();
}
uint32_t VertexBufferClass::GetFVF() {
    return manager_->GetFVF();
}
uint32_t VertexBufferClass::GetStride() {
    return manager_->GetStride();
}

Result VertexBufferClass::Lock(void** data, uint32_t vertFrom, uint32_t vertCount, uint32_t flags) {
    return LockRange<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>(
        GetD3DBuffer(), "VertexBufferClass.Lock", start_, vertFrom, vertCount, GetStride(), flags, data);
}

void VertexBufferClass::Unlock() {
    if (Failed(GetD3DBuffer()->Unlock())) ErrorReport("VertexBufferClass.Unlock", "mhl");
}

void VertexBufferClass::Release() {
    if (orphaned_) {
        TEngineObject::Free();
        return;
    }
    manager_->ReleaseChunk(this);
}

void IndexBufferClass::Release() {
    if (orphaned_) {
        TEngineObject::Free();
        return;
    }
    free_ = true;
}

IVertexBuffer* VertexBufferClass::Copy() {
    BuffersManagerClass* owner = manager_->Owner();
    if (!owner) return nullptr;
    IVertexBuffer* copy =
        owner->GetVB(count_, manager_->GetFVF(), manager_->GetPool(), manager_->GetUsage(), nullptr);
    if (copy) CopyElements(this, copy, count_, GetStride());
    return copy;
}

IDirect3DIndexBuffer9* IndexBufferClass::GetD3DBuffer() {
    return manager_->GetD3DBuffer();
}
uint32_t IndexBufferClass::GetStride() {
    return manager_->GetStride();
}

Result IndexBufferClass::Lock(void** data, uint32_t from, uint32_t count, uint32_t flags) {
    return LockRange<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>(
        GetD3DBuffer(), "IndexBufferClass.Lock", start_, from, count, GetStride(), flags, data);
}

void IndexBufferClass::Unlock() {
    if (Failed(GetD3DBuffer()->Unlock())) ErrorReport("IndexBufferClass.Unlock", "mhl");
}

uint32_t IndexBufferClass::GetIndex(const void* data, uint32_t i) {
    if (manager_->GetFormat() == D3DFMT_INDEX16) return static_cast<const uint16_t*>(data)[i];
    return static_cast<const uint32_t*>(data)[i];
}

void IndexBufferClass::SetIndex(void* data, uint32_t i, uint32_t value) {
    if (manager_->GetFormat() == D3DFMT_INDEX16) {
        static_cast<uint16_t*>(data)[i] = static_cast<uint16_t>(value);
        if (value > 0xFFFF)
            ErrorReport("IndexBufferClass.SetIndex: _value > $FFFF (GetFORMAT = D3DFMT_INDEX16)", "mhl");
        return;
    }
    static_cast<uint32_t*>(data)[i] = value;
}

void IndexBufferClass::UpdateMinMax() {
    void* data = nullptr;
    if (Failed(Lock(&data, 0, count_, D3DLOCK_READONLY)) || !data) return;
    // The format is asked once, not per index: quad stores scan thousands.
    auto scan = [this](const auto* index) {
        uint32_t lo = 0x0FFFFFFF, hi = 0;
        for (uint32_t i = 0; i < count_; ++i) {
            const uint32_t v = index[i];
            hi = std::max(hi, v);
            lo = std::min(lo, v);
        }
        minIndex_ = lo;
        maxIndex_ = hi;
    };
    if (manager_->GetFormat() == D3DFMT_INDEX16)
        scan(static_cast<const uint16_t*>(data));
    else
        scan(static_cast<const uint32_t*>(data));
    Unlock();
}

IIndexBuffer* IndexBufferClass::Copy() {
    BuffersManagerClass* owner = manager_->Owner();
    if (!owner) return nullptr;
    IIndexBuffer* copy = owner->GetIB(count_, manager_->GetFormat(), manager_->GetPool());
    if (!copy) return nullptr;
    CopyElements(this, copy, count_, GetStride());
    auto* c = static_cast<IndexBufferClass*>(copy);
    c->minIndex_ = minIndex_;
    c->maxIndex_ = maxIndex_;
    return copy;
}

// ---- the buffer manager ------------------------------------------------------------------
IVertexBuffer* BuffersManagerClass::GetVB(uint32_t count, uint32_t fvf, uint32_t pool, uint32_t usage,
                                          const BMParamClass* params) {
    if (params) {
        if (params->HasFlags(BM_USEPOOL)) pool = params->GetPool();
        if (params->HasFlags(BM_USEFVF)) fvf = params->GetFVF();
        if (params->HasFlags(BM_USEUSAGE)) usage = params->GetUsage();
    }
    // A dynamic buffer is rewritten whole, so it is never shared while any part is in use.
    const bool dynamic = (usage & D3DUSAGE_DYNAMIC) != 0;
    for (auto& m : vertex_) {
        if (!m->Holds(fvf, pool, usage)) continue;
        if (dynamic && m->Chunks().size() > 1) continue;
        if (VertexBufferClass* c = m->AllocChunk(count)) return c;
    }
    auto manager = std::make_unique<BufferChunkManagerClass>(this);
    if (!manager->Init(dynamic ? count : std::max(count, vertexGrowth_), fvf, usage, pool)) return nullptr;
    vertex_.push_back(std::move(manager));
    VertexBufferClass* c = vertex_.back()->AllocChunk(count);
    if (!c) ErrorReport("BuffersManagerClass.GetVB: vbchunkman.AllocChunk", "mhl");
    return c;
}

IIndexBuffer* BuffersManagerClass::GetIB(uint32_t count, uint32_t format, uint32_t pool) {
    if (format == 0) format = count < 0xFFFF ? D3DFMT_INDEX16 : D3DFMT_INDEX32;
    uint32_t capacity = count;
    if (pool != D3DPOOL_SYSTEMMEM) {
        for (auto& m : index_) {
            if (m->GetFormat() != format) continue;
            if (IndexBufferClass* c = m->AllocChunk(count)) return c;
        }
        capacity = std::max(count, indexGrowth_);
    }
    auto manager = std::make_unique<IndexBufferChunkManagerClass>(this);
    if (!manager->Init(capacity, format, pool)) return nullptr;
    index_.push_back(std::move(manager));
    IndexBufferClass* c = index_.back()->AllocChunk(count);
    if (!c) ErrorReport("BuffersManagerClass.GetIB: ibchunkman.AllocChunk", "mhl");
    return c;
}

void BuffersManagerClass::SetIndices(IIndexBuffer* ib) {
    if (ib == currentIndices_) return;
    if (Device) Device->SetIndices(ib ? ib->GetD3DBuffer() : nullptr);
    currentIndices_ = ib;
}

void BuffersManagerClass::DumpBuffers() const {
    FastLogAdd("[BMC VB DUMP BEGIN]");
    for (const auto& m : vertex_) FastLogAdd(m->DumpText());
    FastLogAdd("[BMC VB DUMP END]");
    FastLogAdd("[BMC IB DUMP BEGIN]");
    for (const auto& m : index_) FastLogAdd(m->DumpText());
    FastLogAdd("[BMC IB DUMP END]");
}

} // namespace vesk
