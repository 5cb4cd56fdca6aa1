#pragma once
// The space scene on the recording null device: the effect library's setup,
// the model cache with its render-object builder, the scene service with the
// current planet system and the world's engine functions, and small models
// each test writes with the content generator's model writer.
#include "core/lua_functions.h"
#include "core/services.h"
#include "fx_fixture.h"
#include "mesh.h"
#include "platform/files.h"
#include "shared/errors.h"
#include "space_stack.h"
#include "world/env.h"
#include "world/environment.h"
#include "world/locations.h"
#include "world/space_dust.h"

#include <gtest/gtest.h>

#include <string>

namespace vesk::test {

using contentgen::Ellipsoid;
using contentgen::ModelFile;

class SpaceTest : public FxTest {
protected:
    void SetUp() override {
        FxTest::SetUp();
        StartSpaceScene(services);
        Lua("spacemodel = {} mesh = { space01 = { DustParticles = { DustLen = 15 } } }");
        // The fast log goes to the test's folder, where the tests read it.
        logWasOn_ = LogEnabled;
        logFolder_ = LogFolder();
        LogEnabled = true;
        platform::CreateFolders(dir.path() + "/logs");
        SetLogFolder(dir.path() + "/logs");
    }
    void TearDown() override {
        StopSpaceScene(engine, services);
        LogEnabled = logWasOn_;
        SetLogFolder(logFolder_);
        FxTest::TearDown();
    }
    std::string ReadLog() {
        std::string text;
        platform::ReadFile(dir.path() + "/logs/log.txt", text);
        return text;
    }

    // Writes the model under the test's folder; returns its name without ".cm".
    std::string Model(const std::string& name, const ModelFile& model) {
        Put("models/" + name + ".cm", model.Bytes());
        return DataPath + "models/" + name;
    }
    // An environment model: a sky sphere, a sun with its disc, a planet with clouds.
    std::string EnvironmentModel(const std::string& name = "env", const std::string& sky = "sky:space01",
                                 const Vec3& p = {0, 500, 0}) {
        ModelFile m(name);
        if (!sky.empty()) {
            contentgen::Mesh s = Ellipsoid({0, 0, 0}, {1000, 1000, 1000}, 12, 6, "sky");
            s.Invert();
            m.AddObject(sky, std::move(s));
        }
        const Vec3 sun{800, 0, 0};
        m.lights.push_back({"SUNLIGHT_01", sun, {1, 0.5f, 0.25f, 1}, 0});
        m.AddObject("SUNLIGHT_01_mesh", Ellipsoid(sun, {30, 30, 30}, 8, 4, "sun"));
        m.AddObject("rock", Ellipsoid(p, {100, 100, 100}, 12, 6, "rock")).tm =
            MatrixTranslation(p.x, p.y, p.z);
        m.AddObject("rock_clouds", Ellipsoid(p, {104, 104, 104}, 12, 6, "clouds")).tm =
            MatrixTranslation(p.x, p.y, p.z);
        return Model(name, m);
    }
    // A planet-system model whose environment is the given model.
    std::string SystemModel(const std::string& name, ModelFile m, const std::string& environment) {
        Lua("spacemodel['" + name + "'] = { environment = '" + environment + "', ambient = 'FF102030' }");
        return Model(name, m);
    }
    // The default system: two location points, a planet point and a sphere.
    std::string DefaultSystem() {
        ModelFile m("sys");
        m.AddHelper("location:near", {0, 0, 0});
        m.AddHelper("location:far", {5000, 0, 0});
        m.AddHelper("mesh:rock", {0, 500, 0});
        m.AddHelper("model:player", {-100, 0, 0});
        return SystemModel("sys", m, EnvironmentModel());
    }
    // A location with a fog helper (scale 50), a trigger point and a sphere.
    std::string LocationModel(const std::string& name = "loc", const std::string& fog = "FOG:nebula01") {
        ModelFile m(name);
        m.AddHelper("mission:start", {0, 0, 0});
        m.AddHelper("trigger:t01", {100, 0, 0});
        if (!fog.empty())
            m.helpers.push_back(
                {fog, {0, 200, 0}, MatrixProduct(MatrixScaling(50, 50, 50), MatrixTranslation(0, 200, 0))});
        m.AddSphere("bs_loc", {10, 0, 0}, 300);
        return Model(name, m);
    }
    // A ten-unit box model, entered into the world by the current system as
    // "drone<counter>"; ai gets the body that moves it.
    TBaseRenderUnit* AddDrone(BaseAIUnitClass*& ai, int32_t& counter) {
        ModelFile ship("box");
        ship.AddObject("base", contentgen::Box({-5, -5, -5}, {5, 5, 5}, "hull"));
        struct NoParams : IPhysicParamsSource {
            bool GetNumber(const std::string&, float&) override { return false; }
            bool GetText(const std::string&, std::string&) override { return false; }
            bool GetBool(const std::string&, bool&) override { return false; }
        } params;
        return Env->AddObject("drone", Model("box", ship), params, ai, counter);
    }
    // The Lua fx entries the scene's effects need.
    void LoadNebula() {
        LoadFx("nebula = { id = 'nebula', type = 'particle_alpha', texture = 'fx/smoke.dds' }");
    }

    // A result of a Lua expression as text.
    std::string Eval(const std::string& expression) { return GetLuaString(expression, false); }
    WEPlanetSystemClass* Psys() const { return Env ? Env->PlanetSystem() : nullptr; }
    TEnvironmentClass* Environment() const {
        TEnvironmentClass* e = nullptr;
        if (Env) Env->GetEnvironment(e);
        return e;
    }

    CoreServices services;

private:
    bool logWasOn_ = false;
    std::string logFolder_;
};

} // namespace vesk::test
