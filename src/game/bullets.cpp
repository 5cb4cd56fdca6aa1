#include "game/bullets.h"

#include "core/var_list.h"
#include "game/ai_helpers.h"
#include "game/combat_world.h"
#include "game/params.h"
#include "game/player.h"
#include "game/statistics.h"
#include "render/render_unit.h"
#include "shared/errors.h"

namespace vesk {

// ---- TGameObjectBullet ----------------------------------------------------------------------------

void TGameObjectBullet::MakeBulletChildren() {
    mainFx_ = NewGameObject<TGameObjectStringParam>("mainFx", this);
    startFxLink_ = NewGameObject<TGameObjectIntParam>("startFxLink", this);
    mainFxLink_ = NewGameObject<TGameObjectIntParam>("mainFxLink", this);
    MakeFlightFields(this);
    onTick_ = NewGameObject<TonTick>("onTick", Events());
    onTick_->SetHandler([this](TEngineObject*, TEngineObject* data) { DelayTick(FrameTimeOf(data)); });
    spawnDelay_ = NewGameObject<TGameObjectSubParam>("spawnDelay", this);
    curDelay_ = NewGameObject<TGameObjectSubParam>("curDelay", this);
}

void TGameObjectBullet::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameSceneObject::Create(name, parent);
    MakeBulletChildren();
    // Made by name, it is a live bullet as one from the pool is.
    if (Statistics && Statistics->Bullet()) Statistics->Bullet()->Inc();
    counted_ = true;
}

void TGameObjectBullet::CreateEmpty() {
    TBaseGameSceneObject::CreateEmpty();
    MakeBulletChildren();
}

void TGameObjectBullet::ReInit(const std::string& name, TBaseGameObject* parent) {
    TBaseGameSceneObject::ReInit(name, parent);
    if (onTick_ && onTick_->EventObjLink()) onTick_->EventObjLink()->setValue(this);
    if (Statistics && Statistics->Bullet()) Statistics->Bullet()->Inc();
    counted_ = true;
}

void TGameObjectBullet::ChildLeft(TBaseGameObject* child) {
    TBaseGameSceneObject::ChildLeft(child);
    DropField(child);
    ForgetChild(child, mainFx_, spawnDelay_, curDelay_);
    if (child == Events()) onTick_ = nullptr;
}

void TGameObjectBullet::Delete() {
    if (!deleted_) {
        if (counted_ && Statistics && Statistics->Bullet()) Statistics->Bullet()->Dec();
        counted_ = false;
        if (OnCollision()) OnCollision()->Deactivate();
        if (poolEntry_) {
            if (onTick_) onTick_->Deactivate();
            ClearFields();
            if (mainFx_) mainFx_->setValue(std::string());
            for (TGameObjectSubParam* p : {spawnDelay_, curDelay_})
                if (p) p->setValue(0.0f);
        }
    }
    TBaseGameSceneObject::Delete();
}

void TGameObjectBullet::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TBaseGameSceneObject::onCreatedFunc(obj, data);
    if (onTick_) onTick_->Activate();
}

void TGameObjectBullet::DelayTick(float dtMs) {
    if (deleted_ || !curDelay_ || !spawnDelay_) return;
    curDelay_->setValue(curDelay_->GetValue() + 0.001f * dtMs);
    if (curDelay_->GetValue() >= spawnDelay_->GetValue()) SpawnVisual();
}

void TGameObjectBullet::SpawnVisual() {
    if (deleted_) return;
    const int32_t mainFx = mainFxLink_ ? mainFxLink_->GetValue() : 0;
    if (mainFx == 0) {
        ErrorReport("TGameObjectBullet.onCreatedFunc error:" + GetDebugPath(this) + " mainFxLink.value=0",
                    "mhl");
        return;
    }
    if (!Spawner() || !Spawner()->GetValue()) {
        Delete();
        return;
    }
    TEngineObject* gun = GetGunId();
    const std::string helper = helperId_ ? helperId_->GetValue() : std::string();
    TBaseRenderUnit* aim = UnitOf(GetCurTarget());
    TBaseRenderUnit* visual = SpawnBulletFx(mainFx, gun, helper, aim);
    if (!visual) {
        // Nothing to fly from or to (the barrel or the aim point went): the shot is lost.
        FastLogAdd("TGameObjectBullet: " + GetDebugPath(this) + " has no barrel, aim point or effect to fly");
        Delete();
        return;
    }
    SetHex(visual);
    const int32_t startFx = startFxLink_ ? startFxLink_->GetValue() : 0;
    if (EffectsOffMode() == 0 && startFx != 0) SpawnStartFx(startFx, gun, helper, aim);
    if (OnCollision()) OnCollision()->Activate();
    if (onTick_) onTick_->Deactivate();
}

void TGameObjectBullet::onCollisionFunc(TEngineObject* obj, TEngineObject* data) {
    TBaseGameSceneObject::onCollisionFunc(obj, data);
    if (deleted_) return;
    auto* hit = dynamic_cast<TBaseGameObject*>(data);
    TEngineObject* spawner = Spawner() ? Spawner()->GetValue() : nullptr;
    // A bullet never hits its own shooter.
    if (data == spawner) return;
    bool showDefect = true;
    bool showShield = true;
    TBaseRenderUnit* hitUnit = UnitOf(hit);
    if (hit && SOClassOf(hit) == kSOClassShip) {
        TGameObjectParam* shield = FindObjectParam(hit, "shield");
        const bool shieldUp = shield && shield->Cur() && shield->Max() &&
                              shield->Cur()->GetValue() > 0.05f * shield->Max()->GetValue();
        if (shieldUp)
            showDefect = false;
        else
            showShield = false;
        if (spawner && spawner == PlayerShip()) CountPlayerHit("primary", hit);
        auto* target = dynamic_cast<TBaseGameSceneObject*>(hit);
        for (TGameObjectEffect* e : ChildrenOf<TGameObjectEffect>(Effects())) {
            if (target && target->Effects()) e->SetParent(target->Effects());
            e->EnableOn(hit);
        }
    }
    TEngineObject* own = GetHex();
    const int32_t defect = defectFxLink_ ? defectFxLink_->GetValue() : 0;
    if (showDefect && defect != 0 && UnitRadius(hitUnit) > 100.0f) {
        if (IBRUCollisionInfo* info = CollisionInfoOf(own))
            SpawnDefectFx(defect, hitUnit, *info);
        else
            ErrorReport(NoCollisionInfoText(own), "mhl");
    }
    if (showShield && IsShipUnit(hitUnit)) SpawnShieldHit(hitUnit, own);
    Delete();
}

void TGameObjectBullet::Message(IEngineObject* sender, int msg, int param) {
    // The visual bullet is gone (its flight is over): so is the bullet.
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && sender && !deleted_ && GetHex() &&
        sender->GetInstance() == GetHex()) {
        if (Hex()) Hex()->setValue(nullptr);
        Delete();
    }
    TBaseGameSceneObject::Message(sender, msg, param);
}

void TGameObjectBullet::SetSpawnDelay(float seconds) {
    if (spawnDelay_) spawnDelay_->setValue(seconds);
}
float TGameObjectBullet::SpawnDelay() const {
    return spawnDelay_ ? spawnDelay_->GetValue() : 0.0f;
}
float TGameObjectBullet::CurDelay() const {
    return curDelay_ ? curDelay_->GetValue() : 0.0f;
}

} // namespace vesk
