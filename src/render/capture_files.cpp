#include "render/capture_files.h"

#include <cstdio>
#include <cstring>

namespace vesk {

namespace {
void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
} // namespace

void WriteBmpHeader(uint8_t* out, uint32_t width, uint32_t height) {
    std::memset(out, 0, kBmpHeaderSize);
    // File header. The size field carries the real length so that strict
    // readers accept the file.
    out[0] = 'B';
    out[1] = 'M';
    Put32(out + 2, static_cast<uint32_t>(BmpFileSize(width, height)));
    Put32(out + 10, kBmpHeaderSize);
    // Info header.
    Put32(out + 14, 40);
    Put32(out + 18, width);
    Put32(out + 22, height);
    Put16(out + 26, 1);
    Put16(out + 28, 24);
}

void ConvertBgraToBmpRows(const uint8_t* src, uint32_t pitch, uint32_t width, uint32_t height, uint8_t* out) {
    const uint32_t stride = BmpRowStride(width);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* s = src + static_cast<size_t>(height - 1 - y) * pitch;
        uint8_t* d = out + static_cast<size_t>(y) * stride;
        for (uint32_t x = 0; x < width; ++x, s += 4, d += 3) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
        for (uint32_t pad = width * 3; pad < stride; ++pad) *d++ = 0;
    }
}

std::string CaptureFrameFileName(const std::string& sessionPath, uint32_t frame) {
    char num[16];
    std::snprintf(num, sizeof num, "%06u", frame);
    return sessionPath + num + ".bmp";
}

std::string ScreenshotFileName(const platform::LocalDateTime& t, int random) {
    char text[64];
    std::snprintf(text, sizeof text, "%d-%02d-%02d_%02d-%02d-%02d-%03d_%d", t.day, t.month, t.year % 100,
                  t.hour, t.minute, t.second, t.millisecond, random);
    return std::string("screenshots\\Vesk_Annals_") + text + ".bmp";
}

} // namespace vesk
