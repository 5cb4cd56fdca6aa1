#pragma once
// The one graphics factory and device of the program, their creation from the
// setup record and their release, and the cached device setters through which
// render objects and materials change stage states, filters, textures, the
// vertex format, stream 0 and the pixel shader.
#include "core/config_record.h"
#include "platform/gfx/device.h"

#include <array>
#include <cstdint>
#include <functional>

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

// What the cached setters remember of the device. Resources are remembered by
// id (0 = none); no reference is held. Kept here so that a material sets its
// stages inline: it sets three of them for every draw.
struct DeviceStateCache {
    static constexpr uint32_t kStages = 8;
    static constexpr uint32_t kUnknown = 0xFFFFFFFFu; // the next set always reaches the device
    enum StageKind {
        kColorOp,
        kColorArg1,
        kColorArg2,
        kAlphaOp,
        kTexCoordIndex,
        kTexTransformFlags,
        kStageKinds
    };
    enum SamplerKind { kMagFilter, kMinFilter, kMipFilter, kSamplerKinds };

    std::array<std::array<uint32_t, kStages>, kStageKinds> stage;
    std::array<std::array<uint32_t, kStages>, kSamplerKinds> sampler;
    std::array<uint64_t, kStages> texture{};
    uint32_t fvf = kUnknown;
    uint64_t stream0 = 0;
    uint32_t stream0Stride = kUnknown;
    uint32_t lastStream = 0x0FFFFFFF;
    uint64_t pixelShader = 0;

    DeviceStateCache() { ClearStages(); }
    void ClearStages() {
        for (auto& a : stage) a.fill(kUnknown);
        for (auto& a : sampler) a.fill(kUnknown);
    }
    // The place of a stage-state kind the cache keeps, or -1: a table, as a
    // material looks up several kinds for every stage of every draw.
    static int StageSlot(platform::D3DTEXTURESTAGESTATETYPE type) {
        static constexpr std::array<int8_t, 25> kSlots = [] {
            std::array<int8_t, 25> t{};
            t.fill(-1);
            t[platform::D3DTSS_COLOROP] = kColorOp;
            t[platform::D3DTSS_COLORARG1] = kColorArg1;
            t[platform::D3DTSS_COLORARG2] = kColorArg2;
            t[platform::D3DTSS_ALPHAOP] = kAlphaOp;
            t[platform::D3DTSS_TEXCOORDINDEX] = kTexCoordIndex;
            t[platform::D3DTSS_TEXTURETRANSFORMFLAGS] = kTexTransformFlags;
            return t;
        }();
        const auto i = static_cast<uint32_t>(type);
        return i < kSlots.size() ? kSlots[i] : -1;
    }

    // The setters share these: a state the cache keeps reaches the device only
    // when it changes; stages past the cache's eight, and kinds it does not
    // keep, always reach it.
    void SetStageState(platform::IDirect3DDevice9& device, uint32_t s,
                       platform::D3DTEXTURESTAGESTATETYPE type, uint32_t value) {
        const int slot = StageSlot(type);
        if (slot < 0 || s >= kStages || Changes(stage[size_t(slot)][s], value))
            device.SetTextureStageState(s, type, value);
    }
    // slot: the sampler kind's place in the cache, or -1 for one it does not keep.
    void SetSamplerState(platform::IDirect3DDevice9& device, int slot, uint32_t s,
                         platform::D3DSAMPLERSTATETYPE type, uint32_t value) {
        if (slot < 0 || s >= kStages || Changes(sampler[size_t(slot)][s], value))
            device.SetSamplerState(s, type, value);
    }
    void SetTexture(platform::IDirect3DDevice9& device, uint32_t s, platform::IDirect3DBaseTexture9* t) {
        s &= 0xFFFFu;
        if (s >= kStages || Changes(texture[s], IdOf(t))) device.SetTexture(s, t);
    }
    void SetPixelShader(platform::IDirect3DDevice9& device, platform::IDirect3DPixelShader9* shader) {
        if (Changes(pixelShader, IdOf(shader))) device.SetPixelShader(shader);
    }

    static uint64_t IdOf(const platform::IGfxObject* o) { return o ? o->GetId() : 0; }
    // Whether a value differs from the one remembered; it is remembered now.
    template <class T> static bool Changes(T& cached, T value) {
        if (cached == value) return false;
        cached = value;
        return true;
    }
};
// The one cache of the global device; a new device starts it afresh.
extern DeviceStateCache DeviceCache;

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
