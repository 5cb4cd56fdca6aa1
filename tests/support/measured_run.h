#pragma once
// A program run through the shell and waited for with a time limit, with what
// it cost: its peak resident size and its wall time. Past the limit it is
// killed and counts as not ended. Header-only: the benchmarks use it too.
#include <chrono>
#include <csignal>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace vesk::test {

struct MeasuredRun {
    bool ended = false;   // by itself, before the time limit
    int status = -1;      // exit status; 128 + signal when a signal ended it
    long peakKb = 0;      // the most resident memory it had
    double seconds = 0.0; // wall time
};

class MeasuredProgram {
public:
    // Starts "/bin/sh -c command"; false when it could not be started.
    bool Start(const std::string& command) {
        const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
        started_ = std::chrono::steady_clock::now();
        return posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) == 0;
    }
    pid_t Pid() const { return pid_; }
    // Waits for it to end, at most limitSeconds after its start.
    MeasuredRun Wait(double limitSeconds) {
        MeasuredRun run;
        int status = 0;
        rusage usage{};
        for (;;) {
            const pid_t done = wait4(pid_, &status, WNOHANG, &usage);
            run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
            if (done == pid_) break;
            if (done < 0) return run;
            if (run.seconds > limitSeconds) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                return run;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        run.ended = true;
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.peakKb = usage.ru_maxrss;
        return run;
    }

private:
    pid_t pid_ = -1;
    std::chrono::steady_clock::time_point started_;
};

} // namespace vesk::test
