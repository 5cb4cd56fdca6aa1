#include "support/tiny_font.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

namespace vesk::test {

namespace {

// Big-endian writer: TrueType files store every number that way.
class Bytes {
public:
    Bytes& U8(uint32_t v) {
        data_.push_back(static_cast<char>(v & 0xFF));
        return *this;
    }
    Bytes& U16(uint32_t v) { return U8(v >> 8).U8(v); }
    Bytes& S16(int v) { return U16(static_cast<uint16_t>(static_cast<int16_t>(v))); }
    Bytes& U32(uint32_t v) { return U16(v >> 16).U16(v & 0xFFFF); }
    Bytes& Tag(const char* t) {
        for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(t[i]));
        return *this;
    }
    Bytes& Raw(const std::string& s) {
        data_ += s;
        return *this;
    }
    Bytes& PadTo4() {
        while (data_.size() % 4) U8(0);
        return *this;
    }
    const std::string& Str() const { return data_; }
    size_t Size() const { return data_.size(); }

private:
    std::string data_;
};

// One glyph: its contours as closed polygons of on-curve points.
struct Glyph {
    uint32_t code = 0; // 0: not mapped
    int advance = 0;
    std::vector<std::vector<std::pair<int, int>>> contours;
};

std::vector<Glyph> Glyphs() {
    auto box = [](int x0, int y0, int x1, int y1) {
        return std::vector<std::pair<int, int>>{{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}};
    };
    return {
        {0, kTinyFontAdvance, {box(50, 0, 450, 700)}},                // the missing-glyph box
        {U' ', 250, {}},                                              // no outline
        {U'A', kTinyFontAdvance, {{{0, 0}, {300, 700}, {600, 0}}}},   // a triangle
        {U'g', 500, {box(50, -200, 450, 500)}},                       // below the baseline
        {0x0416, 800, {box(50, 0, 350, 700), box(450, 0, 750, 700)}}, // two bars
    };
}

std::string GlyphData(const Glyph& g) {
    Bytes b;
    if (g.contours.empty()) return {};
    int xMin = 32767, yMin = 32767, xMax = -32768, yMax = -32768;
    for (const auto& c : g.contours)
        for (auto [x, y] : c) {
            xMin = std::min(xMin, x), yMin = std::min(yMin, y);
            xMax = std::max(xMax, x), yMax = std::max(yMax, y);
        }
    b.S16(static_cast<int>(g.contours.size())).S16(xMin).S16(yMin).S16(xMax).S16(yMax);
    int last = -1;
    for (const auto& c : g.contours) b.U16(static_cast<uint32_t>(last += static_cast<int>(c.size())));
    b.U16(0); // no instructions
    for (const auto& c : g.contours)
        for (size_t i = 0; i < c.size(); ++i) b.U8(0x01); // on the curve, 16-bit deltas
    int px = 0, py = 0;
    for (const auto& c : g.contours)
        for (auto [x, y] : c) b.S16(x - px), px = x;
    for (const auto& c : g.contours)
        for (auto [x, y] : c) b.S16(y - py), py = y;
    std::string out = b.Str();
    if (out.size() % 2) out.push_back('\0'); // short offsets in "loca" count words
    return out;
}

} // namespace

std::string TinyTrueTypeFont() {
    const std::vector<Glyph> glyphs = Glyphs();
    const auto count = static_cast<uint32_t>(glyphs.size());
    std::map<std::string, std::string> tables;

    Bytes glyf, loca;
    int maxPoints = 0, maxContours = 0;
    for (const Glyph& g : glyphs) {
        loca.U16(static_cast<uint32_t>(glyf.Size() / 2));
        glyf.Raw(GlyphData(g));
        int points = 0;
        for (const auto& c : g.contours) points += static_cast<int>(c.size());
        maxPoints = std::max(maxPoints, points);
        maxContours = std::max(maxContours, static_cast<int>(g.contours.size()));
    }
    loca.U16(static_cast<uint32_t>(glyf.Size() / 2));
    tables["glyf"] = glyf.Str();
    tables["loca"] = loca.Str();

    tables["head"] = Bytes()
                         .U32(0x00010000)
                         .U32(0x00010000)
                         .U32(0) // checksum adjustment: not checked by readers
                         .U32(0x5F0F3CF5)
                         .U16(0x000B)
                         .U16(kTinyFontUnitsPerEm)
                         .U32(0)
                         .U32(0)
                         .U32(0)
                         .U32(0)
                         .S16(0)
                         .S16(-200)
                         .S16(800)
                         .S16(700)
                         .U16(0)
                         .U16(8)
                         .S16(2)
                         .S16(0) // short "loca" offsets
                         .S16(0)
                         .Str();
    tables["hhea"] = Bytes()
                         .U32(0x00010000)
                         .S16(kTinyFontAscender)
                         .S16(kTinyFontDescender)
                         .S16(0)
                         .U16(800)
                         .S16(0)
                         .S16(0)
                         .S16(800)
                         .S16(1)
                         .S16(0)
                         .S16(0)
                         .S16(0)
                         .S16(0)
                         .S16(0)
                         .S16(0)
                         .S16(0)
                         .U16(count)
                         .Str();
    Bytes maxp;
    maxp.U32(0x00010000)
        .U16(count)
        .U16(static_cast<uint32_t>(maxPoints))
        .U16(static_cast<uint32_t>(maxContours));
    maxp.U16(0).U16(0).U16(2);
    for (int i = 0; i < 8; ++i) maxp.U16(0);
    tables["maxp"] = maxp.Str();
    Bytes hmtx;
    // Each left side bearing is the glyph's left edge, as font tools write it.
    for (const Glyph& g : glyphs) {
        int xMin = 0;
        for (size_t c = 0; c < g.contours.size(); ++c)
            for (size_t i = 0; i < g.contours[c].size(); ++i)
                xMin = (c == 0 && i == 0) ? g.contours[c][i].first : std::min(xMin, g.contours[c][i].first);
        hmtx.U16(static_cast<uint32_t>(g.advance)).S16(xMin);
    }
    tables["hmtx"] = hmtx.Str();

    // Windows Unicode map, format 4: one segment a mapped character, then the end mark.
    std::vector<std::pair<uint32_t, uint32_t>> mapped; // code, glyph
    for (uint32_t i = 0; i < count; ++i)
        if (glyphs[i].code) mapped.push_back({glyphs[i].code, i});
    std::sort(mapped.begin(), mapped.end());
    const auto segs = static_cast<uint32_t>(mapped.size() + 1);
    uint32_t range = 1, selector = 0;
    while (range * 2 <= segs) range *= 2, ++selector;
    Bytes sub;
    sub.U16(4).U16(16 + segs * 8).U16(0).U16(segs * 2).U16(range * 2).U16(selector).U16(segs * 2 - range * 2);
    for (auto [code, glyph] : mapped) sub.U16(code);
    sub.U16(0xFFFF).U16(0);
    for (auto [code, glyph] : mapped) sub.U16(code);
    sub.U16(0xFFFF);
    for (auto [code, glyph] : mapped) sub.U16((glyph - code) & 0xFFFF);
    sub.U16(1);
    for (uint32_t i = 0; i < segs; ++i) sub.U16(0);
    tables["cmap"] = Bytes().U16(0).U16(1).U16(3).U16(1).U32(12).Raw(sub.Str()).Str();

    // One kerning pair: "A" before "g".
    tables["kern"] = Bytes()
                         .U16(0)
                         .U16(1)
                         .U16(0)
                         .U16(14 + 6)
                         .U16(0x0001)
                         .U16(1)
                         .U16(6)
                         .U16(0)
                         .U16(0)
                         .U16(2)
                         .U16(3)
                         .S16(kTinyFontKernAg)
                         .Str();

    const std::string family = "Tiny Seed";
    Bytes familyUtf16;
    for (char c : family) familyUtf16.U16(static_cast<uint8_t>(c));
    tables["name"] = Bytes()
                         .U16(0)
                         .U16(1)
                         .U16(6 + 12)
                         .U16(3)
                         .U16(1)
                         .U16(0x409)
                         .U16(1)
                         .U16(static_cast<uint32_t>(familyUtf16.Size()))
                         .U16(0)
                         .Raw(familyUtf16.Str())
                         .Str();
    Bytes post;
    post.U32(0x00030000).U32(0).S16(-100).S16(50);
    for (int i = 0; i < 5; ++i) post.U32(0);
    tables["post"] = post.Str();

    // The directory, its tables in tag order (the map's), each on four bytes.
    const auto n = static_cast<uint32_t>(tables.size());
    uint32_t tRange = 1, tSelector = 0;
    while (tRange * 2 <= n) tRange *= 2, ++tSelector;
    Bytes file;
    file.U32(0x00010000).U16(n).U16(tRange * 16).U16(tSelector).U16(n * 16 - tRange * 16);
    uint32_t offset = 12 + 16 * n;
    for (const auto& [tag, data] : tables) {
        Bytes padded;
        padded.Raw(data).PadTo4();
        uint32_t sum = 0;
        const std::string& p = padded.Str();
        for (size_t i = 0; i < p.size(); i += 4)
            sum += (static_cast<uint32_t>(static_cast<uint8_t>(p[i])) << 24) |
                   (static_cast<uint32_t>(static_cast<uint8_t>(p[i + 1])) << 16) |
                   (static_cast<uint32_t>(static_cast<uint8_t>(p[i + 2])) << 8) |
                   static_cast<uint32_t>(static_cast<uint8_t>(p[i + 3]));
        file.Tag(tag.c_str()).U32(sum).U32(offset).U32(static_cast<uint32_t>(data.size()));
        offset += static_cast<uint32_t>(p.size());
    }
    for (const auto& [tag, data] : tables) file.Raw(data).PadTo4();
    return file.Str();
}

} // namespace vesk::test
