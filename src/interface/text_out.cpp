#include "interface/text_out.h"

#include <cmath>

#include "core/application.h"
#include "platform/files.h"
#include "platform/text.h"
#include "shared/errors.h"

namespace vesk {

namespace {

class DiscardSymbols : public IRenderSymbols {
public:
    void BeginBatch() override {}
    void PlaceGlyph(const TGlyph&, int, int) override {}
    void DrawGlyph(uint32_t) override {}
    void EndBatch() override {}
};

DiscardSymbols discardSymbols;

} // namespace

std::unique_ptr<GDIFontLibClass> GDIFontLib;
IRenderSymbols* InterfaceGlyphRenderer = &discardSymbols;

IRenderSymbols* DiscardingGlyphRenderer() {
    return &discardSymbols;
}

float TFont::Advance(char16_t c) {
    if (c < kDirect && directAdvances_[c]) return *directAdvances_[c];
    auto it = advances_.find(c);
    if (it == advances_.end()) it = advances_.emplace(c, static_cast<float>(face_->Advance(c))).first;
    if (c < kDirect) directAdvances_[c] = &it->second;
    return it->second;
}

const TGlyph& TFont::Glyph(char16_t c) {
    if (c < kDirect && directGlyphs_[c]) return *directGlyphs_[c];
    auto it = glyphs_.find(c);
    if (it != glyphs_.end()) {
        if (c < kDirect) directGlyphs_[c] = &it->second;
        return it->second;
    }
    static uint64_t serials = 0;
    TGlyph g;
    g.code = c;
    g.serial = ++serials;
    g.ascender = face_->Ascender();
    // A glyph that cannot be made is drawn as nothing but still advances.
    if (!face_->Rasterize(c, g.bitmap)) {
        g.bitmap = {};
        g.bitmap.advance = face_->Advance(c);
    }
    const TGlyph& made = glyphs_.emplace(c, std::move(g)).first->second;
    if (c < kDirect) directGlyphs_[c] = &made;
    return made;
}

std::unique_ptr<platform::IFontFace> OpenNamedFont(const std::string& name, int size) {
    // Only the program's own "verdana.ttf" is looked up by name; every other
    // font, and Verdana when the file is absent, is served by the stand-in.
    if (FontAdded && !FontPath.empty() && platform::SameTextCp1251(name, "Verdana"))
        if (auto face = platform::OpenFontFace(platform::NativePath(FontPath), size)) return face;
    return platform::OpenFontFace(platform::StandInFontPath(), size);
}

GDIFontLibClass::GDIFontLibClass(FontFaceMaker maker) : maker_(std::move(maker)) {
    if (!maker_) maker_ = OpenNamedFont;
}

TFont* GDIFontLibClass::GetFont(const std::string& name, int size) {
    if (size < 1) size = 13;
    // Fonts are never dropped, so a name once answered keeps its font.
    for (const Asked& a : asked_)
        if (a.size == size && a.name == name) return a.font;
    auto key = std::make_pair(platform::LowerCaseCp1251(name), size);
    auto it = fonts_.find(key);
    TFont* font = nullptr;
    if (it != fonts_.end()) {
        font = it->second.get();
    } else {
        auto face = maker_(name, size);
        if (!face) return nullptr;
        font = fonts_.emplace(key, std::make_unique<TFont>(name, size, std::move(face), ops_))
                   .first->second.get();
    }
    if (asked_.size() < kAskedKept) {
        asked_.push_back({name, size, font});
    } else {
        asked_[nextAsked_] = {name, size, font};
        nextAsked_ = (nextAsked_ + 1) % kAskedKept;
    }
    return font;
}

uint32_t ScaleShadowAlpha(uint32_t shadow, uint32_t color) {
    const double shadowAlpha = shadow >> 24;
    const double colorAlpha = color >> 24;
    const auto a = static_cast<uint32_t>(std::lround(shadowAlpha * (colorAlpha / 255.0)));
    return (a << 24) | (shadow & 0x00FFFFFF);
}

TextOutGDIClass::TextOutGDIClass(FontFaceMaker maker) {
    if (!GDIFontLib) {
        GDIFontLib = std::make_unique<GDIFontLibClass>(std::move(maker));
        GDIFontLib->SetRenderOps(InterfaceGlyphRenderer);
    }
    // The library holds the common sizes from the start.
    for (int size = 12; size <= 22; ++size) GDIFontLib->GetFont(currentFontName_, size);
    TFont* font = GDIFontLib->GetFont(currentFontName_, 12);
    if (!font) {
        ErrorReport("not gGDIFontLib.GetFont(CurFontName,12,CurrentFont)", "mhl");
        return;
    }
    SetFont(font);
}

TextOutGDIClass::~TextOutGDIClass() {
    records_.clear();
    currentFont_ = nullptr;
    GDIFontLib.reset();
}

bool TextOutGDIClass::SetFont(TFont* font) {
    currentFont_ = font;
    symbols_ = font ? font->RenderOps() : nullptr;
    if (!symbols_)
        ErrorReport("TextOutGDIClass.SetFont: CurrentFont.GetRenderOps.QueryInterface(IID_IRenderSymbols...)",
                    "mhl");
    return true;
}

void TextOutGDIClass::BeginFrame(int target) {
    if (frameBegun_) {
        ErrorReport("TextOutGDIClass.BeginFrame: invalid call: already begin", "mhl");
        return;
    }
    frameBegun_ = true;
    ClearRequests();
    frameTarget_ = target;
}

void TextOutGDIClass::EndFrame() {
    if (!frameBegun_) {
        ErrorReport("TextOutGDIClass.EndFrame: invalid call: call BeginFrame before", "mhl");
        return;
    }
    frameBegun_ = false;
    frameTarget_ = 0;
}

void TextOutGDIClass::AddSymbol(uint32_t argb, const TGlyph& glyph, float x, float y, uint8_t style,
                                uint32_t shadowColor) {
    records_.push_back(Record{1, x, y, argb, currentFont_, &glyph, style, shadowColor});
}

void TextOutGDIClass::AddLineSegment(uint32_t argb, float x1, float y1, float, float) {
    // Accepted and kept with the frame's requests, never drawn.
    records_.push_back(Record{2, x1, y1, argb, currentFont_, nullptr, 0, 0});
}

void TextOutGDIClass::Render() {
    if (!currentFont_) return;
    SetFont(currentFont_);
    if (!symbols_) return;
    TFont* setFont = currentFont_;
    symbols_->BeginBatch();
    for (const Record& r : records_) {
        if (r.kind != 1 || !r.glyph) continue;
        if (r.font && r.font != setFont) {
            // A font without renderer ends the batch here: nothing could draw the rest.
            IRenderSymbols* before = symbols_;
            SetFont(r.font);
            setFont = r.font;
            if (!symbols_) {
                before->EndBatch();
                return;
            }
        }
        // Only shadowed and outlined glyphs use it.
        const uint32_t shadow = r.style == 1 || r.style == 2 ? ScaleShadowAlpha(r.shadowColor, r.color) : 0;
        // Nearest whole pixel, halves to even.
        const int x = static_cast<int>(std::nearbyint(r.x));
        const int y = static_cast<int>(std::nearbyint(r.y));
        auto draw = [&](int dx, int dy, uint32_t c) {
            symbols_->PlaceGlyph(*r.glyph, x + dx, y + dy);
            symbols_->DrawGlyph(c);
        };
        switch (r.style) {
        case 0:
            draw(0, 0, r.color);
            break;
        case 1:
            draw(1, 1, shadow);
            draw(0, 0, r.color);
            break;
        case 2:
            draw(1, 1, shadow);
            draw(-1, -1, shadow);
            draw(-1, 1, shadow);
            draw(1, -1, shadow);
            draw(0, 0, r.color);
            break;
        default:
            break;
        }
    }
    symbols_->EndBatch();
}

} // namespace vesk
