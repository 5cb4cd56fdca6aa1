// Decoding cost per frame of a small video into BGRA (the video renderer's per-frame work).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/video.h"

namespace {

std::string MakeClip(const std::string& codec) {
    const uint32_t w = 320, h = 240;
    std::vector<std::vector<uint8_t>> frames;
    for (int f = 0; f < 30; ++f) {
        std::vector<uint8_t> px(size_t(w) * h * 4);
        for (uint32_t i = 0; i < w * h; ++i) {
            px[i * 4] = uint8_t(i + f * 8);
            px[i * 4 + 1] = uint8_t((i / w) * 2);
            px[i * 4 + 2] = uint8_t(f * 8);
            px[i * 4 + 3] = 255;
        }
        frames.push_back(std::move(px));
    }
    const std::string path = "/tmp/vesk_bench_" + codec + ".avi";
    vesk::platform::WriteVideoFile(path, codec, w, h, 30, frames);
    return path;
}

void DecodeFrame(benchmark::State& state, const char* codec) {
    const std::string path = MakeClip(codec);
    auto video = vesk::platform::CreateVideoDecoder();
    if (!video->Open(path, nullptr)) {
        state.SkipWithError("cannot open the clip");
        return;
    }
    std::vector<uint8_t> px;
    for (auto _ : state) {
        if (!video->NextFrame(px, nullptr)) {
            video->SeekToStart();
            video->NextFrame(px, nullptr);
        }
        benchmark::DoNotOptimize(px.data());
    }
    std::remove(path.c_str());
}

} // namespace

BENCHMARK_CAPTURE(DecodeFrame, rawvideo_320x240, "rawvideo");
BENCHMARK_CAPTURE(DecodeFrame, mjpeg_320x240, "mjpeg");
