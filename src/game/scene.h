#pragma once
// The scene of the game: the global list "scene" holds the subsystems (one
// planet system each), each subsystem its locations and the helper lists from
// which the objects of the world are made. Loading and unloading run Lua texts
// in a fixed order (the planet system, its spheres and helpers, its triggers,
// planets and locations, the player's ship), refreshing the loading screen
// between the steps; the content scripts supply the functions they call.
#include <functional>
#include <string>
#include <vector>

#include "game/game_object.h"

namespace vesk {

class TonLoad;
class TGameEventList;
class TGameObjectIntParam;
class TGameObjectMethodParam;
class TGameObjectStringParam;
class TGameObjectSubParam;

// The helper lists of a subsystem or a location: "gen", "trigger", "anchor" and
// "mesh". An entry is any object that is not a plain list; a plain list is a
// group whose children are the entries.
class TGameHelperList : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameHelperList)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // The (id, model) pairs of one list: an entry c gives ("c", "c"); an entry g
    // of the group c gives ("cg", "c").
    std::vector<std::pair<std::string, std::string>> Entries(const std::string& list) const;
};

class TGameMinimap : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameMinimap)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

class TGameSubsystem : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameSubsystem)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void LoadFunc();
    void UnloadFunc();
    TBaseGameObject* Locations() const { return FindChildOf("locations"); }
    TGameHelperList* Helpers() const;
    int32_t Flag(const char* name) const;
    std::string Text(const char* name) const;
    // Hands the subsystem's minimap to the tactic map.
    void ShowMinimap() const;

private:
    TBaseGameObject* FindChildOf(const char* name) const;
};

class TGameLocation : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameLocation)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void LoadFunc();
    void UnloadFunc();
    void BeginLoadFunc();
    // The native handler of "onLoad".
    void onLoadFunc();
    // The subsystem the location belongs to (the parent of its list), nullptr when none.
    TGameSubsystem* Subsystem() const;
    int32_t IntValue(const char* name) const;
    void SetIntValue(const char* name, int32_t value);
    std::string Text(const char* name) const;
    void SetText(const char* name, const std::string& value);
    TonLoad* OnLoad() const { return onLoad_; }

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    TGameEventList* events_ = nullptr;
    TonLoad* onLoad_ = nullptr;
};

// The global "scene": its elements are subsystems.
class TGameScene : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameScene)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

// What the scene asks of the interface and the camera while it loads: the
// interface installs the tactic map's part, the camera part is the game camera's.
struct SceneInterfaceLinks {
    std::function<void()> resetTacticMap;
    // image, x and y offset, angle in degrees, scale divisor
    std::function<void(const std::string&, int, int, int, int)> setMinimap;
};
SceneInterfaceLinks& GetSceneInterfaceLinks();

// The player as the scene reads and changes it, through the children of the
// global "player": "selfShipControl", "ship", "subsystem" and "loadedLocations".
namespace scene_player {
TBaseGameObject* Player();
// The player's ship (the object of the "ship" link), nullptr when none.
TBaseGameObject* Ship();
void SetSelfShipControl(bool on);
// The names in "loadedLocations".
std::vector<std::string> LoadedLocations();
void AddLoadedLocation(const std::string& name);
// A name that is not there is a fatal report.
void RemoveLoadedLocation(const std::string& name);
} // namespace scene_player

void RegisterSceneClasses();
// "GameVarInit": the global list "scene" under the root.
void CreateGameScene(TBaseGameObject* root);

} // namespace vesk
