#pragma once
// The interface drawn on the graphics device: filled and framed rectangles
// and polygons, images from the texture manager with the blend each node
// asks for, and the glyphs of the text output from a texture atlas. Every
// shape is a pre-transformed, screen-pixel primitive; a frame of interface
// drawing is bracketed by BeginFrame and EndFrame, which save and restore the
// render states it changes.
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "interface/draw_target.h"
#include "interface/text_out.h"
#include "platform/gfx/device.h"
#include "render/texture.h"

namespace vesk {

class TDeviceDrawer : public IInterfaceDrawer, public IRenderSymbols {
public:
    static constexpr uint32_t kAtlasSize = 512;

    // Draws on the program's device (nothing while there is none).
    TDeviceDrawer() = default;
    ~TDeviceDrawer() override;
    TDeviceDrawer(const TDeviceDrawer&) = delete;
    TDeviceDrawer& operator=(const TDeviceDrawer&) = delete;

    void BeginFrame();
    void EndFrame();

    // IInterfaceDrawer
    void FillRect(const TIRect& rect, uint32_t argb) override;
    void FrameRect(const TIRect& rect, uint32_t argb) override;
    void FillPolygon(std::span<const TIPoint> points, uint32_t argb) override;
    void FramePolygon(std::span<const TIPoint> points, uint32_t argb) override;
    void DrawImage(const TImageDraw& image) override;
    void DrawVideo(VideoRendererClass& video, const TIRect& dest) override;
    bool TextureInfo(const std::string& name, uint64_t& identity, int& width, int& height) override;
    void DrawOutside(const std::function<void()>& draw) override;

    // IRenderSymbols
    void BeginBatch() override;
    void PlaceGlyph(const TGlyph& glyph, int x, int y) override;
    void DrawGlyph(uint32_t argb) override;
    void EndBatch() override;

    // Glyphs held in the atlas (tests and statistics).
    size_t AtlasGlyphs() const { return slots_.size(); }

    struct Vertex {
        float x, y, z, rhw;
        uint32_t color;
        float u, v;
    };

private:
    struct Slot {
        float u0, v0, u1, v1;
        int width, height;
    };

    platform::IDirect3DDevice9* Dev() const;
    // States every shape needs; textured or not, with the image's alpha and blend.
    void Prepare(platform::IDirect3DTexture9* texture, bool textureAlpha, TImageBlend blend);
    // Prepare for an untextured shape in the normal blend, unless the last
    // preparation of this frame was that one and nothing drew since but shapes.
    void PrepareShape();
    void Draw(platform::D3DPRIMITIVETYPE type, uint32_t count, const Vertex* v);
    TextureRef Texture(const std::string& name);
    // The glyph's place in the atlas; nullptr when it has no pixels or cannot be stored.
    const Slot* GlyphSlot(const TGlyph& glyph);
    void FlushGlyphs();

    bool inFrame_ = false;
    bool shapeStates_ = false; // the states PrepareShape sets are in place
    std::vector<std::pair<platform::D3DRENDERSTATETYPE, uint32_t>> saved_;
    // Sampler 0's addressing as the scene left it: the interface clamps its
    // pictures, the scene's models wrap their textures.
    uint32_t savedAddressU_ = platform::D3DTADDRESS_WRAP, savedAddressV_ = platform::D3DTADDRESS_WRAP;
    std::map<std::string, TextureRef> textures_;

    platform::Ref<platform::IDirect3DTexture9> atlas_;
    std::unordered_map<uint64_t, Slot> slots_; // by glyph serial; entries stay put as it grows
    int shelfX_ = 0, shelfY_ = 0, shelfHeight_ = 0;
    const TGlyph* placed_ = nullptr;
    // The slot of the glyph drawn last: shadows and outlines draw it again at once.
    uint64_t lastSerial_ = 0;
    const Slot* lastSlot_ = nullptr;
    int placedX_ = 0, placedY_ = 0;
    std::vector<Vertex> glyphQuads_;
};

// The drawer the running game draws its interface with; made when the
// desktop is created on a device, freed with it.
extern TDeviceDrawer* InterfaceDeviceDrawer;

} // namespace vesk
