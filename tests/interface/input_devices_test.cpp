// The input-device manager: set-up steps and their fault texts, scripted input
// sequences reaching the receiver, focus loss, the joystick's key codes and a
// virtual SDL joystick driving the axis actions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/lua_functions.h"
#include "core/lua_machine.h"
#include "core/services.h"
#include "core/var_list.h"
#include "interface/desktop.h"
#include "interface/input_devices.h"
#include "interface/interface_parts.h"
#include "interface/interface_services.h"
#include "interface/joy_actions.h"
#include "interface/key_names.h"
#include "interface_fixture.h"
#include "platform/window.h"
#include "support/error_trap.h"

namespace vesk::test {
namespace {

using platform::InputDevice;
using platform::InputStep;
using platform::ScriptedInput;

// Every event as text, in order.
class RecordingReceiver : public IInputReceiver {
public:
    std::vector<std::string> events;
    void KeyEvent(int code, bool down) override {
        events.push_back("key " + std::to_string(code) + (down ? " down" : " up"));
    }
    void MouseButtonEvent(int button, bool down) override {
        events.push_back("button " + std::to_string(button) + (down ? " down" : " up"));
    }
    void MouseMoveEvent(int dx, int dy) override {
        events.push_back("move " + std::to_string(dx) + " " + std::to_string(dy));
    }
    void MouseWheelEvent(int delta) override { events.push_back("wheel " + std::to_string(delta)); }
};

struct Manager {
    explicit Manager(bool joystick = false) {
        auto b = std::make_unique<ScriptedInput>();
        in = b.get();
        if (joystick) in->AttachJoystick();
        manager = std::make_unique<TInputDeviceManager>(std::move(b));
        manager->SetReceiver(&receiver);
        window.Create({}, nullptr);
        manager->Init(window);
    }
    std::vector<std::string> Tick(float dt = 16.0f) {
        receiver.events.clear();
        manager->Tick(dt);
        return receiver.events;
    }
    platform::NullWindow window;
    ScriptedInput* in = nullptr;
    RecordingReceiver receiver;
    std::unique_ptr<TInputDeviceManager> manager;
};

using Events = std::vector<std::string>;

TEST(InputDevices, EachFailingSetUpStepEndsTheProgramWithItsText) {
    struct Case {
        InputDevice device;
        InputStep step;
        const char* text;
    } cases[] = {
        {InputDevice::Keyboard, InputStep::Start, "Faild IE_InitDirectInputDevices.DirectInputCreate()"},
        {InputDevice::Keyboard, InputStep::Create,
         "Faild IE_InitDirectInputDevices.di.CreateDevice(GUID_Keyboard)"},
        {InputDevice::Keyboard, InputStep::Format,
         "Faild IE_InitDirectInputDevices.did_keyboard.SetDataFormat()"},
        {InputDevice::Keyboard, InputStep::Cooperative,
         "Faild IE_InitDirectInputDevices.did_keyboard.SetCooperativeLevel()"},
        {InputDevice::Keyboard, InputStep::Property,
         "Failed IE_InitDirectInputDevices.did_keyboard.SetProperty()"},
        {InputDevice::Mouse, InputStep::Create,
         "Faild IE_InitDirectInputDevices.di.CreateDevice(GUID_Mouse)"},
        {InputDevice::Mouse, InputStep::Format, "Faild IE_InitDirectInputDevices.did_mouse.SetDataFormat()"},
        {InputDevice::Mouse, InputStep::Cooperative,
         "Failed IE_InitDirectInputDevices.did_mouse.SetCooperativeLevel()"},
        {InputDevice::Mouse, InputStep::Property, "Failed IE_InitDirectInputDevices.did_mouse.SetProperty()"},
        {InputDevice::Joystick, InputStep::Format,
         "Faild IE_InitDirectInputDevices.did_Joystick.SetDataFormat()"},
        {InputDevice::Joystick, InputStep::Cooperative,
         "Failed IE_InitDirectInputDevices.did_Joystick.SetCooperativeLevel()"},
        {InputDevice::Joystick, InputStep::Property,
         "Failed IE_InitDirectInputDevices.did_joystick.did_Joystick.SetProperty()"},
    };
    for (const Case& c : cases) {
        ErrorTrap trap;
        auto b = std::make_unique<ScriptedInput>();
        b->AttachJoystick();
        b->Fail(c.device, c.step);
        TInputDeviceManager m(std::move(b));
        platform::NullWindow w;
        EXPECT_THROW(m.Init(w), Halted) << c.text;
        EXPECT_EQ(trap.lastFatal, c.text);
        ASSERT_EQ(trap.reports.size(), 1u);
        EXPECT_EQ(trap.reports[0].flags, "mhl");
    }
}

TEST(InputDevices, SetUpSizesBuffersAndAcquiresKeyboardAndMouse) {
    ErrorTrap trap;
    Manager m(true);
    EXPECT_TRUE(trap.reports.empty());
    EXPECT_EQ(m.in->Property(InputDevice::Keyboard), 16);
    EXPECT_EQ(m.in->Property(InputDevice::Mouse), 1024);
    EXPECT_EQ(m.in->Property(InputDevice::Joystick), platform::kJoystickAxisRange);
    EXPECT_TRUE(m.in->Acquired(InputDevice::Keyboard));
    EXPECT_TRUE(m.in->Acquired(InputDevice::Mouse));
    EXPECT_TRUE(m.manager->HasJoystick());
    // A failed acquisition is not a set-up fault: the activation acquires later.
    auto b = std::make_unique<ScriptedInput>();
    b->Fail(InputDevice::Mouse, InputStep::Acquire);
    TInputDeviceManager quiet(std::move(b));
    quiet.Init(m.window);
    EXPECT_TRUE(trap.reports.empty());
}

TEST(InputDevices, ScriptedSequencesReachTheReceiverInOrder) {
    ErrorTrap trap;
    Manager m;
    m.in->Key(42, true); // left Shift
    m.in->Key(59, true); // F1
    m.in->Key(59, true); // a repeat is no new press
    m.in->Key(59, false);
    m.in->MouseMove(3, 4);
    m.in->MouseMove(1, 1);
    m.in->MouseButton(0, true);
    m.in->MouseWheel(-240);
    m.in->MouseMove(-2, 0);
    m.in->MouseButton(0, false);
    m.in->MouseButton(1, true);
    m.in->MouseButton(1, false);
    EXPECT_EQ(m.Tick(), (Events{"key 42 down", "key 59 down", "key 59 up", "move 4 5", "button 0 down",
                                "wheel -240", "move -2 0", "button 0 up", "button 1 down", "button 1 up"}));
    EXPECT_TRUE(m.Tick().empty());
    m.manager->SetMouseInversion(true);
    m.in->MouseMove(5, 7);
    EXPECT_EQ(m.Tick(), (Events{"move 5 -7"}));
    // A key released that was never seen pressed sends nothing.
    m.in->Key(30, false);
    m.in->Key(42, false);
    EXPECT_EQ(m.Tick(), (Events{"key 42 up"}));
}

TEST(InputDevices, AFullKeyboardBufferLosesPressesButNeverReleases) {
    ErrorTrap trap;
    Manager m;
    for (int code = 2; code < 22; ++code) m.in->Key(code, true);
    EXPECT_EQ(m.Tick().size(), 16u);
    for (int code = 2; code < 22; ++code) m.in->Key(code, false);
    const Events ups = m.Tick();
    ASSERT_EQ(ups.size(), 16u);
    EXPECT_EQ(ups.front(), "key 2 up");
    EXPECT_EQ(ups.back(), "key 17 up");
}

TEST(InputDevices, InTheBackgroundNothingArrivesAndHeldKeysAreReleased) {
    ErrorTrap trap;
    Manager m;
    m.in->Key(56, true); // left Alt, as Alt+Tab begins
    m.in->MouseButton(2, true);
    EXPECT_EQ(m.Tick(), (Events{"key 56 down", "button 2 down"}));
    m.in->SetForeground(false);
    EXPECT_FALSE(m.in->Acquired(InputDevice::Keyboard));
    EXPECT_FALSE(m.in->Acquired(InputDevice::Mouse));
    // The window procedure acquires on focus loss; in the background that fails.
    m.manager->SetKeyboardAcquired(true);
    m.manager->SetMouseAcquired(true);
    m.in->Key(30, true);
    m.in->MouseMove(10, 10);
    m.in->MouseWheel(120);
    EXPECT_EQ(m.Tick(), (Events{"key 56 up", "button 2 up"}));
    // Back in front: input waits for the activation's acquisition.
    m.in->SetForeground(true);
    m.in->Key(30, true);
    EXPECT_TRUE(m.Tick().empty());
    m.manager->SetKeyboardAcquired(true);
    m.manager->SetMouseAcquired(true);
    m.in->Key(30, true);
    m.in->MouseMove(1, 2);
    EXPECT_EQ(m.Tick(), (Events{"key 30 down", "move 1 2"}));
    // Released on purpose (the window going away): the same.
    m.manager->SetKeyboardAcquired(false);
    m.in->Key(31, true);
    EXPECT_EQ(m.Tick(), (Events{"key 30 up"}));
}

TEST(InputDevices, WithoutAJoystickNoJoystickCodesEverArrive) {
    ErrorTrap trap;
    Manager m(false);
    EXPECT_FALSE(m.manager->HasJoystick());
    platform::JoystickState s;
    s.axes = {1000, -1000, 1000, -1000, 1000, -1000};
    s.buttons.fill(0x80);
    m.in->SetJoystick(s);
    m.in->Key(57, true);
    EXPECT_EQ(m.Tick(), (Events{"key 57 down"}));
    EXPECT_TRUE(m.Tick().empty());
}

TEST(InputDevices, JoystickButtonsAndAxisDirectionsAreKeys) {
    ErrorTrap trap;
    ClearJoyActions();
    Manager m(true);
    EXPECT_TRUE(m.Tick().empty()); // at rest, as the kept state starts
    platform::JoystickState s;
    s.buttons[0] = 0x80;
    s.buttons[31] = 0x80;
    s.axes[0] = 501;  // X past half way: LX_INC held
    s.axes[5] = -800; // rotation Z: RZ_DEC held
    s.axes[1] = 500;  // exactly half way is not held
    m.in->SetJoystick(s);
    EXPECT_EQ(m.Tick(), (Events{"key 1000 down", "key 1031 down", "key 1036 down", "key 1047 down"}));
    EXPECT_TRUE(m.Tick().empty());
    s.buttons[0] = 0;
    s.axes[0] = -600; // straight across: INC up, DEC down
    m.in->SetJoystick(s);
    EXPECT_EQ(m.Tick(), (Events{"key 1000 up", "key 1036 up", "key 1037 down"}));
}

// ---- engine_Serv recorded from the axis actions --------------------------------------

std::vector<std::string> ServCalls;

int StubServ(lua_State* L) {
    std::string call;
    for (int i = 1; i <= lua_gettop(L); ++i) call += (i > 1 ? "," : "") + std::string(lua_tostring(L, i));
    ServCalls.push_back(call);
    return 0;
}

class JoystickPollTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetEngineFunction("engine_Serv", StubServ);
        SetEngineFunction("Lua_SetJoyAction", LuaSetJoyAction);
        InitVarLists();
        IeVars->Put("sensitivity", VarValue(1.0f)); // as the game's settings give it
        LuaDebugMode = false;
        CreateLuaMachine();
        ClearJoyActions();
        ServCalls.clear();
    }
    void TearDown() override {
        ClearJoyActions();
        FreeLuaMachine();
        FreeAllVarLists();
        SetEngineFunction("engine_Serv", nullptr);
        SetEngineFunction("Lua_SetJoyAction", nullptr);
    }
    ErrorTrap trap;
};

TEST_F(JoystickPollTest, ScriptedAxesRunTheBoundActions) {
    Manager m(true);
    LuaMachine->RunString(R"(Lua_SetJoyAction("JOYSTICK_AXIS_LX_INC", "rotate", 0))");
    LuaMachine->RunString(R"(Lua_SetJoyAction("JOYSTICK_AXIS_LY_INC", "strafe", 0))");
    LuaMachine->RunString(R"(Lua_SetJoyAction("JOYSTICK_AXIS_RZ_DEC", "simple", 0))");
    platform::JoystickState s;
    s.axes[0] = 500; // half way: half the roll
    s.axes[5] = 201;
    m.in->SetJoystick(s);
    EXPECT_EQ(m.Tick(20.0f), (Events{"key 1047 down", "key 1047 up", "key 1047 down", "key 1047 up"}));
    EXPECT_EQ(ServCalls, (std::vector<std::string>{"PHYSICS,Ship,StopRotate", "PHYSICS,Ship,RotateLeft,0.5",
                                                   "PHYSICS,Ship,StrafeStop"}));
}

// The stick's X axis rolls the ship with the game's own setting of 1: a full
// deflection gives the full roll, at short and long frames alike, and only a
// stick near its centre rests in the dead zone.
TEST_F(JoystickPollTest, TheRotateAxisRollsTheShipAtAnyFrameTime) {
    LuaMachine->RunString(R"(Lua_SetJoyAction("JOYSTICK_AXIS_LX_INC", "rotate", 0))");
    struct Case {
        int32_t axis;
        std::vector<std::string> calls;
    } cases[] = {
        {1000, {"PHYSICS,Ship,StopRotate", "PHYSICS,Ship,RotateLeft,1"}},
        {-1000, {"PHYSICS,Ship,StopRotate", "PHYSICS,Ship,RotateRight,1"}},
        {250, {"PHYSICS,Ship,StopRotate", "PHYSICS,Ship,RotateLeft,0.25"}},
        {80, {"PHYSICS,Ship,StopRotate"}}, // into the dead zone: the roll stops once
    };
    for (float frame : {5.0f, 16.0f, 200.0f, 1000.0f}) {
        Manager m(true);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "frame " << frame << " ms, axis " << c.axis);
            platform::JoystickState s;
            s.axes[0] = c.axis;
            m.in->SetJoystick(s);
            ServCalls.clear();
            m.Tick(frame);
            EXPECT_EQ(ServCalls, c.calls);
        }
        // Resting in the dead zone sends nothing more.
        ServCalls.clear();
        m.Tick(frame);
        EXPECT_TRUE(ServCalls.empty());
    }
}

TEST_F(JoystickPollTest, AVirtualSdlJoystickDrivesTheAxisActions) {
    setenv("SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS", "1", 1);
    platform::VirtualJoystick joy(6, 8, 0);
    if (!joy.Attached()) GTEST_SKIP() << "no virtual joystick";
    // A virtual controller's triggers rest at the low end.
    joy.SetAxis(4, 0);
    joy.SetAxis(5, 0);
    TInputDeviceManager m(platform::CreateSdlInput());
    RecordingReceiver receiver;
    m.SetReceiver(&receiver);
    platform::NullWindow w;
    m.Init(w);
    ASSERT_TRUE(m.HasJoystick());
    LuaMachine->RunString(R"(Lua_SetJoyAction("JOYSTICK_AXIS_LX_INC", "strafe", 1))");
    LuaMachine->RunString(R"(Lua_SetJoyAction("JOYSTICK_AXIS_LZ_INC", "velocity", 0))");
    joy.SetAxis(0, 32767);
    joy.SetAxis(2, -32768 / 2 - 2000); // about -561: eleven speed steps
    joy.SetButton(3, true);
    m.Tick(16.0f);
    EXPECT_EQ(receiver.events, (Events{"key 1003 down", "key 1036 down", "key 1041 down"}));
    std::vector<std::string> expected{"PHYSICS,Ship,StrafeStop", "PHYSICS,Ship,StrafeRight"};
    for (int i = 0; i < 11; ++i) expected.push_back("SHIP,SPEED,UP");
    EXPECT_EQ(ServCalls, expected);
}

// ---- installed as the interface's input part ---------------------------------------------

class InstalledInputTest : public InterfaceTest {
protected:
    void TearDown() override {
        if (GetInterfaceParts().freeInput) GetInterfaceParts().freeInput();
        GetInterfaceParts() = InterfaceParts{};
        InterfaceTest::TearDown();
    }
};

TEST_F(InstalledInputTest, WithoutADesktopEventsWalkTheNodeTree) {
    InstallInputDevices();
    InterfaceParts& parts = GetInterfaceParts();
    ASSERT_TRUE(parts.initInput && parts.setInputAcquired && parts.tickInput && parts.freeInput);
    EXPECT_NE(GetEngineFunction("Lua_SetJoyAction"), nullptr);
    platform::NullWindow w;
    w.Create({}, nullptr);
    parts.initInput(w);
    ASSERT_TRUE(InputDeviceManager);
    auto& in = dynamic_cast<ScriptedInput&>(InputDeviceManager->Backend());
    EXPECT_FALSE(InputDeviceManager->HasJoystick());

    TMegaButton* b = Button(root, "fire", 500, 370, 30, 30);
    b->SetProperty("HOTKEY", "F1");
    b->SetProperty("ONKEYDOWN", "keyed = slf");
    b->SetProperty("ONMOUSEDOWN", "pressed = slf");
    in.Key(59, true);
    in.MouseButton(0, true);
    parts.tickInput(16.0f);
    EXPECT_EQ(Global("keyed"), "fire");
    EXPECT_EQ(Global("pressed"), "fire");

    // Released with the window: nothing more arrives.
    parts.setInputAcquired(false);
    Lua("keyed = nil");
    in.Key(59, true);
    parts.tickInput(16.0f);
    EXPECT_EQ(Global("keyed"), "");
    parts.freeInput();
    EXPECT_FALSE(InputDeviceManager);
}

// With the desktop's service installed, the devices' events go to the desktop
// (its modifier bits, cursor and hot keys), not straight down the tree.
TEST_F(InstalledInputTest, WithTheDesktopServiceEventsGoToTheDesktop) {
    CoreServices services;
    InstallInterfaceServices(services);
    InstallInputDevices();
    IDesktop& d = *services.desktop;
    d.Create();
    ASSERT_NE(CurrentDesktop(), nullptr);
    platform::NullWindow w;
    w.Create({}, nullptr);
    d.InitInput(w);
    ASSERT_TRUE(InputDeviceManager);
    auto& in = dynamic_cast<ScriptedInput&>(InputDeviceManager->Backend());
    const TIPoint before = CurrentDesktop()->CursorPosition();
    in.MouseMove(-4000, -3000);
    d.TickInput(16.0f);
    EXPECT_NE(CurrentDesktop()->CursorPosition().x, before.x);
    EXPECT_EQ(CurrentDesktop()->CursorPosition(), (TIPoint{0, 0})); // clamped at the corner
    CurrentDesktop()->SetProperty("INVERSION", "1");
    d.Release();
    in.MouseMove(10, 10); // nothing to receive them any more: no crash
    d.TickInput(16.0f);
    if (TEODestroyManager) TEODestroyManager->Flush();
}

} // namespace
} // namespace vesk::test

namespace vesk::test {
namespace {

// Every keyboard key the interface names can come from some SDL scancode.
TEST(InputDevices, EveryNamedKeyboardKeyIsReachable) {
    bool reachable[256] = {};
    for (int sdl = 0; sdl < 512; ++sdl) reachable[platform::ScanCodeFromSdl(sdl)] = true;
    int named = 0;
    for (int code = 1; code < 256; ++code) {
        if (KeyNameByCode(code).empty()) continue;
        ++named;
        EXPECT_TRUE(reachable[code]) << KeyNameByCode(code) << " " << code;
    }
    EXPECT_GT(named, 90);
}

} // namespace
} // namespace vesk::test
