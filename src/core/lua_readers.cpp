#include "core/lua_readers.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "core/lua_machine.h"
#include "shared/errors.h"

namespace vesk {

namespace {

bool IdentStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

// The parent levels of a path expression, as the lengths of its prefixes that
// name them: for x.y[1].z they are x, x.y and x.y[1]. Dots and brackets inside
// strings, brackets or calls, and the decimal point of a number, do not start
// a level.
std::vector<size_t> ParentLevels(const std::string& expr) {
    std::vector<size_t> levels;
    int depth = 0;
    char quote = 0;
    for (std::size_t i = 0; i < expr.size(); ++i) {
        const char c = expr[i];
        if (quote) {
            if (c == '\\')
                ++i;
            else if (c == quote)
                quote = 0;
            continue;
        }
        switch (c) {
        case '"':
        case '\'':
            quote = c;
            break;
        case '[':
            if (depth == 0 && i > 0) levels.push_back(i);
            ++depth;
            break;
        case '(':
            ++depth;
            break;
        case ']':
        case ')':
            depth = std::max(0, depth - 1);
            break;
        case '.':
            if (depth == 0 && i > 0 && i + 1 < expr.size() && IdentStart(expr[i + 1]) && expr[i - 1] != '.')
                levels.push_back(i);
            break;
        default:
            break;
        }
    }
    return levels;
}

std::string ReadA() {
    lua_State* L = LuaMachine->State();
    lua_getglobal(L, "a");
    std::string value;
    if (lua_isstring(L, -1)) {
        std::size_t len = 0;
        const char* s = lua_tolstring(L, -1, &len);
        value.assign(s, len);
    }
    lua_pop(L, 1);
    return value;
}

bool MachineReady() {
    return LuaMachine && LuaMachine->IsOpen();
}

} // namespace

std::string LuaQuote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\0':
            out += "\\000"; // three digits: a digit after it must not join the escape
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

std::string LuaSubscript(std::string_view name) {
    return "[" + LuaQuote(std::string(name)) + "]";
}

std::string GetLuaString(const std::string& expression, bool nilGuard) {
    if (!MachineReady()) return {};
    LuaMachine->RunString("a=\"\"");
    // if x ~= nil then if x.y ~= nil then a=x.y.z end end: outermost level first.
    const std::vector<size_t> levels = nilGuard ? ParentLevels(expression) : std::vector<size_t>{};
    std::string chunk;
    size_t size = 2 + expression.size() + levels.size() * 4;
    for (size_t length : levels) size += 3 + length + 12;
    chunk.reserve(size);
    for (size_t length : levels) {
        chunk += "if ";
        chunk.append(expression, 0, length);
        chunk += " ~= nil then ";
    }
    chunk += "a=";
    chunk += expression;
    for (size_t i = 0; i < levels.size(); ++i) chunk += " end";
    LuaMachine->RunString(chunk);
    return ReadA();
}

std::string GetLuaStringDef(const std::string& test, const std::string& expression,
                            const std::string& defaultValue) {
    if (!MachineReady()) return defaultValue;
    LuaMachine->RunString("a=" + LuaQuote(defaultValue));
    LuaMachine->RunString("if " + test + " ~= nil then a=" + expression + " end");
    return ReadA();
}

std::vector<std::string> CallGetGameTable(const std::string& name) {
    const std::string text = GetLuaString("GetGameTable(" + LuaQuote(name) + ")", false);
    std::vector<std::string> keys;
    std::size_t start = 0;
    for (std::size_t hat = text.find('^'); hat != std::string::npos; hat = text.find('^', start)) {
        keys.push_back(text.substr(start, hat - start));
        start = hat + 1;
    }
    return keys;
}

void CallObjTick(int ms) {
    if (MachineReady()) LuaMachine->RunString("obj_Tick(" + std::to_string(ms) + ")");
}

void RunMainScript() {
    if (!MachineReady()) return;
    // Without its main script the game has none of its content: that is a
    // failed start, not a game to go on with.
    std::string failure;
    if (!LuaMachine->RunScript("Scripts/main.lua", &failure))
        ErrorReport("script_Init: the main script Scripts/main.lua did not load: " + failure, "mhl");
}

std::string BackslashesToSlashes(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

} // namespace vesk
