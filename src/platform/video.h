#pragma once
// Video files decoded frame by frame into BGRA pictures. The default backend
// reads ".avi", ".wmv", ".ogg" and whatever else the installed codecs know;
// tests and headless runs install the null backend, which plays a picture of
// one colour for a fixed time.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vesk::platform {

class IVideoDecoder {
public:
    virtual ~IVideoDecoder() = default;
    // Opens a file through the path layer; false (with the reason) when it cannot be played.
    virtual bool Open(const std::string& path, std::string* error) = 0;
    virtual uint32_t Width() const = 0;
    virtual uint32_t Height() const = 0;
    // Length in seconds (0 when unknown) and frames per second (0 when unknown).
    virtual double Duration() const = 0;
    virtual double FrameRate() const = 0;
    // The next frame as top-down rows of B, G, R, A bytes (width * 4 apart) and
    // its time in seconds. False at the end of the video or on a decoding fault.
    virtual bool NextFrame(std::vector<uint8_t>& bgra, double* time) = 0;
    // Back to the first frame.
    virtual bool SeekToStart() = 0;
};

// What the null backend plays.
struct NullVideoConfig {
    uint32_t width = 16;
    uint32_t height = 16;
    uint32_t frames = 10;
    double frameRate = 10.0;
    uint32_t colour = 0xFF000000; // A8R8G8B8
    // When false, Open fails for files that do not exist; when true every name opens.
    bool openAnyName = false;
};
std::unique_ptr<IVideoDecoder> CreateNullVideoDecoder(const NullVideoConfig& config = {});

using VideoDecoderFactory = std::function<std::unique_ptr<IVideoDecoder>()>;
// A decoder of the installed backend.
std::unique_ptr<IVideoDecoder> CreateVideoDecoder();
// nullptr restores the default backend.
void SetVideoDecoderFactory(VideoDecoderFactory factory);

// Writes a short video file (AVI with "rawvideo" or "mjpeg" frames) from BGRA
// pictures of one size; for tools and test fixtures. False on any fault.
bool WriteVideoFile(const std::string& path, const std::string& codec, uint32_t width, uint32_t height,
                    int frameRate, const std::vector<std::vector<uint8_t>>& framesBgra);

} // namespace vesk::platform
