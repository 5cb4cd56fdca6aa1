#include <gtest/gtest.h>

#include "text_fixture.h"

namespace vesk::test {
namespace {

class CountingTextOut : public TextOutGDIClass {
public:
    using TextOutGDIClass::TextOutGDIClass;
    bool SetFont(TFont* font) override {
        ++setFonts;
        return TextOutGDIClass::SetFont(font);
    }
    int setFonts = 0;
};

class TextOut : public TextLayerTest {
protected:
    void SetUp() override {
        TextLayerTest::SetUp();
        layer.reset(); // frees the shared font library with its output
        GDIFontLib.reset();
        text = std::make_unique<CountingTextOut>(FixedFonts());
        font = text->CurrentFont();
    }
    void TearDown() override {
        text.reset();
        TextLayerTest::TearDown();
    }
    std::unique_ptr<CountingTextOut> text;
    TFont* font = nullptr;
};

TEST_F(TextOut, StartsWithTheCommonSizesOfVerdana) {
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->Name(), "Verdana");
    EXPECT_EQ(font->Size(), 12);
    EXPECT_EQ(text->GetFontLib(), GDIFontLib.get());
    EXPECT_EQ(GDIFontLib->GetFont("verdana", 22), GDIFontLib->GetFont("Verdana", 22));
}

// Fonts are one per name in any letter case and size, however many are asked
// for in turn; a face that could not be opened is tried again the next time.
TEST(FontLib, GivesOneFontPerNameAndSizeAndRetriesAFailedFace) {
    int opened = 0;
    bool fail = true;
    GDIFontLibClass lib([&](const std::string& name, int size) -> std::unique_ptr<platform::IFontFace> {
        ++opened;
        if (name == "Broken" && fail) return nullptr;
        return FixedFonts()(name, size);
    });
    EXPECT_EQ(nullptr, lib.GetFont("Broken", 12));
    fail = false;
    TFont* broken = lib.GetFont("Broken", 12);
    ASSERT_NE(nullptr, broken);
    EXPECT_EQ(broken, lib.GetFont("BROKEN", 12));
    std::vector<TFont*> first;
    for (int size = 0; size <= 40; ++size)
        first.push_back(lib.GetFont(size % 2 ? "Verdana" : "verdana", size));
    EXPECT_EQ(first[13], first[0]) << "a size below 1 is 13";
    for (int size = 40; size >= 0; --size) {
        EXPECT_EQ(first[size_t(size)], lib.GetFont("VERDANA", size)) << size;
        EXPECT_EQ(size == 0 ? 13 : size, lib.GetFont("Verdana", size)->Size());
    }
    EXPECT_EQ(broken, lib.GetFont("broken", 12));
    EXPECT_EQ(2 + 40, opened);
}

TEST_F(TextOut, ShadowAndOutlineRepeatTheGlyph) {
    text->BeginFrame(0);
    text->AddSymbol(0x80FFFFFF, font->Glyph(u'A'), 10, 20, 1, 0xFF000000);
    text->AddSymbol(0xFFFFFFFF, font->Glyph(u'B'), 0, 0, 2, 0x80000000);
    text->AddSymbol(0xFFFFFFFF, font->Glyph(u'C'), 0, 0, 7, 0);
    text->AddLineSegment(0xFFFFFFFF, 0, 0, 5, 5);
    text->AddRect({0, 0, 4, 4}, 0xFFFFFFFF);
    text->EndFrame();
    text->Render();
    const std::vector<std::string> expected{
        "begin",           "A 11 21 80000000", "A 10 20 80FFFFFF",
        "B 1 1 80000000",  "B -1 -1 80000000", "B -1 1 80000000",
        "B 1 -1 80000000", "B 0 0 FFFFFFFF",   "end",
    };
    EXPECT_EQ(symbols.calls, expected);
    EXPECT_EQ(ScaleShadowAlpha(0xFF000000, 0x80FFFFFF), 0x80000000u);
    EXPECT_EQ(ScaleShadowAlpha(0x7F123456, 0x00FFFFFF), 0x00123456u);

    // The records stay: a frame without new text renders them again.
    symbols.calls.clear();
    text->Render();
    EXPECT_EQ(symbols.calls.size(), expected.size());
}

TEST_F(TextOut, PositionsRoundHalvesToEven) {
    text->BeginFrame(0);
    text->AddSymbol(0xFFFFFFFF, font->Glyph(u'x'), 10.5f, 11.5f, 0, 0);
    text->AddSymbol(0xFFFFFFFF, font->Glyph(u'y'), 11.5f, 10.4f, 0, 0);
    text->EndFrame();
    text->Render();
    EXPECT_EQ(symbols.calls[1], "x 10 12 FFFFFFFF");
    EXPECT_EQ(symbols.calls[2], "y 12 10 FFFFFFFF");
}

TEST_F(TextOut, SetsTheFontOnlyWhenItChanges) {
    TFont* big = GDIFontLib->GetFont("Verdana", 20);
    text->BeginFrame(0);
    text->AddSymbol(0xFFFFFFFF, font->Glyph(u'a'), 0, 0, 0, 0);
    text->AddSymbol(0xFFFFFFFF, font->Glyph(u'b'), 0, 0, 0, 0);
    text->SetFont(big);
    text->AddSymbol(0xFFFFFFFF, big->Glyph(u'c'), 0, 0, 0, 0);
    text->AddSymbol(0xFFFFFFFF, big->Glyph(u'd'), 0, 0, 0, 0);
    text->SetFont(font);
    text->AddSymbol(0xFFFFFFFF, font->Glyph(u'e'), 0, 0, 0, 0);
    text->EndFrame();
    text->setFonts = 0;
    text->Render();
    // Once for the batch, once to the big font, once back.
    EXPECT_EQ(text->setFonts, 3);
}

TEST_F(TextOut, FramesMustPair) {
    EXPECT_THROW(text->EndFrame(), Halted);
    EXPECT_EQ(trap.lastFatal, "TextOutGDIClass.EndFrame: invalid call: call BeginFrame before");
    text->BeginFrame(0);
    EXPECT_THROW(text->BeginFrame(0), Halted);
    EXPECT_EQ(trap.lastFatal, "TextOutGDIClass.BeginFrame: invalid call: already begin");
}

TEST_F(TextOut, AFontWithoutRendererEndsTheProgram) {
    GDIFontLib->SetRenderOps(nullptr);
    TFont* bare = GDIFontLib->GetFont("Other", 9);
    EXPECT_THROW(text->SetFont(bare), Halted);
    EXPECT_EQ(trap.lastFatal,
              "TextOutGDIClass.SetFont: CurrentFont.GetRenderOps.QueryInterface(IID_IRenderSymbols...)");
}

} // namespace
} // namespace vesk::test
