#include "game/game_objects.h"

#include <set>
#include <vector>

#include "game/ai_helpers.h"
#include "game/damage.h"
#include "game/effect_links.h"
#include "game/events.h"
#include "game/fx_objects.h"
#include "game/game_constants.h"
#include "game/game_ini_table.h"
#include "game/game_parts.h"
#include "game/game_text.h"
#include "game/mesh_tables.h"
#include "game/obj_managers.h"
#include "game/player.h"
#include "game/player_regimes.h"
#include "game/slots.h"
#include "game/statistics.h"
#include "game/task_queue.h"
#include "game/world_link.h"
#include "physics/ai_unit.h"
#include "physics/camera_game.h"
#include "shared/errors.h"
#include "world/fx_spawn.h"

namespace vesk {

namespace {

// "SOClass" of the planets, which join the environment instead of the scene.
constexpr int kSOClassPlanet = 10;
// The item class of weapons: the ship's shots start and end their use.
constexpr int32_t kWeaponItemClass = 1;

void CountGameObject(int delta) {
    if (!Statistics || !Statistics->SpaceObj()) return;
    if (delta > 0)
        Statistics->SpaceObj()->Inc();
    else
        Statistics->SpaceObj()->Dec();
}

std::string NotAnEffectText(const char* where, const char* list, const TBaseGameObject* obj,
                            const TBaseGameObject* entry) {
    return std::string(where) + Ru(" error: в таблице \"") + list + Ru("\" корабля ") + GetDebugPath(obj) +
           Ru(" найден обьект типа ") + entry->ClassName() +
           Ru(", это ОШИБКА .Этот класс не может обрабатываться как ФХ!!!");
}

} // namespace

TBaseGameObject* NewChildOfClass(const char* className, const TGameClass& fallback, const std::string& name,
                                 TBaseGameObject* parent) {
    if (const TGameClass* cls = FindGameClassQuiet(className)) return NewGameObject(*cls, name, parent);
    static std::set<std::string> told;
    if (told.insert(className).second)
        FastLogAdd(std::string("class ") + className + " is not available: \"" + name + "\" is a " +
                   fallback.name);
    return NewGameObject(fallback, name, parent);
}

// ---- TSmartList --------------------------------------------------------------------------

void TSmartList::Add(TEngineObject* obj) {
    if (!obj || Contains(obj)) return;
    NewGameObject<TGameObjectFreeLink>(obj->GetHex(), this)->setValue(obj);
}

void TSmartList::Remove(TEngineObject* obj) {
    int32_t cursor;
    TBaseGameObject* child;
    First(cursor);
    while (Next(cursor, child))
        if (auto* link = dynamic_cast<TGameObjectFreeLink*>(child); link && link->GetValue() == obj)
            link->Delete();
}

bool TSmartList::Contains(TEngineObject* obj) {
    int32_t cursor;
    TBaseGameObject* child;
    First(cursor);
    while (Next(cursor, child))
        if (auto* link = dynamic_cast<TGameObjectFreeLink*>(child); link && link->GetValue() == obj)
            return true;
    return false;
}

int32_t TSmartList::CountLinked() {
    int32_t n = 0;
    int32_t cursor;
    TBaseGameObject* child;
    First(cursor);
    while (Next(cursor, child))
        if (auto* link = dynamic_cast<TGameObjectFreeLink*>(child); link && link->GetValue()) ++n;
    return n;
}

// ---- TGameObject -----------------------------------------------------------------------

TGameEvent* TGameObject::NewEvent(const char* name,
                                  void (TGameObject::*handler)(TEngineObject*, TEngineObject*)) {
    auto* e = NewGameObject<TGameEvent>(name, Events());
    e->SetHandler([this, handler](TEngineObject* o, TEngineObject* d) { (this->*handler)(o, d); });
    return e;
}

void TGameObject::MakeObjectChildren() {
    constexpr ParamKind S = ParamKind::String;
    constexpr ParamKind I = ParamKind::Int;
    AddParams(this, {{"coolingCount", I}, {"repairedCount", I}, {"isDestroyed", I}});
    NewEvent("onDeleted", &TGameObject::onDeletedFunc);
    NewGameObject<TonTick>("onTick", Events())->SetHandler([this](TEngineObject* o, TEngineObject* d) {
        onTickFunc(o, d);
    });
    AddParams(this, {{"overheat", I}});
    NewEvent("onTemperatureBurst", &TGameObject::onTemperatureBurstFunc);
    NewEvent("onTemperatureNormal", &TGameObject::onTemperatureNormalFunc);
    NewEvent("onDamage", &TGameObject::onDamageFunc);
    NewEvent("onDamaged", &TGameObject::onDamagedFunc);
    NewEvent("onShipBeginShot", &TGameObject::onShipBeginShotFunc);
    NewEvent("onShipEndShot", &TGameObject::onShipEndShotFunc);
    NewEvent("startForsage", &TGameObject::startForsageFunc);
    NewEvent("endForsage", &TGameObject::endForsageFunc);
    AddParams(this, {{"isForsage", I}});
    NewEvent("onShipDropAntirocket", &TGameObject::onShipDropAntirocketFunc);
    AddParams(this, {{"max_name", S},
                     {"location_hex", S},
                     {"parent_ship_name", S},
                     {"helper_name", S},
                     {"position", S},
                     {"spacemodel", S},
                     {"mainClass", S}});
    params_ = NewGameObject<TGameObjectParams>("param", this);
    AddParams(this, {{"indestructable", ParamKind::Sub}, {"dialog", S}, {"name", S}});
    mesh_ = NewGameObject<TGameMeshLink>("mesh", this);
    NewGameObject<TGameObjTaskManager>("tasks", this);
    SetHex(nullptr);
    NewGameObject<TFractionLink>("fraction", this);
    cargo_ = NewGameObject<TGameObjectCargo>("cargo", this);
    slots_ = NewGameObject<TSlots>("slots", this);
    NewChildOfClass("TGameObjectEmptyShipAIModel", TGameEventList::StaticClass(), "ai", this);
    NewChildOfClass("TGameObjectAiModelLink", TGameObjectStringParam::StaticClass(), "ai_model", this);
    NewGameObject<TGameObjectFreeLink>("rocketTarget", this);
    NewGameObject<TSmartList>("targeted", this);
    AddParams(this, {{"targetedRocket", I}});
    NewGameObject<TSmartList>("targetedRocketList", this);
    AddParams(this, {{"targetedMines", I}, {"priority", I}});
    NewGameObject<TBaseGameObjectList>("damageFx", this);
    NewGameObject<TBaseGameObjectList>("collisionFx", this);
    AddParams(this, {{"parent", S}, {"icon", S}, {"enginesAlwaysGlow", I}});
    auto* finalBoom = NewGameObject<TGameEvent>("finalBoom", this);
    finalBoom->SetHandler([this](TEngineObject* o, TEngineObject* d) { finalBoomFunc(o, d); });
    finalBoom->EventObjLink()->setValue(this);
    isTargeted_ = NewGameObject<TGameTargetedObjectLink>("isTargeted", this);
    isTargeted_->EventObjLink()->setValue(this);
    AddParams(this, {{"size", I}});
    activeDamageFx_ = 0;
    itemsInUse_ = {};
}

void TGameObject::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameSceneObject::Create(name, parent);
    MakeObjectChildren();
    CountGameObject(+1);
    counted_ = true;
}

void TGameObject::CreateEmpty() {
    TBaseGameSceneObject::CreateEmpty();
    MakeObjectChildren();
}

void TGameObject::ReInit(const std::string& name, TBaseGameObject* parent) {
    TBaseGameSceneObject::ReInit(name, parent);
    // The links to the object ended when it was deleted.
    if (Events()) {
        int32_t cursor;
        TBaseGameObject* child;
        Events()->First(cursor);
        while (Events()->Next(cursor, child))
            if (auto* e = dynamic_cast<TGameEvent*>(child); e && e->EventObjLink())
                e->EventObjLink()->setValue(this);
    }
    for (const char* name : {"finalBoom", "isTargeted"})
        if (auto* e = dynamic_cast<TGameEvent*>(FindChild(name)); e && e->EventObjLink())
            e->EventObjLink()->setValue(this);
    activeDamageFx_ = 0;
    itemsInUse_ = {};
    CountGameObject(+1);
    counted_ = true;
}

void TGameObject::Delete() {
    if (!deleted_) {
        if (counted_) CountGameObject(-1);
        counted_ = false;
        // A pooled object keeps its children: they must not go on ticking.
        if (TonTick* tick = OnTick()) tick->Deactivate();
        if (isTargeted_) isTargeted_->Deactivate();
    }
    TBaseGameSceneObject::Delete();
}

void TGameObject::ChildLeft(TBaseGameObject* child) {
    TBaseGameSceneObject::ChildLeft(child);
    if (child == params_) params_ = nullptr;
    if (child == mesh_) mesh_ = nullptr;
    if (child == cargo_) cargo_ = nullptr;
    if (child == slots_) slots_ = nullptr;
    if (child == isTargeted_) isTargeted_ = nullptr;
}

TonTick* TGameObject::OnTick() const {
    return dynamic_cast<TonTick*>(Event("onTick"));
}

TGameObjectParam* TGameObject::Param(const std::string& name) const {
    return FindObjectParam(this, name);
}

TGameEvent* TGameObject::Event(const std::string& name) const {
    if (Events())
        if (auto* e = dynamic_cast<TGameEvent*>(Events()->GetObjects()->Find(name))) return e;
    return objects_ ? dynamic_cast<TGameEvent*>(objects_->Find(name)) : nullptr;
}

int32_t TGameObject::IntValue(const char* name) const {
    auto* p = objects_ ? dynamic_cast<TGameObjectIntParam*>(objects_->Find(name)) : nullptr;
    return p ? p->GetValue() : 0;
}

void TGameObject::SetIntValue(const char* name, int32_t v) {
    if (auto* p = objects_ ? dynamic_cast<TGameObjectIntParam*>(objects_->Find(name)) : nullptr)
        p->setValue(v);
}

std::string TGameObject::TextValue(const char* name) const {
    auto* p = objects_ ? dynamic_cast<TGameObjectStringParam*>(objects_->Find(name)) : nullptr;
    return p ? p->GetValue() : std::string();
}

int32_t TGameObject::ItemsInUse(int functionalType) const {
    return functionalType == 1 || functionalType == 2 ? itemsInUse_[static_cast<size_t>(functionalType - 1)]
                                                      : 0;
}

void TGameObject::ChangeItemsInUse(int functionalType, int delta) {
    if (functionalType == 1 || functionalType == 2)
        itemsInUse_[static_cast<size_t>(functionalType - 1)] += delta;
}

// ---- creation, destruction, collision -------------------------------------------------------

void TGameObject::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TBaseGameSceneObject::onCreatedFunc(obj, data);
    const std::string model = TextValue("spacemodel");
    const int32_t soClass = SOClass() ? SOClass()->GetValue() : 0;
    if (!model.empty()) {
        if (mesh_) mesh_->stringUpdate(model);
        if (soClass != kSOClassPlanet) {
            GameWorldLink().AddObjAdv(this);
            if (OnCollision()) OnCollision()->Activate();
            // The engines glow at rest only when the object says so.
            auto* unit = dynamic_cast<TBaseRenderUnit*>(GetHex());
            IRenderUnitAI* ai = nullptr;
            if (unit && unit->GetBPU(ai))
                if (auto* bpu = dynamic_cast<BaseAIUnitClass*>(ai))
                    bpu->SetStateByte(IntValue("enginesAlwaysGlow") == 1 ? 1 : 0);
        } else {
            GameWorldLink().AddEnvObjAdv(this);
        }
    }
    if (soClass == kSOClassShip) {
        if (isTargeted_) isTargeted_->Activate();
        GameWorldLink().PreloadMesh("ship", "self", model);
        if (TonTick* tick = OnTick()) tick->Activate();
        if (params_) params_->ResetTicks();
    }
    RefreshLoadingBar();
}

void TGameObject::onDestroyedFunc(TEngineObject*, TEngineObject*) {
    TGameMesh* mesh = mesh_ ? mesh_->GetMesh() : nullptr;
    const float fxTime = mesh ? mesh->spawnDestroyFx(this) : 0.0f;
    if (TGameEvent* boom = Event("finalBoom")) boom->Fire();
    // The wreck has had its time once its destruction effects have had theirs:
    // then its "onDeleted" fires, and the scripts say what becomes of it.
    if (Effects()) {
        auto* timer = NewGameObject<TGameTimeEffect>("deffect", Effects());
        timer->FuncLink()->setValue(Event("onDeleted"));
        timer->TimeMax()->setValue(fxTime);
    }
    if (IParamPhysicsLink* link = GetParamPhysicsLink(); link && link->IsPlayerShip(this))
        RunLua("ingame.MissionFailed(1);");
}

void TGameObject::onCollisionFunc(TEngineObject*, TEngineObject*) {
    CollisionDamage();
    TBaseGameObject* list = FindChild("collisionFx");
    if (!list) return;
    std::vector<IGameFxLink*> links;
    int32_t cursor;
    TBaseGameObject* entry;
    list->First(cursor);
    while (list->Next(cursor, entry)) {
        auto* link = dynamic_cast<IGameFxLink*>(entry);
        if (!link) {
            ErrorReport(NotAnEffectText("TGameObject.onCollisionFunc", "collisionFx", this, entry), "mhl");
            return;
        }
        links.push_back(link);
    }
    // Every collision shows the effects afresh (sparks where the hull was struck).
    for (IGameFxLink* link : links) link->ShowFx(this);
}

void TGameObject::CollisionDamage() {
    const float k = GameConstants ? GameConstants->Get(GameConstant::collisionDamageCoefficient) : 0.0f;
    auto* ai = Ph() ? dynamic_cast<BaseAIUnitClass*>(Ph()->GetValue()) : nullptr;
    const float amount = ai ? k * ai->GetImpact() : 0.0f;
    if (!(amount > 0.0f) || !Effects()) return;
    // A hit like a shot's (shield, then armor, then hull), dealt by no one.
    auto* hit = NewGameObject<TDamageEffect>("dmgCollision_", Effects());
    hit->AppendIdToName();
    for (DamageAmount a : {DamageAmount::damage, DamageAmount::shieldDamage, DamageAmount::armorDamage})
        hit->SetAmount(a, amount);
    if (!hit->OnEnable()) return;
    hit->OnEnable()->SetEventData(this);
    hit->OnEnable()->Fire();
}

// ---- the tick ---------------------------------------------------------------------------------

void TGameObject::onTickFunc(TEngineObject*, TEngineObject*) {
    TickObject();
}

void TGameObject::TickObject() {
    TGameObjectParam* temperature =
        ticks_.temperature.Find(ticks_.paramSet.Find(this, "param"), "temperature");
    const float t = temperature && temperature->Cur() ? temperature->Cur()->GetValue() : 0.0f;
    const float limit = GameConstants ? GameConstants->Get(GameConstant::maxOverheatValue) : 0.0f;
    auto overheat = [this] {
        const TGameObjectIntParam* p = ticks_.overheat.Find(this, "overheat");
        return p ? p->GetValue() : 0;
    };
    if (t >= limit && overheat() == 0) {
        if (TGameEvent* e = Event("onTemperatureBurst")) e->Fire();
    } else if (t < limit && overheat() == 1) {
        if (TGameEvent* e = Event("onTemperatureNormal")) e->Fire();
    }
    TickDamageFx();
    if (temperature && temperature->Cur() && temperature->Max() &&
        temperature->Cur()->GetValue() == temperature->Max()->GetValue())
        if (TGameEvent* e = Event("endForsage")) e->Fire();
}

void TGameObject::TickDamageFx() {
    if (const TGameObjectIntParam* poor = ticks_.poorFx.Find(GameIniTable, "poorfx");
        poor && poor->GetValue() != 0)
        return;
    TBaseGameObject* list = ticks_.damageFx.Find(this, "damageFx");
    if (!list) return;
    int32_t cursor;
    TBaseGameObject* entry;
    list->First(cursor);
    while (list->Next(cursor, entry)) {
        auto* link = dynamic_cast<IGameDamageFxLink*>(entry);
        if (!link) {
            ErrorReport(NotAnEffectText("TGameObject.onTickFunc", "damageFx", this, entry), "mhl");
            return;
        }
        TGameObjectParam* p = Param(link->WatchedParam());
        if (!p || !p->Cur() || !p->Max()) continue;
        const float max = p->Max()->GetValue();
        // Without a maximum there is nothing left of the value.
        // Multiplied first, so 30 of 100 is exactly 30 percent.
        const double percent = max != 0.0f ? double(p->Cur()->GetValue()) * 100.0 / max : 0.0;
        const float threshold = link->ThresholdPercent();
        if (threshold >= percent && !link->IsFxShown()) {
            link->ShowFx(this);
            ++activeDamageFx_;
        } else if (threshold < percent && link->IsFxShown()) {
            link->HideFx();
            --activeDamageFx_;
        }
    }
}

void TGameObject::HideDamageFx() {
    TBaseGameObject* list = FindChild("damageFx");
    if (!list) return;
    int32_t cursor;
    TBaseGameObject* entry;
    list->First(cursor);
    while (list->Next(cursor, entry))
        if (auto* link = dynamic_cast<IGameDamageFxLink*>(entry); link && link->IsFxShown()) {
            link->HideFx();
            --activeDamageFx_;
        }
}

void TGameObject::saveData(const std::string& fileName) {
    // No damage effect is saved as shown.
    HideDamageFx();
    TBaseGameSceneObject::saveData(fileName);
}

// ---- event handlers ----------------------------------------------------------------------------

void TGameObject::onDeletedFunc(TEngineObject*, TEngineObject*) {}

void TGameObject::onTemperatureBurstFunc(TEngineObject*, TEngineObject*) {
    SetIntValue("overheat", 1);
    if (TGameEvent* e = Event("onShipEndShot")) e->Fire();
}

void TGameObject::onTemperatureNormalFunc(TEngineObject*, TEngineObject*) {
    SetIntValue("overheat", 0);
}

void TGameObject::onDamageFunc(TEngineObject* obj, TEngineObject* data) {
    TBaseGameObject* ai = FindChild("ai");
    auto* e =
        ai && ai->GetObjects() ? dynamic_cast<TGameEvent*>(ai->GetObjects()->Find("onDamage")) : nullptr;
    if (!e) return;
    if (e->EventObjLink()) e->EventObjLink()->setValue(obj);
    e->SetEventData(data);
    e->Fire();
}

void TGameObject::onDamagedFunc(TEngineObject*, TEngineObject* data) {
    auto* hit = dynamic_cast<TDamageEffect*>(data);
    if (!hit || IntValue("isDestroyed") != 0) return;
    auto* indestructable =
        objects_ ? dynamic_cast<TGameObjectSubParam*>(objects_->Find("indestructable")) : nullptr;
    if (indestructable && indestructable->GetValue() != 0.0f) return;
    // The player's ship takes its hits through its regime.
    if (IPlayerShipRegime* regime = ShipRegimeOf(this)) regime->OnDamage(*hit);
    hit->Apply(this);
    // What the player's ship does to others counts in the player's statistics.
    TBaseGameObject* player = PlayerShip();
    auto* shooter =
        hit->InitiatorLink() ? dynamic_cast<TBaseGameObject*>(hit->InitiatorLink()->GetValue()) : nullptr;
    TGameStatistics* stats = shooter && shooter == player && player != this && Player
                                 ? dynamic_cast<TGameStatistics*>(Player->FindChild("statistics"))
                                 : nullptr;
    const bool enemy = AttitudeOf(this, player) <= 50.0f;
    if (stats) stats->CountDamage(enemy);
    // An object with a hull is destroyed once the hull is gone.
    TGameObjectParam* hull = Param("durability");
    if (hull && hull->Max() && hull->Max()->GetValue() > 0.0f && hull->Cur()->GetValue() <= 0.0f) {
        SetIntValue("isDestroyed", 1);
        if (stats && enemy) {
            const std::string shown = TextValue("name");
            stats->CountDestroyedEnemy(shown.empty() ? GetName() : shown);
        }
        if (OnDestroyed()) OnDestroyed()->Fire();
    }
}

void TGameObject::onShipBeginShotFunc(TEngineObject*, TEngineObject* data) {
    if (!slots_) return;
    // An overheated ship fires only its kinetic weapons.
    if (IntValue("overheat") != 0)
        slots_->StartUseByGroup("kinetic", data);
    else
        slots_->StartUseByClass(kWeaponItemClass, data);
}

void TGameObject::onShipEndShotFunc(TEngineObject*, TEngineObject* data) {
    if (slots_) slots_->EndUseByClass(kWeaponItemClass, data);
}

void TGameObject::startForsageFunc(TEngineObject*, TEngineObject*) {
    // The player's view shakes as the afterburner kicks in, as the game's constants say.
    IParamPhysicsLink* link = GetParamPhysicsLink();
    TGameCamera* camera = GameCamera();
    if (!camera || !GameConstants || !link || !link->IsPlayerShip(this)) return;
    const float time = GameConstants->Get(GameConstant::forsageQuakeTime);
    const float amplitude = GameConstants->Get(GameConstant::forsageQuakeAmplitude);
    if (time > 0.0f && amplitude > 0.0f)
        camera->StartQuake(true, time, amplitude, GameConstants->Get(GameConstant::forsageQuakeFrequency));
}
void TGameObject::endForsageFunc(TEngineObject*, TEngineObject*) {}
void TGameObject::onShipDropAntirocketFunc(TEngineObject*, TEngineObject*) {}
void TGameObject::finalBoomFunc(TEngineObject*, TEngineObject*) {
    // The last explosion of a destroyed object, of the big kind for a hull of
    // over 3000: the effect "final_boom_small" or "final_boom_big" of the "fx"
    // table, where the content has one.
    TEngineObject* unit = GetHex();
    if (!unit) return;
    TGameObjectParam* hull = Param("durability");
    const float hullMax = hull && hull->Max() ? hull->Max()->GetValue() : 0.0f;
    const char* fx = hullMax / 10.0f > 300.0f ? "final_boom_big" : "final_boom_small";
    if (TEngineObject* templ = FxTableTemplate(fx)) FXSpawn({"", templ->GetHex(), unit->GetHex(), ""});
}

// ---- TGameObjects, TGameObjectLink ----------------------------------------------------------------

void TGameObjects::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    SetDefaultChildClass(&TGameObject::StaticClass());
}

namespace {
TBaseGameObject* ObjectList() {
    return GlobalObjects ? GlobalObjects->FindChild("obj") : nullptr;
}
} // namespace

void TGameObjectLink::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectLinkParam::Create(name, parent);
    SetTable(ObjectList());
}

void TGameObjectLink::stringUpdate(const std::string& text) {
    if (!GetTable()) SetTable(ObjectList());
    TGameObjectLinkParam::stringUpdate(text);
}

void RegisterGameObjectClasses() {
    RegisterGameClass(TGameObject::StaticClass());
    RegisterGameClass(TGameObjects::StaticClass());
    RegisterGameClass(TGameObjectLink::StaticClass());
    RegisterGameClass(TSmartList::StaticClass());
}

} // namespace vesk
