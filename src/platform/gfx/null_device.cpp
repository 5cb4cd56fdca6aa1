#include "platform/gfx/null_device.h"

#include <algorithm>
#include <cstring>

namespace vesk::platform {

NullDevice::NullDevice(IDirect3D9* parent, const NullGfxConfig& config, const D3DPRESENT_PARAMETERS& pp,
                       uint32_t behaviour)
    : DeviceBase(parent, config.caps, pp, behaviour), config_(config) {
    SetRecording(true);
}

bool NullDevice::LockAllowed(uint32_t) {
    return !config_.failLocks;
}

bool NullDevice::VideoMemoryAvailable(uint64_t bytes) {
    return config_.videoMemoryBytes == 0 || videoMemoryUsed() + bytes <= config_.videoMemoryBytes;
}

Result NullDevice::BackendCreateShader(ResourceLink&, const std::string& source, bool, std::string* error) {
    if (config_.failShaderBuild) {
        *error = "shader build failed (injected)";
        return D3DERR_INVALIDCALL;
    }
    if (source.find("main") == std::string::npos) {
        *error = "no main function";
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

const std::vector<uint8_t>& NullDevice::SurfaceBytes(IDirect3DSurface9* surface) {
    static const std::vector<uint8_t> none;
    auto* s = dynamic_cast<SurfaceImpl*>(surface);
    return s ? s->bytes() : none;
}

const std::vector<uint8_t>& NullDevice::BufferBytes(IDirect3DVertexBuffer9* buffer) {
    static const std::vector<uint8_t> none;
    auto* b = dynamic_cast<VertexBufferImpl*>(buffer);
    return b ? b->store.bytes : none;
}

const std::vector<uint8_t>& NullDevice::BufferBytes(IDirect3DIndexBuffer9* buffer) {
    static const std::vector<uint8_t> none;
    auto* b = dynamic_cast<IndexBufferImpl*>(buffer);
    return b ? b->store.bytes : none;
}

// ---- factory ------------------------------------------------------------------------
std::vector<std::string> NullDirect3D::Find(const std::string& name) const {
    std::vector<std::string> out;
    for (const auto& c : calls_)
        if (c.name == name) out.push_back(c.Text());
    return out;
}

uint32_t NullDirect3D::GetAdapterCount() {
    Record("GetAdapterCount", "");
    return config_.adapterCount;
}

Result NullDirect3D::GetAdapterIdentifier(uint32_t adapter, uint32_t flags, D3DADAPTER_IDENTIFIER9* id) {
    Record("GetAdapterIdentifier", std::to_string(adapter) + ", " + std::to_string(flags));
    if (!id || adapter >= config_.adapterCount) return D3DERR_INVALIDCALL;
    *id = D3DADAPTER_IDENTIFIER9{};
    std::strncpy(id->Driver, "null", sizeof id->Driver - 1);
    std::string desc = config_.adapterDescription;
    if (config_.adapterCount > 1) desc += " " + std::to_string(adapter);
    std::strncpy(id->Description, desc.c_str(), sizeof id->Description - 1);
    std::strncpy(id->DeviceName, "null0", sizeof id->DeviceName - 1);
    return D3D_OK;
}

uint32_t NullDirect3D::GetAdapterModeCount(uint32_t adapter, D3DFORMAT format) {
    if (adapter >= config_.adapterCount) return 0;
    return uint32_t(std::count_if(config_.modes.begin(), config_.modes.end(),
                                  [&](const D3DDISPLAYMODE& m) { return m.Format == format; }));
}

Result NullDirect3D::EnumAdapterModes(uint32_t adapter, D3DFORMAT format, uint32_t mode,
                                      D3DDISPLAYMODE* out) {
    if (!out || adapter >= config_.adapterCount) return D3DERR_INVALIDCALL;
    uint32_t n = 0;
    for (const auto& m : config_.modes) {
        if (m.Format != format) continue;
        if (n++ == mode) {
            *out = m;
            return D3D_OK;
        }
    }
    return D3DERR_INVALIDCALL;
}

Result NullDirect3D::GetAdapterDisplayMode(uint32_t adapter, D3DDISPLAYMODE* mode) {
    Record("GetAdapterDisplayMode", std::to_string(adapter));
    if (!mode || adapter >= config_.adapterCount || config_.failGetDisplayMode) return D3DERR_INVALIDCALL;
    *mode = config_.displayMode;
    return D3D_OK;
}

Result NullDirect3D::CheckDeviceType(uint32_t adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                     D3DFORMAT backBufferFormat, int32_t windowed) {
    Record("CheckDeviceType", std::to_string(adapter) + ", " + std::to_string(type) + ", " +
                                  FormatName(adapterFormat) + ", " + FormatName(backBufferFormat) + ", " +
                                  std::to_string(windowed));
    if (adapter >= config_.adapterCount || config_.failCheckDeviceType) return D3DERR_NOTAVAILABLE;
    return D3D_OK;
}

Result NullDirect3D::CheckDeviceFormat(uint32_t adapter, D3DDEVTYPE, D3DFORMAT, uint32_t, D3DRESOURCETYPE,
                                       D3DFORMAT checkFormat) {
    if (adapter >= config_.adapterCount) return D3DERR_INVALIDCALL;
    return FormatPitch(checkFormat, 1) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

Result NullDirect3D::CheckDeviceMultiSampleType(uint32_t adapter, D3DDEVTYPE type, D3DFORMAT format,
                                                int32_t windowed, D3DMULTISAMPLE_TYPE ms, uint32_t* quality) {
    Record("CheckDeviceMultiSampleType", std::to_string(adapter) + ", " + std::to_string(type) + ", " +
                                             FormatName(format) + ", " + std::to_string(windowed) + ", " +
                                             std::to_string(ms));
    if (adapter >= config_.adapterCount) return D3DERR_INVALIDCALL;
    const auto& ok = config_.multisampleTypes;
    if (std::find(ok.begin(), ok.end(), ms) == ok.end()) return D3DERR_NOTAVAILABLE;
    if (quality) *quality = 1;
    return D3D_OK;
}

Result NullDirect3D::CheckDepthStencilMatch(uint32_t adapter, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, D3DFORMAT) {
    return adapter < config_.adapterCount ? D3D_OK : D3DERR_INVALIDCALL;
}

Result NullDirect3D::GetDeviceCaps(uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) {
    if (!caps || adapter >= config_.adapterCount) return D3DERR_INVALIDCALL;
    *caps = config_.caps;
    caps->DeviceType = type;
    caps->AdapterOrdinal = adapter;
    return D3D_OK;
}

Result NullDirect3D::CreateDevice(uint32_t adapter, D3DDEVTYPE type, WindowHandle, uint32_t behaviour,
                                  D3DPRESENT_PARAMETERS* pp, IDirect3DDevice9** device) {
    Record("CreateDevice",
           std::to_string(adapter) + ", " + std::to_string(type) + ", " + std::to_string(behaviour));
    if (!device) return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (!pp || adapter >= config_.adapterCount) return D3DERR_INVALIDCALL;
    const uint32_t vp = behaviour & (D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                     D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING);
    // Exactly one vertex-processing mode must be asked for.
    if (vp == 0 || (vp & (vp - 1)) != 0) return D3DERR_INVALIDCALL;
    if (config_.createDeviceFails && config_.createDeviceFails(behaviour)) return D3DERR_NOTAVAILABLE;
    if (pp->Windowed) {
        if (pp->BackBufferWidth == 0) pp->BackBufferWidth = config_.windowWidth;
        if (pp->BackBufferHeight == 0) pp->BackBufferHeight = config_.windowHeight;
        if (pp->BackBufferFormat == D3DFMT_UNKNOWN) pp->BackBufferFormat = config_.displayMode.Format;
    } else if (pp->BackBufferWidth == 0 || pp->BackBufferHeight == 0) {
        return D3DERR_INVALIDCALL;
    }
    if (pp->BackBufferCount == 0) pp->BackBufferCount = 1;
    D3DCAPS9 caps = config_.caps;
    caps.DeviceType = type;
    caps.AdapterOrdinal = adapter;
    NullGfxConfig cfg = config_;
    cfg.caps = caps;
    Ref<NullDevice> d(new NullDevice(this, cfg, *pp, behaviour));
    Result r = d->Init();
    if (Failed(r)) return r;
    d->ClearCalls();
    *device = d.Detach();
    return D3D_OK;
}

Ref<NullDirect3D> CreateNullDirect3D(NullGfxConfig config) {
    return Ref<NullDirect3D>(new NullDirect3D(std::move(config)));
}

} // namespace vesk::platform
