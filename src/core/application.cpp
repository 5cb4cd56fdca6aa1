#include "core/application.h"

#include "core/config_record.h"
#include "core/extra_settings.h"
#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "core/paths.h"
#include "core/plugins.h"
#include "core/var_list.h"
#include "platform/files.h"
#include "platform/quit_signals.h"
#include "platform/text.h"
#include "shared/engine_object.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/memstatus.h"
#include "shared/timers.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace vesk {

TCore* Core = nullptr;
bool AppActive = true;
std::string FontPath;
bool FontAdded = false;
float ScreenScaleX = 1.0f;
float ScreenScaleY = 1.0f;

namespace {

// The console files of the start-up, in the order they run.
constexpr const char* kConsoleFiles[] = {"data/scripts/default.ini", "local.ini"};

void FlushDestroyQueue() {
    if (TEODestroyManager) TEODestroyManager->Flush();
}

void DefaultHalt(int status) {
    FastLogFlush();
    std::fflush(nullptr);
    std::_Exit(status);
}

// Runs one guarded tick step: an exception is a fatal report with the step's message.
template <class F> void Guarded(const char* message, F&& step) {
    try {
        step();
    } catch (...) {
        ErrorReport(message, "mhl");
    }
}

// A second copy ends quietly for the player, but whoever started it (a
// shell, a launcher) is told that it did not run: by its status, and on the
// terminal why.
constexpr int kAnotherCopyStatus = 1;

void SayAnotherCopyRuns(const std::string& caption) {
    std::fprintf(stderr, "vesk: another copy (\"%s\") is already running; this one stops\n",
                 platform::Cp1251ToUtf8(caption).c_str());
}

std::string LastOsErrorText() {
    const int e = errno;
    std::string text = e ? std::strerror(e) : "The operation completed successfully.";
    // The system text is cut as the report's buffer would cut it.
    if (text.size() > 256) text.resize(256);
    return text;
}

} // namespace

std::vector<float> PhysicsSlices(float dt) {
    std::vector<float> slices;
    if (dt > 30.0f) {
        float remaining = dt;
        while (remaining > 30.0f) {
            slices.push_back(30.0f);
            remaining -= 30.0f;
        }
    } else {
        slices.push_back(dt < 0.0001f ? 1.0f : dt);
    }
    return slices;
}

TCore::TCore(CoreServices services) : services_(std::move(services)) {
    FillWithStandIns(services_);
    Core = this;
}

TCore::~TCore() {
    if (Core == this) Core = nullptr;
    ErrorHooks& h = GetErrorHooks();
    h.shutdown = nullptr;
    h.releaseDisplay = nullptr;
    ErrorLogSources& sources = GetErrorLogSources();
    sources.applicationTitle = nullptr;
    sources.version = nullptr;
    if (fixedClock_) platform::SetClock(nullptr);
}

void TCore::ParseCommandLine(const std::vector<std::string>& params) {
    // Every word stays for the error-log report, the ones the program does not know too.
    GetErrorLogSources().commandLine = [params] { return params; };
    for (size_t i = 0; i < params.size(); ++i) {
        const std::string p = platform::LowerCaseCp1251(params[i]);
        const bool hasNext = i + 1 < params.size();
        if (p == "-mod") {
            if (hasNext) ModName = params[++i];
        } else if (p == "-luadebug") {
            LuaDebugMode = true;
        } else if (p == "-headless") {
            Headless = true;
        } else if (p == "-frames") {
            if (hasNext) FrameLimit = std::max(0, std::atoi(params[++i].c_str()));
        } else if (p == "-fixeddt") {
            if (hasNext) {
                double ms = 0.0;
                if (TryParseFloatVal(params[++i], ms) && ms > 0.0) FixedFrameMs = ms;
            }
        }
    }
    if (FixedFrameMs > 0.0 && !fixedClock_) {
        fixedClock_ = std::make_unique<platform::FrameClock>();
        platform::SetClock(fixedClock_.get());
    }
}

void TCore::RunSteps(const std::vector<Step>& steps, const bool* ended) {
    for (const Step& step : steps) {
        int64_t physKb = 0, pageKb = 0;
        if (step.memoryLabel) GetAvailMemKb(physKb, pageKb);
        step.run();
        if (step.memoryLabel) LogMemUsage(physKb, pageKb, step.memoryLabel, nullptr);
        if (ended && *ended) return;
    }
}

void TCore::InstallErrorHooks() {
    ErrorLogSources& sources = GetErrorLogSources();
    sources.applicationTitle = [] {
        return IniVars ? IniVars->Get("win.caption").AsString() : std::string();
    };
    sources.version = [this] { return services_.desktop->Version(); };
    ErrorHooks& h = GetErrorHooks();
    h.releaseDisplay = [this] {
        services_.render->DoneDevices();
        if (window_) window_->Close();
    };
    h.shutdown = [this] { FinalShutdown(); };
}

std::string TCore::StartCaption() {
    std::string caption = IniVars ? IniVars->Get("win.caption").AsString() : std::string();
    for (const char* file : kConsoleFiles) {
        const std::string v = services_.desktop->PeekConsoleValue(file, "win.caption");
        if (!v.empty()) caption = v;
    }
    return caption;
}

bool TCore::AcquireInstance(const std::string& caption) {
    if (caption == instanceKey_ && instance_ && instance_->Held()) return true;
    auto lock = std::make_unique<platform::InstanceLock>();
    if (!lock->Acquire(caption)) return false;
    instance_ = std::move(lock);
    instanceKey_ = caption;
    return true;
}

void TCore::Init() {
    const std::string exe = platform::ExeFolder();
    // The start-up's steps in their order. A step that leaves nothing to start
    // (a second copy of the game, no main window) ends the start-up.
    bool ended = false;
    RunSteps(
        {
            {"flags and the single instance",
             [&] {
                 Done = false;
                 QuitRequested = false;
                 InstallErrorHooks();
                 if (!IniVars) InitVarLists(); // the program body normally made them
                 // A second copy stops before it touches the logs the first copy
                 // writes; its caption is the one its console files are about to set.
                 if (const std::string caption = StartCaption(); !AcquireInstance(caption)) {
                     SayAnotherCopyRuns(caption);
                     Halt ? Halt(kAnotherCopyStatus) : DefaultHalt(kAnotherCopyStatus);
                     ended = true;
                 }
             }},
            {"font and game folder",
             [&] {
                 FontPath = exe + "/verdana.ttf";
                 // There is no system font table to add it to: the text layer reads the file itself.
                 FontAdded = platform::FileExists(FontPath);
                 // Every relative path (scripts, data, saves, profiles) is the game
                 // folder's, wherever the program was started from.
                 if (!platform::SetCurrentFolder(exe))
                     std::fprintf(
                         stderr,
                         "vesk: cannot work in the game folder %s; files are looked for where it started\n",
                         platform::NativePath(exe).c_str());
             }},
            {"interface core, game camera and sound core",
             [&] {
                 services_.desktop->InitCore();
                 services_.camera->Create();
                 services_.sound->CreateCore();
             }},
            {"log folder",
             [&] {
                 SetLogFolder(exe + "/logs");
                 if (!platform::CreateFolders(LogFolder()))
                     std::fprintf(stderr,
                                  "vesk: cannot make the log folder %s; the game runs without its logs\n",
                                  platform::NativePath(LogFolder()).c_str());
                 FastLogClearFiles();
                 FastLogFlushMan = std::make_unique<FastLogFlushManClass>();
             }},
            {"memory status", [] { FastLogAdd("BuildStart: " + GetMemStatusStr()); }},
            {"render-unit tick manager",
             [&] {
                 services_.render->CreateTickManager();
                 LastCounter = GetPerfCounter();
             }},
            {"pool registry", "TObjManagersManager.Create", [&] { services_.game->CreateObjManagers(); }},
            {"game-object roots", [&] { services_.game->CreateRoots(); }},
            {"Lua machine", "LUA_Init", [] { CreateLuaMachine(); }},
            {"console files",
             [&] {
                 for (const char* file : kConsoleFiles) services_.desktop->ExecConsoleFile(file);
             }},
            {"extra settings", [] { LoadExtraSettings(); }},
            {"paths", "InitPaths", [] { InitPaths(); }},
            {"dialogs", [&] { services_.game->CreateDialogs(DataPath + "Dialogs/"); }},
            {"setup record", [] { LoadConfigBin(); }},
            {"sound switch",
             [] {
                 const int32_t sound = IniVars->Get("sound").AsInteger();
                 if (sound != -1)
                     SetupRecord.soundOn = sound != 0 ? 1 : 0;
                 else
                     IniVars->Put("sound", VarValue(static_cast<int32_t>(SetupRecord.soundOn)));
             }},
            {"screen scale",
             [] {
                 ScreenScaleX = static_cast<float>(SetupRecord.width) / 1024.0f;
                 ScreenScaleY = static_cast<float>(SetupRecord.height) / 768.0f;
             }},
            {"setup flags",
             [&] {
                 services_.game->ApplySetupFlags(SetupRecord.nozzlesEnabled != 0,
                                                 SetupRecord.bsphereDisplay != 0,
                                                 SetupRecord.showBSpheres != 0);
             }},
            {"main window", "CreateMainWindow",
             [&] {
                 CreateMainWindow(IniVars->Get("win.caption").AsString());
                 ended = !window_;
             }},
            {"game camera",
             [&] {
                 services_.camera->Init();
                 services_.camera->ApplyStartFlags(1, 0);
             }},
            {"render engine", "RE_Initialization",
             [&] {
                 const int64_t renderStart = GetPerfCounter();
                 services_.render->Init(*window_);
                 LogTiming("Init render engine time", nullptr, renderStart);
             }},
            {"desktop", [&] { services_.desktop->Create(); }},
            {"game variables", "GameVarInit",
             [&] {
                 services_.game->CreateGameVars();
                 services_.desktop->InitInput(*window_);
             }},
            {"standard managers", "goman.createStandartManagers",
             [&] { services_.game->CreateStandardManagers(); }},
            // Headless runs have no sound device: the silent engine stands in.
            {"sound engine", "SoundEngine",
             [&] { services_.sound->Start(SetupRecord.soundOn != 0 && !Headless, *window_); }},
            {"main script", "script_Init", [] { RunMainScript(); }},
            {"scripts loaded", [&] { services_.desktop->SetScriptsLoaded(); }},
            {"behaviour start", "beh_Init()",
             [] {
                 // The game's content starts here: a script error leaves no game
                 // to go on with, and the start-up ends as a failed one.
                 std::string failure;
                 if (LuaMachine && !LuaMachine->RunString("beh_Init()", "", &failure))
                     ErrorReport("beh_Init(): the script failed: " + failure, "mhl");
             }},
            {"game settings and profile",
             [&] {
                 services_.game->LoadIni();
                 services_.game->LoadDefaultProfile();
                 services_.desktop->Upload();
                 services_.desktop->UpdateAll();
             }},
            {"loading screen",
             [&] {
                 if (!LuaMachine) return;
                 LuaMachine->RunString("iProfiles.CurProfileId = " +
                                       LuaQuote(services_.game->IniText("playerProfile")));
                 LuaMachine->RunString("iRootMenu.BuildVersion = " + LuaQuote(services_.desktop->Version()));
                 LuaMachine->RunString("iLoading.Open({loadgame = 1, mission = 0, id = " +
                                       LuaQuote(services_.game->CurrentSaveId()) + ", onLoad = " +
                                       LuaQuote(services_.game->IniText("defaultInterface")) + "})");
             }},
            {"first tick",
             [&] {
                 services_.desktop->EmptyHook();
                 Tick(0.0f);
             }},
            {"end of the start-up background",
             [&] {
                 if (IeVars) IeVars->Put("con.h", VarValue(100.0f));
                 services_.desktop->EndStartup();
             }},
            {"plug-ins", [&] { PluginSystem = std::make_unique<TPluginSystem>(exe + "/Plugins/", ModName); }},
        },
        &ended);
}

void TCore::CreateMainWindow(const std::string& caption) {
    // The same caption running already: halt before any window exists.
    if (!AcquireInstance(caption)) {
        SayAnotherCopyRuns(caption);
        Done = true;
        Halt ? Halt(kAnotherCopyStatus) : DefaultHalt(kAnotherCopyStatus);
        return;
    }
    std::unique_ptr<platform::IWindow> window;
    if (MakeWindow)
        window = MakeWindow();
    else if (Headless)
        window = std::make_unique<platform::NullWindow>();
    else
        window = platform::CreateSdlWindow();
    platform::WindowDesc desc;
    desc.caption = caption;
    desc.width = SetupRecord.width;
    desc.height = SetupRecord.height;
    desc.fullScreen = SetupRecord.fullScreen != 0;
    if (!window || !window->Create(desc, [this](const platform::WindowEvent& e) { return WndProc(e); })) {
        platform::ShowMessageBox(Ru("Ошибка создания окна приложения.\rПопробуйте сменить настройки окна"),
                                 Ru("Ошибка"));
        Done = true;
        Halt ? Halt(1) : DefaultHalt(1);
        return;
    }
    window_ = std::move(window);
}

int TCore::WndProc(const platform::WindowEvent& e) {
    switch (e.message) {
    case platform::WindowMessage::ScreenSaver:
        return 0;
    case platform::WindowMessage::Activate:
        if (!e.minimised) {
            services_.desktop->SetInputAcquired(true);
            AppActive = true;
        } else {
            AppActive = false;
        }
        return 0;
    case platform::WindowMessage::KillFocus:
        AppActive = false;
        services_.desktop->SetInputAcquired(true);
        return 0;
    case platform::WindowMessage::Destroy:
        AppActive = false;
        services_.desktop->SetInputAcquired(false);
        Shutdown(false);
        return 0;
    case platform::WindowMessage::SysKeyAlt:
        // Alt would open the system menu of a framed window.
        return SetupRecord.fullScreen == 0 ? 1 : 0;
    }
    return 0;
}

int TCore::Run() {
    int status = 0;
    try {
        do {
            if (AppActive) {
                if (fixedClock_) fixedClock_->AdvanceMs(FixedFrameMs);
                Frame();
                ++FramesRun;
                if (FrameLimit > 0 && FramesRun >= FrameLimit) Shutdown(false);
            } else {
                platform::SleepMs(1000);
            }
            if (window_) window_->ProcessMessages();
            if (const int sig = platform::QuitSignal(); sig != 0 && !QuitRequested) {
                // A quit request from outside ends the game as a closed window does.
                FastLogAdd("TCore.Run: quit request (signal " + std::to_string(sig) + ")");
                Shutdown(false);
            }
        } while (!QuitRequested && !Done);
    } catch (const std::exception& e) {
        ErrorLogReport(LastOsErrorText(), false);
        ErrorLogReport(e.what(), true);
        status = 1;
    } catch (...) {
        ErrorLogReport(LastOsErrorText(), true);
        status = 1;
    }
    if (QuitRequested) Shutdown(true);
    return status;
}

void TCore::Frame() {
    if (PluginSystem) PluginSystem->BeforeTick();
    const int64_t now = GetPerfCounter();
    FrameDelta = static_cast<float>(static_cast<double>(now - LastCounter) * PerfFactorMs());
    if (FrameDelta < 1.0f) FrameDelta = 1.0f;
    LastCounter = now;
    services_.desktop->UpdateFrameTimer(FrameDelta);
    FrameDelta *= TimeFactor;
    services_.desktop->TickInput(FrameDelta);
    Tick(FrameDelta);
    const int ms = static_cast<int>(std::lround(FrameDelta));
    services_.sound->Update(ms);
    services_.render->BeginScene();
    if (!services_.desktop->SceneHidden())
        services_.render->RenderFrame();
    else
        services_.render->SkipScene();
    services_.desktop->FrameTick(ms);
    services_.desktop->Update();
    services_.desktop->Render();
    services_.render->EndScene();
    services_.render->Present();
    services_.render->NextFrame();
    FlushDestroyQueue();
    if (PluginSystem) PluginSystem->AfterTick();
    TimerSystem.Tick();
    FastLogFlushIfDue();
}

void TCore::Tick(float dt) {
    IDesktop& desk = *services_.desktop;
    IGameWorld& game = *services_.game;
    const int mode = desk.Mode();
    if ((mode == 1 || mode == 9) && !desk.SteeringOff()) services_.scene->UpdatePlayerShipSteering();
    Guarded("TCore.Tick: CreatedObjects.Tick AV", [&] { game.TickList("created", dt); });
    Guarded("TCore.Tick: LinkedObjects.Tick AV", [&] { game.TickList("linked", dt); });
    Guarded("TCore.Tick: CreatedObjects2.Tick AV", [&] { game.TickList("created2", dt); });
    const bool paused = desk.Paused();
    if (!paused) {
        Guarded("TCore.Tick: tickedObjects.Tick AV", [&] { game.TickList("ticked", dt); });
        Guarded("TCore.Tick: TickPhys AV", [&] {
            for (float slice : PhysicsSlices(dt)) services_.scene->TickPhys(slice);
        });
    }
    Guarded("TCore.Tick: PackedObjects.pack AV", [&] { game.TickList("packed", dt); });
    Guarded("TCore.Tick: deletedObjects.Tick AV", [&] { game.TickList("deleted", dt); });
    services_.render->SortChildsBRU();
    Guarded("TCore.Tick: psys.SmartTransform AV", [&] { services_.scene->UpdatePlanetSystem(); });
    Guarded("TCore.Tick: TEngine.SmartTransform AV", [&] { services_.render->UpdateMatrices(); });
    services_.camera->Tick(dt);
    Guarded("TCore.Tick: IUpdaterTicks AV", [&] {
        services_.render->TickUpdaters(dt);
        game.TickStatistics(dt);
    });
    Guarded("TCore.Tick: MakeTicks AV", [&] { services_.render->TickTree(dt); });
    if (!paused) {
        constexpr const char* kScriptTick = "TEnv.Tick: script_objTick AV";
        Guarded(kScriptTick, [&] {
            ScriptTickAccum += static_cast<uint32_t>(std::trunc(dt));
            if (ScriptTickAccum >= 100) {
                Guarded(kScriptTick, [&] { CallObjTick(static_cast<int>(ScriptTickAccum)); });
                ScriptTickAccum = 0;
            }
        });
    }
}

void TCore::Shutdown(bool now) {
    if (!now) {
        QuitRequested = true;
        return;
    }
    if (Done) return;
    FinalShutdown();
    Halt ? Halt(0) : DefaultHalt(0);
}

void TCore::Purge() {
    services_.game->TickList("deleted", 0.0f);
    FlushDestroyQueue();
}

void TCore::FinalShutdown() {
    if (Done) return;
    Done = true;
    IGameWorld& game = *services_.game;
    IRenderEngine& render = *services_.render;
    try {
        // The shut-down's steps in their order; each leaves what it freed
        // flushed ("purged": the "deleted" list ticked, the destroy queue
        // flushed) before the next one goes.
        RunSteps({
            {"error-log report",
             [] {
                 if (ErrorLogHasPending()) ErrorLogReport("", true);
             }},
            {"sound engine", [&] { services_.sound->Done(); }},
            {"statistics totals", [&] { game.FinishStatistics(); }},
            {"profiles and game settings",
             [&] {
                 if (LuaMachine) LuaMachine->RunString("iProfiles.Save()");
                 game.SaveIni();
             }},
            {"subscribers told", [&] { NotifyAllSubscribers(3, 0); }},
            {"log writers", [] { FastLogFlushManClass::FlushAndFree(FastLogFlushMan); }},
            {"capture, planet system and items",
             [&] {
                 render.StopCapture();
                 services_.scene->DestroyPlanetSystem();
                 game.DeleteItems();
                 render.CleanUnits();
             }},
            {"engine root's units",
             [&] {
                 Purge();
                 render.DiscardUnits();
                 Purge();
                 render.CleanUnits();
                 Purge();
             }},
            // Plug-ins go after Lua: FreePlugin must not use it.
            {"Lua machine and plug-ins",
             [&] {
                 CloseLuaMachine();
                 FreeLuaMachine();
                 PluginSystem.reset();
                 Purge();
             }},
            {"settings lists",
             [&] {
                 FreeAllVarLists();
                 Purge();
             }},
            {"desktop and dialogs",
             [&] {
                 services_.desktop->Release();
                 game.FreeDialogs();
                 Purge();
             }},
            // The render managers go with the tree that used them.
            {"game-object tree and render managers",
             [&] {
                 game.DeleteTree();
                 render.FreeManagers();
                 Purge();
             }},
            {"game pools",
             [&] {
                 game.TickList("deleted", 0.0f);
                 game.ReleaseManagers();
                 FlushDestroyQueue();
             }},
            {"interface core",
             [&] {
                 game.TickList("deleted", 0.0f);
                 services_.desktop->FreeCore();
                 FlushDestroyQueue();
             }},
            {"effect templates",
             [&] {
                 game.TickList("deleted", 0.0f);
                 services_.scene->FreeFXTemplates();
                 Purge();
             }},
            // The buffers, shaders, textures and materials went with the render
            // managers above; the font needs no removal (no system font table
            // holds it).
            {"statistics",
             [&] {
                 game.DeleteStatistics();
                 Purge();
             }},
            {"game camera and global managers",
             [&] {
                 services_.camera->Free();
                 services_.scene->Free();
                 Purge();
             }},
            {"devices and main window",
             [&] {
                 render.DoneDevices();
                 if (window_) window_->Close();
             }},
            {"engine root",
             [&] {
                 render.Release();
                 Purge();
             }},
            {"destroy queue",
             [&] {
                 game.TickList("deleted", 0.0f);
                 game.ReleaseDeleted();
                 FlushDestroyQueue();
                 TEODestroyManager.reset();
             }},
        });
    } catch (...) {
        // The shut-down goes on to the halt whatever failed.
    }
    if (ErrorLogHasPending()) ErrorLogReport("", true);
    FastLogFlush();
    instance_.reset();
}

} // namespace vesk
