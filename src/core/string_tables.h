#pragma once
// Player-visible texts: string-table files (UTF-16LE, numbered lines) loaded
// into the Lua table `strings`, and the hex-wide form in which wide text
// travels through Lua: "@" + four upper-case hex digits per UTF-16 code unit
// + "@". A text may mix plain parts (Windows-1251) and hex parts.
#include <lua.hpp>
#include <string>
#include <string_view>

namespace vesk {

bool IsHexWideStr(std::string_view text);
// Every character 0-9, A-F or a-f; true for an empty text.
bool IsHexDigits(std::string_view text);
std::string WideStr2HexString(std::u16string_view text);
// A group in a hex part that is not four hex digits is a fatal report; the
// group is skipped should the report return.
std::u16string HexStr2WideString(std::string_view text);

// Loads one string-table file into `strings`; a file that cannot be read
// loads nothing.
void ParseRefFile(const std::string& path);
// The same for a file's bytes; `path` names it in reports.
void ParseRefText(std::string_view bytes, const std::string& path);
// Loads folder/prefix*.txt, the active mod's copy of a file replacing the
// base file, and the mod's own extra files. The setup record's language,
// when set, replaces the prefix.
void ParseRefFiles(const std::string& folder, const std::string& prefix);

int engine_ParseRefFile(lua_State* L);
int engine_ParseRefFiles(lua_State* L);

} // namespace vesk
