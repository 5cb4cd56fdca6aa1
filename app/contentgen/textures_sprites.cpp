// Sprite textures: the effects' glows, sparks, smoke, fire, beams and shield
// pattern under "fx/" (kept uncompressed by the loader unless they are DDS
// files), and the interface's pictures: the HUD frame, the radar, markers,
// buttons, panels, the menu background, the cursor and a dialog portrait.
#include "assets.h"
#include "image.h"
#include "noise.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vesk::contentgen {
namespace {

constexpr float kPi = 3.14159265f;

float Radius(float u, float v) {
    return std::sqrt((u - 0.5f) * (u - 0.5f) + (v - 0.5f) * (v - 0.5f)) * 2;
}

// A glow: colour at the centre fading to nothing at the rim.
Image Glow(uint32_t size, const Rgba& core, const Rgba& rim, float power) {
    Image img(size, size);
    img.Fill([&](float u, float v) {
        const float r = std::min(1.0f, Radius(u, v));
        Rgba c = Mix(core, rim, r);
        c.a = std::pow(1 - r, power);
        return c;
    });
    return img;
}

// The effects' glows, sparks, fire, shots, jets, flares and shield pattern are
// drawn added to the scene, which takes a texture's colour and not its alpha:
// they are stored premultiplied, black where they are clear, so each shows its
// round falloff rather than its square. Their alpha stays for the materials
// that blend by it. Smoke is only ever blended by its alpha and stays as it is.
void WriteEffects(const AssetSink& sink) {
    sink("TEXTURES/fx/engine_glow.tga",
         EncodeTga(Glow(64, Hex(0xFFFFFF), Hex(0x3080FF), 1.6f).Premultiply(), true));
    sink("TEXTURES/fx/particle.tga",
         EncodeTga(Glow(64, Hex(0xFFFFFF), Hex(0xFFFFFF), 2.0f).Premultiply(), true));

    // The sun: a white disc in the middle of its warm glow.
    Image sun(128, 128);
    sun.Fill([](float u, float v) {
        const float r = std::min(1.0f, Radius(u, v));
        Rgba c = Mix(Hex(0xFFFFF0), Hex(0xFF9020), std::min(1.0f, r * 1.6f));
        const float disc = std::clamp((0.2f - r) / 0.08f, 0.0f, 1.0f);
        c.a = std::max(disc, 0.85f * std::pow(1 - r, 2.2f));
        return c;
    });
    // Faint rays.
    for (int k = 0; k < 8; ++k) {
        const float a = kPi / 4 * static_cast<float>(k) + 0.2f;
        sun.Line(64, 64, 64 + 62 * std::cos(a), 64 + 62 * std::sin(a), 2, {1, 0.9f, 0.7f, 0.25f});
    }
    sink("TEXTURES/fx/sun_glow.tga", EncodeTga(sun.Premultiply(), true));

    Image spark(32, 32);
    spark.Fill([](float u, float v) {
        const float du = std::fabs(u - 0.5f) * 2, dv = std::fabs(v - 0.5f) * 2;
        const float cross = std::max(std::exp(-du * 14) * (1 - dv), std::exp(-dv * 14) * (1 - du));
        const float core = std::max(0.0f, 1 - Radius(u, v) * 3);
        Rgba c = Hex(0xFFE8A0);
        c.a = std::min(1.0f, cross + core);
        return c;
    });
    sink("TEXTURES/fx/spark.tga", EncodeTga(spark.Premultiply(), true));

    Image smoke(64, 64);
    smoke.Fill([](float u, float v) {
        const float n = Fbm(u * 4, v * 4, 0.5f, 4, 1101);
        Rgba c = Scale(Hex(0x808080), 0.7f + 0.5f * n);
        c.a = std::clamp((1 - Radius(u, v)) * (0.4f + n), 0.0f, 1.0f);
        return c;
    });
    sink("TEXTURES/fx/smoke.dds", EncodeDds(smoke, DxtKind::Dxt5));

    Image fire(128, 128);
    fire.Fill([](float u, float v) {
        const float n = Fbm(u * 6, v * 6, 1.5f, 5, 1202);
        const float r = std::min(1.0f, Radius(u, v) * (0.8f + 0.4f * n));
        Rgba c = r < 0.3f ? Mix(Hex(0xFFFFD0), Hex(0xFFC030), r / 0.3f)
                          : Mix(Hex(0xFFA020), Hex(0x801000), (r - 0.3f) / 0.7f);
        c.a = std::clamp((1 - r) * 1.6f, 0.0f, 1.0f);
        return c;
    });
    sink("TEXTURES/fx/explosion.dds", EncodeDds(fire.Premultiply(), DxtKind::Dxt5));

    Image laser(64, 16);
    laser.Fill([](float, float v) {
        const float d = std::fabs(v - 0.5f) * 2;
        Rgba c = Mix(Hex(0xFFFFFF), Hex(0xFF2010), std::min(1.0f, d * 2));
        c.a = std::pow(1 - d, 1.5f);
        return c;
    });
    sink("TEXTURES/fx/laser.tga", EncodeTga(laser.Premultiply(), true));

    Image bullet(32, 32);
    bullet.Fill([](float u, float v) {
        const float d = std::sqrt((u - 0.5f) * (u - 0.5f) * 0.25f + (v - 0.5f) * (v - 0.5f) * 4) * 2;
        Rgba c = Mix(Hex(0xFFFFFF), Hex(0x40FF80), std::min(1.0f, d));
        c.a = std::clamp(1 - d, 0.0f, 1.0f);
        return c;
    });
    sink("TEXTURES/fx/bullet.tga", EncodeTga(bullet.Premultiply(), true));

    // A lens ghost: a soft disc of light, brightest in a wide band inside its
    // edge, bluish within and warm at the edge as a lens splits the colours.
    // A sharp rim alone reads as a dark bubble on the black sky.
    Image flare(128, 128);
    flare.Fill([](float u, float v) {
        const float r = Radius(u, v);
        const float band = std::exp(-((r - 0.62f) * (r - 0.62f)) / 0.018f);
        const float light = (0.12f + 0.38f * band) * (1 - Smooth(0.72f, 0.92f, r));
        Rgba c = Mix(Hex(0x90A8FF), Hex(0xFFC080), Smooth(0.45f, 0.8f, r));
        c.a = std::min(1.0f, light);
        return c;
    });
    sink("TEXTURES/fx/flare.tga", EncodeTga(flare.Premultiply(), true));

    // Hexagonal cells: bright edges, clear middles.
    Image shield(128, 128);
    shield.Fill([](float u, float v) {
        const float x = u * 8, y = v * 8 * 0.8660254f * 2 / std::sqrt(3.0f);
        const float row = std::floor(y);
        const float xs = x + (static_cast<int>(row) % 2 ? 0.5f : 0.0f);
        const float fx = xs - std::floor(xs) - 0.5f, fy = y - row - 0.5f;
        const float edge = std::max(std::fabs(fx) * 1.7320508f + std::fabs(fy), std::fabs(fy) * 2);
        Rgba c = Hex(0x60B0FF);
        c.a = std::clamp((edge - 0.86f) * 8, 0.05f, 1.0f);
        return c;
    });
    sink("TEXTURES/fx/shield.dds", EncodeDds(shield.Premultiply(), DxtKind::Dxt5));

    Image jet(32, 128);
    jet.Fill([](float u, float v) {
        const float across = std::fabs(u - 0.5f) * 2;
        Rgba c = Mix(Hex(0xFFFFFF), Hex(0x2060FF), std::min(1.0f, v * 1.5f + across * 0.5f));
        c.a = std::clamp((1 - across * across) * (1 - v), 0.0f, 1.0f);
        return c;
    });
    sink("TEXTURES/fx/jet.tga", EncodeTga(jet.Premultiply(), true));
}

const Rgba kHud{0.35f, 0.95f, 1.0f, 0.9f};

Image Clear(uint32_t w, uint32_t h) {
    Image img(w, h);
    img.Fill([](float, float) { return Rgba{0, 0, 0, 0}; });
    return img;
}

// Four corner brackets inside a w x h box.
void Brackets(Image& img, float x0, float y0, float x1, float y1, float arm, float width, const Rgba& c) {
    for (float x : {x0, x1})
        for (float y : {y0, y1}) {
            const float sx = x == x0 ? 1.0f : -1.0f, sy = y == y0 ? 1.0f : -1.0f;
            img.Line(x, y, x + sx * arm, y, width, c);
            img.Line(x, y, x, y + sy * arm, width, c);
        }
}

void WriteInterface(const AssetSink& sink) {
    Image frame = Clear(256, 128);
    Brackets(frame, 3, 3, 253, 125, 40, 3, kHud);
    frame.Line(60, 4, 196, 4, 1, {kHud.r, kHud.g, kHud.b, 0.4f});
    frame.Line(60, 124, 196, 124, 1, {kHud.r, kHud.g, kHud.b, 0.4f});
    sink("TEXTURES/interface/hud_frame.tga", EncodeTga(frame, true));

    Image radar(128, 128);
    radar.Fill([](float u, float v) {
        const float r = Radius(u, v);
        if (r > 1) return Rgba{0, 0, 0, 0};
        // The sweep trails behind its leading edge at twelve o'clock.
        const float angle = std::atan2(u - 0.5f, 0.5f - v);
        const float sweep = angle < 0 ? std::exp(angle * 2) : 0.0f;
        Rgba c = Mix(Hex(0x041820), Hex(0x0A4050), sweep * 0.8f);
        c.a = 0.75f;
        return c;
    });
    for (float r : {20.0f, 40.0f, 62.0f}) radar.Ring(64, 64, r, 1.5f, {kHud.r, kHud.g, kHud.b, 0.6f});
    radar.Line(64, 2, 64, 126, 1, {kHud.r, kHud.g, kHud.b, 0.35f});
    radar.Line(2, 64, 126, 64, 1, {kHud.r, kHud.g, kHud.b, 0.35f});
    sink("TEXTURES/interface/radar.tga", EncodeTga(radar, true));

    sink("TEXTURES/interface/radar_blip.tga", EncodeTga(Glow(16, Hex(0xFFFFFF), Hex(0xFFFFFF), 1.2f), true));

    Image cross = Clear(64, 64);
    for (auto [x0, y0, x1, y1] :
         {std::array<float, 4>{32, 6, 32, 24}, {32, 40, 32, 58}, {6, 32, 24, 32}, {40, 32, 58, 32}})
        cross.Line(x0, y0, x1, y1, 2, kHud);
    cross.Ring(32, 32, 3, 1.5f, kHud);
    sink("TEXTURES/interface/crosshair.tga", EncodeTga(cross, true));

    Image marker = Clear(64, 64);
    Brackets(marker, 3, 3, 61, 61, 16, 2.5f, {1, 0.35f, 0.25f, 0.95f});
    sink("TEXTURES/interface/target_marker.tga", EncodeTga(marker, true));

    Image button(128, 32);
    button.Fill([](float u, float v) {
        const float edge = std::min({u * 128, (1 - u) * 128, v * 32, (1 - v) * 32});
        Rgba c = Mix(Hex(0x3A5A70), Hex(0x142430), v);
        if (edge < 2) c = Mix(c, Hex(0x80E0FF), 0.8f);
        c.a = edge < 0.5f ? 0 : 0.92f;
        return c;
    });
    sink("TEXTURES/interface/button.tga", EncodeTga(button, true));

    Image panel(128, 128);
    panel.Fill([](float u, float v) {
        const float n = TiledFbm(u * 4, v * 4, 4, 4, 1303);
        Rgba c = Scale(Hex(0x303840), 0.8f + 0.4f * n);
        if (u < 0.03f || v < 0.03f) c = Scale(c, 1.6f);
        if (u > 0.97f || v > 0.97f) c = Scale(c, 0.5f);
        return c;
    });
    sink("TEXTURES/interface/panel.bmp", EncodeBmp(panel));

    Image back(512, 256);
    back.Fill([](float u, float v) {
        const float n = Fbm(u * 3, v * 1.5f, 0.3f, 5, 1404);
        Rgba c = Mix(Hex(0x04060C), Hex(0x28184A), std::clamp(n * 1.6f - 0.5f, 0.0f, 1.0f));
        // The limb of a planet rising at the bottom right.
        const float d = std::sqrt((u - 0.85f) * (u - 0.85f) * 4 + (v - 1.6f) * (v - 1.6f)) - 0.78f;
        if (d < 0)
            c = Mix(Hex(0x1E5A90), Hex(0x0A2850), std::min(1.0f, -d * 4));
        else
            c = Mix(c, Hex(0x6AB0FF), std::max(0.0f, 1 - d * 25) * 0.8f);
        if (Unit(Hash3(static_cast<int32_t>(u * 512), static_cast<int32_t>(v * 256), 3, 1405)) > 0.997f &&
            d > 0)
            c = Hex(0xFFFFFF);
        return c;
    });
    sink("TEXTURES/interface/menu_back.jpg", EncodeJpg(back, 85));

    Image cursor = Clear(32, 32);
    cursor.Line(2, 2, 2, 24, 2, {1, 1, 1, 1});
    cursor.Line(2, 2, 18, 18, 2, {1, 1, 1, 1});
    cursor.Line(2, 24, 8, 18, 2, {1, 1, 1, 1});
    cursor.Line(8, 18, 18, 18, 2, {1, 1, 1, 1});
    sink("TEXTURES/interface/cursor.tga", EncodeTga(cursor, true));

    Image bar(128, 16);
    bar.Fill([](float, float v) {
        Rgba c = Mix(Hex(0x90FFB0), Hex(0x208040), v);
        c.a = 0.9f;
        return c;
    });
    sink("TEXTURES/interface/bar.tga", EncodeTga(bar, true));

    // The outpost dispatcher: a helmeted head and shoulders against a screen glow.
    Image face(64, 64);
    face.Fill([](float u, float v) {
        Rgba c = Mix(Hex(0x103040), Hex(0x081018), v);
        const float head = (u - 0.5f) * (u - 0.5f) * 5 + (v - 0.42f) * (v - 0.42f) * 3.2f;
        const float shoulders = (u - 0.5f) * (u - 0.5f) * 1.2f + (v - 1.05f) * (v - 1.05f) * 1.8f;
        if (shoulders < 0.12f) c = Hex(0x384858);
        if (head < 0.12f) c = Mix(Hex(0xD8B090), Hex(0x806050), u);
        if (head < 0.2f && head >= 0.12f && v < 0.5f) c = Hex(0x506070); // the helmet rim
        if (std::fabs(v - 0.38f) < 0.03f && head < 0.12f && std::fabs(u - 0.5f) > 0.06f) c = Hex(0x202020);
        return c;
    });
    sink("TEXTURES/interface/portrait_dispatcher.jpg", EncodeJpg(face, 90));
}

void WriteSpriteTextures(const AssetSink& sink) {
    WriteEffects(sink);
    WriteInterface(sink);
}

} // namespace
} // namespace vesk::contentgen

VESK_ASSET_GROUP(textures_sprites, vesk::contentgen::WriteSpriteTextures);
