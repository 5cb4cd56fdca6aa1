#pragma once
// Runs the render engine's device on the recording null backend for one test.
#include "platform/gfx/null_device.h"
#include "render/device.h"
#include "shared/errors.h"

namespace vesk::test {

class NullDeviceScope {
public:
    explicit NullDeviceScope(platform::NullGfxConfig config = {}) : config(std::move(config)) {
        platform::SetDirect3DFactory([this](uint32_t sdk) -> platform::IDirect3D9* {
            sdkVersion = sdk;
            if (failFactory) return nullptr;
            auto d3d = platform::CreateNullDirect3D(this->config);
            factory = d3d.Get();
            return d3d.Detach();
        });
        GetDisplayReleaseHooks() = DisplayReleaseHooks{};
        GetDisplayReleaseHooks().pauseMs = 0;
    }
    ~NullDeviceScope() {
        RE_DoneDevices();
        // A creation that halted half-way leaves the factory behind.
        Direct3D = nullptr;
        Device = nullptr;
        if (GetErrorHooks().releaseDisplay.target<void (*)()>()) GetErrorHooks().releaseDisplay = nullptr;
        platform::SetDirect3DFactory(nullptr);
        GetDisplayReleaseHooks() = DisplayReleaseHooks{};
    }
    NullDeviceScope(const NullDeviceScope&) = delete;
    NullDeviceScope& operator=(const NullDeviceScope&) = delete;

    // Creates the device; setup defaults to a windowed one.
    void Init(const DeviceSetup& setup = {}) { RE_InitDevices(routine, nullptr, setup); }
    platform::NullDevice* device() const { return dynamic_cast<platform::NullDevice*>(Device.Get()); }

    platform::NullGfxConfig config;
    platform::NullDirect3D* factory = nullptr; // alive while Direct3D holds it
    D3DRoutineClass routine;
    uint32_t sdkVersion = 0;
    bool failFactory = false;
};

} // namespace vesk::test
