#pragma once
// The folders the engine reads content from and writes profiles and logs to.
#include <string>

namespace vesk {

// Folders set up from the "ini" variable "path.data".
extern std::string DataPath;     // the data folder, as given
extern std::string ProfilesPath; // DataPath + "profiles/"
extern std::string LogsPath;     // "logs/"
void InitPaths();

} // namespace vesk
