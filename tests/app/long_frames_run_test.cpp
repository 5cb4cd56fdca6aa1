// The game program on a slow or stalled machine: frames of any length, from
// 1 ms to several seconds, cost no more memory or log than a 16 ms run of the
// same game time, every run ends by itself, and a quit request from outside
// ends the game in every state.
#include <gtest/gtest.h>

#include "game_folder.h"

#include "support/measured_run.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::ReadText;

#if defined(__SANITIZE_ADDRESS__)
// The address checker keeps freed memory aside (resident size grows by design)
// and runs the game several times slower.
constexpr bool kMemoryMeasured = false;
constexpr double kSlowdown = 5.0;
#else
constexpr bool kMemoryMeasured = true;
constexpr double kSlowdown = 1.0;
#endif

struct GameRun : test::MeasuredRun {
    size_t logBytes = 0; // the size of its log.txt
};

class LongFramesRun : public test::GameFolderTest {
protected:
    // Starts the game in its folder with a fresh log folder.
    pid_t Start(const std::string& args) {
        fs::remove_all(game + "/logs");
        if (!program_.Start("cd '" + game + "' && " + Env() + "exec ./vesk " + args + " >/dev/null 2>&1"))
            return -1;
        return program_.Pid();
    }
    // Waits for the game to end; past the limit it is killed and the run did not end.
    GameRun Wait(double limitSeconds) {
        GameRun run;
        static_cast<test::MeasuredRun&>(run) = program_.Wait(limitSeconds * kSlowdown);
        std::error_code ec;
        if (run.ended) run.logBytes = static_cast<size_t>(fs::file_size(game + "/logs/log.txt", ec));
        return run;
    }
    // The headless game for a span of game time at one frame time.
    GameRun Play(double frameMs, double gameSeconds, double limitSeconds = 120.0) {
        const int frames = static_cast<int>(gameSeconds * 1000.0 / frameMs + 0.5);
        Start("-headless -fixeddt " + std::to_string(frameMs) + " -frames " + std::to_string(frames));
        return Wait(limitSeconds);
    }

private:
    test::MeasuredProgram program_;
};

// Twelve seconds of game time at frame times from 1 ms to 3 s: each run ends
// by itself well within its limit, and its memory and log stay within half
// as much again as the 16 ms run's. (Frames of 300 ms and more used to make
// the demo raider's attack run loop within one tick without end.)
TEST_F(LongFramesRun, EveryFrameTimeCostsWhatSixteenMillisecondsCost) {
    const GameRun base = Play(16.0, 12.0);
    ASSERT_TRUE(base.ended);
    ASSERT_EQ(base.status, 0);
    for (double frameMs : {1.0, 100.0, 300.0, 500.0, 1000.0, 3000.0}) {
        SCOPED_TRACE("frame of " + std::to_string(frameMs) + " ms");
        const GameRun run = Play(frameMs, 12.0, 60.0);
        ASSERT_TRUE(run.ended) << "still running after " << run.seconds << " s";
        EXPECT_EQ(run.status, 0);
        if (kMemoryMeasured) {
            EXPECT_LE(run.peakKb, base.peakKb * 3 / 2) << "16 ms: " << base.peakKb << " kB";
        }
        EXPECT_LE(run.logBytes, base.logBytes * 3 / 2) << "16 ms: " << base.logBytes << " bytes";
        if (frameMs > 1000.0) {
            // The desktop's "maxlag" (1000 ms) caps what one frame hands the game.
            const std::string log = ReadText(game + "/logs/log.txt");
            EXPECT_NE(log.find("demo: obj_Tick 1000 ms, tick 1"), std::string::npos) << log.substr(0, 2000);
        }
    }
}

// A soak: minutes of game time at 16 ms and at 500 ms frames. Against a run of
// half a minute at the same frame time, the peak memory grows by less than
// 16 MB and the log by less than 64 kB a minute.
TEST_F(LongFramesRun, MinutesOfGameTimeKeepMemoryAndLogFlat) {
    if (!kMemoryMeasured) GTEST_SKIP() << "resident size is not the game's own under the address checker";
    constexpr double kMinutes = 3.0;
    for (double frameMs : {16.0, 500.0}) {
        SCOPED_TRACE("frame of " + std::to_string(frameMs) + " ms");
        const GameRun shortRun = Play(frameMs, 30.0);
        const GameRun soak = Play(frameMs, kMinutes * 60.0, 100.0);
        ASSERT_TRUE(shortRun.ended);
        ASSERT_TRUE(soak.ended) << "still running after " << soak.seconds << " s";
        EXPECT_EQ(soak.status, 0);
        EXPECT_LE(soak.peakKb, shortRun.peakKb + 16 * 1024) << "half a minute: " << shortRun.peakKb << " kB";
        EXPECT_LE(soak.logBytes, shortRun.logBytes + static_cast<size_t>(kMinutes * 64 * 1024))
            << "half a minute: " << shortRun.logBytes << " bytes";
    }
}

// A quit request (SIGTERM) ends the game in every state: running at short or
// long frames it shuts down as after a closed window (status 0, profiles
// saved); stuck in a script that never returns it is ended after its grace
// time all the same.
TEST_F(LongFramesRun, AQuitRequestEndsTheGameInEveryState) {
    platform::WriteFile(game + "/Scripts/demo/zz_stuck.lua",
                        "demo.OnTick('zz_stuck', function(ms, tick)\n"
                        "  if os.getenv('VESK_TEST_STUCK') and tick == 3 then\n"
                        "    io.open('stuck_now', 'w'):close()\n"
                        "    while true do end\n"
                        "  end\n"
                        "end)\n");
    const struct {
        const char* state;
        const char* command;
        int status;
    } cases[] = {
        {"16 ms frames", "-headless -fixeddt 16", 0},
        {"1000 ms frames", "-headless -fixeddt 1000", 0},
        {"stuck in a script", "-headless -fixeddt 16", 128 + SIGTERM},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        if (c.status != 0) setenv("VESK_TEST_STUCK", "1", 1);
        const pid_t pid = Start(c.command);
        unsetenv("VESK_TEST_STUCK");
        ASSERT_GT(pid, 0);
        // Running: its script ticks have begun (or it is stuck in one).
        auto running = [&] {
            return fs::exists(game + "/stuck_now") ||
                   ReadText(game + "/logs/log.txt").find("ms, tick 3") != std::string::npos;
        };
        for (int i = 0; i < 1500 && !running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(running());
        const auto asked = std::chrono::steady_clock::now();
        kill(pid, SIGTERM);
        const GameRun run = Wait(60.0);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count();
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(run.status, c.status);
        EXPECT_LT(took, 10.0 * kSlowdown);
        if (c.status == 0) {
            const std::string log = ReadText(game + "/logs/log.txt");
            EXPECT_NE(log.find("quit request (signal 15)"), std::string::npos) << log.substr(0, 2000);
            EXPECT_NE(log.find("demo: iProfiles.Save"), std::string::npos);
        }
    }
}

} // namespace
} // namespace vesk
