#include "platform/input.h"

#include "platform/window.h"

#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <mutex>

namespace vesk::platform {

// ---- scan codes -----------------------------------------------------------------

namespace {

struct ScanPair {
    SDL_Scancode sdl;
    uint8_t code;
};

// SDL's scancodes follow the key's place on the keyboard, as the scan codes do.
constexpr ScanPair kScanCodes[] = {
    {SDL_SCANCODE_ESCAPE, 0x01},
    {SDL_SCANCODE_1, 0x02},
    {SDL_SCANCODE_2, 0x03},
    {SDL_SCANCODE_3, 0x04},
    {SDL_SCANCODE_4, 0x05},
    {SDL_SCANCODE_5, 0x06},
    {SDL_SCANCODE_6, 0x07},
    {SDL_SCANCODE_7, 0x08},
    {SDL_SCANCODE_8, 0x09},
    {SDL_SCANCODE_9, 0x0A},
    {SDL_SCANCODE_0, 0x0B},
    {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D},
    {SDL_SCANCODE_BACKSPACE, 0x0E},
    {SDL_SCANCODE_TAB, 0x0F},
    {SDL_SCANCODE_Q, 0x10},
    {SDL_SCANCODE_W, 0x11},
    {SDL_SCANCODE_E, 0x12},
    {SDL_SCANCODE_R, 0x13},
    {SDL_SCANCODE_T, 0x14},
    {SDL_SCANCODE_Y, 0x15},
    {SDL_SCANCODE_U, 0x16},
    {SDL_SCANCODE_I, 0x17},
    {SDL_SCANCODE_O, 0x18},
    {SDL_SCANCODE_P, 0x19},
    {SDL_SCANCODE_LEFTBRACKET, 0x1A},
    {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
    {SDL_SCANCODE_RETURN, 0x1C},
    {SDL_SCANCODE_LCTRL, 0x1D},
    {SDL_SCANCODE_A, 0x1E},
    {SDL_SCANCODE_S, 0x1F},
    {SDL_SCANCODE_D, 0x20},
    {SDL_SCANCODE_F, 0x21},
    {SDL_SCANCODE_G, 0x22},
    {SDL_SCANCODE_H, 0x23},
    {SDL_SCANCODE_J, 0x24},
    {SDL_SCANCODE_K, 0x25},
    {SDL_SCANCODE_L, 0x26},
    {SDL_SCANCODE_SEMICOLON, 0x27},
    {SDL_SCANCODE_APOSTROPHE, 0x28},
    {SDL_SCANCODE_GRAVE, 0x29},
    {SDL_SCANCODE_LSHIFT, 0x2A},
    {SDL_SCANCODE_BACKSLASH, 0x2B},
    {SDL_SCANCODE_NONUSHASH, 0x2B},
    {SDL_SCANCODE_Z, 0x2C},
    {SDL_SCANCODE_X, 0x2D},
    {SDL_SCANCODE_C, 0x2E},
    {SDL_SCANCODE_V, 0x2F},
    {SDL_SCANCODE_B, 0x30},
    {SDL_SCANCODE_N, 0x31},
    {SDL_SCANCODE_M, 0x32},
    {SDL_SCANCODE_COMMA, 0x33},
    {SDL_SCANCODE_PERIOD, 0x34},
    {SDL_SCANCODE_SLASH, 0x35},
    {SDL_SCANCODE_RSHIFT, 0x36},
    {SDL_SCANCODE_KP_MULTIPLY, 0x37},
    {SDL_SCANCODE_LALT, 0x38},
    {SDL_SCANCODE_SPACE, 0x39},
    {SDL_SCANCODE_CAPSLOCK, 0x3A},
    {SDL_SCANCODE_F1, 0x3B},
    {SDL_SCANCODE_F2, 0x3C},
    {SDL_SCANCODE_F3, 0x3D},
    {SDL_SCANCODE_F4, 0x3E},
    {SDL_SCANCODE_F5, 0x3F},
    {SDL_SCANCODE_F6, 0x40},
    {SDL_SCANCODE_F7, 0x41},
    {SDL_SCANCODE_F8, 0x42},
    {SDL_SCANCODE_F9, 0x43},
    {SDL_SCANCODE_F10, 0x44},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x45},
    {SDL_SCANCODE_SCROLLLOCK, 0x46},
    {SDL_SCANCODE_KP_7, 0x47},
    {SDL_SCANCODE_KP_8, 0x48},
    {SDL_SCANCODE_KP_9, 0x49},
    {SDL_SCANCODE_KP_MINUS, 0x4A},
    {SDL_SCANCODE_KP_4, 0x4B},
    {SDL_SCANCODE_KP_5, 0x4C},
    {SDL_SCANCODE_KP_6, 0x4D},
    {SDL_SCANCODE_KP_PLUS, 0x4E},
    {SDL_SCANCODE_KP_1, 0x4F},
    {SDL_SCANCODE_KP_2, 0x50},
    {SDL_SCANCODE_KP_3, 0x51},
    {SDL_SCANCODE_KP_0, 0x52},
    {SDL_SCANCODE_KP_PERIOD, 0x53},
    {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
    {SDL_SCANCODE_F11, 0x57},
    {SDL_SCANCODE_F12, 0x58},
    {SDL_SCANCODE_F13, 0x64},
    {SDL_SCANCODE_F14, 0x65},
    {SDL_SCANCODE_F15, 0x66},
    {SDL_SCANCODE_INTERNATIONAL2, 0x70}, // kana
    {SDL_SCANCODE_INTERNATIONAL1, 0x73}, // ro
    {SDL_SCANCODE_INTERNATIONAL4, 0x79}, // convert
    {SDL_SCANCODE_INTERNATIONAL5, 0x7B}, // no convert
    {SDL_SCANCODE_INTERNATIONAL3, 0x7D}, // yen
    {SDL_SCANCODE_KP_EQUALS, 0x8D},
    {SDL_SCANCODE_AUDIOPREV, 0x90},
    {SDL_SCANCODE_STOP, 0x95},
    {SDL_SCANCODE_AUDIONEXT, 0x99},
    {SDL_SCANCODE_KP_ENTER, 0x9C},
    {SDL_SCANCODE_RCTRL, 0x9D},
    {SDL_SCANCODE_AUDIOMUTE, 0xA0},
    {SDL_SCANCODE_MUTE, 0xA0},
    {SDL_SCANCODE_CALCULATOR, 0xA1},
    {SDL_SCANCODE_AUDIOPLAY, 0xA2},
    {SDL_SCANCODE_AUDIOSTOP, 0xA4},
    {SDL_SCANCODE_VOLUMEDOWN, 0xAE},
    {SDL_SCANCODE_VOLUMEUP, 0xB0},
    {SDL_SCANCODE_AC_HOME, 0xB2},
    {SDL_SCANCODE_KP_COMMA, 0xB3},
    {SDL_SCANCODE_KP_DIVIDE, 0xB5},
    {SDL_SCANCODE_PRINTSCREEN, 0xB7},
    {SDL_SCANCODE_SYSREQ, 0xB7},
    {SDL_SCANCODE_RALT, 0xB8},
    {SDL_SCANCODE_PAUSE, 0xC5},
    {SDL_SCANCODE_HOME, 0xC7},
    {SDL_SCANCODE_UP, 0xC8},
    {SDL_SCANCODE_PAGEUP, 0xC9},
    {SDL_SCANCODE_LEFT, 0xCB},
    {SDL_SCANCODE_RIGHT, 0xCD},
    {SDL_SCANCODE_END, 0xCF},
    {SDL_SCANCODE_DOWN, 0xD0},
    {SDL_SCANCODE_PAGEDOWN, 0xD1},
    {SDL_SCANCODE_INSERT, 0xD2},
    {SDL_SCANCODE_DELETE, 0xD3},
    {SDL_SCANCODE_LGUI, 0xDB},
    {SDL_SCANCODE_RGUI, 0xDC},
    {SDL_SCANCODE_APPLICATION, 0xDD},
    {SDL_SCANCODE_POWER, 0xDE},
    {SDL_SCANCODE_SLEEP, 0xDF},
    {SDL_SCANCODE_AC_SEARCH, 0xE5},
    {SDL_SCANCODE_AC_BOOKMARKS, 0xE6},
    {SDL_SCANCODE_AC_REFRESH, 0xE7},
    {SDL_SCANCODE_AC_STOP, 0xE8},
    {SDL_SCANCODE_AC_FORWARD, 0xE9},
    {SDL_SCANCODE_AC_BACK, 0xEA},
    {SDL_SCANCODE_COMPUTER, 0xEB},
    {SDL_SCANCODE_MAIL, 0xEC},
    {SDL_SCANCODE_MEDIASELECT, 0xED},
};

const std::array<uint8_t, SDL_NUM_SCANCODES>& ScanTable() {
    static const auto table = [] {
        std::array<uint8_t, SDL_NUM_SCANCODES> t{};
        for (const ScanPair& p : kScanCodes) t[p.sdl] = p.code;
        return t;
    }();
    return table;
}

} // namespace

int ScanCodeFromSdl(int sdlScancode) {
    if (sdlScancode < 0 || sdlScancode >= SDL_NUM_SCANCODES) return 0;
    return ScanTable()[static_cast<size_t>(sdlScancode)];
}

// ---- buffers ----------------------------------------------------------------------

bool InputBuffers::Listening(InputDevice device) const {
    return foreground_ && Acquired(device);
}

bool InputBuffers::Acquired(InputDevice device) const {
    switch (device) {
    case InputDevice::Keyboard:
        return keyboardAcquired_;
    case InputDevice::Mouse:
        return mouseAcquired_;
    case InputDevice::Joystick:
        return true;
    }
    return false;
}

void InputBuffers::AddKey(int code, bool down) {
    if (!Listening(InputDevice::Keyboard) || code <= 0 || code > 255) return;
    bool& held = keyHeld_[static_cast<size_t>(code)];
    if (down == held) return; // key repeat, or a release the engine never saw pressed
    // A full buffer loses new presses; releases always find room, so that no
    // key stays down in the engine.
    if (down && keys_.size() >= keyCapacity_) return;
    held = down;
    keys_.push_back({code, down});
}

void InputBuffers::AddMouse(const MouseRecord& record) {
    if (!Listening(InputDevice::Mouse)) return;
    if (record.kind == MouseRecord::Kind::Button) {
        if (record.button < 0 || record.button >= static_cast<int>(buttonHeld_.size())) return;
        bool& held = buttonHeld_[static_cast<size_t>(record.button)];
        if (record.down == held) return;
        if (record.down && mouse_.size() >= mouseCapacity_) return;
        held = record.down;
        mouse_.push_back(record);
        return;
    }
    if (record.kind == MouseRecord::Kind::Move && !mouse_.empty() &&
        mouse_.back().kind == MouseRecord::Kind::Move) {
        // Consecutive motion adds up; nothing between them is lost.
        mouse_.back().dx += record.dx;
        mouse_.back().dy += record.dy;
        return;
    }
    if (mouse_.size() >= mouseCapacity_) return;
    mouse_.push_back(record);
}

void InputBuffers::Lose(InputDevice device) {
    if (device == InputDevice::Keyboard) {
        keys_.clear();
        for (size_t c = 0; c < keyHeld_.size(); ++c)
            if (keyHeld_[c]) {
                keyHeld_[c] = false;
                keys_.push_back({static_cast<int>(c), false});
            }
    } else if (device == InputDevice::Mouse) {
        mouse_.clear();
        for (size_t b = 0; b < buttonHeld_.size(); ++b)
            if (buttonHeld_[b]) {
                buttonHeld_[b] = false;
                MouseRecord r;
                r.kind = MouseRecord::Kind::Button;
                r.button = static_cast<int>(b);
                mouse_.push_back(r);
            }
    }
}

void InputBuffers::SetForeground(bool foreground) {
    if (foreground == foreground_) return;
    foreground_ = foreground;
    if (foreground) return;
    // Leaving the foreground unacquires both devices.
    SetAcquired(InputDevice::Keyboard, false);
    SetAcquired(InputDevice::Mouse, false);
}

bool InputBuffers::SetAcquired(InputDevice device, bool on) {
    if (on && !foreground_) return false;
    bool* flag = device == InputDevice::Keyboard ? &keyboardAcquired_
                 : device == InputDevice::Mouse  ? &mouseAcquired_
                                                 : nullptr;
    if (!flag) return true;
    if (*flag && !on) Lose(device);
    *flag = on;
    return true;
}

void InputBuffers::SetCapacity(InputDevice device, size_t records) {
    if (device == InputDevice::Keyboard) keyCapacity_ = std::max<size_t>(records, 1);
    if (device == InputDevice::Mouse) mouseCapacity_ = std::max<size_t>(records, 1);
}

size_t InputBuffers::ReadKeyboard(KeyRecord* out, size_t max) {
    size_t n = 0;
    while (n < max && !keys_.empty()) {
        out[n++] = keys_.front();
        keys_.pop_front();
    }
    return n;
}

size_t InputBuffers::ReadMouse(MouseRecord* out, size_t max) {
    size_t n = 0;
    while (n < max && !mouse_.empty()) {
        out[n++] = mouse_.front();
        mouse_.pop_front();
    }
    return n;
}

// ---- scripted backend ---------------------------------------------------------------

bool ScriptedInput::Start() {
    return Step(InputDevice::Keyboard, InputStep::Start);
}

bool ScriptedInput::Create(InputDevice device) {
    if (!Step(device, InputStep::Create)) return false;
    if (device == InputDevice::Joystick) joystickOpen_ = joystickAttached_;
    return device != InputDevice::Joystick || joystickAttached_;
}

bool ScriptedInput::SetDataFormat(InputDevice device) {
    return Step(device, InputStep::Format);
}

bool ScriptedInput::SetCooperativeLevel(InputDevice device, IWindow&, bool) {
    return Step(device, InputStep::Cooperative);
}

bool ScriptedInput::SetProperty(InputDevice device, int value) {
    if (!Step(device, InputStep::Property)) return false;
    properties_[static_cast<size_t>(device)] = value;
    if (device != InputDevice::Joystick)
        buffers_.SetCapacity(device, static_cast<size_t>(std::max(value, 1)));
    return true;
}

bool ScriptedInput::Acquire(InputDevice device, bool on) {
    if (!Step(device, InputStep::Acquire)) return false;
    return buffers_.SetAcquired(device, on);
}

size_t ScriptedInput::ReadKeyboard(KeyRecord* out, size_t max) {
    return buffers_.ReadKeyboard(out, max);
}

size_t ScriptedInput::ReadMouse(MouseRecord* out, size_t max) {
    return buffers_.ReadMouse(out, max);
}

bool ScriptedInput::PollJoystick(JoystickState& state) {
    if (!joystickOpen_) return false;
    state = joystick_;
    return true;
}

void ScriptedInput::MouseMove(int dx, int dy) {
    MouseRecord r;
    r.dx = dx;
    r.dy = dy;
    buffers_.AddMouse(r);
}

void ScriptedInput::MouseButton(int button, bool down) {
    MouseRecord r;
    r.kind = MouseRecord::Kind::Button;
    r.button = button;
    r.down = down;
    buffers_.AddMouse(r);
}

void ScriptedInput::MouseWheel(int delta) {
    MouseRecord r;
    r.kind = MouseRecord::Kind::Wheel;
    r.wheel = delta;
    buffers_.AddMouse(r);
}

// ---- SDL backend ---------------------------------------------------------------------

namespace {

int32_t ScaleAxis(Sint16 v) {
    const long scaled = std::lround(static_cast<double>(v) * kJoystickAxisRange / 32767.0);
    return static_cast<int32_t>(std::clamp<long>(scaled, -kJoystickAxisRange, kJoystickAxisRange));
}

uint32_t HatToPov(Uint8 hat) {
    switch (hat) {
    case SDL_HAT_UP:
        return 0;
    case SDL_HAT_RIGHTUP:
        return 4500;
    case SDL_HAT_RIGHT:
        return 9000;
    case SDL_HAT_RIGHTDOWN:
        return 13500;
    case SDL_HAT_DOWN:
        return 18000;
    case SDL_HAT_LEFTDOWN:
        return 22500;
    case SDL_HAT_LEFT:
        return 27000;
    case SDL_HAT_LEFTUP:
        return 31500;
    default:
        return 0xFFFFFFFFu;
    }
}

int MouseButtonIndex(Uint8 sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT:
        return 0;
    case SDL_BUTTON_RIGHT:
        return 1;
    case SDL_BUTTON_MIDDLE:
        return 2;
    case SDL_BUTTON_X1:
        return 3;
    case SDL_BUTTON_X2:
        return 4;
    default:
        return -1;
    }
}

class SdlInput : public IInputBackend {
public:
    ~SdlInput() override {
        if (watching_) SDL_DelEventWatch(&SdlInput::Watch, this);
        if (relative_) SDL_SetRelativeMouseMode(SDL_FALSE);
        if (joystick_) SDL_JoystickClose(joystick_);
        if (joystickStarted_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        if (eventsStarted_) SDL_QuitSubSystem(SDL_INIT_EVENTS);
    }

    bool Start() override {
        if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) return false;
        eventsStarted_ = true;
        // Without joystick support the game runs with keyboard and mouse.
        joystickStarted_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
        SDL_AddEventWatch(&SdlInput::Watch, this);
        watching_ = true;
        return true;
    }

    bool Create(InputDevice device) override {
        if (device != InputDevice::Joystick) return true;
        if (!joystickStarted_ || SDL_NumJoysticks() <= 0) return false;
        joystick_ = SDL_JoystickOpen(0);
        return joystick_ != nullptr;
    }

    bool SetDataFormat(InputDevice) override { return true; }

    bool SetCooperativeLevel(InputDevice device, IWindow& window, bool exclusive) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (device == InputDevice::Mouse) exclusiveMouse_ = exclusive;
        auto* native = static_cast<SDL_Window*>(window.NativeHandle());
        // Without a native window nothing takes the focus away.
        if (native && windowId_ == 0) {
            windowId_ = SDL_GetWindowID(native);
            buffers_.SetForeground((SDL_GetWindowFlags(native) & SDL_WINDOW_INPUT_FOCUS) != 0);
        }
        return true;
    }

    bool SetProperty(InputDevice device, int value) override {
        std::lock_guard<std::mutex> lock(mutex_);
        // The joystick's axes are always scaled to kJoystickAxisRange.
        if (device != InputDevice::Joystick)
            buffers_.SetCapacity(device, static_cast<size_t>(std::max(value, 1)));
        return true;
    }

    bool Acquire(InputDevice device, bool on) override {
        bool ok = true;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ok = buffers_.SetAcquired(device, on);
        }
        if (device == InputDevice::Mouse && exclusiveMouse_ && windowId_ != 0) {
            // The game draws its own cursor: the system one hides while the mouse is ours.
            const bool want = ok && on;
            if (want != relative_)
                relative_ = SDL_SetRelativeMouseMode(want ? SDL_TRUE : SDL_FALSE) == 0 && want;
        }
        return ok;
    }

    size_t ReadKeyboard(KeyRecord* out, size_t max) override {
        std::lock_guard<std::mutex> lock(mutex_);
        return buffers_.ReadKeyboard(out, max);
    }

    size_t ReadMouse(MouseRecord* out, size_t max) override {
        std::lock_guard<std::mutex> lock(mutex_);
        return buffers_.ReadMouse(out, max);
    }

    bool PollJoystick(JoystickState& state) override {
        if (!joystick_) return false;
        SDL_JoystickUpdate();
        if (!SDL_JoystickGetAttached(joystick_)) return false;
        state = JoystickState{};
        const int axes = SDL_JoystickNumAxes(joystick_);
        for (int i = 0; i < axes && i < 8; ++i) {
            const int32_t v = ScaleAxis(SDL_JoystickGetAxis(joystick_, i));
            if (i < 6)
                state.axes[static_cast<size_t>(i)] = v;
            else
                state.sliders[static_cast<size_t>(i - 6)] = v;
        }
        const int hats = SDL_JoystickNumHats(joystick_);
        for (size_t i = 0; i < state.pov.size(); ++i)
            state.pov[i] = static_cast<int>(i) < hats
                               ? HatToPov(SDL_JoystickGetHat(joystick_, static_cast<int>(i)))
                               : 0xFFFFFFFFu;
        const int buttons = SDL_JoystickNumButtons(joystick_);
        for (int i = 0; i < buttons && i < 32; ++i)
            state.buttons[static_cast<size_t>(i)] = SDL_JoystickGetButton(joystick_, i) ? 0x80 : 0;
        return true;
    }

private:
    // Runs as each event is queued, on the thread that queues it.
    static int SDLCALL Watch(void* self, SDL_Event* e) {
        static_cast<SdlInput*>(self)->Take(*e);
        return 1;
    }

    void Take(const SDL_Event& e) {
        std::lock_guard<std::mutex> lock(mutex_);
        switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (e.key.repeat == 0)
                buffers_.AddKey(ScanCodeFromSdl(e.key.keysym.scancode), e.type == SDL_KEYDOWN);
            break;
        case SDL_MOUSEMOTION: {
            MouseRecord r;
            r.dx = e.motion.xrel;
            r.dy = e.motion.yrel;
            buffers_.AddMouse(r);
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            MouseRecord r;
            r.kind = MouseRecord::Kind::Button;
            r.button = MouseButtonIndex(e.button.button);
            r.down = e.type == SDL_MOUSEBUTTONDOWN;
            if (r.button >= 0) buffers_.AddMouse(r);
            break;
        }
        case SDL_MOUSEWHEEL: {
            MouseRecord r;
            r.kind = MouseRecord::Kind::Wheel;
            const int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
            r.wheel = notches * 120;
            if (r.wheel != 0) buffers_.AddMouse(r);
            break;
        }
        case SDL_WINDOWEVENT:
            if (windowId_ != 0 && e.window.windowID == windowId_) {
                if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) buffers_.SetForeground(true);
                if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) buffers_.SetForeground(false);
            }
            break;
        default:
            break;
        }
    }

    std::mutex mutex_;
    InputBuffers buffers_;
    SDL_Joystick* joystick_ = nullptr;
    Uint32 windowId_ = 0;
    bool exclusiveMouse_ = false;
    bool relative_ = false;
    bool eventsStarted_ = false;
    bool joystickStarted_ = false;
    bool watching_ = false;
};

} // namespace

std::unique_ptr<IInputBackend> CreateSdlInput() {
    return std::make_unique<SdlInput>();
}

// ---- virtual joystick ----------------------------------------------------------------

VirtualJoystick::VirtualJoystick(int axes, int buttons, int hats) {
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return;
    device_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, axes, buttons, hats);
    if (device_ < 0) {
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        return;
    }
    joystick_ = SDL_JoystickOpen(device_);
}

VirtualJoystick::~VirtualJoystick() {
    if (device_ < 0) return;
    if (joystick_) SDL_JoystickClose(static_cast<SDL_Joystick*>(joystick_));
    SDL_JoystickDetachVirtual(device_);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void VirtualJoystick::SetAxis(int axis, int value) {
    if (!joystick_) return;
    SDL_JoystickSetVirtualAxis(static_cast<SDL_Joystick*>(joystick_), axis,
                               static_cast<Sint16>(std::clamp(value, -32768, 32767)));
}

void VirtualJoystick::SetButton(int button, bool down) {
    if (!joystick_) return;
    SDL_JoystickSetVirtualButton(static_cast<SDL_Joystick*>(joystick_), button, down ? 1 : 0);
}

} // namespace vesk::platform
