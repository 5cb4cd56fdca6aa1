#include "interface/input_devices.h"

#include <algorithm>

#include "core/lua_functions.h"
#include "core/var_list.h"
#include "interface/draw_target.h"
#include "interface/interface_parts.h"
#include "interface/interface_tools.h"
#include "interface/joy_actions.h"
#include "interface/sens_node.h"
#include "platform/window.h"
#include "shared/errors.h"

namespace vesk {

using platform::InputDevice;

std::unique_ptr<TInputDeviceManager> InputDeviceManager;

namespace {

constexpr int kKeyboardBuffer = 16;
constexpr int kMouseBuffer = 1024;
constexpr int kJoyButtonFirstCode = 1000;
// The interface's virtual screen.
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;

// The time value of the joystick actions. The "rotate" action's roll factor is
// this share of a second times the setting times the deflection: a full
// second makes a full deflection roll the ship at the setting's factor at any
// frame rate. The frame time here would keep a full deflection inside the
// dead zone at 16 ms frames and change the roll with the frame rate.
constexpr float kJoyActionTimeMs = 1000.0f;

// The settings variable that scales the "rotate" joystick action.
float RotationFactor() {
    TVarList* list = FindVarListWith("sensitivity");
    return list ? list->Get("sensitivity").AsSingle() : 0.0f;
}

} // namespace

// ---- tree router ------------------------------------------------------------------

TSimpleNode* TTreeInputRouter::Root() {
    IDesktopView* view = InterfaceTools ? InterfaceTools->Desktop() : nullptr;
    return view ? view->Root() : nullptr;
}

void TTreeInputRouter::KeyEvent(int scanCode, bool down) {
    if (TSimpleNode* root = Root()) DispatchKey(root, scanCode, down ? 0 : 1);
}

void TTreeInputRouter::MouseButtonEvent(int button, bool down) {
    if (TSimpleNode* root = Root()) DispatchMouseButton(root, cursor_.x, cursor_.y, down ? 0 : 1, button);
}

void TTreeInputRouter::MouseMoveEvent(int dx, int dy) {
    cursor_.x = std::clamp(cursor_.x + dx, 0, kScreenWidth - 1);
    cursor_.y = std::clamp(cursor_.y + dy, 0, kScreenHeight - 1);
    if (TSimpleNode* root = Root()) DispatchMouseMove(root, cursor_.x, cursor_.y);
}

void TTreeInputRouter::MouseWheelEvent(int delta) {
    if (TSimpleNode* root = Root()) DispatchMouseWheel(root, delta);
}

// ---- manager ------------------------------------------------------------------------

TInputDeviceManager::TInputDeviceManager(std::unique_ptr<platform::IInputBackend> backend)
    : backend_(std::move(backend)) {}

void TInputDeviceManager::Init(platform::IWindow& window) {
    platform::IInputBackend& in = *backend_;
    // Each failure ends the program; the steps after it never run.
    const auto step = [](bool ok, const char* text) {
        if (!ok) ErrorReport(text, "mhl");
        return ok;
    };
    if (!step(in.Start(), "Faild IE_InitDirectInputDevices.DirectInputCreate()")) return;

    const InputDevice kb = InputDevice::Keyboard;
    if (!step(in.Create(kb), "Faild IE_InitDirectInputDevices.di.CreateDevice(GUID_Keyboard)") ||
        !step(in.SetDataFormat(kb), "Faild IE_InitDirectInputDevices.did_keyboard.SetDataFormat()") ||
        !step(in.SetCooperativeLevel(kb, window, false),
              "Faild IE_InitDirectInputDevices.did_keyboard.SetCooperativeLevel()") ||
        !step(in.SetProperty(kb, kKeyboardBuffer),
              "Failed IE_InitDirectInputDevices.did_keyboard.SetProperty()"))
        return;
    // In the background acquiring fails; the window's activation acquires later.
    in.Acquire(kb, true);

    const InputDevice mouse = InputDevice::Mouse;
    if (!step(in.Create(mouse), "Faild IE_InitDirectInputDevices.di.CreateDevice(GUID_Mouse)") ||
        !step(in.SetDataFormat(mouse), "Faild IE_InitDirectInputDevices.did_mouse.SetDataFormat()") ||
        !step(in.SetCooperativeLevel(mouse, window, true),
              "Failed IE_InitDirectInputDevices.did_mouse.SetCooperativeLevel()") ||
        !step(in.SetProperty(mouse, kMouseBuffer),
              "Failed IE_InitDirectInputDevices.did_mouse.SetProperty()"))
        return;
    in.Acquire(mouse, true);

    const InputDevice joy = InputDevice::Joystick;
    // Without a joystick its polling is skipped.
    if (!in.Create(joy)) return;
    if (!step(in.SetDataFormat(joy), "Faild IE_InitDirectInputDevices.did_Joystick.SetDataFormat()") ||
        !step(in.SetCooperativeLevel(joy, window, true),
              "Failed IE_InitDirectInputDevices.did_Joystick.SetCooperativeLevel()") ||
        !step(in.SetProperty(joy, platform::kJoystickAxisRange),
              "Failed IE_InitDirectInputDevices.did_joystick.did_Joystick.SetProperty()"))
        return;
    in.Acquire(joy, true);
    joystick_ = TJoystickWrapper{};
    joystick_.present = true;
}

void TInputDeviceManager::SetKeyboardAcquired(bool on) {
    backend_->Acquire(InputDevice::Keyboard, on);
}

void TInputDeviceManager::SetMouseAcquired(bool on) {
    backend_->Acquire(InputDevice::Mouse, on);
}

void TInputDeviceManager::Tick(float) {
    ReadKeyboard();
    ReadMouse();
    PollJoystick();
}

void TInputDeviceManager::ReadKeyboard() {
    platform::KeyRecord records[kKeyboardBuffer];
    while (size_t n = backend_->ReadKeyboard(records, kKeyboardBuffer))
        for (size_t i = 0; i < n; ++i) Receiver().KeyEvent(records[i].code, records[i].down);
}

void TInputDeviceManager::ReadMouse() {
    // Motion between two button or wheel records goes out as one move.
    int dx = 0, dy = 0;
    const auto flushMove = [&] {
        if (dx == 0 && dy == 0) return;
        Receiver().MouseMoveEvent(dx, mouseInversion_ ? -dy : dy);
        dx = dy = 0;
    };
    constexpr size_t kChunk = 64;
    platform::MouseRecord records[kChunk];
    while (size_t n = backend_->ReadMouse(records, kChunk)) {
        for (size_t i = 0; i < n; ++i) {
            const platform::MouseRecord& r = records[i];
            switch (r.kind) {
            case platform::MouseRecord::Kind::Move:
                dx += r.dx;
                dy += r.dy;
                break;
            case platform::MouseRecord::Kind::Button:
                flushMove();
                Receiver().MouseButtonEvent(r.button, r.down);
                break;
            case platform::MouseRecord::Kind::Wheel:
                flushMove();
                Receiver().MouseWheelEvent(r.wheel);
                break;
            }
        }
    }
    flushMove();
}

void TInputDeviceManager::PollJoystick() {
    if (!joystick_.present) return;
    platform::JoystickState state;
    if (!backend_->PollJoystick(state)) return;
    const platform::JoystickState& prev = joystick_.previous;
    for (size_t i = 0; i < state.buttons.size(); ++i) {
        const bool now = (state.buttons[i] & 0x80) != 0, was = (prev.buttons[i] & 0x80) != 0;
        if (now != was) Receiver().KeyEvent(kJoyButtonFirstCode + static_cast<int>(i), now);
    }
    for (size_t i = 0; i < state.axes.size(); ++i) {
        const int inc = kJoyAxisFirstCode + 2 * static_cast<int>(i);
        const bool incNow = state.axes[i] > kJoyAxisKeyThreshold,
                   incWas = prev.axes[i] > kJoyAxisKeyThreshold;
        if (incNow != incWas) Receiver().KeyEvent(inc, incNow);
        const bool decNow = state.axes[i] < -kJoyAxisKeyThreshold,
                   decWas = prev.axes[i] < -kJoyAxisKeyThreshold;
        if (decNow != decWas) Receiver().KeyEvent(inc + 1, decNow);
    }
    const float factor = RotationFactor();
    const auto press = [this](int code, bool down) { Receiver().KeyEvent(code, down); };
    ApplyJoyActions(
        state, prev,
        [&](int32_t a, int32_t p, const std::string& action, int code, bool invert, float time) {
            RunJoyAction(a, p, action, code, invert, time, factor, press);
        },
        kJoyActionTimeMs);
    joystick_.previous = state;
}

// ---- start-up ---------------------------------------------------------------------------

void IE_InitDirectInputDevices(platform::IWindow& window) {
    auto backend = window.NativeHandle()
                       ? platform::CreateSdlInput()
                       : std::unique_ptr<platform::IInputBackend>(new platform::ScriptedInput);
    InputDeviceManager = std::make_unique<TInputDeviceManager>(std::move(backend));
    InputDeviceManager->Init(window);
}

void InstallInputDevices() {
    InterfaceParts& parts = GetInterfaceParts();
    parts.initInput = [](platform::IWindow& window) { IE_InitDirectInputDevices(window); };
    parts.setInputAcquired = [](bool on) {
        if (!InputDeviceManager) return;
        InputDeviceManager->SetKeyboardAcquired(on);
        InputDeviceManager->SetMouseAcquired(on);
    };
    parts.tickInput = [](float dt) {
        if (InputDeviceManager) InputDeviceManager->Tick(dt);
    };
    parts.freeInput = [] { InputDeviceManager.reset(); };
    SetEngineFunction("Lua_SetJoyAction", LuaSetJoyAction);
}

} // namespace vesk
