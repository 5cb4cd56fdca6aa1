// The game program itself, run headless on the demo content in a folder of its own.
#include <gtest/gtest.h>

#include "game_folder.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::ReadText;

std::vector<std::string> Column(const std::string& text) {
    std::vector<std::string> first;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) first.push_back(line.substr(0, line.find('\t')));
    return first;
}

// The start-up steps of the memory log, without the model files and ships the demo scripts load.
std::vector<std::string> StartupSteps(const std::string& text) {
    std::vector<std::string> steps = Column(text);
    std::erase_if(steps, [](const std::string& s) {
        return s.rfind("CMParser_Load_", 0) == 0 || s.rfind("CreateShipMesh_", 0) == 0 ||
               s.rfind("LoadShip_", 0) == 0;
    });
    return steps;
}

template <class Pred> bool WaitFor(Pred pred, int ms = 15000) {
    for (int waited = 0; waited < ms; waited += 20) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return pred();
}

class GameRunTest : public test::GameFolderTest {
protected:
    int RunGame(const std::string& args = "-headless -frames 20 -fixeddt 16") {
        return Shell("./vesk " + args + " >/dev/null 2>&1");
    }
    void AddPlugin(const std::string& name) {
        fs::create_directories(game + "/Plugins");
        fs::copy_file(test::kBuildDir + "/test_plugins/" + name + ".so", game + "/Plugins/" + name + ".so");
    }
    std::vector<std::string> ErrorReports() {
        std::vector<std::string> names;
        // "Logs" is the "logs" folder when that exists: names resolve without case.
        const std::string folder = platform::NativePath(game + "/Logs/ErrorLogs");
        if (fs::is_directory(folder))
            for (const auto& e : fs::directory_iterator(folder))
                names.push_back(e.path().filename().string());
        return names;
    }
};

TEST_F(GameRunTest, StartsRunsScriptsAndShutsDown) {
    AddPlugin("plug_a");
    ASSERT_EQ(RunGame(), 0);
    EXPECT_EQ(StartupSteps(ReadText(game + "/logs/memlog.xls")),
              (std::vector<std::string>{"CreateMainWindow", "RE_Initialization", "GameVarInit",
                                        "goman.createStandartManagers", "SoundEngine", "script_Init",
                                        "beh_Init()"}));
    const std::string log = ReadText(game + "/logs/log.txt");
    const size_t init = log.find("demo: beh_Init");
    const size_t open = log.find("demo: iLoading.Open loadgame=1");
    const size_t tick = log.find("demo: obj_Tick 112 ms, tick 1"); // 7 frames of 16 ms
    const size_t save = log.find("demo: iProfiles.Save");
    ASSERT_NE(init, std::string::npos) << log;
    ASSERT_NE(open, std::string::npos) << log;
    ASSERT_NE(tick, std::string::npos) << log;
    ASSERT_NE(save, std::string::npos) << log;
    EXPECT_LT(init, open);
    EXPECT_LT(open, tick);
    EXPECT_LT(tick, save);
    // The demo's menu was built through the interface's tool functions.
    EXPECT_NE(log.find("demo: menu: built, title VESK ANNALS"), std::string::npos) << log;
    // Text with an "@" that is no hex-text is drawn frame after frame.
    EXPECT_NE(log.find("demo: text: label 'pilot@vesk.net' and edit field 'wing@|' drawn for 2 ticks"),
              std::string::npos)
        << log;
    EXPECT_TRUE(ErrorReports().empty());
    // The plug-in saw every frame and was freed at the end.
    const std::string trace = ReadText(dir / "trace.txt");
    size_t befores = 0;
    for (size_t p = trace.find("plug_a before"); p != std::string::npos;
         p = trace.find("plug_a before", p + 1))
        ++befores;
    EXPECT_EQ(befores, 20u);
    EXPECT_NE(trace.find("plug_a free"), std::string::npos);
}

TEST_F(GameRunTest, SetupRecordOfWrongSizeStartsSetupAndFails) {
    std::string record = ReadText(game + "/config.bin");
    ASSERT_EQ(record.size(), 570u);
    platform::WriteFile(game + "/config.bin", record.substr(0, 569));
    // A setup program that only says it ran.
    fs::remove(game + "/setup");
    platform::WriteFile(game + "/setup", "#!/bin/sh\necho started > \"$(dirname \"$0\")/setup_ran\"\n");
    fs::permissions(game + "/setup", fs::perms::owner_all);
    EXPECT_NE(RunGame(), 0);
    EXPECT_TRUE(WaitFor([&] { return fs::exists(game + "/setup_ran"); }));
    EXPECT_FALSE(fs::exists(game + "/logs/memlog.xls"));
}

TEST_F(GameRunTest, SecondCopyWithSameCaptionLeavesFirstCopysLogsAlone) {
    // The first copy runs until it is stopped.
    ASSERT_EQ(Shell("(./vesk -headless -fixeddt 16 >/dev/null 2>&1 & echo $! > '" + dir / "pid" + "')"), 0);
    const pid_t pid = std::atoi(ReadText(dir / "pid").c_str());
    ASSERT_GT(pid, 0);
    // Both logs written out (the buffered files go out one after the other).
    const bool started = WaitFor([&] {
        return ReadText(game + "/logs/log.txt").find("iLoading.Open") != std::string::npos &&
               ReadText(game + "/logs/memlog.xls").find("beh_Init()") != std::string::npos;
    });
    const std::string memlog = ReadText(game + "/logs/memlog.xls");
    const std::string logStart = ReadText(game + "/logs/log.txt").substr(0, 40);
    int second = -1;
    if (started)
        second = Shell("./vesk -headless -frames 5 -fixeddt 16 >/dev/null 2>'" + dir / "second.err" + "'");
    const std::string logAfter = ReadText(game + "/logs/log.txt");
    const std::string memlogAfter = ReadText(game + "/logs/memlog.xls");
    kill(pid, SIGKILL);
    ASSERT_TRUE(started);
    EXPECT_NE(second, 0);                        // it did not run
    EXPECT_EQ(logAfter.substr(0, 40), logStart); // not emptied
    // No start-up of its own (the first copy may have loaded models meanwhile).
    EXPECT_EQ(memlogAfter.substr(0, memlog.size()), memlog);
    EXPECT_EQ(memlogAfter.find("CreateMainWindow", memlog.size()), std::string::npos);
    // Whoever started it is told why it stopped.
    EXPECT_NE(ReadText(dir / "second.err").find("already running"), std::string::npos)
        << ReadText(dir / "second.err");
}

// The lock is keyed by the caption the copy's own console files set: a copy
// with another caption starts beside a running one.
TEST_F(GameRunTest, CopyWithAnotherCaptionStartsBesideARunningOne) {
    fs::copy(game, dir / "other", fs::copy_options::recursive);
    platform::AppendFile(dir / "other/local.ini", "win.caption=Other Annals\n");
    ASSERT_EQ(Shell("(./vesk -headless -fixeddt 16 >/dev/null 2>&1 & echo $! > '" + dir / "pid" + "')"), 0);
    const pid_t pid = std::atoi(ReadText(dir / "pid").c_str());
    ASSERT_GT(pid, 0);
    const bool started =
        WaitFor([&] { return ReadText(game + "/logs/log.txt").find("iLoading.Open") != std::string::npos; });
    int second = -1;
    if (started) second = Shell("cd ../other && ./vesk -headless -frames 5 -fixeddt 16 >/dev/null 2>&1");
    kill(pid, SIGKILL);
    ASSERT_TRUE(started);
    EXPECT_EQ(second, 0);
    EXPECT_NE(ReadText(dir / "other/logs/log.txt").find("demo: iProfiles.Save"), std::string::npos);
}

// Started from another folder (a desktop shortcut, a terminal elsewhere), the
// game works in its own: its scripts, saves and profiles are found and kept
// there, and nothing lands in the folder it was started from.
TEST_F(GameRunTest, StartedFromAnotherFolderTheGameWorksInItsOwn) {
    fs::create_directories(dir / "elsewhere");
    EXPECT_EQ(Shell("cd ../elsewhere && ../game/vesk -headless -frames 20 -fixeddt 16 >/dev/null 2>&1"), 0);
    const std::string log = ReadText(game + "/logs/log.txt");
    EXPECT_NE(log.find("demo: menu: built, title VESK ANNALS"), std::string::npos) << log;
    EXPECT_NE(log.find("demo: save folders: copied=true deleted=true"), std::string::npos) << log;
    EXPECT_NE(log.find("demo: iProfiles.Save"), std::string::npos) << log;
    EXPECT_TRUE(ErrorReports().empty());
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
}

TEST_F(GameRunTest, FatalReportDuringFrameWritesErrorLogReport) {
    AddPlugin("plug_a");
    // Words the program does not know are kept for the report all the same.
    EXPECT_NE(
        Shell("VESK_TEST_PLUGIN_FAIL=3 ./vesk -headless -frames 20 -fixeddt 16 extra words >/dev/null 2>&1"),
        0);
    const auto reports = ErrorReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(std::regex_match(reports[0], std::regex(R"(\d\d_\d\d_\d\d_VESKErrorLog_0000\.txt)")))
        << reports[0];
    const std::string text = ReadText(game + "/Logs/ErrorLogs/" + reports[0]);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.find("Test plug-in: fatal fault after a frame"), std::string::npos) << text;
    EXPECT_NE(text.find("Application            : Vesk Annals\n"), std::string::npos) << text;
    EXPECT_TRUE(std::regex_search(text, std::regex("Version {16}: [0-9]"))) << text;
    EXPECT_NE(text.find("Params                 : -HEADLESS -FRAMES 20 -FIXEDDT 16 EXTRA WORDS\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("ParamCount             : 7\n"), std::string::npos) << text;
    // The shut-down ran: the profile was saved and the plug-in freed.
    EXPECT_NE(ReadText(game + "/logs/log.txt").find("demo: iProfiles.Save"), std::string::npos);
    EXPECT_NE(ReadText(dir / "trace.txt").find("plug_a free"), std::string::npos);
}

TEST_F(GameRunTest, ExceptionEscapingStartupWritesErrorLogReport) {
    AddPlugin("plug_a");
    EXPECT_NE(Shell("VESK_TEST_PLUGIN_THROW=1 ./vesk -headless -frames 5 >/dev/null 2>&1"), 0);
    const auto reports = ErrorReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(ReadText(game + "/Logs/ErrorLogs/" + reports[0]).find("plug-in start failed"),
              std::string::npos);
}

TEST_F(GameRunTest, DemoShipsItemsAndDamageRunAndCraftedSavedFilesReachNothing) {
    // Files the game reads back, crafted to reach outside the game folder.
    const std::string outside = dir / "outside";
    platform::WriteFile(game + "/new.cfg", "exec_table = {} os.execute('touch " + outside + "')");
    fs::create_directories(game + "/profiles/default");
    platform::WriteFile(game + "/profiles/default/settings.lua",
                        "exec_table = {} io.open('" + outside +
                            "', 'w'):write('x') loadlib('libc.so.6', 'system')");
    ASSERT_EQ(RunGame("-headless -frames 200 -fixeddt 16"), 0);
    EXPECT_FALSE(fs::exists(outside));
    // Each refusal names its file and goes to the error log; the game went on.
    const std::string errors = ReadText(game + "/logs/errlog.txt");
    EXPECT_NE(errors.find("RunDataFile: new.cfg refused: "), std::string::npos) << errors;
    EXPECT_NE(errors.find("RunDataFile: profiles/default/settings.lua refused: "), std::string::npos)
        << errors;
    const std::string log = ReadText(game + "/logs/log.txt");
    for (const std::string line : {
             "demo: items: demoShip mesh=vesk_hawk model=models/ships/vesk_hawk.cm maxVelocity=250",
             "demo: physics: phHawk is 4000 from the outpost and 1500 from phRaider",
             "demo: physics: phHawk's nose points at the outpost: 1",
             "demo: physics: both slowing to a stop; they keep going until they meet",
             "demo: items: hold1 carries demoGun",
             "demo: items: TDamageEnergy -> shield=20 armor=40 hull=95",
             "demo: items: TDamageKinetic -> shield=20 armor=15 hull=90",
             "demo: items: TDamageEMP -> shield=0 armor=15 hull=90",
             "demo: items: TDamageRocket -> shield=0 armor=0 hull=80",
             "demo: items: TDamageNano -> shield=0 armor=0 hull=71",
             "demo: items: engine power 70",
             "demo: items: demoShip overheat=1",
             "engine power 100 destroyed=0",
         })
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_TRUE(std::regex_search(
        log, std::regex(R"(demo: items: saved and loaded back shield=0 armor=0 hull=6\d)")));
    EXPECT_EQ(log.find("LUAError"), std::string::npos);
    // The ships are built in the scene's physics: the ordered one flew toward the outpost.
    EXPECT_EQ(log.find("engine_AddObjAdv: the world side is missing"), std::string::npos);
    std::smatch flew;
    ASSERT_TRUE(
        std::regex_search(log, flew, std::regex(R"(phHawk flew from 4000 to (\d+) from the outpost)")));
    EXPECT_LT(std::stoi(flew[1]), 3800);
}

TEST_F(GameRunTest, DemoFliesWithTheFlightHud) {
    ASSERT_EQ(RunGame("-headless -frames 300 -fixeddt 16"), 0);
    const std::string log = ReadText(game + "/logs/log.txt");
    for (const std::string line : {
             "demo: hud: built",
             "demo: hud: flying, gun 0 'hudLaserA', rockets '[6] hudRockets', mission time 90",
             "demo: hud: markers hudRaider1=true hudRaider2=true hudWingman=true, nearest enemy hudRaider1, "
             "radar blip true",
             "demo: hud: next target hudRaider1, match true, gun 1 'hudLaserB', repair '[3]', lock sounds 1",
             "demo: hud: shield 90, condition 97%, timers 1 / 88, selected ''",
         })
        EXPECT_NE(log.find(line), std::string::npos) << line;
    // The target panel and the speed gauge read the flying ships.
    std::smatch target;
    ASSERT_TRUE(std::regex_search(
        log, target,
        std::regex(R"(demo: hud: target hudRaider1 at (\d+), own speed (\d+) of 300, condition 100%)")));
    EXPECT_GT(std::stoi(target[1]), 2000);
    EXPECT_GT(std::stoi(target[2]), 0);
    EXPECT_EQ(log.find("LUAError"), std::string::npos);
}

// The main menu as a player uses it, its buttons clicked by a mod: "Load"
// lists the saved games a mission can go on from (not the start-up checks'
// save in the same profile) and one of them starts the mission and goes on
// from it; "Options" opens in place of the list and steps the mouse steering
// within its bounds.
TEST_F(GameRunTest, TheMenusPagesListTheMissionsSavesAndStepTheOptions) {
    fs::create_directories(game + "/mods/menu/Scripts/mod");
    platform::WriteFile(game + "/mods/menu/Scripts/mod/menu.lua", R"(
local function click(name) engine_Desktop(name .. "::ONMOUSECLICK") end
local function shown(name) return tostring(get_visible(name)) end
demo.OnTick("menu test", function(ms, tick)
  if tick == 47 then
    -- A save of the mission, as the game's own saves are recorded.
    engine_SetVar("playerSettings.newSaveData.name", "Kessa belt waypoint")
    engine_SetVar("playerSettings.newSaveData.missionId", "kessa_raiders")
    engine_SetVar("playerSettings.newSaveData.missionName", "Kessa Outpost")
    engine_Execute("player", "save", "save_waypoint")
    click("MenuLoad")
    demo.trace("menu test: list " .. shown("MenuSaves") .. ", row 1 '" .. getfast_text("MenuSave1") .. "' " ..
      shown("MenuSave1") .. ", row 2 " .. shown("MenuSave2") .. ", none " .. shown("MenuSavesNone"))
    click("MenuOptions")
    for i = 1, 2 do click("OptSensUp") end
    click("OptSensDown")
    demo.trace("menu test: options " .. shown("MenuOptionsPage") .. ", list " .. shown("MenuSaves") ..
      ", steering " .. getfast_text("OptSensValue"))
    for i = 1, 20 do click("OptSensUp") end
    demo.trace("menu test: steering at most " .. getfast_text("OptSensValue"))
  elseif tick == 48 then
    click("MenuLoad")
    click("MenuSave1")
    demo.trace("menu test: menu " .. shown("MainMenu") .. " while the mission " .. mission.state)
  end
end)
)");
    Shell("./vesk -headless -mod menu -frames 700 -fixeddt 16 >/dev/null 2>&1");
    const std::string log = ReadText(game + "/logs/log.txt");
    for (const std::string line : {
             "demo: menu test: list true, row 1 'Kessa belt waypoint (Kessa Outpost)' true, row 2 false, "
             "none false",
             "demo: menu test: options true, list false, steering 1.75",
             "demo: menu test: steering at most 4.00",
             "demo: menu test: menu false while the mission making",
             "demo: mission: loaded save_waypoint: the ship stands at",
         })
        EXPECT_NE(log.find(line), std::string::npos) << line;
    // The start-up checks' own save stays in the profile and out of the list.
    EXPECT_TRUE(fs::exists(game + "/profiles/pilot/save/save_0/info.lua"));
}

// The demo's space scene: the Vesk system with its environment, the outpost
// and the belt with their objects and fog, the waypoint's trigger opening a
// gate at its helper, and the belt unloaded and loaded again.
TEST_F(GameRunTest, TheDemoSceneBuildsItsSystemAndLocations) {
    ASSERT_EQ(RunGame("-headless -frames 220 -fixeddt 16"), 0);
    const std::string log = ReadText(game + "/logs/log.txt");
    for (const std::string line : {
             "demo: scene: vesk loaded, system helpers 10, spheres kessa_outpost#9000#kessa_belt#5000#",
             "demo: scene: gate inherits SOClass=0 spacemodel=jump_gate mesh=jump_gate",
             "demo: scene: trigger waypoint01 at trigger:waypoint01 spawns gate_waypoint01",
             "demo: scene: outpost helpers 21, belt helpers 8, loaded {[[kessa_outpost]],[[kessa_belt]],}",
             "stands 0 from the waypoint, 2518 from the start",
             "demo: scene: encounter01 is 0 from the belt",
             "[TEnvironmentClass, name: \"Environment\"",
             "[TStarsClass, name: \"sky:vesk_space\"",
             "[TSunsClass, name: \"SUNLIGHT_01\"",
             "[PlanetClass, name: \"vesk_prime\"",
             "[AtmosphereClass, name: \"vesk_prime_clouds\"",
             "[DustClass, name: \"dust\"",
             "[FXParticleClass, name: \"fog_fog:nebula01\"",
             "[LensflareClass, name: \"lensflare_SUNLIGHT_01\"",
             "demo: scene: belt unloaded, loaded {[[kessa_outpost]],}, asteroid_a11 0",
             "demo: scene: belt loaded again, loaded {[[kessa_outpost]],[[kessa_belt]],}",
         })
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_TRUE(
        std::regex_search(log, std::regex(R"(demo: scene: environment rebuilt, planet \d+ radius 24249)")));
    // Every engine function the scene calls has its handler.
    EXPECT_FALSE(std::regex_search(log, std::regex(R"(engine_\w+: not available)")));
    EXPECT_EQ(log.find("LUAError"), std::string::npos);
}

// A record with one field the game cannot run with: the game starts the real
// setup program and ends; the setup program keeps the player's other choices
// (and the old record beside), and the next start runs.
TEST_F(GameRunTest, BadSetupRecordFieldCostsNoOtherChoice) {
    ASSERT_EQ(Shell("./setup --windowed --no-sound --language ru --multisample 2 >/dev/null"), 0);
    std::string record = ReadText(game + "/config.bin");
    ASSERT_EQ(record.size(), 570u);
    record[558] = 99; // the multisample type, outside 0..16
    platform::WriteFile(game + "/config.bin", record);
    EXPECT_NE(RunGame(), 0);
    ASSERT_TRUE(WaitFor([&] {
        const std::string r = ReadText(game + "/config.bin");
        return fs::exists(game + "/config.bin.bak") && r.size() == 570 && r[558] == 0;
    }));
    EXPECT_EQ(ReadText(game + "/config.bin.bak"), record);
    const std::string repaired = ReadText(game + "/config.bin");
    EXPECT_EQ(repaired[6], 0);                    // sound still off
    EXPECT_EQ(repaired.substr(567, 3), "\x02ru"); // the language kept
    EXPECT_EQ(RunGame(), 0);
}

// A long headless run keeps a flat resident size: the demo writes the
// process's resident memory every 500 script ticks, and from the first of
// those (start-up long done) to the last it may not grow by more than
// allocator and script-collector noise. (20,000 frames were checked by hand.)
TEST_F(GameRunTest, LongRunKeepsAFlatResidentSize) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address checker keeps freed memory aside: resident size grows by design";
#endif
    ASSERT_EQ(RunGame("-headless -frames 12000 -fixeddt 16"), 0);
    std::vector<long> samples;
    const std::regex line(R"(demo: memory: tick \d+ resident (\d+) kB)");
    const std::string log = ReadText(game + "/logs/log.txt");
    for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it)
        samples.push_back(std::stol((*it)[1]));
    // The first sample is taken soon after the start; the run is measured from the second.
    ASSERT_GE(samples.size(), 4u) << log;
    EXPECT_LE(samples.back() - samples[1], 2048)
        << "resident kB from " << samples[1] << " to " << samples.back();
}

// The fast log is buffered, but a fatal report writes it out before the
// shut-down starts: here the shut-down hangs in the scripts and the program is
// killed, and the lines that led to the report are in the files.
TEST_F(GameRunTest, LogLinesBeforeAFatalReportReachTheFileEvenIfTheProgramIsKilled) {
    platform::WriteFile(game + "/Scripts/demo/zz_fatal.lua",
                        "demo.OnTick('zz_fatal', function(ms, tick)\n"
                        "  if tick == 2 then\n"
                        "    demo.trace('the last line before the fatal report')\n"
                        "    iProfiles.Save = function() while true do end end\n"
                        "    engine_SetVar('one argument')\n"
                        "  end\n"
                        "end)\n");
    ASSERT_EQ(Shell("(./vesk -headless -fixeddt 16 >/dev/null 2>&1 & echo $! > '" + dir / "pid" + "')"), 0);
    const pid_t pid = std::atoi(ReadText(dir / "pid").c_str());
    ASSERT_GT(pid, 0);
    const bool reported = WaitFor(
        [&] { return ReadText(game + "/logs/errlog.txt").find("engine_SetVar error") != std::string::npos; });
    // Still running: the shut-down is stuck in the script's endless save.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const bool stillRunning = kill(pid, 0) == 0;
    kill(pid, SIGKILL);
    ASSERT_TRUE(reported) << ReadText(game + "/logs/errlog.txt");
    EXPECT_TRUE(stillRunning);
    const std::string log = ReadText(game + "/logs/log.txt");
    EXPECT_NE(log.find("demo: the last line before the fatal report"), std::string::npos) << log;
    EXPECT_NE(log.find("demo: obj_Tick 112 ms, tick 1"), std::string::npos) << log;
}

// A main script that does not load, or fails while it runs, is a failed start:
// an error report and a non-zero exit, never a normal run without content.
// So is a script error in the content's start, beh_Init.
TEST_F(GameRunTest, MainScriptThatDoesNotLoadIsAFailedStart) {
    const std::string main = ReadText(game + "/Scripts/main.lua");
    const std::string behFault = main + "\nfunction beh_Init() error('no start here') end\n";
    const char* notLoaded = "the main script Scripts/main.lua did not load";
    const struct {
        const char* name;
        const char* text; // nullptr: no main script at all
        const char* report;
        const char* message;
    } cases[] = {
        {"missing", nullptr, notLoaded, "cannot open"},
        {"syntax", "x = = 1\n", notLoaded, "unexpected symbol near '='"},
        {"fault", "error('no content here')\n", notLoaded, "no content here"},
        {"beh_Init fault", behFault.c_str(), "beh_Init(): the script failed", "no start here"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(platform::NativePath(game + "/Logs"));
        if (c.text)
            platform::WriteFile(game + "/Scripts/main.lua", c.text);
        else
            fs::remove(game + "/Scripts/main.lua");
        EXPECT_NE(RunGame(), 0);
        const auto reports = ErrorReports();
        ASSERT_EQ(reports.size(), 1u);
        const std::string text = ReadText(game + "/Logs/ErrorLogs/" + reports[0]);
        EXPECT_NE(text.find(c.report), std::string::npos) << text;
        EXPECT_NE(text.find(c.message), std::string::npos) << text;
    }
    platform::WriteFile(game + "/Scripts/main.lua", main);
    fs::remove_all(platform::NativePath(game + "/Logs"));
    EXPECT_EQ(RunGame(), 0);
    EXPECT_TRUE(ErrorReports().empty());
}

// A log folder that cannot be made: the game runs, and says so on stderr.
TEST_F(GameRunTest, UnwritableLogFolderIsSaidOnStderr) {
    fs::remove_all(game + "/logs");
    platform::WriteFile(game + "/logs", "a file where the log folder would be");
    EXPECT_EQ(Shell("./vesk -headless -frames 20 -fixeddt 16 >/dev/null 2>'" + dir / "err.txt" + "'"), 0);
    const std::string err = ReadText(dir / "err.txt");
    EXPECT_NE(err.find("cannot make the log folder " + game + "/logs"), std::string::npos) << err;
    EXPECT_NE(err.find("cannot write the log file " + game + "/logs/log.txt"), std::string::npos) << err;
}

} // namespace
} // namespace vesk

namespace vesk {
namespace {

TEST_F(GameRunTest, DemoRaiderTakesThePlayerAndASavedGameComesBackAsSaved) {
    ASSERT_EQ(RunGame("-headless -frames 300 -fixeddt 16"), 0);
    const std::string log = ReadText(game + "/logs/log.txt");
    for (const std::string line : {
             "demo: ai: obj.raider1 flies with the model fighter",
             "demo: ai: the raider patrols; its first point is obj.patrol1",
             "_G->obj->raider1->ai->searshNewPatrolPoint->",
             "AI: obj.raider1 takes the player's ship obj.pship as its enemy",
             "demo: ai: the raider's enemy is obj.pship",
             "demo: player: selected obj.raider1",
             "demo: player: regime TPlayerShipDefenceRegime, shield speed 6, heat speed -1, heat 20",
             "demo: player: regime TPlayerShipAttackRegime, shield speed 4, heat speed -2",
             "demo: player: after the fast save, regime TPlayerShipBaseRegime",
             "demo: player: saved save_0 in profile pilot",
             "demo: player: loaded save_0: 0 differences from the save; current save save_0",
             "demo: player: after the load the ship holds pGun and pSpare",
         })
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_EQ(log.find("LUAError"), std::string::npos);
    for (const char* file : {"info.lua", "player.lua", "pship.lua", "items.lua"})
        EXPECT_TRUE(fs::exists(game + "/profiles/pilot/save/save_0/" + file)) << file;
    // The raider flew its steps: its distance from its base changed between the reports.
    const std::regex report(R"(the raider runs \S+, (\d+) from its base)");
    std::vector<int> ranges;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), report); it != std::sregex_iterator(); ++it)
        ranges.push_back(std::stoi((*it)[1]));
    ASSERT_GE(ranges.size(), 2u);
    EXPECT_NE(ranges.front(), ranges.back());
}

} // namespace
} // namespace vesk
