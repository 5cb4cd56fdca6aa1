#include "game/projectiles.h"

#include <vector>

#include "core/lua_readers.h"
#include "core/var_list.h"
#include "game/ai_helpers.h"
#include "game/combat_world.h"
#include "game/damage.h"
#include "game/fx_objects.h"
#include "game/game_lua.h"
#include "game/game_objects.h"
#include "game/game_parts.h"
#include "game/mesh_tables.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "game/player.h"
#include "game/statistics.h"
#include "game/world_link.h"
#include "physics/ai_unit.h"
#include "physics/coll_detector.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

// A rocket without a model of its own flies as this one.
constexpr const char* kDefaultMissile = "general_missile";

template <class... Fields> void Drop(TBaseGameObject* child, Fields*&... fields) {
    ((fields == child ? (fields = nullptr, 0) : 0), ...);
}

template <class T> T* Child(const TBaseGameObject* owner, const char* name) {
    return owner && owner->GetObjects() ? dynamic_cast<T*>(owner->GetObjects()->Find(name)) : nullptr;
}

// The frame time of the tick list that fired a tick event.
float FrameTime(TEngineObject* data) {
    auto* list = dynamic_cast<tTickedObjects*>(data);
    return list ? list->GetFrameTime() : 0.0f;
}

TGameStatistics* PlayerStatistics() {
    return Player ? Child<TGameStatistics>(Player, "statistics") : nullptr;
}

// A hit by the player's ship: counted once, and once more as on a friend
// (attitude toward the player above 50) or an enemy.
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

// The object effects of a list, taken before any of them moves or goes.
std::vector<TGameObjectEffect*> EffectsOf(TBaseGameObject* list) {
    std::vector<TGameObjectEffect*> out;
    ForEachChildOf(list, [&](TBaseGameObject* c) {
        if (auto* e = dynamic_cast<TGameObjectEffect*>(c)) out.push_back(e);
    });
    return out;
}

void Enable(TGameObjectEffect* effect, TEngineObject* target) {
    if (!effect || !effect->OnEnable()) return;
    effect->OnEnable()->SetEventData(target);
    effect->OnEnable()->Fire();
}

float RadiusValue(TBaseGameObject* obj) {
    auto* so = dynamic_cast<TBaseGameSceneObject*>(obj);
    return so && so->Radius() ? so->Radius()->GetValue() : 0.0f;
}

} // namespace

TBaseGameObject* RocketsList() {
    return GlobalObjects ? GlobalObjects->FindChild("obj") : nullptr;
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

void ProjectileFields::DropField(TBaseGameObject* child) {
    Drop(child, startFxLink_, mainFxLink_, shieldFxLink_, defectFxLink_, gunId_, curTarget_, helperId_,
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

// ---- TGameObjectBullet ----------------------------------------------------------------------------

void TGameObjectBullet::MakeBulletChildren() {
    mainFx_ = NewGameObject<TGameObjectStringParam>("mainFx", this);
    startFxLink_ = NewGameObject<TGameObjectIntParam>("startFxLink", this);
    mainFxLink_ = NewGameObject<TGameObjectIntParam>("mainFxLink", this);
    shieldFxLink_ = NewGameObject<TGameObjectIntParam>("shieldFxLink", this);
    defectFxLink_ = NewGameObject<TGameObjectIntParam>("defectFxLink", this);
    gunId_ = NewGameObject<TGameObjectFreeLink>("gunId", this);
    curTarget_ = NewGameObject<TGameObjectFreeLink>("curTarget", this);
    helperId_ = NewGameObject<TGameObjectStringParam>("helperId", this);
    lifetime_ = NewGameObject<TGameObjectSubParam>("lifetime", this);
    onTick_ = NewGameObject<TonTick>("onTick", Events());
    onTick_->SetHandler([this](TEngineObject*, TEngineObject* data) { DelayTick(FrameTime(data)); });
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
    Drop(child, mainFx_, startFxLink_, mainFxLink_, shieldFxLink_, defectFxLink_, gunId_, curTarget_,
         helperId_, lifetime_, spawnDelay_, curDelay_);
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
        for (TGameObjectEffect* e : EffectsOf(Effects())) {
            if (target && target->Effects()) e->SetParent(target->Effects());
            Enable(e, hit);
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

// ---- TGameObjectRocket ----------------------------------------------------------------------------

void TGameObjectRocket::MakeRocketChildren() {
    isDestroyed_ = NewGameObject<TGameObjectIntParam>("isDestroyed", this);
    onDeleted_ = NewGameObject<TGameEvent>("onDeleted", Events());
    onDeleted_->SetHandler([this](TEngineObject* o, TEngineObject* d) { onDeletedFunc(o, d); });
    onTick_ = NewGameObject<TonTick>("onTick", Events());
    onTick_->SetHandler([this](TEngineObject* o, TEngineObject* d) { onTickFunc(o, d); });
    mainFx_ = NewGameObject<TGameObjectStringParam>("mainFx", this);
    endFx_ = NewGameObject<TGameObjectStringParam>("endFx", this);
    shieldFx_ = NewGameObject<TGameObjectStringParam>("shieldFx", this);
    startFxLink_ = NewGameObject<TGameObjectIntParam>("startFxLink", this);
    mainFxLink_ = NewGameObject<TGameObjectIntParam>("mainFxLink", this);
    endFxLink_ = NewGameObject<TGameObjectIntParam>("endFxLink", this);
    shieldFxLink_ = NewGameObject<TGameObjectIntParam>("shieldFxLink", this);
    defectFxLink_ = NewGameObject<TGameObjectIntParam>("defectFxLink", this);
    gunId_ = NewGameObject<TGameObjectFreeLink>("gunId", this);
    curTarget_ = NewGameObject<TGameObjectFreeLink>("curTarget", this);
    helperId_ = NewGameObject<TGameObjectStringParam>("helperId", this);
    lifetime_ = NewGameObject<TGameObjectSubParam>("lifetime", this);
    timeleft_ = NewGameObject<TGameObjectSubParam>("timeleft", this);
    spacemodel2player_ = NewGameObject<TGameObjectStringParam>("spacemodel2player", this);
    spacemodel_ = NewGameObject<TGameObjectStringParam>("spacemodel", this);
    mesh_ = NewGameObject<TGameMeshLink>("mesh", this);
}

void TGameObjectRocket::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameSceneObject::Create(name, parent);
    MakeRocketChildren();
}

void TGameObjectRocket::CreateEmpty() {
    TBaseGameSceneObject::CreateEmpty();
    MakeRocketChildren();
}

void TGameObjectRocket::ReInit(const std::string& name, TBaseGameObject* parent) {
    TBaseGameSceneObject::ReInit(name, parent);
    for (TGameEvent* e : {onDeleted_, static_cast<TGameEvent*>(onTick_)})
        if (e && e->EventObjLink()) e->EventObjLink()->setValue(this);
    registeredOn_ = 0;
}

void TGameObjectRocket::ChildLeft(TBaseGameObject* child) {
    TBaseGameSceneObject::ChildLeft(child);
    Drop(child, isDestroyed_, mainFx_, endFx_, shieldFx_, startFxLink_, mainFxLink_, endFxLink_,
         shieldFxLink_, defectFxLink_, gunId_, curTarget_, helperId_, lifetime_, timeleft_,
         spacemodel2player_, spacemodel_, mesh_);
    if (child == Events()) {
        onDeleted_ = nullptr;
        onTick_ = nullptr;
    }
}

void TGameObjectRocket::ClearRocketFields() {
    ClearFields();
    for (TGameObjectStringParam* p : {mainFx_, endFx_, shieldFx_, spacemodel2player_, spacemodel_})
        if (p) p->setValue(std::string());
    for (TGameObjectIntParam* p : {isDestroyed_, endFxLink_})
        if (p) p->setValue(0);
    if (timeleft_) timeleft_->setValue(0.0f);
    if (mesh_) mesh_->setValue(nullptr);
}

void TGameObjectRocket::Delete() {
    if (!deleted_) {
        if (counted_ && Statistics && Statistics->Rocket()) Statistics->Rocket()->Dec();
        counted_ = false;
        // A rocket taken away while it chases a ship takes its mark with it.
        if (registeredOn_) RegisterOn(GameObjectById(registeredOn_), -1);
        if (poolEntry_) {
            for (TGameEvent* e : {onDeleted_, static_cast<TGameEvent*>(onTick_)})
                if (e) e->Deactivate();
            if (OnCollision()) OnCollision()->Deactivate();
            // The start effect objects made under it go too: the next use makes its own.
            std::vector<TBaseGameObject*> started;
            ForEachChildOf(this, [&](TBaseGameObject* c) {
                if (dynamic_cast<TGameObjectFx*>(c)) started.push_back(c);
            });
            for (TBaseGameObject* c : started) c->Delete();
            ClearRocketFields();
        }
    }
    TBaseGameSceneObject::Delete();
}

void TGameObjectRocket::PhCommand(const std::string& command, const std::string& arguments) {
    // A rocket that got no body in the world has nothing to steer.
    if (!Ph() || !Ph()->GetValue()) return;
    RunLua("engine_PhCommand(" + LuaQuote(GetLuaPath(this)) + "," + LuaQuote(command) + arguments + ")");
}

void TGameObjectRocket::RegisterOn(TBaseGameObject* target, int delta) {
    auto* ship = dynamic_cast<TGameObject*>(target);
    if (!ship) return;
    if (delta > 0 && registeredOn_) return;
    if (delta < 0 && registeredOn_ != ship->GetId()) return;
    registeredOn_ = delta > 0 ? ship->GetId() : 0;
    const int32_t kind = SOClass() ? SOClass()->GetValue() : 0;
    if (kind == kSOClassMine) {
        ship->SetIntValue("targetedMines", ship->IntValue("targetedMines") + delta);
        return;
    }
    auto* list = Child<TSmartList>(ship, "targetedRocketList");
    if (delta > 0) {
        if (list) list->Add(this);
        ship->SetIntValue("targetedRocket", ship->IntValue("targetedRocket") + 1);
        // The ship's AI hears of the rocket aimed at it.
        if (ship->TextValue("ai_model").empty()) return;
        TBaseGameObject* ai = ship->FindChild("ai");
        if (auto* alarm = Child<TGameEvent>(ai, "onRocketLock")) {
            alarm->SetEventData(this);
            alarm->Fire();
        }
    } else {
        if (list) list->Remove(this);
        ship->SetIntValue("targetedRocket", ship->IntValue("targetedRocket") - 1);
    }
}

void TGameObjectRocket::SetModels(const std::string& toPlayer, const std::string& model) {
    if (spacemodel2player_) spacemodel2player_->setValue(toPlayer);
    if (spacemodel_) spacemodel_->setValue(model);
}

bool TGameObjectRocket::CreateRocket() {
    if (deleted_ || IsDestroyed() != 0) return false;
    if (!counted_ && Statistics && Statistics->Rocket()) Statistics->Rocket()->Inc();
    counted_ = true;
    TEngineObject* target = GetCurTarget();
    std::string model = target && target == PlayerShip() && spacemodel2player_
                            ? spacemodel2player_->GetValue()
                        : spacemodel_ ? spacemodel_->GetValue()
                                      : std::string();
    if (model.empty()) model = kDefaultMissile;
    if (SOClass()) SOClass()->setValue(kSOClassRocket);
    if (mesh_) mesh_->stringUpdate(model);
    GameWorldLink().AddRocketAdv(this);
    if (auto* t = dynamic_cast<TBaseGameObject*>(target)) {
        if (t->GetParent() && t->GetParent() == RocketsList()) {
            PhCommand("approachToObj", ",\"\"," + LuaQuote(t->GetName()) + ",0,0,1");
        } else if (TBaseRenderUnit* aim = UnitOf(t)) {
            // Without a lock it flies straight at the point it was aimed at.
            const Vec3 p = UnitPosition(aim);
            PhCommand("goToPoint",
                      ",\"\"," + FloatToStrRaw(p.x) + "," + FloatToStrRaw(p.y) + "," + FloatToStrRaw(p.z));
        }
        if (SOClassOf(t) == kSOClassShip) RegisterOn(t, +1);
    }
    const int32_t startFx = startFxLink_ ? startFxLink_->GetValue() : 0;
    if (EffectsOffMode() == 0 && FxTemplateById(startFx)) {
        auto* fx = NewGameObject<TGameObjectFx>("sfx_", this);
        fx->AppendIdToName();
        fx->FxLink()->setValue(FxTemplateById(startFx));
        fx->HexId()->setValue(GetGunId());
        fx->HelperId()->setValue(HelperId());
        if (fx->OnCreated()) fx->OnCreated()->Fire();
    }
    if (onTick_) onTick_->Activate();
    if (OnCollision()) OnCollision()->Activate();
    return true;
}

void TGameObjectRocket::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TBaseGameSceneObject::onCreatedFunc(obj, data);
    CreateRocket();
}

void TGameObjectRocket::onTickFunc(TEngineObject*, TEngineObject* data) {
    LifeTick(FrameTime(data));
}

void TGameObjectRocket::LifeTick(float dtMs) {
    if (deleted_ || !timeleft_) return;
    timeleft_->setValue(timeleft_->GetValue() + 0.001f * dtMs);
    if (timeleft_->GetValue() >= Lifetime() && OnDestroyed()) OnDestroyed()->Fire();
}

void TGameObjectRocket::SpawnHitEffects(TEngineObject* hit, TEngineObject* own) {
    auto* hitObject = dynamic_cast<TBaseGameObject*>(hit);
    TBaseRenderUnit* hitUnit = UnitOf(hit);
    const int32_t defect = defectFxLink_ ? defectFxLink_->GetValue() : 0;
    if (defect != 0 && RadiusValue(hitObject) > 100.0f) {
        if (IBRUCollisionInfo* info = CollisionInfoOf(own))
            SpawnDefectFx(defect, hitUnit, *info);
        else
            ErrorReport(NoCollisionInfoText(own), "mhl");
    }
    TGameMesh* mesh = mesh_ ? mesh_->GetMesh() : nullptr;
    TBaseGameObject* explosions = mesh ? mesh->FindChild("destroyFx") : nullptr;
    std::vector<TBaseGameObject*> entries;
    ForEachChildOf(explosions, [&](TBaseGameObject* c) { entries.push_back(c); });
    for (TBaseGameObject* entry : entries) {
        auto* link = dynamic_cast<TDestroyFxLink*>(entry);
        if (!link) {
            ErrorReport(Ru("TGameObjectRocket.onCollisionFunc error: в таблице \"destroyFx\" ракеты ") +
                            GetDebugPath(this) + Ru(" найден обьект класса ") + entry->ClassName() +
                            Ru(" , это ОШИБКА .Этот класс не может обрабатываться как ФХ!!! "),
                        "mhl");
            return;
        }
        IBRUCollisionInfo* info = CollisionInfoOf(own);
        if (!info || !link->FxPointer()) continue;
        Vec3 point;
        info->GetPoint(point);
        SpawnBurstAt(link->FxPointer()->GetValue(), hitUnit, point);
    }
}

void TGameObjectRocket::onCollisionFunc(TEngineObject* obj, TEngineObject* data) {
    if (deleted_ || IsDestroyed() != 0) return;
    TEngineObject* spawner = Spawner() ? Spawner()->GetValue() : nullptr;
    if (data == spawner) return;
    auto* hit = dynamic_cast<TBaseGameObject*>(data);
    SpawnHitEffects(data, GetHex());
    if (hit && SOClassOf(hit) == kSOClassShip && spawner && spawner == PlayerShip())
        CountPlayerHit("secondary", hit);
    TBaseGameSceneObject::onCollisionFunc(obj, data);
    // The sweep finds a hit ahead of the rocket: it goes off where it met the object.
    if (IBRUCollisionInfo* info = CollisionInfoOf(GetHex())) {
        Vec3 point;
        info->GetPoint(point);
        MoveUnitTo(GetHex(), point);
    }
    // A rocket strikes through the splash of its hits only: they go off on the rocket itself.
    for (TGameObjectEffect* e : EffectsOf(Effects()))
        if (dynamic_cast<TDamageEffect*>(e)) Enable(e, this);
    if (OnDestroyed()) OnDestroyed()->Fire();
}

void TGameObjectRocket::onDestroyedFunc(TEngineObject* obj, TEngineObject* data) {
    if (IsDestroyed() != 0) return;
    if (auto* target = dynamic_cast<TBaseGameObject*>(GetCurTarget()); SOClassOf(target) == kSOClassShip)
        RegisterOn(target, -1);
    if (onTick_) onTick_->Deactivate();
    if (OnCollision()) OnCollision()->Deactivate();
    // Deleted in the next tick, when the timer of no time ends.
    if (Effects()) {
        auto* timer = NewGameObject<TGameTimeEffect>("deffect", Effects());
        timer->FuncLink()->setValue(onDeleted_);
        timer->TimeMax()->setValue(0.0f);
    }
    if (isDestroyed_) isDestroyed_->setValue(1);
    TBaseGameSceneObject::onDestroyedFunc(obj, data);
}

void TGameObjectRocket::onDeletedFunc(TEngineObject*, TEngineObject*) {
    Delete();
}

float TGameObjectRocket::TimeLeft() const {
    return timeleft_ ? timeleft_->GetValue() : 0.0f;
}
int32_t TGameObjectRocket::IsDestroyed() const {
    return isDestroyed_ ? isDestroyed_->GetValue() : 0;
}

// ---- TGameObjectContainer ----------------------------------------------------------------------------

void TGameObjectContainer::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TBaseGameSceneObject::onCreatedFunc(obj, data);
    if (!CreateRocket()) return;
    if (SOClass()) SOClass()->setValue(kSOClassContainer);
    PhCommand("stop", ",\"\",0");
    for (TGameObjectEffect* e : EffectsOf(Effects())) Enable(e, this);
}

// ---- TGameObjectMine ----------------------------------------------------------------------------------

void TGameObjectMine::MakeMineChildren() {
    onReady_ = NewGameObject<TGameEvent>("onReady", Events());
    onReady_->SetHandler([this](TEngineObject* o, TEngineObject* d) { onReadyFunc(o, d); });
    activateRadius_ = NewGameObject<TGameObjectSubParam>("activateRadius", this);
    activateTime_ = NewGameObject<TGameObjectSubParam>("activateTime", this);
    enemyFound_ = NewGameObject<TGameObjectIntParam>("enemyFound", this);
    timeLeft_ = NewGameObject<TGameObjectSubParam>("timeLeft", this);
    fraction_ = NewGameObject<TFractionLink>("fraction", this);
    standingHelper_ = NewGameObject<TGameObjectFreeLink>("standingHelper", this);
}

void TGameObjectMine::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectRocket::Create(name, parent);
    MakeMineChildren();
}

void TGameObjectMine::CreateEmpty() {
    TGameObjectRocket::CreateEmpty();
    MakeMineChildren();
}

void TGameObjectMine::ReInit(const std::string& name, TBaseGameObject* parent) {
    TGameObjectRocket::ReInit(name, parent);
    if (onReady_ && onReady_->EventObjLink()) onReady_->EventObjLink()->setValue(this);
    if (enemyFound_) enemyFound_->setValue(0);
    if (standingHelper_) standingHelper_->setValue(nullptr);
    if (fraction_) fraction_->setValue(nullptr);
}

void TGameObjectMine::ChildLeft(TBaseGameObject* child) {
    TGameObjectRocket::ChildLeft(child);
    Drop(child, activateRadius_, activateTime_, enemyFound_, timeLeft_, fraction_, standingHelper_);
    if (child == Events()) onReady_ = nullptr;
}

int32_t TGameObjectMine::EnemyFound() const {
    return enemyFound_ ? enemyFound_->GetValue() : 0;
}

TBaseGameSceneObject* TGameObjectMine::StandingHelper() const {
    return standingHelper_ ? dynamic_cast<TBaseGameSceneObject*>(standingHelper_->GetValue()) : nullptr;
}

void TGameObjectMine::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TBaseGameSceneObject::onCreatedFunc(obj, data);
    if (CreateRocket()) {
        if (SOClass()) SOClass()->setValue(kSOClassMine);
        // Inert until armed: the timer calls onReady.
        if (Effects()) {
            auto* timer = NewGameObject<TGameTimeEffect>("reffect", Effects());
            timer->FuncLink()->setValue(onReady_);
            timer->TimeMax()->setValue(activateTime_ ? activateTime_->GetValue() : 0.0f);
        }
        if (OnCollision()) OnCollision()->Deactivate();
        if (OnTickEvent()) OnTickEvent()->Deactivate();
    }
    TEngineObject* spawner = Spawner() ? Spawner()->GetValue() : nullptr;
    if (fraction_) {
        auto* ship = dynamic_cast<TBaseGameObject*>(spawner);
        if (ship && &ship->GameClass() == &TGameObject::StaticClass()) {
            auto* theirs = Child<TGameObjectLinkParam>(ship, "fraction");
            fraction_->setValue(theirs ? theirs->GetLinked() : nullptr);
        } else if (!spawner && !fraction_->GetLinked()) {
            fraction_->stringUpdate("player");
        }
    }
    // The HUD marks the mine (when the scripts have the helper list).
    RunLua("if iActiveHelpers ~= nil and iActiveHelpers.i_AddMineAHHers ~= nil then "
           "iActiveHelpers.i_AddMineAHHers(" +
           LuaQuote(TEngineObject::GetHex()) + ") end");
}

void TGameObjectMine::onReadyFunc(TEngineObject*, TEngineObject*) {
    if (deleted_ || IsDestroyed() != 0) return;
    auto* post = dynamic_cast<TBaseGameSceneObject*>(
        NewChildOfClass("TGameDinamicTrigger", TBaseGameSceneObject::StaticClass(), "sh", Svitch()));
    if (standingHelper_) standingHelper_->setValue(post);
    if (post) {
        if (auto* parent = Child<TGameObjectFreeLink>(post, "parentShip")) parent->setValue(this);
        if (post->OnCreated()) post->OnCreated()->Fire();
        // The post is where the mine is now.
        EnsureHelperUnit(post, UnitPosition(GetHex()));
    }
    PhCommand("stop", ",\"\",0");
    if (OnTickEvent()) OnTickEvent()->Activate();
    if (OnCollision()) OnCollision()->Activate();
}

void TGameObjectMine::onTickFunc(TEngineObject*, TEngineObject* data) {
    MineTick(FrameTime(data));
}

void TGameObjectMine::MineTick(float dtMs) {
    if (deleted_) return;
    TBaseRenderUnit* own = UnitOf(this);
    const float radius = activateRadius_ ? activateRadius_->GetValue() : 0.0f;
    if (EnemyFound() != 1 && own) {
        TBaseGameObject* found = nullptr;
        ForEachChildOf(RocketsList(), [&](TBaseGameObject* o) {
            if (found || o == this || SOClassOf(o) != kSOClassShip) return;
            TBaseRenderUnit* unit = UnitOf(o);
            if (!unit || SurfaceRange(unit, own) > radius) return;
            if (AttitudeOf(this, o) < 50.0f) found = o;
        });
        if (found) {
            if (enemyFound_) enemyFound_->setValue(1);
            SetCurTarget(found);
            Attack();
        }
    }
    if (EnemyFound() == 1) {
        auto* target = dynamic_cast<TBaseGameObject*>(GetCurTarget());
        if (!target) {
            ReturnToPost();
            if (enemyFound_) enemyFound_->setValue(0);
        } else if (!own || !UnitOf(target) || SurfaceRange(UnitOf(target), own) > radius) {
            ReturnToPost();
            if (enemyFound_) enemyFound_->setValue(0);
            SetCurTarget(nullptr);
        }
    }
    LifeTick(dtMs);
}

void TGameObjectMine::ResumeSpeed() {
    // Holding its post took the mine's speed to 0: the chase and the way back
    // need it again.
    if (auto* ai = dynamic_cast<BaseAIUnitClass*>(Ph() ? Ph()->GetValue() : nullptr))
        if (const TShipPhysicParams* record = ai->GetPhysicParams()) ai->SetSpeed(record->maxVelocity);
}

void TGameObjectMine::Attack() {
    auto* target = dynamic_cast<TBaseGameObject*>(GetCurTarget());
    if (!target) return;
    ResumeSpeed();
    if (target->GetParent() && target->GetParent() == RocketsList())
        PhCommand("approachToObj", ",\"\"," + LuaQuote(target->GetName()) + ",0,0,1");
    if (SOClassOf(target) == kSOClassShip) RegisterOn(target, +1);
}

void TGameObjectMine::ReturnToPost() {
    PhCommand("stop", ",\"\",0");
    TBaseRenderUnit* post = UnitOf(StandingHelper());
    if (post) {
        ResumeSpeed();
        PhCommand("goToHelperHex", ",\"\"," + LuaQuote(post->GetHex()));
    }
    if (auto* target = dynamic_cast<TBaseGameObject*>(GetCurTarget()); SOClassOf(target) == kSOClassShip)
        RegisterOn(target, -1);
}

void RegisterProjectileClasses() {
    RegisterGameClass(TGameObjectBullet::StaticClass());
    RegisterGameClass(TGameObjectRocket::StaticClass());
    RegisterGameClass(TGameObjectContainer::StaticClass());
    RegisterGameClass(TGameObjectMine::StaticClass());
}

} // namespace vesk
