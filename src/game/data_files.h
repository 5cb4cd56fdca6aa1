#pragma once
// Files the game writes as Lua text and reads back (saved games and their
// parts, profiles and player settings, "new.cfg", the save list's info files)
// are data, not programs: they run in an environment of their own that holds
// nothing but what they assign, with bounds on the instructions they may run
// and the memory they may take. Only the plain data they leave in the named
// variables (tables, strings, numbers, booleans) reaches the scripts. Every
// loader of such a file goes through RunDataFile.
#include <initializer_list>
#include <string>
#include <string_view>

struct lua_State;

namespace vesk {

// Bounds of one data file.
inline constexpr int64_t kDataFileMaxBytes = 64ll << 20;
inline constexpr int64_t kDataFileMaxInstructions = 50'000'000;
inline constexpr int64_t kDataFileMaxMemoryGrowth = 256ll << 20;

// Runs the file in the data environment of the Lua host and sets each named
// global of the scripts to the data the file left in it (nil when it left
// none). A missing file only goes to the fast log; a file that is no plain
// Lua text, fails, breaks a bound or reaches for anything it was not given is
// reported with its name and changes nothing. True when the file ran.
bool RunDataFile(const std::string& fileName, std::initializer_list<std::string_view> results);

// The same without a report: on failure the reason is in *error (when given).
// A missing file is a failure here too.
bool ReadDataFile(const std::string& fileName, std::initializer_list<std::string_view> results,
                  std::string* error);

// The same for text already read; chunkName names it in messages. On failure
// the reason is in *error (when given) and nothing is reported.
bool RunDataText(lua_State* L, std::string_view text, const std::string& chunkName,
                 std::initializer_list<std::string_view> results, std::string* error);

} // namespace vesk
