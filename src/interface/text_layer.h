#pragma once
// The frame's text buffer: positioned lines of wide text, word-wrapped blocks
// with four alignments, and the glyph pass that turns the lines into requests
// for the text output. Texts carry in-line "#" pairs: "#<" and "#R" break the
// line, "#0".."#9" change the colour, "#t" is a tab of two spaces, "#F" a
// filled box and "#G" the layout grid.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "interface/draw_target.h"
#include "interface/text_out.h"

namespace vesk {

inline constexpr uint8_t tlGDI = 1;

struct TALine {
    int x = 0, y = 0;
    std::u16string text;
    float fontSize = 0;
    uint32_t color = 0;
    bool keepColor = false;
    float spaceExtra = 0;
    std::string fontName;
    uint8_t textStyle = 0;
    uint32_t shadowColor = 0;
};

class TTextLayer : public ITextDrawer {
public:
    // With tlGDI the layer owns a text output made with `maker` (the named
    // font files when empty).
    explicit TTextLayer(uint8_t type, FontFaceMaker maker = {});
    ~TTextLayer() override;
    TTextLayer(const TTextLayer&) = delete;
    TTextLayer& operator=(const TTextLayer&) = delete;

    void SetFont(uint32_t color, float size);
    void SetTextStyle(uint8_t style) { textStyle_ = style; }
    void SetShadowColor(uint32_t argb) { shadowColor_ = argb; }

    void AddLine(int x, int y, float spaceExtra, bool keepColor, std::u16string_view text);
    void AddLine(int x, int y, float spaceExtra, bool keepColor, const std::string& hexText);
    // Wraps text into rect (left, top, right) and returns the height used.
    // align: 0 left, 1 right, 2 centre, 3 justified.
    int AddText(const TIRect& rect, std::u16string_view text, bool measureOnly, int align);
    int AddText(const TIRect& rect, const std::string& hexText, bool measureOnly, int align);
    // Virtual pixels of text at the font size (which becomes the layer's).
    float GetLineWidth(std::u16string_view text, float size);
    // Lines no wider than width screen pixels at the current font, breaking
    // between characters; the list is cleared first.
    void SplitToLines(const std::string& hexText, float width, std::vector<std::string>& list);
    void SplitToLines(std::u16string_view text, float width, std::vector<std::string>& list);
    // The current font := the library's font of trunc(size); the font size
    // field takes the size.
    void SelectFont(float size);

    void Clear();
    void Draw();
    void ReparseLines();

    // Visual nodes draw text through the layer: the rectangle comes in real
    // pixels and is wrapped on the virtual screen.
    void DrawText(const TTextDraw& text) override;
    // A run becomes one line in its own font, colour and style.
    void DrawRun(const TTextRun& run) override;
    float LineWidth(std::u16string_view text, float size) override { return GetLineWidth(text, size); }

    std::span<const TALine> Lines() const { return {lines_.data(), used_}; }
    ITextOutInterface* TextOut() const { return textOut_; }
    TFont* CurrentFont() const { return currentFont_; }
    int FontSize() const { return fontSize_; }
    uint32_t Color() const { return color_; }
    bool Changed() const { return changed_; }

private:
    float Measure(std::u16string_view text) const;
    void AddLineAligned(const TIRect& rect, std::u16string_view text, bool keepColor, int align);

    // The frame's lines are the first used_; the records past them are kept
    // from earlier frames so that their strings keep their room.
    std::vector<TALine> lines_;
    size_t used_ = 0;
    ITextOutInterface* textOut_ = nullptr;
    std::unique_ptr<TextOutGDIClass> textOutObject_;
    TFont* currentFont_ = nullptr;
    bool changed_ = false;
    [[maybe_unused]] uint8_t layerType_ = 0; // the kind of layer it was made as; kept with the layer
    int fontSize_ = 11;
    std::string fontName_ = "Verdana";
    uint32_t color_ = 0xFFFFFFFF;
    uint8_t textStyle_ = 0;
    uint32_t shadowColor_ = 0;
};

// True when every "@" part of the text is whole groups of four hexadecimal
// digits, so that it reads as hex-text without a fault.
bool IsWellFormedHexText(std::string_view text);
// A text as it is drawn: its hex-text decoded when it is well formed; any
// other text (an "@" in a label or typed into an edit field) in the system
// code page, as it stands.
std::u16string DrawnText(std::string_view text);

// The interface's one text layer (the interface text font): made by the
// desktop; the console writes nothing while it is absent.
extern std::unique_ptr<TTextLayer> TextLayer;

// The label's text engine: runs of one colour wrapped into rows of its box.
struct TSmartTextBox {
    int nodeLeft = 0, nodeTop = 0; // the node's absolute position
    int textLeft = 0, textTop = 0; // TEXTLEFT, TEXTTOP
    int textWidth = 0, textHeight = 0;
    TTextAlign align = TTextAlign::Left;
    TTextVertAlign vertAlign = TTextVertAlign::Top;
    float fontSize = 11;
    uint32_t textColor = 0xFFFFFFFF;
    float rowStep = 0; // virtual pixels from row to row; 0: the font size
    bool wrap = true;  // rows break at the text width
    int firstLine = 0; // rows scrolled away above the box
};

struct TScreenLine {
    int screenX = 0, screenY = 0;
    int boxX = 0, boxY = 0;
    bool visible = false;
    int width = 0;
    std::u16string text;
    uint32_t color = 0;
    bool newRow = false;
    int row = 0;
};

class TSmartText {
public:
    // The owner's box is read at every text change; the layer measures.
    TSmartText(std::function<TSmartTextBox()> owner, ITextDrawer* layer)
        : owner_(std::move(owner)), layer_(layer) {}
    void SetText(std::u16string_view text);
    // Lays the text out again (the box changed).
    void Relayout() {
        if (!text_.empty()) Parse();
    }
    const std::u16string& Text() const { return text_; }
    ITextDrawer* Layer() const { return layer_; }
    void Clear() { runs_.clear(); }
    int LastRow() const { return runs_.empty() ? 0 : runs_.back().row; }
    const std::vector<TScreenLine>& Runs() const { return runs_; }

private:
    void Parse();

    std::u16string text_;
    std::function<TSmartTextBox()> owner_;
    ITextDrawer* layer_;
    std::vector<TScreenLine> runs_;
};

} // namespace vesk
