#include <gtest/gtest.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/fonts.h"

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
