#pragma once
// Font rasterising for the interface text: one face at one pixel size gives
// advance widths, kerning and 8-bit coverage bitmaps of its glyphs. The real
// backend reads TrueType files; the fixed-width backend serves tests.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vesk::platform {

struct GlyphBitmap {
    int width = 0, height = 0;
    int left = 0;                  // pen position to the bitmap's left edge
    int top = 0;                   // baseline to the bitmap's top row (upwards)
    int advance = 0;               // pixels the pen moves on
    std::vector<uint8_t> coverage; // width * height, rows top first, 0..255
};

class IFontFace {
public:
    virtual ~IFontFace() = default;
    virtual int PixelSize() const = 0;
    virtual int Ascender() const = 0;  // pixels above the baseline
    virtual int Descender() const = 0; // pixels below the baseline (negative)
    virtual int LineHeight() const = 0;
    // Advance width in pixels of a code point (the missing-glyph box's when absent).
    virtual int Advance(char32_t c) = 0;
    // Horizontal kerning in pixels between two code points.
    virtual int Kerning(char32_t left, char32_t right) = 0;
    // false when the glyph cannot be made; an empty bitmap (a space) is true.
    virtual bool Rasterize(char32_t c, GlyphBitmap& out) = 0;
};

// A TrueType face at the pixel size; nullptr when the file cannot be read.
std::unique_ptr<IFontFace> OpenFontFace(const std::string& path, int pixelSize);
// The file of the font that stands in for a named font that is absent.
std::string StandInFontPath();

// Every character advances by `advance` pixels (the space included) and is a
// full box of advance - 1 by pixelSize pixels; no kerning. For tests.
std::unique_ptr<IFontFace> MakeFixedWidthFont(int pixelSize, int advance);

} // namespace vesk::platform
