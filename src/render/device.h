#pragma once
// The one graphics factory and device of the program, their creation from the
// setup record and their release, and the cached device setters through which
// render objects and materials change stage states, filters, textures, the
// vertex format, stream 0 and the pixel shader.
#include "core/config_record.h"
#include "platform/gfx/device.h"

#include <cstdint>
#include <functional>
#include <span>

namespace vesk {

using platform::Ref;

// What device creation takes from the setup record ("config.bin"); the
// caller fills it from the loaded record.
struct DeviceSetup {
    uint8_t fullScreen = 0; // 1 full screen; anything else is windowed
    uint32_t adapter = 0;
    platform::D3DDEVTYPE deviceType = platform::D3DDEVTYPE_HAL;
    uint32_t width = 1024;
    uint32_t height = 768;
    uint32_t refreshRate = 60;
    platform::D3DFORMAT backBufferFormat = platform::D3DFMT_X8R8G8B8;
    platform::D3DFORMAT depthStencilFormat = platform::D3DFMT_UNKNOWN;
    platform::D3DMULTISAMPLE_TYPE multisampleType = platform::D3DMULTISAMPLE_NONE;
};
DeviceSetup DeviceSetupFromRecord(const ConfigRecord& record);

// The globals everything in the render engine draws through; empty until RE_InitDevices.
extern Ref<platform::IDirect3D9> Direct3D;
extern Ref<platform::IDirect3DDevice9> Device;
extern platform::D3DPRESENT_PARAMETERS PresentParameters;
extern platform::D3DDISPLAYMODE DisplayMode;
extern bool UseAutoDepthStencil;

// Made by the application core before the device.
class D3DRoutineClass {
public:
    D3DRoutineClass() { Create(); }
    void Create();
    // A new reference to render target 0 as the device was created (the back buffer).
    void GetRenderTargetSurface(Ref<platform::IDirect3DSurface9>& out) const {
        out = DeviceRenderTargetSurface;
    }

    Ref<platform::IDirect3DSurface9> DeviceRenderTargetSurface;
    bool MultisampleSupported = false;
};

// What releasing the display does to the main window beyond the device: the
// window layer minimises it and drops the focus; the pause lets the display
// settle before a message box appears.
struct DisplayReleaseHooks {
    std::function<void()> minimiseWindow;
    unsigned pauseMs = 2000;
};
DisplayReleaseHooks& GetDisplayReleaseHooks();

// Creates Direct3D and Device for the window (nullptr: headless). Does nothing
// when Direct3D already exists. While the device lives, fatal reports release it.
void RE_InitDevices(D3DRoutineClass& routine, platform::WindowHandle window, const DeviceSetup& setup);
// Releases both; only when both exist.
void RE_DoneDevices();

// Uncached.
void DeviceSetRenderState(platform::D3DRENDERSTATETYPE state, uint32_t value);

// Each setter reaches the device only when the value differs from the one it
// set last (textures, buffers and shaders are compared by resource id, so a
// new resource at a freed one's address is never taken for it).
void CachedSetTextureStageState(uint32_t stage, platform::D3DTEXTURESTAGESTATETYPE type, uint32_t value);
void CachedSetSamplerState(uint32_t sampler, platform::D3DSAMPLERSTATETYPE type, uint32_t value);
void CachedSetTexture(uint32_t stage, platform::IDirect3DBaseTexture9* texture);
void CachedSetFVF(uint32_t fvf);
void CachedSetStreamSource(uint32_t stream, platform::IDirect3DVertexBuffer9* buffer, uint32_t stride);
void CachedSetPixelShader(platform::IDirect3DPixelShader9* shader);

// A texture stage state and a render state as materials keep them.
struct StageStateRecord {
    uint32_t stage;
    platform::D3DTEXTURESTAGESTATETYPE type;
    uint32_t value;
    bool operator==(const StageStateRecord&) const = default;
};
struct MaterialRenderState {
    platform::D3DRENDERSTATETYPE state;
    uint32_t value;
    bool operator==(const MaterialRenderState&) const = default;
};

// What a material sets for one of its texture stages.
struct StageSettings {
    uint32_t stage;
    uint32_t mipBiasBits;
    uint32_t minFilter, magFilter, mipFilter;
    std::span<const MaterialRenderState> renderStates;
    std::span<const StageStateRecord> stageStates;
};
// Sets a stage's states as the single setters would, in this order: the mip
// bias (uncached), the min, mag and mip filters (cached), the render states
// (uncached) and the stage states (cached). Materials set three stages for
// every draw, so they go in one call.
void ApplyStageSettings(const StageSettings& settings);

// Draws vertices from memory on the device (the global one when none is
// given). The device leaves stream 0 unset after such a draw, so the cache
// forgets what it had set there: the next render object's buffer reaches the
// device again instead of being taken for bound.
platform::Result DeviceDrawPrimitiveUP(platform::D3DPRIMITIVETYPE type, uint32_t primitiveCount,
                                       const void* vertices, uint32_t stride,
                                       platform::IDirect3DDevice9* device = nullptr);

// Forgets the vertex format and stream 0 the cache set, for drawing that sets
// them (or a vertex declaration) straight on the device.
void ForgetCachedVertexInput();

// Marks every per-stage state unknown and sets dithering, specular and
// normal renormalisation.
void ResetDeviceStateCache();
// Forgets the stage textures without touching the device.
void ClearCachedTextures();

} // namespace vesk
