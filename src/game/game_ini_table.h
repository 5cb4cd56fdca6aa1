#pragma once
// The game ini table "ini" under "_G": forty typed parameters saved to and
// loaded from "new.cfg" as Lua text.
#include <cstdint>
#include <string>
#include <vector>

#include "game/game_object.h"
#include "game/params.h"

namespace vesk {

class tGameIniTable : public TBaseGameObjectList {
    VESK_GAME_CLASS(tGameIniTable)
public:
    ~tGameIniTable() override;
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // Loads "new.cfg"; the start location never comes from it.
    void LoadCfg();
    // Saves "new.cfg" when the "ini" variable "autoSaveIni" is 1.
    void SaveCfg();

    // Values by key (0 or "" when the key is missing or of another kind).
    int32_t GetInt(const std::string& key);
    std::string GetText(const std::string& key);
    void SetInt(const std::string& key, int32_t value);
    void SetText(const std::string& key, const std::string& value);
    // The text of a value parameter ("" for a vector or a missing key).
    std::string ValueText(const std::string& key);

private:
    // The engine reads a few switches every frame by key: their lookups are kept.
    struct KeptLookup {
        std::string key;
        TChildRef<TGameObjectBaseParam> param;
    };
    static constexpr size_t kKeptLookups = 16;
    std::vector<KeptLookup> kept_;
    size_t nextKept_ = 0; // the entry replaced once kKeptLookups are kept
};

// The table, while it exists.
extern tGameIniTable* GameIniTable;

// Start-up: the root "_G" and its first child "ini" (the game parts of the
// system add "gameSystem", "bal" and "parts" after it).
TGlobalObjects* CreateGameRoot();
// Start-up ("GameVarInit"): the global lists under "_G" that the tree serves,
// in the start-up order.
void CreateGameGlobalLists();

} // namespace vesk
