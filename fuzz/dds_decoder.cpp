// DDS file images: the decoder, the level converters and a texture made from
// the file on the recording null device.
#include "fuzz_support.h"
#include "platform/image_codecs.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vesk::platform;
    static Ref<IDirect3DDevice9> device = fuzz::QuietNullDevice();
    DecodedImage img;
    if (DecodeDds(data, size, img)) {
        size_t total = 0;
        for (const auto& level : img.levels) total += level.size();
        // Small pictures also go through the converters and onto the device.
        if (uint64_t(img.width) * img.height <= 256 * 256) {
            total +=
                LevelToBgra(img.format, img.levels[0].data(), img.levels[0].size(), img.width, img.height)
                    .size();
            Ref<IDirect3DTexture9> tex;
            if (device &&
                D3DXCreateTextureFromFileInMemoryEx(device.Get(), data, size, 0, 0, 0, 0, D3DFMT_DXT5,
                                                    D3DPOOL_MANAGED, 0, nullptr, tex.Put()) == D3D_OK)
                total += tex->GetLevelCount();
        }
        fuzz::g_sink = total;
    }
    return 0;
}
