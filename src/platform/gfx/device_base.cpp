#include "platform/gfx/device_base.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <typeinfo>

#include "platform/gfx/d3dx.h"
#include "platform/image_codecs.h"

namespace vesk::platform {

// ---- object ids and the factory hook ---------------------------------------------------
namespace {
std::atomic<uint64_t> g_nextId{1};
} // namespace

IGfxObject::IGfxObject() : id_(g_nextId.fetch_add(1, std::memory_order_relaxed)) {}

// ---- argument text for the call record --------------------------------------------------
namespace {

std::string ArgText(uint32_t v) {
    return std::to_string(v);
}
std::string ArgText(int32_t v) {
    return std::to_string(v);
}
std::string ArgText(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", double(v));
    return buf;
}
std::string ArgText(const char* s) {
    return s;
}
std::string ArgText(const IGfxObject* o) {
    return o ? "#" + std::to_string(o->GetId()) : "null";
}
std::string ArgText(const RECT* r) {
    if (!r) return "null";
    return "[" + std::to_string(r->left) + " " + std::to_string(r->top) + " " + std::to_string(r->right) +
           " " + std::to_string(r->bottom) + "]";
}

std::string Join() {
    return {};
}
template <class T, class... Rest> std::string Join(const T& first, const Rest&... rest) {
    std::string s = ArgText(first);
    if constexpr (sizeof...(rest) > 0) s += ", " + Join(rest...);
    return s;
}

// The implementation classes are final, so an object is one exactly when its
// dynamic type is: comparing the type is all the cast needs (textures, buffers
// and streams are set thousands of times a frame).
template <class To, class From> To* Impl(From* p) {
    static_assert(std::is_final_v<To>);
    return p && typeid(*p) == typeid(To) ? static_cast<To*>(p) : nullptr;
}

} // namespace

#define VESK_RECORD(name, ...)                                                                               \
    do {                                                                                                     \
        if (recording_) Recordf(name, Join(__VA_ARGS__));                                                    \
    } while (0)

// ---- resource links ----------------------------------------------------------------
ResourceLink::ResourceLink(DeviceBase* device) : device_(device) {
    if (device_) device_->Track(this);
}
ResourceLink::~ResourceLink() = default;

void ResourceLink::Unlink() {
    if (device_) {
        device_->ResourceFreed(*this);
        device_->Untrack(this);
        device_ = nullptr;
    }
}

namespace {
Result GiveDevice(DeviceBase* device, IDirect3DDevice9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = device;
    if (!device) return D3DERR_INVALIDCALL;
    device->AddRef();
    return D3D_OK;
}
} // namespace

// ---- buffers ------------------------------------------------------------------------
template <class I, class D> Result BufferImpl<I, D>::GetDevice(IDirect3DDevice9** device) {
    return GiveDevice(this->device(), device);
}

template <class I, class D>
Result BufferImpl<I, D>::Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) {
    if (!data) return D3DERR_INVALIDCALL;
    *data = nullptr;
    const uint32_t total = uint32_t(store.bytes.size());
    if (offset > total || (size != 0 && size > total - offset)) return D3DERR_INVALIDCALL;
    if (size == 0) size = total - offset;
    DeviceBase* dev = device();
    if (dev && dev->recording())
        dev->Recordf("Lock", Join(static_cast<const IGfxObject*>(this), offset, size, flags));
    if (dev && !dev->LockAllowed(flags)) return D3DERR_INVALIDCALL;
    if (!(flags & D3DLOCK_READONLY) && size > 0) {
        if (store.dirtyFrom == store.dirtyTo) {
            store.dirtyFrom = offset;
            store.dirtyTo = offset + size;
        } else {
            store.dirtyFrom = std::min(store.dirtyFrom, offset);
            store.dirtyTo = std::max(store.dirtyTo, offset + size);
        }
    }
    store.lockFlags |= flags;
    ++store.lockCount;
    *data = store.bytes.data() + offset;
    return D3D_OK;
}

template <class I, class D> Result BufferImpl<I, D>::Unlock() {
    DeviceBase* dev = device();
    if (dev && dev->recording()) dev->Recordf("Unlock", Join(static_cast<const IGfxObject*>(this)));
    if (store.lockCount == 0) return D3DERR_INVALIDCALL;
    if (--store.lockCount == 0) {
        if (dev && store.dirtyFrom != store.dirtyTo) dev->BufferUnlocked(*this, store);
        store.dirtyFrom = store.dirtyTo = 0;
        store.lockFlags = 0;
    }
    return D3D_OK;
}

template class BufferImpl<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
template class BufferImpl<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

// ---- surfaces -----------------------------------------------------------------------
SurfaceImpl::SurfaceImpl(DeviceBase* device, const D3DSURFACE_DESC& desc, bool lock)
    : ResourceLink(device), lockable(lock), desc_(desc), pitch_(FormatPitch(desc.Format, desc.Width)) {
    pixels_.assign(size_t(pitch_) * rows(), 0);
}

Result SurfaceImpl::GetDevice(IDirect3DDevice9** device) {
    return GiveDevice(this->device(), device);
}

Result SurfaceImpl::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
}

RECT SurfaceRect(const SurfaceImpl& s) {
    RECT r;
    r.right = int32_t(s.desc().Width);
    r.bottom = int32_t(s.desc().Height);
    return r;
}

bool ValidRect(const SurfaceImpl& s, const RECT& r) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           r.right <= int32_t(s.desc().Width) && r.bottom <= int32_t(s.desc().Height);
}

Result SurfaceImpl::LockRect(D3DLOCKED_RECT* out, const RECT* rect, uint32_t flags) {
    if (!out) return D3DERR_INVALIDCALL;
    out->pBits = nullptr;
    out->Pitch = 0;
    DeviceBase* dev = device();
    if (dev && dev->recording())
        dev->Recordf("LockRect", Join(static_cast<const IGfxObject*>(this), rect, flags));
    if (locked || IsDepth()) return D3DERR_INVALIDCALL;
    RECT r = rect ? *rect : SurfaceRect(*this);
    if (!ValidRect(*this, r)) return D3DERR_INVALIDCALL;
    const bool compressed = IsCompressedFormat(desc_.Format);
    if (compressed && ((r.left | r.top) & 3)) return D3DERR_INVALIDCALL;
    if (dev && !dev->LockAllowed(flags)) return D3DERR_INVALIDCALL;
    if (dev) {
        Result res = dev->SurfaceLocking(*this, flags);
        if (Failed(res)) return res;
    }
    locked = true;
    lockFlags = flags;
    lockRect = r;
    size_t x = compressed ? size_t(r.left / 4) * (desc_.Format == D3DFMT_DXT1 ? 8 : 16)
                          : size_t(r.left) * FormatBytesPerPixel(desc_.Format);
    size_t y = compressed ? size_t(r.top / 4) : size_t(r.top);
    out->pBits = bytes().data() + y * pitch_ + x;
    out->Pitch = int32_t(pitch_);
    return D3D_OK;
}

Result SurfaceImpl::UnlockRect() {
    DeviceBase* dev = device();
    if (dev && dev->recording()) dev->Recordf("UnlockRect", Join(static_cast<const IGfxObject*>(this)));
    if (!locked) return D3DERR_INVALIDCALL;
    locked = false;
    if (dev && !(lockFlags & D3DLOCK_READONLY)) dev->SurfaceUnlocked(*this, lockRect);
    return D3D_OK;
}

// ---- textures -----------------------------------------------------------------------
uint32_t FullMipCount(uint32_t width, uint32_t height) {
    uint32_t n = 1;
    while (width > 1 || height > 1) {
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
        ++n;
    }
    return n;
}

TextureImpl::TextureImpl(DeviceBase* device, uint32_t width, uint32_t height, uint32_t levelCount,
                         uint32_t use, D3DFORMAT fmt, D3DPOOL p)
    : ResourceLink(device), usage(use), format(fmt), pool(p) {
    uint32_t w = width, h = height;
    for (uint32_t i = 0; i < levelCount; ++i) {
        D3DSURFACE_DESC d;
        d.Format = fmt;
        d.Type = D3DRTYPE_SURFACE;
        d.Usage = use;
        d.Pool = p;
        d.Width = w;
        d.Height = h;
        // Levels count no video memory of their own: the texture does.
        Ref<SurfaceImpl> s(new SurfaceImpl(device, d, true));
        s->container = this;
        s->level = i;
        levels.push_back(std::move(s));
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
}

TextureImpl::~TextureImpl() {
    Unlink();
    for (auto& l : levels) l->container = nullptr;
}

Result TextureImpl::GetDevice(IDirect3DDevice9** device) {
    return GiveDevice(this->device(), device);
}

Result TextureImpl::GetLevelDesc(uint32_t level, D3DSURFACE_DESC* desc) {
    if (level >= levels.size() || !desc) return D3DERR_INVALIDCALL;
    return levels[level]->GetDesc(desc);
}

Result TextureImpl::GetSurfaceLevel(uint32_t level, IDirect3DSurface9** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (level >= levels.size()) return D3DERR_INVALIDCALL;
    *surface = Ref<SurfaceImpl>(levels[level]).Detach();
    return D3D_OK;
}

Result TextureImpl::LockRect(uint32_t level, D3DLOCKED_RECT* locked, const RECT* rect, uint32_t flags) {
    if (level >= levels.size()) {
        if (locked) *locked = {};
        return D3DERR_INVALIDCALL;
    }
    return levels[level]->LockRect(locked, rect, flags);
}

Result TextureImpl::UnlockRect(uint32_t level) {
    if (level >= levels.size()) return D3DERR_INVALIDCALL;
    return levels[level]->UnlockRect();
}

// ---- declarations -------------------------------------------------------------------
Result VertexDeclImpl::GetDeclaration(D3DVERTEXELEMENT9* out, uint32_t* count) {
    if (!count) return D3DERR_INVALIDCALL;
    if (out) {
        std::copy(elements.begin(), elements.end(), out);
        out[elements.size()] = D3DDECL_END;
    }
    *count = uint32_t(elements.size() + 1);
    return D3D_OK;
}

// ---- helpers ------------------------------------------------------------------------
int TransformSlot(D3DTRANSFORMSTATETYPE t) {
    if (t == D3DTS_VIEW) return 0;
    if (t == D3DTS_PROJECTION) return 1;
    if (t >= D3DTS_TEXTURE0 && t <= D3DTS_TEXTURE7) return 2 + int(t - D3DTS_TEXTURE0);
    if (t == D3DTS_WORLD) return 10;
    return -1;
}

uint32_t VerticesForPrimitives(D3DPRIMITIVETYPE type, uint32_t count) {
    switch (type) {
    case D3DPT_POINTLIST:
        return count;
    case D3DPT_LINELIST:
        return count * 2;
    case D3DPT_LINESTRIP:
        return count + 1;
    case D3DPT_TRIANGLELIST:
        return count * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return count + 2;
    }
    return 0;
}

namespace {

// One pixel of an uncompressed format as A8R8G8B8 and back.
uint32_t ReadPixel(D3DFORMAT f, const uint8_t* p) {
    switch (f) {
    case D3DFMT_A8R8G8B8:
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    case D3DFMT_X8R8G8B8:
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | 0xFF000000u;
    case D3DFMT_R8G8B8:
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | 0xFF000000u;
    case D3DFMT_R5G6B5: {
        uint32_t v = uint32_t(p[0]) | (uint32_t(p[1]) << 8);
        uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        return 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) |
               ((b << 3) | (b >> 2));
    }
    case D3DFMT_A8:
        return uint32_t(p[0]) << 24;
    case D3DFMT_L8:
        return 0xFF000000u | uint32_t(p[0]) * 0x010101u;
    default:
        return 0;
    }
}

void WritePixel(D3DFORMAT f, uint8_t* p, uint32_t c) {
    switch (f) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16), p[3] = uint8_t(c >> 24);
        break;
    case D3DFMT_R8G8B8:
        p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16);
        break;
    case D3DFMT_R5G6B5: {
        uint32_t v = (((c >> 19) & 31) << 11) | (((c >> 10) & 63) << 5) | ((c >> 3) & 31);
        p[0] = uint8_t(v), p[1] = uint8_t(v >> 8);
        break;
    }
    case D3DFMT_A8:
        p[0] = uint8_t(c >> 24);
        break;
    case D3DFMT_L8:
        p[0] = uint8_t(((c >> 16 & 255) * 77 + (c >> 8 & 255) * 150 + (c & 255) * 29) >> 8);
        break;
    default:
        break;
    }
}

bool PixelFormatKnown(D3DFORMAT f) {
    switch (f) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_A8:
    case D3DFMT_L8:
        return true;
    default:
        return false;
    }
}

} // namespace

bool CopySurfaceRect(const SurfaceImpl& src, const RECT& sr, SurfaceImpl& dst, const RECT& dr,
                     D3DTEXTUREFILTERTYPE filter) {
    const D3DFORMAT sf = src.desc().Format, df = dst.desc().Format;
    const int32_t sw = sr.right - sr.left, sh = sr.bottom - sr.top;
    const int32_t dw = dr.right - dr.left, dh = dr.bottom - dr.top;
    if (sf == df && sw == dw && sh == dh) {
        // Same format and size: plain row copies (also block-compressed, in whole blocks).
        const bool compressed = IsCompressedFormat(sf);
        const uint32_t unit = compressed ? (sf == D3DFMT_DXT1 ? 8 : 16) : FormatBytesPerPixel(sf);
        if (unit == 0) return false;
        const int32_t step = compressed ? 4 : 1;
        if (compressed && ((sr.left | sr.top | dr.left | dr.top) & 3)) return false;
        const size_t rowBytes = size_t((sw + step - 1) / step) * unit;
        for (int32_t y = 0; y < (sh + step - 1) / step; ++y) {
            const uint8_t* s =
                src.bytes().data() + size_t(sr.top / step + y) * src.pitch() + size_t(sr.left / step) * unit;
            uint8_t* d =
                dst.bytes().data() + size_t(dr.top / step + y) * dst.pitch() + size_t(dr.left / step) * unit;
            std::memcpy(d, s, rowBytes);
        }
        return true;
    }
    if (!PixelFormatKnown(sf) || !PixelFormatKnown(df)) return false;
    const uint32_t sbpp = FormatBytesPerPixel(sf), dbpp = FormatBytesPerPixel(df);
    auto fetch = [&](int32_t x, int32_t y) {
        x = std::clamp(x, sr.left, sr.right - 1);
        y = std::clamp(y, sr.top, sr.bottom - 1);
        return ReadPixel(sf, src.bytes().data() + size_t(y) * src.pitch() + size_t(x) * sbpp);
    };
    for (int32_t y = 0; y < dh; ++y) {
        for (int32_t x = 0; x < dw; ++x) {
            // Sample at the destination pixel's centre mapped into the source rect.
            const float fx = sr.left + (x + 0.5f) * float(sw) / float(dw) - 0.5f;
            const float fy = sr.top + (y + 0.5f) * float(sh) / float(dh) - 0.5f;
            uint32_t c;
            if (filter == D3DTEXF_LINEAR && (sw != dw || sh != dh)) {
                const int32_t x0 = int32_t(std::floor(fx)), y0 = int32_t(std::floor(fy));
                const float ax = fx - float(x0), ay = fy - float(y0);
                const uint32_t c00 = fetch(x0, y0), c10 = fetch(x0 + 1, y0), c01 = fetch(x0, y0 + 1),
                               c11 = fetch(x0 + 1, y0 + 1);
                c = 0;
                for (int sh8 = 0; sh8 < 32; sh8 += 8) {
                    const float top = float(c00 >> sh8 & 255) * (1 - ax) + float(c10 >> sh8 & 255) * ax;
                    const float bot = float(c01 >> sh8 & 255) * (1 - ax) + float(c11 >> sh8 & 255) * ax;
                    c |= uint32_t(std::lround(top * (1 - ay) + bot * ay)) << sh8;
                }
            } else {
                c = fetch(int32_t(std::lround(fx)), int32_t(std::lround(fy)));
            }
            WritePixel(df, dst.bytes().data() + size_t(dr.top + y) * dst.pitch() + size_t(dr.left + x) * dbpp,
                       c);
        }
    }
    return true;
}

void FillSurfaceRect(SurfaceImpl& s, const RECT& r, D3DCOLOR color) {
    const D3DFORMAT f = s.desc().Format;
    if (!PixelFormatKnown(f) || r.left >= r.right || r.top >= r.bottom) return;
    const uint32_t bpp = FormatBytesPerPixel(f);
    // One row of the colour, written once and copied into every row: a whole
    // back buffer is cleared every frame.
    const size_t width = size_t(r.right - r.left);
    std::vector<uint8_t> row(width * bpp);
    WritePixel(f, row.data(), color);
    for (size_t done = 1; done < width;) {
        const size_t n = std::min(done, width - done);
        std::memcpy(row.data() + done * bpp, row.data(), n * bpp);
        done += n;
    }
    uint8_t* pixels = s.bytes().data();
    for (int32_t y = r.top; y < r.bottom; ++y)
        std::memcpy(pixels + size_t(y) * s.pitch() + size_t(r.left) * bpp, row.data(), row.size());
}

void SurfaceImpl::DeferFill(const RECT& rect, D3DCOLOR color) {
    // Writes through a pointer handed out by a lock land after this fill.
    if (locked) {
        FillSurfaceRect(*this, rect, color);
        return;
    }
    auto inside = [](const RECT& a, const RECT& b) {
        return a.left >= b.left && a.top >= b.top && a.right <= b.right && a.bottom <= b.bottom;
    };
    // Refilling part of the last fill with its own colour changes nothing.
    if (!pendingFills_.empty() && pendingFills_.back().color == color &&
        inside(rect, pendingFills_.back().rect))
        return;
    std::erase_if(pendingFills_, [&](const PendingFill& f) { return inside(f.rect, rect); });
    // A frame's target sees a few clears; past that they are written out.
    constexpr size_t kMaxPending = 4;
    if (pendingFills_.size() == kMaxPending) ApplyPendingFills();
    pendingFills_.push_back({rect, color});
}

void SurfaceImpl::ApplyPendingFills() {
    std::vector<PendingFill> fills;
    fills.swap(pendingFills_);
    for (const PendingFill& f : fills) FillSurfaceRect(*this, f.rect, f.color);
    // The list keeps its room for the next frame's clears.
    fills.clear();
    pendingFills_.swap(fills);
}

// ---- the device ---------------------------------------------------------------------
DeviceBase::DeviceBase(IDirect3D9* parent, const D3DCAPS9& caps, const D3DPRESENT_PARAMETERS& pp,
                       uint32_t behaviour)
    : caps_(caps), pp_(pp), behaviour_(behaviour), parent_(Ref<IDirect3D9>::Share(parent)) {
    SetDefaultStates();
}

DeviceBase::~DeviceBase() {
    OrphanAll();
}

void DeviceBase::OrphanAll() {
    state_ = DeviceState{};
    backBuffer_ = nullptr;
    autoDepth_ = nullptr;
    std::vector<ResourceLink*> live;
    {
        std::lock_guard lock(liveMutex_);
        live.assign(live_.begin(), live_.end());
        live_.clear();
    }
    for (ResourceLink* r : live) {
        ResourceFreed(*r);
        r->Orphan();
    }
}

void DeviceBase::SetDefaultStates() {
    auto& rs = state_.rs;
    rs.fill(0);
    rs[D3DRS_ZENABLE] = pp_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = 1;
    rs[D3DRS_LASTPIXEL] = 1;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_FOGEND] = FloatBits(1.0f);
    rs[D3DRS_FOGDENSITY] = FloatBits(1.0f);
    rs[D3DRS_STENCILFAIL] = rs[D3DRS_STENCILZFAIL] = rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    rs[D3DRS_CLIPPING] = 1;
    rs[D3DRS_LIGHTING] = 1;
    rs[D3DRS_COLORVERTEX] = 1;
    rs[D3DRS_LOCALVIEWER] = 1;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    rs[D3DRS_POINTSIZE] = FloatBits(1.0f);
    rs[D3DRS_POINTSIZE_MIN] = FloatBits(1.0f);
    rs[D3DRS_POINTSCALE_A] = FloatBits(1.0f);
    rs[D3DRS_MULTISAMPLEANTIALIAS] = 1;
    rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_POINTSIZE_MAX] = FloatBits(64.0f);
    rs[D3DRS_COLORWRITEENABLE] = 0xF;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFFu;
    rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
    rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
    for (uint32_t s = 0; s < kMaxTextureStages; ++s) {
        auto& t = state_.tss[s];
        t.fill(0);
        t[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        t[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        t[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        t[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        t[D3DTSS_TEXCOORDINDEX] = s;
        t[D3DTSS_COLORARG0] = t[D3DTSS_ALPHAARG0] = t[D3DTSS_RESULTARG] = D3DTA_CURRENT;
        auto& m = state_.samp[s];
        m.fill(0);
        m[D3DSAMP_ADDRESSU] = m[D3DSAMP_ADDRESSV] = m[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        m[D3DSAMP_MAGFILTER] = m[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        m[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        m[D3DSAMP_MAXANISOTROPY] = 1;
    }
}

Result DeviceBase::InitTargets() {
    D3DSURFACE_DESC d;
    d.Format = pp_.BackBufferFormat == D3DFMT_UNKNOWN ? D3DFMT_X8R8G8B8 : pp_.BackBufferFormat;
    d.Usage = D3DUSAGE_RENDERTARGET;
    d.Pool = D3DPOOL_DEFAULT;
    d.Width = pp_.BackBufferWidth;
    d.Height = pp_.BackBufferHeight;
    backBuffer_ = Ref<SurfaceImpl>(new SurfaceImpl(this, d, false));
    Result r = BackendCreateSurface(*backBuffer_);
    if (Failed(r)) return r;
    state_.renderTarget = backBuffer_;
    if (pp_.EnableAutoDepthStencil) {
        D3DSURFACE_DESC z = d;
        z.Format = pp_.AutoDepthStencilFormat == D3DFMT_UNKNOWN ? D3DFMT_D24S8 : pp_.AutoDepthStencilFormat;
        z.Usage = D3DUSAGE_DEPTHSTENCIL;
        autoDepth_ = Ref<SurfaceImpl>(new SurfaceImpl(this, z, false));
        r = BackendCreateSurface(*autoDepth_);
        if (Failed(r)) return r;
        state_.depthStencil = autoDepth_;
    }
    state_.viewport = {0, 0, d.Width, d.Height, 0.0f, 1.0f};
    state_.scissor = RECT{0, 0, int32_t(d.Width), int32_t(d.Height)};
    return D3D_OK;
}

void DeviceBase::Track(ResourceLink* r) {
    std::lock_guard lock(liveMutex_);
    live_.insert(r);
}
void DeviceBase::Untrack(ResourceLink* r) {
    std::lock_guard lock(liveMutex_);
    videoUsed_ -= std::min(videoUsed_, r->videoBytes);
    live_.erase(r);
}

bool DeviceBase::LockAllowed(uint32_t) {
    return true;
}
bool DeviceBase::VideoMemoryAvailable(uint64_t) {
    return true;
}

Result DeviceBase::SurfaceLocking(SurfaceImpl& s, uint32_t) {
    // Render targets and the back buffer are not lockable unless made so; the
    // readers of frames go through GetRenderTargetData.
    if (!s.lockable && !s.container) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

void DeviceBase::Recordf(const char* name, const std::string& args) {
    calls_.push_back({name, args});
}

std::vector<std::string> DeviceBase::Find(const std::string& name) const {
    std::vector<std::string> out;
    for (const auto& c : calls_)
        if (c.name == name) out.push_back(c.Text());
    return out;
}

size_t DeviceBase::CountCalls(const std::string& name) const {
    return size_t(
        std::count_if(calls_.begin(), calls_.end(), [&](const GfxCall& c) { return c.name == name; }));
}

Result DeviceBase::TestCooperativeLevel() {
    VESK_RECORD("TestCooperativeLevel");
    return D3D_OK;
}

uint32_t DeviceBase::GetAvailableTextureMem() {
    VESK_RECORD("GetAvailableTextureMem");
    return 512u << 20;
}

Result DeviceBase::EvictManagedResources() {
    VESK_RECORD("EvictManagedResources");
    return D3D_OK;
}

Result DeviceBase::GetDirect3D(IDirect3D9** d3d) {
    VESK_RECORD("GetDirect3D");
    if (!d3d) return D3DERR_INVALIDCALL;
    *d3d = Ref<IDirect3D9>(parent_).Detach();
    return *d3d ? D3D_OK : D3DERR_INVALIDCALL;
}

Result DeviceBase::GetDeviceCaps(D3DCAPS9* caps) {
    VESK_RECORD("GetDeviceCaps");
    if (!caps) return D3DERR_INVALIDCALL;
    *caps = caps_;
    return D3D_OK;
}

Result DeviceBase::GetDisplayMode(uint32_t swapChain, D3DDISPLAYMODE* mode) {
    VESK_RECORD("GetDisplayMode", swapChain);
    if (!mode || swapChain != 0) return D3DERR_INVALIDCALL;
    mode->Width = pp_.BackBufferWidth;
    mode->Height = pp_.BackBufferHeight;
    mode->RefreshRate = pp_.FullScreen_RefreshRateInHz ? pp_.FullScreen_RefreshRateInHz : 60;
    mode->Format = backBuffer_ ? backBuffer_->desc().Format : D3DFMT_X8R8G8B8;
    return D3D_OK;
}

Result DeviceBase::Present(const RECT* sourceRect, const RECT* destRect, WindowHandle, const void*) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("Present", sourceRect, destRect);
    if (state_.inScene) return D3DERR_INVALIDCALL;
    return BackendPresent();
}

Result DeviceBase::GetBackBuffer(uint32_t swapChain, uint32_t backBuffer, D3DBACKBUFFER_TYPE type,
                                 IDirect3DSurface9** surface) {
    VESK_RECORD("GetBackBuffer", swapChain, backBuffer, uint32_t(type));
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (swapChain != 0 || backBuffer != 0 || type != D3DBACKBUFFER_TYPE_MONO || !backBuffer_)
        return D3DERR_INVALIDCALL;
    *surface = Ref<SurfaceImpl>(backBuffer_).Detach();
    return D3D_OK;
}

Result DeviceBase::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                 D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture, void*) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("CreateTexture", width, height, levels, usage, FormatName(format), uint32_t(pool));
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (width == 0 || height == 0 || width > caps_.MaxTextureWidth || height > caps_.MaxTextureHeight)
        return D3DERR_INVALIDCALL;
    if (FormatPitch(format, 1) == 0) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_RENDERTARGET) && (pool != D3DPOOL_DEFAULT || IsCompressedFormat(format)))
        return D3DERR_INVALIDCALL;
    if (usage & D3DUSAGE_DEPTHSTENCIL) return D3DERR_INVALIDCALL;
    const uint32_t full = FullMipCount(width, height);
    if (levels == 0 || levels > full || (usage & D3DUSAGE_AUTOGENMIPMAP)) levels = full;
    uint64_t bytes = 0;
    for (uint32_t i = 0, w = width, h = height; i < levels;
         ++i, w = std::max(1u, w / 2), h = std::max(1u, h / 2))
        bytes += uint64_t(FormatPitch(format, w)) * FormatRows(format, h);
    const bool video = pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED;
    if (video && !VideoMemoryAvailable(bytes)) return D3DERR_OUTOFVIDEOMEMORY;
    Ref<TextureImpl> t(new TextureImpl(this, width, height, levels, usage, format, pool));
    Result r = BackendCreateTexture(*t);
    if (Failed(r)) return r;
    if (video) {
        t->videoBytes = bytes;
        videoUsed_ += bytes;
    }
    *texture = t.Detach();
    return D3D_OK;
}

Result DeviceBase::CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, D3DPOOL pool,
                                      IDirect3DVertexBuffer9** buffer, void*) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("CreateVertexBuffer", length, usage, fvf, uint32_t(pool));
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (length == 0 || (fvf != 0 && length < FvfVertexSize(fvf))) return D3DERR_INVALIDCALL;
    const bool video = pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED;
    if (video && !VideoMemoryAvailable(length)) return D3DERR_OUTOFVIDEOMEMORY;
    D3DVERTEXBUFFER_DESC d;
    d.Usage = usage;
    d.Pool = pool;
    d.Size = length;
    d.FVF = fvf;
    Ref<VertexBufferImpl> b(new VertexBufferImpl(this, d));
    Result r = BackendCreateBuffer(*b, b->store, false);
    if (Failed(r)) return r;
    if (video) {
        b->videoBytes = length;
        videoUsed_ += length;
    }
    *buffer = b.Detach();
    return D3D_OK;
}

Result DeviceBase::CreateIndexBuffer(uint32_t length, uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                     IDirect3DIndexBuffer9** buffer, void*) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("CreateIndexBuffer", length, usage, FormatName(format), uint32_t(pool));
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) return D3DERR_INVALIDCALL;
    const bool video = pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED;
    if (video && !VideoMemoryAvailable(length)) return D3DERR_OUTOFVIDEOMEMORY;
    D3DINDEXBUFFER_DESC d;
    d.Format = format;
    d.Usage = usage;
    d.Pool = pool;
    d.Size = length;
    Ref<IndexBufferImpl> b(new IndexBufferImpl(this, d));
    Result r = BackendCreateBuffer(*b, b->store, true);
    if (Failed(r)) return r;
    if (video) {
        b->videoBytes = length;
        videoUsed_ += length;
    }
    *buffer = b.Detach();
    return D3D_OK;
}

Result DeviceBase::CreateRenderTarget(uint32_t width, uint32_t height, D3DFORMAT format,
                                      D3DMULTISAMPLE_TYPE multiSample, uint32_t quality, int32_t lockable,
                                      IDirect3DSurface9** surface, void*) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("CreateRenderTarget", width, height, FormatName(format), uint32_t(multiSample), quality,
                lockable);
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (width == 0 || height == 0 || FormatBytesPerPixel(format) == 0 || IsCompressedFormat(format))
        return D3DERR_INVALIDCALL;
    const uint64_t bytes = uint64_t(FormatPitch(format, width)) * height;
    if (!VideoMemoryAvailable(bytes)) return D3DERR_OUTOFVIDEOMEMORY;
    D3DSURFACE_DESC d;
    d.Format = format;
    d.Usage = D3DUSAGE_RENDERTARGET;
    d.Pool = D3DPOOL_DEFAULT;
    d.MultiSampleType = multiSample;
    d.MultiSampleQuality = quality;
    d.Width = width;
    d.Height = height;
    Ref<SurfaceImpl> s(new SurfaceImpl(this, d, lockable != 0));
    Result r = BackendCreateSurface(*s);
    if (Failed(r)) return r;
    s->videoBytes = bytes;
    videoUsed_ += bytes;
    *surface = s.Detach();
    return D3D_OK;
}

Result DeviceBase::CreateDepthStencilSurface(uint32_t width, uint32_t height, D3DFORMAT format,
                                             D3DMULTISAMPLE_TYPE multiSample, uint32_t quality,
                                             int32_t discard, IDirect3DSurface9** surface, void*) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("CreateDepthStencilSurface", width, height, FormatName(format), uint32_t(multiSample),
                quality, discard);
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (width == 0 || height == 0 || FormatBytesPerPixel(format) == 0) return D3DERR_INVALIDCALL;
    const uint64_t bytes = uint64_t(width) * height * 4;
    if (!VideoMemoryAvailable(bytes)) return D3DERR_OUTOFVIDEOMEMORY;
    D3DSURFACE_DESC d;
    d.Format = format;
    d.Usage = D3DUSAGE_DEPTHSTENCIL;
    d.Pool = D3DPOOL_DEFAULT;
    d.MultiSampleType = multiSample;
    d.MultiSampleQuality = quality;
    d.Width = width;
    d.Height = height;
    Ref<SurfaceImpl> s(new SurfaceImpl(this, d, false));
    Result r = BackendCreateSurface(*s);
    if (Failed(r)) return r;
    s->videoBytes = bytes;
    videoUsed_ += bytes;
    *surface = s.Detach();
    return D3D_OK;
}

Result DeviceBase::CreateOffscreenPlainSurface(uint32_t width, uint32_t height, D3DFORMAT format,
                                               D3DPOOL pool, IDirect3DSurface9** surface, void*) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("CreateOffscreenPlainSurface", width, height, FormatName(format), uint32_t(pool));
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (width == 0 || height == 0 || FormatPitch(format, 1) == 0 || pool == D3DPOOL_MANAGED)
        return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC d;
    d.Format = format;
    d.Pool = pool;
    d.Width = width;
    d.Height = height;
    Ref<SurfaceImpl> s(new SurfaceImpl(this, d, true));
    *surface = s.Detach();
    return D3D_OK;
}

Result DeviceBase::UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                                 const POINT* destPoint) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("UpdateSurface", source, sourceRect, dest);
    auto* s = Impl<SurfaceImpl>(source);
    auto* d = Impl<SurfaceImpl>(dest);
    if (!s || !d || s->locked || d->locked) return D3DERR_INVALIDCALL;
    if (s->desc().Pool != D3DPOOL_SYSTEMMEM || d->desc().Pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    if (s->desc().Format != d->desc().Format) return D3DERR_INVALIDCALL;
    RECT sr = sourceRect ? *sourceRect : SurfaceRect(*s);
    POINT p = destPoint ? *destPoint : POINT{};
    RECT dr{p.x, p.y, p.x + (sr.right - sr.left), p.y + (sr.bottom - sr.top)};
    if (!ValidRect(*s, sr) || !ValidRect(*d, dr)) return D3DERR_INVALIDCALL;
    if (!CopySurfaceRect(*s, sr, *d, dr, D3DTEXF_NONE)) return D3DERR_INVALIDCALL;
    SurfaceUnlocked(*d, dr);
    return D3D_OK;
}

Result DeviceBase::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destSurface) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("GetRenderTargetData", renderTarget, destSurface);
    auto* s = Impl<SurfaceImpl>(renderTarget);
    auto* d = Impl<SurfaceImpl>(destSurface);
    if (!s || !d || d->locked) return D3DERR_INVALIDCALL;
    if (!s->IsRenderTarget() || d->desc().Pool != D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
    if (s->desc().Width != d->desc().Width || s->desc().Height != d->desc().Height ||
        s->desc().Format != d->desc().Format)
        return D3DERR_INVALIDCALL;
    return BackendReadBack(*s, *d);
}

Result DeviceBase::StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                               const RECT* destRect, D3DTEXTUREFILTERTYPE filter) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("StretchRect", source, sourceRect, dest, destRect, uint32_t(filter));
    auto* s = Impl<SurfaceImpl>(source);
    auto* d = Impl<SurfaceImpl>(dest);
    if (!s || !d || s == d || s->locked || d->locked) return D3DERR_INVALIDCALL;
    if (d->desc().Pool != D3DPOOL_DEFAULT || !d->IsRenderTarget()) return D3DERR_INVALIDCALL;
    if (s->desc().Pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    RECT sr = sourceRect ? *sourceRect : SurfaceRect(*s);
    RECT dr = destRect ? *destRect : SurfaceRect(*d);
    if (!ValidRect(*s, sr) || !ValidRect(*d, dr)) return D3DERR_INVALIDCALL;
    return BackendCopy(*s, sr, *d, dr, filter);
}

Result DeviceBase::ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("ColorFill", surface, rect, color);
    auto* s = Impl<SurfaceImpl>(surface);
    if (!s || s->locked || s->desc().Pool != D3DPOOL_DEFAULT || s->IsDepth()) return D3DERR_INVALIDCALL;
    RECT r = rect ? *rect : SurfaceRect(*s);
    if (!ValidRect(*s, r)) return D3DERR_INVALIDCALL;
    return BackendColorFill(*s, r, color);
}

Result DeviceBase::BackendCopy(SurfaceImpl& src, const RECT& sr, SurfaceImpl& dst, const RECT& dr,
                               D3DTEXTUREFILTERTYPE filter) {
    if (!CopySurfaceRect(src, sr, dst, dr, filter)) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

Result DeviceBase::BackendReadBack(SurfaceImpl& rt, SurfaceImpl& dest) {
    dest.bytes() = rt.bytes();
    return D3D_OK;
}

Result DeviceBase::BackendColorFill(SurfaceImpl& s, const RECT& r, D3DCOLOR color) {
    FillSurfaceRect(s, r, color);
    return D3D_OK;
}

Result DeviceBase::BackendClear(uint32_t count, const RECT* rects, uint32_t flags, D3DCOLOR color, float,
                                uint32_t) {
    // The CPU copy of the target follows clears so readers see the colour;
    // the pixels are written when something next reads or writes them.
    SurfaceImpl* rt = state_.renderTarget.Get();
    if (!(flags & D3DCLEAR_TARGET) || !rt) return D3D_OK;
    const D3DVIEWPORT9& vp = state_.viewport;
    RECT view{int32_t(vp.X), int32_t(vp.Y), int32_t(vp.X + vp.Width), int32_t(vp.Y + vp.Height)};
    auto clip = [&](RECT r) {
        r.left = std::max({r.left, view.left, 0});
        r.top = std::max({r.top, view.top, 0});
        r.right = std::min({r.right, view.right, int32_t(rt->desc().Width)});
        r.bottom = std::min({r.bottom, view.bottom, int32_t(rt->desc().Height)});
        if (r.left < r.right && r.top < r.bottom) rt->DeferFill(r, color);
    };
    if (count == 0 || !rects)
        clip(view);
    else
        for (uint32_t i = 0; i < count; ++i) clip(rects[i]);
    return D3D_OK;
}

Result DeviceBase::SetRenderTarget(uint32_t index, IDirect3DSurface9* surface) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("SetRenderTarget", index, surface);
    auto* s = Impl<SurfaceImpl>(surface);
    if (index >= caps_.NumSimultaneousRTs || (index == 0 && !s)) return D3DERR_INVALIDCALL;
    if (s && !s->IsRenderTarget()) return D3DERR_INVALIDCALL;
    if (index > 0) return D3D_OK; // one target only; the caps say so
    state_.renderTarget = Ref<SurfaceImpl>::Share(s);
    // Setting a render target resets the viewport to the whole target.
    state_.viewport = {0, 0, s->desc().Width, s->desc().Height, 0.0f, 1.0f};
    state_.scissor = SurfaceRect(*s);
    ++versions_.targets;
    ++versions_.viewport;
    return D3D_OK;
}

Result DeviceBase::GetRenderTarget(uint32_t index, IDirect3DSurface9** surface) {
    VESK_RECORD("GetRenderTarget", index);
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (index >= caps_.NumSimultaneousRTs) return D3DERR_INVALIDCALL;
    if (!state_.renderTarget) return D3DERR_NOTFOUND;
    *surface = Ref<SurfaceImpl>(state_.renderTarget).Detach();
    return D3D_OK;
}

Result DeviceBase::SetDepthStencilSurface(IDirect3DSurface9* surface) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("SetDepthStencilSurface", surface);
    auto* s = Impl<SurfaceImpl>(surface);
    if (surface && (!s || !s->IsDepth())) return D3DERR_INVALIDCALL;
    state_.depthStencil = Ref<SurfaceImpl>::Share(s);
    ++versions_.targets;
    return D3D_OK;
}

Result DeviceBase::GetDepthStencilSurface(IDirect3DSurface9** surface) {
    VESK_RECORD("GetDepthStencilSurface");
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (!state_.depthStencil) return D3DERR_NOTFOUND;
    *surface = Ref<SurfaceImpl>(state_.depthStencil).Detach();
    return D3D_OK;
}

Result DeviceBase::BeginScene() {
    VESK_RECORD("BeginScene");
    if (state_.inScene) return D3DERR_INVALIDCALL;
    state_.inScene = true;
    return D3D_OK;
}

Result DeviceBase::EndScene() {
    VESK_RECORD("EndScene");
    if (!state_.inScene) return D3DERR_INVALIDCALL;
    state_.inScene = false;
    return D3D_OK;
}

Result DeviceBase::Clear(uint32_t count, const RECT* rects, uint32_t flags, D3DCOLOR color, float z,
                         uint32_t stencil) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("Clear", count, rects, flags, color, z, stencil);
    if ((count != 0) != (rects != nullptr)) return D3DERR_INVALIDCALL;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !state_.depthStencil) return D3DERR_INVALIDCALL;
    if (flags & ~uint32_t(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) return D3DERR_INVALIDCALL;
    return BackendClear(count, rects, flags, color, z, stencil);
}

Result DeviceBase::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    VESK_RECORD("SetTransform", uint32_t(state));
    const int slot = TransformSlot(state);
    if (!matrix) return D3DERR_INVALIDCALL;
    if (slot < 0) return D3D_OK; // world matrices past the first are not used for blending here
    state_.transforms[size_t(slot)] = *matrix;
    ++versions_.transforms;
    return D3D_OK;
}

Result DeviceBase::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    VESK_RECORD("GetTransform", uint32_t(state));
    const int slot = TransformSlot(state);
    if (!matrix) return D3DERR_INVALIDCALL;
    *matrix = slot < 0 ? Matrix{} : state_.transforms[size_t(slot)];
    return D3D_OK;
}

Result DeviceBase::SetViewport(const D3DVIEWPORT9* vp) {
    if (!vp) return D3DERR_INVALIDCALL;
    VESK_RECORD("SetViewport", vp->X, vp->Y, vp->Width, vp->Height, vp->MinZ, vp->MaxZ);
    const SurfaceImpl* rt = state_.renderTarget.Get();
    if (vp->Width == 0 || vp->Height == 0 ||
        (rt && (uint64_t(vp->X) + vp->Width > rt->desc().Width ||
                uint64_t(vp->Y) + vp->Height > rt->desc().Height)))
        return D3DERR_INVALIDCALL;
    state_.viewport = *vp;
    ++versions_.viewport;
    return D3D_OK;
}

Result DeviceBase::GetViewport(D3DVIEWPORT9* vp) {
    VESK_RECORD("GetViewport");
    if (!vp) return D3DERR_INVALIDCALL;
    *vp = state_.viewport;
    return D3D_OK;
}

Result DeviceBase::SetMaterial(const D3DMATERIAL9* m) {
    VESK_RECORD("SetMaterial");
    if (!m) return D3DERR_INVALIDCALL;
    state_.material = *m;
    ++versions_.material;
    return D3D_OK;
}

Result DeviceBase::GetMaterial(D3DMATERIAL9* m) {
    VESK_RECORD("GetMaterial");
    if (!m) return D3DERR_INVALIDCALL;
    *m = state_.material;
    return D3D_OK;
}

Result DeviceBase::SetLight(uint32_t index, const D3DLIGHT9* light) {
    VESK_RECORD("SetLight", index, light ? uint32_t(light->Type) : 0u);
    if (!light || index >= kMaxLightIndex) return D3DERR_INVALIDCALL;
    if (light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
    if (state_.lights.size() <= index) state_.lights.resize(index + 1);
    state_.lights[index].light = *light;
    state_.lights[index].set = true;
    ++versions_.lights;
    return D3D_OK;
}

Result DeviceBase::GetLight(uint32_t index, D3DLIGHT9* light) {
    VESK_RECORD("GetLight", index);
    if (!light || index >= state_.lights.size() || !state_.lights[index].set) return D3DERR_INVALIDCALL;
    *light = state_.lights[index].light;
    return D3D_OK;
}

Result DeviceBase::LightEnable(uint32_t index, int32_t enable) {
    VESK_RECORD("LightEnable", index, enable);
    if (index >= kMaxLightIndex) return D3DERR_INVALIDCALL;
    if (state_.lights.size() <= index) state_.lights.resize(index + 1);
    LightSlot& slot = state_.lights[index];
    if (!slot.set) {
        // Enabling a light never set gives the default white directional light.
        slot.light = D3DLIGHT9{};
        slot.light.Diffuse = {1, 1, 1, 0};
        slot.set = true;
    }
    slot.enabled = enable != 0;
    ++versions_.lights;
    return D3D_OK;
}

Result DeviceBase::GetLightEnable(uint32_t index, int32_t* enable) {
    VESK_RECORD("GetLightEnable", index);
    if (!enable || index >= state_.lights.size() || !state_.lights[index].set) return D3DERR_INVALIDCALL;
    *enable = state_.lights[index].enabled ? 1 : 0;
    return D3D_OK;
}

Result DeviceBase::SetClipPlane(uint32_t index, const float* plane) {
    if (!plane || index >= state_.clipPlanes.size()) return D3DERR_INVALIDCALL;
    VESK_RECORD("SetClipPlane", index, plane[0], plane[1], plane[2], plane[3]);
    std::copy(plane, plane + 4, state_.clipPlanes[index].begin());
    ++versions_.clip;
    return D3D_OK;
}

Result DeviceBase::GetClipPlane(uint32_t index, float* plane) {
    VESK_RECORD("GetClipPlane", index);
    if (!plane || index >= state_.clipPlanes.size()) return D3DERR_INVALIDCALL;
    std::copy(state_.clipPlanes[index].begin(), state_.clipPlanes[index].end(), plane);
    return D3D_OK;
}

Result DeviceBase::SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) {
    VESK_RECORD("SetRenderState", uint32_t(state), value);
    if (uint32_t(state) >= kRenderStateCount) return D3DERR_INVALIDCALL;
    if (state_.rs[state] != value) {
        state_.rs[state] = value;
        ++versions_.renderStates;
        switch (state) {
        case D3DRS_FOGENABLE:
        case D3DRS_FOGTABLEMODE:
        case D3DRS_FOGVERTEXMODE:
        case D3DRS_RANGEFOGENABLE:
        case D3DRS_ALPHATESTENABLE:
        case D3DRS_ALPHAFUNC:
        case D3DRS_LIGHTING:
        case D3DRS_COLORVERTEX:
        case D3DRS_DIFFUSEMATERIALSOURCE:
        case D3DRS_SPECULARMATERIALSOURCE:
        case D3DRS_AMBIENTMATERIALSOURCE:
        case D3DRS_EMISSIVEMATERIALSOURCE:
        case D3DRS_SPECULARENABLE:
        case D3DRS_LOCALVIEWER:
        case D3DRS_NORMALIZENORMALS:
        case D3DRS_POINTSPRITEENABLE:
        case D3DRS_POINTSCALEENABLE:
        case D3DRS_CLIPPLANEENABLE:
        case D3DRS_SHADEMODE:
            ++versions_.keyStates;
            break;
        case D3DRS_AMBIENT:
        case D3DRS_TEXTUREFACTOR:
        case D3DRS_FOGCOLOR:
        case D3DRS_FOGSTART:
        case D3DRS_FOGEND:
        case D3DRS_FOGDENSITY:
        case D3DRS_ALPHAREF:
        case D3DRS_POINTSIZE:
        case D3DRS_POINTSIZE_MIN:
        case D3DRS_POINTSIZE_MAX:
        case D3DRS_POINTSCALE_A:
        case D3DRS_POINTSCALE_B:
        case D3DRS_POINTSCALE_C:
            ++versions_.uniformStates;
            break;
        default:
            break;
        }
    }
    return D3D_OK;
}

Result DeviceBase::GetRenderState(D3DRENDERSTATETYPE state, uint32_t* value) {
    VESK_RECORD("GetRenderState", uint32_t(state));
    if (!value || uint32_t(state) >= kRenderStateCount) return D3DERR_INVALIDCALL;
    *value = state_.rs[state];
    return D3D_OK;
}

Result DeviceBase::GetTexture(uint32_t stage, IDirect3DBaseTexture9** texture) {
    VESK_RECORD("GetTexture", stage);
    if (!texture || stage >= kMaxTextureStages) return D3DERR_INVALIDCALL;
    *texture = Ref<TextureImpl>(state_.textures[stage]).Detach();
    return D3D_OK;
}

Result DeviceBase::SetTexture(uint32_t stage, IDirect3DBaseTexture9* texture) {
    VESK_RECORD("SetTexture", stage, texture);
    auto* t = Impl<TextureImpl>(texture);
    if (stage >= kMaxTextureStages || (texture && !t)) return D3DERR_INVALIDCALL;
    if (state_.textures[stage].Get() != t) {
        state_.textures[stage] = Ref<TextureImpl>::Share(t);
        ++versions_.textures;
    }
    return D3D_OK;
}

Result DeviceBase::GetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t* value) {
    VESK_RECORD("GetTextureStageState", stage, uint32_t(type));
    if (!value || stage >= kMaxTextureStages || uint32_t(type) >= kTextureStageStateCount)
        return D3DERR_INVALIDCALL;
    *value = state_.tss[stage][type];
    return D3D_OK;
}

Result DeviceBase::SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) {
    VESK_RECORD("SetTextureStageState", stage, uint32_t(type), value);
    if (stage >= kMaxTextureStages || uint32_t(type) >= kTextureStageStateCount) return D3DERR_INVALIDCALL;
    if (state_.tss[stage][type] != value) {
        state_.tss[stage][type] = value;
        ++versions_.stages;
    }
    return D3D_OK;
}

Result DeviceBase::GetSamplerState(uint32_t sampler, D3DSAMPLERSTATETYPE type, uint32_t* value) {
    VESK_RECORD("GetSamplerState", sampler, uint32_t(type));
    if (!value || sampler >= kMaxTextureStages || uint32_t(type) >= kSamplerStateCount)
        return D3DERR_INVALIDCALL;
    *value = state_.samp[sampler][type];
    return D3D_OK;
}

Result DeviceBase::SetSamplerState(uint32_t sampler, D3DSAMPLERSTATETYPE type, uint32_t value) {
    VESK_RECORD("SetSamplerState", sampler, uint32_t(type), value);
    if (sampler >= kMaxTextureStages || uint32_t(type) >= kSamplerStateCount) return D3DERR_INVALIDCALL;
    if (state_.samp[sampler][type] != value) {
        state_.samp[sampler][type] = value;
        ++versions_.samplers;
    }
    return D3D_OK;
}

Result DeviceBase::SetScissorRect(const RECT* rect) {
    VESK_RECORD("SetScissorRect", rect);
    if (!rect) return D3DERR_INVALIDCALL;
    state_.scissor = *rect;
    ++versions_.viewport;
    return D3D_OK;
}

Result DeviceBase::GetScissorRect(RECT* rect) {
    VESK_RECORD("GetScissorRect");
    if (!rect) return D3DERR_INVALIDCALL;
    *rect = state_.scissor;
    return D3D_OK;
}

Result DeviceBase::ValidateDraw(D3DPRIMITIVETYPE type, uint32_t primitiveCount) {
    if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) return D3DERR_INVALIDCALL;
    if (primitiveCount > caps_.MaxPrimitiveCount) return D3DERR_INVALIDCALL;
    if (!state_.renderTarget) return D3DERR_INVALIDCALL;
    if (!state_.vs && !state_.decl && state_.fvf == 0) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

Result DeviceBase::DrawPrimitive(D3DPRIMITIVETYPE type, uint32_t startVertex, uint32_t primitiveCount) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("DrawPrimitive", uint32_t(type), startVertex, primitiveCount);
    Result r = ValidateDraw(type, primitiveCount);
    if (Failed(r)) return r;
    if (primitiveCount == 0) return D3D_OK;
    const StreamBinding& s0 = state_.streams[0];
    if (!s0.buffer || s0.stride == 0) return D3DERR_INVALIDCALL;
    DrawRequest d;
    d.kind = DrawRequest::Arrays;
    d.type = type;
    d.primitiveCount = primitiveCount;
    d.vertexCount = VerticesForPrimitives(type, primitiveCount);
    d.startVertex = startVertex;
    // Every vertex the draw reads must lie inside the bound buffer.
    const uint64_t end = uint64_t(s0.offset) + (uint64_t(startVertex) + d.vertexCount) * s0.stride;
    if (end > s0.buffer->store.bytes.size()) return D3DERR_INVALIDCALL;
    return BackendDraw(d);
}

Result DeviceBase::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, int32_t baseVertexIndex,
                                        uint32_t minVertexIndex, uint32_t numVertices, uint32_t startIndex,
                                        uint32_t primitiveCount) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("DrawIndexedPrimitive", uint32_t(type), baseVertexIndex, minVertexIndex, numVertices,
                startIndex, primitiveCount);
    Result r = ValidateDraw(type, primitiveCount);
    if (Failed(r)) return r;
    if (primitiveCount == 0) return D3D_OK;
    if (!state_.indices || !state_.streams[0].buffer || state_.streams[0].stride == 0)
        return D3DERR_INVALIDCALL;
    DrawRequest d;
    d.kind = DrawRequest::Indexed;
    d.type = type;
    d.primitiveCount = primitiveCount;
    d.indexCount = VerticesForPrimitives(type, primitiveCount);
    d.baseVertex = baseVertexIndex;
    d.minVertex = minVertexIndex;
    d.numVertices = numVertices;
    d.startIndex = startIndex;
    const uint32_t indexSize = state_.indices->desc().Format == D3DFMT_INDEX32 ? 4 : 2;
    if ((uint64_t(startIndex) + d.indexCount) * indexSize > state_.indices->store.bytes.size())
        return D3DERR_INVALIDCALL;
    if (baseVertexIndex < 0 && uint32_t(-int64_t(baseVertexIndex)) > minVertexIndex)
        return D3DERR_INVALIDCALL;
    // The vertex range the caller names must lie inside the bound buffer.
    const StreamBinding& s0 = state_.streams[0];
    const int64_t lastVertex = int64_t(baseVertexIndex) + minVertexIndex + numVertices;
    if (numVertices == 0 ||
        uint64_t(s0.offset) + uint64_t(lastVertex) * s0.stride > s0.buffer->store.bytes.size())
        return D3DERR_INVALIDCALL;
    return BackendDraw(d);
}

Result DeviceBase::DrawPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t primitiveCount, const void* vertexData,
                                   uint32_t vertexStride) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("DrawPrimitiveUP", uint32_t(type), primitiveCount, vertexStride);
    Result r = ValidateDraw(type, primitiveCount);
    if (Failed(r)) return r;
    if (!vertexData || vertexStride == 0) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    DrawRequest d;
    d.kind = DrawRequest::UserArrays;
    d.type = type;
    d.primitiveCount = primitiveCount;
    d.vertexCount = VerticesForPrimitives(type, primitiveCount);
    d.userVertices = vertexData;
    d.userStride = vertexStride;
    // Like the platform, a user-pointer draw leaves stream 0 unset.
    state_.streams[0] = StreamBinding{};
    ++versions_.vertexInput;
    return BackendDraw(d);
}

Result DeviceBase::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, uint32_t minVertexIndex,
                                          uint32_t numVertices, uint32_t primitiveCount,
                                          const void* indexData, D3DFORMAT indexFormat,
                                          const void* vertexData, uint32_t vertexStride) {
    std::lock_guard lock(mutex_);
    VESK_RECORD("DrawIndexedPrimitiveUP", uint32_t(type), minVertexIndex, numVertices, primitiveCount,
                FormatName(indexFormat), vertexStride);
    Result r = ValidateDraw(type, primitiveCount);
    if (Failed(r)) return r;
    if (!vertexData || !indexData || vertexStride == 0 ||
        (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    // Every index must fall in the range the caller gave: nothing outside it is read.
    const uint32_t count = VerticesForPrimitives(type, primitiveCount);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t index = indexFormat == D3DFMT_INDEX32 ? static_cast<const uint32_t*>(indexData)[i]
                                                             : static_cast<const uint16_t*>(indexData)[i];
        if (index < minVertexIndex || index - minVertexIndex >= numVertices) return D3DERR_INVALIDCALL;
    }
    DrawRequest d;
    d.kind = DrawRequest::UserIndexed;
    d.type = type;
    d.primitiveCount = primitiveCount;
    d.indexCount = VerticesForPrimitives(type, primitiveCount);
    d.minVertex = minVertexIndex;
    d.numVertices = numVertices;
    d.userVertices = vertexData;
    d.userStride = vertexStride;
    d.userIndices = indexData;
    d.userIndexFormat = indexFormat;
    state_.streams[0] = StreamBinding{};
    state_.indices = nullptr;
    ++versions_.vertexInput;
    return BackendDraw(d);
}

Result DeviceBase::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                           IDirect3DVertexDeclaration9** declaration) {
    VESK_RECORD("CreateVertexDeclaration");
    if (!elements || !declaration) return D3DERR_INVALIDCALL;
    *declaration = nullptr;
    std::vector<D3DVERTEXELEMENT9> list;
    for (uint32_t i = 0;; ++i) {
        if (i >= MAXD3DDECLLENGTH) return D3DERR_INVALIDCALL; // no end element
        const D3DVERTEXELEMENT9& e = elements[i];
        if (e.Stream == 0xFF) break;
        if (e.Stream >= kMaxStreams || e.Type >= D3DDECLTYPE_UNUSED || e.Usage > D3DDECLUSAGE_SAMPLE)
            return D3DERR_INVALIDCALL;
        list.push_back(e);
    }
    *declaration = new VertexDeclImpl(std::move(list));
    return D3D_OK;
}

Result DeviceBase::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) {
    VESK_RECORD("SetVertexDeclaration", declaration);
    auto* d = Impl<VertexDeclImpl>(declaration);
    if (declaration && !d) return D3DERR_INVALIDCALL;
    state_.decl = Ref<VertexDeclImpl>::Share(d);
    state_.fvf = 0;
    ++versions_.vertexInput;
    return D3D_OK;
}

Result DeviceBase::GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) {
    VESK_RECORD("GetVertexDeclaration");
    if (!declaration) return D3DERR_INVALIDCALL;
    *declaration = Ref<VertexDeclImpl>(state_.decl).Detach();
    return D3D_OK;
}

Result DeviceBase::SetFVF(uint32_t fvf) {
    VESK_RECORD("SetFVF", fvf);
    if (fvf != 0 && FvfVertexSize(fvf) == 0) return D3DERR_INVALIDCALL;
    if (state_.fvf != fvf || state_.decl) {
        state_.fvf = fvf;
        state_.decl = nullptr;
        ++versions_.vertexInput;
    }
    return D3D_OK;
}

Result DeviceBase::GetFVF(uint32_t* fvf) {
    VESK_RECORD("GetFVF");
    if (!fvf) return D3DERR_INVALIDCALL;
    *fvf = state_.fvf;
    return D3D_OK;
}

Result DeviceBase::SetStreamSource(uint32_t stream, IDirect3DVertexBuffer9* buffer, uint32_t offset,
                                   uint32_t stride) {
    VESK_RECORD("SetStreamSource", stream, buffer, offset, stride);
    auto* b = Impl<VertexBufferImpl>(buffer);
    if (stream >= kMaxStreams || (buffer && !b)) return D3DERR_INVALIDCALL;
    if (b && offset > b->store.bytes.size()) return D3DERR_INVALIDCALL;
    StreamBinding& s = state_.streams[stream];
    s.buffer = Ref<VertexBufferImpl>::Share(b);
    s.offset = offset;
    s.stride = stride;
    ++versions_.vertexInput;
    return D3D_OK;
}

Result DeviceBase::GetStreamSource(uint32_t stream, IDirect3DVertexBuffer9** buffer, uint32_t* offset,
                                   uint32_t* stride) {
    VESK_RECORD("GetStreamSource", stream);
    if (stream >= kMaxStreams || !buffer || !offset || !stride) return D3DERR_INVALIDCALL;
    const StreamBinding& s = state_.streams[stream];
    *buffer = Ref<VertexBufferImpl>(s.buffer).Detach();
    *offset = s.offset;
    *stride = s.stride;
    return D3D_OK;
}

Result DeviceBase::SetIndices(IDirect3DIndexBuffer9* indexData) {
    VESK_RECORD("SetIndices", indexData);
    auto* b = Impl<IndexBufferImpl>(indexData);
    if (indexData && !b) return D3DERR_INVALIDCALL;
    state_.indices = Ref<IndexBufferImpl>::Share(b);
    ++versions_.vertexInput;
    return D3D_OK;
}

Result DeviceBase::GetIndices(IDirect3DIndexBuffer9** indexData) {
    VESK_RECORD("GetIndices");
    if (!indexData) return D3DERR_INVALIDCALL;
    *indexData = Ref<IndexBufferImpl>(state_.indices).Detach();
    return D3D_OK;
}

Result DeviceBase::CreateShaderCommon(const uint32_t* function, bool pixel, IGfxObject** out) {
    std::lock_guard lock(mutex_);
    *out = nullptr;
    ShaderCodeInfo info;
    if (!function || !ReadShaderCode(function, &info)) {
        lastShaderError_ = "not assembled shader code";
        return D3DERR_INVALIDCALL;
    }
    if (info.pixel != pixel) {
        lastShaderError_ = pixel ? "vertex shader code given for a pixel shader"
                                 : "pixel shader code given for a vertex shader";
        return D3DERR_INVALIDCALL;
    }
    Ref<IGfxObject> obj;
    ResourceLink* link;
    if (pixel) {
        auto* s = new PixelShaderImpl(this, info.source);
        obj = Ref<IGfxObject>(s);
        link = s;
    } else {
        auto* s = new VertexShaderImpl(this, info.source);
        obj = Ref<IGfxObject>(s);
        link = s;
    }
    std::string error;
    Result r = BackendCreateShader(*link, info.source, pixel, &error);
    if (Failed(r)) {
        lastShaderError_ = error.empty() ? "shader build failed" : error;
        return r;
    }
    lastShaderError_.clear();
    *out = obj.Detach();
    return D3D_OK;
}

Result DeviceBase::CreateVertexShader(const uint32_t* function, IDirect3DVertexShader9** shader) {
    VESK_RECORD("CreateVertexShader");
    if (!shader) return D3DERR_INVALIDCALL;
    IGfxObject* obj = nullptr;
    Result r = CreateShaderCommon(function, false, &obj);
    *shader = static_cast<IDirect3DVertexShader9*>(obj);
    return r;
}

Result DeviceBase::CreatePixelShader(const uint32_t* function, IDirect3DPixelShader9** shader) {
    VESK_RECORD("CreatePixelShader");
    if (!shader) return D3DERR_INVALIDCALL;
    IGfxObject* obj = nullptr;
    Result r = CreateShaderCommon(function, true, &obj);
    *shader = static_cast<IDirect3DPixelShader9*>(obj);
    return r;
}

std::string DeviceBase::GetLastShaderError() {
    return lastShaderError_;
}

Result DeviceBase::FillCompressedTexture(IDirect3DTexture9* texture,
                                         std::vector<std::vector<uint8_t>> bgraLevels) {
    auto* t = Impl<TextureImpl>(texture);
    if (!t || !IsCompressedFormat(t->format) || bgraLevels.size() > t->levels.size())
        return D3DERR_INVALIDCALL;
    for (uint32_t i = 0; i < bgraLevels.size(); ++i) {
        const D3DSURFACE_DESC& d = t->levels[i]->desc();
        if (bgraLevels[i].size() != size_t(d.Width) * d.Height * 4) return D3DERR_INVALIDCALL;
        const std::vector<uint8_t> blocks = BgraToLevel(t->format, bgraLevels[i].data(), d.Width, d.Height);
        D3DLOCKED_RECT lr;
        Result r = t->LockRect(i, &lr, nullptr, 0);
        if (Failed(r)) return r;
        std::memcpy(lr.pBits, blocks.data(), std::min(blocks.size(), t->levels[i]->bytes().size()));
        r = t->UnlockRect(i);
        if (Failed(r)) return r;
    }
    return D3D_OK;
}

Result DeviceBase::SetVertexShader(IDirect3DVertexShader9* shader) {
    VESK_RECORD("SetVertexShader", shader);
    auto* s = Impl<VertexShaderImpl>(shader);
    if (shader && !s) return D3DERR_INVALIDCALL;
    if (state_.vs.Get() != s) {
        state_.vs = Ref<VertexShaderImpl>::Share(s);
        ++versions_.shaders;
    }
    return D3D_OK;
}

Result DeviceBase::GetVertexShader(IDirect3DVertexShader9** shader) {
    VESK_RECORD("GetVertexShader");
    if (!shader) return D3DERR_INVALIDCALL;
    *shader = Ref<VertexShaderImpl>(state_.vs).Detach();
    return D3D_OK;
}

Result DeviceBase::SetPixelShader(IDirect3DPixelShader9* shader) {
    VESK_RECORD("SetPixelShader", shader);
    auto* s = Impl<PixelShaderImpl>(shader);
    if (shader && !s) return D3DERR_INVALIDCALL;
    if (state_.ps.Get() != s) {
        state_.ps = Ref<PixelShaderImpl>::Share(s);
        ++versions_.shaders;
    }
    return D3D_OK;
}

Result DeviceBase::GetPixelShader(IDirect3DPixelShader9** shader) {
    VESK_RECORD("GetPixelShader");
    if (!shader) return D3DERR_INVALIDCALL;
    *shader = Ref<PixelShaderImpl>(state_.ps).Detach();
    return D3D_OK;
}

namespace {
template <class T, size_t N, size_t W>
Result SetConstants(std::array<std::array<T, W>, N>& regs, uint32_t start, const T* data, uint32_t count) {
    if (!data || start > N || count > N - start) return D3DERR_INVALIDCALL;
    for (uint32_t i = 0; i < count; ++i) std::copy(data + i * W, data + i * W + W, regs[start + i].begin());
    return D3D_OK;
}
template <size_t N>
Result SetBools(std::array<int32_t, N>& regs, uint32_t start, const int32_t* data, uint32_t count) {
    if (!data || start > N || count > N - start) return D3DERR_INVALIDCALL;
    std::copy(data, data + count, regs.begin() + start);
    return D3D_OK;
}
} // namespace

Result DeviceBase::SetVertexShaderConstantF(uint32_t start, const float* data, uint32_t count) {
    VESK_RECORD("SetVertexShaderConstantF", start, count);
    ++versions_.vsConst;
    return SetConstants(state_.vsConstF, start, data, count);
}
Result DeviceBase::SetVertexShaderConstantI(uint32_t start, const int32_t* data, uint32_t count) {
    VESK_RECORD("SetVertexShaderConstantI", start, count);
    ++versions_.vsConst;
    return SetConstants(state_.vsConstI, start, data, count);
}
Result DeviceBase::SetVertexShaderConstantB(uint32_t start, const int32_t* data, uint32_t count) {
    VESK_RECORD("SetVertexShaderConstantB", start, count);
    ++versions_.vsConst;
    return SetBools(state_.vsConstB, start, data, count);
}
Result DeviceBase::SetPixelShaderConstantF(uint32_t start, const float* data, uint32_t count) {
    VESK_RECORD("SetPixelShaderConstantF", start, count);
    ++versions_.psConst;
    return SetConstants(state_.psConstF, start, data, count);
}
Result DeviceBase::SetPixelShaderConstantI(uint32_t start, const int32_t* data, uint32_t count) {
    VESK_RECORD("SetPixelShaderConstantI", start, count);
    ++versions_.psConst;
    return SetConstants(state_.psConstI, start, data, count);
}
Result DeviceBase::SetPixelShaderConstantB(uint32_t start, const int32_t* data, uint32_t count) {
    VESK_RECORD("SetPixelShaderConstantB", start, count);
    ++versions_.psConst;
    return SetBools(state_.psConstB, start, data, count);
}

} // namespace vesk::platform
