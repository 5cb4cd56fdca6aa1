#pragma once
// The null graphics device the interface benchmarks draw on: it keeps no
// call record, so the figures are the engine's side; with its texture
// manager and the deferred-destruction queue.
#include <memory>

#include "platform/gfx/null_device.h"
#include "render/device.h"
#include "render/texture.h"

namespace vesk::bench {

struct NullScreen {
    NullScreen() {
        platform::SetDirect3DFactory([](uint32_t) { return platform::CreateNullDirect3D().Detach(); });
        GetDisplayReleaseHooks().pauseMs = 0;
        DeviceSetup setup;
        RE_InitDevices(routine, nullptr, setup);
        if (auto* d = dynamic_cast<platform::NullDevice*>(Device.Get())) d->SetRecording(false);
        RE_CreateTextureManager();
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
    }
    ~NullScreen() {
        TEODestroyManager->Flush();
        RE_FreeTextureManager();
        RE_DoneDevices();
        platform::SetDirect3DFactory(nullptr);
    }
    NullScreen(const NullScreen&) = delete;
    NullScreen& operator=(const NullScreen&) = delete;

    D3DRoutineClass routine;
};

} // namespace vesk::bench
