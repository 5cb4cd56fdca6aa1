#include "platform/gfx/gl_context.h"

#include <SDL.h>
#include <dlfcn.h>
#include <epoxy/egl.h>
#include <epoxy/gl.h>

namespace vesk::platform {

namespace {

// Mesa's software driver is unloaded at exit while it still holds memory the
// leak checker would report; keeping the library loaded avoids that.
void PinDriver() {
    static bool done = false;
    if (done) return;
    done = true;
    for (const char* lib : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", "swrast_dri.so"})
        if (dlopen(lib, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) break;
}

class EglContext final : public GLContext {
public:
    ~EglContext() override {
        if (display_ != EGL_NO_DISPLAY) {
            eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
            // The display stays initialised: other devices in the process share it.
        }
    }
    bool Init(std::string* error) {
        if (!epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless") &&
            !epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_EXT_platform_base")) {
            *error = "EGL has no surfaceless platform";
            return false;
        }
        display_ = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        EGLint major = 0, minor = 0;
        if (display_ == EGL_NO_DISPLAY || !eglInitialize(display_, &major, &minor)) {
            *error = "eglInitialize failed";
            display_ = EGL_NO_DISPLAY;
            return false;
        }
        const EGLint configAttribs[] = {EGL_RENDERABLE_TYPE,
                                        EGL_OPENGL_BIT,
                                        EGL_RED_SIZE,
                                        8,
                                        EGL_GREEN_SIZE,
                                        8,
                                        EGL_BLUE_SIZE,
                                        8,
                                        EGL_ALPHA_SIZE,
                                        8,
                                        EGL_NONE};
        EGLConfig config;
        EGLint count = 0;
        if (!eglChooseConfig(display_, configAttribs, &config, 1, &count) || count == 0) {
            // Surfaceless contexts need no config of a surface kind.
            config = nullptr;
        }
        if (!eglBindAPI(EGL_OPENGL_API)) {
            *error = "eglBindAPI failed";
            return false;
        }
        const EGLint ctxAttribs[] = {EGL_CONTEXT_MAJOR_VERSION,
                                     3,
                                     EGL_CONTEXT_MINOR_VERSION,
                                     3,
                                     EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                     EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                     EGL_NONE};
        context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, ctxAttribs);
        if (context_ == EGL_NO_CONTEXT) {
            *error = "eglCreateContext failed";
            return false;
        }
        if (!MakeCurrent()) {
            *error = "eglMakeCurrent failed";
            return false;
        }
        PinDriver();
        return true;
    }
    bool MakeCurrent() override {
        return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) == EGL_TRUE;
    }
    void Swap() override {}
    void WindowSize(uint32_t* w, uint32_t* h) override { *w = *h = 0; }
    bool HasWindow() const override { return false; }

private:
    EGLDisplay display_ = EGL_NO_DISPLAY;
    EGLContext context_ = EGL_NO_CONTEXT;
};

class SdlContext final : public GLContext {
public:
    explicit SdlContext(SDL_Window* w) : window_(w), windowId_(SDL_GetWindowID(w)) {}
    ~SdlContext() override {
        if (context_) SDL_GL_DeleteContext(context_);
    }
    bool Init(std::string* error) {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        context_ = SDL_GL_CreateContext(window_);
        if (!context_) {
            *error = std::string("SDL_GL_CreateContext: ") + SDL_GetError();
            return false;
        }
        SDL_GL_SetSwapInterval(0);
        PinDriver();
        return MakeCurrent();
    }
    bool MakeCurrent() override { return Alive() && SDL_GL_MakeCurrent(window_, context_) == 0; }
    void Swap() override {
        if (Alive()) SDL_GL_SwapWindow(window_);
    }
    // The window is looked up by its id: a destroyed one is never touched.
    bool Alive() const override { return windowId_ != 0 && SDL_GetWindowFromID(windowId_) == window_; }
    void WindowSize(uint32_t* w, uint32_t* h) override {
        int iw = 0, ih = 0;
        if (Alive()) SDL_GL_GetDrawableSize(window_, &iw, &ih);
        *w = uint32_t(iw > 0 ? iw : 0);
        *h = uint32_t(ih > 0 ? ih : 0);
    }
    bool HasWindow() const override { return true; }

private:
    SDL_Window* window_;
    Uint32 windowId_ = 0;
    SDL_GLContext context_ = nullptr;
};

} // namespace

std::unique_ptr<GLContext> CreateGLContext(WindowHandle window, std::string* error) {
    std::string dummy;
    if (!error) error = &dummy;
    if (window) {
        auto c = std::make_unique<SdlContext>(static_cast<SDL_Window*>(window));
        if (!c->Init(error)) return nullptr;
        return c;
    }
    auto c = std::make_unique<EglContext>();
    if (!c->Init(error)) return nullptr;
    return c;
}

} // namespace vesk::platform
