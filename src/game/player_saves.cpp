// Saved games: a folder under the current profile's "save" folder holding the
// save's description ("info.lua"), the player ("player.lua"), the player's
// ship ("pship.lua") and the items the ship and the player hold ("items.lua").
#include <utility>
#include <vector>

#include "game/ai_helpers.h"
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

// The saved game's folder, "" (reported) when the id or the profile may not
// name one.
std::string SaveFolderFor(const std::string& id, const char* who) {
    if (CheckSaveName(id) != SaveNameCheck::ok) {
        ErrorReport(std::string("TPlayer.") + who + " error: wrong save id: \"" + id + "\"", "m");
        return {};
    }
    const std::string profile = CurrentProfile();
    if (CheckSaveName(profile) != SaveNameCheck::ok) {
        ErrorReport(std::string("TPlayer.") + who + " error: wrong profile name: \"" + profile + "\"", "m");
        return {};
    }
    return ProfileFolder(profile) + "save/" + id + "/";
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
    std::string id = requested;
    if (id.empty()) GameReadLua("getUniqId()", id);
    const std::string folder = SaveFolderFor(id, "saveGame");
    if (folder.empty()) return false;
    if (CurrentProfile() == "default") {
        ErrorReport(
            Ru("TPlayer.saveProfile error: сохранять дефолтный профиль игрока НЕЛЬЗЯ!!!!! и сейвы туда "
               "записывать НЕЛЬЗЯ!!!"),
            "mhl");
        return false;
    }
    if (!platform::CreateFolders(folder)) {
        ErrorReport("TPlayer.saveGame error: can not create " + folder, "m");
        return false;
    }
    TBaseGameObject* settings = Root("playerSettings");
    if (TBaseGameObject* info = settings ? settings->FindChild("newSaveData") : nullptr) {
        if (Text(info, "name").empty())
            SetText(info, "name", Ru("непоименованный сейв с идентификатором ") + id);
        info->saveData(folder + "info.lua");
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
    saveData(folder + "player.lua");
    if (ship) ship->saveData(folder + "pship.lua");
    // The items go through a list of their own for the time of the write.
    TBaseGameObject* tmp = NewTmpItems();
    std::vector<std::pair<TGameItem*, TBaseGameObject*>> moved;
    for (TGameItem* item : HeldItems(ship, FindChild("itemPool"))) {
        moved.emplace_back(item, item->GetParent());
        item->SetParent(tmp);
    }
    tmp->saveData(folder + "items.lua");
    for (auto& [item, parent] : moved) item->SetParent(parent);
    tmp->Delete();
    SetText(settings, "curSave", id);
    return true;
}

bool TPlayer::LoadGame(const std::string& id) {
    const std::string folder = SaveFolderFor(id, "loadGame");
    if (folder.empty()) return false;
    if (!platform::FolderExists(folder)) {
        ErrorReport("TPlayer.loadGame error: no saved game \"" + id + "\" in " + folder, "m");
        return false;
    }
    TBaseGameObject* settings = Root("playerSettings");
    if (TBaseGameObject* saves = settings ? settings->FindChild("saves") : nullptr) {
        TBaseGameObject* info = saves->FindChild(id);
        if (!info) info = NewGameObject(TSavedGame::StaticClass(), id, saves);
        info->loadData(folder + "info.lua");
    }
    loadData(folder + "player.lua");
    TBaseGameObject* objects = Root("obj");
    RunLua("service.objcount=" + std::to_string(objects ? objects->CountChildren() : 0));
    RunLua("loadPlayershipToLua(" + LuaQuote(folder + "pship.lua") + ")");
    TBaseGameObject* tmp = NewTmpItems();
    tmp->loadData(folder + "items.lua");
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
