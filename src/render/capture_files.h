#pragma once
// The files frame capture and screenshots write: 24-bit bottom-up BMP frames
// and the names of frame and screenshot files.
#include "platform/system.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vesk {

inline constexpr uint32_t kBmpHeaderSize = 14 + 40;

// Bytes of one 24-bit pixel row in a BMP file: rows are padded to 4 bytes.
inline uint32_t BmpRowStride(uint32_t width) {
    return (width * 3u + 3u) & ~3u;
}
// Header plus padded rows.
inline size_t BmpFileSize(uint32_t width, uint32_t height) {
    return kBmpHeaderSize + static_cast<size_t>(BmpRowStride(width)) * height;
}

// Writes the 54-byte file and info header of a 24-bit uncompressed image
// (positive height: rows bottom-up) at the start of out, which must hold
// kBmpHeaderSize bytes.
void WriteBmpHeader(uint8_t* out, uint32_t width, uint32_t height);

// Converts a 32-bit image (blue, green, red, alpha bytes; rows top-down,
// pitch bytes apart) into the padded bottom-up pixel rows that follow the
// header. out must hold BmpRowStride(width) * height bytes.
void ConvertBgraToBmpRows(const uint8_t* src, uint32_t pitch, uint32_t width, uint32_t height, uint8_t* out);

// Session path + the frame number with at least six digits + ".bmp".
std::string CaptureFrameFileName(const std::string& sessionPath, uint32_t frame);

// "screenshots\Vesk_Annals_" + "d-mm-yy_hh-mm-ss-zzz" + "_" + random + ".bmp".
std::string ScreenshotFileName(const platform::LocalDateTime& t, int random);

} // namespace vesk
