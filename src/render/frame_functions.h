#pragma once
// The render engine's share of the engine functions for the frame:
// engine_EnableRenderPostProcess, engine_UpdatePostProcess,
// engine_SetVideoWideScreen, engine_KW1 (capture on) and engine_KW2 (off).
namespace vesk {

void InstallFrameFunctions();

} // namespace vesk
