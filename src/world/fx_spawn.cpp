#include "world/fx_spawn.h"

#include "core/var_list.h"
#include "physics/coll_detector.h"
#include "render/dynamic_position.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "sound/sound_engine.h"
#include "world/fx_burst.h"
#include "world/fx_laser.h"
#include "world/fx_portal.h"
#include "world/fx_shapes.h"
#include "world/fx_shield.h"
#include "world/fx_smoke.h"
#include "world/fx_sound.h"
#include "world/guns.h"
#include "world/locations.h"

namespace vesk {

FXConfiguratorClass FXConfigurator;

namespace {

// Gun and turret units.
constexpr uint64_t kGunOrTurret = 0x40002;

// The parameters of one FXSpawn call, read by index.
class SpawnParams {
public:
    explicit SpawnParams(std::vector<std::string> p) : p_(std::move(p)) {}
    const std::string& At(size_t i) const {
        static const std::string empty;
        return i < p_.size() ? p_[i] : empty;
    }
    size_t Count() const { return p_.size(); }
    // The render unit of the id at i; a bad id is a fatal report (nullptr).
    TBaseRenderUnit* Unit(size_t i, const std::string& context) const {
        TEngineObject* o = EngineObjectFromHex(At(i), context);
        if (!o) return nullptr;
        auto* u = dynamic_cast<TBaseRenderUnit*>(o);
        if (!u) ErrorReport("Exception kws2i: _str=" + At(i) + ": " + context, "mhl");
        return u;
    }

private:
    std::vector<std::string> p_;
};

// A copy of the template under the parent, named by its own id (with a prefix).
TBaseRenderUnit* SpawnNamed(TBaseRenderUnit* templ, TBaseRenderUnit* parent, const FXDescrStruct& desc,
                            const char* prefix) {
    if (!parent) {
        FastLogAddError("FXSpawn: no scene to spawn " + templ->GetName() + " in");
        return nullptr;
    }
    TBaseRenderUnit* u = TBaseRenderUnit::SpawnEffect(templ, parent, &desc);
    if (u && prefix) u->SetName(prefix + IntToHex8(u->GetId()));
    return u;
}

// The ship a gun or turret unit sits on: the first unit up the tree with the ship flag.
TBaseRenderUnit* ParentShip(TBaseRenderUnit* unit) {
    return unit->Parent() ? unit->Parent()->FindUpWithFlags(BRU_SHIP) : nullptr;
}

// A sphere on a universal helper or a location hangs under a debug helper of
// the engine root at the unit's place instead.
void MoveSphereToDebugHelper(TBaseRenderUnit* sphere, TBaseRenderUnit* unit) {
    const bool uhelper = dynamic_cast<UniHelperClass*>(unit) != nullptr;
    if (!(uhelper || IsClassType<WELocationClass>(unit)) || !Engine) return;
    Vec3 at;
    unit->GetPosition(at);
    // The unit's child slot keeps a placeholder; the sphere hangs under the helper.
    sphere->MoveToParent(Engine->AddHelper("dbg_ve", at));
}

// A gate opens where the target's helper stands (the target itself without
// one), turned and sized as that helper is; it stays there when the target moves.
void PortalPlace(TBaseRenderUnit& target, const std::string& helperName, FXDescrStruct& desc) {
    Matrix at = target.GetWorldMatrix();
    HelperClass* helper = nullptr;
    if (!helperName.empty()) {
        if (target.FindHelper(helperName, helper) && helper)
            at = helper->GetWorldMatrix();
        else
            FastLogAddError("FXSpawn: portal: " + target.GetInfoStr() + " has no helper " + helperName +
                            ": the gate opens at the unit");
    }
    desc.PortalPosition = MatrixGetTranslation(at);
    MatrixSetTranslation(at, {});
    desc.PortalMatrix = at;
}

} // namespace

TBaseRenderUnit* FXSpawn(std::vector<std::string> params) {
    const SpawnParams p(std::move(params));
    if (!p.At(0).empty()) {
        ErrorReport("FXSpawn: [" + p.At(0) + "][" + p.At(1) + "] script must give hex", "mhl");
        return nullptr;
    }
    auto* templ = dynamic_cast<TBaseRenderUnit*>(
        EngineObjectFromHex(p.At(1), "FXSpawn: template: " + p.At(1) + ", fxtype: " + p.At(0)));
    if (!templ) return nullptr;
    FXDescrStruct desc{};
    TBaseRenderUnit* root = Engine;

    if (IsClassType<FXShieldClass>(templ)) {
        TBaseRenderUnit* parent = p.Unit(2, "template.ClassType=FXShieldClass 0xbad");
        if (!parent) return nullptr;
        desc.ShieldBRU = parent;
        if (p.At(3) != "0" && !p.At(3).empty())
            desc.ShieldSpawner = EngineObjectFromHex(p.At(3), "template.ClassType=FXShieldClass 0xbad");
        return SpawnNamed(templ, parent, desc, "");
    }
    if (IsClassType<FXBurstClass>(templ)) {
        desc.BurstTargetBRU = p.Unit(2, "fxdesc.BurstTargetBRU");
        if (!desc.BurstTargetBRU) return nullptr;
        desc.BurstHelper = p.At(3);
        return SpawnNamed(templ, root, desc, "");
    }
    if (IsClassType<FXSoundClass>(templ)) {
        if (!SoundEngine || !SoundEngine->IsEnabled()) return nullptr;
        desc.SoundTargetBRU = p.Unit(2, "fxdesc.SoundTargetBRU");
        if (!desc.SoundTargetBRU) return nullptr;
        return SpawnNamed(templ, root, desc, "");
    }
    if (IsClassType<FXLaserClass>(templ)) {
        TBaseRenderUnit* attacker = p.Unit(2, "fxdesc.LaserObjFromBRU");
        if (!attacker) return nullptr;
        if (!attacker->HasFlag(BRU_SHIP)) {
            if (!attacker->HasFlag(kGunOrTurret)) {
                ErrorReport("FXSpawn: unknown attaker obj type", "mhl");
                return nullptr;
            }
            TBaseRenderUnit* ship = ParentShip(attacker);
            if (!ship) {
                ErrorReport("FXSpawn: not fgo.GetParentShip(TObject(bru))", "mhl");
                return nullptr;
            }
            // A shot names its gun's own muzzle: the beam starts there (and moves
            // with the ship). Any other helper is one of the ship's.
            HelperClass* muzzle = nullptr;
            if (p.At(3).empty() || !attacker->FindHelper(p.At(3), muzzle)) attacker = ship;
        }
        desc.LaserObjFromBRU = attacker;
        desc.LaserFromHelper = p.At(3);
        desc.LaserObjToBRU = p.Unit(4, "fxdesc.LaserObjToBRU");
        if (!desc.LaserObjToBRU) return nullptr;
        desc.LaserToHelper = p.At(5);
        return SpawnNamed(templ, root, desc, "");
    }
    if (IsClassType<FXSphereClass>(templ)) {
        if (p.Count() != 6) {
            ErrorReport("FXSpawn:  sphere: " + std::to_string(p.Count()) + " params, 6 expected", "mhl");
            return nullptr;
        }
        TBaseRenderUnit* unit = p.Unit(2, "FXSpawn:  sphere: SphereBRU");
        if (!unit) return nullptr;
        desc.SphereBRU = unit;
        desc.SphereRadius = kws2f(p.At(3), "FXSpawn:  sphere: SphereRadius");
        desc.SphereColor = static_cast<uint32_t>(kws2i("$" + p.At(4), "FXSpawn:  sphere: SphereColor"));
        desc.SphereOpacity = kws2f(p.At(5), "FXSpawn:  sphere: SphereOpacity");
        TBaseRenderUnit* sphere = SpawnNamed(templ, unit, desc, nullptr);
        if (sphere) MoveSphereToDebugHelper(sphere, unit);
        return sphere;
    }
    if (IsClassType<FXSmokeClass>(templ)) {
        desc.SmokeTargetBRU = p.Unit(2, "fxdesc.SmokeTargetBRU");
        if (!desc.SmokeTargetBRU) return nullptr;
        desc.SmokeHelper = p.At(3);
        return SpawnNamed(templ, root, desc, "smoke_");
    }
    if (IsClassType<FXMeshClass>(templ)) {
        desc.MeshTargetBRU = p.Unit(2, "fxdesc.MeshTargetBRU(1)");
        if (!desc.MeshTargetBRU) return nullptr;
        desc.MeshHelper = p.At(3);
        return SpawnNamed(templ, root, desc, "");
    }
    if (IsClassType<FXDirectedMeshClass>(templ)) {
        desc.MeshTargetBRU = p.Unit(2, "fxdesc.MeshTargetBRU(2)");
        if (!desc.MeshTargetBRU) return nullptr;
        desc.MeshHelper = p.At(3);
        desc.MeshDestBRU = p.Unit(4, "fxdesc.MeshDestBRU(2)");
        if (!desc.MeshDestBRU) return nullptr;
        desc.MeshDirected = false;
        return SpawnNamed(templ, root, desc, "");
    }
    if (IsClassType<FXPortalClass>(templ)) {
        TBaseRenderUnit* target = p.Unit(2, "fxdesc.PortalTargetBRU");
        if (!target) return nullptr;
        PortalPlace(*target, p.At(3), desc);
        return SpawnNamed(templ, root, desc, "");
    }
    // Particles, jets, bullets, glows and hit marks are spawned by their own owners.
    return nullptr;
}

TBaseRenderUnit* FXSpawnDirected(TBaseRenderUnit* templ, TBaseRenderUnit* first, TBaseRenderUnit* second) {
    if (EffectsOffMode() == 1 || !templ || !first || !second) return nullptr;
    return FXSpawn({"", templ->GetHex(), first->GetHex(), "", second->GetHex()});
}

// ---- configurations --------------------------------------------------------------------------

namespace {

// Keeps `unit` in `field`, hearing of its end.
void Watch(TEngineObject* self, TBaseRenderUnit*& field, TBaseRenderUnit* unit) {
    if (field == unit) return;
    if (field) field->RemoveSubscriber(self);
    field = unit;
    if (unit) unit->AddSubscriber(self);
}

void Forget(TEngineObject* gone, TBaseRenderUnit*& field) {
    if (field && static_cast<TEngineObject*>(field) == gone) field = nullptr;
}

// A helper under `root` at the point (the effect stays there), made the burst's anchor.
IDynamicTargetPosition* AnchorAt(TBaseRenderUnit* owner, TBaseRenderUnit* root, const std::string& name,
                                 const Vec3& at) {
    if (!root) return nullptr;
    HelperClass* h = root->AddHelper(name, at);
    if (auto* burst = dynamic_cast<FXBurstClass*>(owner)) burst->SetAnchor(h);
    return DynamicPositionClass::Init(owner, "", h);
}

std::string RootlessText(const char* who, TBaseRenderUnit* unit) {
    return std::string(who) + ".SetData:  = nil: no root for " +
           (unit ? unit->GetInfoStr() : std::string("nil"));
}

bool OwnerStaysPut(TBaseRenderUnit* owner) {
    auto* burst = dynamic_cast<FXBurstClass*>(owner);
    return burst && burst->NotAttached();
}

} // namespace

TBaseRenderUnit* FXConfigBase::GetOwner() {
    if (!owner_) ErrorReport("FXConfigBase.GetOwner: Owner = nil: use set owner", "mhl");
    return owner_;
}

void FXConfigBase::SetOwner(TBaseRenderUnit* owner) {
    Watch(this, owner_, owner);
}

void FXConfigBase::SetRootFrom(TBaseRenderUnit* unit) {
    Watch(this, root_, unit ? unit->GetRoot() : nullptr);
}

void FXConfigBase::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        Forget(sender->GetInstance(), owner_);
        Forget(sender->GetInstance(), root_);
    }
    TEngineObject::Message(sender, msg, param);
}

void FXConfigBase::Free() {
    // The root value is cleared with the configuration.
    Watch(this, root_, nullptr);
    Watch(this, owner_, nullptr);
    TEngineObject::Free();
}

void FXConfigBulletClass::SetData(TBaseRenderUnit* source, const std::string& helper,
                                  TBaseRenderUnit* second) {
    TBaseRenderUnit* from = source;
    // A turret fires from its barrel.
    if (InheritsFrom<TurretClass>(source) && source->ChildsBRU())
        for (TBaseRenderUnit* c : *source->ChildsBRU())
            if (c && c->GetName() == "burel") {
                from = c;
                break;
            }
    Watch(this, source_, from);
    Watch(this, second_, second);
    helper_ = helper;
    SetRootFrom(from);
}

IDynamicTargetPosition* FXConfigBulletClass::GetInitiator() {
    TBaseRenderUnit* owner = GetOwner();
    return owner ? DynamicPositionClass::Init(owner, helper_, source_) : nullptr;
}

IDynamicTargetPosition* FXConfigBulletClass::GetTargetPosition() {
    TBaseRenderUnit* owner = GetOwner();
    return owner && second_ ? DynamicPositionClass::Init(owner, "", second_) : nullptr;
}

void FXConfigBulletClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        Forget(sender->GetInstance(), source_);
        Forget(sender->GetInstance(), second_);
    }
    FXConfigBase::Message(sender, msg, param);
}

void FXConfigBurstClass::SetData(IDynamicTargetPosition* targetPosition, TBaseRenderUnit* target) {
    SetRootFrom(target);
    if (!root_) {
        ErrorReport(RootlessText("FXConfigBurstClass", target), "mhl");
        return;
    }
    targetPosition_ = targetPosition;
    Watch(this, target_, target);
}

void FXConfigBurstClass::SetDataDynamicPos() {
    ErrorReport("FXConfigBurstClass.SetDataDynamicPos: not supported", "mhl");
}

IDynamicTargetPosition* FXConfigBurstClass::GetInitiator() {
    TBaseRenderUnit* owner = GetOwner();
    if (!owner || !target_) return nullptr;
    const Vec3 at = targetPosition_ ? targetPosition_->GetPos() : Vec3{};
    if (OwnerStaysPut(owner)) return AnchorAt(owner, root_, "!attached", at);
    // The burst moves with the unit: its point is carried into the unit's own frame.
    Matrix inverse;
    if (!MatrixInverse(target_->GetWorldMatrix(), inverse)) inverse = Matrix{};
    return AnchorAt(owner, target_, "attached", Vec3TransformCoord(at, inverse));
}

void FXConfigBurstClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) Forget(sender->GetInstance(), target_);
    FXConfigBase::Message(sender, msg, param);
}

void FXConfigBurstDynamicPosClass::SetData(TBaseRenderUnit* target, const std::string& helper) {
    SetRootFrom(target);
    if (!root_) {
        ErrorReport(RootlessText("FXConfigBurstDynamicPosClass", target), "mhl");
        return;
    }
    Watch(this, target_, target);
    helper_ = helper;
}

void FXConfigBurstDynamicPosClass::SetDataCollise() {
    ErrorReport("FXConfigBurstDynamicPosClass.SetDataCollise: not supported", "mhl");
}

IDynamicTargetPosition* FXConfigBurstDynamicPosClass::GetInitiator() {
    TBaseRenderUnit* owner = GetOwner();
    if (!owner || !target_) return nullptr;
    if (OwnerStaysPut(owner)) {
        Vec3 at;
        target_->GetPosition(at);
        return AnchorAt(owner, root_, "!attached", at);
    }
    return DynamicPositionClass::Init(owner, helper_, target_);
}

void FXConfigBurstDynamicPosClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) Forget(sender->GetInstance(), target_);
    FXConfigBase::Message(sender, msg, param);
}

void FXConfigDefectClass::SetData(TBaseRenderUnit* unit, const FXHitInfo* hit, float scale) {
    Watch(this, unit_, unit);
    hasHit_ = hit != nullptr;
    TBaseRenderUnit* struck = nullptr;
    if (hit) {
        hit_ = *hit;
        struck = hit->unit;
    }
    hit_.unit = nullptr;
    Watch(this, hit_.unit, struck);
    scale_ = scale;
    SetRootFrom(struck ? struck : unit);
}

void FXConfigDefectClass::SetData(TBaseRenderUnit* unit, IBRUCollisionInfo* collision, float scale) {
    if (!collision) {
        SetData(unit, static_cast<const FXHitInfo*>(nullptr), scale);
        return;
    }
    FXHitInfo hit;
    hit.unit = collision->GetOtherUnit();
    collision->GetPoint(hit.point);
    collision->GetNormal(hit.normal);
    SetData(unit, &hit, scale);
}

bool FXConfigDefectClass::GetCollision(FXHitInfo& out) const {
    if (!hasHit_) return false;
    out = hit_;
    return true;
}

TBaseRenderUnit* FXConfigDefectClass::GetParentBRU() {
    return hit_.unit ? hit_.unit : root_;
}

IDynamicTargetPosition* FXConfigDefectClass::GetInitiator() {
    TBaseRenderUnit* owner = GetOwner();
    return owner && unit_ ? DynamicPositionClass::Init(owner, "", unit_) : nullptr;
}

void FXConfigDefectClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        Forget(sender->GetInstance(), unit_);
        Forget(sender->GetInstance(), hit_.unit);
    }
    FXConfigBase::Message(sender, msg, param);
}

void FXConfigDefectClass::Free() {
    Watch(this, unit_, nullptr);
    Watch(this, hit_.unit, nullptr);
    FXConfigBase::Free();
}

namespace {
template <class C> C* MakeConfig(const std::string& ownerClass) {
    C* c = TEngineObject::New<C>();
    c->SetOwnerClass(ownerClass);
    return c;
}
} // namespace

FXConfigBulletClass* FXConfiguratorClass::GetBulletConfig(const std::string& ownerClass) {
    return MakeConfig<FXConfigBulletClass>(ownerClass);
}
FXConfigBurstClass* FXConfiguratorClass::GetBurstConfig(const std::string& ownerClass) {
    return MakeConfig<FXConfigBurstClass>(ownerClass);
}
FXConfigBurstDynamicPosClass* FXConfiguratorClass::GetBurstDynamicPosConfig(const std::string& ownerClass) {
    return MakeConfig<FXConfigBurstDynamicPosClass>(ownerClass);
}
FXConfigDefectClass* FXConfiguratorClass::GetDefectConfig(const std::string& ownerClass) {
    return MakeConfig<FXConfigDefectClass>(ownerClass);
}

} // namespace vesk
