#pragma once
// Frame capture and screenshots. While capture runs, a timer thread decides
// when a frame is due and hands it to a worker thread of one of up to three
// capture devices (output folders), which writes it as a numbered 24-bit BMP.
// Workers never touch the graphics device: the render thread copies each
// presented frame out of the capture texture into memory, under a lock, and
// the workers convert and write from that copy.
#include "platform/gfx/device.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace vesk {

// Reads a key of the game's `ini` table as text ("" when absent).
using CaptureIniReader = std::function<std::string(const std::string& key)>;

// What a capture setting that is absent stands for: 25 frames a second into
// one folder "capture/dev0_<counter>" beside the program.
inline const std::string kDefaultCaptureFps = "25";
inline const std::string kDefaultCaptureDevices = "1";
inline const std::string kDefaultCapturePath = "capture/dev";

class CaptureClass {
public:
    static constexpr int kMaxDevices = 3;

    // At most one capture object exists at a time. The texture is the one the
    // engine copies each presented frame into.
    CaptureClass(platform::Ref<platform::IDirect3DTexture9> texture, uint32_t ownerValue,
                 CaptureIniReader ini);
    ~CaptureClass();
    CaptureClass(const CaptureClass&) = delete;
    CaptureClass& operator=(const CaptureClass&) = delete;

    // A new session: one new folder per device, named after the counter. Both
    // do nothing while "capture_init" is "0".
    void Start();
    void Stop();
    // Render thread, after the frame went into the capture texture: the copy
    // the workers read.
    void CopyFrame();
    // Saves the back buffer under "screenshots". False when the engine should
    // stop copying frames into the capture texture again ("capture_init" "0").
    bool Screenshot();

    // One step of the timer thread: a frame is due when the time to the next
    // frame has run out; it goes to the first device that is not busy.
    void FrameTick(float dtUs);
    // Counts down the time to the next frame.
    void AdvanceTimer(float dtUs);
    // Waits until no worker is writing.
    void WaitForWorkers() const;

    const std::string Version = "capture v1.0";
    bool Capturing() const { return capturing_; }
    uint32_t TotalFrames() const { return totalFrames_; }
    uint32_t SkippedFrames() const { return skippedFrames_; }
    float FrameInterval() const { return frameInterval_; }
    int NumDevices() const { return numDevices_; }
    const std::string& SessionPath(int device) const { return sessionPaths_.at(device); }
    uint32_t OwnerValue() const { return ownerValue_; }

private:
    friend struct CaptureTestAccess;
    // Claims the single-instance slot for the object's lifetime.
    struct InstanceSlot {
        InstanceSlot();
        ~InstanceSlot();
        bool owned = false;
    };

    bool CaptureOn() const;
    int DevicesInUse() const;
    void CopyFrameData();
    void TimerLoop();
    void Worker(int device);
    void StopTimer();

    InstanceSlot slot_;
    platform::Ref<platform::IDirect3DTexture9> texture_;
    platform::D3DSURFACE_DESC desc_;
    CaptureIniReader ini_;
    uint32_t ownerValue_;
    int fps_ = 0;
    int numDevices_ = 0;
    std::array<std::string, kMaxDevices> paths_;
    std::array<std::string, kMaxDevices> sessionPaths_;

    std::atomic<bool> capturing_{false};
    bool framesMoveTimer_ = false; // fixed-step runs: no timer thread, CopyFrame ticks
    std::atomic<bool> stop_{true};
    std::atomic<int64_t> counterNow_{0};
    int64_t counterAtStart_ = 0;
    std::atomic<uint32_t> skippedFrames_{0};
    std::atomic<uint32_t> totalFrames_{0};
    uint32_t framesAtLastStop_ = 0;
    float timeToNextFrame_ = 0;
    float frameInterval_ = 0;

    // Each device's BMP file image (header, then rows); one worker at a time.
    std::array<std::vector<uint8_t>, kMaxDevices> frameFiles_;
    std::array<std::atomic<bool>, kMaxDevices> busy_{};
    std::array<std::thread, kMaxDevices> workers_;
    std::thread timer_;
    // A worker's fault, reported on the render thread (device + 1, 0 = none).
    std::atomic<int> faultDevice_{0};

    // The latest presented frame: rows of 4-byte pixels, top row first.
    std::mutex frameMutex_;
    std::vector<uint8_t> frame_;
    bool frameValid_ = false;

    std::mt19937 random_;
};

} // namespace vesk
