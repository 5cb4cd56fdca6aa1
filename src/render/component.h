#pragma once
// Components that cling to a carrier object (as a rule a render unit) and stop
// working when the carrier dies. The base binds the component to its carrier
// and tells it when the carrier is gone; each kind adds its own work.
#include "platform/math_types.h"
#include "shared/engine_object.h"

#include <string>
#include <vector>

namespace vesk {

class TBaseRenderUnit;

class ClamClass : public TEngineObject {
public:
    // The plain constructor is refused: a fatal report naming Init; nullptr.
    static ClamClass* Create();
    // The constructor to use; a nil carrier is legal and leaves the component unbound.
    template <class T = ClamClass, class... A> static T* Init(IEngineObject* carrier, A&&... args) {
        T* c = New<T>(std::forward<A>(args)...);
        c->Bind(carrier);
        return c;
    }

    IEngineObject* Carrier() const { return carrier_; }
    // The same component bound to another carrier, for copies of the carrier;
    // nullptr for kinds that are not copied.
    virtual ClamClass* CreateCopy(IEngineObject* /*carrier*/) const { return nullptr; }
    void Message(IEngineObject* sender, int msg, int param) override;

    ClamClass() = default;

protected:
    // The carrier is gone; drop whatever is held of it.
    virtual void CarrierLost() {}

private:
    void Bind(IEngineObject* carrier);
    IEngineObject* carrier_ = nullptr;
};

// ---- the per-unit components a render unit makes on first use ------------------------
// Each is the common base that the Part owning its behaviour fills in; the unit
// only needs what is declared here.

// A unit's render operations (`IRenderOps`).
class RenderOpsClass : public ClamClass {
public:
    // Empties the client lists of the sprite renderers (refilled each frame).
    virtual void ClearClients() {}
};

// A unit's light list (`ILights`): point lights in the unit's space.
struct UnitLight {
    Vec3 position;
    ColorValue colour{1, 1, 1, 1};
};
class LightClass : public ClamClass {
public:
    std::vector<UnitLight>& Lights() { return lights_; }
    LightClass* CreateCopy(IEngineObject* carrier) const override {
        LightClass* c = Init<LightClass>(carrier);
        c->lights_ = lights_;
        return c;
    }

private:
    std::vector<UnitLight> lights_;
};

// Rotation of a unit's matrix (`IRotator`).
class RotatorClass : public ClamClass {
public:
    // Applies the current rotation to the matrix in place.
    virtual void ApplyToMatrix(Matrix& /*m*/) {}
    virtual void Advance(float /*dtMs*/) {}
};

// The ship operations reached through a unit's game operations.
class IShipsOps {
public:
    // Drops the cached list of the scene's ship units (rebuilt on the next query).
    virtual void DropShipListCache() = 0;
    virtual TBaseRenderUnit* CreateShipBRU(const std::string& a, const std::string& b) = 0;
    virtual bool FindShipByName(const std::string& name, TBaseRenderUnit*& out) = 0;
    virtual bool FindShipBRU(TBaseRenderUnit* unit) = 0;

protected:
    ~IShipsOps() = default;
};

// Game operations of a unit (`IGameInterface`).
class GameOpsClass : public ClamClass {
public:
    // The ship operations; nil until the scene provides them.
    virtual IShipsOps* GetShipsOps() { return nullptr; }
};

// Frees the carrier together with another object.
class KillerClass : public ClamClass {
public:
    void SetOther(IEngineObject* other);
    IEngineObject* Other() const { return other_; }
    void Message(IEngineObject* sender, int msg, int param) override;

private:
    IEngineObject* other_ = nullptr;
};

// Physics operations of a unit (`IPhysicOps`).
class PhysicOpsClass : public ClamClass {};

// Key animation of a unit (`IKeyAnimation`).
class KeyAnimationClass : public ClamClass {};

} // namespace vesk
