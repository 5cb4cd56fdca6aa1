// Key scan codes from SDL's scancodes (USB usage numbers) and the scripted
// backend's acquisition rules.
#include <gtest/gtest.h>

#include "platform/input.h"
#include "platform/window.h"

namespace vesk::platform {
namespace {

TEST(InputScanCodes, SdlScancodesGiveTheKeysScanCodes) {
    struct Case {
        int sdl;
        int code;
    } cases[] = {
        {4, 0x1E},   // A
        {29, 0x2C},  // Z
        {30, 0x02},  // 1
        {39, 0x0B},  // 0
        {40, 0x1C},  // Enter
        {41, 0x01},  // Escape
        {44, 0x39},  // Space
        {53, 0x29},  // ` ~
        {58, 0x3B},  // F1
        {68, 0x57},  // F11
        {69, 0x58},  // F12
        {70, 0xB7},  // Print Screen
        {75, 0xC9},  // Page Up
        {79, 0xCD},  // Right
        {82, 0xC8},  // Up
        {84, 0xB5},  // keypad /
        {85, 0x37},  // keypad *
        {88, 0x9C},  // keypad Enter
        {89, 0x4F},  // keypad 1
        {98, 0x52},  // keypad 0
        {99, 0x53},  // keypad .
        {103, 0x8D}, // keypad =
        {224, 0x1D}, // left Ctrl
        {225, 0x2A}, // left Shift
        {226, 0x38}, // left Alt
        {228, 0x9D}, // right Ctrl
        {229, 0x36}, // right Shift
        {230, 0xB8}, // right Alt
        {0, 0},      // unknown
        {-5, 0},     {100000, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ScanCodeFromSdl(c.sdl), c.code) << c.sdl;
}

TEST(InputScanCodes, NoTwoKeysOfTheMainBlockShareACode) {
    int seen[256] = {};
    // Letters, digits, punctuation, F1-F12, the navigation block and the keypad.
    for (int sdl = 4; sdl <= 99; ++sdl) {
        if (sdl == 50) continue; // the non-US hash key is the backslash key
        const int code = ScanCodeFromSdl(sdl);
        ASSERT_GT(code, 0) << sdl;
        EXPECT_EQ(seen[code], 0) << sdl << " and " << seen[code] << " share " << code;
        seen[code] = sdl;
    }
}

TEST(ScriptedInputBackend, MouseMotionAddsUpAndAFullBufferKeepsReleases) {
    ScriptedInput in;
    NullWindow w;
    ASSERT_TRUE(in.Start());
    ASSERT_TRUE(in.SetProperty(InputDevice::Mouse, 2));
    in.Acquire(InputDevice::Mouse, true);
    in.MouseMove(1, 2);
    in.MouseMove(3, 4);
    in.MouseButton(0, true);
    in.MouseWheel(120); // the buffer is full: lost
    in.MouseButton(0, false);
    MouseRecord r[8];
    ASSERT_EQ(in.ReadMouse(r, 8), 3u);
    EXPECT_EQ(r[0].kind, MouseRecord::Kind::Move);
    EXPECT_EQ(r[0].dx, 4);
    EXPECT_EQ(r[0].dy, 6);
    EXPECT_EQ(r[1].kind, MouseRecord::Kind::Button);
    EXPECT_TRUE(r[1].down);
    EXPECT_EQ(r[2].kind, MouseRecord::Kind::Button);
    EXPECT_FALSE(r[2].down);
    // No joystick attached: none is made and none is polled.
    JoystickState s;
    EXPECT_FALSE(in.Create(InputDevice::Joystick));
    EXPECT_FALSE(in.PollJoystick(s));
}

} // namespace
} // namespace vesk::platform
