// Save and profile names as scripts and players give them, against a game
// folder whose save and profile folders hold links: out of the game folder,
// up to the game folder itself ("..") and into its scripts. Copying,
// deleting, writing, listing and loading saves and profiles under any names
// must leave everything but the save and profile folders as it was: the
// program, the settings, the scripts and the folder outside (a change there
// ends the run as a finding).
#include "core/lua_machine.h"
#include "core/paths.h"
#include "fuzz_support.h"
#include "game/game_functions.h"
#include "game/game_ini_table.h"
#include "game/game_parts.h"
#include "game/obj_managers.h"
#include "game/player.h"
#include "game/profiles.h"
#include "game/statistics.h"
#include "game/tree_functions.h"
#include "platform/files.h"

#include <cstdlib>
#include <filesystem>
#include <lua.hpp>
#include <map>
#include <memory>

using namespace vesk;
namespace fs = std::filesystem;

namespace {

const char* const kNames[] = {"slot",  "up",   "scripts", "linked",  "alice",    "bob",
                              "carol", "dave", "save_1",  "save_up", "copy",     "..",
                              "../..", "",     "/",       "default", "save_new", "slot/../up"};

std::string Game() {
    return fuzz::RunFolder() + "/game";
}
std::string Outside() {
    return fuzz::RunFolder() + "/outside";
}

void File(const std::string& path, const std::string& text) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    platform::WriteFile(path, text);
}

void Link(const std::string& target, const std::string& at) {
    std::error_code ec;
    fs::create_directories(fs::path(at).parent_path(), ec);
    fs::create_symlink(target, at, ec);
}

// The folders as every input starts with them.
void ResetFolders() {
    const std::string g = Game();
    std::error_code ec;
    fs::remove_all(g, ec);
    fs::remove_all(Outside(), ec);
    File(g + "/vesk", "the program");
    File(g + "/setup", "the setup program");
    File(g + "/config.bin", "the settings");
    File(g + "/Scripts/main.lua", "the main script");
    File(g + "/Scripts/game/saves.lua", "a game script");
    File(Outside() + "/victim.lua", "precious");
    fs::create_directories(Outside() + "/save", ec);

    File(g + "/save/slot/game.lua", "g");
    Link(Outside() + "/victim.lua", g + "/save/slot/player.lua");
    Link("../../Scripts/main.lua", g + "/save/slot/main.lua");
    Link("..", g + "/save/up");
    Link("../Scripts", g + "/save/scripts");
    Link(Outside(), g + "/save/linked");

    for (const char* part : {"info.lua", "player.lua", "items.lua"})
        File(g + "/profiles/alice/save/save_1/" + part, "exec_table = {}");
    Link("..", g + "/profiles/up");
    Link("../Scripts", g + "/profiles/scripts");
    Link(Outside(), g + "/profiles/linked");
    Link("../../Scripts", g + "/profiles/bob/save");
    Link("../../../Scripts", g + "/profiles/carol/save/save_1");
    Link("..", g + "/profiles/carol/save/save_up");
    for (const char* part : {"info.lua", "items.lua"})
        File(g + "/profiles/dave/save/save_1/" + part, "exec_table = {}");
    Link("../../../../Scripts/main.lua", g + "/profiles/dave/save/save_1/player.lua");
}

// Everything but the save and profile folders: each entry (links not
// followed) with a file's text.
std::map<std::string, std::string> Protected() {
    std::map<std::string, std::string> seen;
    for (const std::string& root : {Game(), Outside()}) {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
             it.increment(ec)) {
            const std::string path = it->path().string();
            if (path == Game() + "/save" || path == Game() + "/profiles") {
                it.disable_recursion_pending();
                continue;
            }
            std::string text = "<folder>";
            if (it->is_symlink(ec))
                text = "<link>";
            else if (it->is_regular_file(ec))
                platform::ReadFile(path, text);
            seen[path] = text;
        }
    }
    return seen;
}

void SetUpGame() {
    platform::SetExeFolderOverride(Game());
    DataPath = Game() + "/";
    ProfilesPath = DataPath + "profiles/";
    GetErrorHooks().releaseDisplay = nullptr;
    CreateLuaMachine();
    RegisterGameTreeClasses();
    RegisterGameLogicClasses();
    RegisterGamePartsClasses();
    RegisterGameTreeFunctions();
    RegisterProfileClasses();
    ObjManagersManager = std::make_unique<TObjManagersManager>();
    CreateGameLogicRoots(CreateGameRoot());
    CreateGameGlobalLists();
    CreateGamePartsLists(GlobalObjects);
    CreatePlayer(GlobalObjects);
    CreateStatistics();
    CreatePlayerSettings(GlobalObjects);
    // What the content supplies: files written as Lua text, read back as data.
    LuaMachine->RunString(
        "local function write(v, out) "
        "  if type(v) == 'table' then table.insert(out, '{') "
        "    for k, x in pairs(v) do table.insert(out, '[' .. string.format('%q', tostring(k)) .. ']=') "
        "      write(x, out) table.insert(out, ',') end table.insert(out, '}') "
        "  elseif type(v) == 'string' then table.insert(out, string.format('%q', v)) "
        "  else table.insert(out, tostring(v)) end end "
        "function saveData(path, file) local out = {'exec_table='} write(exec_table, out) "
        "  local f = io.open(file, 'wb') if f then f:write(table.concat(out)) f:close() end end "
        "function loadData(path, file) engine_UpdateToEngine(path, 'exec_table') end "
        "function getUniqId() return 'save_u' end "
        "function loadPlayershipToLua(file) end function loadSavedScene(id) end service = {}");
}

std::string Name(fuzz::Bytes& in) {
    const uint8_t pick = in.U8();
    return pick < 2 * std::size(kNames) ? kNames[pick % std::size(kNames)] : in.Text(24);
}

void CallEngine(lua_CFunction f, const std::string& a, const std::string& b) {
    lua_State* L = LuaMachine->State();
    const int top = lua_gettop(L);
    lua_pushlstring(L, a.data(), a.size());
    lua_pushlstring(L, b.data(), b.size());
    f(L);
    lua_settop(L, top);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::QuietReports();
    static const bool ready = (SetUpGame(), true);
    (void)ready;
    ResetFolders();
    static const std::map<std::string, std::string> expected = Protected();
    fuzz::Bytes in(data, size);
    const int steps = in.U8() % 6 + 1;
    for (int i = 0; i < steps && !in.Empty(); ++i) {
        const uint8_t op = in.U8() % 8;
        const std::string a = Name(in), b = Name(in);
        try {
            switch (op) {
            case 0:
                CallEngine(engine_CopySaveDir, a, b);
                break;
            case 1:
                CallEngine(engine_DeleteSaveDir, a, b);
                break;
            case 2:
                DeletePlayerProfile(a);
                break;
            case 3:
                SavePlayerProfile(a);
                break;
            case 4:
                SwitchPlayerProfile(a);
                if (auto* s = dynamic_cast<TPlayerSettings*>(GlobalObjects->FindChild("playerSettings")))
                    s->UpdateSaveNames();
                break;
            case 5:
                GameIniTable->SetText("curPlayerProfile", a);
                Player->SaveGame(b);
                break;
            case 6:
                GameIniTable->SetText("curPlayerProfile", a);
                Player->LoadGame(b);
                break;
            default:
                fuzz::g_sink = fuzz::g_sink + size_t(CheckSaveName(a)) + platform::NoLinkBelow(DataPath, a);
            }
        } catch (const fuzz::HaltedRun&) {
        }
        if (Protected() != expected) std::abort();
    }
    // What the saves made and let go is freed, as a frame frees it.
    DeletedObjects->Tick(0.0f);
    PendingErrorTexts.clear();
    return 0;
}
