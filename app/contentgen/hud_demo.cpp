// The flight HUD's own picture: the radar blip of the selected object, a ring
// round a dot (the other HUD pictures are the interface group's).
#include "assets.h"
#include "image.h"

namespace vesk::contentgen {
namespace {

Image SelectedBlip(uint32_t size) {
    Image img(size, size);
    img.Fill([](float, float) { return Rgba{1, 1, 1, 0}; });
    const float c = static_cast<float>(size) / 2.0f;
    img.Ring(c, c, c - 1.5f, 1.5f, Hex(0xFFFFFF));
    img.Ring(c, c, 1.5f, 2.0f, Hex(0xFFFFFF));
    return img;
}

void WriteHudDemo(const AssetSink& sink) {
    sink("TEXTURES/interface/hud_blip_selected.tga", EncodeTga(SelectedBlip(16), true));
}

} // namespace
} // namespace vesk::contentgen

VESK_ASSET_GROUP(hud_demo, vesk::contentgen::WriteHudDemo);
