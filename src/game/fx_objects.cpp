#include "game/fx_objects.h"

#include "core/lua_readers.h"
#include "game/ai_helpers.h"
#include "game/game_objects.h"
#include "game/game_text.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "game/world_link.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "world/fx_spawn.h"

namespace vesk {

namespace {

// The template registered for an "fx" entry (its "hex" written by the effect
// library), nullptr when the entry has none.
TEngineObject* TemplateOf(const std::string& fx, std::string& hex) {
    hex = GetLuaString("fx" + LuaSubscript(fx) + ".hex", true);
    int32_t id = 0;
    if (!TryParseInt32(hex, id)) return nullptr;
    return FindEngineObjectById(id);
}

std::string NoSuchEffect(const std::string& fx) {
    return Ru(" визуального эффекта \"") + fx + "\"";
}

// The frame time of the tick list an event sits on.
float FrameTimeOf(TGameEvent* e) {
    tTickedObjects* list = e ? e->GetTickList() : nullptr;
    return list ? list->GetFrameTime() : 0.0f;
}

template <class T> void Forget(TBaseGameObject* child, T*& field) {
    if (child == field) field = nullptr;
}

// A link to the game object an effect is shown on, named in the global object list "obj".
TGameObjectLinkParam* NewObjectLink(TBaseGameObject* parent) {
    return NewGameObject<TGameObjectLink>("objId", parent);
}

// Where a destroyed object's explosion and debris live: its own effect list.
// The entries that describe them belong to the mesh description every object
// of the model shares, so nothing of one object's destruction is kept there.
TBaseGameObject* EffectListOf(TBaseGameObject* object) {
    auto* scene = dynamic_cast<TBaseGameSceneObject*>(object);
    return scene ? scene->Effects() : nullptr;
}

} // namespace

TEngineObject* FxTableTemplate(const std::string& fx) {
    std::string hex;
    return TemplateOf(fx, hex);
}

// ---- effect links ----------------------------------------------------------------------------

void TGameObjectFxLink::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    fx_ = NewGameObject<TGameObjectStringParam>("fx", this);
    objId_ = NewObjectLink(this);
    helperId_ = NewGameObject<TGameObjectStringParam>("helperId", this);
    fxLink_ = NewGameObject<TGameObjectFreeLink>("fxLink", this);
    onCreated_ = NewGameObject<TonCreated>("onCreated", this);
    onCreated_->SetHandler([this](TEngineObject* o, TEngineObject* d) { onCreatedFunc(o, d); });
    fxPointer_ = NewGameObject<TGameObjectFreeLink>("fxPointer", this);
}

void TGameObjectFxLink::ChildLeft(TBaseGameObject* child) {
    Forget(child, fx_);
    Forget(child, objId_);
    Forget(child, helperId_);
    Forget(child, fxLink_);
    Forget(child, onCreated_);
    Forget(child, fxPointer_);
}

void TGameObjectFxLink::onCreatedFunc(TEngineObject*, TEngineObject*) {
    const std::string fx = fx_ ? fx_->GetValue() : std::string();
    std::string hex;
    TEngineObject* templ = TemplateOf(fx, hex);
    if (!templ) {
        ErrorReport("TGameObjectFxLink.onCreatedFunc error: (" + GetDebugPath(this) + ")" + NoSuchEffect(fx) +
                        Ru(" не существует"),
                    "mhl");
        return;
    }
    if (fxPointer_) fxPointer_->setValue(templ);
}

TGameObjectFx* TGameObjectFxLink::EffectObject() const {
    return fxLink_ ? dynamic_cast<TGameObjectFx*>(fxLink_->GetValue()) : nullptr;
}

TGameObjectFx* TGameObjectFxLink::MakeEffectObject() {
    return NewGameObject<TGameObjectFx>("fx_", this);
}

void TGameObjectFxLink::Show() {
    Hide();
    TGameObjectFx* o = MakeEffectObject();
    o->AppendIdToName();
    if (fxLink_) fxLink_->setValue(o);
    if (fx_) o->FxId()->setValue(fx_->GetValue());
    if (fxPointer_) o->FxLink()->setValue(fxPointer_->GetValue());
    if (objId_) o->ObjId()->setValue(objId_->GetLinked());
    if (helperId_) o->HelperId()->setValue(helperId_->GetValue());
    o->CreateBru();
}

void TGameObjectFxLink::ShowFx(TBaseGameObject* object) {
    if (object && objId_) objId_->setValue(object);
    Show();
}

void TGameObjectFxLink::Hide() {
    TGameObjectFx* o = EffectObject();
    if (fxLink_) fxLink_->setValue(nullptr);
    if (o && !o->IsDeleted()) o->Delete();
}

void TGameObjectDamageFxLink::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectFxLink::Create(name, parent);
    procent_ = NewGameObject<TGameObjectSubParam>("procent", this);
    param_ = NewGameObject<TGameObjectStringParam>("param", this);
    param_->setValue("armor");
}

float TGameObjectDamageFxLink::ThresholdPercent() const {
    return procent_ ? procent_->GetValue() : 0.0f;
}

std::string TGameObjectDamageFxLink::WatchedParam() const {
    return param_ ? param_->GetValue() : std::string("armor");
}

void TGameObjectDamageFxLink::ChildLeft(TBaseGameObject* child) {
    TGameObjectFxLink::ChildLeft(child);
    Forget(child, procent_);
    Forget(child, param_);
}

// ---- effect objects --------------------------------------------------------------------------

void TGameObjectFx::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameSceneObject::Create(name, parent);
    MakeFxChildren();
}

void TGameObjectFx::CreateEmpty() {
    TBaseGameSceneObject::CreateEmpty();
    MakeFxChildren();
}

void TGameObjectFx::ReInit(const std::string& name, TBaseGameObject* parent) {
    TBaseGameSceneObject::ReInit(name, parent);
    if (fxId_) fxId_->setValue(std::string());
    if (fxLink_) fxLink_->setValue(nullptr);
    if (helperId_) helperId_->setValue(std::string());
    if (objId_) objId_->setValue(nullptr);
    if (hexId_) hexId_->setValue(nullptr);
}

void TGameObjectFx::MakeFxChildren() {
    fxId_ = NewGameObject<TGameObjectStringParam>("fxId", this);
    fxLink_ = NewGameObject<TGameObjectFreeLink>("fxLink", this);
    helperId_ = NewGameObject<TGameObjectStringParam>("helperId", this);
    objId_ = NewObjectLink(this);
    hexId_ = NewGameObject<TGameObjectFreeLink>("hexId", this);
}

void TGameObjectFx::ChildLeft(TBaseGameObject* child) {
    TBaseGameSceneObject::ChildLeft(child);
    Forget(child, fxId_);
    Forget(child, fxLink_);
    Forget(child, helperId_);
    Forget(child, objId_);
    Forget(child, hexId_);
}

void TGameObjectFx::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TBaseGameSceneObject::onCreatedFunc(obj, data);
    // Shown by its link, it has its effect already.
    if (!GetHex()) CreateBru();
}

void TGameObjectFx::CreateBru() {
    if (IsDeleted() || !fxLink_ || !hexId_) return;
    if (!fxLink_->GetValue()) {
        const std::string fx = fxId_ ? fxId_->GetValue() : std::string();
        std::string hex;
        TEngineObject* templ = TemplateOf(fx, hex);
        if (hex.empty() || !templ) {
            ErrorReport("TGameObjectFx.CreateBru error:" + GetDebugPath(this) + NoSuchEffect(fx) +
                            Ru("] не существует"),
                        "mhl");
            return;
        }
        fxLink_->setValue(templ);
    }
    if (objId_)
        if (auto* carrier = dynamic_cast<TBaseGameSceneObject*>(objId_->GetLinked()))
            hexId_->setValue(carrier->GetHex());
    TEngineObject* unit = hexId_->GetValue();
    if (!unit) return;
    TEngineObject* spawned = FXSpawn({"", fxLink_->GetValue()->GetHex(), unit->GetHex(),
                                      helperId_ ? helperId_->GetValue() : std::string()});
    if (spawned) SetHex(spawned);
}

// ---- destruction effects ---------------------------------------------------------------------

void TGameObjectDestroyFx::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectFx::Create(name, parent);
    MakeDestroyChildren();
}

void TGameObjectDestroyFx::CreateEmpty() {
    TGameObjectFx::CreateEmpty();
    MakeDestroyChildren();
}

void TGameObjectDestroyFx::ReInit(const std::string& name, TBaseGameObject* parent) {
    TGameObjectFx::ReInit(name, parent);
    if (time_) time_->setValue(0.0f);
    elapsed_ = 0.0f;
}

void TGameObjectDestroyFx::MakeDestroyChildren() {
    time_ = NewGameObject<TGameObjectSubParam>("time", this);
    onEndTime_ = NewGameObject<TGameEvent>("onEndTime", Events());
    onTick_ = NewGameObject<TonTick>("onTick", Events());
    onTick_->SetHandler([this](TEngineObject*, TEngineObject*) { OnTickFunc(); });
    elapsed_ = 0.0f;
}

void TGameObjectDestroyFx::ChildLeft(TBaseGameObject* child) {
    if (child == Events()) {
        onEndTime_ = nullptr;
        onTick_ = nullptr;
    }
    Forget(child, time_);
    TGameObjectFx::ChildLeft(child);
}

void TGameObjectDestroyFx::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectFx::onCreatedFunc(obj, data);
    elapsed_ = 0.0f;
    if (onTick_) onTick_->Activate();
}

void TGameObjectDestroyFx::OnTickFunc() {
    elapsed_ += 0.001f * FrameTimeOf(onTick_);
    if (!time_ || elapsed_ < time_->GetValue()) return;
    if (onEndTime_) onEndTime_->Fire();
    Delete();
}

void TGameObjectDestroyFx::Delete() {
    if (onTick_) onTick_->Deactivate();
    TGameObjectFx::Delete();
}

void TDestroyFxLink::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectFxLink::Create(name, parent);
    time_ = NewGameObject<TGameObjectSubParam>("time", this);
}

float TDestroyFxLink::DestroyFxTime() const {
    return time_ ? time_->GetValue() : 0.0f;
}

void TDestroyFxLink::ChildLeft(TBaseGameObject* child) {
    TGameObjectFxLink::ChildLeft(child);
    Forget(child, time_);
}

TGameObjectFx* TDestroyFxLink::MakeEffectObject() {
    auto* o = NewGameObject<TGameObjectDestroyFx>("fx_", this);
    if (time_) o->Time()->setValue(time_->GetValue());
    return o;
}

void TDestroyFxLink::SpawnDestroyFx(TBaseGameObject* object) {
    TBaseGameObject* list = EffectListOf(object);
    if (!list) return;
    auto* o = dynamic_cast<TGameObjectDestroyFx*>(
        NewPooledObject(TGameObjectDestroyFx::StaticClass(), "dFx_", list));
    if (!o) return;
    o->AppendIdToName();
    if (Fx()) o->FxId()->setValue(Fx()->GetValue());
    if (FxPointer()) o->FxLink()->setValue(FxPointer()->GetValue());
    if (HelperId()) o->HelperId()->setValue(HelperId()->GetValue());
    o->ObjId()->setValue(object);
    o->Time()->setValue(DestroyFxTime());
    // The explosion shows at once; its time runs from its creation event on.
    o->CreateBru();
}

void TAbandonedDestroyFx::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameSceneObject::Create(name, parent);
    mesh_ = NewGameObject<TGameObjectStringParam>("mesh", this);
    lifetime_ = NewGameObject<TGameObjectSubParam>("lifetime", this);
    onDeleted_ = NewGameObject<TGameEvent>("onDeleted", Events());
    isDeleted_ = NewGameObject<TGameObjectIntParam>("isDeleted", this);
    onTick_ = NewGameObject<TonTick>("onTick", Events());
    onTick_->SetHandler([this](TEngineObject*, TEngineObject*) { OnTickFunc(); });
    elapsed_ = 0.0f;
}

void TAbandonedDestroyFx::ChildLeft(TBaseGameObject* child) {
    if (child == Events()) {
        onDeleted_ = nullptr;
        onTick_ = nullptr;
    }
    Forget(child, mesh_);
    Forget(child, lifetime_);
    Forget(child, isDeleted_);
    TBaseGameSceneObject::ChildLeft(child);
}

void TAbandonedDestroyFx::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TBaseGameSceneObject::onCreatedFunc(obj, data);
    elapsed_ = 0.0f;
    // A body of the debris model where the wreck stands; the world sets it drifting off.
    auto* wreck = dynamic_cast<TBaseGameSceneObject*>(wreckId_ ? FindEngineObjectById(wreckId_) : nullptr);
    const std::string mesh = mesh_ ? mesh_->GetValue() : std::string();
    if (!GetHex() && !mesh.empty())
        GameWorldLink().AddDebrisAdv(this, mesh, wreck ? wreck->GetHex() : nullptr);
    if (onTick_) onTick_->Activate();
}

void TAbandonedDestroyFx::SetWreck(TBaseGameObject* wreck) {
    wreckId_ = wreck ? wreck->GetId() : 0;
}

void TAbandonedDestroyFx::OnTickFunc() {
    elapsed_ += 0.001f * FrameTimeOf(onTick_);
    if (lifetime_ && elapsed_ >= lifetime_->GetValue()) Delete();
}

void TAbandonedDestroyFx::Delete() {
    if (IsDeleted()) return;
    if (onTick_) onTick_->Deactivate();
    if (isDeleted_) isDeleted_->setValue(1);
    if (onDeleted_) onDeleted_->Fire();
    TBaseGameSceneObject::Delete();
}

void TDestroyFxAbandonedLink::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectFxLink::Create(name, parent);
    mesh_ = NewGameObject<TGameObjectStringParam>("mesh", this);
    time_ = NewGameObject<TGameObjectSubParam>("time", this);
    lifetime_ = NewGameObject<TGameObjectSubParam>("lifetime", this);
}

void TDestroyFxAbandonedLink::ChildLeft(TBaseGameObject* child) {
    TGameObjectFxLink::ChildLeft(child);
    Forget(child, mesh_);
    Forget(child, time_);
    Forget(child, lifetime_);
}

void TDestroyFxAbandonedLink::Show() {
    ErrorReport("TDestroyFxAbandonedLink.startFx error: not use", "mhl");
}

float TDestroyFxAbandonedLink::DestroyFxTime() const {
    return time_ ? time_->GetValue() : 0.0f;
}

void TDestroyFxAbandonedLink::SpawnDestroyFx(TBaseGameObject* object) {
    TBaseGameObject* list = EffectListOf(object);
    if (!list) return;
    auto* debris = NewGameObject<TAbandonedDestroyFx>("dFx_", list);
    debris->AppendIdToName();
    if (mesh_) debris->Mesh()->setValue(mesh_->GetValue());
    if (lifetime_) debris->LifeTime()->setValue(lifetime_->GetValue());
    debris->SetWreck(object);
}

// ---- the timed effect ------------------------------------------------------------------------

void TGameTimeEffect::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectEffect::Create(name, parent);
    funcLink_ = NewGameObject<TGameObjectFreeLink>("funcLink", this);
    onEndTime_ = NewGameObject<TGameEvent>("onEndTime", Events());
    onEndTime_->SetHandler([this](TEngineObject*, TEngineObject*) {
        // The linked object is called the way an event is fired.
        if (auto* e = dynamic_cast<TGameEvent*>(funcLink_ ? funcLink_->GetValue() : nullptr)) e->Fire();
    });
    timeMax_ = NewGameObject<TGameObjectSubParam>("timeMax", this);
    timeCur_ = NewGameObject<TGameObjectSubParam>("timeCur", this);
}

void TGameTimeEffect::ChildLeft(TBaseGameObject* child) {
    if (child == Events()) onEndTime_ = nullptr;
    Forget(child, funcLink_);
    Forget(child, timeMax_);
    Forget(child, timeCur_);
    TGameObjectEffect::ChildLeft(child);
}

void TGameTimeEffect::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectEffect::onCreatedFunc(obj, data);
    if (OnEnable()) OnEnable()->Fire();
}

void TGameTimeEffect::onEnableFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectEffect::onEnableFunc(obj, data);
    if (OnTick()) OnTick()->Activate();
}

void TGameTimeEffect::onDisableFunc(TEngineObject* obj, TEngineObject* data) {
    if (OnTick()) OnTick()->Deactivate();
    TGameObjectEffect::onDisableFunc(obj, data);
}

void TGameTimeEffect::onTickFunc(TEngineObject*, TEngineObject*) {
    Advance(FrameTimeOf(OnTick()));
}

void TGameTimeEffect::Advance(float dtMs) {
    if (!timeCur_ || !timeMax_ || IsDeleted()) return;
    timeCur_->setValue(timeCur_->GetValue() + 0.001f * dtMs);
    if (timeCur_->GetValue() < timeMax_->GetValue()) return;
    if (onEndTime_) onEndTime_->Fire();
    Delete();
}

void RegisterFxObjectClasses() {
    RegisterGameClass(TGameObjectFxLink::StaticClass());
    RegisterGameClass(TGameObjectDamageFxLink::StaticClass());
    RegisterGameClass(TGameObjectFx::StaticClass());
    RegisterGameClass(TGameObjectDestroyFx::StaticClass());
    RegisterGameClass(TDestroyFxLink::StaticClass());
    RegisterGameClass(TAbandonedDestroyFx::StaticClass());
    RegisterGameClass(TDestroyFxAbandonedLink::StaticClass());
    RegisterGameClass(TGameTimeEffect::StaticClass());
}

} // namespace vesk
