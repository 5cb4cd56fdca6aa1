#include <mutex>

#include "platform/gfx/device.h"
#include "platform/gfx/gl_device.h"

namespace vesk::platform {

namespace {
std::mutex g_factoryMutex;
Direct3DFactory g_factory;
} // namespace

void SetDirect3DFactory(Direct3DFactory factory) {
    std::lock_guard lock(g_factoryMutex);
    g_factory = std::move(factory);
}

IDirect3D9* Direct3DCreate9(uint32_t sdkVersion) {
    Direct3DFactory f;
    {
        std::lock_guard lock(g_factoryMutex);
        f = g_factory;
    }
    if (f) return f(sdkVersion);
    // The debug-information bit does not change what is made.
    if ((sdkVersion & 0x7FFFFFFFu) != D3D_SDK_VERSION) return nullptr;
    return CreateGLDirect3D(GLGfxConfig{}).Detach();
}

} // namespace vesk::platform
