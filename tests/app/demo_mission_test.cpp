// The demo game through the real program: the self-playing mod flies the
// mission to its end with a fixed frame time; the content reaches every
// engine function; a content fault ends the game with the script's report.
#include <gtest/gtest.h>

#include "game_folder.h"
#include "in_process_demo.h"

#include "composition.h"
#include "core/application.h"
#include "core/lua_functions.h"
#include "interface/desktop.h"
#include "interface/interface_services.h"
#include "platform/files.h"
#include "platform/system.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::ReadText;

class DemoMissionTest : public test::GameFolderTest {
protected:
    // A mod of the test's own holding the self-playing pilot and, when asked,
    // a main script that counts the engine functions the content calls: each
    // name is written to "engine_calls.txt" the first time it is called.
    void MakeMod(const std::string& name, bool counting, const std::string& extra = "") {
        const fs::path mod = fs::path(game) / "mods" / name;
        fs::create_directories(mod);
        fs::copy(fs::path(game) / "mods/autoplay/Scripts", mod / "Scripts", fs::copy_options::recursive);
        if (counting) {
            std::string names;
            for (const EngineFunctionEntry& e : EngineFunctionTable())
                names += "'" + std::string(e.name) + "', ";
            platform::WriteFile((mod / "Scripts/main.lua").string(),
                                "local seen = {}\n"
                                "for _, name in ipairs({ " +
                                    names +
                                    "}) do\n"
                                    "  local f = _G[name]\n"
                                    "  _G[name] = function(...)\n"
                                    "    if not seen[name] then\n"
                                    "      seen[name] = true\n"
                                    "      local out = io.open('engine_calls.txt', 'a')\n"
                                    "      out:write(name, '\\n')\n"
                                    "      out:close()\n"
                                    "    end\n"
                                    "    return f(...)\n"
                                    "  end\n"
                                    "end\n"
                                    "dofile('Scripts/main.lua')\n");
        }
        if (!extra.empty()) platform::WriteFile((mod / "Scripts/mod/zz_test.lua").string(), extra);
    }
    int Run(const std::string& args) { return Shell("./vesk " + args + " >/dev/null 2>&1"); }
    std::vector<std::string> MissionLines() {
        std::vector<std::string> lines;
        std::istringstream in(ReadText(game + "/logs/log.txt"));
        for (std::string line; std::getline(in, line);)
            if (const size_t at = line.find("demo: mission: "); at != std::string::npos)
                lines.push_back(line.substr(at + 15));
        return lines;
    }
    // The run's log without what the wall clock and the machine put in it: the
    // stamps before each line and the memory figures.
    std::string LogWithoutStamps() {
        static const std::regex stamp(R"(^\d\d:\d\d:\d\d: )");
        static const std::regex memory(R"((dwAvailPhys|dwAvailPageFile|resident):? \d+)");
        std::string out;
        std::istringstream in(ReadText(game + "/logs/log.txt"));
        for (std::string line; std::getline(in, line);)
            out += std::regex_replace(std::regex_replace(line, stamp, ""), memory, "$1 #") + "\n";
        return out;
    }
    static int Number(const std::string& text, const std::regex& re) {
        std::smatch m;
        return std::regex_search(text, m, re) ? std::atoi(m[1].str().c_str()) : -1;
    }
};

TEST_F(DemoMissionTest, TheSelfPlayingPilotFliesTheMissionToItsEnd) {
    ASSERT_EQ(Run("-headless -mod autoplay -fixeddt 16 -frames 20000"), 0);
    const std::vector<std::string> lines = MissionLines();
    std::string all;
    for (const auto& l : lines) all += l + "\n";
    // The objectives in their order, each met once, and the mission's end.
    std::vector<std::string> met;
    for (const auto& l : lines)
        if (l.rfind("objective met: ", 0) == 0) met.push_back(l.substr(15, l.find(' ', 15) - 15));
    EXPECT_EQ(met, (std::vector<std::string>{"waypoint", "raiders", "report"})) << all;
    EXPECT_NE(all.find("complete\n"), std::string::npos) << all;
    EXPECT_NE(all.find("Objectives met: 3 of 3 (waypoint, raiders, report)"), std::string::npos) << all;
    // Each raider of the one model explodes with an explosion, its smoke and two
    // pieces of debris of its own, and its wreck goes once they are done.
    for (const std::string raider : {"raider01", "raider02", "raider03"}) {
        EXPECT_NE(all.find(raider + " explodes (4 destruction effects)\n"), std::string::npos) << all;
        EXPECT_NE(all.find("the wreck of " + raider + " is gone\n"), std::string::npos) << all;
    }
    // The outpost's gate opens when the raiders are down and closes at the report.
    std::vector<std::string> gate;
    for (const auto& l : lines)
        if (l.rfind("the gate ", 0) == 0) gate.push_back(l);
    EXPECT_EQ(gate, (std::vector<std::string>{"the gate opens", "the gate stands open", "the gate closes",
                                              "the gate is gone"}))
        << all;
    // The game was saved at the waypoint and loaded again there.
    EXPECT_NE(all.find("saved kessa_waypoint in profile pilot"), std::string::npos) << all;
    EXPECT_NE(all.find("resumed at the objective raiders"), std::string::npos) << all;
    for (const char* file : {"info.lua", "player.lua", "pship.lua", "items.lua"})
        EXPECT_TRUE(fs::exists(game + "/profiles/pilot/save/save_kessa_waypoint/" + file)) << file;
    // The player's statistics: three raiders destroyed by the player's shots,
    // every kill needing hits and every hit a shot.
    const int kills = Number(all, std::regex(R"(Raiders destroyed: 3, kills counted (\d+))"));
    const int shots = Number(all, std::regex(R"(Shots fired: (\d+),)"));
    const int hits = Number(all, std::regex(R"(Shots fired: \d+, hits (\d+))"));
    EXPECT_EQ(kills, 3) << all;
    EXPECT_GE(hits, kills) << all;
    EXPECT_GT(shots, hits) << all;
    // The frames the mission took at 16 ms each.
    const int frames = Number(all, std::regex(R"(in (\d+) frames)"));
    const int tenths = Number(all, std::regex(R"(Flight time: \d+\.(\d) s)"));
    const int seconds = Number(all, std::regex(R"(Flight time: (\d+))"));
    ASSERT_GT(frames, 0) << all;
    EXPECT_NEAR(frames * 16, (seconds * 10 + std::max(tenths, 0)) * 100, 200) << all;
    // The summary is the run's record; the game quit by itself before its frame limit.
    const std::string record = ReadText(game + "/save/last_run/result.txt");
    EXPECT_NE(record.find("Objectives met: 3 of 3"), std::string::npos) << record;
    EXPECT_NE(ReadText(game + "/logs/log.txt").find("demo: autoplay: quitting"), std::string::npos);

    // With a fixed frame time the game replays: the same run again ends alike,
    // frame for frame (the statistics, the objectives' times, every log line).
    const std::string firstLog = LogWithoutStamps();
    for (const char* folder : {"logs", "save", "profiles"}) fs::remove_all(fs::path(game) / folder);
    ASSERT_EQ(Run("-headless -mod autoplay -fixeddt 16 -frames 20000"), 0);
    EXPECT_EQ(ReadText(game + "/save/last_run/result.txt"), record);
    const std::string secondLog = LogWithoutStamps();
    if (secondLog != firstLog) {
        std::istringstream a(firstLog), b(secondLog);
        std::string la, lb;
        int line = 1;
        while (std::getline(a, la) && std::getline(b, lb) && la == lb) ++line;
        ADD_FAILURE() << "the runs part at log line " << line << ":\n  " << la << "\n  " << lb;
    }
}

TEST_F(DemoMissionTest, TheContentCallsEveryEngineFunction) {
    MakeMod("counting", true);
    ASSERT_EQ(Run("-headless -mod counting -fixeddt 16 -frames 20000"), 0);
    // A mission the table does not have is a content fault: the script's
    // report ends the game.
    MakeMod("unknown_mission", true,
            "demo.OnTick('zz', function(ms, tick) if tick == 30 then mission.NewGame('no_such_mission') end "
            "end)");
    EXPECT_NE(Run("-headless -mod unknown_mission -fixeddt 16 -frames 2000"), 0);
    EXPECT_NE(ReadText(game + "/logs/errlog.txt").find("Script ERROR: mission.NewGame: no mission"),
              std::string::npos);

    std::set<std::string> called;
    std::istringstream in(ReadText(game + "/engine_calls.txt"));
    for (std::string name; std::getline(in, name);) called.insert(name);
    std::vector<std::string> never;
    for (const EngineFunctionEntry& e : EngineFunctionTable())
        if (!called.count(e.name)) never.push_back(e.name);
    std::string list;
    for (const auto& n : never) list += n + " ";
    EXPECT_TRUE(never.empty()) << "engine functions the content never calls: " << list;
}

// The main menu lists the pilot's saved games, the game's own among them,
// each under its label; a row picked there starts the mission from that save.
TEST_F(DemoMissionTest, TheMenusSaveListShowsTheSavesAndLoadsOne) {
    ASSERT_EQ(Run("-headless -mod autoplay -fixeddt 16 -frames 20000"), 0);
    const std::string first = ReadText(game + "/logs/log.txt");
    std::smatch at;
    ASSERT_TRUE(
        std::regex_search(first, at, std::regex("loaded kessa_waypoint: the ship stands at ([-0-9 ]+)")))
        << first;
    const std::string savedAt = at[1].str();

    // The second run opens the menu's Load page and clicks the checkpoint's row
    // before the pilot starts a new game.
    MakeMod("from_save", false,
            "demo.OnTick('zz', function(ms, tick) if tick == 47 then "
            "  engine_Desktop('MenuLoad::ONMOUSECLICK') "
            "  for i = 1, table.getn(gameMenu.ids) do "
            "    if engine_GetVar('playerSettings.saves.' .. gameMenu.ids[i] .. '.name') == 'Kessa belt "
            "waypoint' then "
            "      engine_Desktop('MenuSave' .. i .. '::ONMOUSECLICK') end end end end)");
    fs::remove_all(fs::path(game) / "logs");
    ASSERT_EQ(Run("-headless -mod from_save -fixeddt 16 -frames 20000"), 0);
    const std::vector<std::string> lines = MissionLines();
    std::string all;
    for (const auto& l : lines) all += l + "\n";
    // The list the menu showed: the checkpoint under its label. The start-up
    // checks' own save names no mission and is not the player's to load.
    EXPECT_NE(all.find("save list: 1 saved game(s): Kessa belt waypoint (Kessa Outpost)\n"),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("loaded save_kessa_waypoint: the ship stands at " + savedAt + "\n"), std::string::npos)
        << all;
    EXPECT_NE(all.find("resumed at the objective raiders"), std::string::npos) << all;
    EXPECT_EQ(all.find("objective met: waypoint"), std::string::npos) << all;
    EXPECT_NE(all.find("objective met: report"), std::string::npos) << all;
    EXPECT_NE(all.find("complete\n"), std::string::npos) << all;
}

// Links planted in the save folders (up to the game folder, into its
// scripts) are never gone through: the mission's end removes the first as a
// link and writes its record afresh, the checkpoint replaces the linked save,
// and the program, its settings and its scripts stay as they were.
TEST_F(DemoMissionTest, LinksInTheSaveFoldersNeverReachTheGamesFiles) {
    fs::create_directories(fs::path(game) / "save");
    fs::create_directories(fs::path(game) / "profiles/pilot/save");
    fs::create_directory_symlink("..", fs::path(game) / "save/previous_run");
    fs::create_directory_symlink("../Scripts", fs::path(game) / "save/last_run");
    fs::create_directory_symlink("../../../Scripts",
                                 fs::path(game) / "profiles/pilot/save/save_kessa_waypoint");
    const std::string program = ReadText(game + "/vesk"), settings = ReadText(game + "/config.bin"),
                      script = ReadText(game + "/Scripts/main.lua");
    std::set<std::string> scripts;
    for (const auto& e : fs::recursive_directory_iterator(fs::path(game) / "Scripts"))
        scripts.insert(e.path().string());

    ASSERT_EQ(Run("-headless -mod autoplay -fixeddt 16 -frames 20000"), 0);
    EXPECT_EQ(ReadText(game + "/vesk"), program);
    EXPECT_EQ(ReadText(game + "/config.bin"), settings);
    EXPECT_EQ(ReadText(game + "/Scripts/main.lua"), script);
    std::set<std::string> after;
    for (const auto& e : fs::recursive_directory_iterator(fs::path(game) / "Scripts"))
        after.insert(e.path().string());
    EXPECT_EQ(after, scripts);
    EXPECT_TRUE(fs::exists(game + "/setup"));
    // The record and the checkpoint are where their names put them.
    EXPECT_FALSE(fs::is_symlink(game + "/save/last_run"));
    EXPECT_NE(ReadText(game + "/save/last_run/result.txt").find("Objectives met: 3 of 3"), std::string::npos);
    EXPECT_FALSE(fs::is_symlink(game + "/profiles/pilot/save/save_kessa_waypoint"));
    EXPECT_TRUE(fs::exists(game + "/profiles/pilot/save/save_kessa_waypoint/pship.lua"));
    EXPECT_NE(ReadText(game + "/logs/errlog.txt")
                  .find("engine_CopySaveDir - \"save/last_run/\" goes through a link"),
              std::string::npos);
}

using InProcessDemoTest = test::InProcessDemo;

// Every engine function has its handler in the composed game.
TEST_F(InProcessDemoTest, EveryEngineFunctionHasAHandlerInTheGame) {
    std::vector<std::string> missing;
    for (const EngineFunctionEntry& e : EngineFunctionTable())
        if (!GetEngineFunction(e.name)) missing.push_back(e.name);
    std::string list;
    for (const auto& n : missing) list += n + " ";
    EXPECT_TRUE(missing.empty()) << "engine functions without a handler: " << list;
}

// The engine tells the scripts where the cursor went each time it moves:
// the content keeps the place (a script fault there came with every move).
TEST_F(InProcessDemoTest, TheScriptsKnowWhereTheCursorIs) {
    Frames(50);
    TDeskTop* desk = CurrentDesktop();
    ASSERT_TRUE(desk);
    desk->MouseMoveEvent(-40, 25);
    Frames(1);
    EXPECT_EQ(Lua("return iCursor.x .. ' ' .. iCursor.y"),
              std::to_string(desk->Cursor().X()) + " " + std::to_string(desk->Cursor().Y()));
    EXPECT_NE(desk->Cursor().X(), 512);
}

// A second new game after the first ended: the summary goes, the flight
// starts again from the outpost's start with the mission's first objective,
// its raiders and a ship that flies.
TEST_F(InProcessDemoTest, ASecondNewGameStartsTheMissionAfresh) {
    ASSERT_TRUE(StartMission());
    Frames(60);
    LuaMachine->RunString("mission.Fail('the test ends it')");
    Frames(10);
    ASSERT_EQ(Lua("return mission.state"), "over");
    LuaMachine->RunString("game.Menu()");
    Frames(2);
    EXPECT_EQ(Lua("return getfast_visible('MenuNewGame') and 'shown' or 'hidden'"), "shown");
    LuaMachine->RunString("engine_Desktop('MenuNewGame::ONMOUSECLICK')");
    for (int i = 0; i < 600 && Lua("return mission.state") != "flying"; ++i) Frames(1);
    ASSERT_EQ(Lua("return mission.state"), "flying");
    Frames(30);
    EXPECT_EQ(Lua("return mission.objective.id"), "waypoint");
    EXPECT_EQ(
        Lua("return (getfast_visible('GameSummary') or getfast_visible('MainMenu')) and 'shown' or 'hidden'"),
        "hidden");
    EXPECT_FALSE(CurrentDesktop()->Paused());
    for (const char* raider : {"raider01", "raider02", "raider03"})
        EXPECT_NE(Unit(raider), nullptr) << raider;
    auto at = [&] {
        Vec3 p{};
        if (TBaseRenderUnit* unit = Unit("hawk")) unit->GetPosition(p);
        return p;
    };
    const Vec3 before = at();
    Frames(60);
    EXPECT_GT(Vec3Length(Vec3Sub(at(), before)), 100.0f) << "the second game's ship stands still";
}

// A quick save loaded in flight: the ship comes back as a new unit, and the
// player's controls take it again, so it flies on (the saved switch was read
// before the unit was there, which left the ship standing for good).
TEST_F(InProcessDemoTest, AfterAQuickLoadThePlayerFliesTheShipOn) {
    ASSERT_TRUE(StartMission());
    Frames(60);
    auto at = [&] {
        Vec3 p{};
        if (TBaseRenderUnit* unit = Unit("hawk")) unit->GetPosition(p);
        return p;
    };
    ASSERT_EQ(Lua("return tostring(game.Save('quick'))"), "true");
    Frames(30);
    ASSERT_EQ(Lua("return tostring(game.Load('quick'))"), "true");
    Frames(5);
    Vec3 before = at();
    Frames(60);
    EXPECT_GT(Vec3Length(Vec3Sub(at(), before)), 100.0f) << "the loaded ship stands still";
    // The throttle acts on the loaded ship: stopped, it stands.
    LuaMachine->RunString("engine_Serv('SHIP', 'SPEED', 'SET', '0')");
    Frames(240);
    before = at();
    Frames(30);
    EXPECT_LT(Vec3Length(Vec3Sub(at(), before)), 1.0f) << "the loaded ship does not take the throttle";
}

// The game on the GL device (the HUD's markers follow the ships on the
// screen), its input as a player's: the space bar held fires the guns at the
// selected raider and stops when let go; the right mouse button picks the
// next enemy and the left fires, where no window or marker takes the click;
// with the menu over the flight the trigger does nothing.
class InProcessDemoOnTheDevice : public test::InProcessDemo {
protected:
    InProcessDemoOnTheDevice() : InProcessDemo(false) {}
    void Key(SDL_Scancode code, bool down) {
        if (!focused_) {
            SDL_Event focus{};
            focus.type = SDL_WINDOWEVENT;
            focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
            focus.window.windowID =
                SDL_GetWindowID(static_cast<SDL_Window*>(core->MainWindow()->NativeHandle()));
            ASSERT_EQ(SDL_PushEvent(&focus), 1);
            core->MainWindow()->ProcessMessages();
            focused_ = true;
        }
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.keysym.scancode = code;
        e.key.keysym.sym = SDL_GetKeyFromScancode(code);
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    // The player's own shots.
    int Shots() {
        return std::atoi(
            Lua("local s = 'player.statistics.' return engine_GetVar(s .. 'primaryShotCounter') + "
                "engine_GetVar(s .. 'secondaryShotCounter')")
                .c_str());
    }

private:
    bool focused_ = false;
};

TEST_F(InProcessDemoOnTheDevice, TheTriggerAndTheMouseButtonsActInFlight) {
    ASSERT_TRUE(StartMission());
    Frames(30); // the HUD's markers find the raiders on the screen
    TDeskTop* desk = CurrentDesktop();
    ASSERT_TRUE(desk);

    // The keyboard: the next enemy, then the trigger held for a second.
    Key(SDL_SCANCODE_TAB, true);
    Key(SDL_SCANCODE_TAB, false);
    Frames(2);
    EXPECT_TRUE(std::regex_match(Lua("return player.selected"), std::regex("obj\\.raider0[123]")))
        << Lua("return player.selected");
    const int before = Shots();
    Key(SDL_SCANCODE_SPACE, true);
    Frames(60);
    EXPECT_GT(Shots(), before);
    Key(SDL_SCANCODE_SPACE, false);
    Frames(10);
    int released = Shots();
    Frames(60);
    EXPECT_EQ(Shots(), released) << "the guns go on firing after the trigger is let go";

    // The mouse, with the markers out of the way of the centred cursor.
    LuaMachine->RunString("engine_Desktop('spaceAH::VISIBLE', '0')");
    const std::string first = Lua("return player.selected");
    desk->MouseButtonEvent(1, true);
    desk->MouseButtonEvent(1, false);
    Frames(2);
    const std::string picked = Lua("return player.selected");
    EXPECT_TRUE(std::regex_match(picked, std::regex("obj\\.raider0[123]"))) << picked;
    EXPECT_NE(picked, first);
    desk->MouseButtonEvent(0, true);
    Frames(60);
    EXPECT_GT(Shots(), released);
    desk->MouseButtonEvent(0, false);
    Frames(10);
    released = Shots();
    Frames(60);
    EXPECT_EQ(Shots(), released) << "the guns go on firing after the button is let go";

    LuaMachine->RunString("game.Menu()");
    Frames(2);
    Key(SDL_SCANCODE_SPACE, true);
    desk->MouseButtonEvent(0, true);
    Frames(30);
    Key(SDL_SCANCODE_SPACE, false);
    desk->MouseButtonEvent(0, false);
    Frames(2);
    EXPECT_EQ(Shots(), released) << "the guns fire under the menu";
}

// Esc over a flight brings the menu and the flight stands still under it:
// neither the player's ship nor the raiders move while frames pass. Esc
// again, and "Continue" after a second Esc, take the menu away and the
// flight goes on.
TEST_F(InProcessDemoOnTheDevice, TheMenuOverAFlightStopsItUntilItCloses) {
    ASSERT_TRUE(StartMission());
    Frames(30);
    TDeskTop* desk = CurrentDesktop();
    ASSERT_TRUE(desk);
    const std::vector<std::string> ships{"hawk", "raider01", "raider02", "raider03"};
    auto where = [&] {
        std::vector<Vec3> at;
        for (const std::string& s : ships) {
            TBaseRenderUnit* unit = Unit(s);
            EXPECT_NE(unit, nullptr) << s;
            Vec3 p{};
            if (unit) unit->GetPosition(p);
            at.push_back(p);
        }
        return at;
    };
    // The ships that moved: the player's ship flies at its speed, the raiders
    // as their orders take them.
    auto moved = [&](const std::vector<Vec3>& a, const std::vector<Vec3>& b) {
        std::string which;
        for (size_t i = 0; i < a.size(); ++i)
            if (Vec3Length(Vec3Sub(a[i], b[i])) > 0.01f) which += ships[i] + " ";
        return which;
    };
    auto escape = [&] {
        Key(SDL_SCANCODE_ESCAPE, true);
        Key(SDL_SCANCODE_ESCAPE, false);
        Frames(2);
    };

    // The HUD's labels are drawn after every panel: it gives way to the menu
    // and comes back when the menu closes.
    auto hud = [&] { return Lua("return getfast_visible('FlightHud') and 'shown' or 'hidden'"); };
    ASSERT_EQ(hud(), "shown");
    escape();
    ASSERT_EQ(Lua("return getfast_visible('MainMenu') and 'shown' or 'hidden'"), "shown");
    EXPECT_EQ(hud(), "hidden");
    EXPECT_TRUE(desk->Paused());
    std::vector<Vec3> before = where();
    Frames(120);
    EXPECT_EQ(moved(before, where()), "") << "ships fly on under the menu";
    EXPECT_EQ(Lua("return mission.state"), "flying");

    escape();
    EXPECT_EQ(Lua("return getfast_visible('MainMenu') and 'shown' or 'hidden'"), "hidden");
    EXPECT_EQ(hud(), "shown");
    EXPECT_FALSE(desk->Paused());
    before = where();
    Frames(60);
    EXPECT_EQ(moved(before, where()).rfind("hawk ", 0), 0u)
        << "the flight stands still after the menu closed";

    escape();
    EXPECT_TRUE(desk->Paused());
    LuaMachine->RunString("engine_Desktop('MenuContinue::ONMOUSECLICK')");
    Frames(2);
    EXPECT_FALSE(desk->Paused());
    EXPECT_EQ(hud(), "shown");
    before = where();
    Frames(60);
    EXPECT_EQ(moved(before, where()).rfind("hawk ", 0), 0u);
}

// In flight the mouse steers and the interface sees the cursor fixed at the
// screen centre; over the menu the arrow is free again and a click where a
// button stands presses it. A conversation in flight keeps the mouse on the
// ship: its number keys answer, and give the guns' keys back when it ends.
TEST_F(InProcessDemoOnTheDevice, TheArrowIsFreeOverTheMenuAndNumberKeysAnswer) {
    ASSERT_TRUE(StartMission());
    Frames(30);
    TDeskTop* desk = CurrentDesktop();
    ASSERT_TRUE(desk);
    auto steer = [&] {
        desk->MouseMoveEvent(25, -10);
        Frames(2);
        return desk->Cursor().CurrentIndex() == TICursor::kCentredLook;
    };
    // A click, not the second half of a double click.
    auto clickOn = [&](const std::string& name) {
        Frames(20);
        int status = 0;
        TSimpleNode* node = desk->ChildByName(name, status, true, false);
        ASSERT_TRUE(node && node->AsRect()) << name;
        const TIRect r = node->AsRect()->GetScreenRect();
        desk->Cursor().SetX((r.left + r.right) / 2);
        desk->Cursor().SetY((r.top + r.bottom) / 2);
        desk->MouseMoveEvent(0, 0);
        desk->MouseButtonEvent(0, true);
        desk->MouseButtonEvent(0, false);
        Frames(2);
    };
    auto press = [&](SDL_Scancode key) {
        Key(key, true);
        Key(key, false);
        Frames(2);
    };
    ASSERT_TRUE(steer());

    LuaMachine->RunString("game.Menu()");
    Frames(2);
    ASSERT_TRUE(desk->Paused());
    EXPECT_NE(desk->Cursor().CurrentIndex(), TICursor::kCentredLook);
    clickOn("MenuContinue");
    EXPECT_FALSE(desk->Paused()) << "the menu's Continue did not take the click";
    EXPECT_EQ(desk->Cursor().CurrentIndex(), TICursor::kCentredLook)
        << "a click in flight goes where the arrow was";
    EXPECT_TRUE(steer()) << "the mouse no longer steers after the menu";

    LuaMachine->RunString("answered = nil "
                          "local said = mission.DialogAnswered "
                          "mission.DialogAnswered = function(i, s) answered = i said(i, s) end "
                          "gunsSelected = 0 "
                          "servOriginal = engine_Serv "
                          "engine_Serv = function(a, b, ...) "
                          "  if a == 'GUNS' and b == 'SELECT' then gunsSelected = gunsSelected + 1 end "
                          "  return servOriginal(a, b, ...) end "
                          "game.OpenDialog('kessa_dispatch.dlg', 'kessa', 'dispatcher')");
    Frames(2);
    ASSERT_EQ(Lua("return getfast_visible('GameDialog') and 'shown' or 'hidden'"), "shown");
    EXPECT_TRUE(steer()) << "the mouse does not steer while the conversation is open";
    press(SDL_SCANCODE_2);
    EXPECT_EQ(Lua("return tostring(answered) .. ' ' .. gunsSelected"), "2 0");
    press(SDL_SCANCODE_4); // no fourth answer: nothing happens
    EXPECT_EQ(Lua("return tostring(answered) .. ' ' .. gunsSelected"), "2 0");
    LuaMachine->RunString("game.dialog = nil gameUi.HideDialog()");
    press(SDL_SCANCODE_2);
    EXPECT_EQ(Lua("return tostring(answered) .. ' ' .. gunsSelected"), "2 1");
    LuaMachine->RunString("engine_Serv = servOriginal");
}

} // namespace
} // namespace vesk
