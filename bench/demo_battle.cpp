// The demo game's battle: the real program composed in-process on the demo
// content, the mission started from its menu, then 50 ships of the game's
// kinds (200 in the large variant) in the Kessa outpost location with 2,000
// live particles and 500 shots in flight between them. One frame of the whole game (input, tick, physics,
// AI, scripts, effects, the scene and the HUD drawn) on the recording device
// and on the GL device drawing into an offscreen window; CPU time of the
// game's thread per frame. And the time from the program's start to the
// first frame of the mission (start-up, the menu, a new game).
#include "composition.h"

#include "core/application.h"
#include "core/lua_machine.h"
#include "platform/files.h"
#include "platform/gfx/device_base.h"
#include "platform/gfx/null_device.h"
#include "platform/system.h"
#include "platform/window.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/fx_templates.h"
#include "shared/errors.h"
#include "world/fx_particle.h"
#include "world/fx_spawn.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace vesk;
namespace fs = std::filesystem;

// A window with a handle but nothing behind it: the device the render engine
// makes for it is the recording one.
class HandleWindow : public platform::NullWindow {
public:
    void* NativeHandle() const override { return const_cast<HandleWindow*>(this); }
};

// The battle, made with the game's own script functions once the mission flies:
// ships of both sides in two lines before the outpost, armed, each flying at the
// other line; long-lived shots and particles for the effects' part. The lines
// stand centred on the same place whatever the number of ships (battle_ships).
constexpr const char* kBattle = R"(
fx.battle_bolt = { id = 'battle_bolt', type = 'bullet', velocity = '60', lifetime = '100000', len = '40',
                   color = 'FFA0E0FF', texture = 'fx/bullet.tga' }
fx.battle_spark = { id = 'battle_spark', type = 'particle', texture = 'fx/spark.tga', StartSize = '2', EndSize = '2' }
engine_ReloadFx()
battle = {}
local ships = 0
for name in string.gfind(engine_GetTable('obj'), '%[%[(.-)%]%]') do
  if engine_GetVar('obj.' .. name .. '.SOClass') == '2' then ships = ships + 1 end
end
local i = 0
local middle = math.floor(battle_ships / 4)
while ships < battle_ships do
  i = i + 1
  local side = math.mod(i, 2)
  local id = 'battle' .. i
  local x, y = 3000 + side * 1600, (math.floor(i / 2) - middle) * 120
  game.MakeShip(id, side == 0 and 'hawk' or 'raider', x .. ' ' .. y .. ' 0', side == 0 and 'player' or 'pirates')
  table.insert(battle, { id = id, kind = side == 0 and 'hawk' or 'raider', x = 3000 + (1 - side) * 1600, y = y })
  ships = ships + 1
end
)";

constexpr const char* kBattleOrders = R"(
for _, s in ipairs(battle) do
  game.ArmShip('obj.' .. s.id, s.kind)
  engine_PhCommand('obj.' .. s.id, 'goToPoint', '', s.x, s.y, 0)
end
)";

class DemoGame {
public:
    explicit DemoGame(bool gl) : gl_(gl) {
        namespace p = platform;
        const fs::path built = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "game";
        if (!fs::exists(built / "vesk")) return;
        folder_ = fs::temp_directory_path() / ("vesk_battle_" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "runtime");
        for (const char* part : {"Scripts", "data", "models", "TEXTURES", "sounds", "Dialogs", "config.bin",
                                 "local.ini", "vesk_extra.ini"})
            fs::copy(built / part, folder_ / part, fs::copy_options::recursive);
        oldFolder_ = p::CurrentFolder();
        setenv("XDG_RUNTIME_DIR", (folder_ / "runtime").c_str(), 1);
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("ALSOFT_DRIVERS", "null", 1);
        p::SetCurrentFolder(folder_.string());
        p::SetExeFolderOverride(folder_.string());
        p::SetClock(&clock_);
        GetErrorHooks().halt = [] {};
        if (!gl) p::SetDirect3DFactory([](uint32_t) { return p::CreateNullDirect3D().Detach(); });
        const auto started = std::chrono::steady_clock::now();
        core_ = ComposeGame(gl ? std::vector<std::string>{} : std::vector<std::string>{"-headless"});
        if (!gl) core_->MakeWindow = [] { return std::make_unique<HandleWindow>(); };
        core_->Halt = [](int) {};
        if (!StartGame(core_)) return;
        // The recording device keeps no log of its calls here: its own
        // bookkeeping is not the game's cost.
        if (auto* d = dynamic_cast<platform::DeviceBase*>(Device.Get()); d && !gl) d->SetRecording(false);
        // The program's first frame (the menu), the start-up's checks, then the
        // menu's new game, then the mission's first frame.
        Frame();
        firstFrame_ = std::chrono::steady_clock::now() - started;
        while (Lua("return mission and mission.state or ''") == "idle" && frames_ < 45 * 7) Frame();
        startup_ = std::chrono::steady_clock::now() - started;
        const auto newGame = std::chrono::steady_clock::now();
        LuaMachine->RunString("engine_Desktop('MenuNewGame::ONMOUSECLICK')");
        while (Lua("return mission.state") != "flying" && frames_ < 1000) Frame();
        newGame_ = std::chrono::steady_clock::now() - newGame;
        ready_ = Lua("return mission.state") == "flying";
    }
    ~DemoGame() {
        if (core_) {
            core_->Shutdown(true);
            core_->Free();
            ReleaseGame();
        }
        platform::SetDirect3DFactory(nullptr);
        platform::SetClock(nullptr);
        platform::SetExeFolderOverride("");
        if (!oldFolder_.empty()) platform::SetCurrentFolder(oldFolder_);
        GetErrorHooks() = ErrorHooks{};
        if (!folder_.empty()) fs::remove_all(folder_);
    }
    bool Ready() const { return ready_; }
    double StartupSeconds() const { return startup_.count(); }
    double FirstFrameSeconds() const { return firstFrame_.count(); }
    double NewGameSeconds() const { return newGame_.count(); }

    std::string Lua(const std::string& chunk) {
        lua_State* L = LuaMachine->State();
        std::string out;
        if (luaL_loadstring(L, chunk.c_str()) == 0 && lua_pcall(L, 0, 1, 0) == 0) {
            if (const char* s = lua_tostring(L, -1)) out = s;
        }
        lua_settop(L, 0);
        return out;
    }
    void Frame() {
        clock_.AdvanceMs(16.0);
        core_->Frame();
        ++frames_;
        if (auto* d = dynamic_cast<platform::DeviceBase*>(Device.Get())) d->ClearCalls();
    }
    // `count` ships armed and flying; then 2,000 particles and 500 shots among them.
    void MakeBattle(int count) {
        LuaMachine->RunString("battle_ships = " + std::to_string(count));
        LuaMachine->RunString(kBattle);
        for (int i = 0; i < 5; ++i) Frame();
        LuaMachine->RunString(kBattleOrders);
        TBaseRenderUnit* spark = FXTemplates.Find("battle_spark");
        TBaseRenderUnit* bolt = FXTemplates.Find("battle_bolt");
        std::vector<TBaseRenderUnit*> ships;
        for (int i = 1; i <= count + 10; ++i) {
            int32_t id = 0;
            const std::string path = "obj.battle" + std::to_string(i);
            const std::string hex =
                Lua("if engine_IsVar('" + path + "') == 1 then return engine_GetVar('" + path + ".hex') end");
            if (TryParseInt32(hex, id))
                if (auto* unit = dynamic_cast<TBaseRenderUnit*>(FindEngineObjectById(id)))
                    ships.push_back(unit);
        }
        if (!spark || !bolt || ships.size() < 2 || !Engine) return;
        for (int i = 0; i < 2000; ++i) {
            auto* p = dynamic_cast<FXParticleClass*>(TBaseRenderUnit::SpawnEffect(spark, Engine, nullptr));
            if (!p) continue;
            p->SetPosition({3000.0f + float(i % 40) * 40.0f, float(i / 40 % 50) * 60.0f - 1500.0f, 200.0f});
            p->SetVelocity({0, 0, 0.5f});
            p->SetColor(0xFFFF8040);
            p->SetSize(2.0f);
            p->SetLifeTime(1.0e6f);
        }
        for (int i = 0; i < 500; ++i) {
            FXConfigBulletClass* cfg = FXConfigurator.GetBulletConfig("battle");
            cfg->SetData(ships[size_t(i) % ships.size()], "", ships[size_t(i + 1) % ships.size()]);
            bolt->SpawnEffect2(cfg);
        }
        shipsMade_ = int(ships.size());
        for (int i = 0; i < 10; ++i) Frame();
    }
    int ShipsMade() const { return shipsMade_; }

private:
    bool gl_;
    fs::path folder_;
    std::string oldFolder_;
    platform::ManualClock clock_;
    TCore* core_ = nullptr;
    int frames_ = 0;
    bool ready_ = false;
    int shipsMade_ = 0;
    std::chrono::duration<double> startup_{}, newGame_{}, firstFrame_{};
};

// One measured frame of the battle, kept out of line so that an instruction
// count can be taken of it alone:
//   valgrind --tool=callgrind --toggle-collect='*BattleStep*' bench_demo_battle ...
[[gnu::noinline]] void BattleStep(DemoGame& game) {
    game.Frame();
}

void BattleFrame(benchmark::State& state, bool gl, int ships) {
    DemoGame game(gl);
    if (!game.Ready())
        return state.SkipWithError("the demo game did not start (build the game folder first)");
    game.MakeBattle(ships);
    for (auto _ : state) BattleStep(game);
    state.counters["ships"] = game.ShipsMade() + 4; // and the mission's own four
    state.counters["first_frame_s"] = game.FirstFrameSeconds();
    state.counters["startup_s"] = game.StartupSeconds();
    state.counters["new_game_s"] = game.NewGameSeconds();
}

int BattleFrames() {
    return std::getenv("BATTLE_FRAMES") ? std::atoi(std::getenv("BATTLE_FRAMES")) : 300;
}

// The argument is the number of ships made for the battle.
void BM_DemoBattleRecording(benchmark::State& state) {
    BattleFrame(state, false, int(state.range(0)));
}
BENCHMARK(BM_DemoBattleRecording)
    ->Arg(50)
    ->Arg(200)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(BattleFrames());

void BM_DemoBattleGL(benchmark::State& state) {
    BattleFrame(state, true, 50);
}
BENCHMARK(BM_DemoBattleGL)->Unit(benchmark::kMillisecond)->Iterations(100);

} // namespace
