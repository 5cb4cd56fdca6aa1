#pragma once
// Vertex and index buffers. All geometry lives in a few large device buffers
// shared by many render objects: one chunk manager owns one device buffer of
// one format, pool and usage and cuts it into chunks; a render object holds
// only its chunk (IVertexBuffer / IIndexBuffer), which knows its start and
// count and locks just its own range.
#include "platform/gfx/device.h"
#include "platform/math_types.h"
#include "shared/engine_object.h"
#include "shared/flags.h"

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

// ---- buffer parameters -----------------------------------------------------------
// Flags recording which parameters were set.
inline constexpr uint64_t BM_USEPOOL = 1;
inline constexpr uint64_t BM_USEUSAGE = 2;
inline constexpr uint64_t BM_USEFVF = 4;
inline constexpr uint64_t BM_USEFORMAT = 8;

class BMParamClass : public FlagClass {
public:
    // Also sets the stride from the vertex size.
    void SetFVF(uint32_t fvf);
    // 101 (16-bit indices) or 102 (32-bit); sets the stride.
    void SetFormat(uint32_t format);
    void SetPool(uint32_t pool);
    void SetUsage(uint32_t usage);
    // A parameter read before it was set is a fatal report; the field is returned anyway.
    uint32_t GetFormat() const;
    uint32_t GetFVF() const;
    uint32_t GetPool() const;
    uint32_t GetUsage() const;
    uint32_t GetStride() const;
    // Whether this format, pool and usage were all set and are the ones given
    // (the chunk managers, which always set them, are searched by this).
    bool Holds(uint32_t fvf, uint32_t pool, uint32_t usage) const {
        constexpr uint64_t all = BM_USEFVF | BM_USEPOOL | BM_USEUSAGE;
        return (Flags() & all) == all && FVF == fvf && Pool == pool && Usage == usage;
    }

protected:
    uint32_t FVF = 0;
    uint32_t Pool = 0;
    uint32_t Format = 0;
    uint32_t Usage = 0;
    uint32_t Stride = 0; // derived from the FVF or the format
};

// Bytes per vertex of a vertex format.
uint32_t GetFVFVertexSize(uint32_t fvf);

// ---- the program's vertex formats ------------------------------------------------------
inline constexpr uint32_t FVF_PosColorTex2 = 0x242;
inline constexpr uint32_t FVF_TLVertex = 0x1C4;
inline constexpr uint32_t FVF_TLColorTex = 0x144;
inline constexpr uint32_t FVF_TLColorTexB = 0x144;
inline constexpr uint32_t FVF_PosColorTex = 0x142;
inline constexpr uint32_t FVF_PosNormal = 0x12;
inline constexpr uint32_t FVF_PosNormalTex = 0x112;
inline constexpr uint32_t FVF_PosNormalTex2 = 0x212;
inline constexpr uint32_t FVF_PosSizeColor = 0x62;

struct VertexPosColorTex2 {
    float x, y, z;
    uint32_t color;
    float u0, v0, u1, v1;
};
struct VertexTL {
    float x, y, z, rhw;
    uint32_t color, specular;
    float u, v;
};
struct VertexTLColorTex {
    float x, y, z, rhw;
    uint32_t color;
    float u, v;
};
struct VertexPosColorTex {
    float x, y, z;
    uint32_t color;
    float u, v;
};
struct VertexPosNormal {
    float x, y, z, nx, ny, nz;
};
struct VertexPosNormalTex {
    float x, y, z, nx, ny, nz, u, v;
};
struct VertexPosNormalTex2 {
    float x, y, z, nx, ny, nz, u0, v0, u1, v1;
};
struct VertexPosSizeColor {
    float x, y, z, size;
    uint32_t color;
};
static_assert(sizeof(VertexPosColorTex2) == 32 && sizeof(VertexTL) == 32 && sizeof(VertexTLColorTex) == 28 &&
              sizeof(VertexPosColorTex) == 24 && sizeof(VertexPosNormal) == 24 &&
              sizeof(VertexPosNormalTex) == 32 && sizeof(VertexPosNormalTex2) == 40 &&
              sizeof(VertexPosSizeColor) == 20);

inline void FillVertexPosColorTex2(VertexPosColorTex2& v, const Vec3& p, uint32_t color, float u0, float v0,
                                   float u1, float v1) {
    v = {p.x, p.y, p.z, color, u0, v0, u1, v1};
}
inline void FillVertexPosColorTex(VertexPosColorTex& v, const Vec3& p, uint32_t color, float u, float tv) {
    v = {p.x, p.y, p.z, color, u, tv};
}
inline void FillVertexPosColorTexB(VertexPosColorTex& v, const Vec3& p, uint32_t color, float u, float tv) {
    FillVertexPosColorTex(v, p, color, u, tv);
}
// Position and colour only; the rest of the record stays as it was.
template <class V> void FillVertexPosColor(V& v, const Vec3& p, uint32_t color) {
    v.x = p.x;
    v.y = p.y;
    v.z = p.z;
    v.color = color;
}
// The specular colour stays as it was.
inline void FillTLVertex(VertexTL& v, float x, float y, float z, float rhw, uint32_t color, float u,
                         float tv) {
    v.x = x;
    v.y = y;
    v.z = z;
    v.rhw = rhw;
    v.color = color;
    v.u = u;
    v.v = tv;
}

// ---- chunks --------------------------------------------------------------------------
class BuffersManagerClass;
class BufferChunkManagerClass;
class IndexBufferChunkManagerClass;

class IVertexBuffer {
public:
    // The shared device buffer (no new reference).
    virtual platform::IDirect3DVertexBuffer9* GetD3DBuffer() = 0;
    virtual uint32_t GetFVF() = 0;
    virtual uint32_t GetStride() = 0;
    virtual uint32_t GetStart() = 0;
    virtual uint32_t GetCount() = 0;
    // Locks vertCount vertices from vertFrom on, counted from the chunk's start.
    virtual platform::Result Lock(void** data, uint32_t vertFrom, uint32_t vertCount, uint32_t flags) = 0;
    virtual void Unlock() = 0;
    // Gives the chunk back to its manager.
    virtual void Release() = 0;
    // A new chunk of the same count, format, usage and pool with a copy of the vertices.
    virtual IVertexBuffer* Copy() = 0;

protected:
    ~IVertexBuffer() = default;
};

class IIndexBuffer {
public:
    virtual platform::IDirect3DIndexBuffer9* GetD3DBuffer() = 0;
    virtual uint32_t GetStride() = 0;
    virtual platform::Result Lock(void** data, uint32_t from, uint32_t count, uint32_t flags) = 0;
    virtual void Unlock() = 0;
    // Marks the chunk free.
    virtual void Release() = 0;
    // Scans the chunk for its smallest and largest index.
    virtual void UpdateMinMax() = 0;
    virtual uint32_t GetMinIndex() = 0;
    virtual uint32_t GetMaxIndex() = 0;
    virtual uint32_t GetStart() = 0;
    virtual uint32_t GetCount() = 0;
    // Element i of locked index data of this chunk's format.
    virtual uint32_t GetIndex(const void* data, uint32_t i) = 0;
    virtual void SetIndex(void* data, uint32_t i, uint32_t value) = 0;
    virtual IIndexBuffer* Copy() = 0;

protected:
    ~IIndexBuffer() = default;
};

// What both kinds of chunk hold. Chunks belong to their manager's list; the
// engine object's deferred destruction never frees one (Release gives it back).
class BufferChunk : public TEngineObject {
public:
    bool IsFree() const { return free_; }
    uint32_t Start() const { return start_; }
    uint32_t Count() const { return count_; }
    // A chunk is freed only by its manager; freeing it from outside gives it back.
    void Free() override { Release(); }

protected:
    BufferChunk(uint32_t start, uint32_t count) : start_(start), count_(count) {}
    template <class> friend class ChunkList;
    // A chunk still held when its manager goes away (render objects of cached
    // models are freed after the buffer managers at shut-down) outlives the
    // manager: it frees itself when its holder gives it back.
    bool orphaned_ = false;
    bool free_ = true;
    uint32_t start_;
    uint32_t count_;
};

class VertexBufferClass final : public BufferChunk, public IVertexBuffer {
public:
    VertexBufferClass(BufferChunkManagerClass* manager, uint32_t start, uint32_t count)
        : BufferChunk(start, count), manager_(manager) {}
    platform::IDirect3DVertexBuffer9* GetD3DBuffer() override;
    uint32_t GetFVF() override;
    uint32_t GetStride() override;
    uint32_t GetStart() override { return start_; }
    uint32_t GetCount() override { return count_; }
    platform::Result Lock(void** data, uint32_t vertFrom, uint32_t vertCount, uint32_t flags) override;
    void Unlock() override;
    void Release() override;
    IVertexBuffer* Copy() override;
    BufferChunkManagerClass* Manager() const { return manager_; }

private:
    friend class BufferChunkManagerClass;
    template <class> friend class ChunkList;
    BufferChunkManagerClass* manager_;
};

class IndexBufferClass final : public BufferChunk, public IIndexBuffer {
public:
    IndexBufferClass(IndexBufferChunkManagerClass* manager, uint32_t start, uint32_t count)
        : BufferChunk(start, count), manager_(manager) {}
    platform::IDirect3DIndexBuffer9* GetD3DBuffer() override;
    uint32_t GetStride() override;
    platform::Result Lock(void** data, uint32_t from, uint32_t count, uint32_t flags) override;
    void Unlock() override;
    void Release() override;
    void UpdateMinMax() override;
    uint32_t GetMinIndex() override { return minIndex_; }
    uint32_t GetMaxIndex() override { return maxIndex_; }
    uint32_t GetStart() override { return start_; }
    uint32_t GetCount() override { return count_; }
    uint32_t GetIndex(const void* data, uint32_t i) override;
    void SetIndex(void* data, uint32_t i, uint32_t value) override;
    IIndexBuffer* Copy() override;
    IndexBufferChunkManagerClass* Manager() const { return manager_; }

private:
    template <class> friend class ChunkList;
    IndexBufferChunkManagerClass* manager_;
    uint32_t maxIndex_ = 0;
    uint32_t minIndex_ = 0;
};

// ---- chunk managers --------------------------------------------------------------------
// The ordered chunk list of one device buffer. The chunks tile the buffer in
// list order: the first starts at 0, each next one where the previous ends.
template <class Chunk> class ChunkList : public BMParamClass {
public:
    ChunkList(const ChunkList&) = delete;
    ChunkList& operator=(const ChunkList&) = delete;
    uint32_t Capacity() const { return capacity_; }
    const std::list<Chunk*>& Chunks() const { return chunks_; }
    // First fit in list order: the chunk is cut to count and marked used;
    // nullptr when no free chunk is large enough.
    Chunk* AllocChunk(uint32_t count);
    // Cuts n elements off the front of a free chunk; the rest (even of count 0)
    // follows it as a free chunk.
    bool SplitChunk(Chunk* chunk, uint32_t n);
    BuffersManagerClass* Owner() const { return owner_; }

protected:
    ChunkList(BuffersManagerClass* owner, const char* className) : owner_(owner), className_(className) {}
    ~ChunkList();
    typename std::list<Chunk*>::iterator Find(Chunk* chunk);
    BuffersManagerClass* owner_;
    const char* className_;
    uint32_t capacity_ = 0;
    std::list<Chunk*> chunks_;
};

class BufferChunkManagerClass final : public ChunkList<VertexBufferClass> {
public:
    explicit BufferChunkManagerClass(BuffersManagerClass* owner)
        : ChunkList(owner, "BufferChunkManagerClass") {}
    // Creates the device buffer and one free chunk over all of it.
    bool Init(uint32_t capacity, uint32_t fvf, uint32_t usage, uint32_t pool);
    platform::IDirect3DVertexBuffer9* GetD3DBuffer() const { return buffer_.Get(); }
    // Frees the chunk and joins it with free neighbours.
    void ReleaseChunk(VertexBufferClass* chunk);
    // One fast-log entry describing the chunks.
    std::string DumpText() const;

private:
    platform::Ref<platform::IDirect3DVertexBuffer9> buffer_;
};

class IndexBufferChunkManagerClass final : public ChunkList<IndexBufferClass> {
public:
    explicit IndexBufferChunkManagerClass(BuffersManagerClass* owner)
        : ChunkList(owner, "IndexBufferChunkManagerClass") {}
    bool Init(uint32_t capacity, uint32_t format, uint32_t pool);
    platform::IDirect3DIndexBuffer9* GetD3DBuffer() const { return buffer_.Get(); }
    std::string DumpText() const;

private:
    platform::Ref<platform::IDirect3DIndexBuffer9> buffer_;
};

// ---- the buffer manager -----------------------------------------------------------------
class BuffersManagerClass {
public:
    BuffersManagerClass(uint32_t vertexGrowth = 2000, uint32_t indexGrowth = 1000)
        : vertexGrowth_(vertexGrowth), indexGrowth_(indexGrowth) {}
    BuffersManagerClass(const BuffersManagerClass&) = delete;
    BuffersManagerClass& operator=(const BuffersManagerClass&) = delete;

    // A vertex chunk; params, when given, replace the pool, FVF and usage it has set.
    IVertexBuffer* GetVB(uint32_t count, uint32_t fvf, uint32_t pool, uint32_t usage,
                         const BMParamClass* params = nullptr);
    // An index chunk; format 0 chooses 16-bit below 65535 indices, else 32-bit.
    IIndexBuffer* GetIB(uint32_t count, uint32_t format, uint32_t pool);
    // Sets the chunk's device buffer as the device's indices when it is not the current one.
    void SetIndices(IIndexBuffer* ib);
    // Every chunk manager to the fast log.
    void DumpBuffers() const;

    const std::vector<std::unique_ptr<BufferChunkManagerClass>>& VertexManagers() const { return vertex_; }
    const std::vector<std::unique_ptr<IndexBufferChunkManagerClass>>& IndexManagers() const { return index_; }

private:
    uint32_t vertexGrowth_;
    uint32_t indexGrowth_;
    std::vector<std::unique_ptr<BufferChunkManagerClass>> vertex_;
    std::vector<std::unique_ptr<IndexBufferChunkManagerClass>> index_;
    IIndexBuffer* currentIndices_ = nullptr;
};

// The program's buffer manager: made at start-up, freed at shut-down.
extern std::unique_ptr<BuffersManagerClass> BuffersManager;

} // namespace vesk
