// Font files as the interface text opens them: the face at a size from the
// input, its metrics, advances, kerning and glyph bitmaps.
#include "fuzz_support.h"
#include "platform/files.h"
#include "platform/fonts.h"

// The whole input is the font file, so that font files serve as seeds as
// they are (fuzz/corpus/font_file: a small font written by the tests' font
// builder, and the system's DejaVu Sans); the pixel size comes from the
// input's length and last byte.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::QuietReports();
    if (size < 1) return 0;
    const int pixelSize = (data[size - 1] ^ static_cast<uint8_t>(size)) % 64 + 1;
    const std::string file = fuzz::RunFolder() + "/verdana.ttf";
    if (!vesk::platform::WriteFile(file, std::string(reinterpret_cast<const char*>(data), size))) return 0;
    auto face = vesk::platform::OpenFontFace(file, pixelSize);
    if (!face) return 0;
    size_t total = size_t(face->Ascender() - face->Descender() + face->LineHeight());
    const char32_t points[] = {U'A', U'g', U' ', U'@', U'\u0416', U'\u044F', 0x1F600, 0, 0xFFFF};
    vesk::platform::GlyphBitmap glyph;
    for (char32_t c : points) {
        total += size_t(face->Advance(c) + face->Kerning(U'A', c));
        if (face->Rasterize(c, glyph)) total += glyph.coverage.size() + size_t(glyph.width * glyph.height);
    }
    fuzz::g_sink = total;
    return 0;
}
