// Joystick axis actions: Lua_SetJoyAction's tables, the order of the actions
// per poll and the exact engine_Serv texts of rotate, strafe and velocity.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/lua_functions.h"
#include "core/lua_machine.h"
#include "interface/joy_actions.h"
#include "support/error_trap.h"

namespace vesk::test {
namespace {

std::vector<std::string> Calls;

// Records each call's arguments joined by commas.
int RecordServ(lua_State* L) {
    std::string call;
    for (int i = 1; i <= lua_gettop(L); ++i) call += (i > 1 ? "," : "") + std::string(lua_tostring(L, i));
    Calls.push_back(call);
    return 0;
}

class JoyActionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetEngineFunction("engine_Serv", RecordServ);
        SetEngineFunction("Lua_SetJoyAction", LuaSetJoyAction);
        LuaDebugMode = false;
        CreateLuaMachine();
        ClearJoyActions();
        Calls.clear();
    }
    void TearDown() override {
        ClearJoyActions();
        FreeLuaMachine();
        SetEngineFunction("engine_Serv", nullptr);
        SetEngineFunction("Lua_SetJoyAction", nullptr);
    }
    // One action run with a rotation factor of 100 and a time value of 20 ms;
    // presses recorded as "<code> down" / "<code> up" among the calls.
    std::vector<std::string> Run(const std::string& action, int32_t a, int32_t p, bool invert = false,
                                 int code = 1036) {
        Calls.clear();
        RunJoyAction(a, p, action, code, invert, 20.0f, 100.0f,
                     [](int c, bool down) { Calls.push_back(std::to_string(c) + (down ? " down" : " up")); });
        return Calls;
    }
    ErrorTrap trap;
};

using Texts = std::vector<std::string>;
const std::string kStop = "PHYSICS,Ship,StopRotate";
const std::string kStrafeStop = "PHYSICS,Ship,StrafeStop";

TEST_F(JoyActionsTest, SetJoyActionFillsTheTablesOfKnownAxisNamesOnly) {
    LuaMachine->RunString(R"(Lua_SetJoyAction("JOYSTICK_AXIS_LY_DEC", "simple", 1))");
    LuaMachine->RunString(R"(Lua_SetJoyAction("JOYSTICK_AXIS_RZ_INC", "rotate", "1"))");
    LuaMachine->RunString(R"(Lua_SetJoyAction("JOYSTICK_AXIS_RX_INC", "strafe", 2))");
    LuaMachine->RunString(R"(Lua_SetJoyAction("JOYSTICK_AXIS_RY_INC", "velocity"))");
    EXPECT_EQ(JoyActionText(1039), "simple");
    EXPECT_TRUE(JoyActionInvert(1039));
    EXPECT_EQ(JoyActionText(1046), "rotate");
    EXPECT_TRUE(JoyActionInvert(1046));
    EXPECT_EQ(JoyActionText(1042), "strafe");
    EXPECT_FALSE(JoyActionInvert(1042)); // only 1 inverts
    EXPECT_EQ(JoyActionText(1044), "velocity");
    EXPECT_FALSE(JoyActionInvert(1044));
    // Unknown or lower-case names change nothing; codes outside the table read empty.
    LuaMachine->RunString(R"(Lua_SetJoyAction("JOYSTICK_AXIS_LY_dec", "rotate", 0))");
    LuaMachine->RunString(R"(Lua_SetJoyAction("JOYSTICK_BUTTON1", "rotate", 1))");
    EXPECT_EQ(JoyActionText(1039), "simple");
    EXPECT_TRUE(JoyActionInvert(1039));
    for (int code : {1035, 1057, 1000, -1}) {
        EXPECT_EQ(JoyActionText(code), "");
        EXPECT_FALSE(JoyActionInvert(code));
    }
    EXPECT_TRUE(trap.reports.empty());
    // A flag that is not a number is the function's failure (the runner then
    // reports the broken chunk as well).
    EXPECT_THROW(LuaMachine->RunString(R"(Lua_SetJoyAction("JOYSTICK_AXIS_LX_INC", "rotate", "yes"))"),
                 Halted);
    ASSERT_FALSE(trap.reports.empty());
    EXPECT_EQ(trap.reports[0].text, "function Lua_SetJoyAction");
    EXPECT_EQ(trap.reports[0].flags, "mhl");
    EXPECT_EQ(JoyActionText(1036), "");
}

TEST_F(JoyActionsTest, EachAxisRunsItsIncActionThenASimpleDecAction) {
    SetJoyAction("JOYSTICK_AXIS_LX_INC", "rotate", false);
    SetJoyAction("JOYSTICK_AXIS_LX_DEC", "simple", true);
    SetJoyAction("JOYSTICK_AXIS_LY_DEC", "rotate", false); // a DEC code runs only "simple"
    SetJoyAction("JOYSTICK_AXIS_RZ_INC", "strafe", false);
    platform::JoystickState now, before;
    now.axes = {1, 2, 3, 4, 5, 6};
    before.axes = {10, 20, 30, 40, 50, 60};
    std::vector<std::string> runs;
    ApplyJoyActions(
        now, before,
        [&](int32_t a, int32_t p, const std::string& action, int code, bool invert, float time) {
            runs.push_back(std::to_string(code) + " " + action + " " + std::to_string(a) + " " +
                           std::to_string(p) + (invert ? " inv " : " ") +
                           std::to_string(static_cast<int>(time)));
        },
        33.0f);
    EXPECT_EQ(runs, (Texts{"1036 rotate 1 10 33", "1037 simple 1 10 inv 33", "1046 strafe 6 60 33"}));
}

TEST_F(JoyActionsTest, RotateSendsStopBeforeEachTurnAndRestsInTheDeadZone) {
    // r = 20 / 1000 * 100 * a / 1000 = a / 500
    EXPECT_EQ(Run("rotate", 250, 250), (Texts{kStop, "PHYSICS,Ship,RotateLeft,0.5"}));
    EXPECT_EQ(Run("rotate", -500, -500), (Texts{kStop, "PHYSICS,Ship,RotateRight,1"}));
    EXPECT_EQ(Run("rotate", 250, 250, true), (Texts{kStop, "PHYSICS,Ship,RotateRight,0.5"}));
    EXPECT_EQ(Run("rotate", 300, 0), (Texts{kStop, "PHYSICS,Ship,RotateLeft,0.600000023841858"}));
    // Dead zone: silent at rest, one stop when the axis moved.
    EXPECT_EQ(Run("rotate", 40, 40), Texts{});
    EXPECT_EQ(Run("rotate", 50, 50), Texts{}); // r = 0.1 is still inside
    EXPECT_EQ(Run("rotate", 40, 300), Texts{kStop});
}

TEST_F(JoyActionsTest, StrafeStopsAtEveryPollAndSteersBeyondAHundred) {
    struct Case {
        int32_t a;
        bool invert;
        Texts calls;
    } cases[] = {
        {0, false, {kStrafeStop}},
        {100, false, {kStrafeStop}},
        {-100, false, {kStrafeStop}},
        {101, false, {kStrafeStop, "PHYSICS,Ship,StrafeLeft"}},
        {-101, false, {kStrafeStop, "PHYSICS,Ship,StrafeRight"}},
        {800, true, {kStrafeStop, "PHYSICS,Ship,StrafeRight"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Run("strafe", c.a, c.a, c.invert), c.calls) << c.a;
}

TEST_F(JoyActionsTest, VelocityStepsOncePerFiftyUnitsOfMovement) {
    const std::string up = "SHIP,SPEED,UP", down = "SHIP,SPEED,DOWN";
    EXPECT_EQ(Run("velocity", -120, 0), (Texts{up, up}));
    EXPECT_EQ(Run("velocity", 120, 0), (Texts{down, down}));
    EXPECT_EQ(Run("velocity", 120, 0, true), (Texts{up, up}));
    EXPECT_EQ(Run("velocity", 50, 0), Texts{});
    EXPECT_EQ(Run("velocity", -51, 0), (Texts{up}));
    EXPECT_EQ(Run("velocity", 1000, -1000), Texts(39, down));
}

TEST_F(JoyActionsTest, SimplePressesTheCodePerHundredUnitsEitherWay) {
    EXPECT_EQ(Run("simple", 250, 0, false, 1041), (Texts{"1041 down", "1041 up", "1041 down", "1041 up"}));
    EXPECT_EQ(Run("simple", -250, 0, false, 1041), (Texts{"1041 down", "1041 up", "1041 down", "1041 up"}));
    EXPECT_EQ(Run("simple", 101, 0, false, 1041), (Texts{"1041 down", "1041 up"}));
    EXPECT_EQ(Run("simple", 100, 0, false, 1041), Texts{});
    EXPECT_EQ(Run("simple", 200, 0, false, 1041), (Texts{"1041 down", "1041 up"}));
    // Any text that is no known action works as "simple".
    EXPECT_EQ(Run("fire", 0, 150), (Texts{"1036 down", "1036 up"}));
}

} // namespace
} // namespace vesk::test
