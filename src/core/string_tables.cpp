#include "core/string_tables.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <vector>

#include "core/config_record.h"
#include "core/lua_functions.h"
#include "core/lua_machine.h"
#include "platform/files.h"
#include "platform/text.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Ids become Lua keys as written, so only numbers and quoted texts are taken:
// anything else would be run as part of the statement.
bool IsPlainKey(std::string_view id) {
    const auto first = id.find_first_not_of(" \t");
    if (first == std::string_view::npos) return false;
    id = id.substr(first, id.find_last_not_of(" \t") - first + 1);
    if (id.size() >= 2 && (id.front() == '"' || id.front() == '\'') && id.back() == id.front()) {
        const std::string_view inner = id.substr(1, id.size() - 2);
        return inner.find_first_of(std::string{id.front(), '\\', '\n', '\r', '\0'}) == std::string_view::npos;
    }
    // A number as Lua reads it (decimal, exponent or hexadecimal).
    const char c = id.front();
    if (!(c == '-' || c == '.' || (c >= '0' && c <= '9'))) return false;
    const std::string number(id);
    char* end = nullptr;
    std::strtod(number.c_str(), &end);
    return end == number.c_str() + number.size();
}

// One "[id]=text // comment" line into the Lua table `strings`.
void LoadLine(const std::u16string& line, const std::string& path, int lineNo) {
    if (line.empty() || line[0] != u'[') return; // blank and comment lines
    const auto close = line.find(u"]=");
    if (close == std::u16string::npos) {
        ErrorReport("ParseRefFile: line " + std::to_string(lineNo) + " of " + path + " has no \"]=\"", "");
        return;
    }
    const std::string id = platform::Utf16ToCp1251(std::u16string_view(line).substr(1, close - 1));
    if (!IsPlainKey(id)) {
        ErrorReport("ParseRefFile: line " + std::to_string(lineNo) + " of " + path + ": the id " + id +
                        " is neither a number nor a quoted text",
                    "");
        return;
    }
    std::u16string_view text = std::u16string_view(line).substr(close + 2);
    if (const auto comment = text.find(u"//"); comment != std::u16string_view::npos)
        text = text.substr(0, comment);
    if (LuaMachine) LuaMachine->RunString("strings[" + id + "]=[[" + WideStr2HexString(text) + "]]");
}

bool MatchesPattern(const std::string& name, const std::string& prefix) {
    const std::string lower = platform::LowerCaseCp1251(name);
    const std::string lowerPrefix = platform::LowerCaseCp1251(prefix);
    return lower.size() >= lowerPrefix.size() + 4 && lower.compare(0, lowerPrefix.size(), lowerPrefix) == 0 &&
           lower.compare(lower.size() - 4, 4, ".txt") == 0;
}

std::vector<std::string> MatchingFiles(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    for (auto& name : platform::ListFolder(folder, true, false))
        if (MatchesPattern(name, prefix)) names.push_back(name);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return platform::LowerCaseCp1251(a) < platform::LowerCaseCp1251(b);
    });
    return names;
}

} // namespace

bool IsHexWideStr(std::string_view text) {
    return !text.empty() && text.front() == '@' && text.back() == '@';
}

bool IsHexDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return HexValue(c) >= 0; });
}

std::string WideStr2HexString(std::u16string_view text) {
    std::string result;
    result.reserve(text.size() * 4 + 2);
    result += '@';
    for (char16_t unit : text) {
        for (int shift = 12; shift >= 0; shift -= 4) result += kHexDigits[(unit >> shift) & 0xF];
    }
    result += '@';
    if ((result.size() - 2) % 4 != 0)
        ErrorReport("WideStr2HexString: (Length(" + result + ")-2)mod 4)", "mhl");
    return result;
}

std::u16string HexStr2WideString(std::string_view text) {
    std::u16string result;
    bool hex = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '@') {
            hex = !hex;
            ++i;
        } else if (hex && i + 1 < text.size()) {
            const std::string_view group = text.substr(i, 4);
            if (group.size() != 4 || !IsHexDigits(group)) {
                ErrorReport("HexStr2WideString: we try convert \"" + std::string(group) + "\" into hex (\"" +
                                std::string(text) + "\")",
                            "mhl");
                i += group.size();
                continue;
            }
            char16_t unit = 0;
            for (char d : group) unit = static_cast<char16_t>((unit << 4) | HexValue(d));
            result += unit;
            i += 4;
        } else {
            result += static_cast<char16_t>(platform::Cp1251ToCodePoint(static_cast<unsigned char>(c)));
            ++i;
        }
    }
    return result;
}

void ParseRefFile(const std::string& path) {
    std::string bytes;
    if (platform::ReadFile(path, bytes)) ParseRefText(bytes, path);
}

void ParseRefText(std::string_view bytes, const std::string& path) {
    if (bytes.size() % 2 != 0)
        ErrorReport("ParseRefFile: " + path + " has an odd number of bytes, the last one is ignored", "");
    const std::size_t units = bytes.size() / 2;
    auto unit = [&bytes](std::size_t i) {
        return static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                     (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    };
    std::size_t i = 0;
    if (units > 0) {
        if (unit(0) == 0xFEFF)
            i = 1;
        else
            ErrorReport("ParseRefFile: " + path + " does not start with a UTF-16LE byte-order mark", "");
    }
    std::u16string line;
    int lineNo = 1;
    for (; i < units; ++i) {
        const char16_t c = unit(i);
        if (c == 13 || c == 10) {
            LoadLine(line, path, lineNo++);
            line.clear();
            if (c == 13 && i + 1 < units && unit(i + 1) == 10) ++i;
        } else {
            line += c;
        }
    }
    // A last line without a line end loads as well.
    if (!line.empty()) LoadLine(line, path, lineNo);
}

void ParseRefFiles(const std::string& folder, const std::string& prefix) {
    const std::string language = SetupRecord.Language();
    const std::string& filePrefix = language.empty() ? prefix : language;
    const std::string base = platform::ToSlashes(folder);
    const std::string mod = ResolveModPath(folder);
    for (const auto& name : MatchingFiles(base, filePrefix))
        if (!platform::FileExists(mod + "/" + name)) ParseRefFile(base + "/" + name);
    for (const auto& name : MatchingFiles(mod, filePrefix)) ParseRefFile(mod + "/" + name);
}

namespace {

// The text arguments of the two loaders. One that is missing or not a text is
// logged with the function's name and the call loads nothing; the calling
// script goes on.
bool TextArgs(lua_State* L, const char* function, std::initializer_list<const char*> names,
              std::vector<std::string>& out) {
    int index = 1;
    for (const char* name : names) {
        if (!lua_isstring(L, index)) {
            ErrorReport(std::string(function) + ": argument " + std::to_string(index) + " (" + name +
                            ") is " + luaL_typename(L, index) + ", not a text; nothing is loaded",
                        "");
            return false;
        }
        out.push_back(EngineArgText(L, index));
        ++index;
    }
    return true;
}

} // namespace

int engine_ParseRefFile(lua_State* L) {
    std::vector<std::string> args;
    if (TextArgs(L, "engine_ParseRefFile", {"file"}, args)) ParseRefFile(args[0]);
    return 0;
}

int engine_ParseRefFiles(lua_State* L) {
    std::vector<std::string> args;
    if (TextArgs(L, "engine_ParseRefFiles", {"folder", "prefix"}, args)) ParseRefFiles(args[0], args[1]);
    return 0;
}

} // namespace vesk
