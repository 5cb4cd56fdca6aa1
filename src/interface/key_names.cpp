#include "interface/key_names.h"

namespace vesk {

namespace {

struct KeyName {
    const char* name;
    int code;
};

// The order matters only where two names share a code: the first one names it.
constexpr KeyName kKeys[] = {
    {"SPACE", 57},
    {"1", 2},
    {"2", 3},
    {"3", 4},
    {"4", 5},
    {"5", 6},
    {"6", 7},
    {"7", 8},
    {"8", 9},
    {"9", 10},
    {"0", 11},
    {"F1", 59},
    {"F2", 60},
    {"F3", 61},
    {"F4", 62},
    {"F5", 63},
    {"F6", 64},
    {"F7", 65},
    {"F8", 66},
    {"F9", 67},
    {"F10", 68},
    {"F11", 87},
    {"F12", 88},
    {"-", 12},
    {"=", 13},
    {"Q", 16},
    {"W", 17},
    {"E", 18},
    {"R", 19},
    {"T", 20},
    {"Y", 21},
    {"U", 22},
    {"I", 23},
    {"O", 24},
    {"P", 25},
    {"A", 30},
    {"S", 31},
    {"D", 32},
    {"F", 33},
    {"G", 34},
    {"H", 35},
    {"J", 36},
    {"K", 37},
    {"L", 38},
    {"Z", 44},
    {"X", 45},
    {"C", 46},
    {"V", 47},
    {"B", 48},
    {"N", 49},
    {"M", 50},
    {"[", 26},
    {"]", 27},
    {",", 51},
    {".", 52},
    {";", 39},
    {"'", 40},
    {"~", 41},
    {"\\", 43},
    {"/", 53},
    {"PGUP", 201},
    {"PGDN", 209},
    {"HOME", 199},
    {"END", 207},
    {"ENTER", 28},
    {"LEFT", 203},
    {"RIGHT", 205},
    {"UP", 200},
    {"DOWN", 208},
    {"ESC", 1},
    {"TAB", 15},
    {"INSERT", 210},
    {"DELETE", 211},
    {"BACKSPACE", 14},
    {"RCTRL", 157},
    {"LCTRL", 29},
    {"RALT", 184},
    {"LALT", 56},
    {"RSHIFT", 54},
    {"LSHIFT", 42},
    {"NP_MINUS", 74},
    {"NP_PLUS", 78},
    {"NP_0", 82},
    {"NP_1", 79},
    {"NP_2", 80},
    {"NP_3", 81},
    {"NP_4", 75},
    {"NP_5", 76},
    {"NP_6", 77},
    {"NP_7", 71},
    {"NP_8", 72},
    {"NP_9", 73},
    {"NP_ENTER", 156},
    {"NP_SLASH", 181},
    {"NP_STAR", 55},
    {"NP_COMMA", 179},
    {"NP_PERIOD", 83},
    {"NP_EQUALS", 141},
    {"JOYSTICK_SLIDER1_UP", 1034},
    {"JOYSTICK_SLIDER1_DOWN", 1035},
    {"JOYSTICK_SLIDER0_UP", 1032},
    {"JOYSTICK_SLIDER0_DOWN", 1033},
};

constexpr KeyName kAxes[] = {
    {"JOYSTICK_AXIS_LX_INC", 1036}, {"JOYSTICK_AXIS_LX_DEC", 1037}, {"JOYSTICK_AXIS_LY_INC", 1038},
    {"JOYSTICK_AXIS_LY_DEC", 1039}, {"JOYSTICK_AXIS_LZ_INC", 1040}, {"JOYSTICK_AXIS_LZ_DEC", 1041},
    {"JOYSTICK_AXIS_RX_INC", 1042}, {"JOYSTICK_AXIS_RX_DEC", 1043}, {"JOYSTICK_AXIS_RY_INC", 1044},
    {"JOYSTICK_AXIS_RY_DEC", 1045}, {"JOYSTICK_AXIS_RZ_INC", 1046}, {"JOYSTICK_AXIS_RZ_DEC", 1047},
};

// Characters of the keys that type one beyond their own name (US layout when shifted).
struct KeyChars {
    int code;
    char plain, shifted;
};
constexpr KeyChars kChars[] = {
    {2, '1', '!'},   {3, '2', '@'},  {4, '3', '#'},   {5, '4', '$'},   {6, '5', '%'},   {7, '6', '^'},
    {8, '7', '&'},   {9, '8', '*'},  {10, '9', '('},  {11, '0', ')'},  {12, '-', '_'},  {13, '=', '+'},
    {26, '[', '{'},  {27, ']', '}'}, {39, ';', ':'},  {40, '\'', '"'}, {41, '`', '~'},  {43, '\\', '|'},
    {51, ',', '<'},  {52, '.', '>'}, {53, '/', '?'},  {57, ' ', ' '},  {74, '-', '-'},  {78, '+', '+'},
    {82, '0', '0'},  {79, '1', '1'}, {80, '2', '2'},  {81, '3', '3'},  {75, '4', '4'},  {76, '5', '5'},
    {77, '6', '6'},  {71, '7', '7'}, {72, '8', '8'},  {73, '9', '9'},  {181, '/', '/'}, {55, '*', '*'},
    {179, ',', ','}, {83, '.', '.'}, {141, '=', '='},
};

} // namespace

int KeyCodeByName(std::string_view name) {
    for (const KeyName& k : kKeys)
        if (name == k.name) return k.code;
    return -1;
}

std::string KeyNameByCode(int code) {
    for (const KeyName& k : kKeys)
        if (k.code == code) return k.name;
    for (const KeyName& k : kAxes)
        if (k.code == code) return k.name;
    if (code >= 1000 && code <= 1031) return "JOYSTICK_BUTTON" + std::to_string(code - 1000);
    return {};
}

int JoystickAxisCode(std::string_view name) {
    for (const KeyName& k : kAxes)
        if (name == k.name) return k.code;
    return -1;
}

char KeyCharacter(int code, bool shifted) {
    for (const KeyChars& k : kChars)
        if (k.code == code) return shifted ? k.shifted : k.plain;
    // Letters: the name is the upper-case letter.
    std::string name = KeyNameByCode(code);
    if (name.size() == 1 && name[0] >= 'A' && name[0] <= 'Z')
        return shifted ? name[0] : static_cast<char>(name[0] - 'A' + 'a');
    return 0;
}

} // namespace vesk
