#include "interface/device_drawer.h"

#include <algorithm>
#include <cstring>

#include "render/device.h"
#include "render/video_renderer.h"

namespace vesk {

using namespace platform;

TDeviceDrawer* InterfaceDeviceDrawer = nullptr;

namespace {

constexpr uint32_t kFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// The render states the interface changes, restored at the end of its frame.
constexpr D3DRENDERSTATETYPE kStates[] = {
    D3DRS_ZENABLE,   D3DRS_ZWRITEENABLE,    D3DRS_LIGHTING,          D3DRS_CULLMODE,
    D3DRS_FOGENABLE, D3DRS_ALPHATESTENABLE, D3DRS_ALPHABLENDENABLE,  D3DRS_SRCBLEND,
    D3DRS_DESTBLEND, D3DRS_STENCILENABLE,   D3DRS_SCISSORTESTENABLE,
};

// Pixel centres lie on whole coordinates: a shape covering the pixels from
// left to right - 1 has its edges half a pixel outside their centres.
constexpr float kEdge = -0.5f;

TDeviceDrawer::Vertex V(float x, float y, uint32_t color, float u = 0, float v = 0) {
    return {x + kEdge, y + kEdge, 0.0f, 1.0f, color, u, v};
}

} // namespace

TDeviceDrawer::~TDeviceDrawer() {
    if (InterfaceDeviceDrawer == this) InterfaceDeviceDrawer = nullptr;
}

IDirect3DDevice9* TDeviceDrawer::Dev() const {
    return Device.Get();
}

void TDeviceDrawer::BeginFrame() {
    IDirect3DDevice9* d = Dev();
    if (!d || inFrame_) return;
    inFrame_ = true;
    shapeStates_ = false;
    saved_.clear();
    for (D3DRENDERSTATETYPE s : kStates) {
        uint32_t value = 0;
        if (d->GetRenderState(s, &value) == D3D_OK) saved_.emplace_back(s, value);
    }
    if (d->GetSamplerState(0, D3DSAMP_ADDRESSU, &savedAddressU_) != D3D_OK) savedAddressU_ = D3DTADDRESS_WRAP;
    if (d->GetSamplerState(0, D3DSAMP_ADDRESSV, &savedAddressV_) != D3D_OK) savedAddressV_ = D3DTADDRESS_WRAP;
    d->SetRenderState(D3DRS_ZENABLE, 0);
    d->SetRenderState(D3DRS_ZWRITEENABLE, 0);
    d->SetRenderState(D3DRS_LIGHTING, 0);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRS_FOGENABLE, 0);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
    d->SetRenderState(D3DRS_STENCILENABLE, 0);
    d->SetRenderState(D3DRS_SCISSORTESTENABLE, 0);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d->SetVertexShader(nullptr);
    // Drawing code that sets the format or stage textures straight on the
    // device leaves the state cache behind: both are made true again here.
    d->SetFVF(kFvf);
    CachedSetFVF(kFvf);
    ClearCachedTextures();
    CachedSetPixelShader(nullptr);
    CachedSetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    CachedSetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    CachedSetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
}

void TDeviceDrawer::DrawOutside(const std::function<void()>& draw) {
    if (!inFrame_) {
        draw();
        return;
    }
    // What the interface queued so far is drawn first; the scene's states go
    // back for the outside drawing and the interface's are set again after it.
    EndFrame();
    draw();
    BeginFrame();
}

void TDeviceDrawer::EndFrame() {
    if (!inFrame_) return;
    FlushGlyphs();
    inFrame_ = false;
    shapeStates_ = false;
    IDirect3DDevice9* d = Dev();
    if (!d) return;
    for (const auto& [state, value] : saved_) d->SetRenderState(state, value);
    CachedSetSamplerState(0, D3DSAMP_ADDRESSU, savedAddressU_);
    CachedSetSamplerState(0, D3DSAMP_ADDRESSV, savedAddressV_);
    CachedSetTexture(0, nullptr);
}

void TDeviceDrawer::Prepare(IDirect3DTexture9* texture, bool textureAlpha, TImageBlend blend) {
    IDirect3DDevice9* d = Dev();
    if (!inFrame_) BeginFrame();
    shapeStates_ = false;
    d->SetRenderState(D3DRS_DESTBLEND, blend == TImageBlend::Add ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA);
    CachedSetFVF(kFvf);
    CachedSetTexture(0, texture);
    if (texture) {
        CachedSetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        CachedSetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        CachedSetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        CachedSetTextureStageState(0, D3DTSS_ALPHAOP, textureAlpha ? D3DTOP_MODULATE : D3DTOP_SELECTARG2);
        CachedSetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        CachedSetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        CachedSetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        CachedSetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        CachedSetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
        CachedSetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        CachedSetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    } else {
        CachedSetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        CachedSetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        CachedSetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
        CachedSetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    }
}

void TDeviceDrawer::PrepareShape() {
    // The interface's own drawing is all that runs between its shapes; what
    // else draws in its frame (videos, views drawn outside) prepares anew.
    if (shapeStates_ && inFrame_) return;
    Prepare(nullptr, true, TImageBlend::Normal);
    shapeStates_ = true;
}

void TDeviceDrawer::Draw(D3DPRIMITIVETYPE type, uint32_t count, const Vertex* v) {
    if (count) DeviceDrawPrimitiveUP(type, count, v, sizeof(Vertex), Dev());
}

void TDeviceDrawer::FillRect(const TIRect& r, uint32_t argb) {
    if (!Dev() || r.Width() <= 0 || r.Height() <= 0) return;
    FlushGlyphs();
    PrepareShape();
    const auto l = static_cast<float>(r.left), t = static_cast<float>(r.top);
    const auto rr = static_cast<float>(r.right), b = static_cast<float>(r.bottom);
    const Vertex q[4] = {V(l, t, argb), V(rr, t, argb), V(l, b, argb), V(rr, b, argb)};
    Draw(D3DPT_TRIANGLESTRIP, 2, q);
}

void TDeviceDrawer::FrameRect(const TIRect& r, uint32_t argb) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    // One-pixel bands along the inside of the rectangle, corners drawn once.
    FillRect({r.left, r.top, r.right, r.top + 1}, argb);
    if (r.Height() > 1) FillRect({r.left, r.bottom - 1, r.right, r.bottom}, argb);
    if (r.Height() > 2) {
        FillRect({r.left, r.top + 1, r.left + 1, r.bottom - 1}, argb);
        if (r.Width() > 1) FillRect({r.right - 1, r.top + 1, r.right, r.bottom - 1}, argb);
    }
}

void TDeviceDrawer::FillPolygon(std::span<const TIPoint> points, uint32_t argb) {
    if (!Dev() || points.size() < 3) return;
    FlushGlyphs();
    PrepareShape();
    std::vector<Vertex> v;
    v.reserve(points.size());
    for (const TIPoint& p : points) v.push_back(V(static_cast<float>(p.x), static_cast<float>(p.y), argb));
    Draw(D3DPT_TRIANGLEFAN, static_cast<uint32_t>(v.size() - 2), v.data());
}

void TDeviceDrawer::FramePolygon(std::span<const TIPoint> points, uint32_t argb) {
    if (!Dev() || points.size() < 2) return;
    FlushGlyphs();
    PrepareShape();
    // Lines join the centres of the pixels they name.
    std::vector<Vertex> v;
    v.reserve(points.size() + 1);
    for (const TIPoint& p : points)
        v.push_back({static_cast<float>(p.x), static_cast<float>(p.y), 0.0f, 1.0f, argb, 0, 0});
    v.push_back(v.front());
    Draw(D3DPT_LINESTRIP, static_cast<uint32_t>(v.size() - 1), v.data());
}

TextureRef TDeviceDrawer::Texture(const std::string& name) {
    auto it = textures_.find(name);
    if (it != textures_.end()) return it->second;
    TextureRef t;
    if (TextureManager) t = TextureManager->GetTexture(name, D3DFMT_UNKNOWN, false);
    textures_.emplace(name, t);
    return t;
}

bool TDeviceDrawer::TextureInfo(const std::string& name, uint64_t& identity, int& width, int& height) {
    TextureRef t = Texture(name);
    if (!t) return false;
    const D3DSURFACE_DESC desc = t->GetImageInfo();
    identity = reinterpret_cast<uintptr_t>(t.Get());
    width = static_cast<int>(desc.Width);
    height = static_cast<int>(desc.Height);
    return true;
}

void TDeviceDrawer::DrawImage(const TImageDraw& image) {
    if (!Dev() || image.dest.Width() <= 0 || image.dest.Height() <= 0) return;
    TextureRef t = Texture(image.texture);
    IDirect3DTexture9* texture = t ? t->GetTexture() : nullptr;
    if (!texture) return;
    FlushGlyphs();
    const D3DSURFACE_DESC desc = t->GetImageInfo();
    float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
    if (image.source.Width() > 0 && image.source.Height() > 0 && desc.Width && desc.Height) {
        const auto w = static_cast<float>(desc.Width), h = static_cast<float>(desc.Height);
        u0 = static_cast<float>(image.source.left) / w;
        v0 = static_cast<float>(image.source.top) / h;
        u1 = static_cast<float>(image.source.right) / w;
        v1 = static_cast<float>(image.source.bottom) / h;
    }
    Prepare(texture, image.alphaChannel, image.blend);
    const auto l = static_cast<float>(image.dest.left), top = static_cast<float>(image.dest.top);
    const auto r = static_cast<float>(image.dest.right), b = static_cast<float>(image.dest.bottom);
    const uint32_t c = image.color;
    Vertex q[4] = {V(l, top, c, u0, v0), V(r, top, c, u1, v0), V(l, b, c, u0, v1), V(r, b, c, u1, v1)};
    if (image.turn != 0.0f) {
        // The corners turn about the pivot and take their texels with them.
        const TTurn turn(image.turn, image.pivotX, image.pivotY);
        for (Vertex& v : q) {
            const TTurn::Point p = turn(v.x - kEdge, v.y - kEdge);
            v.x = p.x + kEdge;
            v.y = p.y + kEdge;
        }
    }
    Draw(D3DPT_TRIANGLESTRIP, 2, q);
}

void TDeviceDrawer::DrawVideo(VideoRendererClass& video, const TIRect& dest) {
    if (!Dev() || dest.Width() <= 0 || dest.Height() <= 0) return;
    FlushGlyphs();
    Prepare(video.GetTexture(), false, TImageBlend::Normal);
    // The picture covers what lies below it; the renderer sets its own
    // texture and format, which the state cache must not believe it knows.
    Dev()->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    video.DrawToRect(static_cast<float>(dest.left) + kEdge, static_cast<float>(dest.top) + kEdge,
                     static_cast<float>(dest.Width()), static_cast<float>(dest.Height()));
    video.Render();
    Dev()->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    ClearCachedTextures();
}

// ---- glyphs ---------------------------------------------------------------------------

const TDeviceDrawer::Slot* TDeviceDrawer::GlyphSlot(const TGlyph& glyph) {
    const platform::GlyphBitmap& b = glyph.bitmap;
    if (b.width <= 0 || b.height <= 0 || b.coverage.size() < size_t(b.width) * size_t(b.height))
        return nullptr;
    if (auto it = slots_.find(glyph.serial); it != slots_.end()) return &it->second;
    const int size = static_cast<int>(kAtlasSize);
    if (b.width > size || b.height > size) return nullptr;
    IDirect3DDevice9* d = Dev();
    if (!atlas_) {
        if (d->CreateTexture(kAtlasSize, kAtlasSize, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, atlas_.Put(),
                             nullptr) != D3D_OK)
            return nullptr;
    }
    // Shelves from the top; a full atlas starts again empty once its glyphs are drawn.
    if (shelfX_ + b.width + 1 > size) {
        shelfY_ += shelfHeight_ + 1;
        shelfX_ = 0;
        shelfHeight_ = 0;
    }
    if (shelfY_ + b.height > size) {
        FlushGlyphs();
        slots_.clear();
        lastSlot_ = nullptr;
        shelfX_ = shelfY_ = shelfHeight_ = 0;
    }
    const RECT area{shelfX_, shelfY_, shelfX_ + b.width, shelfY_ + b.height};
    D3DLOCKED_RECT locked{};
    if (atlas_->LockRect(0, &locked, &area, 0) != D3D_OK) return nullptr;
    for (int y = 0; y < b.height; ++y) {
        auto* row = static_cast<uint8_t*>(locked.pBits) + static_cast<ptrdiff_t>(y) * locked.Pitch;
        for (int x = 0; x < b.width; ++x) {
            uint8_t* p = row + x * 4;
            p[0] = p[1] = p[2] = 255; // white, coloured by the vertices
            p[3] = b.coverage[size_t(y) * size_t(b.width) + size_t(x)];
        }
    }
    atlas_->UnlockRect(0);
    const auto s = static_cast<float>(size);
    Slot slot{static_cast<float>(shelfX_) / s,
              static_cast<float>(shelfY_) / s,
              static_cast<float>(shelfX_ + b.width) / s,
              static_cast<float>(shelfY_ + b.height) / s,
              b.width,
              b.height};
    shelfX_ += b.width + 1;
    shelfHeight_ = std::max(shelfHeight_, b.height);
    return &slots_.emplace(glyph.serial, slot).first->second;
}

void TDeviceDrawer::BeginBatch() {
    glyphQuads_.clear();
    placed_ = nullptr;
}

void TDeviceDrawer::PlaceGlyph(const TGlyph& glyph, int x, int y) {
    placed_ = &glyph;
    placedX_ = x;
    placedY_ = y;
}

void TDeviceDrawer::DrawGlyph(uint32_t argb) {
    if (!placed_ || !Dev()) return;
    const Slot* s = lastSlot_ && lastSerial_ == placed_->serial ? lastSlot_ : GlyphSlot(*placed_);
    if (!s) return;
    lastSerial_ = placed_->serial;
    lastSlot_ = s;
    // The line's top lies the ascender above the baseline.
    const auto l = static_cast<float>(placedX_ + placed_->bitmap.left);
    const auto t = static_cast<float>(placedY_ + placed_->ascender - placed_->bitmap.top);
    const float r = l + static_cast<float>(s->width), b = t + static_cast<float>(s->height);
    const Vertex a = V(l, t, argb, s->u0, s->v0), bb = V(r, t, argb, s->u1, s->v0);
    const Vertex c = V(l, b, argb, s->u0, s->v1), dd = V(r, b, argb, s->u1, s->v1);
    glyphQuads_.insert(glyphQuads_.end(), {a, bb, c, bb, dd, c});
}

void TDeviceDrawer::EndBatch() {
    FlushGlyphs();
    placed_ = nullptr;
}

void TDeviceDrawer::FlushGlyphs() {
    if (glyphQuads_.empty()) return;
    // Emptied however the drawing ends; the buffer keeps its room for the next batch.
    struct Emptied {
        std::vector<Vertex>& quads;
        ~Emptied() { quads.clear(); }
    } emptied{glyphQuads_};
    if (!Dev() || !atlas_) return;
    Prepare(atlas_.Get(), true, TImageBlend::Normal);
    CachedSetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    CachedSetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    Draw(D3DPT_TRIANGLELIST, static_cast<uint32_t>(glyphQuads_.size() / 3), glyphQuads_.data());
}

} // namespace vesk
