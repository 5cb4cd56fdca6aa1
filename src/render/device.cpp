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
DeviceStateCache DeviceCache;

namespace {

void ForgetCachedStream0() {
    DeviceCache.stream0 = 0;
    DeviceCache.stream0Stride = DeviceStateCache::kUnknown;
    DeviceCache.lastStream = DeviceStateCache{}.lastStream;
}

int SamplerSlot(D3DSAMPLERSTATETYPE type) {
    switch (type) {
    case D3DSAMP_MAGFILTER:
        return DeviceStateCache::kMagFilter;
    case D3DSAMP_MINFILTER:
        return DeviceStateCache::kMinFilter;
    case D3DSAMP_MIPFILTER:
        return DeviceStateCache::kMipFilter;
    default:
        return -1;
    }
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
    DeviceCache = DeviceStateCache{};
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
    DeviceCache = DeviceStateCache{};
    if (!Device) return;
    Device->SetRenderState(D3DRS_DITHERENABLE, 1);
    Device->SetRenderState(D3DRS_SPECULARENABLE, 0);
    Device->SetRenderState(D3DRS_NORMALIZENORMALS, 1);
}

void ClearCachedTextures() {
    DeviceCache.texture.fill(0);
}

void CachedSetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) {
    if (Device) DeviceCache.SetStageState(*Device, stage, type, value);
}

void CachedSetSamplerState(uint32_t sampler, D3DSAMPLERSTATETYPE type, uint32_t value) {
    if (Device) DeviceCache.SetSamplerState(*Device, SamplerSlot(type), sampler, type, value);
}

void CachedSetTexture(uint32_t stage, IDirect3DBaseTexture9* texture) {
    if (Device) DeviceCache.SetTexture(*Device, stage, texture);
}

void CachedSetFVF(uint32_t fvf) {
    if (!Device) return;
    if (DeviceCache.fvf == fvf) return;
    Device->SetFVF(fvf);
    DeviceCache.fvf = fvf;
}

void CachedSetStreamSource(uint32_t stream, IDirect3DVertexBuffer9* buffer, uint32_t stride) {
    if (!Device) return;
    if (stream != 0) {
        Device->SetStreamSource(stream, buffer, 0, stride);
        return;
    }
    const uint64_t id = DeviceStateCache::IdOf(buffer);
    if (DeviceCache.stream0 == id && DeviceCache.stream0Stride == stride && DeviceCache.lastStream == 0)
        return;
    Device->SetStreamSource(0, buffer, 0, stride);
    DeviceCache.stream0 = id;
    DeviceCache.stream0Stride = stride;
    DeviceCache.lastStream = 0;
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
    DeviceCache.fvf = DeviceStateCache::kUnknown;
    ForgetCachedStream0();
}

void CachedSetPixelShader(IDirect3DPixelShader9* shader) {
    if (Device) DeviceCache.SetPixelShader(*Device, shader);
}

} // namespace vesk
