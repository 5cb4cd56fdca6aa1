#pragma once
// A request from outside the program to end it: SIGTERM, SIGINT or SIGHUP.
// The main loop asks between frames and shuts the game down as after a closed
// window. A program that does not end within the grace time after the first
// request (stuck inside a frame or in its shut-down) ends there all the same,
// and a second request ends it at once.

namespace vesk::platform {

// Installs the handlers (once; later calls only change the grace time).
void InstallQuitSignals(unsigned graceMs = 5000);
// The signal of the first request, 0 when none came.
int QuitSignal();
inline bool QuitSignalled() {
    return QuitSignal() != 0;
}

} // namespace vesk::platform
