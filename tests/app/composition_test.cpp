// The whole game run in-process through its composition root, on the demo
// content in a folder of its own: what the running program wires together.
#include "composition.h"
#include "game_folder.h"

#include "core/application.h"
#include "core/config_record.h"
#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "core/var_list.h"
#include "game/game_object.h"
#include "game/params.h"
#include "game/scene_object.h"
#include "interface/console.h"
#include "interface/desktop.h"
#include "interface/interface_services.h"
#include "interface/print_functions.h"
#include "platform/files.h"
#include "platform/system.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/key_animation.h"
#include "render/post_process.h"
#include "render/render_object.h"
#include "render/texture.h"
#include "render/video_renderer.h"
#include "shared/errors.h"

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <vector>

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::ReadText;

class InProcessGame : public test::GameFolderTest {
protected:
    void SetUp() override {
        GameFolderTest::SetUp();
        EnterGameFolder();
    }
    void TearDown() override {
        if (core) Quit();
        LeaveGameFolder();
    }
    // The program with these command-line words: "-headless" has no device,
    // without it the device draws into an offscreen SDL window.
    void Start(const std::vector<std::string>& args) {
        core = ComposeGame(args);
        core->Halt = [this](int status) { halts.push_back(status); };
        ASSERT_TRUE(StartGame(core));
        GetDisplayReleaseHooks().pauseMs = 0;
    }
    void Frames(int n, double ms = 16) {
        for (int i = 0; i < n; ++i) {
            clock.AdvanceMs(ms);
            core->Frame();
        }
    }
    void Quit() {
        core->Shutdown(true);
        core->Free();
        core = nullptr;
        ReleaseGame();
    }
    void AppendLocalIni(const std::string& lines) { platform::AppendFile(game + "/local.ini", lines); }

    test::ErrorTrap trap;
    platform::ManualClock clock;
    platform::ScopedClock scopedClock{clock};
    TCore* core = nullptr;
    std::vector<int> halts;
};

TEST_F(InProcessGame, EveryFrameTicksTheUpdaterManagers) {
    Start({"-headless"});
    auto* unit = TBaseRenderUnit::Create<TBaseRenderUnit>(Engine);
    Engine->AddChild(unit);
    // One second of 31 keys.
    std::vector<uint8_t> keys(31 * 116, 0);
    ROKeyTrack track{0, 30, 31, keys.data(), 116};
    auto* spin = SimpleKeyAnimationClass::Create(unit, "spin");
    spin->SetTrack(&track);
    spin->SetFlags(KA_NOMATRIX);
    EXPECT_TRUE(UpdaterManager->IsClient(spin));
    Frames(10); // 0.16 s
    EXPECT_EQ(spin->GetCurrentKey(), 5);
    Quit();
    EXPECT_EQ(halts, std::vector<int>{0});
}

// The version the menu shows and the error-log report writes is the one the
// project is built as.
TEST_F(InProcessGame, TheVersionIsTheBuildsOwn) {
    Start({"-headless"});
    EXPECT_EQ(GetLuaString("iRootMenu.BuildVersion", false), VESK_PROJECT_VERSION);
    EXPECT_EQ(GetErrorLogSources().version(), VESK_PROJECT_VERSION);
    Quit();
}

// The error log's lines without their times.
std::vector<std::string> ErrorLogLines(const std::string& file) {
    std::vector<std::string> lines;
    std::istringstream in(ReadText(file));
    for (std::string line; std::getline(in, line);)
        lines.push_back(std::regex_replace(line, std::regex(R"(^\d\d:\d\d:\d\d: )"), ""));
    return lines;
}

// A program that plays again after its shut-down (the tests run many games in
// one process) starts from what the first start had, not from what the first
// shut-down left.
TEST_F(InProcessGame, AGameStartedAgainRunsAsTheFirstDid) {
    std::vector<std::vector<std::string>> logs;
    for (int run = 0; run < 2; ++run) {
        Start({"-headless"});
        Frames(20);
        Quit();
        logs.push_back(ErrorLogLines(game + "/logs/errlog.txt"));
    }
    EXPECT_EQ(logs[1], logs[0]);
    EXPECT_TRUE(trap.lastFatal.empty()) << trap.lastFatal;
    EXPECT_EQ(halts, (std::vector<int>{0, 0}));
}

// The units of a scene object's subtree of that class.
int CountUnits(TBaseRenderUnit* unit, const std::string& className) {
    int n = unit && unit->ClassName() == className ? 1 : 0;
    if (unit && unit->ChildsBRU())
        for (TBaseRenderUnit* c : *unit->ChildsBRU()) n += CountUnits(c, className);
    return n;
}
TBaseRenderUnit* UnitOfObject(const std::string& path) {
    auto* object = dynamic_cast<TBaseGameSceneObject*>(FindVarByPath(path));
    return object ? dynamic_cast<TBaseRenderUnit*>(object->GetHex()) : nullptr;
}

// A script places a model in the main scene as a scene object, built while the
// game's "showBSpheres" is on: its bounding spheres show the test effect. Ships
// built before and after show none.
TEST_F(InProcessGame, AScriptPlacesAModelInTheSceneWithItsSpheresShown) {
    Start({"-headless"});
    Frames(30);
    TBaseRenderUnit* beacon = UnitOfObject("obj.checksBeacon");
    ASSERT_NE(beacon, nullptr);
    EXPECT_EQ(beacon->GetRoot(), Engine);
    EXPECT_EQ(beacon->ClassName(), "ShipClass");
    EXPECT_GT(CountUnits(beacon, "FXSphereClass"), 0);
    TBaseRenderUnit* hawk = UnitOfObject("obj.phHawk");
    ASSERT_NE(hawk, nullptr);
    EXPECT_EQ(CountUnits(hawk, "FXSphereClass"), 0);
    EXPECT_EQ(GetLuaString("engine_GetVar('ini.showBSpheres')", false), "0");
    Quit();
}

TEST_F(InProcessGame, AviTexturePlaysWhileTheGameRuns) {
    Start({});
    ASSERT_TRUE(Device);
    ASSERT_TRUE(TextureManager);
    // Through the path layer: the content may already have a "Textures" folder.
    ASSERT_TRUE(platform::CreateFolders(game + "/textures"));
    std::vector<std::vector<uint8_t>> frames(10, std::vector<uint8_t>(8 * 8 * 4, 0x80));
    ASSERT_TRUE(platform::WriteVideoFile(game + "/textures/test_clip.avi", "rawvideo", 8, 8, 10, frames));
    TextureRef screen = TextureManager->GetTexture("test_clip", platform::D3DFMT_UNKNOWN, false);
    auto* node = static_cast<TextureNodeClass*>(&*screen);
    ASSERT_NE(node->Video(), nullptr);
    EXPECT_EQ(node->Video()->GetTexture(), screen->GetTexture());
    Frames(10, 20);
    EXPECT_NEAR(node->Video()->GetPosition(), 0.2, 0.001);
    screen = nullptr;
    Quit();
}

TEST_F(InProcessGame, PrintScreenSavesAScreenshot) {
    Start({});
    ASSERT_TRUE(Device);
    // The player's window takes the focus, as the main loop sees it; then the key.
    SDL_Event focus{};
    focus.type = SDL_WINDOWEVENT;
    focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    focus.window.windowID = SDL_GetWindowID(static_cast<SDL_Window*>(core->MainWindow()->NativeHandle()));
    ASSERT_EQ(SDL_PushEvent(&focus), 1);
    core->MainWindow()->ProcessMessages();
    for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
        SDL_Event e{};
        e.type = type;
        e.key.keysym.scancode = SDL_SCANCODE_PRINTSCREEN;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    Frames(2);
    std::vector<std::string> shots;
    if (fs::is_directory(game + "/screenshots"))
        for (const auto& f : fs::directory_iterator(game + "/screenshots"))
            shots.push_back(f.path().filename().string());
    ASSERT_EQ(shots.size(), 1u);
    EXPECT_TRUE(std::regex_match(
        shots[0], std::regex(R"(Vesk_Annals_\d{1,2}-\d\d-\d\d_\d\d-\d\d-\d\d-\d{3}_\d{1,3}\.bmp)")))
        << shots[0];
    EXPECT_EQ(ReadText(game + "/screenshots/" + shots[0]).substr(0, 2), "BM");
    // The demo sets no capture keys: the defaults stand in, nothing is reported.
    EXPECT_TRUE(trap.lastFatal.empty()) << trap.lastFatal;
    Quit();
}

TEST_F(InProcessGame, DesktopReadsItsSettingsFromTheSettingsVariables) {
    AppendLocalIni("maxlag=20\nfps=1\nplayvideo=0\n");
    Start({"-headless"});
    TDeskTop* desk = CurrentDesktop();
    ASSERT_NE(desk, nullptr);
    EXPECT_TRUE(desk->FpsFlag());
    Frames(1, 50);
    EXPECT_FLOAT_EQ(core->FrameDelta, 20.0f); // the lag limit
    desk->PlayVideo("intro.avi", "videoSkipped = 1");
    EXPECT_EQ(GetLuaString("videoSkipped", false), "1");
    Quit();
}

TEST_F(InProcessGame, SoundMessagesReachTheConsoleAndTheLog) {
    Start({"-headless"}); // the silent engine
    ASSERT_TRUE(Console);
    bool seen = false;
    for (int i = 1; i <= Console->LineCount(); ++i) seen = seen || Console->Line(i) == "Sound is disable";
    EXPECT_TRUE(seen);
    EXPECT_NE(ReadText(game + "/logs/errlog.txt").find("Sound is disable"), std::string::npos);
    Quit();
}

TEST_F(InProcessGame, GameObjectsReachTheirRenderUnitsAndPhysics) {
    Start({"-headless"});
    EXPECT_NE(GetParamPhysicsLink(), nullptr);
    auto* unit = TBaseRenderUnit::Create<TBaseRenderUnit>(Engine);
    Engine->AddChild(unit);
    TRenderObject* ro = TEngineObject::New<TRenderObject>();
    ro->SetBox({-3, -4, 0}, {3, 4, 0});
    unit->AddRO(UnitViewOf(ro));
    LuaMachine->RunString("engine_AddVar('', 'probe', 'TBaseGameSceneObject')");
    auto* probe = dynamic_cast<TBaseGameSceneObject*>(GlobalObjects->FindChild("probe"));
    ASSERT_NE(probe, nullptr);
    probe->SetHex(unit);
    EXPECT_EQ(GetLuaString("engine_GetVar('probe.radius')", false), "5");
    LuaMachine->RunString("engine_DelVar('probe')");
    EXPECT_TRUE(unit->HasFlag(BRU_KILLED));
    Quit();
    ro->Free();
}

// The engine functions the scripts use for traces, the overlay's status, the
// settings' scene texts, the first start, the scene and post-process switches,
// wide-screen videos and frame capture, each reaching what it names.
TEST_F(InProcessGame, EngineFunctionsReachTheirSubsystems) {
    Start({});
    ASSERT_TRUE(Device);
    auto lua = [](const std::string& chunk) { LuaMachine->RunString(chunk); };
    auto value = [](const std::string& expr) { return GetLuaString(expr, false); };
    lua("engine_Print('one', 2, true) engine_PrintC('red', 1)");
    ASSERT_GE(Console->LineCount(), 2);
    EXPECT_EQ(Console->Line(Console->LineCount() - 1), "one 2 true");
    EXPECT_EQ(Console->Line(Console->LineCount()), "#1red");
    lua("engine_PrintLog('script says') engine_PrintPhysis('ship moved')");
    EXPECT_NE(ReadText(game + "/logs/errlog.txt").find("script says"), std::string::npos);
    EXPECT_NE(ReadText(game + "/logs/log.txt").find("Physics: ship moved"), std::string::npos);
    lua("engine_SetStatus('docked')");
    EXPECT_EQ(InterfaceStatusText(), "docked");
    SpVars->Put("spts", VarValue(std::string("a b")));
    lua("s1, s2 = engine_GetSPTS()");
    EXPECT_EQ(value("s1"), "a b");
    EXPECT_EQ(value("s2"), "");
    EXPECT_EQ(value("tostring(FirstTimeInit())"), "true");
    platform::WriteFile(game + "/new.cfg", "");
    EXPECT_EQ(value("tostring(FirstTimeInit())"), "false");

    lua("engine_EnableRender(0)");
    EXPECT_TRUE(core->Services().desktop->SceneHidden());
    lua("engine_EnableRender(1)");
    EXPECT_FALSE(core->Services().desktop->SceneHidden());

    SetupRecord.postProcess = 1;
    ASSERT_TRUE(PostProcess);
    lua("engine_EnableRenderPostProcess(0)");
    EXPECT_FALSE(PostProcess->IsEnabled());
    lua("engine_EnableRenderPostProcess(1)");
    EXPECT_TRUE(PostProcess->IsEnabled());
    EXPECT_EQ(value("tostring(engine_UpdatePostProcess('fotofilter', 'ftime', '0.5'))"), "true");
    EXPECT_EQ(PostProcess->Effect()->GetFloats("ftime"), std::vector<float>{0.5f});
    EXPECT_EQ(value("tostring(engine_UpdatePostProcess('blur', 'no_such', '1'))"), "false");
    // The film grain's picture is among the game's files: the effects found it.
    EXPECT_EQ(ReadText(game + "/logs/errlog.txt").find("noise.dds"), std::string::npos);

    lua("engine_SetVideoWideScreen('1')");
    EXPECT_TRUE(VideoWideScreen);
    lua("engine_SetVideoWideScreen('true')"); // only "1" switches it on
    EXPECT_FALSE(VideoWideScreen);

    lua("engine_KW1()");
    EXPECT_TRUE(Engine->Capturing());
    EXPECT_TRUE(fs::is_directory(game + "/capture"));
    Frames(5, 40);
    lua("engine_KW2()");
    EXPECT_FALSE(Engine->Capturing());
    EXPECT_NE(ReadText(game + "/logs/log.txt").find("CAPTURE: TIMER(END)"), std::string::npos);
    // Every material of the demo finds its texture among the generated files.
    EXPECT_EQ(ReadText(game + "/logs/errlog.txt").find("NOT FOUND"), std::string::npos)
        << ReadText(game + "/logs/errlog.txt");
    EXPECT_TRUE(trap.lastFatal.empty()) << trap.lastFatal;
    Quit();
}

} // namespace
} // namespace vesk
