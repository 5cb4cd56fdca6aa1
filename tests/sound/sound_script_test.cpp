#include "sound/sound_script.h"

#include "core/lua_functions.h"
#include "shared/helpers.h"
#include "sound/sound_engine.h"
#include "sound_fixture.h"

namespace vesk {
namespace {

using test::Halted;

// The silent engine, writing down every call the scripts make.
class RecordingEngine : public TSoundGag {
public:
    std::vector<std::string> calls;
    void Rec(const std::string& s) { calls.push_back(s); }
    static std::string B(bool b) { return b ? "1" : "0"; }

    void Start(int c) override { Rec("Start(" + IntToStr32(c) + ")"); }
    int Stop(int c) override {
        Rec("Stop(" + IntToStr32(c) + ")");
        return 0;
    }
    int Add(int c, const std::string& f, int in, int out, const std::string& cb, bool loop) override {
        Rec("Add(" + IntToStr32(c) + "," + f + "," + IntToStr32(in) + "," + IntToStr32(out) + "," + cb + "," +
            B(loop) + ")");
        return 4;
    }
    void Clear(int c) override { Rec("Clear(" + IntToStr32(c) + ")"); }
    void SetVolume(int c, float v) override {
        Rec("SetVolume(" + IntToStr32(c) + "," + FloatToStrRaw(v) + ")");
    }
    void SetLoop(int c, bool l) override { Rec("SetLoop(" + IntToStr32(c) + "," + B(l) + ")"); }
    int Play(int c, const std::string& f, int in, int out, const std::string& cb) override {
        Rec("Play(" + IntToStr32(c) + "," + f + "," + IntToStr32(in) + "," + IntToStr32(out) + "," + cb +
            ")");
        return 0;
    }
    int PlaySound(int c, int id) override {
        Rec("PlaySound(" + IntToStr32(c) + "," + IntToStr32(id) + ")");
        return 0;
    }
    int Mute(int c, bool on) override {
        Rec("Mute(" + IntToStr32(c) + "," + B(on) + ")");
        return 0;
    }
    void SetMuteTime(int c, int ms) override {
        Rec("SetMuteTime(" + IntToStr32(c) + "," + IntToStr32(ms) + ")");
    }
    void Enum(int c, std::vector<std::string>&) override { Rec("Enum(" + IntToStr32(c) + ")"); }
    void SetMaxPlayCount(int c, int n) override {
        Rec("SetMaxPlayCount(" + IntToStr32(c) + "," + IntToStr32(n) + ")");
    }
    void SetSmartStopStep(int c, int n) override {
        Rec("SetSmartStopStep(" + IntToStr32(c) + "," + IntToStr32(n) + ")");
    }
    void SetRolloff(float f) override { Rec("SetRolloff(" + FloatToStrRaw(f) + ")"); }
    void SetDistanceFactor(float f) override { Rec("SetDistanceFactor(" + FloatToStrRaw(f) + ")"); }
    void SetDoppler(float f) override { Rec("SetDoppler(" + FloatToStrRaw(f) + ")"); }
    void SetTimeFactor(int f) override { Rec("SetTimeFactor(" + IntToStr32(f) + ")"); }
    int QueryCaps() override {
        Rec("QueryCaps()");
        return 0;
    }
};

class SoundScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        L = luaL_newstate();
        lua_register(L, "engine_Sound", EngineSound);
        lua_register(L, "engine_PlaySound", EnginePlaySound);
        lua_register(L, "engine_SoundLength", EngineSoundLength);
        SoundEngine = engine;
    }
    void TearDown() override {
        SoundEngine.reset();
        lua_close(L);
    }
    // Runs a chunk; the engine calls it made.
    std::vector<std::string> Run(const std::string& chunk) {
        engine->calls.clear();
        if (luaL_dostring(L, chunk.c_str()) != 0) {
            ADD_FAILURE() << lua_tostring(L, -1);
            lua_pop(L, 1);
        }
        return engine->calls;
    }

    test::ErrorTrap trap;
    lua_State* L = nullptr;
    std::shared_ptr<RecordingEngine> engine = std::make_shared<RecordingEngine>();
};

TEST_F(SoundScriptTest, EveryServiceReachesItsEngineCall) {
    const std::pair<const char*, const char*> cases[] = {
        {R"(engine_Sound("capabilites", "all"))", "QueryCaps()"},
        {R"(engine_Sound("SmartStopStep", "space", 1500.7))", "SetSmartStopStep(7,1500)"},
        {R"(engine_Sound("rolloff", "space", 2.5))", "SetRolloff(2.5)"},
        {R"(engine_Sound("maxplaycount", "space", 6.9))", "SetMaxPlayCount(7,6)"},
        {R"(engine_Sound("distance", "space", 0.5))", "SetDistanceFactor(0.5)"},
        {R"(engine_Sound("doppler", "space", 2))", "SetDoppler(2)"},
        {R"(engine_Sound("timefactor", "space", 30.9))", "SetTimeFactor(30)"},
        {R"(engine_Sound("enum", "Interface"))", "Enum(6)"},
        {R"(engine_Sound("start", "radio"))", "Start(3)"},
        {R"(engine_Sound("loop", "battle", "1"))", "SetLoop(4,1)"},
        {R"(engine_Sound("loop", "battle", "yes"))", "SetLoop(4,0)"},
        {R"(engine_Sound("mute", "dialog", "on"))", "Mute(5,1)"},
        {R"(engine_Sound("MUTE", "DIALOG", "Off"))", "Mute(5,0)"},
        {R"(engine_Sound("mutetime", "ambience", "300"))", "SetMuteTime(2,300)"},
        {R"(engine_Sound("mutetime", "ambience", "soon"))", "SetMuteTime(2,1)"},
        {R"(engine_Sound("stop", "all"))", "Stop(0)"},
        {R"(engine_Sound("add", "music", "m.wav", "100", "200", "go", "1"))", "Add(1,m.wav,100,200,go,1)"},
        {R"(engine_Sound("clear", "music"))", "Clear(1)"},
        {R"(engine_Sound("play", "music", "m.wav", 10, 20, ""))", "Play(1,m.wav,10,20,)"},
        {R"(engine_Sound("playsound", "interface", "3"))", "Play(6,,3,0,)"},
    };
    for (auto& [chunk, call] : cases) EXPECT_EQ(Run(chunk), std::vector<std::string>{call}) << chunk;
    EXPECT_EQ(Run(R"(engine_Sound("volume", "music", "50"))"),
              (std::vector<std::string>{"Mute(1,0)", "SetVolume(1,0.5)"}));
    EXPECT_TRUE(Run(R"(engine_Sound("volume", "all", "50"))").empty()); // checked, nothing more
    EXPECT_TRUE(trap.reports.empty());
}

// Whole-number services take any number a script gives: past the 32-bit
// range it reads as the range's end, a value that is no number as 0.
TEST_F(SoundScriptTest, WholeNumbersOutsideTheRangeReadAsItsEnds) {
    const std::pair<const char*, const char*> cases[] = {
        {R"(engine_Sound("SmartStopStep", "space", 1e30))", "SetSmartStopStep(7,2147483647)"},
        {R"(engine_Sound("maxplaycount", "space", -1e30))", "SetMaxPlayCount(7,-2147483648)"},
        {R"(engine_Sound("timefactor", "space", 0/0))", "SetTimeFactor(0)"},
        {R"(engine_Sound("timefactor", "space", 1/0))", "SetTimeFactor(2147483647)"},
        {R"(engine_Sound("maxplaycount", "space", -7.9))", "SetMaxPlayCount(7,-7)"},
    };
    for (auto& [chunk, call] : cases) EXPECT_EQ(Run(chunk), std::vector<std::string>{call}) << chunk;
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(SoundScriptTest, FaultsAreFatalWithTheirReason) {
    const std::pair<const char*, const char*> cases[] = {
        {R"(engine_Sound("start", "drums"))",
         "engine_Sound fault - incorrect channel; Service: START, Channel: DRUMS, ParamCount= 2"},
        {R"(engine_Sound("smartstopstep"))",
         "engine_Sound fault - incorrect channel; Service: SMARTSTOPSTEP, Channel: , ParamCount= 1"},
        {R"(engine_Sound("volume", "music", "0"))",
         "engine_Sound fault - wrong level value. Volume=0; Service: VOLUME, Channel: MUSIC, ParamCount= 3"},
        {R"(engine_Sound("volume", "music", "101"))", "engine_Sound fault - wrong level value. Volume=101; "
                                                      "Service: VOLUME, Channel: MUSIC, ParamCount= 3"},
        {R"(engine_Sound("volume", "all", "loud"))",
         "engine_Sound fault - wrong level value. Volume=-1; Service: VOLUME, Channel: ALL, ParamCount= 3"},
        {R"(engine_Sound("mute", "music", "maybe"))",
         "engine_Sound fault - incorrect param - \"MAYBE\"; Service: MUTE, Channel: MUSIC, ParamCount= 3"},
        {R"(engine_Sound("add", "music", "m.wav", "1", "2", "cb"))",
         "engine_Sound fault - be shy of params; Service: ADD, Channel: MUSIC, ParamCount= 6"},
        {R"(engine_Sound("add", "music", "m.wav", "x", "2", "cb", "0"))",
         "engine_Sound fault - incorrect fadein time; Service: ADD, Channel: MUSIC, ParamCount= 7"},
        {R"(engine_Sound("play", "music", "m.wav", "1", "-1", "cb"))",
         "engine_Sound fault - incorrect fadeout time; Service: PLAY, Channel: MUSIC, ParamCount= 6"},
        {R"(engine_Sound("play", "music", "m.wav", "1", "2"))",
         "engine_Sound fault - be shy of params; Service: PLAY, Channel: MUSIC, ParamCount= 5"},
        {R"(engine_Sound("shout", "music"))",
         "engine_Sound fault - incorrect service; Service: SHOUT, Channel: MUSIC, ParamCount= 2"},
    };
    for (auto& [chunk, text] : cases) {
        engine->calls.clear();
        EXPECT_THROW(luaL_dostring(L, chunk), Halted) << chunk;
        EXPECT_EQ(trap.lastFatal, text);
        EXPECT_EQ(trap.reports.back().flags, "mhl");
        EXPECT_TRUE(engine->calls.empty()) << chunk;
        lua_settop(L, 0);
    }
}

TEST_F(SoundScriptTest, InterfaceSoundsAndLengths) {
    EXPECT_EQ(Run(R"(engine_PlaySound("click.wav", "interface"))"),
              (std::vector<std::string>{"Add(6,click.wav,0,0,,0)", "PlaySound(6,4)"}));
    EXPECT_TRUE(Run(R"(engine_PlaySound("click.wav", "Interface"))").empty());
    test::TempDir dir;
    test::CopyDataFile("theme.ogg", dir / "theme.ogg");
    const std::string chunk = "len = engine_SoundLength(\"" + (dir / "theme.wav") + "\")";
    Run(chunk);
    lua_getglobal(L, "len");
    ASSERT_EQ(lua_type(L, -1), LUA_TSTRING);
    EXPECT_STREQ(lua_tostring(L, -1), "3000");
    EXPECT_EQ(PlayInterfaceSound(1), 0);
    EXPECT_EQ(StopInterfaceSound(1), 0);
}

TEST_F(SoundScriptTest, InstalledUnderTheirNames) {
    InstallSoundScriptFunctions();
    EXPECT_EQ(GetEngineFunction("engine_Sound"), &EngineSound);
    EXPECT_EQ(GetEngineFunction("engine_PlaySound"), &EnginePlaySound);
    EXPECT_EQ(GetEngineFunction("engine_SoundLength"), &EngineSoundLength);
}

} // namespace
} // namespace vesk
