#pragma once
// The parameters of the game ini table ("ini" under the game-object root), in
// the order the table creates them. The game-object layer builds the table
// from this list; "new.cfg" holds the same keys.
#include <array>
#include <string_view>

namespace vesk {

enum class GameIniKind {
    String,  // text parameter
    Integer, // integer parameter
    Vector,  // three floats
    Sub,     // float parameter
};

struct GameIniParam {
    std::string_view key;
    GameIniKind kind;
    std::string_view defaultValue; // text form of the value at creation; empty: the kind's empty value
};

inline constexpr std::array<GameIniParam, 40> kGameIniParams = {{
    {"defaultInterface", GameIniKind::String, ""},
    {"curPlayerProfile", GameIniKind::String, ""},
    {"turretsEnabled", GameIniKind::Integer, ""},
    {"playerProfile", GameIniKind::String, ""},
    {"defPlayerProfile", GameIniKind::String, ""},
    {"showSubtitles", GameIniKind::Integer, ""},
    {"cutSceneDebug", GameIniKind::Integer, ""},
    {"showBSpheres", GameIniKind::String, ""},
    {"startLocation", GameIniKind::String, "system_talestra_core"},
    {"godmode", GameIniKind::Integer, ""},
    {"loadGlobalObjects", GameIniKind::Integer, ""},
    {"useCollision", GameIniKind::Integer, ""},
    {"poorfx", GameIniKind::Integer, ""},
    {"detailSoundLog", GameIniKind::Integer, ""},
    {"maxstars", GameIniKind::Integer, ""},
    {"maxbigstars", GameIniKind::Integer, ""},
    {"win_caption", GameIniKind::String, ""},
    {"sound", GameIniKind::Integer, ""},
    {"profile", GameIniKind::Integer, ""},
    {"cam_from", GameIniKind::Vector, ""},
    {"cam_to", GameIniKind::Vector, ""},
    {"cam_ori", GameIniKind::Vector, ""},
    {"cam_fov", GameIniKind::Integer, ""},
    {"cam_angle", GameIniKind::Integer, ""},
    {"fps", GameIniKind::Integer, ""},
    {"con_h", GameIniKind::Integer, ""},
    {"sensitivity", GameIniKind::Integer, ""},
    {"filter", GameIniKind::Integer, ""},
    {"dx", GameIniKind::Integer, ""},
    {"dy", GameIniKind::Integer, ""},
    {"hardware_acceleration", GameIniKind::Integer, ""},
    {"debugkeys", GameIniKind::Integer, ""},
    {"xmode", GameIniKind::Integer, ""},
    {"path_data", GameIniKind::String, ""},
    {"spts", GameIniKind::String, ""},
    {"sound_log", GameIniKind::Integer, ""},
    {"nozzlesEnable", GameIniKind::Integer, ""},
    {"jSensitivity", GameIniKind::Sub, ""},
    {"controllerInversion", GameIniKind::Integer, ""},
    {"joystick", GameIniKind::Integer, "0"},
}};

// The parameter that "new.cfg" never changes.
inline constexpr std::string_view kGameIniStartLocation = "startLocation";
// The file the table is saved to and loaded from, and the "ini" variable that
// allows saving it.
inline constexpr std::string_view kGameIniFileName = "new.cfg";
inline constexpr std::string_view kGameIniAutoSaveVar = "autoSaveIni";

} // namespace vesk
