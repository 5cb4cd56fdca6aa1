#pragma once
// What the harnesses share: reports that never end the process (a fatal one
// ends the run of one input instead), logs kept out of the way in a folder
// of the run's own, and a reader taking numbers and texts from the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "platform/gfx/null_device.h"
#include "platform/system.h"
#include "shared/errors.h"

namespace fuzz {

inline volatile std::size_t g_sink = 0;

// Thrown by the halt of a fatal report: the run of this input ends there.
struct HaltedRun {};

// A folder of this process, removed at exit.
inline const std::string& RunFolder() {
    // Never destroyed: the removal at exit still needs the name.
    static const std::string* folder = [] {
        std::string tmpl = (std::filesystem::temp_directory_path() / "vesk_fuzz_XXXXXX").string();
        const char* made = mkdtemp(tmpl.data());
        auto* f = new std::string(made ? made : "/tmp");
        std::atexit([] {
            std::error_code ec;
            if (RunFolder() != "/tmp") std::filesystem::remove_all(RunFolder(), ec);
        });
        return f;
    }();
    return *folder;
}

inline void QuietReports() {
    static const bool done = [] {
        vesk::SetLogFolder(RunFolder() + "/logs");
        vesk::platform::SetMessageBoxHandler(
            [](const std::string& text, const std::string&) { g_sink = g_sink + text.size(); });
        vesk::GetErrorHooks().halt = [] { throw HaltedRun{}; };
        return true;
    }();
    (void)done;
    vesk::PendingErrorTexts.clear();
}

// A windowed null device whose calls are not recorded: the recording device
// would keep every call of every input, growing for as long as the fuzzer runs.
inline vesk::platform::Ref<vesk::platform::IDirect3DDevice9> QuietNullDevice() {
    using namespace vesk::platform;
    auto d3d = CreateNullDirect3D();
    D3DPRESENT_PARAMETERS pp;
    pp.Windowed = 1;
    Ref<IDirect3DDevice9> dev;
    d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, dev.Put());
    if (auto* base = dynamic_cast<DeviceBase*>(dev.Get())) base->SetRecording(false);
    return dev;
}

// Takes values from the front of the input; past its end, zeros and empty texts.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    bool Empty() const { return p_ >= end_; }
    uint8_t U8() { return p_ < end_ ? *p_++ : 0; }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(U8()) << (8 * i);
        return v;
    }
    float F32() {
        const uint32_t u = U32();
        float f;
        std::memcpy(&f, &u, 4);
        return f;
    }
    // A text of up to `max` bytes: its length first.
    std::string Text(size_t max = 64) {
        const size_t n = std::min<size_t>(U8() % (max + 1), size_t(end_ - p_));
        std::string s(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return s;
    }
    // What is left.
    std::string Rest() {
        std::string s(reinterpret_cast<const char*>(p_), size_t(end_ - p_));
        p_ = end_;
        return s;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

} // namespace fuzz
