#pragma once
// A screenshot of the game read back from its file, asked for at points of
// the interface's 1024 x 768 screen whatever size the window had.
#include "platform/files.h"
#include "platform/image_codecs.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace vesk::test {

struct Rgb {
    int r, g, b;
};

class ScreenPicture {
public:
    explicit ScreenPicture(const std::string& file) {
        std::string bytes;
        if (platform::ReadFile(file, bytes))
            platform::DecodePicture(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), image_);
    }
    bool Valid() const { return image_.width > 0 && image_.height > 0 && !image_.levels.empty(); }
    int Width() const { return static_cast<int>(image_.width); }
    int Height() const { return static_cast<int>(image_.height); }
    // A pixel at a point of the interface's screen.
    Rgb At(int vx, int vy) const {
        const size_t x = size_t(vx) * image_.width / 1024, y = size_t(vy) * image_.height / 768;
        const size_t i = (y * image_.width + x) * 4;
        const auto& p = image_.levels[0];
        return {p[i + 2], p[i + 1], p[i]};
    }
    // How many points of a rectangle of the interface's screen (every second
    // one each way) pass the test.
    template <class F> int Count(int l, int t, int r, int b, F test) const {
        int n = 0;
        for (int y = t; y < b; y += 2)
            for (int x = l; x < r; x += 2)
                if (test(At(x, y))) ++n;
        return n;
    }
    Rgb Mean(int l, int t, int r, int b) const {
        long sr = 0, sg = 0, sb = 0, n = 0;
        for (int y = t; y < b; y += 2)
            for (int x = l; x < r; x += 2, ++n) {
                const Rgb p = At(x, y);
                sr += p.r, sg += p.g, sb += p.b;
            }
        return {int(sr / n), int(sg / n), int(sb / n)};
    }

private:
    platform::DecodedImage image_;
};

} // namespace vesk::test
