#pragma once
// Targets that follow another render unit, or a named helper on it, and keep
// its last known position and matrix after the unit is gone: what the physics,
// the collision records and the effects aim at.
#include "shared/engine_object.h"
#include "shared/math.h"

#include <memory>
#include <string>

namespace vesk {

class TBaseRenderUnit;
class IDynamicTargetPosition;
class TEngineObject;

class DynamicTargetPositionClass : public TEngineObject {
public:
    // The target is `bru`, or its helper named `helperName` when one is given.
    // A name without a unit and a helper the unit lacks are fatal reports.
    static DynamicTargetPositionClass* Init(IEngineObject* carrier, TBaseRenderUnit* bru,
                                            const std::string& helperName);

    // The target's position while it lives, afterwards the last one seen.
    Vec3 GetPosition();
    Matrix GetMatrix();
    // The basis of the target's physics unit; false (and the identity axes)
    // when the target is gone or has none.
    bool GetBasis(Vec3& a, Vec3& b, Vec3& c);
    // The target's velocity through its physics unit; zero without one.
    Vec3 GetVelocity();
    // The live render unit, nullptr once it is gone.
    TBaseRenderUnit* GetTarget() const { return bru_; }
    IEngineObject* GetCarrier() const { return carrier_; }

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;

private:
    void Refresh();

    IEngineObject* carrier_ = nullptr;
    TBaseRenderUnit* bru_ = nullptr;
    TBaseRenderUnit* helper_ = nullptr; // the helper, or the unit itself
    Vec3 position_{};
    Matrix matrix_{};
};

// Watches one render unit and hands out a position target for it, made on
// first use and released when the unit dies.
class DynamicTargetBRUClass : public TEngineObject {
public:
    static DynamicTargetBRUClass* Init(TBaseRenderUnit* bru);
    // The position target of `bru` (or of its named helper); false when there is none.
    bool GetTarget(TBaseRenderUnit* bru, const std::string& helperName, DynamicTargetPositionClass*& out);
    TBaseRenderUnit* GetBRU() const { return bru_; }

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;

private:
    TBaseRenderUnit* bru_ = nullptr;
    DynamicTargetPositionClass* position_ = nullptr;
};

// The position interface the physics' dynamic targets follow: a render unit
// (or nothing for anything else), with its last place kept after it dies.
std::unique_ptr<IDynamicTargetPosition> MakeUnitDynamicTarget(TEngineObject* target);

} // namespace vesk
