#pragma once
// The global "player": everything that belongs to the person playing rather
// than to the world — the player's ship, the selected target and the cursor
// target, cockpit mode, the current game part, the loaded locations, the
// player's statistics and objectives, and the commands the player gives to
// allied ships. It also carries out the scripts' actions for saving and
// loading games and for the profiles.
#include <string>

#include "game/game_objects.h"
#include "game/params.h"

namespace vesk {

class IPlayerShipRegime;
class TGameStatistics;

// "selfShipControl": 1 while the player steers the ship, which takes its
// physics from the computer; 0 hands it back.
class TPlayerSelfShipControl : public TGameObjectIntParam {
    VESK_GAME_CLASS(TPlayerSelfShipControl)
public:
    void setValue(int32_t v) override;
};

// "ship": setting it tells the scripts the player's ship changed.
class TPlayerShipLink : public TGameObjectLink {
    VESK_GAME_CLASS(TPlayerShipLink)
public:
    void setValue(TBaseGameObject* node) override;
};

// The player's view offsets inside the cockpit, each kept in [-1, 1].
class TGameCockpitComponent : public TBaseGameObject {
    VESK_GAME_CLASS(TGameCockpitComponent)
public:
    // engine_Execute(path, "up" | "down" | "left" | "right" | "center", amount).
    int Execute(lua_State* L) override;
    // Mouse movement: both offsets move, are clamped and turn the view.
    void AddViewOffset(float vertical, float horizontal);
    float Vertical() const { return vertical_; }
    float Horizontal() const { return horizontal_; }

private:
    float vertical_ = 0.0f;
    float horizontal_ = 0.0f;
};

class TPlayer : public TBaseGameObjectList {
    VESK_GAME_CLASS(TPlayer)
public:
    ~TPlayer() override;
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void Delete() override;
    int Execute(lua_State* L) override;

    TBaseGameObject* GetShip() const;
    // The children "ship" and "selected" whatever their kind (nullptr without them).
    TBaseGameObject* ShipNode() const { return shipNode_.Find(this, "ship"); }
    TBaseGameObject* SelectedNode() const { return selectedNode_.Find(this, "selected"); }
    TEngineObject* getPShipTarget();
    void setPShipTarget(TEngineObject* target);
    TBaseGameObject* Selected() const;
    // A changed selection sets "selected", tells the scripts' mirror and runs
    // updateSelectedShip(); the same target again runs nothing.
    void SelectTarget(TEngineObject* target);
    void SetCursorTarget(TEngineObject* target);
    TEngineObject* CursorTarget() const;
    // Runs updatePlayerShip().
    void PlayerShipChanged();
    void AddLoadedLocation(const std::string& name);
    void RemoveLoadedLocation(const std::string& name);

    // The ship's regime; a base regime is made when there is none.
    IPlayerShipRegime* GetShipRegime();
    // Replaces a regime of another class with one of this class (enabled on
    // the ship); makes none where there was none.
    IPlayerShipRegime* SetShipRegime(const TGameClass& regime);
    // "help" or "assist" goes from the ship's AI model to the friends nearby.
    void sendCommand(const std::string& command);

    // ---- the actions --------------------------------------------------------------------
    void CockpitOn(bool on);
    void FastSave();
    std::string NewSaveId();
    // Writes the game under the id into the current profile's "save" folder.
    bool SaveGame(const std::string& id);
    // Reads the game saved under the id back.
    bool LoadGame(const std::string& id);

private:
    TGameEvent* NewPlayerEvent(const char* name);
    int32_t cursorTargetId_ = 0;
    // The ship and the selection are asked for all the time: their lookups are kept.
    mutable TChildRef<TBaseGameObject> shipNode_, selectedNode_;
};

// The player (nullptr before it is made and after it is gone).
extern TPlayer* Player;
// The player's ship, nullptr when there is none.
TBaseGameObject* PlayerShip();
// The player's statistics (its child "statistics"), nullptr when there are none.
TGameStatistics* PlayerStatistics();

// The engine functions of the player.
int engine_UpdatePlayerShip(lua_State* L);
int engine_UpdateSelectedShip(lua_State* L);
// The player's cursor target: a hex id ("0" for none) or a path.
int engine_SetCursorObj(lua_State* L);

// The classes of the AI, the player, the regimes, the cockpit and turrets.
void RegisterAiAndPlayerClasses();
void RegisterPlayerFunctions();
// "GameVarInit": "player" under the root.
void CreatePlayer(TBaseGameObject* root);

} // namespace vesk
