// The interface's engine functions: engine_Desktop (also "set" and "run"),
// the quick node accessors, and the small tools the interface scripts use
// (text width, folder listing, settings, field of view, general volume, hex
// text, upper case, local time).
#include "interface/tool_functions.h"

#include <clocale>
#include <cstdio>
#include <cwctype>
#include <locale.h>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/lua_functions.h"
#include "core/string_tables.h"
#include "core/var_list.h"
#include "interface/draw_nodes.h"
#include "interface/interface_tools.h"
#include "interface/text_layer.h"
#include "physics/camera.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"
#include "render/view_camera.h"
#include "shared/errors.h"
#include "sound/sound_core.h"

namespace vesk {

namespace {

// The argument count check, then the body in a guard; both failures end the
// program through the central report.
template <class Body> int Tool(lua_State* L, const char* name, int count, Body body) {
    if (count >= 0 && lua_gettop(L) != count) {
        ErrorReport(std::string(name) + ": NumElements<>" + std::to_string(count), "mhl");
        return 0;
    }
    try {
        return body();
    } catch (const std::exception&) {
        ErrorReport(std::string("function ") + name, "mhl");
        return 0;
    }
}

std::string Arg(lua_State* L, int index) {
    size_t n = 0;
    const char* s = lua_tolstring(L, index, &n);
    return s ? std::string(s, n) : std::string();
}

int PushText(lua_State* L, const std::string& text) {
    lua_pushlstring(L, text.data(), text.size());
    return 1;
}

int PushNil(lua_State* L) {
    lua_pushnil(L);
    return 1;
}

// Text in the hex form decoded, any other text (one that only looks like it
// too) read in the system code page.
bool IsWholeHexText(const std::string& text) {
    return IsHexWideStr(text) && IsWellFormedHexText(text);
}
std::u16string WideOf(const std::string& text) {
    return IsWholeHexText(text) ? HexStr2WideString(text) : platform::Cp1251ToUtf16(text);
}

// "*" and "?" as file masks match, letter case ignored.
bool MaskMatches(const std::string& mask, const std::string& name) {
    const std::string m = platform::LowerCaseCp1251(mask), n = platform::LowerCaseCp1251(name);
    size_t mi = 0, ni = 0, star = std::string::npos, mark = 0;
    while (ni < n.size()) {
        if (mi < m.size() && (m[mi] == '?' || m[mi] == n[ni])) {
            ++mi;
            ++ni;
        } else if (mi < m.size() && m[mi] == '*') {
            star = mi++;
            mark = ni;
        } else if (star != std::string::npos) {
            mi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (mi < m.size() && m[mi] == '*') ++mi;
    return mi == m.size();
}

std::shared_ptr<CameraClass> SceneCamera() {
    return std::dynamic_pointer_cast<CameraClass>(DefaultViewCamera());
}

TSensNode* QuickNode(const std::string& name) {
    TSimpleNode* root =
        InterfaceTools && InterfaceTools->Desktop() ? InterfaceTools->Desktop()->Root() : nullptr;
    if (!root) return nullptr;
    if (TSimpleNode* hit = InterfaceTools->NodeCache().Find(name)) return hit->AsSens();
    int status = 0;
    TSimpleNode* n = root->ChildByName(name, status, true, false);
    if (n) InterfaceTools->NodeCache().Add(n);
    return n ? n->AsSens() : nullptr;
}

int EngineDesktop(lua_State* L) {
    return Tool(L, "engine_Desktop", -1, [&] {
        std::vector<std::string> args;
        for (int i = 1; i <= lua_gettop(L); ++i) args.push_back(Arg(L, i));
        if (InterfaceTools && InterfaceTools->RunScript(args)) {
            std::string joined;
            for (const std::string& a : args) joined += (joined.empty() ? "" : " ") + a;
            ErrorReport("engine_Desktop fault: script = " + joined, "m");
        }
        return 0;
    });
}

int GetHex(lua_State* L) {
    return Tool(L, "get_hex", 1, [&] {
        TSensNode* n = QuickNode(Arg(L, 1));
        if (!n) return PushNil(L);
        return PushText(L, std::to_string(n->GetId()));
    });
}

int SetFastVisible(lua_State* L) {
    return Tool(L, "setfast_visible", 2, [&] {
        const bool on = lua_isboolean(L, 2) ? lua_toboolean(L, 2) != 0 : Arg(L, 2) == "1";
        if (TSensNode* n = QuickNode(Arg(L, 1))) n->SetVisible(on);
        return 0;
    });
}

int SetFastText(lua_State* L) {
    return Tool(L, "setfast_text", 2, [&] {
        if (auto* label = dynamic_cast<TLabelNode*>(QuickNode(Arg(L, 1)))) label->SetText(Arg(L, 2));
        return 0;
    });
}

int GetFastText(lua_State* L) {
    return Tool(L, "getfast_text", 1, [&] {
        auto* label = dynamic_cast<TLabelNode*>(QuickNode(Arg(L, 1)));
        if (!label) return PushNil(L);
        return PushText(L, label->Text());
    });
}

int GetFastVisible(lua_State* L) {
    return Tool(L, "getfast_visible", 1, [&] {
        TSensNode* n = QuickNode(Arg(L, 1));
        if (!n) return PushNil(L);
        lua_pushboolean(L, n->Visible());
        return 1;
    });
}

// Shown on the screen: the node and every node above it visible.
int GetVisible(lua_State* L) {
    return Tool(L, "get_visible", 1, [&] {
        TSimpleNode* n = QuickNode(Arg(L, 1));
        if (!n) return PushNil(L);
        bool shown = true;
        for (; n && shown; n = n->Parent())
            if (TSensNode* s = n->AsSens()) shown = s->Visible();
        lua_pushboolean(L, shown);
        return 1;
    });
}

int GetLineWidth(lua_State* L) {
    return Tool(L, "engine_GetLineWidth", 2, [&] {
        const std::u16string text = WideOf(Arg(L, 1));
        const float size = PropertyFloat(Arg(L, 2));
        const int width = TextLayer ? static_cast<int>(TextLayer->GetLineWidth(text, size)) : 0;
        return PushText(L, std::to_string(width));
    });
}

int GetDirContent(lua_State* L) {
    return Tool(L, "engine_GetDirContent", 1, [&] {
        const std::string path = platform::ToSlashes(Arg(L, 1));
        const size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
        const std::string mask = slash == std::string::npos ? path : path.substr(slash + 1);
        lua_newtable(L);
        int index = 0;
        for (const std::string& name : platform::ListFolder(folder, true, true)) {
            if (name == "." || name == ".." || !MaskMatches(mask, name)) continue;
            lua_pushnumber(L, ++index);
            PushText(L, name);
            lua_settable(L, -3);
        }
        return 1;
    });
}

int GetIniParam(lua_State* L) {
    return Tool(L, "engine_GetIniParam", 1, [&] {
        lua_pushnumber(L, IniVars ? IniVars->Get(Arg(L, 1)).AsInteger() : 0);
        return 1;
    });
}

int SetIniParam(lua_State* L) {
    return Tool(L, "engine_SetIniParam", 2, [&] {
        if (IniVars) IniVars->Put(Arg(L, 1), VarValue(static_cast<int32_t>(lua_tonumber(L, 2))));
        return 0;
    });
}

int GetFov(lua_State* L) {
    return Tool(L, "engine_GetFov", 0, [&] {
        const auto camera = DefaultViewCamera();
        lua_pushnumber(L, camera ? std::lround(camera->GetFOV()) : 0);
        return 1;
    });
}

int SetFov(lua_State* L) {
    return Tool(L, "engine_SetFov", 1, [&] {
        if (const auto camera = SceneCamera()) camera->SetFOV(static_cast<float>(lua_tonumber(L, 1)));
        return 0;
    });
}

int GetGeneralVolume(lua_State* L) {
    return Tool(L, "engine_GetGeneralVolume", 0, [&] {
        lua_pushnumber(L, SoundCore ? SoundCore->GetGeneralVolume() : 0);
        return 1;
    });
}

int SetGeneralVolume(lua_State* L) {
    return Tool(L, "engine_SetGeneralVolume", 1, [&] {
        if (SoundCore) SoundCore->SetGeneralVolume(static_cast<int>(std::lround(lua_tonumber(L, 1))));
        return 0;
    });
}

int AnsiStr2HexString(lua_State* L) {
    return Tool(L, "engine_AnsiStr2HexString", 1,
                [&] { return PushText(L, WideStr2HexString(platform::Cp1251ToUtf16(Arg(L, 1)))); });
}

int HexStr2AnsiString(lua_State* L) {
    return Tool(L, "engine_HexStr2AnsiString", 1,
                [&] { return PushText(L, platform::Utf16ToCp1251(HexStr2WideString(Arg(L, 1)))); });
}

int UpperCase(lua_State* L) {
    return Tool(L, "engine_UpperCase", 1, [&] {
        const std::string text = Arg(L, 1);
        if (!IsWholeHexText(text)) return PushText(L, platform::UpperCaseCp1251(text));
        // Unicode case rules, whatever locale the program runs in.
        static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        std::u16string wide = HexStr2WideString(text);
        for (char16_t& c : wide) {
            if (c >= 0xD800 && c <= 0xDFFF) continue;
            c = static_cast<char16_t>(unicode ? towupper_l(static_cast<wint_t>(c), unicode)
                                              : std::towupper(static_cast<wint_t>(c)));
        }
        return PushText(L, WideStr2HexString(wide));
    });
}

int GetTime(lua_State* L) {
    return Tool(L, "engine_GetTime", 0, [&] { return PushText(L, TimeDigits(platform::Now())); });
}

} // namespace

std::string TimeDigits(const platform::LocalDateTime& t) {
    auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    return two(t.hour) + two(t.minute) + two(t.second) + two(t.millisecond);
}

void InstallToolFunctions() {
    static const std::pair<const char*, lua_CFunction> kFunctions[] = {
        {"engine_Desktop", EngineDesktop},
        {"get_hex", GetHex},
        {"setfast_visible", SetFastVisible},
        {"setfast_text", SetFastText},
        {"getfast_text", GetFastText},
        {"getfast_visible", GetFastVisible},
        {"get_visible", GetVisible},
        {"engine_GetLineWidth", GetLineWidth},
        {"engine_GetDirContent", GetDirContent},
        {"engine_GetIniParam", GetIniParam},
        {"engine_SetIniParam", SetIniParam},
        {"engine_GetFov", GetFov},
        {"engine_SetFov", SetFov},
        {"engine_GetGeneralVolume", GetGeneralVolume},
        {"engine_SetGeneralVolume", SetGeneralVolume},
        {"engine_AnsiStr2HexString", AnsiStr2HexString},
        {"engine_HexStr2AnsiString", HexStr2AnsiString},
        {"engine_UpperCase", UpperCase},
        {"engine_GetTime", GetTime},
    };
    for (const auto& [name, handler] : kFunctions) SetEngineFunction(name, handler);
}

} // namespace vesk
