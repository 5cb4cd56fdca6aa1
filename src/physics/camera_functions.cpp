// The scripts' camera functions: free flight, position, field of view, zoom,
// the chase view and the helper the chase starts from. Each steers the game
// camera; arguments arrive as texts, a misuse is a fatal report.
#include "core/lua_functions.h"
#include "physics/camera_game.h"
#include "shared/errors.h"
#include "shared/helpers.h"

#include <cmath>
#include <lua.hpp>
#include <string>

namespace vesk {

namespace {

std::string ArgText(lua_State* L, int i) {
    if (i > lua_gettop(L)) return {};
    size_t n = 0;
    const char* s = lua_tolstring(L, i, &n);
    return s ? std::string(s, n) : std::string();
}

// A number argument; an empty one reads as 0, a text that is no number is
// reported by the conversion.
float ArgFloat(lua_State* L, int i, const std::string& context) {
    const std::string text = ArgText(L, i);
    return text.empty() ? 0.0f : kws2f(text, context);
}

Vec3 ArgVector(lua_State* L, int first, const std::string& context) {
    return {ArgFloat(L, first, context), ArgFloat(L, first + 1, context), ArgFloat(L, first + 2, context)};
}

// False (after the report) when the count is not the one expected.
bool CountIs(lua_State* L, int expected, const char* text) {
    if (lua_gettop(L) == expected) return true;
    ErrorReport(text, "mhl");
    return false;
}

int engine_SetCameraAlign(lua_State* L) {
    const Vec3 v = ArgVector(L, 1, "engine_SetCameraAlign");
    if (TGameCamera* cam = GameCamera()) cam->StartAlignToObjOri(v);
    return 0;
}

int engine_SetCameraZoom(lua_State* L) {
    if (!CountIs(L, 1, "engine_SetCameraZOOM: NumElements<>1")) return 0;
    const float zoom = ArgFloat(L, 1, "engine_SetCameraZOOM");
    if (TGameCamera* cam = GameCamera()) cam->SetZoom(zoom);
    return 0;
}

int engine_CameraSetFreeLookMode(lua_State*) {
    if (TGameCamera* cam = GameCamera()) cam->StartFreeCamera();
    return 0;
}

int engine_CameraResetFreeLookMode(lua_State*) {
    if (TGameCamera* cam = GameCamera()) cam->StopFreeCamera();
    return 0;
}

int engine_CameraSetFreeLookModeVelocity(lua_State* L) {
    if (!CountIs(L, 3, "engine_CameraSetFreeLookModeVelocity: NumElements<>3")) return 0;
    const Vec3 v = ArgVector(L, 1, "engine_CameraSetFreeLookModeVelocity");
    if (TGameCamera* cam = GameCamera()) cam->SetFreeCameraVelocity(v);
    return 0;
}

int engine_CameraSetFreeLookModeRotVelocity(lua_State* L) {
    if (!CountIs(L, 1, "engine_CameraSetFreeLookModeRotVelocity: NumElements<>1")) return 0;
    const float degrees = ArgFloat(L, 1, "engine_CameraSetFreeLookModeRotVelocity");
    if (TGameCamera* cam = GameCamera()) cam->SetFreeCameraRollSpeed(DegToRad(degrees));
    return 0;
}

// Also "engine_CameraSetOri".
int engine_CameraSetPos(lua_State* L) {
    if (!CountIs(L, 3, "engine_CameraSetPos: NumElements<>3")) return 0;
    const Vec3 p = ArgVector(L, 1, "engine_CameraSetPos");
    if (TGameCamera* cam = GameCamera()) cam->SetPosition(p);
    return 0;
}

// Also "engine_CameraGetOri": the position, each coordinate rounded.
int engine_CameraGetPos(lua_State* L) {
    TGameCamera* cam = GameCamera();
    if (!cam || !cam->Camera()) {
        ErrorReport("engine_CameraGetPos error: AV", "mhl");
        return 0;
    }
    const Vec3 p = cam->GetPosition();
    for (float c : {p.x, p.y, p.z}) lua_pushnumber(L, std::nearbyint(c));
    return 3;
}

int engine_CameraSetFOV(lua_State* L) {
    if (!CountIs(L, 1, "engine_CameraSetFOV: NumElements<>1")) return 0;
    const std::string text = ArgText(L, 1);
    if (text.empty()) {
        ErrorReport("engine_CameraSetFOV: _fov = 0", "mhl");
        return 0;
    }
    const float fov = kws2f(text, "engine_CameraSetFOV");
    TGameCamera* cam = GameCamera();
    if (!cam || !cam->Camera()) {
        ErrorReport("engine_CameraSetFOV: AV", "mhl");
        return 0;
    }
    cam->SetFOV(fov);
    return 0;
}

int engine_CameraSetHelperFromName(lua_State* L) {
    if (!CountIs(L, 1, "engine_CameraSetHelperFromName: NumElements<>1")) return 0;
    const std::string name = ArgText(L, 1);
    if (name.empty()) {
        ErrorReport("engine_CameraSetHelperFromName: helpername = '", "mhl");
        return 0;
    }
    TGameCamera* cam = GameCamera();
    if (!cam || !cam->Camera()) {
        ErrorReport("engine_CameraSetHelperFromName: AV", "mhl");
        return 0;
    }
    cam->SetCamFromHelper(name);
    return 0;
}

} // namespace

void RegisterCameraFunctions() {
    static const std::pair<const char*, lua_CFunction> kFunctions[] = {
        {"engine_SetCameraAlign", engine_SetCameraAlign},
        {"engine_SetCameraZoom", engine_SetCameraZoom},
        {"engine_CameraSetFreeLookMode", engine_CameraSetFreeLookMode},
        {"engine_CameraResetFreeLookMode", engine_CameraResetFreeLookMode},
        {"engine_CameraSetFreeLookModeVelocity", engine_CameraSetFreeLookModeVelocity},
        {"engine_CameraSetFreeLookModeRotVelocity", engine_CameraSetFreeLookModeRotVelocity},
        {"engine_CameraSetPos", engine_CameraSetPos},
        {"engine_CameraGetPos", engine_CameraGetPos},
        {"engine_CameraSetFOV", engine_CameraSetFOV},
        {"engine_CameraSetHelperFromName", engine_CameraSetHelperFromName},
    };
    for (const auto& [name, handler] : kFunctions) SetEngineFunction(name, handler);
}

} // namespace vesk
