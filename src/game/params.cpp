#include "game/params.h"

#include <cmath>
#include <limits>

#include "game/events.h"
#include "game/game_lua.h"
#include "game/game_text.h"
#include "game/lua_text.h"
#include "game/obj_managers.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

namespace {
IParamPhysicsLink* g_physicsLink = nullptr;

template <class T> void DropIf(T*& ref, TBaseGameObject* child) {
    if (ref == child) ref = nullptr;
}

// Links keep a mutual subscription with their target so that either side
// learns of the other's end.
template <class T> void Relink(TEngineObject* self, T*& link, T* target) {
    if (target == link) return;
    if (link) self->RemoveMutualSubscriber(link);
    if (target) self->AddMutualSubscriber(target);
    link = target;
}

// True when the message ended the link and needs no further handling.
template <class T> bool LinkEndedBy(TEngineObject* self, T*& link, IEngineObject* sender, int msg) {
    if ((msg != EM_SENDER_IS_NO_LONGER_EXISTS && msg != EM_OBJECT_DELETED) || !link || !sender ||
        sender->GetInstance() != link)
        return false;
    T* gone = link;
    link = nullptr;
    // A deleted target still lives: the subscriptions go now. A freed one is
    // dropped by the base handling of message 1.
    if (msg != EM_OBJECT_DELETED) return false;
    self->RemoveMutualSubscriber(gone);
    return true;
}
} // namespace

void SetParamPhysicsLink(IParamPhysicsLink* link) {
    g_physicsLink = link;
}
IParamPhysicsLink* GetParamPhysicsLink() {
    return g_physicsLink;
}

// ---- TGameObjectBaseParam ----------------------------------------------------------

void TGameObjectBaseParam::UpdateToEngine(const std::string& v) {
    std::string text;
    if (GameReadLua(v, text)) stringUpdate(text);
}

// ---- sub-parameters -------------------------------------------------------------------

void TGameObjectSubParam::stringUpdate(const std::string& text) {
    // The report's context text is built only when the text is bad.
    double v = 0;
    if (TryParseFloatVal(text, v) && std::fabs(v) <= static_cast<double>(std::numeric_limits<float>::max())) {
        setValue(static_cast<float>(v));
        return;
    }
    setValue(kws2f(text, Ru("TGameObjectSubParam.stringUpdate error: инициализация обьекта ") +
                             GetDebugPath(this) + Ru(" неправильным значением")));
}

void TGameObjectSubParam::stringValue(std::string& out) {
    out = FloatToStrRaw(value_);
}

void TGameObjectSubParam::UpdateToScript(const std::string& v) {
    RunLua(v + "=" + FloatToStrRaw(value_));
}

void TGameObjectSubParam::CopyStructure(TBaseGameObject*& dest) {
    TBaseGameObject::CopyStructure(dest);
    if (auto* d = dynamic_cast<TGameObjectSubParam*>(dest)) d->value_ = value_;
}

void TGameObjectCurSubParam::setValue(float x) {
    if (x >= upper) {
        value_ = upper;
    } else if (x < lower) {
        value_ = lower;
    } else {
        value_ = x;
    }
}

void TGameObjectMaxSubParam::setValue(float x) {
    value_ = x;
    if (auto* p = dynamic_cast<TGameObjectParam*>(parent_))
        if (p->Cur()) p->Cur()->upper = x;
}

// ---- TGameObjectParam -----------------------------------------------------------------

void TGameObjectParam::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    max_ = NewGameObject<TGameObjectMaxSubParam>("max", this);
    cur_ = NewGameObject<TGameObjectCurSubParam>("cur", this);
    cur_->lower = 0.0f;
    speed_ = NewGameObject<TGameObjectSubParam>("speed", this);
    onTick_ = NewGameObject<TGameObjectParamTick>("onTick", this);
    onTick_->SetParam(this);
    onTick_->Activate();
}

void TGameObjectParam::ChildLeft(TBaseGameObject* child) {
    DropIf(max_, child);
    DropIf(cur_, child);
    DropIf(speed_, child);
    DropIf(onTick_, child);
}

void TGameObjectParam::stringUpdate(const std::string& text) {
    if (cur_) {
        cur_->stringUpdate(text);
    } else {
        TBaseGameObject::stringUpdate(text);
    }
}

void TGameObjectParam::stringValue(std::string& out) {
    if (cur_) {
        cur_->stringValue(out);
    } else {
        TBaseGameObject::stringValue(out);
    }
}

float TGameObjectParam::singleValue() {
    return cur_ ? cur_->GetValue() : TBaseGameObject::singleValue();
}

void TGameObjectParam::TickParam(float dtMs) {
    if (!cur_ || !max_ || !speed_) return;
    const float speed = speed_->GetValue();
    const float cur = cur_->GetValue();
    const float max = max_->GetValue();
    if ((speed >= 0.0f && cur == max) || (speed < 0.0f && cur == 0.0f)) return;
    float next = cur + speed * dtMs * 0.001f;
    if (next > max) {
        next = max;
    } else if (next < 0.0f) {
        next = 0.0f;
    }
    if (next != cur) cur_->setValue(next);
}

void TGameObjectIncDecParam::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectParam::Create(name, parent);
    NewGameObject<TGameObjectSubParam>("incSpeed", this);
    NewGameObject<TGameObjectSubParam>("decSpeed", this);
}

namespace {
// The game object a parameter of the standard set belongs to.
TBaseGameObject* OwnerOfParam(TBaseGameObject* param) {
    return param->GetParent() ? param->GetParent()->GetParent() : nullptr;
}
} // namespace

void TGameObjectParamP_engine::TickParam(float dtMs) {
    TGameObjectParam::TickParam(dtMs);
    if (!cur_ || cur_->GetValue() == lastPushed) return;
    lastPushed = cur_->GetValue();
    TBaseGameObject* owner = OwnerOfParam(this);
    if (g_physicsLink && owner) g_physicsLink->PushEngine(owner, lastPushed);
}

void TGameObjectParamP_versatility::TickParam(float dtMs) {
    TGameObjectParam::TickParam(dtMs);
    // An unchanged value pushes nothing on any ship: the player's ship is
    // looked for only when there is something to push.
    if (!cur_ || cur_->GetValue() == lastPushed) return;
    TBaseGameObject* owner = OwnerOfParam(this);
    if (!g_physicsLink || !owner || !g_physicsLink->IsPlayerShip(owner)) return;
    lastPushed = cur_->GetValue();
    g_physicsLink->PushVersatility(owner, lastPushed);
}

// ---- strings and integers ---------------------------------------------------------------

void TGameObjectStringParam::UpdateToScript(const std::string& v) {
    if (value_ == "]" || value_ == "[") {
        RunLua(v + "='" + value_ + "'");
    } else {
        RunLua(v + "=" + LuaLongString(value_));
    }
}

void TGameObjectStringParam::CopyStructure(TBaseGameObject*& dest) {
    TBaseGameObject::CopyStructure(dest);
    if (auto* d = dynamic_cast<TGameObjectStringParam*>(dest)) d->value_ = value_;
}

void TGameObjectIntParam::CreateEmpty() {
    TGameObjectBaseParam::CreateEmpty();
    value_ = 0;
}

void TGameObjectIntParam::ReInit(const std::string& name, TBaseGameObject* parent) {
    TGameObjectBaseParam::ReInit(name, parent);
    value_ = 0;
}

void TGameObjectIntParam::stringUpdate(const std::string& text) {
    int32_t v = 0;
    if (TryParseInt32(text, v)) {
        setValue(v);
        return;
    }
    setValue(kws2i(text, "TGameObjectIntParam.stringUpdate error " + GetDebugPath(this)));
}

void TGameObjectIntParam::stringValue(std::string& out) {
    out = IntToStr32(value_);
}

void TGameObjectIntParam::UpdateToScript(const std::string& v) {
    RunLua(v + "=\"" + IntToStr32(value_) + "\"");
}

void TGameObjectIntParam::CopyStructure(TBaseGameObject*& dest) {
    TBaseGameObject::CopyStructure(dest);
    if (auto* d = dynamic_cast<TGameObjectIntParam*>(dest)) d->setValue(value_);
}

// ---- links --------------------------------------------------------------------------------

TGameObjectLinkParam::~TGameObjectLinkParam() {
    if (linked_) RemoveMutualSubscriber(linked_);
}

void TGameObjectLinkParam::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectBaseParam::Create(name, parent);
    // The linker lives under the parameter although a plain parameter keeps no list.
    EnsureObjects();
    linker_ = NewGameObject<TGameLinker>("linker", this);
}

void TGameObjectLinkParam::ChildLeft(TBaseGameObject* child) {
    if (child == linker_) linker_ = nullptr;
}

void TGameObjectLinkParam::SetTable(TBaseGameObject* table) {
    tableId_ = table ? table->GetId() : 0;
}

TBaseGameObject* TGameObjectLinkParam::GetTable() const {
    return tableId_ ? GameObjectById(tableId_) : nullptr;
}

bool TGameObjectLinkParam::CheckTable(const char* className) {
    if (GetTable()) return true;
    ErrorReport(std::string(className) + Ru(".stringUpdate error: в ссылке ") + GetDebugPath(this) +
                    Ru(" не указана ассоциативная таблица"),
                "mhl");
    return false;
}

void TGameObjectLinkParam::setValue(TBaseGameObject* node) {
    if (!GetTable()) {
        ErrorReport(Ru("TGameObjectLinkParam.setValue error: в ссылке ") + GetDebugPath(this) +
                        Ru(" не указана ассоциативная таблица"),
                    "mhl");
        return;
    }
    Relink(this, linked_, node);
}

void TGameObjectLinkParam::stringUpdate(const std::string& text) {
    if (!CheckTable("TGameObjectLinkParam")) return;
    if (text.empty()) {
        setValue(nullptr);
        if (linker_) linker_->Stop();
        return;
    }
    if (TBaseGameObject* found = GetTable()->FindChild(text)) {
        setValue(found);
        if (linker_) linker_->Stop();
    } else if (linker_) {
        linker_->Start(GetTable(), this, text);
    }
}

void TGameObjectDelayedLinkParam::stringUpdate(const std::string& text) {
    if (!CheckTable("TGameObjectDelayedLinkParam")) return;
    if (text.empty()) setValue(nullptr);
    if (linker_) linker_->Start(GetTable(), this, text);
}

void TGameObjectLinkParam::stringValue(std::string& out) {
    if (linked_) out = linked_->GetName();
}

void TGameObjectLinkParam::UpdateToScript(const std::string& v) {
    if (linked_) RunLua(v + "=" + LuaLongString(linked_->GetName()));
}

void TGameObjectLinkParam::CopyStructure(TBaseGameObject*& dest) {
    TBaseGameObject::CopyStructure(dest);
    if (auto* d = dynamic_cast<TGameObjectLinkParam*>(dest)) {
        d->tableId_ = tableId_;
        d->setValue(linked_);
    }
}

void TGameObjectLinkParam::Message(IEngineObject* sender, int msg, int param) {
    if (!LinkEndedBy(this, linked_, sender, msg)) TGameObjectBaseParam::Message(sender, msg, param);
}

TGameObjectFreeLink::~TGameObjectFreeLink() {
    if (linked_) RemoveMutualSubscriber(linked_);
}

void TGameObjectFreeLink::setValue(TEngineObject* obj) {
    Relink(this, linked_, obj);
}

void TGameObjectFreeLink::stringUpdate(const std::string& text) {
    setValue(ObjectFromHexText(text, "TGameObjectFreeLink.stringUpdate error" + GetDebugPath(this)));
}

void TGameObjectFreeLink::stringValue(std::string& out) {
    out = linked_ ? linked_->GetHex() : "0";
}

void TGameObjectFreeLink::Message(IEngineObject* sender, int msg, int param) {
    if (!LinkEndedBy(this, linked_, sender, msg)) TBaseGameObject::Message(sender, msg, param);
}

// ---- method, vector, min/max ------------------------------------------------------------------

int TGameObjectMethodParam::Execute(lua_State*) {
    if (!code_) {
        ErrorReport(Ru("TGameObjectMethodParam.Execute error: обьекту ") + GetDebugPath(this) +
                        Ru(" не назначена исполняеммая процедура"),
                    "mhl");
        return 0;
    }
    code_(data_);
    return 0;
}

void TGameObjectVectorParam::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    x_ = NewGameObject<TGameObjectSubParam>("x", this);
    y_ = NewGameObject<TGameObjectSubParam>("y", this);
    z_ = NewGameObject<TGameObjectSubParam>("z", this);
}

void TGameObjectVectorParam::ChildLeft(TBaseGameObject* child) {
    DropIf(x_, child);
    DropIf(y_, child);
    DropIf(z_, child);
}

void TGameObjectVectorParam::GetVector(float& x, float& y, float& z) const {
    x = x_ ? x_->GetValue() : 0.0f;
    y = y_ ? y_->GetValue() : 0.0f;
    z = z_ ? z_->GetValue() : 0.0f;
}

void TGameObjectVectorParam::SetVector(float x, float y, float z) {
    if (x_) x_->setValue(x);
    if (y_) y_->setValue(y);
    if (z_) z_->setValue(z);
}

void TGameMinMaxParam::MakeChildren() {
    min_ = NewGameObject<TGameObjectSubParam>("min", this);
    max_ = NewGameObject<TGameObjectSubParam>("max", this);
}

void TGameMinMaxParam::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    MakeChildren();
}

void TGameMinMaxParam::CreateEmpty() {
    TBaseGameObjectList::CreateEmpty();
    MakeChildren();
}

void TGameMinMaxParam::ChildLeft(TBaseGameObject* child) {
    DropIf(min_, child);
    DropIf(max_, child);
}

void TGameMinMaxPhysicParams::MakeChildren() {
    for (const char* n : kValueNames) NewGameObject<TGameMinMaxParam>(n, this);
}

void TGameMinMaxPhysicParams::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    MakeChildren();
}

void TGameMinMaxPhysicParams::CreateEmpty() {
    TBaseGameObjectList::CreateEmpty();
    MakeChildren();
}

// ---- the standard set ---------------------------------------------------------------------------

void TGameObjectParams::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    NewGameObject<TGameObjectParam>("durability", this);
    NewGameObject<TGameObjectParam>("armor", this);
    NewGameObject<TGameObjectParamP_versatility>("versatility", this);
    NewGameObject<TGameObjectParam>("power", this);
    NewGameObject<TGameObjectParamP_engine>("p_engine", this);
    NewGameObject<TGameObjectIncDecParam>("force_charge", this);
    for (const char* n : {"sensibility", "invisibility", "damagefactor", "defencefactor", "capacity"}) {
        auto* p = NewGameObject<TGameObjectParam>(n, this);
        if (p->OnTick()) p->OnTick()->Deactivate();
    }
    NewGameObject<TGameObjectParam>("shield", this);
    NewGameObject<TGameObjectParam>("temperature", this);
}

void TGameObjectParams::ResetTicks() {
    auto set = [this](const char* name, bool on) {
        auto* p = dynamic_cast<TGameObjectParam*>(FindChild(name));
        if (!p || !p->OnTick()) return;
        if (on) {
            p->OnTick()->Activate();
        } else {
            p->OnTick()->Deactivate();
        }
    };
    for (const char* n :
         {"durability", "armor", "versatility", "power", "p_engine", "force_charge", "shield", "temperature"})
        set(n, true);
    for (const char* n : {"sensibility", "invisibility", "damagefactor", "defencefactor", "capacity"})
        set(n, false);
}

TGameObjectParam* FindObjectParam(const TBaseGameObject* obj, std::string_view name) {
    TChildList* children = obj ? obj->GetObjects() : nullptr;
    TBaseGameObject* set = children ? children->Find("param") : nullptr;
    TChildList* params = set ? set->GetObjects() : nullptr;
    return params ? dynamic_cast<TGameObjectParam*>(params->Find(name)) : nullptr;
}

void AddParams(TBaseGameObject* owner, std::initializer_list<ParamSpec> specs) {
    for (const ParamSpec& p : specs) {
        switch (p.kind) {
        case ParamKind::String:
            NewGameObject<TGameObjectStringParam>(p.name, owner);
            break;
        case ParamKind::Sub:
            NewGameObject<TGameObjectSubParam>(p.name, owner);
            break;
        case ParamKind::Int:
            NewGameObject<TGameObjectIntParam>(p.name, owner);
            break;
        case ParamKind::Value:
            NewGameObject<TGameObjectParam>(p.name, owner);
            break;
        }
    }
}

void RegisterParamClasses() {
    RegisterGameClass(TGameMinMaxParam::StaticClass());
    RegisterGameClass(TGameObjectCurSubParam::StaticClass());
    RegisterGameClass(TGameObjectParam::StaticClass());
    RegisterGameClass(TGameObjectStringParam::StaticClass());
    RegisterGameClass(TGameObjectSubParam::StaticClass());
    RegisterGameClass(TGameObjectIntParam::StaticClass());
    RegisterGameClass(TGameObjectVectorParam::StaticClass());
}

} // namespace vesk
