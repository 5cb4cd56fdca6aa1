#pragma once
// A text layer over fixed-width test fonts (every character 6 pixels at
// every size unless the maker says otherwise), with the glyph renderer
// replaced by a recorder.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "interface/simple_node.h"
#include "interface/text_layer.h"
#include "interface/visual_nodes.h"
#include "support/error_trap.h"

namespace vesk::test {

class RecordingSymbols : public IRenderSymbols {
public:
    void BeginBatch() override { calls.push_back("begin"); }
    void PlaceGlyph(const TGlyph& glyph, int x, int y) override {
        placed =
            std::string(1, static_cast<char>(glyph.code)) + " " + std::to_string(x) + " " + std::to_string(y);
    }
    void DrawGlyph(uint32_t argb) override { calls.push_back(placed + " " + ColorText(argb)); }
    void EndBatch() override { calls.push_back("end"); }
    std::vector<std::string> calls;
    std::string placed;
};

// Space `space` pixels wide, every other character `advance`.
class SpacedFace : public platform::IFontFace {
public:
    SpacedFace(int size, int advance, int space) : size_(size), advance_(advance), space_(space) {}
    int PixelSize() const override { return size_; }
    int Ascender() const override { return size_; }
    int Descender() const override { return 0; }
    int LineHeight() const override { return size_; }
    int Advance(char32_t c) override { return c == U' ' ? space_ : advance_; }
    int Kerning(char32_t, char32_t) override { return 0; }
    bool Rasterize(char32_t c, platform::GlyphBitmap& out) override {
        out = {};
        out.advance = Advance(c);
        return true;
    }

private:
    int size_, advance_, space_;
};

inline FontFaceMaker FixedFonts(int advance = 6, int space = 6) {
    return [=](const std::string&, int size) -> std::unique_ptr<platform::IFontFace> {
        return std::make_unique<SpacedFace>(size, advance, space);
    };
}

class TextLayerTest : public ::testing::Test {
protected:
    void SetUp() override { MakeLayer(6, 6); }
    void MakeLayer(int advance, int space) {
        layer.reset();
        GDIFontLib.reset();
        oldRenderer_ = InterfaceGlyphRenderer;
        InterfaceGlyphRenderer = &symbols;
        InterfaceScaleX = InterfaceScaleY = 1.0f;
        SysColorTable = std::make_unique<TSysColorTable>();
        layer = std::make_unique<TTextLayer>(tlGDI, FixedFonts(advance, space));
        out = static_cast<TextOutGDIClass*>(layer->TextOut());
    }
    void TearDown() override {
        layer.reset();
        GDIFontLib.reset();
        SysColorTable.reset();
        InterfaceGlyphRenderer = oldRenderer_;
        InterfaceScaleX = InterfaceScaleY = 1.0f;
    }
    static std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

    ErrorTrap trap;
    RecordingSymbols symbols;
    std::unique_ptr<TTextLayer> layer;
    TextOutGDIClass* out = nullptr;

private:
    IRenderSymbols* oldRenderer_ = nullptr;
};

} // namespace vesk::test
