#pragma once
// Fonts, glyphs and the text output: the text layer turns its lines into
// glyph requests here, and the output draws them at the end of the interface
// pass through the installed glyph renderer, repeating each glyph at one-pixel
// offsets for shadowed and outlined text.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "interface/draw_target.h"
#include "platform/fonts.h"

namespace vesk {

struct TGlyph {
    char16_t code = 0;
    platform::GlyphBitmap bitmap;
    int ascender = 0;    // the face's pixels above the baseline: a line's top is the baseline less this
    uint64_t serial = 0; // unique for the run, so renderers can cache the glyph's pixels
};

// Draws glyphs: a batch holds placements, each drawn in one colour.
class IRenderSymbols {
public:
    virtual ~IRenderSymbols() = default;
    virtual void BeginBatch() = 0;
    virtual void PlaceGlyph(const TGlyph& glyph, int x, int y) = 0;
    virtual void DrawGlyph(uint32_t argb) = 0;
    virtual void EndBatch() = 0;
};

// One face of one size; glyphs are made once and kept.
class TFont {
public:
    TFont(std::string name, int size, std::unique_ptr<platform::IFontFace> face, IRenderSymbols* ops)
        : name_(std::move(name)), size_(size), face_(std::move(face)), ops_(ops) {}
    const std::string& Name() const { return name_; }
    int Size() const { return size_; }
    // Screen pixels.
    float Advance(char16_t c);
    const TGlyph& Glyph(char16_t c);
    // The render operations; nullptr when no glyph renderer is installed.
    IRenderSymbols* RenderOps() const { return ops_; }
    platform::IFontFace& Face() { return *face_; }

private:
    std::string name_;
    int size_;
    std::unique_ptr<platform::IFontFace> face_;
    IRenderSymbols* ops_;
    std::map<char16_t, float> advances_;
    std::map<char16_t, TGlyph> glyphs_;
    // The first characters' entries of the maps, found without a search: the
    // texts are mostly made of them.
    static constexpr char16_t kDirect = 128;
    std::array<const float*, kDirect> directAdvances_{};
    std::array<const TGlyph*, kDirect> directGlyphs_{};
};

// Opens the face of a named font at a pixel size; nullptr when it cannot.
using FontFaceMaker = std::function<std::unique_ptr<platform::IFontFace>(const std::string& name, int size)>;

// The font library: fonts by name and size, made on first request.
class GDIFontLibClass {
public:
    explicit GDIFontLibClass(FontFaceMaker maker = {});
    // nullptr when the face cannot be opened. A size below 1 gives the
    // library's default size, 13.
    TFont* GetFont(const std::string& name, int size);
    // What glyphs are drawn with (not owned; nullptr draws nothing).
    void SetRenderOps(IRenderSymbols* ops) { ops_ = ops; }

private:
    // A name as it was asked for, with the font it gave: the texts ask for
    // the same few fonts all the time, and the lower-case key costs more
    // than the question.
    struct Asked {
        std::string name;
        int size;
        TFont* font;
    };
    static constexpr size_t kAskedKept = 16;

    FontFaceMaker maker_;
    IRenderSymbols* ops_ = nullptr;
    std::map<std::pair<std::string, int>, std::unique_ptr<TFont>> fonts_;
    std::vector<Asked> asked_;
    size_t nextAsked_ = 0; // the entry replaced once kAskedKept are kept
};

// The "Verdana" file next to the program when present, DejaVu Sans otherwise.
std::unique_ptr<platform::IFontFace> OpenNamedFont(const std::string& name, int size);

// The one font library; made by the first text output.
extern std::unique_ptr<GDIFontLibClass> GDIFontLib;
// What the font library made by a text output draws glyphs with; the render
// side installs its renderer here. At start it discards every glyph.
extern IRenderSymbols* InterfaceGlyphRenderer;
// The renderer that discards every glyph (no device).
IRenderSymbols* DiscardingGlyphRenderer();

class ITextOutInterface {
public:
    virtual ~ITextOutInterface() = default;
    virtual bool SetFont(TFont* font) = 0;
    virtual GDIFontLibClass* GetFontLib() = 0;
    virtual void BeginFrame(int target) = 0;
    virtual void EndFrame() = 0;
    virtual void AddRect(const TIRect& rect, uint32_t argb) = 0;
    virtual void AddSymbol(uint32_t argb, const TGlyph& glyph, float x, float y, uint8_t style,
                           uint32_t shadowColor) = 0;
    virtual void AddLineSegment(uint32_t argb, float x1, float y1, float x2, float y2) = 0;
    virtual void ClearRequests() = 0;
    virtual int CheckVertexLimit(std::string_view messagePrefix) = 0;
    virtual void Render() = 0;
};

class TextOutGDIClass : public ITextOutInterface {
public:
    struct Record {
        int kind = 1; // 1 symbol, 2 line
        float x = 0, y = 0;
        uint32_t color = 0;
        TFont* font = nullptr;
        const TGlyph* glyph = nullptr;
        uint8_t style = 0;
        uint32_t shadowColor = 0;
    };

    // Makes the global font library when there is none, with `maker`
    // (the named font files when empty).
    explicit TextOutGDIClass(FontFaceMaker maker = {});
    ~TextOutGDIClass() override;
    TextOutGDIClass(const TextOutGDIClass&) = delete;
    TextOutGDIClass& operator=(const TextOutGDIClass&) = delete;

    bool SetFont(TFont* font) override;
    GDIFontLibClass* GetFontLib() override { return GDIFontLib.get(); }
    void BeginFrame(int target) override;
    void EndFrame() override;
    void AddRect(const TIRect&, uint32_t) override {}
    void AddSymbol(uint32_t argb, const TGlyph& glyph, float x, float y, uint8_t style,
                   uint32_t shadowColor) override;
    void AddLineSegment(uint32_t argb, float x1, float y1, float x2, float y2) override;
    void ClearRequests() override { records_.clear(); }
    int CheckVertexLimit(std::string_view) override { return 0; }
    void Render() override;

    const std::vector<Record>& Records() const { return records_; }
    TFont* CurrentFont() const { return currentFont_; }

private:
    int frameTarget_ = 0;
    std::string currentFontName_ = "Verdana";
    TFont* currentFont_ = nullptr;
    std::vector<Record> records_; // reused frame after frame
    bool frameBegun_ = false;
    IRenderSymbols* symbols_ = nullptr;
};

// The shadow colour with its alpha scaled by the text colour's alpha.
uint32_t ScaleShadowAlpha(uint32_t shadow, uint32_t color);

} // namespace vesk
