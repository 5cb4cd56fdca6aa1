// The demo menu's pictures and its short video: a panel background, a title
// plate, three frames of screen noise and a one-second clip, all made from
// code (24-bit pictures and an uncompressed video).
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "assets.h"

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

struct Rgb {
    uint8_t r, g, b;
};

using Picture = std::vector<Rgb>; // rows top first

// Rows of 24-bit pixels bottom first, each padded to four bytes.
std::string BmpRows(const Picture& p, int w, int h) {
    std::string rows;
    const int pad = (4 - (w * 3) % 4) % 4;
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const Rgb& c = p[static_cast<size_t>(y * w + x)];
            rows += static_cast<char>(c.b);
            rows += static_cast<char>(c.g);
            rows += static_cast<char>(c.r);
        }
        rows.append(static_cast<size_t>(pad), '\0');
    }
    return rows;
}

void PutBitmapInfo(std::string& s, int w, int h) {
    Put32(s, 40);
    Put32(s, static_cast<uint32_t>(w));
    Put32(s, static_cast<uint32_t>(h));
    Put16(s, 1);
    Put16(s, 24);
    Put32(s, 0);
    Put32(s, static_cast<uint32_t>(BmpRows(Picture(static_cast<size_t>(w * h)), w, h).size()));
    Put32(s, 2835);
    Put32(s, 2835);
    Put32(s, 0);
    Put32(s, 0);
}

std::string Bmp(const Picture& p, int w, int h) {
    const std::string rows = BmpRows(p, w, h);
    std::string s = "BM";
    Put32(s, static_cast<uint32_t>(54 + rows.size()));
    Put32(s, 0);
    Put32(s, 54);
    PutBitmapInfo(s, w, h);
    return s + rows;
}

// A deterministic pseudo-random byte stream.
struct Lcg {
    uint32_t state;
    uint8_t Next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<uint8_t>(state >> 24);
    }
};

Picture PanelBackground(int w, int h) {
    Picture p;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double t = static_cast<double>(y) / (h - 1);
            const bool rim = x < 2 || y < 2 || x >= w - 2 || y >= h - 2;
            p.push_back(rim ? Rgb{90, 160, 220}
                            : Rgb{static_cast<uint8_t>(10 + 20 * t), static_cast<uint8_t>(30 + 40 * t),
                                  static_cast<uint8_t>(70 + 60 * t)});
        }
    return p;
}

// An orange plate with a darker diagonal hatch.
Picture TitlePlate(int w, int h) {
    Picture p;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.push_back((x + y) % 8 < 2 ? Rgb{180, 90, 20} : Rgb{240, 140, 30});
    return p;
}

Picture Noise(int w, int h, uint32_t seed) {
    Lcg rng{seed};
    Picture p;
    for (int i = 0; i < w * h; ++i) {
        const uint8_t v = rng.Next();
        p.push_back({v, v, v});
    }
    return p;
}

// An uncompressed video: frames of a bar sweeping across a dark field.
std::string Avi(int w, int h, int frames, int fps) {
    const std::string frameRows = BmpRows(Picture(static_cast<size_t>(w * h)), w, h);
    const auto frameBytes = static_cast<uint32_t>(frameRows.size());

    std::string strl;
    Tag(strl, "strh");
    Put32(strl, 56);
    Tag(strl, "vids");
    Tag(strl, "DIB ");
    Put32(strl, 0); // flags
    Put32(strl, 0); // priority, language
    Put32(strl, 0); // initial frames
    Put32(strl, 1); // scale
    Put32(strl, static_cast<uint32_t>(fps));
    Put32(strl, 0); // start
    Put32(strl, static_cast<uint32_t>(frames));
    Put32(strl, frameBytes);
    Put32(strl, 0xFFFFFFFFu); // quality
    Put32(strl, 0);           // sample size
    Put16(strl, 0);
    Put16(strl, 0);
    Put16(strl, static_cast<uint16_t>(w));
    Put16(strl, static_cast<uint16_t>(h));
    Tag(strl, "strf");
    Put32(strl, 40);
    PutBitmapInfo(strl, w, h);

    std::string hdrl;
    Tag(hdrl, "avih");
    Put32(hdrl, 56);
    Put32(hdrl, static_cast<uint32_t>(1000000 / fps));
    Put32(hdrl, frameBytes * static_cast<uint32_t>(fps));
    Put32(hdrl, 0);
    Put32(hdrl, 0x10); // has an index
    Put32(hdrl, static_cast<uint32_t>(frames));
    Put32(hdrl, 0);
    Put32(hdrl, 1); // streams
    Put32(hdrl, frameBytes);
    Put32(hdrl, static_cast<uint32_t>(w));
    Put32(hdrl, static_cast<uint32_t>(h));
    for (int i = 0; i < 4; ++i) Put32(hdrl, 0);
    Tag(hdrl, "LIST");
    Put32(hdrl, static_cast<uint32_t>(4 + strl.size()));
    Tag(hdrl, "strl");
    hdrl += strl;

    std::string movi, index;
    uint32_t offset = 4;
    for (int f = 0; f < frames; ++f) {
        Picture p;
        const int bar = f * w / frames;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                p.push_back(std::abs(x - bar) < 3 ? Rgb{250, 220, 60}
                                                  : Rgb{20, 20, static_cast<uint8_t>(40 + y)});
        Tag(movi, "00db");
        Put32(movi, frameBytes);
        movi += BmpRows(p, w, h);
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

// A light arrow on a dark outline, pointing up and left.
Picture Cursor(int size) {
    Picture p;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const bool inside = x <= y && x + y / 2 < size;
            const bool edge = inside && (x == 0 || x == y || x + y / 2 == size - 1);
            p.push_back(edge ? Rgb{20, 30, 40} : inside ? Rgb{230, 240, 255} : Rgb{0, 0, 0});
        }
    return p;
}

void WriteInterfaceDemo(const vesk::contentgen::AssetSink& sink) {
    sink("Textures/interface/cursor.bmp", Bmp(Cursor(16), 16, 16));
    sink("Textures/interface/menu_back.bmp", Bmp(PanelBackground(64, 64), 64, 64));
    sink("Textures/interface/menu_title.bmp", Bmp(TitlePlate(128, 32), 128, 32));
    for (uint32_t i = 1; i <= 3; ++i)
        sink("Textures/interface/noise_" + std::to_string(i) + ".bmp", Bmp(Noise(32, 32, 7u * i), 32, 32));
    sink("data/video/menu_intro.avi", Avi(32, 24, 10, 10));
}

} // namespace

VESK_ASSET_GROUP(interface_demo, WriteInterfaceDemo);
