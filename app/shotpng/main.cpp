// shotpng: turns a screenshot of the game (a BMP from "screenshots") into a
// PNG small enough to keep beside the sources, shrunk to the width asked for.
//   shotpng IN.bmp OUT.png [WIDTH]
#include "platform/files.h"
#include "platform/image_codecs.h"

#include <stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace vesk;
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: shotpng IN.bmp OUT.png [WIDTH]\n");
        return 2;
    }
    std::string bytes;
    if (!platform::ReadFile(argv[1], bytes)) {
        std::fprintf(stderr, "shotpng: can not read %s\n", argv[1]);
        return 1;
    }
    platform::DecodedImage image;
    std::string error;
    if (!platform::DecodePicture(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), image,
                                 &error) ||
        image.levels.empty()) {
        std::fprintf(stderr, "shotpng: %s is no picture: %s\n", argv[1], error.c_str());
        return 1;
    }
    uint32_t width = image.width, height = image.height;
    std::vector<uint8_t> bgra = image.levels[0];
    if (argc == 4) {
        const long asked = std::strtol(argv[3], nullptr, 10);
        if (asked > 0 && static_cast<uint32_t>(asked) < width) {
            const auto w = static_cast<uint32_t>(asked);
            const auto h = static_cast<uint32_t>(uint64_t(height) * w / width);
            bgra = platform::ResizeBgra(bgra.data(), width, height, w, h > 0 ? h : 1);
            width = w;
            height = h > 0 ? h : 1;
        }
    }
    // PNG wants red first and no alpha: the screenshot is opaque.
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (size_t i = 0; i < size_t(width) * height; ++i) {
        rgb[i * 3] = bgra[i * 4 + 2];
        rgb[i * 3 + 1] = bgra[i * 4 + 1];
        rgb[i * 3 + 2] = bgra[i * 4];
    }
    std::string png;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                                       static_cast<size_t>(size));
        },
        &png, static_cast<int>(width), static_cast<int>(height), 3, rgb.data(), static_cast<int>(width) * 3);
    if (png.empty() || !platform::WriteFile(argv[2], png)) {
        std::fprintf(stderr, "shotpng: can not write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s: %ux%u, %zu bytes\n", argv[2], width, height, png.size());
    return 0;
}
