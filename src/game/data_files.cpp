#include "game/data_files.h"

#include <lua.hpp>

#include "core/lua_machine.h"
#include "platform/files.h"
#include "shared/errors.h"

namespace vesk {

namespace {

// The count hook runs every this many instructions.
constexpr int kHookStep = 1000;

// What one data run may still spend; the allocator and the hook read it.
struct Budget {
    lua_Alloc original = nullptr;
    void* originalData = nullptr;
    int64_t grown = 0;
    int64_t instructions = 0;
};
// The run in progress (data files never run one another).
Budget* Running = nullptr;

// Refuses growth beyond the bound; shrinking and freeing always pass.
void* BoundedAlloc(void* ud, void* ptr, size_t osize, size_t nsize) {
    auto* b = static_cast<Budget*>(ud);
    const int64_t delta = static_cast<int64_t>(nsize) - static_cast<int64_t>(ptr ? osize : 0);
    if (nsize > 0 && delta > 0 && b->grown + delta > kDataFileMaxMemoryGrowth) return nullptr;
    void* p = b->original(b->originalData, ptr, osize, nsize);
    if (p || nsize == 0) b->grown += delta;
    return p;
}

void CountHook(lua_State* L, lua_Debug*) {
    if (!Running) return;
    Running->instructions += kHookStep;
    if (Running->instructions > kDataFileMaxInstructions)
        luaL_error(L, "a data file may run at most %d instructions",
                   static_cast<int>(kDataFileMaxInstructions));
}

// For the length of a data run: the bounded allocator, the instruction
// hook, and strings without their methods (the string library is reachable
// through any string value, and its functions are not data).
class DataRunScope {
public:
    explicit DataRunScope(lua_State* L) : L_(L) {
        lua_pushliteral(L_, "");
        if (lua_getmetatable(L_, -1)) {
            lua_getfield(L_, -1, "__index");
            stringIndex_ = luaL_ref(L_, LUA_REGISTRYINDEX);
            lua_pushnil(L_);
            lua_setfield(L_, -2, "__index");
            lua_pop(L_, 1);
            hidStrings_ = true;
        }
        lua_pop(L_, 1);
        budget_.original = lua_getallocf(L_, &budget_.originalData);
        lua_setallocf(L_, BoundedAlloc, &budget_);
        hook_ = lua_gethook(L_);
        hookMask_ = lua_gethookmask(L_);
        hookCount_ = lua_gethookcount(L_);
        lua_sethook(L_, CountHook, LUA_MASKCOUNT, kHookStep);
        Running = &budget_;
    }
    ~DataRunScope() {
        Running = nullptr;
        lua_sethook(L_, hook_, hookMask_, hookCount_);
        lua_setallocf(L_, budget_.original, budget_.originalData);
        if (!hidStrings_) return;
        lua_pushliteral(L_, "");
        if (lua_getmetatable(L_, -1)) {
            lua_rawgeti(L_, LUA_REGISTRYINDEX, stringIndex_);
            lua_setfield(L_, -2, "__index");
            lua_pop(L_, 1);
        }
        lua_pop(L_, 1);
        luaL_unref(L_, LUA_REGISTRYINDEX, stringIndex_);
    }
    DataRunScope(const DataRunScope&) = delete;
    DataRunScope& operator=(const DataRunScope&) = delete;

private:
    lua_State* L_;
    Budget budget_;
    lua_Hook hook_ = nullptr;
    int hookMask_ = 0;
    int hookCount_ = 0;
    bool hidStrings_ = false;
    int stringIndex_ = LUA_NOREF;
};

bool IsDataKey(int type) {
    return type == LUA_TSTRING || type == LUA_TNUMBER || type == LUA_TBOOLEAN;
}
bool IsDataValue(int type) {
    return IsDataKey(type) || type == LUA_TTABLE;
}

// Leaves only plain data in the table graph at the top of the stack: entries
// whose key or value is of another kind (functions above all) are removed.
// Walked with a work list, so neither deep nesting nor cycles matter.
void KeepOnlyData(lua_State* L) {
    if (lua_type(L, -1) != LUA_TTABLE) return;
    lua_newtable(L); // seen tables
    const int seen = lua_gettop(L);
    lua_newtable(L); // work list
    const int work = lua_gettop(L);
    int pending = 0;
    lua_pushvalue(L, seen - 1);
    lua_pushvalue(L, -1);
    lua_pushboolean(L, 1);
    lua_rawset(L, seen);
    lua_rawseti(L, work, ++pending);
    while (pending > 0) {
        lua_rawgeti(L, work, pending);
        lua_pushnil(L);
        lua_rawseti(L, work, pending--);
        const int t = lua_gettop(L);
        lua_pushnil(L);
        while (lua_next(L, t) != 0) {
            const int valueType = lua_type(L, -1);
            if (!IsDataKey(lua_type(L, -2)) || !IsDataValue(valueType)) {
                // Clearing a field that exists is allowed while the walk goes on.
                lua_pop(L, 1);
                lua_pushvalue(L, -1);
                lua_pushnil(L);
                lua_rawset(L, t);
                continue;
            }
            if (valueType == LUA_TTABLE) {
                lua_pushvalue(L, -1);
                lua_rawget(L, seen);
                const bool known = lua_toboolean(L, -1);
                lua_pop(L, 1);
                if (!known) {
                    lua_pushvalue(L, -1);
                    lua_pushboolean(L, 1);
                    lua_rawset(L, seen);
                    lua_pushvalue(L, -1);
                    lua_rawseti(L, work, ++pending);
                }
            }
            lua_pop(L, 1);
        }
        lua_pop(L, 1);
    }
    lua_pop(L, 2);
}

} // namespace

bool RunDataText(lua_State* L, std::string_view text, const std::string& chunkName,
                 std::initializer_list<std::string_view> results, std::string* error) {
    auto fail = [error](std::string why) {
        if (error) *error = std::move(why);
        return false;
    };
    if (!L) return fail("no Lua host");
    if (Running) return fail("another data file is running");
    if (static_cast<int64_t>(text.size()) > kDataFileMaxBytes) return fail("the file is too large");
    // A precompiled chunk would bypass the parser's checks altogether.
    if (!text.empty() && text[0] == LUA_SIGNATURE[0]) return fail("precompiled chunks are not data");
    const int top = lua_gettop(L);
    lua_checkstack(L, 16);
    std::string message;
    {
        DataRunScope scope(L);
        const std::string name = "@" + chunkName;
        int status = luaL_loadbuffer(L, text.data(), text.size(), name.c_str());
        if (status == 0) {
            // The data environment: it holds nothing but what the file assigns.
            lua_newtable(L);
            lua_pushvalue(L, -1);
            lua_setfenv(L, -3);
            lua_insert(L, -2);
            status = lua_pcall(L, 0, 0, 0);
        }
        if (status != 0) {
            const char* m = lua_tostring(L, -1);
            message = m ? m : "the file failed";
        }
    }
    if (!message.empty()) {
        lua_settop(L, top);
        return fail(message);
    }
    const int env = lua_gettop(L);
    for (std::string_view result : results) {
        const std::string key(result);
        lua_getfield(L, env, key.c_str());
        if (!IsDataValue(lua_type(L, -1))) {
            lua_pop(L, 1);
            lua_pushnil(L);
        }
        KeepOnlyData(L);
        lua_setfield(L, LUA_GLOBALSINDEX, key.c_str());
    }
    lua_settop(L, top);
    return true;
}

bool ReadDataFile(const std::string& fileName, std::initializer_list<std::string_view> results,
                  std::string* error) {
    auto fail = [error](const char* why) {
        if (error) *error = why;
        return false;
    };
    if (!LuaMachine || !LuaMachine->IsOpen()) return fail("no Lua host");
    const int64_t size = platform::FileSize(fileName);
    if (size < 0) return fail("no such file");
    if (size > kDataFileMaxBytes) return fail("the file is too large");
    std::string text;
    if (!platform::ReadFile(fileName, text)) return fail("the file can not be read");
    return RunDataText(LuaMachine->State(), text, fileName, results, error);
}

bool RunDataFile(const std::string& fileName, std::initializer_list<std::string_view> results) {
    if (!LuaMachine || !LuaMachine->IsOpen()) return false;
    if (platform::FileSize(fileName) < 0) {
        FastLogAdd("RunDataFile: no file " + fileName);
        return false;
    }
    std::string why;
    if (ReadDataFile(fileName, results, &why)) return true;
    ErrorReport("RunDataFile: " + fileName + " refused: " + why, "m");
    return false;
}

} // namespace vesk
