#pragma once
// The visible guns of ships and stations: a fixed gun (cannon), a turning gun
// (turret) whose base turns about its vertical axis and whose barrel tilts,
// aiming itself at a target within the angle limits of its gun model, and
// the invisible mount (turret slot) a gun sits on.
#include "render/render_unit.h"
#include "render/script_links.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vesk {

class CMTreeClass;
class MeshClass;
class TPhMovePoint;
class TRenderObject;
class WorldGameOpsClass;

// Guns and turrets alive (Init raises, Free lowers).
extern int32_t CannonCount;
extern int32_t TurretCount;

// Registers "CannonClass", "TurretClass", "WingClass" and "TurretSlotClass"
// with the class registry (once).
void RegisterShipPartClasses();

// An invisible mount at a slot object of its carrier's model.
class TurretSlotClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override;
    void DoRender() override {}
    const std::string& GetSlotName() const { return slotName_; }
    void SetSlotName(const std::string& name) { slotName_ = name; }

private:
    std::string slotName_;
};

// What cannons and turrets share: the gun's game operations and the muzzle
// points that follow the scale of the mount.
class GunUnitBase : public TBaseRenderUnit {
public:
    bool GetBPU(IRenderUnitAI*& out) const override;
    void DoRender() override;
    // Muzzle helpers ("weapon", "weapon_out", "weapon1", "weapon_out1", ...)
    // take the scale of the gun's new parent, always from their model positions.
    void OnAttach(TBaseRenderUnit* parent) override;
    WorldGameOpsClass* GameOps() const { return gameOps_; }
    // Draws the extra render objects (a turret's) after its own.
    virtual void RenderExtra() {}

protected:
    void InitGun(TBaseRenderUnit* parent, const char* bpuText);
    // The unit that carries the muzzle helpers (the cannon itself, a turret's barrel).
    virtual TBaseRenderUnit* MuzzleCarrier();

    WorldGameOpsClass* gameOps_ = nullptr;
    const char* bpuText_ = "";

private:
    // The model positions of the muzzle helpers, by helper unit id.
    std::map<int32_t, Vec3> muzzleOrigins_;
};

class CannonClass : public GunUnitBase {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    // The gun model "cannon" of "<folder>/<gun name>" (folder of
    // mesh[gunmodel[gun].mesh]) or, with a mesh name, of "<folder>/<mesh>"
    // (folder of mesh[mesh]); its bounding spheres and helpers.
    bool LoadFromFile(const std::string& gunName, const std::string& meshName);
    // A ray gun: the model's spheres and helpers and one child per entry of
    // mesh[name].kwsubobjects.
    bool LoadRayCannon(const std::string& meshName);
    std::string ClassName() const override { return "CannonClass"; }
};

// Callback of a turret that has come onto its target.
using TurretAimedCallback = std::function<void(void* data)>;

class TurretClass : public GunUnitBase, public ITurretLimits {
public:
    // Indices of the six limits in the scripts' order.
    enum Limit { kTurretRotV, kBurrelRotV, kRightAngle, kLeftAngle, kUpAngle, kDownAngle };

    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    void Tick(float dtMs) override;
    // The base from "<folder>/<gun>" object "base", the barrel ("burel")
    // with the object "cannon", and the limits of gunmodel[gun].physic_params.
    bool LoadFromFile(const std::string& gunName);
    std::string ClassName() const override { return "TurretClass"; }

    // Yaw (about z, in the turret's frame) and pitch (in the barrel's frame)
    // of a world point.
    void GetObjSphericalCoord(const Vec3& point, float& yaw, float& pitch);
    bool WithinLimits(float yaw, float pitch) const;
    // Drops the current target; keeps a target within the limits, with the callback.
    void SetTarget(TBaseRenderUnit* target, TurretAimedCallback callback, void* data);
    void DropTarget();
    // One turning step toward the target angles at the current time step.
    void TurnStep();

    float GetAngleLimit(int index) const override;
    void SetAngleLimit(int index, float radians) override;
    float Yaw() const { return yaw_; }
    float Pitch() const { return pitch_; }
    float TargetYaw() const { return targetYaw_; }
    float TargetPitch() const { return targetPitch_; }
    void SetAngles(float yaw, float pitch) {
        yaw_ = yaw;
        pitch_ = pitch;
    }
    void SetTargetAngles(float yaw, float pitch) {
        targetYaw_ = yaw;
        targetPitch_ = pitch;
    }
    void SetTimeStep(float seconds) { timeStep_ = seconds; }
    bool IsAimed() const { return aimed_; }
    bool IsReturning() const { return returning_; }
    bool IsFullCircle() const { return fullCircle_; }
    bool HasTarget() const;
    MeshClass* Barrel() const { return barrel_; }
    // Render objects drawn under the engine's transform after the turret's own.
    std::vector<TRenderObject*>& ExtraObjects() { return extra_; }

    void Message(IEngineObject* sender, int msg, int param) override;

protected:
    TBaseRenderUnit* MuzzleCarrier() override;
    void RenderExtra() override;

private:
    // Turret and barrel matrices from the current angles.
    void TransformTurret();

    MeshClass* barrel_ = nullptr;
    Vec3 up_{0, 1, 0};
    float limits_[6] = {};
    bool fullCircle_ = false;
    bool returning_ = true;
    bool aimed_ = false;
    float yaw_ = 0, pitch_ = 0, targetYaw_ = 0, targetPitch_ = 0;
    float timeStep_ = 0.02f;
    TurretAimedCallback aimed_callback_;
    void* aimedData_ = nullptr;
    TPhMovePoint* movePoint_ = nullptr;
    std::vector<TRenderObject*> extra_;
};

// True when the target's position is within the turret's limits; a nil
// turret is a fatal report.
bool IsTurretTurget(TurretClass* turret, TBaseRenderUnit* target);
void SetTurretTarget(TurretClass* turret, TBaseRenderUnit* target, TurretAimedCallback callback, void* data);
// The turret's own check for a beam that starts or ends at it: a turret that
// is built (its barrel made) can carry a beam's end.
bool TurretIsBuilt(TBaseRenderUnit* unit);

// The model file of a gun: "<folder of mesh[gunmodel[gun].mesh]>/<gun>"
// (the gun's own mesh entry when its gun model names none).
std::string GunModelFile(const std::string& gunName);
// The folder (Lua "path") of mesh[name]; "" when it has none.
std::string LuaMeshPath(const std::string& meshName);

// Both gun kinds draw their model objects with the material's specular colour.
void SetSpecularFromMaterial(TRenderObject* ro);
// The drawing of guns and wings: in view, lit by the suns, every render
// object while the unit is visible; a gun then draws its extras.
void RenderShipPart(TBaseRenderUnit& unit, GunUnitBase* gun = nullptr);

} // namespace vesk
