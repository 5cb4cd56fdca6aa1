// What a minute of game time costs the game program in memory and log, at
// 16 ms frames and at 500 ms frames (a slow machine, or one that stalls):
// the built game runs headless in a folder of its own for one and for three
// minutes of game time; the growth between the two runs, halved, is the cost
// of a minute. Counters: the peak resident size of the long run, the memory
// and the log bytes a game minute adds, the wall time a game minute takes.
// A run that does not end within its limit is reported as an error.
#include "support/measured_run.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Measured {
    bool ended = false;
    int status = -1;
    double peakMb = 0.0;
    double logKb = 0.0;
    double seconds = 0.0;
};

class GameCopy {
public:
    GameCopy() {
        const fs::path built = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "game";
        if (!fs::exists(built / "vesk")) return;
        folder_ = fs::temp_directory_path() / ("vesk_long_frames_" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::copy(built, folder_, fs::copy_options::recursive);
        fs::create_directories(folder_ / "runtime");
        ready_ = true;
    }
    ~GameCopy() {
        if (!folder_.empty()) fs::remove_all(folder_);
    }
    bool Ready() const { return ready_; }

    // The game headless for a span of game time at one frame time.
    Measured Play(int frameMs, double gameMinutes, double limitSeconds) {
        Measured m;
        fs::remove_all(folder_ / "logs");
        const int frames = static_cast<int>(gameMinutes * 60000.0 / frameMs + 0.5);
        const std::string command =
            "cd '" + folder_.string() + "' && export XDG_RUNTIME_DIR='" + (folder_ / "runtime").string() +
            "' SDL_VIDEODRIVER=offscreen ALSOFT_DRIVERS=null; exec ./vesk -headless "
            "-fixeddt " +
            std::to_string(frameMs) + " -frames " + std::to_string(frames) + " >/dev/null 2>&1";
        vesk::test::MeasuredProgram program;
        if (!program.Start(command)) return m;
        const vesk::test::MeasuredRun run = program.Wait(limitSeconds);
        m.ended = run.ended;
        m.status = run.status;
        m.seconds = run.seconds;
        if (!m.ended) return m;
        m.peakMb = static_cast<double>(run.peakKb) / 1024.0;
        std::error_code ec;
        m.logKb = static_cast<double>(fs::file_size(folder_ / "logs" / "log.txt", ec)) / 1024.0;
        return m;
    }

private:
    fs::path folder_;
    bool ready_ = false;
};

void BM_GameMinute(benchmark::State& state) {
    const int frameMs = static_cast<int>(state.range(0));
    GameCopy game;
    if (!game.Ready()) return state.SkipWithError("build the game folder first (target game_folder)");
    Measured one, three;
    for (auto _ : state) {
        one = game.Play(frameMs, 1.0, 300.0);
        three = game.Play(frameMs, 3.0, 600.0);
        if (!one.ended || !three.ended) return state.SkipWithError("the game did not end within its limit");
        if (one.status != 0 || three.status != 0) return state.SkipWithError("the game ended with an error");
        state.SetIterationTime((three.seconds - one.seconds) / 2.0);
    }
    state.counters["peak_MB"] = three.peakMb;
    state.counters["MB_per_game_min"] = (three.peakMb - one.peakMb) / 2.0;
    state.counters["log_kB_per_game_min"] = (three.logKb - one.logKb) / 2.0;
    state.counters["wall_s_per_game_min"] = (three.seconds - one.seconds) / 2.0;
}
BENCHMARK(BM_GameMinute)->Arg(16)->Arg(500)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
