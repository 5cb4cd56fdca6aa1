#include "physics/pf_objects.h"

#include "render/render_unit.h"
#include "shared/errors.h"

#include <algorithm>

namespace vesk {

namespace {
SceneShipsProvider& ShipsProvider() {
    static SceneShipsProvider provider;
    return provider;
}
BSphereRecord* OwnSphereOf(TBaseRenderUnit* unit) {
    BSphereRecord* s = nullptr;
    if (unit) unit->GetOwnBSphere(s);
    return s;
}
} // namespace

void SetSceneShipsProvider(SceneShipsProvider provider) {
    ShipsProvider() = std::move(provider);
}

bool LeavingScene(const TBaseRenderUnit* unit) {
    return !unit || unit->HasFlag(BRU_KILLED | BRU_DISCARDED);
}

void GetSceneShips(std::vector<TBaseRenderUnit*>& out) {
    out.clear();
    if (ShipsProvider()) ShipsProvider()(out);
    std::erase_if(out, LeavingScene);
}

TPFObjectsManager::TPFObjectsManager(IOwnerPhObj* owner, const TShipPhysicParams* record, float scale)
    : record_(record), owner_(owner), scale_(scale) {
    refreshDistance_ = scale * (record ? record->maxVelocity : 0.0f);
    refreshDistanceSq_ = refreshDistance_ * refreshDistance_;
}

void TPFObjectsManager::SetPosition(const Vec3& p) {
    position_ = p;
    // A zero refresh distance refreshes on every call.
    if (Vec3LengthSq(Vec3Sub(position_, lastPosition_)) > refreshDistanceSq_ || refreshDistanceSq_ == 0.0f)
        Refresh();
}

void TPFObjectsManager::Refresh() {
    lastPosition_ = position_;
    RebuildStatic(SC_BIG | SC_FIELD | SC_FIELD_NSC, refreshDistance_);
}

void TPFObjectsManager::DropStatic() {
    for (TBaseRenderUnit* u : staticList_)
        if (std::find(dynamicList_.begin(), dynamicList_.end(), u) == dynamicList_.end())
            RemoveMutualSubscriber(u);
    staticList_.clear();
}

void TPFObjectsManager::RebuildStatic(int32_t mask, float margin) {
    DropStatic();
    std::vector<TBaseRenderUnit*> ships;
    GetSceneShips(ships);
    TBaseRenderUnit* self = owner_ ? owner_->GetRenderUnit() : nullptr;
    Vec3 centre{};
    float radius = 0.0f;
    if (owner_) owner_->GetOwnSphere(centre, radius);
    for (TBaseRenderUnit* ship : ships) {
        if (!ship || ship == self) continue;
        IOwnerPhObj* ai = OwnerOfUnit(ship);
        if (!ai) continue;
        const TShipPhysicParams* rec = ai->GetPhysicParams();
        if (!rec || !(rec->sizeClass & mask) || !rec->useInFindWay) continue;
        BSphereRecord* s = OwnSphereOf(ship);
        if (!s) continue;
        if (SpheresOverlapSq(s->worldCentre, s->worldRadius, lastPosition_, radius + margin)) {
            staticList_.push_back(ship);
            AddMutualSubscriber(ship);
        }
    }
}

void TPFObjectsManager::AddDynamicObj(TBaseRenderUnit* unit) {
    if (!unit) return;
    if (!OwnSphereOf(unit)) ErrorReport("TPFObjectsManager.AddDynamicObj : pSphere = nil", "mhl");
    if (std::find(dynamicList_.begin(), dynamicList_.end(), unit) != dynamicList_.end()) return;
    dynamicList_.push_back(unit);
    AddMutualSubscriber(unit);
}

bool TPFObjectsManager::GetStatic(int i, TBaseRenderUnit*& out) const {
    if (i < 0 || i >= StaticCount()) return false;
    out = staticList_[i];
    return true;
}

bool TPFObjectsManager::GetDynamic(int i, TBaseRenderUnit*& out) const {
    if (i < 0 || i >= DynamicCount()) return false;
    out = dynamicList_[i];
    return true;
}

bool TPFObjectsManager::GetStaticSphere(int i, BSphereRecord*& out) const {
    TBaseRenderUnit* u = nullptr;
    if (!GetStatic(i, u)) return false;
    out = OwnSphereOf(u);
    return out != nullptr;
}

bool TPFObjectsManager::GetDynamicSphere(int i, BSphereRecord*& out) const {
    TBaseRenderUnit* u = nullptr;
    if (!GetDynamic(i, u)) return false;
    out = OwnSphereOf(u);
    return out != nullptr;
}

void TPFObjectsManager::Message(IEngineObject* sender, int msg, int param) {
    try {
        if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender) {
            TEngineObject* gone = sender->GetInstance();
            auto drop = [gone](std::vector<TBaseRenderUnit*>& list) {
                std::erase_if(list,
                              [gone](TBaseRenderUnit* u) { return static_cast<TEngineObject*>(u) == gone; });
            };
            drop(staticList_);
            drop(dynamicList_);
        }
    } catch (const std::exception&) {
        ErrorReport("TPFObjectsManager.Message AV", "mhl");
    }
    TEngineObject::Message(sender, msg, param);
}

void TPFObjectsManager::Free() {
    staticList_.clear();
    dynamicList_.clear();
    owner_ = nullptr;
    TEngineObject::Free();
}

} // namespace vesk
