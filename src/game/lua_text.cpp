#include "game/lua_text.h"

namespace vesk {

namespace {

// True when text followed by the closing bracket ends the string exactly at
// the end (no earlier closing sequence, no opening one that Lua 5.1 rejects).
bool LongBracketFits(std::string_view text, const std::string& open, const std::string& close) {
    std::string whole(text);
    whole += close;
    if (whole.find(close) != text.size()) return false;
    // Lua 5.1 refuses "[[" inside a level-0 long string.
    if (open == "[[" && text.find("[[") != std::string_view::npos) return false;
    return true;
}

} // namespace

std::string LuaLongString(std::string_view text) {
    if (text.find('\r') != std::string_view::npos || (!text.empty() && text.front() == '\n'))
        return LuaQuote(std::string(text));
    std::string eq;
    for (;;) {
        const std::string open = "[" + eq + "[";
        const std::string close = "]" + eq + "]";
        if (LongBracketFits(text, open, close)) return open + std::string(text) + close;
        eq += '=';
    }
}

std::string LuaSubscript(std::string_view name) {
    return "[" + LuaQuote(std::string(name)) + "]";
}

} // namespace vesk
