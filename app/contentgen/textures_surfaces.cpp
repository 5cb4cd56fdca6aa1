// Surface textures: ship and station hulls, glass, engine metal, rock, the
// planets and their clouds, the star field of the sky sphere, the sky
// pictures the environment loads, and the checker texture the texture
// manager falls back on. Opaque surfaces are DXT1, translucent ones DXT5.
#include "assets.h"
#include "image.h"
#include "noise.h"

#include <algorithm>
#include <cmath>

namespace vesk::contentgen {
namespace {

// Hull plating: panels of varying tone with dark seams, rivets and grime.
// `cells` panels across; every texture tiles.
Image HullPlates(uint32_t size, int cells, const Rgba& base, uint32_t seed) {
    Image img(size, size);
    img.Fill([&](float u, float v) {
        const float pu = u * static_cast<float>(cells), pv = v * static_cast<float>(cells);
        // Every other row of panels is shifted by half a panel.
        const int row = static_cast<int>(pv);
        const float su = pu + (row % 2 ? 0.5f : 0.0f);
        const int col = static_cast<int>(std::floor(su)) % cells;
        const float fu = su - std::floor(su), fv = pv - std::floor(pv);
        const float tone = 0.85f + 0.25f * Unit(Hash3(col, row, 0, seed));
        const float grime = TiledFbm(u * 8, v * 8, 8, 4, seed + 1);
        Rgba c = Scale(base, tone * (0.8f + 0.35f * grime));
        const float seam = std::min({fu, 1 - fu, fv, 1 - fv});
        c = Scale(c, 0.45f + 0.55f * Smooth(0.0f, 0.04f, seam));
        // Rivets along the panel edges.
        const float ru = std::fmod(fu * 8, 1.0f) - 0.5f, rv = fv - 0.09f;
        if (ru * ru + rv * rv * 64 < 0.02f) c = Scale(c, 1.25f);
        c.a = 1;
        return c;
    });
    return img;
}

void WriteHulls(const AssetSink& sink) {
    sink("TEXTURES/ships/hawk_hull.dds", EncodeDds(HullPlates(256, 4, Hex(0xB8C4D0), 101), DxtKind::Dxt1));
    Image raider = HullPlates(256, 4, Hex(0x9A2A22), 202);
    // Black warning stripes across one band of panels.
    for (uint32_t y = 96; y < 160; ++y)
        for (uint32_t x = 0; x < 256; ++x)
            if (((x + y) / 16) % 2 == 0) raider.At(x, y) = Scale(raider.At(x, y), 0.2f);
    sink("TEXTURES/ships/raider_hull.dds", EncodeDds(raider, DxtKind::Dxt1));

    Image glass(64, 64);
    glass.Fill([](float u, float v) {
        Rgba c = Mix(Hex(0x9FD8FF), Hex(0x1A3050), v);
        const float streak = std::exp(-std::pow((u - v * 0.6f - 0.15f) * 12, 2.0f));
        c = Mix(c, Hex(0xFFFFFF), streak * 0.7f);
        c.a = 0.45f + 0.4f * streak;
        return c;
    });
    sink("TEXTURES/ships/canopy.dds", EncodeDds(glass, DxtKind::Dxt5));

    Image metal(128, 128);
    metal.Fill([](float u, float v) {
        const float brush = TiledFbm(u * 2, v * 64, 2, 3, 303);
        return Scale(Hex(0x9098A0), 0.7f + 0.5f * brush);
    });
    sink("TEXTURES/ships/engine_metal.jpg", EncodeJpg(metal, 90));

    Image station = HullPlates(256, 8, Hex(0xC8C0B0), 404);
    // Rows of lit windows.
    for (int row = 0; row < 8; ++row)
        for (int k = 0; k < 16; ++k)
            if (Unit(Hash3(k, row, 1, 405)) > 0.35f)
                station.Blend(k * 16 + 5, row * 32 + 12, k * 16 + 11, row * 32 + 18, Hex(0xFFE8A0));
    sink("TEXTURES/station/outpost_panels.dds", EncodeDds(station, DxtKind::Dxt1));

    Image solar(128, 128);
    solar.Fill([](float u, float v) {
        const float fu = std::fmod(u * 8, 1.0f), fv = std::fmod(v * 8, 1.0f);
        const bool line = fu < 0.06f || fv < 0.06f;
        return line ? Hex(0xB0B8C0) : Scale(Hex(0x203878), 0.8f + 0.4f * (1 - v));
    });
    sink("TEXTURES/station/solar_panel.bmp", EncodeBmp(solar));
}

// Rock with darker crater rims scattered over it.
Image Rock(uint32_t w, uint32_t h, const Rgba& base, uint32_t seed, int craters) {
    Image img(w, h);
    img.Fill([&](float u, float v) {
        const float n = TiledFbm(u * 8, v * 8, 8, 5, seed);
        return Scale(base, 0.55f + 0.7f * n);
    });
    Random r(seed);
    for (int k = 0; k < craters; ++k) {
        const float cx = r.Range(0, static_cast<float>(w)), cy = r.Range(0, static_cast<float>(h));
        const float radius = r.Range(2, static_cast<float>(w) / 14);
        img.Ring(cx, cy, radius, std::max(1.0f, radius / 4), {0.1f, 0.09f, 0.08f, 0.5f});
        img.Ring(cx + 1, cy + 1, radius, std::max(1.0f, radius / 6), {1, 1, 1, 0.15f});
    }
    return img;
}

void WritePlanets(const AssetSink& sink) {
    sink("TEXTURES/asteroids/rock.jpg", EncodeJpg(Rock(256, 256, Hex(0x8A8078), 505, 40), 85));
    sink("TEXTURES/planets/kessa_moon.jpg", EncodeJpg(Rock(256, 128, Hex(0xA8A49C), 606, 60), 85));

    // Vesk Prime: oceans, continents that wrap round, ice at the poles.
    Image vesk(512, 256);
    vesk.Fill([](float u, float v) {
        const float h = TiledFbm(u * 6, v * 3, 6, 6, 707);
        const float lat = std::fabs(v - 0.5f) * 2;
        Rgba c;
        if (h < 0.5f)
            c = Mix(Hex(0x0A2850), Hex(0x1E5A90), h / 0.5f);
        else if (h < 0.53f)
            c = Hex(0xC8B888);
        else
            c = Mix(Hex(0x3A7A30), Hex(0x7A6040), std::min(1.0f, (h - 0.53f) * 5));
        return Mix(c, Hex(0xF0F4F8), Smooth(0.78f, 0.9f, lat + 0.1f * h));
    });
    sink("TEXTURES/planets/vesk_prime.jpg", EncodeJpg(vesk, 88));

    Image clouds(512, 256);
    clouds.Fill([](float u, float v) {
        const float n = TiledFbm(u * 8, v * 4, 8, 5, 808);
        Rgba c = Hex(0xFFFFFF);
        c.a = Smooth(0.48f, 0.7f, n);
        return c;
    });
    sink("TEXTURES/planets/clouds.dds", EncodeDds(clouds, DxtKind::Dxt5));
}

// Stars over a faint nebula; the field wraps in u like the sky sphere. On a
// sphere (`sphere`) a row covers less sky the nearer it lies to a pole, so it
// gets fewer stars: they stay as thick there as round the horizon.
Image StarField(uint32_t w, uint32_t h, uint32_t seed, float density, bool sphere = false) {
    Image img(w, h);
    img.Fill([&](float u, float v) {
        const float n = TiledFbm(u * 4, v * 2, 4, 5, seed);
        // A band of haze winding round the sky across the horizon.
        const float band = std::exp(-std::pow((v - 0.5f - 0.18f * std::sin(6.2831853f * u)) / 0.14f, 2.0f));
        const float glow = Smooth(0.5f, 0.85f, n + 0.35f * band);
        // The haze's hue goes round with u and meets itself at the seam.
        const float hue = 0.5f - 0.5f * std::cos(6.2831853f * u);
        return Mix(Hex(0x020308), Mix(Hex(0x402060), Hex(0x204878), hue), glow * 0.85f);
    });
    for (uint32_t y = 0; y < h; ++y) {
        const float row =
            sphere ? density * std::sin(3.14159265f * (static_cast<float>(y) + 0.5f) / static_cast<float>(h))
                   : density;
        for (uint32_t x = 0; x < w; ++x) {
            const float s = Unit(Hash3(static_cast<int32_t>(x), static_cast<int32_t>(y), 0, seed + 9));
            if (s < 1 - row) continue;
            const float bright = (s - (1 - row)) / row;
            const Rgba tint = Mix(Hex(0xB0C8FF), Hex(0xFFE0B0), Unit(Hash(x * 31 + y)));
            img.At(x, y) = Mix(img.At(x, y), tint, 0.4f + 0.6f * bright);
        }
    }
    return img;
}

void WriteSky(const AssetSink& sink) {
    sink("TEXTURES/sky/starfield.dds", EncodeDds(StarField(2048, 1024, 909, 0.002f, true), DxtKind::Dxt1));
    // The environment's own sky pictures, found next to its model's folder.
    sink("TEXTURES/models/space/environment/sky.bmp", EncodeBmp(StarField(256, 128, 910, 0.01f)));
    sink("TEXTURES/models/space/environment/cap1.bmp", EncodeBmp(StarField(64, 64, 911, 0.01f)));
    sink("TEXTURES/models/space/environment/cap2.bmp", EncodeBmp(StarField(64, 64, 912, 0.01f)));

    // The fallback for any texture that is missing: loud enough to be noticed.
    Image checker(64, 64);
    checker.Fill([](float u, float v) {
        const bool odd = (static_cast<int>(u * 8) + static_cast<int>(v * 8)) % 2;
        return odd ? Hex(0xFF00FF) : Hex(0x202020);
    });
    sink("TEXTURES/general/checker.bmp", EncodeBmp(checker));
}

void WriteSurfaceTextures(const AssetSink& sink) {
    WriteHulls(sink);
    WritePlanets(sink);
    WriteSky(sink);
}

} // namespace
} // namespace vesk::contentgen

VESK_ASSET_GROUP(textures_surfaces, vesk::contentgen::WriteSurfaceTextures);
