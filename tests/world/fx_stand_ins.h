#pragma once
// Ship parts as the effects see them: the effects tell ships, cannons and
// turrets apart by class name (the engine names classes without their
// namespace), so these stand in for the scene's own classes.
#include "render/render_unit.h"

namespace vesk::test {

class ShipClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override {
        TBaseRenderUnit::Init(parent);
        SetFlag(BRU_SHIP | BRU_OPAQUE);
    }
};

class CannonClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override {
        TBaseRenderUnit::Init(parent);
        SetFlag(0x40000 | BRU_OPAQUE);
    }
};

class TurretClass : public TBaseRenderUnit {};

// A unit of class T under parent, added to it, named and placed.
template <class T> T* AddPart(TBaseRenderUnit* parent, const std::string& name, const Vec3& at = {}) {
    T* u = TBaseRenderUnit::Create<T>(parent);
    u->SetName(name);
    u->SetPosition(at);
    parent->AddChild(u);
    return u;
}

} // namespace vesk::test
