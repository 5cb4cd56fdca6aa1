#include "game/mesh_tables.h"

#include <algorithm>

#include "core/var_list.h"
#include "game/effect_links.h"
#include "game/game_lua.h"
#include "game/lua_text.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

TGameMeshTable* GameMeshTable = nullptr;

namespace {

constexpr ParamKind S = ParamKind::String;
constexpr ParamKind F = ParamKind::Sub;

TBaseGameObjectList* NewList(const char* name, TBaseGameObject* parent, const TGameClass* element = nullptr) {
    auto* list = NewGameObject<TBaseGameObjectList>(name, parent);
    list->SetDefaultChildClass(element);
    return list;
}

} // namespace

// ---- TGameMeshTable -------------------------------------------------------------------

TGameMeshTable::~TGameMeshTable() {
    if (GameMeshTable == this) GameMeshTable = nullptr;
}

void TGameMeshTable::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    SetDefaultChildClass(&TGameMesh::StaticClass());
    if (name == "mesh" && !GameMeshTable) GameMeshTable = this;
}

TBaseGameObject* TGameMeshTable::FindChild(std::string_view name) {
    if (TBaseGameObject* found = TBaseGameObjectList::FindChild(name)) return found;
    const std::string key(name);
    if (std::find(loading_.begin(), loading_.end(), key) != loading_.end()) return nullptr;
    loading_.push_back(key);
    // The scripts build the description from their content table.
    RunLua("updateMeshToEngine(" + LuaQuote(key) + ")");
    loading_.erase(std::find(loading_.begin(), loading_.end(), key));
    return TBaseGameObjectList::FindChild(name);
}

TGameMesh* TGameMeshTable::FindMesh(const std::string& name) {
    return dynamic_cast<TGameMesh*>(FindChild(name));
}

// ---- descriptions and their parts ---------------------------------------------------------

void TGamePhysicParams::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    AddParams(this, {{"ph_StaticRotate90Time", F},
                     {"ph_StartMoveAngle", F},
                     {"ph_MaxPitchAngle", F},
                     {"ph_MaxVelocity", F},
                     {"ph_AccelerateTime", F},
                     {"ph_RotateDistance", F},
                     {"ph_RotateForceMultiply", F},
                     {"ph_RotateFading", F},
                     {"ph_MaxRotateVelocity", F},
                     {"ph_RollForceMultiply", F},
                     {"ph_RollFading", F},
                     {"ph_MaxRollAngle", F},
                     {"ph_Type", S},
                     {"ph_UseInFindWay", S}});
}

void TGameMeshCilinder::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    AddParams(this, {{"mesh", S}, {"name", S}, {"frequency", F}, {"type", S}, {"onship_object", S}});
}

void TGameMeshNozzle::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    AddParams(this, {{"helper_name", S},
                     {"fx_name", S},
                     {"size", F},
                     {"texture", S},
                     {"color", S},
                     {"percents", F},
                     {"frequency", F}});
}

void TGameMeshFlare::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    AddParams(this, {{"max_point_name", S},
                     {"texture", S},
                     {"texture_interface", S},
                     {"animation", S},
                     {"phase", F},
                     {"dynamic", F},
                     {"frequency", F},
                     {"size", F}});
}

void TGameMesh::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    NewGameObject<TGameObjectSubParam>("defectSizeMultiplier", this)->setValue(1.0f);
    NewGameObject<TGameObjectIntParam>("BSPhereSubdivide", this)->setValue(2);
    NewGameObject<TGameObjectFreeLink>("BSContainer", this);
    NewGameObject<TGameObjectFreeLink>("BRULODList", this);
    AddParams(this, {{"dont_use_mesh", ParamKind::Int}, {"name", S}});
    NewList("cylinders", this, &TGameMeshCilinder::StaticClass());
    AddParams(this, {{"shield", S}, {"icon", S}, {"path", S}});
    NewList("nozzles", this, &TGameMeshNozzle::StaticClass());
    NewList("flares", this, &TGameMeshFlare::StaticClass());
    NewList("destroyFx", this);
    NewList("damageFx", this);
    NewList("collisionFx", this);
    NewList("slots", this);
    NewGameObject<TGamePhysicParams>("physic_params", this);
    NewList("helpersound", this);
    AddParams(this, {{"mapMarker", S}, {"defect", S}});
    NewList("rays", this);
    NewGameObject<TGameMinMaxPhysicParams>("minmax_ph_param", this);
}

std::string TGameMesh::ModelFile() const {
    auto* path = dynamic_cast<TGameObjectStringParam*>(objects_ ? objects_->Find("path") : nullptr);
    return path ? path->GetValue() : std::string();
}

float TGameMesh::spawnDestroyFx(TBaseGameObject* object) {
    if (EffectsOffMode() != 0) return 0.0f;
    TBaseGameObject* list = objects_ ? objects_->Find("destroyFx") : nullptr;
    if (!list) return 0.0f;
    float longest = 0.0f;
    int32_t cursor;
    TBaseGameObject* entry;
    list->First(cursor);
    while (list->Next(cursor, entry)) {
        auto* fx = dynamic_cast<IGameDestroyFxEntry*>(entry);
        if (!fx) {
            ErrorReport(Ru("TGameMesh.spawnDestroyFx error: в таблице \"destroyFx\" корабля ") +
                            GetDebugPath(object) + Ru(" найден обьект класса ") + entry->ClassName() +
                            Ru(" , это ОШИБКА .Этот класс не может обрабатываться как ФХ!!! "),
                        "mhl");
            return longest;
        }
        longest = std::max(longest, fx->DestroyFxTime());
        fx->SpawnDestroyFx(object);
    }
    return longest;
}

// ---- TGameMeshLink ---------------------------------------------------------------------------

void TGameMeshLink::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectLinkParam::Create(name, parent);
    SetTable(GameMeshTable);
}

void TGameMeshLink::stringUpdate(const std::string& text) {
    // A link made before the table existed finds it now.
    if (!GetTable()) SetTable(GameMeshTable);
    TGameObjectLinkParam::stringUpdate(text);
}

TGameMesh* TGameMeshLink::GetMesh() const {
    return dynamic_cast<TGameMesh*>(GetLinked());
}

void RegisterMeshTableClasses() {
    RegisterGameClass(TGameMesh::StaticClass());
    RegisterGameClass(TGameMeshCilinder::StaticClass());
    RegisterGameClass(TGameMeshNozzle::StaticClass());
    RegisterGameClass(TGameMeshFlare::StaticClass());
}

void CreateGameMeshTable(TBaseGameObject* root) {
    if (root && !root->FindChild("mesh")) NewGameObject<TGameMeshTable>("mesh", root);
}

} // namespace vesk
