#pragma once
// A position link to a render unit or to one of its named helpers. Effects,
// lamps and the collision code follow units through it: while the unit lives
// the link reads its pose, and once it is gone the link keeps answering the
// last pose it saw. The link lives as long as its carrier (the object that
// made it) and goes when the carrier goes.
#include "render/fx_descr.h"
#include "shared/engine_object.h"

#include <string>

namespace vesk {

class TBaseRenderUnit;

// Sent by a link to its subscribers when the unit it follows is gone.
inline constexpr int EM_DYNAMIC_POSITION_LOST = 6;

class DynamicPositionClass : public TEngineObject, public IDynamicTargetPosition {
public:
    // A link to the unit's helper named `helper`, or to the unit itself when the
    // name is empty. A helper name without a unit, or a helper the unit does not
    // have, is a fatal report (nullptr).
    static DynamicPositionClass* Init(TEngineObject* carrier, const std::string& helper,
                                      TBaseRenderUnit* unit);

    Vec3 GetPos() override;
    Vec3 GetVelocity() override;
    Vec3 GetDirection() override;
    Matrix GetMatrix() override;
    TBaseRenderUnit* GetObject() override { return unit_; }
    TEngineObject* LinkObject() override { return this; }

    TEngineObject* Carrier() const { return carrier_; }
    const std::string& HelperName() const { return helper_; }
    // The followed point: the helper, or the unit when no helper was named.
    TBaseRenderUnit* Followed() const { return followed_; }

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;
    std::string ClassName() const override { return "DynamicPositionClass"; }

    DynamicPositionClass() = default;

private:
    // Reads the followed point's pose while it exists.
    void Refresh();

    TEngineObject* carrier_ = nullptr;
    TBaseRenderUnit* unit_ = nullptr;
    TBaseRenderUnit* followed_ = nullptr;
    std::string helper_;
    Vec3 position_{};
    Vec3 direction_{1.0f, 0.0f, 0.0f};
    Matrix matrix_{};
};

// Empties `link`: a link the holder carries goes with it at once; one carried
// by another object is only forgotten (and stops telling the holder).
void DropPositionLink(TEngineObject* holder, IDynamicTargetPosition*& link);

} // namespace vesk
