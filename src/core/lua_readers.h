#pragma once
// Reading Lua values from engine code: an expression in, its value as text
// out, through the Lua global `a`; and the scripts' own entry points.
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// The value of `expression` as text ("" when absent). With nilGuard every
// dotted or indexed level is tested against nil first, so a missing level
// reads as "" instead of a script fault.
std::string GetLuaString(const std::string& expression, bool nilGuard);
// `defaultValue` unless `test` is not nil, then the value of `expression`.
std::string GetLuaStringDef(const std::string& test, const std::string& expression,
                            const std::string& defaultValue);
// The keys of a content table: the text of the script call
// GetGameTable("<name>") split at each "^" (text after the last "^" is dropped).
std::vector<std::string> CallGetGameTable(const std::string& name);
// Runs "obj_Tick(<ms>)".
void CallObjTick(int ms);
// Runs the start-up script "Scripts/main.lua"; one that does not load or
// fails while it runs is a fatal report.
void RunMainScript();
std::string BackslashesToSlashes(std::string text);
// `text` as a double-quoted Lua string literal.
std::string LuaQuote(const std::string& text);
// A table subscript naming the key `name` whatever it holds: ["name"]. Names
// read from content or scripts go into Lua text through this, never after a
// bare ".".
std::string LuaSubscript(std::string_view name);

} // namespace vesk
