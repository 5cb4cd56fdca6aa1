#include "image.h"

#include "platform/gfx/d3dx.h"
#include "platform/image_codecs.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>

namespace vesk::contentgen {

namespace {

uint8_t Byte(float x) {
    return static_cast<uint8_t>(std::clamp(x, 0.0f, 1.0f) * 255.0f + 0.5f);
}

void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Blends `c` over the pixel with coverage k (0..1) times the colour's alpha.
void Over(Rgba& dst, const Rgba& c, float k) {
    const float a = std::clamp(c.a * k, 0.0f, 1.0f);
    dst.r += (c.r - dst.r) * a;
    dst.g += (c.g - dst.g) * a;
    dst.b += (c.b - dst.b) * a;
    dst.a = dst.a + a * (1 - dst.a);
}

} // namespace

Rgba Mix(const Rgba& a, const Rgba& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Rgba Scale(const Rgba& c, float k) {
    return {c.r * k, c.g * k, c.b * k, c.a};
}

Rgba Hex(uint32_t rgb, float alpha) {
    return {static_cast<float>((rgb >> 16) & 0xFF) / 255.0f, static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
            static_cast<float>(rgb & 0xFF) / 255.0f, alpha};
}

float Smooth(float e0, float e1, float x) {
    const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

void Image::Fill(const std::function<Rgba(float, float)>& shader) {
    for (uint32_t y = 0; y < height_; ++y)
        for (uint32_t x = 0; x < width_; ++x)
            At(x, y) = shader((static_cast<float>(x) + 0.5f) / static_cast<float>(width_),
                              (static_cast<float>(y) + 0.5f) / static_cast<float>(height_));
}

void Image::Blend(int x0, int y0, int x1, int y1, const Rgba& colour) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, static_cast<int>(width_));
    y1 = std::min(y1, static_cast<int>(height_));
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) Over(At(static_cast<uint32_t>(x), static_cast<uint32_t>(y)), colour, 1);
}

void Image::Line(float x0, float y0, float x1, float y1, float width, const Rgba& colour) {
    const float dx = x1 - x0, dy = y1 - y0, len2 = std::max(dx * dx + dy * dy, 1e-6f);
    const int bx0 = static_cast<int>(std::floor(std::min(x0, x1) - width)),
              bx1 = static_cast<int>(std::ceil(std::max(x0, x1) + width));
    const int by0 = static_cast<int>(std::floor(std::min(y0, y1) - width)),
              by1 = static_cast<int>(std::ceil(std::max(y0, y1) + width));
    for (int y = std::max(by0, 0); y < std::min(by1, static_cast<int>(height_)); ++y)
        for (int x = std::max(bx0, 0); x < std::min(bx1, static_cast<int>(width_)); ++x) {
            const float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
            const float t = std::clamp(((px - x0) * dx + (py - y0) * dy) / len2, 0.0f, 1.0f);
            const float ex = px - (x0 + t * dx), ey = py - (y0 + t * dy);
            // One pixel of soft edge keeps thin lines from flickering in the mips.
            const float k = std::clamp(width / 2 + 0.5f - std::sqrt(ex * ex + ey * ey), 0.0f, 1.0f);
            if (k > 0) Over(At(static_cast<uint32_t>(x), static_cast<uint32_t>(y)), colour, k);
        }
}

void Image::Ring(float cx, float cy, float radius, float width, const Rgba& colour) {
    for (uint32_t y = 0; y < height_; ++y)
        for (uint32_t x = 0; x < width_; ++x) {
            const float dx = static_cast<float>(x) + 0.5f - cx, dy = static_cast<float>(y) + 0.5f - cy;
            const float k =
                std::clamp(width / 2 + 0.5f - std::fabs(std::sqrt(dx * dx + dy * dy) - radius), 0.0f, 1.0f);
            if (k > 0) Over(At(x, y), colour, k);
        }
}

Image& Image::Premultiply() {
    for (Rgba& p : px_) {
        const float a = std::clamp(p.a, 0.0f, 1.0f);
        p.r *= a;
        p.g *= a;
        p.b *= a;
    }
    return *this;
}

std::vector<uint8_t> Image::Bgra() const {
    std::vector<uint8_t> out(px_.size() * 4);
    for (size_t i = 0; i < px_.size(); ++i) {
        out[i * 4] = Byte(px_[i].b);
        out[i * 4 + 1] = Byte(px_[i].g);
        out[i * 4 + 2] = Byte(px_[i].r);
        out[i * 4 + 3] = Byte(px_[i].a);
    }
    return out;
}

std::string EncodeDds(const Image& image, DxtKind kind) {
    const platform::D3DFORMAT format = kind == DxtKind::Dxt1 ? platform::D3DFMT_DXT1 : platform::D3DFMT_DXT5;
    uint32_t w = image.Width(), h = image.Height();
    std::vector<uint8_t> level = image.Bgra();
    std::string body;
    uint32_t levels = 0, topSize = 0;
    for (;;) {
        const std::vector<uint8_t> packed = platform::BgraToLevel(format, level.data(), w, h);
        if (levels == 0) topSize = static_cast<uint32_t>(packed.size());
        body.append(reinterpret_cast<const char*>(packed.data()), packed.size());
        ++levels;
        if (w == 1 && h == 1) break;
        const uint32_t nw = std::max(w / 2, 1u), nh = std::max(h / 2, 1u);
        level = platform::ResizeBgra(level.data(), w, h, nw, nh);
        w = nw;
        h = nh;
    }
    std::string s(128, '\0');
    Put32(s, 0, 0x20534444); // "DDS "
    Put32(s, 4, 124);
    // Caps, height, width, pixel format, linear size and the mip count are set.
    Put32(s, 8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000 | 0x80000);
    Put32(s, 12, image.Height());
    Put32(s, 16, image.Width());
    Put32(s, 20, topSize);
    Put32(s, 28, levels);
    Put32(s, 76, 32);
    Put32(s, 80, 0x4); // a four-character code
    Put32(s, 84, format);
    Put32(s, 108, 0x1000 | 0x8 | 0x400000); // texture, complex, mip-mapped
    return s + body;
}

std::string EncodeTga(const Image& image, bool alpha) {
    const uint32_t w = image.Width(), h = image.Height();
    std::string s(18, '\0');
    s[2] = 2; // uncompressed true colour
    s[12] = static_cast<char>(w & 0xFF);
    s[13] = static_cast<char>(w >> 8);
    s[14] = static_cast<char>(h & 0xFF);
    s[15] = static_cast<char>(h >> 8);
    s[16] = static_cast<char>(alpha ? 32 : 24);
    s[17] = static_cast<char>(alpha ? 8 : 0); // alpha bits; rows bottom first
    const std::vector<uint8_t> bgra = image.Bgra();
    for (uint32_t row = 0; row < h; ++row) {
        const uint8_t* p = bgra.data() + size_t(h - 1 - row) * w * 4;
        for (uint32_t x = 0; x < w; ++x, p += 4) s.append(reinterpret_cast<const char*>(p), alpha ? 4 : 3);
    }
    return s;
}

std::string EncodeBmp(const Image& image) {
    const std::vector<uint8_t> bgra = image.Bgra();
    return platform::EncodeBmp24(bgra.data(), image.Width(), image.Height(), image.Width() * 4);
}

std::string EncodeJpg(const Image& image, int quality) {
    const std::vector<uint8_t> bgra = image.Bgra();
    std::vector<uint8_t> rgb(size_t(image.Width()) * image.Height() * 3);
    for (size_t i = 0; i < rgb.size() / 3; ++i) {
        rgb[i * 3] = bgra[i * 4 + 2];
        rgb[i * 3 + 1] = bgra[i * 4 + 1];
        rgb[i * 3 + 2] = bgra[i * 4];
    }
    std::string out;
    stbi_write_jpg_to_func(
        [](void* context, void* data, int size) {
            static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                                       static_cast<size_t>(size));
        },
        &out, static_cast<int>(image.Width()), static_cast<int>(image.Height()), 3, rgb.data(), quality);
    return out;
}

} // namespace vesk::contentgen
