#include "platform/quit_signals.h"

#include <SDL.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <semaphore.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace vesk::platform {
namespace {

volatile std::sig_atomic_t g_signal = 0;
std::atomic<unsigned> g_graceMs{5000};
// Posted by the handler (one of the few calls a handler may make) to wake the
// watchdog thread.
sem_t g_request;
bool g_installed = false;

void WriteStderr(const std::string& text) {
    const ssize_t written = write(STDERR_FILENO, text.data(), text.size());
    (void)written;
}

extern "C" void OnQuitSignal(int sig) {
    // A second request, of another kind than the first (a repeat of the same
    // kind finds the default action back in place): the user insists.
    if (g_signal != 0) _exit(128 + sig);
    g_signal = sig;
    sem_post(&g_request);
}

void Watchdog() {
    while (sem_wait(&g_request) != 0 && errno == EINTR) {
    }
    const unsigned grace = g_graceMs.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(grace));
    // Still here: the main loop never came back to see the request.
    const int sig = g_signal;
    WriteStderr("vesk: the game did not end within " + std::to_string(grace) +
                " ms of the quit request; it is ended now\n");
    std::signal(sig, SIG_DFL);
    std::raise(sig);
    _exit(128 + sig);
}

} // namespace

void InstallQuitSignals(unsigned graceMs) {
    g_graceMs = graceMs;
    if (g_installed) return;
    g_installed = true;
    // The requests are the game's to handle: the window layer must not turn
    // them into window events of its own.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    sem_init(&g_request, 0, 0);
    std::thread(Watchdog).detach();
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    // The first request of a kind puts the default action back: the same
    // request again ends the program at once.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

int QuitSignal() {
    return g_signal;
}

} // namespace vesk::platform
