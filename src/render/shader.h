#pragma once
// Pixel shaders assembled once from their files and shared by file name, and
// render-state sets: counted lists of (render state, value, owner name)
// records that a render object applies before it draws and restores after.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "render/counted_ref.h"
#include "shared/engine_object.h"

namespace vesk {

// ---- shaders ---------------------------------------------------------------------------
class ShaderClass : public TEngineObject {
public:
    explicit ShaderClass(platform::IDirect3DDevice9* device)
        : device_(platform::Ref<platform::IDirect3DDevice9>::Share(device)) {}
    // 0 on success (also when the device refused the code: the shader is then
    // unusable), -1 when the file does not assemble.
    virtual int LoadFromFile(const std::string& fileName) = 0;
    virtual platform::IGfxObject* GetD3DShader() = 0;
    virtual ShaderClass* Copy() = 0;

    const std::string& FileName() const { return fileName_; }
    bool Loaded() const { return loaded_; }
    void SetLoaded(bool loaded) { loaded_ = loaded; }
    platform::ID3DXBuffer* Code() const { return code_.Get(); }
    platform::ID3DXBuffer* Errors() const { return errors_.Get(); }
    std::string ClassName() const override { return "ShaderClass"; }

protected:
    platform::Ref<platform::ID3DXBuffer> code_;
    platform::Ref<platform::ID3DXBuffer> errors_;
    std::string fileName_;
    platform::Ref<platform::IDirect3DDevice9> device_;
    bool loaded_ = false; // owned by the shader manager
};

class PixelShaderClass final : public ShaderClass {
public:
    using ShaderClass::ShaderClass;
    int LoadFromFile(const std::string& fileName) override;
    platform::IGfxObject* GetD3DShader() override { return shader_.Get(); }
    platform::IDirect3DPixelShader9* GetPixelShader() const { return shader_.Get(); }
    ShaderClass* Copy() override;
    std::string ClassName() const override { return "PixelShaderClass"; }

private:
    platform::Ref<platform::IDirect3DPixelShader9> shader_;
};

// Drops a reference to a shader: manager-owned shaders stay, others are freed.
void ReleaseShader(ShaderClass*& shader);

// Which kind of shader a manager makes.
enum class ShaderKind { Pixel };

class ShadersManagerClass {
public:
    ShadersManagerClass(ShaderKind kind, platform::IDirect3DDevice9* device)
        : kind_(kind), device_(platform::Ref<platform::IDirect3DDevice9>::Share(device)) {}
    ~ShadersManagerClass();
    ShadersManagerClass(const ShadersManagerClass&) = delete;
    ShadersManagerClass& operator=(const ShadersManagerClass&) = delete;

    // The loaded shader of a file name (exact, case-sensitive match), loaded on
    // a miss. 0 with the shader, or the failed load's result and nullptr.
    int GetShader(const std::string& fileName, ShaderClass*& out);
    const std::vector<ShaderClass*>& Shaders() const { return shaders_; }

private:
    ShaderKind kind_;
    platform::Ref<platform::IDirect3DDevice9> device_;
    std::vector<ShaderClass*> shaders_;
};

// The program's pixel-shader manager; made with the device.
extern std::unique_ptr<ShadersManagerClass> PixelShadersManager;
// Makes it for the current device (once); the release frees every shader it loaded.
void RE_CreatePixelShadersManager();
void RE_FreePixelShadersManager();

// ---- render-state sets ---------------------------------------------------------------------
struct RenderStateRecord {
    platform::D3DRENDERSTATETYPE state;
    uint32_t value;
    std::string name; // empty for records added without a name
    bool operator==(const RenderStateRecord&) const = default;
};

class IRenderStatesInterface {
public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t ReleaseRef() = 0;
    // The engine object behind the set (for subscriptions).
    virtual TEngineObject* StatesObject() = 0;
    virtual void SetFromFlags(uint64_t applyFlags, uint64_t restoreFlags) = 0;
    virtual void AddState(platform::D3DRENDERSTATETYPE state, uint32_t value, const std::string& name) = 0;
    virtual void AddRestoreState(platform::D3DRENDERSTATETYPE state, uint32_t value,
                                 const std::string& name) = 0;
    virtual void RemoveState(platform::D3DRENDERSTATETYPE state) = 0;
    virtual void RemoveRestoreState(platform::D3DRENDERSTATETYPE state) = 0;
    virtual void ApplyStates() = 0;
    virtual void RestoreStates() = 0;
    virtual void ClearStates(const std::string& name) = 0;
    virtual void ClearRestoreStates(const std::string& name) = 0;
    virtual void ClearAll() = 0;

protected:
    ~IRenderStatesInterface() = default;
};

class RenderStateManagerClass final : public TEngineObject, public IRenderStatesInterface {
public:
    // A set with one reference for the caller; it watches its owner (may be nullptr).
    static RenderStateManagerClass* Create(TEngineObject* owner);

    uint32_t AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    uint32_t ReleaseRef() override;
    TEngineObject* StatesObject() override { return this; }
    void SetFromFlags(uint64_t applyFlags, uint64_t restoreFlags) override;
    void AddState(platform::D3DRENDERSTATETYPE state, uint32_t value, const std::string& name) override;
    void AddRestoreState(platform::D3DRENDERSTATETYPE state, uint32_t value,
                         const std::string& name) override;
    void RemoveState(platform::D3DRENDERSTATETYPE state) override;
    void RemoveRestoreState(platform::D3DRENDERSTATETYPE state) override;
    void ApplyStates() override;
    void RestoreStates() override;
    void ClearStates(const std::string& name) override;
    void ClearRestoreStates(const std::string& name) override;
    void ClearAll() override;

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;
    std::string ClassName() const override { return "RenderStateManagerClass"; }
    // The owner lets go of the set before it goes away itself (a render unit
    // discarded into its pool): the owner's reference is given back.
    void DetachOwner();

    const std::vector<RenderStateRecord>* ApplyList() const { return apply_.get(); }
    const std::vector<RenderStateRecord>* RestoreList() const { return restore_.get(); }
    TEngineObject* Owner() const { return owner_; }
    uint32_t RefCount() const { return refs_.load(std::memory_order_relaxed); }

private:
    RenderStateManagerClass() = default;
    static void Add(std::unique_ptr<std::vector<RenderStateRecord>>& list, platform::D3DRENDERSTATETYPE state,
                    uint32_t value, const std::string& name);

    std::unique_ptr<std::vector<RenderStateRecord>> apply_;   // made on first use
    std::unique_ptr<std::vector<RenderStateRecord>> restore_; // made on first use
    TEngineObject* owner_ = nullptr;
    std::atomic<uint32_t> refs_{0};
};

} // namespace vesk
