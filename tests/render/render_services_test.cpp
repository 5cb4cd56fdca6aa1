// The render engine's service: the device made on the main window, each frame
// begun, cleared, ended and presented, the device released at shut-down.
#include <gtest/gtest.h>

#include "platform/files.h"

#include "core/config_record.h"
#include "platform/gfx/null_device.h"
#include "platform/window.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/render_services.h"
#include "support/error_trap.h"

#include <algorithm>

namespace vesk {
namespace {

// A window that has a native handle without being a real one.
class FakeNativeWindow : public platform::NullWindow {
public:
    void* NativeHandle() const override { return const_cast<FakeNativeWindow*>(this); }
};

TEST(RenderServices, DeviceOnWindowFrameCallsAndRelease) {
    test::ErrorTrap trap;
    const bool ownQueue = !TEODestroyManager;
    if (ownQueue) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
    platform::Ref<platform::NullDirect3D> d3d = platform::CreateNullDirect3D();
    platform::NullDirect3D* raw = d3d.Get();
    platform::SetDirect3DFactory([&](uint32_t) {
        raw->AddRef();
        return static_cast<platform::IDirect3D9*>(raw);
    });
    GetDisplayReleaseHooks().pauseMs = 0;
    SetupRecord = DefaultConfigRecord();
    // The start-up loads the post-process effects from the game folder.
    test::TempDir dir;
    const std::string oldFolder = platform::CurrentFolder();
    std::string effect;
    ASSERT_TRUE(platform::ReadFile(
        std::string(VESK_TEST_DATA_DIR) + "/../../content/data/shaders/post_process.fx", effect));
    platform::SetCurrentFolder(dir.path());
    platform::CreateFolders("data/shaders");
    platform::WriteFile("data/shaders/post_process.fx", effect);

    CoreServices services;
    InstallRenderServices(services);
    platform::NullWindow headless;
    headless.Create({}, nullptr);
    services.render->Init(headless); // no native window: no device
    EXPECT_FALSE(Device);

    FakeNativeWindow window;
    window.Create({}, nullptr);
    services.render->Init(window);
    ASSERT_TRUE(Device);
    auto* device = static_cast<platform::DeviceBase*>(Device.Get());
    const size_t before = device->Calls().size();
    services.render->BeginScene();
    services.render->RenderFrame();
    services.render->EndScene();
    services.render->Present();
    std::vector<std::string> names;
    for (size_t i = before; i < device->Calls().size(); ++i) {
        const std::string& n = device->Calls()[i].name;
        if (n == "BeginScene" || n == "Clear" || n == "EndScene" || n == "Present") names.push_back(n);
    }
    // The engine's frame: the target and the depth cleared inside the scene.
    EXPECT_EQ(names, (std::vector<std::string>{"BeginScene", "Clear", "Clear", "EndScene", "Present"}));
    ASSERT_TRUE(Engine);
    EXPECT_TRUE(Engine->GetDrawPassFlag()); // the stand-in environment lets the tree draw

    services.render->StopCapture();
    services.render->DiscardUnits();
    services.render->FreeManagers();
    services.render->DoneDevices();
    EXPECT_FALSE(Device);
    EXPECT_FALSE(window.IsOpen()); // releasing the display closes the main window
    services.render->Release();
    EXPECT_FALSE(Engine);
    TEODestroyManager->Flush();
    if (ownQueue) TEODestroyManager.reset();
    platform::SetDirect3DFactory(nullptr);
    GetDisplayReleaseHooks() = DisplayReleaseHooks{};
    SetupRecord = ConfigRecord{};
    platform::SetCurrentFolder(oldFolder);
}

} // namespace
} // namespace vesk
