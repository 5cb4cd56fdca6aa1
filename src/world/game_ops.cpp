#include "world/game_ops.h"

#include "physics/cm_tree.h"
#include "physics/cm_tree_manager.h"
#include "physics/coll_detector.h"
#include "platform/files.h"
#include "platform/text.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "render/render_unit.h"
#include "render/script_links.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "shared/timers.h"
#include "world/guns.h"
#include "world/shield.h"
#include "world/ship.h"

#include <algorithm>
#include <utility>

namespace vesk {

namespace {
// Seconds between two accepted time checks.
constexpr double kTimeCheckSec = 0.25;
// Below this speed a target counts as standing.
constexpr float kStandingSpeed = 1.0f;
} // namespace

WorldGameOpsClass* GameOpsOf(TBaseRenderUnit* unit) {
    return unit ? dynamic_cast<WorldGameOpsClass*>(unit->GetGameOps()) : nullptr;
}

void InstallWorldGameOps() {
    SetGameOpsMaker(
        [](IEngineObject* carrier) -> GameOpsClass* { return ClamClass::Init<WorldGameOpsClass>(carrier); });
}

// ---- WorldGameOpsClass ------------------------------------------------------------------------

void WorldGameOpsClass::Bound() {
    IEngineObject* c = Carrier();
    carrier_ = c ? dynamic_cast<TBaseRenderUnit*>(c->GetInstance()) : nullptr;
}

void WorldGameOpsClass::CarrierLost() {
    carrier_ = nullptr;
}

bool WorldGameOpsClass::GetParentShip(TBaseRenderUnit*& ship) {
    ship = nullptr;
    for (TBaseRenderUnit* u = carrier_; u; u = u->Parent()) {
        if (u->HasFlag(BRU_SHIP)) {
            ship = u;
            return true;
        }
        // The root of the scene carries no ship.
        if (u->HasFlag(BRU_ROOT)) return false;
    }
    // A unit outside the scene (a gun taken off its slot) belongs to no ship.
    return false;
}

bool WorldGameOpsClass::AttachSlot(const std::string& modelFile, const std::string& slotName,
                                   TurretSlotClass*& slot) {
    slot = nullptr;
    if (modelFile.empty() || !platform::FileExists(modelFile)) {
        ErrorReport("GameOpsClass.AttachSlot: (_CMPath=')or(not FileExists(_CMPath)): " + modelFile, "mhl");
        return false;
    }
    CMTreeClass* tree = CMTreeManager ? CMTreeManager->GetCMTree(modelFile) : nullptr;
    GeomObjStruct* object = nullptr;
    if (!tree || !tree->GetGeomobject(slotName, object)) {
        ErrorReport("GameOpsClass.AttachSlot: pgeomobj=nil; there is not  slot \"" + slotName + "\" in [" +
                        (carrier_ ? carrier_->ClassName() : std::string("nil")) + "]\"" +
                        (carrier_ ? carrier_->GetName() : std::string()) + "\"",
                    "mhl");
        return false;
    }
    return AttachSlot2(tree, slotName, slot);
}

bool WorldGameOpsClass::AttachSlot2(CMTreeClass* tree, const std::string& slotName, TurretSlotClass*& slot) {
    slot = nullptr;
    GeomObjStruct* object = nullptr;
    if (!tree || !carrier_ || !tree->GetGeomobject(slotName, object)) {
        ErrorReport("GameOpsClass.AttachSlot2: pgeomobj=nil; there is not  slot \"" + slotName + "\" in [" +
                        (carrier_ ? carrier_->ClassName() : std::string("nil")) + "]\"" +
                        (carrier_ ? carrier_->GetName() : std::string()) + "\"",
                    "mhl");
        return false;
    }
    slot = TBaseRenderUnit::Create<TurretSlotClass>(carrier_);
    carrier_->AddChild(slot);
    slot->SetBaseMatrix(object->matrix);
    slot->SetName(slotName + "slot_" + IntToHex8(slot->GetId()));
    slot->SetSlotName(slotName);
    return true;
}

bool WorldGameOpsClass::TimeCheck() {
    const int64_t now = GetPerfCounter();
    if (static_cast<double>(now - lastTimeMark_) * PerfFactorSec() < kTimeCheckSec) return false;
    lastTimeMark_ = now;
    return true;
}

bool WorldGameOpsClass::GetFileName(std::string& out) {
    out.clear();
    if (!cmTree_) {
        ErrorReport("GameOpsClass.GetFileName: fCMTreeInfo.GetCMTree", "mhl");
        return false;
    }
    out = cmTree_->GetFileName();
    return true;
}

ShipsOpsClass* WorldGameOpsClass::ShipsOps() {
    if (!shipsOps_ && carrier_) shipsOps_ = ShipsOpsClass::Create(carrier_);
    return shipsOps_;
}

IShipsOps* WorldGameOpsClass::GetShipsOps() {
    return ShipsOps();
}

EllipsoidShieldClass* WorldGameOpsClass::GetShield() {
    if (!shield_ && carrier_) shield_ = ClamClass::Init<EllipsoidShieldClass>(carrier_);
    return shield_;
}

CollDetectorClass* WorldGameOpsClass::GetCollDetector() {
    if (!collDetector_ && carrier_) collDetector_ = CollDetectorClass::Create(carrier_);
    return collDetector_;
}

TargetOpsClass* WorldGameOpsClass::GetTargetOps() {
    if (!targetOps_ && carrier_) targetOps_ = TargetOpsClass::Create(carrier_);
    return targetOps_;
}

ClamClass* WorldGameOpsClass::CreateCopy(IEngineObject* carrier) const {
    auto* copy = ClamClass::Init<WorldGameOpsClass>(carrier);
    if (shield_) copy->shield_ = shield_->CopyFor(carrier);
    copy->cmTree_ = cmTree_;
    copy->SetDefectTemplate(defectTemplate_);
    return copy;
}

void WorldGameOpsClass::SetDefectTemplate(TBaseRenderUnit* templ) {
    if (templ == defectTemplate_) return;
    if (defectTemplate_) defectTemplate_->RemoveSubscriber(this);
    defectTemplate_ = templ;
    if (templ) templ->AddSubscriber(this);
}

void WorldGameOpsClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && defectTemplate_ &&
        sender->GetInstance() == static_cast<TEngineObject*>(defectTemplate_))
        defectTemplate_ = nullptr;
    GameOpsClass::Message(sender, msg, param);
}

void WorldGameOpsClass::Free() {
    if (ShipsOpsClass* s = std::exchange(shipsOps_, nullptr)) s->Free();
    if (CollDetectorClass* d = std::exchange(collDetector_, nullptr)) d->Free();
    if (TargetOpsClass* t = std::exchange(targetOps_, nullptr)) t->Free();
    if (EllipsoidShieldClass* s = std::exchange(shield_, nullptr)) s->Free();
    SetDefectTemplate(nullptr);
    cmTree_ = nullptr;
    carrier_ = nullptr;
    GameOpsClass::Free();
}

// ---- ShipsOpsClass ----------------------------------------------------------------------------

ShipsOpsClass* ShipsOpsClass::Create(TBaseRenderUnit* carrier) {
    auto* ops = New<ShipsOpsClass>();
    ops->carrier_ = carrier;
    return ops;
}

bool ShipsOpsClass::Listed(const TBaseRenderUnit* unit) const {
    return inCache_.contains(unit) || inCreated_.contains(unit);
}

void ShipsOpsClass::Forget(TBaseRenderUnit* unit) {
    if (!Listed(unit)) RemoveMutualSubscriber(unit);
}

void ShipsOpsClass::DropShipListCache() {
    std::vector<TBaseRenderUnit*> old;
    old.swap(cache_);
    inCache_.clear();
    cacheBuilt_ = false;
    for (TBaseRenderUnit* u : old) Forget(u);
}

void ShipsOpsClass::RebuildCache() {
    DropShipListCache();
    if (!carrier_) return;
    std::vector<TBaseRenderUnit*> found;
    carrier_->ForEachInTree(
        [&found](TBaseRenderUnit* u, void*) {
            if (u->HasFlag(kShipListFlags)) found.push_back(u);
            return true;
        },
        nullptr);
    for (TBaseRenderUnit* u : found) {
        if (!Listed(u)) AddMutualSubscriber(u);
        cache_.push_back(u);
        inCache_.insert(u);
    }
    cacheBuilt_ = true;
}

const std::vector<TBaseRenderUnit*>& ShipsOpsClass::CachedList() {
    if (!cacheBuilt_) RebuildCache();
    return cache_;
}

bool ShipsOpsClass::FindShipByName(const std::string& name, TBaseRenderUnit*& out) {
    out = nullptr;
    for (TBaseRenderUnit* u : CachedList())
        if (!u->HasFlag(BRU_DISCARDED) && platform::SameTextCp1251(u->GetName(), name)) {
            out = u;
            return true;
        }
    RebuildCache();
    for (TBaseRenderUnit* u : cache_)
        if (u->GetName() == name) {
            out = u;
            return true;
        }
    return false;
}

bool ShipsOpsClass::FindShipByPartName(const std::string& part, TBaseRenderUnit*& out) {
    out = nullptr;
    for (TBaseRenderUnit* u : CachedList())
        if (!u->HasFlag(BRU_DISCARDED) && u->GetName().find(part) != std::string::npos) {
            out = u;
            return true;
        }
    RebuildCache();
    for (TBaseRenderUnit* u : cache_)
        if (u->GetName().find(part) != std::string::npos) {
            out = u;
            return true;
        }
    return false;
}

bool ShipsOpsClass::FindShipBRU(TBaseRenderUnit* unit) {
    if (!unit) {
        ErrorReport("ShipsOpsClass.FindShipBRU: _shipBRU=nil", "mhl");
        return false;
    }
    if (unit->HasFlag(BRU_DISCARDED)) {
        ErrorReport("ShipsOpsClass.FindShipBRU: _shipBRU._Is(BRU_UNDEFINED)", "mhl");
        return false;
    }
    CachedList();
    if (inCache_.contains(unit) && !unit->HasFlag(BRU_KILLED)) return true;
    RebuildCache();
    return inCache_.contains(unit) && !unit->HasFlag(BRU_KILLED);
}

TBaseRenderUnit* ShipsOpsClass::CreateShip(const std::string& meshName, const std::string& name) {
    if (!carrier_) return nullptr;
    ShipClass* ship = TBaseRenderUnit::Create<ShipClass>(carrier_);
    ship->Build(meshName, name, nullptr);
    carrier_->AddChild(ship);
    if (!Listed(ship)) AddMutualSubscriber(ship);
    created_.push_back(ship);
    inCreated_.insert(ship);
    return ship;
}

const std::vector<TBaseRenderUnit*>* ShipsOpsClass::GetBRUList(int kind) {
    return kind == 1 ? &created_ : nullptr;
}

void ShipsOpsClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* gone = sender->GetInstance();
        auto drop = [gone](std::vector<TBaseRenderUnit*>& list,
                           std::unordered_set<const TBaseRenderUnit*>& in) {
            std::erase_if(list, [&](TBaseRenderUnit* u) {
                if (static_cast<TEngineObject*>(u) != gone) return false;
                in.erase(u);
                return true;
            });
        };
        drop(cache_, inCache_);
        drop(created_, inCreated_);
        if (gone == carrier_) carrier_ = nullptr;
    }
    TEngineObject::Message(sender, msg, param);
}

void ShipsOpsClass::Free() {
    std::vector<TBaseRenderUnit*> all = cache_;
    for (TBaseRenderUnit* u : created_)
        if (!inCache_.contains(u)) all.push_back(u);
    cache_.clear();
    created_.clear();
    inCache_.clear();
    inCreated_.clear();
    for (TBaseRenderUnit* u : all) RemoveMutualSubscriber(u);
    carrier_ = nullptr;
    TEngineObject::Free();
}

// ---- TargetOpsClass ---------------------------------------------------------------------------

TargetOpsClass* TargetOpsClass::Create(TBaseRenderUnit* target) {
    auto* ops = New<TargetOpsClass>();
    ops->target_ = target;
    if (!target) return ops;
    ops->AddMutualSubscriber(target);
    HelperClass* helper = target->AddHelper("targetH_" + IntToHex8(target->GetId()), {0, 0, 0});
    helper->SetLocalMatrix(target->GetWorldMatrix());
    helper->SetWorldPosition(MatrixGetTranslation(target->GetWorldMatrix()));
    ops->aimHelper_ = helper;
    ops->AddMutualSubscriber(helper);
    return ops;
}

bool TargetOpsClass::ComputeLeadPoint(TBaseRenderUnit* shooter, Vec3& point) {
    point = {};
    if (!target_ || !shooter) return false;
    Vec3 p, s;
    target_->GetPosition(p);
    shooter->GetPosition(s);
    point = p;
    const float t = Vec3Length(Vec3Sub(p, s)) / kLeadSpeed;
    IRenderUnitAI* body = nullptr;
    if (target_->GetBPU(body) && body) {
        const Vec3 v = body->BodyVelocity();
        if (Vec3Length(v) >= kStandingSpeed) point = Vec3Add(p, Vec3Scale(v, t));
    }
    return true;
}

TBaseRenderUnit* TargetOpsClass::UpdateAim(TBaseRenderUnit* shooter) {
    Vec3 point;
    if (!aimHelper_ || !ComputeLeadPoint(shooter, point)) return nullptr;
    aimHelper_->SetWorldPosition(point);
    return aimHelper_;
}

TBaseRenderUnit* TargetOpsClass::UpdateAimFromCamera(TBaseRenderUnit* shooter) {
    IScriptCamera* camera = GetScriptCamera();
    if (!shooter || !camera || shooter->GetName() != "playership1") return UpdateAim(shooter);
    Vec3 point, ship;
    if (!aimHelper_ || !target_) return nullptr;
    // Measured from the eye: the lead time is the projectile's flight from there.
    const Vec3 eye = camera->GetPosition();
    shooter->GetPosition(ship);
    Vec3 p;
    target_->GetPosition(p);
    point = p;
    IRenderUnitAI* body = nullptr;
    if (target_->GetBPU(body) && body) {
        const Vec3 v = body->BodyVelocity();
        if (Vec3Length(v) >= kStandingSpeed)
            point = Vec3Add(p, Vec3Scale(v, Vec3Length(Vec3Sub(p, eye)) / kLeadSpeed));
    }
    aimHelper_->SetWorldPosition(Vec3Add(point, Vec3Sub(ship, eye)));
    return aimHelper_;
}

void TargetOpsClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
        TEngineObject* gone = sender->GetInstance();
        if (gone == target_) target_ = nullptr;
        if (gone == aimHelper_) aimHelper_ = nullptr;
    }
    TEngineObject::Message(sender, msg, param);
}

void TargetOpsClass::Free() {
    if (TBaseRenderUnit* h = std::exchange(aimHelper_, nullptr)) {
        RemoveMutualSubscriber(h);
        h->Kill();
    }
    if (TBaseRenderUnit* t = std::exchange(target_, nullptr)) RemoveMutualSubscriber(t);
    TEngineObject::Free();
}

} // namespace vesk
