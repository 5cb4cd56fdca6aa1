#pragma once
// Factions and their attitudes, the campaign's parts, the linkers' manager,
// the player's game statistics and mission objectives.
#include <cstdint>
#include <string>

#include "game/game_object.h"
#include "game/params.h"

namespace vesk {

// ---- factions -----------------------------------------------------------------------------------

inline constexpr float kNeutralAttitude = 50.0f;

// A faction in the global list "fractions": "attitudes" holds one float per
// other faction, named after it (50 neutral, below hostile, above friendly).
class TFraction : public TBaseGameObjectList {
    VESK_GAME_CLASS(TFraction)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    TBaseGameObject* Attitudes() const { return attitudes_; }
    // The attitude toward that faction; neutral when there is no entry.
    float Attitude(const std::string& other) const;

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    TBaseGameObject* attitudes_ = nullptr;
};

// A link looked up by name in "fractions".
class TFractionLink : public TGameObjectLinkParam {
    VESK_GAME_CLASS(TFractionLink)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

// ---- game parts ---------------------------------------------------------------------------------

class TGamePart : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGamePart)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    std::string SceneId();
    int32_t PartNumber();
};

// "parts": the campaign's chapters, walked through its execute actions.
class TGamePartsList : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGamePartsList)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    int Execute(lua_State* L) override;
    // The player's "curPartId" while there is a player; kept here otherwise.
    std::string CurPartId();
    void SetCurPartId(const std::string& id);
    // The part with the smallest number; nullptr when none.
    TGamePart* FirstPart();
    // The next part after the current one ("" and a fatal report after the last).
    std::string NextPartId();

private:
    std::string curPartId_;
};

// "linked": every tick runs the resolution of each linker it holds.
class TGameLinkersManager : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameLinkersManager)
public:
    void Tick(float dt) override;
};

// ---- statistics and objectives ------------------------------------------------------------------

class TGameStastisticEnemyCounter : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameStastisticEnemyCounter)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    TGameObjectStringParam* EnemyName();
    TGameObjectIntParam* Counter();
};

// The player's game statistics: integer counters saved with the player.
class TGameStatistics : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameStatistics)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CountShot();
    void CountDamage(bool enemy);
    void CountDestroyedEnemy(const std::string& enemyName);
    // The counter of that name (0 when missing).
    int32_t Value(const std::string& counter);
    TBaseGameObject* DestroyedEnemyes() { return FindChild("destroyedEnemyes"); }
    // Adds one to the counter of that name.
    void Inc(const std::string& counter);
};

// An objective: its name is the id, its value the text shown.
class TGameObjective : public TGameObjectStringParam {
    VESK_GAME_CLASS(TGameObjective)
public:
    // A non-empty text is announced to the interface first.
    void setValue(const std::string& text) override;
};

class TGameObjectives : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameObjectives)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    int Execute(lua_State* L) override;
};

void RegisterGamePartsClasses();
// Start-up: "parts" under the root, after the game logic's first roots.
TGamePartsList* CreateGameParts(TBaseGameObject* root);
// "GameVarInit": "linked" under the root, and factions as the default class of "fractions".
void CreateGamePartsLists(TBaseGameObject* root);

} // namespace vesk
