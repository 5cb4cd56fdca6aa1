#pragma once
// The display modes the desktop offers, for the setup program's choice.
#include <string>
#include <vector>

namespace vesk::platform {

struct DisplayMode {
    int width = 0;
    int height = 0;
    int refreshRate = 0; // Hz, 0 when unknown
    bool operator==(const DisplayMode&) const = default;
};

// The first display's modes, largest first, each size and rate once; empty
// when there is no display.
std::vector<DisplayMode> DesktopDisplayModes();
// The first display's name, empty when there is no display.
std::string DesktopDisplayName();

} // namespace vesk::platform
