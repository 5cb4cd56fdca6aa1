#include "game/rockets.h"

#include "core/lua_readers.h"
#include "core/var_list.h"
#include "game/ai_helpers.h"
#include "game/combat_world.h"
#include "game/damage.h"
#include "game/fx_objects.h"
#include "game/game_objects.h"
#include "game/mesh_tables.h"
#include "game/params.h"
#include "game/player.h"
#include "game/statistics.h"
#include "game/world_link.h"
#include "physics/coll_detector.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

// A rocket without a model of its own flies as this one.
constexpr const char* kDefaultMissile = "general_missile";

float RadiusValue(TBaseGameObject* obj) {
    auto* so = dynamic_cast<TBaseGameSceneObject*>(obj);
    return so && so->Radius() ? so->Radius()->GetValue() : 0.0f;
}

} // namespace

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
    MakeFlightFields(this);
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
    DropField(child);
    ForgetChild(child, isDestroyed_, mainFx_, endFx_, shieldFx_, endFxLink_, timeleft_, spacemodel2player_,
                spacemodel_, mesh_);
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
            for (TGameObjectFx* c : ChildrenOf<TGameObjectFx>(this)) c->Delete();
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
    LifeTick(FrameTimeOf(data));
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
    for (TBaseGameObject* entry : ChildrenOf(explosions)) {
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
    for (TGameObjectEffect* e : ChildrenOf<TGameObjectEffect>(Effects()))
        if (dynamic_cast<TDamageEffect*>(e)) e->EnableOn(this);
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
    for (TGameObjectEffect* e : ChildrenOf<TGameObjectEffect>(Effects())) e->EnableOn(this);
}

} // namespace vesk
