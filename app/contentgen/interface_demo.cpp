// The demo menu's own pictures and its short video: a panel background, a
// title plate, three frames of screen noise and a one-second clip (the cursor
// and the other interface pictures are the interface group's).
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "assets.h"
#include "image.h"

namespace vesk::contentgen {
namespace {

void Put16(std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}

void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void Tag(std::string& s, const char* fourcc) {
    s.append(fourcc, 4);
}

// A deterministic pseudo-random byte stream.
struct Lcg {
    uint32_t state;
    uint8_t Next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<uint8_t>(state >> 24);
    }
};

// A deep blue gradient inside a light rim.
Image PanelBackground(uint32_t w, uint32_t h) {
    Image img(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const float t = static_cast<float>(y) / static_cast<float>(h - 1);
            const bool rim = x < 2 || y < 2 || x >= w - 2 || y >= h - 2;
            img.At(x, y) = rim ? Hex(0x5AA0DC) : Mix(Hex(0x0A1E46), Hex(0x1E4682), t);
        }
    return img;
}

// An orange plate with a darker diagonal hatch.
Image TitlePlate(uint32_t w, uint32_t h) {
    Image img(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) img.At(x, y) = (x + y) % 8 < 2 ? Hex(0xB45A14) : Hex(0xF08C1E);
    return img;
}

Image Noise(uint32_t w, uint32_t h, uint32_t seed) {
    Lcg rng{seed};
    Image img(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const float v = static_cast<float>(rng.Next()) / 255.0f;
            img.At(x, y) = {v, v, v, 1};
        }
    return img;
}

// A frame of the clip: a bright bar at column `bar` over a dark field.
Image ClipFrame(uint32_t w, uint32_t h, int bar) {
    Image img(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            img.At(x, y) = std::abs(static_cast<int>(x) - bar) < 3
                               ? Hex(0xFADC3C)
                               : Rgba{20 / 255.0f, 20 / 255.0f, static_cast<float>(40 + y) / 255.0f, 1};
    return img;
}

// 24-bit rows bottom first, each padded to four bytes, as a video frame holds them.
std::string BottomUpRows(const Image& img) {
    const std::vector<uint8_t> bgra = img.Bgra();
    const uint32_t w = img.Width(), h = img.Height();
    const uint32_t pad = (4 - (w * 3) % 4) % 4;
    std::string rows;
    for (uint32_t y = h; y-- > 0;) {
        for (uint32_t x = 0; x < w; ++x)
            rows.append(reinterpret_cast<const char*>(&bgra[(size_t(y) * w + x) * 4]), 3);
        rows.append(pad, '\0');
    }
    return rows;
}

void PutBitmapInfo(std::string& s, uint32_t w, uint32_t h, uint32_t imageBytes) {
    Put32(s, 40);
    Put32(s, w);
    Put32(s, h);
    Put16(s, 1);
    Put16(s, 24);
    Put32(s, 0);
    Put32(s, imageBytes);
    Put32(s, 2835);
    Put32(s, 2835);
    Put32(s, 0);
    Put32(s, 0);
}

// An uncompressed AVI of the frames, with its index.
std::string Avi(const std::vector<Image>& frames, int fps) {
    const uint32_t w = frames[0].Width(), h = frames[0].Height();
    const auto count = static_cast<uint32_t>(frames.size());
    const auto frameBytes = static_cast<uint32_t>(BottomUpRows(frames[0]).size());

    std::string strl;
    Tag(strl, "strh");
    Put32(strl, 56);
    Tag(strl, "vids");
    Tag(strl, "DIB ");
    for (uint32_t v : {0u, 0u, 0u, 1u, static_cast<uint32_t>(fps), 0u, count, frameBytes, 0xFFFFFFFFu, 0u})
        Put32(strl,
              v); // flags, priority, initial frames, scale, rate, start, length, buffer, quality, sample
    for (uint16_t v : {uint16_t(0), uint16_t(0), static_cast<uint16_t>(w), static_cast<uint16_t>(h)})
        Put16(strl, v);
    Tag(strl, "strf");
    Put32(strl, 40);
    PutBitmapInfo(strl, w, h, frameBytes);

    std::string hdrl;
    Tag(hdrl, "avih");
    Put32(hdrl, 56);
    for (uint32_t v : {static_cast<uint32_t>(1000000 / fps), frameBytes * static_cast<uint32_t>(fps), 0u,
                       0x10u /* indexed */, count, 0u, 1u /* streams */, frameBytes, w, h, 0u, 0u, 0u, 0u})
        Put32(hdrl, v);
    Tag(hdrl, "LIST");
    Put32(hdrl, static_cast<uint32_t>(4 + strl.size()));
    Tag(hdrl, "strl");
    hdrl += strl;

    std::string movi, index;
    uint32_t offset = 4;
    for (const Image& f : frames) {
        Tag(movi, "00db");
        Put32(movi, frameBytes);
        movi += BottomUpRows(f);
        Tag(index, "00db");
        Put32(index, 0x10); // key frame
        Put32(index, offset);
        Put32(index, frameBytes);
        offset += 8 + frameBytes;
    }

    std::string body;
    Tag(body, "AVI ");
    Tag(body, "LIST");
    Put32(body, static_cast<uint32_t>(4 + hdrl.size()));
    Tag(body, "hdrl");
    body += hdrl;
    Tag(body, "LIST");
    Put32(body, static_cast<uint32_t>(4 + movi.size()));
    Tag(body, "movi");
    body += movi;
    Tag(body, "idx1");
    Put32(body, static_cast<uint32_t>(index.size()));
    body += index;

    std::string file;
    Tag(file, "RIFF");
    Put32(file, static_cast<uint32_t>(body.size()));
    return file + body;
}

void WriteInterfaceDemo(const AssetSink& sink) {
    sink("TEXTURES/interface/menu_panel.bmp", EncodeBmp(PanelBackground(64, 64)));
    sink("TEXTURES/interface/menu_title.bmp", EncodeBmp(TitlePlate(128, 32)));
    for (uint32_t i = 1; i <= 3; ++i)
        sink("TEXTURES/interface/noise_" + std::to_string(i) + ".bmp", EncodeBmp(Noise(32, 32, 7u * i)));
    std::vector<Image> frames;
    for (int f = 0; f < 10; ++f) frames.push_back(ClipFrame(32, 24, f * 32 / 10));
    sink("data/video/menu_intro.avi", Avi(frames, 10));
}

} // namespace
} // namespace vesk::contentgen

VESK_ASSET_GROUP(interface_demo, vesk::contentgen::WriteInterfaceDemo);
