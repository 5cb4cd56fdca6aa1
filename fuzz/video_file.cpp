// Video files as the video textures open them: the file is probed and opened
// by the installed decoder, its first frames decoded, and it is rewound.
#include "fuzz_support.h"
#include "platform/files.h"
#include "platform/video.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::QuietReports();
    const std::string file = fuzz::RunFolder() + "/clip.avi";
    if (!vesk::platform::WriteFile(file, std::string(reinterpret_cast<const char*>(data), size))) return 0;
    auto decoder = vesk::platform::CreateVideoDecoder();
    std::string error;
    if (!decoder || !decoder->Open(file, &error)) {
        fuzz::g_sink = fuzz::g_sink + error.size();
        return 0;
    }
    // Pictures of any size may be claimed; a few frames are enough.
    std::vector<uint8_t> bgra;
    double time = 0;
    size_t total = decoder->Width() + decoder->Height();
    for (int i = 0; i < 4 && decoder->NextFrame(bgra, &time); ++i) total += bgra.size();
    if (decoder->SeekToStart() && decoder->NextFrame(bgra, &time)) total += bgra.size();
    fuzz::g_sink = total + size_t(decoder->Duration() + decoder->FrameRate());
    return 0;
}
