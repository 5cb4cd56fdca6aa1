#pragma once
// The composition root of the game: every subsystem installs its services and
// links, then the application object is made. The program body and the tests
// that run the whole game in-process share it.
#include <string>
#include <vector>

namespace vesk {

class TCore;

// Installs every subsystem, makes the application object and reads the
// command line (the sound service follows "-headless").
TCore* ComposeGame(const std::vector<std::string>& params);
// The start-up; a failure that escapes it is written to an error-log report
// and the application object is freed (false).
bool StartGame(TCore*& core);
// What the subsystems keep beyond the application object goes last.
void ReleaseGame();

} // namespace vesk
