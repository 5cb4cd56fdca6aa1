#include "interface/text_layer.h"

#include <cmath>

#include "core/string_tables.h"
#include "interface/simple_node.h"
#include "interface/visual_nodes.h"
#include "platform/text.h"
#include "shared/errors.h"

namespace vesk {

std::unique_ptr<TTextLayer> TextLayer;

namespace {

struct TIdiom {
    std::u16string text;
    float width = 0;
    int breakAfter = 0;
};

float ScaleX() {
    return InterfaceScaleX > 0 ? InterfaceScaleX : 1.0f;
}

// Colour table entry 1..9; a missing table leaves the colour as it was.
bool TableColor(char16_t digit, uint32_t& out) {
    if (!SysColorTable) return false;
    out = SysColorTable->GetColor(digit - u'0');
    return true;
}

} // namespace

TTextLayer::TTextLayer(uint8_t type, FontFaceMaker maker) : layerType_(type) {
    if (type != tlGDI) return;
    textOutObject_ = std::make_unique<TextOutGDIClass>(std::move(maker));
    textOut_ = textOutObject_.get();
    if (!textOut_) {
        ErrorReport("TTextLayer.Create: tlGDI: TextOutLine as ITextOutInterface = nil", "mhl");
        return;
    }
    GDIFontLibClass* lib = textOut_->GetFontLib();
    currentFont_ = lib ? lib->GetFont(fontName_, fontSize_) : nullptr;
    if (!currentFont_)
        ErrorReport("TTextLayer.Create: tlGDI: not fTextOut.GetFontLib.GetFont(" + fontName_ + ")", "mhl");
}

TTextLayer::~TTextLayer() {
    lines_.clear();
    textOut_ = nullptr;
    currentFont_ = nullptr;
}

void TTextLayer::SelectFont(float size) {
    fontSize_ = static_cast<int>(size);
    GDIFontLibClass* lib = textOut_ ? textOut_->GetFontLib() : nullptr;
    currentFont_ = lib ? lib->GetFont(fontName_, fontSize_) : nullptr;
    if (!currentFont_) ErrorReport("TTextLayer.GetLineWidth", "mhl");
}

void TTextLayer::SetFont(uint32_t color, float size) {
    color_ = color;
    SelectFont(size);
    // The library serves -1 with its default size; the field follows.
    if (size == -1.0f) fontSize_ = 13;
}

float TTextLayer::Measure(std::u16string_view text) const {
    if (!currentFont_) return 0;
    float width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'#') {
            ++i; // the pair is never measured
            continue;
        }
        width += currentFont_->Advance(text[i]);
    }
    return width / ScaleX();
}

float TTextLayer::GetLineWidth(std::u16string_view text, float size) {
    SelectFont(size);
    return Measure(text);
}

void TTextLayer::AddLine(int x, int y, float spaceExtra, bool keepColor, std::u16string_view text) {
    if (used_ == lines_.size()) lines_.emplace_back();
    TALine& line = lines_[used_++];
    line.x = x;
    line.y = y;
    line.text.assign(text);
    line.fontSize = static_cast<float>(fontSize_);
    line.color = color_;
    line.keepColor = keepColor;
    line.spaceExtra = spaceExtra;
    line.fontName.assign(fontName_);
    line.textStyle = textStyle_;
    line.shadowColor = shadowColor_;
    changed_ = true;
    if (textOut_) textOut_->CheckVertexLimit("TTextLayer.AddLine fault - out of vertex limit: ");
}

void TTextLayer::AddLine(int x, int y, float spaceExtra, bool keepColor, const std::string& hexText) {
    AddLine(x, y, spaceExtra, keepColor, std::u16string_view(DrawnText(hexText)));
}

void TTextLayer::AddLineAligned(const TIRect& rect, std::u16string_view text, bool keepColor, int align) {
    const int w = static_cast<int>(Measure(text));
    switch (align) {
    case 0:
        AddLine(rect.left, rect.top, 0.0f, keepColor, text);
        break;
    case 1:
        AddLine(rect.right - w, rect.top, 0.0f, keepColor, text);
        break;
    case 2:
        AddLine(rect.left + (rect.right - rect.left - w) / 2, rect.top, 0.0f, keepColor, text);
        break;
    case 3: {
        int spaces = 0;
        for (char16_t c : text) spaces += c == u' ';
        const float extra =
            spaces ? static_cast<float>(rect.right - rect.left - w) / static_cast<float>(spaces) : 0.0f;
        AddLine(rect.left, rect.top, extra, keepColor, text);
        break;
    }
    default:
        break;
    }
}

int TTextLayer::AddText(const TIRect& rect, std::u16string_view text, bool measureOnly, int align) {
    if (text.empty()) return 0;
    // A lone "#" at the end would pair with what lies past the text.
    size_t hashes = 0;
    for (size_t i = text.size(); i > 0 && text[i - 1] == u'#'; --i) ++hashes;
    if (hashes % 2 == 1) {
        ErrorReport("TTextLayer.AddText fault: incorrect control symbol (#) on line end", "mhl");
        return 0;
    }

    std::vector<TIdiom> words;
    std::u16string word;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'#' && i + 1 < text.size()) {
            const char16_t k = text[i + 1];
            ++i;
            if (k == u'<' || k == u'R') {
                words.push_back({std::move(word), 0, 1});
                word.clear();
            } else {
                word += c;
                word += k;
            }
            continue;
        }
        word += c;
        if (c == u' ') {
            words.push_back({std::move(word), 0, 0});
            word.clear();
        }
    }
    if (!word.empty()) words.push_back({std::move(word), 0, 0});
    for (TIdiom& w : words) w.width = Measure(w.text);

    const int boxWidth = rect.right - rect.left;
    int cursor = rect.top;
    bool first = true;
    std::u16string line;
    float lineWidth = 0;
    auto emit = [&] {
        if (!measureOnly)
            AddLineAligned({rect.left, cursor, rect.left + boxWidth, cursor + 20}, line, !first, align);
        first = false;
        cursor = static_cast<int>(1.1 * fontSize_ + cursor);
        line.clear();
        lineWidth = 0;
    };
    if (!words.empty()) {
        line = words[0].text;
        lineWidth = words[0].width;
    }
    for (size_t i = 1; i < words.size(); ++i) {
        if (lineWidth > boxWidth || words[i - 1].breakAfter == 1 || lineWidth + words[i].width > boxWidth)
            emit();
        line += words[i].text;
        lineWidth += words[i].width;
    }
    if (!words.empty()) emit();
    return cursor - rect.top;
}

int TTextLayer::AddText(const TIRect& rect, const std::string& hexText, bool measureOnly, int align) {
    return AddText(rect, std::u16string_view(DrawnText(hexText)), measureOnly, align);
}

namespace {

// The line back in the system code page when it survives the trip, else in the hex form.
std::string LineToHexText(const std::u16string& line) {
    std::string plain = platform::Utf16ToCp1251(line);
    if (plain.find('@') == std::string::npos && platform::Cp1251ToUtf16(plain) == line) return plain;
    return WideStr2HexString(line);
}

} // namespace

bool IsWellFormedHexText(std::string_view text) {
    bool hex = false;
    size_t run = 0;
    for (char c : text) {
        if (c == '@') {
            if (hex && run % 4 != 0) return false;
            hex = !hex;
            run = 0;
        } else if (hex) {
            if (!IsHexDigits(std::string_view(&c, 1))) return false;
            ++run;
        }
    }
    return !hex || run % 4 == 0;
}

std::u16string DrawnText(std::string_view text) {
    return IsWellFormedHexText(text) ? HexStr2WideString(text) : platform::Cp1251ToUtf16(text);
}

void TTextLayer::SplitToLines(const std::string& hexText, float width, std::vector<std::string>& list) {
    SplitToLines(std::u16string_view(DrawnText(hexText)), width, list);
}

void TTextLayer::SplitToLines(std::u16string_view text, float width, std::vector<std::string>& list) {
    list.clear();
    std::u16string line;
    float running = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'#') {
            line += text[i];
            if (i + 1 < text.size()) line += text[++i];
            continue;
        }
        line += text[i];
        if (currentFont_) running += currentFont_->Advance(text[i]);
        if (running > width) {
            list.push_back(LineToHexText(line));
            line.clear();
            running = 0;
        }
    }
    if (!line.empty()) list.push_back(LineToHexText(line));
}

void TTextLayer::Clear() {
    used_ = 0;
    changed_ = true;
    if (textOut_) textOut_->ClearRequests();
}

void TTextLayer::Draw() {
    if (!textOut_) return;
    if (changed_) ReparseLines();
    textOut_->Render();
}

void TTextLayer::ReparseLines() {
    if (!textOut_) return;
    textOut_->CheckVertexLimit("TTextLayer.ReparseLines fault - out of vertex limit: ");
    changed_ = false;
    textOut_->BeginFrame(0);
    GDIFontLibClass* lib = textOut_->GetFontLib();
    const float kx = ScaleX();
    const float ky = InterfaceScaleY > 0 ? InterfaceScaleY : 1.0f;
    uint32_t color = 0;
    for (const TALine& line : Lines()) {
        float x = static_cast<float>(line.x) * kx;
        const float y = static_cast<float>(line.y) * ky;
        if (!line.keepColor) color = line.color;
        TFont* font = lib ? lib->GetFont(line.fontName, static_cast<int>(line.fontSize)) : nullptr;
        if (!font) continue;
        currentFont_ = font;
        textOut_->SetFont(font);
        bool pair = false;
        bool dropRest = false;
        for (char16_t c : line.text) {
            if (c == u' ') x += line.spaceExtra;
            if (pair) {
                pair = false;
                uint32_t entry = 0;
                if (c == u'0') {
                    color = line.color;
                } else if (c >= u'1' && c <= u'9') {
                    if (TableColor(c, entry)) color = (entry & 0x00FFFFFF) | (line.color & 0xFF000000);
                } else if (c == u't') {
                    for (int k = 0; k < 2; ++k) {
                        textOut_->AddSymbol(color, font->Glyph(u' '), x, y, line.textStyle, line.shadowColor);
                        x += font->Advance(u' ');
                    }
                } else if (c == u'F') {
                    const int packed = static_cast<int>(line.fontSize);
                    const int w = static_cast<int>(std::lround(line.fontSize)) & 0xFFFF;
                    textOut_->AddRect(
                        {static_cast<int>(x), static_cast<int>(y),
                         static_cast<int>(x) + static_cast<int>(static_cast<float>(w) * kx),
                         static_cast<int>(y) + static_cast<int>(static_cast<float>(packed >> 16) * ky)},
                        color);
                    dropRest = true;
                } else if (c == u'G') {
                    for (int i = 0; i <= 102; ++i)
                        textOut_->AddLineSegment(i % 10 == 0 ? 0x7F7FFF7F : 0x2F7FFF7F, 10.0f * i * kx, 0,
                                                 10.0f * i * kx, 767.0f * ky);
                    for (int i = 0; i <= 76; ++i)
                        textOut_->AddLineSegment(i % 10 == 0 ? 0x7F7FFF7F : 0x2F7FFF7F, 0, 10.0f * i * ky,
                                                 1023.0f * kx, 10.0f * i * ky);
                    dropRest = true;
                }
                if (dropRest) break;
                continue;
            }
            if (c == u'#') {
                pair = true;
                continue;
            }
            textOut_->AddSymbol(color, font->Glyph(c), x, y, line.textStyle, line.shadowColor);
            x += font->Advance(c);
        }
    }
    textOut_->EndFrame();
}

void TTextLayer::DrawText(const TTextDraw& text) {
    const float kx = ScaleX();
    const float ky = InterfaceScaleY > 0 ? InterfaceScaleY : 1.0f;
    SetTextStyle(static_cast<uint8_t>(text.style));
    SetShadowColor(text.shadowColor);
    SetFont(text.color, static_cast<float>(text.fontSize));
    const TIRect virt{static_cast<int>(static_cast<float>(text.rect.left) / kx),
                      static_cast<int>(static_cast<float>(text.rect.top) / ky),
                      static_cast<int>(static_cast<float>(text.rect.right) / kx),
                      static_cast<int>(static_cast<float>(text.rect.bottom) / ky)};
    const std::u16string wide = DrawnText(text.text);
    AddText(virt, std::u16string_view(wide), false, static_cast<int>(text.align));
}

void TTextLayer::DrawRun(const TTextRun& run) {
    SetTextStyle(static_cast<uint8_t>(run.style));
    SetShadowColor(run.shadowColor);
    SetFont(run.color, static_cast<float>(run.fontSize));
    AddLine(run.x, run.y, 0.0f, false, std::u16string_view(run.text));
}

void TSmartText::SetText(std::u16string_view text) {
    if (text == text_) return;
    text_ = text;
    if (!text_.empty()) Parse();
}

void TSmartText::Parse() {
    runs_.clear();
    if (!layer_) return;
    const TSmartTextBox box = owner_ ? owner_() : TSmartTextBox{};
    uint32_t color = box.textColor;
    bool pendingRow = false;
    std::u16string run;
    auto close = [&] {
        if (run.empty()) return;
        TScreenLine s;
        s.text = run;
        s.color = color;
        s.width = static_cast<int>(layer_->LineWidth(run, box.fontSize));
        s.newRow = pendingRow;
        pendingRow = false;
        runs_.push_back(std::move(s));
        run.clear();
    };
    bool pair = false;
    for (char16_t c : text_) {
        if (pair) {
            pair = false;
            uint32_t entry = 0;
            if (c == u'R') {
                pendingRow = true;
            } else if (c == u'0') {
                color = box.textColor;
            } else if (c >= u'1' && c <= u'9' && TableColor(c, entry)) {
                color = entry;
            }
            continue;
        }
        if (c == u'#') {
            close();
            pair = true;
        } else if (c == u' ') {
            close();
            run = u" ";
            close();
        } else {
            run += c;
        }
    }
    close();

    // Rows, each aligned in the box as soon as it is finished.
    size_t rowStart = 0;
    auto finish = [&](size_t end) {
        int rowWidth = 0;
        for (size_t i = rowStart; i < end; ++i) rowWidth += runs_[i].width;
        int start = 0;
        if (box.align == TTextAlign::Right) start = box.textWidth - rowWidth;
        if (box.align == TTextAlign::Center) start = (box.textWidth - rowWidth) / 2;
        for (size_t i = rowStart; i < end; ++i) {
            runs_[i].boxX = start;
            start += runs_[i].width;
        }
        rowStart = end;
    };
    int row = 0, rowWidth = 0;
    for (size_t i = 0; i < runs_.size(); ++i) {
        TScreenLine& r = runs_[i];
        if (r.newRow) {
            finish(i);
            rowWidth = 0;
            ++row;
        }
        r.row = row;
        rowWidth += r.width;
        if (box.wrap && rowWidth > box.textWidth && i > rowStart) {
            finish(i);
            ++row;
            r.row = row;
            rowWidth = r.width;
        }
    }
    finish(runs_.size());

    // Rows are placed by their tops: a block of n + 1 rows is n + 1 steps high,
    // so bottom-aligned text ends at the box's bottom edge, not a row below it.
    const int lineStep = static_cast<int>(box.rowStep > 0 ? box.rowStep : box.fontSize);
    const int rows = LastRow() + 1 - box.firstLine;
    int y0 = 0;
    if (box.vertAlign == TTextVertAlign::Center) y0 = (box.textHeight - rows * lineStep) / 2;
    if (box.vertAlign == TTextVertAlign::Bottom) y0 = box.textHeight - rows * lineStep;
    for (TScreenLine& r : runs_) {
        r.boxY = y0 + (r.row - box.firstLine) * lineStep;
        r.visible = r.boxY >= 0 && r.boxY <= box.textHeight;
        r.screenX = box.nodeLeft + r.boxX + box.textLeft;
        r.screenY = box.nodeTop + r.boxY + box.textTop;
    }
}

} // namespace vesk
