// The application object's frame and tick, step by step, with recording
// stand-ins for the subsystems above the core; the window procedure, the
// command line and the two shut-down requests.
#include <gtest/gtest.h>

#include "core/application.h"
#include "core/config_record.h"
#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "platform/files.h"
#include "shared/engine_object.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "support/error_trap.h"

#include <filesystem>
#include <functional>
#include <stdexcept>

namespace vesk {
namespace {

using Log = std::vector<std::string>;

std::string Num(float v) {
    return FloatToStrRaw(v);
}

// Throws when the named step is reached.
struct Fault {
    std::string step;
    void At(const std::string& name) const {
        if (name == step) throw std::runtime_error("fault in " + name);
    }
};

class RecRender : public StandInRenderEngine {
public:
    RecRender(Log& l, Fault& f) : log(l), fault(f) {}
    void BeginScene() override { Add("BeginScene"); }
    void RenderFrame() override { Add("RenderFrame"); }
    void SkipScene() override { Add("SkipScene"); }
    void EndScene() override { Add("EndScene"); }
    void Present() override { Add("Present"); }
    void NextFrame() override { Add("NextFrame"); }
    void SortChildsBRU() override { Add("SortChildsBRU"); }
    void UpdateMatrices() override { Add("UpdateMatrices"); }
    void TickTree(float dt) override { Add("TickTree " + Num(dt)); }
    void TickUpdaters(float dt) override { Add("render updaters " + Num(dt)); }
    void Add(const std::string& s) {
        log.push_back(s);
        fault.At(s);
    }
    Log& log;
    Fault& fault;
};

class RecSound : public StandInSoundEngine {
public:
    explicit RecSound(Log& l) : log(l) {}
    void Update(int ms) override { log.push_back("SoundUpdate " + std::to_string(ms)); }
    Log& log;
};

class RecGame : public StandInGameWorld {
public:
    RecGame(Log& l, Fault& f) : log(l), fault(f) {}
    void TickList(const std::string& name, float dt) override {
        log.push_back(name + " " + Num(dt));
        fault.At(name);
    }
    void TickStatistics(float dt) override {
        log.push_back("updaters " + Num(dt));
        fault.At("updaters");
    }
    Log& log;
    Fault& fault;
};

class RecDesktop : public StandInDesktop {
public:
    explicit RecDesktop(Log& l) : log(l) {}
    void SetInputAcquired(bool a) override { log.push_back(a ? "acquire" : "unacquire"); }
    void TickInput(float dt) override { log.push_back("TickInput " + Num(dt)); }
    void UpdateFrameTimer(float& dt) override {
        log.push_back("UpdateFrameTimer " + Num(dt));
        if (cap > 0 && dt > cap) dt = cap;
    }
    int Mode() override { return mode; }
    bool SceneHidden() override { return hidden; }
    bool Paused() override { return paused; }
    bool SteeringOff() override { return steeringOff; }
    void FrameTick(int ms) override { log.push_back("FrameTick " + std::to_string(ms)); }
    void Update() override { log.push_back("DeskUpdate"); }
    void Render() override { log.push_back("DeskRender"); }
    Log& log;
    int mode = 0;
    bool hidden = false, paused = false, steeringOff = false;
    float cap = 0;
};

class RecScene : public StandInSpaceScene {
public:
    RecScene(Log& l, Fault& f) : log(l), fault(f) {}
    void TickPhys(float dt) override {
        log.push_back("TickPhys " + Num(dt));
        fault.At("TickPhys");
    }
    void UpdatePlanetSystem() override {
        log.push_back("psys");
        fault.At("psys");
    }
    void UpdatePlayerShipSteering() override { log.push_back("steering"); }
    Log& log;
    Fault& fault;
};

class RecCamera : public StandInGameCamera {
public:
    explicit RecCamera(Log& l) : log(l) {}
    void Tick(float dt) override { log.push_back("camera " + Num(dt)); }
    Log& log;
};

class CoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        CoreServices s;
        s.render = std::make_unique<RecRender>(log, fault);
        s.sound = std::make_unique<RecSound>(log);
        s.game = std::make_unique<RecGame>(log, fault);
        auto desk = std::make_unique<RecDesktop>(log);
        desktop = desk.get();
        s.desktop = std::move(desk);
        s.scene = std::make_unique<RecScene>(log, fault);
        s.camera = std::make_unique<RecCamera>(log);
        core = std::make_unique<TCore>(std::move(s));
        core->Halt = [this](int status) { halts.push_back(status); };
        TimeFactor = 1.0f;
        AppActive = true;
    }
    void TearDown() override {
        core.reset();
        TimeFactor = 1.0f;
        AppActive = true;
        SetupRecord = ConfigRecord{};
    }
    // The steps of one tick, without the script tick's Lua.
    static Log TickSteps(const std::string& dt, const Log& phys) {
        Log steps = {"created " + dt, "linked " + dt, "created2 " + dt, "ticked " + dt};
        steps.insert(steps.end(), phys.begin(), phys.end());
        Log rest = {"packed " + dt,   "deleted " + dt, "SortChildsBRU",         "psys",
                    "UpdateMatrices", "camera " + dt,  "render updaters " + dt, "updaters " + dt,
                    "TickTree " + dt};
        steps.insert(steps.end(), rest.begin(), rest.end());
        return steps;
    }

    test::ErrorTrap trap;
    platform::ManualClock clock;
    Log log;
    Fault fault;
    RecDesktop* desktop = nullptr;
    std::unique_ptr<TCore> core;
    std::vector<int> halts;
};

TEST_F(CoreTest, TickRunsItsStepsInOrderWithPhysicsSlices) {
    struct Case {
        float dt;
        Log phys;
    } cases[] = {
        {20.0f, {"TickPhys 20"}},
        {30.0f, {"TickPhys 30"}},
        {45.0f, {"TickPhys 30"}},                // the rest is not given to physics
        {65.0f, {"TickPhys 30", "TickPhys 30"}}, // two slices, 5 ms left over
        {0.00005f, {"TickPhys 1"}},              // a vanishing step counts as 1 ms
        {0.0f, {"TickPhys 1"}},
    };
    for (const Case& c : cases) {
        log.clear();
        core->Tick(c.dt);
        EXPECT_EQ(log, TickSteps(Num(c.dt), c.phys)) << "dt " << c.dt;
    }
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(CoreTest, PhysicsSlicesTable) {
    EXPECT_EQ(PhysicsSlices(20), std::vector<float>{20});
    EXPECT_EQ(PhysicsSlices(30), std::vector<float>{30});
    EXPECT_EQ(PhysicsSlices(30.5f), std::vector<float>{30});
    EXPECT_EQ(PhysicsSlices(60), std::vector<float>{30});
    EXPECT_EQ(PhysicsSlices(95), (std::vector<float>{30, 30, 30}));
    EXPECT_EQ(PhysicsSlices(0.00005f), std::vector<float>{1});
}

TEST_F(CoreTest, SteeringOnlyInFlightModesAndPauseStopsTickedAndPhysics) {
    desktop->mode = 1;
    core->Tick(10);
    EXPECT_EQ(log.front(), "steering");
    log.clear();
    desktop->mode = 9;
    desktop->steeringOff = true;
    core->Tick(10);
    EXPECT_EQ(log.front(), "created 10");
    log.clear();
    desktop->mode = 2;
    desktop->steeringOff = false;
    desktop->paused = true;
    core->Tick(10);
    Log expected = TickSteps("10", {});
    expected.erase(std::find(expected.begin(), expected.end(), "ticked 10"));
    EXPECT_EQ(log, expected);
}

TEST_F(CoreTest, ScriptTickRunsWhenSummedMillisecondsReachHundred) {
    CreateLuaMachine();
    LuaMachine->RunString("calls = '' function obj_Tick(ms) calls = calls .. ms .. ';' end");
    for (float dt : {40.9f, 40.9f, 19.9f, 19.0f}) core->Tick(dt); // 40 + 40 + 19 = 99, then 118
    EXPECT_EQ(GetLuaString("calls", false), "118;");
    EXPECT_EQ(core->ScriptTickAccum, 0u);
    desktop->paused = true; // nothing is summed while paused
    for (int i = 0; i < 5; ++i) core->Tick(50);
    EXPECT_EQ(core->ScriptTickAccum, 0u);
    desktop->paused = false;
    core->Tick(100);
    EXPECT_EQ(GetLuaString("calls", false), "118;100;");
    FreeLuaMachine();
}

TEST_F(CoreTest, FaultInGuardedStepIsFatalReportWithStepMessage) {
    struct Case {
        const char* step;
        const char* message;
    } cases[] = {
        {"created", "TCore.Tick: CreatedObjects.Tick AV"},
        {"linked", "TCore.Tick: LinkedObjects.Tick AV"},
        {"created2", "TCore.Tick: CreatedObjects2.Tick AV"},
        {"ticked", "TCore.Tick: tickedObjects.Tick AV"},
        {"TickPhys", "TCore.Tick: TickPhys AV"},
        {"packed", "TCore.Tick: PackedObjects.pack AV"},
        {"deleted", "TCore.Tick: deletedObjects.Tick AV"},
        {"psys", "TCore.Tick: psys.SmartTransform AV"},
        {"UpdateMatrices", "TCore.Tick: TEngine.SmartTransform AV"},
        {"render updaters 10", "TCore.Tick: IUpdaterTicks AV"},
        {"updaters", "TCore.Tick: IUpdaterTicks AV"},
        {"TickTree 10", "TCore.Tick: MakeTicks AV"},
    };
    for (const Case& c : cases) {
        fault.step = c.step;
        trap.reports.clear();
        EXPECT_THROW(core->Tick(10), test::Halted) << c.step;
        ASSERT_EQ(trap.reports.size(), 1u) << c.step;
        EXPECT_EQ(trap.reports[0].text, c.message);
        EXPECT_EQ(trap.reports[0].flags, "mhl");
    }
}

TEST_F(CoreTest, FrameRunsItsStepsInOrder) {
    platform::ScopedClock scoped(clock);
    core->LastCounter = platform::PerfCounter();
    clock.AdvanceMs(16);
    core->Frame();
    Log expected = {"UpdateFrameTimer 16", "TickInput 16"};
    Log tick = TickSteps("16", {"TickPhys 16"});
    expected.insert(expected.end(), tick.begin(), tick.end());
    Log rest = {"SoundUpdate 16", "BeginScene", "RenderFrame", "FrameTick 16", "DeskUpdate",
                "DeskRender",     "EndScene",   "Present",     "NextFrame"};
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(log, expected);
    EXPECT_EQ(core->LastCounter, platform::PerfCounter());

    // With the scene hidden the frame cleans up instead of drawing.
    log.clear();
    desktop->hidden = true;
    clock.AdvanceMs(16);
    core->Frame();
    EXPECT_NE(std::find(log.begin(), log.end(), "SkipScene"), log.end());
    EXPECT_EQ(std::find(log.begin(), log.end(), "RenderFrame"), log.end());
}

TEST_F(CoreTest, FrameDeltaHasOneMillisecondFloorThenFrameTimerThenTimeFactor) {
    platform::ScopedClock scoped(clock);
    struct Case {
        double elapsed;
        float cap;
        float factor;
        float delta;
    } cases[] = {
        {0.2, 0, 1.0f, 1.0f}, // a 0.2 ms frame counts as 1 ms
        {0.2, 0, 2.5f, 2.5f}, // ... times the time factor
        {45, 0, 1.0f, 45.0f},
        {45, 20, 0.5f, 10.0f}, // the frame timer caps before the factor
    };
    for (const Case& c : cases) {
        core->LastCounter = platform::PerfCounter();
        clock.AdvanceMs(c.elapsed);
        desktop->cap = c.cap;
        TimeFactor = c.factor;
        core->Frame();
        EXPECT_FLOAT_EQ(core->GetFrameDelta(), c.delta) << c.elapsed << " ms x " << c.factor;
    }
}

TEST_F(CoreTest, WindowProcedure) {
    using platform::WindowEvent;
    using platform::WindowMessage;
    SetupRecord.fullScreen = 0;
    EXPECT_EQ(core->WndProc({WindowMessage::SysKeyAlt, false}), 1); // Alt swallowed in a framed window
    SetupRecord.fullScreen = 1;
    EXPECT_EQ(core->WndProc({WindowMessage::SysKeyAlt, false}), 0);
    EXPECT_EQ(core->WndProc({WindowMessage::ScreenSaver, false}), 0);

    core->WndProc({WindowMessage::Activate, true}); // minimised
    EXPECT_FALSE(AppActive);
    core->WndProc({WindowMessage::Activate, false});
    EXPECT_TRUE(AppActive);
    core->WndProc({WindowMessage::KillFocus, false});
    EXPECT_FALSE(AppActive);
    EXPECT_EQ(log, (Log{"acquire", "acquire"}));
    EXPECT_FALSE(core->QuitRequested);
    core->WndProc({WindowMessage::Destroy, false});
    EXPECT_TRUE(core->QuitRequested);
    EXPECT_FALSE(AppActive);
    EXPECT_EQ(log.back(), "unacquire");
}

TEST_F(CoreTest, ShutdownRequestsAndFinalShutdownOnce) {
    core->Shutdown(false);
    core->Shutdown(false);
    EXPECT_TRUE(core->QuitRequested);
    EXPECT_FALSE(core->Done);
    EXPECT_TRUE(halts.empty());
    core->Shutdown(true);
    EXPECT_TRUE(core->Done);
    EXPECT_EQ(halts, std::vector<int>{0});
    core->Shutdown(true); // returns at once
    EXPECT_EQ(halts, std::vector<int>{0});
    TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
}

TEST_F(CoreTest, CommandLine) {
    const std::string oldMod = ModName;
    ModName.clear();
    core->ParseCommandLine({"-MOD", "MyMod", "-LuaDebug", "other"});
    EXPECT_EQ(ModName, "MyMod"); // the option in any case, the name as typed
    EXPECT_TRUE(LuaDebugMode);
    core->ParseCommandLine({"-mod"}); // last parameter: nothing changes
    EXPECT_EQ(ModName, "MyMod");
    core->ParseCommandLine({"-headless", "-frames", "12", "-fixeddt", "16.5"});
    EXPECT_TRUE(core->Headless);
    EXPECT_EQ(core->FrameLimit, 12);
    EXPECT_DOUBLE_EQ(core->FixedFrameMs, 16.5);
    LuaDebugMode = false;
    ModName = oldMod;
}

TEST_F(CoreTest, RunStopsAfterFrameLimitWithFixedFrameTime) {
    core->ParseCommandLine({"-frames", "3", "-fixeddt", "20"});
    core->LastCounter = platform::PerfCounter();
    EXPECT_EQ(core->Run(), 0);
    EXPECT_EQ(core->FramesRun, 3);
    EXPECT_FLOAT_EQ(core->GetFrameDelta(), 20.0f);
    EXPECT_EQ(halts, std::vector<int>{0}); // quit requested, final shut-down, halt
    TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
}

TEST_F(CoreTest, ExceptionEscapingFrameEndsLoopWithWrittenReport) {
    test::TempDir dir;
    platform::SetExeFolderOverride(dir.path());
    fault.step = "BeginScene"; // not a guarded step: the exception leaves the frame
    core->ParseCommandLine({"-fixeddt", "20"});
    EXPECT_EQ(core->Run(), 1);
    EXPECT_FALSE(core->Done); // no quit request: the program body frees the core
    EXPECT_TRUE(halts.empty());
    EXPECT_FALSE(ErrorLogHasPending());
    bool found = false;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path())) {
        std::string text;
        if (e.is_regular_file() && platform::ReadFile(e.path().string(), text))
            found = found || text.find("fault in BeginScene") != std::string::npos;
    }
    EXPECT_TRUE(found);
    platform::SetExeFolderOverride("");
}

} // namespace
} // namespace vesk
