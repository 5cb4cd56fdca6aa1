#include "game/events.h"

#include <lua.hpp>

#include "game/game_lua.h"
#include "game/loaded_data.h"
#include "game/lua_text.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "shared/errors.h"
#include "shared/fast_cast.h"
#include "shared/helpers.h"

namespace vesk {

std::string ErrorReportFolder;

namespace {
std::function<void(tOnCollision*, TEngineObject*, bool)>& CollisionBinder() {
    static std::function<void(tOnCollision*, TEngineObject*, bool)> binder;
    return binder;
}

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string Trimmed(const std::string& s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}
} // namespace

void SetCollisionEventBinder(std::function<void(tOnCollision*, TEngineObject*, bool)> binder) {
    CollisionBinder() = std::move(binder);
}

// ---- TGameEvent -------------------------------------------------------------------------

void TGameEvent::SetTickList(tTickedObjects* list, bool activatable) {
    tickListId_ = list ? list->GetId() : 0;
    activatable_ = activatable;
}

tTickedObjects* TGameEvent::GetTickList() const {
    return tickListId_ ? FindEngineObjectAs<tTickedObjects>(tickListId_) : nullptr;
}

float TGameEvent::TickListFrameTime() const {
    const tTickedObjects* list = GetTickList();
    return list ? list->GetFrameTime() : 0.0f;
}

float FrameTimeOf(TEngineObject* tickData) {
    const auto* list = CachedDynamicCast<tTickedObjects>(tickData);
    return list ? list->GetFrameTime() : 0.0f;
}

void TGameEvent::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    eventObj_ = NewGameObject<TGameObjectFreeLink>("eventObj", this);
    eventData_ = NewGameObject<TGameObjectFreeLink>("eventData", this);
    event_ = NewGameObject<TGameEventCode>("event", this);
    active_ = NewGameObject<TGameObjectIntNonSavedParam>("active", this);
    if (parent && parent->GetParent()) eventObj_->setValue(parent->GetParent());
    // Events made by name from scripts have no owner to give them a handler:
    // they run their Lua code only.
    handler_ = [](TEngineObject*, TEngineObject*) {};
}

void TGameEvent::SetHandler(TGameEventHandler handler) {
    handler_ = std::move(handler);
    ownerId_ = 0;
    // A plain list of events is its owner's: the owner is above it.
    for (const TBaseGameObject* p = parent_; p; p = p->GetParent())
        if (&p->GameClass() != &TGameEventList::StaticClass()) {
            ownerId_ = p->GetId();
            break;
        }
}

bool TGameEvent::OwnerAlive() const {
    if (!ownerId_) return true;
    // Where the owner put the event: no lookup while it is still there.
    const TBaseGameObject* p = parent_;
    for (int up = 0; up < 2 && p; ++up, p = p->GetParent())
        if (p->GetId() == ownerId_) return true;
    return FindEngineObjectById(ownerId_) != nullptr;
}

void TGameEvent::ChildLeft(TBaseGameObject* child) {
    ForgetChild(child, event_, eventObj_, eventData_, active_);
}

bool TGameEvent::IsActive() const {
    return active_ && active_->GetValue() == 1;
}

void TGameEvent::SetActiveValue(int32_t v) {
    if (active_) active_->setValue(v);
}

TEngineObject* TGameEvent::GetEventObj() const {
    return eventObj_ ? eventObj_->GetValue() : nullptr;
}

void TGameEvent::SetEventData(TEngineObject* value) {
    if (eventData_) eventData_->setValue(value);
}

void TGameEvent::Fire() {
    if (deleted_) return;
    fired_ = true;
    if (!handler_) {
        ErrorReport(" TGameEvent.Event error:" + GetDebugPath(this) + " fvalue not assigned", "mhl");
        return;
    }
    TEngineObject* obj = GetEventObj();
    TEngineObject* data = eventData_ ? eventData_->GetValue() : nullptr;
    try {
        // An event whose owner is gone runs its Lua code only.
        if (OwnerAlive()) handler_(obj, data);
    } catch (...) {
        FastLogAddError("TGameEvent.Event: AV: " + name_);
        if (parent_ && parent_->GetParent())
            parent_->GetParent()->saveData(ErrorReportFolder + "\\last_AV_object.lua");
        ErrorReport("Exception in the event object " + GetDebugPath(this) + " ", "mhl");
        return;
    }
    const std::string code = event_ ? Trimmed(event_->GetValue()) : std::string();
    if (code.empty()) return;
    // Code that came with a loaded file runs only when the game's own scripts use it too.
    if (auto* own = dynamic_cast<TGameEventCode*>(event_); own && !own->MayRun()) {
        if (own->FirstRefusal())
            ErrorReport("TGameEvent.Event: " + GetDebugPath(this) +
                            " - code read from a file that the game's scripts never gave an event is not run",
                        "m");
        return;
    }
    RunLua("tmp={}");
    if (TEngineObject* o = GetEventObj()) RunLua("tmp[1]=\"" + o->GetHex() + "\"");
    if (TEngineObject* d = eventData_ ? eventData_->GetValue() : nullptr)
        RunLua("tmp[2]=\"" + d->GetHex() + "\"");
    RunLua(" setHook(" + LuaQuote(GetDebugPath(this)) + "," + LuaLongString(code) + "); " + code +
           "; emptyHook(); ");
}

void TGameEvent::TickFrom(tTickedObjects* list) {
    SetEventData(list);
    Fire();
}

void TGameEvent::Activate() {
    if (!activatable_) {
        ErrorReport(Ru("TGameEvent.Activate error: попытка активизации обьекта ") + GetDebugPath(this) + " ",
                    "mhl");
        return;
    }
    tTickedObjects* list = GetTickList();
    if (list && !IsActive()) {
        SetActiveValue(1);
        tickIndex_ = list->insertObj(this);
    }
}

void TGameEvent::Deactivate() {
    if (!IsActive()) return;
    SetActiveValue(0);
    tTickedObjects* list = GetTickList();
    if (list && list->GetObjects() && list->GetObjects()->InRange(tickIndex_) &&
        list->GetObjects()->At(tickIndex_) == this)
        list->GetObjects()->ClearSlot(tickIndex_);
    tickIndex_ = -1;
}

void TGameEvent::Delete() {
    Deactivate();
    TBaseGameObjectList::Delete();
}

int TGameEvent::Execute(lua_State* L) {
    const int n = lua_gettop(L);
    if (n >= 2 && eventObj_)
        eventObj_->setValue(
            ObjectFromHexText(LuaArgText(L, 2), "TGameEvent.Execute error " + GetDebugPath(this)));
    if (n >= 3 && eventData_)
        eventData_->setValue(
            ObjectFromHexText(LuaArgText(L, 3), "TGameEvent.Execute error " + GetDebugPath(this)));
    Fire();
    return 0;
}

void TGameEvent::stringUpdate(const std::string& text) {
    if (event_) event_->stringUpdate(text);
}

void TGameEvent::stringValue(std::string& out) {
    if (event_) event_->stringValue(out);
}

void TGameEvent::CopyStructure(TBaseGameObject*& dest) {
    // The copy keeps its own "active": the template's state is not copied.
    auto* d = dynamic_cast<TGameEvent*>(dest);
    const int32_t keep = d && d->active_ ? d->active_->GetValue() : 0;
    TBaseGameObjectList::CopyStructure(dest);
    if (d && d != this) d->SetActiveValue(keep);
}

// ---- lists of events ----------------------------------------------------------------------

void TGameEventManager::Tick(float) {
    Pack();
}

// ---- the base events ------------------------------------------------------------------------

void TonTick::Create(const std::string& name, TBaseGameObject* parent) {
    SetTickList(TickedObjects, true);
    TGameEvent::Create(name, parent);
}

void TGameObjectParamTick::SetParam(TGameObjectParam* param) {
    param_ = param;
    ownerId_ = param ? param->GetId() : 0;
    handler_ = nullptr;
}

// Inline: the tick list runs it for every parameter each frame.
inline void TGameObjectParamTick::Step(TEngineObject* data, float frameTime) {
    if (!OwnerAlive()) return; // moved away from a parameter that is gone
    if (handler_) {
        handler_(GetEventObj(), data);
    } else if (param_) {
        param_->TickParam(frameTime);
    }
}

void TGameObjectParamTick::Fire() {
    if (deleted_) return;
    fired_ = true;
    TEngineObject* data = eventData_ ? eventData_->GetValue() : nullptr;
    Step(data, FrameTimeOf(data));
}

void TGameObjectParamTick::TickFrom(tTickedObjects* list) {
    // Fire as it runs after the list became the data, without asking what the
    // data is. The link holds the list from the last tick already, mostly.
    if (eventData_ && eventData_->GetValue() != list) eventData_->setValue(list);
    if (deleted_) return;
    fired_ = true;
    if (!eventData_) {
        Step(nullptr, 0.0f);
        return;
    }
    Step(list, list->GetFrameTime());
}

void TonCreated::Create(const std::string& name, TBaseGameObject* parent) {
    SetTickList(CreatedObjects, true);
    TGameEvent::Create(name, parent);
    Activate();
}

void TonCreated::Fire() {
    Deactivate();
    TGameEvent::Fire();
}

void TonCreated::CopyStructure(TBaseGameObject*& dest) {
    TGameEvent::CopyStructure(dest);
    // A copy is a new object that has not been created yet.
    if (auto* d = dynamic_cast<TonCreated*>(dest); d && d != this) d->Activate();
}

void TonLoad::Create(const std::string& name, TBaseGameObject* parent) {
    SetTickList(Created2Objects, true);
    TGameEvent::Create(name, parent);
}

void TonLoad::Fire() {
    TGameEvent::Fire();
    Deactivate();
}

void tOnCollision::Create(const std::string& name, TBaseGameObject* parent) {
    SetTickList(nullptr, true);
    TGameEvent::Create(name, parent);
}

void tOnCollision::Activate() {
    TGameEvent::Activate();
    if (CollisionBinder() && GetEventObj()) CollisionBinder()(this, GetEventObj(), true);
}

void tOnCollision::Deactivate() {
    if (CollisionBinder() && GetEventObj()) CollisionBinder()(this, GetEventObj(), false);
    TGameEvent::Deactivate();
}

void TGameTargetedObjectLink::Create(const std::string& name, TBaseGameObject* parent) {
    SetTickList(TargetedObjects, true);
    TGameEvent::Create(name, parent);
}

// ---- TGameLinker ---------------------------------------------------------------------------------

void TGameLinker::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    onLink_ = NewGameObject<TonLink>("onLink", this);
    onLink_->SetHandler([this](TEngineObject*, TEngineObject*) { Resolve(); });
}

void TGameLinker::ChildLeft(TBaseGameObject* child) {
    ForgetChild(child, onLink_);
}

void TGameLinker::Start(TBaseGameObject* table, TGameObjectLinkParam* link, const std::string& key) {
    tableId_ = table ? table->GetId() : 0;
    linkId_ = link ? link->GetId() : 0;
    key_ = key;
    if (onLink_) onLink_->Activate();
}

void TGameLinker::Stop() {
    if (onLink_) onLink_->Deactivate();
}

void TGameLinker::Resolve() {
    auto* link = linkId_ ? FindEngineObjectAs<TGameObjectLinkParam>(linkId_) : nullptr;
    TBaseGameObject* table = tableId_ ? GameObjectById(tableId_) : nullptr;
    if (!link) {
        ErrorReport("TGameLinker.onLinkFunc error: " + GetDebugPath(this) + " link=nil", "mhl");
        return;
    }
    if (!table) {
        ErrorReport("TGameLinker.onLinkFunc error: " + GetDebugPath(this) + " linktable=nil", "mhl");
        return;
    }
    if (key_.empty()) {
        link->setValue(nullptr);
        Stop();
        return;
    }
    // Until the name exists the lookup is tried again on each tick.
    if (TBaseGameObject* found = table->FindChild(key_)) {
        link->setValue(found);
        Stop();
    }
}

void RegisterEventClasses() {
    RegisterGameClass(TGameEventList::StaticClass());
    RegisterGameClass(TGameEvent::StaticClass());
    RegisterGameClass(TGameEventManager::StaticClass());
}

} // namespace vesk
