#include "platform/window.h"

#include "platform/system.h"
#include "platform/text.h"

#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vesk::platform {

// ---- null window ------------------------------------------------------------

bool NullWindow::Create(const WindowDesc& desc, WindowProc proc) {
    desc_ = desc;
    proc_ = std::move(proc);
    open_ = true;
    return true;
}

void NullWindow::ProcessMessages() {
    // Messages posted while one is handled wait for the next round.
    std::deque<WindowEvent> now;
    now.swap(queue_);
    for (const WindowEvent& e : now)
        if (proc_) proc_(e);
}

// ---- SDL window -------------------------------------------------------------

namespace {

class SdlWindow : public IWindow {
public:
    ~SdlWindow() override { Close(); }

    bool Create(const WindowDesc& desc, WindowProc proc) override {
        desc_ = desc;
        proc_ = std::move(proc);
        if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        videoStarted_ = true;
        const std::string caption = Cp1251ToUtf8(desc.caption);
        Uint32 flags = SDL_WINDOW_SHOWN | (desc.fullScreen ? SDL_WINDOW_FULLSCREEN : 0);
        if (desc.openGL)
            window_ =
                SDL_CreateWindow(caption.c_str(), 0, 0, desc.width, desc.height, flags | SDL_WINDOW_OPENGL);
        // A video driver without GL still gives a window for input and messages.
        if (!window_) window_ = SDL_CreateWindow(caption.c_str(), 0, 0, desc.width, desc.height, flags);
        if (!window_) return false;
        SDL_DisableScreenSaver();
        SDL_RaiseWindow(window_);
        SDL_Window* w = window_;
        SetMessageBoxHandler([w](const std::string& text, const std::string& title) {
            const std::string t = Cp1251ToUtf8(text), c = Cp1251ToUtf8(title);
            if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, c.c_str(), t.c_str(), w) != 0)
                std::fprintf(stderr, "[%s] %s\n", c.c_str(), t.c_str());
        });
        return true;
    }

    void ProcessMessages() override {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (!proc_) continue;
            switch (e.type) {
            case SDL_QUIT:
                Send({WindowMessage::Destroy, false});
                break;
            case SDL_WINDOWEVENT:
                switch (e.window.event) {
                case SDL_WINDOWEVENT_FOCUS_GAINED:
                case SDL_WINDOWEVENT_RESTORED:
                    Send({WindowMessage::Activate, false});
                    break;
                case SDL_WINDOWEVENT_MINIMIZED:
                    Send({WindowMessage::Activate, true});
                    break;
                case SDL_WINDOWEVENT_FOCUS_LOST:
                    Send({WindowMessage::KillFocus, false});
                    break;
                case SDL_WINDOWEVENT_CLOSE:
                    Send({WindowMessage::Destroy, false});
                    break;
                default:
                    break;
                }
                break;
            case SDL_KEYDOWN:
            case SDL_KEYUP:
                if (e.key.keysym.sym == SDLK_LALT || e.key.keysym.sym == SDLK_RALT)
                    Send({WindowMessage::SysKeyAlt, false});
                break;
            default:
                break;
            }
        }
    }

    void Close() override {
        if (window_) {
            SetMessageBoxHandler(nullptr);
            SDL_DestroyWindow(window_);
            window_ = nullptr;
        }
        if (videoStarted_) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            videoStarted_ = false;
        }
    }

    bool IsOpen() const override { return window_ != nullptr; }
    void* NativeHandle() const override { return window_; }
    const WindowDesc& Desc() const override { return desc_; }

private:
    void Send(const WindowEvent& e) { proc_(e); }

    WindowDesc desc_;
    WindowProc proc_;
    SDL_Window* window_ = nullptr;
    bool videoStarted_ = false;
};

} // namespace

std::unique_ptr<IWindow> CreateSdlWindow() {
    return std::make_unique<SdlWindow>();
}

// ---- single running copy ----------------------------------------------------

InstanceLock::~InstanceLock() {
    Release();
}

std::string InstanceLock::LockPath(const std::string& key) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = runtime && *runtime && access(runtime, W_OK) == 0 ? runtime : "/tmp";
    // FNV-1a of the key keeps any caption text out of the file name.
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : key) h = (h ^ c) * 1099511628211ull;
    char name[64];
    std::snprintf(name, sizeof name, "/vesk-%016llx.lock", static_cast<unsigned long long>(h));
    return folder + name;
}

bool InstanceLock::Acquire(const std::string& key) {
    Release();
    const std::string path = LockPath(key);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // Without a lock file there is no way to tell; the copy may run.
    if (fd < 0) return true;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void InstanceLock::Release() {
    if (fd_ < 0) return;
    flock(fd_, LOCK_UN);
    close(fd_);
    fd_ = -1;
}

} // namespace vesk::platform
