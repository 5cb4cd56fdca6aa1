#pragma once
// An OpenGL 3.3 core context: from an SDL window, or headless through EGL
// without any surface (the device renders into its own framebuffers).
#include <memory>
#include <string>

#include "platform/gfx/types.h"

namespace vesk::platform {

class GLContext {
public:
    virtual ~GLContext() = default;
    virtual bool MakeCurrent() = 0;
    // Shows the window's default framebuffer; nothing headless.
    virtual void Swap() = 0;
    // Client size of the window (0, 0 headless).
    virtual void WindowSize(uint32_t* width, uint32_t* height) = 0;
    virtual bool HasWindow() const = 0;
    // False once the window the context draws into is gone (closed after a
    // fatal report while the device still lives): the context's objects went
    // with it and no GL call may be made any more.
    virtual bool Alive() const { return true; }
};

// nullptr window: headless EGL. Otherwise `window` is an SDL_Window* made
// with SDL_WINDOW_OPENGL. nullptr result when no context can be made; the
// reason goes to `error`.
std::unique_ptr<GLContext> CreateGLContext(WindowHandle window, std::string* error);

} // namespace vesk::platform
