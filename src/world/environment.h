#pragma once
// The environment of a planet system: the sky sphere with its star field, the
// suns with their lens flares, the planets with their atmospheres, and the
// space dust. It is built from the environment model of the planet system and
// hands the scene's ambient colour, suns and sun light to the render engine.
//
// The look, kept small: the sky is the model's "sky:" sphere drawn around the
// eye without depth writes, so it stays at infinity; a sun is a light of the
// model named "SUNLIGHT_..." whose "<light>_mesh" object is drawn around the
// eye as well; a planet is a geometry object of the model lit by the suns,
// its atmosphere a second, blended object turning slowly above it; a lens
// flare is a row of sprites on the line from the sun through the middle of
// the screen.
#include "render/render_unit.h"
#include "render/texture.h"
#include "render/world_links.h"

#include <string>
#include <vector>

namespace vesk {

class CMTreeClass;
class DustClass;
class TRenderObject;

// Render stage of the environment's units: drawn before the scene (stage 0).
inline constexpr uint16_t kEnvironmentStage = 1;

// One drawn part of the environment: a geometry object of the model.
class EnvironmentPartClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override;
    void DoRender() override;
    // The render object of the named object of the tree; false without one.
    bool BuildPart(CMTreeClass& tree, const std::string& objectName);
    // Drawn around the eye (the sky and the sun discs): it never comes nearer.
    void SetFollowCamera(bool on) { followCamera_ = on; }
    bool FollowsCamera() const { return followCamera_; }
    // The matrix it is drawn with this frame.
    Matrix DrawMatrix() const;
    TRenderObject* PartObject() const { return ro_; }

protected:
    TRenderObject* ro_ = nullptr; // the tree's, shared
    bool followCamera_ = false;
};

// The star field: the sky sphere of the model.
class TStarsClass : public EnvironmentPartClass {
public:
    void Init(TBaseRenderUnit* parent) override;
    // The unit's own build from a mesh stays callable beside the tree one.
    using TBaseRenderUnit::Build;
    // From the sky object of the tree.
    bool Build(CMTreeClass& tree, const std::string& skyObject);
};

// A sun: a light of the environment model; its disc is "<light>_mesh".
class TSunsClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override;
    using TBaseRenderUnit::Build;
    void Build(CMTreeClass& tree, const std::string& lightName);
    uint32_t GetColourArgb() const { return colour_; }
    ColorValue GetColor() const { return SunColour(colour_); }
    EnvironmentPartClass* Disc() const { return disc_; }

private:
    uint32_t colour_ = 0xFFFFFFFF;
    EnvironmentPartClass* disc_ = nullptr;
};

// The cloud layer of a planet: it turns about the planet's axis.
class AtmosphereClass : public EnvironmentPartClass {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Tick(float dtMs) override;
    void SetSpin(float degreesPerSecond) { spin_ = degreesPerSecond; }
    float Angle() const { return angle_; }

private:
    float spin_ = 0, angle_ = 0;
};

// A planet: the geometry object named by its Lua name (or by
// spacemodel["<name>"].object), lit by the suns, spinning at
// spacemodel["<name>"].spin degrees a second, with its atmosphere
// ("<object>_clouds" or spacemodel["<name>"].atmosphere).
class PlanetClass : public EnvironmentPartClass {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Tick(float dtMs) override;
    using TBaseRenderUnit::Build;
    // False when the tree has no object for the planet.
    bool Build(CMTreeClass& tree, const std::string& luaName);
    // The same planet from another tree of the model (read again from its
    // file): new render objects and clouds; it keeps its turn.
    bool Rebuild(CMTreeClass& tree);
    const std::string& LuaName() const { return luaName_; }
    AtmosphereClass* Atmosphere() const { return atmosphere_; }
    float Angle() const { return angle_; }

private:
    std::string luaName_;
    Matrix home_;
    float spin_ = 0, angle_ = 0;
    AtmosphereClass* atmosphere_ = nullptr;
};

// A sun's lens flare: sprites of the flare texture along the line from the
// sun's place on the screen through the screen's middle, drawn over the scene
// while the sun is in front of the camera.
class LensflareClass : public TBaseRenderUnit {
public:
    // The sprites: where on the line (0 the sun, 1 the middle, 2 beyond it),
    // size in pixels of the 1024 x 768 screen, colour.
    struct Lens {
        float place, size;
        uint32_t colour;
    };
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    bool DiscardBRU() override;
    void Message(IEngineObject* sender, int msg, int param) override;
    void DoRender() override;
    // The sun it follows; fx["<light>"] may give "texture" and "size".
    void Setup(TSunsClass* sun, const std::string& fxId);
    // The sun's place on the 1024 x 768 screen; false when it is behind the eye.
    bool SunOnScreen(float& x, float& y) const;
    const std::vector<Lens>& Lenses() const { return lenses_; }

private:
    TSunsClass* sun_ = nullptr;
    TextureRef texture_;
    std::vector<Lens> lenses_;
};

class TEnvironmentClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    bool DiscardBRU() override;
    void Kill() override;
    void Message(IEngineObject* sender, int msg, int param) override;
    void DoRender() override;
    void FillRenderList(int stage, int pass) override;
    void FillRenderLists() override;
    void UpdateMatrices(const Matrix* parent) override;

    // Builds the sky, the suns, their flares and the dust from the model.
    void LoadEnvironment(const std::string& modelPath);
    // A planet of that Lua name under the environment.
    bool AddPlanet(const std::string& id, PlanetClass*& planet);
    // Hands every planet to another parent (the engine root while the
    // environment is rebuilt); the environment forgets them.
    void DetachPlanets(TBaseRenderUnit* newParent);
    // Takes a planet made for an earlier environment.
    void AdoptPlanet(PlanetClass* planet);
    bool GetCM(CMTreeClass*& out) const {
        out = tree_;
        return tree_ != nullptr;
    }
    const std::string& ModelPath() const { return modelPath_; }
    const std::string& SkyLuaName() const { return skyLuaName_; }
    const std::string& SkyName() const { return skyName_; }
    const Matrix& SkyMatrix() const { return skyMatrix_; }
    // The sky pictures beside the model: "environment/sky.bmp", "cap1.bmp", "cap2.bmp".
    const std::vector<std::string>& SkyTextures() const { return skyTextures_; }
    TStarsClass* Stars() const { return stars_; }
    const std::vector<TSunsClass*>& Suns() const { return suns_; }
    const std::vector<PlanetClass*>& Planets() const { return planets_; }
    DustClass* Dust() const { return dust_; }
    // The settings the render engine takes its ambient colour and sun light from.
    const EnvironmentSet& Set() const { return set_; }
    void SetAmbient(uint32_t argb) { set_.ambient = argb; }
    void SetDustMode(int mode);
    // The sky mesh's Lua name; an empty one is a fatal report.
    std::string GetSkyLuaMeshName() const;

private:
    void DropDust();
    // Lets go of the dust, the flares, the suns and the planets (at the unit's end).
    void ReleaseParts();
    void ForgetChild(TEngineObject* gone);

    std::string modelPath_;
    std::vector<std::string> skyTextures_;
    CMTreeClass* tree_ = nullptr; // the model cache's
    Matrix skyMatrix_;
    std::string skyName_, skyLuaName_;
    TStarsClass* stars_ = nullptr;
    std::vector<TSunsClass*> suns_;
    DustClass* dust_ = nullptr;
    std::vector<PlanetClass*> planets_;
    std::vector<LensflareClass*> flares_;
    EnvironmentSet set_;
};

} // namespace vesk
