#pragma once
// Pictures for the generated textures: a canvas of colours with a few drawing
// helpers, and the file encoders the texture loader reads (DDS with DXT1 or
// DXT5 and a full mip chain, TGA, BMP and JPG).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vesk::contentgen {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 1;
};

Rgba Mix(const Rgba& a, const Rgba& b, float t);
Rgba Scale(const Rgba& c, float k);
Rgba Hex(uint32_t rgb, float alpha = 1);
// 0 below e0, 1 above e1, an S-curve between.
float Smooth(float e0, float e1, float x);

class Image {
public:
    Image(uint32_t width, uint32_t height) : width_(width), height_(height), px_(size_t(width) * height) {}
    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    Rgba& At(uint32_t x, uint32_t y) { return px_[size_t(y) * width_ + x]; }
    const Rgba& At(uint32_t x, uint32_t y) const { return px_[size_t(y) * width_ + x]; }

    // Sets every pixel from its texture coordinates (u, v in [0, 1), pixel centres).
    void Fill(const std::function<Rgba(float u, float v)>& shader);
    // Blends a colour over a rectangle, the colour's alpha as coverage.
    void Blend(int x0, int y0, int x1, int y1, const Rgba& colour);
    // A line of the given width, blended.
    void Line(float x0, float y0, float x1, float y1, float width, const Rgba& colour);
    // A ring (circle outline) of the given width, blended.
    void Ring(float cx, float cy, float radius, float width, const Rgba& colour);

    // Colour times alpha in every pixel, alpha kept: for textures added to
    // what lies behind them, which add their colour whatever their alpha says,
    // so that they fade out where they turn transparent.
    Image& Premultiply();

    // Rows top first, B, G, R, A bytes.
    std::vector<uint8_t> Bgra() const;

private:
    uint32_t width_, height_;
    std::vector<Rgba> px_;
};

enum class DxtKind { Dxt1, Dxt5 };

// A DDS file with the full mip chain down to 1 x 1.
std::string EncodeDds(const Image& image, DxtKind kind);
// An uncompressed TGA, 32 bits with alpha or 24 without, rows bottom first.
std::string EncodeTga(const Image& image, bool alpha);
// A 24-bit BMP.
std::string EncodeBmp(const Image& image);
// A baseline JPEG.
std::string EncodeJpg(const Image& image, int quality);

} // namespace vesk::contentgen
