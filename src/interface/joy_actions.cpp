#include "interface/joy_actions.h"

#include <array>
#include <cstdlib>

#include "interface/interface_tools.h"
#include "interface/key_names.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

std::array<std::string, kJoyActionCount> ActionTexts;
std::array<uint8_t, kJoyActionCount> ActionInvert{};

bool InTable(int code) {
    return code - kJoyAxisFirstCode >= 0 && code - kJoyAxisFirstCode < kJoyActionCount;
}

void Serv(const std::string& args) {
    TiTools::RunLua("engine_Serv(" + args + ")");
}

const char* const kStopRotate = R"("PHYSICS","Ship","StopRotate")";
const char* const kStrafeStop = R"("PHYSICS","Ship","StrafeStop")";

} // namespace

const std::string& JoyActionText(int code) {
    static const std::string kNone;
    return InTable(code) ? ActionTexts[static_cast<size_t>(code - kJoyAxisFirstCode)] : kNone;
}

bool JoyActionInvert(int code) {
    return InTable(code) && ActionInvert[static_cast<size_t>(code - kJoyAxisFirstCode)] != 0;
}

void SetJoyAction(const std::string& axisName, const std::string& action, bool invert) {
    const int code = JoystickAxisCode(axisName);
    if (!InTable(code)) return;
    ActionTexts[static_cast<size_t>(code - kJoyAxisFirstCode)] = action;
    ActionInvert[static_cast<size_t>(code - kJoyAxisFirstCode)] = invert ? 1 : 0;
}

void ClearJoyActions() {
    for (std::string& t : ActionTexts) t.clear();
    ActionInvert.fill(0);
}

void ApplyJoyActions(const platform::JoystickState& current, const platform::JoystickState& previous,
                     const JoyActionHandler& handler, float time) {
    for (size_t i = 0; i < current.axes.size(); ++i) {
        const int inc = kJoyAxisFirstCode + 2 * static_cast<int>(i);
        const int dec = inc + 1;
        if (!JoyActionText(inc).empty())
            handler(current.axes[i], previous.axes[i], JoyActionText(inc), inc, JoyActionInvert(inc), time);
        if (JoyActionText(dec) == "simple")
            handler(current.axes[i], previous.axes[i], JoyActionText(dec), dec, JoyActionInvert(dec), time);
    }
}

void RunJoyAction(int32_t current, int32_t previous, const std::string& action, int code, bool invert,
                  float time, float rotationFactor, const std::function<void(int code, bool down)>& press) {
    // Wide arithmetic: a state that holds the extreme 32-bit values still negates.
    int64_t a = current, p = previous;
    if (invert) a = -a, p = -p;
    int64_t d = p - a;
    if (action == "rotate") {
        const float r = (time / 1000.0f * rotationFactor) * (static_cast<float>(a) / 1000.0f);
        const std::string amount = FloatToStrRaw(static_cast<double>(std::abs(r)));
        if (r > 0.1f) {
            Serv(kStopRotate);
            Serv(R"("PHYSICS","Ship","RotateLeft",")" + amount + "\"");
        } else if (r < -0.1f) {
            Serv(kStopRotate);
            Serv(R"("PHYSICS","Ship","RotateRight",")" + amount + "\"");
        } else if (d != 0) {
            Serv(kStopRotate);
        }
    } else if (action == "strafe") {
        Serv(kStrafeStop);
        if (a >= 101)
            Serv(R"("PHYSICS","Ship","StrafeLeft")");
        else if (a < -100)
            Serv(R"("PHYSICS","Ship","StrafeRight")");
    } else if (action == "velocity") {
        while (d > 50 || d < -50) {
            if (d < 1) {
                Serv(R"("SHIP","SPEED","DOWN")");
                d += 50;
            } else {
                Serv(R"("SHIP","SPEED","UP")");
                d -= 50;
            }
        }
    } else {
        // The direction is not looked at: any large movement presses the code.
        int64_t rest = d < 0 ? -d : d;
        if (rest >= 101) {
            while (rest > 100) {
                press(code, true);
                press(code, false);
                rest -= 100;
            }
        }
    }
}

int LuaSetJoyAction(lua_State* L) {
    const auto text = [L](int i) -> std::string {
        if (i > lua_gettop(L) || !lua_isstring(L, i)) return {};
        size_t n = 0;
        const char* s = lua_tolstring(L, i, &n);
        return std::string(s, n);
    };
    // The flag is read as an integer; no flag reads as 0.
    int32_t flag = 0;
    if (lua_gettop(L) >= 3 && !lua_isnil(L, 3)) {
        if (lua_type(L, 3) == LUA_TNUMBER) {
            const double v = lua_tonumber(L, 3);
            flag = v > -2147483649.0 && v < 2147483648.0 ? static_cast<int32_t>(v) : 0;
        } else if (!TryParseInt32(text(3), flag)) {
            ErrorReport("function Lua_SetJoyAction", "mhl");
            return 0;
        }
    }
    SetJoyAction(text(1), text(2), flag == 1);
    return 0;
}

} // namespace vesk
