#include "core/lua_machine.h"

#include <cstdio>
#include <exception>
#include <vector>

#include "core/lua_compat.h"
#include "core/lua_functions.h"
#include "platform/files.h"
#include "platform/system.h"
#include "shared/errors.h"

namespace vesk {

bool LuaDebugMode = false;
std::unique_ptr<TLuaMachine> LuaMachine;

namespace {

std::function<std::string()>& DataPathSource() {
    static std::function<std::string()> source;
    return source;
}

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

int GuardedUpvalueHandler(lua_State* L) {
    auto* fn = static_cast<lua_CFunction*>(lua_touserdata(L, lua_upvalueindex(1)));
    return CallLuaHandler(L, *fn);
}

std::string RecordText(const lua_Debug& r) {
    auto s = [](const char* p) { return std::string(p ? p : ""); };
    return " name: " + s(r.name) + ", namewhat" + s(r.namewhat) + ", what: " + s(r.what) +
           ", source: " + s(r.source) + ", currentline: " + std::to_string(r.currentline);
}

std::string SecondsText(double seconds) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", seconds);
    return buf;
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

void SetLuaDataPathSource(std::function<std::string()> source) {
    DataPathSource() = std::move(source);
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
    lua_close(state_);
    state_ = nullptr;
}

void TLuaMachine::RegisterFunction(const std::string& name, lua_CFunction handler) {
    if (state_) RegisterLuaFunction(state_, name, handler);
}

void TLuaMachine::RunString(const std::string& chunk, const std::string& guard) {
    if (!state_) return;
    const int64_t start = platform::PerfCounter();
    const std::string text = guard.empty() ? chunk : "if " + guard + " ~= nil then " + chunk + " end";
    // A fault still pending here came from Lua code some other caller ran.
    TakeFault();
    bool failed = false;
    try {
        LuaDoString(text);
        failed = TakeFault();
    } catch (...) {
        failed = true;
    }
    if (failed) {
        ErrorReport("TLuaMachine.RunCommand - error while running script: " + text +
                        ", HOOKCALL: " + RecordText(hookCall_) + ", HOOKLINE: " + RecordText(hookLine_),
                    "mhl");
    }
    const double seconds =
        static_cast<double>(platform::PerfCounter() - start) / static_cast<double>(platform::PerfFrequency());
    if (seconds > 1.0) FastLogAddLuaTime("Time: " + SecondsText(seconds) + " Command: " + text);
}

void TLuaMachine::RunScript(const std::string& file) {
    if (!state_) return;
    std::string path = (DataPathSource() ? DataPathSource()() : std::string()) + file;
    path = platform::ToSlashes(path);
    TakeFault();
    bool failed = false;
    try {
        LuaDoFile(path);
        failed = TakeFault();
    } catch (...) {
        failed = true;
    }
    if (failed) ErrorReport("TLuaMachine.RunScript fault - script: " + file, "mhl");
}

void TLuaMachine::LuaDoString(const std::string& chunk) {
    if (!state_) return;
    if (LuaDebugMode) {
        int status = luaL_loadbuffer(state_, chunk.data(), chunk.size(), "DoString");
        LuaCheckCall(status, chunk);
    } else {
        LuaDoString50(state_, chunk);
    }
}

void TLuaMachine::LuaDoFile(const std::string& fileName) {
    if (!state_) return;
    if (LuaDebugMode) {
        int status = LuaLoadFile(state_, fileName.c_str());
        LuaCheckCall(status, fileName);
    } else {
        LuaDoFile50(state_, fileName.c_str());
    }
}

void TLuaMachine::LuaCheckCall(int status, const std::string& task) {
    if (!state_) return;
    // The loaded chunk (or the load's message) is on top; whatever the chunk
    // returns is dropped so repeated runs never grow the stack.
    const int base = lua_gettop(state_) - 1;
    if (status == 0 && lua_pcall(state_, 0, LUA_MULTRET, 0) == 0) {
        lua_settop(state_, base < 0 ? 0 : base);
        return;
    }
    const char* msg = lua_tostring(state_, -1);
    std::string text = "LUAError (" + std::to_string(LuaStatusTo50(status)) + "): " + (msg ? msg : "");
    if (!task.empty()) text += " Task: <" + task + ">";
    lua_settop(state_, base < 0 ? 0 : base);
    ErrorReport(text, "w");
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
    auto line = [&lines](const std::string& label, const std::string& value) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%-22s : ", label.c_str());
        lines.push_back(buf + value);
    };
    for (int level = 3; level >= 0; --level) {
        lua_Debug r;
        if (!LuaMachine->LuaGetStackInfo(level, r)) continue;
        std::string label = "Debug " + std::to_string(level);
        auto value = [&](const std::string& v) {
            line(label, v);
            label.clear();
        };
        if (r.source && *r.source) value(std::string("Source: ") + r.source + " ");
        if (r.what && *r.what) value(std::string("What: ") + r.what + " ");
        if (r.name && *r.name) value(std::string("Name: ") + r.name + " ");
        if (r.namewhat && *r.namewhat) value(std::string("NameWhat: ") + r.namewhat + " ");
        value("LineDefined: " + std::to_string(r.linedefined) + " ");
        value("CurrentLine: " + std::to_string(r.currentline) + " ");
    }
    return true;
}

} // namespace vesk
