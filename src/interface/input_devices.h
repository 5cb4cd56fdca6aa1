#pragma once
// The input-device manager: the keyboard, the mouse and the first attached
// joystick, set up on the main window at start-up, acquired and released with
// the window's focus, and read once per frame. Their events go to the
// receiver (the desktop); joystick buttons arrive as the key codes 1000-1031
// and axis directions as 1036-1047, and the axes also run the joystick actions.
#include <array>
#include <memory>

#include "interface/draw_target.h"
#include "interface/simple_node.h"
#include "platform/input.h"

namespace vesk {

namespace platform {
class IWindow;
}

// What the input devices hand their events to: the desktop's event operations.
class IInputReceiver {
public:
    virtual ~IInputReceiver() = default;
    virtual void KeyEvent(int scanCode, bool down) = 0;
    // Buttons 0 left, 1 right, 2 middle.
    virtual void MouseButtonEvent(int button, bool down) = 0;
    virtual void MouseMoveEvent(int dx, int dy) = 0;
    // 120 per wheel notch.
    virtual void MouseWheelEvent(int delta) = 0;
};

// Until a desktop takes the events, they travel straight down the node tree
// from the root the interface tools know, at a cursor of its own.
class TTreeInputRouter : public IInputReceiver {
public:
    void KeyEvent(int scanCode, bool down) override;
    void MouseButtonEvent(int button, bool down) override;
    void MouseMoveEvent(int dx, int dy) override;
    void MouseWheelEvent(int delta) override;
    TIPoint Cursor() const { return cursor_; }

private:
    static TSimpleNode* Root();
    TIPoint cursor_{511, 383};
};

// The joystick and the state it had at the last poll.
struct TJoystickWrapper {
    bool present = false;
    platform::JoystickState previous{};
};

// Axis values beyond this count as the axis direction's key held down.
inline constexpr int32_t kJoyAxisKeyThreshold = 500;

class TInputDeviceManager {
public:
    explicit TInputDeviceManager(std::unique_ptr<platform::IInputBackend> backend);
    // The set-up on the window; a failing step ends the program through the
    // central report.
    void Init(platform::IWindow& window);
    void SetKeyboardAcquired(bool on);
    void SetMouseAcquired(bool on);
    // Reads every device and hands the events on; dt (ms) is the joystick
    // actions' time value.
    void Tick(float dt);

    // nullptr: the tree router.
    void SetReceiver(IInputReceiver* receiver) { receiver_ = receiver; }
    IInputReceiver& Receiver() { return receiver_ ? *receiver_ : router_; }
    bool MouseInversion() const { return mouseInversion_; }
    void SetMouseInversion(bool on) { mouseInversion_ = on; }
    bool HasJoystick() const { return joystick_.present; }
    platform::IInputBackend& Backend() { return *backend_; }

private:
    void ReadKeyboard();
    void ReadMouse();
    void PollJoystick();

    std::unique_ptr<platform::IInputBackend> backend_;
    TJoystickWrapper joystick_;
    TTreeInputRouter router_;
    IInputReceiver* receiver_ = nullptr;
    bool mouseInversion_ = false;
};

// The global manager; empty before the start-up makes it and after the shut-down.
extern std::unique_ptr<TInputDeviceManager> InputDeviceManager;

// Makes the manager on the window: SDL devices for a real window, scripted
// ones for a window without a native handle (headless runs).
void IE_InitDirectInputDevices(platform::IWindow& window);

// The manager's parts of the interface service (made, acquired, ticked,
// freed) and the engine function Lua_SetJoyAction.
void InstallInputDevices();

} // namespace vesk
