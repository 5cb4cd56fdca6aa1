#include <gtest/gtest.h>

#include "text_fixture.h"

namespace vesk::test {
namespace {

using Layer = TextLayerTest;

TEST_F(Layer, WrapsWordsGreedilyAndStepsByTheFontSize) {
    // Widths: "aa " 18, "bb " 18, "cc" 12 (6 pixels a character).
    EXPECT_EQ(layer->AddText({10, 5, 110, 0}, u"aa bb cc", false, 0), 12);
    ASSERT_EQ(layer->Lines().size(), 1u);
    EXPECT_EQ(Narrow(layer->Lines()[0].text), "aa bb cc");
    EXPECT_EQ(layer->Lines()[0].x, 10);
    EXPECT_EQ(layer->Lines()[0].y, 5);
    EXPECT_FALSE(layer->Lines()[0].keepColor);

    // A word wider than the box stands alone and overflows; the rest goes on below.
    layer->Clear();
    EXPECT_EQ(layer->AddText({0, 0, 30, 0}, u"aaaaaaaa bb cc", false, 0), 24);
    ASSERT_EQ(layer->Lines().size(), 2u);
    EXPECT_EQ(Narrow(layer->Lines()[0].text), "aaaaaaaa ");
    EXPECT_EQ(Narrow(layer->Lines()[1].text), "bb cc");
    EXPECT_EQ(layer->Lines()[1].y, 12);
    EXPECT_TRUE(layer->Lines()[1].keepColor);

    // Measuring only adds nothing but gives the same height.
    layer->Clear();
    EXPECT_EQ(layer->AddText({0, 0, 30, 0}, u"aaaaaaaa bb cc", true, 0), 24);
    EXPECT_TRUE(layer->Lines().empty());
    EXPECT_EQ(layer->AddText({0, 0, 30, 0}, u"", false, 0), 0);
}

TEST_F(Layer, ForcedBreaksAreDroppedAndDoubleBreaksLeaveAnEmptyLine) {
    EXPECT_EQ(layer->AddText({0, 0, 500, 0}, u"aa#Rbb", false, 0), 24);
    ASSERT_EQ(layer->Lines().size(), 2u);
    EXPECT_EQ(Narrow(layer->Lines()[0].text), "aa");
    EXPECT_EQ(Narrow(layer->Lines()[1].text), "bb");

    layer->Clear();
    EXPECT_EQ(layer->AddText({0, 0, 500, 0}, u"aa#<#Rbb", false, 0), 36);
    ASSERT_EQ(layer->Lines().size(), 3u);
    EXPECT_EQ(Narrow(layer->Lines()[1].text), "");
    EXPECT_EQ(layer->Lines()[2].y, 24);

    // Size 20: trunc(1.1 * 20) = 22 per line.
    layer->SetFont(0xFFFFFFFF, 20);
    EXPECT_EQ(layer->AddText({0, 0, 500, 0}, u"a#Rb", true, 0), 44);
}

TEST_F(Layer, AlignsLinesInTheirBox) {
    struct Case {
        const char16_t* text;
        int align;
        int x;
        float extra;
    };
    const Case cases[] = {
        {u"ab", 0, 10, 0},
        {u"ab", 1, 98, 0},
        {u"ab", 2, 54, 0},
        {u"abc", 2, 51, 0},
        {u"ab", 3, 10, 0},
        {u"ab cd", 3, 10, 70.0f},
        {u"a b c ", 3, 10, 64.0f / 3.0f},
    };
    for (const Case& c : cases) {
        layer->Clear();
        layer->AddText({10, 0, 110, 0}, c.text, false, c.align);
        ASSERT_EQ(layer->Lines().size(), 1u) << Narrow(c.text);
        EXPECT_EQ(layer->Lines()[0].x, c.x) << Narrow(c.text) << " align " << c.align;
        EXPECT_FLOAT_EQ(layer->Lines()[0].spaceExtra, c.extra) << Narrow(c.text);
    }
    layer->Clear();
    layer->AddText({10, 0, 110, 0}, u"ab", false, 7);
    EXPECT_TRUE(layer->Lines().empty());
}

TEST_F(Layer, LoneHashAtTheEndEndsTheProgram) {
    EXPECT_THROW(layer->AddText({0, 0, 100, 0}, u"abc#", false, 0), Halted);
    EXPECT_EQ(trap.lastFatal, "TTextLayer.AddText fault: incorrect control symbol (#) on line end");
    // A doubled "#" is a pair, not a lone mark.
    EXPECT_EQ(layer->AddText({0, 0, 100, 0}, u"abc##", false, 0), 12);
}

TEST_F(Layer, HexWideTextIsDecoded) {
    layer->AddText({0, 0, 100, 0}, std::string("x@00410042@"), false, 0);
    ASSERT_EQ(layer->Lines().size(), 1u);
    EXPECT_EQ(layer->Lines()[0].text, u"xAB");
    EXPECT_FLOAT_EQ(layer->GetLineWidth(u"ab#2c", 11), 18.0f);
    InterfaceScaleX = 2.0f;
    EXPECT_FLOAT_EQ(layer->GetLineWidth(u"ab#2c", 11), 9.0f);
}

TEST_F(Layer, GlyphPassFollowsColourPairsAcrossLines) {
    layer->SetFont(0x80FFFFFF, 11);
    // "#2aa " then "bb #0cc" on the next line: the colour carries over.
    layer->AddText({0, 0, 30, 0}, u"#2aa bb #0cc", false, 0);
    ASSERT_EQ(layer->Lines().size(), 2u);
    layer->Draw();
    const auto& r = out->Records();
    ASSERT_EQ(r.size(), 8u); // a a ' ' | b b ' ' c c
    EXPECT_EQ(r[0].color, 0x8000FF00u);
    EXPECT_EQ(r[3].color, 0x8000FF00u); // second line, kept colour
    EXPECT_EQ(r[3].glyph->code, u'b');
    EXPECT_EQ(r[6].color, 0x80FFFFFFu);
    EXPECT_FLOAT_EQ(r[3].y, 12.0f);
    EXPECT_FLOAT_EQ(r[4].x, 6.0f);
    EXPECT_FALSE(layer->Changed());

    // Nothing added: the next Draw renders what is held without a new pass.
    symbols.calls.clear();
    layer->Draw();
    EXPECT_EQ(out->Records().size(), 8u);
    EXPECT_EQ(symbols.calls.size(), 10u); // begin, 8 glyphs, end
}

// A frame's lines are written over the records of the frame before: nothing
// of a longer, differently styled earlier line shows through a later one.
TEST_F(Layer, ANewFramesLinesKeepNothingOfTheLastFramesOnes) {
    layer->SetTextStyle(2);
    layer->SetShadowColor(0xFF102030);
    layer->SetFont(0xFF00FF00, 13);
    layer->AddLine(40, 50, 2.5f, true, std::u16string_view(u"a long line of the first frame"));
    layer->AddLine(1, 2, 0.0f, false, std::u16string_view(u"second"));
    layer->Draw();
    ASSERT_EQ(out->Records().size(), 36u);

    layer->Clear();
    EXPECT_TRUE(layer->Lines().empty());
    layer->SetTextStyle(0);
    layer->SetShadowColor(0);
    layer->SetFont(0xFFFFFFFF, 11);
    layer->AddLine(3, 4, 0.0f, false, std::u16string_view(u"ab"));
    ASSERT_EQ(layer->Lines().size(), 1u);
    const TALine& line = layer->Lines()[0];
    EXPECT_EQ(Narrow(line.text), "ab");
    EXPECT_EQ(line.x, 3);
    EXPECT_EQ(line.y, 4);
    EXPECT_FLOAT_EQ(line.spaceExtra, 0.0f);
    EXPECT_FALSE(line.keepColor);
    EXPECT_EQ(line.textStyle, 0);
    EXPECT_EQ(line.shadowColor, 0u);
    EXPECT_FLOAT_EQ(line.fontSize, 11.0f);
    layer->Draw();
    const auto& r = out->Records();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].glyph->code, u'b');
    EXPECT_EQ(r[0].color, 0xFFFFFFFFu);
    EXPECT_EQ(r[0].style, 0);
}

TEST_F(Layer, JustifiedSpacesTabsBoxesAndGrid) {
    InterfaceScaleX = 2.0f;
    layer->AddLine(10, 0, 5.0f, false, std::u16string_view(u"a b#tc"));
    layer->ReparseLines();
    const auto& r = out->Records();
    ASSERT_EQ(r.size(), 6u);
    EXPECT_FLOAT_EQ(r[0].x, 20.0f);        // 10 * kx
    EXPECT_FLOAT_EQ(r[1].x, 26.0f + 5.0f); // the space, after its extra
    EXPECT_FLOAT_EQ(r[2].x, 37.0f);        // "b"
    EXPECT_FLOAT_EQ(r[3].x, 43.0f);        // the tab: two spaces
    EXPECT_FLOAT_EQ(r[5].x, 55.0f);        // "c"

    layer->Clear();
    layer->AddLine(0, 0, 0, false, std::u16string_view(u"ab#Fcd"));
    layer->AddLine(0, 0, 0, false, std::u16string_view(u"#Gzz"));
    layer->ReparseLines();
    ASSERT_EQ(out->Records().size(), 2u + 103u + 77u);
    EXPECT_EQ(out->Records()[2].kind, 2);
    EXPECT_EQ(out->Records()[2].color, 0x7F7FFF7Fu);
    EXPECT_EQ(out->Records()[3].color, 0x2F7FFF7Fu);
}

TEST_F(Layer, SplitsByCharacterWidthForTheConsole) {
    std::vector<std::string> list{"old"};
    layer->SplitToLines("abcdefgh", 20, list);
    EXPECT_EQ(list, (std::vector<std::string>{"abcd", "efgh"}));
    layer->SplitToLines("ab#2cdefg", 20, list);
    EXPECT_EQ(list, (std::vector<std::string>{"ab#2cd", "efg"}));
    // Cyrillic given in hex comes back in the system code page; the rest in hex.
    layer->SplitToLines("@0410@", 20, list);
    EXPECT_EQ(list, (std::vector<std::string>{"\xC0"}));
    layer->SplitToLines("@4E2D@", 20, list);
    EXPECT_EQ(list, (std::vector<std::string>{"@4E2D@"}));
}

TEST_F(Layer, SetFontMinusOneLeavesSizeThirteen) {
    layer->SetFont(0xFF102030, -1.0f);
    EXPECT_EQ(layer->FontSize(), 13);
    EXPECT_EQ(layer->Color(), 0xFF102030u);
    layer->AddLine(0, 0, 0, false, std::string("x"));
    EXPECT_FLOAT_EQ(layer->Lines()[0].fontSize, 13.0f);
}

TEST_F(Layer, DrawTextWrapsOnTheVirtualScreen) {
    InterfaceScaleX = InterfaceScaleY = 2.0f;
    TTextDraw t;
    t.text = "aa bb";
    t.rect = {20, 40, 220, 80};
    t.align = TTextAlign::Right;
    t.style = TTextStyle::Shadow;
    layer->DrawText(t);
    ASSERT_EQ(layer->Lines().size(), 1u);
    EXPECT_EQ(layer->Lines()[0].y, 20);
    EXPECT_EQ(layer->Lines()[0].x, 110 - 15); // 30 screen pixels are 15 virtual
    EXPECT_EQ(layer->Lines()[0].textStyle, 1);
}

class SmartText : public TextLayerTest {
protected:
    void SetUp() override { MakeLayer(6, 4); }
    TSmartTextBox box;
};

TEST_F(SmartText, WrapsRunsIntoAlignedRows) {
    box.textWidth = 100;
    box.textHeight = 50;
    box.align = TTextAlign::Right;
    box.nodeLeft = 200;
    box.textLeft = 3;
    TSmartText st([&] { return box; }, layer.get());
    st.SetText(u"aaaaaaaaaa bbbbbbbbbb"); // 60, 4, 60
    const auto& r = st.Runs();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].row, 0);
    EXPECT_EQ(r[0].boxX, 36);
    EXPECT_EQ(r[1].boxX, 96);
    EXPECT_EQ(r[2].row, 1);
    EXPECT_EQ(r[2].boxX, 40);
    EXPECT_EQ(r[2].boxY, 11);
    EXPECT_EQ(r[2].screenX, 243);
    EXPECT_TRUE(r[2].visible);
    EXPECT_EQ(st.LastRow(), 1);
}

TEST_F(SmartText, RowBreaksColoursAndVerticalPlacement) {
    box.textWidth = 500;
    box.textHeight = 30;
    box.textColor = 0x80FFFFFF;
    box.vertAlign = TTextVertAlign::Bottom;
    TSmartText st([&] { return box; }, layer.get());
    st.SetText(u"#2aa#Rbb#0cc");
    const auto& r = st.Runs();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].color, 0xFF00FF00u); // the table entry whole
    EXPECT_EQ(r[1].row, 1);
    EXPECT_TRUE(r[1].newRow);
    EXPECT_EQ(r[2].color, 0x80FFFFFFu);
    EXPECT_EQ(r[2].row, 1);
    EXPECT_EQ(r[2].boxX, 12);
    // Bottom-aligned rows end at the box's bottom edge: the last row's top is one step above it.
    EXPECT_EQ(r[0].boxY, 30 - 22);
    EXPECT_EQ(r[1].boxY, 30 - 11);
    EXPECT_TRUE(r[1].visible);

    // One centred row sits in the middle of the box; a scrolled-away row is above it.
    box.vertAlign = TTextVertAlign::Center;
    st.SetText(u"cc");
    EXPECT_EQ(st.Runs()[0].boxY, (30 - 11) / 2);
    box.vertAlign = TTextVertAlign::Top;
    box.firstLine = 1;
    st.SetText(u"a#Rb");
    EXPECT_EQ(st.Runs()[0].boxY, -11);
    EXPECT_FALSE(st.Runs()[0].visible);
    EXPECT_EQ(st.Runs()[1].boxY, 0);
    box.firstLine = 0;

    // Rows that fall below the box are not visible.
    box.textHeight = 5;
    st.SetText(u"x#Ry");
    EXPECT_TRUE(st.Runs()[0].visible);
    EXPECT_FALSE(st.Runs()[1].visible);
}

} // namespace
} // namespace vesk::test
