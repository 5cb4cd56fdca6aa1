#pragma once
// The Lua host: the one Lua state of the program, the registration of the
// engine functions and the runners every other subsystem uses for chunks and
// script files.
#include <lua.hpp>
#include <memory>
#include <span>

#include "core/lua_chunk_cache.h"
#include <string>
#include <vector>

namespace vesk {

// Set by the "-luadebug" command-line option: script faults are then logged
// and queued for the error-log report instead of being left to Lua.
extern bool LuaDebugMode;

class TLuaMachine {
public:
    TLuaMachine() = default;
    ~TLuaMachine();
    TLuaMachine(const TLuaMachine&) = delete;
    TLuaMachine& operator=(const TLuaMachine&) = delete;

    // Opens the state, the standard libraries (5.0 set and order) and
    // registers the engine functions.
    void Init();
    // Closes the state; nothing may run Lua afterwards.
    void Close();
    lua_State* State() const { return state_; }
    bool IsOpen() const { return state_ != nullptr; }

    void RegisterFunction(const std::string& name, lua_CFunction handler);

    // Runs a chunk; with a guard name the chunk runs only while that global
    // is not nil. Chunks slower than a second go to the Lua timing log. False
    // when the chunk did not compile or its run failed; `failure` then holds
    // Lua's message.
    bool RunString(const std::string& chunk, const std::string& guard = "", std::string* failure = nullptr);
    // Runs a chunk that takes its values as `...`, with `args` for them: a
    // value that changes every frame then needs no new text, and the chunk
    // is compiled once. Otherwise as RunString.
    bool RunStringWith(const std::string& chunk, std::span<const double> args,
                       std::string* failure = nullptr);
    // Runs data path + file, taken from the active mod when it has the file.
    // False when the file did not load or its run failed; `failure` then
    // holds Lua's message.
    bool RunScript(const std::string& file, std::string* failure = nullptr);

    // One chunk or file; in debug mode with the error report, else as Lua 5.0
    // did. False (with Lua's message in `failure`) when the chunk did not
    // compile or its run failed.
    bool LuaDoString(const std::string& chunk, std::string* failure = nullptr);
    // As LuaDoString; false (with Lua's message in `failure`) when the file
    // did not load or its run failed.
    bool LuaDoFile(const std::string& fileName, std::string* failure = nullptr);
    // Runs the loaded chunk on the stack when the load succeeded; reports
    // "LUAError (status): message Task: <task>" with "w" otherwise. False on
    // a failure, with Lua's message in `failure`.
    bool LuaCheckCall(int status, const std::string& task, std::string* failure = nullptr,
                      std::span<const double> args = {});
    // The record of the function running at `level` (0 = current).
    bool LuaGetStackInfo(int level, lua_Debug& record) const;

private:
    // RunString's work: the chunk run guarded, a slow one logged.
    bool RunTimed(const std::string& text, std::span<const double> args, std::string* failure);
    bool LuaDoStringWith(const std::string& chunk, std::span<const double> args, std::string* failure);
    // Pushes the compiled chunk (or the load's message) as luaL_loadbuffer does,
    // named as the current mode names chunks; returns the load status.
    int LoadChunk(const std::string& chunk);

    lua_State* state_ = nullptr;
    TLuaChunkCache chunks_;
    bool chunksDebugMode_ = false; // the mode the kept chunks were named for
    // Records for call and line hooks, reported when an engine fault breaks a
    // chunk. No hook fills them at present, so they stay cleared.
    lua_Debug hookCall_{};
    lua_Debug hookLine_{};
};

// The one machine; empty before start-up and after the shut-down frees it.
extern std::unique_ptr<TLuaMachine> LuaMachine;

void CreateLuaMachine();
// Closes the state; the object stays until FreeLuaMachine.
void CloseLuaMachine();
void FreeLuaMachine();

// The global `name` := handler. Every handler is called through a guard that
// turns a C++ exception into a script error, so no exception crosses Lua; the
// runner that started the chunk then reports it as an engine fault.
void RegisterLuaFunction(lua_State* L, const std::string& name, lua_CFunction handler);
// Calls a handler under that guard (for closures the engine makes itself).
int CallLuaHandler(lua_State* L, lua_CFunction handler);

// Stack lines of the running script for the error-log report, in the order
// the report prints them; false when the machine no longer exists.
bool LuaDebugLines(std::vector<std::string>& lines);

} // namespace vesk
