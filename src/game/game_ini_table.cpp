#include "game/game_ini_table.h"

#include "core/game_ini_params.h"
#include "core/lua_adapter.h"
#include "core/var_list.h"
#include "game/camera_tracks.h"
#include "game/events.h"
#include "game/obj_managers.h"
#include "game/params.h"

namespace vesk {

tGameIniTable* GameIniTable = nullptr;

tGameIniTable::~tGameIniTable() {
    if (GameIniTable != this) return;
    GameIniTable = nullptr;
    SetGameIniReader(nullptr);
}

std::string tGameIniTable::ValueText(const std::string& key) {
    KeptLookup* kept = nullptr;
    for (KeptLookup& k : kept_)
        if (k.key == key) kept = &k;
    if (!kept) {
        if (kept_.size() < kKeptLookups) {
            kept = &kept_.emplace_back();
        } else {
            kept = &kept_[nextKept_];
            nextKept_ = (nextKept_ + 1) % kKeptLookups;
            *kept = KeptLookup{};
        }
        kept->key = key;
    }
    std::string text;
    // Only value parameters have a text; a vector answers with nothing.
    if (TGameObjectBaseParam* p = kept->param.Find(this, key)) p->stringValue(text);
    return text;
}

void tGameIniTable::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    for (const GameIniParam& p : kGameIniParams) {
        const std::string key(p.key);
        TBaseGameObject* param = nullptr;
        switch (p.kind) {
        case GameIniKind::String:
            param = NewGameObject<TGameObjectStringParam>(key, this);
            break;
        case GameIniKind::Integer:
            param = NewGameObject<TGameObjectIntParam>(key, this);
            break;
        case GameIniKind::Vector:
            param = NewGameObject<TGameObjectVectorParam>(key, this);
            break;
        case GameIniKind::Sub:
            param = NewGameObject<TGameObjectSubParam>(key, this);
            break;
        }
        if (param && !p.defaultValue.empty()) param->stringUpdate(std::string(p.defaultValue));
    }
    if (!GameIniTable) {
        GameIniTable = this;
        SetGameIniReader([](const std::string& key) {
            return GameIniTable ? GameIniTable->ValueText(key) : std::string();
        });
    }
}

void tGameIniTable::LoadCfg() {
    const std::string start = GetText(std::string(kGameIniStartLocation));
    loadData(std::string(kGameIniFileName));
    SetText(std::string(kGameIniStartLocation), start);
}

void tGameIniTable::SaveCfg() {
    const std::string var(kGameIniAutoSaveVar);
    if (!IniVars || !IniVars->Exists(var) || IniVars->Get(var).AsInteger() != 1) return;
    saveData(std::string(kGameIniFileName));
}

int32_t tGameIniTable::GetInt(const std::string& key) {
    auto* p = dynamic_cast<TGameObjectIntParam*>(FindChild(key));
    return p ? p->GetValue() : 0;
}

std::string tGameIniTable::GetText(const std::string& key) {
    auto* p = dynamic_cast<TGameObjectStringParam*>(FindChild(key));
    return p ? p->GetValue() : std::string();
}

void tGameIniTable::SetInt(const std::string& key, int32_t value) {
    if (auto* p = dynamic_cast<TGameObjectIntParam*>(FindChild(key))) p->setValue(value);
}

void tGameIniTable::SetText(const std::string& key, const std::string& value) {
    if (auto* p = dynamic_cast<TGameObjectStringParam*>(FindChild(key))) p->setValue(value);
}

TGlobalObjects* CreateGameRoot() {
    auto* root = NewGameObject<TGlobalObjects>("_G", nullptr);
    GlobalObjects = root;
    NewGameObject<tGameIniTable>("ini", root);
    return root;
}

void CreateGameGlobalLists() {
    TBaseGameObject* root = GlobalObjects;
    if (!root) return;
    NewGameObject<TBaseGameObjectList>("obj", root);
    NewGameObject<TBaseGameObjectList>("fractions", root);
    NewGameObject<TBaseGameObjectList>("items", root);
    NewGameObject<tDeletedObjects>("deleted", root);
    NewGameObject<tTickedObjects>("created", root);
    NewGameObject<tTickedObjects>("created2", root);
    NewGameObject<TPackedObjects>("packed", root);
    NewGameObject<TBaseGameObjectList>("spaceobj", root);
    CreateCameraPlayer(root);
    NewGameObject<tTickedObjects>("ticked", root);
    NewGameObject<TGameTargetedObjects>("targetedObjects", root);
}

} // namespace vesk
