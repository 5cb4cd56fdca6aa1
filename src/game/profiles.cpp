#include "game/profiles.h"

#include <lua.hpp>

#include "core/paths.h"
#include "game/game_functions.h"
#include "game/game_ini_table.h"
#include "game/game_lua.h"
#include "game/game_text.h"
#include "game/params.h"
#include "platform/files.h"
#include "shared/errors.h"

namespace vesk {

namespace {

constexpr const char* kDefaultProfile = "default";

TPlayerSettings* Settings() {
    return dynamic_cast<TPlayerSettings*>(GlobalObjects ? GlobalObjects->FindChild("playerSettings")
                                                        : nullptr);
}

} // namespace

bool AcceptProfileName(const std::string& what, const std::string& profile) {
    if (CheckSaveName(profile) == SaveNameCheck::ok) return true;
    ErrorReport(what + " error: wrong profile name: \"" + profile + "\"", "m");
    return false;
}

bool AcceptProfilePath(const std::string& what, const std::string& below) {
    if (platform::NoLinkBelow(ProfilesPath, below)) return true;
    ErrorReport(what + " error: \"" + ProfilesPath + below + "\" goes through a link", "m");
    return false;
}

void TSavedGame::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    NewGameObject<TGameObjectStringParam>("name", this);
    NewGameObject<TGameObjectIntParam>("mission", this);
    NewGameObject<TGameObjectIntParam>("intermission", this);
    NewGameObject<TGameObjectStringParam>("missionDescription", this);
    NewGameObject<TGameObjectStringParam>("missionName", this);
    NewGameObject<TGameObjectStringParam>("missionId", this);
}

void TPlayerSettings::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    NewGameObject<TGameObjectStringParam>("curSave", this);
    NewGameObject<TGameObjectIntParam>("numberSaves", this);
    NewGameObject<TBaseGameObjectList>("saves", this)->SetDefaultChildClass(&TSavedGame::StaticClass());
    NewGameObject<TBaseGameObjectList>("profiles", this)
        ->SetDefaultChildClass(&TGameObjectStringParam::StaticClass());
    NewGameObject<TBaseGameObjectList>("userData", this);
    NewGameObject<TSavedGame>("newSaveData", this);
    NewGameObject<TGameObjectStringParam>("PlayerName", this);
}

void TPlayerSettings::UpdateProfileNames() {
    TBaseGameObject* profiles = FindChild("profiles");
    if (!profiles) return;
    profiles->DeleteChildren();
    for (const std::string& name : platform::ListFolder(ProfilesPath, false, true)) {
        if (name.find('.') != std::string::npos) continue;
        // A linked folder is no profile: nothing of it could be written.
        if (!platform::NoLinkBelow(ProfilesPath, name)) continue;
        NewGameObject<TGameObjectStringParam>(name, profiles)->setValue(name);
    }
}

void TPlayerSettings::UpdateSaveNames() {
    TBaseGameObject* saves = FindChild("saves");
    if (!saves) return;
    saves->DeleteChildren();
    const char* what = "TPlayerSettings.updateSaveNames";
    const std::string profile = CurrentProfile();
    if (!AcceptProfileName(what, profile) || !AcceptProfilePath(what, profile + "/save/")) return;
    const std::string folder = ProfileFolder(profile) + "save/";
    for (const std::string& name : platform::ListFolder(folder, false, true)) {
        if (name.rfind("save", 0) != 0 || name.find('.') != std::string::npos) continue;
        // A save that is a link, or holds one, could not be loaded.
        if (!platform::NoLinkBelow(folder, name + "/info.lua")) {
            FastLogAdd(std::string(what) + ": " + folder + name + " goes through a link, not listed");
            continue;
        }
        NewGameObject<TSavedGame>(name, saves)->loadData(folder + name + "/info.lua");
    }
}

int TPlayerSettings::Execute(lua_State* L) {
    const std::string action = LuaArgText(L, 2);
    if (action == "updateProfileNames")
        UpdateProfileNames();
    else if (action == "updateSaveNames")
        UpdateSaveNames();
    else
        ErrorReport("TPlayerSettings.Execute error: action- \"" + action + "\"" + Ru(" не используется"),
                    "mhl");
    return 0;
}

std::string CurrentProfile() {
    return GameIniTable ? GameIniTable->GetText("curPlayerProfile") : std::string();
}

std::string ProfileFolder(const std::string& profile) {
    return ProfilesPath + profile + "/";
}

void SwitchPlayerProfile(const std::string& profile) {
    TPlayerSettings* settings = Settings();
    if (!settings) return;
    std::string name = profile;
    if (GameIniTable) GameIniTable->SetText("curPlayerProfile", name);
    settings->UpdateProfileNames();
    TBaseGameObject* profiles = settings->FindChild("profiles");
    // A name that could leave the profiles directory is no profile either.
    if (CheckSaveName(name) != SaveNameCheck::ok || !profiles || !profiles->FindChild(name)) {
        name = kDefaultProfile;
        if (GameIniTable) GameIniTable->SetText("curPlayerProfile", name);
    }
    if (TBaseGameObject* saves = settings->FindChild("saves")) saves->DeleteChildren();
    // A profile never written has no settings to read.
    const std::string file = ProfileFolder(name) + "settings.lua";
    if (platform::FileExists(file) && AcceptProfilePath("TPlayer.switchProfile", name + "/settings.lua"))
        settings->loadData(file);
}

bool MayWriteProfile(const std::string& profile) {
    const char* what = "TPlayer.saveProfile";
    if (!AcceptProfileName(what, profile)) return false;
    if (profile == kDefaultProfile) {
        ErrorReport(
            Ru("TPlayer.saveProfile error: сохранять дефолтный профиль игрока НЕЛЬЗЯ!!!!! и сейвы туда "
               "записывать НЕЛЬЗЯ!!!"),
            "m");
        return false;
    }
    return AcceptProfilePath(what, profile + "/save/") && AcceptProfilePath(what, profile + "/settings.lua");
}

bool SavePlayerProfile(const std::string& profile) {
    // A name that may name no folder is not stored either: the current
    // profile stays what it was.
    if (!AcceptProfileName("TPlayer.saveProfile", profile)) return false;
    // "default" is stored, then refused; a profile a link would take
    // elsewhere is refused before anything changes.
    if (profile == kDefaultProfile && GameIniTable) GameIniTable->SetText("curPlayerProfile", profile);
    if (!MayWriteProfile(profile)) return false;
    if (GameIniTable) GameIniTable->SetText("curPlayerProfile", profile);
    TPlayerSettings* settings = Settings();
    if (!settings) return false;
    if (!platform::CreateFolders(ProfileFolder(profile) + "save")) {
        ErrorReport("TPlayer.saveProfile error: can not create " + ProfileFolder(profile) + "save", "m");
        return false;
    }
    settings->saveData(ProfileFolder(profile) + "settings.lua");
    return true;
}

bool DeletePlayerProfile(const std::string& profile) {
    const char* what = "TPlayer.deleteProfile";
    if (!AcceptProfileName(what, profile)) return false;
    // The profile's folder goes with its saves; a link goes as the link.
    std::string failed;
    if (platform::RemoveTree(ProfileFolder(profile), &failed)) return true;
    ErrorReport(std::string(what) + " error: can`t delete " + failed, "m");
    return false;
}

void RegisterProfileClasses() {
    RegisterGameClass(TSavedGame::StaticClass());
    RegisterGameClass(TPlayerSettings::StaticClass());
}

void CreatePlayerSettings(TBaseGameObject* root) {
    if (root && !root->FindChild("playerSettings")) NewGameObject<TPlayerSettings>("playerSettings", root);
}

} // namespace vesk
