#pragma once
// Lets the model trees build real render objects: installs the render
// engine's builder behind CMTreeClass::CreateRO and the releaser that frees
// them with their tree.
#include "physics/cm_tree.h"
#include "render/key_animation.h"
#include "render/ro_builders.h"

namespace vesk {

// The builder's input for one geometry object.
ROModelNode ModelNodeOf(const std::string& fileName, const GeomObjStruct& object);
// A key-animation view of a track; the track must outlive it.
ROKeyTrack KeyTrackOf(const CMAnimationTrackStruct& track);
// Also installs the model-tree provider the render units load their content through.
void InstallCMRenderObjectBuilder();

} // namespace vesk
