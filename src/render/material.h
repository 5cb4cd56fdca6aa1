#pragma once
// Materials: how a surface is lit and textured. A material holds the device
// material record, up to three texture stages (texture, filters, stage states
// and render states), an optional pixel shader and a texturing technique that
// fills the stages from a fixed table. Materials are described by the Lua
// table `materials`; a render object holds one ROMaterialClass per part of its
// geometry, which adds the index chunk and the primitive count.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gfx/device.h"
#include "render/device.h"
#include "render/texture.h"
#include "shared/engine_object.h"

namespace vesk {

class PixelShaderClass;
class IIndexBuffer;

// One texture stage of a material.
class TexturePropertiesClass final : public TEngineObject {
public:
    explicit TexturePropertiesClass(uint16_t stage);

    void Apply();
    // Inline: every draw restores every stage, most of which restore nothing.
    void Restore() {
        for (const StageStateRecord& r : restoreStageStates_)
            CachedSetTextureStageState(r.stage, r.type, r.value);
    }
    // nullptr puts the empty texture back.
    void SetTexture(const TextureRef& texture);
    IKWTexture* GetTexture() const { return texture_.Get(); }
    void SetMipBias(float bias) { mipBias_ = bias; }
    void SetFilters(uint32_t minFilter, uint32_t magFilter, uint32_t mipFilter);
    void AddStageState(platform::D3DTEXTURESTAGESTATETYPE type, uint32_t value);
    void AddRestoreStageState(platform::D3DTEXTURESTAGESTATETYPE type, uint32_t value);
    void AddRenderState(platform::D3DRENDERSTATETYPE state, uint32_t value);
    // A new stage with the same texture, filters, bias and records.
    TexturePropertiesClass* Copy() const;

    uint16_t Stage() const { return stage_; }
    float MipBias() const { return mipBias_; }
    uint32_t MipFilter() const { return mipFilter_; }
    uint32_t MinFilter() const { return minFilter_; }
    uint32_t MagFilter() const { return magFilter_; }
    const std::vector<StageStateRecord>& StageStates() const { return stageStates_; }
    const std::vector<StageStateRecord>& RestoreStageStates() const { return restoreStageStates_; }
    const std::vector<MaterialRenderState>& RenderStates() const { return renderStates_; }
    std::string ClassName() const override { return "TexturePropertiesClass"; }

private:
    friend class MaterialClass;
    // Apply on the device at hand: a material applies its stages in one go.
    void ApplyTo(platform::IDirect3DDevice9& device);

    uint16_t stage_;
    TextureRef texture_;
    float mipBias_ = -1.0f;
    uint32_t mipFilter_ = platform::D3DTEXF_LINEAR;
    uint32_t minFilter_ = platform::D3DTEXF_ANISOTROPIC;
    uint32_t magFilter_ = platform::D3DTEXF_ANISOTROPIC;
    std::vector<StageStateRecord> stageStates_;
    std::vector<StageStateRecord> restoreStageStates_;
    std::vector<MaterialRenderState> renderStates_;
};

// The texturing techniques: what a technique number writes into the three
// fresh stages of a material. Content picks a technique by number
// ("texture_technique"); a number no row names sets nothing.
namespace texturing {

// A stage operation with its arguments (D3DTOP, D3DTA values). An operation
// of 0 sets nothing, an argument of -1 is left alone.
struct StageOp {
    uint32_t op = 0;
    int arg1 = -1;
    int arg2 = -1;
    bool operator==(const StageOp&) const = default;
};
// Stands for MODULATE, MODULATE2X and MODULATE4X for the row's first, second
// and third technique.
inline constexpr uint32_t kModulateByTechnique = 0xFFFFFFFFu;

// The texture coordinate set a stage reads, and the one it gets back after
// the draw; -1 leaves it alone.
struct CoordIndex {
    int index = -1;
    int restore = -1;
    bool operator==(const CoordIndex&) const = default;
};

enum class Blend : uint8_t {
    Untouched, // no blend state is written
    Off,
    Add,   // ONE, ONE
    Alpha, // SRCALPHA, INVSRCALPHA
};

// A slot of `techniques` that names no technique: 0 is no technique number.
inline constexpr int kNoTechnique = 0;

struct Row {
    std::array<int, 3> techniques{};
    Blend blend = Blend::Untouched;
    StageOp colour0, alpha0, colour1, alpha1;
    // The stage whose texture goes back to the empty texture; -1 for none.
    int empty = -1;
    // Stage 0 sets its coordinate set after its colour operation, stage 1
    // before it.
    CoordIndex coord0, coord1;
    // A content fault the row works around: written to the error log, after
    // the material's name, once the row is written.
    const char* report = nullptr;
};

std::span<const Row> Techniques();
// The row naming `technique`, and the technique's place in it; nullptr when
// no row names it.
const Row* FindTechnique(int technique, uint32_t* place = nullptr);

} // namespace texturing

// Live materials (made by Create, dropped by Free).
extern std::atomic<int> MaterialCount;

// The texts one SetMaterialFromLua read from Lua, for further materials filled
// from the same names straight after it (the four of a round-robin set): they
// make the same calls with the same texts and leave Lua as the first left it.
class MaterialLuaMemo {
public:
    // The text of an expression: from Lua while the first material is filled, kept after.
    std::string Read(const std::string& expression, const std::function<std::string()>& read);
    // The first material is done: later reads are answered from what it read.
    void Close() { replaying_ = true; }

private:
    std::unordered_map<std::string, std::string> texts_;
    bool replaying_ = false;
};

class MaterialClass final : public TEngineObject {
public:
    static MaterialClass* Create();

    void Apply();
    void Restore() {
        for (TexturePropertiesClass* s : stages_) s->Restore();
    }
    void SetTwoSided(bool twoSided) { twoSided_ = twoSided; }
    bool TwoSided() const { return twoSided_; }
    const platform::D3DMATERIAL9& GetD3DMaterial() const { return material_; }
    void SetD3DMaterial(const platform::D3DMATERIAL9& m) { material_ = m; }
    uint32_t GetPrimCount() const { return primCount_; }
    void SetPrimCount(uint32_t n) { primCount_ = n; }
    void AddPrimCount(uint32_t n) { primCount_ += n; }
    IKWTexture* GetTexture(uint32_t stage);
    void SetTexture(uint32_t stage, const TextureRef& texture);
    // The stage record; a stage past the list is reported and gives nullptr.
    TexturePropertiesClass* GetTextureProp(uint32_t stage);
    int GetTechnique() const { return technique_; }
    void SetTechnique(int technique);
    // Colours as A8R8G8B8; diffuse, specular, ambient and power are stored.
    void SetColors(uint32_t diffuse, uint32_t specular, uint32_t ambient, uint32_t emissive, float power);
    // Takes over the caller's reference; the previous shader is released.
    void SetPixelShader(PixelShaderClass* shader);
    PixelShaderClass* GetPixelShader() const { return pixelShader_; }
    // Fills the material from materials[name], taking every missing value from
    // materials[alternate]. True when `name` was missing and the alternate was used.
    // A memo, when given, answers the reads of a material filled from the same names before.
    // `file` is the content file the material is read for; reports about the material name it.
    bool SetMaterialFromLua(const std::string& name, const std::string& alternate,
                            MaterialLuaMemo* memo = nullptr, const std::string& file = {});
    MaterialClass* Copy() const;

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    bool Shared() const { return shared_; }
    void SetShared(bool shared) { shared_ = shared; }
    size_t StageCount() const { return stages_.size(); }
    // Frees every stage record.
    void ClearStages();
    TexturePropertiesClass* AppendStage(uint16_t stage);

    void Free() override;
    std::string ClassName() const override { return "MaterialClass"; }

private:
    MaterialClass() = default;
    void AddStatesForTexturingTechnique(int technique);

    bool shared_ = false;
    std::string name_;
    std::string file_;
    bool twoSided_ = false;
    platform::D3DMATERIAL9 material_{};
    int technique_ = -1;
    std::vector<TexturePropertiesClass*> stages_;
    PixelShaderClass* pixelShader_ = nullptr;
    uint32_t primCount_ = 0;
};

// A material of one part of a render object's geometry, with its index chunk.
class ROMaterialClass final : public TEngineObject {
public:
    ROMaterialClass();

    void Apply() { material_->Apply(); }
    void Restore() { material_->Restore(); }
    void SetTwoSided(bool v) { material_->SetTwoSided(v); }
    const platform::D3DMATERIAL9& GetD3DMaterial() const { return material_->GetD3DMaterial(); }
    void SetD3DMaterial(const platform::D3DMATERIAL9& m) { material_->SetD3DMaterial(m); }
    uint32_t GetPrimCount() const { return material_->GetPrimCount(); }
    void SetPrimCount(uint32_t n) { material_->SetPrimCount(n); }
    void AddPrimCount(uint32_t n) { material_->AddPrimCount(n); }
    IKWTexture* GetTexture(uint32_t stage) { return material_->GetTexture(stage); }
    void SetTexture(uint32_t stage, const TextureRef& t) { material_->SetTexture(stage, t); }
    TexturePropertiesClass* GetTextureProp(uint32_t stage) { return material_->GetTextureProp(stage); }
    int GetTechnique() const { return material_->GetTechnique(); }
    void SetTechnique(int t) { material_->SetTechnique(t); }
    void SetColors(uint32_t d, uint32_t s, uint32_t a, uint32_t e, float p) {
        material_->SetColors(d, s, a, e, p);
    }
    void SetPixelShader(PixelShaderClass* shader) { material_->SetPixelShader(shader); }
    bool SetMaterialFromLua(const std::string& name, const std::string& alternate,
                            MaterialLuaMemo* memo = nullptr, const std::string& file = {}) {
        return material_->SetMaterialFromLua(name, alternate, memo, file);
    }
    IIndexBuffer* GetIB() const { return ib_; }
    // Takes the chunk over; nullptr is reported.
    void SetIB(IIndexBuffer* ib);
    platform::Result LockIB(uint32_t count, void** data);
    void UnlockIB();
    // A copy with a copy of the material and of the index chunk.
    ROMaterialClass* Copy() const;

    MaterialClass* Material() const { return material_; }
    void Free() override;
    std::string ClassName() const override { return "ROMaterialClass"; }

private:
    MaterialClass* material_;
    IIndexBuffer* ib_ = nullptr;
};

// A list of materials; its end releases them all.
class MaterialManClass {
public:
    MaterialManClass() = default;
    ~MaterialManClass();
    MaterialManClass(const MaterialManClass&) = delete;
    MaterialManClass& operator=(const MaterialManClass&) = delete;
    void Add(MaterialClass* material) { materials_.push_back(material); }
    const std::vector<MaterialClass*>& Materials() const { return materials_; }

private:
    std::vector<MaterialClass*> materials_;
};

// A format name of a material map ("X8R8G8B8", "A8R8G8B8", "R8G8B8",
// "R5G6B5", any case) to its format; anything else is the file's own format.
platform::D3DFORMAT MaterialFormatFromText(const std::string& text);

} // namespace vesk
