#include "render/render_services.h"

#include "core/config_record.h"
#include "platform/window.h"
#include "render/device.h"

namespace vesk {

namespace {

// The device layer under the frame. The render-unit tree is not part of the
// render library yet: until it is, a frame is an empty black scene.
class DeviceRenderEngine : public StandInRenderEngine {
public:
    void Init(platform::IWindow& window) override {
        if (!window.NativeHandle()) return;
        platform::IWindow* w = &window;
        // Releasing the display closes the main window.
        GetDisplayReleaseHooks().minimiseWindow = [w] { w->Close(); };
        RE_InitDevices(routine_, window.NativeHandle(), DeviceSetupFromRecord(SetupRecord));
    }
    void BeginScene() override {
        if (!Device) return;
        Device->BeginScene();
        Device->Clear(0, nullptr, platform::D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    }
    void EndScene() override {
        if (Device) Device->EndScene();
    }
    void Present() override {
        if (Device) Device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    void DoneDevices() override { RE_DoneDevices(); }

private:
    D3DRoutineClass routine_;
};

} // namespace

void InstallRenderServices(CoreServices& services) {
    services.render = std::make_unique<DeviceRenderEngine>();
}

} // namespace vesk
