#pragma once
// Locations and planet systems: render units built from a model file. The
// model gives the unit its bounding spheres and its universal helpers (the
// named points scripts use as world positions); helpers named "fog:<effect>NN"
// become fog volumes when the location is placed. A planet system is a
// location that also owns the environment (sky, suns, planets, dust); its
// locations are its direct children.
#include "physics/cm_tree.h"
#include "render/render_unit.h"

#include <memory>
#include <string>
#include <vector>

namespace vesk {

class TEnvironmentClass;

// What a planet system's environment is built from: the environment model,
// and the ambient colour of the scene (0: the model's own).
struct TEnvironmentSettings {
    std::string modelPath;
    uint32_t ambient = 0;
};

class WELocationClass : public TBaseRenderUnit {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    bool DiscardBRU() override;
    void UpdateMatrices(const Matrix* parent) override;
    void CalcBSphere(Vec3* localCentre, Vec3* worldCentre, float* radius) override;

    // Loads the unit from a model: its own copy of the model tree, its name
    // (the model's file name without folder and extension), its bounding
    // spheres and universal helpers, its matrix from its parent's.
    virtual void LoadFromFile(const std::string& modelName);
    // True when loc is this unit or one of its direct children; otherwise false
    // and loc is cleared.
    bool FindInChildsOnly(TBaseRenderUnit*& loc) const;
    // The fog volumes of the model's "fog:" helpers: effects spawned from the
    // effect library under this unit, named "fog_" + the helper's name.
    void CreateFog();
    // The fog volumes alive now (the children named "fog_...").
    std::vector<TBaseRenderUnit*> FogObjects() const;
    CMTreeClass* Tree() const { return tree_.get(); }
    const std::string& ModelName() const { return modelName_; }

protected:
    ~WELocationClass() override;
    void ReleaseLocation();

    std::unique_ptr<CMTreeClass> tree_;
    std::string modelName_;
};

class WEPlanetSystemClass : public WELocationClass {
public:
    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    bool DiscardBRU() override;
    void Message(IEngineObject* sender, int msg, int param) override;

    // Reads the environment settings of the model, then loads as a location.
    void LoadFromFile(const std::string& modelName) override;
    // Replaces the environment: the old one is renamed "Environment_DEAD" and
    // killed, a new one named "Environment" is built from the settings.
    void SetEnvironment(const TEnvironmentSettings& settings);
    bool GetEnvironment(TEnvironmentClass*& out) const {
        out = environment_;
        return environment_ != nullptr;
    }
    const TEnvironmentSettings& EnvironmentSettings() const { return settings_; }

private:
    void KillEnvironment();

    TEnvironmentClass* environment_ = nullptr;
    TEnvironmentSettings settings_;
};

// The settings of a planet-system model from spacemodel["<model>"]: its
// "environment" model and its "ambient" colour (hexadecimal A8R8G8B8).
TEnvironmentSettings ReadEnvironmentSettings(const std::string& modelName);
// The model's file name without folder and extension.
std::string ModelBaseName(const std::string& modelName);

} // namespace vesk
