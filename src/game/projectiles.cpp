#include "game/projectiles.h"

#include "game/ai_helpers.h"
#include "game/bullets.h"
#include "game/combat_world.h"
#include "game/game_parts.h"
#include "game/mines.h"
#include "game/params.h"
#include "game/player.h"
#include "game/rockets.h"

namespace vesk {

TBaseGameObject* RocketsList() {
    return GlobalList("obj");
}

void CountPlayerHit(const char* kind, TBaseGameObject* hit) {
    TGameStatistics* stats = PlayerStatistics();
    TBaseGameObject* player = PlayerShip();
    if (!stats || !player) return;
    const std::string k = kind;
    stats->Inc(k + "DamageCounter");
    stats->Inc(k + (AttitudeOf(hit, player) > 50.0f ? "DamageFriendCounter" : "DamageEnemyCounter"));
}

std::string NoCollisionInfoText(TEngineObject* unit) {
    return "QueryInterface(IID_IBRUCollisionInfo, fCi): " + UnitInfoText(unit);
}

// ---- ProjectileFields ------------------------------------------------------------------------------

TEngineObject* ProjectileFields::GetCurTarget() const {
    return curTarget_ ? curTarget_->GetValue() : nullptr;
}
TEngineObject* ProjectileFields::GetGunId() const {
    return gunId_ ? gunId_->GetValue() : nullptr;
}
void ProjectileFields::SetCurTarget(TEngineObject* target) {
    if (curTarget_) curTarget_->setValue(target);
}
void ProjectileFields::SetGunId(TEngineObject* gun) {
    if (gunId_) gunId_->setValue(gun);
}
void ProjectileFields::SetStartFxLink(int32_t id) {
    if (startFxLink_) startFxLink_->setValue(id);
}
void ProjectileFields::SetDefectFxLink(int32_t id) {
    if (defectFxLink_) defectFxLink_->setValue(id);
}
void ProjectileFields::SetShieldFxLink(int32_t id) {
    if (shieldFxLink_) shieldFxLink_->setValue(id);
}
void ProjectileFields::SetMainFxLink(int32_t id) {
    if (mainFxLink_) mainFxLink_->setValue(id);
}
void ProjectileFields::SetHelperId(const std::string& helper) {
    if (helperId_) helperId_->setValue(helper);
}
void ProjectileFields::SetLifetime(float seconds) {
    if (lifetime_) lifetime_->setValue(seconds);
}
std::string ProjectileFields::HelperId() const {
    return helperId_ ? helperId_->GetValue() : std::string();
}
float ProjectileFields::Lifetime() const {
    return lifetime_ ? lifetime_->GetValue() : 0.0f;
}

void ProjectileFields::MakeFlightFields(TBaseGameObject* owner) {
    shieldFxLink_ = NewGameObject<TGameObjectIntParam>("shieldFxLink", owner);
    defectFxLink_ = NewGameObject<TGameObjectIntParam>("defectFxLink", owner);
    gunId_ = NewGameObject<TGameObjectFreeLink>("gunId", owner);
    curTarget_ = NewGameObject<TGameObjectFreeLink>("curTarget", owner);
    helperId_ = NewGameObject<TGameObjectStringParam>("helperId", owner);
    lifetime_ = NewGameObject<TGameObjectSubParam>("lifetime", owner);
}

void ProjectileFields::DropField(TBaseGameObject* child) {
    ForgetChild(child, startFxLink_, mainFxLink_, shieldFxLink_, defectFxLink_, gunId_, curTarget_, helperId_,
                lifetime_);
}

void ProjectileFields::ClearFields() {
    if (helperId_) helperId_->setValue(std::string());
    for (TGameObjectIntParam* p : {startFxLink_, mainFxLink_, shieldFxLink_, defectFxLink_})
        if (p) p->setValue(0);
    for (TGameObjectFreeLink* p : {gunId_, curTarget_})
        if (p) p->setValue(nullptr);
    if (lifetime_) lifetime_->setValue(0.0f);
}

void RegisterProjectileClasses() {
    RegisterGameClass(TGameObjectBullet::StaticClass());
    RegisterGameClass(TGameObjectRocket::StaticClass());
    RegisterGameClass(TGameObjectContainer::StaticClass());
    RegisterGameClass(TGameObjectMine::StaticClass());
}

} // namespace vesk
