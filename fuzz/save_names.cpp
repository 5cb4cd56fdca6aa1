// Save and profile folder names as scripts give them, against a game folder
// whose save folder holds a link that leads out of it: copying, deleting and
// writing saves and profiles under any names must leave everything outside
// the game folder as it was (a change there ends the run as a finding).
#include "core/paths.h"
#include "fuzz_support.h"
#include "game/game_functions.h"
#include "game/profiles.h"
#include "platform/files.h"

#include <cstdlib>
#include <filesystem>
#include <lua.hpp>

using namespace vesk;
namespace fs = std::filesystem;

namespace {

const char* const kNames[] = {"slot", "linked", "copy", "..", "../..", "", "/", "slot/../linked", "default"};

std::string Outside() {
    return fuzz::RunFolder() + "/outside";
}

// The folder as every input starts with it.
void ResetFolders() {
    const std::string game = fuzz::RunFolder() + "/game";
    std::error_code ec;
    fs::remove_all(game, ec);
    fs::remove_all(Outside(), ec);
    fs::create_directories(game + "/data/save/slot", ec);
    fs::create_directories(game + "/data/profiles/alice/save/save_1", ec);
    fs::create_directories(Outside() + "/save", ec);
    platform::WriteFile(game + "/data/save/slot/game.lua", "g");
    platform::WriteFile(Outside() + "/victim.lua", "precious");
    fs::create_directory_symlink(Outside(), game + "/data/save/linked", ec);
    fs::create_directory_symlink(Outside(), game + "/data/profiles/linked", ec);
    fs::create_symlink(Outside() + "/victim.lua", game + "/data/save/slot/player.lua", ec);
}

// Anything outside the game folder changed is a fault of the code under test.
void CheckOutside() {
    std::string text;
    if (!platform::ReadFile(Outside() + "/victim.lua", text) || text != "precious") std::abort();
    size_t entries = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(Outside(), ec); !ec && it != fs::end(it);
         it.increment(ec))
        ++entries;
    if (ec || entries != 2) std::abort(); // "save" and "victim.lua"
}

std::string Name(fuzz::Bytes& in) {
    const uint8_t pick = in.U8();
    return pick < 2 * std::size(kNames) ? kNames[pick % std::size(kNames)] : in.Text(24);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::QuietReports();
    static lua_State* L = [] {
        platform::SetExeFolderOverride(fuzz::RunFolder() + "/game");
        DataPath = fuzz::RunFolder() + "/game/data/";
        ProfilesPath = DataPath + "profiles/";
        return luaL_newstate();
    }();
    ResetFolders();
    fuzz::Bytes in(data, size);
    const int steps = in.U8() % 6 + 1;
    for (int i = 0; i < steps && !in.Empty(); ++i) {
        const uint8_t op = in.U8() % 5;
        const std::string a = Name(in), b = Name(in);
        lua_settop(L, 0);
        lua_pushlstring(L, a.data(), a.size());
        lua_pushlstring(L, b.data(), b.size());
        try {
            switch (op) {
            case 0:
                engine_CopySaveDir(L);
                break;
            case 1:
                engine_DeleteSaveDir(L);
                break;
            case 2:
                DeletePlayerProfile(a);
                break;
            case 3:
                SavePlayerProfile(a);
                break;
            default:
                fuzz::g_sink =
                    fuzz::g_sink + size_t(CheckSaveName(a)) + InsideGameFolder(DataPath + "save/" + a);
            }
        } catch (const fuzz::HaltedRun&) {
        }
        CheckOutside();
    }
    return 0;
}
