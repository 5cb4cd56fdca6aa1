#pragma once
// A small TrueType font written here, glyph by glyph, so that tests know its
// every measure: the missing-glyph box, a space, "A", "g" (below the
// baseline) and the Cyrillic letter U+0416, with one kerning pair ("A", "g").
// It is also the fuzz target's seed for font files.
#include <string>

namespace vesk::test {

inline constexpr int kTinyFontUnitsPerEm = 1000;
inline constexpr int kTinyFontAscender = 800;
inline constexpr int kTinyFontDescender = -200;
inline constexpr int kTinyFontAdvance = 600; // of "A" and of the missing-glyph box
inline constexpr int kTinyFontKernAg = -100;

std::string TinyTrueTypeFont();

} // namespace vesk::test
