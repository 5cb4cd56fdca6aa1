#pragma once
// What both device backends share: argument checks, the device state, the
// CPU copies of every buffer and texture, the call record, and the resource
// objects. A backend overrides the hooks at the end of DeviceBase to do the
// work on its side (upload, draw, read back).
#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/gfx/device.h"

namespace vesk::platform {

class DeviceBase;
class TextureImpl;

// One recorded device call: its name and its arguments as text.
struct GfxCall {
    std::string name;
    std::string args;
    std::string Text() const { return name + "(" + args + ")"; }
};

// The link of a resource to the device that made it. The device forgets its
// resources when it goes (their CPU copies stay usable, the device side is freed).
class ResourceLink {
public:
    explicit ResourceLink(DeviceBase* device);
    virtual ~ResourceLink();
    ResourceLink(const ResourceLink&) = delete;
    ResourceLink& operator=(const ResourceLink&) = delete;

    DeviceBase* device() const { return device_; }
    // Called by the device when it goes away before the resource.
    void Orphan() { device_ = nullptr; }
    uint32_t backendName = 0;  // the backend's object (GL buffer or texture name)
    uint32_t backendExtra = 0; // second backend object where one is needed
    uint64_t videoBytes = 0;   // counted against the device's video memory

protected:
    void Unlink();

private:
    DeviceBase* device_;
};

// ---- buffers -------------------------------------------------------------------------
struct BufferStore {
    std::vector<uint8_t> bytes;
    uint32_t lockCount = 0;
    uint32_t lockFlags = 0;              // flags of the locks since the last upload
    uint32_t dirtyFrom = 0, dirtyTo = 0; // byte range written since the last upload
    bool dynamic = false;
};

template <class Iface, class Desc> class BufferImpl final : public Iface, public ResourceLink {
public:
    BufferImpl(DeviceBase* device, const Desc& desc) : ResourceLink(device), desc_(desc) {
        store.bytes.assign(desc.Size, 0);
        store.dynamic = (desc.Usage & D3DUSAGE_DYNAMIC) != 0;
    }
    ~BufferImpl() override { Unlink(); }
    Result GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return desc_.Type; }
    Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override;
    Result Unlock() override;
    Result GetDesc(Desc* desc) override {
        if (!desc) return D3DERR_INVALIDCALL;
        *desc = desc_;
        return D3D_OK;
    }
    const Desc& desc() const { return desc_; }
    BufferStore store;

private:
    Desc desc_;
};

using VertexBufferImpl = BufferImpl<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
using IndexBufferImpl = BufferImpl<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

// ---- surfaces and textures -------------------------------------------------------------
class SurfaceImpl final : public IDirect3DSurface9, public ResourceLink {
public:
    SurfaceImpl(DeviceBase* device, const D3DSURFACE_DESC& desc, bool lockable);
    ~SurfaceImpl() override { Unlink(); }
    Result GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    Result GetDesc(D3DSURFACE_DESC* desc) override;
    Result LockRect(D3DLOCKED_RECT* locked, const RECT* rect, uint32_t flags) override;
    Result UnlockRect() override;

    const D3DSURFACE_DESC& desc() const { return desc_; }
    uint32_t pitch() const { return pitch_; }
    uint32_t rows() const { return FormatRows(desc_.Format, desc_.Height); }
    bool IsRenderTarget() const { return (desc_.Usage & D3DUSAGE_RENDERTARGET) != 0; }
    bool IsDepth() const { return (desc_.Usage & D3DUSAGE_DEPTHSTENCIL) != 0; }

    // The CPU copy, top row first, with any deferred fill written into it.
    std::vector<uint8_t>& bytes() {
        if (!pendingFills_.empty()) ApplyPendingFills();
        return pixels_;
    }
    const std::vector<uint8_t>& bytes() const { return const_cast<SurfaceImpl*>(this)->bytes(); }
    // A fill of a rectangle with a colour that reaches the pixels only when
    // they are next read or written: the recording device's targets are
    // cleared every frame (the whole and parts of it) and rarely looked at. A
    // later fill that covers an earlier one replaces it.
    void DeferFill(const RECT& rect, D3DCOLOR color);

    bool locked = false;
    uint32_t lockFlags = 0;
    RECT lockRect;
    // True when the backend's copy is newer than `bytes` (drawn into).
    bool gpuNewer = false;
    TextureImpl* container = nullptr; // the texture this is a level of (not owned)
    uint32_t level = 0;
    bool lockable = true;

private:
    void ApplyPendingFills();

    struct PendingFill {
        RECT rect;
        D3DCOLOR color;
    };
    std::vector<uint8_t> pixels_;
    std::vector<PendingFill> pendingFills_; // in the order they were made
    D3DSURFACE_DESC desc_;
    uint32_t pitch_;
};

class TextureImpl final : public IDirect3DTexture9, public ResourceLink {
public:
    TextureImpl(DeviceBase* device, uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                D3DFORMAT format, D3DPOOL pool);
    ~TextureImpl() override;
    Result GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    uint32_t GetLevelCount() override { return uint32_t(levels.size()); }
    Result GetLevelDesc(uint32_t level, D3DSURFACE_DESC* desc) override;
    Result GetSurfaceLevel(uint32_t level, IDirect3DSurface9** surface) override;
    Result LockRect(uint32_t level, D3DLOCKED_RECT* locked, const RECT* rect, uint32_t flags) override;
    Result UnlockRect(uint32_t level) override;

    std::vector<Ref<SurfaceImpl>> levels;
    uint32_t usage;
    D3DFORMAT format;
    D3DPOOL pool;
};

// Number of levels of a full chain down to 1x1.
uint32_t FullMipCount(uint32_t width, uint32_t height);

// ---- shaders and declarations -------------------------------------------------------
class VertexDeclImpl final : public IDirect3DVertexDeclaration9 {
public:
    explicit VertexDeclImpl(std::vector<D3DVERTEXELEMENT9> e) : elements(std::move(e)) {}
    Result GetDeclaration(D3DVERTEXELEMENT9* out, uint32_t* count) override;
    std::vector<D3DVERTEXELEMENT9> elements; // without the end element
};

template <class Iface> class ShaderImpl final : public Iface, public ResourceLink {
public:
    ShaderImpl(DeviceBase* device, std::string src) : ResourceLink(device), source(std::move(src)) {}
    ~ShaderImpl() override { Unlink(); }
    const std::string& GetSource() const override { return source; }
    std::string source;
};
using VertexShaderImpl = ShaderImpl<IDirect3DVertexShader9>;
using PixelShaderImpl = ShaderImpl<IDirect3DPixelShader9>;

// ---- device state -----------------------------------------------------------------
struct LightSlot {
    D3DLIGHT9 light;
    bool enabled = false;
    bool set = false;
};

inline constexpr uint32_t kTransformSlots = 2 + 8 + 1; // view, projection, texture 0-7, world
int TransformSlot(D3DTRANSFORMSTATETYPE t);            // -1 when not kept
inline constexpr uint32_t kMaxLightIndex = 4096;       // highest light index accepted + 1

struct StreamBinding {
    Ref<VertexBufferImpl> buffer;
    uint32_t offset = 0;
    uint32_t stride = 0;
};

struct DeviceState {
    std::array<uint32_t, kRenderStateCount> rs{};
    std::array<std::array<uint32_t, kTextureStageStateCount>, kMaxTextureStages> tss{};
    std::array<std::array<uint32_t, kSamplerStateCount>, kMaxTextureStages> samp{};
    std::array<Matrix, kTransformSlots> transforms{};
    D3DVIEWPORT9 viewport;
    D3DMATERIAL9 material;
    std::vector<LightSlot> lights;
    std::array<std::array<float, 4>, 6> clipPlanes{};
    std::array<Ref<TextureImpl>, kMaxTextureStages> textures;
    std::array<StreamBinding, kMaxStreams> streams;
    Ref<IndexBufferImpl> indices;
    uint32_t fvf = 0;
    Ref<VertexDeclImpl> decl;
    Ref<VertexShaderImpl> vs;
    Ref<PixelShaderImpl> ps;
    std::array<std::array<float, 4>, kMaxVertexShaderConstF> vsConstF{};
    std::array<std::array<int32_t, 4>, kMaxShaderConstI> vsConstI{};
    std::array<int32_t, kMaxShaderConstB> vsConstB{};
    std::array<std::array<float, 4>, kMaxPixelShaderConstF> psConstF{};
    std::array<std::array<int32_t, 4>, kMaxShaderConstI> psConstI{};
    std::array<int32_t, kMaxShaderConstB> psConstB{};
    Ref<SurfaceImpl> renderTarget;
    Ref<SurfaceImpl> depthStencil;
    RECT scissor;
    bool inScene = false;
};

// Change counters the backends use to skip unchanged uploads.
struct StateVersions {
    // renderStates moves on every change; keyStates when a state that shapes the
    // generated shaders changes, uniformStates when one the shaders read changes.
    uint64_t transforms = 1, lights = 1, material = 1, renderStates = 1, keyStates = 1, uniformStates = 1,
             stages = 1, samplers = 1, textures = 1, vertexInput = 1, shaders = 1, vsConst = 1, psConst = 1,
             targets = 1, viewport = 1, clip = 1;
};

// A draw as the backend receives it.
struct DrawRequest {
    enum Kind { Arrays, Indexed, UserArrays, UserIndexed } kind = Arrays;
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    uint32_t primitiveCount = 0;
    uint32_t vertexCount = 0; // vertices the primitives use
    uint32_t indexCount = 0;
    uint32_t startVertex = 0; // Arrays
    int32_t baseVertex = 0;   // Indexed
    uint32_t minVertex = 0;   // Indexed, UserIndexed
    uint32_t numVertices = 0; // Indexed, UserIndexed
    uint32_t startIndex = 0;  // Indexed
    const void* userVertices = nullptr;
    uint32_t userStride = 0;
    const void* userIndices = nullptr;
    D3DFORMAT userIndexFormat = D3DFMT_INDEX16;
};
// Vertices used by `count` primitives of a type.
uint32_t VerticesForPrimitives(D3DPRIMITIVETYPE type, uint32_t count);

class DeviceBase : public IDirect3DDevice9 {
public:
    DeviceBase(IDirect3D9* parent, const D3DCAPS9& caps, const D3DPRESENT_PARAMETERS& pp, uint32_t behaviour);
    ~DeviceBase() override;

    // -- record --
    void SetRecording(bool on) { recording_ = on; }
    const std::vector<GfxCall>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    // Texts of the recorded calls with this name, e.g. Find("SetRenderState").
    std::vector<std::string> Find(const std::string& name) const;
    size_t CountCalls(const std::string& name) const;

    const DeviceState& state() const { return state_; }
    const StateVersions& versions() const { return versions_; }
    const D3DPRESENT_PARAMETERS& presentParameters() const { return pp_; }
    uint32_t behaviour() const { return behaviour_; }
    uint64_t videoMemoryUsed() const { return videoUsed_; }

    // -- IDirect3DDevice9 --
    Result TestCooperativeLevel() override;
    uint32_t GetAvailableTextureMem() override;
    Result EvictManagedResources() override;
    Result GetDirect3D(IDirect3D9** d3d) override;
    Result GetDeviceCaps(D3DCAPS9* caps) override;
    Result GetDisplayMode(uint32_t swapChain, D3DDISPLAYMODE* mode) override;
    Result Present(const RECT* sourceRect, const RECT* destRect, WindowHandle destWindowOverride,
                   const void* dirtyRegion) override;
    Result GetBackBuffer(uint32_t swapChain, uint32_t backBuffer, D3DBACKBUFFER_TYPE type,
                         IDirect3DSurface9** surface) override;
    Result CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, D3DFORMAT format,
                         D3DPOOL pool, IDirect3DTexture9** texture, void* sharedHandle) override;
    Result CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, D3DPOOL pool,
                              IDirect3DVertexBuffer9** buffer, void* sharedHandle) override;
    Result CreateIndexBuffer(uint32_t length, uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                             IDirect3DIndexBuffer9** buffer, void* sharedHandle) override;
    Result CreateRenderTarget(uint32_t width, uint32_t height, D3DFORMAT format,
                              D3DMULTISAMPLE_TYPE multiSample, uint32_t multisampleQuality, int32_t lockable,
                              IDirect3DSurface9** surface, void* sharedHandle) override;
    Result CreateDepthStencilSurface(uint32_t width, uint32_t height, D3DFORMAT format,
                                     D3DMULTISAMPLE_TYPE multiSample, uint32_t multisampleQuality,
                                     int32_t discard, IDirect3DSurface9** surface,
                                     void* sharedHandle) override;
    Result CreateOffscreenPlainSurface(uint32_t width, uint32_t height, D3DFORMAT format, D3DPOOL pool,
                                       IDirect3DSurface9** surface, void* sharedHandle) override;
    Result UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                         const POINT* destPoint) override;
    Result GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destSurface) override;
    Result StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                       const RECT* destRect, D3DTEXTUREFILTERTYPE filter) override;
    Result ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) override;
    Result SetRenderTarget(uint32_t index, IDirect3DSurface9* surface) override;
    Result GetRenderTarget(uint32_t index, IDirect3DSurface9** surface) override;
    Result SetDepthStencilSurface(IDirect3DSurface9* surface) override;
    Result GetDepthStencilSurface(IDirect3DSurface9** surface) override;
    Result BeginScene() override;
    Result EndScene() override;
    Result Clear(uint32_t count, const RECT* rects, uint32_t flags, D3DCOLOR color, float z,
                 uint32_t stencil) override;
    Result SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    Result GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    Result SetViewport(const D3DVIEWPORT9* viewport) override;
    Result GetViewport(D3DVIEWPORT9* viewport) override;
    Result SetMaterial(const D3DMATERIAL9* material) override;
    Result GetMaterial(D3DMATERIAL9* material) override;
    Result SetLight(uint32_t index, const D3DLIGHT9* light) override;
    Result GetLight(uint32_t index, D3DLIGHT9* light) override;
    Result LightEnable(uint32_t index, int32_t enable) override;
    Result GetLightEnable(uint32_t index, int32_t* enable) override;
    Result SetClipPlane(uint32_t index, const float* plane) override;
    Result GetClipPlane(uint32_t index, float* plane) override;
    Result SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) override;
    Result GetRenderState(D3DRENDERSTATETYPE state, uint32_t* value) override;
    Result GetTexture(uint32_t stage, IDirect3DBaseTexture9** texture) override;
    Result SetTexture(uint32_t stage, IDirect3DBaseTexture9* texture) override;
    Result GetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t* value) override;
    Result SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) override;
    Result GetSamplerState(uint32_t sampler, D3DSAMPLERSTATETYPE type, uint32_t* value) override;
    Result SetSamplerState(uint32_t sampler, D3DSAMPLERSTATETYPE type, uint32_t value) override;
    Result SetScissorRect(const RECT* rect) override;
    Result GetScissorRect(RECT* rect) override;
    Result DrawPrimitive(D3DPRIMITIVETYPE type, uint32_t startVertex, uint32_t primitiveCount) override;
    Result DrawIndexedPrimitive(D3DPRIMITIVETYPE type, int32_t baseVertexIndex, uint32_t minVertexIndex,
                                uint32_t numVertices, uint32_t startIndex, uint32_t primitiveCount) override;
    Result DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertexData,
                           uint32_t vertexStride) override;
    Result DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t minVertexIndex, uint32_t numVertices,
                                  uint32_t primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                  const void* vertexData, uint32_t vertexStride) override;
    Result CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                   IDirect3DVertexDeclaration9** declaration) override;
    Result SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override;
    Result GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) override;
    Result SetFVF(uint32_t fvf) override;
    Result GetFVF(uint32_t* fvf) override;
    Result SetStreamSource(uint32_t stream, IDirect3DVertexBuffer9* buffer, uint32_t offsetInBytes,
                           uint32_t stride) override;
    Result GetStreamSource(uint32_t stream, IDirect3DVertexBuffer9** buffer, uint32_t* offsetInBytes,
                           uint32_t* stride) override;
    Result SetIndices(IDirect3DIndexBuffer9* indexData) override;
    Result GetIndices(IDirect3DIndexBuffer9** indexData) override;
    Result CreateVertexShader(const uint32_t* function, IDirect3DVertexShader9** shader) override;
    Result SetVertexShader(IDirect3DVertexShader9* shader) override;
    Result GetVertexShader(IDirect3DVertexShader9** shader) override;
    Result SetVertexShaderConstantF(uint32_t startRegister, const float* data,
                                    uint32_t vector4fCount) override;
    Result SetVertexShaderConstantI(uint32_t startRegister, const int32_t* data,
                                    uint32_t vector4iCount) override;
    Result SetVertexShaderConstantB(uint32_t startRegister, const int32_t* data, uint32_t boolCount) override;
    Result CreatePixelShader(const uint32_t* function, IDirect3DPixelShader9** shader) override;
    Result SetPixelShader(IDirect3DPixelShader9* shader) override;
    Result GetPixelShader(IDirect3DPixelShader9** shader) override;
    Result SetPixelShaderConstantF(uint32_t startRegister, const float* data,
                                   uint32_t vector4fCount) override;
    Result SetPixelShaderConstantI(uint32_t startRegister, const int32_t* data,
                                   uint32_t vector4iCount) override;
    Result SetPixelShaderConstantB(uint32_t startRegister, const int32_t* data, uint32_t boolCount) override;
    std::string GetLastShaderError() override;
    // Makes the blocks at once, level by level, through a lock of each.
    Result FillCompressedTexture(IDirect3DTexture9* texture,
                                 std::vector<std::vector<uint8_t>> bgraLevels) override;

    // -- called by resources --
    void Track(ResourceLink* r);
    void Untrack(ResourceLink* r);
    // A lock of a buffer or surface may be refused (injected failures).
    virtual bool LockAllowed(uint32_t flags);
    virtual void BufferUnlocked(ResourceLink& buffer, BufferStore& store) { (void)buffer, (void)store; }
    // Before a lock hands out the CPU copy of a surface (backends read back here).
    virtual Result SurfaceLocking(SurfaceImpl& surface, uint32_t flags);
    virtual void SurfaceUnlocked(SurfaceImpl& surface, const RECT& dirty) { (void)surface, (void)dirty; }
    virtual void ResourceFreed(ResourceLink& resource) { (void)resource; }
    void Recordf(const char* name, const std::string& args);
    bool recording() const { return recording_; }

protected:
    // Finishes construction: makes the back buffer and the automatic depth
    // surface. Backends call it once their own side exists.
    Result InitTargets();
    // Video memory check for a new resource; failure gives D3DERR_OUTOFVIDEOMEMORY.
    virtual bool VideoMemoryAvailable(uint64_t bytes);
    // Backend hooks. The defaults work on the CPU copies only.
    virtual Result BackendCreateTexture(TextureImpl& texture) {
        (void)texture;
        return D3D_OK;
    }
    virtual Result BackendCreateBuffer(ResourceLink& buffer, BufferStore& store, bool index) {
        (void)buffer, (void)store, (void)index;
        return D3D_OK;
    }
    virtual Result BackendCreateSurface(SurfaceImpl& surface) {
        (void)surface;
        return D3D_OK;
    }
    virtual Result BackendCreateShader(ResourceLink& shader, const std::string& source, bool pixel,
                                       std::string* error) {
        (void)shader, (void)source, (void)pixel, (void)error;
        return D3D_OK;
    }
    virtual Result BackendClear(uint32_t count, const RECT* rects, uint32_t flags, D3DCOLOR color, float z,
                                uint32_t stencil);
    virtual Result BackendDraw(const DrawRequest& draw) {
        (void)draw;
        return D3D_OK;
    }
    virtual Result BackendCopy(SurfaceImpl& src, const RECT& srcRect, SurfaceImpl& dst, const RECT& dstRect,
                               D3DTEXTUREFILTERTYPE filter);
    virtual Result BackendReadBack(SurfaceImpl& renderTarget, SurfaceImpl& dest);
    virtual Result BackendColorFill(SurfaceImpl& surface, const RECT& rect, D3DCOLOR color);
    virtual Result BackendPresent() { return D3D_OK; }

    // Drops every resource link (backends call it before their context goes).
    void OrphanAll();

    DeviceState state_;
    StateVersions versions_;
    D3DCAPS9 caps_;
    D3DPRESENT_PARAMETERS pp_;
    uint32_t behaviour_;
    Ref<IDirect3D9> parent_;
    Ref<SurfaceImpl> backBuffer_;
    Ref<SurfaceImpl> autoDepth_;
    std::string lastShaderError_;
    std::recursive_mutex mutex_;

private:
    Result ValidateDraw(D3DPRIMITIVETYPE type, uint32_t primitiveCount);
    Result CreateShaderCommon(const uint32_t* function, bool pixel, IGfxObject** out);
    void SetDefaultStates();

    bool recording_ = false;
    std::vector<GfxCall> calls_;
    std::mutex liveMutex_; // resources may go on any thread
    std::unordered_set<ResourceLink*> live_;
    uint64_t videoUsed_ = 0;
};

// CPU copy of a rectangle between two surfaces of one format, scaling by
// nearest or linear sampling; false when formats differ in a way it cannot convert.
bool CopySurfaceRect(const SurfaceImpl& src, const RECT& srcRect, SurfaceImpl& dst, const RECT& dstRect,
                     D3DTEXTUREFILTERTYPE filter);
// Fills a rectangle of an uncompressed surface with a colour (converted to its format).
void FillSurfaceRect(SurfaceImpl& surface, const RECT& rect, D3DCOLOR color);
// Whole-surface rectangle; clipped rectangle of a surface (false when empty or outside).
RECT SurfaceRect(const SurfaceImpl& s);
bool ValidRect(const SurfaceImpl& s, const RECT& r);

} // namespace vesk::platform
