#include "platform/video.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/error_trap.h"

namespace vesk::platform {
namespace {

std::vector<uint8_t> Solid(uint32_t w, uint32_t h, uint8_t b, uint8_t g, uint8_t r) {
    std::vector<uint8_t> px(size_t(w) * h * 4);
    for (size_t i = 0; i < px.size(); i += 4) {
        px[i] = b;
        px[i + 1] = g;
        px[i + 2] = r;
        px[i + 3] = 255;
    }
    return px;
}

struct Colour {
    uint8_t b, g, r;
};

class VideoFileTest : public ::testing::TestWithParam<const char*> {};

// Frames of known colours come back in order, with their times, and play
// again after a seek; pictures whose rows are narrower than the scaler's
// blocks (8x6, 12x4) come back whole, their last row and column included.
TEST_P(VideoFileTest, DecodesKnownColoursAndLoops) {
    const struct { uint32_t w, h; } sizes[] = {{32, 16}, {8, 6}, {12, 4}};
    for (const auto& size : sizes) {
        const uint32_t w = size.w, h = size.h;
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        test::TempDir dir;
        const std::string path = dir.path() + "/clip.avi";
        const Colour colours[3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}};
        std::vector<std::vector<uint8_t>> frames;
        for (const auto& c : colours) frames.push_back(Solid(w, h, c.b, c.g, c.r));
        ASSERT_TRUE(WriteVideoFile(path, GetParam(), w, h, 5, frames));

        auto video = CreateVideoDecoder();
        std::string error;
        ASSERT_TRUE(video->Open(path, &error)) << error;
        EXPECT_EQ(video->Width(), w);
        EXPECT_EQ(video->Height(), h);
        EXPECT_NEAR(video->FrameRate(), 5.0, 0.01);
        EXPECT_NEAR(video->Duration(), 0.6, 0.21);
        for (int round = 0; round < 2; ++round) {
            std::vector<uint8_t> px;
            for (int i = 0; i < 3; ++i) {
                double t = -1;
                ASSERT_TRUE(video->NextFrame(px, &t)) << "round " << round << " frame " << i;
                ASSERT_EQ(px.size(), size_t(w) * h * 4);
                EXPECT_NEAR(t, i * 0.2, 0.001);
                for (const size_t at : {size_t(h / 2 * w + w / 2) * 4, px.size() - 4}) {
                    EXPECT_NEAR(px[at], colours[i].b, 12);
                    EXPECT_NEAR(px[at + 1], colours[i].g, 12);
                    EXPECT_NEAR(px[at + 2], colours[i].r, 12);
                    EXPECT_EQ(px[at + 3], 255);
                }
            }
            EXPECT_FALSE(video->NextFrame(px, nullptr));
            ASSERT_TRUE(video->SeekToStart());
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Codecs, VideoFileTest, ::testing::Values("rawvideo", "mjpeg"));

TEST(Video, MissingOrBrokenFilesDoNotOpen) {
    test::TempDir dir;
    ASSERT_TRUE(WriteFile(dir.path() + "/junk.avi", std::string("RIFF\x10\0\0\0AVI junk", 16)));
    for (const char* name : {"/absent.avi", "/junk.avi"}) {
        auto video = CreateVideoDecoder();
        std::string error;
        EXPECT_FALSE(video->Open(dir.path() + name, &error)) << name;
        EXPECT_FALSE(error.empty());
        std::vector<uint8_t> px;
        EXPECT_FALSE(video->NextFrame(px, nullptr));
        EXPECT_FALSE(video->SeekToStart());
        EXPECT_EQ(video->Width(), 0u);
    }
}

TEST(Video, NullBackendPlaysOneColourAndIsInstalledByFactory) {
    NullVideoConfig config;
    config.width = 4;
    config.height = 2;
    config.frames = 2;
    config.frameRate = 4;
    config.colour = 0xFF102030;
    config.openAnyName = true;
    SetVideoDecoderFactory([config] { return CreateNullVideoDecoder(config); });
    auto video = CreateVideoDecoder();
    SetVideoDecoderFactory(nullptr);
    ASSERT_TRUE(video->Open("anything.avi", nullptr));
    EXPECT_DOUBLE_EQ(video->Duration(), 0.5);
    std::vector<uint8_t> px;
    double t = 0;
    ASSERT_TRUE(video->NextFrame(px, &t));
    EXPECT_EQ(px, std::vector<uint8_t>({0x30, 0x20, 0x10, 0xFF, 0x30, 0x20, 0x10, 0xFF, 0x30, 0x20, 0x10,
                                        0xFF, 0x30, 0x20, 0x10, 0xFF, 0x30, 0x20, 0x10, 0xFF, 0x30, 0x20,
                                        0x10, 0xFF, 0x30, 0x20, 0x10, 0xFF, 0x30, 0x20, 0x10, 0xFF}));
    ASSERT_TRUE(video->NextFrame(px, &t));
    EXPECT_DOUBLE_EQ(t, 0.25);
    EXPECT_FALSE(video->NextFrame(px, &t));

    auto strict = CreateNullVideoDecoder();
    EXPECT_FALSE(strict->Open("/no/such/file.avi", nullptr));
}

} // namespace
} // namespace vesk::platform
