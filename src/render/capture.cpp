#include "render/capture.h"

#include "platform/files.h"
#include "platform/gfx/d3dx.h"
#include "platform/system.h"
#include "render/capture_files.h"
#include "render/device.h"
#include "shared/errors.h"
#include "shared/helpers.h"

#include <cstring>
#include <limits>

namespace vesk {

using namespace platform;

namespace {
std::atomic<bool> g_captureExists{false};
} // namespace

CaptureClass::InstanceSlot::InstanceSlot() {
    if (g_captureExists.exchange(true)) {
        ErrorReport("Only one copy of CaptureClass may exists at time", "mhl");
        return;
    }
    owned = true;
}

CaptureClass::InstanceSlot::~InstanceSlot() {
    if (owned) g_captureExists = false;
}

CaptureClass::CaptureClass(Ref<IDirect3DTexture9> texture, uint32_t ownerValue, CaptureIniReader ini)
    : texture_(std::move(texture)), ini_(std::move(ini)), ownerValue_(ownerValue),
      // A fixed-step run names its screenshots alike each time it is run.
      random_(ClockFollowsFrames() ? 5489u : std::random_device{}()) {
    if (texture_) {
        Ref<IDirect3DSurface9> surface;
        if (Failed(texture_->GetSurfaceLevel(0, surface.Put())) || !surface)
            ErrorReport("_tex.GetSurfaceLevel(0,surf)", "mhl");
        else if (Failed(surface->GetDesc(&desc_)))
            ErrorReport("surf.GetDesc(SurfDesc)", "mhl");
    }
    // A key the settings leave out takes its default: capture needs no setup
    // for a screenshot. A value that is there must read.
    auto read = [this](const std::string& key, const std::string& fallback) {
        std::string v = ini_ ? ini_(key) : std::string();
        return v.empty() ? fallback : v;
    };
    fps_ = kws2i(read("capture_fps", kDefaultCaptureFps), "CaptureClass.Init: ini[\"capture_fps\"]");
    numDevices_ = kws2i(read("capture_num_devices", kDefaultCaptureDevices),
                        "CaptureClass.Init: ini[\"capture_num_devices\"]");
    for (int i = 0; i < kMaxDevices; ++i) {
        const std::string n = std::to_string(i);
        paths_[i] = read("capture_path_" + n, kDefaultCapturePath + n + "_");
    }
    // No frame rate: no frame is ever due after the first.
    frameInterval_ = fps_ > 0 ? 1000000.0f / float(fps_) : std::numeric_limits<float>::infinity();
    for (int i = 0; i < DevicesInUse(); ++i) {
        frameFiles_[i].assign(BmpFileSize(desc_.Width, desc_.Height), 0);
        WriteBmpHeader(frameFiles_[i].data(), desc_.Width, desc_.Height);
    }
}

CaptureClass::~CaptureClass() {
    StopTimer();
    for (auto& w : workers_)
        if (w.joinable()) w.join();
}

bool CaptureClass::CaptureOn() const {
    return !ini_ || ini_("capture_init") != "0";
}

int CaptureClass::DevicesInUse() const {
    return numDevices_ < 0 ? 0 : std::min(numDevices_, kMaxDevices);
}

void CaptureClass::StopTimer() {
    stop_ = true;
    if (timer_.joinable()) timer_.join();
}

void CaptureClass::Start() {
    if (capturing_ || !CaptureOn()) return;
    // The last session's timer and workers are done before its paths change.
    StopTimer();
    WaitForWorkers();
    const int64_t counter = PerfCounter();
    counterNow_ = counter;
    for (int i = 0; i < DevicesInUse(); ++i) {
        sessionPaths_[i] = paths_[i] + Int64ToStr(counter);
        CreateFolders(sessionPaths_[i]);
        sessionPaths_[i] += "/";
    }
    capturing_ = true;
    stop_ = false;
    skippedFrames_ = 0;
    counterAtStart_ = counter;
    // When the clock moves with the frames, the frames move the capture's
    // timer too (CopyFrame): a timer thread would catch other frames each run.
    framesMoveTimer_ = ClockFollowsFrames();
    if (!framesMoveTimer_) timer_ = std::thread(&CaptureClass::TimerLoop, this);
    FastLogAdd("CAPTURE: TIMER(BEGIN): " + Int64ToStr(counter));
}

void CaptureClass::Stop() {
    if (!capturing_ || !CaptureOn()) return;
    capturing_ = false;
    StopTimer();
    const int64_t now = counterNow_;
    const double seconds = double(now - counterAtStart_) / double(PerfFrequency());
    const uint32_t total = totalFrames_;
    const double fps = seconds > 0 ? double(total - framesAtLastStop_) / seconds : 0.0;
    FastLogAdd("CAPTURE: TIMER(END): " + Int64ToStr(now) + ", TotalFrames: " + std::to_string(total) +
               ", SkippedFramesNum: " + std::to_string(skippedFrames_.load()) +
               ", average fps: " + FloatToStrRaw(fps));
    framesAtLastStop_ = total;
}

void CaptureClass::TimerLoop() {
    float dt = 0;
    while (!stop_) {
        const int64_t now = PerfCounter();
        counterNow_ = now;
        FrameTick(dt);
        SleepMs(30);
        dt = float(double(PerfCounter() - now) * 1000000.0 / double(PerfFrequency()));
        AdvanceTimer(dt);
    }
}

void CaptureClass::AdvanceTimer(float dtUs) {
    if (dtUs != 0) timeToNextFrame_ -= dtUs;
}

void CaptureClass::FrameTick(float dtUs) {
    if (dtUs == 0 || timeToNextFrame_ > 0) return;
    timeToNextFrame_ += frameInterval_;
    if (numDevices_ < 1 || numDevices_ > kMaxDevices) return;
    for (int d = 0; d < numDevices_; ++d) {
        // Taking the device is one atomic step, so two workers never share a buffer.
        if (busy_[d].exchange(true)) continue;
        if (workers_[d].joinable()) workers_[d].join(); // the last one has finished
        workers_[d] = std::thread(&CaptureClass::Worker, this, d);
        return;
    }
    ++skippedFrames_;
}

void CaptureClass::WaitForWorkers() const {
    for (const auto& b : busy_)
        while (b) YieldThread();
}

void CaptureClass::Worker(int d) {
    try {
        bool have;
        {
            std::lock_guard lock(frameMutex_);
            have = frameValid_;
            if (have)
                ConvertBgraToBmpRows(frame_.data(), desc_.Width * 4, desc_.Width, desc_.Height,
                                     frameFiles_[d].data() + kBmpHeaderSize);
        }
        if (!have) {
            ++skippedFrames_;
        } else {
            // Each frame number is taken once, so two workers never write one file.
            const uint32_t number = totalFrames_.fetch_add(1);
            const auto& file = frameFiles_[d];
            WriteFile(CaptureFrameFileName(sessionPaths_[d], number),
                      std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
        }
    } catch (...) {
        faultDevice_ = d + 1;
    }
    busy_[d] = false;
}

void CaptureClass::CopyFrame() {
    CopyFrameData();
    if (!framesMoveTimer_ || !capturing_) return;
    const int64_t now = PerfCounter();
    const float dtUs = float(double(now - counterNow_) * 1000000.0 / double(PerfFrequency()));
    counterNow_ = now;
    AdvanceTimer(dtUs);
    FrameTick(dtUs);
    // The frame due is written before the next one is drawn.
    WaitForWorkers();
}

void CaptureClass::CopyFrameData() {
    if (const int fault = faultDevice_.exchange(0))
        ErrorReport("CAPTURE AV " + std::to_string(fault - 1), "mhl");
    if (!capturing_) return;
    if (!texture_) {
        ErrorReport("CaptureClass.CaptureFrame: tex=nil", "mhl");
        return;
    }
    std::lock_guard lock(frameMutex_);
    frameValid_ = false;
    // The conversion reads 4-byte pixels; a frame of another format is not captured.
    if (FormatBytesPerPixel(desc_.Format) != 4) return;
    D3DLOCKED_RECT locked;
    if (Failed(texture_->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) return;
    const size_t row = size_t(desc_.Width) * 4;
    if (locked.pBits && size_t(locked.Pitch) >= row) {
        frame_.resize(row * desc_.Height);
        for (uint32_t y = 0; y < desc_.Height; ++y)
            std::memcpy(frame_.data() + y * row,
                        static_cast<const uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch), row);
        frameValid_ = true;
    }
    if (Failed(texture_->UnlockRect(0))) ErrorReport("CaptureClass.CaptureFrame: surf.UnlockRect", "mhl");
}

bool CaptureClass::Screenshot() {
    try {
        CreateFolders("screenshots");
        Ref<IDirect3DSurface9> back;
        if (Device && Succeeded(Device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.Put())) && back) {
            std::uniform_int_distribution<int> pick(0, 999);
            const std::string name = ScreenshotFileName(Now(), pick(random_));
            D3DXSaveSurfaceToFileA(name.c_str(), D3DXIFF_BMP, back.Get(), nullptr, nullptr);
        }
    } catch (...) {
        ErrorReport("CAPTURE S AV", "mhl");
    }
    return CaptureOn();
}

} // namespace vesk
