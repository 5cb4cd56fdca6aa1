#pragma once
// The graphics device layer: a factory of devices, the device with its
// states and draws, and the resources it makes (buffers, textures, surfaces,
// shaders, vertex declarations). Resources are reference counted: a Create
// call hands out one reference, AddRef/Release move the count, the last
// Release frees the object. Every object carries a 64-bit id that is unique
// for the run, so caches can compare ids instead of addresses.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/gfx/types.h"
#include "platform/result_codes.h"

namespace vesk::platform {

// ---- reference counting --------------------------------------------------------
class IGfxObject {
public:
    IGfxObject();
    IGfxObject(const IGfxObject&) = delete;
    IGfxObject& operator=(const IGfxObject&) = delete;

    uint32_t AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    uint32_t Release() {
        uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }
    uint32_t RefCount() const { return refs_.load(std::memory_order_relaxed); }
    // Unique for the run, never 0.
    uint64_t GetId() const { return id_; }

protected:
    virtual ~IGfxObject() = default;

private:
    std::atomic<uint32_t> refs_{1};
    uint64_t id_;
};

// An owning reference to a counted object. Assigning a raw pointer takes over
// the reference the pointer carries (what Create calls hand out); Put()
// releases the current one and gives the address for an out argument.
template <class T> class Ref {
public:
    Ref() = default;
    Ref(std::nullptr_t) {}
    // Takes over one reference.
    explicit Ref(T* p) : p_(p) {}
    Ref(const Ref& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U> Ref(const Ref<U>& o) : p_(o.Get()) {
        if (p_) p_->AddRef();
    }
    ~Ref() { Reset(); }
    Ref& operator=(const Ref& o) {
        if (o.p_) o.p_->AddRef();
        Reset();
        p_ = o.p_;
        return *this;
    }
    Ref& operator=(Ref&& o) noexcept {
        if (this != &o) {
            Reset();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    Ref& operator=(std::nullptr_t) {
        Reset();
        return *this;
    }

    // A new reference to an object the caller does not own.
    static Ref Share(T* p) {
        if (p) p->AddRef();
        return Ref(p);
    }

    void Reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }
    T** Put() {
        Reset();
        return &p_;
    }
    // Gives up ownership of the reference without releasing it.
    T* Detach() { return std::exchange(p_, nullptr); }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool operator==(const Ref& o) const { return p_ == o.p_; }
    bool operator==(std::nullptr_t) const { return p_ == nullptr; }

private:
    T* p_ = nullptr;
};

class IDirect3DDevice9;

// ---- resources -----------------------------------------------------------------
class IDirect3DResource9 : public IGfxObject {
public:
    virtual Result GetDevice(IDirect3DDevice9** device) = 0;
    virtual D3DRESOURCETYPE GetType() = 0;
};

class IDirect3DSurface9 : public IDirect3DResource9 {
public:
    virtual Result GetDesc(D3DSURFACE_DESC* desc) = 0;
    // rect nullptr locks the whole surface.
    virtual Result LockRect(D3DLOCKED_RECT* locked, const RECT* rect, uint32_t flags) = 0;
    virtual Result UnlockRect() = 0;
};

class IDirect3DBaseTexture9 : public IDirect3DResource9 {
public:
    virtual uint32_t GetLevelCount() = 0;
};

class IDirect3DTexture9 : public IDirect3DBaseTexture9 {
public:
    virtual Result GetLevelDesc(uint32_t level, D3DSURFACE_DESC* desc) = 0;
    virtual Result GetSurfaceLevel(uint32_t level, IDirect3DSurface9** surface) = 0;
    virtual Result LockRect(uint32_t level, D3DLOCKED_RECT* locked, const RECT* rect, uint32_t flags) = 0;
    virtual Result UnlockRect(uint32_t level) = 0;
};

class IDirect3DVertexBuffer9 : public IDirect3DResource9 {
public:
    // offset and size in bytes; size 0 locks from offset to the end.
    virtual Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) = 0;
    virtual Result Unlock() = 0;
    virtual Result GetDesc(D3DVERTEXBUFFER_DESC* desc) = 0;
};

class IDirect3DIndexBuffer9 : public IDirect3DResource9 {
public:
    virtual Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) = 0;
    virtual Result Unlock() = 0;
    virtual Result GetDesc(D3DINDEXBUFFER_DESC* desc) = 0;
};

class IDirect3DVertexDeclaration9 : public IGfxObject {
public:
    // With elements nullptr only the count (including the end element) is written.
    virtual Result GetDeclaration(D3DVERTEXELEMENT9* elements, uint32_t* count) = 0;
};

class IDirect3DVertexShader9 : public IGfxObject {
public:
    // The shader's source text as it was assembled.
    virtual const std::string& GetSource() const = 0;
};

class IDirect3DPixelShader9 : public IGfxObject {
public:
    virtual const std::string& GetSource() const = 0;
};

// A block of bytes handed out by the helpers (assembled shaders, error texts).
class ID3DXBuffer : public IGfxObject {
public:
    virtual void* GetBufferPointer() = 0;
    virtual uint32_t GetBufferSize() = 0;
};

// ---- the device ---------------------------------------------------------------------
class IDirect3D9;

class IDirect3DDevice9 : public IGfxObject {
public:
    // -- device --
    virtual Result TestCooperativeLevel() = 0;
    virtual uint32_t GetAvailableTextureMem() = 0;
    virtual Result EvictManagedResources() = 0;
    virtual Result GetDirect3D(IDirect3D9** d3d) = 0;
    virtual Result GetDeviceCaps(D3DCAPS9* caps) = 0;
    virtual Result GetDisplayMode(uint32_t swapChain, D3DDISPLAYMODE* mode) = 0;
    virtual Result Present(const RECT* sourceRect, const RECT* destRect, WindowHandle destWindowOverride,
                           const void* dirtyRegion) = 0;
    virtual Result GetBackBuffer(uint32_t swapChain, uint32_t backBuffer, D3DBACKBUFFER_TYPE type,
                                 IDirect3DSurface9** surface) = 0;

    // -- resources --
    virtual Result CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                 D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                                 void* sharedHandle) = 0;
    virtual Result CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, D3DPOOL pool,
                                      IDirect3DVertexBuffer9** buffer, void* sharedHandle) = 0;
    virtual Result CreateIndexBuffer(uint32_t length, uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                     IDirect3DIndexBuffer9** buffer, void* sharedHandle) = 0;
    virtual Result CreateRenderTarget(uint32_t width, uint32_t height, D3DFORMAT format,
                                      D3DMULTISAMPLE_TYPE multiSample, uint32_t multisampleQuality,
                                      int32_t lockable, IDirect3DSurface9** surface, void* sharedHandle) = 0;
    virtual Result CreateDepthStencilSurface(uint32_t width, uint32_t height, D3DFORMAT format,
                                             D3DMULTISAMPLE_TYPE multiSample, uint32_t multisampleQuality,
                                             int32_t discard, IDirect3DSurface9** surface,
                                             void* sharedHandle) = 0;
    virtual Result CreateOffscreenPlainSurface(uint32_t width, uint32_t height, D3DFORMAT format,
                                               D3DPOOL pool, IDirect3DSurface9** surface,
                                               void* sharedHandle) = 0;
    // Copies a system-memory surface into a default-pool one (same format).
    virtual Result UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                                 const POINT* destPoint) = 0;
    // Reads a render target back into a system-memory surface of the same size and format.
    virtual Result GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destSurface) = 0;
    virtual Result StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                               const RECT* destRect, D3DTEXTUREFILTERTYPE filter) = 0;
    virtual Result ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) = 0;

    // -- targets --
    virtual Result SetRenderTarget(uint32_t index, IDirect3DSurface9* surface) = 0;
    virtual Result GetRenderTarget(uint32_t index, IDirect3DSurface9** surface) = 0;
    virtual Result SetDepthStencilSurface(IDirect3DSurface9* surface) = 0;
    virtual Result GetDepthStencilSurface(IDirect3DSurface9** surface) = 0;

    // -- frame --
    virtual Result BeginScene() = 0;
    virtual Result EndScene() = 0;
    // rects nullptr (count 0) clears the whole viewport.
    virtual Result Clear(uint32_t count, const RECT* rects, uint32_t flags, D3DCOLOR color, float z,
                         uint32_t stencil) = 0;

    // -- fixed-function state --
    virtual Result SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual Result GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual Result SetViewport(const D3DVIEWPORT9* viewport) = 0;
    virtual Result GetViewport(D3DVIEWPORT9* viewport) = 0;
    virtual Result SetMaterial(const D3DMATERIAL9* material) = 0;
    virtual Result GetMaterial(D3DMATERIAL9* material) = 0;
    virtual Result SetLight(uint32_t index, const D3DLIGHT9* light) = 0;
    virtual Result GetLight(uint32_t index, D3DLIGHT9* light) = 0;
    virtual Result LightEnable(uint32_t index, int32_t enable) = 0;
    virtual Result GetLightEnable(uint32_t index, int32_t* enable) = 0;
    // The plane (a, b, c, d) in world space: points with a*x + b*y + c*z + d >= 0 are kept.
    virtual Result SetClipPlane(uint32_t index, const float* plane) = 0;
    virtual Result GetClipPlane(uint32_t index, float* plane) = 0;
    virtual Result SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) = 0;
    virtual Result GetRenderState(D3DRENDERSTATETYPE state, uint32_t* value) = 0;
    virtual Result GetTexture(uint32_t stage, IDirect3DBaseTexture9** texture) = 0;
    virtual Result SetTexture(uint32_t stage, IDirect3DBaseTexture9* texture) = 0;
    virtual Result GetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t* value) = 0;
    virtual Result SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) = 0;
    virtual Result GetSamplerState(uint32_t sampler, D3DSAMPLERSTATETYPE type, uint32_t* value) = 0;
    virtual Result SetSamplerState(uint32_t sampler, D3DSAMPLERSTATETYPE type, uint32_t value) = 0;
    virtual Result SetScissorRect(const RECT* rect) = 0;
    virtual Result GetScissorRect(RECT* rect) = 0;

    // -- drawing --
    virtual Result DrawPrimitive(D3DPRIMITIVETYPE type, uint32_t startVertex, uint32_t primitiveCount) = 0;
    virtual Result DrawIndexedPrimitive(D3DPRIMITIVETYPE type, int32_t baseVertexIndex,
                                        uint32_t minVertexIndex, uint32_t numVertices, uint32_t startIndex,
                                        uint32_t primitiveCount) = 0;
    virtual Result DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertexData,
                                   uint32_t vertexStride) = 0;
    virtual Result DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t minVertexIndex,
                                          uint32_t numVertices, uint32_t primitiveCount,
                                          const void* indexData, D3DFORMAT indexFormat,
                                          const void* vertexData, uint32_t vertexStride) = 0;

    // -- vertex input --
    virtual Result CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                           IDirect3DVertexDeclaration9** declaration) = 0;
    virtual Result SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) = 0;
    virtual Result GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) = 0;
    virtual Result SetFVF(uint32_t fvf) = 0;
    virtual Result GetFVF(uint32_t* fvf) = 0;
    virtual Result SetStreamSource(uint32_t stream, IDirect3DVertexBuffer9* buffer, uint32_t offsetInBytes,
                                   uint32_t stride) = 0;
    virtual Result GetStreamSource(uint32_t stream, IDirect3DVertexBuffer9** buffer, uint32_t* offsetInBytes,
                                   uint32_t* stride) = 0;
    virtual Result SetIndices(IDirect3DIndexBuffer9* indexData) = 0;
    virtual Result GetIndices(IDirect3DIndexBuffer9** indexData) = 0;

    // -- shaders (code from D3DXAssembleShader) --
    virtual Result CreateVertexShader(const uint32_t* function, IDirect3DVertexShader9** shader) = 0;
    virtual Result SetVertexShader(IDirect3DVertexShader9* shader) = 0;
    virtual Result GetVertexShader(IDirect3DVertexShader9** shader) = 0;
    virtual Result SetVertexShaderConstantF(uint32_t startRegister, const float* data,
                                            uint32_t vector4fCount) = 0;
    virtual Result SetVertexShaderConstantI(uint32_t startRegister, const int32_t* data,
                                            uint32_t vector4iCount) = 0;
    virtual Result SetVertexShaderConstantB(uint32_t startRegister, const int32_t* data,
                                            uint32_t boolCount) = 0;
    virtual Result CreatePixelShader(const uint32_t* function, IDirect3DPixelShader9** shader) = 0;
    virtual Result SetPixelShader(IDirect3DPixelShader9* shader) = 0;
    virtual Result GetPixelShader(IDirect3DPixelShader9** shader) = 0;
    virtual Result SetPixelShaderConstantF(uint32_t startRegister, const float* data,
                                           uint32_t vector4fCount) = 0;
    virtual Result SetPixelShaderConstantI(uint32_t startRegister, const int32_t* data,
                                           uint32_t vector4iCount) = 0;
    virtual Result SetPixelShaderConstantB(uint32_t startRegister, const int32_t* data,
                                           uint32_t boolCount) = 0;

    // The text of the last failure to build a shader (empty when none).
    virtual std::string GetLastShaderError() = 0;

    // Fills every level of a texture of a block-compressed format from B, G,
    // R, A pixels, one buffer per level of that level's size. The device may
    // draw the texture from the pixels at once and make the blocks later, off
    // the caller's path; a lock of a level always sees the blocks.
    virtual Result FillCompressedTexture(IDirect3DTexture9* texture,
                                         std::vector<std::vector<uint8_t>> bgraLevels) = 0;
};

// Registers per shader kind.
inline constexpr uint32_t kMaxVertexShaderConstF = 256;
inline constexpr uint32_t kMaxPixelShaderConstF = 32;
inline constexpr uint32_t kMaxShaderConstI = 16;
inline constexpr uint32_t kMaxShaderConstB = 16;
inline constexpr uint32_t kMaxLights = 8;
inline constexpr uint32_t kMaxStreams = 8;

// ---- the factory ---------------------------------------------------------------------
class IDirect3D9 : public IGfxObject {
public:
    virtual uint32_t GetAdapterCount() = 0;
    virtual Result GetAdapterIdentifier(uint32_t adapter, uint32_t flags,
                                        D3DADAPTER_IDENTIFIER9* identifier) = 0;
    virtual uint32_t GetAdapterModeCount(uint32_t adapter, D3DFORMAT format) = 0;
    virtual Result EnumAdapterModes(uint32_t adapter, D3DFORMAT format, uint32_t mode,
                                    D3DDISPLAYMODE* out) = 0;
    virtual Result GetAdapterDisplayMode(uint32_t adapter, D3DDISPLAYMODE* mode) = 0;
    virtual Result CheckDeviceType(uint32_t adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                   D3DFORMAT backBufferFormat, int32_t windowed) = 0;
    virtual Result CheckDeviceFormat(uint32_t adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                     uint32_t usage, D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) = 0;
    virtual Result CheckDeviceMultiSampleType(uint32_t adapter, D3DDEVTYPE deviceType,
                                              D3DFORMAT surfaceFormat, int32_t windowed,
                                              D3DMULTISAMPLE_TYPE multiSampleType,
                                              uint32_t* qualityLevels) = 0;
    virtual Result CheckDepthStencilMatch(uint32_t adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                          D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) = 0;
    virtual Result GetDeviceCaps(uint32_t adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) = 0;
    // Fills in the present parameters' zero width, height and format as the
    // device sees them (windowed: the window's client size).
    virtual Result CreateDevice(uint32_t adapter, D3DDEVTYPE deviceType, WindowHandle focusWindow,
                                uint32_t behaviorFlags, D3DPRESENT_PARAMETERS* presentationParameters,
                                IDirect3DDevice9** device) = 0;
};

// Makes the factory of the installed backend; nullptr when no device can be
// made at all. The default backend is OpenGL (see gl_device.h).
using Direct3DFactory = std::function<IDirect3D9*(uint32_t sdkVersion)>;
IDirect3D9* Direct3DCreate9(uint32_t sdkVersion);
// nullptr restores the default backend.
void SetDirect3DFactory(Direct3DFactory factory);

} // namespace vesk::platform
