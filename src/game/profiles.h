#pragma once
// Profiles and their saved games: "playerSettings" is the catalogue of the
// profiles and of the current profile's saves, and is what a profile's
// "settings.lua" stores. The player performs the profile operations.
#include <string>

#include "game/game_object.h"

namespace vesk {

// One saved game's description (its "info.lua").
class TSavedGame : public TBaseGameObjectList {
    VESK_GAME_CLASS(TSavedGame)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

class TPlayerSettings : public TBaseGameObjectList {
    VESK_GAME_CLASS(TPlayerSettings)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    int Execute(lua_State* L) override;
    // Lists the folders of the profiles directory without a "." in their names.
    void UpdateProfileNames();
    // Lists the current profile's "save*" folders, each read from its "info.lua".
    void UpdateSaveNames();
};

// The profile the "ini" value "curPlayerProfile" names.
std::string CurrentProfile();
// The profile's folder, ending in a separator.
std::string ProfileFolder(const std::string& profile);
// Makes the profile current ("default" when it has no folder) and loads its settings.
void SwitchPlayerProfile(const std::string& profile);
// Reports why the profile may not be written ("default", a name that names
// no folder of its own, a link on the way); true when it may.
bool MayWriteProfile(const std::string& profile);
// Writes the profile's settings; false (reported) when it is refused.
bool SavePlayerProfile(const std::string& profile);
// Removes the profile's folder with its saves; false (reported) when the
// name is refused or something stayed.
bool DeletePlayerProfile(const std::string& profile);

// The checks every profile and save operation shares. `what` names the
// operation in the report; a refusal is reported and never ends the game.
// A profile name names one folder of the profiles directory.
bool AcceptProfileName(const std::string& what, const std::string& profile);
// A path below the profiles directory reaches no link (platform::NoLinkBelow).
bool AcceptProfilePath(const std::string& what, const std::string& below);

void RegisterProfileClasses();
// "GameVarInit": "playerSettings" under the root.
void CreatePlayerSettings(TBaseGameObject* root);

} // namespace vesk
