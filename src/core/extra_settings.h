#pragma once
// The extra settings file "vesk_extra.ini" beside the program (key=value lines):
// the desktop modes that accept post effects and the logging switch.
#include <cstdint>
#include <string>
#include <string_view>

namespace vesk {

inline constexpr const char* kExtraSettingsFileName = "vesk_extra.ini";

// The ten desktop mode names, bits 0..9 of PfxAcceptModes in this order.
inline constexpr const char* kDesktopModeNames[] = {"Init",  "Game",          "Shell",  "Main Menu",
                                                    "Black", "Loading",       "Videos", "Cut Scene",
                                                    "Space", "Hide Interface"};

// Desktop modes in which post effects run; handed to the interface root.
extern uint16_t PfxAcceptModes;

// Index of a desktop mode name compared without case; an unknown name gives 0.
int ModeNameToIndex(std::string_view name);
// Applies the file's text (its "pfxacceptlist" and "log_enable" keys).
void ApplyExtraSettings(std::string_view text);
// Reads the program folder's "vesk_extra.ini" when it exists; otherwise the
// settings stay as they are (logging off, no post-effect modes).
void LoadExtraSettings();

} // namespace vesk
