#pragma once
// The game camera as the render engine's script functions steer it.
#include "physics/camera.h"

#include <memory>

namespace vesk {

// The scripts' camera functions act on this camera from now on.
void InstallScriptCamera(std::shared_ptr<CameraClass> camera);

} // namespace vesk
