#pragma once
// Ships over the world's real classes: the effect tests' engine root on the
// recording null device, the model cache building real render objects, the
// world's game operations and ship part classes, mesh descriptions the test
// hands the builder, and small model files each test writes with the content
// generator's model writer.
#include "contentgen/mesh.h"
#include "fx_fixture.h"
#include "physics/bsphere.h"
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "render/component.h"
#include "render/helpers.h"
#include "render/lamp.h"
#include "render/model_tree.h"
#include "render/world_links.h"
#include "support/ship_mesh_source.h"
#include "world/game_ops.h"
#include "world/guns.h"
#include "world/mesh_source.h"
#include "world/nozzles.h"
#include "world/shield.h"
#include "world/ship.h"
#include "world/ship_builder.h"
#include "world/wing.h"

#include <map>
#include <memory>
#include <string>

namespace vesk::test {

using contentgen::Box;
using contentgen::ModelFile;

// The effects a ship build spawns (the lamp glow, a nozzle jet, a flash) and a burst of smoke.
inline constexpr const char* kShipFx =
    "fx_simple_lamp = { id = 'fx_simple_lamp', type = 'particle' },"
    "test_jet = { id = 'test_jet', type = 'nozzlejet', lifetime = '2', thickness = '4', color = 'FF00FF00' },"
    "hit_flash = { id = 'hit_flash', type = 'particle' },"
    "smoke = { id = 'smoke', type = 'burst', numParticles = '3', vmin = '1', vmax = '2', MaxSize = '1',"
    " MinSize = '1', MaxLifeTime = '1', MinLifeTime = '1', particleID = 'hit_flash', color = 'FFFFFFFF',"
    " friction = '0' }";

class ShipWorldTest : public FxTest {
protected:
    void SetUp() override {
        // Before the engine root is made: it carries the world's game operations too.
        InstallWorldGameOps();
        FxTest::SetUp();
        RegisterShipPartClasses();
        CMTreeManager = std::make_unique<CMTreeManagerClass>();
        InstallCMRenderObjectBuilder();
        SetShipMeshSource(&meshes);
        GetRenderWorldLinks().environmentSet = [this]() -> const EnvironmentSet* { return &envSet; };
        Lua("mesh = {} gunmodel = {} ini = {}");
        LoadFx(kShipFx);
    }
    void TearDown() override {
        FreeFXTemplates();
        if (engine) {
            engine->DiscardBRU();
            engine->Free();
            engine = nullptr;
        }
        for (TBaseRenderUnit* u : loose) {
            u->DiscardBRU();
            u->Free();
        }
        TEODestroyManager->Flush();
        CMTreeManager.reset();
        SetCMRenderObjectBuilder(nullptr);
        SetCMRenderObjectReleaser(nullptr);
        SetModelTreeProvider(nullptr);
        SetShipMeshSource(nullptr);
        FxTest::TearDown();
        SetGameOpsMaker(nullptr);
    }

    // A model file under the test's folder; its path.
    std::string WriteModel(const std::string& name, const ModelFile& model) {
        const std::string path = dir.path() + "/models/" + name + ".cm";
        platform::CreateFolders(dir.path() + "/models");
        EXPECT_TRUE(platform::WriteFile(path, model.Bytes()));
        return path;
    }
    // A description of a model written by WriteModel.
    ShipMeshDesc& Describe(const std::string& meshName, const std::string& modelName) {
        ShipMeshDesc& d = meshes.meshes[meshName];
        d.path = dir.path() + "/models";
        d.name = modelName;
        return d;
    }

    // A fighter: three levels of detail, a collision box, attach points for
    // nozzles, a gun, a wing and a turret, two spheres, a light and the
    // objects of two ray guns and a ring mount.
    static ModelFile FighterModel(bool withShield = false) {
        ModelFile m("fighter");
        m.AddObject("base", Box({-10, -5, -2}, {10, 5, 2}, "hull"));
        m.AddObject("base_lod_30", Box({-10, -5, -2}, {10, 5, 2}, "hull"));
        m.AddObject("base_lod_8", Box({-9, -4, -2}, {9, 4, 2}, "hull"));
        m.AddObject("lowpoly", Box({-10, -5, -2}, {10, 5, 2}, "hull"));
        if (withShield) {
            contentgen::GeomObject& s = m.AddObject("shield", Box({-1, -1, -1}, {1, 1, 1}, "shield"));
            s.tm = MatrixScaling(12, 8, 4);
        }
        for (const char* ray : {"mesh:test_gun01", "mesh:test_gun02"}) {
            contentgen::GeomObject& g = m.AddObject(ray, Box({0, 0, 0}, {1, 1, 1}, "hull"));
            g.tm = MatrixTranslation(0, ray[14] == '1' ? 4.0f : -4.0f, 2);
        }
        m.AddObject("ring_mount", Box({0, 0, 0}, {1, 1, 1}, "hull")).tm = MatrixTranslation(5, 0, 0);
        m.AddHelper("nozzle01", {-10, 2, 0});
        m.AddHelper("nozzle02", {-10, -2, 0});
        m.AddHelper("gun01", {5, 5, 0});
        m.AddHelper("wing_l", {-2, -5, 0});
        m.AddHelper("turret01", {0, 0, 3});
        m.AddSphere("bs_front", {5, 0, 0}, 5);
        m.AddSphere("bs_back", {-5, 0, 0}, 5);
        m.lights.push_back({"navlight", {0, 5, 0}, {1, 0, 0, 1}, 0});
        return m;
    }
    // A fixed gun with two pairs of muzzle points.
    static ModelFile GunModel() {
        ModelFile m("gun");
        m.AddObject("cannon", Box({0, -0.5f, -0.5f}, {6, 0.5f, 0.5f}, "gun"));
        m.AddHelper("weapon", {6, 0, 0});
        m.AddHelper("weapon_out", {7, 0, 0});
        m.AddHelper("weapon1", {6, 1, 0});
        m.AddHelper("weapon_out1", {7, 1, 0});
        m.AddSphere("bs_gun", {3, 0, 0}, 3);
        return m;
    }
    // A turret: a base that turns, its barrel hinge and the barrel with a muzzle.
    static ModelFile TurretModel() {
        ModelFile m("turret");
        m.AddObject("base", Box({-2, -2, -3}, {2, 2, 0}, "gun"));
        m.AddObject("burel", Box({-0.1f, -0.1f, -0.1f}, {0.1f, 0.1f, 0.1f}, "gun"));
        m.AddObject("cannon", Box({0, -0.3f, -0.3f}, {6, 0.3f, 0.3f}, "gun"));
        m.AddHelper("weapon", {6, 0, 0});
        m.AddHelper("weapon_out", {7, 0, 0});
        return m;
    }
    static ModelFile WingModel() {
        ModelFile m("wing");
        m.AddObject("base", Box({-4, -1, -1}, {2, 1, 1}, "hull"));
        m.AddHelper("nozzle01", {-4, 0, 0});
        return m;
    }
    static ModelFile RingModel() {
        ModelFile m("ring");
        m.AddObject("base", Box({-1, -8, -8}, {1, 8, 8}, "hull"));
        m.AddObject("base_lod_8", Box({-1, -7, -7}, {1, 7, 7}, "hull"));
        return m;
    }

    // The fighter's description with a nozzle on each nozzle point.
    ShipMeshDesc& DescribeFighter(const std::string& meshName = "fighter", bool withShield = false) {
        WriteModel("fighter", FighterModel(withShield));
        ShipMeshDesc& d = Describe(meshName, "fighter");
        d.nozzles = {{"nozzle01", "test_jet", "", "FF8080FF", 6, 20, 2},
                     {"nozzle02", "test_jet", "", "", 6, 0, 0}};
        return d;
    }
    // A ship of the description under the engine root.
    ShipClass* BuildShip(const std::string& meshName, const std::string& name = "ship",
                         std::unique_ptr<ShipConfigClass> config = nullptr) {
        auto* ship = TBaseRenderUnit::Create<ShipClass>(engine);
        engine->AddChild(ship);
        ship->Build(meshName, name, std::move(config));
        ship->UpdateMatrices(nullptr);
        return ship;
    }
    // The gun models' folder and kinds in the scripts' tables.
    void DescribeGuns() {
        WriteModel("test_gun", GunModel());
        WriteModel("test_turret", TurretModel());
        const std::string folder = LuaQuote(dir.path() + "/models");
        Lua("mesh.test_gun = { path = " + folder +
            ", kwsubobjects = { 'cannon' } }"
            " mesh.test_turret = { path = " +
            folder +
            " }"
            " gunmodel.test_gun = { mesh = 'test_gun', type = 'gun' }"
            " gunmodel.test_turret = { mesh = 'test_turret', type = 'turret', physic_params = {} }");
    }
    template <class T> T* Loose(T* unit) {
        loose.push_back(unit);
        return unit;
    }
    // Runs a step that ends on a fatal report; the text the program would end on.
    template <class F> std::string FatalOf(F step) {
        const size_t from = trapAll.reports.size();
        try {
            step();
        } catch (const Halted&) {
        }
        for (size_t i = from; i < trapAll.reports.size(); ++i)
            if (trapAll.reports[i].flags.find('h') != std::string::npos) return trapAll.reports[i].text;
        return {};
    }

    MapShipMeshSource meshes;
    EnvironmentSet envSet;
    // Units the test made outside the engine tree.
    std::vector<TBaseRenderUnit*> loose;
};

} // namespace vesk::test
