#include "game/lua_text.h"

#include <vector>

namespace vesk {

std::string LuaLongString(std::string_view text) {
    if (text.find('\r') != std::string_view::npos || (!text.empty() && text.front() == '\n'))
        return LuaQuote(std::string(text));
    // Levels the text rules out: "]" + k "=" + "]" inside it, or at its end
    // "]" + k "=" (which the closing bracket would complete); level 0 also
    // when it holds "[[", which Lua 5.1 refuses in a plain long string.
    std::vector<bool> used(1, text.find("[[") != std::string_view::npos);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ']') continue;
        size_t j = i + 1;
        while (j < text.size() && text[j] == '=') ++j;
        if (j == text.size() || text[j] == ']') {
            const size_t level = j - i - 1;
            if (used.size() <= level) used.resize(level + 1, false);
            used[level] = true;
        }
    }
    size_t level = 0;
    while (level < used.size() && used[level]) ++level;
    const std::string eq(level, '=');
    return "[" + eq + "[" + std::string(text) + "]" + eq + "]";
}

} // namespace vesk
