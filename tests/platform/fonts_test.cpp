#include <gtest/gtest.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/fonts.h"
#include "support/error_trap.h"
#include "support/tiny_font.h"

namespace vesk::platform {
namespace {

TEST(Fonts, RasterisesTheStandInFont) {
    auto face = OpenFontFace(StandInFontPath(), 14);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->PixelSize(), 14);
    EXPECT_GT(face->Ascender(), 8);
    EXPECT_LT(face->Descender(), 0);
    EXPECT_GE(face->LineHeight(), face->Ascender());

    GlyphBitmap h;
    ASSERT_TRUE(face->Rasterize(U'H', h));
    EXPECT_GT(h.width, 4);
    EXPECT_GT(h.height, 6);
    EXPECT_EQ(h.coverage.size(), static_cast<size_t>(h.width * h.height));
    EXPECT_EQ(*std::max_element(h.coverage.begin(), h.coverage.end()), 255);
    EXPECT_EQ(h.advance, face->Advance(U'H'));
    EXPECT_GT(face->Advance(U'W'), face->Advance(U'i'));
    // Cyrillic is served too.
    GlyphBitmap zhe;
    ASSERT_TRUE(face->Rasterize(U'\u0416', zhe));
    EXPECT_FALSE(zhe.coverage.empty());

    GlyphBitmap space;
    ASSERT_TRUE(face->Rasterize(U' ', space));
    EXPECT_TRUE(space.coverage.empty());
    EXPECT_GT(space.advance, 0);
    EXPECT_LE(face->Kerning(U'A', U'V'), 0);
}

// A font whose every measure is known: each comes out scaled to the pixel size.
TEST(Fonts, ReadsAFontWithItsExactMeasures) {
    test::TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "tiny.ttf", test::TinyTrueTypeFont()));
    constexpr int kPx = 20; // 1 pixel = 50 font units
    auto face = OpenFontFace(dir / "tiny.ttf", kPx);
    ASSERT_NE(face, nullptr);
    const int unit = test::kTinyFontUnitsPerEm / kPx;
    EXPECT_EQ(face->Ascender(), test::kTinyFontAscender / unit);
    EXPECT_EQ(face->Descender(), test::kTinyFontDescender / unit);
    EXPECT_EQ(face->Advance(U'A'), test::kTinyFontAdvance / unit);
    EXPECT_EQ(face->Advance(U'Z'), test::kTinyFontAdvance / unit); // the missing-glyph box
    EXPECT_EQ(face->Advance(U' '), 5);
    EXPECT_EQ(face->Advance(U'\u0416'), 16);
    EXPECT_EQ(face->Kerning(U'A', U'g'), test::kTinyFontKernAg / unit);
    EXPECT_EQ(face->Kerning(U'g', U'A'), 0);

    GlyphBitmap g;
    ASSERT_TRUE(face->Rasterize(U'g', g));
    EXPECT_EQ(g.left, 1);
    EXPECT_EQ(g.top, 10);
    EXPECT_EQ(g.width, 8);
    EXPECT_EQ(g.height, 14);
    EXPECT_EQ(*std::min_element(g.coverage.begin(), g.coverage.end()), 255); // a full box
    GlyphBitmap space;
    ASSERT_TRUE(face->Rasterize(U' ', space));
    EXPECT_TRUE(space.coverage.empty());
    EXPECT_EQ(space.advance, 5);
}

// The font fuzz target's first seed is this font, byte for byte.
TEST(Fonts, TheFuzzSeedIsTheTinyFont) {
    std::string seed;
    ASSERT_TRUE(ReadFile(std::string(VESK_TEST_DATA_DIR) + "/../../fuzz/corpus/font_file/tiny.ttf", seed));
    EXPECT_TRUE(seed == test::TinyTrueTypeFont()) << "rewrite the seed from test::TinyTrueTypeFont()";
}

TEST(Fonts, MissingFilesAndBadSizesGiveNoFace) {
    EXPECT_EQ(OpenFontFace("/nonexistent/font.ttf", 12), nullptr);
    EXPECT_EQ(OpenFontFace(StandInFontPath(), 0), nullptr);
}

TEST(Fonts, FixedWidthTestFont) {
    auto face = MakeFixedWidthFont(10, 6);
    EXPECT_EQ(face->Advance(U'i'), 6);
    EXPECT_EQ(face->Advance(U'W'), 6);
    GlyphBitmap g;
    ASSERT_TRUE(face->Rasterize(U'x', g));
    EXPECT_EQ(g.width, 5);
    EXPECT_EQ(g.height, 10);
    ASSERT_TRUE(face->Rasterize(U' ', g));
    EXPECT_TRUE(g.coverage.empty());
}

} // namespace
} // namespace vesk::platform
