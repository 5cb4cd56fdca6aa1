#include "core/paths.h"

#include "core/var_list.h"

namespace vesk {

std::string DataPath;
std::string ProfilesPath;
std::string LogsPath;

void InitPaths() {
    DataPath = IniVars && IniVars->Exists("path.data") ? IniVars->Get("path.data").AsString() : std::string();
    ProfilesPath = DataPath + "profiles/";
    LogsPath = "logs/";
}

} // namespace vesk
