#pragma once
// The engine's frame as the application draws it, for the GL tests that read
// it back: the engine root with its environment, one frame drawn and read
// before it is presented, and where the engine's camera puts a world point.
#include "render/device.h"
#include "render/engine.h"
#include "render/view_camera.h"
#include "render/world_links.h"
#include "shared/math.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace vesk::test {

// A windowed device with a 24-bit depth buffer from the factory (the null or
// the GL one); empty when it cannot be made.
inline platform::Ref<platform::IDirect3DDevice9> MakeSceneDevice(platform::IDirect3D9& d3d) {
    platform::D3DPRESENT_PARAMETERS pp;
    pp.Windowed = 1;
    pp.EnableAutoDepthStencil = 1;
    pp.AutoDepthStencilFormat = platform::D3DFMT_D24S8;
    platform::Ref<platform::IDirect3DDevice9> dev;
    if (d3d.CreateDevice(0, platform::D3DDEVTYPE_HAL, nullptr, platform::D3DCREATE_HARDWARE_VERTEXPROCESSING,
                         &pp, dev.Put()) != platform::D3D_OK)
        dev = nullptr;
    return dev;
}

// The engine root on the current device, ready to draw into the device's
// render target, with the environment stand-in under it that the frame needs.
struct EngineScene {
    TEngineClass* engine = nullptr;
    EnvironmentStandInClass* env = nullptr;
};
inline EngineScene MakeEngineScene() {
    EngineScene s;
    s.engine = TBaseRenderUnit::Create<TEngineClass>(nullptr);
    Device->GetRenderTarget(0, s.engine->GetD3DRoutine()->DeviceRenderTargetSurface.Put());
    s.engine->CreateDrawObjects();
    s.env = TBaseRenderUnit::Create<EnvironmentStandInClass>(s.engine);
    s.engine->AddChild(s.env);
    EnvironmentStandInClass* env = s.env;
    GetRenderWorldLinks().environment = [env]() -> TBaseRenderUnit* { return env; };
    return s;
}

// One frame: the scene drawn, read back by `readBack` before the present, then
// the frame's end (the counter and the destroy queue).
inline std::vector<uint8_t> DrawEngineFrame(TEngineClass& engine,
                                            const std::function<std::vector<uint8_t>()>& readBack) {
    engine.RE_BeginScene();
    engine.UpdateMatrices(nullptr);
    engine.RenderFrame();
    engine.RE_EndScene();
    std::vector<uint8_t> frame = readBack();
    engine.Present();
    RenderFrameCounter.NextFrame();
    TEODestroyManager->Flush();
    return frame;
}

// The screen point (pixels of a width x height frame) of a world point seen by the engine's camera.
inline Vec3 ProjectForEngine(TEngineClass& engine, const Vec3& p, unsigned width, unsigned height) {
    IViewCamera* cam = engine.Viewports().GetViewportCamera(engine.EngineViewportId());
    return Vec3Project(p, {0, 0, float(width), float(height), 0, 1}, cam->GetProjMatrix(),
                       cam->GetViewMatrix(), Matrix{});
}

} // namespace vesk::test
