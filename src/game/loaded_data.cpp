#include "game/loaded_data.h"

#include <lua.hpp>

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "core/lua_machine.h"
#include "game/items.h"
#include "game/object_effects.h"
#include "shared/errors.h"

namespace vesk {

namespace {

int DataLoadDepth = 0;

// The tables the file being read lacks (an older save has no entries for
// what the game gained since): counted, and logged once when the read ends.
struct MissingEntries {
    std::string file;
    int count = 0;
    std::string first;
};
MissingEntries Missing;

// Bounds of one restoration: how deep lists nest and how many keys are looked at.
constexpr int kMaxRestoreDepth = 32;
constexpr int kMaxRestoreKeys = 200000;

std::unordered_set<std::string>& TrustedCode() {
    static std::unordered_set<std::string> texts;
    return texts;
}

// Kinds of entries a file may bring into any list besides the list's own kind.
bool IsEntryKind(const TGameClass& cls) {
    TBaseGameObject* probe = cls.make();
    const bool ok = dynamic_cast<TGameItem*>(probe) || dynamic_cast<TGameObjectEffect*>(probe) ||
                    dynamic_cast<TGameObjectBaseParam*>(probe);
    probe->Free();
    return ok;
}

// The entry for the table at index t, when its "engineType" may be made under node.
TBaseGameObject* MakeEntry(lua_State* L, TBaseGameObject* node, int t, const std::string& key) {
    if (!node->GetObjects()) return nullptr;
    lua_pushliteral(L, "engineType");
    lua_rawget(L, t);
    const std::string type = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : std::string();
    lua_pop(L, 1);
    const TGameClass* cls = type.empty() ? nullptr : FindGameClassQuiet(type);
    if (!cls) return nullptr;
    if (cls != node->GetDefaultChildClass() && !IsEntryKind(*cls)) return nullptr;
    return NewGameObject(*cls, key, node);
}

void Restore(lua_State* L, TBaseGameObject* node, int t, int depth, int& budget) {
    if (depth > kMaxRestoreDepth || !lua_checkstack(L, 8)) return;
    std::vector<std::string> keys;
    lua_pushnil(L);
    while (lua_next(L, t) != 0) {
        // Lua may not convert the key in place while the walk goes on: string keys only.
        if (lua_type(L, -2) == LUA_TSTRING && --budget >= 0) {
            size_t len = 0;
            const char* k = lua_tolstring(L, -2, &len);
            keys.emplace_back(k, len);
        }
        lua_pop(L, 1);
    }
    std::sort(keys.begin(), keys.end());
    for (const std::string& key : keys) {
        lua_pushlstring(L, key.data(), key.size());
        lua_rawget(L, t);
        const int child = lua_gettop(L);
        TBaseGameObject* c = node->FindChild(key);
        if (lua_type(L, child) == LUA_TTABLE) {
            if (!c) c = MakeEntry(L, node, child, key);
            if (c) Restore(L, c, child, depth + 1, budget);
        } else if (!c && key != "engineType" && node->GetDefaultChildClass() && node->GetObjects()) {
            // A value alone (a parameter, a link) is an entry of the list's own kind.
            NewGameObject(*node->GetDefaultChildClass(), key, node);
        }
        lua_settop(L, child - 1);
    }
}

} // namespace

DataLoadScope::DataLoadScope(const std::string& fileName) {
    if (DataLoadDepth++ == 0) Missing = {fileName, 0, {}};
}

DataLoadScope::~DataLoadScope() {
    if (--DataLoadDepth > 0 || Missing.count == 0) return;
    FastLogAdd("loadData: " + Missing.file + " lacks " + std::to_string(Missing.count) + " entries (first " +
               Missing.first + "); they keep their values");
    Missing.count = 0;
}

void NoteMissingDataEntry(const std::string& luaVar) {
    if (DataLoadDepth == 0) return;
    if (Missing.count++ == 0) Missing.first = luaVar;
}

bool DataLoadActive() {
    return DataLoadDepth > 0;
}

void RestoreListEntries(TBaseGameObject* node, const std::string& luaVar) {
    if (!node || !LuaMachine || !LuaMachine->IsOpen()) return;
    lua_State* L = LuaMachine->State();
    const int top = lua_gettop(L);
    lua_getglobal(L, luaVar.c_str());
    int budget = kMaxRestoreKeys;
    if (lua_type(L, -1) == LUA_TTABLE) Restore(L, node, lua_gettop(L), 0, budget);
    lua_settop(L, top);
}

// ---- TGameEventCode -------------------------------------------------------------------------

void TGameEventCode::setValue(const std::string& s) {
    TGameObjectStringParam::setValue(s);
    fromData_ = DataLoadActive();
    refusalReported_ = false;
    if (!fromData_ && !s.empty()) TrustedCode().insert(s);
}

void TGameEventCode::CopyStructure(TBaseGameObject*& dest) {
    TGameObjectStringParam::CopyStructure(dest);
    // A copy of code that came with a file is still the file's.
    if (auto* d = dynamic_cast<TGameEventCode*>(dest); d && d != this) d->fromData_ = fromData_;
}

bool TGameEventCode::MayRun() const {
    return !fromData_ || TrustedCode().count(value_) != 0;
}

bool TGameEventCode::FirstRefusal() {
    const bool first = !refusalReported_;
    refusalReported_ = true;
    return first;
}

void ForgetTrustedEventCode() {
    TrustedCode().clear();
}

void RegisterLoadedDataClasses() {
    RegisterGameClass(TGameEventCode::StaticClass());
}

} // namespace vesk
