// The effects' own models and pictures: the shield-hit shell with its flash
// animation, the unit sphere of sphere effects, the shockwave ring of mesh
// effects, the beam texture every laser starts with and the scorch of hit marks.
#include "image.h"
#include "models.h"

#include "shared/math.h"

#include <algorithm>
#include <cmath>

namespace vesk::contentgen {
namespace {

// The shell flashes once over a second: it swells from 0.9 to 1.05 of its size.
void WriteShieldHit(const AssetSink& sink) {
    ModelFile m("shield_hit");
    m.AddMaterial("fx_shield_hit", "fx/shield", 0x60C0FF);
    m.AddObject("shell", Ellipsoid({0, 0, 0}, {18, 18, 18}, 24, 12, "fx_shield_hit", 3, 2));
    m.AddSphere("bs_shell", {0, 0, 0}, 18);
    EmitModel(sink, "models/fx/shield_hit.cm", m);

    ModelFile anim("shield_hit");
    anim.animationRoot = "shield_hit";
    AnimTrack t{"shell", 0, 30, {}};
    for (int f = 0; f <= 30; f += 3) {
        const float s = 0.9f + 0.15f * static_cast<float>(f) / 30.0f;
        AnimKey k;
        k.time = static_cast<float>(f) * 100.0f;
        k.tm = MatrixScaling(s, s, s);
        t.keys.push_back(k);
    }
    anim.tracks.push_back(std::move(t));
    EmitModel(sink, "models/fx/shield_hit.cma", anim);
}

void WriteSphere(const AssetSink& sink) {
    ModelFile m("fx_sphere");
    m.AddMaterial("fx_sphere", "fx/shield", 0xFFFFFF);
    m.AddObject("base", Ellipsoid({0, 0, 0}, {1, 1, 1}, 24, 12, "fx_sphere", 2, 1));
    m.AddSphere("bs_base", {0, 0, 0}, 1);
    EmitModel(sink, "models/fx/sphere.cm", m);
}

// A thin glowing ring round the x axis.
void WriteShockwave(const AssetSink& sink) {
    ModelFile m("shockwave");
    m.AddMaterial("fx_shockwave", "fx/engine_glow.tga", 0xFFFFFF);
    m.AddObject("ring", TorusX(20, 1.5f, 32, 8, "fx_shockwave"));
    m.AddSphere("bs_ring", {0, 0, 0}, 22);
    EmitModel(sink, "models/fx/shockwave.cm", m);
}

void WritePictures(const AssetSink& sink) {
    // The beam: a white core across the middle of v, red towards the edges; u runs along the beam.
    Image beam(64, 16);
    beam.Fill([](float, float v) {
        const float d = std::fabs(v - 0.5f) * 2;
        const float core = std::max(0.0f, 1 - d * 2.5f);
        const float glow = std::max(0.0f, 1 - d);
        return Rgba{glow, core, core, 1};
    });
    sink("TEXTURES/fx/laser.bmp", EncodeBmp(beam));

    // A scorch: dark at the centre, fading out at the rim.
    Image scorch(64, 64);
    scorch.Fill([](float u, float v) {
        const float r = std::min(1.0f, std::sqrt((u - 0.5f) * (u - 0.5f) + (v - 0.5f) * (v - 0.5f)) * 2);
        Rgba c = Mix(Hex(0x201810), Hex(0x603010), r);
        c.a = std::pow(1 - r, 1.5f);
        return c;
    });
    sink("TEXTURES/fx/scorch.tga", EncodeTga(scorch, true));
}

void WriteEffectAssets(const AssetSink& sink) {
    WriteShieldHit(sink);
    WriteSphere(sink);
    WriteShockwave(sink);
    WritePictures(sink);
}

} // namespace
} // namespace vesk::contentgen

VESK_ASSET_GROUP(effects_models, vesk::contentgen::WriteEffectAssets);
