// The picture the full-screen effects take their film grain from: grey noise
// that repeats at its edges, so the grain can slide across the screen.
#include "assets.h"
#include "image.h"
#include "noise.h"

namespace vesk::contentgen {
namespace {

Image Grain(uint32_t size) {
    Image img(size, size);
    img.Fill([size](float u, float v) {
        const float cells = static_cast<float>(size) / 2.0f;
        const float n = TiledNoise(u * cells, v * cells, static_cast<int>(cells), 4711u);
        return Rgba{n, n, n, 1};
    });
    return img;
}

void WritePostProcessAssets(const AssetSink& sink) {
    sink("data/textures/general/noise.dds", EncodeDds(Grain(64), DxtKind::Dxt1));
}

} // namespace
} // namespace vesk::contentgen

VESK_ASSET_GROUP(postprocess_assets, vesk::contentgen::WritePostProcessAssets);
