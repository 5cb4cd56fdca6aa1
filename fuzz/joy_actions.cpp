// Joystick action tables: bindings made through the script function with
// texts and flags from the input, then axis movement from the input run
// through the bound actions by the standard handler (its Lua texts go to a
// Lua host with the ship service stubbed).
#include "interface/joy_actions.h"
#include "core/lua_machine.h"
#include "fuzz_support.h"

using namespace vesk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::QuietReports();
    static const bool ready = [] {
        CreateLuaMachine();
        LuaMachine->RunString("function engine_Serv() end");
        return true;
    }();
    (void)ready;
    lua_State* L = LuaMachine->State();
    fuzz::Bytes in(data, size);
    ClearJoyActions();
    try {
        const int bindings = in.U8() % 8;
        for (int i = 0; i < bindings; ++i) {
            const std::string axis = in.Text(24), action = in.Text(24);
            lua_settop(L, 0);
            lua_pushlstring(L, axis.data(), axis.size());
            lua_pushlstring(L, action.data(), action.size());
            switch (in.U8() % 4) {
            case 0:
                break;
            case 1:
                lua_pushnumber(L, in.F32());
                break;
            default: {
                const std::string flag = in.Text(12);
                lua_pushlstring(L, flag.data(), flag.size());
            }
            }
            LuaSetJoyAction(L);
        }
        lua_settop(L, 0);
        platform::JoystickState previous, current;
        const int polls = in.U8() % 8;
        for (int p = 0; p < polls; ++p) {
            // The input layer reads axes within their range (a little past it at most).
            for (int32_t& axis : current.axes)
                axis = int32_t(in.U32() % (4 * platform::kJoystickAxisRange + 1)) -
                       2 * platform::kJoystickAxisRange;
            const float time = in.F32(), factor = in.F32();
            ApplyJoyActions(
                current, previous,
                [&](int32_t cur, int32_t prev, const std::string& action, int code, bool invert, float t) {
                    RunJoyAction(cur, prev, action, code, invert, t, factor,
                                 [](int c, bool down) { fuzz::g_sink = fuzz::g_sink + size_t(c) + down; });
                },
                time);
            previous = current;
        }
    } catch (const fuzz::HaltedRun&) {
    }
    for (int code = kJoyAxisFirstCode - 1; code <= kJoyAxisFirstCode + kJoyActionCount; ++code)
        fuzz::g_sink = fuzz::g_sink + JoyActionText(code).size() + JoyActionInvert(code);
    return 0;
}
