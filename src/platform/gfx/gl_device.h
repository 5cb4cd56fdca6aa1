#pragma once
// The OpenGL backend of the device layer (OpenGL 3.3 core). With a window
// (an SDL_Window made with SDL_WINDOW_OPENGL, passed as the WindowHandle) the
// device renders through that window's context and Present shows the frame;
// without one it renders headless through EGL (surfaceless). Either way the
// back buffer is a framebuffer the device owns, so reading back and copying
// behave the same.
#include <cstdint>
#include <string>

#include "platform/gfx/device.h"

namespace vesk::platform {

struct GLGfxConfig {
    // Back-buffer size of a windowed device without a window.
    uint32_t headlessWidth = 800;
    uint32_t headlessHeight = 600;
    std::string adapterDescription; // empty: the GL renderer string
    // False draws block-compressed textures from decoded pixels even where the
    // driver samples S3TC blocks itself, as on drivers without it.
    bool useS3tc = true;
};

// The GL factory (one reference for the caller).
Ref<IDirect3D9> CreateGLDirect3D(const GLGfxConfig& config);

// True when a GL 3.3 core context can be made headless on this machine
// (tests skip their GL cases when it cannot).
bool GLHeadlessAvailable();

// Programs the device has built for fixed-function state (for tests and the benchmark).
size_t GLProgramCacheSize(IDirect3DDevice9* device);

} // namespace vesk::platform
