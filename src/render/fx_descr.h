#pragma once
// The description an effect is spawned with, and the position link through
// which an effect follows a unit or one of its helpers. Both are seen by the
// render engine (spawning, lamps), the collision code and the effects.
#include "platform/math_types.h"

#include <cstdint>
#include <string>

namespace vesk {

class TBaseRenderUnit;
class TEngineObject;

// A point that follows a render unit (or one of its helpers) and keeps the
// last known values once the unit is gone.
class IDynamicTargetPosition {
public:
    virtual ~IDynamicTargetPosition() = default;
    // The followed point.
    virtual Vec3 GetPos() = 0;
    // The followed unit's physics velocity; zero without a physics unit.
    virtual Vec3 GetVelocity() = 0;
    // The followed unit's physics direction; (1, 0, 0) without a physics unit.
    virtual Vec3 GetDirection() { return {1.0f, 0.0f, 0.0f}; }
    // The followed unit's world matrix (a translation to the point when unknown).
    virtual Matrix GetMatrix() {
        const Vec3 p = GetPos();
        Matrix m;
        m.m[3][0] = p.x;
        m.m[3][1] = p.y;
        m.m[3][2] = p.z;
        return m;
    }
    // The followed unit; nullptr once it is gone (or for a fixed point).
    virtual TBaseRenderUnit* GetObject() { return nullptr; }
    // The engine object that implements the link, to subscribe to it; nullptr
    // for links that are not engine objects.
    virtual TEngineObject* LinkObject() { return nullptr; }
};

// What an effect copy is told when it is spawned. Zero-filled (value-initialised)
// before use; each spawner fills the section of the effect kind it spawns and
// each effect reads its own section. Units and links are borrowed for the spawn
// call only: an effect that keeps one subscribes to it.
struct FXDescrStruct {
    // laser: from the source unit's helper to the target unit's helper
    TBaseRenderUnit* LaserObjFromBRU = nullptr;
    TBaseRenderUnit* LaserObjToBRU = nullptr;
    std::string LaserFromHelper;
    std::string LaserToHelper;
    // burst: at the target unit's helper, or at the position link
    TBaseRenderUnit* BurstTargetBRU = nullptr;
    std::string BurstHelper;
    IDynamicTargetPosition* BurstInitiator = nullptr;
    // sound: at the position link, or at the target unit
    TBaseRenderUnit* SoundTargetBRU = nullptr;
    IDynamicTargetPosition* SoundPosition = nullptr;
    // shield: the shielded unit and the object that caused the hit
    TBaseRenderUnit* ShieldBRU = nullptr;
    TEngineObject* ShieldSpawner = nullptr;
    // sphere: on a unit, with radius, colour and opacity
    TBaseRenderUnit* SphereBRU = nullptr;
    float SphereRadius = 0.0f;
    uint32_t SphereColor = 0;
    float SphereOpacity = 0.0f;
    // smoke: at the target unit's helper, or at the carrier link
    TBaseRenderUnit* SmokeTargetBRU = nullptr;
    std::string SmokeHelper;
    IDynamicTargetPosition* SmokeCarrier = nullptr;
    // mesh: at the target unit's helper, turned towards the destination when directed
    TBaseRenderUnit* MeshTargetBRU = nullptr;
    TBaseRenderUnit* MeshDestBRU = nullptr;
    std::string MeshHelper;
    bool MeshDirected = false;
    // jet: behind the followed unit (a nozzle), at its helper when one is named
    TBaseRenderUnit* JetTargetBRU = nullptr;
    std::string JetHelper;
    // glow: follows the target unit, its brightness from the glow object
    TBaseRenderUnit* GlowTargetBRU = nullptr;
    std::string GlowHelper;
    TEngineObject* GlowObject = nullptr;
    // portal: where it opens
    Vec3 PortalPosition{};
    Matrix PortalMatrix{};
    // hit mark: the hit unit and the size factor of the mark
    TBaseRenderUnit* DefectBRU = nullptr;
    float DefectScale = 1.0f;
};

} // namespace vesk
