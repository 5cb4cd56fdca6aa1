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
// Saved games sit two levels below a profile; anything deeper is not ours.
constexpr int kMaxRemoveDepth = 8;

TPlayerSettings* Settings() {
    return dynamic_cast<TPlayerSettings*>(GlobalObjects ? GlobalObjects->FindChild("playerSettings")
                                                        : nullptr);
}

// A profile's folder (or a part of it) that the name or a link takes out of
// the game folder is refused and reported; true when it may be used.
bool AcceptProfilePath(const std::string& what, const std::string& profile, const std::string& path) {
    if (CheckSaveName(profile) != SaveNameCheck::ok) {
        ErrorReport(what + " error: wrong profile name: \"" + profile + "\"", "mhl");
        return false;
    }
    if (InsideGameFolder(path)) return true;
    ErrorReport(what + " error: \"" + path + "\" leads outside the game folder", "mhl");
    return false;
}

bool RemoveTree(const std::string& folder, int depth) {
    if (depth > kMaxRemoveDepth) return false;
    for (const std::string& sub : platform::ListFolder(folder, false, true)) {
        // A link or an empty folder goes at once; a link is never followed.
        if (platform::DeleteFile(folder + sub)) continue;
        if (!RemoveTree(folder + sub + "/", depth + 1)) return false;
    }
    for (const std::string& file : platform::ListFolder(folder, true, false))
        if (!platform::DeleteFile(folder + file)) return false;
    return platform::DeleteFile(folder.substr(0, folder.size() - 1));
}

} // namespace

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
        NewGameObject<TGameObjectStringParam>(name, profiles)->setValue(name);
    }
}

void TPlayerSettings::UpdateSaveNames() {
    TBaseGameObject* saves = FindChild("saves");
    if (!saves) return;
    saves->DeleteChildren();
    const std::string profile = CurrentProfile();
    const std::string folder = ProfileFolder(profile) + "save/";
    if (!AcceptProfilePath("TPlayerSettings.updateSaveNames", profile, folder)) return;
    for (const std::string& name : platform::ListFolder(folder, false, true)) {
        if (name.rfind("save", 0) != 0 || name.find('.') != std::string::npos) continue;
        if (!InsideGameFolder(folder + name + "/info.lua")) continue; // a link that leads out
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
    if (platform::FileExists(file) && AcceptProfilePath("TPlayer.switchProfile", name, file))
        settings->loadData(file);
}

void SavePlayerProfile(const std::string& profile) {
    if (GameIniTable) GameIniTable->SetText("curPlayerProfile", profile);
    if (profile == kDefaultProfile) {
        ErrorReport(
            Ru("TPlayer.saveProfile error: сохранять дефолтный профиль игрока НЕЛЬЗЯ!!!!! и сейвы туда "
               "записывать НЕЛЬЗЯ!!!"),
            "mhl");
        return;
    }
    if (!AcceptProfilePath("TPlayer.saveProfile", profile, ProfileFolder(profile) + "settings.lua")) return;
    TPlayerSettings* settings = Settings();
    if (!settings) return;
    platform::CreateFolders(ProfileFolder(profile) + "save");
    settings->saveData(ProfileFolder(profile) + "settings.lua");
}

void DeletePlayerProfile(const std::string& profile) {
    const std::string folder = ProfileFolder(profile);
    if (!AcceptProfilePath("TPlayer.deleteProfile", profile, folder)) return;
    if (!platform::FolderExists(folder)) return;
    if (!RemoveTree(folder, 0)) ErrorReport("TPlayer.deleteProfile error: can`t delete " + folder, "mhl");
}

void RegisterProfileClasses() {
    RegisterGameClass(TSavedGame::StaticClass());
    RegisterGameClass(TPlayerSettings::StaticClass());
}

void CreatePlayerSettings(TBaseGameObject* root) {
    if (root && !root->FindChild("playerSettings")) NewGameObject<TPlayerSettings>("playerSettings", root);
}

} // namespace vesk
