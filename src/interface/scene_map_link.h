#pragma once
// The scene's part of the tactic map: a subsystem's load clears the map's
// markers and gives the map the subsystem's minimap.
#include <functional>

namespace vesk {

class TSimpleNode;

// The maps are looked for under root (the desktop when none is given).
void InstallSceneMapLink(std::function<TSimpleNode*()> root = {});

} // namespace vesk
