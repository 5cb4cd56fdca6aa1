#include "game/triggers.h"

#include "core/lua_readers.h"
#include "game/events.h"
#include "game/game_objects.h"
#include "game/mesh_tables.h"
#include "game/params.h"
#include "render/engine.h"
#include "render/render_unit.h"
#include "shared/errors.h"

namespace vesk {

namespace {

// A render unit from a link's object: the unit itself, or a scene object's unit.
TBaseRenderUnit* UnitOfLinked(TEngineObject* linked) {
    if (auto* unit = dynamic_cast<TBaseRenderUnit*>(linked)) return unit;
    if (auto* object = dynamic_cast<TBaseGameSceneObject*>(linked))
        return dynamic_cast<TBaseRenderUnit*>(object->GetHex());
    return nullptr;
}

// The structure of from that to lacks: a missing child is copied whole, a
// child both have is walked into; what to already holds keeps its value.
void Inherit(TBaseGameObject* from, TBaseGameObject* to) {
    int32_t cursor;
    TBaseGameObject* c;
    std::vector<TBaseGameObject*> children;
    from->First(cursor);
    while (from->Next(cursor, c))
        if (c) children.push_back(c);
    for (TBaseGameObject* child : children) {
        if (TBaseGameObject* own = to->FindChild(child->GetName())) {
            Inherit(child, own);
            continue;
        }
        TBaseGameObject* copy = NewGameObject(child->GameClass(), child->GetName(), to);
        child->CopyStructure(copy);
    }
}

} // namespace

// ---- fixed triggers -------------------------------------------------------------------------------

void TGameTrigger::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameSceneObject::Create(name, parent);
    maxName_ = NewGameObject<TGameObjectStringParam>("max_name", this);
}

void TGameTrigger::CreateEmpty() {
    TBaseGameSceneObject::CreateEmpty();
    maxName_ = NewGameObject<TGameObjectStringParam>("max_name", this);
}

void TGameTrigger::ReInit(const std::string& name, TBaseGameObject* parent) {
    TBaseGameSceneObject::ReInit(name, parent);
    if (maxName_) maxName_->setValue("");
}

void TGameTrigger::ChildLeft(TBaseGameObject* child) {
    TBaseGameSceneObject::ChildLeft(child);
    ForgetChild(child, maxName_);
}

void TGameTrigger::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TBaseGameSceneObject::onCreatedFunc(obj, data);
    const std::string helper = maxName_ ? maxName_->GetValue() : std::string();
    const std::string location = Location() ? Location()->GetValue() : std::string();
    const std::string hex =
        GetLuaString("getHelperHex(" + LuaQuote(helper) + "," + LuaQuote(location) + ")", false);
    TEngineObject* unit = ObjectFromHexText(hex, "TGameTrigger.onCreatedFunc error: " + GetLuaPath(this));
    if (unit) SetHex(unit);
}

void TGameTrigger::Delete() {
    // The helper belongs to the scene: the trigger lets go of it before it goes.
    if (TEngineObject* unit = GetHex()) {
        RemoveMutualSubscriber(unit);
        SetHex(nullptr);
    }
    TBaseGameSceneObject::Delete();
}

// ---- dynamic triggers -----------------------------------------------------------------------------

void TGameDinamicTrigger::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameSceneObject::Create(name, parent);
    parentShip_ = NewGameObject<TGameObjectFreeLink>("parentShip", this);
}

void TGameDinamicTrigger::CreateEmpty() {
    TBaseGameSceneObject::CreateEmpty();
    parentShip_ = NewGameObject<TGameObjectFreeLink>("parentShip", this);
}

void TGameDinamicTrigger::ReInit(const std::string& name, TBaseGameObject* parent) {
    TBaseGameSceneObject::ReInit(name, parent);
    if (parentShip_) parentShip_->setValue(nullptr);
}

void TGameDinamicTrigger::ChildLeft(TBaseGameObject* child) {
    TBaseGameSceneObject::ChildLeft(child);
    ForgetChild(child, parentShip_);
}

void TGameDinamicTrigger::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TBaseGameSceneObject::onCreatedFunc(obj, data);
    if (!parentShip_ || !parentShip_->GetValue() || !Engine) return;
    auto* helper = TBaseRenderUnit::Create<TBaseRenderUnit>(Engine);
    helper->SetName(GetName());
    Engine->AddChild(helper);
    if (TBaseRenderUnit* ship = UnitOfLinked(parentShip_->GetValue())) {
        Vec3 p;
        ship->GetPosition(p);
        helper->SetPosition(p);
    }
    const Matrix root = Engine->GetWorldMatrix();
    helper->UpdateMatrices(&root);
    SetHex(helper);
}

// ---- space-object patterns ------------------------------------------------------------------------

void TGameSpaceObjectPattern::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    parentName_ = NewGameObject<TGameObjectStringParam>("parent", this);
    parentName_->setValue("default");
    mesh_ = NewGameObject<TGameMeshLink>("mesh", this);
    spacemodel_ = NewGameObject<TGameObjectStringParam>("spacemodel", this);
    onCreatedSO_ = NewGameObject<TonCreated>("onCreatedSO", this);
    onCreatedSO_->SetHandler([this](TEngineObject*, TEngineObject*) { onCreatedSOFunc(); });
}

void TGameSpaceObjectPattern::ChildLeft(TBaseGameObject* child) {
    TBaseGameObjectList::ChildLeft(child);
    ForgetChild(child, parentName_, mesh_, spacemodel_, onCreatedSO_);
}

void TGameSpaceObjectPattern::onCreatedSOFunc() {
    const std::string parentName = parentName_ ? parentName_->GetValue() : "default";
    if (parentName != "default" && !parentName.empty()) {
        TBaseGameObject* patterns = GlobalObjects ? GlobalObjects->FindChild("spaceobj") : nullptr;
        TBaseGameObject* from = patterns ? patterns->FindChild(parentName) : nullptr;
        if (!from)
            FastLogAddError("TGameSpaceObjectPattern.onCreatedSO: " + GetLuaPath(this) +
                            ": no pattern named " + parentName);
        else if (from != this)
            Inherit(from, this);
    }
    if (!mesh_ || !spacemodel_) return;
    const std::string model = spacemodel_->GetValue();
    TBaseGameObject* linked = mesh_->GetLinked();
    if (!linked || linked->GetName() != model) mesh_->stringUpdate(model);
}

void TGameSpaceObjectPattern::Spawn(const std::string& name, TBaseGameObject* parent) {
    auto* object = NewGameObject<TGameObject>(name, parent);
    int32_t cursor;
    TBaseGameObject* c;
    std::vector<TBaseGameObject*> children;
    First(cursor);
    while (Next(cursor, c))
        if (c) children.push_back(c);
    for (TBaseGameObject* child : children) {
        // The pattern's own bookkeeping stays with the pattern.
        if (child == parentName_ || child == onCreatedSO_) continue;
        TBaseGameObject* own = object->FindChild(child->GetName());
        if (!own) own = NewGameObject(child->GameClass(), child->GetName(), object);
        child->CopyStructure(own);
    }
}

void RegisterTriggerClasses() {
    RegisterGameClass(TGameTrigger::StaticClass());
    RegisterGameClass(TGameDinamicTrigger::StaticClass());
    RegisterGameClass(TGameSpaceObjectPattern::StaticClass());
}

} // namespace vesk
