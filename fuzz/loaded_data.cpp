// A saved object read back: any text runs as a data file, then its lists'
// entries are made and its values read into a fresh game object. Whatever
// the text holds, the game's global lists stay the game's and the Lua stack
// comes out as it went in.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <lua.hpp>

#include "core/lua_machine.h"
#include "game/data_files.h"
#include "game/game_functions.h"
#include "game/game_ini_table.h"
#include "game/game_objects.h"
#include "game/game_parts.h"
#include "game/loaded_data.h"
#include "game/obj_managers.h"
#include "game/player.h"
#include "game/statistics.h"
#include "game/tree_functions.h"
#include "shared/errors.h"

namespace {

struct Halt {};

volatile size_t g_sink;

void SetUpGame() {
    vesk::GetErrorHooks().halt = [] { throw Halt{}; };
    vesk::GetErrorHooks().releaseDisplay = nullptr;
    vesk::CreateLuaMachine();
    vesk::RegisterGameTreeClasses();
    vesk::RegisterGameLogicClasses();
    vesk::RegisterGamePartsClasses();
    vesk::RegisterGameTreeFunctions();
    vesk::ObjManagersManager = std::make_unique<vesk::TObjManagersManager>();
    vesk::CreateGameLogicRoots(vesk::CreateGameRoot());
    vesk::CreateGameGlobalLists();
    vesk::CreateGamePartsLists(vesk::GlobalObjects);
    vesk::CreatePlayer(vesk::GlobalObjects);
    vesk::CreateStatistics();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (SetUpGame(), true);
    (void)ready;
    lua_State* L = vesk::LuaMachine->State();
    const int top = lua_gettop(L);
    auto* const deleted = vesk::DeletedObjects;
    auto* const ticked = vesk::TickedObjects;
    auto* const player = vesk::Player;
    std::string why;
    const bool ran = vesk::RunDataText(L, std::string_view(reinterpret_cast<const char*>(data), size), "fuzz",
                                       {"exec_table"}, &why);
    auto* ship = vesk::NewGameObject<vesk::TGameObject>("fz", vesk::GlobalObjects->FindChild("obj"));
    if (ran) {
        try {
            vesk::DataLoadScope fromFile;
            vesk::RestoreListEntries(ship, "exec_table");
            ship->UpdateToEngine("exec_table");
        } catch (const Halt&) {
        }
    }
    try {
        ship->Delete();
        vesk::DeletedObjects->Tick(0.0f);
        // The lists the object's events sat on drop the entries it left.
        vesk::CreatedObjects->Tick(0.0f);
        vesk::TickedObjects->Tick(0.0f);
    } catch (const Halt&) {
    }
    if (lua_gettop(L) != top || vesk::DeletedObjects != deleted || vesk::TickedObjects != ticked ||
        vesk::Player != player)
        __builtin_trap();
    // The reports queued for an error-log report would pile up over the run.
    vesk::PendingErrorTexts.clear();
    g_sink = g_sink + (ran ? 1 : why.size());
    lua_gc(L, LUA_GCCOLLECT, 0);
    return 0;
}
