#pragma once
// The recording null device: keeps every call with its arguments, CPU copies
// of all buffers and textures (clears, fills, copies and read-backs act on
// them), configurable capabilities and adapter facts, and failures that tests
// can inject.
#include <functional>
#include <string>
#include <vector>

#include "platform/gfx/device_base.h"

namespace vesk::platform {

struct NullGfxConfig {
    D3DCAPS9 caps = DefaultCaps();
    uint32_t adapterCount = 1;
    std::string adapterDescription = "Null graphics adapter";
    D3DDISPLAYMODE displayMode{1024, 768, 60, D3DFMT_X8R8G8B8};
    std::vector<D3DDISPLAYMODE> modes{
        {640, 480, 60, D3DFMT_X8R8G8B8}, {800, 600, 60, D3DFMT_X8R8G8B8}, {1024, 768, 60, D3DFMT_X8R8G8B8}};
    // Client size of the window a windowed device fills when the present
    // parameters give 0.
    uint32_t windowWidth = 800, windowHeight = 600;
    bool failGetDisplayMode = false;
    bool failCheckDeviceType = false;
    std::vector<D3DMULTISAMPLE_TYPE> multisampleTypes{D3DMULTISAMPLE_NONE};
    // CreateDevice fails for behaviour flags this returns true for.
    std::function<bool(uint32_t behaviour)> createDeviceFails;
    // Video memory for default- and managed-pool resources; 0 is unlimited.
    uint64_t videoMemoryBytes = 0;
    bool failLocks = false;
    bool failShaderBuild = false;
};

class NullDevice final : public DeviceBase {
public:
    NullDevice(IDirect3D9* parent, const NullGfxConfig& config, const D3DPRESENT_PARAMETERS& pp,
               uint32_t behaviour);
    // Injected failures, changeable while the device lives.
    void SetFailLocks(bool on) { config_.failLocks = on; }
    void SetVideoMemoryLimit(uint64_t bytes) { config_.videoMemoryBytes = bytes; }
    void SetFailShaderBuild(bool on) { config_.failShaderBuild = on; }
    Result Init() { return InitTargets(); }
    // The CPU copy of a surface (after clears, fills and copies).
    static const std::vector<uint8_t>& SurfaceBytes(IDirect3DSurface9* surface);
    static const std::vector<uint8_t>& BufferBytes(IDirect3DVertexBuffer9* buffer);
    static const std::vector<uint8_t>& BufferBytes(IDirect3DIndexBuffer9* buffer);

    bool LockAllowed(uint32_t flags) override;

protected:
    bool VideoMemoryAvailable(uint64_t bytes) override;
    Result BackendCreateShader(ResourceLink& shader, const std::string& source, bool pixel,
                               std::string* error) override;

private:
    NullGfxConfig config_;
};

class NullDirect3D final : public IDirect3D9 {
public:
    explicit NullDirect3D(NullGfxConfig config) : config_(std::move(config)) {}
    NullGfxConfig& config() { return config_; }
    const std::vector<GfxCall>& Calls() const { return calls_; }
    std::vector<std::string> Find(const std::string& name) const;

    uint32_t GetAdapterCount() override;
    Result GetAdapterIdentifier(uint32_t adapter, uint32_t flags,
                                D3DADAPTER_IDENTIFIER9* identifier) override;
    uint32_t GetAdapterModeCount(uint32_t adapter, D3DFORMAT format) override;
    Result EnumAdapterModes(uint32_t adapter, D3DFORMAT format, uint32_t mode, D3DDISPLAYMODE* out) override;
    Result GetAdapterDisplayMode(uint32_t adapter, D3DDISPLAYMODE* mode) override;
    Result CheckDeviceType(uint32_t adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                           D3DFORMAT backBufferFormat, int32_t windowed) override;
    Result CheckDeviceFormat(uint32_t adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat, uint32_t usage,
                             D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
    Result CheckDeviceMultiSampleType(uint32_t adapter, D3DDEVTYPE deviceType, D3DFORMAT surfaceFormat,
                                      int32_t windowed, D3DMULTISAMPLE_TYPE multiSampleType,
                                      uint32_t* qualityLevels) override;
    Result CheckDepthStencilMatch(uint32_t adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                  D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) override;
    Result GetDeviceCaps(uint32_t adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) override;
    Result CreateDevice(uint32_t adapter, D3DDEVTYPE deviceType, WindowHandle focusWindow,
                        uint32_t behaviorFlags, D3DPRESENT_PARAMETERS* presentationParameters,
                        IDirect3DDevice9** device) override;

private:
    void Record(const char* name, std::string args) { calls_.push_back({name, std::move(args)}); }
    NullGfxConfig config_;
    std::vector<GfxCall> calls_;
};

// A null factory with the given configuration (one reference for the caller).
Ref<NullDirect3D> CreateNullDirect3D(NullGfxConfig config = {});

} // namespace vesk::platform
