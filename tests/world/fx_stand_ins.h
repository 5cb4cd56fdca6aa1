#pragma once
// Ship parts as the effects see them: the scene's own ship, cannon and turret
// classes, which the effects tell apart by their class.
#include "render/component.h"
#include "render/render_unit.h"
#include "world/game_ops.h"
#include "world/guns.h"
#include "world/ship.h"

namespace vesk::test {

// A unit of class T under parent, added to it, named and placed.
template <class T> T* AddPart(TBaseRenderUnit* parent, const std::string& name, const Vec3& at = {}) {
    T* u = TBaseRenderUnit::Create<T>(parent);
    u->SetName(name);
    u->SetPosition(at);
    parent->AddChild(u);
    return u;
}

// The scene's game operations on every unit while it lives: a gun asks its
// own for the ship's steering unit.
struct WorldGameOpsScope {
    WorldGameOpsScope() { InstallWorldGameOps(); }
    ~WorldGameOpsScope() { SetGameOpsMaker(nullptr); }
    WorldGameOpsScope(const WorldGameOpsScope&) = delete;
    WorldGameOpsScope& operator=(const WorldGameOpsScope&) = delete;
};

} // namespace vesk::test
