#include "platform/gfx/gl_device.h"

namespace vesk::platform {

Ref<IDirect3D9> CreateGLDirect3D(const GLGfxConfig&) {
    return nullptr;
}
bool GLHeadlessAvailable() {
    return false;
}
size_t GLProgramCacheSize(IDirect3DDevice9*) {
    return 0;
}

} // namespace vesk::platform
