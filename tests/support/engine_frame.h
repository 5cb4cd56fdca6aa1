#pragma once
// The engine's frame as the application draws it, for the GL tests that read
// it back: one frame drawn and read before it is presented, and where the
// engine's camera puts a world point on the frame.
#include "render/engine.h"
#include "render/view_camera.h"
#include "shared/math.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace vesk::test {

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
