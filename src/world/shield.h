#pragma once
// The shield volume of a ship: the unit sphere carried by a matrix into an
// ellipsoid around the carrier's model, and the effect template that shows
// hits on it. Made by the carrier's game operations on the first request.
#include "render/component.h"

#include <string>

namespace vesk {

class CMTreeClass;
class TBaseRenderUnit;

class EllipsoidShieldClass : public ClamClass {
public:
    // The "shield" object's matrix when the model has one; otherwise a box
    // around the carrier's first render object at the carrier's scale. A
    // carrier without render objects is a fatal report. A shield name that is
    // not empty names the effect template of hits.
    void Build(CMTreeClass* tree, const std::string& shieldName);
    const Matrix& GetMatrix() const { return matrix_; }
    void SetMatrix(const Matrix& m) { matrix_ = m; }
    // False while no template is set.
    bool GetEffectTemplate(TBaseRenderUnit*& out) const {
        out = template_;
        return out != nullptr;
    }
    // Where the ray from start along direction meets the ellipsoid, in the
    // world, with the outward normal there; false when it misses.
    bool HitQuery(const Vec3& start, const Vec3& direction, Vec3& point, Vec3& normal) const;
    // A shield on another carrier with the same matrix and template.
    EllipsoidShieldClass* CopyFor(IEngineObject* carrier) const;
    float GetCarrierRadius() const { return carrierRadius_; }

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;

protected:
    void Bound() override;
    void CarrierLost() override { carrier_ = nullptr; }

private:
    // The ellipsoid's frame in the world: matrix x (the carrier's rotation at its position).
    Matrix WorldFrame() const;
    // Follows the template so that a reloaded effect library leaves no stale link.
    void SetTemplate(TBaseRenderUnit* templ);

    TBaseRenderUnit* carrier_ = nullptr;
    Matrix matrix_;
    TBaseRenderUnit* template_ = nullptr;
    // The carrier's bounding radius when the shield was made.
    float carrierRadius_ = 0.0f;
};

} // namespace vesk
