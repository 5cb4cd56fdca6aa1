#pragma once
// The drawing end of the node chain: polygons (the node's rectangle unless
// points are given), textured images, text labels, edit fields, and
// TMegaButton, which has every concern of the chain.
//
// Colours are hexadecimal texts as the colour table reads them (six digits
// are opaque, eight carry the alpha first); ALPHA, IMAGEALPHA and TEXTALPHA
// replace the alpha byte (0 .. 255). The node's effective opacity scales
// every alpha when drawn. While a node flashes, its TOGGLEON / TOGGLEOFF
// colours (where set) replace the plain ones.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interface/text_layer.h"
#include "interface/visual_nodes.h"

namespace vesk {

class TPolygonNode : public TTransformNode {
public:
    enum class TLook : uint8_t { Plain, On, Off };

    uint32_t Color() const { return color_; }
    uint32_t FrameColor() const { return frameColor_; }
    const std::vector<TIPoint>& Points() const { return points_; }
    TLook Look() const { return look_; }

    void ToggleOn() override;
    void ToggleOff() override;
    void FlashEnd() override;
    void Draw() override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

protected:
    // The plain colour, or the toggle look's where it is set.
    uint32_t LookColor(uint32_t plain, const std::optional<uint32_t>& on,
                       const std::optional<uint32_t>& off) const;
    // ARGB with its alpha scaled by the effective opacity.
    uint32_t WithOpacity(uint32_t argb) const { return WithOpacity(argb, DrawOpacity()); }
    // The effective opacity as drawing scales by it, for several colours of one drawing.
    float DrawOpacity() const;
    static uint32_t WithOpacity(uint32_t argb, float opacity);

private:
    uint32_t color_ = 0;      // nothing drawn while its alpha is 0
    uint32_t frameColor_ = 0; // no frame while its alpha is 0
    std::optional<uint32_t> toggleOnColor_, toggleOnFrame_, toggleOffColor_, toggleOffFrame_;
    std::vector<TIPoint> points_; // relative to the node's top-left corner
    TLook look_ = TLook::Plain;
};

class TImageNode : public TPolygonNode {
public:
    const std::string& Image() const { return image_; }
    void Draw() override;
    void CopyTo(TSimpleNode* target) override;
    // ALPHA here is the image's alpha-channel switch ("1" / "0").
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    std::string image_;
    TIRect source_; // texture pixels; empty: the whole texture
    uint32_t imageColor_ = 0xFFFFFFFF;
    int clipTop_ = 0, clipBottom_ = 0, clipLeft_ = 0, clipRight_ = 0; // virtual pixels cut off
    std::optional<uint32_t> toggleOnImageColor_, toggleOffImageColor_;
    int technique_ = 0;
    bool alphaChannel_ = true;
    TImageBlend blend_ = TImageBlend::Normal;
};

class TLabelNode : public TImageNode {
public:
    const std::string& Text() const { return text_; }
    uint32_t TextColor() const { return textColor_; }
    void SetText(const std::string& text) {
        text_ = text;
        SetChanged(true);
    }
    int FirstLine() const { return firstLine_; }
    int FontSize() const { return fontSize_; }
    TTextStyle Style() const { return style_; }
    uint32_t ShadowColor() const { return shadowColor_; }
    // The box the text is laid out in, on the virtual screen.
    TIRect TextRect() const;
    // The runs as last laid out (empty before the first drawing).
    const std::vector<TScreenLine>& Runs() const;

    void Draw() override;
    void ExeMethod(const std::string& method) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    std::string text_;
    uint32_t textColor_ = 0xFFFFFFFF;
    std::optional<uint32_t> toggleOnTextColor_, toggleOffTextColor_;
    TTextAlign align_ = TTextAlign::Left;
    TTextVertAlign vertAlign_ = TTextVertAlign::Top;
    int fontSize_ = 11;
    TIRect textBox_;   // left, top, width, height in virtual pixels; width or height 0: the node's
    bool wrap_ = true; // TEXTWRAP "0" keeps each row to its forced breaks
    TTextStyle style_ = TTextStyle::Normal;
    uint32_t shadowColor_ = 0xFF000000;
    int firstLine_ = 0;
    // What the layout reads: the text is laid out again only when it changed.
    struct LayoutKey {
        std::string text;
        int boxWidth = 0, boxHeight = 0;
        TTextAlign align = TTextAlign::Left;
        TTextVertAlign vertAlign = TTextVertAlign::Top;
        int fontSize = 0;
        bool wrap = true;
        int firstLine = 0;
        uint32_t color = 0;
        int rowStep = 0;
    };
    std::unique_ptr<TSmartText> layout_;
    LayoutKey layoutKey_;
    bool laidOut_ = false; // layoutKey_ holds what the layout was made from
    TSmartTextBox layoutBox_;
};

class TEditNode : public TLabelNode {
public:
    static constexpr int kMaxLength = 20; // characters, the cursor included
    bool Editing() const { return editing_; }
    int CursorPos() const { return cursor_; }
    void SetEditing(bool on);
    // Moves the "|" in the text; -1 removes it.
    void SetCursor(int position);
    void Enter();
    void Escape();
    void SetEnterCallback(std::function<void()> f) { onEnterCallback_ = std::move(f); }
    void SetEscapeCallback(std::function<void()> f) { onEscCallback_ = std::move(f); }

    bool KeyDown(int key) override;
    void ExeMethod(const std::string& method) override;
    void CopyTo(TSimpleNode* target) override;
    bool SetProperty(const std::string& key, const std::string& value) override;
    bool GetProperty(const std::string& key, std::string& value) override;

private:
    // The text without the cursor.
    std::string PlainText() const;
    void Finish(const std::function<void()>& callback, const std::string& handler);

    bool editing_ = false;
    int cursor_ = -1;
    std::string onEnter_, onEsc_;
    std::function<void()> onEnterCallback_, onEscCallback_;
};

class TMegaButton : public TEditNode {
public:
    // "TMegaButton <name>" for the button itself.
    std::string DestroyLogName() const override;
};

// A TMegaButton used as a debug marker.
class TTestPoint : public TMegaButton {};

} // namespace vesk
