#pragma once
// The render engine's part of the application's services.
#include "core/services.h"

namespace vesk {

// Fills the render slot: the device is created on the main window (a window
// without a native handle - a headless run - gets no device) and each frame
// begins, clears, ends and presents the scene.
void InstallRenderServices(CoreServices& services);

} // namespace vesk
