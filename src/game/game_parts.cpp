#include "game/game_parts.h"

#include <lua.hpp>

#include "core/lua_readers.h"
#include "game/events.h"
#include "game/game_lua.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

// The children of a node, in list order.
template <class Visit> void ForEachChild(TBaseGameObject* node, Visit visit) {
    int32_t cursor = 0;
    TBaseGameObject* child = nullptr;
    node->First(cursor);
    while (node->Next(cursor, child))
        if (child) visit(child);
}

TGameObjectSubParam* AddAttitude(TBaseGameObject* attitudes, const std::string& name) {
    auto* p = NewGameObject<TGameObjectSubParam>(name, attitudes);
    p->setValue(kNeutralAttitude);
    return p;
}

constexpr int32_t kNoPartBound = 9999999;

} // namespace

// ---- factions ----------------------------------------------------------------------------------------

void TFraction::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    attitudes_ = NewGameObject<TBaseGameObjectList>("attitudes", this);
    attitudes_->SetDefaultChildClass(&TGameObjectSubParam::StaticClass());
    TBaseGameObject* fractions = GlobalObjects ? GlobalObjects->FindChild("fractions") : nullptr;
    if (!fractions) return;
    // Every pair of factions gets an entry on both sides, neutral until a script says otherwise.
    ForEachChild(fractions, [&](TBaseGameObject* child) {
        auto* other = dynamic_cast<TFraction*>(child);
        if (!other || other == this || !other->attitudes_) return;
        if (!other->attitudes_->FindChild(GetName())) AddAttitude(other->attitudes_, GetName());
        if (!attitudes_->FindChild(other->GetName())) AddAttitude(attitudes_, other->GetName());
    });
}

void TFraction::ChildLeft(TBaseGameObject* child) {
    ForgetChild(child, attitudes_);
}

float TFraction::Attitude(const std::string& other) const {
    if (!attitudes_) return kNeutralAttitude;
    TBaseGameObject* entry = attitudes_->FindChild(other);
    return entry ? entry->singleValue() : kNeutralAttitude;
}

void TFractionLink::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectLinkParam::Create(name, parent);
    SetTable(GlobalObjects ? GlobalObjects->FindChild("fractions") : nullptr);
}

// ---- game parts ----------------------------------------------------------------------------------------

void TGamePart::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    NewGameObject<TGameObjectStringParam>("sceneId", this);
    NewGameObject<TBaseGameObjectList>("locations", this);
    NewGameObject<TGameObjectIntParam>("partNumber", this);
    NewGameObject<TGameObjectStringParam>("interfaceId", this);
    NewGameObject<TGameObjectStringParam>("loadingInterface", this);
    NewGameObject<TGameObjectStringParam>("toBlackInterface", this);
}

std::string TGamePart::SceneId() {
    auto* p = dynamic_cast<TGameObjectStringParam*>(FindChild("sceneId"));
    return p ? p->GetValue() : std::string();
}

int32_t TGamePart::PartNumber() {
    auto* p = dynamic_cast<TGameObjectIntParam*>(FindChild("partNumber"));
    return p ? p->GetValue() : 0;
}

void TGamePartsList::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    SetDefaultChildClass(&TGamePart::StaticClass());
}

std::string TGamePartsList::CurPartId() {
    if (auto* p = dynamic_cast<TGameObjectStringParam*>(FindVarByPath("player.curPartId")))
        return p->GetValue();
    return curPartId_;
}

void TGamePartsList::SetCurPartId(const std::string& id) {
    curPartId_ = id;
    if (auto* p = dynamic_cast<TGameObjectStringParam*>(FindVarByPath("player.curPartId"))) p->setValue(id);
}

TGamePart* TGamePartsList::FirstPart() {
    TGamePart* best = nullptr;
    int32_t bound = kNoPartBound;
    ForEachChild(this, [&](TBaseGameObject* child) {
        auto* part = dynamic_cast<TGamePart*>(child);
        if (part && part->PartNumber() < bound) {
            bound = part->PartNumber();
            best = part;
        }
    });
    return best;
}

std::string TGamePartsList::NextPartId() {
    const std::string id = CurPartId();
    auto* current = id.empty() ? nullptr : dynamic_cast<TGamePart*>(FindChild(id));
    if (!current) {
        TGamePart* first = FirstPart();
        return first ? first->GetName() : std::string();
    }
    const int32_t after = current->PartNumber();
    TGamePart* best = nullptr;
    int32_t bound = kNoPartBound;
    ForEachChild(this, [&](TBaseGameObject* child) {
        auto* part = dynamic_cast<TGamePart*>(child);
        if (part && part->PartNumber() > after && part->PartNumber() < bound) {
            bound = part->PartNumber();
            best = part;
        }
    });
    if (!best) {
        ErrorReport(Ru("TGamePartsList.getNextPart error: часть ") + id + Ru(" -ПОСЛЕДНЯЯ!!!"), "mhl");
        return {};
    }
    return best->GetName();
}

int TGamePartsList::Execute(lua_State* L) {
    const std::string action = LuaArgText(L, 2);
    if (action == "loadPart") {
        const std::string id = LuaArgText(L, 3);
        auto* part = dynamic_cast<TGamePart*>(FindChild(id));
        const std::string scene = part ? part->SceneId() : std::string();
        RunLua("loadScene(" + LuaQuote(scene) + ",\"\")");
        SetCurPartId(id);
        return 0;
    }
    std::string result;
    if (action == "getCurPartId") {
        result = CurPartId();
    } else if (action == "getNextPartId") {
        result = NextPartId();
    } else {
        ErrorReport("TGamePartsList.Execute error: action- \"" + action + "\"" + Ru(" не используется"),
                    "mhl");
        return 0;
    }
    lua_pushlstring(L, result.data(), result.size());
    return 1;
}

void TGameLinkersManager::Tick(float) {
    ForEachChild(this, [](TBaseGameObject* child) {
        if (auto* linker = dynamic_cast<TGameLinker*>(child)) linker->Resolve();
    });
}

// ---- statistics -------------------------------------------------------------------------------------------

void TGameStastisticEnemyCounter::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    NewGameObject<TGameObjectStringParam>("name", this);
    NewGameObject<TGameObjectIntParam>("counter", this);
}

TGameObjectStringParam* TGameStastisticEnemyCounter::EnemyName() {
    return dynamic_cast<TGameObjectStringParam*>(FindChild("name"));
}

TGameObjectIntParam* TGameStastisticEnemyCounter::Counter() {
    return dynamic_cast<TGameObjectIntParam*>(FindChild("counter"));
}

void TGameStatistics::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    static const char* const kCounters[] = {
        "primaryShotCounter",          "secondaryShotCounter",         "primaryDamageCounter",
        "secondaryDamageCounter",      "primaryDamageEnemyCounter",    "primaryDamageFriendCounter",
        "secondaryDamageEnemyCounter", "secondaryDamageFriendCounter", "shotCounter",
        "damageEnemyCounter",          "damageFriendCounter",          "destroyedEnemyCounter",
    };
    for (const char* counter : kCounters) NewGameObject<TGameObjectIntParam>(counter, this);
    auto* enemies = NewGameObject<TBaseGameObjectList>("destroyedEnemyes", this);
    enemies->SetDefaultChildClass(&TGameStastisticEnemyCounter::StaticClass());
}

void TGameStatistics::Inc(const std::string& counter) {
    if (auto* p = dynamic_cast<TGameObjectIntParam*>(FindChild(counter))) p->Inc();
}

int32_t TGameStatistics::Value(const std::string& counter) {
    auto* p = dynamic_cast<TGameObjectIntParam*>(FindChild(counter));
    return p ? p->GetValue() : 0;
}

void TGameStatistics::CountShot() {
    Inc("shotCounter");
}

void TGameStatistics::CountDamage(bool enemy) {
    Inc(enemy ? "damageEnemyCounter" : "damageFriendCounter");
}

void TGameStatistics::CountDestroyedEnemy(const std::string& enemyName) {
    Inc("destroyedEnemyCounter");
    TBaseGameObject* enemies = DestroyedEnemyes();
    if (!enemies) return;
    TGameStastisticEnemyCounter* entry = nullptr;
    ForEachChild(enemies, [&](TBaseGameObject* child) {
        auto* e = dynamic_cast<TGameStastisticEnemyCounter*>(child);
        if (e && e->EnemyName() && e->EnemyName()->GetValue() == enemyName) entry = e; // the last match
    });
    if (!entry) {
        entry = NewGameObject<TGameStastisticEnemyCounter>("c_", enemies);
        entry->AppendIdToName();
        if (entry->EnemyName()) entry->EnemyName()->setValue(enemyName);
    }
    if (entry->Counter()) entry->Counter()->Inc();
}

// ---- objectives -----------------------------------------------------------------------------------------

void TGameObjective::setValue(const std::string& text) {
    if (!text.empty()) RunLua("AddObjectiveReal(" + LuaQuote(GetName()) + "," + LuaQuote(text) + ")");
    TGameObjectStringParam::setValue(text);
}

void TGameObjectives::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    SetDefaultChildClass(&TGameObjective::StaticClass());
}

int TGameObjectives::Execute(lua_State* L) {
    const std::string action = LuaArgText(L, 2);
    const std::string id = LuaArgText(L, 3);
    if (action == "add") {
        auto* objective = dynamic_cast<TGameObjectStringParam*>(FindChild(id));
        if (!objective) objective = NewGameObject<TGameObjective>(id, this);
        objective->setValue(LuaArgText(L, 4));
    } else if (action == "done" || action == "failed") {
        RunLua((action == "done" ? "DoneObjectiveReal(" : "FailedObjectiveReal(") + LuaQuote(id) + ")");
        if (TBaseGameObject* objective = FindChild(id)) objective->Delete();
    } else if (action == "clear") {
        RunLua("ClearObjectivesReal()");
        DeleteChildren();
    } else {
        ErrorReport("TGameObjectives.Execute error: action- \"" + action + "\"" + Ru(" не используется"),
                    "mhl");
    }
    return 0;
}

// ---- start-up ---------------------------------------------------------------------------------------------

void RegisterGamePartsClasses() {
    for (const TGameClass* cls :
         {&TFraction::StaticClass(), &TFractionLink::StaticClass(), &TGamePart::StaticClass(),
          &TGamePartsList::StaticClass(), &TGameLinkersManager::StaticClass(),
          &TGameStatistics::StaticClass(), &TGameStastisticEnemyCounter::StaticClass(),
          &TGameObjectives::StaticClass(), &TGameObjective::StaticClass()})
        RegisterGameClass(*cls);
}

TGamePartsList* CreateGameParts(TBaseGameObject* root) {
    return root ? NewGameObject<TGamePartsList>("parts", root) : nullptr;
}

void CreateGamePartsLists(TBaseGameObject* root) {
    if (!root) return;
    if (TBaseGameObject* fractions = root->FindChild("fractions"))
        fractions->SetDefaultChildClass(&TFraction::StaticClass());
    if (!root->FindChild("linked")) NewGameObject<TGameLinkersManager>("linked", root);
}

} // namespace vesk
