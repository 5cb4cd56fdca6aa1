// The scripts' switches of the frame: post-processing on or off and its
// effect parameters, wide-screen videos, and frame capture started and stopped.
#include "render/frame_functions.h"

#include "core/lua_functions.h"
#include "render/engine.h"
#include "render/post_process.h"
#include "render/video_renderer.h"

namespace vesk {

namespace {

// engine_EnableRenderPostProcess(on)
int EngineEnableRenderPostProcess(lua_State* L) {
    return GuardedEngineFunction("engine_EnableRenderPostProcess fault", L, [](lua_State* L) {
        RE_EnablePostProcess(EngineArgSwitch(L, 1));
        return 0;
    });
}

// engine_UpdatePostProcess([effect,] parameter, value): a float parameter of
// the post-process effects from text, one number or "(a b c)"; true when set.
// The effects share one file, so the effect's name only tells the scripts
// apart.
int EngineUpdatePostProcess(lua_State* L) {
    return GuardedEngineFunction("engine_UpdatePostProcess fault", L, [](lua_State* L) {
        const int n = lua_gettop(L);
        bool set = false;
        if (n >= 2 && PostProcess && PostProcess->Effect())
            set = SetupEffectParam(PostProcess->Effect(), EngineArgText(L, n - 1), EngineArgText(L, n));
        lua_pushboolean(L, set);
        return 1;
    });
}

// engine_SetVideoWideScreen(text): on exactly for "1".
int EngineSetVideoWideScreen(lua_State* L) {
    return GuardedEngineFunction("engine_SetVideoWideScreen fault", L, [](lua_State* L) {
        VideoWideScreen = EngineArgText(L, 1) == "1";
        return 0;
    });
}

// engine_SetPostEffectMode(mode): the picture of the engine's render-to-texture
// pass: "none" draws the frame straight, "simple" through the plain list,
// "grayscale" in shades of grey (any other name as "simple").
int EngineSetPostEffectMode(lua_State* L) {
    return GuardedEngineFunction("engine_SetPostEffectMode fault", L, [](lua_State* L) {
        if (IPostEffectController* controller = Engine ? Engine->GetPostEffectController() : nullptr)
            controller->SetMode(EngineArgText(L, 1));
        return 0;
    });
}

// engine_KW1(): frame capture starts (a new session); engine_KW2(): it stops.
int EngineKW1(lua_State* L) {
    return GuardedEngineFunction("engine_KW1 fault", L, [](lua_State*) {
        if (Engine) Engine->StartCapture();
        return 0;
    });
}

int EngineKW2(lua_State* L) {
    return GuardedEngineFunction("engine_KW2 fault", L, [](lua_State*) {
        if (Engine) Engine->StopCapture();
        return 0;
    });
}

} // namespace

void InstallFrameFunctions() {
    SetEngineFunction("engine_EnableRenderPostProcess", EngineEnableRenderPostProcess);
    SetEngineFunction("engine_UpdatePostProcess", EngineUpdatePostProcess);
    SetEngineFunction("engine_SetVideoWideScreen", EngineSetVideoWideScreen);
    SetEngineFunction("engine_KW1", EngineKW1);
    SetEngineFunction("engine_KW2", EngineKW2);
    SetEngineFunction("engine_SetPostEffectMode", EngineSetPostEffectMode);
}

} // namespace vesk
