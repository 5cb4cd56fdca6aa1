#pragma once
// What the render engine reads of the space scene and of the interface
// desktop, which live in higher subsystems: they install these links when
// they start (the scene its environment, the desktop its mode and pause).
// Until then the engine sees no environment, mode 0 and no pause.
#include "platform/math_types.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vesk {

class TBaseRenderUnit;

// The environment settings of the current planet system.
struct EnvironmentSet {
    uint32_t ambient = 0; // A8R8G8B8
    // The sun units; each gives its position (GetPosition) and its colour.
    struct Sun {
        TBaseRenderUnit* unit = nullptr;
        uint32_t colour = 0xFFFFFFFF; // A8R8G8B8
    };
    std::vector<Sun> suns;
};

struct RenderWorldLinks {
    // RE_GetEnvironment: the environment unit of the current planet system, or nullptr.
    std::function<TBaseRenderUnit*()> environment;
    // RE_GetEnvironmentSet: its settings record, or nullptr.
    std::function<const EnvironmentSet*()> environmentSet;
    // The desktop's pause byte, its current mode and whether post-processing runs.
    std::function<bool()> desktopPaused;
    std::function<int()> desktopMode;
    std::function<bool()> postProcessActive;
    // Copy of the back buffer, the effects and the release of the copy (mode 1).
    std::function<void()> runPostProcess;
    // A key of the game's `ini` table as text ("" when absent): the capture settings.
    std::function<std::string(const std::string& key)> iniText;
};
RenderWorldLinks& GetRenderWorldLinks();

bool RE_GetEnvironment(TBaseRenderUnit*& out);
bool RE_GetEnvironmentSet(const EnvironmentSet*& out);

// A sun colour as four floats, each channel byte / 255 (TSunsClass.GetColor).
ColorValue SunColour(uint32_t argb);

} // namespace vesk
