#pragma once
// The input devices below the interface: the keyboard (keys by their
// DirectInput scan codes), the mouse (motion, buttons, wheel) and the first
// attached joystick. A backend is set up step by step (the system, then each
// device: data format, cooperative level, property, acquisition) so that the
// engine can name the step that failed. The keyboard and the mouse deliver
// buffered records; the joystick is polled for its whole state.
//
// The SDL backend reads SDL's events as they are queued (an event watch), so
// the window may drain the queue; the scripted backend is fed by tests and
// headless runs.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

namespace vesk::platform {

class IWindow;

enum class InputDevice : uint8_t { Keyboard, Mouse, Joystick };
// The set-up steps, in the order the engine runs them.
enum class InputStep : uint8_t { Start, Create, Format, Cooperative, Property, Acquire };

// One keyboard record: the scan code went down or up.
struct KeyRecord {
    int code = 0;
    bool down = false;
};

// One mouse record: relative motion, a button (0 left, 1 right, 2 middle,
// 3 and 4 the side buttons) or the wheel (120 per notch, positive away from the user).
struct MouseRecord {
    enum class Kind : uint8_t { Move, Button, Wheel };
    Kind kind = Kind::Move;
    int dx = 0;
    int dy = 0;
    int button = 0;
    bool down = false;
    int wheel = 0;
};

// The joystick's whole state, laid out as the game has always kept it
// (80 bytes): X, Y, Z, rotation X, Y, Z, two sliders, four hats (hundredths of
// a degree clockwise from up, 0xFFFFFFFF centred) and 32 buttons (0x80 held).
struct JoystickState {
    std::array<int32_t, 6> axes{};
    std::array<int32_t, 2> sliders{};
    std::array<uint32_t, 4> pov{};
    std::array<uint8_t, 32> buttons{};
};
static_assert(sizeof(JoystickState) == 80);

// The range the joystick's axes are read in.
inline constexpr int32_t kJoystickAxisRange = 1000;

class IInputBackend {
public:
    virtual ~IInputBackend() = default;
    // The input system itself.
    virtual bool Start() = 0;
    // Opens the device; for the joystick, false means none is attached.
    virtual bool Create(InputDevice device) = 0;
    virtual bool SetDataFormat(InputDevice device) = 0;
    // Foreground devices read only while the window has the focus; an
    // exclusive mouse hides the system cursor and reports raw motion.
    virtual bool SetCooperativeLevel(InputDevice device, IWindow& window, bool exclusive) = 0;
    // The buffer size in records (keyboard, mouse) or the axis range (joystick).
    virtual bool SetProperty(InputDevice device, int value) = 0;
    // Acquires or releases; acquiring fails while the window is in the background.
    virtual bool Acquire(InputDevice device, bool on) = 0;
    // Takes up to max buffered records, oldest first; returns how many.
    virtual size_t ReadKeyboard(KeyRecord* out, size_t max) = 0;
    virtual size_t ReadMouse(MouseRecord* out, size_t max) = 0;
    // The joystick's current state; false when it can not be read.
    virtual bool PollJoystick(JoystickState& state) = 0;
};

// The DirectInput scan code of an SDL scancode (USB usage numbering); 0 when
// the key has none.
int ScanCodeFromSdl(int sdlScancode);

// Records buffered for the keyboard and the mouse, the acquisition rules and
// the release of held keys and buttons when a device is lost. Shared by the
// SDL and the scripted backends.
class InputBuffers {
public:
    // False unless the device is acquired and the window in the foreground.
    bool Listening(InputDevice device) const;
    void AddKey(int code, bool down);
    void AddMouse(const MouseRecord& record);
    // Background: both devices are lost; acquisition must be asked again.
    void SetForeground(bool foreground);
    bool Foreground() const { return foreground_; }
    // False when acquiring in the background.
    bool SetAcquired(InputDevice device, bool on);
    bool Acquired(InputDevice device) const;
    void SetCapacity(InputDevice device, size_t records);
    size_t ReadKeyboard(KeyRecord* out, size_t max);
    size_t ReadMouse(MouseRecord* out, size_t max);

private:
    // A lost device drops what it had buffered; keys and buttons still held
    // get their release so that nothing stays pressed in the engine.
    void Lose(InputDevice device);

    std::deque<KeyRecord> keys_;
    std::deque<MouseRecord> mouse_;
    std::array<bool, 256> keyHeld_{};
    std::array<bool, 8> buttonHeld_{};
    size_t keyCapacity_ = 16;
    size_t mouseCapacity_ = 1024;
    bool keyboardAcquired_ = false;
    bool mouseAcquired_ = false;
    bool foreground_ = true;
};

// A backend fed by hand: tests and runs without a window. Any set-up step of
// any device can be made to fail.
class ScriptedInput : public IInputBackend {
public:
    bool Start() override;
    bool Create(InputDevice device) override;
    bool SetDataFormat(InputDevice device) override;
    bool SetCooperativeLevel(InputDevice device, IWindow& window, bool exclusive) override;
    bool SetProperty(InputDevice device, int value) override;
    bool Acquire(InputDevice device, bool on) override;
    size_t ReadKeyboard(KeyRecord* out, size_t max) override;
    size_t ReadMouse(MouseRecord* out, size_t max) override;
    bool PollJoystick(JoystickState& state) override;

    void Fail(InputDevice device, InputStep step) { failDevice_ = device, failStep_ = step, fail_ = true; }
    // Input, taken only by acquired devices in the foreground.
    void Key(int code, bool down) { buffers_.AddKey(code, down); }
    void MouseMove(int dx, int dy);
    void MouseButton(int button, bool down);
    void MouseWheel(int delta);
    void SetForeground(bool foreground) { buffers_.SetForeground(foreground); }
    bool Acquired(InputDevice device) const { return buffers_.Acquired(device); }
    // A joystick is attached before the set-up looks for one.
    void AttachJoystick() { joystickAttached_ = true; }
    void SetJoystick(const JoystickState& state) { joystick_ = state; }
    // Property values set on each device.
    int Property(InputDevice device) const { return properties_[static_cast<size_t>(device)]; }

private:
    bool Step(InputDevice device, InputStep step) const {
        return !(fail_ && failDevice_ == device && failStep_ == step);
    }

    InputBuffers buffers_;
    JoystickState joystick_{};
    std::array<int, 3> properties_{};
    bool joystickAttached_ = false;
    bool joystickOpen_ = false;
    bool fail_ = false;
    InputDevice failDevice_ = InputDevice::Keyboard;
    InputStep failStep_ = InputStep::Start;
};

// The SDL backend (events, joystick subsystems).
std::unique_ptr<IInputBackend> CreateSdlInput();

// A virtual joystick for headless runs and tests (SDL's virtual device): it
// counts among the attached joysticks until detached. Axis values are SDL's
// (-32768 .. 32767). Background events must be allowed
// (SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS=1) where no window has the focus.
class VirtualJoystick {
public:
    VirtualJoystick(int axes, int buttons, int hats);
    ~VirtualJoystick();
    VirtualJoystick(const VirtualJoystick&) = delete;
    VirtualJoystick& operator=(const VirtualJoystick&) = delete;
    bool Attached() const { return device_ >= 0; }
    void SetAxis(int axis, int value);
    void SetButton(int button, bool down);

private:
    int device_ = -1;
    void* joystick_ = nullptr; // the opened SDL_Joystick, for setting values
};

} // namespace vesk::platform
