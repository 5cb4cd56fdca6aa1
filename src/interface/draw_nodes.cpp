#include "interface/draw_nodes.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/lua_readers.h"
#include "core/string_tables.h"
#include "interface/interface_tools.h"
#include "interface/key_names.h"
#include "platform/text.h"

namespace vesk {

namespace {

uint32_t WithAlpha(uint32_t argb, const std::string& value) {
    const int a = std::clamp(PropertyInt(value), 0, 255);
    return (argb & 0x00FFFFFFu) | (static_cast<uint32_t>(a) << 24);
}

// Integers separated by commas, semicolons or blanks.
std::vector<int> IntList(const std::string& text) {
    std::vector<int> out;
    std::string item;
    auto flush = [&] {
        if (!item.empty()) out.push_back(PropertyInt(item));
        item.clear();
    };
    for (char c : text) {
        if (c == ',' || c == ';' || c == ' ' || c == '\t')
            flush();
        else
            item += c;
    }
    flush();
    return out;
}

TIRect Shrunk(const TIRect& r, int left, int top, int right, int bottom) {
    return {r.left + left, r.top + top, r.right - right, r.bottom - bottom};
}

} // namespace

// ---- TPolygonNode ----------------------------------------------------------------------

void TPolygonNode::ToggleOn() {
    look_ = TLook::On;
    TTransformNode::ToggleOn();
}

void TPolygonNode::ToggleOff() {
    look_ = TLook::Off;
    TTransformNode::ToggleOff();
}

void TPolygonNode::FlashEnd() {
    look_ = TLook::Plain; // a finished flash leaves the plain look
    SetChanged(false);
    TTransformNode::FlashEnd();
}

uint32_t TPolygonNode::LookColor(uint32_t plain, const std::optional<uint32_t>& on,
                                 const std::optional<uint32_t>& off) const {
    if (look_ == TLook::On && on) return *on;
    if (look_ == TLook::Off && off) return *off;
    return plain;
}

float TPolygonNode::DrawOpacity() const {
    return std::clamp(GetOpacity(), 0.0f, 1.0f);
}

uint32_t TPolygonNode::WithOpacity(uint32_t argb, float k) {
    if (k == 1.0f) return argb; // a whole alpha scaled by one stays as it is
    const auto a = static_cast<uint32_t>(std::lround(static_cast<float>(argb >> 24) * k));
    return (argb & 0x00FFFFFFu) | (a << 24);
}

void TPolygonNode::Draw() {
    TTransformNode::Draw();
    if (!InterfaceDrawer) return;
    const float opacity = DrawOpacity();
    const uint32_t fill = WithOpacity(LookColor(color_, toggleOnColor_, toggleOffColor_), opacity);
    const uint32_t frame = WithOpacity(LookColor(frameColor_, toggleOnFrame_, toggleOffFrame_), opacity);
    // Without a visible fill or frame nothing is drawn however the shape lies.
    if (!(fill >> 24) && !(frame >> 24)) return;
    const TIRect r = GetScaledRect();
    const float turn = DrawTurn();
    const auto l = static_cast<float>(r.left), t = static_cast<float>(r.top);
    const auto rr = static_cast<float>(r.right), b = static_cast<float>(r.bottom);
    if (points_.empty()) {
        if (turn == 0.0f) {
            if (fill >> 24) InterfaceDrawer->FillRect(r, fill);
            if (frame >> 24) InterfaceDrawer->FrameRect(r, frame);
            return;
        }
        if (r.Width() <= 0 || r.Height() <= 0) return;
        // Turned, the rectangle is the polygon of its corners: the fill's lie
        // on the grid of pixel edges, the frame's on the centres of its rim.
        if (fill >> 24) {
            const TTurn turned(turn, (l + rr) / 2, (t + b) / 2);
            const TIPoint corners[] = {turned.Rounded(l, t), turned.Rounded(rr, t), turned.Rounded(rr, b),
                                       turned.Rounded(l, b)};
            InterfaceDrawer->FillPolygon(corners, fill);
        }
        if (frame >> 24) {
            const TTurn turned(turn, (l + rr - 1) / 2, (t + b - 1) / 2);
            const TIPoint corners[] = {turned.Rounded(l, t), turned.Rounded(rr - 1, t),
                                       turned.Rounded(rr - 1, b - 1), turned.Rounded(l, b - 1)};
            InterfaceDrawer->FramePolygon(corners, frame);
        }
        return;
    }
    // Point offsets scale like the rectangle's size does.
    const float kx = HScaleMode() == kScaleNone ? 1.0f : InterfaceScaleX;
    const float ky = VScaleMode() == kScaleNone ? 1.0f : InterfaceScaleY;
    std::vector<TIPoint> pts;
    pts.reserve(points_.size());
    for (const TIPoint& p : points_)
        pts.push_back({r.left + static_cast<int>(std::lround(static_cast<float>(p.x) * kx)),
                       r.top + static_cast<int>(std::lround(static_cast<float>(p.y) * ky))});
    if (turn != 0.0f) {
        const TTurn turned(turn, (l + rr) / 2, (t + b) / 2);
        for (TIPoint& p : pts) p = turned.Rounded(static_cast<float>(p.x), static_cast<float>(p.y));
    }
    if (fill >> 24) InterfaceDrawer->FillPolygon(pts, fill);
    if (frame >> 24) InterfaceDrawer->FramePolygon(pts, frame);
}

void TPolygonNode::CopyTo(TSimpleNode* target) {
    TTransformNode::CopyTo(target);
    auto* t = dynamic_cast<TPolygonNode*>(target);
    if (!t) return;
    t->color_ = color_;
    t->frameColor_ = frameColor_;
    t->toggleOnColor_ = toggleOnColor_;
    t->toggleOnFrame_ = toggleOnFrame_;
    t->toggleOffColor_ = toggleOffColor_;
    t->toggleOffFrame_ = toggleOffFrame_;
    t->points_ = points_;
}

bool TPolygonNode::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    try {
        if (k == "COLOR") {
            color_ = ColorFromHexText(value);
        } else if (k == "ALPHA") {
            color_ = WithAlpha(color_, value);
        } else if (k == "FRAMECOLOR") {
            frameColor_ = ColorFromHexText(value);
        } else if (k == "FRAMEALPHA") {
            frameColor_ = WithAlpha(frameColor_, value);
        } else if (k == "TOGGLEONCOLOR") {
            toggleOnColor_ = ColorFromHexText(value);
        } else if (k == "TOGGLEONFRAMECOLOR") {
            toggleOnFrame_ = ColorFromHexText(value);
        } else if (k == "TOGGLEOFFCOLOR") {
            toggleOffColor_ = ColorFromHexText(value);
        } else if (k == "TOGGLEOFFFRAMECOLOR") {
            toggleOffFrame_ = ColorFromHexText(value);
        } else if (k == "POINTCOUNT") {
            points_.resize(static_cast<size_t>(std::clamp(PropertyInt(value), 0, 4096)));
        } else if (k == "X" || k == "Y") {
            const std::vector<int> list = IntList(value);
            if (list.size() > points_.size()) points_.resize(std::min<size_t>(list.size(), 4096));
            for (size_t i = 0; i < list.size() && i < points_.size(); ++i)
                (k == "X" ? points_[i].x : points_[i].y) = list[i];
        } else {
            return TTransformNode::SetProperty(key, value);
        }
    } catch (const std::logic_error&) {
        ReportSetFault("TPolygonNode", k, value);
        return false;
    }
    SetChanged(true);
    return true;
}

bool TPolygonNode::GetProperty(const std::string& key, std::string& value) {
    return TTransformNode::GetProperty(key, value);
}

// ---- TImageNode --------------------------------------------------------------------------

void TImageNode::Draw() {
    TPolygonNode::Draw();
    if (!InterfaceDrawer || image_.empty()) return;
    const TIRect screen = GetScreenRect();
    const TIRect shown = Shrunk(screen, clipLeft_, clipTop_, clipRight_, clipBottom_);
    if (shown.Width() <= 0 || shown.Height() <= 0) return;
    TImageDraw d;
    d.texture = image_;
    d.dest = ScaleRect(shown, HScaleMode(), VScaleMode());
    d.source = source_;
    if (source_.Width() > 0 && source_.Height() > 0 && screen.Width() > 0 && screen.Height() > 0) {
        // The clipped share of the node is cut from the texture rectangle alike.
        auto part = [](int cut, int srcSize, int size) {
            return static_cast<int>(std::lround(static_cast<double>(cut) * srcSize / size));
        };
        d.source = Shrunk(source_, part(clipLeft_, source_.Width(), screen.Width()),
                          part(clipTop_, source_.Height(), screen.Height()),
                          part(clipRight_, source_.Width(), screen.Width()),
                          part(clipBottom_, source_.Height(), screen.Height()));
    }
    d.color = WithOpacity(LookColor(imageColor_, toggleOnImageColor_, toggleOffImageColor_));
    d.alphaChannel = alphaChannel_;
    d.blend = blend_;
    d.technique = technique_;
    d.turn = DrawTurn();
    if (d.turn != 0.0f) {
        // About the node's centre, so a clipped picture turns with its node.
        const TIRect whole = ScaleRect(screen, HScaleMode(), VScaleMode());
        d.pivotX = static_cast<float>(whole.left + whole.right) / 2;
        d.pivotY = static_cast<float>(whole.top + whole.bottom) / 2;
    }
    InterfaceDrawer->DrawImage(d);
}

void TImageNode::CopyTo(TSimpleNode* target) {
    TPolygonNode::CopyTo(target);
    auto* t = dynamic_cast<TImageNode*>(target);
    if (!t) return;
    t->image_ = image_;
    t->source_ = source_;
    t->imageColor_ = imageColor_;
    t->clipTop_ = clipTop_;
    t->clipBottom_ = clipBottom_;
    t->clipLeft_ = clipLeft_;
    t->clipRight_ = clipRight_;
    t->toggleOnImageColor_ = toggleOnImageColor_;
    t->toggleOffImageColor_ = toggleOffImageColor_;
    t->technique_ = technique_;
    t->alphaChannel_ = alphaChannel_;
    t->blend_ = blend_;
}

bool TImageNode::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    try {
        if (k == "IMAGE") {
            image_ = value;
        } else if (k == "IMAGELEFT") {
            const int w = source_.Width();
            source_.left = PropertyInt(value);
            source_.right = source_.left + w;
        } else if (k == "IMAGETOP") {
            const int h = source_.Height();
            source_.top = PropertyInt(value);
            source_.bottom = source_.top + h;
        } else if (k == "IMAGEWIDTH") {
            source_.right = source_.left + PropertyInt(value);
        } else if (k == "IMAGEHEIGHT") {
            source_.bottom = source_.top + PropertyInt(value);
        } else if (k == "IMAGEALPHA") {
            imageColor_ = WithAlpha(imageColor_, value);
        } else if (k == "IMAGECOLOR") {
            imageColor_ = ColorFromHexText(value);
        } else if (k == "IMAGECLIPTOP") {
            clipTop_ = PropertyInt(value);
        } else if (k == "IMAGECLIPBOTTOM") {
            clipBottom_ = PropertyInt(value);
        } else if (k == "IMAGECLIPLEFT") {
            clipLeft_ = PropertyInt(value);
        } else if (k == "IMAGECLIPRIGHT") {
            clipRight_ = PropertyInt(value);
        } else if (k == "TOGGLEONIMAGECOLOR") {
            toggleOnImageColor_ = ColorFromHexText(value);
        } else if (k == "TOGGLEOFFIMAGECOLOR") {
            toggleOffImageColor_ = ColorFromHexText(value);
        } else if (k == "TEXTECH") {
            technique_ = PropertyInt(value);
        } else if (k == "ALPHA") {
            alphaChannel_ = value == "1";
        } else if (k == "BLEND") {
            blend_ = platform::UpperCaseCp1251(value) == "ADD" ? TImageBlend::Add : TImageBlend::Normal;
        } else {
            return TPolygonNode::SetProperty(key, value);
        }
    } catch (const std::logic_error&) {
        ReportSetFault("TImageNode", k, value);
        return false;
    }
    SetChanged(true);
    return true;
}

bool TImageNode::GetProperty(const std::string& key, std::string& value) {
    if (platform::UpperCaseCp1251(key) == "IMAGE") {
        value = image_;
        return true;
    }
    return TPolygonNode::GetProperty(key, value);
}

// ---- TLabelNode ------------------------------------------------------------------------

const std::vector<TScreenLine>& TLabelNode::Runs() const {
    static const std::vector<TScreenLine> none;
    return layout_ ? layout_->Runs() : none;
}

TIRect TLabelNode::TextRect() const {
    const TIRect screen = GetScreenRect();
    const int width = textBox_.right > 0 ? textBox_.right : screen.Width() - textBox_.left;
    const int height = textBox_.bottom > 0 ? textBox_.bottom : screen.Height() - textBox_.top;
    const int left = screen.left + textBox_.left, top = screen.top + textBox_.top;
    return {left, top, left + width, top + height};
}

void TLabelNode::Draw() {
    TImageNode::Draw();
    if (!InterfaceTextDrawer || text_.empty()) return;
    const TIRect textRect = TextRect();
    const int boxWidth = textRect.Width(), boxHeight = textRect.Height();
    const float opacity = DrawOpacity();
    const uint32_t color =
        WithOpacity(LookColor(textColor_, toggleOnTextColor_, toggleOffTextColor_), opacity);

    TSmartTextBox box;
    box.textWidth = boxWidth;
    box.textHeight = boxHeight;
    box.align = align_;
    box.vertAlign = vertAlign_;
    box.fontSize = static_cast<float>(fontSize_);
    // Glyphs keep their pixel size on any screen: on the virtual screen a row
    // is as high as the font over the vertical scale, or rows would overlap.
    const float ky = InterfaceScaleY > 0 ? InterfaceScaleY : 1.0f;
    box.rowStep = static_cast<float>(fontSize_) / ky;
    box.textColor = color;
    box.wrap = wrap_;
    box.firstLine = firstLine_;
    if (!layout_ || layout_->Layer() != InterfaceTextDrawer) {
        layout_ = std::make_unique<TSmartText>([this] { return layoutBox_; }, InterfaceTextDrawer);
        laidOut_ = false;
    }
    const auto sameKey = [&](const LayoutKey& k) {
        return k.text == text_ && k.boxWidth == boxWidth && k.boxHeight == boxHeight && k.align == align_ &&
               k.vertAlign == vertAlign_ && k.fontSize == fontSize_ && k.wrap == wrap_ &&
               k.firstLine == firstLine_ && k.color == color && k.rowStep == static_cast<int>(box.rowStep);
    };
    if (!laidOut_ || !sameKey(layoutKey_)) {
        layoutKey_ = {text_,     boxWidth, boxHeight,  align_, vertAlign_,
                      fontSize_, wrap_,    firstLine_, color,  static_cast<int>(box.rowStep)};
        laidOut_ = true;
        layoutBox_ = box;
        const std::u16string wide = DrawnText(text_);
        if (wide == layout_->Text())
            layout_->Relayout();
        else
            layout_->SetText(wide);
    }

    // The box is anchored on the real screen as the node is; the runs are
    // placed from its corner on the virtual screen.
    const float kx = InterfaceScaleX > 0 ? InterfaceScaleX : 1.0f;
    const TIRect anchored = ScaleRect(textRect, HScaleMode(), VScaleMode());
    const int x0 = static_cast<int>(std::lround(static_cast<float>(anchored.left) / kx));
    const int y0 = static_cast<int>(std::lround(static_cast<float>(anchored.top) / ky));
    TTextRun run;
    run.fontSize = fontSize_;
    run.style = style_;
    run.shadowColor = WithOpacity(shadowColor_, opacity);
    for (const TScreenLine& line : layout_->Runs()) {
        if (!line.visible || line.text == u" ") continue;
        run.x = x0 + line.boxX;
        run.y = y0 + line.boxY;
        run.text = line.text;
        run.color = line.color == color ? color : WithOpacity(line.color, opacity);
        InterfaceTextDrawer->DrawRun(run);
    }
}

void TLabelNode::ExeMethod(const std::string& method) {
    const std::string m = platform::UpperCaseCp1251(method);
    if (m == "SCROLLUP") {
        if (firstLine_ > 0) --firstLine_;
    } else if (m == "SCROLLDOWN") {
        ++firstLine_;
    } else {
        TImageNode::ExeMethod(method);
        return;
    }
    SetChanged(true);
}

void TLabelNode::CopyTo(TSimpleNode* target) {
    TImageNode::CopyTo(target);
    auto* t = dynamic_cast<TLabelNode*>(target);
    if (!t) return;
    t->text_ = text_;
    t->textColor_ = textColor_;
    t->toggleOnTextColor_ = toggleOnTextColor_;
    t->toggleOffTextColor_ = toggleOffTextColor_;
    t->align_ = align_;
    t->vertAlign_ = vertAlign_;
    t->fontSize_ = fontSize_;
    t->textBox_ = textBox_;
    t->wrap_ = wrap_;
    t->style_ = style_;
    t->shadowColor_ = shadowColor_;
}

bool TLabelNode::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    const std::string v = platform::UpperCaseCp1251(value);
    try {
        if (k == "TEXT") {
            text_ = value;
        } else if (k == "TEXTCOLOR") {
            textColor_ = ColorFromHexText(value);
        } else if (k == "TEXTALPHA") {
            textColor_ = WithAlpha(textColor_, value);
        } else if (k == "TOGGLEONTEXTCOLOR") {
            toggleOnTextColor_ = ColorFromHexText(value);
        } else if (k == "TOGGLEOFFTEXTCOLOR") {
            toggleOffTextColor_ = ColorFromHexText(value);
        } else if (k == "TEXTALIGN") {
            align_ = v == "RIGHT"    ? TTextAlign::Right
                     : v == "CENTER" ? TTextAlign::Center
                     : v == "WIDTH"  ? TTextAlign::Width
                                     : TTextAlign::Left;
        } else if (k == "TEXTVERTALIGN") {
            vertAlign_ = v == "BOTTOM"   ? TTextVertAlign::Bottom
                         : v == "CENTER" ? TTextVertAlign::Center
                                         : TTextVertAlign::Top;
        } else if (k == "FONTSIZE") {
            fontSize_ = PropertyInt(value);
        } else if (k == "TEXTLEFT") {
            textBox_.left = PropertyInt(value);
        } else if (k == "TEXTTOP") {
            textBox_.top = PropertyInt(value);
        } else if (k == "TEXTWIDTH") {
            textBox_.right = PropertyInt(value);
        } else if (k == "TEXTHEIGHT") {
            textBox_.bottom = PropertyInt(value);
        } else if (k == "TEXTWRAP") {
            wrap_ = value == "1";
        } else if (k == "TEXTSTYLE") {
            style_ = v == "SHADOW"    ? TTextStyle::Shadow
                     : v == "OUTLINE" ? TTextStyle::Outline
                                      : TTextStyle::Normal;
        } else if (k == "SHADOWCOLOR") {
            shadowColor_ = ColorFromHexText(value);
        } else {
            return TImageNode::SetProperty(key, value);
        }
    } catch (const std::logic_error&) {
        ReportSetFault("TLabelNode", k, value);
        return false;
    }
    SetChanged(true);
    return true;
}

bool TLabelNode::GetProperty(const std::string& key, std::string& value) {
    if (platform::UpperCaseCp1251(key) == "TEXT") {
        value = text_;
        return true;
    }
    return TImageNode::GetProperty(key, value);
}

// ---- TEditNode -------------------------------------------------------------------------

std::string TEditNode::PlainText() const {
    std::string t = Text();
    if (cursor_ >= 0 && cursor_ < static_cast<int>(t.size()) && t[static_cast<size_t>(cursor_)] == '|')
        t.erase(static_cast<size_t>(cursor_), 1);
    return t;
}

void TEditNode::SetCursor(int position) {
    std::string t = PlainText();
    cursor_ = -1;
    if (position >= 0) {
        cursor_ = std::min(position, static_cast<int>(t.size()));
        t.insert(static_cast<size_t>(cursor_), 1, '|');
    }
    SetText(t);
}

void TEditNode::SetEditing(bool on) {
    if (on == editing_) return;
    editing_ = on;
    SetCursor(on ? static_cast<int>(PlainText().size()) : -1);
}

bool TEditNode::KeyDown(int key) {
    if (!editing_) return TLabelNode::KeyDown(key);
    // The text may have been replaced while editing: the cursor goes to its end.
    const std::string& t = Text();
    if (cursor_ < 0 || cursor_ >= static_cast<int>(t.size()) || t[static_cast<size_t>(cursor_)] != '|') {
        cursor_ = -1;
        SetCursor(static_cast<int>(t.size()));
    }
    std::string plain = PlainText();
    const int n = static_cast<int>(plain.size());
    const int c = cursor_;
    switch (key) {
    case 199: // HOME
        SetCursor(0);
        break;
    case 207: // END
        SetCursor(n);
        break;
    case 203: // LEFT
        if (c > 0) SetCursor(c - 1);
        break;
    case 205: // RIGHT
        if (c < n) SetCursor(c + 1);
        break;
    case 14: // BACKSPACE
        if (c > 0) {
            cursor_ = -1;
            SetText(plain.erase(static_cast<size_t>(c - 1), 1));
            SetCursor(c - 1);
        }
        break;
    case 211: // DELETE
        if (c < n) {
            cursor_ = -1;
            SetText(plain.erase(static_cast<size_t>(c), 1));
            SetCursor(c);
        }
        break;
    case 28:  // ENTER
    case 156: // NP_ENTER
        Enter();
        break;
    case 1: // ESC
        Escape();
        break;
    default: {
        const bool shifted = InterfaceTools && (InterfaceTools->DesktopModifiers() & kModShift);
        const char ch = KeyCharacter(key, shifted);
        if (ch && static_cast<int>(Text().size()) < kMaxLength) {
            cursor_ = -1;
            SetText(plain.insert(static_cast<size_t>(c), 1, ch));
            SetCursor(c + 1);
        }
        break;
    }
    }
    return true;
}

void TEditNode::Finish(const std::function<void()>& callback, const std::string& handler) {
    if (callback) callback();
    if (handler.empty()) return;
    const int at = cursor_;
    SetCursor(-1);
    RunHandler("EditText=" + LuaQuote(Text()));
    if (at >= 0) SetCursor(at);
    RunHandler(handler);
}

void TEditNode::Enter() {
    Finish(onEnterCallback_, onEnter_);
}

void TEditNode::Escape() {
    Finish(onEscCallback_, onEsc_);
}

void TEditNode::ExeMethod(const std::string& method) {
    if (platform::UpperCaseCp1251(method) == "ENTER")
        Enter();
    else
        TLabelNode::ExeMethod(method);
}

void TEditNode::CopyTo(TSimpleNode* target) {
    TLabelNode::CopyTo(target);
    auto* t = dynamic_cast<TEditNode*>(target);
    if (!t) return;
    t->SetText(PlainText()); // the copy places its own cursor
    t->cursor_ = -1;
    t->SetEditing(editing_);
    t->onEnter_ = onEnter_;
    t->onEsc_ = onEsc_;
}

bool TEditNode::SetProperty(const std::string& key, const std::string& value) {
    const std::string k = platform::UpperCaseCp1251(key);
    if (k == "EDIT") {
        SetEditing(value == "1");
    } else if (k == "ONENTER") {
        onEnter_ = value;
    } else if (k == "ONESC") {
        onEsc_ = value;
    } else {
        return TLabelNode::SetProperty(key, value);
    }
    return true;
}

bool TEditNode::GetProperty(const std::string& key, std::string& value) {
    if (key == "--") {
        value.clear();
        return true;
    }
    return TLabelNode::GetProperty(key, value);
}

// ---- TMegaButton -----------------------------------------------------------------------

std::string TMegaButton::DestroyLogName() const {
    const std::string cls = ClassName();
    return cls == "TMegaButton" ? cls + " " + Name() : cls;
}

// ---- registration ----------------------------------------------------------------------

void RegisterInterfaceNodeClasses() {
    ClassManager.RegisterClass<TNodeKind, TSimpleNode>();
    ClassManager.RegisterClass<TNodeKind, TSensNode>();
    ClassManager.RegisterClass<TNodeKind, TScriptNode>();
    ClassManager.RegisterClass<TNodeKind, THotKeyNode>();
    ClassManager.RegisterClass<TNodeKind, TRectNode>();
    ClassManager.RegisterClass<TNodeKind, TOpacityNode>();
    ClassManager.RegisterClass<TNodeKind, TFlashNode>();
    ClassManager.RegisterClass<TNodeKind, TObjectNode>();
    ClassManager.RegisterClass<TNodeKind, TTransformNode>();
    ClassManager.RegisterClass<TNodeKind, TPolygonNode>();
    ClassManager.RegisterClass<TNodeKind, TImageNode>();
    ClassManager.RegisterClass<TNodeKind, TLabelNode>();
    ClassManager.RegisterClass<TNodeKind, TEditNode>();
    ClassManager.RegisterClass<TNodeKind, TMegaButton>();
    ClassManager.RegisterClass<TNodeKind, TTestPoint>();
}

} // namespace vesk
