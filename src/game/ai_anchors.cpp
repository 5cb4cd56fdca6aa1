#include "game/ai_anchors.h"

#include <lua.hpp>

#include "game/ai_helpers.h"
#include "game/events.h"
#include "game/game_lua.h"
#include "game/game_objects.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "game/scene_object.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

constexpr int32_t kNoPatrolNumber = 999999999;

// Patrol points carry "patrol" in their names; other anchors share their class.
bool IsPatrolName(const std::string& name) {
    return name.find("patrol") != std::string::npos;
}

int32_t PointNumber(const TBaseGameObject* point, const char* context) {
    const std::string& name = point->GetName();
    return kws2i(name.size() > 6 ? name.substr(6) : std::string(), std::string(context) + AiAncestry(point));
}

} // namespace

// ---- memory -----------------------------------------------------------------------------

void TGameObjectMemoryNode::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    obj_ = NewGameObject<TGameObjectFreeLink>("obj", this);
    range_ = NewGameObject<TGameObjectSubParam>("range", this);
}

void TGameObjectMemoryNode::ChildLeft(TBaseGameObject* child) {
    ForgetChild(child, obj_, range_);
}

TEngineObject* TGameObjectMemoryNode::Object() const {
    return obj_ ? obj_->GetValue() : nullptr;
}

void TGameObjectMemoryNode::SetObject(TEngineObject* obj) {
    if (obj_) obj_->setValue(obj);
}

float TGameObjectMemoryNode::Range() const {
    return range_ ? range_->GetValue() : 0.0f;
}

void TGameObjectMemoryNode::SetRange(float range) {
    if (range_) range_->setValue(range);
}

void TGameObjectMemory::Remember(TBaseGameObject* obj, float range) {
    if (!obj) return;
    auto* node = dynamic_cast<TGameObjectMemoryNode*>(FindChild(obj->GetName()));
    if (!node) {
        node = NewGameObject<TGameObjectMemoryNode>(obj->GetName(), this);
        node->SetObject(obj);
    }
    node->SetRange(range);
}

void TGameObjectMemory::Forget() {
    DeleteChildren();
    Pack();
}

void TGameAiAnchor::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectMemoryNode::Create(name, parent);
    NewGameObject<TGameObjectIntParam>("number", this);
}

int32_t TGameAiAnchor::Number() const {
    auto* p = objects_ ? dynamic_cast<TGameObjectIntParam*>(objects_->Find("number")) : nullptr;
    return p ? p->GetValue() : 0;
}

void TGameAiAnchor::SetNumber(int32_t n) {
    if (auto* p = objects_ ? dynamic_cast<TGameObjectIntParam*>(objects_->Find("number")) : nullptr)
        p->setValue(n);
}

// ---- anchor lists -----------------------------------------------------------------------------

void TGameAiAnchorList::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectMemory::Create(name, parent);
    mainAnchor_ = NewGameObject<TGameObjectFreeLink>("mainAnchor", this);
    maxRange_ = NewGameObject<TGameObjectSubParam>("maxRange", this);
}

void TGameAiAnchorList::ChildLeft(TBaseGameObject* child) {
    ForgetChild(child, mainAnchor_, maxRange_);
}

int TGameAiAnchorList::Execute(lua_State* L) {
    const std::string action = LuaArgText(L, 2);
    if (action != "updateObj") {
        ErrorReport(ClassName() + ".Execute error: action- \"" + action + "\" (" + GetDebugPath(this) + ")",
                    "mhl");
        return 0;
    }
    const std::string context = ClassName() + ".Execute error: " + GetDebugPath(this);
    auto* obj = dynamic_cast<TBaseGameObject*>(ObjectFromHexText(LuaArgText(L, 3), context));
    const std::string range = LuaArgText(L, 4);
    if (obj) updateObj(obj, range.empty() ? 0.0f : kws2f(range, context));
    return 0;
}

TBaseGameObject* TGameAiAnchorList::Owner() const {
    return parent_ ? parent_->GetParent() : nullptr;
}

void TGameAiAnchorList::SetAnchor(TEngineObject* anchor, float range) {
    if (mainAnchor_) mainAnchor_->setValue(anchor);
    if (maxRange_) maxRange_->setValue(range);
}

TEngineObject* TGameAiAnchorList::MainAnchor() const {
    return mainAnchor_ ? mainAnchor_->GetValue() : nullptr;
}

float TGameAiAnchorList::MaxRange() const {
    return maxRange_ ? maxRange_->GetValue() : 0.0f;
}

TBaseRenderUnit* TGameAiAnchorList::AnchorUnit() const {
    return UnitOf(MainAnchor());
}

void TGameAiAnchorList::updateObj(TBaseGameObject*, float) {
    ErrorReport(ClassName() + ".updateObj error: the list " + GetDebugPath(this) + " takes no objects",
                "mhl");
}

TBaseGameObject* TGameAiAnchorList::getNextAnchor(TBaseGameObject*) {
    return nullptr;
}

void TGameAiEnemies::updateObj(TBaseGameObject* obj, float range) {
    if (!obj || SOClassOf(obj) != kSOClassAnchor || !IsHostile(Owner(), obj)) return;
    Remember(obj, range);
}

TBaseGameObject* TGameAiEnemies::BestEnemy() const {
    TBaseRenderUnit* anchor = AnchorUnit();
    if (!anchor || !TargetedObjects) return nullptr;
    TBaseGameObject* owner = Owner();
    const float maxRange = MaxRange();
    TBaseGameObject* best = nullptr;
    int32_t fewest = 99999;
    ForEachChildOf(TargetedObjects, [&](TBaseGameObject* entry) {
        auto* e = dynamic_cast<TGameEvent*>(entry);
        auto* obj = e ? dynamic_cast<TGameObject*>(e->GetEventObj()) : nullptr;
        if (!obj || obj == owner || obj->IsDeleted() || SOClassOf(obj) != kSOClassShip) return;
        TBaseRenderUnit* unit = UnitOf(obj);
        if (!unit || CentreRange(unit, anchor) > maxRange || !IsHostile(owner, obj)) return;
        auto* targeted = dynamic_cast<TSmartList*>(obj->FindChild("targeted"));
        const int32_t attackers = targeted ? targeted->CountLinked() : 0;
        if (attackers < fewest) {
            fewest = attackers;
            best = obj;
        }
    });
    return best;
}

void TGameAiPatrols::updateObj(TBaseGameObject* obj, float range) {
    if (!obj || SOClassOf(obj) != kSOClassAnchor || !IsPatrolName(obj->GetName())) return;
    const int32_t number = PointNumber(obj, "TGameAiPatrols.updateObj error: ");
    auto* node = dynamic_cast<TGameAiAnchor*>(FindChild(obj->GetName()));
    if (!node) {
        node = NewGameObject<TGameAiAnchor>(obj->GetName(), this);
        node->SetObject(obj);
    }
    node->SetRange(range);
    node->SetNumber(number);
}

TBaseGameObject* TGameAiPatrols::getNextAnchor(TBaseGameObject* current) {
    TBaseRenderUnit* anchor = AnchorUnit();
    if (!anchor) return nullptr;
    constexpr const char* kContext = "TGameAiPatrols.getNextAnchor error: ";
    const int32_t from = current ? PointNumber(current, kContext) : 0;
    TBaseGameObject* owner = Owner();
    const float maxRange = MaxRange();
    TBaseGameObject* next = nullptr;
    int32_t nextNumber = kNoPatrolNumber;
    ForEachChildOf(GlobalList("obj"), [&](TBaseGameObject* obj) {
        if (obj == owner || SOClassOf(obj) != kSOClassAnchor || !IsPatrolName(obj->GetName())) return;
        TBaseRenderUnit* unit = UnitOf(obj);
        if (!unit || CentreRange(unit, anchor) > maxRange) return;
        const int32_t n = PointNumber(obj, kContext);
        if (n > from && n < nextNumber) {
            nextNumber = n;
            next = obj;
        }
    });
    return next;
}

void RegisterAiAnchorClasses() {
    for (const TGameClass* cls : {&TGameObjectMemoryNode::StaticClass(), &TGameObjectMemory::StaticClass(),
                                  &TGameAiAnchor::StaticClass(), &TGameAiAnchorList::StaticClass(),
                                  &TGameAiEnemies::StaticClass(), &TGameAiPatrols::StaticClass()})
        RegisterGameClass(*cls);
}

} // namespace vesk
