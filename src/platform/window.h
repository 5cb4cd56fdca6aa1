#pragma once
// The main window of the game. The engine sees a small set of window messages
// (activation, focus loss, destruction, the Alt key) and answers them through
// its window procedure; the SDL window turns SDL events into these messages.
// The null window serves headless runs and tests: it only delivers messages
// that were posted to it.
#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace vesk::platform {

enum class WindowMessage {
    Activate,    // the window was activated or minimised (see WindowEvent::minimised)
    KillFocus,   // the window lost the keyboard focus
    Destroy,     // the window is being closed
    SysKeyAlt,   // Alt pressed or released
    ScreenSaver, // the system wants to start the screen saver or power the monitor down
};

struct WindowEvent {
    WindowMessage message = WindowMessage::Activate;
    bool minimised = false; // with Activate
};

// The engine's window procedure; the result is the message's answer (1 = handled).
using WindowProc = std::function<int(const WindowEvent&)>;

struct WindowDesc {
    std::string caption; // Windows-1251
    int width = 1024;
    int height = 768;
    bool fullScreen = false;
    bool openGL = true; // the device draws into this window through OpenGL
};

class IWindow {
public:
    virtual ~IWindow() = default;
    // Creates and shows the window; false when it can not be made.
    virtual bool Create(const WindowDesc& desc, WindowProc proc) = 0;
    // Delivers every pending message to the window procedure.
    virtual void ProcessMessages() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // The native window (SDL_Window*) for the device layer; nullptr without one.
    virtual void* NativeHandle() const = 0;
    virtual const WindowDesc& Desc() const = 0;
};

// A window that exists only for the engine: nothing is shown, no display is needed.
class NullWindow : public IWindow {
public:
    bool Create(const WindowDesc& desc, WindowProc proc) override;
    void ProcessMessages() override;
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    void* NativeHandle() const override { return nullptr; }
    const WindowDesc& Desc() const override { return desc_; }
    // Queues a message for the next ProcessMessages.
    void Post(const WindowEvent& event) { queue_.push_back(event); }

private:
    WindowDesc desc_;
    WindowProc proc_;
    std::deque<WindowEvent> queue_;
    bool open_ = false;
};

// The SDL window; while it exists, message boxes are shown through SDL.
std::unique_ptr<IWindow> CreateSdlWindow();

// One running copy per key (the window caption): a lock file in the user's
// runtime folder ($XDG_RUNTIME_DIR, else the temp folder). The lock is held
// until the object goes away or the process ends.
class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    // True when no other copy holds the key; the lock is then ours.
    bool Acquire(const std::string& key);
    void Release();
    bool Held() const { return fd_ >= 0; }
    // The lock file's path for a key.
    static std::string LockPath(const std::string& key);

private:
    int fd_ = -1;
};

} // namespace vesk::platform
