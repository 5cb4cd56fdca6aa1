#pragma once
// Spawning effects. Game-side effect objects hand a list of parameter texts to
// FXSpawn, which reads object ids from them, fills the description for the
// template's class and spawns a copy of the template. Weapons and bullets use
// configurations instead: objects that answer, when the new effect asks, the
// position link at which it is to sit.
#include "render/fx_descr.h"
#include "render/fx_templates.h"
#include "shared/engine_object.h"

#include <string>
#include <vector>

namespace vesk {

class TBaseRenderUnit;
class IBRUCollisionInfo;

// Spawns a copy of the template named by params[1] (its "hex"); params[0] must
// be empty and the rest depend on the template's class. Returns the new unit,
// nullptr for classes that are not spawned here; a bad parameter is a fatal report.
TBaseRenderUnit* FXSpawn(std::vector<std::string> params);
// The directed-mesh form: a copy of the template running from `first` to
// `second`. Nothing in effects-off mode 1.
TBaseRenderUnit* FXSpawnDirected(TBaseRenderUnit* templ, TBaseRenderUnit* first, TBaseRenderUnit* second);

// ---- configurations --------------------------------------------------------------------------

// The position at which a spawned effect starts; each call makes a new link
// carried by the configuration's owner effect.
class IFXInitiator {
public:
    virtual IDynamicTargetPosition* GetInitiator() = 0;

protected:
    ~IFXInitiator() = default;
};

// A bullet's second position: where it flies to.
class IFXTargetPosition {
public:
    virtual IDynamicTargetPosition* GetTargetPosition() = 0;

protected:
    ~IFXTargetPosition() = default;
};

class FXConfigBase : public TEngineObject, public IFXConfigBase, public IFXInitiator {
public:
    // The effect the configuration serves; fatal without one.
    TBaseRenderUnit* GetOwner();
    void SetOwner(TBaseRenderUnit* owner);
    void SetFX(TBaseRenderUnit* effect) override { SetOwner(effect); }
    const std::string& OwnerClass() const { return ownerClass_; }
    void SetOwnerClass(const std::string& name) { ownerClass_ = name; }
    // The root of the unit given (the scene the effect goes into).
    void SetRootFrom(TBaseRenderUnit* unit);
    TBaseRenderUnit* GetRoot() const { return root_; }
    TBaseRenderUnit* GetParentBRU() override { return root_; }
    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;

protected:
    TBaseRenderUnit* owner_ = nullptr;
    TBaseRenderUnit* root_ = nullptr;
    std::string ownerClass_;
};

class FXConfigBulletClass : public FXConfigBase, public IFXTargetPosition {
public:
    // From the source's helper (a turret's "burel" child stands in for it) towards `second`.
    void SetData(TBaseRenderUnit* source, const std::string& helper, TBaseRenderUnit* second);
    IDynamicTargetPosition* GetInitiator() override;
    IDynamicTargetPosition* GetTargetPosition() override;
    TBaseRenderUnit* Source() const { return source_; }
    void Message(IEngineObject* sender, int msg, int param) override;

private:
    TBaseRenderUnit* source_ = nullptr;
    TBaseRenderUnit* second_ = nullptr;
    std::string helper_;
};

class FXConfigBurstClass : public FXConfigBase {
public:
    // At the target position, on the target unit's root; a unit without root is a fatal report.
    void SetData(IDynamicTargetPosition* targetPosition, TBaseRenderUnit* target);
    // Not supported: a fatal report.
    void SetDataDynamicPos();
    IDynamicTargetPosition* GetInitiator() override;
    void Message(IEngineObject* sender, int msg, int param) override;

private:
    IDynamicTargetPosition* targetPosition_ = nullptr;
    TBaseRenderUnit* target_ = nullptr;
};

class FXConfigBurstDynamicPosClass : public FXConfigBase {
public:
    void SetData(TBaseRenderUnit* target, const std::string& helper);
    // Not supported: a fatal report.
    void SetDataCollise();
    IDynamicTargetPosition* GetInitiator() override;
    void Message(IEngineObject* sender, int msg, int param) override;

private:
    TBaseRenderUnit* target_ = nullptr;
    std::string helper_;
};

// A hit as the unit that was struck sees it: that unit, the point of contact
// and the surface normal there (world space).
struct FXHitInfo {
    TBaseRenderUnit* unit = nullptr;
    Vec3 point{};
    Vec3 normal{1, 0, 0};
};

// Where a hit mark goes: the collision result of the hit and the mark's size factor.
class FXConfigDefectClass : public FXConfigBase {
public:
    // The hit (nullptr: no collision result), the unit whose root takes
    // the mark when the hit names no unit, and the size factor.
    void SetData(TBaseRenderUnit* unit, const FXHitInfo* hit, float scale);
    // The same from the collision result the collision engine hands a struck
    // unit (nullptr: none): its point, its normal and the unit it names.
    void SetData(TBaseRenderUnit* unit, IBRUCollisionInfo* collision, float scale);
    IDynamicTargetPosition* GetInitiator() override;
    // The struck unit carries the mark.
    TBaseRenderUnit* GetParentBRU() override;
    // False without a collision result.
    bool GetCollision(FXHitInfo& out) const;
    float GetScale() const { return scale_; }
    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;

private:
    TBaseRenderUnit* unit_ = nullptr;
    FXHitInfo hit_;
    bool hasHit_ = false;
    float scale_ = 1.0f;
};

// The factory of configurations; each made for the caller's class.
class FXConfiguratorClass {
public:
    FXConfigBulletClass* GetBulletConfig(const std::string& ownerClass);
    FXConfigBurstClass* GetBurstConfig(const std::string& ownerClass);
    FXConfigBurstDynamicPosClass* GetBurstDynamicPosConfig(const std::string& ownerClass);
    FXConfigDefectClass* GetDefectConfig(const std::string& ownerClass);
};
extern FXConfiguratorClass FXConfigurator;

} // namespace vesk
