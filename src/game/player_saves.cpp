// Saved games: a folder under the current profile's "save" folder holding the
// save's description ("info.lua"), the player ("player.lua"), the player's
// ship ("pship.lua") and the items the ship and the player hold ("items.lua").
#include <utility>
#include <vector>

#include <lua.hpp>

#include "core/lua_machine.h"
#include "core/paths.h"
#include "game/ai_helpers.h"
#include "game/data_files.h"
#include "game/game_functions.h"
#include "game/game_lua.h"
#include "game/game_text.h"
#include "game/items.h"
#include "game/lua_text.h"
#include "game/player.h"
#include "game/player_regimes.h"
#include "game/profiles.h"
#include "game/slots.h"
#include "platform/files.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

constexpr const char* kTmpItems = "tmpItems";

TBaseGameObject* Root(const char* name) {
    return GlobalObjects ? GlobalObjects->FindChild(name) : nullptr;
}

void SetText(TBaseGameObject* owner, const char* name, const std::string& value) {
    if (auto* p = owner ? dynamic_cast<TGameObjectStringParam*>(owner->FindChild(name)) : nullptr)
        p->setValue(value);
}

std::string Text(TBaseGameObject* owner, const char* name) {
    auto* p = owner ? dynamic_cast<TGameObjectStringParam*>(owner->FindChild(name)) : nullptr;
    return p ? p->GetValue() : std::string();
}

// A save id names one folder of the profile's "save" folder.
bool AcceptSaveId(const std::string& what, const std::string& id) {
    if (CheckSaveName(id) == SaveNameCheck::ok) return true;
    ErrorReport(what + " error: wrong save id: \"" + id + "\"", "m");
    return false;
}

// A save is written into a folder of its own and takes the place of the old
// one only when every part of it is there. The names cannot be save ids
// (no id holds ".."), and the save list skips them (they hold a ".").
constexpr const char* kWritingSuffix = "..writing";
constexpr const char* kPreviousSuffix = "..previous";

// The parts of a saved game; the ship's is there when the player had one.
constexpr const char* kInfoFile = "info.lua";
constexpr const char* kPlayerFile = "player.lua";
constexpr const char* kShipFile = "pship.lua";
constexpr const char* kItemsFile = "items.lua";

bool IsTable(const char* global) {
    lua_State* L = LuaMachine->State();
    lua_getglobal(L, global);
    const bool table = lua_type(L, -1) == LUA_TTABLE;
    lua_pop(L, 1);
    return table;
}

// Whether the saved player names a ship (its "ship" link is written only then).
bool SavedPlayerHasShip() {
    std::string ship;
    return GameReadLua("type(exec_table.ship) == 'string' and exec_table.ship or nil", ship) && !ship.empty();
}

// Every part of the save is read as data before anything of the game changes:
// a part that is missing, goes through a link, is no plain data or holds no
// saved object makes the whole save unreadable. Empty when it can be loaded.
std::string UnreadablePart(const std::string& below) {
    const std::string folder = ProfilesPath + below;
    bool shipWanted = true;
    std::string why;
    for (const char* part : {kInfoFile, kPlayerFile, kItemsFile, kShipFile}) {
        const std::string file = folder + part;
        if (!platform::NoLinkBelow(ProfilesPath, below + part)) return file + " goes through a link";
        if (std::string_view(part) == kShipFile && !shipWanted && platform::FileSize(file) < 0) continue;
        if (!ReadDataFile(file, {"exec_table"}, &why)) return file + ": " + why;
        if (!IsTable("exec_table")) return file + ": no saved object in it";
        if (std::string_view(part) == kPlayerFile) shipWanted = SavedPlayerHasShip();
    }
    GameRunLua("exec_table=nil");
    return {};
}

// The items the player holds that live in the global "items" list: those in
// the ship's slots (and in their slots), in its cargo hold and in the pool.
std::vector<TGameItem*> HeldItems(TBaseGameObject* ship, TBaseGameObject* pool) {
    std::vector<TGameItem*> items;
    TBaseGameObject* list = Root("items");
    auto take = [&](TGameItem* item) {
        if (item && item->GetParent() == list) items.push_back(item);
    };
    auto fromSlots = [&](auto& self, TBaseGameObject* owner) -> void {
        ForEachChildOf(owner ? owner->FindChild("slots") : nullptr, [&](TBaseGameObject* child) {
            auto* slot = dynamic_cast<TGameSlot*>(child);
            TGameItem* item = slot ? slot->MountedItem() : nullptr;
            if (!item) return;
            take(item);
            self(self, item);
        });
    };
    fromSlots(fromSlots, ship);
    auto fromLinks = [&](TBaseGameObject* holder) {
        ForEachChildOf(holder, [&](TBaseGameObject* child) {
            if (auto* link = dynamic_cast<TGameItemLink*>(child)) take(link->Item());
        });
    };
    fromLinks(ship ? ship->FindChild("cargo") : nullptr);
    fromLinks(pool);
    return items;
}

TBaseGameObject* NewTmpItems() {
    TBaseGameObject* tmp = NewGameObject<TBaseGameObjectList>(kTmpItems, GlobalObjects);
    tmp->SetDefaultChildClass(&TGameItem::StaticClass());
    return tmp;
}

} // namespace

bool TPlayer::SaveGame(const std::string& requested) {
    const std::string what = "TPlayer.saveGame";
    std::string id = requested;
    if (id.empty()) GameReadLua("getUniqId()", id);
    const std::string profile = CurrentProfile();
    if (!AcceptSaveId(what, id) || !AcceptProfileName(what, profile)) return false;
    if (profile == "default") {
        ErrorReport(
            Ru("TPlayer.saveProfile error: сохранять дефолтный профиль игрока НЕЛЬЗЯ!!!!! и сейвы туда "
               "записывать НЕЛЬЗЯ!!!"),
            "m");
        return false;
    }
    const std::string saves = profile + "/save/";
    if (!AcceptProfilePath(what, saves)) return false;
    const std::string root = ProfilesPath + saves;
    const std::string writing = root + id + kWritingSuffix;
    // A folder left by a write that never ended goes first (a link as the link).
    if (!platform::RemoveTree(writing) || !platform::CreateFolders(writing) ||
        !AcceptProfilePath(what, saves + id + kWritingSuffix + "/")) {
        ErrorReport(what + " error: can not create " + writing, "m");
        return false;
    }
    const std::string folder = writing + "/";
    TBaseGameObject* settings = Root("playerSettings");
    if (TBaseGameObject* info = settings ? settings->FindChild("newSaveData") : nullptr) {
        // The name made up for an unnamed save is this save's alone: the
        // record for the next save stays unnamed.
        const bool unnamed = Text(info, "name").empty();
        if (unnamed) SetText(info, "name", Ru("непоименованный сейв с идентификатором ") + id);
        info->saveData(folder + kInfoFile);
        if (unnamed) SetText(info, "name", "");
    }
    TBaseGameObject* ship = GetShip();
    // A saved ship flies in its base regime: the values written are its own.
    SetShipRegime(TPlayerShipBaseRegime::StaticClass());
    // It comes back where it is now.
    if (TBaseRenderUnit* unit = UnitOf(ship)) {
        Vec3 at;
        unit->GetPosition(at);
        SetText(ship, "position",
                FloatToStrRaw(at.x) + " " + FloatToStrRaw(at.y) + " " + FloatToStrRaw(at.z));
    }
    saveData(folder + kPlayerFile);
    if (ship) ship->saveData(folder + kShipFile);
    // The items go through a list of their own for the time of the write.
    TBaseGameObject* tmp = NewTmpItems();
    std::vector<std::pair<TGameItem*, TBaseGameObject*>> moved;
    for (TGameItem* item : HeldItems(ship, FindChild("itemPool"))) {
        moved.emplace_back(item, item->GetParent());
        item->SetParent(tmp);
    }
    tmp->saveData(folder + kItemsFile);
    for (auto& [item, parent] : moved) item->SetParent(parent);
    tmp->Delete();
    // The scripts write the files: a part they could not write fails the save,
    // and the save that was there stays.
    std::vector<const char*> parts = {kInfoFile, kPlayerFile, kItemsFile};
    if (ship) parts.push_back(kShipFile);
    for (const char* part : parts) {
        if (platform::FileExists(folder + part) && !platform::IsSymbolicLink(folder + part)) continue;
        ErrorReport(what + " error: " + folder + part + " was not written", "m");
        platform::RemoveTree(writing);
        return false;
    }
    const std::string target = root + id;
    const std::string previous = root + id + kPreviousSuffix;
    platform::RemoveTree(previous);
    const bool hadOld = platform::Rename(target, previous);
    if (!platform::Rename(writing, target)) {
        if (hadOld) platform::Rename(previous, target);
        ErrorReport(what + " error: can not replace " + target, "m");
        platform::RemoveTree(writing);
        return false;
    }
    platform::RemoveTree(previous);
    SetText(settings, "curSave", id);
    return true;
}

bool TPlayer::LoadGame(const std::string& id) {
    const std::string what = "TPlayer.loadGame";
    const std::string profile = CurrentProfile();
    if (!AcceptSaveId(what, id) || !AcceptProfileName(what, profile)) return false;
    const std::string below = profile + "/save/" + id + "/";
    if (!AcceptProfilePath(what, below)) return false;
    const std::string folder = ProfilesPath + below;
    if (!platform::FolderExists(folder)) {
        ErrorReport(what + " error: no saved game \"" + id + "\" in " + folder, "m");
        return false;
    }
    // Half a saved game would leave the player without a ship or items: a
    // save that cannot be read whole is not read at all.
    if (const std::string why = UnreadablePart(below); !why.empty()) {
        ErrorReport(what + " error: the saved game \"" + id + "\" is refused: " + why, "m");
        return false;
    }
    TBaseGameObject* settings = Root("playerSettings");
    if (TBaseGameObject* saves = settings ? settings->FindChild("saves") : nullptr) {
        TBaseGameObject* info = saves->FindChild(id);
        if (!info) info = NewGameObject(TSavedGame::StaticClass(), id, saves);
        info->loadData(folder + kInfoFile);
    }
    loadData(folder + kPlayerFile);
    TBaseGameObject* objects = Root("obj");
    RunLua("service.objcount=" + std::to_string(objects ? objects->CountChildren() : 0));
    RunLua("loadPlayershipToLua(" + LuaQuote(folder + kShipFile) + ")");
    TBaseGameObject* tmp = NewTmpItems();
    tmp->loadData(folder + kItemsFile);
    if (TBaseGameObject* items = Root("items")) {
        std::vector<TBaseGameObject*> loaded;
        ForEachChildOf(tmp, [&](TBaseGameObject* item) { loaded.push_back(item); });
        for (TBaseGameObject* item : loaded) {
            // The saved item takes the place of one of the same name.
            if (TBaseGameObject* old = items->FindChild(item->GetName())) old->Delete();
            item->SetParent(items);
        }
    }
    tmp->Delete();
    RunLua("loadSavedScene(" + LuaQuote(id) + ",\"\")");
    SetText(settings, "curSave", id);
    return true;
}

} // namespace vesk
