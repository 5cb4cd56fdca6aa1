// The application's start-up and final shut-down in-process, with recording
// stand-ins: the order of the subsystems' steps and what the scripts see.
#include <gtest/gtest.h>

#include "core/application.h"
#include "core/config_record.h"
#include "core/lua_machine.h"
#include "core/plugins.h"
#include "core/var_list.h"
#include "platform/files.h"
#include "shared/engine_object.h"
#include "shared/errors.h"
#include "support/error_trap.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace vesk {
namespace {

using Log = std::vector<std::string>;

struct RecRender : StandInRenderEngine {
    explicit RecRender(Log& l) : log(l) {}
    void CreateTickManager() override { log.push_back("render.CreateTickManager"); }
    void Init(platform::IWindow& w) override {
        log.push_back(w.IsOpen() ? "render.Init" : "render.Init closed");
    }
    void StopCapture() override { log.push_back("render.StopCapture"); }
    void CleanUnits() override { log.push_back("render.CleanUnits"); }
    void DiscardUnits() override { log.push_back("render.DiscardUnits"); }
    void FreeManagers() override { log.push_back("render.FreeManagers"); }
    void DoneDevices() override { log.push_back("render.DoneDevices"); }
    void Release() override { log.push_back("render.Release"); }
    Log& log;
};
struct RecSound : StandInSoundEngine {
    explicit RecSound(Log& l) : log(l) {}
    void CreateCore() override { log.push_back("sound.CreateCore"); }
    void Start(bool on, platform::IWindow&) override {
        log.push_back(on ? "sound.Start on" : "sound.Start off");
    }
    void Done() override { log.push_back("sound.Done"); }
    Log& log;
};
struct RecGame : StandInGameWorld {
    explicit RecGame(Log& l) : log(l) {}
    void CreateObjManagers() override { log.push_back("game.CreateObjManagers"); }
    void CreateRoots() override { log.push_back("game.CreateRoots"); }
    void CreateDialogs(const std::string& p) override { log.push_back("game.CreateDialogs " + p); }
    void CreateGameVars() override { log.push_back("game.CreateGameVars"); }
    void CreateStandardManagers() override { log.push_back("game.CreateStandardManagers"); }
    void LoadIni() override { log.push_back("game.LoadIni"); }
    void SaveIni() override { log.push_back("game.SaveIni"); }
    std::string IniText(const std::string& key) override { return key == "playerProfile" ? "pilot" : "menu"; }
    std::string CurrentSaveId() override { return "7"; }
    void TickList(const std::string& name, float) override {
        if (name == "created") log.push_back("game.tick");
        if (name == "deleted" && logDeleted) log.push_back("game.deleted");
    }
    void DeleteItems() override { log.push_back("game.DeleteItems"); }
    void FinishStatistics() override { log.push_back("game.FinishStatistics"); }
    void FreeDialogs() override { log.push_back("game.FreeDialogs"); }
    void DeleteTree() override { log.push_back("game.DeleteTree"); }
    void ReleaseManagers() override { log.push_back("game.ReleaseManagers"); }
    void DeleteStatistics() override { log.push_back("game.DeleteStatistics"); }
    void ReleaseDeleted() override { log.push_back("game.ReleaseDeleted"); }
    Log& log;
    bool logDeleted = false; // the purges' ticks of the "deleted" list
};
struct RecDesktop : StandInDesktop {
    explicit RecDesktop(Log& l) : log(l) {}
    void InitCore() override { log.push_back("desk.InitCore"); }
    void ExecConsoleFile(const std::string& f) override { log.push_back("desk.Exec " + f); }
    void Create() override { log.push_back("desk.Create"); }
    void InitInput(platform::IWindow&) override { log.push_back("desk.InitInput"); }
    void SetScriptsLoaded() override { log.push_back("desk.SetScriptsLoaded"); }
    void Upload() override { log.push_back("desk.Upload"); }
    void EndStartup() override { log.push_back("desk.EndStartup"); }
    void Release() override { log.push_back("desk.Release"); }
    void FreeCore() override { log.push_back("desk.FreeCore"); }
    std::string Version() override { return "1.2.3"; }
    Log& log;
};
struct RecScene : StandInSpaceScene {
    explicit RecScene(Log& l) : log(l) {}
    void DestroyPlanetSystem() override { log.push_back("scene.DestroyPlanetSystem"); }
    void FreeFXTemplates() override { log.push_back("scene.FreeFXTemplates"); }
    void Free() override { log.push_back("scene.Free"); }
    Log& log;
};
struct RecCamera : StandInGameCamera {
    explicit RecCamera(Log& l) : log(l) {}
    void Create() override { log.push_back("camera.Create"); }
    void Init() override { log.push_back("camera.Init"); }
    void Free() override { log.push_back("camera.Free"); }
    Log& log;
};

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldCwd = platform::CurrentFolder();
        // Copies running elsewhere (other tests) hold their own locks.
        if (const char* r = std::getenv("XDG_RUNTIME_DIR")) oldRuntime = r;
        std::filesystem::create_directories(dir / "runtime");
        setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
        platform::SetExeFolderOverride(dir.path());
        platform::SetCurrentFolder(dir.path());
        ConfigRecord r = DefaultConfigRecord();
        r.soundOn = 1;
        ASSERT_TRUE(WriteConfigRecordFile(dir / "config.bin", r));
        std::filesystem::create_directories(dir / "Scripts");
        platform::WriteFile(
            dir / "Scripts/main.lua",
            "seen = ''\n"
            "function beh_Init() seen = seen .. 'beh_Init;' end\n"
            "iProfiles = {} function iProfiles.Save() seen = seen .. 'Save;' "
            "  local f = io.open('saved.txt', 'w') f:write(seen) f:close() end\n"
            "iRootMenu = {}\n"
            "iLoading = {} function iLoading.Open(t) seen = seen .. 'Open ' .. t.loadgame .. ' ' "
            "  .. t.mission .. ' ' .. t.id .. ' ' .. t.onLoad .. ' ' .. iProfiles.CurProfileId "
            "  .. ' ' .. iRootMenu.BuildVersion .. ';' end\n");
        InitVarLists();
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        CoreServices s;
        s.render = std::make_unique<RecRender>(log);
        s.sound = std::make_unique<RecSound>(log);
        auto recGame = std::make_unique<RecGame>(log);
        game = recGame.get();
        s.game = std::move(recGame);
        s.desktop = std::make_unique<RecDesktop>(log);
        s.scene = std::make_unique<RecScene>(log);
        s.camera = std::make_unique<RecCamera>(log);
        core = std::make_unique<TCore>(std::move(s));
        core->Halt = [this](int status) { halts.push_back(status); };
        core->MakeWindow = [] { return std::make_unique<platform::NullWindow>(); };
    }
    void TearDown() override {
        core.reset();
        PluginSystem.reset();
        FreeLuaMachine();
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        platform::SetCurrentFolder(oldCwd);
        platform::SetExeFolderOverride("");
        if (oldRuntime.empty())
            unsetenv("XDG_RUNTIME_DIR");
        else
            setenv("XDG_RUNTIME_DIR", oldRuntime.c_str(), 1);
        SetLogFolder("logs/def");
        LogEnabled = false;
    }
    size_t At(const std::string& step) {
        auto it = std::find(log.begin(), log.end(), step);
        EXPECT_NE(it, log.end()) << step;
        return static_cast<size_t>(it - log.begin());
    }

    test::ErrorTrap trap;
    test::TempDir dir;
    std::string oldCwd;
    std::string oldRuntime;
    Log log;
    std::unique_ptr<TCore> core;
    RecGame* game = nullptr;
    std::vector<int> halts;
};

TEST_F(StartupTest, StartUpAndShutDownRunTheSubsystemsInOrder) {
    core->Init();
    ASSERT_TRUE(halts.empty());
    const Log startup(log.begin(), log.end());
    Log expected = {"desk.InitCore",
                    "camera.Create",
                    "sound.CreateCore",
                    "render.CreateTickManager",
                    "game.CreateObjManagers",
                    "game.CreateRoots",
                    "desk.Exec data/scripts/default.ini",
                    "desk.Exec local.ini",
                    "game.CreateDialogs Dialogs/",
                    "camera.Init",
                    "render.Init",
                    "desk.Create",
                    "game.CreateGameVars",
                    "desk.InitInput",
                    "game.CreateStandardManagers",
                    "sound.Start on",
                    "desk.SetScriptsLoaded",
                    "game.LoadIni",
                    "desk.Upload",
                    "game.tick", // the tick with dt 0
                    "desk.EndStartup"};
    EXPECT_EQ(startup, expected);
    EXPECT_NE(PluginSystem, nullptr);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Plugins"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "logs"));
    EXPECT_FLOAT_EQ(ScreenScaleX, 1.0f);
    EXPECT_EQ(IniVars->Get("sound").AsInteger(), 1); // -1 takes the setup record's byte
    EXPECT_EQ(IeVars->Get("con.h").AsSingle(), 100.0f);

    log.clear();
    game->logDeleted = true;
    core->Shutdown(false);
    EXPECT_EQ(core->Run(), 0);
    EXPECT_EQ(halts, std::vector<int>{0});
    // The engine root drops its killed units between the first purges: what
    // the discard kills is gone before Lua and the lists go.
    const size_t items = At("game.DeleteItems");
    ASSERT_LE(items + 7, log.size());
    EXPECT_EQ(Log(log.begin() + items, log.begin() + items + 7),
              (Log{"game.DeleteItems", "render.CleanUnits", "game.deleted", "render.DiscardUnits",
                   "game.deleted", "render.CleanUnits", "game.deleted"}));
    EXPECT_LT(At("sound.Done"), At("game.FinishStatistics"));
    EXPECT_LT(At("game.FinishStatistics"), At("game.SaveIni"));
    EXPECT_LT(At("game.SaveIni"), At("render.StopCapture"));
    EXPECT_LT(At("render.DiscardUnits"), At("desk.Release"));
    EXPECT_LT(At("desk.Release"), At("game.DeleteTree"));
    EXPECT_LT(At("desk.FreeCore"), At("camera.Free"));
    EXPECT_LT(At("camera.Free"), At("render.DoneDevices"));
    EXPECT_LT(At("render.DoneDevices"), At("render.Release"));
    EXPECT_EQ(log.back(), "game.ReleaseDeleted");
    std::string seen;
    ASSERT_TRUE(platform::ReadFile(dir / "saved.txt", seen));
    EXPECT_EQ(seen, "beh_Init;Open 1 0 7 menu pilot 1.2.3;Save;");
    EXPECT_EQ(LuaMachine, nullptr);
    EXPECT_EQ(PluginSystem, nullptr);
    EXPECT_EQ(IniVars, nullptr);
}

// Every step of the final shut-down, in its order: each frees what the next
// ones no longer use, and the "deleted" list and the destroy queue are purged
// between them, so that nothing freed late is reached by what went before.
TEST_F(StartupTest, FinalShutDownRunsEveryStepInOrder) {
    core->Init();
    ASSERT_TRUE(halts.empty());
    log.clear();
    game->logDeleted = true;
    core->Shutdown(true);
    EXPECT_EQ(halts, std::vector<int>{0});
    const Log expected = {
        "sound.Done", "game.FinishStatistics", "game.SaveIni",
        // the capture, the planet system, the items, then the engine root's units
        "render.StopCapture", "scene.DestroyPlanetSystem", "game.DeleteItems", "render.CleanUnits",
        "game.deleted", "render.DiscardUnits", "game.deleted", "render.CleanUnits", "game.deleted",
        "game.deleted", // Lua and the plug-ins
        "game.deleted", // the settings lists
        "desk.Release", "game.FreeDialogs", "game.deleted", "game.DeleteTree", "render.FreeManagers",
        "game.deleted", "game.deleted", "game.ReleaseManagers", "game.deleted", "desk.FreeCore",
        "game.deleted", "scene.FreeFXTemplates", "game.deleted", "game.DeleteStatistics", "game.deleted",
        "camera.Free", "scene.Free", "game.deleted", "render.DoneDevices", "render.Release", "game.deleted",
        "game.deleted", "game.ReleaseDeleted"};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(TEODestroyManager, nullptr);
}

TEST_F(StartupTest, HeadlessRunHasSilentSoundAndIniSoundOverridesRecord) {
    core->ParseCommandLine({"-headless"});
    core->Init();
    EXPECT_EQ(std::count(log.begin(), log.end(), "sound.Start off"), 1);

    log.clear();
    core.reset();
    FreeLuaMachine();
    PluginSystem.reset();
    CoreServices s;
    s.sound = std::make_unique<RecSound>(log);
    core = std::make_unique<TCore>(std::move(s));
    core->Halt = [this](int status) { halts.push_back(status); };
    core->MakeWindow = [] { return std::make_unique<platform::NullWindow>(); };
    InitVarLists();
    IniVars->Put("sound", VarValue(int32_t{0}));
    core->Init();
    EXPECT_EQ(log, (Log{"sound.CreateCore", "sound.Start off"}));
    EXPECT_EQ(SetupRecord.soundOn, 0);
}

TEST_F(StartupTest, FatalReportRunsFinalShutdownOnceAndWritesReport) {
    core->Init();
    auto& hooks = GetErrorHooks();
    // The application's own shut-down is what the central report calls.
    hooks.onReport = nullptr;
    log.clear();
    EXPECT_THROW(ErrorReport("a fault in a frame", "mhl"), test::Halted);
    EXPECT_TRUE(core->Done);
    EXPECT_EQ(At("render.DoneDevices"), 0u); // the display goes first
    EXPECT_TRUE(halts.empty());              // the report halts, not the shut-down
    EXPECT_FALSE(ErrorLogHasPending());
    bool written = false;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path())) {
        std::string text;
        if (e.is_regular_file() && e.path().filename().string().find("ErrorLog_0000") != std::string::npos &&
            platform::ReadFile(e.path().string(), text))
            written = text.find("a fault in a frame") != std::string::npos;
    }
    EXPECT_TRUE(written);
    core->Shutdown(true); // nothing more
    EXPECT_TRUE(halts.empty());
}

// A script error in the content's start ends the start-up as a failure.
TEST_F(StartupTest, ScriptErrorInBehInitIsAFailedStart) {
    for (bool debug : {false, true}) {
        SCOPED_TRACE(debug ? "-luadebug" : "plain");
        platform::WriteFile(dir / "Scripts/main.lua",
                            "function beh_Init() local t = nil; t.x = 1 end\n"
                            "iProfiles = {} function iProfiles.Save() end iRootMenu = {} iLoading = {}\n");
        if (debug) core->ParseCommandLine({"-luadebug"});
        EXPECT_THROW(core->Init(), test::Halted);
        EXPECT_EQ(trap.lastFatal.rfind("beh_Init(): the script failed: ", 0), 0u) << trap.lastFatal;
        EXPECT_NE(trap.lastFatal.find("attempt to index local 't'"), std::string::npos) << trap.lastFatal;
        EXPECT_EQ(trap.reports.back().flags, "mhl");
        core->Shutdown(true);
        LuaDebugMode = false;
        core.reset();
        FreeLuaMachine();
        CoreServices s;
        core = std::make_unique<TCore>(std::move(s));
        core->Halt = [this](int status) { halts.push_back(status); };
        core->MakeWindow = [] { return std::make_unique<platform::NullWindow>(); };
        InitVarLists();
    }
}

TEST_F(StartupTest, SecondCopyWithSameCaptionHaltsBeforeTouchingLogs) {
    platform::InstanceLock first;
    ASSERT_TRUE(first.Acquire("Vesk Annals"));
    ::testing::internal::CaptureStderr();
    core->Init();
    const std::string terminal = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(halts, std::vector<int>{1}); // it did not run
    EXPECT_NE(terminal.find("another copy (\"Vesk Annals\") is already running"), std::string::npos)
        << terminal;
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "logs"));
}

} // namespace
} // namespace vesk
