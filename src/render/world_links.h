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
class IModelTree;
class IShipsOps;

// The environment settings of the current planet system.
struct EnvironmentSet {
    uint32_t ambient = 0; // A8R8G8B8
    // The sun units; each gives its position (GetPosition) and its colour.
    struct Sun {
        TBaseRenderUnit* unit = nullptr;
        uint32_t colour = 0xFFFFFFFF; // A8R8G8B8
    };
    std::vector<Sun> suns;
    // The directional light of the scene.
    Vec3 lightDirection{0, 0, -1};
    uint32_t lightColour = 0xFFFFFFFF; // A8R8G8B8
    // The glow ship materials are given (r, g, b, a).
    ColorValue emissive{0, 0, 0, 0};
};

// The environment unit's sky, for what takes its look from the sky: the key
// of the sky's mesh in the scripts' table "mesh" ("" without a sky).
class IEnvironmentSky {
public:
    virtual std::string GetSkyMeshName() const = 0;

protected:
    ~IEnvironmentSky() = default;
};

// One flare of a mesh description (the "flares" list of a mesh in the game's
// "mesh" table): a lamp at a light of the model.
struct MeshFlareRecord {
    std::string maxPointName, texture, textureInterface, animation;
    float phase = 0, dynamic = 0, frequency = 0, size = 0;
};

struct RenderWorldLinks {
    // RE_GetEnvironment: the environment unit of the current planet system, or nullptr.
    std::function<TBaseRenderUnit*()> environment;
    // RE_GetEnvironmentSet: its settings record, or nullptr.
    std::function<const EnvironmentSet*()> environmentSet;
    // The desktop's pause byte, its current mode and whether post-processing runs.
    std::function<bool()> desktopPaused;
    // The pause byte itself while the desktop lives: every effect asks for it
    // each tick, and a read costs less than the call. Set with desktopPaused,
    // cleared before the desktop goes; desktopPaused answers while it is unset.
    const bool* desktopPauseByte = nullptr;
    std::function<int()> desktopMode;
    std::function<bool()> postProcessActive;
    // Copy of the back buffer, the effects and the release of the copy (mode 1).
    std::function<void()> runPostProcess;
    // A key of the game's `ini` table as text ("" when absent): the capture settings.
    std::function<std::string(const std::string& key)> iniText;
    // The flares of the mesh description at that path of the game-object tree;
    // false when there is no such description.
    std::function<bool(const std::string& meshObject, std::vector<MeshFlareRecord>& out)> meshFlares;
    // Writes a flare's "texture_interface" back (index in the list).
    std::function<void(const std::string& meshObject, size_t index, const std::string& value)>
        setFlareTexture;
    // The scene's ship operations (find the ship units, drop their cached list).
    std::function<IShipsOps*()> shipsOps;
    // The current planet system's unit (the universal helpers live under it),
    // and the location of that id inside it; nullptr when there is none.
    std::function<TBaseRenderUnit*()> planetSystem;
    std::function<TBaseRenderUnit*(TBaseRenderUnit* planetSystem, int32_t locationId)> location;
    // A camera adapter for the unit's viewport camera, driven by the model's
    // camera and target tracks (a character's own camera).
    std::function<void(TBaseRenderUnit& unit, IModelTree& animation, const std::string& camera,
                       const std::string& target)>
        attachCameraAnimators;
};
// Inline: the pause and the environment are asked thousands of times a frame.
inline RenderWorldLinks& GetRenderWorldLinks() {
    static RenderWorldLinks links;
    return links;
}

bool RE_GetEnvironment(TBaseRenderUnit*& out);
bool RE_GetEnvironmentSet(const EnvironmentSet*& out);

// A sun colour as four floats, each channel byte / 255 (TSunsClass.GetColor).
ColorValue SunColour(uint32_t argb);

} // namespace vesk
