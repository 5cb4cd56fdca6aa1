#include "core/lua_machine.h"

#include <exception>
#include <vector>

#include "core/lua_compat.h"
#include "core/lua_functions.h"
#include "core/paths.h"
#include "platform/files.h"
#include "platform/system.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/timers.h"

namespace vesk {

bool LuaDebugMode = false;
std::unique_ptr<TLuaMachine> LuaMachine;

namespace {

// Text of a C++ exception that broke out of a handler while a chunk ran; the
// runner that started the chunk reports it once Lua has unwound.
std::string& PendingFault() {
    static std::string fault;
    return fault;
}
bool& FaultPending() {
    static bool pending = false;
    return pending;
}

bool TakeFault() {
    bool was = FaultPending();
    FaultPending() = false;
    PendingFault().clear();
    return was;
}

// Runs one step of Lua; false when an engine fault (a C++ exception, in the
// step itself or in a handler the step's script called) broke it.
template <class Step> bool RunGuarded(Step&& step) {
    TakeFault(); // a fault still pending came from Lua code some other caller ran
    try {
        step();
        return !TakeFault();
    } catch (...) {
        return false;
    }
}

int GuardedUpvalueHandler(lua_State* L) {
    auto* fn = static_cast<lua_CFunction*>(lua_touserdata(L, lua_upvalueindex(1)));
    return CallLuaHandler(L, *fn);
}

std::string RecordText(const lua_Debug& r) {
    auto s = [](const char* p) { return std::string(p ? p : ""); };
    return " name: " + s(r.name) + ", namewhat" + s(r.namewhat) + ", what: " + s(r.what) +
           ", source: " + s(r.source) + ", currentline: " + std::to_string(r.currentline);
}

// Slow chunks are found by the time they really take. A fixed-step run's
// clock moves only between frames, so a chunk would always seem to take no
// time: then the wall clock measures instead.
platform::IClock& LuaTimingClock() {
    return platform::ClockFollowsFrames() ? platform::WallClock() : platform::Clock();
}

void InstallDebugSource() {
    GetErrorLogSources().luaDebug = LuaDebugLines;
}

} // namespace

int CallLuaHandler(lua_State* L, lua_CFunction handler) {
    bool failed = false;
    int results = 0;
    try {
        results = handler(L);
    } catch (const std::exception& e) {
        failed = true;
        PendingFault() = e.what();
    } catch (...) {
        failed = true;
        PendingFault() = "unknown exception";
    }
    if (!failed) return results;
    FaultPending() = true;
    // No C++ object with a destructor is alive from here on: lua_error jumps.
    lua_pushstring(L, PendingFault().c_str());
    return lua_error(L);
}

void RegisterLuaFunction(lua_State* L, const std::string& name, lua_CFunction handler) {
    lua_pushlstring(L, name.data(), name.size());
    *static_cast<lua_CFunction*>(lua_newuserdata(L, sizeof(lua_CFunction))) = handler;
    lua_pushcclosure(L, GuardedUpvalueHandler, 1);
    lua_settable(L, LUA_GLOBALSINDEX);
}

TLuaMachine::~TLuaMachine() {
    Close();
}

void TLuaMachine::Init() {
    Close();
    state_ = lua_open();
    if (!state_) {
        ErrorReport("TLuaMachine.Init - can not create the Lua state", "mhl");
        return;
    }
    LuaOpenBase(state_);
    LuaOpenIo(state_);
    LuaOpenString(state_);
    LuaOpenDebug(state_);
    LuaOpenTable(state_);
    LuaOpenMath(state_);
    InstallLua50Compat(state_);
    RegisterEngineFunctions(state_);
    InstallDebugSource();
}

void TLuaMachine::Close() {
    if (!state_) return;
    chunks_.Forget();
    lua_close(state_);
    state_ = nullptr;
}

void TLuaMachine::RegisterFunction(const std::string& name, lua_CFunction handler) {
    if (state_) RegisterLuaFunction(state_, name, handler);
}

bool TLuaMachine::RunString(const std::string& chunk, const std::string& guard, std::string* failure) {
    if (!state_) return false;
    return RunTimed(guard.empty() ? chunk : "if " + guard + " ~= nil then " + chunk + " end", {}, failure);
}

bool TLuaMachine::RunStringWith(const std::string& chunk, std::span<const double> args,
                                std::string* failure) {
    if (!state_) return false;
    return RunTimed(chunk, args, failure);
}

bool TLuaMachine::RunTimed(const std::string& text, std::span<const double> args, std::string* failure) {
    // The start is kept per call: chunks run chunks, and one shared timer
    // would charge an outer chunk only for the time after its inner one.
    platform::IClock& clock = LuaTimingClock();
    const int64_t start = clock.Counter();
    bool ran = false;
    if (!RunGuarded([&] { ran = LuaDoStringWith(text, args, failure); })) {
        ErrorReport("TLuaMachine.RunCommand - error while running script: " + text +
                        ", HOOKCALL: " + RecordText(hookCall_) + ", HOOKLINE: " + RecordText(hookLine_),
                    "mhl");
        ran = false;
    }
    const double seconds =
        static_cast<double>(clock.Counter() - start) / static_cast<double>(clock.Frequency());
    if (seconds > 1.0) FastLogAddLuaTime("Time: " + FloatToStrRaw(seconds) + " Command: " + text);
    return ran;
}

bool TLuaMachine::RunScript(const std::string& file, std::string* failure) {
    if (!state_) return false;
    const std::string path = ResolveModPath(DataPath + file);
    bool ran = false;
    if (!RunGuarded([&] { ran = LuaDoFile(path, failure); })) {
        ErrorReport("TLuaMachine.RunScript fault - script: " + file, "mhl");
        return false;
    }
    return ran;
}

int TLuaMachine::LoadChunk(const std::string& chunk) {
    // Debug mode names every chunk "DoString", the 5.0 runner by its text:
    // functions compiled under the other naming are not reused.
    if (chunksDebugMode_ != LuaDebugMode) {
        chunks_.Clear(state_);
        chunksDebugMode_ = LuaDebugMode;
    }
    if (chunks_.PushKept(state_, chunk)) return 0;
    return chunks_.Compile(state_, chunk, LuaDebugMode ? "DoString" : LuaDoStringName(chunk).c_str());
}

bool TLuaMachine::LuaDoString(const std::string& chunk, std::string* failure) {
    return LuaDoStringWith(chunk, {}, failure);
}

bool TLuaMachine::LuaDoStringWith(const std::string& chunk, std::span<const double> args,
                                  std::string* failure) {
    if (!state_) return false;
    if (LuaDebugMode) return LuaCheckCall(LoadChunk(chunk), chunk, failure, args);
    const int top = lua_gettop(state_);
    return LuaRunLoaded50(state_, LoadChunk(chunk), top, failure, args) == 0;
}

bool TLuaMachine::LuaDoFile(const std::string& fileName, std::string* failure) {
    if (!state_) return false;
    if (LuaDebugMode) return LuaCheckCall(LuaLoadFile(state_, fileName.c_str()), fileName, failure);
    return LuaDoFile50(state_, fileName.c_str(), failure) == 0;
}

bool TLuaMachine::LuaCheckCall(int status, const std::string& task, std::string* failure,
                               std::span<const double> args) {
    if (!state_) return false;
    // The loaded chunk (or the load's message) is on top; whatever the chunk
    // returns is dropped so repeated runs never grow the stack.
    const int base = lua_gettop(state_) - 1;
    if (status == 0) {
        for (double v : args) lua_pushnumber(state_, v);
        if (lua_pcall(state_, static_cast<int>(args.size()), LUA_MULTRET, 0) == 0) {
            lua_settop(state_, base < 0 ? 0 : base);
            return true;
        }
    }
    const char* msg = lua_tostring(state_, -1);
    if (failure) *failure = msg ? msg : "";
    std::string text = "LUAError (" + std::to_string(LuaStatusTo50(status)) + "): " + (msg ? msg : "");
    if (!task.empty()) text += " Task: <" + task + ">";
    lua_settop(state_, base < 0 ? 0 : base);
    ErrorReport(text, "w");
    return false;
}

bool TLuaMachine::LuaGetStackInfo(int level, lua_Debug& record) const {
    record = lua_Debug{};
    if (!state_ || lua_getstack(state_, level, &record) == 0) return false;
    lua_getinfo(state_, "nSlu", &record);
    return true;
}

void CreateLuaMachine() {
    LuaMachine = std::make_unique<TLuaMachine>();
    LuaMachine->Init();
}

void CloseLuaMachine() {
    if (LuaMachine) LuaMachine->Close();
}

void FreeLuaMachine() {
    LuaMachine.reset();
}

bool LuaDebugLines(std::vector<std::string>& lines) {
    if (!LuaMachine || !LuaMachine->IsOpen()) return false;
    auto text = [](const char* p) { return std::string(p ? p : ""); };
    for (int level = 3; level >= 0; --level) {
        lua_Debug r;
        if (!LuaMachine->LuaGetStackInfo(level, r)) continue;
        LuaStackLevel info;
        info.level = level;
        info.source = text(r.source);
        info.what = text(r.what);
        info.name = text(r.name);
        info.nameWhat = text(r.namewhat);
        info.lineDefined = r.linedefined;
        info.currentLine = r.currentline;
        for (auto& line : FormatLuaStackLevel(info)) lines.push_back(std::move(line));
    }
    return true;
}

} // namespace vesk
