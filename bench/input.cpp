// One frame's input: a busy frame of key and mouse records read and handed
// on, and a joystick poll with bound axes whose actions run no script.
#include "interface/input_devices.h"
#include "interface/joy_actions.h"
#include "platform/window.h"

#include <benchmark/benchmark.h>

namespace {

using namespace vesk;

class CountingReceiver : public IInputReceiver {
public:
    int events = 0;
    void KeyEvent(int, bool) override { ++events; }
    void MouseButtonEvent(int, bool) override { ++events; }
    void MouseMoveEvent(int, int) override { ++events; }
    void MouseWheelEvent(int) override { ++events; }
};

void BM_BusyFrame(benchmark::State& state) {
    auto backend = std::make_unique<platform::ScriptedInput>();
    platform::ScriptedInput* in = backend.get();
    TInputDeviceManager m(std::move(backend));
    CountingReceiver r;
    m.SetReceiver(&r);
    platform::NullWindow w;
    m.Init(w);
    for (auto _ : state) {
        // 8 keys pressed and released, 200 motions around 20 clicks and wheel turns.
        for (int k = 16; k < 24; ++k) in->Key(k, true);
        for (int k = 16; k < 24; ++k) in->Key(k, false);
        for (int i = 0; i < 20; ++i) {
            for (int j = 0; j < 10; ++j) in->MouseMove(1, -1);
            in->MouseButton(0, i % 2 == 0);
            in->MouseWheel(120);
        }
        m.Tick(16.0f);
    }
    benchmark::DoNotOptimize(r.events);
}
BENCHMARK(BM_BusyFrame);

void BM_JoystickPollSimpleActions(benchmark::State& state) {
    ClearJoyActions();
    for (const char* name : {"JOYSTICK_AXIS_LX_DEC", "JOYSTICK_AXIS_LY_DEC", "JOYSTICK_AXIS_RZ_DEC"})
        SetJoyAction(name, "simple", false);
    auto backend = std::make_unique<platform::ScriptedInput>();
    platform::ScriptedInput* in = backend.get();
    in->AttachJoystick();
    TInputDeviceManager m(std::move(backend));
    CountingReceiver r;
    m.SetReceiver(&r);
    platform::NullWindow w;
    m.Init(w);
    platform::JoystickState s;
    int32_t sign = 1;
    for (auto _ : state) {
        sign = -sign;
        s.axes = {sign * 900, sign * 300, 0, 0, 0, sign * 700};
        s.buttons[0] = sign > 0 ? 0x80 : 0;
        in->SetJoystick(s);
        m.Tick(16.0f);
    }
    benchmark::DoNotOptimize(r.events);
    ClearJoyActions();
}
BENCHMARK(BM_JoystickPollSimpleActions);

} // namespace
