#pragma once
// The render object: the unit of drawing. One vertex chunk, a list of
// materials each with its own primitive count and optional index chunk, a
// render-state set applied around the draw, an optional fog, and either the
// fixed-function pipeline or a vertex declaration with a vertex shader.
// Simple geometries (quads, points, lines, strips, point sprites) are
// prepared by Create from one flag of the flag word; models are filled by
// the builders (ro_builders.h).
#include "platform/gfx/device.h"
#include "platform/math_types.h"
#include "render/fog.h"
#include "render/material.h"
#include "render/render_unit.h"
#include "render/vertex_buffers.h"
#include "shared/engine_object.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

class IRenderStatesInterface;
class IFogOperationsInterface;
class RenderStateManagerClass;
class FogClass;

// ---- flags -------------------------------------------------------------------------------
inline constexpr uint64_t RO_QUADS = 0x200000;
inline constexpr uint64_t RO_QUAD = 0x400000;
inline constexpr uint64_t RO_TLQUADS = 0x800000;
inline constexpr uint64_t RO_TLSCREENQUAD = 0x1000000;
inline constexpr uint64_t RO_POINTS = 0x2000000;
inline constexpr uint64_t RO_TLPOINTS = 0x400000000;
inline constexpr uint64_t RO_LINES = 0x4000000;
inline constexpr uint64_t RO_TLLINES = 0x8000000;
inline constexpr uint64_t RO_TLSTRIP = 0x40000000;
inline constexpr uint64_t RO_TLFAN = 0x80000000;
inline constexpr uint64_t RO_TLLINESTRIP = 0x100000000;
inline constexpr uint64_t RO_LINESTRIP = 0x200000000;
inline constexpr uint64_t RO_INDEXEDQUADS = 0x2000000000;
inline constexpr uint64_t RO_POINTSPRITES = 0x1000000000;
inline constexpr uint64_t RO_VERTEXSHADER = 0x10000000;
inline constexpr uint64_t RO_MORPHSTREAMS = 0x20000000;
inline constexpr uint64_t RO_HIDDEN = 0x8000000000000000;

// A queued vertex-shader constant: kind 1 float, 2 integer, 4 boolean.
struct ROShaderConstant {
    uint16_t kind = 1;
    uint16_t startRegister = 0;
    std::vector<uint32_t> data; // count vectors of four values
    uint16_t count = 0;
};

// The vertex stream a morpher hands a render object.
struct MorphStreamData {
    int32_t stream = -1;
    uint32_t fvf = 0;
    uint32_t stride = 0;
    platform::IDirect3DVertexBuffer9* buffer = nullptr;
};

// What a render object asks of its morpher; the morphing code implements it.
class IRenderObjectMorpher {
public:
    virtual ~IRenderObjectMorpher() = default;
    virtual bool GetVertexData(int stream, MorphStreamData*& out) = 0;
    // Sets its own streams on the device and updates MorphStreamsInUse.
    virtual void SetStreams() = 0;
};
// Streams the morphers have in use (stream 0 included).
extern uint32_t MorphStreamsInUse;

class TRenderObject final : public TEngineObject, public IUnitRenderObject, public IObjectName {
public:
    TRenderObject();

    void Create(uint32_t pool, uint64_t applyFlags, uint64_t restoreFlags, uint64_t flags, uint64_t count,
                uint32_t usage);

    ROMaterialClass* AddMaterial();
    ROMaterialClass* GetMaterial(size_t i) const;
    bool TryGetMaterial(size_t i, ROMaterialClass*& out) const;
    size_t MaterialCount() const { return materials_ ? materials_->size() : 0; }

    void SetFlag(uint64_t mask) { flags_ |= mask; }
    void ClearFlag(uint64_t mask) { flags_ &= ~mask; }
    uint64_t Flags() const { return flags_; }

    void SetVB(IVertexBuffer* vb) { vb_ = vb; }
    IVertexBuffer* GetVB() const { return vb_; }
    platform::Result LockVB(void** data, uint32_t from, uint32_t count, uint32_t flags);
    void UnlockVB();

    void CreateVertexDeclaration(const platform::D3DVERTEXELEMENT9* elements);
    void SetVertexShaderFile(const std::string& file) { shaderFile_ = file; }
    void AddShaderConstant(ROShaderConstant constant) { constants_.push_back(std::move(constant)); }
    size_t PendingConstants() const { return constants_.size(); }

    IRenderStatesInterface* GetRenderStates() const;
    RenderStateManagerClass* RenderStates() const { return states_; }
    IFogOperationsInterface* GetFog();
    // Takes the morpher over.
    void SetMorpher(std::unique_ptr<IRenderObjectMorpher> morpher) { morpher_ = std::move(morpher); }
    IRenderObjectMorpher* GetMorpher() const { return morpher_.get(); }

    void Render();

    const Matrix& GetMatrix() const { return matrix_; }
    void SetMatrix(const Matrix& m) { matrix_ = m; }
    const std::string& GetName() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    platform::D3DPRIMITIVETYPE PrimitiveType() const { return primitiveType_; }
    void SetPrimitiveType(platform::D3DPRIMITIVETYPE t) { primitiveType_ = t; }
    uint32_t VertexCount() const { return vertexCount_; }
    void SetVertexCount(uint32_t n) { vertexCount_ = n; }
    uint32_t ElementCount() const { return elementCount_; }
    uint32_t PrimitiveTotal() const { return primitiveTotal_; }
    uint32_t VertexTotal() const { return vertexTotal_; }
    uint32_t ByteTotal() const { return byteTotal_; }
    void SetTotals(uint32_t primitives, uint32_t vertices, uint32_t bytes) {
        primitiveTotal_ = primitives;
        vertexTotal_ = vertices;
        byteTotal_ = bytes;
    }
    void SetBox(const Vec3& min, const Vec3& max) {
        boxMin_ = min;
        boxMax_ = max;
    }

    // IUnitRenderObject
    void GetBox(Vec3& min, Vec3& max) const override {
        min = boxMin_;
        max = boxMax_;
    }
    int FirstMaterialTechnique() const override;
    // The order among a unit's render objects (SortROs, ascending); 0 after creation.
    float GetSortValue() const override { return sortValue_; }
    void SetSortValue(float v) { sortValue_ = v; }
    // A flag of the high half of the flag word (0x80000000 there hides the object).
    void SetHighFlag(uint32_t flag) override { flags_ |= uint64_t{flag} << 32; }
    // Blended materials draw without writing depth: the set switches depth
    // writes off before the draw and back on after it.
    void SetZWriteOffWhileDrawing(bool on) override;
    std::string GetObjectName() override;

    void Free() override;
    std::string ClassName() const override { return "TRenderObject"; }

protected:
    ~TRenderObject() override = default;

private:
    void Prepare(platform::D3DPRIMITIVETYPE type, uint32_t vertices, uint32_t fvf, uint32_t primCount,
                 uint32_t pool, uint32_t usage);
    void PrepareGeometry(uint64_t count, uint32_t pool, uint32_t usage);
    void LoadVertexShader();
    void SendConstants();

    uint64_t flags_ = 0;
    platform::D3DPRIMITIVETYPE primitiveType_ = platform::D3DPT_POINTLIST;
    uint32_t vertexCount_ = 0;
    uint32_t elementCount_ = 0;
    uint32_t primitiveTotal_ = 0, vertexTotal_ = 0, byteTotal_ = 0;
    Matrix matrix_;
    RenderStateManagerClass* states_ = nullptr;
    FogClass* fog_ = nullptr;
    std::unique_ptr<std::vector<ROMaterialClass*>> materials_;
    std::vector<platform::D3DVERTEXELEMENT9> declData_;
    platform::Ref<platform::IDirect3DVertexDeclaration9> declaration_;
    platform::Ref<platform::IDirect3DVertexShader9> shader_;
    std::string shaderFile_;
    std::vector<ROShaderConstant> constants_;
    IVertexBuffer* vb_ = nullptr;
    std::unique_ptr<IRenderObjectMorpher> morpher_;
    std::string name_;
    Vec3 boxMin_{-1, -1, -1}, boxMax_{1, 1, 1};
    float sortValue_ = 0.0f;
};

// A render object shared with a unit's list; the owner (a model tree or the
// caller) keeps it alive and frees it.
std::shared_ptr<IUnitRenderObject> UnitViewOf(TRenderObject* ro);
// A render object the unit's list owns: freed when the last list holding it goes.
std::shared_ptr<IUnitRenderObject> OwnedUnitViewOf(TRenderObject* ro);

} // namespace vesk
