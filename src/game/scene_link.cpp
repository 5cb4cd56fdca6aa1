#include "game/scene_link.h"

#include "game/events.h"
#include "render/component.h"
#include "render/render_unit.h"

namespace vesk {

namespace {
IGameSceneLink* Installed = nullptr;

TBaseRenderUnit* UnitOf(TEngineObject* unit) {
    return dynamic_cast<TBaseRenderUnit*>(unit);
}

class RenderSceneLink final : public IGameSceneLink {
public:
    float BSphereRadius(TEngineObject* unit) override {
        TBaseRenderUnit* u = UnitOf(unit);
        return u ? u->GetBSphereRadius() : 0.0f;
    }
    void Kill(TEngineObject* unit) override {
        if (TBaseRenderUnit* u = UnitOf(unit)) u->Kill();
    }
    void SetCollisionEvent(TEngineObject* unit, tOnCollision* event) override {
        if (TBaseRenderUnit* u = UnitOf(unit)) u->SetCollisionEvent(event);
    }
    void SwitchRayGroup(TEngineObject* unit, const std::string& group, bool on) override {
        if (TBaseRenderUnit* u = UnitOf(unit)) u->GetGameOps()->GetRays()->EnableRay(group, on);
    }
    // The dust belongs to the current planet system's environment.
    void SetDustMode(int mode) override { SetWorldDustMode(mode); }
};
} // namespace

void InstallRenderSceneLink() {
    static RenderSceneLink link;
    SetGameSceneLink(&link);
}

void SetGameSceneLink(IGameSceneLink* link) {
    Installed = link;
}

IGameSceneLink& GameSceneLink() {
    static StandInGameSceneLink standIn;
    return Installed ? *Installed : standIn;
}

} // namespace vesk
