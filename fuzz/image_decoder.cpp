// BMP, TGA and JPG pictures through the picture decoder and the resampler.
#include "platform/image_codecs.h"

#include <cstddef>
#include <cstdint>

namespace {
volatile size_t g_sink;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vesk::platform;
    // Pictures may be up to 16384 texels a side; the fuzzer keeps to the small ones.
    D3DXIMAGE_INFO info;
    if (!ReadImageInfo(data, size, info) || uint64_t(info.Width) * info.Height > 1024 * 1024) return 0;
    DecodedImage img;
    if (!DecodePicture(data, size, img)) return 0;
    size_t total = img.levels[0].size();
    if (uint64_t(img.width) * img.height <= 512 * 512) {
        total +=
            ResizeBgra(img.levels[0].data(), img.width, img.height, img.width / 2 + 1, img.height + 3).size();
        total += BgraToLevel(D3DFMT_DXT1, img.levels[0].data(), img.width, img.height).size();
    }
    g_sink = total;
    return 0;
}
