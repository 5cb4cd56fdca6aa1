#include "render/device.h"

#include "platform/system.h"
#include "shared/errors.h"

#include <array>

namespace vesk {

using namespace platform;

Ref<IDirect3D9> Direct3D;
Ref<IDirect3DDevice9> Device;
D3DPRESENT_PARAMETERS PresentParameters;
D3DDISPLAYMODE DisplayMode;
bool UseAutoDepthStencil = true;

namespace {

constexpr uint32_t kStages = 8;
constexpr uint32_t kUnknown = 0xFFFFFFFFu; // -1: the next set always reaches the device

// Per-stage caches, in the order of the cached kinds.
enum StageCache {
    kColorOp,
    kColorArg1,
    kColorArg2,
    kAlphaOp,
    kTexCoordIndex,
    kTexTransformFlags,
    kStageKinds
};
enum SamplerCache { kMagFilter, kMinFilter, kMipFilter, kSamplerKinds };

struct StateCache {
    std::array<std::array<uint32_t, kStages>, kStageKinds> stage;
    std::array<std::array<uint32_t, kStages>, kSamplerKinds> sampler;
    // Resources are remembered by id (0 = none); no reference is held.
    std::array<uint64_t, kStages> texture{};
    uint32_t fvf = kUnknown;
    uint64_t stream0 = 0;
    uint32_t stream0Stride = kUnknown;
    uint32_t lastStream = 0x0FFFFFFF;
    uint64_t pixelShader = 0;

    StateCache() { ClearStages(); }
    void ClearStages() {
        for (auto& a : stage) a.fill(kUnknown);
        for (auto& a : sampler) a.fill(kUnknown);
    }
};
StateCache g_cache;

void ForgetCachedStream0() {
    g_cache.stream0 = 0;
    g_cache.stream0Stride = kUnknown;
    g_cache.lastStream = StateCache{}.lastStream;
}

int StageSlot(D3DTEXTURESTAGESTATETYPE type) {
    switch (type) {
    case D3DTSS_COLOROP:
        return kColorOp;
    case D3DTSS_COLORARG1:
        return kColorArg1;
    case D3DTSS_COLORARG2:
        return kColorArg2;
    case D3DTSS_ALPHAOP:
        return kAlphaOp;
    case D3DTSS_TEXCOORDINDEX:
        return kTexCoordIndex;
    case D3DTSS_TEXTURETRANSFORMFLAGS:
        return kTexTransformFlags;
    default:
        return -1;
    }
}

int SamplerSlot(D3DSAMPLERSTATETYPE type) {
    switch (type) {
    case D3DSAMP_MAGFILTER:
        return kMagFilter;
    case D3DSAMP_MINFILTER:
        return kMinFilter;
    case D3DSAMP_MIPFILTER:
        return kMipFilter;
    default:
        return -1;
    }
}

uint64_t IdOf(const IGfxObject* o) {
    return o ? o->GetId() : 0;
}

DisplayReleaseHooks g_releaseHooks;

// The multisample check names the hardware device and X8R8G8B8 whatever the
// record asks for.
void CheckMultisample(D3DRoutineClass& routine, const DeviceSetup& setup, int32_t windowed) {
    routine.MultisampleSupported = Succeeded(Direct3D->CheckDeviceMultiSampleType(
        setup.adapter, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, windowed, setup.multisampleType, nullptr));
}

void FillCommonPresentParameters(const D3DRoutineClass& routine, const DeviceSetup& setup,
                                 WindowHandle window) {
    PresentParameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    PresentParameters.hDeviceWindow = window;
    PresentParameters.EnableAutoDepthStencil = UseAutoDepthStencil ? 1 : 0;
    PresentParameters.AutoDepthStencilFormat = setup.depthStencilFormat;
    PresentParameters.Flags = 0;
    PresentParameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    PresentParameters.MultiSampleType =
        routine.MultisampleSupported ? setup.multisampleType : D3DMULTISAMPLE_NONE;
    PresentParameters.MultiSampleQuality = 0;
}

} // namespace

DeviceSetup DeviceSetupFromRecord(const ConfigRecord& record) {
    DeviceSetup s;
    s.fullScreen = record.fullScreen;
    s.adapter = static_cast<uint32_t>(record.adapterOrdinal);
    s.deviceType = static_cast<D3DDEVTYPE>(record.deviceType);
    s.width = static_cast<uint32_t>(record.width);
    s.height = static_cast<uint32_t>(record.height);
    s.refreshRate = static_cast<uint32_t>(record.refreshRate);
    s.backBufferFormat = static_cast<D3DFORMAT>(record.backBufferFormat);
    s.depthStencilFormat = static_cast<D3DFORMAT>(record.depthStencilFormat);
    s.multisampleType = static_cast<D3DMULTISAMPLE_TYPE>(record.multisampleType);
    return s;
}

void D3DRoutineClass::Create() {
    DeviceRenderTargetSurface = nullptr;
    MultisampleSupported = false;
}

DisplayReleaseHooks& GetDisplayReleaseHooks() {
    return g_releaseHooks;
}

void RE_InitDevices(D3DRoutineClass& routine, WindowHandle window, const DeviceSetup& setup) {
    if (Direct3D) return;
    Direct3D = Ref<IDirect3D9>(Direct3DCreate9(0x80000000u | D3D_SDK_VERSION));
    if (!Direct3D) {
        ErrorReport("Failed RE_InitDevices.Direct3DCreate (D3D_SDK_VERSION)", "mhl");
        return;
    }

    // The last adapter's description names the card in the creation failure.
    D3DADAPTER_IDENTIFIER9 identifier;
    const uint32_t adapters = Direct3D->GetAdapterCount();
    for (uint32_t a = 0; a < adapters; ++a) Direct3D->GetAdapterIdentifier(a, 0, &identifier);

    PresentParameters = D3DPRESENT_PARAMETERS{};
    // The record holds 0 (window) or 1 (full screen); anything else is run
    // windowed rather than leaving the program without a device.
    if (setup.fullScreen == 1) {
        if (Failed(Direct3D->CheckDeviceType(setup.adapter, setup.deviceType, setup.backBufferFormat,
                                             setup.backBufferFormat, 0))) {
            ShowMessageBox("d3d.CheckDeviceType(fullscreen) failed", "error");
            RunSetupAndHalt();
            return;
        }
        CheckMultisample(routine, setup, 0);
        PresentParameters.BackBufferWidth = setup.width;
        PresentParameters.BackBufferHeight = setup.height;
        PresentParameters.BackBufferFormat = setup.backBufferFormat;
        PresentParameters.FullScreen_RefreshRateInHz = setup.refreshRate;
        PresentParameters.BackBufferCount = 2;
        PresentParameters.Windowed = 0;
        FillCommonPresentParameters(routine, setup, window);
    } else {
        CheckMultisample(routine, setup, 1);
        Result r = Direct3D->GetAdapterDisplayMode(setup.adapter, &DisplayMode);
        if (Failed(r)) {
            ReportDXError("Failed RE_InitDevices.GetDisplayAdapter(wm): ", r, "mhl");
            return;
        }
        PresentParameters.Windowed = 1;
        PresentParameters.BackBufferFormat = DisplayMode.Format;
        FillCommonPresentParameters(routine, setup, window);
    }

    static constexpr uint32_t kBehaviours[] = {
        D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED,
        D3DCREATE_MIXED_VERTEXPROCESSING | D3DCREATE_MULTITHREADED,
        D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED,
    };
    for (uint32_t behaviour : kBehaviours) {
        if (Succeeded(Direct3D->CreateDevice(setup.adapter, setup.deviceType, window, behaviour,
                                             &PresentParameters, Device.Put())) &&
            Device)
            break;
        Device = nullptr;
    }
    if (!Device) {
        ShowMessageBox(std::string("d3d.CreateDevice failed(") + identifier.Description + ")", "error");
        RunSetupAndHalt();
        return;
    }
    // From here on a fatal report gives the display back before its message box.
    GetErrorHooks().releaseDisplay = RE_DoneDevices;

    Result r = Device->GetRenderTarget(0, routine.DeviceRenderTargetSurface.Put());
    if (Failed(r)) {
        CheckDXResult(r, "d3dd.GetRenderTarget(0,DeviceRenderTargetSurface)", "mhl");
        return;
    }
    ResetDeviceStateCache();
    if (setup.multisampleType != D3DMULTISAMPLE_NONE) {
        r = Device->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, 1);
        if (Failed(r)) CheckDXResult(r, "d3dd.SetRenderState(D3DRS_MULTISAMPLEANTIALIAS,iTrue)", "mhl");
    }
}

void RE_DoneDevices() {
    if (!Direct3D || !Device) return;
    ErrorHooks& hooks = GetErrorHooks();
    // The hook is this function; it is dropped only when nothing else has replaced it.
    if (auto* f = hooks.releaseDisplay.target<void (*)()>(); f && *f == &RE_DoneDevices)
        hooks.releaseDisplay = nullptr;
    Device->EndScene();
    Direct3D = nullptr;
    Device = nullptr;
    // Nothing the cache remembers holds for a later device.
    g_cache = StateCache{};
    if (g_releaseHooks.minimiseWindow) g_releaseHooks.minimiseWindow();
    if (g_releaseHooks.pauseMs) SleepMs(g_releaseHooks.pauseMs);
}

void DeviceSetRenderState(D3DRENDERSTATETYPE state, uint32_t value) {
    if (!Device) return;
    Device->SetRenderState(state, value);
}

void ResetDeviceStateCache() {
    // A new device names its resources afresh: ids remembered from another
    // device (the stream, the vertex format, textures, the pixel shader)
    // would skip the first bindings on this one.
    g_cache = StateCache{};
    if (!Device) return;
    Device->SetRenderState(D3DRS_DITHERENABLE, 1);
    Device->SetRenderState(D3DRS_SPECULARENABLE, 0);
    Device->SetRenderState(D3DRS_NORMALIZENORMALS, 1);
}

void ClearCachedTextures() {
    g_cache.texture.fill(0);
}

namespace {

// The setters below and a material's stage call share these: a state the
// cache keeps reaches the device only when it changes; stages past the
// cache's eight, and kinds it does not keep, always reach it. Forced inline:
// a material sets eight or more of them for every stage of every draw.
[[gnu::always_inline]] inline void SetStageState(IDirect3DDevice9& device, uint32_t stage,
                                                 D3DTEXTURESTAGESTATETYPE type, uint32_t value) {
    const int slot = StageSlot(type);
    if (slot < 0 || stage >= kStages) {
        device.SetTextureStageState(stage, type, value);
        return;
    }
    uint32_t& cached = g_cache.stage[size_t(slot)][stage];
    if (cached == value) return;
    device.SetTextureStageState(stage, type, value);
    cached = value;
}

// slot: the sampler kind's place in the cache, or -1 for one it does not keep.
[[gnu::always_inline]] inline void SetSamplerState(IDirect3DDevice9& device, int slot, uint32_t sampler,
                                                   D3DSAMPLERSTATETYPE type, uint32_t value) {
    if (slot < 0 || sampler >= kStages) {
        device.SetSamplerState(sampler, type, value);
        return;
    }
    uint32_t& cached = g_cache.sampler[size_t(slot)][sampler];
    if (cached == value) return;
    device.SetSamplerState(sampler, type, value);
    cached = value;
}

} // namespace

void CachedSetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) {
    if (Device) SetStageState(*Device, stage, type, value);
}

void CachedSetSamplerState(uint32_t sampler, D3DSAMPLERSTATETYPE type, uint32_t value) {
    if (Device) SetSamplerState(*Device, SamplerSlot(type), sampler, type, value);
}

void CachedSetTexture(uint32_t stage, IDirect3DBaseTexture9* texture) {
    if (!Device) return;
    stage &= 0xFFFFu;
    if (stage >= kStages) {
        Device->SetTexture(stage, texture);
        return;
    }
    const uint64_t id = IdOf(texture);
    if (g_cache.texture[stage] == id) return;
    Device->SetTexture(stage, texture);
    g_cache.texture[stage] = id;
}

void CachedSetFVF(uint32_t fvf) {
    if (!Device) return;
    if (g_cache.fvf == fvf) return;
    Device->SetFVF(fvf);
    g_cache.fvf = fvf;
}

void CachedSetStreamSource(uint32_t stream, IDirect3DVertexBuffer9* buffer, uint32_t stride) {
    if (!Device) return;
    if (stream != 0) {
        Device->SetStreamSource(stream, buffer, 0, stride);
        return;
    }
    const uint64_t id = IdOf(buffer);
    if (g_cache.stream0 == id && g_cache.stream0Stride == stride && g_cache.lastStream == 0) return;
    Device->SetStreamSource(0, buffer, 0, stride);
    g_cache.stream0 = id;
    g_cache.stream0Stride = stride;
    g_cache.lastStream = 0;
}

Result DeviceDrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertices,
                             uint32_t stride, IDirect3DDevice9* device) {
    if (!device) device = Device.Get();
    if (!device) return D3DERR_INVALIDCALL;
    const Result r = device->DrawPrimitiveUP(type, primitiveCount, vertices, stride);
    ForgetCachedStream0();
    return r;
}

void ForgetCachedVertexInput() {
    g_cache.fvf = kUnknown;
    ForgetCachedStream0();
}

void ApplyStageSettings(const StageSettings& a) {
    IDirect3DDevice9* device = Device.Get();
    if (!device) return;
    // The mip bias is not kept by the cache.
    SetSamplerState(*device, -1, a.stage, D3DSAMP_MIPMAPLODBIAS, a.mipBiasBits);
    SetSamplerState(*device, kMinFilter, a.stage, D3DSAMP_MINFILTER, a.minFilter);
    SetSamplerState(*device, kMagFilter, a.stage, D3DSAMP_MAGFILTER, a.magFilter);
    SetSamplerState(*device, kMipFilter, a.stage, D3DSAMP_MIPFILTER, a.mipFilter);
    for (const MaterialRenderState& r : a.renderStates) device->SetRenderState(r.state, r.value);
    for (const StageStateRecord& r : a.stageStates) SetStageState(*device, r.stage, r.type, r.value);
}

void CachedSetPixelShader(IDirect3DPixelShader9* shader) {
    if (!Device) return;
    const uint64_t id = IdOf(shader);
    if (g_cache.pixelShader == id) return;
    Device->SetPixelShader(shader);
    g_cache.pixelShader = id;
}

} // namespace vesk
